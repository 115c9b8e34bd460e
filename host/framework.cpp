#include "host/framework.h"
#include "sdk/hostobjects.h"

#include "host/displaysettings.h"

#include "platform/win/codepage.h"

#include "sdk/cafclassobject.h"
#include "sdk/calcclass.h"
#include "sdk/eventdraw.h"
#include "sdk/ikvostring.h"

#include <algorithm>

namespace host {

std::u16string TakeText(IKVOString* text)
{
    if (!text) {
        return {};
    }
    std::u16string result;
    if (const char16_t* units = text->GetText()) {
        result = units;
    }
    text->Release();
    return result;
}


HRESULT HostSettingsStore::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IHostSettingsStore) {
        return Answer(static_cast<IHostSettingsStore*>(this), out);
    }
    return E_NOINTERFACE;
}

HRESULT HostSettingsStore::MakeKey(DWORD id, DWORD, IUnknown** key)
{
    if (!key) {
        return E_POINTER;
    }
    *key = SettingKey::Create(id).Detach();
    return S_OK;
}

Framework::~Framework() { DropRegistrations(); }

HRESULT Framework::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_ICAFFramework) {
        return Answer(static_cast<ICAFFramework*>(this), out);
    }
    if (iid == IID_ITypeIdRegistry) {
        return Answer(static_cast<ITypeIdRegistry*>(this), out);
    }
    if (iid == IID_IMessageFactory) {
        return Answer(static_cast<IMessageFactory*>(this), out);
    }
    if (iid == IID_IEventManager) {
        return Answer(static_cast<IEventManager*>(this), out);
    }
    if (iid == IID_IMessageDispatcher) {
        return Answer(static_cast<IMessageDispatcher*>(this), out);
    }
    if (iid == IID_IObserverService) {
        return Answer(static_cast<IObserverService*>(this), out);
    }
    return E_NOINTERFACE;
}

HRESULT Framework::GetObject(DWORD id, REFIID iid, void** out)
{
    if (log_.Enabled()) {
        log_.Record("framework", "GetObject", Hex(id));
    }
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (id == CAF::ObjectId::kSettingsStore) {
        return settings_.QueryInterface(iid, out);
    }
    if (id == CAF::ObjectId::kGraphService) {
        return graphs_.QueryInterface(iid, out);
    }
    // The family of a type id, when the id is one of ours.
    const GUID* family = FamilyOf(static_cast<WORD>(id >> 16));
    const WORD n = static_cast<WORD>(id & 0xFFFF);
    if (family && *family == GUID_ChartMessages && n == 16) {
        return progress_.QueryInterface(iid, out);
    }
    if (id == kCopyNotifyServiceId) {
        return copyNoticesOffered_ ? copyNotices_->QueryInterface(iid, out) : E_FAIL;
    }
    if (const HRESULT served = documents_.GetObject(id, iid, out); served != E_FAIL) {
        return served;
    }
    if (const RegisteredClass* found = FindClass(id)) {
        return found->object->QueryInterface(iid, out);
    }
    if (!family) {
        return E_FAIL;
    }
    for (const HostObject& entry : hostObjects_) {
        if (entry.family == *family && entry.n == n && SUCCEEDED(entry.object->QueryInterface(iid, out))) {
            return S_OK;
        }
    }
    for (const auto& [classId, object] : hostClasses_) {
        if (classId == *family && n == 0) {
            return object->QueryInterface(iid, out);
        }
    }
    return E_FAIL;
}

