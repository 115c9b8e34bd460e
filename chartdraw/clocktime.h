// Time-axis texts: a clock value that steps label by label with carries by 60, and the choice of the label step.
#pragma once

#include <cstdint>
#include <string>

namespace ChartDraw {

// Format word: low byte the mode; bits 28..31 as named.
inline constexpr std::uint32_t kTimeModeRelative = 1;
inline constexpr std::uint32_t kTimeModeElapsed = 2;
inline constexpr std::uint32_t kTimeModeClock = 3;
inline constexpr std::uint32_t kTimePlainSeconds = 1u << 28;
inline constexpr std::uint32_t kTimeMilliseconds = 1u << 29;
inline constexpr std::uint32_t kTimeUniversal = 1u << 30;
inline constexpr std::uint32_t kTimeTotalSeconds = 1u << 31;

// Text flags.
inline constexpr std::uint32_t kTextUnitSuffix = 1u << 19;   // "s" after the number, 'h'/'m' as separators
inline constexpr std::uint32_t kTextKeepZeros = 1u << 20;
inline constexpr std::uint32_t kTextUniversal = 1u << 21;
inline constexpr std::uint32_t kTextWrap24 = 1u << 25;
inline constexpr std::uint32_t kText12Hour = 1u << 26;
inline constexpr std::uint32_t kTextHoursMinutes = 1u << 27;
inline constexpr std::uint32_t kTextUnitLabel = 1u << 28;    // " ms" / " s"
inline constexpr std::uint32_t kTextDuration = 1u << 29;

class ClockTime {
public:
    ClockTime();

    // Sets the value from the chart's times: mode 1 relative to the origin, 2 elapsed seconds, 3 time of day.
    void Init(std::uint32_t formatWord, double start, double startOffset, double origin, double originOffset,
              bool absolute, double seconds);
    void SetSeconds(double t);
    double TotalSeconds() const;
    void SetDecimals(int count);
    void AddSeconds(double d);
    std::u16string Text(std::uint32_t textFlags) const;

    double seconds = 0;
    std::uint32_t format = kTimeModeElapsed;
    std::uint32_t textFlags = 0;
    int minutes = 0;
    int hours = 0;
    int decimals = 6;
    double roundingThreshold;
    double carry = 0;
    bool negative = false;

private:
    bool Plain() const { return (format & kTimePlainSeconds) != 0; }
    void RoundIntoNextMinute();
};

// The label step for a label width `width` (pixels) at `secondsPerPixel`.
struct LabelSpacing {
    bool valid = false;       // false: no labels (seconds per pixel 0, negative or not finite)
    double step = 0;          // seconds per major tick
    int mantissa = 0;
    bool clock = false;
    int subdivisions = 0;
    int minorPerMajor = 0;
    double pixelsPerStep = 0;
    double pixelsPerMinor = 0;

    static LabelSpacing Compute(double width, double secondsPerPixel);
    // Major steps across `width` pixels and the seconds they span.
    int StepsAcross(double width) const;
};

} // namespace ChartDraw
