#include "platform/ui/dialog.h"

#include "platform/gdi/dc.h"
#include "platform/ui/controls.h"
#include "platform/win/errors.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <utility>

namespace ui {
namespace {
struct DialogData : detail::ControlData {
    HFONT font = nullptr;
    bool ownsFont = false;
    HWND savedFocus = nullptr;
    WORD defId = 0;
};

struct ModalState {
    bool ended = false;
    INT_PTR result = IDCANCEL;
};

std::map<HWND, ModalState>& Modal()
{
    static auto* states = new std::map<HWND, ModalState>;
    return *states;
}

std::vector<HWND>& ModalStack()
{
    static auto* stack = new std::vector<HWND>;
    return *stack;
}

ModalHook& Hook()
{
    static auto* hook = new ModalHook;
    return *hook;
}

// Little-endian writer and bounded reader of the template bytes.
class Writer {
public:
    void u16(WORD v) { bytes(&v, 2); }
    void u32(DWORD v) { bytes(&v, 4); }
    void i16(short v) { u16(static_cast<WORD>(v)); }
    void text(std::u16string_view s)
    {
        u16(static_cast<WORD>(s.size()));
        for (char16_t ch : s) {
            u16(ch);
        }
    }
    std::vector<std::byte> out;

private:
    void bytes(const void* p, std::size_t n)
    {
        // Values are written byte by byte, low byte first, whatever the host order.
        std::uint32_t value = 0;
        std::memcpy(&value, p, n);
        for (std::size_t i = 0; i < n; ++i) {
            out.push_back(static_cast<std::byte>((value >> (8 * i)) & 0xFF));
        }
    }
};

class Reader {
public:
    Reader(const std::byte* data, std::size_t size) : data_(data), size_(size) {}
    bool ok() const { return ok_; }
    DWORD u32() { return static_cast<DWORD>(take(4)); }
    WORD u16() { return static_cast<WORD>(take(2)); }
    short i16() { return static_cast<short>(u16()); }
    BYTE u8() { return static_cast<BYTE>(take(1)); }
    std::u16string text()
    {
        const WORD n = u16();
        std::u16string s;
        for (WORD i = 0; i < n && ok_; ++i) {
            s += static_cast<char16_t>(u16());
        }
        return s;
    }

private:
    std::uint32_t take(std::size_t n)
    {
        if (at_ + n > size_) {
            ok_ = false;
            return 0;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < n; ++i) {
            value |= static_cast<std::uint32_t>(std::to_integer<unsigned>(data_[at_ + i])) << (8 * i);
        }
        at_ += n;
        return value;
    }
    const std::byte* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

RECT ToPixels(const RECT& units)
{
    RECT r = units;
    MapDialogRect(nullptr, &r);
    return r;
}

bool CaseEqual(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

std::vector<HWND> TabItems(HWND parent)
{
    std::vector<HWND> items;
    for (HWND child : Children(parent)) {
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
        const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_EXSTYLE));
        if (!(style & WS_VISIBLE) || (style & WS_DISABLED)) {
            continue;
        }
        if (exStyle & WS_EX_CONTROLPARENT) {
            const auto inner = TabItems(child);
            items.insert(items.end(), inner.begin(), inner.end());
        } else if (style & WS_TABSTOP) {
            items.push_back(child);
        }
    }
    return items;
}

HWND FirstTabItem(HWND dialog)
{
    const auto items = TabItems(dialog);
    return items.empty() ? nullptr : items.front();
}

HWND CreateFromTemplate(HINSTANCE instance, const DecodedDialog& t, HWND parent, DLGPROC proc, LPARAM param)
{
    DWORD style = t.style;
    DWORD exStyle = t.exStyle;
    if (style & DS_MODALFRAME) {
        exStyle |= WS_EX_DLGMODALFRAME;
    }
    if (style & DS_CONTROL) {
        style = (style & ~(WS_CAPTION | WS_SYSMENU | WS_POPUP)) | WS_CHILD;
        exStyle |= WS_EX_CONTROLPARENT;
    }
    const RECT units = t.rect;
    RECT client = ToPixels(RECT{0, 0, units.right - units.left, units.bottom - units.top});
    RECT window = client;
    AdjustWindowRectEx(&window, style, FALSE, exStyle);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    RECT offset = ToPixels(RECT{units.left, units.top, units.left, units.top});
    int x = offset.left;
    int y = offset.top;
    if (!(style & WS_CHILD)) {
        // Popups are placed from the owner's client area (the work area without owner) and kept on its monitor.
        POINT base{};
        RECT work = Monitors().front().work;
        if (parent) {
            ClientToScreen(parent, &base);
            MONITORINFO info{sizeof info, {}, {}, 0};
            GetMonitorInfoW(MonitorFromWindow(parent, MONITOR_DEFAULTTONEAREST), &info);
            work = info.rcWork;
        } else {
            base = POINT{work.left, work.top};
        }
        if (style & DS_CENTER) {
            RECT around = work;
            if (parent) {
                GetWindowRect(GetAncestor(parent, GA_ROOT), &around);
            }
            x = (around.left + around.right - width) / 2;
            y = (around.top + around.bottom - height) / 2;
        } else {
            x += base.x;
            y += base.y;
        }
        x = std::max(work.left, std::min(x, static_cast<int>(work.right) - width));
        y = std::max(work.top, std::min(y, static_cast<int>(work.bottom) - height));
    }
    const LPCWSTR cls = t.className.empty() ? u"#32770" : t.className.c_str();
    HWND dialog = CreateWindowExW(exStyle, cls, t.caption.c_str(), style & ~WS_VISIBLE, x, y, width, height, parent,
                                  nullptr, instance, reinterpret_cast<LPVOID>(param));
    if (!dialog) {
        return nullptr;
    }
    auto& data = detail::Data<DialogData>(dialog);
    SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    if (style & DS_SETFONT) {
        LOGFONTW log{};
        log.lfHeight = -MulDiv(t.pointSize, gdi::ScreenDpi(), 72);
        log.lfWeight = t.weight ? t.weight : FW_NORMAL;
        log.lfItalic = t.italic;
        log.lfCharSet = DEFAULT_CHARSET;
        const std::size_t n = std::min<std::size_t>(t.fontFace.size(), LF_FACESIZE - 1);
        std::copy_n(t.fontFace.data(), n, log.lfFaceName);
        data.font = CreateFontIndirectW(&log);
        data.ownsFont = true;
        SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(data.font), FALSE);
        if (!IsWindow(dialog)) {
            return nullptr;
        }
    }
    for (const DecodedItem& item : t.items) {
        DWORD itemStyle = item.style | WS_CHILD;
        DWORD itemExStyle = item.exStyle | WS_EX_NOPARENTNOTIFY;
        // Bordered edits and lists get the sunken 3-D edge, as dialogs give them.
        if ((itemStyle & WS_BORDER) && (CaseEqual(item.className, u"Edit") || CaseEqual(item.className, u"ListBox"))) {
            itemStyle &= ~WS_BORDER;
            itemExStyle |= WS_EX_CLIENTEDGE;
        }
        const RECT r = ToPixels(item.rect);
        HWND control = CreateWindowExW(itemExStyle, item.className.c_str(), item.text.c_str(), itemStyle, r.left,
                                       r.top, r.right - r.left, r.bottom - r.top, dialog,
                                       reinterpret_cast<HMENU>(static_cast<std::intptr_t>(item.id)), instance, nullptr);
        if (!control) {
            DestroyWindow(dialog);
            return nullptr;
        }
        if (data.font) {
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(data.font), FALSE);
        }
    }
    HWND first = FirstTabItem(dialog);
    if (SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) && IsWindow(dialog) &&
        !(style & WS_CHILD)) {
        if (HWND focus = first ? first : nullptr) {
            SetFocus(focus);
            if (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
                SendMessageW(focus, EM_SETSEL, 0, -1);
            }
        }
    }
    if (IsWindow(dialog) && (t.style & WS_VISIBLE)) {
        ShowWindow(dialog, SW_SHOWNORMAL);
    }
    return IsWindow(dialog) ? dialog : nullptr;
}