HRESULT Framework::Register(IUnknown* classObject)
{
    if (!classObject) {
        log_.Record("framework", "Register", "null");
        return E_POINTER;
    }
    RegisteredClass entry;
    entry.object = platform::ComPtr<IUnknown>(classObject);
    platform::ComPtr<ICAFClassObject> info;
    if (SUCCEEDED(classObject->QueryInterface(IID_ICAFClassObject, info.OutVoid())) && info) {
        info->GetId(&entry.typeId);
    }
    platform::ComPtr<ICalcNumericParamsFuncClass> calc;
    platform::ComPtr<IPODEventDrawClass> draw;
    if (SUCCEEDED(classObject->QueryInterface(IID_ICalcNumericParamsFuncClass, calc.OutVoid())) && calc) {
        entry.kind = ClassKind::Calculation;
        IKVOString* name = nullptr;
        DWORD id = 0;
        LONG params = 0;
        LONG sources = 0;
        DWORD kind1 = 0;
        DWORD kind2 = 0;
        if (SUCCEEDED(calc->GetInfo(&name, &id, &params, &sources, &kind1, &kind2))) {
            entry.name = TakeText(name);
        }
        LONG aliases = 0;
        calc->GetAliasCount(&aliases);
        for (LONG i = 0; i < aliases; ++i) {
            IKVOString* alias = nullptr;
            if (SUCCEEDED(calc->GetAlias(i, &alias))) {
                entry.aliases.push_back(TakeText(alias));
            }
        }
    } else if (SUCCEEDED(classObject->QueryInterface(IID_IPODEventDrawClass, draw.OutVoid())) && draw) {
        entry.kind = ClassKind::EventDraw;
    } else if (platform::ComPtr<ICustomDocClass> document;
               SUCCEEDED(classObject->QueryInterface(IID_ICustomDocClass, document.OutVoid())) && document) {
        entry.kind = ClassKind::Document;
    }
    platform::ComPtr<IDocViewClass> view;
    if (entry.kind == ClassKind::Other && SUCCEEDED(classObject->QueryInterface(IID_IDocViewClass, view.OutVoid())) &&
        view) {
        entry.kind = ClassKind::View;
    }
    const char* kindText = entry.kind == ClassKind::Calculation ? "calculation"
                           : entry.kind == ClassKind::EventDraw ? "eventdraw"
                           : entry.kind == ClassKind::Document  ? "document"
                           : entry.kind == ClassKind::View      ? "view"
                                                                : "other";
    std::string detail = std::string(kindText) + " " + Hex(entry.typeId);
    if (!entry.name.empty()) {
        detail += " " + Narrow(entry.name);
    }
    log_.Record("framework", "Register", detail);
    if (refuse_) {
        return E_FAIL;
    }
    if (entry.kind == ClassKind::Calculation) {
        calcByName_.emplace(platform::AsciiLower(entry.name), classes_.size());
        for (const std::u16string& alias : entry.aliases) {
            calcByName_.emplace(platform::AsciiLower(alias), classes_.size());
        }
    }
    classes_.push_back(std::move(entry));
    if (view) {
        documents_.viewClasses.Complete(view.Get());
    }
    return S_OK;
}

HRESULT Framework::GetShortId(const GUID* guid, WORD* id)
{
    if (!guid || !id) {
        log_.Record("typeids", "GetTypeId", "null");
        return E_POINTER;
    }
    if (refuseTypeIds_) {
        log_.Record("typeids", "GetTypeId", Narrow(platform::GuidToText(*guid)) + " refused");
        return E_FAIL;
    }
    auto found = typeIds_.find(*guid);
    if (found == typeIds_.end()) {
        if (nextTypeId_ == 0) { // all 65535 numbers are given
            log_.Record("typeids", "GetTypeId", Narrow(platform::GuidToText(*guid)) + " full");
            return E_OUTOFMEMORY;
        }
        found = typeIds_.emplace(*guid, nextTypeId_++).first;
        families_.push_back(*guid);
    }
    *id = found->second;
    log_.Record("typeids", "GetTypeId", Narrow(platform::GuidToText(*guid)) + " " + Hex(found->second));
    return S_OK;
}

