// The GDI+ subset: start-up, bitmaps (from streams, resources or made empty), Graphics over a DC or a bitmap with
// anti-aliased drawing, images drawn through attributes (colour-remap table and colour matrix), ARGB fills.
// Bitmaps keep straight ARGB pixels and a pixel-format tag; LockBits gives them in the format asked for.
#pragma once

#include "platform/com/objidl.h"
#include "platform/win/wingdi.h"

#include <cstdint>
#include <vector>

namespace Gdiplus {

using REAL = float;
using ARGB = std::uint32_t;
using PixelFormat = INT;
using GraphicsState = UINT;

enum Status {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    GdiplusNotInitialized = 18,
};

inline constexpr PixelFormat PixelFormat24bppRGB = 0x00021808;
inline constexpr PixelFormat PixelFormat32bppRGB = 0x00022009;
inline constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;
inline constexpr PixelFormat PixelFormat32bppPARGB = 0x000E200B;
inline constexpr PixelFormat PixelFormat8bppIndexed = 0x00030803;

enum Unit { UnitWorld = 0, UnitDisplay = 1, UnitPixel = 2 };
enum ColorAdjustType { ColorAdjustTypeDefault = 0, ColorAdjustTypeBitmap = 1 };
enum ColorMatrixFlags { ColorMatrixFlagsDefault = 0, ColorMatrixFlagsSkipGrays = 1, ColorMatrixFlagsAltGray = 2 };
enum ImageLockMode { ImageLockModeRead = 1, ImageLockModeWrite = 2 };
enum SmoothingMode { SmoothingModeDefault = 0, SmoothingModeNone = 3, SmoothingModeAntiAlias = 4 };

struct GdiplusStartupInput {
    UINT GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};
struct GdiplusStartupOutput {
    void* NotificationHook = nullptr;
    void* NotificationUnhook = nullptr;
};
// Counted: every start-up needs its shutdown with the token it gave. Objects may only be made while started.
Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);

class Color {
public:
    Color() : argb_(0xFF000000u) {}
    Color(BYTE r, BYTE g, BYTE b) : argb_(MakeARGB(255, r, g, b)) {}
    Color(BYTE a, BYTE r, BYTE g, BYTE b) : argb_(MakeARGB(a, r, g, b)) {}
    Color(ARGB argb) : argb_(argb) {}
    ARGB GetValue() const { return argb_; }
    void SetValue(ARGB argb) { argb_ = argb; }
    BYTE GetA() const { return static_cast<BYTE>(argb_ >> 24); }
    BYTE GetR() const { return static_cast<BYTE>(argb_ >> 16); }
    BYTE GetG() const { return static_cast<BYTE>(argb_ >> 8); }
    BYTE GetB() const { return static_cast<BYTE>(argb_); }
    COLORREF ToCOLORREF() const { return RGB(GetR(), GetG(), GetB()); }
    static ARGB MakeARGB(BYTE a, BYTE r, BYTE g, BYTE b)
    {
        return (ARGB{a} << 24) | (ARGB{r} << 16) | (ARGB{g} << 8) | ARGB{b};
    }
    enum : ARGB { LightGray = 0xFFD3D3D3, Black = 0xFF000000, White = 0xFFFFFFFF, Transparent = 0x00FFFFFF };

private:
    ARGB argb_;
};

struct Rect {
    Rect() = default;
    Rect(INT x, INT y, INT width, INT height) : X(x), Y(y), Width(width), Height(height) {}
    INT X = 0;
    INT Y = 0;
    INT Width = 0;
    INT Height = 0;
};

struct ColorMap {
    Color oldColor;
    Color newColor;
};

// Row vector [r g b a 1] (channels 0..1) times the matrix; row 4 adds constants.
struct ColorMatrix {
    REAL m[5][5];
};

struct BitmapData {
    UINT Width = 0;
    UINT Height = 0;
    INT Stride = 0;
    Gdiplus::PixelFormat PixelFormat = 0;
    void* Scan0 = nullptr;
    UINT_PTR Reserved = 0;
};

class GdiplusBase {
public:
    // GDI+ objects may only be made while GDI+ is started; otherwise they report GdiplusNotInitialized.
    Status GetLastStatus() const { return lastStatus_; }

protected:
    GdiplusBase();
    Status SetStatus(Status status) const { return lastStatus_ = status; }
    mutable Status lastStatus_ = Ok;
};

