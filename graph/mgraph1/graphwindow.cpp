#include "graph/mgraph1/graphwindow.h"

#include "foundation/defaultcolours.h"
#include "frame/hostservices.h"

namespace MGraph1 {

GraphWindowBase::GraphWindowBase(owl::TWindow* parent, owl::TModule* module)
    : owl::TWindow(parent, u"YC Plot of the Pressure waveform", module)
{
    Attr.Style |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
}

GraphWindowBase::~GraphWindowBase()
{
    if (bitmap_) {
        DeleteObject(bitmap_);
    }
}

void GraphWindowBase::Redraw(bool erase)
{
    if (GetHandle()) {
        ::InvalidateRect(GetHandle(), nullptr, erase);
    }
}

void GraphWindowBase::PaintGraph(HDC dc, bool, const RECT& rect)
{
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
}

RECT GraphWindowBase::InsideMargins(const RECT& rect) const
{
    return RECT{rect.left + marginLeft, rect.top + marginTop, rect.right - marginRight, rect.bottom - marginBottom};
}

void GraphWindowBase::EvPaint()
{
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(GetHandle(), &paint);
    RECT client{};
    ::GetClientRect(GetHandle(), &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width > 0 && height > 0) {
        if (!bitmap_ || bitmapWidth_ != width || bitmapHeight_ != height) {
            if (bitmap_) {
                DeleteObject(bitmap_);
            }
            bitmap_ = CreateBitmap(width, height, static_cast<UINT>(GetDeviceCaps(dc, PLANES)),
                                   static_cast<UINT>(GetDeviceCaps(dc, BITSPIXEL)), nullptr);
            bitmapWidth_ = width;
            bitmapHeight_ = height;
            ++bitmapsMade_;
        }
        HDC memory = CreateCompatibleDC(dc);
        const HGDIOBJ previous = SelectObject(memory, bitmap_);
        FillRect(memory, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        PaintGraph(memory, true, client);
        BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
        DeleteDC(memory);
    }
    EndPaint(GetHandle(), &paint);
}

void GraphWindowBase::EvSize(owl::uint sizeType, const owl::TSize& size)
{
    owl::TWindow::EvSize(sizeType, size);
    if (size.cx != 0 && size.cy != 0) {
        Redraw(true);
    }
}

void GraphWindowBase::EvRButtonDown(owl::uint, const owl::TPoint& point)
{
    if (!contextMenu) {
        return;
    }
    owl::TPoint screen = point;
    ClientToScreen(screen);
    menu_.Show(GetHandle(), screen.x, screen.y);
}

void GraphWindowBase::ArmLeaveTracking()
{
    if (leaveTracking_) {
        return;
    }
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = GetHandle();
    track.dwHoverTime = HOVER_DEFAULT;
    leaveTracking_ = ::TrackMouseEvent(&track) != FALSE;
}

void GraphWindowBase::EvMouseMove(owl::uint, const owl::TPoint&) { ArmLeaveTracking(); }

void GraphWindowBase::EvMouseLeave()
{
    leaveTracking_ = false;
    OnGraphMouseLeave();
}

template <class Drawer>
Graph2DWindowBase<Drawer>::Graph2DWindowBase(owl::TWindow* parent, owl::TModule* module)
    : GraphWindow<Drawer>(parent, module)
{
}

template <class Drawer>
Graph2DWindowBase<Drawer>::~Graph2DWindowBase()
{
    if (xScale_) {
        xScale_->RemoveReceiver(this);
    }
    if (yScale_) {
        yScale_->RemoveReceiver(this);
    }
    yLocks_.clear();
    xLocks_.clear();
    delete yScale_;
    delete xScale_;
}

template <class Drawer>
void Graph2DWindowBase<Drawer>::SetupWindow()
{
    owl::TWindow::SetupWindow();
    this->SetDrawerRect(this->GetClientRect(), false);
    Drawer::SetAxes(xScale_ ? xScale_->GetScaleControl() : nullptr, yScale_ ? yScale_->GetScaleControl() : nullptr,
                    xScale_ && xScale_->IsEnabled(), yScale_ && yScale_->IsEnabled());
    // Again, now that the scales exist to take their strips and give their transforms.
    this->SetDrawerRect(this->GetClientRect(), false);
    Drawer::FirstDraw();
}

template <class Drawer>
GraphDragScaleWindow* Graph2DWindowBase<Drawer>::ScaleOf(std::int32_t id, bool& horizontal) const
{
    GraphDragScaleWindow* scale = id == kXScaleId ? xScale_ : id == kYScaleId ? yScale_ : nullptr;
    horizontal = id == kXScaleId;
    return scale && scale->GetHandle() ? scale : nullptr;
}

template <class Drawer>
void Graph2DWindowBase<Drawer>::ApplyScaleRange(GraphDragScaleWindow& scale, bool horizontal)
{
    double minimum = 0.0;
    double maximum = 1.0;
    scale.GetRange(minimum, maximum);
    if (horizontal) {
        Drawer::ApplyDomain(minimum, maximum);
    } else {
        Drawer::ApplyRange(minimum, maximum);
    }
}

template <class Drawer>
bool Graph2DWindowBase<Drawer>::OnMessage(MessSys::Message& message)
{
    bool horizontal = false;
    if (auto* begin = dynamic_cast<MsgBeginDrag*>(&message)) {
        if (!ScaleOf(begin->value, horizontal)) {
            return false;
        }
        if (horizontal) {
            Drawer::SnapshotXAxis();
            xLocks_.push_back(Drawer::LockXAxis());
        } else {
            Drawer::SnapshotYAxis();
            yLocks_.push_back(Drawer::LockYAxis());
        }
        return true;
    }
    if (auto* end = dynamic_cast<MsgEndDrag*>(&message)) {
        GraphDragScaleWindow* scale = ScaleOf(end->value, horizontal);
        if (!scale) {
            return false;
        }
        std::deque<AxisLock>& locks = horizontal ? xLocks_ : yLocks_;
        if (!locks.empty()) {
            locks.pop_front();
        }
        ApplyScaleRange(*scale, horizontal);
        return true;
    }
    if (auto* scaling = dynamic_cast<MsgScalingChanged*>(&message)) {
        GraphDragScaleWindow* scale = ScaleOf(scaling->scaleId, horizontal);
        if (!scale) {
            return false;
        }
        if (horizontal) {
            Drawer::SetXPixelTransform(scaling->pixelTransform);
            Drawer::SetXUnitTransform(scaling->scaling);
        } else {
            Drawer::SetYPixelTransform(scaling->pixelTransform);
            Drawer::SetYUnitTransform(scaling->scaling);
        }
        ApplyScaleRange(*scale, horizontal);
        return true;
    }
    if (auto* autoScale = dynamic_cast<MsgAutoScale*>(&message)) {
        if (!ScaleOf(autoScale->value, horizontal)) {
            return false;
        }
        if (horizontal) {
            const auto [minimum, maximum] = Drawer::GetXHomeExtent();
            Drawer::SetDomain(minimum, maximum);
        } else {
            const auto [minimum, maximum] = Drawer::GetYHomeExtent();
            Drawer::SetRange(minimum, maximum);
        }
        return true;
    }
    return false;
}

template class Graph2DWindowBase<Graph2DDrawer>;

Graph2DWindow::Graph2DWindow(owl::TWindow* parent, owl::TModule* module) : Graph2DWindowBase<Graph2DDrawer>(parent, module)
{
    xScale_ = new GraphDragScaleWindow(this, 110035, kXScaleId, 0, -1);
    yScale_ = new GraphDragScaleWindow(this, 110032, kYScaleId, 0, -1);
    xScale_->AddReceiver(this);
    yScale_->AddReceiver(this);
    SetGraticule(new GraphGraticule(GetDisplayInfo(), xScale_->GetScaleControl(), yScale_->GetScaleControl()));
}

void Graph2DWindow::EvLButtonDown(owl::uint modKeys, const owl::TPoint& point) { OnLButtonDown(modKeys, point); }

void Graph2DWindow::EvLButtonUp(owl::uint modKeys, const owl::TPoint& point) { OnLButtonUp(modKeys, point); }

void Graph2DWindow::EvMouseMove(owl::uint modKeys, const owl::TPoint& point)
{
    ArmLeaveTracking();
    OnWindowMouseMove(modKeys, point);
}

namespace {

// The key of a setting id, or none.
platform::ComPtr<IUnknown> KeyOf(IHostSettingsStore& store, DWORD id)
{
    IUnknown* key = nullptr;
    if (FAILED(store.MakeKey(id, 0, &key))) {
        return {};
    }
    return platform::ComPtr<IUnknown>::Adopt(key);
}

} // namespace

bool ReadDisplayAttributes(DisplayAttributes& attributes)
{
    IHostSettingsStore* store = nullptr;
    try {
        store = CAF::GetHostSettingsStore();
    } catch (...) {
        store = nullptr; // no framework: nothing to read with
    }
    platform::ComPtr<IPropertySource> source;
    if (!store || !attributes.source ||
        FAILED(attributes.source->QueryInterface(IID_IPropertySource, source.OutVoid())) || !source) {
        return false;
    }
    LONG integer = 0;
    if (const auto key = KeyOf(*store, 0x800C000C); key && SUCCEEDED(source->GetInteger(key.Get(), &integer))) {
        attributes.count = integer == 0 ? 1 : integer;
    }
    if (const auto key = KeyOf(*store, 0x800C000D); key && SUCCEEDED(source->GetInteger(key.Get(), &integer))) {
        constexpr LONG length = static_cast<LONG>(KVO::kBasicColours.size());
        // A negative index counts from the table's end instead of reading before it.
        attributes.colour1 = KVO::kBasicColours[static_cast<std::size_t>(((integer % length) + length) % length)];
    }
    if (const auto key = KeyOf(*store, 0x800C000A); key && SUCCEEDED(source->GetInteger(key.Get(), &integer))) {
        attributes.colour2 = KVO::GetDefaultTraceColor(attributes.colours, static_cast<WORD>(integer));
    }
    if (const auto key = KeyOf(*store, 0x800C000B); key) {
        source->GetWord(key.Get(), &attributes.value1);
    }
    if (const auto key = KeyOf(*store, 0x800C000E); key) {
        source->GetDword(key.Get(), &attributes.value2);
    }
    if (const auto key = KeyOf(*store, 0x800C0009); key) {
        source->GetWord(key.Get(), &attributes.value3);
    }
    return true;
}

} // namespace MGraph1
