// Copying bytes into a stream chunk by chunk, for the CopyTo operations of the streams and storages.
#pragma once

#include "platform/com/objidl.h"

#include <functional>

namespace platform {

// Gives up to `size` bytes into `buffer` and moves on by what it gave; 0 bytes at the end of the source.
using ChunkReader = std::function<HRESULT(void* buffer, ULONG size, ULONG* read)>;

// Copies up to `count` bytes from `read` to `destination`; stops at the end of the source. A destination that
// takes fewer bytes than it was given fails the copy with STG_E_MEDIUMFULL. The totals (optional) are always set.
HRESULT CopyChunks(const ChunkReader& read, IStream* destination, ULONGLONG count, ULARGE_INTEGER* totalRead,
                   ULARGE_INTEGER* totalWritten);

} // namespace platform
