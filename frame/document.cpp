#include "frame/document.h"

#include "foundation/xkvo.h"
#include "frame/hostservices.h"
#include "sdk/calcchannels.h"
#include "sdk/datasource.h"

#include <cstring>

namespace CAF {

bool SameClassId(const GUID* stored, const GUID* given)
{
    if (!stored || !given) {
        return false;
    }
    return stored == given || std::memcmp(stored, given, sizeof(GUID)) == 0;
}

HRESULT TextToBSTR(const KVO::String& text, BSTR* out)
{
    if (!out) {
        return E_POINTER;
    }
    if (*out) {
        SysFreeString(*out);
        *out = nullptr;
    }
    if (!text.IsEmpty()) {
        *out = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.Length()));
        if (!*out) {
            return E_OUTOFMEMORY;
        }
    }
    return S_OK;
}

namespace {

// A framework object by fixed id, with one reference.
template <class I>
platform::ComPtr<I> FrameworkObject(DWORD objectId, const IID& iid)
{
    platform::ComPtr<I> object;
    if (ICAFFramework* framework = GetFrameworkClassObject()) {
        framework->GetObject(objectId, iid, object.OutVoid());
    }
    return object;
}

} // namespace

} // namespace CAF

// ---- CAFDocumentClassBase

CAFDocumentClassBase::CAFDocumentClassBase(const char16_t* name, const GUID* commandFamily, const GUID* classId,
                                           DWORD commandIdBase, DWORD version, DWORD registrationFlags)
    : name_(name), commandFamily_(commandFamily), classId_(classId), commandIdBase_(commandIdBase),
      version_(version)
{
    auto registrar = CAF::FrameworkObject<IDocClassRegistration>(CAF::ObjectId::kDocumentClassRegistration,
                                                                 IID_IDocClassRegistration);
    if (!registrar) {
        return;
    }
    // References that the host takes and drops while it registers must not delete the object being built.
    InternalAddRef();
    registrar->Register(registration_.Out(), this, registrationFlags);
    if (registration_) {
        platform::ComPtr<IDocClassSite> site;
        if (SUCCEEDED(registration_->QueryInterface(IID_IDocClassSite, site.OutVoid())) && site) {
            classSite_ = site.Get(); // kept without a reference: the registration holds it
        }
    }
    InternalDropGuard();
}

CAFDocumentClassBase::~CAFDocumentClassBase()
{
    commands_.RemoveAll();
    classSite_ = nullptr;
    registration_.Reset();
}

HRESULT CAFDocumentClassBase::QueryInterface(REFIID iid, void** out)
{
    static constexpr KVO::InterfaceEntry table[] = {
        {&IID_ICustomDocClass, &KVO::InterfaceCast<CAFDocumentClassBase, ICustomDocClass>},
        {&IID_ICAFClassObject, &KVO::InterfaceCast<CAFDocumentClassBase, ICAFClassObject>},
        {&IID_ICAFCommandHandler, &KVO::InterfaceCast<CAFDocumentClassBase, ICAFCommandHandler>},
        {&IID_ICommandTarget, &KVO::InterfaceCast<CAFDocumentClassBase, ICAFCommandHandler>},
        {&IID_IObserver, &KVO::InterfaceCast<CAFDocumentClassBase, IObserver>},
        {&IID_IMessageHandler, &KVO::InterfaceCast<CAFDocumentClassBase, IMessageHandler>},
        {nullptr, nullptr},
    };
    return InternalQueryInterface(this, table, iid, out);
}

HRESULT CAFDocumentClassBase::GetId(DWORD* commandIdBase)
{
    if (!commandIdBase) {
        return E_POINTER;
    }
    *commandIdBase = commandIdBase_;
    return S_OK;
}

HRESULT CAFDocumentClassBase::GetCategory(const GUID** classId)
{
    if (!classId) {
        return E_POINTER;
    }
    *classId = classId_;
    return S_OK;
}

