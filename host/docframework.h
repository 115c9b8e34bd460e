// The host's document framework: menu and command services that record what extensions add, command-state
// objects, document-class and document registrations with their links, host documents with their sites, the
// view-class registry, and the frames, parent sites and view sites that views are shown in.
#pragma once

#include "host/calllog.h"
#include "host/chartview.h"
#include "host/chartdata.h"
#include "host/comobject.h"
#include "host/messagebus.h"
#include "host/printservice.h"
#include "platform/com/memstream.h"
#include "host/handlernode.h"
#include "sdk/channelcalc.h"
#include "sdk/docframework.h"
#include "sdk/documentsite.h"
#include "sdk/docview.h"
#include "sdk/hostobjects.h"

#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <functional>
#include <vector>

namespace host {

// One item that an extension added to the host's menus.
struct MenuRecord {
    enum class Kind { Category, Separator, Command };
    Kind kind = Kind::Command;
    std::u16string path;       // the menu path ("Crestmetrics|Settings")
    std::u16string text;       // a category's key, a bare separator's text
    std::u16string title;      // a category's title
    std::u16string category;   // a command's category key
    std::u16string furtherText;
    std::u16string key;        // a command's key name, as set through its key interface
    DWORD firstValue = 0;
    DWORD group = 0;
    DWORD itemKind = 0;        // 56 category, 2 separator
    DWORD order = 0;
    UINT stringId = 0;
    UINT imageId = 0;
    HINSTANCE module = nullptr;
    DWORD id = 0;              // set on the item
    DWORD commandId = 0;       // set through the item's command-id interface
    bool replaced = false;     // the menus held an item of this kind and path before
};

class MenuService final : public IMenuService, private HostOwned {
public:
    explicit MenuService(CallLog& log) : log_(log) {}

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT CreateItem(DWORD reserved1, const char16_t* path, const char16_t* text, DWORD reserved4, DWORD reserved5,
                       DWORD reserved6, const char16_t* title, DWORD reserved8, DWORD reserved9, DWORD kind,
                       DWORD reserved11, DWORD reserved12, DWORD order, ICAFCommand** out) override;
    HRESULT CreateCommand(DWORD firstValue, HINSTANCE module, UINT stringId, const char16_t* path, UINT imageId,
                          const char16_t* categoryKey, const char16_t* furtherText, DWORD group, DWORD reserved9,
                          DWORD reserved10, ICAFCommand** out) override;

    const std::vector<MenuRecord>& Items() const { return items_; }
    MenuRecord& Item(std::size_t index) { return items_.at(index); }
    // The own id that the next command item reports (0: none).
    void SetNextOwnId(DWORD id) { nextOwnId_ = id; }
    void Clear() { items_.clear(); }

private:
    HRESULT Hand(std::size_t index, DWORD ownId, ICAFCommand** out);

    CallLog& log_;
    std::vector<MenuRecord> items_;
    DWORD nextOwnId_ = 0;
};

class CommandService final : public ICommandService, private HostOwned {
public:
    explicit CommandService(CallLog& log) : log_(log) {}

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetRegistrar(DWORD commandClass, DWORD kind, DWORD flags, IUnknown** out) override;

private:
    CallLog& log_;
};

// What an update request collected about one command.
class CommandState final : public ICommandState, private RefCounted {
public:
    // Created with one reference for the caller.
    static platform::ComPtr<CommandState> Create();

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT SetText(const char16_t* text) override;
    HRESULT SetEnabled(WORD enabled) override;
    HRESULT SetCheck(WORD check, WORD mask) override;

    const std::optional<std::u16string>& Text() const { return text_; }
    const std::optional<WORD>& Enabled() const { return enabled_; }
    // (check, mask) when the command reported a check mark.
    const std::optional<std::pair<WORD, WORD>>& Check() const { return check_; }

private:
    CommandState() = default;
    std::optional<std::u16string> text_;
    std::optional<WORD> enabled_;
    std::optional<std::pair<WORD, WORD>> check_;
};

// A host command target: the commands that reach it are logged under its service name and answered with the
// host's own answer, 1 (not handled) unless set.
class LoggedCommands : public ICAFCommandHandler {
public:
    HRESULT Execute(DWORD commandId) override;
    HRESULT QueryState(DWORD commandId, ICommandState* state) override;
    HRESULT Dispatch(DWORD commandId, DWORD kind, LPARAM a, LPARAM b) override;

