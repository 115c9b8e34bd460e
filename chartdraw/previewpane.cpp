#include "chartdraw/previewpane.h"

#include "foundation/defaultcolours.h"
#include "foundation/kvostorage.h"
#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "platform/win/msgbox.h"

#include <algorithm>
#include <cmath>

namespace ChartDraw {
namespace {
constexpr DWORD kAllChannels = 0x80000000u;
constexpr HRESULT kStartCancelled = static_cast<HRESULT>(0xA004820Fu);

}

PreviewDataPane::PreviewDataPane(IUnknown* hostData) : hostData_(hostData)
{
    if (hostData_) {
        SetDataSource(kAllChannels, hostData_.Get(), nullptr);
    }
}

// The bars go before the pane's own controls.
PreviewDataPane::~PreviewDataPane()
{
    traceBar_.reset();
    controlBar_.reset();
}

void PreviewDataPane::SetOptions(DWORD options, std::function<void(int)> callback)
{
    options_ = options;
    traceModeCallback_ = std::move(callback);
}

void PreviewDataPane::ChannelSelectors(LONG index, LONG pair[2]) const
{
    pair[0] = index >= 0 && index < ChannelCount() ? index : static_cast<LONG>(0x80000000u);
    pair[1] = static_cast<LONG>(0xC0000000u);
}

HRESULT PreviewDataPane::AttachSamplingControl(ISamplingControl* control)
{
    if (!control && state_ != ShowingHostData) {
        if (auto* bar = dynamic_cast<PreviewControlWin*>(controlBar_.get())) {
            bar->ShowChartView();
        } else {
            ShowHostData();
        }
    }
    if (previewSource_ && control_) {
        control_->DetachRecording(previewSource_.Get());
        if (control) {
            control->AttachRecording(previewSource_.Get());
        }
    }
    control_ = control;
    if (controlBar_) {
        controlBar_->Enable(true);
        if (auto* bar = dynamic_cast<PreviewControlWin*>(controlBar_.get())) {
            bar->IdleAction(0); // the sampling buttons follow the control's presence
        }
        LayoutControls(); // and the bar's size its texts
    }
    return S_OK;
}

HRESULT PreviewDataPane::StartSampling()
{
    if (!previewSource_ || !control_) {
        return E_FAIL;
    }
    if (control_->IsSampling() == S_OK) {
        return S_FALSE;
    }
    control_->SelectChannels(0, kAllChannels, 1);
    BOOL allowed = FALSE;
    KVO::String message;
    control_->Prepare(&allowed, KVOString::OutParam(message));
    return allowed ? control_->Start(0.0, KVOString::OutParam(message)) : E_FAIL;
}

HRESULT PreviewDataPane::StopSampling()
{
    if (!previewSource_ || !control_ || control_->IsSampling() != S_OK) {
        return S_FALSE;
    }
    const HRESULT hr = control_->Stop();
    UpdateScrollBar();
    return hr;
}

void PreviewDataPane::StopSamplingNow()
{
    if (control_) {
        control_->Stop();
    }
}

HRESULT PreviewDataPane::SetDataSource(DWORD, IUnknown* source, const LONGLONG* rightEdge)
{
    platform::ComPtr<IPreviewData> data;
    platform::ComPtr<IChartTimeBase> timeBase;
    if (source && SUCCEEDED(source->QueryInterface(IID_IPreviewData, data.OutVoid()))) {
        data->GetTimeBase(timeBase.Out());
    }
    SetTimeBase(timeBase.Get());
    SetRightEdge(rightEdge ? *rightEdge : Extent());
    return timeBase ? S_OK : E_NOINTERFACE;
}

void PreviewDataPane::CreateBars()
{
    controlBar_.reset();
    controlBar_ = MakeControlBar();
    if (options_ & kOptionTraceBar) {
        traceBar_.reset();
        traceBar_ = MakeTraceControlBar();
    }
    DataPane::CreateBars();
    if (controlBar_) {
        AttachSamplingControl(control_.Get());
    }
}

void PreviewDataPane::SetTopMargin()
{
    SIZE size{0, 0};
    if (controlBar_) {
        controlBar_->GetDesiredSize(size);
        topMargin_ = (paneFlags & kPaneFlagBar) ? size.cy + 5 : 0;
    }
}

void PreviewDataPane::LayoutControls()
{
    DataPane::LayoutControls();
    SIZE zoom{0, 0};
    if (Zoom()) {
        Zoom()->GetDesiredSize(zoom);
    }
    const LONG barTop = FrameOrigin().y + Height() + 1;
    if (controlBar_) {
        SIZE size{0, 0};
        controlBar_->GetDesiredSize(size);
        const LONG left = FrameOrigin().x + Margin();
        const LONG top = barTop + zoom.cy;
        controlBar_->Move(RECT{left, top, left + size.cx, top + size.cy});
    }
    if (traceBar_ && Width() > 0) {
        SIZE size{0, 0};
        traceBar_->GetDesiredSize(size);
        // A margin narrower than the bar clips it to the margin; no margin hides it.
        const LONG width = std::min<LONG>(size.cx, std::max<LONG>(rightMargin, 0));
        const LONG left = FrameOrigin().x + Width();
        traceBar_->Move(RECT{left, barTop, left + width, barTop + (width > 0 ? size.cy : 0)});
    }
}

void PreviewDataPane::ShowBarState()
{
    if (auto* bar = dynamic_cast<PreviewControlWin*>(controlBar_.get())) {
        bar->ShowState(state_);
    }
}

void PreviewDataPane::SetSamplingState(LONG code)
{
    if (!control_) {
        return;
    }
    if (code == ApplyAgain) {
        code = state_;
        state_ = ApplyAgain;
    }
    if (state_ == code) {
        return;
    }
    const LONG previous = state_ == ApplyAgain ? code : state_;
    switch (code) {
    case ShowingHostData:
        control_->Stop();
        if (previewSource_) {
            control_->DetachRecording(previewSource_.Get());
        }
        previewSource_.Reset();
        SetDataSource(kAllChannels, hostData_.Get(), &savedRightEdge_);
        break;
    case Sampling: {
        bool madeSource = false;
        if (!previewSource_) {
            platform::ComPtr<IPreviewData> data;
            platform::ComPtr<IUnknown> source;
            if (hostData_ && SUCCEEDED(hostData_->QueryInterface(IID_IPreviewData, data.OutVoid())) &&
                SUCCEEDED(data->CreateRecordingSource(0, source.Out())) && source) {
                platform::ComPtr<IStorage> storage;
                platform::ComPtr<IRecordingStorage> keeper;
                if (SUCCEEDED(KVOStorage::CreateOnFile(u"", storage.Out())) &&
                    SUCCEEDED(source->QueryInterface(IID_IRecordingStorage, keeper.OutVoid()))) {
                    keeper->SetStorage(storage.Get());
                }
                platform::ComPtr<IUnknown> target;
                if (SUCCEEDED(source->QueryInterface(IID_IRecordingTarget, target.OutVoid()))) {
                    control_->AttachRecording(target.Get());
                }
                savedRightEdge_ = RightEdge();
                previewSource_ = source;
                madeSource = true;
                SetDataSource(kAllChannels, source.Get(), nullptr);
            }
        }
        control_->SelectChannels(0, kAllChannels, 1);
        BOOL allowed = FALSE;
        KVO::String message;
        control_->Prepare(&allowed, KVOString::OutParam(message));
        HRESULT hr = E_FAIL;
        if (allowed) {
            hr = control_->Start(0.0, KVOString::OutParam(message));
        }
        if (hr != S_OK && hr != kStartCancelled) {
            const KVO::String& text = message.IsEmpty() ? ChartText(StringId::CannotStartSampling) : message;
            MessageBoxW(nullptr, text.c_str(), ChartText(StringId::HostCaption).c_str(), 0x2010);
        }
        if (hr != S_OK) {
            // The pane goes back to what it showed before, instead of claiming a sampling state.
            if (previous == ShowingHostData || madeSource) {
                control_->Stop();
                if (previewSource_) {
                    control_->DetachRecording(previewSource_.Get());
                }
                previewSource_.Reset();
                SetDataSource(kAllChannels, hostData_.Get(), &savedRightEdge_);
                state_ = ShowingHostData;
            } else {
                state_ = previous;
            }
            ShowBarState();
            return;
        }
        break;
    }
    case Paused: control_->Stop(); break;
    default: break;
    }
    state_ = code;
}

void PreviewDataPane::SetStateAndNotify(LONG state)
{
    SetSamplingState(state);
    const ChangeNotice notice{state == ShowingHostData ? 0 : 1,
                              state == ShowingHostData ? hostData_.Get() : previewSource_.Get()};
    SendToObservers(PreviewChangeMessageId(), &notice, sizeof notice);
}

void PreviewDataPane::OnTraceCommand(UINT command, DWORD flags)
{
    ChannelPane* lane = LaneCount() > 0 ? Lane(0) : nullptr;
    switch (command) {
    case 2:
        if (lane) {
            lane->RequestAutoscale(1);
            lane->RequestAutoscale(2);
            StackLane(*lane, 1);
            StackLane(*lane, 2);
        }
        break;
    case 4:
        if (lane) {
            lane->RequestAutoscale(1);
            lane->RequestAutoscale(2);
        }
        break;
    case 8:
        if (flags & 1) {
            if (lane) {
                lane->RequestAutoscale(1);
            }
            NotifyTraceMode(0);
            DataPane::Invalidate(0xFF000000u);
        } else if (flags & 2) {
            NotifyTraceMode(1);
            DataPane::Invalidate(0xFF000000u);
        }
        break;
    default: break;
    }
}

void PreviewDataPane::StackLane(ChannelPane& lane, LONG which)
{
    double low = 0;
    double high = 0;
    GetTraceRange(which, &low, &high);
    // Without data the ends stay at their extremes; a range that is not finite would wreck the scale.
    if (!std::isfinite(low) || !std::isfinite(high) || low > high) {
        return;
    }
    const double span = high - low;
    if (!std::isfinite(span)) {
        return;
    }
    // Lane 1 keeps its trace in the upper half, lane 2 in the lower half.
    if (which == 1) {
        lane.ApplyLaneRange(1, low - span, high, true, true);
    } else {
        lane.ApplyLaneRange(2, low, high + span, true, true);
    }
}

void PreviewDataPane::NotifyTraceMode(int value)
{
    if (traceModeCallback_) {
        traceModeCallback_(value % 256);
    }
}

// ---------------------------------------------------------------------------------------------------------------
// The windows

std::unique_ptr<PreviewControl> PreviewDataWin::MakeControlBar()
{
    if (!Parent) {
        return nullptr;
    }
    auto bar = std::make_unique<PreviewControlWin>(Parent, this, 0);
    if (Parent->GetHandle() && !bar->Create()) {
        return nullptr;
    }
    return bar;
}

PreviewDataWinWButtons::PreviewDataWinWButtons(owl::TWindow* parent, IUnknown* hostData)
    : PreviewDataWin(parent, hostData)
{
    SetOptions(15, [this](int flag) {
        laneTwoShown_ = flag != 0;
        Reregister();
    });
}

std::unique_ptr<PreviewControl> PreviewDataWinWButtons::MakeTraceControlBar()
{
    if (!Parent) {
        return nullptr;
    }
    auto bar = std::make_unique<TraceControlWin>(Parent, this, 15);
    if (Parent->GetHandle() && !bar->Create()) {
        return nullptr;
    }
    return bar;
}

HRESULT PreviewDataWinWButtons::AddTraceDrawer(IChartRecordDrawer* drawer)
{
    if (!drawer) {
        return E_POINTER;
    }
    LONG lane = 0;
    drawer->GetLane(&lane);
    items_.push_back(TraceDrawerItem{0, 0, drawer, lane == 2});
    HRESULT hr = S_OK;
    if ((laneTwoShown_ || lane != 2) && LaneCount() > 0) {
        hr = Lane(0)->AddDrawer(0, drawer, 255);
    }
    const bool anyLaneTwo = std::any_of(items_.begin(), items_.end(), [](const auto& item) { return item.laneTwo; });
    if (anyLaneTwo && TraceBar()) {
        TraceBar()->SetAvailableModes(15);
    }
    // Lane 2's scale shows only while some trace is drawn against it.
    platform::ComPtr<IUnknown> scale;
    if (SUCCEEDED(GetLaneScale(0, 0, 2, scale.Out())) && scale) {
        platform::ComPtr<ILaneDisplay> display;
        if (SUCCEEDED(scale->QueryInterface(IID_ILaneDisplay, display.OutVoid())) && display) {
            display->ShowLane(anyLaneTwo ? -1 : 0);
        }
    }
    return hr;
}

HRESULT PreviewDataWinWButtons::RemoveAllTraceDrawers()
{
    HRESULT hr = S_OK;
    if (LaneCount() > 0) {
        hr = Lane(0)->RemoveDrawers(0, kNoAlternateChannel, kNoAlternateSelector);
    }
    items_.clear();
    if (TraceBar()) {
        TraceBar()->SetAvailableModes(0);
    }
    return hr;
}

void PreviewDataWinWButtons::Reregister()
{
    if (LaneCount() > 0) {
        Lane(0)->RemoveDrawers(0, kNoAlternateChannel, kNoAlternateSelector);
    }
    DataPane::Invalidate(0xFF000000u);
    for (const TraceDrawerItem& item : items_) {
        if (item.laneTwo && !laneTwoShown_) {
            continue;
        }
        if (static_cast<std::size_t>(item.paneIndex) < LaneCount()) {
            Lane(static_cast<std::size_t>(item.paneIndex))->AddDrawer(0, item.drawer.Get(), 255);
        }
    }
}

} // namespace ChartDraw

