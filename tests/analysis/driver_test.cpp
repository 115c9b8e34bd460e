// The analysis run on the stand-in host: the texts written into the chart's calculation channels, the host
// evaluating them, the events read in chunks with progress and cancel, the marks and the host told.
#include "analysisfixture.h"

#include "frame/calcsource.h"
#include "frame/typeid.h"
#include "sdk/analysishost.h"
#include "sdk/analysisjob.h"
#include "document/docmessages.h"
#include "frame/messagemap.h"
#include "host/documentsampler.h"
#include "../host/noticelog.h"
#include "platform/ui/dialog.h"
#include "platform/ui/input.h"
#include "platform/win/winuser.h"

#include <cstdlib>
#include <set>

using namespace CX::Doc;
namespace SId = CX::Doc::SettingId;

namespace {

using Positions = std::vector<std::pair<std::int32_t, std::int32_t>>;

// Every generated peak is found once, within a few ticks of its centre.
void ExpectPeaks(const Positions& found, const Positions& expected)
{
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].first, expected[i].first) << i;
        EXPECT_LE(std::abs(found[i].second - expected[i].second), 4) << i;
    }
}

// The range that a run over the stored range analyses.
void StoreRange(SettingsSet& settings, KVOPosition start, KVOPosition end)
{
    settings.SetLong(SId::kRangeStartBlock, start.mRecord);
    settings.SetLong(SId::kRangeStartTick, start.mRecordOffset);
    settings.SetLong(SId::kRangeEndBlock, end.mRecord);
    settings.SetLong(SId::kRangeEndTick, end.mRecordOffset);
}

} // namespace

TEST(AnalysisRun, PeakTypesWriteTheirTextsFindEveryPeakMarkAndTellTheHost)
{
    const PeakRecording recording({6000, 4000});
    struct Case {
        int type;
        const char16_t* chainStart;
        std::vector<std::int32_t> marked; // settings of the marked channels
    } cases[] = {
        {1, u"cappwf( ch1, calcbase( ch1, cappeakdet( ch1001, 0.03,", {SId::kEventChainChannel}},
        {5, u"cappwf( ch1, calcbase( ch1, cappeakdet( ch1001, 0.03,", {SId::kEventChainChannel}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.type);
        AnalysedDocument a(recording.document);
        a.SetAnalysisType(test.type);
        const int updatesBefore = a.hostDocument->Updates();
        ASSERT_TRUE(a.doc->Analyse(false, true));

        EXPECT_EQ(a.ChannelText(SId::kDetectorStageChannel), u"ch1");
        EXPECT_EQ(a.ChannelText(SId::kEventChainChannel).rfind(test.chainStart, 0), 0u)
            << std::string(a.ChannelText(SId::kEventChainChannel).begin(), a.ChannelText(SId::kEventChainChannel).end());
        // The calculation stage reads the event chain through the chart's token of its channel.
        EXPECT_NE(a.ChannelText(SId::kCalcStageChannel).find(u"ch1002"), std::u16string::npos);

        ExpectPeaks(a.Events(), recording.Peaks());
        EXPECT_EQ(a.doc->Results()->EventsPerBlock(),
                  (std::vector<std::int32_t>{static_cast<std::int32_t>(recording.centres[0].size()),
                                             static_cast<std::int32_t>(recording.centres[1].size())}));
        std::set<LONG> marked;
        for (const std::int32_t id : test.marked) {
            marked.insert(a.doc->Settings().GetLong(id));
        }
        EXPECT_EQ(a.Channels().Marked(), marked);
        EXPECT_GT(a.hostDocument->Updates(), updatesBefore);
        // The stored range is the whole channel, and a result is current.
        EXPECT_EQ(a.doc->Settings().GetLong(SId::kRangeEndBlock), 1);
        EXPECT_EQ(a.doc->Settings().GetLong(SId::kRangeEndTick), 4000);
        EXPECT_TRUE(a.doc->Settings().GetBool(SId::kHasAnalysedRange));
        EXPECT_FALSE(a.doc->Settings().GetBool(SId::kNoCurrentResult));
    }
}

