#include "tablewindow_fixture.h"

#include "foundation/localeinfo.h"
#include "sdk/channeltitles.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/image.h"
#include "tableview/tvf/rownumberspane.h"
#include "platform/ui/render.h"
#include "platform/win/clipboard.h"
#include "tableview/tvf/gridcolumn.h"
#include "tableview/tvf/gridpane.h"
#include "platform/win/commdlg.h"
#include "platform/win/locale.h"
#include "platform/win/memstatus.h"
#include "platform/win/msgbox.h"
#include "platform/win/codepage.h"
#include "tests/tempfolder.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>

using namespace tabletest;
using TVF_Grid::CellRange;
using TVF_Grid::GridPos;

namespace {

// The lines of a grid as copy writes them: rows [first, end) of the data, columns 1.. of the table.
// With row titles (the table view's options) the header column comes first.
std::u16string Lines(const Grid& grid, int first, int end, std::u16string_view separator, bool titles = true)
{
    std::u16string text;
    const auto line = [&](const Grid::value_type& cells) {
        for (std::size_t c = 0; c < cells.size(); ++c) {
            text += cells[c];
            text += c + 1 < cells.size() ? std::u16string(separator) : std::u16string(u"\r\n");
        }
    };
    if (titles) {
        line(grid[0]);
    }
    for (int r = first; r < end; ++r) {
        line(grid[static_cast<std::size_t>(r) + 1]);
    }
    return text;
}

std::string Bytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string Golden(const std::string& name) { return std::string(TEST_DATA_DIR) + "/golden/" + name; }

// The golden file's bytes; with UPDATE_GOLDEN set they are first replaced by the actual bytes.
std::string GoldenBytes(const std::string& name, const std::string& actual)
{
    if (std::getenv("UPDATE_GOLDEN")) {
        std::ofstream(Golden(name), std::ios::binary) << actual;
    }
    return Bytes(Golden(name));
}

void SelectRows(TVF_Grid::EventGridControl& grid, int first, int end)
{
    CellRange range;
    range.FirstRow = {first, 1};
    range.EndRow = {end, 1};
    range.FirstColumn = {1, 1};
    range.EndColumn = {1 + grid.PaneColumnCount(), 1};
    grid.Selection()->SetRange(range);
}

std::u16string ClipboardText()
{
    if (!OpenClipboard(nullptr)) {
        return u"<closed>";
    }
    std::u16string text;
    if (HGLOBAL block = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const char16_t*>(GlobalLock(block));
        GlobalUnlock(block);
    }
    CloseClipboard();
    return text;
}

} // namespace

TEST_F(TableWindowTest, CopyTextFollowsTheSelections)
{
    const std::u16string events = Lines(table.events, 0, 10, u"\t");
    const std::u16string summary = Lines(table.summary, 0, 4, u"\t");
    // No selection: everything, the grids joined by one line feed.
    EXPECT_EQ(Window().BuildCopyText(u"\t"), events + u"\n" + summary);

    // A selection in the summary only: those summary rows alone.
    SelectRows(Window().SummaryGrid(), 2, 4);
    EXPECT_EQ(Window().BuildCopyText(u"\t"), Lines(table.summary, 1, 3, u"\t"));

    // Both: the event selection, a line feed, the summary selection.
    SelectRows(Window().EventGrid(), 5, 10);
    EXPECT_EQ(Window().BuildCopyText(u"\t"), Lines(table.events, 4, 9, u"\t") + u"\n" + Lines(table.summary, 1, 3, u"\t"));

    // Summary hidden: its selection is cleared and only the event table is copied.
    Window().EventGrid().Selection()->Clear();
    manager->SetOptions(0x278);
    EXPECT_FALSE(Window().SummaryGrid().Selection()->HasSelection());
    EXPECT_EQ(Window().BuildCopyText(u"\t"), events);

    // Without row titles the header column is left out; without column titles the title line.
    manager->SetOptions(0x218);
    EXPECT_EQ(Window().BuildCopyText(u"\t").substr(0, 13), u"1.1\t1.2\t1.3\r\n");
}

