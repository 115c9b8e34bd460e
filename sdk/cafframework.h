// The host framework: the framework class object and the process-wide services that share its class id.
#pragma once

#include "platform/com/unknown.h"
#include "sdk/hostservices.h"
#include "sdk/slots.h"

// {D90AB8B1-FBAE-470D-9B75-130B197E05FC}
inline constexpr CLSID CLSID_CAFFrameWork{0xD90AB8B1, 0xFBAE, 0x470D, {0x9B, 0x75, 0x13, 0x0B, 0x19, 0x7E, 0x05, 0xFC}};
// {D1D1BF8E-831B-467F-94C9-6CE7AA2D7994}
inline constexpr IID IID_ICAFFramework{0xD1D1BF8E, 0x831B, 0x467F, {0x94, 0xC9, 0x6C, 0xE7, 0xAA, 0x2D, 0x79, 0x94}};
// {ED54FE0E-3C7A-4DE7-B70C-8CE44F444AAB}
inline constexpr IID IID_IEventManager{0xED54FE0E, 0x3C7A, 0x4DE7, {0xB7, 0x0C, 0x8C, 0xE4, 0x4F, 0x44, 0x4A, 0xAB}};
// {423E482B-3EA9-44A7-BDC1-8C5B190CF1C1}
inline constexpr IID IID_IMessageDispatcher{
    0x423E482B, 0x3EA9, 0x44A7, {0xBD, 0xC1, 0x8C, 0x5B, 0x19, 0x0C, 0xF1, 0xC1}};
// {D320A13D-30C5-4258-9756-D6B64A018EA3}
inline constexpr IID IID_IObserverService{0xD320A13D, 0x30C5, 0x4258, {0x97, 0x56, 0xD6, 0xB6, 0x4A, 0x01, 0x8E, 0xA3}};
// {1A54DE76-D931-4E9D-90DC-B314F2E64AA5}
inline constexpr IID IID_IHostSettingsStore{
    0x1A54DE76, 0xD931, 0x4E9D, {0x90, 0xDC, 0xB3, 0x14, 0xF2, 0xE6, 0x4A, 0xA5}};

// Fixed ids of the host objects that the framework class object hands out (ICAFFramework::GetObject).
namespace CAF::ObjectId {
inline constexpr DWORD kMessageBus = 0x80000007;
inline constexpr DWORD kSettingsStore = 0x8000000A;
inline constexpr DWORD kViewClassRegistry = 0x8000000F;
inline constexpr DWORD kDocumentRegistration = 0x80000011;
inline constexpr DWORD kDocumentClassRegistration = 0x80000012;
inline constexpr DWORD kMenuService = 0x80000013;
inline constexpr DWORD kCommandService = 0x80000014;
inline constexpr DWORD kGraphService = 0x80000019; // the graph library's shared service (IGraphHostService)
}

// The framework class object: host objects by fixed id or by the type id of a registered class, and the
// registration of the module's class objects.
struct ICAFFramework : IUnknown {
    SDK_UNUSED_SLOT(3)
    SDK_UNUSED_SLOT(4)
    // 5: a fixed object id or a registered class's type id; the object queried for iid, or a failure and null.
    virtual HRESULT GetObject(DWORD id, REFIID iid, void** out) = 0;
    // 6: registers a class object; the framework asks it for its type id (ICAFClassObject slot 3).
    virtual HRESULT Register(IUnknown* classObject) = 0;

protected:
    ~ICAFFramework() = default;
};

struct ISubject;
struct IObserver;

// Observer registrations between subjects and observers; the module's subjects forward to it.
struct IEventManager : IUnknown {
    virtual HRESULT Attach(ISubject* subject, IObserver* observer) = 0;                     // 3
    virtual HRESULT Notify(ISubject* subject, DWORD value) = 0;                             // 4
    virtual HRESULT Notify2(ISubject* subject, DWORD value1, DWORD value2) = 0;             // 5
    // 6: hands (eventId, data) to every observer of the subject (IObserver::Notify with value 0).
    virtual HRESULT SendToObservers(ISubject* subject, DWORD eventId, const void* data) = 0;
    // 7: the observer no longer hears the subject; a null observer detaches every observer of the subject.
    virtual HRESULT Detach(ISubject* subject, IObserver* observer) = 0;
    virtual HRESULT RegisterFor(ISubject* subject, IObserver* observer, DWORD eventId, DWORD flags) = 0; // 8
    SDK_UNUSED_SLOT(9)
    virtual HRESULT Unregister(IObserver* observer) = 0;                                    // 10

protected:
    ~IEventManager() = default;
};

struct IMessage;

struct IMessageDispatcher : IUnknown {
    virtual HRESULT Send(IMessage* message, DWORD value) = 0; // 3

protected:
    ~IMessageDispatcher() = default;
};

struct IObjInfo;

// Views report their creation (0x80030000) and destruction (0x80030003).
struct IObserverService : IUnknown {
    virtual HRESULT Report(DWORD code, IObjInfo* object) = 0; // 3

protected:
    ~IObserverService() = default;
};

namespace CAF::ObserverCode {
inline constexpr DWORD kViewCreated = 0x80030000;
inline constexpr DWORD kViewDestroyed = 0x80030003;
}

// {6B1F0E21-4C3D-4A57-8E92-1D0C5A7B3E40}
inline constexpr IID IID_ISettingKey{0x6B1F0E21, 0x4C3D, 0x4A57, {0x8E, 0x92, 0x1D, 0x0C, 0x5A, 0x7B, 0x3E, 0x40}};
// {6B1F0E22-4C3D-4A57-8E92-1D0C5A7B3E40}
inline constexpr IID IID_IPropertySource{
    0x6B1F0E22, 0x4C3D, 0x4A57, {0x8E, 0x92, 0x1D, 0x0C, 0x5A, 0x7B, 0x3E, 0x40}};

// A key of the host's settings, made by the settings store for a setting id.
struct ISettingKey : IUnknown {
    virtual HRESULT GetId(DWORD* id) = 0; // 3

protected:
    ~ISettingKey() = default;
};

// Settings values read by key (a host document's display settings, for one); a value that is not set fails and
// leaves the output as it was.
struct IPropertySource : IUnknown {
    virtual HRESULT GetInteger(IUnknown* key, LONG* value) = 0; // 3
    virtual HRESULT GetWord(IUnknown* key, WORD* value) = 0;    // 4
    virtual HRESULT GetDword(IUnknown* key, DWORD* value) = 0;  // 5

protected:
    ~IPropertySource() = default;
};

// Host-wide settings values.
struct IHostSettingsStore : IUnknown {
    // 3: the key of a setting id (`reserved` is 0), with one reference.
    virtual HRESULT MakeKey(DWORD id, DWORD reserved, IUnknown** key) = 0;

protected:
    ~IHostSettingsStore() = default;
};
