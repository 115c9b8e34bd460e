#include "host/sampleformula.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace host {

bool HasAvx2()
{
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
#else
    return false;
#endif
}

namespace {

class Reader {
public:
    explicit Reader(std::u16string_view text) : text_(text) {}

    void Blanks()
    {
        while (at_ < text_.size() && (text_[at_] == u' ' || text_[at_] == u'\t')) {
            ++at_;
        }
    }
    // The word (any case) next, after blanks.
    bool Word(std::u16string_view word)
    {
        Blanks();
        if (text_.size() - at_ < word.size()) {
            return false;
        }
        for (std::size_t i = 0; i < word.size(); ++i) {
            const char16_t c = text_[at_ + i];
            const char16_t lower = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
            if (lower != word[i]) {
                return false;
            }
        }
        at_ += word.size();
        return true;
    }
    bool Channel(ChannelRef& ref)
    {
        Blanks();
        ref = {};
        if (Word(u"r")) {
            ref.raw = true;
        } else if (Word(u"v")) {
            ref.isVirtual = true;
        }
        if (!Word(u"channel") && !Word(u"ch")) {
            return false;
        }
        const std::size_t first = at_;
        long long number = 0;
        while (at_ < text_.size() && text_[at_] >= u'0' && text_[at_] <= u'9' && number < 100000000) {
            number = number * 10 + (text_[at_++] - u'0');
        }
        if (at_ == first || number < 1) {
            return false;
        }
        ref.channel = static_cast<LONG>(number - 1);
        return true;
    }
    bool Number(double& value)
    {
        Blanks();
        std::string ascii;
        while (at_ < text_.size() && text_[at_] < 128 &&
               (std::isdigit(static_cast<int>(text_[at_])) || text_[at_] == u'.' || text_[at_] == u'e' ||
                text_[at_] == u'E' || text_[at_] == u'-' || text_[at_] == u'+')) {
            ascii += static_cast<char>(text_[at_++]);
        }
        const auto parsed = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
        return !ascii.empty() && parsed.ec == std::errc{} && parsed.ptr == ascii.data() + ascii.size();
    }
    bool AtEnd()
    {
        Blanks();
        return at_ == text_.size();
    }

private:
    std::u16string_view text_;
    std::size_t at_ = 0;
};

} // namespace

std::optional<SampleFormula> ParseSampleFormula(std::u16string_view text)
{
    Reader in(text);
    SampleFormula formula;
    if (!in.Word(u"lmslope") || !in.Word(u"(") || !in.Channel(formula.source) || formula.source.isVirtual ||
        !in.Word(u",") || !in.Number(formula.smoothing) || !in.Word(u")") || !in.AtEnd() ||
        !std::isfinite(formula.smoothing) || formula.smoothing <= 0.0) {
        return std::nullopt;
    }
    return formula;
}

std::u16string WriteSampleFormula(std::u16string_view token, double smoothing)
{
    char digits[512]; // room for any double in fixed notation
    const auto written = std::to_chars(digits, digits + sizeof digits, smoothing, std::chars_format::fixed);
    return u"lmslope( " + std::u16string(token) + u", " + std::u16string(digits, written.ptr) + u" )";
}

std::int32_t TicksOf(double seconds, double tickPeriod, std::int32_t least)
{
    const double ticks = tickPeriod > 0.0 ? std::round(seconds / tickPeriod) : 0.0;
    return std::max(least, static_cast<std::int32_t>(std::min(ticks, 1e8)));
}

SmoothedSlope::SmoothedSlope(std::int32_t width, double tickPeriod)
    : width_(static_cast<std::size_t>(std::max(width, 1))), tickPeriod_(tickPeriod > 0.0 ? tickPeriod : 1.0),
      capacity_(2 * width_ + 1)
{
}

