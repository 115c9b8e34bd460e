#include "host/host.h"

#include "platform/com/classobjects.h"
#include "platform/win/resources.h"
#include "sdk/hostobjects.h"

#include <dlfcn.h>

#include <set>

namespace host {

namespace {

constexpr DWORD DLL_DETACH_NOTICE = 0; // DLL_PROCESS_DETACH
constexpr DWORD DLL_ATTACH_NOTICE = 1; // DLL_PROCESS_ATTACH

// The libraries that were loaded and then detached once: a later load finds them resident and attaches them again.
std::set<void*>& DetachedLibraries()
{
    static std::set<void*> detached;
    return detached;
}

// Gives a library the notice that loading or freeing it would give. The first load's attach is the library's own
// (its entry runs when it is loaded); false when it has no entry point.
bool LibraryEntry(void* library, DWORD reason)
{
    using EntryFunction = BOOL (*)(HINSTANCE, DWORD, void*);
    auto entry = reinterpret_cast<EntryFunction>(dlsym(library, "DllMain"));
    if (!entry) {
        return false;
    }
    const HINSTANCE instance = platform::ModuleHandleFromAddress(reinterpret_cast<const void*>(entry));
    if (reason == DLL_DETACH_NOTICE) {
        DetachedLibraries().insert(library);
        entry(instance, reason, nullptr);
    } else if (DetachedLibraries().erase(library) != 0) {
        entry(instance, reason, nullptr);
    }
    return true;
}

} // namespace

Host::Host() : framework_(log_), tests_(log_), application_(log_)
{
    framework_.AddHostClass(CLSID_ChannelCalculation, static_cast<ICalcEnumClass2*>(&evaluator_));
    framework_.AddHostCalculation(LMPeaksClass::kName, static_cast<ICalcEnumClass2*>(&peaks_));
    // Channel calculations of extensions aggregate the host's calculation and bind through the auxiliary object.
    framework_.AddHostObject(GUID_HostChannelCalcFamily, 17, &channelCalcFactory_);
    framework_.AddHostObject(CLSID_ChannelCalculation, 0, &channelCalcAux_);
    framework_.AddHostObject(GUID_ChannelCalcMessages, 1, &calcSources_);
    framework_.AddHostClass(CLSID_ChartDataFactory, &chartDataFactory_);
    chartDataFactory_.SetHost(this);
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
    IUnknown* objects[4] = {static_cast<ICAFFramework*>(&framework_), &tests_, &application_, &chartDataFactory_};
    const CLSID* classes[4] = {&CLSID_CAFFrameWork, &CLSID_UnitTestRegistry, &CLSID_ApplicationService,
                               &CLSID_ChartDataFactory};
    for (int i = 0; i < 4; ++i) {
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
    // The library stays resident after an unload (dlclose keeps it): a reload attaches it again, as loading it
    // afresh would.
    LibraryEntry(library, DLL_ATTACH_NOTICE);
    const HRESULT hr = registerClasses(static_cast<ICAFFramework*>(&framework_));
    log_.Record("host", "Registered", Hex(static_cast<unsigned>(hr)));
    return hr;
}

void Host::UnloadModule()
{
    if (!module_) {
        return;
    }
    // The module's objects must be gone before its code is, and the module lets go of the host's services while
    // they still exist.
    framework_.DropRegistrations();
    tests_.Drop();
    LibraryEntry(module_, DLL_DETACH_NOTICE);
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
    if (clsid == CLSID_ChartDataFactory) {
        return library.ChartDataClass().QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}
