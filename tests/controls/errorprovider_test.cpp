// The popup text window and the error marks: placement on the monitor, mode normalisation, hover timing on the
// virtual clock, the balloon's 3-pixel rule, and the label whose mark follows its text.
#include "controls_fixture.h"

#include "controls/errorprovider.h"
#include "controls/popup.h"
#include "foundation/hostlink.h"
#include "foundation/moduleinstance.h"
#include "foundation/utilities.h"
#include "host/services.h"
#include "platform/owl/dialog.h"
#include "platform/gdi/image.h"
#include "platform/ui/render.h"
#include "resources/pictures.h"

#include <cmath>
#include <memory>

namespace {
using namespace ControlsTest;
using KVOControls::ErrorProvider;

RECT ScreenRectOf(HWND hwnd)
{
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

class PopupTest : public Fixture {};

TEST_F(PopupTest, StaysInsideTheWorkAreaAndNeverTakesTheFocus)
{
    Host host;
    host.Create();
    SetActiveWindow(host);
    const RECT work = ui::Monitors().front().work;
    struct Case {
        const char* name;
        POINT anchor;
    };
    for (const Case& c : {Case{"open space", {500, 400}}, Case{"right edge", {work.right - 5, 400}},
                          Case{"bottom edge", {500, work.bottom - 4}}}) {
        SCOPED_TRACE(c.name);
        KVO::Popup popup(&host, owl::TPoint(c.anchor.x, c.anchor.y), KVO::String(u"Get dialog help"));
        const RECT r = ScreenRectOf(popup);
        const int w = r.right - r.left;
        const int h = r.bottom - r.top;
        const int x = std::min<int>(c.anchor.x + 2, work.right - 10 - w);
        const int y = c.anchor.y + 2 + h > work.bottom ? c.anchor.y + 2 - h - 3 : c.anchor.y + 2;
        EXPECT_EQ(x, r.left);
        EXPECT_EQ(y, r.top);
        EXPECT_TRUE(IsWindowVisible(popup));
        EXPECT_FALSE(IsWindowEnabled(popup));
        EXPECT_EQ(static_cast<HWND>(host), GetActiveWindow());
    }
}

// The stand-in host's application service as the module's for the life of the object; the module's kept settings
// object is given back on both ends, so that the popups ask this service.
class StandInApplication {
public:
    StandInApplication()
    {
        current = &service;
        KVO::HostLink link = saved_;
        link.applicationService = [] { return static_cast<IApplicationService*>(current); };
        KVO::SetHostLink(link);
        KVO::ReleaseHostApplicationSettings();
    }
    ~StandInApplication()
    {
        KVO::ReleaseHostApplicationSettings();
        KVO::SetHostLink(saved_);
        current = nullptr;
    }

    host::CallLog log;
    host::ApplicationService service{log};

private:
    static inline host::ApplicationService* current = nullptr;
    KVO::HostLink saved_ = KVO::GetHostLink();
};

TEST_F(PopupTest, MadeButNotShownWhileTheHostApplicationIsHidden)
{
    StandInApplication application;
    Host host;
    host.Create();
    for (const bool visible : {true, false}) {
        application.service.SetVisible(visible);
        KVO::Popup popup(&host, owl::TPoint(100, 100), KVO::String(u"Get dialog help"));
        ASSERT_TRUE(IsWindow(popup));
        EXPECT_EQ(visible, IsWindowVisible(popup) != FALSE);
    }
}

TEST_F(PopupTest, WrapsAt300PixelsButALongerWordWidensIt)
{
    Host host;
    host.Create();
    KVO::Popup words(&host, owl::TPoint(100, 100), KVO::String(std::u16string(60, u'x').insert(30, u" ").c_str()));
    KVO::Popup word(&host, owl::TPoint(100, 100), KVO::String(std::u16string(80, u'W').c_str()));
    const RECT wrapped = ScreenRectOf(words);
    const RECT wide = ScreenRectOf(word);
    EXPECT_LE(wrapped.right - wrapped.left, KVO::Popup::kWrapWidth + 5);
    EXPECT_GT(wide.right - wide.left, KVO::Popup::kWrapWidth + 5);
    EXPECT_GT(wrapped.bottom - wrapped.top, wide.bottom - wide.top); // two lines against one
}

class ErrorProviderTest : public Fixture {
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        host = std::make_unique<Host>(100, 100, 400, 300);
    }
    void TearDown() override
    {
        host.reset();
        Fixture::TearDown();
    }
    ErrorProvider* NewMark(unsigned mode)
    {
        auto* mark = new ErrorProvider(host.get(), 77, 40, 50, 20, 20, mode);
        if (!host->IsWindow()) {
            host->Create();
        } else {
            mark->Create();
        }
        return mark;
    }
    std::unique_ptr<Host> host;
};

TEST_F(ErrorProviderTest, ModesAreReducedToOneDisplayAndOnePicture)
{
    struct Case {
        unsigned given;
        unsigned kept;
    };
    const Case cases[] = {
        {0, 1 | 8},      {3, 1 | 8},       {6, 2 | 8},       {4, 4 | 8},        {7, 1 | 8},
        {1 | 24, 1 | 16}, {2 | 40, 2 | 8}, {1 | 56, 1 | 16}, {4 | 32, 4 | 32}, {1 | 8 | 64, 1 | 8 | 64},
    };
    for (const Case& c : cases) {
        ErrorProvider* mark = NewMark(c.given);
        EXPECT_EQ(c.kept, mark->GetMode()) << "given " << c.given;
        delete mark;
    }
}

TEST_F(ErrorProviderTest, SizedToItsPictureWithItsBottomEdgeKept)
{
    struct Case {
        unsigned mode;
        SIZE picture;
    };
    for (const Case& c : {Case{8, {12, 12}}, Case{16, {12, 12}}, Case{32, {14, 15}}}) {
        ErrorProvider* mark = NewMark(c.mode);
        RECT r = ScreenRectOf(*mark);
        EXPECT_EQ(c.picture.cx, r.right - r.left);
        EXPECT_EQ(c.picture.cy, r.bottom - r.top);
        POINT corner{r.left, r.bottom};
        ScreenToClient(*host, &corner);
        EXPECT_EQ(40, corner.x);
        EXPECT_EQ(70, corner.y);
        EXPECT_FALSE(IsWindowVisible(*mark)); // hidden until an error is set
        mark->SetError(true, KVO::String(u"t"), KVO::String(u"m"));
        EXPECT_TRUE(IsWindowVisible(*mark));
        mark->SetError(false, KVO::String(), KVO::String());
        EXPECT_FALSE(IsWindowVisible(*mark));
        delete mark;
    }
}

// Each picture mode paints its own picture: every pixel of it but the transparent key shows as it is.
TEST_F(ErrorProviderTest, EachPictureModePaintsItsOwnPicture)
{
    const struct {
        unsigned mode;
        UINT picture;
    } cases[] = {{ErrorProvider::PictureError, PictureId::ProviderError},
                 {ErrorProvider::PictureWarning, PictureId::ProviderWarning},
                 {ErrorProvider::PictureInfo, PictureId::ProviderInfo}};
    for (const auto& c : cases) {
        ErrorProvider* mark = NewMark(c.mode);
        mark->SetError(true, KVO::String(u"t"), KVO::String(u"m"));
        const gdi::Image shown = ui::RenderWindow(*mark);
        HBITMAP bitmap = LoadBitmapW(KVO::ModuleInstance(), MAKEINTRESOURCEW(c.picture));
        ASSERT_NE(bitmap, nullptr) << c.picture;
        const gdi::Image picture = gdi::ImageOfBitmap(bitmap);
        DeleteObject(bitmap);
        ASSERT_EQ(shown.width, picture.width) << c.mode;
        ASSERT_EQ(shown.height, picture.height) << c.mode;
        const COLORREF key = picture.at(0, 0);
        int compared = 0;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                if (picture.at(x, y) != key) {
                    ++compared;
                    EXPECT_EQ(shown.at(x, y), picture.at(x, y)) << "mode " << c.mode << " at " << x << "," << y;
                }
            }
        }
        EXPECT_GT(compared, 20) << c.mode;
        delete mark;
    }
}