bool SmoothedSlope::NextAcrossGap(double sample, double& slope)
{
    const std::size_t index = count_; // the sample at index i lies in the ring at i % capacity_
    if (raw_.size() < capacity_) {
        raw_.push_back(sample);
    } else {
        raw_[next_] = sample;
    }
    next_ = next_ + 1 == capacity_ ? 0 : next_ + 1;
    ++count_;
    if (!std::isfinite(sample)) {
        gapped_ = true;
        whole_ = index + 2 * width_;
    }
    if (count_ < 2 * width_) {
        return false;
    }
    if (index < whole_) {
        slope = std::numeric_limits<double>::quiet_NaN();
        ++unknown_;
        return true;
    }
    // The last sample that was not finite has just left the slope's samples: their sums again, oldest first (a sum
    // keeps a NaN or an infinity for good).
    sumFar_ = 0.0;
    for (std::size_t k = index + 1 - 2 * width_; k <= index - width_; ++k) {
        sumFar_ += raw_[k % capacity_];
    }
    sumNear_ = 0.0;
    for (std::size_t k = index + 1 - width_; k <= index; ++k) {
        sumNear_ += raw_[k % capacity_];
    }
    gapped_ = false;
    slope = (sumNear_ - sumFar_) / (static_cast<double>(width_) * static_cast<double>(width_) * tickPeriod_);
    return true;
}

namespace {

// Ticks taken together when every partial sum of their slopes is an exact double.
constexpr std::size_t kExactRun = 256;

// A line of floats holds the 2 w samples before a run of ticks, then the run's samples: its tick k takes the sample
// line[2 w + k], moves line[w + k] from the newer sum to the older, and drops line[k] from the older.

// Ticks from 0 to n one after the other, the additions in the order of SmoothedSlope::Next; stops before a sample
// that is not finite and returns its tick (or n).
std::size_t InTurn(const float* line, std::size_t w, std::size_t n, double& near, double& far, double scale,
                   double* slopes)
{
    double sumNear = near;
    double sumFar = far;
    std::size_t k = 0;
    for (; k < n; ++k) {
        const double sample = line[2 * w + k];
        if (!std::isfinite(sample)) [[unlikely]] {
            break;
        }
        sumNear += sample;
        const double moving = line[w + k];
        sumNear -= moving;
        sumFar += moving;
        sumFar -= line[k];
        slopes[k] = (sumNear - sumFar) / scale;
    }
    near = sumNear;
    far = sumFar;
    return k;
}

#if defined(__x86_64__) && defined(__GNUC__)

// True when the finite v is a whole multiple of 2^e.
bool MultipleOf(double v, int e)
{
    if (v == 0.0) {
        return true;
    }
    const auto u = std::bit_cast<std::uint64_t>(v);
    const auto exponent = static_cast<int>((u >> 52) & 0x7FF);
    const std::uint64_t mantissa =
        (u & ((std::uint64_t{1} << 52) - 1)) | (exponent != 0 ? std::uint64_t{1} << 52 : 0);
    return std::max(exponent, 1) - 1075 + std::countr_zero(mantissa) >= e;
}

// The bits of the largest magnitude of n floats (at or above those of infinity when one is not finite), and of the
// least magnitude that is not zero (0 when all are zero). Magnitudes order as their bits do.
struct FloatMagnitudes {
    std::uint32_t largest = 0;
    std::uint32_t least = 0;
};

__attribute__((target("avx2"))) FloatMagnitudes Magnitudes(const float* values, std::size_t n)
{
    const __m256i magnitude = _mm256_set1_epi32(0x7FFFFFFF);
    const __m256i one = _mm256_set1_epi32(1);
    __m256i largest = _mm256_setzero_si256();
    __m256i leastLessOne = _mm256_set1_epi32(-1); // a zero less one is the largest unsigned number
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i m =
            _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + i)), magnitude);
        largest = _mm256_max_epu32(largest, m);
        leastLessOne = _mm256_min_epu32(leastLessOne, _mm256_sub_epi32(m, one));
    }
    // Across the lanes: halves, then pairs, then neighbours.
    largest = _mm256_max_epu32(largest, _mm256_permute2x128_si256(largest, largest, 0x01));
    leastLessOne = _mm256_min_epu32(leastLessOne, _mm256_permute2x128_si256(leastLessOne, leastLessOne, 0x01));
    largest = _mm256_max_epu32(largest, _mm256_shuffle_epi32(largest, 0x4E));
    leastLessOne = _mm256_min_epu32(leastLessOne, _mm256_shuffle_epi32(leastLessOne, 0x4E));
    largest = _mm256_max_epu32(largest, _mm256_shuffle_epi32(largest, 0xB1));
    leastLessOne = _mm256_min_epu32(leastLessOne, _mm256_shuffle_epi32(leastLessOne, 0xB1));
    auto top = static_cast<std::uint32_t>(_mm256_cvtsi256_si32(largest));
    auto bottom = static_cast<std::uint32_t>(_mm256_cvtsi256_si32(leastLessOne));
    for (; i < n; ++i) {
        const std::uint32_t m = std::bit_cast<std::uint32_t>(values[i]) & 0x7FFFFFFFu;
        top = std::max(top, m);
        bottom = std::min(bottom, m - 1);
    }
    return {top, bottom + 1};
}

