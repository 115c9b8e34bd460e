// The module's views as the host shows them: view classes, the view objects, their windows inside a host frame,
// their command texts, the size grip, and closing.
#include "frame/eventhandlers.h"
#include "foundation/moduleinstance.h"
#include "frame/views.h"
#include "graph/analysisview/analysisview.h"
#include "platform/gdi/canvas.h"
#include "platform/gdi/dc.h"
#include "platform/ui/window.h"
#include "tableview/cxtableviewex.h"
#include "sharedhost.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

owl::TModule& Module()
{
    static owl::TModule module(nullptr, KVO::ModuleInstance());
    return module;
}

template <class T>
platform::ComPtr<T> Held(T* object)
{
    return platform::ComPtr<T>(object);
}

using AnalysisClass = CAFOwlDocViewClass<CAFOwlDocView<AnalysisView>>;
using TableClass = CAFOwlDocViewClass<CAFOwlDocView<CXTableViewEx>>;

platform::ComPtr<IDocViewClass> NewViewClass(bool table)
{
    SharedHost(); // the view class registers with the host's framework as it is made
    if (table) {
        return Held<IDocViewClass>(new TableClass(&Module()));
    }
    return Held<IDocViewClass>(new AnalysisClass(&Module()));
}

platform::ComPtr<host::HostDocument> NewHostDocument()
{
    host::Host& host = SharedHost();
    return host::HostDocument::Create(host.Log(), 0x2A, host.NewChartData());
}

// The command state that the host's update request for `id` collects from the view.
platform::ComPtr<host::CommandState> Update(IDocView2* view, DWORD id, HRESULT* result = nullptr)
{
    platform::ComPtr<ICAFCommandHandler> commands;
    view->QueryInterface(IID_ICAFCommandHandler, commands.OutVoid());
    auto state = host::CommandState::Create();
    const HRESULT answered = commands ? commands->QueryState(id, state.Get()) : E_NOINTERFACE;
    if (result) {
        *result = answered;
    }
    return state;
}

TEST(Views, TheHostCreatesEachViewInItsFrameWithItsCommandTexts)
{
    struct Case {
        bool table;
        std::u16string name;
        std::u16string copy;
        std::u16string print;
        std::u16string title; // of a host document opened from recordings/cardiac.txt
    };
    const Case cases[] = {
        {false, u"Crestmetrics View", u"Copy Crestmetrics View", u"Print Crestmetrics View",
         u"cardiac.txt: Crestmetrics View"},
        {true, u"Crestmetrics Table View", u"Copy Table View", u"Print Table View...",
         u"cardiac.txt: Crestmetrics Table View"},
    };
    host::Host& host = SharedHost();
    for (const Case& c : cases) {
        auto viewClass = NewViewClass(c.table);
        BSTR name = nullptr;
        EXPECT_EQ(viewClass->GetViewName(&name), S_OK);
        EXPECT_EQ(std::u16string(name), c.name);
        SysFreeString(name);

        auto document = NewHostDocument();
        document->SetFileName("recordings/cardiac.txt");
        host::OpenedView opened = host::OpenView(host.Log(), viewClass.Get(), document.Get());
        ASSERT_EQ(opened.created, S_OK) << host::Narrow(c.name);
        ASSERT_TRUE(opened.window);
        // The view's window is a child of the frame's client area, two parents below the frame.
        EXPECT_EQ(GetParent(opened.window), opened.frame->ClientWindow());
        EXPECT_EQ(GetParent(GetParent(opened.window)), opened.frame->FrameWindow());
        EXPECT_EQ(document->Views().size(), 1u);
        // The frame shows the view's title.
        EXPECT_EQ(ui::WindowText(opened.frame->FrameWindow()), c.title);

        HRESULT answered = E_FAIL;
        auto copy = Update(opened.view.Get(), CAF::CommandId::kCopy, &answered);
        EXPECT_EQ(answered, S_OK);
        EXPECT_EQ(copy->Text(), c.copy);
        EXPECT_EQ(copy->Enabled(), WORD{0xFFFF});
        // Printing follows the frame's content.
        auto print = Update(opened.view.Get(), CAF::CommandId::kPrint);
        EXPECT_EQ(print->Text(), c.print);
        EXPECT_EQ(print->Enabled(), WORD{0});
        opened.frame->SetHasContent(true);
        EXPECT_EQ(Update(opened.view.Get(), CAF::CommandId::kPrint)->Enabled(), WORD{0xFFFF});
        // The module's views answer this id from their own table: it follows the content as well.
        auto setup = Update(opened.view.Get(), CAF::CommandId::kPrintSetup);
        EXPECT_FALSE(setup->Text());
        EXPECT_EQ(setup->Enabled(), WORD{0xFFFF});
        Update(opened.view.Get(), 0x80170002, &answered);
        EXPECT_EQ(answered, S_FALSE);

        // The frame's message is passed to the host frame and counts as handled.
        platform::ComPtr<IMessageHandler> messages;
        opened.view->QueryInterface(IID_IMessageHandler, messages.OutVoid());
        auto message = platform::ComPtr<host::HostMessage>::Adopt(
            host::HostMessage::Create(CAF::CommandId::kFrameMessage, 0));
        EXPECT_EQ(messages->HandleMessage(message.Get()), 1);
        EXPECT_EQ(opened.frame->FrameMessages(), 1u);
        messages.Reset();

        EXPECT_EQ(opened.view->Close(), S_OK);
        EXPECT_FALSE(IsWindow(opened.window));
        EXPECT_EQ(opened.site->Detached(), 1u);
        EXPECT_EQ(opened.view->Close(), S_OK); // a second close does nothing
        EXPECT_EQ(opened.site->Detached(), 1u);
        opened.client.Reset();
        opened.view.Reset();
        EXPECT_TRUE(document->Views().empty());
    }
}

