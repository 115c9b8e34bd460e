#include "chartdraw/previewbars.h"

#include "chartdraw/previewpane.h"
#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "resources/chartdrawresources.h"

#include <map>

namespace ChartDraw {
namespace {
// A text of the string table with the product words put in, loaded once per process.
const KVO::String& BarText(UINT id)
{
    if (id != StringId::SamplingUnavailable) {
        return ChartText(id);
    }
    static const KVO::String unavailable = [] {
        std::u16string value(ChartText(StringId::SamplingUnavailable).View());
        if (const auto at = value.find(u"%1"); at != std::u16string::npos) {
            value.replace(at, 2, u"Acquibox");
        }
        return KVO::String(value);
    }();
    return unavailable;
}

// The text is the one the enabler gives later, so that the bar's first size is already right.
UxSizableButtonGadget* NewButton(UINT command, UINT image, owl::TButtonGadget::TType type, UINT text)
{
    auto* button = new UxSizableButtonGadget(static_cast<int>(command), owl::TResId(static_cast<int>(image)), type);
    button->SetStyle(owl::TButtonTextGadget::sBitmapText); // the enablers' texts are shown beside the images
    button->SetText(owl::tstring(BarText(text).View()), false);
    return button;
}

void Prepare(owl::TGadgetWindow& window)
{
    window.Attr.Style &= ~WS_BORDER;
    window.SetShrinkWrap(true, true);
    window.SetMargins(owl::TGadget::TMargins{});
}
}

FixedGadgetWindow::FixedGadgetWindow(owl::TWindow* parent, owl::TFont* font)
    : TGadgetWindow(parent, Horizontal, font)
{
    WantTooltip = true; // the buttons' texts show as tooltips
}

void PreviewBar::EvLButtonDown(owl::uint modKeys, const owl::TPoint& point)
{
    if (GetTooltip()) {
        EnableTooltip(false);
    }
    FixedGadgetWindow::EvLButtonDown(modKeys, point);
}

void PreviewBar::EvLButtonUp(owl::uint modKeys, const owl::TPoint& point)
{
    if (GetTooltip()) {
        EnableTooltip(true);
    }
    FixedGadgetWindow::EvLButtonUp(modKeys, point);
}

// ---------------------------------------------------------------------------------------------------------------
// The sampling bar

PreviewControlWin::PreviewControlWin(owl::TWindow* parent, PreviewDataPane* owner, DWORD flags)
    : PreviewBar(parent, KVOControls::NewGadgetFont()), owner_(owner)
{
    Prepare(*this);
    if (!(flags & kNoChartView)) {
        chartView_ = NewButton(ChartView, PictureId::ChartView, owl::TButtonGadget::Exclusive, StringId::ChartView);
        Insert(*chartView_);
    }
    start_ = NewButton(StartSampling, PictureId::StartSampling, owl::TButtonGadget::Exclusive, StringId::StartSampling);
    pause_ = NewButton(PauseSampling, PictureId::PauseSampling, owl::TButtonGadget::Exclusive, StringId::PauseSampling);
    Insert(*start_);
    Insert(*pause_);
    ShowState((flags & kNoChartView) ? StartSampling : ChartView);
}

PreviewControlWin::~PreviewControlWin() { Destroy(); }

UxSizableButtonGadget* PreviewControlWin::Button(UINT command) const
{
    switch (command) {
    case ChartView: return chartView_;
    case StartSampling: return start_;
    case PauseSampling: return pause_;
    default: return nullptr;
    }
}

void PreviewControlWin::ShowState(LONG state)
{
    for (UxSizableButtonGadget* button : {chartView_, start_, pause_}) {
        if (button) {
            button->SetButtonState(static_cast<LONG>(button->GetId()) == state ? owl::TButtonGadget::Down
                                                                              : owl::TButtonGadget::Up);
        }
    }
}

bool PreviewControlWin::Enable(bool on)
{
    for (UxSizableButtonGadget* button : {chartView_, start_, pause_}) {
        if (button) {
            button->SetEnabled(on);
        }
    }
    return PreviewBar::Enable(on);
}

void PreviewControlWin::ShowChartView()
{
    ShowState(ChartView);
    if (owner_) {
        owner_->ShowHostData();
    }
}

owl::TResult PreviewControlWin::EvCommand(owl::uint id, HWND control, owl::uint notifyCode)
{
    switch (id) {
    case ChartView:
        if (owner_) {
            owner_->ShowHostData();
        }
        return 0;
    case StartSampling:
        if (owner_) {
            owner_->StartPreviewSampling();
        }
        return 0;
    case PauseSampling:
        if (owner_) {
            owner_->PausePreviewSampling();
        }
        return 0;
    default: return PreviewBar::EvCommand(id, control, notifyCode);
    }
}

void PreviewControlWin::EvCommandEnable(owl::TCommandEnabler& enabler)
{
    if (!owner_) {
        return;
    }
    const bool source = owner_->HasSamplingControl();
    switch (enabler.GetId()) {
    case ChartView: enabler.SetText(BarText(StringId::ChartView)); return;
    case StartSampling:
        enabler.SetText(BarText(source ? StringId::StartSampling : StringId::SamplingUnavailable));
        enabler.Enable(source);
        return;
    case PauseSampling:
        enabler.SetText(BarText(StringId::PauseSampling));
        enabler.Enable(source && (!chartView_ || chartView_->GetButtonState() == owl::TButtonGadget::Up));
        return;
    default: return;
    }
}

// ---------------------------------------------------------------------------------------------------------------
// The trace bar

TraceControlWin::TraceControlWin(owl::TWindow* parent, PreviewDataPane* owner, DWORD availableModes)
    : PreviewBar(parent, KVOControls::NewGadgetFont()), owner_(owner), availableModes_(availableModes)
{
    Prepare(*this);
    stack_ = NewButton(Stack, PictureId::StackTraces, owl::TButtonGadget::Command, StringId::StackTraces);
    overlay_ = NewButton(Overlay, PictureId::OverlayTraces, owl::TButtonGadget::Command, StringId::OverlayTraces);
    sourceOnly_ = NewButton(SourceOnly, PictureId::SourceTraceOnly, owl::TButtonGadget::NonExclusive, StringId::SourceTraceOnly);
    Insert(*stack_);
    Insert(*overlay_);
    Insert(*new owl::TTextGadget(30000, owl::TGadget::None, owl::TTextGadget::Left, 0));
    Insert(*sourceOnly_);
}

TraceControlWin::~TraceControlWin() { Destroy(); }

UxSizableButtonGadget* TraceControlWin::Button(UINT command) const
{
    switch (command) {
    case Stack: return stack_;
    case Overlay: return overlay_;
    case SourceOnly: return sourceOnly_;
    default: return nullptr;
    }
}

void TraceControlWin::SetAvailableModes(DWORD bits)
{
    stack_->SetEnabled((bits & 2) != 0);
    overlay_->SetEnabled((bits & 4) != 0);
    sourceOnly_->SetEnabled((bits & 8) != 0);
}

owl::TResult TraceControlWin::EvCommand(owl::uint id, HWND control, owl::uint notifyCode)
{
    if (id != Stack && id != Overlay && id != SourceOnly) {
        return PreviewBar::EvCommand(id, control, notifyCode);
    }
    if (!owner_) {
        return 0;
    }
    if (id == Stack) {
        owner_->OnTraceCommand(Stack, 0);
        lastArrangement_ = 1;
    } else if (id == Overlay) {
        owner_->OnTraceCommand(Overlay, 0);
        lastArrangement_ = 0;
    } else if (sourceOnly_->GetButtonState() == owl::TButtonGadget::Down) {
        owner_->OnTraceCommand(SourceOnly, 1);
    } else {
        owner_->OnTraceCommand(SourceOnly, 2);
        owner_->OnTraceCommand(lastArrangement_ == 1 ? Stack : Overlay, 0);
    }
    return 0;
}

void TraceControlWin::EvCommandEnable(owl::TCommandEnabler& enabler)
{
    if (!owner_) {
        return;
    }
    const bool sourceOnly = sourceOnly_->GetButtonState() == owl::TButtonGadget::Down;
    switch (enabler.GetId()) {
    case Stack:
        enabler.SetText(BarText(StringId::StackTraces));
        enabler.Enable(!sourceOnly && (availableModes_ & 2));
        return;
    case Overlay:
        enabler.SetText(BarText(StringId::OverlayTraces));
        enabler.Enable(!sourceOnly && (availableModes_ & 4));
        return;
    case SourceOnly:
        enabler.SetText(BarText(StringId::SourceTraceOnly));
        enabler.Enable((availableModes_ & 8) != 0);
        return;
    default: return;
    }
}

} // namespace ChartDraw
