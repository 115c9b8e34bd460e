#include "platform/gdi/gdiplus.h"

#include "platform/gdi/canvas.h"
#include "platform/gdi/imagecodec.h"
#include "platform/gdi/objects.h"
#include "platform/win/resources.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <set>

namespace {
struct Startups {
    std::set<ULONG_PTR> open;
    ULONG_PTR next = 1;
};
Startups& Started()
{
    static auto* state = new Startups;
    return *state;
}

using gdi::Premultiply;

// A cairo ARGB32 surface (premultiplied) holding straight ARGB pixels.
cairo_surface_t* SurfaceOf(const std::vector<Gdiplus::ARGB>& pixels, int width, int height)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(width, 1), std::max(height, 1));
    cairo_surface_flush(surface);
    unsigned char* base = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(base + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            row[x] = Premultiply(pixels[static_cast<std::size_t>(y) * width + x]);
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

void ReadBack(cairo_surface_t* surface, std::vector<Gdiplus::ARGB>& pixels, int width, int height, bool opaque)
{
    cairo_surface_flush(surface);
    const unsigned char* base = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(base + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t straight = gdi::Unpremultiply(row[x]);
            pixels[static_cast<std::size_t>(y) * width + x] = opaque ? (straight | 0xFF000000u) : straight;
        }
    }
}

bool IsOpaqueFormat(Gdiplus::PixelFormat format)
{
    return format == Gdiplus::PixelFormat24bppRGB || format == Gdiplus::PixelFormat32bppRGB;
}

std::vector<std::byte> ReadAll(IStream* stream, HRESULT& result)
{
    std::vector<std::byte> bytes;
    std::byte chunk[4096];
    for (;;) {
        ULONG read = 0;
        result = stream->Read(chunk, sizeof chunk, &read);
        bytes.insert(bytes.end(), chunk, chunk + read);
        if (FAILED(result) || read == 0) {
            break;
        }
    }
    return bytes;
}

BYTE Clamp(double v) { return static_cast<BYTE>(std::clamp(std::lround(v * 255.0), 0L, 255L)); }
}

namespace platform {
int GdiplusStartCount() { return static_cast<int>(Started().open.size()); }
}

namespace Gdiplus {

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output)
{
    if (!token || !input || input->GdiplusVersion != 1 || (input->SuppressBackgroundThread && !output)) {
        return InvalidParameter;
    }
    auto& state = Started();
    *token = state.next++;
    state.open.insert(*token);
    if (output) {
        *output = GdiplusStartupOutput{};
    }
    return Ok;
}

void GdiplusShutdown(ULONG_PTR token) { Started().open.erase(token); }

GdiplusBase::GdiplusBase()
{
    if (Started().open.empty()) {
        lastStatus_ = GdiplusNotInitialized;
    }
}

// Bitmaps.
Bitmap::Bitmap(INT width, INT height, PixelFormat format)
{
    if (lastStatus_ != Ok) {
        return;
    }
    if (width <= 0 || height <= 0 || width > 0x8000 || height > 0x8000) {
        SetStatus(InvalidParameter);
        return;
    }
    width_ = width;
    height_ = height;
    format_ = format;
    pixels_.assign(static_cast<std::size_t>(width) * height, IsOpaqueFormat(format) ? 0xFF000000u : 0u);
}

Bitmap::Bitmap(IStream* stream, BOOL)
{
    if (lastStatus_ != Ok) {
        return;
    }
    if (!stream) {
        SetStatus(InvalidParameter);
        return;
    }
    HRESULT result = S_OK;
    const std::vector<std::byte> bytes = ReadAll(stream, result);
    if (FAILED(result)) {
        SetStatus(Win32Error);
        return;
    }
    std::optional<gdi::ArgbPixels> decoded;
    if (gdi::IsPng(bytes)) {
        decoded = gdi::DecodePng(bytes);
    } else if (bytes.size() > 14 && bytes[0] == std::byte{'B'} && bytes[1] == std::byte{'M'}) {
        decoded = gdi::DecodeDib(std::span(bytes).subspan(14));
    }
    if (!decoded) {
        SetStatus(UnknownImageFormat);
        return;
    }
    width_ = decoded->width;
    height_ = decoded->height;
    format_ = decoded->hasAlpha ? PixelFormat32bppARGB
                                : decoded->bitsPerPixel == 8 ? PixelFormat8bppIndexed
                                : decoded->bitsPerPixel == 32 ? PixelFormat32bppRGB
                                                               : PixelFormat24bppRGB;
    pixels_ = std::move(decoded->argb);
}

