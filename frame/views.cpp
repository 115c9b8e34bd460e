#include "frame/views.h"

#include "frame/hostservices.h"
#include "platform/com/guid.h"

#include <algorithm>

// ---- KVOCOM::IterEnum

namespace KVOCOM {

HRESULT IterEnum::QueryInterface(REFIID iid, void** out)
{
    static constexpr KVO::InterfaceEntry table[] = {
        {&IID_IEnumInterface, &KVO::InterfaceCast<IterEnum, IEnumInterface>},
        {nullptr, nullptr},
    };
    return InternalQueryInterface(this, table, iid, out);
}

HRESULT IterEnum::Next(ULONG count, const GUID** out, ULONG* fetched)
{
    if (!out || (count != 1 && !fetched)) {
        return E_POINTER;
    }
    ULONG copied = 0;
    while (copied < count && cursor_ < count_) {
        out[copied++] = items_[cursor_++];
    }
    if (fetched) {
        *fetched = copied;
    }
    return copied == count ? S_OK : S_FALSE;
}

HRESULT IterEnum::Skip(ULONG count)
{
    const ULONG left = count_ - cursor_;
    const ULONG skipped = std::min(count, left);
    cursor_ += skipped;
    return skipped == count ? S_OK : S_FALSE;
}

HRESULT IterEnum::Reset()
{
    cursor_ = 0;
    return S_OK;
}

HRESULT IterEnum::Clone(IEnumInterface** out)
{
    if (!out) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&]() -> HRESULT {
        auto* copy = new IterEnum(items_, count_, cursor_);
        *out = copy;
        copy->AddRef();
        return S_OK;
    });
}

} // namespace KVOCOM

// ---- OwlDocViewClassBase

OwlDocViewClassBase::OwlDocViewClassBase(const char16_t* name, const GUID* classId, DWORD classWord,
                                         const char16_t* title)
    : name_(name), title_(title ? KVO::String(title) : KVO::String(name)), classId_(classId), classWord_(classWord)
{
    ICAFFramework* framework = CAF::GetFrameworkClassObject();
    if (!framework) {
        return;
    }
    platform::ComPtr<IViewClassRegistry> registry;
    framework->GetObject(CAF::ObjectId::kViewClassRegistry, IID_IViewClassRegistry, registry.OutVoid());
    if (!registry) {
        return;
    }
    // References that the registry takes and drops must not delete the object being built.
    InternalAddRef();
    registry->Register(static_cast<IDocViewClass*>(this), IID_IUnknown, registration_.Out());
    InternalDropGuard();
}

OwlDocViewClassBase::~OwlDocViewClassBase() { ReleaseMembers(); }

void OwlDocViewClassBase::ReleaseMembers()
{
    registration_.Reset();
    commandContext_ = CommandContext();
    title_ = KVO::String();
    name_ = KVO::String();
    extra_.Reset();
}

HRESULT OwlDocViewClassBase::QueryInterface(REFIID iid, void** out)
{
    static constexpr KVO::InterfaceEntry table[] = {
        {&IID_IDocViewClass, &KVO::InterfaceCast<OwlDocViewClassBase, IDocViewClass>},
        {&IID_ICAFClassObject, &KVO::InterfaceCast<OwlDocViewClassBase, ICAFClassObject>},
        {nullptr, nullptr},
    };
    const HRESULT found = InternalQueryInterface(this, table, iid, out);
    // The framework's view registration answers for the class object it registered: its UI and its command list.
    if (found == E_NOINTERFACE && (iid == IID_IViewRegistration || iid == IID_ICAFCommandHandler) && registration_) {
        return registration_->QueryInterface(iid, out);
    }
    return found;
}

HRESULT OwlDocViewClassBase::GetCategory(const GUID** classId)
{
    if (!classId) {
        return E_POINTER;
    }
    *classId = classId_;
    return S_OK;
}

HRESULT OwlDocViewClassBase::GetName(BSTR* title)
{
    return KVO::GuardSlot([&] { return CAF::TextToBSTR(title_.IsEmpty() ? name_ : title_, title); });
}

