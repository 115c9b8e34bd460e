// The stand-in platform's run-time linking, profile, global memory, metafiles, printer DCs and the combo-box
// details that the window utilities rest on.
#include "platform/gdi/dc.h"
#include "platform/owl/control.h"
#include "platform/owl/dc.h"
#include "platform/ui/input.h"
#include "platform/ui/window.h"
#include "platform/win/errors.h"
#include "platform/win/globalmem.h"
#include "platform/win/libloader.h"
#include "platform/win/profile.h"
#include "platform/win/shellscalingapi.h"

#include "tests/winutil/metafilekit.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override { ui::reset(); }
    void TearDown() override
    {
        ui::reset();
        platform::SetLibraryMissing(u"shcore.dll", false);
    }
};

TEST_F(PlatformTest, LibrariesAreLoadedByNameAndAnswerTheirProcedures)
{
    // Other users (the module's own library objects) may hold loads of their own.
    const int shcoreLoads = platform::LibraryLoadCount(u"shcore.dll");
    const int uxthemeLoads = platform::LibraryLoadCount(u"uxtheme.dll");
    HMODULE shcore = LoadLibraryW(u"C:\\Windows\\System32\\SHCORE.DLL");
    ASSERT_NE(nullptr, shcore);
    EXPECT_EQ(shcore, LoadLibraryW(u"shcore"));
    EXPECT_EQ(shcoreLoads + 2, platform::LibraryLoadCount(u"shcore.dll"));
    using GetDpi = HRESULT (*)(HMONITOR, MONITOR_DPI_TYPE, UINT*, UINT*);
    auto getDpi = reinterpret_cast<GetDpi>(GetProcAddress(shcore, "GetDpiForMonitor"));
    ASSERT_NE(nullptr, getDpi);
    ui::SetMonitors({ui::Monitor{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}},
                     ui::Monitor{RECT{1920, 0, 3840, 2160}, RECT{1920, 0, 3840, 2120}, 144}});
    UINT x = 0;
    UINT y = 0;
    EXPECT_EQ(S_OK, getDpi(MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTONEAREST), MDT_EFFECTIVE_DPI, &x, &y));
    EXPECT_EQ(96u, x);
    EXPECT_EQ(S_OK, getDpi(MonitorFromPoint(POINT{2000, 10}, MONITOR_DEFAULTTONEAREST), MDT_EFFECTIVE_DPI, &x, &y));
    EXPECT_EQ(144u, y);
    EXPECT_EQ(E_INVALIDARG, getDpi(nullptr, MDT_EFFECTIVE_DPI, &x, &y));
    EXPECT_EQ(nullptr, GetProcAddress(shcore, "SetProcessDpiAwareness"));
    EXPECT_EQ(ERROR_PROC_NOT_FOUND, GetLastError());
    EXPECT_TRUE(FreeLibrary(shcore));
    EXPECT_TRUE(FreeLibrary(shcore));
    EXPECT_EQ(shcoreLoads, platform::LibraryLoadCount(u"shcore.dll"));
    if (shcoreLoads == 0) {
        EXPECT_FALSE(FreeLibrary(shcore));
        EXPECT_EQ(nullptr, GetProcAddress(shcore, "GetDpiForMonitor"));
    }

    EXPECT_EQ(nullptr, LoadLibraryW(u"gdiplus.dll"));
    EXPECT_EQ(ERROR_MOD_NOT_FOUND, GetLastError());
    platform::SetLibraryMissing(u"shcore.dll", true);
    EXPECT_EQ(nullptr, LoadLibraryW(u"shcore.dll"));
    EXPECT_THROW(owl::TModule(u"shcore.dll", true), owl::TXInvalidModule);
    owl::TModule optional(u"shcore.dll", true, false);
    EXPECT_EQ(nullptr, optional.GetHandle());
    platform::SetLibraryMissing(u"shcore.dll", false);
    {
        owl::TModule uxtheme(u"uxtheme.dll", true);
        EXPECT_EQ(uxthemeLoads + 1, platform::LibraryLoadCount(u"uxtheme.dll"));
        owl::TModuleProc<BOOL> isThemeActive(uxtheme, "IsThemeActive");
        EXPECT_FALSE(isThemeActive());
        EXPECT_THROW((owl::TModuleProc<BOOL>(uxtheme, "NoSuchProcedure")), owl::TXOwl);
    }
    EXPECT_EQ(uxthemeLoads, platform::LibraryLoadCount(u"uxtheme.dll"));
}

