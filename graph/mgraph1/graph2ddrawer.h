// The engine of a two-dimensional graph: the visible domain and range, the host's two axis scales, the transforms
// between data and pixels, the plotters, the annotations that follow the mouse, the grid and the draggable
// markers. It paints into a window it does not own: a cached background (axes, grid, plotters) redrawn only when
// something changed, and the markers and annotations drawn over it on every paint.
#pragma once

#include "graph/mgraph1/annotation.h"
#include "graph/mgraph1/graticule.h"
#include "graph/mgraph1/messages.h"
#include "graph/mgraph1/queen.h"

#include "platform/com/unknown.h"
#include "sdk/scalecontrol.h"

#include <memory>
#include <utility>
#include <vector>

namespace owl {
class TWindow;
}

namespace MGraph1 {

// The library's element base: a counter raised while a group of changes is being made; an element is given its
// rectangle, and hears once before its first full draw.
class GraphBase {
public:
    virtual ~GraphBase() = default;
    virtual void SetRect(const RECT& rect) = 0;
    virtual void OnFirstDraw() {}
    void BeginUpdate() { ++updates_; }
    void EndUpdate()
    {
        if (updates_ > 0) {
            --updates_;
        }
    }
    int UpdateCount() const { return updates_; }

private:
    int updates_ = 0;
};

// The host's shared graph service (no reference for the caller; null when the host offers none).
IGraphHostService* GetSharedHostService();
// Holds a reference on the shared service while passing four values to its plain-scale operation.
HRESULT CallSharedHostService(LONG value1, LONG value2, LONG value3, LONG value4);
// The plain lane scale of a preview chart without controls.
HRESULT CallSharedHostService(IScaleControl** out, LONG value1, LONG value2, DWORD style, LONG lane);

// A held lock of one axis: while any is held, the program's domain (range) changes are ignored.
class AxisLock {
public:
    AxisLock() = default;
    explicit AxisLock(int* counter) : counter_(counter) { ++*counter_; }
    AxisLock(AxisLock&& other) noexcept : counter_(std::exchange(other.counter_, nullptr)) {}
    AxisLock& operator=(AxisLock&& other) noexcept
    {
        if (this != &other) {
            Release();
            counter_ = std::exchange(other.counter_, nullptr);
        }
        return *this;
    }
    AxisLock(const AxisLock&) = delete;
    AxisLock& operator=(const AxisLock&) = delete;
    ~AxisLock() { Release(); }
    void Release()
    {
        if (counter_) {
            --*counter_;
            counter_ = nullptr;
        }
    }

private:
    int* counter_ = nullptr;
};

class Graph2DDrawer : public GraphBase, public MessSys::MessageReceiver {
public:
    // The drawer makes its own two axis scales through the shared service (none when the host has no service).
    explicit Graph2DDrawer(owl::TWindow* owner = nullptr);
    // The second form: the same drawer with (first, second) handed to its reset instead of (0, 0); the values are
    // kept and change nothing else.
    Graph2DDrawer(owl::TWindow* owner, std::int32_t resetFirst, std::int32_t resetSecond);
    ~Graph2DDrawer() override;
    Graph2DDrawer(const Graph2DDrawer&) = delete;
    Graph2DDrawer& operator=(const Graph2DDrawer&) = delete;

