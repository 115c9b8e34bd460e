#include "selftest/enumtests.h"

#include "engine/eventrecords.h"
#include "selftest/enumroutines.h"

#include <string>

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

EnumTestConfig::EnumTestConfig(std::uint32_t samplesPerRecord, KVO::String sourceExpression, KVO::String arithString)
    : mEnumID(TypeIdClass<&CX::CXChanCalcGUID, 0>::Get()),
      mSourceExpressions{std::move(sourceExpression)},
      mSourceValues{0},
      mArithString(std::move(arithString)),
      mNumSamples(samplesPerRecord),
      mFlag(false),
      mNumRecords(3),
      mSampleRates{1000.0}
{
}

namespace {

constexpr const char16_t* kStandardSource = u"1/(0.01+(1-sin(5*t)))^2 * 0.0001 + "
                                            u"threshold(sin(5*t - 2.5),.5)*(sin(5*t-2.5)-0.5)*(1+ 0.1*t)";

using K = SubTestKind;
const std::vector<SubTestKind> kStandardSeven{K::EventEnumBounceTest,
                                              K::EventEnumBounceTest2,
                                              K::EventEnumTestNextOffline,
                                              K::EventEnumTestNextOnline,
                                              K::EventEnumOnlineOfflineComparison,
                                              K::EventEnumTestFind,
                                              K::EventEnumTestSetSourcesTeachkit};

std::vector<SubTestKind> Before(std::vector<SubTestKind> first, const std::vector<SubTestKind>& rest)
{
    first.insert(first.end(), rest.begin(), rest.end());
    return first;
}

const CalcTestRow kRows[8] = {
    {"Crestmetrics::Enum::CAPPeakDet::Test", u"cappeakdet(ch1,0.3)", kStandardSource, 3, {u"cappeakdet(ch1,0.3)"},
     EventRecordKind::PkStm, Before({K::DeterministicBounceTest, K::DeterministicFindTest}, kStandardSeven), 32599,
     false, 0},
    {"Crestmetrics::Enum::ERStimDet::Test", u"ERStimDet(ch1,8,1000,2000,0,0)", u"5*sin(10*t)", 3, {},
     EventRecordKind::PkStm, kStandardSeven, 32599, false, 0},
    {"Crestmetrics::Enum::CalcBase::Test", u"calcbase(ch1,cappeakdet(ch1,0.3))", kStandardSource, 3,
     {u"calcbase(ch1,cappeakdet(ch1,0.3))"}, EventRecordKind::BCalcBase,
     Before({K::DeterministicFindTest}, kStandardSeven), 32599, false, 1},
    {"Crestmetrics::Enum::CalcBase::TestAR",
     u"calcbase(ch1,cappeakdet(ch1,0.3,0,0,10000,0,20000),0,0,-1,-1,0,0,0,10000,0,20000)", kStandardSource, 1,
     {u"calcbase(ch1,cappeakdet(ch1,0.3,0,0,10000,0,20000),0,0,-1,-1,0,0,0,10000,0,20000)"},
     EventRecordKind::BCalcBase,
     {K::DeterministicFindTest, K::EventEnumBounceTest, K::EventEnumBounceTest2, K::EventEnumTestNextOffline,
      K::EventEnumTestFind, K::EventEnumTestSetSourcesTeachkit},
     32599, false, 2},
    {"Crestmetrics::Enum::CalcAMax::Test", u"calcamax(ch1,calcbase(ch1,cappeakdet(ch1,0.3)))", kStandardSource, 3,
     {u"calcamax(ch1,calcbase(ch1,cappeakdet(ch1,0.3)))"}, EventRecordKind::BCalcMax, kStandardSeven, 32599, false,
     0},
    {"Crestmetrics::Enum::CalcBase2::Test", u"CalcBase2(ch1,calcamax(ch1,calcbase(ch1,cappeakdet(ch1,0.3))))",
     kStandardSource, 3, {}, EventRecordKind::BCalcBase2, kStandardSeven, 32599, false, 0},
    {"Crestmetrics::Enum::CalcBulk::Test",
     u"CalcBulk(ch1,CalcBase2(ch1,calcamax(ch1,calcbase(ch1,cappeakdet(ch1,0.3)))))", kStandardSource, 3, {},
     EventRecordKind::FCalc, kStandardSeven, 32599, false, 0},
    {"Crestmetrics::Enum::EventData::Test", u"CalcBase2(ch1,calcamax(ch1,calcbase(ch1,vch1)))", kStandardSource, 1,
     {u"cappeakdet(ch1,0.3)"}, EventRecordKind::BCalcBase2, kStandardSeven, 23110, true, 0},
};

const char* SubTestName(SubTestKind kind)
{
    switch (kind) {
    case K::DeterministicBounceTest: return "DeterministicBounceTest";
    case K::DeterministicFindTest: return "DeterministicFindTest";
    case K::EventEnumBounceTest: return "EventEnumBounceTest";
    case K::EventEnumBounceTest2: return "EventEnumBounceTest2";
    case K::EventEnumTestNextOffline: return "EventEnumTestNextOffline";
    case K::EventEnumTestNextOnline: return "EventEnumTestNextOnline";
    case K::EventEnumOnlineOfflineComparison: return "EventEnumOnlineOfflineComparison";
    case K::EventEnumTestFind: return "EventEnumTestFind";
    case K::EventEnumTestSetSourcesTeachkit: return "EventEnumTestSetSourcesTeachkit";
    }
    return "";
}

std::uint32_t RecordBytes(EventRecordKind record)
{
    switch (record) {
    case EventRecordKind::PkStm: return sizeof(CX::Enum::EventPkStm);
    case EventRecordKind::BCalcBase: return sizeof(CX::Enum::EventBCalcBase);
    case EventRecordKind::BCalcMax: return sizeof(CX::Enum::EventBCalcMax);
    case EventRecordKind::BCalcBase2: return sizeof(CX::Enum::EventBCalcBase2);
    case EventRecordKind::FCalc: return sizeof(CX::Enum::EventFCalc);
    }
    return 0;
}

template <class TBufType>
void RunFor(SubTestKind kind, const EnumTestConfig& config, int findCopy)
{
    switch (kind) {
    case K::DeterministicBounceTest: RunDeterministicBounceTest<TBufType>(config); break;
    case K::DeterministicFindTest: RunDeterministicFindTest<TBufType>(config, findCopy); break;
    case K::EventEnumBounceTest: RunBounceTest<TBufType>(config, false); break;
    case K::EventEnumBounceTest2: RunBounceTest<TBufType>(config, true); break;
    case K::EventEnumTestSetSourcesTeachkit: RunSetSourcesTest<TBufType>(config); break;
    case K::EventEnumTestFind: RunFindTest<TBufType>(config); break;
    case K::EventEnumTestNextOffline: RunNextOfflineTest(config, sizeof(TBufType)); break;
    case K::EventEnumTestNextOnline: RunNextOnlineTest(config, sizeof(TBufType)); break;
    case K::EventEnumOnlineOfflineComparison: RunOnlineOfflineComparison<TBufType>(config); break;
    default: break;
    }
}

} // namespace

