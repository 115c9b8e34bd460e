#include "engine/eventrecords.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

using namespace CX::Enum;

namespace {

template <class Record>
std::vector<unsigned char> Bytes(const Record& record)
{
    std::vector<unsigned char> bytes(sizeof(Record));
    std::memcpy(bytes.data(), &record, sizeof(Record));
    return bytes;
}

float FloatAt(const std::vector<unsigned char>& bytes, std::size_t offset)
{
    float value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

std::uint32_t BitsAt(const std::vector<unsigned char>& bytes, std::size_t offset)
{
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

} // namespace

TEST(EventRecords, DefaultBytesAreTheWireFormat)
{
    // Little-endian: tick 0, offset 0.0f, value 0.0, kind 3 (a stage record), padding 0, stimulus -1,
    // baseline start/end -1, baseline 0x7F886000, polarity 1.0f, padding 0, max value -1.0f, four ticks -1, padding.
    const std::array<unsigned char, 72> expected = {
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x60, 0x88, 0x7F, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x80, 0xBF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00};
    const auto max = Bytes(EventBCalcMax());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), max.begin()));

    const auto pk = Bytes(EventPkStm());
    EXPECT_EQ(pk, std::vector<unsigned char>(24, 0)); // kind 0 and everything else zero

    const auto base = Bytes(EventBCalcBase());
    EXPECT_TRUE(std::equal(base.begin(), base.end(), expected.begin()));

    // The plateau record: unset lowest/highest/tail, ticks -1, the plateau centre (100) written as 0.
    const auto base2 = Bytes(EventBCalcBase2());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), base2.begin()));
    for (std::size_t offset : {72u, 76u, 88u}) {
        EXPECT_EQ(BitsAt(base2, offset), 0x7F886000u) << offset;
    }
    for (std::size_t offset : {80u, 84u, 92u, 96u, 104u, 108u}) {
        EXPECT_EQ(BitsAt(base2, offset), 0xFFFFFFFFu) << offset;
    }
    EXPECT_EQ(BitsAt(base2, 100), 0u);

    // The final record: count and the two ticks at 332/336 are -1, the floats no code reads and the padding 0.
    const auto final = Bytes(EventFCalc());
    EXPECT_TRUE(std::equal(base2.begin(), base2.end(), final.begin()));
    for (std::size_t offset : {112u, 332u, 336u}) {
        EXPECT_EQ(BitsAt(final, offset), 0xFFFFFFFFu) << offset;
    }
    for (std::size_t offset : {140u, 144u, 160u, 340u}) {
        EXPECT_EQ(BitsAt(final, offset), 0u) << offset;
    }
    for (std::size_t offset = 116; offset <= 328; offset += 4) {
        if (offset != 140 && offset != 144 && offset != 160) {
            EXPECT_EQ(BitsAt(final, offset), 0x7F886000u) << offset;
        }
    }
}

TEST(EventRecords, PositionConversionAndEarliestTick)
{
    EventPkStm event;
    event.SetPosition(2.6);
    EXPECT_EQ(event.tick, 3);
    EXPECT_FLOAT_EQ(event.offset, -0.4f);
    EXPECT_EQ(event.value, 1.0);
    EXPECT_EQ(event.kind, kKindStimulus);
    event.SetPosition(2.4);
    EXPECT_EQ(event.tick, 2);
    EXPECT_FLOAT_EQ(event.offset, 0.4f);
    event.SetPosition(0.0);
    EXPECT_EQ(event.tick, 0);
    EXPECT_EQ(event.offset, 0.0f);

    EventBCalcBase base;
    base.tick = 500;
    EXPECT_EQ(base.EarliestTick(), 500); // no stimulus, NaN baseline
    base.stimulusTick = 450;
    EXPECT_EQ(base.EarliestTick(), 450);
    base.baselineEnd = 300; // ignored while the baseline is not finite
    EXPECT_EQ(base.EarliestTick(), 450);
    base.baseline = 0.25f;
    EXPECT_EQ(base.EarliestTick(), 299);
    base.stimulusTick = -1;
    base.baselineEnd = 900;
    EXPECT_EQ(base.EarliestTick(), 500);

    EventFCalc final;
    final.tick = 40;
    final.baseline = std::bit_cast<float>(0x7F800000u); // infinity counts as not computed
    final.baselineEnd = 10;
    EXPECT_EQ(final.EarliestTick(), 40);
}