// Before its window exists a view is titled by its class's name; a BSTR in the out place is freed first.
TEST(Views, AViewWithoutItsWindowIsTitledByItsClass)
{
    host::Host& host = SharedHost();
    auto viewClass = NewViewClass(true);
    auto document = NewHostDocument();
    auto site = host::ViewSite::Create(host.Log(), host::HostFrame::Create(host.Log(), 200, 100));
    platform::ComPtr<IDocView2> view;
    ASSERT_EQ(viewClass->CreateView(document->AsUnknown(), site.Get(), view.Out()), S_OK);
    platform::ComPtr<IViewTitle> titled;
    ASSERT_EQ(view->QueryInterface(IID_IViewTitle, titled.OutVoid()), S_OK);
    BSTR title = SysAllocString(u"stale");
    EXPECT_EQ(titled->GetTitle(&title), S_OK);
    EXPECT_EQ(std::u16string(title), u"Crestmetrics Table View");
    SysFreeString(title);
    EXPECT_EQ(titled->GetTitle(nullptr), E_POINTER);
}

TEST(Views, ASecondCreateIsRefusedAndKeepsTheFirstWindowAndSite)
{
    host::Host& host = SharedHost();
    auto viewClass = NewViewClass(false);
    auto document = NewHostDocument();
    host::OpenedView opened = host::OpenView(host.Log(), viewClass.Get(), document.Get());
    ASSERT_EQ(opened.created, S_OK);
    auto otherFrame = host::HostFrame::Create(host.Log(), 200, 100);
    HWND second = nullptr;
    EXPECT_EQ(opened.client->Create(otherFrame.Get(), &second), E_FAIL);
    EXPECT_EQ(second, nullptr);
    EXPECT_TRUE(IsWindow(opened.window));
    EXPECT_EQ(GetParent(opened.window), opened.frame->ClientWindow());
    platform::ComPtr<IParentSite> site;
    EXPECT_EQ(opened.client->GetParentSite(site.Out()), S_OK);
    EXPECT_EQ(site.Get(), static_cast<IParentSite*>(opened.frame.Get()));
    opened.view->Close();
}

