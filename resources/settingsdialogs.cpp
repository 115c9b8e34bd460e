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
    t.cx = 252;
    t.cy = 66;
    t.caption = u"Crestmetrics";
    // The mark sits right after the end of the second line, so that the line reads "marked with a" and the mark.
    t.items = {
        {u"Button", u"OK", 2, 100, 45, 50, 14, kTab | BS_DEFPUSHBUTTON},
        {u"Static", u"One or more settings are invalid and need correcting.", -1, 47, 7, 177, 11, kVisible},
        {u"Static", u"The invalid settings are marked with a", -1, 47, 18, 124, 11, kVisible},
        {u"Static", u"", 1075, 171, 18, 8, 7, kVisible | SS_BITMAP},
        {u"Static", u"", 1118, 7, 7, 20, 20, kVisible | SS_ICON},
        {u"Static", u"Correct these settings before continuing.", -1, 47, 29, 139, 11, kVisible},
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

ui::DialogTemplateData CalcGenTemplate()
{
    ui::DialogTemplateData t = PageTemplate(416, 200);
    t.items = {
        {u"Static", u"&Use region from", -1, 68, 32, 68, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1037, 140, 30, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms to", -1, 177, 32, 24, 8, kVisible},
        {u"Edit", u"", 1038, 203, 30, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms after peak start", -1, 239, 32, 81, 8, kVisible},
        {u"Static", u"", 1068, 338, 32, 8, 7, kMark},
        {u"Static", u"", 1069, 351, 32, 8, 7, kMark},
        {u"Static", u"&Rise and fall between", -1, 47, 68, 89, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1095, 140, 66, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% and", -1, 177, 68, 29, 8, kVisible},
        {u"Edit", u"", 1096, 208, 66, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% of the peak height", -1, 244, 68, 90, 8, kVisible},
        {u"Static", u"", 1097, 338, 68, 8, 7, kMark},
        {u"Static", u"", 1098, 351, 68, 8, 7, kMark},
        {u"Static", u"A&verage slope from", -1, 52, 101, 84, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1043, 140, 99, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms to", -1, 177, 101, 24, 8, kVisible},
        {u"Edit", u"", 1044, 203, 99, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms after the start of the peak", -1, 239, 101, 125, 8, kVisible},
        {u"Static", u"", 1072, 366, 102, 8, 7, kMark},
        {u"Static", u"", 1073, 376, 102, 8, 7, kMark},
        {u"Static", u"&In  \"A exp(-t/Tau) + B\", use", -1, 47, 135, 96, 8, kVisible | SS_RIGHT},
        {u"Button", u"&fitted B", 1041, 148, 135, 42, 10, kTab | WS_GROUP | BS_AUTORADIOBUTTON},
        {u"Button", u"B set to &baseline", 1042, 192, 135, 78, 10, kVisible | BS_AUTORADIOBUTTON},
        {u"Button", u"B s&et to", 1048, 272, 135, 44, 10, kVisible | BS_AUTORADIOBUTTON},
        {u"Edit", u"", 1011, 317, 134, 27, 14, kTab | WS_BORDER | ES_AUTOHSCROLL | WS_GROUP},
        {u"Static", u"Units", 1080, 347, 136, 24, 8, kVisible},
        {u"Static", u"Use &data from", -1, 90, 154, 60, 8, kVisible},
        {u"Edit", u"", 1045, 152, 152, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% to ", -1, 188, 154, 25, 8, kVisible},
        {u"Edit", u"", 1046, 215, 152, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% of peak height", -1, 251, 154, 73, 8, kVisible},
        {u"Static", u"", 1074, 337, 155, 8, 7, kMark},
        {u"Static", u"", 1075, 351, 155, 8, 7, kMark},
        // Group boxes last, so that they lie under the controls they frame.
        {u"Button", u"Area", -1, 43, 20, 340, 28, kVisible | BS_GROUPBOX},
        {u"Button", u"TRise, TFall, SlopeRise, SlopeFall", -1, 43, 55, 340, 28, kVisible | BS_GROUPBOX},
        {u"Button", u"Slope", -1, 43, 88, 340, 28, kVisible | BS_GROUPBOX},
        {u"Button", u"Tau", -1, 43, 122, 329, 51, kVisible | BS_GROUPBOX},
    };
    return t;
}

ui::DialogTemplateData CalcCAPTemplate()
{
    ui::DialogTemplateData t = PageTemplate(416, 200);
    t.items = {
        {u"Static", u"&Triangulation = ", -1, 86, 23, 68, 8, kVisible | SS_RIGHT},
        {u"ComboBox", u"", 1005, 157, 21, 48, 137, kTab | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL},
        {u"Static", u"-", -1, 209, 24, 11, 8, kVisible},
        {u"ComboBox", u"", 1049, 222, 21, 48, 137, kTab | CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL},
        {u"Static", u"&Rise and fall between", -1, 45, 56, 91, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1095, 140, 54, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% and", -1, 177, 56, 29, 8, kVisible},
        {u"Edit", u"", 1096, 208, 54, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% of the peak height", -1, 244, 56, 90, 8, kVisible},
        {u"Static", u"", 1097, 338, 56, 8, 7, kMark},
        {u"Static", u"", 1098, 351, 56, 8, 7, kMark},
        {u"Static", u"The steepest &downhill slope starting from", -1, 66, 89, 172, 8, kVisible},
        {u"Edit", u"", 1050, 240, 88, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"", 1074, 354, 90, 8, 7, kMark},
        {u"Static", u"ms after the peak", -1, 276, 89, 76, 8, kVisible},
        {u"Static", u"&Use a linear regression window of", -1, 90, 109, 141, 8, kVisible},
        {u"Edit", u"", 1051, 233, 107, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"", 1076, 284, 109, 8, 7, kMark},
        {u"Static", u"ms", -1, 269, 108, 13, 8, kVisible},
        {u"Static", u"&Center: midpoint of", -1, 12, 145, 84, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1048, 98, 143, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% crossings", -1, 135, 145, 52, 8, kVisible},
        {u"Static", u"&Width:", -1, 60, 164, 36, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1012, 98, 163, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms", -1, 135, 164, 13, 8, kVisible},
        {u"Static", u"", 1070, 190, 145, 8, 7, kMark},
        {u"Static", u"", 1071, 150, 164, 8, 7, kMark},
        {u"Static", u"Cente&r:", -1, 218, 145, 29, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1015, 251, 143, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% from Start to APD90", -1, 289, 145, 98, 8, kVisible},
        {u"Static", u"Widt&h:", -1, 218, 164, 30, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1013, 251, 163, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms", -1, 289, 164, 13, 8, kVisible},
        {u"Static", u"", 1072, 389, 145, 8, 7, kMark},
        {u"Static", u"", 1073, 305, 164, 8, 7, kMark},
        // Group boxes last, so that they lie under the controls they frame.
        {u"Button", u"Triangulation", -1, 33, 10, 354, 30, kVisible | BS_GROUPBOX},
        {u"Button", u"TRise, TFall", -1, 33, 43, 354, 28, kVisible | BS_GROUPBOX},
        {u"Button", u"MaxNegSlope", -1, 33, 76, 354, 50, kVisible | BS_GROUPBOX},
        {u"Button", u"PlateauV1", -1, 8, 132, 200, 49, kVisible | BS_GROUPBOX},
        {u"Button", u"PlateauV2", -1, 212, 132, 196, 49, kVisible | BS_GROUPBOX},
    };
    return t;
}

ui::DialogTemplateData CalcSynapTemplate()
{
    ui::DialogTemplateData t = PageTemplate(416, 200);
    t.items = {
        {u"Static", u"", 1068, 366, 45, 8, 7, kMark},
        {u"Static", u"", 1069, 376, 45, 8, 7, kMark},
        {u"Static", u"&Use region from", -1, 65, 45, 68, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1037, 137, 43, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms to ", -1, 175, 45, 26, 8, kVisible},
        {u"Edit", u"", 1038, 203, 43, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms after the start of the peak", -1, 239, 45, 125, 8, kVisible},
        {u"Static", u"A&verage slope from", -1, 49, 81, 84, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1043, 137, 79, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms to", -1, 175, 81, 24, 8, kVisible},
        {u"Edit", u"", 1044, 201, 79, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms after the start of the peak", -1, 237, 81, 125, 8, kVisible},
        {u"Static", u"", 1070, 364, 81, 8, 7, kMark},
        {u"Static", u"", 1073, 374, 81, 8, 7, kMark},
        {u"Static", u"&In  \"A exp(-t/Tau) + B\", use", -1, 47, 120, 93, 8, kVisible | SS_RIGHT},
        {u"Button", u"&fitted B", 1041, 145, 120, 53, 10, kTab | WS_GROUP | BS_AUTORADIOBUTTON},
        {u"Button", u"B fixed at &baseline", 1042, 200, 120, 100, 10, kVisible | BS_AUTORADIOBUTTON},
        {u"Static", u"Use &data from", -1, 87, 139, 60, 8, kVisible},
        {u"Edit", u"", 1039, 149, 137, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL | WS_GROUP},
        {u"Static", u"% to ", -1, 185, 139, 25, 8, kVisible},
        {u"Edit", u"", 1040, 212, 137, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% of peak height", -1, 248, 139, 73, 8, kVisible},
        {u"Static", u"", 1071, 337, 140, 8, 7, kMark},
        {u"Static", u"", 1074, 350, 140, 8, 7, kMark},
        // Group boxes last, so that they lie under the controls they frame.
        {u"Button", u"Area", -1, 43, 33, 336, 28, kVisible | BS_GROUPBOX},
        {u"Button", u"Slope", -1, 43, 69, 336, 28, kVisible | BS_GROUPBOX},
        {u"Button", u"Tau", -1, 43, 107, 336, 51, kVisible | BS_GROUPBOX},
    };
    return t;
}

ui::DialogTemplateData CalcERTemplate()
{
    ui::DialogTemplateData t = PageTemplate(416, 200);
    t.items = {
        {u"Static", u"&Use region from", -1, 68, 22, 68, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1037, 140, 20, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms to ", -1, 177, 22, 26, 8, kVisible},
        {u"Edit", u"", 1038, 205, 20, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms after stimulus artifact", -1, 241, 22, 104, 8, kVisible},
        {u"Static", u"", 1068, 347, 23, 8, 7, kMark},
        {u"Static", u"", 1069, 357, 23, 8, 7, kMark},
        {u"Static", u"&Rise and fall between", -1, 47, 56, 89, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1095, 140, 54, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% and", -1, 177, 56, 29, 8, kVisible},
        {u"Edit", u"", 1096, 208, 54, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% of the peak height", -1, 244, 56, 90, 8, kVisible},
        {u"Static", u"", 1097, 338, 56, 8, 7, kMark},
        {u"Static", u"", 1098, 351, 56, 8, 7, kMark},
        {u"Static", u"&Report value", -1, 81, 88, 55, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1045, 140, 86, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms after stimulus artifact", -1, 177, 88, 104, 8, kVisible},
        {u"Static", u"", 1072, 283, 88, 8, 7, kMark},
        {u"Static", u"A&verage slope from", -1, 52, 122, 84, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1043, 140, 120, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms to", -1, 177, 122, 24, 8, kVisible},
        {u"Edit", u"", 1044, 203, 120, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms after stimulus artifact", -1, 239, 122, 104, 8, kVisible},
        {u"Static", u"", 1070, 345, 122, 8, 7, kMark},
        {u"Static", u"", 1073, 355, 122, 8, 7, kMark},
        {u"Static", u"&In  \"A exp(-t/Tau) + B\", use", -1, 47, 153, 96, 8, kVisible | SS_RIGHT},
        {u"Button", u"&fitted B", 1041, 148, 153, 53, 10, kTab | WS_GROUP | BS_AUTORADIOBUTTON},
        {u"Button", u"B fixed at &baseline", 1042, 203, 153, 100, 10, kVisible | BS_AUTORADIOBUTTON},
        {u"Static", u"Use &data from", -1, 90, 176, 60, 8, kVisible},
        {u"Edit", u"", 1039, 152, 174, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL | WS_GROUP},
        {u"Static", u"% &to ", -1, 188, 176, 25, 8, kVisible},
        {u"Edit", u"", 1040, 215, 174, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% of peak height", -1, 251, 176, 73, 8, kVisible},
        {u"Static", u"", 1071, 331, 177, 8, 7, kMark},
        {u"Static", u"", 1074, 344, 177, 8, 7, kMark},
        // Group boxes last, so that they lie under the controls they frame.
        {u"Button", u"Area", -1, 43, 10, 329, 28, kVisible | BS_GROUPBOX},
        {u"Button", u"TRise, TFall", -1, 43, 43, 329, 28, kVisible | BS_GROUPBOX},
        {u"Button", u"Value", -1, 43, 76, 329, 28, kVisible | BS_GROUPBOX},
        {u"Button", u"Slope", -1, 43, 109, 329, 28, kVisible | BS_GROUPBOX},
        {u"Button", u"Tau", -1, 43, 142, 329, 51, kVisible | BS_GROUPBOX},
    };
    return t;
}

ui::DialogTemplateData CalcPSTemplate()
{
    ui::DialogTemplateData t = PageTemplate(416, 200);
    t.items = {
        {u"Static", u"Report &value", -1, 78, 56, 55, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1045, 137, 54, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"", 1072, 280, 56, 8, 7, kMark},
        {u"Static", u"ms after stimulus artifact", -1, 174, 56, 104, 8, kVisible},
        {u"Static", u"Average slope &from", -1, 49, 94, 84, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1043, 137, 92, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"", 1073, 359, 94, 8, 7, kMark},
        {u"Static", u"ms to", -1, 174, 94, 24, 8, kVisible},
        {u"Edit", u"", 1044, 200, 92, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms after the stimulus artifact", -1, 236, 94, 121, 8, kVisible},
        {u"Static", u"", 1074, 369, 94, 8, 7, kMark},
        // Group boxes last, so that they lie under the controls they frame.
        {u"Button", u"Value", -1, 43, 44, 339, 28, kVisible | BS_GROUPBOX},
        {u"Button", u"Slope", -1, 43, 81, 339, 28, kVisible | BS_GROUPBOX},
    };
    return t;
}

ui::DialogTemplateData CalcNAPTemplate()
{
    ui::DialogTemplateData t = PageTemplate(416, 200);
    t.items = {
        {u"Static", u"&Rise and fall between", -1, 47, 38, 89, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1095, 140, 36, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% and", -1, 177, 38, 29, 8, kVisible},
        {u"Edit", u"", 1096, 208, 36, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"% of the peak height", -1, 244, 38, 90, 8, kVisible},
        {u"Static", u"", 1097, 338, 38, 8, 7, kMark},
        {u"Static", u"", 1098, 351, 38, 8, 7, kMark},
        {u"Static", u"The steepest &downhill slope starting from", -1, 76, 73, 172, 8, kVisible},
        {u"Edit", u"", 1050, 250, 72, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"", 1074, 364, 74, 8, 7, kMark},
        {u"Static", u"ms after the peak", -1, 286, 73, 76, 8, kVisible},
        {u"Static", u"&Use a linear regression window of", -1, 100, 93, 141, 8, kVisible},
        {u"Edit", u"", 1051, 243, 91, 34, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"", 1076, 294, 93, 8, 7, kMark},
        {u"Static", u"ms", -1, 279, 92, 13, 8, kVisible},
        // Group boxes last, so that they lie under the controls they frame.
        {u"Button", u"TRise, TFall", -1, 43, 25, 334, 28, kVisible | BS_GROUPBOX},
        {u"Button", u"MaxNegSlope", -1, 43, 60, 334, 50, kVisible | BS_GROUPBOX},
    };
    return t;
}

ui::DialogTemplateData TableOptionsTemplate()
{
    ui::DialogTemplateData t = PageTemplate(416, 200);
    t.items = {
        {u"Button", u"S&how summary pane (average, minimum and maximum of each column)", 1035, 11, 186, 300, 10,
         kTab | BS_AUTOCHECKBOX},
        {u"Button", u"&Check All", 1063, 295, 159, 50, 14, kTab},
        {u"Button", u"&Uncheck All", 1064, 352, 159, 50, 14, kTab},
        // The parameter check boxes are laid out inside this hidden frame.
        {u"Button", u"Check Box Boundary", 1079, 14, 19, 389, 135, BS_GROUPBOX},
        {u"Button", u"Displayed calculations", 1036, 7, 7, 402, 173, kVisible | BS_GROUPBOX},
    };
    return t;
}

// Detector pages: the preview's placeholder stays hidden; bound controls that the template hides show when the
// page loads them.
ui::DialogTemplateData DetectorCAPTemplate()
{
    ui::DialogTemplateData t = PageTemplate(416, 200);
    t.items = {
        {u"Static", u"Preview", 1053, 15, 17, 386, 97, 0},
        {u"Static", u"Minimum peak he&ight:", 1060, 12, 147, 119, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1007, 135, 145, 54, 12, kTab | WS_BORDER | ES_AUTOHSCROLL},
        {UPDOWN_CLASSW, u"", 1071, 189, 145, 11, 12, kVisible},
        {u"Static", u"V", 1100, 205, 147, 33, 8, kVisible},
        {u"Static", u"Minimum detection &width:", 1061, 12, 165, 119, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1008, 135, 163, 54, 12, kTab | WS_BORDER | ES_AUTOHSCROLL},
        {UPDOWN_CLASSW, u"", 1072, 189, 163, 11, 12, kVisible},
        {u"Static", u"ms", 1104, 205, 165, 32, 8, kVisible},
        {u"Static", u"Measure detection width at:", -1, 242, 139, 137, 8, kVisible},
        {u"Button", u"Half height from &baseline", 1016, 262, 152, 125, 10, kTab | WS_GROUP | BS_AUTORADIOBUTTON},
        {u"Button", u"Minimum peak &height", 1017, 262, 165, 110, 10, kVisible | BS_AUTORADIOBUTTON},
        {u"Button", u"Peak detection", 1020, 7, 121, 402, 72, kVisible | BS_GROUPBOX},
        {u"Button", u"Preview of peak detection", -1, 7, 7, 402, 112, kVisible | BS_GROUPBOX},
    };
    return t;
}

// The stimulus-artifact half shared by the evoked-response and population-spike detector pages.
std::vector<DialogItem> StimulusArtifactItems()
{
    return {
        {u"Static", u"Preview", 1053, 15, 17, 386, 97, 0},
        {u"Static", u"&Detection method:", 1035, 10, 135, 88, 8, kVisible | SS_RIGHT},
        {u"ComboBox", u"", 1027, 100, 133, 135, 242, kTab | CBS_DROPDOWNLIST | WS_VSCROLL},
        {u"Button", u"", 1028, 12, 146, 225, 43, BS_GROUPBOX},
    };
}

ui::DialogTemplateData DetectorERTemplate()
{
    ui::DialogTemplateData t = PageTemplate(416, 200);
    t.items = StimulusArtifactItems();
    const std::vector<DialogItem> own = {
        {u"Button", u"Detect &Responses", 1059, 254, 134, 95, 10, WS_TABSTOP | BS_AUTOCHECKBOX},
        {u"Static", u"M&in height:", 1060, 254, 150, 48, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1007, 306, 148, 46, 12, kTab | WS_BORDER | ES_AUTOHSCROLL},
        {UPDOWN_CLASSW, u"", 1071, 352, 148, 11, 12, kVisible},
        {u"Static", u"V", 1100, 368, 150, 36, 8, kVisible},
        {u"Edit", u"", 1013, 256, 168, 28, 12, WS_TABSTOP | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"&ms to", 1056, 287, 170, 26, 8, 0},
        {u"Edit", u"", 1018, 314, 168, 28, 12, WS_TABSTOP | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms after stimulus", 1057, 345, 170, 62, 18, 0},
        {u"Static", u"", 1075, 266, 183, 8, 7, kMark},
        {u"Static", u"", 1076, 324, 183, 8, 7, kMark},
        {u"Button", u"Response detection", 1020, 248, 122, 161, 72, kVisible | BS_GROUPBOX},
        {u"Button", u"Stimulus artifacts", 1065, 7, 122, 235, 72, kVisible | BS_GROUPBOX},
        {u"Button", u"Preview of peak detection", -1, 7, 7, 402, 112, kVisible | BS_GROUPBOX},
    };
    t.items.insert(t.items.end(), own.begin(), own.end());
    return t;
}

ui::DialogTemplateData DetectorPSTemplate()
{
    ui::DialogTemplateData t = PageTemplate(416, 200);
    t.items = StimulusArtifactItems();
    const std::vector<DialogItem> own = {
        {u"Edit", u"", 1013, 256, 154, 28, 12, WS_TABSTOP | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"&ms to", 1058, 287, 156, 26, 8, kVisible},
        {u"Edit", u"", 1018, 314, 154, 28, 12, WS_TABSTOP | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms after stimulus", 1077, 345, 156, 62, 18, kVisible},
        {u"Static", u"", 1075, 266, 169, 8, 7, kMark},
        {u"Static", u"", 1076, 324, 169, 8, 7, kMark},
        {u"Button", u"Population spikes", 1020, 249, 122, 160, 71, kVisible | BS_GROUPBOX},
        {u"Button", u"Stimulus artifacts", 1065, 7, 122, 236, 72, kVisible | BS_GROUPBOX},
        {u"Button", u"Preview of peak detection", -1, 7, 7, 402, 112, kVisible | BS_GROUPBOX},
    };
    t.items.insert(t.items.end(), own.begin(), own.end());
    return t;
}

ui::DialogTemplateData FixedPositionTemplate()
{
    ui::DialogTemplateData t = PageTemplate(225, 43);
    t.items = {
        {u"Static", u"S&timuli are always", 1029, 2, 17, 76, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1051, 81, 16, 35, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms from start of block.", 1030, 119, 17, 95, 8, kVisible},
        {u"Static", u"", 1071, 215, 17, 8, 7, kMark},
    };
    return t;
}

ui::DialogTemplateData HeightWidthTemplate()
{
    ui::DialogTemplateData t = PageTemplate(225, 43);
    t.items = {
        {u"Static", u"Max &width:", 1030, 1, 9, 46, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1012, 49, 8, 35, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms", 1031, 87, 9, 18, 8, kVisible},
        {u"Static", u"Min &height:", 1029, 106, 9, 44, 8, kVisible},
        {u"Edit", u"", 1033, 152, 8, 35, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"mV", 1050, 190, 9, 29, 8, kVisible},
        {u"Static", u"Min &interval:", 1032, 1, 27, 46, 8, kVisible | SS_RIGHT},
        {u"Edit", u"", 1013, 49, 25, 35, 12, kTab | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL},
        {u"Static", u"ms", 1037, 87, 27, 101, 8, kVisible},
    };
    return t;
}

// The detector page of the unstimulated types: the detection is the other extension's, chosen by preset; the
// minimum peak height is edited in a sub-page placed over the hidden frame 1052. Group boxes come last so that they
// lie under the controls they frame.
ui::DialogTemplateData DetectorUnStimTemplate()
{
    ui::DialogTemplateData t = PageTemplate(416, 200);
    t.items = {
        {u"Static", u"Preview", 1053, 15, 17, 386, 97, 0},
        {u"Static", u"&Preset:", 1035, 11, 143, 24, 8, kVisible | SS_RIGHT},
        {u"ComboBox", u"", 1039, 39, 141, 165, 242,
         kTab | CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE | CBS_HASSTRINGS | WS_VSCROLL},
        {u"Button", u"&Customize...", 1040, 38, 161, 57, 14, kTab | BS_PUSHBUTTON},
        {u"Button", u"Sa&ve...", 1125, 99, 161, 52, 14, kTab | BS_PUSHBUTTON},
        {u"Button", u"De&lete...", 1123, 154, 161, 51, 14, kTab | BS_PUSHBUTTON},
        {u"Static", u"Min Peak Height Controls", 1052, 227, 136, 177, 47, 0},
        {u"Button", u"Peak detection settings", 1021, 7, 122, 208, 71, kVisible | BS_GROUPBOX},
        {u"Button", u"Detection adjustment", 1020, 223, 122, 186, 71, kVisible | BS_GROUPBOX},
        {u"Button", u"Preview of peak detection", -1, 7, 7, 402, 112, kVisible | BS_GROUPBOX},
    };
    return t;
}

ui::DialogTemplateData MinPeakHeightTemplate()
{
    ui::DialogTemplateData t = PageTemplate(177, 44);
    t.items = {
        {u"Static", u"M&inimum peak height:", 1032, 2, 5, 70, 8, kVisible | SS_RIGHT},
        {UPDOWN_CLASSW, u"", 1071, 123, 3, 11, 12, kVisible}, // above the edit's right end
        {u"Edit", u"", 1007, 75, 3, 59, 12, kTab | WS_BORDER | ES_AUTOHSCROLL},
        {TRACKBAR_CLASSW, u"", 1061, 5, 18, 164, 14, kTab | TBS_AUTOTICKS},
        {u"Static", u"&D.N.T.", 1100, 138, 5, 37, 8, kVisible},
        {u"Static", u"0.05 S.D.", 1103, 3, 34, 32, 8, kVisible | SS_CENTER},
        {u"Static", u"9 S.D.", 1106, 150, 34, 21, 8, kVisible | SS_CENTER},
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
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::CalcGenPage), CalcGenTemplate());
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::CalcCAPPage), CalcCAPTemplate());
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::CalcSynapPage), CalcSynapTemplate());
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::CalcERPage), CalcERTemplate());
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::CalcPSPage), CalcPSTemplate());
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::CalcNAPPage), CalcNAPTemplate());
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::TableOptionsPage), TableOptionsTemplate());
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::DetectorCAPPage), DetectorCAPTemplate());
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::DetectorERPage), DetectorERTemplate());
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::DetectorPSPage), DetectorPSTemplate());
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::FixedPositionPage), FixedPositionTemplate());
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::HeightWidthPage), HeightWidthTemplate());
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::DetectorUnStimPage), DetectorUnStimTemplate());
        ui::RegisterDialogTemplate(module, MAKEINTRESOURCEW(DialogId::MinPeakHeightPage), MinPeakHeightTemplate());
    }
};
const Registration g_registration;
}
