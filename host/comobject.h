// Reference counting of the host's own objects.
#pragma once

#include "platform/com/unknown.h"

#include <initializer_list>

namespace host {

// Objects shared with the module through several interfaces; deleted at the last Release.
class RefCounted {
public:
    RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;
    virtual ~RefCounted() = default;

protected:
    LONG References() const { return count_.Value(); }
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

// One interface of an object for QueryInterface: its id and the object as that interface.
struct InterfaceAnswer {
    const IID* iid;
    IUnknown* object;
};

// The QueryInterface of an object of several interfaces: the first answer whose id is iid (IUnknown is the first
// answer's object), with a reference; else E_NOINTERFACE and null.
inline HRESULT AnswerFrom(std::initializer_list<InterfaceAnswer> answers, REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (answers.size() == 0) {
        return E_NOINTERFACE;
    }
    if (iid == IID_IUnknown) {
        return Answer(answers.begin()->object, out);
    }
    for (const InterfaceAnswer& answer : answers) {
        if (*answer.iid == iid) {
            return Answer(answer.object, out);
        }
    }
    return E_NOINTERFACE;
}

} // namespace host
