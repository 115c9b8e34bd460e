// Cached accessors of the host's services. Each service is fetched on first use by class id (or by object id
// through the framework class object), kept in a static with one reference, and fetched again while it is missing.
// The references are given back when the module is detached (ReleaseServices).
#pragma once

#include "sdk/hostservices.h"
#include "sdk/cafframework.h"
#include "sdk/documentsite.h"
#include "sdk/hostobjects.h"
#include "sdk/messagefactory.h"
#include "sdk/recording.h"
#include "sdk/unittest.h"

#include <atomic>

namespace CAF {

// One cache slot: the interface pointer (one reference held), its critical section and whether that exists.
class ServiceCache {
public:
    constexpr ServiceCache() = default;
    ServiceCache(const ServiceCache&) = delete;
    ServiceCache& operator=(const ServiceCache&) = delete;
    // The exit routine: deletes the critical section. A reference still held is left with the host, which keeps
    // its services for the process: at exit the host's objects may already be gone.
    ~ServiceCache();

    // A class object's interface: CoGetClassObject with every class context; when that fails the framework is
    // made reachable (EnsureFrameworkRegistered) and the call made once more. Null while both fail.
    void* FromClassObject(REFCLSID clsid, REFIID iid);
    // A host object of the framework class object (its slot 5), asked once per call while missing.
    void* FromFramework(DWORD objectId, REFIID iid);
    void* Cached() const { return cache_.load(std::memory_order_acquire); }
    // Gives the reference back and empties the slot (the next call fetches again).
    void Release();

private:
    template <class Fetch>
    void* Get(Fetch fetch);

    std::atomic<void*> cache_{nullptr};
    CRITICAL_SECTION section_{};
    bool sectionCreated_ = false;
    // The slots that hold a reference, for ReleaseServices.
    ServiceCache* nextHolding_ = nullptr;
    bool holding_ = false;
};

// Gives back every reference that the accessors hold (the module is being detached from its host).
void ReleaseServices();

// Makes the framework class object reachable when no host registered it (as when self tests run outside the
// host): initialises OLE once and loads the framework library beside the executable once. Throws XKVO when OLE
// cannot be initialised or the framework library cannot be used.
void EnsureFrameworkRegistered();

ICAFFramework* GetFrameworkClassObject();
ITypeIdRegistry* GetTypeIdRegistry();
IUnitTestRegistry* GetTestRegistry();
inline IUnitTestRegistry* GetUnitTestRegistry() { return GetTestRegistry(); }
IEventManager* GetEventManager();
IMessageDispatcher* GetMessageDispatcher();
IObserverService* GetObserverClassObject();
IMessageBus* GetMessageBus();
IHostSettingsStore* GetHostSettingsStore();
ICommandService* GetCommandService();
IMenuService* GetMenuService();

// The host's 16-bit id of the Loopmetry extension's identifier, asked once; and that id << 16.
WORD GetExtensionShortId();
DWORD GetExtensionTypeId();
// The Loopmetry extension's object of a host document, with one reference; empty when the document has none.
platform::ComPtr<ILMDocExtension> GetDocumentExtension(IUnknown* hostDocument);

} // namespace CAF

namespace ChartData {
// New chart data of the host through its chart-data class object (found once and kept), queried for its
// channel-data interface, with one reference for the caller; null when the host offers none.
platform::ComPtr<IUnknown> GetChannelDataInterface();
}

namespace CX::Host {
IApplicationService* GetApplicationService();
// The host's unit service, the framework object under the channel calculation's type id.
IUnitService* GetCachedHostObject();
}

// A class object's interface by class id, cached as above (the message factory is reached this way).
template <class I, const CLSID* Clsid, const IID* Iid>
struct COMClassObjectAccessor {
    static I* Get()
    {
        static CAF::ServiceCache cache;
        return static_cast<I*>(cache.FromClassObject(*Clsid, *Iid));
    }
};

using MessageFactoryAccessor = COMClassObjectAccessor<IMessageFactory, &CLSID_CAFFrameWork, &IID_IMessageFactory>;
