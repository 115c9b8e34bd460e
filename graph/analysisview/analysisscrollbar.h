// The scroll bar under the analysis plot: each action makes another event current through the document, which
// refreshes the view; the view sets the bar's range and position back from the event count and current index.
#pragma once

#include "platform/owl/control.h"

class AnalysisView;

class AnalysisScrollBar : public owl::TScrollBar {
public:
    static constexpr int kId = 100;
    // The row is selected in the table as well.
    static constexpr DWORD kSelectFlags = 0x80000000u;
    // A page is two events.
    static constexpr int kPageEvents = 2;

    explicit AnalysisScrollBar(owl::TWindow* parent);

    // The thumb's steps per event for a view `width` pixels wide holding `count` events: the width where the
    // division allows it, at least 1, and never so large that the range (step × count) leaves an int.
    static int ThumbStep(int width, int count);

    void SBLineUp() override;
    void SBLineDown() override;
    void SBPageUp() override;
    void SBPageDown() override;
    void SBThumbPosition(int thumbPos) override;
    void SBThumbTrack(int thumbPos) override;
    void SBTop() override;
    void SBBottom() override;
    void SBEndScroll() override;

    bool IsTracking() const { return tracking_; }

private:
    AnalysisView* View() const;
    // The view's current event and event count; false without a view or a document.
    bool Events(std::int32_t& current, std::int32_t& count) const;
    void Select(std::int32_t index);
    // The event of a thumb position, selected when it is not the last one the thumb stepped to.
    std::int32_t StepTo(int position);

    std::int32_t lastThumbStep_ = 0;
    bool tracking_ = false;
};
