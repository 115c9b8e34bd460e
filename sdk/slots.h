// Slots of host interfaces that the module never calls. Each keeps its place so that the operations after it hold
// the slot numbers both sides agree on; an implementation that does not override one answers E_NOTIMPL.
#pragma once

#include "platform/win/wintypes.h"

#define SDK_UNUSED_SLOT(n) \
    virtual HRESULT UnusedSlot##n() { return E_NOTIMPL; }

// The ten unused slots d0 to d9 (d = 1 gives slots 10 to 19).
#define SDK_UNUSED_SLOT_DECADE(d)                                                                                  \
    SDK_UNUSED_SLOT(d##0) SDK_UNUSED_SLOT(d##1) SDK_UNUSED_SLOT(d##2) SDK_UNUSED_SLOT(d##3) SDK_UNUSED_SLOT(d##4) \
    SDK_UNUSED_SLOT(d##5) SDK_UNUSED_SLOT(d##6) SDK_UNUSED_SLOT(d##7) SDK_UNUSED_SLOT(d##8) SDK_UNUSED_SLOT(d##9)
