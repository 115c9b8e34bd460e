// uxtheme: off unless a test switches it on. With themes on, parts are drawn in a flat look of our own so that
// themed code paths can be exercised; no visual style of any real system is copied.
#include "platform/win/uxtheme.h"
#include "platform/win/wingdi.h"
#include "platform/win/winuser.h"

#include <array>
#include <set>
#include <string>

namespace {
bool& Active()
{
    static bool active = false;
    return active;
}

std::set<void*>& Handles()
{
    static auto* handles = new std::set<void*>;
    return *handles;
}

struct Theme {
    std::u16string classList;
};

std::vector<std::string>*& Log()
{
    static std::vector<std::string>* log = nullptr;
    return log;
}

std::set<std::string>& Failing()
{
    static auto* failing = new std::set<std::string>;
    return *failing;
}

// Records the call and tells whether it is to fail.
bool Fails(const char* name)
{
    if (Log()) {
        Log()->push_back(name);
    }
    return Failing().count(name) > 0;
}

bool IsTooltip(HTHEME theme) { return static_cast<Theme*>(theme)->classList == u"TOOLTIP"; }

// A balloon stem is a triangle whose point lies at the wall or centre its state names: states 1 to 3 point up
// (left wall, centred, right wall), 4 to 6 point down (right wall, centred, left wall).
std::array<POINT, 3> StemTriangle(int state, const RECT& r)
{
    const bool up = state <= 3;
    const LONG tipY = up ? r.top : r.bottom;
    const LONG baseY = up ? r.bottom : r.top;
    LONG tipX = (r.left + r.right) / 2;
    if (state == 1 || state == 6) {
        tipX = r.left;
    } else if (state == 3 || state == 4) {
        tipX = r.right;
    }
    return {POINT{tipX, tipY}, POINT{r.left, baseY}, POINT{r.right, baseY}};
}
}

namespace platform {
void SetThemesActive(bool active)
{
    Active() = active;
}
int OpenThemeCount() { return static_cast<int>(Handles().size()); }
void RecordThemeCalls(std::vector<std::string>* log) { Log() = log; }
void FailThemeCall(const std::string& name, bool fail)
{
    if (name.empty()) {
        Failing().clear();
    } else if (fail) {
        Failing().insert(name);
    } else {
        Failing().erase(name);
    }
}
}

BOOL IsThemeActive()
{
    Fails("IsThemeActive");
    return Active();
}
BOOL IsAppThemed() { return Active(); }

HTHEME OpenThemeData(HWND, LPCWSTR classList)
{
    if (Fails("OpenThemeData") || !Active() || !classList) {
        return nullptr;
    }
    auto* theme = new Theme{classList};
    Handles().insert(theme);
    return theme;
}

HRESULT CloseThemeData(HTHEME theme)
{
    if (Fails("CloseThemeData") || !theme || !Handles().erase(theme)) {
        return E_HANDLE;
    }
    delete static_cast<Theme*>(theme);
    return S_OK;
}

HRESULT DrawThemeBackground(HTHEME theme, HDC hdc, int part, int state, const RECT* rect, const RECT*)
{
    if (Fails("DrawThemeBackground")) {
        return E_FAIL;
    }
    if (!theme || !Handles().count(theme) || !rect) {
        return E_HANDLE;
    }
    RECT r = *rect;
    if (IsTooltip(theme)) {
        // Balloon body and stem: the info colours, framed.
        HBRUSH fill = CreateSolidBrush(GetSysColor(COLOR_INFOBK));
        if (part == TTP_BALLOONSTEM) {
            // Filled as the region of the same state is shaped, so that the two cover the same pixels.
            const std::array<POINT, 3> stem = StemTriangle(state, r);
            HRGN triangle = CreatePolygonRgn(stem.data(), 3, WINDING);
            FillRgn(hdc, triangle, fill);
            DeleteObject(triangle);
            DeleteObject(fill);
            return S_OK;
        }
        FillRect(hdc, &r, fill);
        DeleteObject(fill);
        if (part == TTP_BALLOON) {
            HBRUSH frame = CreateSolidBrush(RGB(118, 118, 118));
            FrameRect(hdc, &r, frame);
            DeleteObject(frame);
        }
        return S_OK;
    }
    if (part == BP_CHECKBOX || part == BP_RADIOBUTTON) {
        const bool checked = state >= CBS_CHECKEDNORMAL && state < CBS_CHECKEDNORMAL + 4;
        return DrawFrameControl(hdc, &r, DFC_BUTTON,
                                (part == BP_RADIOBUTTON ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK) |
                                    (checked ? DFCS_CHECKED : 0) | DFCS_FLAT)
                   ? S_OK
                   : E_FAIL;
    }
    const COLORREF face = state == PBS_PRESSED ? RGB(204, 228, 247) : state == PBS_HOT ? RGB(229, 241, 251)
                                                                                      : RGB(225, 225, 225);
    HBRUSH brush = CreateSolidBrush(face);
    FillRect(hdc, &r, brush);
    DeleteObject(brush);
    HBRUSH frame = CreateSolidBrush(state == PBS_DISABLED ? RGB(191, 191, 191) : RGB(173, 173, 173));
    FrameRect(hdc, &r, frame);
    DeleteObject(frame);
    return S_OK;
}

