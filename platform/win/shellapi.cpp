#include "platform/win/shellapi.h"

namespace {
std::function<void(const platform::ShellRequest&)>& Listener()
{
    static std::function<void(const platform::ShellRequest&)> listener;
    return listener;
}
} // namespace

namespace platform {
void OnShellExecute(std::function<void(const ShellRequest&)> listener) { Listener() = std::move(listener); }
} // namespace platform

HINSTANCE ShellExecuteW(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR, LPCWSTR, int show)
{
    if (!file || !*file) {
        return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(2));
    }
    if (Listener()) {
        Listener()(platform::ShellRequest{verb ? std::u16string(verb) : std::u16string(), std::u16string(file), show});
    }
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(42));
}
