// Colour arithmetic in hue, saturation and value, and the system colours the module's drawing keeps at hand.
#pragma once

#include "platform/win/windef.h"

namespace KVO {

class HSVColor {
public:
    // Each component is its byte / 256; the alpha byte (the COLORREF's high byte) is kept.
    explicit HSVColor(COLORREF color);

    // Hue, saturation and value from red, green and blue.
    void ComputeHSV();
    // Red, green and blue from hue, saturation and value; a hue of 360 or more wraps around.
    void ToRGB();

    double red = 0;
    double green = 0;
    double blue = 0;
    BYTE alpha = 0;
    double hue = -1; // degrees 0 up to 360; -1 when undefined (no saturation)
    double saturation = 0;
    double value = 0;
};

// Less saturated (factor > 0) or more (factor < 0), with the value moved along by the same amount; a factor
// outside -1..1 counts as 1. Alpha 0.
COLORREF DesaturateColor(COLORREF color, double factor);
// Moves each of red, green and blue by the same amount, a fraction of the way from the colour's mean towards
// `target`; each clamped to 0..target.
COLORREF ShiftColorBrightness(COLORREF color, double fraction, double target);

// The kept system colours: COLOR_BTNTEXT, COLOR_BTNSHADOW, COLOR_BTNFACE, COLOR_BTNHIGHLIGHT, white, COLOR_WINDOW.
enum class SysColorSlot { ButtonText, ButtonShadow, ButtonFace, ButtonHighlight, White, Window };
COLORREF SysColor(SysColorSlot slot);
// Reloads them (after WM_SYSCOLORCHANGE); the frame colour of DrawFrameRect follows the button shadow.
void RefreshSysColors();

} // namespace KVO
