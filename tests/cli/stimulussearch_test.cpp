// The stimulus search of the evoked types as the command line reports it: a block in which it found no stimulus
// gives no row, and a warning says how many blocks had none, with the settings that decided the search.
#include "tests/cli/programrun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using clitest::RunResult;
using clitest::TempFolder;

// A recording of blocks of µV samples at 10 kHz, separated by empty lines, in mV.
std::string RecordingText(const std::vector<std::vector<int>>& microvolts)
{
    std::string text = "Time (s)\tVm (mV)\n";
    char line[64];
    for (std::size_t block = 0; block < microvolts.size(); ++block) {
        text += block > 0 ? "\n" : "";
        for (std::size_t i = 0; i < microvolts[block].size(); ++i) {
            const int v = microvolts[block][i];
            std::snprintf(line, sizeof line, "%.4f\t%s%d.%03d\n", static_cast<double>(i) * 0.0001, v < 0 ? "-" : "",
                          std::abs(v) / 1000, std::abs(v) % 1000);
            text += line;
        }
    }
    return text;
}

// Twelve blocks of 50 ms at 10 kHz, separated by empty lines, in µV steps: a resting level of -65 mV with noise of
// up to 0.2 mV from a fixed seed, a stimulus artefact of 20 mV two samples wide that begins exactly at 10 ms (the
// default search start, 1004) and a response of 5 mV peaking 8 ms after it.
struct Sweeps {
    static constexpr int kBlocks = 12;
    static constexpr int kSamples = 500;
    static constexpr int kArtefact = 100; // 10 ms at 10 kHz

    std::vector<std::vector<int>> microvolts;

    Sweeps()
    {
        std::mt19937 random(20240607);
        for (int block = 0; block < kBlocks; ++block) {
            std::vector<int>& samples = microvolts.emplace_back();
            for (int i = 0; i < kSamples; ++i) {
                const int response = i > kArtefact + 40 && i < kArtefact + 120
                                         ? 5000 - 5000 * (i - kArtefact - 80) * (i - kArtefact - 80) / 1600
                                         : 0;
                const int artefact = i == kArtefact || i == kArtefact + 1 ? 20000 : 0;
                samples.push_back(-65000 + artefact + response + static_cast<int>(random() % 401) - 200);
            }
        }
    }
    // The artefact's peak is its first sample unless the second lies above it: only then does the peak come after
    // the search start, as stimulus method 4 asks.
    bool Found(int block) const
    {
        const std::vector<int>& samples = microvolts[static_cast<std::size_t>(block)];
        return samples[kArtefact + 1] > samples[kArtefact];
    }
    std::string Text() const { return RecordingText(microvolts); }
};

// Twelve blocks of 100 ms at 10 kHz resting at -65 mV with Gaussian noise of 0.1 mV from a fixed seed, a stimulus
// artefact of two samples 50 ms into each (+20 then +10 mV, or the other sign), and an evoked response rising with
// 1 ms and falling with 10 ms, of each block's height and delay.
struct Responses {
    static constexpr int kArtefact = 500;
    struct Block {
        int delay; // samples after the artefact's last one: 0 begins right at its end, already rising
        double millivolts;
        int raised = 0; // samples just before the artefact 3 mV above the rest, as an artefact that starts slowly
    };

    std::vector<std::vector<int>> microvolts;

    Responses(int sign, const std::function<Block(int)>& blockOf)
    {
        std::mt19937 random(7);
        std::normal_distribution<double> noise(0.0, 100.0);
        const double top = std::log(100.0 / 10.0) * 10.0 * 100.0 / 90.0; // the peak of exp(-u / 100) - exp(-u / 10)
        const double scale = 1000.0 / (std::exp(-top / 100.0) - std::exp(-top / 10.0));
        for (int k = 0; k < 12; ++k) {
            const Block block = blockOf(k);
            std::vector<int>& samples = microvolts.emplace_back();
            for (int i = 0; i < 2 * kArtefact; ++i) {
                double v = -65000.0 + noise(random) + (i < kArtefact && i >= kArtefact - block.raised ? 3000.0 : 0.0);
                v += i == kArtefact ? sign * 20000.0 : i == kArtefact + 1 ? sign * 10000.0 : 0.0;
                const double u = i - kArtefact - 1 - block.delay;
                v += u > 0 ? block.millivolts * scale * (std::exp(-u / 100.0) - std::exp(-u / 10.0)) : 0.0;
                samples.push_back(static_cast<int>(std::lround(v)));
            }
        }
    }
    std::string Text() const { return RecordingText(microvolts); }
};

} // namespace

