// The document's settings command over a bundled recording: what the dialog learns of the host document (channels,
// names, units, value range, the chart's selection and time scale, help, its placement and parent window), the
// refusal of the module's own channel calculation as a source, and the previews' sampling when their page closes.
#include "../dialogs/dialogs_fixture.h"

#include "../analysis/analysisfixture.h"
#include "controls/errorprovider.h"
#include "dialogs/detectorpages.h"
#include "document/chancalc.h"
#include "dialogs/previewpanes.h"
#include "frame/channeltoken.h"
#include "frame/classlist.h"
#include "host/channelcalchost.h"
#include "host/chartserver.h"
#include "host/docframework.h"
#include "host/previewsampling.h"
#include "host/recording.h"
#include "sdk/calcclass.h"
#include "sdk/chartserver.h"
#include "platform/gdi/image.h"
#include "platform/ui/render.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
using namespace DialogsTest;
using namespace CX;
using CX::Dlg::SettingsDlg;
using owl::TListBox;
namespace SettingId = CX::Doc::SettingId;

ICalculationClass* ChannelCalculationClass()
{
    for (CAFClassObject* link = CAFClassObject::CalculationListHead(); link; link = link->Next()) {
        ICalculationClass* found = nullptr;
        if (SUCCEEDED(link->GetClassObjectInterface()->QueryInterface(IID_ICalculationClass,
                                                                      reinterpret_cast<void**>(&found)))) {
            return found; // static: counts nothing
        }
    }
    return nullptr;
}

// The cardiac example as a host document that shows in a frame, draws its channels for previews and samples for
// them; the analysis type is the cardiac one, so the first page shows a preview.
struct CardiacDocument {
    CardiacDocument()
        : recording(host::ReadRecordingFile(std::string(TEST_DATA_DIR) + "/../../examples/cardiac.txt")),
          analysed(recording, true)
    {
        server = host::ChartServer::Create(recording);
        host::DataSource* source = analysed.source.Get();
        server->SetCalculatedEvents([source](LONG channel, LONG record, IUnknown** out) {
            return source->OpenEnum(0, channel, 0, record, 0x7FFFFFFF, 0, out);
        });
        source->Offer(IID_IChartDataSource, platform::ComPtr<IUnknown>(static_cast<IChartDataSource*>(server.Get())));
        data = host::PreviewData::Create(recording->TickPeriod(0), recording->Length(0, 0));
        source->Offer(IID_IPreviewData, platform::ComPtr<IUnknown>(static_cast<IPreviewData*>(data.Get())));
        previews = host::PreviewDocument::Create();
        previews->sampling = host::PreviewSamplingControl::Create(1);
        analysed.hostDocument->SetPreviewDocument(
            platform::ComPtr<IUnknown>(static_cast<IPreviewDocument*>(previews.Get())));
        frame = host::HostFrame::Create(AnalysisHost().Log(), 640, 480);
        analysed.hostDocument->SetFrame(platform::ComPtr<IUnknown>(static_cast<IHostFrame*>(frame.Get())));
        analysed.SetAnalysisType(1);
        if (auto* tab = dynamic_cast<Doc::CXSettingInt*>(Settings().Find(SettingId::kFirstSettingsTab))) {
            tab->SetValue(0);
        }
        Settings().SetBool(SettingId::kAnalyseSelection, false);
    }
    ~CardiacDocument()
    {
        ui::SetModalHook({});
        analysed.hostDocument->SetPreviewDocument({});
        analysed.hostDocument->SetFrame({});
    }
    Doc::SettingsSet& Settings() { return analysed.doc->Settings(); }

