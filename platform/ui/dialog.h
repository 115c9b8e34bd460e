// Dialog templates, dialogs and modal loops.
//
// A template is C++ data (DialogTemplateData) encoded into a byte format of ours and registered as an RT_DIALOG
// resource of a module, so that CreateDialogParamW / DialogBoxParamW find it by instance handle and name or id.
// Dialog units become pixels at the fixed base units 6 x 13. A modal dialog runs a nested loop; the modal hook
// gets each modal dialog once it is shown and drives it to its end. A dialog that nobody ends gets IDCANCEL, as
// if the user had pressed Escape.
#pragma once

#include "platform/win/resources.h"
#include "platform/win/wingdi.h"
#include "platform/win/winuser.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The head of an encoded template; `size` counts every byte of it.
struct DLGTEMPLATE {
    DWORD signature;
    DWORD size;
};

namespace ui {

inline constexpr DWORD kDialogTemplateSignature = 0x474C4443; // "CDLG"
inline constexpr int kDialogBaseUnitX = 6;
inline constexpr int kDialogBaseUnitY = 13;

struct DialogItem {
    std::u16string_view className; // "Button", "Edit", "Static", "ComboBox", "ListBox", "ScrollBar" or any class
    std::u16string_view text;
    int id = 0;
    short x = 0;
    short y = 0;
    short cx = 0;
    short cy = 0;
    DWORD style = WS_VISIBLE; // WS_CHILD is always added
    DWORD exStyle = 0;
};

struct DialogTemplateData {
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    DWORD exStyle = 0;
    short x = 0;
    short y = 0;
    short cx = 0;
    short cy = 0;
    std::u16string_view caption;
    std::u16string_view fontFace = u"MS Shell Dlg";
    WORD pointSize = 8;
    WORD weight = FW_NORMAL;
    bool italic = false;
    std::u16string_view className; // empty: the standard dialog class
    std::vector<DialogItem> items;
};

// Encodes a template (field by field, little-endian).
std::vector<std::byte> EncodeDialogTemplate(const DialogTemplateData& data);
// Registers a template as RT_DIALOG resource `name` (a text or MAKEINTRESOURCEW id) of a module.
void RegisterDialogTemplate(HINSTANCE module, LPCWSTR name, const DialogTemplateData& data,
                            LANGID language = LANG_NEUTRAL);

// The decoded form, as the dialog manager uses it.
struct DecodedItem {
    std::u16string className;
    std::u16string text;
    int id = 0;
    RECT rect{}; // dialog units: x, y, x + cx, y + cy
    DWORD style = 0;
    DWORD exStyle = 0;
};
struct DecodedDialog {
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};
    std::u16string caption;
    std::u16string fontFace;
    WORD pointSize = 0;
    WORD weight = 0;
    bool italic = false;
    std::u16string className;
    std::vector<DecodedItem> items;
};
// False when the bytes are not a template of ours or are cut short.
bool DecodeDialogTemplate(const DLGTEMPLATE* head, DecodedDialog& out);

// The modal hook gets every modal dialog (and, through MessageBoxW's own hook, nothing else). Returns the
// previous hook.
using ModalHook = std::function<void(HWND dialog)>;
ModalHook SetModalHook(ModalHook hook);
// Modal dialogs running now, innermost last.
std::vector<HWND> ModalDialogs();

bool IsDialogWindow(HWND hwnd);
}
