#include "platform/com/memstream.h"
#include "platform/com/oleauto.h"

#include <gtest/gtest.h>

#include <vector>

using platform::ComPtr;
using platform::MemoryStream;

namespace {

ULONGLONG SeekTo(IStream* stream, LONGLONG move, DWORD origin, HRESULT expected = S_OK)
{
    ULARGE_INTEGER position{};
    position.QuadPart = 0xDEAD;
    EXPECT_EQ(stream->Seek(MakeLargeInteger(move), origin, &position), expected);
    return position.QuadPart;
}

std::vector<BYTE> Bytes(std::initializer_list<int> values)
{
    std::vector<BYTE> result;
    for (int v : values) {
        result.push_back(static_cast<BYTE>(v));
    }
    return result;
}

} // namespace

TEST(MemoryStream, ReadWriteSeekAndSize)
{
    auto stream = MemoryStream::Create();
    ULONG moved = 99;
    ASSERT_EQ(stream->Write("abcdef", 6, &moved), S_OK);
    EXPECT_EQ(moved, 6u);
    EXPECT_EQ(stream->Position(), 6u);

    // Reading at the end succeeds with nothing.
    char buffer[16] = {};
    EXPECT_EQ(stream->Read(buffer, 4, &moved), S_OK);
    EXPECT_EQ(moved, 0u);

    EXPECT_EQ(SeekTo(stream.Get(), 2, STREAM_SEEK_SET), 2u);
    EXPECT_EQ(stream->Read(buffer, 10, &moved), S_OK);
    EXPECT_EQ(moved, 4u);
    EXPECT_EQ(std::string(buffer, 4), "cdef");

    EXPECT_EQ(SeekTo(stream.Get(), -3, STREAM_SEEK_CUR), 3u);
    EXPECT_EQ(SeekTo(stream.Get(), -1, STREAM_SEEK_END), 5u);
    EXPECT_EQ(SeekTo(stream.Get(), 0, STREAM_SEEK_CUR), 5u);
    // Before the start, or an unknown origin: refused, position unchanged.
    SeekTo(stream.Get(), -6, STREAM_SEEK_CUR, STG_E_INVALIDFUNCTION);
    SeekTo(stream.Get(), 0, 7, STG_E_INVALIDFUNCTION);
    EXPECT_EQ(stream->Position(), 5u);
    EXPECT_EQ(stream->Seek(MakeLargeInteger(1), STREAM_SEEK_SET, nullptr), S_OK);

    // Writing past the end fills the gap with zeros.
    EXPECT_EQ(SeekTo(stream.Get(), 8, STREAM_SEEK_SET), 8u);
    EXPECT_EQ(stream->Write("Z", 1, nullptr), S_OK);
    EXPECT_EQ(stream->Data(), Bytes({'a', 'b', 'c', 'd', 'e', 'f', 0, 0, 'Z'}));

    // SetSize truncates or zero-extends and leaves the position alone.
    EXPECT_EQ(stream->SetSize(MakeULargeInteger(3)), S_OK);
    EXPECT_EQ(stream->Data(), Bytes({'a', 'b', 'c'}));
    EXPECT_EQ(stream->Position(), 9u);
    EXPECT_EQ(stream->SetSize(MakeULargeInteger(5)), S_OK);
    EXPECT_EQ(stream->Data(), Bytes({'a', 'b', 'c', 0, 0}));

    EXPECT_EQ(stream->Read(nullptr, 1, &moved), STG_E_INVALIDPOINTER);
    EXPECT_EQ(stream->Write(nullptr, 1, &moved), STG_E_INVALIDPOINTER);
}