bool Load(HINSTANCE instance, LPCWSTR name, DecodedDialog& t)
{
    HRSRC found = FindResourceW(instance, name, RT_DIALOG);
    if (!found) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return false;
    }
    const auto* head = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(instance, found)));
    return DecodeDialogTemplate(head, t);
}

INT_PTR RunModal(HWND dialog, HWND owner)
{
    auto& states = Modal();
    states[dialog] = ModalState{};
    ModalStack().push_back(dialog);
    const bool disableOwner = owner && IsWindowEnabled(owner);
    if (disableOwner) {
        EnableWindow(owner, FALSE);
    }
    auto ended = [&] { return !IsWindow(dialog) || states[dialog].ended; };
    if (!ended()) {
        ShowWindow(dialog, SW_SHOWNORMAL);
        detail::PumpUntil(ended);
    }
    if (!ended()) {
        // Each hook call sees the hook as it is when this dialog opens; a hook may replace itself meanwhile.
        ModalHook hook = Hook();
        if (hook) {
            hook(dialog);
        }
    }
    if (!ended()) {
        detail::PumpUntil(ended);
    }
    if (!ended()) {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        detail::PumpUntil(ended);
    }
    const INT_PTR result = states[dialog].ended ? states[dialog].result : IDCANCEL;
    states.erase(dialog);
    std::erase(ModalStack(), dialog);
    if (disableOwner && IsWindow(owner)) {
        EnableWindow(owner, TRUE);
    }
    if (IsWindow(dialog)) {
        DestroyWindow(dialog);
    }
    if (owner && IsWindow(owner)) {
        SetActiveWindow(GetAncestor(owner, GA_ROOT));
    }
    return result;
}
}

