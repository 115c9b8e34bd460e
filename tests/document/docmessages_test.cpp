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
        const DocMessageClass& messageClass;
        const char16_t* name;
        DWORD id;
    } cases[] = {
        {AnalyzeMessageClass(), u"CX_Analyze", AnalyzeMessageId()},
        {CopyToTallysheetMessageClass(), u"CX_TableView_CopyToTallysheet", CopyToTallysheetMessageId()},
        {ClearAnalysisMessageClass(), u"CX_ClearAnalysis", ClearAnalysisMessageId()},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(doctest::Utf8(test.name));
        EXPECT_EQ(std::u16string(test.messageClass.Name().c_str()), test.name);
        EXPECT_EQ(test.messageClass.MessageId(), test.id);
        EXPECT_EQ(test.messageClass.Flag1(), 0xFFFFu);
        EXPECT_EQ(test.messageClass.Flag2(), 0u);
        EXPECT_EQ(std::u16string(DocMessageClass::Category()), u"Crestmetrics");

        platform::ComPtr<IMessage> message;
        ASSERT_EQ(test.messageClass.CreateMessage(message.Out()), S_OK);
        DWORD id = 0;
        message->GetId(&id);
        EXPECT_EQ(id, test.id);
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
