#include "platform/gdi/objects.h"
#include "platform/owl/control.h"
#include "platform/owl/dialog.h"
#include "platform/ui/dialog.h"
#include "platform/ui/input.h"
#include "platform/ui/render.h"
#include "platform/ui/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace owl;

namespace {
HINSTANCE Module() { return platform::ModuleHandleFromAddress(reinterpret_cast<const void*>(&Module)); }

class Recorder : public TWindow {
public:
    explicit Recorder(TWindow* parent, std::vector<std::string>& log) : TWindow(parent, u"recorder"), log_(log)
    {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.X = 10;
        Attr.Y = 20;
        Attr.W = 120;
        Attr.H = 80;
    }
    LPCWSTR GetClassName() override { return u"RecorderWindow"; }
    void SetupWindow() override
    {
        TWindow::SetupWindow();
        log_.push_back("SetupWindow");
        SetTimer(3, 100);
    }
    void CleanupWindow() override
    {
        log_.push_back("CleanupWindow");
        TWindow::CleanupWindow();
    }
    void EvSize(uint, const TSize& size) override { log_.push_back("EvSize " + std::to_string(size.cx)); }
    void EvLButtonDown(uint, const TPoint& p) override
    {
        log_.push_back("EvLButtonDown " + std::to_string(p.x) + "," + std::to_string(p.y));
    }
    void EvTimer(uint id) override
    {
        log_.push_back("EvTimer " + std::to_string(id));
        KillTimer(id);
    }
    void Paint(TDC& dc, bool, TRect&) override
    {
        TBrush red(TColor::LtRed);
        dc.FillRect(TRect(10, 10, 30, 20), red);
        TPen pen(TColor::LtBlue);
        dc.SelectObject(pen);
        dc.MoveTo(0, 40);
        dc.LineTo(100, 40);
        dc.RestorePen();
        ++paints;
    }
    int paints = 0;

private:
    std::vector<std::string>& log_;
};

class OwlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        objects = gdi::LiveObjectCount();
    }
    void TearDown() override
    {
        ui::reset();
        EXPECT_EQ(objects, gdi::LiveObjectCount());
    }
    int objects = 0;
};

TEST_F(OwlTest, WindowHandlersSetupPaintAndCleanup)
{
    std::vector<std::string> log;
    auto* window = new Recorder(nullptr, log);
    window->Create();
    ASSERT_TRUE(window->IsWindow());
    EXPECT_EQ(window, TWindow::GetWindowPtr(window->GetHandle()));
    EXPECT_EQ((std::vector<std::string>{"SetupWindow", "EvSize 120"}), log);
    ui::pump();
    EXPECT_EQ(1, window->paints);
    const gdi::Image picture = ui::RenderWindow(*window);
    EXPECT_EQ(RGB(255, 0, 0), picture.at(15, 15));
    EXPECT_EQ(RGB(0, 0, 255), picture.at(50, 40));
    EXPECT_EQ(RGB(255, 255, 255), picture.at(50, 41)); // the class background
    ui::Click(*window, TPoint(7, 9));
    ui::advance(100);
    EXPECT_EQ("EvLButtonDown 7,9", log[2]);
    EXPECT_EQ("EvTimer 3", log[3]);
    HWND handle = *window;
    // Destroy before delete: a destructor can no longer reach the derived CleanupWindow (as in OWL).
    window->Destroy();
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ("CleanupWindow", log.back());
    EXPECT_EQ(nullptr, TWindow::GetWindowPtr(handle));
    EXPECT_EQ(nullptr, window->GetHandle());
    delete window;
}

