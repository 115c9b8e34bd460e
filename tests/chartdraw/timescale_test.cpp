#include "chartdraw/timescale.h"
#include "chartdraw/datapane.h"
#include "platform/gdi/dc.h"
#include "foundation/localeinfo.h"
#include "foundation/xkvo.h"
#include "platform/com/memstream.h"
#include "platform/gdi/image.h"
#include "platform/win/locale.h"
#include "tests/chartdraw/fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

using namespace ChartDraw;

namespace {

struct TimedOwner : charttest::TestOwner {
    bool GetTimeContext(TimeContext& out) const override
    {
        out = context;
        return true;
    }
    TimeContext context;
};

struct Axis {
    TimedOwner owner;
    TimeScale* scale;
    LONG width;
    charttest::Canvas canvas;
    HDC dc = canvas.dc;
    HBITMAP bitmap = canvas.bitmap;

    explicit Axis(LONG w) : width(w), canvas(w, 24)
    {
        scale = new TimeScale(&owner);
        scale->AddRef();
        scale->EnsureLabelDrawer();
        const LONG pair[2]{0, 0};
        scale->SetPlacement(1, pair, RECT{0, 0, width, 24});
    }
    ~Axis() { scale->Release(); }
    const TimeLabelDrawer& Labels() const { return *static_cast<TimeLabelDrawer*>(scale->DrawerAt(0)); }
    void Draw()
    {
        scale->InvalidateAll();
        scale->DrawLayers(dc, TickMapping{}, nullptr, 0, 0, 0, 0, 7);
        scale->Paint(dc, 0, false);
    }
};

class TimeScaleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetUserLocale(platform::LocaleProfile::EnglishUS());
        LocaleInfo::Reset();
    }
    void TearDown() override { LocaleInfo::Reset(); }
};

TEST_F(TimeScaleTest, LabelsNeverOverlapNorStartLeftOfTheArea)
{
    const struct {
        double secondsPerPixel;
        double start;
        std::uint32_t format;
    } cases[] = {
        {0.001, 0.0, kTimeModeElapsed},  {0.013, 3.7, kTimeModeElapsed}, {0.5, 40000.0, kTimeModeClock},
        {7.0, 100.0, kTimeModeClock},    {0.0002, -0.05, kTimeModeElapsed | kTimeMilliseconds},
        {120.0, 0.0, kTimeModeElapsed},
    };
    for (const auto& c : cases) {
        Axis axis(600);
        axis.owner.context.secondsPerPixel = c.secondsPerPixel;
        axis.owner.context.secondsAtOrigin = c.start;
        axis.owner.context.formatWord = c.format;
        axis.Draw();
        const auto& labels = axis.Labels().LastLabels();
        EXPECT_GE(labels.size(), 2u) << c.secondsPerPixel;
        LONG right = -1;
        for (const auto& label : labels) {
            EXPECT_GE(label.x, 0);
            EXPECT_GT(label.x, right) << c.secondsPerPixel;
            right = label.x + label.width;
        }
    }
}

TEST_F(TimeScaleTest, TheLabelStepFollowsTheDevicesMillimetres)
{
    // 10 ms a pixel: the narrowest span is trunc(18.001 w) pixels. At 4 pixels a millimetre that is 0.72 s,
    // which rounds up to a 1 s step; at 8 pixels a millimetre 1.44 s, a 2 s step.
    const struct {
        double perMm;
        LONG spacing;
    } cases[] = {{4.0, 100}, {8.0, 200}};
    for (const auto& c : cases) {
        charttest::TestServices services;
        services.pixelsPerMm = c.perMm;
        Axis axis(1000);
        axis.owner.services = &services;
        axis.scale->DrawerAt(0)->SetDrawerServices(&services);
        axis.owner.context.secondsPerPixel = 0.01;
        axis.owner.context.formatWord = kTimeModeElapsed;
        axis.Draw();
        const auto& labels = axis.Labels().LastLabels();
        ASSERT_GE(labels.size(), 3u) << c.perMm;
        for (std::size_t i = 1; i < labels.size(); ++i) {
            const LONG centre = labels[i].x + labels[i].width / 2;
            const LONG before = labels[i - 1].x + labels[i - 1].width / 2;
            EXPECT_NEAR(centre - before, c.spacing, 2) << c.perMm << " " << i;
        }
    }
}

