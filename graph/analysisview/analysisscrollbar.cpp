#include "graph/analysisview/analysisscrollbar.h"

#include "document/cxdoc.h"
#include "graph/analysisview/analysisview.h"

#include <algorithm>
#include <climits>
#include <cmath>

AnalysisScrollBar::AnalysisScrollBar(owl::TWindow* parent) : owl::TScrollBar(parent, kId, 0, 0, 0, 0, true)
{
    Attr.Style &= ~WS_TABSTOP;
}

int AnalysisScrollBar::ThumbStep(int width, int count)
{
    if (count <= 0) {
        return std::max(width, 1);
    }
    const double step = std::trunc(static_cast<double>(width) / count * count);
    return static_cast<int>(std::clamp(step, 1.0, static_cast<double>(INT_MAX / count)));
}

AnalysisView* AnalysisScrollBar::View() const { return dynamic_cast<AnalysisView*>(GetParentO()); }

bool AnalysisScrollBar::Events(std::int32_t& current, std::int32_t& count) const
{
    const AnalysisView* view = View();
    CX::Doc::CXDoc* document = view ? view->Document() : nullptr;
    if (!document) {
        return false;
    }
    current = document->CurrentEvent();
    const CX::Doc::CycleDetector* results = document->Results();
    count = results ? results->EventCount() : 0;
    return true;
}

void AnalysisScrollBar::Select(std::int32_t index)
{
    if (AnalysisView* view = View()) {
        view->SelectEvent(index, kSelectFlags);
    }
}

void AnalysisScrollBar::SBLineDown()
{
    std::int32_t i = 0, n = 0;
    if (Events(i, n) && n > 0) {
        Select(std::min(i + 1, n - 1));
    }
}

void AnalysisScrollBar::SBLineUp()
{
    std::int32_t i = 0, n = 0;
    if (Events(i, n) && n > 0) {
        Select(std::min(std::max(i - 1, 0), n - 1));
    }
}

void AnalysisScrollBar::SBPageDown()
{
    std::int32_t i = 0, n = 0;
    if (Events(i, n) && n > 0) {
        Select(std::min(i + kPageEvents, n - 1));
    }
}

void AnalysisScrollBar::SBPageUp()
{
    std::int32_t i = 0, n = 0;
    if (Events(i, n) && n > 0) {
        Select(std::min(std::max(i - kPageEvents, 0), n - 1));
    }
}

void AnalysisScrollBar::SBTop()
{
    std::int32_t i = 0, n = 0;
    if (Events(i, n)) {
        Select(0);
    }
}

void AnalysisScrollBar::SBBottom()
{
    std::int32_t i = 0, n = 0;
    if (Events(i, n)) {
        Select(n - 1);
    }
}

std::int32_t AnalysisScrollBar::StepTo(int position)
{
    std::int32_t i = 0, n = 0;
    if (!Events(i, n)) {
        return lastThumbStep_;
    }
    const AnalysisView* view = View();
    const std::int32_t k = position / ThumbStep(view->GetClientRect().Width(), n);
    if (k != lastThumbStep_) {
        Select(k);
        lastThumbStep_ = k;
    }
    return k;
}

void AnalysisScrollBar::SBThumbTrack(int)
{
    tracking_ = true;
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_TRACKPOS;
    GetScrollInfo(&info);
    StepTo(info.nTrackPos);
    SetPosition(info.nTrackPos, true);
}

void AnalysisScrollBar::SBThumbPosition(int)
{
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_POS;
    GetScrollInfo(&info);
    std::int32_t i = 0, n = 0;
    if (!Events(i, n)) {
        return;
    }
    const std::int32_t k = StepTo(info.nPos);
    SetPosition(k * ThumbStep(View()->GetClientRect().Width(), n), true);
}

void AnalysisScrollBar::SBEndScroll()
{
    if (AnalysisView* view = View()) {
        view->ShowCurrentEventInChart();
    }
    tracking_ = false;
}
