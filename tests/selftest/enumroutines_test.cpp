// The calculation self tests: their table, the event comparison, and the routines failing with their texts on
// recordings that break them.
#include "../frame/sharedhost.h"
#include "brokenenum.h"
#include "failureof.h"
#include "frame/module.h"
#include "host/framework.h"
#include "selftest/enumroutines.h"
#include "selftest/enumtests.h"
#include "selftest/eventcompare.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace Crestmetrics::Enum;
using CX::Enum::EventBCalcBase;
using CX::Enum::EventPkStm;

// The shared host with the module's calculations registered (the module's code is linked into the test program).
void ModuleHost()
{
    static const bool registered = [] {
        DllRegisterClassObjects(static_cast<ICAFFramework*>(&SharedHost().GetFramework()));
        return true;
    }();
    (void)registered;
}

std::vector<std::u16string> SubTestNames(IUnitTest& test)
{
    test.Declare();
    LONG count = 0;
    test.GetSubTestCount(&count);
    std::vector<std::u16string> names;
    for (LONG i = 0; i < count; ++i) {
        IKVOString* name = nullptr;
        test.GetSubTestName(i, &name);
        names.push_back(host::TakeText(name));
        double value = 0;
        EXPECT_EQ(test.GetSubTestValue(i, &value), S_OK);
        EXPECT_EQ(value, 60.0);
    }
    return names;
}

// The full names a class declares: its prefix and each of its sub-tests that the module runs, in order.
std::vector<std::u16string> Expected(const std::u16string& prefix, const std::vector<SubTestKind>& kinds,
                                     const std::vector<const char16_t*>& names)
{
    std::vector<std::u16string> out;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (SubTestBuilt(kinds[i])) {
            out.push_back(prefix + u"::" + names[i]);
        }
    }
    return out;
}

TEST(CalcTests, DeclareTheirSubTestsInTheTablesOrder)
{
    using K = SubTestKind;
    const std::vector<K> seven{K::EventEnumBounceTest,        K::EventEnumBounceTest2,
                               K::EventEnumTestNextOffline,   K::EventEnumTestNextOnline,
                               K::EventEnumOnlineOfflineComparison, K::EventEnumTestFind,
                               K::EventEnumTestSetSourcesTeachkit};
    const std::vector<const char16_t*> sevenNames{u"EventEnumBounceTest",      u"EventEnumBounceTest2",
                                                  u"EventEnumTestNextOffline", u"EventEnumTestNextOnline",
                                                  u"EventEnumOnlineOfflineComparison", u"EventEnumTestFind",
                                                  u"EventEnumTestSetSourcesTeachkit"};
    auto withFirst = [&](std::vector<K> first, std::vector<const char16_t*> firstNames) {
        first.insert(first.end(), seven.begin(), seven.end());
        firstNames.insert(firstNames.end(), sevenNames.begin(), sevenNames.end());
        return std::make_pair(first, firstNames);
    };
    const auto capPeak = withFirst({K::DeterministicBounceTest, K::DeterministicFindTest},
                                   {u"DeterministicBounceTest", u"DeterministicFindTest"});
    const auto calcBase = withFirst({K::DeterministicFindTest}, {u"DeterministicFindTest"});
    const std::vector<K> ar{K::DeterministicFindTest,    K::EventEnumBounceTest, K::EventEnumBounceTest2,
                            K::EventEnumTestNextOffline, K::EventEnumTestFind,   K::EventEnumTestSetSourcesTeachkit};
    const std::vector<const char16_t*> arNames{u"DeterministicFindTest",    u"EventEnumBounceTest",
                                               u"EventEnumBounceTest2",     u"EventEnumTestNextOffline",
                                               u"EventEnumTestFind",        u"EventEnumTestSetSourcesTeachkit"};
    struct Case {
        std::function<IUnitTest*()> make;
        std::vector<std::u16string> names;
    };
    const std::u16string ns = u"Crestmetrics::Enum::";
    const std::vector<Case> cases{
        {[] { return new CAPPeakDet::Test; }, Expected(ns + u"CAPPeakDet::Test", capPeak.first, capPeak.second)},
        {[] { return new ERStimDet::Test; }, Expected(ns + u"ERStimDet::Test", seven, sevenNames)},
        {[] { return new CalcBase::Test; }, Expected(ns + u"CalcBase::Test", calcBase.first, calcBase.second)},
        {[] { return new CalcBase::TestAR; }, Expected(ns + u"CalcBase::TestAR", ar, arNames)},
        {[] { return new CalcAMax::Test; }, Expected(ns + u"CalcAMax::Test", seven, sevenNames)},
        {[] { return new CalcBase2::Test; }, Expected(ns + u"CalcBase2::Test", seven, sevenNames)},
        {[] { return new CalcBulk::Test; }, Expected(ns + u"CalcBulk::Test", seven, sevenNames)},
        {[] { return new EventData::Test; }, Expected(ns + u"EventData::Test", seven, sevenNames)},
        {[] { return new Crestmetrics::Crestmetrics_Document; }, {u"Crestmetrics_Document::TestCalculations"}},
    };
    for (const Case& c : cases) {
        platform::ComPtr<IUnitTest> test(c.make());
        EXPECT_EQ(SubTestNames(*test.Get()), c.names) << (c.names.empty() ? "" : "first of a class");
    }
}

