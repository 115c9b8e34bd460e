// The data pane's side of its window: attaching to it, the scroll bar and zoom control that the window makes, the
// control row under the data area and the zoom menu.
#include "chartdraw/controlwindows.h"
#include "chartdraw/datapane.h"

#include "platform/owl/gadget.h"

namespace ChartDraw {
namespace {
// The pane drives the window's scroll bar through its own small interface.
class ScrollBarAdapter final : public PaneScrollBar {
public:
    explicit ScrollBarAdapter(ScrollBar& bar) : bar_(bar) {}
    void Enable(bool on) override { bar_.Enable(on); }
    bool IsEnabled() const override { return bar_.IsEnabled(); }
    void SetMagnitudes(LONG page, LONG line) override
    {
        bar_.SetPageMagnitude(page);
        bar_.SetLineMagnitude(line);
    }
    LONG PageMagnitude() const override { return bar_.GetPageMagnitude(); }
    LONG LineMagnitude() const override { return bar_.GetLineMagnitude(); }
    State GetState() const override
    {
        SCROLLINFO info{sizeof info, SIF_ALL, 0, 0, 0, 0, 0};
        bar_.GetScrollInfo(info);
        return State{info.nMin, info.nMax, static_cast<LONG>(info.nPage), info.nPos, info.nTrackPos};
    }
    void SetRange(const State& state) override
    {
        const SCROLLINFO info{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, state.minimum, state.maximum,
                              static_cast<UINT>(state.page), state.position, 0};
        bar_.SetScrollInfo(info, true);
    }
    void SetPosition(LONG position, bool redraw) override { bar_.SetPosition(position, redraw); }

private:
    ScrollBar& bar_;
};

bool SameRatio(KVORationalImp a, KVORationalImp b)
{
    try {
        a.Normalize();
        b.Normalize();
    } catch (const std::exception&) {
        return false;
    }
    return a == b;
}
}

void DataPane::Attach(HWND parent, HWND window)
{
    if (channels_.empty()) {
        SetLaneCount(1);
    }
    parentWindow_ = parent;
    window_ = window;
    if (!(modeFlags & (kModeNoControls | (1u << 19)))) {
        CreateBars();
    }
    SetFollowNewest(follow_, true);
    for (std::size_t index = 0; index < channels_.size(); ++index) {
        OnChannelAttached(static_cast<LONG>(index));
    }
    if (zoom_) {
        const KVORationalImp c = GetCompression();
        zoom_->SetRatio(c.numerator, c.denominator);
    }
    Broadcast([&](IInteractiveObject& object) {
        object.OnTimeBaseChanged(timeBase_.Get());
        object.OnAttached();
    });
}

void DataPane::CreateBars()
{
    // The adapter goes before the bar it refers to.
    scrollBar_ = nullptr;
    barAdapter_.reset();
    horizontalBar_ = CreateScrollBar();
    if (horizontalBar_) {
        barAdapter_ = std::make_unique<ScrollBarAdapter>(*horizontalBar_);
        scrollBar_ = barAdapter_.get();
    }
    zoom_ = CreateZoomControl(0);
}

std::unique_ptr<ScrollBar> DataPane::CreateScrollBar() { return nullptr; }

std::unique_ptr<ZoomControl> DataPane::CreateZoomControl(DWORD) { return nullptr; }

void DataPane::DetachChannels()
{
    window_ = nullptr;
}

void DataPane::LayoutControls()
{
    const LONG top = frameOrigin_.y + height_ + 1;
    const LONG left = frameOrigin_.x + Margin();
    SIZE zoomSize{0, 0};
    if (zoom_) {
        zoom_->GetDesiredSize(zoomSize);
    }
    const LONG visible = Visible();
    if (horizontalBar_) {
        horizontalBar_->Move(RECT{left, top, left + visible - zoomSize.cx, top + zoomSize.cy});
    }
    if (zoom_) {
        zoom_->Move(RECT{left + visible - zoomSize.cx, top, left + visible, top + zoomSize.cy});
    }
}

void DataPane::OnZoomCommandEnable(LONG kind, owl::TCommandEnabler& enabler)
{
    KVORationalImp ratio;
    if (kind != 1 || !zoom_ || zoom_->RatioForCommand(ratio, enabler.GetId()) != S_OK) {
        return;
    }
    enabler.SetCheck(SameRatio(ratio, GetCompression()) ? owl::TCommandEnabler::Checked
                                                         : owl::TCommandEnabler::Unchecked);
}

void DataPane::OnZoomCommand(LONG kind, UINT command)
{
    KVORationalImp ratio;
    if (kind == 1 && zoom_ && zoom_->RatioForCommand(ratio, command) == S_OK) {
        SetCompression(ratio, nullptr, true);
    }
}

void DataPane::BuildZoomMenu(HMENU menu, UINT first, UINT last)
{
    if (!zoom_) {
        return;
    }
    for (int position = GetMenuItemCount(menu) - 1; position >= 0; --position) {
        DeleteMenu(menu, static_cast<UINT>(position), MF_BYPOSITION);
    }
    const KVORationalImp current = GetCompression();
    for (UINT command = first; command < last; ++command) {
        KVORationalImp ratio;
        if (zoom_->RatioForCommand(ratio, command) != S_OK) {
            continue;
        }
        std::u16string text;
        zoom_->FormatRatio(text, ratio.numerator, ratio.denominator);
        AppendMenuW(menu, MF_STRING | (SameRatio(ratio, current) ? MF_CHECKED : 0), command, text.c_str());
    }
}

} // namespace ChartDraw