TEST(MemoryStream, StatNameModeAndAccess)
{
    auto stream = MemoryStream::Create(Bytes({1, 2, 3}), STGM_READ | STGM_SHARE_EXCLUSIVE);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.type, STGTY_STREAM);
    EXPECT_EQ(stat.cbSize.QuadPart, 3u);
    EXPECT_EQ(stat.grfMode, STGM_READ | STGM_SHARE_EXCLUSIVE);
    EXPECT_EQ(stat.pwcsName, nullptr);

    stream->SetName(u"Contents");
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_DEFAULT), S_OK);
    ASSERT_NE(stat.pwcsName, nullptr);
    EXPECT_EQ(std::u16string(stat.pwcsName), u"Contents");
    CoTaskMemFree(stat.pwcsName);
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.pwcsName, nullptr);

    // Read-only refuses writes and resizing; write-only refuses reads.
    ULONG moved = 7;
    EXPECT_EQ(stream->Write("x", 1, &moved), STG_E_ACCESSDENIED);
    EXPECT_EQ(moved, 0u);
    EXPECT_EQ(stream->SetSize(MakeULargeInteger(0)), STG_E_ACCESSDENIED);
    auto writeOnly = MemoryStream::Create(STGM_WRITE);
    char c = 0;
    EXPECT_EQ(writeOnly->Read(&c, 1, &moved), STG_E_ACCESSDENIED);
    EXPECT_EQ(writeOnly->Write("x", 1, &moved), S_OK);

    EXPECT_EQ(stream->LockRegion(MakeULargeInteger(0), MakeULargeInteger(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(stream->Commit(STGC_DEFAULT), S_OK);
}

TEST(MemoryStream, InterfacesCloneCopyAndReferences)
{
    auto stream = MemoryStream::Create(Bytes({10, 20, 30, 40}));
    EXPECT_EQ(stream->RefCountValue(), 1);
    {
        ComPtr<ISequentialStream> sequential;
        ASSERT_EQ(stream->QueryInterface(IID_ISequentialStream, sequential.OutVoid()), S_OK);
        EXPECT_EQ(stream->RefCountValue(), 2);
        void* none = &none;
        EXPECT_EQ(stream->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
    }
    EXPECT_EQ(stream->RefCountValue(), 1);

    SeekTo(stream.Get(), 1, STREAM_SEEK_SET);
    ComPtr<IStream> clone;
    ASSERT_EQ(stream->Clone(clone.Out()), S_OK);
    // Same bytes, own position.
    BYTE b = 0;
    ASSERT_EQ(clone->Read(&b, 1, nullptr), S_OK);
    EXPECT_EQ(b, 20);
    EXPECT_EQ(stream->Position(), 1u);
    ASSERT_EQ(clone->Write("\x63", 1, nullptr), S_OK);
    EXPECT_EQ(stream->Data(), Bytes({10, 20, 0x63, 40}));

    auto target = MemoryStream::Create();
    ULARGE_INTEGER read{};
    ULARGE_INTEGER written{};
    ASSERT_EQ(stream->CopyTo(target.Get(), MakeULargeInteger(100), &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 3u);
    EXPECT_EQ(written.QuadPart, 3u);
    EXPECT_EQ(target->Data(), Bytes({20, 0x63, 40}));

    // A full target stops the copy and reports it.
    auto full = MemoryStream::Create();
    full->Faults().capacity = 2;
    SeekTo(stream.Get(), 0, STREAM_SEEK_SET);
    EXPECT_EQ(stream->CopyTo(full.Get(), MakeULargeInteger(4), &read, &written), STG_E_MEDIUMFULL);
    EXPECT_EQ(read.QuadPart, 4u);
    EXPECT_EQ(written.QuadPart, 2u);
}

TEST(MemoryStream, InjectedReadAndSeekFaults)
{
    auto stream = MemoryStream::Create(Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    stream->Faults().read = {2, 2, STG_E_READFAULT}; // calls 2 and 3 fail
    BYTE buffer[8] = {};
    ULONG moved = 0;
    EXPECT_EQ(stream->Read(buffer, 2, &moved), S_OK);
    EXPECT_EQ(moved, 2u);
    EXPECT_EQ(stream->Read(buffer, 2, &moved), STG_E_READFAULT);
    EXPECT_EQ(moved, 0u);
    EXPECT_EQ(stream->Read(buffer, 2, &moved), STG_E_READFAULT);
    EXPECT_EQ(stream->Position(), 2u); // failed reads do not move
    EXPECT_EQ(stream->Read(buffer, 2, &moved), S_OK);
    EXPECT_EQ(buffer[0], 3);
    EXPECT_EQ(stream->Calls().read, 4u);

    // Short reads: each call moves at most the chunk, and says so.
    stream->Faults().readChunk = 3;
    EXPECT_EQ(stream->Read(buffer, 8, &moved), S_OK);
    EXPECT_EQ(moved, 3u);
    EXPECT_EQ(buffer[0], 5);

    // From the second seek on every seek fails and leaves the position.
    stream->Faults().seek = {2, 0, E_FAIL};
    SeekTo(stream.Get(), 0, STREAM_SEEK_SET);
    stream->Read(buffer, 1, &moved);
    SeekTo(stream.Get(), 0, STREAM_SEEK_SET, E_FAIL);
    SeekTo(stream.Get(), 5, STREAM_SEEK_SET, E_FAIL);
    EXPECT_EQ(stream->Position(), 1u);

    stream->Faults().stat = {1, 1, STG_E_ACCESSDENIED};
    STATSTG stat{};
    EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), STG_E_ACCESSDENIED);
    EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
}

TEST(MemoryStream, InjectedWriteFaults)
{
    auto stream = MemoryStream::Create();
    // The third write fails storing nothing; later writes work again.
    stream->Faults().write = {3, 1, STG_E_WRITEFAULT};
    ULONG moved = 0;
    EXPECT_EQ(stream->Write("ab", 2, &moved), S_OK);
    EXPECT_EQ(stream->Write("cd", 2, &moved), S_OK);
    EXPECT_EQ(stream->Write("ef", 2, &moved), STG_E_WRITEFAULT);
    EXPECT_EQ(moved, 0u);
    EXPECT_EQ(stream->Write("gh", 2, &moved), S_OK);
    EXPECT_EQ(stream->Data(), Bytes({'a', 'b', 'c', 'd', 'g', 'h'}));

    // Short writes succeed with fewer bytes.
    stream->Faults().writeChunk = 1;
    EXPECT_EQ(stream->Write("ij", 2, &moved), S_OK);
    EXPECT_EQ(moved, 1u);
    stream->Faults().writeChunk = 0;

    // A full medium stores what fits.
    stream->Faults().capacity = 9;
    EXPECT_EQ(stream->Write("klmn", 4, &moved), STG_E_MEDIUMFULL);
    EXPECT_EQ(moved, 2u);
    EXPECT_EQ(stream->Write("o", 1, &moved), STG_E_MEDIUMFULL);
    EXPECT_EQ(moved, 0u);
    EXPECT_EQ(stream->Data().size(), 9u);
    EXPECT_EQ(stream->SetSize(MakeULargeInteger(10)), STG_E_MEDIUMFULL);

    stream->Faults().setSize = {2, 1, STG_E_MEDIUMFULL}; // the next SetSize call
    EXPECT_EQ(stream->SetSize(MakeULargeInteger(1)), STG_E_MEDIUMFULL);
    EXPECT_EQ(stream->Data().size(), 9u);
    stream->Faults().commit = {1, 0, STG_E_MEDIUMFULL};
    EXPECT_EQ(stream->Commit(STGC_DEFAULT), STG_E_MEDIUMFULL);
    EXPECT_EQ(stream->Calls().write, 7u);
}
