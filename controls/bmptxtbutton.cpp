#include "controls/bmptxtbutton.h"

#include "controls/gdiplusbitmaps.h"
#include "foundation/linkingutils.h"
#include "foundation/moduleinstance.h"
#include "foundation/utilities.h"
#include "platform/gdi/image.h"

#include <cmath>
#include <exception>

namespace KVOControls {
namespace {
// The grey of a disabled glyph: each of red, green and blue becomes (R + G + B) x k + 0.4.
constexpr double kShade = 0.4;
const double kRedGreen = 0.4 * std::cos(38.0 * M_PI / 180) * std::cos(45.0 * M_PI / 180);
const double kBlue = 0.4 * std::sin(38.0 * M_PI / 180);

std::u16string WithoutAmpersands(std::u16string text)
{
    std::erase(text, u'&');
    return text;
}
}

TBmpTxtButton::TBmpTxtButton(owl::TWindow* parent, const KVO::String& tip, bool isDefault, owl::TModule* module)
    : TGlyphButton(parent, kHelpId, u"", 0, 0, 0, 0, kGlyphType, isDefault, module), tooltip(tip)
{
}

TBmpTxtButton::TBmpTxtButton(owl::TWindow* parent, const KVO::String& tip, owl::TModule* module)
    : TGlyphButton(parent, kHelpId, kGlyphType, module), tooltip(tip)
{
}

TBmpTxtButton::~TBmpTxtButton()
{
    popup.reset();
    CloseTheme();
}

void TBmpTxtButton::OpenTheme()
{
    CloseTheme();
    // A system without the theme library paints the classic face; nothing is reported.
    try {
        if (KVO::IsWindowsXPOrLater()) {
            theme = KVOLinkingUtils::UxThemeDLL::Instance().OpenThemeData(Handle, themeClass);
        }
    } catch (const std::exception&) {
        theme = nullptr;
    }
    classic = theme == nullptr;
}

void TBmpTxtButton::CloseTheme()
{
    if (theme) {
        try {
            KVOLinkingUtils::UxThemeDLL::Instance().CloseThemeData(theme);
        } catch (const std::exception&) {
        }
        theme = nullptr;
    }
}

void TBmpTxtButton::SetupWindow()
{
    OpenTheme();
    hot = clicked = showFocusRect = tracking = tooltipShown = false;
    hoverMs = 0;
    ModifyStyle(0, 0x0E);
    TGlyphButton::SetupWindow();
}

void TBmpTxtButton::EvThemeChanged()
{
    OpenTheme();
    Invalidate();
}

void TBmpTxtButton::SetBitmap(UINT resourceId)
{
    owl::TModule* module = GetParentO() ? GetParentO()->GetModule() : nullptr;
    const HINSTANCE instance = module ? module->GetHandle() : KVO::ModuleInstance();
    SetGlyph(LoadBitmapW(instance, MAKEINTRESOURCEW(resourceId)), gtUp);
    if (IsWindow()) {
        Invalidate();
    }
}

// Tooltip.

void TBmpTxtButton::RemoveTooltip(bool forget)
{
    if (timerId) {
        KillTimer(kTimerId);
        timerId = 0;
    }
    popup.reset();
    if (forget) {
        // The next hover starts its own count, so its tooltip gets its full time.
        tooltipShown = false;
        hoverMs = 0;
    }
}

void TBmpTxtButton::SetTooltip(const KVO::String& text)
{
    tooltip = text;
    if (tooltip.IsEmpty()) {
        RemoveTooltip(true);
    }
}

void TBmpTxtButton::EvMouseMove(owl::uint modKeys, const owl::TPoint& point)
{
    if (!tracking) {
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, Handle, 0};
        tracking = TrackMouseEvent(&track) != FALSE;
    }
    if (!tooltipShown && !tooltip.IsEmpty()) {
        if (clicked) {
            TGlyphButton::EvMouseMove(modKeys, point);
            return;
        }
        timerId = SetTimer(kTimerId, kTimerMs);
    }
    if (!clicked) {
        const bool inside = GetClientRect().Contains(point);
        if (!classic) {
            if (inside && !hot) {
                hot = true;
                Set(biFocus);
                Invalidate();
            } else if (!inside && hot) {
                HotLeave();
            }
        } else if (inside) {
            hot = true;
        } else if (hot) {
            hot = false;
            if (IsSet(biPushed)) {
                SendMessage(BM_SETSTATE, FALSE);
            }
        }
    }
    TGlyphButton::EvMouseMove(modKeys, point);
}