TEST_F(TableWindowTest, CopyPutsUnicodeTextOnTheClipboardOrSaysWhyNot)
{
    Window().Copy();
    EXPECT_EQ(ClipboardText(), Lines(table.events, 0, 10, u"\t") + u"\n" + Lines(table.summary, 0, 4, u"\t"));

    std::vector<std::u16string> boxes;
    auto previous = platform::SetMessageBoxHook([&](const platform::MessageBoxCall& call) {
        boxes.push_back(call.text + u"|" + call.caption);
        return IDOK;
    });
    platform::LockClipboard(true);
    Window().Copy();
    platform::LockClipboard(false);
    platform::SetMessageBoxHook(std::move(previous));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], u"Unable to copy to clipboard at present|Error");
}

// The window registers its message handler with the host document while it lives: the host's copy, print and
// print-service messages reach it there; others are left to the host.
TEST_F(TableWindowTest, HostMessagesReachTheWindowThroughItsRegisteredHandler)
{
    host::HandlerNode& handlers = hostDocument->Handlers();
    ASSERT_EQ(handlers.ChildCount(), 1u);
    EXPECT_EQ(handlers.Send(0x80010008), 1);
    EXPECT_EQ(ClipboardText(), Lines(table.events, 0, 10, u"\t") + u"\n" + Lines(table.summary, 0, 4, u"\t"));

    host::PrintService& printing = hostFrame->Printing();
    const int sent = printing.SentCount();
    EXPECT_EQ(handlers.Send(0x8001000C), 1);
    EXPECT_EQ(printing.SentCount(), sent + 2); // one printout per grid, handed to the service to keep
    EXPECT_FALSE(printing.Previews().empty());
    EXPECT_EQ(handlers.Send(0x80010009), 0);

    manager->DestroyTableView(0);
    EXPECT_EQ(handlers.ChildCount(), 0u);
    EXPECT_EQ(handlers.Send(0x80010008), 0);
}

// The printouts go to the host application's print service, whatever the frame offers; without one nothing prints.
TEST_F(TableWindowTest, PrintoutsGoToTheApplicationsPrintService)
{
    hostFrame->SetPrintServiceOffered(false);
    const auto application = host::PrintService::Create(SharedHost().Log());
    SharedHost().Application().SetPrintService(application.Get());
    Window().SendToPrintService();
    EXPECT_EQ(application->SentCount(), 2);
    EXPECT_EQ(hostFrame->Printing().SentCount(), 0);

    SharedHost().Application().SetPrintService(nullptr);
    Window().SendToPrintService();
    EXPECT_EQ(application->SentCount(), 2);
}

// The channel titles come from the host document's channel list, as many as it counts (at least one), each
// under its index; without a list the window keeps none.
TEST_F(TableWindowTest, ChannelTitlesAreReadFromTheHostDocument)
{
    EXPECT_TRUE(Window().ChannelTitles().empty()); // this host document offers no channel list
    auto recording = host::Document::Create();
    recording->AddChannel(u"Pressure", u"mmHg");
    recording->AddChannel(u"Flow", u"l/s");
    auto source = host::DataSource::Create(SharedHost(), recording);
    manager->DestroyTableView(0);
    hostDocument = host::HostDocument::Create(SharedHost().Log(), 10,
                                              platform::ComPtr<host::ChartData>(&source->GetChartData()));
    Open(0x27A);
    const std::map<unsigned, KVO::String> expected{{0, KVO::String(u"Pressure")}, {1, KVO::String(u"Flow")}};
    EXPECT_EQ(Window().ChannelTitles(), expected);
    EXPECT_EQ(Window().EventGrid().ChannelTitles(), expected);
    EXPECT_EQ(Window().SummaryGrid().ChannelTitles(), expected);

    // The host's notice that the titles changed (message 4 of its view family) reloads them; message 0 does not.
    platform::ComPtr<IObserver> observer;
    ASSERT_EQ(Window().HostHandler()->QueryInterface(IID_IObserver, observer.OutVoid()), S_OK);
    WORD family = 0;
    ASSERT_EQ(SharedHost().GetFramework().GetShortId(&CLSID_ViewMessageFamily, &family), S_OK);
    recording->AddChannel(u"Volume", u"l");
    observer->Notify(nullptr, static_cast<DWORD>(family) << 16, 0, nullptr);
    EXPECT_EQ(Window().ChannelTitles().size(), 2u);
    observer->Notify(nullptr, static_cast<DWORD>(family) << 16 | kChannelTitlesChangedMessage, 0, nullptr);
    EXPECT_EQ(Window().ChannelTitles().size(), 3u);
    EXPECT_EQ(Window().ChannelTitles().at(2), KVO::String(u"Volume"));
    observer.Reset(); // the handler goes with the window
    manager->DestroyTableView(0);
}

