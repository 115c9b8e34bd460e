// Visual styles (uxtheme). The stand-in answers "not themed" unless a test switches themes on
// (platform::SetThemesActive); with themes on, parts are drawn in a plain look of our own.
#pragma once

#include "platform/win/windef.h"

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

namespace platform {
// Themes are off by default; tests switch them on. Open theme handles stay valid either way.
void SetThemesActive(bool active);
// How many theme handles are open now (tests check that controls close theirs).
int OpenThemeCount();
}
