#include "chartdraw/clocktime.h"

#include "foundation/localeinfo.h"
#include "platform/win/locale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace ChartDraw;

namespace {

class ClockTimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetUserLocale(platform::LocaleProfile::EnglishUS());
        LocaleInfo::Reset();
    }
    void TearDown() override { LocaleInfo::Reset(); }
};

std::string Ascii(const std::u16string& text) { return std::string(text.begin(), text.end()); }

TEST_F(ClockTimeTest, SecondsJustBelowAMinuteCarryIntoTheNextMinuteAndTheCarryIsUndoneOnTheNextStep)
{
    ClockTime t;
    t.format = kTimeModeClock;
    t.SetSeconds(59.9999996);
    EXPECT_EQ(t.minutes, 1);
    EXPECT_EQ(t.seconds, 0);
    EXPECT_NEAR(t.TotalSeconds(), 59.9999996, 1e-9);
    EXPECT_EQ(Ascii(t.Text(0)), "0:01:00");
    t.AddSeconds(10);
    EXPECT_EQ(t.carry, 0);
    EXPECT_NEAR(t.TotalSeconds(), 69.9999996, 1e-9);
}

struct StepCase {
    double start;
    double step;
    const char* text;
};

TEST_F(ClockTimeTest, StepsCarryBySixty)
{
    const StepCase cases[] = {
        {10 * 3600 + 59 * 60 + 50, 15, "11:00:05"},
        {59 * 60 + 59.5, 0.5, "1:00:00"},
        {23 * 3600 + 59 * 60 + 59, 2, "0:00:01"}, // wraps at 24 hours
        {0, 125, "0:02:05"},
    };
    for (const StepCase& c : cases) {
        ClockTime t;
        t.format = kTimeModeClock;
        t.SetSeconds(c.start);
        t.AddSeconds(c.step);
        EXPECT_EQ(Ascii(t.Text(0)), c.text) << c.start << " + " << c.step;
        EXPECT_NEAR(std::fmod(t.TotalSeconds(), 86400), std::fmod(c.start + c.step, 86400), 1e-6);
    }
}

TEST_F(ClockTimeTest, StepThroughZeroKeepsEveryFieldPositive)
{
    ClockTime t;
    t.format = kTimeModeElapsed;
    t.textFlags = kTextDuration;
    t.SetSeconds(-10);
    t.AddSeconds(15);
    EXPECT_FALSE(t.negative);
    EXPECT_EQ(t.minutes, 0);
    EXPECT_EQ(t.hours, 0);
    EXPECT_NEAR(t.seconds, 5, 1e-9);
    EXPECT_EQ(Ascii(t.Text(kTextDuration)), "5");
}

TEST_F(ClockTimeTest, TwelveHourClockShowsTwelveForZeroAndOneForThirteen)
{
    const struct {
        double seconds;
        const char* text;
    } cases[] = {{0, "12:00:00 AM"}, {13 * 3600, "1:00:00 PM"}, {12 * 3600 + 30, "12:00:30 PM"}};
    for (const auto& c : cases) {
        ClockTime t;
        t.Init(kTimeModeClock, 0, 0, 0, 0, true, c.seconds);
        ASSERT_TRUE(t.textFlags & kText12Hour);
        EXPECT_EQ(Ascii(t.Text(t.textFlags)), c.text);
    }
}

TEST_F(ClockTimeTest, MillisecondDurations)
{
    ClockTime t;
    t.Init(kTimeModeElapsed | kTimeMilliseconds, 0, 0, 0, 0, true, 0.25);
    EXPECT_EQ(Ascii(t.Text(t.textFlags)), "250");
    EXPECT_EQ(Ascii(t.Text(t.textFlags | kTextUnitLabel)), "250 ms");
}

TEST_F(ClockTimeTest, PlainSecondsKeepOneDecimal)
{
    ClockTime t;
    t.format = kTimePlainSeconds;
    t.SetSeconds(12.5);
    EXPECT_EQ(Ascii(t.Text(0)), "12.5");
    t.SetSeconds(3);
    EXPECT_EQ(Ascii(t.Text(0)), "3.0");
}

struct SpacingCase {
    double span; // seconds the smallest label span covers
    double step;
    int subdivisions;
};

TEST(LabelSpacingTest, StepsAndSubdivisions)
{
    const SpacingCase cases[] = {{14, 20, 4}, {700, 1200, 4}, {3000, 3600, 6}, {0.3, 0.5, 5}, {40, 60, 6},
                                 {20000, 12 * 3600, 6}, {80000, 86400, 6}};
    const double width = 10;
    const double pixels = std::trunc(width * 18.001);
    for (const SpacingCase& c : cases) {
        const LabelSpacing s = LabelSpacing::Compute(width, c.span / pixels);
        ASSERT_TRUE(s.valid) << c.span;
        EXPECT_NEAR(s.step, c.step, 1e-9) << c.span;
        EXPECT_EQ(s.subdivisions, c.subdivisions) << c.span;
        EXPECT_NEAR(s.pixelsPerStep * (c.span / pixels), s.step, 1e-6);
    }
}

TEST(LabelSpacingTest, UnusableSecondsPerPixelGiveNoLabels)
{
    const double bad[] = {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
    for (double p : bad) {
        const LabelSpacing s = LabelSpacing::Compute(40, p);
        EXPECT_FALSE(s.valid) << p;
        EXPECT_EQ(s.StepsAcross(500), 0);
    }
}

} // namespace
