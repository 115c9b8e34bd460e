// The host's peak detection ("LMPeaks") through the evaluator: recall and precision on generated recordings whose
// events are known, and the same events read at once, in chunks, and while the block is being sampled.
#include "synaptic_signals.h"
#include "testhost.h"

#include "tests/engine/enum_harness.h"

#include "host/hoststring.h"
#include "host/lmpeaks.h"
#include "host/peakdetector.h"
#include "host/sampleformula.h"
#include "host/loopmetry.h"
#include "platform/win/codepage.h"
#include "sdk/hostobjects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace enumharness;

namespace {

struct Peak16 {
    std::int32_t tick;
    float offset;
    double value;
};

platform::ComPtr<ICalcEnum> Evaluate(host::DataSource* source, const std::u16string& text)
{
    platform::ComPtr<IChannelData> channelData;
    source->QueryInterface(IID_IChannelData, channelData.OutVoid());
    platform::ComPtr<ICalcEnum> calc;
    EXPECT_EQ(TestHost().Evaluator().CreateInstance(channelData.Get(), calc.Out()), S_OK);
    platform::ComPtr<IKVOString> string = host::MakeString(text);
    DWORD flags = 0;
    EXPECT_EQ(calc->Parse(string.Get(), &flags), S_OK) << platform::Utf16ToUtf8(text);
    return calc;
}

std::vector<Peak16> Detect(host::DataSource* source, const std::u16string& text, double tickPeriod, ULONG buffer = 256,
                           LONG endStep = 0)
{
    auto calc = Evaluate(source, text);
    EXPECT_EQ(calc->SetSources(0, 0, nullptr, nullptr, tickPeriod, 0), S_OK);
    calc->SeekStart(0);
    return ReadAll<Peak16>(Events(calc.Get()).Get(), buffer, endStep);
}

std::vector<double> Times(const std::vector<Peak16>& peaks, double tickPeriod)
{
    std::vector<double> times;
    for (const Peak16& p : peaks) {
        times.push_back((p.tick + p.offset) * tickPeriod);
    }
    return times;
}

// A new calculation channel of the source; its number.
std::int32_t AddCalculationChannel(host::DataSource* source)
{
    BSTR name = nullptr;
    std::int32_t pair[2] = {};
    source->GetChartData().Calculations().AddChannel(0, VARIANT_TRUE, 0, &name, pair);
    SysFreeString(name);
    return pair[0];
}

} // namespace

// The event text that a preset of the extension builds over channel 1.
std::u16string PresetText(const char16_t* name)
{
    host::LMDocExtension extension;
    LONG index = -1;
    VARIANT_BOOL found = VARIANT_FALSE;
    extension.FindPresetByName(name, &index, &found);
    EXPECT_EQ(found, VARIANT_TRUE) << platform::Utf16ToUtf8(name);
    platform::ComPtr<ILMDetectionSettings> settings;
    extension.GetPreset(index, settings.Out());
    BSTR text = nullptr;
    EXPECT_EQ(settings->BuildCalculationText(u"ch1", 0, -1, static_cast<LONG>(0xC0000000), &text), S_OK);
    std::u16string result(text);
    SysFreeString(text);
    return result;
}

TEST(LMPeaks, FindsGeneratedEventsAtThePresets)
{
    struct Case {
        const char16_t* preset;
        signals::Shape shape;
        int sign;
        double lowest; // smallest event height in noise SDs
        double early;  // how far before (negative) and after the true time a detection still counts
        double late;
    };
    const Case cases[] = {
        {u"General peaks", signals::Shape::Peak, 1, 8.0, -0.001, 0.001},
        {u"Synaptic currents", signals::Shape::SynapticCurrent, -1, 8.0, -0.001, 0.003},
        {u"Synaptic potentials", signals::Shape::SynapticPotential, 1, 8.0, -0.001, 0.006},
        {u"Action potentials", signals::Shape::Peak, 1, 14.0, -0.001, 0.001},
    };
    for (const Case& c : cases) {
        const std::u16string text = PresetText(c.preset);
        for (std::uint32_t seed : {7u, 23u}) {
            const signals::Recording r = signals::Make(c.shape, 30.0, c.sign, seed, c.lowest);
            auto source = SourceOf(OneChannel({r.samples}, r.tickPeriod));
            const auto found = Detect(source.Get(), text, r.tickPeriod);
            const signals::Score score = signals::Match(r.times, Times(found, r.tickPeriod), c.early, c.late);
            const std::string what = platform::Utf16ToUtf8(c.preset) + " seed " + std::to_string(seed) + ": " +
                                     std::to_string(found.size()) + " found of " + std::to_string(r.times.size());
            EXPECT_GT(score.recall, 0.98) << what;
            EXPECT_GT(score.precision, 0.98) << what;
        }
    }
}

// Downward peaks with an absolute threshold: the same events as upward ones of the negated recording.
TEST(LMPeaks, DirectionAndAbsoluteThresholdMirror)
{
    const signals::Recording up = signals::Make(signals::Shape::Peak, 10.0, 1, 5);
    signals::Recording down = up;
    for (float& v : down.samples) {
        v = -v;
    }
    auto upSource = SourceOf(OneChannel({up.samples}, up.tickPeriod));
    auto downSource = SourceOf(OneChannel({down.samples}, down.tickPeriod));
    const auto a = Detect(upSource.Get(), u"lmpeaks( ch1, 1, 0, 5, 0.005 )", up.tickPeriod);
    const auto b = Detect(downSource.Get(), u"lmpeaks( ch1, -1, 0, 5, 0.005 )", up.tickPeriod);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].tick, b[i].tick);
        EXPECT_EQ(a[i].offset, b[i].offset);
        EXPECT_EQ(a[i].value, -b[i].value);
    }
    EXPECT_GT(signals::Match(up.times, Times(a, up.tickPeriod), -0.001, 0.001).recall, 0.98);
}

