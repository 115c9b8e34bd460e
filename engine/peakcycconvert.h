// "PeakCycConvert" (aliases "LMConvert", "PCC"): the events of another host calculation, typically the cycle
// detection of the Loopmetry extension, as detected peaks of this module. Each incoming event with a finite value
// becomes an EventPkStm of kind 2 at the same position, whose value is the sample of the tick source at its tick.
// A stateless filter over the event source, so it has an enumerator of its own instead of the slice engine.
#pragma once

#include "engine/eeh3enumerator.h"
#include "engine/eventrecords.h"

#include <boost/shared_ptr.hpp>

#include <vector>

namespace CX::Enum::LMConvert {

// The four limits only.
class Params final : public EEH3::ParamsBase {
public:
    void SetSources(LONG, IUnknown**, IUnknown**) override {}

protected:
    void ReadValues(std::wistream&) override {}
    void WriteValues(std::wostream&) const override {}
};

class Enum final : public CalcEnums::CalcEnumEventBase, public EEH3::EnumeratorBase {
public:
    Enum(ICalcEnumClass2* classObject, IUnknown* context, IUnknown* outer);
    ~Enum() override;

    // ICalcEnum
    HRESULT Parse(IKVOString* text, DWORD* flags) override;
    HRESULT Write(IKVOString** text) override;
    // Aggregated: a copy of the whole state, sources included; plain: a fresh enumerator with the same limits.
    HRESULT Clone(ICalcEnum** out) override;
    // Always a fresh enumerator with the same limits.
    HRESULT Clone(IEnumEventEx** out) override;
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

private:
    Enum* Copy() const;
    Enum* CopyWithSources() const;
    static void Drop(IUnknown*& p);

    IEnumEventEx* events_ = nullptr;                  // one reference
    LONG eventSize_ = 0;                              // bytes per incoming event, at least 16
    boost::shared_ptr<EEH3::FloatExWrapper> samples_; // the tick source
    Params params_;
    LONG record_ = 0;
    bool finished_ = false;                           // the end limit has been passed
    double tickPeriod_ = 0.0;
    IUnknown* units_[2] = {nullptr, nullptr};         // the unit objects given with the sources, one reference each
    std::vector<std::uint64_t> scratch_;              // incoming events
};

} // namespace CX::Enum::LMConvert
