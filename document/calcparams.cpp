#include "document/calcparams.h"

#include "document/settingids.h"
#include "document/settingsset.h"

#include <cmath>

namespace CX {

namespace Interim {

RuledRecord::RuledRecord(std::initializer_list<ValueRule> rules)
{
    for (const ValueRule& rule : rules) {
        rules_[count_++] = rule;
    }
    ResetToDefaults();
}

void RuledRecord::Set(std::int32_t index, double value) { values_[index] = value; }

double* RuledRecord::Value(std::int32_t index, double& value, bool write)
{
    if (index < 0 || index >= count_) {
        return nullptr;
    }
    const ValueRule& rule = rules_[index];
    if (!write) {
        value = values_[index];
        return &value;
    }
    double stored = value;
    if (rule.hasDefault && std::fabs(value + 1.0) < 1e-12) {
        stored = rule.defaultValue;
    } else if (rule.kind == ValueRule::kInt) {
        stored = value > 0 ? std::trunc(value + 0.5) : std::trunc(value - 0.5);
    } else if (rule.kind == ValueRule::kFlag) {
        stored = value > 0.5 ? 1.0 : 0.0;
    }
    values_[index] = stored;
    return &values_[index];
}

} // namespace Interim

namespace {

using Interim::ValueRule;
namespace Id = Doc::SettingId;

constexpr ValueRule Plain{ValueRule::kDouble, false, 0.0};
constexpr ValueRule Double(double d) { return {ValueRule::kDouble, true, d}; }
constexpr ValueRule Int(double d) { return {ValueRule::kInt, true, d}; }

std::int32_t TypeOf(const Doc::SettingsSet& s) { return s.GetInt(Id::kAnalysisType); }

} // namespace

EStimDetParams::EStimDetParams(const Doc::SettingsSet* s)
    : RuledRecord({Double(1), Double(10), Double(0), Double(0), {ValueRule::kFlag, true, 0}})
{
    ResetToDefaults();
    if (!s) {
        return;
    }
    const bool onePerBlock = s->GetInt(Id::kStimulusMode) == 4;
    Set(0, s->GetDouble(TypeOf(*s) == 3 ? Id::kMinStimulusHeight : Id::kMinStimulusHeightPS));
    Set(1, s->GetDouble(Id::kMaxStimulusWidth));
    Set(2, onePerBlock ? s->GetDouble(Id::kStimulusSearchStart) : 0.0);
    Set(3, s->GetDouble(Id::kMinStimulusInterval));
    Set(4, onePerBlock ? 1.0 : 0.0);
}

EPSCalcParams::EPSCalcParams(const Doc::SettingsSet* s)
{
    ResetToDefaults();
    if (!s) {
        return;
    }
    slopeStartMs = s->GetDouble(Id::kSlopeStart);
    slopeEndMs = s->GetDouble(Id::kSlopeEnd);
    valueAtMs = s->GetDouble(Id::kValueAt);
}

EBaseParams::EBaseParams(const Doc::SettingsSet* s)
{
    ResetToDefaults();
    if (!s) {
        return;
    }
    const bool evoked = TypeOf(*s) == 3;
    maxBaselineMs = 1000;
    noiseTolerancePercent = 5;
    searchStartMs = evoked ? s->GetDouble(Id::kDetectionStart) : -1.0;
    searchEndMs = evoked ? s->GetDouble(Id::kDetectionEnd) : -1.0;
    mode = s->GetInt(Id::kBaselineMode);
    baselineValue = s->GetDouble(Id::kBaselineValue);
}

EBase2Params::EBase2Params(const Doc::SettingsSet* s)
{
    ResetToDefaults();
    if (!s) {
        return;
    }
    midPlateauPercent = s->GetInt(Id::kMidPlateauPercent);
    tauStartPercent = s->GetInt(Id::kTauStartPercent);
    tauEndPercent = s->GetInt(Id::kTauEndPercent);
    plateauCentrePercent = s->GetInt(Id::kPlateauCentrePercent);
}

EAMaxParams::EAMaxParams(const Doc::SettingsSet* s)
{
    ResetToDefaults();
    if (!s) {
        return;
    }
    const std::int32_t type = TypeOf(*s);
    startHeightPercent = s->GetInt(type == 5 ? Id::kStartHeightPercentAP : Id::kStartHeightPercent);
    repositionEvent = type == 1 || type == 3 || type == 4 || type == 5 ? 0 : 1;
    endHeightPercent = s->GetInt(Id::kEndHeightPercent);
}

ECAPPeakWidthFilterParams::ECAPPeakWidthFilterParams(const Doc::SettingsSet* s) : RuledRecord({Double(50)})
{
    ResetToDefaults();
    if (!s) {
        return;
    }
    Set(0, s->GetDouble(TypeOf(*s) == 5 ? Id::kMinPeakWidthAP : Id::kMinPeakWidthCardiac));
}

EBulkParams::EBulkParams(const Doc::SettingsSet* s)
{
    ResetToDefaults();
    if (!s) {
        return;
    }
    analysisType = TypeOf(*s);
    areaStartMs = s->GetDouble(Id::kAreaStart);
    areaEndMs = s->GetDouble(Id::kAreaEnd);
    tauMode = s->GetInt(Id::kTauMode);
    tauFixedValue = s->GetDouble(Id::kTauFixedValue);
    riseStartPercent = s->GetInt(Id::kRiseStartPercent);
    riseEndPercent = s->GetInt(Id::kRiseEndPercent);
    triangulationStartPercent = s->GetInt(Id::kTriangulationStart);
    triangulationEndPercent = s->GetInt(Id::kTriangulationEnd);
    plateauWidthMs = s->GetDouble(Id::kPlateauWidth);
    pltWidthMs = s->GetDouble(Id::kPlateauLevelWidth);
    slopeStartMs = s->GetDouble(Id::kSlopeStart);
    slopeEndMs = s->GetDouble(Id::kSlopeEnd);
    valueMs = s->GetDouble(Id::kValueAt);
    maxNegSlopeStartMs = s->GetInt(Id::kMaxNegSlopeStart);
    maxNegSlopeSmoothMs = s->GetDouble(Id::kMaxNegSlopeSmoothing);
}

} // namespace CX
