// Scrolling a window's contents (ScrollWindowEx).
#pragma once

#include "platform/win/wingdi.h"
#include "platform/win/winuser.h"

inline constexpr UINT SW_SCROLLCHILDREN = 0x0001;
inline constexpr UINT SW_INVALIDATE = 0x0002;
inline constexpr UINT SW_ERASE = 0x0004;

// Moves the client pixels by (dx, dy) and invalidates what the move uncovered (with SW_INVALIDATE); returns the
// uncovered region's complexity, ERROR for an unknown window.
int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update, LPRECT updateRect,
                   UINT flags);
