// The command line lists and names the settings of an analysis type as its settings dialog's pages show them: the
// settings each page binds, opened here, are those the command line's page lists give.
#include "dialogs_fixture.h"

#include "dialogs/baselinepage.h"
#include "dialogs/calculationpages.h"
#include "dialogs/detectorpages.h"
#include "dialogs/detectorunstim.h"
#include "host/cli/settingpages.h"

#include <algorithm>
#include <tuple>

namespace {
using namespace DialogsTest;
using namespace CX;
using CX::Dlg::SettingsDlg;
namespace SettingId = CX::Doc::SettingId;

constexpr int kMethodComboId = 1027;

// A setting a page shows: its id, the stimulus methods whose sub-page shows it, and whether Detect Responses
// enables it.
using Shown = std::tuple<int, unsigned, bool>;
using ShownOnPage = std::map<int, std::pair<unsigned, bool>>;

class SettingPagesTest : public DialogFixture {
protected:
    // The settings the list's bindings (and its sub-lists') bind; members of a checked group after its check box
    // are enabled by it.
    static void Collect(const tCtrlList& list, unsigned methods, bool withResponses, ShownOnPage& shown)
    {
        const bool checkedGroup = dynamic_cast<const tCheckedGroup*>(&list) != nullptr;
        for (std::size_t i = 0; i < list.Count(); ++i) {
            if (const int id = list.At(i)->SettingId(); id >= 0) {
                const bool enabledByItsGroup = withResponses || (checkedGroup && i > 0);
                shown.try_emplace(id, 0u, enabledByItsGroup).first->second.first |= methods;
            }
        }
        for (std::size_t i = 0; i < list.SubListCount(); ++i) {
            Collect(*list.SubListAt(i), methods, withResponses, shown);
        }
    }
    static bool AnyEnabled(HWND page, const tCtrlList& list)
    {
        for (std::size_t i = 0; i < list.Count(); ++i) {
            if (list.At(i)->SettingId() >= 0 && IsWindowEnabled(GetDlgItem(page, list.At(i)->ControlId()))) {
                return true;
            }
        }
        return false;
    }

    // The settings the page on `tab` of type `type`'s dialog binds, each sub-page of a stimulus method chosen.
    std::vector<Shown> OpenedPage(int type, int tab)
    {
        Store(SettingId::kAnalysisType, type);
        Store(SettingId::kFirstSettingsTab, tab);
        ShownOnPage shown;
        Run([&](SettingsDlg& dialog) {
            Dlg::Base::CXSubDlg* page = dialog.Page();
            if (dynamic_cast<Dlg::Sub_DetectorUnStim*>(page)) {
                shown[SettingId::kDetectionSettings] = {cli::kEveryMethod, false}; // its presets edit the whole text
            } else if (auto* stimulated = dynamic_cast<Dlg::Sub_DetectorStimulated*>(page)) {
                shown[SettingId::kStimulusMode] = {cli::kEveryMethod, false};
                Collect(stimulated->Bindings(), cli::kEveryMethod, false, shown);
                for (int entry = 0; entry < Dlg::Sub_DetectorStimulated::kMethodCount; ++entry) {
                    Choose(page->GetHandle(), kMethodComboId, entry);
                    const int method = dialog.Settings().GetInt(SettingId::kStimulusMode);
                    EXPECT_EQ(Dlg::Sub_DetectorStimulated::kFirstMethod + entry, method);
                    auto* methodPage = dynamic_cast<Dlg::DetectorSubPage*>(stimulated->MethodPage());
                    ASSERT_NE(nullptr, methodPage) << method;
                    Collect(methodPage->Bindings(), 1u << method, false, shown);
                }
            } else if (auto* detector = dynamic_cast<Dlg::Sub_DetectorBase*>(page)) {
                Collect(detector->Bindings(), cli::kEveryMethod, false, shown);
            } else if (auto* baseline = dynamic_cast<Dlg::Sub_Baseline*>(page)) {
                // A page whose every control is disabled shows nothing a user sets.
                if (AnyEnabled(page->GetHandle(), baseline->Bindings())) {
                    Collect(baseline->Bindings(), cli::kEveryMethod, false, shown);
                }
            } else if (auto* calculations = dynamic_cast<Dlg::CalcBaseSubDlg*>(page)) {
                Collect(calculations->Bindings(), cli::kEveryMethod, false, shown);
            } else {
                ADD_FAILURE() << "type " << type << ": no known page on tab " << tab;
            }
            Cancel(dialog);
        });
        std::vector<Shown> listed;
        for (const auto& [id, how] : shown) {
            listed.emplace_back(id, how.first, how.second);
        }
        return listed;
    }
};

std::vector<Shown> Listed(int type, cli::Page page)
{
    std::vector<Shown> listed;
    for (const cli::PageSetting& setting : cli::PageSettings(type)) {
        if (setting.page == page) {
            listed.emplace_back(setting.id, setting.methods, setting.withResponses);
        }
    }
    std::sort(listed.begin(), listed.end());
    return listed;
}

TEST_F(SettingPagesTest, EachTypesPagesBindTheSettingsTheCommandLineListsForThem)
{
    site.units[0] = {u"V", u'm'};
    for (int type = 0; type <= 5; ++type) {
        for (const auto& [tab, page] : {std::pair{0, cli::Page::kDetector}, std::pair{1, cli::Page::kBaseline},
                                       std::pair{2, cli::Page::kCalculations}}) {
            EXPECT_EQ(OpenedPage(type, tab), Listed(type, page)) << "type " << type << ", tab " << tab;
        }
    }
    EXPECT_EQ(0, warnings);
}

} // namespace
