#include "host/peakdetector.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace host {

namespace {

std::int32_t Ticks(double seconds, double tickPeriod, std::int32_t least) { return TicksOf(seconds, tickPeriod, least); }

// The fewest noise-window samples from which a baseline is trusted.
constexpr std::size_t kLeastHistory = 16;
// Windows up to this long, and windows still holding no more values, are selected from whole at each estimate:
// quicker than keeping bins for a few values each.
constexpr std::int64_t kFullSortCapacity = 512;
// The median absolute deviation of Gaussian noise times this is its standard deviation.
constexpr double kMadToSD = 1.4826;

// A value equal to the element of rank `rank` of the `count` values (no NaN among them), which are left as
// they are. The values are first counted in buckets ordered as the values, then the few of the bucket that holds
// that rank are selected from: partitions of many values would mispredict about every other comparison.
// `least` and `most` are the least and the greatest of them.
double Select(const double* values, std::size_t count, std::int64_t rank, double least, double most,
              std::vector<double>& spare, std::vector<std::uint8_t>& bucketOf)
{
    constexpr int kBuckets = 64;
    if (spare.size() < count) {
        spare.resize(count);
    }
    double* kept = spare.data();
    std::int64_t below = 0;
    std::size_t n = count;
    const double scale = kBuckets / (most - least);
    if (scale > 0.0 && std::isfinite(scale) && count > 8) {
        // Monotonic in the value, so that a bucket's values lie between those of the buckets below and above.
        if (bucketOf.size() < count) {
            bucketOf.resize(count);
        }
        std::uint8_t* buckets = bucketOf.data();
        std::size_t i = 0;
#if defined(__SSE2__)
        const __m128d leasts = _mm_set1_pd(least);
        const __m128d scales = _mm_set1_pd(scale);
        const __m128d top = _mm_set1_pd(kBuckets - 1.0);
        for (; i + 2 <= count; i += 2) {
            const __m128d at = _mm_min_pd(_mm_mul_pd(_mm_sub_pd(_mm_loadu_pd(values + i), leasts), scales), top);
            const __m128i whole = _mm_cvttpd_epi32(at);
            buckets[i] = static_cast<std::uint8_t>(_mm_cvtsi128_si32(whole));
            buckets[i + 1] = static_cast<std::uint8_t>(_mm_extract_epi16(whole, 2));
        }
#endif
        for (; i < count; ++i) {
            buckets[i] = static_cast<std::uint8_t>(std::min((values[i] - least) * scale, kBuckets - 1.0));
        }
        std::array<std::uint32_t, kBuckets> counts{};
        for (i = 0; i < count; ++i) {
            ++counts[buckets[i]];
        }
        std::uint8_t bucket = 0;
        while (below + counts[bucket] <= rank) {
            below += counts[bucket++];
        }
        n = 0;
        for (i = 0; i < count; ++i) {
            kept[n] = values[i];
            n += buckets[i] == bucket ? 1 : 0;
        }
    } else {
        std::copy_n(values, count, kept);
    }
    std::nth_element(kept, kept + (rank - below), kept + n);
    return kept[rank - below];
}

// Writes the distances |value - median| of the values [begin, end) to `out` (which may be `begin`), and widens
// [low, high] to the values and [nearest, farthest] to the distances. (Which of two zeros a bound is does not matter
// where they are used.)
void Distances(const double* begin, const double* end, double median, double* out, double& low, double& high,
               double& nearest, double& farthest)
{
#if defined(__SSE2__)
    if (end - begin >= 4) {
        const __m128d medians = _mm_set1_pd(median);
        const __m128d sign = _mm_set1_pd(-0.0);
        __m128d lows = _mm_set1_pd(low);
        __m128d highs = _mm_set1_pd(high);
        __m128d nears = _mm_set1_pd(nearest);
        __m128d fars = _mm_set1_pd(farthest);
        for (; begin + 2 <= end; begin += 2, out += 2) {
            const __m128d value = _mm_loadu_pd(begin);
            lows = _mm_min_pd(lows, value);
            highs = _mm_max_pd(highs, value);
            const __m128d distance = _mm_andnot_pd(sign, _mm_sub_pd(value, medians));
            nears = _mm_min_pd(nears, distance);
            fars = _mm_max_pd(fars, distance);
            _mm_storeu_pd(out, distance);
        }
        low = _mm_cvtsd_f64(_mm_min_sd(lows, _mm_unpackhi_pd(lows, lows)));
        high = _mm_cvtsd_f64(_mm_max_sd(highs, _mm_unpackhi_pd(highs, highs)));
        nearest = _mm_cvtsd_f64(_mm_min_sd(nears, _mm_unpackhi_pd(nears, nears)));
        farthest = _mm_cvtsd_f64(_mm_max_sd(fars, _mm_unpackhi_pd(fars, fars)));
    }
#endif
    for (; begin != end; ++begin, ++out) {
        const double value = *begin;
        low = std::min(low, value);
        high = std::max(high, value);
        const double distance = std::abs(value - median);
        nearest = std::min(nearest, distance);
        farthest = std::max(farthest, distance);
        *out = distance;
    }
}

// Where bins are placed: the median's bin and the bins from the median to its median absolute deviation.
constexpr int kCentreBin = 128;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr float kInfinityF = std::numeric_limits<float>::infinity();
constexpr double kBinsPerDeviation = 64.0;

} // namespace

NoiseWindow::NoiseWindow(std::int32_t capacity)
    : capacity_(std::max<std::int32_t>(capacity, 1))
{
}

namespace {

// The index of the last value that is not finite, or -1.
std::int64_t LastNonFinite(const double* values, std::size_t count)
{
    std::int64_t last = -1;
    for (std::size_t i = 0; i < count; ++i) {
        last = values[i] - values[i] == 0.0 ? last : static_cast<std::int64_t>(i); // NaN for infinities and NaN
    }
    return last;
}

} // namespace

// The ring's next `take` slots in a row (at most `wanted`, up to the ring's end), the position moved past them. The
// ring grows with the values, so that a long window costs only what a block fills of it.
double* NoiseWindow::NextSlots(std::size_t wanted, std::size_t& take)
{
    if (ring_.size() < static_cast<std::size_t>(capacity_)) {
        take = std::min(wanted, static_cast<std::size_t>(capacity_) - ring_.size());
        ring_.resize(ring_.size() + take);
        position_ = ring_.size() == static_cast<std::size_t>(capacity_) ? 0 : ring_.size();
        return ring_.data() + ring_.size() - take;
    }
    take = std::min(wanted, ring_.size() - position_);
    double* const to = ring_.data() + position_;
    position_ += take;
    if (position_ == ring_.size()) {
        position_ = 0;
    }
    return to;
}

