#include "host/docframework.h"

#include "host/channelcalchost.h"
#include "host/datasource.h"
#include "host/hoststring.h"
#include "host/services.h"

#include "platform/com/classobjects.h"
#include "platform/ui/render.h"
#include "platform/win/codepage.h"
#include "sdk/channeltitles.h"
#include "sdk/channeltoken.h"

#include "platform/win/winuser.h"
#include "sdk/cafframework.h"
#include "sdk/datasource.h"
#include "sdk/hostservices.h"
#include "sdk/previewsampling.h"
#include "sdk/sampling.h"

#include <algorithm>
#include <filesystem>

namespace host {

namespace {

std::u16string ToText(const char16_t* text) { return text ? std::u16string(text) : std::u16string(); }

// A menu item handed to the module: what it sets goes into its record.
class MenuItem final : public ICAFCommand, public ICAFCommandId, public ICAFCommandKey, private RefCounted {
public:
    MenuItem(std::vector<MenuRecord>& items, std::size_t index, DWORD ownId)
        : items_(items), index_(index), ownId_(ownId)
    {
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        return AnswerFrom({
                               {&IID_ICAFCommand, static_cast<ICAFCommand*>(this)},
                               {&IID_ICAFCommandId, static_cast<ICAFCommandId*>(this)},
                               {&IID_ICAFCommandKey, static_cast<ICAFCommandKey*>(this)},
                           },
                           iid, out);
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT SetId(DWORD commandId) override
    {
        Record().id = commandId;
        return S_OK;
    }
    HRESULT GetChanged(DWORD* changed) override
    {
        if (!changed) {
            return E_POINTER;
        }
        *changed = Record().replaced ? 1 : 0;
        return S_OK;
    }
    HRESULT GetOwnId(DWORD* commandId) override
    {
        if (!commandId) {
            return E_POINTER;
        }
        *commandId = ownId_;
        return S_OK;
    }
    HRESULT SetCommandId(DWORD, DWORD commandId) override
    {
        Record().commandId = commandId;
        return S_OK;
    }
    HRESULT SetKey(const char16_t* key) override
    {
        Record().key = ToText(key);
        return S_OK;
    }

private:
    // The menu service's records may be cleared while a module still holds its items.
    MenuRecord& Record()
    {
        static MenuRecord discarded;
        return index_ < items_.size() ? items_[index_] : discarded;
    }

    std::vector<MenuRecord>& items_;
    std::size_t index_;
    DWORD ownId_;
};

class CommandRegistrar final : public IUnknown, private RefCounted {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        return AnswerFrom({{&IID_IUnknown, static_cast<IUnknown*>(this)}}, iid, out);
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
};

// What the registry hands a view class: the host's view registration, which also answers for the class's command
// list.
class ViewRegistration final : public IViewRegistration, private RefCounted {
public:
    ViewRegistration(CallLog& log, platform::ComPtr<ViewCommands> commands)
        : log_(log), commands_(std::move(commands))
    {
    }
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_ICAFCommandHandler && out) {
            return Answer(static_cast<ICAFCommandHandler*>(commands_.Get()), out);
        }
        return AnswerFrom({{&IID_IViewRegistration, static_cast<IViewRegistration*>(this)}}, iid, out);
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT AddView(IUnknown*) override
    {
        log_.Record("views", "AddView");
        return S_OK;
    }
    HRESULT RegisterClassUI() override
    {
        log_.Record("views", "RegisterClassUI");
        return S_OK;
    }

private:
    CallLog& log_;
    platform::ComPtr<ViewCommands> commands_;
};

LRESULT FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

const char16_t* FrameClass()
{
    static const char16_t* name = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &FrameProc;
        wc.lpszClassName = u"HostFrame";
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        RegisterClassW(&wc);
        return u"HostFrame";
    }();
    return name;
}

} // namespace

// ---- menus and commands

HRESULT MenuService::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IMenuService, static_cast<IMenuService*>(this)}}, iid, out);
}

HRESULT MenuService::Hand(std::size_t index, DWORD ownId, ICAFCommand** out)
{
    MenuRecord& record = items_[index];
    // Separators repeat by nature; a category or command of a path the menus hold is updated in place.
    record.replaced = record.kind != MenuRecord::Kind::Separator && !record.path.empty() &&
                      std::any_of(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(index),
                                  [&](const MenuRecord& held) {
                                      return held.kind == record.kind && held.path == record.path;
                                  });
    auto* item = new MenuItem(items_, index, ownId);
    *out = item;
    item->AddRef();
    return S_OK;
}