// The same bytes whether the block is read at once, in small requests with end ticks, or while it grows.
TEST(LMPeaks, SameEventsAtOnceInChunksAndWhileSampling)
{
    const signals::Recording r = signals::Make(signals::Shape::SynapticCurrent, 12.0, -1, 3);
    const std::u16string text = PresetText(u"Synaptic currents");
    auto whole = SourceOf(OneChannel({r.samples}, r.tickPeriod));
    const auto all = Detect(whole.Get(), text, r.tickPeriod, 4096);
    ASSERT_GT(all.size(), 50u);
    ExpectSameEvents(all, Detect(whole.Get(), text, r.tickPeriod, 3, 777), "small requests");

    // Sampling: blocks of samples of varied sizes arrive between reads.
    auto document = host::Document::Create();
    document->AddChannel(u"Im", u"pA");
    const int block = document->AddBlock(r.tickPeriod, true);
    auto growing = SourceOf(document);
    auto calc = Evaluate(growing.Get(), text);
    ASSERT_EQ(calc->SetSources(block, 0, nullptr, nullptr, r.tickPeriod, kStopAtGapFlag), S_OK);
    calc->SeekStart(0);
    auto events = Events(calc.Get());
    std::vector<Peak16> seen;
    std::vector<Peak16> buffer(16);
    std::size_t at = 0;
    std::size_t step = 1;
    LONG position = 0;
    HRESULT hr = S_OK;
    while (hr == S_OK) {
        if (at < r.samples.size()) {
            step = step * 7 % 5003 + 1; // 1 to 5003 samples at a time
            const std::size_t n = std::min(step, r.samples.size() - at);
            document->Append(block, 0, std::span<const float>(r.samples).subspan(at, n));
            at += n;
            if (at == r.samples.size()) {
                document->FinishBlock(block);
            }
        }
        LONG count = 0;
        LONG next = 0;
        do {
            hr = events->Next(static_cast<ULONG>(buffer.size() * sizeof(Peak16)), -1, buffer.data(), &count, &next);
            ASSERT_TRUE(hr == S_OK || hr == S_FALSE);
            seen.insert(seen.end(), buffer.begin(), buffer.begin() + count);
            ASSERT_GE(next, position) << "the position moved back";
            position = next;
        } while (hr == S_OK && count == static_cast<LONG>(buffer.size()));
        // Nothing reported so far lies at or after the position still to come.
        if (!seen.empty() && hr == S_OK) {
            ASSERT_LT(seen.back().tick, position);
        }
    }
    ExpectSameEvents(all, seen, "while sampling");

    // Starting later gives the tail of the same events.
    auto later = Evaluate(whole.Get(), text);
    ASSERT_EQ(later->SetSources(0, 0, nullptr, nullptr, r.tickPeriod, 0), S_OK);
    const LONG start = all[all.size() / 2].tick;
    later->SeekStart(start);
    ExpectSameEvents(std::vector<Peak16>(all.begin() + static_cast<std::ptrdiff_t>(all.size() / 2), all.end()),
                     ReadAll<Peak16>(Events(later.Get()).Get(), 64), "from the middle");
}

// A peak a few milliseconds into a block is found whatever the noise window: the baseline is estimated before the
// window's first refresh too. The peaks stand 20 noise SDs high over Gaussian noise; their ticks are the truth.
TEST(LMPeaks, FindsAPeakEarlyInTheBlock)
{
    constexpr double kTickPeriod = 0.0001;
    const std::vector<std::int32_t> truth = {40, 300, 2600, 7000};
    std::vector<float> samples(9000);
    std::mt19937 random(17);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = noise(random);
        for (const std::int32_t peak : truth) {
            const double k = static_cast<double>(static_cast<std::int32_t>(i) - peak);
            samples[i] += static_cast<float>(20.0 * std::exp(-k * k / 8.0));
        }
    }
    for (const double window : {0.05, 0.2, 0.5, 2.0}) {
        host::PeakDetectionParams params;
        params.noiseWindow = window;
        params.minInterval = 0.005;
        host::PeakDetector detector(params, kTickPeriod);
        std::vector<host::DetectedPeak> found;
        for (const float sample : samples) {
            detector.Feed(sample, found);
        }
        detector.Finish(found);
        ASSERT_EQ(found.size(), truth.size()) << "window " << window;
        for (std::size_t i = 0; i < truth.size(); ++i) {
            EXPECT_NEAR(found[i].tick + found[i].offset, truth[i], 1.0) << "window " << window << ", peak " << i;
        }
    }
}

