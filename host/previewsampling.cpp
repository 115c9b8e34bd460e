#include "host/previewsampling.h"

#include "host/hoststring.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace host {

// ---------------------------------------------------------------------------------------------------------------
// Recordings

platform::ComPtr<PreviewRecording> PreviewRecording::Create(double tickSeconds)
{
    return platform::ComPtr<PreviewRecording>(new PreviewRecording(tickSeconds));
}

HRESULT PreviewRecording::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IPreviewData, static_cast<IPreviewData*>(this)},
                       {&IID_IRecordingStorage, static_cast<IRecordingStorage*>(this)},
                       {&IID_IRecordingTarget, static_cast<IPreviewData*>(this)}},
                      iid, out);
}

HRESULT PreviewRecording::GetTimeBase(IChartTimeBase** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = timeBase_.Get();
    (*out)->AddRef();
    return S_OK;
}

HRESULT PreviewRecording::SetStorage(IStorage* storage)
{
    stream_.Reset();
    storage_ = storage;
    if (storage_) {
        const HRESULT hr = storage_->CreateStream(u"Samples", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                                  stream_.Out());
        if (FAILED(hr)) {
            storage_.Reset();
            return hr;
        }
    }
    return S_OK;
}

bool PreviewRecording::Append(const std::vector<float>& samples)
{
    if (!stream_) {
        return false;
    }
    std::vector<std::byte> bytes(samples.size() * 4);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto bits = std::bit_cast<std::uint32_t>(samples[i]);
        for (int b = 0; b < 4; ++b) {
            bytes[i * 4 + b] = static_cast<std::byte>((bits >> (8 * b)) & 0xFF);
        }
    }
    ULONG written = 0;
    if (FAILED(stream_->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) || written != bytes.size()) {
        return false;
    }
    if (!blockOpen_) {
        blockOpen_ = true;
        ++block_;
        inBlock_ = 0;
        timeBase_->BlockStarted(block_, 0, FALSE);
    }
    inBlock_ += static_cast<LONGLONG>(samples.size());
    samples_ += static_cast<LONGLONG>(samples.size());
    LONGLONG newest = 0;
    timeBase_->NewData(inBlock_, &newest);
    return true;
}

// ---------------------------------------------------------------------------------------------------------------
// The document's data

platform::ComPtr<PreviewData> PreviewData::Create(double tickSeconds, LONGLONG ticks)
{
    platform::ComPtr<PreviewData> data(new PreviewData(tickSeconds));
    if (ticks > 0) {
        data->timeBase_->AppendBlock(ticks);
    }
    return data;
}

HRESULT PreviewData::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IPreviewData, static_cast<IPreviewData*>(this)}}, iid, out);
}

HRESULT PreviewData::GetPlacementMode(LONG, LONG block, LONG* mode)
{
    if (!mode) {
        return E_POINTER;
    }
    placementBlocks.push_back(block);
    *mode = placementMode;
    return S_OK;
}

HRESULT PreviewData::GetTimeBase(IChartTimeBase** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = timeBase_.Get();
    (*out)->AddRef();
    return S_OK;
}

HRESULT PreviewData::CreateRecordingSource(LONG kind, IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (kind != 0) {
        return E_INVALIDARG;
    }
    auto recording = PreviewRecording::Create(tickSeconds_);
    *out = static_cast<IPreviewData*>(recording.Detach());
    return S_OK;
}

// ---------------------------------------------------------------------------------------------------------------
// Sampling

platform::ComPtr<PreviewSamplingControl> PreviewSamplingControl::Create(LONG channels)
{
    return platform::ComPtr<PreviewSamplingControl>(new PreviewSamplingControl(channels));
}

HRESULT PreviewSamplingControl::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_ISamplingControl, static_cast<ISamplingControl*>(this)},
                       {&IID_ISamplingService, static_cast<ISamplingService*>(this)}},
                      iid, out);
}

HRESULT PreviewSamplingControl::SelectChannels(LONG, DWORD channelSet, LONG)
{
    selected = channelSet;
    return S_OK;
}