// ---------------------------------------------------------------------------------------------------------------
// The preview pane base

namespace ExtLib {

PreviewPaneBase::~PreviewPaneBase()
{
    control_.Reset();
    data_.Reset();
    if (window_) {
        window_->Destroy();
        delete window_;
    }
}

void PreviewPaneBase::Create(IUnknown* document, IUnknown* source, owl::TWindow* parent)
{
    source_ = source;
    parent_ = parent;
    document_ = nullptr;
    platform::ComPtr<IPreviewDocument> doc;
    if (document && SUCCEEDED(document->QueryInterface(IID_IPreviewDocument, doc.OutVoid()))) {
        document_ = doc.Get(); // not referenced: the document outlives its settings page
    }
    data_.Reset();
    platform::ComPtr<IPreviewData> data;
    if (source && SUCCEEDED(source->QueryInterface(IID_IPreviewData, data.OutVoid()))) {
        data_ = static_cast<IUnknown*>(data.Get());
    }
    if (window_) {
        window_->Destroy();
        delete window_;
    }
    window_ = new ChartDraw::PreviewDataWinWButtons(parent, data_.Get());
    if (document_) {
        LONG value = 2;
        if (document_->GetDisplayValue(&value) != S_OK) {
            value = 2;
        }
        displayValue_ = value;
        LoadDisplayProperties();
        platform::ComPtr<ISamplingService> service;
        WORD busy = 1;
        LONG channels = 0;
        if (SUCCEEDED(document_->GetSamplingService(service.Out())) && service &&
            SUCCEEDED(service->GetState(&busy, &channels)) && busy == 0 && channels >= 1 &&
            SUCCEEDED(service->GetControl(control_.Out())) && control_) {
            control_->SelectChannels(0, 0x80000000u, 1);
            window_->AttachSamplingControl(control_.Get());
        }
        LONG metrics[3]{0, 0, 0};
        document_->GetPaneMetrics(metrics);
        sizeMetric_ = std::max<LONG>({metrics[0], metrics[1], metrics[2], 16});
    }
    created_ = true;
}

void PreviewPaneBase::LoadDisplayProperties()
{
    if (!document_) {
        return;
    }
    LONG index = 0;
    if (SUCCEEDED(document_->GetDisplayProperty(kDisplayTraceColour, &index))) {
        const COLORREF* table = nullptr;
        LONG count = 0;
        if (document_->GetColourTable(&table, &count) != S_OK || !table || count <= 0) {
            traceColour_ = KVO::GetDefaultTraceColor(nullptr, index);
        } else if (index >= 0 && index < count) {
            traceColour_ = table[index];
        }
    }
    document_->GetDisplayProperty(kDisplayValue, &displayValue_);
    LONG flag = 1;
    if (SUCCEEDED(document_->GetDisplayProperty(kDisplayFlag, &flag))) {
        displayFlag_ = flag != 0;
    }
}

void PreviewPaneBase::PlaceOverControl(LONG mode)
{
    mode_ = mode;
    if (!window_ || !parent_ || !parent_->GetHandle()) {
        return;
    }
    HWND placeholder = ::GetDlgItem(parent_->GetHandle(), kPlaceholderId);
    if (!placeholder) {
        return;
    }
    RECT rect{};
    ::GetWindowRect(placeholder, &rect);
    ::MapWindowPoints(nullptr, parent_->GetHandle(), reinterpret_cast<POINT*>(&rect), 2);
    window_->SetTopMargin();
    rect.top += window_->TopMargin();
    window_->Attr.X = rect.left;
    window_->Attr.Y = rect.top;
    window_->Attr.W = rect.right - rect.left;
    window_->Attr.H = rect.bottom - rect.top;
    if (window_->GetHandle()) {
        window_->MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, true);
    } else {
        window_->Create();
    }
}

