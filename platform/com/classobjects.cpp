#include "platform/com/classobjects.h"

#include <map>
#include <mutex>

namespace {
struct Registration {
    CLSID clsid;
    IUnknown* object;
};

struct State {
    std::recursive_mutex lock;
    std::map<DWORD, Registration> registrations;
    DWORD nextCookie = 1;
    int initDepth = 0;
    int initCalls = 0;
};

State& GetState()
{
    static State* state = new State;
    return *state;
}
}

HRESULT CoInitialize(void*)
{
    State& state = GetState();
    std::lock_guard guard(state.lock);
    ++state.initCalls;
    return state.initDepth++ == 0 ? S_OK : S_FALSE;
}

HRESULT OleInitialize(void* reserved) { return CoInitialize(reserved); }

void CoUninitialize()
{
    State& state = GetState();
    std::lock_guard guard(state.lock);
    if (state.initDepth > 0) {
        --state.initDepth;
    }
}

void OleUninitialize() { CoUninitialize(); }

HRESULT CoGetClassObject(REFCLSID clsid, DWORD, void*, REFIID iid, void** out)
{
    if (!out) {
        return E_INVALIDARG;
    }
    *out = nullptr;
    IUnknown* object = nullptr;
    {
        State& state = GetState();
        std::lock_guard guard(state.lock);
        for (const auto& [cookie, registration] : state.registrations) {
            if (registration.clsid == clsid) {
                object = registration.object;
                object->AddRef();
                break;
            }
        }
    }
    if (!object) {
        return REGDB_E_CLASSNOTREG;
    }
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* object, DWORD, DWORD, DWORD* cookie)
{
    if (!object || !cookie) {
        return E_INVALIDARG;
    }
    State& state = GetState();
    std::lock_guard guard(state.lock);
    object->AddRef();
    *cookie = state.nextCookie++;
    state.registrations[*cookie] = Registration{clsid, object};
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie)
{
    IUnknown* object = nullptr;
    {
        State& state = GetState();
        std::lock_guard guard(state.lock);
        const auto found = state.registrations.find(cookie);
        if (found == state.registrations.end()) {
            return E_INVALIDARG;
        }
        object = found->second.object;
        state.registrations.erase(found);
    }
    object->Release();
    return S_OK;
}

namespace platform {
bool IsComInitialized()
{
    State& state = GetState();
    std::lock_guard guard(state.lock);
    return state.initDepth > 0;
}

int ComInitializeCount()
{
    State& state = GetState();
    std::lock_guard guard(state.lock);
    return state.initCalls;
}

void ResetClassObjects()
{
    std::map<DWORD, Registration> dropped;
    {
        State& state = GetState();
        std::lock_guard guard(state.lock);
        dropped.swap(state.registrations);
        state.initDepth = 0;
        state.initCalls = 0;
    }
    for (auto& [cookie, registration] : dropped) {
        registration.object->Release();
    }
}
}
