#include "chartdraw/controlwindows.h"

#include "chartdraw/datapane.h"
#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "resources/chartdrawresources.h"

#include <array>
#include <charconv>
#include <cmath>
#include <map>

namespace ChartDraw {
namespace {
constexpr std::array<double, kZoomCommandEnd - kFirstZoomCommand> kZoomRatios{
    0.1, 0.2, 0.5, 1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000, 50000, 100000, 200000, 500000};

bool IsZoomCommand(UINT command) { return command >= kFirstZoomCommand && command < kZoomCommandEnd; }

std::u16string General3(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 3);
    return std::u16string(buffer, result.ptr);
}

class MenuItemEnabler final : public owl::TCommandEnabler {
public:
    MenuItemEnabler(HMENU menu, UINT id, HWND receiver) : TCommandEnabler(id, receiver), menu_(menu) {}
    void SetCheck(int check) override
    {
        Flags |= WasHandled;
        ::CheckMenuItem(menu_, Id, MF_BYCOMMAND | (check == Checked ? MF_CHECKED : MF_UNCHECKED));
    }

private:
    HMENU menu_;
};
}

const KVO::String& ChartText(UINT id)
{
    static std::map<UINT, KVO::String> texts;
    auto found = texts.find(id);
    if (found == texts.end()) {
        found = texts.emplace(id, KVO::LoadResourceString(KVO::ModuleInstance(), id, true)).first;
    }
    return found->second;
}

double ZoomRatio(UINT command) { return IsZoomCommand(command) ? kZoomRatios[command - kFirstZoomCommand] : 0.0; }

std::u16string FormatCompression(LONGLONG numerator, LONGLONG denominator)
{
    const double value = static_cast<double>(numerator) / static_cast<double>(denominator);
    if (value > 999.999) {
        return General3(value / 1000) + u"k:1";
    }
    if (value >= 1) {
        return General3(value) + u":1";
    }
    if (value == 0) {
        return u"x?";
    }
    return u"x" + General3(1 / value);
}

// ---------------------------------------------------------------------------------------------------------------
// The scroll bar

ScrollBarWin::ScrollBarWin(owl::TWindow* parent, DataPane* owner)
    : TScrollBar(parent, 100, 0, 0, 0, 0, true), owner_(owner)
{
    Attr.Style &= ~(WS_TABSTOP | WS_GROUP);
}

void ScrollBarWin::Move(const RECT& rect)
{
    if (GetHandle()) {
        MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, false);
    }
}

bool ScrollBarWin::IsEnabled() const { return GetHandle() && IsWindowEnabled(); }

bool ScrollBarWin::Enable(bool on)
{
    if (!GetHandle()) {
        return false;
    }
    return EnableWindow(on);
}

void ScrollBarWin::GetScrollInfo(SCROLLINFO& info) const { TScrollBar::GetScrollInfo(&info); }

void ScrollBarWin::SetScrollInfo(const SCROLLINFO& info, bool redraw)
{
    if (GetHandle()) {
        SCROLLINFO copy = info;
        TScrollBar::SetScrollInfo(&copy, redraw);
    }
}

void ScrollBarWin::SetPageMagnitude(int value)
{
    if (GetHandle()) {
        PageMagnitude = value;
    }
}

void ScrollBarWin::Invalidate()
{
    if (GetHandle()) {
        TScrollBar::Invalidate(false);
    }
}

void ScrollBarWin::EvHScroll(owl::uint scrollCode, owl::uint, HWND)
{
    if (owner_ && scrollCode <= SB_ENDSCROLL) {
        owner_->ScrollLines(static_cast<ScrollCode>(scrollCode));
    }
}

owl::TResult ScrollBarWin::WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2)
{
    // The bar's own notices, reflected from its parent or sent by the data window's accelerators.
    if (message == WM_HSCROLL) {
        EvHScroll(LOWORD(p1), HIWORD(p1), reinterpret_cast<HWND>(p2));
        return 0;
    }
    return TScrollBar::WindowProc(message, p1, p2);
}

// ---------------------------------------------------------------------------------------------------------------
// The zoom bar

