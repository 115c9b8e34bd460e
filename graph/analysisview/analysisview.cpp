#include "graph/analysisview/analysisview.h"

#include "controls/popupmenu.h"
#include "document/cxdoc.h"
#include "document/messageids.h"
#include "foundation/stringstream.h"
#include "graph/analysisview/analysisplot.h"
#include "graph/analysisview/analysisscrollbar.h"
#include "platform/owl/gadgetwindow.h"
#include "resources/stringtable.h"
#include "sdk/analysishost.h"

namespace {

// The host's notice that the document's display colours or grid options changed.
DWORD HostDisplayNoticeId() { return (static_cast<DWORD>(CX::Msg::HostChartMessageClassId()) << 16) | kChartDisplayNotice; }

} // namespace

CAF::MessageMapEntry* AnalysisView::MessageMapEntries()
{
    using Map = CAF::MapOf<AnalysisView>;
    static CAF::MessageMapEntry entries[] = {
        Map::Header(),
        Map::Observer<&AnalysisView::OnHostDisplayNotice>(&HostDisplayNoticeId),
        Map::End(),
    };
    return entries;
}

void AnalysisView::OnHostDisplayNotice()
{
    if (plot_) {
        plot_->ApplyHostColours();
    }
}

AnalysisView::AnalysisView(owl::TWindow* parent, IHostDocument* document, IHostView* hostView, owl::TModule* module,
                           DWORD flags)
    : CXViewBase(parent, document, hostView, u"Crestmetrics Analysis View", module, flags)
{
    toolbar_ = new owl::TGadgetWindow(this, owl::TGadgetWindow::Horizontal);
    toolbar_->SetShrinkWrap(false, false);
    valueMenu_ = new PopupMenu(this, module);
    valueMenu_->SetArrowStyle(true);
    auto* holder = new owl::TControlGadget(*valueMenu_, owl::TGadget::None);
    holder->SetShrinkWrap(true, true);
    toolbar_->Insert(*holder);
    label_ = new owl::TTextGadget(0, owl::TGadget::Recessed, owl::TTextGadget::Left, 10, u"");
    label_->SetShrinkWrap(true, false);
    toolbar_->Insert(*label_);
    scrollBar_ = new AnalysisScrollBar(this);
    plot_ = new AnalysisPlot(this, Document());
}

AnalysisView::~AnalysisView() = default;

void AnalysisView::GetWindowClass(WNDCLASSW& wc)
{
    CXViewBase::GetWindowClass(wc);
    wc.style |= CS_HREDRAW | CS_VREDRAW;
}

KVO::String AnalysisView::CopyCommandText()
{
    static KVO::String text;
    return CachedText(text, StringId::CopyAnalysisView, false);
}

KVO::String AnalysisView::PrintCommandText()
{
    static KVO::String text;
    return CachedText(text, StringId::PrintAnalysisView, false);
}

KVO::String AnalysisView::Title()
{
    KVO::OStringStream title;
    title << GetHostDocumentName() << u": " << ViewName();
    return title.str();
}

void AnalysisView::DrawInto(HDC target, HDC attribute, const RECT& rect)
{
    if (plot_) {
        plot_->DrawToDC(target, attribute, rect);
    }
}

void AnalysisView::SetupWindow()
{
    CXViewBase::SetupWindow();
    if (CX::Doc::CXDoc* document = Document()) {
        document->AttachView(this);
    }
    toolbar_->EnableTooltip(true);
    label_->SetSize(owl::TSize(20, 20));
    scrollBarHeight_ = GetSystemMetrics(SM_CYHSCROLL);
    UpdateScrollBar();
    RebuildValueMenu();
}

void AnalysisView::CleanupWindow()
{
    if (CX::Doc::CXDoc* document = Document()) {
        document->DetachView(this);
    }
    CXViewBase::CleanupWindow();
}

void AnalysisView::SelectEvent(std::int32_t index, DWORD flags)
{
    if (CX::Doc::CXDoc* document = Document()) {
        document->SelectEvent(index, flags);
    }
}

void AnalysisView::ShowCurrentEventInChart()
{
    if (CX::Doc::CXDoc* document = Document()) {
        document->ShowCurrentEventInChart();
    }
}

void AnalysisView::EvSize(owl::uint sizeType, const owl::TSize& size)
{
    CXViewBase::EvSize(sizeType, size);
    const owl::TRect client = GetClientRect();
    const int w = client.Width();
    const int h = client.Height();
    if (w < 1 || h < 1) {
        return;
    }
    const int s = scrollBarHeight_;
    const UINT quiet = SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
    if (scrollBar_->GetHandle()) {
        scrollBar_->SetWindowPos(nullptr, 0, h - s - kToolbarHeight, w, s, quiet);
    }
    if (toolbar_->GetHandle()) {
        toolbar_->SetWindowPos(nullptr, 0, h - kToolbarHeight, w, kToolbarHeight, quiet);
    }
    if (plot_->GetHandle()) {
        plot_->MoveWindow(0, 0, w, std::max(0, h - kToolbarHeight - s), true);
    }
    if (scrollBar_->GetHandle()) {
        scrollBar_->Invalidate(true);
    }
    if (toolbar_->GetHandle()) {
        toolbar_->Invalidate(true);
    }
    UpdateScrollBar();
}

