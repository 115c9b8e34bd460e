// Chart comments: their order and equality, positions through the chart's provider, the marker and label as the
// chart draws them, the hit test, the outline animation and the popup.
#include "frame/chartcomment.h"
#include "frame/commentpopup.h"
#include "host/chartcomments.h"
#include "sharedhost.h"
#include "foundation/dialogfont.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/image.h"
#include "platform/owl/window.h"
#include "platform/ui/window.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// The comments under test, with a reference held for the test.
platform::ComPtr<EventCommentBase> Comment(const char16_t* text, DWORD word3, std::int32_t stored,
                                           std::int32_t offset, DWORD word1, DWORD word2 = 0)
{
    platform::ComPtr<EventCommentBase> comment(new EventCommentBase(KVO::String(text), word3, stored, offset, word1));
    comment->SetWord2(word2);
    return comment;
}

class Provider final : public ICommentPositionProvider {
public:
    HRESULT QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++count; }
    ULONG Release() override { return --count; }
    HRESULT GetPosition(std::int32_t* first) override
    {
        if (writes) {
            *first = position;
        }
        return S_OK;
    }
    HRESULT GetBaseValue(std::int32_t* value) override
    {
        *value = base;
        return S_OK;
    }
    HRESULT GetExtent(std::int32_t* pair) override
    {
        if (extentEnd) {
            pair[1] = *extentEnd;
        }
        return S_OK;
    }

    ULONG count = 1;
    bool writes = true;
    std::int32_t position = 0;
    std::int32_t base = 0;
    std::optional<std::int32_t> extentEnd;
};

struct Fields {
    const char16_t* text;
    DWORD word3;
    std::int32_t stored;
    std::int32_t offset;
    DWORD word1;
    DWORD word2;
};

