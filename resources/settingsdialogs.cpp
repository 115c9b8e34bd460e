#include "resources/settingsdialogs.h"

#include "foundation/moduleinstance.h"
#include "platform/ui/dialog.h"
#include "platform/win/commctrl.h"

namespace {
using ui::DialogItem;

constexpr DWORD kVisible = WS_VISIBLE;
constexpr DWORD kTab = WS_VISIBLE | WS_TABSTOP;
// A static that carries the error-mark picture; hidden until a mark is set.
constexpr DWORD kMark = SS_BITMAP;

ui::DialogTemplateData SettingsTemplate()
{
    ui::DialogTemplateData t;
    t.cx = 438;
    t.cy = 299;
    t.caption = u"Crestmetrics Settings";
    t.items = {
        {u"Button", u"OK", 1, 327, 278, 50, 14, kTab | BS_DEFPUSHBUTTON},
        {u"Button", u"Cancel", 2, 381, 278, 50, 14, kTab},
        {u"Button", u"", 9, 8, 278, 20, 14, kTab | BS_BITMAP},
        {u"Static", u"&Analysis type:", 1076, 12, 23, 58, 8, kVisible},
        {u"ComboBox", u"", 1023, 72, 21, 98, 165, kTab | WS_GROUP | CBS_DROPDOWNLIST | WS_VSCROLL},
        {u"Static", u"S&ource:", 1029, 172, 23, 34, 8, kVisible | SS_RIGHT},
        {u"ComboBox", u"", 1062, 210, 20, 100, 165, kTab | CBS_DROPDOWNLIST | WS_VSCROLL},
        {u"Static", u"", 1078, 312, 23, 8, 7, kMark},
        {u"Button", u"&Selection", 1024, 324, 23, 52, 10, kTab | WS_GROUP | BS_AUTORADIOBUTTON},
        {u"Button", u"Cha&nnel", 1025, 378, 23, 48, 10, kVisible | BS_AUTORADIOBUTTON},
        {WC_TABCONTROLW, u"", 1022, 7, 52, 424, 220, kTab | WS_GROUP},
        // Last, so that it lies under the controls it frames.
        {u"Button", u"Setup", 1027, 7, 7, 422, 35, kVisible | BS_GROUPBOX},
    };
    return t;
}

ui::DialogTemplateData WarningTemplate()
{
    ui::DialogTemplateData t;
    // Wide enough for the texts in the fonts that stand in for the dialog font.
    t.cx = 300;
    t.cy = 66;
    t.caption = u"Crestmetrics";
    t.items = {
        {u"Button", u"OK", 2, 125, 45, 50, 14, kTab | BS_DEFPUSHBUTTON},
        {u"Static", u"One or more settings are invalid and need correcting.", -1, 47, 7, 245, 11, kVisible},
        {u"Static", u"The invalid settings are marked with a", -1, 47, 18, 160, 11, kVisible},
        {u"Static", u"", 1075, 207, 19, 8, 7, kVisible | SS_BITMAP},
        {u"Static", u"", 1118, 7, 7, 20, 20, kVisible | SS_ICON},
        {u"Static", u"Correct these settings before continuing.", -1, 47, 29, 245, 11, kVisible},
    };
    return t;
}

// Pages are child dialogs laid over the settings dialog's tab area.
ui::DialogTemplateData PageTemplate(short cx, short cy)
{
    ui::DialogTemplateData t;
    t.style = WS_CHILD | DS_SETFONT | DS_CONTROL;
    t.cx = cx;
    t.cy = cy;
    return t;
}

ui::DialogTemplateData BaselineTemplate()
{
    ui::DialogTemplateData t = PageTemplate(416, 200);
    t.items = {
        {u"Button", u"Au&tomatic", 1081, 58, 50, 50, 10, kTab | WS_GROUP | BS_AUTORADIOBUTTON},
        {u"Button", u"Al&ways set to", 1082, 58, 64, 72, 10, kVisible | BS_AUTORADIOBUTTON},
        {u"Button", u"Us&e minimum value between peaks", 1083, 58, 78, 170, 10, kVisible | BS_AUTORADIOBUTTON},
        {u"Edit", u"", 1084, 132, 62, 30, 12, kTab | WS_GROUP | WS_BORDER | ES_AUTOHSCROLL},
        {u"Static", u"units", 1085, 167, 64, 30, 10, kVisible},
        {u"Static", u"Start is the &first point", 1086, 35, 110, 98, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1047, 137, 108, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% of the height away from the baseline", 1087, 175, 110, 165, 8, kVisible},
        {u"Static", u"", 1075, 345, 110, 8, 7, kMark},
        {u"Static", u"End is the &last point", 1088, 35, 143, 98, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1090, 137, 141, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% of the height away from the baseline", 1089, 175, 143, 165, 8, kVisible},
        {u"Static", u"", 1091, 345, 143, 8, 7, kMark},
        // Group boxes last, so that they lie under the controls they frame.
        {u"Button", u"Baseline setting", 1092, 43, 40, 329, 52, kVisible | BS_GROUPBOX},
        {u"Button", u"TStart", -1, 43, 97, 329, 28, kVisible | BS_GROUPBOX},
        {u"Button", u"TEnd", -1, 43, 130, 329, 28, kVisible | BS_GROUPBOX},
    };
    return t;
}

struct Registration {
    Registration()
    {
        const HINSTANCE module = KVO::ModuleInstance();
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::Settings), SettingsTemplate());
        ui::RegisterDialogTemplate(module, DialogId::InvalidSettings, WarningTemplate());
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::BaselinePage), BaselineTemplate());
    }
};
const Registration g_registration;
}
