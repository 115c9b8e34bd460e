#include "dialogs_fixture.h"

#include "dialogs/baselinepage.h"
#include "platform/gdi/image.h"
#include "platform/owl/tabcontrol.h"
#include "platform/ui/render.h"

#include <functional>

namespace {
using namespace DialogsTest;
using namespace CX;
using CX::Dlg::SettingsDlg;
namespace SettingId = CX::Doc::SettingId;

constexpr int kStubTemplate = 9200;
constexpr int kTypeComboId = 1023;
constexpr int kSourceComboId = 1062;
constexpr int kStartEdit = 1047;
constexpr int kStartMark = 1075;

// A page for the tabs whose pages come later: valid or invalid on demand.
class StubPage : public Dlg::Base::CXSubDlg {
public:
    static inline bool valid = true;
    static inline std::vector<bool> previewNotices;
    static inline int marked = 0;
    StubPage(SettingsDlg* owner, IUnknown* host) : CXSubDlg(kStubTemplate, owner, host) {}
    void TransferToSettings() override {}
    bool ValidateSettings() override { return valid; }
    void TransferFromSettings() override {}
    void ScheduleUpdate(bool) override {}
    void OnPreviewNotice(bool live) override { previewNotices.push_back(live); }
    void MarkInvalidSettings() override { ++marked; }
};

void RegisterStubs()
{
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    ui::DialogTemplateData t;
    t.style = WS_CHILD | DS_CONTROL | DS_SETFONT;
    t.cx = 416;
    t.cy = 200;
    t.items = {{u"Static", u"Later page", 100, 10, 10, 100, 10, WS_VISIBLE}};
    ui::RegisterDialogTemplate(KVO::ModuleInstance(), MAKEINTRESOURCEW(kStubTemplate), t);
    for (int tab : {0}) {
        Dlg::RegisterPage(-1, tab, [](SettingsDlg& owner, IUnknown* host) -> Dlg::Base::CXSubDlg* {
            return new StubPage(&owner, host);
        });
    }
}

// Puts the stub on the detector tab of the general type for one test (that type has a real detector page).
class StubOnDetectorTab {
public:
    StubOnDetectorTab() : kept_(Dlg::FindPage(0, 0))
    {
        Dlg::RegisterPage(0, 0, [](SettingsDlg& owner, IUnknown* host) -> Dlg::Base::CXSubDlg* {
            return new StubPage(&owner, host);
        });
    }
    ~StubOnDetectorTab() { Dlg::RegisterPage(0, 0, kept_); }

private:
    Dlg::PageFactory kept_;
};

class SettingsDlgTest : public DialogFixture {
protected:
    void SetUp() override
    {
        DialogFixture::SetUp();
        RegisterStubs();
        StubPage::valid = true;
        StubPage::previewNotices.clear();
        StubPage::marked = 0;
    }
};

TEST_F(SettingsDlgTest, OpensOnTheStoredTabAndTypeWithTheTabLabelOfTheType)
{
    struct Case {
        int type;
        int tab;
        std::u16string_view tab1;
        bool baseline;
    };
    const Case cases[] = {
        {0, 1, u"Baseline", true}, {1, 1, u"RMP", true},      {5, 1, u"RMP", true},
        {3, 2, u"Baseline", false}, {4, 0, u"Baseline", false}, {2, 3, u"Baseline", false},
    };
    for (const Case& c : cases) {
        Store(SettingId::kAnalysisType, c.type);
        Store(SettingId::kFirstSettingsTab, c.tab);
        Run([&](SettingsDlg& dialog) {
            EXPECT_EQ(c.tab, dialog.Tabs()->GetSel());
            EXPECT_EQ(c.tab1, dialog.Tabs()->GetText(1));
            EXPECT_EQ(c.baseline, dynamic_cast<Dlg::Sub_Baseline*>(dialog.Page()) != nullptr);
            EXPECT_EQ(Doc::TypeListPosition(c.type), dialog.TypeCombo()->GetSelIndex());
            EXPECT_TRUE(IsWindowVisible(dialog.Page()->GetHandle()));
            Cancel(dialog);
        });
    }
}

TEST_F(SettingsDlgTest, StoredValuesOutsideTheirListsAreClampedWithoutASpuriousGroup)
{
    Store(SettingId::kAnalysisType, 7);
    Store(SettingId::kSourceChannel, 4); // the site has channels 0 to 3
    Store(SettingId::kFirstSettingsTab, 9);
    EXPECT_TRUE(Run([&](SettingsDlg& dialog) {
        EXPECT_EQ(0, dialog.TypeCombo()->GetSelIndex());
        EXPECT_EQ(0, dialog.SourceCombo()->GetSelIndex());
        EXPECT_EQ(0, dialog.Tabs()->GetSel());
        EXPECT_EQ(4, dialog.SourceCombo()->GetCount());
        Ok(dialog);
    }));
    EXPECT_EQ(0, document.GetInt(SettingId::kAnalysisType));
    EXPECT_EQ(0, document.GetLong(SettingId::kSourceChannel));
    EXPECT_EQ(0, document.GetInt(SettingId::kFirstSettingsTab));
    EXPECT_FALSE(document.GetBool(SettingId::kNoCurrentResult));
    ASSERT_EQ(1u, document.ChannelCount());
    EXPECT_EQ(0, document.ChannelAt(0)->Key());
}

TEST_F(SettingsDlgTest, OkSavesTheEditsAndCancelChangesNothing)
{
    Store(SettingId::kFirstSettingsTab, 1);
    EXPECT_FALSE(Run([&](SettingsDlg& dialog) {
        Enter(dialog.Page()->GetHandle(), kStartEdit, u"40");
        SelectTab(dialog, 2);
        Cancel(dialog);
    }));
    EXPECT_EQ(5, document.GetInt(SettingId::kStartHeightPercent));
    EXPECT_EQ(1, document.GetInt(SettingId::kFirstSettingsTab));

    EXPECT_TRUE(Run([&](SettingsDlg& dialog) {
        Enter(dialog.Page()->GetHandle(), kStartEdit, u"40");
        ui::Click(GetDlgItem(dialog.GetHandle(), 1024)); // "&Selection"
        Ok(dialog);
    }));
    EXPECT_EQ(40, document.GetInt(SettingId::kStartHeightPercent));
    EXPECT_TRUE(document.GetBool(SettingId::kAnalyseSelection));
    EXPECT_EQ(0, warnings);
}

TEST_F(SettingsDlgTest, InvalidValuesRefuseOkTabAndTypeWithTheWarning)
{
    Store(SettingId::kFirstSettingsTab, 1);
    EXPECT_TRUE(Run([&](SettingsDlg& dialog) {
        HWND page = dialog.Page()->GetHandle();
        Enter(page, kStartEdit, u"200");
        EXPECT_TRUE(MarkShown(page, kStartMark));
        Dlg::Base::CXSubDlg* shown = dialog.Page();

        // A click on the first tab is refused: the tab control and the page stay.
        RECT tabs{};
        GetClientRect(dialog.Tabs()->GetHandle(), &tabs);
        ui::Click(dialog.Tabs()->GetHandle(), POINT{8, 10});
        EXPECT_EQ(1, warnings);
        EXPECT_EQ(1, dialog.Tabs()->GetSel());
        EXPECT_EQ(shown, dialog.Page());

        Choose(dialog.GetHandle(), kTypeComboId, Doc::TypeListPosition(4));
        EXPECT_EQ(2, warnings);
        EXPECT_EQ(Doc::TypeListPosition(0), dialog.TypeCombo()->GetSelIndex());
        EXPECT_EQ(shown, dialog.Page());

        Ok(dialog);
        EXPECT_EQ(3, warnings);
        EXPECT_TRUE(IsWindow(dialog.GetHandle()));
        EXPECT_TRUE(MarkShown(page, kStartMark));

        Enter(page, kStartEdit, u"50");
        EXPECT_FALSE(MarkShown(page, kStartMark));
        Ok(dialog);
    }));
    EXPECT_EQ(50, document.GetInt(SettingId::kStartHeightPercent));
}

TEST_F(SettingsDlgTest, ARefusalFirstMarksEveryInvalidValueOfThePage)
{
    Store(SettingId::kFirstSettingsTab, 1);
    EXPECT_FALSE(Run([&](SettingsDlg& dialog) {
        HWND page = dialog.Page()->GetHandle();
        // A value that arrived while the dialog was loading, so that no change notice judged it.
        dialog.SetUpdating(true);
        Enter(page, kStartEdit, u"300");
        dialog.SetUpdating(false);
        EXPECT_FALSE(MarkShown(page, kStartMark));
        Ok(dialog);
        EXPECT_TRUE(MarkShown(page, kStartMark));
        Cancel(dialog);
    }));
    EXPECT_EQ(1, warnings);
}

TEST_F(SettingsDlgTest, AValidTypeChangeShowsTheNewTypesPageOnTheSameTab)
{
    Store(SettingId::kFirstSettingsTab, 1);
    EXPECT_TRUE(Run([&](SettingsDlg& dialog) {
        Choose(dialog.GetHandle(), kTypeComboId, Doc::TypeListPosition(5));
        auto* page = dynamic_cast<Dlg::Sub_Baseline*>(dialog.Page());
        ASSERT_NE(nullptr, page);
        EXPECT_EQ(5, page->AnalysisType());
        EXPECT_EQ(u"RMP", dialog.Tabs()->GetText(1));
        Ok(dialog);
    }));
    EXPECT_EQ(5, document.GetInt(SettingId::kAnalysisType));
    EXPECT_EQ(0, warnings);
}

TEST_F(SettingsDlgTest, SwitchingTheSourceChannelCarriesEditsIntoANewGroupAndRefusesInvalidOnes)
{
    Store(SettingId::kFirstSettingsTab, 1);
    document.AddChannel(2);
    if (auto* setting = dynamic_cast<Doc::CXSettingInt*>(document.ChannelAt(1)->Find(SettingId::kEndHeightPercent))) {
        setting->SetValue(33);
    }
    EXPECT_TRUE(Run([&](SettingsDlg& dialog) {
        HWND page = dialog.Page()->GetHandle();
        Enter(page, 1090, u"21");
        Choose(dialog.GetHandle(), kSourceComboId, 1); // no group yet: it takes the edited values
        EXPECT_EQ(u"21", Text(GetDlgItem(page, 1090)));
        Choose(dialog.GetHandle(), kSourceComboId, 2); // its own group
        EXPECT_EQ(u"33", Text(GetDlgItem(page, 1090)));

        Enter(page, 1090, u"120");
        Choose(dialog.GetHandle(), kSourceComboId, 0);
        EXPECT_EQ(1, warnings);
        EXPECT_EQ(2, dialog.SourceCombo()->GetSelIndex());
        EXPECT_EQ(2, dialog.Settings().GetLong(SettingId::kSourceChannel));
        Enter(page, 1090, u"34");
        Ok(dialog);
    }));
    EXPECT_EQ(3u, document.ChannelCount());
    EXPECT_EQ(2, document.GetLong(SettingId::kSourceChannel));
    EXPECT_EQ(34, document.GetInt(SettingId::kEndHeightPercent));
    document.SetLong(SettingId::kSourceChannel, 1);
    EXPECT_EQ(21, document.GetInt(SettingId::kEndHeightPercent));
}

TEST_F(SettingsDlgTest, AModuleChannelCalculationAsSourceIsMarkedAndRefusedOnlyAtOk)
{
    site.moduleCalculations = {1};
    Store(SettingId::kSourceChannel, 1);
    EXPECT_FALSE(Run([&](SettingsDlg& dialog) {
        EXPECT_TRUE(IsWindowVisible(dialog.SourceMark()->GetHandle()));
        EXPECT_EQ(u"Invalid Source Channel", std::u16string(dialog.SourceMark()->GetTitle().View()));
        SelectTab(dialog, 2);
        EXPECT_EQ(2, dialog.Tabs()->GetSel());
        EXPECT_EQ(0, warnings);
        Ok(dialog);
        EXPECT_EQ(1, warnings);
        Choose(dialog.GetHandle(), kSourceComboId, 0);
        EXPECT_FALSE(IsWindowVisible(dialog.SourceMark()->GetHandle()));
        Cancel(dialog);
    }));
}

TEST_F(SettingsDlgTest, RangeButtonsWriteTheRangeAndTellThePage)
{
    const StubOnDetectorTab stub;
    struct Case {
        int button;
        bool hostSelection;
        std::int32_t expected[4]; // 2005 to 2008
        bool live;
    };
    const Case cases[] = {
        {1024, true, {2, 100, 3, 400}, false},
        {1024, false, {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF}, false},
        {1025, true, {-1, -1, -1, -1}, true},
    };
    for (const Case& c : cases) {
        site.hasSelection = c.hostSelection;
        StubPage::previewNotices.clear();
        Run([&](SettingsDlg& dialog) {
            ui::Click(GetDlgItem(dialog.GetHandle(), c.button == 1024 ? 1025 : 1024));
            ui::Click(GetDlgItem(dialog.GetHandle(), c.button));
            for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(c.expected[i], dialog.Settings().GetLong(SettingId::kRangeStartBlock + i));
            }
            ASSERT_FALSE(StubPage::previewNotices.empty());
            EXPECT_EQ(c.live, StubPage::previewNotices.back());
            Cancel(dialog);
        });
    }
}

