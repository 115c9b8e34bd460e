#include "chartdraw/childpane.h"

#include "foundation/xkvo.h"
#include "platform/win/errors.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ChartDraw {
namespace {

bool EmptyRect(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    return r;
}

// Selects a GDI object for one drawing step and puts the previous one back.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ScopedSelect() { SelectObject(dc_, previous_); }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

bool RectVisible(HDC dc, const RECT& r)
{
    RECT box{};
    return GetClipBox(dc, &box) != NULLREGION && !EmptyRect(Intersect(box, r));
}

int LayerOf(DWORD kind) { return kind < 2048 ? static_cast<int>(kind / 256) : -1; }

} // namespace

PaneLayer::Bitmap::Bitmap(int width, int height)
{
    HDC screen = GetDC(nullptr);
    dc = CreateCompatibleDC(screen);
    bitmap = CreateCompatibleBitmap(screen, std::max(width, 1), std::max(height, 1));
    ReleaseDC(nullptr, screen);
    previous = SelectObject(dc, bitmap);
    size = SIZE{width, height};
}

PaneLayer::Bitmap::~Bitmap()
{
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

void PaneLayer::WidenPending(LONG x0, LONG x1)
{
    if (pending.left == pending.right) {
        pending.left = x0;
        pending.right = x1;
    } else {
        pending.left = std::min(pending.left, x0);
        pending.right = std::max(pending.right, x1);
    }
}

bool ChildPaneBase::IsVisibleIn(HDC dc) const { return RectVisible(dc, rect); }

bool ChildPaneBase::HasPendingLayer() const
{
    return std::any_of(layers_.begin(), layers_.end(), [](const PaneLayer& l) { return !EmptyRect(l.pending); });
}

bool PaneLayer::IsPending() const { return (flags & kPending) && !EmptyRect(pending); }

ChildPaneBase::ChildPaneBase(LONG index, ChildPaneOwner* owner) : owner_(owner) { paneIndex = index; }

ChildPaneBase::ChildPaneBase(const ChildPaneBase& other)
    : SimpleUnknownImp1(other), ChildPaneBaseInit(other), owner_(other.owner_)
{
    drawn = other.drawn ? 0xFFFFFFFF : 0;
    for (IChartRecordDrawer* drawer : other.drawers_) {
        if (!drawer) {
            continue;
        }
        IChartRecordDrawer* copy = nullptr;
        if (drawer->Clone(0, &copy) == S_OK && copy) {
            AddDrawer(0, copy, 255);
            copy->Release();
        }
    }
}

ChildPaneBase::~ChildPaneBase() = default;

void ChildPaneBase::RecomputeRanges()
{
    for (PaneLayer& layer : layers_) {
        layer.first = layer.end = -1;
    }
    for (std::uint32_t i = 0; i < drawers_.Count(); ++i) {
        DWORD kind = 0;
        drawers_[i]->GetKind(&kind);
        const int index = LayerOf(kind);
        if (index < 0) {
            continue; // kept in the array, drawn by no layer
        }
        PaneLayer& layer = layers_[index];
        if (layer.first == -1) {
            layer.first = static_cast<LONG>(i);
        }
        layer.end = static_cast<LONG>(i) + 1;
    }
}

HRESULT ChildPaneBase::AddDrawer(DWORD flags, IChartRecordDrawer* drawer, BYTE alpha)
{
    if (!drawer) {
        return E_INVALIDARG;
    }
    drawer->SetDrawerServices(owner_ ? owner_->DrawerServices() : nullptr);
    drawer->SetPaneIndex(0, paneIndex);
    drawer->SetRect(static_cast<LONG>(identifier), &rect);
    drawer->AddRef();
    drawers_.Add(drawer);
    // Stable sort by kind code over the raw entries (the array keeps its references).
    std::vector<std::pair<DWORD, IChartRecordDrawer*>> sorted;
    sorted.reserve(drawers_.Count());
    for (IChartRecordDrawer* d : drawers_) {
        DWORD kind = 0;
        d->GetKind(&kind);
        sorted.emplace_back(kind, d);
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::uint32_t i = 0; i < sorted.size(); ++i) {
        *drawers_.ElementAtGrow(i) = static_cast<IUnknown*>(sorted[i].second);
    }
    DWORD kind = 0;
    drawer->GetKind(&kind);
    const int index = LayerOf(kind);
    if ((flags & 0x80000000u) && index >= 0 && owner_ && owner_->KeepsLayerBitmaps()) {
        PaneLayer& layer = layers_[index];
        layer.flags = (layer.flags | PaneLayer::kOwnBitmap | PaneLayer::kPending) & ~PaneLayer::kDrawn;
        layer.alpha = alpha;
        if (alpha != 255) {
            layer.flags &= ~PaneLayer::kWhiteTransparent;
        }
        if (flags & PaneLayer::kBlendOnly) {
            layer.flags |= PaneLayer::kBlendOnly;
        }
    }
    RecomputeRanges();
    overhangStale = true;
    return S_OK;
}

HRESULT ChildPaneBase::RemoveDrawers(DWORD mask, LONG channel, DWORD selector)
{
    const bool allLanes = channel == kNoAlternateChannel && selector == kNoAlternateSelector;
    if (mask == 0 && allLanes) {
        drawers_.RemoveAll();
    } else {
        for (std::uint32_t i = drawers_.Count(); i-- > 0;) {
            IChartRecordDrawer* drawer = drawers_[i];
            bool byMask = mask == 0;
            if (!byMask) {
                DWORD flags = 0;
                LONG a = 0;
                LONG b = 0;
                drawer->GetCapabilities(0, &flags, &a, &b, 0);
                byMask = (flags & mask) != 0;
            }
            bool byLane = allLanes;
            if (!byLane) {
                LONG pair[2]{};
                drawer->GetEffectiveChannel(pair);
                byLane = pair[0] == channel && static_cast<DWORD>(pair[1]) == selector;
            }
            if (byMask && byLane) {
                drawers_.RemoveAt(i);
            }
        }
    }
    RecomputeRanges();
    return S_OK;
}

void ChildPaneBase::SetLayerArea(DWORD kind, const RECT& area)
{
    const int index = LayerOf(kind);
    if (index >= 0) {
        layers_[index].blendArea = std::make_unique<RECT>(area);
    }
}

HRESULT ChildPaneBase::ApplyChannelSettings(IUnknown* settings, IUnknown* displaySettings, LONG channel)
{
    return Forward(&IChartRecordDrawer::ApplyChannelSettings, settings, displaySettings, channel);
}

HRESULT ChildPaneBase::OnNewBlock(DWORD argument)
{
    return Forward(&IChartRecordDrawer::OnNewBlock, argument);
}

HRESULT ChildPaneBase::OnLayoutChanged(LONG argument)
{
    if (owner_ && owner_->IsLive()) {
        owner_->InvalidatePaneRect(rect);
    }
    for (IChartRecordDrawer* d : drawers_) {
        d->OnLayoutChanged(argument);
    }
    return S_OK;
}

HRESULT ChildPaneBase::OnSamplingStart(DWORD argument, bool flag)
{
    return Forward(&IChartRecordDrawer::OnSamplingStart, argument, flag ? 0xFFFF : 0);
}

HRESULT ChildPaneBase::OnSamplingStop(LONG a, LONG b)
{
    return Forward(&IChartRecordDrawer::OnSamplingStop, a, b);
}

HRESULT ChildPaneBase::Notify17(LONG a)
{
    return Forward(&IChartRecordDrawer::Notify17, a);
}

HRESULT ChildPaneBase::Notify18(LONG a, LONG b)
{
    return Forward(&IChartRecordDrawer::Notify18, a, b);
}

HRESULT ChildPaneBase::Notify28(LONG a)
{
    return Forward(&IChartRecordDrawer::Notify28, a);
}

HRESULT ChildPaneBase::OnBeginDrag(LONG) { return E_NOTIMPL; }
HRESULT ChildPaneBase::OnEndDrag(LONG) { return E_NOTIMPL; }
HRESULT ChildPaneBase::OnScalingChanged(LONG, LONG, const double*) { return E_NOTIMPL; }
HRESULT ChildPaneBase::OnAutoScale(LONG) { return E_NOTIMPL; }
HRESULT ChildPaneBase::GetDataRange(LONG, double*, WORD*) { return E_NOTIMPL; }

HRESULT ChildPaneBase::GetLaneScale1(LONG, IScaleControl** out) const
{
    if (out) {
        *out = nullptr;
    }
    return S_FALSE;
}

HRESULT ChildPaneBase::GetLaneScale2(LONG value, IScaleControl** out) const { return GetLaneScale1(value, out); }

COLORREF ChildPaneBase::ContrastColour(COLORREF colour, COLORREF background)
{
    if ((background & 0xFFFFFF) != 0) {
        return colour;
    }
    const int sum = GetRValue(colour) + GetGValue(colour) + GetBValue(colour);
    const float a = std::trunc((static_cast<float>(765 - 2 * sum) / 255.0f / 3.0f) * 255.0f);
    auto channel = [a](int c) { return static_cast<BYTE>(std::clamp(static_cast<int>(c + a), 0, 255)); };
    return RGB(channel(GetRValue(colour)), channel(GetGValue(colour)), channel(GetBValue(colour)));
}

bool ChildPaneBase::HitTest(POINT p) const
{
    return p.x >= rect.left && p.x < rect.right && p.y >= rect.top && p.y < rect.bottom;
}

void ChildPaneBase::Invalidate(LONG x0, LONG x1, int firstLayer, int endLayer, bool whole)
{
    int start = firstLayer;
    auto widen = [&](PaneLayer& layer) {
        if (x0 != x1) {
            layer.WidenPending(x0, x1);
        }
        layer.pending.top = layerSet_.top;
        layer.pending.bottom = layerSet_.bottom;
    };
    if (whole || firstLayer < 0 || firstLayer >= kLayers) {
        widen(layers_[0]);
        layers_[0].Mark();
        start = 1;
    }
    for (int i = std::max(start, 0); i < kLayers; ++i) {
        widen(layers_[i]);
        if (i >= firstLayer && i < endLayer) {
            layers_[i].Mark();
        }
    }
}

void ChildPaneBase::InvalidateAll()
{
    for (PaneLayer& layer : layers_) {
        layer.pending = layerSet_;
        layer.Mark();
    }
}

void ChildPaneBase::ClearPending()
{
    for (PaneLayer& layer : layers_) {
        layer.Validate();
    }
}

void ChildPaneBase::Resize(const RECT& r)
{
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    for (PaneLayer& layer : layers_) {
        if (!(layer.flags & PaneLayer::kOwnBitmap)) {
            layer.bitmap.reset();
            continue;
        }
        if (!layer.bitmap || layer.bitmap->size.cx != width || layer.bitmap->size.cy != height) {
            layer.bitmap = std::make_shared<PaneLayer::Bitmap>(width, height);
        }
        SetViewportOrgEx(layer.bitmap->dc, -r.left, 0, nullptr);
    }
    layerSet_ = r;
}

bool ChildPaneBase::HasBlendedLayer() const
{
    return std::any_of(layers_.begin(), layers_.end(), [](const PaneLayer& l) {
        return (l.flags & PaneLayer::kBlendOnly) && l.alpha != 255 && l.blendArea && !EmptyRect(*l.blendArea);
    });
}

RECT ChildPaneBase::PendingBounds() const
{
    RECT bounds{};
    for (const PaneLayer& layer : layers_) {
        UnionRect(&bounds, &bounds, &layer.pending);
    }
    return bounds;
}

void ChildPaneBase::ScrollLayers(LONG d, bool copy)
{
    const RECT& s = layerSet_;
    const LONG w = s.right - s.left;
    const LONG h = s.bottom - s.top;
    auto limit = [&](LONG& edge) { edge = d > 0 ? std::min(edge, s.right) : std::max(edge, s.left); };
    for (PaneLayer& layer : layers_) {
        if (!layer.HasDrawers()) {
            continue;
        }
        if (copy && layer.alpha == 255 && layer.bitmap && d != 0 && std::abs(d) < w) {
            POINT previous{};
            SetViewportOrgEx(layer.bitmap->dc, 0, 0, &previous);
            if (d > 0) {
                BitBlt(layer.bitmap->dc, d, 0, w - d, h, layer.bitmap->dc, 0, 0, SRCCOPY);
            } else {
                BitBlt(layer.bitmap->dc, 0, 0, w + d, h, layer.bitmap->dc, -d, 0, SRCCOPY);
            }
            SetViewportOrgEx(layer.bitmap->dc, previous.x, previous.y, nullptr);
        }
        if (layer.pending.right - layer.pending.left != 0) {
            layer.pending.left += d;
            layer.pending.right += d;
            limit(layer.pending.left);
            limit(layer.pending.right);
        }
        if (layer.alpha != 255 && layer.blendArea) {
            layer.blendArea->left += d;
            layer.blendArea->right += d;
            limit(layer.blendArea->left);
            limit(layer.blendArea->right);
        }
        const LONG bandLeft = d > 0 ? s.left : std::max(s.left, s.right + d);
        const LONG bandRight = d > 0 ? std::min(s.right, s.left + d) : s.right;
        if (bandRight > bandLeft) {
            layer.WidenPending(bandLeft, bandRight);
            layer.pending.top = s.top;
            layer.pending.bottom = s.bottom;
        }
        if (layer.flags & PaneLayer::kOwnBitmap) {
            layer.Mark();
        }
    }
}

void ChildPaneBase::ScrollBy(LONG amount, bool inBitmaps)
{
    if (amount == 0 || !owner_) {
        return;
    }
    if (inBitmaps) {
        ScrollLayers(amount, !owner_->JumpMode());
        owner_->PerformPendingFullInvalidation();
        owner_->InvalidatePaneRect(rect);
    } else {
        owner_->ScrollPaneRect(rect, amount);
    }
}

void ChildPaneBase::ScrollOrRedraw(LONG amount, LONG x)
{
    if (!owner_) {
        return;
    }
    if (owner_->KeepsLayerBitmaps()) {
        if (x > rect.left) {
            ScrollBy(amount, true);
        } else {
            InvalidateAll();
            owner_->PerformPendingFullInvalidation();
            owner_->InvalidatePaneRect(rect);
        }
        return;
    }
    if (x <= rect.left) {
        owner_->InvalidatePaneRect(rect);
        return;
    }
    if (amount != 0) {
        owner_->ScrollPaneRect(rect, amount);
    }
    owner_->InvalidatePaneRect(RECT{x, rect.top, rect.right, rect.bottom});
}

void ChildPaneBase::InvalidateSpan(LONG x0, LONG x1)
{
    if (!owner_) {
        return;
    }
    owner_->InvalidatePaneRect(RECT{x0, rect.top, x1, rect.bottom});
    Invalidate(x0, x1, 5, 6, true);
    owner_->PerformPendingFullInvalidation();
}

HRESULT ChildPaneBase::OnDataArrived(LONGLONG start, LONGLONG count, LONGLONG* newest)
{
    LONGLONG end = start + count;
    const LONGLONG limit = owner_ ? owner_->TimeBaseLimit().value_or(0) : 0;
    for (IChartRecordDrawer* d : drawers_) {
        LONGLONG answer = 0;
        if (d->GetLatestTick(0, 0, start, count, &answer) != S_OK) {
            continue;
        }
        if (newest) {
            *newest = std::max(*newest, answer);
        }
        if (answer < end) {
            end = answer;
            if (answer < limit) {
                DWORD flags = 0;
                LONG a = 0;
                LONG b = 0;
                d->GetCapabilities(0, &flags, &a, &b, 0);
                end = std::min(end, limit - b);
            }
        }
    }
    if (!owner_) {
        return S_OK;
    }
    const double x = owner_->TickToX(end);
    if (x < rect.right) {
        Invalidate(static_cast<LONG>(std::floor(x)), rect.right, 2, 4, true);
    }
    if ((owner_->JumpMode() && count != 0) || !owner_->KeepsLayerBitmaps()) {
        ScrollOrRedraw(0, static_cast<LONG>(x));
    } else {
        owner_->InvalidatePaneRect(rect);
    }
    return S_OK;
}

void ChildPaneBase::MeasureOverhangs()
{
    leftOverhang = rightOverhang = 0;
    for (IChartRecordDrawer* d : drawers_) {
        DWORD kind = 0;
        d->GetKind(&kind);
        if (kind >= 2048) {
            continue;
        }
        DWORD flags = 0;
        LONG a = 0;
        LONG b = 0;
        d->GetCapabilities(0, &flags, &a, &b, 0);
        leftOverhang = std::max(leftOverhang, a);
        rightOverhang = std::max(rightOverhang, b);
    }
}

void ChildPaneBase::ComputeUpdateSpan(const RECT* region, DWORD flags, LONG* x0, LONG* x1, bool refresh)
{
    RECT span = rect;
    if (!(flags & (1u << 24))) {
        if (flags & (1u << 26)) {
            span = PendingBounds();
        } else {
            if (region) {
                span = Intersect(rect, *region);
            }
            Invalidate(span.left, span.right, 0, kLayers, false);
        }
    }
    if (overhangStale) {
        MeasureOverhangs();
        if (refresh) {
            overhangStale = false;
        }
    }
    if (x0) {
        *x0 = span.left - leftOverhang;
    }
    if (x1) {
        *x1 = span.right + rightOverhang;
    }
}

HRESULT ChildPaneBase::SetPlacement(DWORD id, const LONG pair[2], const RECT& r)
{
    identifier = id;
    if (pair) {
        placement[0] = pair[0];
        placement[1] = pair[1];
    }
    PaneLayer& background = layers_[0];
    background.flags &= ~PaneLayer::kWhiteTransparent;
    if (owner_ && owner_->KeepsLayerBitmaps()) {
        background.flags = (background.flags | PaneLayer::kOwnBitmap | PaneLayer::kPending) & ~PaneLayer::kDrawn;
    } else {
        background.flags &= ~PaneLayer::kOwnBitmap;
    }
    rect = r;
    Resize(r);
    InvalidateAll();
    if (owner_) {
        owner_->PerformPendingFullInvalidation();
        owner_->InvalidatePaneRect(rect);
    }
    return S_OK;
}

void ChildPaneBase::DrawLayerDrawers(HDC target, int index, const RECT& drawRect, const TickMapping& ticks,
                                     DWORD drawFlags, LONG context1, LONG context2)
{
    const PaneLayer& layer = layers_[index];
    const LONG height = rect.bottom - rect.top;
    if (drawFlags & (1u << 19)) {
        HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        const RECT fill{drawRect.left, 0, drawRect.right, height};
        FillRect(target, &fill, white);
    }
    owl::TDC dc(target);
    const LONG last = std::min<LONG>(layer.end, static_cast<LONG>(drawers_.Count()));
    for (LONG i = std::max<LONG>(layer.first, 0); i < last; ++i) {
        IChartRecordDrawer* drawer = drawers_[static_cast<std::uint32_t>(i)];
        DWORD flags = 0;
        LONG left = 0;
        LONG right = 0;
        drawer->GetCapabilities(0, &flags, &left, &right, 0);
        const bool emptyRect = drawRect.right <= drawRect.left;
        if (((drawFlags & (1u << 21)) && (flags & (1u << 30))) || ((flags & (1u << 29)) && emptyRect)) {
            continue;
        }
        const RECT widened{drawRect.left - left, drawRect.top, drawRect.right + right, drawRect.bottom};
        if (widened.right <= widened.left) {
            continue;
        }
        const LONGLONG from = ticks.originTick + static_cast<LONGLONG>(
                                                     std::floor((widened.left - ticks.originX) * ticks.ticksPerPixel));
        const LONGLONG to = ticks.originTick + static_cast<LONGLONG>(
                                                   std::ceil((widened.right - ticks.originX) * ticks.ticksPerPixel));
        const LONGLONG offset = from < 0 ? from : 0;
        drawer->Draw(dc, from, to, offset, ticks.record, widened.left, drawRect, drawFlags, ticks.divisions, context1);
        (void)context2;
    }
}

void ChildPaneBase::ComposeIntoLayer0(int index)
{
    PaneLayer& layer = layers_[index];
    PaneLayer& background = layers_[0];
    if (!layer.bitmap || !background.bitmap || index == 0) {
        return;
    }
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    const LONG sweep = owner_ ? owner_->SweepCursor() : width;
    const LONG shift = sweep == width || sweep <= 0 ? 0 : width - sweep;
    const LONG a = layer.pending.left - shift;
    const LONG b = layer.pending.right - shift;
    std::vector<std::pair<LONG, LONG>> parts;
    if (a < rect.left) {
        parts.emplace_back(std::max(a + width, rect.left), std::min(b + width, rect.right));
        parts.emplace_back(rect.left, std::min(b, rect.right));
    } else {
        parts.emplace_back(std::max(a, rect.left), std::min(b, rect.right));
    }
    for (const auto& [x0, x1] : parts) {
        if (x1 <= x0) {
            continue;
        }
        if (layer.flags & PaneLayer::kWhiteTransparent) {
            if (!TransparentBlt(background.bitmap->dc, x0, 0, x1 - x0, height, layer.bitmap->dc, x0, 0, x1 - x0,
                                height, RGB(255, 255, 255))) {
                throw XKVO(static_cast<HRESULT>(0x80070000u | (GetLastError() & 0xFFFF)));
            }
        } else if (background.alpha == 255) {
            BitBlt(background.bitmap->dc, x0, 0, x1 - x0, height, layer.bitmap->dc, x0, 0, SRCCOPY);
        }
    }
}

HRESULT ChildPaneBase::DrawLayers(HDC dc, const TickMapping& ticks, const RECT* clip, DWORD drawFlags,
                                  LONG context1, LONG context2, int firstLayer, int lastLayer)
{
    const LONG height = rect.bottom - rect.top;
    if (height < 1 || (dc && !RectVisible(dc, rect))) {
        return S_OK;
    }
    HDC redirect = nullptr;
    if (layers_[0].bitmap && (drawFlags & (1u << 26))) {
        redirect = layers_[0].bitmap->dc;
    }
    const RECT clipRect = clip ? *clip : rect;
    for (int index = std::max(firstLayer, 0); index < std::min(lastLayer + 1, kLayers); ++index) {
        PaneLayer& layer = layers_[index];
        if (!layer.HasDrawers() || layer.pending.left == layer.pending.right) {
            layer.Validate();
            continue;
        }
        const bool own = (layer.flags & PaneLayer::kOwnBitmap) && layer.bitmap;
        if (!own || ((layer.flags & PaneLayer::kPending) && !EmptyRect(layer.pending))) {
            HDC target = own ? layer.bitmap->dc : redirect ? redirect : dc;
            DWORD flags = drawFlags & ~(1u << 19);
            if (own && (layer.flags & PaneLayer::kWhiteTransparent) && !(drawFlags & (1u << 28))) {
                flags |= 1u << 19;
            }
            RECT drawRect = Intersect(layer.pending, clipRect);
            if (drawRect.right <= drawRect.left) {
                drawRect.left = drawRect.right = clipRect.left >= layer.pending.right ? layer.pending.right
                                                                                       : layer.pending.left;
            }
            drawRect.top = 0;
            drawRect.bottom = height;
            if (target) {
                // Layer bitmaps are pane-sized with y 0 at the pane top; the window's DC needs the pane's offset.
                const LONG top = target == dc ? rect.top : 0;
                const bool clipToRect = !(paneIndex < 0 && owner_ && owner_->NoControlsMode());
                auto drawSegment = [&](const RECT& segment, const TickMapping& mapping) {
                    const int saved = SaveDC(target);
                    POINT origin{};
                    GetWindowOrgEx(target, &origin);
                    SetWindowOrgEx(target, origin.x, origin.y - top, nullptr);
                    if (clipToRect) {
                        IntersectClipRect(target, segment.left, 0, segment.right, height);
                    }
                    DrawLayerDrawers(target, index, segment, mapping, flags, context1, context2);
                    RestoreDC(target, saved);
                };
                const bool redirected = !own && redirect && target == redirect;
                if (redirected && owner_ && owner_->JumpMode()) {
                    // Sweep display: the stretch is drawn shifted left by W - G; what falls left of the pane wraps
                    // round to its right part.
                    const LONG w = rect.right - rect.left;
                    const LONG shift = w - owner_->SweepCursor();
                    TickMapping shifted = ticks;
                    shifted.originX -= shift;
                    RECT moved{drawRect.left - shift, 0, drawRect.right - shift, height};
                    if (moved.left < rect.left) {
                        TickMapping wrapped = shifted;
                        wrapped.originX += w;
                        const RECT right{moved.left + w, 0, std::min(moved.right + w, rect.right), height};
                        if (right.right > right.left) {
                            drawSegment(right, wrapped);
                        }
                        moved.left = rect.left;
                    }
                    if (moved.right > moved.left) {
                        drawSegment(moved, shifted);
                    }
                } else {
                    drawSegment(drawRect, ticks);
                }
            }
            layer.flags |= PaneLayer::kDrawn;
            drawn = 0xFFFFFFFF;
        }
        if (own && !(drawFlags & (1u << 20)) && !(layer.flags & PaneLayer::kBlendOnly) && index != 0) {
            try {
                ComposeIntoLayer0(index);
            } catch (const XKVO&) {
                // A failed composition is skipped; the layer stays pending and is composed on a later pass.
                continue;
            }
            layer.Validate();
        } else if (own && index == 0) {
            layer.Validate();
        } else if (!own) {
            layer.Validate();
        }
    }
    return S_OK;
}

void ChildPaneBase::Paint(HDC dc, int sweepX, bool showSweep)
{
    PaneLayer& background = layers_[0];
    if (background.IsPending() || !background.bitmap) {
        return;
    }
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0 || !RectVisible(dc, rect)) {
        return;
    }
    HDC source = background.bitmap->dc;
    POINT previous{};
    SetViewportOrgEx(source, 0, 0, &previous);
    if (showSweep && owner_) {
        HPEN pen = CreatePen(PS_SOLID, 1, owner_->ContrastColourFor(RGB(0, 0, 0)));
        {
            ScopedSelect select(source, pen);
            MoveToEx(source, sweepX, 0, nullptr);
            LineTo(source, sweepX, height);
        }
        DeleteObject(pen);
    }
    std::unique_ptr<PaneLayer::Bitmap> memory;
    if (HasBlendedLayer()) {
        memory = std::make_unique<PaneLayer::Bitmap>(width, height);
        BitBlt(memory->dc, 0, 0, width, height, source, 0, 0, SRCCOPY);
        POINT origin{};
        SetWindowOrgEx(memory->dc, rect.left, 0, &origin);
        const PaneLayer& top = layers_[7];
        if (top.bitmap && top.blendArea && top.alpha < 255 && top.blendArea->right - top.blendArea->left >= 1 &&
            top.blendArea->bottom - top.blendArea->top >= 1) {
            const RECT area = Intersect(*top.blendArea, RECT{rect.left, 0, rect.right, height});
            if (!EmptyRect(area)) {
                POINT topOrigin{};
                SetViewportOrgEx(top.bitmap->dc, 0, 0, &topOrigin);
                const BLENDFUNCTION blend{AC_SRC_OVER, 0, top.alpha, 0};
                AlphaBlend(memory->dc, area.left, area.top, area.right - area.left, area.bottom - area.top,
                           top.bitmap->dc, area.left - rect.left, area.top, area.right - area.left,
                           area.bottom - area.top, blend);
                SetViewportOrgEx(top.bitmap->dc, topOrigin.x, topOrigin.y, nullptr);
            }
        }
        SetWindowOrgEx(memory->dc, origin.x, origin.y, nullptr);
        source = memory->dc;
    }
    BitBlt(dc, rect.left, rect.top, width, height, source, 0, 0, SRCCOPY);
    SetViewportOrgEx(background.bitmap->dc, previous.x, previous.y, nullptr);
}

