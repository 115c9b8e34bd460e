// Fonts through fontconfig and cairo-ft, and the text calls. The Windows faces map to free faces of the same widths;
// glyphs are drawn without anti-aliasing and with hinted (whole-pixel) advances, so that widths are integers as in GDI.
#include "platform/gdi/canvas.h"
#include "platform/win/codepage.h"

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace gdi {
namespace {
std::string Lower(std::u16string_view face)
{
    std::string text = platform::Utf16ToUtf8(face);
    for (char& ch : text) {
        if (ch >= 'A' && ch <= 'Z') {
            ch = static_cast<char>(ch - 'A' + 'a');
        }
    }
    return text;
}

// The free faces that stand in for the Windows ones. Wine's Tahoma and Liberation Sans, Serif and Mono keep the
// advance widths of Tahoma, Arial, Times New Roman and Courier New, so that text laid out in those widths fits. Faces
// that Windows draws with bitmaps (MS Sans Serif, System …) take the nearest scalable face, because a printer page
// needs outlines at any size. Faces with no metric twin keep DejaVu, which also stands in when a free face is missing.
constexpr const char* kTahoma = "Tahoma";
constexpr const char* kSans = "Liberation Sans";
constexpr const char* kSerif = "Liberation Serif";
constexpr const char* kMono = "Liberation Mono";

const char* MetricTwin(const std::string& face, BYTE pitchAndFamily)
{
    static const std::map<std::string, const char*> twins{
        {"ms shell dlg", kTahoma},     {"ms shell dlg 2", kTahoma}, {"tahoma", kTahoma},
        {"ms sans serif", kTahoma},    {"microsoft sans serif", kTahoma}, {"segoe ui", kTahoma},
        {"system", kTahoma},           {"small fonts", kTahoma},    {"arial", kSans},
        {"helvetica", kSans},          {"times new roman", kSerif}, {"times", kSerif},
        {"ms serif", kSerif},          {"courier new", kMono},      {"courier", kMono},
        {"fixedsys", kMono},           {"terminal", kMono},         {"lucida console", kMono},
        {"consolas", kMono},
    };
    if (const auto found = twins.find(face); found != twins.end()) {
        return found->second;
    }
    if (face.empty() && (pitchAndFamily & 0x3) == FIXED_PITCH) {
        return kMono;
    }
    return nullptr;
}

const char* DejaVuFor(const std::string& face, BYTE pitchAndFamily)
{
    if (face.find("courier") != std::string::npos || face == "consolas" || face == "lucida console" ||
        face == "fixedsys" || face == "terminal" || (pitchAndFamily & 0x3) == FIXED_PITCH) {
        return "DejaVu Sans Mono";
    }
    if (face.find("times") != std::string::npos || face == "georgia" || face == "serif" || face == "ms serif") {
        return "DejaVu Serif";
    }
    return "DejaVu Sans";
}

// Wine's faces live outside fontconfig's own folders: they are added to the process's fonts once.
void AddWineFaces()
{
    static const bool added = [] {
        FcInit();
        for (const char* file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
            FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(file));
        }
        return true;
    }();
    (void)added;
}

// fontconfig's nearest font to a family in a style.
FcPattern* Match(const std::string& family, bool bold, bool italic)
{
    AddWineFaces();
    FcPattern* query = FcPatternCreate();
    FcPatternAddString(query, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(query, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(query, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddInteger(query, FC_WIDTH, FC_WIDTH_NORMAL);
    FcConfigSubstitute(nullptr, query, FcMatchPattern);
    FcDefaultSubstitute(query);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, query, &result);
    FcPatternDestroy(query);
    return match;
}

// The matched font for a family, or null when fontconfig only found a substitute or a bitmap face.
FcPattern* MatchScalable(const std::string& family, bool bold, bool italic)
{
    FcPattern* match = Match(family, bold, italic);
    if (!match) {
        return nullptr;
    }
    FcChar8* matched = nullptr;
    FcBool scalable = FcFalse;
    FcPatternGetBool(match, FC_SCALABLE, 0, &scalable);
    if (FcPatternGetString(match, FC_FAMILY, 0, &matched) != FcResultMatch || !scalable ||
        FcStrCmpIgnoreCase(matched, reinterpret_cast<const FcChar8*>(family.c_str())) != 0) {
        FcPatternDestroy(match);
        return nullptr;
    }
    return match;
}

bool Installed(const std::string& family)
{
    static auto* known = new std::map<std::string, bool>;
    const auto found = known->find(family);
    if (found != known->end()) {
        return found->second;
    }
    FcPattern* match = MatchScalable(family, false, false);
    if (match) {
        FcPatternDestroy(match);
    }
    return (*known)[family] = match != nullptr;
}

std::string MapFace(const LOGFONTW& log)
{
    const std::string face = Lower(std::u16string_view(log.lfFaceName));
    if (const char* twin = MetricTwin(face, log.lfPitchAndFamily); twin && Installed(twin)) {
        return twin;
    }
    return DejaVuFor(face, log.lfPitchAndFamily);
}

// GDI measures a TrueType face's cell by the Windows ascent and descent of its OS/2 table, not by the typographic
// values that FreeType may report: a positive LOGFONT height is that cell, and tmAscent and tmDescent are its parts.
struct Face {
    cairo_font_face_t* face = nullptr;
    double ascentPerEm = 0.8;
    double descentPerEm = 0.2;
    double CellPerEm() const { return ascentPerEm + descentPerEm; }
};

Face& LoadFace(const std::string& family, bool bold, bool italic)
{
    static auto* faces = new std::map<std::tuple<std::string, bool, bool>, Face>;
    auto& slot = (*faces)[{family, bold, italic}];
    if (slot.face) {
        return slot;
    }
    FcPattern* match = MatchScalable(family, bold, italic);
    if (!match) {
        match = Match(family, bold, italic); // a family that is missing: fontconfig's nearest
    }
    // Render from the matched file only, with fixed options, whatever the machine's fontconfig settings say.
    FcPattern* pattern = FcPatternCreate();
    FcChar8* file = nullptr;
    int index = 0;
    if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        FcPatternAddString(pattern, FC_FILE, file);
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcPatternAddInteger(pattern, FC_INDEX, index);
    }
    FcPatternAddBool(pattern, FC_ANTIALIAS, FcFalse);
    FcPatternAddBool(pattern, FC_HINTING, FcTrue);
    FcPatternAddInteger(pattern, FC_HINT_STYLE, FC_HINT_FULL);
    FcPatternAddBool(pattern, FC_AUTOHINT, FcFalse);
    FcPatternAddBool(pattern, FC_EMBEDDED_BITMAP, FcFalse);
    slot.face = cairo_ft_font_face_create_for_pattern(pattern);
    FcPatternDestroy(pattern);
    if (match) {
        FcPatternDestroy(match);
    }
    // The cell height per em, measured unhinted at a large size.
    cairo_matrix_t size;
    cairo_matrix_t identity;
    cairo_matrix_init_scale(&size, 1000, 1000);
    cairo_matrix_init_identity(&identity);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_scaled_font_t* probe = cairo_scaled_font_create(slot.face, &size, &identity, options);
    cairo_font_extents_t extents;
    cairo_scaled_font_extents(probe, &extents);
    slot.ascentPerEm = extents.ascent / 1000.0;
    slot.descentPerEm = extents.descent / 1000.0;
    if (FT_Face ft = cairo_ft_scaled_font_lock_face(probe)) {
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
        if (os2 && ft->units_per_EM > 0 && os2->usWinAscent + os2->usWinDescent > 0) {
            slot.ascentPerEm = static_cast<double>(os2->usWinAscent) / ft->units_per_EM;
            slot.descentPerEm = static_cast<double>(os2->usWinDescent) / ft->units_per_EM;
        }
        cairo_ft_scaled_font_unlock_face(probe);
    }
    cairo_scaled_font_destroy(probe);
    cairo_font_options_destroy(options);
    return slot;
}
}

std::string FontFamilyOf(const LOGFONTW& log) { return MapFace(log); }

struct RealFont {
    cairo_scaled_font_t* scaled = nullptr;
    double angle = 0; // radians, counter-clockwise
    TEXTMETRICW metrics{};
    bool underline = false;
    bool strikeOut = false;
};

namespace {
RealFont& Realize(const LOGFONTW& log, double yScale)
{
    static auto* fonts = new std::map<std::tuple<std::string, bool, bool, int, int, int>, RealFont>;
    const std::string family = MapFace(log);
    const bool bold = log.lfWeight >= FW_SEMIBOLD;
    const bool italic = log.lfItalic != 0;
    Face& face = LoadFace(family, bold, italic);
    LONG height = log.lfHeight;
    if (height == 0) {
        height = 16;
    }
    double em = height < 0 ? -height : height / face.CellPerEm();
    em = std::max(1.0, std::round(em * yScale));
    const int escapement = log.lfEscapement % 3600;
    auto& real = (*fonts)[{family, bold, italic, static_cast<int>(em), escapement,
                           log.lfUnderline * 2 + log.lfStrikeOut}];
    if (real.scaled) {
        return real;
    }
    cairo_matrix_t size;
    cairo_matrix_t identity;
    cairo_matrix_init_scale(&size, em, em);
    cairo_matrix_init_identity(&identity);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    real.scaled = cairo_scaled_font_create(face.face, &size, &identity, options);
    cairo_font_options_destroy(options);
    real.angle = escapement * 3.14159265358979323846 / 1800.0;
    real.underline = log.lfUnderline != 0;
    real.strikeOut = log.lfStrikeOut != 0;
    cairo_font_extents_t extents;
    cairo_scaled_font_extents(real.scaled, &extents);
    TEXTMETRICW& tm = real.metrics;
    tm.tmAscent = std::max<LONG>(1, std::lround(face.ascentPerEm * em));
    tm.tmDescent = std::max<LONG>(0, std::lround(face.descentPerEm * em));
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max<LONG>(0, tm.tmHeight - static_cast<LONG>(em));
    tm.tmExternalLeading = 0;
    cairo_text_extents_t x;
    cairo_scaled_font_text_extents(real.scaled, "x", &x);
    tm.tmAveCharWidth = static_cast<LONG>(std::lround(x.x_advance));
    tm.tmMaxCharWidth = static_cast<LONG>(std::lround(extents.max_x_advance));
    tm.tmWeight = bold ? FW_BOLD : FW_NORMAL;
    tm.tmItalic = italic;
    tm.tmUnderlined = log.lfUnderline;
    tm.tmStruckOut = log.lfStrikeOut;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFFFC;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmPitchAndFamily = static_cast<BYTE>((family == "DejaVu Sans Mono" || family == kMono ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR |
                                            TMPF_TRUETYPE | (log.lfPitchAndFamily & 0xF0));
    tm.tmCharSet = log.lfCharSet;
    return real;
}

RealFont* DcFont(const Dc& dc)
{
    Font* font = AsFont(dc.state.font);
    if (!font) {
        font = AsFont(GetStockObject(SYSTEM_FONT));
    }
    const double yScale = dc.state.mapMode == MM_TEXT || dc.state.windowExt.cy == 0
                              ? 1.0
                              : std::abs(static_cast<double>(dc.state.viewportExt.cy) / dc.state.windowExt.cy);
    return &Realize(font->log, yScale);
}

struct Glyphs {
    std::vector<cairo_glyph_t> glyphs;
    std::vector<int> advances; // one per UTF-16 unit (0 for the second unit of a pair)
    int width = 0;
};

// Lays text out on one line from x = 0 on the baseline, with whole-pixel advances, or with `dx` when given.
Glyphs Layout(RealFont& font, std::u16string_view text, const INT* dx)
{
    Glyphs out;
    out.advances.assign(text.size(), 0);
    double x = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t units = 1;
        if (text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size()) {
            units = 2;
        }
        const std::string utf8 = platform::Utf16ToUtf8(text.substr(i, units));
        cairo_glyph_t* glyphs = nullptr;
        int count = 0;
        if (cairo_scaled_font_text_to_glyphs(font.scaled, x, 0, utf8.c_str(), static_cast<int>(utf8.size()),
                                             &glyphs, &count, nullptr, nullptr, nullptr) == CAIRO_STATUS_SUCCESS) {
            cairo_text_extents_t extents;
            cairo_scaled_font_glyph_extents(font.scaled, glyphs, count, &extents);
            const int advance = dx ? dx[i] : static_cast<int>(std::lround(extents.x_advance));
            out.glyphs.insert(out.glyphs.end(), glyphs, glyphs + count);
            out.advances[i] = advance;
            x += advance;
            cairo_glyph_free(glyphs);
        }
        i += units - 1;
    }
    out.width = static_cast<int>(std::lround(x));
    return out;
}

void DrawGlyphs(const Canvas& c, RealFont& font, POINT origin, const Glyphs& laid, const RECT* clip, bool opaque,
                const RECT* opaqueRect)
{
    const Dc& dc = *c.dc;
    const TEXTMETRICW& tm = font.metrics;
    // Alignment: the reference point is the top-left corner unless TA_* says otherwise.
    const UINT align = dc.state.textAlign;
    // The alignment offsets run along the text's own axes, which turn with the font's escapement.
    int alongText = 0;
    if ((align & TA_CENTER) == TA_CENTER) {
        alongText = -laid.width / 2;
    } else if (align & TA_RIGHT) {
        alongText = -laid.width;
    }
    int toBaseline = tm.tmAscent;
    if ((align & TA_BASELINE) == TA_BASELINE) {
        toBaseline = 0;
    } else if (align & TA_BOTTOM) {
        toBaseline = -tm.tmDescent;
    }
    cairo_t* cr = NewContext(c);
    // A clip that holds the whole text changes nothing; it is left out, because a vector page narrows a clip to the
    // glyphs' hinted ink box and rounds it to whole points, which can shave the last glyph's outline.
    const bool textInsideClip =
        clip && font.angle == 0 && origin.x + alongText >= clip->left &&
        origin.x + alongText + laid.width <= clip->right && origin.y + toBaseline - tm.tmAscent >= clip->top &&
        origin.y + toBaseline + tm.tmDescent <= clip->bottom;
    if (clip && !textInsideClip) {
        cairo_rectangle(cr, clip->left, clip->top, clip->right - clip->left, clip->bottom - clip->top);
        cairo_clip(cr);
    }
    const COLORREF bk = dc.state.bkColor;
    if (opaqueRect) {
        cairo_set_source_rgb(cr, GetRValue(bk) / 255.0, GetGValue(bk) / 255.0, GetBValue(bk) / 255.0);
        cairo_rectangle(cr, opaqueRect->left, opaqueRect->top, opaqueRect->right - opaqueRect->left,
                        opaqueRect->bottom - opaqueRect->top);
        cairo_fill(cr);
    }
    cairo_translate(cr, origin.x, origin.y);
    cairo_rotate(cr, -font.angle);
    cairo_translate(cr, alongText, toBaseline);
    if (opaque && dc.state.bkMode == OPAQUE) {
        cairo_set_source_rgb(cr, GetRValue(bk) / 255.0, GetGValue(bk) / 255.0, GetBValue(bk) / 255.0);
        cairo_rectangle(cr, 0, -tm.tmAscent, laid.width, tm.tmHeight);
        cairo_fill(cr);
    }
    const COLORREF ink = dc.state.textColor;
    cairo_set_source_rgb(cr, GetRValue(ink) / 255.0, GetGValue(ink) / 255.0, GetBValue(ink) / 255.0);
    cairo_set_scaled_font(cr, font.scaled);
    cairo_show_glyphs(cr, laid.glyphs.data(), static_cast<int>(laid.glyphs.size()));
    const int thickness = std::max<LONG>(1, tm.tmHeight / 14);
    if (font.underline) {
        cairo_rectangle(cr, 0, std::max<LONG>(1, tm.tmDescent / 2), laid.width, thickness);
        cairo_fill(cr);
    }
    if (font.strikeOut) {
        cairo_rectangle(cr, 0, -tm.tmAscent / 3, laid.width, thickness);
        cairo_fill(cr);
    }
    Finish(c, cr);
}

std::u16string_view View(LPCWSTR text, int count)
{
    if (!text) {
        return {};
    }
    return count < 0 ? std::u16string_view(text) : std::u16string_view(text, static_cast<std::size_t>(count));
}

int Width(RealFont& font, std::u16string_view text) { return Layout(font, text, nullptr).width; }
}
}

