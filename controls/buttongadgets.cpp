#include "controls/buttongadgets.h"

#include "controls/gadgetwindows.h"

#include "foundation/linkingutils.h"
#include "foundation/moduleinstance.h"
#include "platform/owl/gadgetwindow.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
// The screen's resolution, read once.
int& CachedDpi(int axis)
{
    static int dpi[2] = {0, 0};
    return dpi[axis];
}

int ScreenDpi(int axis)
{
    if (!CachedDpi(axis)) {
        owl::TScreenDC dc;
        CachedDpi(0) = dc.GetDeviceCaps(LOGPIXELSX);
        CachedDpi(1) = dc.GetDeviceCaps(LOGPIXELSY);
    }
    return CachedDpi(axis);
}

Gdiplus::Bitmap* LoadImage(LPCWSTR name)
{
    const HINSTANCE module = KVO::ModuleInstance();
    if (Gdiplus::Bitmap* png = KVOControls::LoadPngAsArgbBitmap(name, module)) {
        return png;
    }
    // No PNG that can be read: the bitmap resource of the same id.
    auto* bitmap = Gdiplus::Bitmap::FromResource(module, name);
    if (bitmap->GetLastStatus() != Gdiplus::Ok) {
        delete bitmap;
        return nullptr;
    }
    return bitmap;
}
}

UxSizableButtonGadget::UxSizableButtonGadget(int id, owl::TResId imageResId, TType type, owl::uint numChars)
    : TButtonTextGadget(id, imageResId, sBitmap, type, true, Up, false, numChars), LowPriorityTimer(0)
{
    if (numChars == 0) {
        GFlags |= WideAsPossible;
    }
    GdiplusStarter::Instance();
    if (owl::TWindow* main = owl::GetApplicationObject().GetMainWindow()) {
        OpenTheme(main->GetHandle());
    }
    ImageSize();
}

UxSizableButtonGadget::UxSizableButtonGadget(int id, Gdiplus::Bitmap* image, int lookValue, TType type)
    : TButtonTextGadget(id, 0, sBitmap, type, true, Up, false, 4), LowPriorityTimer(0), look(lookValue),
      normalImage(image)
{
    GdiplusStarter::Instance();
    if (owl::TWindow* main = owl::GetApplicationObject().GetMainWindow()) {
        OpenTheme(main->GetHandle());
    }
    ImageSize();
}

UxSizableButtonGadget::~UxSizableButtonGadget()
{
    CloseTheme();
    downImage.reset();
    normalImage.reset();
    StopTimer();
}

void UxSizableButtonGadget::OpenTheme(HWND window) { theme = KVOControls::OpenThemeForLook(window, look); }

void UxSizableButtonGadget::CloseTheme() { KVOControls::CloseThemeHandle(theme); }

void UxSizableButtonGadget::Created()
{
    TGadget::Created(); // the image is ours, not an OWL glyph
    if (!theme && Window) {
        OpenTheme(Window->GetHandle());
    }
}

void UxSizableButtonGadget::SysColorChange()
{
    CloseTheme();
    auto& ux = KVOLinkingUtils::UxThemeDLL::Instance();
    if (IsAppThemed() && ux.IsThemeActive()) {
        owl::TWindow* main = owl::GetApplicationObject().GetMainWindow();
        OpenTheme(main ? main->GetHandle() : Window ? Window->GetHandle() : nullptr);
    }
}

Gdiplus::Bitmap* UxSizableButtonGadget::SetImage(int which, Gdiplus::Bitmap* image)
{
    auto& slot = which == DownImage ? downImage : normalImage;
    Gdiplus::Bitmap* previous = slot.release();
    slot.reset(image);
    if (which == NormalImage) {
        imageSize = image ? owl::TSize(static_cast<int>(image->GetWidth()), static_cast<int>(image->GetHeight()))
                          : owl::TSize(0, 0);
    }
    if (Window && Window->GetHandle() && (Style & sBitmap)) {
        Window->LayoutSession();
        owl::TClientDC dc(Window->GetHandle());
        Paint(dc);
    }
    return previous;
}

