// The byte container of a compound file on a file of its own, created new and removed when the container goes.
#pragma once

#include "foundation/comobject.h"
#include "foundation/xkvo.h"
#include "platform/win/files.h"
#include "sdk/ikvostorage.h"

namespace KVO {
// The container's file could not be created.
class XLockBytesCreate : public XKVO {
public:
    XLockBytesCreate(HRESULT hr, const String& fileName) : XKVO(fileName, hr), fileName_(fileName) {}
    const String& FileName() const { return fileName_; }

private:
    String fileName_;
};
}

namespace FileLockBytesImpl {

// The critical section of CComObjectRoot is not used: the storage's own mutex guards every call.
class FileLockBytes final : public IKVOLockBytes, public KVO::CComObjectRoot {
public:
    // STGM_DELETEONRELEASE | STGM_TRANSACTED | STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE.
    static constexpr DWORD kMode = 0x04011012;
    // Bit 30: on a full disk, ask the user whether to retry. Bit 28 (clear): the file is not deleted by name when
    // the container goes; closing the handle removes it.
    static constexpr DWORD kFlags = 0x4000000F;
    static constexpr DWORD kAskOnDiskFull = 0x40000000;

    // Creates the file (replacing one of that name), opened for reading and writing, unshared, removed on close.
    // Throws KVO::XLockBytesCreate when it cannot be created.
    explicit FileLockBytes(LPCWSTR fileName);
    FileLockBytes(const FileLockBytes&) = delete;
    FileLockBytes& operator=(const FileLockBytes&) = delete;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT ReadAt(ULARGE_INTEGER ulOffset, void* pv, ULONG cb, ULONG* pcbRead) override;
    HRESULT WriteAt(ULARGE_INTEGER ulOffset, const void* pv, ULONG cb, ULONG* pcbWritten) override;
    HRESULT Flush() override;
    HRESULT SetSize(ULARGE_INTEGER cb) override;
    HRESULT LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
    HRESULT UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
    HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;

    HRESULT CanCopyRanges() override;
    HRESULT GetExtensionObject(IUnknown** out) override;
    HRESULT Notify(ULONG_PTR argument) override;

    const KVO::String& FileName() const { return name_; }

private:
    ~FileLockBytes() override;
    // Moves the file position when it differs from `offset`.
    HRESULT SeekTo(ULONGLONG offset);
    // Asks the user to free disk space; true when the write is to be repeated.
    bool AskToRetryOnFullDisk() const noexcept;

    KVO::String name_;
    DWORD mode_ = kMode;
    DWORD flags_ = kFlags;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    ULONGLONG position_ = 0;
};

} // namespace FileLockBytesImpl
