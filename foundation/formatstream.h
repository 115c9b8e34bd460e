// Streams over a format text with numbered placeholders "%1" to "%20": the arguments are streamed in the order of
// their numbers and the text is assembled once the highest-numbered one has arrived.
#pragma once

#include "foundation/stringstream.h"

#include <array>
#include <concepts>
#include <cstdint>
#include <type_traits>

namespace KVO {

template <class T>
concept FormatNumber = std::is_arithmetic_v<T> && !std::is_same_v<T, char> && !std::is_same_v<T, wchar_t> &&
                       !std::is_same_v<T, char8_t> && !std::is_same_v<T, char16_t> && !std::is_same_v<T, char32_t>;

// The output buffer is the derived class's; each insertion is one argument, formatted by an inner string stream.
class OFormatStream : public std::wostream {
public:
    OFormatStream(const OFormatStream&) = delete;
    OFormatStream& operator=(const OFormatStream&) = delete;
    ~OFormatStream() override;

    OFormatStream& operator<<(const char16_t* text);
    OFormatStream& operator<<(const String& text);
    template <FormatNumber T>
    OFormatStream& operator<<(T value)
    {
        arguments_ << value;
        EndArgument();
        return *this;
    }

    static constexpr int kMaxPlaceholders = 20;

protected:
    // Parses the format; a format without placeholders goes to `output` at once.
    OFormatStream(const String& format, std::wstreambuf* output);

    void EndArgument();
    // Writes a literal in which each "%%" gives "%"; any other "%" is written as it stands.
    void WriteLiteral(std::u16string_view literal);

private:
    struct Placeholder {
        std::uint32_t percent = 0;   // position of the "%"
        std::uint32_t end = 0;       // just after the placeholder
        std::uint32_t argStart = 0;  // the argument's text in the inner stream
        std::uint32_t argLength = 0;
        bool escapedBefore = false;  // the literal before it contains "%%"
    };

    void ParseFormat();
    void Assemble();
    void Write(std::u16string_view text);
    void WriteLiteralPart(std::uint32_t from, std::uint32_t to, bool escaped);

    String format_;
    std::uint32_t formatEnd_ = 0;
    OStringStream arguments_;
    std::uint32_t previousEnd_ = 0;
    int streamed_ = 0;
    int highest_ = 0;
    int recorded_ = 0;
    std::array<Placeholder, kMaxPlaceholders> records_{};
    std::array<int, kMaxPlaceholders + 1> recordOfNumber_{}; // -1: no record
    bool tailEscaped_ = false;
};

namespace detail {
// Built before the format stream so that the stream can write into it while parsing.
struct FormatOutputBuffer {
    StringStreamBuf formatOutput;
};
} // namespace detail

class OFormatStringStream : private detail::FormatOutputBuffer, public OFormatStream {
public:
    explicit OFormatStringStream(const String& format);
    // The assembled text; empty until the last awaited argument has arrived (unless the format has no placeholder).
    String str() { return formatOutput.str(); }
};

} // namespace KVO