owl::TSize UxSizableButtonGadget::ImageSize()
{
    if (!normalImage) {
        normalImage.reset(LoadImage(ResId));
        imageSize = owl::TSize(0, 0);
    }
    if (normalImage) {
        imageSize = owl::TSize(static_cast<int>(normalImage->GetWidth()), static_cast<int>(normalImage->GetHeight()));
    }
    return imageSize;
}

void UxSizableButtonGadget::ResetScreenDpi() { CachedDpi(0) = CachedDpi(1) = 0; }

BYTE UxSizableButtonGadget::PulseAlpha(double seconds)
{
    const double value = 128.0 + 128.0 * std::sin(1.2 * std::numbers::pi * seconds);
    // At the peak the value reaches 256: it stays at full strength rather than wrapping to nothing.
    return static_cast<BYTE>(std::clamp(static_cast<int>(value), 0, 255));
}

void UxSizableButtonGadget::SetBounds(const owl::TRect& bounds)
{
    TButtonTextGadget::SetBounds(bounds);
    owl::TRect inner;
    GetInnerRect(inner);
    const owl::TSize image = ImageSize();
    imageOrigin = owl::TPoint(inner.left + (inner.Width() - image.cx) / 2, inner.top + (inner.Height() - image.cy) / 2);
}

void UxSizableButtonGadget::GetDesiredSize(owl::TSize& size)
{
    if (!IsVisible()) {
        size = owl::TSize(0, 0);
        return;
    }
    TButtonGadget::GetDesiredSize(size);
    if (Style & sBitmap) {
        const owl::TSize image = ImageSize();
        if (ShrinkWrapWidth) {
            size.cx += image.cx * ScreenDpi(0) / 96;
        }
        if (ShrinkWrapHeight) {
            size.cy += image.cy * ScreenDpi(1) / 96;
        }
    }
    if (Style & sText) {
        const owl::TSize text = TextSize();
        owl::TSize plain;
        TGadget::GetDesiredSize(plain);
        if (LayoutStyle == lTextLeft || LayoutStyle == lTextRight) {
            if (ShrinkWrapWidth) {
                // The layout puts 2 pixels between image and text: without them the text would not fit.
                size.cx += text.cx + ((Style & sBitmap) ? 2 : 0);
            }
            if (ShrinkWrapHeight) {
                size.cy = std::max(size.cy, text.cy + plain.cy);
            }
        } else {
            if (ShrinkWrapWidth) {
                size.cx = std::max(size.cx, text.cx + plain.cx);
            }
            if (ShrinkWrapHeight) {
                size.cy += text.cy;
            }
        }
    }
}

void UxSizableButtonGadget::LayoutRects(owl::TRect& textRect, owl::TRect& imageRect)
{
    owl::TRect inner;
    GetInnerRect(inner);
    const bool text = (Style & sText) != 0;
    const bool image = (Style & sBitmap) != 0;
    textRect = imageRect = inner;
    if (!text || !image) {
        return;
    }
    const owl::TSize t = TextSize();
    const int l = inner.left, tp = inner.top, r = inner.right, b = inner.bottom;
    switch (LayoutStyle) {
    case lTextLeft:
        textRect = owl::TRect(l, tp, l + t.cx, b);
        imageRect = owl::TRect(l + t.cx + 2, tp, r, b);
        break;
    case lTextTop:
        textRect = owl::TRect(l, tp, r, tp + t.cy);
        imageRect = owl::TRect(l, tp + t.cy + 2, r, b + 2);
        break;
    case lTextRight:
        imageRect = owl::TRect(l, tp, l + ImageSize().cx, b);
        textRect = owl::TRect(imageRect.right + 2, tp, r, b);
        break;
    case lTextBottom:
        textRect = owl::TRect(l, b - t.cy, r, b);
        imageRect = owl::TRect(l, tp, r, b - t.cy);
        break;
    }
}

