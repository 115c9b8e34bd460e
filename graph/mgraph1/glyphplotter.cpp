#include "graph/mgraph1/glyphplotter.h"

#include "graph/mgraph1/dcclipper.h"
#include "graph/mgraph1/pixelmath.h"

#include "foundation/dialogfont.h"

#include <cmath>
#include <vector>

namespace MGraph1 {
namespace {
// Text colour, background mode and alignment for labels, put back afterwards.
class TextScope {
public:
    TextScope(HDC dc, COLORREF colour, UINT align)
        : dc_(dc), colour_(SetTextColor(dc, colour)), mode_(SetBkMode(dc, TRANSPARENT)), align_(SetTextAlign(dc, align))
    {
    }
    ~TextScope()
    {
        SetTextAlign(dc_, align_);
        SetBkMode(dc_, mode_);
        SetTextColor(dc_, colour_);
    }
    TextScope(const TextScope&) = delete;
    TextScope& operator=(const TextScope&) = delete;

private:
    HDC dc_;
    COLORREF colour_;
    int mode_;
    UINT align_;
};

bool InOpenRange(double value, LONG low, LONG high) { return value > low && value < high; }

// Where x falls among the samples at start + i * step, as a sample index; within rounding of a sample it is that
// sample's index.
double SampleIndexOf(double x, double start, double step)
{
    const double index = (x - start) / step;
    const double nearest = std::round(index);
    return std::abs(index - nearest) < 1e-6 ? nearest : index;
}

// Whether sample i lies in the area's [x, second x). An area's limits come from ticks, the samples' x from the start
// and the index: the two roundings differ, so both bounds are compared as sample indices.
bool SampleInArea(int i, const YCPlotData::Series& s, const GlyphRecord& area)
{
    if (!(s.step > 0)) {
        const double x = s.start + i * s.step;
        return x >= area.x && x < area.x2;
    }
    return i >= SampleIndexOf(area.x, s.start, s.step) && i < SampleIndexOf(area.x2, s.start, s.step);
}
} // namespace

void GlyphPlotter::Draw(HDC dc, HDC, const RECT& plot, const RECT&)
{
    GlyphPlotData* source = GetGlyphData();
    if (!source) {
        return;
    }
    const HGDIOBJ previousPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    const HGDIOBJ previousBrush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
    const int previousRop = SetROP2(dc, rasterOperation);
    const int previousFill = SetPolyFillMode(dc, WINDING);
    {
        PenKeeper pen(dc, penStyle, PenWidth(), 0x00FFFF);
        int count = 0;
        const GlyphRecord* glyphs = nullptr;
        source->GetGlyphs(ranges[kHorizontal].min, ranges[kHorizontal].max, series, &count, &glyphs);
        int legendEntry = 0;
        for (int i = 0; glyphs && i < count; ++i) {
            const GlyphRecord& glyph = glyphs[i];
            pen.Use(glyph.colour);
            DrawGlyph(dc, plot, glyph);
            if (glyph.kind == kGlyphSegment && !glyph.label.IsEmpty() && IsFinite(glyph.x) && IsFinite(glyph.y) &&
                IsFinite(glyph.x2) && IsFinite(glyph.y2)) {
                DrawLegendEntry(dc, plot, glyph, legendEntry++);
            }
        }
    }
    SetPolyFillMode(dc, previousFill);
    SetROP2(dc, previousRop);
    SelectObject(dc, previousBrush);
    SelectObject(dc, previousPen);
    source->redrawNeeded = false;
    needsRedraw = false;
}

bool GlyphPlotter::IsDataMissingOrChanged()
{
    const GlyphPlotData* source = GetGlyphData();
    return !source || source->redrawNeeded;
}

bool GlyphPlotter::NeedsRedraw()
{
    const GlyphPlotData* source = GetGlyphData();
    return needsRedraw || (source && source->redrawNeeded);
}

bool AreaGlyphPlotter::IsDataMissingOrChanged()
{
    const auto* values = dynamic_cast<YCPlotData*>(data);
    return !values || !glyphSource || values->redrawNeeded || glyphSource->redrawNeeded;
}

bool AreaGlyphPlotter::NeedsRedraw()
{
    const auto* values = dynamic_cast<YCPlotData*>(data);
    return needsRedraw || (values && values->redrawNeeded) || (glyphSource && glyphSource->redrawNeeded);
}

void GlyphPlotter::DrawGlyph(HDC dc, const RECT& plot, const GlyphRecord& glyph)
{
    const double px = ToPixelX(glyph.x, plot);
    const double py = ToPixelY(glyph.y, plot);
    switch (glyph.kind) {
    case kGlyphArrow: {
        if (!IsFinite(px) || !InOpenRange(px, plot.left, plot.right)) {
            return;
        }
        static constexpr POINT kShape[] = {{0, 10}, {5, 5}, {3, 5}, {3, 0}, {-3, 0}, {-3, 5}, {-5, 5}, {0, 10}};
        POINT arrow[8];
        const int x = SaturateTrunc(px);
        for (int i = 0; i < 8; ++i) {
            arrow[i] = POINT{x + kShape[i].x, plot.top + kShape[i].y};
        }
        Polygon(dc, arrow, 8);
        break;
    }
    case kGlyphLevel: {
        if (!IsFinite(py) || !InOpenRange(py, plot.top, plot.bottom)) {
            return;
        }
        const int y = SaturateTrunc(py);
        DrawLine(dc, plot.left, y, plot.right, y);
        DrawLabel(dc, plot.left + 2, y, glyph.label, 0);
        break;
    }
    case kGlyphTime: {
        if (!IsFinite(px) || !InOpenRange(px, plot.left, plot.right)) {
            return;
        }
        const int x = SaturateTrunc(px);
        DrawLine(dc, x, plot.top, x, plot.bottom);
        DrawLabel(dc, x, plot.bottom - 5, glyph.label, 900);
        break;
    }
    case kGlyphHorizontalSegment: {
        const double px2 = ToPixelX(glyph.x2, plot);
        if (!IsFinite(px) || !IsFinite(px2) || !IsFinite(py) || !InOpenRange(py, plot.top, plot.bottom)) {
            return;
        }
        const double low = std::max<double>(std::min(px, px2), plot.left);
        const double high = std::min<double>(std::max(px, px2), plot.right);
        if (low >= plot.right || high <= plot.left || low > high) {
            return; // the segment does not reach into the plot
        }
        const int y = SaturateTrunc(py);
        const int x0 = SaturateTrunc(px <= px2 ? low : high);
        const int x1 = SaturateTrunc(px <= px2 ? high : low);
        DrawLine(dc, x0, y, x1, y);
        DrawLabel(dc, std::min(x0, x1) + 2, y, glyph.label, 0);
        break;
    }
    case kGlyphSegment: {
        const double x1 = ToPixelX(glyph.x2, plot);
        const double y1 = ToPixelY(glyph.y2, plot);
        POINT from{};
        POINT to{};
        if (IsFinite(px) && IsFinite(py) && IsFinite(x1) && IsFinite(y1) && ClipForPlot(plot, px, py, x1, y1, from, to)) {
            DrawLine(dc, from, to);
        }
        break;
    }
    default:
        break; // other kinds draw nothing
    }
}

void GlyphPlotter::DrawLabel(HDC dc, int x, int y, const KVO::String& label, int angle)
{
    if (label.IsEmpty()) {
        return;
    }
    HFONT font = nullptr;
    KVO::CreateDialogFontPt(dc, &font, 9, angle);
    const SelectScope fontScope(dc, font, true);
    const TextScope text(dc, GetTextColor(dc), TA_LEFT | TA_BOTTOM);
    TextOutW(dc, x, y, label.c_str(), label.Length());
}

void GlyphPlotter::DrawLegendEntry(HDC dc, const RECT& plot, const GlyphRecord& glyph, int entry)
{
    const int lineHeight = KVO::PointsToLogicalHeight(dc, 10);
    HFONT font = nullptr;
    KVO::CreateDialogFont(dc, &font, lineHeight, 0);
    const SelectScope fontScope(dc, font, true);
    const TextScope text(dc, GetTextColor(dc), useLabelAlignment ? labelAlignment : 0);
    const int dpiX = GetDeviceCaps(dc, LOGPIXELSX);
    int x = plot.left + 5 + MulDiv(legendOffsetPointsX, dpiX, 72);
    // Several legend entries stand one below the other.
    const int y = plot.top + MulDiv(legendOffsetPointsY, GetDeviceCaps(dc, LOGPIXELSY), 72) + 1 + entry * lineHeight;
    if (glyph.legendLine) {
        const int length = MulDiv(16, dpiX, 72);
        DrawLine(dc, x, y + lineHeight / 2, x + length, y + lineHeight / 2);
        x += length + MulDiv(2, dpiX, 72);
    }
    TextOutW(dc, x, y, glyph.label.c_str(), glyph.label.Length());
}

AreaGlyphPlotter::~AreaGlyphPlotter()
{
    if (ownsGlyphSource) {
        delete glyphSource;
    }
}

void AreaGlyphPlotter::SetPlotData(PlotData* glyphs, int newGlyphSeries, bool owns)
{
    auto* source = dynamic_cast<GlyphPlotData*>(glyphs);
    if (ownsGlyphSource && glyphSource != source) {
        delete glyphSource;
    }
    glyphSource = source;
    glyphSeries = newGlyphSeries;
    ownsGlyphSource = owns && source;
    SyncRanges();
}

void AreaGlyphPlotter::SetSeriesData(YCPlotData* values, int valueSeries) { Plotter::SetPlotData(values, valueSeries, false); }

void AreaGlyphPlotter::Draw(HDC dc, HDC, const RECT& plot, const RECT&)
{
    auto* values = dynamic_cast<YCPlotData*>(data);
    if (!values || !glyphSource) {
        return;
    }
    YCPlotData::Series s;
    if (!values->GetSeries(series, s)) {
        return;
    }
    values->redrawNeeded = false;
    glyphSource->redrawNeeded = false;
    int count = 0;
    const GlyphRecord* areas = nullptr;
    glyphSource->GetGlyphs(ranges[kHorizontal].min, ranges[kHorizontal].max, glyphSeries, &count, &areas);
    // Polygon points are relative to the plot's top-left corner.
    const RECT origin{0, 0, 0, 0};
    const bool blend = (GetDeviceCaps(dc, SHADEBLENDCAPS) & (SB_CONST_ALPHA | SB_PIXEL_ALPHA)) ==
                       (SB_CONST_ALPHA | SB_PIXEL_ALPHA);
    std::vector<POINT> polygon;
    for (int a = 0; areas && a < count; ++a) {
        const GlyphRecord& area = areas[a];
        polygon.clear();
        for (int i = 0; s.values && i < s.count; ++i) {
            if (!SampleInArea(i, s, area)) {
                continue;
            }
            const double x = s.start + i * s.step;
            const double px = ToPixelX(x, origin);
            const double py = ToPixelY(s.values[i], origin);
            if (!IsFinite(px) || !IsFinite(py)) {
                continue; // a sample that is not a number has no place in the outline
            }
            const POINT p{SaturateTrunc(px), SaturateTrunc(py)};
            // The first sample of each pixel column stands for the column.
            if (polygon.empty() || polygon.back().x != p.x) {
                polygon.push_back(p);
            }
        }
        if (polygon.empty()) {
            continue;
        }
        const LONG firstX = polygon.front().x;
        const LONG lastX = polygon.back().x;
        const double secondY = ToPixelY(area.y2, origin);
        const double firstY = ToPixelY(area.y, origin);
        if (IsFinite(secondY)) {
            polygon.push_back(POINT{lastX, SaturateTrunc(secondY)});
        }
        if (IsFinite(firstY)) {
            polygon.push_back(POINT{firstX, SaturateTrunc(firstY)});
        }
        if (blend) {
            BlendArea(dc, plot, polygon, area.colour);
        } else {
            FillLighterArea(dc, plot, polygon, area.colour);
        }
    }
    needsRedraw = false;
}

void AreaGlyphPlotter::BlendArea(HDC dc, const RECT& plot, const std::vector<POINT>& polygon, COLORREF colour)
{
    const int width = plot.right - plot.left;
    const int height = plot.bottom - plot.top;
    if (width <= 0 || height <= 0) {
        return;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section || !bits) {
        DeleteObject(section);
        FillLighterArea(dc, plot, polygon, colour);
        return;
    }
    HDC memory = CreateCompatibleDC(dc);
    const HGDIOBJ previousBitmap = SelectObject(memory, section);
    HBRUSH brush = CreateSolidBrush(colour);
    const HGDIOBJ previousBrush = SelectObject(memory, brush);
    Polygon(memory, polygon.data(), static_cast<int>(polygon.size()));
    SelectObject(memory, previousBrush);
    DeleteObject(brush);
    // Only the area's own colour is opaque; the outline and the rest stay transparent.
    const std::uint32_t areaPixel = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    auto* pixel = static_cast<std::uint32_t*>(bits);
    for (std::size_t i = 0, n = static_cast<std::size_t>(width) * height; i < n; ++i) {
        pixel[i] = (pixel[i] & 0xFFFFFF) == areaPixel ? (pixel[i] | 0xFF000000u) : (pixel[i] & 0xFFFFFF);
    }
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 127, AC_SRC_ALPHA};
    AlphaBlend(dc, plot.left, plot.top, width, height, memory, 0, 0, width, height, blend);
    SelectObject(memory, previousBitmap);
    DeleteDC(memory);
    DeleteObject(section);
}

