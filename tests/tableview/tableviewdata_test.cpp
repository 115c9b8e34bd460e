#include "../document/docfixtures.h"
#include "../document/preparedevents.h"
#include "document/cycledetector.h"
#include "document/persistsettings.h"
#include "document/settingids.h"
#include "host/docframework.h"
#include "platform/posix/atomicfile.h"
#include "sdk/ikvostring.h"
#include "tableview/tableviewdata.h"
#include "tests/tempfolder.h"

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <locale>
#include <sstream>

using namespace CX::Doc;
using CX::ColumnFormat;
using CX::Enum::EventFCalc;

namespace {

constexpr DWORD kSummary = TableGrid::kSummary;
constexpr DWORD kEvents = TableGrid::kEvents;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct NoTables final : PersistTables {
    TVF_TableViewMgr* TableManager() override { return nullptr; }
    CX::TableViewData* TableData() override { return nullptr; }
};

std::u16string Text(const KVO::String& text) { return text.c_str(); }

TEST(CellNumbers, FormatsAndRounding)
{
    const struct {
        int digits;
        int code;
        double value;
        std::u16string text;
    } cases[] = {
        {4, 5, 123456, u"1.235e5"},
        {3, 5, 0.000012345, u"1.23e-5"},
        {4, 5, 100, u"100.0"},
        {4, 5, 1234.4, u"1234"},
        {4, 5, 1.5, u"1.500"},
        {4, 5, -0.25, u"-0.2500"},
        {4, 5, 0, u"0.000"},
        {2, 5, -2.5e-7, u"-2.5e-7"},
        {1, 5, 123456, u"1e5"},  // one figure: the same tidy form, no bare point
        {1, 5, 3, u"3"},
        {1, 5, -7e-9, u"-7e-9"},
        {10, 5, 1.0 / 3.0, u"0.3333333333"},
        {4, 5, kNaN, u" "},
        {4, 5, std::numeric_limits<double>::infinity(), u" "},
        {4, 1, 2.5, u"3"},
        {4, 1, -2.5, u"-3"},
        {4, 1, 2.49, u"2"},
        {4, 58, 3e12, u"2147483647"},
        {4, 1, -3e12, u"-2147483648"},
        {4, 1, -std::numeric_limits<double>::infinity(), u" "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text(CX::FormatCellNumber(ColumnFormat{c.digits, c.code}, c.value)), c.text)
            << c.digits << " digits, code " << c.code << ", " << c.value;
    }
}

// Cells show what a classic stream with showpoint writes at the column's figures, tidied: over every figure count
// the dialog offers and beyond, and numbers of every size.
TEST(CellNumbers, CellsShowWhatAClassicStreamWrites)
{
    const auto streamed = [](int digits, double value) {
        std::ostringstream stream;
        stream.imbue(std::locale::classic());
        stream.setf(std::ios::showpoint);
        stream.precision(digits);
        stream << value;
        std::string text = stream.str();
        if (!text.empty() && text.back() == '.') {
            text.pop_back();
        }
        if (const auto point = text.find(".e"); point != std::string::npos) {
            text.erase(point, 1);
        }
        return Text(CX::TidyExponent(KVO::String(std::u16string(text.begin(), text.end()))));
    };
    std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.5, 9.9999, 99999.5, 123456789.0, 1e-5, 1e-4, 1e21,
                                  -2.5e-300, 4.9e-324, std::numeric_limits<double>::max(), 0.0123456789};
    double x = 0.3;
    for (int i = 0; i < 200; ++i) {
        x = std::fmod(x * 7919.123456789 + 0.3183098861837907, 1.0);
        values.push_back((x - 0.5) * std::pow(10.0, (i % 41) - 20));
    }
    for (const int digits : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 17, 40}) {
        for (const double value : values) {
            ASSERT_EQ(Text(CX::FormatCellNumber(ColumnFormat{digits, 5}, value)), streamed(digits, value))
                << digits << " digits, " << value;
        }
    }
}