TEST(CalcTests, EachRunStartsFromTheSameConfiguration)
{
    ModuleHost();
    platform::ComPtr<CAPPeakDet::Test> test(new CAPPeakDet::Test);
    EXPECT_EQ(std::u16string(test->Config().mArithString.View()), u"NOT SET");
    EXPECT_EQ(test->Config().mNumSamples, 26123u);
    test->Declare();
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(test->RunSubTest(0), S_OK);
        VARIANT_BOOL passed = VARIANT_FALSE;
        IKVOString* message = nullptr;
        test->GetResult(&passed, &message);
        const std::u16string text = host::TakeText(message);
        EXPECT_EQ(passed, VARIANT_TRUE) << std::string(text.begin(), text.end());
        const EnumTestConfig& config = test->Config();
        EXPECT_EQ(std::u16string(config.mArithString.View()), u"cappeakdet(ch1,0.3)");
        EXPECT_EQ(config.mNumSamples, 32599u);
        EXPECT_EQ(config.mVirtualChannels.size(), 1u);
        EXPECT_EQ(config.mSourceValues, std::vector<std::uint32_t>{0});
        EXPECT_EQ(config.mSampleRates, std::vector<double>{1000.0});
        EXPECT_EQ(test->RecordSize(), 24u);
    }
}

template <class T>
T Event(std::int32_t tick, float offset, double value)
{
    T event;
    event.tick = tick;
    event.offset = offset;
    event.value = value;
    return event;
}

