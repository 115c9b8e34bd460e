#include "host/recording.h"

#include "host/recordingmessages.h"
#include "host/units.h"
#include "platform/win/codepage.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace host {

namespace reading {

// ---- Where the text comes from ----

// A read of the file failed (not its end).
struct ReadFailure {};

// The bytes of a recording: a file read a piece at a time, so that it never stands whole in memory, or text that
// is in memory already.
class Source {
public:
    virtual ~Source() = default;
    virtual std::uint64_t Size() const = 0;
    // Up to `size` bytes from `offset`, fewer only at the end; in `scratch` when they must be read.
    virtual std::string_view Bytes(std::uint64_t offset, std::size_t size, std::vector<char>& scratch) const = 0;
    // How far the source has been read, for a message when the memory runs out.
    virtual std::uint64_t Reached() const { return Size(); }
};

class TextSource final : public Source {
public:
    explicit TextSource(std::string_view text) : text_(text) {}
    std::uint64_t Size() const override { return text_.size(); }
    std::string_view Bytes(std::uint64_t offset, std::size_t size, std::vector<char>&) const override
    {
        return offset >= text_.size() ? std::string_view() : text_.substr(offset, size);
    }

private:
    std::string_view text_;
};

class FileSource final : public Source {
public:
    FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    std::uint64_t Size() const override { return size_; }
    std::string_view Bytes(std::uint64_t offset, std::size_t size, std::vector<char>& scratch) const override
    {
        scratch.resize(size);
        std::size_t got = 0;
        while (got < size) {
            const ssize_t n = ::pread(fd_, scratch.data() + got, size - got, static_cast<off_t>(offset + got));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                throw ReadFailure{};
            }
            if (n == 0) {
                break; // the end (the file may have shrunk since its size was taken)
            }
            got += static_cast<std::size_t>(n);
        }
        for (std::uint64_t was = reached_; was < offset + got && !reached_.compare_exchange_weak(was, offset + got);) {
        }
        return {scratch.data(), got};
    }
    std::uint64_t Reached() const override { return reached_; }

private:
    int fd_;
    std::uint64_t size_;
    mutable std::atomic<std::uint64_t> reached_{0};
};

// How a recording is read: in pieces of about `chunkBytes` on at most `threads` threads (0: as many as suit the
// machine), and lines up to `longestLine` bytes.
struct Plan {
    std::size_t chunkBytes;
    unsigned threads;
    std::uint64_t longestLine = kLongestRecordingLine;
};

constexpr Plan kDefaultPlan{std::size_t{1} << 20, 0};

// A line that runs on beyond the longest a recording's header or row can sensibly be.
[[noreturn]] void NoLineFeed(int line, std::uint64_t longestLine)
{
    throw RecordingError(line, "no line feed in the first " + std::to_string(longestLine) +
                                   " bytes of the line: a recording's lines are far shorter; is it a text recording?");
}

// More columns than any recording has: a line that names them holds a signal written across a row.
constexpr std::size_t kMostColumns = 1'000'000;

[[noreturn]] void TooManyColumns(int line)
{
    throw RecordingError(line, "more than 1,000,000 columns: the samples may run across a row instead of down a "
                               "column (a recording has a column for each channel and a line for each sample)");
}

// The lines of a source one after another from `offset`, after `linesBefore` lines, without their line feeds (as
// getline gives them). A line longer than `longestLine` is a RecordingError.
class LineReader {
public:
    LineReader(const Source& source, std::uint64_t longestLine, std::uint64_t offset = 0, int linesBefore = 0)
        : source_(source), longestLine_(longestLine), readAt_(offset), lines_(linesBefore)
    {
    }

    // Refuses a line that names more than `most` columns (0: any number) as soon as its bytes show them, before the
    // rest of the line is read: a header of millions of names would take a slice of memory for each.
    void LimitColumns(std::size_t most)
    {
        mostColumns_ = most;
        tabs_ = 0;
        commas_ = 0;
    }

    // The next line, valid until the next call; false at the end. ReadFailure when the source cannot be read.
    bool Next(std::string_view& line)
    {
        for (;;) {
            // Each search goes on where the last stopped: a long line is searched once, whatever its length.
            if (const auto at = window_.find('\n', searchFrom_); at != std::string::npos) {
                CountSeparators(searchFrom_, at);
                tabs_ = 0;
                commas_ = 0;
                if (at - begin_ > longestLine_) {
                    NoLineFeed(lines_ + 1, longestLine_);
                }
                line = std::string_view(window_).substr(begin_, at - begin_);
                begin_ = at + 1;
                searchFrom_ = begin_;
                ++lines_;
                return true;
            }
            CountSeparators(searchFrom_, window_.size());
            searchFrom_ = window_.size();
            if (end_) {
                if (window_.size() - begin_ > longestLine_) {
                    NoLineFeed(lines_ + 1, longestLine_);
                }
                if (begin_ < window_.size()) {
                    line = std::string_view(window_).substr(begin_);
                    begin_ = window_.size();
                    ++lines_;
                    return true;
                }
                return false;
            }
            if (window_.size() - begin_ > longestLine_) {
                NoLineFeed(lines_ + 1, longestLine_);
            }
            window_.erase(0, begin_);
            searchFrom_ -= begin_;
            begin_ = 0;
            const std::string_view more = source_.Bytes(readAt_, kPiece, scratch_);
            readAt_ += more.size();
            end_ = more.empty();
            window_.append(more);
        }
    }
    // The offset of the first byte after the lines given so far.
    std::uint64_t Offset() const { return readAt_ - (window_.size() - begin_); }

private:
    // The separators of the line being read, counted in the window from `from` to `to`.
    void CountSeparators(std::size_t from, std::size_t to)
    {
        if (mostColumns_ == 0) {
            return;
        }
        const auto bytes = std::string_view(window_).substr(from, to - from);
        tabs_ += static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\t'));
        commas_ += static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), ','));
        if (std::max(tabs_, commas_) >= mostColumns_) {
            TooManyColumns(lines_ + 1);
        }
    }

    static constexpr std::size_t kPiece = 1 << 16; // the header needs only its first line
    const Source& source_;
    std::uint64_t longestLine_;
    std::uint64_t readAt_ = 0;
    std::string window_;
    std::size_t begin_ = 0;
    std::size_t searchFrom_ = 0; // no line feed stands between begin_ and here
    int lines_ = 0;
    bool end_ = false;
    std::vector<char> scratch_;
    std::size_t mostColumns_ = 0;
    std::size_t tabs_ = 0; // in the line being read
    std::size_t commas_ = 0;
};

// ---- The header ----

// A text in a message: its first 40 bytes.
std::string Shown(std::string_view text)
{
    return text.size() > 40 ? std::string(text.substr(0, 40)) + "..." : std::string(text);
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// Only blanks and line ends: a trailing tab separates an empty last value.
std::string_view TrimLine(std::string_view line)
{
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    while (!line.empty() && line.front() == ' ') {
        line.remove_prefix(1);
    }
    return line;
}

// The fields of a line, split at tabs or commas (whichever the header used).
std::vector<std::string_view> Split(std::string_view line, char separator)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t at = line.find(separator);
        fields.push_back(Trim(line.substr(0, at)));
        if (at == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(at + 1);
    }
}

// The length of the UTF-8 sequence at `at`, or 0 when the bytes there are no UTF-8: a lead byte without its
// continuation bytes, a stray continuation byte, an overlong form, a surrogate or a value beyond U+10FFFF.
std::size_t Utf8Length(std::string_view text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return 1;
    }
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4                                 ? 4
                                                                                              : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    // The second byte's range is what rules out the overlong forms, the surrogates and the values beyond U+10FFFF.
    const auto second = static_cast<unsigned char>(text[at + 1]);
    const unsigned least = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned most = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (second < least || second > most) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

// A unit as the host keeps it: the Greek letter mu stands for micro as often as the micro sign does; the host knows
// the sign.
std::u16string UnitText(std::string_view unit)
{
    std::u16string text = platform::Utf8ToUtf16(unit);
    std::replace(text.begin(), text.end(), u'\u03BC', u'\u00B5');
    return text;
}