void PreviewPaneBase::SetTimeCompression(double ratio, LONGLONG tick, LONG block)
{
    if (!window_) {
        return;
    }
    window_->SetCompression(KVORationalImp::FromDouble(ratio), nullptr, false);
    window_->SetLeftEdgeTime(ChartBlockPosition{tick, block});
}

void PreviewPaneBase::SetVerticalRange(bool laneTwo, std::optional<std::array<double, 2>> range)
{
    if (!window_) {
        return;
    }
    const LONG lane = laneTwo ? 2 : 1;
    WORD pending = 0;
    if (SUCCEEDED(window_->IsAutoscalePending(lane, &pending)) && pending) {
        window_->AutoscaleLane(0, lane);
    } else if (range) {
        SetExplicitRange(laneTwo, *range);
    }
    if (range && window_->LaneCount() > 0) {
        window_->Lane(0)->ApplyLaneRange(lane, (*range)[0], (*range)[1], true, true);
    }
}

void PreviewPaneBase::SetExplicitRange(bool laneTwo, const std::array<double, 2>& range)
{
    if (window_ && window_->LaneCount() > 0) {
        ChartDraw::ChannelPane* lane = window_->Lane(0);
        const LONG index = laneTwo ? 2 : 1;
        lane->SetLaneRange(index, range[0], range[1]);
        lane->ApplyLaneRange(index, range[0], range[1], true, true);
    }
}

void PreviewPaneBase::SetUnitPrefix(bool laneTwo, LONG prefix)
{
    const LONG lane = laneTwo ? 2 : 1;
    platform::ComPtr<IUnknown> scale;
    if (!window_ || FAILED(window_->GetLaneScale(0, 0, lane, scale.Out())) || !scale || window_->LaneCount() == 0) {
        return;
    }
    window_->Lane(0)->SetLanePrefix(lane, prefix);
    // The prefixed unit text may change the strips beside the lanes.
    window_->LayoutLanes();
}

void PreviewPaneBase::SetLiveData(bool on)
{
    if (window_) {
        window_->AttachSamplingControl(on ? control_.Get() : nullptr);
    }
}

KVO::String PreviewPaneBase::ChannelToken(LONG index)
{
    return KVO::String(u"ch" + [](long long n) {
        std::u16string text;
        const std::string digits = std::to_string(n);
        return std::u16string(digits.begin(), digits.end());
    }(static_cast<long long>(index) + 1));
}

} // namespace ExtLib
