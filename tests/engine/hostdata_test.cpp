#include "host/document.h"
#include "host/eventarray.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

struct Ev16 {
    std::int32_t tick;
    float offset;
    double value;
};

TEST(HostDocument, BlocksChannelsAndIndependentCursors)
{
    auto doc = host::Document::Create();
    EXPECT_EQ(doc->AddChannel(u"Vm", u"mV"), 0);
    EXPECT_EQ(doc->AddChannel(u"I", u"nA"), 1);
    const int b0 = doc->AddBlock(0.001);
    const int b1 = doc->AddBlock(0.0005);
    doc->SetSamples(b0, 0, {1, 2, 3, 4, 5});
    doc->SetSamples(b1, 1, {9, 8});
    EXPECT_EQ(doc->ChannelName(1), u"I");
    EXPECT_EQ(doc->ChannelUnit(0), u"mV");
    EXPECT_DOUBLE_EQ(doc->TickPeriod(b1), 0.0005);
    EXPECT_EQ(doc->Length(b0, 0), 5);
    EXPECT_EQ(doc->Length(b0, 1), 0);

    auto a = doc->OpenSamples(b0, 0, 1);
    auto b = doc->OpenSamples(b0, 0);
    std::array<float, 8> buffer{};
    LONG read = -1;
    EXPECT_EQ(a->Read(2, buffer.data(), &read), S_OK);
    EXPECT_EQ(read, 2);
    EXPECT_EQ(buffer[0], 2.0f);
    EXPECT_EQ(buffer[1], 3.0f);
    LONG position = -1;
    a->GetPosition(&position);
    EXPECT_EQ(position, 3);
    b->GetPosition(&position);
    EXPECT_EQ(position, 0) << "cursors are independent";

    // Reads stop at the end of a finished block with a failure.
    EXPECT_EQ(a->Read(8, buffer.data(), &read), S_OK);
    EXPECT_EQ(read, 2);
    EXPECT_EQ(a->Read(8, buffer.data(), &read), E_FAIL);
    EXPECT_EQ(read, 0);

    // Signed moves, clamped at tick 0.
    EXPECT_EQ(a->Move(-3), S_OK);
    a->GetPosition(&position);
    EXPECT_EQ(position, 2);
    EXPECT_EQ(a->Move(-10), S_FALSE);
    a->GetPosition(&position);
    EXPECT_EQ(position, 0);
    SourceTimeBase base{};
    EXPECT_EQ(a->GetTimeBase(&base), S_OK);
    EXPECT_EQ(base.a, 1);
    EXPECT_EQ(base.b, 1);
    EXPECT_EQ(base.offset, 0);
    EXPECT_GE(doc->SamplesServed(), 4u);
}

TEST(HostDocument, GrowingBlockReportsNotYetUntilFinished)
{
    auto doc = host::Document::Create();
    doc->AddChannel(u"Vm", u"mV");
    const int block = doc->AddBlock(0.001, true);
    auto cursor = doc->OpenSamples(block, 0);
    std::array<float, 4> buffer{};
    LONG read = -1;
    EXPECT_EQ(cursor->Read(4, buffer.data(), &read), S_OK);
    EXPECT_EQ(read, 0) << "nothing yet, no failure";
    const std::array<float, 3> more{1, 2, 3};
    doc->Append(block, 0, more);
    EXPECT_EQ(cursor->Read(4, buffer.data(), &read), S_OK);
    EXPECT_EQ(read, 3);
    EXPECT_EQ(cursor->Read(4, buffer.data(), &read), S_OK);
    EXPECT_EQ(read, 0);
    doc->FinishBlock(block);
    EXPECT_FALSE(doc->IsSampling(block));
    EXPECT_EQ(cursor->Read(4, buffer.data(), &read), E_FAIL);
}

TEST(HostEventArray, NextFindAndPositions)
{
    // Given out of order: the array keeps them in tick order.
    const std::vector<Ev16> records{{30, 0, 3}, {10, 0, 1}, {20, 0, 2}, {50, 0.5f, 5}};
    auto events = host::OpenEvents(host::EventArray::Of(records, 0x00070002));
    LONG size = 0;
    events->GetEventSize(&size);
    EXPECT_EQ(size, 16);
    DWORD draw = 0;
    events->GetDrawType(&draw);
    EXPECT_EQ(draw, 0x00070002u);

    std::array<Ev16, 4> out{};
    LONG count = -1;
    LONG next = -1;
    // A buffer for two records and an end tick of 40.
    EXPECT_EQ(events->Next(2 * 16, 40, out.data(), &count, &next), S_OK);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(out[0].tick, 10);
    EXPECT_EQ(out[1].tick, 20);
    EXPECT_EQ(next, 30);
    EXPECT_EQ(events->Next(4 * 16, 40, out.data(), &count, &next), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(next, 40) << "the next record lies beyond the end tick";
    EXPECT_EQ(events->Next(4 * 16, -1, out.data(), &count, &next), S_FALSE);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(out[0].tick, 50);
    EXPECT_EQ(next, kEndOfBlockTick);
    LONG position = 0;
    events->GetPosition(&position);
    EXPECT_EQ(position, kEndOfBlockTick);

    // Forward from 15 finds 20; backward from 30 finds 20 (the last before 30); windows are [low, high).
    EXPECT_EQ(events->Find(0, 15, 0, kEndOfBlockTick), S_OK);
    events->GetPosition(&position);
    EXPECT_EQ(position, 20);
    EXPECT_EQ(events->Find(1, 30, 0, kEndOfBlockTick), S_OK);
    events->GetPosition(&position);
    EXPECT_EQ(position, 20);
    EXPECT_EQ(events->Find(0, 21, 0, 30), S_FALSE);
    EXPECT_EQ(events->Find(1, 20, 15, 100), S_FALSE) << "10 lies below the window";
    EXPECT_EQ(events->Find(1, 0, 0, 100), S_FALSE);
    // A window whose end lies before its start holds nothing.
    EXPECT_EQ(events->Find(0, 5, 12, 11), S_FALSE);
    EXPECT_EQ(events->Find(0, 5, 10, static_cast<LONG>(0x80000000u)), S_FALSE);
    EXPECT_EQ(events->Find(0, 30, 30, 31), S_OK);
    EXPECT_EQ(events->Next(16, -1, out.data(), &count, &next), S_OK);
    EXPECT_EQ(out[0].tick, 30);

    platform::ComPtr<IEnumEventEx> copy;
    EXPECT_EQ(events->Clone(copy.Out()), S_OK);
    copy->GetPosition(&position);
    EXPECT_EQ(position, 50);
    // Skipping goes back over records, as far as the first.
    LONG skipped = 7;
    EXPECT_EQ(events->Skip(1, &skipped), S_OK);
    EXPECT_EQ(skipped, -1);
    events->GetPosition(&position);
    EXPECT_EQ(position, 30);
    EXPECT_EQ(events->Skip(10, &skipped), S_OK);
    EXPECT_EQ(skipped, -2);
    events->GetPosition(&position);
    EXPECT_EQ(position, 10);
}

} // namespace