// The three texts reach their channels through each channel's calculation source, which the host's locator finds
// for the chart, in a message of the expression family carrying the text; a channel the chart does not calculate
// has no source and gets nothing.
TEST(AnalysisRun, TextsReachEachChannelThroughItsCalculationSource)
{
    const PeakRecording recording({3000});
    AnalysedDocument a(recording.document);
    a.SetAnalysisType(1);
    host::CallLog& log = AnalysisHost().Log();
    const std::size_t before = log.Of("calcchannels").size();
    ASSERT_TRUE(a.doc->Analyse(false, true));
    const DWORD expression = TypeIdClass<&GUID_ChannelCalcExpressionFamily, 0>::Get();
    std::vector<std::string> sent;
    const auto calls = log.Of("calcchannels");
    for (std::size_t i = before; i < calls.size(); ++i) {
        if (calls[i].operation == "CalcSourceMessage") {
            sent.push_back(calls[i].detail);
        }
    }
    const auto line = [&](std::int32_t id) {
        const std::u16string text = a.ChannelText(id);
        return host::Hex(expression) + " " + std::to_string(a.doc->Settings().GetLong(id)) + " 4 " +
               std::string(text.begin(), text.end());
    };
    EXPECT_EQ(sent, (std::vector<std::string>{line(SId::kDetectorStageChannel), line(SId::kEventChainChannel),
                                              line(SId::kCalcStageChannel)}));

    EXPECT_TRUE(ExtLib::GetCalcSourceForChannel(a.doc->ChartDocument(), expression, KVO::String(u"ch1"),
                                                KVO::String(), a.doc->Settings().GetLong(SId::kEventChainChannel), 4));
    EXPECT_EQ(a.ChannelText(SId::kEventChainChannel), u"ch1");
    EXPECT_FALSE(ExtLib::GetCalcSourceForChannel(a.doc->ChartDocument(), expression, KVO::String(u"ch1"),
                                                 KVO::String(), 0, 4))
        << "a recorded channel has no calculation";
    EXPECT_FALSE(ExtLib::GetCalcSourceForChannel(nullptr, expression, KVO::String(u"ch1"), KVO::String(), 1000, 4));
}

TEST(AnalysisRun, ChunksAreAHundredthCappedAndOneChunkBelowAThousand)
{
    struct Case {
        std::int64_t total;
        std::int64_t chunk;
    } cases[] = {{150000, 1500}, {5000000, 10000}, {99000, 99000}, {100000, 1000}, {0, 0}, {7, 7}};
    for (const Case& test : cases) {
        EXPECT_EQ(CXDoc::ChunkSize(test.total), test.chunk) << test.total;
    }
    struct Percent {
        double done;
        std::int64_t total;
        std::int32_t percent;
    } percents[] = {{0, 0, 0}, {5, 0, 0}, {1499, 150000, 0}, {1500, 150000, 1}, {150000, 150000, 100},
                    {200000, 150000, 100}, {-3, 10, 0}};
    for (const Percent& test : percents) {
        EXPECT_EQ(CXDoc::ProgressPercent(test.done, test.total), test.percent) << test.done << "/" << test.total;
    }
}

