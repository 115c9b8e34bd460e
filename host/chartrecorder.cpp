#include "host/chartrecorder.h"
#include "host/datasource.h"
#include "host/hoststring.h"

#include <algorithm>
#include <string>

namespace host {

HRESULT ChartRecorder::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IDataSource) {
        DataSource* reader = Reader();
        return reader ? reader->QueryInterface(iid, out) : E_NOINTERFACE;
    }
    return AnswerFrom({{&IID_IUnknown, static_cast<IChannelData*>(this)},
                       {&IID_IChannelData, static_cast<IChannelData*>(this)},
                       {&IID_IChartRecording, static_cast<IChartRecording*>(this)},
                       {&IID_IChartDataSink, static_cast<IChartDataSink*>(this)},
                       {&IID_IChartRecordData, static_cast<IChartRecordData*>(this)},
                       {&IID_IOnlineDataNotices, static_cast<IOnlineDataNotices*>(this)},
                       {&IID_IChannelNaming, static_cast<IChannelNaming*>(this)},
                       {&IID_IChannelCalculation, static_cast<IChannelCalculation*>(this)}},
                      iid, out);
}

HRESULT ChartRecorder::GetChannelTimeBase(DWORD, LONG, LONG, ChannelTimeBase* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = {1, 1, 0.0};
    return S_OK;
}

template <class Notice>
void ChartRecorder::Tell(Notice notice)
{
    sinks_.ForEach(notice);
    // Readers of the recording listen on its data source.
    if (reader_) {
        reader_->Sinks().ForEach(notice);
    }
}

HRESULT ChartRecorder::CanSample(IKVOString** reason, VARIANT_BOOL* can)
{
    if (!reason || !can) {
        return E_POINTER;
    }
    *reason = nullptr;
    *can = sampling_ ? VARIANT_FALSE : VARIANT_TRUE;
    return S_OK;
}

HRESULT ChartRecorder::Prepare(LONG) { return S_OK; }

HRESULT ChartRecorder::StartRecord(LONG, IKVOChannelDataSource* source, double tickPeriod, double, double, LONG, LONG,
                                   LONG, VARIANT_BOOL)
{
    if (!source || !(tickPeriod > 0)) {
        return E_INVALIDARG;
    }
    source_ = source;
    const LONG channels = enabled_.empty() ? 0 : enabled_.rbegin()->first + 1;
    while (document_->ChannelCount() < channels) {
        document_->AddChannel(u"Channel " + std::u16string(1, static_cast<char16_t>(u'1' + document_->ChannelCount())),
                              u"V");
    }
    block_ = document_->AddBlock(tickPeriod, true);
    readers_.assign(static_cast<std::size_t>(channels), {});
    end_ = 0;
    if (!sampling_) {
        sampling_ = true;
        Tell([](IOnlineDataSink& sink) { sink.SamplingStarted(0); });
    }
    const LONG block = block_;
    Tell([&](IOnlineDataSink& sink) {
        sink.BlockStarted(block, static_cast<DWORD>(channels), tickPeriod, 0, 0, 0, 0, 0, VARIANT_TRUE);
    });
    return S_OK;
}

HRESULT ChartRecorder::AddTicks(LONG ticks)
{
    if (block_ < 0 || !source_ || ticks < 0) {
        return E_UNEXPECTED;
    }
    for (const auto& [channel, on] : enabled_) {
        auto& reader = readers_[static_cast<std::size_t>(channel)];
        if (!on || ticks == 0) {
            continue;
        }
        if (!reader) {
            platform::ComPtr<IUnknown> opened;
            if (FAILED(source_->GetChannelEnum(0, channel, opened.Out())) || !opened ||
                FAILED(opened->QueryInterface(IID_IEnumFloatEx, reader.OutVoid()))) {
                continue; // the channel stays without samples
            }
        }
        const auto old = document_->Samples(block_, channel);
        std::vector<float> samples(old.begin(), old.end());
        samples.resize(old.size() + static_cast<std::size_t>(ticks));
        LONG read = 0;
        reader->Read(ticks, samples.data() + old.size(), &read);
        samples.resize(old.size() + static_cast<std::size_t>(std::max<LONG>(read, 0)));
        document_->SetSamples(block_, channel, std::move(samples));
    }
    end_ += ticks;
    Tell([&](IOnlineDataSink& sink) { sink.NewData(ticks); });
    return S_OK;
}

