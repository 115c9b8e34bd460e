// The event records that the calculation stages pass on: each extends the one before, and their bytes travel
// through the host's event interfaces, so sizes and offsets are binding. They are flat standard-layout structs
// (a derived C++ struct could reuse a base's tail padding); every byte is written at construction, padding as 0.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace CX::Enum {

// An unset float holds this quiet NaN; any NaN or infinity counts as "not computed".
inline constexpr std::uint32_t kUnsetFloatBits = 0x7F886000u;
inline constexpr float kUnsetFloat = std::bit_cast<float>(kUnsetFloatBits);
// A double value that a stage cannot give: the unset float marker widened to double.
inline constexpr std::uint64_t kUnsetDoubleBits = 0x7FF8600000000000ull;
inline constexpr double kUnsetDouble = std::bit_cast<double>(kUnsetDoubleBits);
inline constexpr std::int32_t kUnsetTick = -1;
inline constexpr std::int32_t kLastEventNext = 0x7FFFFFFF;

// Event kinds (EventPkStm::kind).
inline constexpr std::int32_t kKindNone = 0;
inline constexpr std::int32_t kKindStimulus = 1; // stimulus or position event
inline constexpr std::int32_t kKindPeak = 2;
inline constexpr std::int32_t kKindStage = 3;    // a record of a parameter stage

// False when every exponent bit is set (infinity or NaN, the unset marker included).
constexpr bool IsFiniteValue(float value) { return (std::bit_cast<std::uint32_t>(value) & 0x7F800000u) != 0x7F800000u; }
constexpr bool IsFiniteValue(double value)
{
    return (std::bit_cast<std::uint64_t>(value) & 0x7FF0000000000000ull) != 0x7FF0000000000000ull;
}

// The fields of each layer, in order; a record declares its own layer after those of the layers before it.
#define CX_EVENT_PKSTM_FIELDS                                                                            \
    std::int32_t tick;   /*  0 */                                                                        \
    float offset;        /*  4: the fraction of a tick by which the event lies after `tick` */          \
    double value;        /*  8 */                                                                        \
    std::int32_t kind;   /* 16 */                                                                        \
    std::uint32_t pad20; /* 20 */

#define CX_EVENT_BCALCBASE_FIELDS                                                                        \
    std::int32_t stimulusTick;  /* 24 */                                                                 \
    std::int32_t baselineStart; /* 28 */                                                                 \
    std::int32_t baselineEnd;   /* 32 */                                                                 \
    float baseline;             /* 36 */                                                                 \
    float polarity;             /* 40: +1 for a peak at or above the baseline, -1 below */              \
    std::uint32_t pad44;        /* 44 */

#define CX_EVENT_BCALCMAX_FIELDS                                                                         \
    float maxValue;             /* 48: value at the maximum of the amplitude stage */                   \
    std::int32_t maxTick;       /* 52 */                                                                 \
    std::int32_t riseStart;     /* 56 */                                                                 \
    std::int32_t fallEnd;       /* 60 */                                                                 \
    std::int32_t nextEventTick; /* 64: the end of this event's stretch, kLastEventNext for the last */   \
    std::uint32_t pad68;        /* 68 */

#define CX_EVENT_BCALCBASE2_FIELDS                                                                       \
    float lowest;                 /*  72 */                                                              \
    float highest;                /*  76 */                                                              \
    std::int32_t tauStart;        /*  80 */                                                              \
    std::int32_t tauEnd;          /*  84 */                                                              \
    float tailOvershoot;          /*  88: also the after-hyperpolarisation amplitude */                 \
    std::int32_t returnTick;      /*  92 */                                                              \
    std::int32_t midPlateauCentre; /* 96 */                                                              \
    std::int32_t plateauCentre;   /* 100: set by the plateau stage only */                              \
    std::int32_t reserved104;     /* 104: the population-spike stage keeps the trough tick here */      \
    std::int32_t reserved108;     /* 108: and the second positive peak here */

struct EventPkStm {
    CX_EVENT_PKSTM_FIELDS

    EventPkStm();
    // Position x in ticks: tick = trunc(x + 0.5), offset = x - tick; value 1.0, kind stimulus.
    void SetPosition(double x);
};

struct EventBCalcBase {
    CX_EVENT_PKSTM_FIELDS
    CX_EVENT_BCALCBASE_FIELDS

    EventBCalcBase();
    // The first tick from which the record's inputs are needed.
    std::int32_t EarliestTick() const;
};

struct EventBCalcMax {
    CX_EVENT_PKSTM_FIELDS
    CX_EVENT_BCALCBASE_FIELDS
    CX_EVENT_BCALCMAX_FIELDS