TEST(EventHelper, SameEventsAgreeInPositionValidityAndRelativeValue)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* what;
        std::int32_t tickA;
        float offsetA;
        double valueA;
        std::int32_t tickB;
        float offsetB;
        double valueB;
        bool sameDouble;
        bool sameSingle;
    };
    const Case cases[] = {
        {"0.001 ticks apart", 100, 0.0f, 1.0, 100, 0.001f, 1.0, false, false},
        {"0.0005 ticks apart", 100, 0.0f, 1.0, 100, 0.0005f, 1.0, true, true},
        {"same position across ticks", 100, 0.75f, 2.0, 101, -0.25f, 2.0, true, true},
        {"both unset", 7, 0.0f, nan, 7, 0.0f, nan, true, true},
        {"unset and finite", 7, 0.0f, nan, 7, 0.0f, 1.0, false, false},
        {"finite and infinite", 7, 0.0f, 1.0, 7, 0.0f, inf, false, false},
        {"both below 1e-12", 7, 0.0f, 0.0, 7, 0.0f, 5e-13, true, true},
        {"zero against 1e-6", 7, 0.0f, 0.0, 7, 0.0f, 1e-6, false, false},
        {"relative 1e-6", 7, 0.0f, 1.0, 7, 0.0f, 1.000001, true, true},
        {"relative 2e-5", 7, 0.0f, 1.0, 7, 0.0f, 1.00002, false, false},
        {"beyond single precision", 7, 0.0f, 1.0, 7, 0.0f, 1.0 + 1e-9, true, true},
        {"beyond the single range", 7, 0.0f, 1e300, 7, 0.0f, 2e300, false, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EventHelper::same(Event<EventBCalcBase>(c.tickA, c.offsetA, c.valueA),
                                    Event<EventBCalcBase>(c.tickB, c.offsetB, c.valueB)),
                  c.sameDouble)
            << c.what;
        EXPECT_EQ(EventHelper::same(Event<EventPkStm>(c.tickA, c.offsetA, c.valueA),
                                    Event<EventPkStm>(c.tickB, c.offsetB, c.valueB)),
                  c.sameSingle)
            << c.what;
    }
    // Against the first value's size: 1e-5 of 1.0 is not 1e-5 of 1.00001.
    EXPECT_FALSE(EventHelper::same(Event<EventBCalcBase>(1, 0, 1.0), Event<EventBCalcBase>(1, 0, 1.0000100001)));
    EXPECT_TRUE(EventHelper::same(Event<EventBCalcBase>(1, 0, 1.0000100001), Event<EventBCalcBase>(1, 0, 1.0)));
}

TEST(EventHelper, TextShowsPositionAndValue)
{
    EXPECT_EQ(std::u16string(EventHelper::text(Event<EventBCalcBase>(1234, 0.5f, 0.25)).View()), u"[1234.5, 0.25]");
    EXPECT_EQ(std::u16string(EventHelper::text(Event<EventPkStm>(3, 0.0f, 0.1)).View()), u"[3, 0.1]");
    EXPECT_EQ(std::u16string(EventHelper::text(Event<EventBCalcBase>(3, 0.0f, 1.0 / 3)).View()), u"[3, 0.333333]");
}

EnumTestConfig Config(const char16_t* source, const char16_t* text, std::uint32_t records = 1,
                      std::uint32_t samples = 20000)
{
    EnumTestConfig config(samples, KVO::String(source), KVO::String(text));
    config.mNumRecords = records;
    return config;
}

