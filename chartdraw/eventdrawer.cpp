#include "chartdraw/eventdrawer.h"

#include "frame/hostservices.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ChartDraw {

EventDrawer::EventDrawer(LONG, LONG channelIndex, DWORD subSelectorValue, LONG alternate, DWORD alternateSelector)
    : DrawerBase(kKindEvents, channelIndex, subSelectorValue, alternate, alternateSelector)
{
}

EventDrawer::EventDrawer(const EventDrawer& other) : DrawerBase(other), limit_(other.limit_) {}

HRESULT EventDrawer::SetDataSource(LONG reserved, IUnknown* source)
{
    DrawerBase::SetDataSource(reserved, source);
    sweep_.Reset();
    if (source) {
        source->QueryInterface(IID_IChartSweep, sweep_.OutVoid());
    }
    ReleaseSource();
    return S_OK;
}

HRESULT EventDrawer::GetCapabilities(LONG, DWORD* flags, LONG* left, LONG* right, LONG)
{
    if (flags) *flags = 0x40000000;
    if (left) *left = 10;
    if (right) *right = 10;
    return S_OK;
}

HRESULT EventDrawer::GetUnitText(LONG, LONG, IKVOString** text, WORD*)
{
    if (text) *text = nullptr;
    return S_FALSE;
}

HRESULT EventDrawer::GetData(LONG, IUnknown** data)
{
    if (data) *data = nullptr;
    return S_FALSE;
}

HRESULT EventDrawer::RequestData(DWORD, LONG, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR, LONG_PTR) { return S_FALSE; }
HRESULT EventDrawer::OnScaleChanged(LONG, LONG, const double*, IUnknown*) { return S_OK; }

HRESULT EventDrawer::OnNewBlock(DWORD)
{
    lastX_ = -1.0;
    return S_OK;
}

HRESULT EventDrawer::OnSamplingStart(DWORD argument, LONG flag)
{
    DrawerBase::OnSamplingStart(argument, flag);
    lastEvent_ = -1;
    return S_OK;
}

HRESULT EventDrawer::GetLatestTick(LONG, LONG, LONGLONG, LONGLONG, LONGLONG* tick)
{
    if (!iterator_ || !tick) {
        return S_FALSE;
    }
    *tick = lastEvent_;
    return S_OK;
}

HRESULT EventDrawer::OnSamplingStop(LONG, LONG)
{
    sampling = false;
    ReleaseSource();
    return S_OK;
}

HRESULT EventDrawer::DropCachedData(LONG)
{
    ReleaseSource();
    return S_OK;
}

HRESULT EventDrawer::Clone(DWORD, IChartRecordDrawer** copy) { return CloneAs(*this, copy); }

void EventDrawer::FetchDrawClass(DWORD drawType)
{
    if (drawType == drawType_) {
        return;
    }
    drawType_ = drawType;
    drawClass_.Reset();
    if (drawType == 0) {
        return;
    }
    if (ICAFFramework* framework = CAF::GetFrameworkClassObject()) {
        framework->GetObject(drawType, IID_IPODEventDrawClass, drawClass_.OutVoid());
    }
}

COLORREF EventDrawer::EventColour(const std::byte* event)
{
    COLORREF colour = RGB(255, 255, 255);
    if (drawClass_ && FAILED(drawClass_->GetColour(0, event, &colour))) {
        colour = RGB(255, 255, 255);
    }
    return colour;
}