// A data source that describes its columns titles them by name and unit instead of by the cells of row 0.
TEST_F(TableWindowTest, DescribedColumnsAreTitledByNameAndUnit)
{
    table.describes = true;
    manager->Refresh(0);
    EXPECT_EQ(std::u16string(Window().EventRenderer()->ColumnTitleOf(0).c_str()), u"Column 0 (ms)");
    EXPECT_EQ(std::u16string(Window().EventRenderer()->ColumnTitleOf(1).c_str()), u"Column 1");
    table.describes = false;
    manager->Refresh(0);
    EXPECT_EQ(std::u16string(Window().EventRenderer()->ColumnTitleOf(0).c_str()), u"P1 (mV)");
}

TEST_F(TableWindowTest, CsvExportUsesTheListSeparatorAndQuotesOnlyWhatWouldShiftColumns)
{
    const platform::LocaleProfile before = platform::UserLocale();
    platform::SetUserLocale(platform::LocaleProfile::German());
    LocaleInfo::Reset();
    table.events[0][2] = u"Amp; \"peak\" (µV)"; // separator and quotes: quoted
    table.events[3][1] = u"2,5";                  // the decimal comma is no separator here: as it is
    table.events[4][3] = u"Ω";                    // beyond one byte: "?"
    manager->Refresh(0);
    const testutil::TempFolder folder;
    const std::string path = folder / "table_semicolon.csv";
    IKVOString* pathText = KVO::String(std::u16string(path.begin(), path.end())).GetInterface();
    EXPECT_EQ(manager->ExportCsv(0, pathText), S_OK);
    pathText->Release();
    platform::SetUserLocale(before);
    LocaleInfo::Reset();
    const std::string bytes = Bytes(path);
    EXPECT_EQ(bytes, GoldenBytes("table_semicolon.csv", bytes));
    EXPECT_NE(bytes.find("\"Amp; \"\"peak\"\" (\xB5V)\""), std::string::npos);
}

TEST_F(TableWindowTest, CsvExportOfASelectionAndFailures)
{
    SelectRows(Window().EventGrid(), 2, 4);
    std::vector<platform::SaveFileCall> dialogs;
    const testutil::TempFolder folder;
    const std::string path = folder / "table_selection.csv";
    auto previous = platform::SetSaveFileHook([&](const platform::SaveFileCall& call) {
        dialogs.push_back(call);
        return std::optional<std::u16string>(std::u16string(path.begin(), path.end() - 4)); // no extension
    });
    EXPECT_EQ(manager->ExportCsv(0, nullptr), S_OK);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].title, u"Export to CSV file");
    EXPECT_EQ(dialogs[0].defaultExtension, u"csv");
    EXPECT_EQ(Bytes(path), GoldenBytes("table_selection.csv", Bytes(path)));

    // A cancelled dialog writes nothing; a file that cannot be written is a failure and leaves nothing behind.
    platform::SetSaveFileHook([](const platform::SaveFileCall&) { return std::optional<std::u16string>(); });
    EXPECT_EQ(manager->ExportCsv(0, nullptr), E_FAIL);
    platform::SetSaveFileHook(std::move(previous));
    const std::string missing = folder / "no/such/folder/table.csv";
    IKVOString* pathText = KVO::String(std::u16string(missing.begin(), missing.end())).GetInterface();
    EXPECT_EQ(manager->ExportCsv(0, pathText), STG_E_WRITEFAULT);
    pathText->Release();
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_FALSE(std::filesystem::exists(missing + ".part"));
}

TEST_F(TableWindowTest, ACancelledCsvExportWritesNothing)
{
    const testutil::TempFolder folder;
    const std::string path = folder / "table_cancelled.csv";
    const std::string old = "an earlier export\r\n";
    std::ofstream(path, std::ios::binary) << old;
    IKVOString* pathText = KVO::String(std::u16string(path.begin(), path.end())).GetInterface();
    host::ProgressFactory& progress = SharedHost().GetFramework().Progress();
    progress.SetAvailable(true);
    for (const int stopAt : {1, 3}) {
        int reports = 0;
        progress.SetSink([&](const host::ProgressReport&) { return ++reports == stopAt ? E_ABORT : S_OK; });
        EXPECT_EQ(manager->ExportCsv(0, pathText), E_ABORT) << stopAt;
        EXPECT_EQ(reports, stopAt);
        EXPECT_EQ(Bytes(path), old) << stopAt;
    }
    progress.SetSink({});
    pathText->Release();
}

