// The host's CAF bus as both sides see it: messages and their handlers, commands and their states, subjects and
// observers, and the object-information interface that views carry.
#pragma once

#include "platform/com/oleauto.h"
#include "sdk/slots.h"

inline constexpr IID IID_IMessage{0xA249E4CD, 0x6B09, 0x489F, {0x87, 0x66, 0xCA, 0x60, 0x0D, 0x09, 0xC7, 0x75}};
inline constexpr IID IID_IMessageHandler{0xCB9FC397, 0xE06F, 0x4BBC, {0x8D, 0xD2, 0xDB, 0x5D, 0xDE, 0x76, 0xC8, 0x29}};
inline constexpr IID IID_ICAFCommandHandler{0x749E6D69, 0x7D85, 0x4715, {0x9B, 0xD9, 0x65, 0x77, 0x74, 0x2C, 0xCC, 0xF1}};
inline constexpr IID IID_ICommandState{0xE69C0817, 0x3A3D, 0x40F5, {0x9B, 0x45, 0x5C, 0x83, 0x9C, 0x8B, 0x99, 0x24}};
inline constexpr IID IID_IObserver{0x1951C9C3, 0xB1FF, 0x4C66, {0x9C, 0xFB, 0x71, 0x8C, 0x42, 0x37, 0x77, 0xF5}};
inline constexpr IID IID_ISubject{0xE3F96217, 0x96CE, 0x4960, {0x80, 0x85, 0x74, 0xEB, 0x12, 0x23, 0x0A, 0xEE}};
inline constexpr IID IID_IObserverSink{0x253FBA87, 0x6009, 0x4098, {0x97, 0xC9, 0x82, 0x47, 0x4C, 0xD0, 0x46, 0x43}};
inline constexpr IID IID_IObjInfo{0xD89F1014, 0x3D61, 0x43C9, {0xAA, 0xD4, 0x62, 0xC4, 0x22, 0x39, 0x3C, 0x15}};

// A CAF message. The sender part is the sending C++ object, named so that a handler can refuse a message that it
// sent itself.
struct IMessage : IUnknown {
    SDK_UNUSED_SLOT(3)
    SDK_UNUSED_SLOT(4)
    virtual HRESULT GetTypeId(DWORD* typeId) = 0;                     // 5: the type id of the message's class
    virtual HRESULT GetId(DWORD* id) = 0;                             // 6
    virtual HRESULT GetFlags(DWORD* flags) = 0;                       // 7: kAsksSender = ask slot 11
    virtual HRESULT Clone(IMessage** out) = 0;                        // 8
    virtual HRESULT GetValue(VARIANT* value) = 0;                     // 9: a copy for the caller
    virtual HRESULT SetSender(const void* sender) = 0;                // 10: null clears it
    virtual HRESULT CheckSender(const void* sender, WORD* answer) = 0; // 11: 0 means the handler may take it

protected:
    ~IMessage() = default;
};

namespace CAF::MessageFlag {
inline constexpr DWORD kAsksSender = 8;
}

// A node of the message-handler tree. HandleMessage answers 1 when the message was taken, else 0.
struct IMessageHandler : IUnknown {
    virtual HRESULT HandleMessage(IMessage* message) = 0;       // 3
    virtual HRESULT AddHandler(IMessageHandler* handler) = 0;   // 4: 0
    virtual HRESULT RemoveHandler(IMessageHandler* handler) = 0; // 5: 0; 1 for null; E_FAIL when not a child
    virtual HRESULT SetParent(IMessageHandler* parent) = 0;     // 6
    virtual HRESULT GetOwner(IUnknown** owner) = 0;             // 7: with a reference
    virtual BOOL Accepts(IMessage* message) = 0;                // 8

protected:
    ~IMessageHandler() = default;
};

struct ICommandState;

// Commands by id; 0 means answered, 1 means no entry (the host then asks the next handler). The host's own command
// target of a document class has the same shape.
struct ICAFCommandHandler : IUnknown {
    virtual HRESULT Execute(DWORD commandId) = 0;                                   // 3
    virtual HRESULT QueryState(DWORD commandId, ICommandState* state) = 0;          // 4
    virtual HRESULT Dispatch(DWORD commandId, DWORD kind, LPARAM a, LPARAM b) = 0;  // 5

protected:
    ~ICAFCommandHandler() = default;
};

// The state of one command as an update request collects it.
struct ICommandState : IUnknown {
    virtual HRESULT SetText(const char16_t* text) = 0; // 3
    virtual HRESULT SetEnabled(WORD enabled) = 0;      // 4: 0xFFFF or 0
    // 5: the check mark (0 or 1) of the bits in `mask`; states without check marks answer E_NOTIMPL.
    virtual HRESULT SetCheck(WORD, WORD) { return E_NOTIMPL; }

protected:
    ~ICommandState() = default;
};

struct ISubject;

struct IObserver : IUnknown {
    virtual HRESULT RegisterWith(ISubject* subject) = 0;                                     // 3
    virtual HRESULT Notify(ISubject* subject, DWORD eventId, DWORD value, const void* data) = 0; // 4

protected:
    ~IObserver() = default;
};

// A subject; the module's subjects forward every operation to the host's event manager.
struct ISubject : IUnknown {
    virtual HRESULT Notify2(DWORD value1, DWORD value2) = 0;                            // 3
    virtual HRESULT Attach(IObserver* observer) = 0;                                    // 4
    virtual HRESULT Notify(DWORD value) = 0;                                            // 5
    virtual HRESULT RegisterFor(IObserver* observer, DWORD eventId, DWORD flags) = 0;   // 6

protected:
    ~ISubject() = default;
};

// Where a document's own notices go: the host passes them to the document's observers.
struct IObserverSink : IUnknown {
    virtual HRESULT Notify(DWORD eventId, const void* data) = 0; // 3

protected:
    ~IObserverSink() = default;
};

// The name of an object, for the host's object lists.
struct IObjInfo : IUnknown {
    virtual HRESULT GetName(BSTR* name) = 0;    // 3
    virtual const char* GetObjectName() = 0;    // 4: 8-bit

protected:
    ~IObjInfo() = default;
};