void NoiseWindow::Push(const double* values, std::size_t count)
{
    while (count > 0) {
        std::size_t take;
        double* to = NextSlots(count, take);
        std::size_t i = 0;
        bool unusual = false;
#if defined(__SSE2__)
        // Copied and looked at two at a time: most often none is unusual.
        __m128d any = _mm_setzero_pd();
        for (; i + 2 <= take; i += 2) {
            const __m128d two = _mm_loadu_pd(values + i);
            _mm_storeu_pd(to + i, two);
            any = _mm_or_pd(any, _mm_cmpneq_pd(_mm_sub_pd(two, two), _mm_setzero_pd()));
        }
        unusual = _mm_movemask_pd(any) != 0;
#endif
        for (; i < take; ++i) {
            to[i] = values[i];
            unusual = unusual || !(values[i] - values[i] == 0.0);
        }
        if (unusual) {
            lastUnusual_ = count_ + LastNonFinite(values, take);
        }
        count_ += static_cast<std::int64_t>(take);
        values += take;
        count -= take;
    }
}

void NoiseWindow::FullSortEstimate(double& median, double& deviation)
{
    // Oldest first, so that of equal values (0 and -0) the same one is picked as ever.
    scratch_.assign(ring_.begin() + static_cast<std::ptrdiff_t>(position_), ring_.end());
    scratch_.insert(scratch_.end(), ring_.begin(), ring_.begin() + static_cast<std::ptrdiff_t>(position_));
    const auto middle = scratch_.begin() + static_cast<std::ptrdiff_t>(scratch_.size() / 2);
    std::nth_element(scratch_.begin(), middle, scratch_.end());
    median = *middle;
    for (double& value : scratch_) {
        value = std::abs(value - median);
    }
    std::nth_element(scratch_.begin(), middle, scratch_.end());
    deviation = *middle;
}

void NoiseWindow::PushFinite(const float* values, std::size_t count)
{
    while (count > 0) {
        std::size_t take;
        double* to = NextSlots(count, take);
        std::size_t i = 0;
#if defined(__SSE2__)
        for (; i + 4 <= take; i += 4) {
            const __m128 four = _mm_loadu_ps(values + i);
            _mm_storeu_pd(to + i, _mm_cvtps_pd(four));
            _mm_storeu_pd(to + i + 2, _mm_cvtps_pd(_mm_movehl_ps(four, four)));
        }
#endif
        for (; i < take; ++i) {
            to[i] = values[i];
        }
        count_ += static_cast<std::int64_t>(take);
        values += take;
        count -= take;
    }
}

namespace {

// The most batches kept before the window is grouped anew in eighths: each estimate looks into every batch.
constexpr std::size_t kMostBatches = 32;

// The bin of a finite value: monotonic in the value, and moving the bins by whole bins (changing `offset`) moves the
// bin of every value that is not in an outer bin by as many.
struct Coder {
    double low;
    double scale;
    std::int32_t offset;
    double least = offset - 1.0;   // whole bin widths above low below which all is in the lowest bin
    double most = offset + 256.0;  // and above which all is in the highest
    std::uint8_t operator()(double value) const
    {
        const double at = std::min(std::max((value - low) * scale, least), most);
        return static_cast<std::uint8_t>(std::clamp(static_cast<std::int32_t>(at) - offset, 0, 255));
    }
};

} // namespace

namespace {

#if defined(__x86_64__)
// The same codes with four lanes to an operation.
__attribute__((target("avx2"))) std::size_t CodeRunAvx2(const Coder& coder, const double* values, std::size_t count,
                                                         std::uint8_t* codes)
{
    const __m256d lows = _mm256_set1_pd(coder.low);
    const __m256d scales = _mm256_set1_pd(coder.scale);
    const __m256d least = _mm256_set1_pd(coder.least);
    const __m256d most = _mm256_set1_pd(coder.most);
    const __m128i offsets = _mm_set1_epi32(coder.offset);
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i four[4];
        for (int k = 0; k < 4; ++k) {
            const __m256d place = _mm256_mul_pd(_mm256_sub_pd(_mm256_loadu_pd(values + i + 4 * k), lows), scales);
            four[k] = _mm_sub_epi32(_mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(place, least), most)), offsets);
        }
        const __m128i low8 = _mm_packs_epi32(four[0], four[1]);
        const __m128i high8 = _mm_packs_epi32(four[2], four[3]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(codes + i), _mm_packus_epi16(low8, high8));
    }
    return i;
}

#endif

// The codes of `count` finite values.
void CodeRun(const Coder& coder, const double* values, std::size_t count, std::uint8_t* codes)
{
    std::size_t i = 0;
#if defined(__x86_64__)
    if (HasAvx2()) {
        i = CodeRunAvx2(coder, values, count, codes);
    }
#endif
#if defined(__SSE2__)
    // Sixteen at a time, without branches: the same codes as below.
    const __m128d lows = _mm_set1_pd(coder.low);
    const __m128d scales = _mm_set1_pd(coder.scale);
    const __m128d least = _mm_set1_pd(coder.least);
    const __m128d most = _mm_set1_pd(coder.most);
    const __m128i offsets = _mm_set1_epi32(coder.offset);
    // (The saturating packs keep the codes within [0, 255].)
    const auto two = [&](const double* at) {
        const __m128d place = _mm_mul_pd(_mm_sub_pd(_mm_loadu_pd(at), lows), scales);
        return _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(place, least), most));
    };
    const auto four = [&](const double* at) {
        return _mm_sub_epi32(_mm_unpacklo_epi64(two(at), two(at + 2)), offsets);
    };
    for (; i + 16 <= count; i += 16) {
        const double* at = values + i;
        const __m128i low8 = _mm_packs_epi32(four(at), four(at + 4));
        const __m128i high8 = _mm_packs_epi32(four(at + 8), four(at + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(codes + i), _mm_packus_epi16(low8, high8));
    }
#endif
    for (; i < count; ++i) {
        codes[i] = coder(values[i]);
    }
}

} // namespace