TEST_F(ErrorProviderTest, HoverPopupComesAfter50MsGoesAfter5sAndReturnsOnlyAfterALeave)
{
    ErrorProvider* mark = NewMark(ErrorProvider::HoverPopup);
    mark->SetError(true, KVO::String(u"Invalid"), KVO::String(u"Enter a number."));
    ui::MouseMove(*mark, POINT{5, 5});
    EXPECT_TRUE(ui::HasTimer(*mark, 1));
    EXPECT_FALSE(mark->PopupShown());
    ui::advance(50);
    ASSERT_TRUE(mark->PopupShown());
    POINT cursor{};
    GetCursorPos(&cursor);
    HWND popup = nullptr;
    for (HWND top : ui::TopLevelWindows()) {
        if (top != *host && IsWindowVisible(top)) {
            popup = top;
        }
    }
    ASSERT_TRUE(popup);
    const RECT r = ScreenRectOf(popup);
    EXPECT_EQ(cursor.x - 3 + 2, r.left);
    EXPECT_EQ(cursor.y + 19 + 2, r.top);
    ui::advance(4950); // 5000 ms counted
    EXPECT_TRUE(mark->PopupShown());
    ui::advance(50);
    EXPECT_FALSE(mark->PopupShown());
    EXPECT_FALSE(ui::HasTimer(*mark, 1));
    ui::MouseMove(*mark, POINT{6, 6});
    ui::advance(500);
    EXPECT_FALSE(mark->PopupShown());
    ui::MouseMove(*host, POINT{300, 250}); // leave
    ui::MouseMove(*mark, POINT{5, 5});
    ui::advance(50);
    EXPECT_TRUE(mark->PopupShown());
}

