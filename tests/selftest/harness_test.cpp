// The test harness as the host's registry drives it: failure texts, runs of passing and failing sub-tests, and the
// registry's listing and running of every registered test.
#include "host/calllog.h"
#include "host/framework.h"
#include "host/services.h"
#include "selftest/enumtests.h"
#include "selftest/unittestbase.h"

#include <boost/bind/bind.hpp>
#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>
#include <string>

namespace {

std::u16string Text(const KVO::String& text) { return std::u16string(text.View()); }

TEST(FailureText, ReadsFileLineConditionAndMessage)
{
    struct Case {
        const char* condition;
        const char* file;
        std::int32_t line;
        const char16_t* message;
        const char16_t* expected;
    };
    const Case cases[] = {
        {"mExpressions.size() == mSampleRates.size()", "TestDataAdder", 60, u"",
         u"TestDataAdder, Line 60 [mExpressions.size() == mSampleRates.size()]"},
        {"hr==S_OK", "TestStandardRoutines", 85, u"", u"TestStandardRoutines, Line 85 [hr==S_OK]"},
        {"", "a.cpp", 7, u"too few events", u"a.cpp, Line 7, [too few events]"},
        {"x", "a.cpp", 7, u"why", u"a.cpp, Line 7 [x], [why]"},
        {"", "a.cpp", 1234567, u"", u"a.cpp, Line 1234567"},
        {"x", "a.cpp", -3, u"", u"a.cpp, Line -3 [x]"},
        // Only "\" separates folders.
        {"c", "D:\\src\\selftest\\TestDataAdder.cpp", 2, u"", u"TestDataAdder.cpp, Line 2 [c]"},
        {"c", "src/selftest/TestDataAdder.cpp", 2, u"", u"src/selftest/TestDataAdder.cpp, Line 2 [c]"},
        {"c", "ends\\", 2, u"", u", Line 2 [c]"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Text(MakeFailureText(c.condition, c.file, c.line, KVO::String(c.message))), c.expected)
            << c.condition << " / " << c.file;
    }
}

TEST(FailureText, ChecksThrowOnlyWhenTheConditionIsFalse)
{
    EXPECT_NO_THROW(UnitTestCheck(true, "ok", "f", 1));
    const int line = __LINE__ + 2;
    try {
        UnitTestCheck(false, "mSink", "TestDataAdder", 487);
        FAIL() << "no exception";
    } catch (const UnitTestException& failure) {
        // The text as the tests name the check, then where the check is in this tree.
        const std::string place = "selftest/harness_test.cpp:" + std::to_string(line);
        EXPECT_EQ(Text(failure.Text()), u"TestDataAdder, Line 487 [mSink]");
        EXPECT_EQ(failure.Place().ToUtf8(), place);
        EXPECT_EQ(failure.Message().ToUtf8(), "TestDataAdder, Line 487 [mSink] (" + place + ")");
    }
    // A failure made without a place reads as its text alone.
    EXPECT_EQ(Text(UnitTestException(KVO::String(u"a.cpp, Line 1")).Message()), u"a.cpp, Line 1");
}

// A test whose set-up, sub-tests and tear-down record what ran; sub-tests of each kind of outcome.
class Recorder final : public UnitTestBase {
public:
    std::string trace;
    bool failSetUp = false;

protected:
    void DeclareSubTests() override
    {
        AddSubTest(boost::bind(&Recorder::Passes, this), "Recorder::Passes");
        AddSubTest(boost::bind(&Recorder::FailsCheck, this), "Recorder::FailsCheck");
        AddSubTest(boost::bind(&Recorder::ThrowsOther, this), "Recorder::ThrowsOther");
        AddSubTest(boost::bind(&Recorder::ThrowsNothingKnown, this), "Recorder::ThrowsNothingKnown");
    }
    void FillContact() override { SetContact(u"Recorder", true); }
    void SetUp() override
    {
        trace += 'S';
        UnitTestCheck(!failSetUp, "!failSetUp", "Recorder", 1); // kSetUpLine
    }
    void TearDown() override { trace += 'T'; }

private:
    void Passes() { trace += 'p'; }
    void FailsCheck()
    {
        trace += 'f';
        UnitTestCheck(1 + 1 == 3, "1 + 1 == 3", "C:\\tests\\Recorder.cpp", 42, KVO::String(u"arithmetic")); // kCheckLine
    }
    void ThrowsOther()
    {
        trace += 'o';
        throw std::out_of_range("index 9");
    }
    void ThrowsNothingKnown()
    {
        trace += 'n';
        throw 17;
    }
};

struct Outcome {
    HRESULT run;
    VARIANT_BOOL passed;
    std::u16string message;
    bool operator==(const Outcome&) const = default;
};

// " (selftest/harness_test.cpp:N)", N the line of this file that ends with "// " and the mark.
std::u16string PlaceOf(const std::string& mark)
{
    std::ifstream file(std::string(TEST_DATA_DIR) + "/harness_test.cpp");
    std::string line;
    for (int n = 1; std::getline(file, line); ++n) {
        if (line.ends_with("// " + mark)) {
            const std::string place = " (selftest/harness_test.cpp:" + std::to_string(n) + ")";
            return std::u16string(place.begin(), place.end());
        }
    }
    return u" (not found)";
}

Outcome RunOnce(IUnitTest& test, LONG index)
{
    Outcome outcome{test.RunSubTest(index), 1, {}};
    IKVOString* message = nullptr;
    EXPECT_EQ(test.GetResult(&outcome.passed, &message), S_OK);
    outcome.message = host::TakeText(message);
    return outcome;
}

TEST(Harness, RunsReportEachOutcomeAndNothingEscapes)
{
    platform::ComPtr<IUnitTest> test(new Recorder);
    auto& recorder = static_cast<Recorder&>(*static_cast<UnitTestBase*>(test.Get()));
    ASSERT_EQ(test->Declare(), S_OK);

    struct Case {
        LONG index;
        bool failSetUp;
        Outcome expected;
        const char* trace;
    };
    const Case cases[] = {
        {1, false, {S_OK, VARIANT_FALSE, u"Recorder.cpp, Line 42 [1 + 1 == 3], [arithmetic]" + PlaceOf("kCheckLine")}, "Sf"},
        {0, false, {S_OK, VARIANT_TRUE, u""}, "SpT"}, // a pass after a failure reads clean
        {2, false, {S_OK, VARIANT_FALSE, u"unexpected exception: index 9"}, "So"},
        {3, false, {S_OK, VARIANT_FALSE, u"unexpected exception: unknown"}, "Sn"},
        {0, true, {S_OK, VARIANT_FALSE, u"Recorder, Line 1 [!failSetUp]" + PlaceOf("kSetUpLine")}, "S"}, // skipped
    };
    for (const Case& c : cases) {
        recorder.trace.clear();
        recorder.failSetUp = c.failSetUp;
        EXPECT_EQ(RunOnce(*test.Get(), c.index), c.expected) << c.index;
        EXPECT_EQ(recorder.trace, c.trace) << c.index;
    }
}

TEST(Harness, IndexesPastTheListAreRefusedAndDeclaringTwiceListsOnce)
{
    platform::ComPtr<IUnitTest> test(new Recorder);
    LONG count = -1;
    EXPECT_EQ(test->GetSubTestCount(&count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(test->Declare(), S_OK);
    EXPECT_EQ(test->Declare(), S_OK);
    EXPECT_EQ(test->GetSubTestCount(&count), S_OK);
    EXPECT_EQ(count, 4);

    IKVOString* name = nullptr;
    double value = 0;
    for (LONG index : {-1, 4, 1000}) {
        EXPECT_EQ(test->RunSubTest(index), E_INVALIDARG) << index;
        EXPECT_EQ(test->GetSubTestName(index, &name), E_INVALIDARG) << index;
        EXPECT_EQ(name, nullptr);
        EXPECT_EQ(test->GetSubTestValue(index, &value), E_INVALIDARG) << index;
    }
    for (LONG index = 0; index < count; ++index) {
        EXPECT_EQ(test->GetSubTestValue(index, &value), S_OK);
        EXPECT_EQ(value, 60.0);
    }
    EXPECT_EQ(test->GetSubTestName(3, &name), S_OK);
    EXPECT_EQ(host::TakeText(name), u"Recorder::ThrowsNothingKnown");
}

TEST(Harness, AnswersOnlyItsOwnInterfaces)
{
    platform::ComPtr<IUnitTest> test(new Recorder);
    struct Case {
        const IID* iid;
        HRESULT expected;
    };
    for (const Case& c : {Case{&IID_IUnknown, S_OK}, Case{&IID_IUnitTest, S_OK},
                          Case{&IID_IUnitTestRegistry, E_NOINTERFACE}}) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(test->QueryInterface(*c.iid, &out), c.expected);
        EXPECT_EQ(out == nullptr, c.expected != S_OK);
        if (out) {
            static_cast<IUnknown*>(out)->Release();
        }
    }
}

// The registry lists and runs the sub-tests of every registered test, as `crestmetrics selftest` does.
TEST(Registry, ListsAndRunsEveryRegisteredSubTest)
{
    host::CallLog log;
    host::TestRegistry registry(log);
    ASSERT_EQ(registry.Add(new Recorder), S_OK);
    ASSERT_EQ(registry.Add(new Crestmetrics::Crestmetrics_Document), S_OK);
    ASSERT_EQ(registry.Add(new Recorder), S_OK);

    const auto listed = host::RunRegisteredTests(registry, false);
    ASSERT_EQ(listed.size(), 9u);
    EXPECT_FALSE(listed[0].ran);
    EXPECT_EQ(listed[4].name, u"Crestmetrics_Document::TestCalculations");
    EXPECT_EQ(listed[5].name, u"Recorder::Passes");
    EXPECT_EQ(listed[5].test, 2u);

    const auto ran = host::RunRegisteredTests(registry, true, {u"Recorder::Passes", u"Recorder::FailsCheck"});
    ASSERT_EQ(ran.size(), 4u);
    for (const auto& outcome : ran) {
        EXPECT_TRUE(outcome.ran);
        EXPECT_EQ(outcome.passed, outcome.index == 0) << outcome.index;
        EXPECT_EQ(outcome.message.empty(), outcome.index == 0) << outcome.index;
    }
    EXPECT_EQ(host::TestContact(*registry.Tests()[1].Get()), u"Crestmetrics (document tests)");
    registry.Drop();
}

} // namespace
