#include "host/messagebus.h"

namespace host {

HostMessage* HostMessage::Create(DWORD id, DWORD flags, const VARIANT* value)
{
    auto* message = new HostMessage(id, flags, value);
    message->AddRef();
    return message;
}

HostMessage::HostMessage(DWORD id, DWORD flags, const VARIANT* value) : id_(id), flags_(flags)
{
    VariantInit(&value_);
    if (value) {
        VariantCopy(&value_, value);
    }
}

HostMessage::~HostMessage() { VariantClear(&value_); }

HRESULT HostMessage::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IMessage, static_cast<IMessage*>(this)}}, iid, out);
}

HRESULT HostMessage::GetId(DWORD* id)
{
    if (!id) {
        return E_POINTER;
    }
    *id = id_;
    return S_OK;
}

HRESULT HostMessage::GetFlags(DWORD* flags)
{
    if (!flags) {
        return E_POINTER;
    }
    *flags = flags_;
    return S_OK;
}

HRESULT HostMessage::Clone(IMessage** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = Create(id_, flags_, &value_);
    return S_OK;
}

HRESULT HostMessage::GetValue(VARIANT* value)
{
    if (!value) {
        return E_POINTER;
    }
    return VariantCopy(value, &value_);
}

HRESULT HostMessage::SetSender(const void* sender)
{
    sender_ = sender;
    senderHistory_.push_back(sender);
    return S_OK;
}

HRESULT HostMessage::CheckSender(const void* sender, WORD* answer)
{
    if (!answer) {
        return E_POINTER;
    }
    *answer = sender && sender == sender_ ? 1 : 0;
    return S_OK;
}

HRESULT MessageBus::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IMessageBus, static_cast<IMessageBus*>(this)}}, iid, out);
}

HRESULT MessageBus::Create(DWORD messageId, DWORD flags, LPARAM, LPARAM, DWORD, const VARIANT* value, IMessage** out)
{
    log_.Record("bus", "Create", Hex(messageId) + " " + Hex(flags));
    if (!out) {
        return E_POINTER;
    }
    *out = HostMessage::Create(messageId, flags, value);
    return S_OK;
}

void MessageBus::AddTarget(IMessageHandler* handler)
{
    if (handler) {
        targets_.emplace_back(handler);
    }
}

void MessageBus::RemoveTarget(IMessageHandler* handler)
{
    std::erase_if(targets_, [&](const auto& target) { return target.Get() == handler; });
}

HRESULT MessageBus::Deliver(IMessage* message)
{
    // A target may leave the list while it handles the message.
    const auto targets = targets_;
    for (const auto& target : targets) {
        if (target->Accepts(message) && target->HandleMessage(message) != 0) {
            return 1;
        }
    }
    return 0;
}

} // namespace host
