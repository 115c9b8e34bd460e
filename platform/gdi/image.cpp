#include "platform/gdi/image.h"

#include "platform/gdi/objects.h"
#include "platform/posix/atomicfile.h"

#include <cairo.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace gdi {

namespace {

cairo_status_t WriteToFile(void* closure, const unsigned char* data, unsigned int length)
{
    return static_cast<platform::AtomicFile*>(closure)->Write(data, length) ? CAIRO_STATUS_SUCCESS
                                                                              : CAIRO_STATUS_WRITE_ERROR;
}

} // namespace

COLORREF Image::at(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return CLR_INVALID;
    }
    return FromPixel(pixels[static_cast<std::size_t>(y) * width + x]);
}

Image ImageOfBitmap(HBITMAP handle)
{
    Image image;
    Bitmap* bitmap = AsBitmap(handle);
    if (!bitmap) {
        return image;
    }
    cairo_surface_flush(bitmap->surface);
    image.width = bitmap->width;
    image.height = bitmap->height;
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    const int stride = cairo_image_surface_get_stride(bitmap->surface);
    const unsigned char* data = cairo_image_surface_get_data(bitmap->surface);
    for (int y = 0; y < image.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < image.width; ++x) {
            image.pixels[static_cast<std::size_t>(y) * image.width + x] = row[x] & 0xFFFFFF;
        }
    }
    return image;
}

bool SavePng(const Image& image, const std::string& path)
{
    if (image.width <= 0 || image.height <= 0) {
        return false;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.width, image.height);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(data + static_cast<std::ptrdiff_t>(y) * stride,
                    image.pixels.data() + static_cast<std::size_t>(y) * image.width,
                    static_cast<std::size_t>(image.width) * 4);
    }
    cairo_surface_mark_dirty(surface);
    // Whole or not at all: a picture cut off by a full disk must not replace the old one.
    platform::AtomicFile file(path);
    const bool encoded =
        file.Good() && cairo_surface_write_to_png_stream(surface, WriteToFile, &file) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return encoded && file.Commit();
}

std::optional<Image> LoadPng(const std::string& path)
{
    cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return std::nullopt;
    }
    // Draw onto an opaque white surface so that any alpha in the file is flattened.
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    cairo_surface_t* flat = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(flat);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(flat);
    Image image;
    image.width = w;
    image.height = h;
    image.pixels.resize(static_cast<std::size_t>(w) * h);
    const int stride = cairo_image_surface_get_stride(flat);
    const unsigned char* data = cairo_image_surface_get_data(flat);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < w; ++x) {
            image.pixels[static_cast<std::size_t>(y) * w + x] = row[x] & 0xFFFFFF;
        }
    }
    cairo_surface_destroy(flat);
    cairo_surface_destroy(surface);
    return image;
}

ImageDifference CompareImages(const Image& a, const Image& b, int tolerance)
{
    ImageDifference result;
    result.sameSize = a.width == b.width && a.height == b.height;
    if (!result.sameSize) {
        return result;
    }
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        int delta = 0;
        for (int shift : {0, 8, 16}) {
            delta = std::max(delta, std::abs(static_cast<int>((a.pixels[i] >> shift) & 0xFF) -
                                             static_cast<int>((b.pixels[i] >> shift) & 0xFF)));
        }
        result.maxChannelDelta = std::max(result.maxChannelDelta, delta);
        if (delta > tolerance) {
            ++result.differentPixels;
        }
    }
    return result;
}

GoldenCheck CheckGolden(const Image& actual, const std::string& goldenPath, int tolerance, int allowedPixels)
{
    GoldenCheck check;
    const std::string actualPath = goldenPath.substr(0, goldenPath.rfind(".png")) + ".actual.png";
    if (std::getenv("UPDATE_GOLDEN")) {
        check.ok = SavePng(actual, goldenPath);
        check.message = check.ok ? "golden written: " + goldenPath : "cannot write " + goldenPath;
        return check;
    }
    const std::optional<Image> golden = LoadPng(goldenPath);
    if (!golden) {
        SavePng(actual, actualPath);
        check.message = "no golden picture " + goldenPath + " (run with UPDATE_GOLDEN=1); actual written to " +
                        actualPath;
        return check;
    }
    const ImageDifference difference = CompareImages(actual, *golden, tolerance);
    check.ok = difference.sameSize && difference.differentPixels <= allowedPixels;
    if (!check.ok) {
        SavePng(actual, actualPath);
        check.message = difference.sameSize
                            ? std::to_string(difference.differentPixels) + " pixels differ (largest channel delta " +
                                  std::to_string(difference.maxChannelDelta) + "); actual written to " + actualPath
                            : "size differs from the golden; actual written to " + actualPath;
    } else {
        std::remove(actualPath.c_str());
    }
    return check;
}
}
