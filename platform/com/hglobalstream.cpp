#include "platform/com/hglobalstream.h"

#include "platform/com/memstream.h"
#include "platform/win/globalmem.h"

#include <cstring>

HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream)
{
    if (!stream) {
        return E_INVALIDARG;
    }
    *stream = nullptr;
    std::vector<BYTE> bytes;
    if (block) {
        const void* data = GlobalLock(block);
        if (!data) {
            return E_INVALIDARG;
        }
        bytes.resize(GlobalSize(block));
        std::memcpy(bytes.data(), data, bytes.size());
        GlobalUnlock(block);
        if (deleteOnRelease) {
            GlobalFree(block);
        }
    }
    *stream = platform::MemoryStream::Create(std::move(bytes)).Detach();
    return S_OK;
}
