#include "controls/menucombo.h"

#include "foundation/dialogfont.h"

#include <algorithm>
#include <cmath>

namespace KVOControls::MenuCombo {

MenuCombo::MenuCombo(owl::TWindow* parent, int id, int x, int y, int w, int h, owl::TModule* module)
    : TComboBox(parent, id, x, y, w, h, 0, 0, module)
{
    Attr.Style = WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL |
                 CBS_OWNERDRAWVARIABLE | CBS_HASSTRINGS;
}

MenuCombo::MenuCombo(owl::TWindow* parent, int resourceId, owl::TModule* module)
    : TComboBox(parent, resourceId, 0, module)
{
}

void MenuCombo::MeasureItem(MEASUREITEMSTRUCT& measureInfo) { MeasureItem(measureInfo.CtlID, measureInfo); }

void MenuCombo::MeasureItem(owl::uint, MEASUREITEMSTRUCT& measureInfo)
{
    if (!GetHandle()) {
        return;
    }
    owl::TClientDC dc(GetHandle());
    const KVO::DialogFont font(dc, 0, 0);
    dc.SelectObject(font);
    TEXTMETRICW metrics{};
    dc.GetTextMetrics(metrics);
    dc.RestoreFont();
    const int height = static_cast<int>(std::lround((metrics.tmHeight + metrics.tmExternalLeading) * 1.25));
    measureInfo.itemHeight = static_cast<UINT>(height);
    if (!fieldMeasured_) {
        fieldMeasured_ = true;
        SetItemHeight(-1, height);
    }
}

bool MenuCombo::IsSeparatorRow(int index) const
{
    return std::find(SeparatorRows.begin(), SeparatorRows.end(), index) != SeparatorRows.end();
}

} // namespace KVOControls::MenuCombo