bool SubTestBuilt(SubTestKind kind)
{
    switch (kind) {
    case K::DeterministicBounceTest:
    case K::DeterministicFindTest:
    case K::EventEnumBounceTest:
    case K::EventEnumBounceTest2:
    case K::EventEnumTestSetSourcesTeachkit:
    case K::EventEnumTestFind:
    case K::EventEnumTestNextOffline:
    case K::EventEnumTestNextOnline:
    case K::EventEnumOnlineOfflineComparison: return true;
    }
    return false;
}

const CalcTestRow& CalcTestRowAt(int index) { return kRows[index]; }

void ETB::FillContact() { SetContact(u"Crestmetrics", true); }

void ETB::DeclareSubTests()
{
    for (const SubTestKind kind : row_.subTests) {
        if (!SubTestBuilt(kind)) {
            continue;
        }
        const std::string name = std::string(row_.className) + "::" + SubTestName(kind);
        AddSubTest([this, kind] { Run(kind); }, name.c_str());
    }
}

void ETB::SetUp()
{
    if (row_.startsFromDefault) {
        config_ = EnumTestConfig();
        config_.mSourceExpressions = {KVO::String(row_.sourceExpression)};
        config_.mArithString = KVO::String(row_.arithString);
        config_.mSourceValues = {0};
        config_.mSampleRates = {1000.0};
    } else {
        config_ = EnumTestConfig(row_.samplesPerRecord, KVO::String(row_.sourceExpression),
                                 KVO::String(row_.arithString));
    }
    config_.mNumSamples = row_.samplesPerRecord;
    config_.mNumRecords = row_.records;
    config_.mVirtualChannels.clear();
    for (const char16_t* text : row_.virtualChannels) {
        config_.mVirtualChannels.emplace_back(text);
    }
    mRecordSize = RecordBytes(row_.record);
}

void ETB::Run(SubTestKind kind)
{
    switch (row_.record) {
    case EventRecordKind::PkStm: RunFor<CX::Enum::EventPkStm>(kind, config_, row_.findCopy); break;
    case EventRecordKind::BCalcBase: RunFor<CX::Enum::EventBCalcBase>(kind, config_, row_.findCopy); break;
    case EventRecordKind::BCalcMax: RunFor<CX::Enum::EventBCalcMax>(kind, config_, row_.findCopy); break;
    case EventRecordKind::BCalcBase2: RunFor<CX::Enum::EventBCalcBase2>(kind, config_, row_.findCopy); break;
    case EventRecordKind::FCalc: RunFor<CX::Enum::EventFCalc>(kind, config_, row_.findCopy); break;
    }
}

} // namespace Crestmetrics::Enum

namespace Crestmetrics {

void Crestmetrics_Document::DeclareSubTests() { AddSubTest([] {}, "Crestmetrics_Document::TestCalculations"); }

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
