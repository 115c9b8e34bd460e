// Scale steps, colour arithmetic, dialog fonts and DPI, off-screen and printer DCs, and the small drawing routines.
#include "foundation/devicecontexts.h"
#include "foundation/dialogfont.h"
#include "foundation/drawutils.h"
#include "foundation/hsvcolor.h"
#include "foundation/linkingutils.h"
#include "foundation/nicestep.h"
#include "foundation/utilities.h"
#include "foundation/xkvo.h"
#include "platform/gdi/dc.h"
#include "platform/owl/dialog.h"
#include "platform/ui/dialog.h"
#include "platform/ui/window.h"
#include "platform/win/globalmem.h"
#include "platform/win/libloader.h"
#include "platform/win/profile.h"

#include "tests/winutil/metafilekit.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

TEST(NiceStep, OneTwoFiveStepsAtDecadesAndAwkwardValues)
{
    struct Case {
        double value, up, down;
    };
    const Case cases[] = {
        {1, 2, 0.5},       {2, 5, 1},          {5, 10, 2},         {7, 10, 5},          {9.6, 20, 5},
        {0.03, 0.05, 0.02}, {0.96, 2, 0.5},    {1000, 2000, 500},  {0.001, 0.002, 0.0005}, {1e-6, 2e-6, 5e-7},
        {3e5, 5e5, 2e5},   {1e300, 2e300, 5e299}, {4.2, 5, 2},        {3.2, 5, 2},         {6, 10, 5},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(c.up, KVO::NiceStepUp(c.value)) << c.value;
        EXPECT_DOUBLE_EQ(c.down, KVO::NiceStepDown(c.value)) << c.value;
    }
    // Values without a decade come back as they are instead of looping or giving 0.
    const double inf = std::numeric_limits<double>::infinity();
    for (double v : {0.0, -3.0, -inf, inf, 1e-320}) {
        EXPECT_EQ(v, KVO::NiceStepUp(v));
        EXPECT_EQ(v, KVO::NiceStepDown(v));
    }
    EXPECT_TRUE(std::isnan(KVO::NiceStepUp(std::nan(""))));
    EXPECT_TRUE(std::isnan(KVO::NiceStepDown(std::nan(""))));
}

TEST(Colors, HsvOfPrimariesGreysAndAlpha)
{
    const KVO::HSVColor black(RGB(0, 0, 0));
    EXPECT_EQ(-1, black.hue);
    EXPECT_EQ(0, black.saturation);
    const KVO::HSVColor red(RGB(255, 0, 0));
    EXPECT_EQ(0, red.hue);
    EXPECT_EQ(1, red.saturation);
    EXPECT_DOUBLE_EQ(255.0 / 256, red.value);
    const KVO::HSVColor green(0x7F00FF00u);
    EXPECT_EQ(0x7F, green.alpha);
    EXPECT_DOUBLE_EQ(120, green.hue);
    EXPECT_DOUBLE_EQ(240, KVO::HSVColor(RGB(0, 0, 255)).hue);
    EXPECT_DOUBLE_EQ(300, KVO::HSVColor(RGB(255, 0, 255)).hue);
    const KVO::HSVColor grey(RGB(128, 128, 128));
    EXPECT_EQ(0, grey.hue);
    EXPECT_EQ(0, grey.saturation);

    // Back to red, green and blue.
    KVO::HSVColor mixed(RGB(10, 200, 30));
    mixed.red = mixed.green = mixed.blue = 0;
    mixed.ToRGB();
    EXPECT_NEAR(10 / 256.0, mixed.red, 1e-12);
    EXPECT_NEAR(200 / 256.0, mixed.green, 1e-12);
    EXPECT_NEAR(30 / 256.0, mixed.blue, 1e-12);
    // A hue of 360 is red again, not the last sector's magenta.
    KVO::HSVColor full(RGB(0, 0, 0));
    full.hue = 360;
    full.saturation = 1;
    full.value = 1;
    full.ToRGB();
    EXPECT_EQ(1, full.red);
    EXPECT_EQ(0, full.green);
    EXPECT_EQ(0, full.blue);
    // A component that is not a number has no hue.
    KVO::HSVColor broken(RGB(1, 2, 3));
    broken.red = broken.green = broken.blue = std::nan("");
    broken.ComputeHSV();
    EXPECT_EQ(-1, broken.hue);
    EXPECT_EQ(0, broken.saturation);
}