TEST(AnalysisRun, ProgressReportsEveryChunkPerBlockAndCancelClearsEverything)
{
    // 150,000 samples in two blocks: chunks of 1500, so 100 reports.
    const PeakRecording recording({90000, 60000});
    {
        AnalysedDocument a(recording.document);
        a.SetAnalysisType(1);
        ASSERT_TRUE(a.doc->Analyse(false, true));
        std::vector<LONG> percents;
        std::vector<std::u16string> texts;
        for (const auto& report : a.progress) {
            EXPECT_EQ(report.title, u"Processing");
            percents.push_back(report.percent);
            if (texts.empty() || texts.back() != report.text) {
                texts.push_back(report.text);
            }
        }
        ASSERT_EQ(percents.size(), 100u);
        for (std::size_t i = 0; i < percents.size(); ++i) {
            EXPECT_EQ(percents[i], static_cast<LONG>(i + 1));
        }
        EXPECT_EQ(texts, (std::vector<std::u16string>{u"Block 1", u"Block 2"}));
        ExpectPeaks(a.Events(), recording.Peaks());
    }
    for (const LONG cancelAt : {1, 37, 60, 100}) {
        SCOPED_TRACE(cancelAt);
        AnalysedDocument a(recording.document);
        a.SetAnalysisType(1);
        a.doc->SetCurrentEvent(5);
        a.cancelAt = cancelAt;
        EXPECT_TRUE(a.doc->Analyse(false, true));
        ASSERT_FALSE(a.progress.empty());
        EXPECT_EQ(a.progress.back().percent, cancelAt) << "no report after the cancel";
        EXPECT_EQ(a.doc->Results()->EventCount(), 0);
        EXPECT_EQ(a.doc->CurrentEvent(), 0);
        EXPECT_TRUE(a.Channels().Marked().empty());
        EXPECT_FALSE(a.doc->Settings().GetBool(SId::kHasAnalysedRange));
    }
}

TEST(AnalysisRun, WithoutAProgressIndicatorEveryChunkIsRead)
{
    const PeakRecording recording({120000});
    AnalysedDocument a(recording.document);
    a.SetAnalysisType(1);
    AnalysisHost().GetFramework().Progress().SetAvailable(false);
    ASSERT_TRUE(a.doc->Analyse(false, true));
    ExpectPeaks(a.Events(), recording.Peaks());
}

