#include "foundation/comobject.h"

namespace KVO {

CComObjectRoot::~CComObjectRoot()
{
    if (initialised_) {
        DeleteCriticalSection(&section_);
        initialised_ = false;
    }
}

ULONG CComObjectRoot::InternalRelease()
{
    ULONG left = 0;
    if (count_.Drop(left)) {
        delete this;
    }
    return left;
}

HRESULT CComObjectRoot::InternalQueryInterface(void* object, const InterfaceEntry* table, REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!object || !table || !table->iid) {
        return E_NOINTERFACE;
    }
    const InterfaceEntry* found = nullptr;
    if (iid == IID_IUnknown) {
        found = table;
    } else {
        for (const InterfaceEntry* entry = table; entry->iid; ++entry) {
            if (*entry->iid == iid) {
                found = entry;
                break;
            }
        }
    }
    if (!found) {
        return E_NOINTERFACE;
    }
    IUnknown* result = found->cast(object);
    result->AddRef();
    *out = result;
    return S_OK;
}

CRITICAL_SECTION& CComObjectRoot::CriticalSection()
{
    // Two threads may ask for it first at the same time; only one may create it.
    std::call_once(once_, [this] {
        InitializeCriticalSection(&section_);
        initialised_ = true;
    });
    return section_;
}

}
