// The theme and DPI libraries, linked at run time so that the module also loads on systems that lack them. Each
// library is one module object made on first use and freed when the module unloads; each procedure is looked up
// by name on its first call and kept for the process. A missing library or procedure throws (owl::TXOwl) at that
// first use: callers check for themes and for the Windows version first.
#pragma once

#include "platform/owl/module.h"
#include "platform/win/shellscalingapi.h"
#include "platform/win/uxtheme.h"

#include <optional>

namespace KVOLinkingUtils {

template <class Signature>
class LazyProc;

// A procedure of a library, found on the first call.
template <class R, class... Args>
class LazyProc<R(Args...)> {
public:
    explicit LazyProc(LPCSTR name) : name_(name) {}
    R operator()(const owl::TModule& module, Args... args)
    {
        if (!proc_) {
            proc_.emplace(module, name_);
        }
        return (*proc_)(args...);
    }

private:
    LPCSTR name_;
    std::optional<owl::TModuleProc<R, Args...>> proc_;
};

class UxThemeDLL : public owl::TModule {
public:
    static UxThemeDLL& Instance();

    HTHEME OpenThemeData(HWND window, LPCWSTR classList);
    HRESULT CloseThemeData(HTHEME theme);
    // The clip rectangle is always none.
    HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect);
    BOOL IsThemeActive();
    HRESULT DrawThemeParentBackground(HWND window, HDC dc, const RECT* rect);
    HRESULT DrawThemeText(HTHEME theme, HDC dc, int part, int state, LPCWSTR text, int count, DWORD flags,
                          const RECT* rect);
    HRESULT GetThemeBackgroundRegion(HTHEME theme, HDC dc, int part, int state, const RECT* rect, HRGN* region);
    HRESULT GetThemePartSize(HTHEME theme, HDC dc, int part, int state, THEMESIZE kind, SIZE* size);
    HRESULT GetThemeTextExtent(HTHEME theme, HDC dc, int part, int state, LPCWSTR text, int count, DWORD flags,
                               const RECT* bounds, RECT* extent);

private:
    UxThemeDLL();
};

class ShcoreDLL : public owl::TModule {
public:
    static ShcoreDLL& Instance();

    HRESULT GetDpiForMonitor(HMONITOR monitor, MONITOR_DPI_TYPE type, UINT* dpiX, UINT* dpiY);

private:
    ShcoreDLL();
};

} // namespace KVOLinkingUtils