HRESULT MenuService::CreateItem(DWORD, const char16_t* path, const char16_t* text, DWORD, DWORD, DWORD,
                                const char16_t* title, DWORD, DWORD, DWORD kind, DWORD, DWORD, DWORD order,
                                ICAFCommand** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    MenuRecord record;
    record.kind = kind == 56 ? MenuRecord::Kind::Category : MenuRecord::Kind::Separator;
    record.path = ToText(path);
    record.text = ToText(text);
    record.title = ToText(title);
    record.itemKind = kind;
    record.order = order;
    log_.Record("menus", record.kind == MenuRecord::Kind::Category ? "Category" : "Separator",
                Narrow(record.path) + "|" + Narrow(record.text) + "|" + Narrow(record.title));
    items_.push_back(std::move(record));
    return Hand(items_.size() - 1, 0, out);
}

HRESULT MenuService::CreateCommand(DWORD firstValue, HINSTANCE module, UINT stringId, const char16_t* path,
                                   UINT imageId, const char16_t* categoryKey, const char16_t* furtherText,
                                   DWORD group, DWORD, DWORD, ICAFCommand** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    MenuRecord record;
    record.kind = MenuRecord::Kind::Command;
    record.firstValue = firstValue;
    record.module = module;
    record.stringId = stringId;
    record.path = ToText(path);
    record.imageId = imageId;
    record.category = ToText(categoryKey);
    record.furtherText = ToText(furtherText);
    record.group = group;
    log_.Record("menus", "Command", Narrow(record.path) + " " + std::to_string(stringId));
    items_.push_back(std::move(record));
    const DWORD ownId = nextOwnId_;
    nextOwnId_ = 0;
    return Hand(items_.size() - 1, ownId, out);
}

HRESULT CommandService::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_ICommandService, static_cast<ICommandService*>(this)}}, iid, out);
}

HRESULT CommandService::GetRegistrar(DWORD commandClass, DWORD kind, DWORD flags, IUnknown** out)
{
    log_.Record("commands", "GetRegistrar", Hex(commandClass) + " " + Hex(kind) + " " + Hex(flags));
    if (!out) {
        return E_POINTER;
    }
    auto* registrar = new CommandRegistrar;
    *out = registrar;
    registrar->AddRef();
    return S_OK;
}

platform::ComPtr<CommandState> CommandState::Create() { return platform::ComPtr<CommandState>(new CommandState); }

HRESULT CommandState::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_ICommandState, static_cast<ICommandState*>(this)}}, iid, out);
}

HRESULT CommandState::SetText(const char16_t* text)
{
    text_ = ToText(text);
    return S_OK;
}

HRESULT CommandState::SetEnabled(WORD enabled)
{
    enabled_ = enabled;
    return S_OK;
}

HRESULT CommandState::SetCheck(WORD check, WORD mask)
{
    check_ = std::make_pair(check, mask);
    return S_OK;
}

// ---- registrations

HRESULT ClassRegistration::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({
                           {&IID_IDocClassSite, static_cast<IDocClassSite*>(this)},
                           {&IID_ICommandTarget, static_cast<ICAFCommandHandler*>(this)},
                       },
                       iid, out);
}

HRESULT LoggedCommands::Execute(DWORD commandId)
{
    log_.Record(service_, "Execute", Hex(commandId));
    return answer_;
}

HRESULT LoggedCommands::QueryState(DWORD commandId, ICommandState*)
{
    log_.Record(service_, "QueryState", Hex(commandId));
    return answer_;
}

HRESULT LoggedCommands::Dispatch(DWORD commandId, DWORD kind, LPARAM, LPARAM)
{
    log_.Record(service_, "Dispatch", Hex(commandId) + " " + Hex(kind));
    return answer_;
}

RegistrationLink::RegistrationLink(CallLog& log, ICustomDocument2* document, HostDocument* hostDocument)
    : log_(log), document_(document), hostDocument_(hostDocument)
{
}

HRESULT RegistrationLink::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({
                           {&IID_IMessageHandler, static_cast<IMessageHandler*>(this)},
                           {&IID_IObserver, static_cast<IObserver*>(this)},
                           {&IID_IObserverSink, static_cast<IObserverSink*>(this)},
                           {&IID_IDocumentSite, static_cast<IDocumentSite*>(this)},
                       },
                       iid, out);
}

HRESULT RegistrationLink::HandleMessage(IMessage* message)
{
    DWORD id = 0;
    if (message) {
        message->GetId(&id);
    }
    messages_.push_back(id);
    log_.Record("link", "HandleMessage", Hex(id));
    platform::ComPtr<IChannelCalcChange> change;
    if (message && hostDocument_ &&
        SUCCEEDED(message->QueryInterface(IID_IChannelCalcChange, change.OutVoid())) && change) {
        hostDocument_->ApplyCalcChange(change.Get());
    }
    return messageAnswer_;
}

