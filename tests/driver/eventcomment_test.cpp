// Comments for module events: text and colour from the event's draw class, positions from the host, the step that
// builds the comment of a merged reader's next event.
#include "sdk/tableview.h"
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
    EXPECT_EQ(comment->GetInfo(nullptr, nullptr, nullptr, &text), S_OK);
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
        ASSERT_EQ(comment->GetInfo(position, &channel, &display, &text), S_OK);
        host::TakeText(text);
        EXPECT_EQ(position[0], e.tick) << "the host's position of the event";
        EXPECT_EQ(position[1], 1);
        EXPECT_EQ(channel, e.channel);
        std::int32_t pair[2] = {};
        ASSERT_EQ(comment->GetExtent(pair), S_OK);
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
    auto* tp = new ChartClient::EventDataCommentTP(nullptr, reinterpret_cast<const std::byte*>(&event), 3, 0, 0, 0,
                                                   7, 2);
    platform::ComPtr<IChartCommentEx> comment(tp);
    // The host reaches the event's own answers through the comment interface.
    std::int32_t tick = 0;
    EXPECT_EQ(comment->GetAbsolutePosition(&tick), S_OK);
    EXPECT_EQ(tick, 7);
    EXPECT_EQ(comment->GetAbsolutePosition(nullptr), E_INVALIDARG);
    EXPECT_EQ(comment->GetExtent(nullptr), E_INVALIDARG);
    EXPECT_EQ(comment->SetPositionOffset(9), S_OK);
    std::int32_t pair[2] = {};
    EXPECT_EQ(comment->GetExtent(pair), S_OK);
    EXPECT_EQ(pair[0], 9);
    EXPECT_EQ(pair[1], 2);
    DWORD id = 0;
    EXPECT_EQ(comment->GetMessageId(&id), S_OK);
    EXPECT_EQ(id & 0xFFFF, 18u);
    EXPECT_EQ(comment->GetPositionReversed(pair), E_NOTIMPL);
    EXPECT_EQ(comment->GetPositionOffset(pair), E_NOTIMPL);
    EXPECT_EQ(comment->GetPosition(pair), E_NOTIMPL);
    // The position slot of the base interface and the maker's interface keep the base's answer: no provider.
    std::int32_t value = 0;
    EXPECT_EQ(comment->GetAbsolutePositionAsValue(&value), E_FAIL);
    EXPECT_EQ(value, -1);
    platform::ComPtr<IKVOComment> kvo;
    ASSERT_EQ(comment->QueryInterface(IID_IKVOComment, reinterpret_cast<void**>(kvo.Out())), S_OK);
    value = 0;
    EXPECT_EQ(kvo->GetAbsolutePosition(&value), E_FAIL);
    EXPECT_EQ(value, -1);
    EXPECT_EQ(comment->UnusedSlot21(), E_FAIL);
    EXPECT_EQ(comment->UnusedSlot23(), E_NOTIMPL);
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

    // The host's factory makes progress displays; without it nothing is made.
    IUnknown* object = reinterpret_cast<IUnknown*>(0x10);
    CAF::CreateHostObjectFromStrings(&object, KVO::String(u"a"), KVO::String(u"b"), 0, 0, KVO::String(u"c"));
    ASSERT_NE(object, nullptr);
    platform::ComPtr<IHostProgress> progress;
    EXPECT_EQ(object->QueryInterface(IID_IHostProgress, progress.OutVoid()), S_OK);
    object->Release();
    TestHost().GetFramework().Progress().SetAvailable(false);
    object = reinterpret_cast<IUnknown*>(0x10);
    CAF::CreateHostObjectFromStrings(&object, KVO::String(u"a"), KVO::String(u"b"), 0, 0, KVO::String(u"c"));
    TestHost().GetFramework().Progress().SetAvailable(true);
    EXPECT_EQ(object, nullptr) << "the host made no object";
}

