#include "platform/gdi/image.h"
#include "platform/ui/dialog.h"
#include "platform/ui/input.h"
#include "platform/ui/render.h"
#include "platform/ui/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
constexpr int kNameLabel = 100;
constexpr int kName = 101;
constexpr int kKindLabel = 102;
constexpr int kKind = 103;
constexpr int kMore = 104;

HINSTANCE Module() { return platform::ModuleHandleFromAddress(reinterpret_cast<const void*>(&Module)); }

ui::DialogTemplateData SampleTemplate()
{
    ui::DialogTemplateData t;
    t.cx = 180;
    t.cy = 90;
    t.caption = u"Sample";
    t.items = {
        {u"Static", u"&Name:", kNameLabel, 7, 9, 40, 8, WS_VISIBLE | SS_LEFT},
        {u"Edit", u"", kName, 50, 7, 123, 14, WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
        {u"Static", u"&Kind:", kKindLabel, 7, 29, 40, 8, WS_VISIBLE | SS_LEFT},
        {u"ComboBox", u"", kKind, 50, 27, 123, 60, WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST},
        {u"Button", u"OK", IDOK, 69, 69, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
        {u"Button", u"Cancel", IDCANCEL, 123, 69, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON},
    };
    return t;
}

struct Sample {
    std::u16string name = u"first";
    int kind = -1;
    std::vector<int> notices; // WM_COMMAND ids with code << 16
    bool timerFired = false;
};

INT_PTR SampleProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* sample = reinterpret_cast<Sample*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        sample = reinterpret_cast<Sample*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetDlgItemTextW(dialog, kName, sample->name.c_str());
        for (const char16_t* kind : {u"Peaks", u"Valleys", u"Both"}) {
            SendDlgItemMessageW(dialog, kKind, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kind));
        }
        SendDlgItemMessageW(dialog, kKind, CB_SETCURSEL, 0, 0);
        // OK waits for a second, as a dialog that first checks something might.
        EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
        SetTimer(dialog, 5, 1000, nullptr);
        sample->notices.clear();
        return TRUE;
    }
    case WM_TIMER:
        if (wParam == 5) {
            KillTimer(dialog, 5);
            sample->timerFired = true;
            EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
        }
        return TRUE;
    case WM_COMMAND:
        if (sample) {
            sample->notices.push_back(LOWORD(wParam) | (HIWORD(wParam) << 16));
        }
        if (LOWORD(wParam) == IDOK) {
            sample->name = ui::WindowText(GetDlgItem(dialog, kName));
            sample->kind = static_cast<int>(SendDlgItemMessageW(dialog, kKind, CB_GETCURSEL, 0, 0));
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        if (LOWORD(wParam) == kMore && HIWORD(wParam) == BN_CLICKED) {
            Sample inner;
            inner.name = u"inner";
            const INT_PTR result = DialogBoxParamW(Module(), MAKEINTRESOURCEW(7), dialog, SampleProc,
                                                   reinterpret_cast<LPARAM>(&inner));
            sample->name = inner.name + u"/" + std::u16string(result == IDOK ? u"ok" : u"cancel");
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        ui::RegisterDialogTemplate(Module(), MAKEINTRESOURCEW(7), SampleTemplate());
        ui::DialogTemplateData outer = SampleTemplate();
        outer.caption = u"Outer";
        outer.items.push_back({u"Button", u"More", kMore, 7, 69, 50, 14, WS_VISIBLE | WS_TABSTOP});
        ui::RegisterDialogTemplate(Module(), u"OUTER", outer);
    }
    void TearDown() override { ui::reset(); }
};

