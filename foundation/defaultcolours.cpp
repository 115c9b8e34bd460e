#include "foundation/defaultcolours.h"

#include "platform/win/sysinfo.h"

namespace {
KVO::DefaultColourState g_state;
}

namespace KVO {

void SelectDefaultPalette(int mode)
{
    if (g_state.selected && g_state.mode == mode) {
        return;
    }
    DefaultColourState state;
    state.mode = mode;
    state.selected = true;
    // The screen's depth stands for GetDeviceCaps(screen, BITSPIXEL).
    if (platform::ScreenBitsPerPixel() < 9) {
        state.table = kBasicColours.data();
        state.tableLength = 12;
        state.cycleLength = 12;
        state.order = kBasicOrder.data();
        state.orderLength = static_cast<int>(kBasicOrder.size());
    } else if (mode == 1) {
        state.table = kBasicColours.data();
        state.tableLength = 20;
        state.cycleLength = 20;
        state.order = kBasicOrder.data();
        state.orderLength = static_cast<int>(kBasicOrder.size());
    } else {
        state.table = kSchemeColours.data();
        state.tableLength = static_cast<int>(kSchemeColours.size());
        state.cycleLength = 19;
        state.cycleStart = 18;
        state.second = kSchemeColoursSecond.data();
        state.third = kSchemeColoursThird.data();
        state.order = kSchemeOrder.data();
        state.orderLength = static_cast<int>(kSchemeOrder.size());
    }
    g_state = state;
}

const DefaultColourState& GetDefaultColourState() { return g_state; }

COLORREF GetDefaultTraceColor(IDisplayColours* source, int index)
{
    if (source) {
        SelectDefaultPalette(0);
        COLORREF colour = 0;
        source->GetColour(index, &colour);
        return colour;
    }
    SelectDefaultPalette(1);
    const auto position = static_cast<WORD>(index) % static_cast<unsigned>(g_state.cycleLength);
    return g_state.table[position + static_cast<unsigned>(g_state.cycleStart)];
}

} // namespace KVO