// Codes for the values of indices [first, end), which are in the window.
void NoiseWindow::Code(std::int64_t first, std::int64_t end)
{
    const Coder coder{low_, scale_, offset_};
    while (first < end) {
        const auto slot = static_cast<std::size_t>(first % capacity_);
        const auto count = static_cast<std::size_t>(std::min(end - first, capacity_ - first % capacity_));
        // (The window's values are finite whenever codes are made.)
        CodeRun(coder, ring_.data() + slot, count, codes_.data() + slot);
        first += static_cast<std::int64_t>(count);
    }
}

// The values of indices [first, end), which are coded, as the newest batches, and counted: in pieces of an eighth of
// the window back from `end`, where later estimates will likely find the window to start (it slides by an eighth from
// one estimate to the next), so that the window leaves whole batches behind.
void NoiseWindow::AddBatches(std::int64_t first, std::int64_t end)
{
    const std::int64_t piece = std::max<std::int64_t>(static_cast<std::int64_t>(Size()) / 8, 64);
    while (first < end) {
        const std::int64_t stop = first + ((end - first - 1) % piece + 1);
        AddBatch(first, stop);
        first = stop;
    }
}

void NoiseWindow::AddBatch(std::int64_t first, std::int64_t end)
{
    if (batchCount_ == batches_.size()) {
        // Room for more, the batches in order from the start.
        std::vector<Batch> more(std::max<std::size_t>(12, 2 * batches_.size()));
        for (std::size_t i = 0; i < batchCount_; ++i) {
            more[i] = std::move(batches_[(firstBatch_ + i) % batches_.size()]);
        }
        batches_.swap(more);
        firstBatch_ = 0;
    }
    Group<true>(batches_[(firstBatch_ + batchCount_++) % batches_.size()], first, end);
}

// The values of indices [first, end), which are coded, grouped by bin into `batch`; counted in the window's counts
// when kCount.
template <bool kCount>
void NoiseWindow::Group(Batch& batch, std::int64_t first, std::int64_t end)
{
    batch.first = first;
    batch.count = end - first;
    batch.gone = 0; // (its counts of values gone are set when the first go)
    batch.mixed = false;
    const double* values = ring_.data();
    const std::uint8_t* codes = codes_.data();
    // The slots in order: up to two runs of the ring.
    const auto start = static_cast<std::size_t>(first % capacity_);
    const std::size_t firstRun = static_cast<std::size_t>(std::min(end - first, capacity_ - first % capacity_));
    const std::size_t secondRun = static_cast<std::size_t>(end - first) - firstRun;
    std::array<std::uint32_t, kBins> in{};
    for (std::size_t slot = start; slot < start + firstRun; ++slot) {
        ++in[codes[slot]];
    }
    for (std::size_t slot = 0; slot < secondRun; ++slot) {
        ++in[codes[slot]];
    }
    // Where each bin's values begin (and where the next of each goes): the sums of the counts before, four bins at
    // a time; the window's counts with these.
    std::array<std::uint32_t, kBins> at;
    std::size_t bin = 0;
    std::uint32_t sum = 0;
#if defined(__SSE2__)
    const auto to = [](auto* p) { return reinterpret_cast<__m128i*>(p); };
    __m128i before = _mm_setzero_si128();
    for (; bin < kBins; bin += 4) {
        const __m128i four = _mm_loadu_si128(to(in.data() + bin));
        __m128i sums = _mm_add_epi32(four, _mm_slli_si128(four, 4));
        sums = _mm_add_epi32(sums, _mm_slli_si128(sums, 8)); // the sums up to and with each of the four
        const __m128i starts = _mm_add_epi32(before, _mm_sub_epi32(sums, four));
        _mm_storeu_si128(to(batch.starts.data() + bin), starts);
        _mm_storeu_si128(to(at.data() + bin), starts);
        before = _mm_add_epi32(before, _mm_shuffle_epi32(sums, 0xff));
        if constexpr (kCount) {
            __m128i* counts = to(counts_.data() + bin);
            _mm_storeu_si128(counts, _mm_add_epi32(_mm_loadu_si128(counts), four));
        }
    }
    sum = static_cast<std::uint32_t>(_mm_cvtsi128_si32(before));
#endif
    for (; bin < kBins; ++bin) {
        batch.starts[bin] = sum;
        at[bin] = sum;
        sum += in[bin];
        if constexpr (kCount) {
            counts_[bin] += in[bin];
        }
    }
    batch.starts[kBins] = sum;
    // Each value after those of its bin that came before it.
    batch.values.resize(static_cast<std::size_t>(batch.count));
    double* grouped = batch.values.data();
    for (std::size_t slot = start; slot < start + firstRun; ++slot) {
        grouped[at[codes[slot]]++] = values[slot];
    }
    for (std::size_t slot = 0; slot < secondRun; ++slot) {
        grouped[at[codes[slot]]++] = values[slot];
    }
}

// The bins moved up by `bins` (down when negative), the values in batches (the window's, after Expire) kept in them:
// each value's bin moves by as many, except in the outer bin on the side the bins move to, whose values are spread
// over the bins that open there, and in the bins beyond the other side, which merge into the outer bin there.
void NoiseWindow::Shift(int bins)
{
    // (The codes of the values in batches stay as they were: a batch is coded anew before it is grouped anew.)
    offset_ += bins;
    const Coder coder{low_, scale_, offset_};
    const auto up = static_cast<std::size_t>(std::max(bins, 0));
    const auto down = static_cast<std::size_t>(std::max(-bins, 0));
    counts_.fill(0);
    std::array<std::uint32_t, kBins + 1> starts;
    std::array<std::uint32_t, kBins + 1> at;
    for (std::size_t i = 0; i < batchCount_; ++i) {
        Batch& batch = batches_[(firstBatch_ + i) % batches_.size()];
        if (batch.gone > 0) {
            // Its first values of each bin are gone: those left grouped anew.
            Code(batch.first + batch.gone, batch.first + batch.count);
            Group<false>(batch, batch.first + batch.gone, batch.first + batch.count);
        } else {
            // The bins that open are filled from the outer bin in the order its values arrived; the others keep
            // their values.
            const std::array<std::uint32_t, kBins + 1>& old = batch.starts;
            const std::size_t firstNew = up > 0 ? kBins - 1 - up : 0; // the bins that open
            const std::size_t lastNew = up > 0 ? kBins - 1 : down;
            starts[0] = 0;
            if (up > 0) {
                for (std::size_t bin = 1; bin <= firstNew; ++bin) {
                    starts[bin] = old[bin + up];
                }
            } else {
                for (std::size_t bin = lastNew + 1; bin < kBins; ++bin) {
                    starts[bin] = old[bin - down];
                }
            }
            starts[kBins] = old[kBins];
            double* values = batch.values.data();
            // The bins that open: the values of the outer bin they open from, in order.
            const std::uint32_t from = up > 0 ? old[kBins - 1] : old[0];
            const std::uint32_t to = up > 0 ? old[kBins] : old[1];
            scratch_.assign(values + from, values + to);
            std::uint8_t* binOf = buckets_.data();
            if (buckets_.size() < scratch_.size()) {
                buckets_.resize(scratch_.size());
                binOf = buckets_.data();
            }
            CodeRun(coder, scratch_.data(), scratch_.size(), binOf);
            std::array<std::uint32_t, kBins> in{};
            for (std::size_t k = 0; k < scratch_.size(); ++k) {
                ++in[binOf[k]];
            }
            std::uint32_t sum = from;
            for (std::size_t bin = firstNew; bin <= lastNew; ++bin) {
                starts[bin] = sum;
                at[bin] = sum;
                sum += in[bin];
            }
            for (std::size_t k = 0; k < scratch_.size(); ++k) {
                values[at[binOf[k]]++] = scratch_[k];
            }
            // The bin that merges holds its values bin after bin, no longer in the order they arrived: grouped anew
            // before the first of them leave.
            batch.starts = starts;
            batch.mixed = true;
        }
        Tally<true>(batch);
    }
}

