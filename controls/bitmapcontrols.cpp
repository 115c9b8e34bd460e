#include "controls/bitmapcontrols.h"

#include "foundation/moduleinstance.h"

#include <algorithm>

namespace KVOControls {
namespace {
bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0; }

owl::tstring Trim(const owl::tstring& text)
{
    const auto first = std::find_if_not(text.begin(), text.end(), IsSpace);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), IsSpace).base();
    return first < last ? owl::tstring(first, last) : owl::tstring();
}

// Draws a bitmap with the colour of its top-left pixel transparent; a plain copy when that cannot be done.
void DrawKeyed(HDC target, HBITMAP picture, int x, int y)
{
    BITMAP info{};
    if (!GetObjectW(picture, sizeof info, &info)) {
        return;
    }
    HDC memory = CreateCompatibleDC(target);
    HGDIOBJ old = SelectObject(memory, picture);
    const COLORREF key = GetPixel(memory, 0, 0);
    if (!TransparentBlt(target, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, info.bmWidth, info.bmHeight, key)) {
        BitBlt(target, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    }
    SelectObject(memory, old);
    DeleteDC(memory);
}
}

TBitmapGroupBox::TBitmapGroupBox(owl::TWindow* parent, int resourceId, int bitmapResourceId, owl::TModule* module)
    : TGroupBox(parent, resourceId, module)
{
    if (HBITMAP loaded = LoadBitmapW(KVO::ModuleInstance(), MAKEINTRESOURCEW(bitmapResourceId))) {
        bitmap = std::make_unique<owl::TBitmap>(loaded, owl::AutoDelete);
    }
}

owl::tstring TBitmapGroupBox::TrimmedCaption() const { return Trim(GetWindowText()); }

void TBitmapGroupBox::SetupWindow()
{
    TWindow::SetupWindow();
    padCount = 0;
    if (bitmap) {
        owl::TClientDC dc(GetHandle());
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
        const int needed = bitmap->Width() + 3;
        owl::tstring spaces;
        // A space narrower than a pixel would never make room: at most one space per pixel.
        while (dc.GetTextExtent(spaces).cx < needed && spaces.size() < static_cast<std::size_t>(needed)) {
            spaces.push_back(u' ');
        }
        padCount = static_cast<int>(spaces.size());
        SelectObject(dc, old);
    }
    const owl::tstring caption = TrimmedCaption();
    if (caption.empty() && !bitmap) {
        return;
    }
    const owl::tstring pad(static_cast<std::size_t>(padCount), u' ');
    SetWindowText((bitmapAfterText ? caption + pad : pad + caption).c_str());
}

owl::TPoint TBitmapGroupBox::PicturePosition()
{
    const owl::tstring caption = TrimmedCaption();
    if (caption.empty() || !bitmap) {
        return owl::TPoint(9, 1);
    }
    owl::TClientDC dc(GetHandle());
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
    const owl::TSize extent = dc.GetTextExtent(caption);
    SelectObject(dc, old);
    return owl::TPoint(extent.cx + (bitmapAfterText ? 12 : 9), extent.cy / 2 - bitmap->Height() / 2 + 1);
}

void TBitmapGroupBox::EvPaint()
{
    DefaultProcessing();
    if (!bitmap) {
        return;
    }
    const owl::TPoint at = PicturePosition();
    owl::TClientDC dc(GetHandle());
    DrawKeyed(dc, *bitmap, at.x, at.y);
}

BitmapWindow::BitmapWindow(owl::TWindow* parent, owl::TBitmap* owned, owl::TModule* module)
    : TStatic(parent, ControlId, 0, module), bitmap(owned)
{
}

void BitmapWindow::SetupWindow()
{
    TStatic::SetupWindow();
    ModifyStyle(0, SS_NOTIFY);
    clientRect = GetClientRect();
}

void BitmapWindow::EvPaint()
{
    owl::TPaintDC dc(GetHandle());
    const owl::TRect paint(dc.Ps.rcPaint);
    dc.FillRect(paint, owl::TBrush(GetSysColorBrush(COLOR_3DFACE)));
    if (!bitmap) {
        return;
    }
    owl::TMemoryDC memory(dc);
    memory.SelectObject(*bitmap);
    const COLORREF key = memory.GetPixel(0, 0);
    if (!TransparentBlt(dc, paint.left, paint.top, paint.Width(), paint.Height(), memory, 0, 0, clientRect.Width(),
                        clientRect.Height(), key)) {
        dc.BitBlt(0, 0, bitmap->Width(), bitmap->Height(), memory, 0, 0);
    }
    memory.RestoreBitmap();
}
}
