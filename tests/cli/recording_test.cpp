// Recordings from text files: what a good file gives, and the line and reason of every refusal.
#include "host/recording.h"
#include "tests/tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <random>
#include <sstream>
#include <unistd.h>

#include "../allocationcount.h"

namespace {

std::shared_ptr<host::Document> Read(const std::string& text)
{
    std::istringstream in(text);
    return host::ReadRecording(in);
}

TEST(Recording, ChannelsUnitsBlocksAndIntervals)
{
    const auto document = Read("\xEF\xBB\xBFTime (ms)\tVm (mV)\tStim\r\n"
                               "0\t-70\t0\r\n0.5\t-69.5\t5\r\n1.0\t1e1\t0\r\n"
                               "\r\n\n"
                               "0\t1\t2\n0.25\t3\t4\n");
    ASSERT_EQ(document->ChannelCount(), 2);
    EXPECT_EQ(document->ChannelName(0), u"Vm");
    EXPECT_EQ(document->ChannelUnit(0), u"mV");
    EXPECT_EQ(document->ChannelName(1), u"Stim");
    EXPECT_EQ(document->ChannelUnit(1), u"");
    ASSERT_EQ(document->BlockCount(), 2);
    EXPECT_DOUBLE_EQ(document->TickPeriod(0), 0.0005);
    EXPECT_DOUBLE_EQ(document->TickPeriod(1), 0.00025);
    const auto vm = document->Samples(0, 0);
    ASSERT_EQ(vm.size(), 3u);
    EXPECT_FLOAT_EQ(vm[1], -0.0695f); // mV kept as V
    EXPECT_FLOAT_EQ(vm[2], 0.01f);
    EXPECT_EQ(document->Samples(1, 1)[1], 4.0f);

    // Commas, no time column (one second per sample), a name in UTF-8.
    const auto plain = Read("Druck (kPa),\xC2\xB5V (\xC2\xB5V)\n1,2\n3,4\n");
    ASSERT_EQ(plain->ChannelCount(), 2);
    EXPECT_EQ(plain->ChannelName(1), u"\u00B5V");
    EXPECT_EQ(plain->ChannelUnit(1), u"\u00B5V");
    EXPECT_DOUBLE_EQ(plain->TickPeriod(0), 1.0);
    EXPECT_FLOAT_EQ(plain->Samples(0, 1)[1], 4e-6f);
    EXPECT_FLOAT_EQ(plain->Samples(0, 0)[1], 3000.0f);
}

// The host keeps samples in base units: each prefixed unit scales the file's numbers, and the unit text is kept as
// the user wrote it. Units whose rest is no base unit, and bare base units, keep their numbers.
TEST(Recording, PrefixedUnitsAreStoredInBaseUnits)
{
    const struct {
        const char* unit;
        double factor;
    } cases[] = {
        {"mV", 1e-3}, {"\xC2\xB5V", 1e-6}, {"uV", 1e-6}, {"nA", 1e-9}, {"pA", 1e-12}, {"fA", 1e-15},
        {"kPa", 1e3}, {"MOhm", 1e6}, {"GOhm", 1e9}, {"mmol", 1e-3}, {"mm", 1e-3}, {"ms", 1e-3},
        {"V", 1.0}, {"mmHg", 1.0}, {"m", 1.0}, {"%", 1.0}, {"", 1.0}, {"mX", 1.0}, {"xV", 1.0},
    };
    for (const auto& c : cases) {
        const std::string header = std::string("Ch") + (*c.unit ? std::string(" (") + c.unit + ")" : "");
        const auto document = Read(header + "\n-12.5\n0.25\n");
        std::string shown;
        for (const char16_t unit : document->ChannelUnit(0)) {
            shown += unit == u'\u00B5' ? std::string("\xC2\xB5") : std::string(1, static_cast<char>(unit));
        }
        EXPECT_EQ(shown, c.unit);
        const auto samples = document->Samples(0, 0);
        ASSERT_EQ(samples.size(), 2u);
        EXPECT_FLOAT_EQ(samples[0], static_cast<float>(-12.5 * c.factor)) << c.unit;
        EXPECT_FLOAT_EQ(samples[1], static_cast<float>(0.25 * c.factor)) << c.unit;
    }
}

TEST(Recording, RefusesBadFilesWithTheLine)
{
    const struct {
        const char* text;
        int line;
        const char* message;
    } cases[] = {
        {"", 0, "no header"},
        {"\n\n", 0, "no header"},
        {"Vm (mV)\n", 0, "no samples"},
        {"Vm (mV)\n\n\n", 0, "no samples"},
        {"Vm (mV\n1\n", 1, "parentheses"},
        {"Vm (mV) x\n1\n", 1, "parentheses"},
        {"Vm\t(mV)\n1\t2\n", 1, "column 2 has no name"},
        {"Time (s)\n0\n", 1, "names no channel"},
        {"Time (h)\tVm\n0\t1\n", 1, "s or ms"},
        {"Vm\tI\n1\t2\n3\n", 3, "1 value where the header names 2 columns"},
        {"Vm\tI\n1\t2\n3\t4\t5\n", 3, "3 values"},
        {"Vm\n1\nx1\n", 3, "column 1: not a number: \"x1\""},
        {"Vm\n1\n1,5\n", 3, "2 values where the header names 1 column"},
        {"Vm\tI\n1\t\n", 2, "column 2, \"I\", is empty: delete its name"},
        {"Vm\tI\n1\t\n3\t4\n", 2, "column 2: not a number: \"\""},
        {"Vm\n0x10\n", 2, "not a number"},
        {"Time (s)\tVm\n0\t1\n0\t2\n", 3, "increase"},
        {"Time (s)\tVm\n0\t1\n0.1\t2\n0.2\t2\n0.15\t3\n", 5, "the time must increase from line to line"},
        {"Time (s)\tVm\n0\t1\n0.1\t2\n0.2\t2\n0\t3\n", 5, "the time goes back to the first time of the block"},
        {"Time (s)\tVm\n0\t1\n0.1\t2\n0.3\t3\n", 4, "evenly spaced"},
        {"Time (s)\tVm\n0\t1\n0.1\t2\n\n5\t3\n", 5, "two samples"},
        {"Time (s)\tVm\nnan\t1\n", 2, "finite"},
        // Samples that are no finite float as the host stores them.
        {"Time (s)\tVm\n0\t1\n1\tinf\n", 3, "column 2: not a number: \"inf\""},
        {"Vm\tI\n1\t2\n-inf\t3\n", 3, "column 1: not a number: \"-inf\""},
        {"Vm\tI\n1\t2\n3\t +NaN \n", 3, "column 2: not a number: \"+NaN\""},
        {"Vm\n1e39\n", 2, "column 1: not a number: \"1e39\""},
        {"Vm (kV)\n1e36\n", 2, "column 1: not a number: \"1e36\""},
    };
    for (const auto& c : cases) {
        try {
            Read(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const host::RecordingError& error) {
            EXPECT_EQ(error.Line(), c.line) << c.text << ": " << error.what();
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << c.text << ": " << error.what();
            if (c.line > 0) {
                EXPECT_EQ(std::string(error.what()).rfind("line " + std::to_string(c.line) + ": ", 0), 0u);
            }
        }
    }
    EXPECT_THROW(host::ReadRecordingFile("/no/such/recording.txt"), host::RecordingError);
}

} // namespace

namespace {

// The outcome of a read as text: every channel, block, interval and sample bit for bit, or the error.
std::string Outcome(const std::function<std::shared_ptr<host::Document>()>& read)
{
    std::ostringstream out;
    try {
        const auto document = read();
        out << document->ChannelCount() << " channels, " << document->BlockCount() << " blocks\n";
        for (int block = 0; block < document->BlockCount(); ++block) {
            out << std::hexfloat << document->TickPeriod(block) << ':';
            for (int channel = 0; channel < document->ChannelCount(); ++channel) {
                for (const float sample : document->Samples(block, channel)) {
                    out << ' ' << sample;
                }
                out << " |";
            }
            out << '\n';
        }
    } catch (const host::RecordingError& error) {
        out << "error at " << error.Line() << ": " << error.what();
    }
    return out.str();
}

// A recording as people write them, with now and then a line that breaks a rule.
std::string RandomRecording(std::mt19937& random, bool faults)
{
    auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(random) < p; };
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    const bool time = chance(0.7);
    const char separator = chance(0.7) ? '\t' : ',';
    const int channels = 1 + pick(3);
    const char* const end = chance(0.3) ? "\r\n" : "\n";
    std::string text = chance(0.1) ? "\xEF\xBB\xBF" : "";
    text += chance(0.2) ? std::string("  ") + end : "";
    text += time ? (chance(0.5) ? "Time (ms)" : "t") : "";
    for (int channel = 0; channel < channels; ++channel) {
        text += (time || channel > 0) ? std::string(1, separator) : std::string();
        text += channel == 0 ? "Vm (mV)" : channel == 1 ? "I (pA)" : "Stim";
    }
    text += end;
    std::normal_distribution<double> noise(0.0, 1.0);
    const int blocks = 1 + pick(4);
    for (int block = 0; block < blocks; ++block) {
        const int lines = 1 + pick(chance(0.3) ? 3 : 60);
        const double start = pick(100) * 0.5;
        const double step = 0.1 * (1 + pick(3));
        double level = noise(random) * 50;
        for (int line = 0; line < lines; ++line) {
            std::string row = chance(0.05) ? " " : "";
            if (time) {
                double t = start + step * line + (chance(0.1) ? step * 2e-4 * noise(random) : 0.0);
                if (faults && chance(0.01)) {
                    t += step * (chance(0.5) ? 0.5 : -1.5);
                }
                char number[64];
                std::snprintf(number, sizeof number, "%.*g", 6 + pick(10), t);
                row += number;
            }
            for (int channel = 0; channel < channels; ++channel) {
                if (time || channel > 0) {
                    row += chance(0.05) ? std::string(" ") + separator + "  " : std::string(1, separator);
                }
                level = level * 0.95 + noise(random) * 3;
                char number[64];
                switch (pick(8)) {
                case 0: std::snprintf(number, sizeof number, "%.3e", level); break;
                case 1: std::snprintf(number, sizeof number, "+%.2f", level); break;
                case 2: std::snprintf(number, sizeof number, "%d", static_cast<int>(level)); break;
                default: std::snprintf(number, sizeof number, "%.*f", pick(8), level); break;
                }
                row += number;
                if (faults && chance(0.004)) {
                    static const char* const bad[] = {"inf", "-inf", "nan", "1e39", "x", "", "1e400", "0x1", "--1",
                                                      "1.5.5", "1e"};
                    row += std::string(1, separator) + bad[pick(11)];
                    if (chance(0.5)) {
                        row.erase(row.rfind(separator), std::string::npos);
                        row += std::string(1, separator) + bad[pick(11)];
                    }
                }
            }
            row += chance(0.03) ? " \r" : "";
            text += row + end;
        }
        text += chance(0.2) ? std::string(" ") + end + end : std::string(end);
    }
    if (chance(0.3)) {
        text.resize(text.size() - std::strlen(end)); // the last line without its line feed
    }
    return text;
}

// Read in pieces of any size on several threads, a recording gives what reading it line by line gives: the same
// samples and intervals bit for bit, or the same first error with its line.
TEST(Recording, PiecesAgreeWithLineByLine)
{
    std::mt19937 random(20261207);
    int refused = 0;
    for (int round = 0; round < 300; ++round) {
        const std::string text = RandomRecording(random, round % 2 == 1);
        const std::string expected = Outcome([&] { return host::ReadRecordingLineByLine(text); });
        refused += expected.starts_with("error");
        for (const std::size_t pieceBytes : {std::size_t{1}, std::size_t{7}, std::size_t{64}, std::size_t{1000},
                                             std::size_t{1} << 20}) {
            SCOPED_TRACE(text);
            ASSERT_EQ(Outcome([&] { return host::ReadRecordingText(text, pieceBytes, 4); }), expected)
                << "pieces of " << pieceBytes;
        }
        std::istringstream in(text);
        ASSERT_EQ(Outcome([&] { return host::ReadRecording(in); }), expected);
        // As its bytes arrive, a few at a time, in pieces of any size.
        for (const auto& [arrival, pieceBytes] : {std::pair<std::size_t, std::size_t>{1, 1}, {3, 7}, {64, 1000},
                                                 {1 << 16, 64}}) {
            SCOPED_TRACE(text);
            std::istringstream arriving(text);
            ASSERT_EQ(Outcome([&] { return host::ReadRecordingStream(arriving, arrival, pieceBytes, 2); }), expected)
                << arrival << " bytes at a time, pieces of " << pieceBytes;
        }
        if (round % 10 == 0) {
            // From a file, read in pieces of its own.
            const testutil::TempFolder folder;
            const std::string path = folder.Write("pieces.txt", text);
            ASSERT_EQ(Outcome([&] { return host::ReadRecordingFile(path); }), expected);
        }
    }
    // Both kinds were tried.
    EXPECT_GT(refused, 30);
    EXPECT_LT(refused, 270);
}

// Only the first two time stamps, the last and the count decide a block's interval: (last - first) / (count - 1),
// as with every time stamp kept; steps that wander within a thousandth of the first pass.
TEST(Recording, IntervalComesFromTheFirstAndLastTimeStamp)
{
    const double times[] = {0.0, 0.1, 0.20005, 0.3, 0.39996, 0.50004};
    std::string text = "Time (s)\tVm\n";
    for (const double t : times) {
        char line[64];
        std::snprintf(line, sizeof line, "%.17g\t1\n", t);
        text += line;
    }
    const auto document = Read(text);
    EXPECT_EQ(document->TickPeriod(0), (times[5] - times[0]) / 5.0);
    // A file of a million lines in one block is read in pieces; its interval is the same.
    std::string big = "Time (ms)\tVm (mV)\n";
    for (int i = 0; i < 1000000; ++i) {
        big += std::to_string(i * 0.1) + "\t-70\n";
    }
    allocated = 0;
    counting = true;
    const auto large = host::ReadRecordingText(big, 1 << 16, 4);
    counting = false;
    // What stays is the samples, 4 bytes each; the time stamps are not kept (they took 8 bytes each, and more as
    // their list grew), and the pieces' own samples live in pages of their own.
    EXPECT_LT(allocated.load(), 1000000u * 4 + (1u << 20));
    ASSERT_EQ(large->BlockCount(), 1);
    EXPECT_EQ(large->Samples(0, 0).size(), 1000000u);
    EXPECT_EQ(large->TickPeriod(0), (std::stod(std::to_string(999999 * 0.1)) * 0.001 - 0.0) / 999999.0);
}

// Every number is read as from_chars reads it, bit for bit, by the reader in pieces and line by line alike: plain
// decimals of every length around the point, with and without signs, leading zeros and exponents. A block of two
// time stamps, 0 and the number (or the number and 0), has the number as its interval; the sample is its float.
TEST(Recording, NumbersAreReadAsFromCharsReadsThem)
{
    std::vector<std::string> numbers = {
        "0.1", "0.0001", "1234567.1234567", "12345678.12345678", "1234567890123456789", "12345678901234567890",
        "9007199254740992", "9007199254740993", "900719925474099.3", "90071992547409.93", ".5", "5.", "-.25", "+7",
        "00000000000000000001.5", "0.0000000000000000000001", "0.00000000000000000000001", "1e22", "1E-5", "2.5e+3",
        "1e", "3.e2", "17976931348623157e292", "4.9e-324", "-0.00390625", "0.30000000000000004", "99999999",
        "9999999.9999999", "-80.12", "3999.9999"};
    std::mt19937 random(46);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    for (int i = 0; i < 3000; ++i) {
        std::string number = pick(3) == 0 ? "-" : pick(10) == 0 ? "+" : "";
        const int whole = pick(4) == 0 ? pick(22) : pick(6);
        for (int d = 0; d < whole; ++d) {
            number += static_cast<char>('0' + (d == 0 && pick(4) != 0 ? 1 + pick(9) : pick(10)));
        }
        if (pick(5) != 0) {
            number += '.';
            const int fraction = pick(4) == 0 ? pick(26) : pick(9);
            for (int d = 0; d < fraction; ++d) {
                number += static_cast<char>('0' + pick(10));
            }
        }
        if (pick(10) == 0) {
            number += (pick(2) ? "e" : "E") + std::string(pick(2) ? "-" : "") + std::to_string(pick(30));
        }
        numbers.push_back(number);
    }
    const std::string padding(24, ' ');
    int checked = 0;
    for (const std::string& number : numbers) {
        const std::string_view digits = number.starts_with('+') ? std::string_view(number).substr(1) : number;
        double value = 0.0;
        const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (parsed.ec != std::errc{} || parsed.ptr != digits.data() + digits.size() || !std::isfinite(value) ||
            value == 0.0) {
            continue;
        }
        const bool sample = std::fabs(value) < 1e30 && std::fabs(value) > 1e-30;
        const std::string shown = sample ? number : "1";
        const std::string text = "Time (s)\tVm\n" +
                                 (value > 0 ? "0\t1" + padding + "\n" + number + "\t" + shown + padding + "\n"
                                            : number + "\t" + shown + padding + "\n0\t1" + padding + "\n");
        for (const bool pieces : {true, false}) {
            SCOPED_TRACE(text);
            const auto document = pieces ? host::ReadRecordingText(text, 1 << 20, 1) : host::ReadRecordingLineByLine(text);
            ASSERT_EQ(document->TickPeriod(0), std::fabs(value)) << number;
            if (sample) {
                EXPECT_EQ(document->Samples(0, 0)[value > 0 ? 1 : 0], static_cast<float>(value)) << number;
            }
        }
        ++checked;
    }
    EXPECT_GT(checked, 2000);
}

// A line longer than the longest a recording may have is refused with its number, before it is read on: a header,
// a row, a blank line, or text without any line feed. Pieces of every size agree, from text in memory and as the text
// arrives.
TEST(Recording, ALineLongerThanTheLongestIsRefusedWithItsNumber)
{
    constexpr std::uint64_t kLongest = 64;
    const std::string longRow(kLongest + 1, '1');
    const struct {
        std::string text;
        int line;
    } cases[] = {
        {"Vm (mV)" + std::string(kLongest, ' ') + "\n1\n", 1},
        {"Vm\n1\n" + longRow + "\n2\n", 3},
        {"Vm\n1\n" + std::string(kLongest + 1, ' ') + "\n2\n", 3},
        {"Vm\n1\n2\n" + longRow, 4},
        {std::string(1000, 'V'), 1},
    };
    for (const auto& c : cases) {
        for (const std::size_t pieceBytes : {std::size_t{1}, std::size_t{7}, std::size_t{100}, std::size_t{1} << 20}) {
            SCOPED_TRACE(c.text);
            for (const bool arriving : {false, true}) {
                try {
                    std::istringstream in(c.text);
                    arriving ? host::ReadRecordingStream(in, 5, pieceBytes, 4, kLongest)
                             : host::ReadRecordingText(c.text, pieceBytes, 4, kLongest);
                    ADD_FAILURE() << "accepted, pieces of " << pieceBytes;
                } catch (const host::RecordingError& error) {
                    EXPECT_EQ(error.Line(), c.line);
                    EXPECT_NE(std::string(error.what()).find("no line feed in the first 64 bytes of the line"),
                              std::string::npos)
                        << error.what();
                }
            }
        }
    }
    // A line of the longest length is read.
    const auto document = host::ReadRecordingText("Vm\n" + std::string(kLongest - 1, '0') + "1\n", 7, 4, kLongest);
    EXPECT_EQ(document->Samples(0, 0)[0], 1.0f);
}

// The start of a recording is judged as its bytes arrive, and comes to the verdict it comes to whole: the first byte
// that is no text is named with its line before the line ends in CR alone is told, and UTF-16 and UTF-32 text are told
// as such.
TEST(Recording, TheStartIsJudgedAlikeHoweverItArrives)
{
    const struct {
        std::string text;
        const char* error;
    } cases[] = {
        {"Time\r(s)\tVm\n0\t1\n\x06", "it is not a text recording (byte 0x06 on line 3)"},
        {"Time\r(s)\tVm\n0\t1\n", "line 1: the lines end in CR alone: convert the line ends to LF or CR LF"},
        {std::string("V\0m\0\n\0\x31\0\n\0", 10),
         "the file is UTF-16 text (every other byte is NUL): save it as UTF-8"},
        {std::string("\xFF\xFE\0\0V\0\0\0\n\0\0\0", 12),
         "the file is UTF-32 text (it begins with a UTF-32 byte-order mark): save it as UTF-8"},
        {std::string("Vm\n1\0\n", 6), "it is not a text recording (byte 0x00 on line 2)"},
        {"\xEF\xBB\xBF\x7FVm\n1\n", "it is not a text recording (byte 0x7F on line 1)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Outcome([&] { return host::ReadRecordingLineByLine(c.text); }), Outcome([&] {
                      std::istringstream in(c.text);
                      return host::ReadRecording(in);
                  }));
        for (const std::size_t arrival : {1, 2, 3, 5}) {
            std::istringstream in(c.text);
            try {
                host::ReadRecordingStream(in, arrival, 1);
                ADD_FAILURE() << "read";
            } catch (const host::RecordingError& error) {
                EXPECT_EQ(std::string(error.what()), c.error) << arrival << " bytes at a time";
            }
        }
    }
}

