// What the control tests share: a clean window manager, theme and clock for each test, a host window, and the
// balloons and popups on screen.
#pragma once

#include "controls/balloonhelp.h"
#include "platform/gdi/dc.h"
#include "platform/owl/window.h"
#include "platform/ui/input.h"
#include "platform/ui/window.h"
#include "platform/win/uxtheme.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ControlsTest {

inline std::u16string ClassOf(HWND hwnd)
{
    char16_t name[64]{};
    GetClassNameW(hwnd, name, 64);
    return name;
}

inline std::vector<HWND> Balloons()
{
    std::vector<HWND> found;
    for (HWND top : ui::TopLevelWindows()) {
        if (ClassOf(top) == WTL::CBalloonHelp::kClassName) {
            found.push_back(top);
        }
    }
    return found;
}

// A plain top-level window to hold controls, at a known place on the screen.
class Host : public owl::TWindow {
public:
    explicit Host(int x = 100, int y = 100, int w = 400, int h = 300) : TWindow(nullptr, u"host")
    {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.X = x;
        Attr.Y = y;
        Attr.W = w;
        Attr.H = h;
    }
};

class Fixture : public ::testing::Test {
protected:
    void SetUp() override { ui::reset(); }
    void TearDown() override
    {
        ui::reset();
        platform::FailThemeCall("");
        platform::SetThemesActive(false);
        platform::RecordThemeCalls(nullptr);
        gdi::SetScreenDpi(96);
    }
};

inline std::string Golden(const char* name) { return std::string(TEST_DATA_DIR) + "/" + name + ".png"; }

} // namespace ControlsTest