// The window a host frame names: its OWL window when it has one, else an alias the caller keeps; none without a
// frame.
TEST(Views, WindowFromHandleFindsOrWrapsTheHostFramesWindow)
{
    host::Host& host = SharedHost();
    auto frame = host::HostFrame::Create(host.Log(), 200, 100);
    std::unique_ptr<owl::TWindow> alias;
    owl::TWindow* wrapped =
        OwlExtClientWindowBase::WindowFromHandle(static_cast<IHostFrame*>(frame.Get()), alias);
    ASSERT_NE(wrapped, nullptr);
    EXPECT_EQ(wrapped, alias.get());
    EXPECT_EQ(wrapped->GetHandle(), frame->FrameWindow());
    EXPECT_EQ(owl::TWindow::GetWindowPtr(frame->FrameWindow()), wrapped);

    // While the alias stands, the window is found as it is, and no second alias is made.
    std::unique_ptr<owl::TWindow> none;
    EXPECT_EQ(OwlExtClientWindowBase::WindowFromHandle(static_cast<IHostFrame*>(frame.Get()), none), wrapped);
    EXPECT_EQ(none, nullptr);
    alias.reset();
    EXPECT_TRUE(IsWindow(frame->FrameWindow())) << "an alias leaves the host's window alone";

    EXPECT_EQ(OwlExtClientWindowBase::WindowFromHandle(nullptr, none), nullptr);
    auto document = NewHostDocument();
    EXPECT_EQ(OwlExtClientWindowBase::WindowFromHandle(document->AsUnknown(), none), nullptr);
    EXPECT_EQ(none, nullptr);
}

TEST(Views, AParentSiteThatRefusesToCloseKeepsTheViewOpen)
{
    host::Host& host = SharedHost();
    auto viewClass = NewViewClass(true);
    auto document = NewHostDocument();
    const std::size_t created = host.Log().Count("observer", "Report");
    host::OpenedView opened = host::OpenView(host.Log(), viewClass.Get(), document.Get());
    ASSERT_EQ(opened.created, S_OK);
    EXPECT_EQ(host.Log().Count("observer", "Report"), created + 1);
    EXPECT_EQ(host.Log().Of("observer").back().detail, "0x80030000");

    // May it close? The window agrees; the site decides.
    struct Case {
        bool siteAgrees;
        HRESULT result;
        WORD answer;
    };
    for (const Case& c : {Case{true, S_OK, 0xFFFF}, Case{false, S_FALSE, 0}}) {
        opened.site->SetMayClose(c.siteAgrees);
        WORD answer = 0x1234;
        EXPECT_EQ(opened.view->QueryClose(&answer), c.result);
        EXPECT_EQ(answer, c.answer);
    }

    opened.frame->SetCloseResult(E_ACCESSDENIED);
    EXPECT_EQ(opened.view->Close(), E_ACCESSDENIED);
    EXPECT_TRUE(IsWindow(opened.window));
    EXPECT_EQ(opened.site->Detached(), 0u);
    opened.frame->SetCloseResult(S_OK);
    EXPECT_EQ(opened.view->Close(), S_OK);
    EXPECT_FALSE(IsWindow(opened.window));

    opened.client.Reset();
    opened.view.Reset();
    EXPECT_EQ(host.Log().Of("observer").back().detail, "0x80030003");
}

// The view's window of an opened view, sized as the host would.
ViewBase* SizedWindow(host::OpenedView& opened, int width, int height)
{
    MoveWindow(opened.window, 0, 0, width, height, TRUE);
    return dynamic_cast<ViewBase*>(owl::TWindow::GetWindowPtr(opened.window));
}

