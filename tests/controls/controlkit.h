// What the control tests share: the module's handle, a dialog built from a template, and pixel access to
// rendered windows.
#pragma once

#include "foundation/moduleinstance.h"
#include "platform/gdi/image.h"
#include "platform/owl/dialog.h"
#include "platform/ui/dialog.h"
#include "platform/ui/render.h"
#include "platform/ui/window.h"

#include "platform/owl/gadget.h"

#include <functional>
#include <string>
#include <vector>

namespace controlkit {

inline HINSTANCE Module() { return KVO::ModuleInstance(); }

// A modeless dialog of a template registered under the module; controls are added before Create.
class HostDialog : public owl::TDialog {
public:
    HostDialog(LPCWSTR name, owl::TModule* module) : TDialog(nullptr, owl::TResId(name), module) {}
};

// A top-level window that records the commands it gets and how often a menu was about to open; command-enable
// queries go to `enabler` when set.
class RecordingOwner : public owl::TWindow {
public:
    RecordingOwner(int width, int height) : TWindow(nullptr, u"owner")
    {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.X = 50;
        Attr.Y = 50;
        Attr.W = width;
        Attr.H = height;
    }
    owl::TResult EvCommand(owl::uint id, HWND, owl::uint) override
    {
        commands.push_back(static_cast<int>(id));
        return 0;
    }
    owl::TResult WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2) override
    {
        if (message == WM_INITMENUPOPUP) {
            ++initPopups;
        } else if (message == owl::WM_COMMAND_ENABLE && enabler) {
            enabler(*reinterpret_cast<owl::TCommandEnabler*>(p2));
            return 0;
        }
        return TWindow::WindowProc(message, p1, p2);
    }
    std::vector<int> commands;
    int initPopups = 0;
    std::function<void(owl::TCommandEnabler&)> enabler;
};

inline std::string GoldenPath(const char* name) { return std::string(TEST_DATA_DIR) + "/" + name; }

inline COLORREF Pixel(const gdi::Image& image, int x, int y) { return image.at(x, y); }
}