HRESULT RegistrationLink::GetOwner(IUnknown** owner)
{
    if (!owner) {
        return E_POINTER;
    }
    return Answer(static_cast<IUnknown*>(static_cast<IMessageHandler*>(this)), reinterpret_cast<void**>(owner));
}

HRESULT RegistrationLink::RegisterWith(ISubject*)
{
    log_.Record("link", "RegisterWith");
    return S_OK;
}

HRESULT RegistrationLink::Notify(ISubject*, DWORD eventId, DWORD value, const void*)
{
    log_.Record("link", "Notify", Hex(eventId) + " " + Hex(value));
    return S_OK;
}

HRESULT RegistrationLink::Notify(DWORD eventId, const void*)
{
    log_.Record("link", "NotifyObservers", Hex(eventId));
    return S_OK;
}

HRESULT RegistrationLink::GetSiteObject(IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!hostDocument_) {
        return E_FAIL;
    }
    return Answer(hostDocument_->AsUnknown(), reinterpret_cast<void**>(out));
}

HRESULT RegistrationLink::GetExtension(DWORD typeId, DWORD reserved, IUnknown** out)
{
    return hostDocument_ ? hostDocument_->GetExtension(typeId, reserved, out) : E_FAIL;
}

HRESULT DocClassRegistration::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IDocClassRegistration, static_cast<IDocClassRegistration*>(this)}}, iid, out);
}

HRESULT DocClassRegistration::Register(IUnknown** registration, ICustomDocClass* documentClass, DWORD flags)
{
    log_.Record("documents", "RegisterClass", Hex(flags));
    if (!registration || !documentClass) {
        return E_POINTER;
    }
    // The host holds the class object while it registers it, as the module's own reference guard expects.
    platform::ComPtr<ICustomDocClass> held(documentClass);
    platform::ComPtr<ClassRegistration> entry(new ClassRegistration(log_, documentClass));
    registrations_.push_back(entry);
    *registration = static_cast<IDocClassSite*>(entry.Get());
    (*registration)->AddRef();
    return S_OK;
}

HRESULT DocRegistration::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IDocRegistration, static_cast<IDocRegistration*>(this)}}, iid, out);
}

HRESULT DocRegistration::Register(ICustomDocClass*, IUnknown* hostDocument, ICustomDocument2* document, DWORD flags,
                                  IUnknown** link)
{
    log_.Record("documents", "RegisterDocument", Hex(flags));
    if (!link || !document) {
        return E_POINTER;
    }
    platform::ComPtr<IHostDocument> host;
    if (hostDocument) {
        hostDocument->QueryInterface(IID_IHostDocument, host.OutVoid());
    }
    // Our own host documents only: the link reaches the document's site through it.
    auto* owner = static_cast<HostDocument*>(host.Get());
    platform::ComPtr<RegistrationLink> entry(new RegistrationLink(log_, document, owner));
    links_.push_back(entry);
    *link = static_cast<IMessageHandler*>(entry.Get());
    (*link)->AddRef();
    return S_OK;
}

void DocRegistration::DropDocuments()
{
    const auto links = std::move(links_);
    links_.clear();
    for (const auto& link : links) {
        if (ICustomDocument2* document = link->Document()) {
            document->Close();
        }
        link->DropDocument();
    }
}

// ---- host documents

platform::ComPtr<HostDocument> HostDocument::Create(CallLog& log, DWORD identity, platform::ComPtr<ChartData> chart)
{
    return platform::ComPtr<HostDocument>(new HostDocument(log, identity, std::move(chart)));
}

