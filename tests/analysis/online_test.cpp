// Analysis while sampling on the stand-in host: the document follows the host's online-data notices as the host
// replays a recording into it, and handles the host's change notices.
#include "analysisfixture.h"
#include "../host/noticelog.h"
#include "document/docmessages.h"
#include "frame/chartcomment.h"
#include "host/documentsampler.h"

using namespace CX::Doc;
namespace SId = CX::Doc::SettingId;

namespace {

using Positions = std::vector<std::pair<std::int32_t, std::int32_t>>;

// An analysis document over an empty host document that samples `recording` when asked.
struct SamplingDocument : AnalysedDocument {
    platform::ComPtr<host::DocumentSampler> sampler;

    SamplingDocument(const std::shared_ptr<host::Document>& recording, LONG step, bool online = true)
        : AnalysedDocument(host::Document::Create())
    {
        sampler = host::DocumentSampler::Create(source);
        sampler->SetRecording(recording, step);
        hostDocument->SetSampling(platform::ComPtr<IUnknown>(static_cast<IHostSampling*>(sampler.Get())));
        doc->Settings().SetBool(SId::kAnalyseWhileSampling, online);
        doc->UpdateOnlineSubscription();
    }
};

// The notices of the host chart family go to the document as the host's observer service would send them.
template <class Record>
void Notify(AnalysedDocument& a, DWORD eventId, const Record& record)
{
    platform::ComPtr<IObserver> observer;
    ASSERT_EQ(a.document->QueryInterface(IID_IObserver, observer.OutVoid()), S_OK);
    observer->Notify(nullptr, eventId, 0, &record);
}

} // namespace

TEST(OnlineAnalysis, SamplingGivesTheEventsOfTheFinishedRecording)
{
    struct Case {
        int type;
        LONG step;
        bool evoked;
    } cases[] = {{1, 250, false}, {1, 7001, false}, {5, 333, false}, {3, 400, true}};
    const PeakRecording peaks({6000, 4000, 2500});
    const EvokedRecording evoked({6000, 5000});
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << "type " << test.type << " step " << test.step);
        const auto& recording = test.evoked ? evoked.document : peaks.document;
        AnalysedDocument offline(recording);
        offline.SetAnalysisType(test.type);
        ASSERT_TRUE(offline.doc->Analyse(false, true));
        const Positions expected = offline.Events(test.evoked);
        ASSERT_FALSE(expected.empty());

        SamplingDocument online(recording, test.step);
        online.SetAnalysisType(test.type);
        EXPECT_EQ(online.source->Listeners(), 1u);
        online.sampler->ReplayAll();
        EXPECT_EQ(online.Events(test.evoked), expected);
        EXPECT_FALSE(online.doc->sampling);
        // The range starts at the first block sampled and runs to the end of the data.
        const SettingsSet& settings = online.doc->Settings();
        EXPECT_EQ(settings.GetLong(SId::kRangeStartBlock), 0);
        EXPECT_EQ(settings.GetLong(SId::kRangeStartTick), 0);
        EXPECT_EQ(settings.GetLong(SId::kRangeEndBlock), -1);
        EXPECT_EQ(settings.GetLong(SId::kRangeEndTick), -1);
        EXPECT_TRUE(settings.GetBool(SId::kHasAnalysedRange));
    }
}

TEST(OnlineAnalysis, ANewRunAfterRecordedBlocksStartsAtTheFirstNewBlockAndAppends)
{
    const PeakRecording recording({5000, 3000});
    const PeakRecording later({4000}, 500, 9);
    SamplingDocument a(recording.document, 500, false);
    a.SetAnalysisType(1);
    a.sampler->ReplayAll(); // recorded without the analysis
    EXPECT_TRUE(a.Events().empty());
    a.sampler->SetRecording(later.document, 500);
    a.doc->Settings().SetBool(SId::kAnalyseWhileSampling, true);
    a.doc->UpdateOnlineSubscription();
    a.doc->UpdateOnlineSubscription(); // once is enough
    EXPECT_EQ(a.source->Listeners(), 1u);
    {
        SamplingDocument closing(recording.document, 500);
        EXPECT_EQ(closing.source->Listeners(), 1u);
        closing.doc->Close();
        EXPECT_EQ(closing.source->Listeners(), 0u) << "a closed document listens no more";
    }

    a.sampler->ReplayAll();
    EXPECT_EQ(a.doc->Settings().GetLong(SId::kRangeStartBlock), 2);
    Positions expected;
    for (const auto& [block, tick] : later.Peaks()) {
        expected.emplace_back(block + 2, tick);
    }
    const Positions found = a.Events();
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].first, expected[i].first);
        EXPECT_LE(std::abs(found[i].second - expected[i].second), 4);
    }
}

