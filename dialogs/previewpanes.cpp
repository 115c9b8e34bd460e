#include "foundation/comobject.h"
#include "dialogs/previewpanes.h"

#include "chartdraw/graticule.h"
#include "dialogs/settingsdlg.h"
#include "document/expressionbuilder.h"
#include "document/messageids.h"
#include "document/settingids.h"
#include "document/settingsset.h"
#include "foundation/rational.h"
#include "frame/channeltoken.h"
#include "frame/enumgetter.h"
#include "platform/com/oleauto.h"
#include "sdk/analysishost.h"
#include "sdk/channeltoken.h"
#include "sdk/chartdata.h"
#include "sdk/datasource.h"
#include "sdk/recording.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace CX {

namespace SettingId = Doc::SettingId;

namespace {
constexpr LONG kFormulaKind = 4;
constexpr DWORD kAllLanes = 0x80000000u;
constexpr COLORREF kDefaultTraceColour = RGB(255, 0, 128);
constexpr COLORREF kTransformedColour = RGB(0, 0, 0);

KVO::String Held(IKVOString* text)
{
    KVO::String result;
    if (text) {
        text->AddRef();
        result.AttachInterface(text);
    }
    return result;
}


// The detection settings' mapping of a unit (display or output); false when they give none.
template <class Map>
bool MapUnits(const KVO::PrefixedUnit& unit, Map map, KVO::PrefixedUnit& mapped)
{
    BSTR text = nullptr;
    LONG prefix = unit.PrefixIndex();
    if (FAILED(map(unit.Base().c_str(), unit.PrefixIndex(), &text, &prefix))) {
        SysFreeString(text);
        return false;
    }
    mapped = KVO::PrefixedUnit(KVO::TakeBstr(text), KVO::UnitPrefixIndex{static_cast<int>(prefix)});
    return true;
}

KVO::String Token(std::int32_t channel) { return ExtLib::PreviewPaneBase::ChannelToken(channel); }
} // namespace

HRESULT SourceMapper::MapUnit(IKVOString** out, IKVOString* unit, LONG, LONG*)
{
    if (!out) {
        return E_POINTER;
    }
    *out = unit;
    if (unit) {
        unit->AddRef();
    }
    return S_OK;
}

HRESULT PPPNUN::MapUnit(IKVOString** out, IKVOString* unit, LONG, LONG* extra)
{
    if (!out) {
        return E_POINTER;
    }
    KVO::String text(u"?");
    if (detection_) {
        const KVO::String given = Held(unit);
        const KVO::PrefixedUnit source(std::u16string(given.c_str()));
        KVO::PrefixedUnit mapped;
        if (MapUnits(source, [&](const WCHAR* u, LONG p, BSTR* o, LONG* op) {
                return detection_->MapDisplayUnits(u, p, o, op);
            }, mapped)) {
            text = KVO::String(mapped.Text().c_str());
            if (extra) {
                *extra = mapped.PrefixIndex();
            }
        }
    }
    *out = text.GetInterface();
    return S_OK;
}

// ---- base ----

CXPreviewBase::CXPreviewBase(IUnknown* hostDocument, IUnknown* source, owl::TWindow* parent,
                             Doc::SettingsSet* settings)
    : hostDocument_(hostDocument), source_(source), settings_(settings)
{
    Create(hostDocument, source, parent);
    if (source && FAILED(source->QueryInterface(IID_IChartDocument, chartData_.OutVoid()))) {
        chartData_.Reset();
    }
    platform::ComPtr<IChannelNaming> naming;
    if (chartData_ && settings_ && SUCCEEDED(chartData_->QueryInterface(IID_IChannelNaming, naming.OutVoid())) &&
        naming) {
        tracePair_ = {settings_->GetLong(SettingId::kDetectorStageChannel), kFormulaKind};
        eventPair_ = {settings_->GetLong(SettingId::kEventChainChannel), kFormulaKind};
    }
}

CXPreviewBase::~CXPreviewBase() = default;

ILMDetectionSettings* CXPreviewBase::Detection() const
{
    return settings_ ? settings_->DetectionSettingsObject() : nullptr;
}

bool CXPreviewBase::Store(PreviewState state)
{
    state.valid = true;
    if (state == state_) {
        return false;
    }
    state_ = std::move(state);
    return true;
}

void CXPreviewBase::AddDrawer(ChartDraw::DrawerBase* drawer)
{
    drawer->AddRef();
    if (Window()) {
        Window()->AddTraceDrawer(drawer);
    }
    // The drawers read the host's chart data through the source the preview shows.
    drawer->SetDataSource(0, source_.Get());
    drawer->Release();
}

