// The save-file dialog. There is no screen: a hook answers each dialog with a path or a cancel. Without a hook the
// dialog is cancelled (CommDlgExtendedError then gives 0, as for a user's cancel).
#pragma once

#include "platform/win/windef.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
inline constexpr DWORD OFN_HIDEREADONLY = 0x00000004;

struct OPENFILENAMEW {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCWSTR lpstrFilter;       // pairs of NUL-terminated texts, ended by a second NUL
    LPWSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;        // 1-based
    LPWSTR lpstrFile;          // in: the initial name; out: the chosen path
    DWORD nMaxFile;            // characters of lpstrFile, NUL included
    LPWSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCWSTR lpstrInitialDir;
    LPCWSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCWSTR lpstrDefExt;
    LPARAM lCustData;
    void* lpfnHook;
    LPCWSTR lpTemplateName;
};

// TRUE with the chosen path in lpstrFile; FALSE when cancelled or when the path does not fit nMaxFile.
BOOL GetSaveFileNameW(OPENFILENAMEW* request);
DWORD CommDlgExtendedError();

namespace platform {
struct SaveFileCall {
    HWND owner;
    std::u16string title;
    std::u16string initialDir;
    std::u16string defaultExtension;
    std::vector<std::pair<std::u16string, std::u16string>> filters; // (description, pattern)
    DWORD filterIndex;
    DWORD flags;
};
// The answer: a path, or nothing for a cancel. A path without an extension gets the default extension.
using SaveFileHook = std::function<std::optional<std::u16string>(const SaveFileCall&)>;
SaveFileHook SetSaveFileHook(SaveFileHook hook);
} // namespace platform