HRESULT PreviewSamplingControl::Prepare(BOOL* allowed, IKVOString** message)
{
    if (!allowed || !message) {
        return E_POINTER;
    }
    *allowed = allowStart ? TRUE : FALSE;
    *message = allowStart ? nullptr : MakeString(refusal).Detach();
    return S_OK;
}

HRESULT PreviewSamplingControl::Start(double, IKVOString** message)
{
    if (message) {
        *message = nullptr;
    }
    if (!recording_ || !recording_->HasStorage()) {
        if (message) {
            *message = MakeString(u"There is no storage for the new recording.").Detach();
        }
        return E_FAIL;
    }
    sampling_ = true;
    ++starts;
    return S_OK;
}

HRESULT PreviewSamplingControl::Stop()
{
    if (sampling_) {
        ++stops;
        if (recording_) {
            recording_->EndBlock();
        }
    }
    sampling_ = false;
    return S_OK;
}

HRESULT PreviewSamplingControl::AttachRecording(IUnknown* recording)
{
    platform::ComPtr<IPreviewData> data;
    if (!recording || FAILED(recording->QueryInterface(IID_IRecordingTarget, data.OutVoid()))) {
        return E_INVALIDARG;
    }
    recording_ = static_cast<PreviewRecording*>(data.Get());
    return S_OK;
}

HRESULT PreviewSamplingControl::DetachRecording(IUnknown* recording)
{
    platform::ComPtr<IPreviewData> data;
    if (recording && SUCCEEDED(recording->QueryInterface(IID_IRecordingTarget, data.OutVoid())) &&
        static_cast<PreviewRecording*>(data.Get()) == recording_.Get()) {
        Stop();
        recording_.Reset();
        return S_OK;
    }
    return S_FALSE;
}

HRESULT PreviewSamplingControl::GetState(WORD* busyOut, LONG* channelsOut)
{
    if (!busyOut || !channelsOut) {
        return E_POINTER;
    }
    *busyOut = busy;
    *channelsOut = channels;
    return S_OK;
}

HRESULT PreviewSamplingControl::GetControl(ISamplingControl** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = this;
    AddRef();
    return S_OK;
}

bool PreviewSamplingControl::Deliver(const std::vector<float>& samples)
{
    return sampling_ && recording_ && recording_->Append(samples);
}

// ---------------------------------------------------------------------------------------------------------------
// The document

platform::ComPtr<PreviewDocument> PreviewDocument::Create() { return platform::ComPtr<PreviewDocument>(new PreviewDocument); }

HRESULT PreviewDocument::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IPreviewDocument, static_cast<IPreviewDocument*>(this)}}, iid, out);
}

HRESULT PreviewDocument::GetDisplayValue(LONG* value)
{
    if (!value) {
        return E_POINTER;
    }
    *value = displayValue;
    return hasDisplayValue ? S_OK : S_FALSE;
}

HRESULT PreviewDocument::GetSamplingService(ISamplingService** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = sampling ? static_cast<ISamplingService*>(sampling.Get()) : nullptr;
    if (*out) {
        (*out)->AddRef();
    }
    return *out ? S_OK : E_NOINTERFACE;
}

HRESULT PreviewDocument::GetDisplayProperty(DWORD code, LONG* value)
{
    if (!value) {
        return E_POINTER;
    }
    switch (code) {
    case kDisplayTraceColour: *value = traceColour; return S_OK;
    case kDisplayValue: *value = property0E; return S_OK;
    case kDisplayFlag: *value = property09; return S_OK;
    default: return E_INVALIDARG;
    }
}

HRESULT PreviewDocument::GetPaneMetrics(LONG metrics[3])
{
    std::copy(paneMetrics, paneMetrics + 3, metrics);
    return S_OK;
}

HRESULT PreviewDocument::GetColourTable(const COLORREF** table, LONG* count)
{
    if (!table || !count) {
        return E_POINTER;
    }
    *table = colours.empty() ? nullptr : colours.data();
    *count = static_cast<LONG>(colours.size());
    return colours.empty() ? S_FALSE : S_OK;
}

} // namespace host
