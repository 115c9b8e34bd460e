#include "platform/win/shlobj.h"

#include "platform/win/codepage.h"
#include "platform/win/errors.h"

#include <cstdlib>

namespace {
struct PersonalFolder {
    bool set = false;
    std::optional<std::u16string> folder;
};
PersonalFolder& Personal()
{
    static PersonalFolder personal;
    return personal;
}
} // namespace

namespace platform {
void SetPersonalFolder(std::optional<std::u16string> folder)
{
    Personal().set = true;
    Personal().folder = std::move(folder);
}
} // namespace platform

HRESULT SHGetFolderPathW(HWND, int folder, HANDLE, DWORD, LPWSTR path)
{
    if (!path || folder != CSIDL_PERSONAL) {
        return E_FAIL;
    }
    std::optional<std::u16string> found;
    if (Personal().set) {
        found = Personal().folder;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        found = platform::Utf8ToUtf16(home);
    }
    if (!found || found->empty() || found->size() >= MAX_PATH_CHARS) {
        return E_FAIL;
    }
    std::copy(found->begin(), found->end(), path);
    path[found->size()] = 0;
    return S_OK;
}