HRESULT HostDocument::QueryInterface(REFIID iid, void** out)
{
    if (chart_ && (iid == IID_IChartDocument || iid == IID_IChannelData || iid == IID_IChartCalcChannels ||
                   iid == IID_IChartTimes || iid == IID_IDataSourceHolder || iid == IID_IChartExtent ||
                   iid == IID_IChartSelection || iid == IID_ICalcTextTarget || iid == IID_IChannelNaming ||
                   iid == IID_IOnlineDataNotices || iid == IID_ISamplingPosition || iid == IID_IChartChanges ||
                   iid == IID_IPropertySource || iid == IID_ISubject || iid == IID_IDocumentChannels)) {
        return chart_->QueryInterface(iid, out);
    }
    if (iid == IID_IHostSampling && out) {
        *out = nullptr;
        return sampling_ ? sampling_->QueryInterface(iid, out) : E_NOINTERFACE;
    }
    if (iid == IID_IPreviewDocument && preview_) {
        return preview_->QueryInterface(iid, out);
    }
    if (iid == IID_IMessageHandler) {
        // The document's node of the host's handler tree, where windows of the module register their handlers.
        return handlers_.QueryInterface(iid, out);
    }
    const HRESULT own = AnswerFrom({
                                       {&IID_IHostDocument, static_cast<IHostDocument*>(this)},
                                       {&IID_IDocumentSite, static_cast<IDocumentSite*>(this)},
                                       {&IID_IViewRegistration, static_cast<IViewRegistration*>(this)},
                                       {&IID_IHostApplicationLink, static_cast<IHostApplicationLink*>(this)},
                                       {&IID_IDocumentStorage, static_cast<IDocumentStorage*>(this)},
                                       {&IID_IHostDocumentUpdate, static_cast<IHostDocumentUpdate*>(this)},
                                       {&IID_IHostObjectsById, static_cast<IHostObjectsById*>(this)},
                                       {&IID_IFrameworkMessageTarget, static_cast<IFrameworkMessageTarget*>(this)},
                                       {&IID_IChannelCalcQuery, static_cast<IChannelCalcQuery*>(this)},
                                       {&IID_IPaneMetrics, static_cast<IPaneMetrics*>(this)},
                                   },
                                   iid, out);
    // The framework's own document interfaces stay the extension documents' own.
    if (own == S_OK || !out || iid == IID_IUnknown || iid == IID_ICustomDocument2 || iid == IID_IMessageHandler ||
        iid == IID_ICAFCommandHandler || iid == IID_IObserver) {
        return own;
    }
    for (const auto& document : documents_) {
        if (document && SUCCEEDED(document->QueryInterface(iid, out)) && *out) {
            return S_OK;
        }
    }
    if (own == E_NOINTERFACE && extensionDocument_) {
        return extensionDocument_->QueryInterface(iid, out);
    }
    return own;
}

HRESULT HostDocument::GetObjectById(DWORD id, DWORD, IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    log_.Record("hostdocument", "GetObjectById", Hex(id));
    // The host knows its chart family's objects by index; the family's class id is the module's to ask for.
    if ((id & 0xFFFFu) != 2) {
        return E_FAIL;
    }
    return chartView_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(out));
}

HRESULT HostDocument::Update(DWORD argument)
{
    log_.Record("hostdocument", "Update", Hex(argument));
    ++updates_;
    return S_OK;
}

HRESULT HostDocument::Post(DWORD code, DWORD value, double top, double bottom, LONG channel)
{
    log_.Record("hostdocument", "FrameworkMessage", Hex(code));
    frameworkMessages_.push_back({code, value, top, bottom, channel});
    return S_OK;
}

HRESULT HostDocument::GetApplication(IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = application_.Get();
    if (!*out) {
        return E_NOINTERFACE;
    }
    (*out)->AddRef();
    return S_OK;
}

