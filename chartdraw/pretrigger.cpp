#include "chartdraw/pretrigger.h"

#include <algorithm>
#include <cmath>

namespace ChartDraw {

// Black hatch pixels take the brush colour, white ones leave the target as it is.
inline constexpr DWORD kStencilRop = 0x00B8074A;

HDC DrawPreTriggerBackground::SharedDc()
{
    // Created once; it lives as long as the module (a later hatch never replaces it under another's feet).
    static HDC shared = [] {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        ReleaseDC(nullptr, screen);
        return dc;
    }();
    return shared;
}

DrawPreTriggerBackground::DrawPreTriggerBackground() { SharedDc(); }

DrawPreTriggerBackground::~DrawPreTriggerBackground()
{
    if (hatch_) {
        DeleteObject(hatch_);
    }
}

void DrawPreTriggerBackground::Build(int, int height)
{
    if (height == height_ && hatch_) {
        return;
    }
    if (hatch_) {
        DeleteObject(hatch_);
        hatch_ = nullptr;
    }
    height_ = height;
    if (height <= 0) {
        hatchWidth_ = 0;
        return;
    }
    hatchWidth_ = ((height - 1) / kStripeSpacing + 1) * kStripeSpacing;
    hatch_ = CreateBitmap(hatchWidth_, height, 1, 1, nullptr);
    HDC dc = SharedDc();
    HGDIOBJ previous = SelectObject(dc, hatch_);
    const RECT all{0, 0, hatchWidth_, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HPEN pen = CreatePen(PS_SOLID, 8, RGB(0, 0, 0));
    HGDIOBJ previousPen = SelectObject(dc, pen);
    const double slant = std::cos(1.1693705988362009);
    for (int x = 0; x < hatchWidth_ + height; x += kStripeSpacing) {
        MoveToEx(dc, x, 0, nullptr);
        LineTo(dc, -1, static_cast<int>(std::trunc(x / slant)) + 1);
    }
    SelectObject(dc, previousPen);
    DeleteObject(pen);
    SelectObject(dc, previous);
}

int DrawPreTriggerBackground::Draw(HDC dc, std::int64_t tick, int fromX, int toX)
{
    if (!hatch_) {
        return 0;
    }
    if (toX - fromX <= 0 || height_ == 0) {
        return 1;
    }
    int phase = static_cast<int>(tick % hatchWidth_);
    if (phase < 0) {
        phase += hatchWidth_;
    }
    HDC memory = SharedDc();
    HGDIOBJ previous = SelectObject(memory, hatch_);
    HBRUSH brush = CreateSolidBrush(GetNearestColor(dc, RGB(255, 239, 210)));
    HGDIOBJ previousBrush = SelectObject(dc, brush);
    const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF back = SetBkColor(dc, RGB(255, 255, 255));
    for (int x = fromX; x < toX;) {
        const int chunk = std::min(toX - x, hatchWidth_ - phase);
        BitBlt(dc, x, 0, chunk, height_, memory, phase, 0, kStencilRop);
        x += chunk;
        phase = (phase + chunk) % hatchWidth_;
    }
    SetTextColor(dc, text);
    SetBkColor(dc, back);
    SelectObject(dc, previousBrush);
    DeleteObject(brush);
    SelectObject(memory, previous);
    return 0;
}

HRESULT DrawPrintableBase::SetPrintTarget(DWORD target)
{
    target_ = target;
    return S_OK;
}

HRESULT DrawPrintableBase::ClearPrintTarget()
{
    target_ = 0;
    return S_OK;
}

HRESULT DrawPrintableBase::IsPrinting(WORD* flag)
{
    if (flag) {
        *flag = target_ ? 0xFFFF : 0;
    }
    return target_ ? S_OK : S_FALSE;
}

} // namespace ChartDraw