// The noise decides in which blocks the artefact's peak comes after the search start: the others have no stimulus,
// and the warning counts them, naming the search start with its meaning. Without a search start (method 3, or
// 1004 just before the artefact) every block has its stimulus.
TEST(CommandLineMessages, BlocksWithoutAStimulusAreCounted)
{
    const Sweeps sweeps;
    std::string rows; // the blocks that give a row, as --set 58=t writes them
    int found = 0;
    for (int block = 0; block < Sweeps::kBlocks; ++block) {
        if (sweeps.Found(block)) {
            rows += "B" + std::to_string(block) + " T;";
            ++found;
        }
    }
    ASSERT_GT(found, 0) << "the seed must leave some blocks with their stimulus and take it from others";
    ASSERT_LT(found, Sweeps::kBlocks);
    const TempFolder folder;
    const std::string recording = folder.Write("sweeps.txt", sweeps.Text());
    const std::string without = std::to_string(Sweeps::kBlocks - found) + " of 12 blocks had no stimulus: ";
    const std::string searched = "1000=4, 1002=0.01 V (10 mV), 1003=1 ms, 1004=10 ms (the artefact's peak must "
                                 "come after it)";
    const std::string warning = "crestmetrics: analyse: warning: ";
    const struct {
        std::vector<std::string> settings;
        std::string rows;
        std::string err;
    } cases[] = {
        {{"--type", "3", "--set", "1002=0.01", "--set", "1006=0.001"},
         rows,
         warning + without + "Evoked Response (type 3) with " + searched + "\n"},
        // Stimuli found without their response are a warning of their own.
        {{"--type", "3", "--set", "1002=0.01", "--set", "1006=0.01"},
         rows,
         warning + without + "Evoked Response (type 3) with " + searched + "\n" + warning + std::to_string(found) +
             " of " + std::to_string(found) +
             " stimuli had no response: Evoked Response (type 3) with 1009=t, 1006=0.01 V (10 mV), 1007=0 ms, "
             "1008=100 ms\n"},
        {{"--type", "4", "--set", "1028=0.01"},
         rows,
         warning + without + "Population Spike (type 4) with 1000=4, 1028=0.01 V (10 mV), 1003=1 ms, 1004=10 ms (the "
                             "artefact's peak must come after it)\n"},
        {{"--type", "3", "--set", "1002=0.01", "--set", "1006=0.001", "--set", "1004=9.9"}, "", ""},
        {{"--type", "3", "--set", "1002=0.01", "--set", "1006=0.001", "--set", "1000=3"}, "", ""},
    };
    std::string everyBlock;
    for (int block = 0; block < Sweeps::kBlocks; ++block) {
        everyBlock += "B" + std::to_string(block) + " T;";
    }
    for (const auto& test : cases) {
        SCOPED_TRACE(test.settings[1] + " " + test.settings.back());
        std::vector<std::string> arguments = {"analyse", "--quiet", recording, "--set", "58=t", "--set", "2002=f"};
        arguments.insert(arguments.end(), test.settings.begin(), test.settings.end());
        const RunResult outcome = clitest::RunProgram({.arguments = arguments});
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.err, test.err);
        // Each event row ends with its block and tick: "\tB3 T105\r\n".
        std::string shown;
        for (std::size_t end = outcome.out.find("\r\n"); end != std::string::npos;
             end = outcome.out.find("\r\n", end + 2)) {
            const std::size_t cell = outcome.out.rfind('\t', end) + 1;
            if (outcome.out.compare(cell, 1, "B") == 0) {
                shown += outcome.out.substr(cell, outcome.out.find(' ', cell) - cell) + " T;";
            }
        }
        EXPECT_EQ(shown, test.rows.empty() ? everyBlock : test.rows) << outcome.out;
    }
}

