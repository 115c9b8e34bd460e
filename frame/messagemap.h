// Static message maps: each class that takes commands, observer notices or CAF messages from the host lists them
// in one static table of entries. A search looks in the class's own table first and then in its base classes'
// tables, nearest first; the first matching entry wins. Ids are given by getters and resolved on first use.
#pragma once

#include "sdk/cafevents.h"

#include <cstring>
#include <tuple>
#include <type_traits>

namespace CAF {

enum EntryKind : BYTE {
    kEndOfMap = 0,
    kMapHeader = 1,
    kExecuteCommand = 2,
    kUpdateCommand = 3,
    kObserverEvent = 4,
    kMessageEvent = 5,
    kCommandKind6 = 6, // further command-like kinds, resolved as kinds 2 and 3
    kCommandKind7 = 7,
};

// The header's flag while the ids of its table are getters.
inline constexpr BYTE kIdsUnresolved = 2;
// Range flag of command entries: a single id, or [id, second id).
inline constexpr WORD kSingleId = 0;
inline constexpr WORD kIdRange = 1;
// Message entries: the low half of the id must match exactly.
inline constexpr WORD kExactMessage = 0xFFFF;

using IdGetter = DWORD (*)();

// What a dispatch hands on to the member of the chosen entry.
struct DispatchArgs {
    DWORD commandId = 0;
    ICommandState* state = nullptr;
    LPARAM a = 0;
    LPARAM b = 0;
    IMessage* message = nullptr;
    const void* noticeData = nullptr;
};

struct MessageMapEntry;
// Calls the member of the entry on its owner (the object as the class whose table holds the entry).
using EntryDispatcher = HRESULT (*)(void* owner, const DispatchArgs& args);

struct MessageMapEntry {
    BYTE kind = kEndOfMap;
    BYTE flags = 0;
    WORD mask = 0; // range flag of command entries, low-half mask of message entries
    DWORD id = 0;
    DWORD secondId = 0;
    DWORD reserved = 0;
    IdGetter idGetter = nullptr;
    IdGetter secondIdGetter = nullptr;
    EntryDispatcher dispatcher = nullptr;
};

// A search key: the kind of entry it looks for and whether an entry of that kind matches.
class Trigger {
public:
    virtual BYTE Kind() const = 0;
    virtual bool Matches(const MessageMapEntry& entry) const = 0;

protected:
    ~Trigger() = default;
};

class CommandTrigger final : public Trigger {
public:
    CommandTrigger(DWORD commandId, BYTE kind) : commandId_(commandId), kind_(kind) {}
    BYTE Kind() const override { return kind_; }
    bool Matches(const MessageMapEntry& entry) const override;

private:
    DWORD commandId_;
    BYTE kind_;
};

class ObserverEventTrigger final : public Trigger {
public:
    explicit ObserverEventTrigger(DWORD eventId) : eventId_(eventId) {}
    BYTE Kind() const override { return kObserverEvent; }
    bool Matches(const MessageMapEntry& entry) const override { return entry.id == eventId_; }

private:
    DWORD eventId_;
};

class MsgEventTrigger final : public Trigger {
public:
    explicit MsgEventTrigger(DWORD messageId) : messageId_(messageId) {}
    BYTE Kind() const override { return kMessageEvent; }
    bool Matches(const MessageMapEntry& entry) const override;

private:
    DWORD messageId_;
};

// The action of a walk over a class's tables.
class MapAction {
public:
    virtual void operator()(const MessageMapEntry& entry) = 0;

protected:
    ~MapAction() = default;
};

// Registers every observer entry's event id with a subject for an observer.
class RegisterAction final : public MapAction {
public:
    RegisterAction(ISubject* subject, IObserver* observer) : subject_(subject), observer_(observer) {}
    void operator()(const MessageMapEntry& entry) override;

private:
    ISubject* subject_;
    IObserver* observer_;
};

namespace MessageMap {
// Replaces every id getter of the table by its id and clears the header's flag. A table is a static array ending
// with an entry of kind 0.
void ResolveIds(MessageMapEntry* map);
// The first entry of the key's kind that the key accepts, or null; resolves the table first when flagged.
const MessageMapEntry* Find(MessageMapEntry* map, const Trigger& key);
// Calls the action on every entry from the header to the end entry (not included).
void ForEachEntry(MessageMapEntry* map, MapAction& action);
} // namespace MessageMap

// The part of every handler object that knows its class's tables.
class CAFEventHandlerBase {
public:
    CAFEventHandlerBase() = default;
    CAFEventHandlerBase(const CAFEventHandlerBase&) = delete;
    CAFEventHandlerBase& operator=(const CAFEventHandlerBase&) = delete;
    virtual ~CAFEventHandlerBase() = default;

