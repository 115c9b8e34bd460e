// The stimulus search of the evoked types as the command line reports it: a block in which it found no stimulus
// gives no row, and a warning says how many blocks had none, with the settings that decided the search.
#include "tests/cli/programrun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using clitest::RunResult;
using clitest::TempFolder;

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
    std::string Text() const
    {
        std::string text = "Time (s)\tVm (mV)\n";
        char line[64];
        for (int block = 0; block < kBlocks; ++block) {
            text += block > 0 ? "\n" : "";
            for (int i = 0; i < kSamples; ++i) {
                const int v = microvolts[static_cast<std::size_t>(block)][static_cast<std::size_t>(i)];
                std::snprintf(line, sizeof line, "%.4f\t%s%d.%03d\n", i * 0.0001, v < 0 ? "-" : "", std::abs(v) / 1000,
                              std::abs(v) % 1000);
                text += line;
            }
        }
        return text;
    }
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
