// A sweep display of the host's charts: the newest data is drawn from the left edge of a fixed width over the oldest,
// which it replaces up to the wrap position, as an oscilloscope draws; sampling can pause it.
#pragma once

#include "host/comobject.h"
#include "sdk/chartserver.h"

namespace host {

class SweepDisplay final : public RefCounted, public IChartSweep, public IChartSweepState {
public:
    static constexpr LONG kRunning = 1;
    static constexpr LONG kPaused = 3;

    // A new display of `width` pixels at `ticksPerPixel`, with one reference.
    static platform::ComPtr<SweepDisplay> Create(LONG width, double ticksPerPixel);

    // The number of ticks sampled so far: the newest sweep ends there.
    void SetNewest(LONGLONG ticks) { newest_ = ticks; }
    void SetPaused(bool paused) { paused_ = paused; }

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    // IChartSweep
    HRESULT GetSweepOrigin(LONG x, double* firstTick, LONG* originX) override;
    HRESULT GetState(LONG* state) override;
    HRESULT GetPartEnd(LONG x, LONG* end) override;
    HRESULT GetSweepState(IChartSweepState** state) override;
    // IChartSweepState
    HRESULT GetWrapPosition(LONG* x) override;

private:
    SweepDisplay(LONG width, double ticksPerPixel) : width_(width > 0 ? width : 1), ticksPerPixel_(ticksPerPixel) {}
    // Whole sweeps done, and the pixel the newest sweep has reached.
    LONGLONG Sweeps() const;
    LONG Reached() const;

    LONG width_;
    double ticksPerPixel_;
    LONGLONG newest_ = 0;
    bool paused_ = false;
};

} // namespace host