// A byte that text does not hold: a control character other than tab, line feed and carriage return.
bool NoTextByte(char byte)
{
    const auto value = static_cast<unsigned char>(byte);
    return (value < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || value == 0x7F;
}

std::string ByteNamed(char byte)
{
    char name[8];
    std::snprintf(name, sizeof name, "0x%02X", static_cast<unsigned char>(byte));
    return name;
}

// Up to `count` more lines of `lines`, without blanks at their ends; fewer where the input ends or cannot be read.
std::vector<std::string> NextLines(LineReader& lines, int count)
{
    std::vector<std::string> next;
    std::string_view text;
    try {
        while (static_cast<int>(next.size()) < count && lines.Next(text)) {
            next.emplace_back(TrimLine(text));
        }
    } catch (const RecordingError&) {
    } catch (const ReadFailure&) {
    }
    return next;
}

} // namespace reading

namespace {

using namespace reading;

Column ReadColumn(std::string_view field, int line, std::size_t index)
{
    Column column;
    std::string_view name = field;
    if (const std::size_t open = field.find('('); open != std::string_view::npos) {
        const std::size_t close = field.find(')', open);
        if (close == std::string_view::npos) {
            throw RecordingError(line, "column " + std::to_string(index + 1) +
                                           ": the unit must stand in parentheses after the name");
        }
        if (!Trim(field.substr(close + 1)).empty()) {
            // Most often columns separated by semicolons or blanks, which make the header one column.
            throw RecordingError(line, "column " + std::to_string(index + 1) + ": text follows the unit in \"" +
                                           Shown(field) + "\": columns are separated by tabs or commas, and a unit "
                                           "stands in parentheses at the end of its column's name");
        }
        const std::string_view unit = Trim(field.substr(open + 1, close - open - 1));
        RefuseNonUtf8Unit(unit, line, index);
        column.unit = UnitText(unit);
        column.toBase = SplitUnit(column.unit).toBase;
        name = Trim(field.substr(0, open));
    }
    if (name.empty()) {
        throw RecordingError(line, "column " + std::to_string(index + 1) + " has no name");
    }
    column.name = platform::Utf8ToUtf16(name);
    return column;
}

// How much of a file's start tells whether it is text the reader takes.
constexpr std::size_t kFirstLook = 1 << 16;

// ASCII text in UTF-16 or UTF-32 (`width` bytes a character), in either byte order: in each character the byte that
// holds it is no NUL, and the others are.
bool WideAscii(std::string_view text, std::size_t width)
{
    for (const std::size_t place : {std::size_t{0}, width - 1}) {
        bool fits = true;
        for (std::size_t i = 0; i < text.size() && fits; ++i) {
            fits = (text[i] != '\0') == (i % width == place);
        }
        if (fits) {
            return true;
        }
    }
    return false;
}

// Judges the start of an input, its first 64 KB, as its bytes come: refuses UTF-16 text, bytes that are no text, and
// lines that end in CR alone (the first line would run on to the file's end). Each byte is looked at once.
class StartJudge {
public:
    // Judges the bytes come so far (`whole`: all of the first 64 KB, or all the input holds); true once the start is
    // judged good, false while bytes still to come may change the verdict.
    bool Judge(std::string_view start, bool whole)
    {
        start = start.substr(0, kFirstLook);
        whole = whole || start.size() == kFirstLook;
        if (start.size() < 4 && !whole) {
            return false; // a byte-order mark may follow
        }
        if (start.starts_with(std::string_view("\xFF\xFE\0\0", 4)) ||
            start.starts_with(std::string_view("\0\0\xFE\xFF", 4))) {
            throw RecordingError(0, "the file is UTF-32 text (it begins with a UTF-32 byte-order mark): save it as "
                                    "UTF-8");
        }
        if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) {
            throw RecordingError(0, "the file is UTF-16 text (it begins with a UTF-16 byte-order mark): save it as "
                                    "UTF-8");
        }
        if (start.starts_with("\xEF\xBB\xBF")) {
            start.remove_prefix(3);
        }
        for (; scanned_ < start.size() && (bad_ == npos || firstFeed_ == npos); ++scanned_) {
            if (start[scanned_] == '\n') {
                firstFeed_ = std::min(firstFeed_, scanned_);
                ++feeds_;
            } else if (bad_ == npos && NoTextByte(start[scanned_])) {
                bad_ = scanned_;
                badLine_ = feeds_ + 1;
            }
        }
        const bool firstLineWhole = firstFeed_ != npos || whole;
        const std::string_view first = start.substr(0, firstFeed_);
        if (bad_ != npos) {
            if (start[bad_] == '\0' && bad_ < first.size()) {
                if (!firstLineWhole) {
                    return false;
                }
                if (WideAscii(first, 2)) {
                    throw RecordingError(0, "the file is UTF-16 text (every other byte is NUL): save it as UTF-8");
                }
                if (WideAscii(first, 4)) {
                    throw RecordingError(0, "the file is UTF-32 text (three bytes of every four are NUL): save it as "
                                            "UTF-8");
                }
            }
            throw RecordingError(0, "it is not a text recording (byte " + ByteNamed(start[bad_]) + " on line " +
                                        std::to_string(badLine_) + ")");
        }
        if (!whole) {
            return false; // a byte that is no text, further on, is named before the line ends
        }
        if (TrimLine(first).find('\r') != std::string_view::npos) {
            throw RecordingError(1, "the lines end in CR alone: convert the line ends to LF or CR LF");
        }
        return true;
    }

private:
    static constexpr std::size_t npos = std::string_view::npos;
    std::size_t scanned_ = 0; // after a byte-order mark
    std::size_t feeds_ = 0;   // before scanned_
    std::size_t firstFeed_ = npos;
    std::size_t bad_ = npos; // the first byte that is no text
    std::size_t badLine_ = 0;
};

// The header is the first line that is not blank; nothing when there is none.
std::optional<Layout> ReadHeader(const Source& source, LineReader& lines, int& lineNumber)
{
    {
        std::vector<char> scratch;
        StartJudge().Judge(source.Bytes(0, kFirstLook, scratch), true);
    }
    lines.LimitColumns(kMostColumns);
    std::string_view text;
    while (lines.Next(text)) {
        ++lineNumber;
        if (lineNumber == 1 && text.starts_with("\xEF\xBB\xBF")) {
            text.remove_prefix(3); // a byte-order mark
        }
        std::string_view line = TrimLine(text);
        if (line.empty()) {
            continue;
        }
        if (line.starts_with('#')) {
            // numpy's savetxt writes its header after "# ".
            line = line.substr(std::min(line.find_first_not_of(" \t", 1), line.size()));
        }
        lines.LimitColumns(0);
        Layout layout;
        layout.headerLine = lineNumber;
        layout.headerText = Shown(TrimLine(text));
        layout.separator = line.find('\t') != std::string_view::npos ? '\t' : ',';
        const auto fields = Split(line, layout.separator);
        RefuseHeaderFields(line, fields, lineNumber);
        layout.firstColumn = fields.front();
        try {
            for (std::size_t i = 0; i < fields.size(); ++i) {
                layout.columns.push_back(ReadColumn(fields[i], lineNumber, i));
            }
        } catch (const RecordingError&) {
            RefuseColumns(fields, lineNumber, lines);
        }
        const std::u16string first = platform::AsciiLower(layout.columns.front().name);
        if (first == u"time" || first == u"t") {
            const std::u16string& unit = layout.columns.front().unit;
            if (unit == u"s" || unit.empty()) {
                layout.timeScale = 1.0;
            } else if (unit == u"ms") {
                layout.timeScale = 0.001;
            } else {
                throw RecordingError(lineNumber, TimeUnitRefused(layout.columns.front()));
            }
            layout.timeColumn = true;
            layout.timeUnit = !unit.empty();
            layout.columns.erase(layout.columns.begin());
        }
        if (layout.columns.empty()) {
            throw RecordingError(lineNumber, "the header names no channel");
        }
        layout.dataOffset = lines.Offset();
        return layout;
    }
    return std::nullopt;
}