Bitmap::Bitmap(HINSTANCE instance, const WCHAR* name)
{
    if (lastStatus_ != Ok) {
        return;
    }
    HRSRC found = FindResourceW(instance, name, RT_BITMAP);
    const auto* data = found ? static_cast<const std::byte*>(LockResource(LoadResource(instance, found))) : nullptr;
    const auto decoded = data ? gdi::DecodeDib({data, SizeofResource(instance, found)}) : std::nullopt;
    if (!decoded) {
        SetStatus(found ? UnknownImageFormat : InvalidParameter);
        return;
    }
    width_ = decoded->width;
    height_ = decoded->height;
    // A bitmap resource's alpha bytes are not taken as transparency.
    format_ = decoded->bitsPerPixel == 8 ? PixelFormat8bppIndexed
              : decoded->bitsPerPixel == 32 ? PixelFormat32bppRGB
                                            : PixelFormat24bppRGB;
    pixels_ = std::move(decoded->argb);
    for (auto& p : pixels_) {
        p |= 0xFF000000u;
    }
}

Bitmap* Bitmap::FromStream(IStream* stream, BOOL useEmbeddedColorManagement)
{
    return new Bitmap(stream, useEmbeddedColorManagement);
}

Bitmap* Bitmap::FromResource(HINSTANCE instance, const WCHAR* name) { return new Bitmap(instance, name); }

Status Bitmap::GetPixel(INT x, INT y, Color* color) const
{
    if (lastStatus_ != Ok) {
        return lastStatus_;
    }
    if (!color || x < 0 || y < 0 || x >= width_ || y >= height_) {
        return InvalidParameter;
    }
    color->SetValue(pixels_[static_cast<std::size_t>(y) * width_ + x]);
    return Ok;
}

Status Bitmap::SetPixel(INT x, INT y, const Color& color)
{
    if (lastStatus_ != Ok) {
        return lastStatus_;
    }
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return InvalidParameter;
    }
    pixels_[static_cast<std::size_t>(y) * width_ + x] =
        IsOpaqueFormat(format_) ? (color.GetValue() | 0xFF000000u) : color.GetValue();
    return Ok;
}

Status Bitmap::LockBits(const Rect* rect, UINT flags, PixelFormat format, BitmapData* data)
{
    if (lastStatus_ != Ok) {
        return lastStatus_;
    }
    const Rect area = rect ? *rect : Rect(0, 0, width_, height_);
    if (!data || (flags & ImageLockModeWrite) || !locked_.empty() || area.X < 0 || area.Y < 0 || area.Width <= 0 ||
        area.Height <= 0 || area.X + area.Width > width_ || area.Y + area.Height > height_) {
        return InvalidParameter;
    }
    const int bytesPerPixel = format == PixelFormat24bppRGB ? 3 : 4;
    if (format != PixelFormat24bppRGB && format != PixelFormat32bppRGB && format != PixelFormat32bppARGB &&
        format != PixelFormat32bppPARGB) {
        return InvalidParameter;
    }
    const int stride = (area.Width * bytesPerPixel + 3) & ~3;
    locked_.assign(static_cast<std::size_t>(stride) * area.Height, std::byte{0});
    for (int y = 0; y < area.Height; ++y) {
        for (int x = 0; x < area.Width; ++x) {
            ARGB p = pixels_[static_cast<std::size_t>(area.Y + y) * width_ + area.X + x];
            if (format == PixelFormat32bppPARGB) {
                p = Premultiply(p);
            } else if (format == PixelFormat32bppRGB) {
                p |= 0xFF000000u;
            }
            std::byte* out = locked_.data() + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * bytesPerPixel;
            for (int i = 0; i < bytesPerPixel; ++i) {
                out[i] = static_cast<std::byte>((p >> (8 * i)) & 0xFF);
            }
        }
    }
    data->Width = static_cast<UINT>(area.Width);
    data->Height = static_cast<UINT>(area.Height);
    data->Stride = stride;
    data->PixelFormat = format;
    data->Scan0 = locked_.data();
    return Ok;
}

Status Bitmap::UnlockBits(BitmapData* data)
{
    if (!data || data->Scan0 != locked_.data() || locked_.empty()) {
        return InvalidParameter;
    }
    locked_.clear();
    data->Scan0 = nullptr;
    return Ok;
}