using gdi::Canvas;

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx)
{
    gdi::LogCall(hdc, "ExtTextOutW(" + gdi::LogArgs({x, y, options}) + "," +
                          gdi::LogText(text ? text : u"", text ? static_cast<int>(count) : 0) + ")");
    Canvas c;
    if (!gdi::OpenCanvas(hdc, c)) {
        return gdi::LookupDc(hdc) != nullptr;
    }
    gdi::RealFont& font = *gdi::DcFont(*c.dc);
    const POINT origin = c.dc->state.textAlign & TA_UPDATECP ? gdi::ToDevice(*c.dc, c.dc->state.current)
                                                             : gdi::ToDevice(*c.dc, POINT{x, y});
    std::vector<INT> scaledDx;
    if (dx) {
        for (UINT i = 0; i < count; ++i) {
            scaledDx.push_back(gdi::ScaleX(*c.dc, dx[i]));
        }
    }
    const gdi::Glyphs laid = gdi::Layout(font, gdi::View(text, text ? static_cast<int>(count) : 0),
                                         dx ? scaledDx.data() : nullptr);
    RECT device{};
    if (rect) {
        device = gdi::ToDeviceRect(*c.dc, *rect);
    }
    const bool opaqueRect = rect && (options & ETO_OPAQUE);
    gdi::DrawGlyphs(c, font, origin, laid, rect && (options & ETO_CLIPPED) ? &device : nullptr, !opaqueRect,
                    opaqueRect ? &device : nullptr);
    if (c.dc->state.textAlign & TA_UPDATECP) {
        c.dc->state.current.x += laid.width;
    }
    return TRUE;
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count)
{
    gdi::LogCall(hdc, "TextOutW(" + gdi::LogArgs({x, y}) + "," + gdi::LogText(text, count) + ")");
    gdi::Dc* dc = gdi::LookupDc(hdc);
    if (!dc) {
        return FALSE;
    }
    gdi::CallLog* log = dc->log;
    dc->log = nullptr; // one line per call
    const BOOL result = ExtTextOutW(hdc, x, y, 0, nullptr, text, static_cast<UINT>(std::max(count, 0)), nullptr);
    dc->log = log;
    return result;
}

