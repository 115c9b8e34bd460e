#include "tableview/tableviewdata.h"

#include "document/cycledetector.h"
#include "document/settingsset.h"
#include "foundation/binstream.h"
#include "frame/eventcomment.h"
#include "platform/posix/atomicfile.h"
#include "sdk/ikvostring.h"

#include <cfloat>
#include <cmath>
#include <clocale>
#include <cstdio>
#include <locale.h>
#include <fstream>
#include <limits>
#include <algorithm>
#include <sstream>
#include <string>

namespace CX {

namespace {

constexpr std::int32_t kSummarySwitch = 2002; // Bool global setting: summary rows shown
constexpr DWORD kSummaryGrid = TableGrid::kSummary;
const char16_t* const kSummaryTitles[] = {u"Avg", u"Min", u"Max", u"Count"};

bool IsSummary(DWORD flags) { return (flags & kSummaryGrid) != 0; }

// Integers, as a plain wide stream writes them.
KVO::String Decimal(long long value) { return KVO::String(std::to_wstring(value)); }

HRESULT Hand(const KVO::String& text, IKVOString** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = text.GetInterface();
    return S_OK;
}

std::u16string ToU16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

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

KVO::String TidyExponent(const KVO::String& text)
{
    // [-]digits.digits[e+digits | e-digits], or one significant figure without a point ([-]digits e+digits | e-digits,
    // as "1e+05"): the exponent loses its plus sign and its leading zeros ("1.234e4", "-2.5e-7", "1e5"). Any other
    // text is left as it is. A scan by hand, as every cell of the table passes here.
    const std::u16string_view s = text.View();
    const auto digit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    const std::size_t n = s.size();
    std::size_t at = 0;
    if (at < n && s[at] == u'-') {
        ++at;
    }
    const std::size_t whole = at;
    while (at < n && digit(s[at])) {
        ++at;
    }
    if (at < n && s[at] == u'.') {
        const std::size_t fraction = ++at;
        while (at < n && digit(s[at])) {
            ++at;
        }
        if (at == fraction) {
            return text;
        }
    } else if (at == whole) {
        return text;
    }
    const std::size_t mantissa = at;
    if (at == n) {
        return text; // no exponent: nothing to tidy
    }
    if (s[at] != u'e' || at + 1 >= n || (s[at + 1] != u'+' && s[at + 1] != u'-')) {
        return text;
    }
    const bool negative = s[at + 1] == u'-';
    std::size_t exponent = at + 2;
    if (!std::all_of(s.begin() + static_cast<std::ptrdiff_t>(exponent), s.end(), digit)) {
        return text;
    }
    while (exponent < n && s[exponent] == u'0') {
        ++exponent;
    }
    std::u16string result(s.substr(0, mantissa));
    result += negative ? u"e-" : u"e";
    result += s.substr(exponent);
    return KVO::String(result);
}

KVO::String FormatCellNumber(const ColumnFormat& format, double value)
{
    if (!std::isfinite(value)) {
        return KVO::String(u" ");
    }
    if (format.code == 1 || format.code == 58) {
        const double rounded = value > 0 ? value + 0.5 : value - 0.5;
        long long whole = 0;
        if (rounded > 2147483647.0) {
            whole = 2147483647;
        } else if (rounded < -2147483648.0) {
            whole = -2147483648LL;
        } else {
            whole = static_cast<long long>(rounded);
        }
        return Decimal(whole);
    }
    // What a classic stream with showpoint and this precision writes (it formats with "%#.*g" in the C locale),
    // without making a stream for every cell.
    static const locale_t classic = newlocale(LC_ALL_MASK, "C", locale_t{});
    const locale_t previous = classic ? uselocale(classic) : locale_t{};
    char small[64];
    const int precision = format.digits;
    int length = std::snprintf(small, sizeof small, "%#.*g", precision, value);
    std::string text;
    if (length >= 0 && static_cast<std::size_t>(length) < sizeof small) {
        text.assign(small, static_cast<std::size_t>(length));
    } else if (length >= 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        length = std::snprintf(text.data(), text.size(), "%#.*g", precision, value);
        text.resize(static_cast<std::size_t>(std::max(length, 0)));
    }
    if (classic) {
        uselocale(previous);
    }
    if (!text.empty() && text.back() == '.') {
        text.pop_back();
    }
    if (const auto point = text.find(".e"); point != std::string::npos) {
        text.erase(point, 1);
    }
    return TidyExponent(KVO::String(ToU16(text)));
}

TableViewData::TableViewData(Doc::CycleDetector* results, Doc::SettingsSet* settings, UnitSource units)
    : results_(results), settings_(settings), units_(std::move(units))
{
}

HRESULT TableViewData::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_ITableDataManager || iid == IID_ITableViewData) {
        *out = static_cast<ITableDataManager*>(this);
    } else if (iid == IID_ITableStoredRowInfo) {
        *out = static_cast<ITableStoredRowInfo*>(this);
    } else if (iid == IID_ITableTextExport) {
        *out = static_cast<ITableTextExport*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

KVO::String TableViewData::CellText(DWORD flags, LONG row, LONG column, bool& beyondSummary)
{
    beyondSummary = false;
    if (row == 0) {
        return column == 0 || !results_ ? KVO::String() : results_->ColumnTitle(column - 1, Units());
    }
    if (column == 0) {
        if (!IsSummary(flags)) {
            return Decimal(row);
        }
        return row >= 1 && row <= 4 ? KVO::String(kSummaryTitles[row - 1]) : KVO::String();
    }
    const LONG j = column - 1;
    if (IsSummary(flags)) {
        if (j < 0 || j >= static_cast<LONG>(summary_.size()) || !results_ ||
            j >= static_cast<LONG>(results_->Columns().size())) {
            beyondSummary = true;
            return KVO::String();
        }
        const SummaryRecord& record = summary_[static_cast<std::size_t>(j)];
        const ColumnFormat& format = FormatFor(results_->Columns()[static_cast<std::size_t>(j)]);
        if (row == 4) {
            return Decimal(record.count);
        }
        if (format.code == 1 || format.code == 58) {
            return KVO::String();
        }
        switch (row) {
        case 1: return FormatCellNumber(format, record.average);
        case 2: return FormatCellNumber(format, record.minimum);
        case 3: return FormatCellNumber(format, record.maximum);
        default: return KVO::String();
        }
    }
    if (!results_ || j < 0 || j >= static_cast<LONG>(results_->Columns().size())) {
        return KVO::String();
    }
    double number = std::numeric_limits<double>::quiet_NaN();
    KVO::String text = results_->CellText(row - 1, j, Units(), &number);
    if (!text.IsEmpty()) {
        return text;
    }
    return FormatCellNumber(FormatFor(results_->Columns()[static_cast<std::size_t>(j)]), number);
}

HRESULT TableViewData::GetCell(DWORD flags, LONG row, LONG column, IKVOString** text)
{
    bool beyondSummary = false;
    KVO::String cell = CellText(flags, row, column, beyondSummary);
    if (beyondSummary) {
        return S_FALSE;
    }
    return Hand(cell, text);
}

HRESULT TableViewData::GetCellStyle(DWORD, LONG row, LONG column, LONG* style)
{
    if (!style) {
        return E_POINTER;
    }
    *style = (row == 0 ? 16 : 0) | (column == 0 ? 32 : 0);
    return S_OK;
}

HRESULT TableViewData::GetColumnCount(DWORD, LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    *count = (results_ ? results_->CollectSelectedParameters() : 0) + 1;
    return S_OK;
}

HRESULT TableViewData::GetName(DWORD, IKVOString** text) { return Hand(KVO::String(u"Crestmetrics"), text); }

HRESULT TableViewData::GetTitle(DWORD, IKVOString** text)
{
    return Hand(KVO::String(u"Crestmetrics Table View"), text);
}

HRESULT TableViewData::GetRowCount(DWORD flags, LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    const LONG events = results_ ? results_->EventCount() : 0;
    *count = IsSummary(flags) ? (events > 0 ? kSummaryRows : 1) : events + 1;
    return S_OK;
}

void TableViewData::ComputeSummary()
{
    const std::int32_t n = results_ ? results_->CollectSelectedParameters() : 0;
    summary_.assign(static_cast<std::size_t>(n), SummaryRecord{});
    const KVO::PrefixedUnit units = Units();
    for (std::int32_t j = 0; j < n; ++j) {
        double sum = 0;
        std::int32_t count = 0;
        double maximum = -DBL_MAX;
        double minimum = DBL_MAX;
        for (std::int32_t i = 0; i < results_->EventCount(); ++i) {
            double value = std::numeric_limits<double>::quiet_NaN();
            if (!results_->CellText(i, j, units, &value).IsEmpty()) {
                ++count; // a text cell (the time of day) counts, but has no value to sum
                continue;
            }
            if (!std::isfinite(value)) {
                continue;
            }
            sum += value;
            ++count;
            maximum = value > maximum ? value : maximum;
            minimum = value < minimum ? value : minimum;
        }
        const double nan = std::numeric_limits<double>::quiet_NaN();
        summary_[static_cast<std::size_t>(j)] =
            count > 0 ? SummaryRecord{sum / count, maximum, minimum, count} : SummaryRecord{nan, nan, nan, 0};
    }
}

bool TableViewData::ReportProgress(IHostProgress* progress, int& lastShown, LONG done, LONG total)
{
    if (!progress) {
        return true; // nothing can cancel
    }
    const int percent = total > 0 ? static_cast<int>(static_cast<long long>(done) * 100 / total) : 100;
    if (percent != lastShown) {
        lastShown = percent;
        KVO::String text = Decimal(percent);
        text.Append(u" %");
        IKVOString* shown = text.GetInterface();
        progress->SetText(shown);
        shown->Release();
    }
    return progress->SetPercent(percent) == S_OK;
}

HRESULT TableViewData::ExportText(IKVOString* path)
{
    KVO::String name;
    name.AssignInterface(path);
    return ExportText(name);
}

HRESULT TableViewData::ExportText(const KVO::String& path)
{
    platform::ComPtr<IUnknown> made;
    CAF::CreateHostObjectFromStrings(made.Out(), KVO::String(u"Exporting Table View"), KVO::String(), 0, 0,
                                     KVO::String());
    platform::ComPtr<IHostProgress> progress;
    if (made) {
        made->QueryInterface(IID_IHostProgress, progress.OutVoid());
    }

    const std::string fileName = path.ToUtf8();
    // Written whole or not at all: a failed or cancelled export leaves any old file as it was.
    platform::AtomicFile file(fileName);
    if (!file.Good()) {
        return STG_E_WRITEFAULT;
    }
    LONG columns = 0;
    LONG eventRows = 0;
    LONG summaryRows = 0;
    GetColumnCount(0, &columns);
    GetRowCount(0, &eventRows);
    const bool summary = settings_ && settings_->GetBool(kSummarySwitch);
    GetRowCount(kSummaryGrid, &summaryRows);
    const LONG total = eventRows + (summary ? summaryRows : 0);
    LONG done = 0;

    const auto writeRow = [&](DWORD grid, LONG row) {
        std::string line;
        for (LONG c = 0; c < columns; ++c) {
            bool beyondSummary = false;
            const KVO::String cell = CellText(grid, row, c, beyondSummary);
            for (const char16_t* unit = cell.c_str(); *unit; ++unit) {
                // The file is 8-bit text: Latin-1 as single bytes, anything beyond as "?".
                line += *unit <= 0xFF ? static_cast<char>(*unit) : '?';
            }
            line += c + 1 < columns ? "\t" : "\r\n";
        }
        file.Stream() << line;
    };
    const auto abandon = [&] {
        file.Abandon();
        return E_ABORT;
    };
    for (LONG r = 0; r < eventRows; ++r) {
        writeRow(0, r);
        if (!ReportProgress(progress.Get(), lastPercentShown_[0], ++done, total)) {
            return abandon();
        }
    }
    if (summary) {
        file.Stream() << "\r\n";
        for (LONG s = 0; s < summaryRows; ++s) {
            writeRow(kSummaryGrid, s);
            if (!ReportProgress(progress.Get(), lastPercentShown_[1], ++done, total)) {
                return abandon();
            }
        }
    }
    return file.Commit() ? S_OK : STG_E_WRITEFAULT;
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
        // The dialog sets 1 to 10 figures; anything else comes from a damaged file and would reach the
        // number formatting unchecked.
        const bool usable = digits >= kMinDigits && digits <= kMaxDigits;
        formats_[code] = ColumnFormat{usable ? static_cast<int>(digits) : kDefaultDigits, stored};
    }
    if (!in.Good()) {
        return false;
    }
    return ReadWord(in) == kFormatsMarker;
}

} // namespace CX
