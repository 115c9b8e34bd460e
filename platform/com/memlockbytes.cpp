#include "platform/com/memlockbytes.h"


#include <algorithm>
#include <cstring>
#include <new>

namespace platform {

ComPtr<MemoryLockBytes> MemoryLockBytes::Create(std::vector<BYTE> data)
{
    return ComPtr<MemoryLockBytes>(new MemoryLockBytes(std::move(data)));
}

HRESULT MemoryLockBytes::ReadAt(ULARGE_INTEGER ulOffset, void* pv, ULONG cb, ULONG* pcbRead)
{
    ++calls_.read;
    if (pcbRead) {
        *pcbRead = 0;
    }
    if (!pv && cb != 0) {
        return STG_E_INVALIDPOINTER;
    }
    if (faults_.read.Hits(calls_.read)) {
        return faults_.read.error;
    }
    const ULONGLONG offset = ulOffset.QuadPart;
    const ULONGLONG count = offset < data_.size() ? std::min<ULONGLONG>(cb, data_.size() - offset) : 0;
    if (count != 0) {
        std::memcpy(pv, data_.data() + offset, static_cast<std::size_t>(count));
    }
    if (pcbRead) {
        *pcbRead = static_cast<ULONG>(count);
    }
    return S_OK;
}

HRESULT MemoryLockBytes::WriteAt(ULARGE_INTEGER ulOffset, const void* pv, ULONG cb, ULONG* pcbWritten)
{
    ++calls_.write;
    if (pcbWritten) {
        *pcbWritten = 0;
    }
    if (!pv && cb != 0) {
        return STG_E_INVALIDPOINTER;
    }
    if (crashed_) {
        return STG_E_WRITEFAULT;
    }
    HRESULT hr = S_OK;
    ULONGLONG count = cb;
    if (faults_.crashAtWrite != 0 && calls_.write == faults_.crashAtWrite) {
        crashed_ = true;
        count = std::min<ULONGLONG>(count, faults_.tornBytes);
        hr = STG_E_WRITEFAULT;
    } else if (faults_.write.Hits(calls_.write)) {
        return faults_.write.error;
    }
    if (faults_.shortWrite.Hits(calls_.write)) {
        count /= 2;
    }
    if (faults_.writeChunk != 0) {
        count = std::min<ULONGLONG>(count, faults_.writeChunk);
    }
    const ULONGLONG offset = ulOffset.QuadPart;
    const ULONGLONG room = offset < faults_.capacity ? faults_.capacity - offset : 0;
    if (count > room) {
        count = room;
        hr = STG_E_MEDIUMFULL;
    }
    if (count == 0) {
        return hr;
    }
    try {
        if (data_.size() < offset + count) {
            data_.resize(static_cast<std::size_t>(offset + count), 0);
        }
    } catch (const std::bad_alloc&) {
        return STG_E_MEDIUMFULL;
    }
    std::memcpy(data_.data() + offset, pv, static_cast<std::size_t>(count));
    if (pcbWritten) {
        *pcbWritten = static_cast<ULONG>(count);
    }
    if (onWrite_) {
        onWrite_(offset, static_cast<ULONG>(count));
    }
    return hr;
}

HRESULT MemoryLockBytes::Flush()
{
    ++calls_.flush;
    if (crashed_) {
        return STG_E_WRITEFAULT;
    }
    return faults_.flush.Hits(calls_.flush) ? faults_.flush.error : S_OK;
}

HRESULT MemoryLockBytes::SetSize(ULARGE_INTEGER cb)
{
    ++calls_.setSize;
    if (crashed_) {
        return STG_E_WRITEFAULT;
    }
    if (faults_.setSize.Hits(calls_.setSize)) {
        return faults_.setSize.error;
    }
    if (cb.QuadPart > faults_.capacity) {
        return STG_E_MEDIUMFULL;
    }
    try {
        data_.resize(static_cast<std::size_t>(cb.QuadPart), 0);
    } catch (const std::bad_alloc&) {
        return STG_E_MEDIUMFULL;
    }
    return S_OK;
}

HRESULT MemoryLockBytes::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }

HRESULT MemoryLockBytes::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }

HRESULT MemoryLockBytes::Stat(STATSTG* pstatstg, DWORD)
{
    ++calls_.stat;
    if (!pstatstg) {
        return STG_E_INVALIDPOINTER;
    }
    if (faults_.stat.Hits(calls_.stat)) {
        return faults_.stat.error;
    }
    *pstatstg = STATSTG{};
    pstatstg->type = STGTY_LOCKBYTES;
    pstatstg->cbSize.QuadPart = data_.size();
    pstatstg->grfMode = STGM_READWRITE;
    return S_OK;
}

} // namespace platform
