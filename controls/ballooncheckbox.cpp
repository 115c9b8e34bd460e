#include "controls/ballooncheckbox.h"

#include "controls/balloonhelp.h"

#include <cmath>

namespace KVOControls {
namespace {
bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// Takes the next line of at most `limit` characters off the front of `rest`: up to a line break, else up to the
// last space that lets the words fit, else a hard cut. White space at the cut is dropped.
std::u16string TakeLine(std::u16string_view& rest, std::size_t limit)
{
    std::size_t end = std::min(rest.size(), limit);
    std::size_t next = end;
    const std::size_t lineBreak = rest.substr(0, end).find_first_of(u"\r\n");
    if (lineBreak != std::u16string_view::npos) {
        end = lineBreak;
        next = lineBreak + 1;
        if (rest[lineBreak] == u'\r' && next < rest.size() && rest[next] == u'\n') {
            ++next;
        }
    } else if (end < rest.size()) {
        const std::size_t space = rest.substr(0, end + 1).find_last_of(u" \t");
        if (space != std::u16string_view::npos && space > 0) {
            end = space;
            next = space;
        }
    }
    std::u16string line(rest.substr(0, end));
    rest.remove_prefix(next);
    while (!rest.empty() && (rest.front() == u' ' || rest.front() == u'\t')) {
        rest.remove_prefix(1);
    }
    return line;
}
}

std::u16string WrapBalloonContent(const std::u16string& text, int width)
{
    if (width < 3) {
        return text; // a narrower width would leave no room for any character
    }
    if (text.empty() || (text.size() == 1 && IsSpace(text[0]))) {
        return u" \n";
    }
    std::u16string out;
    std::u16string_view rest(text);
    while (!rest.empty()) {
        out += TakeLine(rest, static_cast<std::size_t>(width - 2));
        out += u"\r\n";
    }
    return out;
}

TBalloonCheckBox::TBalloonCheckBox(owl::TWindow* parent, int id, LPCWSTR caption, int x, int y)
    : TCheckBox(parent, id, caption, x, y, 100, 16)
{
}

TBalloonCheckBox::TBalloonCheckBox(owl::TWindow* parent, int resourceId) : TCheckBox(parent, resourceId) {}

void TBalloonCheckBox::SetBalloonText(LPCWSTR newTitle, LPCWSTR newContent, int width)
{
    enabled = true;
    title = newTitle ? newTitle : u"Title";
    content = newContent ? newContent : u"Content";
    if (width > 0) {
        content = WrapBalloonContent(content, width);
    }
}

void TBalloonCheckBox::EvMouseMove(owl::uint modKeys, const owl::TPoint& point)
{
    if (!tracking) {
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, Handle, 0};
        tracking = TrackMouseEvent(&track) != FALSE;
        clicked = false;
    }
    if (std::hypot(point.x - lastPoint.x, point.y - lastPoint.y) > kMoveTolerance) {
        lastPoint = point;
        if (enabled && !clicked) {
            if (!shown) {
                SetTimer(kTimerId, delayMs);
            } else {
                OpenBalloon();
            }
        }
    }
    TWindow::EvMouseMove(modKeys, point);
}

void TBalloonCheckBox::EvTimer(owl::uint timerId)
{
    if (timerId != kTimerId) {
        TWindow::EvTimer(timerId);
        return;
    }
    KillTimer(kTimerId);
    shown = true;
    OpenBalloon();
}

void TBalloonCheckBox::Suppress()
{
    KillTimer(kTimerId);
    shown = false;
    clicked = true;
}

void TBalloonCheckBox::EvLButtonDown(owl::uint modKeys, const owl::TPoint& point)
{
    Suppress();
    TCheckBox::EvLButtonDown(modKeys, point);
}

void TBalloonCheckBox::EvRButtonDown(owl::uint modKeys, const owl::TPoint& point)
{
    Suppress();
    TCheckBox::EvRButtonDown(modKeys, point);
}

void TBalloonCheckBox::EvMButtonDown(owl::uint modKeys, const owl::TPoint& point)
{
    Suppress();
    TCheckBox::EvMButtonDown(modKeys, point);
}

void TBalloonCheckBox::EvKeyDown(owl::uint key, owl::uint repeatCount, owl::uint flags)
{
    Suppress();
    TCheckBox::EvKeyDown(key, repeatCount, flags);
}

void TBalloonCheckBox::EvMouseLeave()
{
    tracking = false;
    shown = false;
    clicked = false;
    // Coming back at the same spot must start the delay again.
    lastPoint = POINT{-1000000, -1000000};
    KillTimer(kTimerId);
    TCheckBox::EvMouseLeave();
}

void TBalloonCheckBox::OpenBalloon()
{
    auto* balloon = new WTL::CBalloonHelp;
    const owl::TRect r = GetWindowRect();
    balloon->SetAnchorPoint(POINT{r.left + 7, r.top + 7});
    balloon->SetMouseTolerance(3);
    balloon->SetIcon(MAKEINTRESOURCEW(icon));
    if (!balloon->Create(Handle, title, content, nullptr, balloonOptions | 0x7200, {}, 0,
                         WTL::CBalloonHelp::kDefaultLayout)) {
        delete balloon;
        return;
    }
    if (autoCloseMs && ::IsWindow(balloon->GetHandle())) {
        ::SetTimer(balloon->GetHandle(), 1, autoCloseMs, nullptr);
    }
}

BalloonRadioButton::BalloonRadioButton(owl::TWindow* parent, int resourceId) : TBalloonCheckBox(parent, resourceId) {}

bool BalloonRadioButton::EvNotifyAtChild(owl::uint notifyCode)
{
    if (notifyCode == BN_CLICKED && IsChecked()) {
        BNClicked();
    }
    return false; // the parent sees the click as well
}

} // namespace KVOControls
