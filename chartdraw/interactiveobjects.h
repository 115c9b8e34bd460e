// The objects that a chart pane's user lays over it (markers and the like) and the keyed container through which
// the pane tells all of them what happens to it.
#pragma once

#include "platform/com/objidl.h"
#include "platform/com/unknown.h"
#include "platform/win/windef.h"
#include "sdk/charttimebase.h"

#include <map>

namespace ChartDraw {

// What a pane tells the objects over it. Every operation is a notice: the object decides what it means.
struct IInteractiveObject : IUnknown {
    virtual HRESULT OnTimeBaseChanged(IChartTimeBase* timeBase) = 0;                      // 3
    virtual HRESULT OnAttached() = 0;                                                      // 4
    // 5: the data area without the time scale; `handled` is set when the object laid the lanes out itself.
    virtual HRESULT Layout(const RECT* rect, BOOL* handled) = 0;
    virtual HRESULT OnLaneMoved(LONG index, const RECT* rect) = 0;                        // 6
    // 7: the window's mouse and key messages; `handled` is set when the object took the message.
    virtual HRESULT OnInput(UINT message, WPARAM wParam, LPARAM lParam, BOOL* handled) = 0;
    virtual HRESULT Redraw(LONG value) = 0;                                                // 8
    virtual HRESULT OnLanesChanged(LONG count) = 0;                                        // 9
    virtual HRESULT BeforePaint() = 0;                                                     // 10
    virtual HRESULT Paint(HDC dc, const RECT* rect) = 0;                                   // 11
    virtual HRESULT OnScrollRangeChanged() = 0;                                            // 12
    virtual HRESULT BeforeScroll() = 0;                                                    // 13
    virtual HRESULT AfterScroll(LONGLONG pixels, DWORD kind) = 0;                         // 14
    virtual HRESULT OnSamplingStarted(DWORD value) = 0;                                    // 15
    virtual HRESULT OnDataArrived() = 0;                                                   // 16
    virtual HRESULT OnSamplingEnded() = 0;                                                 // 17
    virtual HRESULT Load(IStream* stream) = 0;                                             // 18
    virtual HRESULT Save(IStream* stream) = 0;                                             // 19
    virtual HRESULT OnChannelAttached(LONG index) = 0;                                     // 20
    virtual HRESULT OnChannelRemoved(LONG index) = 0;                                      // 21
    virtual HRESULT OnPoint(LONG a, LONG b, LONG c) = 0;                                   // 22
    virtual HRESULT OnNoticeWithHandled(LONG a, LONG b, BOOL* handled) = 0;               // 23
    virtual HRESULT OnNotice() = 0;                                                        // 24

protected:
    ~IInteractiveObject() = default;
};
// {B2E4A917-3C58-4F06-9D1A-6E70C3F285B4}
inline constexpr IID IID_IInteractiveObject{0xB2E4A917, 0x3C58, 0x4F06, {0x9D, 0x1A, 0x6E, 0x70, 0xC3, 0xF2, 0x85, 0xB4}};

// The second face of an interactive object. The pane keeps it, under the object's key, for the objects that have
// one; it adds nothing to the broadcasts.
struct IInteractiveObjectEx : IUnknown {
protected:
    ~IInteractiveObjectEx() = default;
};
// {6A3C9E14-D258-4B71-8F0E-2C9B47A1D563}
inline constexpr IID IID_IInteractiveObjectEx{
    0x6A3C9E14, 0xD258, 0x4B71, {0x8F, 0x0E, 0x2C, 0x9B, 0x47, 0xA1, 0xD5, 0x63}};

// The pane's objects by key; each entry holds one reference. Broadcasts walk the keys in order and call every
// object, whatever the earlier ones answered.
class InteractiveObjectContainer {
public:
    // A second object under a key that is taken replaces the first.
    HRESULT AddInteractiveObject(IInteractiveObject* object, LONG key);
    // Adds, then drops the caller's reference.
    HRESULT AddInteractiveObjectAndRelease(IInteractiveObject* object, LONG key);
    std::size_t ObjectCount() const { return objects_.size(); }
    void RemoveAllObjects()
    {
        seconds_.clear();
        objects_.clear();
    }
    // The second face of the object under a key (not referenced), or null.
    IInteractiveObjectEx* SecondInterface(LONG key) const
    {
        const auto found = seconds_.find(key);
        return found == seconds_.end() ? nullptr : found->second.Get();
    }

    // Calls one operation of every object in key order.
    template <class Call>
    void Broadcast(Call&& call) const
    {
        for (const auto& [key, object] : objects_) {
            call(*object.Get());
        }
    }
    // As Broadcast, for the notices with a handled flag: true when any object took it.
    template <class Call>
    bool BroadcastHandled(Call&& call) const
    {
        bool anyHandled = false;
        Broadcast([&](IInteractiveObject& object) {
            BOOL handled = FALSE;
            call(object, &handled);
            anyHandled = anyHandled || handled;
        });
        return anyHandled;
    }
    // Load and save stop at the first object that fails and give its result.
    HRESULT LoadObjects(IStream* stream) const;
    HRESULT SaveObjects(IStream* stream) const;

protected:
    ~InteractiveObjectContainer() = default;

private:
    std::map<LONG, platform::ComPtr<IInteractiveObject>> objects_;
    // The same keys, for the objects that answer IID_IInteractiveObjectEx; one reference each.
    std::map<LONG, platform::ComPtr<IInteractiveObjectEx>> seconds_;
};

} // namespace ChartDraw