// The sum of the floats from `from` to `to`, in any order when it is exact.
double SumOf(const float* line, std::size_t from, std::size_t to)
{
    double sum = 0.0;
    for (std::size_t j = from; j < to; ++j) {
        sum += line[j];
    }
    return sum;
}

// Ticks 0 to len (a multiple of 4) with the sums taken in another order: the difference of the sums at
// each tick is the running sum of sample - 2 moving + oldest, four ticks at a time beside a carry; over the ticks
// the newer sum gains the samples taken less those moved (the last w samples less the w before the first tick's,
// when there are w ticks or more), and the older sum gains those moved less the oldest dropped. Only right when
// every partial sum is exact.
__attribute__((target("avx2"))) void ExactRun(const float* line, std::size_t w, std::size_t len, double& near,
                                              double& far, double scale, double* slopes)
{
    const float* const xs = line + 2 * w;
    const float* const ms = line + w;
    const __m256d zero = _mm256_setzero_pd();
    const __m256d divisor = _mm256_set1_pd(scale);
    // Neither sum is ever -0 (they start at +0, and only -0 + -0 and -0 - +0 give -0), so neither is the carry, nor
    // any sum added to it: a zero difference comes out +0, as the difference of the sums does.
    __m256d carry = _mm256_set1_pd(near - far);
    for (std::size_t k = 0; k < len; k += 4) {
        const __m256d m = _mm256_cvtps_pd(_mm_loadu_ps(ms + k));
        const __m256d c = _mm256_sub_pd(_mm256_sub_pd(_mm256_cvtps_pd(_mm_loadu_ps(xs + k)), m),
                                        _mm256_sub_pd(m, _mm256_cvtps_pd(_mm_loadu_ps(line + k))));
        // c0, c0 + c1, c1 + c2, c2 + c3; then c0 + c1 + c2 and c0 + ... + c3 in the upper lanes.
        __m256d s = _mm256_add_pd(c, _mm256_blend_pd(_mm256_permute4x64_pd(c, 0x90), zero, 0x1));
        s = _mm256_add_pd(s, _mm256_permute2f128_pd(s, s, 0x08));
        _mm256_storeu_pd(slopes + k, _mm256_div_pd(_mm256_add_pd(s, carry), divisor));
        carry = _mm256_add_pd(carry, _mm256_permute4x64_pd(s, 0xFF));
    }
    near += SumOf(line, std::max(2 * w, w + len), 2 * w + len) - SumOf(line, w, std::min(2 * w, w + len));
    far += SumOf(line, std::max(w, len), w + len) - SumOf(line, 0, std::min(w, len));
}

// The line's ticks 0 to len (a multiple of 4) at once, when every partial sum, in the order of SmoothedSlope::Next
// and in any other, is provably an exact double: then they all equal the ordered sums, bit for bit. The proof: the
// sums and every value the ticks touch are whole multiples of 2^e, and no partial sum can reach 2^(e + 53) in
// magnitude, bounded by |near| + |far| + 4 len (the largest value) (each tick's sample, moving and oldest enter the
// difference of the sums once, and each sum takes two of them). A float is a whole multiple of its last bit,
// 2^(exponent - 23), and the least magnitude has the lowest. False, with nothing kept, when the proof fails.
bool TakeExactly(const float* line, std::size_t w, std::size_t len, double& near, double& far, double scale,
                 double* slopes)
{
    if (!std::isfinite(near) || !std::isfinite(far) || (near == 0.0 && std::signbit(near)) ||
        (far == 0.0 && std::signbit(far))) {
        return false;
    }
    const FloatMagnitudes magnitudes = Magnitudes(line, 2 * w + len);
    if (magnitudes.largest >= 0x7F800000u) {
        return false; // taken in turn up to the sample that is not finite
    }
    const double most = std::bit_cast<float>(magnitudes.largest);
    // The margin covers the rounding of the bound itself.
    const double reach = (std::fabs(near) + std::fabs(far) + 4.0 * static_cast<double>(len) * most) * (1.0 + 0x1p-40);
    if (!(reach < 0x1p1000)) {
        return false;
    }
    // reach < 2^(e + 53); below 2^-947 the bound could lose its margin to subnormal rounding, and floats are whole
    // multiples of 2^-149 anyway.
    const int e = std::max(reach > 0.0 ? std::ilogb(reach) + 1 - 53 : -1000, -1000);
    if ((magnitudes.least != 0 && std::max(static_cast<int>(magnitudes.least >> 23), 1) - 150 < e) ||
        !MultipleOf(near, e) || !MultipleOf(far, e)) {
        return false;
    }
    ExactRun(line, w, len, near, far, scale, slopes);
    return true;
}