// Samples fed one at a time, in chunks of varied sizes or all at once give the same peaks, bit for bit, also where
// runs of samples that are not numbers fall on the ticks at which the baseline is due to be estimated (the estimate is
// then passed over) and on rising edges. With and without the transform (whose slopes over a gap are ticks without a
// value), in both directions.
TEST(LMPeaks, SameEventsWhateverTheChunksAcrossGapsAtEstimates)
{
    const signals::Recording r = signals::Make(signals::Shape::Peak, 6.0, 1, 11);
    std::vector<float> gapped = r.samples;
    // 0.2 s windows at 10 kHz are re-estimated every 250 ticks: gaps start on such ticks and just before them.
    for (std::size_t at = 2000; at + 400 < gapped.size(); at += 2750) {
        const std::size_t start = (at / 250) * 250 - (at / 2750) % 3;
        std::fill_n(gapped.begin() + static_cast<std::ptrdiff_t>(start), 1 + (at / 250) % 300, NAN);
    }
    for (const int transform : {0, 1}) {
        for (const int direction : {1, -1}) {
            std::vector<float> samples = gapped;
            for (float& sample : samples) {
                sample *= static_cast<float>(direction);
            }
            host::PeakDetectionParams params;
            params.direction = direction;
            params.transform = transform;
            params.height = 4.0;
            params.noiseWindow = 0.2;
            const auto run = [&](std::size_t chunk) {
                host::PeakDetector detector(params, r.tickPeriod);
                std::vector<host::DetectedPeak> found;
                for (std::size_t i = 0; i < samples.size(); i += chunk, chunk = chunk * 5 % 997 + 1) {
                    detector.Feed(samples.data() + i, std::min(chunk, samples.size() - i), found);
                }
                detector.Finish(found);
                return found;
            };
            host::PeakDetector single(params, r.tickPeriod);
            std::vector<host::DetectedPeak> one;
            for (const float sample : samples) {
                single.Feed(sample, one);
            }
            single.Finish(one);
            EXPECT_GT(one.size(), 20u) << "transform " << transform << ", direction " << direction;
            for (const std::size_t chunk : {std::size_t{3}, samples.size()}) {
                const auto other = run(chunk);
                ASSERT_EQ(other.size(), one.size()) << "transform " << transform << ", direction " << direction;
                EXPECT_EQ(std::memcmp(other.data(), one.data(), one.size() * sizeof(host::DetectedPeak)), 0)
                    << "transform " << transform << ", direction " << direction << ", chunk " << chunk;
            }
        }
    }
}

// A calculation channel whose text is the smoothed slope of a channel gives samples: on a parabola the slope is
// known exactly, none before the first 2 w ticks; read from a later tick it is the same; its unit is per second.
TEST(SampleFormulas, TheSlopeChannelGivesTheSlopeOfItsSource)
{
    constexpr double dt = 0.001;
    std::vector<float> samples(600);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) * dt;
        samples[i] = static_cast<float>(3.0 * t * t - 0.5 * t + 0.25);
    }
    auto source = SourceOf(OneChannel({samples}, dt));
    host::CalcChannels& channels = source->GetChartData().Calculations();
    const LONG slopeChannel = AddCalculationChannel(source.Get());
    ASSERT_TRUE(channels.SetText(slopeChannel, u"LMSlope( Ch1 , 0.004 )"));
    EXPECT_EQ(source->Sort({slopeChannel, false, false}), host::ChannelSort::Samples);
    ASSERT_TRUE(channels.SetText(slopeChannel, u"lmslope( ch1, 0.004 )"));

    const auto read = [&](LONG start) {
        platform::ComPtr<IUnknown> opened;
        EXPECT_EQ(source->OpenEnum(0x40000000u, slopeChannel, start, 0, 0x7FFFFFFF, 0, opened.Out()), S_OK);
        platform::ComPtr<IEnumFloatEx> values;
        opened->QueryInterface(IID_IEnumFloatEx, values.OutVoid());
        std::vector<float> out(700, -1.0f);
        LONG count = 0;
        EXPECT_EQ(values->Read(700, out.data(), &count), S_OK);
        out.resize(static_cast<std::size_t>(count));
        LONG more = -1;
        EXPECT_TRUE(FAILED(values->Read(10, out.data(), &more))) << "the record ends";
        return out;
    };
    const std::vector<float> slope = read(0);
    ASSERT_EQ(slope.size(), samples.size());
    constexpr int w = 4;
    for (int t = 0; t < 2 * w - 1; ++t) {
        EXPECT_TRUE(std::isnan(slope[static_cast<std::size_t>(t)])) << t;
    }
    for (int t = 2 * w - 1; t < static_cast<int>(slope.size()); ++t) {
        // The means of the newer and older w samples lie w ticks apart: their difference over w dt is the slope at
        // t - w + 1/2 for a parabola.
        const double centre = (t - w + 0.5) * dt;
        EXPECT_NEAR(slope[static_cast<std::size_t>(t)], 6.0 * centre - 0.5, 2e-3) << t;
    }
    const std::vector<float> later = read(250);
    ASSERT_EQ(later.size(), samples.size() - 250);
    for (std::size_t i = 0; i < later.size(); ++i) {
        EXPECT_EQ(later[i], slope[i + 250]) << i;
    }
    ASSERT_EQ(source->CalculatedSamples(slopeChannel, 0)->size(), samples.size());

    platform::ComPtr<IUnknown> unit;
    ASSERT_EQ(source->GetValueEnum(0x40002000u, 0, slopeChannel, unit.Out()), S_OK);
    platform::ComPtr<IEnumUnit> units;
    unit->QueryInterface(IID_IEnumUnit, units.OutVoid());
    EXPECT_TRUE(units);

    // Texts that are no formula of samples stay calculations of events, or are refused.
    for (const char16_t* text : {u"lmslope( ch1, 0 )", u"lmslope( vch1, 0.004 )", u"lmslope( ch1 )",
                                 u"lmslope( ch1, 0.004 ) x"}) {
        EXPECT_FALSE(host::ParseSampleFormula(text)) << platform::Utf16ToUtf8(text);
    }
    ASSERT_TRUE(channels.SetText(slopeChannel, u"lmslope( ch9, 0.004 )"));
    EXPECT_EQ(source->Sort({slopeChannel, false, false}), host::ChannelSort::Missing) << "no such source";
    const std::string own = std::to_string(slopeChannel + 1);
    ASSERT_TRUE(channels.SetText(slopeChannel, u"lmslope( ch" + std::u16string(own.begin(), own.end()) + u", 0.004 )"));
    EXPECT_EQ(source->Sort({slopeChannel, false, false}), host::ChannelSort::Missing) << "a ring";
    platform::ComPtr<IUnknown> none;
    EXPECT_TRUE(FAILED(source->OpenEnum(0x40000000u, slopeChannel, 0, 0, 0x7FFFFFFF, 0, none.Out())));
}

