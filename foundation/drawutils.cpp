#include "foundation/drawutils.h"

#include "foundation/hsvcolor.h"
#include "foundation/xkvo.h"
#include "platform/win/files.h"

#include <algorithm>

namespace KVO {

void DrawFrameRect(HDC dc, const RECT& r)
{
    const COLORREF previous = SetBkColor(dc, SysColor(SysColorSlot::ButtonShadow));
    const RECT strips[] = {
        {r.left, r.top, r.right, r.top + 1},
        {r.left, r.bottom - 1, r.right, r.bottom},
        {r.left, r.top, r.left + 1, r.bottom},
        {r.right - 1, r.top, r.right, r.bottom},
    };
    for (const RECT& strip : strips) {
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &strip, u"", 0, nullptr);
    }
    SetBkColor(dc, previous);
}

void BlitHorizontalBand(const BandLayer& destination, const RECT& rect, const BandLayer& source, LONG offset)
{
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    const bool transparent = (source.flags & kLayerTransparentWhite) != 0;
    if (!transparent && destination.opacity != 255) {
        return;
    }
    for (const LONG shift : {offset, offset - width}) {
        const LONG left = std::max(destination.bandLeft + shift, rect.left);
        const LONG right = std::min(destination.bandRight + shift, rect.right);
        if (left >= right) {
            continue;
        }
        if (transparent) {
            if (!TransparentBlt(destination.dc, left, 0, right - left, height, source.dc, left, 0, right - left, height,
                                RGB(255, 255, 255))) {
                XKVO::Throw(platform::LastErrorResult());
            }
        } else {
            BitBlt(destination.dc, left, 0, right - left, height, source.dc, left, 0, SRCCOPY);
        }
    }
}

DlgItemPlaceholder::DlgItemPlaceholder(HWND owner) : Owner(owner)
{
    HWND control = GetDlgItem(owner, ControlId);
    if (control && GetWindowRect(control, &Rect)) {
        MapWindowPoints(nullptr, owner, reinterpret_cast<POINT*>(&Rect), 2);
    } else {
        Rect = RECT{};
    }
}

} // namespace KVO