// A copy cancelled part way leaves the clipboard holding what it held before, not the rows copied so far.
TEST_F(TableWindowTest, ACancelledCopyLeavesTheClipboardAsItWas)
{
    const std::u16string earlier = u"the user's earlier clip";
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (earlier.size() + 1) * sizeof(char16_t));
    std::copy(earlier.c_str(), earlier.c_str() + earlier.size() + 1, static_cast<char16_t*>(GlobalLock(block)));
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
    host::ProgressFactory& progress = SharedHost().GetFramework().Progress();
    progress.SetAvailable(true);
    for (const int stopAt : {1, 3}) {
        int reports = 0;
        progress.SetSink([&](const host::ProgressReport&) { return ++reports == stopAt ? E_ABORT : S_OK; });
        Window().Copy();
        EXPECT_EQ(reports, stopAt);
        EXPECT_EQ(ClipboardText(), earlier) << stopAt;
    }
    progress.SetSink({});
    Window().Copy();
    EXPECT_EQ(ClipboardText(), Lines(table.events, 0, 10, u"\t") + u"\n" + Lines(table.summary, 0, 4, u"\t"));
}

// A long copy or Tallysheet fill shows each whole percentage once, not every row, and as text ("37 %").
TEST_F(TableWindowTest, LongRowOperationsReportEachPercentageOnce)
{
    FillTable(table, 450, 2);
    manager->SetOptions(0x258); // the event rows alone
    host::ProgressFactory& progress = SharedHost().GetFramework().Progress();
    progress.SetAvailable(true);
    std::map<std::u16string, std::vector<LONG>> shown;
    std::map<std::u16string, std::vector<std::u16string>> texts;
    progress.SetSink([&](const host::ProgressReport& report) {
        shown[report.title].push_back(report.percent);
        texts[report.title].push_back(report.text);
        return S_OK;
    });
    const struct {
        const char16_t* title;
        std::function<void()> run;
    } operations[] = {{u"Copying", [&] { Window().Copy(); }},
                      {u"Adding to Tallysheet", [&] { EXPECT_EQ(manager->AddToTallysheet(0), S_OK); }}};
    for (const auto& operation : operations) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(operation.title)));
        operation.run();
        const std::vector<LONG>& percents = shown[operation.title];
        EXPECT_GE(percents.size(), 90u);
        EXPECT_LE(percents.size(), 100u);
        EXPECT_TRUE(std::adjacent_find(percents.begin(), percents.end(), std::greater_equal<LONG>()) ==
                    percents.end())
            << testing::PrintToString(percents);
        // Each percentage's text is set after its report: a report shows the text of the one before it.
        const std::vector<std::u16string>& said = texts[operation.title];
        for (std::size_t i = 1; i < said.size(); ++i) {
            const std::string percent = std::to_string(percents[i - 1]);
            ASSERT_EQ(said[i], std::u16string(percent.begin(), percent.end()) + u" %") << i;
        }
    }
    progress.SetSink({});
}

TEST_F(TableWindowTest, SelectRowsSelectsWholeRowsAndClears)
{
    actions.selections.clear();
    EXPECT_EQ(manager->SelectRows(TableGrid::kEvents, 5, 10), S_OK);
    const CellRange& range = Window().EventGrid().Selection()->GetRange();
    EXPECT_EQ(range.FirstRow.Index, 5);
    EXPECT_EQ(range.EndRow.Index, 10);
    EXPECT_EQ(range.EndColumn.Index - range.FirstColumn.Index, 3);
    ASSERT_FALSE(actions.selections.empty());
    EXPECT_EQ(actions.selections.back()[0].firstRow, 5);
    EXPECT_EQ(manager->SelectRows(TableGrid::kEvents, 0, 0), S_OK);
    EXPECT_FALSE(Window().EventGrid().Selection()->HasSelection());

    // The summary while hidden is left alone.
    manager->SetOptions(0x278);
    EXPECT_EQ(manager->SelectRows(TableGrid::kSummary, 1, 3), S_OK);
    EXPECT_FALSE(Window().SummaryGrid().Selection()->HasSelection());
}

