// Gadget windows and button gadgets: theme states under the mouse, the disabled look, sizes at two DPIs, the
// pulsing highlight, menu gadgets, images that fall back to bitmaps, and a whole gadget window as a picture.
#include "controls/buttongadgets.h"
#include "controls/gadgetwindows.h"
#include "controlkit.h"
#include "platform/gdi/dc.h"
#include "platform/ui/input.h"
#include "platform/ui/menus.h"
#include "platform/win/resources.h"
#include "resources/pictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {
using namespace controlkit;
using KVOControls::UxGadgetWindow;

constexpr int kSnap = 300;
constexpr int kDisabled = 301;

// The gadgets' owner: the disabled command is off with the text "Off"; the snap command is checked as asked.
class Host : public RecordingOwner {
public:
    Host() : RecordingOwner(400, 200)
    {
        enabler = [this](owl::TCommandEnabler& query) {
            if (query.GetId() == static_cast<owl::uint>(kDisabled)) {
                query.Enable(false);
                query.SetText(u"Off");
            } else if (query.GetId() == static_cast<owl::uint>(kSnap)) {
                query.Enable(true);
                query.SetCheck(checkSnap);
            }
        };
    }
    int checkSnap = owl::TCommandEnabler::Unchecked;
};

// Counts what reaches one gadget.
class CountingGadget : public UxSizableButtonGadget {
public:
    using UxSizableButtonGadget::UxSizableButtonGadget;
    void MouseLeave(owl::uint modKeys, const owl::TPoint& point) override
    {
        ++leaves;
        UxSizableButtonGadget::MouseLeave(modKeys, point);
    }
    void Paint(owl::TDC& dc) override
    {
        ++paints;
        UxSizableButtonGadget::Paint(dc);
    }
    int leaves = 0;
    int paints = 0;
};

class GadgetsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        ui::ClearTrackedPopups();
        platform::SetThemesActive(true);
        host = new Host;
        window = new UxGadgetWindow(host);
        window->Attr.X = 10;
        window->Attr.Y = 10;
        window->Attr.W = 360;
        window->Attr.H = 40;
    }
    void TearDown() override
    {
        ui::SetPopupMenuHook(nullptr);
        host->Destroy();
        delete host;
        platform::SetThemesActive(false);
        gdi::SetScreenDpi(96);
        UxSizableButtonGadget::ResetScreenDpi();
        ui::reset();
    }
    // A point of a gadget in the gadget window's client coordinates.
    POINT Centre(const owl::TGadget& gadget)
    {
        const owl::TRect& b = gadget.GetBounds();
        return POINT{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
    }
    Host* host = nullptr;
    UxGadgetWindow* window = nullptr;
};

TEST_F(GadgetsTest, TheMouseTakesAButtonFromHotToPressedAndBackToHot)
{
    auto* gadget = new CountingGadget(kSnap, PictureId::SnapButton);
    window->Insert(*gadget);
    host->Create();
    ASSERT_NE(nullptr, window->Theme());
    ASSERT_NE(nullptr, gadget->Theme());
    struct Step {
        const char* what;
        int themeState;
    };
    const POINT centre = Centre(*gadget);
    EXPECT_EQ(PBS_NORMAL, gadget->ThemeState());
    ui::MouseMove(*window, centre);
    EXPECT_EQ(PBS_HOT, gadget->ThemeState());
    ui::MouseDown(*window, centre);
    EXPECT_EQ(PBS_PRESSED, gadget->ThemeState());
    EXPECT_EQ(gadget, window->GadgetWithCapture());
    ui::MouseUp(*window, centre);
    EXPECT_EQ(PBS_HOT, gadget->ThemeState());
    EXPECT_EQ(std::vector<int>{kSnap}, host->commands);
    // Leaving the window cools it down.
    ui::MouseMove(*host, POINT{300, 150});
    EXPECT_EQ(PBS_NORMAL, gadget->ThemeState());
    EXPECT_EQ(1, gadget->leaves);

    // Pressed and dragged out of the window: one leave, no command on release outside.
    ui::MouseMove(*window, centre);
    ui::MouseDown(*window, centre);
    ui::MouseMove(*host, POINT{300, 150});
    EXPECT_EQ(2, gadget->leaves);
    ui::MouseUp(*host, POINT{300, 150});
    EXPECT_EQ(std::vector<int>{kSnap}, host->commands);
    EXPECT_EQ(PBS_NORMAL, gadget->ThemeState());
}

