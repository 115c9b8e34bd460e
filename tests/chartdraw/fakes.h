// A chart pane's owner and drawer services for tests of child panes and drawers.
#pragma once

#include "chartdraw/childpane.h"
#include "chartdraw/interactiveobjects.h"

#include <algorithm>
#include <string>
#include <vector>

namespace charttest {

// A screen-compatible bitmap in a memory DC, filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, COLORREF colour = RGB(255, 255, 255))
    {
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(nullptr, screen);
        previous = SelectObject(dc, bitmap);
        Fill(colour);
    }
    ~Canvas()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    void Fill(COLORREF colour)
    {
        HBRUSH brush = CreateSolidBrush(colour);
        const RECT all{0, 0, 0x7FFF, 0x7FFF};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
};

// A drawer that fills its whole draw area with one colour (white counts as transparent in layer composition).
class FillDrawer : public ChartDraw::DrawerBase {
public:
    FillDrawer(DWORD kind, COLORREF colour, RECT area = RECT{0, 0, 10000, 10000})
        : ChartDraw::DrawerBase(kind, 0, 0, ChartDraw::kNoAlternateChannel, ChartDraw::kNoAlternateSelector), colour_(colour), area_(area)
    {
    }
    HRESULT GetCapabilities(LONG, DWORD* flags, LONG* a, LONG* b, LONG) override
    {
        *flags = 0;
        *a = 0;
        *b = 0;
        return S_OK;
    }
    HRESULT Draw(owl::TDC& dc, LONGLONG, LONGLONG, LONGLONG, LONG, LONG, const RECT& clip, DWORD, const ChartDraw::TimeDivisions*,
                 LONG) override
    {
        ++draws;
        HBRUSH brush = CreateSolidBrush(colour_);
        RECT r{std::max(clip.left, area_.left), std::max(clip.top, area_.top), std::min(clip.right, area_.right),
               std::min(clip.bottom, area_.bottom)};
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        return S_OK;
    }
    HRESULT Clone(DWORD, ChartDraw::IChartRecordDrawer** copy) override { return CloneAs(*this, copy); }
    int draws = 0;

private:
    COLORREF colour_;
    RECT area_;
};

// A fill drawer whose marks reach `reach` pixels to either side of a position.
class ReachingDrawer : public FillDrawer {
public:
    ReachingDrawer(DWORD kind, LONG reach) : FillDrawer(kind, RGB(0, 0, 0)), reach_(reach) {}
    HRESULT GetCapabilities(LONG, DWORD* flags, LONG* a, LONG* b, LONG) override
    {
        *flags = 0;
        *a = *b = reach_;
        return S_OK;
    }

private:
    LONG reach_;
};

// A mark of a channel (-1: all) at (tick, block), or without a place.
class Mark : public IChartMark, public IChartMarkPosition {
public:
    Mark(LONG channel, LONG tick, LONG block, bool placed = true)
        : channel_(channel), pair_{tick, block}, placed_(placed)
    {
    }
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        *out = iid == IID_IChartMarkPosition && placed_ ? static_cast<IChartMarkPosition*>(this) : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetChannel(LONG* channel) override
    {
        *channel = channel_;
        return S_OK;
    }
    HRESULT GetPosition(LONG pair[2]) override
    {
        pair[0] = pair_[0];
        pair[1] = pair_[1];
        return S_OK;
    }

private:
    LONG channel_;
    LONG pair_[2];
    bool placed_;
};

struct TestOwner : ChartDraw::ChildPaneOwner {
    ChartDraw::IDrawerDataPane* DrawerServices() override { return services; }
    bool KeepsLayerBitmaps() const override { return bitmaps; }
    bool NoControlsMode() const override { return false; }
    bool IsLive() const override { return true; }
    bool JumpMode() const override { return jump; }
    int SweepCursor() const override { return sweep; }
    void PerformPendingFullInvalidation() override {}
    void InvalidatePaneRect(const RECT& r) override { invalidated.push_back(r); }
    void ScrollPaneRect(const RECT&, LONGLONG) override {}
    std::optional<LONGLONG> TimeBaseLimit() const override { return std::nullopt; }
    double TickToX(LONGLONG tick) const override { return static_cast<double>(tick); }
    COLORREF ContrastColourFor(COLORREF c) const override { return c; }
    double PixelsPerMm(HDC) const override { return 3.78; }
    POINT Margins() const override { return POINT{1, 1}; }

