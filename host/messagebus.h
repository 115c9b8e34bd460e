// The host's CAF messages: the messages its bus creates, the bus itself, and the dispatch of sent messages to the
// handlers the host keeps at the top of its handler tree.
#pragma once

#include "host/calllog.h"
#include "host/comobject.h"
#include "sdk/cafevents.h"
#include "sdk/hostobjects.h"

#include <vector>

namespace host {

// A message of the host: id, flags, value, and the sender part named while it is being sent.
class HostMessage final : public IMessage, private RefCounted {
public:
    // Created with one reference for the caller.
    static HostMessage* Create(DWORD id, DWORD flags, const VARIANT* value = nullptr);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    // The message's class is its id.
    HRESULT GetTypeId(DWORD* typeId) override { return GetId(typeId); }
    HRESULT GetId(DWORD* id) override;
    HRESULT GetFlags(DWORD* flags) override;
    HRESULT Clone(IMessage** out) override;
    HRESULT GetValue(VARIANT* value) override;
    HRESULT SetSender(const void* sender) override;
    // A handler that is the message's own sender is told not to take it (answer 1).
    HRESULT CheckSender(const void* sender, WORD* answer) override;

    const void* Sender() const { return sender_; }
    // Every sender named on the message so far, nulls included, in order.
    const std::vector<const void*>& SenderHistory() const { return senderHistory_; }

private:
    HostMessage(DWORD id, DWORD flags, const VARIANT* value);
    ~HostMessage() override;

    DWORD id_;
    DWORD flags_;
    VARIANT value_;
    const void* sender_ = nullptr;
    std::vector<const void*> senderHistory_;
};

// The message bus (framework object 0x80000007) and the dispatcher's targets.
class MessageBus final : public IMessageBus, private HostOwned {
public:
    explicit MessageBus(CallLog& log) : log_(log) {}

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT Create(DWORD messageId, DWORD flags, LPARAM a, LPARAM b, DWORD reserved, const VARIANT* value,
                   IMessage** out) override;

    // The top of the host's handler tree: sent messages go to each target that accepts them until one takes it.
    void AddTarget(IMessageHandler* handler);
    void RemoveTarget(IMessageHandler* handler);
    // 1 when a target took the message, else 0.
    HRESULT Deliver(IMessage* message);

private:
    CallLog& log_;
    std::vector<platform::ComPtr<IMessageHandler>> targets_;
};

} // namespace host
