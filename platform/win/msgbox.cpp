#include "platform/win/msgbox.h"

#include "platform/win/codepage.h"

#include <cstdio>

namespace {
platform::MessageBoxHook& Hook()
{
    static platform::MessageBoxHook hook;
    return hook;
}
}

namespace platform {
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook)
{
    MessageBoxHook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

int DefaultMessageBoxAnswer(UINT type)
{
    static constexpr int kButtons[][3] = {
        {IDOK, IDOK, IDOK},           {IDOK, IDCANCEL, IDCANCEL}, {IDABORT, IDRETRY, IDIGNORE},
        {IDYES, IDNO, IDCANCEL},      {IDYES, IDNO, IDNO},        {IDRETRY, IDCANCEL, IDCANCEL},
    };
    const UINT buttons = type & 0xF;
    const UINT which = (type >> 8) & 0x3;
    if (buttons >= 6 || which >= 3) {
        return IDOK;
    }
    return kButtons[buttons][which];
}
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    platform::MessageBoxCall call{owner, text ? text : u"", caption ? caption : u"Error", type};
    if (Hook()) {
        return Hook()(call);
    }
    std::fprintf(stderr, "%s: %s\n", platform::Utf16ToUtf8(call.caption).c_str(),
                 platform::Utf16ToUtf8(call.text).c_str());
    // Nobody can answer: a Retry taken unattended could loop for ever, so such boxes give up instead.
    const int answer = platform::DefaultMessageBoxAnswer(type);
    if (answer == IDRETRY) {
        return (type & 0xF) == MB_ABORTRETRYIGNORE ? IDABORT : IDCANCEL;
    }
    return answer;
}
