#include "aptrain.h"
#include "bench/recordings.h"
#include "enum_harness.h"

#include "engine/cappeakdet.h"
#include "host/document.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace enumharness;
using CX::Enum::EventPkStm;
namespace CAP = CX::Enum::CAPPeakDet;

namespace {

using aptrain::kHeight;
using aptrain::kText;
using aptrain::kTickPeriod;
using aptrain::kWidthTicks;

struct Channel {
    std::shared_ptr<host::Document> document = host::Document::Create();
    Channel(const std::vector<std::vector<float>>& blocks, double tickPeriod = kTickPeriod)
    {
        document->AddChannel(u"Vm", u"mV");
        for (const auto& samples : blocks) {
            document->SetSamples(document->AddBlock(tickPeriod), 0, samples);
        }
    }
    ComPtr<ICalcEnum> Bound(const char16_t* text, int block = 0, LONG flag = 0) const
    {
        ComPtr<ICalcEnum> calc = Make<CAP::Family>(text);
        EXPECT_EQ(BindChannel(calc.Get(), *document, block, 0, flag), S_OK);
        return calc;
    }
    std::vector<EventPkStm> Peaks(const char16_t* text, int block = 0) const
    {
        ComPtr<ICalcEnum> calc = Bound(text, block);
        return ReadAll<EventPkStm>(Events(calc.Get()).Get());
    }
};

std::vector<std::pair<LONG, double>> TicksAndValues(const std::vector<EventPkStm>& peaks)
{
    std::vector<std::pair<LONG, double>> out;
    for (const auto& p : peaks) {
        out.emplace_back(p.tick, p.value);
    }
    return out;
}

// A signal from (tick, value) corners joined by straight lines, one sample per tick.
std::vector<float> Corners(std::initializer_list<std::pair<int, float>> corners)
{
    std::vector<float> samples;
    auto previous = *corners.begin();
    samples.push_back(previous.second);
    for (auto it = corners.begin() + 1; it != corners.end(); ++it) {
        for (int t = previous.first + 1; t <= it->first; ++t) {
            const float f = static_cast<float>(t - previous.first) / static_cast<float>(it->first - previous.first);
            samples.push_back(previous.second + f * (it->second - previous.second));
        }
        previous = *it;
    }
    return samples;
}

TEST(CAPPeakDet, FindsThePeaksOfSyntheticTrains)
{
    for (const std::uint32_t seed : {1u, 2u, 3u, 4u}) {
        const aptrain::Train train = aptrain::Make(seed, 60000, -70.0f, kHeight, kWidthTicks);
        ASSERT_GT(train.peaks.size(), 20u);
        ASSERT_GT(train.narrow, 0) << "the trains must hold spikes too narrow for the width";
        ASSERT_GT(train.small, 0) << "and action potentials below the height";
        const Channel channel({train.samples});
        const auto peaks = channel.Peaks(kText);
        ASSERT_EQ(peaks.size(), train.peaks.size()) << "seed " << seed;
        for (std::size_t i = 0; i < peaks.size(); ++i) {
            EXPECT_EQ(peaks[i].tick, train.peaks[i].tick) << "seed " << seed << " peak " << i;
            EXPECT_EQ(peaks[i].value, static_cast<double>(train.peaks[i].value));
            EXPECT_EQ(peaks[i].offset, 0.0f);
            EXPECT_EQ(peaks[i].kind, CX::Enum::kKindPeak);
        }
    }
    // Without a width every completed fall is a peak (the narrow spikes too), whatever the value at or below 0.
    const aptrain::Train train = aptrain::Make(9, 40000, 0.0f, kHeight, 0);
    const Channel channel({train.samples});
    EXPECT_EQ(TicksAndValues(channel.Peaks(u"1 30 0")), TicksAndValues(channel.Peaks(u"1 30 -5 0 0 0 0")));
    ASSERT_EQ(channel.Peaks(u"1 30 0").size(), train.peaks.size());
}

TEST(CAPPeakDet, EquivalentReadsOnALongBlock)
{
    const aptrain::Train train =
        aptrain::Make(17, 420000, -80.0f, kHeight, kWidthTicks, {100000, 199999, 300001, 399998});
    const Channel channel({train.samples});
    const auto all = ExpectEquivalentReads<EventPkStm>([&] { return channel.Bound(kText); }, 420000);
    ASSERT_EQ(all.size(), train.peaks.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        ASSERT_EQ(all[i].tick, train.peaks[i].tick);
    }
    for (const LONG boundary : {100000, 199999, 300001, 399998}) {
        EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const EventPkStm& p) { return p.tick == boundary; }))
            << "a peak at " << boundary;
    }
}