#endif

} // namespace

std::size_t SmoothedSlope::Next(const float* samples, std::size_t count, double* slopes)
{
    std::size_t i = 0;
    std::size_t made = 0;
    while (i < count) {
        // The ring's first samples, and the samples up to the end of a gap, one at a time.
        for (; i < count && (raw_.size() < capacity_ || gapped_); ++i) {
            made += Next(samples[i], slopes[made]) ? 1 : 0;
        }
        if (i == count) {
            break;
        }
        const std::size_t taken = NextFinite(samples + i, count - i, slopes + made);
        i += taken;
        made += taken;
        if (i < count) {
            made += Next(samples[i], slopes[made]) ? 1 : 0; // a gap begins
            ++i;
        }
    }
    return made;
}

std::size_t SmoothedSlope::NextInTurn(const float* samples, std::size_t count, double* slopes)
{
    double sumNear = sumNear_;
    double sumFar = sumFar_;
    std::size_t next = next_;
    double* const raw = raw_.data();
    const std::size_t width = width_;
    const std::size_t capacity = capacity_;
    const double scale = static_cast<double>(width_) * static_cast<double>(width_) * tickPeriod_;
    std::size_t i = 0;
    for (; i < count; ++i) {
        const double sample = samples[i];
        if (!std::isfinite(sample)) [[unlikely]] {
            break;
        }
        const std::size_t newest = next;
        raw[newest] = sample;
        next = newest + 1 == capacity ? 0 : newest + 1;
        sumNear += sample;
        const double moving = raw[newest >= width ? newest - width : newest + capacity - width];
        sumNear -= moving;
        sumFar += moving;
        sumFar -= raw[next];
        slopes[i] = (sumNear - sumFar) / scale;
    }
    count_ += i;
    sumNear_ = sumNear;
    sumFar_ = sumFar;
    next_ = next;
    return i;
}

std::size_t SmoothedSlope::NextFinite(const float* samples, std::size_t count, double* slopes)
{
#if defined(__x86_64__) && defined(__GNUC__)
    // Four lanes at a time where the processor has them. The first ticks, whose 2 w samples before reach into the
    // ring, are taken from a line of their own.
    const std::size_t history = 2 * width_;
    const std::size_t head = (history + 3) & ~std::size_t{3};
    if (count < std::max<std::size_t>(head, 16) || !HasAvx2()) {
        return NextInTurn(samples, count, slopes);
    }
    head_.resize(history + head);
    for (std::size_t j = 0; j < history; ++j) {
        const std::size_t at = next_ + 1 + j; // the oldest of the 2 w lies after the newest
        const double value = raw_[at < capacity_ ? at : at - capacity_];
        head_[j] = static_cast<float>(value);
        if (static_cast<double>(head_[j]) != value) {
            // A sample given as a double that no float holds: the ring's samples are floats after 2 w more.
            const std::size_t taken = NextInTurn(samples, history, slopes);
            return taken < history ? taken : taken + NextFinite(samples + taken, count - taken, slopes + taken);
        }
    }
    std::copy_n(samples, head, head_.data() + history);

    double near = sumNear_;
    double far = sumFar_;
    const double scale = static_cast<double>(width_) * static_cast<double>(width_) * tickPeriod_;
    // Runs of at least 4 w ticks keep the bounds' reading of the 2 w samples before each below half a sample a tick.
    const std::size_t run = std::max(kExactRun, (4 * width_ + 3) & ~std::size_t{3});
    std::size_t k = 0; // ticks taken
    while (k < count) {
        const float* const line = k < history ? head_.data() + k : samples + (k - history);
        const std::size_t n = k < history ? head - k : std::min(run, count - k);
        const std::size_t whole = n & ~std::size_t{3};
        if (whole > 0 && TakeExactly(line, width_, whole, near, far, scale, slopes + k)) {
            atOnce_ += whole;
            k += whole;
            continue;
        }
        // A run that reaches a sample that is not finite: the ticks before it may still be taken at once.
        const float* const taking = line + history;
        const auto finite = static_cast<std::size_t>(
            std::find_if(taking, taking + n, [](float sample) { return !std::isfinite(sample); }) - taking);
        const std::size_t before = finite & ~std::size_t{3};
        if (finite < n && before > 0 && TakeExactly(line, width_, before, near, far, scale, slopes + k)) {
            atOnce_ += before;
            k += before;
            continue;
        }
        const std::size_t taken = InTurn(line, width_, n, near, far, scale, slopes + k);
        k += taken;
        if (taken < n) {
            break; // before a sample that is not finite
        }
    }
    // The ring again: the last samples taken, each at its index % capacity_.
    for (std::size_t j = k - std::min(k, capacity_); j < k; ++j) {
        raw_[(count_ + j) % capacity_] = samples[j];
    }
    count_ += k;
    next_ = count_ % capacity_;
    sumNear_ = near;
    sumFar_ = far;
    return k;
#else
    return NextInTurn(samples, count, slopes);
#endif
}