// A recording that arrives is read as it arrives: what the reader asks of the memory beside the samples stays far below
// the recording's bytes, where reading it whole first took them twice over. A line longer than the lines read at once
// is read to its end as it arrives, and the lines after it as they arrive, however many bytes follow it. The samples
// are those of the file.
TEST(Recording, AStreamIsReadAsItArrives)
{
    const struct {
        int samples;
        std::size_t blanks; // after the samples of the line in the middle
        std::size_t arrival; // bytes at a time and pieces of about pieceBytes on two threads; 0: as ReadRecording does
        std::size_t pieceBytes;
        std::uint64_t longestLine;
    } cases[] = {
        {3'000'000, 0, 0, 0, host::kLongestRecordingLine},
        {300'000, 30'000, 4096, 4096, 1 << 16}, // a line longer than the two pieces read at once
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.blanks);
        std::string text = "Time (s)\tVm (mV)\n";
        char number[32];
        for (int i = 0; i < c.samples; ++i) {
            text.append(number, std::to_chars(number, number + 32, i * 1e-4, std::chars_format::fixed, 4).ptr);
            text += '\t';
            const double sample = -80.0 + (i % 977) * 0.11;
            text.append(number, std::to_chars(number, number + 32, sample, std::chars_format::fixed, 2).ptr);
            text += i == c.samples / 2 ? std::string(c.blanks, ' ') + '\n' : "\n";
        }
        std::istringstream in(text);
        allocated = 0;
        counting = true;
        const auto document = c.arrival ? host::ReadRecordingStream(in, c.arrival, c.pieceBytes, 2, c.longestLine)
                                        : host::ReadRecording(in);
        counting = false;
        const auto samples = document->Samples(0, 0);
        ASSERT_EQ(samples.size(), static_cast<std::size_t>(c.samples));
        EXPECT_EQ(samples[1000], static_cast<float>((-80.0 + 23 * 0.11) * 1e-3));
        const auto file = host::ReadRecordingText(text, 1 << 20);
        EXPECT_TRUE(std::ranges::equal(samples, file->Samples(0, 0)));
        EXPECT_EQ(document->TickPeriod(0), file->TickPeriod(0));
        EXPECT_LT(allocated, text.size() / 2) << text.size() << " bytes";
    }
}

