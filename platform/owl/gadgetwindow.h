// OWL's gadget window: a window that lays out a row (or column) of gadgets, paints them, routes the mouse to them
// and asks its parent which of their commands are enabled.
#pragma once

#include "platform/owl/gadget.h"

#include <memory>
#include <vector>

namespace owl {

class TGadgetWindow : public TWindow {
public:
    enum TTileDirection { Horizontal, Vertical };
    enum TPlacement { Before, After };
    // Flat styles of every gadget window (process-wide, as OWL keeps them).
    enum TFlatStyle : uint { NonFlatNormal = 0, FlatStandard = 1, FlatGrayButtons = 2, FlatHotText = 4 };

    // `font` (owned) is the gadgets' font; none gives the default GUI font.
    TGadgetWindow(TWindow* parent = nullptr, TTileDirection direction = Horizontal, TFont* font = nullptr,
                  TModule* module = nullptr);
    ~TGadgetWindow() override;

    LPCWSTR GetClassName() override { return u"OWL_GadgetWindow"; }
    void GetWindowClass(WNDCLASSW& wc) override;

    // The window owns its gadgets from here on. Before null sibling means first, After null means last.
    void Insert(TGadget& gadget, TPlacement placement = After, TGadget* sibling = nullptr);
    TGadget* Remove(TGadget& gadget);
    TGadget* FirstGadget() const { return Gadgets.empty() ? nullptr : Gadgets.front(); }
    TGadget* NextGadget(TGadget& gadget) const;
    TGadget* GadgetFromPoint(const TPoint& point) const; // client coordinates
    TGadget* GadgetWithId(int id) const;
    uint GadgetCount() const { return static_cast<uint>(Gadgets.size()); }
    const std::vector<TGadget*>& GetGadgets() const { return Gadgets; }

    TTileDirection GetDirection() const { return Direction; }
    TFont& GetFont() const { return *Font; }
    void SetMargins(const TGadget::TMargins& margins) { Margins = margins; }
    void SetShrinkWrap(bool width, bool height)
    {
        ShrinkWrapWidth = width;
        ShrinkWrapHeight = height;
    }
    // Places the gadgets again from their desired sizes.
    virtual void LayoutSession();
    virtual void GetDesiredSize(TSize& size);
    // Asks the parent, through the command-enable message, about every gadget's command.
    virtual bool IdleAction(long idleCount);

    // The gadget that holds the mouse; the window captures it meanwhile.
    bool GadgetSetCapture(TGadget& gadget);
    void GadgetReleaseCapture(TGadget& gadget);
    TGadget* GadgetWithCapture() const { return Capture; }
    TGadget* GadgetAtMouse() const { return AtMouse; }

    static uint GetFlatStyle() { return FlatStyleBits(); }
    static void EnableFlatStyle(uint style) { FlatStyleBits() = style; }

    void SetupWindow() override;
    void Paint(TDC& dc, bool erase, TRect& rect) override;
    void EvSize(uint sizeType, const TSize& size) override;
    void EvMouseMove(uint modKeys, const TPoint& point) override;
    void EvMouseLeave() override;
    void EvLButtonDown(uint modKeys, const TPoint& point) override;
    void EvLButtonUp(uint modKeys, const TPoint& point) override;
    void EvLButtonDblClk(uint modKeys, const TPoint& point) override;
    void EvRButtonDown(uint modKeys, const TPoint& point) override;
    void EvRButtonUp(uint modKeys, const TPoint& point) override;
    void EvSysColorChange() override;
    TResult EvCommand(uint id, HWND hWndCtl, uint notifyCode) override;
    TResult WindowProc(TMsgId message, TParam1 p1, TParam2 p2) override;
    // Unhandled queries go on to the parent.
    virtual void EvCommandEnable(TCommandEnabler& enabler);

    // Whether the window shows its gadgets' tooltips: when set before the window is made, it makes its tooltip
    // control then; EnableTooltip sets it and makes the control at once when the window exists.
    bool WantTooltip = false;
    // Switches the tooltips on (making the tooltip control when needed) or off (hiding any tip).
    void EnableTooltip(bool enable);
    // The tooltip control (a TOOLTIPS_CLASSW window), or null.
    HWND GetTooltip() const { return Tooltip; }
    void CleanupWindow() override;

protected:
    TPoint Relative(const TGadget& gadget, const TPoint& point) const
    {
        return TPoint(point.x - gadget.GetBounds().left, point.y - gadget.GetBounds().top);
    }
    std::vector<TGadget*> Gadgets;
    TTileDirection Direction;
    std::unique_ptr<TFont> Font;
    TGadget::TMargins Margins;
    bool ShrinkWrapWidth = false;
    bool ShrinkWrapHeight = true;
    TGadget* Capture = nullptr;
    TGadget* AtMouse = nullptr;
    HWND Tooltip = nullptr;
    tstring TooltipText; // the text last given to the tooltip
    UINT_PTR ToolIds = 0; // the tools' ids run from 1 to this

private:
    // One tool per gadget with a tooltip text, over the gadget's bounds.
    void UpdateTools();
    static uint& FlatStyleBits();
};
}
