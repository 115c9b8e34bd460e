#include "frame/hostservices.h"

#include "document/messageids.h"
#include "foundation/frameworklibrary.h"
#include "foundation/hostlink.h"
#include "foundation/xkvo.h"
#include "frame/typeid.h"
#include "sdk/chartdata.h"
#include "platform/com/classobjects.h"

#include <cstdlib>
#include <mutex>

namespace CAF {

namespace {

constexpr DWORD kSpinCount = 4000;

// The two OLE start-up flags: set once, without a lock (the first call of an accessor is not raced).
bool oleInitialised = false;
bool frameworkLoaded = false;

void UninitializeOle() { OleUninitialize(); }

class SectionLock {
public:
    explicit SectionLock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
    SectionLock(const SectionLock&) = delete;
    SectionLock& operator=(const SectionLock&) = delete;
    ~SectionLock() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION& section_;
};

// The slots that hold a reference, most recently filled first.
std::mutex holdingLock;
ServiceCache* firstHolding = nullptr;

} // namespace

ServiceCache::~ServiceCache()
{
    {
        std::lock_guard<std::mutex> lock(holdingLock);
        for (ServiceCache** link = &firstHolding; *link; link = &(*link)->nextHolding_) {
            if (*link == this) {
                *link = nextHolding_;
                break;
            }
        }
    }
    if (sectionCreated_) {
        DeleteCriticalSection(&section_);
        sectionCreated_ = false;
    }
}

void ServiceCache::Release()
{
    {
        std::lock_guard<std::mutex> lock(holdingLock);
        for (ServiceCache** link = &firstHolding; *link; link = &(*link)->nextHolding_) {
            if (*link == this) {
                *link = nextHolding_;
                break;
            }
        }
        nextHolding_ = nullptr;
        holding_ = false;
    }
    if (void* held = cache_.exchange(nullptr, std::memory_order_acq_rel)) {
        static_cast<IUnknown*>(held)->Release();
    }
}

void ReleaseServices()
{
    for (;;) {
        ServiceCache* cache = nullptr;
        {
            std::lock_guard<std::mutex> lock(holdingLock);
            cache = firstHolding;
        }
        if (!cache) {
            return;
        }
        cache->Release();
    }
}

template <class Fetch>
void* ServiceCache::Get(Fetch fetch)
{
    if (!sectionCreated_) {
        sectionCreated_ = true;
        InitializeCriticalSectionAndSpinCount(&section_, kSpinCount);
    }
    if (void* cached = cache_.load(std::memory_order_acquire)) {
        return cached;
    }
    SectionLock lock(section_);
    if (!cache_.load(std::memory_order_relaxed)) {
        IUnknown* fetched = fetch();
        if (fetched) {
            // The cache keeps the fetch's reference until the module is detached.
            cache_.store(fetched, std::memory_order_release);
            std::lock_guard<std::mutex> guard(holdingLock);
            if (!holding_) {
                holding_ = true;
                nextHolding_ = firstHolding;
                firstHolding = this;
            }
        }
    }
    return cache_.load(std::memory_order_acquire);
}

void* ServiceCache::FromClassObject(REFCLSID clsid, REFIID iid)
{
    return Get([&]() -> IUnknown* {
        void* out = nullptr;
        HRESULT hr = CoGetClassObject(clsid, CLSCTX_ALL, nullptr, iid, &out);
        if (FAILED(hr) || !out) {
            EnsureFrameworkRegistered();
            out = nullptr;
            hr = CoGetClassObject(clsid, CLSCTX_ALL, nullptr, iid, &out);
        }
        return SUCCEEDED(hr) ? static_cast<IUnknown*>(out) : nullptr;
    });
}

void* ServiceCache::FromFramework(DWORD objectId, REFIID iid)
{
    return Get([&]() -> IUnknown* {
        ICAFFramework* framework = GetFrameworkClassObject();
        if (!framework) {
            return nullptr;
        }
        void* out = nullptr;
        const HRESULT hr = framework->GetObject(objectId, iid, &out);
        return SUCCEEDED(hr) ? static_cast<IUnknown*>(out) : nullptr;
    });
}

void EnsureFrameworkRegistered()
{
    void* probe = nullptr;
    if (SUCCEEDED(CoGetClassObject(CLSID_CAFFrameWork, CLSCTX_ALL, nullptr, IID_IUnknown, &probe)) && probe) {
        static_cast<IUnknown*>(probe)->Release();
        return;
    }
    if (!oleInitialised) {
        oleInitialised = true;
        const HRESULT hr = OleInitialize(nullptr);
        // S_FALSE means OLE was initialised already on this thread: that is success, and it must be balanced.
        if (FAILED(hr)) {
            throw XKVO(hr);
        }
        std::atexit(UninitializeOle);
    }
    if (!frameworkLoaded) {
        frameworkLoaded = true;
        KVO::LoadFrameworkClassObject();
        std::atexit(KVO::FreeFrameworkLibrary);
    }
}

ICAFFramework* GetFrameworkClassObject()
{
    static ServiceCache cache;
    return static_cast<ICAFFramework*>(cache.FromClassObject(CLSID_CAFFrameWork, IID_ICAFFramework));
}

ITypeIdRegistry* GetTypeIdRegistry()
{
    static ServiceCache cache;
    return static_cast<ITypeIdRegistry*>(cache.FromClassObject(CLSID_CAFFrameWork, IID_ITypeIdRegistry));
}

IUnitTestRegistry* GetTestRegistry()
{
    static ServiceCache cache;
    return static_cast<IUnitTestRegistry*>(cache.FromClassObject(CLSID_UnitTestRegistry, IID_IUnitTestRegistry));
}

IEventManager* GetEventManager()
{
    static ServiceCache cache;
    return static_cast<IEventManager*>(cache.FromClassObject(CLSID_CAFFrameWork, IID_IEventManager));
}

IMessageDispatcher* GetMessageDispatcher()
{
    static ServiceCache cache;
    return static_cast<IMessageDispatcher*>(cache.FromClassObject(CLSID_CAFFrameWork, IID_IMessageDispatcher));
}

IObserverService* GetObserverClassObject()
{
    static ServiceCache cache;
    return static_cast<IObserverService*>(cache.FromClassObject(CLSID_CAFFrameWork, IID_IObserverService));
}

IMessageBus* GetMessageBus()
{
    static ServiceCache cache;
    return static_cast<IMessageBus*>(cache.FromFramework(ObjectId::kMessageBus, IID_IMessageBus));
}

IHostSettingsStore* GetHostSettingsStore()
{
    static ServiceCache cache;
    return static_cast<IHostSettingsStore*>(cache.FromFramework(ObjectId::kSettingsStore, IID_IHostSettingsStore));
}

ICommandService* GetCommandService()
{
    static ServiceCache cache;
    return static_cast<ICommandService*>(cache.FromFramework(ObjectId::kCommandService, IID_ICommandService));
}

IMenuService* GetMenuService()
{
    static ServiceCache cache;
    return static_cast<IMenuService*>(cache.FromFramework(ObjectId::kMenuService, IID_IMenuService));
}

WORD GetExtensionShortId() { return TypeIdRegistration<&CLSID_LoopmetryExtension>::Get(); }

DWORD GetExtensionTypeId() { return TypeIdClass<&CLSID_LoopmetryExtension, 0>::Get(); }

platform::ComPtr<ILMDocExtension> GetDocumentExtension(IUnknown* hostDocument)
{
    platform::ComPtr<ILMDocExtension> extension;
    if (!hostDocument) {
        return extension;
    }
    platform::ComPtr<IDocumentSite> site;
    if (FAILED(hostDocument->QueryInterface(IID_IDocumentSite, site.OutVoid())) || !site) {
        return extension;
    }
    platform::ComPtr<IUnknown> object;
    if (FAILED(site->GetExtension(GetExtensionTypeId(), 0, object.Out())) || !object) {
        return extension;
    }
    if (FAILED(object->QueryInterface(IID_ILMDocExtension, extension.OutVoid()))) {
        extension.Reset();
    }
    return extension;
}

WORD RequestTypeId(const GUID& guid)
{
    ITypeIdRegistry* registry = GetTypeIdRegistry();
    WORD id = 0;
    if (!registry || FAILED(registry->GetShortId(&guid, &id))) {
        return 0;
    }
    return id;
}

} // namespace CAF

