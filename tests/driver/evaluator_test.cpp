// The host's calculation evaluator: the texts it refuses and where it says the fault lies, and the events of the
// texts it accepts against the calculations run directly.
#include "testhost.h"

#include "tests/engine/aptrain.h"
#include "tests/engine/enum_harness.h"

#include "engine/calcbase.h"
#include "engine/cappeakdet.h"
#include "host/hoststring.h"
#include "platform/win/codepage.h"
#include "sdk/hostobjects.h"

#include <gtest/gtest.h>

#include <string>

using namespace enumharness;

namespace {

platform::ComPtr<ICalcEnum> NewEvaluator(host::DataSource* source)
{
    platform::ComPtr<IChannelData> channelData;
    if (source) {
        source->QueryInterface(IID_IChannelData, channelData.OutVoid());
    }
    platform::ComPtr<ICalcEnum> calc;
    EXPECT_EQ(TestHost().Evaluator().CreateInstance(channelData.Get(), calc.Out()), S_OK);
    return calc;
}

HRESULT ParseText(ICalcEnum* calc, const std::u16string& text)
{
    platform::ComPtr<IKVOString> string = host::MakeString(text);
    DWORD flags = 0;
    return calc->Parse(string.Get(), &flags);
}

TEST(CalcEvaluator, RefusesBadTextsNamingThePlace)
{
    auto document = OneChannel({{0, 1, 0}}, 0.001);
    document->AddChannel(u"Stim", u"V");
    auto source = SourceOf(document);
    const struct {
        const char16_t* text;
        std::size_t position;
        const char* message; // a part of the message
    } cases[] = {
        {u"", 1, "empty"},
        {u"   ", 1, "empty"},
        {u"nosuchcalc(ch1, 3)", 1, "unknown calculation \"nosuchcalc\""},
        {u"cappeakdet(ch1, 3", 18, "missing \")\""},
        {u"cappeakdet(ch1, 3))", 19, "unmatched \")\""},
        {u"cappeakdet ch1, 3)", 1, "\"cappeakdet\" needs its arguments in parentheses"},
        {u"cappeakdet(ch1, , 3)", 17, "empty argument"},
        {u"cappeakdet(ch1, 3,)", 19, "empty argument"},
        {u"cappeakdet(, 3)", 12, "empty argument"},
        {u"cappeakdet(ch1, 1, 2, 3, 4, 5, 6, 7)", 35, "too many arguments for \"cappeakdet\" (at most 7)"},
        {u"cappeakdet(ch1, ch2)", 17, "a source where a number"},
        {u"cappeakdet(3, 4)", 12, "a number where a source"},
        {u"cappeakdet()", 1, "needs 1 source"},
        {u"cappeakdet(ch0, 3)", 12, "numbered from 1"},
        {u"cappeakdet(ch4294967297, 3)", 12, "too large"},
        {u"cappeakdet(ch3, 3)", 12, "no channel \"ch3\""},
        {u"cappeakdet(vch1, 3)", 12, "no channel"},
        {u"cappeakdet(ch1, 3x)", 17, "not a number: \"3x\""},
        {u"cappeakdet(ch1, 1e)", 17, "not a number"},
        {u"cappeakdet(ch1; 3)", 15, "expected \",\" or \")\""},
        {u"ch1", 1, "a calculation text is a call"},
        {u"cappeakdet(ch1, 3) ch1", 20, "unexpected text"},
        {u"cappeakdet(ch1 3)", 16, "expected \",\" or \")\""},
    };
    for (const auto& c : cases) {
        auto calc = NewEvaluator(source.Get());
        const std::string shown = platform::Utf16ToUtf8(c.text);
        EXPECT_EQ(ParseText(calc.Get(), c.text), E_INVALIDARG) << shown;
        const auto& error = static_cast<host::CalcEvaluator*>(calc.Get())->LastError();
        ASSERT_TRUE(error.has_value()) << shown;
        EXPECT_EQ(error->position, c.position) << shown << ": " << error->Describe();
        EXPECT_NE(error->message.find(c.message), std::string::npos) << shown << ": " << error->Describe();
    }
}

TEST(CalcEvaluator, ARefusedTextLeavesTheAcceptedOneInPlace)
{
    auto source = SourceOf(OneChannel({{0, 5, 0, 0, 9, 0}}, 0.001));
    auto calc = NewEvaluator(source.Get());
    ASSERT_EQ(ParseText(calc.Get(), u"cappeakdet(ch1, 2)"), S_OK);
    EXPECT_EQ(ParseText(calc.Get(), u"cappeakdet(ch1, 2"), E_INVALIDARG);
    IKVOString* written = nullptr;
    ASSERT_EQ(calc->Write(&written), S_OK);
    EXPECT_EQ(host::TakeText(written), u"cappeakdet(ch1, 2)");
    ASSERT_EQ(calc->SetSources(0, 0, nullptr, nullptr, 0.001, 0), S_OK);
    calc->SeekStart(0);
    const auto peaks = ReadAll<CX::Enum::EventPkStm>(Events(calc.Get()).Get());
    ASSERT_EQ(peaks.size(), 2u);
    EXPECT_EQ(peaks[0].tick, 1);
    EXPECT_EQ(peaks[1].tick, 4);
}

// The numbers reach the calculation blank-separated, after the source count for the engine families; names and
// aliases in any letter case and blanks anywhere give the same calculation.
TEST(CalcEvaluator, SpellingsOfOneTextGiveTheSameEvents)
{
    const aptrain::Train train = aptrain::Make(5, 30000, -70.0f, aptrain::kHeight, aptrain::kWidthTicks);
    auto source = SourceOf(OneChannel({train.samples}, aptrain::kTickPeriod));
    ComPtr<ICalcEnum> direct = Make<CX::Enum::CAPPeakDet::Family>(aptrain::kText);
    ASSERT_EQ(BindChannel(direct.Get(), source->GetDocument(), 0, 0), S_OK);
    const auto expected = ReadAll<CX::Enum::EventPkStm>(Events(direct.Get()).Get());
    ASSERT_EQ(expected.size(), train.peaks.size());

    for (const char16_t* text : {u"cappeakdet(ch1,30,3,0,0,0,0)", u"  CAPPeakDet ( CH1 , 30 , 3 ) ",
                                 u"cappeak(channel1, 3e1, 3.0, 0, 0)", u"CAPPEAKDET(\tChannel1,+30,\n3)"}) {
        auto calc = NewEvaluator(source.Get());
        ASSERT_EQ(ParseText(calc.Get(), text), S_OK) << platform::Utf16ToUtf8(text);
        ASSERT_EQ(calc->SetSources(0, 0, nullptr, nullptr, aptrain::kTickPeriod, 0), S_OK);
        calc->SeekStart(0);
        ExpectSameEvents(expected, ReadAll<CX::Enum::EventPkStm>(Events(calc.Get()).Get(), 5, 777),
                         platform::Utf16ToUtf8(text).c_str());
    }
}

// A calculation channel is an event source that opens its own evaluation; without a data source the references
// take the enumerators handed over, in the order of their first appearance.
TEST(CalcEvaluator, CalculationChannelsAndHandedOverEnumerators)
{
    const aptrain::Train train = aptrain::Make(8, 20000, -70.0f, aptrain::kHeight, aptrain::kWidthTicks);
    auto source = SourceOf(OneChannel({train.samples}, aptrain::kTickPeriod));
    const int channel = source->AddCalculationChannel(u"Peaks", u"cappeakdet(ch1, 30, 3)");
    EXPECT_EQ(channel, 1);
    platform::ComPtr<IUnknown> opened;
    ASSERT_EQ(source->OpenEnum(SourceKind::kContent | SourceKind::kOpen, channel, 0, 0, kEndOfBlockTick, 0,
                               opened.Out()),
              S_OK);
    platform::ComPtr<IEnumEventEx> events;
    ASSERT_EQ(opened->QueryInterface(IID_IEnumEventEx, events.OutVoid()), S_OK);
    const auto fromChannel = ReadAll<CX::Enum::EventPkStm>(events.Get());
    ASSERT_EQ(fromChannel.size(), train.peaks.size());
    for (std::size_t i = 0; i < fromChannel.size(); ++i) {
        EXPECT_EQ(fromChannel[i].tick, train.peaks[i].tick);
    }

    auto unbound = NewEvaluator(nullptr);
    ASSERT_EQ(ParseText(unbound.Get(), u"cappeakdet(ch1, 30, 3)"), S_OK);
    auto samples = source->GetDocument().OpenSamples(0, 0);
    IUnknown* given[] = {samples.Get()};
    ASSERT_EQ(unbound->SetSources(0, 1, given, nullptr, aptrain::kTickPeriod, 0), S_OK);
    unbound->SeekStart(0);
    ExpectSameEvents(fromChannel, ReadAll<CX::Enum::EventPkStm>(Events(unbound.Get()).Get()), "handed over");
    EXPECT_EQ(unbound->SetSources(0, 0, nullptr, nullptr, aptrain::kTickPeriod, 0), E_FAIL)
        << "no enumerator for ch1";
}

// The analysis makes an evaluator of the same text for every block. With calculations kept, a new one takes up the
// calculations of one that let go: every block still gives the events that an evaluator over a source keeping
// nothing gives, also while an evaluator of an earlier block is still being read.
TEST(CalcEvaluator, KeptCalculationsGiveTheEventsOfFreshOnes)
{
    std::vector<std::vector<float>> blocks;
    for (const int peaks : {5, 8, 2}) {
        blocks.push_back(aptrain::Make(peaks, 20000, -70.0f, aptrain::kHeight, aptrain::kWidthTicks).samples);
    }
    auto fresh = SourceOf(OneChannel(blocks, aptrain::kTickPeriod));
    auto keeping = SourceOf(OneChannel(blocks, aptrain::kTickPeriod));
    keeping->KeepCalculations(true);
    const std::u16string text = u"calcbase(ch1, cappeakdet(ch1, 30, 3))";
    const auto open = [&](host::DataSource* source, LONG block) {
        auto calc = NewEvaluator(source);
        EXPECT_EQ(ParseText(calc.Get(), text), S_OK);
        EXPECT_EQ(calc->SetSources(block, 0, nullptr, nullptr, aptrain::kTickPeriod, 0), S_OK);
        calc->SeekStart(0);
        return calc;
    };
    using Record = CX::Enum::EventBCalcBase;
    for (int round = 0; round < 3; ++round) {
        for (LONG block = 0; block < 3; ++block) {
            const auto expected = ReadAll<Record>(Events(open(fresh.Get(), block).Get()).Get());
            ASSERT_FALSE(expected.empty());
            const std::string what = "round " + std::to_string(round) + ", block " + std::to_string(block);
            ExpectSameEvents(expected, ReadAll<Record>(Events(open(keeping.Get(), block).Get()).Get()), what.c_str());
        }
    }
    // Two at once, read in turns.
    auto first = open(keeping.Get(), 1);
    auto second = open(keeping.Get(), 0);
    const auto firstEvents = Events(first.Get());
    const auto secondEvents = Events(second.Get());
    std::vector<Record> read[2];
    for (bool more = true; more;) {
        more = false;
        for (int which = 0; which < 2; ++which) {
            Record record{};
            LONG count = 0;
            LONG next = 0;
            (which == 0 ? firstEvents : secondEvents)->Next(sizeof record, -1, &record, &count, &next);
            if (count == 1) {
                read[which].push_back(record);
                more = true;
            }
        }
    }
    ExpectSameEvents(ReadAll<Record>(Events(open(fresh.Get(), 1).Get()).Get()), read[0], "first of two");
    ExpectSameEvents(ReadAll<Record>(Events(open(fresh.Get(), 0).Get()).Get()), read[1], "second of two");
    keeping->KeepCalculations(false);
}

} // namespace
