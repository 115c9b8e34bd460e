// A host document's recorded data: channels of float samples in blocks (records), each block with its own sample
// interval and length, and the host's float-sample enumerators over them. A block that is still being sampled
// grows as samples are appended; readers meet "no samples yet" at its end until the block is finished.
#pragma once

#include "host/displaysettings.h"
#include "sdk/sampleenum.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace host {

class Document : public std::enable_shared_from_this<Document> {
public:
    static std::shared_ptr<Document> Create() { return std::shared_ptr<Document>(new Document); }

    // Channels and blocks are numbered from 0 in the order they are added. Every block holds every channel.
    int AddChannel(std::u16string name, std::u16string unit);
    // Room for `channels` channels in all, so that a reader that knows the count grows nothing.
    void ReserveChannels(std::size_t channels);
    // A new block whose samples are `tickPeriod` seconds apart; `sampling` leaves it open for appending.
    int AddBlock(double tickPeriod, bool sampling = false);
    // Room for `blocks` blocks in all, so that a reader that knows the count grows nothing.
    void ReserveBlocks(std::size_t blocks);
    void SetSamples(int block, int channel, std::vector<float> samples);
    void Append(int block, int channel, std::span<const float> samples);
    // Sampling of the block has ended: reads past its last sample now fail.
    void FinishBlock(int block);

    int ChannelCount() const { return static_cast<int>(channels_.size()); }
    int BlockCount() const { return static_cast<int>(tickPeriods_.size()); }
    const std::u16string& ChannelName(int channel) const { return channels_.at(channel).name; }
    const std::u16string& ChannelUnit(int channel) const { return channels_.at(channel).unit; }
    double TickPeriod(int block) const { return tickPeriods_.at(static_cast<std::size_t>(block)); }
    bool IsSampling(int block) const { return sampling_.at(static_cast<std::size_t>(block)); }
    // The samples of one channel so far.
    LONG Length(int block, int channel) const;
    std::span<const float> Samples(int block, int channel) const;

    // A float-sample enumerator of one channel in one block, positioned at `start`, with one reference.
    platform::ComPtr<IEnumFloatEx> OpenSamples(int block, int channel, LONG start = 0);

    // What the enumerators served since the document was made: read calls and samples delivered.
    std::uint64_t ReadCalls() const { return readCalls_; }
    std::uint64_t SamplesServed() const { return samplesServed_; }

    // The document's display settings (its settings source for the graphs).
    DocumentSettings& DisplaySettings() { return *displaySettings_.Get(); }

private:
    friend class SampleEnumerator;
    Document() = default;

    struct Channel {
        std::u16string name;
        std::u16string unit;
    };
    // A block costs its interval, a flag and one slot per channel; a channel's samples of a block that has any are
    // kept in a vector of their own, named by the slot. So an empty block or channel costs no more than the bytes a
    // saved document spends on it.
    std::vector<float>& Stored(int block, int channel);
    const std::vector<float>& Data(int block, int channel) const;
    std::size_t Slot(int block, int channel) const;

    std::vector<Channel> channels_;
    std::vector<double> tickPeriods_;
    std::vector<bool> sampling_;
    std::vector<std::uint32_t> slots_;           // [block * channels + channel]: 0 for none, else 1 + index in stores_
    std::deque<std::vector<float>> stores_;      // grows without moving what it holds
    std::uint64_t readCalls_ = 0;
    std::uint64_t samplesServed_ = 0;
    platform::ComPtr<DocumentSettings> displaySettings_ = DocumentSettings::Create();
};

} // namespace host
