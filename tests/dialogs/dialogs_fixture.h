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

} // namespace DialogsTest