TEST_F(TableWindowTest, ManagerRefusesWithoutWindowAndForgetsItsClient)
{
    EXPECT_EQ(manager->MoveColumn(0, 1, 4), E_INVALIDARG); // past the end
    EXPECT_EQ(manager->MoveColumn(0, 1, 3), S_OK);
    manager->Refresh(0);
    EXPECT_EQ(std::u16string(Window().EventRenderer()->ColumnTitleOf(2).c_str()), u"P1 (mV)")
        << "the title follows the move";
    EXPECT_EQ(Window().Detach(), S_OK);
    EXPECT_EQ(Window().Detach(), S_OK) << "a second detach does nothing";
    manager->DestroyTableView(0);
    EXPECT_EQ(manager->Window(), nullptr);
    EXPECT_EQ(manager->Refresh(0), E_FAIL);
    EXPECT_EQ(manager->SelectRows(0, 1, 2), E_FAIL);
    EXPECT_EQ(manager->ExportCsv(0, nullptr), E_FAIL);
    EXPECT_EQ(manager->OnSelectionChanged(8, nullptr, 0), S_OK) << "no client handler any more";
    LONG count = -1;
    EXPECT_EQ(manager->GetColumnCount(0, &count), E_FAIL) << "no client data any more";
    EXPECT_EQ(manager->DestroyTableView(0), S_OK);
}

TEST_F(TableWindowTest, RendererTextsForTheStyleBits)
{
    TVF_Renderer& renderer = *Window().EventRenderer();
    table.events[1][1] = u"2";
    table.events[2][1] = u"7";
    table.events[3][1] = u"abc";
    table.events[4][1] = u"-1";
    table.styles[{0, 1, 1}] = CellStyle::kChannel | CellStyle::kShowChannelName;
    table.styles[{0, 2, 1}] = CellStyle::kChannel | CellStyle::kShowChannelName;
    table.styles[{0, 3, 1}] = CellStyle::kChannel | CellStyle::kShowChannelName;
    table.styles[{0, 4, 1}] = CellStyle::kChannel;
    table.styles[{0, 5, 2}] = CellStyle::kPlaceholder;
    table.styles[{0, 6, 0}] = CellStyle::kIndented;
    Window().SetChannelTitles({{2, KVO::String(u"Pressure")}});

    // Copy: channel numbers become names (unknown, not a number or negative: empty); placeholders are empty.
    std::u16string text;
    renderer.CopyRows(text, false, false, u"|", GridPos{1, 1}, GridPos{7, 1});
    EXPECT_EQ(text, u"Pressure|1.2|1.3\r\n|2.2|2.3\r\n|3.2|3.3\r\n|4.2|4.3\r\n5.1||5.3\r\n6.1|6.2|6.3\r\n");

    std::u16string title;
    renderer.GetRowTitle(GridPos{6, 1}, title);
    EXPECT_EQ(title, std::u16string(u"   6") + u'\0');

    // Painting: a channel cell without its show bit is blank; an indented cell gets three blanks.
    table.styles[{0, 6, 3}] = CellStyle::kIndented | CellStyle::kHighlighted;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 120, 200);
    HGDIOBJ old = SelectObject(dc, bitmap);
    gdi::CallLog log;
    gdi::LogDcCalls(dc, &log);
    TVF_Grid::UniformRowPosCursor cursor(0, GridPos{1, 1}, GridPos{7, 1}, 16);
    int widest = 0;
    int lowest = 0;
    std::vector<std::string> texts;
    for (int c : {0, 2}) {
        log.clear();
        TVF_Grid::UniformRowPosCursor rows(0, GridPos{1, 1}, GridPos{7, 1}, 16);
        renderer.PaintColumn(dc, c, RECT{0, 0, 100, 200}, rows, GridPos{7, 1}, &widest, &lowest);
        for (const std::string& line : log.calls("ExtTextOutW")) {
            texts.push_back(line.substr(line.rfind(',') + 1));
        }
    }
    (void)cursor;
    EXPECT_EQ(lowest, 6 * 16 - 1);
    EXPECT_GT(widest, 0);
    ASSERT_EQ(texts.size(), 12u);
    EXPECT_NE(texts[0].find("Pressure"), std::string::npos) << texts[0];
    EXPECT_EQ(texts[3].find("4"), std::string::npos) << "a channel cell without its show bit is blank: " << texts[3];
    EXPECT_NE(texts[11].find("   6.3"), std::string::npos) << texts[11];
    gdi::LogDcCalls(dc, nullptr);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