BOOL GetTextExtentExPointW(HDC hdc, LPCWSTR text, int count, int maxExtent, int* fit, int* dx, LPSIZE size)
{
    gdi::Dc* dc = gdi::LookupDc(hdc);
    if (!dc || count < 0 || (!text && count > 0)) {
        return FALSE;
    }
    gdi::RealFont& font = *gdi::DcFont(*dc);
    const gdi::Glyphs laid = gdi::Layout(font, gdi::View(text, count), nullptr);
    int x = 0;
    int fitted = 0;
    for (int i = 0; i < count; ++i) {
        x += laid.advances[static_cast<std::size_t>(i)];
        if (dx) {
            dx[i] = x;
        }
        if (x <= maxExtent) {
            fitted = i + 1;
        }
    }
    if (fit) {
        *fit = fitted;
    }
    if (size) {
        // Back to logical units.
        const int sx = gdi::ScaleX(*dc, 1000);
        const int sy = gdi::ScaleY(*dc, 1000);
        *size = SIZE{sx ? MulDiv(laid.width, 1000, sx) : laid.width,
                     sy ? MulDiv(font.metrics.tmHeight, 1000, sy) : font.metrics.tmHeight};
    }
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size)
{
    return GetTextExtentExPointW(hdc, text, count, 0, nullptr, nullptr, size);
}

BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW metrics)
{
    gdi::Dc* dc = gdi::LookupDc(hdc);
    if (!dc || !metrics) {
        return FALSE;
    }
    *metrics = gdi::DcFont(*dc)->metrics;
    return TRUE;
}

int GetTextFaceW(HDC hdc, int count, LPWSTR face)
{
    gdi::Dc* dc = gdi::LookupDc(hdc);
    gdi::Font* font = dc ? gdi::AsFont(dc->state.font) : nullptr;
    if (!font) {
        return 0;
    }
    const std::u16string_view name(font->log.lfFaceName);
    if (!face) {
        return static_cast<int>(name.size()) + 1;
    }
    if (count <= 0) {
        return 0;
    }
    const std::size_t n = std::min<std::size_t>(name.size(), static_cast<std::size_t>(count - 1));
    std::copy_n(name.data(), n, face);
    face[n] = 0;
    return static_cast<int>(n) + 1;
}

// DrawText: prefixes, lines, word breaks, ellipsis and alignment, drawn through TextOut.
namespace {
struct Line {
    std::u16string text;
    int underline = -1; // index of the prefixed character
};

std::u16string StripPrefix(std::u16string_view text, UINT format, int& underline)
{
    underline = -1;
    if (format & DT_NOPREFIX) {
        return std::u16string(text);
    }
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != u'&' && underline < 0 && !(format & DT_HIDEPREFIX)) {
                underline = static_cast<int>(out.size());
            }
        } else if (text[i] == u'&') {
            continue;
        }
        out += text[i];
    }
    return out;
}

