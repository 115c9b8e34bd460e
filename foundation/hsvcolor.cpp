#include "foundation/hsvcolor.h"

#include "platform/win/winuser.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace KVO {
namespace {
std::array<COLORREF, 6>& Table()
{
    static std::array<COLORREF, 6> table{};
    return table;
}

bool& Loaded()
{
    static bool loaded = false;
    return loaded;
}

BYTE Truncated(double component) { return static_cast<BYTE>(std::clamp(component, 0.0, 1.0) * 255.0); }
}

HSVColor::HSVColor(COLORREF color)
    : red(GetRValue(color) / 256.0),
      green(GetGValue(color) / 256.0),
      blue(GetBValue(color) / 256.0),
      alpha(static_cast<BYTE>(color >> 24))
{
    ComputeHSV();
}

void HSVColor::ComputeHSV()
{
    const double max = std::max({red, green, blue});
    const double min = std::min({red, green, blue});
    value = max;
    if (!(max > 0.0)) { // zero, or not a number
        saturation = 0;
        hue = -1;
        return;
    }
    const double delta = max - min;
    saturation = delta / max;
    if (delta == 0.0) {
        hue = 0;
        return;
    }
    double h;
    if (red == max) {
        h = (green - blue) / delta;
    } else if (green == max) {
        h = 2 + (blue - red) / delta;
    } else {
        h = 4 + (red - green) / delta;
    }
    h *= 60;
    hue = h < 0 ? h + 360 : h;
}

void HSVColor::ToRGB()
{
    if (saturation == 0.0) {
        red = green = blue = value;
        return;
    }
    double h = std::fmod(hue, 360.0);
    if (h < 0) {
        h += 360.0;
    }
    const double sector = std::floor(h / 60);
    const double f = h / 60 - sector;
    const double p = value * (1 - saturation);
    const double q = value * (1 - saturation * f);
    const double t = value * (1 - saturation * (1 - f));
    switch (static_cast<int>(sector)) {
    case 0:
        red = value, green = t, blue = p;
        break;
    case 1:
        red = q, green = value, blue = p;
        break;
    case 2:
        red = p, green = value, blue = t;
        break;
    case 3:
        red = p, green = q, blue = value;
        break;
    case 4:
        red = t, green = p, blue = value;
        break;
    default:
        red = value, green = p, blue = q;
        break;
    }
}

COLORREF DesaturateColor(COLORREF color, double factor)
{
    if (!(factor >= -1.0 && factor <= 1.0)) {
        factor = 1.0;
    }
    HSVColor hsv(color);
    const double saturation = std::clamp(hsv.saturation - factor, 0.0, 1.0);
    const double d = (hsv.saturation - saturation) + factor;
    if (std::abs(d) > 0.01) {
        const double value = d > 0 ? hsv.value + d * (1 - hsv.value) : hsv.value + d * hsv.value;
        hsv.value = std::clamp(value, 0.0, 1.0);
    }
    hsv.saturation = saturation;
    hsv.ToRGB();
    return RGB(Truncated(hsv.red), Truncated(hsv.green), Truncated(hsv.blue));
}

COLORREF ShiftColorBrightness(COLORREF color, double fraction, double target)
{
    const int r = GetRValue(color);
    const int g = GetGValue(color);
    const int b = GetBValue(color);
    const int delta = static_cast<int>((3 * target - r - g - b) * fraction / 3);
    const int top = static_cast<int>(std::clamp(target, 0.0, 255.0));
    auto shifted = [&](int c) { return static_cast<BYTE>(std::clamp(c + delta, 0, top)); };
    return RGB(shifted(r), shifted(g), shifted(b));
}

COLORREF SysColor(SysColorSlot slot)
{
    if (!Loaded()) {
        RefreshSysColors();
    }
    return Table()[static_cast<std::size_t>(slot)];
}

void RefreshSysColors()
{
    Table() = {GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNFACE),
               GetSysColor(COLOR_BTNHIGHLIGHT), RGB(255, 255, 255), GetSysColor(COLOR_WINDOW)};
    Loaded() = true;
}

} // namespace KVO
