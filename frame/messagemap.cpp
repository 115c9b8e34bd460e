#include "frame/messagemap.h"

namespace CAF {

namespace {

bool IsCommandKind(BYTE kind)
{
    return kind == kExecuteCommand || kind == kUpdateCommand || kind == kCommandKind6 || kind == kCommandKind7;
}

bool NeedsResolving(const MessageMapEntry* map) { return (map->flags & kIdsUnresolved) != 0; }

} // namespace

bool CommandTrigger::Matches(const MessageMapEntry& entry) const
{
    switch (entry.mask) {
    case kSingleId:
        return entry.id == commandId_;
    case kIdRange:
        return entry.id <= commandId_ && commandId_ < entry.secondId;
    default:
        return false;
    }
}

bool MsgEventTrigger::Matches(const MessageMapEntry& entry) const
{
    const DWORD mask = 0xFFFF0000u | entry.mask;
    return (messageId_ & mask) == (entry.id & mask);
}

void RegisterAction::operator()(const MessageMapEntry& entry)
{
    if (entry.kind == kObserverEvent && subject_) {
        subject_->RegisterFor(observer_, entry.id, 0);
    }
}

namespace MessageMap {

void ResolveIds(MessageMapEntry* map)
{
    if (map->kind != kEndOfMap) {
        for (MessageMapEntry* entry = map; entry->kind != kEndOfMap; ++entry) {
            if (IsCommandKind(entry->kind)) {
                entry->id = entry->idGetter ? entry->idGetter() : 0;
                if (entry->mask == kIdRange) {
                    entry->secondId = entry->secondIdGetter ? entry->secondIdGetter() : 0;
                }
            } else if (entry->kind == kObserverEvent || entry->kind == kMessageEvent) {
                entry->id = entry->idGetter ? entry->idGetter() : 0;
            }
        }
    }
    map->flags &= static_cast<BYTE>(~kIdsUnresolved);
}

const MessageMapEntry* Find(MessageMapEntry* map, const Trigger& key)
{
    if (NeedsResolving(map)) {
        ResolveIds(map);
    }
    const BYTE kind = key.Kind();
    for (const MessageMapEntry* entry = map; entry->kind != kEndOfMap; ++entry) {
        if (entry->kind == kind && key.Matches(*entry)) {
            return entry;
        }
    }
    return nullptr;
}

void ForEachEntry(MessageMapEntry* map, MapAction& action)
{
    if (NeedsResolving(map)) {
        ResolveIds(map);
    }
    for (const MessageMapEntry* entry = map; entry->kind != kEndOfMap; ++entry) {
        action(*entry);
    }
}

} // namespace MessageMap

const MessageMapEntry* CAFEventHandlerBase::Find(const Trigger&, void*& owner)
{
    owner = nullptr;
    return nullptr;
}

void CAFEventHandlerBase::ForEachEntry(MapAction&) {}

HRESULT CAFEventHandlerBase::DispatchMapMessage(IMessage* message) { return DispatchMessage(*this, message); }

HRESULT ExecuteCommand(CAFEventHandlerBase& handler, DWORD commandId)
{
    void* owner = nullptr;
    const MessageMapEntry* entry = handler.Find(CommandTrigger(commandId, kExecuteCommand), owner);
    if (!entry) {
        return S_FALSE;
    }
    DispatchArgs args;
    args.commandId = commandId;
    entry->dispatcher(owner, args);
    return S_OK;
}

HRESULT QueryEnable(CAFEventHandlerBase& handler, DWORD commandId, ICommandState* state)
{
    void* owner = nullptr;
    if (const MessageMapEntry* update = handler.Find(CommandTrigger(commandId, kUpdateCommand), owner)) {
        if (state) {
            DispatchArgs args;
            args.commandId = commandId;
            args.state = state;
            update->dispatcher(owner, args);
        }
        return S_OK;
    }
    if (handler.Find(CommandTrigger(commandId, kExecuteCommand), owner)) {
        if (state) {
            state->SetEnabled(0xFFFF);
        }
        return S_OK;
    }
    return S_FALSE;
}

HRESULT DispatchKind(CAFEventHandlerBase& handler, DWORD commandId, DWORD kind, LPARAM a, LPARAM b)
{
    // Only the command kinds reach a member: the header, observer and message entries take other arguments, and an
    // update entry needs the command-state object the caller passes in a.
    const bool commandKind = kind == kExecuteCommand || kind == kUpdateCommand || kind == kCommandKind6 ||
                             kind == kCommandKind7;
    if (!commandKind || (kind == kUpdateCommand && a == 0)) {
        return S_FALSE;
    }
    void* owner = nullptr;
    const MessageMapEntry* entry = handler.Find(CommandTrigger(commandId, static_cast<BYTE>(kind)), owner);
    if (!entry || !entry->dispatcher) {
        return S_FALSE;
    }
    DispatchArgs args;
    args.commandId = commandId;
    args.a = a;
    args.b = b;
    if (kind == kUpdateCommand) {
        args.state = reinterpret_cast<ICommandState*>(a);
    }
    return entry->dispatcher(owner, args);
}

HRESULT DispatchMessage(CAFEventHandlerBase& handler, IMessage* message)
{
    if (!message) {
        return S_OK; // nothing taken
    }
    DWORD id = 0;
    DWORD flags = 0;
    message->GetId(&id);
    message->GetFlags(&flags);
    handler.SetMessageFlags(flags);
    void* owner = nullptr;
    const MessageMapEntry* entry = handler.Find(MsgEventTrigger(id), owner);
    if (!entry) {
        return 0;
    }
    DispatchArgs args;
    args.message = message;
    return entry->dispatcher(owner, args) == 0 ? 1 : 0;
}

HRESULT DispatchNotice(CAFEventHandlerBase& handler, DWORD eventId, const void* data)
{
    void* owner = nullptr;
    if (const MessageMapEntry* entry = handler.Find(ObserverEventTrigger(eventId), owner)) {
        DispatchArgs args;
        args.noticeData = data;
        entry->dispatcher(owner, args);
    }
    return S_OK;
}

HRESULT RegisterObserverEntries(CAFEventHandlerBase& handler, ISubject* subject, IObserver* observer)
{
    RegisterAction action(subject, observer);
    handler.ForEachEntry(action);
    return S_OK;
}

} // namespace CAF