// Detection over the slope channel with the transform off gives the very events that the detection with its own
// transform finds over the source, and the analysis of a transforming detection reads them through the detector
// stage's channel: on recordings quantised by an analogue-to-digital converter and kept in base units, whose slopes
// a float cannot hold exactly, and across samples that are not finite.
TEST(SampleFormulas, DetectionOverTheSlopeChannelIsTheTransformingDetection)
{
    struct Case {
        std::uint32_t seed;
        double unit;    // base units of one noise SD
        double quantum; // the converter's step in base units
    };
    const Case cases[] = {{11u, 1.0, 0.0}, {11u, 2e-12, 2e-12}, {5u, 2e-12, 2e-12}, {23u, 1e-12, 0.5e-12},
                          {7u, 3e-4, 1e-4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "seed " << c.seed << ", step " << c.quantum);
        signals::Recording r = signals::Make(signals::Shape::SynapticCurrent, 60.0, -1, c.seed);
        for (float& sample : r.samples) {
            const double value = sample * c.unit;
            sample = static_cast<float>(c.quantum > 0.0 ? std::round(value / c.quantum) * c.quantum : value);
        }
        for (const std::size_t at : {std::size_t{52000}, std::size_t{130007}}) {
            std::fill_n(r.samples.begin() + static_cast<std::ptrdiff_t>(at), 1 + at % 97, NAN);
        }
        auto source = SourceOf(OneChannel({r.samples}, r.tickPeriod));
        host::CalcChannels& channels = source->GetChartData().Calculations();
        channels.SetFirstNumber(1000);
        const std::int32_t slopeChannel = AddCalculationChannel(source.Get());
        ASSERT_TRUE(channels.SetText(slopeChannel, u"lmslope( ch1, 0.0005 )"));
        const std::string number = std::to_string(slopeChannel + 1);
        const std::u16string slopeToken = u"ch" + std::u16string(number.begin(), number.end());

        const auto direct = Detect(source.Get(), u"lmpeaks( ch1, -1, 1, 5, 0.005, 1, 0.0005, 0.5 )", r.tickPeriod);
        const auto staged =
            Detect(source.Get(), u"lmpeaks( " + slopeToken + u", -1, 1, 5, 0.005, 0, 0.0005, 0.5 )", r.tickPeriod);
        ASSERT_GT(direct.size(), 100u);
        ASSERT_EQ(staged.size(), direct.size());
        std::size_t otherTicks = 0;
        std::size_t otherPlaces = 0; // of the same tick
        std::string first;
        for (std::size_t i = 0; i < direct.size(); ++i) {
            const bool sameTick = staged[i].tick == direct[i].tick;
            const bool same = sameTick && std::memcmp(&staged[i], &direct[i], sizeof(Peak16)) == 0;
            otherTicks += sameTick ? 0 : 1;
            otherPlaces += sameTick && !same ? 1 : 0;
            if (!same && first.empty()) {
                std::ostringstream text;
                text.precision(17);
                text << "first at " << direct[i].tick << " + " << direct[i].offset << " of value " << direct[i].value
                     << ": " << staged[i].tick << " + " << staged[i].offset << " of value " << staged[i].value;
                first = text.str();
            }
        }
        EXPECT_EQ(otherTicks, 0u) << "of " << direct.size() << "; " << first;
        EXPECT_EQ(otherPlaces, 0u) << "of " << direct.size() << "; " << first;
    }
}

// The smoothed slope of a ramp is the ramp's slope; a sample that is not finite leaves no slope while it lies in the
// 2 w samples of one and the ramp's slope again from 2 w samples after it on, fed one at a time, in chunks, and read
// from a slope channel.
TEST(SampleFormulas, TheSlopeComesBackAfterASampleThatIsNotFinite)
{
    constexpr double dt = 0.001;
    constexpr std::int32_t w = 5;
    constexpr double ramp = 250.0; // 0.25 a tick
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        std::vector<std::size_t> at; // where the samples that are not finite lie
        float bad;
    };
    const Case cases[] = {{{100}, nan}, {{100}, inf}, {{100}, -inf}, {{100, 104}, nan}, {{100, 107}, inf},
                          {{0}, nan},   {{3, 250}, nan}, {{13}, -inf}};
    for (const Case& c : cases) {
        std::vector<float> samples(400);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = 3.0f + 0.25f * static_cast<float>(i);
        }
        for (const std::size_t at : c.at) {
            samples[at] = c.bad;
        }
        const auto noSlope = [&](std::size_t i) {
            return i + 1 < 2 * w ||
                   std::any_of(c.at.begin(), c.at.end(), [&](std::size_t at) { return i >= at && i < at + 2 * w; });
        };
        const std::string what = "bad " + std::to_string(c.bad) + " at " + std::to_string(c.at.front());

        host::SmoothedSlope one(w, dt);
        std::vector<double> single(samples.size(), -1.0);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            double slope = -1.0;
            if (one.Next(samples[i], slope)) {
                single[i] = slope;
            }
            if (i + 1 < 2 * w) {
                EXPECT_EQ(single[i], -1.0) << what << ", tick " << i;
            } else if (noSlope(i)) {
                EXPECT_TRUE(std::isnan(single[i])) << what << ", tick " << i;
            } else {
                EXPECT_NEAR(single[i], ramp, 1e-9) << what << ", tick " << i;
            }
        }
        for (const std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{7}, samples.size()}) {
            host::SmoothedSlope chunked(w, dt);
            std::vector<double> slopes(samples.size());
            std::size_t made = 0;
            for (std::size_t i = 0; i < samples.size(); i += chunk) {
                made += chunked.Next(samples.data() + i, std::min(chunk, samples.size() - i), slopes.data() + made);
            }
            ASSERT_EQ(made, samples.size() - (2 * w - 1)) << what;
            EXPECT_EQ(std::memcmp(slopes.data(), single.data() + (2 * w - 1), made * sizeof(double)), 0)
                << what << ", chunk " << chunk;
        }
    }

    // The slope channel of a ramp with a gap.
    std::vector<float> samples(300);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = 3.0f + 0.25f * static_cast<float>(i);
    }
    std::fill_n(samples.begin() + 120, 30, nan);
    auto source = SourceOf(OneChannel({samples}, dt));
    const std::int32_t slopeChannel = AddCalculationChannel(source.Get());
    ASSERT_TRUE(source->GetChartData().Calculations().SetText(slopeChannel, u"lmslope( ch1, 0.005 )"));
    platform::ComPtr<IUnknown> opened;
    ASSERT_EQ(source->OpenEnum(0x40000000u, slopeChannel, 0, 0, 0x7FFFFFFF, 0, opened.Out()), S_OK);
    platform::ComPtr<IEnumFloatEx> values;
    opened->QueryInterface(IID_IEnumFloatEx, values.OutVoid());
    std::vector<float> slope(samples.size());
    LONG count = 0;
    ASSERT_EQ(values->Read(static_cast<LONG>(slope.size()), slope.data(), &count), S_OK);
    ASSERT_EQ(count, static_cast<LONG>(samples.size()));
    for (std::size_t i = 0; i < slope.size(); ++i) {
        if (i + 1 < 2 * w || (i >= 120 && i < 150 + 2 * w - 1)) {
            EXPECT_TRUE(std::isnan(slope[i])) << i;
        } else {
            EXPECT_FLOAT_EQ(slope[i], static_cast<float>(ramp)) << i;
        }
    }
}