TEST_F(TimeScaleTest, UnusableTimeScaleDrawsNoLabels)
{
    for (double p : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        Axis axis(200);
        axis.owner.context.secondsPerPixel = p;
        axis.Draw();
        EXPECT_TRUE(axis.Labels().LastLabels().empty());
    }
}

TEST_F(TimeScaleTest, TimeScaleKeepsOneLabelDrawerAndRefusesNewerSettings)
{
    Axis axis(100);
    EXPECT_TRUE(axis.scale->IsFlagged());
    axis.scale->RemoveDrawers(0, kNoAlternateChannel, kNoAlternateSelector);
    EXPECT_EQ(axis.scale->DrawerCount(), 1u);
    EXPECT_NO_THROW(TimeScale::CheckStateVersion(2));
    try {
        TimeScale::CheckStateVersion(3);
        ADD_FAILURE() << "version 3 accepted";
    } catch (const XKVO& e) {
        EXPECT_EQ(e.Code(), static_cast<HRESULT>(0xA0048205));
    }
}

TEST_F(TimeScaleTest, StateStreamIsTheVersionWord)
{
    Axis axis(100);
    auto stream = platform::MemoryStream::Create();
    ASSERT_EQ(axis.scale->WriteState(stream.Get()), S_OK);
    EXPECT_EQ(stream->Data(), (std::vector<BYTE>{2, 0, 0, 0}));
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(axis.scale->ReadState(stream.Get()), S_OK);

    // Older versions read nothing more; the next word stays in the stream.
    auto older = platform::MemoryStream::Create(std::vector<BYTE>{1, 0, 0, 0, 9, 9, 9, 9});
    EXPECT_EQ(axis.scale->ReadState(older.Get()), S_OK);
    ULARGE_INTEGER at{};
    older->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &at);
    EXPECT_EQ(at.QuadPart, 4u);

    auto newer = platform::MemoryStream::Create(std::vector<BYTE>{3, 0, 0, 0});
    EXPECT_THROW(axis.scale->ReadState(newer.Get()), XKVO);
    auto cut = platform::MemoryStream::Create(std::vector<BYTE>{2, 0});
    EXPECT_EQ(axis.scale->ReadState(cut.Get()), STG_E_READFAULT);
    EXPECT_EQ(axis.scale->ReadState(nullptr), E_POINTER);
}

TEST_F(TimeScaleTest, PictureOfMillisecondLabels)
{
    Axis axis(600);
    axis.owner.context.secondsPerPixel = 0.0005;
    axis.owner.context.secondsAtOrigin = 0.0;
    axis.owner.context.formatWord = kTimeModeElapsed | kTimeMilliseconds;
    axis.Draw();
    const gdi::GoldenCheck check =
        gdi::CheckGolden(gdi::ImageOfBitmap(axis.bitmap), std::string(TEST_DATA_DIR) + "/time_axis_ms.png");
    EXPECT_TRUE(check.ok) << check.message;
}

} // namespace