TEST(AnalysisRun, RangesOfTheSelectionAndOfTheStoredSettings)
{
    const PeakRecording recording({6000, 5000, 4000});
    struct Case {
        const char* name;
        bool useStored;
        bool selection;
        KVOPosition start;
        KVOPosition end;
        bool result;
        bool whileSampling = false;
    } cases[] = {
        {"a selection across blocks", false, true, {2500, 0}, {1700, 2}, true},
        {"a selection inside a block", false, true, {1000, 1}, {4000, 1}, true},
        {"start equal to end", false, true, {300, 1}, {300, 1}, false},
        {"a negative start", false, true, {-1, 0}, {300, 1}, false},
        {"start after end", false, true, {100, 2}, {100, 1}, true},
        {"the stored range", true, false, {0, 1}, {-1, -1}, true},
        {"while sampling the end is the end of the data", false, true, {200, 1}, {500, 1}, true, true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        AnalysedDocument a(recording.document);
        a.SetAnalysisType(1);
        SettingsSet& settings = a.doc->Settings();
        // Results of an earlier run must be gone afterwards whatever happens.
        ASSERT_TRUE(a.doc->Analyse(false, true));
        ASSERT_GT(a.doc->Results()->EventCount(), 0);
        settings.SetBool(SId::kAnalyseSelection, test.selection);
        settings.SetBool(SId::kAnalyseWhileSampling, test.whileSampling);
        a.source->SetSelection(test.start, test.end);
        if (test.useStored) {
            StoreRange(settings, test.start, test.end);
        }
        EXPECT_EQ(a.doc->Analyse(test.useStored, true), test.result);
        Positions expected;
        if (test.result) {
            const bool toEnd = test.whileSampling || test.end.mRecord == -1;
            expected = recording.Peaks(test.start.mRecord, test.start.mRecordOffset, toEnd ? 0x7FFFFFFF : test.end.mRecord,
                                       toEnd ? 0x7FFFFFFF : test.end.mRecordOffset);
            const KVOPosition storedEnd = test.whileSampling ? KVOPosition{-1, -1} : test.end;
            EXPECT_EQ(settings.GetLong(SId::kRangeEndBlock), storedEnd.mRecord);
            EXPECT_EQ(settings.GetLong(SId::kRangeEndTick), storedEnd.mRecordOffset);
        }
        if (test.start.mRecord > test.end.mRecord && test.end.mRecord >= 0) {
            expected.clear();
        }
        ExpectPeaks(a.Events(), expected);
    }
}

TEST(AnalysisRun, ASecondRunWhileOneRunsIsRefused)
{
    const PeakRecording recording({3000});
    AnalysedDocument a(recording.document);
    a.doc->busy = true;
    EXPECT_FALSE(a.doc->Analyse(false, true));
    a.doc->busy = false;
    EXPECT_TRUE(a.doc->Analyse(false, true));
}

TEST(AnalysisRun, ClearingForgetsTheResultsTheRangeAndTheMarks)
{
    const PeakRecording recording({6000});
    AnalysedDocument a(recording.document);
    a.SetAnalysisType(1);
    ASSERT_TRUE(a.doc->Analyse(false, true));
    ASSERT_FALSE(a.Channels().Marked().empty());
    a.doc->ClearAnalysis();
    EXPECT_EQ(a.doc->Results()->EventCount(), 0);
    EXPECT_TRUE(a.Channels().Marked().empty());
    EXPECT_FALSE(a.doc->Settings().GetBool(SId::kHasAnalysedRange));
    EXPECT_TRUE(a.doc->Settings().GetBool(SId::kNoCurrentResult));
    for (const std::int32_t id : {SId::kRangeStartBlock, SId::kRangeStartTick, SId::kRangeEndBlock, SId::kRangeEndTick}) {
        EXPECT_EQ(a.doc->Settings().GetLong(id), 0) << id;
    }
    EXPECT_FALSE(a.doc->busy);
}

TEST(AnalysisCommands, AMessageMadeByTheRegisteredClassRunsTheAnalysis)
{
    const PeakRecording recording({6000});
    AnalysedDocument a(recording.document);
    a.SetAnalysisType(1);
    // The host finds the class by its name among those the module registered, as its automation would.
    IMsgIdMessageClassObject* analyse = nullptr;
    for (const auto& registered : AnalysisHost().GetFramework().MessageClasses()) {
        BSTR name = nullptr;
        if (SUCCEEDED(registered->GetName(&name)) && name && std::u16string(name) == u"CX_Analyze") {
            analyse = registered.Get();
        }
        SysFreeString(name);
    }
    ASSERT_NE(analyse, nullptr);
    platform::ComPtr<IMessage> message;
    ASSERT_EQ(analyse->CreateMessage(message.Out()), S_OK);
    EXPECT_EQ(CAF::DispatchMessage(*a.doc, message.Get()), 1);
    ExpectPeaks(a.Events(), recording.Peaks());
}

TEST(AnalysisCommands, OwnMessagesAndCommandsGoThroughTheMessageMap)
{
    const PeakRecording recording({6000});
    AnalysedDocument a(recording.document);
    a.SetAnalysisType(1);
    auto state = [&](DWORD id) {
        auto commandState = host::CommandState::Create();
        CAF::QueryEnable(*a.doc, id, commandState.Get());
        return commandState->Enabled().value_or(0xBEEF);
    };
    const DWORD analyse = CX::Msg::DocId<Command::kAnalyse>();
    const DWORD clear = CX::Msg::DocId<Command::kClear>();
    EXPECT_EQ(state(analyse), 0xFFFF);
    EXPECT_EQ(state(clear), 0) << "nothing to clear yet";

    platform::ComPtr<IMessage> message = platform::ComPtr<IMessage>::Adopt(CX::Msg::DocMessage::Create(CX::Msg::AnalyzeMessageId()));
    EXPECT_EQ(CAF::DispatchMessage(*a.doc, message.Get()), 1);
    ExpectPeaks(a.Events(), recording.Peaks());
    EXPECT_EQ(state(clear), 0xFFFF);

    // The host document's sampling state decides; the document's own flag follows the notices.
    const auto sampler = host::DocumentSampler::Create(a.source);
    a.hostDocument->SetSampling(platform::ComPtr<IUnknown>(static_cast<IHostSampling*>(sampler.Get())));
    a.doc->Settings().SetBool(SId::kAnalyseWhileSampling, true);
    a.doc->UpdateOnlineSubscription();
    sampler->Start();
    EXPECT_TRUE(a.doc->sampling);
    EXPECT_EQ(state(analyse), 0) << "not while the host samples";
    EXPECT_EQ(state(clear), 0) << "not while sampling into the analysis";
    sampler->Stop();
    a.doc->Settings().SetBool(SId::kAnalyseWhileSampling, false);
    a.doc->UpdateOnlineSubscription();
    EXPECT_EQ(a.source->Listeners(), 0u);

    message = platform::ComPtr<IMessage>::Adopt(CX::Msg::DocMessage::Create(CX::Msg::ClearAnalysisMessageId()));
    EXPECT_EQ(CAF::DispatchMessage(*a.doc, message.Get()), 1);
    EXPECT_EQ(a.doc->Results()->EventCount(), 0);

    EXPECT_EQ(CAF::ExecuteCommand(*a.doc, analyse), S_OK);
    EXPECT_EQ(a.doc->Results()->EventCount(), static_cast<std::int32_t>(recording.Peaks().size()));
    EXPECT_EQ(CAF::ExecuteCommand(*a.doc, clear), S_OK);
    EXPECT_EQ(a.doc->Results()->EventCount(), 0);
}

TEST(AnalysisCommands, TheSettingsCommandAnalysesAfterOkAndNotAfterCancel)
{
    const PeakRecording recording({6000});
    struct Case {
        int button;
        bool analysed;
        bool sampling; // the host document samples when the command runs
    } cases[] = {{IDOK, true, false}, {IDCANCEL, false, false}, {IDOK, true, true}, {IDCANCEL, false, true}};
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << test.button << " " << test.sampling);
        AnalysedDocument a(recording.document, true);
        a.SetAnalysisType(1);
        const auto sampler = host::DocumentSampler::Create(a.source);
        a.hostDocument->SetSampling(platform::ComPtr<IUnknown>(static_cast<IHostSampling*>(sampler.Get())));
        platform::ComPtr<NoticeLog> log(new NoticeLog);
        a.source->Subscribe(log.Get());
        if (test.sampling) {
            sampler->Start();
        }
        // The dialog opens on the baseline tab, whose page takes OK.
        a.doc->Settings().Find(SId::kFirstSettingsTab)->FromText(KVO::String(u"1"), true);
        int opened = 0;
        ui::SetModalHook([&](HWND dialog) {
            ++opened;
            ui::Click(GetDlgItem(dialog, test.button));
        });
        EXPECT_EQ(CAF::ExecuteCommand(*a.doc, CX::Msg::DocId<Command::kSettings>()), S_OK);
        ui::SetModalHook({});
        EXPECT_EQ(opened, 1);
        EXPECT_EQ(a.doc->Results()->EventCount(),
                  test.analysed ? static_cast<std::int32_t>(recording.Peaks().size()) : 0);
        EXPECT_EQ(a.doc->Persistence().dirty, test.analysed);
        // Accepted while sampling: sampling stops before the analysis and starts again after it.
        const std::vector<std::string> notices =
            test.sampling ? (test.analysed ? std::vector<std::string>{"started", "after stop", "started"}
                                           : std::vector<std::string>{"started"})
                          : std::vector<std::string>{};
        EXPECT_EQ(log->notices, notices);
        EXPECT_EQ(sampler->IsSampling(), test.sampling);
        a.source->Unsubscribe(log.Get());
    }
}