// Recordings and texts that break each routine, and the text each fails with.
TEST(CalcRoutines, FailWithTheirTextsOnRecordingsThatBreakThem)
{
    ModuleHost();
    static constexpr const char16_t* peaks = u"threshold(sin(5*t - 2.5),.5)*(sin(5*t-2.5)-0.5)";
    struct Case {
        const char* what;
        std::function<void()> run;
        std::u16string failure;
    };
    const std::vector<Case> cases{
        {"find without events", [] { RunDeterministicFindTest<EventPkStm>(Config(u"0*t", u"cappeakdet(ch1,0.3)"), 0); },
         u"test_CXEnums, Line 168 [vec.size()>2], [EventEnumTestFind Comparison needs some events to work with.]"},
        {"find, second copy",
         [] { RunDeterministicFindTest<EventBCalcBase>(Config(u"0*t", u"calcbase(ch1,cappeakdet(ch1,0.3))"), 1); },
         u"test_CXEnums, Line 396 [vec.size()>2], [EventEnumTestFind Comparison needs some events to work with.]"},
        {"find on an unknown calculation", [] { RunDeterministicFindTest<EventPkStm>(Config(peaks, u"nosuch(ch1)"), 2); },
         u"test_CXEnums, Line 558 [edg.CreateEnum(config.mEnumID, config.mArithString)]"},
        {"bounce over a record without events",
         [] { RunBounceTest<EventPkStm>(Config(u"0*t", u"cappeakdet(ch1,0.3)"), false); },
         u"TestStandardRoutines, Line 188 [nn>0]"},
        {"deterministic bounce on an unknown calculation",
         [] { RunDeterministicBounceTest<EventPkStm>(Config(peaks, u"nosuch(ch1)")); },
         u"test_CXEnums, Line 64 [edg.CreateEnum(config.mEnumID, config.mArithString)]"},
        {"set sources on an unknown calculation", [] { RunSetSourcesTest<EventPkStm>(Config(peaks, u"nosuch(ch1)")); },
         u"TestStandardRoutines, Line 854 [edg1.CreateEnum(config.mEnumID, config.mArithString)]"},
        {"find with too few events to probe 10 and 11",
         [] { RunFindTest<EventPkStm>(Config(peaks, u"cappeakdet(ch1,0.3)", 1, 5000)); },
         u"TestStandardRoutines, Line 614 [vec.size()>=12], [EventEnumTestFind needs at least 12 events to probe "
         u"events 10 and 11.]"},
        {"find without events", [] { RunFindTest<EventPkStm>(Config(u"0*t", u"cappeakdet(ch1,0.3)")); },
         u"TestStandardRoutines, Line 613 [vec.size()>2], [EventEnumTestFind Comparison needs some events to work "
         u"with.]"},
        {"next offline on 200 samples",
         [] { RunNextOfflineTest(Config(peaks, u"cappeakdet(ch1,0.3)", 1, 200), sizeof(EventPkStm)); },
         u"TestStandardRoutines, Line 103 [numsamples>200]"},
        {"next offline on 201 samples",
         [] { RunNextOfflineTest(Config(peaks, u"cappeakdet(ch1,0.3)", 1, 201), sizeof(EventPkStm)); }, u"(passed)"},
        // A stimulus every block at 10 s: the first pass ends at its end tick with one record of five.
        {"next offline where the first pass stops at its end tick with the buffer part filled",
         [] { RunNextOfflineTest(Config(u"0*t", u"erstimsob(10000)"), sizeof(EventPkStm)); }, u"(passed)"},
        {"the routines pass on peaks", [] {
             RunNextOfflineTest(Config(peaks, u"calcbase(ch1,cappeakdet(ch1,0.3))"), sizeof(EventBCalcBase));
             RunFindTest<EventPkStm>(Config(peaks, u"cappeakdet(ch1,0.3)"));
             RunDeterministicBounceTest<EventPkStm>(Config(peaks, u"cappeakdet(ch1,0.3)", 2));
             RunDeterministicFindTest<EventPkStm>(Config(peaks, u"cappeakdet(ch1,0.3)"), 0);
             RunSetSourcesTest<EventPkStm>(Config(peaks, u"cappeakdet(ch1,0.3)"));
         },
         u"(passed)"},
    };
    for (const Case& c : cases) {
        std::string place;
        EXPECT_EQ(FailureOf(c.run, &place), c.failure) << c.what;
        if (c.failure != u"(passed)") {
            // Beside the text the failure names its check in this tree.
            EXPECT_EQ(place.rfind("selftest/enumroutines.cpp:", 0), 0u) << c.what << ": " << place;
            EXPECT_NE(SourceLineAt(place).find("UnitTestCheck("), std::string::npos) << c.what << ": " << place;
        }
    }
}