    EventBCalcMax();
    // Every byte of the baseline record, the amplitude fields at their defaults.
    explicit EventBCalcMax(const EventBCalcBase& base);
    std::int32_t EarliestTick() const;
};

struct EventBCalcBase2 {
    CX_EVENT_PKSTM_FIELDS
    CX_EVENT_BCALCBASE_FIELDS
    CX_EVENT_BCALCMAX_FIELDS
    CX_EVENT_BCALCBASE2_FIELDS

    EventBCalcBase2();
    explicit EventBCalcBase2(const EventBCalcMax& max);
    std::int32_t EarliestTick() const;
    // Position 0 (value 0.0) and every stage field from offset 24 on at its default; the kind stays.
    void ResetAllStages();
    // The plateau fields (offsets 72 to 108) at their defaults.
    void ResetPlateau();
};

struct EventFCalc {
    CX_EVENT_PKSTM_FIELDS
    CX_EVENT_BCALCBASE_FIELDS
    CX_EVENT_BCALCMAX_FIELDS
    CX_EVENT_BCALCBASE2_FIELDS
    std::int32_t count;        // 112
    float tStart;              // 116
    float timeToPeak;          // 120
    float aPeak;               // 124
    float height;              // 128
    float area;                // 132
    float tau;                 // 136
    float unread140;           // 140: read by no parameter code
    float unread144;           // 144: read by no parameter code
    float valueAt;             // 148
    float latency;             // 152
    float slope;               // 156
    float unread160;           // 160: read by no parameter code
    float result51;            // 164: parameter code 51, without a catalogue entry
    float maxSlope;            // 168
    float minSlope;            // 172
    float tMaxSlope;           // 176
    float tMinSlope;           // 180
    float aMaxSlope;           // 184
    float aMinSlope;           // 188
    float width;               // 192
    float widths[9];           // 196: widths at 10 % to 90 % of the height
    float period;              // 232
    float apd[9];              // 236: APD10 to APD90
    float tRise;               // 272
    float tFall;               // 276
    float slopeRise;           // 280
    float slopeFall;           // 284
    float maxNegSlope;         // 288
    float triangulation;       // 292
    float plateauV1;           // 296
    float plateauV2;           // 300
    float popSpikeHeight;      // 304
    float popSpikeArea;        // 308
    float ahpWidth;            // 312
    float ahpArea;             // 316
    float apdTot;              // 320
    float peakArea;            // 324
    float tEnd;                // 328
    std::int32_t rise50Tick;   // 332
    std::int32_t fall50Tick;   // 336
    std::uint32_t pad340;      // 340

    EventFCalc();
    std::int32_t EarliestTick() const;
    void ResetAllStages();
    void ResetPlateau();
    // Count and the ticks at 332/336 to -1; every result float that a parameter code reads to the unset marker.
    void ResetResults();
    // The value of parameter code 0 to 58 as stored (the unset marker when never computed); -1.0 for the codes
    // that read no field (6, 7, 8, 22) and for every code above 58.
    float GetValueById(std::uint32_t code) const;
};

// The record type of the draw kind that is never drawn: only the common prefix is known.
using CXEvent = EventPkStm;

#undef CX_EVENT_PKSTM_FIELDS
#undef CX_EVENT_BCALCBASE_FIELDS
#undef CX_EVENT_BCALCMAX_FIELDS
#undef CX_EVENT_BCALCBASE2_FIELDS

static_assert(sizeof(EventPkStm) == 24 && sizeof(EventBCalcBase) == 48 && sizeof(EventBCalcMax) == 72 &&
              sizeof(EventBCalcBase2) == 112 && sizeof(EventFCalc) == 344);
static_assert(offsetof(EventPkStm, offset) == 4 && offsetof(EventPkStm, value) == 8 &&
              offsetof(EventPkStm, kind) == 16);
static_assert(offsetof(EventBCalcBase, stimulusTick) == 24 && offsetof(EventBCalcBase, baselineStart) == 28 &&
              offsetof(EventBCalcBase, baselineEnd) == 32 && offsetof(EventBCalcBase, baseline) == 36 &&
              offsetof(EventBCalcBase, polarity) == 40);
static_assert(offsetof(EventBCalcMax, maxValue) == 48 && offsetof(EventBCalcMax, maxTick) == 52 &&
              offsetof(EventBCalcMax, riseStart) == 56 && offsetof(EventBCalcMax, fallEnd) == 60 &&
              offsetof(EventBCalcMax, nextEventTick) == 64);
