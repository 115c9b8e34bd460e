// The document's services for its views: attaching the two views, refreshing them after an analysis, making an
// event current (table row, chart scrolled, comment shown), the chart's comment notices and help topics.
#include "analysisfixture.h"
#include "busfixture.h"

#include "foundation/moduleinstance.h"
#include "frame/chartcomment.h"
#include "frame/eventcomment.h"
#include "graph/analysisview/analysisview.h"
#include "host/documentsampler.h"
#include "host/chartview.h"
#include "tableview/cxtableviewex.h"

#include <gtest/gtest.h>

namespace {

using CX::Doc::CXDoc;
using namespace CX::Doc::SettingId;

owl::TModule& ViewModule()
{
    static owl::TModule module(nullptr, KVO::ModuleInstance());
    return module;
}

class CountingAnalysisView final : public AnalysisView {
public:
    CountingAnalysisView() : AnalysisView(nullptr, nullptr, nullptr, &ViewModule(), 0) {}
    void Refresh() override { ++refreshed; }
    int refreshed = 0;
};

class CountingTableView final : public CXTableViewEx, public CX::Doc::EventRowSelection {
public:
    CountingTableView() : CXTableViewEx(nullptr, nullptr, nullptr, &ViewModule(), 0) {}
    void Refresh() override { ++refreshed; }
    void SelectEventRow(std::int32_t index) override { rows.push_back(index); }
    int refreshed = 0;
    std::vector<std::int32_t> rows;
};

// A view of neither kind.
class OtherView final : public CXViewBase {
public:
    OtherView() : CXViewBase(nullptr, nullptr, nullptr, u"other", &ViewModule(), 0) {}
    KVO::String CopyCommandText() override { return {}; }
    KVO::String PrintCommandText() override { return {}; }
    void Refresh() override { ++refreshed; }
    KVO::String Title() override { return {}; }
    void DrawInto(HDC, HDC, const RECT&) override {}
    int refreshed = 0;
};

struct TwoBlocksOfPeaks {
    PeakRecording recording{{6000, 4000}};
};

// Two blocks of peaks, analysed as type 1: the events are the peaks.
struct ViewedDocument : TwoBlocksOfPeaks, AnalysedDocument {
    ViewedDocument() : AnalysedDocument(recording.document)
    {
        SetAnalysisType(1);
        EXPECT_TRUE(doc->RunAnalysis());
    }
};

} // namespace

TEST(DocumentViews, OnlyTheTwoViewKindsAttachAndEachIsRefreshedWhenItDoes)
{
    ViewedDocument fixture;
    CXDoc& doc = *fixture.doc;
    CountingAnalysisView analysis;
    CountingTableView table;
    OtherView other;

    doc.AttachView(&other);
    doc.AttachView(nullptr);
    EXPECT_EQ(other.refreshed, 0);
    EXPECT_EQ(doc.AnalysisViewWindow(), nullptr);
    EXPECT_EQ(doc.TableViewWindow(), nullptr);

    doc.AttachView(&analysis);
    EXPECT_EQ(analysis.refreshed, 1);
    EXPECT_EQ(doc.AnalysisViewWindow(), &analysis);
    EXPECT_EQ(doc.TableViewWindow(), nullptr);
    doc.AttachView(&table);
    EXPECT_EQ(table.refreshed, 1);
    EXPECT_EQ(doc.TableViewWindow(), &table);

    // Every analysis and clear tells both views.
    doc.RunAnalysis();
    EXPECT_GT(analysis.refreshed, 1);
    EXPECT_EQ(analysis.refreshed, table.refreshed);

    // A view that goes is never refreshed again; the other stays.
    doc.DetachView(&table);
    EXPECT_EQ(doc.TableViewWindow(), nullptr);
    const int tableBefore = table.refreshed;
    const int analysisBefore = analysis.refreshed;
    doc.NotifyViews();
    EXPECT_EQ(table.refreshed, tableBefore);
    EXPECT_EQ(analysis.refreshed, analysisBefore + 1);
    doc.DetachView(&other); // never attached: nothing changes
    EXPECT_EQ(doc.AnalysisViewWindow(), &analysis);
    doc.DetachView(&analysis);
}