// A channel cell's number is read as the grid reads it for its choice list (blanks before it, anything after it),
// so that the painted cell, its copy and the choice list name the same channel.
TEST_F(TableWindowTest, AChannelCellNamesTheChannelTheGridReads)
{
    table.styles[{0, 1, 1}] = CellStyle::kChannel | CellStyle::kShowChannelName;
    Window().SetChannelTitles({{2, KVO::String(u"Pressure")}});
    TVF_Grid::EventGridControl& grid = Window().EventGrid();
    HWND pane = grid.Pane().GetHandle();
    const auto paint = [&](const char16_t* text) {
        table.events[1][1] = text;
        InvalidateRect(pane, nullptr, TRUE);
        return ui::RenderWindow(pane);
    };
    const gdi::Image named = paint(u"2");
    const gdi::Image blank = paint(u"abc");
    ASSERT_GT(gdi::CompareImages(named, blank, 0).differentPixels, 0) << "the name is painted";
    for (const char16_t* text : {u" 2", u"2 ", u"2 mV"}) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(text)));
        EXPECT_EQ(gdi::CompareImages(paint(text), named, 0).differentPixels, 0);
        const auto cell = grid.GetCellData(GridPos{1, 1}, GridPos{1, 1});
        EXPECT_EQ(cell->GetText(), KVO::String(u"2")) << "the choice list's reading";
        std::u16string copied;
        Window().EventRenderer()->CopyRows(copied, false, false, u"|", GridPos{1, 1}, GridPos{2, 1});
        EXPECT_EQ(copied, u"Pressure|1.2|1.3\r\n");
    }
}

TEST_F(TableWindowTest, AnEmptyTableGetsOnePlaceholderColumn)
{
    table.events.assign(1, Grid::value_type{u""});
    table.summary.assign(1, Grid::value_type{u""});
    manager->Refresh(0);
    EXPECT_EQ(Window().EventGrid().Pane().ColumnCount(), 1);
    EXPECT_EQ(Window().EventGrid().Pane().Column(0)->Width(), 100);
    EXPECT_EQ(Window().EventRenderer()->ColumnEntries(), 0);
}

// A renderer is made with no reference, deletes itself with its last one and lets its pixel map go then; the
// table window holds one while it shows the grid and lets the map go when it detaches.
TEST_F(TableWindowTest, TheRendererGoesWithItsLastReferenceAndTakesItsPixelMapAlong)
{
    const auto count = [](IUnknown* object) {
        object->AddRef();
        return object->Release();
    };
    auto* renderer = new TVF_Renderer(Window().EventGrid());
    EXPECT_EQ(renderer->AddRef(), 1u);
    EXPECT_EQ(renderer->PixMap(), nullptr);
    renderer->Attach(nullptr, &table, &table, TableGrid::kEvents);
    const platform::ComPtr<IRecordDataPixMap> map(renderer->PixMap());
    ASSERT_TRUE(map);
    EXPECT_EQ(count(map.Get()), 2u);
    EXPECT_EQ(renderer->AddRef(), 2u);
    EXPECT_EQ(renderer->Release(), 1u);
    EXPECT_EQ(count(map.Get()), 2u);
    EXPECT_EQ(renderer->Release(), 0u);
    EXPECT_EQ(count(map.Get()), 1u) << "the renderer is gone and has released its map";

    TVF_Renderer& shown = *Window().EventRenderer();
    EXPECT_EQ(shown.AddRef(), 2u);
    EXPECT_EQ(shown.Release(), 1u);
    ASSERT_NE(shown.PixMap(), nullptr);
    Window().Detach();
    EXPECT_EQ(shown.PixMap(), nullptr);
}

// The grid's row extent is the pixel map's length; while the grid follows the newest row each rebuild brings the
// end position and every column to the map's end.
TEST_F(TableWindowTest, RebuildingReadsTheRowsAndTheEndFromThePixelMap)
{
    TVF_Renderer& renderer = *Window().EventRenderer();
    EXPECT_EQ(Window().EventGrid().Pane().RowCount(), 10);
    EXPECT_EQ(renderer.EndPosition(), 0);
    FillTable(table, 14, 3);
    // Following the newest row, as the snap button or the stored setting asks, reaches the event grid's renderer.
    manager->SetFollowLatest(0, VARIANT_TRUE);
    manager->Refresh(0);
    EXPECT_EQ(Window().EventGrid().Pane().RowCount(), 14);
    EXPECT_EQ(renderer.EndPosition(), 14);
    for (int c = 0; c < renderer.ColumnEntries(); ++c) {
        EXPECT_EQ(renderer.ColumnPosition(c), 14) << c;
    }
    manager->SetFollowLatest(0, 0);
    FillTable(table, 12, 4);
    manager->Refresh(0);
    EXPECT_EQ(Window().EventGrid().Pane().RowCount(), 12);
    EXPECT_EQ(renderer.EndPosition(), 14) << "kept while not following";
    EXPECT_EQ(renderer.ColumnPosition(3), 0) << "a new column starts at 0";
}

