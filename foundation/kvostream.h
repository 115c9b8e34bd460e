// A stream element of a compound file. The stream keeps its storage alive and counts itself open on its element,
// so that the element is neither destroyed nor re-created under it.
#pragma once

#include "foundation/comobject.h"
#include "foundation/storageallocator.h"
#include "sdk/ikvostorage.h"

class KVOStream final : public IKVOStream, public KVO::CComObjectRoot {
public:
    // Takes a reference on `storage` and counts itself open on `element`. The caller holds the file's mutex.
    KVOStream(IStorage* storage, Element& element, StorageAllocator& allocator, std::uint64_t position = 0);
    KVOStream(const KVOStream&) = delete;
    KVOStream& operator=(const KVOStream&) = delete;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
    HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override;
    HRESULT SetSize(ULARGE_INTEGER libNewSize) override;
    HRESULT CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) override;
    HRESULT Commit(DWORD grfCommitFlags) override;
    HRESULT Revert() override;
    HRESULT LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
    HRESULT UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
    HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;
    HRESULT Clone(IStream** ppstm) override;

    HRESULT CopyRange(ULARGE_INTEGER source, ULARGE_INTEGER target, ULARGE_INTEGER count) override;
    HRESULT GetExtensionObject(IUnknown** out) override;
    HRESULT GetLockBytes(ILockBytes** out) override;

    // STATSTG of an element as a storage reports it for its children: the name (unless STATFLAG_NONAME), type,
    // size of streams, open mode and class; the times are reported as zero.
    static HRESULT StatElement(const Element& element, STATSTG* out, DWORD flags);

private:
    ~KVOStream() override;

    IStorage* storage_;
    Element& element_;
    StorageAllocator& allocator_;
    std::uint64_t position_;
};
