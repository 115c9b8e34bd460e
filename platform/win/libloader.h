// Run-time linking. The stand-in knows the system libraries that the module loads by name ("uxtheme.dll" and
// "shcore.dll") and answers their procedures with its own; any other name fails with ERROR_MOD_NOT_FOUND. Tests can
// take a library away, as on a system that lacks it.
#pragma once

#include "platform/win/wintypes.h"

#include <string_view>

using FARPROC = void (*)();

// Case-insensitive; a folder before the file name and a missing ".dll" are accepted.
HMODULE LoadLibraryW(LPCWSTR name);
BOOL FreeLibrary(HMODULE module);
// Null with ERROR_PROC_NOT_FOUND for a name the library does not export.
FARPROC GetProcAddress(HMODULE module, LPCSTR name);

namespace platform {
// A missing library cannot be loaded; handles loaded before stay valid.
void SetLibraryMissing(std::u16string_view name, bool missing);
// How many loads of a library are not yet freed (tests check that their users let go).
int LibraryLoadCount(std::u16string_view name);
}
