// The table's data source over the results store. Today it keeps the number formats of the table's columns and
// persists them with the document; the cells, titles and export join it with the table's own code.
#pragma once

#include "foundation/comobject.h"

#include <map>

namespace KVO {
class BinIStream;
class BinOStream;
} // namespace KVO

namespace CX::Doc {
class CycleDetector;
}

namespace CX {

// {8D3A62C1-47E9-4B8F-A0D2-6C19E5B7F302}
inline constexpr IID IID_ITableViewData{0x8D3A62C1, 0x47E9, 0x4B8F, {0xA0, 0xD2, 0x6C, 0x19, 0xE5, 0xB7, 0xF3, 0x02}};

struct ColumnFormat {
    int digits = 4; // significant figures
    int code = 0;   // the parameter code the format belongs to
};

class TableViewData final : public IUnknown, public KVO::CComObjectRoot {
public:
    static constexpr int kDefaultDigits = 4;

    // Count 0; the results store is not owned.
    explicit TableViewData(Doc::CycleDetector* results);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    Doc::CycleDetector* Results() const { return results_; }

    // The code's format, made as {4, code} when missing.
    ColumnFormat& FormatFor(int code);
    void SetAllDigits(int digits);
    const std::map<int, ColumnFormat>& Formats() const { return formats_; }

    // -1, version 2, per entry in code order (code, 1, digits, stored code), -1, -1.
    bool SaveColumnFormats(KVO::BinOStream& out);
    // Reads what SaveColumnFormats wrote; a leading word other than -1 is an older block of that many words plus
    // its count, which is skipped. Entries read before a failure stay.
    bool LoadColumnFormats(KVO::BinIStream& in);

private:
    Doc::CycleDetector* results_;
    std::map<int, ColumnFormat> formats_;
};

} // namespace CX
