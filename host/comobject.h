// Reference counting of the host's own objects.
#pragma once

#include "platform/com/unknown.h"

namespace host {

// Objects shared with the module through several interfaces; deleted at the last Release.
class RefCounted {
public:
    RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;
    virtual ~RefCounted() = default;

protected:
    ULONG AddRefCount() { return count_.Add(); }
    ULONG ReleaseCount()
    {
        ULONG left = 0;
        if (count_.Drop(left)) {
            delete this;
        }
        return left;
    }

private:
    platform::RefCount count_;
};

// Services that the host owns for its whole life: the counts are kept for show, never delete.
class HostOwned {
public:
    HostOwned() = default;
    HostOwned(const HostOwned&) = delete;
    HostOwned& operator=(const HostOwned&) = delete;
    LONG References() const { return count_; }

protected:
    ULONG AddRefCount() { return static_cast<ULONG>(InterlockedIncrement(&count_)); }
    ULONG ReleaseCount() { return static_cast<ULONG>(InterlockedDecrement(&count_)); }

private:
    volatile LONG count_ = 0;
};

// The one QueryInterface pattern: answers `out` with `object` and a reference.
template <class I>
HRESULT Answer(I* object, void** out)
{
    *out = object;
    object->AddRef();
    return S_OK;
}

} // namespace host