void ChildPaneBase::DrawFrame(HDC dc)
{
    const LONG height = rect.bottom - rect.top;
    if (owner_ && owner_->NoControlsMode()) {
        if (height <= 0 || paneIndex < 0) {
            return;
        }
        const int width = static_cast<int>(std::trunc(owner_->PixelsPerMm(dc) * 0.3 + 0.5));
        const POINT margins = owner_->Margins();
        RECT r = rect;
        InflateRect(&r, margins.x, margins.y);
        if (!RectVisible(dc, r)) {
            return;
        }
        HPEN pen = CreatePen(PS_SOLID, width, RGB(0, 0, 0));
        {
            ScopedSelect select(dc, pen);
            MoveToEx(dc, r.left, r.top, nullptr);
            LineTo(dc, r.left, r.bottom);
            LineTo(dc, r.right, r.bottom);
        }
        DeleteObject(pen);
        return;
    }
    RECT r = rect;
    InflateRect(&r, 1, 1);
    if (height == 0) {
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    if (height > 0 && RectVisible(dc, r)) {
        static HBRUSH frame = CreateSolidBrush(RGB(195, 195, 195)); // made once per process
        FrameRect(dc, &r, frame);
    }
}

HRESULT ReadStateBytes(IStream* stream, void* into, ULONG size)
{
    if (!stream) {
        return E_POINTER;
    }
    ULONG got = 0;
    const HRESULT hr = stream->Read(into, size, &got);
    return FAILED(hr) ? hr : got == size ? S_OK : STG_E_READFAULT;
}

} // namespace ChartDraw
