#include "chartdraw/timescale.h"

#include "controls/gadgetwindows.h"
#include "foundation/dialogfont.h"
#include "foundation/xkvo.h"
#include "platform/owl/gdiobject.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace ChartDraw {
namespace {

constexpr const char16_t* kProbeText = u"10:00:00.0000 a.m.";
constexpr HRESULT kNewerSettings = static_cast<HRESULT>(0xA0048205);

SIZE TextSize(HDC dc, const std::u16string& text)
{
    SIZE size{};
    GetTextExtentPoint32W(dc, reinterpret_cast<LPCWSTR>(text.c_str()), static_cast<int>(text.size()), &size);
    return size;
}

// Python-style modulo: the result has the sign of the divisor.
int FloorMod(long long a, int b)
{
    const long long r = a % b;
    return static_cast<int>(r < 0 ? r + b : r);
}

} // namespace

TimeLabelDrawer::TimeLabelDrawer(TimeScale* scale)
    : DrawerBase(kKindGraticule, -1, 0xC0000000, kNoAlternateChannel, kNoAlternateSelector), scale_(scale)
{
    styleFlags = 0;
}

TimeLabelDrawer::TimeLabelDrawer(const TimeLabelDrawer& other)
    : DrawerBase(other), scale_(nullptr), state_(other.state_)
{
}

HRESULT TimeLabelDrawer::GetCapabilities(LONG, DWORD* flags, LONG* left, LONG* right, LONG)
{
    const LONG half = scale_ ? scale_->LabelWidth() / 2 : 0;
    if (flags) *flags = 0;
    if (left) *left = half;
    if (right) *right = half;
    return S_OK;
}

HRESULT TimeLabelDrawer::Clone(DWORD, IChartRecordDrawer** copy) { return CloneAs(*this, copy); }