TEST(ChartComment, OrderAndDifference)
{
    const Fields base{u"b", 5, 100, 3, 7, 2};
    const struct {
        const char* name;
        Fields other;
        bool baseLess;  // base < other
        bool otherLess; // other < base
    } cases[] = {
        {"equal", base, false, false},
        {"first position larger", {u"b", 5, 101, 3, 7, 2}, true, false},
        {"first position as unsigned", {u"b", 5, -1, 3, 7, 2}, true, false},
        {"second position decides before word 2", {u"b", 5, 100, 2, 7, 9}, false, true},
        {"word 2 signed", {u"b", 5, 100, 3, 7, 0xFFFFFFFF}, false, true},
        {"word 1 unsigned", {u"b", 5, 100, 3, 0x80000000, 2}, true, false},
        {"word 3 signed", {u"b", 0xFFFFFFFF, 100, 3, 7, 2}, false, true},
        {"text last", {u"a", 5, 100, 3, 7, 2}, false, true},
        {"longer text", {u"bb", 5, 100, 3, 7, 2}, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto a = Comment(base.text, base.word3, base.stored, base.offset, base.word1, base.word2);
        auto b = Comment(c.other.text, c.other.word3, c.other.stored, c.other.offset, c.other.word1, c.other.word2);
        EXPECT_EQ(a->IsLess(a.Get(), b.Get()), c.baseLess ? S_OK : S_FALSE);
        EXPECT_EQ(a->IsLess(b.Get(), a.Get()), c.otherLess ? S_OK : S_FALSE);
        const bool different = c.baseLess || c.otherLess;
        EXPECT_EQ(a->IsDifferent(a.Get(), b.Get()), different ? S_OK : S_FALSE);
        EXPECT_EQ(b->IsDifferent(b.Get(), a.Get()), different ? S_OK : S_FALSE);
        EXPECT_EQ(a->IsDifferent(a.Get(), a.Get()), S_FALSE) << "the same object";
        EXPECT_EQ(a->IsLess(a.Get(), a.Get()), S_FALSE);
    }
}

TEST(ChartComment, PositionsWithAndWithoutAProvider)
{
    auto comment = Comment(u"text", 5, 100, 3, 7);
    EXPECT_EQ(comment->GetInfo(nullptr, nullptr, nullptr, nullptr), S_OK) << "every output is optional";
    std::int32_t value = 0;
    EXPECT_EQ(static_cast<IChartCommentEx*>(comment.Get())->GetAbsolutePosition(&value), E_FAIL);
    EXPECT_EQ(value, -1);
    value = 0;
    EXPECT_EQ(comment->GetAbsolutePositionAsValue(&value), E_FAIL) << "no provider to read";
    EXPECT_EQ(value, -1);
    EXPECT_EQ(comment->GetExtent(nullptr), E_FAIL);
    ICommentPositionProvider* none = reinterpret_cast<ICommentPositionProvider*>(0x10);
    EXPECT_EQ(comment->GetPositionProvider(&none), S_FALSE);
    EXPECT_EQ(none, nullptr);

    Provider provider;
    provider.position = 40;
    provider.base = 1000;
    comment->SetPositionProvider(&provider);
    std::int32_t pair[2] = {};
    comment->GetPosition(pair);
    EXPECT_EQ(pair[0], 40);
    EXPECT_EQ(pair[1], 3);
    comment->GetPositionReversed(pair);
    EXPECT_EQ(pair[0], 3);
    EXPECT_EQ(pair[1], 40);
    EXPECT_EQ(comment->GetAbsolutePositionAsValue(&value), S_OK);
    EXPECT_EQ(value, 1003);
    std::int32_t first = 0;
    DWORD word3 = 0;
    EXPECT_EQ(comment->GetKVOInfo(&first, &word3, nullptr, nullptr), S_OK);
    EXPECT_EQ(first, 1003);
    EXPECT_EQ(word3, 5u);
    EXPECT_EQ(comment->GetExtent(pair), S_OK);
    EXPECT_EQ(pair[0], 1003);
    EXPECT_EQ(pair[1], 0x7FFFFFFF) << "the provider wrote no extent";
    provider.extentEnd = 2000;
    comment->GetExtent(pair);
    EXPECT_EQ(pair[1], 2000);
    provider.writes = false;
    comment->GetPosition(pair);
    EXPECT_EQ(pair[0], -1) << "the provider wrote nothing";
    provider.writes = true;

    provider.position = 77;
    comment->SetPositionProvider(nullptr);
    comment->GetPosition(pair);
    EXPECT_EQ(pair[0], 77) << "the provider's last position is kept";
    EXPECT_EQ(static_cast<IChartCommentEx*>(comment.Get())->GetAbsolutePosition(&value), E_FAIL);
}

// A white picture of a comment drawn at a resolution.
gdi::Image DrawAt(int dpi, const EventCommentBase& comment, const CommentDrawRecord& record, int w = 60, int h = 80)
{
    gdi::SetScreenDpi(dpi);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(w, h, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const RECT all{0, 0, w, h};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const_cast<EventCommentBase&>(comment).Draw(dc, dc, &record, 0);
    SelectObject(dc, old);
    gdi::Image image = gdi::ImageOfBitmap(bitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    gdi::SetScreenDpi(96);
    return image;
}

void ExpectGolden(const gdi::Image& image, const std::string& name)
{
    const gdi::GoldenCheck check = gdi::CheckGolden(image, std::string(TEST_DATA_DIR) + "/" + name + ".png");
    EXPECT_TRUE(check.ok) << name << ": " << check.message;
}

// Columns that hold a pixel of the colour (for red: of a colour mostly red, as at an antialiased edge).
std::vector<int> ColumnsOf(const gdi::Image& image, COLORREF colour)
{
    std::vector<int> columns;
    for (int x = 0; x < image.width; ++x) {
        for (int y = 0; y < image.height; ++y) {
            if (image.at(x, y) == colour || (colour == RGB(255, 0, 0) && GetGValue(image.at(x, y)) < 128 &&
                                             GetRValue(image.at(x, y)) > 200)) {
                columns.push_back(x);
                break;
            }
        }
    }
    return columns;
}

TEST(ChartComment, MarkerScalesWithTheResolution)
{
    constexpr COLORREF kRed = RGB(255, 0, 0);
    const struct {
        int dpi;
        int width;
        const char* golden;
    } cases[] = {{96, 7, "comment_marker_96"}, {144, 9, "comment_marker_144"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dpi);
        struct Paint : EventCommentBase {
            using EventCommentBase::EventCommentBase;
            void SetColour(COLORREF c) { colour_ = c; }
        };
        Paint painted(KVO::String(u""), 0, 0, 0, 0);
        painted.AddRef();
        painted.SetColour(kRed);
        const CommentDrawRecord record{0, 20, 5, 40, 0, CommentDrawRecord::kDrawLine};
        const gdi::Image image = DrawAt(c.dpi, painted, record, 40, 50);
        const std::vector<int> columns = ColumnsOf(image, kRed);
        ASSERT_FALSE(columns.empty());
        // Filled without a pen, the ellipse leaves out its rectangle's right and bottom edges.
        EXPECT_EQ(columns.back() - columns.front() + 1, c.width - 1);
        EXPECT_EQ(columns.front(), 20 - (c.width - 1) / 2);
        ExpectGolden(image, c.golden);

        RECT marker{};
        gdi::SetScreenDpi(c.dpi);
        HDC dc = CreateCompatibleDC(nullptr);
        painted.GetMarkerRect(dc, &record, &marker);
        EXPECT_EQ(marker.top, 5) << "the circle's top touches the record's top";
        EXPECT_EQ(marker.bottom - marker.top, c.width);
        // Half open: the right and bottom edges are outside.
        const struct {
            POINT at;
            bool hit;
        } points[] = {{{marker.left, marker.top}, true},
                      {{marker.right - 1, marker.bottom - 1}, true},
                      {{marker.right, marker.top}, false},
                      {{marker.left, marker.bottom}, false},
                      {{marker.left - 1, marker.top}, false}};
        for (const auto& p : points) {
            DWORD result = 9;
            EXPECT_EQ(painted.HitTest(dc, &record, p.at, 0, &result), p.hit ? S_OK : S_FALSE);
            EXPECT_EQ(result, p.hit ? 4u : 0u);
        }
        DeleteDC(dc);
        gdi::SetScreenDpi(96);
        EXPECT_EQ(painted.GetMarkerColour(TRUE), 0u) << "selected markers are black";
        EXPECT_EQ(painted.GetMarkerColour(FALSE), kRed);
    }
}

TEST(ChartComment, LabelAndLineEnds)
{
    const struct {
        const char* golden;
        std::uint32_t flags;
        std::int32_t alternateBottom;
        bool labelSeen;
    } cases[] = {
        {"comment_label", CommentDrawRecord::kDrawLabel | CommentDrawRecord::kDrawLine, 0, true},
        // An alternate bottom of 0 keeps the line at the bottom, while the label starts at the alternate bottom
        // (above the picture).
        {"comment_label_alternate_zero",
         CommentDrawRecord::kDrawLabel | CommentDrawRecord::kDrawLine | CommentDrawRecord::kUseAlternateBottom, 0,
         false},
        {"comment_label_alternate",
         CommentDrawRecord::kDrawLabel | CommentDrawRecord::kDrawLineToo | CommentDrawRecord::kUseAlternateBottom, 50,
         true},
        {"comment_selected_no_line", CommentDrawRecord::kSelected, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.golden);
        auto comment = Comment(u"Peak 3", 0, 0, 0, 0);
        comment->SetWord4(CommentDrawRecord::kDrawLabel);
        const CommentDrawRecord record{0, 40, 4, 75, c.alternateBottom, c.flags};
        const gdi::Image image = DrawAt(96, *comment.Get(), record);
        ExpectGolden(image, c.golden);
        // The label runs upward just left of the line.
        int inkRight = -1;
        for (int x = 0; x < 36; ++x) {
            for (int y = 0; y < image.height; ++y) {
                if (image.at(x, y) == RGB(0, 0, 0)) {
                    inkRight = x;
                }
            }
        }
        if (c.labelSeen) {
            EXPECT_GT(inkRight, 20) << "label text left of the line";
        } else {
            EXPECT_EQ(inkRight, -1);
        }
    }

    auto empty = Comment(u"", 0, 0, 0, 0);
    empty->SetWord4(CommentDrawRecord::kDrawLabel);
    auto none = Comment(u"", 0, 0, 0, 0);
    const CommentDrawRecord record{0, 40, 4, 75, 0, CommentDrawRecord::kDrawLabel};
    EXPECT_EQ(gdi::CompareImages(DrawAt(96, *empty.Get(), record), DrawAt(96, *none.Get(), record), 0).differentPixels,
              0)
        << "an empty text draws no label";
}

// A plain window class for the chart (a static control would let the mouse through to its parent).
const char16_t* ChartClass()
{
    static const char16_t* name = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"TestChart";
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        RegisterClassW(&wc);
        return u"TestChart";
    }();
    return name;
}

// A framed top-level window with a child that the chart would be.
struct ChartWindows {
    ChartWindows()
    {
        frame = CreateWindowExW(0, u"STATIC", u"frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 240,
                                nullptr, nullptr, nullptr, nullptr);
        chart = CreateWindowExW(0, ChartClass(), u"", WS_CHILD | WS_VISIBLE, 10, 10, 260, 160, frame, nullptr, nullptr,
                                nullptr);
        ui::pump();
    }
    ~ChartWindows() { DestroyWindow(frame); }

    // The whole frame window as it is on its surface.
    gdi::Image Picture() const
    {
        RECT r{};
        GetWindowRect(frame, &r);
        HDC window = GetWindowDC(frame);
        HDC memory = CreateCompatibleDC(window);
        HBITMAP bitmap = CreateBitmap(r.right - r.left, r.bottom - r.top, 1, 32, nullptr);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, r.right - r.left, r.bottom - r.top, window, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        gdi::Image image = gdi::ImageOfBitmap(bitmap);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(frame, window);
        return image;
    }

    HWND frame = nullptr;
    HWND chart = nullptr;
};

std::vector<gdi::Image>* g_frames = nullptr;
const ChartWindows* g_windows = nullptr;
void CaptureFrame(HWND, UINT, UINT_PTR, DWORD)
{
    g_frames->push_back(g_windows->Picture());
}

TEST(ChartComment, AnimationsLeaveTheWindowAsItWas)
{
    for (DWORD shape : {0u, 1u}) {
        SCOPED_TRACE(shape);
        ChartWindows windows;
        const gdi::Image before = windows.Picture();
        std::vector<gdi::Image> frames;
        g_frames = &frames;
        g_windows = &windows;
        // Ten frames of 30 ms after a 50 ms pause: a 10 ms timer sees each of them.
        SetTimer(windows.frame, 7, 10, CaptureFrame);
        auto comment = Comment(u"", 0, 0, 0, 0);
        const RECT from{20, 20, 140, 120};
        const RECT to{70, 60, 90, 80};
        EXPECT_EQ(comment->Animate(windows.chart, shape, &from, &to, 300), S_OK);
        KillTimer(windows.frame, 7);
        EXPECT_EQ(gdi::CompareImages(before, windows.Picture(), 0).differentPixels, 0);
        int changed = 0;
        for (const gdi::Image& frame : frames) {
            changed += gdi::CompareImages(before, frame, 0).differentPixels > 0;
        }
        EXPECT_GE(changed, 10) << "every frame shows its outline while it waits";
        EXPECT_GE(frames.size(), 34u);
    }
}

TEST(ChartComment, AnimationNeedsAVisibleFramedWindow)
{
    ChartWindows windows;
    ShowWindow(windows.chart, SW_HIDE);
    auto comment = Comment(u"", 0, 0, 0, 0);
    const RECT r{0, 0, 10, 10};
    const DWORD start = GetTickCount();
    EXPECT_EQ(comment->AnimateEllipse(windows.chart, &r, &r, 100), S_OK);
    EXPECT_EQ(GetTickCount(), start) << "nothing waited";
}

TEST(CommentPopupWindow, LinesTitleAndPlace)
{
    const RECT work = ui::Monitors().front().work;
    const struct {
        int characters;
        int lines;
        POINT anchor;
        bool below;      // not enough room above the anchor
        bool pushedLeft; // too close to the right edge
    } cases[] = {
        {0, 1, {500, 500}, false, false},
        {40, 2, {500, 500}, false, false},
        {100, 3, {500, 500}, false, false},
        {500, 7, {500, 500}, false, false},
        {10, 1, {500, 20}, true, false},
        {10, 1, {static_cast<LONG>(work.right - 20), 500}, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.characters);
        auto comment = Comment(std::u16string(c.characters, u'x').c_str(), 0, 0, 0, 0);
        auto* popup = new CommentPopup(nullptr, owl::TPoint(c.anchor.x, c.anchor.y), comment.Get(),
                                       KVO::String(u"1.5 s"), 9);
        popup->AddRef();
        const SIZE charSize = KVO::GetFontCharSize(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
        EXPECT_EQ(popup->TextRect().bottom - popup->TextRect().top, c.lines * charSize.cy);
        RECT placed{};
        GetWindowRect(popup->GetHandle(), &placed);
        if (c.below) {
            EXPECT_EQ(placed.top, c.anchor.y + 9);
        } else {
            EXPECT_EQ(placed.bottom, c.anchor.y);
        }
        if (c.pushedLeft) {
            EXPECT_EQ(placed.right, work.right - 10);
        } else {
            EXPECT_EQ(placed.left, c.anchor.x);
        }
        IChartCommentEx* shown = nullptr;
        EXPECT_EQ(popup->GetComment(nullptr), E_INVALIDARG);
        EXPECT_EQ(popup->GetComment(&shown), S_OK);
        EXPECT_EQ(shown, static_cast<IChartCommentEx*>(comment.Get()));
        shown->Release();
        const HWND window = popup->GetHandle();
        EXPECT_EQ(popup->Release(), 0u);
        EXPECT_FALSE(IsWindow(window)) << "the last release takes the window";
    }
    const struct {
        const char16_t* title;
        const char16_t* line;
    } titles[] = {
        {u"", u"t = "},
        {u"123456789012345678901234567", u"t = 123456789012345678901234567"},
        {u"1234567890123456789012345678", u"t = 123456789012345678901234567"},
    };
    for (const auto& t : titles) {
        EXPECT_EQ(CommentPopup::TitleLine(KVO::String(t.title)).View(), std::u16string_view(t.line));
    }
}

TEST(CommentPopupWindow, ShownFromTheCommentUnlessItsLabelIsDrawn)
{
    ChartWindows windows;
    auto comment = Comment(u"text", 0, 0, 0, 0);
    const CommentDrawRecord record{0, 50, 10, 100, 0, 0};
    auto title = KVO::String(u"2 s");
    IKVOString* titleInterface = title.GetInterface();
    ICommentPopupWindow* popup = nullptr;
    const std::size_t windowsBefore = ui::TopLevelWindows().size();
    EXPECT_EQ(comment->ShowPopupAtMarker(windows.chart, &record, titleInterface, nullptr, 0), E_POINTER);
    EXPECT_EQ(ui::TopLevelWindows().size(), windowsBefore) << "no popup made for nobody";
    ASSERT_EQ(comment->ShowPopupAtMarker(windows.chart, &record, titleInterface, &popup, 0), S_OK);
    ASSERT_NE(popup, nullptr);
    RECT placed{};
    GetWindowRect(static_cast<CommentPopup*>(popup)->GetHandle(), &placed);
    POINT anchor{50, 10};
    ClientToScreen(windows.chart, &anchor);
    EXPECT_EQ(placed.left, anchor.x);
    EXPECT_EQ(placed.bottom, anchor.y);
    EXPECT_EQ(popup->Release(), 0u);

    comment->SetWord4(CommentDrawRecord::kDrawLabel);
    popup = reinterpret_cast<ICommentPopupWindow*>(0x10);
    EXPECT_EQ(comment->ShowPopupAtMarker(windows.chart, &record, titleInterface, &popup, 0), S_FALSE);
    EXPECT_EQ(popup, nullptr);
    titleInterface->Release();
}

TEST(CommentPopupWindow, MadeButNotShownWhileTheHostApplicationIsHidden)
{
    host::ApplicationService& application = SharedHost().Application();
    auto comment = Comment(u"text", 0, 0, 0, 0);
    for (const bool visible : {true, false}) {
        application.SetVisible(visible);
        auto* popup = new CommentPopup(nullptr, owl::TPoint(300, 300), comment.Get(), KVO::String(u"1 s"), 9);
        popup->AddRef();
        ASSERT_TRUE(IsWindow(popup->GetHandle()));
        EXPECT_EQ(visible, IsWindowVisible(popup->GetHandle()) != FALSE);
        popup->Release();
    }
    application.SetVisible(true);
}

// A comment with a marker colour of its own.
class ColouredComment final : public EventCommentBase {
public:
    ColouredComment(const char16_t* text, COLORREF colour) : EventCommentBase(KVO::String(text), 0, 0, 0, 0)
    {
        colour_ = colour;
    }
};

TEST(HostChart, DrawsHitTestsShowsPopupsAndAnimatesItsComments)
{
    ChartWindows windows;
    host::ChartComments chart(windows.chart);
    platform::ComPtr<ColouredComment> red(new ColouredComment(u"first", RGB(255, 0, 0)));
    platform::ComPtr<ColouredComment> green(new ColouredComment(u"second", RGB(0, 160, 0)));
    chart.Add(red.Get(), 50, CommentDrawRecord::kDrawLine, u"1.000 s");
    chart.Add(green.Get(), 150, CommentDrawRecord::kDrawLine, u"2.000 s");
    HDC dc = GetDC(windows.chart);
    chart.Paint(dc);
    EXPECT_EQ(GetPixel(dc, 50, 7), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 150, 7), RGB(0, 160, 0));
    ReleaseDC(windows.chart, dc);

    EXPECT_EQ(chart.OnMouseMove(POINT{151, 8}), 1);
    ASSERT_NE(chart.Popup(), nullptr);
    IChartCommentEx* shown = nullptr;
    chart.Popup()->GetComment(&shown);
    EXPECT_EQ(shown, static_cast<IChartCommentEx*>(green.Get()));
    shown->Release();
    const HWND popupWindow = static_cast<CommentPopup*>(chart.Popup())->GetHandle();
    EXPECT_TRUE(IsWindow(popupWindow));
    EXPECT_EQ(chart.OnMouseMove(POINT{100, 8}), -1);
    EXPECT_EQ(chart.Popup(), nullptr);
    EXPECT_FALSE(IsWindow(popupWindow)) << "the popup goes when the mouse leaves the marker";

    const gdi::Image before = windows.Picture();
    const DWORD start = GetTickCount();
    EXPECT_EQ(chart.Animate(0, 200), S_OK);
    EXPECT_EQ(GetTickCount() - start, 50u + 10 * 20) << "a pause, then ten frames";
    EXPECT_EQ(gdi::CompareImages(before, windows.Picture(), 0).differentPixels, 0);
    EXPECT_EQ(chart.Animate(5, 200), E_INVALIDARG);
}

} // namespace
