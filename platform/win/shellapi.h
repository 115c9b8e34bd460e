// The shell's "open with the default action": there is no shell here, so a request is only handed to whoever
// listens (a test, the command-line host) and answered as done.
#pragma once

#include "platform/win/windef.h"

#include <cstdint>
#include <functional>
#include <string>

// Returns a value above 32 when the request was taken, 2 (file not found) for a null or empty file.
HINSTANCE ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, int show);

namespace platform {
struct ShellRequest {
    std::u16string verb; // empty: the default action
    std::u16string file;
    int show = 0;
};
// Receives every request from now on; an empty function stops listening.
void OnShellExecute(std::function<void(const ShellRequest&)> listener);
} // namespace platform
