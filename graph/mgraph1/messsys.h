// Synchronous notices of the graph library: a sender calls its registered receivers in registration order; the
// class of the notice object is what a receiver recognises it by.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace MessSys {

class Message {
public:
    explicit Message(std::int32_t source = 0) : source(source) {}
    virtual ~Message() = default;
    std::int32_t source; // filled by the sender: a marker's id, a window value or 0
};

class MessageReceiver {
public:
    virtual ~MessageReceiver() = default;
    // True when the notice was used; the sender does not read it.
    virtual bool OnMessage(Message& message);
};

class MessageSender {
public:
    MessageSender() = default;
    MessageSender(const MessageSender&) = delete;
    MessageSender& operator=(const MessageSender&) = delete;
    virtual ~MessageSender() = default;

    // A null receiver is ignored; a receiver may be added more than once and is then called once per entry.
    void AddReceiver(MessageReceiver* receiver);
    // Removes the first entry of the receiver; an absent one is ignored.
    void RemoveReceiver(MessageReceiver* receiver);
    // Calls every registered receiver with the notice, under the sender's lock. Receivers may add and remove
    // receivers meanwhile: one removed is not called later in this send, one added is first called by the next.
    void Send(Message& message);

    std::size_t ReceiverCount() const;
    // The registered receivers in registration order, one per entry.
    std::vector<MessageReceiver*> Receivers() const;

private:
    struct Entry {
        MessageReceiver* receiver;
        std::uint64_t serial; // tells entries of one receiver apart while a send walks a copy of the list
    };
    mutable std::recursive_mutex lock_;
    std::vector<Entry> receivers_;
    std::uint64_t nextSerial_ = 0;
};

} // namespace MessSys