HRESULT OwlDocViewClassBase::IsCategory(const GUID* classId)
{
    return CAF::SameClassId(classId_, classId) ? S_OK : S_FALSE;
}

HRESULT OwlDocViewClassBase::GetViewName(BSTR* name)
{
    return KVO::GuardSlot([&] { return CAF::TextToBSTR(name_, name); });
}

HRESULT OwlDocViewClassBase::GetModuleInstance(HINSTANCE* module)
{
    if (module) {
        *module = nullptr;
    }
    return E_NOTIMPL;
}

void OwlDocViewClassBase::KeepCommandContext(DWORD typeId, IUnknown* commands)
{
    CommandContext context;
    // The type id reads back as "{family}:n".
    if (ITypeIdRegistry* registry = CAF::GetTypeIdRegistry()) {
        BSTR text = nullptr;
        if (SUCCEEDED(registry->GetTypeIdText(typeId, &text)) && text) {
            const std::u16string_view written(text, SysStringLen(text));
            platform::GuidFromText(written.substr(0, written.find(u':')), context.family);
        }
        SysFreeString(text);
    }
    context.commands = commands;
    commandContext_ = std::move(context);
}

HRESULT OwlDocViewClassBase::GetClassWord(DWORD* word)
{
    if (!word) {
        return E_POINTER;
    }
    *word = classWord_;
    return S_OK;
}

HRESULT OwlDocViewClassBase::RegisterClass()
{
    return KVO::GuardSlot([&]() -> HRESULT {
        platform::ComPtr<IViewRegistration> registration;
        if (SUCCEEDED(QueryInterface(IID_IViewRegistration, registration.OutVoid())) && registration) {
            registration->RegisterClassUI();
        }
        platform::ComPtr<IUnknown> commands;
        if (SUCCEEDED(QueryInterface(IID_ICAFCommandHandler, commands.OutVoid())) && commands) {
            RegisterViewCommands(commands.Get());
        }
        return S_OK;
    });
}

HRESULT OwlDocViewClassBase::Lock()
{
    ++lockCount_;
    return S_OK;
}

HRESULT OwlDocViewClassBase::Unlock()
{
    --lockCount_;
    return S_OK;
}

HRESULT OwlDocViewClassBase::GetLockCount(LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    *count = lockCount_;
    return S_OK;
}

HRESULT OwlDocViewClassBase::EnumInterfaces(const GUID* const* items, ULONG count, IEnumInterface** out)
{
    if (!out) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&]() -> HRESULT {
        auto* enumerator = new KVOCOM::IterEnum(items, count);
        *out = enumerator;
        enumerator->AddRef();
        return S_OK;
    });
}

// ---- DocViewBase

DocViewBase::DocViewBase(IHostDocument* document, IViewSite* site) : site_(site), document_(document)
{
    if (document_) {
        document_->AttachView(this);
    }
}

DocViewBase::~DocViewBase()
{
    if (document_) {
        document_->DetachView(this);
    }
    site_.Reset();
    document_.Reset();
}

HRESULT DocViewBase::QueryClose(WORD* mayClose)
{
    if (site_) {
        site_->QueryCloseView(this, mayClose);
    }
    return S_OK;
}

HRESULT DocViewBase::Close()
{
    if (platform::ComPtr<IViewSite> site = std::move(site_)) {
        site->DetachView(this);
    }
    return S_OK;
}

HRESULT DocViewBase::SetValueA(DWORD value)
{
    valueA_ = value;
    return S_OK;
}

HRESULT DocViewBase::GetValueA(DWORD* value)
{
    if (!value) {
        return E_POINTER;
    }
    *value = valueA_;
    return S_OK;
}

HRESULT DocViewBase::GetPosition(DWORD* identity, DWORD* pair)
{
    if (!identity || !pair) {
        return E_POINTER;
    }
    *identity = 0;
    if (document_) {
        document_->GetIdentity(identity);
    }
    *pair = (valueB_ << 16) | valueA_;
    return S_OK;
}