    void SetRect(const RECT& rect) override;
    virtual void Paint(HDC dc, bool erase, const RECT& rect);
    virtual void PaintDirect(HDC dc, HDC referenceDc, const RECT& rect);
    virtual void DrawPlotters(HDC dc, HDC referenceDc, const RECT& clip, const RECT& plot);
    virtual void DrawAnnotations(HDC dc, HDC referenceDc, const RECT& clip, const RECT& plot);
    virtual void DrawAll(HDC dc, HDC referenceDc, bool erase, const RECT& rect);
    virtual void SetDisplayInfo(const GraphDisplaySettings& info);
    virtual GraphDisplaySettings GetDisplayInfo() const { return displayInfo_; }
    virtual void Invalidate();
    virtual void SetDomain(double minimum, double maximum);
    virtual void SetRange(double minimum, double maximum);
    virtual std::pair<double, double> GetDomain() const { return {domain_[0], domain_[1]}; }
    virtual std::pair<double, double> GetRange() const { return {range_[0], range_[1]}; }
    virtual std::pair<double, double> GetXHomeExtent() const { return {xHome_[0], xHome_[1]}; }
    virtual std::pair<double, double> GetYHomeExtent() const { return {yHome_[0], yHome_[1]}; }
    virtual std::pair<double, double> GetXLimits() const { return {xLimits_[0], xLimits_[1]}; }
    virtual std::pair<double, double> GetYLimits() const { return {yLimits_[0], yLimits_[1]}; }
    virtual KVO::String GetXTitle() const { return xTitle_; }
    virtual KVO::String GetYTitle() const { return yTitle_; }
    virtual KVO::String GetXUnits() const { return xUnits_; }
    virtual KVO::String GetYUnits() const { return yUnits_; }
    virtual void SetXAxisOption(bool on);
    virtual void SetYAxisOption(bool on);
    virtual void SetXMinimumSpan(double span);
    virtual void SetYMinimumSpan(double span);
    virtual void OnMouseLeave();
    virtual RECT GetPlotRect(const RECT& rect) const;
    virtual RECT GetClipRect(const RECT& rect) const { return rect; }
    virtual void AddTrackingReceiver(MessSys::MessageReceiver* receiver) { trackingSender_.AddReceiver(receiver); }
    virtual void RemoveTrackingReceiver(MessSys::MessageReceiver* receiver) { trackingSender_.RemoveReceiver(receiver); }
    virtual void OnMouseMove(int x, int y);
    virtual void ForwardTrackHints(int x, int y, TrackHintList& hints) { GetTrackHints(x, y, hints); }
    virtual void AddMarkerReceiver(MessSys::MessageReceiver* receiver) { markers_->AddReceiver(receiver); }
    virtual void RemoveMarkerReceiver(MessSys::MessageReceiver* receiver) { markers_->RemoveReceiver(receiver); }
    virtual void AddRedrawReceiver(MessSys::MessageReceiver* receiver) { redrawSender_.AddReceiver(receiver); }
    virtual void RemoveRedrawReceiver(MessSys::MessageReceiver* receiver) { redrawSender_.RemoveReceiver(receiver); }
    virtual void AddChangeReceiver(MessSys::MessageReceiver* receiver) { changeSender_.AddReceiver(receiver); }
    virtual void RemoveChangeReceiver(MessSys::MessageReceiver* receiver) { changeSender_.RemoveReceiver(receiver); }
    virtual void GetTrackHints(int x, int y, TrackHintList& hints);
    virtual void SetXAxisScaling(const double* scaleOffset);
    virtual void SetYAxisScaling(const double* scaleOffset);
    virtual void SetYUnitTransform(const double* scaleOffset);
    virtual void SetXUnitTransform(const double* scaleOffset);
    virtual void SetXPixelTransform(const double* scaleOffset);
    virtual void SetYPixelTransform(const double* scaleOffset);
    virtual bool AddPlotter(Plotter* plotter, bool owned);
    virtual bool RemovePlotter(Plotter* plotter);
    virtual bool ClearPlotters();
    virtual int GetPlotterCount() const { return static_cast<int>(plotters_.size()); }
    virtual Plotter* GetPlotter(int index) const;
    virtual bool ClickAnnotations(UINT flags, POINT press, POINT release);
    virtual bool AddAnnotation(Annotation* annotation, bool owned);
    virtual bool RemoveAnnotation(Annotation* annotation);
    virtual bool ClearAnnotations();
    virtual int GetAnnotationCount() const { return static_cast<int>(annotations_.size()); }
    virtual Annotation* GetAnnotation(int index) const;
    virtual bool AddMarker(Queen* marker);
    virtual bool RemoveMarker(Queen* marker) { return markers_->RemoveQueen(marker); }
    virtual void ClearMarkers();
    virtual void SetMarkersProperty(int value);

    // The mouse as the graph window hands it on, in client pixels.
    void OnLButtonDown(UINT flags, POINT point);
    void OnWindowMouseMove(UINT flags, POINT point);
    void OnLButtonUp(UINT flags, POINT point);

    // The axes (held), and whether the domain (range) waits for ApplyDomain (ApplyRange) while an axis exists.
    // OnFirstDraw, once in the drawer's life.
    void FirstDraw();
    void SetAxes(IScaleControl* xAxis, IScaleControl* yAxis, bool xDeferred, bool yDeferred);
    void SetXHomeExtent(double minimum, double maximum);
    void SetYHomeExtent(double minimum, double maximum);
    void SetXLimits(double minimum, double maximum);
    void SetYLimits(double minimum, double maximum);
    // Hand a minimum-span pair to the axis control alone; the drawer keeps its own pair.
    void SetXAxisSpanPair(double span, double offset);
    void SetYAxisSpanPair(double span, double offset);
    std::pair<std::int32_t, std::int32_t> ResetValues() const { return resetValues_; }
    void SetXTitle(const KVO::String& title);
    void SetYTitle(const KVO::String& title);
    void SetXUnits(const KVO::String& units);
    void SetYUnits(const KVO::String& units);
    void ApplyAxisSettings();
    AxisLock LockXAxis() { return AxisLock(&xLock_); }
    AxisLock LockYAxis() { return AxisLock(&yLock_); }
    void SnapshotXAxis();
    void SnapshotYAxis();
    void SetXAxisFlag0x200() { AddAxisStyle(xAxis_.Get(), 0x200); }
    void SetYAxisFlag0x200() { AddAxisStyle(yAxis_.Get(), 0x200); }
    void ApplyDomain(double minimum, double maximum);
    void ApplyRange(double minimum, double maximum);
    // Replaces the grid (owned).
    void SetGraticule(GraphGraticule* graticule);

