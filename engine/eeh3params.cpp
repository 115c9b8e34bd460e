#include "engine/eeh3params.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace EEH3 {

void ReadDouble(std::wistream& in, double& value)
{
    // One whitespace-separated word is one value, read straight from the buffer so that an earlier failure of
    // the stream cannot turn this value and every later one into their presets. A value beyond the double range
    // (infinities included) is clamped to the largest double of its sign; a word that is no number, or NaN,
    // leaves the preset.
    in.clear(in.rdstate() & ~(std::ios_base::failbit | std::ios_base::eofbit));
    std::wstreambuf* buffer = in.rdbuf();
    if (!buffer) {
        return;
    }
    constexpr auto kEnd = std::char_traits<wchar_t>::eof();
    auto isSpace = [](std::wint_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); };
    std::wint_t c = buffer->sgetc();
    while (c != kEnd && isSpace(c)) {
        c = buffer->snextc();
    }
    std::string word;
    while (c != kEnd && !isSpace(c)) {
        // Anything outside ASCII makes the word unreadable; it is still consumed as a whole.
        word.push_back(c < 0x80 ? static_cast<char>(c) : '\x7F');
        c = buffer->snextc();
    }
    if (c == kEnd) {
        in.setstate(std::ios_base::eofbit);
    }
    if (word.empty()) {
        return;
    }
    const char* first = word.data();
    const char* last = first + word.size();
    const bool negative = *first == '-';
    if (*first == '+' || negative) {
        ++first;
    }
    if (first == last || *first == '-' || *first == '+') {
        return;
    }
    double magnitude = 0.0;
    const auto [end, error] = std::from_chars(first, last, magnitude);
    if (end != last || (error != std::errc() && error != std::errc::result_out_of_range) || std::isnan(magnitude)) {
        return;
    }
    if (error == std::errc::result_out_of_range) {
        // Too large or too small in magnitude: a negative exponent, or none and only zeros before the point,
        // means too small.
        const std::string_view text(first, last);
        const auto exponent = text.find_first_of("eE");
        const bool tiny = exponent != std::string_view::npos
                              ? exponent + 1 < text.size() && text[exponent + 1] == '-'
                              : text.substr(0, text.find('.')).find_first_not_of('0') == std::string_view::npos;
        magnitude = tiny ? 0.0 : std::numeric_limits<double>::max();
    }
    if (std::isinf(magnitude)) {
        magnitude = std::numeric_limits<double>::max();
    }
    value = negative ? -magnitude : magnitude;
}

namespace {
// The stream word that says a value was written already (and the next needs a separator).
int WrittenIndex()
{
    static const int index = std::ios_base::xalloc();
    return index;
}
} // namespace

void WriteDouble(std::wostream& out, double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    long& written = out.iword(WrittenIndex());
    if (written != 0) {
        out.put(L' ');
    }
    written = 1;
    for (const char* p = text; p != result.ptr; ++p) {
        out.put(static_cast<wchar_t>(*p));
    }
}

namespace {
LONG Saturate(double value, LONG nanValue)
{
    if (std::isnan(value)) {
        return nanValue;
    }
    if (value >= 2147483647.0) {
        return std::numeric_limits<LONG>::max();
    }
    if (value <= -2147483648.0) {
        return std::numeric_limits<LONG>::min();
    }
    return static_cast<LONG>(value); // toward zero
}
} // namespace

LONG RoundToTick(double value, LONG nanValue)
{
    if (std::isnan(value)) {
        return nanValue;
    }
    return Saturate(std::round(value), nanValue);
}

LONG MsToTicksA(double ms, double tickPeriod) { return Saturate(std::trunc(ms / (tickPeriod * 1000.0) + 0.5), 0); }

LONG MsToTicksB(double ms, double tickPeriod) { return Saturate(std::trunc(ms * 0.001 / tickPeriod + 0.5), 0); }

// ---- Numeric records ----

void ReadRecord(std::wistream& in, CX::ParamHelper& record)
{
    const std::int32_t count = record.Count();
    for (std::int32_t i = 0; i < count; ++i) {
        double value = -1.0;
        ReadDouble(in, value);
        record.Value(i, value, true);
    }
}

void ResetToDefaults(CX::ParamHelper& record)
{
    const std::int32_t count = record.Count();
    for (std::int32_t i = 0; i < count; ++i) {
        double unset = -1.0;
        record.Value(i, unset, true);
    }
}

