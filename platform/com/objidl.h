// Structured storage: byte streams and their constants, declared in COM slot order.
#pragma once

#include "platform/com/unknown.h"

using OLECHAR = char16_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;

// {0C733A30-2A1C-11CE-ADE5-00AA0044773D}
inline constexpr IID IID_ISequentialStream{0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
// {0000000C-0000-0000-C000-000000000046}
inline constexpr IID IID_IStream{0x0000000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Storage and stream modes (grfMode). Bits 0-1 are the access, bits 4-6 the sharing.
inline constexpr DWORD STGM_READ = 0x00000000;
inline constexpr DWORD STGM_WRITE = 0x00000001;
inline constexpr DWORD STGM_READWRITE = 0x00000002;
inline constexpr DWORD STGM_SHARE_DENY_NONE = 0x00000040;
inline constexpr DWORD STGM_SHARE_DENY_READ = 0x00000030;
inline constexpr DWORD STGM_SHARE_DENY_WRITE = 0x00000020;
inline constexpr DWORD STGM_SHARE_EXCLUSIVE = 0x00000010;
inline constexpr DWORD STGM_PRIORITY = 0x00040000;
inline constexpr DWORD STGM_CREATE = 0x00001000;
inline constexpr DWORD STGM_CONVERT = 0x00020000;
inline constexpr DWORD STGM_FAILIFTHERE = 0x00000000;
inline constexpr DWORD STGM_DIRECT = 0x00000000;
inline constexpr DWORD STGM_TRANSACTED = 0x00010000;
inline constexpr DWORD STGM_NOSCRATCH = 0x00100000;
inline constexpr DWORD STGM_NOSNAPSHOT = 0x00200000;
inline constexpr DWORD STGM_DIRECT_SWMR = 0x00400000;
inline constexpr DWORD STGM_DELETEONRELEASE = 0x04000000;
inline constexpr DWORD STGM_SIMPLE = 0x08000000;
inline constexpr DWORD STGM_ACCESS_MASK = 0x00000003;
inline constexpr DWORD STGM_SHARE_MASK = 0x00000070;

// Commit flags (grfCommitFlags).
inline constexpr DWORD STGC_DEFAULT = 0;
inline constexpr DWORD STGC_OVERWRITE = 1;
inline constexpr DWORD STGC_ONLYIFCURRENT = 2;
inline constexpr DWORD STGC_DANGEROUSLYCOMMITMERELYTODISKCACHE = 4;
inline constexpr DWORD STGC_CONSOLIDATE = 8;

// Element types (STATSTG::type).
inline constexpr DWORD STGTY_STORAGE = 1;
inline constexpr DWORD STGTY_STREAM = 2;
inline constexpr DWORD STGTY_LOCKBYTES = 3;
inline constexpr DWORD STGTY_PROPERTY = 4;

// Seek origins.
inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;

// Stat flags: STATFLAG_NONAME leaves pwcsName null; otherwise the caller frees it with CoTaskMemFree.
inline constexpr DWORD STATFLAG_DEFAULT = 0;
inline constexpr DWORD STATFLAG_NONAME = 1;
inline constexpr DWORD STATFLAG_NOOPEN = 2;

// Region lock types.
inline constexpr DWORD LOCK_WRITE = 1;
inline constexpr DWORD LOCK_EXCLUSIVE = 2;
inline constexpr DWORD LOCK_ONLYONCE = 4;

// In memory only: never written to a file as a block.
struct STATSTG {
    LPOLESTR pwcsName;
    DWORD type;
    ULARGE_INTEGER cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    CLSID clsid;
    DWORD grfStateBits;
    DWORD reserved;
};

struct ISequentialStream : IUnknown {
    virtual HRESULT Read(void* pv, ULONG cb, ULONG* pcbRead) = 0;              // 3
    virtual HRESULT Write(const void* pv, ULONG cb, ULONG* pcbWritten) = 0;    // 4

protected:
    ~ISequentialStream() = default;
};

struct IStream : ISequentialStream {
    virtual HRESULT Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) = 0; // 5
    virtual HRESULT SetSize(ULARGE_INTEGER libNewSize) = 0;                                              // 6
    virtual HRESULT CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                           ULARGE_INTEGER* pcbWritten) = 0;                                              // 7
    virtual HRESULT Commit(DWORD grfCommitFlags) = 0;                                                    // 8
    virtual HRESULT Revert() = 0;                                                                        // 9
    virtual HRESULT LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;       // 10
    virtual HRESULT UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;     // 11
    virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;                                      // 12
    virtual HRESULT Clone(IStream** ppstm) = 0;                                                          // 13

protected:
    ~IStream() = default;
};

// Small helpers for the by-value 64-bit arguments.
inline LARGE_INTEGER MakeLargeInteger(LONGLONG value)
{
    LARGE_INTEGER result;
    result.QuadPart = value;
    return result;
}
inline ULARGE_INTEGER MakeULargeInteger(ULONGLONG value)
{
    ULARGE_INTEGER result;
    result.QuadPart = value;
    return result;
}

// {0000010C-0000-0000-C000-000000000046}
inline constexpr IID IID_IPersist{0x0000010C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {7FD52380-4E07-101B-AE2D-08002B2EC713}
inline constexpr IID IID_IPersistStreamInit{
    0x7FD52380, 0x4E07, 0x101B, {0xAE, 0x2D, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13}};

struct IPersist : IUnknown {
    virtual HRESULT GetClassID(CLSID* classId) = 0; // 3

protected:
    ~IPersist() = default;
};

struct IPersistStreamInit : IPersist {
    virtual HRESULT IsDirty() = 0;                              // 4
    virtual HRESULT Load(IStream* stream) = 0;                  // 5
    virtual HRESULT Save(IStream* stream, BOOL clearDirty) = 0; // 6
    virtual HRESULT GetSizeMax(ULARGE_INTEGER* size) = 0;       // 7
    virtual HRESULT InitNew() = 0;                              // 8

protected:
    ~IPersistStreamInit() = default;
};
