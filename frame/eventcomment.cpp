#include "frame/eventcomment.h"

#include "document/messageids.h"
#include "foundation/xkvo.h"
#include "frame/hostservices.h"
#include "sdk/eventdraw.h"

#include <cstring>

namespace ChartClient {

EventDataCommentTP::EventDataCommentTP(IDataSource* hostData, const std::byte* event, DWORD channel, DWORD drawType,
                                       DWORD, DWORD, LONG eventTick, LONG eventRecord)
    : EventCommentBase(KVO::String(), channel, 0, 0, drawType), eventTick_(eventTick), eventRecord_(eventRecord)
{
    colour_ = 0xFFFFFF;
    if (hostData) {
        std::int32_t pair[2] = {0, 0};
        if (SUCCEEDED(hostData->GetCommentPosition(eventTick, eventRecord, pair))) {
            SetStoredPosition(pair[0], pair[1]);
        }
    }
    if (drawType == 0 || !event) {
        return;
    }
    ICAFFramework* framework = CAF::GetFrameworkClassObject();
    platform::ComPtr<IPODEventDrawClass> drawClass;
    if (!framework || FAILED(framework->GetObject(drawType, IID_IPODEventDrawClass, drawClass.OutVoid())) ||
        !drawClass) {
        return;
    }
    COLORREF colour = colour_;
    if (SUCCEEDED(drawClass->GetColour(0, event, &colour))) {
        colour_ = colour;
    }
    double secondsPerTick = 0.0;
    if (hostData) {
        hostData->GetRecordTickPeriod(0xC0000000, eventRecord, &secondsPerTick);
    }
    IKVOString* text = nullptr;
    if (SUCCEEDED(drawClass->GetHoverText(0, hostData, eventRecord, event, secondsPerTick, &text)) && text) {
        SetText(text);
        text->Release();
    }
}

HRESULT EventDataCommentTP::GetChartAbsolutePosition(std::int32_t* tick)
{
    if (!tick) {
        return E_INVALIDARG;
    }
    *tick = eventTick_;
    return S_OK;
}

HRESULT EventDataCommentTP::SetPositionOffset(std::int32_t tick)
{
    eventTick_ = tick;
    return S_OK;
}

HRESULT EventDataCommentTP::GetMessageId(DWORD* id)
{
    if (!id) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        *id = CX::Msg::ChartMessageId18();
        return S_OK;
    });
}

HRESULT EventDataCommentTP::GetDrawInfo(DWORD* messageId, DWORD* colour, DWORD* zero)
{
    if (!messageId || !colour || !zero) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        *messageId = CX::Msg::ChartMessageId18();
        *colour = colour_;
        *zero = 0;
        return S_OK;
    });
}

HRESULT EventDataCommentTP::GetExtent(std::int32_t* tickAndRecord)
{
    if (!tickAndRecord) {
        return E_INVALIDARG;
    }
    tickAndRecord[0] = eventTick_;
    tickAndRecord[1] = eventRecord_;
    return S_OK;
}

} // namespace ChartClient

ShowComment2Msg::ShowComment2Msg(IChartCommentEx* comment, bool askFlag)
    : ShowComment2Msg(comment, 0x60000000u | (askFlag ? 0x80000000u : 0u), nullptr)
{
}

ShowComment2Msg::ShowComment2Msg(IChartCommentEx* comment, DWORD flags, const void* target)
    : comment_(comment), flags_(flags), target_(target)
{
    if (comment_) {
        comment_->AddRef();
    }
}

ShowComment2Msg::~ShowComment2Msg()
{
    if (comment_) {
        comment_->Release();
    }
}

HRESULT ShowComment2Msg::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IMessage) {
        *out = static_cast<IMessage*>(this);
    } else if (iid == IID_IShowComment2Message) {
        *out = static_cast<IShowComment2Message*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG ShowComment2Msg::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&count_)); }

ULONG ShowComment2Msg::Release()
{
    const LONG left = InterlockedDecrement(&count_);
    if (left == 0) {
        delete this;
    }
    return static_cast<ULONG>(left);
}

HRESULT ShowComment2Msg::GetId(DWORD* id)
{
    if (!id) {
        return E_POINTER;
    }
    *id = kMessageId;
    return S_OK;
}

HRESULT ShowComment2Msg::GetFlags(DWORD* flags)
{
    if (!flags) {
        return E_POINTER;
    }
    *flags = 1;
    return S_OK;
}

HRESULT ShowComment2Msg::Clone(IMessage** out)
{
    if (!out) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        auto* copy = new ShowComment2Msg(comment_, flags_, target_);
        copy->AddRef();
        *out = copy;
        return S_OK;
    });
}

HRESULT ShowComment2Msg::SetSender(const void* sender)
{
    target_ = sender;
    return S_OK;
}

HRESULT ShowComment2Msg::CheckSender(const void* sender, WORD* answer)
{
    if (!answer) {
        return E_POINTER;
    }
    *answer = sender == target_ ? 0xFFFF : 0;
    return S_OK;
}

HRESULT ShowComment2Msg::GetComment(IChartCommentEx** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = comment_;
    if (comment_) {
        comment_->AddRef();
    }
    return S_OK;
}

HRESULT ShowComment2Msg::GetShowFlags(DWORD* flags)
{
    if (!flags) {
        return E_POINTER;
    }
    *flags = flags_;
    return S_OK;
}

namespace CX::Doc {

HRESULT CreateEventComment(KVOEvent::MergedEventIter& merged, IChartCommentEx** out)
{
    if (!out) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&]() -> HRESULT {
        KVOEvent::SharedEvent event;
        if (merged.Next(event) != S_OK || !event) {
            return S_FALSE;
        }
        platform::ComPtr<IEnumEventEx> enumerator;
        std::uint32_t index = 0;
        if (FAILED(merged.GetCurrentSource(enumerator.Out(), &index)) || !enumerator) {
            return S_FALSE; // this host offers no existing comments through the merge
        }
        DWORD drawType = 0;
        enumerator->GetDrawType(&drawType);
        LONG tick = 0;
        std::memcpy(&tick, event->data(), sizeof tick);
        auto* comment = new ChartClient::EventDataCommentTP(merged.Source(), event->data(),
                                                            static_cast<DWORD>(merged.ChannelOf(index)), drawType,
                                                            drawType, 0xFFFFFF, tick, merged.Record());
        comment->AddRef();
        *out = comment;
        return S_OK;
    });
}

} // namespace CX::Doc

namespace CAF {

void CreateHostObjectFromStrings(IUnknown** out, const KVO::String& first, const KVO::String& second, DWORD, DWORD,
                                 const KVO::String& third)
{
    if (!out) {
        return;
    }
    *out = nullptr;
    ICAFFramework* framework = GetFrameworkClassObject();
    platform::ComPtr<IHostObjectFactory> factory;
    if (!framework ||
        FAILED(framework->GetObject(CX::Msg::ChartMessageId16(), IID_IHostObjectFactory, factory.OutVoid())) ||
        !factory) {
        return;
    }
    IKVOString* texts[3] = {first.GetInterface(), second.GetInterface(), third.GetInterface()};
    if (FAILED(factory->Create(1, texts[0], texts[1], texts[2], 1, out))) {
        *out = nullptr;
    }
    for (IKVOString* text : texts) {
        text->Release();
    }
}

} // namespace CAF