TEST(Views, TheSizeGripIsDrawnAndHitUnlessTheFrameIsMaximised)
{
    host::Host& host = SharedHost();
    auto viewClass = NewViewClass(true) /* the analysis view's children cover its grip */;
    auto document = NewHostDocument();
    host::OpenedView opened = host::OpenView(host.Log(), viewClass.Get(), document.Get());
    ASSERT_EQ(opened.created, S_OK);
    ViewBase* window = SizedWindow(opened, 300, 200);
    ASSERT_TRUE(window);
    const int side = std::max(GetSystemMetrics(SM_CYHSCROLL), GetSystemMetrics(SM_CXVSCROLL));
    ASSERT_GT(side, 0);

    struct Case {
        bool maximised;
        std::size_t grips;     // DrawFrameControl calls of the paint
        POINT client;          // a point of the view, client coordinates
        LRESULT hit;           // what the hit test answers there (0: anything but the sizing border)
    };
    const Case cases[] = {
        {false, 1, {300 - 1, 200 - 1}, HTBOTTOMRIGHT},
        {false, 1, {300 - side, 200 - side}, HTBOTTOMRIGHT},
        {false, 1, {300 - side - 1, 200 - 1}, 0},
        {true, 0, {300 - 1, 200 - 1}, 0},
    };
    for (const Case& c : cases) {
        opened.frame->SetMaximised(c.maximised);
        gdi::CallLog log;
        gdi::LogWindowCalls(opened.window, &log);
        InvalidateRect(opened.window, nullptr, TRUE);
        UpdateWindow(opened.window);
        gdi::LogWindowCalls(opened.window, nullptr);
        const auto grips = log.calls("DrawFrameControl");
        ASSERT_EQ(grips.size(), c.grips);
        if (c.grips) {
            EXPECT_EQ(grips[0], "DrawFrameControl(" +
                                    gdi::LogArgs({300 - side, 200 - side, 300, 200, 3, 8}) + ")");
        } else {
            EXPECT_FALSE(log.calls("FillRect").empty());
        }

        POINT screen = c.client;
        ClientToScreen(opened.window, &screen);
        const LRESULT hit = SendMessageW(opened.window, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
        if (c.hit) {
            EXPECT_EQ(hit, c.hit) << c.client.x << "," << c.client.y;
        } else {
            EXPECT_NE(hit, HTBOTTOMRIGHT) << c.client.x << "," << c.client.y;
        }
    }
    opened.view->Close();
}

TEST(Views, TheViewObjectFollowsTheHostsDocumentViewProtocol)
{
    host::Host& host = SharedHost();
    auto viewClass = NewViewClass(false);
    auto document = NewHostDocument();
    host::OpenedView opened = host::OpenView(host.Log(), viewClass.Get(), document.Get());
    ASSERT_EQ(opened.created, S_OK);
    IDocView2& view = *opened.view.Get();

    // The position pair: the document's identity, then value B over value A.
    EXPECT_EQ(view.SetValueA(0x0003), S_OK);
    EXPECT_EQ(view.SetValueB(0x0012), S_OK);
    DWORD identity = 0;
    DWORD pair = 0;
    EXPECT_EQ(view.GetPosition(&identity, &pair), S_OK);
    EXPECT_EQ(identity, 0x2Au);
    EXPECT_EQ(pair, 0x00120003u);
    // A pane of the view reports the same place; a view object without the protocol has no values.
    DWORD paneIdentity = 0;
    DWORD panePair = 0;
    IHostDocument* hostDocument = nullptr;
    ASSERT_EQ(document->AsUnknown()->QueryInterface(IID_IHostDocument, reinterpret_cast<void**>(&hostDocument)), S_OK);
    EXPECT_EQ(CAF::CAFSubject::GetPosition(hostDocument, &view, &paneIdentity, &panePair), S_OK);
    EXPECT_EQ(paneIdentity, identity);
    EXPECT_EQ(panePair, pair);
    EXPECT_EQ(CAF::CAFSubject::GetPosition(hostDocument, document->AsUnknown(), &paneIdentity, &panePair), S_OK);
    EXPECT_EQ(panePair, 0u);
    hostDocument->Release();

    platform::ComPtr<IUnknown> held;
    EXPECT_EQ(view.GetDocument(held.Out()), S_OK);
    EXPECT_EQ(held.Get(), document->AsUnknown());
    platform::ComPtr<IViewSite> site;
    EXPECT_EQ(view.GetSite(site.Out()), S_OK);
    EXPECT_EQ(site.Get(), static_cast<IViewSite*>(opened.site.Get()));
    EXPECT_EQ(view.Reserved3(), S_FALSE);

    // Activation registers the view with its document, then tells the site.
    const std::size_t added = host.Log().Count("hostdocument", "AddView");
    const std::size_t activated = host.Log().Count("viewsite", "ViewActivated");
    EXPECT_EQ(view.Activate(), S_OK);
    EXPECT_EQ(host.Log().Count("hostdocument", "AddView"), added + 1);
    EXPECT_EQ(host.Log().Count("viewsite", "ViewActivated"), activated + 1);

    // The client window's own destruction deletes the window it made and forgets the parent site.
    EXPECT_EQ(opened.client->DestroyWindow(), S_OK);
    EXPECT_FALSE(IsWindow(opened.window));
    platform::ComPtr<IParentSite> parent;
    EXPECT_EQ(opened.client->GetParentSite(parent.Out()), S_OK);
    EXPECT_FALSE(parent);
    // Without a window the view may not close, and asks nobody.
    WORD answer = 0xFFFF;
    EXPECT_EQ(view.QueryClose(&answer), S_FALSE);
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(view.Close(), S_OK);
}

// The host may destroy a view's window before it asks the view to destroy it: the view is freed all the same.
TEST(Views, AViewWhoseWindowTheHostDestroyedFirstIsFreed)
{
    host::Host& host = SharedHost();
    for (const bool table : {false, true}) {
        auto viewClass = NewViewClass(table);
        auto document = NewHostDocument();
        host::OpenedView opened = host::OpenView(host.Log(), viewClass.Get(), document.Get());
        ASSERT_EQ(opened.created, S_OK);
        const std::size_t before = host.Log().Count("observer", "Report");
        ::DestroyWindow(opened.window);
        EXPECT_EQ(opened.client->DestroyWindow(), S_OK);
        EXPECT_EQ(opened.view->Close(), S_OK);
        opened = {};
        EXPECT_EQ(host.Log().Count("observer", "Report"), before + 1) << table; // the view's destruction
    }
}

TEST(Views, ThePrintTextIsLocalisedOnlyAtItsStart)
{
    host::ApplicationService& application = SharedHost().Application();
    struct Case {
        WORD language;
        const char16_t* text;
        std::u16string expected;
    };
    const Case cases[] = {
        {0x0C0A, u"&Print Crestmetrics View", u"&Imprimir Crestmetrics View"},
        {0x040A, u"&Print", u"&Imprimir"},
        {0x0C0A, u"Do &Print this", u"Do &Print this"},
        {0x0C0A, u"Print", u"Print"},
        {0x0409, u"&Print Crestmetrics View", u"&Print Crestmetrics View"},
    };
    for (const Case& c : cases) {
        application.SetLanguage(c.language);
        EXPECT_EQ(std::u16string(ViewBase::LocalisePrintText(KVO::String(c.text)).View()), c.expected) << host::Narrow(c.text);
    }
    application.SetLanguage(0x0409);
}

// A host names a document after the file it was opened from, without the file's folder; a document of no file
// has an empty name. The views' titles begin with it.
TEST(Views, TheTitleBeginsWithTheDocumentsFileName)
{
    const struct {
        const char* path; // none: never named
        std::u16string title;
    } cases[] = {
        {nullptr, u": Crestmetrics View"},
        {"cardiac.txt", u"cardiac.txt: Crestmetrics View"},
        {"/data/2024/evoked.cmhd", u"evoked.cmhd: Crestmetrics View"},
        {"/dev/stdin", u"stdin: Crestmetrics View"},
    };
    host::Host& host = SharedHost();
    auto viewClass = NewViewClass(false);
    for (const auto& c : cases) {
        auto document = NewHostDocument();
        if (c.path) {
            document->SetFileName(c.path);
        }
        host::OpenedView opened = host::OpenView(host.Log(), viewClass.Get(), document.Get());
        ASSERT_EQ(opened.created, S_OK);
        EXPECT_EQ(ui::WindowText(opened.frame->FrameWindow()), c.title) << (c.path ? c.path : "no file");
        opened.view->Close();
    }
}

TEST(ViewClasses, NamesTitlesAndClassIds)
{
    auto viewClass = NewViewClass(false);
    BSTR title = SysAllocString(u"stale");
    EXPECT_EQ(viewClass->GetName(&title), S_OK); // no title given: the name
    EXPECT_EQ(std::u16string(title), u"Crestmetrics View");
    SysFreeString(title);

    const GUID copy = AnalysisView::kViewClassId;
    struct Case {
        const GUID* given;
        HRESULT expected;
    };
    for (const Case& c : {Case{&AnalysisView::kViewClassId, S_OK}, Case{&copy, S_OK}, Case{nullptr, S_FALSE},
                          Case{&AnalysisView::kViewFamily, S_FALSE}}) {
        EXPECT_EQ(viewClass->IsCategory(c.given), c.expected);
    }
    DWORD word = 0;
    viewClass->GetClassWord(&word);
    EXPECT_EQ(word, 1u);
    LONG locks = -1;
    viewClass->Lock();
    viewClass->Lock();
    viewClass->Unlock();
    viewClass->GetLockCount(&locks);
    EXPECT_EQ(locks, 1);
    EXPECT_EQ(viewClass->RegisterClass(), S_OK);
    EXPECT_GE(SharedHost().Log().Count("views", "RegisterClassUI"), 1u);

    // The module handle is the module's instance; none without a module.
    HINSTANCE module = reinterpret_cast<HINSTANCE>(std::uintptr_t{1});
    EXPECT_EQ(viewClass->GetModuleInstance(&module), S_OK);
    EXPECT_EQ(module, KVO::ModuleInstance());
    auto withoutModule = Held<IDocViewClass>(new TableClass(nullptr));
    EXPECT_EQ(withoutModule->GetModuleInstance(&module), S_OK);
    EXPECT_EQ(module, nullptr);
}

// A class registers itself with the view-class registry while it is being made; once the module hands the whole
// class to the framework, the host asks for its module handle and registers it, once however often it is handed.
TEST(ViewClasses, TheHostRegistersAClassOnceTheModuleHandsItOver)
{
    host::Host& host = SharedHost();
    const host::ViewClassRegistry& registry = host.GetFramework().Documents().viewClasses;
    auto viewClass = NewViewClass(true);
    EXPECT_EQ(registry.ModuleOf(viewClass.Get()), nullptr) << "not asked while the class is being made";
    EXPECT_FALSE(registry.KeepsCommands(viewClass.Get()));
    const std::size_t before = host.Log().Count("views", "RegisterClassUI");
    for (int handed = 0; handed < 2; ++handed) {
        EXPECT_EQ(host.GetFramework().Register(viewClass.Get()), S_OK);
    }
    EXPECT_EQ(host.Log().Count("views", "RegisterClassUI") - before, 1u);
    EXPECT_EQ(registry.ModuleOf(viewClass.Get()), KVO::ModuleInstance());
    EXPECT_TRUE(registry.KeepsCommands(viewClass.Get()));
    auto& base = static_cast<OwlDocViewClassBase&>(*viewClass.Get());
    EXPECT_EQ(base.Commands().family, CXTableViewEx::kViewFamily);
}

// A command interface that counts its references.
class CountedCommands final : public IUnknown {
public:
    HRESULT QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return static_cast<ULONG>(++count); }
    ULONG Release() override { return static_cast<ULONG>(--count); }
    int count = 0;
};