TEST(DocumentViews, SelectingAnEventFollowsItsFlags)
{
    ViewedDocument fixture;
    CXDoc& doc = *fixture.doc;
    const auto peaks = fixture.recording.Peaks();
    ASSERT_EQ(fixture.Events().size(), peaks.size());
    const auto count = static_cast<std::int32_t>(peaks.size());
    CountingAnalysisView analysis;
    CountingTableView table;
    doc.AttachView(&analysis);
    doc.AttachView(&table);
    host::ChartView& chart = fixture.hostDocument->View();
    BusMessages messages;

    struct Case {
        const char* name;
        std::int32_t index;
        DWORD flags;
        bool marksOn;
        bool row;
        bool scrolled;
        bool marked;
    };
    const std::int32_t inSecondBlock = count - 1;
    const Case cases[] = {
        {"nothing but current", 2, 0, true, false, false, false},
        {"row only", 3, CXDoc::kSelectTableRow, true, true, false, false},
        {"scroll", inSecondBlock, CXDoc::kScrollChartToEvent, true, false, true, false},
        {"mark", 1, CXDoc::kMarkEventInChart, true, false, false, true},
        {"mark with popup", 1, CXDoc::kMarkEventInChart | CXDoc::kPopupInChart, true, false, false, true},
        {"mark while marks are off", 1, CXDoc::kMarkEventInChart, false, false, false, false},
        {"all of them", 0, 0xF0000000u, true, true, true, true},
        {"past the last event", count, 0xF0000000u, true, true, false, false},
        {"below the first event", -1, 0xF0000000u, true, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        doc.Settings().SetBool(kShowEventMarks, c.marksOn);
        const int refreshedBefore = analysis.refreshed;
        const std::size_t rowsBefore = table.rows.size();
        const std::size_t shownBefore = chart.Shown().size();
        const std::size_t commentsBefore = messages.comments.size();

        doc.SelectEvent(c.index, c.flags);

        EXPECT_EQ(doc.CurrentEvent(), c.index);
        EXPECT_EQ(analysis.refreshed, refreshedBefore + 1);
        ASSERT_EQ(table.rows.size(), rowsBefore + (c.row ? 1 : 0));
        if (c.row) {
            EXPECT_EQ(table.rows.back(), c.index);
        }
        ASSERT_EQ(chart.Shown().size(), shownBefore + (c.scrolled ? 1 : 0));
        if (c.scrolled) {
            // The stand-in host's clock: (block << 32) + offset.
            const auto [block, tick] = peaks[static_cast<std::size_t>(c.index)];
            const LONGLONG expected = (static_cast<LONGLONG>(block) << 32) + doc.Results()->EventAt(c.index).record.tick;
            EXPECT_NEAR(static_cast<double>(doc.Results()->EventAt(c.index).record.tick), tick, 4);
            EXPECT_EQ(chart.Shown().back(), std::make_pair(expected, DWORD{1}));
        }
        ASSERT_EQ(messages.comments.size(), commentsBefore + (c.marked ? 1 : 0));
        if (c.marked) {
            const bool popup = (c.flags & CXDoc::kPopupInChart) != 0;
            EXPECT_EQ(messages.comments.back().flags, 0x60000000u | (popup ? 0x80000000u : 0u));
            // The comment of the event itself: its number counts from 1 (within the first block, as here).
            const std::string number = std::to_string(c.index + 1);
            EXPECT_EQ(messages.comments.back().text, u"CX: Peak " + std::u16string(number.begin(), number.end()));
        }
    }
    doc.DetachView(&analysis);
    doc.DetachView(&table);
}

TEST(DocumentViews, TheCurrentEventShowsInTheChartWithoutItsPopup)
{
    ViewedDocument fixture;
    CXDoc& doc = *fixture.doc;
    BusMessages messages;
    doc.Settings().SetBool(kShowEventMarks, true);
    doc.SetCurrentEvent(2);
    doc.ShowCurrentEventInChart();
    ASSERT_EQ(messages.comments.size(), 1u);
    EXPECT_EQ(messages.comments[0].flags, 0x60000000u);
    doc.SetCurrentEvent(fixture.doc->Results()->EventCount());
    doc.ShowCurrentEventInChart();
    EXPECT_EQ(messages.comments.size(), 1u);
}

TEST(DocumentViews, CommentNoticesSelectTheEventTheyName)
{
    ViewedDocument fixture;
    CXDoc& doc = *fixture.doc;
    CountingTableView table;
    doc.AttachView(&table);
    const std::int32_t count = doc.Results()->EventCount();
    ASSERT_GT(count, 3);
    const DWORD peakDraw = TypeIdClass<&CX::CXEventDrawGUID, 0>::Get();
    const DWORD spikeDraw = TypeIdClass<&CX::CXEventDrawGUID, 2>::Get();
    const DWORD noDraw = TypeIdClass<&CX::CXEventDrawGUID, 4>::Get();
    const std::u16string past = u"CX: Peak " + [&] {
        const std::string n = std::to_string(count + 1);
        return std::u16string(n.begin(), n.end());
    }();
    const std::u16string last = u"CX: Peak " + [&] {
        const std::string n = std::to_string(count);
        return std::u16string(n.begin(), n.end());
    }();
    const struct {
        std::u16string text;
        DWORD typeId;
        std::int32_t selected; // -1: nothing
    } cases[] = {
        {u"CX: Peak 3", peakDraw, 2},
        {u"CX: Peak 1 stimulus", peakDraw, 0},
        {u"CX: Population Spike 2", spikeDraw, 1},
        {last, peakDraw, count - 1},
        {u"CX: Peak 0", peakDraw, -1},
        {u"CX: Peak -4", peakDraw, -1},
        {past, peakDraw, -1},
        {u"CX: Peak 99999999999999999999", peakDraw, -1},
        {u"CX: Peak", peakDraw, -1},
        {u"Peak 3", peakDraw, -1},
        {u"CX: Peak 3", noDraw, -1},
        {u"CX: Peak 3", TypeIdClass<&GUID_ChartMessages, 0>::Get(), -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        doc.SetCurrentEvent(77);
        table.rows.clear();
        platform::ComPtr<ChartCommentBase> comment(new ChartCommentBase(KVO::String(c.text.c_str()), 0, 0, 0, c.typeId));
        IUnknown* notice = static_cast<IChartCommentEx*>(comment.Get());
        doc.Notify(nullptr, TypeIdClass<&GUID_ChartNoticeFamily, 44>::Get(), 0, &notice);
        if (c.selected < 0) {
            EXPECT_EQ(doc.CurrentEvent(), 77);
            EXPECT_TRUE(table.rows.empty());
        } else {
            EXPECT_EQ(doc.CurrentEvent(), c.selected);
            EXPECT_EQ(table.rows, std::vector<std::int32_t>{c.selected});
        }
    }
    doc.DetachView(&table);
}

TEST(DocumentViews, HelpTopicsGoToTheHostApplication)
{
    ViewedDocument fixture;
    host::ApplicationService& application = AnalysisHost().Application();
    const std::size_t before = application.HelpShown().size();
    EXPECT_EQ(fixture.doc->ShowHelpTopic(u"cx_tableview"), S_OK);
    EXPECT_EQ(fixture.doc->ShowHelpTopic(nullptr), S_OK);
    ASSERT_EQ(application.HelpShown().size(), before + 2);
    EXPECT_EQ(application.HelpShown()[before], u"CrestmetricsHelp#cx_tableview");
    EXPECT_EQ(application.HelpShown()[before + 1], u"CrestmetricsHelp");
    // A topic the help file lacks is refused and the help window keeps what it showed.
    EXPECT_EQ(fixture.doc->ShowHelpTopic(u"no_such_topic"), E_INVALIDARG);
    EXPECT_EQ(application.Help().Shown(), std::optional<std::u16string>(u"CrestmetricsHelp"));
}

namespace {

// A host document that leads to one analysis document, as a host that answers for its extensions' documents does.
class LeadingHostDocument final : public IHostDocument {
public:
    explicit LeadingHostDocument(CXDoc& doc) : doc_(doc) {}
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (iid == CX::Doc::IID_ICXDocInterface) {
            return doc_.QueryInterface(iid, out);
        }
        if (iid == IID_IUnknown || iid == IID_IHostDocument) {
            *out = static_cast<IHostDocument*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetIdentity(DWORD* identity) override
    {
        *identity = 1;
        return S_OK;
    }
    HRESULT GetViewName(IKVOString**) override { return E_NOTIMPL; }
    HRESULT AttachView(IDocView2*) override { return S_OK; }
    HRESULT DetachView(IDocView2*) override { return S_OK; }

private:
    CXDoc& doc_;
};

class DocumentAnalysisView final : public AnalysisView {
public:
    explicit DocumentAnalysisView(IHostDocument* document) : AnalysisView(nullptr, document, nullptr, &ViewModule(), 0)
    {
    }
    void Refresh() override {}
};

} // namespace

TEST(DocumentViews, AViewThatGoesIsForgotten)
{
    ViewedDocument fixture;
    CXDoc& doc = *fixture.doc;
    LeadingHostDocument hostDocument(doc);
    {
        DocumentAnalysisView view(&hostDocument);
        ASSERT_EQ(view.Document(), &doc);
        doc.AttachView(&view);
        ASSERT_EQ(doc.AnalysisViewWindow(), &view);
    }
    EXPECT_EQ(doc.AnalysisViewWindow(), nullptr);
    doc.NotifyViews(); // nothing is refreshed that is gone
}

TEST(DocumentViews, AnalysisWhileSamplingShowsEachNewEventInBothViews)
{
    const PeakRecording recording({6000, 4000});
    AnalysedDocument a(host::Document::Create());
    const auto sampler = host::DocumentSampler::Create(a.source);
    sampler->SetRecording(recording.document, 250);
    a.hostDocument->SetSampling(platform::ComPtr<IUnknown>(static_cast<IHostSampling*>(sampler.Get())));
    a.doc->Settings().SetBool(kAnalyseWhileSampling, true);
    a.doc->UpdateOnlineSubscription();
    a.SetAnalysisType(1);
    CountingAnalysisView analysis;
    CountingTableView table;
    a.doc->AttachView(&analysis);
    a.doc->AttachView(&table);
    analysis.refreshed = table.refreshed = 0;

    sampler->Start();
    EXPECT_EQ(analysis.refreshed, 1) << "sampling starts";
    EXPECT_EQ(table.refreshed, 0);
    while (sampler->BlocksLeft() > 0) {
        ASSERT_TRUE(sampler->BeginBlock());
        while (sampler->Step() > 0) {
        }
        ASSERT_TRUE(sampler->EndBlock());
    }
    ASSERT_TRUE(sampler->Stop());
    const auto events = static_cast<int>(a.Events().size());
    ASSERT_EQ(events, static_cast<int>(recording.Peaks().size()));
    // Each step that found events refreshes both; a step without one refreshes neither.
    EXPECT_GE(table.refreshed, 2);
    EXPECT_LE(table.refreshed, events);
    EXPECT_GE(analysis.refreshed, 1 + table.refreshed);
    a.doc->DetachView(&analysis);
    a.doc->DetachView(&table);
}