HRESULT ChartRecorder::EndRecord(LONG, LONG* out)
{
    if (out) {
        *out = 0;
    }
    readers_.clear();
    if (block_ >= 0) {
        document_->FinishBlock(block_);
    }
    Tell([](IOnlineDataSink& sink) { sink.SamplingStopped(0, 0); });
    return S_OK;
}

HRESULT ChartRecorder::Stop(VARIANT_BOOL)
{
    source_.Reset();
    enabled_.clear();
    if (sampling_) {
        sampling_ = false;
        Tell([](IOnlineDataSink& sink) { sink.AfterStop(VARIANT_TRUE); });
    }
    return S_OK;
}

HRESULT ChartRecorder::SetupChannel(LONG channel, LONG enabled, VARIANT_BOOL, DWORD, KVORational, const KVORational*,
                                    DWORD, IKVOChannelDataSource*)
{
    if (channel < 0) {
        return E_INVALIDARG;
    }
    enabled_[channel] = enabled != 0;
    return S_OK;
}

HRESULT ChartRecorder::GetRecordEndPosition(LONG, KVOPosition* end)
{
    if (!end) {
        return E_POINTER;
    }
    *end = {end_, std::max(block_, 0)};
    return S_OK;
}

HRESULT ChartRecorder::GetTickPeriod(LONG, LONG record, double* period)
{
    if (!period) {
        return E_POINTER;
    }
    if (record >= 0 && record < document_->BlockCount()) {
        *period = document_->TickPeriod(record);
    }
    return S_OK;
}

HRESULT ChartRecorder::Subscribe(IOnlineDataSink* sink) { return sinks_.Subscribe(sink); }

HRESULT ChartRecorder::Unsubscribe(IOnlineDataSink* sink) { return sinks_.Unsubscribe(sink); }

DataSource* ChartRecorder::Reader()
{
    if (!reader_ && host_) {
        reader_ = DataSource::Create(*host_, document_);
        for (const auto& [number, text] : virtualTexts_) {
            reader_->SetVirtualCalculation(number, text);
        }
    }
    return reader_.Get();
}

HRESULT ChartRecorder::AllocateChannel(VARIANT_BOOL, DWORD, IKVOString** name, ChannelReference* channel)
{
    if (!channel) {
        return E_POINTER;
    }
    const int number = virtualChannels_++;
    channel->word0 = number;
    if (name) {
        const std::string digits = std::to_string(number + 1);
        *name = MakeString(u"vch" + std::u16string(digits.begin(), digits.end())).Detach();
    }
    return S_OK;
}

HRESULT ChartRecorder::SetCalculation(DWORD, IKVOString* text, IKVOString*, const ChannelReference* channel)
{
    if (!text || !channel) {
        return E_POINTER;
    }
    if (channel->word0 < 0 || channel->word0 >= virtualChannels_) {
        return E_INVALIDARG;
    }
    const char16_t* units = text->GetText();
    std::u16string calculation = units ? units : u"";
    if (calculation.empty()) {
        return E_INVALIDARG;
    }
    virtualTexts_[channel->word0] = calculation;
    if (reader_) {
        reader_->SetVirtualCalculation(channel->word0, std::move(calculation));
    }
    return S_OK;
}

HRESULT ChartDataFactory::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IChartDataFactory) {
        return Answer(static_cast<IChartDataFactory*>(this), out);
    }
    return E_NOINTERFACE;
}

HRESULT ChartDataFactory::CreateChartData(LONG, REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    IChannelData* made = ChartRecorder::Create(host_);
    const HRESULT hr = made->QueryInterface(iid, out);
    made->Release();
    return hr;
}

} // namespace host
