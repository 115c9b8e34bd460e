// Module handles and resources. A binary registers its resources (compiled-in data) under its own instance
// handle at load time; FindResourceW/LoadStringW find them by that handle, as on Windows.
#pragma once

#include "platform/win/wintypes.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

HMODULE GetModuleHandleW(LPCWSTR moduleName); // null gives the process's own image
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HRSRC FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, LANGID language);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);

// Copies string `id` of the module's string table; with a buffer size of 0 stores a read-only pointer to the
// text in *buffer and returns its length. Returns 0 when the string is missing.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferUnits);

inline constexpr LANGID LANG_NEUTRAL = 0;

namespace platform {
// The instance handle of the binary (executable or shared library) that holds `address`.
HINSTANCE ModuleHandleFromAddress(const void* address);

void RegisterResource(HINSTANCE module, LPCWSTR type, LPCWSTR name, LANGID language, std::span<const std::byte> data);

struct StringTableEntry {
    UINT id;
    std::u16string_view text;
};
// Builds the string-table blocks (16 strings a block, each a 16-bit count and its units) and registers them.
void RegisterStringTable(HINSTANCE module, std::span<const StringTableEntry> entries, LANGID language = LANG_NEUTRAL);
void UnregisterResources(HINSTANCE module);

// The language of the application object registered for this process (the windowing layer sets it when its
// application object starts, and clears it at the end); none while no application is registered.
std::optional<LANGID> ApplicationLanguage();
void SetApplicationLanguage(std::optional<LANGID> language);
}