TEST(Colors, DesaturateAndShiftBrightness)
{
    // Red at half the saturation: the value moves up by the same step.
    EXPECT_EQ(RGB(255, 127, 127), KVO::DesaturateColor(RGB(255, 0, 0), 0.5));
    // A factor beyond 1 counts as 1: no saturation, full value. Alpha is dropped.
    EXPECT_EQ(RGB(255, 255, 255), KVO::DesaturateColor(0x400000FFu, 3));
    // More saturation for a grey moves the value down to black.
    EXPECT_EQ(RGB(0, 0, 0), KVO::DesaturateColor(RGB(128, 128, 128), -0.5));
    // A step of at most 0.01 keeps the value: 255/256 of full red, truncated.
    EXPECT_EQ(RGB(254, 1, 1), KVO::DesaturateColor(RGB(255, 0, 0), 0.004));

    EXPECT_EQ(RGB(152, 202, 252), KVO::ShiftColorBrightness(RGB(100, 150, 200), 0.5, 255));
    EXPECT_EQ(RGB(150, 200, 200), KVO::ShiftColorBrightness(RGB(100, 150, 200), 1, 200));
    EXPECT_EQ(RGB(50, 50, 50), KVO::ShiftColorBrightness(RGB(100, 150, 200), 0.5, 50)); // at most the target
}

class WindowUtilitiesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        objects = gdi::LiveObjectCount();
        dcs = gdi::LiveDcCount();
        version = platform::GetOsVersion();
    }
    void TearDown() override
    {
        gdi::SetScreenDpi(96);
        platform::SetOsVersion(version);
        platform::SetThemesActive(false);
        platform::SetLibraryMissing(u"shcore.dll", false);
        owl::GetApplicationObject().SetLangId(MAKELANGID(0x09, 0x01));
        platform::SetProfileString(u"windows", u"device", std::nullopt);
        KVO::ResetWindowDpi();
        ui::reset();
        EXPECT_EQ(objects, gdi::LiveObjectCount());
        EXPECT_EQ(dcs, gdi::LiveDcCount());
    }
    int objects = 0;
    int dcs = 0;
    platform::OsVersion version;
};

LOGFONTW LogOf(HFONT font)
{
    LOGFONTW log{};
    GetObjectW(font, sizeof log, &log);
    return log;
}

TEST_F(WindowUtilitiesTest, DialogFontsAtTwoDpisAndOnOtherDevices)
{
    for (const int dpi : {96, 120}) {
        gdi::SetScreenDpi(dpi);
        owl::TScreenDC screen;
        const int height = dpi == 96 ? 13 : 17; // 10 points, rounded
        const KVO::DialogFont font(screen, 0, 0);
        const LOGFONTW log = font.GetObject();
        EXPECT_EQ(height, log.lfHeight) << dpi;
        EXPECT_EQ(std::u16string(u"MS Shell Dlg 2"), log.lfFaceName);
        EXPECT_EQ(FW_NORMAL, log.lfWeight);
        EXPECT_EQ(34, log.lfPitchAndFamily);
        EXPECT_EQ(OUT_DEFAULT_PRECIS, log.lfOutPrecision);
        const LOGFONTW turned = KVO::DialogFont(screen, 8, 900).GetObject();
        EXPECT_EQ(MulDiv(8, dpi, 72), turned.lfHeight);
        EXPECT_EQ(900, turned.lfEscapement);
        EXPECT_EQ(900, turned.lfOrientation);
        EXPECT_EQ(OUT_TT_ONLY_PRECIS, turned.lfOutPrecision);

        HFONT bold = KVO::CreateDialogFontForDC(nullptr, 0, true, true);
        const LOGFONTW boldLog = LogOf(bold);
        EXPECT_EQ(height, boldLog.lfHeight);
        EXPECT_EQ(FW_BOLD, boldLog.lfWeight);
        EXPECT_EQ(1, boldLog.lfUnderline);
        EXPECT_EQ(DEFAULT_CHARSET, boldLog.lfCharSet);
        DeleteObject(bold);

        const KVO::MetricFont metric(screen, 9, true);
        const LOGFONTW metricLog = metric.GetObject();
        EXPECT_EQ(std::u16string(u"MS Shell Dlg"), metricLog.lfFaceName); // the default GUI font's face
        EXPECT_EQ(MulDiv(9, dpi, 72), metricLog.lfHeight);
        EXPECT_EQ(FW_BOLD, metricLog.lfWeight);
        EXPECT_EQ(18, metricLog.lfPitchAndFamily);
        EXPECT_GT(metric.Metrics.tmHeight, 0);
        EXPECT_EQ(FW_BOLD, metric.Metrics.tmWeight);
        const SIZE charSize = KVO::GetFontCharSize(metric);
        EXPECT_EQ(metric.Metrics.tmAveCharWidth, charSize.cx);
        EXPECT_EQ(metric.Metrics.tmHeight + metric.Metrics.tmExternalLeading, charSize.cy);
    }
    gdi::SetScreenDpi(96);

    // Chinese and Japanese applications take 12 points by default.
    owl::GetApplicationObject().SetLangId(MAKELANGID(0x11, 0x01));
    HFONT japanese = KVO::CreateDialogFontForDC(nullptr, 0, false, false);
    EXPECT_EQ(16, LogOf(japanese).lfHeight);
    DeleteObject(japanese);

    // A printer has its own resolution and wants TrueType outlines; a scaled mapping scales the height.
    owl::TPrintDC printer(u"winspool", u"Office");
    const LOGFONTW printed = KVO::DialogFont(printer, 10, 0).GetObject();
    EXPECT_EQ(83, printed.lfHeight);
    EXPECT_EQ(OUT_TT_ONLY_PRECIS, printed.lfOutPrecision);
    EXPECT_EQ(OUT_TT_ONLY_PRECIS, KVO::MetricFont(printer, 10, false).GetObject().lfOutPrecision);
    owl::TMemoryDC memory;
    SetMapMode(memory, MM_ANISOTROPIC);
    SetWindowExtEx(memory, 2, 2, nullptr);
    SetViewportExtEx(memory, 1, 1, nullptr);
    EXPECT_EQ(26, KVO::PointsToLogicalHeight(memory, 10));

    HFONT font = nullptr;
    EXPECT_FALSE(KVO::CreateDialogFontPt(nullptr, nullptr, 10, 0));
    EXPECT_FALSE(KVO::CreateDialogFont(nullptr, nullptr, 10, 0));
    ASSERT_TRUE(KVO::CreateDialogFontPt(nullptr, &font, 12, 0));
    EXPECT_EQ(16, LogOf(font).lfHeight);
    EXPECT_EQ(OUT_DEFAULT_PRECIS, LogOf(font).lfOutPrecision);
    DeleteObject(font);
    ASSERT_TRUE(KVO::CreateDialogFont(nullptr, &font, -20, 450));
    EXPECT_EQ(-20, LogOf(font).lfHeight);
    EXPECT_EQ(450, LogOf(font).lfEscapement);
    EXPECT_EQ(OUT_TT_ONLY_PRECIS, LogOf(font).lfOutPrecision);
    DeleteObject(font);
}