// ---- Numbers ----

// A number that from_chars finds out of a double's range is either beyond the largest or nearer zero than the
// smallest: it is the latter when its first significant digit stands below the units.
bool BelowSmallestDouble(std::string_view number)
{
    if (!number.empty() && (number[0] == '-' || number[0] == '+')) {
        number.remove_prefix(1);
    }
    const std::string_view mantissa = number.substr(0, number.find_first_of("eE"));
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) {
        return false;
    }
    // The power of ten of the first significant digit, and the exponent, which may have any number of digits.
    const long long place = first < point ? static_cast<long long>(point - first) - 1
                                          : -static_cast<long long>(first - point);
    long long exponent = 0;
    std::string_view digits = number.substr(mantissa.size() + (mantissa.size() < number.size() ? 1 : 0));
    const bool negative = digits.starts_with('-');
    if (negative || digits.starts_with('+')) {
        digits.remove_prefix(1);
    }
    for (const char digit : digits) {
        exponent = std::min<long long>(exponent * 10 + (digit - '0'), 1'000'000'000);
    }
    return place + (negative ? -exponent : exponent) < 0;
}

// A number as from_chars reads it, and one nearer zero than the smallest double as the nearest double, zero (from_chars
// finds it out of range).
std::from_chars_result ReadDouble(const char* begin, const char* end, double& value)
{
    auto parsed = std::from_chars(begin, end, value);
    if (parsed.ec == std::errc::result_out_of_range && BelowSmallestDouble(std::string_view(begin, parsed.ptr))) {
        value = *begin == '-' ? -0.0 : 0.0;
        parsed.ec = std::errc{};
    }
    return parsed;
}

// ---- Line by line: the reader's rules, and the first error with its line ----

double ReadNumber(std::string_view field, int line, std::size_t index, bool inTimeColumn = false)
{
    double value = 0.0;
    const char* begin = field.data() + (!field.empty() && field.front() == '+' ? 1 : 0);
    const char* end = field.data() + field.size();
    const auto parsed = ReadDouble(begin, end, value);
    if (field.empty() || parsed.ec != std::errc{} || parsed.ptr != end) {
        NotANumber(field, line, index, inTimeColumn);
    }
    return value;
}

// Two steps between time stamps agree when they differ by at most a thousandth of the block's first step.
bool EvenStep(double step, double first) { return !(std::fabs(step - first) > 1e-3 * first); }

// A block as the line-by-line reader makes it.
struct LineBlock {
    int firstLine = 0;
    std::size_t count = 0;
    double first = 0.0;
    double second = 0.0;
    double last = 0.0;
    std::vector<std::vector<float>> channels;
};

// Reads a data line into its block; throws at the first rule it breaks.
void ReadDataLine(std::string_view line, int lineNumber, const Layout& layout, LineBlock& block, bool keep)
{
    const std::size_t channels = layout.columns.size();
    const std::size_t expected = channels + (layout.timeColumn ? 1 : 0);
    // Counted before they are split: a line of millions of fields would take a slice of memory for each.
    const auto count = static_cast<std::size_t>(std::count(line.begin(), line.end(), layout.separator)) + 1;
    if (count != expected) {
        const std::string reason = std::to_string(count) + (count == 1 ? " value" : " values") +
                                   " where the header names " + std::to_string(expected) +
                                   (expected == 1 ? " column" : " columns") + HeaderNamed(layout);
        // Numbers written with commas split a comma-separated line into more values.
        std::string advice = layout.separator == ',' && count > expected ? WhatToWrite(line) : "";
        if (advice.empty() && count > expected && EndsInSeparators(line, layout.separator, expected)) {
            advice = ": the line ends in a separator (a tab or a comma): delete the separator at the end of each line";
        }
        if (advice.empty()) {
            throw UnfitLine(lineNumber, reason);
        }
        throw RecordingError(lineNumber, reason + advice);
    }
    const auto fields = Split(line, layout.separator);
    std::size_t field = 0;
    if (layout.timeColumn) {
        const double time = ReadNumber(fields[field++], lineNumber, 0, true) * layout.timeScale;
        if (!std::isfinite(time)) {
            throw RecordingError(lineNumber, "the time must be a finite number" + WhatToWrite(fields[0]));
        }
        if (block.count > 0) {
            // The interval is the span over the count: a span beyond the largest double gives none.
            if (!std::isfinite(time - block.first)) {
                throw RecordingError(lineNumber, "the time stamps of the block from line " +
                                                     std::to_string(block.firstLine) +
                                                     " span more than the largest number: check the time column");
            }
            const double interval = time - block.last;
            const double first = block.count >= 2 ? block.second - block.first : interval;
            if (block.count >= 2 && !(time > block.first)) {
                // Sweeps written one after another without an empty line between them.
                throw RecordingError(lineNumber, "the time goes back to the first time of the block from line " +
                                                     std::to_string(block.firstLine) + ", or below: a new sweep "
                                                     "begins here, and needs an empty line before it");
            }
            if (!(interval > 0.0)) {
                throw RecordingError(lineNumber, "the time must increase from line to line");
            }
            if (!EvenStep(interval, first)) {
                throw RecordingError(lineNumber, "the samples of a block must be evenly spaced in time: the step "
                                                 "from the line before is " + TimeStep(interval, layout, 9) +
                                                     ", the block's first step " + TimeStep(first, layout, 9) +
                                                     ", and a step may differ from it by at most " +
                                                     TimeStep(1e-3 * first, layout, 3) +
                                                     RoundedTimes(fields[0], interval - first, layout));
            }
        }
        (block.count == 0 ? block.first : block.count == 1 ? block.second : block.last) = time;
        block.last = time;
    }
    for (std::size_t channel = 0; channel < channels; ++channel, ++field) {
        // The sample as it is stored: "inf", "nan" and numbers beyond a float's range would be taken for data.
        const auto value =
            static_cast<float>(ReadNumber(fields[field], lineNumber, field) * layout.columns[channel].toBase);
        if (!std::isfinite(value)) {
            NotANumber(fields[field], lineNumber, field);
        }
        if (keep) {
            block.channels[channel].push_back(value);
        }
    }
    ++block.count;
}

// Where a reader that goes line by line stands after some lines: enough to go on from there.
struct LineState {
    int lineNumber = 0;     // of the last line read
    bool inBlock = false;   // the last line was a data line
    std::size_t blocks = 0; // begun so far
    LineBlock block;        // the last begun
    int shortBlock = 0;     // the first line of the first block with too few samples for its interval; 0: none
    int separatorRow = 0;   // the first row of separators alone since the last data line; 0: none
};

// A row of separators alone, as spreadsheets write their empty rows: passed over below the data, as blank lines are.
bool SeparatorsOnly(std::string_view line, char separator)
{
    return !line.empty() && line.find_first_not_of(separator == ',' ? ",\t \r" : "\t \r") == std::string_view::npos;
}

// The reader's rules, a line after another: throws at the first line that breaks one. With `keep` the samples are
// kept and the recording made. The spacing of the time stamps is checked as the lines come: a block keeps its first
// two time stamps, the last and the count.
class LineRules {
public:
    // `lines` gives the lines, and a refusal may look at those after the line refused.
    LineRules(const Layout& layout, LineState state, bool keep, LineReader& lines)
        : layout_(layout), state_(std::move(state)), keep_(keep), lines_(lines)
    {
    }

    int LineNumber() const { return state_.lineNumber; }

    void Next(std::string_view text)
    {
        const int lineNumber = ++state_.lineNumber;
        const std::string_view line = TrimLine(text);
        const bool separators = SeparatorsOnly(line, layout_.separator);
        if (line.empty() || separators) {
            if (separators && state_.separatorRow == 0) {
                state_.separatorRow = lineNumber;
            }
            if (state_.inBlock) {
                CloseBlock();
            }
            state_.inBlock = false;
            return;
        }
        if (state_.separatorRow != 0) {
            throw RecordingError(state_.separatorRow, "the line holds only separators: an empty line ends one block "
                                                      "and begins the next, so delete the line or make it empty");
        }
        if (!state_.inBlock) {
            state_.block = LineBlock{};
            state_.block.firstLine = lineNumber;
            state_.block.channels.resize(keep_ ? layout_.columns.size() : 0);
            ++state_.blocks;
            state_.inBlock = true;
        }
        const bool firstDataLine = state_.blocks == 1 && state_.block.count == 0;
        try {
            ReadDataLine(line, lineNumber, layout_, state_.block, keep_);
        } catch (const RecordingError& error) {
            RefuseLine(error, line, lineNumber, layout_, firstDataLine, lines_);
        }
    }

