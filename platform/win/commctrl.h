// Common controls: image lists and the up-down control.
#pragma once

#include "platform/win/wingdi.h"
#include "platform/win/winuser.h"

// Image lists: equal-sized images, each with a mask of the pixels that show.
struct IMAGELIST__;
using HIMAGELIST = IMAGELIST__*;
inline constexpr UINT ILC_MASK = 0x1;
inline constexpr UINT ILC_COLOR24 = 0x18;
inline constexpr UINT ILC_COLOR32 = 0x20;
inline constexpr UINT ILD_NORMAL = 0x0;
inline constexpr UINT ILD_TRANSPARENT = 0x1;
HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST list);
// Adds the images of a bitmap (as many as its width holds); pixels of the mask colour become transparent.
// Returns the index of the first image added, or -1.
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF mask);
// With a mask bitmap, its black pixels show and its white ones are transparent.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy);
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC hdc, int x, int y, UINT style);

namespace platform {
// Image lists alive now (tests check that their users destroy theirs).
int LiveImageListCount();
}