static_assert(offsetof(EventBCalcBase2, lowest) == 72 && offsetof(EventBCalcBase2, highest) == 76 &&
              offsetof(EventBCalcBase2, tauStart) == 80 && offsetof(EventBCalcBase2, tauEnd) == 84 &&
              offsetof(EventBCalcBase2, tailOvershoot) == 88 && offsetof(EventBCalcBase2, returnTick) == 92 &&
              offsetof(EventBCalcBase2, midPlateauCentre) == 96 && offsetof(EventBCalcBase2, plateauCentre) == 100 &&
              offsetof(EventBCalcBase2, reserved104) == 104 && offsetof(EventBCalcBase2, reserved108) == 108);
static_assert(offsetof(EventFCalc, stimulusTick) == 24 && offsetof(EventFCalc, baseline) == 36 &&
              offsetof(EventFCalc, riseStart) == 56 && offsetof(EventFCalc, fallEnd) == 60 &&
              offsetof(EventFCalc, tailOvershoot) == 88 && offsetof(EventFCalc, reserved104) == 104 &&
              offsetof(EventFCalc, reserved108) == 108);
static_assert(offsetof(EventFCalc, count) == 112 && offsetof(EventFCalc, tStart) == 116 &&
              offsetof(EventFCalc, timeToPeak) == 120 && offsetof(EventFCalc, aPeak) == 124 &&
              offsetof(EventFCalc, height) == 128 && offsetof(EventFCalc, area) == 132 &&
              offsetof(EventFCalc, tau) == 136 && offsetof(EventFCalc, unread140) == 140 &&
              offsetof(EventFCalc, valueAt) == 148 && offsetof(EventFCalc, latency) == 152 &&
              offsetof(EventFCalc, slope) == 156 && offsetof(EventFCalc, unread160) == 160 &&
              offsetof(EventFCalc, result51) == 164 && offsetof(EventFCalc, maxSlope) == 168 &&
              offsetof(EventFCalc, aMinSlope) == 188 && offsetof(EventFCalc, width) == 192 &&
              offsetof(EventFCalc, widths) == 196 && offsetof(EventFCalc, period) == 232 &&
              offsetof(EventFCalc, apd) == 236 && offsetof(EventFCalc, tRise) == 272 &&
              offsetof(EventFCalc, slopeFall) == 284 && offsetof(EventFCalc, maxNegSlope) == 288 &&
              offsetof(EventFCalc, triangulation) == 292 && offsetof(EventFCalc, plateauV2) == 300 &&
              offsetof(EventFCalc, popSpikeHeight) == 304 && offsetof(EventFCalc, popSpikeArea) == 308 &&
              offsetof(EventFCalc, ahpWidth) == 312 && offsetof(EventFCalc, tEnd) == 328 &&
              offsetof(EventFCalc, rise50Tick) == 332 && offsetof(EventFCalc, fall50Tick) == 336);
static_assert(offsetof(EventFCalc, maxValue) == 48 && offsetof(EventFCalc, maxTick) == 52 &&
              offsetof(EventFCalc, nextEventTick) == 64 && offsetof(EventFCalc, lowest) == 72 &&
              offsetof(EventFCalc, highest) == 76 && offsetof(EventFCalc, tauStart) == 80 &&
              offsetof(EventFCalc, tauEnd) == 84 && offsetof(EventFCalc, returnTick) == 92 &&
              offsetof(EventFCalc, midPlateauCentre) == 96 && offsetof(EventFCalc, plateauCentre) == 100);
static_assert(offsetof(EventFCalc, unread144) == 144 && offsetof(EventFCalc, minSlope) == 172 &&
              offsetof(EventFCalc, tMaxSlope) == 176 && offsetof(EventFCalc, tMinSlope) == 180 &&
              offsetof(EventFCalc, aMaxSlope) == 184 && offsetof(EventFCalc, tFall) == 276 &&
              offsetof(EventFCalc, slopeRise) == 280 && offsetof(EventFCalc, plateauV1) == 296 &&
              offsetof(EventFCalc, ahpArea) == 316 && offsetof(EventFCalc, apdTot) == 320 &&
              offsetof(EventFCalc, peakArea) == 324 && offsetof(EventFCalc, pad340) == 340);

} // namespace CX::Enum

// The plain host event: what every event enumerator of the host delivers first in each record.
struct KVOEventBase {
    std::int32_t tick;
    float offset; // the fraction of a tick by which the event lies after `tick`
    double value;
};
static_assert(sizeof(KVOEventBase) == 16 && offsetof(KVOEventBase, offset) == 4 && offsetof(KVOEventBase, value) == 8);
