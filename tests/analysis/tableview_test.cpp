#include "analysisfixture.h"

#include "controls/bmptxtbutton.h"
#include "dialogs/settingsdlg.h"
#include "platform/owl/tabcontrol.h"
#include "platform/ui/dialog.h"
#include "platform/ui/input.h"
#include "platform/win/codepage.h"
#include "platform/win/commdlg.h"
#include "host/tallysheet.h"
#include "platform/win/memstatus.h"
#include "tests/tempfolder.h"
#include "platform/win/msgbox.h"
#include "platform/win/shlobj.h"
#include "sdk/docview.h"
#include "tableview/cxtableviewex.h"
#include "tableview/sigfigdialog.h"
#include "tableview/tableviewdata.h"
#include "tableview/tvf/tvftableview.h"
#include "tableview/tvftableviewmgr.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace SId = CX::Doc::SettingId;

platform::ComPtr<IDocViewClass> TableViewClass()
{
    for (const host::RegisteredClass& entry : AnalysisHost().GetFramework().Classes()) {
        platform::ComPtr<IDocViewClass> view;
        if (entry.kind != host::ClassKind::View ||
            FAILED(entry.object->QueryInterface(IID_IDocViewClass, view.OutVoid()))) {
            continue;
        }
        BSTR name = nullptr;
        view->GetViewName(&name);
        const bool found = name && std::u16string(name) == u"Crestmetrics Table View";
        SysFreeString(name);
        if (found) {
            return view;
        }
    }
    return {};
}

// The table view opened on an analysed recording of peaks (analysis type 1).
class TableViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        a.SetAnalysisType(1);
        ASSERT_TRUE(a.doc->Analyse(false, true));
        tableViewClass = TableViewClass();
        ASSERT_TRUE(tableViewClass);
        opened = host::OpenView(AnalysisHost().Log(), tableViewClass.Get(), a.hostDocument.Get());
        ASSERT_EQ(opened.created, S_OK);
        view = a.doc->TableView();
        ASSERT_NE(view, nullptr);
        manager = a.doc->TableManager();
        ASSERT_NE(manager->Window(), nullptr);
    }
    void TearDown() override
    {
        if (opened.view) {
            opened.view->Close();
        }
    }
    RECT Place(HWND child)
    {
        RECT rect{};
        GetWindowRect(child, &rect);
        POINT corner{rect.left, rect.top};
        ScreenToClient(view->GetHandle(), &corner);
        return RECT{corner.x, corner.y, corner.x + rect.right - rect.left, corner.y + rect.bottom - rect.top};
    }
    LONG EventRows()
    {
        LONG rows = 0;
        a.doc->TableData()->GetRowCount(TableGrid::kEvents, &rows);
        return rows;
    }

    PeakRecording recording{{6000}};
    AnalysedDocument a{recording.document, true};
    platform::ComPtr<IDocViewClass> tableViewClass;
    host::OpenedView opened;
    CXTableViewEx* view = nullptr;
    TVF_TableViewMgr* manager = nullptr;
};

} // namespace

