#include "graph/mgraph1/graphmenu.h"
#include "graph/mgraph1/graphwindow.h"

#include "graph_kit.h"

#include "platform/ui/input.h"
#include "platform/ui/menus.h"
#include "platform/ui/window.h"
#include "platform/win/winmenu.h"

#include <memory>
#include <string>

namespace {
using namespace graphtest;
using MGraph1::GraphMenu;

// The owner of menu items: it hides, greys or marks its items when asked and records what it is told.
class ItemOwner : public MessSys::MessageReceiver {
public:
    bool OnMessage(MessSys::Message& message) override
    {
        if (auto* ask = dynamic_cast<MGraph1::PreDisplayMenuMessage*>(&message)) {
            asked.push_back(ask->source);
            if (ask->source == hide) {
                *ask->look.shown = false;
            }
            if (ask->source == mark) {
                *ask->look.marked = true;
                *ask->look.text = u"Marked";
            }
        } else if (dynamic_cast<MGraph1::OnMenuItemMessage*>(&message)) {
            chosen.push_back(message.source);
        }
        return true;
    }
    std::vector<std::int32_t> asked;
    std::vector<std::int32_t> chosen;
    std::int32_t hide = -1;
    std::int32_t mark = -1;
};

// What a shown menu held: per item its command id (or "-" for a separator) and its check and grey marks.
std::vector<std::string> Describe(HMENU menu)
{
    std::vector<std::string> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (state & MF_SEPARATOR) {
            items.push_back("-");
            continue;
        }
        char16_t text[32] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 32, MF_BYPOSITION);
        std::string item = std::to_string(GetMenuItemID(menu, i)) + " " + std::string(text, text + std::char_traits<char16_t>::length(text));
        item += (state & MF_CHECKED) ? " checked" : "";
        item += (state & MF_GRAYED) ? " grey" : "";
        items.push_back(item);
    }
    return items;
}

class GraphMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        ui::ClearTrackedPopups();
        owner = TopWindow(0, 0, 100, 100);
        owner->Create();
    }
    void TearDown() override
    {
        ui::SetPopupMenuHook(nullptr);
        owner.reset();
        ui::reset();
    }
    std::unique_ptr<owl::TWindow> owner;
};

TEST_F(GraphMenuTest, ItemsAskTheirOwnersAndKeepTheirCommands)
{
    ItemOwner items;
    items.hide = 3;
    items.mark = 2;
    GraphMenu menu;
    menu.AddItem(1, &items, true, true, false, u"Zoom");
    menu.AddSeparator();
    menu.AddItem(2, &items, true, true, false, u"Markers");
    menu.AddItem(3, &items, true, true, false, u"Hidden");
    menu.AddItem(4, &items, true, false, false, u"Grey");
    std::vector<std::string> shown;
    ui::SetPopupMenuHook([&](const ui::PopupMenuRequest& request) -> UINT {
        shown = Describe(request.menu);
        EXPECT_EQ(request.flags & (TPM_RETURNCMD | TPM_NONOTIFY), TPM_RETURNCMD | TPM_NONOTIFY);
        EXPECT_EQ(request.at.x, 30);
        EXPECT_EQ(request.at.y, 40);
        return 102;
    });
    EXPECT_TRUE(menu.Show(owner->GetHandle(), 30, 40));
    EXPECT_EQ(shown, (std::vector<std::string>{"100 Zoom", "-", "102 Marked checked", "104 Grey grey"}));
    EXPECT_EQ(items.asked, (std::vector<std::int32_t>{1, 2, 3, 4})); // the separator is asked nothing
    EXPECT_EQ(items.chosen, (std::vector<std::int32_t>{2}));
    EXPECT_EQ(ui::LiveMenuCount(), 0);
}

TEST_F(GraphMenuTest, DismissingChoosesNothing)
{
    ItemOwner items;
    GraphMenu menu;
    menu.AddItem(7, &items, true, true, false, u"Copy");
    ui::SetPopupMenuHook([](const ui::PopupMenuRequest&) -> UINT { return 0; });
    EXPECT_FALSE(menu.Show(owner->GetHandle(), 0, 0));
    EXPECT_TRUE(items.chosen.empty());
    EXPECT_EQ(items.asked.size(), 1u);
    ui::SetPopupMenuHook([](const ui::PopupMenuRequest&) -> UINT { return 99; }); // no item's command
    EXPECT_FALSE(menu.Show(owner->GetHandle(), 0, 0));
    EXPECT_TRUE(items.chosen.empty());
}

TEST_F(GraphMenuTest, ARightClickShowsTheMenuOnlyWhenAsked)
{
    GraphHost();
    owner.reset();
    const auto frame = TopWindow(50, 60, 320, 220);
    auto* graph = new MGraph1::Graph2DWindow(frame.get());
    graph->Attr.W = 320;
    graph->Attr.H = 220;
    frame->Create();
    ItemOwner owner;
    graph->Menu().AddItem(5, &owner, true, true, false, u"Auto scale");
    ui::SetPopupMenuHook([](const ui::PopupMenuRequest&) -> UINT { return 100; });

    ui::Click(graph->GetHandle(), POINT{150, 80}, ui::Button::Right);
    EXPECT_TRUE(ui::TrackedPopups().empty());
    EXPECT_TRUE(owner.chosen.empty());

    graph->contextMenu = true;
    ui::Click(graph->GetHandle(), POINT{150, 80}, ui::Button::Right);
    ASSERT_EQ(ui::TrackedPopups().size(), 1u);
    EXPECT_EQ(ui::TrackedPopups()[0].at.x, 200); // in screen pixels
    EXPECT_EQ(ui::TrackedPopups()[0].at.y, 140);
    EXPECT_EQ(ui::TrackedPopups()[0].owner, graph->GetHandle());
    EXPECT_EQ(owner.chosen, (std::vector<std::int32_t>{5}));
}

} // namespace
