// A node of the host's message-handler tree: the handlers that modules register with a host object (a table
// window with its host document) as children, each offered the messages the host sends to the object, in the
// order they were added, until one takes it.
#pragma once

#include "platform/com/unknown.h"
#include "sdk/cafevents.h"

#include <vector>

namespace host {

class HandlerNode final : public IMessageHandler {
public:
    // References to the node count on its owner, which keeps it.
    explicit HandlerNode(IUnknown& owner) : owner_(owner) {}
    HandlerNode(const HandlerNode&) = delete;
    HandlerNode& operator=(const HandlerNode&) = delete;
    ~HandlerNode();

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return owner_.AddRef(); }
    ULONG Release() override { return owner_.Release(); }
    // The first child's answer that is not 0 (the child took the message); 0 when none took it.
    HRESULT HandleMessage(IMessage* message) override;
    // 0, and the child is held with a reference; E_POINTER for null.
    HRESULT AddHandler(IMessageHandler* handler) override;
    // 0; 1 for null; E_FAIL when it is not a child.
    HRESULT RemoveHandler(IMessageHandler* handler) override;
    HRESULT SetParent(IMessageHandler*) override { return S_OK; }
    HRESULT GetOwner(IUnknown** owner) override;
    BOOL Accepts(IMessage*) override { return TRUE; }

    // A message of this id, sent as the host sends it.
    HRESULT Send(DWORD id);
    std::size_t ChildCount() const { return children_.size(); }

private:
    IUnknown& owner_;
    std::vector<platform::ComPtr<IMessageHandler>> children_;
};

} // namespace host
