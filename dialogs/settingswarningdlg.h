// The notice shown when settings are refused because some are invalid: it points at the error mark that the
// invalid settings carry, and has one button.
#pragma once

#include "controls/dialogbase.h"

#include <memory>

namespace owl {
class TStatic;
}
namespace KVOControls {
class BitmapWindow;
}

namespace CX {

class SettingsWarningDlg : public KVO::DialogBase {
public:
    explicit SettingsWarningDlg(owl::TWindow* parent);
    ~SettingsWarningDlg() override;
    void SetupWindow() override;

    // Shows the notice modally over the parent.
    static void Show(owl::TWindow* parent);

private:
    std::unique_ptr<owl::TStatic> icon_;
    std::unique_ptr<KVOControls::BitmapWindow> mark_;
};

} // namespace CX