TEST_F(SettingsDlgTest, AnotherModeLocksTheTopPartButNotThePages)
{
    Run(
        [&](SettingsDlg& dialog) {
            for (int id : {1023, 1076, 1062, 1024, 1025, 1029, 1027}) {
                EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog.GetHandle(), id))) << id;
            }
            EXPECT_TRUE(IsWindowEnabled(dialog.Tabs()->GetHandle()));
            SelectTab(dialog, 1);
            EXPECT_TRUE(IsWindowEnabled(PageItem(dialog, kStartEdit)));
            Cancel(dialog);
        },
        3);
}

TEST_F(SettingsDlgTest, WithoutAHostSixteenUnnamedChannelsAndTheDefaultUnit)
{
    ui::SetModalHook([&](HWND hwnd) {
        auto& dialog = *dynamic_cast<SettingsDlg*>(owl::TWindow::GetWindowPtr(hwnd));
        EXPECT_EQ(16, dialog.SourceCombo()->GetCount());
        char16_t name[8]{};
        dialog.SourceCombo()->GetString(name, 15);
        EXPECT_EQ(std::u16string(u"?"), name);
        EXPECT_EQ(u"V", dialog.SourceUnit().unit);
        EXPECT_EQ(u'm', dialog.SourceUnit().prefix);
        Ok(dialog);
    });
    EXPECT_TRUE(Dlg::RunSettingsDialog(document, nullptr));
}