TEST_F(PlatformTest, ProfileGlobalMemoryAndMetafiles)
{
    char16_t buffer[8];
    EXPECT_EQ(3u, GetProfileStringW(u"windows", u"device", u"abc", buffer, 8));
    EXPECT_EQ(std::u16string(u"abc"), buffer);
    platform::SetProfileString(u"Windows", u"Device", u"Printer,winspool,LPT1:");
    EXPECT_EQ(7u, GetProfileStringW(u"WINDOWS", u"device", u"", buffer, 8)); // cut to the buffer
    EXPECT_EQ(std::u16string(u"Printer"), buffer);
    platform::SetProfileString(u"windows", u"device", std::nullopt);
    EXPECT_EQ(0u, GetProfileStringW(u"windows", u"device", u"", buffer, 8));

    const int blocks = platform::LiveGlobalBlocks();
    HGLOBAL fixed = GlobalAlloc(GPTR, 12);
    EXPECT_EQ(fixed, GlobalLock(fixed));
    EXPECT_EQ(0, static_cast<const char*>(fixed)[11]);
    EXPECT_EQ(12u, GlobalSize(fixed));
    HGLOBAL moveable = GlobalAlloc(GHND, 4);
    void* data = GlobalLock(moveable);
    EXPECT_NE(moveable, data);
    EXPECT_FALSE(GlobalUnlock(moveable));
    EXPECT_EQ(nullptr, GlobalFree(moveable));
    EXPECT_EQ(fixed, GlobalFree(GlobalFree(fixed) ? nullptr : fixed)); // a second free is refused
    EXPECT_EQ(blocks, platform::LiveGlobalBlocks());

    // An enhanced-metafile header record: bounds, frame, signature, sizes; then converted to a Windows metafile.
    const auto emf = testkit::EnhMetaHeader(RECT{0, 0, 99, 49}, RECT{0, 0, 2646, 1323});
    EXPECT_EQ(nullptr, SetEnhMetaFileBits(87, emf.data()));
    HENHMETAFILE enhanced = SetEnhMetaFileBits(88, emf.data());
    ASSERT_NE(nullptr, enhanced);
    ENHMETAHEADER header{};
    EXPECT_EQ(sizeof header, GetEnhMetaFileHeader(enhanced, sizeof header, &header));
    EXPECT_EQ((RECT{0, 0, 2646, 1323}), header.rclFrame);
    const UINT size = GetWinMetaFileBits(enhanced, 0, nullptr, MM_ANISOTROPIC, nullptr);
    std::vector<BYTE> wmf(size);
    EXPECT_EQ(size, GetWinMetaFileBits(enhanced, size, wmf.data(), MM_ANISOTROPIC, nullptr));
    const std::vector<BYTE> expected = {
        1, 0, 9, 0, 0, 3, 26, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, // header: 26 words in all
        4, 0, 0, 0, 3, 1, 8, 0,                                  // SetMapMode(MM_ANISOTROPIC)
        5, 0, 0, 0, 11, 2, 0, 0, 0, 0,                           // SetWindowOrg(0, 0), y first
        5, 0, 0, 0, 12, 2, 49, 0, 99, 0,                         // SetWindowExt(99, 49), y first
        3, 0, 0, 0, 0, 0};                                       // end
    EXPECT_EQ(expected, wmf);
    HMETAFILE windows = SetMetaFileBitsEx(size, wmf.data());
    ASSERT_NE(nullptr, windows);
    EXPECT_EQ(0u, GetEnhMetaFileHeader(reinterpret_cast<HENHMETAFILE>(windows), sizeof header, &header));
    EXPECT_TRUE(DeleteMetaFile(windows));
    EXPECT_TRUE(DeleteEnhMetaFile(enhanced));
    EXPECT_FALSE(DeleteEnhMetaFile(enhanced));
}