void NoiseWindow::ClearBatches()
{
    firstBatch_ = 0;
    batchCount_ = 0;
    counts_.fill(0);
}

// The window's counts with or without those of a batch none of whose values are gone.
template <bool kAdd>
void NoiseWindow::Tally(const Batch& batch)
{
    std::size_t bin = 0;
#if defined(__SSE2__)
    for (; bin < kBins; bin += 4) {
        const auto from = [](const std::uint32_t* p) { return reinterpret_cast<const __m128i*>(p); };
        const __m128i in = _mm_sub_epi32(_mm_loadu_si128(from(batch.starts.data() + bin + 1)),
                                         _mm_loadu_si128(from(batch.starts.data() + bin)));
        auto* counts = reinterpret_cast<__m128i*>(counts_.data() + bin);
        _mm_storeu_si128(counts, kAdd ? _mm_add_epi32(_mm_loadu_si128(counts), in)
                                      : _mm_sub_epi32(_mm_loadu_si128(counts), in));
    }
#endif
    for (; bin < kBins; ++bin) {
        const std::uint32_t in = batch.starts[bin + 1] - batch.starts[bin];
        counts_[bin] = kAdd ? counts_[bin] + in : counts_[bin] - in;
    }
}

// Values that left the window since the last estimate taken out of their batches and counts: the oldest first.
void NoiseWindow::Expire()
{
    const std::int64_t leftBefore = count_ - static_cast<std::int64_t>(Size()); // the indices that have left
    while (batchCount_ > 0) {
        Batch& batch = batches_[firstBatch_];
        if (batch.first + batch.count <= leftBefore) {
            if (batch.gone == 0) {
                Tally<false>(batch);
            } else {
                for (std::size_t bin = 0; bin < kBins; ++bin) {
                    counts_[bin] -= batch.starts[bin + 1] - batch.starts[bin] - batch.left[bin];
                }
            }
            firstBatch_ = (firstBatch_ + 1) % batches_.size();
            --batchCount_;
            continue;
        }
        if (batch.mixed && batch.first < leftBefore) {
            // Its values left grouped anew, so that those of each bin leave first to last.
            Tally<false>(batch);
            Code(leftBefore, batch.first + batch.count);
            Group<true>(batch, leftBefore, batch.first + batch.count);
            break;
        }
        if (batch.gone == 0 && batch.first < leftBefore) {
            batch.left.fill(0);
        }
        // Their slots' codes are still theirs: the values that replaced them are not coded yet.
        for (std::int64_t index = batch.first + batch.gone; index < leftBefore; ++index) {
            const std::uint8_t code = codes_[static_cast<std::size_t>(index % capacity_)];
            --counts_[code];
            ++batch.left[code];
        }
        batch.gone = std::max(batch.gone, leftBefore - batch.first);
        break;
    }
}

namespace {

// Bins about `center`, kBinsPerDeviation to `spread`.
void Place(double center, double spread, double& low, double& scale)
{
    double width = spread / kBinsPerDeviation;
    if (!(width > 0.0) || !std::isfinite(width)) {
        width = std::max(std::abs(center), 1.0) * 1e-6; // most values tie: any width is exact
    }
    scale = 1.0 / width;
    low = center - kCentreBin * width;
    if (!std::isfinite(scale) || !std::isfinite(low)) {
        scale = 0.0; // one bin for everything: slow, still exact
        low = 0.0;
    }
}

// Whether bins placed at `low` with `scale` still suit a median and deviation (else they are placed again).
bool Suits(double median, double deviation, double low, double scale)
{
    const double place = (median - low) * scale; // in bins from the lowest
    const double spread = deviation * scale;
    constexpr int kAll = 256;
    return (place - spread >= kAll / 16 && place + spread <= kAll * 15 / 16) &&
           !(deviation > 0.0 && !(spread >= kBinsPerDeviation / 2 && spread <= kBinsPerDeviation * 2));
}

} // namespace

void NoiseWindow::Rebin(double center, double spread)
{
    Place(center, spread, low_, scale_);
    offset_ = 0;
    shift_ = 0;
    codes_.resize(ring_.size());
    const std::int64_t oldest = count_ - static_cast<std::int64_t>(Size());
    Code(oldest, count_);
    // Batches of the same values as before where there were some, which end where estimates found the window to end.
    ends_.clear();
    for (std::size_t i = 0; i < batchCount_; ++i) {
        const Batch& batch = batches_[(firstBatch_ + i) % batches_.size()];
        ends_.push_back(batch.first + batch.count);
    }
    ClearBatches();
    std::int64_t first = oldest;
    for (const std::int64_t end : ends_) {
        if (end > first && end <= count_) {
            AddBatch(first, end);
            first = end;
        }
    }
    AddBatches(first, count_);
    coded_ = count_;
    binned_ = true;
}