TEST(AnalysisRun, EvokedTypesFindTheResponseToTheFirstStimulusOfEachBlock)
{
    // By default one stimulus per block counts: the first artefact of each block.
    const EvokedRecording recording({6000, 4000, 5000});
    struct Case {
        int type;
        const char16_t* chainStart;
        bool stimulusTicks; // the stored events carry the stimulus tick
        std::vector<std::int32_t> marked;
    } cases[] = {
        {3, u"erstimdet( ch1, 1, 1,", true, {SId::kEventChainChannel, SId::kCalcStageChannel}},
        {4, u"pspeakdet( ch1001, erstimdet( ch1,", false, {SId::kEventChainChannel}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.type);
        AnalysedDocument a(recording.document);
        a.SetAnalysisType(test.type);
        ASSERT_TRUE(a.doc->Analyse(false, true));
        EXPECT_EQ(a.ChannelText(SId::kDetectorStageChannel), u"ch1");
        EXPECT_EQ(a.ChannelText(SId::kEventChainChannel).rfind(test.chainStart, 0), 0u);
        EXPECT_NE(a.ChannelText(SId::kCalcStageChannel).find(u"ch1002"), std::u16string::npos);
        EXPECT_EQ(a.doc->Results()->EventsPerBlock(), (std::vector<std::int32_t>{1, 1, 1}));
        if (test.stimulusTicks) {
            Positions expected;
            for (std::size_t block = 0; block < recording.stimuli.size(); ++block) {
                expected.emplace_back(static_cast<std::int32_t>(block), recording.stimuli[block].front());
            }
            EXPECT_EQ(a.Events(true), expected);
        }
        std::set<LONG> marked;
        for (const std::int32_t id : test.marked) {
            marked.insert(a.doc->Settings().GetLong(id));
        }
        EXPECT_EQ(a.Channels().Marked(), marked);
    }
}