    void SetCommandAnswer(HRESULT answer) { answer_ = answer; }

protected:
    LoggedCommands(CallLog& log, const char* service) : log_(log), service_(service) {}
    ~LoggedCommands() = default;

private:
    CallLog& log_;
    const char* service_;
    HRESULT answer_ = S_FALSE;
};

// The host's side of a registered document class: its class site and its command target.
class ClassRegistration final : public IDocClassSite, public LoggedCommands, private RefCounted {
public:
    ClassRegistration(CallLog& log, ICustomDocClass* documentClass)
        : LoggedCommands(log, "classsite"), class_(documentClass)
    {
    }

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    ICustomDocClass* DocumentClass() const { return class_; }

private:
    ICustomDocClass* class_; // the class object holds this registration
};

class HostDocument;
class CalcChannel;

// The link of a registered document: holds the document until the host lets it go, and stands for the host in
// the document's message, observer and site requests.
class RegistrationLink final : public IMessageHandler,
                               public IObserver,
                               public IObserverSink,
                               public IDocumentSite,
                               private RefCounted {
public:
    RegistrationLink(CallLog& log, ICustomDocument2* document, HostDocument* hostDocument);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    // IMessageHandler: the host's handler of the document's messages.
    HRESULT HandleMessage(IMessage* message) override;
    HRESULT AddHandler(IMessageHandler*) override { return S_OK; }
    HRESULT RemoveHandler(IMessageHandler*) override { return S_OK; }
    HRESULT SetParent(IMessageHandler*) override { return S_OK; }
    HRESULT GetOwner(IUnknown** owner) override;
    BOOL Accepts(IMessage*) override { return TRUE; }
    // IObserver
    HRESULT RegisterWith(ISubject* subject) override;
    HRESULT Notify(ISubject* subject, DWORD eventId, DWORD value, const void* data) override;
    // IObserverSink
    HRESULT Notify(DWORD eventId, const void* data) override;
    // IDocumentSite
    HRESULT GetSiteObject(IUnknown** out) override;
    HRESULT GetExtension(DWORD typeId, DWORD reserved, IUnknown** out) override;

    ICustomDocument2* Document() const { return document_.Get(); }
    // Lets the document go (the host closed it).
    void DropDocument() { document_.Reset(); }
    // The ids of the messages that reached the host's handler, in order.
    const std::vector<DWORD>& MessagesReached() const { return messages_; }
    void SetMessageAnswer(HRESULT answer) { messageAnswer_ = answer; }

private:
    CallLog& log_;
    platform::ComPtr<ICustomDocument2> document_;
    HostDocument* hostDocument_;
    std::vector<DWORD> messages_;
    HRESULT messageAnswer_ = 0;
};

class DocClassRegistration final : public IDocClassRegistration, private HostOwned {
public:
    explicit DocClassRegistration(CallLog& log) : log_(log) {}

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT Register(IUnknown** registration, ICustomDocClass* documentClass, DWORD flags) override;

    const std::vector<platform::ComPtr<ClassRegistration>>& Registrations() const { return registrations_; }
    void Clear() { registrations_.clear(); }

private:
    CallLog& log_;
    std::vector<platform::ComPtr<ClassRegistration>> registrations_;
};

class DocRegistration final : public IDocRegistration, private HostOwned {
public:
    explicit DocRegistration(CallLog& log) : log_(log) {}

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT Register(ICustomDocClass* documentClass, IUnknown* hostDocument, ICustomDocument2* document, DWORD flags,
                     IUnknown** link) override;

