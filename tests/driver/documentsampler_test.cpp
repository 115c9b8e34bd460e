// The host document's sampling: a recording replayed into a data source's document with the online-data notices in
// the host's order, the sampling position while a block is open, and the changed channels of a change notice.
#include "../host/noticelog.h"
#include "foundation/bitset.h"
#include "host/documentsampler.h"
#include "testhost.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<host::Document> TwoBlocks()
{
    auto recording = host::Document::Create();
    recording->AddChannel(u"A", u"V");
    recording->AddChannel(u"B", u"mV");
    for (const auto& [length, period] : {std::pair{7, 0.001}, std::pair{3, 0.002}}) {
        const int block = recording->AddBlock(period);
        for (int channel = 0; channel < 2; ++channel) {
            std::vector<float> samples(static_cast<std::size_t>(length));
            for (int i = 0; i < length; ++i) {
                samples[i] = static_cast<float>(100 * block + 10 * channel + i);
            }
            recording->SetSamples(block, channel, std::move(samples));
        }
    }
    return recording;
}

} // namespace

TEST(DocumentSampler, ReplaysBlockByBlockInStepsWithTheNoticesInOrder)
{
    const auto recording = TwoBlocks();
    const auto source = SourceOf(host::Document::Create());
    const auto sampler = host::DocumentSampler::Create(source);
    sampler->SetRecording(recording, 3);
    platform::ComPtr<NoticeLog> log(new NoticeLog);
    source->Subscribe(log.Get());

    platform::ComPtr<IHostSampling> state;
    ASSERT_EQ(sampler->QueryInterface(IID_IHostSampling, state.OutVoid()), S_OK);
    VARIANT_BOOL sampling = VARIANT_TRUE;
    state->GetSamplingState(0, &sampling);
    EXPECT_EQ(sampling, VARIANT_FALSE);
    KVOPosition position{};
    EXPECT_EQ(source->GetSamplingPosition(0, &position), E_FAIL) << "nothing is being sampled";

    EXPECT_EQ(state->StartSampling(0.0), S_OK);
    ASSERT_TRUE(sampler->BeginBlock());
    EXPECT_FALSE(sampler->BeginBlock()) << "a block is open";
    EXPECT_FALSE(sampler->Stop()) << "a block is open";
    EXPECT_EQ(sampler->Step(), 3);
    LONG block = -1;
    EXPECT_EQ(source->GetSamplingBlock(0, &block), S_OK);
    EXPECT_EQ(block, 0);
    EXPECT_EQ(source->GetSamplingPosition(0, &position), S_OK);
    EXPECT_EQ(position.mRecordOffset, 3);
    EXPECT_EQ(position.mRecord, 0);
    state->GetSamplingState(0, &sampling);
    EXPECT_EQ(sampling, VARIANT_TRUE);
    sampler->ReplayAll();
    source->Unsubscribe(log.Get());

    const std::vector<std::string> expected = {"started", "block 0", "data 3", "data 3", "data 1", "stopped",
                                               "block 1", "data 3", "stopped", "after stop"};
    EXPECT_EQ(log->notices, expected);
    const host::Document& target = source->GetDocument();
    ASSERT_EQ(target.ChannelCount(), 2);
    EXPECT_EQ(target.ChannelUnit(1), u"mV");
    ASSERT_EQ(target.BlockCount(), 2);
    EXPECT_DOUBLE_EQ(target.TickPeriod(1), 0.002);
    for (int b = 0; b < 2; ++b) {
        EXPECT_FALSE(target.IsSampling(b));
        for (int channel = 0; channel < 2; ++channel) {
            const auto want = recording->Samples(b, channel);
            const auto got = target.Samples(b, channel);
            EXPECT_TRUE(std::equal(want.begin(), want.end(), got.begin(), got.end())) << b << " " << channel;
        }
    }
    EXPECT_EQ(sampler->BlocksLeft(), 0);
    EXPECT_EQ(state->StopSampling(), S_FALSE) << "not sampling";
}

TEST(DocumentSampler, StoppingEndsTheOpenBlockAndAMismatchedRecordingIsRefused)
{
    const auto source = SourceOf(OneChannel({{1, 2, 3}}, 0.001));
    const auto sampler = host::DocumentSampler::Create(source);
    sampler->SetRecording(TwoBlocks(), 2); // two channels into one
    sampler->Start();
    EXPECT_FALSE(sampler->BeginBlock());
    EXPECT_EQ(source->GetDocument().BlockCount(), 1);

    sampler->SetRecording(OneChannel({{4, 5, 6, 7, 8}}, 0.001), 2);
    ASSERT_TRUE(sampler->BeginBlock());
    sampler->Step();
    platform::ComPtr<IHostSampling> state;
    sampler->QueryInterface(IID_IHostSampling, state.OutVoid());
    EXPECT_EQ(state->StopSampling(), S_OK);
    EXPECT_FALSE(sampler->IsSampling());
    EXPECT_FALSE(source->GetDocument().IsSampling(1));
    EXPECT_EQ(source->GetDocument().Length(1, 0), 2);
}

TEST(DocumentSampler, ChangedChannelsAreEverySampleChannelUnlessNamed)
{
    const auto source = SourceOf(TwoBlocks());
    auto changed = [&] {
        IKVOBitset* samples = nullptr;
        IKVOBitset* others = nullptr;
        EXPECT_EQ(source->GetChangedChannels(0, 0, 1, VARIANT_TRUE, &samples, &others), S_OK);
        KVO::Bitset set(KVO::BitsetRep::CopyFromInterface(samples));
        KVO::Bitset other(KVO::BitsetRep::CopyFromInterface(others));
        samples->Release();
        others->Release();
        EXPECT_FALSE(other.Test(0));
        return std::vector<bool>{set.Test(0), set.Test(1), set.Test(2), set.Test(40)};
    };
    EXPECT_EQ(changed(), (std::vector<bool>{true, true, false, false}));
    source->SetChangedChannels({1, 40});
    EXPECT_EQ(changed(), (std::vector<bool>{false, true, false, true}));
}
