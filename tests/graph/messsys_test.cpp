#include "graph/mgraph1/messages.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace {
using MessSys::Message;
using MessSys::MessageReceiver;
using MessSys::MessageSender;

// Receivers named by one letter; each writes its name when called and may run a one-shot reaction: "+X" adds X,
// "-X" removes X, "!" sends again on the same sender.
struct Script {
    MessageSender sender;
    std::string calls;
    std::map<char, std::unique_ptr<MessageReceiver>> receivers;
    std::map<char, std::string> reactions;

    MessageReceiver* Get(char name);
    void Run(const std::string& op)
    {
        if (op == "!") {
            Message message;
            sender.Send(message);
        } else if (op == "+0") {
            sender.AddReceiver(nullptr);
        } else if (op[0] == '+') {
            sender.AddReceiver(Get(op[1]));
        } else if (op[0] == '-') {
            sender.RemoveReceiver(Get(op[1]));
        }
    }
};

struct Named : MessageReceiver {
    Named(Script& script, char name) : script(script), name(name) {}
    bool OnMessage(Message&) override
    {
        script.calls += name;
        const auto reaction = script.reactions.find(name);
        if (reaction != script.reactions.end()) {
            const std::string op = reaction->second;
            script.reactions.erase(reaction);
            script.Run(op);
        }
        return true;
    }
    Script& script;
    char name;
};

MessageReceiver* Script::Get(char name)
{
    auto& slot = receivers[name];
    if (!slot) {
        slot = std::make_unique<Named>(*this, name);
    }
    return slot.get();
}

struct SenderCase {
    const char* name;
    std::vector<std::string> ops;          // "+A", "-A", "+0" (null), "!" (send, then a '|' in the calls)
    std::map<char, std::string> reactions; // one-shot, run on the receiver's first call
    const char* calls;
    std::size_t receiversLeft;
};

class SenderTable : public ::testing::TestWithParam<SenderCase> {};

TEST_P(SenderTable, CallsReceiversAsRegistered)
{
    const SenderCase& c = GetParam();
    Script script;
    script.reactions = c.reactions;
    for (const std::string& op : c.ops) {
        script.Run(op);
        if (op == "!") {
            script.calls += '|';
        }
    }
    EXPECT_EQ(c.calls, script.calls);
    EXPECT_EQ(c.receiversLeft, script.sender.ReceiverCount());
}

INSTANTIATE_TEST_SUITE_P(
    Sender, SenderTable,
    ::testing::Values(
        SenderCase{"NoReceivers", {"!"}, {}, "|", 0},
        SenderCase{"RegistrationOrder", {"+A", "+B", "+C", "!"}, {}, "ABC|", 3},
        SenderCase{"DuplicatesCalledPerEntry", {"+A", "+B", "+A", "!"}, {}, "ABA|", 3},
        SenderCase{"RemovalTakesFirstEntryOnly", {"+A", "+B", "+A", "-A", "!"}, {}, "BA|", 2},
        SenderCase{"AbsentRemovalChangesNothing", {"+A", "-B", "!"}, {}, "A|", 1},
        SenderCase{"NullIgnored", {"+0", "+A", "+0", "!"}, {}, "A|", 1},
        SenderCase{"ReceiverRemovesItself", {"+A", "+B", "!", "!"}, {{'A', "-A"}}, "AB|B|", 1},
        SenderCase{"RemovedLaterReceiverNotCalled", {"+A", "+B", "+C", "!", "!"}, {{'A', "-B"}}, "AC|AC|", 2},
        SenderCase{"AddedReceiverWaitsForNextSend", {"+A", "+B", "!", "!"}, {{'A', "+C"}}, "AB|ABC|", 3},
        SenderCase{"RemovingCalledDuplicateKeepsOther", {"+A", "+B", "+A", "!", "!"}, {{'B', "-A"}}, "ABA|BA|", 2},
        SenderCase{"ReentrantSendIsDepthFirst", {"+A", "+B", "!"}, {{'A', "!"}}, "AABB|", 2},
        SenderCase{"ReentrantSendSeesRemoval", {"+A", "+B", "+C", "!"}, {{'B', "-C"}}, "AB|", 2}),
    [](const ::testing::TestParamInfo<SenderCase>& info) { return std::string(info.param.name); });

// A receiver recognises notices by their class and leaves the others alone.
struct QueenWatcher : MessageReceiver {
    bool OnMessage(Message& message) override
    {
        if (auto* changed = dynamic_cast<MGraph1::MessageQueenChanged*>(&message)) {
            lastX = changed->tracking.x;
            ++seen;
            return true;
        }
        return false;
    }
    int seen = 0;
    double lastX = 0;
};

TEST(Notices, ReceiversTellNoticesApartByClass)
{
    MessageSender sender;
    QueenWatcher watcher;
    MessageReceiver plain;
    sender.AddReceiver(&watcher);
    sender.AddReceiver(&plain);
    MGraph1::MessageQueenChanged changed(7, MGraph1::PointD{1, 2}, MGraph1::PointD{3, 4});
    MGraph1::MsgAutoScale other(5);
    sender.Send(changed);
    sender.Send(other);
    EXPECT_EQ(1, watcher.seen);
    EXPECT_EQ(3.0, watcher.lastX);
    EXPECT_EQ(7, changed.source);
    EXPECT_FALSE(plain.OnMessage(changed));
}
} // namespace