TEST(EventRecords, ConversionsKeepTheSmallerRecordAndResetsRestoreDefaults)
{
    EventBCalcBase base;
    base.tick = 77;
    base.offset = 0.25f;
    base.value = -3.5;
    base.kind = kKindPeak;
    base.stimulusTick = 12;
    base.baselineStart = 20;
    base.baselineEnd = 30;
    base.baseline = 1.5f;
    base.polarity = -1.0f;
    const auto baseBytes = Bytes(base);

    const EventBCalcMax max(base);
    const auto maxBytes = Bytes(max);
    EXPECT_TRUE(std::equal(baseBytes.begin(), baseBytes.end(), maxBytes.begin()));
    EXPECT_EQ(max.kind, kKindPeak);
    EXPECT_EQ(max.maxValue, -1.0f);
    EXPECT_EQ(max.nextEventTick, -1);

    EventBCalcMax filled = max;
    filled.maxTick = 81;
    filled.nextEventTick = kLastEventNext;
    const EventBCalcBase2 base2(filled);
    const auto filledBytes = Bytes(filled);
    const auto base2Bytes = Bytes(base2);
    EXPECT_TRUE(std::equal(filledBytes.begin(), filledBytes.end(), base2Bytes.begin()));
    EXPECT_EQ(BitsAt(base2Bytes, 72), kUnsetFloatBits);
    EXPECT_EQ(base2.reserved108, -1);

    EventFCalc final;
    final.tick = 9;
    final.value = 4.0;
    final.kind = kKindPeak;
    final.stimulusTick = 3;
    final.maxTick = 11;
    final.tauStart = 5;
    final.plateauCentre = 66;
    final.height = 2.0f;
    final.ResetAllStages();
    EXPECT_EQ(final.tick, 0);
    EXPECT_EQ(final.value, 0.0);
    EXPECT_EQ(final.kind, kKindPeak); // left alone
    EXPECT_EQ(final.stimulusTick, -1);
    EXPECT_EQ(final.maxTick, -1);
    EXPECT_EQ(final.tauStart, -1);
    EXPECT_EQ(final.plateauCentre, 66); // only the plateau stage writes it
    EXPECT_EQ(final.height, 2.0f);      // results are not stages

    final.tauEnd = 8;
    final.lowest = 0.5f;
    final.maxTick = 12;
    final.ResetPlateau();
    EXPECT_EQ(final.tauEnd, -1);
    EXPECT_FALSE(IsFiniteValue(final.lowest));
    EXPECT_EQ(final.maxTick, 12);

    final.count = 4;
    final.rise50Tick = 3;
    final.ResetResults();
    EXPECT_EQ(final.count, -1);
    EXPECT_EQ(final.rise50Tick, -1);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(final.height), kUnsetFloatBits);
}

TEST(EventRecords, ValueByParameterCodeReadsTheFieldAtItsOffset)
{
    // Each float field gets its own offset as its value, written through the raw bytes; the expected value of a
    // code is then the offset the code reads.
    EventFCalc record;
    std::vector<unsigned char> bytes = Bytes(record);
    for (std::size_t offset = 36; offset < 332; offset += 4) {
        const float marker = static_cast<float>(offset);
        std::memcpy(bytes.data() + offset, &marker, 4);
    }
    const std::int32_t count = 17;
    std::memcpy(bytes.data() + 112, &count, 4);
    std::memcpy(&record, bytes.data(), bytes.size());

    std::array<int, 59> offsetOfCode{};
    offsetOfCode.fill(-1);
    const std::pair<int, int> direct[] = {{0, 116},  {2, 36},   {3, 120},  {4, 124},  {5, 128},  {9, 192},
                                          {10, 132}, {11, 168}, {12, 172}, {13, 176}, {14, 180}, {15, 184},
                                          {16, 188}, {17, 272}, {18, 276}, {19, 280}, {20, 284}, {21, 88},
                                          {32, 232}, {33, 136}, {43, 292}, {44, 296}, {45, 300}, {46, 148},
                                          {47, 152}, {48, 156}, {49, 304}, {50, 308}, {51, 164}, {52, 288},
                                          {53, 312}, {54, 316}, {55, 320}, {56, 324}, {57, 328}};
    for (auto [code, offset] : direct) {
        offsetOfCode[code] = offset;
    }
    for (int code = 23; code <= 31; ++code) {
        offsetOfCode[code] = 196 + 4 * (code - 23);
    }
    for (int code = 34; code <= 42; ++code) {
        offsetOfCode[code] = 236 + 4 * (code - 34);
    }

    for (std::uint32_t code = 0; code <= 58; ++code) {
        const float got = record.GetValueById(code);
        if (code == 1) {
            EXPECT_EQ(got, 17.0f);
        } else if (code == 58) {
            EXPECT_EQ(got, 0.0f);
        } else if (code == 6 || code == 7 || code == 8 || code == 22) {
            EXPECT_EQ(got, -1.0f) << code;
        } else {
            ASSERT_GE(offsetOfCode[code], 0) << code;
            EXPECT_EQ(got, FloatAt(bytes, offsetOfCode[code])) << code;
        }
    }
    // Codes beyond the catalogue read as -1, like the codes the catalogue reserves.
    for (std::uint32_t code : {59u, 60u, 1000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(record.GetValueById(code), -1.0f) << code;
    }
}

TEST(EventRecords, DefaultFinalRecordHasNoValues)
{
    const EventFCalc record;
    EXPECT_EQ(record.GetValueById(1), -1.0f);
    EXPECT_EQ(record.GetValueById(58), 0.0f);
    for (std::uint32_t code = 0; code < 58; ++code) {
        if (code == 1 || code == 6 || code == 7 || code == 8 || code == 22) {
            continue;
        }
        EXPECT_EQ(std::bit_cast<std::uint32_t>(record.GetValueById(code)), kUnsetFloatBits) << code;
    }
}

TEST(EventRecords, PositionsBeyondTheTickRangeSaturate)
{
    EventPkStm record;
    record.SetPosition(1e12);
    EXPECT_EQ(record.tick, INT32_MAX);
    record.SetPosition(-1e12);
    EXPECT_EQ(record.tick, INT32_MIN);
    record.SetPosition(std::nan(""));
    EXPECT_EQ(record.tick, 0);
    record.SetPosition(-2.6);
    EXPECT_EQ(record.tick, -2); // truncation toward zero of -2.1, as for any in-range position
}

