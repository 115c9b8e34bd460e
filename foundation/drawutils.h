// Small drawing routines shared by the module's windows: a one-pixel frame, the horizontal band copy of the
// preview charts' scrolling layers, and the placeholder control of an embedded preview.
#pragma once

#include "platform/win/wingdi.h"
#include "platform/win/winuser.h"

namespace KVO {

// Paints a one-pixel frame inside the rectangle in the frame colour (the kept button shadow).
void DrawFrameRect(HDC dc, const RECT& rect);

// What the band copy reads of a drawing layer of the preview charts.
struct BandLayer {
    LONG bandLeft = 0;  // the band's columns, right edge excluded
    LONG bandRight = 0;
    BYTE opacity = 255;
    DWORD flags = 0;
    HDC dc = nullptr;
};
// Flag of a source layer whose white pixels are transparent.
inline constexpr DWORD kLayerTransparentWhite = 1u << 29;

// Copies the destination layer's band, moved right by `offset` and wrapped around the rectangle's width, from the
// source layer's DC to the destination's at the same place, rows 0 to the rectangle's height. A source with white
// transparent is copied with TransparentBlt (a failure throws XKVO); any other only onto an opaque destination.
void BlitHorizontalBand(const BandLayer& destination, const RECT& rect, const BandLayer& source, LONG offset);

// The rectangle of the placeholder control (id 1053) of a dialog, in the dialog's client coordinates; the preview
// panes are made there. Empty when the dialog has no such control.
class DlgItemPlaceholder {
public:
    static constexpr int kControlId = 1053;
    explicit DlgItemPlaceholder(HWND owner);

    HWND Owner;
    int ControlId = kControlId;
    RECT Rect{};
};

} // namespace KVO
