// The random numbers of the self tests: the minimal standard generator (16807 modulo 2^31 - 1) with a shuffle table
// of 32 entries, as floats in the open interval (0, 1). The caller owns the state, so a routine that starts from a
// fixed seed draws the same sequence on every run.
#pragma once

#include <array>
#include <cstdint>

using Ran1Table = std::array<std::int32_t, 32>;

// A seed word of 0 or below, or a shuffle word of 0, (re)initialises the state from the seed's absolute value
// (at least 1).
float Ran1(std::int32_t& seed, std::int32_t& shuffle, Ran1Table& table);

// The seed of the routines that draw a new sequence each run: minus the low 32 bits of the calendar time, or minus
// the absolute value of the whole number in the host's seed variable (kSelfTestSeedVariable) when it holds one.
std::int32_t Ran1ClockSeed();

// An index below n from a draw, as the routines pick records, events and positions.
std::uint32_t Ran1Index(float draw, std::uint32_t n);
