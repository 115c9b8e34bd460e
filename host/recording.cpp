#include "host/recording.h"

#include "host/units.h"
#include "platform/win/codepage.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

namespace host {

namespace {

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

struct Column {
    std::u16string name;
    std::u16string unit;
    double toBase = 1.0; // the host keeps samples in base units: a file's mV are stored as V
};

Column ReadColumn(std::string_view field, int line, std::size_t index)
{
    Column column;
    std::string_view name = field;
    if (const std::size_t open = field.find('('); open != std::string_view::npos) {
        const std::size_t close = field.find(')', open);
        if (close == std::string_view::npos || !Trim(field.substr(close + 1)).empty()) {
            throw RecordingError(line, "column " + std::to_string(index + 1) +
                                           ": the unit must stand in parentheses after the name");
        }
        column.unit = platform::Utf8ToUtf16(Trim(field.substr(open + 1, close - open - 1)));
        column.toBase = SplitUnit(column.unit).toBase;
        name = Trim(field.substr(0, open));
    }
    if (name.empty()) {
        throw RecordingError(line, "column " + std::to_string(index + 1) + " has no name");
    }
    column.name = platform::Utf8ToUtf16(name);
    return column;
}

double ReadNumber(std::string_view field, int line, std::size_t index)
{
    double value = 0.0;
    const char* begin = field.data() + (!field.empty() && field.front() == '+' ? 1 : 0);
    const char* end = field.data() + field.size();
    const auto parsed = std::from_chars(begin, end, value);
    if (field.empty() || parsed.ec != std::errc{} || parsed.ptr != end) {
        const std::string shown = field.size() > 40 ? std::string(field.substr(0, 40)) + "..." : std::string(field);
        throw RecordingError(line, "column " + std::to_string(index + 1) + ": not a number: \"" + shown + "\"");
    }
    return value;
}

struct Block {
    int firstLine = 0;
    std::vector<double> times;
    std::vector<std::vector<float>> channels;
};

} // namespace

RecordingError::RecordingError(int line, const std::string& message)
    : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + message : message), line_(line)
{
}

std::shared_ptr<Document> ReadRecording(std::istream& in)
{
    std::string text;
    int lineNumber = 0;
    std::optional<std::vector<Column>> columns;
    char separator = '\t';
    bool timeColumn = false;
    double timeScale = 1.0;
    std::vector<Block> blocks;
    bool inBlock = false;

    while (std::getline(in, text)) {
        ++lineNumber;
        std::string_view line = text;
        if (lineNumber == 1 && line.starts_with("\xEF\xBB\xBF")) {
            line.remove_prefix(3); // a byte-order mark
        }
        // Only blanks and line ends: a trailing tab separates an empty last value.
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        while (!line.empty() && line.front() == ' ') {
            line.remove_prefix(1);
        }
        if (!columns) {
            if (line.empty()) {
                continue;
            }
            separator = line.find('\t') != std::string_view::npos ? '\t' : ',';
            std::vector<Column> header;
            const auto fields = Split(line, separator);
            for (std::size_t i = 0; i < fields.size(); ++i) {
                header.push_back(ReadColumn(fields[i], lineNumber, i));
            }
            const std::u16string first = platform::AsciiLower(header.front().name);
            if (first == u"time" || first == u"t") {
                const std::u16string& unit = header.front().unit;
                if (unit == u"s" || unit.empty()) {
                    timeScale = 1.0;
                } else if (unit == u"ms") {
                    timeScale = 0.001;
                } else {
                    throw RecordingError(lineNumber, "the time column must be in s or ms");
                }
                timeColumn = true;
                header.erase(header.begin());
            }
            if (header.empty()) {
                throw RecordingError(lineNumber, "the header names no channel");
            }
            columns = std::move(header);
            continue;
        }
        if (line.empty()) {
            inBlock = false;
            continue;
        }
        if (!inBlock) {
            Block block;
            block.firstLine = lineNumber;
            block.channels.resize(columns->size());
            blocks.push_back(std::move(block));
            inBlock = true;
        }
        const auto fields = Split(line, separator);
        const std::size_t expected = columns->size() + (timeColumn ? 1 : 0);
        if (fields.size() != expected) {
            throw RecordingError(lineNumber, std::to_string(fields.size()) + (fields.size() == 1 ? " value" : " values") +
                                                 " where the header names " + std::to_string(expected) +
                                                 (expected == 1 ? " column" : " columns"));
        }
        Block& block = blocks.back();
        std::size_t field = 0;
        if (timeColumn) {
            const double time = ReadNumber(fields[field++], lineNumber, 0) * timeScale;
            if (!std::isfinite(time)) {
                throw RecordingError(lineNumber, "the time must be a finite number");
            }
            if (!block.times.empty()) {
                const double interval = time - block.times.back();
                const double first = block.times.size() >= 2 ? block.times[1] - block.times[0] : interval;
                if (!(interval > 0.0)) {
                    throw RecordingError(lineNumber, "the time must increase from line to line");
                }
                if (std::fabs(interval - first) > 1e-3 * first) {
                    throw RecordingError(lineNumber, "the samples of a block must be evenly spaced in time");
                }
            }
            block.times.push_back(time);
        }
        for (std::size_t channel = 0; channel < columns->size(); ++channel, ++field) {
            const double value = ReadNumber(fields[field], lineNumber, field) * (*columns)[channel].toBase;
            block.channels[channel].push_back(static_cast<float>(value));
        }
    }
    if (in.bad()) {
        throw RecordingError(lineNumber, "the file could not be read to its end");
    }
    if (!columns) {
        throw RecordingError(0, "the file holds no header line");
    }
    if (blocks.empty()) {
        throw RecordingError(0, "the file holds no samples");
    }

    auto document = Document::Create();
    for (const Column& column : *columns) {
        document->AddChannel(column.name, column.unit);
    }
    for (Block& block : blocks) {
        double interval = 1.0;
        if (timeColumn) {
            if (block.times.size() < 2) {
                throw RecordingError(block.firstLine, "a block needs two samples to give its sample interval");
            }
            interval = (block.times.back() - block.times.front()) / static_cast<double>(block.times.size() - 1);
        }
        const int index = document->AddBlock(interval);
        for (std::size_t channel = 0; channel < block.channels.size(); ++channel) {
            document->SetSamples(index, static_cast<int>(channel), std::move(block.channels[channel]));
        }
    }
    return document;
}

std::shared_ptr<Document> ReadRecordingFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw RecordingError(0, "cannot open " + path);
    }
    return ReadRecording(in);
}

} // namespace host
