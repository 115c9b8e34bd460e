// OWL's colour: an RGB value, or one of the system colours resolved when it is used.
#pragma once

#include "platform/owl/geometry.h"
#include "platform/win/winuser.h"

namespace owl {

class TColor {
public:
    constexpr TColor() : value_(0) {}
    constexpr TColor(COLORREF value) : value_(value) {}
    constexpr TColor(int r, int g, int b) : value_(RGB(static_cast<BYTE>(r), static_cast<BYTE>(g), static_cast<BYTE>(b))) {}

    // The RGB value; system colours are looked up now.
    COLORREF GetValue() const { return IsSysColor() ? GetSysColor(Index()) : value_; }
    operator COLORREF() const { return GetValue(); }
    COLORREF Rgb() const { return GetValue(); }
    uint8 Red() const { return GetRValue(GetValue()); }
    uint8 Green() const { return GetGValue(GetValue()); }
    uint8 Blue() const { return GetBValue(GetValue()); }
    bool IsSysColor() const { return (value_ & 0xFF000000u) == kSysFlag; }
    int Index() const { return static_cast<int>(value_ & 0xFF); }
    static constexpr TColor Sys(int index) { return TColor(kSysFlag | static_cast<COLORREF>(index)); }
    friend bool operator==(const TColor& a, const TColor& b) { return a.GetValue() == b.GetValue(); }

    static const TColor Black;
    static const TColor LtGray;
    static const TColor Gray;
    static const TColor LtRed;
    static const TColor LtGreen;
    static const TColor LtYellow;
    static const TColor LtBlue;
    static const TColor LtMagenta;
    static const TColor LtCyan;
    static const TColor White;
    static const TColor None;
    static const TColor Transparent;
    static const TColor SysScrollbar;
    static const TColor SysWindow;
    static const TColor SysWindowFrame;
    static const TColor SysWindowText;
    static const TColor SysActiveCaption;
    static const TColor SysHighlight;
    static const TColor SysHighlightText;
    static const TColor Sys3dFace;
    static const TColor Sys3dShadow;
    static const TColor Sys3dHilight;
    static const TColor Sys3dLight;
    static const TColor Sys3dDkShadow;
    static const TColor SysBtnFace;
    static const TColor SysBtnText;
    static const TColor SysGrayText;
    static const TColor SysInfoText;
    static const TColor SysInfoBk;

private:
    static constexpr COLORREF kSysFlag = 0x80000000u;
    COLORREF value_;
};

inline constexpr TColor TColor::Black{0, 0, 0};
inline constexpr TColor TColor::LtGray{192, 192, 192};
inline constexpr TColor TColor::Gray{128, 128, 128};
inline constexpr TColor TColor::LtRed{255, 0, 0};
inline constexpr TColor TColor::LtGreen{0, 255, 0};
inline constexpr TColor TColor::LtYellow{255, 255, 0};
inline constexpr TColor TColor::LtBlue{0, 0, 255};
inline constexpr TColor TColor::LtMagenta{255, 0, 255};
inline constexpr TColor TColor::LtCyan{0, 255, 255};
inline constexpr TColor TColor::White{255, 255, 255};
inline constexpr TColor TColor::None{COLORREF{0xFF000000u}};
inline constexpr TColor TColor::Transparent{COLORREF{0xFF000001u}};
inline constexpr TColor TColor::SysScrollbar = TColor::Sys(COLOR_SCROLLBAR);
inline constexpr TColor TColor::SysWindow = TColor::Sys(COLOR_WINDOW);
inline constexpr TColor TColor::SysWindowFrame = TColor::Sys(COLOR_WINDOWFRAME);
inline constexpr TColor TColor::SysWindowText = TColor::Sys(COLOR_WINDOWTEXT);
inline constexpr TColor TColor::SysActiveCaption = TColor::Sys(COLOR_ACTIVECAPTION);
inline constexpr TColor TColor::SysHighlight = TColor::Sys(COLOR_HIGHLIGHT);
inline constexpr TColor TColor::SysHighlightText = TColor::Sys(COLOR_HIGHLIGHTTEXT);
inline constexpr TColor TColor::Sys3dFace = TColor::Sys(COLOR_3DFACE);
inline constexpr TColor TColor::Sys3dShadow = TColor::Sys(COLOR_3DSHADOW);
inline constexpr TColor TColor::Sys3dHilight = TColor::Sys(COLOR_3DHIGHLIGHT);
inline constexpr TColor TColor::Sys3dLight = TColor::Sys(COLOR_3DLIGHT);
inline constexpr TColor TColor::Sys3dDkShadow = TColor::Sys(COLOR_3DDKSHADOW);
inline constexpr TColor TColor::SysBtnFace = TColor::Sys(COLOR_BTNFACE);
inline constexpr TColor TColor::SysBtnText = TColor::Sys(COLOR_BTNTEXT);
inline constexpr TColor TColor::SysGrayText = TColor::Sys(COLOR_GRAYTEXT);
inline constexpr TColor TColor::SysInfoText = TColor::Sys(COLOR_INFOTEXT);
inline constexpr TColor TColor::SysInfoBk = TColor::Sys(COLOR_INFOBK);
}