int UxSizableButtonGadget::ThemeState()
{
    if (!GetEnabled()) {
        state = (state | DisabledBit) & ~HotBit;
    } else {
        state &= ~DisabledBit;
    }
    int result = PBS_NORMAL;
    if (state & HotBit) {
        result = PBS_HOT;
    }
    if ((state & PressedBit) || State == Down) {
        result = PBS_PRESSED;
    }
    if (state & DisabledBit) {
        result = PBS_DISABLED;
    }
    return result;
}

void UxSizableButtonGadget::FillInner(owl::TDC& dc, Gdiplus::ARGB color)
{
    Gdiplus::Graphics graphics(dc.GetHandle());
    Gdiplus::SolidBrush brush{Gdiplus::Color(color)};
    graphics.FillRectangle(&brush, Bounds.left + 2, Bounds.top + 2, Bounds.Width() - 4, Bounds.Height() - 4);
}

void UxSizableButtonGadget::PaintThemedBackground(owl::TDC& dc)
{
    const int themeState = ThemeState();
    auto& ux = KVOLinkingUtils::UxThemeDLL::Instance();
    if (Window) {
        ux.DrawThemeParentBackground(Window->GetHandle(), dc, &Bounds);
    }
    ux.DrawThemeBackground(theme, dc, BP_PUSHBUTTON, themeState, &Bounds);
    if (GetEnabled() && (State == Down || (state & PressedBit))) {
        FillInner(dc, PressedWash);
    } else if (highlight & 3) {
        const DWORD tick = GetTickCount();
        const double t = static_cast<double>((tick / 1000) % 60 * 1000 + tick % 1000) / 1000.0;
        FillInner(dc, Gdiplus::Color::MakeARGB(PulseAlpha(t), 200, 240, 255));
    }
}

void UxCustomButtonGadget::PaintThemedBackground(owl::TDC& dc)
{
    const int themeState = ThemeState();
    KVOLinkingUtils::UxThemeDLL::Instance().DrawThemeBackground(theme, dc, BP_PUSHBUTTON, themeState, &Bounds);
    if (GetEnabled() && (State == Down || (state & PressedBit))) {
        FillInner(dc, PressedWash);
    }
}

void UxSizableButtonGadget::PaintText(owl::TDC& dc, const owl::TRect& rect)
{
    HGDIOBJ oldFont = ::SelectObject(dc, FontHandle());
    const int mode = dc.SetBkMode(TRANSPARENT);
    const uint format = 0x8120 | (Align == aCenter ? DT_CENTER : Align == aRight ? DT_RIGHT : 0) | DT_VCENTER;
    owl::TColor oldColor;
    if (GetEnabled()) {
        oldColor = dc.SetTextColor(owl::TColor(GetSysColor(COLOR_BTNTEXT)));
        dc.DrawText(Text, rect, static_cast<owl::uint16>(format));
    } else {
        // Etched: the highlight colour one pixel down and right, the shadow colour over it.
        oldColor = dc.SetTextColor(owl::TColor(GetSysColor(COLOR_3DHIGHLIGHT)));
        dc.DrawText(Text, rect.OffsetBy(1, 1), static_cast<owl::uint16>(format));
        dc.SetTextColor(owl::TColor(GetSysColor(COLOR_3DSHADOW)));
        dc.DrawText(Text, rect, static_cast<owl::uint16>(format));
    }
    dc.SetTextColor(oldColor);
    dc.SetBkMode(mode);
    ::SelectObject(dc, oldFont);
}

