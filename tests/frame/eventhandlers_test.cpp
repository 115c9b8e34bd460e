// Handlers on the CAF bus: child handler chains, senders, the proxy of a window's handler, and subjects.
#include "frame/eventhandlers.h"
#include "host/messagebus.h"
#include "sharedhost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using MessagePtr = platform::ComPtr<host::HostMessage>;

MessagePtr NewMessage(DWORD id, DWORD flags = 0) { return MessagePtr::Adopt(host::HostMessage::Create(id, flags)); }

// A message handler of its own identity that takes a message or not, and records what it saw.
class TestHandler final : public CAF::CAFMessageHandler, public KVO::CComObjectRoot {
public:
    TestHandler(std::vector<std::string>& seen, std::string name, bool takes)
        : seen_(seen), name_(std::move(name)), takes_(takes)
    {
        InternalAddRef(); // the test holds it
    }
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        static constexpr KVO::InterfaceEntry table[] = {
            {&IID_IMessageHandler, &KVO::InterfaceCast<TestHandler, IMessageHandler>},
            {nullptr, nullptr},
        };
        return InternalQueryInterface(this, table, iid, out);
    }
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }
    void NameOwner(IUnknown* owner) { TakeOwner(owner); }
    HRESULT HandleMessage(IMessage* message) override
    {
        if (!Accepts(message)) {
            return 0;
        }
        seen_.push_back(name_);
        if (takes_) {
            return 1;
        }
        return CAFMessageHandler::HandleMessage(message);
    }

private:
    std::vector<std::string>& seen_;
    std::string name_;
    bool takes_;
};

// A window-side handler with one command and one message entry.
class WindowHandler : public CAF::CAFCppEventHandler {
    CAF_DECLARE_MESSAGE_MAP(WindowHandler, void)

public:
    int executed = 0;
    int messages = 0;
    void Run() { ++executed; }
    HRESULT Take(const VARIANT&) { ++messages; return S_OK; }
};

DWORD RunId() { return 0x0ABC0001; }
DWORD TakeId() { return 0x0ABC0002; }
DWORD NoticeId() { return 0x0ABC0003; }

CAF::MessageMapEntry* WindowHandler::MessageMapEntries()
{
    using Map = CAF::MapOf<WindowHandler>;
    static CAF::MessageMapEntry entries[] = {
        Map::Header(),
        Map::Execute<&WindowHandler::Run>(&RunId),
        Map::Message<&WindowHandler::Take>(&TakeId),
        Map::Observer<&WindowHandler::Run>(&NoticeId),
        Map::End(),
    };
    return entries;
}

class CountingSubject final : public CAF::CAFSubject {
public:
    HRESULT QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT Attach(IObserver* observer) override
    {
        attached.push_back(observer);
        return CAFSubject::Attach(observer);
    }
    std::vector<IObserver*> attached;
};

