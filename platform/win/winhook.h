// Thread keyboard hooks and accelerator tables. Hooks see each key message as the thread's queue hands it out, newest
// hook first; accelerator tables turn key-down messages into commands (resources in Win32's 8-byte entry format).
#pragma once

#include "platform/win/windef.h"

#include <cstddef>
#include <vector>

struct HHOOK__;
using HHOOK = HHOOK__*;
struct HACCEL__;
using HACCEL = HACCEL__*;

using HOOKPROC = LRESULT (*)(int code, WPARAM wParam, LPARAM lParam);

inline constexpr int WH_KEYBOARD = 2;
inline constexpr int HC_ACTION = 0;

HHOOK SetWindowsHookExW(int kind, HOOKPROC proc, HINSTANCE module, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

inline constexpr BYTE FVIRTKEY = 0x01;
inline constexpr BYTE FNOINVERT = 0x02;
inline constexpr BYTE FSHIFT = 0x04;
inline constexpr BYTE FCONTROL = 0x08;
inline constexpr BYTE FALT = 0x10;

struct ACCEL {
    BYTE fVirt;
    WORD key;
    WORD cmd;
};

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
// Reads an RT_ACCELERATOR resource; the table lives to the end of the process, as loaded resources do.
HACCEL LoadAcceleratorsW(HINSTANCE module, LPCWSTR name);
int CopyAcceleratorTableW(HACCEL table, ACCEL* entries, int count);
// Sends WM_COMMAND (high word 1) to the window when the key-down message matches an entry; non-zero then.
int TranslateAcceleratorW(HWND window, HACCEL table, const MSG* msg);

namespace ui {
// The resource bytes of an accelerator table (8 bytes per entry; the last entry carries 0x80).
std::vector<std::byte> BuildAcceleratorTemplate(const std::vector<ACCEL>& entries);
// Hooks installed now (for tests: none may be left behind).
std::size_t KeyboardHookCount();
namespace detail {
// Runs the thread's keyboard hooks over a key message; true when a hook swallowed it.
bool RunKeyboardHooks(const MSG& msg);
}
}
