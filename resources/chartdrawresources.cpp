#include "resources/chartdrawresources.h"

#include "foundation/moduleinstance.h"
#include "platform/gdi/imagecodec.h"
#include "platform/ui/menus.h"
#include "platform/win/resources.h"
#include "platform/win/winuser.h"

#include <cmath>
#include <functional>

namespace {
using namespace StringId;

const platform::StringTableEntry kStrings[] = {
    {StackTraces, u"Autoscale and stack traces"},
    {OverlayTraces, u"Autoscale and overlay traces"},
    {SourceTraceOnly, u"Autoscale and show the source trace only"},
    {ChartView, u"Chart View"},
    {StartSampling, u"Start Sampling"},
    {PauseSampling, u"Pause Sampling"},
    {ExpandHorizontal, u"Expand horizontal scaling"},
    {CompressHorizontal, u"Compress horizontal scaling"},
    {SetHorizontalScaling, u"Set horizontal scaling"},
    {ToggleFollow, u"Toggle scroll while sampling on/off"},
    {SamplingUnavailable, u"No %1 available - sampling is disabled"},
    {AutoscaleHorizontal, u"Auto-scale horizontally to fit all traces in overlay"},
    {CannotStartSampling, u"Cannot start sampling"},
    {HostCaption, u"HOSTAPP"},
    {ShowLatestData, u"Show latest data"},
};

std::vector<ui::MenuTemplateItem> ZoomMenu()
{
    static const char16_t* const texts[] = {
        u"     x10", u"     x5", u"     x2 ", u"    1:1 ", u"    2:1 ", u"    5:1 ", u"   10:1 ",
        u"   20:1 ", u"   50:1 ", u"  100:1 ", u"  200:1 ", u"  500:1 ", u"   1k:1 ", u"   2k:1 ",
        u"   5k:1 ", u"  10k:1 ", u"  20k:1 ", u"  50k:1 ", u" 100k:1 ", u" 200k:1 ", u" 500k:1 "};
    std::vector<ui::MenuTemplateItem> items;
    UINT command = 1130;
    for (const char16_t* text : texts) {
        items.push_back({text, command++, 0, {}});
    }
    return items;
}

// A 16 x 16 picture: a dark shape on transparent ground, sampled 4 x 4 per pixel.
gdi::ArgbPixels Glyph(std::uint32_t colour, const std::function<bool(double, double)>& inside)
{
    gdi::ArgbPixels pixels;
    pixels.width = pixels.height = 16;
    pixels.hasAlpha = true;
    pixels.argb.assign(256, 0);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            int hits = 0;
            for (int s = 0; s < 16; ++s) {
                hits += inside(x + (s % 4 + 0.5) / 4, y + (s / 4 + 0.5) / 4) ? 1 : 0;
            }
            pixels.argb[y * 16 + x] = hits ? (static_cast<std::uint32_t>(hits * 255 / 16) << 24) | colour : 0;
        }
    }
    return pixels;
}

bool Triangle(double x, double y, double tipX, double baseX)
{
    const double t = (x - baseX) / (tipX - baseX);
    return t >= 0 && t <= 1 && std::abs(y - 8) <= 6 * (1 - t);
}

struct Registration {
    Registration()
    {
        const HINSTANCE module = KVO::ModuleInstance();
        platform::RegisterStringTable(module, kStrings);
        platform::RegisterResource(module, RT_MENU, u"XCOMPRESSEXPAND", LANG_NEUTRAL, ui::BuildMenuTemplate(ZoomMenu()));
        platform::RegisterResource(module, RT_ACCELERATOR, u"CHARTDRAWACCELS", LANG_NEUTRAL,
                                   ui::BuildAcceleratorTemplate({{FVIRTKEY, VK_LEFT, ChartDraw::kCommandLineLeft},
                                                                 {FVIRTKEY, VK_RIGHT, ChartDraw::kCommandLineRight},
                                                                 {FVIRTKEY | FSHIFT, VK_LEFT, ChartDraw::kCommandPageLeft},
                                                                 {FVIRTKEY | FSHIFT, VK_RIGHT, ChartDraw::kCommandPageRight}}));
        const std::uint32_t blue = 0x1F4E9A;
        const std::uint32_t red = 0xB02020;
        const std::pair<UINT, gdi::ArgbPixels> pictures[] = {
            {PictureId::Expand, Glyph(blue, [](double x, double y) { return Triangle(x, y, 1, 6.5) || Triangle(x, y, 15, 9.5); })},
            {PictureId::Compress, Glyph(blue, [](double x, double y) { return Triangle(x, y, 6.5, 1) || Triangle(x, y, 9.5, 15); })},
            {PictureId::ChartView, Glyph(blue, [](double x, double y) { return (x > 2 && x < 14 && y > 3 && y < 13) && !(x > 3.5 && x < 12.5 && y > 4.5 && y < 11.5 && std::abs(y - 8 - 2 * std::sin(x)) > 0.8); })},
            {PictureId::StartSampling, Glyph(red, [](double x, double y) { return (x - 8) * (x - 8) + (y - 8) * (y - 8) < 30; })},
            {PictureId::PauseSampling, Glyph(blue, [](double x, double y) { return y > 3 && y < 13 && ((x > 4 && x < 7) || (x > 9 && x < 12)); })},
            {PictureId::StackTraces, Glyph(blue, [](double x, double y) { return std::abs(y - 5 - std::sin(x)) < 0.8 || std::abs(y - 11 - std::sin(x)) < 0.8; })},
            {PictureId::OverlayTraces, Glyph(blue, [](double x, double y) { return std::abs(y - 8 - 2 * std::sin(x)) < 0.8 || std::abs(y - 8 - 2 * std::cos(x)) < 0.8; })},
            {PictureId::SourceTraceOnly, Glyph(blue, [](double x, double y) { return std::abs(y - 8 - 3 * std::sin(x / 2)) < 0.9; })},
            {PictureId::AutoscaleHorizontal, Glyph(blue, [](double x, double y) { return (std::abs(y - 8) < 1 && x > 2 && x < 14) || Triangle(x, y, 1, 5) || Triangle(x, y, 15, 11); })},
            {PictureId::ShowLatest, Glyph(blue, [](double x, double y) { return Triangle(x, y, 12, 4) || (x > 12 && x < 14 && y > 2 && y < 14); })},
        };
        for (const auto& [id, pixels] : pictures) {
            platform::RegisterResource(module, u"PNG", MAKEINTRESOURCEW(id), LANG_NEUTRAL, gdi::EncodePng(pixels));
        }
    }
};
const Registration g_registration;
}
