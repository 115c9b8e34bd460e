#include "resources/pictures.h"

#include "foundation/moduleinstance.h"
#include "platform/win/resources.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {
constexpr std::uint32_t kKey = 0xFFC0C0C0; // the background of bitmap resources

std::uint32_t Blend(std::uint32_t under, std::uint32_t colour, double coverage)
{
    const double a = ((colour >> 24) / 255.0) * coverage;
    const double ua = (under >> 24) / 255.0;
    const double outA = a + ua * (1 - a);
    if (outA <= 0) {
        return 0;
    }
    auto channel = [&](int shift) {
        const double c = ((colour >> shift) & 0xFF) * a + ((under >> shift) & 0xFF) * ua * (1 - a);
        return static_cast<std::uint32_t>(std::lround(c / outA)) << shift;
    };
    return (static_cast<std::uint32_t>(std::lround(outA * 255)) << 24) | channel(16) | channel(8) | channel(0);
}

// A small drawing surface: shapes are covered with 4 x 4 samples per pixel.
class Sketch {
public:
    Sketch(int width, int height, std::uint32_t background)
    {
        pixels_.width = width;
        pixels_.height = height;
        pixels_.argb.assign(static_cast<std::size_t>(width) * height, background);
    }

    void Shape(std::uint32_t colour, const std::function<bool(double, double)>& inside)
    {
        for (int y = 0; y < pixels_.height; ++y) {
            for (int x = 0; x < pixels_.width; ++x) {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy) {
                    for (int sx = 0; sx < 4; ++sx) {
                        hits += inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4) ? 1 : 0;
                    }
                }
                if (hits) {
                    auto& p = pixels_.argb[static_cast<std::size_t>(y) * pixels_.width + x];
                    p = Blend(p, colour, hits / 16.0);
                }
            }
        }
    }
    void Disc(double cx, double cy, double r, std::uint32_t colour)
    {
        Shape(colour, [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; });
    }
    // Clears a disc back to transparent.
    void Hole(double cx, double cy, double r)
    {
        for (int y = 0; y < pixels_.height; ++y) {
            for (int x = 0; x < pixels_.width; ++x) {
                int hits = 0;
                for (int sy = 0; sy < 4; ++sy) {
                    for (int sx = 0; sx < 4; ++sx) {
                        const double px = x + (sx + 0.5) / 4 - cx, py = y + (sy + 0.5) / 4 - cy;
                        hits += px * px + py * py <= r * r ? 1 : 0;
                    }
                }
                auto& p = pixels_.argb[static_cast<std::size_t>(y) * pixels_.width + x];
                const auto alpha = static_cast<std::uint32_t>(std::lround((p >> 24) * (1 - hits / 16.0)));
                p = alpha ? (alpha << 24) | (p & 0xFFFFFF) : 0;
            }
        }
    }
    void Box(double l, double t, double r, double b, std::uint32_t colour)
    {
        Shape(colour, [=](double x, double y) { return x >= l && x < r && y >= t && y < b; });
    }
    // A line of some width through the points, as a chain of segments.
    void Line(std::initializer_list<std::pair<double, double>> points, double width, std::uint32_t colour)
    {
        const std::vector<std::pair<double, double>> p(points);
        Shape(colour, [&](double x, double y) {
            for (std::size_t i = 1; i < p.size(); ++i) {
                const double ax = p[i - 1].first, ay = p[i - 1].second, bx = p[i].first, by = p[i].second;
                const double dx = bx - ax, dy = by - ay;
                const double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
                const double ex = ax + t * dx - x, ey = ay + t * dy - y;
                if (ex * ex + ey * ey <= width * width / 4) {
                    return true;
                }
            }
            return false;
        });
    }
    // Bitmap resources have no alpha: what is drawn is flattened onto the key colour.
    gdi::ArgbPixels Opaque() const
    {
        gdi::ArgbPixels out = pixels_;
        for (auto& p : out.argb) {
            p = Blend(kKey, p, 1.0) | 0xFF000000u;
        }
        out.bitsPerPixel = 24;
        return out;
    }
    gdi::ArgbPixels WithAlpha() const
    {
        gdi::ArgbPixels out = pixels_;
        out.hasAlpha = true;
        return out;
    }

