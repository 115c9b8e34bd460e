// The stand-in host's scale control as the graph draws it: its caption and its tick labels, each kept whole inside
// the control's rectangle at any range and size, on the screen and on a printer page.
#include "host/scalecontrol.h"

#include "graph_canvas.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {
using namespace graphtest;
using host::ScaleControl;

// The box of every non-white pixel outside `skip`; empty (left > right) when nothing is inked.
RECT InkedBox(const gdi::Image& picture, RECT skip = {})
{
    RECT box{picture.width, picture.height, -1, -1};
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (x >= skip.left && x < skip.right && y >= skip.top && y < skip.bottom) {
                continue;
            }
            if ((picture.pixels[static_cast<std::size_t>(y) * picture.width + x] & 0xFFFFFF) != 0xFFFFFF) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
    }
    return box;
}

// The texts drawn, from a DC's call log ("TextOutW(x,y,\"text\")").
std::vector<std::string> Texts(const gdi::CallLog& log)
{
    std::vector<std::string> texts;
    for (const std::string& line : log.calls("TextOutW")) {
        const auto open = line.find('"');
        texts.push_back(line.substr(open + 1, line.rfind('"') - open - 1));
    }
    return texts;
}

struct Drawn {
    gdi::Image picture;
    std::vector<std::string> texts;
};

// Draws a scale over [low, high] in `rect` on a white canvas with room around it; `printer` prints it on a
// 600-dpi printer's page instead of drawing it for the screen.
Drawn DrawScale(ScaleControl& scale, RECT rect, double low, double high, int canvasWidth, int canvasHeight,
                bool printer = false)
{
    scale.SetScaleRect(&rect);
    scale.SetRange(low, high);
    ImageCanvas canvas(canvasWidth, canvasHeight);
    gdi::CallLog log;
    gdi::LogDcCalls(canvas.dc, &log);
    if (printer) {
        HDC device = CreateDCW(u"PDF", u"Page printer", nullptr, nullptr);
        scale.Print(canvas.dc, device);
        DeleteDC(device);
    } else {
        scale.Draw(canvas.dc, 0, 0xFFFF);
    }
    gdi::LogDcCalls(canvas.dc, nullptr);
    return Drawn{canvas.Picture(), Texts(log)};
}

bool Inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

TEST(ScaleControlCaption, IsTheUnitsTextWithTheTitleInBrackets)
{
    // The analysis plot gives the unit as the title and the caption as the units text.
    auto time = ScaleControl::Create(ScaleControl::Axis::Horizontal);
    time->SetScaling(nullptr, u"s");
    time->SetUnits(u"Time");
    EXPECT_EQ(u"Time (s)", time->Caption());
    auto value = ScaleControl::Create(ScaleControl::Axis::Vertical);
    value->SetScaling(nullptr, u"mV");
    value->SetUnits(u"Vm");
    EXPECT_EQ(u"Vm (mV)", value->Caption());
    // Either text alone stands alone; neither gives no caption.
    value->SetUnits(u"");
    EXPECT_EQ(u"mV", value->Caption());
    auto plain = ScaleControl::Create(ScaleControl::Axis::Horizontal);
    EXPECT_EQ(u"", plain->Caption());
    plain->SetUnits(u"Pressure");
    EXPECT_EQ(u"Pressure", plain->Caption());

    // The drawn caption is that text, once, on either axis.
    const Drawn x = DrawScale(*time.Get(), RECT{40, 20, 440, 80}, 0.0, 10.0, 480, 100);
    EXPECT_EQ(1, std::count(x.texts.begin(), x.texts.end(), "Time (s)"));
    value->SetUnits(u"Channel 1");
    const Drawn y = DrawScale(*value.Get(), RECT{20, 20, 80, 300}, -1.0, 1.0, 100, 320);
    EXPECT_EQ(1, std::count(y.texts.begin(), y.texts.end(), "Channel 1 (mV)"));
}

struct Range {
    double low;
    double high;
    const char* first; // the labels at the two ends of the scale, when the ends fall on ticks at every length
    const char* last;
};

const Range kRanges[] = {{0.0, 10.0, "0", "10"},        {-1.0, 1.0, "-1", "1"},     {0.0, 0.02, "0", "0.02"},
                         {-100.0, 100.0, "-100", "100"}, {0.0, 1000.0, "0", "1000"}, {-0.01, 0.01, "-0.01", "0.01"},
                         {-0.2, 1.2, nullptr, nullptr},  {-120.0, 40.0, nullptr, nullptr}};

TEST(ScaleControlLabels, EveryHorizontalLabelIsWholeInsideTheScaleAndTheEndsAreShown)
{
    for (const Range& range : kRanges) {
        for (const LONG width : {97, 160, 400, 913}) {
            auto scale = ScaleControl::Create(ScaleControl::Axis::Horizontal);
            scale->SetScaling(nullptr, u"s");
            scale->SetUnits(u"Time");
            const RECT rect{30, 10, 30 + width, 70};
            const Drawn drawn = DrawScale(*scale.Get(), rect, range.low, range.high, rect.right + 40, 100);
            const std::string where = std::to_string(range.low) + ".." + std::to_string(range.high) + " over " +
                                      std::to_string(width);
            // The last tick marks the scale's end at its right edge; the texts stay inside.
            const RECT ticks{0, rect.top, rect.right + 40, rect.top + 4};
            EXPECT_TRUE(Inside(InkedBox(drawn.picture, ticks), rect)) << where;
            if (width >= 160 && range.first) {
                // Room for several labels: the first and last ticks keep theirs, moved inward.
                ASSERT_GE(drawn.texts.size(), 3u) << where;
                EXPECT_EQ(range.first, drawn.texts.front()) << where;
                EXPECT_EQ(range.last, drawn.texts[drawn.texts.size() - 2]) << where; // the caption comes last
            }
        }
    }
}

