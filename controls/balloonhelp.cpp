#include "controls/balloonhelp.h"

#include "foundation/dialogfont.h"
#include "foundation/linkingutils.h"
#include "foundation/utilities.h"
#include "foundation/xkvo.h"
#include "platform/win/shellapi.h"

#include <algorithm>
#include <cmath>

namespace WTL {
namespace {

// The theme's stem state for each quadrant of the balloon around its anchor.
constexpr int kStemState[4] = {3, 1, 6, 4};
constexpr int kLinkGap = 2;
constexpr UINT kCloseTimer = 1;
constexpr UINT kHotTimer = 2;
constexpr UINT kPressed = DFCS_PUSHED; // in the close button's state: pressed, and the balloon has the capture
constexpr UINT kRelayout = WM_APP + 0x122;

[[noreturn]] void ThemeFailure(const char16_t* text)
{
    throw XKVO(KVO::String(text), KVO::Errors::kBadStorage);
}

void Check(HRESULT hr, const char16_t* text)
{
    if (FAILED(hr)) {
        ThemeFailure(text);
    }
}

bool ThemesInUse()
{
    return KVO::IsWindowsVistaOrLater() && IsThemeActive();
}

COLORREF FromOleColour(DWORD colour)
{
    return (colour & 0x80000000u) ? GetSysColor(static_cast<int>(colour & 0xFF)) : colour;
}

int Scaled(double pixels)
{
    const KVO::DpiPair dpi = KVO::GetWindowDpi(nullptr);
    const double scale = std::max(dpi.x / 96.0, dpi.y / 96.0);
    return static_cast<int>(std::ceil(pixels * scale - 1e-9));
}

UINT TextAlignment(unsigned layoutFlags, unsigned centred, unsigned right)
{
    return (layoutFlags & centred) ? DT_CENTER : (layoutFlags & right) ? DT_RIGHT : DT_LEFT;
}

// A window's DC, released when the step that needed it ends (also when a theme call throws).
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() { ReleaseDC(window_, dc_); }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    operator HDC() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

SIZE MeasureText(HDC hdc, HFONT font, const std::u16string& text, UINT flags)
{
    if (text.empty()) {
        return SIZE{0, 0};
    }
    HGDIOBJ old = SelectObject(hdc, font);
    RECT r{0, 0, 0, 0};
    DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &r, flags | DT_CALCRECT);
    SelectObject(hdc, old);
    return SIZE{r.right - r.left, r.bottom - r.top};
}
}

int BalloonQuadrant(POINT anchor, const RECT& work)
{
    const int middleX = (work.left + work.right) / 2;
    const int middleY = (work.top + work.bottom) / 2;
    const bool right = anchor.x >= middleX;
    if (anchor.y < middleY) {
        return right ? 0 : 1;
    }
    return right ? 3 : 2;
}

BalloonPlacement PlaceBalloon(POINT anchor, const RECT& work, SIZE size, int margin, int t, bool moveTipWithWindow)
{
    BalloonPlacement p;
    p.quadrant = BalloonQuadrant(anchor, work);
    const int W = size.cx;
    const int H = size.cy;
    const int q = (W - t) / 4;
    switch (p.quadrant) {
    case 0:
        p.tail[0] = {3 * q, t + 1};
        p.tail[1] = {3 * q + t, t + 1};
        p.tail[2] = {3 * q + t, 1};
        break;
    case 1:
        p.tail[0] = {q + t, t + 1};
        p.tail[1] = {q, t + 1};
        p.tail[2] = {q, 1};
        break;
    case 2:
        p.tail[0] = {q + t, H - t - 2};
        p.tail[1] = {q, H - t - 2};
        p.tail[2] = {q, H - 2};
        break;
    default:
        p.tail[0] = {3 * q, H - t - 2};
        p.tail[1] = {3 * q + t, H - t - 2};
        p.tail[2] = {3 * q + t, H - 2};
        break;
    }
    for (POINT& point : p.tail) {
        point.x = std::clamp<LONG>(point.x, margin, std::max(margin, W - margin));
    }
    int x = anchor.x - p.tail[2].x;
    int y = anchor.y - p.tail[2].y;
    int dx = 0;
    if (x < work.left) {
        dx = work.left - x;
    } else if (x + W >= work.right) {
        dx = work.right - x - W;
    }
    int dy = 0;
    if (y + t < work.top) {
        dy = work.top - y - t;
    } else if (y - t + H >= work.bottom) {
        dy = work.bottom + t - y - H;
    }
    x += dx;
    y += dy;
    // The body moved: the base start follows the anchor back, and so does the tip unless it moves with the body.
    p.tail[0].x -= dx;
    if (!moveTipWithWindow) {
        p.tail[2].x -= dx;
    }
    p.window = RECT{x, y, x + W, y + H};
    return p;
}

