#include "platform/win/errors.h"
#include "platform/win/resources.h"
#include "platform/win/sync.h"
#include "platform/win/winuser.h"

#include <algorithm>
#include <cstring>
#include <list>
#include <memory>

namespace {
struct Hook {
    HOOKPROC proc;
    DWORD thread;
};

// Newest first, as Win32 calls them. Handles are the addresses of the list's nodes.
std::list<Hook>& Hooks()
{
    static auto* hooks = new std::list<Hook>;
    return *hooks;
}

HHOOK HandleOf(const Hook& hook) { return reinterpret_cast<HHOOK>(const_cast<Hook*>(&hook)); }

std::list<Hook>::iterator FindHook(HHOOK handle)
{
    auto& hooks = Hooks();
    return std::find_if(hooks.begin(), hooks.end(), [&](const Hook& h) { return HandleOf(h) == handle; });
}

LRESULT CallFrom(std::list<Hook>::iterator from, int code, WPARAM wParam, LPARAM lParam)
{
    const DWORD thread = GetCurrentThreadId();
    for (auto it = from; it != Hooks().end(); ++it) {
        if (it->thread == thread || it->thread == 0) {
            return it->proc(code, wParam, lParam);
        }
    }
    return 0;
}

struct AcceleratorTable {
    std::vector<ACCEL> entries;
};

bool IsDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }
}

HHOOK SetWindowsHookExW(int kind, HOOKPROC proc, HINSTANCE, DWORD threadId)
{
    if (kind != WH_KEYBOARD || !proc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Hooks().push_front(Hook{proc, threadId});
    return HandleOf(Hooks().front());
}

BOOL UnhookWindowsHookEx(HHOOK hook)
{
    const auto found = FindHook(hook);
    if (found == Hooks().end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Hooks().erase(found);
    return TRUE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam)
{
    auto found = FindHook(hook);
    return found == Hooks().end() ? 0 : CallFrom(std::next(found), code, wParam, lParam);
}

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count)
{
    if (!entries || count <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* table = new AcceleratorTable{std::vector<ACCEL>(entries, entries + count)};
    return reinterpret_cast<HACCEL>(table);
}

BOOL DestroyAcceleratorTable(HACCEL table)
{
    delete reinterpret_cast<AcceleratorTable*>(table);
    return table != nullptr;
}

HACCEL LoadAcceleratorsW(HINSTANCE module, LPCWSTR name)
{
    HRSRC resource = FindResourceW(module, name, RT_ACCELERATOR);
    if (!resource) {
        return nullptr;
    }
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(module, resource)));
    const DWORD size = SizeofResource(module, resource);
    std::vector<ACCEL> entries;
    for (DWORD at = 0; bytes && at + 8 <= size; at += 8) {
        auto word = [&](DWORD offset) { return static_cast<WORD>(bytes[at + offset] | (bytes[at + offset + 1] << 8)); };
        const WORD flags = word(0);
        entries.push_back(ACCEL{static_cast<BYTE>(flags & 0x7F), word(2), word(4)});
        if (flags & 0x80) {
            break;
        }
    }
    return entries.empty() ? nullptr : CreateAcceleratorTableW(entries.data(), static_cast<int>(entries.size()));
}

int CopyAcceleratorTableW(HACCEL handle, ACCEL* entries, int count)
{
    const auto* table = reinterpret_cast<const AcceleratorTable*>(handle);
    if (!table) {
        return 0;
    }
    const int total = static_cast<int>(table->entries.size());
    if (!entries) {
        return total;
    }
    const int copied = std::min(total, count);
    std::copy_n(table->entries.begin(), copied, entries);
    return copied;
}

int TranslateAcceleratorW(HWND window, HACCEL handle, const MSG* msg)
{
    const auto* table = reinterpret_cast<const AcceleratorTable*>(handle);
    if (!table || !msg || !window || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) {
        return 0;
    }
    const bool shift = IsDown(VK_SHIFT);
    const bool control = IsDown(VK_CONTROL);
    const bool alt = IsDown(VK_MENU);
    for (const ACCEL& entry : table->entries) {
        if (!(entry.fVirt & FVIRTKEY) || entry.key != msg->wParam) {
            continue;
        }
        if (shift != ((entry.fVirt & FSHIFT) != 0) || control != ((entry.fVirt & FCONTROL) != 0) ||
            alt != ((entry.fVirt & FALT) != 0)) {
            continue;
        }
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(entry.cmd, 1), 0);
        return 1;
    }
    return 0;
}

namespace ui {
std::vector<std::byte> BuildAcceleratorTemplate(const std::vector<ACCEL>& entries)
{
    std::vector<std::byte> bytes;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const WORD flags = static_cast<WORD>(entries[i].fVirt | (i + 1 == entries.size() ? 0x80 : 0));
        for (const WORD word : {flags, entries[i].key, entries[i].cmd, WORD{0}}) {
            bytes.push_back(static_cast<std::byte>(word & 0xFF));
            bytes.push_back(static_cast<std::byte>(word >> 8));
        }
    }
    return bytes;
}

std::size_t KeyboardHookCount() { return Hooks().size(); }

namespace detail {
bool RunKeyboardHooks(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP && msg.message != WM_SYSKEYDOWN &&
        msg.message != WM_SYSKEYUP) {
        return false;
    }
    return CallFrom(Hooks().begin(), HC_ACTION, msg.wParam, msg.lParam) != 0;
}
}
}
