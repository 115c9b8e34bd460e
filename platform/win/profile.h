// The user profile's "win.ini" entries (GetProfileStringW). The stand-in machine starts with none, so that it has no
// default printer ("windows" / "device"); tests set entries.
#pragma once

#include "platform/win/wintypes.h"

#include <optional>
#include <string>
#include <string_view>

// Copies the entry (or the default when it is missing) with at most size - 1 units and a NUL; returns the units
// copied. Sections and keys compare case-insensitively. Listing sections or keys (a null section or key) is not
// supported and copies nothing.
DWORD GetProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size);

namespace platform {
// No value removes the entry.
void SetProfileString(std::u16string_view section, std::u16string_view key, std::optional<std::u16string> value);
}