TEST_F(GadgetsTest, EnablersDisableAndCheckGadgetsAndTheDisabledImageIsGreyBlue)
{
    auto* snap = new UxSizableButtonGadget(kSnap, PictureId::SnapButton);
    auto* off = new UxSizableButtonGadget(kDisabled, PictureId::SnapButton);
    off->SetStyle(owl::TButtonTextGadget::sBitmapText);
    off->SetLayoutStyle(owl::TButtonTextGadget::lTextRight);
    off->SetText(u"On", false);
    window->Insert(*snap);
    window->Insert(*off);
    host->Create();
    host->checkSnap = owl::TCommandEnabler::Checked;
    window->IdleAction(0);
    EXPECT_FALSE(off->GetEnabled());
    EXPECT_EQ(u"Off", off->GetText());
    EXPECT_EQ(PBS_DISABLED, off->ThemeState());
    EXPECT_EQ(owl::TButtonGadget::Down, snap->GetButtonState());
    EXPECT_EQ(PBS_PRESSED, snap->ThemeState());
    // Checks and texts can be ignored.
    snap->IgnoreEnablerCheck = true;
    host->checkSnap = owl::TCommandEnabler::Unchecked;
    window->IdleAction(0);
    EXPECT_EQ(owl::TButtonGadget::Down, snap->GetButtonState());

    const gdi::Image image = ui::RenderWindow(*window);
    RECT windowRect{};
    RECT clientRect{};
    GetWindowRect(*window, &windowRect);
    GetClientRect(*window, &clientRect);
    POINT client{0, 0};
    ClientToScreen(*window, &client);
    const int dx = client.x - windowRect.left;
    const int dy = client.y - windowRect.top;

    // Opaque pixels of the image in the disabled look: every channel (R + G + B) x w + 0.4.
    const double w[3] = {std::cos(std::numbers::pi / 4) * std::cos(38 * std::numbers::pi / 180) * 0.4,
                         std::sin(std::numbers::pi / 4) * std::cos(38 * std::numbers::pi / 180) * 0.4,
                         std::sin(38 * std::numbers::pi / 180) * 0.4};
    owl::TRect textRect;
    owl::TRect imageRect;
    off->LayoutRects(textRect, imageRect);
    const gdi::ArgbPixels picture = Resources::Picture(PictureId::SnapButton);
    const int ox = imageRect.left + (imageRect.Width() - picture.width) / 2;
    const int oy = imageRect.top + (imageRect.Height() - picture.height) / 2;
    int checked = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t p = picture.argb[static_cast<std::size_t>(y) * picture.width + x];
            if ((p >> 24) != 0xFF) {
                continue;
            }
            const double sum = (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 255.0;
            const COLORREF shown = image.at(dx + ox + x, dy + oy + y);
            EXPECT_NEAR(std::min(255.0, (sum * w[0] + 0.4) * 255), GetRValue(shown), 2) << x << "," << y;
            EXPECT_NEAR(std::min(255.0, (sum * w[1] + 0.4) * 255), GetGValue(shown), 2) << x << "," << y;
            EXPECT_NEAR(std::min(255.0, (sum * w[2] + 0.4) * 255), GetBValue(shown), 2) << x << "," << y;
            ++checked;
        }
    }
    EXPECT_GT(checked, 30);
    // The text is etched: highlight-coloured strokes under shadow-coloured ones.
    int highlight = 0;
    int shadow = 0;
    for (int y = textRect.top; y < textRect.bottom; ++y) {
        for (int x = textRect.left; x < textRect.right; ++x) {
            const COLORREF c = image.at(dx + x, dy + y);
            highlight += c == GetSysColor(COLOR_3DHIGHLIGHT) ? 1 : 0;
            shadow += c == GetSysColor(COLOR_3DSHADOW) ? 1 : 0;
        }
    }
    EXPECT_GT(highlight, 5);
    EXPECT_GT(shadow, 5);
}