namespace {

TEST(BlockNumberTest, EveryNthBlockByTheSpacingRatio)
{
    const struct {
        double ratio;
        LONG number;
        bool shown;
    } cases[] = {{60, 7, true}, {51, 3, true}, {30, 3, false}, {30, 4, true}, {26, 8, true},  {20, 4, false},
                 {11, 10, true}, {10.9, 10, false}, {5, 100, true}, {0, 200, true}, {0, 150, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(TimeLabelDrawer::ShowsBlockNumber(c.number, c.ratio), c.shown) << c.ratio << " " << c.number;
    }
}

TEST_F(TimeScaleTest, BlockNumberStandsAtTheRecordStartUnlessALabelIsThere)
{
    const struct {
        LONG startX;
        bool drawn;
    } cases[] = {{40, true}, {200, false}}; // at 200 stands the "0.2" label
    for (const auto& c : cases) {
        Axis axis(600);
        axis.owner.context.secondsPerPixel = 0.001;
        axis.owner.context.showBlockNumbers = true;
        axis.owner.context.record = 2;
        axis.owner.context.recordStartX = c.startX;
        axis.owner.context.blockSpacingRatio = 60;
        axis.Draw();
        EXPECT_EQ(axis.Labels().LastBlockNumber(), c.drawn ? 3 : 0) << c.startX;
        if (c.drawn) {
            EXPECT_EQ(GetPixel(axis.dc, c.startX - 1, 6), RGB(30, 30, 108));
        }
    }
}

// The number's box is filled a pixel wider on each side, so it must keep a pixel clear of a time label: touching it
// on either side would paint over the label's first or last column.
TEST_F(TimeScaleTest, BlockNumberKeepsAPixelClearOfTheLabels)
{
    auto drawAt = [](LONG startX, std::vector<ChartDraw::TimeLabelDrawer::Written>* labels = nullptr) {
        Axis axis(600);
        axis.owner.context.secondsPerPixel = 0.001;
        axis.owner.context.showBlockNumbers = true;
        axis.owner.context.record = 2;
        axis.owner.context.recordStartX = startX;
        axis.owner.context.blockSpacingRatio = 60;
        axis.Draw();
        if (labels) {
            *labels = axis.Labels().LastLabels();
        }
        LONG filled = 0; // the fill's width on the box's top row, the text's side pixels included
        while (GetPixel(axis.dc, startX - 1 + filled, 2) == RGB(30, 30, 108)) {
            ++filled;
        }
        return std::pair{axis.Labels().LastBlockNumber() == 3, filled - 2};
    };
    std::vector<ChartDraw::TimeLabelDrawer::Written> labels;
    const auto [drawnFree, boxWidth] = drawAt(40, &labels);
    ASSERT_TRUE(drawnFree);
    ASSERT_GT(boxWidth, 0);
    const auto label = std::find_if(labels.begin(), labels.end(), [](const auto& l) { return l.x > 100; });
    ASSERT_NE(label, labels.end());
    const struct {
        LONG startX;
        bool drawn;
    } cases[] = {
        {label->x - boxWidth - 1, true},  // a pixel between the fill and the label
        {label->x - boxWidth, false},     // the box touches the label's left side
        {label->x + label->width, false}, // the box starts where the label ends
        {label->x + label->width + 1, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(drawAt(c.startX).first, c.drawn) << c.startX << " beside a label at " << label->x;
    }
}

} // namespace

namespace {

// While the pane prints, the labels take a 10-point font made for the print device of the print word.
TEST(TimeScalePrinting, ThePrintWordGivesTheLabelsAFontForThePrintDevice)
{
    ChartDraw::DataPane pane;
    const int screenHeight = pane.Scale()->LabelHeight();
    HBITMAP page = CreateBitmap(10, 10, 1, 32, nullptr);
    HDC printer = gdi::CreatePageDc(page, 300);
    const DWORD word = ChartDraw::PrintWordFor(printer);
    ASSERT_NE(word, 0u);
    EXPECT_EQ(ChartDraw::PrintWordFor(printer), word);
    EXPECT_EQ(ChartDraw::PrintDeviceOf(word), printer);

    pane.BeginPrinting(word);
    EXPECT_EQ(pane.PrintDevice(), printer);
    // 10 points at 300 dots per inch are about three times the screen's 96: the height follows the device.
    const int printedHeight = pane.Scale()->LabelHeight();
    EXPECT_GT(printedHeight, 2 * screenHeight);
    EXPECT_LT(printedHeight, 4 * screenHeight);
    pane.EndPrinting();
    EXPECT_EQ(pane.Scale()->LabelHeight(), screenHeight);

    // A word that names no device leaves the screen font.
    ChartDraw::ForgetPrintWord(word);
    pane.BeginPrinting(word);
    EXPECT_EQ(pane.PrintDevice(), nullptr);
    EXPECT_EQ(pane.Scale()->LabelHeight(), screenHeight);
    pane.EndPrinting();
    DeleteDC(printer);
    DeleteObject(page);
}

} // namespace
