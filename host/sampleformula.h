// Sample formulas of the host's calculation channels: texts whose value is a channel of samples rather than events.
// The host knows one, the smoothed slope of a sample channel, which is the transform of its own peak detection:
//   lmslope( SOURCE, smoothing-s )
// Its sample at tick t is the difference of the means of the w samples up to t and of the w samples before those,
// per second (w = the smoothing in ticks, at least 1); the first 2w - 1 ticks of a record have no value yet (NaN).
#pragma once

#include "host/calcevaluator.h"
#include "host/comobject.h"
#include "sdk/sampleenum.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace host {

struct SampleFormula {
    ChannelRef source;
    double smoothing = 0.0; // seconds, above 0
};

// The formula of a text (any letter case, blanks anywhere between tokens), or nothing when the text is not one.
std::optional<SampleFormula> ParseSampleFormula(std::u16string_view text);
// "lmslope( TOKEN, smoothing )", the number written in the fewest digits that read back the same.
std::u16string WriteSampleFormula(std::u16string_view token, double smoothing);

// The ticks of `seconds` at the tick period, rounded, at least `least`.
std::int32_t TicksOf(double seconds, double tickPeriod, std::int32_t least);

// The smoothed slope, one sample at a time from the first sample of a record.
class SmoothedSlope {
public:
    SmoothedSlope(std::int32_t width, double tickPeriod);
    // Takes the next sample; true with the slope at it once 2 w samples were taken.
    bool Next(double sample, double& slope);

private:
    std::size_t width_;
    double tickPeriod_;
    std::deque<double> raw_; // the last 2 w samples
    double sumNear_ = 0.0;   // the newer w
    double sumFar_ = 0.0;    // the older w
};

// The samples of a slope formula over a record's source samples, which it reads from tick 0 on (the slope at a tick
// needs the samples before it): a read passes on the source's answers (S_OK with none read while the record is still
// being sampled, a failure at its end).
class SlopeSamples final : public IEnumFloatEx, private RefCounted {
public:
    // `source` is positioned at tick 0.
    SlopeSamples(platform::ComPtr<IEnumFloatEx> source, std::int32_t width, double tickPeriod);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT Read(LONG count, float* buffer, LONG* read) override;
    // Forward by reading; backward by starting the record again.
    HRESULT Move(LONG delta) override;
    HRESULT GetPosition(LONG* tick) override;
    HRESULT GetTimeBase(SourceTimeBase* out) override;

private:
    platform::ComPtr<IEnumFloatEx> source_;
    std::int32_t width_;
    double tickPeriod_;
    SmoothedSlope slope_;
    LONG position_ = 0;
};

} // namespace host
