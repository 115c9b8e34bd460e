#include "dialogs_fixture.h"

#include "dialogs/detectorpages.h"
#include "platform/gdi/image.h"
#include "platform/ui/render.h"

namespace {
using namespace DialogsTest;
using namespace CX;
using CX::Dlg::SettingsDlg;
namespace SettingId = CX::Doc::SettingId;

constexpr int kDetectorTab = 0;
constexpr UINT kTimer = Dlg::Sub_DetectorBase::kTimerId;

class DetectorPagesTest : public DialogFixture {
protected:
    bool RunOn(int type, const std::function<void(SettingsDlg&, Dlg::Sub_DetectorBase&)>& drive)
    {
        Store(SettingId::kAnalysisType, type);
        Store(SettingId::kFirstSettingsTab, kDetectorTab);
        return Run([&](SettingsDlg& dialog) {
            auto* page = dynamic_cast<Dlg::Sub_DetectorBase*>(dialog.Page());
            ASSERT_NE(nullptr, page) << type;
            drive(dialog, *page);
        });
    }
    static void Fire(Dlg::Sub_DetectorBase& page) { SendMessageW(page.GetHandle(), WM_TIMER, kTimer, 0); }
    static bool Waiting(Dlg::Sub_DetectorBase& page) { return ui::HasTimer(page.GetHandle(), kTimer); }
    static HWND SubItem(Dlg::Sub_DetectorBase& page, int id)
    {
        auto& stimulated = dynamic_cast<Dlg::Sub_DetectorStimulated&>(page);
        return GetDlgItem(stimulated.MethodPage()->GetHandle(), id);
    }
};

TEST_F(DetectorPagesTest, TypingRefreshesASecondAfterTheLastKeyAndDiscreteActionsAtOnce)
{
    RunOn(1, [&](SettingsDlg& dialog, Dlg::Sub_DetectorBase& page) {
        HWND hwnd = page.GetHandle();
        const int start = page.UpdateRequests();
        Enter(hwnd, 1007, u"0.5");
        Enter(hwnd, 1007, u"0.6");
        EXPECT_TRUE(Waiting(page));
        EXPECT_EQ(1000u, ui::TimerElapse(hwnd, kTimer));
        EXPECT_EQ(start, page.UpdateRequests());
        Fire(page);
        EXPECT_EQ(start + 1, page.UpdateRequests());
        EXPECT_FALSE(Waiting(page)); // one shot: no refresh loop without a preview

        // A negative height is marked and schedules nothing; correcting it waits again.
        Enter(hwnd, 1007, u"-1");
        EXPECT_FALSE(Waiting(page));
        EXPECT_TRUE(page.Bindings().FindCtrl(1007)->LabelMark() != nullptr);
        Enter(hwnd, 1007, u"1");
        EXPECT_TRUE(Waiting(page));

        // A radio button refreshes at once and ends the pending wait.
        ui::Click(GetDlgItem(hwnd, 1017));
        EXPECT_EQ(start + 2, page.UpdateRequests());
        EXPECT_FALSE(Waiting(page));
        ui::Click(GetDlgItem(hwnd, 1016));
        EXPECT_EQ(start + 3, page.UpdateRequests());

        // So does a spinner step.
        HWND spinner = GetDlgItem(hwnd, 1072);
        RECT r{};
        GetClientRect(spinner, &r);
        ui::Click(spinner, POINT{r.right / 2, 1});
        EXPECT_EQ(start + 4, page.UpdateRequests());
        Cancel(dialog);
    });
}

TEST_F(DetectorPagesTest, TheCardiacPageBindsTheWidthOfItsType)
{
    struct Case {
        int type;
        std::int32_t widthSetting;
    };
    for (const Case c : {Case{1, SettingId::kMinPeakWidthCardiac}, Case{5, SettingId::kMinPeakWidthAP}}) {
        EXPECT_TRUE(RunOn(c.type, [&](SettingsDlg& dialog, Dlg::Sub_DetectorBase& page) {
            EXPECT_TRUE(dynamic_cast<Dlg::Sub_DetectorCAP*>(&page));
            EXPECT_EQ(c.widthSetting, page.Bindings().FindCtrl(1008)->SettingId());
            EXPECT_EQ(u"ms", Text(GetDlgItem(page.GetHandle(), 1104)));
            Enter(page.GetHandle(), 1008, u"3");
            ui::Click(GetDlgItem(page.GetHandle(), 1017));
            Ok(dialog);
        }));
        EXPECT_DOUBLE_EQ(3, document.GetDouble(c.widthSetting));
        EXPECT_FALSE(document.GetBool(SettingId::kPeakWidthFilter));
        document.SetBool(SettingId::kPeakWidthFilter, true);
    }
}

TEST_F(DetectorPagesTest, AnUnlistedMethodBecomesTheFirstAndEachMethodShowsItsSubPage)
{
    struct Case {
        int type;
        int entry;
        std::int32_t method;
        std::u16string_view label, unitLabel;
        std::int32_t startSetting, heightSetting;
    };
    const Case cases[] = {
        {3, 1, 3, u"Min &interval:", u"ms", SettingId::kMinStimulusInterval, SettingId::kMinStimulusHeight},
        {3, 2, 4, u"S&tart:", u"ms into block", SettingId::kStimulusSearchStart, SettingId::kMinStimulusHeight},
        {4, 1, 3, u"Min &interval:", u"ms", SettingId::kMinStimulusInterval, SettingId::kMinStimulusHeightPS},
        {4, 2, 4, u"S&tart:", u"ms into block", SettingId::kStimulusSearchStart, SettingId::kMinStimulusHeightPS},
    };
    site.units[0] = {u"V", u'm'};
    for (const Case& c : cases) {
        Store(SettingId::kStimulusMode, 1);
        EXPECT_TRUE(RunOn(c.type, [&](SettingsDlg& dialog, Dlg::Sub_DetectorBase& page) {
            auto& stimulated = dynamic_cast<Dlg::Sub_DetectorStimulated&>(page);
            EXPECT_EQ(2, dialog.Settings().GetInt(SettingId::kStimulusMode));
            ASSERT_EQ(3, stimulated.MethodCombo()->GetCount());
            EXPECT_EQ(0, stimulated.MethodCombo()->GetSelIndex());
            EXPECT_EQ(u"Time from start of block", Text(GetDlgItem(page.GetHandle(), 1027)));
            EXPECT_TRUE(dynamic_cast<Dlg::SubSub_FixedPosition*>(stimulated.MethodPage()));

            Choose(page.GetHandle(), 1027, c.entry);
            auto* sub = dynamic_cast<Dlg::SubSub_MinHeightMaxWidthSkipTime*>(stimulated.MethodPage());
            ASSERT_NE(nullptr, sub);
            EXPECT_EQ(c.method == 4, sub->OnePerBlock());
            EXPECT_EQ(c.method, dialog.Settings().GetInt(SettingId::kStimulusMode));
            EXPECT_EQ(c.label, Text(SubItem(page, 1032)));
            EXPECT_EQ(c.unitLabel, Text(SubItem(page, 1037)).substr(0, c.unitLabel.size()));
            EXPECT_EQ(c.startSetting, sub->Bindings().FindCtrl(1013)->SettingId());
            EXPECT_EQ(c.heightSetting, sub->Bindings().FindCtrl(1033)->SettingId());
            EXPECT_EQ(u"mV", Text(SubItem(page, 1050)));
            // A lost selection is ignored.
            SendMessageW(GetDlgItem(page.GetHandle(), 1027), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
            SendMessageW(page.GetHandle(), WM_COMMAND, MAKEWPARAM(1027, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(GetDlgItem(page.GetHandle(), 1027)));
            EXPECT_EQ(c.method, dialog.Settings().GetInt(SettingId::kStimulusMode));
            EXPECT_EQ(sub, stimulated.MethodPage());
            Ok(dialog);
        }));
        EXPECT_EQ(c.method, document.GetInt(SettingId::kStimulusMode));
    }
}

TEST_F(DetectorPagesTest, SubPageEditsMarkThemselvesAndRefreshTheParentLater)
{
    Store(SettingId::kStimulusMode, 2);
    EXPECT_TRUE(RunOn(4, [&](SettingsDlg& dialog, Dlg::Sub_DetectorBase& page) {
        auto& stimulated = dynamic_cast<Dlg::Sub_DetectorStimulated&>(page);
        HWND sub = stimulated.MethodPage()->GetHandle();
        Enter(sub, 1051, u"-3");
        EXPECT_TRUE(MarkShown(sub, 1071));
        auto* fixed = dynamic_cast<Dlg::SubSub_FixedPosition*>(stimulated.MethodPage());
        EXPECT_EQ(u"Invalid Stimulus Position",
                  std::u16string(fixed->Bindings().FindCtrl(1051)->ErrorMark()->GetTitle().View()));
        EXPECT_FALSE(Waiting(page));
        Ok(dialog);
        EXPECT_EQ(1, warnings);
        Enter(sub, 1051, u"12");
        EXPECT_FALSE(MarkShown(sub, 1071));
        EXPECT_TRUE(Waiting(page));
        Ok(dialog);
    }));
    EXPECT_DOUBLE_EQ(12, document.GetDouble(SettingId::kStimulusPosition));
}

TEST_F(DetectorPagesTest, UncheckingDetectResponsesDisablesButStillJudgesTheResponseControls)
{
    document.SetBool(SettingId::kUseDetectionOptions, true);
    EXPECT_TRUE(RunOn(3, [&](SettingsDlg& dialog, Dlg::Sub_DetectorBase& page) {
        HWND hwnd = page.GetHandle();
        for (int id : {1059, 1013, 1018, 1056, 1057}) {
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(hwnd, id))) << id;
        }
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(hwnd, 1028)));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(hwnd, 1053)));
        const int before = page.UpdateRequests();
        ui::Click(GetDlgItem(hwnd, 1059));
        EXPECT_EQ(before + 1, page.UpdateRequests());
        EXPECT_FALSE(dialog.Settings().GetBool(SettingId::kUseDetectionOptions));
        for (int id : {1013, 1018, 1056, 1057, 1060, 1007}) {
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwnd, id))) << id;
        }
        dialog.SetUpdating(true);
        Enter(hwnd, 1013, u"-5");
        dialog.SetUpdating(false);
        Ok(dialog);
        EXPECT_EQ(1, warnings);
        Enter(hwnd, 1013, u"4");
        Ok(dialog);
    }));
    EXPECT_FALSE(document.GetBool(SettingId::kUseDetectionOptions));
    EXPECT_DOUBLE_EQ(4, document.GetDouble(SettingId::kDetectionStart));
}

TEST_F(DetectorPagesTest, PicturesOfTheDetectorPages)
{
    site.units[0] = {u"V", u'm'};
    struct Case {
        int type;
        int method;
        const char* golden;
    };
    const Case cases[] = {
        {1, 2, "detector_cardiac.png"},
        {3, 3, "detector_evoked.png"},
        {4, 4, "detector_popspike.png"},
    };
    for (const Case& c : cases) {
        Store(SettingId::kStimulusMode, c.method);
        RunOn(c.type, [&](SettingsDlg& dialog, Dlg::Sub_DetectorBase&) {
            const gdi::GoldenCheck check = gdi::CheckGolden(ui::RenderWindow(dialog.GetHandle()), GoldenPath(c.golden));
            EXPECT_TRUE(check.ok) << check.message;
            Cancel(dialog);
        });
    }
}

} // namespace