ZoomControlWin::ZoomControlWin(owl::TWindow* parent, DataPane* owner, DWORD style)
    : UxNoEraseGadgetWindow(parent, Horizontal, KVOControls::NewGadgetFont()), owner_(owner)
{
    Attr.Style &= ~WS_BORDER;
    if (style & kClipSiblings) {
        Attr.Style |= WS_CLIPSIBLINGS;
    }
    SetShrinkWrap(true, true);
    SetMargins(owl::TGadget::TMargins{});
    if (style & kShowLatest) {
        showLatest_ = new UxSizableButtonGadget(ShowLatest, owl::TResId(PictureId::ShowLatest));
    }
    const LANGID language = owl::GetApplicationObject().GetLangId();
    if (auto resource = KVOControls::MenuResource::Load(KVO::ModuleInstance(), u"XCOMPRESSEXPAND", language);
        resource && resource->Template()) {
        owl::TMenu menu(resource->Template());
        ratio_ = new KVO::UxButtonMenuGadget(this, menu, u"", 0, owl::TResId(0));
    }
    compress_ = new UxSizableButtonGadget(Compress, owl::TResId(PictureId::Compress));
    expand_ = new UxSizableButtonGadget(Expand, owl::TResId(PictureId::Expand));
    if (style & kAutoscale) {
        autoscale_ = new UxSizableButtonGadget(Autoscale, owl::TResId(PictureId::AutoscaleHorizontal));
    }
    for (owl::TGadget* gadget : std::initializer_list<owl::TGadget*>{showLatest_, autoscale_, compress_, ratio_, expand_}) {
        if (gadget) {
            Insert(*gadget);
        }
    }
}

// The gadgets belong to the gadget window, which deletes them with itself.
ZoomControlWin::~ZoomControlWin() { Destroy(); }

UxSizableButtonGadget* ZoomControlWin::Button(UINT command) const
{
    switch (command) {
    case ShowLatest: return showLatest_;
    case Compress: return compress_;
    case Expand: return expand_;
    case Autoscale: return autoscale_;
    default: return nullptr;
    }
}

void ZoomControlWin::SetupWindow()
{
    UxNoEraseGadgetWindow::SetupWindow();
    if (!ratio_) {
        return;
    }
    // Every button is as wide as the widest ratio text.
    const owl::tstring old = ratio_->GetText();
    ratio_->SetShrinkWrap(true, true);
    ratio_->SetButtonText(u" 5000:1 ");
    owl::TSize measured;
    ratio_->GetDesiredSize(measured);
    ratio_->SetShrinkWrap(false, true);
    ratio_->SetButtonText(old.c_str());
    for (UxSizableButtonGadget* button : {showLatest_, autoscale_, compress_, expand_}) {
        if (button) {
            button->SetShrinkWrap(false, true);
        }
    }
    for (owl::TGadget* gadget : std::initializer_list<owl::TGadget*>{ratio_, showLatest_, autoscale_, compress_, expand_}) {
        if (gadget) {
            gadget->SetBounds(owl::TRect(0, 0, measured.cx, measured.cy));
        }
    }
    LayoutSession();
}

void ZoomControlWin::Move(const RECT& rect)
{
    if (!GetHandle()) {
        return;
    }
    ShowWindow(rect.right > rect.left && rect.bottom > rect.top ? SW_SHOWNA : SW_HIDE);
    MoveWindow(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, false);
}

bool ZoomControlWin::IsEnabled() const { return GetHandle() && IsWindowEnabled(); }

bool ZoomControlWin::Enable(bool on) { return GetHandle() ? EnableWindow(on) : false; }

void ZoomControlWin::FormatRatio(std::u16string& text, LONGLONG numerator, LONGLONG denominator) const
{
    text = FormatCompression(numerator, denominator);
}

void ZoomControlWin::SetRatio(LONGLONG numerator, LONGLONG denominator)
{
    std::u16string text;
    FormatRatio(text, numerator, denominator);
    SetText(text.c_str());
}

void ZoomControlWin::GetDesiredSize(SIZE& size)
{
    owl::TSize desired;
    UxNoEraseGadgetWindow::GetDesiredSize(desired);
    size.cx = desired.cx;
    size.cy = ratio_ ? ratio_->GetBounds().Height() : 0;
}

void ZoomControlWin::SetText(LPCWSTR text)
{
    if (ratio_) {
        ratio_->SetButtonText(text);
        ratio_->Invalidate();
    }
}

void ZoomControlWin::ShowFollowing(bool following)
{
    if (!showLatest_) {
        return;
    }
    const bool pulse = !following && owner_ && owner_->IsLive();
    showLatest_->SetVisualState(pulse ? (UxSizableButtonGadget::HotBit | UxSizableButtonGadget::PressedBit) : 0);
}

