// The windows that show a 2-D graph: the window base paints flicker-free through an off-screen bitmap, shows the
// graph's context menu and reports when the mouse leaves; the graph windows join it with the drawer, and the 2-D
// windows add the two drag scales and keep the drawer's domain and range in step with them.
#pragma once

#include "graph/mgraph1/dragscale.h"
#include "graph/mgraph1/graph2ddrawer.h"
#include "graph/mgraph1/graphmenu.h"

#include "platform/owl/window.h"

#include <deque>

struct IDisplayColours;

namespace MGraph1 {

class GraphWindowBase : public owl::TWindow {
public:
    explicit GraphWindowBase(owl::TWindow* parent, owl::TModule* module = nullptr);
    ~GraphWindowBase() override;

    virtual void Redraw(bool erase);
    // The base fills the rectangle with light grey.
    virtual void PaintGraph(HDC dc, bool erase, const RECT& rect);
    virtual void OnGraphMouseLeave() {}

    void EvPaint() override;
    void EvSize(owl::uint sizeType, const owl::TSize& size) override;
    void EvRButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void EvMouseMove(owl::uint modKeys, const owl::TPoint& point) override;
    void EvMouseLeave() override;

    GraphMenu& Menu() { return menu_; }
    int BitmapsMade() const { return bitmapsMade_; }

    bool contextMenu = false;
    int marginLeft = 5;
    int marginTop = 5;
    int marginRight = 5;
    int marginBottom = 5;

protected:
    // Asks for a WM_MOUSELEAVE once the mouse is over the window, unless one is already asked for.
    void ArmLeaveTracking();
    RECT InsideMargins(const RECT& rect) const;

    bool leaveTracking_ = false;

private:
    HBITMAP bitmap_ = nullptr;
    int bitmapWidth_ = -1;
    int bitmapHeight_ = -1;
    int bitmapsMade_ = 0;
    GraphMenu menu_;
};

// A window base joined with its drawer; the drawer paints inside the margins and its owner is the window.
template <class Drawer>
class GraphWindow : public GraphWindowBase, public Drawer {
public:
    explicit GraphWindow(owl::TWindow* parent, owl::TModule* module = nullptr)
        : GraphWindowBase(parent, module), Drawer(static_cast<owl::TWindow*>(this))
    {
    }

    // The drawer gets the rectangle inside the margins, unless the margins leave nothing.
    virtual void SetDrawerRect(const RECT& rect, bool invalidate)
    {
        if (invalidate && GetHandle()) {
            ::InvalidateRect(GetHandle(), nullptr, invalidate);
        }
        const RECT inside = InsideMargins(rect);
        if (inside.right - inside.left >= 0 && inside.bottom - inside.top >= 0) {
            Drawer::SetRect(inside);
        }
    }
    void PaintGraph(HDC dc, bool erase, const RECT& rect) override { Drawer::Paint(dc, erase, InsideMargins(rect)); }
    void OnGraphMouseLeave() override { Drawer::OnMouseLeave(); }
    void SetupWindow() override
    {
        owl::TWindow::SetupWindow();
        SetDrawerRect(GetClientRect(), false);
    }
};

// A graph window with a drag scale below the plot (id 100) and one left of it (id 101).
template <class Drawer>
class Graph2DWindowBase : public GraphWindow<Drawer> {
public:
    static constexpr LONG kXScaleId = 100;
    static constexpr LONG kYScaleId = 101;

    explicit Graph2DWindowBase(owl::TWindow* parent, owl::TModule* module = nullptr);
    ~Graph2DWindowBase() override;

    void SetupWindow() override;
    bool OnMessage(MessSys::Message& message) override;

    GraphDragScaleWindow* XScale() const { return xScale_; }
    GraphDragScaleWindow* YScale() const { return yScale_; }

protected:
    GraphDragScaleWindow* xScale_ = nullptr;
    GraphDragScaleWindow* yScale_ = nullptr;
    std::deque<AxisLock> yLocks_;
    std::deque<AxisLock> xLocks_;

private:
    // The scale of a notice's id, when its window exists; sets `horizontal`.
    GraphDragScaleWindow* ScaleOf(std::int32_t id, bool& horizontal) const;
    void ApplyScaleRange(GraphDragScaleWindow& scale, bool horizontal);
};

extern template class Graph2DWindowBase<Graph2DDrawer>;

// The concrete 2-D graph window.
class Graph2DWindow : public Graph2DWindowBase<Graph2DDrawer> {
public:
    explicit Graph2DWindow(owl::TWindow* parent, owl::TModule* module = nullptr);

    void EvLButtonDown(owl::uint modKeys, const owl::TPoint& point) override;
    void EvLButtonUp(owl::uint modKeys, const owl::TPoint& point) override;
    void EvMouseMove(owl::uint modKeys, const owl::TPoint& point) override;
};

// A graph's look as a host document's display settings give it.
struct DisplayAttributes {
    IUnknown* source = nullptr;         // the property source read from
    IDisplayColours* colours = nullptr; // may be null: the default trace colours then
    WORD value1 = 0;
    COLORREF colour1 = 0;
    COLORREF colour2 = 0;
    LONG count = 1;
    DWORD value2 = 0;
    WORD value3 = 0;
};
// Fills the record from its property source through keys of the host settings store; a value the source does
// not have leaves its field as it was. False when the store or the source cannot be had.
bool ReadDisplayAttributes(DisplayAttributes& attributes);

} // namespace MGraph1