TEST_F(TableViewTest, SizingPlacesTheButtonsUnderTheTable)
{
    view->SetWindowPos(nullptr, 0, 0, 600, 400, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(Place(view->HelpButton()->GetHandle()) == (RECT{8, 369, 38, 392}));
    EXPECT_TRUE(Place(view->ExportButton()->GetHandle()) == (RECT{44, 369, 119, 392}));
    EXPECT_TRUE(Place(view->SettingsButton()->GetHandle()) == (RECT{125, 369, 200, 392}));
    EXPECT_TRUE(Place(view->TallysheetButton()->GetHandle()) == (RECT{206, 369, 318, 392}));
    EXPECT_TRUE(Place(manager->Window()->GetHandle()) == (RECT{0, 0, 600, 361}));
    // A zero size moves no button.
    view->SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(Place(view->ExportButton()->GetHandle()) == (RECT{44, 369, 119, 392}));
    EXPECT_EQ(view->GetClassName(), std::u16string(u"KVO::Crestmetrics Table View"));
}

TEST_F(TableViewTest, ExportWritesCommaSeparatedOnlyForTheLowerCaseExtension)
{
    const testutil::TempFolder own;
    const std::filesystem::path& folder = own.Path();
    platform::SetPersonalFolder(platform::Utf8ToUtf16(folder.string()));
    std::vector<std::u16string> boxes;
    auto previousBox = platform::SetMessageBoxHook([&](const platform::MessageBoxCall& call) {
        boxes.push_back(call.text);
        return IDOK;
    });
    const auto exportTo = [&](const std::string& name) {
        const std::u16string path = platform::Utf8ToUtf16((folder / name).string());
        auto previous = platform::SetSaveFileHook([&](const platform::SaveFileCall& call) {
            EXPECT_EQ(call.title, u"Export Crestmetrics Table View Data");
            EXPECT_EQ(call.initialDir, platform::Utf8ToUtf16(folder.string()));
            EXPECT_EQ(call.filters.size(), 2u);
            return std::optional<std::u16string>(path);
        });
        view->CmExport();
        platform::SetSaveFileHook(std::move(previous));
        std::ifstream in(folder / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string csv = exportTo("table.csv");
    const std::string upper = exportTo("table.CSV");
    EXPECT_NE(csv.find(",RMP ("), std::string::npos) << csv.substr(0, 80);
    EXPECT_EQ(csv.find('\t'), std::string::npos);
    EXPECT_NE(upper.find("\tRMP ("), std::string::npos) << upper.substr(0, 80);
    EXPECT_TRUE(boxes.empty());
    exportTo("missing/table.csv");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(u"could not be written"), std::u16string::npos);
    platform::SetMessageBoxHook(std::move(previousBox));
    platform::SetPersonalFolder(std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

TEST_F(TableViewTest, SelectAllSelectsBothGridsAndKeepsTheCurrentEvent)
{
    ASSERT_GT(EventRows(), 3);
    a.doc->SetCurrentEvent(2);
    view->SelectAll();
    TVF_TableView& window = *manager->Window();
    ASSERT_TRUE(window.EventGrid().Selection()->HasSelection());
    ASSERT_TRUE(window.SummaryGrid().Selection()->HasSelection());
    EXPECT_EQ(window.EventGrid().Selection()->GetRange().EndRow.Index, EventRows());
    EXPECT_EQ(a.doc->CurrentEvent(), 2);
}

TEST_F(TableViewTest, ASingleRowSelectsItsEventAndClearsTheSummary)
{
    TVF_TableView& window = *manager->Window();
    manager->SelectRows(TableGrid::kSummary, 1, 3);
    ASSERT_TRUE(window.SummaryGrid().Selection()->HasSelection());
    manager->SelectRows(TableGrid::kEvents, 4, 5); // row 4 is event 3
    EXPECT_EQ(a.doc->CurrentEvent(), 3);
    EXPECT_FALSE(window.SummaryGrid().Selection()->HasSelection());
    manager->SelectRows(TableGrid::kEvents, 1, 3); // two rows change no event
    EXPECT_EQ(a.doc->CurrentEvent(), 3);
    // The document's own selection selects the row without selecting the event again.
    a.doc->SetCurrentEvent(0);
    a.doc->SelectEvent(5, 0x80000000u);
    EXPECT_EQ(window.EventGrid().Selection()->GetRange().FirstRow.Index, 6);
    EXPECT_EQ(a.doc->CurrentEvent(), 5);
}

TEST_F(TableViewTest, TheFiguresDialogRefusesWhatIsNotOneToTenAndAppliesToTheColumn)
{
    const auto& codes = a.doc->Results()->Columns();
    const auto column = static_cast<LONG>(std::find_if(codes.begin(), codes.end(), [](int c) { return c != 1 && c != 58; }) -
                                          codes.begin());
    ASSERT_LT(static_cast<std::size_t>(column), codes.size());
    const int code = codes[static_cast<std::size_t>(column)];
    std::vector<bool> stayedOpen;
    auto previousBox = platform::SetMessageBoxHook([](const platform::MessageBoxCall&) { return IDOK; });
    ui::SetModalHook([&](HWND dialog) {
        auto* figures = dynamic_cast<TableView::SigFigDialog*>(owl::TWindow::GetWindowPtr(dialog));
        ASSERT_NE(figures, nullptr);
        for (const char16_t* text : {u"0", u"11", u"abc", u"3"}) {
            SetDlgItemTextW(dialog, TableView::SigFigDialog::kEditId, text);
            stayedOpen.push_back(!figures->CanClose()); // what OK asks before it closes
        }
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(view->OnCellAction(2, 0, column + 1), S_OK);
    ui::SetModalHook({});
    platform::SetMessageBoxHook(std::move(previousBox));
    EXPECT_EQ(stayedOpen, (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(a.doc->TableData()->FormatFor(code).digits, 3);

    // The count column and the time-of-day column open no dialog.
    const auto count = std::find(codes.begin(), codes.end(), 1);
    if (count != codes.end()) {
        int opened = 0;
        ui::SetModalHook([&](HWND dialog) {
            ++opened;
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        view->OnCellAction(2, 0, static_cast<LONG>(count - codes.begin()) + 1);
        ui::SetModalHook({});
        EXPECT_EQ(opened, 0);
    }
}

TEST_F(TableViewTest, AddingToTheTallysheetTellsTheUserWhatWentWrong)
{
    std::vector<std::u16string> boxes;
    auto previousBox = platform::SetMessageBoxHook([&](const platform::MessageBoxCall& call) {
        boxes.push_back(call.text);
        return IDOK;
    });
    // No Tallysheet: the user hears of it instead of a silent success.
    view->CmAddToTallysheet();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(u"Tallysheet"), std::u16string::npos);

    auto sheet = host::Tallysheet::Create();
    WORD id = 0;
    AnalysisHost().GetFramework().GetShortId(&CLSID_TallysheetExtension, &id);
    a.hostDocument->SetTallysheet(platform::ComPtr<IUnknown>(static_cast<ITallysheet*>(sheet.Get())),
                                  static_cast<DWORD>(id) << 16);
    view->CmAddToTallysheet();
    EXPECT_EQ(boxes.size(), 1u) << "every row went in";
    EXPECT_EQ(sheet->Text(1, 1), u"RMP (V)");
    EXPECT_EQ(sheet->Text(2, 0), u"1");

    const platform::MemoryProfile before = platform::GetMemoryProfile();
    platform::MemoryProfile tight = before;
    tight.availableVirtual = 10;
    platform::SetMemoryProfile(tight);
    view->CmAddToTallysheet();
    platform::SetMemoryProfile(before);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1], u"Not enough memory for the whole analysis. Please choose a smaller selection to analyze.");
    platform::SetMessageBoxHook(std::move(previousBox));
    a.hostDocument->SetTallysheet({}, 0);
}

// The Help button opens the table view's topic of the module's help file.
TEST_F(TableViewTest, HelpOpensTheTableViewsTopic)
{
    host::ApplicationService& application = AnalysisHost().Application();
    SendMessageW(view->GetHandle(), WM_COMMAND, MAKEWPARAM(CXTableViewEx::kHelpId, BN_CLICKED), 0);
    EXPECT_EQ(application.Help().Shown(), std::optional<std::u16string>(u"CrestmetricsHelp#cx_tableview"));
    ASSERT_NE(application.Help().ShownTopic(), nullptr);
    EXPECT_EQ(application.Help().ShownTopic()->title, u"Table View");
}

// The Settings button opens the dialog on its table page, with the type and source channel locked.
TEST_F(TableViewTest, SettingsOpensTheTablePageWithTypeAndSourceLocked)
{
    a.doc->Settings().SetInt(SId::kFirstSettingsTab, 0);
    int selectedTab = -1;
    bool typeEnabled = true;
    bool sourceEnabled = true;
    ui::SetModalHook([&](HWND dialog) {
        auto* settings = dynamic_cast<CX::Dlg::SettingsDlg*>(owl::TWindow::GetWindowPtr(dialog));
        ASSERT_NE(settings, nullptr);
        selectedTab = settings->Tabs()->GetSel();
        typeEnabled = IsWindowEnabled(settings->TypeCombo()->GetHandle());
        sourceEnabled = IsWindowEnabled(settings->SourceCombo()->GetHandle());
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    SendMessageW(view->GetHandle(), WM_COMMAND, MAKEWPARAM(CXTableViewEx::kSettingsId, BN_CLICKED), 0);
    ui::SetModalHook({});
    EXPECT_EQ(selectedTab, 2);
    EXPECT_FALSE(typeEnabled);
    EXPECT_FALSE(sourceEnabled);
}


// The table asks for the snap button after its grids are made: the button comes then, and it shows as pressed
// while the table follows the latest row, as the stored setting says.
TEST_F(TableViewTest, TheSnapButtonShowsWhetherTheLatestRowIsFollowed)
{
    TVF_Grid::SnapGadgetWindowBase* snap = manager->Window()->EventGrid().SnapWindow();
    ASSERT_NE(snap, nullptr);
    auto* button = dynamic_cast<owl::TButtonGadget*>(
        snap->GadgetWithId(static_cast<int>(TVF_Grid::GridControl::kToggleLatestRowCommand)));
    ASSERT_NE(button, nullptr);
    for (const VARIANT_BOOL on : {VARIANT_TRUE, VARIANT_FALSE}) {
        EXPECT_EQ(manager->SetFollowLatest(0, on), S_OK);
        EXPECT_EQ(button->GetButtonState(), on ? owl::TButtonGadget::Down : owl::TButtonGadget::Up);
        EXPECT_EQ(manager->Window()->EventGrid().Options().AlwaysShowLatestRow, on != 0);
    }
}
