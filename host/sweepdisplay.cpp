#include "host/sweepdisplay.h"

#include <cmath>

namespace host {

platform::ComPtr<SweepDisplay> SweepDisplay::Create(LONG width, double ticksPerPixel)
{
    return platform::ComPtr<SweepDisplay>(new SweepDisplay(width, ticksPerPixel > 0 ? ticksPerPixel : 1.0));
}

HRESULT SweepDisplay::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IChartSweep, static_cast<IChartSweep*>(this)},
                       {&IID_IChartSweepState, static_cast<IChartSweepState*>(this)}},
                      iid, out);
}

LONGLONG SweepDisplay::Sweeps() const
{
    const auto pixels = static_cast<LONGLONG>(std::floor(static_cast<double>(newest_) / ticksPerPixel_));
    return pixels / width_;
}

LONG SweepDisplay::Reached() const
{
    const auto pixels = static_cast<LONGLONG>(std::floor(static_cast<double>(newest_) / ticksPerPixel_));
    return static_cast<LONG>(pixels % width_);
}

HRESULT SweepDisplay::GetWrapPosition(LONG* x)
{
    if (!x) {
        return E_POINTER;
    }
    *x = Sweeps() > 0 ? Reached() : -1;
    return S_OK;
}

HRESULT SweepDisplay::GetSweepOrigin(LONG x, double* firstTick, LONG* originX)
{
    if (!firstTick || !originX) {
        return E_POINTER;
    }
    // Left of the wrap the newest sweep; from the wrap on, the sweep before it.
    LONGLONG sweep = Sweeps();
    if (x >= Reached() && sweep > 0) {
        --sweep;
    }
    *firstTick = static_cast<double>(sweep) * width_ * ticksPerPixel_;
    *originX = 0;
    return S_OK;
}

HRESULT SweepDisplay::GetState(LONG* state)
{
    if (!state) {
        return E_POINTER;
    }
    *state = paused_ ? kPaused : kRunning;
    return S_OK;
}

HRESULT SweepDisplay::GetPartEnd(LONG x, LONG* end)
{
    if (!end) {
        return E_POINTER;
    }
    const LONG reached = Reached();
    // The first sweep ends at the newest data; later ones at the wrap, and the older part at the width.
    *end = x < reached || Sweeps() == 0 ? reached : width_;
    return S_OK;
}

HRESULT SweepDisplay::GetSweepState(IChartSweepState** state)
{
    if (!state) {
        return E_POINTER;
    }
    *state = static_cast<IChartSweepState*>(this);
    AddRef();
    return S_OK;
}

} // namespace host