TEST(OnlineAnalysis, WithTheOptionOffOnlyTheSamplingFlagChanges)
{
    const PeakRecording recording({3000});
    SamplingDocument a(recording.document, 500, false);
    EXPECT_EQ(a.source->Listeners(), 0u);
    // Told anyway (the option went off after the subscription), the document keeps everything else.
    platform::ComPtr<IOnlineDataNotices> notices;
    ASSERT_EQ(a.hostDocument->QueryInterface(IID_IOnlineDataNotices, notices.OutVoid()), S_OK);
    notices->Subscribe(a.doc);
    const std::int32_t startBlock = a.doc->Settings().GetLong(SId::kRangeStartBlock);
    a.sampler->Start();
    EXPECT_TRUE(a.doc->sampling);
    EXPECT_TRUE(a.doc->IsHostSampling());
    a.sampler->BeginBlock();
    while (a.sampler->Step() > 0) {
    }
    a.sampler->EndBlock();
    a.sampler->Stop();
    notices->Unsubscribe(a.doc);
    EXPECT_FALSE(a.doc->sampling);
    EXPECT_FALSE(a.doc->IsHostSampling());
    EXPECT_TRUE(a.Events().empty());
    EXPECT_EQ(a.doc->Settings().GetLong(SId::kRangeStartBlock), startBlock);
    EXPECT_FALSE(a.doc->Settings().GetBool(SId::kHasAnalysedRange));
}

TEST(OnlineAnalysis, SinkAnswersAndABlockTheHostCannotReport)
{
    const PeakRecording recording({3000});
    SamplingDocument a(recording.document, 500);
    IOnlineDataSink* sink = a.doc;
    DWORD value = 0;
    WORD wanted = 0;
    EXPECT_EQ(sink->GetInterest(&value, &wanted), S_OK);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(wanted, 0xFFFF);
    EXPECT_EQ(sink->GetUpdateInterval(0, &value), S_OK);
    EXPECT_EQ(value, 200u);
    EXPECT_EQ(sink->GetDataKinds(0, 0, 0, &value), S_OK);
    EXPECT_EQ(value, 0x80000000u);
    EXPECT_EQ(sink->Reserved10(), E_NOTIMPL);
    EXPECT_EQ(sink->Reserved11(), E_NOTIMPL);
    // No block of the host document is being sampled.
    EXPECT_EQ(sink->BlockStarted(0, 1, 0.001, 0, 0, 0, 0, 0, VARIANT_TRUE), E_FAIL);
    EXPECT_FALSE(a.doc->Settings().GetBool(SId::kHasAnalysedRange));
    // A block that is only monitored is not analysed.
    a.sampler->SetRecorded(false);
    a.sampler->ReplayAll();
    EXPECT_FALSE(a.doc->OnlineActive());
    EXPECT_TRUE(a.Events().empty());
}

TEST(OnlineAnalysis, TheCurrentEventFollowsTheNewestOnlyWhenItWasTheNewest)
{
    const PeakRecording recording({9000}); // a peak every 600 samples
    for (const bool stayBehind : {false, true}) {
        SCOPED_TRACE(stayBehind);
        SamplingDocument a(recording.document, 100);
        a.SetAnalysisType(1);
        a.sampler->Start();
        a.sampler->BeginBlock();
        CycleDetector& results = *a.doc->Results();
        // One event at a time: the current event is the newest.
        while (results.EventCount() < 3) {
            ASSERT_GT(a.sampler->Step(), 0);
            EXPECT_EQ(a.doc->CurrentEvent(), std::max(results.EventCount() - 1, 0));
        }
        if (stayBehind) {
            a.doc->SetCurrentEvent(1);
        }
        // Several at once: it moves to the first of them.
        const std::int32_t before = results.EventCount();
        a.sampler->SetStep(2500);
        a.sampler->Step();
        ASSERT_GT(results.EventCount(), before + 1);
        EXPECT_EQ(a.doc->CurrentEvent(), stayBehind ? 1 : before);
        a.sampler->StopSampling();
        EXPECT_FALSE(a.doc->IsHostSampling());
    }
}

TEST(HostNotices, DataChangesRedoOrClearOnlyForTheSourceChannel)
{
    const PeakRecording recording({5000, 3000});
    AnalysedDocument a(recording.document);
    a.SetAnalysisType(1);
    ASSERT_TRUE(a.doc->Analyse(false, true));
    const Positions analysed = a.Events();
    ASSERT_FALSE(analysed.empty());

    a.source->SetChangedChannels({3});
    Notify(a, CX::Msg::ChartNoticeId<4>(), ChartRangeNotice{0, 1});
    EXPECT_FALSE(a.doc->DataChanged(0, 1));
    EXPECT_EQ(a.Events(), analysed);

    // The source channel changed: analysed again over the stored range.
    a.source->SetChangedChannels({0});
    a.doc->Results()->Clear();
    Notify(a, CX::Msg::ChartNoticeId<6>(), ChartRangeNotice{0, 1});
    EXPECT_EQ(a.Events(), analysed);
    // While the host samples it is cleared instead.
    a.doc->sampling = true;
    Notify(a, CX::Msg::ChartNoticeId<34>(), LONG{1});
    EXPECT_TRUE(a.Events().empty());
    a.doc->sampling = false;
}

