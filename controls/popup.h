// The small text window shown as a tooltip: bordered, disabled, never active, sized to its text and kept inside
// the work area of the monitor under its anchor.
#pragma once

#include "controls/nothrow.h"
#include "foundation/kvostring.h"
#include "platform/owl/window.h"

#include <memory>

namespace KVO {

class Popup : public owl::TWindow {
public:
    // Builds, creates and (while the host application is visible) shows the popup at once; the caller deletes it
    // to remove it. The anchor is in screen coordinates; the popup's corner goes 2 pixels right and below it.
    Popup(owl::TWindow* parent, const owl::TPoint& anchor, const String& text);

    bool Create() override;
    owl::TResult WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2) override
    {
        return KVOControls::NoThrow([&] { return TWindow::WindowProc(message, p1, p2); });
    }
    void SetupWindow() override;
    void Paint(owl::TDC& dc, bool erase, owl::TRect& rect) override;
    bool EvEraseBkgnd(HDC hdc) override;

    static constexpr COLORREF kBackground = RGB(255, 255, 225);
    static constexpr int kWrapWidth = 300;

protected:
    String text;
    std::unique_ptr<owl::TFont> font;
    owl::TPoint anchor;

private:
    void ShowIfHostVisible();
};

} // namespace KVO
