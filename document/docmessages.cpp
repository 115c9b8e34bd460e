#include "document/docmessages.h"

#include <new>

namespace CX::Msg {

DocMessage* DocMessage::Create(DWORD id)
{
    auto* message = new DocMessage(id);
    message->InternalAddRef();
    return message;
}

HRESULT DocMessage::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IMessage) {
        return E_NOINTERFACE;
    }
    *out = static_cast<IMessage*>(this);
    AddRef();
    return S_OK;
}

HRESULT DocMessage::GetId(DWORD* id)
{
    if (!id) {
        return E_POINTER;
    }
    *id = id_;
    return S_OK;
}

HRESULT DocMessage::GetFlags(DWORD* flags)
{
    if (!flags) {
        return E_POINTER;
    }
    *flags = 0;
    return S_OK;
}

HRESULT DocMessage::Clone(IMessage** out)
{
    if (!out) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        *out = Create(id_);
        return S_OK;
    });
}

HRESULT DocMessage::GetValue(VARIANT* value)
{
    if (!value) {
        return E_POINTER;
    }
    VariantInit(value); // the messages carry no data
    return S_OK;
}

HRESULT DocMessage::SetSender(const void* sender)
{
    sender_ = sender;
    return S_OK;
}

HRESULT DocMessage::CheckSender(const void* sender, WORD* answer)
{
    if (!answer) {
        return E_POINTER;
    }
    *answer = sender_ && sender_ == sender ? 1 : 0;
    return S_OK;
}

DocMessageClass::DocMessageClass(WORD index, const KVO::String& name, const KVO::String& description)
    : MsgIdMessageClassObjectRoot(index, name, description, KVO::String(), 0xFFFF, 0, KVO::String())
{
}

DWORD DocMessageClass::MessageId() const
{
    switch (Index()) {
    case 0: return AnalyzeMessageId();
    case 1: return CopyToTallysheetMessageId();
    default: return ClearAnalysisMessageId();
    }
}

HRESULT DocMessageClass::GetMessageId(DWORD, DWORD* id)
{
    if (!id) {
        return E_POINTER;
    }
    *id = MessageId();
    return S_OK;
}

HRESULT DocMessageClass::GetCategory(BSTR* category)
{
    return KVO::GuardSlot([&] { return KVO::MsgIdMessageClassObject::PutText(KVO::String(Category()), category); });
}

HRESULT DocMessageClass::CreateMessage(IMessage** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    try {
        *out = DocMessage::Create(MessageId());
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const XKVO& error) {
        return FAILED(error.Code()) ? error.Code() : E_FAIL;
    } catch (...) {
        return E_FAIL;
    }
}

namespace {

DocMessageClass analyzeClass(0, u"CX_Analyze",
                             u"Performs a Crestmetrics analysis on the current analysis channel using the current "
                             u"mode: Whole-channel or Selection.");
DocMessageClass copyClass(1, u"CX_TableView_CopyToTallysheet",
                          u"Copies data from the selected rows in the Crestmetrics Table View to the Tallysheet.");
DocMessageClass clearClass(3, u"CX_ClearAnalysis",
                           u"Clears the analysis on the current analysis channel using the current mode: "
                           u"Whole-channel or Selection.");

} // namespace

DocMessageClass& AnalyzeMessageClass() { return analyzeClass; }
DocMessageClass& CopyToTallysheetMessageClass() { return copyClass; }
DocMessageClass& ClearAnalysisMessageClass() { return clearClass; }

} // namespace CX::Msg