TEST(CellNumbers, TidyExponent)
{
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"1.234e+004", u"1.234e4"}, {u"-2.500e-007", u"-2.500e-7"}, {u"12.50", u"12.50"},
        {u"1.5e+10", u"1.5e10"},     {u"abc", u"abc"},                {u"", u""},
        // One significant figure has no point; the exponent loses every leading zero, a lone sign stays a bare "e".
        {u"1e+05", u"1e5"},          {u"-3e-010", u"-3e-10"},         {u"1.0e+0010", u"1.0e10"},
        {u"-0.0e+00", u"-0.0e"},     {u"1e+", u"1e"},                 {u"1.5e-", u"1.5e-"},
        {u"-.5e+07", u"-.5e7"},      {u"00.10e+000", u"00.10e"},
        // Anything else stays as it is: no digits after a point, no sign after the e, a letter, a plus in front.
        {u"5.", u"5."},              {u"5.e+3", u"5.e+3"},            {u"1.5e10", u"1.5e10"},
        {u"e+5", u"e+5"},            {u".", u"."},                    {u"-", u"-"},
        {u"+1.5e+3", u"+1.5e+3"},    {u"1.5E+3", u"1.5E+3"},          {u"1.5e+3x", u"1.5e+3x"},
        {u"1.5 e+3", u"1.5 e+3"},    {u"1,5e+3", u"1,5e+3"},          {u"1.5e+\u0663", u"1.5e+\u0663"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(Text(CX::TidyExponent(KVO::String(in))), out) << doctest::Utf8(in);
    }
}

// Cardiac analysis (type 1) with the columns APA (5), TStart (0), Count (1) and the time of day (58), over events
// whose fields the tests set.
struct Table {
    explicit Table(KVO::PrefixedUnit units = {})
        : hostDocument(host::HostDocument::Create(SharedHost().Log(), 7, SharedHost().NewChartData())),
          persist(hostDocument->AsUnknown(), tables), results(hostDocument->AsUnknown(), persist),
          data(new CX::TableViewData(&results, &persist.Settings(), [units] { return units; }))
    {
        data->AddRef();
        SettingsSet& settings = persist.Settings();
        doctest::SelectChannel(settings, 0);
        doctest::SetText(settings, SettingId::kAnalysisType, u"1");
        const CX::ParamCatalogue& catalogue = *settings.Catalogue();
        for (std::int32_t line = 0; line < catalogue.RowCount(1); ++line) {
            const std::int32_t code = catalogue.RowAt(1, line).Code;
            settings.SetBool(code, code == 5 || code == 0 || code == 1 || code == 58);
        }
    }
    ~Table() { data->Release(); }

    void Load(const std::vector<EventFCalc>& events)
    {
        auto source = doctest::Prepared(events, CycleDetector::kRecordBytes);
        ASSERT_TRUE(results.BeginBlock(0, source.Get(), 0.001));
        ASSERT_TRUE(results.EnumerateTo(-1));
        results.EndBlock();
    }

    // The cell as text, and the answer.
    std::pair<HRESULT, std::u16string> Cell(DWORD flags, LONG row, LONG column)
    {
        IKVOString* text = nullptr;
        const HRESULT hr = data->GetCell(flags, row, column, &text);
        std::u16string value = text ? text->GetText() : u"<none>";
        if (text) {
            text->Release();
        }
        return {hr, value};
    }
    std::u16string CellText(DWORD flags, LONG row, LONG column) { return Cell(flags, row, column).second; }

    platform::ComPtr<host::HostDocument> hostDocument;
    NoTables tables;
    PersistSettings persist;
    CycleDetector results;
    CX::TableViewData* data;
};

EventFCalc Beat(std::int32_t tick, float height, float tStart, std::int32_t count)
{
    EventFCalc event;
    event.tick = tick;
    event.height = height;
    event.tStart = tStart;
    event.count = count;
    return event;
}

const std::vector<EventFCalc> kBeats = {
    Beat(100, 81.25f, 0.1f, 1),
    Beat(900, 79.5f, std::numeric_limits<float>::quiet_NaN(), 2),
    Beat(1700, 123456.0f, 1.7f, 3),
};

} // namespace