TEST_F(ErrorProviderTest, AHoverAfterALeaveGetsThePopupsWholeTime)
{
    ErrorProvider* mark = NewMark(ErrorProvider::HoverPopup);
    mark->SetError(true, KVO::String(u"Invalid"), KVO::String(u"Enter a number."));
    ui::MouseMove(*mark, POINT{5, 5});
    ui::advance(3000);
    ASSERT_TRUE(mark->PopupShown());
    ui::MouseMove(*host, POINT{300, 250}); // leave
    ui::MouseMove(*mark, POINT{5, 5});
    ui::advance(4900);
    EXPECT_TRUE(mark->PopupShown());
}

TEST_F(ErrorProviderTest, AnEmptyMessageStartsNoTimer)
{
    ErrorProvider* mark = NewMark(ErrorProvider::HoverPopup);
    mark->SetError(true, KVO::String(u"Invalid"), KVO::String());
    EXPECT_TRUE(IsWindowVisible(*mark));
    ui::MouseMove(*mark, POINT{5, 5});
    ui::Click(*mark, POINT{5, 5});
    EXPECT_FALSE(ui::HasTimer(*mark, 1));
    ui::advance(100);
    EXPECT_FALSE(mark->PopupShown());
}

TEST_F(ErrorProviderTest, BalloonOpensOverTheMarkAndAgainOnlyAfterAMoveOfMoreThan3Pixels)
{
    ErrorProvider* mark = NewMark(ErrorProvider::Balloon | ErrorProvider::PictureError);
    mark->SetError(true, KVO::String(u"Invalid value"), KVO::String(u"Enter a number."));
    int clicks = 0;
    mark->SetOnClick([&] { ++clicks; });
    ui::MouseMove(*mark, POINT{3, 3});
    ASSERT_EQ(1u, Balloons().size());
    HWND balloon = Balloons().front();
    const RECT markRect = ScreenRectOf(*mark);
    const RECT balloonRect = ScreenRectOf(balloon);
    // The tip is on the mark's centre; the balloon keeps the mouse.
    EXPECT_EQ(balloon, GetCapture());
    EXPECT_TRUE(balloonRect.left <= (markRect.left + markRect.right) / 2 &&
                (markRect.left + markRect.right) / 2 < balloonRect.right);
    EXPECT_EQ(u"Invalid value", ui::WindowText(balloon));
    // Moving over the mark keeps it open; moving off closes it.
    ui::MouseMove(*mark, POINT{8, 8});
    EXPECT_TRUE(IsWindow(balloon));
    ui::MouseMove(*host, POINT{300, 250});
    EXPECT_FALSE(IsWindow(balloon));
    // Back on the mark, within 3 pixels of where the balloon last opened: none.
    ui::MouseMove(*mark, POINT{5, 5});
    EXPECT_TRUE(Balloons().empty());
    ui::MouseMove(*mark, POINT{9, 3});
    EXPECT_EQ(1u, Balloons().size());
    ui::SetAppActive(false);
    ui::pump();
    EXPECT_TRUE(Balloons().empty());
    ui::Click(*mark, POINT{9, 3});
    EXPECT_EQ(1, clicks);
    EXPECT_EQ(1u, Balloons().size());
}

TEST_F(ErrorProviderTest, TheBalloonCarriesTheLinkOnlyWhenAllOfItIsThere)
{
    struct Case {
        unsigned mode;
        bool text;
        bool action;
        bool linked;
    };
    for (const Case& c : {Case{1 | 8 | 64, true, true, true}, Case{1 | 8, true, true, false},
                          Case{1 | 8 | 64, false, true, false}, Case{1 | 8 | 64, true, false, false}}) {
        ErrorProvider* mark = NewMark(c.mode);
        mark->SetError(true, KVO::String(u"t"), KVO::String(u"m"));
        int followed = 0;
        if (c.text) {
            mark->SetLinkText(KVO::String(u"Show the setting"));
        }
        if (c.action) {
            mark->SetOnLink([&] { ++followed; });
        }
        ui::MouseMove(*mark, POINT{3, 3});
        ASSERT_EQ(1u, Balloons().size());
        auto* balloon = reinterpret_cast<WTL::CBalloonHelp*>(GetWindowLongPtrW(Balloons().front(), GWLP_USERDATA));
        EXPECT_EQ(c.linked, (balloon->Options() & WTL::CBalloonHelp::ClickableLink) != 0);
        DestroyWindow(Balloons().front());
        ui::MouseMove(*host, POINT{300, 250});
        delete mark;
    }
}

