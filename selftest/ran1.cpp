#include "selftest/ran1.h"

#include "sdk/unittest.h"

#include <charconv>
#include <cstdlib>
#include <ctime>
#include <string_view>

namespace {

constexpr std::int32_t kMultiplier = 16807;
constexpr std::int32_t kModulus = 2147483647;
constexpr std::int32_t kQuotient = 127773; // kModulus / kMultiplier
constexpr std::int32_t kRemainder = 2836;  // kModulus % kMultiplier
constexpr std::int32_t kTableDivisor = 1 + (kModulus - 1) / 32;
constexpr double kScale = 1.0 / kModulus;
constexpr double kUpperCap = 1.0 - 1.2e-7;

// seed = 16807 * seed mod (2^31 - 1) in 32-bit arithmetic (Schrage's method).
void Step(std::int32_t& seed)
{
    const std::int32_t k = seed / kQuotient;
    seed = kMultiplier * (seed - k * kQuotient) - kRemainder * k;
    if (seed < 0) {
        seed += kModulus;
    }
}

} // namespace

float Ran1(std::int32_t& seed, std::int32_t& shuffle, Ran1Table& table)
{
    if (seed <= 0 || shuffle == 0) {
        // -INT32_MIN does not fit: it counts as the largest seed.
        seed = seed == INT32_MIN ? kModulus : (-seed < 1 ? 1 : -seed);
        for (int j = 39; j >= 0; --j) {
            Step(seed);
            if (j < 32) {
                table[static_cast<std::size_t>(j)] = seed;
            }
        }
        shuffle = table[0];
    }
    Step(seed);
    const auto j = static_cast<std::size_t>(shuffle / kTableDivisor);
    shuffle = table[j];
    table[j] = seed;
    const float draw = static_cast<float>(kScale * shuffle);
    return static_cast<double>(draw) > kUpperCap ? static_cast<float>(kUpperCap) : draw;
}

std::int32_t Ran1ClockSeed()
{
    std::int32_t low = 0;
    const char* fixed = std::getenv(kSelfTestSeedVariable);
    const std::string_view text = fixed ? std::string_view(fixed) : std::string_view();
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), low);
    if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size()) {
        low = static_cast<std::int32_t>(static_cast<std::uint32_t>(std::time(nullptr)));
    }
    return low == INT32_MIN ? low : -std::abs(low);
}

std::uint32_t Ran1Index(float draw, std::uint32_t n)
{
    // No position below 0: an empty range gives 0 rather than wrapping below it.
    if (n == 0) {
        return 0;
    }
    return static_cast<std::uint32_t>((n - 1 + 0.999999999) * draw);
}
