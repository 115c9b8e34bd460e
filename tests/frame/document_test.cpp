// The document class object and the documents it makes, as the host registers, routes to and closes them; the
// menu items that the document class adds.
#include "frame/module.h"
#include "document/cxdoc.h"
#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "frame/menucommands.h"
#include "resources/stringtable.h"
#include "host/datasource.h"
#include "sdk/calcchannels.h"
#include "sharedhost.h"
#include "../slotof.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using host::MenuRecord;

DWORD OwnMessageId() { return 0x0DDD0001; }
DWORD CommandId() { return 0x0DDD0002; }
DWORD ChangeNoticeId() { return 0x0DDD0003; }

// A document with one message entry and one command, over a class object without commands.
class TestDocument final : public ChartChildDocument {
    CAF_DECLARE_MESSAGE_MAP(TestDocument, void)

public:
    TestDocument(IUnknown* hostDocument, CAFDocumentClassBase* documentClass)
        : ChartChildDocument(nullptr, hostDocument, documentClass, 0x40000001)
    {
    }
    static TestDocument* Create(IUnknown* hostDocument, CAFDocumentClassBase* documentClass)
    {
        return new TestDocument(hostDocument, documentClass);
    }
    static void RegisterCommands(CAFDocumentClassBase&, ICAFCommandHandler*, IUnknown*) {}
    static const char16_t* ClassName() { return name; }
    static const GUID& CommandFamily() { return family; }
    static const GUID& ClassId() { return classId; }
    static DWORD CommandIdBase() { return 0x0DDD0000; }
    static constexpr DWORD kVersion = 3;
    static constexpr DWORD kRegistrationFlags = 0;

