// The host's side of a preview's own sampling: the data a preview shows (with its time base), the recording sources
// that preview sampling writes into (their samples kept in the storage the preview hands over), the sampling control
// and service, and the document's display properties.
#pragma once

#include "host/blocktimebase.h"
#include "host/comobject.h"
#include "sdk/previewsampling.h"

#include <string>
#include <vector>

namespace host {

// A recording that preview sampling fills: blocks in a time base, samples appended to the stream "Samples" of its
// storage (4-byte little-endian floats).
class PreviewRecording final : public RefCounted, public IPreviewData, public IRecordingStorage {
public:
    static platform::ComPtr<PreviewRecording> Create(double tickSeconds);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetTimeBase(IChartTimeBase** out) override;
    HRESULT CreateRecordingSource(LONG, IUnknown**) override { return E_NOTIMPL; }
    HRESULT GetPlacementMode(LONG, LONG, LONG* mode) override
    {
        if (!mode) {
            return E_POINTER;
        }
        *mode = 0;
        return S_OK;
    }
    HRESULT SetStorage(IStorage* storage) override;

    bool HasStorage() const { return static_cast<bool>(storage_); }
    IStorage* Storage() const { return storage_.Get(); }
    // Appends samples to the open block (a new block when none is open); false when they cannot be kept.
    bool Append(const std::vector<float>& samples);
    void EndBlock() { blockOpen_ = false; }
    LONGLONG SampleCount() const { return samples_; }

private:
    explicit PreviewRecording(double tickSeconds) : timeBase_(BlockTimeBase::Create(tickSeconds)) {}
    platform::ComPtr<BlockTimeBase> timeBase_;
    platform::ComPtr<IStorage> storage_;
    platform::ComPtr<IStream> stream_;
    bool blockOpen_ = false;
    LONGLONG samples_ = 0;
    LONGLONG inBlock_ = 0;
    LONG block_ = -1;
};

// The document's data as a preview shows it; its recording sources are new preview recordings.
class PreviewData final : public RefCounted, public IPreviewData {
public:
    static platform::ComPtr<PreviewData> Create(double tickSeconds, LONGLONG ticks);
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetTimeBase(IChartTimeBase** out) override;
    HRESULT CreateRecordingSource(LONG kind, IUnknown** out) override;
    // Answers `placementMode` and keeps each block asked about.
    HRESULT GetPlacementMode(LONG reserved, LONG block, LONG* mode) override;
    LONG placementMode = 0;
    std::vector<LONG> placementBlocks;

private:
    explicit PreviewData(double tickSeconds) : tickSeconds_(tickSeconds), timeBase_(BlockTimeBase::Create(tickSeconds)) {}
    double tickSeconds_;
    platform::ComPtr<BlockTimeBase> timeBase_;
};

// Sampling into the attached recording. It refuses to start without a recording or without storage for it.
class PreviewSamplingControl final : public RefCounted, public ISamplingControl, public ISamplingService {
public:
    static platform::ComPtr<PreviewSamplingControl> Create(LONG channels = 1);
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT IsSampling() override { return sampling_ ? S_OK : S_FALSE; }
    HRESULT SelectChannels(LONG, DWORD channels, LONG) override;
    HRESULT Prepare(BOOL* allowed, IKVOString** message) override;
    HRESULT Start(double startTime, IKVOString** message) override;
    HRESULT Stop() override;
    HRESULT AttachRecording(IUnknown* recording) override;
    HRESULT DetachRecording(IUnknown* recording) override;
    HRESULT GetState(WORD* busy, LONG* channels) override;
    HRESULT GetControl(ISamplingControl** out) override;

    // Scripting for tests and the command-line host.
    WORD busy = 0;
    LONG channels;
    bool allowStart = true;
    std::u16string refusal; // the message of a refused preparation
    DWORD selected = 0;
    int starts = 0;
    int stops = 0;
    PreviewRecording* Attached() const { return recording_.Get(); }
    // Samples arriving while sampling runs go to the attached recording.
    bool Deliver(const std::vector<float>& samples);

private:
    explicit PreviewSamplingControl(LONG channelCount) : channels(channelCount) {}
    bool sampling_ = false;
    platform::ComPtr<PreviewRecording> recording_;
};

// The document's display properties and sampling service for previews.
class PreviewDocument final : public RefCounted, public IPreviewDocument {
public:
    static platform::ComPtr<PreviewDocument> Create();
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetDisplayValue(LONG* value) override;
    HRESULT GetSamplingService(ISamplingService** out) override;
    HRESULT GetDisplayProperty(DWORD code, LONG* value) override;
    HRESULT GetPaneMetrics(LONG metrics[3]) override;
    HRESULT GetColourTable(const COLORREF** colours, LONG* count) override;

    bool hasDisplayValue = true;
    LONG displayValue = 2;
    LONG traceColour = 0;
    LONG property0E = 0;
    LONG property09 = 1;
    LONG paneMetrics[3] = {12, 14, 10};
    std::vector<COLORREF> colours{RGB(0, 0, 160), RGB(160, 0, 0), RGB(0, 120, 0)};
    platform::ComPtr<PreviewSamplingControl> sampling; // none: no sampling service
};

} // namespace host