TEST_F(OwlTest, ControlsMadeByObjectsAndScrollBarsThatMoveThemselves)
{
    std::vector<std::string> log;
    auto* parent = new Recorder(nullptr, log);
    parent->Attr.W = 300;
    parent->Attr.H = 200;
    auto* button = new TButton(parent, 11, u"Go", 0, 0, 60, 24);
    auto* check = new TCheckBox(parent, 12, u"Check", 0, 30, 80, 20);
    auto* edit = new TEdit(parent, 13, u"abc", 0, 60, 100, 22, 6);
    auto* list = new TListBox(parent, 14, 110, 0, 100, 80);
    auto* bar = new TScrollBar(parent, 15, 250, 0, 17, 150, false);
    parent->Create(); // children are made with their parent
    ASSERT_TRUE(button->IsWindow());
    EXPECT_EQ(button->GetHandle(), parent->GetDlgItem(11));
    EXPECT_EQ(button, parent->ChildWithId(11));
    check->Check();
    EXPECT_TRUE(check->IsChecked());
    ui::Click(*check);
    EXPECT_FALSE(check->IsChecked());
    EXPECT_EQ(u"abc", edit->GetText());
    edit->SetFocus();
    edit->SetSelection(3, 3);
    ui::Type(u"defgh"); // the limit of 6 includes the terminating NUL
    EXPECT_EQ(u"abcde", edit->GetText());
    list->AddString(u"b");
    list->AddString(u"a");
    EXPECT_EQ(u"a", list->GetString(0));
    EXPECT_EQ(0, list->SetSelIndex(0));
    bar->SetPageSize(10);
    EXPECT_EQ(0, bar->GetPosition());
    ui::Click(*bar, TPoint(8, 145)); // the down arrow: the bar's object moves it by a line
    EXPECT_EQ(1, bar->GetPosition());
    ui::Click(*bar, TPoint(8, 100)); // below the thumb: a page
    EXPECT_EQ(11, bar->GetPosition());
    delete parent; // deletes the child objects too
}

// A dialog whose controls are objects taking over the template's controls, as the module's dialogs are built.
class SampleDialog : public TDialog {
public:
    SampleDialog(TWindow* parent, TResId id) : TDialog(parent, id)
    {
        name = new TEdit(this, 101, 20);
        kind = new TComboBox(this, 103);
        ok = new TButton(this, IDOK);
    }
    SampleDialog(TWindow* parent, const DLGTEMPLATE& t) : TDialog(parent, t)
    {
        name = new TEdit(this, 101, 20);
        kind = new TComboBox(this, 103);
        ok = new TButton(this, IDOK);
    }
    void SetupWindow() override
    {
        TDialog::SetupWindow();
        setupSawHandles = name->IsWindow() && kind->IsWindow();
        kind->AddString(u"Peaks");
        kind->AddString(u"Valleys");
        kind->SetSelIndex(0);
        name->SetText(u"start");
    }
    TResult EvCommand(uint id, HWND hWndCtl, uint notifyCode) override
    {
        if (id == 103 && notifyCode == CBN_SELCHANGE) {
            ++selectionChanges;
        }
        return TDialog::EvCommand(id, hWndCtl, notifyCode);
    }
    bool CanClose() override
    {
        // Refuses the first time, as a dialog with invalid settings would.
        if (refusals++ == 0) {
            return false;
        }
        result = name->GetText();
        return TDialog::CanClose();
    }
    void CleanupWindow() override
    {
        cleanedUp = true;
        TDialog::CleanupWindow();
    }
    TEdit* name;
    TComboBox* kind;
    TButton* ok;
    bool setupSawHandles = false;
    bool cleanedUp = false;
    int selectionChanges = 0;
    int refusals = 0;
    tstring result;
};

