// The previews of the detector pages over a host document: the texts they send to the host's calculation channels,
// rebuilding only on change, the ranges of their lanes, and what the document's channels hold after the dialog.
#include "../dialogs/dialogs_fixture.h"

#include "../analysis/analysisfixture.h"
#include "dialogs/detectorpages.h"
#include "dialogs/detectorunstim.h"
#include "dialogs/previewpanes.h"
#include "chartdraw/tracedrawers.h"
#include "host/chartserver.h"
#include "host/previewsampling.h"
#include "host/recording.h"
#include "platform/gdi/image.h"
#include "platform/ui/render.h"
#include "sdk/chartserver.h"
#include "sdk/sampleenum.h"
#include "frame/eventiter.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {
using namespace DialogsTest;
using namespace CX;
using CX::Dlg::SettingsDlg;
namespace SettingId = CX::Doc::SettingId;

std::string ExamplePath(const char* name) { return std::string(TEST_DATA_DIR) + "/../../examples/" + name; }

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

// The analysis document over a bundled recording, whose host data source also offers what a chart draws with: the
// chart server (the calculation channels' events evaluated by the host) and the preview data's time base. The host
// document has the Loopmetry extension, without which the settings command opens no dialog.
struct PreviewDocument {
    explicit PreviewDocument(const char* example)
        : recording(host::ReadRecordingFile(ExamplePath(example))), analysed(recording, true)
    {
        server = host::ChartServer::Create(recording);
        host::DataSource* source = analysed.source.Get();
        server->SetCalculatedEvents([source](LONG channel, LONG record, IUnknown** out) {
            return source->OpenEnum(0, channel, 0, record, 0x7FFFFFFF, 0, out);
        });
        source->Offer(IID_IChartDataSource, platform::ComPtr<IUnknown>(static_cast<IChartDataSource*>(server.Get())));
        preview = host::PreviewData::Create(recording->TickPeriod(0), recording->Length(0, 0));
        source->Offer(IID_IPreviewData, platform::ComPtr<IUnknown>(static_cast<IPreviewData*>(preview.Get())));
        Doc::SettingsSet& settings = analysed.doc->Settings();
        settings.SetLong(SettingId::kSourceChannel, 0);
        if (auto* tab = dynamic_cast<Doc::CXSettingInt*>(settings.Find(SettingId::kFirstSettingsTab))) {
            tab->SetValue(0);
        }
    }
    Doc::SettingsSet& Settings() { return analysed.doc->Settings(); }
    std::u16string ChannelText(std::int32_t id) { return analysed.ChannelText(id); }
    // The events that the host evaluates for the text of the event-chain channel, in block 0.
    int EventsOfChannel(std::int32_t id)
    {
        platform::ComPtr<IUnknown> opened;
        const HRESULT hr = analysed.source->OpenEnum(0, Settings().GetLong(id), 0, 0, 0x7FFFFFFF, 0, opened.Out());
        if (hr != S_OK) {
            ADD_FAILURE() << std::hex << hr;
            return -1;
        }
        platform::ComPtr<IEnumEventEx> events;
        opened->QueryInterface(IID_IEnumEventEx, events.OutVoid());
        LONG size = 0;
        events->GetEventSize(&size);
        std::vector<std::byte> buffer(static_cast<std::size_t>(std::max<LONG>(size, 1)) * 64);
        int count = 0;
        for (int guard = 0; guard < 100000; ++guard) {
            LONG read = 0;
            LONG next = 0;
            const HRESULT step = events->Next(static_cast<ULONG>(buffer.size()), 0x7FFFFFFF, buffer.data(), &read, &next);
            count += read;
            if (step != S_OK) {
                break;
            }
        }
        return count;
    }
    // Runs the document's settings command; `drive` gets the dialog once it shows.
    bool Run(const std::function<void(SettingsDlg&)>& drive)
    {
        bool opened = false;
        ui::SetModalHook([&](HWND dialog) {
            auto* settingsDialog = dynamic_cast<SettingsDlg*>(owl::TWindow::GetWindowPtr(dialog));
            if (!settingsDialog) {
                ui::Click(GetDlgItem(dialog, IDCANCEL));
                return;
            }
            opened = true;
            drive(*settingsDialog);
        });
        const bool accepted = analysed.doc->RunSettingsDialog(0);
        ui::SetModalHook({});
        EXPECT_TRUE(opened) << "the settings command opened no dialog";
        return accepted;
    }

