#include "foundation/formatstream.h"

#include <algorithm>
#include <limits>

namespace KVO {

namespace {

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// A decimal number as wcstol reads it (leading white space and a sign, saturating at 32 bits) on UTF-16 units.
// Returns 0 and leaves `end` at `from` when there are no digits.
std::int32_t ReadNumber(const char16_t* text, std::uint32_t from, std::uint32_t size, std::uint32_t& end)
{
    std::uint32_t i = from;
    while (i < size && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < size && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    const std::uint32_t digits = i;
    std::int64_t value = 0;
    while (i < size && text[i] >= u'0' && text[i] <= u'9') {
        value = std::min<std::int64_t>(value * 10 + (text[i] - u'0'), std::int64_t{1} << 32);
        ++i;
    }
    if (i == digits) {
        end = from;
        return 0;
    }
    end = i;
    value = negative ? -value : value;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                               std::numeric_limits<std::int32_t>::max()));
}

} // namespace

OFormatStream::OFormatStream(const String& format, std::wstreambuf* output) : std::wostream(output), format_(format)
{
    recordOfNumber_.fill(-1);
    ParseFormat();
}

OFormatStream::~OFormatStream() = default;

void OFormatStream::ParseFormat()
{
    const char16_t* text = format_.c_str();
    const auto size = static_cast<std::uint32_t>(format_.Length());
    formatEnd_ = size;
    bool escaped = false;
    std::uint32_t i = 0;
    while (i < size) {
        const char16_t* found = std::find(text + i, text + size, u'%');
        if (found == text + size) {
            break;
        }
        const auto percent = static_cast<std::uint32_t>(found - text);
        if (percent + 1 < size && text[percent + 1] == u'%') {
            escaped = true;
            i = percent + 2;
            continue;
        }
        std::uint32_t end = percent + 1;
        const std::int32_t number = ReadNumber(text, percent + 1, size, end);
        if (number == 0) {
            i = percent + 1; // a plain "%"
            continue;
        }
        if (end < size && text[end] == u'\\') {
            ++end; // "%1\2" is placeholder 1 followed by the text 2
        }
        // Only numbers that can receive an argument count towards the last awaited one; a larger number would keep
        // the text from ever being assembled.
        if (number >= 1 && number <= kMaxPlaceholders) {
            highest_ = std::max(highest_, static_cast<int>(number));
            if (recorded_ < kMaxPlaceholders) {
                records_[recorded_] = Placeholder{percent, end, 0, 0, escaped};
                recordOfNumber_[number] = recorded_;
                ++recorded_;
                escaped = false;
            }
        }
        i = end;
    }
    tailEscaped_ = escaped;
    if (recorded_ == 0) {
        Write(format_.View());
    }
}

void OFormatStream::EndArgument()
{
    if (streamed_ >= highest_) {
        return; // further arguments are ignored
    }
    const std::uint32_t position = arguments_.rdbuf()->UnitsWritten();
    const int number = streamed_ + 1;
    if (number <= kMaxPlaceholders && recordOfNumber_[number] >= 0) {
        records_[recordOfNumber_[number]].argLength = position - previousEnd_;
    }
    ++streamed_;
    if (streamed_ < highest_) {
        const int next = streamed_ + 1;
        if (next <= kMaxPlaceholders && recordOfNumber_[next] >= 0) {
            records_[recordOfNumber_[next]].argStart = position;
        }
    } else {
        Assemble();
    }
    previousEnd_ = position;
}

void OFormatStream::Assemble()
{
    const String arguments = arguments_.str();
    std::uint32_t literalStart = 0;
    for (int k = 0; k < recorded_; ++k) {
        const Placeholder& record = records_[k];
        WriteLiteralPart(literalStart, record.percent, record.escapedBefore);
        if (record.argLength != 0) {
            Write(arguments.View().substr(record.argStart, record.argLength));
        }
        literalStart = record.end;
    }
    WriteLiteralPart(literalStart, formatEnd_, tailEscaped_);
}

void OFormatStream::WriteLiteralPart(std::uint32_t from, std::uint32_t to, bool escaped)
{
    if (to <= from) {
        return;
    }
    const std::u16string_view literal = format_.View().substr(from, to - from);
    if (escaped) {
        WriteLiteral(literal);
    } else {
        Write(literal);
    }
}

void OFormatStream::WriteLiteral(std::u16string_view literal)
{
    std::u16string plain;
    plain.reserve(literal.size());
    // Only a "%%" pair stands for one "%": a lone "%" and a number that is no placeholder ("%25") stay as written,
    // as they do in a literal without "%%".
    for (std::size_t i = 0; i < literal.size(); ++i) {
        if (literal[i] == u'%' && i + 1 < literal.size() && literal[i + 1] == u'%') {
            ++i;
        }
        plain.push_back(literal[i]);
    }
    Write(plain);
}

void OFormatStream::Write(std::u16string_view text)
{
    const std::wstring wide = ToWide(text);
    std::wstreambuf* output = rdbuf();
    if (!output || output->sputn(wide.data(), static_cast<std::streamsize>(wide.size())) !=
                       static_cast<std::streamsize>(wide.size())) {
        setstate(std::ios_base::badbit);
    }
}

OFormatStream& OFormatStream::operator<<(const char16_t* text)
{
    arguments_ << text;
    EndArgument();
    return *this;
}

OFormatStream& OFormatStream::operator<<(const String& text)
{
    arguments_ << text;
    EndArgument();
    return *this;
}

OFormatStringStream::OFormatStringStream(const String& format) : OFormatStream(format, &formatOutput) {}

} // namespace KVO
