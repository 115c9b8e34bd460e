#include "recording.h"

#include "engine/erpeakdet.h"

#include <gtest/gtest.h>

#include <random>

using namespace recording;
using namespace enumharness;
namespace ER = CX::Enum::ERPeakDet;

namespace {

struct Triangle {
    LONG peak;
    float height;
    LONG rise; // ticks from the baseline up to the peak
    LONG fall; // ticks from the peak back to the baseline
    LONG top = 1; // samples at the peak level
};

// A zero baseline with triangular responses.
std::vector<float> Responses(LONG length, const std::vector<Triangle>& triangles)
{
    std::vector<float> samples(static_cast<std::size_t>(length), 0.0f);
    for (const Triangle& r : triangles) {
        for (LONG i = 0; i <= r.rise; ++i) {
            samples[static_cast<std::size_t>(r.peak - i)] =
                r.height * static_cast<float>(r.rise - i) / static_cast<float>(r.rise);
        }
        const LONG last = r.peak + r.top - 1;
        for (LONG t = r.peak; t <= last; ++t) {
            samples[static_cast<std::size_t>(t)] = r.height;
        }
        for (LONG i = 0; i <= r.fall; ++i) {
            samples[static_cast<std::size_t>(last + i)] =
                r.height * static_cast<float>(r.fall - i) / static_cast<float>(r.fall);
        }
    }
    return samples;
}

std::vector<Event> Detect(const std::vector<float>& samples, const std::vector<LONG>& stimuli,
                          const std::u16string& text)
{
    const Recording rec({samples});
    ComPtr<IEnumEventEx> events = EventsOf(Stimuli(stimuli));
    return Summary(ReadPeaks(rec.Bound<ER::Family>(text, 0, events.Get()).Get()));
}

Event S(LONG t) { return {t, CX::Enum::kKindStimulus, 1.0}; }
Event P(LONG t, double v) { return {t, CX::Enum::kKindPeak, v}; }

// At 1 ms per tick; the window "5 50" is 5 to 50 ticks after the stimulus.
TEST(ERPeakDet, ResponsesAgainstTheirWindows)
{
    using Events = std::vector<Event>;
    const struct {
        const char* what;
        std::vector<Triangle> responses;
        std::vector<LONG> stimuli;
        const char16_t* text;
        Events expected;
    } cases[] = {
        {"no response", {}, {100}, u"1 4 5 50", {S(100)}},
        {"a response", {{120, 10, 8, 12}}, {100}, u"1 4 5 50", {S(100), P(120, 10)}},
        {"exactly the height", {{120, 4, 8, 12}}, {100}, u"1 4 5 50", {S(100), P(120, 4)}},
        {"just below the height", {{120, 3.875f, 8, 12}}, {100}, u"1 4 5 50", {S(100)}},
        {"a maximum before the window", {{103, 10, 2, 2}, {130, 6, 5, 5}}, {100}, u"1 4 5 50",
         {S(100), P(130, 6)}},
        {"only a maximum before the window", {{103, 10, 2, 2}}, {100}, u"1 4 5 50", {S(100)}},
        {"a maximum at the window end", {{150, 10, 20, 30}}, {100}, u"1 8 5 50", {S(100), P(150, 10)}},
        {"a maximum past the window end", {{151, 10, 20, 30}}, {100}, u"1 8 5 50", {S(100)}},
        {"a fall completing after the next stimulus", {{150, 10, 20, 20}}, {100, 155}, u"1 8 5 50",
         {S(100), S(155)}},
        {"a plateau: the last of equal maxima", {{120, 10, 5, 5, 4}}, {100}, u"1 4 5 50", {S(100), P(123, 10)}},
        {"close stimuli", {{125, 10, 5, 5}}, {100, 110}, u"1 4 5 50", {S(100), S(110), P(125, 10)}},
        {"a negative start: the window opens at the stimulus", {{102, 10, 1, 5}}, {100}, u"1 4 -5 50",
         {S(100), P(102, 10)}},
        {"an end before the start: one tick", {{110, 10, 5, 5}, {130, 10, 5, 5}}, {100}, u"1 4 10 3",
         {S(100), P(110, 10)}},
        {"a stimulus on the rise", {{100, 10, 5, 5}, {130, 10, 5, 5}}, {98}, u"1 4 0 50", {S(98), P(100, 10)}},
        {"a stimulus at the maximum: no rise before it", {{100, 10, 5, 5}, {130, 10, 5, 5}}, {100}, u"1 4 0 50",
         {S(100), P(130, 10)}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Detect(Responses(400, c.responses), c.stimuli, c.text), c.expected) << c.what;
    }
}

TEST(ERPeakDet, NaNSamplesInEveryPhase)
{
    const std::vector<Triangle> responses{{120, 10, 8, 12}, {320, 10, 8, 12}};
    const std::vector<Event> expected{S(100), P(120, 10), S(300), P(320, 10)};
    // At the stimulus (the reference level is the next sample), on the rise, after the maximum, between.
    for (const LONG at : {100, 101, 115, 121, 125, 200, 300}) {
        std::vector<float> samples = Responses(400, responses);
        samples[static_cast<std::size_t>(at)] = kNaN;
        EXPECT_EQ(Detect(samples, {100, 300}, u"1 4 5 50"), expected) << "NaN at " << at;
    }
    // A run of NaN from the stimulus on.
    std::vector<float> samples = Responses(400, responses);
    for (LONG t = 100; t < 110; ++t) {
        samples[static_cast<std::size_t>(t)] = kNaN;
    }
    EXPECT_EQ(Detect(samples, {100, 300}, u"1 4 5 50"), expected);
}

TEST(ERPeakDet, EquivalentReadsOnALongBlock)
{
    std::mt19937 random(3);
    std::vector<Triangle> responses;
    std::vector<LONG> stimuli;
    std::vector<Event> expected;
    for (LONG s = 500; s < 418000; s += std::uniform_int_distribution<LONG>(300, 3000)(random)) {
        stimuli.push_back(s);
        expected.push_back(S(s));
        if (random() % 4 != 0) {
            const LONG peak = s + std::uniform_int_distribution<LONG>(6, 50)(random);
            const float height = static_cast<float>(std::uniform_int_distribution<int>(5, 40)(random));
            responses.push_back({peak, height, 4, 20});
            expected.push_back(P(peak, height));
        }
    }
    // Stimuli and responses across the slice boundaries.
    const Recording rec({Responses(420000, responses)});
    const auto all = ExpectEquivalentReads<CX::Enum::EventPkStm>(
        [&] {
            ComPtr<IEnumEventEx> events = EventsOf(Stimuli(stimuli));
            return rec.Bound<ER::Family>(u"1 4 5 50", 0, events.Get());
        },
        420000);
    EXPECT_EQ(Summary(all), expected);
}

TEST(ERPeakDet, ParametersAndWindowTicks)
{
    ComPtr<ICalcEnum> calc = Make<ER::Family>(u"1 -3 2 1e400");
    IKVOString* text = nullptr;
    ASSERT_EQ(calc->Write(&text), S_OK);
    KVO::String written;
    written.AttachInterface(text);
    EXPECT_EQ(written, u"1e-30 2 1.7976931348623157e+308 0 0 2147483647 2147483647");
    // A window end beyond the tick range saturates instead of wrapping: a stimulus near the end of the range
    // still has its window after it.
    const Recording rec({Responses(400, {{120, 10, 8, 12}})});
    ComPtr<IEnumEventEx> events = EventsOf(Stimuli({100}));
    EXPECT_EQ(Summary(ReadPeaks(rec.Bound<ER::Family>(u"1 4 5 1e400", 0, events.Get()).Get())),
              (std::vector<Event>{S(100), P(120, 10)}));
}

} // namespace