TEST_F(WindowUtilitiesTest, WindowDpiPerMonitorFromWindows81AndKeptOtherwise)
{
    ui::SetMonitors({ui::Monitor{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}},
                     ui::Monitor{RECT{1920, 0, 3840, 2160}, RECT{1920, 0, 3840, 2120}, 144}});
    HWND right = CreateWindowExW(0, u"Static", u"", WS_POPUP, 2000, 100, 200, 100, nullptr, nullptr, nullptr, nullptr);
    HWND left = CreateWindowExW(0, u"Static", u"", WS_POPUP, 100, 100, 200, 100, nullptr, nullptr, nullptr, nullptr);
    // Windows 7 knows no per-monitor DPI: the screen's pair, read once, even without shcore.
    platform::SetOsVersion({6, 1, 7601, VER_PLATFORM_WIN32_NT, 1, 0});
    platform::SetLibraryMissing(u"shcore.dll", true);
    gdi::SetScreenDpi(120);
    EXPECT_EQ(120u, KVO::GetWindowDpi(right).x);
    gdi::SetScreenDpi(96);
    EXPECT_EQ(120u, KVO::GetWindowDpi(right).y);
    platform::SetLibraryMissing(u"shcore.dll", false);
    // Windows 10: each window's monitor, and the last answer is kept for callers without a window.
    platform::SetOsVersion({10, 0, 19045, VER_PLATFORM_WIN32_NT, 0, 0});
    EXPECT_EQ(144u, KVO::GetWindowDpi(right).x);
    EXPECT_EQ(144u, KVO::GetWindowDpi(nullptr).y);
    EXPECT_EQ(96u, KVO::GetWindowDpi(left).x);
    EXPECT_EQ(96u, KVO::GetWindowDpi(nullptr).x);
    DestroyWindow(right);
    DestroyWindow(left);
}