void NoiseWindow::CodeNewValues()
{
    codes_.resize(ring_.size());
    Expire();
    const std::int64_t oldest = count_ - static_cast<std::int64_t>(Size());
    const std::int64_t first = std::max(coded_, oldest);
    if (first < count_) {
        Code(first, count_);
        AddBatch(first, count_);
    }
    coded_ = count_;
    if (batchCount_ > kMostBatches) {
        // Small batches (values were missing, or estimates came often) grouped anew.
        Code(oldest, first);
        ClearBatches();
        AddBatches(oldest, count_);
    }
}

std::int64_t NoiseWindow::Count(int first, int last) const
{
    first = std::max(first, 0);
    last = std::min(last, kBins - 1);
    return first > last ? 0 : below_[static_cast<std::size_t>(last) + 1] - below_[static_cast<std::size_t>(first)];
}

// Calls `take` with runs [begin, end) that hold each value of the window in the bins [first, last] once; with those
// of one bin in the order they arrived.
template <class Take>
void NoiseWindow::ForEachRunIn(int first, int last, Take take) const
{
    first = std::max(first, 0);
    last = std::min(last, kBins - 1);
    const auto from = static_cast<std::size_t>(first);
    const auto to = static_cast<std::size_t>(last) + 1;
    std::size_t next = firstBatch_;
    for (std::size_t i = 0; i < batchCount_; ++i) {
        const Batch& batch = batches_[next];
        next = next + 1 == batches_.size() ? 0 : next + 1;
        const double* values = batch.values.data();
        if (batch.gone == 0) {
            take(values + batch.starts[from], values + batch.starts[to]);
            continue;
        }
        for (std::size_t bin = from; bin < to; ++bin) {
            take(values + batch.starts[bin] + batch.left[bin], values + batch.starts[bin + 1]);
        }
    }
}

// The element of rank `rank` of the values of bin `bin`, selected from them in the order they arrived (which of two
// equal values, 0 and -0, is picked depends on that order).
void NoiseWindow::SelectMedian(int bin, std::int64_t rank, double& median)
{
    if (scratch_.size() < ring_.size()) {
        scratch_.resize(ring_.size());
    }
    double* out = scratch_.data();
    std::size_t n = 0;
    double least = kInfinity;
    double most = -kInfinity;
    ForEachRunIn(bin, bin, [&](const double* begin, const double* end) {
        for (; begin != end; ++begin) {
            out[n++] = *begin;
        }
    });
    for (std::size_t i = 0; i < n; ++i) {
        least = std::min(least, out[i]);
        most = std::max(most, out[i]);
    }
    median = Select(out, n, rank, least, most, spare_, buckets_);
    if (median == 0.0) {
        SelectZero(median);
    }
}

// The median, a zero, as the window's first design picked it: from the values of its bin there, in the order they
// arrived.
void NoiseWindow::SelectZero(double& median)
{
    const auto code = [low = firstLow_, scale = firstScale_](double value) {
        return static_cast<std::int32_t>(std::min(std::max((value - low) * scale, 0.0), kBins - 1.0));
    };
    const std::int32_t bin = code(0.0);
    double* out = scratch_.data();
    std::size_t n = 0;
    std::int64_t below = 0;
    const std::int64_t oldest = count_ - static_cast<std::int64_t>(Size());
    for (std::int64_t index = oldest; index < count_; ++index) {
        const double value = ring_[static_cast<std::size_t>(index % capacity_)];
        const std::int32_t at = code(value);
        below += at < bin ? 1 : 0;
        out[n] = value;
        n += at == bin ? 1 : 0;
    }
    const auto rank = static_cast<std::size_t>(static_cast<std::int64_t>(Size()) / 2 - below);
    std::nth_element(out, out + rank, out + n);
    median = out[rank];
}

// The median absolute deviation from the values of the bins within `reach` of the bins `left` and `right`, which
// hold the values at the guessed distance from the median; false when that guess was too far off to tell it from
// these values alone.
bool NoiseWindow::Deviation(double median, int left, int right, int reach, double& deviation)
{
    const std::int64_t target = static_cast<std::int64_t>(Size()) / 2;
    const int loL = std::max(left - reach, 0);
    int hiL = std::min(left + reach, kBins - 1);
    int loR = std::max(right - reach, 0);
    const int hiR = std::min(right + reach, kBins - 1);
    if (hiL + 1 >= loR) {
        hiL = hiR; // the ranges meet: one range
        loR = hiR + 1;
    }
    const std::int64_t outerLeft = Count(0, loL - 1);
    const std::int64_t outerRight = Count(hiR + 1, kBins - 1);
    // Between the two ranges: every such value is above each of the left range and below each of the right.
    const std::int64_t inner = Count(hiL + 1, loR - 1);
    const std::int64_t rank = target - inner;
    if (rank < 0 || rank >= Count(loL, hiL) + Count(loR, hiR)) {
        return false;
    }
    double leftLow = kInfinity;
    double leftHigh = -kInfinity;
    double rightLow = kInfinity;
    double rightHigh = -kInfinity;
    if (scratch_.size() < ring_.size()) {
        scratch_.resize(ring_.size());
    }
    double* out = scratch_.data();
    std::size_t n = 0;
    // The order of the distances does not matter: they are not numbers of two signs.
    double nearest = kInfinity;
    double farthest = -kInfinity;
    // The values gathered first, then their distances in one pass over each range's.
    const auto gather = [&](const double* begin, const double* end) {
        for (; begin != end; ++begin) {
            out[n++] = *begin;
        }
    };
    ForEachRunIn(loL, hiL, gather);
    Distances(out, out + n, median, out, leftLow, leftHigh, nearest, farthest);
    if (loR <= hiR) {
        const std::size_t leftCount = n;
        ForEachRunIn(loR, hiR, gather);
        Distances(out + leftCount, out + n, median, out + leftCount, rightLow, rightHigh, nearest, farthest);
    } else {
        rightLow = leftLow;
        rightHigh = leftHigh;
    }
    deviation = Select(out, n, rank, nearest, farthest, spare_, buckets_);
    // The values outside the ranges lie farther from the median than the answer, those between them nearer, so
    // that the answer's rank among the collected values is its rank among all.
    return (inner == 0 || deviation >= std::max(median - leftHigh, rightLow - median)) &&
           (outerLeft == 0 || (leftLow <= median && deviation <= median - leftLow)) &&
           (outerRight == 0 || (rightHigh >= median && deviation <= rightHigh - median));
}