Status Bitmap::GetHBITMAP(const Color& background, HBITMAP* out)
{
    if (lastStatus_ != Ok) {
        return lastStatus_;
    }
    if (!out) {
        return InvalidParameter;
    }
    *out = gdi::NewBitmap(width_, height_, 32);
    gdi::Bitmap* bitmap = gdi::AsBitmap(*out);
    if (!bitmap) {
        return OutOfMemory;
    }
    cairo_t* cr = cairo_create(bitmap->surface);
    cairo_set_source_rgb(cr, background.GetR() / 255.0, background.GetG() / 255.0, background.GetB() / 255.0);
    cairo_paint(cr);
    cairo_surface_t* picture = SurfaceOf(pixels_, width_, height_);
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(picture);
    cairo_surface_flush(bitmap->surface);
    cairo_surface_mark_dirty(bitmap->surface);
    return Ok;
}

// Image attributes.
Status ImageAttributes::SetRemapTable(UINT count, const ColorMap* map, ColorAdjustType)
{
    if (!map || count == 0) {
        return SetStatus(InvalidParameter);
    }
    remap_.assign(map, map + count);
    return Ok;
}

Status ImageAttributes::ClearRemapTable(ColorAdjustType)
{
    remap_.clear();
    return Ok;
}

Status ImageAttributes::SetColorMatrix(const ColorMatrix* matrix, ColorMatrixFlags flags, ColorAdjustType)
{
    if (!matrix || flags == ColorMatrixFlagsAltGray) {
        return SetStatus(InvalidParameter);
    }
    matrix_ = *matrix;
    matrixFlags_ = flags;
    hasMatrix_ = true;
    return Ok;
}

Status ImageAttributes::ClearColorMatrix(ColorAdjustType)
{
    hasMatrix_ = false;
    return Ok;
}

ARGB ImageAttributes::Apply(ARGB pixel) const
{
    for (const ColorMap& entry : remap_) {
        if (entry.oldColor.GetValue() == pixel) {
            pixel = entry.newColor.GetValue();
            break;
        }
    }
    if (!hasMatrix_) {
        return pixel;
    }
    const Color c(pixel);
    if ((matrixFlags_ & ColorMatrixFlagsSkipGrays) && c.GetR() == c.GetG() && c.GetG() == c.GetB()) {
        return pixel;
    }
    const double in[5] = {c.GetR() / 255.0, c.GetG() / 255.0, c.GetB() / 255.0, c.GetA() / 255.0, 1.0};
    double out[4] = {};
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 5; ++row) {
            out[column] += in[row] * matrix_.m[row][column];
        }
    }
    return Color::MakeARGB(Clamp(out[3]), Clamp(out[0]), Clamp(out[1]), Clamp(out[2]));
}

// Graphics.
struct Graphics::Target {
    HDC hdc = nullptr;
    Image* image = nullptr;
    std::optional<RECT> clip; // logical (DC) or pixel (image) coordinates
    bool antialias = true;
};

namespace {
// A cairo context on the target in its logical coordinates, and what finishing it needs.
struct Drawing {
    cairo_t* cr = nullptr;
    gdi::Canvas canvas;
    cairo_surface_t* imageSurface = nullptr;
};
}

Graphics::Graphics(HDC hdc) : target_(new Target{hdc, nullptr, std::nullopt, true})
{
    if (lastStatus_ == Ok && !gdi::LookupDc(hdc)) {
        SetStatus(InvalidParameter);
    }
}

Graphics::Graphics(Image* image) : target_(new Target{nullptr, image, std::nullopt, true})
{
    if (lastStatus_ == Ok && (!image || image->GetLastStatus() != Ok || image->format_ == PixelFormat8bppIndexed)) {
        SetStatus(!image ? InvalidParameter : image->GetLastStatus() != Ok ? image->GetLastStatus() : GenericError);
    }
}

Graphics::~Graphics() { delete target_; }

Status Graphics::SetSmoothingMode(SmoothingMode mode)
{
    target_->antialias = mode != SmoothingModeNone;
    return Ok;
}

Status Graphics::SetClip(const Rect& rect)
{
    target_->clip = RECT{rect.X, rect.Y, rect.X + rect.Width, rect.Y + rect.Height};
    return Ok;
}

