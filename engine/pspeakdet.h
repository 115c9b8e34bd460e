// "PSPeakDet": population spikes after stimuli. For each stimulus it passes the stimulus on (kind 1) and, when a
// peak-trough-peak shape lies in the search window after it (up to the next stimulus), the first peak, the
// trough and the second peak (kind 2). Extrema are samples that no other sample within 5 ticks on either side
// exceeds; of all the shapes in the window the deepest is kept.
#pragma once

#include "engine/eeh3enumerator.h"
#include "engine/eventrecords.h"

#include <array>

namespace CX::Enum::PSPeakDet {

class Params : public EEH3::ParamsBase {
public:
    double searchStartMs = -1.0;
    double searchEndMs = -1.0;
    LONG searchStartTicks = 0;      // derived when the sources are set: 0 for a negative start
    LONG searchEndTicks = 1000000;  // and 1000000 for a negative end

    void SetSources(LONG count, IUnknown** sources, IUnknown** units) override;

protected:
    void ReadValues(std::wistream& in) override;
    void WriteValues(std::wostream& out) const override;
};

struct Extremum {
    LONG tick = 0;
    float value = 0.0f;
};

struct State : EEH3::StateBase {
    static constexpr int kRing = 11;
    std::array<Extremum, 5> extrema{}; // alternating peaks (even positions) and troughs
    LONG count = 0;
    // The last 11 samples, and a NaN after them so that the ring is tested as three vectors of four.
    std::array<float, kRing + 1> ring{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, __builtin_nanf("")};
    LONG writeIndex = 0;
    bool full = false;
    LONG lastTick = 0;
    LONG searchStart = 0;
    LONG searchEnd = 0;
    LONG stimulusTick = 0;
    LONG step = 0; // 0 read a stimulus, 1 settle the search end, 2 scan the samples, 3 to 5 emit the spike

    // Adds a peak or a trough to the list of extrema.
    void Add(Extremum e, bool peak);
};

struct Algorithm {
    static bool Step(State& state, const Params& params, EventPkStm& out);
};

struct Family {
    using Params = PSPeakDet::Params;
    using State = PSPeakDet::State;
    using Algorithm = PSPeakDet::Algorithm;
    using Record = EventPkStm;
    static DWORD DrawType();
};

using Enum = EEH3::EEH3Enumerator<Family, 8>;

} // namespace CX::Enum::PSPeakDet
