// The default colour cycles of traces: a basic table for few-colour screens and the host's own colours, and the
// 37-colour scheme with its two companion tables.
#pragma once

#include "sdk/hostservices.h"

#include <array>

namespace KVO {

inline constexpr std::array<COLORREF, 21> kBasicColours = {
    0x0000FF, 0xFF0000, 0x008000, 0xFF00FF, 0x800000, 0x000080, 0x008080, 0x800080, 0x808000, 0x000000, 0x00FF00,
    0xFFFF00, 0x0080FF, 0x8000FF, 0xFF0080, 0x004080, 0xC08000, 0x00A0E0, 0xFF8000, 0xC08080, 0x00FFFF};

inline constexpr std::array<COLORREF, 37> kSchemeColours = {
    0x0000D5, 0x0058EA, 0x0080AA, 0x00BFA8, 0x00AA55, 0x006A0E, 0x208000, 0x6AAA00, 0xAAAA00, 0xEA9300,
    0xFF4000, 0x950013, 0xD5006A, 0xBF00A8, 0x9F00D5, 0x5800EA, 0x6A6A6A, 0x000000, 0xFF55EA, 0xDA6AFF,
    0xAF80FF, 0x6A6AFF, 0x6AA3FF, 0x55D5FF, 0x6AFFED, 0x55FFAA, 0x2BFF45, 0x70FF40, 0xBFFF55, 0xFFFF40,
    0xFFC86A, 0xFF8F6A, 0xFF6A7D, 0xFF6AB5, 0xB5B5B5, 0x8A8A8A, 0x555555};

// The two companion tables of the scheme.
inline constexpr std::array<COLORREF, 37> kSchemeColoursSecond = [] {
    auto table = kSchemeColours;
    table[17] = 0x343434;
    table[34] = 0xBFBFBF;
    return table;
}();

inline constexpr std::array<COLORREF, 37> kSchemeColoursThird = [] {
    auto table = kSchemeColours;
    constexpr COLORREF kFirst[18] = {0x3535FF, 0x2769F3, 0x00B5FF, 0x00F4FB, 0x5EFBFF, 0x14E4A6,
                                     0x00D71B, 0x6DFF25, 0xBCEB01, 0xE1CF2B, 0xF19701, 0xFF6A2A,
                                     0xFF8FA2, 0xCE0FB7, 0xA607DC, 0xBA07F5, 0x959595, 0xFFFFFF};
    for (std::size_t i = 0; i < 18; ++i) {
        table[i] = kFirst[i];
    }
    table[24] = 0x60F5E3;
    return table;
}();

// Order tables: positions within the cycle, in the order in which drawers hand colours to further traces. The
// basic table is already ordered for contrast; the scheme's cycle is walked in steps of 7 (of 19), so that
// neighbouring traces get colours far apart on the colour wheel.
inline constexpr std::array<WORD, 11> kBasicOrder = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
inline constexpr std::array<WORD, 29> kSchemeOrder = [] {
    std::array<WORD, 29> order{};
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = static_cast<WORD>((i * 7) % 19);
    }
    return order;
}();

// The selected colour state.
struct DefaultColourState {
    const COLORREF* table = nullptr; // the selected table
    int tableLength = 0;
    int cycleLength = 0; // traces cycle through table[cycleStart .. cycleStart + cycleLength - 1]
    int cycleStart = 0;
    const COLORREF* second = nullptr; // the scheme's companions (null for the basic table)
    const COLORREF* third = nullptr;
    const WORD* order = nullptr;
    int orderLength = 0;
    int mode = -1;
    bool selected = false;
};

// Chooses the colour state for a mode (1: no colour source, 0: with one), once per mode: on screens of fewer than
// 9 bits per pixel the first 12 basic colours; else the first 20 basic colours for mode 1, or the last 19 of the
// 37-colour scheme for mode 0.
void SelectDefaultPalette(int mode);
const DefaultColourState& GetDefaultColourState();

// The colour of trace `index`: with a source, the source's colour (mode 0); without, the selected cycle's entry for
// the index taken as 16 bits (mode 1).
COLORREF GetDefaultTraceColor(IDisplayColours* source, int index);

} // namespace KVO
