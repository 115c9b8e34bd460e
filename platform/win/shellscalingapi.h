// Per-monitor DPI (shcore). Each stand-in monitor has its own DPI (ui::Monitor::dpi), the screen's by default.
#pragma once

#include "platform/win/windef.h"

enum MONITOR_DPI_TYPE { MDT_EFFECTIVE_DPI = 0, MDT_ANGULAR_DPI = 1, MDT_RAW_DPI = 2, MDT_DEFAULT = MDT_EFFECTIVE_DPI };

// E_INVALIDARG for an unknown monitor, a type beyond MDT_RAW_DPI or a null output.
HRESULT GetDpiForMonitor(HMONITOR monitor, MONITOR_DPI_TYPE type, UINT* dpiX, UINT* dpiY);
