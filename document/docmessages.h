// The ids the analysis document sends and handles, each (host id of its family's GUID) << 16 | n computed once,
// and the three message classes through which the host and its automation send the document's own messages.
#pragma once

#include "document/cxdoc.h"
#include "frame/messageclasses.h"
#include "sdk/analysishost.h"
#include "sdk/analysismanager.h"

namespace CX::Msg {

// The document family: own messages and commands share it (command 1 and message 1 have one id).
template <WORD N>
DWORD DocId()
{
    return TypeIdClass<&CX::CXDocGUID, N>::Get();
}
inline DWORD AnalyzeMessageId() { return DocId<0>(); }
inline DWORD CopyToTallysheetMessageId() { return DocId<1>(); }
inline DWORD ClearAnalysisMessageId() { return DocId<3>(); }

// The analysis manager: n 0 finds it; notices 7, 5 and 6 ask the client to report its range, stop and re-run.
template <WORD N>
DWORD AnalysisManagerId()
{
    return TypeIdClass<&GUID_AnalysisManagerFamily, N>::Get();
}

// The host chart's notices (n 4, 6, 14, 16, 18, 20, 22, 34, 44, 52) and the first activation of a document.
template <WORD N>
DWORD ChartNoticeId()
{
    return TypeIdClass<&GUID_ChartNoticeFamily, N>::Get();
}
inline DWORD FirstActivationId() { return 0x80000000u; }

// A message of the document's own: an id and no data.
class DocMessage final : public IMessage, public KVO::CComObjectRoot {
public:
    // With one reference for the caller.
    static DocMessage* Create(DWORD id);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }
    // The message's class is its id.
    HRESULT GetTypeId(DWORD* typeId) override { return GetId(typeId); }
    HRESULT GetId(DWORD* id) override;
    HRESULT GetFlags(DWORD* flags) override;
    HRESULT Clone(IMessage** out) override;
    HRESULT GetValue(VARIANT* value) override;
    HRESULT SetSender(const void* sender) override;
    HRESULT CheckSender(const void* sender, WORD* answer) override;

private:
    explicit DocMessage(DWORD id) : id_(id) {}
    DWORD id_;
    const void* sender_ = nullptr;
};

// The class of own message n: "CX_Analyze" (0), "CX_TableView_CopyToTallysheet" (1), "CX_ClearAnalysis" (3).
class DocMessageClass final : public KVO::MsgIdMessageClassObjectRoot<0> {
public:
    DocMessageClass(WORD index, const KVO::String& name, const KVO::String& description);

    DWORD MessageId() const;
    static const char16_t* Category() { return u"Crestmetrics"; }

    HRESULT GetMessageId(DWORD reserved, DWORD* id) override;
    HRESULT GetCategory(BSTR* category) override;
    // A new message of this class; a failure and null when it cannot be made.
    HRESULT CreateMessage(IMessage** out) override;
};

// The three classes, linked into the module's message class list when the module loads.
DocMessageClass& AnalyzeMessageClass();
DocMessageClass& CopyToTallysheetMessageClass();
DocMessageClass& ClearAnalysisMessageClass();

} // namespace CX::Msg
