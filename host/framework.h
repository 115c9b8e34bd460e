// The host framework's class object: class registration, host objects by id, type ids, the message factory,
// the event manager, the message dispatcher and the observer service.
#pragma once

#include "host/calllog.h"
#include "host/comobject.h"
#include "host/docframework.h"
#include "host/printservice.h"
#include "host/progressdisplay.h"
#include "host/scalecontrol.h"
#include "host/settingsfile.h"
#include "sdk/cafframework.h"
#include "sdk/messagefactory.h"

#include <deque>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

struct IKVOString;

namespace host {

enum class ClassKind { Calculation, EventDraw, Document, View, Other };

struct RegisteredClass {
    DWORD typeId = 0;
    ClassKind kind = ClassKind::Other;
    std::u16string name;                  // the calculation's registered name, empty for other classes
    std::vector<std::u16string> aliases;  // the calculation's aliases
    platform::ComPtr<IUnknown> object;
};

// A text from a host string object; the reference is consumed.
std::u16string TakeText(IKVOString* text);

class HostSettingsStore final : public IHostSettingsStore, private HostOwned {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT MakeKey(DWORD id, DWORD reserved, IUnknown** key) override;
    // The host's own values that outlive a session.
    SettingsFile& Values() { return values_; }

private:
    SettingsFile values_;
};

class Framework final : public ICAFFramework,
                        public ITypeIdRegistry,
                        public IMessageFactory,
                        public IEventManager,
                        public IMessageDispatcher,
                        public IObserverService,
                        private HostOwned {
public:
    explicit Framework(CallLog& log) : log_(log) {}
    ~Framework();

    // IUnknown (one identity for all interfaces)
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    using HostOwned::References;

    // ICAFFramework
    HRESULT GetObject(DWORD id, REFIID iid, void** out) override;
    HRESULT Register(IUnknown* classObject) override;
    // ITypeIdRegistry
    HRESULT GetShortId(const GUID* guid, WORD* id) override;
    HRESULT GetTypeIdText(DWORD typeId, BSTR* text) override;
    HRESULT CreateFromText(LONG reserved, IKVOString* text, IUnknown** out) override;
    // IMessageFactory
    HRESULT Register(DWORD reserved, IMsgIdMessageClassObject* classObject) override;
    // IEventManager
    HRESULT Attach(ISubject* subject, IObserver* observer) override;
    HRESULT Notify(ISubject* subject, DWORD value) override;
    HRESULT Notify2(ISubject* subject, DWORD value1, DWORD value2) override;
    HRESULT RegisterFor(ISubject* subject, IObserver* observer, DWORD eventId, DWORD flags) override;
    HRESULT Unregister(IObserver* observer) override;
    HRESULT SendToObservers(ISubject* subject, DWORD eventId, const void* data) override;
    HRESULT Detach(ISubject* subject, IObserver* observer) override;
    // IMessageDispatcher
    HRESULT Send(IMessage* message, DWORD value) override;
    // IObserverService
    HRESULT Report(DWORD code, IObjInfo* object) override;

    // What the module registered, in registration order.
    const std::vector<RegisteredClass>& Classes() const { return classes_; }
    const RegisteredClass* FindClass(DWORD typeId) const;
    // A calculation by registered name or alias, case-insensitively.
    const RegisteredClass* FindCalculation(std::u16string_view nameOrAlias) const;
    const std::vector<platform::ComPtr<IMsgIdMessageClassObject>>& MessageClasses() const { return messageClasses_; }
    // The id given to a GUID so far (0 when never asked).
    WORD KnownTypeId(const GUID& guid) const;
    // Releases every registered class and message class (before the module is unloaded).
    void DropRegistrations();
    // Refuse every registration from now on (the module must not care).
    void SetRefuseRegistrations(bool refuse) { refuse_ = refuse; }
    // The graph library's shared service (scale controls).
    GraphService& Graphs() { return graphs_; }
    // Refuse every type-id request from now on.
    void SetRefuseTypeIds(bool refuse) { refuseTypeIds_ = refuse; }
    // The host's own class object for a class id: GetObject hands it out under the class id's type id (once that
    // has been asked for). Kept over module loads; no reference.
    void AddHostClass(const GUID& classId, IUnknown* object) { hostClasses_.emplace_back(classId, object); }
    // A host object that GetObject hands out under (the family's type id | n) for the interfaces it answers;
    // asked before the host classes, and passed over when it does not answer. Kept over module loads; no reference.
    void AddHostObject(const GUID& family, WORD n, IUnknown* object) { hostObjects_.push_back({family, n, object}); }
    // A calculation of the host's own, found by name after the module's; kept over module loads.
    void AddHostCalculation(std::u16string name, IUnknown* object);
    // The document framework's objects: message bus, menus, commands, registrations, view classes.
    DocumentFramework& Documents() { return documents_; }
    // The copy-notice service (object 0x8000001A), unless the host is made to lack it.
    CopyNotifyService& CopyNotices() { return *copyNotices_.Get(); }
    void SetCopyNoticesOffered(bool offered) { copyNoticesOffered_ = offered; }
    // Delivers an event of a subject to every observer registered for it (or attached to the subject).
    void FireEvent(ISubject* subject, DWORD eventId, DWORD value, const void* data);
    // The object factory that makes progress displays (answered under the chart family's object id 16).
    ProgressFactory& Progress() { return progress_; }
    // The host-wide settings store (IHostSettingsStore) with its values that outlive a session.
    HostSettingsStore& SettingsStore() { return settings_; }
    // The observers registered for one event id of a subject.
    std::size_t RegisteredObservers(ISubject* subject, DWORD eventId) const;

private:
    CallLog& log_;
    HostSettingsStore settings_;
    GraphService graphs_;
    ProgressFactory progress_{log_};
    // Short type ids are given in turn from kFirstTypeId and never taken back.
    static constexpr WORD kFirstTypeId = 0x1001;
    std::unordered_map<GUID, WORD> typeIds_;
    std::vector<GUID> families_; // by short id - kFirstTypeId
    WORD nextTypeId_ = kFirstTypeId;
    const GUID* FamilyOf(WORD shortId) const;
    std::vector<RegisteredClass> classes_;

    std::map<std::u16string, std::size_t> calcByName_;
    std::vector<platform::ComPtr<IMsgIdMessageClassObject>> messageClasses_;
    bool refuse_ = false;
    bool refuseTypeIds_ = false;
    std::vector<std::pair<GUID, IUnknown*>> hostClasses_;
    struct HostObject {
        GUID family;
        WORD n;
        IUnknown* object;
    };
    std::vector<HostObject> hostObjects_;
    std::deque<RegisteredClass> hostCalculations_;
    DocumentFramework documents_{log_};
    platform::ComPtr<CopyNotifyService> copyNotices_ = CopyNotifyService::Create(log_);
    bool copyNoticesOffered_ = true;
    struct EventRegistration {
        ISubject* subject;
        IObserver* observer;
        DWORD eventId;
        bool allEvents;
    };
    std::vector<EventRegistration> events_; // no references: observers unregister before they go
};

} // namespace host