HRESULT DrawThemeParentBackground(HWND hwnd, HDC hdc, const RECT* rect)
{
    if (Fails("DrawThemeParentBackground")) {
        return E_FAIL;
    }
    HWND parent = GetParent(hwnd);
    if (!parent) {
        return E_FAIL;
    }
    RECT r{};
    if (rect) {
        r = *rect;
    } else {
        GetClientRect(hwnd, &r);
    }
    FillRect(hdc, &r, reinterpret_cast<HBRUSH>(static_cast<std::intptr_t>(COLOR_BTNFACE + 1)));
    return S_OK;
}

HRESULT DrawThemeText(HTHEME theme, HDC hdc, int, int, LPCWSTR text, int count, DWORD flags, DWORD, const RECT* rect)
{
    if (Fails("DrawThemeText")) {
        return E_FAIL;
    }
    if (!theme || !rect) {
        return E_HANDLE;
    }
    RECT r = *rect;
    DrawTextW(hdc, text, count, &r, flags);
    return S_OK;
}

HRESULT GetThemeBackgroundContentRect(HTHEME theme, HDC, int, int, const RECT* bounds, RECT* content)
{
    if (Fails("GetThemeBackgroundContentRect")) {
        return E_FAIL;
    }
    if (!theme || !bounds || !content) {
        return E_HANDLE;
    }
    *content = *bounds;
    InflateRect(content, -2, -2);
    return S_OK;
}

BOOL IsThemeBackgroundPartiallyTransparent(HTHEME, int, int) { return FALSE; }

HRESULT EnableThemeDialogTexture(HWND, DWORD) { return Active() ? S_OK : E_FAIL; }

HRESULT GetThemeBackgroundRegion(HTHEME theme, HDC, int part, int state, const RECT* rect, HRGN* region)
{
    if (Fails("GetThemeBackgroundRegion")) {
        return E_FAIL;
    }
    if (!theme || !Handles().count(theme) || !rect || !region) {
        return E_HANDLE;
    }
    if (IsTooltip(theme) && part == TTP_BALLOONSTEM) {
        const std::array<POINT, 3> stem = StemTriangle(state, *rect);
        *region = CreatePolygonRgn(stem.data(), 3, WINDING);
        return S_OK;
    }
    *region = CreateRectRgnIndirect(rect);
    return S_OK;
}

HRESULT GetThemePartSize(HTHEME theme, HDC, int part, int, const RECT*, THEMESIZE, SIZE* size)
{
    if (Fails("GetThemePartSize")) {
        return E_FAIL;
    }
    if (!theme || !Handles().count(theme) || !size) {
        return E_HANDLE;
    }
    *size = IsTooltip(theme) && part == TTP_BALLOONSTEM ? SIZE{18, 18} : SIZE{13, 13};
    return S_OK;
}

HRESULT GetThemeTextExtent(HTHEME theme, HDC hdc, int, int, LPCWSTR text, int count, DWORD flags, const RECT* bounds,
                           RECT* extent)
{
    if (Fails("GetThemeTextExtent")) {
        return E_FAIL;
    }
    if (!theme || !Handles().count(theme) || !extent) {
        return E_HANDLE;
    }
    RECT r = bounds ? *bounds : RECT{0, 0, 0, 0};
    DrawTextW(hdc, text, count, &r, flags | DT_CALCRECT);
    *extent = r;
    return S_OK;
}