HRESULT ZoomControlWin::RatioForCommand(KVORationalImp& ratio, UINT command) const
{
    if (!IsZoomCommand(command)) {
        return E_INVALIDARG;
    }
    ratio = KVORationalImp::FromDouble(ZoomRatio(command));
    return S_OK;
}

void ZoomControlWin::Invalidate()
{
    if (GetHandle()) {
        UxNoEraseGadgetWindow::Invalidate(true);
    }
}

owl::TResult ZoomControlWin::EvCommand(owl::uint id, HWND control, owl::uint notifyCode)
{
    if (!owner_) {
        return UxNoEraseGadgetWindow::EvCommand(id, control, notifyCode);
    }
    if (IsZoomCommand(id)) {
        owner_->OnZoomCommand(1, id);
        return 0;
    }
    switch (id) {
    case Expand: owner_->ZoomStep(true); return 0;
    case Compress: owner_->ZoomStep(false); return 0;
    case Autoscale: owner_->HorizontalAutoscale(0); return 0;
    case ShowLatest: owner_->GoToNewest(); return 0;
    case ToggleFollow:
        owner_->OnFollowChanging(!showLatest_ || showLatest_->GetButtonState() == owl::TButtonGadget::Up, true);
        return 0;
    default: return UxNoEraseGadgetWindow::EvCommand(id, control, notifyCode);
    }
}

void ZoomControlWin::EvCommandEnable(owl::TCommandEnabler& enabler)
{
    if (!owner_) {
        return;
    }
    const UINT id = enabler.GetId();
    switch (id) {
    case Expand: {
        const bool on = owner_->IsWindowEnabled(1);
        enabler.SetText(ChartText(StringId::ExpandHorizontal));
        enabler.Enable(on);
        if (expand_) {
            expand_->SetEnabled(on);
        }
        return;
    }
    case Compress:
        enabler.SetText(ChartText(StringId::CompressHorizontal));
        enabler.Enable(owner_->IsWindowEnabled(2));
        return;
    case SetScaling:
        enabler.SetText(ChartText(StringId::SetHorizontalScaling));
        enabler.Enable(owner_->IsWindowEnabled(3));
        return;
    case Autoscale:
        enabler.SetText(autoscaleText_.IsEmpty() ? ChartText(StringId::AutoscaleHorizontal).c_str()
                                                 : autoscaleText_.c_str());
        enabler.Enable(owner_->IsWindowEnabled(4));
        return;
    case ShowLatest: enabler.SetText(ChartText(StringId::ShowLatestData)); return;
    case ToggleFollow: enabler.SetText(ChartText(StringId::ToggleFollow)); return;
    default:
        if (IsZoomCommand(id)) {
            owner_->OnZoomCommandEnable(1, enabler);
        }
    }
}

void ZoomControlWin::EvLButtonDown(owl::uint modKeys, const owl::TPoint& point)
{
    // Off and on again: any tip shown goes away.
    if (GetTooltip()) {
        EnableTooltip(false);
        EnableTooltip(true);
    }
    UxNoEraseGadgetWindow::EvLButtonDown(modKeys, point);
}

void ZoomControlWin::EvLButtonUp(owl::uint modKeys, const owl::TPoint& point)
{
    if (owner_ && owner_->Window()) {
        ::SetFocus(owner_->Window());
    }
    if (GetTooltip()) {
        EnableTooltip(true);
    }
    UxNoEraseGadgetWindow::EvLButtonUp(modKeys, point);
}

owl::TResult ZoomControlWin::WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2)
{
    if (message == WM_INITMENUPOPUP && owner_) {
        // The menu is rebuilt with this window's texts and the present compression checked.
        HMENU menu = reinterpret_cast<HMENU>(p1);
        owner_->BuildZoomMenu(menu, kFirstZoomCommand, kZoomCommandEnd);
        for (UINT id = kFirstZoomCommand; id < kZoomCommandEnd; ++id) {
            MenuItemEnabler enabler(menu, id, GetHandle());
            owner_->OnZoomCommandEnable(1, enabler);
        }
        return 0;
    }
    return UxNoEraseGadgetWindow::WindowProc(message, p1, p2);
}

} // namespace ChartDraw