template <class Body>
Status Graphics::Draw(const Target& target, Status status, Body&& body)
{
    if (status != Ok) {
        return status;
    }
    Drawing d;
    if (target.hdc) {
        if (!gdi::OpenCanvas(target.hdc, d.canvas)) {
            return Ok; // nothing visible
        }
        d.cr = gdi::NewContext(d.canvas);
        // Logical to device: the DC's mapping as a cairo transform.
        const POINT o = gdi::ToDevice(*d.canvas.dc, POINT{0, 0});
        const POINT u = gdi::ToDevice(*d.canvas.dc, POINT{1000, 1000});
        cairo_translate(d.cr, o.x, o.y);
        cairo_scale(d.cr, (u.x - o.x) / 1000.0, (u.y - o.y) / 1000.0);
    } else {
        Image& image = *target.image;
        d.imageSurface = SurfaceOf(image.pixels_, image.width_, image.height_);
        d.cr = cairo_create(d.imageSurface);
    }
    cairo_set_antialias(d.cr, target.antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
    if (target.clip) {
        const RECT& c = *target.clip;
        cairo_rectangle(d.cr, c.left, c.top, c.right - c.left, c.bottom - c.top);
        cairo_clip(d.cr);
    }
    body(d.cr);
    if (target.hdc) {
        gdi::Finish(d.canvas, d.cr);
    } else {
        cairo_destroy(d.cr);
        Image& image = *target.image;
        ReadBack(d.imageSurface, image.pixels_, image.width_, image.height_, IsOpaqueFormat(image.format_));
        cairo_surface_destroy(d.imageSurface);
    }
    return Ok;
}

Status Graphics::Clear(const Color& color)
{
    return Draw(*target_, lastStatus_, [&](cairo_t* cr) {
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgba(cr, color.GetR() / 255.0, color.GetG() / 255.0, color.GetB() / 255.0, color.GetA() / 255.0);
        cairo_paint(cr);
    });
}

Status Graphics::FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height)
{
    const auto* solid = dynamic_cast<const SolidBrush*>(brush);
    if (!solid) {
        return SetStatus(InvalidParameter);
    }
    const Color c = solid->GetColor();
    return Draw(*target_, lastStatus_, [&](cairo_t* cr) {
        cairo_set_source_rgba(cr, c.GetR() / 255.0, c.GetG() / 255.0, c.GetB() / 255.0, c.GetA() / 255.0);
        cairo_rectangle(cr, x, y, width, height);
        cairo_fill(cr);
    });
}

Status Graphics::DrawImage(Image* image, INT x, INT y)
{
    return image ? DrawImage(image, x, y, image->width_, image->height_) : SetStatus(InvalidParameter);
}

Status Graphics::DrawImage(Image* image, INT x, INT y, INT width, INT height)
{
    return DrawImage(image, Rect(x, y, width, height));
}

Status Graphics::DrawImage(Image* image, const Rect& destination)
{
    return image ? DrawImage(image, destination, 0, 0, image->width_, image->height_, UnitPixel, nullptr)
                 : SetStatus(InvalidParameter);
}

Status Graphics::DrawImage(Image* image, const Rect& dst, INT srcX, INT srcY, INT srcWidth, INT srcHeight, Unit unit,
                           const ImageAttributes* attributes)
{
    if (!image || unit != UnitPixel || srcWidth <= 0 || srcHeight <= 0) {
        return SetStatus(InvalidParameter);
    }
    if (image->GetLastStatus() != Ok) {
        return SetStatus(image->GetLastStatus());
    }
    // The source part with the attributes applied; pixels outside the image are transparent.
    std::vector<ARGB> part(static_cast<std::size_t>(srcWidth) * srcHeight, 0u);
    for (int y = 0; y < srcHeight; ++y) {
        for (int x = 0; x < srcWidth; ++x) {
            const int sx = srcX + x;
            const int sy = srcY + y;
            if (sx < 0 || sy < 0 || sx >= image->width_ || sy >= image->height_) {
                continue;
            }
            const ARGB p = image->pixels_[static_cast<std::size_t>(sy) * image->width_ + sx];
            part[static_cast<std::size_t>(y) * srcWidth + x] = attributes ? attributes->Apply(p) : p;
        }
    }
    cairo_surface_t* source = SurfaceOf(part, srcWidth, srcHeight);
    const Status status = Draw(*target_, lastStatus_, [&](cairo_t* cr) {
        cairo_translate(cr, dst.X, dst.Y);
        const bool sameSize = dst.Width == srcWidth && dst.Height == srcHeight;
        cairo_scale(cr, static_cast<double>(dst.Width) / srcWidth, static_cast<double>(dst.Height) / srcHeight);
        cairo_set_source_surface(cr, source, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), sameSize ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_BILINEAR);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
        cairo_rectangle(cr, 0, 0, srcWidth, srcHeight);
        cairo_fill(cr);
    });
    cairo_surface_destroy(source);
    return status;
}
}
