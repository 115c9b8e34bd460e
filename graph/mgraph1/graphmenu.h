// The context menu of a graph window: items owned by receivers that are asked how their item looks just before
// the menu is shown, and told when it was chosen.
#pragma once

#include "graph/mgraph1/messages.h"

#include <vector>

namespace MGraph1 {

class GraphMenu {
public:
    struct Item {
        std::int32_t cookie = 0; // 0: a separator
        MessSys::MessageReceiver* receiver = nullptr;
        bool shown = true;
        bool enabled = true;
        bool marked = false;
        KVO::String text;
    };

    virtual ~GraphMenu() = default;

    void AddItem(std::int32_t cookie, MessSys::MessageReceiver* receiver, bool shown, bool enabled, bool marked,
                 const KVO::String& text);
    void AddSeparator() { AddItem(0, nullptr, true, true, false, KVO::String()); }
    // Builds the menu, shows it at (x, y) in screen pixels for the owner and tells the chosen item's receiver.
    // True when an item was chosen. Item i carries the command 100 + i, whether or not the items before it show.
    bool Show(HWND owner, int x, int y);

    const std::vector<Item>& Items() const { return items_; }
    void Clear() { items_.clear(); }

    static constexpr UINT kFirstCommand = 100;

private:
    std::vector<Item> items_;
};

} // namespace MGraph1