    // Runs the document's settings command; `drive` gets the dialog once it shows. Warnings that open meanwhile
    // are counted and closed.
    bool Run(const std::function<void(SettingsDlg&)>& drive, owl::TWindow* parent = nullptr)
    {
        ui::SetModalHook([&](HWND dialog) {
            auto* settingsDialog = dynamic_cast<SettingsDlg*>(owl::TWindow::GetWindowPtr(dialog));
            if (!settingsDialog) {
                ++warnings;
                ui::Click(GetDlgItem(dialog, IDCANCEL));
                return;
            }
            drive(*settingsDialog);
        });
        const bool accepted = analysed.doc->RunSettingsDialog(0, parent);
        ui::SetModalHook({});
        return accepted;
    }

    // The recording's lowest and highest sample of channel 0 over every block.
    std::pair<double, double> SampleRange() const
    {
        double low = std::numeric_limits<double>::max();
        double high = std::numeric_limits<double>::lowest();
        for (int block = 0; block < recording->BlockCount(); ++block) {
            for (const float sample : recording->Samples(block, 0)) {
                low = std::min<double>(low, sample);
                high = std::max<double>(high, sample);
            }
        }
        return {low, high};
    }

    std::shared_ptr<host::Document> recording;
    AnalysedDocument analysed;
    platform::ComPtr<host::ChartServer> server;
    platform::ComPtr<host::PreviewData> data;
    platform::ComPtr<host::PreviewDocument> previews;
    platform::ComPtr<host::HostFrame> frame;
    int warnings = 0;
};

class SettingsCommandTest : public DialogFixture {};

TEST_F(SettingsCommandTest, TheDialogListsTheRecordingsChannelWithItsUnitValueRangeAndTheChartsTimeScale)
{
    CardiacDocument document;
    document.analysed.hostDocument->View().SetTimeScale(20.0);
    document.server->SetView(0, 0, 20.0, 0); // the host draws the channel at the chart's scale
    const auto [low, high] = document.SampleRange();
    ASSERT_LT(low, -0.07); // the resting level, about -80 mV
    ASSERT_GT(high, 0.01); // the peaks
    HWND owner = nullptr;
    document.Run([&](SettingsDlg& dialog) {
        owner = ::GetWindow(dialog.GetHandle(), GW_OWNER);
        ASSERT_EQ(1, dialog.SourceCombo()->GetCount());
        EXPECT_EQ(u"Vm", dialog.SourceCombo()->TListBox::GetString(0));
        EXPECT_EQ(u"V", dialog.SourceUnit().unit);
        EXPECT_EQ(u'm', dialog.SourceUnit().prefix);
        EXPECT_FALSE(IsWindowVisible(dialog.SourceMark()->GetHandle()));
        EXPECT_DOUBLE_EQ(20.0, dialog.View().timeScale);
        EXPECT_DOUBLE_EQ(low, dialog.View().valueLower);
        EXPECT_DOUBLE_EQ(high, dialog.View().valueUpper);

        // The preview shows the chart's scale, its first lane the channel's range.
        auto* page = dynamic_cast<Dlg::Sub_DetectorCAP*>(dialog.Page());
        ASSERT_NE(nullptr, page);
        ASSERT_NE(nullptr, page->Preview());
        ChartDraw::PreviewDataWinWButtons* window = page->Preview()->Window();
        const KVORationalImp scale = window->GetCompression();
        ASSERT_NE(0, scale.denominator);
        EXPECT_DOUBLE_EQ(20.0, static_cast<double>(scale.numerator) / static_cast<double>(scale.denominator));
        ASSERT_GT(window->LaneCount(), 0u);
        double extent[2]{0, 0}; // maximum first, in the source's unit (mV)
        window->Lane(0)->Scale(1)->GetExtent(extent);
        EXPECT_NEAR(high * 1e3, extent[0], 1e-6);
        EXPECT_NEAR(low * 1e3, extent[1], 1e-6);
        // From the resting level to the peaks, the trace spans its lane.
        ui::pump();
        const gdi::Image picture = ui::RenderWindow(window->GetHandle());
        const COLORREF trace = document.previews->colours[0];
        int top = picture.height;
        int bottom = -1;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                if (picture.at(x, y) == trace) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        }
        const RECT lane = window->Lane(0)->rect;
        ASSERT_GE(bottom, top) << "no trace drawn";
        EXPECT_GE(bottom - top + 1, (lane.bottom - lane.top) * 9 / 10) << top << ".." << bottom;

        ui::Click(GetDlgItem(dialog.GetHandle(), 9)); // Help
        Cancel(dialog);
    });
    // Modal to the window of the frame that shows the document.
    EXPECT_EQ(document.frame->FrameWindow(), owner);
    const auto& help = AnalysisHost().Application().HelpShown();
    ASSERT_FALSE(help.empty());
    EXPECT_EQ(u"CrestmetricsHelp#cx_settingsdialog", help.back());
}