std::vector<Line> BreakLines(gdi::RealFont& font, std::u16string_view text, UINT format, int width)
{
    std::vector<std::u16string> paragraphs;
    if (format & DT_SINGLELINE) {
        paragraphs.emplace_back(text);
    } else {
        std::u16string current;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == u'\r' || text[i] == u'\n') {
                if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                    ++i;
                }
                paragraphs.push_back(current);
                current.clear();
            } else {
                current += text[i];
            }
        }
        paragraphs.push_back(current);
    }
    std::vector<Line> lines;
    for (std::u16string& paragraph : paragraphs) {
        if (format & DT_EXPANDTABS) {
            std::u16string expanded;
            for (char16_t ch : paragraph) {
                if (ch == u'\t') {
                    expanded += u"        ";
                } else {
                    expanded += ch;
                }
            }
            paragraph = expanded;
        }
        if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE)) {
            lines.push_back(Line{paragraph, -1});
            continue;
        }
        // Greedy word wrap; a word wider than the line stays whole unless DT_EDITCONTROL lets it break.
        std::size_t start = 0;
        while (start <= paragraph.size()) {
            std::size_t end = paragraph.size();
            if (gdi::Width(font, std::u16string_view(paragraph).substr(start)) > width) {
                std::size_t lastBreak = std::u16string::npos;
                for (std::size_t i = start; i < paragraph.size(); ++i) {
                    if (paragraph[i] == u' ' &&
                        gdi::Width(font, std::u16string_view(paragraph).substr(start, i - start)) <= width) {
                        lastBreak = i;
                    }
                }
                if (lastBreak != std::u16string::npos) {
                    end = lastBreak;
                } else {
                    end = paragraph.find(u' ', start);
                    if (end == std::u16string::npos) {
                        end = paragraph.size();
                    }
                }
            }
            lines.push_back(Line{paragraph.substr(start, end - start), -1});
            if (end >= paragraph.size()) {
                break;
            }
            start = end;
            while (start < paragraph.size() && paragraph[start] == u' ') {
                ++start;
            }
        }
    }
    return lines;
}
}