void NoiseWindow::Estimate(double& median, double& deviation)
{
    const auto size = static_cast<std::int64_t>(Size());
    if (capacity_ <= kFullSortCapacity || lastUnusual_ >= count_ - size || size <= kFullSortCapacity) {
        // Infinities and NaN make distances that order as a full sort happens to leave them.
        FullSortEstimate(median, deviation);
        binned_ = false;
        firstBinned_ = false;
    } else {
        // Ahead of a drifting baseline, so that it stays clear of the outer bins for longer.
        const double ahead = std::clamp(5.0 * medianChange_, -0.6 * lastDeviation_, 0.6 * lastDeviation_);
        const double center = std::isfinite(ahead) ? lastMedian_ + ahead : lastMedian_;
        if (!firstBinned_) {
            Place(center, lastDeviation_, firstLow_, firstScale_);
            firstBinned_ = true;
        }
        if (binned_) {
            if (shift_ != 0) {
                Expire();
                Shift(shift_);
                shift_ = 0;
            }
            CodeNewValues();
        } else {
            Rebin(center, lastDeviation_);
        }
        std::int64_t sum = 0;
        std::size_t bin = 0;
#if defined(__SSE2__)
        // Four bins at a time (the window holds fewer than 2^31 values).
        __m128i before = _mm_setzero_si128();
        for (; bin < kBins; bin += 4) {
            const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(counts_.data() + bin));
            __m128i sums = _mm_add_epi32(four, _mm_slli_si128(four, 4));
            sums = _mm_add_epi32(sums, _mm_slli_si128(sums, 8));
            const __m128i starts = _mm_add_epi32(before, _mm_sub_epi32(sums, four));
            auto* to = reinterpret_cast<__m128i*>(below_.data() + bin);
            _mm_storeu_si128(to, _mm_unpacklo_epi32(starts, _mm_setzero_si128()));
            _mm_storeu_si128(to + 1, _mm_unpackhi_epi32(starts, _mm_setzero_si128()));
            before = _mm_add_epi32(before, _mm_shuffle_epi32(sums, 0xff));
        }
        sum = static_cast<std::uint32_t>(_mm_cvtsi128_si32(before));
#endif
        for (; bin < kBins; ++bin) {
            below_[bin] = sum;
            sum += counts_[bin];
        }
        below_[kBins] = sum;
        const std::int64_t target = size / 2;
        // The first bin with more than `target` values below its end.
        const int middle =
            static_cast<int>(std::upper_bound(below_.begin() + 1, below_.end(), target) - below_.begin()) - 1;
        const std::int64_t lower = below_[static_cast<std::size_t>(middle)];
        SelectMedian(middle, target - lower, median);
        // The fewest bins on either side of the median's that hold more than half the window with it: the values at
        // the deviation are near the outermost of them.
        const auto within = [&](int reach) {
            return below_[static_cast<std::size_t>(std::min(middle + reach, kBins - 1)) + 1] -
                   below_[static_cast<std::size_t>(std::max(middle - reach, 0))];
        };
        int fewest = 0;
        for (int step = kBins / 2; step > 0; step /= 2) {
            if (within(fewest + step - 1) <= target) {
                fewest += step;
            }
        }
        const int left = std::max(middle - fewest, 0);
        const int right = std::min(middle + fewest, kBins - 1);
        int widened = 1;
        while (!Deviation(median, left, right, widened, deviation)) {
            widened *= 4; // at last one range of all bins, which always tells
        }
        if (!Suits(median, deviation, firstLow_, firstScale_)) {
            firstBinned_ = false;
        }
        // Bins placed again about these answers when the spread changed, or moved by whole bins when the median
        // drifted from the middle bins.
        const double spread = deviation * scale_;
        if (scale_ == 0.0 || (deviation > 0.0 && !(spread >= kBinsPerDeviation / 2 && spread <= kBinsPerDeviation * 2))) {
            binned_ = false;
        } else if (const double place = (median - low_) * scale_ - offset_;
                   !(place - spread >= kBins / 16 && place + spread <= kBins * 15 / 16)) {
            const double change = median - lastMedian_;
            const double lead = std::clamp(5.0 * change, -0.6 * deviation, 0.6 * deviation);
            const double to = (median + (std::isfinite(lead) ? lead : 0.0) - low_) * scale_ - offset_;
            if (std::abs(to - kCentreBin) < kCentreBin && std::abs(static_cast<double>(offset_)) < 1e9) {
                shift_ = static_cast<int>(std::lround(to)) - kCentreBin;
            }
            if (shift_ == 0) {
                binned_ = false;
            }
        }
    }
    medianChange_ = median - lastMedian_;
    lastMedian_ = median;
    lastDeviation_ = deviation;
}

PeakDetector::PeakDetector(const PeakDetectionParams& params, double tickPeriod)
    : params_(params), tickPeriod_(tickPeriod > 0.0 ? tickPeriod : 1.0),
      window_(Ticks(params.noiseWindow, tickPeriod_, 32)), refresh_(std::max(1, window_ / 8)),
      smoothTicks_(Ticks(params.smoothing, tickPeriod_, 1)), gapTicks_(Ticks(params.minInterval, tickPeriod_, 0)),
      slope_(smoothTicks_, tickPeriod_), history_(window_)
{
}

