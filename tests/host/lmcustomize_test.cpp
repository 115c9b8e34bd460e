// The host's customise dialog of its peak detection, driven as a user drives it: the settings shown, edits that are
// accepted into a copy of the settings, a cancel that changes nothing, and a bad number that keeps the dialog open.
#include "host/lmcustomize.h"

#include "platform/com/oleauto.h"
#include "platform/ui/dialog.h"
#include "platform/ui/input.h"
#include "platform/ui/window.h"
#include "platform/win/codepage.h"
#include "platform/win/msgbox.h"
#include "platform/win/winuser.h"

#include <gtest/gtest.h>

namespace {

using namespace host::CustomizeId;

class CustomizeDialog : public ::testing::Test {
protected:
    void SetUp() override { ui::reset(); }
    void TearDown() override
    {
        ui::SetModalHook({});
        platform::SetMessageBoxHook({});
        ui::reset();
    }

    // The extension's settings made from a text, with source channel 2.
    platform::ComPtr<ILMDetectionSettings> Settings(const char16_t* text)
    {
        platform::ComPtr<ILMDetectionSettings> settings;
        extension.CreateSettings(settings.Out());
        settings->SetText(text);
        settings->SetParameter(0, 2.0);
        return settings;
    }

    static std::u16string Text(ILMDetectionSettings* settings)
    {
        BSTR text = nullptr;
        settings->GetText(&text);
        std::u16string result = text ? text : u"";
        SysFreeString(text);
        return result;
    }

    static void Replace(HWND dialog, int id, const char16_t* text)
    {
        SetFocus(GetDlgItem(dialog, id));
        SendMessageW(GetDlgItem(dialog, id), EM_SETSEL, 0, -1);
        ui::PressKey(VK_DELETE);
        ui::Type(text);
    }

    host::LMDocExtension extension;
};

TEST_F(CustomizeDialog, ShowsTheSettingsAndAcceptsEditsIntoACopy)
{
    const auto settings = Settings(u"dir=1;sd=1;height=5;interval=0.005;transform=0;smooth=0.0005;window=0.5;zero=0;tag=1");
    const std::u16string before = Text(settings.Get());
    int opened = 0;
    ui::SetModalHook([&](HWND dialog) {
        ++opened;
        EXPECT_EQ(ui::WindowText(dialog), u"Peaks of Channel 3");
        EXPECT_EQ(SendMessageW(GetDlgItem(dialog, kDirection), CB_GETCURSEL, 0, 0), 0);
        EXPECT_EQ(IsDlgButtonChecked(dialog, kThresholdInSD), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(dialog, kDerivative), BST_UNCHECKED);
        EXPECT_EQ(ui::WindowText(GetDlgItem(dialog, kHeight)), u"5");
        EXPECT_EQ(ui::WindowText(GetDlgItem(dialog, kInterval)), u"5");
        EXPECT_EQ(ui::WindowText(GetDlgItem(dialog, kSmoothing)), u"0.5");
        EXPECT_EQ(ui::WindowText(GetDlgItem(dialog, kNoiseWindow)), u"500");

        SendMessageW(GetDlgItem(dialog, kDirection), CB_SETCURSEL, 1, 0);
        ui::Click(GetDlgItem(dialog, kDerivative));
        ui::Click(GetDlgItem(dialog, kZeroHeight));
        Replace(dialog, kHeight, u"3.5");
        Replace(dialog, kInterval, u"10");
        Replace(dialog, kSmoothing, u"1");
        Replace(dialog, kNoiseWindow, u"250");
        ui::Click(GetDlgItem(dialog, IDOK));
    });
    platform::ComPtr<ILMDetectionSettings> result;
    ASSERT_EQ(extension.Customize(nullptr, settings.Get(), nullptr, u"Peaks of Channel 3", nullptr, nullptr,
                                  result.Out()),
              S_OK);
    EXPECT_EQ(opened, 1);
    ASSERT_TRUE(result);
    EXPECT_EQ(Text(result.Get()),
              u"dir=-1;sd=1;height=3.5;interval=0.01;transform=1;smooth=0.001;window=0.25;zero=1;tag=0");
    double channel = 0.0;
    result->GetParameter(0, &channel);
    EXPECT_EQ(channel, 2.0);
    EXPECT_EQ(Text(settings.Get()), before); // the given settings stay as they were
}

TEST_F(CustomizeDialog, CancelAndBadNumbersChangeNothing)
{
    const auto settings = Settings(u"dir=1;sd=1;height=5;interval=0.005;transform=0;smooth=0.0005;window=0.5;zero=0;tag=1");
    ui::SetModalHook([&](HWND dialog) {
        Replace(dialog, kHeight, u"7");
        ui::Click(GetDlgItem(dialog, IDCANCEL));
    });
    platform::ComPtr<ILMDetectionSettings> result;
    EXPECT_EQ(extension.Customize(nullptr, settings.Get(), nullptr, nullptr, nullptr, nullptr, result.Out()), S_FALSE);
    EXPECT_FALSE(result);

    // Each bad field is named and keeps the dialog open; mended, the dialog closes.
    const struct {
        int id;
        const char16_t* text;
        const char16_t* named;
    } cases[] = {
        {kHeight, u"tall", u"Minimum height"},    {kHeight, u"-1", u"Minimum height"},
        {kInterval, u"", u"Minimum interval"},    {kSmoothing, u"0", u"Smoothing"},
        {kSmoothing, u"20000", u"Smoothing"},     {kNoiseWindow, u"1e999", u"Noise window"},
        {kNoiseWindow, u"5 ms", u"Noise window"},
    };
    for (const auto& c : cases) {
        std::vector<std::u16string> boxes;
        platform::SetMessageBoxHook([&](const platform::MessageBoxCall& call) {
            boxes.push_back(call.text);
            return IDOK;
        });
        bool stayedOpen = false;
        ui::SetModalHook([&](HWND dialog) {
            const std::u16string good = ui::WindowText(GetDlgItem(dialog, c.id));
            Replace(dialog, c.id, c.text);
            ui::Click(GetDlgItem(dialog, IDOK));
            stayedOpen = IsWindow(dialog) && GetFocus() == GetDlgItem(dialog, c.id);
            Replace(dialog, c.id, good.c_str());
            ui::Click(GetDlgItem(dialog, IDOK));
        });
        EXPECT_EQ(extension.Customize(nullptr, settings.Get(), nullptr, nullptr, nullptr, nullptr, result.Out()), S_OK);
        EXPECT_TRUE(stayedOpen) << platform::Utf16ToUtf8(c.named);
        ASSERT_EQ(boxes.size(), 1u) << platform::Utf16ToUtf8(c.named);
        EXPECT_NE(boxes[0].find(c.named), std::u16string::npos);
        EXPECT_EQ(Text(result.Get()),
                  u"dir=1;sd=1;height=5;interval=0.005;transform=0;smooth=5e-04;window=0.5;zero=0;tag=0")
            << platform::Utf16ToUtf8(c.named);
    }

    // Settings that are not the host's own: nothing to edit, no dialog.
    const auto foreign = Settings(u"colour=blue");
    ui::SetModalHook([&](HWND) { ADD_FAILURE() << "a dialog for foreign settings"; });
    EXPECT_EQ(extension.Customize(nullptr, foreign.Get(), nullptr, nullptr, nullptr, nullptr, result.Out()),
              E_INVALIDARG);
    EXPECT_FALSE(result);
}

} // namespace