// The resident memory a read adds at its peak, in bytes (Linux's /proc).
long long PeakResidentAdded(const std::function<void()>& read)
{
    auto field = [](const std::string& name) {
        std::ifstream status("/proc/self/status");
        std::string key;
        long long kilobytes = 0;
        while (status >> key && key != name) {
            status.ignore(1 << 20, '\n');
        }
        status >> kilobytes;
        return kilobytes * 1024;
    };
    ::malloc_trim(0); // memory the allocator kept from before would take what the read asks, unseen
    std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts again from what is resident now
    const long long before = field("VmRSS:");
    read();
    return field("VmHWM:") - before;
}

// A recording takes little memory beside its samples whatever its shape, from text in memory and as it arrives: many
// columns and few lines, where each column of each piece of its text took pages of its own, and one channel of many
// lines, whose pieces are given back as their samples move into the recording.
TEST(Recording, ARecordingTakesTheMemoryOfItsSamples)
{
    const struct {
        int channels;
        int lines;
        std::size_t pieceBytes; // read in pieces of about these bytes, on two threads
        double most;            // the memory a read adds at most, in samples' bytes,
        long long beside;       // and beside them
    } cases[] = {
        {20'000, 40, 1 << 20, 4.0, 16 << 20},
        {1, 4'000'000, 1 << 18, 1.5, 2 << 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channels);
        std::string text = "Time (s)";
        for (int channel = 1; channel <= c.channels; ++channel) {
            text += "\tc" + std::to_string(channel) + " (mV)";
        }
        for (int line = 0; line < c.lines; ++line) {
            text += "\n" + std::to_string(line);
            for (int channel = 1; channel <= c.channels; ++channel) {
                text += (line + channel) % 3 ? "\t1.5" : "\t-0.73";
            }
        }
        const double sampleBytes = 4.0 * c.channels * c.lines;
        for (const bool arriving : {false, true}) {
            SCOPED_TRACE(arriving ? "arriving" : "in memory");
            std::istringstream in(text);
            std::shared_ptr<host::Document> document;
            const long long added = PeakResidentAdded([&] {
                document = arriving ? host::ReadRecordingStream(in, 1 << 16, c.pieceBytes, 2)
                                    : host::ReadRecordingText(text, c.pieceBytes, 2);
            });
            ASSERT_EQ(document->ChannelCount(), c.channels);
            EXPECT_EQ(document->Samples(0, c.channels - 1)[c.lines - 1],
                      static_cast<float>(((c.lines - 1 + c.channels) % 3 ? 1.5 : -0.73) * 1e-3));
            EXPECT_LT(static_cast<double>(added), c.most * sampleBytes + static_cast<double>(c.beside));
        }
    }
}

// A signal written across a row makes a first line of millions of fields: it is refused once it names more columns
// than a recording can have, before the rest of the line is read, and in little memory.
TEST(Recording, AHeaderOfMoreThanAMillionColumnsIsRefusedBeforeItsEnd)
{
    std::string row;
    for (int i = 0; i < 8'000'000; ++i) {
        row += i % 2 ? "1.5\t" : "-2\t";
    }
    row += "3\n";
    for (const bool arriving : {true, false}) {
        std::istringstream in(row);
        allocated = 0;
        counting = true;
        try {
            arriving ? host::ReadRecording(in) : host::ReadRecordingText(row, 1 << 20);
            ADD_FAILURE() << "read";
        } catch (const host::RecordingError& error) {
            EXPECT_EQ(std::string(error.what()), "line 1: more than 1,000,000 columns: the samples may run across a "
                                                 "row instead of down a column (a recording has a column for each "
                                                 "channel and a line for each sample)");
        }
        counting = false;
        EXPECT_LT(allocated, std::size_t{32} << 20) << "of a line of " << row.size() << " bytes";
    }
    // A million columns are a header.
    std::string million = "Time (s)";
    for (int i = 1; i < 1'000'000; ++i) {
        million += "\tc";
    }
    EXPECT_THROW(
        {
            try {
                host::ReadRecordingText(million + "\n", 1 << 20);
            } catch (const host::RecordingError& error) {
                EXPECT_EQ(std::string(error.what()), "the file holds no samples");
                throw;
            }
        },
        host::RecordingError);
}

// A block's interval is its span over its count: time stamps that span more than the largest double give no
// interval, and a document saved with one could not be opened again. The reader in pieces agrees, from text in memory
// and as the text arrives.
TEST(Recording, ABlockWhoseTimeStampsSpanNoFiniteTimeIsRefused)
{
    const struct {
        const char* text;
        int line; // 0: read
    } cases[] = {
        {"Time (s)\tVm\n-1.7e308\t1\n1.7e308\t2\n", 3},
        {"Time (s)\tVm\n0\t1\n1\t1\n\n-0.9e308\t1\n-0.3e308\t2\n0.3e308\t3\n0.9e308\t4\n", 8},
        {"Time (ms)\tVm\n-1.7e308\t1\n1.7e308\t2\n", 0}, // in seconds a thousandth of that
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        for (const std::size_t pieceBytes : {std::size_t{1}, std::size_t{7}, std::size_t{1} << 20}) {
            for (const bool arriving : {false, true}) {
                try {
                    std::istringstream in(c.text);
                    const auto document = arriving ? host::ReadRecordingStream(in, 3, pieceBytes, 4)
                                                   : host::ReadRecordingText(c.text, pieceBytes, 4);
                    EXPECT_EQ(c.line, 0);
                    EXPECT_TRUE(std::isfinite(document->TickPeriod(document->BlockCount() - 1)));
                } catch (const host::RecordingError& error) {
                    EXPECT_EQ(error.Line(), c.line);
                    EXPECT_NE(std::string(error.what()).find("span more than the largest number"), std::string::npos)
                        << error.what();
                }
            }
        }
    }
}

// A spreadsheet's empty rows, separators alone, are passed over below the data as blank lines are: the recording is
// the one without them. Between data the first of them is refused with its line. Pieces of every size, from text in
// memory and as the text arrives, give what reading line by line gives.
TEST(Recording, RowsOfSeparatorsAlonePassBelowTheDataOnly)
{
    const std::string tabs = "Time (s)\tVm (mV)\tI (pA)\n0\t1\t2\n0.001\t3\t4\n\n0\t5\t6\n0.001\t7\t8\n";
    const std::string commas = "Vm (mV),I (pA)\n1,2\n3,4\n";
    const struct {
        std::string text;
        std::string without; // the recording without those rows; empty: refused
        int line = 0;         // of the refusal
    } cases[] = {
        {tabs + "\t\t\n", tabs},
        {tabs + "\t\t\n\n \t \t \r\n\t\n", tabs},
        {commas + ",\n , \r\n\n,,,\n", commas},
        {commas + ",", commas}, // the last line without its line feed
        {tabs + "\t\t\n0\t9\t9\n0.001\t9\t9\n", "", 7},
        {commas + ",\n\n5,6\n", "", 4},
        {"Vm (mV),I (pA)\n,\n1,2\n3,4\n", "", 2},
        {commas + ",\n" + std::string(40, '\n') + ",\n5,6\n", "", 4}, // in another piece than the row
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string expected = c.without.empty()
                                         ? "error at " + std::to_string(c.line) + ": line " + std::to_string(c.line) +
                                               ": the line holds only separators: an empty line ends one block and "
                                               "begins the next, so delete the line or make it empty"
                                         : Outcome([&] { return host::ReadRecordingLineByLine(c.without); });
        EXPECT_EQ(Outcome([&] { return host::ReadRecordingLineByLine(c.text); }), expected);
        for (const std::size_t pieceBytes : {std::size_t{1}, std::size_t{7}, std::size_t{64}, std::size_t{1} << 20}) {
            EXPECT_EQ(Outcome([&] { return host::ReadRecordingText(c.text, pieceBytes, 4); }), expected)
                << "pieces of " << pieceBytes;
        }
        for (const auto& [arrival, pieceBytes] : {std::pair<std::size_t, std::size_t>{1, 1}, {3, 7}, {64, 1000}}) {
            std::istringstream arriving(c.text);
            EXPECT_EQ(Outcome([&] { return host::ReadRecordingStream(arriving, arrival, pieceBytes, 2); }), expected)
                << arrival << " bytes at a time, pieces of " << pieceBytes;
        }
    }
}

// A number nearer zero than the smallest double is read as the nearest double, zero, as a sample and as a time
// stamp; one beyond the largest is still no number a recording can hold. Line by line and in pieces alike.
TEST(Recording, NumbersBelowTheSmallestDoubleAreReadAsZero)
{
    const std::string zeros(400, '0');
    for (const std::string& tiny : {std::string("1e-330"), std::string("-2.4e-324"), "0." + zeros + "1",
                                    std::string("12.5e-99999999999999999999"), std::string("+0.5E-330")}) {
        SCOPED_TRACE(tiny);
        const std::string text = "Time (s)\tVm (mV)\n" + tiny + "\t" + tiny + "\n1\t1\n";
        for (const bool pieces : {true, false}) {
            const auto document = pieces ? host::ReadRecordingText(text, 7, 4) : host::ReadRecordingLineByLine(text);
            EXPECT_EQ(document->Samples(0, 0)[0], 0.0f);
            EXPECT_EQ(document->TickPeriod(0), 1.0);
        }
    }
    try {
        Read("Vm\n1e400\n");
        ADD_FAILURE() << "1e400 accepted";
    } catch (const host::RecordingError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "line 2: column 1: not a number: \"1e400\" (the header is line 1: \"Vm\")");
    }
}

} // namespace
