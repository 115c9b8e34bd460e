#include "platform/com/memstream.h"

#include "platform/com/oleauto.h"
#include "platform/com/streamcopy.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace platform {

ComPtr<MemoryStream> MemoryStream::Create(DWORD mode)
{
    return Create(std::vector<BYTE>{}, mode);
}

ComPtr<MemoryStream> MemoryStream::Create(std::vector<BYTE> data, DWORD mode)
{
    return ComPtr<MemoryStream>(new MemoryStream(std::make_shared<std::vector<BYTE>>(std::move(data)), mode));
}

MemoryStream::MemoryStream(std::shared_ptr<std::vector<BYTE>> data, DWORD mode) : data_(std::move(data)), mode_(mode)
{
}

HRESULT MemoryStream::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_ISequentialStream || iid == IID_IStream) {
        *out = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG MemoryStream::AddRef() { return refs_.Add(); }

ULONG MemoryStream::Release()
{
    ULONG left = 0;
    if (refs_.Drop(left)) {
        delete this;
    }
    return left;
}

bool MemoryStream::CanRead() const { return (mode_ & STGM_ACCESS_MASK) != STGM_WRITE; }
bool MemoryStream::CanWrite() const { return (mode_ & STGM_ACCESS_MASK) != STGM_READ; }

HRESULT MemoryStream::Read(void* pv, ULONG cb, ULONG* pcbRead)
{
    ++calls_.read;
    if (pcbRead) {
        *pcbRead = 0;
    }
    if (!pv && cb != 0) {
        return STG_E_INVALIDPOINTER;
    }
    if (!CanRead()) {
        return STG_E_ACCESSDENIED;
    }
    if (faults_.read.Hits(calls_.read)) {
        return faults_.read.error;
    }
    const ULONGLONG size = data_->size();
    ULONGLONG count = position_ < size ? std::min<ULONGLONG>(cb, size - position_) : 0;
    if (faults_.readChunk != 0) {
        count = std::min<ULONGLONG>(count, faults_.readChunk);
    }
    if (count != 0) {
        std::memcpy(pv, data_->data() + position_, static_cast<std::size_t>(count));
    }
    position_ += count;
    if (pcbRead) {
        *pcbRead = static_cast<ULONG>(count);
    }
    return S_OK;
}

HRESULT MemoryStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten)
{
    ++calls_.write;
    if (pcbWritten) {
        *pcbWritten = 0;
    }
    if (!pv && cb != 0) {
        return STG_E_INVALIDPOINTER;
    }
    if (!CanWrite()) {
        return STG_E_ACCESSDENIED;
    }
    if (faults_.write.Hits(calls_.write)) {
        return faults_.write.error;
    }
    ULONGLONG count = cb;
    if (faults_.writeChunk != 0) {
        count = std::min<ULONGLONG>(count, faults_.writeChunk);
    }
    HRESULT hr = S_OK;
    const ULONGLONG capacity = std::min<ULONGLONG>(faults_.capacity, 0x7FFFFFFF);
    const ULONGLONG room = position_ < capacity ? capacity - position_ : 0;
    if (count > room) {
        count = room;
        hr = STG_E_MEDIUMFULL;
    }
    if (count == 0) {
        return hr;
    }
    try {
        if (data_->size() < position_ + count) {
            data_->resize(static_cast<std::size_t>(position_ + count), 0);
        }
    } catch (const std::bad_alloc&) {
        return STG_E_MEDIUMFULL;
    }
    std::memcpy(data_->data() + position_, pv, static_cast<std::size_t>(count));
    position_ += count;
    if (pcbWritten) {
        *pcbWritten = static_cast<ULONG>(count);
    }
    return hr;
}

HRESULT MemoryStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition)
{
    ++calls_.seek;
    if (faults_.seek.Hits(calls_.seek)) {
        return faults_.seek.error;
    }
    LONGLONG origin = 0;
    switch (dwOrigin) {
    case STREAM_SEEK_SET:
        origin = 0;
        break;
    case STREAM_SEEK_CUR:
        origin = static_cast<LONGLONG>(position_);
        break;
    case STREAM_SEEK_END:
        origin = static_cast<LONGLONG>(data_->size());
        break;
    default:
        return STG_E_INVALIDFUNCTION;
    }
    const LONGLONG move = dlibMove.QuadPart;
    if ((move > 0 && origin > std::numeric_limits<LONGLONG>::max() - move) || origin + move < 0) {
        return STG_E_INVALIDFUNCTION;
    }
    position_ = static_cast<ULONGLONG>(origin + move);
    if (plibNewPosition) {
        plibNewPosition->QuadPart = position_;
    }
    return S_OK;
}

HRESULT MemoryStream::SetSize(ULARGE_INTEGER libNewSize)
{
    ++calls_.setSize;
    if (!CanWrite()) {
        return STG_E_ACCESSDENIED;
    }
    if (faults_.setSize.Hits(calls_.setSize)) {
        return faults_.setSize.error;
    }
    if (libNewSize.QuadPart > std::min<ULONGLONG>(faults_.capacity, 0x7FFFFFFF)) {
        return STG_E_MEDIUMFULL;
    }
    try {
        data_->resize(static_cast<std::size_t>(libNewSize.QuadPart), 0);
    } catch (const std::bad_alloc&) {
        return STG_E_MEDIUMFULL;
    }
    return S_OK;
}

HRESULT MemoryStream::CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten)
{
    return CopyChunks([this](void* buffer, ULONG size, ULONG* read) { return Read(buffer, size, read); }, pstm,
                      cb.QuadPart, pcbRead, pcbWritten);
}

HRESULT MemoryStream::Commit(DWORD)
{
    ++calls_.commit;
    return faults_.commit.Hits(calls_.commit) ? faults_.commit.error : S_OK;
}

HRESULT MemoryStream::Revert() { return S_OK; }

HRESULT MemoryStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }

HRESULT MemoryStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }

HRESULT MemoryStream::Stat(STATSTG* pstatstg, DWORD grfStatFlag)
{
    ++calls_.stat;
    if (!pstatstg) {
        return STG_E_INVALIDPOINTER;
    }
    if (faults_.stat.Hits(calls_.stat)) {
        return faults_.stat.error;
    }
    *pstatstg = STATSTG{};
    pstatstg->type = STGTY_STREAM;
    pstatstg->cbSize.QuadPart = data_->size();
    pstatstg->grfMode = mode_;
    if (!(grfStatFlag & STATFLAG_NONAME) && !name_.empty()) {
        const std::size_t bytes = (name_.size() + 1) * sizeof(char16_t);
        auto* name = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!name) {
            return STG_E_INSUFFICIENTMEMORY;
        }
        std::memcpy(name, name_.c_str(), bytes);
        pstatstg->pwcsName = name;
    }
    return S_OK;
}

HRESULT MemoryStream::Clone(IStream** ppstm)
{
    if (!ppstm) {
        return STG_E_INVALIDPOINTER;
    }
    auto* clone = new MemoryStream(data_, mode_);
    clone->position_ = position_;
    clone->name_ = name_;
    clone->AddRef();
    *ppstm = clone;
    return S_OK;
}

} // namespace platform