TEST_F(ErrorProviderTest, ABalloonWithALinkStaysOpenWhileTheCursorTravelsOntoIt)
{
    ErrorProvider* mark = NewMark(1 | 8 | 64);
    mark->SetError(true, KVO::String(u"Invalid value"), KVO::String(u"Enter a number."));
    mark->SetLinkText(KVO::String(u"Show the setting"));
    mark->SetOnLink([] {});
    ui::MouseMove(*mark, POINT{3, 3});
    ASSERT_EQ(1u, Balloons().size());
    HWND balloon = Balloons().front();
    const RECT markRect = ScreenRectOf(*mark);
    const RECT balloonRect = ScreenRectOf(balloon);
    // A point of the balloon well away from the mark.
    POINT onBalloon{(balloonRect.left + balloonRect.right) / 2, (balloonRect.top + balloonRect.bottom) / 2};
    ASSERT_FALSE(PtInRect(&markRect, onBalloon));
    ScreenToClient(*host, &onBalloon);
    ui::MouseMove(*host, onBalloon);
    EXPECT_TRUE(IsWindow(balloon));
    ui::MouseMove(*host, POINT{5, 280});
    EXPECT_FALSE(IsWindow(balloon));
}

// A dialog with a label, for the label's mark.
constexpr int kLabelId = 101;

class LabelDialog : public owl::TDialog {
public:
    LabelDialog(owl::TWindow* parent, owl::TModule* module) : TDialog(parent, 600, module)
    {
        label = new KVOControls::StaticTextErrorProvider(this, kLabelId);
    }
    KVOControls::StaticTextErrorProvider* label;
};

TEST_F(ErrorProviderTest, TheLabelsMarkFollowsFivePixelsBehindItsText)
{
    HINSTANCE instance = KVO::ModuleInstance();
    ui::DialogTemplateData data;
    data.style = WS_POPUP | WS_VISIBLE | DS_SETFONT;
    data.cx = 200;
    data.cy = 80;
    data.items = {{u"Static", u"Value", kLabelId, 10, 10, 150, 10, WS_VISIBLE}};
    ui::RegisterDialogTemplate(instance, MAKEINTRESOURCEW(600), data);
    owl::TModule module(u"tests", instance);
    host->Create();
    LabelDialog dialog(host.get(), &module);
    dialog.Create();
    auto* label = dialog.label;
    auto markOrigin = [&] {
        RECT r = ScreenRectOf(*label->Mark());
        POINT p{r.left, r.top};
        ScreenToClient(dialog, &p);
        return p;
    };
    auto labelRect = [&] {
        RECT r = ScreenRectOf(*label);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    auto textWidth = [&](const char16_t* text) {
        HDC hdc = GetDC(*label);
        HGDIOBJ old = SelectObject(hdc, label->GetWindowFont());
        SIZE size{};
        GetTextExtentPoint32W(hdc, text, static_cast<int>(std::char_traits<char16_t>::length(text)), &size);
        SelectObject(hdc, old);
        ReleaseDC(*label, hdc);
        return static_cast<int>(size.cx);
    };
    const RECT l = labelRect();
    for (const char16_t* text : {u"Value", u"A much longer label text"}) {
        label->SetText(text);
        EXPECT_EQ(l.left + textWidth(text) + 5, markOrigin().x);
        EXPECT_EQ(l.top + 1 + ((l.bottom - l.top) - 12) / 2, markOrigin().y);
    }
    label->SetText(u"");
    EXPECT_EQ(l.left, markOrigin().x);
    EXPECT_EQ(l.top, markOrigin().y);
    label->SetText(u"Value");
    label->MoveWindow(l.left + 20, l.top + 30, l.right - l.left, l.bottom - l.top, true);
    EXPECT_EQ(l.left + 20 + textWidth(u"Value") + 5, markOrigin().x);
    label->SetError(true, KVO::String(u"t"), KVO::String(u"m"));
    EXPECT_TRUE(IsWindowVisible(*label->Mark()));
}
}