TEST_F(DialogTest, TemplateBytesAreLittleEndianFieldByField)
{
    ui::DialogTemplateData t;
    t.style = 0x80C80040;
    t.cx = 10;
    t.cy = 20;
    t.caption = u"A";
    t.fontFace = u"F";
    t.items = {{u"B", u"C", 0x1234, 1, 2, 3, 4, 0x50010000, 0x200}};
    const std::vector<std::byte> bytes = ui::EncodeDialogTemplate(t);
    const unsigned char expected[] = {
        0x43, 0x44, 0x4C, 0x47, 70, 0, 0, 0,             // signature, size
        0x40, 0x00, 0xC8, 0x80, 0, 0, 0, 0,               // style, extended style
        0, 0, 0, 0, 10, 0, 20, 0,                         // x, y, cx, cy
        8, 0, 0x90, 0x01, 0, 0, 1, 0,                     // points, weight 400, italic, item count
        1, 0, 'A', 0, 1, 0, 'F', 0, 0, 0,                 // caption, font, class
        0x00, 0x00, 0x01, 0x50, 0x00, 0x02, 0x00, 0x00,   // item style, extended style
        1, 0, 2, 0, 3, 0, 4, 0, 0x34, 0x12, 0, 0,         // x, y, cx, cy, id
        1, 0, 'B', 0, 1, 0, 'C', 0,                       // class, text
    };
    ASSERT_EQ(sizeof expected, bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        EXPECT_EQ(expected[i], std::to_integer<unsigned>(bytes[i])) << "byte " << i;
    }
    ui::DecodedDialog decoded;
    ASSERT_TRUE(ui::DecodeDialogTemplate(reinterpret_cast<const DLGTEMPLATE*>(bytes.data()), decoded));
    EXPECT_EQ(u"A", decoded.caption);
    ASSERT_EQ(1u, decoded.items.size());
    EXPECT_EQ(0x1234, decoded.items[0].id);
    EXPECT_EQ((RECT{1, 2, 4, 6}), decoded.items[0].rect);
    // A cut template is refused.
    std::vector<std::byte> cut(bytes.begin(), bytes.end() - 3);
    cut[4] = static_cast<std::byte>(cut.size());
    EXPECT_FALSE(ui::DecodeDialogTemplate(reinterpret_cast<const DLGTEMPLATE*>(cut.data()), decoded));
}

TEST_F(DialogTest, ModalDialogDrivenByTheHook)
{
    HWND owner = CreateWindowExW(0, u"Static", u"owner", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr,
                                 nullptr, nullptr);
    Sample sample;
    int opened = 0;
    ui::SetModalHook([&](HWND dialog) {
        ++opened;
        EXPECT_EQ(u"Sample", ui::WindowText(dialog));
        EXPECT_FALSE(IsWindowEnabled(owner)); // the owner is disabled while the dialog runs
        HWND name = GetDlgItem(dialog, kName);
        EXPECT_EQ(name, GetFocus());          // the first tab stop has the focus, its text selected
        EXPECT_EQ(u"first", ui::WindowText(name));
        ui::Type(u"Cell 3");                  // replaces the selected text
        ui::PressKey(VK_TAB);                 // to the combo box
        EXPECT_EQ(GetDlgItem(dialog, kKind), GetFocus());
        ui::PressKey(VK_DOWN);                // "Valleys"
        ui::Click(GetDlgItem(dialog, IDOK));  // disabled: nothing happens
        EXPECT_TRUE(IsWindow(dialog));
        ui::advance(1000);                    // the dialog's timer enables OK
        EXPECT_TRUE(sample.timerFired);
        ui::Click(GetDlgItem(dialog, IDOK));
    });
    const INT_PTR result =
        DialogBoxParamW(Module(), MAKEINTRESOURCEW(7), owner, SampleProc, reinterpret_cast<LPARAM>(&sample));
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(1, opened);
    EXPECT_EQ(u"Cell 3", sample.name);
    EXPECT_EQ(1, sample.kind);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(1u, ui::TopLevelWindows().size()); // the dialog is gone, with its drop-down list
    // The combo box's selection change and the OK click reached the dialog as WM_COMMAND.
    EXPECT_NE(std::find(sample.notices.begin(), sample.notices.end(), kKind | (CBN_SELCHANGE << 16)),
              sample.notices.end());
    EXPECT_EQ(IDOK | (BN_CLICKED << 16), sample.notices.back());
}