Gdiplus::ColorMatrix UxThemeUIFace::DisabledMatrix()
{
    const double toRad = std::numbers::pi / 180.0;
    const auto red = static_cast<Gdiplus::REAL>(std::cos(45 * toRad) * std::cos(38 * toRad) * 0.4);
    const auto green = static_cast<Gdiplus::REAL>(std::sin(45 * toRad) * std::cos(38 * toRad) * 0.4);
    const auto blue = static_cast<Gdiplus::REAL>(std::sin(38 * toRad) * 0.4);
    return Gdiplus::ColorMatrix{{{red, green, blue, 0, 0},
                                 {red, green, blue, 0, 0},
                                 {red, green, blue, 0, 0},
                                 {0, 0, 0, 1, 0},
                                 {0.4f, 0.4f, 0.4f, 0, 1}}};
}

void UxThemeUIFace::Paint(HDC dc, const owl::TPoint& origin, const owl::TRect& clip, TState state) const
{
    if (!image_ || state == Indeterminate) {
        return;
    }
    Gdiplus::ImageAttributes attributes;
    if (image_->GetPixelFormat() != Gdiplus::PixelFormat32bppPARGB) {
        const Gdiplus::ColorMap grey{Gdiplus::Color(0xFFC0C0C0), Gdiplus::Color(0x00000000)};
        attributes.SetRemapTable(1, &grey);
    }
    if (state == Disabled) {
        const Gdiplus::ColorMatrix matrix = DisabledMatrix();
        attributes.SetColorMatrix(&matrix);
    }
    const auto w = static_cast<INT>(image_->GetWidth());
    const auto h = static_cast<INT>(image_->GetHeight());
    Gdiplus::Graphics graphics(dc);
    graphics.SetClip(Gdiplus::Rect(clip.left, clip.top, clip.Width(), clip.Height()));
    graphics.DrawImage(image_, Gdiplus::Rect(origin.x, origin.y, w, h), 0, 0, w, h, Gdiplus::UnitPixel, &attributes);
}

void UxSizableButtonGadget::PaintImage(owl::TDC& dc, const owl::TRect& rect)
{
    Gdiplus::Bitmap* image = State == Down && downImage ? downImage.get() : normalImage.get();
    if (!image) {
        return;
    }
    // The state, with OWL's rules for a down button: a flat window shifts the image of a gadget that asks for it,
    // else draws it down unless this gadget is the one being pressed; otherwise down unless the glyph stays up.
    UxThemeUIFace::TState face = UxThemeUIFace::Normal;
    int shift = 0;
    if (!GetEnabled()) {
        face = UxThemeUIFace::Disabled;
    } else if (State == Indeterminate) {
        face = UxThemeUIFace::Indeterminate;
    } else if (State == Down) {
        if (owl::TGadgetWindow::GetFlatStyle() & owl::TGadgetWindow::FlatStandard) {
            if (ShiftPressedGlyph) {
                shift = 1;
            } else if (!Window || Window->GadgetWithCapture() != this) {
                face = UxThemeUIFace::Down;
            }
        } else if (!PressedGlyphUp) {
            face = UxThemeUIFace::Down;
        }
    }
    const auto w = static_cast<int>(image->GetWidth());
    const auto h = static_cast<int>(image->GetHeight());
    owl::TPoint origin = imageOrigin;
    if ((Style & sText) && (Style & sBitmap)) {
        // Beside a text the image is centred in its own part of the gadget.
        origin = owl::TPoint(rect.left + (rect.Width() - w) / 2, rect.top + (rect.Height() - h) / 2);
    }
    UxThemeUIFace(image).Paint(dc, origin.OffsetBy(shift, shift), rect, face);
}

