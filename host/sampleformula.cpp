#include "host/sampleformula.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace host {

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

SlopeSamples::SlopeSamples(platform::ComPtr<IEnumFloatEx> source, std::int32_t width, double tickPeriod)
    : source_(std::move(source)), width_(width), tickPeriod_(tickPeriod), slope_(width, tickPeriod)
{
}

HRESULT SlopeSamples::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IEnumFloatEx, static_cast<IEnumFloatEx*>(this)}}, iid, out);
}

HRESULT SlopeSamples::Read(LONG count, float* buffer, LONG* read)
{
    if (!read || (count > 0 && !buffer)) {
        return E_POINTER;
    }
    *read = 0;
    if (!source_) {
        return E_FAIL;
    }
    const HRESULT hr = source_->Read(count, buffer, read);
    for (LONG i = 0; i < *read; ++i) {
        double slope = 0.0;
        buffer[i] = slope_.Next(buffer[i], slope) ? static_cast<float>(slope) : std::numeric_limits<float>::quiet_NaN();
    }
    position_ += *read;
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
