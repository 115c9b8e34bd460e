// The reader's refusals of text recordings: what is wrong with a file, and for the forms that common writers of
// tables make, what to write instead.
#include "host/recordingmessages.h"

#include "host/units.h"
#include "platform/win/codepage.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace host::reading {

namespace {

// A unit as a row of units writes it, bare, in parentheses or in square brackets, without them.
std::string_view Unparenthesized(std::string_view field)
{
    const bool enclosed = field.size() >= 2 && ((field.front() == '(' && field.back() == ')') ||
                                                (field.front() == '[' && field.back() == ']'));
    return enclosed ? Trim(field.substr(1, field.size() - 2)) : field;
}

// A unit that is not UTF-8: shown with the bytes that are no UTF-8 escaped ("\xB5V"), and the first of them.
struct NonUtf8Text {
    std::string shown;
    unsigned char first;
};

std::optional<NonUtf8Text> NonUtf8(std::string_view unit)
{
    std::string shown;
    std::optional<unsigned char> first;
    for (std::size_t at = 0; at < unit.size();) {
        if (const std::size_t length = Utf8Length(unit, at)) {
            shown.append(unit.substr(at, length));
            at += length;
            continue;
        }
        const auto byte = static_cast<unsigned char>(unit[at++]);
        first = first.value_or(byte);
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
        shown += escaped;
    }
    if (!first) {
        return std::nullopt;
    }
    return NonUtf8Text{std::move(shown), *first};
}

// Why a unit that is not UTF-8 is refused: a Windows program most often writes the micro sign as the single byte of
// code page 1252.
std::string NonUtf8Reason(const NonUtf8Text& unit)
{
    char byte[8];
    std::snprintf(byte, sizeof byte, "0x%02X", unit.first);
    std::string reason = "the unit \"" + unit.shown + "\" is not UTF-8 (byte " + byte;
    // What code page 1252 writes with the byte, unless it is undefined there (a control) or shows as a blank.
    WCHAR written = 0;
    const char narrow = static_cast<char>(unit.first);
    if (MultiByteToWideChar(CP_WINDOWS_1252, 0, &narrow, 1, &written, 1) == 1 && written > 0xA0 && written != 0xAD) {
        reason += ", which Windows code page 1252 writes for " + platform::Utf16ToUtf8(std::u16string(1, written));
    }
    return reason + "): save the file as UTF-8";
}

// A first column named as the time column: the name in any case, without its unit.
bool TimeName(std::string_view name)
{
    const std::u16string lower = platform::AsciiLower(platform::Utf8ToUtf16(name));
    return lower == u"time" || lower == u"t";
}

// A header field in single quotes.
bool SingleQuoted(std::string_view field)
{
    return field.size() >= 2 && field.starts_with('\'') && field.ends_with('\'');
}

[[noreturn]] void RefuseSingleQuotes(int lineNumber)
{
    throw RecordingError(lineNumber, "the header's fields are in single quotes, which the reader does not take: "
                                     "write the file without quoting");
}

// A name followed by a unit the host knows in square brackets ("Vm [mV]"), as some programs write units: read as it
// stands it is a name without a unit.
struct BracketedUnit {
    std::string_view name;
    std::string_view unit;
};

std::optional<BracketedUnit> UnitInBrackets(std::string_view field)
{
    if (!field.ends_with(']')) {
        return std::nullopt; // told before the name is searched: calc asks of every channel
    }
    const std::size_t open = field.rfind('[');
    if (open == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view name = Trim(field.substr(0, open));
    const std::string_view unit = Trim(field.substr(open + 1, field.size() - open - 2));
    if (name.empty() || unit.empty() || !IsKnownUnit(UnitText(unit))) {
        return std::nullopt;
    }
    return BracketedUnit{name, unit};
}

// The column as the reader takes it, its unit in parentheses.
std::string InParentheses(const BracketedUnit& column)
{
    return std::string(column.name) + " (" + std::string(column.unit) + ")";
}

// A line of numbers alone, whatever separates them: the first samples, written without a header.
bool OnlyNumbers(std::string_view line)
{
    bool any = false;
    for (std::size_t at = 0; at < line.size();) {
        const std::size_t end = std::min(line.find_first_of("\t,; ", at), line.size());
        if (end > at) {
            const char* const begin = line.data() + at + (line[at] == '+' ? 1 : 0);
            double value = 0.0;
            const auto parsed = std::from_chars(begin, line.data() + end, value);
            if (parsed.ec == std::errc::invalid_argument || parsed.ptr != line.data() + end) {
                return false;
            }
            any = true;
        }
        at = end + 1;
    }
    return any;
}

// A spreadsheet's hint of the separator its file uses ("sep=;"), which it writes above the column names.
bool SeparatorHint(std::string_view line) { return line.size() == 5 && line.starts_with("sep="); }

bool Digit(char c) { return c >= '0' && c <= '9'; }

// A comma between two digits: a decimal comma or a thousands separator, as numbers are written outside the C locale
// (in a comma-separated line it may as well be the separator: which it is, is not told).
bool CommaBetweenDigits(std::string_view text)
{
    for (std::size_t at = text.find(','); at != std::string_view::npos; at = text.find(',', at + 1)) {
        if (at > 0 && at + 1 < text.size() && Digit(text[at - 1]) && Digit(text[at + 1])) {
            return true;
        }
    }
    return false;
}

// Column names separated by semicolons in one field ("Zeit;Vm;Im"), as spreadsheets write them where numbers take a
// decimal comma.
bool SemicolonNames(std::string_view field)
{
    const auto names = Split(field, ';');
    return std::count_if(names.begin(), names.end(), [](std::string_view name) { return !name.empty(); }) >= 2;
}

// How many lines after column names a refusal looks at: enough for a row of units and the first samples.
constexpr int kLinesLookedAt = 3;

// Refuses column names separated by semicolons in one message with what the lines after them hold (`after`, from
// line `afterLine`): spreadsheets export so where numbers take a decimal comma, often with a row of units and a line
// "sep=;" (at `hintLine`; 0: none) above, and each would be refused in turn.
[[noreturn]] void RefuseSemicolons(const std::string& names, int namesLine, int hintLine,
                                   const std::vector<std::string>& after, int afterLine)
{
    std::string reason = "the column names \"" + Shown(names) + "\" are separated by semicolons: columns are "
                         "separated by tabs or commas, not semicolons: write tabs in their place";
    if (hintLine > 0) {
        reason += ", and delete line " + std::to_string(hintLine) + " (\"sep=;\"), a spreadsheet's hint of its "
                  "separator";
    }
    const auto columns = Split(names, ';');
    const auto nameOf = [](std::string_view column) { return Trim(column.substr(0, column.find('('))); };
    std::string firstUnit; // of the first column, in the header or in a row of units
    if (const std::size_t open = columns.front().find('('); open != std::string_view::npos) {
        firstUnit = Unparenthesized(columns.front().substr(open));
    }
    bool unitsNamed = false;
    for (std::size_t i = 0; i < after.size(); ++i) {
        const std::string& line = after[i];
        const std::string number = std::to_string(afterLine + static_cast<int>(i));
        if (line.find_first_of("0123456789") != std::string::npos) {
            if (CommaBetweenDigits(line)) {
                reason += "; numbers are written with a decimal point, not a comma (line " + number + ": \"" +
                          Shown(line) + "\")";
            }
            break;
        }
        const auto units = Split(line, ';');
        const auto known = [](std::string_view unit) { return IsKnownUnit(UnitText(Unparenthesized(unit))); };
        // Units the host does not know, or not in UTF-8, are a row of units too when each column has a word.
        const auto word = [](std::string_view unit) {
            return !unit.empty() && unit.find_first_of(" \t") == std::string_view::npos;
        };
        if (!line.empty() && !unitsNamed &&
            (std::all_of(units.begin(), units.end(), known) ||
             (units.size() == columns.size() && std::all_of(units.begin(), units.end(), word)))) {
            // The example: the first channel after the time column, with its unit.
            const std::size_t example = std::min({std::size_t{1}, columns.size() - 1, units.size() - 1});
            const std::string_view unit = Unparenthesized(units[example]);
            const auto notUtf8 = NonUtf8(unit);
            reason += "; line " + number + " holds units: each belongs in the header after its column's name, as \"" +
                      std::string(nameOf(columns[example])) + " (" + (notUtf8 ? notUtf8->shown : std::string(unit)) +
                      ")\", and the line must go";
            for (const std::string_view other : units) {
                if (const auto text = NonUtf8(Unparenthesized(other))) {
                    reason += "; " + NonUtf8Reason(*text);
                    break;
                }
            }
            if (firstUnit.empty()) {
                firstUnit = Unparenthesized(units.front());
            }
            unitsNamed = true;
        }
    }
    // Only a first column named Time or t gives the sample interval: another name's times would be channel 1.
    if (const std::string_view name = nameOf(columns.front());
        !TimeName(name) && (firstUnit == "s" || firstUnit == "ms")) {
        reason += "; the first column, \"" + Shown(name) + "\", is the time column only when named Time: name it "
                  "\"Time (" + firstUnit + ")\"";
    }
    throw RecordingError(namesLine, reason);
}

// Numbers separated by semicolons or blanks, which stand in one field.
bool SeveralNumbers(std::string_view field)
{
    int numbers = 0;
    for (std::size_t at = 0; at < field.size();) {
        const std::size_t end = std::min(field.find_first_of("; ", at), field.size());
        if (end > at) {
            double value = 0.0;
            const auto parsed = std::from_chars(field.data() + at, field.data() + end, value);
            if (parsed.ptr != field.data() + end) {
                return false;
            }
            ++numbers;
        }
        at = end + 1;
    }
    return numbers >= 2;
}

// Text that from_chars reads whole as a number (after one plus sign), whatever its range.
bool WrittenAsNumber(std::string_view field)
{
    double value = 0.0;
    const char* const end = field.data() + field.size();
    const auto parsed = std::from_chars(field.data() + (field.starts_with('+') ? 1 : 0), end, value);
    return !field.empty() && parsed.ec != std::errc::invalid_argument && parsed.ptr == end;
}

// A sample left out, as spreadsheets and numpy write a gap: an empty field, or NaN.
bool MissingSample(std::string_view field)
{
    const std::string_view value = field.starts_with('-') || field.starts_with('+') ? field.substr(1) : field;
    const auto is = [&value](std::size_t at, char lower) {
        return std::tolower(static_cast<unsigned char>(value[at])) == lower;
    };
    return field.empty() || (value.size() == 3 && is(0, 'n') && is(1, 'a') && is(2, 'n'));
}

// The minus sign of word processors and some exports, which no number begins with.
constexpr std::string_view kMinusSign = "\xE2\x88\x92";

// A clock time, alone or after a date ("12:03:04.123", "2026-12-07T12:03:04"): a colon between a digit and two.
bool ClockTime(std::string_view text)
{
    for (std::size_t at = text.find(':'); at != std::string_view::npos; at = text.find(':', at + 1)) {
        if (at > 0 && at + 2 < text.size() && Digit(text[at - 1]) && Digit(text[at + 1]) && Digit(text[at + 2])) {
            return true;
        }
    }
    return false;
}

// Where a number has the exponent letter Fortran writes, D ("-7.01D+01"), or npos.
std::size_t FortranExponent(std::string_view text)
{
    for (std::size_t at = text.find_first_of("Dd"); at != std::string_view::npos;
         at = text.find_first_of("Dd", at + 1)) {
        const bool sign = at + 1 < text.size() && (text[at + 1] == '+' || text[at + 1] == '-');
        const std::size_t digit = at + (sign ? 2 : 1);
        if (at > 0 && (Digit(text[at - 1]) || text[at - 1] == '.') && digit < text.size() && Digit(text[digit])) {
            return at;
        }
    }
    return std::string_view::npos;
}

// Refuses a row of units under the column names, as spreadsheets write them: as many fields as the header names, none
// of them a number, and each a word without digits (a line of notes has them).
void RefuseUnitsRow(std::string_view line, int lineNumber, const Layout& layout)
{
    const std::size_t expected = layout.columns.size() + (layout.timeColumn ? 1 : 0);
    if (static_cast<std::size_t>(std::count(line.begin(), line.end(), layout.separator)) + 1 != expected) {
        return;
    }
    const auto fields = Split(line, layout.separator);
    const auto noUnit = [](std::string_view field) {
        return field.empty() || WrittenAsNumber(field) ||
               field.find_first_of(" \t0123456789") != std::string_view::npos;
    };
    if (std::any_of(fields.begin(), fields.end(), noUnit)) {
        return;
    }
    // A word under a single name is as likely a note: it is a unit only when the host knows it.
    if (expected == 1 && !IsKnownUnit(UnitText(Unparenthesized(fields.front())))) {
        return;
    }
    const std::string example = platform::Utf16ToUtf8(layout.columns.front().name) + " (" +
                                std::string(Unparenthesized(fields[layout.timeColumn ? 1 : 0])) + ")";
    throw RecordingError(lineNumber, "the line holds units, not numbers: each unit belongs in the header after its "
                                     "column's name, as \"" + example + "\"; then delete the line");
}

// A field of the line is written as a number. Not split into a list: the line may hold millions of fields.
bool HoldsNumber(std::string_view line, char separator)
{
    for (std::size_t at = 0;;) {
        const std::size_t end = line.find(separator, at);
        if (WrittenAsNumber(Trim(line.substr(at, end - at)))) {
            return true;
        }
        if (end == std::string_view::npos) {
            return false;
        }
        at = end + 1;
    }
}

// What to do about a first data line of text that fits no rule. Acquisition programs write notes above the column
// names ("Sampling rate: 20000 Hz"), the first of which is then taken as the header: likely when the line holds no
// number and at least the header's count of fields, and the header does not name its time column with its unit.
// Under such a header the line is text under the column names.
std::string WhatToDoWithText(std::string_view line, const Layout& layout)
{
    if (HoldsNumber(line, layout.separator)) {
        return "";
    }
    if (layout.timeColumn && layout.timeUnit) {
        return ": the line holds text under the column names; delete it";
    }
    // Text in tabs under a header without one: the header is a title above the column names, split at its commas.
    const bool underTitle = layout.separator == ',' && line.find('\t') != std::string_view::npos &&
                            !HoldsNumber(line, '\t');
    const auto fields = static_cast<std::size_t>(std::count(line.begin(), line.end(), layout.separator)) + 1;
    if (!underTitle && fields < layout.columns.size() + (layout.timeColumn ? 1 : 0)) {
        return "";
    }
    return ": lines above the column names that hold notes must go, so that the first line names the columns";
}

// Refuses columns at the header's end that the first data line and the lines after it leave empty, each line ending
// in separators, as a column of comments that nothing filled: the refusal of the first data line's empty field
// (`error`) would come again on each line after it.
void RefuseEmptyLastColumns(const RecordingError& error, std::string_view line, int lineNumber, const Layout& layout,
                            LineReader& lines)
{
    const std::size_t expected = layout.columns.size() + (layout.timeColumn ? 1 : 0);
    // The first of the line's empty fields at its end (`expected`: none); 0 for another count of fields.
    const auto emptyFrom = [&](std::string_view text) {
        if (static_cast<std::size_t>(std::count(text.begin(), text.end(), layout.separator)) + 1 != expected) {
            return std::size_t{0};
        }
        const auto fields = Split(text, layout.separator);
        std::size_t first = expected;
        while (first > 1 && fields[first - 1].empty()) {
            --first;
        }
        return first;
    };
    const std::size_t first = emptyFrom(line);
    // The line was refused at the first of those fields, as NotANumber refuses an empty one.
    if (first == 0 || first == expected ||
        !error.Reason().starts_with("column " + std::to_string(first + 1) + ": not a number: \"\"")) {
        return;
    }
    for (const std::string& next : NextLines(lines, kLinesLookedAt)) {
        const std::size_t nextFirst = emptyFrom(next);
        if (!next.empty() && (nextFirst == 0 || nextFirst > first)) {
            return; // a value in the columns: a gap of missing samples
        }
    }
    const std::size_t count = expected - first;
    std::string names; // the first three
    for (std::size_t column = first; column < std::min(expected, first + 3); ++column) {
        const Column& channel = layout.columns[column - (layout.timeColumn ? 1 : 0)];
        names += (column > first ? ", \"" : "\"") + Shown(platform::Utf16ToUtf8(channel.name)) + "\"";
    }
    names += count > 3 ? ", ..." : "";
    const std::string header = " from the header (line " + std::to_string(layout.headerLine) + ")";
    throw RecordingError(lineNumber, count == 1 ? "column " + std::to_string(first + 1) + ", " + names +
                                                      ", is empty: delete its name" + header +
                                                      " and the separator at the end of each line"
                                                : "columns " + std::to_string(first + 1) + " to " +
                                                      std::to_string(expected) + ", " + names +
                                                      ", are empty: delete their names" + header +
                                                      " and the separators at the end of each line");
}

} // namespace

// Refuses a unit that is not UTF-8 (read as it stands it would be an unknown unit, its numbers kept as written).
void RefuseNonUtf8Unit(std::string_view unit, int line, std::size_t index)
{
    if (const auto text = NonUtf8(unit)) {
        throw RecordingError(line, static_cast<int>(index + 1), NonUtf8Reason(*text));
    }
}

// Refuses header fields that no column name can be, as common writers of tables make them, saying how to write the
// file instead.
void RefuseHeaderFields(std::string_view line, const std::vector<std::string_view>& fields, int lineNumber)
{
    if (OnlyNumbers(line)) {
        throw RecordingError(lineNumber, "the first line holds only numbers, so it is no header: a recording begins "
                                         "with a header line that names its columns, such as \"Time (s)<tab>Vm "
                                         "(mV)\"");
    }
    if (std::any_of(fields.begin(), fields.end(), [](std::string_view field) { return field.starts_with('"'); })) {
        throw RecordingError(lineNumber, "the header's fields are in double quotes, which the reader does not take: "
                                         "write the file without quoting (as pandas' to_csv does by default)");
    }
    if (std::all_of(fields.begin(), fields.end(), SingleQuoted)) {
        RefuseSingleQuotes(lineNumber); // names without units, which the reader would take with their quotes
    }
    if (fields.size() < 2) {
        return;
    }
    if (const auto time = UnitInBrackets(fields.front()); time && TimeName(time->name)) {
        // Read as it stands, it would be channel 1, and the samples 1 s apart.
        std::string reason = "the time column's unit stands in square brackets, \"" + Shown(fields.front()) +
                             "\", which the reader does not take: write it in parentheses, as \"" +
                             InParentheses(*time) + "\"";
        const auto other = std::find_if(fields.begin() + 1, fields.end(),
                                        [](std::string_view field) { return UnitInBrackets(field).has_value(); });
        if (other != fields.end()) {
            reason += ", and so the units of the other columns, as \"" + InParentheses(*UnitInBrackets(*other)) + "\"";
        }
        throw RecordingError(lineNumber, 1, reason);
    }
    if (fields.front().empty()) {
        throw RecordingError(lineNumber, "column 1 has no name: pandas' to_csv writes its index so; write the file "
                                         "with index=False, so that the time column comes first");
    }
    if (SeparatorHint(line)) {
        throw RecordingError(lineNumber, "\"" + std::string(line) + "\" is a spreadsheet's hint of its separator, "
                                         "not column names: delete the line, so that the first line names the "
                                         "columns");
    }
    if (fields.back().empty()) {
        std::size_t first = fields.size() - 1; // of the empty fields at the end
        while (first > 0 && fields[first - 1].empty()) {
            --first;
        }
        throw RecordingError(lineNumber, "column " + std::to_string(first + 1) + " has no name: the line ends in a "
                                         "separator (a tab or a comma); delete it");
    }
}

// Why a time column's unit is refused; for the units that acquisition programs write, how to write the times
// instead.
std::string TimeUnitRefused(const Column& time)
{
    const std::string reason = "the time column must be in s or ms";
    const auto convert = [&](const char* into, const std::string& how, const char* unit) {
        return reason + ": convert its times to " + into + " (" + how + ") and write \"" +
               platform::Utf16ToUtf8(time.name) + " (" + unit + ")\"";
    };
    const char* const factor = time.unit == u"min" ? "60" : time.unit == u"h" ? "3600" : nullptr;
    if (factor) {
        return convert("seconds", std::string("times ") + factor, "s");
    }
    // The Greek mu is read as the micro sign.
    if (time.unit == u"\u00B5s" || time.unit == u"us") {
        return convert("milliseconds", "divided by 1000", "ms");
    }
    if (platform::AsciiLower(time.unit) == u"samples") {
        return convert("seconds", "divided by the sampling rate", "s");
    }
    return reason;
}

// Rethrows the refusal of a header's column (called in its handler), or for a form that common writers of tables
// make, says what to do instead.
[[noreturn]] void RefuseColumns(const std::vector<std::string_view>& fields, int lineNumber, LineReader& lines)
{
    if (std::any_of(fields.begin(), fields.end(), SingleQuoted)) {
        RefuseSingleQuotes(lineNumber);
    }
    if (fields.size() == 1 && SemicolonNames(fields.front())) {
        const std::string names(fields.front()); // before the lines after it are read
        RefuseSemicolons(names, lineNumber, 0, NextLines(lines, kLinesLookedAt), lineNumber + 1);
    }
    throw;
}

// What to do about text where numbers should stand (a field, or a comma-separated line split into too many values),
// for the forms common writers of tables make: ": " and the way the reader takes it, or nothing for other text.
std::string WhatToWrite(std::string_view text, bool inTimeColumn)
{
    std::string advice;
    const auto add = [&advice](std::string_view words) {
        advice += (advice.empty() ? ": " : "; ") + std::string(words);
    };
    if (SeveralNumbers(text)) {
        add("columns are separated by tabs or commas");
    }
    if (CommaBetweenDigits(text)) {
        add("a comma stands between digits: numbers are written with a decimal point and without thousands "
            "separators");
    }
    if (text.find('"') != std::string_view::npos) {
        add("the reader does not take quotes around a field: write the file without quoting");
    }
    if (text.find(kMinusSign) != std::string_view::npos) {
        add("\"" + std::string(kMinusSign) + "\" is U+2212 MINUS SIGN, not the \"-\" a number is written with: write "
            "minus signs as \"-\"");
    }
    if (const std::size_t exponent = FortranExponent(text); exponent != std::string_view::npos) {
        std::string written(text);
        written[exponent] = 'E';
        add("exponents are written with E: write \"" + Shown(written) + "\"");
    }
    if (inTimeColumn && ClockTime(text)) {
        add("the time column holds seconds or milliseconds as numbers, not clock times: convert the clock times to "
            "seconds from the start, or to milliseconds under a unit of ms");
    }
    if (MissingSample(text)) {
        add("the reader takes no missing samples: an empty line at the gap, in place of its lines, ends one block "
            "and begins the next");
    }
    return advice;
}

[[noreturn]] void NotANumber(std::string_view field, int line, std::size_t index, bool inTimeColumn)
{
    // A byte that is no text is named, not written: a NUL would cut the message short.
    std::string shown;
    for (const char byte : Shown(field)) {
        shown += NoTextByte(byte) ? "\\x" + ByteNamed(byte).substr(2) : std::string(1, byte);
    }
    const auto noText = std::find_if(field.begin(), field.end(), NoTextByte);
    const std::string reason = "column " + std::to_string(index + 1) + ": not a number: \"" + shown + "\"" +
                               (noText != field.end() ? " (byte " + ByteNamed(*noText) + " is no text)" : "");
    const std::string advice = WhatToWrite(field, inTimeColumn);
    // Text, rather than a number beyond a float's range or one that is not finite.
    if (advice.empty() && !WrittenAsNumber(field)) {
        throw UnfitLine(line, reason);
    }
    throw RecordingError(line, reason + advice);
}

// Which line was taken as the header, for a message on a line that does not fit it.
std::string HeaderNamed(const Layout& layout)
{
    return " (the header is line " + std::to_string(layout.headerLine) + ": \"" + layout.headerText + "\")";
}

// Rethrows the error of a data line (called in its handler); for what the line holds, a reason that is plainer than
// the field it failed at, and on the first data line, the line taken as the header.
[[noreturn]] void RefuseLine(const RecordingError& error, std::string_view line, int lineNumber, const Layout& layout,
                             bool firstDataLine, LineReader& lines)
{
    if (line.starts_with('#') || line.starts_with('%')) {
        const std::string mark = line.starts_with('#') ? "\"#\", which only the header line may" : "\"%\", a comment";
        throw RecordingError(lineNumber, "the line begins with " + mark + ": comment lines are not passed over, and "
                                         "line " + std::to_string(layout.headerLine) + " (\"" + layout.headerText +
                                         "\") was taken as the header; delete them");
    }
    for (std::size_t at = line.find('\r'); at != std::string_view::npos; at = line.find('\r', at + 1)) {
        if (at + 1 < line.size() && line[at + 1] != ' ' && line[at + 1] != '\t' && line[at + 1] != '\r') {
            throw RecordingError(lineNumber, "the lines end in CR alone: convert the line ends to LF or CR LF");
        }
    }
    if (!firstDataLine) {
        throw;
    }
    // Column names separated by semicolons make one column, or are taken for data under a line "sep=;".
    const bool oneColumn = layout.columns.size() == 1 && !layout.timeColumn;
    if (oneColumn && SemicolonNames(layout.firstColumn) && line.find(';') != std::string_view::npos) {
        std::vector<std::string> after = {std::string(line)};
        for (std::string& next : NextLines(lines, kLinesLookedAt - 1)) {
            after.push_back(std::move(next));
        }
        RefuseSemicolons(layout.firstColumn, layout.headerLine, 0, after, lineNumber);
    }
    if (oneColumn && SeparatorHint(layout.headerText) && SemicolonNames(line)) {
        const std::string names(line);
        RefuseSemicolons(names, lineNumber, layout.headerLine, NextLines(lines, kLinesLookedAt), lineNumber + 1);
    }
    RefuseUnitsRow(line, lineNumber, layout);
    RefuseEmptyLastColumns(error, line, lineNumber, layout, lines);
    std::string reason = error.Reason();
    if (reason.find(HeaderNamed(layout)) == std::string::npos) {
        reason += HeaderNamed(layout);
    }
    if (dynamic_cast<const UnfitLine*>(&error)) {
        reason += WhatToDoWithText(line, layout);
    }
    if (SeparatorHint(layout.headerText)) {
        reason += "; line " + std::to_string(layout.headerLine) + ", \"" + layout.headerText + "\", is a "
                  "spreadsheet's hint of its separator: delete it";
    }
    throw RecordingError(error.Line(), error.Column(), reason);
}

// A step between time stamps in the time column's unit, with `digits` significant digits.
std::string TimeStep(double seconds, const Layout& layout, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*g %s", digits, seconds / layout.timeScale,
                  layout.timeScale == 1.0 ? "s" : "ms");
    return text;
}

