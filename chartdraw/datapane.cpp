#include "chartdraw/datapane.h"

#include "chartdraw/controlwindows.h"
#include "sdk/chartchannelsettings.h"

#include "foundation/nicestep.h"
#include "foundation/xkvo.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

namespace ChartDraw {

namespace {
constexpr LONG kWheelNotch = 120;
constexpr DWORD kWheelCtrl = 0x0008;
constexpr DWORD kRefreshInterval = 300;
constexpr double kFinestCompression = 0.1;
constexpr double kCoarsestCompression = 500000;

double AsDouble(const KVORationalImp& r)
{
    return static_cast<double>(r.numerator) / static_cast<double>(r.denominator);
}
} // namespace

DataPane::DataPane()
    : tickCount([] { return GetTickCount(); }), ctrlDown([] { return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0; })
{
    follow_ = !(paneFlags & kPaneFlagNoFollow);
    lastWheel_ = tickCount();
    timeScale_ = new TimeScale(this);
    timeScale_->AddRef();
}

DataPane::~DataPane()
{
    for (ChannelPane* pane : channels_) {
        pane->Release();
    }
    if (timeScale_) {
        timeScale_->Release();
    }
}

ChannelPane* DataPane::CreateChannelPane(LONG index)
{
    auto* pane = new ChannelPane(index, this, paneFlags, 0x00026F30u);
    pane->AddRef();
    pane->unitChannel = unitChannel;
    pane->CreateLaneScales(0, 0);
    pane->AttachDragScales();
    return pane;
}

void DataPane::RequestAutoscale(const LONG selectorPair[2], LONG lane)
{
    if (onAutoscale) {
        onAutoscale(selectorPair, lane);
        return;
    }
    // Packed little-endian: the first selector word, then the lane.
    const std::array<std::int32_t, 2> body{selectorPair[0], lane};
    SendToObservers(AutoscaleMessageId(), body.data(), sizeof body);
}

void DataPane::NotifyChannelEvent(LONG paneIndex, LONG lane, LONG value, IUnknown* dragScale)
{
    LONG pair[2]{};
    ChannelSelectors(paneIndex, pair);
    const LONG channel = pair[0];
    if (onChannelEvent) {
        onChannelEvent(channel, dragScale, value, lane);
        return;
    }
    // Packed little-endian, no padding: the three words, then the scale's pointer.
    const std::array<std::int32_t, 3> words{channel, lane, value};
    std::array<std::byte, sizeof words + sizeof dragScale> body{};
    std::memcpy(body.data(), words.data(), sizeof words);
    std::memcpy(body.data() + sizeof words, &dragScale, sizeof dragScale);
    SendToObservers(ChannelEventMessageId(), body.data(), body.size());
}

bool DataPane::SendFrameworkMessage(LONG kind, const void* body, std::size_t size)
{
    const std::optional<ChartBlockPosition> position = subjectPosition ? subjectPosition() : std::nullopt;
    if (!position || !onFrameworkMessage) {
        return false;
    }
    onFrameworkMessage(*position, kind, body, size);
    return true;
}

void DataPane::ForEachPane(const std::function<void(ChildPaneBase&)>& action)
{
    if (timeScale_) {
        action(*timeScale_);
    }
    for (ChannelPane* pane : channels_) {
        action(*pane);
    }
}

namespace {
std::map<DWORD, HDC>& PrintDevices()
{
    static std::map<DWORD, HDC> devices;
    return devices;
}
} // namespace

DWORD PrintWordFor(HDC printDevice)
{
    if (!printDevice) {
        return 0;
    }
    for (const auto& [word, device] : PrintDevices()) {
        if (device == printDevice) {
            return word;
        }
    }
    const DWORD word = PrintDevices().empty() ? 1 : PrintDevices().rbegin()->first + 1;
    PrintDevices()[word] = printDevice;
    return word;
}

HDC PrintDeviceOf(DWORD printWord)
{
    const auto found = PrintDevices().find(printWord);
    return found == PrintDevices().end() ? nullptr : found->second;
}

void ForgetPrintWord(DWORD printWord) { PrintDevices().erase(printWord); }

void DataPane::BeginPrinting(DWORD printWord)
{
    printWord_ = printWord;
    if (timeScale_) {
        timeScale_->OnBeginPrint(printWord);
    }
}

void DataPane::EndPrinting()
{
    printWord_ = 0;
    if (timeScale_) {
        timeScale_->OnEndPrint();
    }
}

HDC DataPane::PrintDevice() const { return printWord_ ? PrintDeviceOf(printWord_) : nullptr; }

void DataPane::DrawSweepCursor(HDC dc)
{
    const bool jump = JumpMode();
    ForEachPane([&](ChildPaneBase& pane) { pane.Paint(dc, sweep_, jump); });
}

LONG DataPane::HitTestLane(POINT point) const
{
    const LONG m = Margin();
    if (point.x < m || point.x >= width_ - m || point.y < 0 || point.y >= height_) {
        return kNoLane;
    }
    if (timeScale_ && timeScale_->HitTest(point)) {
        return -1;
    }
    for (std::size_t index = 0; index < channels_.size(); ++index) {
        if (channels_[index]->HitTest(point)) {
            return static_cast<LONG>(index);
        }
    }
    return kNoLane;
}

void DataPane::SetAppearance(IUnknown* settings, IUnknown* displaySettings, LONG channel)
{
    if (settings) {
        platform::ComPtr<IChartBackgroundColour> colours;
        COLORREF colour = background_;
        if (SUCCEEDED(settings->QueryInterface(IID_IChartBackgroundColour, colours.OutVoid())) && colours &&
            SUCCEEDED(colours->GetBackgroundColour(&colour))) {
            background_ = colour;
        }
    }
    ForEachPane([&](ChildPaneBase& pane) { pane.ApplyChannelSettings(settings, displaySettings, channel); });
    channelEntries_.resize(channels_.size(), 0);
}

HRESULT DataPane::GetLaneScale(LONG index, LONG, LONG lane, IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (lanesRedirection_) {
        return lanesRedirection_->GetLaneInformation(index, lane, out);
    }
    if (index < 0 || static_cast<std::size_t>(index) >= channels_.size() || (lane != 1 && lane != 2)) {
        return E_INVALIDARG;
    }
    IScaleControl* scale = nullptr;
    channels_[index]->GetScaleForLane(lane, &scale);
    *out = scale;
    return S_OK;
}

LONG DataPane::LaneOfChannel(LONG channel, DWORD) const
{
    return channel >= 0 && static_cast<std::size_t>(channel) < channels_.size() ? channel : -1;
}

HRESULT DataPane::GetChannelEntry(LONG channel, DWORD selector, LONG* out) const
{
    if (!out) {
        return E_POINTER;
    }
    const LONG index = LaneOfChannel(channel, selector);
    if (index < 0 || static_cast<std::size_t>(index) >= channelEntries_.size()) {
        return E_INVALIDARG;
    }
    *out = channelEntries_[index];
    return S_OK;
}

HRESULT DataPane::SetLaneScale(COLORREF colour, LONG lane, bool on)
{
    if (channels_.empty() || (lane != 1 && lane != 2)) {
        return E_FAIL;
    }
    IScaleControl* scale = channels_.front()->Scale(lane);
    platform::ComPtr<ILaneScaleNotice> notice;
    if (!scale || FAILED(scale->QueryInterface(IID_ILaneScaleNotice, notice.OutVoid())) || !notice) {
        return E_FAIL;
    }
    return notice->SetLaneColour(0, on ? 0xFFFF : 0, colour, 0);
}

void DataPane::SetTimeBase(IChartTimeBase* timeBase)
{
    blockOpen_ = false;
    thumbTracking_ = false;
    timeBase_ = timeBase;
    rightEdge_ = 0;
    if (timeBase_) {
        timeBase_->SetCompression(compression_.numerator, compression_.denominator);
    }
    // The time scale labels the time base's time.
    if (timeScale_) {
        timeScale_->SetDataSource(0, timeBase_.Get());
    }
    Broadcast([&](IInteractiveObject& object) { object.OnTimeBaseChanged(timeBase_.Get()); });
    Invalidate(0xFF000003u);
}

void DataPane::SetRightEdge(LONGLONG rightEdge)
{
    rightEdge_ = rightEdge;
    Invalidate(0xFF000000u);
}

void DataPane::SetLaneCount(std::size_t count)
{
    while (channels_.size() > count) {
        const auto index = static_cast<LONG>(channels_.size() - 1);
        OnChannelRemoved(index);
        channels_.back()->SetPendingRanges(0); // a lane made later at this index does not wait
        channels_.back()->Release();
        channels_.pop_back();
    }
    while (channels_.size() < count) {
        const auto index = static_cast<LONG>(channels_.size());
        channels_.push_back(CreateChannelPane(index));
        if (window_) {
            OnChannelAttached(index);
        }
    }
    LayoutLanes();
    Broadcast([&](IInteractiveObject& object) { object.OnLanesChanged(static_cast<LONG>(count)); });
    layoutFlags_ |= kRedrawAll;
}

void DataPane::SetSize(LONG width, LONG height)
{
    width_ = std::max<LONG>(width, 0);
    height_ = std::max<LONG>(height, 0);
    sweep_ = Visible();
    LayoutLanes();
    const LONG scaleHeight =
        timeScale_ ? timeScale_->rect.bottom - timeScale_->rect.top + 2 * SecondMargin() : 0;
    const RECT area{0, 0, width_, height_ - scaleHeight};
    // An object may lay the lanes out itself; otherwise the even layout stands (again, after the objects).
    if (ObjectCount() > 0 && !BroadcastHandled([&](IInteractiveObject& o, BOOL* h) { o.Layout(&area, h); })) {
        LayoutLanes();
    }
    ResetLayers();
    LayoutControls();
    layoutFlags_ |= 1u << 31;
}

void DataPane::LayoutLanes()
{
    if (channels_.empty()) {
        return;
    }
    if (laneTops_.size() == channels_.size()) {
        SetLaneGeometry(std::vector<LONG>(laneTops_), std::vector<LONG>(laneHeights_));
        return;
    }
    const LONG n = static_cast<LONG>(channels_.size());
    const LONG m = Margin();
    const LONG m2 = SecondMargin();
    const LONG scaleHeight = timeScale_ ? timeScale_->LabelHeight() + 2 * m2 : 0;
    const double h = static_cast<double>(height_ - 2 * m2 * n - scaleHeight) / n;
    double y = m2;
    const LONG pair[2]{0, 0};
    for (LONG index = 0; index < n; ++index) {
        const LONG top = static_cast<LONG>(std::trunc(y));
        const LONG bottom =
            index == n - 1 ? height_ - scaleHeight - m2 : static_cast<LONG>(std::trunc(y + h + 0.5));
        channels_[index]->SetPlacement(index == 0 ? 0x80000000u : 0, pair, RECT{m, top, width_ - m, bottom});
        channels_[index]->Resize(channels_[index]->rect);
        y += std::trunc(h) + 2 * m2;
    }
    if (timeScale_) {
        timeScale_->SetPlacement(0, pair, RECT{m, static_cast<LONG>(std::trunc(y)), width_ - m, height_ - m2});
        timeScale_->Resize(timeScale_->rect);
    }
}

void DataPane::SetLaneGeometry(const std::vector<LONG>& tops, const std::vector<LONG>& heights)
{
    std::lock_guard guard(lock_);
    laneTops_ = tops;
    laneHeights_ = heights;
    const LONG m2 = SecondMargin();
    const LONG scaleHeight = timeScale_ ? timeScale_->LabelHeight() + 2 * m2 : 0;
    const LONG pair[2]{0, 0};
    LONG lastBottom = 0;
    bool firstGiven = false;
    for (std::size_t index = 0; index < channels_.size(); ++index) {
        if (index >= tops.size() || index >= heights.size()) {
            continue;
        }
        const LONG top = tops[index];
        LONG bottom = 0;
        if (index + 1 == channels_.size()) {
            bottom = heights[index] == 0 ? top : height_ - scaleHeight - 1;
        } else {
            bottom = static_cast<LONG>(std::trunc(top + heights[index] + 0.5));
        }
        const RECT rect{1, top, width_ - Margin(), bottom};
        const bool first = !firstGiven && bottom > top && Visible() > 0;
        firstGiven = firstGiven || first;
        channels_[index]->SetPlacement(first ? 0x80000000u : 0, pair, rect);
        channels_[index]->Resize(rect);
        Broadcast([&](IInteractiveObject& object) { object.OnLaneMoved(static_cast<LONG>(index), &rect); });
        lastBottom = bottom;
    }
    if (timeScale_) {
        const LONG top = lastBottom + ((modeFlags & kModeNoControls) ? m2 / 2 : m2);
        timeScale_->SetPlacement(0, pair, RECT{1, top, width_ - Margin(), height_ - m2});
        timeScale_->Resize(timeScale_->rect);
    }
    layoutFlags_ |= 1u << 31;
    if (onInvalidate) {
        onInvalidate(RECT{0, 0, width_, height_});
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Compression and the view

KVORationalImp DataPane::GetCompression() const
{
    KVORationalImp result = compression_;
    if (timeBase_) {
        timeBase_->GetCompression(&result.numerator, &result.denominator);
    }
    return result;
}

LONGLONG DataPane::Extent() const
{
    LONGLONG extent = 0;
    if (timeBase_ && FAILED(timeBase_->GetExtent(&extent))) {
        extent = 0;
    }
    return extent;
}

void DataPane::StoreCompression(const KVORationalImp& compression)
{
    compression_ = compression;
    if (zoom_) {
        zoom_->SetRatio(compression.numerator, compression.denominator);
    }
}

bool DataPane::SetCompression(const KVORationalImp& requested, const POINT* anchor, bool notify)
{
    const KVORationalImp old = GetCompression();
    KVORationalImp compression = requested;
    if (compression.denominator == 0) {
        return false;
    }
    compression.Normalize();
    if (compression == old) {
        return true;
    }
    if (compression.numerator <= 0) {
        return false;
    }
    std::lock_guard guard(lock_);
    // The anchor's data position is found at the old compression; it is a tick offset and does not change with
    // the compression.
    std::optional<ChartBlockPosition> anchorPosition;
    const bool following = IsFollowingNewest();
    if (!following) {
        const LONG m = Margin();
        const double half = width_ * 0.5;
        double anchorX = 0;
        std::optional<ChartBlockPosition> subject;
        if (ctrlDown && ctrlDown() && !anchor && subjectPosition && (subject = subjectPosition())) {
            double pixel = -1.0;
            if (timeBase_ && timeBase_->PositionToPixel(*subject, &pixel) == S_OK) {
                anchorX = static_cast<double>(static_cast<LONGLONG>(pixel) - rightEdge_ + (width_ - m));
            } else {
                anchorX = (m + (width_ - m)) / 2;
            }
        } else {
            const double ratio = AsDouble(old) / AsDouble(compression);
            if (anchor) {
                anchorX = anchor->x - (anchor->x - half) / ratio;
            } else if (ratio > 1) {
                if (rightEdge_ - Visible() <= 0) {
                    anchorX = m;
                } else if (timeBase_ && rightEdge_ >= Extent()) {
                    anchorX = width_ - m;
                } else {
                    anchorX = half;
                }
            } else {
                anchorX = half;
            }
            anchorX = std::floor(anchorX + 0.5);
        }
        const LONGLONG absolute = static_cast<LONGLONG>(anchorX) - (width_ - m) + rightEdge_;
        ChartBlockPosition position{0, 0};
        if (absolute < 0 || (timeBase_ && timeBase_->PixelToPosition(absolute, &position) != S_FALSE)) {
            anchorPosition = position;
        }
    }
    // The time base checks that the recording's pixels still fit at the new compression; it keeps the old one
    // when they don't, and so does the pane.
    if (timeBase_ && timeBase_->SetCompression(compression.numerator, compression.denominator) != S_OK) {
        return false;
    }
    if (following) {
        StoreCompression(compression);
        rightEdge_ = Extent();
        Invalidate(kRedrawAll);
    } else {
        ApplyCompression(compression, anchorPosition ? &*anchorPosition : nullptr);
    }
    if (notify) {
        SendViewNotice(onCompressionChanged, onViewPosition);
    }
    return true;
}

void DataPane::ApplyCompression(const KVORationalImp& compression, const ChartBlockPosition* position)
{
    StoreCompression(compression);
    double pixel = 0;
    if (!IsFollowingNewest() && position && timeBase_ && timeBase_->PositionToPixel(*position, &pixel) == S_OK) {
        rightEdge_ = static_cast<LONGLONG>(pixel) + (Visible() + 1) / 2;
    } else {
        rightEdge_ = Extent();
    }
    Invalidate(kRedrawAll);
}

void DataPane::ZoomStep(bool in)
{
    double c = AsDouble(GetCompression());
    if (in && c > kFinestCompression) {
        c = KVO::NiceStepDown(c);
    } else if (!in && c < kCoarsestCompression) {
        c = KVO::NiceStepUp(c);
    } else {
        return;
    }
    SetCompression(KVORationalImp::FromDouble(c), nullptr, true);
}

void DataPane::SendViewNotice(const ViewCallback& first, const ViewCallback& second)
{
    if (!first && !second) {
        return;
    }
    ChartBlockPosition position;
    double tickSeconds = 0;
    double secondsPerPixel = 0;
    if (timeBase_) {
        timeBase_->PixelToPosition(rightEdge_, &position);
        timeBase_->GetBlockInfo(position.block, &secondsPerPixel, &tickSeconds);
    }
    const KVORationalImp c = GetCompression();
    const double seconds = static_cast<double>(position.tick) * tickSeconds;
    for (const ViewCallback* callback : {&first, &second}) {
        if (*callback) {
            (*callback)(0, AsDouble(c), position.block, seconds);
        }
    }
}

void DataPane::EndScroll(bool notify)
{
    thumbTracking_ = false;
    if (!notify) {
        return;
    }
    SendViewNotice(onScrollEnded, onViewPosition);
    if (onViewChanged) {
        onViewChanged(0);
    }
}

bool DataPane::OnMouseWheel(DWORD keys, LONG delta, POINT point)
{
    const LONG notches = std::abs(delta) / kWheelNotch;
    if (notches == 0) {
        return false;
    }
    if (keys & kWheelCtrl) {
        if (viewMode == 1) {
            return false;
        }
        double c = AsDouble(GetCompression());
        // One step per message, whatever the number of notches.
        if (delta > 0 && c > kFinestCompression) {
            c = KVO::NiceStepDown(c);
        } else if (delta < 0 && c < kCoarsestCompression) {
            c = KVO::NiceStepUp(c);
        } else {
            return false;
        }
        SetCompression(KVORationalImp::FromDouble(c), &point, true);
        return false;
    }
    if (!scrollBar_ || !scrollBar_->IsEnabled()) {
        return false;
    }
    const DWORD now = tickCount();
    const double rate = std::clamp(1000.0 / static_cast<double>(now - lastWheel_), 1.0, 100.0);
    lastWheel_ = now;
    Scroll(delta < 0 ? ScrollCode::LineDown : ScrollCode::LineUp, notches * rate * 0.25 * 0.125);
    return false;
}

void DataPane::Scroll(ScrollCode code, double factor)
{
    if (!scrollBar_) {
        return;
    }
    const LONGLONG oldRight = rightEdge_;
    const LONGLONG extent = Extent();
    thumbTracking_ = true;
    const PaneScrollBar::State state = scrollBar_->GetState();
    const LONG k = std::max<LONG>(scrollScale_, 1);
    const LONG maxPos = state.maximum - Visible() / k;
    LONG position = state.position;
    switch (code) {
    case ScrollCode::LineUp: position = static_cast<LONG>(state.position - scrollBar_->LineMagnitude() * factor); break;
    case ScrollCode::LineDown: position = static_cast<LONG>(state.position + scrollBar_->LineMagnitude() * factor); break;
    case ScrollCode::PageUp: position = static_cast<LONG>(state.position - scrollBar_->PageMagnitude() * factor); break;
    case ScrollCode::PageDown: position = static_cast<LONG>(state.position + scrollBar_->PageMagnitude() * factor); break;
    case ScrollCode::ThumbPosition: position = state.position; break;
    case ScrollCode::ThumbTrack: position = state.trackPosition; break;
    case ScrollCode::Top: position = state.minimum; break;
    case ScrollCode::Bottom: position = maxPos; break;
    case ScrollCode::EndScroll: EndScroll(true); return;
    }
    position = std::max(std::min(position, maxPos), state.minimum);
    {
        std::lock_guard guard(lock_);
        if (position == maxPos) {
            SetFollowNewest(true, false);
        } else if (IsFollowingNewest()) {
            SetFollowNewest(false, false);
        }
        scrollBar_->SetPosition(position, code != ScrollCode::ThumbTrack);
        rightEdge_ = std::min<LONGLONG>(static_cast<LONGLONG>(k) * position + Visible(), extent);
        ScrollBy(oldRight - rightEdge_);
        if (code != ScrollCode::ThumbTrack) {
            thumbTracking_ = false;
        }
    }
    if (onViewChanged) {
        onViewChanged(0);
    }
}

void DataPane::ScrollBy(LONGLONG delta)
{
    Notice(PaneNotice::BeforeScroll);
    DWORD kind = 0x80000000u;
    if (std::fabs(static_cast<double>(delta)) > static_cast<double>(Visible())) {
        ResetLayers();
    } else {
        const bool copy = KeepsLayerBitmaps();
        ForEachPane([&](ChildPaneBase& pane) { pane.ScrollBy(static_cast<LONG>(delta), copy); });
        kind = copy ? 0x40000000u : 0x20000000u;
    }
    if (viewMode != 1) {
        SyncVisibleRange();
    }
    Notice(PaneNotice::AfterScroll, delta, kind);
}

void DataPane::ResetLayers() { ForEachPane(ResetLayersOf); }

void DataPane::ResetLayersOf(ChildPaneBase& pane)
{
    pane.Resize(pane.rect);
    pane.InvalidateAll();
}

void DataPane::UpdateScrollBar()
{
    if (scrollBar_) {
        const LONGLONG extent = Extent();
        const LONG visible = Visible();
        if (extent > visible && timeScale_ && timeScale_->DrawerCount() > 0) {
            scrollBar_->Enable(true);
            const LONGLONG k = (extent + 1) / (LONGLONG{1} << 31) + 1;
            scrollScale_ = static_cast<LONG>(k);
            const LONG page = static_cast<LONG>((visible * 5LL / k) / 8);
            const LONG line = page / 16;
            scrollBar_->SetMagnitudes(page ? page : 1, line ? line : 1);
            PaneScrollBar::State state;
            state.maximum = static_cast<LONG>(extent / k);
            state.page = static_cast<LONG>(visible / k);
            state.position = static_cast<LONG>((rightEdge_ - visible) / k);
            scrollBar_->SetRange(state);
        } else {
            scrollBar_->Enable(false);
        }
    }
    ShowFollowingOnZoom();
    Notice(PaneNotice::ScrollRange);
    if (onViewChanged) {
        onViewChanged(0);
    }
}

void DataPane::ClampRightEdge()
{
    sweep_ = Visible();
    ResetLayers();
    const LONGLONG extent = Extent();
    if (rightEdge_ > extent) {
        rightEdge_ = extent;
    } else if (rightEdge_ < Visible()) {
        rightEdge_ = Visible() < extent ? Visible() : extent;
    }
}

void DataPane::ScrollToPosition(const ChartBlockPosition& position, LONG placement)
{
    double pixel = 0;
    if (!timeBase_ || timeBase_->PositionToPixel(position, &pixel) != S_OK) {
        return;
    }
    const LONGLONG x = static_cast<LONGLONG>(pixel) - rightEdge_ + (width_ - Margin());
    const LONGLONG visible = Visible();
    LONGLONG offset = visible / 2;
    if (placement == 0 && x > 0 && x < visible) {
        return;
    }
    // Any placement other than left (2) or right (3) centres.
    if (placement == 2) {
        offset = 0;
    } else if (placement == 3) {
        offset = visible;
    }
    const LONGLONG old = rightEdge_;
    rightEdge_ = rightEdge_ - offset + x;
    ClampRightEdge();
    UpdateScrollBar();
    ScrollBy(old - rightEdge_);
}

void DataPane::SetLeftEdgeTime(const ChartBlockPosition& position)
{
    double pixel = 0;
    if (!timeBase_ || timeBase_->PositionToPixel(position, &pixel) != S_OK) {
        return;
    }
    const LONGLONG old = rightEdge_;
    rightEdge_ = static_cast<LONGLONG>(Visible() + pixel);
    ClampRightEdge();
    UpdateScrollBar();
    ScrollBy(old - rightEdge_);
}

HRESULT DataPane::GetLeftEdgeTime(ChartBlockPosition* position) const
{
    if (!position) {
        return E_POINTER;
    }
    if (!timeBase_) {
        return E_FAIL;
    }
    const HRESULT hr = timeBase_->PixelToPosition(std::max<LONGLONG>(rightEdge_ - Visible(), 0), position);
    if (SUCCEEDED(hr)) {
        position->tick = static_cast<std::int32_t>(position->tick);
    }
    return hr;
}

void DataPane::GoToNewest()
{
    if (onGoToNewest) {
        onGoToNewest();
    }
    follow_ = true;
    const LONGLONG old = rightEdge_;
    rightEdge_ = Extent();
    ScrollBy(old - rightEdge_);
    UpdateScrollBar();
    SetFollowNewest(true, true);
}

void DataPane::SetFollowNewest(bool on, bool notify)
{
    if (on != follow_) {
        if (notify && onFollowChanged) {
            onFollowChanged(on);
        }
        follow_ = on;
    }
    ShowFollowingOnZoom();
}

void DataPane::ShowFollowingOnZoom()
{
    if (zoom_) {
        zoom_->SetFollowing(follow_);
    }
}

void DataPane::Invalidate(DWORD flags)
{
    for (ChannelPane* pane : channels_) {
        if (flags & kRedrawAll) {
            pane->InvalidateAll();
        }
    }
    if (timeScale_ && (flags & kRedrawAll)) {
        timeScale_->InvalidateAll();
    }
    ClampRightEdge();
    UpdateScrollBar();
    if (flags & 0x80000000u) {
        SyncVisibleRange();
    }
    Notice(PaneNotice::Redraw);
    RedrawControlsAndLayers();
}

void DataPane::RedrawControlsAndLayers()
{
    if (zoom_) {
        zoom_->Invalidate();
    }
    if (horizontalBar_) {
        horizontalBar_->Invalidate();
    }
    ResetLayers();
}

// ---------------------------------------------------------------------------------------------------------------
// Sampling

HRESULT DataPane::SamplingStarted(DWORD value)
{
    if (timeBase_) {
        timeBase_->SamplingStarted(value);
    }
    if (modeFlags & kModeDetached) {
        return S_OK;
    }
    live_ = true;
    firstDataPending_ = true;
    ResetLayers();
    samplingStartExtent_ = Extent();
    ForEachPane([&](ChildPaneBase& pane) { pane.OnSamplingStart(value, true); });
    Notice(PaneNotice::SamplingStarted, 0, value);
    if (!(paneFlags & kPaneFlagNoFollow)) {
        follow_ = true;
    }
    ShowFollowingOnZoom();
    // Now live: the lanes turn to the newest data (a lane waiting for an autoscale keeps what it shows).
    SyncVisibleRange();
    if (onSamplingState) {
        onSamplingState(true);
    }
    if (samplingListener_) {
        samplingListener_->SamplingStateChanged(0xFFFF);
    }
    if (jumpOnStart_ && follow_ && viewMode != 1) {
        const LONGLONG old = rightEdge_;
        rightEdge_ = Extent();
        ScrollBy(old - rightEdge_);
        UpdateScrollBar();
    }
    return S_OK;
}

HRESULT DataPane::BlockStarted(LONG block, double tickSeconds, bool continues)
{
    if (timeBase_) {
        timeBase_->BlockStarted(block, tickSeconds, continues ? TRUE : FALSE);
    }
    if (modeFlags & kModeDetached) {
        return S_OK;
    }
    blockOpen_ = true;
    blockContinues_ = continues;
    blockIndex_ = block;
    ForEachPane([&](ChildPaneBase& pane) { pane.OnNewBlock(static_cast<DWORD>(block)); });
    if (onBlockStart) {
        onBlockStart(block, continues);
    }
    lastRefresh_ = tickCount();
    return S_OK;
}

HRESULT DataPane::NewData(LONGLONG samples)
{
    LONGLONG newest = 0;
    if (timeBase_) {
        timeBase_->NewData(samples, &newest);
    }
    if (modeFlags & kModeDetached) {
        return S_OK;
    }
    if (firstDataPending_) {
        firstDataPending_ = false;
        OnFirstData();
    }
    if (live_) {
        const LONGLONG visible = Visible();
        const LONGLONG old = rightEdge_;
        if (newest < visible || IsFollowingNewest()) {
            rightEdge_ = newest;
        }
        LONGLONG d = rightEdge_ - old;
        if (d > visible) {
            d = visible;
            sweep_ = static_cast<LONG>(visible);
        } else {
            LONGLONG cursor = sweep_ + d;
            if (cursor < 1) {
                cursor = 1;
            } else if (cursor > visible) {
                cursor -= visible;
            }
            sweep_ = static_cast<LONG>(cursor);
        }
        ForEachPane([&](ChildPaneBase& pane) { pane.OnDataArrived(newest, -d, nullptr); });
        // Outside sweep display the view moves with the data: what is drawn shifts left by the advance.
        if (rightEdge_ != old && !JumpMode()) {
            ScrollBy(old - rightEdge_);
        }
        if (!(modeFlags & kModeNoObjectRefresh)) {
            const DWORD now = tickCount();
            if (now - lastRefresh_ > kRefreshInterval) {
                Notice(PaneNotice::DataArrived);
                lastRefresh_ = now;
            }
        }
        UpdateScrollBar();
        if (!IsFollowingNewest() && rightEdge_ < visible) {
            Invalidate(kRedrawAll);
        }
    }
    if (onDataPosition) {
        onDataPosition(samples);
    }
    return S_OK;
}

HRESULT DataPane::SamplingStopped(DWORD a, DWORD b)
{
    if (timeBase_) {
        timeBase_->SamplingStopped(a);
    }
    if (modeFlags & kModeDetached) {
        return S_OK;
    }
    ForEachPane([&](ChildPaneBase& pane) { pane.OnSamplingStop(static_cast<LONG>(a), static_cast<LONG>(b)); });
    blockOpen_ = false;
    if (!blockContinues_) {
        const LONGLONG extent = Extent();
        if (extent < rightEdge_) {
            const LONGLONG old = rightEdge_;
            rightEdge_ = extent;
            ScrollBy(old - extent);
            UpdateScrollBar();
        }
    }
    return S_OK;
}

HRESULT DataPane::AfterStop(bool flag)
{
    if (timeBase_) {
        timeBase_->AfterStop(flag ? TRUE : FALSE);
    }
    if (modeFlags & kModeDetached) {
        return S_OK;
    }
    const bool jump = jumpOnStart_ && IsFollowingNewest();
    sweep_ = Visible();
    if (jump) {
        ResetLayers();
    }
    live_ = false;
    const LONG flagWord = flag ? 0xFFFF : 0;
    ForEachPane([&](ChildPaneBase& pane) { pane.Notify17(flagWord); });
    Notice(PaneNotice::SamplingEnded);
    UpdateScrollBar();
    if (onViewChanged) {
        onViewChanged(0);
    }
    if (onSamplingState) {
        onSamplingState(false);
    }
    if (samplingListener_) {
        samplingListener_->SamplingStateChanged(0);
    }
    return S_OK;
}

HRESULT DataPane::RangeNotice(DWORD a, DWORD b)
{
    if (timeBase_) {
        timeBase_->RangeNotice(a, b);
    }
    if (!(modeFlags & kModeDetached)) {
        ForEachPane([&](ChildPaneBase& pane) { pane.Notify18(static_cast<LONG>(a), static_cast<LONG>(b)); });
    }
    return S_OK;
}

HRESULT DataPane::GetUpdateInterval(DWORD* milliseconds) const
{
    if (!milliseconds) {
        return E_POINTER;
    }
    *milliseconds = 100;
    return S_OK;
}

// ---------------------------------------------------------------------------------------------------------------
// Painting

TickMapping DataPane::MappingFor(const ChartBlockPosition& position, LONGLONG, LONG x0) const
{
    TickMapping mapping;
    mapping.originTick = position.tick;
    mapping.originX = x0;
    mapping.ticksPerPixel = AsDouble(GetCompression());
    mapping.record = position.block;
    return mapping;
}

void DataPane::PaintSpan(HDC dc, const RECT& clip, LONG x0, LONG x1)
{
    if (clip.right <= clip.left || clip.bottom <= clip.top) {
        return;
    }
    const LONG m = Margin();
    LONGLONG a0 = x0 - (width_ - m) + rightEdge_;
    const LONGLONG a1 = x1 - (width_ - m) + rightEdge_;
    if (a0 < 0) {
        x0 = static_cast<LONG>(x0 - a0);
        a0 = 0;
    }
    LONG liveBlock = -1;
    if (live_ && timeBase_) {
        timeBase_->GetCurrentBlock(&liveBlock);
    }
    RECT blockClip = clip;
    ChartBlockPosition position;
    LONGLONG blockEnd = 0;
    if (channels_.empty() || !timeBase_ || timeBase_->LocateBlock(a0, &position, &blockEnd) != S_OK) {
        ErasePanes(dc, true);
        return;
    }
    const bool copy = KeepsLayerBitmaps();
    for (;;) {
        DWORD flags = position.block == liveBlock ? 0x80000000u : 0x08000000u;
        flags |= extraDrawFlags | 0x02000000u;
        if (copy) {
            flags |= 0x04000000u;
        }
        const LONGLONG b = std::min(a1, blockEnd);
        const LONG xe = static_cast<LONG>(b - a0 + x0);
        blockClip.right = xe;
        const TickMapping mapping = MappingFor(position, a0, x0);
        ForEachPane([&](ChildPaneBase& pane) { pane.DrawLayers(dc, mapping, &blockClip, flags, 0, 0, 0, 7); });
        x0 = xe;
        blockClip.left = xe;
        a0 = blockEnd;
        // The loop ends when the next block would not reach past the span's start: its clip would be empty.
        if (a0 >= a1 || timeBase_->BlockStart(position.block + 1, &position, &blockEnd) != S_OK || blockEnd <= a0) {
            break;
        }
    }
    ForEachPane([&](ChildPaneBase& pane) {
        if (pane.drawn & 0xFFFF) {
            pane.ClearPending();
        }
        pane.drawn = 0;
        if (!live_) {
            for (std::uint32_t index = 0; index < pane.DrawerCount(); ++index) {
                pane.DrawerAt(index)->DropCachedData(0);
            }
        }
    });
}

void DataPane::ErasePanes(HDC dc, bool clearPending)
{
    HBRUSH brush = CreateSolidBrush(background_);
    const bool copy = KeepsLayerBitmaps();
    auto erase = [&](ChildPaneBase& pane) {
        if (!pane.IsVisibleIn(dc)) {
            return;
        }
        if (copy) {
            PaneLayer& layer = pane.Layer(0);
            if (layer.bitmap) {
                const RECT area{pane.rect.left, 0, pane.rect.right, pane.rect.bottom};
                FillRect(layer.bitmap->dc, &area, brush);
                if (clearPending) {
                    pane.ClearPending();
                    pane.drawn = 0;
                }
            }
        } else {
            FillRect(dc, &pane.rect, brush);
        }
    };
    if (timeScale_) {
        erase(*timeScale_);
    }
    if (channels_.empty()) {
        const LONG m = Margin();
        const LONG m2 = SecondMargin();
        const LONG above = timeScale_ ? height_ - (timeScale_->LabelHeight() + 2 * m2) : height_;
        const RECT empty{m, m2, width_ - m, m2 + above};
        FillRect(dc, &empty, brush);
        if (timeScale_) {
            // The empty lane gets the frame of a first lane.
            ChannelPane* frame = CreateChannelPane(0);
            frame->rect = empty;
            frame->identifier = 0x80000000u;
            frame->DrawFrame(dc);
            frame->Release();
        }
    } else {
        for (ChannelPane* pane : channels_) {
            erase(*pane);
        }
    }
    DeleteObject(brush);
}

void DataPane::PaintBlank(HDC dc)
{
    ForEachPane([&](ChildPaneBase& pane) { pane.DrawFrame(dc); });
    ErasePanes(dc, false);
}

void DataPane::PaintLayers(HDC dc, const RECT& paintRect)
{
    if (paintRect.right <= paintRect.left || paintRect.bottom <= paintRect.top) {
        return;
    }
    Broadcast([](IInteractiveObject& object) { object.BeforePaint(); });
    const bool copy = KeepsLayerBitmaps();
    const DWORD layerFlags = copy ? 0x4000000u : 0;
    LONG left = 0x7FFFFFFF;
    LONG right = -0x7FFFFFFF;
    bool anyPending = false;
    ForEachPane([&](ChildPaneBase& pane) {
        LONG x0 = 0;
        LONG x1 = 0;
        pane.ComputeUpdateSpan(&paintRect, layerFlags, &x0, &x1, true);
        if (x1 > x0) {
            left = std::min(left, x0);
            right = std::max(right, x1);
        }
        anyPending = anyPending || pane.HasPendingLayer();
    });
    const LONG m = Margin();
    if (copy) {
        if (anyPending) {
            PaintSpan(dc, RECT{m, 0, width_ - m, height_}, left, right);
        }
        DrawSweepCursor(dc);
    } else {
        PaintSpan(dc, paintRect, left, right);
    }
    Broadcast([&](IInteractiveObject& object) { object.Paint(dc, &paintRect); });
    const RECT data{m, 0, width_ - m, height_};
    const RedrawRequester redraw = [this](const RECT& rect) { InvalidateArea(rect, false); };
    if (onOverlay && onOverlay(dc, data, timeBase_.Get(), redraw)) {
        InvalidateArea(data, false);
    }
}

void DataPane::RedrawSpan(LONGLONG position, LONG, IChartMark* mark)
{
    const LONG m = Margin();
    if (Visible() == 0 || !mark) {
        return;
    }
    LONG channel = -1;
    mark->GetChannel(&channel);
    LONG lane = kAllBands;
    if (channel != -1) {
        lane = LaneOfChannel(channel, 0xC0000000u);
        if (static_cast<std::size_t>(static_cast<ULONG>(lane)) >= channels_.size()) {
            return;
        }
    }
    platform::ComPtr<IChartMarkPosition> place;
    if (FAILED(mark->QueryInterface(IID_IChartMarkPosition, place.OutVoid())) || !place) {
        return;
    }
    LONG pair[2]{0x7FFFFFFF, 0x7FFFFFFF};
    place->GetPosition(pair);
    // A mark the time base cannot place has nothing to redraw (pixel -1 would lie inside a view at the start).
    double pixel = -1.0;
    if (!timeBase_ || timeBase_->MarkToPixel(0, position, pair[1], static_cast<double>(pair[0]), &pixel) != S_OK) {
        return;
    }
    const LONGLONG x = static_cast<LONGLONG>(pixel) - rightEdge_ + (width_ - m);
    const LONGLONG e = EventExtent();
    if (x < m - e || x > width_ - m + e) {
        return;
    }
    std::lock_guard guard(lock_);
    InvalidateLaneSpan(lane, static_cast<LONG>(x - e), static_cast<LONG>(x + e));
}

LONG DataPane::EventExtent()
{
    // Measured once for the life of the pane: the widest left reach of the time scale's event drawers.
    if (eventExtent_ < 0) {
        LONG widest = 0;
        for (std::uint32_t index = 0; timeScale_ && index < timeScale_->DrawerCount(); ++index) {
            IChartRecordDrawer* drawer = timeScale_->DrawerAt(index);
            DWORD kind = 0;
            DWORD flags = 0;
            LONG left = 0;
            LONG right = 0;
            drawer->GetKind(&kind);
            if (kind >= 1025 && kind <= 1536 && SUCCEEDED(drawer->GetCapabilities(0, &flags, &left, &right, 0))) {
                widest = std::max(widest, left);
            }
        }
        eventExtent_ = widest;
    }
    return eventExtent_;
}

void DataPane::InvalidateLaneSpan(LONG lane, LONG x0, LONG x1)
{
    if ((lane == kAllBands || lane == -1) && timeScale_) {
        timeScale_->InvalidateSpan(x0, x1);
    }
    for (std::size_t index = 0; index < channels_.size(); ++index) {
        if (lane == kAllBands || lane == static_cast<LONG>(index)) {
            channels_[index]->InvalidateSpan(x0, x1);
        }
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Child-pane services

bool DataPane::GetTimeContext(TimeContext& context) const
{
    if (!timeBase_) {
        return false;
    }
    const LONGLONG left = std::max<LONGLONG>(rightEdge_ - Visible(), 0);
    ChartBlockPosition position;
    LONGLONG blockEnd = 0;
    if (timeBase_->LocateBlock(left, &position, &blockEnd) != S_OK) {
        return false;
    }
    double tickSeconds = 0;
    timeBase_->GetBlockInfo(position.block, &context.secondsPerPixel, &tickSeconds);
    context.originX = static_cast<LONG>(left - (rightEdge_ - Visible())) + Margin();
    context.secondsAtOrigin = static_cast<double>(position.tick) * tickSeconds;
    context.record = position.block;
    return context.secondsPerPixel > 0;
}

void DataPane::InvalidatePaneRect(const RECT& rect)
{
    if (onInvalidate) {
        onInvalidate(rect);
    }
}

void DataPane::ScrollPaneRect(const RECT& rect, LONGLONG)
{
    InvalidatePaneRect(rect);
}

std::optional<LONGLONG> DataPane::TimeBaseLimit() const
{
    if (!timeBase_) {
        return std::nullopt;
    }
    return Extent();
}

double DataPane::TickToX(LONGLONG pixel) const
{
    return static_cast<double>(pixel - rightEdge_ + (width_ - Margin()));
}

COLORREF DataPane::ContrastColourFor(COLORREF colour) const
{
    COLORREF background = background_;
    if (NoControlsMode() && background == RGB(0, 0, 0)) {
        background = RGB(255, 255, 255);
    }
    return ChildPaneBase::ContrastColour(colour, background);
}

} // namespace ChartDraw

namespace ChartDraw {

namespace {
constexpr double kPixelsPerMm = 3.7795276158179276;
constexpr HRESULT kBadPaneVersion = static_cast<HRESULT>(0xA0048205u);
} // namespace

bool DataPane::PreparePaint()
{
    std::lock_guard guard(lock_);
    if (!timeBase_) {
        return false;
    }
    DWORD changes = 0;
    timeBase_->GetChangeFlags(&changes);
    const DWORD combined = layoutFlags_ | changes;
    if (combined == 0) {
        return false;
    }
    if (combined & 0xFF000000u) {
        Invalidate(combined);
    }
    // Our lanes' drag scales autoscale by taking the visible data's range: a lane still waiting takes it now if it
    // can, and every wait ends with this paint.
    if (!autoscale_[0].IsEmpty() || !autoscale_[1].IsEmpty()) {
        SyncVisibleRange();
        autoscale_ = {};
    }
    timeBase_->AcknowledgeChanges(combined);
    layoutFlags_ &= ~combined;
    return true;
}

void DataPane::DrawLayer(int layer, bool whole, DWORD drawFlags, HDC dc, LONG lane, bool mark)
{
    std::lock_guard guard(lock_);
    const LONG m = Margin();
    const RECT dataRect{m, 0, width_ - m, height_};
    LONG x0 = m;
    LONGLONG a0 = x0 - (width_ - m) + rightEdge_;
    const LONGLONG a1 = rightEdge_;
    if (a0 < 0) {
        x0 = static_cast<LONG>(x0 - a0);
        a0 = 0;
    }
    if (!dc && KeepsLayerBitmaps()) {
        drawFlags |= 0x04000000u;
    }
    if (!whole) {
        drawFlags |= 0x00400000u;
    }
    const bool known = lane >= 0 && static_cast<std::size_t>(lane) < channels_.size();
    if (layer == 0) {
        if (dc && KeepsLayerBitmaps()) {
            if (lane == -1) {
                DrawSweepCursor(dc);
            } else if (known) {
                channels_[lane]->Paint(dc, sweep_, JumpMode());
            }
        }
        return;
    }
    ChartBlockPosition position;
    LONGLONG blockEnd = 0;
    if (!timeBase_ || timeBase_->LocateBlock(a0, &position, &blockEnd) != S_OK) {
        return;
    }
    const LONGLONG b = std::min(a1, blockEnd);
    RECT clip = dataRect;
    clip.right = static_cast<LONG>(b - a0 + x0);
    const TickMapping mapping = MappingFor(position, a0, x0);
    for (std::size_t index = 0; index < channels_.size(); ++index) {
        if (lane != -1 && static_cast<LONG>(index) != lane) {
            continue;
        }
        ChannelPane& pane = *channels_[index];
        if (layer < ChildPaneBase::kLayers) {
            PaneLayer& record = pane.Layer(layer);
            record.pending = pane.LayerSetRect();
            if (mark) {
                record.Mark();
            }
        }
        pane.ComputeUpdateSpan(nullptr, drawFlags, nullptr, nullptr, dc != nullptr);
        pane.DrawLayers(dc, mapping, &clip, drawFlags, 0, 0, layer, layer);
    }
}

HRESULT DataPane::GetVisibleTimeRange(ChartBlockPosition* start, ChartBlockPosition* end) const
{
    if (!timeBase_ || !start || !end) {
        return E_POINTER;
    }
    LONGLONG extent = 0;
    if (FAILED(timeBase_->GetExtent(&extent)) || extent <= 0) {
        return S_FALSE;
    }
    const LONGLONG view = Visible();
    const HRESULT left = timeBase_->PixelToPosition(rightEdge_ - view, start);
    const HRESULT right = timeBase_->PixelToPosition(rightEdge_, end);
    return FAILED(left) ? left : right;
}

HRESULT DataPane::Load(IStream* stream)
{
    if (!stream) {
        return E_POINTER;
    }
    DWORD version = 0;
    if (const HRESULT hr = ReadStateBytes(stream, &version, sizeof version); hr != S_OK) {
        return hr;
    }
    if (version > 2) {
        throw XKVO(kBadPaneVersion);
    }
    if (version == 2) {
        if (const HRESULT hr = LoadObjects(stream); FAILED(hr)) {
            return hr;
        }
        for (ChannelPane* pane : channels_) {
            if (const HRESULT hr = pane->ReadState(stream); hr != S_OK) {
                return hr;
            }
        }
    }
    return S_OK;
}

HRESULT DataPane::Save(IStream* stream)
{
    if (!stream) {
        return E_POINTER;
    }
    const DWORD version = 2;
    if (const HRESULT hr = stream->Write(&version, sizeof version, nullptr); FAILED(hr)) {
        return hr;
    }
    if (const HRESULT hr = SaveObjects(stream); FAILED(hr)) {
        return hr;
    }
    for (ChannelPane* pane : channels_) {
        if (const HRESULT hr = pane->WriteState(stream); FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

ChannelPane* DataPane::Services::LaneAt(LONG index) const
{
    return index >= 0 && static_cast<std::size_t>(index) < pane_.channels_.size() ? pane_.channels_[index] : nullptr;
}

HRESULT DataPane::Services::QueryInterface(REFIID iid, void** out) { return pane_.QueryFace(iid, out); }

HRESULT DataPane::QueryFace(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown) {
        *out = static_cast<IUnknown*>(&services_);
    } else if (iid == IID_IKVOChartLanes) {
        *out = static_cast<IKVOChartLanes*>(&lanes_);
    } else if (iid == IID_ICommentsObserver) {
        *out = static_cast<ICommentsObserver*>(&comments_);
    }
    return *out ? S_OK : E_NOINTERFACE;
}

HRESULT DataPane::Services::GetPrintWord(LONG, DWORD* word)
{
    if (!word) {
        return E_POINTER;
    }
    *word = pane_.printWord_;
    return S_OK;
}

HRESULT DataPane::Services::GetPixelsPerMmX(LONG, LONG, double* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = kPixelsPerMm;
    return S_OK;
}

HRESULT DataPane::Services::GetPixelsPerMmY(LONG a, LONG b, double* out) { return GetPixelsPerMmX(a, b, out); }

HRESULT DataPane::Services::GetDeviceScale(LONG, double* x, double* y)
{
    if (!x || !y) {
        return E_POINTER;
    }
    *x = *y = 1.0;
    if (pane_.printWord_) {
        GetPixelsPerMmX(static_cast<LONG>(pane_.printWord_), 0, x);
        GetPixelsPerMmY(static_cast<LONG>(pane_.printWord_), 0, y);
        *x /= kPixelsPerMm;
        *y /= kPixelsPerMm;
    }
    return S_OK;
}

HRESULT DataPane::Services::GetNoControlsMode(LONG, WORD* on)
{
    const bool noControls = pane_.NoControlsMode();
    if (!on) {
        return noControls ? 0 : 1;
    }
    *on = noControls ? 0xFFFF : 0;
    return S_OK;
}

HRESULT DataPane::Services::SetLayerOpacity(LONG lane, LONG layerCode, LONG value)
{
    ChannelPane* pane = LaneAt(lane);
    const LONG layer = layerCode / 256;
    if (!pane || layer < 0 || layer >= ChildPaneBase::kLayers) {
        return E_INVALIDARG;
    }
    PaneLayer& record = pane->Layer(layer);
    record.alpha = static_cast<BYTE>(value);
    if (value != 255) {
        record.flags &= ~PaneLayer::kWhiteTransparent;
    }
    return S_OK;
}

HRESULT DataPane::Services::GetDataRect(LONG index, RECT* rect)
{
    if (!rect) {
        return E_POINTER;
    }
    *rect = RECT{pane_.Margin(), 0, pane_.width_ - pane_.Margin(), pane_.height_};
    if (index >= 0) {
        return S_OK;
    }
    for (auto it = pane_.channels_.rbegin(); it != pane_.channels_.rend(); ++it) {
        if ((*it)->rect.bottom - (*it)->rect.top > 12) {
            rect->bottom = (*it)->rect.bottom;
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT DataPane::Services::Redraw(LONG index, const RECT* rect)
{
    if (index >= 0) {
        if (rect) {
            pane_.InvalidatePaneRect(*rect);
        }
    } else {
        pane_.RedrawControlsAndLayers();
    }
    return S_OK;
}

HRESULT DataPane::Services::IsLive() { return pane_.live_ ? S_OK : S_FALSE; }

HRESULT DataPane::Services::FollowsNewest() { return pane_.IsFollowingNewest() ? S_OK : S_FALSE; }

HRESULT DataPane::Services::GetBackgroundColour(COLORREF* colour)
{
    if (!colour) {
        return E_POINTER;
    }
    *colour = pane_.NoControlsMode() && pane_.background_ == RGB(0, 0, 0) ? RGB(255, 255, 255) : pane_.background_;
    return S_OK;
}

HRESULT DataPane::Services::GetContrastColour(COLORREF value, COLORREF* colour)
{
    if (!colour) {
        return E_POINTER;
    }
    *colour = pane_.ContrastColourFor(value);
    return S_OK;
}

HRESULT DataPane::Services::GetLaneSelectors(LONG index, LONG, LONG pair[2])
{
    ChannelPane* pane = LaneAt(index);
    if (!pane || !pair) {
        return E_INVALIDARG;
    }
    const LONG* chosen = pane->lane1Selector[0] < 0 ? pane->lane2Selector : pane->lane1Selector;
    pair[0] = chosen[0];
    pair[1] = chosen[1];
    return S_OK;
}

HRESULT DataPane::Services::GetLaneInformation(LONG index, LONG lane, IUnknown** out)
{
    if (pane_.lanesRedirection_) {
        return pane_.lanesRedirection_->GetLaneInformation(index, lane, out);
    }
    ChannelPane* pane = LaneAt(index);
    if (!pane || !out) {
        return E_INVALIDARG;
    }
    IScaleControl* scale = nullptr;
    pane->GetScaleForLane(lane, &scale);
    *out = scale;
    return S_OK;
}

HRESULT DataPane::Services::QueryLaneUnits(LONG index, LONG record, double range[2], LONG*, LONG*, LONG*, LONG*,
                                           LONG*)
{
    ChannelPane* pane = LaneAt(index);
    if (!pane) {
        return E_INVALIDARG;
    }
    ChannelPane::LaneUnits units;
    if (!pane->QueryLaneUnits(1, pane->unitChannel, record, units, pane->lane1Selector)) {
        return S_FALSE;
    }
    if (range) {
        range[0] = units.range[0];
        range[1] = units.range[1];
    }
    return S_OK;
}

HRESULT DataPane::Services::GetChannelWord(LONG index, DWORD* word)
{
    ChannelPane* pane = LaneAt(index);
    if (!pane || !word) {
        return E_INVALIDARG;
    }
    *word = pane->unitChannel;
    return S_OK;
}

HRESULT DataPane::Services::GetFlags(DWORD* word, DWORD* modeFlags)
{
    if (word) {
        *word = pane_.unitChannel;
    }
    if (modeFlags) {
        *modeFlags = pane_.modeFlags;
    }
    return S_OK;
}

} // namespace ChartDraw