// Synaptic currents found over the slope after a gap in the recording (samples that are not numbers) as well as
// before it: the generated events' onsets are the truth.
TEST(LMPeaks, FindsSynapticEventsOverTheSlopeAfterAGap)
{
    signals::Recording r = signals::Make(signals::Shape::SynapticCurrent, 12.0, -1, 31);
    constexpr double gapStart = 4.0;
    constexpr double gapEnd = 4.05;
    std::fill(r.samples.begin() + static_cast<std::ptrdiff_t>(gapStart / r.tickPeriod),
              r.samples.begin() + static_cast<std::ptrdiff_t>(gapEnd / r.tickPeriod),
              std::numeric_limits<float>::quiet_NaN());
    auto source = SourceOf(OneChannel({r.samples}, r.tickPeriod));
    const std::vector<double> found = Times(Detect(source.Get(), PresetText(u"Synaptic currents"), r.tickPeriod),
                                            r.tickPeriod);
    // Events whose shape the gap cuts are left out of the score on both sides.
    const auto split = [&](const std::vector<double>& times, bool after) {
        std::vector<double> part;
        for (const double t : times) {
            if (after ? t > gapEnd + 0.01 : t < gapStart - 0.04) {
                part.push_back(t);
            }
        }
        return part;
    };
    for (const bool after : {false, true}) {
        const std::vector<double> truth = split(r.times, after);
        ASSERT_GT(truth.size(), 20u);
        const signals::Score score = signals::Match(truth, split(found, after), -0.001, 0.003);
        EXPECT_GT(score.recall, 0.98) << (after ? "after" : "before") << " the gap";
        EXPECT_GT(score.precision, 0.98) << (after ? "after" : "before") << " the gap";
    }
}

// The noise window's median and median absolute deviation, selected from the values of a few bins, are exactly those
// of a full sort of the window's values: the element of rank n/2 of the values and of their distances from it. Values
// of Gaussian noise on drifts and steps, with ties (samples quantised to a few levels), constant stretches, single-
// precision and double values, jumps of level and spread, far outliers, subnormal spreads, infinities and (later)
// NaN; estimates at irregular intervals; windows that fill and slide.
TEST(LMPeaks, NoiseWindowSelectsTheExactMedianAndDeviation)
{
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0.0, 1.0);
    const auto fullSort = [](std::vector<double> values, double& median, double& deviation) {
        std::sort(values.begin(), values.end());
        median = values[values.size() / 2];
        for (double& v : values) {
            v = std::abs(v - median);
        }
        std::sort(values.begin(), values.end());
        deviation = values[values.size() / 2];
    };
    for (const std::int32_t capacity : {1, 7, 32, 100, 1000, 5003}) {
        for (int kind = 0; kind < 8; ++kind) {
            host::NoiseWindow window(capacity);
            std::vector<double> all;
            double median = 0.0;
            double deviation = 0.0;
            int checked = 0;
            const int count = 12 * std::max(capacity, 64);
            for (int i = 0; i < count; ++i) {
                double value = noise(random);
                switch (kind) {
                case 0: value = static_cast<float>(value + i * 1e-3); break;          // drift, single precision
                case 1: value = std::round(value * 2.0) + (i / 500 % 2) * 30.0; break; // ties, steps
                case 2: value = (i / 300) % 3 == 0 ? 4.0 : value * 1e-6 - 1e6; break;  // constant stretches
                case 3: value = i % 997 == 0 ? -INFINITY : (2 * i > count && i % 1409 == 0 ? NAN : value); break;
                case 4: value = value * std::exp(-i / 3000.0) + std::sin(i / 700.0); break; // double precision
                case 5: value = value * (i / 2500 % 2 ? 30.0 : 0.5) + (i / 1700 % 3) * 80.0; break; // jumps, spreads
                case 6: value = i % 11 == 0 ? value * 1e3 + 5e3 : (i % 13 == 0 ? -1e300 : value); break; // outliers
                default: value = value * 1e-310 + (i % 2) * 1e-300; break; // subnormal spread
                }
                // Estimates before the value arrives, at irregular intervals as early and regular refreshes fall.
                if (window.Size() > 0 && (i % (capacity / 8 + 1) == 0 || random() % 97 == 0)) {
                    double expectMedian = 0.0;
                    double expectDeviation = 0.0;
                    const std::size_t size = window.Size();
                    const std::vector<double> held(all.end() - static_cast<std::ptrdiff_t>(size), all.end());
                    window.Estimate(median, deviation);
                    // A full sort's order of NaN is its own: windows with NaN are estimated, not compared.
                    if (std::none_of(held.begin(), held.end(), [](double v) { return std::isnan(v); })) {
                        fullSort(held, expectMedian, expectDeviation);
                        ASSERT_EQ(median, expectMedian) << "capacity " << capacity << ", kind " << kind << ", value " << i;
                        // A window of infinities only has the distance inf - inf: NaN for both.
                        ASSERT_TRUE(deviation == expectDeviation || (std::isnan(deviation) && std::isnan(expectDeviation)))
                            << "capacity " << capacity << ", kind " << kind << ", value " << i;
                        ++checked;
                    }
                }
                window.Push(value);
                all.push_back(value);
            }
            EXPECT_GT(checked, 8) << "capacity " << capacity << ", kind " << kind;
        }
    }
}

