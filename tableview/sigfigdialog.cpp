#include "tableview/sigfigdialog.h"

#include "controls/validatingedit.h"
#include "platform/win/commctrl.h"
#include "resources/tableviewdialogs.h"

#include <charconv>
#include <string>

namespace TableView {

SigFigDialog::SigFigDialog(owl::TWindow* parent, owl::TModule* module)
    : KVO::DialogBase(parent, owl::TResId(DialogId::SignificantFigures), module), edit_(new IntEdit(this))
{
}

void SigFigDialog::SetupWindow()
{
    KVO::DialogBase::SetupWindow();
    SendDlgItemMessage(kUpDownId, UDM_SETRANGE, 0, MAKELPARAM(10, 1));
    const std::string text = std::to_string(digits);
    SetDlgItemText(kEditId, std::u16string(text.begin(), text.end()).c_str());
    CheckDlgButton(kApplyToAllId, applyToAll ? BST_CHECKED : BST_UNCHECKED);
}

void SigFigDialog::CmOk()
{
    WCHAR buffer[31]{};
    GetDlgItemText(kEditId, buffer, 31);
    // The leading decimal number of the text, as the wide-text conversion reads it; none gives 0.
    std::string narrow;
    for (const WCHAR* unit = buffer; *unit && *unit < 0x80; ++unit) {
        narrow.push_back(static_cast<char>(*unit));
    }
    const std::size_t start = narrow.find_first_not_of(" \t");
    long value = 0;
    if (start != std::string::npos) {
        std::from_chars(narrow.data() + start, narrow.data() + narrow.size(), value);
    }
    digits = static_cast<int>(value);
    applyToAll = IsDlgButtonChecked(kApplyToAllId) == BST_CHECKED;
    KVO::DialogBase::CmOk();
}

} // namespace TableView

namespace TableView {

bool SigFigDialog::CanClose()
{
    return edit_->IsValidNumber() && edit_->IsValid(true) && KVO::DialogBase::CanClose();
}

} // namespace TableView
