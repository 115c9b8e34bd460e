// GDI objects behind the handles: pens, brushes, fonts, bitmaps (cairo image surfaces) and regions.
// A handle is the object's address; every live object is registered so that stale or foreign handles are refused.
#pragma once

#include "platform/win/wingdi.h"
#include "platform/win/winuser.h"

#include <cairo.h>

#include <memory>
#include <string>

namespace gdi {

struct Object {
    explicit Object(DWORD objectType) : type(objectType) {}
    virtual ~Object() = default;
    DWORD type;
    bool stock = false;
    int selections = 0;          // device contexts that hold it selected
    bool deletePending = false;  // DeleteObject while selected: freed when the last DC lets go
};

struct Pen : Object {
    Pen() : Object(OBJ_PEN) {}
    int style = PS_SOLID;
    int width = 1;
    COLORREF color = 0;
    bool dcPen = false; // DC_PEN: takes the DC's pen colour
    bool geometric = false; // ExtCreatePen PS_GEOMETRIC: styles scale with the width
    DWORD endCap = PS_ENDCAP_ROUND;
};

struct Brush : Object {
    Brush() : Object(OBJ_BRUSH) {}
    UINT style = BS_SOLID;
    COLORREF color = 0;
    int hatch = 0;
    bool dcBrush = false; // DC_BRUSH: takes the DC's brush colour
};

struct Font : Object {
    Font() : Object(OBJ_FONT) {}
    LOGFONTW log{};
};

// The installed family that draws a logical font's face (e.g. "Liberation Sans" for "Arial").
std::string FontFamilyOf(const LOGFONTW& log);

struct Bitmap : Object {
    Bitmap() : Object(OBJ_BITMAP) {}
    ~Bitmap() override;
    int width = 0;
    int height = 0;
    WORD bitsPixel = 32;
    cairo_surface_t* surface = nullptr; // RGB24, top-down
    bool dib = false;
    HDC selectedInto = nullptr;
};

// A region in device units (cairo rectangle list).
class RegionData {
public:
    RegionData();
    explicit RegionData(const RECT& rect);
    RegionData(const RegionData& other);
    RegionData& operator=(const RegionData& other);
    ~RegionData();
    cairo_region_t* get() const { return region_; }
    bool empty() const;
    RECT box() const;
    int complexity() const; // NULLREGION, SIMPLEREGION or COMPLEXREGION
    void intersect(const RegionData& other);
    void unite(const RegionData& other);
    void subtract(const RegionData& other);
    void exclusiveOr(const RegionData& other);
    void offset(int dx, int dy);
    bool contains(int x, int y) const;

private:
    cairo_region_t* region_;
};

struct Region : Object {
    Region() : Object(OBJ_REGION) {}
    RegionData data;
};

// Registers a new object and returns its handle.
HGDIOBJ Register(std::unique_ptr<Object> object);
Object* Lookup(HGDIOBJ handle);
template <class T>
T* As(HGDIOBJ handle, DWORD type)
{
    Object* object = Lookup(handle);
    return object && object->type == type ? static_cast<T*>(object) : nullptr;
}
inline Pen* AsPen(HGDIOBJ h) { return As<Pen>(h, OBJ_PEN); }
inline Brush* AsBrush(HGDIOBJ h) { return As<Brush>(h, OBJ_BRUSH); }
inline Font* AsFont(HGDIOBJ h) { return As<Font>(h, OBJ_FONT); }
inline Bitmap* AsBitmap(HGDIOBJ h) { return As<Bitmap>(h, OBJ_BITMAP); }
inline Region* AsRegion(HGDIOBJ h) { return As<Region>(h, OBJ_REGION); }
// Frees an object whose deletion waited for its last selection.
void ReleaseSelection(HGDIOBJ handle);

// A brush handle may also be a system colour index plus one, as window classes and FillRect accept.
Brush* ResolveBrush(HBRUSH brush);

HBITMAP NewBitmap(int width, int height, WORD bitsPixel);

// Pixels of an RGB24 surface row (0x00RRGGBB) and conversions from and to COLORREF (0x00BBGGRR).
inline std::uint32_t ToPixel(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
inline COLORREF FromPixel(std::uint32_t p) { return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF); }

// Number of live objects of every kind (tests check for leaks).
int LiveObjectCount();
}