// Enumerators that break the routines on purpose: each routine fails with its own text, and none loops for ever.
TEST(CalcRoutines, FailWithTheirTextsOnBrokenEnumerators)
{
    ModuleHost();
    static constexpr const char16_t* peaks = u"threshold(sin(5*t - 2.5),.5)*(sin(5*t-2.5)-0.5)";
    // {5B0E7D21-9C43-4A86-B1F2-3D6E8A0C4B7n}: one class per breakage.
    auto classId = [](int n) {
        return GUID{0x5B0E7D21, 0x9C43, 0x4A86, {0xB1, 0xF2, 0x3D, 0x6E, 0x8A, 0x0C, 0x4B, static_cast<BYTE>(0x70 + n)}};
    };
    static BrokenCalcClass* classes[kBreakages] = {};
    for (int n = 0; n < kBreakages; ++n) {
        if (!classes[n]) {
            static GUID ids[kBreakages];
            ids[n] = classId(n);
            classes[n] = new BrokenCalcClass(SharedHost(), static_cast<Breakage>(n), ids[n]);
        }
    }
    auto config = [](Breakage breakage, std::uint32_t samples = 20000) {
        EnumTestConfig made = Config(peaks, u"cappeakdet(ch1,0.3)", 1, samples);
        made.mEnumID = classes[static_cast<int>(breakage)]->TypeId();
        return made;
    };
    using B = Breakage;
    const std::u16string noEnumerator = u"[theenum], [no event enumerator]";
    struct Case {
        const char* what;
        std::function<void()> run;
        std::u16string failure; // the start of the failure text
    };
    const std::vector<Case> cases{
        {"next offline without an event enumerator",
         [&] { RunNextOfflineTest(config(B::NoEventInterface), sizeof(EventPkStm)); },
         u"TestStandardRoutines, Line 142 " + noEnumerator},
        {"next online without an event enumerator",
         [&] { RunNextOnlineTest(config(B::NoEventInterface), sizeof(EventPkStm)); },
         u"TestStandardRoutines, Line 213 " + noEnumerator},
        {"online/offline without an event enumerator",
         [&] { RunOnlineOfflineComparison<EventPkStm>(config(B::NoEventInterface)); },
         u"TestStandardRoutines, Line 722 [edg.GetRecordData<TBufType>(0,vec)]"},
        {"bounce over a failing Next", [&] { RunBounceTest<EventPkStm>(config(B::FailingNext), false); },
         u"TestStandardRoutines, Line 186 [edg.GetRecordData<TBufType>(i,results[i])]"},
        {"online/offline over a failing Next",
         [&] { RunOnlineOfflineComparison<EventPkStm>(config(B::FailingNext)); },
         u"TestStandardRoutines, Line 722 [edg.GetRecordData<TBufType>(0,vec)]"},
        {"next offline over a stalling Next", [&] { RunNextOfflineTest(config(B::StallingNext), sizeof(EventPkStm)); },
         u"TestStandardRoutines, Line 160 [stalls<4], [Next makes no progress.]"},
        {"next offline over a repeating Next",
         [&] { RunNextOfflineTest(config(B::RepeatingNext), sizeof(EventPkStm)); },
         u"TestStandardRoutines, Line 146 [stalls<4], [Next makes no progress.]"},
        {"next online over a repeating Next", [&] { RunNextOnlineTest(config(B::RepeatingNext), sizeof(EventPkStm)); },
         u"TestStandardRoutines, Line 218 [stalls<4], [Next makes no progress.]"},
        {"online/offline over a repeating Next",
         [&] { RunOnlineOfflineComparison<EventPkStm>(config(B::RepeatingNext)); },
         u"TestStandardRoutines, Line 722 [edg.GetRecordData<TBufType>(0,vec)]"},
        {"online/offline over a stalling Next",
         [&] { RunOnlineOfflineComparison<EventPkStm>(config(B::StallingNext)); },
         u"TestStandardRoutines, Line 723 [vec.size()>0], [OnlineOffline Comparison needs some events to work with.]"},
        {"online/offline with another value online",
         [&] { RunOnlineOfflineComparison<EventPkStm>(config(B::OnlineValue)); },
         u"TestStandardRoutines, Line 737 [EventHelper::same(buf[i],vec[ndx+i])], [Event #1 differs between online "
         u"and offline ("},
        {"online/offline with an event left out online",
         [&] { RunOnlineOfflineComparison<EventPkStm>(config(B::OnlineSkip)); },
         u"TestStandardRoutines, Line 737 [EventHelper::same(buf[i],vec[ndx+i])], [Event #2 differs between online "
         u"and offline ("},
        {"next offline with S_FALSE before the end",
         [&] {
             // Its one stimulus lies past the first pass's end tick, which therefore gets nothing.
             EnumTestConfig late = config(B::EarlyFalse);
             late.mArithString = KVO::String(u"erstimsob(19995)");
             RunNextOfflineTest(late, sizeof(EventPkStm));
         },
         u"TestStandardRoutines, Line 143 [nut==kRecordEndOffset || hr==S_OK], [Bad HResult from Next.]"},
        {"next offline where the record never ends",
         [&] { RunNextOfflineTest(config(B::EndlessRecord), sizeof(EventPkStm)); },
         u"TestStandardRoutines, Line 159 [preventinfiniteloop<4], [Enumerator isn't returning kRecordEndOffset at "
         u"end of record]"},
        {"next online with S_FALSE before the end",
         [&] { RunNextOnlineTest(config(B::EarlyFalse), sizeof(EventPkStm)); },
         u"TestStandardRoutines, Line 216 [hr==S_OK || nut==kRecordEndOffset], [S_FALSE and kRecordEndOffset must go "
         u"together.]"},
        {"online/offline with S_FALSE before the end",
         [&] { RunOnlineOfflineComparison<EventPkStm>(config(B::EarlyFalse)); },
         u"TestStandardRoutines, Line 734 [hr==S_OK || nut==kRecordEndOffset]"},
        {"online/offline where the end of the record releases every event, more than one buffer",
         [&] { RunOnlineOfflineComparison<EventPkStm>(config(B::HoldingBack, 40000)); }, u"(passed)"},
        {"next online on 200 samples", [&] { RunNextOnlineTest(config(B::OnlineValue, 200), sizeof(EventPkStm)); },
         u"TestStandardRoutines, Line 179 [numsamples>200]"},
        {"deterministic find where a forward Find claims an event its range lacks",
         [&] { RunDeterministicFindTest<EventPkStm>(config(B::FindClaims), 0); },
         u"test_CXEnums, Line 205 [hr==S_FALSE]"},
        {"find where a forward Find claims an event its range lacks",
         [&] { RunFindTest<EventPkStm>(config(B::FindClaims)); }, u"TestStandardRoutines, Line 650 [hr==S_FALSE]"},
        {"deterministic find where a backward Find that finds nothing moves below its range",
         [&] { RunDeterministicFindTest<EventPkStm>(config(B::FindOvershoots), 0); },
         u"test_CXEnums, Line 234 [nPos>pos0 && nPos<=pos1], [Bad position returned by Find when going backwards and "
         u"no event found.]"},
        {"find where a backward Find that finds nothing moves below its range",
         [&] { RunFindTest<EventPkStm>(config(B::FindOvershoots)); },
         u"TestStandardRoutines, Line 679 [nPos>pos0 && nPos<=pos1]"},
        {"online/offline where Next counts more records than its buffer holds",
         [&] { RunOnlineOfflineComparison<EventPkStm>(config(B::OverCounting, 40000)); },
         u"TestStandardRoutines, Line 722 [edg.GetRecordData<TBufType>(0,vec)]"},
        {"the online routines pass where only values differ online", [&] {
             RunNextOnlineTest(config(B::OnlineValue), sizeof(EventPkStm));
             RunNextOfflineTest(config(B::OnlineValue), sizeof(EventPkStm));
         },
         u"(passed)"},
    };
    for (const Case& c : cases) {
        const std::u16string failure = FailureOf(c.run);
        EXPECT_EQ(failure.substr(0, c.failure.size()), c.failure) << c.what << ": " << std::string(failure.begin(), failure.end());
        // A routine that fails halfway through a record still ends it: nothing of its recording holds on to the
        // chart data that the calculation was made for.
        for (BrokenCalcClass* broken : classes) {
            if (IUnknown* context = broken->lastContext.Get()) {
                context->AddRef();
                EXPECT_EQ(context->Release(), 1u) << c.what;
                broken->lastContext.Reset();
            }
        }
    }
}

} // namespace