    // After the last line: throws when the blocks make no recording.
    void End()
    {
        if (state_.inBlock) {
            CloseBlock();
            state_.inBlock = false;
        }
        if (state_.blocks == 0) {
            throw RecordingError(0, "the file holds no samples");
        }
        if (state_.shortBlock > 0) {
            OneSampleBlock(state_.shortBlock);
        }
    }

    // The recording of the lines read (with `keep`, after End).
    std::shared_ptr<Document> Recording()
    {
        auto document = Document::Create();
        for (const Column& column : layout_.columns) {
            document->AddChannel(column.name, column.unit);
        }
        document->ReserveBlocks(done_.size());
        for (LineBlock& block : done_) {
            const double interval =
                layout_.timeColumn ? (block.last - block.first) / static_cast<double>(block.count - 1) : 1.0;
            const int index = document->AddBlock(interval);
            for (std::size_t channel = 0; channel < block.channels.size(); ++channel) {
                document->SetSamples(index, static_cast<int>(channel), std::move(block.channels[channel]));
            }
        }
        return document;
    }

private:
    void CloseBlock()
    {
        if (layout_.timeColumn && state_.block.count < 2 && state_.shortBlock == 0) {
            state_.shortBlock = state_.block.firstLine;
        }
        if (keep_) {
            done_.push_back(std::move(state_.block));
        }
    }

    const Layout& layout_;
    LineState state_;
    bool keep_;
    LineReader& lines_;
    std::vector<LineBlock> done_;
};

// Reads every line in order and throws at the first that breaks a rule. With `keep` the recording is made; without,
// only the rules are checked (nullptr when all lines keep them).
std::shared_ptr<Document> ReadLineByLine(const Source& source, bool complete, bool keep, std::uint64_t longestLine)
{
    LineReader lines(source, longestLine);
    int lineNumber = 0;
    std::optional<Layout> layout;
    std::optional<LineRules> rules;
    try {
        layout = ReadHeader(source, lines, lineNumber);
        if (layout) {
            LineState start;
            start.lineNumber = lineNumber;
            rules.emplace(*layout, std::move(start), keep, lines);
            std::string_view text;
            while (lines.Next(text)) {
                rules->Next(text);
            }
            lineNumber = rules->LineNumber();
        }
    } catch (const ReadFailure&) {
        complete = false;
        lineNumber = rules ? rules->LineNumber() : lineNumber;
    }
    if (!complete) {
        throw RecordingError(lineNumber, "the file could not be read to its end");
    }
    if (!layout) {
        throw RecordingError(0, "the file holds no header line");
    }
    rules->End();
    return keep ? rules->Recording() : nullptr;
}

// ---- In pieces, in parallel ----

// The samples of one piece of the text in pages of their own, a line's after another's (each line's channels side by
// side, so that a piece of many columns and few lines takes no more than its samples): reserved for the most the
// piece can hold, resident only as they fill, and given back whole when freed.
class SamplePages {
public:
    SamplePages() = default;
    explicit SamplePages(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1))
    {
        void* pages = ::mmap(nullptr, Bytes(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                             -1, 0);
        if (pages == MAP_FAILED) {
            throw std::bad_alloc();
        }
        data_ = static_cast<float*>(pages);
    }
    SamplePages(SamplePages&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), capacity_(std::exchange(other.capacity_, 0))
    {
    }
    SamplePages& operator=(SamplePages&& other) noexcept
    {
        if (this != &other) {
            Free();
            data_ = std::exchange(other.data_, nullptr);
            capacity_ = std::exchange(other.capacity_, 0);
        }
        return *this;
    }
    ~SamplePages() { Free(); }

    float* Data() const { return data_; }
    std::size_t Capacity() const { return capacity_; }
    void Free()
    {
        if (data_) {
            ::munmap(data_, Bytes());
            data_ = nullptr;
        }
    }

private:
    std::size_t Bytes() const { return capacity_ * sizeof(float); }
    float* data_ = nullptr;
    std::size_t capacity_ = 0;
};

// A run of data lines of one block within one piece of text.
struct Run {
    std::size_t count = 0;
    std::size_t firstLine = 0; // the lines of the piece before it
    double first = 0.0;  // time stamps: the run's first, second and last
    double second = 0.0;
    double last = 0.0;
    double leastStep = std::numeric_limits<double>::infinity(); // the steps after the run's second line
    double greatestStep = -std::numeric_limits<double>::infinity();
};

// What one piece of the text holds: its runs in order, and the samples of their lines.
struct Piece {
    std::uint64_t begin = 0; // the piece's lines: from the start of one to the start of another
    std::uint64_t end = 0;
    SamplePages samples;
    std::vector<Run> runs;
    std::size_t lines = 0;
    bool hasLines = false;
    bool startsWithData = false; // its first run goes on with the block before it
    bool endsWithData = false;
    std::size_t separatorRow = 0; // 1 + the lines before its first row of separators alone, after its data; 0: none
};

// The powers of ten that a double holds exactly.
constexpr double kExactTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Numbers that are no plain decimal.
[[gnu::noinline]] const char* ReadOtherNumber(const char* at, const char* end, double& value)
{
    const auto parsed = ReadDouble(at, end, value);
    return parsed.ec == std::errc{} ? parsed.ptr : nullptr;
}

// A number at `at` as from_chars reads it: the position after it, or nullptr when there is none. A line feed must
// stand at or after `end` (see ReadPiece), so that the scans need not look for the end. Plain decimals
// (a sign, at most 19 digits around a point, no exponent) whose digits make an integer a double holds exactly, with
// at most 22 after the point, are one division of two exact doubles, rounded once as from_chars rounds (Clinger's
// fast path); from_chars takes every other text.
[[gnu::always_inline]] inline const char* ReadDecimal(const char* at, const char* const end, double& value)
{
    const char* p = at;
    const bool negative = *p == '-';
    p += negative ? 1 : 0;
    const char* const digitsBegin = p;
    std::uint64_t digits = 0;
    for (; static_cast<unsigned char>(*p - '0') < 10; ++p) {
        digits = digits * 10 + static_cast<unsigned char>(*p - '0');
    }
    auto count = p - digitsBegin;
    std::ptrdiff_t fraction = 0;
    if (*p == '.') {
        const char* const fractionBegin = ++p;
        for (; static_cast<unsigned char>(*p - '0') < 10; ++p) {
            digits = digits * 10 + static_cast<unsigned char>(*p - '0');
        }
        fraction = p - fractionBegin;
        count += fraction;
    }
    if (count == 0 || count > 19 || digits > (std::uint64_t{1} << 53) || fraction > 22 ||
        *p == 'e' || *p == 'E') {
        double other = 0.0; // a number of its own, so that `value` may stay in a register
        const char* const after = ReadOtherNumber(at, end, other);
        value = other;
        return after;
    }
    const double magnitude = static_cast<double>(digits) / kExactTens[fraction];
    value = negative ? -magnitude : magnitude;
    return p;
}

// One field at `at` up to the separator (or, for the last field, the line's end): blanks around it, one plus sign
// before it. `end` is the end of the text; a line ends at its line feed. The position after its separator, or for
// the last field the position of the line feed (or the end); nullptr when the field is no number or the line has
// another number of fields. It agrees with TrimLine, Split, Trim and ReadNumber. A line feed must stand at or after
// `end`, as for ReadDecimal.
[[gnu::always_inline]] inline const char* ReadField(const char* at, const char* end, char separator, bool last,
                                                    double& value)
{
    while ((*at == ' ' || *at == '\t') && *at != separator) {
        ++at;
    }
    if (*at == '+') {
        ++at;
    }
    at = ReadDecimal(at, end, value);
    if (!at) {
        return nullptr;
    }
    while ((*at == ' ' || *at == '\t' || *at == '\r') && *at != separator) {
        ++at;
    }
    if (last) {
        return at == end || *at == '\n' ? at : nullptr;
    }
    return at < end && *at == separator ? at + 1 : nullptr;
}