    ChartDraw::IDrawerDataPane* services = nullptr;
    bool bitmaps = true;
    bool jump = false;
    int sweep = 200;
    std::vector<RECT> invalidated;
};

// Drawer services of a screen pane: white background, colours as given, one value range for every lane.
struct TestServices : ChartDraw::IDrawerDataPane {
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetPrintWord(LONG, DWORD* word) override
    {
        *word = printWord;
        return S_OK;
    }
    HRESULT GetPixelsPerMmX(LONG, LONG, double* out) override
    {
        *out = pixelsPerMm;
        return S_OK;
    }
    HRESULT GetPixelsPerMmY(LONG, LONG, double* out) override
    {
        *out = pixelsPerMm;
        return S_OK;
    }
    HRESULT GetDeviceScale(LONG, double* x, double* y) override
    {
        *x = *y = scale;
        return S_OK;
    }
    HRESULT GetNoControlsMode(LONG, WORD* on) override
    {
        if (on) *on = 0;
        return S_OK;
    }
    HRESULT SetLayerDragRect(LONG, LONG, const RECT*) override { return S_OK; }
    HRESULT SetLayerOpacity(LONG, LONG, LONG) override { return S_OK; }
    HRESULT GetDataRect(LONG, RECT*) override { return E_FAIL; }
    HRESULT Redraw(LONG, const RECT*) override { return S_OK; }
    HRESULT IsLive() override { return S_OK; }
    HRESULT FollowsNewest() override { return S_OK; }
    HRESULT GetBackgroundColour(COLORREF* colour) override
    {
        *colour = background;
        return S_OK;
    }
    HRESULT GetContrastColour(COLORREF value, COLORREF* colour) override
    {
        *colour = value;
        return S_OK;
    }
    HRESULT GetLaneSelectors(LONG, LONG, LONG pair[2]) override
    {
        pair[0] = laneChannel;
        pair[1] = 0;
        return S_OK;
    }
    HRESULT GetLaneInformation(LONG, LONG, IUnknown** out) override
    {
        *out = nullptr;
        return S_OK;
    }
    HRESULT QueryLaneUnits(LONG, LONG, double range[2], LONG*, LONG*, LONG*, LONG*, LONG*) override
    {
        range[0] = low;
        range[1] = high;
        return S_OK;
    }
    HRESULT GetChannelWord(LONG, DWORD* word) override
    {
        *word = 1;
        return S_OK;
    }
    HRESULT GetFlags(DWORD* word, DWORD* mode) override
    {
        if (word) *word = 0;
        if (mode) *mode = 0;
        return S_OK;
    }

    DWORD printWord = 0;
    double pixelsPerMm = 3.7795276158179276;
    double scale = 1.0;
    COLORREF background = RGB(255, 255, 255);
    LONG laneChannel = 0;
    double low = -1.5;
    double high = 1.5;
};

// An object over the pane that writes down every notice as a short text; it can take the handled notices.
class NoteTaker : public ChartDraw::IInteractiveObject {
public:
    NoteTaker(std::string name, std::vector<std::string>& log, bool takes = false) : name_(std::move(name)), log_(log), takes_(takes) {}
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (iid == ChartDraw::IID_IInteractiveObject || iid == IID_IUnknown) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++count; }
    ULONG Release() override { return --count; }
    HRESULT OnTimeBaseChanged(IChartTimeBase* timeBase) override { return Note(timeBase ? "timebase" : "no timebase"); }
    HRESULT OnAttached() override { return Note("attached"); }
    HRESULT Layout(const RECT* r, BOOL* handled) override
    {
        *handled = takes_;
        return Note("layout " + std::to_string(r->right) + "x" + std::to_string(r->bottom));
    }
    HRESULT OnLaneMoved(LONG index, const RECT* r) override
    {
        return Note("lane " + std::to_string(index) + " top " + std::to_string(r->top));
    }
    HRESULT OnInput(UINT message, WPARAM, LPARAM, BOOL* handled) override
    {
        *handled = takes_;
        return Note("input " + std::to_string(message));
    }
    HRESULT Redraw(LONG) override { return Note("redraw"); }
    HRESULT OnLanesChanged(LONG n) override { return Note("lanes " + std::to_string(n)); }
    HRESULT BeforePaint() override { return Note("before paint"); }
    HRESULT Paint(HDC, const RECT*) override { return Note("paint"); }
    HRESULT OnScrollRangeChanged() override { return Note("range"); }
    HRESULT BeforeScroll() override { return Note("before scroll"); }
    HRESULT AfterScroll(LONGLONG pixels, DWORD kind) override
    {
        return Note("after scroll " + std::to_string(pixels) + " " + std::to_string(kind >> 28));
    }
    HRESULT OnSamplingStarted(DWORD value) override { return Note("started " + std::to_string(value)); }
    HRESULT OnDataArrived() override { return Note("data"); }
    HRESULT OnSamplingEnded() override { return Note("ended"); }
    HRESULT Load(IStream* stream) override
    {
        DWORD word = 0;
        stream->Read(&word, sizeof word, nullptr);
        return Note("load " + std::to_string(word));
    }
    HRESULT Save(IStream* stream) override
    {
        const DWORD word = name_.front();
        stream->Write(&word, sizeof word, nullptr);
        return Note("save");
    }
    HRESULT OnChannelAttached(LONG index) override { return Note("channel attached " + std::to_string(index)); }
    HRESULT OnChannelRemoved(LONG index) override { return Note("channel removed " + std::to_string(index)); }
    HRESULT OnPoint(LONG a, LONG b, LONG c) override
    {
        return Note("point " + std::to_string(a) + std::to_string(b) + std::to_string(c));
    }
    HRESULT OnNoticeWithHandled(LONG, LONG, BOOL* handled) override
    {
        *handled = takes_;
        return Note("handled?");
    }
    HRESULT OnNotice() override { return Note("notice"); }
    ULONG count = 1;

private:
    HRESULT Note(const std::string& text)
    {
        log_.push_back(name_ + ": " + text);
        return S_OK;
    }
    std::string name_;
    std::vector<std::string>& log_;
    bool takes_;
};

} // namespace charttest
