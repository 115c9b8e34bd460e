#include "host/services.h"

namespace host {

HRESULT TestRegistry::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IUnitTestRegistry) {
        return Answer(static_cast<IUnitTestRegistry*>(this), out);
    }
    return E_NOINTERFACE;
}

HRESULT TestRegistry::Add(IUnitTest* test)
{
    log_.Record("tests", "Add", test ? std::to_string(tests_.size()) : "null");
    if (!test) {
        return E_POINTER;
    }
    // Take the reference first: a refused test must still be released (its count arrives at 0).
    platform::ComPtr<IUnitTest> held(test);
    if (refuse_) {
        return E_FAIL;
    }
    tests_.push_back(std::move(held));
    return S_OK;
}

HRESULT ApplicationService::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IApplicationService) {
        return Answer(static_cast<IApplicationService*>(this), out);
    }
    return E_NOINTERFACE;
}

HRESULT ApplicationService::GetWindowObject(HWND, IUnknown** out)
{
    log_.Record("application", "GetWindowObject");
    if (out) {
        *out = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT ApplicationService::GetPrintService(IUnknown** out)
{
    log_.Record("application", "GetPrintService");
    if (out) {
        *out = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT ApplicationService::GetLanguage(WORD* language)
{
    log_.Record("application", "GetLanguage");
    if (!language) {
        return E_POINTER;
    }
    *language = language_;
    return S_OK;
}

HRESULT ApplicationService::GetSettings(IHostSettings** out)
{
    log_.Record("application", "GetSettings");
    if (out) {
        *out = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT ApplicationService::QueryPreReleaseNote(DWORD reserved, DWORD* suppress, DWORD* other)
{
    log_.Record("application", "QueryPreReleaseNote", Hex(reserved));
    if (!suppress || !other) {
        return E_POINTER;
    }
    *suppress = suppressNotes_ ? 1 : 0;
    *other = 0;
    return S_OK;
}

HRESULT ApplicationService::ShowPreReleaseNote(DWORD reserved, const char16_t* text)
{
    std::u16string note = text ? text : u"";
    log_.Record("application", "ShowPreReleaseNote", Hex(reserved) + " " + Narrow(note));
    notes_.push_back(std::move(note));
    return S_OK;
}

} // namespace host
