#include "foundation/windowplacement.h"

#include "foundation/binstream.h"

#include <algorithm>
#include <cstdint>

namespace KVO {
namespace {
RECT Clamped(RECT rect)
{
    ClampRectToWorkArea(rect);
    return rect;
}
}

RECT GetMonitorWorkArea(const RECT& rect)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

namespace {
LONG Saturated(std::int64_t value)
{
    return static_cast<LONG>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

// Moves both edges by the same amount; a rectangle read from a damaged file may lie anywhere, so the sums are taken
// in 64 bits and held to the coordinate range.
void Shift(LONG& low, LONG& high, std::int64_t by)
{
    low = Saturated(low + by);
    high = Saturated(high + by);
}
} // namespace

void ClampRectToWorkArea(RECT& rect)
{
    const RECT work = GetMonitorWorkArea(rect);
    if (rect.bottom > work.bottom) {
        Shift(rect.top, rect.bottom, std::int64_t{work.bottom} - rect.bottom);
    }
    if (rect.right > work.right) {
        Shift(rect.left, rect.right, std::int64_t{work.right} - rect.right);
    }
    if (rect.top < work.top) {
        Shift(rect.top, rect.bottom, std::int64_t{work.top} - rect.top);
    }
    if (rect.left < work.left) {
        Shift(rect.left, rect.right, std::int64_t{work.left} - rect.left);
    }
}

void WindowPlacement::Capture(HWND window)
{
    badRead = 0;
    RECT current{};
    GetWindowRect(window, &current);
    rect = Clamped(current);
    valid = 1;
}

void WindowPlacement::Apply(HWND window)
{
    badRead = 0;
    RECT current{};
    GetWindowRect(window, &current);
    const LONG width = current.right - current.left;
    const LONG height = current.bottom - current.top;
    if (valid) {
        const RECT stored = Clamped(rect);
        if (std::int64_t{stored.right} - stored.left == width && std::int64_t{stored.bottom} - stored.top == height) {
            SetWindowPos(window, nullptr, stored.left, stored.top, width, height,
                         SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
            return;
        }
    }
    const RECT work = GetMonitorWorkArea(current);
    const LONG centreX = (work.left + work.right) / 2;
    const LONG centreY = (work.top + work.bottom) / 2;
    RECT centred = current;
    OffsetRect(&centred, centreX - current.left, centreY - current.top);
    OffsetRect(&centred, -(width / 2), -(height / 2));
    ClampRectToWorkArea(centred);
    rect = centred;
    valid = 1;
    Place(window);
}

void WindowPlacement::Place(HWND window) const
{
    SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void WindowPlacement::Write(BinOStream& out) const
{
    out.WriteLong(kVersion);
    out.WriteLong(valid ? 1 : 0);
    if (valid) {
        const RECT written = Clamped(rect);
        out.WriteLong(written.top);
        out.WriteLong(written.left);
        out.WriteLong(written.bottom);
        out.WriteLong(written.right);
    }
    out.WriteLong(kEndMarker);
}

void WindowPlacement::Read(BinIStream& in)
{
    badRead = 0;
    LONG version = 0;
    in.ReadLong(&version);
    if (version != kVersion) {
        return;
    }
    LONG validFlag = 0;
    in.ReadLong(&validFlag);
    RECT read{};
    if (validFlag) {
        in.ReadLong(&read.top);
        in.ReadLong(&read.left);
        in.ReadLong(&read.bottom);
        in.ReadLong(&read.right);
    }
    LONG marker = 0;
    in.ReadLong(&marker);
    if (marker != kEndMarker) {
        badRead = 1;
    }
    if (validFlag) {
        rect = Clamped(read);
        valid = 1;
    }
}

} // namespace KVO
