#include "tableview/tableviewdata.h"

#include "foundation/binstream.h"

namespace CX {

namespace {

constexpr LONG kFormatsMarker = -1;
constexpr LONG kFormatsVersion = 2;
constexpr LONG kEntryVersion = 1;

// A failed stream reads as 0.
LONG ReadWord(KVO::BinIStream& in)
{
    LONG value = 0;
    in.ReadLong(&value);
    return value;
}

} // namespace

TableViewData::TableViewData(Doc::CycleDetector* results) : results_(results) {}

HRESULT TableViewData::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_ITableViewData) {
        return E_NOINTERFACE;
    }
    *out = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
}

ColumnFormat& TableViewData::FormatFor(int code)
{
    return formats_.try_emplace(code, ColumnFormat{kDefaultDigits, code}).first->second;
}

void TableViewData::SetAllDigits(int digits)
{
    for (auto& [code, format] : formats_) {
        format.digits = digits;
    }
}

bool TableViewData::SaveColumnFormats(KVO::BinOStream& out)
{
    out.WriteLong(kFormatsMarker);
    out.WriteLong(kFormatsVersion);
    for (const auto& [code, format] : formats_) {
        out.WriteLong(code);
        out.WriteLong(kEntryVersion);
        out.WriteLong(format.digits);
        out.WriteLong(format.code);
    }
    out.WriteLong(kFormatsMarker);
    out.WriteLong(kFormatsMarker);
    return true;
}

bool TableViewData::LoadColumnFormats(KVO::BinIStream& in)
{
    const LONG first = ReadWord(in);
    if (first != kFormatsMarker) {
        // An older block: n words and the count again.
        const LONG n = first;
        LONG last = 0;
        for (LONG i = 0; i <= n && in.Good(); ++i) {
            last = ReadWord(in);
        }
        if (last == n) {
            return true;
        }
        if (!in.Good()) {
            return n == 0;
        }
        return ReadWord(in) == n;
    }
    if (!in.Good()) {
        return false;
    }
    if (ReadWord(in) != kFormatsVersion) {
        return false;
    }
    for (LONG code = ReadWord(in); in.Good() && code != kFormatsMarker; code = ReadWord(in)) {
        ReadWord(in); // the entry's version
        const LONG digits = ReadWord(in);
        const LONG stored = ReadWord(in);
        if (!in.Good()) {
            break;
        }
        formats_[code] = ColumnFormat{digits, stored};
    }
    if (!in.Good()) {
        return false;
    }
    return ReadWord(in) == kFormatsMarker;
}

} // namespace CX
