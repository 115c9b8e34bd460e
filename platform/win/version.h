// Version resources: the VS_VERSIONINFO block (a tree of length-prefixed nodes with UTF-16 keys: the fixed file
// information, then "StringFileInfo" with one table of texts per language and code page, then "VarFileInfo" with
// the translations), built as a binary's resource data and read back with VerQueryValueW.
#pragma once

#include "platform/win/wintypes.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
inline constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;
inline constexpr WORD VS_VERSION_INFO = 1; // the resource id of a binary's version
inline constexpr DWORD VOS_NT_WINDOWS32 = 0x00040004;
inline constexpr DWORD VFT_DLL = 2;

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS; // first and second part
    DWORD dwFileVersionLS; // third and fourth part
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

// Finds a value in a version block: "\" gives the VS_FIXEDFILEINFO, "\VarFileInfo\Translation" the language and
// code-page pairs (two WORDs each), "\StringFileInfo\040904B0\FileVersion" a text. *length is the value's size:
// bytes for binary values, UTF-16 units (with the NUL) for texts. FALSE when the path names no value.
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, UINT* length);

namespace platform {

struct VersionText {
    std::u16string_view key;
    std::u16string_view value;
};

// The key of the text table of a language and code page: eight hexadecimal digits ("040904B0").
std::u16string VersionTableName(WORD language, WORD codePage);

// A version block with the fixed information and one table of texts for the language and code page.
std::vector<std::byte> BuildVersionResource(const VS_FIXEDFILEINFO& fixed, LANGID language, WORD codePage,
                                            const std::vector<VersionText>& texts);

} // namespace platform