// Reads the lines of one piece; false at the first line that breaks a rule the piece can see (the line-by-line
// reader then names it). `toBase` scales each channel's numbers. The text ends with a line feed, or one stands just
// after it: no scan within a line then needs to look for the text's end.
template <char separator>
bool ReadPieceSeparatedBy(std::string_view text, const Layout& layout, const std::vector<double>& toBase,
                          Piece& piece)
{
    const std::size_t channels = layout.columns.size();
    // Each field takes at least a digit and a separator or line feed; the last line may lack its line feed.
    piece.samples = SamplePages(text.size() / 2 + 1);
    float* next = piece.samples.Data();
    float* const limit = next + piece.samples.Capacity();
    const bool timeColumn = layout.timeColumn;
    const double timeScale = layout.timeScale;
    const char* at = text.data();
    const char* const end = at + text.size();
    Run run;
    bool open = false; // `run` is open
    std::size_t line = 0;
    for (; at < end; ++line) {
        // A blank line holds only blanks and carriage returns.
        const char* firstMark = at;
        while (*firstMark == ' ' || *firstMark == '\r') {
            ++firstMark;
        }
        bool blank = firstMark == end || *firstMark == '\n';
        if (!blank && (*firstMark == separator || *firstMark == '\t')) {
            // A row of separators alone is blank below the data; a data line after it is refused.
            const char* mark = firstMark;
            while (*mark == separator || *mark == '\t' || *mark == ' ' || *mark == '\r') {
                ++mark;
            }
            if (mark == end || *mark == '\n') {
                blank = true;
                firstMark = mark;
                piece.separatorRow = piece.separatorRow != 0 ? piece.separatorRow : line + 1;
            }
        }
        if (!piece.hasLines) {
            piece.hasLines = true;
            piece.startsWithData = !blank;
        }
        piece.endsWithData = !blank;
        if (blank) {
            if (open) {
                piece.runs.push_back(run);
                open = false;
            }
            at = firstMark == end ? end : firstMark + 1;
            continue;
        }
        if (!open) {
            if (piece.separatorRow != 0) {
                return false;
            }
            run = Run{};
            run.firstLine = line;
            open = true;
        }
        const char* field = at;
        if (timeColumn) {
            double time = 0.0;
            field = ReadField(field, end, separator, false, time);
            if (!field) {
                return false;
            }
            time *= timeScale;
            if (!std::isfinite(time)) {
                return false;
            }
            if (run.count == 0) {
                run.first = time;
            } else if (run.count == 1) {
                run.second = time;
            } else {
                const double step = time - run.last;
                run.leastStep = std::min(run.leastStep, step);
                run.greatestStep = std::max(run.greatestStep, step);
            }
            run.last = time;
        }
        if (static_cast<std::size_t>(limit - next) < channels) {
            return false;
        }
        // The last field ends the line; the others end at a separator.
        for (std::size_t channel = 0; channel < channels; ++channel) {
            double number = 0.0;
            field = channel + 1 < channels ? ReadField(field, end, separator, false, number)
                                           : ReadField(field, end, separator, true, number);
            if (!field) {
                return false;
            }
            const auto value = static_cast<float>(number * toBase[channel]);
            if (!std::isfinite(value)) {
                return false;
            }
            *next++ = value;
        }
        ++run.count;
        at = field == end ? end : field + 1; // past the line feed
    }
    if (open) {
        piece.runs.push_back(run);
    }
    piece.lines = line;
    return true;
}

// The separator is a constant within the loops.
bool ReadPiece(std::string_view text, const Layout& layout, const std::vector<double>& toBase, Piece& piece)
{
    return layout.separator == '\t' ? ReadPieceSeparatedBy<'\t'>(text, layout, toBase, piece)
                                    : ReadPieceSeparatedBy<','>(text, layout, toBase, piece);
}

// The first line start at or after `offset` (a line starts after a line feed), or the end.
std::uint64_t LineStart(const Source& source, std::uint64_t offset, std::uint64_t lowest,
                        std::vector<char>& scratch)
{
    if (offset <= lowest) {
        return lowest;
    }
    for (std::uint64_t at = offset - 1; at < source.Size();) {
        const std::string_view bytes = source.Bytes(at, 4096, scratch);
        if (bytes.empty()) {
            break;
        }
        if (const auto feed = bytes.find('\n'); feed != std::string_view::npos) {
            return at + feed + 1;
        }
        at += bytes.size();
    }
    return source.Size();
}

// A block as the pieces make it: which runs, how many samples, and its time stamps so far.
struct PlannedBlock {
    std::size_t firstRun = 0; // in the list of all runs
    std::size_t runs = 0;
    std::size_t count = 0;
    double first = 0.0;
    double second = 0.0;
    double step = 0.0; // the step between its first two time stamps
    double last = 0.0;
    int firstLine = 0;
};

// Adds a run to a block: the steps at the joint and inside the run checked against the block's first step, and the
// block's span, as the line-by-line reader checks them.
bool AddRun(PlannedBlock& block, const Run& run, bool timeColumn)
{
    if (timeColumn) {
        auto step = [&](double time, double value, std::size_t before) {
            if (!(value > 0.0)) {
                return false;
            }
            if (before == 1) {
                block.second = time;
                block.step = value;
                return true;
            }
            return EvenStep(value, block.step);
        };
        std::size_t before = block.count;
        if (before == 0) {
            block.first = run.first;
        } else if (!step(run.first, run.first - block.last, before)) {
            return false;
        }
        ++before;
        if (run.count >= 2 && !step(run.second, run.second - run.first, before)) {
            return false;
        }
        // The steps after the run's second line: each agrees with the first step when the least and greatest do.
        if (run.count >= 3 && (!(run.leastStep > 0.0) || !EvenStep(run.leastStep, block.step) ||
                               !EvenStep(run.greatestStep, block.step))) {
            return false;
        }
        // Time stamps that span more than the largest double give no interval.
        if (!std::isfinite(run.last - block.first)) {
            return false;
        }
        block.last = run.last;
    }
    block.count += run.count;
    ++block.runs;
    return true;
}

// A run in the list of all runs: the piece that holds its samples, and how many.
struct JoinedRun {
    std::size_t piece;
    std::size_t count;
};

// Joins the runs of the pieces, one piece after another, into blocks: a run that a piece starts with goes on with the
// block before when that block is still open. It knows where a reader going line by line would stand.
class Joiner {
public:
    explicit Joiner(const Layout& layout) : layout_(layout), lineNumber_(layout.headerLine) {}

    // False when a run breaks a rule.
    bool Add(const Piece& piece, std::size_t index)
    {
        if (piece.hasLines) {
            if (separatorRow_ != 0 && !piece.runs.empty()) {
                return false; // data below a row of separators
            }
            for (std::size_t r = 0; r < piece.runs.size(); ++r) {
                const Run& run = piece.runs[r];
                if (!(r == 0 && piece.startsWithData && inBlock_)) {
                    if (!blocks_.empty() && shortBlock_ == 0 && Short(blocks_.back())) {
                        shortBlock_ = blocks_.back().firstLine;
                    }
                    blocks_.push_back({runs_.size()});
                    blocks_.back().firstLine = lineNumber_ + static_cast<int>(run.firstLine) + 1;
                }
                if (!AddRun(blocks_.back(), run, layout_.timeColumn)) {
                    return false;
                }
                runs_.push_back({index, run.count});
            }
            inBlock_ = piece.endsWithData;
            if (separatorRow_ == 0 && piece.separatorRow != 0) {
                separatorRow_ = lineNumber_ + static_cast<int>(piece.separatorRow);
            }
        }
        lineNumber_ += static_cast<int>(piece.lines);
        return true;
    }