HRESULT DocViewBase::Activate()
{
    if (document_) {
        platform::ComPtr<IViewRegistration> views;
        if (SUCCEEDED(document_->QueryInterface(IID_IViewRegistration, views.OutVoid())) && views) {
            views->AddView(static_cast<IDocView2*>(this));
        }
    }
    if (site_) {
        site_->ViewActivated(this);
    }
    return S_OK;
}

HRESULT DocViewBase::GetDocument(IUnknown** document)
{
    if (!document) {
        return E_POINTER;
    }
    *document = document_.Get();
    if (*document) {
        (*document)->AddRef();
    }
    return S_OK;
}

HRESULT DocViewBase::GetSite(IViewSite** site)
{
    if (!site) {
        return E_POINTER;
    }
    *site = site_.Get();
    if (*site) {
        (*site)->AddRef();
    }
    return S_OK;
}

HRESULT DocViewBase::Reserved12(IUnknown** out)
{
    if (out) {
        *out = nullptr;
    }
    return S_FALSE;
}

HRESULT DocViewBase::GetValueB(DWORD* value)
{
    if (!value) {
        return E_POINTER;
    }
    *value = valueB_;
    return S_OK;
}

HRESULT DocViewBase::SetValueB(DWORD value)
{
    valueB_ = value;
    return S_OK;
}

// ---- OwlExtClientWindowBase

OwlExtClientWindowBase::~OwlExtClientWindowBase() { DeleteWindow(); }

void OwlExtClientWindowBase::DeleteWindow()
{
    owl::TWindow* window = window_;
    window_ = nullptr;
    delete window;
}

owl::TWindow* OwlExtClientWindowBase::WindowFromHandle(IUnknown* hostObject, std::unique_ptr<owl::TWindow>& alias)
{
    platform::ComPtr<IHostFrameApplication> application;
    HWND handle = nullptr;
    if (!hostObject || FAILED(hostObject->QueryInterface(IID_IHostFrameApplication, application.OutVoid())) ||
        !application || FAILED(application->GetWindowHandle(&handle)) || !handle || !::IsWindow(handle)) {
        return nullptr;
    }
    if (owl::TWindow* window = owl::TWindow::GetWindowPtr(handle)) {
        return window;
    }
    alias = std::make_unique<owl::TWindow>(handle, nullptr);
    return alias.get();
}

HRESULT OwlExtClientWindowBase::Create(IParentSite* parentSite, HWND* handle)
{
    return KVO::GuardSlot([&]() -> HRESULT {
        // A view has one window: a second request must not replace the site the first window lives in.
        if (window_) {
            return E_FAIL;
        }
        parentSite_ = parentSite;
        HWND parentHandle = nullptr;
        if (parentSite_) {
            parentSite_->GetWindow(&parentHandle);
        }
        owl::TWindow* parent = owl::TWindow::GetWindowPtr(parentHandle);
        if (!parent && parentHandle) {
            parentAlias_ = std::make_unique<owl::TWindow>(parentHandle, module_);
            parent = parentAlias_.get();
        }
        owl::TWindow* window = CreateClientWindow(parent, module_);
        if (!window) {
            return E_FAIL;
        }
        window_ = window;
        window_->Create();
        if (handle) {
            *handle = window_->GetHandle();
        }
        return S_OK;
    });
}

HRESULT OwlExtClientWindowBase::DestroyWindow()
{
    // The window object goes whether or not the host has destroyed its handle already: forgotten, it would keep
    // its references on this view for ever.
    DeleteWindow();
    parentSite_ = nullptr;
    return S_OK;
}

HRESULT OwlExtClientWindowBase::GetParentSite(IParentSite** site)
{
    if (!site) {
        return E_POINTER;
    }
    *site = parentSite_;
    if (*site) {
        (*site)->AddRef();
    }
    return S_OK;
}

// ---- DocWindowViewBase

DocWindowViewBase::DocWindowViewBase(IHostDocument* document, IViewSite* site, owl::TModule* module)
    : OwlExtClientWindowBase(module), DocViewBase(document, site)
{
    if (IObserverService* observer = CAF::GetObserverClassObject()) {
        observer->Report(CAF::ObserverCode::kViewCreated, this);
    }
}

