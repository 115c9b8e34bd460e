// An enhanced-metafile header record as bytes, for tests of the metafile calls.
#pragma once

#include "platform/win/wingdi.h"

#include <array>
#include <cstdint>

namespace testkit {
// The header alone (88 bytes): bounds in pixels, frame in .01 mm.
inline std::array<BYTE, 88> EnhMetaHeader(const RECT& bounds, const RECT& frame)
{
    std::array<BYTE, 88> bytes{};
    auto put = [&](std::size_t at, std::int32_t v) {
        for (int i = 0; i < 4; ++i) {
            bytes[at + i] = static_cast<BYTE>(static_cast<std::uint32_t>(v) >> (8 * i));
        }
    };
    put(0, EMR_HEADER);
    put(4, 88);
    const RECT rects[] = {bounds, frame};
    for (int r = 0; r < 2; ++r) {
        put(8 + 16 * r, rects[r].left);
        put(12 + 16 * r, rects[r].top);
        put(16 + 16 * r, rects[r].right);
        put(20 + 16 * r, rects[r].bottom);
    }
    put(40, static_cast<std::int32_t>(ENHMETA_SIGNATURE));
    put(48, 88);
    return bytes;
}
}