CBalloonHelp::ThemeData::~ThemeData()
{
    if (theme) {
        KVOLinkingUtils::UxThemeDLL::Instance().CloseThemeData(theme);
    }
}

void CBalloonHelp::ThemeData::Open(HWND window)
{
    Close();
    theme = KVOLinkingUtils::UxThemeDLL::Instance().OpenThemeData(window, className.c_str());
    if (!theme) {
        ThemeFailure((u"Could not open theme data for the given class: " + className).c_str());
    }
}

void CBalloonHelp::ThemeData::Close()
{
    if (!theme) {
        return;
    }
    const HRESULT hr = KVOLinkingUtils::UxThemeDLL::Instance().CloseThemeData(theme);
    theme = nullptr;
    if (FAILED(hr)) {
        ThemeFailure(u"Failed to close theme data.");
    }
}

CBalloonHelp::CBalloonHelp() : margin(Scaled(8)), tailHeight(Scaled(20))
{
    contentFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

CBalloonHelp::~CBalloonHelp()
{
    if (hwnd && IsWindow(hwnd)) {
        // Destroyed by its owner: the final message must not delete the object a second time.
        options &= ~DeleteThisOnClose;
        HWND window = hwnd;
        hwnd = nullptr;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
    if (icon) {
        ImageList_Destroy(icon);
    }
    if (titleFont) {
        DeleteObject(titleFont);
    }
    if (region) {
        DeleteObject(region);
    }
    try {
        tooltipTheme.Close();
        textTheme.Close();
    } catch (const XKVO&) {
        // Nothing more can be done about a handle that does not close.
    }
}

COLORREF CBalloonHelp::Foreground() const { return FromOleColour(foreground); }
COLORREF CBalloonHelp::Background() const { return FromOleColour(background); }

POINT CBalloonHelp::AnchorPoint() const
{
    POINT p = anchorOffset;
    RECT r;
    if (anchorWindow && GetWindowRect(anchorWindow, &r)) {
        p.x += r.left;
        p.y += r.top;
    }
    return p;
}

void CBalloonHelp::SetAnchorWindowCentre(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    anchorOffset = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    anchorWindow = nullptr;
}

void CBalloonHelp::SetAnchorPoint(POINT point, HWND window)
{
    anchorOffset = point;
    anchorWindow = window;
}

void CBalloonHelp::SetIcon(LPCWSTR systemIcon)
{
    if (icon) {
        ImageList_Destroy(icon);
        icon = nullptr;
    }
    auto* loaded = static_cast<HICON>(LoadImageW(nullptr, systemIcon, IMAGE_ICON, 16, 16, LR_SHARED));
    if (loaded) {
        // Drawn large and shrunk with half-tones, so that the small icon stays smooth at any DPI.
        const KVO::DpiPair dpi = KVO::GetWindowDpi(hwnd);
        const int cx = static_cast<int>(16 * dpi.x / 96);
        const int cy = static_cast<int>(16 * dpi.y / 96);
        HDC screen = GetDC(nullptr);
        HDC large = CreateCompatibleDC(screen);
        HDC small = CreateCompatibleDC(screen);
        HBITMAP largeBitmap = CreateCompatibleBitmap(screen, 32, 32);
        HBITMAP smallBitmap = CreateCompatibleBitmap(screen, cx, cy);
        HGDIOBJ oldLarge = SelectObject(large, largeBitmap);
        HGDIOBJ oldSmall = SelectObject(small, smallBitmap);
        HBRUSH fill = CreateSolidBrush(Background());
        RECT all{0, 0, 32, 32};
        FillRect(large, &all, fill);
        DeleteObject(fill);
        DrawIconEx(large, 0, 0, loaded, 32, 32, 0, nullptr, DI_NORMAL);
        SetStretchBltMode(small, HALFTONE);
        StretchBlt(small, 0, 0, cx, cy, large, 0, 0, 32, 32, SRCCOPY);
        SelectObject(large, oldLarge);
        SelectObject(small, oldSmall);
        DeleteDC(large);
        DeleteDC(small);
        ReleaseDC(nullptr, screen);
        DeleteObject(largeBitmap);
        SetIconBitmap(smallBitmap, Background());
        DeleteObject(smallBitmap);
    }
    Layout();
}

void CBalloonHelp::SetIconBitmap(HBITMAP bitmap, COLORREF mask)
{
    if (icon) {
        ImageList_Destroy(icon);
        icon = nullptr;
    }
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) {
        return;
    }
    icon = ImageList_Create(info.bmWidth, info.bmHeight, ILC_COLOR32 | ILC_MASK, 1, 0);
    if (icon && ImageList_AddMasked(icon, bitmap, mask) < 0) {
        ImageList_Destroy(icon);
        icon = nullptr;
    }
    Layout();
}

void CBalloonHelp::SetLink(const std::u16string& text, std::function<void()> onClick)
{
    linkText = text;
    onLink = std::move(onClick);
    Layout();
}

bool CBalloonHelp::Create(HWND parent, const std::u16string& title, const std::u16string& text, const POINT* anchor,
                          unsigned newOptions, const std::u16string& newUrl, unsigned timeout, unsigned layout)
{
    content = text;
    options = newOptions;
    url = newUrl;
    timeoutMs = timeout;
    layoutFlags = layout;
    if (anchor) {
        SetAnchorPoint(*anchor);
    }
    if (!titleFont) {
        LOGFONTW log{};
        GetObjectW(contentFont, sizeof log, &log);
        log.lfWeight = FW_BOLD;
        titleFont = CreateFontIndirectW(&log);
    }
    if (!hwnd) {
        WNDCLASSW wc{};
        if (!GetClassInfoW(nullptr, kClassName, &wc)) {
            wc.style = CS_DBLCLKS | CS_SAVEBITS;
            wc.lpfnWndProc = &CBalloonHelp::WindowProc;
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.lpszClassName = kClassName;
            RegisterClassW(&wc);
        }
        const DWORD exStyle = WS_EX_TOOLWINDOW | ((options & ShowTopmost) ? WS_EX_TOPMOST : 0);
        if (!CreateWindowExW(exStyle, kClassName, title.c_str(), WS_POPUP, 0, 0, 10, 10, parent, nullptr, nullptr,
                             this)) {
            return false;
        }
    } else {
        SetWindowTextW(hwnd, title.c_str());
    }
    OpenThemes();
    Layout();
    GetCursorPos(&cursorAtShow);
    SetCapture(hwnd);
    if (timeoutMs) {
        SetTimer(hwnd, kCloseTimer, timeoutMs, nullptr);
    }
    if (!(options & DoNotShow)) {
        Show();
        UpdateWindow(hwnd);
    }
    return true;
}

void CBalloonHelp::OpenThemes()
{
    WithThemeFallback([&] {
        tooltipTheme.Close();
        textTheme.Close();
        themed = false;
        if (hwnd && !themeBroken && ThemesInUse()) {
            tooltipTheme.Open(hwnd);
            textTheme.Open(hwnd);
            themed = true;
        }
    });
}

void CBalloonHelp::DropThemes()
{
    themed = false;
    themeBroken = true;
    try {
        tooltipTheme.Close();
    } catch (const XKVO&) {
    }
    try {
        textTheme.Close();
    } catch (const XKVO&) {
    }
}

template <class Step>
void CBalloonHelp::WithThemeFallback(Step&& step)
{
    try {
        step();
    } catch (const XKVO&) {
        // The theme let us down: the balloon goes on in its plain look.
        DropThemes();
        step();
    }
}

void CBalloonHelp::Layout()
{
    if (!hwnd) {
        return;
    }
    WithThemeFallback([&] { DoLayout(); });
}

std::u16string CBalloonHelp::Title() const
{
    std::u16string title(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)), u'\0');
    if (!title.empty()) {
        GetWindowTextW(hwnd, title.data(), static_cast<int>(title.size()) + 1);
    }
    return title;
}

