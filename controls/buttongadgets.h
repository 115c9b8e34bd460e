// Theme-aware button gadgets: image-and-text buttons drawn with the system theme and a flicker-free paint, a blue
// wash while pressed, a disabled look made from the image itself, sizes that follow the screen DPI, and an
// optional pulsing highlight. The menu gadgets drop a popup menu.
#pragma once

#include "controls/gdiplusbitmaps.h"
#include "platform/owl/gadget.h"
#include "platform/owl/menu.h"
#include "platform/win/uxtheme.h"

#include <memory>

// Draws a gadget's image in a state: as it is (normal, down, default), through the grey-blue colour matrix
// (disabled), or not at all (indeterminate). Images that are not premultiplied ARGB have light grey keyed out.
class UxThemeUIFace {
public:
    enum TState { Normal, Down, Indeterminate, Disabled, Default };
    explicit UxThemeUIFace(Gdiplus::Bitmap* image) : image_(image) {}
    void Paint(HDC dc, const owl::TPoint& origin, const owl::TRect& clip, TState state) const;
    // Each colour channel becomes (R + G + B) x w + 0.4: w = cos 45 cos 38 x 0.4 for red and green, sin 38 x 0.4
    // for blue; alpha is kept.
    static Gdiplus::ColorMatrix DisabledMatrix();

private:
    Gdiplus::Bitmap* image_;
};

class UxSizableButtonGadget : public owl::TButtonTextGadget, public KVO::LowPriorityTimer {
public:
    enum StateBit : owl::uint { PressedBit = 1, HotBit = 2, DisabledBit = 8 };
    enum Look { PushButtonLook = 1, ToolbarLook = 2 };
    enum ImageSlot { NormalImage = 0, DownImage = 1 };
    // The wash over a pressed or down button (ARGB).
    static constexpr Gdiplus::ARGB PressedWash = 0x14007ED2;

    // The image is the module's "PNG" resource of `imageResId` (else its bitmap resource), loaded on first use.
    // With no characters the gadget is also as wide as its window allows.
    UxSizableButtonGadget(int id, owl::TResId imageResId, TType type = Command, owl::uint numChars = 4);
    // The image given becomes the normal image (owned).
    UxSizableButtonGadget(int id, Gdiplus::Bitmap* image, int look, TType type = Command);
    ~UxSizableButtonGadget() override;

    static const char* ClassNameText() { return "UxSizableButtonGadget"; }

    // Replaces an image (NormalImage or DownImage) and hands the previous one back to the caller.
    Gdiplus::Bitmap* SetImage(int which, Gdiplus::Bitmap* image);
    Gdiplus::Bitmap* GetImage(int which) const { return which == DownImage ? downImage.get() : normalImage.get(); }
    // The normal image's size (loading it on first use); (0, 0) without one.
    owl::TSize ImageSize();
    const owl::TPoint& ImageOrigin() const { return imageOrigin; }

    // Bits 1 or 2 start the pulsing highlight (a 100 ms timer); 0 stops it and repaints.
    void SetVisualState(owl::uint bits);
    owl::uint GetVisualState() const { return highlight; }
    owl::uint GetStateBits() const { return state; }
    // The theme state the background is drawn in: 1 normal, 2 hot, 3 pressed or down, 4 disabled.
    int ThemeState();
    HTHEME Theme() const { return theme; }
    int GetLook() const { return look; }

    // The highlight's alpha at t seconds into the minute (at most 255).
    static BYTE PulseAlpha(double seconds);
    // The screen DPI is read once; tests forget it to read it again.
    static void ResetScreenDpi();

    // Enablers that come with a text or a check state may be ignored.
    bool IgnoreEnablerText = false;
    bool IgnoreEnablerCheck = false;

    void SetBounds(const owl::TRect& bounds) override;
    void GetDesiredSize(owl::TSize& size) override;
    void Paint(owl::TDC& dc) override;
    void MouseEnter(owl::uint modKeys, const owl::TPoint& point) override;
    void MouseLeave(owl::uint modKeys, const owl::TPoint& point) override;
    void LButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void LButtonUp(owl::uint modKeys, const owl::TPoint& point) override;
    void CommandEnable() override;
    void SysColorChange() override;
    void Created() override;
    void OnTimer() override;

    // The text and image rectangles inside the inner rectangle.
    void LayoutRects(owl::TRect& textRect, owl::TRect& imageRect);

protected:
    owl::TSize GlyphSize() override { return owl::TSize(0, 0); } // the image is not OWL's glyph
    virtual void PaintThemedBackground(owl::TDC& dc);
    void PaintText(owl::TDC& dc, const owl::TRect& rect);
    void PaintImage(owl::TDC& dc, const owl::TRect& rect);
    void FillInner(owl::TDC& dc, Gdiplus::ARGB color);
    void OpenTheme(HWND window);
    void CloseTheme();
    void Repaint();

    HTHEME theme = nullptr;
    owl::uint state = 0;
    int look = PushButtonLook;
    std::unique_ptr<Gdiplus::Bitmap> normalImage;
    std::unique_ptr<Gdiplus::Bitmap> downImage;
    owl::TSize imageSize;
    owl::uint highlight = 0;
    DWORD highlightStart = 0;
    owl::TPoint imageOrigin;
};

// The same button without the parent's background and without the pulse.
class UxCustomButtonGadget : public UxSizableButtonGadget {
public:
    using UxSizableButtonGadget::UxSizableButtonGadget;
    static const char* ClassNameText() { return "UxCustomButtonGadget"; }

protected:
    void PaintThemedBackground(owl::TDC& dc) override;
};

// Binds a command enabler to one gadget.
class UxSizableButtonGadgetEnabler : public owl::TCommandEnabler {
public:
    UxSizableButtonGadgetEnabler(HWND receiver, UxSizableButtonGadget& gadget);
    void Enable(bool enable = true) override;
    void SetText(LPCWSTR text) override;
    void SetCheck(int check) override;

private:
    UxSizableButtonGadget& gadget_;
};

namespace KVO {

// A button gadget that drops a popup menu (a copy of the one given) under itself; the chosen command goes to the
// receiving window.
class UxMenuGadget : public UxCustomButtonGadget {
public:
    UxMenuGadget(HMENU menu, owl::TWindow* receiver, int id, owl::TResId imageResId, TType type = Command);
    static const char* ClassNameText() { return "UxMenuGadget"; }

    void LButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void LButtonUp(owl::uint modKeys, const owl::TPoint& point) override;
    void RButtonDown(owl::uint modKeys, const owl::TPoint& point) override;

    void AllowMenu(bool allow) { menuAllowed = allow; }
    int LastCommand() const { return lastCommand; }
    owl::TPopupMenu& Menu() { return *popup; }

protected:
    // Tracks the menu; `vertical` keeps it clear of the gadget. Returns the chosen command (0: none).
    int TrackMenu(UINT flags);

    std::unique_ptr<owl::TPopupMenu> popup;
    owl::TWindow* receiver;
    int lastCommand = 0;
    bool menuAllowed = true;
};

// A menu gadget that shows a text of its own; its width stays as set.
class UxButtonMenuGadget : public UxMenuGadget {
public:
    UxButtonMenuGadget(owl::TWindow* receiver, HMENU menu, LPCWSTR text, int id, owl::TResId imageResId,
                       TType type = Command);
    static const char* ClassNameText() { return "UxButtonMenuGadget"; }
    // Replaces the text (and the first menu item's) and repaints.
    void SetButtonText(LPCWSTR text);
};
}