TEST(ViewClasses, RegisteringCommandsKeepsTheViewFamilysContext)
{
    for (const bool table : {false, true}) {
        auto viewClass = NewViewClass(table);
        CountedCommands first;
        CountedCommands second;
        EXPECT_EQ(viewClass->RegisterViewCommands(&first), S_OK);
        auto& base = static_cast<OwlDocViewClassBase&>(*viewClass.Get());
        EXPECT_EQ(base.Commands().family, table ? CXTableViewEx::kViewFamily : AnalysisView::kViewFamily);
        EXPECT_EQ(base.Commands().commands.Get(), &first);
        EXPECT_EQ(first.count, 1);
        EXPECT_EQ(viewClass->RegisterViewCommands(&second), S_OK);
        EXPECT_EQ(first.count, 0) << "the earlier context is let go";
        EXPECT_EQ(second.count, 1);
        EXPECT_EQ(viewClass->RegisterViewCommands(nullptr), S_OK);
        EXPECT_EQ(second.count, 0);
    }
}

TEST(ViewClasses, TheInterfaceEnumeratorCopiesWhatIsLeft)
{
    static const GUID* const items[] = {&IID_IHostDocument, &IID_IHostView, &IID_IViewSite};
    platform::ComPtr<IEnumInterface> enumerator;
    ASSERT_EQ(OwlDocViewClassBase::EnumInterfaces(items, 3, enumerator.Out()), S_OK);
    const GUID* out[3] = {};
    ULONG fetched = 99;
    EXPECT_EQ(enumerator->Next(1, out, nullptr), S_OK); // one without a count is allowed
    EXPECT_EQ(out[0], items[0]);
    EXPECT_EQ(enumerator->Next(2, out, nullptr), E_POINTER);
    EXPECT_EQ(enumerator->Next(1, nullptr, &fetched), E_POINTER);

    platform::ComPtr<IEnumInterface> clone;
    EXPECT_EQ(enumerator->Clone(clone.Out()), S_OK);
    EXPECT_EQ(enumerator->Next(3, out, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(out[0], items[1]);
    EXPECT_EQ(out[1], items[2]);
    // The clone kept the cursor it was made at.
    EXPECT_EQ(clone->Skip(5), S_FALSE);
    EXPECT_EQ(clone->Next(1, out, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(clone->Reset(), S_OK);
    EXPECT_EQ(clone->Skip(3), S_OK);
}

} // namespace