void UxSizableButtonGadget::Paint(owl::TDC& dc)
{
    if (!IsVisible() || Bounds.IsEmpty()) {
        return;
    }
    // Drawn off screen over what is there, then copied back in one blit.
    const owl::TRect b = Bounds;
    owl::TMemoryDC memory(dc);
    owl::TBitmap canvas(dc, b.Width(), b.Height());
    memory.SelectObject(canvas);
    memory.BitBlt(0, 0, b.Width(), b.Height(), dc, b.left, b.top);
    memory.SetViewportOrg(owl::TPoint(-b.left, -b.top));
    if (theme) {
        PaintThemedBackground(memory);
    } else {
        // The plain face replaces what was there: a window that does not erase would keep an older text under it.
        const RECT face{b.left, b.top, b.right, b.bottom};
        ::FillRect(memory, &face, GetSysColorBrush(COLOR_BTNFACE));
        PaintBorder(memory);
    }
    owl::TRect textRect;
    owl::TRect imageRect;
    LayoutRects(textRect, imageRect);
    if (Style & sText) {
        PaintText(memory, textRect);
    }
    if (Style & sBitmap) {
        PaintImage(memory, imageRect);
    }
    memory.SetViewportOrg(owl::TPoint(0, 0));
    dc.BitBlt(b.left, b.top, b.Width(), b.Height(), memory, 0, 0);
    memory.RestoreBitmap();
}

void UxSizableButtonGadget::Repaint() { Invalidate(false); }

void UxSizableButtonGadget::MouseEnter(owl::uint modKeys, const owl::TPoint& point)
{
    TButtonTextGadget::MouseEnter(modKeys, point);
    if (GetEnabled()) {
        state |= HotBit;
        Repaint();
    }
}

void UxSizableButtonGadget::MouseLeave(owl::uint modKeys, const owl::TPoint& point)
{
    TButtonTextGadget::MouseLeave(modKeys, point);
    state &= ~HotBit;
    Repaint();
}

void UxSizableButtonGadget::LButtonDown(owl::uint modKeys, const owl::TPoint& point)
{
    state = (state & ~HotBit) | PressedBit;
    Repaint();
    TButtonTextGadget::LButtonDown(modKeys, point);
}

void UxSizableButtonGadget::LButtonUp(owl::uint modKeys, const owl::TPoint& point)
{
    state &= ~PressedBit;
    // Released over the gadget, the mouse is still on it.
    if (GetEnabled() && PtIn(point)) {
        state |= HotBit;
    }
    Repaint();
    TButtonTextGadget::LButtonUp(modKeys, point);
}

void UxSizableButtonGadget::CommandEnable()
{
    if (Window && Window->GetHandle()) {
        UxSizableButtonGadgetEnabler enabler(Window->GetHandle(), *this);
        Window->SendMessage(owl::WM_COMMAND_ENABLE, 0, reinterpret_cast<LPARAM>(&enabler));
    }
}

void UxSizableButtonGadget::SetVisualState(owl::uint bits)
{
    if (bits == highlight) {
        return;
    }
    highlight = bits;
    if (bits & 3) {
        highlightStart = GetTickCount();
        StartTimer(100);
    } else {
        StopTimer();
        Repaint();
    }
}

void UxSizableButtonGadget::OnTimer()
{
    Invalidate(false);
    if (Window && Window->GetHandle()) {
        Window->UpdateWindow();
    }
}

UxSizableButtonGadgetEnabler::UxSizableButtonGadgetEnabler(HWND receiver, UxSizableButtonGadget& gadget)
    : TCommandEnabler(static_cast<owl::uint>(gadget.GetId()), receiver), gadget_(gadget)
{
}

void UxSizableButtonGadgetEnabler::Enable(bool enable)
{
    TCommandEnabler::Enable(enable);
    gadget_.SetEnabled(enable);
}

void UxSizableButtonGadgetEnabler::SetText(LPCWSTR text)
{
    Flags |= WasHandled;
    const owl::tstring value = text ? text : u"";
    if (gadget_.IgnoreEnablerText || !(gadget_.GetStyle() & owl::TButtonTextGadget::sText) ||
        value == gadget_.GetText()) {
        return;
    }
    gadget_.SetText(value, true);
}