TEST_F(SettingsDlgTest, HelpOpensTheDialogsTopic)
{
    Run([&](SettingsDlg& dialog) {
        ui::Click(GetDlgItem(dialog.GetHandle(), 9));
        Cancel(dialog);
    });
    ASSERT_EQ(1u, site.helpTopics.size());
    EXPECT_EQ(u"cx_settingsdialog", site.helpTopics[0]);
}

TEST_F(SettingsDlgTest, EnterOrEscapeClosesTheWarningAndTheDialogStaysOpen)
{
    const StubOnDetectorTab stub;
    for (UINT key : {VK_RETURN, VK_ESCAPE}) {
        int shown = 0;
        ui::SetModalHook([&](HWND dialog) {
            if (Text(dialog) == u"Crestmetrics") {
                ++shown;
                ui::PressKey(key);
                return;
            }
            auto& settings = *dynamic_cast<SettingsDlg*>(owl::TWindow::GetWindowPtr(dialog));
            StubPage::valid = false;
            Ok(settings);
            EXPECT_TRUE(IsWindow(dialog));
            EXPECT_TRUE(ui::ModalDialogs().size() == 1);
            StubPage::valid = true;
            Cancel(settings);
        });
        EXPECT_FALSE(Dlg::RunSettingsDialog(document, nullptr, site));
        EXPECT_EQ(1, shown);
        EXPECT_EQ(1, StubPage::marked);
        StubPage::marked = 0;
    }
}