TEST_F(WindowUtilitiesTest, ScreenBitmapsPrintersAndMetafilePictures)
{
    {
        ScreenBitMapDC empty(0, 5);
        EXPECT_EQ(nullptr, empty.Bitmap);
        EXPECT_NE(nullptr, empty.GetHandle());
    }
    {
        ScreenBitMapDC bitmap(20, 10);
        ASSERT_NE(nullptr, bitmap.Bitmap);
        EXPECT_EQ(bitmap.Bitmap, GetCurrentObject(bitmap, OBJ_BITMAP));
        SetViewportOrgEx(bitmap, 5, 5, nullptr);
        EXPECT_TRUE(bitmap.TextRect(owl::TRect(0, 0, 2, 2), owl::TColor(RGB(10, 20, 30))));
        EXPECT_EQ(RGB(10, 20, 30), GetPixel(bitmap, 0, 0));
    }
    try {
        ScreenBitMapDC tooLarge(40000, 10);
        FAIL() << "a bitmap of 40000 columns was made";
    } catch (const XKVO& error) {
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), error.Code());
        EXPECT_EQ(0, error.GetDescription().View().find(u"ScreenBitMapDC:: ctor fail"));
    }

    // The default printer comes from the profile; an entry without device or driver gives the screen.
    const auto kind = [] { return KVO::CreateDefaultPrinterDC()->GetDeviceCaps(TECHNOLOGY); };
    EXPECT_EQ(DT_RASDISPLAY, kind());
    platform::SetProfileString(u"windows", u"device", u"Office Printer,winspool,LPT1:");
    EXPECT_NE(nullptr, dynamic_cast<owl::TPrintDC*>(KVO::CreateDefaultPrinterDC().get()));
    EXPECT_EQ(DT_RASPRINTER, kind());
    for (const char16_t* entry : {u"Office Printer", u",winspool,LPT1:", u"Office Printer,,LPT1:", u""}) {
        platform::SetProfileString(u"windows", u"device", entry);
        EXPECT_NE(nullptr, dynamic_cast<owl::TScreenDC*>(KVO::CreateDefaultPrinterDC().get()));
    }

    // An enhanced metafile whose frame is 26.46 x 13.23 mm.
    const auto emf = testkit::EnhMetaHeader(RECT{0, 0, 99, 49}, RECT{0, 0, 2646, 1323});
    HENHMETAFILE enhanced = SetEnhMetaFileBits(88, emf.data());
    const int blocks = platform::LiveGlobalBlocks();
    HGLOBAL block = KVO::EnhMetaFileToMetaFilePict(enhanced, nullptr);
    ASSERT_NE(nullptr, block);
    const auto* picture = static_cast<const METAFILEPICT*>(GlobalLock(block));
    EXPECT_EQ(MM_ANISOTROPIC, picture->mm);
    EXPECT_EQ(2646, picture->xExt);
    EXPECT_EQ(1323, picture->yExt);
    std::vector<BYTE> expected(GetWinMetaFileBits(enhanced, 0, nullptr, MM_ANISOTROPIC, nullptr));
    GetWinMetaFileBits(enhanced, static_cast<UINT>(expected.size()), expected.data(), MM_ANISOTROPIC, nullptr);
    std::vector<BYTE> held(GetMetaFileBitsEx(picture->hMF, 0, nullptr));
    GetMetaFileBitsEx(picture->hMF, static_cast<UINT>(held.size()), held.data());
    EXPECT_EQ(expected, held);
    EXPECT_TRUE(DeleteMetaFile(picture->hMF));
    GlobalUnlock(block);
    GlobalFree(block);
    EXPECT_EQ(blocks, platform::LiveGlobalBlocks());
    EXPECT_EQ(nullptr, KVO::EnhMetaFileToMetaFilePict(nullptr, nullptr));
    DeleteEnhMetaFile(enhanced);
}

TEST_F(WindowUtilitiesTest, ThemeLibraryForwardsToUxTheme)
{
    auto& uxtheme = KVOLinkingUtils::UxThemeDLL::Instance();
    EXPECT_EQ(&uxtheme, &KVOLinkingUtils::UxThemeDLL::Instance());
    EXPECT_GE(platform::LibraryLoadCount(u"uxtheme.dll"), 1);
    EXPECT_FALSE(uxtheme.IsThemeActive());
    EXPECT_EQ(nullptr, uxtheme.OpenThemeData(nullptr, u"Button"));
    platform::SetThemesActive(true);
    EXPECT_TRUE(uxtheme.IsThemeActive());
    HTHEME theme = uxtheme.OpenThemeData(nullptr, u"Button");
    ASSERT_NE(nullptr, theme);
    ScreenBitMapDC bitmap(16, 16);
    const RECT box{0, 0, 13, 13};
    EXPECT_EQ(S_OK, uxtheme.DrawThemeBackground(theme, bitmap, BP_CHECKBOX, CBS_CHECKEDNORMAL, &box));
    EXPECT_EQ(S_OK, uxtheme.CloseThemeData(theme));
    EXPECT_EQ(0, platform::OpenThemeCount());
    EXPECT_EQ(u"[DELTA]", std::u16string(KVO::DeltaSymbolToken()));
}