HRESULT HostDocument::Register(IUnknown*, DWORD, IPersistStreamInit* object, DWORD, DWORD, BSTR* name)
{
    if (!object) {
        return E_POINTER;
    }
    log_.Record("storage", "register");
    stored_.push_back(object);
    if (name) {
        const std::string text = "Extension" + std::to_string(stored_.size());
        const std::u16string wide(text.begin(), text.end());
        *name = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
    return S_OK;
}

HRESULT HostDocument::Withdraw(IPersistStreamInit* object)
{
    log_.Record("storage", "withdraw");
    const auto found = std::find(stored_.begin(), stored_.end(), object);
    if (found == stored_.end()) {
        return S_FALSE;
    }
    stored_.erase(found);
    return S_OK;
}

HRESULT HostDocument::SaveState(std::vector<platform::ComPtr<platform::MemoryStream>>& streams)
{
    streams.clear();
    HRESULT result = S_OK;
    for (IPersistStreamInit* object : stored_) {
        streams.push_back(platform::MemoryStream::Create());
        const HRESULT saved = object->Save(streams.back().Get(), TRUE);
        if (FAILED(saved) && SUCCEEDED(result)) {
            result = saved;
        }
    }
    return result;
}

HRESULT HostDocument::LoadState(const std::vector<platform::ComPtr<platform::MemoryStream>>& streams)
{
    HRESULT result = S_OK;
    for (std::size_t i = 0; i < stored_.size() && i < streams.size(); ++i) {
        streams[i]->Seek(MakeLargeInteger(0), STREAM_SEEK_SET, nullptr);
        const HRESULT loaded = stored_[i]->Load(streams[i].Get());
        if (FAILED(loaded) && SUCCEEDED(result)) {
            result = loaded;
        }
    }
    return result;
}

HRESULT HostDocument::GetIdentity(DWORD* identity)
{
    if (!identity) {
        return E_POINTER;
    }
    *identity = identity_;
    return S_OK;
}

HRESULT HostDocument::GetViewName(IKVOString** name)
{
    if (!name) {
        return E_POINTER;
    }
    *name = MakeString(name_).Detach();
    return S_OK;
}

void HostDocument::SetFileName(const std::string& path)
{
    name_ = platform::Utf8ToUtf16(std::filesystem::path(path).filename().string());
}

HRESULT HostDocument::AttachView(IDocView2* view)
{
    log_.Record("hostdocument", "AttachView");
    views_.push_back(view);
    return S_OK;
}

HRESULT HostDocument::ObserveChart(IUnknown* view)
{
    platform::ComPtr<ISubject> subject;
    platform::ComPtr<IObserver> observer;
    if (!view || !chart_ || FAILED(chart_->QueryInterface(IID_ISubject, subject.OutVoid())) || !subject ||
        FAILED(view->QueryInterface(IID_IObserver, observer.OutVoid())) || !observer) {
        return E_NOINTERFACE;
    }
    return observer->RegisterWith(subject.Get());
}

HRESULT HostDocument::DetachView(IDocView2* view)
{
    log_.Record("hostdocument", "DetachView");
    std::erase(views_, view);
    return S_OK;
}

HRESULT HostDocument::GetSiteInterface(IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    return Answer(static_cast<IUnknown*>(static_cast<IDocumentSite*>(this)), reinterpret_cast<void**>(out));
}

HRESULT HostDocument::GetHostFrame(IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!frame_) {
        return E_FAIL;
    }
    *out = frame_.Get();
    frame_->AddRef();
    return S_OK;
}

HRESULT HostDocument::GetExtension(DWORD typeId, DWORD reserved, IUnknown** out)
{
    if (tallysheet_ && typeId == tallysheetTypeId_ && out) {
        *out = tallysheet_.Get();
        (*out)->AddRef();
        return S_OK;
    }
    if (extensions_) {
        return extensions_->GetExtension(typeId, reserved, out);
    }
    if (out) {
        *out = nullptr;
    }
    return E_FAIL;
}

HRESULT HostDocument::AddView(IUnknown*)
{
    log_.Record("hostdocument", "AddView");
    return S_OK;
}

platform::ComPtr<ICustomDocument2> HostDocument::CreateDocument(ICustomDocClass* documentClass)
{
    platform::ComPtr<ICustomDocument2> document;
    if (documentClass) {
        documentClass->CreateDocument(AsUnknown(), document.Out());
    }
    if (document) {
        documents_.push_back(document);
    }
    return document;
}

void HostDocument::CloseDocuments()
{
    const auto documents = std::move(documents_);
    documents_.clear();
    for (const auto& document : documents) {
        if (document) {
            document->Close();
        }
    }
}

// ---- views

HRESULT ViewClassRegistry::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IViewClassRegistry, static_cast<IViewClassRegistry*>(this)}}, iid, out);
}

HRESULT ViewClassRegistry::Register(IUnknown* viewClass, REFIID, IUnknown** registration)
{
    log_.Record("views", "RegisterClass");
    if (!viewClass || !registration) {
        return E_POINTER;
    }
    platform::ComPtr<ViewCommands> commands(new ViewCommands(log_));
    platform::ComPtr<IDocViewClass> held;
    if (SUCCEEDED(viewClass->QueryInterface(IID_IDocViewClass, held.OutVoid())) && held) {
        entries_.push_back({held, commands});
    }
    ++count_;
    auto* entry = new ViewRegistration(log_, commands);
    *registration = entry;
    entry->AddRef();
    return S_OK;
}

void ViewClassRegistry::Complete(IDocViewClass* viewClass)
{
    const auto found = std::ranges::find_if(entries_, [&](const Entry& entry) {
        return entry.viewClass.Get() == viewClass;
    });
    if (found == entries_.end() || found->complete) {
        return;
    }
    // The class registered itself while it was being made, when it could not name its module yet.
    found->complete = true;
    HINSTANCE module = nullptr;
    if (SUCCEEDED(viewClass->GetModuleInstance(&module))) {
        found->module = module;
    }
    viewClass->RegisterClass();
}

std::vector<IDocViewClass*> ViewClassRegistry::Classes() const
{
    std::vector<IDocViewClass*> classes;
    for (const Entry& entry : entries_) {
        classes.push_back(entry.viewClass.Get());
    }
    return classes;
}