// The smoothed slope taken a chunk at a time, where runs of ticks whose sums are provably exact doubles are added in
// another order, is the slope taken one sample at a time, bit for bit, for any chunks: over ADC steps, float noise on
// a drift, values near zero with low bits far below the others', huge and tiny magnitudes, sums that cancel to zero
// with -0 samples, subnormal floats, sums that carry rounding from earlier samples, steps far beyond the exact range of
// the quiet samples before them, gaps, and samples given as doubles no float holds. Both ways are taken.
TEST(SampleFormulas, ChunksGiveTheSlopesOfOneSampleAtATimeBitForBit)
{
    std::mt19937 random(46);
    std::normal_distribution<double> noise(0.0, 1.0);
    const auto gauss = [&] { return noise(random); };
    constexpr std::size_t length = 24000;
    struct Signal {
        std::string name;
        std::vector<float> samples;
        bool atOnce = true;  // some ticks are taken at once
        bool inTurn = false; // and runs of them in turn
    };
    std::vector<Signal> signals;
    const auto make = [&](std::string name, bool atOnce, bool inTurn, auto value) {
        Signal s{std::move(name), std::vector<float>(length), atOnce, inTurn};
        for (std::size_t i = 0; i < length; ++i) {
            s.samples[i] = value(i);
        }
        signals.push_back(std::move(s));
    };
    make("ADC steps", true, false, [&](std::size_t i) {
        return static_cast<float>(std::round(200.0 * std::sin(i / 300.0) + 3.0 * gauss()) * 0x1p-12 + 0.5);
    });
    make("noise on a drift", true, false, [&](std::size_t i) {
        return static_cast<float>(30.0 + 3.0 * std::sin(i / 1700.0) + 0.002 * i + gauss());
    });
    make("near zero", true, true, [&](std::size_t i) {
        return static_cast<float>(i % 397 == 0 ? 1e-12 * gauss() : 1e-3 * gauss());
    });
    make("huge and tiny", true, true, [&](std::size_t i) {
        const double scale[] = {1e30, 1e-30, 1.0, 3e12};
        return static_cast<float>(scale[(i / 1500) % 4] * gauss() * (i % 1000 == 0 ? 1e-20 : 1.0));
    });
    make("cancelling to zero", true, false, [&](std::size_t i) {
        const float a = static_cast<float>(1 + (i / 700) % 5) * 0.375f;
        switch ((i / 350) % 4) {
        case 0: return i % 2 == 0 ? a : -a;    // the sums cancel to zero at every other tick
        case 1: return i % 3 == 0 ? -0.0f : 0.0f; // zeros of both signs
        case 2: return -0.0f;
        default: return (i / 5) % 2 == 0 ? a : -a; // whole windows that cancel
        }
    });
    make("subnormal", true, false, [&](std::size_t i) {
        return static_cast<float>((i / 2000) % 2 == 0 ? 1e-42 * gauss() : 1e-38 * gauss());
    });
    make("rounding carried", true, true, [&](std::size_t i) {
        // Large samples with a tiny one now and then round the sums; the quantised stretch after them is taken
        // at once with sums that still carry that rounding.
        if (i < length / 2) {
            return static_cast<float>(i % 777 == 0 ? 1e-3 * gauss() : 1e6 + 100.0 * gauss());
        }
        return static_cast<float>(std::round(40.0 * gauss()) * 0x1p-8);
    });
    make("steps", true, true, [&](std::size_t i) {
        return static_cast<float>((i / 900) % 3 == 2 ? 0x1p27 * (1.0 + 0.01 * gauss()) : gauss());
    });
    make("gaps", true, false, [&](std::size_t i) {
        const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity()};
        // Single samples, one soon after the end of another's gap, and a run of them.
        const std::size_t at = i % 2111;
        if (at == 5 || at == 22 || at == 195 || at == 905 || (i > 9000 && i < 9040)) {
            return bad[i % 3];
        }
        return static_cast<float>(2.0 + gauss());
    });

    bool bothWays = false;
#if defined(__x86_64__) && defined(__GNUC__)
    bothWays = __builtin_cpu_supports("avx2") != 0; // elsewhere all ticks are taken in turn
