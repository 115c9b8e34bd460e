#include "platform/owl/slider.h"

namespace owl {

// The trackbar keeps its own range (0..100 by default); a scroll bar's range calls would not reach it.
void TSlider::SetupWindow() { TControl::SetupWindow(); }

void TSlider::GetRange(int& min, int& max) const
{
    min = static_cast<int>(SendMessage(TBM_GETRANGEMIN));
    max = static_cast<int>(SendMessage(TBM_GETRANGEMAX));
}

void TSlider::SetRange(int min, int max, bool redraw)
{
    SendMessage(TBM_SETRANGEMIN, FALSE, min);
    SendMessage(TBM_SETRANGEMAX, redraw, max);
}

void TSlider::SetPosition(int position, bool redraw) { SendMessage(TBM_SETPOS, redraw, position); }

int TSlider::DeltaPos(int delta)
{
    const int old = GetPosition();
    if (delta != 0) {
        SetPosition(old + delta);
    }
    return GetPosition() - old;
}

void TSlider::SetRuler(int ticGap, bool) { SendMessage(TBM_SETTICFREQ, static_cast<WPARAM>(ticGap)); }

void TSlider::SBTop()
{
    int min = 0;
    int max = 0;
    GetRange(min, max);
    SetPosition(min);
}

void TSlider::SBBottom()
{
    int min = 0;
    int max = 0;
    GetRange(min, max);
    SetPosition(max);
}

} // namespace owl
