// Sample formulas of the host's calculation channels: texts whose value is a channel of samples rather than events.
// The host knows one, the smoothed slope of a sample channel, which is the transform of its own peak detection:
//   lmslope( SOURCE, smoothing-s )
// Its sample at tick t is the difference of the means of the w samples up to t and of the w samples before those,
// per second (w = the smoothing in ticks, at least 1); the first 2w - 1 ticks of a record have no value yet (NaN), nor
// have the 2w ticks from a sample that is not finite on.
#pragma once

#include "host/calcevaluator.h"
#include "host/comobject.h"
#include "sdk/sampleenum.h"

#include <cmath>
#include <cstdint>
#include <vector>
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

// The smoothed slope, one sample at a time from the first sample of a record. A sample that is not finite gives no
// slope (NaN) while it lies in the 2 w samples of one; after it, the sums are made again from the ring's samples.
// Whether this processor has the 256-bit lanes (paths that use them are chosen at run time).
bool HasAvx2();

class SmoothedSlope {
public:
    SmoothedSlope(std::int32_t width, double tickPeriod);
    // Takes the next sample; true with the slope at it once 2 w samples were taken. Inline: the host's peak
    // detection calls it for every sample.
    bool Next(double sample, double& slope)
    {
        if (gapped_ || !std::isfinite(sample)) {
            return NextAcrossGap(sample, slope);
        }
        const std::size_t newest = next_;
        if (raw_.size() < capacity_) {
            raw_.push_back(sample); // grows with the samples, as far as the record fills it
        } else {
            raw_[newest] = sample;
        }
        next_ = newest + 1 == capacity_ ? 0 : newest + 1;
        ++count_;
        sumNear_ += sample;
        if (count_ > width_) {
            const double moving = raw_[newest >= width_ ? newest - width_ : newest + capacity_ - width_];
            sumNear_ -= moving;
            sumFar_ += moving;
        }
        if (count_ > 2 * width_) {
            sumFar_ -= raw_[next_]; // the oldest, 2 w before the newest
        }
        if (count_ < 2 * width_) {
            return false;
        }
        slope = (sumNear_ - sumFar_) / (static_cast<double>(width_) * static_cast<double>(width_) * tickPeriod_);
        return true;
    }

    // Takes the next `count` samples and writes the slopes at those that have one (the last ones) to `slopes`;
    // returns how many. The same slopes, bit for bit, as Next one sample at a time: where every partial sum of a
    // stretch of samples is provably an exact double the sums are added in another order, else in the same order.
    std::size_t Next(const float* samples, std::size_t count, double* slopes);

    // How many slopes were given as NaN for a sample that was not finite, so far.
    std::size_t Unknown() const { return unknown_; }
    // How many slopes of chunks were made with the sums added in another order, provably exact, so far.
    std::size_t AtOnce() const { return atOnce_; }

private:
    // Next while the sums hold a sample that is not finite, or when one comes.
    bool NextAcrossGap(double sample, double& slope);
    // The chunk's samples while the ring is full and the sums finite, up to the first that is not finite (not
    // taken); returns how many were taken, each with its slope.
    std::size_t NextFinite(const float* samples, std::size_t count, double* slopes);
    // The same, one after the other on the ring.
    std::size_t NextInTurn(const float* samples, std::size_t count, double* slopes);

    std::size_t width_;
    double tickPeriod_;
    std::size_t capacity_;   // 2 w + 1: the newest sample, its w predecessors and the w before those
    std::vector<double> raw_; // a ring, the newest at next_ - 1
    std::size_t next_ = 0;
    std::size_t count_ = 0;
    double sumNear_ = 0.0; // the newer w
    double sumFar_ = 0.0;  // the older w
    bool gapped_ = false;         // the sums hold a sample that is not finite
    std::size_t whole_ = 0;       // then the index of the first sample whose 2 w samples are all finite
    std::size_t unknown_ = 0;
    std::size_t atOnce_ = 0;
    std::vector<float> head_; // the ring's 2 w samples, oldest first, then a chunk's first samples
};

// {8E2B4C71-5A3D-4F09-B6E8-1D7C9A2F3E54}: answered by the host's slope samples with the object itself, so that the
// host's peak detection reads the slopes as the doubles they are worked out in.
inline constexpr IID IID_HostSlopeSamples{0x8E2B4C71, 0x5A3D, 0x4F09, {0xB6, 0xE8, 0x1D, 0x7C, 0x9A, 0x2F, 0x3E, 0x54}};

// The samples of a slope formula over a record's source samples, which it reads from tick 0 on (the slope at a tick
// needs the samples before it): a read passes on the source's answers (S_OK with none read while the record is still
// being sampled, a failure at its end). The samples are floats, as every channel's are, for display; detection reads
// the doubles (ReadSlopes), the slopes its own transform works out.
class SlopeSamples final : public IEnumFloatEx, private RefCounted {
public:
    // `source` is positioned at tick 0.
    SlopeSamples(platform::ComPtr<IEnumFloatEx> source, std::int32_t width, double tickPeriod);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT Read(LONG count, float* buffer, LONG* read) override;
    // As Read, the slopes as doubles: NaN where a tick has none.
    HRESULT ReadSlopes(LONG count, double* slopes, LONG* read);
    // Forward by reading; backward by starting the record again.
    HRESULT Move(LONG delta) override;
    HRESULT GetPosition(LONG* tick) override;
    HRESULT GetTimeBase(SourceTimeBase* out) override;

private:
    platform::ComPtr<IEnumFloatEx> source_;
    std::int32_t width_;
    double tickPeriod_;
    SmoothedSlope slope_;
    std::vector<float> samples_; // of a read
    std::vector<double> slopes_;
    LONG position_ = 0;
};

} // namespace host
