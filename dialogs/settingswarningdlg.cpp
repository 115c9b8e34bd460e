#include "dialogs/settingswarningdlg.h"

#include "controls/bitmapcontrols.h"
#include "foundation/moduleinstance.h"
#include "resources/pictures.h"
#include "resources/settingsdialogs.h"

namespace CX {

namespace {
constexpr int kIconId = 1118;
}

SettingsWarningDlg::SettingsWarningDlg(owl::TWindow* parent)
    : KVO::DialogBase(parent, owl::TResId(DialogId::InvalidSettings)),
      icon_(std::make_unique<owl::TStatic>(this, kIconId)),
      mark_(std::make_unique<KVOControls::BitmapWindow>(
          this, new owl::TBitmap(LoadBitmapW(KVO::ModuleInstance(), MAKEINTRESOURCEW(PictureId::ErrorMark)),
                                 owl::AutoDelete)))
{
}

SettingsWarningDlg::~SettingsWarningDlg()
{
    mark_.reset();
    icon_.reset();
}

void SettingsWarningDlg::SetupWindow()
{
    KVO::DialogBase::SetupWindow();
    icon_->SendMessage(STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(LoadIconW(nullptr, IDI_WARNING)));
}

void SettingsWarningDlg::Show(owl::TWindow* parent)
{
    SettingsWarningDlg notice(parent);
    notice.Execute();
}

} // namespace CX