TEST_F(TableWindowTest, TallysheetStartsBelowWhatItHoldsAfterOneEmptyRow)
{
    manager->SetOptions(0x258); // no summary, no row titles
    EXPECT_EQ(manager->AddToTallysheet(0), S_OK);
    // An empty sheet: rows 0 and 1 are empty, so writing starts at row 1 with the titles.
    EXPECT_EQ(sheet->Text(0, 0), u"");
    EXPECT_EQ(sheet->Text(1, 0), u"P1 (mV)");
    EXPECT_EQ(sheet->Text(2, 2), u"1.3");
    EXPECT_EQ(sheet->Text(11, 0), u"10.1");
    EXPECT_EQ(sheet->UsedRows(), 12);
    // Again: exactly one empty row (12) separates the blocks.
    EXPECT_EQ(manager->AddToTallysheet(0), S_OK);
    EXPECT_EQ(sheet->Text(12, 0), u"");
    EXPECT_EQ(sheet->Text(13, 0), u"P1 (mV)");
    // With the summary shown its rows follow the event rows' block.
    manager->SetOptions(0x25A);
    const LONG before = sheet->UsedRows();
    EXPECT_EQ(manager->AddToTallysheet(0), S_OK);
    EXPECT_EQ(sheet->Text(before + 1, 0), u"P1 (mV)");
    EXPECT_EQ(sheet->Text(before + 11, 2), u"10.3");
    EXPECT_EQ(sheet->Text(before + 12, 0), u"");
    EXPECT_EQ(sheet->Text(before + 13, 0), u"P1 (mV)");
    EXPECT_EQ(sheet->Text(before + 14, 0), u"A1");

    // A document without a Tallysheet: S_FALSE.
    hostDocument->SetTallysheet({}, 0);
    EXPECT_EQ(manager->AddToTallysheet(0), S_FALSE);
}

namespace {
// A sheet whose first `filled` rows hold text in column 0; it keeps what is written.
class NearlyFullSheet final : public ITallysheet {
public:
    explicit NearlyFullSheet(LONG filled) : filled_(filled) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetCellText(DWORD, DWORD, LONG row, LONG column, BSTR* text) override
    {
        *text = row < filled_ && column == 0 ? SysAllocString(u"x") : nullptr;
        return S_OK;
    }
    HRESULT SetCellText(DWORD, DWORD, LONG row, LONG column, const WCHAR* text, VARIANT_BOOL) override
    {
        if (row >= 0x100000) {
            return E_INVALIDARG;
        }
        written[{row, column}] = text;
        return S_OK;
    }
    std::map<std::pair<LONG, LONG>, std::u16string> written;

private:
    LONG filled_;
};
} // namespace

TEST_F(TableWindowTest, TallysheetStopsAtItsLastRowAndMemoryRefusalWritesNothing)
{
    TVF_Renderer& renderer = *Window().EventRenderer();
    NearlyFullSheet full(0x100000 - 6); // rows ..1048569 hold text; 1048570 and 1048571 are empty
    EXPECT_EQ(renderer.AddAllToTallysheet(&full, false, true), S_FALSE);
    EXPECT_EQ(full.written.size(), 3u * 5); // titles at 1048571, then data rows 1048572..1048575
    EXPECT_EQ(full.written[std::make_pair(0x100000 - 5, 0)], u"P1 (mV)");
    EXPECT_EQ(full.written[std::make_pair(0x100000 - 1, 2)], u"4.3");

    const platform::MemoryProfile before = platform::GetMemoryProfile();
    platform::MemoryProfile tight = before;
    tight.availableVirtual = 11 * 3 * 20 - 1; // one byte short of 11 rows by 3 columns
    platform::SetMemoryProfile(tight);
    const std::size_t writes = sheet->Writes();
    EXPECT_EQ(manager->AddToTallysheet(0), E_OUTOFMEMORY);
    EXPECT_EQ(sheet->Writes(), writes);
    EXPECT_EQ(sheet->UsedRows(), 0);
    platform::SetMemoryProfile(before);
}