// A block too short for its artefact has no stimulus, and gives no row: the job counts such blocks of the evoked
// types' last analysis, and nothing for another type, without a stimulus search or after the analysis was cleared.
// Of a stored range it counts the blocks with analysed samples: not the one whose tick 0 ends it.
TEST(AnalysisRun, TheJobCountsTheBlocksInWhichNoStimulusWasFound)
{
    // Stimuli in blocks 0 and 2, at ticks 200, 1200 and 2200.
    const EvokedRecording recording({3000, 100, 3000, 100});
    const struct {
        int type;
        const char16_t* method;
        bool cleared;
        LONG without;
        LONG blocks;
        KVOPosition start{}; // with end, a stored range; equal, the whole recording
        KVOPosition end{};
    } cases[] = {
        {3, u"4", false, 2, 4}, {4, u"4", false, 2, 4}, {4, u"3", false, 2, 4},
        {3, u"5", false, 0, 0}, {1, u"4", false, 0, 0}, {3, u"4", true, 0, 0},
        {3, u"4", false, 1, 1, {0, 3}, {0, 4}}, {3, u"4", false, 0, 1, {0, 2}, {0, 3}},
        {3, u"4", false, 2, 2, {2500, 2}, {0, 4}},
        // A range that starts on a block's stimulus has it, as one that starts a tick earlier does; one that starts
        // a tick later has none.
        {3, u"4", false, 0, 1, {200, 0}, {0, 1}}, {4, u"4", false, 0, 1, {200, 0}, {0, 1}},
        {3, u"2", false, 0, 1, {200, 0}, {0, 1}}, {4, u"2", false, 0, 1, {200, 0}, {0, 1}},
        {4, u"4", false, 0, 1, {199, 0}, {0, 1}}, {4, u"4", false, 1, 1, {201, 0}, {0, 1}},
        {4, u"2", false, 1, 1, {201, 0}, {0, 1}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << "type " << test.type << ", method " << char(test.method[0]) << ", cleared "
                                        << test.cleared << ", from " << test.start.mRecord << ":"
                                        << test.start.mRecordOffset << " to " << test.end.mRecord << ":"
                                        << test.end.mRecordOffset);
        AnalysedDocument a(recording.document);
        a.SetAnalysisType(test.type);
        SettingsSet& settings = a.doc->Settings();
        settings.Find(SId::kStimulusMode)->FromText(KVO::String(test.method), true);
        settings.Find(SId::kMinStimulusHeightPS)->FromText(KVO::String(u"1"), true); // above the noise
        settings.Find(SId::kStimulusPosition)->FromText(KVO::String(u"100"), true);  // method 2: at tick 200
        const bool stored = test.start != test.end;
        if (stored) {
            StoreRange(settings, test.start, test.end);
        }
        ASSERT_TRUE(a.doc->Analyse(stored, true));
        if (test.cleared) {
            a.doc->ClearAnalysis();
        }
        platform::ComPtr<IAnalysisJob> job;
        ASSERT_EQ(a.doc->QueryInterface(IID_IAnalysisJob, job.OutVoid()), S_OK);
        LONG without = -1;
        LONG blocks = -1;
        EXPECT_EQ(job->CountBlocksWithoutStimulus(&without, &blocks), S_OK);
        EXPECT_EQ(without, test.without);
        EXPECT_EQ(blocks, test.blocks);
    }
}

