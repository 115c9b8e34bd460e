// The view framework: view class objects that the host lists and asks for views, the host-side view objects, the
// client windows that views place in the host's frames, and ViewBase, the OWL window that every module view is.
#pragma once

#include "foundation/comobject.h"
#include "foundation/kvostring.h"
#include "foundation/xkvo.h"
#include "frame/document.h"
#include "frame/eventhandlers.h"
#include "frame/typeid.h"
#include "platform/owl/window.h"
#include "sdk/docview.h"

#include <memory>

namespace KVOCOM {

// An enumerator over a borrowed array of interface identifiers.
class IterEnum final : public IEnumInterface, public KVO::CComObjectRoot {
public:
    IterEnum(const GUID* const* items, ULONG count, ULONG cursor = 0) : items_(items), count_(count), cursor_(cursor)
    {
    }

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    HRESULT Next(ULONG count, const GUID** out, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumInterface** out) override;

private:
    const GUID* const* items_;
    ULONG count_;
    ULONG cursor_;
};

} // namespace KVOCOM

// The base of the module's view class objects. Registers itself with the framework's view-class registry.
class OwlDocViewClassBase : public IDocViewClass, public KVO::CComObjectRoot {
public:
    OwlDocViewClassBase(const char16_t* name, const GUID* classId, DWORD classWord, const char16_t* title);
    ~OwlDocViewClassBase() override;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    HRESULT GetCategory(const GUID** classId) override;  // 4
    HRESULT GetName(BSTR* title) override;               // 5
    HRESULT IsCategory(const GUID* classId) override;    // 6
    HRESULT GetViewName(BSTR* name) override;            // 7
    HRESULT GetModuleInstance(HINSTANCE* module) override; // 8
    HRESULT GetClassWord(DWORD* word) override;          // 9
    HRESULT RegisterClass() override;                    // 10
    HRESULT Lock() override;                             // 13
    HRESULT Unlock() override;                           // 14
    HRESULT GetLockCount(LONG* count) override;          // 15

    // An enumerator (one reference) over the borrowed array.
    static HRESULT EnumInterfaces(const GUID* const* items, ULONG count, IEnumInterface** out);

    IUnknown* Registration() const { return registration_.Get(); }

    // What a view class keeps of its command registration: its view family (read back from its type id through
    // the host's type-id service), the changed flag and the host's command interface (one reference).
    struct CommandContext {
        GUID family{};
        BYTE changed = 0;
        platform::ComPtr<IUnknown> commands;
    };
    const CommandContext& Commands() const { return commandContext_; }

protected:
    // Replaces the kept command context (the earlier command interface is released) with one for the view family
    // of `typeId`.
    void KeepCommandContext(DWORD typeId, IUnknown* commands);

private:
    void ReleaseMembers();

    DWORD word_ = 0;
    platform::ComPtr<IUnknown> extra_;
    KVO::String name_;
    KVO::String title_;
    platform::ComPtr<IUnknown> registration_;
    const GUID* classId_;
    DWORD classWord_;
    LONG lockCount_ = 0;
    CommandContext commandContext_;
};

// The host-side view object: attached to its host document while it lives, answering commands, notices and
// messages for its window through its proxy part.
class DocViewBase : public IDocView2, public CAF::CAFProxyEventHandlerBase, public KVO::CComObjectRoot {
public:
    DocViewBase(IHostDocument* document, IViewSite* site);
    ~DocViewBase() override;

    HRESULT Reserved3() override { return S_FALSE; }
    HRESULT QueryClose(WORD* mayClose) override;
    HRESULT Close() override;
    HRESULT SetValueA(DWORD value) override;
    HRESULT GetValueA(DWORD* value) override;
    HRESULT GetPosition(DWORD* identity, DWORD* pair) override;
    HRESULT Activate() override;
    HRESULT GetDocument(IUnknown** document) override;
    HRESULT GetSite(IViewSite** site) override;
    HRESULT Reserved12(IUnknown** out) override;
    HRESULT GetValueB(DWORD* value) override;
    HRESULT SetValueB(DWORD value) override;

