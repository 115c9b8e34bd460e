#include "graph/mgraph1/graphmenu.h"

#include "platform/win/winmenu.h"

namespace MGraph1 {

void GraphMenu::AddItem(std::int32_t cookie, MessSys::MessageReceiver* receiver, bool shown, bool enabled, bool marked,
                        const KVO::String& text)
{
    items_.push_back(Item{cookie, receiver, shown, enabled, marked, text});
}

bool GraphMenu::Show(HWND owner, int x, int y)
{
    HMENU menu = CreatePopupMenu();
    if (!menu) {
        return false;
    }
    for (std::size_t i = 0; i < items_.size(); ++i) {
        Item& item = items_[i];
        if (item.cookie == 0) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        if (item.receiver) {
            PreDisplayMenuMessage ask(item.cookie, MenuItemLook{&item.shown, &item.enabled, &item.marked, &item.text});
            item.receiver->OnMessage(ask);
        }
        if (item.shown) {
            const UINT flags = MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED) | (item.marked ? MF_CHECKED : MF_UNCHECKED);
            AppendMenuW(menu, flags, kFirstCommand + i, item.text.c_str());
        }
    }
    const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0, owner, nullptr);
    DestroyMenu(menu);
    if (chosen < 1 || static_cast<UINT>(chosen) < kFirstCommand || chosen - kFirstCommand >= items_.size()) {
        return false;
    }
    const Item& item = items_[static_cast<std::size_t>(chosen) - kFirstCommand];
    if (item.receiver) {
        OnMenuItemMessage chosenNotice(item.cookie);
        item.receiver->OnMessage(chosenNotice);
    }
    return true;
}

} // namespace MGraph1