    int LineNumber() const { return lineNumber_; }
    const std::vector<PlannedBlock>& Blocks() const { return blocks_; }
    const std::vector<JoinedRun>& Runs() const { return runs_; }
    // The first line of the first block with too few samples for its interval, of those a blank line has ended
    // (all of them with `ended`); 0: none.
    int ShortBlock(bool ended) const
    {
        if (shortBlock_ == 0 && !blocks_.empty() && (ended || !inBlock_) && Short(blocks_.back())) {
            return blocks_.back().firstLine;
        }
        return shortBlock_;
    }
    // Where a reader going line by line stands after the lines joined.
    LineState State() const
    {
        LineState state;
        state.lineNumber = lineNumber_;
        state.inBlock = inBlock_;
        state.blocks = blocks_.size();
        if (!blocks_.empty()) {
            const PlannedBlock& block = blocks_.back();
            state.block.firstLine = block.firstLine;
            state.block.count = block.count;
            state.block.first = block.first;
            state.block.second = block.second;
            state.block.last = block.last;
        }
        state.shortBlock = ShortBlock(false);
        state.separatorRow = separatorRow_;
        return state;
    }

private:
    bool Short(const PlannedBlock& block) const { return layout_.timeColumn && block.count < 2; }

    const Layout& layout_;
    int lineNumber_; // the lines before the next piece
    bool inBlock_ = false;
    int shortBlock_ = 0; // of the blocks before the last
    int separatorRow_ = 0; // the first row of separators alone after the last data line; 0: none
    std::vector<PlannedBlock> blocks_;
    std::vector<JoinedRun> runs_;
};

unsigned Threads(const Plan& plan)
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return plan.threads ? plan.threads : std::min(cores, 8u);
}

// Cuts the lines from `begin` to `end` of the source into pieces of about `chunk` bytes, each from the start of a line
// to the start of another, after those in `pieces`; false when a piece may hold a line longer than the longest.
bool CutPieces(const Source& source, std::uint64_t begin, std::uint64_t end, std::size_t chunk,
               std::uint64_t longestLine, std::vector<Piece>& pieces)
{
    const auto count = std::max<std::size_t>(static_cast<std::size_t>((end - begin + chunk - 1) / chunk), 1);
    std::vector<char> scratch;
    const std::uint64_t first = begin;
    for (std::size_t i = 0; i < count; ++i) {
        Piece& piece = pieces.emplace_back();
        piece.begin = begin;
        const std::uint64_t nominal = std::min<std::uint64_t>(first + (i + 1) * chunk, end);
        begin = i + 1 == count ? end : LineStart(source, nominal, begin, scratch);
        piece.end = begin;
        if (piece.end == piece.begin) {
            pieces.pop_back(); // a line ran past the point where it would have begun
            continue;
        }
        if (piece.end - piece.begin > longestLine) {
            // It may hold a line longer than the longest, which is not read whole into memory for nothing; the
            // line-by-line reader finds it.
            return false;
        }
    }
    return true;
}

// Reads the pieces from `first` on, on several threads; false when some line breaks a rule, or when the source
// cannot be read.
bool ReadPieces(const Source& source, const Layout& layout, const Plan& plan, std::vector<Piece>& pieces,
                std::size_t first)
{
    std::vector<double> toBase;
    toBase.reserve(layout.columns.size());
    for (const Column& column : layout.columns) {
        toBase.push_back(column.toBase);
    }
    std::atomic<std::size_t> next{first};
    std::atomic<bool> failed{false};
    std::exception_ptr thrown;
    std::mutex thrownLock;
    auto work = [&] {
        std::vector<char> scratch;
        for (std::size_t i = next++; i < pieces.size() && !failed; i = next++) {
            try {
                Piece& piece = pieces[i];
                const auto size = static_cast<std::size_t>(piece.end - piece.begin);
                std::string_view text = source.Bytes(piece.begin, size, scratch);
                if (!text.empty() && text.back() != '\n') {
                    // The last line without its line feed: one is put after it.
                    if (text.data() != scratch.data()) {
                        scratch.assign(text.begin(), text.end());
                    }
                    scratch.resize(text.size());
                    scratch.push_back('\n');
                    text = std::string_view(scratch.data(), text.size());
                }
                if (text.size() != size || !ReadPiece(text, layout, toBase, piece)) {
                    failed = true;
                }
            } catch (const ReadFailure&) {
                failed = true;
            } catch (...) {
                std::lock_guard guard(thrownLock);
                thrown = std::current_exception();
                failed = true;
            }
        }
    };
    const auto threads = static_cast<unsigned>(std::min<std::size_t>(pieces.size() - first, Threads(plan)));
    {
        std::vector<std::jthread> helpers;
        try {
            for (unsigned i = 1; i < threads; ++i) {
                helpers.emplace_back(work);
            }
        } catch (const std::system_error&) {
            // No memory for another thread's stack: the threads already running read every piece.
        }
        work();
    }
    if (thrown) {
        std::rethrow_exception(thrown);
    }
    return !failed;
}

// The recording of the joined pieces: each block's samples moved into their own storage, a run at a time, each
// piece's pages given back once its last run is in. The layout's columns become the document's channels, so that the
// names of a recording of many columns are not held twice. Nullptr when a block has no finite interval.
std::shared_ptr<Document> Assemble(Layout& layout, std::vector<Piece>& pieces, const Joiner& joiner)
{
    const std::vector<PlannedBlock>& blocks = joiner.Blocks();
    const std::vector<JoinedRun>& runs = joiner.Runs();
    std::vector<double> intervals;
    intervals.reserve(blocks.size());
    for (const PlannedBlock& block : blocks) {
        intervals.push_back(layout.timeColumn ? (block.last - block.first) / static_cast<double>(block.count - 1)
                                              : 1.0);
        if (!std::isfinite(intervals.back())) {
            return nullptr;
        }
    }
    auto document = Document::Create();
    document->ReserveChannels(layout.columns.size());
    for (Column& column : layout.columns) {
        document->AddChannel(std::move(column.name), std::move(column.unit));
    }
    const std::size_t channels = layout.columns.size();
    layout.columns = std::vector<Column>(); // its memory given back
    document->ReserveBlocks(blocks.size());
    std::vector<std::size_t> used(pieces.size(), 0); // lines of each piece taken so far
    std::size_t freed = 0;                            // the pieces before this one are given back
    std::vector<float> gathered;                      // one channel's samples of a run of several channels
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const PlannedBlock& block = blocks[b];
        const int index = document->AddBlock(intervals[b]);
        for (std::size_t r = block.firstRun; r < block.firstRun + block.runs; ++r) {
            const std::size_t p = runs[r].piece;
            for (; freed < p; ++freed) {
                pieces[freed].samples.Free();
            }
            const float* const lines = pieces[p].samples.Data() + used[p] * channels;
            const std::size_t count = runs[r].count;
            for (std::size_t c = 0; c < channels; ++c) {
                std::span<const float> samples(lines, count); // a single channel's lie one after another
                if (channels > 1) {
                    gathered.clear();
                    for (const float* from = lines + c; from < lines + count * channels; from += channels) {
                        gathered.push_back(*from);
                    }
                    samples = gathered;
                }
                if (r == block.firstRun) {
                    std::vector<float> first;
                    first.reserve(block.count); // the runs after it are appended without moving it
                    first.insert(first.end(), samples.begin(), samples.end());
                    document->SetSamples(index, static_cast<int>(c), std::move(first));
                } else {
                    document->Append(index, static_cast<int>(c), samples);
                }
            }
            used[p] += count;
        }
    }
    return document;
}

// Reads the source in pieces on several threads; nullptr when some line breaks a rule (the line-by-line reader then
// says which), or when the source cannot be read. The recording takes the layout's columns.
std::shared_ptr<Document> ReadInPieces(const Source& source, Layout& layout, const Plan& plan)
{
    std::vector<Piece> pieces;
    if (!CutPieces(source, layout.dataOffset, source.Size(), std::max<std::size_t>(plan.chunkBytes, 1),
                   plan.longestLine, pieces) ||
        !ReadPieces(source, layout, plan, pieces, 0)) {
        return nullptr;
    }
    Joiner joiner(layout);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (!joiner.Add(pieces[i], i)) {
            return nullptr;
        }
    }
    if (joiner.Blocks().empty() || joiner.ShortBlock(true) != 0) {
        return nullptr;
    }
    return Assemble(layout, pieces, joiner);
}

