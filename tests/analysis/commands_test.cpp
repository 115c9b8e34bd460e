// The document's other menu commands and their update states, analysis while sampling switched by the user, the
// settings command's checks around the dialog, the analyse command's online check, the Tallysheet message and the
// analysis manager's notices, all through the document's message map.
#include "analysisfixture.h"
#include "busfixture.h"

#include "document/docmessages.h"
#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "graph/analysisview/analysisview.h"
#include "host/documentsampler.h"
#include "platform/ui/dialog.h"
#include "platform/ui/input.h"
#include "platform/ui/window.h"
#include "platform/win/msgbox.h"
#include "resources/stringtable.h"
#include "tableview/cxtableviewex.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using CX::Doc::CXDoc;
using CX::Doc::SettingsSet;
namespace Command = CX::Doc::Command;
using namespace CX::Doc::SettingId;

struct CommandState {
    WORD enabled = 0xBEEF;
    std::optional<std::pair<WORD, WORD>> check;
};

CommandState StateOf(CXDoc& doc, WORD command)
{
    auto state = host::CommandState::Create();
    CAF::QueryEnable(doc, CX::Msg::DocId<0>() | command, state.Get());
    return {state->Enabled().value_or(0xBEEF), state->Check()};
}

HRESULT Execute(CXDoc& doc, WORD command) { return CAF::ExecuteCommand(doc, CX::Msg::DocId<0>() | command); }

// Answers every message box with `answer` and keeps what was shown.
struct MessageBoxes {
    explicit MessageBoxes(int answer)
    {
        previous = platform::SetMessageBoxHook([this, answer](const platform::MessageBoxCall& call) {
            shown.push_back(call);
            return answer;
        });
    }
    ~MessageBoxes() { platform::SetMessageBoxHook(previous); }
    std::vector<platform::MessageBoxCall> shown;
    platform::MessageBoxHook previous;
};

std::u16string Text(UINT id)
{
    return KVO::LoadResourceString(KVO::ModuleInstance(), id, false).c_str();
}

struct TwoBlocks {
    PeakRecording recording{{6000, 4000}};
};

struct CommandDocument : TwoBlocks, AnalysedDocument {
    explicit CommandDocument(bool loopmetry = false) : AnalysedDocument(recording.document, loopmetry)
    {
        SetAnalysisType(1);
    }
    std::int32_t Events() const { return doc->Results()->EventCount(); }
    std::int32_t Peaks() const { return static_cast<std::int32_t>(recording.Peaks().size()); }
};

} // namespace

TEST(DocumentCommands, UpdateStatesFollowSamplingAndTheSettings)
{
    CommandDocument a;
    CXDoc& doc = *a.doc;
    for (const WORD always : {Command::kAnalysisView, Command::kTableView, Command::kHelp}) {
        EXPECT_EQ(StateOf(doc, always).enabled, 0xFFFF) << always;
    }
    const struct {
        const char* name;
        bool sampling;
        bool marks;
        bool online;
        bool analysedRange;
    } cases[] = {
        {"all off", false, false, false, false},
        {"marks on", false, true, false, false},
        {"online on, range", false, false, true, true},
        {"while sampling", true, true, true, false},
    };
    const auto sampler = host::DocumentSampler::Create(a.source);
    a.hostDocument->SetSampling(platform::ComPtr<IUnknown>(static_cast<IHostSampling*>(sampler.Get())));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.sampling) {
            sampler->StartSampling(0.0);
        } else {
            sampler->StopSampling();
        }
        doc.sampling = c.sampling;
        doc.Settings().SetBool(kShowEventMarks, c.marks);
        doc.Settings().SetBool(kAnalyseWhileSampling, c.online);
        doc.Settings().SetBool(kHasAnalysedRange, c.analysedRange);
        const CommandState marks = StateOf(doc, Command::kShowMarks);
        EXPECT_EQ(marks.enabled, c.sampling ? 0 : 0xFFFF);
        EXPECT_EQ(marks.check, std::make_pair(WORD(c.marks ? 1 : 0), WORD(3)));
        const CommandState online = StateOf(doc, Command::kOnlineAnalysis);
        EXPECT_EQ(online.enabled, c.sampling ? 0 : 0xFFFF);
        EXPECT_EQ(online.check, std::make_pair(WORD(c.online ? 1 : 0), WORD(3)));
        const CommandState reselect = StateOf(doc, Command::kReselect);
        EXPECT_EQ(reselect.enabled, c.analysedRange ? 0xFFFF : 0);
        EXPECT_FALSE(reselect.check);
    }
    sampler->StopSampling();
    doc.sampling = false;
}