bool CXPreviewBase::StopSampling()
{
    ChartDraw::PreviewDataWinWButtons* window = Window();
    if (!window || !window->SamplingControl() || window->SamplingControl()->IsSampling() != S_OK) {
        return false;
    }
    window->SamplingControl()->Stop();
    window->UpdateScrollBar();
    return true;
}

void CXPreviewBase::StartSampling()
{
    if (Window()) {
        Window()->StartSampling();
    }
}

void CXPreviewBase::ReadSource(PreviewState& state)
{
    state.sourceChannel = settings_ ? settings_->GetLong(SettingId::kSourceChannel) : 0;
    platform::ComPtr<IDataSource> data;
    if (source_) {
        source_->QueryInterface(IID_IDataSource, data.OutVoid());
    }
    sourceHasUnits_ = ExtLib::GetEnumUnitNameEx(data.Get(), 0, state.sourceChannel, state.sourceUnit, true);
}

void CXPreviewBase::BaseDrawerSetUp()
{
    ++builds_;
    if (Window()) {
        Window()->RemoveAllTraceDrawers();
    }
    const std::int32_t source = state_.sourceChannel;
    AddDrawer(new ChartDraw::GraticuleDrawer(0, 0, 0, RGB(192, 192, 192), 0, source, kSourceValueKind));
    if (!sourceHasUnits_) {
        return;
    }
    const bool wasSampling = StopSampling();
    PushTexts(chartData_.Get());
    if (Window() && Window()->PreviewSource()) {
        platform::ComPtr<IUnknown> sampled;
        if (SUCCEEDED(Window()->PreviewSource()->QueryInterface(IID_IChartDocument, sampled.OutVoid())) && sampled) {
            PushTexts(sampled.Get());
        }
    }
    if (wasSampling) {
        StartSampling();
    }
    const COLORREF colour = hostDocument_ && TraceColour() != RGB(0, 0, 0) ? TraceColour() : kDefaultTraceColour;
    AddDrawer(new ChartDraw::CustomUnitsPolyLineTraceDrawer(std::make_unique<SourceMapper>(source), 1, &colour, 0,
                                                            ChartDraw::kKindTrace, source, kSourceValueKind));
    if (Window()) {
        Window()->SetLaneScale(colour, 1, true); // the lane's scale shows the trace's colour
    }
}

LONG CXPreviewBase::PlacementMode(LONG block) const
{
    platform::ComPtr<IPreviewData> data;
    LONG mode = 0;
    if (source_ && SUCCEEDED(source_->QueryInterface(IID_IPreviewData, data.OutVoid())) && data &&
        FAILED(data->GetPlacementMode(0, block, &mode))) {
        mode = 0;
    }
    return mode;
}