TEST_F(GadgetsTest, DesiredSizesScaleTheImageByTheScreenDpiReadOnce)
{
    auto* gadget = new UxSizableButtonGadget(kSnap, PictureId::SnapButton);
    window->Insert(*gadget);
    host->Create();
    const owl::TGadget::TBorders borders = gadget->GetBorders();
    const owl::TGadget::TMargins margins = gadget->GetMargins();
    const int plainW = static_cast<int>(borders.Left + borders.Right) + margins.Left + margins.Right;
    const int plainH = static_cast<int>(borders.Top + borders.Bottom) + margins.Top + margins.Bottom;
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, window->GetFont());
    SIZE text{};
    GetTextExtentPoint32W(screen, u"Snap to events", 14, &text);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);

    struct Case {
        int dpi;
        bool withText;
        owl::TSize expected;
    };
    const Case cases[] = {
        {96, false, owl::TSize(plainW + 16, plainH + 16)},
        {144, false, owl::TSize(plainW + 24, plainH + 24)},
        // Text beside the image, 2 pixels apart.
        {96, true, owl::TSize(plainW + 16 + 2 + text.cx, std::max(plainH + 16, plainH + static_cast<int>(text.cy)))},
        {144, true, owl::TSize(plainW + 24 + 2 + text.cx, std::max(plainH + 24, plainH + static_cast<int>(text.cy)))},
    };
    for (const Case& c : cases) {
        gdi::SetScreenDpi(c.dpi);
        UxSizableButtonGadget::ResetScreenDpi();
        gadget->SetStyle(c.withText ? owl::TButtonTextGadget::sBitmapText : owl::TButtonTextGadget::sBitmap);
        gadget->SetLayoutStyle(owl::TButtonTextGadget::lTextRight);
        gadget->SetText(u"Snap to events", false);
        owl::TSize size;
        gadget->GetDesiredSize(size);
        EXPECT_EQ(c.expected, size) << c.dpi << (c.withText ? " with text" : "");
    }
    // The DPI is kept: a change is seen only after a reset.
    gdi::SetScreenDpi(96);
    owl::TSize kept;
    gadget->GetDesiredSize(kept);
    EXPECT_EQ(cases[3].expected, kept);
    // An invisible gadget wants no room.
    gadget->SetVisible(false);
    owl::TSize hidden;
    gadget->GetDesiredSize(hidden);
    EXPECT_EQ(owl::TSize(0, 0), hidden);
}

TEST_F(GadgetsTest, TheHighlightPulsesOnATimerThatStopsWithARepaint)
{
    auto* gadget = new CountingGadget(kSnap, PictureId::SnapButton);
    window->Insert(*gadget);
    host->Create();
    ui::pump();
    gadget->paints = 0;
    gadget->SetVisualState(3);
    const UINT_PTR timer = gadget->TimerId();
    ASSERT_NE(0u, timer);
    EXPECT_EQ(100u, ui::TimerElapse(nullptr, timer));
    ui::advance(350);
    EXPECT_EQ(3, gadget->paints);
    gadget->SetVisualState(3); // unchanged: nothing restarts
    EXPECT_EQ(timer, gadget->TimerId());
    gadget->SetVisualState(0);
    EXPECT_EQ(0u, gadget->TimerId());
    EXPECT_TRUE(ui::NeedsPaint(*window));
    ui::advance(500);
    EXPECT_EQ(4, gadget->paints); // the one repaint

    // 128 + 128 sin(1.2 pi t), kept at full strength at the peak.
    struct Case {
        double t;
        int alpha;
    };
    for (const Case& c : {Case{0.0, 128}, Case{0.25 / 0.6, 255}, Case{0.75 / 0.6, 0}, Case{1.0 / 7.2, 192},
                          Case{2.25 / 0.6, 255}}) {
        EXPECT_EQ(c.alpha, UxSizableButtonGadget::PulseAlpha(c.t)) << c.t;
    }
}

