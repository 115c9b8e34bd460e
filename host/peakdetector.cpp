#include "host/peakdetector.h"

#include <algorithm>
#include <cmath>

namespace host {

namespace {

std::int32_t Ticks(double seconds, double tickPeriod, std::int32_t least) { return TicksOf(seconds, tickPeriod, least); }

// The fewest noise-window samples from which a baseline is trusted.
constexpr std::size_t kLeastHistory = 16;
// The median absolute deviation of Gaussian noise times this is its standard deviation.
constexpr double kMadToSD = 1.4826;

} // namespace

PeakDetector::PeakDetector(const PeakDetectionParams& params, double tickPeriod)
    : params_(params), tickPeriod_(tickPeriod > 0.0 ? tickPeriod : 1.0),
      window_(Ticks(params.noiseWindow, tickPeriod_, 32)), refresh_(std::max(1, window_ / 8)),
      smoothTicks_(Ticks(params.smoothing, tickPeriod_, 1)), gapTicks_(Ticks(params.minInterval, tickPeriod_, 0)),
      slope_(smoothTicks_, tickPeriod_)
{
}

bool PeakDetector::Transform(float sample, double& value)
{
    if (params_.transform != 1) {
        value = sample;
        return std::isfinite(sample);
    }
    // Difference of the means of the newest and the preceding smoothTicks_ samples, per second.
    return slope_.Next(sample, value);
}

void PeakDetector::Estimate()
{
    if (history_.size() < kLeastHistory) {
        return;
    }
    scratch_.assign(history_.begin(), history_.end());
    const auto middle = scratch_.begin() + static_cast<std::ptrdiff_t>(scratch_.size() / 2);
    std::nth_element(scratch_.begin(), middle, scratch_.end());
    baseline_ = *middle;
    for (double& value : scratch_) {
        value = std::abs(value - baseline_);
    }
    std::nth_element(scratch_.begin(), middle, scratch_.end());
    noise_ = kMadToSD * *middle;
    estimated_ = true;
}

void PeakDetector::Emit(std::vector<DetectedPeak>& out)
{
    // Vertex of the parabola through the peak and its neighbours, within half a tick of the peak sample.
    double shift = 0.0;
    if (afterSeen_ && peakTick_ > peakStart_) {
        const double curvature = beforePeak_ - 2.0 * peakHeight_ + afterPeak_;
        if (curvature < 0.0) {
            shift = std::clamp(0.5 * (beforePeak_ - afterPeak_) / curvature, -0.5, 0.5);
        }
    }
    std::int32_t tick = peakTick_;
    if (shift < 0.0) {
        --tick;
        shift += 1.0;
    }
    out.push_back({tick, static_cast<float>(shift), peakValue_});
    nextAllowed_ = static_cast<std::int64_t>(peakTick_) + gapTicks_;
    inPeak_ = false;
}

void PeakDetector::Feed(float sample, std::vector<DetectedPeak>& out)
{
    const std::int32_t tick = tick_++;
    double value = 0.0;
    if (!Transform(sample, value)) {
        return;
    }
    // Re-estimated every refresh_ ticks; before the first refresh also at 16, 32, 64 … samples, so that a peak early
    // in a block is not missed for want of a baseline. Both depend only on the tick, never on how samples arrive.
    const bool early = tick < refresh_ && tick >= static_cast<std::int32_t>(kLeastHistory) && (tick & (tick - 1)) == 0;
    if (tick % refresh_ == 0 || early) {
        Estimate();
    }
    history_.push_back(value);
    if (history_.size() > static_cast<std::size_t>(window_)) {
        history_.pop_front();
    }
    if (!estimated_) {
        return;
    }
    const double level = params_.thresholdInSD ? params_.height * noise_ : params_.height;
    const double height = params_.direction * (value - baseline_);
    if (inPeak_) {
        if (!afterSeen_) {
            afterPeak_ = height;
            afterSeen_ = true;
        }
        if (height > peakHeight_) {
            beforePeak_ = lastHeight_;
            peakTick_ = tick;
            peakHeight_ = height;
            peakValue_ = value;
            afterSeen_ = false;
        } else if (level > 0.0 ? height < 0.5 * level : height <= 0.0) {
            Emit(out);
        }
    } else if (height > level && height > 0.0 && tick >= nextAllowed_) {
        inPeak_ = true;
        peakStart_ = tick;
        peakTick_ = tick;
        peakHeight_ = height;
        peakValue_ = value;
        beforePeak_ = lastHeight_;
        afterSeen_ = false;
    }
    lastHeight_ = height;
}

void PeakDetector::Finish(std::vector<DetectedPeak>& out)
{
    if (inPeak_) {
        Emit(out);
    }
}

} // namespace host