    const std::vector<platform::ComPtr<RegistrationLink>>& Links() const { return links_; }
    // Lets every document go (before the module is unloaded).
    void DropDocuments();

private:
    CallLog& log_;
    std::vector<platform::ComPtr<RegistrationLink>> links_;
};

// A host document: its chart data, its site, its views, and the extension documents made for it.
class HostDocument final : public IHostDocument,
                           public IDocumentSite,
                           public IViewRegistration,
                           public IHostApplicationLink,
                           public IDocumentStorage,
                           public IHostDocumentUpdate,
                           public IHostObjectsById,
                           public IFrameworkMessageTarget,
                           public IChannelCalcQuery,
                           public IPaneMetrics,
                           private RefCounted {
public:
    // Created with one reference for the caller.
    static platform::ComPtr<HostDocument> Create(CallLog& log, DWORD identity, platform::ComPtr<ChartData> chart);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    // IHostDocument
    HRESULT GetIdentity(DWORD* identity) override;
    // The document's name, as its views' titles begin (empty until set).
    HRESULT GetViewName(IKVOString** name) override;
    // Names the document after the file it was opened from: the file name without its folder.
    void SetFileName(const std::string& path);
    HRESULT AttachView(IDocView2* view) override;
    HRESULT DetachView(IDocView2* view) override;
    // A view whose window exists registers its observer entries with the chart's subject, so that it hears the
    // chart's notices (the display notice among them).
    HRESULT ObserveChart(IUnknown* view);
    // IDocumentSite
    HRESULT GetSiteInterface(IUnknown** out) override;
    HRESULT GetExtension(DWORD typeId, DWORD reserved, IUnknown** out) override;
    // The frame that shows the document; none until set.
    HRESULT GetHostFrame(IUnknown** out) override;
    void SetFrame(platform::ComPtr<IUnknown> frame) { frame_ = std::move(frame); }
    // IViewRegistration
    HRESULT AddView(IUnknown* view) override;
    HRESULT RegisterClassUI() override { return S_OK; }
    // IHostApplicationLink: the application object, when one is set.
    HRESULT GetApplication(IUnknown** out) override;
    void SetApplication(platform::ComPtr<IUnknown> application) { application_ = std::move(application); }
    // What the document offers the previews of settings pages (IPreviewDocument: display properties and the
    // preview sampling service); none until set.
    void SetPreviewDocument(platform::ComPtr<IUnknown> preview) { preview_ = std::move(preview); }
    // The document's sampling-state object (IHostSampling); none until set.
    void SetSampling(platform::ComPtr<IUnknown> sampling) { sampling_ = std::move(sampling); }
    // The site that hands out the document's extensions (GetExtension asks it); none until set.
    void SetExtensionSite(platform::ComPtr<IDocumentSite> site) { extensions_ = std::move(site); }
    // The document's Tallysheet, answered by GetExtension under its type id (none unless set).
    void SetTallysheet(platform::ComPtr<IUnknown> sheet, DWORD typeId)
    {
        tallysheet_ = std::move(sheet);
        tallysheetTypeId_ = typeId;
    }
    // IDocumentStorage
    HRESULT Register(IUnknown* container, DWORD reserved, IPersistStreamInit* object, DWORD reserved2,
                     DWORD reserved3, BSTR* name) override;
    HRESULT Withdraw(IPersistStreamInit* object) override;
    // The registered objects' state as the host saves it into its file (one stream per object, in the order of
    // registration), and loaded back; the first failure is the result.
    HRESULT SaveState(std::vector<platform::ComPtr<platform::MemoryStream>>& streams);
    HRESULT LoadState(const std::vector<platform::ComPtr<platform::MemoryStream>>& streams);
    const std::vector<IPersistStreamInit*>& Stored() const { return stored_; }
    // IHostDocumentUpdate: counted.
    HRESULT Update(DWORD argument) override;
    int Updates() const { return updates_; }
    // IHostObjectsById, the document's object container: the chart's view under object n 2 of the chart family.
    HRESULT GetObjectById(DWORD id, DWORD reserved, IUnknown** out) override;
    ChartView& View() { return *chartView_; }
    // IFrameworkMessageTarget: kept in order.
    struct FrameworkMessage {
        DWORD code;
        DWORD value;
        double top;
        double bottom;
        LONG channel;
    };
    HRESULT Post(DWORD code, DWORD value, double top, double bottom, LONG channel) override;
    const std::vector<FrameworkMessage>& FrameworkMessages() const { return frameworkMessages_; }
    // An extension's document that answers the interfaces the host document does not (no reference: clear it
    // before the document goes).
    void SetExtensionDocument(IUnknown* document) { extensionDocument_ = document; }
    // IPaneMetrics: the recording's channels, one past the highest channel that holds a channel calculation, and 0.
    HRESULT GetRecordedChannelCount(DWORD reserved, LONG* count) override;
    HRESULT GetChannelExtent(DWORD reserved, LONG* count) override;
    HRESULT GetExtraChannelCount(DWORD reserved, LONG* count) override;
    // IChannelCalcQuery
    HRESULT GetChannelCalc(DWORD messageId, LONG channel, DWORD kind, IChannelCalc** out) override;
    // The document's calculation channels (not held: each withdraws itself as it goes).
    void AddCalcChannel(CalcChannel* channel) { calcChannels_.push_back(channel); }
    void WithdrawCalcChannel(CalcChannel* channel) { std::erase(calcChannels_, channel); }
    CalcChannel* FindCalcChannel(LONG channel) const;
    // A channel-calculation change message: without a calculation the channel's calculation goes.
    void ApplyCalcChange(IChannelCalcChange* change);

    IUnknown* AsUnknown() { return static_cast<IHostDocument*>(this); }
    // An extension's document of this host document, made by its class object; the host document holds it and
    // answers the queries its own interfaces do not answer from it, as the application leads to its extensions'
    // documents.
    platform::ComPtr<ICustomDocument2> CreateDocument(ICustomDocClass* documentClass);
    // Closing the host document: its extensions' documents are closed and let go (they hold the host document, so
    // keeping them would keep both alive).
    void CloseDocuments();
    const std::vector<IDocView2*>& Views() const { return views_; }
    ChartData* Chart() const { return chart_.Get(); }

    // The handlers registered with the document (IMessageHandler), offered the messages the host sends it.
    HandlerNode& Handlers() { return handlers_; }

private:
    HandlerNode handlers_{*static_cast<IHostDocument*>(this)};
    HostDocument(CallLog& log, DWORD identity, platform::ComPtr<ChartData> chart)
        : log_(log), identity_(identity), chart_(std::move(chart))
    {
    }

    CallLog& log_;
    DWORD identity_;
    std::u16string name_;
    platform::ComPtr<ChartData> chart_;
    std::vector<IDocView2*> views_; // attached views (they detach before they go)
    platform::ComPtr<IUnknown> application_;
    platform::ComPtr<IDocumentSite> extensions_;
    platform::ComPtr<IUnknown> tallysheet_;
    DWORD tallysheetTypeId_ = 0;
    platform::ComPtr<IUnknown> sampling_;
    platform::ComPtr<IUnknown> frame_;
    platform::ComPtr<IUnknown> preview_;
    std::vector<IPersistStreamInit*> stored_; // not held: each withdraws itself
    std::vector<platform::ComPtr<ICustomDocument2>> documents_;
    int updates_ = 0;
    std::unique_ptr<ChartView> chartView_ = std::make_unique<ChartView>(log_);
    std::vector<FrameworkMessage> frameworkMessages_;
    IUnknown* extensionDocument_ = nullptr;
    std::vector<CalcChannel*> calcChannels_;
};

// The command list that the host hands a view class to register its view's commands into.
class ViewCommands final : public LoggedCommands, private RefCounted {
public:
    explicit ViewCommands(CallLog& log) : LoggedCommands(log, "viewcommands") {}

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    LONG References() const { return RefCounted::References(); }
};

// The view-class registry (framework object 0x8000000F) and the registrations it hands out.
class ViewClassRegistry final : public IViewClassRegistry, private HostOwned {
public:
    explicit ViewClassRegistry(CallLog& log) : log_(log) {}

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    // Keeps the class (its module handle is asked for once the class is whole: see Complete).
    HRESULT Register(IUnknown* viewClass, REFIID iid, IUnknown** registration) override;
    // A kept class is whole once the module hands it to the framework: the host asks for its module handle and
    // keeps it, and registers the class with its UI and commands (once), before any of its views opens.
    void Complete(IDocViewClass* viewClass);