TEST_F(SettingsDlgTest, PicturesOfTheDialogAndTheWarning)
{
    Store(SettingId::kFirstSettingsTab, 1);
    site.units[0] = {u"V", u'm'};
    ui::SetModalHook([&](HWND dialog) {
        if (Text(dialog) == u"Crestmetrics") {
            const gdi::GoldenCheck warning = gdi::CheckGolden(ui::RenderWindow(dialog), GoldenPath("warning.png"));
            EXPECT_TRUE(warning.ok) << warning.message;
            ui::PressKey(VK_RETURN);
            return;
        }
        auto& settings = *dynamic_cast<SettingsDlg*>(owl::TWindow::GetWindowPtr(dialog));
        Enter(settings.Page()->GetHandle(), kStartEdit, u"200");
        const gdi::GoldenCheck frame = gdi::CheckGolden(ui::RenderWindow(dialog), GoldenPath("settings_baseline.png"));
        EXPECT_TRUE(frame.ok) << frame.message;
        Ok(settings);
        Cancel(settings);
    });
    Dlg::RunSettingsDialog(document, nullptr, site);
}

TEST(TabControl, TabsRelabelSelectAndReportClicks)
{
    ui::reset();
    struct Parent : owl::TWindow {
        Parent() : TWindow(nullptr, u"parent")
        {
            Attr.Style = WS_POPUP | WS_VISIBLE;
            Attr.W = 400;
            Attr.H = 300;
        }
        std::vector<UINT> codes;
        owl::TResult EvNotify(owl::uint, owl::TNotify& info) override
        {
            codes.push_back(info.code);
            return 0;
        }
    } parent;
    parent.Create();
    HWND tabs = CreateWindowExW(0, WC_TABCONTROLW, u"", WS_CHILD | WS_VISIBLE, 10, 10, 300, 200, parent.GetHandle(),
                                reinterpret_cast<HMENU>(7), nullptr, nullptr);
    auto insert = [&](int at, const char16_t* text) {
        TCITEMW item{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(text), 0, -1, 0};
        return SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item));
    };
    EXPECT_EQ(0, insert(0, u"One"));
    EXPECT_EQ(1, insert(1, u"Two"));
    EXPECT_EQ(0, SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
    TCITEMW relabel{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(u"Second"), 0, -1, 0};
    SendMessageW(tabs, TCM_SETITEMW, 1, reinterpret_cast<LPARAM>(&relabel));
    char16_t text[16]{};
    TCITEMW read{TCIF_TEXT, 0, 0, text, 16, -1, 0};
    SendMessageW(tabs, TCM_GETITEMW, 1, reinterpret_cast<LPARAM>(&read));
    EXPECT_EQ(std::u16string(u"Second"), text);
    EXPECT_EQ(0, SendMessageW(tabs, TCM_SETCURSEL, 1, 0));
    EXPECT_TRUE(parent.codes.empty()); // the program's own choice notifies nobody
    ui::Click(tabs, POINT{6, 10});
    EXPECT_EQ(0, SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
    EXPECT_EQ((std::vector<UINT>{TCN_SELCHANGING, TCN_SELCHANGE}), parent.codes);
    RECT area{0, 0, 300, 200};
    SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    RECT back = area;
    SendMessageW(tabs, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&back));
    EXPECT_EQ((RECT{0, 0, 300, 200}), back);
    EXPECT_LT(area.right - area.left, 300);
    EXPECT_GT(area.top, 0);
    ui::reset();
}