TEST(FreeMemoryCheck, MultipliesInSixtyFourBitsAndPassesSystemErrorsOn)
{
    const platform::MemoryProfile before = platform::GetMemoryProfile();
    platform::MemoryProfile profile = before;
    const struct {
        std::uint64_t available;
        unsigned rows;
        unsigned columns;
        HRESULT result;
    } cases[] = {
        {2000, 10, 10, S_OK},
        {1999, 10, 10, E_OUTOFMEMORY},
        // 70 000 × 4 000 × 20 bytes wraps to about 1.3 GB in 32 bits; 2 GB free is not enough for 5.6 GB.
        {std::uint64_t{2} << 30, 70000, 4000, E_OUTOFMEMORY},
        {std::uint64_t{6} << 30, 70000, 4000, S_OK},
    };
    for (const auto& c : cases) {
        profile.availableVirtual = c.available;
        platform::SetMemoryProfile(profile);
        EXPECT_EQ(TVF_Renderer::CheckFreeMemory(c.rows, c.columns), c.result) << c.rows << "x" << c.columns;
    }
    profile.statusError = 5;
    platform::SetMemoryProfile(profile);
    EXPECT_EQ(TVF_Renderer::CheckFreeMemory(1, 1), 5);
    platform::SetMemoryProfile(before);
}

TEST_F(TableWindowTest, TitlesOfTheCardiacTableFitTheDefaultColumnsAsOnAWindowsScreen)
{
    // The title font is 10 points given as a cell height; in the dialog face at 96 dpi that is an 11-pixel em, and
    // these titles of the cardiac table then fit the 90-pixel default column (89 pixels inside its frame lines).
    const std::u16string titles[] = {u"Max dV/dt (mV/s)", u"Triangulation (ms)", u"PlateauV1 (mV)"};
    for (int c = 0; c < 3; ++c) {
        table.events[0][static_cast<std::size_t>(c) + 1] = titles[c];
    }
    manager->Refresh(0);
    TVF_Grid::EventGridControl& events = Window().EventGrid();
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, events.TitleFont());
    for (int c = 0; c < 3; ++c) {
        const TVF_Grid::GridColumn& column = *events.Pane().Column(c);
        EXPECT_EQ(column.Title().View(), titles[c]);
        EXPECT_EQ(90, column.Width());
        SIZE size{};
        GetTextExtentPoint32W(screen, titles[c].c_str(), static_cast<int>(titles[c].size()), &size);
        EXPECT_LE(size.cx, column.Width() - 1) << platform::Utf16ToUtf8(titles[c]);
        EXPECT_GE(size.cx, column.Width() * 3 / 4) << "the font keeps its size";
    }
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
}

TEST_F(TableWindowTest, TheSummaryColumnsLineUpUnderTheEventColumns)
{
    TVF_Grid::EventGridControl& events = Window().EventGrid();
    TVF_Grid::EventGridControl& summary = Window().SummaryGrid();
    // Both grids take the placement's row-number width, although the event grid had its own from construction.
    EXPECT_EQ(60, events.RowNumbers().WidthValue());
    EXPECT_EQ(60, summary.RowNumbers().WidthValue());
    EXPECT_EQ(60, events.RowNumberWidth());
    EXPECT_EQ(60, summary.RowNumberWidth());
    const auto left = [](TVF_Grid::EventGridControl& grid) {
        RECT r{};
        GetWindowRect(grid.Pane().GetHandle(), &r);
        return r.left;
    };
    EXPECT_EQ(left(events), left(summary));
    // The width is given once; a later placement and size changes keep it.
    manager->SetLayout(0, 0, 0, 700, 500, 90, 100, 120);
    EXPECT_EQ(60, events.RowNumberWidth());
    EXPECT_EQ(60, summary.RowNumberWidth());
    EXPECT_EQ(left(events), left(summary));

    // The whole window: the event grid over the summary grid, their columns aligned.
    manager->SetLayout(0, 0, 0, 800, 561, 60, 100, 100);
    ui::pump();
    const gdi::GoldenCheck check = gdi::CheckGolden(ui::RenderWindow(Window().GetHandle()), Golden("table_window.png"));
    EXPECT_TRUE(check.ok) << check.message;
}
