// The table's data source over the results store: every cell of the event grid and the summary grid, the summary
// figures of each column, the number formats of the columns (persisted with the document), and the text export.
#pragma once

#include "foundation/comobject.h"
#include "foundation/kvostring.h"
#include "foundation/prefixedunit.h"
#include "sdk/tableview.h"

#include <functional>
#include <map>
#include <vector>

namespace KVO {
class BinIStream;
class BinOStream;
} // namespace KVO

namespace CX::Doc {
class CycleDetector;
class SettingsSet;
} // namespace CX::Doc

namespace CX {

// {8D3A62C1-47E9-4B8F-A0D2-6C19E5B7F302}
inline constexpr IID IID_ITableViewData{0x8D3A62C1, 0x47E9, 0x4B8F, {0xA0, 0xD2, 0x6C, 0x19, 0xE5, 0xB7, 0xF3, 0x02}};

struct ColumnFormat {
    int digits = 4; // significant figures
    int code = 0;   // the parameter code the format belongs to
};

// The text of a number under a column format: codes 1 and 58 as rounded integers, others with the format's
// significant figures and a tidy exponent; one space for a value that is not finite.
KVO::String FormatCellNumber(const ColumnFormat& format, double value);
// "1.234e+004" becomes "1.234e4", "-2.500e-007" "-2.500e-7"; other texts stay.
KVO::String TidyExponent(const KVO::String& text);

struct SummaryRecord {
    double average;
    double maximum;
    double minimum;
    std::int32_t count;
};

class TableViewData final : public ITableDataManager,
                            public ITableStoredRowInfo,
                            public ITableTextExport,
                            public KVO::CComObjectRoot {
public:
    static constexpr int kDefaultDigits = 4;
    static constexpr int kMinDigits = 1; // the significant figures the column format dialog offers
    static constexpr int kMaxDigits = 10;
    static constexpr LONG kSummaryRows = 5; // header, Avg, Min, Max, Count
    using UnitSource = std::function<KVO::PrefixedUnit()>;

    // Count 0; nothing given is owned. `settings` holds the summary switch (none: off); `units` gives the source
    // channel's unit for titles and values (none: no unit).
    explicit TableViewData(Doc::CycleDetector* results, Doc::SettingsSet* settings = nullptr, UnitSource units = {});

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    HRESULT GetCell(DWORD flags, LONG row, LONG column, IKVOString** text) override;
    HRESULT GetCellStyle(DWORD flags, LONG row, LONG column, LONG* style) override;
    HRESULT GetColumnCount(DWORD flags, LONG* count) override;
    HRESULT GetName(DWORD flags, IKVOString** text) override;
    HRESULT GetTitle(DWORD flags, IKVOString** text) override;
    HRESULT GetRowCount(DWORD flags, LONG* count) override;
    HRESULT ExportText(IKVOString* path) override;

    // Writes the event grid and, with the summary rows on, an empty line and the summary grid, one line per row,
    // tab-separated, CR LF after each. Characters above U+00FF are written as "?". A progress indicator named
    // "Exporting Table View" may cancel: the file is then removed and E_ABORT returned. A file that cannot be
    // opened or written gives STG_E_WRITEFAULT.
    HRESULT ExportText(const KVO::String& path);

    // Average, extremes and count of the finite values of each column.
    void ComputeSummary();
    const std::vector<SummaryRecord>& Summary() const { return summary_; }

    Doc::CycleDetector* Results() const { return results_; }
    bool applyToAll = false; // the last state of "Apply to all columns"

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
    KVO::String CellText(DWORD flags, LONG row, LONG column, bool& beyondSummary);
    KVO::PrefixedUnit Units() const { return units_ ? units_() : KVO::PrefixedUnit(); }
    // After each exported row; false when the export must end.
    bool ReportProgress(IHostProgress* progress, int& lastShown, LONG done, LONG total);

    Doc::CycleDetector* results_;
    Doc::SettingsSet* settings_;
    UnitSource units_;
    std::vector<SummaryRecord> summary_;
    std::map<int, ColumnFormat> formats_;
    int lastPercentShown_[2] = {-1, -1}; // event rows, summary rows; kept from one export to the next
};

} // namespace CX