    std::size_t Count() const { return count_; }
    // The registered view classes, in order, and the first whose view name is `name` (or null).
    std::vector<IDocViewClass*> Classes() const;
    IDocViewClass* Find(std::u16string_view name) const;
    // The module handle that a kept class gave (null before it was whole, or when it gave none).
    HINSTANCE ModuleOf(const IDocViewClass* viewClass) const;
    // Whether the class keeps the command list that the host handed it.
    bool KeepsCommands(const IDocViewClass* viewClass) const;
    void Clear() { entries_.clear(); }

private:
    struct Entry {
        platform::ComPtr<IDocViewClass> viewClass;
        platform::ComPtr<ViewCommands> commands;
        HINSTANCE module = nullptr;
        bool complete = false;
    };
    const Entry* EntryOf(const IDocViewClass* viewClass) const;

    CallLog& log_;
    std::size_t count_ = 0;
    std::vector<Entry> entries_;
};

// A host frame window with its client area: the frame object the views ask about content, and the parent site
// the view's window is placed in.
class HostFrame final : public IHostFrame,
                        public IHostFrameObject,
                        public IParentSite,
                        public IHostFrameApplication,
                        private RefCounted {
public:
    // Created with one reference for the caller; makes the frame and client windows.
    static platform::ComPtr<HostFrame> Create(CallLog& log, int width, int height);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetFrameObject(IHostFrameObject** out) override;
    HRESULT GetPrintService(IUnknown** out) override;
    HRESULT HasContent(DWORD* flag) override;
    HRESULT OnFrameMessage(DWORD messageId) override;
    HRESULT GetWindow(HWND* window) override;
    HRESULT Close() override;
    // IHostFrameApplication: the frame window.
    HRESULT GetWindowHandle(HWND* window) override;

    HWND FrameWindow() const { return frame_; }
    HWND ClientWindow() const { return client_; }
    // Shows the title of `view` (through its title interface) on the frame; an empty one without it.
    void ShowViewTitle(IUnknown* view);
    void SetMaximised(bool maximised);
    void SetHasContent(bool has) { hasContent_ = has; }
    // The frame's printing (made on first use); a frame made to lack it answers E_NOTIMPL.
    PrintService& Printing();
    void SetPrintServiceOffered(bool offered) { printOffered_ = offered; }
    // What Close answers (S_OK unless set).
    void SetCloseResult(HRESULT result) { closeResult_ = result; }
    std::size_t FrameMessages() const { return frameMessages_; }

private:
    HostFrame(CallLog& log, int width, int height);
    ~HostFrame() override;

    CallLog& log_;
    HWND frame_ = nullptr;
    HWND client_ = nullptr;
    bool hasContent_ = false;
    bool printOffered_ = true;
    platform::ComPtr<PrintService> printing_;
    HRESULT closeResult_ = S_OK;
    std::size_t frameMessages_ = 0;
};

// The host's place of one view in a frame; also the host's view object the window asks for its frame and site.
class ViewSite final : public IViewSite, public IHostView, private RefCounted {
public:
    static platform::ComPtr<ViewSite> Create(CallLog& log, platform::ComPtr<HostFrame> frame);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT QueryCloseView(IDocView2* view, WORD* mayClose) override;
    HRESULT DetachView(IDocView2* view) override;
    HRESULT ViewActivated(IDocView2* view) override;
    HRESULT GetFrame(IHostFrame** frame) override;
    HRESULT GetSite(IViewSite** site) override;