TEST(TableCells, HeadersRowsAndValues)
{
    Table t;
    t.Load(kBeats);
    LONG columns = 0;
    ASSERT_EQ(t.data->GetColumnCount(kEvents, &columns), S_OK);
    ASSERT_EQ(columns, 5);
    ASSERT_EQ(t.results.Columns(), (std::vector<std::int32_t>{5, 0, 1, 58}));
    LONG rows = 0;
    t.data->GetRowCount(kEvents, &rows);
    EXPECT_EQ(rows, 4);
    t.data->GetRowCount(kSummary, &rows);
    EXPECT_EQ(rows, 5);

    const struct {
        DWORD flags;
        LONG row, column;
        std::u16string text;
    } cases[] = {
        {kEvents, 0, 0, u""},
        {kSummary, 0, 0, u""},
        {kEvents, 0, 1, u"APA"},
        {kSummary, 0, 1, u"APA"},
        {kEvents, 0, 2, u"TStart (s)"},
        {kEvents, 1, 0, u"1"},
        {kEvents, 3, 0, u"3"},
        {kEvents, 7, 0, u"7"},
        {kEvents, 1, 1, u"81.25"},
        {kEvents, 3, 1, u"1.235e5"},
        {kEvents, 1, 2, u"0.1000"},
        {kEvents, 2, 2, u" "},        // not finite
        {kEvents, 3, 3, u"3"},        // code 1: an integer
        {kEvents, 2, 4, u"B0 T900"},  // code 58: the host's time text
        {kEvents, 1, 5, u""},         // beyond the columns
        {kSummary, 1, 0, u"Avg"},
        {kSummary, 2, 0, u"Min"},
        {kSummary, 3, 0, u"Max"},
        {kSummary, 4, 0, u"Count"},
        {kSummary, 5, 0, u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(t.CellText(c.flags, c.row, c.column), c.text) << c.flags << " " << c.row << "," << c.column;
    }

    LONG style = -1;
    const std::tuple<LONG, LONG, LONG> styles[] = {{0, 0, 48}, {0, 2, 16}, {2, 0, 32}, {2, 2, 0}};
    for (const auto& [row, column, expected] : styles) {
        EXPECT_EQ(t.data->GetCellStyle(kSummary, row, column, &style), S_OK);
        EXPECT_EQ(style, expected);
    }
    IKVOString* text = nullptr;
    t.data->GetName(0, &text);
    EXPECT_EQ(std::u16string(text->GetText()), u"Crestmetrics");
    text->Release();
    t.data->GetTitle(0, &text);
    EXPECT_EQ(std::u16string(text->GetText()), u"Crestmetrics Table View");
    text->Release();
}

TEST(TableCells, SummaryRowsFollowTheFiniteValues)
{
    Table t;
    t.Load(kBeats);
    LONG columns = 0;
    t.data->GetColumnCount(0, &columns);
    // Before any summary: no records, the summary cells are refused.
    EXPECT_EQ(t.Cell(kSummary, 1, 1), std::make_pair(S_FALSE, std::u16string(u"<none>")));
    t.data->ComputeSummary();
    ASSERT_EQ(t.data->Summary().size(), 4u);

    // Figures computed here from the events' own fields.
    const double heights[] = {81.25, 79.5, 123456.0};
    const double apaAverage = (heights[0] + heights[1] + heights[2]) / 3;
    const ColumnFormat four{4, 5};
    EXPECT_EQ(t.CellText(kSummary, 1, 1), Text(CX::FormatCellNumber(four, apaAverage)));
    EXPECT_EQ(t.CellText(kSummary, 2, 1), u"79.50");
    EXPECT_EQ(t.CellText(kSummary, 3, 1), u"1.235e5");
    EXPECT_EQ(t.CellText(kSummary, 4, 1), u"3");
    // TStart: one event has none.
    EXPECT_EQ(t.CellText(kSummary, 1, 2), Text(CX::FormatCellNumber(four, (0.1f + 1.7f) / 2.0)));
    EXPECT_EQ(t.CellText(kSummary, 4, 2), u"2");
    // Codes 1 and 58: only the count.
    for (const LONG column : {3, 4}) {
        EXPECT_EQ(t.CellText(kSummary, 1, column), u"");
        EXPECT_EQ(t.CellText(kSummary, 3, column), u"");
    }
    EXPECT_EQ(t.CellText(kSummary, 4, 3), u"3");
    EXPECT_EQ(t.CellText(kSummary, 4, 4), u"3") << "every event has its time of day";

    // A column that joined after the summary has no record yet.
    t.persist.Settings().SetBool(2, true);
    t.data->GetColumnCount(0, &columns);
    ASSERT_EQ(columns, 6);
    EXPECT_EQ(t.Cell(kSummary, 1, 5).first, S_FALSE);
}

TEST(TableCells, NoEventsAndAllNonFinite)
{
    Table t;
    LONG rows = 0;
    t.data->GetRowCount(kEvents, &rows);
    EXPECT_EQ(rows, 1);
    t.data->GetRowCount(kSummary, &rows);
    EXPECT_EQ(rows, 1);
    t.data->ComputeSummary();
    for (LONG row = 1; row <= 3; ++row) {
        EXPECT_EQ(t.CellText(kSummary, row, 1), u" ");
    }
    EXPECT_EQ(t.CellText(kSummary, 4, 1), u"0");
    EXPECT_TRUE(std::isnan(t.data->Summary()[0].average));

    const float nan = std::numeric_limits<float>::quiet_NaN();
    t.Load({Beat(10, nan, std::numeric_limits<float>::infinity(), 1), Beat(20, nan, nan, 2)});
    t.data->ComputeSummary();
    EXPECT_EQ(t.CellText(kSummary, 1, 1), u" ");
    EXPECT_EQ(t.CellText(kSummary, 2, 2), u" ");
    EXPECT_EQ(t.CellText(kSummary, 4, 2), u"0");
}

TEST(TableCells, FormatsFollowTheColumnsDigits)
{
    Table t;
    t.Load(kBeats);
    LONG columns = 0;
    t.data->GetColumnCount(0, &columns);
    t.data->FormatFor(5).digits = 6;
    EXPECT_EQ(t.CellText(kEvents, 3, 1), u"123456");
    EXPECT_EQ(t.CellText(kEvents, 1, 2), u"0.1000");
    t.data->SetAllDigits(2);
    EXPECT_EQ(t.CellText(kEvents, 1, 1), u"81");
    EXPECT_EQ(t.CellText(kEvents, 1, 2), u"0.10");
    EXPECT_EQ(t.data->FormatFor(44).digits, 4) << "a code first asked for later";
}

// The text export, as golden files.
class TableExport : public ::testing::Test {
protected:
    void TearDown() override
    {
        SharedHost().GetFramework().Progress().SetSink({});
        SharedHost().GetFramework().Progress().SetAvailable(true);
    }
    std::string Export(Table& t, bool summary, HRESULT expected = S_OK)
    {
        t.persist.Settings().SetBool(2002, summary);
        t.data->ComputeSummary();
        const std::filesystem::path file = dir / "table.txt";
        EXPECT_EQ(t.data->ExportText(KVO::String(file.u16string())), expected);
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static std::string Golden(const std::string& name)
    {
        std::ifstream in(std::string(TEST_DATA_DIR) + "/golden/" + name, std::ios::binary);
        EXPECT_TRUE(in) << name;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    const testutil::TempFolder own;
    const std::filesystem::path dir = own.Path();
};

TEST_F(TableExport, GoldenFiles)
{
    const struct {
        const char* golden;
        bool summary;
        bool events;
        KVO::PrefixedUnit units;
    } cases[] = {
        {"export_summary.txt", true, true, {}},
        {"export_events.txt", false, true, {}},
        {"export_empty.txt", true, false, {}},
        {"export_micro.txt", true, true, KVO::PrefixedUnit(u"V", u'\u00B5')},
        {"export_ohm.txt", false, true, KVO::PrefixedUnit(u"\u03A9")}, // beyond 8 bits: "?", and the export goes on
    };
    for (const auto& c : cases) {
        Table t(c.units);
        if (c.events) {
            t.Load(kBeats);
        }
        const std::string written = Export(t, c.summary);
        EXPECT_EQ(written, Golden(c.golden)) << c.golden;
        if (std::getenv("UPDATE_GOLDEN")) {
            std::ofstream(std::string(TEST_DATA_DIR) + "/golden/" + c.golden, std::ios::binary) << written;
        }
    }
}

TEST_F(TableExport, ProgressAndCancel)
{
    Table t;
    t.Load(kBeats);
    std::vector<std::pair<LONG, std::u16string>> shown;
    std::u16string title;
    SharedHost().GetFramework().Progress().SetSink([&](const host::ProgressReport& report) {
        shown.emplace_back(report.percent, report.text);
        title = report.title;
        return S_OK;
    });
    ASSERT_FALSE(Export(t, true).empty());
    EXPECT_EQ(title, u"Exporting Table View");
    // 4 event rows and 5 summary rows: one report per row, each with its whole percentage.
    ASSERT_EQ(shown.size(), 9u);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const LONG percent = static_cast<LONG>((i + 1) * 100 / 9);
        EXPECT_EQ(shown[i], std::make_pair(percent, std::u16string(KVO::String(std::to_wstring(percent)).c_str()) + u" %"));
    }

    // A cancel after any row leaves no file where there was none.
    std::filesystem::remove(dir / "table.txt");
    for (std::size_t stopAt = 1; stopAt <= 9; ++stopAt) {
        std::size_t reports = 0;
        SharedHost().GetFramework().Progress().SetSink([&](const host::ProgressReport&) {
            return ++reports == stopAt ? E_ABORT : S_OK;
        });
        Export(t, true, E_ABORT);
        EXPECT_FALSE(std::filesystem::exists(dir / "table.txt")) << stopAt;
        EXPECT_EQ(reports, stopAt);
    }

    // A cancel over an earlier export keeps that one byte for byte, and leaves nothing beside it.
    const std::string old = "an earlier table\r\n";
    std::ofstream(dir / "table.txt", std::ios::binary) << old;
    for (std::size_t stopAt : {1, 5, 9}) {
        std::size_t reports = 0;
        SharedHost().GetFramework().Progress().SetSink([&](const host::ProgressReport&) {
            return ++reports == stopAt ? E_ABORT : S_OK;
        });
        EXPECT_EQ(Export(t, true, E_ABORT), old) << stopAt;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << stopAt;
    }
    SharedHost().GetFramework().Progress().SetSink({});

    // Without a progress display the export runs to its end.
    SharedHost().GetFramework().Progress().SetAvailable(false);
    EXPECT_EQ(Export(t, true), Golden("export_summary.txt"));
}

TEST_F(TableExport, ADiskThatFillsHalfwayKeepsTheEarlierExport)
{
    Table t;
    t.Load(kBeats);
    const std::string old = "an earlier table\r\n";
    std::ofstream(dir / "table.txt", std::ios::binary) << old;
    platform::AtomicFile::FailWritesBeyond(Golden("export_summary.txt").size() / 2, ENOSPC);
    EXPECT_EQ(Export(t, true, STG_E_WRITEFAULT), old);
    platform::AtomicFile::ClearInjectedFault();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    EXPECT_EQ(Export(t, true), Golden("export_summary.txt"));
}

TEST_F(TableExport, AFileThatCannotBeWrittenIsReported)
{
    Table t;
    t.Load(kBeats);
    t.data->ComputeSummary();
    EXPECT_EQ(t.data->ExportText(KVO::String((dir / "missing" / "table.txt").u16string())), STG_E_WRITEFAULT);
    EXPECT_EQ(t.data->ExportText(KVO::String(dir.u16string())), STG_E_WRITEFAULT) << "a directory";
    // Through the interface the host uses.
    platform::ComPtr<ITableTextExport> exporter;
    ASSERT_EQ(t.data->QueryInterface(IID_ITableTextExport, exporter.OutVoid()), S_OK);
    const std::filesystem::path file = dir / "through.txt";
    const KVO::String path(file.u16string());
    IKVOString* text = path.GetInterface();
    EXPECT_EQ(exporter->ExportText(text), S_OK);
    text->Release();
    EXPECT_TRUE(std::filesystem::exists(file));
}