// Steps that differ by one unit of the last digit written: times rounded to too few digits for the sample interval
// (30 kHz in ms to 4 decimals makes steps of 0.0333 and 0.0334).
std::string RoundedTimes(std::string_view written, double difference, const Layout& layout)
{
    if (written.find_first_of("eE") != std::string_view::npos) {
        return "";
    }
    const std::size_t point = written.find('.');
    const auto decimals = point == std::string_view::npos ? 0 : static_cast<int>(written.size() - point - 1);
    const double unit = std::pow(10.0, -decimals);
    if (!(std::fabs(std::fabs(difference) / layout.timeScale - unit) < 0.01 * unit)) {
        return "";
    }
    return ": the steps differ by one unit of the last digit written, so the times are rounded: write them with "
           "more digits";
}

// A block of one sample, at `line`: most often a sample that a blank line parts from its block, or one too many.
[[noreturn]] void OneSampleBlock(int line)
{
    throw RecordingError(line, "a block needs two samples to give its sample interval: delete the line, or join it to "
                               "the block before or after it by deleting the blank lines between them");
}

// A line that ends in separators, as some writers end every line, and without them holds `expected` fields.
bool EndsInSeparators(std::string_view line, char separator, std::size_t expected)
{
    const char marks[] = {separator, ' ', '\t', '\0'};
    const std::string_view kept = line.substr(0, line.find_last_not_of(marks) + 1);
    return static_cast<std::size_t>(std::count(kept.begin(), kept.end(), separator)) + 1 == expected;
}

void RefuseUnitInBrackets(std::string_view name, int channel)
{
    if (const auto bracketed = UnitInBrackets(name)) {
        throw RecordingError(0, "channel " + std::to_string(channel + 1) + ", \"" + Shown(name) + "\": its unit "
                                "stands in square brackets, which the reader does not take: write it in parentheses "
                                "in the header, as \"" + InParentheses(*bracketed) + "\"");
    }
}

} // namespace host::reading