HRESULT CAFDocumentClassBase::GetName(BSTR* name) { return GetClassName(name); }

HRESULT CAFDocumentClassBase::IsCategory(const GUID* classId)
{
    return CAF::SameClassId(classId_, classId) ? S_OK : S_FALSE;
}

HRESULT CAFDocumentClassBase::GetClassName(BSTR* name)
{
    return KVO::GuardSlot([&] { return CAF::TextToBSTR(name_, name); });
}

HRESULT CAFDocumentClassBase::GetVersion(DWORD* version)
{
    if (!version) {
        return E_POINTER;
    }
    *version = version_;
    return S_OK;
}

HRESULT CAFDocumentClassBase::GetCommandFamily(const GUID** family)
{
    if (!family) {
        return E_POINTER;
    }
    *family = commandFamily_;
    return S_OK;
}

HRESULT CAFDocumentClassBase::RegisterWithUI(IUnknown* site)
{
    return KVO::GuardSlot([&]() -> HRESULT {
        platform::ComPtr<ICAFCommandHandler> commands;
        if (SUCCEEDED(QueryInterface(IID_ICommandTarget, commands.OutVoid())) && commands) {
            RegisterCommands(commands.Get(), site);
        }
        return S_OK;
    });
}

void CAFDocumentClassBase::AddCommand(platform::ComPtr<ICAFCommand>& item)
{
    if (!item) {
        return;
    }
    DWORD changed = 0;
    if (SUCCEEDED(item->GetChanged(&changed)) && changed != 0) {
        commandsChanged_ = true;
    }
    commands_.Add(item.Detach());
}

platform::ComPtr<ICAFCommandHandler> CAFDocumentClassBase::HostCommandTarget() const
{
    platform::ComPtr<ICAFCommandHandler> target;
    if (registration_) {
        registration_->QueryInterface(IID_ICommandTarget, target.OutVoid());
    }
    return target;
}

HRESULT CAFDocumentClassBase::Execute(DWORD commandId)
{
    if (auto host = HostCommandTarget(); host && host->Execute(commandId) == S_OK) {
        return S_OK;
    }
    return CAFEventHandlerT<1>::Execute(commandId);
}

HRESULT CAFDocumentClassBase::QueryState(DWORD commandId, ICommandState* state)
{
    if (auto host = HostCommandTarget(); host && host->QueryState(commandId, state) == S_OK) {
        return S_OK;
    }
    return CAFEventHandlerT<1>::QueryState(commandId, state);
}

HRESULT CAFDocumentClassBase::Dispatch(DWORD commandId, DWORD kind, LPARAM a, LPARAM b)
{
    if (auto host = HostCommandTarget(); host && host->Dispatch(commandId, kind, a, b) == S_OK) {
        return S_OK;
    }
    return CAFEventHandlerT<1>::Dispatch(commandId, kind, a, b);
}

// ---- CAFDocument

CAFDocument::CAFDocument(IUnknown*, IUnknown* hostDocument, ICustomDocClass* documentClass, DWORD flags)
    : flags_(flags), class_(documentClass)
{
    if (hostDocument) {
        platform::ComPtr<IDocumentSite> site;
        if (SUCCEEDED(hostDocument->QueryInterface(IID_IDocumentSite, site.OutVoid())) && site) {
            documentSite_ = site.Get(); // the host document keeps its site
        }
    }
    if (class_) {
        class_->QueryInterface(IID_IDocClassSite, classSite_.OutVoid());
    }
    auto registrar = CAF::FrameworkObject<IDocRegistration>(CAF::ObjectId::kDocumentRegistration,
                                                            IID_IDocRegistration);
    if (!registrar) {
        return;
    }
    InternalAddRef();
    registrar->Register(documentClass, hostDocument, this, flags & 0x40000000u, link_.Out());
    InternalDropGuard();
}

CAFDocument::~CAFDocument()
{
    classSite_.Reset();
    class_.Reset();
    link_.Reset();
}