HRESULT TimeLabelDrawer::Draw(owl::TDC& target, LONGLONG, LONGLONG, LONGLONG, LONG, LONG, const RECT& clip, DWORD,
                              const TimeDivisions*, LONG)
{
    HDC dc = target;
    written_.clear();
    blockNumberDrawn_ = 0;
    const LONG height = lane.bottom - lane.top;
    const LONG width = lane.right - lane.left;
    {
        const RECT area{clip.left, 0, clip.right, height};
        FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ChildPaneOwner* owner = scale_ ? scale_->Owner() : nullptr;
    TimeContext context;
    if (!owner || !owner->GetTimeContext(context)) {
        return S_OK;
    }
    state_.displayFormat = context.formatWord;
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int averageChar = std::max<int>(metrics.tmAveCharWidth, 1);
    const LabelSpacing spacing = LabelSpacing::Compute(averageChar, context.secondsPerPixel);
    if (!spacing.valid) {
        return S_OK; // no usable time scale: no labels
    }
    // The clock value of the first visible time.
    const double visibleSeconds =
        context.secondsAtOrigin + (clip.left - context.originX) * context.secondsPerPixel;
    ClockTime& clock = state_.next;
    clock.Init(context.formatWord, context.start, context.startOffset, context.origin, context.originOffset, false,
               visibleSeconds);
    const std::uint32_t textFlags = clock.textFlags | context.textFlags;
    const double firstVisible = clock.TotalSeconds();
    state_.minorPerMajor = spacing.minorPerMajor;
    state_.pixelsPerMinor = spacing.pixelsPerMinor;
    state_.majorPerLabel = 1;
    state_.secondsPerLabel = spacing.step;
    // Labels that would not fit between their neighbours are spread over more major ticks (twice at most).
    for (int attempt = 0; attempt < 2; ++attempt) {
        const double base = std::ceil(firstVisible / state_.secondsPerLabel) * state_.secondsPerLabel;
        ClockTime probe = clock;
        probe.SetSeconds(base);
        const std::size_t first = probe.Text(textFlags).size();
        probe.AddSeconds(state_.secondsPerLabel);
        const std::size_t second = probe.Text(textFlags).size();
        const double pixelsPerLabel = state_.minorPerMajor * state_.pixelsPerMinor * state_.majorPerLabel;
        if (pixelsPerLabel > (std::max(first, second) + 2.0) * averageChar) {
            break;
        }
        ++state_.majorPerLabel;
        state_.secondsPerLabel = state_.majorPerLabel * spacing.step;
    }
    state_.firstLabelTime = std::ceil(firstVisible / state_.secondsPerLabel) * state_.secondsPerLabel;
    if (!std::isfinite(state_.firstLabelTime)) {
        return S_OK;
    }
    const int ticksPerLabel = state_.minorPerMajor * state_.majorPerLabel;
    const double secondsPerTick = state_.secondsPerLabel / ticksPerLabel;
    const long long firstLabelTick =
        static_cast<long long>(std::floor((state_.firstLabelTime - firstVisible) / secondsPerTick + 0.5));
    const double tickOrigin = clip.left + (state_.firstLabelTime - firstVisible) / context.secondsPerPixel -
                              firstLabelTick * state_.pixelsPerMinor;
    // Start one label period before the first label, so that the ticks left of it are drawn too.
    const long long startTick = firstLabelTick - ticksPerLabel;
    clock.SetSeconds(state_.firstLabelTime - state_.secondsPerLabel);
    state_.labelCountdown = 0;

    const double deviceScale = owner->DeviceScale() > 0 ? owner->DeviceScale() : 1.0;
    const int majorLength = static_cast<int>(2 * deviceScale);
    const int minorLength = majorLength / 2;
    const int labelY = static_cast<int>(4 * deviceScale - 1);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HGDIOBJ previousPen = SelectObject(dc, pen);
    const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF back = SetBkColor(dc, RGB(255, 255, 255));
    LONG lastLabelRight = std::numeric_limits<LONG>::min();
    for (long long k = startTick;; ++k) {
        const LONG x = static_cast<LONG>(std::floor(k * state_.pixelsPerMinor + tickOrigin + 0.5));
        if (x >= clip.right) {
            break;
        }
        state_.nextTickX = x;
        const bool major = FloorMod(k - firstLabelTick, state_.minorPerMajor) == 0;
        const bool labelled = FloorMod(k - firstLabelTick, ticksPerLabel) == 0;
        if (labelled) {
            const std::u16string label = clock.Text(textFlags);
            clock.AddSeconds(state_.secondsPerLabel);
            const SIZE size = TextSize(dc, label);
            const LONG half = size.cx / 2;
            // Never left of the area, never over the previous label.
            if (x + half >= clip.left && x - half < clip.right && x - half >= 0 && x - half > lastLabelRight) {
                TextOutW(dc, x, labelY, reinterpret_cast<LPCWSTR>(label.c_str()), static_cast<int>(label.size()));
                written_.push_back(Written{x - half, size.cx, label});
                lastLabelRight = x - half + size.cx;
            }
        }
        if (x >= 0 && x < width) {
            MoveToEx(dc, x, 0, nullptr);
            LineTo(dc, x, major ? majorLength : minorLength);
        }
    }
    if (context.showBlockNumbers) {
        DrawBlockNumber(dc, context, clip, labelY);
    }
    SetTextColor(dc, text);
    SetBkColor(dc, back);
    SelectObject(dc, previousPen);
    DeleteObject(pen);
    return S_OK;
}

bool TimeLabelDrawer::ShowsBlockNumber(LONG number, double ratio)
{
    const LONG every = ratio >= 51 ? 1 : ratio >= 26 ? 2 : ratio >= 11 ? 5 : 100;
    return number % every == 0;
}

void TimeLabelDrawer::DrawBlockNumber(HDC dc, const TimeContext& context, const RECT& clip, int labelY)
{
    const LONG number = context.record + 1;
    const LONG x = context.recordStartX;
    if (!ShowsBlockNumber(number, context.blockSpacingRatio) || x < clip.left || x >= clip.right) {
        return;
    }
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<long>(number)).ptr;
    const std::u16string textOf(digits, end);
    HFONT font = CreateFontW(-MulDiv(8, 96, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, u"Arial");
    HGDIOBJ previousFont = SelectObject(dc, font);
    const SIZE size = TextSize(dc, textOf.size() == 1 ? u"4" : textOf);
    RECT box{x, labelY, x + size.cx, labelY + size.cy};
    // It must fit before the next label.
    const bool fits = std::none_of(written_.begin(), written_.end(), [&](const Written& label) {
        return label.x < box.right + 1 && label.x + label.width > box.left - 1;
    });
    if (fits) {
        InflateRect(&box, 1, 1);
        const COLORREF fill = RGB(30, 30, 108);
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(dc, &box, brush);
        DeleteObject(brush);
        const COLORREF previousText = SetTextColor(dc, RGB(255, 255, 255));
        const COLORREF previousBack = SetBkColor(dc, fill);
        const UINT align = SetTextAlign(dc, TA_LEFT | TA_TOP);
        DrawTextW(dc, reinterpret_cast<LPCWSTR>(textOf.c_str()), static_cast<int>(textOf.size()), &box,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SetTextAlign(dc, align);
        SetBkColor(dc, previousBack);
        SetTextColor(dc, previousText);
        blockNumberDrawn_ = number;
    }
    SelectObject(dc, previousFont);
    DeleteObject(font);
}

TimeScale::TimeScale(ChildPaneOwner* owner) : ChildPaneBase(-1, owner)
{
    flag2 = 1;
    RefreshFont();
}

TimeScale::~TimeScale() = default;

HFONT TimeScale::Font() const { return font_ ? static_cast<HFONT>(*font_) : nullptr; }

void TimeScale::RefreshFont()
{
    // While the pane prints, a 10-point font for its print device, measured there; else the gadget font.
    HDC printer = Owner() ? Owner()->PrintDevice() : nullptr;
    HFONT printFont = nullptr;
    if (printer && KVO::CreateDialogFontPt(printer, &printFont, 10, 0) && printFont) {
        font_ = std::make_unique<owl::TFont>(printFont, owl::AutoDelete);
    } else {
        printer = nullptr;
        font_.reset(KVOControls::NewGadgetFont());
    }
    const double s = Owner() ? Owner()->DeviceScale() : 1.0;
    HDC measure = printer ? printer : GetDC(nullptr);
    HGDIOBJ previous = SelectObject(measure, Font());
    const SIZE probe = TextSize(measure, kProbeText);
    SelectObject(measure, previous);
    if (!printer) {
        ReleaseDC(nullptr, measure);
    }
    labelHeight_ = static_cast<int>(5 * s + probe.cy);
    labelWidth_ = 0;
}

int TimeScale::LabelWidth()
{
    if (labelWidth_ < 1) {
        HDC screen = GetDC(nullptr);
        HGDIOBJ previous = SelectObject(screen, Font());
        labelWidth_ = TextSize(screen, kProbeText).cx;
        SelectObject(screen, previous);
        ReleaseDC(nullptr, screen);
    }
    return labelWidth_;
}

void TimeScale::EnsureLabelDrawer()
{
    if (DrawerCount() != 0) {
        return;
    }
    auto* drawer = new TimeLabelDrawer(this);
    drawer->AddRef();
    AddDrawer(0, drawer, 255);
    drawer->SetDataSource(0, timeBase_);
    drawer->Release();
}

HRESULT TimeScale::SetDataSource(LONG index, IUnknown* source)
{
    if (index >= 0) {
        timeBase_ = source;
        ChildPaneBase::RemoveDrawers(0, kNoAlternateChannel, kNoAlternateSelector);
        EnsureLabelDrawer();
        return S_OK;
    }
    for (std::uint32_t i = 0; i < DrawerCount(); ++i) {
        DrawerAt(i)->SetDataSource(0, source);
    }
    return S_OK;
}

HRESULT TimeScale::RemoveDrawers(DWORD mask, LONG channel, DWORD selector)
{
    ChildPaneBase::RemoveDrawers(mask, channel, selector);
    EnsureLabelDrawer();
    return S_OK;
}

HRESULT TimeScale::SetPlacement(DWORD identifier, const LONG pair[2], const RECT& r)
{
    ChildPaneBase::SetPlacement(identifier, pair, r);
    for (std::uint32_t i = 0; i < DrawerCount(); ++i) {
        DrawerAt(i)->SetRect(static_cast<LONG>(identifier), &r);
    }
    return S_OK;
}

HRESULT TimeScale::OnSamplingStart(DWORD argument, bool flag)
{
    ChildPaneBase::OnSamplingStart(argument, flag);
    InvalidateAll();
    if (Owner()) {
        Owner()->PerformPendingFullInvalidation();
        Owner()->InvalidatePaneRect(rect);
    }
    return S_OK;
}

HRESULT TimeScale::DrawLayers(HDC dc, const TickMapping& ticks, const RECT* clip, DWORD drawFlags, LONG context1,
                              LONG context2, int firstLayer, int lastLayer)
{
    if (clip && (clip->right <= clip->left || clip->bottom <= clip->top)) {
        return S_OK;
    }
    HDC target = (drawFlags & (1u << 26)) && Layer(0).bitmap ? Layer(0).bitmap->dc : dc;
    HDC layerDc = Layer(0).bitmap ? Layer(0).bitmap->dc : nullptr;
    // The labels are drawn wherever layer 0 goes: the font and alignment go on both possible targets.
    HGDIOBJ previous = target ? SelectObject(target, Font()) : nullptr;
    const UINT align = target ? SetTextAlign(target, TA_CENTER | TA_TOP) : 0;
    HGDIOBJ previousLayer = layerDc && layerDc != target ? SelectObject(layerDc, Font()) : nullptr;
    const UINT alignLayer = layerDc && layerDc != target ? SetTextAlign(layerDc, TA_CENTER | TA_TOP) : 0;
    const HRESULT hr = ChildPaneBase::DrawLayers(dc, ticks, clip, drawFlags, context1, context2, firstLayer, lastLayer);
    if (Owner()) {
        TimeContext context;
        if (Owner()->GetTimeContext(context)) {
            labelFormat_ = context.formatWord;
        }
    }
    if (layerDc && layerDc != target) {
        SetTextAlign(layerDc, alignLayer);
        SelectObject(layerDc, previousLayer);
    }
    if (target) {
        SetTextAlign(target, align);
        SelectObject(target, previous);
    }
    return hr;
}

void TimeScale::Paint(HDC dc, int sweepX, bool showSweep)
{
    ChildPaneBase::Paint(dc, sweepX, showSweep);
    if (!(labelFormat_ & kTimeMilliseconds) || (labelFormat_ & 0xFF) == kTimeModeClock) {
        return;
    }
    const std::u16string unit = u"(ms)";
    HGDIOBJ previous = SelectObject(dc, Font());
    const COLORREF text = SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF back = SetBkColor(dc, RGB(255, 255, 255));
    const UINT align = SetTextAlign(dc, TA_LEFT | TA_TOP);
    const SIZE size = TextSize(dc, unit);
    const int x = rect.right - size.cx - 2;
    const RECT box{x - 7, rect.top + 2, rect.right, rect.bottom};
    ExtTextOutW(dc, x, rect.top + 3, ETO_OPAQUE, &box, reinterpret_cast<LPCWSTR>(unit.c_str()),
                static_cast<UINT>(unit.size()), nullptr);
    SetTextAlign(dc, align);
    SetBkColor(dc, back);
    SetTextColor(dc, text);
    SelectObject(dc, previous);
}

void TimeScale::OnBeginPrint(DWORD) { RefreshFont(); }
void TimeScale::OnEndPrint() { RefreshFont(); }

HRESULT TimeScale::ReadState(IStream* stream)
{
    std::uint32_t version = 0;
    if (const HRESULT hr = ReadStateBytes(stream, &version, sizeof version); hr != S_OK) {
        return hr;
    }
    CheckStateVersion(version);
    return S_OK;
}

HRESULT TimeScale::WriteState(IStream* stream)
{
    if (!stream) {
        return E_POINTER;
    }
    const std::uint32_t version = kStateVersion;
    return stream->Write(&version, sizeof version, nullptr);
}

void TimeScale::CheckStateVersion(std::uint32_t version)
{
    if (version >= 3) {
        throw XKVO(kNewerSettings);
    }
}

} // namespace ChartDraw