// The dialog comes back where the user left it: its placement is the document's.
TEST_F(SettingsCommandTest, TheDialogReopensWhereItWasLeft)
{
    CardiacDocument document;
    RECT moved{};
    document.Run([&](SettingsDlg& dialog) {
        ::SetWindowPos(dialog.GetHandle(), nullptr, 37, 41, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ::GetWindowRect(dialog.GetHandle(), &moved);
        Cancel(dialog);
    });
    EXPECT_TRUE(document.analysed.doc->Persistence().placement1.IsValid());
    RECT reopened{};
    document.Run([&](SettingsDlg& dialog) {
        ::GetWindowRect(dialog.GetHandle(), &reopened);
        Cancel(dialog);
    });
    EXPECT_EQ(moved.left, reopened.left);
    EXPECT_EQ(moved.top, reopened.top);
}

// With a selection the previews start at its start, at a step that fits its length into 400 pixels; without
// one the chart view's own scale holds.
TEST_F(SettingsCommandTest, TheSelectionGivesThePreviewsStartAndStep)
{
    struct Case {
        KVOPosition start;
        KVOPosition end;
        double step;
    } cases[] = {
        {{100, 0}, {1100, 0}, 5.0},    // 2.5 ticks a pixel
        {{2000, 1}, {2400, 1}, 1.0},   // exactly 1
        {{0, 0}, {401, 0}, 2.0},       // just above 1
        {{0, 1}, {400001, 1}, 2000.0}, // beyond 1000
        {{300, 0}, {300, 0}, 7.0},     // no length: the chart view's scale
    };
    for (const Case& c : cases) {
        CardiacDocument document;
        document.analysed.hostDocument->View().SetTimeScale(7.0);
        document.analysed.source->SetSelection(c.start, c.end);
        document.Run([&](SettingsDlg& dialog) {
            EXPECT_DOUBLE_EQ(c.step, dialog.View().timeScale) << c.end.mRecordOffset;
            EXPECT_EQ(c.start.mRecordOffset, dialog.View().selectionStart[0]);
            EXPECT_EQ(c.start.mRecord, dialog.View().selectionStart[1]);
            EXPECT_EQ(c.start.mRecord, dialog.View().block);
            Cancel(dialog);
        });
    }
}

// The detector page places its preview by the mode that the host's data object gives for the selection's block.
TEST_F(SettingsCommandTest, TheDetectorPageAsksTheHostHowToPlaceAPreviewOfTheSelectionsBlock)
{
    CardiacDocument document;
    document.analysed.hostDocument->View().SetTimeScale(7.0);
    document.analysed.source->SetSelection({100, 1}, {1100, 1});
    document.data->placementMode = 2;
    document.Run([&](SettingsDlg& dialog) {
        EXPECT_EQ(1, dialog.View().block);
        Cancel(dialog);
    });
    EXPECT_EQ(document.data->placementBlocks, std::vector<LONG>{1});
}

// A host channel that holds the module's own channel calculation is listed, but refused as the source.
TEST_F(SettingsCommandTest, AChannelHoldingTheModulesChannelCalculationIsRefusedAsTheSource)
{
    CardiacDocument document;
    document.analysed.hostDocument->SetExtensionDocument(document.analysed.document.Get());
    auto calculated = host::CalcChannel::Create(AnalysisHost(), document.analysed.hostDocument.Get(),
                                                document.analysed.source.Get(), 1);
    ASSERT_EQ(S_OK, calculated->CreateCalculation(ChannelCalculationClass()));
    const std::int32_t sourceBefore = document.Settings().GetLong(SettingId::kSourceChannel);

    const bool accepted = document.Run([&](SettingsDlg& dialog) {
        ASSERT_EQ(2, dialog.SourceCombo()->GetCount());
        EXPECT_EQ(u"Vm", dialog.SourceCombo()->TListBox::GetString(0));
        // The host names the channel by its calculation's title, which names the source channel.
        const std::u16string calculatedName = dialog.SourceCombo()->TListBox::GetString(1);
        EXPECT_EQ(0u, calculatedName.rfind(u"Crestmetrics, ", 0));
        EXPECT_EQ(calculatedName.size() - 6, calculatedName.rfind(u" of Vm"));
        Choose(dialog.GetHandle(), 1062, 1);
        EXPECT_TRUE(IsWindowVisible(dialog.SourceMark()->GetHandle()));
        EXPECT_EQ(u"Invalid Source Channel", std::u16string(dialog.SourceMark()->GetTitle().View()));
        EXPECT_EQ(u"The source channel can not be set to a Crestmetrics channel calculation",
                  std::u16string(dialog.SourceMark()->GetMessage().View()));
        Ok(dialog);
        EXPECT_EQ(1, document.warnings);
        EXPECT_NE(nullptr, dialog.GetHandle()) << "the dialog stays open";
        // Back on the recorded channel the mark goes and OK closes.
        Choose(dialog.GetHandle(), 1062, 0);
        EXPECT_FALSE(IsWindowVisible(dialog.SourceMark()->GetHandle()));
        Cancel(dialog);
    });
    EXPECT_FALSE(accepted);
    EXPECT_EQ(sourceBefore, document.Settings().GetLong(SettingId::kSourceChannel));

    // A calculation whose source is its own channel names it once, without naming itself again.
    document.Settings().SetLong(SettingId::kSourceChannel, 1);
    const std::u16string ownName(ExtLib::GetChannelName(document.analysed.hostDocument->AsUnknown(), 1).View());
    EXPECT_EQ(0u, ownName.rfind(u"Crestmetrics, ", 0));
    EXPECT_EQ(std::u16string::npos, ownName.find(u" of ")) << std::string(ownName.begin(), ownName.end());
    document.Settings().SetLong(SettingId::kSourceChannel, sourceBefore);
    calculated->RemoveCalculation();
    document.analysed.hostDocument->SetExtensionDocument(nullptr);
}

// A detector page closed while its preview samples stops the preview's sampling.
TEST_F(SettingsCommandTest, ClosingAPageWhileItsPreviewSamplesStopsTheSampling)
{
    CardiacDocument document;
    host::PreviewSamplingControl& sampling = *document.previews->sampling.Get();
    document.Run([&](SettingsDlg& dialog) {
        auto* page = dynamic_cast<Dlg::Sub_DetectorCAP*>(dialog.Page());
        ASSERT_NE(nullptr, page);
        ASSERT_NE(nullptr, page->Preview());
        ChartDraw::PreviewDataWinWButtons* window = page->Preview()->Window();
        ASSERT_TRUE(window->HasSamplingControl()) << "the whole channel is analysed: the preview may sample";
        window->StartPreviewSampling(); // as the sampling bar's start button does
        ASSERT_EQ(S_OK, sampling.IsSampling());
        const int stops = sampling.stops;
        SelectTab(dialog, 1); // the detector page goes
        EXPECT_EQ(nullptr, dynamic_cast<Dlg::Sub_DetectorCAP*>(dialog.Page()));
        EXPECT_EQ(S_FALSE, sampling.IsSampling());
        EXPECT_EQ(stops + 1, sampling.stops);
        Cancel(dialog);
    });
}

} // namespace
