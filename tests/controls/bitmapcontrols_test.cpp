// The picture controls: the group box's caption room and picture, the bitmap window's transparent key.
#include "controls/bitmapcontrols.h"
#include "controlkit.h"
#include "resources/pictures.h"

#include <gtest/gtest.h>

namespace {
using namespace controlkit;

constexpr int kGroupId = 1020;
constexpr int kEmptyGroupId = 1021;
constexpr int kPlainGroupId = 1022;
constexpr int kBigStaticId = 1076;

ui::DialogTemplateData PicturesTemplate()
{
    ui::DialogTemplateData t;
    t.cx = 200;
    t.cy = 120;
    t.caption = u"Pictures";
    t.items = {
        {u"Button", u"  Detection  ", kGroupId, 7, 7, 120, 40, WS_VISIBLE | BS_GROUPBOX},
        {u"Button", u"", kEmptyGroupId, 7, 50, 120, 30, WS_VISIBLE | BS_GROUPBOX},
        {u"Button", u"  Plain  ", kPlainGroupId, 7, 82, 120, 30, WS_VISIBLE | BS_GROUPBOX},
        {u"Static", u"", KVOControls::BitmapWindow::ControlId, 140, 10, 8, 7, WS_VISIBLE | SS_LEFT},
        {u"Static", u"", kBigStaticId, 140, 30, 20, 20, WS_VISIBLE | SS_LEFT},
    };
    return t;
}

class PicturesDialog : public HostDialog {
public:
    explicit PicturesDialog(owl::TModule* module) : HostDialog(u"PICTURES", module)
    {
        group = new KVOControls::TBitmapGroupBox(this, kGroupId, PictureId::DetectorGroup);
        empty = new KVOControls::TBitmapGroupBox(this, kEmptyGroupId, PictureId::DetectorGroup);
        plain = new KVOControls::TBitmapGroupBox(this, kPlainGroupId, 9999); // no such bitmap
        mark = new KVOControls::BitmapWindow(
            this, new owl::TBitmap(LoadBitmapW(controlkit::Module(), MAKEINTRESOURCEW(PictureId::ErrorMark)), owl::AutoDelete));
    }
    KVOControls::TBitmapGroupBox* group;
    KVOControls::TBitmapGroupBox* empty;
    KVOControls::TBitmapGroupBox* plain;
    KVOControls::BitmapWindow* mark;
};

// A bitmap window over another static, with its own bitmap.
class BigMark : public KVOControls::BitmapWindow {
public:
    BigMark(owl::TWindow* parent, owl::TBitmap* bitmap) : BitmapWindow(parent, bitmap)
    {
        Attr.Id = kBigStaticId;
    }
};

class BitmapControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        ui::RegisterDialogTemplate(Module(), u"PICTURES", PicturesTemplate());
    }
    void TearDown() override { ui::reset(); }
    owl::TModule module{u"tests", Module()};
};

int SpaceCountFor(HWND control, int pixels)
{
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    std::u16string spaces;
    SIZE extent{};
    for (;;) {
        GetTextExtentPoint32W(dc, spaces.c_str(), static_cast<int>(spaces.size()), &extent);
        if (extent.cx >= pixels) {
            break;
        }
        spaces.push_back(u' ');
    }
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return static_cast<int>(spaces.size());
}

