// What the host receives on its message bus from the module: message ids, their values, and the comments it is
// asked to show in the chart with their show flags.
#pragma once

#include "analysisfixture.h"
#include "frame/eventcomment.h"
#include "host/messagebus.h"

#include <string>
#include <vector>

// The host chart's side of the message bus: the comments it was asked to show, with their show flags.
class BusMessages final : public IMessageHandler {
public:
    BusMessages() { Bus().AddTarget(this); }
    ~BusMessages() { Bus().RemoveTarget(this); }
    static host::MessageBus& Bus() { return AnalysisHost().GetFramework().Documents().bus; }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IMessageHandler) {
            *out = static_cast<IMessageHandler*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT HandleMessage(IMessage* message) override
    {
        DWORD id = 0;
        message->GetId(&id);
        ids.push_back(id);
        VARIANT value;
        VariantInit(&value);
        message->GetValue(&value);
        values.push_back(value.vt == VT_I4 ? value.lVal : 0);
        VariantClear(&value);
        platform::ComPtr<IShowComment2Message> show;
        if (SUCCEEDED(message->QueryInterface(IID_IShowComment2Message, show.OutVoid())) && show) {
            Shown entry;
            show->GetShowFlags(&entry.flags);
            platform::ComPtr<IChartCommentEx> comment;
            show->GetComment(comment.Out());
            IKVOString* text = nullptr;
            if (comment && SUCCEEDED(comment->GetInfo(nullptr, nullptr, nullptr, &text)) && text) {
                KVO::String value;
                value.AssignInterface(text);
                text->Release();
                entry.text = value.View();
            }
            comments.push_back(entry);
        }
        return 0;
    }
    HRESULT AddHandler(IMessageHandler*) override { return S_OK; }
    HRESULT RemoveHandler(IMessageHandler*) override { return S_OK; }
    HRESULT SetParent(IMessageHandler*) override { return S_OK; }
    HRESULT GetOwner(IUnknown** owner) override
    {
        *owner = nullptr;
        return E_NOTIMPL;
    }
    BOOL Accepts(IMessage*) override { return TRUE; }

    struct Shown {
        DWORD flags = 0;
        std::u16string text;
    };
    std::vector<DWORD> ids;
    std::vector<LONG> values; // a VT_I4 value, else 0
    std::vector<Shown> comments;
};