TEST(DocumentCommands, TheViewCommandsAskTheFrameworkToOpenTheirView)
{
    CommandDocument a;
    BusMessages bus;
    EXPECT_EQ(Execute(*a.doc, Command::kAnalysisView), S_OK);
    EXPECT_EQ(Execute(*a.doc, Command::kTableView), S_OK);
    ASSERT_EQ(bus.ids.size(), 2u);
    EXPECT_EQ(bus.ids, (std::vector<DWORD>{CXDoc::kOpenViewMessage, CXDoc::kOpenViewMessage}));
    EXPECT_EQ(static_cast<DWORD>(bus.values[0]), (TypeIdClass<&AnalysisView::kViewFamily, 1>::Get()));
    EXPECT_EQ(static_cast<DWORD>(bus.values[1]), (TypeIdClass<&CXTableViewEx::kViewFamily, 1>::Get()));
}

TEST(DocumentCommands, TheMarksCommandTogglesTheMarksOfTheTypesChannels)
{
    const struct {
        int type;
        std::vector<std::int32_t> channels;
    } cases[] = {
        {0, {kCalcStageChannel}},
        {1, {kEventChainChannel}},
        {2, {kCalcStageChannel}},
        {3, {kEventChainChannel, kCalcStageChannel}},
        {5, {kEventChainChannel}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        CommandDocument a;
        a.SetAnalysisType(c.type);
        CXDoc& doc = *a.doc;
        doc.Settings().SetBool(kShowEventMarks, false);
        const HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        AnalysisHost().Log().Clear();

        EXPECT_EQ(Execute(doc, Command::kShowMarks), S_OK);
        EXPECT_TRUE(doc.Settings().GetBool(kShowEventMarks));
        std::set<LONG> expected;
        for (const std::int32_t id : c.channels) {
            expected.insert(doc.Settings().GetLong(id));
        }
        EXPECT_EQ(a.Channels().Marked(), expected);
        EXPECT_EQ(AnalysisHost().Log().Count("calcchannels", "putmarks"), c.channels.size());
        EXPECT_TRUE(doc.Persistence().dirty);
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW)) << "the cursor is back";

        EXPECT_EQ(Execute(doc, Command::kShowMarks), S_OK);
        EXPECT_FALSE(doc.Settings().GetBool(kShowEventMarks));
        EXPECT_TRUE(a.Channels().Marked().empty());
        SetCursor(before);
    }
}