int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format)
{
    gdi::Dc* dc = gdi::LookupDc(hdc);
    if (!dc || !rect || !text) {
        return 0;
    }
    gdi::LogCall(hdc, "DrawTextW(" + gdi::LogText(text, count) + "," +
                          gdi::LogArgs({rect->left, rect->top, rect->right, rect->bottom, format}) + ")");
    gdi::RealFont& font = *gdi::DcFont(*dc);
    int underline = -1;
    const std::u16string plain = StripPrefix(gdi::View(text, count), format, underline);
    const int width = gdi::ScaleX(*dc, rect->right - rect->left);
    std::vector<Line> lines = BreakLines(font, plain, format, width);
    if (underline >= 0 && !lines.empty()) {
        // The prefix applies to the line that holds it.
        int offset = underline;
        for (Line& line : lines) {
            if (offset < static_cast<int>(line.text.size())) {
                line.underline = offset;
                break;
            }
            offset -= static_cast<int>(line.text.size());
        }
    }
    if ((format & DT_END_ELLIPSIS) || (format & DT_WORD_ELLIPSIS) || (format & DT_PATH_ELLIPSIS)) {
        for (Line& line : lines) {
            if (gdi::Width(font, line.text) > width) {
                std::u16string cut = line.text;
                while (!cut.empty() && gdi::Width(font, cut + u"...") > width) {
                    cut.pop_back();
                }
                line.text = cut + u"...";
            }
        }
    }
    const int lineHeight = MulDiv(font.metrics.tmHeight, 1000, std::max(1, gdi::ScaleY(*dc, 1000)));
    int textWidth = 0;
    for (const Line& line : lines) {
        textWidth = std::max(textWidth, gdi::Width(font, line.text));
    }
    textWidth = MulDiv(textWidth, 1000, std::max(1, gdi::ScaleX(*dc, 1000)));
    const int height = lineHeight * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        if (!(format & DT_SINGLELINE) && !(format & DT_WORDBREAK)) {
            rect->right = rect->left + textWidth;
        } else {
            rect->right = rect->left + (format & DT_WORDBREAK ? std::max(textWidth, 0) : textWidth);
        }
        rect->bottom = rect->top + height;
        return height;
    }
    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER) {
            y = rect->top + (rect->bottom - rect->top - height) / 2;
        } else if (format & DT_BOTTOM) {
            y = rect->bottom - height;
        }
    }
    const int top = y;
    gdi::CallLog* log = dc->log;
    dc->log = nullptr;
    const UINT oldAlign = SetTextAlign(hdc, TA_LEFT | TA_TOP);
    for (const Line& line : lines) {
        const int w = MulDiv(gdi::Width(font, line.text), 1000, std::max(1, gdi::ScaleX(*dc, 1000)));
        int x = rect->left;
        if (format & DT_CENTER) {
            x = rect->left + (rect->right - rect->left - w) / 2;
        } else if (format & DT_RIGHT) {
            x = rect->right - w;
        }
        const UINT options = format & DT_NOCLIP ? 0 : ETO_CLIPPED;
        ExtTextOutW(hdc, x, y, options, rect, line.text.c_str(), static_cast<UINT>(line.text.size()), nullptr);
        if (line.underline >= 0) {
            const int before = gdi::Width(font, std::u16string_view(line.text).substr(0, line.underline));
            const int glyph = gdi::Width(font, std::u16string_view(line.text).substr(line.underline, 1));
            HPEN pen = CreatePen(PS_SOLID, 1, GetTextColor(hdc));
            HGDIOBJ old = SelectObject(hdc, pen);
            const int rop = SetROP2(hdc, R2_COPYPEN);
            MoveToEx(hdc, x + before, y + font.metrics.tmAscent + 1, nullptr);
            LineTo(hdc, x + before + glyph, y + font.metrics.tmAscent + 1);
            SetROP2(hdc, rop);
            SelectObject(hdc, old);
            DeleteObject(pen);
        }
        y += lineHeight;
    }
    SetTextAlign(hdc, oldAlign);
    dc->log = log;
    return (format & (DT_VCENTER | DT_BOTTOM)) && (format & DT_SINGLELINE) ? top - rect->top + height : height;
}