TEST(CAPPeakDet, ThresholdAndWidthBoundaries)
{
    // Height 10, width 6 ticks at 1 ms per tick.
    auto peaks = [](std::vector<float> samples, const char16_t* text = u"1 10 6") {
        const Channel channel({samples}, 0.001);
        return TicksAndValues(channel.Peaks(text));
    };
    using Peaks = std::vector<std::pair<LONG, double>>;
    // A constant channel has no peaks.
    EXPECT_EQ(peaks(std::vector<float>(5000, 3.0f)), Peaks{});
    // A rise of exactly the height opens no candidate; just above it does (the fall is long enough either way).
    EXPECT_EQ(peaks(Corners({{0, 0}, {10, 0}, {20, 10}, {60, -20}, {80, -20}})), Peaks{});
    EXPECT_EQ(peaks(Corners({{0, 0}, {10, 0}, {20, 10.5f}, {62, -10.5f}, {80, -10.5f}})), (Peaks{{20, 10.5}}));
    // A fall of exactly the height confirms nothing; just past it does.
    EXPECT_EQ(peaks(Corners({{0, 0}, {20, 20}, {40, 10}, {80, 10}})), Peaks{});
    EXPECT_EQ(peaks(Corners({{0, 0}, {20, 20}, {41, 9.5f}, {80, 9.5f}})), (Peaks{{20, 20}}));
    // The fall completes at the 3rd sample after the maximum (4 per sample: 12 > 10): 2 x 3 = 6 is at the width of
    // 6 ticks, a peak; one tick short of a width of 7, no peak.
    const auto fall3 = Corners({{0, 0}, {20, 40}, {30, 0}, {60, 0}});
    EXPECT_EQ(peaks(fall3, u"1 10 6"), (Peaks{{20, 40}}));
    EXPECT_EQ(peaks(fall3, u"1 10 7"), Peaks{});
    // Milliseconds round to ticks: 6.4 ms is 6 ticks, 6.6 ms is 7.
    EXPECT_EQ(peaks(fall3, u"1 10 6.4"), (Peaks{{20, 40}}));
    EXPECT_EQ(peaks(fall3, u"1 10 6.6"), Peaks{});
    // Two equal maxima: the candidate stays at the first.
    EXPECT_EQ(peaks(Corners({{0, 0}, {20, 40}, {21, 40}, {41, 0}, {60, 0}})), (Peaks{{20, 40}}));
    // A dropped candidate forgets the earlier minimum: after a narrow spike to 20 (width 2 < 6) the search starts
    // afresh at 14, so the later 22 stands only 8 above its minimum and is no peak (it would be one above 0).
    std::vector<float> dropped{0, 0, 0, 5, 10, 15, 20, 5, 14, 18, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12,
                               11, 10, 9,  8,  7,  6,  5, 4, 3,  2,  1,  0,  0,  0,  0,  0};
    EXPECT_EQ(peaks(dropped), Peaks{});
    dropped[7] = 10.5f; // the spike's fall no longer completes at once: 20 stays the candidate and 22 takes over
    EXPECT_EQ(peaks(dropped), (Peaks{{10, 22}}));
}

