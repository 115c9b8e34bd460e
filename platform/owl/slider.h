// OWL's sliders over the trackbar: a scroll bar object whose range, position and ruler live in a trackbar, so that
// the scroll notices its parent reflects reach its SB handlers as they do for a scroll bar.
#pragma once

#include "platform/owl/control.h"
#include "platform/win/commctrl.h"

namespace owl {

class TSlider : public TScrollBar {
public:
    TSlider(TWindow* parent, int resourceId, TModule* module = nullptr) : TScrollBar(parent, resourceId, module) {}
    LPCWSTR GetClassName() override { return TRACKBAR_CLASSW; }
    void SetupWindow() override;

    void GetRange(int& min, int& max) const;
    void SetRange(int min, int max, bool redraw = true);
    int GetPosition() const { return static_cast<int>(SendMessage(TBM_GETPOS)); }
    void SetPosition(int position, bool redraw = true) override;
    int DeltaPos(int delta) override;
    // A tick every `ticGap` positions.
    void SetRuler(int ticGap, bool snap = false);

    void SBTop() override;
    void SBBottom() override;
};

class THSlider : public TSlider {
public:
    using TSlider::TSlider;
};

} // namespace owl
