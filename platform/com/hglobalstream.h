// A stream over a global memory block, as GDI+ reads pictures from resource bytes.
#pragma once

#include "platform/com/objidl.h"

// The stream reads a copy of the block's bytes taken now; writes stay with the stream. With `deleteOnRelease` the
// block is freed at once (its bytes live on in the stream). A null block gives an empty, growable stream.
HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream);
