#include "frame/menucommands.h"

#include "frame/hostservices.h"

#include <string_view>

namespace CAF {

namespace {

constexpr DWORD kCategoryKind = 56;
constexpr DWORD kSeparatorKind = 2;
constexpr DWORD kCategoryOrder = 10000;
constexpr DWORD kShortFormGroup = 2;

} // namespace

HRESULT AddCommandCategory(platform::ComPtr<ICAFCommand>& item, const char16_t* title, DWORD, const char16_t* key,
                           DWORD, DWORD)
{
    IMenuService* menus = GetMenuService();
    if (!menus) {
        return E_FAIL;
    }
    return menus->CreateItem(0, nullptr, key, 0, 0, 0, title, 0, 0, kCategoryKind, 0, 0, kCategoryOrder, item.Out());
}

HRESULT AddMenuSeparator(platform::ComPtr<ICAFCommand>& item, const char16_t* path)
{
    IMenuService* menus = GetMenuService();
    if (!menus) {
        return E_FAIL;
    }
    const bool bare = path && std::u16string_view(path) == u"-";
    return menus->CreateItem(0, bare ? nullptr : path, bare ? path : nullptr, 0, 0, 0, nullptr, 0, 0, kSeparatorKind,
                             0, 0, 0, item.Out());
}

HRESULT AddMenuCommand(platform::ComPtr<ICAFCommand>& item, HINSTANCE module, const MenuCommand& command)
{
    IMenuService* menus = GetMenuService();
    if (!menus) {
        return E_FAIL;
    }
    const HRESULT created =
        menus->CreateCommand(command.firstValue, module, command.stringId, command.path, command.imageId,
                             command.category, command.furtherText, command.group, 0, 0, item.Out());
    if (FAILED(created) || !item) {
        return FAILED(created) ? created : E_FAIL;
    }
    DWORD id = (static_cast<DWORD>(command.idHigh) << 16) | command.idIndex;
    if (id == 0) {
        DWORD own = 0;
        if (SUCCEEDED(item->GetOwnId(&own)) && own != 0) {
            id = own;
        }
    }
    item->SetId(id);
    platform::ComPtr<ICAFCommandId> idSink;
    if (SUCCEEDED(item->QueryInterface(IID_ICAFCommandId, idSink.OutVoid())) && idSink) {
        idSink->SetCommandId(0, id);
    }
    platform::ComPtr<ICAFCommandKey> keySink;
    if (SUCCEEDED(item->QueryInterface(IID_ICAFCommandKey, keySink.OutVoid())) && keySink) {
        keySink->SetKey(command.key);
    }
    return S_OK;
}

HRESULT AddExtensionMenu(platform::ComPtr<ICAFCommand>& item, HINSTANCE module, UINT stringId, const char16_t* path,
                         WORD idHigh, WORD idIndex)
{
    return AddMenuCommandFromTable(item, module, 0, stringId, path, idHigh, idIndex);
}

HRESULT AddMenuCommandFromTable(platform::ComPtr<ICAFCommand>& item, HINSTANCE module, DWORD firstValue,
                                UINT stringId, const char16_t* path, WORD idHigh, WORD idIndex)
{
    MenuCommand command;
    command.firstValue = firstValue;
    command.stringId = stringId;
    command.path = path;
    command.group = kShortFormGroup;
    command.idHigh = idHigh;
    command.idIndex = idIndex;
    return AddMenuCommand(item, module, command);
}

CommandRegistrar GetCommandRegistrar(DWORD commandClass, DWORD kind, DWORD flags)
{
    CommandRegistrar result;
    if (ICommandService* commands = GetCommandService()) {
        commands->GetRegistrar(commandClass, kind, flags, result.registrar.Out());
    }
    return result;
}

} // namespace CAF
