#include "host/document.h"

#include "host/comobject.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace host {

// One cursor over one channel of one block. It keeps the document alive and reads its current length at every
// call, so a block that grows while it is open is seen growing.
class SampleEnumerator final : public IEnumFloatEx, public ITimeBaseSetter, private RefCounted {
public:
    SampleEnumerator(std::shared_ptr<Document> document, int block, int channel, LONG start)
        : document_(std::move(document)), block_(block), channel_(channel), position_(std::max<LONG>(start, 0))
    {
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IEnumFloatEx) {
            return Answer(static_cast<IEnumFloatEx*>(this), out);
        }
        if (iid == IID_ITimeBaseSetter) {
            return Answer(static_cast<ITimeBaseSetter*>(this), out);
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT Read(LONG count, float* buffer, LONG* read) override
    {
        if (!read || (count > 0 && !buffer)) {
            return E_POINTER;
        }
        *read = 0;
        ++document_->readCalls_;
        const std::vector<float>& data = document_->Data(block_, channel_);
        const auto length = static_cast<LONG>(data.size());
        if (position_ >= length) {
            return document_->IsSampling(block_) ? S_OK : E_FAIL;
        }
        const LONG n = std::min<LONG>(std::max<LONG>(count, 0), length - position_);
        std::copy_n(data.data() + position_, n, buffer);
        position_ += n;
        // Readers go on sequentially: ask for the next stretch while they work on this one.
        const float* ahead = data.data() + position_;
        for (LONG i = 0; i < n && position_ + i < length; i += 16) {
            __builtin_prefetch(ahead + i);
        }
        *read = n;
        document_->samplesServed_ += static_cast<std::uint64_t>(n);
        return S_OK;
    }
    HRESULT Move(LONG delta) override
    {
        const std::int64_t target = std::int64_t{position_} + delta;
        position_ = static_cast<LONG>(std::clamp<std::int64_t>(target, 0, kEndOfBlockTick));
        return target < 0 ? S_FALSE : S_OK;
    }
    HRESULT GetPosition(LONG* tick) override
    {
        if (!tick) {
            return E_POINTER;
        }
        *tick = position_;
        return S_OK;
    }
    HRESULT GetTimeBase(SourceTimeBase* out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = timeBase_;
        return S_OK;
    }
    // The offset is kept in whole ticks.
    HRESULT SetTimeBase(LONG a, LONG b, double offset) override
    {
        if (b == 0) {
            return E_INVALIDARG;
        }
        timeBase_ = {a, b, static_cast<std::int64_t>(std::llround(offset))};
        return S_OK;
    }

private:
    std::shared_ptr<Document> document_;
    int block_;
    int channel_;
    LONG position_;
    SourceTimeBase timeBase_{1, 1, 0}; // one tick per sample
};

int Document::AddChannel(std::u16string name, std::u16string unit)
{
    const std::size_t before = channels_.size();
    channels_.push_back({std::move(name), std::move(unit)});
    if (!tickPeriods_.empty()) {
        // Each block gets the new channel after its others.
        std::vector<std::uint32_t> slots(tickPeriods_.size() * channels_.size(), 0);
        for (std::size_t block = 0; block < tickPeriods_.size(); ++block) {
            std::copy_n(slots_.begin() + static_cast<std::ptrdiff_t>(block * before), before,
                        slots.begin() + static_cast<std::ptrdiff_t>(block * channels_.size()));
        }
        slots_ = std::move(slots);
    }
    return ChannelCount() - 1;
}

void Document::ReserveChannels(std::size_t channels) { channels_.reserve(channels); }

int Document::AddBlock(double tickPeriod, bool sampling)
{
    tickPeriods_.push_back(tickPeriod);
    sampling_.push_back(sampling);
    slots_.resize(slots_.size() + channels_.size(), 0);
    return BlockCount() - 1;
}

void Document::ReserveBlocks(std::size_t blocks)
{
    tickPeriods_.reserve(blocks);
    sampling_.reserve(blocks);
    slots_.reserve(blocks * channels_.size());
}

std::size_t Document::Slot(int block, int channel) const
{
    if (block < 0 || block >= BlockCount() || channel < 0 || channel >= ChannelCount()) {
        throw std::out_of_range("no such block or channel");
    }
    return static_cast<std::size_t>(block) * channels_.size() + static_cast<std::size_t>(channel);
}

std::vector<float>& Document::Stored(int block, int channel)
{
    std::uint32_t& slot = slots_[Slot(block, channel)];
    if (slot == 0) {
        stores_.emplace_back();
        slot = static_cast<std::uint32_t>(stores_.size());
    }
    return stores_[slot - 1];
}

const std::vector<float>& Document::Data(int block, int channel) const
{
    static const std::vector<float> kNone;
    const std::uint32_t slot = slots_[Slot(block, channel)];
    return slot == 0 ? kNone : stores_[slot - 1];
}

void Document::SetSamples(int block, int channel, std::vector<float> samples)
{
    if (samples.empty() && slots_[Slot(block, channel)] == 0) {
        return; // an empty channel keeps no vector
    }
    Stored(block, channel) = std::move(samples);
}

void Document::Append(int block, int channel, std::span<const float> samples)
{
    if (samples.empty()) {
        Slot(block, channel); // a block or channel that does not exist is refused all the same
        return;
    }
    std::vector<float>& data = Stored(block, channel);
    data.insert(data.end(), samples.begin(), samples.end());
}

void Document::FinishBlock(int block) { sampling_.at(static_cast<std::size_t>(block)) = false; }

LONG Document::Length(int block, int channel) const { return static_cast<LONG>(Data(block, channel).size()); }

std::span<const float> Document::Samples(int block, int channel) const { return Data(block, channel); }

platform::ComPtr<IEnumFloatEx> Document::OpenSamples(int block, int channel, LONG start)
{
    Data(block, channel); // throws for a block or channel that does not exist
    return platform::ComPtr<IEnumFloatEx>(new SampleEnumerator(shared_from_this(), block, channel, start));
}

} // namespace host