HRESULT CAFDocument::QueryInterface(REFIID iid, void** out)
{
    static constexpr KVO::InterfaceEntry table[] = {
        {&IID_ICustomDocument2, &KVO::InterfaceCast<CAFDocument, ICustomDocument2>},
        {&IID_ICAFCommandHandler, &KVO::InterfaceCast<CAFDocument, ICAFCommandHandler>},
        {&IID_IObserver, &KVO::InterfaceCast<CAFDocument, IObserver>},
        {&IID_IMessageHandler, &KVO::InterfaceCast<CAFDocument, IMessageHandler>},
        {nullptr, nullptr},
    };
    return InternalQueryInterface(this, table, iid, out);
}

template <class I>
I* CAFDocument::FromLink(I*& cache, const IID& iid)
{
    if (!cache && link_) {
        platform::ComPtr<I> queried;
        if (SUCCEEDED(link_->QueryInterface(iid, queried.OutVoid())) && queried) {
            cache = queried.Get();
        }
    }
    return cache;
}

HRESULT CAFDocument::GetName(BSTR* name)
{
    return KVO::GuardSlot([&] { return CAF::TextToBSTR(displayName_, name); });
}

HRESULT CAFDocument::Close()
{
    hostFrame_.Reset();
    ReleaseLinks();
    ClearTarget();
    return S_OK;
}