IDocViewClass* ViewClassRegistry::Find(std::u16string_view name) const
{
    for (const Entry& entry : entries_) {
        BSTR text = nullptr;
        const bool same =
            SUCCEEDED(entry.viewClass->GetViewName(&text)) && text && std::u16string_view(text) == name;
        SysFreeString(text);
        if (same) {
            return entry.viewClass.Get();
        }
    }
    return nullptr;
}

const ViewClassRegistry::Entry* ViewClassRegistry::EntryOf(const IDocViewClass* viewClass) const
{
    const auto found = std::ranges::find_if(entries_, [&](const Entry& entry) {
        return entry.viewClass.Get() == viewClass;
    });
    return found == entries_.end() ? nullptr : &*found;
}

HINSTANCE ViewClassRegistry::ModuleOf(const IDocViewClass* viewClass) const
{
    const Entry* entry = EntryOf(viewClass);
    return entry ? entry->module : nullptr;
}

bool ViewClassRegistry::KeepsCommands(const IDocViewClass* viewClass) const
{
    // The registry's own reference and the registration's are the host's.
    const Entry* entry = EntryOf(viewClass);
    return entry && entry->commands->References() > 2;
}

HRESULT ViewCommands::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_ICAFCommandHandler, static_cast<ICAFCommandHandler*>(this)}}, iid, out);
}

platform::ComPtr<HostFrame> HostFrame::Create(CallLog& log, int width, int height)
{
    return platform::ComPtr<HostFrame>(new HostFrame(log, width, height));
}

HostFrame::HostFrame(CallLog& log, int width, int height) : log_(log)
{
    frame_ = CreateWindowExW(0, FrameClass(), u"Host frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, width, height,
                             nullptr, nullptr, nullptr, nullptr);
    RECT area{};
    GetClientRect(frame_, &area);
    client_ = CreateWindowExW(0, FrameClass(), u"", WS_CHILD | WS_VISIBLE, 0, 0, area.right, area.bottom, frame_,
                              nullptr, nullptr, nullptr);
}

HostFrame::~HostFrame()
{
    if (frame_ && IsWindow(frame_)) {
        DestroyWindow(frame_);
    }
}

HRESULT HostFrame::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({
                           {&IID_IHostFrame, static_cast<IHostFrame*>(this)},
                           {&IID_IHostFrameObject, static_cast<IHostFrameObject*>(this)},
                           {&IID_IParentSite, static_cast<IParentSite*>(this)},
                           {&IID_IHostFrameApplication, static_cast<IHostFrameApplication*>(this)},
                       },
                       iid, out);
}

HRESULT HostFrame::GetFrameObject(IHostFrameObject** out)
{
    if (!out) {
        return E_POINTER;
    }
    return Answer(static_cast<IHostFrameObject*>(this), reinterpret_cast<void**>(out));
}

PrintService& HostFrame::Printing()
{
    if (!printing_) {
        printing_ = PrintService::Create(log_);
    }
    return *printing_.Get();
}

HRESULT HostFrame::GetPrintService(IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!printOffered_) {
        return E_NOTIMPL;
    }
    *out = static_cast<ICAFPrintService*>(&Printing());
    (*out)->AddRef();
    return S_OK;
}

HRESULT HostFrame::HasContent(DWORD* flag)
{
    if (!flag) {
        return E_POINTER;
    }
    *flag = hasContent_ ? 1 : 0;
    return S_OK;
}

HRESULT HostFrame::OnFrameMessage(DWORD messageId)
{
    log_.Record("frame", "OnFrameMessage", Hex(messageId));
    ++frameMessages_;
    return S_OK;
}

HRESULT HostFrame::GetWindow(HWND* window)
{
    if (!window) {
        return E_POINTER;
    }
    *window = client_;
    return S_OK;
}

HRESULT HostFrame::GetWindowHandle(HWND* window)
{
    if (!window) {
        return E_POINTER;
    }
    log_.Record("frame", "GetWindowHandle");
    *window = frame_;
    return S_OK;
}

void HostFrame::ShowViewTitle(IUnknown* view)
{
    platform::ComPtr<IViewTitle> titled;
    BSTR title = nullptr;
    if (view && SUCCEEDED(view->QueryInterface(IID_IViewTitle, titled.OutVoid())) && titled) {
        titled->GetTitle(&title);
    }
    log_.Record("frame", "ShowViewTitle", Narrow(title ? std::u16string_view(title, SysStringLen(title)) : u""));
    SetWindowTextW(frame_, title ? title : u"");
    SysFreeString(title);
}

