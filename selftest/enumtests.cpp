#include "selftest/enumtests.h"

#include "frame/hostservices.h"
#include "frame/module.h"
#include "frame/typeid.h"

namespace Crestmetrics::Enum {

EnumTestConfig::EnumTestConfig()
    : mEnumID(TypeIdClass<&CX::CXChanCalcGUID, 0>::Get()),
      mArithString(u"NOT SET"),
      mNumSamples(26123),
      mFlag(false),
      mNumRecords(3)
{
}

void ETB::FillContact() { SetContact(u"Crestmetrics", true); }

} // namespace Crestmetrics::Enum

namespace Crestmetrics {

void Crestmetrics_Document::FillContact() { SetContact(u"Crestmetrics", false); }

} // namespace Crestmetrics

namespace CX::Module {

void RegisterSelfTests()
{
    IUnitTestRegistry* registry = CAF::GetTestRegistry();
    if (!registry) {
        return;
    }
    namespace Tests = Crestmetrics::Enum;
    // The registry takes its own reference; ours, held across Add, frees a test the registry refuses.
    const auto add = [registry](IUnitTest* test) {
        platform::ComPtr<IUnitTest> held(test);
        registry->Add(held.Get());
    };
    add(new Tests::CAPPeakDet::Test);
    add(new Tests::ERStimDet::Test);
    add(new Tests::CalcBase::Test);
    add(new Tests::CalcBase::TestAR);
    add(new Tests::CalcAMax::Test);
    add(new Tests::CalcBase2::Test);
    add(new Tests::CalcBulk::Test);
    add(new Tests::EventData::Test);
    add(new Crestmetrics::Crestmetrics_Document);
}

} // namespace CX::Module
