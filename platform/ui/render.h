// Pictures of windows: a window with its visible children, as the screen would show it.
#pragma once

#include "platform/gdi/image.h"
#include "platform/win/winuser.h"

#include <string>

namespace ui {

// Paints what is pending in the window and its children, then composes them (the window's frame included).
gdi::Image RenderWindow(HWND hwnd);
bool RenderWindowToPng(HWND hwnd, const std::string& path);
}
