#include "docfixtures.h"
#include "document/cxdoc.h"
#include "document/docmessages.h"

using namespace CX::Msg;

TEST(DocumentIds, AreTheFamilyIdShiftedWithTheIndex)
{
    SharedHost();
    WORD family = 0;
    ASSERT_EQ(SharedHost().GetFramework().GetShortId(&CX::CXDocGUID, &family), S_OK);
    const DWORD base = static_cast<DWORD>(family) << 16;
    EXPECT_EQ(DocId<9>(), base | 9);
    EXPECT_EQ(AnalyzeMessageId(), CX::Doc::CXDoc::CommandIdBase());
    EXPECT_EQ(CopyToTallysheetMessageId(), base | 1);
    EXPECT_EQ(ClearAnalysisMessageId(), base | 3);
}

TEST(DocumentMessages, ClassesNameTheirMessagesAndMakeThem)
{
    SharedHost();
    struct Case {
        DocMessageClass& messageClass;
        const char16_t* name;
        DWORD id;
    } cases[] = {
        {AnalyzeMessageClass(), u"CX_Analyze", AnalyzeMessageId()},
        {CopyToTallysheetMessageClass(), u"CX_TableView_CopyToTallysheet", CopyToTallysheetMessageId()},
        {ClearAnalysisMessageClass(), u"CX_ClearAnalysis", ClearAnalysisMessageId()},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(doctest::Utf8(test.name));
        // What the host reads through the class interface.
        IMsgIdMessageClassObject& object = test.messageClass;
        DWORD classId = 0;
        ASSERT_EQ(object.GetMessageId(0, &classId), S_OK);
        EXPECT_EQ(classId, test.id);
        BSTR text = SysAllocString(u"stale"); // freed by the class
        ASSERT_EQ(object.GetName(&text), S_OK);
        EXPECT_EQ(std::u16string(text, SysStringLen(text)), test.name);
        ASSERT_EQ(object.GetCategory(&text), S_OK);
        EXPECT_EQ(std::u16string(text, SysStringLen(text)), u"Crestmetrics");
        SysFreeString(text);
        IKVOString* description = nullptr;
        ASSERT_EQ(object.GetDescription(&description), S_OK);
        EXPECT_EQ(host::TakeText(description), std::u16string(test.messageClass.Description().View()));
        WORD flag = 7;
        ASSERT_EQ(object.GetFlag1(0, &flag), S_OK);
        EXPECT_EQ(flag, 0xFFFF);
        ASSERT_EQ(object.GetFlag2(0, &flag), S_OK);
        EXPECT_EQ(flag, 0);

        platform::ComPtr<IMessage> message;
        ASSERT_EQ(object.CreateMessage(message.Out()), S_OK);
        DWORD id = 0;
        message->GetId(&id);
        EXPECT_EQ(id, test.id);
        DWORD typeId = 0;
        EXPECT_EQ(message->GetTypeId(&typeId), S_OK);
        EXPECT_EQ(typeId, test.id);
        VARIANT value;
        EXPECT_EQ(message->GetValue(&value), S_OK);
        EXPECT_EQ(value.vt, VT_EMPTY);
        platform::ComPtr<IMessage> clone;
        ASSERT_EQ(message->Clone(clone.Out()), S_OK);
        clone->GetId(&id);
        EXPECT_EQ(id, test.id);
    }
    EXPECT_EQ(AnalyzeMessageClass().CreateMessage(nullptr), E_POINTER);
}

