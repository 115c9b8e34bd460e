// Message maps: which entry a command, message or notice finds in a class and its bases, and what the dispatch
// answers the host.
#include "frame/messagemap.h"
#include "host/docframework.h"
#include "host/messagebus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int getterCalls = 0;

template <DWORD Id>
DWORD CountedId()
{
    ++getterCalls;
    return Id;
}

struct Notice {
    DWORD first;
    DWORD second;
    DWORD third;
};

// A base class with a table of its own, and a class that adds its own in front of it.
class BaseHandler : public CAF::CAFEventHandlerBase {
    CAF_DECLARE_MESSAGE_MAP(BaseHandler, void)

public:
    std::vector<std::string> calls;

    void BaseFive() { calls.push_back("base 5"); }
    void BaseForty() { calls.push_back("base 40"); }
    void BaseUpdateFifty(ICommandState& state) { state.SetText(u"base 50"); }
};

class Handler : public BaseHandler {
    CAF_DECLARE_MESSAGE_MAP(Handler, BaseHandler)

public:
    void Five() { calls.push_back("5"); }
    void Range() { calls.push_back("[10,20)"); }
    void Thirty() { calls.push_back("30"); }
    void UpdateThirty(ICommandState& state)
    {
        state.SetText(u"thirty");
        state.SetEnabled(0);
    }
    void WideRange() { calls.push_back("[100,200)"); }
    void HundredFifty() { calls.push_back("150"); }
    HRESULT KindSix(LPARAM a, LPARAM b) { return static_cast<HRESULT>(a * 10 + b); }
    HRESULT Exact() { calls.push_back("exact"); return S_OK; }
    HRESULT LowByte() { calls.push_back("low byte"); return S_OK; }
    HRESULT Refuses() { calls.push_back("refuses"); return S_FALSE; }
    void Noticed(Notice notice)
    {
        calls.push_back("notice " + std::to_string(notice.first) + " " + std::to_string(notice.third));
    }
    void Bare() { calls.push_back("bare"); }
};

CAF::MessageMapEntry* BaseHandler::MessageMapEntries()
{
    using Map = CAF::MapOf<BaseHandler>;
    static CAF::MessageMapEntry entries[] = {
        Map::Header(),
        Map::Execute<&BaseHandler::BaseFive>(&CountedId<5>),
        Map::Execute<&BaseHandler::BaseForty>(&CountedId<40>),
        Map::Update<&BaseHandler::BaseUpdateFifty>(&CountedId<50>),
        Map::End(),
    };
    return entries;
}

CAF::MessageMapEntry* Handler::MessageMapEntries()
{
    using Map = CAF::MapOf<Handler>;
    static CAF::MessageMapEntry entries[] = {
        Map::Header(),
        Map::Execute<&Handler::Five>(&CountedId<5>),
        Map::ExecuteRange<&Handler::Range>(&CountedId<10>, &CountedId<20>),
        Map::Execute<&Handler::Thirty>(&CountedId<30>),
        Map::Update<&Handler::UpdateThirty>(&CountedId<30>),
        Map::ExecuteRange<&Handler::WideRange>(&CountedId<100>, &CountedId<200>),
        Map::Execute<&Handler::HundredFifty>(&CountedId<150>),
        Map::OfKind<&Handler::KindSix>(CAF::kCommandKind6, &CountedId<60>),
        Map::Message<&Handler::Exact>(&CountedId<0x12340001>, CAF::kExactMessage),
        Map::Message<&Handler::LowByte>(&CountedId<0x56780042>, 0x00FF),
        Map::Message<&Handler::Refuses>(&CountedId<0x9ABC0001>),
        Map::Observer<&Handler::Noticed>(&CountedId<0x700>),
        Map::Observer<&Handler::Bare>(&CountedId<0x701>),
        Map::End(),
    };
    return entries;
}

class EmptyHandler : public CAF::CAFEventHandlerBase {
    CAF_DECLARE_MESSAGE_MAP(EmptyHandler, void)
};

CAF::MessageMapEntry* EmptyHandler::MessageMapEntries()
{
    static CAF::MessageMapEntry entries[] = {CAF::MapOf<EmptyHandler>::Header(), CAF::MapOf<EmptyHandler>::End()};
    return entries;
}

// A subject that records the event ids observers register for.
class RecordingSubject final : public ISubject {
public:
    HRESULT QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT Notify2(DWORD, DWORD) override { return S_OK; }
    HRESULT Attach(IObserver*) override { return S_OK; }
    HRESULT Notify(DWORD) override { return S_OK; }
    HRESULT RegisterFor(IObserver*, DWORD eventId, DWORD flags) override
    {
        registered.push_back(eventId);
        flagsSeen.push_back(flags);
        return S_OK;
    }
    std::vector<DWORD> registered;
    std::vector<DWORD> flagsSeen;
};

TEST(MessageMap, CommandsFindTheirEntryInTheClassThenItsBase)
{
    struct Case {
        DWORD id;
        HRESULT result;
        const char* called; // nullptr: nothing called
    };
    const Case cases[] = {
        {5, S_OK, "5"},                // the class's own entry hides the base's
        {10, S_OK, "[10,20)"},         // a range includes its first id
        {19, S_OK, "[10,20)"},
        {20, S_FALSE, nullptr},        // and excludes its end
        {9, S_FALSE, nullptr},
        {40, S_OK, "base 40"},         // found in the base's table
        {150, S_OK, "[100,200)"},      // two matching entries: the earlier wins
        {30, S_OK, "30"},
        {0xFFFFFFFF, S_FALSE, nullptr},
    };
    for (const Case& c : cases) {
        Handler handler;
        EXPECT_EQ(CAF::ExecuteCommand(handler, c.id), c.result) << c.id;
        if (c.called) {
            EXPECT_EQ(handler.calls, std::vector<std::string>{c.called}) << c.id;
        } else {
            EXPECT_TRUE(handler.calls.empty()) << c.id;
        }
    }
}

