#include "host/host.h"

#include "platform/com/classobjects.h"
#include "sdk/hostobjects.h"

#include <dlfcn.h>

namespace host {

Host::Host() : framework_(log_), tests_(log_), application_(log_)
{
    framework_.AddHostClass(CLSID_ChannelCalculation, static_cast<ICalcEnumClass2*>(&evaluator_));
}

Host::~Host()
{
    UnloadModule();
    Stop();
}

HRESULT Host::Start()
{
    if (started_) {
        return S_FALSE;
    }
    log_.Record("host", "Start");
    IUnknown* objects[3] = {static_cast<ICAFFramework*>(&framework_), &tests_, &application_};
    const CLSID* classes[3] = {&CLSID_CAFFrameWork, &CLSID_UnitTestRegistry, &CLSID_ApplicationService};
    for (int i = 0; i < 3; ++i) {
        const HRESULT hr = CoRegisterClassObject(*classes[i], objects[i], CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                                 &cookies_[i]);
        if (FAILED(hr)) {
            for (int j = 0; j < i; ++j) {
                CoRevokeClassObject(cookies_[j]);
            }
            return hr;
        }
    }
    started_ = true;
    return S_OK;
}

void Host::Stop()
{
    if (!started_) {
        return;
    }
    for (DWORD cookie : cookies_) {
        CoRevokeClassObject(cookie);
    }
    started_ = false;
    log_.Record("host", "Stop");
}

HRESULT Host::LoadModule(const std::string& path)
{
    if (module_) {
        lastError_ = "a module is loaded already";
        return E_UNEXPECTED;
    }
    log_.Record("host", "LoadModule", path);
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        lastError_ = why ? why : "cannot load " + path;
        return E_FAIL;
    }
    using RegisterFunction = HRESULT (*)(IUnknown*);
    auto registerClasses = reinterpret_cast<RegisterFunction>(dlsym(library, "DllRegisterClassObjects"));
    if (!registerClasses) {
        lastError_ = path + " has no DllRegisterClassObjects";
        dlclose(library);
        return E_FAIL;
    }
    module_ = library;
    const HRESULT hr = registerClasses(static_cast<ICAFFramework*>(&framework_));
    log_.Record("host", "Registered", Hex(static_cast<unsigned>(hr)));
    return hr;
}

void Host::UnloadModule()
{
    if (!module_) {
        return;
    }
    // The module's objects must be gone before its code is.
    framework_.DropRegistrations();
    tests_.Drop();
    dlclose(module_);
    module_ = nullptr;
    log_.Record("host", "UnloadModule");
}

platform::ComPtr<ChartData> Host::NewChartData() { return platform::ComPtr<ChartData>::Adopt(ChartData::Create(log_)); }

Host& Host::Library()
{
    static Host library;
    return library;
}

} // namespace host

extern "C" HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    host::Host& library = host::Host::Library();
    if (clsid == CLSID_CAFFrameWork) {
        return library.GetFramework().QueryInterface(iid, out);
    }
    if (clsid == CLSID_UnitTestRegistry) {
        return library.Tests().QueryInterface(iid, out);
    }
    if (clsid == CLSID_ApplicationService) {
        return library.Application().QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}