private:
    gdi::ArgbPixels pixels_;
};

gdi::ArgbPixels ErrorMark()
{
    Sketch s(12, 12, 0);
    s.Disc(6, 6, 5.6, 0xFFD42020);
    s.Box(5.2, 2.3, 6.8, 7.2, 0xFFFFFFFF);
    s.Box(5.2, 8.3, 6.8, 9.8, 0xFFFFFFFF);
    return s.Opaque();
}

// A trace with one peak over a base line.
gdi::ArgbPixels DetectorGroup()
{
    Sketch s(16, 16, 0);
    s.Line({{0.5, 12.5}, {15.5, 12.5}}, 1.0, 0xFF808080);
    s.Line({{0.5, 11}, {5, 11}, {7.5, 2.5}, {10, 11}, {15.5, 11}}, 1.6, 0xFF1060C0);
    s.Disc(7.5, 3, 1.6, 0xFFE07000);
    return s.Opaque();
}

// A stimulus pulse and the response that follows it.
gdi::ArgbPixels EvokedGroup()
{
    Sketch s(16, 16, 0);
    s.Line({{0.5, 12}, {2.5, 12}, {2.5, 3}, {4, 3}, {4, 12}, {6, 12}, {8, 6}, {10.5, 14}, {13, 10.5}, {15.5, 11}}, 1.4,
           0xFF208040);
    return s.Opaque();
}

// Snap: a magnet over a grid line.
gdi::ArgbPixels SnapButton()
{
    Sketch s(16, 16, 0);
    s.Line({{0.5, 14.5}, {15.5, 14.5}}, 1.0, 0xFF707070);
    s.Line({{4, 2}, {4, 8}}, 3, 0xFFC82828);
    s.Line({{12, 2}, {12, 8}}, 3, 0xFFC82828);
    s.Shape(0xFFC82828, [](double x, double y) {
        const double r = std::hypot(x - 8, y - 8);
        return y >= 8 && r <= 5.5 && r >= 2.5;
    });
    s.Box(2.5, 1, 5.5, 3, 0xFFE8E8E8);
    s.Box(10.5, 1, 13.5, 3, 0xFFE8E8E8);
    return s.WithAlpha();
}

gdi::ArgbPixels MenuSettings()
{
    Sketch s(16, 16, 0);
    for (int i = 0; i < 8; ++i) {
        const double a = i * 3.14159265358979 / 4;
        s.Line({{8 + 4 * std::cos(a), 8 + 4 * std::sin(a)}, {8 + 7 * std::cos(a), 8 + 7 * std::sin(a)}}, 2.2, 0xFF505868);
    }
    s.Disc(8, 8, 5, 0xFF505868);
    s.Hole(8, 8, 2.2);
    return s.WithAlpha();
}

gdi::ArgbPixels MenuAnalyze()
{
    Sketch s(16, 16, 0);
    s.Line({{0.5, 12}, {4, 12}, {6, 3}, {8, 12}, {11, 12}, {12.5, 7}, {14, 12}, {15.5, 12}}, 1.5, 0xFF1060C0);
    s.Disc(6, 3.5, 1.8, 0xC0E07000);
    s.Disc(12.5, 7.5, 1.5, 0xC0E07000);
    return s.WithAlpha();
}

gdi::ArgbPixels MenuTableView()
{
    Sketch s(16, 16, 0);
    s.Box(1, 2, 15, 14, 0xFFFFFFFF);
    s.Box(1, 2, 15, 5, 0xFF4070B0);
    for (double y : {5.0, 8.0, 11.0, 13.5}) {
        s.Box(1, y, 15, y + 0.6, 0xFF808080);
    }
    for (double x : {1.0, 6.0, 10.5, 14.4}) {
        s.Box(x, 2, x + 0.6, 14, 0xFF808080);
    }
    return s.WithAlpha();
}