SIZE CBalloonHelp::ContentSize(HDC hdc)
{
    const SIZE iconSize = icon ? IconSize() : SIZE{0, 0};
    const int iconWidth = iconSize.cx;
    const int iconHeight = iconSize.cy;
    const std::u16string title = Title();
    const SIZE titleSize = MeasureText(hdc, titleFont, title, DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS);
    int lineWidth = titleSize.cx;
    int lineHeight = titleSize.cy;
    if (icon) {
        lineWidth += iconWidth + (titleSize.cx ? margin : 0);
        lineHeight = std::max(lineHeight, iconHeight);
    }
    if (options & ShowCloseButton) {
        lineWidth += closeWidth + (lineWidth ? margin : 0);
        lineHeight = std::max(lineHeight, closeHeight);
    }
    SIZE textSize{0, 0};
    if (!content.empty()) {
        if (themed) {
            RECT extent{};
            Check(KVOLinkingUtils::UxThemeDLL::Instance().GetThemeTextExtent(
                      textTheme.Handle(), hdc, TEXT_BODYTEXT, 0, content.c_str(), static_cast<int>(content.size()),
                      DT_NOPREFIX | DT_EXPANDTABS, nullptr, &extent),
                  u"Error calling UxThemeDLL::GetThemeTextExtent().");
            textSize = SIZE{extent.right - extent.left, extent.bottom - extent.top};
        } else {
            textSize = MeasureText(hdc, contentFont, content, DT_NOPREFIX | DT_EXPANDTABS);
        }
    }
    const SIZE linkSize = MeasureText(hdc, contentFont, linkText, DT_SINGLELINE | DT_NOPREFIX);
    SIZE total{std::max({lineWidth, static_cast<int>(textSize.cx), static_cast<int>(linkSize.cx), minWidth}),
               lineHeight};
    if (textSize.cy) {
        total.cy += (total.cy ? margin : 0) + textSize.cy;
    }
    if (linkSize.cy) {
        total.cy += (total.cy ? margin : 0) + linkSize.cy + kLinkGap;
    }
    return total;
}

