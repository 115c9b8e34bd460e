#include "controls/errorprovider.h"

#include "controls/balloonhelp.h"
#include "foundation/moduleinstance.h"
#include "resources/pictures.h"

#include <algorithm>
#include <cmath>

namespace KVOControls {
namespace {
constexpr double kMoveTolerance = 3.0;
constexpr unsigned kBalloonOptions = 0x87E00;
constexpr unsigned kLinkOptions = 0x60000;

// One bit of a group is kept: the first of `order` that is set, else `fallback`.
unsigned KeepOne(unsigned mode, std::initializer_list<unsigned> order, unsigned fallback)
{
    unsigned group = 0;
    for (unsigned bit : order) {
        group |= bit;
    }
    unsigned kept = fallback;
    for (unsigned bit : order) {
        if (mode & bit) {
            kept = bit;
            break;
        }
    }
    return (mode & ~group) | kept;
}
}

ErrorProvider::ErrorProvider(owl::TWindow* parent, int resourceId, owl::TModule* module)
    : TStatic(parent, resourceId, 0, module), mode(Balloon | PictureError)
{
    Init();
}

ErrorProvider::ErrorProvider(owl::TWindow* parent, int id, int x, int y, int w, int h, unsigned initialMode)
    : TStatic(parent, id, u"", x, y, w, h), mode(initialMode)
{
    Init();
}

ErrorProvider::~ErrorProvider()
{
    popup.reset();
}

void ErrorProvider::Init()
{
    title = KVO::String();
    message = KVO::String();
    hoverMs = 0;
    popupShown = false;
    tracking = false;
    const HINSTANCE instance = GetModule() ? GetModule()->GetHandle() : KVO::ModuleInstance();
    auto load = [&](UINT id) {
        HBITMAP bitmap = LoadBitmapW(instance, MAKEINTRESOURCEW(id));
        return bitmap ? std::make_unique<owl::TBitmap>(bitmap, owl::AutoDelete) : nullptr;
    };
    errorPicture = load(PictureId::ProviderError);
    warningPicture = load(PictureId::ProviderWarning);
    infoPicture = load(PictureId::ProviderInfo);
    Attr.Style &= ~WS_VISIBLE;
    if (IsWindow()) {
        ShowWindow(SW_HIDE);
    }
}

const owl::TBitmap* ErrorProvider::Picture() const
{
    if (mode & PictureError) {
        return errorPicture.get();
    }
    if (mode & PictureWarning) {
        return warningPicture.get();
    }
    return infoPicture.get();
}

void ErrorProvider::SetupWindow()
{
    TWindow::SetupWindow();
    ShowWindow(SW_HIDE);
    ModifyStyle(0, SS_NOTIFY);
    mode = KeepOne(mode, {PictureWarning, PictureError, PictureInfo}, PictureError);
    mode = KeepOne(mode, {Balloon, HoverPopup, MarkOnly}, Balloon);
    const owl::TBitmap* sizing = (mode & PictureInfo) ? infoPicture.get() : errorPicture.get();
    const int width = sizing ? sizing->Width() : 12;
    const int height = sizing ? sizing->Height() : 12;
    RECT r{};
    ::GetWindowRect(Handle, &r);
    POINT topLeft{r.left, r.top};
    ::ScreenToClient(GetParentH(), &topLeft);
    const int bottom = topLeft.y + (r.bottom - r.top);
    MoveWindow(topLeft.x, bottom - height, width, height, true);
}

void ErrorProvider::SetError(bool show, const KVO::String& newTitle, const KVO::String& newMessage)
{
    title = newTitle;
    message = newMessage;
    ShowWindow(show ? SW_SHOW : SW_HIDE);
}

void ErrorProvider::EvPaint()
{
    owl::TPaintDC dc(Handle);
    const owl::TBitmap* picture = Picture();
    if (!picture) {
        return;
    }
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(memory, *picture);
    const int w = picture->Width();
    const int h = picture->Height();
    const COLORREF key = ::GetPixel(memory, 0, 0);
    if (!TransparentBlt(dc, 0, 0, w, h, memory, 0, 0, w, h, key)) {
        BitBlt(dc, 0, 0, w, h, memory, 0, 0, SRCCOPY);
    }
    ::SelectObject(memory, old);
    DeleteDC(memory);
}

void ErrorProvider::StartHoverTimer()
{
    if (!popup && !message.IsEmpty()) {
        SetTimer(kTimerId, kTimerMs);
    }
}

void ErrorProvider::EvMouseMove(owl::uint modKeys, const owl::TPoint& point)
{
    if (!tracking) {
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, Handle, 0};
        tracking = TrackMouseEvent(&track) != FALSE;
    }
    if (mode & Balloon) {
        POINT screen = point;
        ::ClientToScreen(Handle, &screen);
        if (std::hypot(screen.x - lastBalloonPoint.x, screen.y - lastBalloonPoint.y) > kMoveTolerance) {
            hoverMs = 0;
            lastBalloonPoint = screen;
            OpenBalloon();
        }
    } else if (mode & HoverPopup) {
        StartHoverTimer();
    }
    TWindow::EvMouseMove(modKeys, point);
}

void ErrorProvider::Press()
{
    if (mode & Balloon) {
        OpenBalloon();
    } else if (mode & HoverPopup) {
        StartHoverTimer();
    }
}