class Image : public GdiplusBase {
public:
    virtual ~Image() = default;
    UINT GetWidth() const { return static_cast<UINT>(width_); }
    UINT GetHeight() const { return static_cast<UINT>(height_); }
    PixelFormat GetPixelFormat() const { return format_; }

protected:
    Image() = default;
    friend class Graphics;
    int width_ = 0;
    int height_ = 0;
    PixelFormat format_ = PixelFormat32bppARGB;
    std::vector<ARGB> pixels_; // straight ARGB, rows top to bottom
};

class Bitmap : public Image {
public:
    Bitmap(INT width, INT height, PixelFormat format = PixelFormat32bppARGB);
    // PNG and BMP pictures; an unreadable stream gives UnknownImageFormat (or the stream's failure).
    explicit Bitmap(IStream* stream, BOOL useEmbeddedColorManagement = FALSE);
    // A bitmap resource (RT_BITMAP) of a module.
    Bitmap(HINSTANCE instance, const WCHAR* name);
    static Bitmap* FromStream(IStream* stream, BOOL useEmbeddedColorManagement = FALSE);
    static Bitmap* FromResource(HINSTANCE instance, const WCHAR* name);

    Status GetPixel(INT x, INT y, Color* color) const;
    Status SetPixel(INT x, INT y, const Color& color);
    // Read access only: the pixels converted to `format` (24bppRGB, 32bppRGB, 32bppARGB or 32bppPARGB).
    Status LockBits(const Rect* rect, UINT flags, PixelFormat format, BitmapData* data);
    Status UnlockBits(BitmapData* data);
    // A GDI bitmap of the picture over a background colour.
    Status GetHBITMAP(const Color& background, HBITMAP* out);

private:
    std::vector<std::byte> locked_;
};

class ImageAttributes : public GdiplusBase {
public:
    Status SetRemapTable(UINT count, const ColorMap* map, ColorAdjustType type = ColorAdjustTypeDefault);
    Status ClearRemapTable(ColorAdjustType type = ColorAdjustTypeDefault);
    Status SetColorMatrix(const ColorMatrix* matrix, ColorMatrixFlags flags = ColorMatrixFlagsDefault,
                          ColorAdjustType type = ColorAdjustTypeDefault);
    Status ClearColorMatrix(ColorAdjustType type = ColorAdjustTypeDefault);
    // The colour a source pixel becomes: the remap table first (exact ARGB matches), then the matrix.
    ARGB Apply(ARGB pixel) const;

private:
    std::vector<ColorMap> remap_;
    bool hasMatrix_ = false;
    ColorMatrix matrix_{};
    ColorMatrixFlags matrixFlags_ = ColorMatrixFlagsDefault;
};

class Brush : public GdiplusBase {
public:
    virtual ~Brush() = default;
};

class SolidBrush : public Brush {
public:
    explicit SolidBrush(const Color& color) : color_(color) {}
    Color GetColor() const { return color_; }
    void SetColor(const Color& color) { color_ = color; }

private:
    Color color_;
};

class Graphics : public GdiplusBase {
public:
    explicit Graphics(HDC hdc);
    explicit Graphics(Image* image);
    ~Graphics();
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;
    static Graphics* FromHDC(HDC hdc) { return new Graphics(hdc); }
    static Graphics* FromImage(Image* image) { return new Graphics(image); }

    Status SetSmoothingMode(SmoothingMode mode);
    Status Clear(const Color& color);
    Status FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height);
    Status FillRectangle(const Brush* brush, const Rect& rect)
    {
        return FillRectangle(brush, rect.X, rect.Y, rect.Width, rect.Height);
    }
    Status DrawImage(Image* image, INT x, INT y);
    Status DrawImage(Image* image, INT x, INT y, INT width, INT height);
    Status DrawImage(Image* image, const Rect& destination);
    // Part of an image (source rectangle in pixels) into a destination rectangle, through attributes.
    Status DrawImage(Image* image, const Rect& destination, INT srcX, INT srcY, INT srcWidth, INT srcHeight,
                     Unit srcUnit, const ImageAttributes* attributes = nullptr);
    // Clip to a rectangle (intersected with what the DC allows).
    Status SetClip(const Rect& rect);

    struct Target;

private:
    template <class Body>
    static Status Draw(const Target& target, Status status, Body&& body);
    Target* target_;
};
}

namespace platform {
// How many GDI+ start-ups are open now.
int GdiplusStartCount();
}
