// Slots of host interfaces that the module never calls. Each keeps its place so that the operations after it hold
// the slot numbers both sides agree on; an implementation that does not override one answers E_NOTIMPL.
#pragma once

#include "platform/win/wintypes.h"

#define SDK_UNUSED_SLOT(n) \
    virtual HRESULT UnusedSlot##n() { return E_NOTIMPL; }