TEST_F(GadgetsTest, MenuGadgetsDropTheirMenuClearOfThemselvesAndSwallowTheClosingClick)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1130, u"1:1");
    AppendMenuW(menu, MF_STRING, 1131, u"1:2");
    auto* gadget = new KVO::UxMenuGadget(menu, host, 302, PictureId::SnapButton);
    DestroyMenu(menu); // the gadget keeps a copy
    window->Insert(*gadget);
    host->Create();
    EXPECT_EQ(u"1:1", gadget->GetText());
    const POINT centre = Centre(*gadget);
    ui::SetPopupMenuHook([&](const ui::PopupMenuRequest& request) {
        if (request.flags & TPM_VERTICAL) {
            EXPECT_EQ(PBS_PRESSED, gadget->ThemeState());
        }
        // The user clicks on the gadget again to close the menu.
        PostMessageW(*window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(centre.x, centre.y));
        return request.flags & TPM_VERTICAL ? 1131u : 1130u;
    });
    ui::Click(*window, centre);
    ASSERT_EQ(1u, ui::TrackedPopups().size());
    const ui::PopupMenuRequest& left = ui::TrackedPopups()[0];
    EXPECT_TRUE(left.flags & TPM_VERTICAL);
    owl::TRect screen = gadget->GetBounds();
    MapWindowPoints(*window, nullptr, reinterpret_cast<POINT*>(&screen), 2);
    EXPECT_EQ(screen, owl::TRect(left.exclude));
    EXPECT_EQ(screen.left, left.at.x);
    EXPECT_EQ(screen.top, left.at.y);
    EXPECT_EQ(std::vector<int>{1131}, host->commands);
    EXPECT_EQ(1131, gadget->LastCommand());
    EXPECT_NE(PBS_PRESSED, gadget->ThemeState());

    // The right button drops the same menu without flags or press.
    ui::Click(*window, centre, ui::Button::Right);
    ASSERT_EQ(2u, ui::TrackedPopups().size());
    EXPECT_FALSE(ui::TrackedPopups()[1].flags & TPM_VERTICAL);
    EXPECT_EQ((std::vector<int>{1131, 1130}), host->commands);
    // Not allowed: a plain button.
    gadget->AllowMenu(false);
    ui::Click(*window, centre);
    EXPECT_EQ(2u, ui::TrackedPopups().size());
}

TEST_F(GadgetsTest, EmptyOrBrokenPngResourcesFallBackToTheBitmapOfTheSameId)
{
    gdi::ArgbPixels eight;
    eight.width = 8;
    eight.height = 6;
    eight.argb.assign(48, 0xFF2080C0);
    const auto dib = gdi::EncodeDib(eight, 24);
    const auto png = gdi::EncodePng(eight);
    platform::RegisterResource(Module(), u"PNG", MAKEINTRESOURCEW(4010), LANG_NEUTRAL, {});
    platform::RegisterResource(Module(), RT_BITMAP, MAKEINTRESOURCEW(4010), LANG_NEUTRAL, dib);
    platform::RegisterResource(Module(), u"PNG", MAKEINTRESOURCEW(4011), LANG_NEUTRAL, std::span(png).first(20));
    platform::RegisterResource(Module(), RT_BITMAP, MAKEINTRESOURCEW(4011), LANG_NEUTRAL, dib);
    platform::RegisterResource(Module(), RT_BITMAP, MAKEINTRESOURCEW(4012), LANG_NEUTRAL, dib);
    struct Case {
        UINT id;
        owl::TSize size;
        Gdiplus::PixelFormat format;
    };
    const Case cases[] = {
        {4010, owl::TSize(8, 6), Gdiplus::PixelFormat24bppRGB}, // empty PNG
        {4011, owl::TSize(8, 6), Gdiplus::PixelFormat24bppRGB}, // undecodable PNG
        {4012, owl::TSize(8, 6), Gdiplus::PixelFormat24bppRGB}, // no PNG
        {PictureId::SnapButton, owl::TSize(16, 16), Gdiplus::PixelFormat32bppPARGB},
        {4013, owl::TSize(0, 0), 0},
    };
    for (const Case& c : cases) {
        UxSizableButtonGadget gadget(kSnap, static_cast<int>(c.id));
        EXPECT_EQ(c.size, gadget.ImageSize()) << c.id;
        Gdiplus::Bitmap* image = gadget.GetImage(UxSizableButtonGadget::NormalImage);
        EXPECT_EQ(c.format != 0, image != nullptr) << c.id;
        if (image) {
            EXPECT_EQ(c.format, image->GetPixelFormat()) << c.id;
        }
    }
    // Setting an image hands the old one back and takes the new size.
    UxSizableButtonGadget gadget(kSnap, 4012);
    std::unique_ptr<Gdiplus::Bitmap> previous(
        gadget.SetImage(UxSizableButtonGadget::NormalImage, new Gdiplus::Bitmap(5, 7)));
    ASSERT_NE(nullptr, previous);
    EXPECT_EQ(8u, previous->GetWidth());
    EXPECT_EQ(owl::TSize(5, 7), gadget.ImageSize());
}

