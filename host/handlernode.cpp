#include "host/handlernode.h"

#include "host/messagebus.h"

#include <algorithm>

namespace host {

HandlerNode::~HandlerNode() = default;

HRESULT HandlerNode::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IMessageHandler) {
        *out = static_cast<IMessageHandler*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT HandlerNode::HandleMessage(IMessage* message)
{
    // A child that goes while it handles a message must not pull the list from under the walk.
    const std::vector<platform::ComPtr<IMessageHandler>> children = children_;
    for (const auto& child : children) {
        if (const HRESULT taken = child->HandleMessage(message)) {
            return taken;
        }
    }
    return 0;
}

HRESULT HandlerNode::AddHandler(IMessageHandler* handler)
{
    if (!handler) {
        return E_POINTER;
    }
    children_.emplace_back(handler);
    return 0;
}

HRESULT HandlerNode::RemoveHandler(IMessageHandler* handler)
{
    if (!handler) {
        return 1;
    }
    const auto found = std::find_if(children_.begin(), children_.end(),
                                    [handler](const auto& child) { return child.Get() == handler; });
    if (found == children_.end()) {
        return E_FAIL;
    }
    children_.erase(found);
    return 0;
}

HRESULT HandlerNode::GetOwner(IUnknown** owner)
{
    if (owner) {
        *owner = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT HandlerNode::Send(DWORD id)
{
    auto message = platform::ComPtr<HostMessage>::Adopt(HostMessage::Create(id, 0));
    return HandleMessage(message.Get());
}

} // namespace host
