#include "document/calcparams.h"

#include "document/settingids.h"
#include "document/settingsset.h"

namespace CX {

namespace {

namespace Id = Doc::SettingId;

std::int32_t TypeOf(const Doc::SettingsSet& s) { return s.GetInt(Id::kAnalysisType); }

} // namespace

EStimDetParams::EStimDetParams(const Doc::SettingsSet* s)
{
    ResetToDefaults();
    if (!s) {
        return;
    }
    oneStimPerBlock = s->GetInt(Id::kStimulusMode) == 4;
    height = s->GetDouble(TypeOf(*s) == 3 ? Id::kMinStimulusHeight : Id::kMinStimulusHeightPS);
    widthMs = s->GetDouble(Id::kMaxStimulusWidth);
    skipMs = oneStimPerBlock ? s->GetDouble(Id::kStimulusSearchStart) : 0.0;
    minGapMs = s->GetDouble(Id::kMinStimulusInterval);
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

ECAPPeakWidthFilterParams::ECAPPeakWidthFilterParams(const Doc::SettingsSet* s)
{
    ResetToDefaults();
    if (!s) {
        return;
    }
    minWidthMs = s->GetDouble(TypeOf(*s) == 5 ? Id::kMinPeakWidthAP : Id::kMinPeakWidthCardiac);
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
