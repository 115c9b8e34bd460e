// The data pane's lanes as its users see them, the objects laid over it and the view rectangle of its window.
#include "chartdraw/controlwindows.h"
#include "chartdraw/datapane.h"

#include <algorithm>
#include <limits>

namespace ChartDraw {

void DataPane::Notice(PaneNotice notice, LONGLONG pixels, DWORD value)
{
    if (onNotice) {
        onNotice(notice);
    }
    Broadcast([&](IInteractiveObject& object) {
        switch (notice) {
        case PaneNotice::SamplingStarted: object.OnSamplingStarted(value); break;
        case PaneNotice::DataArrived: object.OnDataArrived(); break;
        case PaneNotice::SamplingEnded: object.OnSamplingEnded(); break;
        case PaneNotice::BeforeScroll: object.BeforeScroll(); break;
        case PaneNotice::AfterScroll: object.AfterScroll(pixels, value); break;
        case PaneNotice::Redraw: object.Redraw(0); break;
        case PaneNotice::ScrollRange: object.OnScrollRangeChanged(); break;
        }
    });
}

void DataPane::SyncVisibleRange()
{
    constexpr LONG latest = ChannelPane::kLatestData;
    ChartBlockPosition left;
    ChartBlockPosition right;
    const bool known = timeBase_ &&
                       SUCCEEDED(timeBase_->PixelToPosition(std::max<LONGLONG>(rightEdge_ - Visible(), 0), &left)) &&
                       SUCCEEDED(timeBase_->PixelToPosition(std::max<LONGLONG>(rightEdge_, 0), &right));
    for (std::size_t index = 0; index < channels_.size(); ++index) {
        ChannelPane* pane = channels_[index];
        // While live a lane follows the newest data, unless it waits to scale to what is visible.
        if (!known || (live_ && ((modeFlags & kModeLatestWhileLive) || pane->PendingRanges() == 0))) {
            pane->SetVisibleIndices(latest, latest);
            continue;
        }
        const platform::ComPtr<IChartDataBlock> block = pane->SetVisibleIndices(left.block, right.block);
        if (block || pane->RangePending(2)) {
            ApplyPendingAutoscale(block.Get(), left.block, static_cast<LONG>(index));
        }
    }
}

bool DataPane::ApplyPendingAutoscale(IChartDataBlock* block, LONG index, LONG channel)
{
    if (channel < 0 || static_cast<std::size_t>(channel) >= channels_.size()) {
        return false;
    }
    ChannelPane* pane = channels_[channel];
    // Lane 2 (overlaid traces) waits on the data of its own drawers.
    if (pane->RangePending(2)) {
        const platform::ComPtr<IChartDataBlock> second = pane->VisibleData(2);
        OfferBlockRange(*pane, second.Get(), index, pane->lane2Selector, 2);
    }
    return block && OfferBlockRange(*pane, block, index, pane->lane1Selector, 1);
}

bool DataPane::OfferBlockRange(ChannelPane& pane, IChartDataBlock* block, LONG index, const LONG selector[2], LONG lane)
{
    ChartValueRange range;
    if (!block || FAILED(block->GetValueRange(static_cast<DWORD>(selector[1]) | 0x2000u, index, selector[0], &range)) ||
        range.minimum > range.maximum) {
        return false;
    }
    const double low = (range.minimum + range.offset) * range.scale;
    const double high = (range.maximum + range.offset) * range.scale;
    if (low != high) {
        pane.OfferAutoscaleRange(std::min(low, high), std::max(low, high), lane);
    }
    return true;
}

HRESULT DataPane::IsAutoscalePending(LONG lane, WORD* pending) const
{
    if (!pending) {
        return E_POINTER;
    }
    *pending = 0;
    LONGLONG extent = 0;
    if (!timeBase_ || FAILED(timeBase_->GetExtent(&extent))) {
        return E_FAIL;
    }
    const bool waiting = extent > 0 && std::any_of(channels_.begin(), channels_.end(),
                                                   [&](const ChannelPane* pane) { return pane->RangePending(lane); });
    *pending = waiting ? 0xFFFF : 0;
    return S_OK;
}

bool DataPane::AutoscaleMarked(LONG index, LONG lane) const
{
    return index >= 0 && (lane == 1 || lane == 2) && autoscale_[lane - 1].Test(static_cast<std::uint32_t>(index));
}

void DataPane::MarkAutoscale(LONG index, LONG lane, bool on)
{
    if (index < 0 || (lane != 1 && lane != 2)) {
        return;
    }
    const std::uint32_t bit = 1u << (index % 32);
    std::uint32_t& word = autoscale_[lane - 1].WordAt(static_cast<std::uint32_t>(index) / 32);
    word = on ? word | bit : word & ~bit;
}

HRESULT DataPane::AutoscaleLane(LONG index, LONG lane)
{
    if (index < 0 || static_cast<std::size_t>(index) >= channels_.size() || (lane != 1 && lane != 2)) {
        return E_INVALIDARG;
    }
    channels_[index]->RequestAutoscale(lane);
    return S_OK;
}

HRESULT DataPane::GetTraceRange(LONG lane, double* minimum, double* maximum)
{
    double low = std::numeric_limits<double>::max();
    double high = -std::numeric_limits<double>::max();
    if (!channels_.empty() && (lane == 1 || lane == 2)) {
        const ChannelPane* pane = channels_.front();
        const LONG* selector = lane == 1 ? pane->lane1Selector : pane->lane2Selector;
        const LONG record = pane->FirstVisibleIndex();
        for (std::uint32_t at = 0; at < pane->DrawerCount(); ++at) {
            IChartRecordDrawer* drawer = pane->DrawerAt(at);
            // A drawer that does not tell its lane draws on lane 1.
            LONG drawerLane = 1;
            if (FAILED(drawer->GetLane(&drawerLane))) {
                drawerLane = 1;
            }
            if ((drawerLane == 2) != (lane == 2)) {
                continue;
            }
            platform::ComPtr<IUnknown> data;
            if (drawer->GetData(record, data.Out()) != S_OK || !data) {
                continue;
            }
            platform::ComPtr<IChartDataBlock> block;
            data->QueryInterface(IID_IChartDataBlock, reinterpret_cast<void**>(block.Out()));
            ChartValueRange range{};
            if (block && block->GetValueRange(static_cast<DWORD>(selector[1]) | 0x2000u, record, selector[0], &range) ==
                             S_OK &&
                range.minimum <= range.maximum) {
                const double a = (range.minimum + range.offset) * range.scale;
                const double b = (range.maximum + range.offset) * range.scale;
                low = std::min(a, b);
                high = std::max(a, b);
                break;
            }
        }
    }
    if (minimum) {
        *minimum = low;
    }
    if (maximum) {
        *maximum = high;
    }
    return S_OK;
}

HRESULT DataPane::AddDrawer(LONG lane, DWORD kind, IChartRecordDrawer* drawer)
{
    const bool toScale = lane == -1;
    if (!drawer || (!toScale && (lane < 0 || static_cast<std::size_t>(lane) >= channels_.size())) ||
        (toScale && !timeScale_)) {
        return E_INVALIDARG;
    }
    const platform::ComPtr<IChartRecordDrawer> held(drawer);
    drawer->SetDataSource(static_cast<LONG>(kind), timeBase_.Get());
    ChildPaneBase& band = toScale ? static_cast<ChildPaneBase&>(*timeScale_) : *channels_[lane];
    const HRESULT result = band.AddDrawer(kind, drawer, 255);
    if (!toScale) {
        layoutFlags_ |= kRedrawAll;
    }
    if (blockOpen_) {
        drawer->OnNewBlock(static_cast<DWORD>(blockIndex_));
    }
    ResetLayersOf(band);
    return result;
}

HRESULT DataPane::IsLanePrefixed(LONG lane, WORD* prefixed) const
{
    if (!prefixed) {
        return E_POINTER;
    }
    if (channels_.empty()) {
        return E_FAIL;
    }
    *prefixed = channels_.front()->UnitRecord(lane).prefixIndex != 0 ? 0xFFFF : 0;
    return S_OK;
}

void DataPane::BroadcastPoint(LONG a, LONG b, LONG c)
{
    Broadcast([&](IInteractiveObject& object) { object.OnPoint(a, b, c); });
}

bool DataPane::BroadcastWithHandled(LONG a, LONG b)
{
    return BroadcastHandled([&](IInteractiveObject& object, BOOL* handled) { object.OnNoticeWithHandled(a, b, handled); });
}

void DataPane::BroadcastNotice()
{
    Broadcast([](IInteractiveObject& object) { object.OnNotice(); });
}

bool DataPane::BroadcastInput(UINT message, WPARAM wParam, LPARAM lParam)
{
    return BroadcastHandled(
        [&](IInteractiveObject& object, BOOL* handled) { object.OnInput(message, wParam, lParam, handled); });
}

void DataPane::OnChannelAttached(LONG index)
{
    Broadcast([&](IInteractiveObject& object) { object.OnChannelAttached(index); });
    if (index < 0 || static_cast<std::size_t>(index) >= channels_.size()) {
        return;
    }
    ChannelPane* pane = channels_[index];
    // A pane without controls has plain scales only: nothing there answers as a drag scale.
    const auto dragScaleOf = [&](LONG lane) {
        platform::ComPtr<IScaleControl> drag;
        platform::ComPtr<IUnknown> information;
        if (!(modeFlags & kModeNoControls) && services_.GetLaneInformation(index, lane, information.Out()) == S_OK &&
            information) {
            information->QueryInterface(IID_IScaleControl, reinterpret_cast<void**>(drag.Out()));
        }
        return drag;
    };
    // The pane observes its drag scales exactly once, whether it made them or adopted them.
    const auto observe = [&](IScaleControl* drag) {
        drag->UnregisterObserver(pane);
        drag->RegisterObserver(pane);
    };
    const platform::ComPtr<IScaleControl> drag1 = dragScaleOf(1);
    pane->AdoptLaneScale(drag1.Get());
    if (drag1) {
        observe(drag1.Get());
    }
    if (const platform::ComPtr<IScaleControl> drag2 = dragScaleOf(2); drag2 && pane->DragScale(2)) {
        observe(drag2.Get());
    }
}

void DataPane::OnChannelRemoved(LONG index)
{
    Broadcast([&](IInteractiveObject& object) { object.OnChannelRemoved(index); });
}

void DataPane::SetViewRect(const RECT& rect)
{
    viewRect_ = rect;
    SIZE zoomSize{0, 0};
    if (zoom_) {
        zoom_->GetDesiredSize(zoomSize);
    }
    if (channels_.empty()) {
        return;
    }
    lane1Strip_ = 0;
    lane2Strip_ = 0;
    for (const ChannelPane* pane : channels_) {
        lane1Strip_ = std::max(lane1Strip_, pane->LeftStripWidth());
        lane2Strip_ = std::max(lane2Strip_, pane->RightStripWidth());
    }
    const LONG width = rect.right - rect.left;
    const LONG dataWidth =
        std::max<LONG>(0, width - std::max(lane2Strip_, minLane2StripWidth) - std::max(lane1Strip_, minLane1StripWidth));
    MoveDataArea(rect.left + lane1Strip_, rect.top, dataWidth, rect.bottom - rect.top - zoomSize.cy, true);
}

HRESULT DataPane::SetLayerDragRect(LONG lane, LONG layerCode, const RECT* rect)
{
    if (lane < 0 || static_cast<std::size_t>(lane) >= channels_.size()) {
        return E_INVALIDARG;
    }
    if (!rect) {
        return E_POINTER;
    }
    std::lock_guard guard(lock_);
    // Codes outside the eight layers change nothing.
    if (layerCode >= 0 && layerCode < 8 * 256) {
        channels_[lane]->SetLayerArea(static_cast<DWORD>(layerCode), *rect);
    }
    return S_OK;
}

HRESULT DataPane::Lanes::QueryInterface(REFIID iid, void** out) { return pane_.QueryFace(iid, out); }

HRESULT DataPane::Lanes::GetLaneCount(LONG* count)
{
    if (pane_.lanesRedirection_) {
        return pane_.lanesRedirection_->GetLaneCount(count);
    }
    if (!count) {
        return E_POINTER;
    }
    *count = static_cast<LONG>(pane_.channels_.size());
    return S_OK;
}

HRESULT DataPane::Lanes::SetLaneCount(LONG count)
{
    if (pane_.lanesRedirection_) {
        return pane_.lanesRedirection_->SetLaneCount(count);
    }
    if (count < 0) {
        return E_INVALIDARG;
    }
    pane_.SetLaneCount(static_cast<std::size_t>(count));
    return S_OK;
}

HRESULT DataPane::Lanes::GetLaneInformation(LONG index, LONG lane, IUnknown** out)
{
    return pane_.services_.GetLaneInformation(index, lane, out);
}

} // namespace ChartDraw
