// The host's point sources as the trace drawer relies on them: full batches until the data ends, one vertical
// segment per pixel column spanning the column's samples.
#include "host/chartserver.h"
#include "sdk/charttimebase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>

namespace {

TEST(ChartServerTest, PointSourcesFillEveryBatchUntilTheDataEnds)
{
    auto document = host::Document::Create();
    document->AddChannel(u"V", u"mV");
    document->AddBlock(0.001);
    std::vector<float> samples(1000);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<float>(i % 7);
    }
    document->SetSamples(0, 0, samples);
    auto server = host::ChartServer::Create(document);
    const struct {
        double perPixel;
        LONG columns; // columns that hold data
    } cases[] = {{1.0, 1000}, {4.0, 250}, {7.0, 143}};
    for (const auto& c : cases) {
        server->SetView(0, 0, c.perPixel, 0);
        platform::ComPtr<IChartPointSource> points;
        ASSERT_EQ(server->NewPointSource(0, 0, 0, 1000, 0, -1, 0x7FFFFFFF, 1.0, 0.0, 0, points.Out()), S_OK);
        std::array<POINT, kChartPointBatch> buffer{};
        LONG x = 0;
        LONG verticals = 0;
        while (true) {
            LONG count = 0;
            LONG consumed = 0;
            points->GetPoints(x, 5000 - x, buffer.data(), kChartPointBatch, &count, &consumed);
            ASSERT_EQ(count % 2, 0);
            for (LONG i = 0; i < count; i += 2) {
                if (buffer[i].x == buffer[i + 1].x) {
                    // A column's segment spans exactly its samples' range.
                    const auto first = static_cast<std::size_t>(buffer[i].x * c.perPixel);
                    const auto last = std::min<std::size_t>(samples.size(),
                                                            static_cast<std::size_t>((buffer[i].x + 1) * c.perPixel));
                    const auto [low, high] = std::minmax_element(samples.begin() + first,
                                                                 samples.begin() + std::max(last, first + 1));
                    EXPECT_EQ(std::max(buffer[i].y, buffer[i + 1].y), static_cast<LONG>(*high)) << buffer[i].x;
                    EXPECT_EQ(std::min(buffer[i].y, buffer[i + 1].y), static_cast<LONG>(*low)) << buffer[i].x;
                    ++verticals;
                }
            }
            x += consumed;
            if (count < kChartPointBatch) {
                break; // only at the end of the data
            }
        }
        EXPECT_EQ(x, c.columns) << c.perPixel;
    }
}

} // namespace

namespace {

// The value range request: every sample from the first position to the last, across records, NaN left out.
TEST(ChartServerTest, TheRangeRequestSpansThePositionsAcrossRecords)
{
    auto document = host::Document::Create();
    document->AddChannel(u"V", u"mV");
    for (int record = 0; record < 2; ++record) {
        document->AddBlock(0.001);
        std::vector<float> samples(100);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<float>(record * 1000 + static_cast<int>(i));
        }
        samples[50] = std::numeric_limits<float>::quiet_NaN();
        document->SetSamples(record, 0, samples);
    }
    auto server = host::ChartServer::Create(document);
    const auto ask = [&](ChartBlockPosition first, ChartBlockPosition last, LONG channel, double range[2]) {
        return server->RequestData(kChartRequestDataRange, channel, reinterpret_cast<LONG_PTR>(&first),
                                   reinterpret_cast<LONG_PTR>(&last), reinterpret_cast<LONG_PTR>(range), 0, 0, 0, 0,
                                   0);
    };
    double range[2]{0, 0};
    EXPECT_EQ(ask({10, 0}, {20, 0}, 0, range), S_OK);
    EXPECT_EQ(range[0], 10.0);
    EXPECT_EQ(range[1], 20.0);
    EXPECT_EQ(ask({90, 0}, {5, 1}, 0, range), S_OK);
    EXPECT_EQ(range[0], 90.0);
    EXPECT_EQ(range[1], 1005.0);
    EXPECT_EQ(ask({50, 0}, {50, 0}, 0, range), S_FALSE); // a NaN only
    EXPECT_EQ(ask({0, 0}, {5, 0}, 1, range), S_FALSE);   // no such channel
    EXPECT_EQ(server->RequestData(kChartRequestDataRange, 0, 0, 0, 0, 0, 0, 0, 0, 0), E_POINTER);
    EXPECT_EQ(server->RequestData(0, 0, 0, 0, 0, 0, 0, 0, 0, 0), S_OK); // other requests are not answered
}

} // namespace