// The header, read by a line reader of its own, which holds the header line: it is let go before the samples are
// read (the header of a million columns takes megabytes).
std::optional<Layout> ReadHeaderAlone(const Source& source, std::uint64_t longestLine, int& lineNumber)
{
    LineReader lines(source, longestLine);
    return ReadHeader(source, lines, lineNumber);
}

std::shared_ptr<Document> Read(const Source& source, bool complete, const Plan& plan,
                               RecordingNotes* notes = nullptr)
{
    if (complete) {
        try {
            int lineNumber = 0;
            if (auto layout = ReadHeaderAlone(source, plan.longestLine, lineNumber)) {
                if (notes) {
                    *notes = {layout->timeColumn, layout->firstColumn, layout->timeUnit};
                }
                if (auto document = ReadInPieces(source, *layout, plan)) {
                    return document;
                }
            }
        } catch (const ReadFailure&) {
        }
    }
    // Something is wrong: the line-by-line reader finds the first line that is, and throws there.
    if (auto document = ReadLineByLine(source, complete, false, plan.longestLine)) {
        return document;
    }
    return ReadLineByLine(source, complete, true, plan.longestLine);
}

// ---- As the bytes arrive ----

// Bytes that arrive once, in order (a pipe, a FIFO, a device, a stream), kept only until the reader is done with
// them. The start is judged as it arrives: what is no text is refused at once, not after the memory has filled.
class ArrivingSource final : public Source {
public:
    // `read` appends the bytes that come next to its argument, false at the end; `failed` tells whether a failed read
    // ended them. `arrived` are the bytes read already.
    ArrivingSource(std::function<bool(std::string&)> read, std::function<bool()> failed, std::string arrived)
        : read_(std::move(read)), failed_(std::move(failed)), buffer_(std::move(arrived))
    {
    }

    // What has arrived so far.
    std::uint64_t Size() const override { return base_ + buffer_.size(); }
    std::string_view Bytes(std::uint64_t offset, std::size_t size, std::vector<char>&) const override
    {
        Fill(offset + size);
        return Arrived(offset, std::min<std::uint64_t>(offset + size, Size()));
    }
    std::uint64_t Reached() const override { return Size(); }

    // Reads on until `offset` has arrived, or to the end.
    void Fill(std::uint64_t offset) const
    {
        while (Size() < offset && More()) {
        }
    }
    // Reads what comes next; false at the end.
    bool More() const
    {
        if (ended_) {
            return false;
        }
        ended_ = !read_(buffer_);
        if (!judged_ && base_ == 0) {
            judged_ = judge_.Judge(buffer_, ended_);
        }
        return !ended_;
    }
    // Bytes that have arrived and are kept.
    std::string_view Arrived(std::uint64_t from, std::uint64_t to) const
    {
        return std::string_view(buffer_).substr(from - base_, to - from);
    }
    // The bytes before `offset` are no longer needed.
    void Drop(std::uint64_t offset)
    {
        // Given back in large parts, so that the bytes kept are moved seldom.
        const std::size_t unneeded = offset - base_;
        if (unneeded >= kFirstLook && 2 * unneeded >= buffer_.size()) {
            buffer_.erase(0, unneeded);
            base_ = offset;
        }
    }
    // Room for `bytes` to come at once, unless all have come.
    void Reserve(std::size_t bytes)
    {
        if (!ended_) {
            buffer_.reserve(bytes);
        }
    }
    bool Failed() const { return ended_ && failed_(); }

private:
    std::function<bool(std::string&)> read_;
    std::function<bool()> failed_;
    mutable std::string buffer_;
    std::uint64_t base_ = 0; // the offset of the buffer's first byte
    mutable bool ended_ = false;
    mutable StartJudge judge_;
    mutable bool judged_ = false;
};

// Where the next lines to read in pieces end: after the last line feed within `bytes` from `offset`, or when a line
// that begins there is longer, after that line; `offset` at the end.
std::uint64_t NextLinesEnd(const ArrivingSource& source, std::uint64_t offset, std::uint64_t bytes,
                           std::uint64_t longestLine, int linesBefore)
{
    source.Fill(offset + bytes);
    const std::uint64_t target = std::min(offset + bytes, source.Size());
    if (const auto feed = source.Arrived(offset, target).rfind('\n'); feed != std::string_view::npos) {
        return offset + feed + 1;
    }
    // Each search goes on where the last stopped: the bytes that arrive next are searched, once.
    for (std::uint64_t searched = target;;) {
        if (const auto feed = source.Arrived(searched, source.Size()).find('\n'); feed != std::string_view::npos) {
            if (searched + feed - offset > longestLine) {
                NoLineFeed(linesBefore + 1, longestLine);
            }
            return searched + feed + 1;
        }
        if (source.Size() - offset > longestLine) {
            NoLineFeed(linesBefore + 1, longestLine);
        }
        searched = source.Size();
        if (!source.More()) {
            return source.Size(); // the last line, without its line feed
        }
    }
}

// Some line from `offset` on breaks a rule: it is found line by line from the state there, and named.
[[noreturn]] void RefuseFirstBrokenLine(ArrivingSource& source, const Layout& layout, LineState state,
                                        std::uint64_t offset, std::uint64_t longestLine)
{
    LineReader lines(source, longestLine, offset, state.lineNumber);
    LineRules rules(layout, std::move(state), false, lines);
    std::string_view text;
    while (lines.Next(text)) {
        rules.Next(text);
        source.Drop(lines.Offset());
    }
    if (source.Failed()) {
        throw RecordingError(rules.LineNumber(), "the file could not be read to its end");
    }
    rules.End();
    throw RecordingError(0, "the recording could not be read");
}

// Reads a recording as its bytes arrive: lines of about as many bytes as the threads read at once, cut into pieces
// and read on those threads, joined, and let go. Only the samples and those lines are in memory.
std::shared_ptr<Document> ReadArriving(ArrivingSource& source, const Plan& plan, RecordingNotes* notes)
{
    int lineNumber = 0;
    std::optional<Layout> layout = ReadHeaderAlone(source, plan.longestLine, lineNumber);
    if (!layout) {
        if (source.Failed()) {
            throw RecordingError(lineNumber, "the file could not be read to its end");
        }
        throw RecordingError(0, "the file holds no header line");
    }
    if (notes) {
        *notes = {layout->timeColumn, layout->firstColumn, layout->timeUnit};
    }
    const std::size_t chunk = std::max<std::size_t>(plan.chunkBytes, 1);
    const std::uint64_t bytes = std::uint64_t{chunk} * Threads(plan);
    source.Reserve(static_cast<std::size_t>(std::min<std::uint64_t>(bytes, std::uint64_t{1} << 30)) + 2 * kFirstLook);
    std::vector<Piece> pieces;
    Joiner joiner(*layout);
    for (std::uint64_t at = layout->dataOffset;;) {
        source.Drop(at);
        const std::uint64_t end = NextLinesEnd(source, at, bytes, plan.longestLine, joiner.LineNumber());
        if (end == at) {
            break;
        }
        const TextSource text(source.Arrived(at, end));
        const std::size_t first = pieces.size();
        const LineState before = joiner.State();
        bool read = CutPieces(text, 0, text.Size(), chunk, plan.longestLine, pieces) &&
                    ReadPieces(text, *layout, plan, pieces, first);
        for (std::size_t i = first; read && i < pieces.size(); ++i) {
            read = joiner.Add(pieces[i], i);
        }
        if (!read) {
            RefuseFirstBrokenLine(source, *layout, before, at, plan.longestLine);
        }
        at = end;
    }
    if (source.Failed()) {
        throw RecordingError(joiner.LineNumber(), "the file could not be read to its end");
    }
    if (joiner.Blocks().empty()) {
        throw RecordingError(0, "the file holds no samples");
    }
    if (const int line = joiner.ShortBlock(true)) {
        OneSampleBlock(line);
    }
    if (auto document = Assemble(*layout, pieces, joiner)) {
        return document;
    }
    throw RecordingError(0, "the recording could not be read");
}

