#include "graph/mgraph1/graticule.h"

#include "graph/mgraph1/drawer.h"
#include "graph/mgraph1/pixelmath.h"

#include <vector>

namespace MGraph1 {
namespace {
platform::ComPtr<IScaleTickList> TickList(IScaleControl* control)
{
    platform::ComPtr<IScaleTickList> list;
    if (control) {
        control->QueryInterface(IID_IScaleTickList, list.OutVoid());
    }
    return list;
}

std::vector<ScaleTick> Ticks(IScaleTickList* list)
{
    LONG count = 0;
    if (FAILED(list->GetTickCount(&count)) || count <= 0) {
        return {};
    }
    std::vector<ScaleTick> ticks(static_cast<std::size_t>(count));
    LONG filled = 0;
    if (FAILED(list->FillTicks(count, ticks.data(), &filled))) {
        return {};
    }
    ticks.resize(static_cast<std::size_t>(std::clamp<LONG>(filled, 0, count)));
    return ticks;
}

struct Spacing {
    double farthest = 0.0;
    double step = 0.0;
};

bool GetSpacing(IScaleControl* control, Spacing& out)
{
    LONG lines = 0;
    if (FAILED(control->GetGridSpacing(&lines, &out.farthest, &out.step))) {
        return false;
    }
    // The step must lead back towards 0 and the grid must stay drawable.
    return out.step < 0 && IsFinite(out.farthest) && IsFinite(out.step) &&
           !(out.farthest / -out.step > GraphGraticule::kMaxLines);
}
}

GraphGraticule::GraphGraticule(const GraphDisplaySettings& settings, IScaleControl* horizontal,
                               IScaleControl* vertical)
    : settings(settings), horizontal_(horizontal), vertical_(vertical)
{
}

void GraphGraticule::SetControls(IScaleControl* horizontal, IScaleControl* vertical)
{
    horizontal_ = platform::ComPtr<IScaleControl>(horizontal);
    vertical_ = platform::ComPtr<IScaleControl>(vertical);
}

bool GraphGraticule::ClipMisses(const RECT* clip) const
{
    return clip && (clip->right <= rect.left || clip->left >= rect.right || clip->bottom <= rect.top ||
                    clip->top >= rect.bottom);
}

void GraphGraticule::Draw(HDC dc, void*, const RECT* clip)
{
    const platform::ComPtr<IScaleTickList> h = TickList(horizontal_.Get());
    const platform::ComPtr<IScaleTickList> v = TickList(vertical_.Get());
    if (!h || !v) {
        DrawBySpacing(dc, clip);
        return;
    }
    RECT hr{};
    RECT vr{};
    if (FAILED(h->GetRect(&hr.left, &hr.top, &hr.right, &hr.bottom)) ||
        FAILED(v->GetRect(&vr.left, &vr.top, &vr.right, &vr.bottom)) || hr.right - hr.left < 2 ||
        vr.bottom - vr.top < 2) {
        return;
    }
    const std::vector<ScaleTick> hTicks = Ticks(h.Get());
    const std::vector<ScaleTick> vTicks = Ticks(v.Get());
    if (!hTicks.empty() && !vTicks.empty()) {
        DrawByTicks(dc, clip, hTicks, vTicks);
    } else {
        DrawBySpacing(dc, clip);
    }
}

void GraphGraticule::DrawByTicks(HDC dc, const RECT* clip, const std::vector<ScaleTick>& h,
                                 const std::vector<ScaleTick>& v)
{
    if (ClipMisses(clip)) {
        return;
    }
    auto column = [&](const ScaleTick& t) { return static_cast<long long>(rect.left) + t.offset; };
    auto row = [&](const ScaleTick& t) { return static_cast<long long>(rect.top) + t.offset; };
    if (settings.dots) {
        for (const ScaleTick& ht : h) {
            const long long x = column(ht);
            if (x < rect.left || x >= rect.right) {
                continue;
            }
            for (const ScaleTick& vt : v) {
                const long long y = row(vt);
                if (y >= rect.top && y < rect.bottom) {
                    SetPixel(dc, static_cast<int>(x), static_cast<int>(y), settings.gridColour);
                }
            }
        }
        return;
    }
    const SelectScope pen(dc, CreatePen(PS_DOT, 0, settings.gridColour), true);
    for (const ScaleTick& ht : h) {
        const long long x = column(ht);
        if (x >= rect.left && x < rect.right) {
            DrawLine(dc, static_cast<int>(x), rect.top, static_cast<int>(x), rect.bottom);
        }
    }
    for (const ScaleTick& vt : v) {
        const long long y = row(vt);
        if (y >= rect.top && y < rect.bottom) {
            DrawLine(dc, rect.left, static_cast<int>(y), rect.right, static_cast<int>(y));
        }
    }
}

void GraphGraticule::DrawBySpacing(HDC dc, const RECT* clip)
{
    if (ClipMisses(clip) || !horizontal_ || !vertical_) {
        return;
    }
    Spacing h;
    Spacing v;
    if (!GetSpacing(horizontal_.Get(), h) || !GetSpacing(vertical_.Get(), v)) {
        return;
    }
    if (settings.dots) {
        if (h.farthest < 0) {
            return;
        }
        for (double ox = h.farthest; ox >= 0; ox += h.step) {
            const int x = SaturateTrunc(rect.left + ox);
            if (x > rect.right) {
                continue;
            }
            for (double oy = v.farthest; oy >= 0; oy += v.step) {
                SetPixel(dc, x, SaturateTrunc(rect.top + oy), settings.gridColour);
            }
        }
        return;
    }
    const SelectScope pen(dc, CreatePen(PS_DOT, 0, settings.gridColour), true);
    for (double ox = h.farthest; ox >= 0; ox += h.step) {
        const int x = SaturateTrunc(rect.left + ox);
        if (x <= rect.right) {
            DrawLine(dc, x, rect.top, x, rect.bottom);
        }
    }
    for (double oy = v.farthest; oy >= 0; oy += v.step) {
        const int y = SaturateTrunc(rect.top + oy);
        if (y <= rect.bottom) {
            DrawLine(dc, rect.left, y, rect.right, y);
        }
    }
}

} // namespace MGraph1