HRESULT HostFrame::Close()
{
    log_.Record("frame", "Close", Hex(static_cast<unsigned>(closeResult_)));
    return closeResult_;
}

void HostFrame::SetMaximised(bool maximised)
{
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(frame_, GWL_STYLE));
    SetWindowLongPtrW(frame_, GWL_STYLE, maximised ? (style | WS_MAXIMIZE) : (style & ~WS_MAXIMIZE));
}

platform::ComPtr<ViewSite> ViewSite::Create(CallLog& log, platform::ComPtr<HostFrame> frame)
{
    return platform::ComPtr<ViewSite>(new ViewSite(log, std::move(frame)));
}

HRESULT ViewSite::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({
                           {&IID_IViewSite, static_cast<IViewSite*>(this)},
                           {&IID_IHostView, static_cast<IHostView*>(this)},
                       },
                       iid, out);
}

HRESULT ViewSite::QueryCloseView(IDocView2*, WORD* mayClose)
{
    log_.Record("viewsite", "QueryCloseView");
    if (mayClose) {
        *mayClose = mayClose_ ? 0xFFFF : 0;
    }
    return S_OK;
}

HRESULT ViewSite::DetachView(IDocView2*)
{
    log_.Record("viewsite", "DetachView");
    ++detached_;
    return S_OK;
}

HRESULT ViewSite::ViewActivated(IDocView2*)
{
    log_.Record("viewsite", "ViewActivated");
    return S_OK;
}

HRESULT ViewSite::GetFrame(IHostFrame** frame)
{
    if (!frame) {
        return E_POINTER;
    }
    *frame = nullptr;
    if (!frame_) {
        return E_FAIL;
    }
    return Answer(static_cast<IHostFrame*>(frame_.Get()), reinterpret_cast<void**>(frame));
}

HRESULT ViewSite::GetSite(IViewSite** site)
{
    if (!site) {
        return E_POINTER;
    }
    return Answer(static_cast<IViewSite*>(this), reinterpret_cast<void**>(site));
}

OpenedView OpenView(CallLog& log, IDocViewClass* viewClass, HostDocument* document)
{
    OpenedView opened;
    opened.frame = HostFrame::Create(log, 640, 480);
    opened.site = ViewSite::Create(log, opened.frame);
    if (!viewClass) {
        return opened;
    }
    viewClass->CreateView(document ? document->AsUnknown() : nullptr, opened.site.Get(), opened.view.Out());
    if (opened.view) {
        opened.view->QueryInterface(IID_IClientWindow, opened.client.OutVoid());
    }
    if (opened.client) {
        opened.created = opened.client->Create(opened.frame.Get(), &opened.window);
    }
    if (opened.created == S_OK) {
        opened.frame->ShowViewTitle(opened.view.Get());
    }
    if (document && opened.created == S_OK) {
        document->ObserveChart(opened.view.Get());
    }
    return opened;
}

namespace {
// While it lives, the process's host application answers for print services with the printing of the frame
// that prints: views that ask the application print where the frame's printing writes.
class ApplicationPrintsTo {
public:
    explicit ApplicationPrintsTo(PrintService& printing)
    {
        platform::ComPtr<IApplicationService> registered;
        CoGetClassObject(CLSID_ApplicationService, CLSCTX_INPROC_SERVER, nullptr, IID_IApplicationService,
                         registered.OutVoid());
        application_ = dynamic_cast<ApplicationService*>(registered.Get());
        if (application_) {
            previous_ = application_->Printing();
            application_->SetPrintService(&printing);
        }
    }
    ~ApplicationPrintsTo()
    {
        if (application_) {
            application_->SetPrintService(previous_.Get());
        }
    }
    ApplicationPrintsTo(const ApplicationPrintsTo&) = delete;
    ApplicationPrintsTo& operator=(const ApplicationPrintsTo&) = delete;

private:
    ApplicationService* application_ = nullptr;
    platform::ComPtr<ICAFPrintService> previous_;
};
} // namespace

int PrintViewToPdf(const OpenedView& opened, const std::string& pdfPath, int dpi)
{
    if (!opened.frame || !opened.view) {
        return 0;
    }
    PrintService& printing = opened.frame->Printing();
    printing.SetOutput(pdfPath, dpi);
    platform::ComPtr<IMessageHandler> handler;
    if (FAILED(opened.view->QueryInterface(IID_IMessageHandler, handler.OutVoid())) || !handler) {
        return 0;
    }
    auto print = platform::ComPtr<HostMessage>::Adopt(HostMessage::Create(kPrintMessageId, 0));
    const ApplicationPrintsTo route(printing);
    // A view may hand over several printouts for one print command: they go into one file.
    printing.BeginJob();
    handler->HandleMessage(print.Get());
    return printing.EndJob();
}