TEST_F(WindowUtilitiesTest, FramesBandsAndPlaceholders)
{
    // A frame in the button-shadow colour, one pixel inside the rectangle; the background colour is kept.
    ScreenBitMapDC frame(10, 8);
    frame.TextRect(owl::TRect(0, 0, 10, 8), owl::TColor::White);
    SetBkColor(frame, RGB(1, 2, 3));
    KVO::DrawFrameRect(frame, RECT{1, 1, 9, 7});
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    EXPECT_EQ(shadow, GetPixel(frame, 1, 1));
    EXPECT_EQ(shadow, GetPixel(frame, 8, 6));
    EXPECT_EQ(shadow, GetPixel(frame, 1, 6));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(frame, 2, 2));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(frame, 0, 0));
    EXPECT_EQ(RGB(1, 2, 3), GetBkColor(frame));

    // Column x of the source is RGB(x, 0, 0), but column 4 is white; the destination starts blue.
    ScreenBitMapDC source(10, 4);
    ScreenBitMapDC target(10, 4);
    const auto reset = [&] { target.TextRect(owl::TRect(0, 0, 10, 4), owl::TColor(RGB(0, 0, 255))); };
    for (int x = 0; x < 10; ++x) {
        source.TextRect(owl::TRect(x, 0, x + 1, 4), owl::TColor(x == 4 ? RGB(255, 255, 255) : RGB(x, 0, 0)));
    }
    const auto row = [&] {
        std::vector<COLORREF> pixels;
        for (int x = 0; x < 10; ++x) {
            pixels.push_back(GetPixel(target, x, 3));
        }
        return pixels;
    };
    const COLORREF blue = RGB(0, 0, 255);
    const COLORREF white = RGB(255, 255, 255);
    const RECT rect{0, 0, 10, 4};
    KVO::BandLayer to{2, 6, 255, 0, target};
    KVO::BandLayer from{0, 0, 255, 0, source};
    reset();
    KVO::BlitHorizontalBand(to, rect, from, 3); // columns 5 to 8
    EXPECT_EQ((std::vector<COLORREF>{blue, blue, blue, blue, blue, RGB(5, 0, 0), RGB(6, 0, 0), RGB(7, 0, 0),
                                     RGB(8, 0, 0), blue}),
              row());
    reset();
    KVO::BlitHorizontalBand(to, rect, from, 7); // columns 9, and 0 to 2 wrapped around
    EXPECT_EQ((std::vector<COLORREF>{RGB(0, 0, 0), RGB(1, 0, 0), RGB(2, 0, 0), blue, blue, blue, blue, blue, blue,
                                     RGB(9, 0, 0)}),
              row());
    // Onto a layer that is not opaque nothing is copied, unless the source has white transparent.
    reset();
    to.opacity = 128;
    KVO::BlitHorizontalBand(to, rect, from, 1);
    EXPECT_EQ(std::vector<COLORREF>(10, blue), row());
    from.flags = KVO::kLayerTransparentWhite;
    KVO::BlitHorizontalBand(to, rect, from, 1); // columns 3 to 6, of which 4 is white
    EXPECT_EQ((std::vector<COLORREF>{blue, blue, blue, RGB(3, 0, 0), blue, RGB(5, 0, 0), RGB(6, 0, 0), blue, blue,
                                     blue}),
              row());
    EXPECT_NE(white, row()[4]);

    // The placeholder control of a dialog, in the dialog's client coordinates.
    const HINSTANCE module = platform::ModuleHandleFromAddress(reinterpret_cast<const void*>(&KVO::NiceStepUp));
    ui::DialogTemplateData data;
    data.cx = 200;
    data.cy = 120;
    data.items = {{u"Static", u"", KVO::DlgItemPlaceholder::kControlId, 10, 20, 100, 50, WS_VISIBLE}};
    ui::RegisterDialogTemplate(module, u"PLACEHOLDER", data);
    HWND dialog = CreateDialogParamW(module, u"PLACEHOLDER", nullptr, nullptr, 0);
    ASSERT_NE(nullptr, dialog);
    RECT expected{10, 20, 110, 70};
    MapDialogRect(dialog, &expected);
    EXPECT_EQ(expected, KVO::DlgItemPlaceholder(dialog).Rect);
    EXPECT_EQ((RECT{}), KVO::DlgItemPlaceholder(GetDlgItem(dialog, KVO::DlgItemPlaceholder::kControlId)).Rect);
    DestroyWindow(dialog);
}
}
