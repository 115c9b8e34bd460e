#include "graph/mgraph1/graph2ddrawer.h"

#include "frame/hostservices.h"

#include "platform/owl/window.h"
#include "platform/win/winuser.h"

#include <algorithm>
#include <cmath>

namespace MGraph1 {

IGraphHostService* GetSharedHostService()
{
    static CAF::ServiceCache cache;
    try {
        return static_cast<IGraphHostService*>(cache.FromFramework(CAF::ObjectId::kGraphService, IID_IGraphHostService));
    } catch (...) {
        return nullptr; // no framework: no shared service
    }
}

HRESULT CallSharedHostService(LONG value1, LONG value2, LONG value3, LONG value4)
{
    const platform::ComPtr<IGraphHostService> service(GetSharedHostService());
    if (!service) {
        return E_FAIL;
    }
    return service->CreatePlainScale(value1, value2, value3, value4);
}

HRESULT CallSharedHostService(IScaleControl** out, LONG value1, LONG value2, DWORD style, LONG lane)
{
    if (out) {
        *out = nullptr;
    }
    const platform::ComPtr<IGraphHostService> service(GetSharedHostService());
    if (!service) {
        return E_FAIL;
    }
    return service->CreateLaneScale(value1, value2, style, lane, out);
}

namespace {

// Raises the element's update counter for the life of the scope.
class UpdateScope {
public:
    explicit UpdateScope(GraphBase& element) : element_(element) { element_.BeginUpdate(); }
    ~UpdateScope() { element_.EndUpdate(); }
    UpdateScope(const UpdateScope&) = delete;
    UpdateScope& operator=(const UpdateScope&) = delete;

private:
    GraphBase& element_;
};

platform::ComPtr<IScaleControl> MakeScale(LONG kind)
{
    IGraphHostService* service = GetSharedHostService();
    platform::ComPtr<IScaleControl> scale;
    if (service) {
        IScaleControl* made = nullptr;
        if (SUCCEEDED(service->CreateScaleControl(nullptr, 0, -1, kind, 0, &made)) && made) {
            scale = platform::ComPtr<IScaleControl>::Adopt(made);
        }
    }
    return scale;
}

bool Inside(POINT p, const RECT& r) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

POINT ClampInto(POINT p, const RECT& r)
{
    return POINT{std::clamp<LONG>(p.x, r.left, std::max<LONG>(r.left, r.right - 1)),
                 std::clamp<LONG>(p.y, r.top, std::max<LONG>(r.top, r.bottom - 1))};
}

POINT Origin(const RECT& plot) { return POINT{plot.left, plot.top}; }

void HandScaling(IScaleControl* axis, const Transform& unit)
{
    if (axis) {
        const double pair[2] = {unit.scale, unit.offset};
        axis->SetScaling(pair, nullptr);
    }
}

} // namespace

Graph2DDrawer::Graph2DDrawer(owl::TWindow* ownerWindow)
    : owner(ownerWindow),
      graticule_(std::make_unique<GraphGraticule>()),
      xPixel_(std::make_unique<Transform>()),
      yPixel_(std::make_unique<Transform>()),
      xUnit_(std::make_unique<Transform>()),
      yUnit_(std::make_unique<Transform>()),
      markers_(std::make_unique<QueenController>()),
      xTitle_(u"Units"),
      yTitle_(u"Units")
{
    graticule_->settings = displayInfo_;
    markers_->pickRadius = markerTolerance;
    GiveDrawerState(*markers_);
    const platform::ComPtr<IScaleControl> x = MakeScale(0x43);
    const platform::ComPtr<IScaleControl> y = MakeScale(0x40);
    SetAxes(x.Get(), y.Get(), false, false);
}

Graph2DDrawer::Graph2DDrawer(owl::TWindow* ownerWindow, std::int32_t resetFirst, std::int32_t resetSecond)
    : Graph2DDrawer(ownerWindow)
{
    resetValues_ = {resetFirst, resetSecond};
}

Graph2DDrawer::~Graph2DDrawer()
{
    Forget(plotters_, true, nullptr);
    Forget(annotations_, true, nullptr);
    markers_.reset();
    if (bitmap_) {
        DeleteObject(bitmap_);
    }
}

void Graph2DDrawer::Forget(std::vector<Entry>& list, bool all, GraphDrawer* one)
{
    if (all) {
        std::vector<Entry> doomed;
        doomed.swap(list);
        for (const Entry& entry : doomed) {
            if (entry.owned) {
                delete entry.drawer;
            }
        }
        return;
    }
    const auto found = std::find_if(list.rbegin(), list.rend(), [one](const Entry& e) { return e.drawer == one; });
    if (found != list.rend()) {
        const Entry entry = *found;
        list.erase(std::next(found).base());
        if (entry.owned) {
            delete entry.drawer;
        }
    }
}

std::int32_t Graph2DDrawer::SourceId() const { return owner ? owner->GetId() : 0; }

HWND Graph2DDrawer::OwnerHandle() const { return owner ? owner->GetHandle() : nullptr; }

void Graph2DDrawer::GiveDrawerState(GraphDrawer& drawer) const
{
    drawer.SetTransform(kHorizontal, xPixel_.get(), false);
    drawer.SetTransform(kVertical, yPixel_.get(), false);
    drawer.SetDomain(domain_[0], domain_[1]);
    drawer.SetVerticalRange(range_[0], range_[1]);
}

void Graph2DDrawer::SetRect(const RECT& rect)
{
    if (rect.right - rect.left < 1 || rect.bottom - rect.top < 1) {
        return;
    }
    drawerRect_ = rect;
    backgroundDirty_ = true;
    const RECT plot = GetPlotRect(rect);
    if (xAxis_) {
        const RECT strip{plot.left, plot.bottom, plot.right, rect.bottom};
        xAxis_->SetScaleRect(&strip);
        double pair[2] = {1.0, 0.0};
        xAxis_->GetPixelTransform(pair);
        SetXPixelTransform(pair);
    }
    if (yAxis_) {
        const RECT strip{rect.left, plot.top, plot.left, plot.bottom};
        yAxis_->SetScaleRect(&strip);
        double pair[2] = {1.0, 0.0};
        yAxis_->GetPixelTransform(pair);
        SetYPixelTransform(pair);
    }
    const int width = plot.right - plot.left;
    const int height = plot.bottom - plot.top;
    for (const Entry& e : plotters_) {
        e.drawer->SetSettings(width, height);
    }
    for (const Entry& e : annotations_) {
        e.drawer->SetSettings(width, height);
    }
    markers_->SetSettings(width, height);
    for (Queen* q : markers_->Queens()) {
        q->SetSettings(width, height);
    }
}

RECT Graph2DDrawer::GetPlotRect(const RECT& rect) const
{
    RECT plot{};
    plot.left = rect.left + leftMargin;
    plot.right = std::max<LONG>(rect.right, plot.left + 1);
    plot.bottom = rect.bottom - bottomMargin;
    plot.top = std::min<LONG>(rect.top, plot.bottom - 1);
    return plot;
}

void Graph2DDrawer::SetDisplayInfo(const GraphDisplaySettings& info)
{
    displayInfo_.first = info.first;
    displayInfo_.second = info.second;
    displayInfo_.gridColour = info.gridColour;
    displayInfo_.dots = info.dots;
    displayInfo_.shown = info.shown;
    graticule_->settings = displayInfo_;
}

void Graph2DDrawer::SetGraticule(GraphGraticule* graticule)
{
    if (graticule) {
        graticule_.reset(graticule);
    }
}

void Graph2DDrawer::Invalidate()
{
    if (HWND handle = OwnerHandle()) {
        InvalidateRect(handle, nullptr, TRUE);
    }
}

void Graph2DDrawer::SetDomain(double minimum, double maximum)
{
    if (xLock_ > 0) {
        return;
    }
    if (xAxis_) {
        xAxis_->SetRange(minimum, maximum);
        if (xDragScalable) {
            xAxis_->SetDragDomain(maximum - minimum, minimum);
        }
        if (xDeferred_) {
            return;
        }
        // The data-to-pixel mapping follows the axis, which has just laid the new domain out.
        double pair[2] = {xPixel_->scale, xPixel_->offset};
        xAxis_->GetPixelTransform(pair);
        xPixel_->scale = pair[0];
        xPixel_->offset = pair[1];
    }
    ApplyDomain(minimum, maximum);
}

void Graph2DDrawer::SetRange(double minimum, double maximum)
{
    if (yLock_ > 0) {
        return;
    }
    if (yAxis_) {
        yAxis_->SetRange(minimum, maximum);
        if (yDeferred_) {
            return;
        }
        double pair[2] = {yPixel_->scale, yPixel_->offset};
        yAxis_->GetPixelTransform(pair);
        yPixel_->scale = pair[0];
        yPixel_->offset = pair[1];
    }
    ApplyRange(minimum, maximum);
}

void Graph2DDrawer::ApplyDomain(double minimum, double maximum)
{
    domain_[0] = minimum;
    domain_[1] = maximum;
    for (const Entry& e : plotters_) {
        e.drawer->SetDomain(minimum, maximum);
    }
    for (const Entry& e : annotations_) {
        e.drawer->SetDomain(minimum, maximum);
    }
    markers_->SetDomain(minimum, maximum); // and its markers
    for (const Entry& e : plotters_) {
        static_cast<Plotter*>(e.drawer)->needsRedraw = true;
    }
    Invalidate();
    MsgGraph2DDrawerOnDomainChanged changed(SourceId());
    changeSender_.Send(changed);
}

void Graph2DDrawer::ApplyRange(double minimum, double maximum)
{
    range_[0] = minimum;
    range_[1] = maximum;
    for (const Entry& e : plotters_) {
        e.drawer->SetVerticalRange(minimum, maximum);
    }
    for (const Entry& e : annotations_) {
        e.drawer->SetVerticalRange(minimum, maximum);
    }
    markers_->SetVerticalRange(minimum, maximum);
    for (const Entry& e : plotters_) {
        static_cast<Plotter*>(e.drawer)->needsRedraw = true;
    }
    Invalidate();
    MsgGraph2DDrawerOnRangeChanged changed(SourceId());
    changeSender_.Send(changed);
}

void Graph2DDrawer::SetXAxisOption(bool on)
{
    if (xAxis_) {
        xAxis_->SetOption(on ? 0xFFFF : 0);
        xAxisOption_ = on;
    }
}

void Graph2DDrawer::SetYAxisOption(bool on)
{
    if (yAxis_) {
        yAxis_->SetOption(on ? 0xFFFF : 0);
        yAxisOption_ = on;
    }
}

void Graph2DDrawer::SetXMinimumSpan(double span) { ApplyMinimumSpan(true, span); }
void Graph2DDrawer::SetYMinimumSpan(double span) { ApplyMinimumSpan(false, span); }

void Graph2DDrawer::ApplyMinimumSpan(bool horizontal, double span)
{
    double* stored = horizontal ? &xMinimumSpan_ : &yMinimumSpan_;
    double* pair = horizontal ? xMinimumSpanPair_ : yMinimumSpanPair_;
    bool* set = horizontal ? &xMinimumSpanSet_ : &yMinimumSpanSet_;
    double* limits = horizontal ? xLimits_ : yLimits_;
    const double* extent = horizontal ? domain_ : range_;
    IScaleControl* axis = horizontal ? xAxis_.Get() : yAxis_.Get();

    *stored = span;
    if (initialised_) {
        pair[0] = span;
        pair[1] = 0.0;
        *set = true;
        if (axis) {
            axis->SetMinimumSpan(pair);
        }
    }
    const double limitsMinimum = limits[0];
    const double limitsMaximum = limits[1];
    if (std::abs(limitsMaximum - limitsMinimum) < span) {
        limits[1] = limitsMinimum + span;
        if (axis) {
            axis->SetLimits(limits[0], limits[1]);
        }
    }
    const double minimum = extent[0];
    if (std::abs(extent[1] - extent[0]) < span) {
        const bool passesLimits = minimum + span > limitsMaximum;
        const double from = passesLimits ? limitsMinimum : minimum;
        if (horizontal) {
            SetDomain(from, from + span);
        } else {
            SetRange(from, from + span);
        }
    }
}

void Graph2DDrawer::OnMouseLeave()
{
    MouseLeaveMsg leave(SourceId());
    trackingSender_.Send(leave);
}

namespace {
// Gives the axis a new unit scaling under the title it has.
void ReplaceScaling(IScaleControl* axis, const double* scaleOffset)
{
    if (!axis) {
        return;
    }
    double current[2] = {1.0, 0.0};
    BSTR title = nullptr;
    axis->GetScaling(current, &title);
    axis->SetScaling(scaleOffset, title);
    SysFreeString(title);
}
} // namespace

void Graph2DDrawer::SetXAxisScaling(const double* scaleOffset) { ReplaceScaling(xAxis_.Get(), scaleOffset); }
void Graph2DDrawer::SetYAxisScaling(const double* scaleOffset) { ReplaceScaling(yAxis_.Get(), scaleOffset); }

namespace {
void CopyPair(Transform* into, const double* pair)
{
    if (into && pair) {
        into->scale = pair[0];
        into->offset = pair[1];
    }
}
} // namespace

void Graph2DDrawer::SetYUnitTransform(const double* pair)
{
    CopyPair(yUnit_.get(), pair);
    Invalidate();
}

void Graph2DDrawer::SetXUnitTransform(const double* pair)
{
    CopyPair(xUnit_.get(), pair);
    Invalidate();
}

void Graph2DDrawer::SetXPixelTransform(const double* pair)
{
    CopyPair(xPixel_.get(), pair);
    Invalidate();
}

void Graph2DDrawer::SetYPixelTransform(const double* pair)
{
    CopyPair(yPixel_.get(), pair);
    Invalidate();
}

bool Graph2DDrawer::AddPlotter(Plotter* plotter, bool owned)
{
    if (!plotter) {
        return false;
    }
    GiveDrawerState(*plotter);
    // A plotter added after the layout gets the plot's size at once, as the others got it.
    const RECT plot = GetPlotRect(drawerRect_);
    plotter->SetSettings(plot.right - plot.left, plot.bottom - plot.top);
    plotters_.push_back(Entry{plotter, owned});
    backgroundDirty_ = true;
    return true;
}

bool Graph2DDrawer::RemovePlotter(Plotter* plotter)
{
    const bool present = std::any_of(plotters_.begin(), plotters_.end(), [plotter](const Entry& e) { return e.drawer == plotter; });
    if (!present) {
        return false;
    }
    Forget(plotters_, false, plotter);
    backgroundDirty_ = true;
    return true;
}

bool Graph2DDrawer::ClearPlotters()
{
    if (plotters_.empty()) {
        return false;
    }
    Forget(plotters_, true, nullptr);
    backgroundDirty_ = true;
    return true;
}

Plotter* Graph2DDrawer::GetPlotter(int index) const
{
    if (index < 0 || index >= GetPlotterCount()) {
        return nullptr;
    }
    return static_cast<Plotter*>(plotters_[static_cast<std::size_t>(index)].drawer);
}

bool Graph2DDrawer::AddAnnotation(Annotation* annotation, bool owned)
{
    if (!annotation) {
        return false;
    }
    GiveDrawerState(*annotation);
    annotations_.push_back(Entry{annotation, owned});
    return true;
}

bool Graph2DDrawer::RemoveAnnotation(Annotation* annotation)
{
    const bool present = std::any_of(annotations_.begin(), annotations_.end(),
                                     [annotation](const Entry& e) { return e.drawer == annotation; });
    if (present) {
        Forget(annotations_, false, annotation);
    }
    return present;
}

bool Graph2DDrawer::ClearAnnotations()
{
    if (annotations_.empty()) {
        return false;
    }
    Forget(annotations_, true, nullptr);
    return true;
}

Annotation* Graph2DDrawer::GetAnnotation(int index) const
{
    if (index < 0 || index >= GetAnnotationCount()) {
        return nullptr;
    }
    return static_cast<Annotation*>(annotations_[static_cast<std::size_t>(index)].drawer);
}

bool Graph2DDrawer::AddMarker(Queen* marker)
{
    if (!marker) {
        return false;
    }
    marker->CopyDrawerState(*markers_);
    marker->enabled = true;
    marker->pickRadius = markerTolerance;
    markers_->AddQueen(marker, true);
    marker->pickRadius = markerTolerance;
    return true;
}

void Graph2DDrawer::ClearMarkers()
{
    auto fresh = std::make_unique<QueenController>();
    // Whoever listened to the markers keeps listening: the receivers move to the new controller.
    for (MessSys::MessageReceiver* receiver : markers_->Receivers()) {
        fresh->AddReceiver(receiver);
    }
    markers_ = std::move(fresh);
    markers_->pickRadius = markerTolerance;
    GiveDrawerState(*markers_);
}

void Graph2DDrawer::SetMarkersProperty(int value)
{
    for (Queen* q : markers_->Queens()) {
        q->SetProperty(value);
    }
}

void Graph2DDrawer::FirstDraw()
{
    if (!initialised_) {
        OnFirstDraw();
        initialised_ = true;
    }
}

void Graph2DDrawer::SetAxes(IScaleControl* xAxis, IScaleControl* yAxis, bool xDeferred, bool yDeferred)
{
    const UpdateScope update(*this);
    xDeferred_ = xDeferred;
    yDeferred_ = yDeferred;
    xAxis_ = platform::ComPtr<IScaleControl>(xAxis);
    yAxis_ = platform::ComPtr<IScaleControl>(yAxis);
    *xUnit_ = Transform{xUnitFactor, 0.0};
    *yUnit_ = Transform{yUnitFactor, 0.0};
    HandScaling(xAxis_.Get(), *xUnit_);
    HandScaling(yAxis_.Get(), *yUnit_);
    if (xAxis_) {
        xAxis_->SetNoticeHook(6, OwnerHandle(), bottomMargin);
    }
    if (yAxis_) {
        yAxis_->SetNoticeHook(6, OwnerHandle(), leftMargin);
    }
    ApplyAxisSettings();
}

void Graph2DDrawer::ApplyAxisSettings()
{
    const UpdateScope update(*this);
    if (xAxis_) {
        xAxis_->SetScaling(nullptr, xTitle_.c_str());
        xAxis_->SetUnits(xUnits_.c_str());
        xAxis_->SetLimits(xLimits_[0], xLimits_[1]);
        xAxis_->SetHomeExtent(xHome_[0], xHome_[1]);
        xAxis_->SetMinimumSpan(xMinimumSpanPair_);
    }
    if (yAxis_) {
        yAxis_->SetScaling(nullptr, yTitle_.c_str());
        yAxis_->SetUnits(yUnits_.c_str());
        yAxis_->SetLimits(yLimits_[0], yLimits_[1]);
        yAxis_->SetHomeExtent(yHome_[0], yHome_[1]);
        yAxis_->SetMinimumSpan(yMinimumSpanPair_);
    }
    // New axes start from what the graph shows, so that their pixel transforms match it.
    if (xAxis_ && xLock_ == 0) {
        xAxis_->SetRange(domain_[0], domain_[1]);
    }
    if (yAxis_ && yLock_ == 0) {
        yAxis_->SetRange(range_[0], range_[1]);
    }
}

void Graph2DDrawer::SetXHomeExtent(double minimum, double maximum)
{
    xHome_[0] = minimum;
    xHome_[1] = maximum;
    if (xAxis_) {
        xAxis_->SetHomeExtent(minimum, maximum);
    }
}

void Graph2DDrawer::SetYHomeExtent(double minimum, double maximum)
{
    yHome_[0] = minimum;
    yHome_[1] = maximum;
    if (yAxis_) {
        yAxis_->SetHomeExtent(minimum, maximum);
    }
}

void Graph2DDrawer::SetXLimits(double minimum, double maximum)
{
    xLimits_[0] = minimum;
    xLimits_[1] = maximum;
    if (xAxis_) {
        xAxis_->SetLimits(minimum, maximum);
    }
}

void Graph2DDrawer::SetYLimits(double minimum, double maximum)
{
    yLimits_[0] = minimum;
    yLimits_[1] = maximum;
    if (yAxis_) {
        yAxis_->SetLimits(minimum, maximum);
    }
}

void Graph2DDrawer::SetXAxisSpanPair(double span, double offset)
{
    if (xAxis_) {
        const double pair[2] = {span, offset};
        xAxis_->SetMinimumSpan(pair);
    }
}

void Graph2DDrawer::SetYAxisSpanPair(double span, double offset)
{
    if (yAxis_) {
        const double pair[2] = {span, offset};
        yAxis_->SetMinimumSpan(pair);
    }
}

void Graph2DDrawer::SetXTitle(const KVO::String& title)
{
    xTitle_ = title;
    if (xAxis_) {
        xAxis_->SetScaling(nullptr, xTitle_.c_str());
    }
}

void Graph2DDrawer::SetYTitle(const KVO::String& title)
{
    yTitle_ = title;
    if (yAxis_) {
        yAxis_->SetScaling(nullptr, yTitle_.c_str());
    }
}

void Graph2DDrawer::SetXUnits(const KVO::String& units)
{
    xUnits_ = units;
    if (xAxis_) {
        xAxis_->SetUnits(xUnits_.c_str());
    }
}

void Graph2DDrawer::SetYUnits(const KVO::String& units)
{
    yUnits_ = units;
    if (yAxis_) {
        yAxis_->SetUnits(yUnits_.c_str());
    }
}

void Graph2DDrawer::SnapshotXAxis()
{
    xSnapshot_.Reset();
    if (xAxis_) {
        xAxis_->Copy(xSnapshot_.Out());
    }
}

void Graph2DDrawer::SnapshotYAxis()
{
    ySnapshot_.Reset();
    if (yAxis_) {
        yAxis_->Copy(ySnapshot_.Out());
    }
}

void Graph2DDrawer::AddAxisStyle(IScaleControl* axis, DWORD bits)
{
    DWORD style = 0;
    if (axis && SUCCEEDED(axis->GetStyle(&style))) {
        axis->SetStyle(style | bits);
    }
}

// --- drawing ---

bool Graph2DDrawer::DrawAxes(HDC dc, bool drawX, bool drawY, bool fill)
{
    if (!xAxis_ || !yAxis_) {
        return false;
    }
    DWORD xStyle = 0;
    DWORD yStyle = 0;
    RECT xFrame{};
    RECT yFrame{};
    if (FAILED(xAxis_->GetStyle(&xStyle)) || FAILED(yAxis_->GetStyle(&yStyle)) || !(xStyle & kScaleStyleDrawable) ||
        !(yStyle & kScaleStyleDrawable) || FAILED(xAxis_->GetFrameRect(&xFrame)) ||
        FAILED(yAxis_->GetFrameRect(&yFrame))) {
        return false;
    }
    const auto white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    if (drawX) {
        if (fill) {
            FillRect(dc, &xFrame, white);
        }
        xAxis_->Draw(dc, 0, 0xFFFF);
    }
    if (drawY) {
        if (fill) {
            FillRect(dc, &yFrame, white);
        }
        yAxis_->Draw(dc, 0, 0xFFFF);
    }
    return true;
}

void Graph2DDrawer::DrawPlotters(HDC dc, HDC referenceDc, const RECT& clip, const RECT& plot)
{
    for (const Entry& e : plotters_) {
        if (e.drawer->enabled) {
            e.drawer->DrawChain(dc, referenceDc, plot, clip);
        }
    }
}

void Graph2DDrawer::DrawAnnotations(HDC dc, HDC referenceDc, const RECT& clip, const RECT& plot)
{
    for (const Entry& e : annotations_) {
        e.drawer->Draw(dc, referenceDc, plot, clip);
        if (e.drawer->next) {
            e.drawer->next->DrawChain(dc, referenceDc, plot, clip);
        }
        e.drawer->DrawOverlay(dc, referenceDc, plot, clip);
    }
}

void Graph2DDrawer::DrawAll(HDC dc, HDC referenceDc, bool erase, const RECT& rect)
{
    FirstDraw();
    if (erase) {
        FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    const RECT plot = GetPlotRect(drawerRect_);
    const RECT clip = GetClipRect(plot);
    if (axesShown) {
        DrawAxes(dc, true, true, false);
    }
    if (displayInfo_.shown && graticuleShown && graticule_) {
        graticule_->settings = displayInfo_;
        IScaleControl* x = xLock_ > 0 && xSnapshot_ ? xSnapshot_.Get() : xAxis_.Get();
        IScaleControl* y = yLock_ > 0 && ySnapshot_ ? ySnapshot_.Get() : yAxis_.Get();
        graticule_->SetControls(x, y);
        graticule_->rect = plot;
        graticule_->Draw(dc, nullptr, &clip);
    }
    if (axesShown) {
        MoveToEx(dc, plot.left, plot.top, nullptr);
        LineTo(dc, plot.left, plot.bottom - 1);
        LineTo(dc, plot.right, plot.bottom - 1);
    }
    if (plottersShown) {
        DrawPlotters(dc, referenceDc, clip, plot);
    }
}

void Graph2DDrawer::Paint(HDC dc, bool erase, const RECT& rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width < 1 || height < 1) {
        return;
    }
    HDC memory = CreateCompatibleDC(dc);
    RECT plot = GetPlotRect(drawerRect_);
    const RedrawRecord record{memory, width, plot, {domain_[0], domain_[1]}, {range_[0], range_[1]}};
    MsgGraph2DDrawerNotifyBeginRedraw begin(SourceId(), &record);
    redrawSender_.Send(begin);
    for (const Entry& e : annotations_) {
        static_cast<Annotation*>(e.drawer)->ResetDrawn();
    }
    if (bitmap_ && (bitmapSize_.cx != width || bitmapSize_.cy != height)) {
        DeleteObject(bitmap_);
        bitmap_ = nullptr;
    }
    if (!bitmap_) {
        bitmap_ = CreateBitmap(width, height, static_cast<UINT>(GetDeviceCaps(dc, PLANES)),
                               static_cast<UINT>(GetDeviceCaps(dc, BITSPIXEL)), nullptr);
        bitmapSize_ = SIZE{width, height};
        ++bitmapsMade_;
        backgroundDirty_ = true;
    }
    bool changed = false;
    if (!backgroundDirty_) {
        for (const Entry& e : plotters_) {
            auto* plotter = static_cast<Plotter*>(e.drawer);
            if (plotter->enabled) {
                backgroundDirty_ = plotter->NeedsRedraw() || backgroundDirty_;
                changed = plotter->IsDataMissingOrChanged() || changed;
            }
        }
    }
    const HGDIOBJ previous = SelectObject(memory, bitmap_);
    // The bitmap holds the painted rectangle: everything is drawn in the window's client pixels.
    SetViewportOrgEx(memory, -rect.left, -rect.top, nullptr);
    if (backgroundDirty_ || changed) {
        DrawAll(memory, dc, erase, rect);
        ++backgroundsDrawn_;
        backgroundDirty_ = false;
    } else if (axesShown && (xLock_ > 0 || yLock_ > 0)) {
        // A scale is being dragged: only its strip of the background changes.
        DrawAxes(memory, xLock_ > 0, yLock_ > 0, true);
    }
    SetViewportOrgEx(memory, 0, 0, nullptr);
    BitBlt(dc, rect.left, rect.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);

    plot = GetPlotRect(drawerRect_);
    const RECT clip = GetClipRect(plot);
    if (markersShown) {
        markers_->DrawChain(dc, dc, plot, clip);
    }
    if (annotationsShown) {
        DrawAnnotations(dc, dc, clip, plot);
    }
    MsgGraph2DDrawerNotifyEndRedraw end(SourceId());
    redrawSender_.Send(end);
}

void Graph2DDrawer::PaintDirect(HDC dc, HDC referenceDc, const RECT& rect)
{
    SetRect(rect);
    const bool axes = axesShown && xAxis_ && yAxis_;
    if (axes) {
        xAxis_->Print(dc, referenceDc);
        yAxis_->Print(dc, referenceDc);
    }
    DrawAll(dc, referenceDc, true, rect);
    const RECT plot = GetPlotRect(drawerRect_);
    const RECT clip = GetClipRect(plot);
    if (markersShown && markers_->next) {
        markers_->next->DrawChain(dc, referenceDc, plot, clip);
    }
    if (annotationsShown) {
        DrawAnnotations(dc, referenceDc, clip, plot);
    }
    if (axes) {
        xAxis_->Print(dc, referenceDc);
        yAxis_->Print(dc, referenceDc);
    }
}

// --- mouse ---

void Graph2DDrawer::OnLButtonDown(UINT, POINT point)
{
    press_ = point;
    clickPending_ = true;
    if (!markersShown || !HaveBothPixelTransforms()) {
        return;
    }
    const RECT plot = GetPlotRect(drawerRect_);
    if (!Inside(point, plot)) {
        return;
    }
    markers_->TrackBegin(point, Origin(plot));
    if (markers_->Dragged()) {
        if (HWND handle = OwnerHandle()) {
            SetCapture(handle);
        }
        Invalidate();
    }
}

void Graph2DDrawer::OnWindowMouseMove(UINT, POINT point)
{
    if (HaveBothPixelTransforms() && markers_->Dragged()) {
        const RECT plot = GetPlotRect(drawerRect_);
        const POINT inside = ClampInto(point, plot);
        if (markersShown && markers_->TrackMove(inside.x, inside.y, Origin(plot))) {
            Invalidate();
        }
        return;
    }
    OnMouseMove(point.x, point.y);
}

void Graph2DDrawer::OnLButtonUp(UINT flags, POINT point)
{
    bool click = false;
    if (clickPending_) {
        const long long dx = press_.x - point.x;
        const long long dy = press_.y - point.y;
        click = dx * dx + dy * dy < clickTolerance;
        clickPending_ = false;
    }
    if (markersShown && HaveBothPixelTransforms() && markers_->Dragged()) {
        const RECT plot = GetPlotRect(drawerRect_);
        if (owner) {
            ReleaseCapture();
        }
        const POINT inside = ClampInto(point, plot);
        markers_->TrackEnd(inside.x, inside.y, Origin(plot));
        Invalidate();
    }
    if (click) {
        ClickAnnotations(flags, press_, point);
    }
}

bool Graph2DDrawer::ClickAnnotations(UINT, POINT press, POINT release)
{
    const RECT plot = GetPlotRect(drawerRect_);
    for (auto e = annotations_.rbegin(); e != annotations_.rend(); ++e) {
        if (static_cast<Annotation*>(e->drawer)
                ->TrackAt(press.x - plot.left, press.y - plot.top, release.x - plot.left, release.y - plot.top)) {
            return true;
        }
    }
    return false;
}

void Graph2DDrawer::OnMouseMove(int x, int y)
{
    const RECT plot = GetPlotRect(drawerRect_);
    bool repaint = false;
    bool erasable = true;
    for (const Entry& e : annotations_) {
        auto* annotation = static_cast<Annotation*>(e.drawer);
        repaint = annotation->OnMouseMove(x, y, Origin(plot), 0) || repaint;
        erasable = annotation->IsErasable() && erasable;
    }
    if (repaint) {
        if (!erasable) {
            Invalidate();
        } else if (HWND handle = OwnerHandle(); handle && annotationsShown) {
            HDC dc = GetDC(handle);
            DrawAnnotations(dc, dc, plot, plot);
            ReleaseDC(handle, dc);
        }
        TrackHintList hints;
        GetTrackHints(x, y, hints);
        MouseTrackHintMsg message(SourceId(), &hints);
        trackingSender_.Send(message);
    }
    if (markerCursor && markersShown && HaveBothPixelTransforms()) {
        SetCursorFor(x, y, plot);
    }
}

void Graph2DDrawer::SetCursorFor(int x, int y, const RECT& plot)
{
    LPCWSTR cursor = IDC_ARROW;
    Queen* found = nullptr;
    if (Inside(POINT{x, y}, plot) &&
        markers_->HitTest(POINT{x - plot.left, y - plot.top}, nullptr, nullptr, &found) && found) {
        if (dynamic_cast<QueenLineV*>(found)) {
            cursor = IDC_SIZEWE;
        } else if (dynamic_cast<QueenLineH*>(found)) {
            cursor = IDC_SIZENS;
        } else if (dynamic_cast<QueenBox*>(found)) {
            cursor = IDC_SIZEALL;
        } else if (dynamic_cast<QueenLine*>(found)) {
            cursor = IDC_SIZENS;
        }
    }
    SetCursor(LoadCursorW(nullptr, cursor));
}

void Graph2DDrawer::GetTrackHints(int x, int y, TrackHintList& hints)
{
    if (trackingSender_.ReceiverCount() == 0 && !hintTracking) {
        return;
    }
    const RECT plot = GetPlotRect(drawerRect_);
    for (const Entry& e : annotations_) {
        TrackHint hint{plot, POINT{x, y}, KVO::String()};
        if (static_cast<Annotation*>(e.drawer)->GetText(&hint.text)) {
            hints.push_back(hint);
        }
    }
}

} // namespace MGraph1