TEST_F(SettingsDlgTest, BaselinePagePerAnalysisType)
{
    struct Case {
        int type;
        std::u16string_view group;
        std::u16string_view percentLabel;
        std::int32_t startSetting;
        bool enabled;
    };
    const Case cases[] = {
        {0, u"Baseline setting", u"% of the height away from the baseline", SettingId::kStartHeightPercent, true},
        {1, u"RMP setting", u"% of the height away from the RMP", SettingId::kStartHeightPercent, true},
        {2, u"Baseline setting", u"% of the height away from the baseline", SettingId::kStartHeightPercent, true},
        {3, u"Baseline setting", u"% of the height away from the baseline", SettingId::kStartHeightPercent, true},
        {4, u"Baseline setting", u"% of the height away from the baseline", SettingId::kStartHeightPercent, false},
        {5, u"RMP setting", u"% of the height away from the RMP", SettingId::kStartHeightPercentAP, true},
    };
    Store(SettingId::kFirstSettingsTab, 1);
    for (const Case& c : cases) {
        Store(SettingId::kAnalysisType, c.type);
        Run([&](SettingsDlg& dialog) {
            auto* page = dynamic_cast<Dlg::Sub_Baseline*>(dialog.Page());
            ASSERT_NE(nullptr, page);
            EXPECT_EQ(c.group, Text(PageItem(dialog, 1092)));
            EXPECT_EQ(c.percentLabel, Text(PageItem(dialog, 1087)));
            EXPECT_EQ(c.percentLabel, Text(PageItem(dialog, 1089)));
            EXPECT_EQ(c.startSetting, page->Bindings().FindCtrl(kStartEdit)->SettingId());
            for (int id : {1081, 1082, 1083, 1086, 1047, 1087, 1088, 1090, 1089}) {
                EXPECT_EQ(c.enabled, IsWindowEnabled(PageItem(dialog, id)) != FALSE) << c.type << " " << id;
            }
            // Every binding finds a setting of the class it binds.
            for (std::size_t i = 0; i < page->Bindings().Count(); ++i) {
                EXPECT_TRUE(page->Bindings().At(i)->BindsSettingOfItsKind()) << page->Bindings().At(i)->ControlId();
            }
            Cancel(dialog);
        });
    }
}

