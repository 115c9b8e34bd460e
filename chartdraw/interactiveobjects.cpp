#include "chartdraw/interactiveobjects.h"

namespace ChartDraw {

HRESULT InteractiveObjectContainer::AddInteractiveObject(IInteractiveObject* object, LONG key)
{
    if (!object) {
        return E_POINTER;
    }
    objects_[key] = platform::ComPtr<IInteractiveObject>(object);
    platform::ComPtr<IInteractiveObjectEx> second;
    if (SUCCEEDED(object->QueryInterface(IID_IInteractiveObjectEx, second.OutVoid())) && second) {
        seconds_[key] = std::move(second);
    } else {
        seconds_.erase(key);
    }
    return S_OK;
}

HRESULT InteractiveObjectContainer::AddInteractiveObjectAndRelease(IInteractiveObject* object, LONG key)
{
    const HRESULT hr = AddInteractiveObject(object, key);
    if (object) {
        object->Release();
    }
    return hr;
}

HRESULT InteractiveObjectContainer::LoadObjects(IStream* stream) const
{
    for (const auto& [key, object] : objects_) {
        if (const HRESULT hr = object->Load(stream); FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

HRESULT InteractiveObjectContainer::SaveObjects(IStream* stream) const
{
    for (const auto& [key, object] : objects_) {
        if (const HRESULT hr = object->Save(stream); FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

} // namespace ChartDraw