DocWindowViewBase::~DocWindowViewBase()
{
    if (IObserverService* observer = CAF::GetObserverClassObject()) {
        observer->Report(CAF::ObserverCode::kViewDestroyed, this);
    }
    // The window's handler points back at this object: it goes first.
    Unlink();
    DeleteWindow();
}

HRESULT DocWindowViewBase::QueryInterface(REFIID iid, void** out)
{
    static constexpr KVO::InterfaceEntry table[] = {
        {&IID_IDocView2, &KVO::InterfaceCast<DocWindowViewBase, IDocView2>},
        {&IID_IClientWindow, &KVO::InterfaceCast<DocWindowViewBase, IClientWindow>},
        {&IID_ICAFCommandHandler, &KVO::InterfaceCast<DocWindowViewBase, ICAFCommandHandler>},
        {&IID_IObserver, &KVO::InterfaceCast<DocWindowViewBase, IObserver>},
        {&IID_IMessageHandler, &KVO::InterfaceCast<DocWindowViewBase, IMessageHandler>},
        {&IID_IObjInfo, &KVO::InterfaceCast<DocWindowViewBase, IObjInfo>},
        {&IID_IViewTitle, &KVO::InterfaceCast<DocWindowViewBase, IViewTitle>},
        {nullptr, nullptr},
    };
    return InternalQueryInterface(this, table, iid, out);
}

HRESULT DocWindowViewBase::QueryClose(WORD* mayClose)
{
    return KVO::GuardSlot([&]() -> HRESULT {
        WORD answer = 0;
        if (window_ && window_->CanClose()) {
            answer = 0xFFFF;
            if (site_) {
                site_->QueryCloseView(this, &answer);
            }
        }
        const bool yes = answer != 0;
        if (mayClose) {
            *mayClose = yes ? 0xFFFF : 0;
        }
        return yes ? S_OK : S_FALSE;
    });
}

HRESULT DocWindowViewBase::Close()
{
    return KVO::GuardSlot([&]() -> HRESULT {
        if (closed_) {
            return S_OK;
        }
        if (parentSite_) {
            const HRESULT closed = parentSite_->Close();
            if (FAILED(closed)) {
                return closed;
            }
        }
        DeleteWindow();
        closed_ = 1;
        if (platform::ComPtr<IViewSite> site = std::move(site_)) {
            site->DetachView(this);
        }
        return S_OK;
    });
}

// ---- ViewBase

namespace {

DWORD CopyId() { return CAF::CommandId::kCopy; }
DWORD PrintId() { return CAF::CommandId::kPrint; }
DWORD PrintSetupId() { return CAF::CommandId::kPrintSetup; }
DWORD FrameMessageId() { return CAF::CommandId::kFrameMessage; }

constexpr WORD kSpanish = 0x0A;

} // namespace

CAF::MessageMapEntry* ViewBase::MessageMapEntries()
{
    using Map = CAF::MapOf<ViewBase>;
    static CAF::MessageMapEntry entries[] = {
        Map::Header(),
        Map::Update<&ViewBase::OnUpdateCopy>(&CopyId),
        Map::Update<&ViewBase::OnUpdatePrint>(&PrintId),
        Map::Update<&ViewBase::OnUpdatePrintSetup>(&PrintSetupId),
        Map::Message<&ViewBase::OnFrameMessage>(&FrameMessageId, CAF::kExactMessage),
        Map::End(),
    };
    return entries;
}

ViewBase::ViewBase(owl::TWindow* parent, IHostDocument* document, IUnknown* furtherHost, IHostView* hostView,
                   LPCWSTR title, owl::TModule* module, DWORD)
    : owl::TWindow(parent, title, module), viewModule_(module), hostView_(hostView), document_(document),
      furtherHost_(furtherHost)
{
    // Until the host's view object links its own, a proxy of the window's answers for it.
    ConnectProxy(new CAF::CAFProxyEventHandler);
    if (document_) {
        KVO::StringOutParam name(viewName_);
        document_->GetViewName(name);
    }
    if (hostView_) {
        hostView_->GetSite(site_.Out());
    }
}

