// Remembering a window's screen rectangle: captured from the window, applied back only while it still fits the
// window's size, kept inside the work area of its monitor, and persisted in the tagged stream.
#pragma once

#include "platform/win/winuser.h"

namespace KVO {

class BinIStream;
class BinOStream;

// The work area of the monitor nearest to a rectangle.
RECT GetMonitorWorkArea(const RECT& rect);
// Moves a rectangle, without resizing it, inside the work area of its monitor: up, left, down, right, in that
// order, so that one larger than the work area ends at the work area's top and left.
void ClampRectToWorkArea(RECT& rect);

class WindowPlacement {
public:
    static constexpr LONG kVersion = 1;
    static constexpr LONG kEndMarker = 777;

    // Stores the window's screen rectangle, moved inside the work area.
    void Capture(HWND window);
    // Places the window at the stored rectangle when that has the window's current size; otherwise centres the
    // window on the work area of its monitor and stores where it went.
    void Apply(HWND window);
    // Version 1, the valid flag, then (when valid) top, left, bottom, right of the rectangle moved inside the work
    // area, then the end marker 777; every value a 32-bit integer.
    void Write(BinOStream& out) const;
    // Another version leaves the placement as it was; a wrong end marker sets the bad-read flag.
    void Read(BinIStream& in);

    bool IsValid() const { return valid != 0; }
    bool IsBadRead() const { return badRead != 0; }
    const RECT& Rect() const { return rect; }

private:
    void Place(HWND window) const;

    std::int32_t badRead = 0;
    RECT rect{};
    std::int32_t valid = 0;
};

} // namespace KVO
