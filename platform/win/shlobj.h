// The shell's special folders: only the user's documents folder ("personal"), which a test or the command-line host
// sets; unset, it is the HOME folder, and without HOME there is none.
#pragma once

#include "platform/win/windef.h"

#include <optional>
#include <string>

inline constexpr int CSIDL_PERSONAL = 0x0005;
inline constexpr DWORD SHGFP_TYPE_CURRENT = 0;
inline constexpr int MAX_PATH_CHARS = 260;

// Writes the folder (at most 260 characters with its NUL) into path; E_FAIL for any other folder or when none.
HRESULT SHGetFolderPathW(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path);

namespace platform {
// The documents folder; nothing makes the shell fail to find one.
void SetPersonalFolder(std::optional<std::u16string> folder);
} // namespace platform
