// Balloon check boxes: the hover delay on the virtual clock, jitter, clicks that suppress the balloon, default
// texts, and the wrapping of the balloon's content.
#include "controls_fixture.h"

#include "controls/ballooncheckbox.h"

#include <sstream>

namespace {
using namespace ControlsTest;
using KVOControls::TBalloonCheckBox;

class BalloonCheckBoxTest : public Fixture {
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        host = std::make_unique<Host>(100, 100, 400, 300);
        box = new TBalloonCheckBox(host.get(), 40, u"Show marks", 20, 30);
        host->Create();
        box->SetBalloonText(u"Marks", u"Shows the event marks in the chart.", 0);
    }
    void TearDown() override
    {
        host.reset();
        Fixture::TearDown();
    }
    std::unique_ptr<Host> host;
    TBalloonCheckBox* box = nullptr;
};

TEST_F(BalloonCheckBoxTest, OpensAfterTheDelayWithItsTipNearTheTopLeftCorner)
{
    RECT r{};
    GetWindowRect(*box, &r);
    EXPECT_EQ(100, r.right - r.left);
    EXPECT_EQ(16, r.bottom - r.top);
    ui::MouseMove(*box, POINT{10, 8});
    ui::advance(749);
    EXPECT_TRUE(Balloons().empty());
    ui::advance(1);
    ASSERT_EQ(1u, Balloons().size());
    HWND balloon = Balloons().front();
    auto* object = reinterpret_cast<WTL::CBalloonHelp*>(GetWindowLongPtrW(balloon, GWLP_USERDATA));
    RECT b{};
    GetWindowRect(balloon, &b);
    EXPECT_EQ(r.left + 7, b.left + object->Tail()[2].x);
    EXPECT_EQ(r.top + 7, b.top + object->Tail()[2].y);
    EXPECT_EQ(u"Marks", ui::WindowText(balloon));
    EXPECT_EQ(0x7E00u | WTL::CBalloonHelp::DeleteThisOnClose, object->Options() | WTL::CBalloonHelp::DeleteThisOnClose);
    // A move of more than 3 pixels closes it; the balloon held the mouse, so the box starts over.
    ui::MouseMove(*box, POINT{16, 8});
    ui::pump();
    EXPECT_TRUE(Balloons().empty());
    ui::MouseMove(*box, POINT{17, 8});
    ui::advance(750);
    EXPECT_EQ(1u, Balloons().size());
}

TEST_F(BalloonCheckBoxTest, ComingBackToTheSameSpotStartsTheDelayAgain)
{
    ui::MouseMove(*box, POINT{10, 8});
    ui::advance(100);
    ui::MouseMove(*host, POINT{350, 250});
    ui::MouseMove(*box, POINT{10, 8});
    ui::advance(750);
    EXPECT_EQ(1u, Balloons().size());
}

TEST_F(BalloonCheckBoxTest, JitterOf3PixelsOrLessDoesNotRestartTheDelay)
{
    struct Case {
        POINT second;
        bool restarted;
    };
    for (const Case& c : {Case{{12, 10}, false}, Case{{13, 8}, false}, Case{{14, 8}, true}, Case{{12, 11}, true}}) {
        ui::MouseMove(*host, POINT{350, 250}); // leave
        for (HWND b : Balloons()) {
            DestroyWindow(b);
        }
        ui::MouseMove(*box, POINT{10, 8});
        ui::advance(500);
        ui::MouseMove(*box, c.second);
        ui::advance(250);
        EXPECT_EQ(c.restarted, Balloons().empty()) << c.second.x << "," << c.second.y;
        ui::advance(500);
        EXPECT_EQ(1u, Balloons().size());
    }
}

TEST_F(BalloonCheckBoxTest, AClickBeforeTheDelaySuppressesTheBalloonUntilTheCursorComesBack)
{
    ui::MouseMove(*box, POINT{10, 8});
    ui::advance(300);
    ui::Click(*box, POINT{10, 8});
    EXPECT_EQ(BST_CHECKED, box->GetCheck());
    ui::advance(2000);
    ui::MouseMove(*box, POINT{30, 8});
    ui::advance(2000);
    EXPECT_TRUE(Balloons().empty());
    ui::MouseMove(*host, POINT{350, 250});
    ui::MouseMove(*box, POINT{10, 8});
    ui::advance(750);
    EXPECT_EQ(1u, Balloons().size());
}