HRESULT CAFDocument::Reserved6(IUnknown** out)
{
    if (out) {
        *out = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT CAFDocument::GetFlags(DWORD* flags)
{
    if (!flags) {
        return E_POINTER;
    }
    *flags = flags_;
    return S_OK;
}

HRESULT CAFDocument::GetSiteInterface(IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!siteInterface_ && documentSite_) {
        platform::ComPtr<IUnknown> site;
        if (SUCCEEDED(documentSite_->GetSiteInterface(site.Out())) && site) {
            siteInterface_ = site.Get();
        }
    }
    if (!siteInterface_) {
        return E_FAIL;
    }
    *out = siteInterface_;
    siteInterface_->AddRef();
    return S_OK;
}

HRESULT CAFDocument::Reserved9(IUnknown** first, IUnknown** second)
{
    if (first) {
        *first = nullptr;
    }
    if (second) {
        *second = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT CAFDocument::SetTitle(IKVOString* title)
{
    return KVO::GuardSlot([&]() -> HRESULT {
        if (!title) {
            title_ = KVO::String();
            return S_OK;
        }
        // Our own representation is shared, any other string copied.
        title->AddRef();
        KVO::StringOutParam adopt(title_);
        *adopt.Slot() = title;
        return S_OK;
    });
}

HRESULT CAFDocument::GetTitle(IKVOString** title)
{
    if (!title) {
        return E_POINTER;
    }
    *title = title_.GetInterface();
    return S_OK;
}

HRESULT CAFDocument::GetValue(DWORD* value)
{
    if (!value) {
        return E_POINTER;
    }
    *value = value_;
    return S_OK;
}

HRESULT CAFDocument::SetValue(DWORD value)
{
    value_ = value;
    return S_OK;
}

HRESULT CAFDocument::HandleMessage(IMessage* message)
{
    return KVO::GuardSlot([&]() -> HRESULT {
        if (Accepts(message)) {
            if (DispatchMapMessage(message) != 0 || OfferToChildren(message) != 0) {
                return 1;
            }
        }
        if (IMessageHandler* host = FromLink(hostHandler_, IID_IMessageHandler)) {
            return host->HandleMessage(message);
        }
        return 0;
    });
}

HRESULT CAFDocument::RegisterWith(ISubject* subject)
{
    return KVO::GuardSlot([&]() -> HRESULT {
        if (IObserver* host = FromLink(linkObserver_, IID_IObserver)) {
            host->RegisterWith(subject);
        }
        return CAF::RegisterObserverEntries(*this, subject, this);
    });
}

HRESULT CAFDocument::Notify(ISubject* subject, DWORD eventId, DWORD value, const void* data)
{
    KVO::GuardSlot([&]() -> HRESULT {
        if (IObserver* host = FromLink(linkObserver_, IID_IObserver)) {
            host->Notify(subject, eventId, value, data);
        }
        return CAF::DispatchNotice(*this, eventId, data);
    });
    return S_OK;
}

HRESULT CAFDocument::NotifyObservers(DWORD eventId, const void* data)
{
    IObserverSink* sink = FromLink(linkSink_, IID_IObserverSink);
    return sink ? sink->Notify(eventId, data) : E_FAIL;
}

IUnknown* CAFDocument::GetSiteObject()
{
    if (!siteObject_) {
        if (IDocumentSite* site = FromLink(linkSite_, IID_IDocumentSite)) {
            platform::ComPtr<IUnknown> object;
            if (SUCCEEDED(site->GetSiteObject(object.Out())) && object) {
                siteObject_ = object.Get();
            }
        }
    }
    return siteObject_;
}

IUnknown* CAFDocument::GetHostFrame()
{
    if (!hostFrame_ && documentSite_ && FAILED(documentSite_->GetHostFrame(hostFrame_.Out()))) {
        hostFrame_.Reset();
    }
    return hostFrame_.Get();
}

// ---- ChartChildDocument

ChartChildDocument::ChartChildDocument(IUnknown* outer, IUnknown* hostDocument, ICustomDocClass* documentClass,
                                       DWORD flags)
    : CAFDocument(outer, hostDocument, documentClass, flags)
{
    if (!hostDocument) {
        return;
    }
    hostDocument->QueryInterface(IID_IChartDocument, chartDocument_.OutVoid());
    IChartDocument* chart = chartDocument_.Get();
    if (!chart) {
        return;
    }
    // A further interface of a link object, kept without a reference (the link object holds it).
    const auto further = [](IUnknown* object, const IID& iid) -> IUnknown* {
        IUnknown* found = nullptr;
        if (object && SUCCEEDED(object->QueryInterface(iid, reinterpret_cast<void**>(&found))) && found) {
            found->Release();
            return found;
        }
        return nullptr;
    };
    chart->GetChannelDataLink(&links_[kChannelDataLink]);
    chart->GetCalculationsLink(&links_[kCalculationsLink]);
    links_[kCalcChannels] = further(links_[kCalculationsLink], IID_IChartCalcChannels);
    chart->GetTimesLink(&links_[kTimesLink]);
    chart->GetSelectionLink(&links_[kSelectionLink]);
    chart->GetExtentLink(&links_[kExtentLink]);
    chart->GetDataSourceLink(&links_[kDataSourceLink]);
    chart->GetServerLink(0, &links_[kServerLink]);
    links_[kDataSource] = further(links_[kDataSourceLink], IID_IDataSource);
    // The channel data of the slot-16 object, or of the chart document itself when it gives none.
    IUnknown* channelSource = links_[kChannelDataLink] ? links_[kChannelDataLink] : chart;
    channelData_ = static_cast<IChannelData*>(further(channelSource, IID_IChannelData));
}

ChartChildDocument::~ChartChildDocument() { ReleaseLinks(); }

void ChartChildDocument::ReleaseLinks()
{
    channelData_ = nullptr;
    links_[kCalcChannels] = nullptr;
    links_[kDataSource] = nullptr;
    for (IUnknown*& word : links_) {
        if (word) {
            word->Release();
            word = nullptr;
        }
    }
    chartDocument_.Reset();
}

// ---- COMDebugClass

HRESULT COMDebugClass::GetName(BSTR* name)
{
    if (!name) {
        return E_POINTER;
    }
    *name = nullptr;
    const char* text = GetObjectName();
    return text ? CAF::TextToBSTR(KVO::String(text), name) : S_OK;
}