ui::DialogTemplateData Template()
{
    ui::DialogTemplateData t;
    t.cx = 180;
    t.cy = 90;
    t.caption = u"Owl sample";
    t.items = {
        {u"Edit", u"", 101, 50, 7, 123, 14, WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
        {u"ComboBox", u"", 103, 50, 27, 123, 60, WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST},
        {u"Button", u"OK", IDOK, 69, 69, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
        {u"Button", u"Cancel", IDCANCEL, 123, 69, 50, 14, WS_VISIBLE | WS_TABSTOP},
    };
    return t;
}

TEST_F(OwlTest, ModalDialogWithControlObjects)
{
    ui::RegisterDialogTemplate(Module(), u"OWLSAMPLE", Template());
    TModule module(u"tests", Module());
    SampleDialog dialog(nullptr, TResId(u"OWLSAMPLE"));
    dialog.SetModule(&module);
    int opened = 0;
    ui::SetModalHook([&](HWND hwnd) {
        ++opened;
        EXPECT_EQ(&dialog, TWindow::GetWindowPtr(hwnd));
        EXPECT_TRUE(dialog.IsModal());
        EXPECT_TRUE(dialog.setupSawHandles);
        EXPECT_EQ(u"start", dialog.name->GetText());
        ui::Click(*dialog.kind);
        ui::PressKey(VK_DOWN);
        ui::PressKey(VK_RETURN); // closes the list
        EXPECT_EQ(1, dialog.kind->GetSelIndex());
        SetFocus(*dialog.name);
        ui::Type(u"x");
        ui::Click(*dialog.ok); // refused by CanClose
        EXPECT_TRUE(IsWindow(hwnd));
        ui::Click(*dialog.ok);
    });
    EXPECT_EQ(IDOK, dialog.Execute());
    EXPECT_EQ(1, opened);
    EXPECT_EQ(u"x", dialog.result);
    EXPECT_GE(dialog.selectionChanges, 1);
    EXPECT_TRUE(dialog.cleanedUp);
    EXPECT_FALSE(dialog.name->IsWindow());
    EXPECT_EQ(nullptr, dialog.GetHandle());
}

TEST_F(OwlTest, DialogFromATemplateInMemoryAndModeless)
{
    ui::RegisterDialogTemplate(Module(), MAKEINTRESOURCEW(42), Template());
    TDialogRes res(Module(), 42);
    ASSERT_TRUE(res.IsOK());
    std::vector<std::string> log;
    auto* owner = new Recorder(nullptr, log);
    owner->Create();
    {
        // The resource may go before the dialog runs: the dialog keeps a copy of the template.
        SampleDialog dialog(owner, *res.GetTemplate());
        ui::SetModalHook([&](HWND) { ui::PressKey(VK_ESCAPE); });
        EXPECT_EQ(IDCANCEL, dialog.Execute());
        EXPECT_TRUE(owner->IsWindowEnabled());
    }
    TModule module(u"tests", Module());
    auto* modeless = new SampleDialog(owner, TResId(42));
    modeless->SetModule(&module);
    modeless->Create();
    ASSERT_TRUE(modeless->IsWindow());
    EXPECT_EQ(owner->GetHandle(), GetParent(*modeless));
    EXPECT_EQ(u"start", modeless->name->GetText());
    ui::PressKey(VK_ESCAPE); // CmCancel destroys a modeless dialog
    EXPECT_FALSE(modeless->IsWindow());
    delete modeless;
    delete owner;
}

TEST_F(OwlTest, DeviceContextObjectsRestoreWhatTheySelected)
{
    TScreenDC screen;
    EXPECT_EQ(96, screen.GetDeviceCaps(LOGPIXELSY));
    TMemoryDC memory(screen);
    TBitmap bitmap(screen, 40, 20);
    memory.SelectObject(bitmap);
    HGDIOBJ originalBrush = GetCurrentObject(memory, OBJ_BRUSH);
    {
        TBrush brush(TColor(0, 128, 0));
        memory.SelectObject(brush);
        memory.FillRect(TRect(0, 0, 40, 20), brush);
        memory.TextRect(TRect(0, 0, 5, 5), TColor::LtYellow);
        memory.RestoreBrush();
    }
    EXPECT_EQ(originalBrush, GetCurrentObject(memory, OBJ_BRUSH));
    EXPECT_EQ(TColor(0, 128, 0), memory.GetPixel(20, 10));
    EXPECT_EQ(TColor::LtYellow, memory.GetPixel(2, 2));
    TFont font(u"Tahoma", -11);
    memory.SelectObject(font);
    const TSize extent = memory.GetTextExtent(u"Wide");
    EXPECT_GT(extent.cx, 10);
    TRect r(0, 0, 0, 0);
    memory.DrawText(u"Wide", -1, r, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(extent.cx, r.Width());
    memory.RestoreObjects();
    EXPECT_EQ(TColor::Sys3dFace, TColor(GetSysColor(COLOR_BTNFACE)));
    TRegion a(TRect(0, 0, 10, 10));
    TRegion b(TRect(5, 5, 15, 15));
    a |= b;
    EXPECT_TRUE(a.Contains(TPoint(12, 12)));
    EXPECT_EQ(TRect(0, 0, 15, 15), a.GetRgnBox());
}
}