void AnalysisView::UpdateScrollBar()
{
    if (!scrollBar_->GetHandle()) {
        return;
    }
    CX::Doc::CXDoc* document = Document();
    const CX::Doc::CycleDetector* results = document ? document->Results() : nullptr;
    const std::int32_t n = results ? results->EventCount() : 0;
    if (n == 0) {
        scrollBar_->EnableWindow(false);
        return;
    }
    scrollBar_->EnableWindow(true);
    const int step = AnalysisScrollBar::ThumbStep(GetClientRect().Width(), n);
    scrollBar_->SetRange(0, step * n, true);
    scrollBar_->SetPageSize(static_cast<owl::uint>(step), true);
    scrollBar_->SetPosition(document->CurrentEvent() * step, true);
}

void AnalysisView::RebuildValueMenu()
{
    while (valueMenu_->GetMenuItemCount() > 0) {
        valueMenu_->DeleteMenu(0, MF_BYPOSITION);
    }
    CX::ParamIdSet* overlays = plot_ ? plot_->Overlays() : nullptr;
    const std::vector<KVO::String> names = overlays ? overlays->ValueMenuNames() : std::vector<KVO::String>();
    if (chosenRow_ >= static_cast<std::int32_t>(names.size())) {
        chosenRow_ = 0;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        valueMenu_->AppendMenu(MF_STRING, kFirstValueCommand + i, names[i].c_str());
    }
    if (!names.empty()) {
        valueMenu_->Check(kFirstValueCommand + static_cast<UINT>(chosenRow_));
    }
}

KVO::String AnalysisView::EventLabel() const
{
    CX::Doc::CXDoc* document = Document();
    const CX::Doc::CycleDetector* results = document ? document->Results() : nullptr;
    const std::int32_t n = results ? results->EventCount() : 0;
    if (n == 0 || !plot_ || !plot_->Overlays()) {
        return KVO::String(u"No Events");
    }
    KVO::OStringStream label;
    label << plot_->Overlays()->ValueText(chosenRow_);
    // An index outside the events (below 0 too) shows the empty record without a place in the list.
    const std::int32_t i = document->CurrentEvent();
    if (i >= 0 && i < n) {
        label << u", Event " << static_cast<long long>(i) + 1 << u" of " << static_cast<long long>(n) << u".";
    }
    return label.str();
}

void AnalysisView::UpdateEventLabel() { label_->SetText(EventLabel().c_str()); }

void AnalysisView::Refresh()
{
    if (plot_ && plot_->Graph()) {
        plot_->Redraw();
    }
    RebuildValueMenu();
    UpdateEventLabel();
    if (!scrollBar_->IsTracking()) {
        UpdateScrollBar();
    }
}

owl::TResult AnalysisView::EvCommand(owl::uint id, HWND hWndCtl, owl::uint notifyCode)
{
    if (id >= kFirstValueCommand && notifyCode == 0) {
        valueMenu_->CheckMenuItem(kFirstValueCommand + static_cast<UINT>(chosenRow_), MF_BYCOMMAND | MF_UNCHECKED);
        valueMenu_->CheckMenuItem(id, MF_BYCOMMAND | MF_CHECKED);
        chosenRow_ = static_cast<std::int32_t>(id - kFirstValueCommand);
        UpdateEventLabel();
    }
    return CXViewBase::EvCommand(id, hWndCtl, notifyCode);
}

int AnalysisView::ScrollCodeOfKey(UINT key)
{
    switch (key) {
    case VK_PRIOR:
        return SB_PAGELEFT;
    case VK_NEXT:
        return SB_PAGERIGHT;
    case VK_END:
        return SB_RIGHT;
    case VK_HOME:
        return SB_LEFT;
    case VK_LEFT:
    case VK_UP:
        return SB_LINELEFT;
    case VK_RIGHT:
    case VK_DOWN:
        return SB_LINERIGHT;
    default:
        return -1;
    }
}

bool AnalysisView::PreProcessMsg(MSG& msg)
{
    if (CXViewBase::PreProcessMsg(msg)) {
        return true;
    }
    if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP) {
        return false;
    }
    const int code = ScrollCodeOfKey(static_cast<UINT>(msg.wParam));
    if (code < 0) {
        return false;
    }
    const int sent = msg.message == WM_KEYDOWN ? code : SB_ENDSCROLL;
    SendMessage(WM_HSCROLL, MAKEWPARAM(sent, 0), reinterpret_cast<LPARAM>(scrollBar_->GetHandle()));
    return true;
}

bool AnalysisView::EvMouseWheel(owl::uint, int, const owl::TPoint&)
{
    KillTimer(kWheelTimer);
    SetTimer(kWheelTimer, 400);
    return true;
}

void AnalysisView::EvTimer(owl::uint timerId)
{
    if (timerId == kWheelTimer) {
        KillTimer(kWheelTimer);
        return;
    }
    CXViewBase::EvTimer(timerId);
}
