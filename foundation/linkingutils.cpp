#include "foundation/linkingutils.h"

#include <memory>

namespace KVOLinkingUtils {
UxThemeDLL::UxThemeDLL() : TModule(u"uxtheme.dll", true) {}

// Made on first use; a failed load is tried again at the next use. Static destruction frees the library.
UxThemeDLL& UxThemeDLL::Instance()
{
    static std::unique_ptr<UxThemeDLL> instance;
    if (!instance) {
        instance.reset(new UxThemeDLL);
    }
    return *instance;
}

HTHEME UxThemeDLL::OpenThemeData(HWND window, LPCWSTR classList)
{
    static LazyProc<HTHEME(HWND, LPCWSTR)> proc("OpenThemeData");
    return proc(*this, window, classList);
}

HRESULT UxThemeDLL::CloseThemeData(HTHEME theme)
{
    static LazyProc<HRESULT(HTHEME)> proc("CloseThemeData");
    return proc(*this, theme);
}

HRESULT UxThemeDLL::DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect)
{
    static LazyProc<HRESULT(HTHEME, HDC, int, int, const RECT*, const RECT*)> proc("DrawThemeBackground");
    return proc(*this, theme, dc, part, state, rect, nullptr);
}

BOOL UxThemeDLL::IsThemeActive()
{
    static LazyProc<BOOL()> proc("IsThemeActive");
    return proc(*this);
}

HRESULT UxThemeDLL::DrawThemeParentBackground(HWND window, HDC dc, const RECT* rect)
{
    static LazyProc<HRESULT(HWND, HDC, const RECT*)> proc("DrawThemeParentBackground");
    return proc(*this, window, dc, rect);
}

HRESULT UxThemeDLL::DrawThemeText(HTHEME theme, HDC dc, int part, int state, LPCWSTR text, int count, DWORD flags,
                                  const RECT* rect)
{
    static LazyProc<HRESULT(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, DWORD, const RECT*)> proc("DrawThemeText");
    return proc(*this, theme, dc, part, state, text, count, flags, 0, rect);
}

HRESULT UxThemeDLL::GetThemeBackgroundRegion(HTHEME theme, HDC dc, int part, int state, const RECT* rect,
                                             HRGN* region)
{
    static LazyProc<HRESULT(HTHEME, HDC, int, int, const RECT*, HRGN*)> proc("GetThemeBackgroundRegion");
    return proc(*this, theme, dc, part, state, rect, region);
}

HRESULT UxThemeDLL::GetThemePartSize(HTHEME theme, HDC dc, int part, int state, THEMESIZE kind, SIZE* size)
{
    static LazyProc<HRESULT(HTHEME, HDC, int, int, const RECT*, THEMESIZE, SIZE*)> proc("GetThemePartSize");
    return proc(*this, theme, dc, part, state, nullptr, kind, size);
}

HRESULT UxThemeDLL::GetThemeTextExtent(HTHEME theme, HDC dc, int part, int state, LPCWSTR text, int count,
                                       DWORD flags, const RECT* bounds, RECT* extent)
{
    static LazyProc<HRESULT(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, const RECT*, RECT*)> proc(
        "GetThemeTextExtent");
    return proc(*this, theme, dc, part, state, text, count, flags, bounds, extent);
}

ShcoreDLL::ShcoreDLL() : TModule(u"shcore.dll", true) {}

ShcoreDLL& ShcoreDLL::Instance()
{
    static std::unique_ptr<ShcoreDLL> instance;
    if (!instance) {
        instance.reset(new ShcoreDLL);
    }
    return *instance;
}

HRESULT ShcoreDLL::GetDpiForMonitor(HMONITOR monitor, MONITOR_DPI_TYPE type, UINT* dpiX, UINT* dpiY)
{
    static LazyProc<HRESULT(HMONITOR, MONITOR_DPI_TYPE, UINT*, UINT*)> proc("GetDpiForMonitor");
    return proc(*this, monitor, type, dpiX, dpiY);
}

} // namespace KVOLinkingUtils