void ErrorProvider::EvLButtonDown(owl::uint, const owl::TPoint&)
{
    Press();
    if (onClick) {
        onClick();
    }
}

void ErrorProvider::EvRButtonDown(owl::uint, const owl::TPoint&) { Press(); }
void ErrorProvider::EvMButtonDown(owl::uint, const owl::TPoint&) { Press(); }

void ErrorProvider::EvTimer(owl::uint timerId)
{
    if (timerId != kTimerId || message.IsEmpty()) {
        return;
    }
    hoverMs += kTimerMs;
    if (hoverMs > static_cast<int>(kPopupMs)) {
        // Gone after five seconds; popupShown stays set, so it comes back only after the cursor has left.
        KillTimer(kTimerId);
        hoverMs = 0;
        popup.reset();
    } else if ((mode & HoverPopup) && !popupShown) {
        popupShown = true;
        POINT cursor{};
        GetCursorPos(&cursor);
        popup = std::make_unique<KVO::Popup>(this, owl::TPoint(cursor.x - 3, cursor.y + 19), message);
    }
}

void ErrorProvider::EvMouseLeave()
{
    if (mode & HoverPopup) {
        KillTimer(kTimerId);
        popup.reset();
        popupShown = false;
        hoverMs = 0; // the next hover gets the popup's whole time
    }
    tracking = false;
}

void ErrorProvider::OpenBalloon()
{
    // A new balloon each time; it deletes itself when it closes.
    auto* balloon = new WTL::CBalloonHelp;
    balloon->SetAnchorWindowCentre(Handle);
    balloon->SetMouseTolerance(3);
    balloon->SetIcon((mode & PictureInfo) ? IDI_INFORMATION : IDI_WARNING);
    unsigned options = kBalloonOptions;
    if ((mode & BalloonLink) && !linkText.IsEmpty() && onLink) {
        options |= kLinkOptions;
        balloon->SetLink(std::u16string(linkText.View()), onLink);
    }
    if (!balloon->Create(Handle, std::u16string(title.View()), std::u16string(message.View()), nullptr, options, {},
                         0, WTL::CBalloonHelp::kDefaultLayout)) {
        delete balloon;
        return;
    }
    RECT client{};
    ::GetClientRect(Handle, &client);
    ::MapWindowPoints(Handle, nullptr, reinterpret_cast<POINT*>(&client), 2);
    balloon->SetKeepOpenRect(client);
}

StaticTextErrorProvider::MoveableErrProv::MoveableErrProv(owl::TWindow* parent)
    : ErrorProvider(parent, -1, 0, 0, 12, 12, Balloon | PictureError)
{
}

StaticTextErrorProvider::StaticTextErrorProvider(owl::TWindow* parent, int resourceId)
    : TStatic(parent, resourceId), mark(new MoveableErrProv(parent))
{
}

StaticTextErrorProvider::~StaticTextErrorProvider()
{
    // The parent may have deleted its children (the mark among them) already.
    if (owl::TWindow* parent = GetParentO()) {
        const auto& children = parent->GetChildren();
        if (std::find(children.begin(), children.end(), mark) != children.end()) {
            delete mark;
        }
    }
}

void StaticTextErrorProvider::SetupWindow()
{
    TWindow::SetupWindow();
    PlaceMark();
}

void StaticTextErrorProvider::SetText(LPCWSTR text)
{
    TStatic::SetText(text);
    if (PlaceMark()) {
        Invalidate();
        mark->Invalidate();
    }
}

void StaticTextErrorProvider::SetError(bool show, const KVO::String& title, const KVO::String& message)
{
    mark->SetError(show, title, message);
}

void StaticTextErrorProvider::EvMove(const owl::TPoint& clientOrigin)
{
    TWindow::EvMove(clientOrigin);
    if (PlaceMark()) {
        Invalidate();
        mark->Invalidate();
    }
}

bool StaticTextErrorProvider::PlaceMark()
{
    if (!IsWindow()) {
        return false;
    }
    RECT r{};
    ::GetWindowRect(Handle, &r);
    POINT origin{r.left, r.top};
    ::ScreenToClient(GetParentH(), &origin);
    const int markHeight = mark->IsWindow() ? mark->GetWindowRect().Height() : mark->Attr.H;
    POINT place = origin;
    const owl::tstring text = GetText();
    if (!text.empty()) {
        HDC hdc = ::GetDC(Handle);
        HFONT font = GetWindowFont();
        HGDIOBJ old = ::SelectObject(hdc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
        SIZE extent{};
        GetTextExtentPoint32W(hdc, text.c_str(), static_cast<int>(text.size()), &extent);
        ::SelectObject(hdc, old);
        ::ReleaseDC(Handle, hdc);
        place.x = origin.x + extent.cx + 5;
        place.y = origin.y + 1 + ((r.bottom - r.top) - markHeight) / 2;
    }
    if (!mark->IsWindow()) {
        const bool moved = mark->Attr.X != place.x || mark->Attr.Y != place.y;
        mark->Attr.X = place.x;
        mark->Attr.Y = place.y;
        return moved;
    }
    RECT current{};
    ::GetWindowRect(*mark, &current);
    POINT at{current.left, current.top};
    ::ScreenToClient(GetParentH(), &at);
    if (at.x == place.x && at.y == place.y) {
        return false;
    }
    mark->SetWindowPos(nullptr, place.x, place.y, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    return true;
}

} // namespace KVOControls