void CXPreviewBase::PlaceOverPlaceholder(LONG mode)
{
    PlaceOverControl(mode);
    ChartDraw::PreviewDataWinWButtons* window = Window();
    if (!window || !window->GetHandle()) {
        return;
    }
    // The zoom row and the sampling bar go under the data area: all of it stays inside the placeholder.
    SIZE zoom{0, 0};
    SIZE bar{0, 0};
    if (window->Zoom()) {
        window->Zoom()->GetDesiredSize(zoom);
    }
    if (window->ControlBar()) {
        window->ControlBar()->GetDesiredSize(bar);
    }
    const LONG height = std::max<LONG>(window->Attr.H - zoom.cy - bar.cy - 2, 1);
    window->MoveWindow(window->Attr.X, window->Attr.Y, window->Attr.W, height, true);
    // Made after the page's frames: the window and its control row go above them.
    ::SetWindowPos(window->GetHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    for (owl::TWindow* control : {dynamic_cast<owl::TWindow*>(window->HorizontalBar()),
                                  dynamic_cast<owl::TWindow*>(window->Zoom()),
                                  dynamic_cast<owl::TWindow*>(window->ControlBar()),
                                  dynamic_cast<owl::TWindow*>(window->TraceBar())}) {
        if (control && control->GetHandle()) {
            ::SetWindowPos(control->GetHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
}

void CXPreviewBase::FitRecord()
{
    platform::ComPtr<IChartExtent> extent;
    LONG length = 0;
    ChartDraw::PreviewDataWinWButtons* window = Window();
    if (!window || window->Visible() <= 0 || !source_ ||
        FAILED(source_->QueryInterface(IID_IChartExtent, extent.OutVoid())) || !extent ||
        FAILED(extent->GetBlockLength(0, 0, &length)) || length <= 0) {
        return;
    }
    SetTimeCompression(std::ceil(static_cast<double>(length) / static_cast<double>(window->Visible())), 0, 0);
}

void CXPreviewBase::Redraw()
{
    // The pane keeps its layers: new drawers show once they are invalid.
    if (ChartDraw::PreviewDataWinWButtons* window = Window()) {
        window->ChartDraw::DataPane::Invalidate(0xFF000000u);
        window->InvalidateAll(false);
    }
}

void CXPreviewBase::AddEventDrawers()
{
    AddDrawer(new EventDrawer(0, eventPair_.channel, static_cast<DWORD>(eventPair_.kind), kAllLanes,
                              ChartDraw::kNoAlternateSelector));
    AddDrawer(new ChartDraw::NullTraceDrawer(1, nullptr, 0, ChartDraw::kKindTrace, eventPair_.channel,
                                             static_cast<DWORD>(eventPair_.kind), kAllLanes,
                                             ChartDraw::kNoAlternateSelector));
}

CXPreviewBase::Range CXPreviewBase::GetVerticalRange(bool laneTwo, std::optional<Range> range)
{
    if (range) {
        return *range;
    }
    if (!laneTwo) {
        return {1.0, -1.0};
    }
    double lower = DBL_MAX;
    double upper = -DBL_MAX;
    GetTraceRange(1, lower, upper);
    return {lower, upper};
}

void CXPreviewBase::SetVerticalRange(bool laneTwo, std::optional<Range> range)
{
    const Range computed = GetVerticalRange(laneTwo, range);
    // An inverted or unbounded range stands for no range: the lane follows its data.
    if (!(computed[0] < computed[1]) || !std::isfinite(computed[0]) || !std::isfinite(computed[1]) ||
        computed[0] <= -DBL_MAX || computed[1] >= DBL_MAX) {
        AutoscaleLane(laneTwo);
        return;
    }
    SetExplicitRange(laneTwo, computed);
}

void CXPreviewBase::AutoscaleLane(bool laneTwo)
{
    if (Window() && Window()->LaneCount() > 0) {
        Window()->Lane(0)->RequestAutoscale(laneTwo ? 2 : 1);
    }
}

void CXPreviewBase::GetTraceRange(LONG lane, double& lower, double& upper) const
{
    // Without a window the caller's start values stand.
    if (Window()) {
        Window()->GetTraceRange(lane, &lower, &upper);
    }
}

// ---- unstimulated ----

bool CXPreview_LM::Recompute()
{
    PreviewState next;
    ReadSource(next);
    ILMDetectionSettings* detection = Detection();
    if (Settings() && detection) {
        KVO::String chain;
        const ExpressionBuilder builder(*Settings(), ChartData(), chain, ExpressionBuilder::kEventChain);
        builder.PreviewCalcExpression(detection, next.eventText, tracePair_.channel, tracePair_.kind);
    }
    VARIANT_BOOL transforms = VARIANT_FALSE;
    if (detection && SUCCEEDED(detection->TransformsSource(&transforms)) && transforms != VARIANT_FALSE) {
        BSTR text = nullptr;
        detection->SourceText(Token(next.sourceChannel).c_str(), &text);
        next.traceText = KVO::String(KVO::TakeBstr(text).c_str());
    } else {
        next.traceText = ExtLib::GetChannelToken(HostDocument(), next.sourceChannel,
                                                 static_cast<std::int32_t>(0xC0000000u));
    }
    return Store(std::move(next));
}

void CXPreview_LM::SetUpDrawers(bool force)
{
    if (!Recompute() && !force) {
        return;
    }
    BaseDrawerSetUp();
    ILMDetectionSettings* detection = Detection();
    if (!sourceHasUnits_) {
        Redraw();
        return;
    }
    VARIANT_BOOL transforms = VARIANT_FALSE;
    if (detection && SUCCEEDED(detection->TransformsSource(&transforms)) && transforms != VARIANT_FALSE) {
        const COLORREF black = kTransformedColour;
        AddDrawer(new ChartDraw::CustomUnitsPolyLineTraceDrawer(
            std::make_unique<PPPNUN>(state_.sourceChannel, detection), 2, &black, 0, ChartDraw::kKindTrace,
            tracePair_.channel, static_cast<DWORD>(tracePair_.kind)));
        if (Window()) {
            Window()->SetLaneScale(black, 2, true);
        }
    }
    AddEventDrawers();
    SetUnitPrefixes(true, true);
    Redraw();
}

CXPreviewBase::Range CXPreview_LM::GetVerticalRange(bool laneTwo, std::optional<Range> range)
{
    Range result{DBL_MAX, -DBL_MAX};
    if (range) {
        return *range;
    }
    if (laneTwo) {
        GetTraceRange(1, result[0], result[1]);
        LMValueRange mapped{result[0], result[1]};
        if (ILMDetectionSettings* detection = Detection();
            detection && SUCCEEDED(detection->MapRange(LMValueRange{result[0], result[1]},
                                                       state_.sourceUnit.PrefixIndex(), &mapped))) {
            result = {mapped.low, mapped.high};
        }
    }
    return result;
}

void CXPreview_LM::SetUnitPrefixes(bool first, bool second)
{
    if (first) {
        SetUnitPrefix(false, state_.sourceUnit.PrefixIndex());
    }
    KVO::PrefixedUnit mapped;
    ILMDetectionSettings* detection = Detection();
    if (second && detection &&
        MapUnits(state_.sourceUnit, [&](const WCHAR* u, LONG p, BSTR* o, LONG* op) {
            return detection->MapDisplayUnits(u, p, o, op);
        }, mapped)) {
        SetUnitPrefix(true, mapped.PrefixIndex());
    }
}

bool CXPreview_LM::PushTexts(IUnknown* chartData)
{
    if (!chartData) {
        return false;
    }
    KVO::PrefixedUnit output = state_.sourceUnit;
    if (ILMDetectionSettings* detection = Detection()) {
        MapUnits(state_.sourceUnit, [&](const WCHAR* u, LONG p, BSTR* o, LONG* op) {
            return detection->MapOutputUnits(u, p, o, op);
        }, output);
    }
    auto send = [&](ChannelPair pair, const KVO::String& text, const KVO::PrefixedUnit& unit) {
        return ExtLib::SetChannelCalculation(chartData, Msg::ChannelCalcMessageId0(), text,
                                             KVO::String(unit.Text().c_str()),
                                             ChannelReference{pair.channel, pair.kind});
    };
    // The event text reads the trace channel: without its trace it is not sent.
    if (!send(tracePair_, state_.traceText, output)) {
        return false;
    }
    return send(eventPair_, state_.eventText, state_.sourceUnit);
}

// ---- stimulated ----

void CXPreview_Stimulated::SetUpDrawers(bool)
{
    if (!Settings()) {
        return;
    }
    PreviewState next;
    ReadSource(next);
    {
        const ExpressionBuilder builder(*Settings(), ChartData(), next.eventText, ExpressionBuilder::kEventChain);
        builder.EvokedResponseDetectorExpression(next.eventText);
    }
    const std::string number = std::to_string(static_cast<std::int64_t>(next.sourceChannel) + 1);
    next.traceText = KVO::String((u"Ch" + std::u16string(number.begin(), number.end())).c_str());
    if (!Store(std::move(next))) {
        return;
    }
    BaseDrawerSetUp();
    AddEventDrawers();
    SetUnitPrefixes(true, false);
    Redraw();
}

void CXPreview_Stimulated::SetUnitPrefixes(bool first, bool second)
{
    if (first) {
        SetUnitPrefix(false, state_.sourceUnit.PrefixIndex());
    }
    if (second) {
        SetUnitPrefix(true, state_.sourceUnit.PrefixIndex());
    }
}

bool CXPreview_Stimulated::PushTexts(IUnknown* chartData)
{
    const KVO::String unit(state_.sourceUnit.Text().c_str());
    auto send = [&](ChannelPair pair, const KVO::String& text) {
        return ExtLib::SetChannelCalculation(chartData, Msg::ChannelCalcMessageId0(), text, unit,
                                             ChannelReference{pair.channel, pair.kind});
    };
    const bool trace = send(tracePair_, state_.traceText);
    const bool events = send(eventPair_, state_.eventText);
    return trace || events;
}

platform::ComPtr<IUnknown> HostDataSource(IUnknown* hostDocument)
{
    platform::ComPtr<IDataSourceHolder> holder;
    platform::ComPtr<IDataSource> source;
    if (hostDocument && SUCCEEDED(hostDocument->QueryInterface(IID_IDataSourceHolder, holder.OutVoid())) && holder) {
        holder->GetSource(0, source.Out());
    }
    return platform::ComPtr<IUnknown>(source.Get());
}

void SetPreviewTimeCompression(CXPreviewBase& preview, const Dlg::ChartViewRecord& view)
{
    if (view.timeScale > 0.0 && std::isfinite(view.timeScale)) {
        preview.SetTimeCompression(view.timeScale, view.selectionStart[0], view.selectionStart[1]);
    } else {
        preview.FitRecord();
    }
}

double ViewTimeScale(std::int64_t numerator, std::int64_t denominator, double chartViewScale)
{
    if (denominator == 0) {
        return chartViewScale;
    }
    return static_cast<double>(numerator) / static_cast<double>(denominator);
}

} // namespace CX
