// The data pane's operations towards its owner, its child panes, its controls and its drawers, seen through the
// pane's public operations, its drawer services and the notices it sends.
#include "chartdraw/datapane.h"
#include "chartdraw/timescale.h"
#include "tests/chartdraw/fakes.h"

#include <gtest/gtest.h>

using namespace ChartDraw;

namespace {

// A band without lane scales answers the drag notices with E_NOTIMPL and has no lane scales to give.
TEST(ChildPaneBase, ABandWithoutLaneScalesAnswersNoDragNotice)
{
    charttest::TestOwner owner;
    auto* scale = new TimeScale(&owner);
    scale->AddRef();
    platform::ComPtr<IDragScaleObserver> observer;
    ASSERT_EQ(scale->QueryInterface(IID_IDragScaleObserver, observer.OutVoid()), S_OK);
    double range[2]{0, 0};
    const double transform[2]{1, 0};
    EXPECT_EQ(observer->OnBeginDrag(1), E_NOTIMPL);
    EXPECT_EQ(observer->OnEndDrag(1), E_NOTIMPL);
    EXPECT_EQ(observer->OnScalingChanged(1, 0, transform), E_NOTIMPL);
    EXPECT_EQ(observer->OnAutoScale(1), E_NOTIMPL);
    EXPECT_EQ(observer->GetDataRange(1, range, nullptr), E_NOTIMPL);
    for (auto get : {&ChildPaneBase::GetLaneScale1, &ChildPaneBase::GetLaneScale2}) {
        IScaleControl* lane = reinterpret_cast<IScaleControl*>(scale);
        EXPECT_EQ((scale->*get)(0, &lane), S_FALSE);
        EXPECT_EQ(lane, nullptr);
    }
    observer.Reset();
    scale->Release();
}

} // namespace