#endif
    const std::size_t chunks[] = {1, 7, 16, 33, 256, 1000, 4096, length};
    for (const std::int32_t w : {1, 2, 5, 64, 300}) {
        for (const Signal& signal : signals) {
            const std::string what = signal.name + ", w " + std::to_string(w);
            host::SmoothedSlope one(w, 1e-4);
            std::vector<double> single;
            for (const float sample : signal.samples) {
                double slope = 0.0;
                if (one.Next(sample, slope)) {
                    single.push_back(slope);
                }
            }
            for (const std::size_t chunk : chunks) {
                host::SmoothedSlope chunked(w, 1e-4);
                std::vector<double> slopes(length);
                std::size_t made = 0;
                // Each chunk in a buffer of its own, after values that are not the samples before it.
                std::vector<float> buffer(1000, 12345.0f);
                for (std::size_t i = 0; i < length; i += chunk) {
                    const std::size_t n = std::min(chunk, length - i);
                    buffer.resize(1000 + n);
                    std::copy_n(signal.samples.begin() + static_cast<std::ptrdiff_t>(i), n, buffer.begin() + 1000);
                    made += chunked.Next(buffer.data() + 1000, n, slopes.data() + made);
                }
                ASSERT_EQ(made, single.size()) << what << ", chunk " << chunk;
                const auto differ = std::mismatch(single.begin(), single.end(), slopes.begin(), [](double a, double b) {
                    return std::memcmp(&a, &b, sizeof a) == 0;
                });
                ASSERT_TRUE(differ.first == single.end())
                    << what << ", chunk " << chunk << ": slope " << (differ.first - single.begin()) << " is "
                    << *differ.second << ", one at a time " << *differ.first;
                EXPECT_EQ(chunked.Unknown(), one.Unknown()) << what << ", chunk " << chunk;
                if (bothWays && chunk == length && w <= 64) {
                    // A record's first ticks, its last few and those after a gap are always taken in turn.
                    const std::size_t inTurn = made - chunked.AtOnce() - chunked.Unknown();
                    EXPECT_EQ(chunked.AtOnce() > 0, signal.atOnce) << what;
                    EXPECT_EQ(inTurn > 200, signal.inTurn) << what << ": " << inTurn << " in turn";
                }
            }
        }
    }

    // Samples given as doubles that no float holds, then chunks: the ring's samples are not floats at first.
    for (const std::int32_t w : {1, 5, 64}) {
        host::SmoothedSlope one(w, 1e-3);
        host::SmoothedSlope chunked(w, 1e-3);
        std::vector<double> single;
        std::vector<double> slopes(length);
        std::size_t made = 0;
        for (std::size_t i = 0; i < 500; ++i) {
            // Whole multiples of 2^-30: the sums are exact still when floats follow.
            const double sample = std::round((0.1 * static_cast<double>(i % 17) + gauss()) * 0x1p30) * 0x1p-30;
            double slope = 0.0;
            if (one.Next(sample, slope)) {
                single.push_back(slope);
            }
            made += chunked.Next(sample, slopes[made]) ? 1 : 0;
        }
        const std::vector<float>& rest = signals[1].samples;
        for (const float sample : rest) {
            double slope = 0.0;
            if (one.Next(sample, slope)) {
                single.push_back(slope);
            }
        }
        slopes.resize(made + rest.size());
        for (std::size_t i = 0; i < rest.size(); i += 4096) {
            made += chunked.Next(rest.data() + i, std::min<std::size_t>(4096, rest.size() - i), slopes.data() + made);
        }
        ASSERT_EQ(made, single.size()) << "w " << w;
        EXPECT_EQ(std::memcmp(slopes.data(), single.data(), made * sizeof(double)), 0) << "w " << w;
        if (bothWays) {
            EXPECT_GT(chunked.AtOnce(), rest.size() / 2) << "w " << w;
        }
    }
}

// Where 0 and -0 both stand at the median, the window gives the one that selecting the element of the median's rank
// among the values of the median's bin, taken in the order they arrived, gives: the zero's sign is that of the
// events' offsets and values ever since. Spread values, a third of them zeros of either sign, stretches of them
// quantised; windows that take the bins and the full sort; the signs recorded from that selection.
TEST(LMPeaks, NoiseWindowPicksTheSameOfTwoZerosAsEver)
{
    std::string signs;
    for (const std::int32_t capacity : {600, 1000, 2000}) {
        std::mt19937 random(11);
        host::NoiseWindow window(capacity);
        for (int i = 0; i < 4 * capacity; ++i) {
            if (window.Size() > 0 && (i % (capacity / 8) == 0 || random() % 89 == 0)) {
                double median = 0.0;
                double deviation = 0.0;
                window.Estimate(median, deviation);
                if (median == 0.0) {
                    signs += std::signbit(median) ? '-' : '+';
                }
            }
            double value = (static_cast<double>(random() % 2001) - 1000.0) * (i / 1500 % 2 ? 0.0015 : 0.004);
            if (i / 2500 % 2 == 1) {
                value = std::round(value * 4.0) * 0.25;
            }
            if (random() % 3 == 0) {
                value = random() % 2 == 0 ? -0.0 : 0.0;
            }
            window.Push(value);
        }
    }
    EXPECT_EQ(signs, "-+++++-+--++-+--+-++++-+-++-+++++-++-++++-+++++-+++--+++-+--+---+-----+-++++--+-"
                     "---+-++++-+--+++----+-+--++--+---++++-------++--+--+-++++-+++-+--+-------+++--+-"
                     "+++++--+----++---+-+-++-++--+++-++++++++--+-+--++----+---+-+-+-+-+-+--+----+-+");
}