TEST(MessageMap, UpdateEntriesAnswerBeforeTheDefaultEnabledState)
{
    struct Case {
        DWORD id;
        HRESULT result;
        std::optional<std::u16string> text;
        std::optional<WORD> enabled;
    };
    const Case cases[] = {
        {30, S_OK, u"thirty", WORD{0}},                // the update member, not the execute entry's enabling
        {5, S_OK, std::nullopt, WORD{0xFFFF}},         // an execute entry alone enables
        {15, S_OK, std::nullopt, WORD{0xFFFF}},        // also through a range
        {50, S_OK, u"base 50", std::nullopt},          // an update entry of the base
        {77, S_FALSE, std::nullopt, std::nullopt},     // no entry: nothing set
    };
    for (const Case& c : cases) {
        Handler handler;
        auto state = host::CommandState::Create();
        EXPECT_EQ(CAF::QueryEnable(handler, c.id, state.Get()), c.result) << c.id;
        EXPECT_EQ(state->Text(), c.text) << c.id;
        EXPECT_EQ(state->Enabled(), c.enabled) << c.id;
        EXPECT_TRUE(handler.calls.empty()) << c.id;
    }
}

TEST(MessageMap, DispatchByKindReturnsTheMembersResult)
{
    Handler handler;
    EXPECT_EQ(CAF::DispatchKind(handler, 60, CAF::kCommandKind6, 4, 2), 42);
    EXPECT_EQ(CAF::DispatchKind(handler, 60, CAF::kCommandKind7, 4, 2), S_FALSE);
    EXPECT_EQ(CAF::DispatchKind(handler, 61, CAF::kCommandKind6, 4, 2), S_FALSE);
    // Kind 2 entries are found by their kind too; their members take no values.
    EXPECT_EQ(CAF::DispatchKind(handler, 5, CAF::kExecuteCommand, 0, 0), S_OK);
    EXPECT_EQ(handler.calls, std::vector<std::string>{"5"});
}

TEST(MessageMap, MessagesMatchTheirIdUnderTheEntrysMask)
{
    struct Case {
        DWORD id;
        HRESULT taken;
        const char* called;
    };
    const Case cases[] = {
        {0x12340001, 1, "exact"},
        {0x12340101, 0, nullptr},     // mask 0xFFFF: only the exact id
        {0x12350001, 0, nullptr},
        {0x56780042, 1, "low byte"},
        {0x56781142, 1, "low byte"},  // mask 0x00FF: the same high half and low byte
        {0x56780043, 0, nullptr},
        {0x56790042, 0, nullptr},     // the high half must be equal
        {0x9ABC0001, 0, "refuses"},   // a member that answers non-zero did not take it
    };
    for (const Case& c : cases) {
        Handler handler;
        platform::ComPtr<host::HostMessage> message = platform::ComPtr<host::HostMessage>::Adopt(
            host::HostMessage::Create(c.id, 0x20));
        EXPECT_EQ(CAF::DispatchMessage(handler, message.Get()), c.taken) << std::hex << c.id;
        EXPECT_EQ(handler.MessageFlags(), 0x20u);
        if (c.called) {
            EXPECT_EQ(handler.calls, std::vector<std::string>{c.called}) << std::hex << c.id;
        } else {
            EXPECT_TRUE(handler.calls.empty()) << std::hex << c.id;
        }
    }
}

TEST(MessageMap, NoticesReachTheirMemberWithTheNoticeData)
{
    Handler handler;
    const Notice notice{7, 8, 9};
    EXPECT_EQ(CAF::DispatchNotice(handler, 0x700, &notice), S_OK);
    EXPECT_EQ(CAF::DispatchNotice(handler, 0x701, nullptr), S_OK);
    EXPECT_EQ(CAF::DispatchNotice(handler, 0x702, &notice), S_OK); // no entry: still 0
    EXPECT_EQ(handler.calls, (std::vector<std::string>{"notice 7 9", "bare"}));

    // Registration walks the class's table, then the base's: every observer entry, with flags 0.
    RecordingSubject subject;
    EXPECT_EQ(CAF::RegisterObserverEntries(handler, &subject, nullptr), S_OK);
    EXPECT_EQ(subject.registered, (std::vector<DWORD>{0x700, 0x701}));
    EXPECT_EQ(subject.flagsSeen, (std::vector<DWORD>{0, 0}));
}

TEST(MessageMap, IdsAreResolvedOnceAndAnEmptyTableCallsNoGetter)
{
    Handler first;
    CAF::ExecuteCommand(first, 5); // resolves both tables (whatever ran before)
    CAF::ExecuteCommand(first, 40);
    const int resolved = getterCalls;
    Handler second;
    CAF::ExecuteCommand(second, 40);
    CAF::QueryEnable(second, 30, nullptr);
    EXPECT_EQ(getterCalls, resolved);
    EXPECT_EQ(Handler::MessageMapEntries()[0].flags & CAF::kIdsUnresolved, 0);

    EmptyHandler empty;
    EXPECT_EQ(CAF::ExecuteCommand(empty, 5), S_FALSE);
    EXPECT_EQ(CAF::QueryEnable(empty, 5, nullptr), S_FALSE);
    EXPECT_EQ(CAF::DispatchNotice(empty, 5, nullptr), S_OK);
    EXPECT_EQ(getterCalls, resolved);
    EXPECT_EQ(EmptyHandler::MessageMapEntries()[0].flags & CAF::kIdsUnresolved, 0);
}

} // namespace