TEST(ScaleControlLabels, EveryVerticalLabelIsWholeInsideTheScaleAndTheEndsAreShown)
{
    for (const Range& range : kRanges) {
        for (const LONG height : {61, 150, 300, 700}) {
            auto scale = ScaleControl::Create(ScaleControl::Axis::Vertical);
            scale->SetScaling(nullptr, u"mV");
            scale->SetUnits(u"Vm");
            const RECT rect{20, 20, 80, 20 + height};
            const Drawn drawn = DrawScale(*scale.Get(), rect, range.low, range.high, 100, height + 40);
            const std::string where = std::to_string(range.low) + ".." + std::to_string(range.high) + " over " +
                                      std::to_string(height);
            // The lowest tick marks the scale's end at its bottom edge; the texts stay inside.
            const RECT ticks{rect.right - 4, 0, 100, height + 40};
            EXPECT_TRUE(Inside(InkedBox(drawn.picture, ticks), rect)) << where;
            if (height >= 150 && range.first) {
                ASSERT_GE(drawn.texts.size(), 3u) << where;
                EXPECT_EQ(range.first, drawn.texts.front()) << where;
                EXPECT_EQ(range.last, drawn.texts[drawn.texts.size() - 2]) << where;
            }
        }
    }
}

TEST(ScaleControlLabels, APrinterPageGetsTheScreensSizeOnPaper)
{
    // On the screen (96 dpi) and on a 600-dpi page whose scale is 6.25 times as long, the labels and caption
    // keep their size on paper: their ink is 6.25 times as high in the printer's pixels, and the ticks keep their
    // spacing, so the same values are labelled.
    auto screen = ScaleControl::Create(ScaleControl::Axis::Horizontal);
    screen->SetScaling(nullptr, u"s");
    screen->SetUnits(u"Time");
    const Drawn small = DrawScale(*screen.Get(), RECT{0, 0, 400, 60}, 0.0, 0.02, 400, 60);
    auto page = ScaleControl::Create(ScaleControl::Axis::Horizontal);
    page->SetScaling(nullptr, u"s");
    page->SetUnits(u"Time");
    const Drawn large = DrawScale(*page.Get(), RECT{0, 0, 2500, 375}, 0.0, 0.02, 2500, 375, true);
    EXPECT_EQ(small.texts, large.texts);
    const RECT a = InkedBox(small.picture);
    const RECT b = InkedBox(large.picture);
    EXPECT_TRUE(Inside(b, RECT{0, 0, 2500, 375}));
    EXPECT_NEAR(6.25, static_cast<double>(b.bottom - b.top) / (a.bottom - a.top), 0.6);
}

} // namespace

namespace {

TEST(ScaleControlLane, AHiddenLanesScaleDrawsNothingAndALaneColourInksTheTicks)
{
    auto scale = ScaleControl::Create(ScaleControl::Axis::Vertical);
    scale->SetUnits(u"Volts");
    const RECT rect{10, 10, 70, 210};
    auto ticksHave = [](const gdi::Image& picture, COLORREF colour) {
        // The tick marks lie in the scale's right 4 pixels.
        for (int y = 10; y < 210; ++y) {
            for (int x = 66; x < 70; ++x) {
                const std::uint32_t p = picture.pixels[static_cast<std::size_t>(y) * picture.width + x] & 0xFFFFFF;
                if (p == ((std::uint32_t{GetRValue(colour)} << 16) | (std::uint32_t{GetGValue(colour)} << 8) | GetBValue(colour))) {
                    return true;
                }
            }
        }
        return false;
    };
    Drawn drawn = DrawScale(*scale.Get(), rect, -1, 1, 100, 230);
    EXPECT_TRUE(ticksHave(drawn.picture, RGB(0, 0, 0)));

    platform::ComPtr<ILaneScaleNotice> notice;
    ASSERT_EQ(S_OK, scale->QueryInterface(IID_ILaneScaleNotice, notice.OutVoid()));
    EXPECT_EQ(S_OK, notice->SetLaneColour(0, 0xFFFF, RGB(200, 0, 0), 0));
    drawn = DrawScale(*scale.Get(), rect, -1, 1, 100, 230);
    EXPECT_TRUE(ticksHave(drawn.picture, RGB(200, 0, 0)));
    EXPECT_FALSE(ticksHave(drawn.picture, RGB(0, 0, 0)));
    notice->SetLaneColour(0, 0, RGB(200, 0, 0), 0);
    drawn = DrawScale(*scale.Get(), rect, -1, 1, 100, 230);
    EXPECT_TRUE(ticksHave(drawn.picture, RGB(0, 0, 0)));

    platform::ComPtr<ILaneDisplay> display;
    ASSERT_EQ(S_OK, scale->QueryInterface(IID_ILaneDisplay, display.OutVoid()));
    display->ShowLane(0);
    drawn = DrawScale(*scale.Get(), rect, -1, 1, 100, 230);
    EXPECT_GT(InkedBox(drawn.picture).left, InkedBox(drawn.picture).right); // nothing inked
    EXPECT_TRUE(drawn.texts.empty());
    display->ShowLane(-1);
    drawn = DrawScale(*scale.Get(), rect, -1, 1, 100, 230);
    EXPECT_FALSE(drawn.texts.empty());
}

} // namespace
