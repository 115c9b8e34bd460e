// What the analysis view's tests share: a synthetic recording whose waveform and events are known, an analysis
// document opened on it whose results store holds those events, and the event records themselves.
#pragma once

#include "../analysis/analysisfixture.h"
#include "../document/preparedevents.h"

#include "document/cycledetector.h"

#include <cmath>
#include <string>

namespace viewtest {

using CX::Enum::EventFCalc;

// 1 ms per sample; blocks of 400 samples.
constexpr double kDt = 0.001;
constexpr int kBlockLength = 400;
constexpr float kBaseline = 0.1f;
constexpr float kHeight = 1.0f;
constexpr double kTau = 0.03; // seconds

// A flat baseline, a linear rise from tick s to s + 20 and an exponential decay with time constant kTau: the event
// whose peak lies at `peak` (s = peak - 20).
inline float Waveform(int tick, int peak)
{
    const int rise = peak - 20;
    if (tick < rise) {
        return kBaseline;
    }
    if (tick <= peak) {
        return kBaseline + kHeight * static_cast<float>(tick - rise) / 20.0f;
    }
    return kBaseline + kHeight * static_cast<float>(std::exp(-(tick - peak) * kDt / kTau));
}

// The event of the waveform around `peak` with every marker's value and tick set from the waveform's definition.
inline EventFCalc KnownEvent(int peak)
{
    EventFCalc event;
    event.ResetResults();
    const int rise = peak - 20;
    event.tick = peak;
    event.offset = 0.0f;
    event.value = kBaseline + kHeight;
    event.stimulusTick = rise - 20; // the time origin
    event.baselineStart = rise - 20;
    event.baselineEnd = rise - 5;
    event.baseline = kBaseline;
    event.maxValue = kBaseline + kHeight;
    event.maxTick = peak;
    event.riseStart = rise;
    event.fallEnd = peak + 130;
    event.lowest = kBaseline;
    event.highest = kBaseline + kHeight;
    event.tauStart = peak + 10;
    event.tauEnd = peak + 13;
    event.reserved104 = -1;
    event.reserved108 = -1;
    event.tStart = static_cast<float>(rise * kDt);
    event.timeToPeak = static_cast<float>(20 * kDt);
    event.aPeak = kBaseline + kHeight;
    event.height = kHeight;
    event.peakArea = 0.04f;
    // Half height is crossed on the rise at 10 ticks and on the decay at tau * ln 2.
    event.rise50Tick = rise + 10;
    event.fall50Tick = peak + static_cast<std::int32_t>(std::lround(kTau * std::log(2.0) / kDt));
    event.widths[4] = static_cast<float>((event.fall50Tick - event.rise50Tick) * kDt);
    event.tau = static_cast<float>(kTau);
    // The fit from its first tick: A exp(-t / tau) + B with the decay's own amplitude there.
    event.unread140 = static_cast<float>(kHeight * std::exp(-10 * kDt / kTau));
    event.unread144 = kBaseline;
    // The rise's slope in V/s and its value one tick before the slope window's start.
    event.slope = static_cast<float>(kHeight / (20 * kDt));
    event.unread160 = kBaseline + kHeight / 20.0f * 1.0f;
    event.tEnd = static_cast<float>((peak + 130) * kDt);
    return event;
}

// A recording of one channel with the waveform's events at the given peaks of block 0, and an analysis document
// (type 0 unless set) whose results hold those events.
struct ViewDocument : AnalysedDocument {
    static std::shared_ptr<host::Document> Recording(const std::vector<int>& peaks, const char16_t* unit)
    {
        auto recording = host::Document::Create();
        recording->AddChannel(u"Vm", unit);
        std::vector<float> samples(kBlockLength);
        for (int tick = 0; tick < kBlockLength; ++tick) {
            float value = kBaseline;
            for (const int peak : peaks) {
                value = std::max(value, Waveform(tick, peak));
            }
            samples[static_cast<std::size_t>(tick)] = value;
        }
        recording->SetSamples(recording->AddBlock(kDt), 0, samples);
        return recording;
    }

    explicit ViewDocument(std::vector<int> peaks = {150}, const char16_t* unit = u"V", int type = 0)
        : AnalysedDocument(Recording(peaks, unit))
    {
        SetAnalysisType(type);
        doc->Settings().SetDouble(CX::Doc::SettingId::kSlopeStart, 2.0);
        doc->Settings().SetDouble(CX::Doc::SettingId::kSlopeEnd, 8.0);
        std::vector<EventFCalc> events;
        for (const int peak : peaks) {
            events.push_back(KnownEvent(peak));
        }
        Store(events);
    }

    // Replaces the results with these events of block 0.
    void Store(const std::vector<EventFCalc>& events)
    {
        CX::Doc::CycleDetector& results = *doc->Results();
        results.Clear();
        const auto prepared = doctest::Prepared(events, CX::Doc::CycleDetector::kRecordBytes);
        ASSERT_TRUE(results.BeginBlock(0, prepared.Get(), kDt));
        ASSERT_TRUE(results.EnumerateTo(-1));
        results.EndBlock();
    }
};

} // namespace viewtest
