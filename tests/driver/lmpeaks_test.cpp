// The host's peak detection ("LMPeaks") through the evaluator: recall and
// precision on generated recordings whose events are known, and the same events
// read at once, in chunks, and while the block is being sampled.
#include "synaptic_signals.h"
#include "testhost.h"

#include "tests/engine/enum_harness.h"

#include "host/hoststring.h"
#include "host/lmpeaks.h"
#include "host/loopmetry.h"
#include "platform/win/codepage.h"
#include "sdk/hostobjects.h"

#include <gtest/gtest.h>

#include <string>

using namespace enumharness;

namespace {

struct Peak16 {
  std::int32_t tick;
  float offset;
  double value;
};

platform::ComPtr<ICalcEnum> Evaluate(host::DataSource *source,
                                     const std::u16string &text) {
  platform::ComPtr<IChannelData> channelData;
  source->QueryInterface(IID_IChannelData, channelData.OutVoid());
  platform::ComPtr<ICalcEnum> calc;
  EXPECT_EQ(
      TestHost().Evaluator().CreateInstance(channelData.Get(), calc.Out()),
      S_OK);
  platform::ComPtr<IKVOString> string = host::MakeString(text);
  DWORD flags = 0;
  EXPECT_EQ(calc->Parse(string.Get(), &flags), S_OK)
      << platform::Utf16ToUtf8(text);
  return calc;
}

std::vector<Peak16> Detect(host::DataSource *source, const std::u16string &text,
                           double tickPeriod, ULONG buffer = 256,
                           LONG endStep = 0) {
  auto calc = Evaluate(source, text);
  EXPECT_EQ(calc->SetSources(0, 0, nullptr, nullptr, tickPeriod, 0), S_OK);
  calc->SeekStart(0);
  return ReadAll<Peak16>(Events(calc.Get()).Get(), buffer, endStep);
}

std::vector<double> Times(const std::vector<Peak16> &peaks, double tickPeriod) {
  std::vector<double> times;
  for (const Peak16 &p : peaks) {
    times.push_back((p.tick + p.offset) * tickPeriod);
  }
  return times;
}

} // namespace

TEST(LMPeaks, FindsGeneratedEventsAtThePresets) {
  struct Case {
    const char *what;
    signals::Shape shape;
    int sign;
    const char16_t *text;
    double early; // how far before (negative) and after the true time a
                  // detection still counts
    double late;
  };
  const Case cases[] = {
      {"upward peaks", signals::Shape::Peak, 1,
       u"lmpeaks( ch1, 1, 1, 5, 0.005, 0, 0.0005, 0.5 )", -0.001, 0.001},
      {"downward peaks", signals::Shape::Peak, -1,
       u"lmpeaks( ch1, -1, 1, 5, 0.005, 0, 0.0005, 0.5 )", -0.001, 0.001},
      {"synaptic currents", signals::Shape::SynapticCurrent, -1,
       u"lmpeaks( ch1, -1, 1, 5, 0.005, 1, 0.0005, 0.5 )", -0.001, 0.003},
      {"synaptic potentials", signals::Shape::SynapticPotential, 1,
       u"lmpeaks( ch1, 1, 1, 5, 0.01, 1, 0.001, 0.5 )", -0.001, 0.006},
  };
  for (const Case &c : cases) {
    for (std::uint32_t seed : {7u, 23u}) {
      const signals::Recording r = signals::Make(c.shape, 30.0, c.sign, seed);
      auto source = SourceOf(OneChannel({r.samples}, r.tickPeriod));
      const auto found = Detect(source.Get(), c.text, r.tickPeriod);
      const signals::Score score =
          signals::Match(r.times, Times(found, r.tickPeriod), c.early, c.late);
      EXPECT_GT(score.recall, 0.98)
          << c.what << ": " << found.size() << " found of " << r.times.size();
      EXPECT_GT(score.precision, 0.98)
          << c.what << ": " << found.size() << " found of " << r.times.size();
    }
  }
}
