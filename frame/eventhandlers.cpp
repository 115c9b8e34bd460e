#include "frame/eventhandlers.h"

#include "foundation/xkvo.h"
#include "frame/hostservices.h"

#include <algorithm>

namespace CAF {

// ---- CAFMessageSender

CAFMessageSender::CAFMessageSender(IUnknown* owner, bool hold) : owner_(owner)
{
    if (hold) {
        target_ = platform::ComPtr<IUnknown>(owner);
    }
}

CAFMessageSender::~CAFMessageSender() = default;

HRESULT CAFMessageSender::Send(DWORD value, IMessage* message)
{
    if (!enabled_) {
        return E_FAIL;
    }
    IMessageDispatcher* dispatcher = GetMessageDispatcher();
    if (!dispatcher || !message) {
        return E_FAIL;
    }
    platform::ComPtr<IMessage> held(message);
    held->SetSender(this);
    const HRESULT result = dispatcher->Send(held.Get(), value);
    held->SetSender(nullptr);
    return result;
}

void CAFMessageSender::ClearTarget()
{
    target_.Reset();
    owner_ = nullptr;
}

void CAFMessageSender::TakeOwner(IUnknown* owner)
{
    owner_ = owner;
    target_ = platform::ComPtr<IUnknown>(owner);
}

HRESULT CAFMessageSender::SendFrameworkMessage(DWORD value, const MessageDescription& description, DWORD extraFlags)
{
    return SendFrameworkMessageEx(value, description, extraFlags, 0, 0);
}

HRESULT CAFMessageSender::SendFrameworkMessageEx(DWORD value, const MessageDescription& description,
                                                 DWORD extraFlags, LPARAM a, LPARAM b)
{
    IMessageBus* bus = GetMessageBus();
    if (!bus) {
        return E_FAIL;
    }
    platform::ComPtr<IMessage> message;
    const HRESULT created =
        bus->Create(description.id, description.flags | extraFlags, a, b, 0, &description.value, message.Out());
    if (FAILED(created) || !message) {
        return FAILED(created) ? created : E_FAIL;
    }
    return Send(value, message.Get());
}

// ---- CAFMessageHandler

CAFMessageHandler::CAFMessageHandler()
    : CAFMessageSender(nullptr, false), children_(8, 8, true)
{
    SetOwnerOnly(static_cast<IMessageHandler*>(this));
}

CAFMessageHandler::~CAFMessageHandler()
{
    if (IMessageHandler* parent = parent_) {
        parent_ = nullptr;
        parent->RemoveHandler(this);
    }
    for (IMessageHandler* child : children_) {
        if (child) {
            child->SetParent(nullptr);
        }
    }
    children_.RemoveAll();
}

HRESULT CAFMessageHandler::OfferToChildren(IMessage* message)
{
    // A child may remove itself while it handles the message: walk a held copy of the list.
    std::vector<platform::ComPtr<IMessageHandler>> children(children_.begin(), children_.end());
    for (const auto& child : children) {
        if (child && child->HandleMessage(message) != 0) {
            return 1;
        }
    }
    return 0;
}

HRESULT CAFMessageHandler::HandleMessage(IMessage* message) { return OfferToChildren(message); }

HRESULT CAFMessageHandler::AddHandler(IMessageHandler* handler)
{
    if (!handler) {
        return E_POINTER;
    }
    handler->AddRef();
    children_.Add(handler);
    handler->SetParent(this);
    return S_OK;
}

HRESULT CAFMessageHandler::RemoveHandler(IMessageHandler* handler)
{
    if (!handler) {
        return S_FALSE;
    }
    handler->SetParent(nullptr);
    const std::int32_t at = children_.Find(handler);
    if (at < 0) {
        return E_FAIL;
    }
    children_.RemoveAt(static_cast<std::uint32_t>(at));
    return S_OK;
}

HRESULT CAFMessageHandler::SetParent(IMessageHandler* parent)
{
    parent_ = parent;
    if (!parent) {
        ClearTarget();
        SetOwnerOnly(static_cast<IMessageHandler*>(this));
        return S_OK;
    }
    platform::ComPtr<IUnknown> owner;
    parent->GetOwner(owner.Out());
    if (owner && owner.Get() != static_cast<IUnknown*>(parent)) {
        TakeOwner(owner.Get());
    }
    return S_OK;
}

HRESULT CAFMessageHandler::GetOwner(IUnknown** owner)
{
    if (!owner) {
        return E_POINTER;
    }
    *owner = SenderOwner();
    if (*owner) {
        (*owner)->AddRef();
    }
    return S_OK;
}

BOOL CAFMessageHandler::Accepts(IMessage* message)
{
    if (!message) {
        return FALSE;
    }
    DWORD flags = 0;
    message->GetFlags(&flags);
    if ((flags & MessageFlag::kAsksSender) == 0) {
        return TRUE;
    }
    WORD answer = 1;
    message->CheckSender(static_cast<CAFMessageSender*>(this), &answer);
    return answer == 0 ? TRUE : FALSE;
}

void UnregisterObserver(IObserver* observer)
{
    if (IEventManager* events = GetEventManager()) {
        events->Unregister(observer);
    }
}

// ---- CAFEventHandlerT<1>

CAFEventHandlerT<1>::~CAFEventHandlerT() { UnregisterObserver(this); }

HRESULT CAFEventHandlerT<1>::Execute(DWORD commandId)
{
    return KVO::GuardSlot([&] { return ExecuteCommand(*this, commandId); });
}

HRESULT CAFEventHandlerT<1>::QueryState(DWORD commandId, ICommandState* state)
{
    return KVO::GuardSlot([&] { return QueryEnable(*this, commandId, state); });
}

HRESULT CAFEventHandlerT<1>::Dispatch(DWORD commandId, DWORD kind, LPARAM a, LPARAM b)
{
    return KVO::GuardSlot([&] { return DispatchKind(*this, commandId, kind, a, b); });
}

HRESULT CAFEventHandlerT<1>::RegisterWith(ISubject* subject)
{
    return KVO::GuardSlot([&] { return RegisterObserverEntries(*this, subject, this); });
}

HRESULT CAFEventHandlerT<1>::Notify(ISubject*, DWORD eventId, DWORD, const void* data)
{
    KVO::GuardSlot([&] { return DispatchNotice(*this, eventId, data); });
    return S_OK;
}

HRESULT CAFEventHandlerT<1>::HandleMessage(IMessage* message)
{
    return KVO::GuardSlot([&]() -> HRESULT {
        if (!Accepts(message)) {
            return 0;
        }
        if (DispatchMapMessage(message) != 0) {
            return 1;
        }
        return OfferToChildren(message);
    });
}

// ---- the proxy

CAFProxyEventHandlerBase::~CAFProxyEventHandlerBase()
{
    Unlink();
    UnregisterObserver(this);
}

void CAFProxyEventHandlerBase::Unlink()
{
    if (CAFCppEventHandler* window = linked_) {
        linked_ = nullptr;
        window->DropProxy();
    }
}

HRESULT CAFProxyEventHandlerBase::Execute(DWORD commandId)
{
    return KVO::GuardSlot([&]() -> HRESULT { return linked_ ? ExecuteCommand(*linked_, commandId) : S_OK; });
}

HRESULT CAFProxyEventHandlerBase::QueryState(DWORD commandId, ICommandState* state)
{
    return KVO::GuardSlot([&]() -> HRESULT { return linked_ ? QueryEnable(*linked_, commandId, state) : S_OK; });
}

HRESULT CAFProxyEventHandlerBase::Dispatch(DWORD commandId, DWORD kind, LPARAM a, LPARAM b)
{
    return KVO::GuardSlot(
        [&]() -> HRESULT { return linked_ ? DispatchKind(*linked_, commandId, kind, a, b) : S_OK; });
}

HRESULT CAFProxyEventHandlerBase::RegisterWith(ISubject* subject)
{
    return KVO::GuardSlot([&]() -> HRESULT {
        if (!linked_) {
            return S_FALSE;
        }
        return RegisterObserverEntries(*linked_, subject, this);
    });
}

HRESULT CAFProxyEventHandlerBase::Notify(ISubject*, DWORD eventId, DWORD, const void* data)
{
    KVO::GuardSlot([&]() -> HRESULT { return linked_ ? DispatchNotice(*linked_, eventId, data) : S_OK; });
    return S_OK;
}

HRESULT CAFProxyEventHandlerBase::HandleMessage(IMessage* message)
{
    return KVO::GuardSlot([&]() -> HRESULT {
        if (!message) {
            return 0;
        }
        DWORD flags = 0;
        message->GetFlags(&flags);
        if (flags & MessageFlag::kAsksSender) {
            WORD answer = 1;
            message->CheckSender(linked_ ? static_cast<CAFMessageSender*>(linked_) : nullptr, &answer);
            if (answer != 0) {
                return 0;
            }
        }
        if (linked_) {
            if (const HRESULT taken = linked_->DispatchMapMessage(message); taken != 0) {
                return taken;
            }
        }
        return OfferToChildren(message);
    });
}

HRESULT CAFProxyEventHandler::QueryInterface(REFIID iid, void** out)
{
    static constexpr KVO::InterfaceEntry table[] = {
        {&IID_IMessageHandler, &KVO::InterfaceCast<CAFProxyEventHandler, IMessageHandler>},
        {&IID_ICAFCommandHandler, &KVO::InterfaceCast<CAFProxyEventHandler, ICAFCommandHandler>},
        {&IID_IObserver, &KVO::InterfaceCast<CAFProxyEventHandler, IObserver>},
        {nullptr, nullptr},
    };
    return InternalQueryInterface(this, table, iid, out);
}

// ---- CAFCppEventHandler

CAFCppEventHandler::CAFCppEventHandler() : CAFMessageSender(nullptr, false) { subjects_.reserve(8); }

CAFCppEventHandler::~CAFCppEventHandler()
{
    if (proxy_) {
        proxy_->linked_ = nullptr;
    }
    DropProxy();
    subjects_.clear();
    ClearTarget();
}

void CAFCppEventHandler::DropProxy()
{
    proxy_ = nullptr;
    proxyObserver_.Reset();
}

void CAFCppEventHandler::ConnectProxy(CAFProxyEventHandlerBase* proxy)
{
    if (proxy_) {
        proxy_->linked_ = nullptr;
        DropProxy();
    }
    if (!proxy) {
        ClearTarget();
        return;
    }
    proxyObserver_ = platform::ComPtr<IObserver>(static_cast<IObserver*>(proxy));
    proxy_ = proxy;
    proxy->linked_ = this;
    platform::ComPtr<IUnknown> owner;
    proxy->GetOwner(owner.Out());
    TakeOwner(owner.Get());
    for (ISubject* subject : subjects_) {
        if (subject) {
            subject->Attach(proxyObserver_.Get());
        }
    }
    subjects_.clear();
}

void CAFCppEventHandler::AddSubject(ISubject* subject)
{
    if (proxyObserver_ && subject) {
        subject->Attach(proxyObserver_.Get());
    }
    subjects_.push_back(subject);
}

// ---- CAFSubject

CAFSubject::~CAFSubject()
{
    if (IEventManager* events = GetEventManager()) {
        events->Detach(this, nullptr);
    }
}

HRESULT CAFSubject::SendToObservers(DWORD eventId, const void* data)
{
    IEventManager* events = GetEventManager();
    return events ? events->SendToObservers(this, eventId, data) : E_FAIL;
}

HRESULT CAFSubject::Detach(IObserver* observer)
{
    IEventManager* events = GetEventManager();
    return events ? events->Detach(this, observer) : E_FAIL;
}

HRESULT CAFSubject::Notify2(DWORD value1, DWORD value2)
{
    IEventManager* events = GetEventManager();
    return events ? events->Notify2(this, value1, value2) : E_FAIL;
}

HRESULT CAFSubject::Attach(IObserver* observer)
{
    IEventManager* events = GetEventManager();
    return events ? events->Attach(this, observer) : E_FAIL;
}

HRESULT CAFSubject::Notify(DWORD value)
{
    IEventManager* events = GetEventManager();
    return events ? events->Notify(this, value) : E_FAIL;
}

HRESULT CAFSubject::RegisterFor(IObserver* observer, DWORD eventId, DWORD flags)
{
    IEventManager* events = GetEventManager();
    return events ? events->RegisterFor(this, observer, eventId, flags) : E_FAIL;
}

HRESULT CAFSubject::GetPosition(IHostDocument* document, IUnknown* view, DWORD* identity, DWORD* pair)
{
    if (!identity || !pair) {
        return E_POINTER;
    }
    *identity = 0;
    *pair = 0;
    if (document) {
        document->GetIdentity(identity);
    }
    platform::ComPtr<IDocView2> docView;
    if (view && SUCCEEDED(view->QueryInterface(IID_IDocView2, docView.OutVoid())) && docView) {
        DWORD a = 0;
        DWORD b = 0;
        docView->GetValueA(&a);
        docView->GetValueB(&b);
        *pair = (b << 16) | a;
    }
    return S_OK;
}

} // namespace CAF
