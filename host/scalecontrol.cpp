#include "host/scalecontrol.h"

#include <algorithm>
#include <cmath>

namespace host {

ScaleControl::ScaleControl(Axis axis) : axis_(axis) {}

platform::ComPtr<ScaleControl> ScaleControl::Create(Axis axis) { return platform::ComPtr<ScaleControl>(new ScaleControl(axis)); }

HRESULT ScaleControl::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IScaleControl) {
        return Answer(static_cast<IScaleControl*>(this), out);
    }
    if (iid == IID_IScaleTickList && offersTickList_) {
        return Answer(static_cast<IScaleTickList*>(this), out);
    }
    return E_NOINTERFACE;
}

HRESULT ScaleControl::GetGridSpacing(LONG* lines, double* farthest, double* step)
{
    if (!lines || !farthest || !step) {
        return E_POINTER;
    }
    *farthest = farthest_;
    *step = step_;
    *lines = step_ < 0 && farthest_ >= 0 ? static_cast<LONG>(std::floor(farthest_ / -step_)) + 1 : 0;
    return S_OK;
}

HRESULT ScaleControl::GetRect(LONG* left, LONG* top, LONG* right, LONG* bottom)
{
    if (!left || !top || !right || !bottom) {
        return E_POINTER;
    }
    *left = rect_.left;
    *top = rect_.top;
    *right = rect_.right;
    *bottom = rect_.bottom;
    return S_OK;
}

HRESULT ScaleControl::GetTickCount(LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    *count = static_cast<LONG>(ticks_.size());
    return S_OK;
}

HRESULT ScaleControl::FillTicks(LONG count, ScaleTick* ticks, LONG* filled)
{
    if (!filled || (count > 0 && !ticks)) {
        return E_POINTER;
    }
    const auto n = static_cast<LONG>(std::min<std::size_t>(std::max<LONG>(count, 0), ticks_.size()));
    std::copy_n(ticks_.begin(), n, ticks);
    *filled = n;
    return S_OK;
}

void ScaleControl::SetTicks(std::vector<LONG> offsets)
{
    ticks_.clear();
    for (LONG offset : offsets) {
        ticks_.push_back(ScaleTick{offset, 0});
    }
}

void ScaleControl::LayOut(double low, double high, int pixelsPerTick)
{
    ticks_.clear();
    farthest_ = -1.0;
    step_ = 0.0;
    const LONG length = axis_ == Axis::Horizontal ? rect_.right - rect_.left : rect_.bottom - rect_.top;
    const double span = high - low;
    if (length <= 0 || !std::isfinite(span) || span <= 0 || pixelsPerTick <= 0) {
        return;
    }
    // The smallest step of 1, 2 or 5 times a power of ten that keeps the ticks at least pixelsPerTick apart.
    const double wanted = span * pixelsPerTick / length;
    const double decade = std::pow(10.0, std::floor(std::log10(wanted)));
    double step = decade;
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * decade;
        if (step >= wanted) {
            break;
        }
    }
    const double pixelsPerValue = length / span;
    for (double v = std::ceil(low / step) * step; v <= high + step * 1e-9; v += step) {
        const double along = (v - low) * pixelsPerValue;
        const double offset = axis_ == Axis::Horizontal ? along : length - along;
        ticks_.push_back(ScaleTick{static_cast<LONG>(std::lround(offset)), 0});
    }
    if (!ticks_.empty()) {
        farthest_ = std::max_element(ticks_.begin(), ticks_.end(), [](const ScaleTick& a, const ScaleTick& b) {
                        return a.offset < b.offset;
                    })->offset;
        step_ = -step * pixelsPerValue;
    }
}

} // namespace host
