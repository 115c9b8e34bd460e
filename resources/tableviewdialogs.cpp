#include "resources/tableviewdialogs.h"

#include "foundation/moduleinstance.h"
#include "platform/ui/dialog.h"
#include "platform/win/commctrl.h"

namespace {

constexpr DWORD kVisible = WS_VISIBLE;
constexpr DWORD kTab = WS_VISIBLE | WS_TABSTOP;

ui::DialogTemplateData SignificantFiguresTemplate()
{
    ui::DialogTemplateData t;
    t.cx = 150;
    t.cy = 70;
    t.caption = u"Format Column";
    t.items = {
        {u"Static", u"Significant figures:", -1, 7, 9, 70, 8, kVisible},
        {u"Edit", u"", 1001, 80, 7, 30, 12, kTab | WS_BORDER | ES_NUMBER},
        {UPDOWN_CLASSW, u"", 1003, 110, 7, 10, 12, kVisible | UDS_AUTOBUDDY | UDS_SETBUDDYINT | UDS_ALIGNRIGHT},
        {u"Button", u"Apply to all columns", 1002, 7, 27, 120, 10, kTab | BS_AUTOCHECKBOX},
        {u"Button", u"OK", 1, 38, 49, 50, 14, kTab | BS_DEFPUSHBUTTON},
        {u"Button", u"Cancel", 2, 93, 49, 50, 14, kTab},
    };
    return t;
}

struct Registration {
    Registration()
    {
        ui::RegisterDialogTemplate(KVO::ModuleInstance(), MAKEINTRESOURCEW(DialogId::SignificantFigures),
                                   SignificantFiguresTemplate());
    }
};
const Registration g_registration;

} // namespace
