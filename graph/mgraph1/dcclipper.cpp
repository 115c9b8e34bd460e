#include "graph/mgraph1/dcclipper.h"

namespace MGraph1 {

void DCClipper::IntersectRect(const RECT& rect)
{
    if (!active_ && saveState_) {
        SaveDC(dc_);
    }
    active_ = true;
    IntersectClipRect(dc_, rect.left, rect.top, rect.right, rect.bottom);
}

void DCClipper::Restore()
{
    if (!active_) {
        return;
    }
    if (saveState_) {
        RestoreDC(dc_, -1);
    } else {
        SelectClipRgn(dc_, nullptr);
    }
    active_ = false;
}

} // namespace MGraph1
