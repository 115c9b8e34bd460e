#include "graph/mgraph1/tickgenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

struct ScaleCase {
    double low, high;
    LONG height;
    double major; // expected major step
};

TEST(TickGeneratorTest, DivisionsLieOnTheStepsAndMajorsOnWholeMajorSteps)
{
    const ScaleCase cases[] = {{-1.5, 1.5, 80, 2.0}, {0, 100, 400, 10.0}, {-0.003, 0.007, 200, 0.002},
                               {1000, 1001, 40, 1.0}};
    for (const ScaleCase& c : cases) {
        platform::ComPtr<MGraph1::ITickGenerator> generator;
        ASSERT_EQ(MGraph1::CreateTickGenerator(generator.Out()), S_OK);
        // Values grow upwards: row = (value - high) * -height / (high - low).
        const double scale = -c.height / (c.high - c.low);
        ASSERT_EQ(generator->SetScale(c.low, c.high, scale, -c.high, c.height), S_OK);
        EXPECT_DOUBLE_EQ(static_cast<MGraph1::TickGenerator*>(generator.Get())->MajorStep(), c.major) << c.high;
        LONG count = 0;
        generator->GetCount(&count);
        ASSERT_GT(count, 0);
        std::vector<LONG> rows(static_cast<std::size_t>(count));
        std::vector<LONG> kinds(static_cast<std::size_t>(count));
        LONG written = 0;
        generator->GetDivisions(count, rows.data(), kinds.data(), &written);
        ASSERT_EQ(written, count);
        const double minor = c.major / 5;
        for (LONG i = 0; i < count; ++i) {
            EXPECT_GE(rows[i], 0);
            EXPECT_LT(rows[i], c.height);
            const double value = c.high + rows[i] / scale; // back from the row, within half a pixel
            const double halfPixel = 0.5 / std::fabs(scale);
            const double nearestMinor = std::round(value / minor) * minor;
            EXPECT_NEAR(value, nearestMinor, halfPixel + 1e-12) << c.high << " row " << rows[i];
            const bool onMajor = std::fabs(std::remainder(nearestMinor, c.major)) < minor / 2;
            EXPECT_EQ(kinds[i], onMajor ? 2 : 1) << c.high << " row " << rows[i];
        }
    }
}

TEST(TickGeneratorTest, EmptyOrUnusableScalesGiveNoDivisions)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double low, high, scale;
        LONG height;
    } cases[] = {{1, 1, -10, 50}, {0, nan, -10, 50}, {0, 1, 0, 50}, {0, 1, -10, 0}, {0, 1, -1e12, 50}};
    for (const auto& c : cases) {
        platform::ComPtr<MGraph1::ITickGenerator> generator;
        MGraph1::CreateTickGenerator(generator.Out());
        EXPECT_EQ(generator->SetScale(c.low, c.high, c.scale, 0, c.height), S_FALSE);
        LONG count = -1;
        generator->GetCount(&count);
        EXPECT_EQ(count, 0);
    }
}

} // namespace