TEST(DocumentCommands, ReselectSelectsTheStoredRangeOfTheSourceChannel)
{
    CommandDocument a;
    CXDoc& doc = *a.doc;
    doc.Settings().SetBool(kHasAnalysedRange, false);
    AnalysisHost().Log().Clear();
    EXPECT_EQ(Execute(doc, Command::kReselect), S_OK);
    EXPECT_EQ(AnalysisHost().Log().Of("selection").size(), 0u) << "nothing without an analysed range";

    const struct {
        const char* name;
        KVOPosition start;
        KVOPosition end;
        KVOPosition selectedEnd;
    } cases[] = {
        {"stored end", {100, 0}, {2000, 1}, {2000, 1}},
        {"to the end of the data", {5, 1}, {-1, -1}, {4000, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        doc.Settings().SetBool(kHasAnalysedRange, true);
        doc.Settings().SetLong(kRangeStartBlock, c.start.mRecord);
        doc.Settings().SetLong(kRangeStartTick, c.start.mRecordOffset);
        doc.Settings().SetLong(kRangeEndBlock, c.end.mRecord);
        doc.Settings().SetLong(kRangeEndTick, c.end.mRecordOffset);
        a.source->SetSelection({1, 1}, {2, 1});
        EXPECT_EQ(Execute(doc, Command::kReselect), S_OK);
        KVOPosition start{};
        KVOPosition end{};
        a.source->GetSelectionRange(0, &start, &end);
        EXPECT_EQ(start, c.start);
        EXPECT_EQ(end, c.selectedEnd);
        ASSERT_TRUE(a.source->SelectedChannel());
        EXPECT_EQ(a.source->SelectedChannel()->first, 0);
        EXPECT_EQ(a.source->SelectedChannel()->second, std::make_pair(32000.0, -32000.0));
    }
}

TEST(DocumentCommands, TheHelpCommandShowsTheDocumentsHelp)
{
    CommandDocument a;
    host::ApplicationService& application = AnalysisHost().Application();
    const std::size_t before = application.HelpShown().size();
    EXPECT_EQ(Execute(*a.doc, Command::kHelp), S_OK);
    ASSERT_EQ(application.HelpShown().size(), before + 1);
    EXPECT_EQ(application.HelpShown().back(), u"CrestmetricsHelp");
    ASSERT_NE(application.Help().ShownTopic(), nullptr); // the help window shows the file's contents page
    EXPECT_EQ(application.Help().ShownTopic()->title, u"Crestmetrics");
}

TEST(DocumentCommands, ACopyToTheTallysheetThatFailsIsReported)
{
    CommandDocument a;
    MessageBoxes boxes(IDOK);
    auto message = platform::ComPtr<IMessage>::Adopt(CX::Msg::DocMessage::Create(CX::Msg::CopyToTallysheetMessageId()));
    EXPECT_EQ(CAF::DispatchMessage(*a.doc, message.Get()), 1);
    // No table window is open, so the manager cannot copy.
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, Text(StringId::NotEnoughMemory));
    EXPECT_EQ(boxes.shown[0].caption, u"Crestmetrics");
    EXPECT_EQ(boxes.shown[0].type, MB_OK | MB_ICONERROR);
}

TEST(DocumentCommands, AnalysisWhileSamplingStartsWithTheNextBlock)
{
    const struct {
        const char* name;
        bool analysedRange;
        KVOPosition storedEnd;
        int answer;
        bool boxShown;
        bool changed;
        KVOPosition start; // expected afterwards
    } cases[] = {
        {"no analysed range", false, {4000, 1}, IDOK, false, true, {0, 2}},
        {"continuous with the analysis", true, {4000, 1}, IDOK, false, true, {10, 0}},
        {"stored end at the end of the data", true, {-1, -1}, IDOK, false, true, {10, 0}},
        {"discontinuous, accepted", true, {300, 0}, IDOK, true, true, {0, 2}},
        {"discontinuous, cancelled", true, {300, 0}, IDCANCEL, true, false, {10, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CommandDocument a;
        CXDoc& doc = *a.doc;
        SettingsSet& settings = doc.Settings();
        settings.SetBool(kHasAnalysedRange, c.analysedRange);
        settings.SetLong(kRangeStartBlock, 0);
        settings.SetLong(kRangeStartTick, 10);
        settings.SetLong(kRangeEndBlock, c.storedEnd.mRecord);
        settings.SetLong(kRangeEndTick, c.storedEnd.mRecordOffset);
        MessageBoxes boxes(c.answer);

        EXPECT_EQ(Execute(doc, Command::kOnlineAnalysis), S_OK);

        ASSERT_EQ(boxes.shown.size(), c.boxShown ? 1u : 0u);
        if (c.boxShown) {
            EXPECT_EQ(boxes.shown[0].text, Text(StringId::OnlineDiscontinuousExisting));
            EXPECT_EQ(boxes.shown[0].type, MB_OKCANCEL | MB_ICONWARNING);
        }
        EXPECT_EQ(settings.GetBool(kAnalyseWhileSampling), c.changed);
        EXPECT_EQ(settings.GetLong(kRangeStartBlock), c.start.mRecord);
        EXPECT_EQ(settings.GetLong(kRangeStartTick), c.start.mRecordOffset);
        if (c.changed) {
            EXPECT_EQ(settings.GetLong(kRangeEndBlock), -1);
            EXPECT_EQ(settings.GetLong(kRangeEndTick), -1);
            EXPECT_TRUE(doc.Persistence().dirty);
        } else {
            EXPECT_EQ(settings.GetLong(kRangeEndBlock), c.storedEnd.mRecord);
        }
    }
}

TEST(DocumentCommands, TurningAnalysisWhileSamplingOffKeepsWhereTheDataEnds)
{
    CommandDocument a;
    CXDoc& doc = *a.doc;
    EXPECT_TRUE(doc.RunAnalysis());
    doc.SetOnlineAnalysis(true, true);
    ASSERT_TRUE(doc.Settings().GetBool(kAnalyseWhileSampling));
    doc.Settings().SetBool(kHasAnalysedRange, true);
    EXPECT_EQ(Execute(doc, Command::kOnlineAnalysis), S_OK);
    EXPECT_FALSE(doc.Settings().GetBool(kAnalyseWhileSampling));
    EXPECT_EQ(doc.Settings().GetLong(kRangeEndBlock), 1);
    EXPECT_EQ(doc.Settings().GetLong(kRangeEndTick), 4000);
}

TEST(DocumentCommands, AnalysingASelectionWhileSamplingAsksFirst)
{
    const struct {
        const char* name;
        KVOPosition selectionEnd;
        int answer;
        bool boxShown;
        bool analysed;
    } cases[] = {
        {"selection to the end of the data", {4000, 1}, IDOK, false, true},
        {"earlier selection, accepted", {3000, 0}, IDOK, true, true},
        {"earlier selection, cancelled", {3000, 0}, IDCANCEL, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CommandDocument a;
        CXDoc& doc = *a.doc;
        doc.Settings().SetBool(kAnalyseWhileSampling, true);
        doc.Settings().SetBool(kAnalyseSelection, true);
        a.source->SetSelection({0, 0}, c.selectionEnd);
        MessageBoxes boxes(c.answer);
        EXPECT_EQ(doc.RunAnalysis(), c.analysed);
        ASSERT_EQ(boxes.shown.size(), c.boxShown ? 1u : 0u);
        if (c.boxShown) {
            EXPECT_EQ(boxes.shown[0].text, Text(StringId::OnlineDiscontinuousNew));
            EXPECT_EQ(boxes.shown[0].type, MB_OKCANCEL | MB_ICONINFORMATION);
            EXPECT_EQ(doc.Settings().GetBool(kAnalyseWhileSampling), !c.analysed);
        }
        EXPECT_EQ(a.Events() > 0, c.analysed);
    }
}

TEST(DocumentCommands, TheSettingsCommandNeedsLoopmetry)
{
    {
        CommandDocument a(false);
        MessageBoxes boxes(IDOK);
        int opened = 0;
        ui::SetModalHook([&](HWND) { ++opened; });
        EXPECT_EQ(Execute(*a.doc, Command::kSettings), S_OK);
        ui::SetModalHook({});
        EXPECT_EQ(opened, 0);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, u"Crestmetrics requires the Loopmetry standard extension.");
        EXPECT_EQ(boxes.shown[0].type, MB_OK | MB_ICONERROR);
        EXPECT_FALSE(a.doc->Persistence().dirty);
    }
    {
        // Shown over the window of the frame that shows the document.
        CommandDocument a(false);
        const auto frame = host::HostFrame::Create(AnalysisHost().Log(), 640, 480);
        a.hostDocument->SetFrame(platform::ComPtr<IUnknown>(static_cast<IHostFrame*>(frame.Get())));
        MessageBoxes boxes(IDOK);
        EXPECT_EQ(Execute(*a.doc, Command::kSettings), S_OK);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].owner, frame->FrameWindow());
        a.hostDocument->SetFrame({});
    }
}

TEST(DocumentCommands, ClearingWhileAnalysingDuringSamplingWaitsForTheNextBlock)
{
    CommandDocument a;
    CXDoc& doc = *a.doc;
    EXPECT_TRUE(doc.RunAnalysis());
    ASSERT_GT(a.Events(), 0);
    doc.Settings().SetBool(kAnalyseWhileSampling, true);
    doc.ClearCommand();
    EXPECT_EQ(a.Events(), 0);
    EXPECT_EQ(doc.Settings().GetLong(kRangeStartBlock), 2);
    EXPECT_EQ(doc.Settings().GetLong(kRangeStartTick), 0);
    EXPECT_EQ(doc.Settings().GetLong(kRangeEndBlock), -1);
    EXPECT_EQ(doc.Settings().GetLong(kRangeEndTick), -1);
}

TEST(DocumentCommands, TheAnalysisManagersNoticesReachTheClient)
{
    CommandDocument a;
    CXDoc& doc = *a.doc;
    EXPECT_TRUE(doc.RunAnalysis()); // attaches the persistence object
    ASSERT_TRUE(doc.Persistence().attached);
    // The run released the client; it registers again as a host would on activation.
    ASSERT_TRUE(doc.RegisterClient() || doc.Cookie() != CXDoc::kNoCookie);
    AnalysisHost().Log().Clear();
    LONG argument = 9;
    doc.Notify(nullptr, CX::Msg::AnalysisManagerId<7>(), 0, &argument);
    const auto ranges = AnalysisHost().Log().Of("analysismanager");
    ASSERT_EQ(ranges.size(), 1u);
    EXPECT_EQ(ranges[0].operation, "range");
    EXPECT_NE(ranges[0].detail.find(" 9 (0,0)-(1,4000)"), std::string::npos) << ranges[0].detail;

    const std::int32_t events = a.Events();
    doc.Notify(nullptr, CX::Msg::AnalysisManagerId<6>(), 0, nullptr);
    EXPECT_EQ(a.Events(), events) << "re-run";
    // A re-run analyses the stored range again only while the document says it has one (2011).
    for (const bool analysedRange : {true, false}) {
        doc.Settings().SetBool(kHasAnalysedRange, analysedRange);
        a.progress.clear();
        doc.Notify(nullptr, CX::Msg::AnalysisManagerId<6>(), 0, nullptr);
        EXPECT_EQ(a.progress.empty(), !analysedRange) << "re-run with 2011=" << analysedRange;
        EXPECT_EQ(a.Events(), events);
    }
    doc.Notify(nullptr, CX::Msg::AnalysisManagerId<5>(), 0, nullptr);
    EXPECT_EQ(a.Events(), 0) << "stop";
    EXPECT_TRUE(a.Channels().Channels().empty()) << "the calculation channels go with the stop";
}