TEST(HostNotices, PositionsChannelsMarksAndTheFirstActivation)
{
    const PeakRecording recording({5000, 3000});
    struct Case {
        const char* what;
        std::function<void(AnalysedDocument&)> notify;
        bool cleared;
    } cases[] = {
        {"data from inside the range", [](AnalysedDocument& a) { Notify(a, CX::Msg::ChartNoticeId<14>(), KVOPosition{100, 1}); }, true},
        {"data from the range's end", [](AnalysedDocument& a) { Notify(a, CX::Msg::ChartNoticeId<14>(), KVOPosition{3000, 1}); }, true},
        {"data past the range", [](AnalysedDocument& a) { Notify(a, CX::Msg::ChartNoticeId<16>(), KVOPosition{3001, 1}); }, false},
        {"data past the range's blocks", [](AnalysedDocument& a) { Notify(a, CX::Msg::ChartNoticeId<14>(), KVOPosition{0, 2}); }, false},
        {"the source channel", [](AnalysedDocument& a) { Notify(a, CX::Msg::ChartNoticeId<20>(), LONG{0}); }, true},
        {"another channel", [](AnalysedDocument& a) { Notify(a, CX::Msg::ChartNoticeId<22>(), LONG{1}); }, false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        AnalysedDocument a(recording.document);
        a.SetAnalysisType(1);
        a.doc->Settings().SetBool(SId::kShowEventMarks, true);
        ASSERT_TRUE(a.doc->Analyse(false, true));
        a.doc->SetCurrentEvent(3);
        test.notify(a);
        EXPECT_EQ(a.Events().empty(), test.cleared);
        EXPECT_EQ(a.doc->CurrentEvent(), test.cleared ? 0 : 3);
    }
    // Marks: gone on n 18 and n 16.
    AnalysedDocument a(recording.document);
    a.SetAnalysisType(1);
    a.doc->Settings().SetBool(SId::kShowEventMarks, true);
    ASSERT_TRUE(a.doc->Analyse(false, true));
    EXPECT_FALSE(a.Channels().Marked().empty());
    Notify(a, CX::Msg::ChartNoticeId<18>(), LONG{0});
    EXPECT_TRUE(a.Channels().Marked().empty());

    // The first activation analyses the stored range once, and only when its two ids agree.
    a.doc->Results()->Clear();
    Notify(a, CX::Msg::FirstActivationId(), FirstActivationNotice{1, 2});
    EXPECT_TRUE(a.Events().empty());
    Notify(a, CX::Msg::FirstActivationId(), FirstActivationNotice{5, 5});
    EXPECT_FALSE(a.Events().empty());
    a.doc->Results()->Clear();
    Notify(a, CX::Msg::FirstActivationId(), FirstActivationNotice{5, 5});
    EXPECT_TRUE(a.Events().empty());
}

TEST(HostNotices, AModuleCommentSelectsTheEventItNames)
{
    const PeakRecording recording({6000});
    AnalysedDocument a(recording.document);
    a.SetAnalysisType(1);
    ASSERT_TRUE(a.doc->Analyse(false, true));
    const std::int32_t count = a.doc->Results()->EventCount();
    ASSERT_GT(count, 5);
    const DWORD peakDraw = TypeIdClass<&CX::CXEventDrawGUID, 0>::Get();
    const DWORD spikeDraw = TypeIdClass<&CX::CXEventDrawGUID, 2>::Get();
    const std::string last = std::to_string(count);
    const std::string pastLast = std::to_string(count + 1);
    struct Case {
        std::u16string text;
        DWORD typeId;
        std::int32_t selected; // the current event afterwards (it starts at 1)
    } cases[] = {
        {u"CX: Peak 4; Height = 1 V", peakDraw, 3},
        {u"CX: Population Spike 6", spikeDraw, 5},
        {u"CX: Peak " + std::u16string(last.begin(), last.end()), peakDraw, count - 1},
        {u"CX: Peak 0", peakDraw, 1},
        {u"CX: Peak -3", peakDraw, 1},
        {u"CX: Peak " + std::u16string(pastLast.begin(), pastLast.end()), peakDraw, 1},
        {u"CX: Peak x", peakDraw, 1},
        {u"A comment of the user's: CX: Peak 4", peakDraw, 1},
        {u"CX: Peak 4", TypeIdClass<&CX::CXEventDrawGUID, 3>::Get(), 1},
        {u"CX: Peak 4", TypeIdClass<&CX::CXDocGUID, 0>::Get(), 1},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.text.begin(), test.text.end()));
        a.doc->SetCurrentEvent(1);
        platform::ComPtr<EventCommentBase> comment(
            new EventCommentBase(KVO::String(test.text.c_str()), 0, 0, 0, test.typeId));
        IUnknown* notice = static_cast<IChartComment*>(comment.Get());
        Notify(a, CX::Msg::ChartNoticeId<44>(), notice);
        EXPECT_EQ(a.doc->CurrentEvent(), test.selected);
    }
}