TEST_F(DialogTest, KeysCloseDialogsAndUnendedDialogsAreCancelled)
{
    Sample sample;
    ui::SetModalHook([&](HWND) {
        ui::advance(1000);
        ui::PressKey(VK_RETURN); // the default button
    });
    EXPECT_EQ(IDOK, DialogBoxParamW(Module(), MAKEINTRESOURCEW(7), nullptr, SampleProc,
                                    reinterpret_cast<LPARAM>(&sample)));
    ui::SetModalHook([&](HWND) { ui::PressKey(VK_ESCAPE); });
    EXPECT_EQ(IDCANCEL, DialogBoxParamW(Module(), MAKEINTRESOURCEW(7), nullptr, SampleProc,
                                        reinterpret_cast<LPARAM>(&sample)));
    ui::SetModalHook({});
    EXPECT_EQ(IDCANCEL, DialogBoxParamW(Module(), MAKEINTRESOURCEW(7), nullptr, SampleProc,
                                        reinterpret_cast<LPARAM>(&sample)));
    EXPECT_EQ(-1, DialogBoxParamW(Module(), MAKEINTRESOURCEW(99), nullptr, SampleProc, 0));
    EXPECT_EQ(0, ui::TimerCount());
}

TEST_F(DialogTest, NestedModalLoopsAndMessageBoxes)
{
    Sample sample;
    std::vector<std::u16string> seen;
    ui::SetModalHook([&](HWND dialog) {
        seen.push_back(ui::WindowText(dialog));
        EXPECT_EQ(dialog, ui::ModalDialogs().back());
        if (ui::WindowText(dialog) == u"Outer") {
            ui::Click(GetDlgItem(dialog, kMore)); // runs the inner dialog to its end
            EXPECT_EQ(u"changed/ok", sample.name);
            EXPECT_EQ(1u, ui::ModalDialogs().size());
            const int answer = MessageBoxW(dialog, u"Sure?", u"Question", MB_YESNO);
            EXPECT_EQ(IDNO, answer);
            ui::PressKey(VK_ESCAPE);
        } else {
            EXPECT_FALSE(IsWindowEnabled(ui::ModalDialogs().front()));
            SetDlgItemTextW(dialog, kName, u"changed");
            ui::advance(1000);
            ui::PressKey(VK_RETURN);
        }
    });
    auto old = platform::SetMessageBoxHook([](const platform::MessageBoxCall& call) {
        EXPECT_EQ(u"Sure?", call.text);
        return IDNO;
    });
    EXPECT_EQ(IDCANCEL,
              DialogBoxParamW(Module(), u"OUTER", nullptr, SampleProc, reinterpret_cast<LPARAM>(&sample)));
    platform::SetMessageBoxHook(old);
    EXPECT_EQ((std::vector<std::u16string>{u"Outer", u"Sample"}), seen);
    EXPECT_TRUE(ui::ModalDialogs().empty());
}

TEST_F(DialogTest, RenderingMatchesTheGoldenPicture)
{
    Sample sample;
    HWND dialog = CreateDialogParamW(Module(), MAKEINTRESOURCEW(7), nullptr, SampleProc,
                                     reinterpret_cast<LPARAM>(&sample));
    ASSERT_NE(nullptr, dialog);
    RECT r;
    GetWindowRect(dialog, &r);
    // 180 x 90 dialog units at 6 x 13 are 270 x 146 pixels of client area, inside a caption and a modal frame.
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ((RECT{0, 0, 270, 146}), client);
    ShowWindow(dialog, SW_SHOW);
    SetFocus(GetDlgItem(dialog, kKind));
    const gdi::Image picture = ui::RenderWindow(dialog);
    EXPECT_EQ(r.right - r.left, picture.width);
    EXPECT_EQ(r.bottom - r.top, picture.height);
    const gdi::GoldenCheck check =
        gdi::CheckGolden(picture, std::string(TEST_DATA_DIR) + "/sample_dialog.png", 8, 40);
    EXPECT_TRUE(check.ok) << check.message;
    DestroyWindow(dialog);
}
}