int PrintViewRepeatedly(const OpenedView& opened, const std::string& pdfPath, int times,
                        const std::function<void(int)>& before, int dpi)
{
    platform::ComPtr<IMessageHandler> handler;
    if (!opened.frame || !opened.view || FAILED(opened.view->QueryInterface(IID_IMessageHandler, handler.OutVoid())) ||
        !handler) {
        return 0;
    }
    PrintService& printing = opened.frame->Printing();
    printing.SetOutput(pdfPath, dpi);
    const ApplicationPrintsTo route(printing);
    printing.BeginJob();
    for (int i = 0; i < times; ++i) {
        if (before) {
            before(i);
        }
        auto print = platform::ComPtr<HostMessage>::Adopt(HostMessage::Create(kPrintMessageId, 0));
        handler->HandleMessage(print.Get());
    }
    return printing.EndJob();
}

bool SaveViewPicture(const OpenedView& opened, const std::string& pngPath)
{
    if (!opened.window || !opened.frame) {
        return false;
    }
    RECT shown{};
    GetWindowRect(opened.window, &shown);
    if (shown.right <= shown.left || shown.bottom <= shown.top) {
        // A view not laid out yet fills its frame's client area, as the frame shows it.
        RECT area{};
        GetClientRect(opened.frame->ClientWindow(), &area);
        MoveWindow(opened.window, 0, 0, area.right, area.bottom, TRUE);
    }
    return ui::RenderWindowToPng(opened.window, pngPath);
}

// ---- the framework objects

HRESULT DocumentFramework::GetObject(DWORD id, REFIID iid, void** out)
{
    switch (id) {
    case CAF::ObjectId::kMessageBus:
        return bus.QueryInterface(iid, out);
    case CAF::ObjectId::kViewClassRegistry:
        return viewClasses.QueryInterface(iid, out);
    case CAF::ObjectId::kDocumentRegistration:
        return documentRegistration.QueryInterface(iid, out);
    case CAF::ObjectId::kDocumentClassRegistration:
        return classRegistration.QueryInterface(iid, out);
    case CAF::ObjectId::kMenuService:
        return menus.QueryInterface(iid, out);
    case CAF::ObjectId::kCommandService:
        return commands.QueryInterface(iid, out);
    default:
        return E_FAIL;
    }
}

void DocumentFramework::Drop()
{
    documentRegistration.DropDocuments();
    classRegistration.Clear();
    viewClasses.Clear();
}

HRESULT HostDocument::GetRecordedChannelCount(DWORD, LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    // A document without a recording has none.
    *count = 0;
    platform::ComPtr<DataSource> source;
    if (chart_ && SUCCEEDED(chart_->QueryInterface(IID_HostDataSource, source.OutVoid())) && source) {
        *count = source->GetDocument().ChannelCount();
    }
    return S_OK;
}

HRESULT HostDocument::GetChannelExtent(DWORD, LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    LONG highest = -1;
    for (const CalcChannel* channel : calcChannels_) {
        highest = std::max(highest, channel->Channel());
    }
    *count = highest + 1;
    return S_OK;
}

HRESULT HostDocument::GetExtraChannelCount(DWORD, LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

CalcChannel* HostDocument::FindCalcChannel(LONG channel) const
{
    const auto found = std::ranges::find_if(calcChannels_, [channel](const CalcChannel* c) {
        return c->Channel() == channel;
    });
    return found == calcChannels_.end() ? nullptr : *found;
}

HRESULT HostDocument::GetChannelCalc(DWORD messageId, LONG channel, DWORD kind, IChannelCalc** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    log_.Record("hostdocument", "GetChannelCalc", Hex(messageId) + " " + std::to_string(channel) + " " + Hex(kind));
    const CalcChannel* found = FindCalcChannel(channel);
    if (!found || !found->Calculation()) {
        return S_FALSE;
    }
    *out = found->Calculation();
    (*out)->AddRef();
    return S_OK;
}

void HostDocument::ApplyCalcChange(IChannelCalcChange* change)
{
    LONG channel = -1;
    platform::ComPtr<IChannelCalc> calculation;
    if (FAILED(change->GetChange(&channel, calculation.Out()))) {
        return;
    }
    log_.Record("hostdocument", "ApplyCalcChange", std::to_string(channel));
    CalcChannel* found = FindCalcChannel(channel);
    if (found && !calculation) {
        found->RemoveCalculation();
    }
}

} // namespace host