HRESULT EventDrawer::Draw(owl::TDC& dc, LONGLONG from, LONGLONG to, LONGLONG, LONG record, LONG, const RECT&,
                          DWORD flags, const TimeDivisions*, LONG)
{
    if (flags & kDrawDropCached) {
        ReleaseSource();
    }
    IChartDataSource* source = DataSource();
    if (!source || channel < 0) {
        return S_OK;
    }
    // The stretch as ticks of the record drawn: a sweep display places it itself.
    LONGLONG first = 0;
    LONGLONG last = 0;
    if (sweep_) {
        if (FAILED(sweep_->GetStretchTicks(0x80000000u, from, to, record, &first, &last))) {
            return S_OK;
        }
        first = std::max<LONGLONG>(first, 0);
    } else {
        LONG startRecord = 0;
        LONG endRecord = 0;
        if (FAILED(source->LocateStart(2, from, &startRecord, &first)) ||
            FAILED(source->LocateEnd(1, to, &endRecord, &last))) {
            return S_OK;
        }
        if (startRecord > record || endRecord < record) {
            return S_OK;
        }
        if (startRecord < record) {
            first = 0;
        }
        if (endRecord > record) {
            last = 2147483647;
        }
    }
    if (!iterator_) {
        platform::ComPtr<IUnknown> enumerator;
        if (!DataServer() ||
            DataServer()->GetEventEnumerator(RequestFlags() | 0x80000000u, channel, 0x40000000, record, record,
                                             0x7FFFFFFF, 0, enumerator.Out()) != S_OK ||
            !enumerator) {
            return S_OK;
        }
        platform::ComPtr<IEnumEventEx> events;
        if (FAILED(enumerator->QueryInterface(IID_IEnumEventEx, events.OutVoid())) || !events) {
            return S_OK;
        }
        iterator_ = std::make_unique<KVOEvent::ConstEventIterBase>(events.Get());
        iterator_->Reset();
    }
    IEnumEventEx* events = iterator_->Enumerator();
    DWORD drawType = 0;
    if (SUCCEEDED(events->GetDrawType(&drawType))) {
        FetchDrawClass(drawType);
    }
    iterator_->Reset();
    iterator_->SetEndLimit(last >= 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<LONG>(last + 1));
    iterator_->Seek(static_cast<LONG>(std::min<LONGLONG>(first, 0x7FFFFFFF)));

    const double scale = std::max(1.0, GetDeviceCaps(dc, LOGPIXELSX) / 96.0);
    const int radius = static_cast<int>(3 * scale);
    COLORREF lineColour = RGB(192, 192, 192);
    if (IDrawerDataPane* services = Services()) {
        services->GetContrastColour(lineColour, &lineColour);
    }
    HPEN linePen = nullptr;
    const LOGBRUSH penBrush{BS_SOLID, lineColour, 0};
    if (GetDeviceCaps(dc, TECHNOLOGY) & 1) {
        linePen = ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &penBrush, 0, nullptr);
    } else {
        linePen = ExtCreatePen(PS_GEOMETRIC | PS_DOT, static_cast<DWORD>(scale), &penBrush, 0, nullptr);
    }
    double ratio = 1.0;
    if (IDrawerDataPane* services = Services()) {
        double paneMm = 0;
        if (SUCCEEDED(services->GetPixelsPerMmY(0, 0, &paneMm)) && paneMm > 0) {
            ratio = paneMm / (GetDeviceCaps(dc, LOGPIXELSY) / 25.4);
        }
    }
    double startX = 0;
    double endX = 0;
    source->TickToX(0x80000000, record, from, &startX);
    source->TickToX(0x80000000, record, to, &endX);
    HPEN outline = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    const LONG middle = (lane.bottom - lane.top) / 2;
    while (true) {
        if (iterator_->AtBufferEnd() && !iterator_->FillBuffer()) {
            break;
        }
        const std::byte* event = iterator_->Cursor();
        std::int32_t tick = 0;
        float fraction = 0;
        std::memcpy(&tick, event, sizeof tick);
        if (iterator_->EventSize() >= 8) {
            std::memcpy(&fraction, event + 4, sizeof fraction);
        }
        iterator_->Step();
        if (std::isnan(fraction)) {
            continue;
        }
        double x = 0;
        if (FAILED(source->TickToX(0x80000000, record, tick, &x))) {
            continue;
        }
        if (x >= endX) {
            break;
        }
        if (x < startX) {
            continue;
        }
        lastEvent_ = tick;
        const int px = static_cast<int>(std::floor(x));
        {
            // The dotted line's gaps leave what lies below, the trace among it, when the layers share a bitmap.
            HGDIOBJ previous = SelectObject(dc, linePen);
            const int previousMode = SetBkMode(dc, TRANSPARENT);
            MoveToEx(dc, px, 0, nullptr);
            LineTo(dc, px, lane.bottom - lane.top);
            SetBkMode(dc, previousMode);
            SelectObject(dc, previous);
        }
        COLORREF fill = EventColour(event);
        if (IDrawerDataPane* services = Services()) {
            services->GetContrastColour(fill, &fill);
        }
        double half = radius + 0.5;
        if (ratio > 1) {
            half *= ratio;
        }
        const int l = static_cast<int>(std::floor(px + 0.5 - half));
        const int t = static_cast<int>(std::floor(middle + 0.5 - half));
        const int size = static_cast<int>(std::lround(2 * half));
        HBRUSH brush = CreateSolidBrush(fill);
        HGDIOBJ previousBrush = SelectObject(dc, brush);
        HGDIOBJ previousPen = SelectObject(dc, outline);
        Ellipse(dc, l, t, l + size, t + size);
        SelectObject(dc, previousPen);
        SelectObject(dc, previousBrush);
        DeleteObject(brush);
    }
    DeleteObject(outline);
    DeleteObject(linePen);
    if (!(flags & kDrawKeepCached)) {
        ReleaseSource();
    }
    return S_OK;
}

} // namespace ChartDraw
