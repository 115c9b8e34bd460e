#include "platform/win/libloader.h"

#include "platform/win/codepage.h"
#include "platform/win/errors.h"
#include "platform/win/shellscalingapi.h"
#include "platform/win/uxtheme.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {
struct Export {
    const char* name;
    FARPROC proc;
};

template <class F>
FARPROC Proc(F* f)
{
    return reinterpret_cast<FARPROC>(f);
}

struct Library {
    std::u16string_view name; // lower case, with ".dll"
    std::vector<Export> exports;
    int loads = 0;
    bool missing = false;
};

std::array<Library, 2>& Libraries()
{
    static auto* libraries = new std::array<Library, 2>{
        Library{u"uxtheme.dll",
                {{"OpenThemeData", Proc(OpenThemeData)},
                 {"CloseThemeData", Proc(CloseThemeData)},
                 {"DrawThemeBackground", Proc(DrawThemeBackground)},
                 {"DrawThemeParentBackground", Proc(DrawThemeParentBackground)},
                 {"DrawThemeText", Proc(DrawThemeText)},
                 {"GetThemeBackgroundContentRect", Proc(GetThemeBackgroundContentRect)},
                 {"IsThemeActive", Proc(IsThemeActive)},
                 {"IsAppThemed", Proc(IsAppThemed)},
                 {"IsThemeBackgroundPartiallyTransparent", Proc(IsThemeBackgroundPartiallyTransparent)},
                 {"EnableThemeDialogTexture", Proc(EnableThemeDialogTexture)},
                 {"GetThemeBackgroundRegion", Proc(GetThemeBackgroundRegion)},
                 {"GetThemePartSize", Proc(GetThemePartSize)},
                 {"GetThemeTextExtent", Proc(GetThemeTextExtent)}}},
        Library{u"shcore.dll", {{"GetDpiForMonitor", Proc(GetDpiForMonitor)}}},
    };
    return *libraries;
}

// The file name in lower case with ".dll", whatever folder and letter case it came with.
std::u16string FileName(std::u16string_view name)
{
    const auto slash = name.find_last_of(u"\\/");
    if (slash != std::u16string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    std::u16string out = platform::AsciiLower(name);
    if (out.find(u'.') == std::u16string::npos) {
        out += u".dll";
    }
    return out;
}

Library* Find(std::u16string_view name)
{
    const std::u16string file = FileName(name);
    for (Library& library : Libraries()) {
        if (library.name == file) {
            return &library;
        }
    }
    return nullptr;
}

Library* FromHandle(HMODULE module)
{
    for (Library& library : Libraries()) {
        if (reinterpret_cast<HMODULE>(&library) == module) {
            return &library;
        }
    }
    return nullptr;
}
}

HMODULE LoadLibraryW(LPCWSTR name)
{
    Library* library = name ? Find(name) : nullptr;
    if (!library || library->missing) {
        SetLastError(name ? ERROR_MOD_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ++library->loads;
    return reinterpret_cast<HMODULE>(library);
}

BOOL FreeLibrary(HMODULE module)
{
    Library* library = FromHandle(module);
    if (!library || library->loads == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    --library->loads;
    return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    Library* library = FromHandle(module);
    if (!library || library->loads == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (name && reinterpret_cast<std::uintptr_t>(name) >> 16) {
        for (const Export& entry : library->exports) {
            if (std::strcmp(entry.name, name) == 0) {
                return entry.proc;
            }
        }
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

namespace platform {
void SetLibraryMissing(std::u16string_view name, bool missing)
{
    if (Library* library = Find(name)) {
        library->missing = missing;
    }
}

int LibraryLoadCount(std::u16string_view name)
{
    const Library* library = Find(name);
    return library ? library->loads : 0;
}
}
