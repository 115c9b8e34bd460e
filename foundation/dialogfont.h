// The dialog font and the DPI: fonts sized in points for a device context, and the DPI of a window's monitor.
#pragma once

#include "platform/owl/dc.h"
#include "platform/owl/gdiobject.h"

namespace KVO {

inline constexpr char16_t kDialogFontFace[] = u"MS Shell Dlg 2";

// The default dialog font size: 10 points, 12 when the application's language is Chinese or Japanese.
int DefaultDialogFontPoints();
// Points as a logical height on a DC: by its vertical resolution, then by its window-to-viewport scale.
int PointsToLogicalHeight(HDC dc, int points);
// True for a raster display, whose fonts need no TrueType-only output precision.
bool IsRasterDisplay(HDC dc);

// A font in the face of the default GUI font, with the DC's text metrics for it.
class MetricFont : public owl::TFont {
public:
    MetricFont(HDC dc, int points, bool bold);
    TEXTMETRICW Metrics{};
};

// The dialog face at a size in points (0: the default size), turned by `angle` tenths of a degree.
class DialogFont : public owl::TFont {
public:
    DialogFont(HDC dc, int points, int angle);
};

// A new dialog font for a DC (the screen when none is given); points 0 gives the default size.
HFONT CreateDialogFontForDC(HDC dc, int points, bool bold, bool underline);
// New dialog fonts by size in points or by logical height, on a DC or the screen; false when `font` is null.
bool CreateDialogFontPt(HDC dc, HFONT* font, int points, int angle);
bool CreateDialogFont(HDC dc, HFONT* font, int height, int angle);

struct DpiPair {
    UINT x;
    UINT y;
};
// On Windows 8.1 and later the effective DPI of the window's monitor, which is also kept; otherwise (or without a
// window) the kept pair, filled from the screen the first time.
DpiPair GetWindowDpi(HWND window);
// Forgets the kept pair (tests, module exit).
void ResetWindowDpi();

// The font's average character width and its height with external leading, on the screen; (0, 0) without one.
SIZE GetFontCharSize(HFONT font);

} // namespace KVO
