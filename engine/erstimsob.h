// "ERStimSOB": one stimulus in every block, at a fixed time after the block's start. It reads no channel, so it is
// a small enumerator of its own instead of a family of the slice engine.
#pragma once

#include "engine/eeh3enumerator.h"
#include "engine/eventrecords.h"

namespace CX::Enum::ERStimSOB {

// Position_ms and the four limits.
class Params final : public EEH3::ParamsBase {
public:
    double positionMs = 0.0;

    void SetSources(LONG, IUnknown**, IUnknown**) override {}

protected:
    void ReadValues(std::wistream& in) override;
    void WriteValues(std::wostream& out) const override;
};

class Enum final : public CalcEnums::CalcEnumEventBase, public EEH3::EnumeratorBase {
public:
    Enum(ICalcEnumClass2* classObject, IUnknown* context, IUnknown* outer);

    // ICalcEnum
    HRESULT Parse(IKVOString* text, DWORD* flags) override;
    HRESULT Write(IKVOString** text) override;
    HRESULT Clone(ICalcEnum** out) override;
    using CalcEnumEventBase::Clone;
    HRESULT SetSources(LONG block, LONG count, IUnknown** sources, IUnknown** units, double tickPeriod,
                       LONG flag) override;
    HRESULT SeekStart(LONG tick) override;
    HRESULT ReleaseSources() override;
    HRESULT Notify1(DWORD a, DWORD b) override;
    HRESULT Notify2(DWORD a, DWORD b) override;
    HRESULT GetTickPeriod(double* period, IKVOString** text) override;
    HRESULT GetCapabilities(DWORD* out) override;
    HRESULT GetSourceTimeBase(SourceTimeBase* out) override;
    // IEnumEventEx
    HRESULT Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition) override;
    HRESULT Find(LONG direction, LONG from, LONG low, LONG high) override;
    HRESULT GetPosition(LONG* tick) override;
    HRESULT GetEventSize(LONG* bytes) override;
    HRESULT GetDrawType(DWORD* id) override;

    LONG StimulusTick() const { return stimulusTick_; }

private:
    Enum* Copy() const;
    bool InsideLimits() const;

    LONG cursor_ = 0;        // -1 after the parameters are read, 0 after the sources are set
    LONG stimulusTick_ = 0;
    Params params_;
    double tickPeriod_ = 0.0;
    LONG record_ = -1;
};

} // namespace CX::Enum::ERStimSOB