// The show-comment message: its answers, its target, and a clone that the host keeps after the sender let go of
// both the message and its comment.
TEST(ShowComment2Msg, AnswersAndAClonePastTheSender)
{
    TestHost();
    const EventPkStm event = Peak(7, CX::Enum::kKindPeak);
    auto* comment = new ChartClient::EventDataCommentTP(nullptr, reinterpret_cast<const std::byte*>(&event), 3, 0, 0,
                                                        0, 7, 2);
    comment->AddRef();
    IKVOString* kept = KVO::String(u"kept").GetInterface();
    comment->SetText(kept);
    kept->Release();

    auto* message = new ShowComment2Msg(comment, true);
    message->AddRef();
    DWORD word = 0;
    EXPECT_EQ(message->GetId(&word), S_OK);
    EXPECT_EQ(word, 0x800C005Au);
    word = 0;
    IMessage* asMessage = message;
    EXPECT_EQ(asMessage->GetTypeId(&word), S_OK) << "slot 5 writes the id as slot 6 does";
    EXPECT_EQ(word, 0x800C005Au);
    EXPECT_EQ(asMessage->GetTypeId(nullptr), E_POINTER);
    EXPECT_EQ(message->GetFlags(&word), S_OK);
    EXPECT_EQ(word, 1u);
    EXPECT_EQ(message->GetShowFlags(&word), S_OK);
    EXPECT_EQ(word, 0xE0000000u);
    EXPECT_EQ(message->UnusedSlot3(), E_NOTIMPL);
    EXPECT_EQ(message->GetValue(nullptr), E_NOTIMPL);

    int target = 0;
    int other = 0;
    WORD answer = 7;
    EXPECT_EQ(message->CheckSender(nullptr, &answer), S_OK);
    EXPECT_EQ(answer, 0xFFFF) << "the target starts unset";
    message->SetSender(&target);
    EXPECT_EQ(message->CheckSender(&target, &answer), S_OK);
    EXPECT_EQ(answer, 0xFFFF);
    EXPECT_EQ(message->CheckSender(&other, &answer), S_OK);
    EXPECT_EQ(answer, 0);

    platform::ComPtr<IShowComment2Message> show;
    ASSERT_EQ(message->QueryInterface(IID_IShowComment2Message, show.OutVoid()), S_OK);
    platform::ComPtr<IUnknown> nothing;
    EXPECT_EQ(message->QueryInterface(IID_IChartComment, nothing.OutVoid()), E_NOINTERFACE);

    IMessage* clone = nullptr;
    ASSERT_EQ(message->Clone(&clone), S_OK);
    show.Reset();
    message->Release();
    comment->Release(); // the sender is done: only the clone keeps the comment

    platform::ComPtr<IShowComment2Message> cloned;
    ASSERT_EQ(clone->QueryInterface(IID_IShowComment2Message, cloned.OutVoid()), S_OK);
    EXPECT_EQ(clone->CheckSender(&target, &answer), S_OK);
    EXPECT_EQ(answer, 0xFFFF) << "the clone keeps the target";
    word = 0;
    EXPECT_EQ(clone->GetTypeId(&word), S_OK);
    EXPECT_EQ(word, 0x800C005Au);
    EXPECT_EQ(cloned->GetShowFlags(&word), S_OK);
    EXPECT_EQ(word, 0xE0000000u);
    platform::ComPtr<IChartCommentEx> shown;
    ASSERT_EQ(cloned->GetComment(shown.Out()), S_OK);
    ASSERT_EQ(shown.Get(), static_cast<IChartCommentEx*>(comment)) << "the same comment";
    EXPECT_EQ(TextOf(shown.Get()), u"kept");
    cloned.Reset();
    clone->Release();

    ShowComment2Msg plain(nullptr, false);
    EXPECT_EQ(plain.GetShowFlags(&word), S_OK);
    EXPECT_EQ(word, 0x60000000u);
}

} // namespace