    IHostDocument* HostDocument() const { return document_.Get(); }
    IViewSite* Site() const { return site_.Get(); }

protected:
    platform::ComPtr<IViewSite> site_;

private:
    DWORD valueA_ = 0;
    DWORD valueB_ = 0;
    platform::ComPtr<IHostDocument> document_;
};

// The client window of a view inside a host window.
class OwlExtClientWindowBase : public IClientWindow {
public:
    explicit OwlExtClientWindowBase(owl::TModule* module) : module_(module) {}
    virtual ~OwlExtClientWindowBase();

    // A second creation is refused before anything changes (the parent site included).
    HRESULT Create(IParentSite* parentSite, HWND* window) override;
    HRESULT DestroyWindow() override;
    HRESULT Reserved5() override { return S_OK; }
    HRESULT GetParentSite(IParentSite** site) override;

    owl::TWindow* Window() const { return window_; }

    // The OWL window of the window that a host object names through its application interface; for a window
    // without one an alias is made into `alias`, which the caller keeps while it uses the window. Null when the
    // host object names none.
    static owl::TWindow* WindowFromHandle(IUnknown* hostObject, std::unique_ptr<owl::TWindow>& alias);

protected:
    // Makes (without creating) the view's window for the parent; null when it cannot.
    virtual owl::TWindow* CreateClientWindow(owl::TWindow* parent, owl::TModule* module) = 0;
    // Deletes the window (when it is still there) and forgets it.
    void DeleteWindow();

    owl::TModule* module_;
    IParentSite* parentSite_ = nullptr; // the host keeps it
    owl::TWindow* window_ = nullptr;
    BYTE closed_ = 0;

private:
    std::unique_ptr<owl::TWindow> parentAlias_;
};

// The host's view and the provider of its window in one object; the concrete view gives its title.
class DocWindowViewBase : public OwlExtClientWindowBase, public DocViewBase, public COMDebugClass, public IViewTitle {
public:
    DocWindowViewBase(IHostDocument* document, IViewSite* site, owl::TModule* module);
    ~DocWindowViewBase() override;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }

    // Asks the window, then the site; 0xFFFF and S_OK for yes, 0 and S_FALSE for no (and without a window).
    HRESULT QueryClose(WORD* mayClose) override;
    // Closes the parent site (its refusal keeps the view open), deletes the window and detaches from the site.
    HRESULT Close() override;
};

namespace CAF::CommandId {
// Fixed ids of the host framework's view commands.
inline constexpr DWORD kPrint = 0x80170000;
inline constexpr DWORD kPrintSetup = 0x80170001;
inline constexpr DWORD kCopy = 0x80170004;
inline constexpr DWORD kFrameMessage = 0x8001000D;
} // namespace CAF::CommandId

// The OWL window that every module view is.
class ViewBase : public owl::TWindow, public CAF::CAFCppEventHandler, public KVO::CComObjectRoot {
    CAF_DECLARE_MESSAGE_MAP(ViewBase, void)

public:
    ViewBase(owl::TWindow* parent, IHostDocument* document, IUnknown* furtherHost, IHostView* hostView,
             LPCWSTR title, owl::TModule* module, DWORD flags);
    ~ViewBase() override;

    // The texts of the copy and print commands.
    virtual KVO::String CopyCommandText() = 0;
    virtual KVO::String PrintCommandText() = 0;
    // Whether the host frame reports content (enables printing).
    virtual bool HasContent();
    virtual bool CopyEnabled() { return true; }
    virtual bool PrintSetupEnabled() { return false; }

    // The grip, then the window's own paint.
    void Paint(owl::TDC& dc, bool erase, owl::TRect& rect) override;
    owl::uint EvNCHitTest(const owl::TPoint& point) override;

    // The bottom-right square of the size grip, in client coordinates.
    owl::TRect GripRect() const;
    const KVO::String& ViewName() const { return viewName_; }
    IHostView* HostView() const { return hostView_.Get(); }
    IViewSite* ViewSite() const { return site_.Get(); }
    void SetPaintGrip(bool paint) { paintGrip_ = paint ? 1 : 0; }
    void SetGripHitTest(bool test) { gripHitTest_ = test ? 1 : 0; }