namespace {
// A message addressed to the views of one type.
class ViewMessage final : public IMessage, public IViewTargetMessage {
public:
    explicit ViewMessage(DWORD flags) : flags_(flags) {}
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IViewTargetMessage) {
            *out = static_cast<IViewTargetMessage*>(this);
            return S_OK;
        }
        *out = static_cast<IMessage*>(this);
        return iid == IID_IUnknown || iid == IID_IMessage ? S_OK : (*out = nullptr, E_NOINTERFACE);
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetTypeId(DWORD* id) override { return *id = 0, S_OK; }
    HRESULT GetId(DWORD* id) override { return *id = 0, S_OK; }
    HRESULT GetFlags(DWORD* flags) override { return *flags = flags_, S_OK; }
    HRESULT Clone(IMessage**) override { return E_NOTIMPL; }
    HRESULT GetValue(VARIANT*) override { return E_NOTIMPL; }
    HRESULT SetSender(const void*) override { return S_OK; }
    HRESULT CheckSender(const void*, WORD*) override { return S_OK; }
    HRESULT GetViewType(DWORD* type) override { return *type = CX::Msg::DocId<1>(), S_OK; }

private:
    DWORD flags_;
};
} // namespace

TEST(DocumentMessages, TextFormNamesTheViewTypeOfAMessageForAView)
{
    SharedHost();
    IMsgIdMessageClassObject& object = AnalyzeMessageClass();
    ViewMessage forView(CAF::MessageFlag::kTargetsView);
    EXPECT_EQ(object.GetMessageText(&forView, nullptr), E_FAIL);
    BSTR text = nullptr;
    ASSERT_EQ(object.GetMessageText(&forView, &text), S_OK);
    const std::u16string first(text, SysStringLen(text));
    EXPECT_TRUE(first.starts_with(u"CAFId,ViewType,\"")) << doctest::Utf8(first);
    EXPECT_TRUE(first.ends_with(u"\"")) << doctest::Utf8(first);
    EXPECT_GT(first.size(), 17u) << "the host's text for the type";
    ASSERT_EQ(object.GetMessageText(&forView, &text), S_OK);
    EXPECT_EQ(std::u16string(text, SysStringLen(text)), first + u"," + first) << "appended after a comma";
    SysFreeString(text);

    ViewMessage plain(0);
    text = nullptr;
    ASSERT_EQ(object.GetMessageText(&plain, &text), S_OK);
    EXPECT_EQ(text, nullptr) << "no view type: nothing to write";
}

// The document's table lists the comment notice right after the header, then the command pairs, the host notices
// and the own messages, each entry once.
TEST(DocumentMessageMap, HoldsEachEntryOnceInItsOrder)
{
    SharedHost();
    namespace Command = CX::Doc::Command;
    const CAF::MessageMapEntry* entries = CX::Doc::CXDoc::MessageMapEntries();
    std::vector<std::pair<BYTE, DWORD>> got;
    ASSERT_EQ(entries[0].kind, CAF::kMapHeader);
    for (const CAF::MessageMapEntry* e = entries + 1; e->kind != CAF::kEndOfMap; ++e) {
        got.emplace_back(e->kind, e->idGetter ? e->idGetter() : e->id);
    }
    std::vector<std::pair<BYTE, DWORD>> want{{CAF::kObserverEvent, ChartNoticeId<44>()}};
    for (const DWORD id : {DocId<Command::kSettings>(), DocId<Command::kAnalysisView>(), DocId<Command::kTableView>(),
                           DocId<Command::kOnlineAnalysis>(), DocId<Command::kShowMarks>(), DocId<Command::kAnalyse>(),
                           DocId<Command::kClear>(), DocId<Command::kHelp>(), DocId<Command::kReselect>()}) {
        want.emplace_back(CAF::kExecuteCommand, id);
        want.emplace_back(CAF::kUpdateCommand, id);
    }
    for (const DWORD id : {AnalysisManagerId<7>(), AnalysisManagerId<5>(), AnalysisManagerId<6>(), FirstActivationId(),
                           ChartNoticeId<6>(), ChartNoticeId<4>(), ChartNoticeId<14>(), ChartNoticeId<16>(),
                           ChartNoticeId<18>(), ChartNoticeId<20>(), ChartNoticeId<22>(), ChartNoticeId<34>()}) {
        want.emplace_back(CAF::kObserverEvent, id);
    }
    for (const DWORD id : {AnalyzeMessageId(), CopyToTallysheetMessageId(), ClearAnalysisMessageId()}) {
        want.emplace_back(CAF::kMessageEvent, id);
    }
    EXPECT_EQ(got, want);
}