HRESULT Framework::GetTypeIdText(DWORD typeId, BSTR* text)
{
    log_.Record("typeids", "GetTypeIdText", Hex(typeId));
    if (!text) {
        return E_POINTER;
    }
    *text = nullptr;
    const auto family = static_cast<WORD>(typeId >> 16);
    for (const auto& [guid, id] : typeIds_) {
        if (id == family) {
            // The family's GUID and the index within it, as the host writes a type id.
            const std::u16string written = platform::GuidToText(guid) + u":" +
                                           [n = std::to_string(typeId & 0xFFFF)] { return std::u16string(n.begin(), n.end()); }();
            *text = SysAllocStringLen(written.data(), static_cast<UINT>(written.size()));
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

HRESULT Framework::CreateFromText(LONG reserved, IKVOString* text, IUnknown** out)
{
    log_.Record("typeids", "CreateFromText", Hex(static_cast<unsigned>(reserved)));
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!text) {
        return E_POINTER;
    }
    // The host's text object is the string itself.
    text->AddRef();
    *out = text;
    return S_OK;
}

const GUID* Framework::FamilyOf(WORD shortId) const
{
    const auto index = static_cast<std::size_t>(shortId) - kFirstTypeId;
    return shortId >= kFirstTypeId && index < families_.size() ? &families_[index] : nullptr;
}

WORD Framework::KnownTypeId(const GUID& guid) const
{
    auto found = typeIds_.find(guid);
    return found == typeIds_.end() ? 0 : found->second;
}

HRESULT Framework::Register(DWORD reserved, IMsgIdMessageClassObject* classObject)
{
    log_.Record("messages", "Register", Hex(reserved));
    if (!classObject) {
        return E_POINTER;
    }
    if (refuse_) {
        return E_FAIL;
    }
    messageClasses_.emplace_back(classObject);
    return S_OK;
}

HRESULT Framework::Attach(ISubject* subject, IObserver* observer)
{
    log_.Record("events", "Attach");
    events_.push_back({subject, observer, 0, true});
    return S_OK;
}

HRESULT Framework::Notify(ISubject*, DWORD value)
{
    log_.Record("events", "Notify", Hex(value));
    return S_OK;
}

HRESULT Framework::Notify2(ISubject*, DWORD value1, DWORD value2)
{
    log_.Record("events", "Notify2", Hex(value1) + " " + Hex(value2));
    return S_OK;
}

HRESULT Framework::RegisterFor(ISubject* subject, IObserver* observer, DWORD eventId, DWORD flags)
{
    log_.Record("events", "RegisterFor", Hex(eventId) + " " + Hex(flags));
    events_.push_back({subject, observer, eventId, false});
    return S_OK;
}

HRESULT Framework::Unregister(IObserver* observer)
{
    log_.Record("events", "Unregister");
    std::erase_if(events_, [&](const EventRegistration& entry) { return entry.observer == observer; });
    return S_OK;
}

HRESULT Framework::SendToObservers(ISubject* subject, DWORD eventId, const void* data)
{
    if (!subject) {
        return E_POINTER;
    }
    FireEvent(subject, eventId, 0, data);
    return S_OK;
}

HRESULT Framework::Detach(ISubject* subject, IObserver* observer)
{
    log_.Record("events", "Detach");
    std::erase_if(events_, [&](const EventRegistration& entry) {
        return entry.subject == subject && (!observer || entry.observer == observer);
    });
    return S_OK;
}

void Framework::FireEvent(ISubject* subject, DWORD eventId, DWORD value, const void* data)
{
    log_.Record("events", "Fire", Hex(eventId));
    // An observer may unregister while it is told.
    const auto registrations = events_;
    for (const EventRegistration& entry : registrations) {
        if (entry.subject == subject && (entry.allEvents || entry.eventId == eventId) && entry.observer) {
            entry.observer->Notify(subject, eventId, value, data);
        }
    }
}

std::size_t Framework::RegisteredObservers(ISubject* subject, DWORD eventId) const
{
    return static_cast<std::size_t>(std::count_if(events_.begin(), events_.end(), [&](const EventRegistration& e) {
        return e.subject == subject && !e.allEvents && e.eventId == eventId;
    }));
}

HRESULT Framework::Send(IMessage* message, DWORD value)
{
    log_.Record("dispatcher", "Send", Hex(value));
    return documents_.bus.Deliver(message);
}

HRESULT Framework::Report(DWORD code, IObjInfo*)
{
    log_.Record("observer", "Report", Hex(code));
    return S_OK;
}

const RegisteredClass* Framework::FindClass(DWORD typeId) const
{
    for (const RegisteredClass& entry : classes_) {
        if (typeId != 0 && entry.typeId == typeId) {
            return &entry;
        }
    }
    return nullptr;
}

const RegisteredClass* Framework::FindCalculation(std::u16string_view nameOrAlias) const
{
    const std::u16string lower = platform::AsciiLower(nameOrAlias);
    if (auto found = calcByName_.find(lower); found != calcByName_.end()) {
        return &classes_[found->second];
    }
    for (const RegisteredClass& entry : hostCalculations_) {
        if (platform::AsciiLower(entry.name) == lower) {
            return &entry;
        }
    }
    return nullptr;
}

void Framework::AddHostCalculation(std::u16string name, IUnknown* object)
{
    RegisteredClass entry;
    entry.kind = ClassKind::Calculation;
    entry.name = std::move(name);
    entry.object = platform::ComPtr<IUnknown>(object);
    hostCalculations_.push_back(std::move(entry));
}

void Framework::DropRegistrations()
{
    documents_.Drop();
    calcByName_.clear();
    // Released newest first, as a host tears down what it was given.
    while (!classes_.empty()) {
        classes_.pop_back();
    }
    while (!messageClasses_.empty()) {
        messageClasses_.pop_back();
    }
}

} // namespace host
