// Code-page conversion. The ANSI code page is fixed at 1252 (settable for tests); UTF-8 is supported too.
#pragma once

#include "platform/win/wintypes.h"

#include <string>
#include <string_view>

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_OEMCP = 1;
inline constexpr UINT CP_THREAD_ACP = 3;
inline constexpr UINT CP_UTF8 = 65001;
inline constexpr UINT CP_WINDOWS_1252 = 1252;

// Returns the number of units written (or needed when the output size is 0), including the NUL when the input
// length is -1. 0 on failure, with the last error set.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int byteCount, LPWSTR out, int outUnits);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int unitCount, LPSTR out, int outBytes,
                        LPCSTR defaultChar, BOOL* usedDefaultChar);

UINT GetACP();
namespace platform {
void SetAnsiCodePage(UINT codePage); // 1252 or 65001

// Convenience conversions used by the stand-in layers and tests.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// A-Z to a-z, every other unit as it is (the classic C locale's lower case; names of classes, libraries, profile
// entries).
std::u16string AsciiLower(std::u16string_view text);
}
