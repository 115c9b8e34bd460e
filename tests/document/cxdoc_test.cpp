#include "docfixtures.h"
#include "document/cxdoc.h"
#include "document/settingids.h"
#include "host/datasource.h"
#include "host/docframework.h"
#include "tableview/tableviewdata.h"
#include "tableview/tvftableviewmgr.h"

using namespace CX::Doc;

namespace {

struct Opened {
    Opened()
    {
        host::Host& host = SharedHost();
        WORD shortId = 0;
        host.GetFramework().GetShortId(&GUID_AnalysisManagerFamily, &shortId);
        manager = platform::ComPtr<host::AnalysisManager>::Adopt(
            host::AnalysisManager::Create(host.Log(), static_cast<DWORD>(shortId) << 16));
        hostDocument = host::HostDocument::Create(host.Log(), 7, host.NewChartData());
        hostDocument->SetApplication(platform::ComPtr<IUnknown>(static_cast<IHostObjectsById*>(manager.Get())));
        documentClass = platform::ComPtr<CAFDocumentClass<CXDoc>>(new CAFDocumentClass<CXDoc>);
        document = hostDocument->CreateDocument(documentClass.Get());
        doc = static_cast<CXDoc*>(document.Get());
    }
    host::CalcChannels& Channels() { return hostDocument->Chart()->Calculations(); }

    platform::ComPtr<host::AnalysisManager> manager;
    platform::ComPtr<host::HostDocument> hostDocument;
    platform::ComPtr<CAFDocumentClass<CXDoc>> documentClass;
    platform::ComPtr<ICustomDocument2> document;
    CXDoc* doc = nullptr;
};

std::vector<std::string> Calls(const char* service, std::size_t from)
{
    std::vector<std::string> out;
    const auto calls = SharedHost().Log().Of(service);
    for (std::size_t i = from; i < calls.size(); ++i) {
        out.push_back(calls[i].operation + (calls[i].detail.empty() ? "" : " " + calls[i].detail));
    }
    return out;
}

} // namespace

TEST(AnalysisDocument, OpenAndCloseMakeAndRemoveTheThreeCalculationChannels)
{
    Opened o;
    ASSERT_NE(o.doc, nullptr);
    o.Channels().SetFirstNumber(20);
    SettingsSet& settings = o.doc->Settings();
    settings.SetLong(SettingId::kSourceChannel, 2);
    const std::size_t before = SharedHost().Log().Of("calcchannels").size();

    ASSERT_EQ(o.doc->Open(), S_OK);
    EXPECT_EQ(settings.GetLong(SettingId::kDetectorStageChannel), 20);
    EXPECT_EQ(settings.GetLong(SettingId::kEventChainChannel), 21);
    EXPECT_EQ(settings.GetLong(SettingId::kCalcStageChannel), 22);
    EXPECT_EQ(Calls("calcchannels", before),
              (std::vector<std::string>{"add 20", "add 21", "title Calculation 21: Crestmetrics (Channel 3)", "add 22"}));
    EXPECT_EQ(o.Channels().Channels().size(), 3u);
    // The source channel has its settings group; the results and table objects exist.
    EXPECT_GE(settings.IndexOfChannel(2), 0);
    EXPECT_NE(o.doc->Results(), nullptr);
    EXPECT_NE(o.doc->TableData(), nullptr);
    EXPECT_NE(o.doc->TableManager(), nullptr);

    const std::size_t opened = SharedHost().Log().Of("calcchannels").size();
    ASSERT_EQ(o.document->Close(), S_OK);
    EXPECT_EQ(Calls("calcchannels", opened),
              (std::vector<std::string>{"text 20 4", "remove Calculation 20", "text 21 4", "remove Calculation 21",
                                        "text 22 4", "remove Calculation 22"}));
    EXPECT_TRUE(o.Channels().Channels().empty());
}

