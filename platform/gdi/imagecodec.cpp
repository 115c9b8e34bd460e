#include "platform/gdi/imagecodec.h"

#include "platform/gdi/objects.h"
#include "platform/win/errors.h"
#include "platform/win/resources.h"

#include <cairo.h>

#include <algorithm>
#include <cstring>

namespace gdi {
namespace {
std::uint32_t Read32(std::span<const std::byte> d, std::size_t at)
{
    return std::to_integer<std::uint32_t>(d[at]) | (std::to_integer<std::uint32_t>(d[at + 1]) << 8) |
           (std::to_integer<std::uint32_t>(d[at + 2]) << 16) | (std::to_integer<std::uint32_t>(d[at + 3]) << 24);
}
std::uint16_t Read16(std::span<const std::byte> d, std::size_t at)
{
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(d[at]) | (std::to_integer<unsigned>(d[at + 1]) << 8));
}
void Put32(std::vector<std::byte>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::byte>((v >> (8 * i)) & 0xFF));
    }
}
void Put16(std::vector<std::byte>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::byte>(v & 0xFF));
    out.push_back(static_cast<std::byte>(v >> 8));
}

struct PngReader {
    std::span<const std::byte> data;
    std::size_t pos = 0;
};

cairo_status_t ReadPng(void* closure, unsigned char* out, unsigned int length)
{
    auto* reader = static_cast<PngReader*>(closure);
    if (reader->data.size() - reader->pos < length) {
        return CAIRO_STATUS_READ_ERROR;
    }
    std::memcpy(out, reader->data.data() + reader->pos, length);
    reader->pos += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_status_t WritePng(void* closure, const unsigned char* data, unsigned int length)
{
    auto* out = static_cast<std::vector<std::byte>*>(closure);
    const auto* bytes = reinterpret_cast<const std::byte*>(data);
    out->insert(out->end(), bytes, bytes + length);
    return CAIRO_STATUS_SUCCESS;
}
}

std::optional<ArgbPixels> DecodeDib(std::span<const std::byte> d)
{
    if (d.size() < 40 || Read32(d, 0) < 40) {
        return std::nullopt;
    }
    const std::uint32_t headerSize = Read32(d, 0);
    const auto width = static_cast<std::int32_t>(Read32(d, 4));
    const auto rawHeight = static_cast<std::int32_t>(Read32(d, 8));
    const int bits = Read16(d, 14);
    const std::uint32_t compression = Read32(d, 16);
    std::uint32_t colours = Read32(d, 32);
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN || width > 0x8000 || std::abs(rawHeight) > 0x8000 ||
        compression != BI_RGB || (bits != 8 && bits != 24 && bits != 32)) {
        return std::nullopt;
    }
    if (bits == 8 && colours == 0) {
        colours = 256;
    }
    if (bits != 8) {
        colours = 0;
    }
    const int height = std::abs(rawHeight);
    const std::size_t palette = headerSize;
    const std::size_t pixels = palette + 4u * colours;
    const std::size_t stride = (static_cast<std::size_t>(width) * bits / 8 + 3) & ~std::size_t{3};
    if (colours > 256 || d.size() < pixels || (d.size() - pixels) / stride < static_cast<std::size_t>(height)) {
        return std::nullopt;
    }
    ArgbPixels out;
    out.width = width;
    out.height = height;
    out.bitsPerPixel = bits;
    out.argb.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const std::size_t row = pixels + stride * static_cast<std::size_t>(rawHeight > 0 ? height - 1 - y : y);
        for (int x = 0; x < width; ++x) {
            std::uint32_t value = 0;
            if (bits == 8) {
                const auto index = std::to_integer<std::uint32_t>(d[row + x]);
                value = index < colours ? (Read32(d, palette + 4u * index) & 0xFFFFFF) | 0xFF000000u : 0xFF000000u;
            } else if (bits == 24) {
                const std::size_t at = row + 3u * x;
                value = 0xFF000000u | (std::to_integer<std::uint32_t>(d[at + 2]) << 16) |
                        (std::to_integer<std::uint32_t>(d[at + 1]) << 8) | std::to_integer<std::uint32_t>(d[at]);
            } else {
                value = Read32(d, row + 4u * x);
            }
            out.argb[static_cast<std::size_t>(y) * width + x] = value;
        }
    }
    if (bits == 32) {
        // A 32-bit DIB whose alpha bytes are all zero carries no alpha at all.
        out.hasAlpha = std::any_of(out.argb.begin(), out.argb.end(), [](std::uint32_t p) { return (p >> 24) != 0; });
        if (!out.hasAlpha) {
            for (auto& p : out.argb) {
                p |= 0xFF000000u;
            }
        }
    }
    return out;
}

