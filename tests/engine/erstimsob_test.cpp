#include "recording.h"

#include "engine/erstimsob.h"

#include <gtest/gtest.h>

using namespace recording;
using namespace enumharness;

namespace {

ComPtr<ICalcEnum> MakeSOB(const char16_t* text, LONG block, double tickPeriod)
{
    ComPtr<ICalcEnum> calc = MakeNamed(u"ERStimSOB", text);
    EXPECT_EQ(calc->SetSources(block, 0, nullptr, nullptr, tickPeriod, 0), S_OK);
    return calc;
}

struct Reply {
    HRESULT hr;
    LONG count;
    LONG next;
    LONG tick;
    bool operator==(const Reply&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Reply& r)
{
    return out << "{hr " << r.hr << ", count " << r.count << ", next " << r.next << ", tick " << r.tick << "}";
}

Reply NextOf(ICalcEnum* calc, ULONG bytes, LONG end)
{
    CX::Enum::EventPkStm out[2];
    out[0].tick = -7;
    Reply r{};
    r.hr = Events(calc)->Next(bytes, end, out, &r.count, &r.next);
    r.tick = out[0].tick;
    return r;
}

TEST(ERStimSOB, OneStimulusPerBlockAtItsPosition)
{
    // 2.5 ms at 0.5 ms per tick is tick trunc(5.5) = 5; 0 ms is tick 0; positions near and past the block end.
    const struct {
        const char16_t* text;
        LONG block;
        LONG stimulus;
    } cases[] = {
        {u"2.5", 0, 5}, {u"0", 3, 0}, {u"0 0 0 0 0", 1, 0}, {u"4999.5", 0, 9999}, {u"1e400", 0, 0x7FFFFFFF},
    };
    for (const auto& c : cases) {
        ComPtr<ICalcEnum> calc = MakeSOB(c.text, c.block, 0.0005);
        std::vector<CX::Enum::EventPkStm> all = ReadAll<CX::Enum::EventPkStm>(Events(calc.Get()).Get(), 4, 10000);
        if (c.stimulus == 0x7FFFFFFF) {
            EXPECT_TRUE(all.empty());
            continue;
        }
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all[0].tick, c.stimulus);
        EXPECT_EQ(all[0].kind, CX::Enum::kKindStimulus);
        EXPECT_EQ(all[0].value, 1.0);
    }
}

TEST(ERStimSOB, RequestsEndingBeforeItAndBuffersTooSmallKeepIt)
{
    ComPtr<ICalcEnum> calc = MakeSOB(u"10", 0, 0.001); // tick 10
    // A request that ends at the stimulus delivers nothing; the next finds it.
    EXPECT_EQ(NextOf(calc.Get(), 48, 10), (Reply{S_OK, 0, 10, -7}));
    // A buffer too small for one record (0 and 23 bytes): nothing written, the stimulus stays ahead.
    EXPECT_EQ(NextOf(calc.Get(), 0, 100), (Reply{S_OK, 0, 10, -7}));
    EXPECT_EQ(NextOf(calc.Get(), 23, -1), (Reply{S_OK, 0, 10, -7}));
    EXPECT_EQ(NextOf(calc.Get(), 24, 100), (Reply{S_OK, 1, 100, 10}));
    EXPECT_EQ(NextOf(calc.Get(), 48, -1), (Reply{S_FALSE, 0, 0x7FFFFFFF, -7}));
    // SeekStart changes nothing; Find moves the cursor.
    EXPECT_EQ(calc->SeekStart(0), S_OK);
    EXPECT_EQ(Events(calc.Get())->Find(0, 0, 0, 11), S_OK);
    EXPECT_EQ(NextOf(calc.Get(), 48, -1), (Reply{S_FALSE, 1, 0x7FFFFFFF, 10}));
    EXPECT_EQ(Events(calc.Get())->Find(0, 0, 0, 10), S_FALSE);
    EXPECT_EQ(Events(calc.Get())->Find(1, 10, 9, 100), S_OK);
    EXPECT_EQ(Events(calc.Get())->Find(1, 9, 0, 100), S_FALSE);
    LONG position = 0;
    Events(calc.Get())->GetPosition(&position);
    EXPECT_EQ(position, 0);
}

TEST(ERStimSOB, LimitsAndParameterText)
{
    // The stimulus at tick 10 against start and end limits (record, tick): delivered from the start tick on and
    // before the end tick.
    const struct {
        const char16_t* text;
        LONG block;
        std::size_t found;
    } cases[] = {
        {u"10 1 20 2 11", 0, 0}, {u"10 1 20 2 11", 1, 0}, {u"10 1 10 2 11", 1, 1},
        {u"10 1 20 2 11", 2, 1}, {u"10 1 20 2 10", 2, 0}, {u"10 1 20 2 11", 3, 0},
    };
    for (const auto& c : cases) {
        ComPtr<ICalcEnum> calc = MakeSOB(c.text, c.block, 0.001);
        EXPECT_EQ(ReadAll<CX::Enum::EventPkStm>(Events(calc.Get()).Get()).size(), c.found)
            << "block " << c.block;
        // What Next would not deliver, Find does not find.
        EXPECT_EQ(Events(calc.Get())->Find(0, 0, 0, 100), c.found ? S_OK : S_FALSE) << "block " << c.block;
    }
    ComPtr<ICalcEnum> calc = MakeSOB(u"2.5 1 2 3 4", 0, 0.001);
    IKVOString* text = nullptr;
    ASSERT_EQ(calc->Write(&text), S_OK);
    KVO::String written;
    written.AttachInterface(text);
    EXPECT_EQ(written, u"2.5 1 2 3 4");
    SourceTimeBase base{};
    EXPECT_EQ(calc->GetSourceTimeBase(&base), S_OK);
    EXPECT_EQ(base.a, 1);
    EXPECT_EQ(base.b, 1);
    EXPECT_EQ(base.offset, 0);
    DWORD capabilities = 0;
    calc->GetCapabilities(&capabilities);
    EXPECT_EQ(capabilities, 0x10000000u);
}

} // namespace
