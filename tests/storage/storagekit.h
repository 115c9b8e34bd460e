// Small helpers shared by the storage tests.
#pragma once

#include "filereader.h"
#include "foundation/kvostorage.h"
#include "platform/com/memlockbytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace storagekit {

using platform::ComPtr;
using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

inline Bytes Pattern(std::size_t size, unsigned seed)
{
    Bytes bytes(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(state >> 16);
    }
    return bytes;
}

// A new root storage over a new memory container.
struct File {
    ComPtr<platform::MemoryLockBytes> bytes = platform::MemoryLockBytes::Create();
    ComPtr<IStorage> root;

    File()
    {
        EXPECT_EQ(KVOStorage::CreateOnLockBytes(bytes.Get(), root.Out()), S_OK);
    }
    testreader::Result Read() const { return testreader::Read(bytes->Data()); }
};

inline ComPtr<IStream> Create(IStorage* storage, const char16_t* name, DWORD mode = STGM_READWRITE)
{
    ComPtr<IStream> stream;
    EXPECT_EQ(storage->CreateStream(name, mode, 0, 0, stream.Out()), S_OK);
    return stream;
}

inline ComPtr<IStorage> CreateSub(IStorage* storage, const char16_t* name, DWORD mode = STGM_READWRITE)
{
    ComPtr<IStorage> sub;
    EXPECT_EQ(storage->CreateStorage(name, mode, 0, 0, sub.Out()), S_OK);
    return sub;
}

inline HRESULT Put(IStream* stream, const Bytes& data)
{
    ULONG written = 0;
    const HRESULT hr = stream->Write(data.data(), static_cast<ULONG>(data.size()), &written);
    return SUCCEEDED(hr) && written != data.size() ? E_FAIL : hr;
}

inline HRESULT WriteStream(IStorage* storage, const char16_t* name, const Bytes& data)
{
    ComPtr<IStream> stream;
    HRESULT hr = storage->CreateStream(name, STGM_CREATE | STGM_READWRITE, 0, 0, stream.Out());
    return FAILED(hr) ? hr : Put(stream.Get(), data);
}

inline Bytes ReadAll(IStream* stream)
{
    EXPECT_EQ(stream->Seek(MakeLargeInteger(0), STREAM_SEEK_SET, nullptr), S_OK);
    Bytes all;
    std::uint8_t buffer[7000];
    for (;;) {
        ULONG read = 0;
        EXPECT_EQ(stream->Read(buffer, sizeof buffer, &read), S_OK);
        if (read == 0) {
            break;
        }
        all.insert(all.end(), buffer, buffer + read);
    }
    return all;
}

inline ULONGLONG SizeOf(IStream* stream)
{
    STATSTG stat{};
    EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    return stat.cbSize.QuadPart;
}

} // namespace storagekit
