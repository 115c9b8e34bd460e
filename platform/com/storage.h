// Structured storage: storages, their element enumerators and byte containers, declared in COM slot order.
#pragma once

#include "platform/com/objidl.h"

// {0000000B-0000-0000-C000-000000000046}
inline constexpr IID IID_IStorage{0x0000000B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {0000000D-0000-0000-C000-000000000046}
inline constexpr IID IID_IEnumSTATSTG{0x0000000D, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {0000000A-0000-0000-C000-000000000046}
inline constexpr IID IID_ILockBytes{0x0000000A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// A null-terminated list of element names.
using SNB = LPOLESTR*;

struct IEnumSTATSTG : IUnknown {
    virtual HRESULT Next(ULONG celt, STATSTG* rgelt, ULONG* pceltFetched) = 0; // 3
    virtual HRESULT Skip(ULONG celt) = 0;                                       // 4
    virtual HRESULT Reset() = 0;                                                // 5
    virtual HRESULT Clone(IEnumSTATSTG** ppenum) = 0;                           // 6

protected:
    ~IEnumSTATSTG() = default;
};

struct IStorage : IUnknown {
    virtual HRESULT CreateStream(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                                 IStream** ppstm) = 0;                                                   // 3
    virtual HRESULT OpenStream(const OLECHAR* pwcsName, void* reserved1, DWORD grfMode, DWORD reserved2,
                               IStream** ppstm) = 0;                                                     // 4
    virtual HRESULT CreateStorage(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                                  IStorage** ppstg) = 0;                                                 // 5
    virtual HRESULT OpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                                DWORD reserved, IStorage** ppstg) = 0;                                   // 6
    virtual HRESULT CopyTo(DWORD ciidExclude, const IID* rgiidExclude, SNB snbExclude, IStorage* pstgDest) = 0; // 7
    virtual HRESULT MoveElementTo(const OLECHAR* pwcsName, IStorage* pstgDest, const OLECHAR* pwcsNewName,
                                  DWORD grfFlags) = 0;                                                   // 8
    virtual HRESULT Commit(DWORD grfCommitFlags) = 0;                                                    // 9
    virtual HRESULT Revert() = 0;                                                                        // 10
    virtual HRESULT EnumElements(DWORD reserved1, void* reserved2, DWORD reserved3, IEnumSTATSTG** ppenum) = 0; // 11
    virtual HRESULT DestroyElement(const OLECHAR* pwcsName) = 0;                                         // 12
    virtual HRESULT RenameElement(const OLECHAR* pwcsOldName, const OLECHAR* pwcsNewName) = 0;           // 13
    virtual HRESULT SetElementTimes(const OLECHAR* pwcsName, const FILETIME* pctime, const FILETIME* patime,
                                    const FILETIME* pmtime) = 0;                                         // 14
    virtual HRESULT SetClass(REFCLSID clsid) = 0;                                                        // 15
    virtual HRESULT SetStateBits(DWORD grfStateBits, DWORD grfMask) = 0;                                 // 16
    virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;                                      // 17

protected:
    ~IStorage() = default;
};

struct ILockBytes : IUnknown {
    virtual HRESULT ReadAt(ULARGE_INTEGER ulOffset, void* pv, ULONG cb, ULONG* pcbRead) = 0;              // 3
    virtual HRESULT WriteAt(ULARGE_INTEGER ulOffset, const void* pv, ULONG cb, ULONG* pcbWritten) = 0;   // 4
    virtual HRESULT Flush() = 0;                                                                         // 5
    virtual HRESULT SetSize(ULARGE_INTEGER cb) = 0;                                                      // 6
    virtual HRESULT LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;       // 7
    virtual HRESULT UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) = 0;     // 8
    virtual HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) = 0;                                      // 9

protected:
    ~ILockBytes() = default;
};
