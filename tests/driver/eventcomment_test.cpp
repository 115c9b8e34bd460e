// Comments for module events: text and colour from the event's draw class, positions from the host, the step that
// builds the comment of a merged reader's next event.
#include "testhost.h"

#include "engine/eventrecords.h"
#include "frame/eventcomment.h"
#include "frame/typeid.h"
#include "host/hoststring.h"

#include <gtest/gtest.h>

namespace {

using CX::Enum::EventPkStm;

std::shared_ptr<const host::EventArray> PeakEvents(std::vector<EventPkStm> events, DWORD drawType)
{
    return host::EventArray::Of(events, drawType);
}

EventPkStm Peak(std::int32_t tick, std::int32_t kind)
{
    EventPkStm event{};
    event.tick = tick;
    event.value = 1.5;
    event.kind = kind;
    return event;
}

std::u16string TextOf(IChartCommentEx* comment)
{
    IKVOString* text = nullptr;
    EXPECT_EQ(comment->GetCommentInfo(nullptr, nullptr, nullptr, &text), S_OK);
    return host::TakeText(text);
}

DWORD ColourOf(IChartCommentEx* comment)
{
    DWORD id = 0;
    DWORD colour = 0;
    DWORD zero = 7;
    EXPECT_EQ(comment->GetDrawInfo(&id, &colour, &zero), S_OK);
    EXPECT_EQ(zero, 0u);
    return colour;
}

TEST(EventComment, TextAndColourComeFromTheDrawClassOfTheEvent)
{
    TestHost();
    const DWORD peakDraw = TypeIdClass<&CX::CXEventDrawGUID, 0>::Get();
    const DWORD noDraw = TypeIdClass<&CX::CXEventDrawGUID, 4>::Get();
    auto source = SourceOf(OneChannel({std::vector<float>(10), std::vector<float>(10)}, 0.001));
    source->AddEventChannel(u"stimuli", {nullptr, PeakEvents({Peak(10, CX::Enum::kKindStimulus)}, peakDraw)});
    source->AddEventChannel(u"plain", {nullptr, PeakEvents({Peak(20, CX::Enum::kKindPeak)}, 0)});
    source->AddEventChannel(u"hidden", {nullptr, PeakEvents({Peak(30, CX::Enum::kKindPeak)}, noDraw)});
    source->AddEventChannel(u"peaks", {nullptr, PeakEvents({Peak(40, CX::Enum::kKindPeak)}, peakDraw)});

    KVOEvent::MergedEventIter merged(source->AsSource(), 1, 0, 0, 0, 0);
    const struct {
        LONG tick;
        DWORD channel;
        const char16_t* text;
        DWORD colour;
    } expected[] = {
        {10, 1, u"CX: Peak 0 stimulus", 0x37B4FF},
        {20, 2, u"", 0xFFFFFF}, // draw type 0: nothing to ask
        {30, 3, u"NO DRAW", 0x9B1DE3},
        {40, 4, u"CX: Peak 0", 0x21AC7A},
    };
    for (const auto& e : expected) {
        platform::ComPtr<IChartCommentEx> comment;
        ASSERT_EQ(CX::Doc::CreateEventComment(merged, comment.Out()), S_OK);
        EXPECT_EQ(TextOf(comment.Get()), e.text);
        EXPECT_EQ(ColourOf(comment.Get()), e.colour);
        std::int32_t position[2] = {-1, -1};
        DWORD channel = 0;
        DWORD display = 0;
        IKVOString* text = nullptr;
        ASSERT_EQ(comment->GetCommentInfo(position, &channel, &display, &text), S_OK);
        host::TakeText(text);
        EXPECT_EQ(position[0], e.tick) << "the host's position of the event";
        EXPECT_EQ(position[1], 1);
        EXPECT_EQ(channel, e.channel);
        LONG pair[2] = {};
        ASSERT_EQ(comment->GetEventPosition(pair), S_OK);
        EXPECT_EQ(pair[0], e.tick);
        EXPECT_EQ(pair[1], 1);
    }
    IChartCommentEx* untouched = reinterpret_cast<IChartCommentEx*>(0x10);
    EXPECT_EQ(CX::Doc::CreateEventComment(merged, &untouched), S_FALSE);
    EXPECT_EQ(untouched, reinterpret_cast<IChartCommentEx*>(0x10));
}

TEST(EventComment, EventSlotsAndTexts)
{
    TestHost();
    const EventPkStm event = Peak(7, CX::Enum::kKindPeak);
    platform::ComPtr<IChartCommentEx> comment(new ChartClient::EventDataCommentTP(
        nullptr, reinterpret_cast<const std::byte*>(&event), 3, 0, 0, 0, 7, 2));
    EXPECT_EQ(comment->GetEventTick(nullptr), E_INVALIDARG);
    EXPECT_EQ(comment->GetEventPosition(nullptr), E_INVALIDARG);
    EXPECT_EQ(comment->SetEventTick(9), S_OK);
    LONG tick = 0;
    EXPECT_EQ(comment->GetEventTick(&tick), S_OK);
    EXPECT_EQ(tick, 9);
    DWORD id = 0;
    EXPECT_EQ(comment->GetMessageId(&id), S_OK);
    EXPECT_EQ(id & 0xFFFF, 18u);
    EXPECT_EQ(comment->UnusedSlot4(), E_NOTIMPL);
    EXPECT_EQ(comment->UnusedSlot15(), E_NOTIMPL);
    EXPECT_EQ(TextOf(comment.Get()), u"");
    EXPECT_EQ(ColourOf(comment.Get()), 0xFFFFFFu);

    // The module's own string is taken by reference; a host string is copied.
    const KVO::String own(u"own text");
    IKVOString* native = own.GetInterface();
    EXPECT_EQ(comment->SetText(native), S_OK);
    native->Release();
    auto* base = static_cast<ChartCommentBase*>(comment.Get());
    EXPECT_EQ(base->Text().c_str(), own.c_str()) << "adopted, not copied";
    auto foreign = host::MakeString(u"host text");
    EXPECT_EQ(comment->SetText(foreign.Get()), S_OK);
    EXPECT_EQ(TextOf(comment.Get()), u"host text");
    EXPECT_NE(base->Text().c_str(), foreign->GetText());
    EXPECT_EQ(comment->SetText(nullptr), S_OK);
    EXPECT_EQ(TextOf(comment.Get()), u"");

    IUnknown* object = reinterpret_cast<IUnknown*>(0x10);
    CAF::CreateHostObjectFromStrings(&object, KVO::String(u"a"), KVO::String(u"b"), 0, 0, KVO::String(u"c"));
    EXPECT_EQ(object, nullptr) << "the host offers no factory";
}

} // namespace