    // "&Print" becomes "&Imprimir" at the start of the text when the host speaks Spanish.
    static KVO::String LocalisePrintText(const KVO::String& text);

private:
    bool FrameMaximised() const;

    void OnUpdateCopy(ICommandState& state);
    void OnUpdatePrint(ICommandState& state);
    void OnUpdatePrintSetup(ICommandState& state);
    HRESULT OnFrameMessage(const VARIANT& value);

    owl::TModule* viewModule_;
    platform::ComPtr<IHostView> hostView_;
    platform::ComPtr<IHostDocument> document_;
    platform::ComPtr<IUnknown> furtherHost_;
    platform::ComPtr<IViewSite> site_;
    BYTE paintGrip_ = 1;
    BYTE gripHitTest_ = 1;
    KVO::String viewName_;
};

// The view class object of view object type V (CAFOwlDocView<Window>). Window supplies:
//     static const char16_t* ViewName(); static constexpr GUID kViewFamily, kViewClassId;
//     Window(owl::TWindow* parent, IHostDocument* document, IHostView* hostView, owl::TModule* module, DWORD flags);
template <class View>
class CAFOwlDocViewClass final : public OwlDocViewClassBase {
public:
    explicit CAFOwlDocViewClass(owl::TModule* module)
        : OwlDocViewClassBase(View::Window::ViewName(), &View::Window::kViewClassId, 1, nullptr), module_(module)
    {
    }

    HRESULT GetId(DWORD* typeId) override
    {
        if (!typeId) {
            return E_POINTER;
        }
        *typeId = TypeIdClass<&View::Window::kViewFamily, 1>::Get();
        return S_OK;
    }
    HRESULT CreateView(IUnknown* hostDocument, IViewSite* site, IDocView2** out) override
    {
        return KVO::GuardSlot([&]() -> HRESULT {
            if (!out) {
                return E_POINTER;
            }
            *out = nullptr;
            platform::ComPtr<IHostDocument> document;
            if (hostDocument) {
                hostDocument->QueryInterface(IID_IHostDocument, document.OutVoid());
            }
            auto* view = new View(document.Get(), site, module_);
            *out = view;
            view->AddRef();
            return S_OK;
        });
    }
    HRESULT EnumInterfaces(IEnumInterface** out) override
    {
        static const GUID* const supported[] = {&IID_IHostDocument, &IID_IHostView};
        return OwlDocViewClassBase::EnumInterfaces(supported, 2, out);
    }
    // The module's instance handle; none without a module.
    HRESULT GetModuleInstance(HINSTANCE* module) override
    {
        if (!module) {
            return E_POINTER;
        }
        *module = module_ ? module_->GetInstance() : nullptr;
        return S_OK;
    }
    // The views register no commands of their own; the context is kept.
    HRESULT RegisterViewCommands(IUnknown* commands) override
    {
        return KVO::GuardSlot([&]() -> HRESULT {
            DWORD typeId = 0;
            GetId(&typeId);
            KeepCommandContext(typeId, commands);
            return S_OK;
        });
    }

private:
    owl::TModule* module_;
};

// The view object of one window class.
template <class WindowClass>
class CAFOwlDocView final : public DocWindowViewBase {
public:
    using Window = WindowClass;

    CAFOwlDocView(IHostDocument* document, IViewSite* site, owl::TModule* module)
        : DocWindowViewBase(document, site, module)
    {
    }

    // The window's title, or the view class's name while there is no window.
    HRESULT GetTitle(BSTR* title) override
    {
        return KVO::GuardSlot([&] {
            return CAF::TextToBSTR(window_ ? static_cast<Window*>(window_)->Title() : KVO::String(Window::ViewName()),
                                   title);
        });
    }

protected:
    owl::TWindow* CreateClientWindow(owl::TWindow* parent, owl::TModule* module) override
    {
        platform::ComPtr<IHostView> hostView;
        if (site_) {
            site_->QueryInterface(IID_IHostView, hostView.OutVoid());
        }
        auto* window = new Window(parent, HostDocument(), hostView.Get(), module, 0);
        window->ConnectProxy(this);
        return window;
    }
};
