#include "aptrain.h"
#include "chain.h"

#include <gtest/gtest.h>

using namespace enumharness;
using chain::Recording;
using CX::Enum::EventBCalcBase;
using CX::Enum::EventBCalcBase2;
using CX::Enum::EventBCalcMax;
namespace CX_ = CX::Enum;

namespace {

constexpr LONG kLength = 420000;

struct LongRecording : Recording {
    aptrain::Train train;
    explicit LongRecording(aptrain::Train t) : Recording(t.samples, aptrain::kTickPeriod), train(std::move(t)) {}
};

const LongRecording& Long()
{
    static const LongRecording recording(
        aptrain::Make(23, kLength, -80.0f, aptrain::kHeight, aptrain::kWidthTicks, {100000, 199999, 300001, 399998}));
    return recording;
}

ComPtr<ICalcEnum> BaseStage(const Recording& r, const char16_t* text)
{
    return r.Stage<CX_::CalcBase::Family>(text, r.Detector(aptrain::kText).Get());
}
ComPtr<ICalcEnum> AMaxStage(const Recording& r, const char16_t* text)
{
    return r.Stage<CX_::CalcAMax::Family>(text, BaseStage(r, u"1 -1 -1 -1 -1 0 0").Get());
}

TEST(ParameterChain, EveryStageReadsTheSameInOnePassInSmallRequestsAndAfterSeeks)
{
    const LongRecording& r = Long();
    const std::size_t peaks = r.train.peaks.size();
    for (const char16_t* text : {u"1 -1 -1 -1 -1 0 0", u"1 -1 -1 -1 -1 2 0", u"1 -1 -1 -1 -1 1 -70"}) {
        SCOPED_TRACE(::testing::Message() << "CalcBase " << KVO::String(text).ToUtf8());
        const auto base = ExpectEquivalentReads<EventBCalcBase>([&] { return BaseStage(r, text); }, kLength);
        EXPECT_EQ(base.size(), peaks);
    }
    for (const char16_t* text : {u"1 -1 -1 -1", u"1 10 0 20"}) {
        SCOPED_TRACE(::testing::Message() << "CalcAMax " << KVO::String(text).ToUtf8());
        const auto amax = ExpectEquivalentReads<EventBCalcMax>([&] { return AMaxStage(r, text); }, kLength);
        EXPECT_EQ(amax.size(), peaks);
    }
    const auto plateau = ExpectEquivalentReads<EventBCalcBase2>(
        [&] { return r.Stage<CX_::CalcBase2::Family>(u"1 -1 -1 -1 -1", AMaxStage(r, u"1 -1 -1 -1").Get()); },
        kLength);
    EXPECT_EQ(plateau.size(), peaks);
}

} // namespace