TEST_F(BalloonCheckBoxTest, AKeyAlsoSuppressesIt)
{
    ui::MouseMove(*box, POINT{10, 8});
    SetFocus(*box);
    ui::PressKey(VK_SPACE);
    ui::advance(1000);
    EXPECT_TRUE(Balloons().empty());
}

TEST_F(BalloonCheckBoxTest, NullTextsGiveTheDefaults)
{
    box->SetBalloonText(nullptr, nullptr, 0);
    EXPECT_EQ(u"Title", box->GetBalloonTitle());
    EXPECT_EQ(u"Content", box->GetBalloonContent());
    box->SetBalloonText(u"", u"", 0);
    EXPECT_EQ(u"", box->GetBalloonContent());
    box->SetBalloonText(nullptr, nullptr, 0);
    ui::MouseMove(*box, POINT{10, 8});
    ui::advance(750);
    ASSERT_EQ(1u, Balloons().size());
    EXPECT_EQ(u"Title", ui::WindowText(Balloons().front()));
}

TEST_F(BalloonCheckBoxTest, AutoCloseEndsTheBalloon)
{
    box->SetAutoClose(2000);
    ui::MouseMove(*box, POINT{10, 8});
    ui::advance(750);
    ASSERT_EQ(1u, Balloons().size());
    ui::advance(1999);
    EXPECT_EQ(1u, Balloons().size());
    ui::advance(1);
    ui::pump();
    EXPECT_TRUE(Balloons().empty());
}

// Splits wrapped text at CR LF; false when a line break is not CR LF.
bool Lines(const std::u16string& text, std::vector<std::u16string>& lines)
{
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find(u"\r\n", start);
        if (end == std::u16string::npos) {
            return false;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return true;
}

// Every character but white space, in order: what wrapping must keep.
std::u16string Letters(const std::u16string& text)
{
    std::u16string out;
    for (char16_t c : text) {
        if (c != u' ' && c != u'\r' && c != u'\n' && c != u'\t') {
            out += c;
        }
    }
    return out;
}

TEST(BalloonContentWrap, LinesStayWithinTheWidthEndWithCrLfAndKeepEveryWord)
{
    struct Case {
        std::u16string text;
        int width;
        std::vector<std::u16string> expected; // empty: only the rules are checked
    };
    const Case cases[] = {
        {u"one two three four", 10, {u"one two", u"three", u"four"}},
        {u"one two three four", 11, {u"one two", u"three", u"four"}},
        {u"one two three four", 12, {u"one two", u"three four"}},
        {u"abcdefghijkl", 6, {u"abcd", u"efgh", u"ijkl"}},
        {u"first line\r\nsecond", 40, {u"first line", u"second"}},
        {u"Shows the event marks in the chart while the host records.", 20, {}},
        {u"a  b   c", 3, {u"a", u"b", u"c"}},
    };
    for (const Case& c : cases) {
        const std::u16string wrapped = KVOControls::WrapBalloonContent(c.text, c.width);
        std::vector<std::u16string> lines;
        ASSERT_TRUE(Lines(wrapped, lines));
        for (const auto& line : lines) {
            EXPECT_LE(static_cast<int>(line.size()), c.width - 2);
        }
        EXPECT_EQ(Letters(c.text), Letters(wrapped));
        if (!c.expected.empty()) {
            EXPECT_EQ(c.expected, lines);
        }
    }
}

TEST(BalloonContentWrap, BlankContentAndNarrowWidths)
{
    EXPECT_EQ(u" \n", KVOControls::WrapBalloonContent(u"", 10));
    EXPECT_EQ(u" \n", KVOControls::WrapBalloonContent(u" ", 10));
    EXPECT_EQ(u" \n", KVOControls::WrapBalloonContent(u"\t", 10));
    // Below 3 there is no room for a character: the text is left whole instead of emptied.
    EXPECT_EQ(u"some text", KVOControls::WrapBalloonContent(u"some text", 2));
    EXPECT_EQ(u"some text", KVOControls::WrapBalloonContent(u"some text", 0));
}
}
