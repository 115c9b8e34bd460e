#include "document/expressionbuilder.h"

#include "document/calcparams.h"
#include "document/settingids.h"
#include "document/settingsset.h"
#include "foundation/stringstream.h"
#include "frame/channeltoken.h"

namespace CX {

namespace Id = Doc::SettingId;

namespace {

constexpr std::int32_t kChannelKind = 4;
constexpr std::int32_t kSourceKind = static_cast<std::int32_t>(0xC0000000u);

// The record's values as the calculation texts write them: doubles separated by ", ".
KVO::String P(ParamHelper&& record)
{
    KVO::Automation::ClassicOStringStream out;
    record.WriteText(out);
    return out.str();
}

} // namespace

AnalysisRange::AnalysisRange(const Doc::SettingsSet& settings)
{
    if (settings.GetBool(Id::kNoCurrentResult)) {
        startTick = startBlock = endTick = endBlock = 0;
        return;
    }
    startBlock = settings.GetLong(Id::kRangeStartBlock);
    startTick = settings.GetLong(Id::kRangeStartTick);
    endBlock = settings.GetLong(Id::kRangeEndBlock);
    endTick = settings.GetLong(Id::kRangeEndTick);
}

void AnalysisRange::Write(std::wostream& out) const
{
    out << startBlock << L", " << startTick << L", " << endBlock << L", " << endTick;
}

ExpressionBuilder::ExpressionBuilder(const Doc::SettingsSet& settings, IUnknown* hostDocument, KVO::String& text,
                                     std::int32_t mode)
    : settings_(settings), fallback_(u"77"), range_(settings), sourceChannel_(settings.GetLong(Id::kSourceChannel)),
      eventChain_{settings.GetLong(Id::kEventChainChannel), kChannelKind},
      detectorStage_{settings.GetLong(Id::kDetectorStageChannel), kChannelKind},
      calculationStage_{settings.GetLong(Id::kCalcStageChannel), kChannelKind}, hostDocument_(hostDocument)
{
    if (mode == kEventChain) {
        BuildEventChain(text);
        return;
    }
    analysisType_ = settings.GetInt(Id::kAnalysisType);
    const ChannelRef& channel = mode == kCalculationStage ? eventChain_ : calculationStage_;
    ExtLib::QueryChannelToken(hostDocument_, channel.channel, channel.kind, text);
}

KVO::String ExpressionBuilder::Source() const
{
    KVO::Automation::ClassicOStringStream out;
    out << u"ch" << static_cast<std::int64_t>(sourceChannel_) + 1;
    return out.str();
}

KVO::String ExpressionBuilder::Lim() const
{
    KVO::Automation::ClassicOStringStream out;
    range_.Write(out);
    return out.str();
}

EEH::RoundTrip ExpressionBuilder::Setting(std::int32_t id) const { return {settings_.GetDouble(id)}; }

KVO::String ExpressionBuilder::DetectorStageToken() const
{
    return ExtLib::GetChannelToken(hostDocument_, detectorStage_.channel, detectorStage_.kind);
}

void ExpressionBuilder::BuildEventChain(KVO::String& text)
{
    notBuilt_ = true;
    const std::int32_t type = settings_.GetInt(Id::kAnalysisType);
    const std::int32_t stimulusMode = settings_.GetInt(Id::kStimulusMode);
    const bool stimulusDetected = stimulusMode == 3 || stimulusMode == 4;
    KVO::Automation::ClassicOStringStream out;

    // The stimulus detector: by position, or by height and width over the source.
    const auto stimulus = [&] {
        if (stimulusMode == 2) {
            out << u"erstimsob( " << Setting(Id::kStimulusPosition) << u", " << Lim() << u") ";
        } else {
            out << u"erstimdet( " << Source() << u", " << P(EStimDetParams(&settings_)) << u", " << Lim() << u") ";
        }
    };

    switch (type) {
    case 0:
    case 2:
        // Without Loopmetry's detection settings there is no detection to write: the text falls back.
        if (ILMDetectionSettings* detection = settings_.DetectionSettingsObject()) {
            notBuilt_ = false;
            USHORT configured = 0;
            detection->HasDetectorStage(&configured);
            if (configured != 0) {
                PreviewCalcExpression(detection, text, detectorStage_.channel, kChannelKind);
            } else {
                CustomDetection(detection, Source(), 0, -1, kSourceKind, text);
            }
        }
        break;
    case 1:
    case 5:
        notBuilt_ = false;
        ActionPotentialDetector(text);
        break;
    case 3:
        if (stimulusMode == 2 || stimulusDetected) {
            notBuilt_ = false;
            stimulus();
            text = out.str();
        }
        break;
    case 4:
        if (stimulusMode == 2 || stimulusDetected) {
            notBuilt_ = false;
            out << u"pspeakdet( " << DetectorStageToken() << u", ";
            stimulus();
            out << u", " << Setting(Id::kDetectionStart) << u", " << Setting(Id::kDetectionEnd)
                << u", " << Lim() << u") ";
            text = out.str();
        }
        break;
    default:
        break;
    }
    analysisType_ = type;
    if (notBuilt_) {
        text = fallback_;
    }
}

void ExpressionBuilder::ActionPotentialDetector(KVO::String& text) const
{
    KVO::Automation::ClassicOStringStream out;
    const KVO::String source = Source();
    const EEH::RoundTrip height = Setting(Id::kMinPeakHeight);
    if (settings_.GetBool(Id::kPeakWidthFilter)) {
        // The detector takes every width; the filter stage tests it.
        out << u"cappwf( " << source << u", " << u"calcbase( " << source << u", " << u"cappeakdet( "
            << DetectorStageToken() << u", " << height << u", " << u"0, " << Lim() << u"), "
            << P(EBaseParams(&settings_)) << u", " << Lim() << u" ), " << P(ECAPPeakWidthFilterParams(&settings_)) << u", "
            << Lim() << u" )";
    } else {
        double width = 0.0;
        ECAPPeakWidthFilterParams(&settings_).Value(0, width, false);
        out << u"cappeakdet( " << DetectorStageToken() << u", " << height << u", " << EEH::RoundTrip{width} << u", " << Lim()
            << u")";
    }
    text = out.str();
}

void ExpressionBuilder::CustomDetection(ILMDetectionSettings* detection, const KVO::String& token, std::int32_t flag,
                                        std::int32_t channel, std::int32_t kind, KVO::String& text) const
{
    BSTR eventText = nullptr;
    detection->BuildCalculationText(token.c_str(), flag, channel, kind, &eventText);
    KVO::Automation::ClassicOStringStream out;
    out << u"pcc( " << Source() << u", " << KVO::String::AttachBSTR(eventText) << u", " << Lim() << u" )";
    text = out.str();
}

void ExpressionBuilder::PreviewCalcExpression(ILMDetectionSettings* detection, KVO::String& text,
                                              std::int32_t channel, std::int32_t kind) const
{
    if (!detection) {
        return;
    }
    CustomDetection(detection, ExtLib::GetChannelToken(hostDocument_, channel, kind), 1, channel, kind, text);
}

void ExpressionBuilder::EvokedResponseDetectorExpression(KVO::String& text) const
{
    const std::int32_t stimulusMode = settings_.GetInt(Id::kStimulusMode);
    if (analysisType_ != 3 || stimulusMode < 2 || stimulusMode > 4) {
        return;
    }
    KVO::Automation::ClassicOStringStream out;
    out << u"erpeakdet( " << DetectorStageToken() << u", " << text << u", ";
    if (settings_.GetBool(Id::kUseDetectionOptions)) {
        out << Setting(Id::kMinPeakHeight) << u", " << Setting(Id::kDetectionStart) << u", "
            << Setting(Id::kDetectionEnd);
    } else {
        out << u"1, 0, 0";
    }
    out << u", " << Lim() << u")";
    text = out.str();
}

void ExpressionBuilder::CalculationStageExpression(KVO::String& text) const
{
    // An unknown type (a stored setting can hold one) has no detector and no measurements: the stage falls back as
    // the event chain does, rather than measuring as the general type.
    if (analysisType_ < 0 || analysisType_ > 5) {
        text = fallback_;
        return;
    }
    KVO::Automation::ClassicOStringStream out;
    const KVO::String source = Source();
    if (analysisType_ == 4) {
        out << u"pscalc( " << source << u", " << text << u", " << P(EPSCalcParams(&settings_)) << u", " << Lim()
            << u" )";
    } else {
        out << u"calcbulk( " << source << u", " << u"calcbase2( " << source << u", " << u"calcamax( " << source
            << u", " << u"calcbase( " << source << u", " << text << u", " << P(EBaseParams(&settings_)) << u", "
            << Lim() << u" )" << u", " << P(EAMaxParams(&settings_)) << u", " << Lim() << u" )" << u", "
            << P(EBase2Params(&settings_)) << u", " << Lim() << u" )" << u", " << P(EBulkParams(&settings_)) << u", "
            << Lim() << u" )";
    }
    text = out.str();
}

void ExpressionBuilder::SelectorExpression(std::int32_t code, KVO::String& text)
{
    KVO::Automation::ClassicOStringStream out;
    out << u"cxselector( " << text << u", " << code << u")";
    text = out.str();
}

} // namespace CX
