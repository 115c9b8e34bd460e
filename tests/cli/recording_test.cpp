// Recordings from text files: what a good file gives, and the line and reason of every refusal.
#include "host/recording.h"

#include <gtest/gtest.h>

#include <sstream>

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
        {"Vm\tI\n1\t\n", 2, "column 2: not a number: \"\""},
        {"Vm\n0x10\n", 2, "not a number"},
        {"Time (s)\tVm\n0\t1\n0\t2\n", 3, "increase"},
        {"Time (s)\tVm\n0\t1\n0.1\t2\n0.3\t3\n", 4, "evenly spaced"},
        {"Time (s)\tVm\n0\t1\n0.1\t2\n\n5\t3\n", 5, "two samples"},
        {"Time (s)\tVm\nnan\t1\n", 2, "finite"},
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
