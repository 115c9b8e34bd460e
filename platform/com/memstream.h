// An IStream over bytes in memory, with failures that tests (and the host's document persistence tests) can inject.
#pragma once

#include "platform/com/objidl.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Which calls of one operation fail: counting that operation's calls from 1, calls at, at + 1, ... fail with
// `error`, `count` of them (0: every call from `at` on). `at` 0 never fails.
struct FaultRule {
    unsigned at = 0;
    unsigned count = 1;
    HRESULT error = E_FAIL;

    bool Hits(unsigned call) const { return at != 0 && call >= at && (count == 0 || call - at < count); }
};

struct MemoryStreamFaults {
    FaultRule read{0, 1, STG_E_READFAULT};         // fails moving no bytes
    FaultRule write{0, 1, STG_E_WRITEFAULT};       // fails storing no bytes
    FaultRule seek{0, 1, STG_E_INVALIDFUNCTION};   // fails leaving the position
    FaultRule setSize{0, 1, STG_E_MEDIUMFULL};
    FaultRule stat{0, 1, STG_E_ACCESSDENIED};
    FaultRule commit{0, 1, STG_E_MEDIUMFULL};
    ULONG readChunk = 0;  // > 0: each Read moves at most this many bytes and still succeeds (a short read)
    ULONG writeChunk = 0; // > 0: each Write stores at most this many bytes and still succeeds (a short write)
    // The size of the medium: a write reaching past it stores what fits and fails with STG_E_MEDIUMFULL.
    ULONGLONG capacity = 0x7FFFFFFF;
};

// How often each operation was called (failed calls included).
struct MemoryStreamCalls {
    unsigned read = 0;
    unsigned write = 0;
    unsigned seek = 0;
    unsigned setSize = 0;
    unsigned stat = 0;
    unsigned commit = 0;
};

// Seek positions may lie past the end; a write there fills the gap with zeros. Clones share the bytes but have their
// own position, faults and counters. The access bits of the mode are enforced (STG_E_ACCESSDENIED) and reported by
// Stat. Locking regions is not supported (STG_E_INVALIDFUNCTION), as with the system's memory streams.
class MemoryStream final : public IStream {
public:
    static ComPtr<MemoryStream> Create(DWORD mode = STGM_READWRITE);
    static ComPtr<MemoryStream> Create(std::vector<BYTE> data, DWORD mode = STGM_READWRITE);

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

    const std::vector<BYTE>& Data() const { return *data_; }
    void SetData(std::vector<BYTE> data) { *data_ = std::move(data); }
    ULONGLONG Position() const { return position_; }
    // The name that Stat reports (none by default).
    void SetName(std::u16string name) { name_ = std::move(name); }

    MemoryStreamFaults& Faults() { return faults_; }
    const MemoryStreamCalls& Calls() const { return calls_; }
    LONG RefCountValue() const { return refs_.Value(); }

private:
    MemoryStream(std::shared_ptr<std::vector<BYTE>> data, DWORD mode);
    ~MemoryStream() = default;

    bool CanRead() const;
    bool CanWrite() const;

    RefCount refs_;
    std::shared_ptr<std::vector<BYTE>> data_;
    DWORD mode_;
    ULONGLONG position_ = 0;
    std::u16string name_;
    MemoryStreamFaults faults_;
    MemoryStreamCalls calls_;
};

} // namespace platform