TEST(MessageHandlers, TheFirstChildThatTakesAMessageEndsTheWalk)
{
    SharedHost();
    struct Case {
        bool firstTakes;
        bool secondTakes;
        HRESULT result;
        std::vector<std::string> seen;
    };
    const Case cases[] = {
        {true, true, 1, {"first"}},
        {false, true, 1, {"first", "second"}},
        {false, false, 0, {"first", "second"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> seen;
        TestHandler parent(seen, "parent", false);
        TestHandler first(seen, "first", c.firstTakes);
        TestHandler second(seen, "second", c.secondTakes);
        EXPECT_EQ(parent.AddHandler(&first), S_OK);
        EXPECT_EQ(parent.AddHandler(&second), S_OK);
        EXPECT_EQ(first.ParentHandler(), &parent);

        seen.clear();
        EXPECT_EQ(parent.HandleMessage(NewMessage(1).Get()), c.result);
        std::vector<std::string> expected = {"parent"};
        expected.insert(expected.end(), c.seen.begin(), c.seen.end());
        EXPECT_EQ(seen, expected);

        EXPECT_EQ(parent.RemoveHandler(&first), S_OK);
        EXPECT_EQ(parent.RemoveHandler(&second), S_OK);
        EXPECT_EQ(parent.ChildCount(), 0u);
    }
}

TEST(MessageHandlers, RemovingAndParentsTakeOverTheOwner)
{
    std::vector<std::string> seen;
    TestHandler named(seen, "named", false); // outlives the handlers that hold it as their target
    TestHandler parent(seen, "parent", false);
    TestHandler child(seen, "child", false);
    TestHandler stranger(seen, "stranger", false);
    EXPECT_EQ(parent.RemoveHandler(nullptr), S_FALSE);
    EXPECT_EQ(parent.RemoveHandler(&stranger), E_FAIL);

    // A parent that is its own owner passes nothing on; the child stays its own owner.
    parent.AddHandler(&child);
    platform::ComPtr<IUnknown> owner;
    child.GetOwner(owner.Out());
    EXPECT_EQ(owner.Get(), static_cast<IUnknown*>(static_cast<IMessageHandler*>(&child)));
    parent.RemoveHandler(&child);

    // A child under a parent that names another owner takes that owner as its owner and target; without a
    // parent it is its own owner again.
    parent.NameOwner(static_cast<IMessageHandler*>(&named));
    parent.AddHandler(&child);
    platform::ComPtr<IUnknown> taken;
    child.GetOwner(taken.Out());
    EXPECT_EQ(taken.Get(), static_cast<IUnknown*>(static_cast<IMessageHandler*>(&named)));
    EXPECT_EQ(child.SenderTarget(), taken.Get());
    parent.RemoveHandler(&child);
    EXPECT_EQ(child.SenderOwner(), static_cast<IUnknown*>(static_cast<IMessageHandler*>(&child)));
    EXPECT_EQ(child.SenderTarget(), nullptr);
}

TEST(MessageHandlers, AMessageThatNamesTheHandlerAsSenderIsNotOfferedToIt)
{
    std::vector<std::string> seen;
    TestHandler handler(seen, "handler", true);
    TestHandler other(seen, "other", true);
    auto message = NewMessage(7, CAF::MessageFlag::kAsksSender);
    message->SetSender(static_cast<CAF::CAFMessageSender*>(&handler));
    EXPECT_FALSE(handler.Accepts(message.Get()));
    EXPECT_TRUE(other.Accepts(message.Get()));
    // Without the flag the sender is not asked.
    auto plain = NewMessage(7, 0);
    plain->SetSender(static_cast<CAF::CAFMessageSender*>(&handler));
    EXPECT_TRUE(handler.Accepts(plain.Get()));
}

TEST(MessageSender, TheSenderIsNamedForExactlyTheDispatch)
{
    SharedHost();
    std::vector<std::string> seen;
    TestHandler sender(seen, "sender", false);
    TestHandler target(seen, "target", true);
    host::MessageBus& bus = SharedHost().GetFramework().Documents().bus;
    bus.AddTarget(&target);

    auto message = NewMessage(9);
    EXPECT_EQ(sender.Send(0, message.Get()), 1); // the dispatcher's answer: taken
    EXPECT_EQ(message->SenderHistory(),
              (std::vector<const void*>{static_cast<CAF::CAFMessageSender*>(&sender), nullptr}));
    EXPECT_EQ(seen, std::vector<std::string>{"target"});

    // A disabled sender fails and leaves the message alone.
    auto untouched = NewMessage(9);
    sender.SetSenderEnabled(false);
    EXPECT_EQ(sender.Send(0, untouched.Get()), E_FAIL);
    EXPECT_TRUE(untouched->SenderHistory().empty());
    sender.SetSenderEnabled(true);

    // A framework message is created by the bus with the description's flags and the extra ones.
    CAF::MessageDescription description;
    description.id = 0x44440001;
    description.flags = 0x10;
    const std::size_t before = SharedHost().Log().Count("bus", "Create");
    EXPECT_EQ(sender.SendFrameworkMessage(0, description, 0x4), 1);
    const auto creates = SharedHost().Log().Of("bus");
    ASSERT_EQ(SharedHost().Log().Count("bus", "Create"), before + 1);
    EXPECT_EQ(creates.back().detail, "0x44440001 0x00000014");
    bus.RemoveTarget(&target);
}

TEST(ProxyHandlers, AnUnlinkedProxyAnswersNeutrally)
{
    SharedHost();
    platform::ComPtr<CAF::CAFProxyEventHandler> proxy(new CAF::CAFProxyEventHandler);
    CountingSubject subject;
    EXPECT_EQ(proxy->Execute(RunId()), S_OK);
    EXPECT_EQ(proxy->RegisterWith(&subject), S_FALSE);
    EXPECT_EQ(proxy->Notify(&subject, NoticeId(), 0, nullptr), S_OK);
    EXPECT_EQ(proxy->HandleMessage(NewMessage(TakeId()).Get()), 0);
}

TEST(ProxyHandlers, ALinkedProxyAnswersFromTheWindowsTableAndAttachesEarlierSubjects)
{
    SharedHost();
    CountingSubject early;
    CountingSubject late;
    WindowHandler window;
    window.AddSubject(&early);
    EXPECT_TRUE(early.attached.empty()); // not linked yet

    auto* proxy = new CAF::CAFProxyEventHandler;
    proxy->AddRef();
    window.ConnectProxy(proxy);
    EXPECT_EQ(early.attached, std::vector<IObserver*>{static_cast<IObserver*>(proxy)});
    EXPECT_TRUE(window.Subjects().empty());
    window.AddSubject(&late);
    EXPECT_EQ(late.attached, std::vector<IObserver*>{static_cast<IObserver*>(proxy)});
    EXPECT_EQ(early.attached.size(), 1u);

    EXPECT_EQ(proxy->Execute(RunId()), S_OK);
    EXPECT_EQ(proxy->Execute(RunId() + 100), S_FALSE);
    EXPECT_EQ(proxy->Notify(&early, NoticeId(), 0, nullptr), S_OK);
    EXPECT_EQ(window.executed, 2);
    EXPECT_EQ(proxy->HandleMessage(NewMessage(TakeId()).Get()), 1);
    EXPECT_EQ(window.messages, 1);

    // A message that the window's handler sent itself is not offered back to it.
    auto own = NewMessage(TakeId(), CAF::MessageFlag::kAsksSender);
    own->SetSender(static_cast<CAF::CAFMessageSender*>(&window));
    EXPECT_EQ(proxy->HandleMessage(own.Get()), 0);
    EXPECT_EQ(window.messages, 1);

    // The window registers its notices with a subject through the proxy.
    EXPECT_EQ(proxy->RegisterWith(&early), S_OK);
    EXPECT_EQ(SharedHost().GetFramework().RegisteredObservers(&early, NoticeId()), 1u);
    proxy->Release(); // the window still holds it
    EXPECT_EQ(window.Proxy(), proxy);
}

TEST(Subjects, EveryOperationGoesToTheEventManagerWithTheSubject)
{
    host::Host& host = SharedHost();
    CountingSubject subject;
    WindowHandler window;
    auto* proxy = new CAF::CAFProxyEventHandler;
    window.ConnectProxy(proxy);
    const std::size_t before = host.Log().Count("events", "RegisterFor");
    EXPECT_EQ(subject.RegisterFor(window.ProxyObserver(), NoticeId(), 3), S_OK);
    EXPECT_EQ(host.Log().Count("events", "RegisterFor"), before + 1);
    EXPECT_EQ(host.GetFramework().RegisteredObservers(&subject, NoticeId()), 1u);

    // The host's notice reaches the window's member through the proxy.
    host.GetFramework().FireEvent(&subject, NoticeId(), 0, nullptr);
    EXPECT_EQ(window.executed, 1);
    // The proxy leaves the event manager when it goes.
    window.ConnectProxy(nullptr);
    EXPECT_EQ(host.GetFramework().RegisteredObservers(&subject, NoticeId()), 0u);
}

} // namespace
