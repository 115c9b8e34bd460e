// The module's push button with a glyph and a caption (the Help button of every dialog): drawn with the push
// button's visual style where themes are in use and plainly otherwise, with a hover tooltip in a popup window.
#pragma once

#include "controls/nothrow.h"
#include "controls/popup.h"
#include "foundation/kvostring.h"
#include "platform/owl/glyphbutton.h"
#include "platform/win/uxtheme.h"

#include <memory>

namespace KVOControls {

class TBmpTxtButton : public owl::TGlyphButton {
public:
    static constexpr int kHelpId = 9;
    static constexpr UINT kHelpBitmap = 2201;
    static constexpr UINT kHelpTooltip = 127; // "Get dialog help"
    static constexpr UINT kTimerId = 1;
    static constexpr UINT kTimerMs = 500;
    static constexpr int kGlyphType = 16;

    // A new Help button; its owner moves it into place.
    TBmpTxtButton(owl::TWindow* parent, const KVO::String& tooltip, bool isDefault, owl::TModule* module);
    // Takes over the dialog's control 9.
    TBmpTxtButton(owl::TWindow* parent, const KVO::String& tooltip, owl::TModule* module = nullptr);
    ~TBmpTxtButton() override;

    // The glyph from a bitmap resource of the parent's module (this library's without one).
    void SetBitmap(UINT resourceId);
    // An empty text turns the tooltip off.
    void SetTooltip(const KVO::String& text);
    void SetParentBackground(bool use) { parentBackground = use; }

    bool IsClassic() const { return classic; }
    bool IsHot() const { return hot; }
    bool TooltipVisible() const { return popup != nullptr; }
    HWND TooltipWindow() const { return popup ? popup->GetHandle() : nullptr; }

    void PaintFrame(owl::TDC& dc, owl::TRect& rect) override;
    void PaintDefaultRect(owl::TDC& dc, owl::TRect& rect) override;
    void PaintFace(owl::TDC& dc, const owl::TRect& rect) override;
    void PaintFocusRect(owl::TDC& dc, const owl::TRect& faceRect) override;
    virtual void PaintClassicFace(owl::TDC& dc, const owl::TRect& rect);
    owl::TResult WindowProc(owl::TMsgId message, owl::TParam1 p1, owl::TParam2 p2) override
    {
        return KVOControls::NoThrow([&] { return TGlyphButton::WindowProc(message, p1, p2); });
    }
    void SetupWindow() override;

    void EvMouseMove(owl::uint modKeys, const owl::TPoint& point) override;
    void EvLButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void EvLButtonUp(owl::uint modKeys, const owl::TPoint& point) override;
    void EvLButtonDblClk(owl::uint modKeys, const owl::TPoint& point) override;
    void EvKeyDown(owl::uint key, owl::uint repeatCount, owl::uint flags) override;
    void EvKeyUp(owl::uint key, owl::uint repeatCount, owl::uint flags) override;
    void EvMouseLeave() override;
    void EvTimer(owl::uint timerId) override;
    void EvThemeChanged() override;
    void EvRButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void EvMButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void EvCancelMode() override;
    void EvKillFocus(HWND getFocus) override;
    void EvEnable(bool enabled) override;

protected:
    HTHEME theme = nullptr;
    bool classic = true;
    bool hot = false;
    bool clicked = false;
    bool showFocusRect = false;
    bool tracking = false;
    const char16_t* themeClass = u"BUTTON";
    KVO::String tooltip;
    std::unique_ptr<KVO::Popup> popup;
    bool tooltipShown = false;
    UINT_PTR timerId = 0;
    int hoverMs = 0;
    bool toggle = false;
    bool toggleState = false;
    int maxTooltipMs = 5000;
    bool parentBackground = false;

private:
    void OpenTheme();
    void CloseTheme();
    void RemoveTooltip(bool forget);
    void HotLeave();
    void ReleasePress();
    void PaintThemedFace(owl::TDC& dc, const owl::TRect& rect);
    void PaintContent(owl::TDC& dc, const owl::TRect& face, bool themed);
    void DrawDisabledGlyph(HDC dc, HBITMAP glyph, const RECT& target);
};

} // namespace KVOControls
