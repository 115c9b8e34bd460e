// The self tests' random numbers against the generator's definition: 16807 * s mod (2^31 - 1) in 64-bit
// arithmetic, a shuffle table of 32 filled after 8 warm-up steps, and floats in (0, 1).
#include "selftest/ran1.h"
#include "sdk/unittest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

// The same sequence computed plainly, for a positive starting seed.
std::vector<double> Reference(std::int64_t seed, int draws)
{
    const std::int64_t modulus = 2147483647;
    const auto step = [&] { seed = 16807 * seed % modulus; };
    std::int64_t table[32];
    for (int j = 39; j >= 0; --j) {
        step();
        if (j < 32) {
            table[j] = seed;
        }
    }
    std::int64_t last = table[0];
    std::vector<double> values;
    for (int n = 0; n < draws; ++n) {
        step();
        const int j = static_cast<int>(last / (1 + (modulus - 1) / 32));
        last = table[j];
        table[j] = seed;
        const float value = static_cast<float>(static_cast<double>(last) / modulus);
        values.push_back(value < 1.0f - 1.2e-7f ? value : static_cast<float>(1.0 - 1.2e-7));
    }
    return values;
}

TEST(Ran1, FirstDrawsFromTheFixedSeed)
{
    std::int32_t seed = 0;
    std::int32_t shuffle = 0;
    Ran1Table table{};
    const double expected[] = {0.4159994, 0.0919649, 0.7564105};
    for (double value : expected) {
        EXPECT_NEAR(Ran1(seed, shuffle, table), value, 5e-8);
    }
}

TEST(Ran1, SequencesFollowTheDefinition)
{
    struct Case {
        std::int32_t seed;   // as the caller passes it
        std::int32_t shuffle;
        std::int64_t start;  // the seed the sequence is initialised from
    };
    const Case cases[] = {
        {0, 0, 1},            // the deterministic routines' start
        {-1, 0, 1},
        {-123456789, 0, 123456789},
        {-987654, 5, 987654}, // a negative seed re-initialises whatever the shuffle word
        {42, 0, 1},           // a positive seed with no shuffle word starts from 1
        {-2147483646, 0, 2147483646},
    };
    for (const Case& c : cases) {
        std::int32_t seed = c.seed;
        std::int32_t shuffle = c.shuffle;
        Ran1Table table{};
        const auto expected = Reference(c.start, 2000);
        for (std::size_t n = 0; n < expected.size(); ++n) {
            ASSERT_EQ(Ran1(seed, shuffle, table), expected[n]) << c.seed << " draw " << n;
        }
    }
}

TEST(Ran1, SeedOneReachesTheCapWithinItsFirstDraws)
{
    // Draw 1286 from seed 1 would round to 1.0f; it reads as the cap.
    std::int32_t seed = 0;
    std::int32_t shuffle = 0;
    Ran1Table table{};
    float largest = 0;
    for (int n = 0; n < 1300; ++n) {
        largest = std::max(largest, Ran1(seed, shuffle, table));
    }
    EXPECT_EQ(static_cast<double>(largest), 0.9999998807907104);
}

TEST(Ran1, DrawsStayInsideTheOpenInterval)
{
    std::int32_t seed = -20261207;
    std::int32_t shuffle = 0;
    Ran1Table table{};
    for (int n = 0; n < 1000000; ++n) {
        const float r = Ran1(seed, shuffle, table);
        ASSERT_GT(r, 0.0f);
        ASSERT_LT(r, 1.0f);
    }

    // A state whose every table entry is the largest word would give 1.0f: it is capped at 1 - 1.2e-7.
    table.fill(2147483646);
    seed = 5;
    shuffle = 1;
    const float capped = Ran1(seed, shuffle, table);
    EXPECT_EQ(capped, static_cast<float>(1.0 - 1.2e-7));
    EXPECT_EQ(static_cast<double>(capped), 0.9999998807907104);
}

TEST(Ran1, IndexesCoverEveryPositionBelowN)
{
    struct Case {
        float draw;
        std::uint32_t n;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {1.2e-7f, 10, 0}, {0.5f, 10, 4}, {0.9999999f, 10, 9}, {0.9999999f, 1, 0}, {0.4159994f, 3, 1}, {0.75f, 3, 2}, {0.5f, 0, 0}, {0.9999999f, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Ran1Index(c.draw, c.n), c.expected) << c.draw << " of " << c.n;
    }
    EXPECT_LT(Ran1ClockSeed(), 1);
}

} // namespace

// The host's seed variable stands for the clock when it holds a whole number; anything else leaves the clock's seed
// (minus the low 32 bits of the time, read around the call).
TEST(Ran1, TheHostsSeedVariableFixesTheClockSeed)
{
    const char* before = std::getenv(kSelfTestSeedVariable);
    const std::string saved = before ? before : "";
    const struct {
        const char* text; // null: unset
        std::int64_t seed;
        bool clock;
    } cases[] = {
        {"12345", -12345, false}, {"-7", -7, false},     {"0", 0, false},  {"2147483647", -2147483647, false},
        {nullptr, 0, true},       {"", 0, true},         {"12x", 0, true}, {"x", 0, true},
        {" 5", 0, true},          {"2147483648", 0, true},
    };
    for (const auto& c : cases) {
        if (c.text) {
            ::setenv(kSelfTestSeedVariable, c.text, 1);
        } else {
            ::unsetenv(kSelfTestSeedVariable);
        }
        const auto clock = [] {
            return -std::llabs(static_cast<std::int32_t>(static_cast<std::uint32_t>(std::time(nullptr))));
        };
        const std::int64_t earliest = clock();
        const std::int32_t seed = Ran1ClockSeed();
        const std::int64_t latest = clock();
        if (c.clock) {
            EXPECT_TRUE(seed == earliest || seed == latest) << (c.text ? c.text : "(unset)") << ": " << seed;
        } else {
            EXPECT_EQ(seed, c.seed) << c.text;
        }
    }
    if (before) {
        ::setenv(kSelfTestSeedVariable, saved.c_str(), 1);
    } else {
        ::unsetenv(kSelfTestSeedVariable);
    }
}