    // The host draws the record at the pane's scale, its start where the pane has it.
    void ShowAtThePanesScale(ChartDraw::PreviewDataWinWButtons& window)
    {
        const KVORationalImp scale = window.GetCompression();
        server->SetView(0, 0, static_cast<double>(scale.numerator) / static_cast<double>(scale.denominator),
                        static_cast<LONG>(window.TickToX(0)));
        // The pane draws everything again.
        window.ChartDraw::DataPane::Invalidate(0xFF000000u);
        window.InvalidateAll(false);
        ui::pump();
    }

    // The same on the cardiac type's detector page and its preview.
    bool RunOnCardiacPage(const std::function<void(SettingsDlg&, Dlg::Sub_DetectorCAP&, CXPreview_Stimulated&)>& drive)
    {
        analysed.SetAnalysisType(1);
        return Run([&](SettingsDlg& dialog) {
            auto* page = dynamic_cast<Dlg::Sub_DetectorCAP*>(dialog.Page());
            ASSERT_NE(nullptr, page);
            ASSERT_NE(nullptr, page->Preview());
            drive(dialog, *page, *page->Preview());
        });
    }

    std::shared_ptr<host::Document> recording;
    AnalysedDocument analysed;
    platform::ComPtr<host::ChartServer> server;
    platform::ComPtr<host::PreviewData> preview;
};

std::size_t Pushes()
{
    std::size_t count = 0;
    for (const auto& call : AnalysisHost().Log().Of("calcchannels")) {
        count += call.operation == "SetCalculation" ? 1 : 0;
    }
    return count;
}

class PreviewPanesTest : public DialogFixture {};

TEST_F(PreviewPanesTest, TheStimulatedPreviewSendsItsTextsAndRebuildsOnlyOnChange)
{
    PreviewDocument document("cardiac.txt");
    document.RunOnCardiacPage([&](SettingsDlg& dialog, Dlg::Sub_DetectorCAP&, CXPreview_Stimulated& shown) {
        CXPreview_Stimulated* preview = &shown;
        EXPECT_TRUE(preview->SourceHasUnits());
        EXPECT_EQ(1, preview->Builds());
        EXPECT_EQ(u"Ch1", std::u16string(preview->State().traceText.c_str()));
        EXPECT_EQ(u"mV", preview->State().sourceUnit.Text());
        EXPECT_EQ(dialog.Settings().GetLong(SettingId::kEventChainChannel), preview->EventPair().channel);
        EXPECT_EQ(4, preview->EventPair().kind);
        // The host's channels hold what the preview shows.
        EXPECT_EQ(std::u16string(preview->State().traceText.c_str()), document.ChannelText(SettingId::kDetectorStageChannel));
        const std::u16string events(preview->State().eventText.c_str());
        EXPECT_NE(std::u16string::npos, events.find(u"cappeakdet")) << Narrow(events);
        EXPECT_EQ(events, document.ChannelText(SettingId::kEventChainChannel));

        // Nothing changed: nothing is sent or redrawn.
        const std::size_t pushes = Pushes();
        preview->SetUpDrawers(false);
        EXPECT_EQ(1, preview->Builds());
        EXPECT_EQ(pushes, Pushes());
        Cancel(dialog);
    });
}