TEST_F(BitmapControlsTest, CaptionsAreTrimmedAndMakeRoomForThePicture)
{
    auto* dialog = new PicturesDialog(&module);
    dialog->Create();
    const gdi::ArgbPixels picture = Resources::Picture(PictureId::DetectorGroup);
    ASSERT_EQ(16, picture.width);
    const int pad = SpaceCountFor(*dialog->group, picture.width + 3);
    EXPECT_GT(pad, 1);
    struct Case {
        KVOControls::TBitmapGroupBox* box;
        std::u16string caption;
        int padCount;
    };
    const Case cases[] = {
        {dialog->group, u"Detection" + std::u16string(static_cast<std::size_t>(pad), u' '), pad},
        {dialog->empty, std::u16string(static_cast<std::size_t>(pad), u' '), pad},
        {dialog->plain, u"Plain", 0}, // no picture: trimmed only
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.caption, c.box->GetWindowText());
        EXPECT_EQ(c.padCount, c.box->PadCount());
    }
    EXPECT_EQ(nullptr, dialog->plain->Bitmap());

    // After the text, or at (9, 1) without one; drawn with its top-left colour transparent.
    HDC dc = GetDC(*dialog->group);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(*dialog->group, WM_GETFONT, 0, 0)));
    SIZE text{};
    GetTextExtentPoint32W(dc, u"Detection", 9, &text);
    SelectObject(dc, old);
    ReleaseDC(*dialog->group, dc);
    const owl::TPoint after = dialog->group->PicturePosition();
    EXPECT_EQ(text.cx + 12, after.x);
    EXPECT_EQ(text.cy / 2 - 16 / 2 + 1, after.y);
    EXPECT_EQ(owl::TPoint(9, 1), dialog->empty->PicturePosition());

    dialog->ShowWindow(SW_SHOW);
    const gdi::Image box = ui::RenderWindow(*dialog->empty);
    int drawn = 0;
    int keyed = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const std::uint32_t p = picture.argb[static_cast<std::size_t>(y) * 16 + x];
            const COLORREF shown = box.at(9 + x, 1 + y);
            if ((p & 0xFFFFFF) == 0xC0C0C0) {
                keyed += shown != RGB(0xC0, 0xC0, 0xC0) ? 1 : 0;
            } else {
                drawn += shown == RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF) ? 1 : 0;
            }
        }
    }
    EXPECT_GT(drawn, 20);
    EXPECT_GT(keyed, 150);
    const gdi::GoldenCheck golden = gdi::CheckGolden(ui::RenderWindow(*dialog), GoldenPath("pictures_dialog.png"));
    EXPECT_TRUE(golden.ok) << golden.message;
    dialog->Destroy();
    delete dialog;
}

TEST_F(BitmapControlsTest, TheBitmapWindowKeysOutItsTopLeftColourUnlessTheBitmapIsTooSmall)
{
    auto* dialog = new PicturesDialog(&module);
    auto* big = new BigMark(dialog, new owl::TBitmap(LoadBitmapW(Module(), MAKEINTRESOURCEW(PictureId::ErrorMark)),
                                                     owl::AutoDelete));
    dialog->Create();
    dialog->ShowWindow(SW_SHOW);
    EXPECT_TRUE(dialog->mark->GetStyle() & SS_NOTIFY);
    const gdi::ArgbPixels mark = Resources::Picture(PictureId::ErrorMark);
    const COLORREF face = GetSysColor(COLOR_3DFACE);
    ASSERT_NE(RGB(0xC0, 0xC0, 0xC0), face);
    const COLORREF corner = RGB((mark.argb[0] >> 16) & 0xFF, (mark.argb[0] >> 8) & 0xFF, mark.argb[0] & 0xFF);
    ASSERT_EQ(RGB(0xC0, 0xC0, 0xC0), corner);
    const std::uint32_t centre = mark.argb[6 * 12 + 3];
    const COLORREF centreColour = RGB((centre >> 16) & 0xFF, (centre >> 8) & 0xFF, centre & 0xFF);

    struct Case {
        HWND window;
        COLORREF atCorner; // the key colour is face coloured when the transfer keyed it out
        COLORREF outside;  // beyond the bitmap, inside the window
    };
    const Case cases[] = {
        {*dialog->mark, face, CLR_INVALID},
        {*big, corner, face}, // too small for the window: copied at its own size, key colour and all
    };
    for (const Case& c : cases) {
        const gdi::Image image = ui::RenderWindow(c.window);
        EXPECT_EQ(c.atCorner, image.at(0, 0));
        EXPECT_EQ(centreColour, image.at(3, 6));
        if (c.outside != CLR_INVALID) {
            EXPECT_EQ(c.outside, image.at(image.width - 1, image.height - 1));
        }
    }
    dialog->Destroy();
    delete dialog;
}
}

namespace {

// In a font whose spaces have no width the caption gets one space per pixel of the picture, not an endless pad.
TEST_F(BitmapControlsTest, AFontOfZeroWidthSpacesStillEndsThePad)
{
    ui::DialogTemplateData tiny = PicturesTemplate();
    tiny.pointSize = 1;
    ui::RegisterDialogTemplate(Module(), u"PICTURES", tiny);
    auto* dialog = new PicturesDialog(&module);
    dialog->Create();
    // The font really is that small: four spaces take no pixel.
    HDC dc = GetDC(*dialog->group);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(*dialog->group, WM_GETFONT, 0, 0)));
    SIZE four{};
    GetTextExtentPoint32W(dc, u"    ", 4, &four);
    SelectObject(dc, old);
    ReleaseDC(*dialog->group, dc);
    EXPECT_EQ(four.cx, 0);
    EXPECT_EQ(dialog->group->PadCount(), 16 + 3);
    dialog->Destroy();
    delete dialog;
}

} // namespace