namespace CX::Host {

IApplicationService* GetApplicationService()
{
    static CAF::ServiceCache cache;
    return static_cast<IApplicationService*>(cache.FromClassObject(CLSID_ApplicationService, IID_IApplicationService));
}

IUnitService* GetCachedHostObject()
{
    static CAF::ServiceCache cache;
    return static_cast<IUnitService*>(cache.FromFramework(ChannelCalcBase::GetRegisteredTypeId(), IID_IUnitService));
}

} // namespace CX::Host

namespace {
// The base library reaches these services only through what the frame hands in when the module is loaded.
[[maybe_unused]] const bool hostLinkGiven = [] {
    KVO::SetHostLink({&CX::Host::GetCachedHostObject, &CX::Host::GetApplicationService, &CAF::GetTypeIdRegistry});
    return true;
}();
}

namespace ChartData {

platform::ComPtr<IUnknown> GetChannelDataInterface()
{
    static CAF::ServiceCache cache;
    auto* factory = static_cast<IChartDataFactory*>(
        cache.FromFramework(TypeIdClass<&CLSID_ChartDataFactory, 0>::Get(), IID_IChartDataFactory));
    platform::ComPtr<IUnknown> chartData;
    if (factory && FAILED(factory->CreateChartData(0, IID_IChannelData, chartData.OutVoid()))) {
        chartData.Reset();
    }
    return chartData;
}

} // namespace ChartData