std::vector<std::byte> EncodeDialogTemplate(const DialogTemplateData& d)
{
    Writer w;
    w.u32(kDialogTemplateSignature);
    w.u32(0); // size, patched below
    w.u32(d.style);
    w.u32(d.exStyle);
    w.i16(d.x);
    w.i16(d.y);
    w.i16(d.cx);
    w.i16(d.cy);
    w.u16(d.pointSize);
    w.u16(d.weight);
    w.u16(d.italic ? 1 : 0);
    w.u16(static_cast<WORD>(d.items.size()));
    w.text(d.caption);
    w.text(d.fontFace);
    w.text(d.className);
    for (const DialogItem& item : d.items) {
        w.u32(item.style);
        w.u32(item.exStyle);
        w.i16(item.x);
        w.i16(item.y);
        w.i16(item.cx);
        w.i16(item.cy);
        w.u32(static_cast<DWORD>(item.id));
        w.text(item.className);
        w.text(item.text);
    }
    const auto size = static_cast<DWORD>(w.out.size());
    for (int i = 0; i < 4; ++i) {
        w.out[4 + static_cast<std::size_t>(i)] = static_cast<std::byte>((size >> (8 * i)) & 0xFF);
    }
    return w.out;
}

void RegisterDialogTemplate(HINSTANCE module, LPCWSTR name, const DialogTemplateData& data, LANGID language)
{
    const std::vector<std::byte> bytes = EncodeDialogTemplate(data);
    platform::RegisterResource(module, RT_DIALOG, name, language, bytes);
}

bool DecodeDialogTemplate(const DLGTEMPLATE* head, DecodedDialog& out)
{
    if (!head) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const std::byte*>(head);
    Reader header(bytes, 8);
    if (header.u32() != kDialogTemplateSignature) {
        return false;
    }
    const DWORD size = header.u32();
    Reader r(bytes, size);
    r.u32();
    r.u32();
    out = DecodedDialog{};
    out.style = r.u32();
    out.exStyle = r.u32();
    const short x = r.i16();
    const short y = r.i16();
    const short cx = r.i16();
    const short cy = r.i16();
    out.rect = RECT{x, y, x + cx, y + cy};
    out.pointSize = r.u16();
    out.weight = r.u16();
    out.italic = r.u16() != 0;
    const WORD count = r.u16();
    out.caption = r.text();
    out.fontFace = r.text();
    out.className = r.text();
    for (WORD i = 0; i < count && r.ok(); ++i) {
        DecodedItem item;
        item.style = r.u32();
        item.exStyle = r.u32();
        const short ix = r.i16();
        const short iy = r.i16();
        const short icx = r.i16();
        const short icy = r.i16();
        item.rect = RECT{ix, iy, ix + icx, iy + icy};
        item.id = static_cast<int>(r.u32());
        item.className = r.text();
        item.text = r.text();
        out.items.push_back(std::move(item));
    }
    return r.ok();
}