// A peak starts at the first sample whose height above the baseline, in doubles, is above the level, to the last bit:
// single samples one and two steps of a float below and at and above the least float that is, over a constant
// baseline (so that the baseline is that constant), upward and downward, with absolute levels.
TEST(LMPeaks, APeakStartsAtTheFirstFloatAboveTheLevel)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    for (int trial = 0; trial < 40; ++trial) {
        const int direction = trial % 2 == 0 ? 1 : -1;
        const auto constant = static_cast<float>(uniform(random) * std::pow(10.0, trial % 7 - 3));
        const double height = std::abs(uniform(random)) * std::pow(10.0, trial % 5 - 2);
        const auto above = [&](float value) { return direction * (static_cast<double>(value) - constant) > height; };
        // The least float above the level, going outwards in the direction.
        const float outwards = direction > 0 ? INFINITY : -INFINITY;
        float first = static_cast<float>(constant + direction * height);
        while (!above(first)) {
            first = std::nextafter(first, outwards);
        }
        while (above(std::nextafter(first, -outwards))) {
            first = std::nextafter(first, -outwards);
        }
        std::vector<float> samples(6000, constant);
        std::vector<std::int32_t> expected;
        float spike = std::nextafter(std::nextafter(first, -outwards), -outwards);
        for (std::int32_t at = 3000 + trial % 8; at < 3400; at += 100) {
            samples[static_cast<std::size_t>(at)] = spike;
            if (above(spike)) {
                expected.push_back(at);
            }
            spike = std::nextafter(spike, outwards);
        }
        ASSERT_EQ(expected.size(), 2u);
        host::PeakDetectionParams params;
        params.direction = direction;
        params.thresholdInSD = false;
        params.height = height;
        host::PeakDetector detector(params, 1e-4);
        std::vector<host::DetectedPeak> found;
        detector.Feed(samples.data(), samples.size(), found);
        detector.Finish(found);
        std::vector<std::int32_t> ticks;
        for (const host::DetectedPeak& peak : found) {
            ticks.push_back(peak.tick);
        }
        EXPECT_EQ(ticks, expected) << "trial " << trial << ", constant " << constant << ", height " << height;
    }
}

// The same of two zeros where the baseline has drifted over several deviations before it passes through 0 and back:
// the window's bins have moved along with it meanwhile, and the zero is still the one the first design picked. A
// level swinging six units each way with noise of about two, a third of the values zeros of either sign, stretches
// quantised; the signs recorded from that design.
TEST(LMPeaks, NoiseWindowPicksTheSameOfTwoZerosAfterTheBaselineDrifted)
{
    std::string signs;
    for (const std::int32_t capacity : {800, 3000}) {
        std::mt19937 random(5);
        host::NoiseWindow window(capacity);
        for (int i = 0; i < 30 * capacity; ++i) {
            if (window.Size() > 0 && i % (capacity / 8) == 0) {
                double median = 0.0;
                double deviation = 0.0;
                window.Estimate(median, deviation);
                if (median == 0.0) {
                    signs += std::signbit(median) ? '-' : '+';
                }
            }
            const double level = 6.0 * std::sin(i * 6.283185307179586 / (10.0 * capacity));
            double value = level + (static_cast<double>(random() % 2001) - 1000.0) * 0.004;
            if (i / (3 * capacity) % 2 == 1) {
                value = std::round(value * 4.0) * 0.25;
            }
            if (random() % 3 == 0) {
                value = random() % 2 == 0 ? -0.0 : 0.0;
            }
            window.Push(value);
        }
    }
    EXPECT_EQ(signs, "--++-++-++---++++-+++-+-+-+-----+++-+-+++-+---+-+-++--+-"
                     "+-+----++-++-+-+-++-----+--++----+-+--+++++-++++-+----+-");
}

// While the baseline drifts up and down over many deviations, the bins move along with it, and values leave from the
// middle of the groups they were coded in (estimates come at uneven ticks, and some values arrive many at once):
// the median and the deviation stay those of a full sort, bit for bit.
TEST(LMPeaks, NoiseWindowStaysExactWhileTheBaselineDrifts)
{
    for (const std::int32_t capacity : {700, 2500}) {
        std::mt19937 random(static_cast<unsigned>(capacity));
        std::normal_distribution<double> noise(0.0, 1.0);
        host::NoiseWindow window(capacity);
        std::vector<double> pushed;
        int checked = 0;
        for (int i = 0; i < 40 * capacity; ++i) {
            if (pushed.size() > 16 && (i % (capacity / 8) == 0 || random() % 150 == 0)) {
                std::vector<double> last(pushed.end() - static_cast<std::ptrdiff_t>(window.Size()), pushed.end());
                const std::size_t middle = last.size() / 2;
                std::nth_element(last.begin(), last.begin() + static_cast<std::ptrdiff_t>(middle), last.end());
                const double expectedMedian = last[middle];
                for (double& value : last) {
                    value = std::abs(value - expectedMedian);
                }
                std::nth_element(last.begin(), last.begin() + static_cast<std::ptrdiff_t>(middle), last.end());
                double median = 0.0;
                double deviation = 0.0;
                window.Estimate(median, deviation);
                ASSERT_EQ(std::bit_cast<std::uint64_t>(median), std::bit_cast<std::uint64_t>(expectedMedian)) << i;
                ASSERT_EQ(std::bit_cast<std::uint64_t>(deviation), std::bit_cast<std::uint64_t>(last[middle])) << i;
                ++checked;
            }
            // Swings of 40 deviations, fast and slow.
            const double level = 20.0 * std::sin(i * 6.283185307179586 / (i / (8 * capacity) % 2 ? 3.0 : 12.0) /
                                                  capacity);
            if (random() % 400 == 0) {
                // Many at once.
                std::vector<double> many(random() % static_cast<unsigned>(capacity / 2));
                for (double& value : many) {
                    value = level + noise(random);
                }
                window.Push(many.data(), many.size());
                pushed.insert(pushed.end(), many.begin(), many.end());
            }
            const double value = level + noise(random);
            window.Push(value);
            pushed.push_back(value);
        }
        EXPECT_GT(checked, 300);
    }
}
