// The balloon help window: a rounded body with a pointed tail whose tip sits on an anchor point, a bold title with
// an optional icon, a content text, an optional close button and link line, and a choice of closing rules. It is a
// plain window class of its own (not an OWL window) and draws with the tooltip theme where themes are in use.
#pragma once

#include "platform/win/commctrl.h"
#include "platform/win/uxtheme.h"

#include <functional>
#include <string>

namespace WTL {

// Where a balloon goes for an anchor: pure geometry, so that it can be checked on its own.
struct BalloonPlacement {
    int quadrant = 0;   // 0 upper right, 1 upper left, 2 lower left, 3 lower right (tail up in 0 and 1)
    POINT tail[3]{};    // base start, base end, tip; window coordinates
    RECT window{};      // screen rectangle
};
// `size` is the whole window (content plus margins and tail); `moveTipWithWindow` is option 0x10000.
BalloonPlacement PlaceBalloon(POINT anchor, const RECT& workArea, SIZE size, int margin, int tailHeight,
                              bool moveTipWithWindow);
// The quadrant of a point in a work area; a point on a middle line counts as lower, respectively right.
int BalloonQuadrant(POINT anchor, const RECT& workArea);

class CBalloonHelp {
public:
    enum Option : unsigned {
        ShowCloseButton = 0x1,
        ShowInnerShadow = 0x2,
        ShowTopmost = 0x4,
        CloseOnLButtonDown = 0x8,
        CloseOnMButtonDown = 0x10,
        CloseOnRButtonDown = 0x20,
        CloseOnMouseMove = 0x200,
        CloseOnDeactivate = 0x800,
        DeleteThisOnClose = 0x1000,
        DisableFadeIn = 0x2000,
        DisableFadeOut = 0x4000,
        DoNotShow = 0x8000,
        MoveTailWithWindow = 0x10000,
        KeepOpenOverWindow = 0x20000,
        ClickableLink = 0x40000,
        KeepOpenOverRect = 0x80000,
    };
    static constexpr unsigned kDefaultLayout = 0x2111;

    CBalloonHelp();
    virtual ~CBalloonHelp();
    CBalloonHelp(const CBalloonHelp&) = delete;
    CBalloonHelp& operator=(const CBalloonHelp&) = delete;

    // The message handler; answers through `result` and returns whether it handled the message.
    virtual bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Called after the window's last message; deletes the object with option 0x1000.
    virtual void OnFinalMessage(HWND hwnd);
    // Creates (or, when the window exists, retitles) the balloon, lays it out, captures the mouse and, unless
    // option 0x8000, shows it. `anchor` may be null (then SetAnchorWindowCentre or an earlier anchor holds).
    virtual bool Create(HWND parent, const std::u16string& title, const std::u16string& content,
                        const POINT* anchor, unsigned options, const std::u16string& url = {}, unsigned timeoutMs = 0,
                        unsigned layoutFlags = kDefaultLayout);
    // Size of the title line, content and link together.
    virtual SIZE ContentSize(HDC hdc);
    // Whether a screen point keeps the balloon open (options 0x20000, 0x80000, else the cursor's square).
    virtual bool InKeepOpenArea(POINT screen) const;

    void SetAnchorWindowCentre(HWND window);
    void SetAnchorPoint(POINT point, HWND anchorWindow = nullptr);
    void SetIcon(LPCWSTR systemIcon);
    void SetIconBitmap(HBITMAP bitmap, COLORREF mask);
    void SetLink(const std::u16string& text, std::function<void()> onClick);
    void SetMouseTolerance(int pixels) { mouseTolerance = pixels; }
    void SetKeepOpenRect(const RECT& screen) { keepOpenRect = screen; }
    void SetMinWidth(int width) { minWidth = width; }
    void Close();

    HWND GetHandle() const { return hwnd; }
    int Margin() const { return margin; }
    int TailHeight() const { return tailHeight; }
    int Quadrant() const { return quadrant; }
    const POINT* Tail() const { return tail; }
    bool HasIcon() const { return icon != nullptr; }
    SIZE IconSize() const
    {
        int cx = 0;
        int cy = 0;
        ImageList_GetIconSize(icon, &cx, &cy);
        return SIZE{cx, cy};
    }
    bool IsThemed() const { return themed; }
    unsigned Options() const { return options; }
    POINT AnchorPoint() const;

    static constexpr LPCWSTR kClassName = u"CrestmetricsBalloonHelp";

protected:
    // Theme data of one class, opened while themes are in use; failures throw XKVO.
    class ThemeData {
    public:
        explicit ThemeData(LPCWSTR classList) : className(classList) {}
        ~ThemeData();
        void Open(HWND window);
        void Close();
        HTHEME Handle() const { return theme; }

    private:
        std::u16string className;
        HTHEME theme = nullptr;
    };

    HWND hwnd = nullptr;
    int margin;
    int tailHeight;
    int animationMs = 200;
    unsigned options = 0;
    unsigned timeoutMs = 0;
    int mouseTolerance = 3;
    HFONT titleFont = nullptr;
    HFONT contentFont = nullptr;
    DWORD foreground = 0x80000017; // OLE colours: the system's info text and info background
    DWORD background = 0x80000018;
    std::u16string content;
    std::u16string linkText;
    std::u16string url;
    POINT anchorOffset{};
    HWND anchorWindow = nullptr;
    HIMAGELIST icon = nullptr;
    POINT cursorAtShow{};
    UINT closeState = DFCS_FLAT;
    HRGN region = nullptr;
    unsigned layoutFlags = kDefaultLayout;
    RECT linkRect{};
    std::function<void()> onLink;
    ThemeData tooltipTheme{u"TOOLTIP"};
    ThemeData textTheme{u"TEXTSTYLE"};
    int closeWidth = 14;
    int closeHeight = 14;
    RECT keepOpenRect{};
    int minWidth = 0;
    bool themed = false;      // theme data open and in use
    bool themeBroken = false; // a theme call failed: plain look until the theme changes
    int quadrant = 0;
    POINT tail[3]{};
    SIZE stemSize{21, 21};
    RECT workArea{};
    bool workAreaKnown = false;

private:
    static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OpenThemes();
    void DropThemes();
    // Runs a step that may call the theme; a failing theme call falls back to the plain look and runs it again.
    template <class Step>
    void WithThemeFallback(Step&& step);
    void Layout();
    void DoLayout();
    void Show();
    void PaintFrame(HDC hdc);
    void PaintClient(HDC hdc);
    void DrawCloseButton(HDC hdc, UINT state);
    RECT CloseButtonRect() const;
    bool OverCloseButton(POINT client) const;
    void TrackCloseButton(POINT client);
    std::u16string Title() const;
    COLORREF Foreground() const;
    COLORREF Background() const;
    HRGN BuildRegion(SIZE size);
};

} // namespace WTL
