// Input for tests: mouse and keyboard as a user gives them. Each helper posts the messages Win32 would (to the
// window under the cursor, or to the capture window; keys to the focus window) and then pumps, so that their
// effects have happened when it returns. Points are in the client coordinates of the window named.
#pragma once

#include "platform/win/winuser.h"

#include <string_view>

namespace ui {

enum class Button { Left, Right, Middle };

// The centre of a window's client area.
POINT Center(HWND hwnd);

void MouseMove(HWND hwnd, POINT point);
void MouseDown(HWND hwnd, POINT point, Button button = Button::Left);
void MouseUp(HWND hwnd, POINT point, Button button = Button::Left);
void Click(HWND hwnd, POINT point, Button button = Button::Left);
void Click(HWND hwnd); // left click in the centre
void DoubleClick(HWND hwnd, POINT point);
// Presses at `from`, moves in `steps` even steps to `to` and releases there.
void Drag(HWND hwnd, POINT from, POINT to, int steps = 4, Button button = Button::Left);
// Turns the wheel over a window by `delta` (a multiple of WHEEL_DELTA, positive away from the user).
void Wheel(HWND hwnd, POINT point, int delta);

// Keys go to the focus window. Modifiers held with KeyDown stay down until KeyUp.
void KeyDown(UINT key);
void KeyUp(UINT key);
void PressKey(UINT key); // down and up
// Types text into the focus window, one WM_CHAR per UTF-16 unit.
void Type(std::u16string_view text);
}
