#include "host/documentsampler.h"

#include <algorithm>

namespace host {

platform::ComPtr<DocumentSampler> DocumentSampler::Create(platform::ComPtr<DataSource> target)
{
    return platform::ComPtr<DocumentSampler>(new DocumentSampler(std::move(target)));
}

HRESULT DocumentSampler::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IHostSampling, static_cast<IHostSampling*>(this)}}, iid, out);
}

HRESULT DocumentSampler::GetSamplingState(DWORD, VARIANT_BOOL* sampling)
{
    if (!sampling) {
        return E_POINTER;
    }
    *sampling = sampling_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT DocumentSampler::StopSampling()
{
    if (!sampling_) {
        return S_FALSE;
    }
    EndBlock();
    Stop();
    return S_OK;
}

HRESULT DocumentSampler::StartSampling(double) { return Start() ? S_OK : S_FALSE; }

void DocumentSampler::SetRecording(std::shared_ptr<const Document> recording, LONG step)
{
    recording_ = std::move(recording);
    step_ = std::max<LONG>(step, 1);
    nextBlock_ = 0;
    Document& target = target_->GetDocument();
    if (recording_ && target.ChannelCount() == 0) {
        for (int channel = 0; channel < recording_->ChannelCount(); ++channel) {
            target.AddChannel(recording_->ChannelName(channel), recording_->ChannelUnit(channel));
        }
    }
}

int DocumentSampler::BlocksLeft() const { return recording_ ? recording_->BlockCount() - nextBlock_ : 0; }

bool DocumentSampler::Start()
{
    if (sampling_) {
        return false;
    }
    sampling_ = true;
    told_.push_back("started");
    target_->Sinks().ForEach([](IOnlineDataSink& sink) { sink.SamplingStarted(0); });
    return true;
}

bool DocumentSampler::BeginBlock()
{
    Document& target = target_->GetDocument();
    if (!sampling_ || openBlock_ >= 0 || BlocksLeft() <= 0 || recording_->ChannelCount() != target.ChannelCount()) {
        return false;
    }
    const double tickPeriod = recording_->TickPeriod(nextBlock_);
    openBlock_ = target.AddBlock(tickPeriod, true);
    replayed_ = 0;
    told_.push_back("block");
    const auto channels = static_cast<DWORD>(target.ChannelCount());
    const VARIANT_BOOL recorded = recorded_ ? VARIANT_TRUE : VARIANT_FALSE;
    const LONG block = openBlock_;
    target_->Sinks().ForEach([&](IOnlineDataSink& sink) {
        sink.BlockStarted(block, channels, tickPeriod, 0, 0, 0, 0, 0, recorded);
    });
    return true;
}

LONG DocumentSampler::Step()
{
    if (openBlock_ < 0) {
        return 0;
    }
    Document& target = target_->GetDocument();
    LONG appended = 0;
    for (int channel = 0; channel < target.ChannelCount(); ++channel) {
        const auto samples = recording_->Samples(nextBlock_, channel);
        const auto from = std::min<std::size_t>(static_cast<std::size_t>(replayed_), samples.size());
        const auto count = std::min<std::size_t>(static_cast<std::size_t>(step_), samples.size() - from);
        target.Append(openBlock_, channel, samples.subspan(from, count));
        appended = std::max(appended, static_cast<LONG>(count));
    }
    if (appended == 0) {
        return 0;
    }
    replayed_ += appended;
    told_.push_back("data " + std::to_string(appended));
    target_->Sinks().ForEach([&](IOnlineDataSink& sink) { sink.NewData(appended); });
    return appended;
}

bool DocumentSampler::EndBlock()
{
    if (openBlock_ < 0) {
        return false;
    }
    target_->GetDocument().FinishBlock(openBlock_);
    openBlock_ = -1;
    ++nextBlock_;
    told_.push_back("stopped");
    target_->Sinks().ForEach([](IOnlineDataSink& sink) { sink.SamplingStopped(0, 0); });
    return true;
}

bool DocumentSampler::Stop()
{
    if (!sampling_ || openBlock_ >= 0) {
        return false;
    }
    sampling_ = false;
    told_.push_back("after stop");
    target_->Sinks().ForEach([](IOnlineDataSink& sink) { sink.AfterStop(VARIANT_TRUE); });
    return true;
}

void DocumentSampler::ReplayAll()
{
    if (!sampling_) {
        Start();
    }
    while (openBlock_ >= 0 || BeginBlock()) {
        while (Step() > 0) {
        }
        EndBlock();
    }
    Stop();
}

} // namespace host
