// Comments for module events in the host chart: the chart-comment base, the event-comment object whose text and
// colour are those of the event's draw class, the step that builds the comment of the next event of a merged
// reader, and the factory of host objects made from texts.
#pragma once

#include "foundation/comobject.h"
#include "sdk/cafevents.h"
#include "foundation/kvostring.h"
#include "frame/chartcomment.h"
#include "frame/eventiter.h"
#include "sdk/chartcomment.h"
#include "sdk/datasource.h"

#include <cstdint>

namespace ChartClient {

class EventDataCommentTP final : public EventCommentBase {
public:
    // The comment of one event: its position from the host data object (slot 44), its colour and text from the
    // draw class registered under drawType. Missing host objects leave the text empty and the colour white.
    EventDataCommentTP(IDataSource* hostData, const std::byte* event, DWORD channel, DWORD drawType,
                       DWORD drawType2, DWORD colour, LONG eventTick, LONG eventRecord);

    // The host places an event comment by its event, not by the base's position words.
    HRESULT GetPositionReversed(std::int32_t*) override { return E_NOTIMPL; }
    HRESULT GetPositionOffset(std::int32_t*) override { return E_NOTIMPL; }
    HRESULT GetPosition(std::int32_t*) override { return E_NOTIMPL; }
    // The event's tick (26, 27), the chart message that draws it (28, 29) and (tick, record) (30).
    HRESULT GetChartAbsolutePosition(std::int32_t* tick) override;
    HRESULT SetPositionOffset(std::int32_t tick) override;
    HRESULT GetMessageId(DWORD* id) override;
    HRESULT GetDrawInfo(DWORD* messageId, DWORD* colour, DWORD* zero) override;
    HRESULT GetExtent(std::int32_t* tickAndRecord) override;

    LONG EventRecord() const { return eventRecord_; }

private:
    LONG eventTick_;
    LONG eventRecord_;
};

} // namespace ChartClient

// The message that asks the host chart to show a comment. It holds a reference to its comment (a clone that the
// host keeps may outlive the sender's comment), and its count starts at 0.
class ShowComment2Msg final : public IMessage, public IShowComment2Message {
public:
    // Flags 0x60000000, with 0x80000000 added when `askFlag` is set.
    ShowComment2Msg(IChartCommentEx* comment, bool askFlag);
    ShowComment2Msg(const ShowComment2Msg&) = delete;
    ShowComment2Msg& operator=(const ShowComment2Msg&) = delete;
    ~ShowComment2Msg();

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    // IMessage (slots 3 and 4 are the interface's placeholders: E_NOTIMPL); the message's class is its id
    HRESULT GetTypeId(DWORD* typeId) override { return GetId(typeId); }
    HRESULT GetId(DWORD* id) override;
    HRESULT GetFlags(DWORD* flags) override;
    HRESULT Clone(IMessage** out) override;
    HRESULT GetValue(VARIANT*) override { return E_NOTIMPL; }
    HRESULT SetSender(const void* sender) override;
    HRESULT CheckSender(const void* sender, WORD* answer) override;
    // IShowComment2Message
    HRESULT GetComment(IChartCommentEx** out) override;
    HRESULT GetShowFlags(DWORD* flags) override;

    static constexpr DWORD kMessageId = 0x800C005A;

private:
    ShowComment2Msg(IChartCommentEx* comment, DWORD flags, const void* target);

    volatile LONG count_ = 0;
    IChartCommentEx* comment_; // one reference
    DWORD flags_;
    const void* target_ = nullptr;
};

namespace CX::Doc {

// The comment of the next event of `merged`: S_OK with it (one reference), S_FALSE with *out untouched when the
// reader has no event left.
HRESULT CreateEventComment(KVOEvent::MergedEventIter& merged, IChartCommentEx** out);

} // namespace CX::Doc

namespace CAF {

// A host object made from three texts by the host's factory (registered under the chart's message id 16); *out is
// null when there is no factory.
void CreateHostObjectFromStrings(IUnknown** out, const KVO::String& first, const KVO::String& second, DWORD word1,
                                 DWORD word2, const KVO::String& third);

} // namespace CAF
