#include "graph/mgraph1/dragscale.h"

#include "graph/mgraph1/graph2ddrawer.h"

#include <cfloat>

namespace MGraph1 {

CDragScale::CDragScale(owl::TWindow* parent, LONG kind, LONG id, LONG value1, LONG value2)
    : owl::TWindow(parent), kind_(kind), id_(id), value1_(value1), value2_(value2)
{
    Attr.Id = id;
}

CDragScale::~CDragScale() { DropControl(); }

void CDragScale::DestroyControlWindow()
{
    if (Handle) {
        const HWND window = Handle;
        DetachHandle();
        ::DestroyWindow(window);
    }
}

void CDragScale::DropControl()
{
    DestroyControlWindow();
    control_.Reset();
}

bool CDragScale::Create()
{
    DropControl();
    const platform::ComPtr<IGraphHostService> service(GetSharedHostService());
    if (!service) {
        return false;
    }
    IScaleControl* made = nullptr;
    const HWND parent = Parent ? Parent->GetHandle() : nullptr;
    if (FAILED(service->CreateScaleControl(parent, value1_, value2_, kind_, id_, &made)) || !made) {
        return false;
    }
    control_ = platform::ComPtr<IScaleControl>::Adopt(made);
    HWND window = nullptr;
    if (FAILED(control_->GetWindowHandle(&window)) || !window) {
        control_.Reset();
        return false;
    }
    AttachHandle(window);
    Attr.Style = static_cast<owl::uint32>(::GetWindowLongPtrW(window, GWL_STYLE));
    SetFlag(owl::wfAlias | owl::wfFullyCreated);
    return true;
}

int GraphDragScale::BeginDrag(LONG value)
{
    MsgBeginDrag notice(value);
    Send(notice);
    return 0;
}

int GraphDragScale::EndDrag(LONG value)
{
    MsgEndDrag notice(value);
    Send(notice);
    return 0;
}

void GraphDragScale::GetRange(double& minimum, double& maximum)
{
    minimum = 0.0;
    maximum = 1.0;
}

GraphDragScaleWindow::GraphDragScaleWindow(owl::TWindow* parent, LONG kind, LONG id, LONG value1, LONG value2)
    : CDragScale(parent, kind, id, value1, value2)
{
    Attr.Style |= WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
}

GraphDragScaleWindow::~GraphDragScaleWindow()
{
    StopObserving();
    // The window goes first, then the companion, then the control.
    DestroyControlWindow();
    companion_.reset();
    control_.Reset();
}

void GraphDragScaleWindow::StopObserving()
{
    if (registered_ && control_) {
        control_->UnregisterObserver(this);
    }
    registered_ = false;
}

bool GraphDragScaleWindow::Create()
{
    StopObserving();
    if (!CDragScale::Create()) {
        return false;
    }
    registered_ = SUCCEEDED(control_->RegisterObserver(this));
    return true;
}

int GraphDragScaleWindow::ScalingChanged(LONG first, LONG, const double* pixelTransform)
{
    double scaling[2] = {1.0, 0.0};
    if (control_) {
        control_->GetScaling(scaling, nullptr);
    }
    MsgScalingChanged notice(pixelTransform, scaling, first);
    Send(notice);
    return 0;
}

int GraphDragScaleWindow::AutoScale(LONG value)
{
    MsgAutoScale notice(value);
    Send(notice);
    return 0;
}

void GraphDragScaleWindow::GetRange(double& minimum, double& maximum)
{
    double extent[2] = {DBL_MAX, -DBL_MAX};
    if (control_) {
        control_->GetExtent(extent);
    }
    minimum = extent[1];
    maximum = extent[0];
}

HRESULT GraphDragScaleWindow::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IDragScaleObserver) {
        *out = static_cast<IDragScaleObserver*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT GraphDragScaleWindow::OnBeginDrag(LONG scaleId)
{
    BeginDrag(scaleId);
    return 0;
}

HRESULT GraphDragScaleWindow::OnEndDrag(LONG scaleId)
{
    EndDrag(scaleId);
    return 0;
}

HRESULT GraphDragScaleWindow::OnScalingChanged(LONG scaleId, LONG reserved, const double* pixelTransform)
{
    ScalingChanged(scaleId, reserved, pixelTransform);
    return 0;
}

HRESULT GraphDragScaleWindow::OnAutoScale(LONG scaleId)
{
    AutoScale(scaleId);
    return 0;
}

} // namespace MGraph1