ModalHook SetModalHook(ModalHook hook) { return std::exchange(Hook(), std::move(hook)); }

std::vector<HWND> ModalDialogs() { return ModalStack(); }

bool IsDialogWindow(HWND hwnd)
{
    detail::Window* w = detail::Find(hwnd);
    return w && dynamic_cast<DialogData*>(w->data.get()) != nullptr;
}

namespace detail {
void RegisterStandardClasses()
{
    RegisterSystemClass(u"Button", ButtonProc, CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW, nullptr);
    RegisterSystemClass(u"Static", StaticProc, CS_DBLCLKS | CS_PARENTDC, nullptr);
    RegisterSystemClass(u"Edit", EditProc, CS_DBLCLKS | CS_PARENTDC, nullptr);
    RegisterSystemClass(u"ListBox", ListBoxProc, CS_DBLCLKS | CS_PARENTDC, nullptr);
    RegisterSystemClass(u"ComboLBox", ListBoxProc, CS_DBLCLKS | CS_SAVEBITS, nullptr);
    RegisterSystemClass(u"ComboBox", ComboBoxProc, CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW, nullptr);
    RegisterSystemClass(u"ScrollBar", ScrollBarProc, CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW, nullptr);
    RegisterSystemClass(u"msctls_updown32", UpDownProc, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, nullptr);
    RegisterSystemClass(u"msctls_trackbar32", TrackbarProc, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, nullptr);
    RegisterSystemClass(u"SysTabControl32", TabControlProc, CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW, nullptr);
    RegisterSystemClass(u"tooltips_class32", TooltipProc, CS_SAVEBITS, nullptr);
    RegisterSystemClass(u"#32770", DefDlgProcW, CS_DBLCLKS | CS_SAVEBITS, nullptr, DLGWINDOWEXTRA);
}
}
}

using ui::DialogData;

HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param)
{
    ui::DecodedDialog t;
    if (!ui::DecodeDialogTemplate(dialogTemplate, t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return ui::CreateFromTemplate(instance, t, parent, proc, param);
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc, LPARAM param)
{
    ui::DecodedDialog t;
    if (!ui::Load(instance, templateName, t)) {
        return nullptr;
    }
    return ui::CreateFromTemplate(instance, t, parent, proc, param);
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param)
{
    ui::DecodedDialog t;
    if (!ui::DecodeDialogTemplate(dialogTemplate, t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    t.style &= ~WS_VISIBLE;
    HWND owner = parent ? GetAncestor(parent, GA_ROOT) : nullptr;
    HWND dialog = ui::CreateFromTemplate(instance, t, owner, proc, param);
    return dialog ? ui::RunModal(dialog, owner) : -1;
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc, LPARAM param)
{
    ui::DecodedDialog t;
    if (!ui::Load(instance, templateName, t)) {
        return -1;
    }
    t.style &= ~WS_VISIBLE;
    HWND owner = parent ? GetAncestor(parent, GA_ROOT) : nullptr;
    HWND dialog = ui::CreateFromTemplate(instance, t, owner, proc, param);
    return dialog ? ui::RunModal(dialog, owner) : -1;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    if (!IsWindow(dialog)) {
        return FALSE;
    }
    auto& states = ui::Modal();
    const auto found = states.find(dialog);
    if (found != states.end()) {
        found->second.ended = true;
        found->second.result = result;
    }
    return TRUE;
}

LRESULT DefDlgProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto& data = ui::detail::Data<DialogData>(hwnd);
    if (auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(hwnd, DWLP_DLGPROC))) {
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
        const INT_PTR handled = proc(hwnd, message, wParam, lParam);
        if (!IsWindow(hwnd)) {
            return 0;
        }
        if (handled) {
            switch (message) {
            case WM_CTLCOLORMSGBOX:
            case WM_CTLCOLOREDIT:
            case WM_CTLCOLORLISTBOX:
            case WM_CTLCOLORBTN:
            case WM_CTLCOLORDLG:
            case WM_CTLCOLORSCROLLBAR:
            case WM_CTLCOLORSTATIC:
            case WM_INITDIALOG:
                return handled;
            default:
                return GetWindowLongPtrW(hwnd, DWLP_MSGRESULT);
            }
        }
    }
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_ERASEBKGND: {
        HDC hdc = reinterpret_cast<HDC>(wParam);
        HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(hwnd, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(hwnd)));
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(hdc, &r, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_SETFONT:
        data.font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(data.font);
    case WM_NCDESTROY:
        if (data.ownsFont && data.font) {
            DeleteObject(data.font);
            data.font = nullptr;
        }
        return 0;
    case WM_CLOSE: {
        HWND cancel = GetDlgItem(hwnd, IDCANCEL);
        if (!cancel || IsWindowEnabled(cancel)) {
            SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        }
        return 0;
    }
    case DM_GETDEFID:
        return data.defId ? MAKELRESULT(data.defId, DC_HASDEFID) : 0;
    case DM_SETDEFID: {
        const WORD id = static_cast<WORD>(wParam);
        if (HWND old = data.defId ? GetDlgItem(hwnd, data.defId) : nullptr) {
            if ((GetWindowLongPtrW(old, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
                SendMessageW(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
            }
        }
        data.defId = id;
        if (HWND button = GetDlgItem(hwnd, id)) {
            if ((GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK) == BS_PUSHBUTTON) {
                SendMessageW(button, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
            }
        }
        return TRUE;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd, focus)) {
                data.savedFocus = focus;
            }
        } else {
            HWND focus = IsWindow(data.savedFocus) ? data.savedFocus : ui::FirstTabItem(hwnd);
            if (focus && !IsChild(hwnd, GetFocus())) {
                SetFocus(focus);
            }
        }
        return 0;
    case WM_SETFOCUS: {
        HWND focus = IsWindow(data.savedFocus) ? data.savedFocus : ui::FirstTabItem(hwnd);
        if (focus) {
            SetFocus(focus);
        }
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

BOOL IsDialogMessageW(HWND dialog, LPMSG msg)
{
    if (!msg || !IsWindow(dialog) || (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd))) {
        return FALSE;
    }
    if (msg->message == WM_KEYDOWN) {
        const LRESULT code = SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        if (!(code & DLGC_WANTALLKEYS)) {
            switch (msg->wParam) {
            case VK_TAB:
                if (!(code & DLGC_WANTTAB)) {
                    HWND next = GetNextDlgTabItem(dialog, GetFocus(), GetKeyState(VK_SHIFT) < 0);
                    if (next) {
                        SetFocus(next);
                        if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
                            SendMessageW(next, EM_SETSEL, 0, -1);
                        }
                    }
                    return TRUE;
                }
                break;
            case VK_RETURN: {
                HWND focus = GetFocus();
                int id = IDOK;
                if (focus && (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
                    id = GetDlgCtrlID(focus);
                } else if (const LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0); HIWORD(def) == DC_HASDEFID) {
                    id = LOWORD(def);
                }
                HWND button = GetDlgItem(dialog, id);
                if (!button || IsWindowEnabled(button)) {
                    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                                 reinterpret_cast<LPARAM>(button));
                }
                return TRUE;
            }
            case VK_ESCAPE: {
                HWND cancel = GetDlgItem(dialog, IDCANCEL);
                if (!cancel || IsWindowEnabled(cancel)) {
                    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
                }
                return TRUE;
            }
            case VK_LEFT:
            case VK_RIGHT:
            case VK_UP:
            case VK_DOWN:
                if (!(code & DLGC_WANTARROWS)) {
                    const bool back = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
                    HWND next = GetNextDlgGroupItem(dialog, GetFocus(), back);
                    if (next && next != GetFocus()) {
                        SetFocus(next);
                        if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
                            SendMessageW(next, BM_CLICK, 0, 0);
                        }
                    }
                    return TRUE;
                }
                break;
            default:
                break;
            }
        }
    }
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id)
{
    for (HWND child : ui::Children(dialog)) {
        if (GetDlgCtrlID(child) == id) {
            return child;
        }
    }
    return nullptr;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageW(item, message, wParam, lParam) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowTextW(item, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int units)
{
    HWND item = GetDlgItem(dialog, id);
    if (!item) {
        if (buffer && units > 0) {
            buffer[0] = 0;
        }
        return 0;
    }
    return static_cast<UINT>(GetWindowTextW(item, buffer, units));
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned)
{
    char digits[16];
    const auto end = isSigned ? std::to_chars(digits, digits + sizeof digits, static_cast<int>(value)).ptr
                              : std::to_chars(digits, digits + sizeof digits, value).ptr;
    const std::u16string text(digits, end);
    return SetDlgItemTextW(dialog, id, text.c_str());
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned)
{
    if (translated) {
        *translated = FALSE;
    }
    HWND item = GetDlgItem(dialog, id);
    if (!item) {
        return 0;
    }
    std::u16string text = ui::WindowText(item);
    std::size_t at = 0;
    while (at < text.size() && text[at] == u' ') {
        ++at;
    }
    bool negative = false;
    if (isSigned && at < text.size() && text[at] == u'-') {
        negative = true;
        ++at;
    }
    if (at >= text.size()) {
        return 0;
    }
    long long value = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < u'0' || text[at] > u'9') {
            return 0;
        }
        value = value * 10 + (text[at] - u'0');
        if (value > (isSigned ? 0x80000000LL : 0xFFFFFFFFLL)) {
            return 0;
        }
    }
    if (isSigned && !negative && value > 0x7FFFFFFF) {
        return 0;
    }
    if (translated) {
        *translated = TRUE;
    }
    return static_cast<UINT>(negative ? -value : value);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? (SendMessageW(item, BM_SETCHECK, check, 0), TRUE) : FALSE;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    return static_cast<UINT>(SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId)
{
    for (int id = firstId; id <= lastId; ++id) {
        if (HWND item = GetDlgItem(dialog, id)) {
            SendMessageW(item, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
    return TRUE;
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous)
{
    const auto items = ui::TabItems(dialog);
    if (items.empty()) {
        return control;
    }
    const auto at = std::find(items.begin(), items.end(), control);
    if (at == items.end()) {
        return previous ? items.back() : items.front();
    }
    const auto index = static_cast<std::size_t>(at - items.begin());
    const std::size_t n = items.size();
    return items[previous ? (index + n - 1) % n : (index + 1) % n];
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous)
{
    HWND parent = control ? GetParent(control) : dialog;
    const auto siblings = ui::Children(parent);
    const auto at = std::find(siblings.begin(), siblings.end(), control);
    if (at == siblings.end()) {
        return control;
    }
    auto groupStart = at;
    while (groupStart != siblings.begin() && !(GetWindowLongPtrW(*groupStart, GWL_STYLE) & WS_GROUP)) {
        --groupStart;
    }
    auto groupEnd = at + 1;
    while (groupEnd != siblings.end() && !(GetWindowLongPtrW(*groupEnd, GWL_STYLE) & WS_GROUP)) {
        ++groupEnd;
    }
    std::vector<HWND> group;
    for (auto it = groupStart; it != groupEnd; ++it) {
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(*it, GWL_STYLE));
        if ((style & WS_VISIBLE) && !(style & WS_DISABLED)) {
            group.push_back(*it);
        }
    }
    const auto pos = std::find(group.begin(), group.end(), control);
    if (group.empty() || pos == group.end()) {
        return control;
    }
    const auto index = static_cast<std::size_t>(pos - group.begin());
    const std::size_t n = group.size();
    return group[previous ? (index + n - 1) % n : (index + 1) % n];
}

BOOL MapDialogRect(HWND, LPRECT rect)
{
    if (!rect) {
        return FALSE;
    }
    rect->left = MulDiv(rect->left, ui::kDialogBaseUnitX, 4);
    rect->right = MulDiv(rect->right, ui::kDialogBaseUnitX, 4);
    rect->top = MulDiv(rect->top, ui::kDialogBaseUnitY, 8);
    rect->bottom = MulDiv(rect->bottom, ui::kDialogBaseUnitY, 8);
    return TRUE;
}

LONG GetDialogBaseUnits()
{
    return static_cast<LONG>(MAKELONG(ui::kDialogBaseUnitX, ui::kDialogBaseUnitY));
}