// A transforming detection: the detector stage holds the source's smoothed slope, which the host evaluates to
// samples, and the detection reads that channel without transforming again; it finds what the detection with its
// own transform finds over the source.
TEST(AnalysisRun, ATransformingDetectionReadsTheSlopeOfTheDetectorStage)
{
    const PeakRecording recording({4000});
    AnalysedDocument a(recording.document, true);
    a.SetAnalysisType(0);
    ILMDetectionSettings* detection = a.doc->Settings().DetectionSettingsObject();
    ASSERT_NE(detection, nullptr);
    ASSERT_EQ(detection->SetText(u"dir=1;sd=1;height=5;interval=0.05;transform=1;smooth=0.01;window=0.5"), S_OK);
    ASSERT_TRUE(a.doc->Analyse(false, true));
    EXPECT_EQ(a.ChannelText(SId::kDetectorStageChannel), u"lmslope( ch1, 0.01 )");
    const std::u16string chain = a.ChannelText(SId::kEventChainChannel);
    const std::string stage = std::to_string(a.doc->Settings().GetLong(SId::kDetectorStageChannel) + 1);
    EXPECT_NE(chain.find(u"lmpeaks( ch" + std::u16string(stage.begin(), stage.end()) + u", 1, 1, 5, 0.05, 0, 0.01,"),
              std::u16string::npos)
        << std::string(chain.begin(), chain.end());

    const auto count = [&](LONG channel) {
        platform::ComPtr<IUnknown> opened;
        EXPECT_EQ(a.source->OpenEnum(0, channel, 0, 0, 0x7FFFFFFF, 0, opened.Out()), S_OK);
        platform::ComPtr<IEnumEventEx> events;
        opened->QueryInterface(IID_IEnumEventEx, events.OutVoid());
        std::vector<std::byte> buffer(16 * 64);
        int total = 0;
        for (int guard = 0; guard < 10000; ++guard) {
            LONG read = 0;
            LONG next = 0;
            const HRESULT step = events->Next(static_cast<ULONG>(buffer.size()), 0x7FFFFFFF, buffer.data(), &read, &next);
            total += read;
            if (step != S_OK) {
                break;
            }
        }
        return total;
    };
    const int reference =
        count(a.source->AddCalculationChannel(u"reference", u"lmpeaks( ch1, 1, 1, 5, 0.05, 1, 0.01, 0.5 )"));
    EXPECT_GT(reference, 0);
    EXPECT_EQ(count(a.doc->Settings().GetLong(SId::kEventChainChannel)), reference);
    EXPECT_FALSE(a.Events().empty());
}

TEST(AnalysisRun, UnstimulatedTypesWriteTheDetectionObjectsTexts)
{
    // The detection object builds both the detector stage (the source as it is) and the detection.
    const PeakRecording recording({3000});
    for (const int type : {0, 2}) {
        SCOPED_TRACE(type);
        AnalysedDocument a(recording.document, true);
        a.SetAnalysisType(type);
        ASSERT_NE(a.doc->Settings().DetectionSettingsObject(), nullptr);
        EXPECT_TRUE(a.doc->Analyse(false, true));
        EXPECT_EQ(a.ChannelText(SId::kDetectorStageChannel), u"ch1");
        const std::u16string chain = a.ChannelText(SId::kEventChainChannel);
        EXPECT_NE(chain.find(u"lmpeaks( ch1,"), std::u16string::npos) << std::string(chain.begin(), chain.end());
        EXPECT_NE(a.ChannelText(SId::kCalcStageChannel).find(u"ch1002"), std::u16string::npos);
    }
}
