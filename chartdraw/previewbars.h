// The two button bars of a settings preview: the sampling bar (chart view, start and pause sampling) and the trace
// bar (stacked, overlaid or the source trace alone). Both send every command to their owner, the preview pane.
#pragma once

#include "chartdraw/controlwindows.h"
#include "platform/owl/gadgetwindow.h"

namespace ChartDraw {

class PreviewDataPane;

// A horizontal gadget window made with a given font.
class FixedGadgetWindow : public owl::TGadgetWindow {
public:
    FixedGadgetWindow(owl::TWindow* parent, owl::TFont* font);
};

class PreviewControl : public ControlBase {
public:
    virtual void GetDesiredSize(SIZE& size) = 0;
    virtual void SetAvailableModes(DWORD) {}
    virtual void ShowChartView() {}
};

// Shared by both bars: moving, enabling and the desired size.
class PreviewBar : public FixedGadgetWindow, public PreviewControl {
public:
    using FixedGadgetWindow::FixedGadgetWindow;
    void Move(const RECT& rect) override
    {
        if (GetHandle()) {
            MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, false);
        }
    }
    bool IsEnabled() const override { return GetHandle() && IsWindowEnabled(); }
    bool Enable(bool on) override { return GetHandle() ? EnableWindow(on) : false; }
    void GetDesiredSize(SIZE& size) override
    {
        owl::TSize desired;
        FixedGadgetWindow::GetDesiredSize(desired);
        size = SIZE{desired.cx, desired.cy};
    }
    // The tooltip is off while the left button is down.
    void EvLButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void EvLButtonUp(owl::uint modKeys, const owl::TPoint& point) override;
};

class PreviewControlWin : public PreviewBar {
public:
    enum Command : UINT { ChartView = 100, StartSampling = 101, PauseSampling = 102 };
    static constexpr DWORD kNoChartView = 1u << 30;

    PreviewControlWin(owl::TWindow* parent, PreviewDataPane* owner, DWORD flags);
    ~PreviewControlWin() override;

    bool Enable(bool on) override;
    void ShowChartView() override;
    // Puts the button of a sampling state (100, 101 or 102) down.
    void ShowState(LONG state);
    UxSizableButtonGadget* Button(UINT command) const;

    owl::TResult EvCommand(owl::uint id, HWND control, owl::uint notifyCode) override;
    void EvCommandEnable(owl::TCommandEnabler& enabler) override;

private:
    PreviewDataPane* owner_;
    UxSizableButtonGadget* chartView_ = nullptr;
    UxSizableButtonGadget* start_ = nullptr;
    UxSizableButtonGadget* pause_ = nullptr;
};

class TraceControlWin : public PreviewBar {
public:
    enum Command : UINT { Stack = 2, Overlay = 4, SourceOnly = 8 };

    TraceControlWin(owl::TWindow* parent, PreviewDataPane* owner, DWORD availableModes);
    ~TraceControlWin() override;

    void SetAvailableModes(DWORD bits) override;
    UxSizableButtonGadget* Button(UINT command) const;
    int LastArrangement() const { return lastArrangement_; }

    owl::TResult EvCommand(owl::uint id, HWND control, owl::uint notifyCode) override;
    void EvCommandEnable(owl::TCommandEnabler& enabler) override;

private:
    PreviewDataPane* owner_;
    UxSizableButtonGadget* stack_ = nullptr;
    UxSizableButtonGadget* overlay_ = nullptr;
    UxSizableButtonGadget* sourceOnly_ = nullptr;
    DWORD availableModes_;
    int lastArrangement_ = 0;
};

} // namespace ChartDraw