void UxSizableButtonGadgetEnabler::SetCheck(int check)
{
    Flags |= WasHandled;
    if (gadget_.IgnoreEnablerCheck) {
        return;
    }
    gadget_.SetButtonState(check == Checked         ? owl::TButtonGadget::Down
                           : check == Indeterminate ? owl::TButtonGadget::Indeterminate
                                                    : owl::TButtonGadget::Up);
}

namespace KVO {

UxMenuGadget::UxMenuGadget(HMENU menu, owl::TWindow* receiverWindow, int id, owl::TResId imageResId, TType type)
    : UxCustomButtonGadget(id, imageResId, type), receiver(receiverWindow)
{
    SetShrinkWrap(true, true);
    owl::TMenu source(menu, owl::NoAutoDelete);
    popup = std::make_unique<owl::TPopupMenu>(source);
    WCHAR first[512] = {};
    if (::GetMenuStringW(menu, 0, first, 512, MF_BYPOSITION) > 0) {
        Text = first;
    }
    Align = aCenter;
}

int UxMenuGadget::TrackMenu(UINT flags)
{
    if (!Window || !Window->GetHandle()) {
        return 0;
    }
    owl::TRect screen = Bounds;
    ::MapWindowPoints(Window->GetHandle(), nullptr, reinterpret_cast<POINT*>(&screen), 2);
    TPMPARAMS params{sizeof params, screen};
    lastCommand = ::TrackPopupMenuEx(*popup, flags | TPM_RETURNCMD, screen.left, screen.top, Window->GetHandle(),
                                     &params);
    if (lastCommand && receiver && receiver->GetHandle()) {
        receiver->PostMessage(WM_COMMAND, MAKEWPARAM(lastCommand, 0), 0);
    }
    // The click that closed the menu over the gadget is not to open it again.
    MSG next{};
    if (::PeekMessageW(&next, Window->GetHandle(), WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE) &&
        next.hwnd == Window->GetHandle() &&
        Bounds.Contains(owl::TPoint(GET_X_LPARAM(next.lParam), GET_Y_LPARAM(next.lParam)))) {
        ::PeekMessageW(&next, Window->GetHandle(), WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE);
    }
    return lastCommand;
}

void UxMenuGadget::LButtonDown(owl::uint modKeys, const owl::TPoint& point)
{
    UxCustomButtonGadget::LButtonDown(modKeys, point);
    if (!menuAllowed) {
        return;
    }
    TrackMenu(TPM_VERTICAL);
    // The menu took the button's release: the gadget is up again.
    Pressed = false;
    state &= ~PressedBit;
    if (Window) {
        Window->GadgetReleaseCapture(*this);
    }
    Repaint();
}

void UxMenuGadget::LButtonUp(owl::uint modKeys, const owl::TPoint& point)
{
    if (menuAllowed) {
        Pressed = false; // released as a button; the menu gave the command
    }
    UxCustomButtonGadget::LButtonUp(modKeys, point);
}

void UxMenuGadget::RButtonDown(owl::uint, const owl::TPoint&)
{
    if (menuAllowed) {
        TrackMenu(0);
    }
}

UxButtonMenuGadget::UxButtonMenuGadget(owl::TWindow* receiverWindow, HMENU menu, LPCWSTR text, int id,
                                       owl::TResId imageResId, TType type)
    : UxMenuGadget(menu, receiverWindow, id, imageResId, type)
{
    SetShrinkWrap(false, true);
    Style = ImageSize().cx > 0 ? sBitmapText : sText;
    LayoutStyle = lTextRight;
    if (text) {
        SetButtonText(text);
    }
}

void UxButtonMenuGadget::SetButtonText(LPCWSTR text)
{
    const owl::tstring value = text ? text : u"";
    if (popup->GetMenuItemCount() > 0 && !popup->GetSubMenu(0)) {
        popup->ModifyMenu(0, MF_BYPOSITION | MF_STRING, popup->GetMenuItemID(0), value.c_str());
    }
    Text = value;
    Invalidate();
}
}
