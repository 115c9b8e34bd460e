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
    // Each test is handed over with a count of 0; the registry takes its own reference.
    registry->Add(new Tests::CAPPeakDet::Test);
    registry->Add(new Tests::ERStimDet::Test);
    registry->Add(new Tests::CalcBase::Test);
    registry->Add(new Tests::CalcBase::TestAR);
    registry->Add(new Tests::CalcAMax::Test);
    registry->Add(new Tests::CalcBase2::Test);
    registry->Add(new Tests::CalcBulk::Test);
    registry->Add(new Tests::EventData::Test);
    registry->Add(new Crestmetrics::Crestmetrics_Document);
}

} // namespace CX::Module
