#include "graph/mgraph1/dragscale.h"
#include "graph/mgraph1/graph2ddrawer.h"

#include "graph_kit.h"

#include <gtest/gtest.h>

#include "platform/ui/input.h"
#include "platform/ui/window.h"

#include <cmath>
#include <limits>
#include <memory>
#include <string>

namespace {
using namespace graphtest;
using host::ScaleControl;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Records what a scale tells its observer.
class Observer final : public IDragScaleObserver {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT OnBeginDrag(LONG id) override { return Note("begin", id); }
    HRESULT OnEndDrag(LONG id) override { return Note("end", id); }
    HRESULT OnScalingChanged(LONG id, LONG, const double* pair) override
    {
        last[0] = pair[0];
        last[1] = pair[1];
        return Note("scaling", id);
    }
    HRESULT OnAutoScale(LONG id) override { return Note("auto", id); }
    HRESULT GetDataRange(LONG, double*, WORD*) override { return 0; }
    HRESULT Note(const char* what, LONG id)
    {
        // Repeated scaling steps are kept as one entry.
        const std::string entry = std::string(what) + " " + std::to_string(id);
        if (log.empty() || log.back() != entry || entry.rfind("scaling", 0) != 0) {
            log.push_back(entry);
        }
        return 0;
    }
    std::vector<std::string> log;
    double last[2] = {0.0, 0.0};
};

std::pair<double, double> Transform(ScaleControl& scale)
{
    double pair[2] = {-1.0, -1.0};
    scale.GetPixelTransform(pair);
    return {pair[0], pair[1]};
}

// The pixel transform comes only from a finite range of non-zero span; otherwise the last one stays.
TEST(HostScale, PixelTransformNeedsAFiniteSpan)
{
    struct Case {
        double minimum;
        double maximum;
        std::pair<double, double> transform;
    };
    const Case cases[] = {
        {0.0, 10.0, {20.0, 0.0}}, {2.0, 12.0, {20.0, -2.0}}, {5.0, 5.0, {20.0, -2.0}},  {0.0, kNaN, {20.0, -2.0}},
        {kInf, 1.0, {20.0, -2.0}}, {-kInf, kInf, {20.0, -2.0}}, {10.0, 0.0, {-20.0, -10.0}},
    };
    auto scale = ScaleControl::Create(ScaleControl::Axis::Horizontal);
    const RECT strip{0, 0, 200, 20};
    scale->SetScaleRect(&strip);
    for (const Case& c : cases) {
        scale->SetRange(c.minimum, c.maximum);
        EXPECT_EQ(Transform(*scale.Get()), c.transform) << c.minimum << " " << c.maximum;
    }
    // Vertically the top of the range is at the top; a scale without length leaves the caller's pair.
    auto vertical = ScaleControl::Create(ScaleControl::Axis::Vertical);
    EXPECT_EQ(Transform(*vertical.Get()), std::make_pair(-1.0, -1.0));
    const RECT column{0, 10, 40, 110};
    vertical->SetScaleRect(&column);
    vertical->SetRange(-1.0, 1.0);
    EXPECT_EQ(Transform(*vertical.Get()), std::make_pair(-50.0, -1.0));
}

TEST(HostScale, ARangeFromTheProgramIsToldAsADragStep)
{
    auto scale = ScaleControl::Create(ScaleControl::Axis::Horizontal);
    const RECT strip{0, 0, 100, 20};
    scale->SetScaleRect(&strip);
    Observer observer;
    scale->RegisterObserver(&observer);
    scale->SetRange(0.0, 4.0);
    EXPECT_EQ(observer.log, (std::vector<std::string>{"scaling 0"}));
    EXPECT_EQ(observer.last[0], 25.0);
    EXPECT_EQ(scale->UnregisterObserver(&observer), S_OK);
    EXPECT_EQ(scale->UnregisterObserver(&observer), S_FALSE);
    scale->SetRange(0.0, 5.0);
    EXPECT_EQ(observer.log.size(), 1u);
}

TEST(HostScale, ACopyKeepsTheScaleAsItWas)
{
    auto scale = ScaleControl::Create(ScaleControl::Axis::Horizontal);
    const RECT strip{0, 0, 100, 20};
    scale->SetScaleRect(&strip);
    scale->SetRange(1.0, 2.0);
    const double units[2] = {1000.0, 0.0};
    scale->SetScaling(units, u"Time");
    platform::ComPtr<IScaleControl> copy;
    ASSERT_EQ(scale->Copy(copy.Out()), S_OK);
    scale->SetRange(5.0, 9.0);
    scale->SetScaling(nullptr, u"Other");
    double extent[2] = {0.0, 0.0};
    copy->GetExtent(extent);
    EXPECT_EQ(extent[0], 2.0);
    EXPECT_EQ(extent[1], 1.0);
    EXPECT_EQ(Host(copy.Get()).Title(), u"Time");
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(copy->GetWindowHandle(&window), E_FAIL);
    EXPECT_EQ(window, nullptr);
}

// A scale in a window of a top-level frame, as the graph windows make them.
class ScaleWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GraphHost();
        Graphs().SetRefuse(false);
        ui::reset();
        frame = TopWindow(0, 0, 300, 200);
        frame->Create();
    }
    void TearDown() override
    {
        Graphs().SetRefuse(false);
        frame.reset();
        ui::reset();
    }
    // A horizontal scale of 200 pixels over 0 to 10 with its home extent at 0 to 1.
    std::unique_ptr<MGraph1::GraphDragScaleWindow> MakeScale()
    {
        auto scale = std::make_unique<MGraph1::GraphDragScaleWindow>(frame.get(), 110035, 100, 0, -1);
        EXPECT_TRUE(scale->Create());
        IScaleControl* control = scale->GetScaleControl();
        const RECT strip{20, 100, 220, 150};
        control->SetScaleRect(&strip);
        control->SetRange(0.0, 10.0);
        control->SetHomeExtent(0.0, 1.0);
        return scale;
    }
    std::unique_ptr<owl::TWindow> frame;
};

