// "LMPeaks": the host's own peak detection as a calculation that calculation texts name. It reads one sample source and
// gives 16-byte events (tick, sub-tick offset, value) at the detected peaks.
//   lmpeaks( SOURCE, direction, threshold-in-SD, height, min-interval-s,
//   transform, smoothing-s, noise-window-s )
// Numbers left out keep their defaults (PeakDetectionParams).
#pragma once

#include "host/comobject.h"
#include "host/hostcalcclass.h"
#include "host/peakdetector.h"
#include "host/sampleformula.h"
#include "sdk/calcclass.h"
#include "sdk/calcenum.h"
#include "sdk/sampleenum.h"

#include <optional>
#include <string>
#include <vector>

namespace host {

class LMPeaksClass final : public HostCalcClass, public ICalcNumericParamsFuncClass {
public:
    static constexpr const char16_t* kName = u"LMPeaks";

    LMPeaksClass() : HostCalcClass(kName, u"Peaks above a threshold over the baseline noise") {}

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return HostCalcClass::AddRef(); }
    ULONG Release() override { return HostCalcClass::Release(); }

    HRESULT CreateInstance(IUnknown* context, ICalcEnum** out) override;

    HRESULT GetAliasCount(LONG* count) override;
    HRESULT GetAlias(LONG index, IKVOString** alias) override;
    HRESULT GetInfo(IKVOString** name, DWORD* id, LONG* paramCount, LONG* sourceCount, DWORD* kind1,
                    DWORD* kind2) override;
    HRESULT GetParam(LONG index, double* maximum, double* minimum, DWORD* kind, IKVOString** name) override;
    HRESULT TestSourceKind(LONG index, DWORD mask) override;
};

// The numbers of a parameter text in the order above; nullopt when the text holds anything else or a value out of
// range.
std::optional<PeakDetectionParams> ParsePeakParams(std::u16string_view text);
// The numbers separated by `separator`.
std::u16string WritePeakParams(const PeakDetectionParams& params, const char* separator = " ");

class LMPeaksEnum final : public ICalcEnum, public IEnumEventEx, private RefCounted {
public:
    explicit LMPeaksEnum(LMPeaksClass& owner) : owner_(owner) {}

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT GetClassId(DWORD* id) override;
    HRESULT GetClassObject(ICalcEnumClass2** out) override;
    HRESULT Parse(IKVOString* text, DWORD* flags) override;
    HRESULT Write(IKVOString** text) override;
    HRESULT Clone(ICalcEnum** out) override;
    HRESULT SetSources(LONG block, LONG count, IUnknown** sources, IUnknown** units, double tickPeriod,
                       LONG flag) override;
    HRESULT SeekStart(LONG tick) override;
    HRESULT ReleaseSources() override;
    HRESULT QueryFlags(DWORD, DWORD, DWORD* out) override;
    HRESULT Notify1(DWORD, DWORD) override { return S_OK; }
    HRESULT Notify2(DWORD, DWORD) override { return S_OK; }
    HRESULT GetTickPeriod(double* period, IKVOString** text) override;
    HRESULT GetCapabilities(DWORD* out) override;
    HRESULT GetStatus(DWORD* out) override;
    HRESULT GetSourceTimeBase(SourceTimeBase* out) override;
    void DeleteThis() override { delete this; }

    HRESULT Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition) override;
    HRESULT Find(LONG direction, LONG from, LONG low, LONG high) override;
    HRESULT GetPosition(LONG* tick) override;
    HRESULT Skip(LONG count, LONG* skipped) override;
    HRESULT Clone(IEnumEventEx** out) override;
    HRESULT GetEventSize(LONG* bytes) override;
    HRESULT GetDrawType(DWORD* id) override;
    HRESULT GetExtension(IUnknown** out) override;

private:
    // Back to the start of the block with a fresh detector; events before `from` are not given.
    void Restart(LONG from);
    // Reads samples until a peak is queued, the source has no more yet, or the block ends. False when nothing could be
    // queued.
    bool Fill();
    LONG Position() const;

    LMPeaksClass& owner_;
    PeakDetectionParams params_;
    platform::ComPtr<IEnumFloatEx> samples_;
    // The same source when it is the host's slope samples: read as doubles when the detection does not transform.
    platform::ComPtr<SlopeSamples> slopes_;
    double tickPeriod_ = 1.0;
    std::optional<PeakDetector> detector_;
    std::vector<DetectedPeak> queue_;
    std::size_t head_ = 0;
    LONG from_ = 0;
    bool ended_ = false;
    std::vector<float> buffer_;
    std::vector<double> slopeBuffer_;
};

} // namespace host