// An evoked response's start found before its stimulus, or on the artefact that the stimulus search took for the
// stimulus, gives a Latency and a Height that do not measure it: the table stays as measured, and a warning counts
// the rows with the settings that led there. A fixed level below the rest finds the start back in the noise, and at
// the rest more than two samples back before an artefact that starts slowly; the automatic baseline at 1007 = 0 lies
// on the artefact of a small response that begins right at its end, and the lowest sample on a downward artefact.
// Silent: two samples back, responses that begin 0.5 ms after the artefact or later, 1007 = 0.3, a level below the
// rest over a downward artefact (the start on its second sample), and a Latency of 0 with stimulus method 2.
TEST(CommandLineMessages, ResponsesStartingBeforeTheirStimulusOrOnItsArtefactAreCounted)
{
    using Block = Responses::Block;
    const auto height = [](int k, double low, double high) { return low + (high - low) * ((k * 5) % 12) / 11.0; };
    const auto later = [&](int k) { return Block{5 + 5 * (k / 2), height(k, 6, 40)}; }; // 0.5 to 3 ms later
    const Responses right(1, [&](int k) { return Block{0, height(k, 6, 40)}; });
    const Responses slow(1, [&](int k) { return Block{0, height(k, 6, 40), 1 + k % 2}; });
    const Responses mixed(1, [&](int k) { return k % 2 ? later(k) : Block{0, height(k, 3, 6)}; });
    const Responses downward(-1, [&](int k) { return k % 2 ? later(k) : Block{0, height(k, 6, 40)}; });
    for (const std::vector<int>& samples : right.microvolts) {
        ASSERT_LT(std::min_element(samples.begin(), samples.begin() + Responses::kArtefact) - samples.begin(),
                  Responses::kArtefact - 2)
            << "the seed must leave each block's lowest sample more than two samples before the artefact";
    }
    const auto early = [](const char* count) {
        return "crestmetrics: analyse: warning: " + std::string(count) +
               " of 12 rows start before their stimulus or on its artefact, so their Latency and Height do not "
               "measure the response: Evoked Response (type 3) with ";
    };
    const std::string fixed = "; set 1040 to the signal's own level before the stimulus, never below it\n";
    const struct {
        const Responses& recording;
        std::vector<std::string> settings;
        std::string err;
        std::string table = {}; // Baseline, Latency and Height, as the program wrote them before it warned
    } cases[] = {
        {right,
         {"--set", "1039=1", "--set", "1040=-0.07"},
         early("12") + "1039=1, 1040=-0.07 V (-70 mV)" + fixed,
         "\tBaseline (mV)\tLatency (ms)\tHeight (mV)\r\n1\t-70.00\t-41.20\t11.15\r\n2\t-70.00\t-26.20\t26.65\r\n"
         "3\t-70.00\t-30.20\t42.02\r\n4\t-70.00\t-31.30\t20.42\r\n5\t-70.00\t-25.60\t35.84\r\n"
         "6\t-70.00\t-33.00\t14.13\r\n7\t-70.00\t-11.60\t29.61\r\n8\t-70.00\t-16.70\t45.21\r\n"
         "9\t-70.00\t-26.20\t23.37\r\n10\t-70.00\t-19.60\t38.99\r\n11\t-70.00\t-24.50\t17.29\r\n"
         "12\t-70.00\t-3.100\t32.80\r\n"},
        // Counted whether or not the Latency column is shown.
        {slow,
         {"--set", "1039=1", "--set", "1040=-0.065", "--set", "47=f"},
         early("6") + "1039=1, 1040=-0.065 V (-65 mV)" + fixed},
        {mixed,
         {},
         early("6") + "1039=0, 1007=0 ms; set 1007 past the artefact, or 1039=1 with 1040 at the signal's own level "
                      "before the stimulus, never below it\n"},
        {mixed, {"--set", "1007=0.3"}, ""},
        {downward, {"--set", "1000=2", "--set", "1005=50"}, ""},
        {downward, {"--set", "1039=1", "--set", "1040=-0.07"}, ""},
        {downward,
         {"--set", "1039=2"},
         early("12") + "1039=2; the lowest sample lies below the signal's own level or on the artefact: set 1039=1 "
                       "with 1040 at the signal's own level before the stimulus\n"},
    };
    const TempFolder folder;
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &test - cases);
        // With the summary unless the table is checked: its rows are none of those counted.
        const std::string recording = folder.Write("responses.txt", test.recording.Text());
        std::vector<std::string> arguments = {"analyse", "--quiet", recording,   "--type",
                                              "3",       "--set",   "1002=0.01", "--set", "1006=0.001"};
        arguments.insert(arguments.end(), test.settings.begin(), test.settings.end());
        for (const char* hidden : {"0", "17", "18", "3", "56", "27", "33", "2002"}) {
            if (!test.table.empty()) {
                arguments.insert(arguments.end(), {"--set", hidden + std::string("=f")});
            }
        }
        const RunResult outcome = clitest::RunProgram({.arguments = arguments});
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.err, test.err);
        EXPECT_NE(outcome.out.find("\r\n12\t"), std::string::npos) << "every block gives its row";
        EXPECT_TRUE(test.table.empty() || outcome.out == test.table) << outcome.out;
    }
}