TEST_F(PreviewPanesTest, ChangingTheThresholdRedrawsTheDetectedEvents)
{
    PreviewDocument document("cardiac.txt");
    document.RunOnCardiacPage([&](SettingsDlg& dialog, Dlg::Sub_DetectorCAP& cardiacPage, CXPreview_Stimulated& shown) {
        Dlg::Sub_DetectorCAP* page = &cardiacPage;
        CXPreview_Stimulated* preview = &shown;
        HWND window = preview->Window()->GetHandle();
        ASSERT_NE(nullptr, window);
        // The host draws the record at the pane's scale: the whole block across the preview.
        const KVORationalImp scale = preview->Window()->GetCompression();
        ASSERT_GT(scale.numerator, scale.denominator);
        document.server->SetView(0, 0, static_cast<double>(scale.numerator) / static_cast<double>(scale.denominator),
                                 static_cast<LONG>(preview->Window()->TickToX(0)));
        // The width measured from the minimum peak height: the plain peak detector over the source.
        ui::Click(GetDlgItem(page->GetHandle(), 1017));
        Enter(page->GetHandle(), 1007, u"90"); // mV above the baseline
        ui::advance(1000);
        ui::pump();
        const int low = document.EventsOfChannel(SettingId::kEventChainChannel);
        const std::u16string lowText(preview->State().eventText.c_str());
        const gdi::Image before = ui::RenderWindow(page->GetHandle());

        Enter(page->GetHandle(), 1007, u"100");
        EXPECT_EQ(lowText, std::u16string(preview->State().eventText.c_str())); // a second after the last key
        ui::advance(1000);
        ui::pump();
        const int high = document.EventsOfChannel(SettingId::kEventChainChannel);
        EXPECT_NE(lowText, std::u16string(preview->State().eventText.c_str()));
        // Block 0 holds five beats 104, 106, 93, 93 and 103 mV above the baseline: 90 finds them all, 100 three.
        EXPECT_EQ(5, low) << Narrow(lowText);
        EXPECT_EQ(3, high);
        const gdi::Image after = ui::RenderWindow(page->GetHandle());

        const gdi::GoldenCheck first = gdi::CheckGolden(before, GoldenPath("preview_threshold_low.png"));
        EXPECT_TRUE(first.ok) << first.message;
        const gdi::GoldenCheck second = gdi::CheckGolden(after, GoldenPath("preview_threshold_high.png"));
        EXPECT_TRUE(second.ok) << second.message;
        Cancel(dialog);
    });
}

// The lane follows the visible data when the channel gives no range: the beats (about 100 mV from the resting
// level to the peak) span the lane, instead of a flat line at the lane's edge.
TEST_F(PreviewPanesTest, TheTraceSpansTheLaneItWasScaledTo)
{
    PreviewDocument document("cardiac.txt");
    document.RunOnCardiacPage([&](SettingsDlg& dialog, Dlg::Sub_DetectorCAP&, CXPreview_Stimulated& preview) {
        ChartDraw::PreviewDataWinWButtons* window = preview.Window();
        ASSERT_NE(nullptr, window->GetHandle());
        ASSERT_GT(window->LaneCount(), 0u);
        document.ShowAtThePanesScale(*window);
        const gdi::Image picture = ui::RenderWindow(window->GetHandle());
        int top = picture.height;
        int bottom = -1;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                if (picture.at(x, y) == RGB(255, 0, 128)) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        const RECT lane = window->Lane(0)->rect;
        ASSERT_GE(bottom, top) << "no trace drawn";
        EXPECT_GE(bottom - top + 1, (lane.bottom - lane.top) * 3 / 4) << top << ".." << bottom;
        Cancel(dialog);
    });
}

