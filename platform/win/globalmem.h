// Global memory blocks, as clipboard data travels in them. A fixed block's handle is its address; a moveable
// block's handle is a token that GlobalLock turns into the address.
#pragma once

#include "platform/win/wintypes.h"

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
inline constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block); // FALSE once the block is no longer locked
SIZE_T GlobalSize(HGLOBAL block);
HGLOBAL GlobalFree(HGLOBAL block); // null on success, the handle when it is not a live block

namespace platform {
// Number of live global blocks (tests check for leaks).
int LiveGlobalBlocks();
}
