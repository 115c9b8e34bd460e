// Image lists: the images are kept as pixels with a shows-or-not mask and drawn run by run.
#include "platform/gdi/image.h"
#include "platform/win/commctrl.h"

#include <functional>
#include <memory>
#include <set>
#include <vector>

struct IMAGELIST__ {
    int cx = 0;
    int cy = 0;
    bool masked = false;
    std::vector<gdi::Image> images;
    std::vector<std::vector<bool>> shows;
};

namespace {
std::set<HIMAGELIST>& Lists()
{
    static auto* lists = new std::set<HIMAGELIST>;
    return *lists;
}

bool Valid(HIMAGELIST list) { return list && Lists().count(list); }

int AddImages(HIMAGELIST list, HBITMAP image, const std::function<bool(int, int, COLORREF)>& shows)
{
    if (!Valid(list)) {
        return -1;
    }
    const gdi::Image picture = gdi::ImageOfBitmap(image);
    if (picture.width < list->cx || picture.height < list->cy) {
        return -1;
    }
    const int first = static_cast<int>(list->images.size());
    for (int left = 0; left + list->cx <= picture.width; left += list->cx) {
        gdi::Image one;
        one.width = list->cx;
        one.height = list->cy;
        std::vector<bool> mask;
        for (int y = 0; y < list->cy; ++y) {
            for (int x = 0; x < list->cx; ++x) {
                const COLORREF colour = picture.at(left + x, y);
                one.pixels.push_back((GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour));
                mask.push_back(!list->masked || shows(left + x, y, colour));
            }
        }
        list->images.push_back(std::move(one));
        list->shows.push_back(std::move(mask));
    }
    return first;
}
}

namespace platform {
int LiveImageListCount() { return static_cast<int>(Lists().size()); }
}

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int, int)
{
    if (cx <= 0 || cy <= 0) {
        return nullptr;
    }
    auto* list = new IMAGELIST__;
    list->cx = cx;
    list->cy = cy;
    list->masked = flags & ILC_MASK;
    Lists().insert(list);
    return list;
}

BOOL ImageList_Destroy(HIMAGELIST list)
{
    if (!Valid(list)) {
        return FALSE;
    }
    Lists().erase(list);
    delete list;
    return TRUE;
}

int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF mask)
{
    return AddImages(list, image, [&](int, int, COLORREF colour) { return colour != mask; });
}

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask)
{
    const gdi::Image maskPicture = mask ? gdi::ImageOfBitmap(mask) : gdi::Image{};
    return AddImages(list, image, [&](int x, int y, COLORREF) {
        return !mask || x >= maskPicture.width || y >= maskPicture.height || maskPicture.at(x, y) == RGB(0, 0, 0);
    });
}

int ImageList_GetImageCount(HIMAGELIST list) { return Valid(list) ? static_cast<int>(list->images.size()) : 0; }

BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy)
{
    if (!Valid(list) || !cx || !cy) {
        return FALSE;
    }
    *cx = list->cx;
    *cy = list->cy;
    return TRUE;
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC hdc, int x, int y, UINT)
{
    if (!Valid(list) || index < 0 || index >= static_cast<int>(list->images.size())) {
        return FALSE;
    }
    const gdi::Image& image = list->images[static_cast<std::size_t>(index)];
    const std::vector<bool>& shows = list->shows[static_cast<std::size_t>(index)];
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), image.width, -image.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(hdc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        return FALSE;
    }
    auto* pixels = static_cast<std::uint32_t*>(bits);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        pixels[i] = 0xFF000000u | image.pixels[i];
    }
    HDC memory = CreateCompatibleDC(hdc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    for (int row = 0; row < image.height; ++row) {
        int col = 0;
        while (col < image.width) {
            while (col < image.width && !shows[static_cast<std::size_t>(row) * image.width + col]) {
                ++col;
            }
            const int start = col;
            while (col < image.width && shows[static_cast<std::size_t>(row) * image.width + col]) {
                ++col;
            }
            if (col > start) {
                BitBlt(hdc, x + start, y + row, col - start, 1, memory, start, row, SRCCOPY);
            }
        }
    }
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
    return TRUE;
}
