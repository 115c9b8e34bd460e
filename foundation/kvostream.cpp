#include "foundation/kvostream.h"

#include "platform/com/oleauto.h"
#include "platform/com/streamcopy.h"

#include <algorithm>
#include <cstring>

KVOStream::KVOStream(IStorage* storage, Element& element, StorageAllocator& allocator, std::uint64_t position)
    : storage_(storage), element_(element), allocator_(allocator), position_(position)
{
    storage_->AddRef();
    ++element_.openCount;
}

KVOStream::~KVOStream()
{
    {
        std::lock_guard lock(allocator_.Mutex());
        --element_.openCount;
    }
    // Last: the storage may take the file with it.
    storage_->Release();
}

HRESULT KVOStream::QueryInterface(REFIID iid, void** out)
{
    static constexpr KVO::InterfaceEntry kInterfaces[] = {
        {&IID_IStream, &KVO::InterfaceCast<KVOStream, IKVOStream>},
        {&IID_ISequentialStream, &KVO::InterfaceCast<KVOStream, IKVOStream>},
        {&IID_IKVOStream, &KVO::InterfaceCast<KVOStream, IKVOStream>},
        {nullptr, nullptr},
    };
    return InternalQueryInterface(this, kInterfaces, iid, out);
}

ULONG KVOStream::AddRef() { return InternalAddRef(); }

ULONG KVOStream::Release() { return InternalRelease(); }

HRESULT KVOStream::Read(void* pv, ULONG cb, ULONG* pcbRead)
{
    return GuardedCall([&] {
        if (pcbRead) {
            *pcbRead = 0;
        }
        if (!pv && cb != 0) {
            return STG_E_INVALIDPOINTER;
        }
        std::lock_guard lock(allocator_.Mutex());
        ULONG read = 0;
        const HRESULT hr = allocator_.Read(element_, position_, pv, cb, &read);
        position_ += read;
        if (pcbRead) {
            *pcbRead = read;
        }
        return hr;
    });
}

HRESULT KVOStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten)
{
    return GuardedCall([&] {
        if (pcbWritten) {
            *pcbWritten = 0;
        }
        if (!pv && cb != 0) {
            return STG_E_INVALIDPOINTER;
        }
        std::lock_guard lock(allocator_.Mutex());
        ULONG written = 0;
        const HRESULT hr = allocator_.Write(element_, position_, pv, cb, &written);
        position_ += written;
        if (pcbWritten) {
            *pcbWritten = written;
        }
        return hr;
    });
}

HRESULT KVOStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition)
{
    return GuardedCall([&] {
        std::lock_guard lock(allocator_.Mutex());
        std::int64_t base = 0;
        switch (dwOrigin) {
        case STREAM_SEEK_SET:
            break;
        case STREAM_SEEK_CUR:
            base = static_cast<std::int64_t>(position_);
            break;
        case STREAM_SEEK_END:
            base = static_cast<std::int64_t>(element_.Size());
            break;
        default:
            return STG_E_INVALIDFUNCTION;
        }
        std::int64_t target = 0;
        if (__builtin_add_overflow(base, dlibMove.QuadPart, &target) || target < 0) {
            return STG_E_INVALIDPOINTER;
        }
        // The position may stand past the end: nothing is allocated until a write fills the gap.
        position_ = static_cast<std::uint64_t>(target);
        if (plibNewPosition) {
            plibNewPosition->QuadPart = position_;
        }
        return S_OK;
    });
}

HRESULT KVOStream::SetSize(ULARGE_INTEGER libNewSize)
{
    return GuardedCall([&] {
        std::lock_guard lock(allocator_.Mutex());
        const HRESULT hr = allocator_.SetSize(element_, libNewSize.QuadPart);
        position_ = std::min(position_, element_.Size());
        return hr;
    });
}

HRESULT KVOStream::CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten)
{
    return GuardedCall([&] {
        std::lock_guard lock(allocator_.Mutex());
        auto read = [this](void* buffer, ULONG size, ULONG* got) {
            const HRESULT hr = allocator_.Read(element_, position_, buffer, size, got);
            position_ += *got;
            return hr;
        };
        return platform::CopyChunks(read, pstm, cb.QuadPart, pcbRead, pcbWritten);
    });
}

HRESULT KVOStream::Commit(DWORD) { return S_OK; }

HRESULT KVOStream::Revert() { return E_NOTIMPL; }

HRESULT KVOStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return E_NOTIMPL; }

HRESULT KVOStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return E_NOTIMPL; }

HRESULT KVOStream::StatElement(const Element& element, STATSTG* out, DWORD flags)
{
    if (!out) {
        return STG_E_INVALIDPOINTER;
    }
    *out = STATSTG{};
    if (!(flags & STATFLAG_NONAME)) {
        constexpr std::size_t kNameBytes = CompoundFile::kNameUnits * sizeof(OLECHAR);
        auto* name = static_cast<OLECHAR*>(CoTaskMemAlloc(kNameBytes));
        if (!name) {
            return STG_E_INSUFFICIENTMEMORY;
        }
        std::memset(name, 0, kNameBytes);
        const std::u16string_view text = element.record.Name();
        std::copy(text.begin(), text.end(), name);
        out->pwcsName = name;
    }
    out->type = element.record.type;
    if (!element.IsStorage()) {
        out->cbSize.QuadPart = element.Size();
    }
    out->grfMode = element.mode;
    out->clsid = element.record.clsid;
    return S_OK;
}

HRESULT KVOStream::Stat(STATSTG* pstatstg, DWORD grfStatFlag)
{
    return GuardedCall([&] {
        std::lock_guard lock(allocator_.Mutex());
        return StatElement(element_, pstatstg, grfStatFlag);
    });
}

HRESULT KVOStream::Clone(IStream** ppstm)
{
    return GuardedCall([&] {
        if (!ppstm) {
            return STG_E_INVALIDPOINTER;
        }
        *ppstm = nullptr;
        std::lock_guard lock(allocator_.Mutex());
        auto* clone = new KVOStream(storage_, element_, allocator_, position_);
        clone->AddRef();
        *ppstm = clone;
        return S_OK;
    });
}

HRESULT KVOStream::CopyRange(ULARGE_INTEGER, ULARGE_INTEGER, ULARGE_INTEGER)
{
    IKVOLockBytes* extension = allocator_.ContainerExtension();
    if (!extension || !extension->CanCopyRanges()) {
        return S_FALSE;
    }
    return E_NOTIMPL; // no container of the module copies ranges
}

HRESULT KVOStream::GetExtensionObject(IUnknown** out) { return allocator_.GetExtensionObject(out); }

HRESULT KVOStream::GetLockBytes(ILockBytes** out) { return allocator_.GetLockBytes(out); }
