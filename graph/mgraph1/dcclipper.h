// Narrows a device context's clipping to a rectangle and puts it back.
#pragma once

#include "platform/win/wingdi.h"

namespace MGraph1 {

class DCClipper {
public:
    // With `saveState` the context's whole state is saved before the first narrowing and restored by Restore;
    // without it Restore removes the clip region.
    DCClipper(HDC dc, bool saveState) : dc_(dc), saveState_(saveState) {}
    ~DCClipper() { Restore(); }
    DCClipper(const DCClipper&) = delete;
    DCClipper& operator=(const DCClipper&) = delete;

    void IntersectRect(const RECT& rect);
    void Restore();

private:
    HDC dc_;
    bool saveState_;
    bool active_ = false;
};

} // namespace MGraph1
