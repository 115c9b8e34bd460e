// The nine self tests that the module registers: eight calculation tests over one calculation text each, and the
// document test.
#pragma once

#include "selftest/unittestbase.h"

#include <cstdint>
#include <vector>

namespace Crestmetrics::Enum {

// The description of a calculation test that the shared routines receive.
struct EnumTestConfig {
    EnumTestConfig();
    // One source channel at 1000 per second.
    EnumTestConfig(std::uint32_t samplesPerRecord, KVO::String sourceExpression, KVO::String arithString);

    std::uint32_t mEnumID;                      // the host calculation class that evaluates mArithString
    std::vector<KVO::String> mSourceExpressions; // one formula in t per source channel
    std::vector<std::uint32_t> mSourceValues;
    KVO::String mArithString;
    std::uint32_t mNumSamples;
    bool mFlag;
    std::uint32_t mNumRecords;
    std::vector<KVO::String> mVirtualChannels;
    std::vector<double> mSampleRates;
};

// The sub-tests a calculation test can run, each one shared routine.
enum class SubTestKind {
    DeterministicBounceTest,
    DeterministicFindTest,
    EventEnumBounceTest,
    EventEnumBounceTest2,
    EventEnumTestNextOffline,
    EventEnumTestNextOnline,
    EventEnumOnlineOfflineComparison,
    EventEnumTestFind,
    EventEnumTestSetSourcesTeachkit,
};

// The event record that a calculation emits.
enum class EventRecordKind { PkStm, BCalcBase, BCalcMax, BCalcBase2, FCalc };

// One row of the table of calculation tests.
struct CalcTestRow {
    const char* className;
    const char16_t* arithString;
    const char16_t* sourceExpression;
    std::uint32_t records;
    std::vector<const char16_t*> virtualChannels;
    EventRecordKind record;
    std::vector<SubTestKind> subTests;
    std::uint32_t samplesPerRecord;
    bool startsFromDefault; // the configuration is built field by field from the default one
    int findCopy;           // which copy of the deterministic find test the class runs
};

// Whether the module runs this kind of sub-test yet (the others are declared once their routines exist).
bool SubTestBuilt(SubTestKind kind);

// The base of the calculation tests: the configuration and the size of the calculation's event record.
class ETB : public UnitTestBase {
public:
    const EnumTestConfig& Config() const { return config_; }
    std::uint32_t RecordSize() const { return mRecordSize; }

protected:
    explicit ETB(const CalcTestRow& row) : row_(row) {}
    void FillContact() override;
    void DeclareSubTests() override;
    void SetUp() override;

    EnumTestConfig config_;
    std::uint32_t mRecordSize = 0;

private:
    void Run(SubTestKind kind);
    const CalcTestRow& row_;
};

const CalcTestRow& CalcTestRowAt(int index); // 0 to 7, in the order of registration

#define CRESTMETRICS_CALC_TEST(Family, Class, Row)                                                               \
    namespace Family {                                                                                          \
    class Class final : public ETB {                                                                            \
    public:                                                                                                     \
        Class() : ETB(CalcTestRowAt(Row)) {}                                                                    \
    };                                                                                                          \
    }
CRESTMETRICS_CALC_TEST(CAPPeakDet, Test, 0)
CRESTMETRICS_CALC_TEST(ERStimDet, Test, 1)
CRESTMETRICS_CALC_TEST(CalcBase, Test, 2)
CRESTMETRICS_CALC_TEST(CalcBase, TestAR, 3)
CRESTMETRICS_CALC_TEST(CalcAMax, Test, 4)
CRESTMETRICS_CALC_TEST(CalcBase2, Test, 5)
CRESTMETRICS_CALC_TEST(CalcBulk, Test, 6)
CRESTMETRICS_CALC_TEST(EventData, Test, 7)
#undef CRESTMETRICS_CALC_TEST

} // namespace Crestmetrics::Enum

namespace Crestmetrics {

class Crestmetrics_Document final : public UnitTestBase {
protected:
    void DeclareSubTests() override;
    void FillContact() override;
};

} // namespace Crestmetrics
