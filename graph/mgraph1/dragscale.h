// The scales beside a 2-D graph's axes: host scale controls shown as OWL windows, on which the user drags to shift
// or stretch an axis. What the control reports goes out again as the graph library's notices.
#pragma once

#include "graph/mgraph1/messages.h"

#include "platform/com/unknown.h"
#include "platform/owl/window.h"
#include "sdk/scalecontrol.h"

#include <memory>

namespace MGraph1 {

// An object that a drag scale window owns beside its control and deletes once its window is gone.
class DragScaleCompanion {
public:
    virtual ~DragScaleCompanion() = default;
};

// The OWL side of a host scale control: Create makes the control through the shared service and takes over its
// window. Creation fails cleanly (false, no control) when the host cannot make one or it has no window.
class CDragScale : public owl::TWindow {
public:
    CDragScale(owl::TWindow* parent, LONG kind, LONG id, LONG value1 = 0, LONG value2 = -1);
    ~CDragScale() override;

    bool Create() override;
    IScaleControl* Control() const { return control_.Get(); }

protected:
    // Lets go of the control's window (destroying it) and of the control.
    void DropControl();
    void DestroyControlWindow();

    platform::ComPtr<IScaleControl> control_;
    LONG kind_;
    LONG id_;
    LONG value1_;
    LONG value2_;
};

// The notice side of a drag scale.
class GraphDragScale : public MessSys::MessageSender {
public:
    ~GraphDragScale() override = default;
    virtual int BeginDrag(LONG value);
    virtual int EndDrag(LONG value);
    virtual int ScalingChanged(LONG first, LONG second, const double* pixelTransform) = 0;
    virtual int AutoScale(LONG) { return 0; }
    virtual int Reserved() { return 0; }
    virtual void GetRange(double& minimum, double& maximum);
    virtual bool IsEnabled() const { return false; }
    virtual IScaleControl* GetScaleControl() const { return nullptr; }
};

// A drag scale in a window: it observes its control while the window exists.
class GraphDragScaleWindow : public GraphDragScale, public CDragScale, public IDragScaleObserver {
public:
    GraphDragScaleWindow(owl::TWindow* parent, LONG kind, LONG id, LONG value1 = 0, LONG value2 = -1);
    ~GraphDragScaleWindow() override;

    bool Create() override;

    int ScalingChanged(LONG first, LONG second, const double* pixelTransform) override;
    int AutoScale(LONG value) override;
    void GetRange(double& minimum, double& maximum) override;
    bool IsEnabled() const override { return true; }
    IScaleControl* GetScaleControl() const override { return control_.Get(); }

    // IDragScaleObserver: references are not counted; the window lives as long as its owner keeps it.
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT OnBeginDrag(LONG scaleId) override;
    HRESULT OnEndDrag(LONG scaleId) override;
    HRESULT OnScalingChanged(LONG scaleId, LONG reserved, const double* pixelTransform) override;
    HRESULT OnAutoScale(LONG scaleId) override;
    HRESULT GetDataRange(LONG, double*, WORD*) override { return 0; }

    bool IsObserving() const { return registered_; }
    // Hands over the companion; a previous one is deleted at once.
    void SetCompanion(std::unique_ptr<DragScaleCompanion> companion) { companion_ = std::move(companion); }
    DragScaleCompanion* Companion() const { return companion_.get(); }

private:
    void StopObserving();

    bool registered_ = false;
    std::unique_ptr<DragScaleCompanion> companion_;
};

} // namespace MGraph1