// Each detector page as it opens over the recording: the trace spans its lane, the time scale is labelled and the
// control row shows under the data; no row of the preview window is left unpainted (black).
TEST_F(PreviewPanesTest, EachDetectorPageWithItsPreviewAsAPicture)
{
    for (const int type : {0, 1, 3, 4}) {
        SCOPED_TRACE(type);
        PreviewDocument document("cardiac.txt");
        document.analysed.SetAnalysisType(type);
        document.Run([&](SettingsDlg& dialog) {
            ChartDraw::PreviewDataWinWButtons* window = nullptr;
            if (auto* unstimulated = dynamic_cast<Dlg::Sub_DetectorUnStim*>(dialog.Page())) {
                window = unstimulated->Preview()->Window();
            } else if (auto* page = dynamic_cast<Dlg::Sub_DetectorBase*>(dialog.Page())) {
                window = page->Preview()->Window();
            }
            ASSERT_NE(nullptr, window);
            ASSERT_NE(nullptr, window->GetHandle());
            document.ShowAtThePanesScale(*window);
            const gdi::Image preview = ui::RenderWindow(window->GetHandle());
            for (int y = 0; y < preview.height; ++y) {
                bool black = true;
                for (int x = 0; x < preview.width && black; ++x) {
                    black = preview.at(x, y) == RGB(0, 0, 0);
                }
                EXPECT_FALSE(black) << "row " << y << " of the preview is unpainted";
            }
            const gdi::Image picture = ui::RenderWindow(dialog.Page()->GetHandle());
            const std::string name = "detector_page_" + std::to_string(type) + ".png";
            const gdi::GoldenCheck check = gdi::CheckGolden(picture, GoldenPath(name));
            EXPECT_TRUE(check.ok) << check.message;
            Cancel(dialog);
        });
    }
}

TEST_F(PreviewPanesTest, CancelLeavesTheDocumentsSettingsAndCalculationChannelsAsTheyWere)
{
    PreviewDocument document("cardiac.txt");
    document.analysed.SetAnalysisType(1);
    document.analysed.doc->RunAnalysis();
    const double height = document.Settings().GetDouble(SettingId::kMinPeakHeight);
    const std::u16string stage = document.ChannelText(SettingId::kDetectorStageChannel);
    const std::u16string chain = document.ChannelText(SettingId::kEventChainChannel);
    const std::u16string calculation = document.ChannelText(SettingId::kCalcStageChannel);
    ASSERT_NE(u"<none>", chain);

    EXPECT_FALSE(document.Run([&](SettingsDlg& dialog) {
        Enter(dialog.Page()->GetHandle(), 1007, u"25");
        ui::advance(1000);
        ui::pump();
        // The preview wrote its own texts into the document's channels.
        EXPECT_NE(chain, document.ChannelText(SettingId::kEventChainChannel));
        Cancel(dialog);
    }));
    EXPECT_DOUBLE_EQ(height, document.Settings().GetDouble(SettingId::kMinPeakHeight));
    EXPECT_EQ(stage, document.ChannelText(SettingId::kDetectorStageChannel));
    EXPECT_EQ(chain, document.ChannelText(SettingId::kEventChainChannel));
    EXPECT_EQ(calculation, document.ChannelText(SettingId::kCalcStageChannel));
}

TEST_F(PreviewPanesTest, TheUnstimulatedPreviewSendsTheDetectionOverTheSourceToken)
{
    PreviewDocument document("cardiac.txt");
    document.analysed.SetAnalysisType(0);
    document.analysed.doc->RunAnalysis();
    const std::u16string chain = document.ChannelText(SettingId::kEventChainChannel);
    document.Run([&](SettingsDlg& dialog) {
        auto* page = dynamic_cast<Dlg::Sub_DetectorUnStim*>(dialog.Page());
        ASSERT_NE(nullptr, page);
        CXPreview_LM* preview = page->Preview();
        const int builds = preview->Builds();
        EXPECT_GE(builds, 1);
        EXPECT_EQ(u"ch1", std::u16string(preview->State().traceText.c_str()));
        const std::u16string events(preview->State().eventText.c_str());
        EXPECT_EQ(0u, events.rfind(u"pcc( ", 0)) << Narrow(events);
        EXPECT_EQ(events, document.ChannelText(SettingId::kEventChainChannel));
        EXPECT_EQ(u"ch1", document.ChannelText(SettingId::kDetectorStageChannel));
        const std::size_t pushes = Pushes();
        preview->SetUpDrawers(false);
        EXPECT_EQ(pushes, Pushes());
        // A forced rebuild sends again.
        preview->SetUpDrawers(true);
        EXPECT_EQ(builds + 1, preview->Builds());
        EXPECT_EQ(pushes + 2, Pushes());
        Cancel(dialog);
    });
    EXPECT_EQ(chain, document.ChannelText(SettingId::kEventChainChannel));
}