void CBalloonHelp::DoLayout()
{
    const SIZE inner = ContentSize(WindowDC(hwnd));
    const SIZE size{inner.cx + 2 * margin, inner.cy + tailHeight + 2 * margin};
    const POINT anchor = AnchorPoint();
    if (!workAreaKnown) {
        MONITORINFO info{sizeof(MONITORINFO), {}, {}, 0};
        GetMonitorInfoW(MonitorFromPoint(anchor, MONITOR_DEFAULTTONEAREST), &info);
        workArea = info.rcWork;
        workAreaKnown = true;
    }
    const BalloonPlacement place =
        PlaceBalloon(anchor, workArea, size, margin, tailHeight, (options & MoveTailWithWindow) != 0);
    quadrant = place.quadrant;
    std::copy(std::begin(place.tail), std::end(place.tail), tail);
    MoveWindow(hwnd, place.window.left, place.window.top, size.cx, size.cy, TRUE);
    if (IsRectEmpty(&keepOpenRect)) {
        keepOpenRect = place.window;
    }
    HRGN shape = BuildRegion(size);
    if (region) {
        DeleteObject(region);
    }
    region = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(region, shape, nullptr, RGN_COPY);
    SetWindowRgn(hwnd, shape, TRUE); // the window owns `shape` now
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

HRGN CBalloonHelp::BuildRegion(SIZE size)
{
    const bool up = quadrant < 2;
    const RECT body{0, up ? tailHeight : 0, size.cx, up ? size.cy : size.cy - tailHeight};
    if (themed) {
        auto& theme = KVOLinkingUtils::UxThemeDLL::Instance();
        HDC hdc = GetDC(hwnd);
        HRGN bodyRegion = nullptr;
        HRESULT hr = theme.GetThemeBackgroundRegion(tooltipTheme.Handle(), hdc, TTP_BALLOON, 1, &body, &bodyRegion);
        if (FAILED(hr)) {
            ReleaseDC(hwnd, hdc);
            ThemeFailure(u"Error calling UxThemeDLL::GetThemeBackgroundRegion().");
        }
        SIZE stem{};
        stemSize = SUCCEEDED(theme.GetThemePartSize(tooltipTheme.Handle(), hdc, TTP_BALLOONSTEM, kStemState[quadrant],
                                                    TS_TRUE, &stem))
                       ? stem
                       : SIZE{21, 21};
        const int left = (quadrant == 0 || quadrant == 3) ? tail[2].x - stemSize.cx : tail[2].x;
        const int top = up ? 0 : size.cy - stemSize.cy;
        const RECT stemRect{left, top, left + stemSize.cx, top + stemSize.cy};
        HRGN stemRegion = nullptr;
        hr = theme.GetThemeBackgroundRegion(tooltipTheme.Handle(), hdc, TTP_BALLOONSTEM, kStemState[quadrant],
                                            &stemRect, &stemRegion);
        ReleaseDC(hwnd, hdc);
        if (FAILED(hr)) {
            DeleteObject(bodyRegion);
            ThemeFailure(u"Error calling UxThemeDLL::GetThemeBackgroundRegion().");
        }
        CombineRgn(bodyRegion, bodyRegion, stemRegion, RGN_OR);
        DeleteObject(stemRegion);
        return bodyRegion;
    }
    HRGN shape = CreateRoundRectRgn(body.left, body.top, body.right, body.bottom, 3 * margin, 3 * margin);
    HRGN triangle = CreatePolygonRgn(tail, 3, ALTERNATE);
    CombineRgn(shape, shape, triangle, RGN_OR);
    DeleteObject(triangle);
    return shape;
}

void CBalloonHelp::Show()
{
    BOOL animation = FALSE;
    BOOL fade = FALSE;
    SystemParametersInfoW(SPI_GETTOOLTIPANIMATION, 0, &animation, 0);
    SystemParametersInfoW(SPI_GETTOOLTIPFADE, 0, &fade, 0);
    if (!(options & DisableFadeIn) && animation && fade && AnimateWindow(hwnd, animationMs, AW_BLEND)) {
        return;
    }
    ShowWindow(hwnd, SW_SHOWNA);
}

void CBalloonHelp::Close()
{
    if (!hwnd || !IsWindow(hwnd)) {
        return;
    }
    BOOL animation = FALSE;
    BOOL fade = FALSE;
    SystemParametersInfoW(SPI_GETTOOLTIPANIMATION, 0, &animation, 0);
    SystemParametersInfoW(SPI_GETTOOLTIPFADE, 0, &fade, 0);
    if (!(options & DisableFadeOut) && animation && fade) {
        AnimateWindow(hwnd, animationMs, AW_BLEND | AW_HIDE);
    }
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

bool CBalloonHelp::InKeepOpenArea(POINT p) const
{
    // With both options the cursor may travel from the given rectangle (an error mark) onto the balloon, whose
    // link it is to click.
    const bool inRect = (options & KeepOpenOverRect) && !IsRectEmpty(&keepOpenRect) && PtInRect(&keepOpenRect, p);
    if ((options & KeepOpenOverRect) && !(options & KeepOpenOverWindow)) {
        return inRect;
    }
    if (inRect) {
        return true;
    }
    if (options & KeepOpenOverWindow) {
        RECT area{};
        GetWindowRect(hwnd, &area);
        InflateRect(&area, mouseTolerance, mouseTolerance);
        area.left = std::min(area.left, cursorAtShow.x);
        area.top = std::min(area.top, cursorAtShow.y);
        area.right = std::max(area.right, cursorAtShow.x + 1);
        area.bottom = std::max(area.bottom, cursorAtShow.y + 1);
        return PtInRect(&area, p);
    }
    return std::abs(p.x - cursorAtShow.x) <= mouseTolerance && std::abs(p.y - cursorAtShow.y) <= mouseTolerance;
}

RECT CBalloonHelp::CloseButtonRect() const
{
    RECT client{};
    GetClientRect(hwnd, &client);
    // Where the title line puts it: the left end with layout flag 0x1000, else the right end.
    const int left = (layoutFlags & 0x1000) ? client.left : client.right - closeWidth;
    return RECT{left, client.top, left + closeWidth, client.top + closeHeight};
}

bool CBalloonHelp::OverCloseButton(POINT client) const
{
    const RECT r = CloseButtonRect();
    return (options & ShowCloseButton) && PtInRect(&r, client);
}

void CBalloonHelp::DrawCloseButton(HDC hdc, UINT state)
{
    RECT r = CloseButtonRect();
    DrawFrameControl(hdc, &r, DFC_CAPTION, DFCS_CAPTIONCLOSE | state);
}

void CBalloonHelp::TrackCloseButton(POINT client)
{
    UINT state = DFCS_FLAT;
    if (OverCloseButton(client)) {
        state = (closeState & kPressed) ? (DFCS_HOT | kPressed) : DFCS_HOT;
        SetTimer(hwnd, kHotTimer, 100, nullptr);
    }
    if (state != closeState) {
        closeState = state;
        HDC hdc = GetDC(hwnd);
        DrawCloseButton(hdc, closeState);
        ReleaseDC(hwnd, hdc);
    }
}

void CBalloonHelp::PaintFrame(HDC hdc)
{
    RECT window{};
    GetWindowRect(hwnd, &window);
    OffsetRect(&window, -window.left, -window.top);
    if (themed) {
        auto& theme = KVOLinkingUtils::UxThemeDLL::Instance();
        const bool up = quadrant < 2;
        const RECT body{0, up ? tailHeight : 0, window.right, up ? window.bottom : window.bottom - tailHeight};
        Check(theme.DrawThemeBackground(tooltipTheme.Handle(), hdc, TTP_BALLOON, 1, &body),
              u"Error calling UxThemeDLL::DrawThemeBackground()");
        const int left = (quadrant == 0 || quadrant == 3) ? tail[2].x - stemSize.cx : tail[2].x;
        const int top = up ? 0 : window.bottom - stemSize.cy;
        const RECT stem{left, top, left + stemSize.cx, top + stemSize.cy};
        Check(theme.DrawThemeBackground(tooltipTheme.Handle(), hdc, TTP_BALLOONSTEM, kStemState[quadrant], &stem),
              u"Error calling UxThemeDLL::DrawThemeBackground()");
        return;
    }
    HBRUSH fill = CreateSolidBrush(Background());
    FillRgn(hdc, region, fill);
    DeleteObject(fill);
    if (options & ShowInnerShadow) {
        // A shadow a quarter darker than the background, channel by channel.
        const COLORREF bg = Background();
        HBRUSH shadow = CreateSolidBrush(RGB(GetRValue(bg) * 3 / 4, GetGValue(bg) * 3 / 4, GetBValue(bg) * 3 / 4));
        HRGN moved = CreateRectRgn(0, 0, 0, 0);
        CombineRgn(moved, region, nullptr, RGN_COPY);
        OffsetRgn(moved, 1, 1);
        FrameRgn(hdc, moved, shadow, 2, 2);
        DeleteObject(moved);
        DeleteObject(shadow);
    }
    HBRUSH frame = CreateSolidBrush(Foreground());
    FrameRgn(hdc, region, frame, 1, 1);
    DeleteObject(frame);
}

void CBalloonHelp::PaintClient(HDC hdc)
{
    RECT client{};
    GetClientRect(hwnd, &client);
    HBRUSH fill = CreateSolidBrush(Background());
    FillRect(hdc, &client, fill);
    DeleteObject(fill);
    // The DC may be the caller's (WM_PRINT): it gets its font, colour and mode back, also when a theme call throws.
    struct Restore {
        HDC dc;
        HGDIOBJ font;
        COLORREF colour;
        int mode;
        ~Restore()
        {
            SelectObject(dc, font);
            SetTextColor(dc, colour);
            SetBkMode(dc, mode);
        }
    } restore{hdc, GetCurrentObject(hdc, OBJ_FONT), SetTextColor(hdc, Foreground()), SetBkMode(hdc, TRANSPARENT)};
    // Title line: icon, title and close button as the layout flags arrange them.
    const SIZE iconSize = icon ? IconSize() : SIZE{0, 0};
    const int iconWidth = iconSize.cx;
    const int iconHeight = iconSize.cy;
    const std::u16string title = Title();
    const SIZE titleSize = MeasureText(hdc, titleFont, title, DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS);
    const int lineHeight = std::max({static_cast<int>(titleSize.cy), icon ? iconHeight : 0,
                                     (options & ShowCloseButton) ? closeHeight : 0});
    RECT titleRect{client.left, client.top, client.right, client.top + lineHeight};
    if (options & ShowCloseButton) {
        DrawCloseButton(hdc, closeState);
        if (layoutFlags & 0x1000) {
            titleRect.left += closeWidth + margin;
        } else {
            titleRect.right -= closeWidth + margin;
        }
    }
    if (icon) {
        const int y = titleRect.top + (lineHeight - iconHeight) / 2;
        if (layoutFlags & 0x2) {
            ImageList_Draw(icon, 0, hdc, titleRect.right - iconWidth, y, ILD_NORMAL);
            titleRect.right -= iconWidth + margin;
        } else {
            ImageList_Draw(icon, 0, hdc, titleRect.left, y, ILD_NORMAL);
            titleRect.left += iconWidth + margin;
        }
    }
    SelectObject(hdc, titleFont);
    DrawTextW(hdc, title.c_str(), static_cast<int>(title.size()), &titleRect,
              DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS | DT_VCENTER | TextAlignment(layoutFlags, 0x200, 0x400));
    SelectObject(hdc, contentFont);
    int top = client.top + lineHeight + (lineHeight ? margin : 0);
    RECT textRect{client.left, top, client.right, client.bottom};
    const UINT textFlags = DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS | TextAlignment(layoutFlags, 0x20, 0x40);
    if (!content.empty()) {
        RECT measured = textRect;
        DrawTextW(hdc, content.c_str(), static_cast<int>(content.size()), &measured, textFlags | DT_CALCRECT);
        if (themed) {
            Check(KVOLinkingUtils::UxThemeDLL::Instance().DrawThemeText(textTheme.Handle(), hdc, TEXT_BODYTEXT, 0,
                                                                        content.c_str(),
                                                                        static_cast<int>(content.size()), textFlags,
                                                                        &textRect),
                  u"Error calling UxThemeDLL::DrawThemeText().");
        } else {
            DrawTextW(hdc, content.c_str(), static_cast<int>(content.size()), &textRect, textFlags);
        }
        top = measured.bottom + margin;
    }
    linkRect = RECT{};
    if (!linkText.empty()) {
        SetTextColor(hdc, RGB(0, 0, 132));
        RECT r{client.left, top, client.right, client.bottom};
        DrawTextW(hdc, linkText.c_str(), static_cast<int>(linkText.size()), &r,
                  DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
        DrawTextW(hdc, linkText.c_str(), static_cast<int>(linkText.size()), &r, DT_SINGLELINE | DT_NOPREFIX);
        HBRUSH line = CreateSolidBrush(RGB(0, 0, 132));
        RECT underline{r.left, r.bottom + 1, r.right, r.bottom + 2};
        FillRect(hdc, &underline, line);
        DeleteObject(line);
        linkRect = RECT{r.left, r.top, r.right, r.bottom + kLinkGap};
    }
}

LRESULT CBalloonHelp::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CBalloonHelp*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CBalloonHelp*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    LRESULT result = 0;
    try {
        if (self->ProcessWindowMessage(hwnd, message, wParam, lParam, result)) {
            return result;
        }
    } catch (const XKVO&) {
        // A theme call failed while painting or laying out: go on in the plain look. The new layout and paint
        // come as a message of their own, as a repaint asked for inside a paint would be lost.
        self->DropThemes();
        PostMessageW(hwnd, kRelayout, 0, 0);
        return 0;
    } catch (...) {
        return 0; // nothing crosses the window procedure
    }
    result = DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        self->hwnd = nullptr;
        self->OnFinalMessage(hwnd);
    }
    return result;
}

bool CBalloonHelp::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    const POINT client{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_NCCALCSIZE: {
        auto* r = reinterpret_cast<RECT*>(lParam);
        InflateRect(r, -margin, -margin);
        if (quadrant < 2) {
            r->top += tailHeight;
        } else {
            r->bottom -= tailHeight;
        }
        r->right = std::max(r->right, r->left);
        r->bottom = std::max(r->bottom, r->top);
        return true;
    }
    case WM_NCPAINT: {
        HDC hdc = GetWindowDC(hwnd);
        try {
            PaintFrame(hdc);
        } catch (...) {
            ReleaseDC(hwnd, hdc);
            throw;
        }
        ReleaseDC(hwnd, hdc);
        return true;
    }
    case WM_PRINT: {
        HDC hdc = reinterpret_cast<HDC>(wParam);
        if (lParam & PRF_NONCLIENT) {
            PaintFrame(hdc);
        }
        if (lParam & PRF_CLIENT) {
            RECT window{};
            GetWindowRect(hwnd, &window);
            POINT origin{0, 0};
            ClientToScreen(hwnd, &origin);
            POINT previous{};
            OffsetViewportOrgEx(hdc, origin.x - window.left, origin.y - window.top, &previous);
            // The caller's DC gets its origin back, also when a theme call throws.
            struct Restore {
                HDC dc;
                POINT origin;
                ~Restore() { SetViewportOrgEx(dc, origin.x, origin.y, nullptr); }
            } restore{hdc, previous};
            PaintClient(hdc);
        }
        return true;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        try {
            PaintClient(hdc);
        } catch (...) {
            EndPaint(hwnd, &ps);
            throw;
        }
        EndPaint(hwnd, &ps);
        return true;
    }
    case WM_ERASEBKGND:
        result = 1;
        return true;
    case kRelayout:
        Layout();
        return true;
    case WM_MOUSEACTIVATE:
        result = MA_NOACTIVATE;
        return true;
    case WM_MOUSEMOVE: {
        if (options & ShowCloseButton) {
            TrackCloseButton(client);
        }
        if (options & CloseOnMouseMove) {
            POINT screen{};
            GetCursorPos(&screen);
            if (!InKeepOpenArea(screen)) {
                Close();
                return true;
            }
        }
        if ((options & ClickableLink) && !IsRectEmpty(&linkRect)) {
            SetCursor(LoadCursorW(nullptr, PtInRect(&linkRect, client) ? IDC_HAND : IDC_ARROW));
        }
        return true;
    }
    case WM_LBUTTONDOWN:
        if (options & (CloseOnLButtonDown | CloseOnMButtonDown | CloseOnRButtonDown)) {
            Close();
            return true;
        }
        if (OverCloseButton(client)) {
            closeState = DFCS_HOT | kPressed;
            SetCapture(hwnd);
            HDC hdc = GetDC(hwnd);
            DrawCloseButton(hdc, closeState);
            ReleaseDC(hwnd, hdc);
            return true;
        }
        if ((options & ClickableLink) && PtInRect(&linkRect, client)) {
            SetCapture(hwnd);
        }
        return true;
    case WM_LBUTTONUP:
        if (closeState & kPressed) {
            closeState = DFCS_FLAT;
            ReleaseCapture();
            if (OverCloseButton(client)) {
                Close();
            }
            return true;
        }
        if ((options & ClickableLink) && !IsRectEmpty(&linkRect)) {
            ReleaseCapture();
            if (PtInRect(&linkRect, client)) {
                const std::function<void()> action = onLink;
                Close();
                if (action) {
                    action();
                }
            }
        } else if (!url.empty()) {
            const std::u16string address = url;
            Close();
            ShellExecuteW(nullptr, nullptr, address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        }
        return true;
    case WM_CAPTURECHANGED:
        if (options & ShowCloseButton) {
            closeState = DFCS_FLAT;
            HDC hdc = GetDC(hwnd);
            DrawCloseButton(hdc, closeState);
            ReleaseDC(hwnd, hdc);
        }
        return true;
    case WM_ACTIVATEAPP:
        if (!wParam && (options & CloseOnDeactivate)) {
            Close();
        }
        return true;
    case WM_TIMER:
        if (wParam == kCloseTimer) {
            KillTimer(hwnd, kCloseTimer);
            Close();
            return true;
        }
        if (wParam == kHotTimer) {
            KillTimer(hwnd, kHotTimer);
            POINT p{};
            GetCursorPos(&p);
            ScreenToClient(hwnd, &p);
            TrackCloseButton(p);
            return true;
        }
        return false;
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
        themeBroken = false;
        OpenThemes();
        Layout();
        return true;
    case WM_DESTROY:
        if (GetCapture() == hwnd) {
            ReleaseCapture();
        }
        return true;
    default:
        return false;
    }
}

void CBalloonHelp::OnFinalMessage(HWND)
{
    if (options & DeleteThisOnClose) {
        delete this;
    }
}

} // namespace WTL
