#include "resources/chancalcdialog.h"

#include "foundation/moduleinstance.h"
#include "platform/ui/dialog.h"
#include "platform/win/commctrl.h"

namespace {

constexpr DWORD kVisible = WS_VISIBLE;
constexpr DWORD kTab = WS_VISIBLE | WS_TABSTOP;
// Hot tracking of the up-down arrows.
constexpr DWORD kHotTrack = 0x100;

ui::DialogTemplateData ChannelCalcTemplate()
{
    ui::DialogTemplateData t;
    t.cx = 230;
    t.cy = 115;
    t.caption = u"Channel 2 - Crestmetrics Calculation";
    t.items = {
        {u"Button", u"OK", 1, 120, 94, 50, 14, kTab | BS_DEFPUSHBUTTON},
        {u"Button", u"Cancel", 2, 174, 94, 50, 14, kTab},
        {u"Button", u"", 9, 8, 94, 20, 14, kTab | BS_BITMAP},
        {u"Static", u"Analysis Type:", 1031, 7, 8, 58, 10, kVisible},
        {u"Edit", u"", 111, 66, 7, 156, 12, kVisible | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL},
        {u"Static", u"&Parameter:", 1030, 7, 27, 42, 10, kVisible},
        {u"ComboBox", u"", 1001, 66, 24, 104, 294, kTab | CBS_DROPDOWNLIST | WS_VSCROLL},
        {u"Button", u"&Settings...", 1062, 174, 23, 50, 14, kTab},
        {u"Static", u"Scale &top:", 108, 7, 50, 44, 8, kVisible},
        {u"Edit", u"", 110, 57, 48, 38, 12, kTab | WS_BORDER | ES_AUTOHSCROLL},
        {u"Static", u"Units", 112, 99, 50, 28, 8, kVisible},
        {u"Static", u"Scale &bottom:", 113, 7, 67, 44, 8, kVisible},
        {u"Edit", u"", 114, 57, 65, 38, 12, kTab | WS_BORDER | ES_AUTOHSCROLL},
        {u"Static", u"Units", 116, 99, 67, 28, 8, kVisible},
        {u"Static", u"&Decimal places:", 127, 135, 50, 53, 8, kVisible},
        {u"Edit", u"", 126, 189, 48, 34, 12, kTab | WS_BORDER | ES_NUMBER | ES_AUTOHSCROLL},
        {UPDOWN_CLASSW, u"", 128, 211, 48, 11, 12,
         kVisible | UDS_ARROWKEYS | UDS_AUTOBUDDY | UDS_ALIGNRIGHT | kHotTrack},
        {u"Button", u"&Auto scale", 129, 135, 68, 84, 8, kTab | BS_AUTOCHECKBOX},
    };
    return t;
}

struct Registration {
    Registration() { ui::RegisterDialogTemplate(KVO::ModuleInstance(), DialogId::ChannelCalc, ChannelCalcTemplate()); }
};
const Registration g_registration;

} // namespace
