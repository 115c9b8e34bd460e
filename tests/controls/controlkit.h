// What the control tests share: the module's handle, a dialog built from a template, and pixel access to
// rendered windows.
#pragma once

#include "foundation/moduleinstance.h"
#include "platform/gdi/image.h"
#include "platform/owl/dialog.h"
#include "platform/ui/dialog.h"
#include "platform/ui/render.h"
#include "platform/ui/window.h"

#include <string>

namespace controlkit {

inline HINSTANCE Module() { return KVO::ModuleInstance(); }

// A modeless dialog of a template registered under the module; controls are added before Create.
class HostDialog : public owl::TDialog {
public:
    HostDialog(LPCWSTR name, owl::TModule* module) : TDialog(nullptr, owl::TResId(name), module) {}
};

inline std::string GoldenPath(const char* name) { return std::string(TEST_DATA_DIR) + "/" + name; }

inline COLORREF Pixel(const gdi::Image& image, int x, int y) { return image.at(x, y); }
}