void PeakDetector::Estimate()
{
    if (history_.Size() < kLeastHistory) {
        return;
    }
    history_.Estimate(baseline_, deviation_);
    noise_ = kMadToSD * deviation_;
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

// The first tick after `tick` at which the baseline is re-estimated: every refresh_ ticks, and before the first
// refresh also at 16, 32, 64 … samples, so that a peak early in a block is not missed for want of a baseline. Both
// depend only on the tick, never on how samples arrive.
std::int32_t PeakDetector::NextEstimateTick(std::int32_t tick) const
{
    std::int32_t next = (tick / refresh_ + 1) * refresh_;
    if (tick + 1 < refresh_) {
        const auto early = std::max(static_cast<std::int32_t>(kLeastHistory),
                                    static_cast<std::int32_t>(std::bit_ceil(static_cast<std::uint32_t>(tick + 1))));
        next = std::min(next, early);
    }
    return next;
}

bool PeakDetector::IsEstimateTick(std::int32_t tick) const
{
    return tick % refresh_ == 0 || (tick < refresh_ && tick >= static_cast<std::int32_t>(kLeastHistory) &&
                                    (tick & (tick - 1)) == 0);
}

namespace {

#if defined(__SSE2__)
[[gnu::always_inline]] inline void LoadTwo(const float* at, __m128d& low, __m128d& high)
{
    const __m128 four = _mm_loadu_ps(at);
    low = _mm_cvtps_pd(four);
    high = _mm_cvtps_pd(_mm_movehl_ps(four, four));
}
[[gnu::always_inline]] inline void LoadTwo(const double* at, __m128d& low, __m128d& high)
{
    low = _mm_loadu_pd(at);
    high = _mm_loadu_pd(at + 2);
}
#endif

// Single-precision values in order as integers (-0 just below 0), and back.
std::int64_t OrderOf(float value)
{
    const auto bits = std::bit_cast<std::int32_t>(value);
    return bits >= 0 ? bits : -static_cast<std::int64_t>(bits & 0x7fffffff) - 1;
}
float FloatAt(std::int64_t order)
{
    return std::bit_cast<float>(order >= 0 ? static_cast<std::uint32_t>(order)
                                           : 0x80000000u | static_cast<std::uint32_t>(-(order + 1)));
}

// The finite single-precision values whose height direction * (value - baseline) is above `start` are those at or
// above the bound when `upward`, else those at or below it. The height is monotonic in the value, upward unless the
// direction is negative, so that the bound is the first value in that order found above: by bisection, which starts
// about where the arithmetic puts it. (No value is above: the bound is an infinity beyond all.)
struct FloatBound {
    bool upward;
    float bound;
};
FloatBound BoundOf(double direction, double baseline, double start)
{
    const bool upward = !(direction < 0.0);
    const auto above = [&](std::int64_t order) {
        return direction * (static_cast<double>(FloatAt(order)) - baseline) > start;
    };
    constexpr float kMost = std::numeric_limits<float>::max();
    // In the order in which the values above come last.
    const auto ordered = [&](std::int64_t at) { return upward ? at : -at; };
    std::int64_t below = ordered(OrderOf(upward ? -kMost : kMost)) - 1; // not above (or beyond the finite values)
    std::int64_t at = ordered(OrderOf(upward ? kMost : -kMost));         // above, once known to be
    if (!above(ordered(at))) {
        return {upward, upward ? kInfinityF : -kInfinityF};
    }
    const double guess = std::isfinite(direction) && direction != 0.0 ? baseline + start / direction : 0.0;
    if (std::abs(guess) < kMost) {
        const std::int64_t near = ordered(OrderOf(static_cast<float>(guess)));
        if (near - 4 > below && !above(ordered(near - 4))) {
            below = near - 4;
        }
        if (near + 4 < at && above(ordered(near + 4))) {
            at = near + 4;
        }
    }
    while (at - below > 1) {
        const std::int64_t middle = below + (at - below) / 2;
        (above(ordered(middle)) ? at : below) = middle;
    }
    return {upward, FloatAt(ordered(at))};
}

// From the value k on, past the values whose height direction * (value - baseline) is not above `start`, in groups:
// the value at which the group that may hold one above starts, or about `end`.
std::size_t PassBelow(const float* values, std::size_t k, std::size_t end, const FloatBound& bound)
{
#if defined(__SSE2__)
    // Eight values at a time against the bound, which tells the same as the arithmetic in doubles.
    const __m128 bounds = _mm_set1_ps(bound.bound);
    for (; k + 8 <= end; k += 8) {
        const __m128 a = _mm_loadu_ps(values + k);
        const __m128 b = _mm_loadu_ps(values + k + 4);
        // Not below the bound (above it when downward): the group may hold one.
        const __m128 may = bound.upward ? _mm_or_ps(_mm_cmpge_ps(a, bounds), _mm_cmpge_ps(b, bounds))
                                        : _mm_or_ps(_mm_cmple_ps(a, bounds), _mm_cmple_ps(b, bounds));
        if (_mm_movemask_ps(may) != 0) {
            break;
        }
    }
#else
    for (; k < end && (bound.upward ? values[k] < bound.bound : values[k] > bound.bound); ++k) {
    }
#endif
    return k;
}

template <class Value>
std::size_t PassBelow(const Value* values, std::size_t k, std::size_t end, double direction, double baseline,
                      double start)
{
#if defined(__SSE2__)
    // The same arithmetic as one at a time, eight values at a time.
    const __m128d directions = _mm_set1_pd(direction);
    const __m128d baselines = _mm_set1_pd(baseline);
    const __m128d starts = _mm_set1_pd(start);
    const auto above = [&](__m128d value) {
        return _mm_cmpgt_pd(_mm_mul_pd(directions, _mm_sub_pd(value, baselines)), starts);
    };
    for (; k + 8 <= end; k += 8) {
        __m128d a, b, c, d;
        LoadTwo(values + k, a, b);
        LoadTwo(values + k + 4, c, d);
        const __m128d any = _mm_or_pd(_mm_or_pd(above(a), above(b)), _mm_or_pd(above(c), above(d)));
        if (_mm_movemask_pd(any) != 0) {
            break;
        }
    }
#else
    const auto heightAt = [&](std::size_t i) { return direction * (static_cast<double>(values[i]) - baseline); };
    while (k + 4 <= end && !((heightAt(k) > start) | (heightAt(k + 1) > start) | (heightAt(k + 2) > start) |
                             (heightAt(k + 3) > start))) {
        k += 4;
    }
#endif
    return k;
}

} // namespace

// The values [first, end) after an estimate, all with the same baseline and level; the value k is at tick ticks[k]
// when the ticks are listed, else at tick base + k.
template <class Value, bool kListed>
void PeakDetector::Detect(const Value* values, const std::int32_t* ticks, std::int32_t base, std::size_t first,
                          std::size_t end, std::vector<DetectedPeak>& out)
{
    const double level = params_.thresholdInSD ? params_.height * noise_ : params_.height;
    // A peak starts above both the level and the baseline (never when the level is not a number).
    const double start = std::max(level, 0.0);
    const double direction = params_.direction;
    const double baseline = baseline_;
    const auto heightAt = [&](std::size_t k) { return direction * (static_cast<double>(values[k]) - baseline); };
    FloatBound bound{};
    bool bounded = false;
    const auto tickAt = [&](std::size_t k) {
        if constexpr (kListed) {
            return ticks[k];
        } else {
            return base + static_cast<std::int32_t>(k);
        }
    };
    std::size_t k = first;
    while (k < end) {
        if (!inPeak_) {
            // Most samples lie below the level: four at a time until one may not.
            if constexpr (kListed) {
                while (k < end && ticks[k] < nextAllowed_) {
                    ++k;
                }
            } else if (base + static_cast<std::int64_t>(k) < nextAllowed_) {
                k = static_cast<std::size_t>(
                    std::min<std::int64_t>(nextAllowed_ - base, static_cast<std::int64_t>(end)));
            }
            if constexpr (std::is_same_v<Value, float>) {
                if (!bounded) {
                    bound = BoundOf(direction, baseline, start);
                    bounded = true;
                }
                k = PassBelow(values, k, end, bound);
            } else {
                k = PassBelow(values, k, end, direction, baseline, start);
            }
            while (k < end && !(heightAt(k) > start)) {
                ++k;
            }
            if (k == end) {
                break;
            }
            inPeak_ = true;
            peakStart_ = tickAt(k);
            peakTick_ = tickAt(k);
            peakHeight_ = heightAt(k);
            peakValue_ = values[k];
            beforePeak_ = k > first ? heightAt(k - 1) : lastHeight_;
            afterSeen_ = false;
            ++k;
            continue;
        }
        const double height = heightAt(k);
        if (!afterSeen_) {
            afterPeak_ = height;
            afterSeen_ = true;
        }
        if (height > peakHeight_) {
            beforePeak_ = k > first ? heightAt(k - 1) : lastHeight_;
            peakTick_ = tickAt(k);
            peakHeight_ = height;
            peakValue_ = values[k];
            afterSeen_ = false;
        } else if (level > 0.0 ? height < 0.5 * level : height <= 0.0) {
            Emit(out);
        }
        ++k;
    }
    if (end > first) {
        lastHeight_ = heightAt(end - 1);
    }
}

namespace {

// Whether every one of the samples is finite.
bool AllFinite(const float* samples, std::size_t count)
{
    std::uint32_t unusual = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i exponent = _mm_set1_epi32(0x7f800000);
    __m128i any = _mm_setzero_si128();
    for (; i + 4 <= count; i += 4) {
        const __m128i bits = _mm_castps_si128(_mm_loadu_ps(samples + i));
        any = _mm_or_si128(any, _mm_cmpeq_epi32(_mm_and_si128(bits, exponent), exponent));
    }
    unusual = static_cast<std::uint32_t>(_mm_movemask_epi8(any));
#endif
    for (; i < count; ++i) {
        // All exponent bits set: an infinity or not a number.
        unusual |= (std::bit_cast<std::uint32_t>(samples[i]) & 0x7f800000u) == 0x7f800000u ? 1u : 0u;
    }
    return unusual == 0;
}

} // namespace

// Stretches of the values from one estimate to the next: the estimate comes before its own tick's value enters the
// window. The value k is at tick ticks[k] when the ticks are listed, else at tick base + k.
template <class Value, bool kListed>
void PeakDetector::Run(const Value* values, const std::int32_t* ticks, std::int32_t base, std::size_t n,
                       std::vector<DetectedPeak>& out)
{
    std::size_t k = 0;
    while (k < n) {
        const std::int32_t tick = kListed ? ticks[k] : base + static_cast<std::int32_t>(k);
        if (tick == nextEstimate_ || (tick > nextEstimate_ && IsEstimateTick(tick))) {
            Estimate();
        }
        if (tick >= nextEstimate_) {
            nextEstimate_ = NextEstimateTick(tick);
        }
        std::size_t end = k + 1;
        if constexpr (kListed) {
            while (end < n && ticks[end] < nextEstimate_) {
                ++end;
            }
        } else {
            end = std::min(n, static_cast<std::size_t>(nextEstimate_ - base));
        }
        if constexpr (std::is_same_v<Value, float>) {
            history_.PushFinite(values + k, end - k);
        } else {
            history_.Push(values + k, end - k);
        }
        if (estimated_) {
            Detect<Value, kListed>(values, ticks, base, k, end, out);
        }
        k = end;
    }
}

void PeakDetector::RunValues(const double* values, std::size_t count, std::int32_t first, bool mayLack,
                             std::vector<DetectedPeak>& out)
{
    if (!mayLack) {
        Run<double, false>(values, nullptr, first, count, out);
        return;
    }
    // `values` may lie in values_ already: compacted in place then.
    if (values_.size() < count) {
        values_.resize(count);
    }
    ticks_.resize(count);
    std::size_t kept = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const double value = values[k];
        values_[kept] = value;
        ticks_[kept] = first + static_cast<std::int32_t>(k);
        kept += std::isnan(value) ? 0 : 1;
    }
    Run<double, true>(values_.data(), ticks_.data(), 0, kept, out);
}

