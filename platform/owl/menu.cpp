#include "platform/owl/menu.h"

namespace owl {

TMenu::TMenu() : Handle(::CreateMenu()) {}

TMenu::TMenu(HMENU handle, TAutoDelete autoDelete) : Handle(handle), ShouldDelete(autoDelete == AutoDelete) {}

TMenu::TMenu(HINSTANCE module, TResId resId) : Handle(::LoadMenuW(module, resId))
{
    if (!Handle) {
        throw TXOwl("the menu resource cannot be loaded");
    }
}

TMenu::TMenu(const void* menuTemplate) : Handle(::LoadMenuIndirectW(menuTemplate))
{
    if (!Handle) {
        throw TXOwl("the menu template cannot be read");
    }
}

TMenu::~TMenu()
{
    if (ShouldDelete && Handle) {
        ::DestroyMenu(Handle);
    }
}

tstring TMenu::GetMenuString(uint item, uint flags) const
{
    const int length = ::GetMenuStringW(Handle, item, nullptr, 0, flags);
    tstring text(static_cast<std::size_t>(length) + 1, u'\0');
    ::GetMenuStringW(Handle, item, text.data(), length + 1, flags);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

TPopupMenu::TPopupMenu() : TMenu(::CreatePopupMenu(), AutoDelete) {}

TPopupMenu::TPopupMenu(const TMenu& menu) : TMenu(::CreatePopupMenu(), AutoDelete) { DeepCopyMenu(Handle, menu); }

void DeepCopyMenu(HMENU to, HMENU from)
{
    const int count = ::GetMenuItemCount(from);
    for (int i = 0; i < count; ++i) {
        const auto position = static_cast<UINT>(i);
        const UINT raw = ::GetMenuState(from, position, MF_BYPOSITION);
        const UINT state = ::GetSubMenu(from, i) ? (raw & 0x7F) : (raw & ~MF_HILITE);
        const int length = ::GetMenuStringW(from, position, nullptr, 0, MF_BYPOSITION);
        std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
        ::GetMenuStringW(from, position, text.data(), length + 1, MF_BYPOSITION);
        if (HMENU sub = ::GetSubMenu(from, i)) {
            HMENU copy = ::CreatePopupMenu();
            DeepCopyMenu(copy, sub);
            ::AppendMenuW(to, (state & ~MF_POPUP) | MF_POPUP, reinterpret_cast<UINT_PTR>(copy), text.c_str());
        } else if (state & MF_SEPARATOR) {
            ::AppendMenuW(to, MF_SEPARATOR, 0, nullptr);
        } else {
            ::AppendMenuW(to, state, ::GetMenuItemID(from, i), text.c_str());
        }
    }
}
}