TEST_F(SettingsDlgTest, PopulationSpikesDisableThePageButStillJudgeIt)
{
    Store(SettingId::kFirstSettingsTab, 1);
    Store(SettingId::kAnalysisType, 4);
    Store(SettingId::kBaselineMode, 1);
    Store(SettingId::kStartHeightPercent, 200);
    EXPECT_FALSE(Run([&](SettingsDlg& dialog) {
        EXPECT_FALSE(IsWindowEnabled(PageItem(dialog, 1084)));
        EXPECT_TRUE(MarkShown(dialog.Page()->GetHandle(), kStartMark));
        Choose(dialog.GetHandle(), kSourceComboId, 1);
        EXPECT_EQ(1, warnings); // refused: the invalid value stays on its channel
        Ok(dialog);
        EXPECT_EQ(2, warnings);
        EXPECT_FALSE(IsWindowEnabled(PageItem(dialog, 1084)));
        Cancel(dialog);
    }));
    document.Find(SettingId::kStartHeightPercent)->Reset();
    EXPECT_TRUE(Run([&](SettingsDlg& dialog) {
        Choose(dialog.GetHandle(), kSourceComboId, 1);
        EXPECT_FALSE(IsWindowEnabled(PageItem(dialog, 1084)));
        EXPECT_FALSE(IsWindowEnabled(PageItem(dialog, 1081)));
        Ok(dialog);
    }));
}

