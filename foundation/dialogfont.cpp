#include "foundation/dialogfont.h"

#include "foundation/linkingutils.h"
#include "foundation/utilities.h"

#include <optional>

namespace KVO {
namespace {
constexpr BYTE kDialogPitchAndFamily = VARIABLE_PITCH | FF_SWISS; // 34
constexpr BYTE kMetricPitchAndFamily = VARIABLE_PITCH | FF_ROMAN; // 18

// A DC to measure on: the given one, or the screen's for the object's lifetime.
class MeasureDC {
public:
    explicit MeasureDC(HDC dc) : dc_(dc ? dc : GetDC(nullptr)), own_(!dc) {}
    ~MeasureDC()
    {
        if (own_ && dc_) {
            ReleaseDC(nullptr, dc_);
        }
    }
    MeasureDC(const MeasureDC&) = delete;
    MeasureDC& operator=(const MeasureDC&) = delete;
    operator HDC() const { return dc_; }

private:
    HDC dc_;
    bool own_;
};

LOGFONTW DialogLog(LONG height, LONG weight, int angle, bool underline, bool ttOnly)
{
    LOGFONTW log{};
    log.lfHeight = height;
    log.lfEscapement = angle;
    log.lfOrientation = angle;
    log.lfWeight = weight;
    log.lfUnderline = underline ? 1 : 0;
    log.lfCharSet = DEFAULT_CHARSET;
    log.lfOutPrecision = ttOnly ? OUT_TT_ONLY_PRECIS : OUT_DEFAULT_PRECIS;
    log.lfPitchAndFamily = kDialogPitchAndFamily;
    std::char_traits<char16_t>::copy(log.lfFaceName, kDialogFontFace, std::size(kDialogFontFace));
    return log;
}

LOGFONTW MetricLog(HDC dc, int points, bool bold)
{
    LOGFONTW log{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof log, &log);
    const std::u16string face(log.lfFaceName);
    log = LOGFONTW{};
    std::char_traits<char16_t>::copy(log.lfFaceName, face.c_str(), std::min<std::size_t>(face.size() + 1, LF_FACESIZE));
    log.lfHeight = PointsToLogicalHeight(dc, points);
    log.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    log.lfPitchAndFamily = kMetricPitchAndFamily;
    log.lfCharSet = DEFAULT_CHARSET;
    log.lfOutPrecision = IsRasterDisplay(dc) ? OUT_DEFAULT_PRECIS : OUT_TT_ONLY_PRECIS;
    return log;
}

std::optional<DpiPair>& KeptDpi()
{
    static std::optional<DpiPair> dpi;
    return dpi;
}
}

int DefaultDialogFontPoints()
{
    const WORD language = PRIMARYLANGID(owl::GetApplicationObject().GetLangId());
    return language == 0x04 || language == 0x11 ? 12 : 10; // Chinese, Japanese
}

int PointsToLogicalHeight(HDC dc, int points)
{
    const int height = MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    SIZE window{1, 1};
    SIZE viewport{1, 1};
    GetWindowExtEx(dc, &window);
    GetViewportExtEx(dc, &viewport);
    return MulDiv(height, window.cx, viewport.cx);
}

bool IsRasterDisplay(HDC dc) { return GetDeviceCaps(dc, TECHNOLOGY) == DT_RASDISPLAY; }

MetricFont::MetricFont(HDC dc, int points, bool bold) : TFont(MetricLog(dc, points, bold))
{
    HGDIOBJ previous = SelectObject(dc, GetHandle());
    GetTextMetricsW(dc, &Metrics);
    SelectObject(dc, previous);
}

DialogFont::DialogFont(HDC dc, int points, int angle)
    : TFont(DialogLog(PointsToLogicalHeight(dc, points ? points : DefaultDialogFontPoints()), FW_NORMAL, angle, false,
                      angle != 0 || !IsRasterDisplay(dc)))
{
}

HFONT CreateDialogFontForDC(HDC dc, int points, bool bold, bool underline)
{
    const MeasureDC measure(dc);
    const LOGFONTW log = DialogLog(PointsToLogicalHeight(measure, points ? points : DefaultDialogFontPoints()),
                                   bold ? FW_BOLD : FW_NORMAL, 0, underline, !IsRasterDisplay(measure));
    return CreateFontIndirectW(&log);
}

bool CreateDialogFontPt(HDC dc, HFONT* font, int points, int angle)
{
    if (!font) {
        return false;
    }
    const MeasureDC measure(dc);
    return CreateDialogFont(measure, font, PointsToLogicalHeight(measure, points), angle);
}

bool CreateDialogFont(HDC dc, HFONT* font, int height, int angle)
{
    if (!font) {
        return false;
    }
    const MeasureDC measure(dc);
    const LOGFONTW log = DialogLog(height, FW_NORMAL, angle, false, angle != 0 || !IsRasterDisplay(measure));
    *font = CreateFontIndirectW(&log);
    return true;
}

DpiPair GetWindowDpi(HWND window)
{
    if (window && IsWindows81OrLater()) {
        UINT x = 0;
        UINT y = 0;
        const HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
        if (SUCCEEDED(KVOLinkingUtils::ShcoreDLL::Instance().GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &x, &y))) {
            KeptDpi() = DpiPair{x, y};
            return *KeptDpi();
        }
    }
    if (!KeptDpi()) {
        const MeasureDC screen(nullptr);
        KeptDpi() = DpiPair{static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX)),
                            static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY))};
    }
    return *KeptDpi();
}

void ResetWindowDpi() { KeptDpi().reset(); }

SIZE GetFontCharSize(HFONT font)
{
    const MeasureDC screen(nullptr);
    if (!static_cast<HDC>(screen)) {
        return SIZE{0, 0};
    }
    HGDIOBJ previous = SelectObject(screen, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    if (previous) {
        SelectObject(screen, previous);
    }
    return SIZE{metrics.tmAveCharWidth, metrics.tmHeight + metrics.tmExternalLeading};
}

} // namespace KVO