TEST_F(PlatformTest, PrinterDcsByDriverAndDevice)
{
    const int dcs = gdi::LiveDcCount();
    {
        owl::TPrintDC printer(u"winspool", u"Office Printer");
        EXPECT_EQ(DT_RASPRINTER, printer.GetDeviceCaps(TECHNOLOGY));
        EXPECT_EQ(600, printer.GetDeviceCaps(LOGPIXELSY));
        // US Letter (5100 x 6600 pixels) less a quarter inch (150 pixels) on each side is printable.
        EXPECT_EQ(4800, printer.GetDeviceCaps(HORZRES));
        EXPECT_EQ(6300, printer.GetDeviceCaps(VERTRES));
        EXPECT_EQ(5100, printer.GetDeviceCaps(PHYSICALWIDTH));
        EXPECT_EQ(6600, printer.GetDeviceCaps(PHYSICALHEIGHT));
        EXPECT_EQ(150, printer.GetDeviceCaps(PHYSICALOFFSETX));
        EXPECT_EQ(150, printer.GetDeviceCaps(PHYSICALOFFSETY));
        EXPECT_EQ(203, printer.GetDeviceCaps(HORZSIZE)) << "millimetres";
        EXPECT_TRUE(printer.TextOut(10, 10, u"kept nowhere"));
    }
    EXPECT_EQ(dcs, gdi::LiveDcCount());
    HDC display = CreateDCW(u"display", nullptr, nullptr, nullptr);
    EXPECT_EQ(DT_RASDISPLAY, GetDeviceCaps(display, TECHNOLOGY));
    DeleteDC(display);
    EXPECT_THROW(owl::TPrintDC(u"winspool", u""), owl::TXGdi);
    EXPECT_EQ(dcs, gdi::LiveDcCount());
}

// A parent that records the notifications its children leave to it.
class Parent : public owl::TWindow {
public:
    Parent() : TWindow(nullptr, u"parent")
    {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.W = 300;
        Attr.H = 200;
    }
    owl::TResult EvCommand(owl::uint id, HWND ctl, owl::uint code) override
    {
        notices.push_back(code);
        return TWindow::EvCommand(id, ctl, code);
    }
    void EvMeasureItem(owl::uint, MEASUREITEMSTRUCT& mis) override { mis.itemHeight = 10 + mis.itemID * 5; }
    std::vector<owl::uint> notices;
};

class OwnCombo : public owl::TComboBox {
public:
    using TComboBox::TComboBox;
    bool EvNotifyAtChild(owl::uint code) override
    {
        own.push_back(code);
        return code == CBN_EDITCHANGE;
    }
    std::vector<owl::uint> own;
};

TEST_F(PlatformTest, ComboBoxEditsTimersAndVariableRows)
{
    auto* parent = new Parent;
    auto* combo = new OwnCombo(parent, 20, 0, 0, 150, 120,
                               WS_CHILD | WS_VISIBLE | CBS_DROPDOWN | CBS_OWNERDRAWVARIABLE | CBS_HASSTRINGS, 0);
    parent->Create();
    combo->AddString(u"a");
    combo->AddString(u"b");
    combo->AddString(u"c");
    EXPECT_EQ(10, combo->GetItemHeight(0));
    EXPECT_EQ(20, combo->GetItemHeight(2));
    // Rows of their own heights: 10, 15 and 20 pixels.
    HWND list = nullptr;
    combo->SetFocus();
    ui::PressKey(VK_F4); // from the edit field
    EXPECT_TRUE(combo->GetDroppedState());
    for (HWND w : ui::TopLevelWindows()) {
        WCHAR name[16] = {};
        GetClassNameW(w, name, 16);
        if (std::u16string_view(name) == u"ComboLBox") {
            list = w;
        }
    }
    ASSERT_NE(nullptr, list);
    RECT item{};
    SendMessageW(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(25, item.top);
    EXPECT_EQ(45, item.bottom);
    EXPECT_EQ(1, SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(5, 24)));
    ui::PressKey(VK_F4);
    EXPECT_FALSE(combo->GetDroppedState());

    // Text set by the program is no edit; typed text is, and the combo's object takes it before its parent.
    parent->notices.clear();
    combo->SetText(u"set");
    EXPECT_TRUE(parent->notices.empty());
    ui::Type(u"x");
    EXPECT_EQ(std::vector<owl::uint>{CBN_EDITUPDATE}, parent->notices);
    EXPECT_EQ((std::vector<owl::uint>{CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP, CBN_EDITUPDATE, CBN_EDITCHANGE}),
              std::vector<owl::uint>(combo->own.end() - 5, combo->own.end()));

    ui::FailNextTimers(1);
    EXPECT_EQ(0u, combo->SetTimer(1, 100));
    EXPECT_EQ(1u, combo->SetTimer(1, 100));
    parent->Destroy();
    delete parent;
}
}
