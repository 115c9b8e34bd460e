#include "graph/mgraph1/messsys.h"

#include <algorithm>

namespace MessSys {

bool MessageReceiver::OnMessage(Message&) { return false; }

void MessageSender::AddReceiver(MessageReceiver* receiver)
{
    if (!receiver) {
        return;
    }
    std::lock_guard guard(lock_);
    receivers_.push_back(Entry{receiver, nextSerial_++});
}

void MessageSender::RemoveReceiver(MessageReceiver* receiver)
{
    std::lock_guard guard(lock_);
    const auto found = std::find_if(receivers_.begin(), receivers_.end(),
                                    [receiver](const Entry& e) { return e.receiver == receiver; });
    if (found != receivers_.end()) {
        receivers_.erase(found);
    }
}

void MessageSender::Send(Message& message)
{
    std::lock_guard guard(lock_);
    // The walk goes over a copy so that changes made by receivers cannot move it past the list's end.
    const std::vector<Entry> walk = receivers_;
    for (const Entry& entry : walk) {
        const bool stillRegistered = std::any_of(receivers_.begin(), receivers_.end(),
                                                 [&entry](const Entry& e) { return e.serial == entry.serial; });
        if (stillRegistered) {
            entry.receiver->OnMessage(message);
        }
    }
}

std::vector<MessageReceiver*> MessageSender::Receivers() const
{
    const std::lock_guard<std::recursive_mutex> hold(lock_);
    std::vector<MessageReceiver*> list;
    list.reserve(receivers_.size());
    for (const Entry& entry : receivers_) {
        list.push_back(entry.receiver);
    }
    return list;
}

std::size_t MessageSender::ReceiverCount() const
{
    std::lock_guard guard(lock_);
    return receivers_.size();
}

} // namespace MessSys