SlopeSamples::SlopeSamples(platform::ComPtr<IEnumFloatEx> source, std::int32_t width, double tickPeriod)
    : source_(std::move(source)), width_(width), tickPeriod_(tickPeriod), slope_(width, tickPeriod)
{
}

HRESULT SlopeSamples::QueryInterface(REFIID iid, void** out)
{
    if (iid == IID_HostSlopeSamples && out) {
        AddRef();
        *out = this;
        return S_OK;
    }
    return AnswerFrom({{&IID_IEnumFloatEx, static_cast<IEnumFloatEx*>(this)}}, iid, out);
}

HRESULT SlopeSamples::ReadSlopes(LONG count, double* slopes, LONG* read)
{
    if (!read || (count > 0 && !slopes)) {
        return E_POINTER;
    }
    *read = 0;
    if (!source_) {
        return E_FAIL;
    }
    samples_.resize(static_cast<std::size_t>(std::max<LONG>(count, 0)));
    const HRESULT hr = source_->Read(count, samples_.data(), read);
    const auto n = static_cast<std::size_t>(std::clamp<LONG>(*read, 0, std::max<LONG>(count, 0)));
    const std::size_t made = slope_.Next(samples_.data(), n, slopes);
    // The first samples of a record have no slope yet: the slopes made belong to the last samples.
    std::copy_backward(slopes, slopes + made, slopes + n);
    std::fill_n(slopes, n - made, std::numeric_limits<double>::quiet_NaN());
    position_ += static_cast<LONG>(n);
    return hr;
}

HRESULT SlopeSamples::Read(LONG count, float* buffer, LONG* read)
{
    if (!read || (count > 0 && !buffer)) {
        return E_POINTER;
    }
    slopes_.resize(static_cast<std::size_t>(std::max<LONG>(count, 0)));
    const HRESULT hr = ReadSlopes(count, slopes_.data(), read);
    std::copy_n(slopes_.data(), std::max<LONG>(*read, 0), buffer);
    return hr;
}

HRESULT SlopeSamples::Move(LONG delta)
{
    if (!source_) {
        return E_FAIL;
    }
    LONG target = position_ + delta;
    HRESULT result = S_OK;
    if (target < 0) {
        target = 0;
        result = S_FALSE;
    }
    if (target < position_) {
        source_->Move(-position_);
        slope_ = SmoothedSlope(width_, tickPeriod_);
        position_ = 0;
    }
    std::vector<float> skipped(1024);
    while (position_ < target) {
        LONG read = 0;
        const HRESULT hr = Read(std::min<LONG>(target - position_, static_cast<LONG>(skipped.size())), skipped.data(),
                                &read);
        if (FAILED(hr) || read == 0) {
            // The source ends (or has no more yet) before the target: the position stays where it could go.
            return result;
        }
    }
    return result;
}

HRESULT SlopeSamples::GetPosition(LONG* tick)
{
    if (!tick) {
        return E_POINTER;
    }
    *tick = position_;
    return S_OK;
}

HRESULT SlopeSamples::GetTimeBase(SourceTimeBase* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = {1, 1, 0};
    return source_ ? source_->GetTimeBase(out) : S_OK;
}

} // namespace host