ViewBase::~ViewBase() = default;

bool ViewBase::HasContent()
{
    if (!hostView_) {
        return false;
    }
    platform::ComPtr<IHostFrame> frame;
    if (FAILED(hostView_->GetFrame(frame.Out())) || !frame) {
        return false;
    }
    platform::ComPtr<IHostFrameObject> frameObject;
    if (FAILED(frame->GetFrameObject(frameObject.Out())) || !frameObject) {
        return false;
    }
    DWORD flag = 0;
    frameObject->HasContent(&flag);
    return flag != 0;
}

KVO::String ViewBase::LocalisePrintText(const KVO::String& text)
{
    static const KVO::String print(u"&Print");
    static const KVO::String imprimir(u"&Imprimir");
    IApplicationService* application = CX::Host::GetApplicationService();
    if (!application) {
        return text;
    }
    WORD language = 0;
    if (FAILED(application->GetLanguage(&language)) || (language & 0xFF) != kSpanish) {
        return text;
    }
    if (!text.View().starts_with(print.View())) {
        return text;
    }
    KVO::String localised(text);
    localised.Replace(0, print.Length(), imprimir);
    return localised;
}

void ViewBase::OnUpdateCopy(ICommandState& state)
{
    state.SetText(CopyCommandText().c_str());
    state.SetEnabled(CopyEnabled() ? 0xFFFF : 0);
}

void ViewBase::OnUpdatePrint(ICommandState& state)
{
    state.SetText(LocalisePrintText(PrintCommandText()).c_str());
    state.SetEnabled(HasContent() ? 0xFFFF : 0);
}

void ViewBase::OnUpdatePrintSetup(ICommandState& state) { state.SetEnabled(PrintSetupEnabled() ? 0xFFFF : 0); }

HRESULT ViewBase::OnFrameMessage(const VARIANT&)
{
    if (hostView_) {
        platform::ComPtr<IHostFrame> frame;
        platform::ComPtr<IHostFrameObject> frameObject;
        if (SUCCEEDED(hostView_->GetFrame(frame.Out())) && frame &&
            SUCCEEDED(frame->GetFrameObject(frameObject.Out())) && frameObject) {
            frameObject->OnFrameMessage(CAF::CommandId::kFrameMessage);
        }
    }
    return S_OK; // handled
}

bool ViewBase::FrameMaximised() const
{
    const HWND parent = Handle ? ::GetParent(Handle) : nullptr;
    const HWND frame = parent ? ::GetParent(parent) : nullptr;
    return frame && ::IsZoomed(frame);
}

owl::TRect ViewBase::GripRect() const
{
    const int side = std::max(::GetSystemMetrics(SM_CYHSCROLL), ::GetSystemMetrics(SM_CXVSCROLL));
    const owl::TRect client = GetClientRect();
    return owl::TRect(client.right - side, client.bottom - side, client.right, client.bottom);
}

void ViewBase::Paint(owl::TDC& dc, bool erase, owl::TRect& rect)
{
    if (paintGrip_) {
        owl::TRect grip = GripRect();
        if (FrameMaximised()) {
            ::FillRect(dc, &grip, ::GetSysColorBrush(COLOR_BTNFACE));
        } else {
            ::DrawFrameControl(dc, &grip, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
        }
    }
    owl::TWindow::Paint(dc, erase, rect);
}

owl::uint ViewBase::EvNCHitTest(const owl::TPoint& point)
{
    if (gripHitTest_ && !FrameMaximised()) {
        owl::TPoint client = point;
        ScreenToClient(client);
        const owl::TRect grip = GripRect();
        if (client.x >= grip.left && client.x < grip.right && client.y >= grip.top && client.y < grip.bottom) {
            return static_cast<owl::uint>(HTBOTTOMRIGHT);
        }
    }
    return owl::TWindow::EvNCHitTest(point);
}