    HostFrame* Frame() const { return frame_.Get(); }
    void SetMayClose(bool may) { mayClose_ = may; }
    std::size_t Detached() const { return detached_; }

private:
    ViewSite(CallLog& log, platform::ComPtr<HostFrame> frame) : log_(log), frame_(std::move(frame)) {}

    CallLog& log_;
    platform::ComPtr<HostFrame> frame_;
    bool mayClose_ = true;
    std::size_t detached_ = 0;
};

// A view that the host opened in a frame of its own.
struct OpenedView {
    platform::ComPtr<HostFrame> frame;
    platform::ComPtr<ViewSite> site;
    platform::ComPtr<IDocView2> view;
    platform::ComPtr<IClientWindow> client;
    HRESULT created = E_FAIL; // the client window's creation
    HWND window = nullptr;
};
OpenedView OpenView(CallLog& log, IDocViewClass* viewClass, HostDocument* document);

// The host's print and picture services for a view it opened: the view is asked to print (its frame's print
// service writes the PDF at `dpi`); the result is the number of pages written. The picture is the view's window
// as it is on screen; false when it cannot be written.
int PrintViewToPdf(const OpenedView& opened, const std::string& pdfPath, int dpi = gdi::kPrinterDpi);
// Prints the view `times` times into one PDF, calling `before` with 0, 1, … before each printing (to choose what
// the view shows); the number of pages written, 0 when the file cannot be written.
int PrintViewRepeatedly(const OpenedView& opened, const std::string& pdfPath, int times,
                        const std::function<void(int)>& before, int dpi = gdi::kPrinterDpi);
bool SaveViewPicture(const OpenedView& opened, const std::string& pngPath);

// The framework objects of the document framework, handed out by fixed id.
class DocumentFramework {
public:
    explicit DocumentFramework(CallLog& log)
        : bus(log), menus(log), commands(log), classRegistration(log), documentRegistration(log), viewClasses(log)
    {
    }
    // The object of a fixed id queried for iid; E_FAIL for an id that is not one of these.
    HRESULT GetObject(DWORD id, REFIID iid, void** out);
    // Lets every document and registration go.
    void Drop();

    MessageBus bus;
    MenuService menus;
    CommandService commands;
    DocClassRegistration classRegistration;
    DocRegistration documentRegistration;
    ViewClassRegistry viewClasses;
};

} // namespace host