TEST_F(SettingsDlgTest, TheFixedBaselineIsEditableOnlyInItsModeAndShownInTheSourceUnit)
{
    site.units[0] = {u"V", u'm'};
    Store(SettingId::kFirstSettingsTab, 1);
    Store(SettingId::kBaselineMode, 1);
    document.SetDouble(SettingId::kBaselineValue, -0.07);
    EXPECT_TRUE(Run([&](SettingsDlg& dialog) {
        HWND value = PageItem(dialog, 1084);
        EXPECT_TRUE(IsWindowEnabled(value));
        EXPECT_EQ(u"-70", Text(value));
        EXPECT_EQ(u"mV", Text(PageItem(dialog, 1085)));
        Enter(dialog.Page()->GetHandle(), 1084, u"-65");
        ui::Click(PageItem(dialog, 1081)); // "Au&tomatic"
        EXPECT_EQ(0, dialog.Settings().GetInt(SettingId::kBaselineMode));
        EXPECT_FALSE(IsWindowEnabled(value));
        EXPECT_EQ(u"-65", Text(value));
        ui::Click(PageItem(dialog, 1082));
        EXPECT_TRUE(IsWindowEnabled(value));
        Ok(dialog);
    }));
    EXPECT_EQ(1, document.GetInt(SettingId::kBaselineMode));
    EXPECT_DOUBLE_EQ(-0.065, document.GetDouble(SettingId::kBaselineValue));
}

// The edit shows six significant digits of the stored value; an OK without an edit keeps every digit of it.
TEST_F(SettingsDlgTest, AUnitEditKeepsAStoredValueThatWasNotEdited)
{
    site.units[0] = {u"V", u'm'};
    Store(SettingId::kFirstSettingsTab, 1);
    Store(SettingId::kBaselineMode, 1);
    document.SetDouble(SettingId::kBaselineValue, 1.2345678e-5);
    EXPECT_TRUE(Run([&](SettingsDlg& dialog) {
        EXPECT_EQ(u"0.0123457", Text(PageItem(dialog, 1084)));
        Ok(dialog);
    }));
    EXPECT_EQ(1.2345678e-5, document.GetDouble(SettingId::kBaselineValue));
}

// A number too large for a double is no number the baseline value can take: the label's mark shows and OK is
// refused until a number is typed.
TEST_F(SettingsDlgTest, AUnitEditRefusesANumberBeyondADouble)
{
    site.units[0] = {u"V", u'm'};
    Store(SettingId::kFirstSettingsTab, 1);
    Store(SettingId::kBaselineMode, 1);
    EXPECT_TRUE(Run([&](SettingsDlg& dialog) {
        auto* page = dynamic_cast<Dlg::Sub_Baseline*>(dialog.Page());
        ASSERT_NE(nullptr, page);
        const auto marked = [&] { return IsWindowVisible(page->Bindings().FindCtrl(1084)->LabelMark()->Mark()->GetHandle()); };
        EXPECT_FALSE(marked());
        for (const std::u16string_view text : {u"1e999", u"-1e999"}) {
            Enter(page->GetHandle(), 1084, text);
            EXPECT_TRUE(marked()) << std::string(text.begin(), text.end());
        }
        Ok(dialog);
        EXPECT_EQ(1, warnings);
        EXPECT_TRUE(IsWindow(dialog.GetHandle()));
        Enter(page->GetHandle(), 1084, u"1e-999"); // too small: 0
        EXPECT_FALSE(marked());
        Ok(dialog);
    }));
    EXPECT_EQ(0.0, document.GetDouble(SettingId::kBaselineValue));
}

} // namespace
