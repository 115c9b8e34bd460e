// The document framework of the module: the document class object that the host keeps for the module's document
// type, the module's document of one host document, its link to the host's chart document, and the object
// information that views carry.
#pragma once

#include "foundation/arrays.h"
#include "foundation/comobject.h"
#include "foundation/kvostring.h"
#include "foundation/xkvo.h"
#include "frame/eventhandlers.h"
#include "sdk/chartdata.h"
#include "sdk/docframework.h"
#include "sdk/documentsite.h"

#include <array>

namespace CAF {

// Equal GUIDs, or the same pointer; false when either is null.
bool SameClassId(const GUID* stored, const GUID* given);
// A new BSTR of the text without its NUL in *out (a BSTR already there is freed first); null for an empty text.
HRESULT TextToBSTR(const KVO::String& text, BSTR* out);

} // namespace CAF

class CAFDocumentClassBase : public ICustomDocClass, public CAF::CAFEventHandlerT<1>, public KVO::CComObjectRoot {
public:
    // Registers the class object with the host's document-class registration (object 0x80000012).
    CAFDocumentClassBase(const char16_t* name, const GUID* commandFamily, const GUID* classId, DWORD commandIdBase,
                         DWORD version, DWORD registrationFlags);
    ~CAFDocumentClassBase() override;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    // ICAFClassObject
    HRESULT GetId(DWORD* commandIdBase) override;
    HRESULT GetCategory(const GUID** classId) override;
    HRESULT GetName(BSTR* name) override;
    HRESULT IsCategory(const GUID* classId) override;
    // ICustomDocClass
    HRESULT GetClassName(BSTR* name) override;
    HRESULT GetVersion(DWORD* version) override;
    HRESULT Default10() override { return S_OK; }
    HRESULT RegisterWithUI(IUnknown* site) override;
    HRESULT Default12() override { return S_OK; }
    HRESULT GetCommandFamily(const GUID** family) override;
    // Commands go to the host's command target of the registration first; its zero answer ends the request.
    HRESULT Execute(DWORD commandId) override;
    HRESULT QueryState(DWORD commandId, ICommandState* state) override;
    HRESULT Dispatch(DWORD commandId, DWORD kind, LPARAM a, LPARAM b) override;

    DWORD CommandIdBase() const { return commandIdBase_; }
    const KVO::String& Name() const { return name_; }
    IUnknown* Registration() const { return registration_.Get(); }
    IDocClassSite* ClassSite() const { return classSite_; }
    // The menu items and commands that RegisterCommands made.
    InterfaceArray<ICAFCommand>& Commands() { return commands_; }
    // Keeps a registered item and notes whether the host changed anything for it.
    void AddCommand(platform::ComPtr<ICAFCommand>& item);
    bool CommandsChanged() const { return commandsChanged_; }

private:
    platform::ComPtr<ICAFCommandHandler> HostCommandTarget() const;

    platform::ComPtr<IUnknown> registration_;
    IDocClassSite* classSite_ = nullptr;
    InterfaceArray<ICAFCommand> commands_{8};
    bool commandsChanged_ = false;
    KVO::String name_;
    const GUID* commandFamily_;
    const GUID* classId_;
    DWORD commandIdBase_;
    DWORD version_;
};

// The class object of document type T. T supplies:
//     static T* Create(IUnknown* hostDocument, CAFDocumentClassBase* documentClass);  // count 0
//     static void RegisterCommands(CAFDocumentClassBase& documentClass, ICAFCommandHandler* target, IUnknown* site);
//     static const char16_t* ClassName(); static const GUID& CommandFamily(); static const GUID& ClassId();
//     static DWORD CommandIdBase(); static constexpr DWORD kVersion, kRegistrationFlags;
template <class T>
class CAFDocumentClass final : public CAFDocumentClassBase {
public:
    CAFDocumentClass()
        : CAFDocumentClassBase(T::ClassName(), &T::CommandFamily(), &T::ClassId(), T::CommandIdBase(), T::kVersion,
                               T::kRegistrationFlags)
    {
    }

    HRESULT CreateDocument(IUnknown* hostDocument, ICustomDocument2** out) override
    {
        return KVO::GuardSlot([&]() -> HRESULT {
            if (!out) {
                return E_POINTER;
            }
            *out = nullptr;
            T* document = T::Create(hostDocument, this);
            if (!document) {
                return E_FAIL;
            }
            *out = document;
            document->AddRef();
            return S_OK;
        });
    }
    HRESULT RegisterCommands(ICAFCommandHandler* target, IUnknown* site) override
    {
        return KVO::GuardSlot([&]() -> HRESULT {
            T::RegisterCommands(*this, target, site);
            return S_OK;
        });
    }
};