    // The entry that the key finds and the object as the class whose table holds it; none: null and null.
    virtual const MessageMapEntry* Find(const Trigger& key, void*& owner);
    virtual void ForEachEntry(MapAction& action);
    // The table's message entries: MsgEventTrigger::Dispatch.
    virtual HRESULT DispatchMapMessage(IMessage* message);

    // The flags of the message being dispatched.
    DWORD MessageFlags() const { return messageFlags_; }
    void SetMessageFlags(DWORD flags) { messageFlags_ = flags; }

private:
    DWORD messageFlags_ = 0;
};

// Command dispatch over a handler's tables: 0 answered, 1 no entry.
HRESULT ExecuteCommand(CAFEventHandlerBase& handler, DWORD commandId);
// An update entry answers; else an execute entry enables the command; else 1.
HRESULT QueryEnable(CAFEventHandlerBase& handler, DWORD commandId, ICommandState* state);
// The member's result, or 1 when no entry of that kind lists the command.
HRESULT DispatchKind(CAFEventHandlerBase& handler, DWORD commandId, DWORD kind, LPARAM a, LPARAM b);
// 1 when a message entry's member took the message (answered 0), else 0.
HRESULT DispatchMessage(CAFEventHandlerBase& handler, IMessage* message);
// An observer notice: the entry's member gets the notice data; always 0.
HRESULT DispatchNotice(CAFEventHandlerBase& handler, DWORD eventId, const void* data);
// Registers the observer entries of the handler's tables with the subject; always 0.
HRESULT RegisterObserverEntries(CAFEventHandlerBase& handler, ISubject* subject, IObserver* observer);

// The search through a class T's table and then its base's: T declares
//     using MessageMapBase = <nearest base class with a table, or void>;
//     static CAF::MessageMapEntry* MessageMapEntries();
template <class T>
struct MapSearch {
    static const MessageMapEntry* Find(T* object, const Trigger& key, void*& owner)
    {
        if (const MessageMapEntry* entry = MessageMap::Find(T::MessageMapEntries(), key)) {
            owner = static_cast<void*>(object);
            return entry;
        }
        if constexpr (!std::is_void_v<typename T::MessageMapBase>) {
            using Base = typename T::MessageMapBase;
            return MapSearch<Base>::Find(static_cast<Base*>(object), key, owner);
        } else {
            owner = nullptr;
            return nullptr;
        }
    }
    static void ForEachEntry(MapAction& action)
    {
        MessageMap::ForEachEntry(T::MessageMapEntries(), action);
        if constexpr (!std::is_void_v<typename T::MessageMapBase>) {
            MapSearch<typename T::MessageMapBase>::ForEachEntry(action);
        }
    }
};

// Entries of class T's table. The member may be declared in T or in one of its bases.
//   execute: void ()                      update: void (ICommandState&)
//   kinds 6 and 7: HRESULT (LPARAM, LPARAM)
//   observer: void () or void (P), P copied by value from the notice data
//   message: HRESULT () (documents), or HRESULT (const VARIANT&) with the message's value (views); 0 = taken
template <class T>
struct MapOf {
    static constexpr MessageMapEntry Header() { return {kMapHeader, kIdsUnresolved}; }
    static constexpr MessageMapEntry End() { return {}; }

