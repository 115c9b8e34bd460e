#include "frame/commentpopup.h"

#include "foundation/dialogfont.h"
#include "foundation/utilities.h"
#include "foundation/xkvo.h"

#include <algorithm>

namespace {
// The gadget windows' font: the system's default user-interface font, normal or bold.
std::unique_ptr<owl::TFont> GadgetFont(bool bold)
{
    LOGFONTW log{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof log, &log);
    if (bold) {
        log.lfWeight = FW_BOLD;
    }
    return std::make_unique<owl::TFont>(log);
}
} // namespace

CommentPopup::CommentPopup(owl::TWindow* parent, const owl::TPoint& anchor, IChartCommentEx* comment,
                           const KVO::String& title, int offsetBelow)
    : TWindow(parent, nullptr), title_(title), comment_(comment), anchor_(anchor), normalFont_(GadgetFont(false)),
      boldFont_(GadgetFont(true)), offsetBelow_(offsetBelow)
{
    if (comment_) {
        comment_->AddRef();
    }
    const SIZE normal = KVO::GetFontCharSize(*normalFont_);
    const SIZE bold = KVO::GetFontCharSize(*boldFont_);
    titleRect_ = RECT{0, 0, 8 * normal.cx, normal.cy};
    const int characters = CommentText().Length();
    const int lines = std::min(characters / kCharsPerLine + 1, kMaxLines);
    textRect_ = RECT{titleRect_.left, titleRect_.bottom + 7, titleRect_.left + kCharsPerLine * normal.cx,
                     titleRect_.bottom + 7 + lines * normal.cy};
    RECT window{};
    UnionRect(&window, &titleRect_, &textRect_);
    InflateRect(&window, 7, 7);
    OffsetRect(&titleRect_, 9, 7);
    OffsetRect(&textRect_, 7, 7);
    titleTextAt_ = POINT{titleRect_.right + 2 * bold.cx, titleRect_.top};

    Attr.Style = WS_POPUP | WS_DISABLED | WS_BORDER;
    Attr.W = window.right - window.left;
    Attr.H = window.bottom - window.top;
    Attr.X = anchor_.x;
    Attr.Y = anchor_.y - Attr.H;
    DisableAutoCreate();
    if (TWindow::Create() && KVO::IsHostApplicationVisible()) {
        ShowWindow(SW_SHOWNA);
    }
}

CommentPopup::~CommentPopup()
{
    if (GetHandle()) {
        Destroy();
    }
    if (comment_) {
        comment_->Release();
    }
}

HRESULT CommentPopup::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_ICommentPopupWindow) {
        return E_NOINTERFACE;
    }
    *out = static_cast<ICommentPopupWindow*>(this);
    InternalAddRef();
    return S_OK;
}

HRESULT CommentPopup::GetComment(IChartCommentEx** out)
{
    if (!out) {
        return E_INVALIDARG;
    }
    *out = comment_;
    if (comment_) {
        comment_->AddRef();
    }
    return S_OK;
}

HRESULT CommentPopup::Refresh()
{
    if (GetHandle()) {
        ::InvalidateRect(GetHandle(), nullptr, TRUE);
        ::UpdateWindow(GetHandle());
    }
    return S_OK;
}

void CommentPopup::GetWindowClass(WNDCLASSW& wc)
{
    TWindow::GetWindowClass(wc);
    wc.style |= CS_SAVEBITS;
    wc.hbrBackground = GetSysColorBrush(COLOR_INFOBK);
}

void CommentPopup::SetupWindow()
{
    TWindow::SetupWindow();
    const owl::TRect window = GetWindowRect();
    MONITORINFO info{sizeof(MONITORINFO), {}, {}, 0};
    GetMonitorInfoW(MonitorFromPoint(anchor_, MONITOR_DEFAULTTONEAREST), &info);
    const int x = std::min<int>(anchor_.x, info.rcWork.right - 10 - window.Width());
    int y = anchor_.y - window.Height();
    if (y < 10) {
        y = anchor_.y + offsetBelow_;
    }
    SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CommentPopup::EvEraseBkgnd(HDC hdc)
{
    RECT r;
    ::GetClientRect(GetHandle(), &r);
    FillRect(hdc, &r, GetSysColorBrush(COLOR_INFOBK));
    return true;
}

KVO::String CommentPopup::CommentText() const
{
    KVO::String text;
    if (comment_) {
        KVO::StringOutParam out(text);
        comment_->GetInfo(nullptr, nullptr, nullptr, reinterpret_cast<IKVOString**>(out.Slot()));
    }
    return text;
}

KVO::String CommentPopup::TitleLine(const KVO::String& title)
{
    std::u16string line = u"t = ";
    line.append(title.View().substr(0, kTitleChars - line.size()));
    return KVO::String(line.c_str(), static_cast<int>(line.size()));
}

void CommentPopup::Paint(owl::TDC& dc, bool, owl::TRect&)
{
    const KVO::String text = CommentText();
    HGDIOBJ oldFont = SelectObject(dc, *normalFont_);
    const COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    const COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_INFOBK));
    if (comment_) {
        const CommentDrawRecord record{0, (titleRect_.left + titleRect_.right) / 2, 3, titleRect_.bottom + 3, 0,
                                       0x08200000};
        comment_->Draw(dc, dc, &record, 0);
    }
    SelectObject(dc, *boldFont_);
    const UINT oldAlign = SetTextAlign(dc, TA_LEFT | TA_TOP);
    const KVO::String line = TitleLine(title_);
    TextOutW(dc, titleTextAt_.x, titleTextAt_.y, line.c_str(), line.Length());
    SelectObject(dc, *normalFont_);
    RECT into = textRect_;
    DrawTextW(dc, text.c_str(), text.Length(), &into, DT_WORDBREAK);
    SetTextAlign(dc, oldAlign);
    SetBkColor(dc, oldBack);
    SetTextColor(dc, oldText);
    SelectObject(dc, oldFont);
}