gdi::ArgbPixels MenuAnalysisView()
{
    Sketch s(16, 16, 0);
    s.Box(1, 1, 15, 15, 0xFFFFFFFF);
    s.Box(1, 1, 15, 1.8, 0xFF606060);
    s.Box(1, 14.2, 15, 15, 0xFF606060);
    s.Box(1, 1, 1.8, 15, 0xFF606060);
    s.Box(14.2, 1, 15, 15, 0xFF606060);
    s.Line({{2, 11}, {5, 11}, {7, 4}, {9, 12}, {14, 10}}, 1.3, 0xFFC03030);
    s.Line({{7, 2}, {7, 14}}, 0.8, 0x8000A000);
    return s.WithAlpha();
}

// The error mark's pictures: a red disc with a cross, a yellow triangle with a bar, a blue disc with an "i".
gdi::ArgbPixels ProviderError()
{
    Sketch s(12, 12, 0);
    s.Disc(6, 6, 5.6, 0xFFC81E1E);
    s.Line({{3.8, 3.8}, {8.2, 8.2}}, 1.6, 0xFFFFFFFF);
    s.Line({{8.2, 3.8}, {3.8, 8.2}}, 1.6, 0xFFFFFFFF);
    return s.Opaque();
}

gdi::ArgbPixels ProviderWarning()
{
    Sketch s(12, 12, 0);
    s.Shape(0xFFF0B400, [](double x, double y) { return y >= 0.5 && y <= 11.5 && std::abs(x - 6) <= (y - 0.5) / 2; });
    s.Box(5.3, 3.8, 6.7, 8, 0xFF000000);
    s.Box(5.3, 9, 6.7, 10.4, 0xFF000000);
    return s.Opaque();
}

gdi::ArgbPixels ProviderInfo()
{
    Sketch s(14, 15, 0);
    s.Disc(7, 7.5, 6.4, 0xFF1E64C8);
    s.Box(6.2, 3, 7.8, 4.6, 0xFFFFFFFF);
    s.Box(6.2, 6, 7.8, 12, 0xFFFFFFFF);
    return s.Opaque();
}

// Help: a question mark in a blue disc.
gdi::ArgbPixels HelpGlyph()
{
    Sketch s(15, 15, 0);
    s.Disc(7.5, 7.5, 7, 0xFF2A6CC0);
    s.Line({{5, 5.5}, {5.6, 3.9}, {7.5, 3.2}, {9.4, 3.9}, {10, 5.5}, {9.2, 7}, {7.5, 8}, {7.5, 9.6}}, 1.7, 0xFFFFFFFF);
    s.Disc(7.5, 11.6, 1.1, 0xFFFFFFFF);
    return s.Opaque();
}

struct Entry {
    UINT id;
    bool png;
    gdi::ArgbPixels (*draw)();
    int bits = 24; // of bitmap resources
};

constexpr Entry kPictures[] = {
    {PictureId::ErrorMark, false, ErrorMark},
    {PictureId::EvokedGroup, false, EvokedGroup},
    {PictureId::DetectorGroup, false, DetectorGroup},
    {PictureId::SnapButton, true, SnapButton},
    {PictureId::MenuSettings, true, MenuSettings},
    {PictureId::MenuAnalyze, true, MenuAnalyze},
    {PictureId::MenuTableView, true, MenuTableView},
    {PictureId::MenuAnalysisView, true, MenuAnalysisView},
    {PictureId::ProviderError, false, ProviderError, 32},
    {PictureId::ProviderWarning, false, ProviderWarning},
    {PictureId::ProviderInfo, false, ProviderInfo},
    {PictureId::HelpGlyph, false, HelpGlyph},
};

struct Registration {
    Registration()
    {
        for (const Entry& entry : kPictures) {
            const gdi::ArgbPixels pixels = entry.draw();
            const std::vector<std::byte> bytes = entry.png ? gdi::EncodePng(pixels) : gdi::EncodeDib(pixels, entry.bits);
            platform::RegisterResource(KVO::ModuleInstance(), entry.png ? u"PNG" : RT_BITMAP,
                                       MAKEINTRESOURCEW(entry.id), LANG_NEUTRAL, bytes);
        }
    }
};
const Registration g_registration;
}

namespace Resources {
gdi::ArgbPixels Picture(UINT id)
{
    for (const Entry& entry : kPictures) {
        if (entry.id == id) {
            return entry.draw();
        }
    }
    return {};
}
}
