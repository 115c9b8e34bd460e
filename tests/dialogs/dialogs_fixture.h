// What the settings-dialog tests share: a clean window manager per test, the parameter catalogue, a scripted
// host site, and a small page of test controls whose notices go to a binding list.
#pragma once

#include "dialogs/bindingkinds.h"
#include "dialogs/settingsdlg.h"
#include "document/paramcatalogue.h"
#include "document/settingids.h"
#include "controls/errorprovider.h"
#include "foundation/moduleinstance.h"
#include "platform/owl/dialog.h"
#include "platform/ui/dialog.h"
#include "platform/ui/input.h"
#include "platform/ui/window.h"
#include "platform/win/commctrl.h"

#include <gtest/gtest.h>

#include "platform/owl/tabcontrol.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace DialogsTest {

inline const CX::ParamCatalogue& Catalogue()
{
    static const CX::ParamCatalogue catalogue;
    return catalogue;
}

inline std::string GoldenPath(const std::string& name) { return std::string(TEST_DATA_DIR) + "/" + name; }

// A host with channels "Ch1".."ChN", their units, module calculations on some, a selection and a help log.
class TestSite : public CX::Dlg::SettingsDlgSite {
public:
    int channels = 4;
    std::vector<int> moduleCalculations;
    std::map<int, CX::Dlg::SourceUnitRecord> units;
    bool hasSelection = true;
    std::int32_t selection[4] = {100, 2, 400, 3}; // start tick, start block, end tick, end block
    std::vector<std::u16string> helpTopics;

    int ChannelCount() override { return channels; }
    std::u16string ChannelName(int channel) override
    {
        const std::string name = "Ch" + std::to_string(channel + 1);
        return std::u16string(name.begin(), name.end());
    }
    bool ChannelUnit(int channel, std::int32_t, CX::Dlg::SourceUnitRecord& unit) override
    {
        const auto found = units.find(channel);
        if (found == units.end()) {
            return false;
        }
        unit = found->second;
        return true;
    }
    bool IsModuleChannelCalculation(int channel) override
    {
        return std::find(moduleCalculations.begin(), moduleCalculations.end(), channel) != moduleCalculations.end();
    }
    void Selection(std::int32_t start[2], std::int32_t end[2]) override
    {
        if (hasSelection) {
            start[0] = selection[0];
            start[1] = selection[1];
            end[0] = selection[2];
            end[1] = selection[3];
        }
    }
    HRESULT ShowHelpTopic(const char16_t* topic) override
    {
        helpTopics.emplace_back(topic);
        return S_OK;
    }
};

class Fixture : public ::testing::Test {
protected:
    void SetUp() override { ui::reset(); }
    void TearDown() override
    {
        ui::SetModalHook({});
        ui::reset();
    }
};

inline std::u16string Text(HWND hwnd) { return ui::WindowText(hwnd); }

// Sets an edit's text as typing would end up: the edit sends EN_CHANGE to its parent.
inline void Enter(HWND parent, int id, std::u16string_view text)
{
    SetWindowTextW(GetDlgItem(parent, id), std::u16string(text).c_str());
}

// Chooses a combo box entry and sends the notice the combo box sends when the user picks it.
inline void Choose(HWND parent, int id, int index)
{
    HWND combo = GetDlgItem(parent, id);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

inline bool MarkShown(HWND parent, int markId) { return IsWindowVisible(GetDlgItem(parent, markId)) != FALSE; }

// Runs the settings dialog over a one-channel document through the modal hook.
class DialogFixture : public Fixture {
protected:
    static constexpr int kTabsId = 1022;

    void SetUp() override
    {
        Fixture::SetUp();
        document.AddChannel(0);
    }
    void Store(std::int32_t id, std::int32_t value)
    {
        if (auto* setting = dynamic_cast<CX::Doc::CXSettingInt*>(document.Find(id))) {
            setting->SetValue(value);
        } else {
            document.SetLong(id, value);
        }
    }
    // Runs the dialog; `drive` gets it once it shows. Warnings that open meanwhile are counted and closed.
    bool Run(const std::function<void(CX::Dlg::SettingsDlg&)>& drive, int mode = 0)
    {
        ui::SetModalHook([&](HWND dialog) {
            if (Text(dialog) == u"Crestmetrics") {
                ++warnings;
                ui::Click(GetDlgItem(dialog, IDCANCEL));
                return;
            }
            auto* settingsDialog = dynamic_cast<CX::Dlg::SettingsDlg*>(owl::TWindow::GetWindowPtr(dialog));
            ASSERT_NE(nullptr, settingsDialog);
            drive(*settingsDialog);
        });
        return CX::Dlg::RunSettingsDialog(document, nullptr, site, mode);
    }
    static void SelectTab(CX::Dlg::SettingsDlg& dialog, int tab)
    {
        HWND tabs = dialog.Tabs()->GetHandle();
        SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
        NMHDR notice{tabs, static_cast<UINT_PTR>(kTabsId), TCN_SELCHANGE};
        SendMessageW(dialog.GetHandle(), WM_NOTIFY, kTabsId, reinterpret_cast<LPARAM>(&notice));
    }
    static HWND PageItem(CX::Dlg::SettingsDlg& dialog, int id) { return GetDlgItem(dialog.Page()->GetHandle(), id); }
    static void Ok(CX::Dlg::SettingsDlg& dialog) { ui::Click(GetDlgItem(dialog.GetHandle(), IDOK)); }
    static void Cancel(CX::Dlg::SettingsDlg& dialog) { ui::Click(GetDlgItem(dialog.GetHandle(), IDCANCEL)); }

    CX::Doc::SettingsSet document{&Catalogue()};
    TestSite site;
    int warnings = 0;
};

} // namespace DialogsTest
