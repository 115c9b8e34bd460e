// Visual styles (uxtheme). The stand-in answers "not themed" unless a test switches themes on
// (platform::SetThemesActive); with themes on, parts are drawn in a plain look of our own.
#pragma once

#include "platform/win/windef.h"

#include <string>
#include <vector>

using HTHEME = void*;

BOOL IsThemeActive();
BOOL IsAppThemed();
HTHEME OpenThemeData(HWND hwnd, LPCWSTR classList);
HRESULT CloseThemeData(HTHEME theme);
HRESULT DrawThemeBackground(HTHEME theme, HDC hdc, int part, int state, const RECT* rect, const RECT* clip);
HRESULT DrawThemeParentBackground(HWND hwnd, HDC hdc, const RECT* rect);
HRESULT DrawThemeText(HTHEME theme, HDC hdc, int part, int state, LPCWSTR text, int count, DWORD flags,
                      DWORD flags2, const RECT* rect);
HRESULT GetThemeBackgroundContentRect(HTHEME theme, HDC hdc, int part, int state, const RECT* bounds, RECT* content);
BOOL IsThemeBackgroundPartiallyTransparent(HTHEME theme, int part, int state);
HRESULT EnableThemeDialogTexture(HWND hwnd, DWORD flags);
enum THEMESIZE { TS_MIN, TS_TRUE, TS_DRAW };
HRESULT GetThemeBackgroundRegion(HTHEME theme, HDC hdc, int part, int state, const RECT* rect, HRGN* region);
HRESULT GetThemePartSize(HTHEME theme, HDC hdc, int part, int state, const RECT* rect, THEMESIZE kind, SIZE* size);
HRESULT GetThemeTextExtent(HTHEME theme, HDC hdc, int part, int state, LPCWSTR text, int count, DWORD flags,
                           const RECT* bounds, RECT* extent);

inline constexpr int BP_PUSHBUTTON = 1;
inline constexpr int BP_RADIOBUTTON = 2;
inline constexpr int BP_CHECKBOX = 3;
inline constexpr int BP_GROUPBOX = 4;
inline constexpr int PBS_NORMAL = 1;
inline constexpr int PBS_HOT = 2;
inline constexpr int PBS_PRESSED = 3;
inline constexpr int PBS_DISABLED = 4;
inline constexpr int PBS_DEFAULTED = 5;
inline constexpr int CBS_UNCHECKEDNORMAL = 1;
inline constexpr int CBS_CHECKEDNORMAL = 5;
inline constexpr DWORD ETDT_ENABLETAB = 6;
inline constexpr int TTP_BALLOON = 3;
inline constexpr int TTP_BALLOONSTEM = 6;
inline constexpr int TEXT_BODYTEXT = 4;

namespace platform {
// Themes are off by default; tests switch them on. Open theme handles stay valid either way.
void SetThemesActive(bool active);
// How many theme handles are open now (tests check that controls close theirs).
int OpenThemeCount();
// Records every theme call by name ("DrawThemeBackground" …) while a log is set (null stops).
void RecordThemeCalls(std::vector<std::string>* log);
// The named call fails (E_FAIL, or no handle for OpenThemeData) from now on until cleared; an empty name clears all.
void FailThemeCall(const std::string& name, bool fail = true);
}