class CAFDocument : public ICustomDocument2, public CAF::CAFEventHandlerT<1>, public KVO::CComObjectRoot {
public:
    // Registers the document of `hostDocument` with the host's document registration (object 0x80000011).
    CAFDocument(IUnknown* outer, IUnknown* hostDocument, ICustomDocClass* documentClass, DWORD flags);
    ~CAFDocument() override;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    // ICustomDocument2
    HRESULT GetName(BSTR* name) override;
    WORD IsCustomDocument() override { return 0xFFFF; }
    HRESULT Close() override;
    HRESULT Reserved6(IUnknown** out) override;
    HRESULT GetFlags(DWORD* flags) override;
    HRESULT GetSiteInterface(IUnknown** out) override;
    HRESULT Reserved9(IUnknown** first, IUnknown** second) override;
    HRESULT SetTitle(IKVOString* title) override;
    HRESULT GetTitle(IKVOString** title) override;
    HRESULT GetValue(DWORD* value) override;
    HRESULT SetValue(DWORD value) override;
    HRESULT Reserved14() override { return 0; }
    HRESULT Reserved15() override { return 0; }
    HRESULT Reserved16() override { return 0; }
    HRESULT Reserved17() override { return 0; }

    // Taken by the table or a child handler, or else handed to the host's message handler of the document.
    HRESULT HandleMessage(IMessage* message) override;
    // Forwarded to the host's observer of the registration link first, then the document's own entries.
    HRESULT RegisterWith(ISubject* subject) override;
    HRESULT Notify(ISubject* subject, DWORD eventId, DWORD value, const void* data) override;

    // Tells the document's observers, through the host's observer sink of the registration link.
    HRESULT NotifyObservers(DWORD eventId, const void* data);
    // The site object of the registration link's document site, or null.
    IUnknown* GetSiteObject();
    // The host frame object that shows the document, asked of the host document's site and kept once it has
    // one; null while it has none.
    IUnknown* GetHostFrame();

    IUnknown* RegistrationLink() const { return link_.Get(); }
    void SetDisplayName(const KVO::String& name) { displayName_ = name; }
    const KVO::String& Title() const { return title_; }

protected:
    // Drops the links that Close lets go of before the sender's; ChartChildDocument adds its chart document.
    virtual void ReleaseLinks() {}

private:
    // An interface of the registration link, queried once and kept without a reference (the link holds the
    // document, so it outlives every use).
    template <class I>
    I* FromLink(I*& cache, const IID& iid);

    platform::ComPtr<IUnknown> link_;
    DWORD flags_;
    DWORD value_ = 0;
    KVO::String title_;
    KVO::String displayName_;
    IDocumentSite* documentSite_ = nullptr;
    platform::ComPtr<ICustomDocClass> class_;
    platform::ComPtr<IDocClassSite> classSite_;
    IMessageHandler* hostHandler_ = nullptr;
    IObserver* linkObserver_ = nullptr;
    IObserverSink* linkSink_ = nullptr;
    IDocumentSite* linkSite_ = nullptr;
    IUnknown* siteObject_ = nullptr;
    IUnknown* siteInterface_ = nullptr;
    platform::ComPtr<IUnknown> hostFrame_;
};

// A document of a host chart document: keeps the chart document and its channel data.
class ChartChildDocument : public CAFDocument {
public:
    ChartChildDocument(IUnknown* outer, IUnknown* hostDocument, ICustomDocClass* documentClass, DWORD flags);
    ~ChartChildDocument() override;

    IChartDocument* ChartDocument() const { return chartDocument_.Get(); }
    IChannelData* ChannelData() const { return channelData_; }

    // The link words taken from the chart document at construction, in the order they are fetched: the objects of
    // its slots 16, 21 (and the calculation channels of that object), 52, 50, 51, 8, 65, then the data source of
    // the slot-8 object. Null where the chart gives none, and all null once the links are released.
    enum LinkWord : std::size_t {
        kChannelDataLink,
        kCalculationsLink,
        kCalcChannels, // not held
        kTimesLink,
        kSelectionLink,
        kExtentLink,
        kDataSourceLink,
        kServerLink,
        kDataSource, // not held
        kLinkWords
    };
    IUnknown* Link(LinkWord word) const { return links_[word]; }

protected:
    void ReleaseLinks() override;

private:
    platform::ComPtr<IChartDocument> chartDocument_;
    IChannelData* channelData_ = nullptr; // not held: the chart document holds it
    std::array<IUnknown*, kLinkWords> links_{}; // one reference each, except where noted
};

// The name of an object for the host's object lists.
class COMDebugClass : public IObjInfo {
public:
    HRESULT GetName(BSTR* name) override;
    const char* GetObjectName() override { return "Unamed object"; }
};