void PeakDetector::FeedTransformed(const double* values, std::size_t count, std::vector<DetectedPeak>& out)
{
    const std::int32_t tick = tick_;
    tick_ += static_cast<std::int32_t>(count);
    bool lacking = false;
    for (std::size_t k = 0; k < count; ++k) {
        lacking |= std::isnan(values[k]);
    }
    RunValues(values, count, tick, lacking, out);
}

void PeakDetector::Feed(const float* samples, std::size_t count, std::vector<DetectedPeak>& out)
{
    const std::int32_t tick = tick_;
    tick_ += static_cast<std::int32_t>(count);
    if (params_.transform == 1) {
        values_.resize(count);
        const std::size_t unknown = slope_.Unknown();
        const std::size_t n = slope_.Next(samples, count, values_.data());
        // The samples without a slope come first; slopes over a sample that is not finite are not numbers.
        RunValues(values_.data(), n, tick + static_cast<std::int32_t>(count - n), slope_.Unknown() != unknown, out);
        return;
    }
    if (AllFinite(samples, count)) {
        Run<float, false>(samples, nullptr, tick, count, out);
        return;
    }
    // A sample that is not finite is a tick without a value.
    values_.resize(count);
    ticks_.resize(count);
    std::size_t n = 0;
    for (std::size_t i = 0; i < count; ++i) {
        values_[n] = samples[i];
        ticks_[n] = tick + static_cast<std::int32_t>(i);
        n += std::isfinite(samples[i]) ? 1 : 0;
    }
    Run<double, true>(values_.data(), ticks_.data(), 0, n, out);
}

void PeakDetector::Feed(float sample, std::vector<DetectedPeak>& out)
{
    Feed(&sample, 1, out);
}

void PeakDetector::Finish(std::vector<DetectedPeak>& out)
{
    if (inPeak_) {
        Emit(out);
    }
}

} // namespace host