void WriteRecord(std::wostream& out, const CX::ParamHelper& record)
{
    // The accessor only reads while its write flag is clear.
    auto& readable = const_cast<CX::ParamHelper&>(record);
    const std::int32_t count = record.Count();
    for (std::int32_t i = 0; i < count; ++i) {
        double value = 0.0;
        if (const double* read = readable.Value(i, value, false)) {
            WriteDouble(out, *read);
        }
    }
}

namespace {
bool MeansDefault(double value) { return std::fabs(value + 1.0) < 1e-12; }
} // namespace

double* AccessDouble(double& field, double& value, bool write)
{
    if (write) {
        field = value;
        return &field;
    }
    value = field;
    return &value;
}

double* AccessDouble(double& field, double& value, bool write, double fallback)
{
    if (write) {
        field = MeansDefault(value) ? fallback : value;
        return &field;
    }
    value = field;
    return &value;
}

double* AccessInt(std::int32_t& field, double& value, bool write, std::int32_t fallback)
{
    if (write) {
        field = MeansDefault(value) ? fallback : RoundToTick(value, fallback);
    } else {
        value = field;
    }
    return &value;
}

// ---- ParamsBase ----

ParamsBase::ParamsBase(const ParamsBase& other)
    : limitStartTick(other.limitStartTick), limitStartRecord(other.limitStartRecord),
      limitEndTick(other.limitEndTick), limitEndRecord(other.limitEndRecord), leadingInteger(other.leadingInteger),
      sourceCount(other.sourceCount), tickPeriod(other.tickPeriod), record(other.record), context(other.context)
{
}

ParamsBase::~ParamsBase() = default;

void ParamsBase::ResetLimits()
{
    limitStartTick = 0;
    limitStartRecord = 0;
    limitEndTick = kEndTick;
    limitEndRecord = kEndTick;
}

void ParamsBase::Read(std::wistream& in)
{
    ReadValues(in);
    NormaliseValues();
    ReadLimits(in);
}

void ParamsBase::ReadLimits(std::wistream& in)
{
    // A missing start limit reads as 0, a missing end limit as the end of the block.
    double startRecord = 0.0;
    double startTick = 0.0;
    double endRecord = 2147483647.0;
    double endTick = 2147483647.0;
    ReadDouble(in, startRecord);
    ReadDouble(in, startTick);
    ReadDouble(in, endRecord);
    ReadDouble(in, endTick);
    limitStartRecord = RoundToTick(startRecord);
    limitStartTick = RoundToTick(startTick);
    limitEndRecord = RoundToTick(endRecord);
    limitEndTick = RoundToTick(endTick);
    // Negative starts count as 0 (and negative ends as the end) before the four are looked at together.
    NormaliseLimits();
    if (limitStartRecord == 0 && limitStartTick == 0 && limitEndRecord == 0 && limitEndTick == 0) {
        limitEndRecord = limitEndTick = -1; // all four 0: the whole block
        NormaliseLimits();
    }
}

void ParamsBase::NormaliseLimits()
{
    if (limitStartRecord < 0) {
        limitStartRecord = 0;
    }
    if (limitStartTick < 0) {
        limitStartTick = 0;
    }
    if (limitEndRecord < 0) {
        limitEndRecord = kEndTick;
    }
    if (limitEndTick < 0) {
        limitEndTick = kEndTick;
    }
}

void ParamsBase::Write(std::wostream& out) const
{
    WriteValues(out);
    WriteDouble(out, limitStartRecord);
    WriteDouble(out, limitStartTick);
    WriteDouble(out, limitEndRecord);
    WriteDouble(out, limitEndTick);
}

void ParamsBase::Append(std::unique_ptr<eeh_SourceEnum> wrapper)
{
    sources.Add(wrapper.get());
    wrapper.release(); // the array owns it now
}

void ParamsBase::AddSampleSource(IUnknown* source) { Append(std::make_unique<FloatExWrapper>(source)); }

FloatExWrapper* ParamsBase::SampleSource(std::size_t index) const
{
    return index < sources.Count() ? dynamic_cast<FloatExWrapper*>(sources.At(static_cast<std::uint32_t>(index)))
                                   : nullptr;
}

} // namespace EEH3