TEST_F(GadgetsTest, DownButtonsShowTheirDownImageAndColourChangesReopenTheTheme)
{
    auto* gadget = new UxSizableButtonGadget(kSnap, PictureId::SnapButton);
    auto* red = new Gdiplus::Bitmap(16, 16, Gdiplus::PixelFormat32bppPARGB);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            red->SetPixel(x, y, Gdiplus::Color(0xFFFF0000));
        }
    }
    EXPECT_EQ(nullptr, gadget->SetImage(UxSizableButtonGadget::DownImage, red));
    window->Insert(*gadget);
    host->Create();
    ui::pump();
    const POINT centre = Centre(*gadget);
    auto shown = [&] {
        const gdi::Image image = ui::RenderWindow(*window);
        POINT client{0, 0};
        ClientToScreen(*window, &client);
        RECT frame{};
        GetWindowRect(*window, &frame);
        return image.at(client.x - frame.left + centre.x, client.y - frame.top + centre.y);
    };
    EXPECT_NE(RGB(255, 0, 0), shown());
    gadget->SetButtonState(owl::TButtonGadget::Down);
    ui::pump();
    EXPECT_EQ(RGB(255, 0, 0), shown());

    // A colour change closes the theme and opens it again only while themes are on.
    const int open = platform::OpenThemeCount();
    platform::SetThemesActive(false);
    SendMessageW(*window, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(nullptr, gadget->Theme());
    EXPECT_EQ(open - 1, platform::OpenThemeCount());
    platform::SetThemesActive(true);
    SendMessageW(*window, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_NE(nullptr, gadget->Theme());
    EXPECT_EQ(open, platform::OpenThemeCount());
}

TEST_F(GadgetsTest, GadgetWindowsReopenTheirThemeWithTheClassOfTheirLook)
{
    host->Create();
    const int open = platform::OpenThemeCount();
    ASSERT_NE(nullptr, window->Theme());
    platform::SetThemesActive(false);
    EXPECT_FALSE(window->ThemeChanged());
    EXPECT_EQ(nullptr, window->Theme());
    EXPECT_EQ(open - 1, platform::OpenThemeCount());
    platform::SetThemesActive(true);
    window->SetLook(UxGadgetWindow::ToolbarLook);
    SendMessageW(*window, WM_THEMECHANGED, 0, 0);
    EXPECT_NE(nullptr, window->Theme());
    EXPECT_EQ(open, platform::OpenThemeCount());

    // The borderless kind is a child without a border; the no-erase kind leaves its background alone.
    auto* borderless = new KVOControls::UxBorderlessGadgetWindow(host);
    auto* noErase = new KVOControls::UxNoEraseGadgetWindow(host);
    EXPECT_FALSE(borderless->Attr.Style & WS_BORDER);
    EXPECT_TRUE(noErase->Attr.Style & WS_CHILD);
    borderless->Create();
    noErase->Create();
    EXPECT_TRUE(borderless->WantTooltip);
    EXPECT_TRUE(SendMessageW(*noErase, WM_ERASEBKGND, 0, 0));
}

TEST_F(GadgetsTest, MenuResourcesAreFoundByLanguageAndTheGadgetFontFollowsIt)
{
    const std::vector<ui::MenuTemplateItem> english = {{u"1:1", 1130, 0, {}}};
    const std::vector<ui::MenuTemplateItem> japanese = {{u"1:1 (ja)", 1130, 0, {}}};
    platform::RegisterResource(Module(), RT_MENU, u"XZOOMTEST", MAKELANGID(0x09, 0x01), ui::BuildMenuTemplate(english));
    platform::RegisterResource(Module(), RT_MENU, u"XZOOMTEST", MAKELANGID(0x11, 0x01), ui::BuildMenuTemplate(japanese));
    struct Case {
        LANGID language;
        std::u16string text;
        int points;
    };
    const Case cases[] = {
        {MAKELANGID(0x11, 0x01), u"1:1 (ja)", 12},
        {MAKELANGID(0x09, 0x01), u"1:1", 10},
        {MAKELANGID(0x07, 0x01), u"1:1", 10}, // none in German: any language
        {MAKELANGID(0x04, 0x02), u"1:1", 12}, // Chinese
    };
    for (const Case& c : cases) {
        auto resource = KVOControls::MenuResource::Load(Module(), u"XZOOMTEST", c.language);
        ASSERT_NE(nullptr, resource);
        ASSERT_NE(nullptr, resource->Template());
        owl::TMenu menu(resource->Template());
        EXPECT_EQ(c.text == u"1:1" && c.language != MAKELANGID(0x09, 0x01) ? menu.GetMenuString(0, MF_BYPOSITION)
                                                                              : c.text,
                  menu.GetMenuString(0, MF_BYPOSITION));
        if (c.language == MAKELANGID(0x11, 0x01) || c.language == MAKELANGID(0x09, 0x01)) {
            EXPECT_EQ(c.text, menu.GetMenuString(0, MF_BYPOSITION));
        }
        owl::GetApplicationObject().SetLangId(c.language);
        std::unique_ptr<owl::TFont> font(KVOControls::NewGadgetFont());
        EXPECT_EQ(MulDiv(c.points, 96, 72), std::abs(font->GetObject().lfHeight)) << c.language;
    }
    owl::GetApplicationObject().SetLangId(MAKELANGID(0x09, 0x01));
    auto missing = KVOControls::MenuResource::Load(Module(), u"NOSUCHMENU", 0);
    ASSERT_NE(nullptr, missing);
    EXPECT_EQ(nullptr, missing->Template());
}

TEST_F(GadgetsTest, AGadgetWindowOfButtonTextAndMenuGadgetsLooksRight)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1130, u"Zoom 1:4");
    auto* snap = new UxSizableButtonGadget(kSnap, PictureId::SnapButton);
    auto* down = new UxCustomButtonGadget(303, PictureId::MenuTableView, owl::TButtonGadget::Exclusive);
    down->SetButtonState(owl::TButtonGadget::Down);
    auto* off = new UxSizableButtonGadget(kDisabled, PictureId::MenuAnalyze);
    auto* text = new owl::TTextGadget(30000, owl::TGadget::Recessed, owl::TTextGadget::Left, 8, u"Events");
    auto* zoom = new KVO::UxButtonMenuGadget(host, menu, nullptr, 304, PictureId::MenuSettings);
    DestroyMenu(menu);
    zoom->SetBounds(owl::TRect(0, 0, 110, 10));
    window->Insert(*snap);
    window->Insert(*down);
    window->Insert(*off);
    window->Insert(*text);
    window->Insert(*zoom);
    host->Create();
    window->IdleAction(0);
    ui::pump();
    const gdi::GoldenCheck golden = gdi::CheckGolden(ui::RenderWindow(*window), GoldenPath("gadget_window.png"));
    EXPECT_TRUE(golden.ok) << golden.message;
}
}