    RECT GetDrawerRect() const { return drawerRect_; }
    QueenController& Markers() { return *markers_; }
    IScaleControl* XAxis() const { return xAxis_.Get(); }
    IScaleControl* YAxis() const { return yAxis_.Get(); }
    Transform XPixelTransform() const { return *xPixel_; }
    Transform YPixelTransform() const { return *yPixel_; }
    Transform XUnitTransform() const { return *xUnit_; }
    Transform YUnitTransform() const { return *yUnit_; }
    bool IsInitialised() const { return initialised_; }
    int XLockCount() const { return xLock_; }
    int YLockCount() const { return yLock_; }
    // How often the background was drawn and its bitmap made.
    int BackgroundsDrawn() const { return backgroundsDrawn_; }
    int BitmapsMade() const { return bitmapsMade_; }

    owl::TWindow* owner = nullptr;
    bool annotationsShown = true;
    bool markersShown = true;
    bool markerCursor = false;
    int markerTolerance = 8;
    bool hintTracking = false;
    bool xDragScalable = false;
    bool graticuleShown = true;
    bool axesShown = true;
    bool plottersShown = true;
    double xUnitFactor = 1.0;
    double yUnitFactor = 1.0;
    int leftMargin = 60;
    int bottomMargin = 60;
    int clickTolerance = 4;

protected:
    std::int32_t SourceId() const;
    HWND OwnerHandle() const;
    bool HaveBothPixelTransforms() const { return xPixel_ && yPixel_; }

private:
    struct Entry {
        GraphDrawer* drawer;
        bool owned;
    };
    static void Forget(std::vector<Entry>& list, bool all, GraphDrawer* one);
    void GiveDrawerState(GraphDrawer& drawer) const;
    bool DrawAxes(HDC dc, bool xOnly, bool yOnly, bool fill);
    void AddAxisStyle(IScaleControl* axis, DWORD bits);
    void ApplyMinimumSpan(bool horizontal, double span);
    void SetCursorFor(int x, int y, const RECT& plot);

    bool initialised_ = false;
    RECT drawerRect_{0, 0, 100, 100};
    bool xDeferred_ = false;
    bool yDeferred_ = false;
    platform::ComPtr<IScaleControl> xAxis_;
    platform::ComPtr<IScaleControl> yAxis_;
    std::unique_ptr<GraphGraticule> graticule_;
    std::unique_ptr<Transform> xPixel_;
    std::unique_ptr<Transform> yPixel_;
    std::unique_ptr<Transform> xUnit_;
    std::unique_ptr<Transform> yUnit_;
    GraphDisplaySettings displayInfo_;
    POINT press_{};
    bool clickPending_ = false;
    std::vector<Entry> plotters_;
    std::vector<Entry> annotations_;
    std::unique_ptr<QueenController> markers_;
    double domain_[2] = {0.0, 1.0};
    double range_[2] = {0.0, 1.0};
    double xHome_[2] = {0.0, 1.0};
    double yHome_[2] = {-1.0, 1.0};
    double xLimits_[2] = {-1.0, 1.0};
    double yLimits_[2] = {-1.0, 1.0};
    bool xMinimumSpanSet_ = false;
    bool yMinimumSpanSet_ = false;
    double xMinimumSpanPair_[2] = {1.0, 0.0};
    double yMinimumSpanPair_[2] = {1.0, 0.0};
    KVO::String xTitle_;
    KVO::String yTitle_;
    KVO::String xUnits_;
    KVO::String yUnits_;
    bool xAxisOption_ = false;
    bool yAxisOption_ = false;
    MessSys::MessageSender redrawSender_;
    MessSys::MessageSender trackingSender_;
    MessSys::MessageSender changeSender_;
    HBITMAP bitmap_ = nullptr;
    SIZE bitmapSize_{};
    int bitmapsMade_ = 0;
    int backgroundsDrawn_ = 0;
    std::pair<std::int32_t, std::int32_t> resetValues_{0, 0};
    bool backgroundDirty_ = true;
    double xMinimumSpan_ = 0.0;
    double yMinimumSpan_ = 0.0;
    int xLock_ = 0;
    int yLock_ = 0;
    platform::ComPtr<IScaleControl> xSnapshot_;
    platform::ComPtr<IScaleControl> ySnapshot_;
};

} // namespace MGraph1