// With a transforming detection the preview's trace channel holds the source's smoothed slope, which the host
// evaluates to samples, and the second lane draws those samples.
TEST_F(PreviewPanesTest, TheUnstimulatedPreviewDrawsTheTransformInItsSecondLane)
{
    PreviewDocument document("cardiac.txt");
    host::DataSource* source = document.analysed.source.Get();
    document.server->SetCalculatedSamples([source](LONG channel, LONG record) {
        return source->CalculatedSamples(channel, record);
    });
    document.analysed.SetAnalysisType(0);
    ILMDetectionSettings* detection = document.Settings().DetectionSettingsObject();
    ASSERT_NE(nullptr, detection);
    ASSERT_EQ(S_OK, detection->SetText(u"dir=1;sd=1;height=5;interval=0.05;transform=1;smooth=0.002;window=0.5"));
    ASSERT_EQ(document.server->CalculatedPointSources(), 0);
    document.Run([&](SettingsDlg& dialog) {
        auto* page = dynamic_cast<Dlg::Sub_DetectorUnStim*>(dialog.Page());
        ASSERT_NE(nullptr, page);
        CXPreview_LM* preview = page->Preview();
        EXPECT_EQ(u"lmslope( ch1, 0.002 )", std::u16string(preview->State().traceText.c_str()));
        const LONG trace = document.Settings().GetLong(SettingId::kDetectorStageChannel);
        const auto slope = source->CalculatedSamples(trace, 0);
        ASSERT_TRUE(slope);
        EXPECT_EQ(static_cast<LONG>(slope->size()), document.recording->Length(0, 0));
        EXPECT_TRUE(std::any_of(slope->begin(), slope->end(), [](float v) { return std::isfinite(v) && v != 0.0f; }));
        ui::pump();
        ui::RenderWindow(page->GetHandle());
        EXPECT_GT(document.server->CalculatedPointSources(), 0) << "the second lane draws the trace channel";
        Cancel(dialog);
    });
}

// The view record that the customise dialog gets carries the ranges of the preview's lanes, read from its data.
TEST_F(PreviewPanesTest, TheCustomiseViewRecordCarriesThePreviewsDataRange)
{
    PreviewDocument document("cardiac.txt");
    document.analysed.SetAnalysisType(0);
    document.Run([&](SettingsDlg& dialog) {
        auto* page = dynamic_cast<Dlg::Sub_DetectorUnStim*>(dialog.Page());
        ASSERT_NE(nullptr, page);
        ChartDraw::PreviewDataWinWButtons* window = page->Preview()->Window();
        ASSERT_NE(nullptr, window);
        document.ShowAtThePanesScale(*window);
        double lower = DBL_MAX;
        double upper = -DBL_MAX;
        ASSERT_EQ(S_OK, window->GetTraceRange(1, &lower, &upper));
        ASSERT_LT(lower, upper) << "the preview shows no data";
        const Dlg::ChartViewRecord view = page->CustomizeViewRecord();
        EXPECT_EQ(lower, view.valueLower);
        EXPECT_EQ(upper, view.valueUpper);
        Cancel(dialog);
    });
}

// A site whose channel has, or has not, a value range.
class RangeSite : public TestSite {
public:
    IUnknown* HostDocument() override { return hostDocument; }
    IUnknown* hostDocument = nullptr;
    bool ChannelValueRange(int, std::int32_t, double& lower, double& upper) override
    {
        if (!range) {
            return false;
        }
        lower = range->first;
        upper = range->second;
        return true;
    }
    std::optional<std::pair<double, double>> range;
};