namespace {
TEST(UxThemeUIFaceTest, EachStateDrawsTheImageItsOwnWay)
{
    GdiplusStarter::Instance();
    Gdiplus::Bitmap image(2, 1, Gdiplus::PixelFormat24bppRGB);
    image.SetPixel(0, 0, Gdiplus::Color(0xFFC0C0C0));
    image.SetPixel(1, 0, Gdiplus::Color(0xFF204080));
    const double sum = (0x20 + 0x40 + 0x80) / 255.0;
    const Gdiplus::ColorMatrix m = UxThemeUIFace::DisabledMatrix();
    auto lifted = [&](int channel) { return static_cast<int>(std::lround((sum * m.m[0][channel] + 0.4) * 255)); };
    struct Case {
        UxThemeUIFace::TState state;
        COLORREF grey;  // where the light grey pixel is drawn
        COLORREF other; // the other pixel
    };
    const COLORREF white = RGB(255, 255, 255);
    const Case cases[] = {
        {UxThemeUIFace::Normal, white, RGB(0x20, 0x40, 0x80)},
        {UxThemeUIFace::Down, white, RGB(0x20, 0x40, 0x80)},
        {UxThemeUIFace::Default, white, RGB(0x20, 0x40, 0x80)},
        {UxThemeUIFace::Indeterminate, white, white},
        {UxThemeUIFace::Disabled, white, RGB(lifted(0), lifted(1), lifted(2))},
    };
    for (const Case& c : cases) {
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP target = CreateCompatibleBitmap(screen, 4, 3);
        HGDIOBJ old = SelectObject(memory, target);
        RECT all{0, 0, 4, 3};
        FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        UxThemeUIFace(&image).Paint(memory, owl::TPoint(1, 1), owl::TRect(0, 0, 4, 3), c.state);
        SelectObject(memory, old);
        const gdi::Image picture = gdi::ImageOfBitmap(target);
        EXPECT_EQ(c.grey, picture.at(1, 1)) << c.state;
        EXPECT_EQ(c.other, picture.at(2, 1)) << c.state;
        EXPECT_EQ(white, picture.at(0, 0)) << c.state;
        DeleteObject(target);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
}
}