void TBmpTxtButton::EvTimer(owl::uint id)
{
    if (id != kTimerId) {
        TGlyphButton::EvTimer(id);
        return;
    }
    if (tooltip.IsEmpty()) {
        return;
    }
    if ((IsSet(biPushed) && !toggle) || clicked) {
        RemoveTooltip(false);
        return;
    }
    hoverMs += kTimerMs;
    if (hoverMs > maxTooltipMs) {
        // Gone after its time; tooltipShown stays set, so it comes back only after the cursor has left.
        RemoveTooltip(false);
        hoverMs = 0;
    } else if (hoverMs >= static_cast<int>(kTimerMs) && !popup) {
        POINT cursor{};
        GetCursorPos(&cursor);
        popup = std::make_unique<KVO::Popup>(this, owl::TPoint(cursor.x - 3, cursor.y + 19), tooltip);
        tooltipShown = true;
    }
}

void TBmpTxtButton::EvMouseLeave()
{
    RemoveTooltip(true);
    HotLeave();
    tracking = false;
    clicked = false;
}

void TBmpTxtButton::HotLeave()
{
    hot = false;
    if (!toggle && IsSet(biPushed)) {
        SendMessage(BM_SETSTATE, FALSE);
    }
    Set(biFocus, false);
    ReleasePress();
    Invalidate();
}

// Drops the capture, and the pressed look unless the button is a latched toggle.
void TBmpTxtButton::ReleasePress()
{
    if (::GetCapture() == Handle) {
        ReleaseCapture();
    }
    if (!toggle) {
        Set(biPushed, false);
    }
}

// Clicks and keys.

void TBmpTxtButton::EvLButtonDown(owl::uint modKeys, const owl::TPoint& point)
{
    TGlyphButton::EvLButtonDown(modKeys, point);
    SetCapture();
    if (tooltipShown) {
        RemoveTooltip(true);
    }
    hot = true;
    Invalidate();
}

void TBmpTxtButton::EvLButtonUp(owl::uint, const owl::TPoint& point)
{
    if (::GetCapture() == Handle) {
        if (!(toggle && !toggleState)) {
            SendMessage(BM_SETSTATE, FALSE);
        }
        if (toggle) {
            toggleState = !toggleState;
        }
        if (GetClientRect().Contains(point)) {
            ClickNotify();
        }
    }
    if (::GetCapture() == Handle) {
        ReleaseCapture();
    }
    Set(biPushed, toggle && toggleState);
    clicked = true;
    Invalidate();
}

void TBmpTxtButton::EvLButtonDblClk(owl::uint modKeys, const owl::TPoint& point) { EvLButtonUp(modKeys, point); }

void TBmpTxtButton::EvKeyUp(owl::uint key, owl::uint repeatCount, owl::uint flags)
{
    TGlyphButton::EvKeyUp(key, repeatCount, flags);
    if (key == VK_TAB) {
        showFocusRect = true;
        Set(biDefault, false);
    }
    Invalidate();
}

void TBmpTxtButton::EvKeyDown(owl::uint key, owl::uint repeatCount, owl::uint flags)
{
    TGlyphButton::EvKeyDown(key, repeatCount, flags);
    if (!tooltip.IsEmpty()) {
        RemoveTooltip(false);
    }
    Invalidate();
}

void TBmpTxtButton::EvRButtonDown(owl::uint, const owl::TPoint&)
{
    if (!tooltip.IsEmpty()) {
        RemoveTooltip(false);
    }
}

void TBmpTxtButton::EvMButtonDown(owl::uint, const owl::TPoint&)
{
    if (!tooltip.IsEmpty()) {
        RemoveTooltip(false);
    }
}

void TBmpTxtButton::EvKillFocus(HWND)
{
    Set(biFocus, false);
    if (IsSet(biPushed)) {
        ReleasePress();
    }
    Invalidate();
}

void TBmpTxtButton::EvCancelMode()
{
    ReleasePress();
    Invalidate();
}

