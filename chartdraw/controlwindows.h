// The horizontal controls of a preview chart: the scroll bar over the recording and the zoom bar that shows and
// changes the compression. The data pane owns both and sees them only through `ScrollBar` and `ZoomControl`.
#pragma once

#include "controls/buttongadgets.h"
#include "controls/gadgetwindows.h"
#include "foundation/kvostring.h"
#include "foundation/rational.h"
#include "platform/owl/control.h"

#include <memory>
#include <string>

namespace KVO {
class UIElement {
public:
    virtual ~UIElement() = default;
};
}

namespace ChartDraw {

class DataPane;

class ControlBase : public KVO::UIElement {
public:
    virtual void Move(const RECT& rect) = 0;
    virtual bool IsEnabled() const = 0;
    virtual bool Enable(bool on) = 0;
    virtual bool IsControlEnabled() const { return IsEnabled(); }
    virtual bool EnableControl(bool on) { return Enable(on); }
};

class ScrollBar : public ControlBase {
public:
    virtual int GetPosition() const = 0;
    virtual void SetPosition(int position, bool redraw) = 0;
    virtual void GetScrollInfo(SCROLLINFO& info) const = 0;
    virtual void SetScrollInfo(const SCROLLINFO& info, bool redraw) = 0;
    virtual int GetLineMagnitude() const = 0;
    virtual int GetPageMagnitude() const = 0;
    virtual void SetLineMagnitude(int value) = 0;
    virtual void SetPageMagnitude(int value) = 0;
    virtual void Invalidate() = 0;
};

class ZoomControl : public ControlBase {
public:
    virtual void FormatRatio(std::u16string& text, LONGLONG numerator, LONGLONG denominator) const = 0;
    virtual void SetRatio(LONGLONG numerator, LONGLONG denominator) = 0;
    virtual void GetDesiredSize(SIZE& size) = 0;
    virtual void SetText(LPCWSTR text) = 0;
    virtual void SetAutoscaleText(const KVO::String& text) = 0;
    virtual void SetFollowing(bool following) { ShowFollowing(following); }
    virtual void ShowFollowing(bool following) = 0;
    // E_INVALIDARG (and `ratio` unchanged) outside the menu's commands.
    virtual HRESULT RatioForCommand(KVORationalImp& ratio, UINT command) const = 0;
    virtual void Invalidate() = 0;
};

// The zoom menu's commands and their compressions (ticks per pixel).
inline constexpr UINT kFirstZoomCommand = 1130;
inline constexpr UINT kZoomCommandEnd = 1151;
double ZoomRatio(UINT command);
// A text of the module's string table with the product words put in, loaded once per process and kept.
const KVO::String& ChartText(UINT id);
// "x4", "1:1", "1.5k:1": the compression as the zoom bar shows it (3 significant digits).
std::u16string FormatCompression(LONGLONG numerator, LONGLONG denominator);

class ScrollBarWin : public owl::TScrollBar, public ScrollBar {
public:
    ScrollBarWin(owl::TWindow* parent, DataPane* owner);

    void Move(const RECT& rect) override;
    bool IsEnabled() const override;
    bool Enable(bool on) override;
    int GetPosition() const override { return TScrollBar::GetPosition(); }
    void SetPosition(int position, bool redraw) override { TScrollBar::SetPosition(position, redraw); }
    void GetScrollInfo(SCROLLINFO& info) const override;
    void SetScrollInfo(const SCROLLINFO& info, bool redraw) override;
    int GetLineMagnitude() const override { return LineMagnitude; }
    int GetPageMagnitude() const override { return PageMagnitude; }
    void SetLineMagnitude(int value) override { LineMagnitude = value; }
    void SetPageMagnitude(int value) override;
    void Invalidate() override;

    // Every scroll code goes to the owner alone.
    void EvHScroll(owl::uint scrollCode, owl::uint thumbPos, HWND control) override;
    owl::TResult WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2) override;
    // The notices that the parent reflects to the bar.
    void SBLineUp() override { EvHScroll(SB_LINEUP, 0, nullptr); }
    void SBLineDown() override { EvHScroll(SB_LINEDOWN, 0, nullptr); }
    void SBPageUp() override { EvHScroll(SB_PAGEUP, 0, nullptr); }
    void SBPageDown() override { EvHScroll(SB_PAGEDOWN, 0, nullptr); }
    void SBThumbPosition(int) override { EvHScroll(SB_THUMBPOSITION, 0, nullptr); }
    void SBThumbTrack(int) override { EvHScroll(SB_THUMBTRACK, 0, nullptr); }
    void SBTop() override { EvHScroll(SB_TOP, 0, nullptr); }
    void SBBottom() override { EvHScroll(SB_BOTTOM, 0, nullptr); }
    void SBEndScroll() override { EvHScroll(SB_ENDSCROLL, 0, nullptr); }

private:
    DataPane* owner_;
};

class ZoomControlWin : public KVOControls::UxNoEraseGadgetWindow, public ZoomControl {
public:
    static constexpr DWORD kShowLatest = 0x80000000u;
    static constexpr DWORD kAutoscale = 0x20000000u;
    static constexpr DWORD kClipSiblings = 0x10000000u;
    enum Command : UINT { Expand = 103, Compress = 109, SetScaling = 214, Autoscale = 213, ShowLatest = 2149,
                          ToggleFollow = 102 };

    ZoomControlWin(owl::TWindow* parent, DataPane* owner, DWORD style);
    ~ZoomControlWin() override;

    void Move(const RECT& rect) override;
    bool IsEnabled() const override;
    bool Enable(bool on) override;
    void FormatRatio(std::u16string& text, LONGLONG numerator, LONGLONG denominator) const override;
    void SetRatio(LONGLONG numerator, LONGLONG denominator) override;
    void GetDesiredSize(SIZE& size) override;
    using UxNoEraseGadgetWindow::GetDesiredSize;
    void SetText(LPCWSTR text) override;
    void SetAutoscaleText(const KVO::String& text) override { autoscaleText_ = text; }
    void ShowFollowing(bool following) override;
    HRESULT RatioForCommand(KVORationalImp& ratio, UINT command) const override;
    void Invalidate() override;

    KVO::UxButtonMenuGadget* RatioButton() const { return ratio_; }
    UxSizableButtonGadget* Button(UINT command) const;

    void SetupWindow() override;
    owl::TResult EvCommand(owl::uint id, HWND control, owl::uint notifyCode) override;
    void EvCommandEnable(owl::TCommandEnabler& enabler) override;
    void EvLButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void EvLButtonUp(owl::uint modKeys, const owl::TPoint& point) override;
    owl::TResult WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2) override;

private:
    DataPane* owner_;
    KVO::UxButtonMenuGadget* ratio_ = nullptr;
    UxSizableButtonGadget* showLatest_ = nullptr;
    UxSizableButtonGadget* compress_ = nullptr;
    UxSizableButtonGadget* expand_ = nullptr;
    UxSizableButtonGadget* autoscale_ = nullptr;
    KVO::String autoscaleText_;
};

} // namespace ChartDraw