TEST(AnalysisDocument, TheEventChainChannelIsRetitledOnlyWhenItsStateChanges)
{
    Opened o;
    o.doc->Settings().SetLong(SettingId::kSourceChannel, 0);
    ASSERT_EQ(o.doc->Open(), S_OK);
    const std::size_t before = SharedHost().Log().Of("calcchannels").size();
    o.doc->TitleEventChainChannel(false); // already off
    o.doc->TitleEventChainChannel(true);
    o.doc->TitleEventChainChannel(true);
    const std::string name = "Calculation " + std::to_string(o.doc->Settings().GetLong(SettingId::kEventChainChannel));
    const std::string number = std::to_string(o.doc->Settings().GetLong(SettingId::kEventChainChannel));
    EXPECT_EQ(Calls("calcchannels", before),
              (std::vector<std::string>{"text " + number + " 4", "text " + number + " 4", "state " + name + " on",
                                        "title " + name + ": Crestmetrics (Channel 1)", "text " + number + " 4"}));
    o.document->Close();
}

TEST(AnalysisDocument, RegistersWithTheAnalysisManagerAndReleasesOnClose)
{
    Opened o;
    ASSERT_EQ(o.doc->Open(), S_OK);
    const DWORD cookie = o.doc->Cookie();
    ASSERT_NE(cookie, CXDoc::kNoCookie);
    ASSERT_EQ(o.manager->Clients().count(cookie), 1u);
    const host::AnalysisManager::Client& client = o.manager->Clients().at(cookie);
    EXPECT_EQ(client.name, u"Crestmetrics");
    EXPECT_EQ(client.displayName, u"Crestmetrics");
    // Only index 0 gives an object: the persistence object.
    ASSERT_EQ(client.persistObjects.size(), 1u);
    EXPECT_EQ(client.persistObjects.at(0), static_cast<IUnknown*>(&o.doc->Persistence()));
    EXPECT_FALSE(client.loaded);

    // Before the persistence object is attached, the manager's notices change nothing.
    const std::size_t ranges = SharedHost().Log().Count("analysismanager", "range");
    o.doc->ReportRange(9);
    EXPECT_EQ(SharedHost().Log().Count("analysismanager", "range"), ranges);
    o.doc->Stop();
    EXPECT_EQ(o.manager->Clients().count(cookie), 1u);

    // Attached through the host's storage: the range goes out with the stored limits.
    o.doc->AttachPersistence();
    EXPECT_TRUE(o.doc->Persistence().attached);
    EXPECT_EQ(o.hostDocument->Stored().size(), 1u);
    o.doc->AttachPersistence();
    EXPECT_EQ(o.hostDocument->Stored().size(), 1u);
    SettingsSet& settings = o.doc->Settings();
    settings.SetLong(SettingId::kRangeStartBlock, 1);
    settings.SetLong(SettingId::kRangeStartTick, 10);
    settings.SetLong(SettingId::kRangeEndBlock, 2);
    settings.SetLong(SettingId::kRangeEndTick, 20);
    o.doc->ReportRange(9);
    EXPECT_EQ(Calls("analysismanager", SharedHost().Log().Of("analysismanager").size() - 1),
              (std::vector<std::string>{"range " + std::to_string(cookie) + " 9 (1,10)-(2,20)"}));

    ASSERT_EQ(o.document->Close(), S_OK);
    EXPECT_EQ(o.manager->Clients().count(cookie), 0u);
    EXPECT_TRUE(o.hostDocument->Stored().empty());
}

TEST(AnalysisDocument, TheFirstActivationAfterOpeningKeepsTheOneRegistration)
{
    Opened o;
    ASSERT_EQ(o.doc->Open(), S_OK);
    const DWORD cookie = o.doc->Cookie();
    o.doc->OnFirstActivation(FirstActivationNotice{5, 5});
    EXPECT_EQ(o.doc->Cookie(), cookie);
    EXPECT_EQ(o.manager->Clients().size(), 1u);
    ASSERT_EQ(o.document->Close(), S_OK);
    EXPECT_TRUE(o.manager->Clients().empty());
}

