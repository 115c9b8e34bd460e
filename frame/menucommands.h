// The functions through which a document class puts its commands, menu items, separators and command categories
// into the host's menus, through the host's menu and command services.
#pragma once

#include "sdk/docframework.h"

#include "platform/com/unknown.h"

namespace CAF {

// A command category: one item of kind 56 titled `title`, keyed `key`. The two values are not passed on.
HRESULT AddCommandCategory(platform::ComPtr<ICAFCommand>& item, const char16_t* title, DWORD value,
                           const char16_t* key, DWORD value2, DWORD value3);
// A separator at `path` ("Menu|-"); the bare path "-" goes in the item's text place.
HRESULT AddMenuSeparator(platform::ComPtr<ICAFCommand>& item, const char16_t* path);

// What a menu command is made of. The command id is (idHigh << 16) | idIndex; with both 0 the item's own id is
// taken when it has one.
struct MenuCommand {
    DWORD firstValue = 1;
    UINT stringId = 0; // the string-table entry of the item's texts
    const char16_t* path = u"";
    DWORD group = 10;
    UINT imageId = 0; // the PNG resource of the item's icon, or 0
    const char16_t* key = u"";
    const char16_t* category = u"";
    const char16_t* furtherText = u"";
    WORD idHigh = 0;
    WORD idIndex = 0;
};

HRESULT AddMenuCommand(platform::ComPtr<ICAFCommand>& item, HINSTANCE module, const MenuCommand& command);
// Short forms: group 2, no icon, no key, category or further text; the extension menu passes the first value 0.
HRESULT AddExtensionMenu(platform::ComPtr<ICAFCommand>& item, HINSTANCE module, UINT stringId, const char16_t* path,
                         WORD idHigh, WORD idIndex);
HRESULT AddMenuCommandFromTable(platform::ComPtr<ICAFCommand>& item, HINSTANCE module, DWORD firstValue,
                                UINT stringId, const char16_t* path, WORD idHigh, WORD idIndex);

// The command service's registration object of a command class.
struct CommandRegistrar {
    BYTE flag = 0;
    platform::ComPtr<IUnknown> registrar;
};
CommandRegistrar GetCommandRegistrar(DWORD commandClass, DWORD kind, DWORD flags);

} // namespace CAF
