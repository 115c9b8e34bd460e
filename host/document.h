// A host document's recorded data: channels of float samples in blocks (records), each block with its own sample
// interval and length, and the host's float-sample enumerators over them. A block that is still being sampled
// grows as samples are appended; readers meet "no samples yet" at its end until the block is finished.
#pragma once

#include "host/displaysettings.h"
#include "sdk/sampleenum.h"

#include <cstdint>
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
    // A new block whose samples are `tickPeriod` seconds apart; `sampling` leaves it open for appending.
    int AddBlock(double tickPeriod, bool sampling = false);
    void SetSamples(int block, int channel, std::vector<float> samples);
    void Append(int block, int channel, std::span<const float> samples);
    // Sampling of the block has ended: reads past its last sample now fail.
    void FinishBlock(int block);

    int ChannelCount() const { return static_cast<int>(channels_.size()); }
    int BlockCount() const { return static_cast<int>(blocks_.size()); }
    const std::u16string& ChannelName(int channel) const { return channels_.at(channel).name; }
    const std::u16string& ChannelUnit(int channel) const { return channels_.at(channel).unit; }
    double TickPeriod(int block) const { return blocks_.at(block).tickPeriod; }
    bool IsSampling(int block) const { return blocks_.at(block).sampling; }
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
    struct Block {
        double tickPeriod = 1.0;
        bool sampling = false;
        std::vector<std::vector<float>> channels;
    };

    const std::vector<float>& Data(int block, int channel) const { return blocks_.at(block).channels.at(channel); }

    std::vector<Channel> channels_;
    std::vector<Block> blocks_;
    std::uint64_t readCalls_ = 0;
    std::uint64_t samplesServed_ = 0;
    platform::ComPtr<DocumentSettings> displaySettings_ = DocumentSettings::Create();
};

} // namespace host