TEST(AnalysisDocument, StopClearsReleasesAndRemovesTheChannels)
{
    Opened o;
    ASSERT_EQ(o.doc->Open(), S_OK);
    o.doc->AttachPersistence();
    o.doc->SetCurrentEvent(4);
    const DWORD cookie = o.doc->Cookie();
    o.doc->Stop();
    EXPECT_EQ(o.doc->CurrentEvent(), 0);
    EXPECT_TRUE(o.doc->Persistence().dirty);
    EXPECT_EQ(o.manager->Clients().count(cookie), 0u);
    EXPECT_TRUE(o.Channels().Channels().empty());
    o.document->Close();
}

TEST(AnalysisDocument, AHostDocumentSavesAndLoadsTheDocumentState)
{
    Opened first;
    ASSERT_EQ(first.doc->Open(), S_OK);
    doctest::SetText(first.doc->Settings(), SettingId::kAnalysisType, u"4");
    first.doc->MarkDirtyAndAttach();
    EXPECT_EQ(first.doc->Persistence().IsDirty(), S_OK);
    std::vector<platform::ComPtr<platform::MemoryStream>> streams;
    ASSERT_EQ(first.hostDocument->SaveState(streams), S_OK);
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(first.doc->Persistence().IsDirty(), S_FALSE);

    Opened second;
    ASSERT_EQ(second.doc->Open(), S_OK);
    second.doc->AttachPersistence();
    ASSERT_EQ(second.hostDocument->LoadState(streams), S_OK);
    EXPECT_TRUE(second.doc->Persistence().loaded);
    EXPECT_EQ(second.doc->Settings().GetInt(SettingId::kAnalysisType), 4);
    first.document->Close();
    second.document->Close();
}

TEST(AnalysisDocument, WithoutHostServicesNothingHappens)
{
    host::Host& host = SharedHost();
    auto hostDocument = host::HostDocument::Create(host.Log(), 7, host.NewChartData()); // no application object
    platform::ComPtr<CAFDocumentClass<CXDoc>> documentClass(new CAFDocumentClass<CXDoc>);
    auto document = hostDocument->CreateDocument(documentClass.Get());
    auto* doc = static_cast<CXDoc*>(document.Get());
    EXPECT_EQ(doc->Open(), S_OK);
    EXPECT_EQ(doc->Cookie(), CXDoc::kNoCookie);
    doc->ReportRange(1);
    doc->Stop();
    doc->ReRun();
    EXPECT_EQ(document->Close(), S_OK);

    DWORD word = 7;
    IUnknown* object = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(doc->InterfaceByKind(1, 2, &word, &object), S_FALSE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(word, 0u);
    EXPECT_EQ(doc->InterfaceByKind(0, 2, &word, &object), S_OK);
    EXPECT_EQ(object, static_cast<IUnknown*>(&doc->Persistence()));
}

TEST(AnalysisDocument, SourceChannelUnitsComeFromTheRecording)
{
    host::Host& host = SharedHost();
    auto recording = host::Document::Create();
    recording->AddChannel(u"Pressure", u"mmHg");
    recording->AddChannel(u"Voltage", u"mV");
    const int block = recording->AddBlock(0.001);
    recording->SetSamples(block, 0, {1.0f, 2.0f});
    recording->SetSamples(block, 1, {1.0f, 2.0f});
    auto source = host::DataSource::Create(host, recording);
    auto hostDocument =
        host::HostDocument::Create(host.Log(), 7, platform::ComPtr<host::ChartData>(&source->GetChartData()));
    platform::ComPtr<CAFDocumentClass<CXDoc>> documentClass(new CAFDocumentClass<CXDoc>);
    auto document = hostDocument->CreateDocument(documentClass.Get());
    auto* doc = static_cast<CXDoc*>(document.Get());

    struct Case {
        std::int32_t channel;
        std::u16string base;
        char16_t prefix;
    } cases[] = {{0, u"mmHg", 0}, {1, u"V", u'm'}};
    for (const Case& test : cases) {
        doc->Settings().SetLong(SettingId::kSourceChannel, test.channel);
        const KVO::PrefixedUnit unit = doc->SourceChannelUnits();
        EXPECT_EQ(unit.Base(), test.base);
        EXPECT_EQ(unit.Prefix(), test.prefix);
    }
    document->Close();
}