void TBmpTxtButton::EvEnable(bool enabled)
{
    if (!enabled) {
        ReleasePress();
    }
    Set(biDisabled, !enabled);
    Invalidate();
}

// Painting.

void TBmpTxtButton::PaintFrame(owl::TDC& dc, owl::TRect& rect)
{
    if (classic) {
        owl::TUIBorder border(rect, IsSet(biPushed) ? owl::TUIBorder::Sunken : owl::TUIBorder::Raised);
        border.Paint(dc);
        rect = border.GetClientRect();
    }
}

void TBmpTxtButton::PaintDefaultRect(owl::TDC& dc, owl::TRect& rect)
{
    if (classic) {
        TGlyphButton::PaintDefaultRect(dc, rect);
    }
}

void TBmpTxtButton::PaintFace(owl::TDC& dc, const owl::TRect& rect)
{
    if (classic) {
        PaintClassicFace(dc, rect);
    } else {
        PaintThemedFace(dc, rect);
    }
}

void TBmpTxtButton::PaintThemedFace(owl::TDC& dc, const owl::TRect& rect)
{
    auto& ux = KVOLinkingUtils::UxThemeDLL::Instance();
    HTHEME paintTheme = nullptr;
    try {
        paintTheme = ux.OpenThemeData(Handle, themeClass);
    } catch (const std::exception&) {
        paintTheme = nullptr;
    }
    if (!paintTheme) {
        classic = true;
        PaintClassicFace(dc, rect);
        return;
    }
    const int state = IsSet(biDisabled) ? PBS_DISABLED
                      : IsSet(biPushed) ? PBS_PRESSED
                      : IsSet(biFocus)  ? PBS_HOT
                      : IsSet(biDefault) ? PBS_DEFAULTED
                                         : PBS_NORMAL;
    RECT face = rect;
    if (parentBackground && GetParentH()) {
        auto brush = reinterpret_cast<HBRUSH>(
            ::SendMessageW(GetParentH(), WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)),
                           reinterpret_cast<LPARAM>(Handle)));
        FillRect(dc, &face, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
    } else {
        ux.DrawThemeParentBackground(Handle, dc, &face);
    }
    ux.DrawThemeBackground(paintTheme, dc, BP_PUSHBUTTON, state, &face);
    PaintContent(dc, rect, true);
    ux.CloseThemeData(paintTheme);
}

void TBmpTxtButton::PaintClassicFace(owl::TDC& dc, const owl::TRect& rect)
{
    RECT face = rect;
    FillRect(dc, &face, GetSysColorBrush(COLOR_3DFACE));
    PaintContent(dc, rect, false);
}

void TBmpTxtButton::PaintContent(owl::TDC& dc, const owl::TRect& face, bool themed)
{
    const bool pushed = IsSet(biPushed);
    const bool disabled = IsSet(biDisabled);
    int cel = gtUp;
    if (pushed && Glyphs[gtSelected]) {
        cel = gtSelected;
    } else if (disabled && Glyphs[gtDisabled]) {
        cel = gtDisabled;
    }
    HBITMAP glyph = IsSet(biShowGlyph) ? Glyphs[cel] : nullptr;
    BITMAP glyphInfo{};
    if (glyph) {
        GetObjectW(glyph, sizeof glyphInfo, &glyphInfo);
    }
    const std::u16string caption = IsSet(biShowText) ? WithoutAmpersands(GetWindowText()) : std::u16string();
    HFONT font = GetWindowFont();
    if (!font && GetParentH()) {
        font = reinterpret_cast<HFONT>(::SendMessageW(GetParentH(), WM_GETFONT, 0, 0));
    }
    if (!font) {
        font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    HGDIOBJ oldFont = ::SelectObject(dc, font);
    owl::TRect textRect(0, 0, 0, 0);
    if (!caption.empty()) {
        RECT measured{0, 0, std::max<int>(0, face.Width() - glyphInfo.bmWidth), 0};
        DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measured, DT_CALCRECT | DT_WORDBREAK);
        textRect = owl::TRect(0, 0, measured.right - measured.left, measured.bottom - measured.top);
    }
    owl::TRect glyphRect(0, 0, glyph ? glyphInfo.bmWidth : 0, glyph ? glyphInfo.bmHeight : 0);
    LayoutTextGlyph(face, textRect, glyphRect);
    if (themed) {
        const int centre = (face.top + face.bottom) / 2;
        const int height = textRect.Height();
        textRect.top = centre - (height + 1) / 2;
        textRect.bottom = textRect.top + height;
    } else if (pushed) {
        textRect.Offset(1, 1);
        if (cel != gtSelected) {
            glyphRect.Offset(1, 1);
        }
    }
    if (glyph) {
        if (disabled && cel != gtDisabled) {
            DrawDisabledGlyph(dc, glyph, glyphRect);
        } else {
            HDC memory = CreateCompatibleDC(dc);
            HGDIOBJ old = ::SelectObject(memory, glyph);
            const COLORREF key = ::GetPixel(memory, 0, 0);
            TransparentBlt(dc, glyphRect.left, glyphRect.top, glyphInfo.bmWidth, glyphInfo.bmHeight, memory, 0, 0,
                           glyphInfo.bmWidth, glyphInfo.bmHeight, key);
            ::SelectObject(memory, old);
            DeleteDC(memory);
        }
    }
    if (!caption.empty()) {
        const UINT format = DT_CENTER | DT_VCENTER | DT_WORDBREAK;
        if (disabled) {
            owl::TUIFace(textRect).Paint(dc, caption.c_str(), format, GetSysColor(COLOR_3DSHADOW),
                                         GetSysColor(COLOR_3DHIGHLIGHT));
        } else {
            const int mode = ::SetBkMode(dc, TRANSPARENT);
            const COLORREF colour = ::SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
            RECT r = textRect;
            DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &r, format);
            ::SetTextColor(dc, colour);
            ::SetBkMode(dc, mode);
        }
    }
    ::SelectObject(dc, oldFont);
}

