#include "tableview/tvf/grideditors.h"

#include "platform/win/wingdi.h"
#include "tableview/tvf/gridpane.h"

namespace TVF_Grid {

GridEditCtrl::GridEditCtrl(OWL::TWindow* parent, CellData& value)
    : OWL::TEdit(parent, kControlId, u"", 0, 0, 0, 0, 0, false), GridItemControl(value)
{
}

void GridEditCtrl::Transfer(bool save)
{
    auto* text = dynamic_cast<CellStringData*>(&Value());
    if (!text || !GetHandle())
        return;
    if (save) {
        char16_t buffer[kBufferSize]{};
        const int length = GetWindowText(buffer, kBufferSize);
        text->SetText(KVO::String(std::u16string(buffer, static_cast<std::size_t>(std::max(length, 0)))));
    } else {
        SetWindowText(text->GetText().c_str());
    }
}

StringComboBox::StringComboBox(OWL::TWindow* parent, CellData& value, const std::vector<std::u16string>& choices)
    : OWL::TComboBox(parent, kControlId, 0, 0, 0, 0, CBS_DROPDOWNLIST, 32), GridItemControl(value), choices_(choices)
{
    Attr.Style = kStyle;
    Attr.ExStyle &= ~WS_EX_CLIENTEDGE;
}

void StringComboBox::SetupWindow()
{
    OWL::TComboBox::SetupWindow();
    for (const std::u16string& choice : choices_)
        AddString(choice.c_str());
}

void StringComboBox::Transfer(bool save)
{
    auto* number = dynamic_cast<CellUint32Data*>(&Value());
    if (!number || !GetHandle())
        return;
    if (save)
        number->SetValue(static_cast<std::uint32_t>(GetSelIndex()));
    else
        SetSelIndex(static_cast<int>(number->GetValue()));
}

void GridControlClass::DrawItem(const CellData& value, HDC dc, const RECT& rect)
{
    const KVO::String text = value.GetText();
    ::ExtTextOutW(dc, rect.left, rect.top, ETO_CLIPPED | ETO_OPAQUE, &rect, text.c_str(),
                  static_cast<UINT>(text.Length()), nullptr);
}

std::unique_ptr<GridItemControl> GridText::CreateItemControl(GridPane& parent, CellData& value)
{
    return std::make_unique<GridEditCtrl>(&parent, value);
}

void GridStringList::DrawItem(const CellData& value, HDC dc, const RECT& rect)
{
    const auto* number = dynamic_cast<const CellUint32Data*>(&value);
    if (!number || number->GetValue() >= strings_.size())
        return;
    const std::u16string& text = strings_[number->GetValue()];
    ::ExtTextOutW(dc, rect.left, rect.top, ETO_CLIPPED | ETO_OPAQUE, &rect, text.c_str(),
                  static_cast<UINT>(text.size()), nullptr);
}

std::unique_ptr<GridItemControl> GridStringList::CreateItemControl(GridPane& parent, CellData& value)
{
    return std::make_unique<StringComboBox>(&parent, value, strings_);
}

ControlAlias::ControlAlias(GridPane& pane, HWND editor, int column, int row)
    : OWL::TWindow(editor), pane_(&pane), column_(column), row_(row)
{
    // What the alias does not take goes to the control's own class procedure (an edit, a combo box).
    char16_t name[64]{};
    WNDCLASSW control{};
    if (::GetClassNameW(editor, name, 64) && ::GetClassInfoW(nullptr, name, &control) &&
        control.lpfnWndProc != OWL::StdWndProc)
        DefaultProc = control.lpfnWndProc;
}

void ControlAlias::DefaultKey(uint key, uint repeatCount, uint flags)
{
    ::CallWindowProcW(DefaultProc, GetHandle(), WM_KEYDOWN, key, MAKELPARAM(repeatCount, flags));
}

void ControlAlias::EvKeyDown(uint key, uint repeatCount, uint flags)
{
    if (!pane_) {
        OWL::TWindow::EvKeyDown(key, repeatCount, flags);
        return;
    }
    switch (key) {
    case VK_TAB:
    case VK_RETURN:
        pane_->TransferFromEditor();
        pane_->CommitEditor();
        break;
    case VK_ESCAPE:
        pane_->CommitEditor();
        break;
    default:
        OWL::TWindow::EvKeyDown(key, repeatCount, flags);
        break;
    }
}

void ControlAlias::EvChar(uint key, uint repeatCount, uint flags)
{
    if (key != u'\t')
        OWL::TWindow::EvChar(key, repeatCount, flags);
}

void ControlAlias::EvKillFocus(HWND getFocus)
{
    OWL::TWindow::EvKillFocus(getFocus);
    if (pane_) {
        pane_->TransferFromEditor();
        pane_->CommitEditor();
    }
}

void ControlAlias::EvLButtonDblClk(uint modKeys, const OWL::TPoint& point)
{
    OWL::TWindow::EvLButtonDblClk(modKeys, point);
    if (pane_)
        pane_->BeginEditAt(row_, column_);
}

} // namespace TVF_Grid
