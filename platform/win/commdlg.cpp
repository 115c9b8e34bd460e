#include "platform/win/commdlg.h"

namespace {
platform::SaveFileHook& Hook()
{
    static platform::SaveFileHook hook;
    return hook;
}
DWORD& LastError()
{
    static DWORD error = 0;
    return error;
}
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;

std::u16string TextOrEmpty(LPCWSTR text) { return text ? std::u16string(text) : std::u16string(); }
} // namespace

namespace platform {
SaveFileHook SetSaveFileHook(SaveFileHook hook)
{
    SaveFileHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}
} // namespace platform

BOOL GetSaveFileNameW(OPENFILENAMEW* request)
{
    LastError() = 0;
    if (!request || !request->lpstrFile || request->nMaxFile == 0 || !Hook()) {
        return FALSE;
    }
    platform::SaveFileCall call{request->hwndOwner,        TextOrEmpty(request->lpstrTitle),
                                TextOrEmpty(request->lpstrInitialDir), TextOrEmpty(request->lpstrDefExt),
                                {},                        request->nFilterIndex,
                                request->Flags};
    for (LPCWSTR p = request->lpstrFilter; p && *p;) {
        std::u16string description(p);
        p += description.size() + 1;
        std::u16string pattern(p);
        p += pattern.size() + 1;
        call.filters.emplace_back(std::move(description), std::move(pattern));
    }
    std::optional<std::u16string> answer = Hook()(call);
    if (!answer || answer->empty()) {
        return FALSE;
    }
    std::u16string path = *answer;
    const std::size_t slash = path.find_last_of(u"/\\");
    const std::size_t name = slash == std::u16string::npos ? 0 : slash + 1;
    if (path.find(u'.', name) == std::u16string::npos && !call.defaultExtension.empty()) {
        path += u'.';
        path += call.defaultExtension;
    }
    if (path.size() + 1 > request->nMaxFile) {
        LastError() = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    std::copy(path.begin(), path.end(), request->lpstrFile);
    request->lpstrFile[path.size()] = 0;
    request->nFileOffset = static_cast<WORD>(name);
    const std::size_t dot = path.find_last_of(u'.');
    request->nFileExtension = static_cast<WORD>(dot == std::u16string::npos || dot < name ? 0 : dot + 1);
    return TRUE;
}

DWORD CommDlgExtendedError() { return LastError(); }