TEST_F(ScaleWindowTest, DraggingShiftsStretchesAndRestores)
{
    auto scale = MakeScale();
    ScaleControl& control = Host(scale->GetScaleControl());
    Observer observer;
    control.RegisterObserver(&observer);

    // 40 pixels to the right: the values follow the mouse, so the range starts 2 lower.
    ui::Drag(scale->GetHandle(), POINT{100, 10}, POINT{140, 10});
    EXPECT_EQ(observer.log, (std::vector<std::string>{"begin 100", "scaling 100", "end 100"}));
    EXPECT_DOUBLE_EQ(control.Minimum(), -2.0);
    EXPECT_DOUBLE_EQ(control.Maximum(), 8.0);

    // With Shift 50 pixels to the right: half the span about the value pressed (0.5 at pixel 50), which stays.
    ui::KeyDown(VK_SHIFT);
    ui::Drag(scale->GetHandle(), POINT{50, 10}, POINT{100, 10});
    ui::KeyUp(VK_SHIFT);
    EXPECT_DOUBLE_EQ(control.Minimum(), -0.75);
    EXPECT_DOUBLE_EQ(control.Maximum(), 4.25);

    observer.log.clear();
    ui::DoubleClick(scale->GetHandle(), POINT{60, 10});
    EXPECT_EQ(observer.log.back(), "auto 100");
    EXPECT_EQ(control.Minimum(), 0.0);
    EXPECT_EQ(control.Maximum(), 1.0);
    control.UnregisterObserver(&observer);
}

TEST_F(ScaleWindowTest, AShiftStopsAtTheLimits)
{
    auto scale = MakeScale();
    ScaleControl& control = Host(scale->GetScaleControl());
    control.SetLimits(-1.0, 12.0);
    ui::Drag(scale->GetHandle(), POINT{100, 10}, POINT{160, 10}); // 3 lower than 0 would pass -1
    EXPECT_EQ(control.Minimum(), -1.0);
    EXPECT_EQ(control.Maximum(), 9.0);
}

