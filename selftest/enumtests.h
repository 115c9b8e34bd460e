// The nine self tests that the module registers: eight calculation tests over one calculation text each, and the
// document test. Their sub-tests are declared by the test classes (none yet).
#pragma once

#include "selftest/unittestbase.h"

#include <cstdint>
#include <vector>

namespace Crestmetrics::Enum {

// The description of a calculation test that the shared routines receive.
struct EnumTestConfig {
    EnumTestConfig();

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

// The base of the calculation tests: the configuration and the size of the calculation's event record.
class ETB : public UnitTestBase {
public:
    const EnumTestConfig& Config() const { return config_; }

protected:
    void FillContact() override;
    void DeclareSubTests() override {}

    EnumTestConfig config_;
    std::uint32_t mRecordSize = 0;
};

namespace CAPPeakDet {
class Test final : public ETB {};
}
namespace ERStimDet {
class Test final : public ETB {};
}
namespace CalcBase {
class Test final : public ETB {};
class TestAR final : public ETB {};
}
namespace CalcAMax {
class Test final : public ETB {};
}
namespace CalcBase2 {
class Test final : public ETB {};
}
namespace CalcBulk {
class Test final : public ETB {};
}
namespace EventData {
class Test final : public ETB {};
}

} // namespace Crestmetrics::Enum

namespace Crestmetrics {

class Crestmetrics_Document final : public UnitTestBase {
protected:
    void DeclareSubTests() override {}
    void FillContact() override;
};

} // namespace Crestmetrics
