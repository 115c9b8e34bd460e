// What the reader of text recordings (recording.cpp) and its refusals (recordingmessages.cpp) share: the header's
// layout, the text helpers, and the look-ahead with which a refusal names what the lines after the refused one hold.
// Internal to the two.
#pragma once

#include "host/recording.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace host::reading {

struct Column {
    std::u16string name;
    std::u16string unit;
    double toBase = 1.0; // the host keeps samples in base units: a file's mV are stored as V
};

// What the header line says of the lines after it.
struct Layout {
    std::vector<Column> columns; // the channels
    char separator = '\t';
    bool timeColumn = false;
    bool timeUnit = false; // the time column gives its unit
    double timeScale = 1.0;
    std::uint64_t dataOffset = 0; // the first byte after the header line
    std::string firstColumn;      // the header's first field as written
    int headerLine = 0;
    std::string headerText;       // as written, for messages
};

// A data line that does not fit the header, in no form the reader has words for: text where a number should stand,
// or another count of values. On the first line after the header it may be a note above the column names.
class UnfitLine : public RecordingError {
public:
    using RecordingError::RecordingError;
};

// The lines of a recording one after another (recording.cpp).
class LineReader;

// Text helpers of the reader (recording.cpp).
std::string Shown(std::string_view text);
std::string_view Trim(std::string_view text);
std::string_view TrimLine(std::string_view line);
std::vector<std::string_view> Split(std::string_view line, char separator);
std::size_t Utf8Length(std::string_view text, std::size_t at);
std::u16string UnitText(std::string_view unit);
bool NoTextByte(char byte);
std::string ByteNamed(char byte);
// The look-ahead: up to `count` more lines of `lines`.
std::vector<std::string> NextLines(LineReader& lines, int count);

// The refusals, each a RecordingError that says what to do (recordingmessages.cpp).
void RefuseNonUtf8Unit(std::string_view unit, int line, std::size_t index);
std::string TimeUnitRefused(const Column& time);
void RefuseHeaderFields(std::string_view line, const std::vector<std::string_view>& fields, int lineNumber);
[[noreturn]] void RefuseColumns(const std::vector<std::string_view>& fields, int lineNumber, LineReader& lines);
std::string WhatToWrite(std::string_view text, bool inTimeColumn = false);
[[noreturn]] void NotANumber(std::string_view field, int line, std::size_t index, bool inTimeColumn = false);
std::string HeaderNamed(const Layout& layout);
[[noreturn]] void RefuseLine(const RecordingError& error, std::string_view line, int lineNumber, const Layout& layout,
                             bool firstDataLine, LineReader& lines);
std::string TimeStep(double seconds, const Layout& layout, int digits);
std::string RoundedTimes(std::string_view written, double difference, const Layout& layout);
[[noreturn]] void OneSampleBlock(int line);
bool EndsInSeparators(std::string_view line, char separator, std::size_t expected);
// Refuses a channel named with a unit the host knows in square brackets ("Vm [mV]"): a RecordingError (line 0).
void RefuseUnitInBrackets(std::string_view name, int channel);

} // namespace host::reading