    template <auto Member>
    static constexpr MessageMapEntry Execute(IdGetter id)
    {
        return Command(kExecuteCommand, id, nullptr, &ExecuteThunk<Member>);
    }
    template <auto Member>
    static constexpr MessageMapEntry ExecuteRange(IdGetter first, IdGetter end)
    {
        return Command(kExecuteCommand, first, end, &ExecuteThunk<Member>);
    }
    template <auto Member>
    static constexpr MessageMapEntry Update(IdGetter id)
    {
        return Command(kUpdateCommand, id, nullptr, &UpdateThunk<Member>);
    }
    template <auto Member>
    static constexpr MessageMapEntry UpdateRange(IdGetter first, IdGetter end)
    {
        return Command(kUpdateCommand, first, end, &UpdateThunk<Member>);
    }
    template <auto Member>
    static constexpr MessageMapEntry OfKind(BYTE kind, IdGetter id)
    {
        return Command(kind, id, nullptr, &KindThunk<Member>);
    }
    template <auto Member>
    static constexpr MessageMapEntry Observer(IdGetter id)
    {
        MessageMapEntry entry{kObserverEvent};
        entry.idGetter = id;
        entry.dispatcher = &ObserverThunk<Member>;
        return entry;
    }
    template <auto Member>
    static constexpr MessageMapEntry Message(IdGetter id, WORD mask = kExactMessage)
    {
        MessageMapEntry entry{kMessageEvent};
        entry.mask = mask;
        entry.idGetter = id;
        entry.dispatcher = &MessageThunk<Member>;
        return entry;
    }

private:
    static constexpr MessageMapEntry Command(BYTE kind, IdGetter id, IdGetter end, EntryDispatcher dispatcher)
    {
        MessageMapEntry entry{kind};
        entry.mask = end ? kIdRange : kSingleId;
        entry.idGetter = id;
        entry.secondIdGetter = end;
        entry.dispatcher = dispatcher;
        return entry;
    }
    static T& Self(void* owner) { return *static_cast<T*>(owner); }

    template <auto Member>
    static HRESULT ExecuteThunk(void* owner, const DispatchArgs&)
    {
        (Self(owner).*Member)();
        return S_OK;
    }
    template <auto Member>
    static HRESULT UpdateThunk(void* owner, const DispatchArgs& args)
    {
        (Self(owner).*Member)(*args.state);
        return S_OK;
    }
    template <auto Member>
    static HRESULT KindThunk(void* owner, const DispatchArgs& args)
    {
        return (Self(owner).*Member)(args.a, args.b);
    }
    template <auto Member>
    static HRESULT ObserverThunk(void* owner, const DispatchArgs& args)
    {
        CallWithNotice(Self(owner), Member, args.noticeData);
        return S_OK;
    }
    template <class C, class R>
    static void CallWithNotice(T& self, R (C::*member)(), const void*)
    {
        (self.*member)();
    }
    template <class C, class R, class P>
    static void CallWithNotice(T& self, R (C::*member)(P), const void* data)
    {
        std::remove_cvref_t<P> value{};
        static_assert(std::is_trivially_copyable_v<decltype(value)>, "notice data is copied by value");
        if (data) {
            std::memcpy(&value, data, sizeof value);
        }
        (self.*member)(value);
    }
    template <auto Member>
    static HRESULT MessageThunk(void* owner, const DispatchArgs& args)
    {
        return CallWithMessage(Self(owner), Member, args.message);
    }
    template <class C>
    static HRESULT CallWithMessage(T& self, HRESULT (C::*member)(), IMessage*)
    {
        return (self.*member)();
    }
    template <class C>
    static HRESULT CallWithMessage(T& self, HRESULT (C::*member)(const VARIANT&), IMessage* message)
    {
        VARIANT value;
        VariantInit(&value);
        if (message) {
            message->GetValue(&value);
        }
        const HRESULT result = (self.*member)(value);
        VariantClear(&value);
        return result;
    }
};

} // namespace CAF

// Declares the table of a class that derives from CAFEventHandlerBase and routes the base's search through it;
// `Base` is the nearest base class with a table of its own, or void.
#define CAF_DECLARE_MESSAGE_MAP(Self, Base)                                                                        \
public:                                                                                                            \
    using MessageMapBase = Base;                                                                                   \
    static CAF::MessageMapEntry* MessageMapEntries();                                                              \
    const CAF::MessageMapEntry* Find(const CAF::Trigger& key, void*& owner) override                               \
    {                                                                                                              \
        return CAF::MapSearch<Self>::Find(this, key, owner);                                                       \
    }                                                                                                              \
    void ForEachEntry(CAF::MapAction& action) override { CAF::MapSearch<Self>::ForEachEntry(action); }             \
                                                                                                                   \
private:
