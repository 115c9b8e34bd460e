// Module objects on the host's CAF bus: message senders, message handlers with child handlers, handlers that answer
// commands, notices and messages from their class's tables, the COM proxy through which an OWL window answers, and
// subjects that forward to the host's event manager.
#pragma once

#include "foundation/arrays.h"
#include "foundation/comobject.h"
#include "frame/messagemap.h"
#include "sdk/docview.h"

#include <vector>

namespace CAF {

// A message to be created by the host's message bus: its id, flags and value.
struct MessageDescription {
    DWORD id = 0;
    DWORD flags = 0;
    VARIANT value{};
};

class CAFMessageSender {
public:
    // With `hold` the owner is also the target, with one reference.
    CAFMessageSender(IUnknown* owner, bool hold);
    CAFMessageSender(const CAFMessageSender&) = delete;
    CAFMessageSender& operator=(const CAFMessageSender&) = delete;
    virtual ~CAFMessageSender();

    // Hands the message to the host's dispatcher with this sender named on it for the duration of the call;
    // the dispatcher's result, or E_FAIL when disabled or when there is no dispatcher.
    virtual HRESULT Send(DWORD value, IMessage* message);
    // Releases the target and forgets the owner.
    virtual void ClearTarget();

    // Has the host's message bus create the message, then sends it.
    HRESULT SendFrameworkMessage(DWORD value, const MessageDescription& description, DWORD extraFlags);
    HRESULT SendFrameworkMessageEx(DWORD value, const MessageDescription& description, DWORD extraFlags, LPARAM a,
                                   LPARAM b);

    IUnknown* SenderOwner() const { return owner_; }
    IUnknown* SenderTarget() const { return target_.Get(); }
    bool SenderEnabled() const { return enabled_ != 0; }
    void SetSenderEnabled(bool enabled) { enabled_ = enabled ? 1 : 0; }

protected:
    // Owner and target (held) become `owner`.
    void TakeOwner(IUnknown* owner);
    void SetOwnerOnly(IUnknown* owner) { owner_ = owner; }

private:
    IUnknown* owner_;
    platform::ComPtr<IUnknown> target_;
    BYTE enabled_ = 1;
};

// IMessageHandler over a list of child handlers. The concrete object supplies IUnknown.
class CAFMessageHandler : public IMessageHandler, public CAFMessageSender {
public:
    CAFMessageHandler();
    ~CAFMessageHandler() override;

    HRESULT HandleMessage(IMessage* message) override;
    HRESULT AddHandler(IMessageHandler* handler) override;
    HRESULT RemoveHandler(IMessageHandler* handler) override;
    HRESULT SetParent(IMessageHandler* parent) override;
    HRESULT GetOwner(IUnknown** owner) override;
    BOOL Accepts(IMessage* message) override;

    IMessageHandler* ParentHandler() const { return parent_; }
    std::uint32_t ChildCount() const { return children_.Count(); }

protected:
    // The child handlers in list order: the first that takes the message ends the walk with 1.
    HRESULT OfferToChildren(IMessage* message);

private:
    InterfaceArray<IMessageHandler> children_;
    IMessageHandler* parent_ = nullptr;
};

// Unregisters an observer from the host's event manager.
void UnregisterObserver(IObserver* observer);

template <int N>
class CAFEventHandlerT;

// Commands, notices and messages answered from the object's tables (documents and document classes).
template <>
class CAFEventHandlerT<1> : public ICAFCommandHandler,
                            public IObserver,
                            public CAFEventHandlerBase,
                            public CAFMessageHandler {
public:
    CAFEventHandlerT() = default;
    ~CAFEventHandlerT() override;

    HRESULT Execute(DWORD commandId) override;
    HRESULT QueryState(DWORD commandId, ICommandState* state) override;
    HRESULT Dispatch(DWORD commandId, DWORD kind, LPARAM a, LPARAM b) override;
    HRESULT RegisterWith(ISubject* subject) override;
    HRESULT Notify(ISubject* subject, DWORD eventId, DWORD value, const void* data) override;
    // Refused: 0; the table's message entries: 1; else the child handlers.
    HRESULT HandleMessage(IMessage* message) override;
};

class CAFCppEventHandler;

// The COM side of an OWL window's handler: answers for the linked window handler, neutrally while unlinked.
class CAFProxyEventHandlerBase : public ICAFCommandHandler, public IObserver, public CAFMessageHandler {
public:
    ~CAFProxyEventHandlerBase() override;

    HRESULT Execute(DWORD commandId) override;
    HRESULT QueryState(DWORD commandId, ICommandState* state) override;
    HRESULT Dispatch(DWORD commandId, DWORD kind, LPARAM a, LPARAM b) override;
    HRESULT RegisterWith(ISubject* subject) override;
    HRESULT Notify(ISubject* subject, DWORD eventId, DWORD value, const void* data) override;
    HRESULT HandleMessage(IMessage* message) override;

    CAFCppEventHandler* LinkedHandler() const { return linked_; }

protected:
    // Clears the link of both sides (the window handler releases this proxy).
    void Unlink();

private:
    friend class CAFCppEventHandler;
    CAFCppEventHandler* linked_ = nullptr;
};

class CAFProxyEventHandler final : public CAFProxyEventHandlerBase, public KVO::CComObjectRoot {
public:
    // Created with a count of 0.
    CAFProxyEventHandler() = default;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }
};

// The handler part of an OWL window: its tables, its sender, and the subjects it observes through its proxy.
class CAFCppEventHandler : public CAFEventHandlerBase, public CAFMessageSender {
public:
    CAFCppEventHandler();
    ~CAFCppEventHandler() override;

    // Links the proxy (releasing a previous one): the proxy's owner becomes this sender's owner and target, and
    // every subject added so far gets the proxy's observer attached.
    void ConnectProxy(CAFProxyEventHandlerBase* proxy);
    // Attaches the proxy's observer at once when linked, and remembers the subject (without a reference).
    void AddSubject(ISubject* subject);

    CAFProxyEventHandlerBase* Proxy() const { return proxy_; }
    IObserver* ProxyObserver() const { return proxyObserver_.Get(); }
    const std::vector<ISubject*>& Subjects() const { return subjects_; }

private:
    friend class CAFProxyEventHandlerBase;
    void DropProxy();

    CAFProxyEventHandlerBase* proxy_ = nullptr;
    platform::ComPtr<IObserver> proxyObserver_;
    std::vector<ISubject*> subjects_;
};

// A subject without state: every operation goes to the host's event manager with the subject itself.
class CAFSubject : public ISubject {
public:
    CAFSubject() = default;
    CAFSubject(const CAFSubject&) = delete;
    CAFSubject& operator=(const CAFSubject&) = delete;
    // A subject that goes leaves no registration behind in the host's event manager.
    virtual ~CAFSubject();
    // (eventId, data) to the subject's observers through the host's event manager.
    HRESULT SendToObservers(DWORD eventId, const void* data);
    HRESULT Detach(IObserver* observer);

    HRESULT Notify2(DWORD value1, DWORD value2) override;
    HRESULT Attach(IObserver* observer) override;
    HRESULT Notify(DWORD value) override;
    HRESULT RegisterFor(IObserver* observer, DWORD eventId, DWORD flags) override;

    // Where a pane stands among the host's views, as the view itself reports it: the document's identity and the
    // view's value A or'ed with its value B shifted left 16 bits (B is 0 when the view offers no IDocView2).
    static HRESULT GetPosition(IHostDocument* document, IUnknown* view, DWORD* identity, DWORD* pair);
};

} // namespace CAF