void AreaGlyphPlotter::FillLighterArea(HDC dc, const RECT& plot, const std::vector<POINT>& polygon, COLORREF colour)
{
    auto lighter = [](BYTE c) { return static_cast<BYTE>(SaturateTrunc(c * 0.5 + 127.0) & 255); };
    const COLORREF light = RGB(lighter(GetRValue(colour)), lighter(GetGValue(colour)), lighter(GetBValue(colour)));
    HBRUSH brush = CreateSolidBrush(light);
    HPEN pen = CreatePen(PS_NULL, 1, light);
    const HGDIOBJ previousBrush = SelectObject(dc, brush);
    const HGDIOBJ previousPen = SelectObject(dc, pen);
    POINT previousOrigin{};
    SetWindowOrgEx(dc, -plot.left, -plot.top, &previousOrigin);
    {
        DCClipper clipper(dc, true);
        clipper.IntersectRect(RECT{0, 0, plot.right - plot.left - 1, plot.bottom - plot.top - 1});
        Polygon(dc, polygon.data(), static_cast<int>(polygon.size()));
    }
    SetWindowOrgEx(dc, previousOrigin.x, previousOrigin.y, nullptr);
    SelectObject(dc, previousPen);
    SelectObject(dc, previousBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

} // namespace MGraph1
