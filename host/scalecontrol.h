// The host's axis scale control (stand-in): a scale rectangle, its ticks and its grid spacing. Laid out from a value
// range at steps of 1, 2 or 5 times a power of ten, or given tick by tick by a test.
#pragma once

#include "host/comobject.h"
#include "sdk/scalecontrol.h"

#include <vector>

namespace host {

class ScaleControl final : private RefCounted, public IScaleControl, public IScaleTickList {
public:
    enum class Axis { Horizontal, Vertical };
    explicit ScaleControl(Axis axis);

    // A new control with one reference for the caller.
    static platform::ComPtr<ScaleControl> Create(Axis axis);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT GetGridSpacing(LONG* lines, double* farthest, double* step) override;
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

private:
    Axis axis_;
    RECT rect_{};
    std::vector<ScaleTick> ticks_;
    double farthest_ = -1.0;
    double step_ = 0.0;
    bool offersTickList_ = true;
};

} // namespace host
