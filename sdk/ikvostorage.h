// The extension interfaces of the module's compound-file storage: a byte container may offer IKVOLockBytes, and the
// storages and streams built on it pass its operations on. What the extension operations do is up to the container;
// the file container of the module offers them as stubs.
#pragma once

#include "platform/com/storage.h"

// {6B1F3C52-8E0D-4A77-B2C9-3F5E1D7A9C01}
inline constexpr IID IID_IKVOLockBytes{0x6B1F3C52, 0x8E0D, 0x4A77, {0xB2, 0xC9, 0x3F, 0x5E, 0x1D, 0x7A, 0x9C, 0x01}};
// {6B1F3C53-8E0D-4A77-B2C9-3F5E1D7A9C01}
inline constexpr IID IID_IKVOStorage{0x6B1F3C53, 0x8E0D, 0x4A77, {0xB2, 0xC9, 0x3F, 0x5E, 0x1D, 0x7A, 0x9C, 0x01}};
// {6B1F3C54-8E0D-4A77-B2C9-3F5E1D7A9C01}
inline constexpr IID IID_IKVOStream{0x6B1F3C54, 0x8E0D, 0x4A77, {0xB2, 0xC9, 0x3F, 0x5E, 0x1D, 0x7A, 0x9C, 0x01}};

struct IKVOLockBytes : ILockBytes {
    // Non-zero when the container copies byte ranges within itself.
    virtual HRESULT CanCopyRanges() = 0;                                          // 10
    // The container's extension object, or null.
    virtual HRESULT GetExtensionObject(IUnknown** out) = 0;                       // 11
    virtual HRESULT Notify(ULONG_PTR argument) = 0;                               // 12

protected:
    ~IKVOLockBytes() = default;
};

struct IKVOStorage : IStorage {
    virtual HRESULT GetExtensionObject(IUnknown** out) = 0;                       // 18: the container's, S_FALSE without
    virtual HRESULT GetLockBytes(ILockBytes** out) = 0;                           // 19: S_FALSE without a container
    virtual HRESULT Notify(ULONG_PTR argument) = 0;                               // 20: root only

protected:
    ~IKVOStorage() = default;
};

struct IKVOStream : IStream {
    // Copies `count` bytes of the stream from `source` to `target` inside the container; S_FALSE when the
    // container cannot.
    virtual HRESULT CopyRange(ULARGE_INTEGER source, ULARGE_INTEGER target, ULARGE_INTEGER count) = 0; // 14
    virtual HRESULT GetExtensionObject(IUnknown** out) = 0;                       // 15
    virtual HRESULT GetLockBytes(ILockBytes** out) = 0;                           // 16

protected:
    ~IKVOStream() = default;
};