TEST(CAPPeakDet, PeaksAtRequestEndsAndBlockEnds)
{
    // A peak at tick 20 whose fall completes at tick 25 (4 per sample, height 18).
    const Channel channel({Corners({{0, 0}, {20, 40}, {30, 0}, {200, 0}}),
                           Corners({{0, 0}, {20, 40}, {23, 28}, {24, 28}}),  // the fall never completes
                           Corners({{0, 28}, {10, 0}, {30, 0}})},           // it would complete here
                          0.001);
    const char16_t* text = u"1 18 2";
    ComPtr<ICalcEnum> calc = channel.Bound(text);
    ComPtr<IEnumEventEx> events = Events(calc.Get());
    EventPkStm out[4];
    LONG count = -1;
    LONG next = -1;
    // A request ending at the maximum: the peak is confirmed beyond it and waits for the next request.
    EXPECT_EQ(events->Next(sizeof out, 20, out, &count, &next), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(next, 20);
    // A request ending between the maximum and the sample that completes the fall delivers it.
    EXPECT_EQ(events->Next(sizeof out, 22, out, &count, &next), S_OK);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(out[0].tick, 20);
    EXPECT_EQ(out[0].value, 40.0);
    EXPECT_EQ(events->Next(sizeof out, -1, out, &count, &next), S_FALSE);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(next, 0x7FFFFFFF);
    // A candidate whose fall has not completed at the end of a block is no peak, and the next block starts
    // afresh.
    EXPECT_TRUE(channel.Peaks(text, 1).empty());
    EXPECT_TRUE(channel.Peaks(text, 2).empty());
    // The end tick limit is the end of the samples the detector reads: the sample just before it still counts.
    const Channel fall({Corners({{0, 0}, {20, 40}, {30, 0}, {60, 0}})}, 0.001); // the fall completes at 23
    EXPECT_EQ(fall.Peaks(u"1 10 6 0 0 0 24").size(), 1u);
    EXPECT_TRUE(fall.Peaks(u"1 10 6 0 0 0 23").empty());
    // The same enumerator moved to another block.
    EXPECT_EQ(BindChannel(calc.Get(), *channel.document, 1, 0), S_OK);
    EXPECT_EQ(events->Next(sizeof out, -1, out, &count, &next), S_FALSE);
    EXPECT_EQ(count, 0);
}

// The detector read one sample at a time over a whole block: the peaks as (tick, value).
std::vector<std::pair<LONG, double>> SampleBySample(const std::vector<float>& samples, double height, LONG width)
{
    std::vector<std::pair<LONG, double>> peaks;
    int phase = 0;
    LONG maxTick = 0;
    float minValue = 0;
    float maxValue = 0;
    float troughValue = 0;
    for (LONG t = 0; t < static_cast<LONG>(samples.size()); ++t) {
        const float v = samples[static_cast<std::size_t>(t)];
        if (std::isnan(v)) {
            continue; // a NaN sample changes no level and no phase
        }
        if (phase == 0) {
            maxTick = t;
            minValue = maxValue = troughValue = v;
            phase = 1;
        } else if (phase == 2 && v < troughValue) {
            troughValue = v;
            if (static_cast<double>(maxValue - troughValue) > height) {
                if (2 * (t - maxTick) >= width) {
                    peaks.emplace_back(maxTick, maxValue);
                }
                phase = 0; // the search starts afresh at the next sample
            }
        } else if (v < minValue) {
            maxTick = t;
            minValue = maxValue = v;
            phase = 1;
        } else if (v > maxValue) {
            maxTick = t;
            maxValue = v;
            if (static_cast<double>(maxValue - minValue) > height) {
                troughValue = v;
                phase = 2;
            }
        }
    }
    return peaks;
}

TEST(CAPPeakDet, RunsSkippedInBulkGiveTheSampleBySampleResult)
{
    // Steps of half a unit with a height of whole units: many samples equal the minimum, the maximum or the trough,
    // and many differences equal the height exactly. NaN samples (also as the first sample of a block), infinities
    // and long constant runs; lengths around multiples of 8 and of the 1024-sample reads.
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr float inf = std::numeric_limits<float>::infinity();
    std::mt19937 random(11);
    auto draw = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    std::size_t total = 0;
    for (const int length : {1, 7, 8, 9, 15, 17, 1023, 1024, 1025, 2047, 2049, 3001, 4096, 5003}) {
        for (int kind = 0; kind < 3; ++kind) {
            std::vector<float> samples(static_cast<std::size_t>(length));
            float v = 0;
            for (float& x : samples) {
                const int r = draw(0, 99);
                if (kind == 0) {
                    v += 0.5f * static_cast<float>(r % 7 - 3); // a random walk
                } else if (kind == 1 && r >= 85) {
                    v = 0.5f * static_cast<float>(r % 13 - 6); // long plateaus, jumps
                } else if (kind == 2) {
                    v = 0.5f * static_cast<float>(draw(0, 4)); // bounded: most samples within the range
                }
                x = r < 2 ? nan : (r == 2 && kind == 1 ? (draw(0, 1) ? inf : -inf) : v);
            }
            if (length % 2 == 1) {
                samples[0] = nan;
            }
            const Channel channel({samples}, 0.001);
            for (const int height : {1, 2, 3}) {
                for (const LONG width : {0, 3}) {
                    const auto expected = SampleBySample(samples, height, width);
                    total += expected.size();
                    const std::wstring text = L"1 " + std::to_wstring(height) + L" " + std::to_wstring(width);
                    // One pass, and small buffers with request ends that fall anywhere.
                    for (const auto& [records, step] : {std::pair<ULONG, LONG>{256, 0}, {3, 13}, {1, 509}}) {
                        ComPtr<ICalcEnum> calc = channel.Bound(KVO::String(text).c_str());
                        const auto found = ReadAll<EventPkStm>(Events(calc.Get()).Get(), records, step);
                        std::vector<std::pair<LONG, double>> got;
                        for (const auto& p : found) {
                            got.emplace_back(p.tick, p.value);
                        }
                        ASSERT_EQ(got.size(), expected.size()) << length << " " << kind << " " << height;
                        for (std::size_t i = 0; i < got.size(); ++i) {
                            ASSERT_EQ(got[i].first, expected[i].first) << length << " " << kind << " " << height;
                            ASSERT_EQ(got[i].second, expected[i].second);
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(total, 1000u) << "the signals must hold peaks";
}

TEST(CAPPeakDet, RealisticRecordingsGiveTheSampleBySampleResult)
{
    // Noisy action potentials at 10 kHz with slow plateaus and repolarisations: thresholds from far above the
    // noise down to within it, widths from none to longer than the plateau, and NaN holes.
    benchrec::Recording rec = benchrec::Cardiac(1'500'000, 21);
    for (std::size_t t = 777; t < rec.samples.size(); t += 99991) {
        rec.samples[t] = std::numeric_limits<float>::quiet_NaN();
    }
    const Channel channel({rec.samples}, benchrec::kTickPeriod);
    for (const auto& [height, widthMs] : {std::pair<double, LONG>{30, 50}, {30, 0}, {60, 5}, {100, 0}, {2, 0}, {0.5, 1},
                                          {10, 400}}) {
        const LONG widthTicks = widthMs * 10;
        const auto expected = SampleBySample(rec.samples, height, widthTicks);
        const std::string digits = std::to_string(height) + " " + std::to_string(widthMs);
        const std::u16string text = u"1 " + std::u16string(digits.begin(), digits.end());
        EXPECT_EQ(TicksAndValues(channel.Peaks(text.c_str())), expected) << height << " " << widthMs;
        if (height == 30 && widthMs == 50) {
            EXPECT_GT(expected.size(), 200u);
        }
    }
}

TEST(CAPPeakDet, NaNSamplesInEveryPhaseEndNoDetection)
{
    // Ten triangles: from 0 at 100 k up to 40 at 100 k + 20, down by 4 per tick to 0 at 100 k + 30. With height 10
    // and width 6 ticks each peak's fall completes at 100 k + 23 (40 - 28 > 10, 2 x 3 >= 6).
    std::vector<float> clean;
    std::vector<std::pair<LONG, double>> expected;
    for (int k = 0; k < 10; ++k) {
        const auto triangle = Corners({{0, 0}, {20, 40}, {30, 0}, {99, 0}});
        clean.insert(clean.end(), triangle.begin(), triangle.end());
        expected.emplace_back(100 * k + 20, 40.0);
    }
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    // Where a search starts (the block's first sample, the sample after a confirmed fall), while rising, while a
    // candidate waits for its fall, and on the flat stretch between.
    for (const int offset : {0, 24, 10, 21, 50}) {
        for (const int peak : {0, 4, 9}) {
            std::vector<float> samples = clean;
            samples[static_cast<std::size_t>(100 * peak + offset)] = nan;
            const Channel channel({samples}, 0.001);
            EXPECT_EQ(TicksAndValues(channel.Peaks(u"1 10 6")), expected) << "NaN at " << 100 * peak + offset;
        }
    }
    // NaN everywhere between the peaks.
    std::vector<float> holes = clean;
    for (std::size_t t = 0; t < holes.size(); ++t) {
        if (t % 100 >= 40 || t % 100 < 5) {
            holes[t] = nan;
        }
    }
    const Channel channel({holes}, 0.001);
    EXPECT_EQ(TicksAndValues(channel.Peaks(u"1 10 6")), expected);
}

TEST(CAPPeakDet, ParametersTicksAndRegistration)
{
    // Written back space-separated: the values, then the limits; the text parses to the same.
    ComPtr<ICalcEnum> calc = Make<CAP::Family>(u"1 0.25 12.5 2 1000 3 5000.4");
    KVO::String written;
    {
        IKVOString* text = nullptr;
        ASSERT_EQ(calc->Write(&text), S_OK);
        written.AttachInterface(text);
    }
    EXPECT_EQ(written, u"0.25 12.5 2 1000 3 5000");
    // A Min Height at or below 0 becomes 1e-30; missing values take their defaults (width -1, whole block).
    calc = Make<CAP::Family>(u"1 -4");
    {
        IKVOString* text = nullptr;
        calc->Write(&text);
        written.AttachInterface(text);
    }
    EXPECT_EQ(written, u"1e-30 -1 0 0 2147483647 2147483647");
    // Milliseconds up to DBL_MAX become ticks without overflow: the widest width, so nothing is wide enough.
    calc = Make<CAP::Family>(u"1 10 1.7976931348623157e308");
    const Channel channel({Corners({{0, 0}, {20, 40}, {30, 0}, {60, 0}})}, 0.001);
    ASSERT_EQ(BindChannel(calc.Get(), *channel.document, 0, 0), S_OK);
    const auto* enumerator = dynamic_cast<CAP::Enum*>(static_cast<EEH3::EnumeratorEngine*>(calc.Get()));
    ASSERT_NE(enumerator, nullptr);
    EXPECT_EQ(enumerator->FamilyParams().minWidthTicks, 0x7FFFFFFF);
    EXPECT_TRUE(ReadAll<EventPkStm>(Events(calc.Get()).Get()).empty());
    // The same for a zero tick period.
    ASSERT_EQ(calc->SetSources(0, 0, nullptr, nullptr, 0.0, 0), S_OK);
    EXPECT_EQ(enumerator->FamilyParams().minWidthTicks, 0x7FFFFFFF);
    // Form A rounding: 3 ms at 0.5 ms per tick is trunc(6.5) = 6 ticks.
    calc = Make<CAP::Family>(kText);
    const Channel fine({std::vector<float>(10, 0.0f)}, kTickPeriod);
    ASSERT_EQ(BindChannel(calc.Get(), *fine.document, 0, 0), S_OK);
    EXPECT_EQ(dynamic_cast<CAP::Enum*>(static_cast<EEH3::EnumeratorEngine*>(calc.Get()))->FamilyParams().minWidthTicks,
              6);
    // The family is found by its registered name; 24-byte records.
    EXPECT_NE(EEH3::FindCreator(u"CAPPeakDet"), nullptr);
    EXPECT_EQ(EEH3::FindCreator(u"NoSuchCalc"), nullptr);
    LONG size = 0;
    Events(calc.Get())->GetEventSize(&size);
    EXPECT_EQ(size, 24);
}

} // namespace
