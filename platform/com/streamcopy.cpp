#include "platform/com/streamcopy.h"

#include <algorithm>
#include <vector>

namespace platform {

HRESULT CopyChunks(const ChunkReader& read, IStream* destination, ULONGLONG count, ULARGE_INTEGER* totalRead,
                   ULARGE_INTEGER* totalWritten)
{
    ULONGLONG readSoFar = 0;
    ULONGLONG writtenSoFar = 0;
    HRESULT hr = destination ? S_OK : STG_E_INVALIDPOINTER;
    std::vector<BYTE> chunk(destination ? 0x8000 : 0);
    while (SUCCEEDED(hr) && readSoFar < count) {
        ULONG got = 0;
        hr = read(chunk.data(), static_cast<ULONG>(std::min<ULONGLONG>(count - readSoFar, chunk.size())), &got);
        if (FAILED(hr) || got == 0) {
            break;
        }
        readSoFar += got;
        ULONG put = 0;
        hr = destination->Write(chunk.data(), got, &put);
        writtenSoFar += put;
        if (SUCCEEDED(hr) && put != got) {
            hr = STG_E_MEDIUMFULL;
        }
    }
    if (totalRead) {
        totalRead->QuadPart = readSoFar;
    }
    if (totalWritten) {
        totalWritten->QuadPart = writtenSoFar;
    }
    return FAILED(hr) ? hr : S_OK;
}

} // namespace platform
