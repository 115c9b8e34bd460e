// An ILockBytes over bytes in memory, with failures that tests can inject: failing or short writes, a crash that
// freezes the bytes at a chosen write, failing flushes and size changes.
#pragma once

#include "platform/com/memstream.h"
#include "platform/com/storage.h"

#include <functional>
#include <vector>

namespace platform {

struct MemoryLockBytesFaults {
    FaultRule read{0, 1, STG_E_READFAULT};       // fails moving no bytes
    FaultRule write{0, 1, STG_E_WRITEFAULT};     // fails storing no bytes
    FaultRule flush{0, 1, STG_E_WRITEFAULT};
    FaultRule setSize{0, 1, STG_E_MEDIUMFULL};
    FaultRule stat{0, 1, STG_E_ACCESSDENIED};
    FaultRule shortWrite{0, 1, S_OK};            // stores half its bytes (rounded down) and succeeds
    ULONG writeChunk = 0; // > 0: each write stores at most this many bytes and still succeeds (a short write)
    // The crash: write number `crashAtWrite` (counting from 1; 0 never) stores only its first `tornBytes` bytes and
    // fails; from then on every write, size change and flush fails and the bytes stay as they were at the crash.
    unsigned crashAtWrite = 0;
    ULONG tornBytes = 0;
    // The size of the medium: a write reaching past it stores what fits and fails with STG_E_MEDIUMFULL.
    ULONGLONG capacity = 0x7FFFFFFFFFFFull;
};

struct MemoryLockBytesCalls {
    unsigned read = 0;
    unsigned write = 0;
    unsigned flush = 0;
    unsigned setSize = 0;
    unsigned stat = 0;
};

// Writes past the end fill the gap with zeros; reads past the end are short and succeed.
class MemoryLockBytes final : public UnknownImpl<ILockBytes> {
public:
    static ComPtr<MemoryLockBytes> Create(std::vector<BYTE> data = {});

    HRESULT ReadAt(ULARGE_INTEGER ulOffset, void* pv, ULONG cb, ULONG* pcbRead) override;
    HRESULT WriteAt(ULARGE_INTEGER ulOffset, const void* pv, ULONG cb, ULONG* pcbWritten) override;
    HRESULT Flush() override;
    HRESULT SetSize(ULARGE_INTEGER cb) override;
    HRESULT LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
    HRESULT UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
    HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;

    const std::vector<BYTE>& Data() const { return data_; }
    void SetData(std::vector<BYTE> data) { data_ = std::move(data); }
    bool Crashed() const { return crashed_; }

    MemoryLockBytesFaults& Faults() { return faults_; }
    const MemoryLockBytesCalls& Calls() const { return calls_; }
    // Called after every write that stored bytes, with its offset and length.
    void OnWrite(std::function<void(ULONGLONG offset, ULONG count)> listener) { onWrite_ = std::move(listener); }

private:
    explicit MemoryLockBytes(std::vector<BYTE> data) : UnknownImpl(IID_ILockBytes), data_(std::move(data)) {}
    ~MemoryLockBytes() override = default;

    std::vector<BYTE> data_;
    bool crashed_ = false;
    MemoryLockBytesFaults faults_;
    MemoryLockBytesCalls calls_;
    std::function<void(ULONGLONG, ULONG)> onWrite_;
};

} // namespace platform