    static inline const char16_t* name = u"Test Document";
    static constexpr GUID family{0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
    static constexpr GUID classId{0x55555555, 0x6666, 0x7777, {8, 8, 8, 8, 8, 8, 8, 8}};
    static inline int executed = 0;

    HRESULT OwnMessage() { return S_OK; }
    void Command() { ++executed; }
    void Changed(DWORD value) { changes.push_back(value); }
    std::vector<DWORD> changes;
};

CAF::MessageMapEntry* TestDocument::MessageMapEntries()
{
    using Map = CAF::MapOf<TestDocument>;
    static CAF::MessageMapEntry entries[] = {
        Map::Header(),
        Map::Message<&TestDocument::OwnMessage>(&OwnMessageId),
        Map::Execute<&TestDocument::Command>(&CommandId),
        Map::Observer<&TestDocument::Changed>(&ChangeNoticeId),
        Map::End(),
    };
    return entries;
}

template <class T>
platform::ComPtr<T> Adopted(T* object)
{
    platform::ComPtr<T> held(object);
    return held;
}

platform::ComPtr<host::HostDocument> NewHostDocument()
{
    host::Host& host = SharedHost();
    return host::HostDocument::Create(host.Log(), 7, host.NewChartData());
}

platform::ComPtr<host::HostMessage> NewMessage(DWORD id)
{
    return platform::ComPtr<host::HostMessage>::Adopt(host::HostMessage::Create(id, 0));
}

TEST(DocumentClass, RegistersWithTheHostAndAnswersItsClassQuestions)
{
    host::Host& host = SharedHost();
    const std::size_t before = host.GetFramework().Documents().classRegistration.Registrations().size();
    auto documentClass = Adopted(new CAFDocumentClass<TestDocument>);
    const auto& registrations = host.GetFramework().Documents().classRegistration.Registrations();
    ASSERT_EQ(registrations.size(), before + 1);
    EXPECT_EQ(registrations.back()->DocumentClass(), static_cast<ICustomDocClass*>(documentClass.Get()));
    EXPECT_EQ(documentClass->ClassSite(), static_cast<IDocClassSite*>(registrations.back().Get()));
    EXPECT_EQ(documentClass->RefCountValue(), 1); // the host's references came and went; ours is the only one

    // The class id test: the stored pointer itself, an equal copy elsewhere, null, another class.
    const GUID copy = TestDocument::classId;
    const GUID other = TestDocument::family;
    struct Case {
        const GUID* given;
        HRESULT expected;
    };
    for (const Case& c : {Case{&TestDocument::classId, S_OK}, Case{&copy, S_OK}, Case{nullptr, S_FALSE},
                          Case{&other, S_FALSE}}) {
        EXPECT_EQ(documentClass->IsCategory(c.given), c.expected);
    }

    BSTR name = SysAllocString(u"old");
    EXPECT_EQ(documentClass->GetClassName(&name), S_OK); // the old text is freed first
    EXPECT_EQ(std::u16string(name), u"Test Document");
    SysFreeString(name);
    DWORD base = 0;
    DWORD version = 0;
    documentClass->GetId(&base);
    documentClass->GetVersion(&version);
    EXPECT_EQ(base, 0x0DDD0000u);
    EXPECT_EQ(version, 3u);
}

TEST(DocumentClass, AnEmptyNameLeavesTheNameNull)
{
    SharedHost();
    TestDocument::name = u"";
    auto documentClass = Adopted(new CAFDocumentClass<TestDocument>);
    TestDocument::name = u"Test Document";
    BSTR name = nullptr;
    EXPECT_EQ(documentClass->GetClassName(&name), S_OK);
    EXPECT_EQ(name, nullptr);
}

TEST(DocumentClass, TheHostsCommandTargetIsAskedFirst)
{
    host::Host& host = SharedHost();
    auto documentClass = Adopted(new CAFDocumentClass<TestDocument>);
    host::ClassRegistration& site = *host.GetFramework().Documents().classRegistration.Registrations().back().Get();

    // The host answers nothing: no own entries, so nothing anywhere.
    EXPECT_EQ(documentClass->Execute(0x0DDD0002), S_FALSE);
    // The host takes the command: the class's own table is not asked.
    site.SetCommandAnswer(S_OK);
    const std::size_t asked = host.Log().Count("classsite", "Execute");
    EXPECT_EQ(documentClass->Execute(0x0DDD0002), S_OK);
    EXPECT_EQ(host.Log().Count("classsite", "Execute"), asked + 1);
    auto state = host::CommandState::Create();
    EXPECT_EQ(documentClass->QueryState(0x0DDD0002, state.Get()), S_OK);
    EXPECT_FALSE(state->Enabled());
}

TEST(Document, MessagesNobodyTakesReachTheHostHandlerExactlyOnce)
{
    host::Host& host = SharedHost();
    auto documentClass = Adopted(new CAFDocumentClass<TestDocument>);
    auto hostDocument = NewHostDocument();
    auto document = hostDocument->CreateDocument(documentClass.Get());
    ASSERT_TRUE(document);
    const auto& links = host.GetFramework().Documents().documentRegistration.Links();
    ASSERT_FALSE(links.empty());
    host::RegistrationLink& link = *links.back().Get();
    EXPECT_EQ(link.Document(), document.Get());

    platform::ComPtr<IMessageHandler> handler;
    ASSERT_EQ(document->QueryInterface(IID_IMessageHandler, handler.OutVoid()), S_OK);
    // Taken by the document's own table: the host does not see it.
    EXPECT_EQ(handler->HandleMessage(NewMessage(OwnMessageId()).Get()), 1);
    EXPECT_TRUE(link.MessagesReached().empty());
    // Nobody takes it: the host's handler gets it once and its answer is the document's.
    link.SetMessageAnswer(1);
    EXPECT_EQ(handler->HandleMessage(NewMessage(0x0EEE0001).Get()), 1);
    EXPECT_EQ(link.MessagesReached(), std::vector<DWORD>{0x0EEE0001});

    // Commands of the document's table.
    platform::ComPtr<ICAFCommandHandler> commands;
    ASSERT_EQ(document->QueryInterface(IID_ICAFCommandHandler, commands.OutVoid()), S_OK);
    const int executed = TestDocument::executed;
    EXPECT_EQ(commands->Execute(CommandId()), S_OK);
    EXPECT_EQ(TestDocument::executed, executed + 1);

    // The document knows its chart document, the host's flags bit 30 and its site.
    auto* concrete = static_cast<TestDocument*>(document.Get());
    EXPECT_EQ(concrete->ChartDocument(), static_cast<IChartDocument*>(hostDocument->Chart()));
    EXPECT_EQ(concrete->GetSiteObject(), hostDocument->AsUnknown());
    EXPECT_EQ(host.Log().Of("documents").back().detail, "0x40000000");
    host.GetFramework().Documents().documentRegistration.DropDocuments();
}

// The chart document's link objects, as the document takes them when it is made and lets go of them when it closes.
TEST(Document, TheChartChildKeepsTheChartDocumentsLinkWords)
{
    EXPECT_EQ(SlotOf(&IChartDocument::GetDataSourceLink), 8u);
    EXPECT_EQ(SlotOf(&IChartDocument::GetChannelDataLink), 16u);
    EXPECT_EQ(SlotOf(&IChartDocument::GetCalculationsLink), 21u);
    EXPECT_EQ(SlotOf(&IChartDocument::GetSelectionLink), 50u);
    EXPECT_EQ(SlotOf(&IChartDocument::GetExtentLink), 51u);
    EXPECT_EQ(SlotOf(&IChartDocument::GetTimesLink), 52u);
    EXPECT_EQ(SlotOf(&IChartDocument::GetServerLink), 65u);
    EXPECT_EQ(SlotOf(&IChartDocument::GetChildDataHolder), 72u);

    host::Host& host = SharedHost();
    auto documentClass = Adopted(new CAFDocumentClass<TestDocument>);
    const auto identity = [](IUnknown* object) {
        platform::ComPtr<IUnknown> unknown;
        if (object) {
            object->QueryInterface(IID_IUnknown, unknown.OutVoid());
        }
        return unknown.Get();
    };
    {
        // A chart without a data source behind it: its own links only.
        auto hostDocument = NewHostDocument();
        auto document = hostDocument->CreateDocument(documentClass.Get());
        auto* concrete = static_cast<TestDocument*>(document.Get());
        host::ChartData& chart = *hostDocument->Chart();
        EXPECT_EQ(identity(concrete->Link(ChartChildDocument::kChannelDataLink)), chart.AsUnknown());
        EXPECT_EQ(concrete->Link(ChartChildDocument::kCalcChannels),
                  static_cast<IChartCalcChannels*>(&chart.Calculations()));
        EXPECT_NE(concrete->Link(ChartChildDocument::kTimesLink), nullptr);
        EXPECT_EQ(concrete->Link(ChartChildDocument::kSelectionLink), nullptr);
        EXPECT_EQ(concrete->Link(ChartChildDocument::kDataSourceLink), nullptr);
        EXPECT_EQ(concrete->Link(ChartChildDocument::kDataSource), nullptr);
        EXPECT_EQ(concrete->ChannelData(), static_cast<IChannelData*>(&chart));
        EXPECT_EQ(document->Close(), S_OK);
        for (std::size_t word = 0; word < ChartChildDocument::kLinkWords; ++word) {
            EXPECT_EQ(concrete->Link(static_cast<ChartChildDocument::LinkWord>(word)), nullptr) << word;
        }
        document.Reset();
        hostDocument.Reset();
    }
    {
        // Over a recording's data source: its selection, extent and source too.
        auto recording = host::Document::Create();
        recording->AddChannel(u"V", u"V");
        auto source = host::DataSource::Create(host, recording);
        auto hostDocument =
            host::HostDocument::Create(host.Log(), 7, platform::ComPtr<host::ChartData>(&source->GetChartData()));
        auto document = hostDocument->CreateDocument(documentClass.Get());
        auto* concrete = static_cast<TestDocument*>(document.Get());
        EXPECT_EQ(concrete->Link(ChartChildDocument::kDataSource), source->AsSource());
        EXPECT_EQ(identity(concrete->Link(ChartChildDocument::kDataSourceLink)), source->AsUnknown());
        EXPECT_EQ(concrete->Link(ChartChildDocument::kSelectionLink), static_cast<IChartSelection*>(source.Get()));
        EXPECT_EQ(concrete->Link(ChartChildDocument::kExtentLink), static_cast<IChartExtent*>(source.Get()));
        EXPECT_EQ(concrete->Link(ChartChildDocument::kServerLink), nullptr) << "the source offers no chart server";
        document->Close();
        document.Reset();
        hostDocument->CloseDocuments();
        hostDocument.Reset();
    }
    host.GetFramework().Documents().documentRegistration.DropDocuments();
}

TEST(Document, ANativeTitleIsSharedAndAnyOtherCopied)
{
    SharedHost();
    auto documentClass = Adopted(new CAFDocumentClass<TestDocument>);
    auto hostDocument = NewHostDocument();
    auto document = hostDocument->CreateDocument(documentClass.Get());
    ASSERT_TRUE(document);
    KVO::String title(u"Recording 1");
    const LONG references = title.Rep()->refCount;
    EXPECT_EQ(document->SetTitle(title.GetInterface()), S_OK);
    title.Rep()->Release(); // the reference GetInterface gave us
    EXPECT_EQ(title.Rep()->refCount, references + 1);
    IKVOString* back = nullptr;
    EXPECT_EQ(document->GetTitle(&back), S_OK);
    EXPECT_EQ(std::u16string(back->GetText()), u"Recording 1");
    back->Release();
    BSTR name = nullptr;
    EXPECT_EQ(document->GetName(&name), S_OK); // no display name yet
    EXPECT_EQ(name, nullptr);
    SharedHost().GetFramework().Documents().documentRegistration.DropDocuments();
}

// A subject of the test: every operation goes to the host's event manager.
class TestSubject final : public CAF::CAFSubject {
public:
    HRESULT QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
};

TEST(Document, NoticesGoToTheHostFirstAndThenToTheDocumentsOwnEntries)
{
    host::Host& host = SharedHost();
    auto documentClass = Adopted(new CAFDocumentClass<TestDocument>);
    auto hostDocument = NewHostDocument();
    auto document = hostDocument->CreateDocument(documentClass.Get());
    ASSERT_TRUE(document);
    auto* concrete = static_cast<TestDocument*>(document.Get());
    platform::ComPtr<IObserver> observer;
    ASSERT_EQ(document->QueryInterface(IID_IObserver, observer.OutVoid()), S_OK);

    TestSubject subject;
    const std::size_t linkRegistrations = host.Log().Count("link", "RegisterWith");
    EXPECT_EQ(observer->RegisterWith(&subject), S_OK);
    EXPECT_EQ(host.Log().Count("link", "RegisterWith"), linkRegistrations + 1);
    EXPECT_EQ(host.GetFramework().RegisteredObservers(&subject, ChangeNoticeId()), 1u);

    // The host's event reaches the link (all four values) and then the member (the notice data only).
    const DWORD data = 0x5A;
    host.GetFramework().FireEvent(&subject, ChangeNoticeId(), 0x77, &data);
    EXPECT_EQ(concrete->changes, std::vector<DWORD>{0x5A});
    EXPECT_EQ(host.Log().Of("link").back().detail, "0x0DDD0003 0x00000077");

    // The document's own notices go out through the link's observer sink.
    EXPECT_EQ(concrete->NotifyObservers(0x0DDD0009, &data), S_OK);
    EXPECT_EQ(host.Log().Of("link").back().operation, "NotifyObservers");

    // The site interface of the host document: asked once, handed out with a reference each time.
    platform::ComPtr<IUnknown> first;
    platform::ComPtr<IUnknown> second;
    EXPECT_EQ(document->GetSiteInterface(first.Out()), S_OK);
    EXPECT_EQ(document->GetSiteInterface(second.Out()), S_OK);
    EXPECT_EQ(first.Get(), second.Get());
    EXPECT_EQ(first.Get(), static_cast<IUnknown*>(static_cast<IDocumentSite*>(hostDocument.Get())));

    // Closing lets go of the chart document first.
    EXPECT_EQ(document->Close(), S_OK);
    EXPECT_EQ(concrete->ChartDocument(), nullptr);
    EXPECT_EQ(concrete->SenderTarget(), nullptr);
    observer.Reset();
    document.Reset();
    first.Reset();
    second.Reset();
    hostDocument.Reset(); // which holds the documents made for it
    host.GetFramework().Documents().documentRegistration.DropDocuments();
    // The document unregistered its observer when it went.
    EXPECT_EQ(host.GetFramework().RegisteredObservers(&subject, ChangeNoticeId()), 0u);
}

std::u16string Settings() { return u"Crestmetrics|Settings"; }

TEST(Menus, TheAnalysisDocumentClassPutsItsCommandsIntoTheHostsMenus)
{
    host::Host& host = SharedHost();
    host::MenuService& menus = host.GetFramework().Documents().menus;
    menus.Clear();
    auto documentClass = Adopted(new CAFDocumentClass<CX::Doc::CXDoc>);
    // Outside a host's process the library has no module object: there is nothing to offer commands from.
    struct LoadedLibrary {
        bool loadedHere = !CX::Module::GetModule();
        LoadedLibrary()
        {
            if (loadedHere) {
                DllMain(KVO::ModuleInstance(), DLL_PROCESS_ATTACH, nullptr);
            }
        }
        ~LoadedLibrary()
        {
            if (loadedHere) {
                DllMain(KVO::ModuleInstance(), DLL_PROCESS_DETACH, nullptr);
            }
        }
    };
    if (!CX::Module::GetModule()) {
        EXPECT_EQ(documentClass->RegisterWithUI(nullptr), S_OK);
        EXPECT_TRUE(menus.Items().empty());
    }
    const LoadedLibrary library;
    EXPECT_EQ(documentClass->RegisterWithUI(nullptr), S_OK);

    const auto& items = menus.Items();
    ASSERT_EQ(items.size(), 13u);
    EXPECT_EQ(items[0].kind, MenuRecord::Kind::Category);
    EXPECT_EQ(items[0].title, u"Crestmetrics");
    EXPECT_EQ(items[0].text, u"CRESTMETRICS");
    EXPECT_EQ(items[0].path, u"");
    EXPECT_EQ(items[0].itemKind, 56u);
    EXPECT_EQ(items[0].order, 10000u);

    const MenuRecord& settings = items[2];
    const DWORD id = (static_cast<DWORD>(host.GetFramework().KnownTypeId(CX::CXDocGUID)) << 16) | 1;
    EXPECT_EQ(settings.kind, MenuRecord::Kind::Command);
    EXPECT_EQ(settings.stringId, 2016u);
    EXPECT_EQ(settings.path, Settings());
    EXPECT_EQ(settings.key, u"settings");
    EXPECT_EQ(settings.category, u"CRESTMETRICS");
    EXPECT_EQ(settings.furtherText, u"");
    EXPECT_EQ(settings.firstValue, 1u);
    EXPECT_EQ(settings.group, 10u);
    EXPECT_EQ(settings.imageId, 269u);
    EXPECT_EQ(settings.module, KVO::ModuleInstance());
    EXPECT_NE(id >> 16, 0u);
    EXPECT_EQ(settings.id, id);
    EXPECT_EQ(settings.commandId, id);

    // The whole menu in order: the extension menu, then the commands and separators.
    using Kind = MenuRecord::Kind;
    const struct {
        Kind kind;
        const char16_t* path;
        UINT stringId;
        const char16_t* key;
        UINT imageId;
        DWORD index;
    } expected[] = {
        {Kind::Command, u"Crestmetrics^EXTENSION|", 2000, u"", 0, 0},
        {Kind::Command, u"Crestmetrics|Settings", 2016, u"settings", 269, 1},
        {Kind::Separator, u"Crestmetrics|-", 0, u"", 0, 0},
        {Kind::Command, u"Crestmetrics|Analysis View", 2032, u"window_DRAnalysis", 272, 2},
        {Kind::Command, u"Crestmetrics|Table View", 2048, u"table_view", 271, 12},
        {Kind::Separator, u"Crestmetrics|-", 0, u"", 0, 0},
        {Kind::Command, u"Crestmetrics|Show &Peak Markers", 2064, u"", 0, 4},
        {Kind::Command, u"Crestmetrics|Analyze &while sampling", 2080, u"", 0, 6},
        {Kind::Separator, u"Crestmetrics|-", 0, u"", 0, 0},
        {Kind::Command, u"Crestmetrics|&Reselect Analyzed Data", 2096, u"", 0, 7},
        {Kind::Command, u"Crestmetrics|&Clear Analysis", 2112, u"", 0, 8},
        {Kind::Command, u"Crestmetrics|Analyze", 139, u"analyse", 270, 9},
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const MenuRecord& item = items[i + 1];
        SCOPED_TRACE(std::string(item.path.begin(), item.path.end()));
        EXPECT_EQ(item.kind, expected[i].kind);
        EXPECT_EQ(item.path, expected[i].path);
        if (expected[i].kind == Kind::Command) {
            EXPECT_EQ(item.stringId, expected[i].stringId);
            EXPECT_EQ(item.key, expected[i].key);
            EXPECT_EQ(item.imageId, expected[i].imageId);
            if (expected[i].index != 0) {
                EXPECT_EQ(item.commandId, (id & 0xFFFF0000u) | expected[i].index);
            }
        } else {
            EXPECT_EQ(item.itemKind, 2u);
        }
    }
    EXPECT_EQ(documentClass->Commands().Count(), 13u);
    EXPECT_FALSE(documentClass->CommandsChanged()) << "new items change nothing the host had";

    // Registering again updates items the host holds: the class hears of the change.
    EXPECT_EQ(documentClass->RegisterWithUI(nullptr), S_OK);
    ASSERT_EQ(items.size(), 26u);
    EXPECT_FALSE(items[2].replaced);
    EXPECT_TRUE(items[13 + 2].replaced);
    EXPECT_TRUE(documentClass->CommandsChanged());

    // The settings text is the module's own.
    EXPECT_EQ(KVO::LoadResourceString(KVO::ModuleInstance(), StringId::MenuSettings, false), u"&Settings...");
}

TEST(Menus, ABareSeparatorTextGoesInTheTextPlace)
{
    host::MenuService& menus = SharedHost().GetFramework().Documents().menus;
    struct Case {
        const char16_t* given;
        std::u16string path;
        std::u16string text;
    };
    for (const Case& c : {Case{u"-", u"", u"-"}, Case{u"Crestmetrics|-", u"Crestmetrics|-", u""}}) {
        menus.Clear();
        platform::ComPtr<ICAFCommand> item;
        EXPECT_EQ(CAF::AddMenuSeparator(item, c.given), S_OK);
        ASSERT_EQ(menus.Items().size(), 1u);
        EXPECT_EQ(menus.Items()[0].path, c.path);
        EXPECT_EQ(menus.Items()[0].text, c.text);
    }
}

TEST(Menus, ACommandWithoutAnIdTakesTheItemsOwn)
{
    host::MenuService& menus = SharedHost().GetFramework().Documents().menus;
    struct Case {
        WORD high;
        WORD index;
        DWORD ownId;
        DWORD expected;
    };
    for (const Case& c : {Case{0x1234, 5, 0x77, 0x12340005}, Case{0, 0, 0x77, 0x77}, Case{0, 0, 0, 0},
                          Case{0, 9, 0x77, 9}}) {
        menus.Clear();
        menus.SetNextOwnId(c.ownId);
        platform::ComPtr<ICAFCommand> item;
        EXPECT_EQ(CAF::AddMenuCommandFromTable(item, nullptr, 4, 100, u"Crestmetrics^EXTENSION|", c.high, c.index),
                  S_OK);
        ASSERT_EQ(menus.Items().size(), 1u);
        EXPECT_EQ(menus.Items()[0].id, c.expected);
        EXPECT_EQ(menus.Items()[0].commandId, c.expected);
        EXPECT_EQ(menus.Items()[0].group, 2u);
        EXPECT_EQ(menus.Items()[0].firstValue, 4u);
    }
}

} // namespace