std::vector<std::byte> EncodeDib(const ArgbPixels& pixels, int bitsPerPixel)
{
    const int bits = bitsPerPixel == 24 ? 24 : 32;
    const std::size_t stride = (static_cast<std::size_t>(pixels.width) * bits / 8 + 3) & ~std::size_t{3};
    std::vector<std::byte> out;
    out.reserve(40 + stride * static_cast<std::size_t>(pixels.height));
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(pixels.width));
    Put32(out, static_cast<std::uint32_t>(pixels.height));
    Put16(out, 1);
    Put16(out, static_cast<std::uint16_t>(bits));
    Put32(out, BI_RGB);
    Put32(out, static_cast<std::uint32_t>(stride * static_cast<std::size_t>(pixels.height)));
    Put32(out, 3780);
    Put32(out, 3780);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = pixels.height - 1; y >= 0; --y) {
        const std::size_t start = out.size();
        for (int x = 0; x < pixels.width; ++x) {
            const std::uint32_t p = pixels.argb[static_cast<std::size_t>(y) * pixels.width + x];
            if (bits == 24) {
                out.push_back(static_cast<std::byte>(p & 0xFF));
                out.push_back(static_cast<std::byte>((p >> 8) & 0xFF));
                out.push_back(static_cast<std::byte>((p >> 16) & 0xFF));
            } else {
                Put32(out, p);
            }
        }
        out.resize(start + stride, std::byte{0});
    }
    return out;
}

std::uint32_t Premultiply(std::uint32_t p)
{
    const std::uint32_t a = p >> 24;
    auto channel = [&](int shift) { return ((((p >> shift) & 0xFF) * a + 127) / 255) << shift; };
    return (a << 24) | channel(16) | channel(8) | channel(0);
}

std::uint32_t Unpremultiply(std::uint32_t p)
{
    const std::uint32_t a = p >> 24;
    if (a == 0xFF) {
        return p;
    }
    if (a == 0) {
        return 0;
    }
    auto channel = [&](int shift) { return std::min(255u, (((p >> shift) & 0xFF) * 255 + a / 2) / a) << shift; };
    return (a << 24) | channel(16) | channel(8) | channel(0);
}

bool IsPng(std::span<const std::byte> data)
{
    static constexpr unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return data.size() >= 8 && std::memcmp(data.data(), kSignature, 8) == 0;
}

std::optional<ArgbPixels> DecodePng(std::span<const std::byte> data)
{
    if (!IsPng(data)) {
        return std::nullopt;
    }
    PngReader reader{data};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(ReadPng, &reader);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return std::nullopt;
    }
    ArgbPixels out;
    out.width = cairo_image_surface_get_width(surface);
    out.height = cairo_image_surface_get_height(surface);
    out.hasAlpha = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
    out.bitsPerPixel = out.hasAlpha ? 32 : 24;
    out.argb.resize(static_cast<std::size_t>(out.width) * out.height);
    const unsigned char* base = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < out.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(base + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < out.width; ++x) {
            // cairo keeps premultiplied pixels (RGB24 ones have an undefined alpha byte).
            out.argb[static_cast<std::size_t>(y) * out.width + x] =
                out.hasAlpha ? Unpremultiply(row[x]) : (row[x] | 0xFF000000u);
        }
    }
    cairo_surface_destroy(surface);
    return out;
}

std::vector<std::byte> EncodePng(const ArgbPixels& pixels)
{
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(1, pixels.width), std::max(1, pixels.height));
    cairo_surface_flush(surface);
    unsigned char* base = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < pixels.height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(base + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < pixels.width; ++x) {
            row[x] = Premultiply(pixels.argb[static_cast<std::size_t>(y) * pixels.width + x]);
        }
    }
    cairo_surface_mark_dirty(surface);
    std::vector<std::byte> out;
    const cairo_status_t status = cairo_surface_write_to_png_stream(surface, WritePng, &out);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        out.clear(); // a cut-off picture would pass for a whole one
    }
    return out;
}
}

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name)
{
    HRSRC found = FindResourceW(instance, name, RT_BITMAP);
    if (!found) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const auto* data = static_cast<const std::byte*>(LockResource(LoadResource(instance, found)));
    const auto pixels = data ? gdi::DecodeDib({data, SizeofResource(instance, found)}) : std::nullopt;
    if (!pixels) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    HBITMAP handle = gdi::NewBitmap(pixels->width, pixels->height, static_cast<WORD>(pixels->bitsPerPixel));
    gdi::Bitmap* bitmap = gdi::AsBitmap(handle);
    cairo_surface_flush(bitmap->surface);
    unsigned char* base = cairo_image_surface_get_data(bitmap->surface);
    const int stride = cairo_image_surface_get_stride(bitmap->surface);
    for (int y = 0; y < pixels->height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(base + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < pixels->width; ++x) {
            row[x] = pixels->argb[static_cast<std::size_t>(y) * pixels->width + x] & 0xFFFFFF;
        }
    }
    cairo_surface_mark_dirty(bitmap->surface);
    return handle;
}
