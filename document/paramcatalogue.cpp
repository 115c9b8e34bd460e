#include "document/paramcatalogue.h"

#include <iterator>

namespace CX {

namespace {

struct CatalogueRow {
    std::int32_t code;
    const char16_t* shortName;
    const char16_t* longName;
    const char16_t* description;
    bool hasSettings;
};

// clang-format off
// Type 0
constexpr CatalogueRow kType0[] = {
    {2, u"Baseline", u"Baseline", u"Average signal level in a flat region before the start of the peak.", true},
    {0, u"TStart", u"Start Time", u"Time interval from the start of the analysis region in the current block to the start of the peak.", true},
    {57, u"TEnd", u"End Time", u"Time interval from the start of the analysis region in the current block to the end of the peak.", true},
    {9, u"Width", u"Peak Width", u"Time interval from the start to the end of the peak.", false},
    {5, u"Height", u"Height", u"Signal level minus the baseline, at the peak.", false},
    {3, u"TimeToPeak", u"Time to Peak", u"Time interval from the start to the maximum (or minimum) of the peak.", false},
    {4, u"APeak", u"Value at Peak", u"Signal level at the peak (not relative to baseline).", false},
    {56, u"PeakArea", u"Peak Area", u"Area between the baseline and the signal for the whole peak.", false},
    {11, u"MaxSlope", u"Max Slope", u"Maximum smoothed slope over the whole peak. Uses five-point linear least squares.", false},
    {12, u"MinSlope", u"Min Slope", u"Minimum smoothed slope over the whole peak. Uses five-point linear least squares.", false},
    {13, u"TMaxSlope", u"Time at Max Slope", u"Time interval from the start of the peak to the position with maximum slope.", false},
    {14, u"TMinSlope", u"Time at Min Slope", u"Time interval from the start of the peak to the position with minimum slope.", false},
    {15, u"AMaxSlope", u"Value at Max Slope", u"Signal level at the position in the peak that has maximum smoothed slope (not relative to baseline).", false},
    {16, u"AMinSlope", u"Value at Min Slope", u"Signal level at the position in the peak that has maximum smoothed slope (not relative to baseline).", false},
    {17, u"TRise", u"Rise Time", u"Time interval for the peak to rise between two user specified thresholds.", true},
    {18, u"TFall", u"Fall Time", u"Time interval for the peak to fall between two user specified thresholds.", true},
    {19, u"SlopeRise", u"Rise Slope", u"Slope of the line joining the crossing points for TRise.", true},
    {20, u"SlopeFall", u"Fall Slope", u"Slope of the line joining the crossing points for TFall.", true},
    {23, u"Width10", u"Width at 10%", u"Time interval from first to last crossing of 10% of the height.", false},
    {24, u"Width20", u"Width at 20%", u"Time interval from first to last crossing of 20% of the height.", false},
    {25, u"Width30", u"Width at 30%", u"Time interval from first to last crossing of 30% of the height.", false},
    {26, u"Width40", u"Width at 40%", u"Time interval from first to last crossing of 40% of the height.", false},
    {27, u"Width50", u"Width at Half Height", u"Time interval from first to last crossing of 50% of the height.", false},
    {28, u"Width60", u"Width at 60%", u"Time interval from first to last crossing of 60% of the height.", false},
    {29, u"Width70", u"Width at 70%", u"Time interval from first to last crossing of 70% of the height.", false},
    {30, u"Width80", u"Width at 80%", u"Time interval from first to last crossing of 80% of the height.", false},
    {31, u"Width90", u"Width at 90%", u"Time interval from first to last crossing of 90% of the height.", false},
    {21, u"TailOvershoot", u"Tail Overshoot", u"Maximum deviation from baseline, from the end of the peak to the next baseline crossing.", false},
    {33, u"Tau", u"Tau", u"Time constant in a decaying exponential fit to the tail of the peak.", true},
    {10, u"Area", u"Area", u"Area between the baseline and the signal, over a user configurable region.", true},
    {48, u"Slope", u"Slope", u"Slope of a line fitted to the signal over a configurable region.", true},
    {32, u"Period", u"Period", u"Time interval from the previous peak to this one.", false},
    {58, u"TimeDate", u"Time and Date at Start", u"Time and date stamp at the start of the peak. The format matches the Wavedesk display settings.", false},
};
// Type 1
constexpr CatalogueRow kType1[] = {
    {2, u"RMP", u"Resting Membrane Potential", u"Average signal level in a flat region before the action potential.", true},
    {5, u"APA", u"Action Potential Amplitude", u"Peak signal level, relative to the baseline.", false},
    {11, u"Max dV/dt", u"Max dV/dt", u"Maximum smoothed slope over the whole action potential. Uses five-point linear least squares.", false},
    {52, u"MaxNegSlope", u"Max Negative Slope", u"Largest negative slope in a configurable region.", true},
    {34, u"APD10", u"Action Potential Duration at 10% Repolarization", u"Time interval from the start of the action potential to where the action potential has dropped by 10% of its height.", false},
    {35, u"APD20", u"Action Potential Duration at 20% Repolarization", u"Time interval from the start of the action potential to where the action potential has dropped by 20% of its height.", false},
    {36, u"APD30", u"Action Potential Duration at 30% Repolarization", u"Time interval from the start of the action potential to where the action potential has dropped by 30% of its height.", false},
    {37, u"APD40", u"Action Potential Duration at 40% Repolarization", u"Time interval from the start of the action potential to where the action potential has dropped by 40% of its height.", false},
    {38, u"APD50", u"Action Potential Duration at 50% Repolarization", u"Time interval from the start of the action potential to where the action potential has dropped by 50% of its height.", false},
    {39, u"APD60", u"Action Potential Duration at 60% Repolarization", u"Time interval from the start of the action potential to where the action potential has dropped by 60% of its height.", false},
    {40, u"APD70", u"Action Potential Duration at 70% Repolarization", u"Time interval from the start of the action potential to where the action potential has dropped by 70% of its height.", false},
    {41, u"APD80", u"Action Potential Duration at 80% Repolarization", u"Time interval from the start of the action potential to where the action potential has dropped by 80% of its height.", false},
    {42, u"APD90", u"Action Potential Duration at 90% Repolarization", u"Time interval from the start of the action potential to where the action potential has dropped by 90% of its height.", false},
    {43, u"Triangulation", u"Triangulation", u"Difference between two configurable APD values.", true},
    {44, u"PlateauV1", u"Plateau Voltage (Method 1)", u"Average signal between two configurable threshold crossings.", true},
    {45, u"PlateauV2", u"Plateau Voltage (Method 2)", u"Average signal over a configurable range after the peak.", false},
    {0, u"TStart", u"Start Time", u"Time interval from the start of the analysis region in the current block to the start of the action potential.", true},
    {17, u"TRise", u"Rise Time", u"Time interval for the peak to rise between two user specified thresholds.", true},
    {18, u"TFall", u"Fall Time", u"Time interval for the peak to fall between two user specified thresholds.", true},
    {1, u"Count", u"Count", u"Action potential index, counting from the start of the analysis region in the current block.", false},
    {32, u"Period", u"Period", u"Time interval from the previous action potential to this one.", false},
    {58, u"TimeDate", u"Time and Date of Occurrence", u"Time and date stamp at the start of the action potential. The format matches the Wavedesk display settings.", false},
};
// Type 5
constexpr CatalogueRow kType5[] = {
    {2, u"RMP", u"Resting Membrane Potential", u"Average signal level in a flat region before the start of the action potential.", true},
    {3, u"TimeToPeak", u"Time to Peak", u"The time from the start of the action potential to the maximum.", false},
    {5, u"APA", u"Action Potential Amplitude", u"The signal level minus the baseline at the action potential's maximum.", false},
    {11, u"Max dV/dt", u"Max dV/dt", u"Maximum smoothed slope over the whole action potential. Uses five-point linear least squares.", false},
    {52, u"MaxNegSlope", u"Max Negative Slope", u"Largest negative slope in a configurable region.", true},
    {27, u"Width50", u"Width at Half Height", u"Time interval from first to last crossing of 50% of the height.", false},
    {9, u"Width", u"Positive Peak Width", u"Time interval from the start to the end of the positive peak (excluding AHP).", false},
    {56, u"PeakArea", u"Area of Positive Peak", u"Area between the baseline and the signal, for the whole positive peak (excluding AHP).", false},
    {21, u"AHPAmplitude", u"AHP Amplitude", u"Maximum deviation from the baseline, in the afterhyperpolarization (AHP) region.", false},
    {53, u"AHPWidth", u"AHP Width", u"Time interval from the start to the end of the afterhyperpolarization (AHP) region.", false},
    {54, u"AHPArea", u"AHP Area", u"Area between the baseline and the signal, in the afterhyperpolarization (AHP) region.", false},
    {55, u"APDtot", u"Total Action Potential Duration", u"Time interval from the start of the action potential to the end of the AHP region.", false},
    {0, u"TStart", u"Start Time", u"Time interval from the start of the analysis region in the current block to the start of the action potential.", true},
    {17, u"TRise", u"Rise Time", u"Time interval for the peak to rise between two user specified thresholds.", true},
    {18, u"TFall", u"Fall Time", u"Time interval for the peak to fall between two user specified thresholds.", true},
    {1, u"Count", u"Count", u"Action potential index, counting from the start of the analysis region in the current block.", false},
    {32, u"Period", u"Period", u"Time interval from the previous action potential to this one.", false},
    {58, u"TimeDate", u"Time and Date of Occurrence", u"The time and date stamp at the start of the action potential. The format matches the Wavedesk display settings.", false},
};
// Type 2
constexpr CatalogueRow kType2[] = {
    {2, u"Baseline", u"Baseline", u"Average signal level in a flat region before the start of the peak.", true},
    {0, u"TStart", u"Start Time", u"Time interval from the start of the analysis region in the current block to the start of the peak.", true},
    {3, u"TimeToPeak", u"Time to Peak", u"Time interval from the start to the maximum (or minimum) of the peak.", false},
    {48, u"Slope", u"Slope", u"Slope of a line fitted to the signal over a configurable region.", true},
    {5, u"Height", u"Height", u"Signal level minus the baseline, at the peak.", false},
    {27, u"Width50", u"Width at Half Height", u"Time interval from first to last crossing of 50% of the height.", false},
    {56, u"PeakArea", u"Peak Area", u"Area between the baseline and the signal, for the whole peak.", false},
    {10, u"Area", u"Area", u"Area between the baseline and the signal, over a user configurable region.", true},
    {33, u"Tau", u"Tau", u"Time constant in a decaying exponential fit to the tail of the peak.", true},
    {58, u"TimeDate", u"Time and Date of TStart", u"The time and date stamp at the start of the peak. The format matches the Wavedesk display settings.", false},
};
// Type 3
constexpr CatalogueRow kType3[] = {
    {2, u"Baseline", u"Baseline", u"Average signal level in a flat region before the start of the response.", true},
    {0, u"TStart", u"Start Time", u"Time interval from the start of the analysis region in the current block to the start of the response.", true},
    {17, u"TRise", u"Rise Time", u"Time interval for the peak to rise between two user specified thresholds.", true},
    {18, u"TFall", u"Fall Time", u"Time interval for the peak to fall between two user specified thresholds.", true},
    {3, u"TimeToPeak", u"Time to Peak", u"Time interval from the start to the peak.", false},
    {47, u"Latency", u"Latency", u"Time interval from the stimulus artifact to the start of the response.", false},
    {10, u"Area", u"Area", u"Area between the baseline and the signal, over a user configurable region.", true},
    {56, u"ResponseArea", u"Response Area", u"Area between the baseline and the signal for the whole response.", false},
    {27, u"Width50", u"Width at Half Height", u"Time interval from first to last crossing of 50% of the height.", false},
    {5, u"Height", u"Height", u"Signal level minus the baseline, at the peak.", false},
    {46, u"Value", u"Value", u"Signal level at a configurable time after the stimulus artifact.", true},
    {48, u"Slope", u"Slope", u"Slope of a line fitted to the signal over a configurable region.", true},
    {33, u"Tau", u"Tau", u"Time constant in a decaying exponential fit to the tail of the response.", true},
    {58, u"TimeDate", u"Time and Date of TStart", u"The time and date stamp at the start of the response. The format matches the Wavedesk display settings.", false},
};
// Type 4
constexpr CatalogueRow kType4[] = {
    {0, u"TStart", u"Start Time", u"Time interval from the start of the analysis region in the current block to the first peak in the population spike.", false},
    {46, u"Value", u"Value", u"Signal level at a configurable time after the stimulus artifact.", true},
    {49, u"PopSpikeHeight", u"Population Spike Height", u"Height of the population spike, from the trough to the line joining the two peaks.", false},
    {50, u"PopSpikeArea", u"Population Spike Area", u"Area of the population spike.", false},
    {48, u"Slope", u"Slope", u"Slope of a line fitted to the signal over a configurable region.", true},
    {58, u"TimeDate", u"Time and Date of TStart", u"The time and date stamp at the first peak of the population spike. The format matches the Wavedesk display settings.", false},
};
// clang-format on

struct TypeRows {
    std::int32_t type;
    const CatalogueRow* first;
    std::size_t count;
};

// The order in which the types are built.
constexpr TypeRows kBuildOrder[] = {
    {0, kType0, std::size(kType0)}, {1, kType1, std::size(kType1)}, {5, kType5, std::size(kType5)},
    {2, kType2, std::size(kType2)}, {3, kType3, std::size(kType3)}, {4, kType4, std::size(kType4)},
};

const ParamCatalogue::Row kDefaultRow{};

bool IsBlankUnit(const std::u16string& base) { return base.empty() || base == u" "; }

} // namespace

ParamCatalogue::ParamCatalogue() { Build(); }

ParamCatalogue::~ParamCatalogue() = default;

void ParamCatalogue::Build()
{
    table_ = std::make_unique<Table>();
    for (auto& rows : table_->firstRow) {
        rows.fill(-1);
    }
    for (const TypeRows& type : kBuildOrder) {
        for (std::size_t i = 0; i < type.count; ++i) {
            const CatalogueRow& literal = type.first[i];
            AddRow(type.type, Row{literal.shortName, literal.longName, literal.description, literal.code,
                                  literal.hasSettings});
        }
    }
}

void ParamCatalogue::AddRow(std::int32_t type, const Row& row)
{
    if (type < 0 || type >= kTypeCount || table_->counts[type] >= kLineCount) {
        return;
    }
    const std::int32_t index = table_->counts[type];
    table_->lines[index][type] = row;
    ++table_->counts[type];
    if (row.Code >= 0 && row.Code < kLineCount && table_->firstRow[row.Code][type] < 0) {
        table_->firstRow[row.Code][type] = static_cast<std::int8_t>(index);
        table_->offerMasks[row.Code] |= 1u << type;
    }
}

std::int32_t ParamCatalogue::RowCount(std::int32_t type) const
{
    return type >= 0 && type < kTypeCount ? table_->counts[type] : 0;
}

std::int32_t ParamCatalogue::RowIndex(std::int32_t type, std::int32_t code) const
{
    if (type < 0 || type >= kTypeCount) {
        return -1;
    }
    if (code >= 0 && code < kLineCount) {
        return table_->firstRow[code][type];
    }
    const std::int32_t count = RowCount(type);
    for (std::int32_t i = 0; i < count; ++i) {
        if (table_->lines[i][type].Code == code) {
            return i;
        }
    }
    return -1;
}

std::uint32_t ParamCatalogue::OfferMask(std::int32_t code) const
{
    if (code >= 0 && code < kLineCount) {
        return table_->offerMasks[code];
    }
    std::uint32_t mask = 0;
    for (std::int32_t type = 0; type < kTypeCount; ++type) {
        mask |= Offers(type, code) ? 1u << type : 0u;
    }
    return mask;
}

std::u16string ParamCatalogue::ShortName(std::int32_t type, std::int32_t code) const
{
    const std::int32_t index = RowIndex(type, code);
    return index < 0 ? std::u16string(u"?") : table_->lines[index][type].ShortName;
}

const ParamCatalogue::Row& ParamCatalogue::Cell(std::int32_t type, std::int32_t index) const
{
    if (type < 0 || type >= kTypeCount || index < 0 || index >= kLineCount) {
        return kDefaultRow;
    }
    return table_->lines[index][type];
}

std::u16string PerSecond(const std::u16string& base) { return IsBlankUnit(base) ? u"Hz" : base + u"/s"; }

std::u16string TimesSecond(const std::u16string& base) { return IsBlankUnit(base) ? u"Units.s" : base + u".s"; }

KVO::PrefixedUnit ParamCatalogue::UnitText(std::int32_t code, const KVO::PrefixedUnit& source)
{
    switch (code) {
    case 0: case 32: case 33: case 57:
        return KVO::PrefixedUnit(u"s");
    case 3: case 9: case 13: case 14: case 17: case 18:
    case 23: case 24: case 25: case 26: case 27: case 28: case 29: case 30: case 31:
    case 34: case 35: case 36: case 37: case 38: case 39: case 40: case 41: case 42: case 43:
    case 47: case 51: case 53: case 55:
        return KVO::PrefixedUnit(u"s", u'm');
    case 2: case 4: case 5: case 15: case 16: case 21: case 44: case 45: case 46: case 49:
        return source;
    case 11: case 12: case 19: case 20: case 48: case 52:
        return KVO::PrefixedUnit(PerSecond(source.Base()), source.Prefix());
    case 10: case 50: case 54: case 56:
        return KVO::PrefixedUnit(TimesSecond(source.Base()), source.Prefix());
    case 1:
        return KVO::PrefixedUnit();
    case 58:
        return KVO::PrefixedUnit(u"", KVO::UnitPrefixIndex{1});
    default:
        return KVO::PrefixedUnit(u"?", source.Prefix());
    }
}

std::u16string ParamCatalogue::AnalysisTypeName(std::int32_t type)
{
    static const char16_t* const kNames[kTypeCount] = {u"General - Unstimulated", u"Cardiac Action Potential",
                                                       u"Synaptic", u"Evoked Response", u"Population Spike",
                                                       u"Action Potential"};
    return type >= 0 && type < kTypeCount ? kNames[type] : u"???";
}

std::u16string ParamCatalogue::DetectionModeName(std::int32_t mode)
{
    switch (mode) {
    case 2: return u"Time from start of block";
    case 3: return u"Height and width";
    case 4: return u"Height and width (one per block)";
    default: return u"???";
    }
}

} // namespace CX
