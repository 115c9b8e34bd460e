// The host's axis scale control (stand-in): a scale strip beside a graph's plot with its visible range, ticks,
// numbers and title. In a window it is dragged by the user: a plain drag shifts the range, a drag with Shift held
// stretches it about the pressed value, a double click restores the home extent; each step is told to the
// registered observers. Tests may also give the ticks and the grid directly.
#pragma once

#include "host/comobject.h"
#include "platform/win/wingdi.h"
#include "platform/win/winuser.h"
#include "sdk/scalecontrol.h"

#include <map>
#include <string>
#include <vector>

namespace host {

class ScaleControl final : private RefCounted, public IScaleControl, public IScaleTickList {
public:
    enum class Axis { Horizontal, Vertical };
    explicit ScaleControl(Axis axis, LONG kind = 0, LONG id = 0);
    ~ScaleControl() override;

    // A new control with one reference for the caller.
    static platform::ComPtr<ScaleControl> Create(Axis axis);
    // As the shared service makes them: bit 0 of the kind marks a horizontal scale; with a parent the scale gets
    // a child window of it carrying the control id. Null when the window cannot be made.
    static platform::ComPtr<ScaleControl> CreateForKind(HWND parent, LONG kind, LONG id);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT GetGridSpacing(LONG* lines, double* farthest, double* step) override;
    HRESULT SetScaleRect(const RECT* rect) override;
    HRESULT GetPixelTransform(double* scaleOffset) override;
    HRESULT SetRange(double minimum, double maximum) override;
    HRESULT SetScaling(const double* scaleOffset, const char16_t* title) override;
    HRESULT GetScaling(double* scaleOffset, BSTR* title) override;
    HRESULT SetUnits(const char16_t* units) override;
    HRESULT SetNoticeHook(LONG kind, HWND owner, LONG margin) override;
    HRESULT SetHomeExtent(double minimum, double maximum) override;
    HRESULT SetLimits(double minimum, double maximum) override;
    HRESULT SetMinimumSpan(const double* spanPair) override;
    HRESULT SetOption(LONG value) override;
    HRESULT SetDragDomain(double width, double minimum) override;
    HRESULT SetValue(LONG which, LONG value) override;
    HRESULT GetStyle(DWORD* style) override;
    HRESULT SetStyle(DWORD style) override;
    HRESULT Copy(IScaleControl** copy) override;
    HRESULT GetFrameRect(RECT* rect) override;
    HRESULT Draw(HDC dc, LONG reserved, LONG flags) override;
    HRESULT Print(HDC dc, HDC reference) override;
    HRESULT GetWindowHandle(HWND* window) override;
    HRESULT RegisterObserver(IDragScaleObserver* observer) override;
    HRESULT UnregisterObserver(IDragScaleObserver* observer) override;
    HRESULT GetExtent(double* maximumMinimum) override;

    HRESULT GetRect(LONG* left, LONG* top, LONG* right, LONG* bottom) override;
    HRESULT GetTickCount(LONG* count) override;
    HRESULT FillTicks(LONG count, ScaleTick* ticks, LONG* filled) override;

    // The scale's rectangle; its length along the axis is the pixel span of the value range.
    void SetRect(RECT rect) { rect_ = rect; }
    // Lays the ticks and the grid out for values from `low` to `high` across the rectangle, about one tick per
    // `pixelsPerTick` pixels; values grow to the right on a horizontal scale and upwards on a vertical one.
    void LayOut(double low, double high, int pixelsPerTick = 50);
    // What a test wants the control to answer.
    void SetTicks(std::vector<LONG> offsets);
    void SetGridSpacing(double farthest, double step) { farthest_ = farthest, step_ = step; }
    void SetOffersTickList(bool offers) { offersTickList_ = offers; }

    // What tests read back.
    double Minimum() const { return minimum_; }
    double Maximum() const { return maximum_; }
    double HomeMinimum() const { return home_[0]; }
    double HomeMaximum() const { return home_[1]; }
    double LimitMinimum() const { return limits_[0]; }
    double LimitMaximum() const { return limits_[1]; }
    const std::u16string& Title() const { return title_; }
    const std::u16string& Units() const { return units_; }
    // The caption under (beside) the scale: the units text with the title, the unit, in brackets: "Time (s)".
    std::u16string Caption() const;
    LONG Option() const { return option_; }
    LONG Value(LONG which) const;
    double DragDomainWidth() const { return dragWidth_; }
    double DragDomainMinimum() const { return dragMinimum_; }
    const double* MinimumSpan() const { return minimumSpan_; }
    std::size_t ObserverCount() const { return observers_.size(); }
    HWND Window() const { return window_; }
    LONG Id() const { return id_; }

private:
    static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool MakeWindow(HWND parent);

    LONG Length() const;
    // Recomputes the pixel transform (when the range allows) and the ticks, and repaints the window.
    void Update();
    void DragTo(POINT point, bool stretch);
    // Keeps a range inside the limits when it fits in them.
    void KeepInLimits(double& minimum, double& maximum) const;
    // Draws the scale with its texts sized for a device of `dpi` dots per inch.
    void DrawAt(HDC dc, int dpi);
    template <class Call>
    void Notify(Call call);

    Axis axis_;
    LONG kind_;
    LONG id_;
    RECT rect_{};
    // The resolution the ticks are laid out for: 0 for the screen's; a printout sets its device's.
    int resolution_ = 0;
    std::vector<ScaleTick> ticks_;
    std::vector<double> tickValues_;
    double farthest_ = -1.0;
    double step_ = 0.0;
    bool offersTickList_ = true;

    double minimum_ = 0.0;
    double maximum_ = 1.0;
    double pixelTransform_[2] = {1.0, 0.0};
    bool haveTransform_ = false; // none made yet: the caller's pair stays
    double scaling_[2] = {1.0, 0.0};
    std::u16string title_;
    std::u16string units_;
    double home_[2] = {0.0, 1.0};
    double limits_[2] = {-1.0e300, 1.0e300};
    double minimumSpan_[2] = {0.0, 0.0};
    LONG option_ = 0;
    double dragWidth_ = 0.0;
    double dragMinimum_ = 0.0;
    std::map<LONG, LONG> values_;
    DWORD style_ = kScaleStyleDrawable;
    LONG hookKind_ = 0;
    HWND hookOwner_ = nullptr;
    LONG hookMargin_ = 0;
    std::vector<IDragScaleObserver*> observers_;

    HWND window_ = nullptr;
    bool dragging_ = false;
    POINT press_{};
    double pressMinimum_ = 0.0;
    double pressMaximum_ = 1.0;
};

// The host's shared service of the graph library: it makes scale controls and takes the plain-scale calls.
class GraphService final : public IGraphHostService, private HostOwned {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    using HostOwned::References;

    HRESULT CreateScaleControl(HWND parent, LONG value1, LONG value2, LONG kind, LONG id,
                               IScaleControl** out) override;
    HRESULT CreatePlainScale(LONG value1, LONG value2, LONG value3, LONG value4) override;
    HRESULT CreateLaneScale(LONG value1, LONG value2, DWORD style, LONG lane, IScaleControl** out) override;

    // How many controls it made; the values of the last plain-scale call.
    int MadeCount() const { return made_; }
    const std::vector<LONG>& LastPlainScale() const { return lastPlain_; }
    // Refuse every control from now on (creation must fail cleanly).
    void SetRefuse(bool refuse) { refuse_ = refuse; }

private:
    int made_ = 0;
    std::vector<LONG> lastPlain_;
    bool refuse_ = false;
};

} // namespace host