TEST_F(PreviewPanesTest, AChannelWithoutARangeAutoscalesTheFirstLane)
{
    PreviewDocument document("cardiac.txt");
    RangeSite site;
    site.units[0] = {u"V", u'm'};
    site.hostDocument = document.analysed.hostDocument->AsUnknown();
    Doc::SettingsSet settings(document.Settings());
    if (auto* type = dynamic_cast<Doc::CXSettingInt*>(settings.Find(SettingId::kAnalysisType))) {
        type->SetValue(1);
    }
    ui::SetModalHook([&](HWND dialog) {
        auto* settingsDialog = dynamic_cast<SettingsDlg*>(owl::TWindow::GetWindowPtr(dialog));
        ASSERT_NE(nullptr, settingsDialog);
        auto* page = dynamic_cast<Dlg::Sub_DetectorCAP*>(settingsDialog->Page());
        ASSERT_NE(nullptr, page);
        ASSERT_NE(nullptr, page->Preview());
        ChartDraw::PreviewDataWinWButtons* window = page->Preview()->Window();
        ASSERT_GT(window->LaneCount(), 0u);
        std::vector<LONG> autoscaled;
        window->onAutoscale = [&](const LONG*, LONG lane) { autoscaled.push_back(lane); };
        struct Case {
            std::optional<std::pair<double, double>> range;
            std::vector<LONG> lanes;
        } cases[] = {
            // The second lane takes the data range of the first lane's trace, so only a first lane without a
            // channel range autoscales.
            {std::nullopt, {1}},
            {std::make_pair(-90.0, 40.0), {}},
        };
        for (const Case& c : cases) {
            autoscaled.clear();
            site.range = c.range;
            page->ResetPreviewRange();
            EXPECT_EQ(c.lanes, autoscaled);
        }
        Cancel(*settingsDialog);
    });
    CX::Dlg::RunSettingsDialog(settings, nullptr, site, 0);
    ui::SetModalHook({});
}

TEST(PreviewMappers, TheTransformedTracesMapperHoldsTheDetectionSettings)
{
    platform::ComPtr<ILMDocExtension> extension(new host::LMDocExtension(nullptr));
    platform::ComPtr<ILMDetectionSettings> detection;
    ASSERT_EQ(S_OK, extension->CreateSettings(detection.Out()));
    const ULONG held = detection->AddRef() - 1;
    detection->Release();
    {
        PPPNUN mapper(0, detection.Get());
        EXPECT_EQ(held + 2, detection->AddRef());
        detection->Release();
        KVO::String unit(u"mV");
        IKVOString* mapped = nullptr;
        LONG extra = 0;
        const auto given = platform::ComPtr<IKVOString>::Adopt(unit.GetInterface());
        ASSERT_EQ(S_OK, mapper.MapUnit(&mapped, given.Get(), 1, &extra));
        EXPECT_NE(nullptr, mapped);
        KVO::String text;
        text.AttachInterface(mapped);
        EXPECT_NE(u"?", std::u16string(text.c_str()));
    }
    EXPECT_EQ(held + 1, detection->AddRef());
    detection->Release();

    PPPNUN none(0, nullptr);
    IKVOString* mapped = nullptr;
    KVO::String unit(u"mV");
    const auto given = platform::ComPtr<IKVOString>::Adopt(unit.GetInterface());
    ASSERT_EQ(S_OK, none.MapUnit(&mapped, given.Get(), 1, nullptr));
    KVO::String text;
    text.AttachInterface(mapped);
    EXPECT_EQ(u"?", std::u16string(text.c_str()));
}

TEST(PreviewMappers, TheViewRecordKeepsTheChartsScaleForAZeroDenominator)
{
    struct Case {
        std::int64_t numerator;
        std::int64_t denominator;
        double expected;
    } cases[] = {{10, 1, 10.0}, {1, 4, 0.25}, {7, 0, 2.5}, {0, 0, 2.5}};
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(c.expected, ViewTimeScale(c.numerator, c.denominator, 2.5)) << c.numerator << "/" << c.denominator;
    }
}

} // namespace