TEST_F(ScaleWindowTest, NoticesCarryTheScaleAsItIsAtThatMoment)
{
    auto scale = MakeScale();
    NoticeCounter counter;
    struct Scaling : MessSys::MessageReceiver {
        bool OnMessage(MessSys::Message& m) override
        {
            if (auto* s = dynamic_cast<MGraph1::MsgScalingChanged*>(&m)) {
                units = {s->scaling[0], s->scaling[1]};
                pixels = {s->pixelTransform[0], s->pixelTransform[1]};
                id = s->scaleId;
            }
            return true;
        }
        std::pair<double, double> units;
        std::pair<double, double> pixels;
        int id = 0;
    } scaling;
    scale->AddReceiver(&counter);
    scale->AddReceiver(&scaling);
    const double units[2] = {2.0, 1.0};
    scale->GetScaleControl()->SetScaling(units, nullptr);
    scale->GetScaleControl()->SetRange(0.0, 4.0);
    EXPECT_EQ(scaling.units, std::make_pair(2.0, 1.0));
    EXPECT_EQ(scaling.pixels, std::make_pair(50.0, 0.0));
    EXPECT_EQ(scaling.id, 100);

    ui::Drag(scale->GetHandle(), POINT{10, 10}, POINT{20, 10});
    EXPECT_EQ(counter.Count<MGraph1::MsgBeginDrag>(), 1);
    EXPECT_EQ(counter.Count<MGraph1::MsgEndDrag>(), 1);
    double minimum = 0.0;
    double maximum = 0.0;
    scale->GetRange(minimum, maximum);
    EXPECT_DOUBLE_EQ(minimum, -0.2);
    EXPECT_DOUBLE_EQ(maximum, 3.8);
}

TEST_F(ScaleWindowTest, ASecondCreateLetsGoOfTheFirstControl)
{
    auto scale = MakeScale();
    const platform::ComPtr<IScaleControl> first(scale->GetScaleControl());
    ASSERT_TRUE(scale->Create());
    EXPECT_NE(scale->GetScaleControl(), first.Get());
    EXPECT_EQ(Host(first.Get()).ObserverCount(), 0u);
    EXPECT_EQ(Host(first.Get()).Window(), nullptr);
    EXPECT_EQ(Host(scale->GetScaleControl()).ObserverCount(), 1u);
    scale.reset();
}

// The owned companion goes with the scale: after its window and while the control is still held.
TEST_F(ScaleWindowTest, TheCompanionGoesAfterTheWindowBeforeTheControl)
{
    struct Witness : MGraph1::DragScaleCompanion {
        Witness(std::vector<std::string>& log, IScaleControl* control, HWND window)
            : log(log), control(control), window(window)
        {
        }
        ~Witness() override
        {
            log.push_back(IsWindow(window) ? "window still there" : "window gone");
            control->AddRef();
            log.push_back("references " + std::to_string(control->Release()));
        }
        std::vector<std::string>& log;
        IScaleControl* control;
        HWND window;
    };
    std::vector<std::string> log;
    auto scale = MakeScale();
    const platform::ComPtr<IScaleControl> control(scale->GetScaleControl());
    control->AddRef();
    const std::string held = "references " + std::to_string(control->Release());
    scale->SetCompanion(std::make_unique<Witness>(log, control.Get(), scale->GetHandle()));
    ASSERT_NE(scale->Companion(), nullptr);
    scale->SetCompanion(std::make_unique<Witness>(log, control.Get(), scale->GetHandle())); // the first goes now
    EXPECT_EQ(log, (std::vector<std::string>{"window still there", held}));
    log.clear();
    scale.reset();
    EXPECT_EQ(log, (std::vector<std::string>{"window gone", held}));
    control->AddRef();
    EXPECT_LT(control->Release(), std::stoul(held.substr(11))); // the scale let go of it afterwards
}

TEST_F(ScaleWindowTest, CreationFailsCleanly)
{
    {
        MGraph1::GraphDragScaleWindow never(frame.get(), 110032, 101); // never created: nothing to unregister
        EXPECT_FALSE(never.IsObserving());
    }
    Graphs().SetRefuse(true);
    MGraph1::GraphDragScaleWindow refused(frame.get(), 110032, 101);
    EXPECT_FALSE(refused.Create());
    EXPECT_EQ(refused.GetScaleControl(), nullptr);
    EXPECT_FALSE(refused.IsObserving());
    double minimum = 0.0;
    double maximum = 0.0;
    refused.GetRange(minimum, maximum); // nothing to ask: the preset extent, read crosswise
    EXPECT_EQ(minimum, -DBL_MAX);
    EXPECT_EQ(maximum, DBL_MAX);
}

TEST(SharedHostService, PlainScalesGetTheirFourValues)
{
    GraphHost();
    EXPECT_EQ(MGraph1::CallSharedHostService(1, 2, 3, 4), S_OK);
    EXPECT_EQ(Graphs().LastPlainScale(), (std::vector<LONG>{1, 2, 3, 4}));
}

} // namespace
