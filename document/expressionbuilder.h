// The calculation texts that the host evaluates with the module's calculations: the event chain (the detector),
// the calculation stage (the measuring stages over the event chain), the evoked-response peak stage, the selector
// of one parameter, and the custom detection of the unstimulated types through Loopmetry's detection settings.
#pragma once

#include "foundation/kvostring.h"
#include "foundation/localeinfo.h"
#include "platform/com/unknown.h"
#include "sdk/documentsite.h"

#include <cstdint>
#include <ostream>

namespace CX::Doc {
class SettingsSet;
}

namespace CX {

// The stored analysis limits: all 0 while no analysis result is current (setting 2012), else settings 2005 to
// 2008. Written "start block, start tick, end block, end tick".
struct AnalysisRange {
    std::int32_t startTick = -1;
    std::int32_t startBlock = -1;
    std::int32_t endTick = -1;
    std::int32_t endBlock = -1;

    explicit AnalysisRange(const Doc::SettingsSet& settings);
    void Write(std::wostream& out) const;
};

class ExpressionBuilder {
public:
    enum Mode : std::int32_t {
        kEventChain = 0,       // text becomes the event-chain text
        kCalculationStage = 1, // text becomes the host's token of the event-chain channel
        kSelector = 2,         // text becomes the host's token of the calculation-stage channel
    };

    // `settings` must outlive the builder; `hostDocument` answers channel tokens and may be null.
    ExpressionBuilder(const Doc::SettingsSet& settings, IUnknown* hostDocument, KVO::String& text,
                      std::int32_t mode);
    ExpressionBuilder(const ExpressionBuilder&) = delete;
    ExpressionBuilder& operator=(const ExpressionBuilder&) = delete;

    // True after the event-chain text fell back to "77".
    bool NotBuilt() const { return notBuilt_; }
    std::int32_t AnalysisType() const { return analysisType_; }

    // Evoked responses only: puts the evoked-response peak stage around the text.
    void EvokedResponseDetectorExpression(KVO::String& text) const;
    // Puts the calculation stage around the text.
    virtual void CalculationStageExpression(KVO::String& text) const;
    // "cxselector( " text ", " code ")".
    static void SelectorExpression(std::int32_t code, KVO::String& text);
    // The custom detection of types 0 and 2 over the host's token of a channel.
    void PreviewCalcExpression(ILMDetectionSettings* detection, KVO::String& text, std::int32_t channel,
                               std::int32_t kind) const;

private:
    struct ChannelRef {
        std::int32_t channel;
        std::int32_t kind;
    };

    void BuildEventChain(KVO::String& text);
    void ActionPotentialDetector(KVO::String& text) const;
    // "pcc( " SRC ", " the detection's event text over the token ", " LIM " )".
    void CustomDetection(ILMDetectionSettings* detection, const KVO::String& token, std::int32_t flag,
                         std::int32_t channel, std::int32_t kind, KVO::String& text) const;
    KVO::String Source() const;
    KVO::String DetectorStageToken() const;
    KVO::String Lim() const;
    // A double setting as the texts write it: with the digits that carry it exactly, so that the analysis uses the
    // value that is set.
    EEH::RoundTrip Setting(std::int32_t id) const;

    bool notBuilt_ = false;
    std::int32_t analysisType_ = -1;
    const Doc::SettingsSet& settings_;
    KVO::String fallback_;
    AnalysisRange range_;
    std::int32_t sourceChannel_;
    ChannelRef eventChain_;
    ChannelRef detectorStage_;
    ChannelRef calculationStage_;
    IUnknown* hostDocument_;
};

} // namespace CX