void TBmpTxtButton::DrawDisabledGlyph(HDC dc, HBITMAP glyph, const RECT& target)
{
    if (!GdiplusStarter::Instance().Started()) {
        return;
    }
    const gdi::Image pixels = gdi::ImageOfBitmap(glyph);
    BITMAP info{};
    GetObjectW(glyph, sizeof info, &info);
    Gdiplus::Bitmap bitmap(pixels.width, pixels.height,
                           info.bmBitsPixel == 32 ? Gdiplus::PixelFormat32bppPARGB : Gdiplus::PixelFormat24bppRGB);
    for (int y = 0; y < pixels.height; ++y) {
        for (int x = 0; x < pixels.width; ++x) {
            const COLORREF c = pixels.at(x, y);
            bitmap.SetPixel(x, y, Gdiplus::Color(GetRValue(c), GetGValue(c), GetBValue(c)));
        }
    }
    Gdiplus::ImageAttributes attributes;
    if (bitmap.GetPixelFormat() != Gdiplus::PixelFormat32bppPARGB) {
        // The light grey background of the glyph disappears.
        const Gdiplus::ColorMap map{Gdiplus::Color(255, 192, 192, 192), Gdiplus::Color(0, 0, 0, 0)};
        attributes.SetRemapTable(1, &map);
    }
    Gdiplus::ColorMatrix matrix{};
    const Gdiplus::REAL weights[3] = {static_cast<Gdiplus::REAL>(kRedGreen), static_cast<Gdiplus::REAL>(kRedGreen),
                                      static_cast<Gdiplus::REAL>(kBlue)};
    for (int in = 0; in < 3; ++in) {
        for (int out = 0; out < 3; ++out) {
            matrix.m[in][out] = weights[out];
        }
    }
    matrix.m[3][3] = 1;
    for (int out = 0; out < 3; ++out) {
        matrix.m[4][out] = static_cast<Gdiplus::REAL>(kShade);
    }
    attributes.SetColorMatrix(&matrix);
    Gdiplus::Graphics graphics(dc);
    graphics.DrawImage(&bitmap, Gdiplus::Rect(target.left, target.top, pixels.width, pixels.height), 0, 0,
                       pixels.width, pixels.height, Gdiplus::UnitPixel, &attributes);
}

void TBmpTxtButton::PaintFocusRect(owl::TDC& dc, const owl::TRect& faceRect)
{
    if (showFocusRect) {
        RECT r = faceRect;
        const int inset = classic ? 2 : 3;
        InflateRect(&r, -inset, -inset);
        DrawFocusRect(dc, &r);
    }
    showFocusRect = false;
}

} // namespace KVOControls