// Reads with `read`, saying how much of the source was read when the memory runs out.
template <class Reading>
std::shared_ptr<Document> TellingOfMemory(const Source& source, Reading read)
{
    try {
        return read();
    } catch (const std::bad_alloc&) {
        const std::uint64_t reached = source.Reached();
        throw RecordingError(0, "the memory ran out after " +
                                    (reached >= (1 << 20) ? std::to_string(reached >> 20) + " MB"
                                                          : std::to_string(reached) + " bytes") +
                                    " of it were read");
    }
}

// Reads a stream as it arrives, `arrival` bytes at a time at most.
std::shared_ptr<Document> ReadStream(std::istream& in, std::size_t arrival, const Plan& plan)
{
    ArrivingSource source(
        [&in, piece = std::vector<char>(std::max<std::size_t>(arrival, 1))](std::string& into) mutable {
            in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
            into.append(piece.data(), static_cast<std::size_t>(in.gcount()));
            return in.gcount() > 0;
        },
        [&in] { return in.bad(); }, {});
    return TellingOfMemory(source, [&] { return ReadArriving(source, plan, nullptr); });
}

} // namespace

RecordingError::RecordingError(int line, const std::string& reason) : RecordingError(line, 0, reason) {}

RecordingError::RecordingError(int line, int column, const std::string& reason)
    : std::runtime_error((line > 0 ? "line " + std::to_string(line) + (column > 0 ? ", " : ": ") : std::string()) +
                         (column > 0 ? "column " + std::to_string(column) + ": " : std::string()) + reason),
      line_(line), column_(column), reason_(reason)
{
}

std::shared_ptr<Document> ReadRecording(std::istream& in) { return ReadStream(in, kFirstLook, kDefaultPlan); }

std::shared_ptr<Document> ReadRecordingStream(std::istream& in, std::size_t arrival, std::size_t pieceBytes,
                                              unsigned threads, std::uint64_t longestLine)
{
    return ReadStream(in, arrival, {pieceBytes, threads, longestLine});
}

std::shared_ptr<Document> ReadRecordingText(std::string_view text, std::size_t pieceBytes, unsigned threads,
                                            std::uint64_t longestLine)
{
    return Read(TextSource(text), true, {pieceBytes, threads, longestLine});
}

std::shared_ptr<Document> ReadRecordingLineByLine(std::string_view text)
{
    return ReadLineByLine(TextSource(text), true, true, kLongestRecordingLine);
}

InputFile::InputFile(const std::string& path) : path_(path)
{
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        throw RecordingError(0, "cannot open " + path + ": " + std::strerror(errno));
    }
    struct stat status{};
    if (::fstat(fd_, &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            ::close(fd_);
            throw RecordingError(0, "it is a folder, not a file");
        }
        regular_ = S_ISREG(status.st_mode);
        size_ = regular_ ? static_cast<std::uint64_t>(status.st_size) : 0;
    }
}

InputFile::~InputFile() { ::close(fd_); }

std::string_view InputFile::Start(std::size_t count)
{
    if (regular_) {
        // Only looked at: a reader reads the file anew from its start.
        std::vector<char> scratch;
        try {
            bytes_.assign(FileSource(fd_, size_).Bytes(0, count, scratch));
        } catch (const ReadFailure&) {
            bytes_.clear(); // the reader meets the failure again and says so
        }
        return bytes_;
    }
    while (bytes_.size() < count && ReadMore()) {
    }
    return std::string_view(bytes_).substr(0, count);
}

bool InputFile::ReadMore() { return ReadMore(bytes_); }

bool InputFile::ReadMore(std::string& into)
{
    if (ended_) {
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            complete_ = n == 0;
            ended_ = true;
            return false;
        }
        into.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
}

std::shared_ptr<Document> ReadRecordingFile(const std::string& path)
{
    InputFile file(path);
    return ReadRecordingFile(file);
}

std::shared_ptr<Document> ReadRecordingFile(InputFile& file, RecordingNotes* notes, std::string_view command)
{
    if (file.Start(2) == "\x1F\x8B") {
        // A file that is written in text without a word of the compression: it would be refused as no text.
        constexpr std::string_view kPlain = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_./-+";
        const bool named = file.Regular() && file.Path().find_first_not_of(kPlain) == std::string::npos;
        const std::string name = named ? file.Path() : "FILE";
        throw RecordingError(0, "it is compressed with gzip: give the program its text through zcat, as standard "
                                "input (zcat " + name + " | crestmetrics " + std::string(command) +
                                    " /dev/stdin ...) or as <(zcat " + name + ") in place of the file's name");
    }
    if (file.Regular()) {
        const FileSource source(file.Descriptor(), file.Size());
        return TellingOfMemory(source, [&] { return Read(source, true, kDefaultPlan, notes); });
    }
    // A pipe or a device, read as its bytes arrive, beginning with those looked at already.
    ArrivingSource source([&file](std::string& into) { return file.ReadMore(into); },
                          [&file] { return !file.Complete(); }, file.TakeBytes());
    return TellingOfMemory(source, [&] { return ReadArriving(source, kDefaultPlan, notes); });
}

namespace {

// A name that ends in its unit ("vm_mV", "Vm mV") as the reader takes it ("vm (mV)"); for another name, an example.
std::string WithUnit(std::string_view name)
{
    std::string_view base;
    std::string_view unit;
    if (const std::size_t at = name.find_last_of("_ "); at != std::string_view::npos) {
        base = name.substr(0, at);
        unit = name.substr(at + 1);
    }
    base = Trim(base);
    unit = Trim(unit);
    if (base.empty() || unit.empty() || !IsKnownUnit(platform::Utf8ToUtf16(unit))) {
        return "Vm (mV)";
    }
    return std::string(base) + " (" + std::string(unit) + ")";
}

std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

} // namespace

std::optional<std::string> UnitWarning(const Document& recording, int channel)
{
    const std::u16string& unit = recording.ChannelUnit(channel);
    if (IsKnownUnit(unit)) {
        return std::nullopt;
    }
    const std::string name = platform::Utf16ToUtf8(recording.ChannelName(channel));
    const std::string which = "channel " + std::to_string(channel + 1) + ", \"" + name + "\": ";
    if (unit.empty()) {
        return which + "it has no unit, so its numbers are kept as written: write the unit in parentheses after the "
                       "name, as in \"" + WithUnit(name) + "\"";
    }
    return which + "its unit \"" + platform::Utf16ToUtf8(unit) +
           "\" is none the host knows, so its numbers are kept as written (the host knows " +
           platform::Utf16ToUtf8(KnownBaseUnits()) + ", each also with a prefix such as m, \u00B5, n or k)";
}

void RefuseUnitInBrackets(const Document& recording, int channel)
{
    if (recording.ChannelUnit(channel).empty()) {
        reading::RefuseUnitInBrackets(platform::Utf16ToUtf8(recording.ChannelName(channel)), channel);
    }
}

std::optional<std::string> TimeColumnWarning(const RecordingNotes& notes, const Document& recording)
{
    if (notes.timeColumn) {
        if (notes.timeUnit || recording.BlockCount() == 0) {
            return std::nullopt;
        }
        const double interval = recording.TickPeriod(0);
        const std::string_view written = notes.firstColumn;
        const std::string name(Trim(written.substr(0, written.find('('))));
        return "the time column, \"" + notes.firstColumn + "\", has no unit, so its times are taken as seconds: "
               "samples " + Number(interval) + " s apart, " + Number(1.0 / interval) + " per second; if they are in "
               "milliseconds, write \"" + name + " (ms)\"";
    }
    return "no time column: the first column, \"" + notes.firstColumn +
           "\", became channel 1, and samples are taken 1 s apart (a first column \"Time (s)\" or \"Time (ms)\" "
           "gives the sample interval)";
}

} // namespace host
