// Storages and streams through their interfaces, checked against the file they write.
#include "storagekit.h"

#include "foundation/kvostream.h"
#include "foundation/xkvo.h"

#include <thread>

using namespace storagekit;

namespace {

ComPtr<IStream> Open(IStorage* storage, const char16_t* name, HRESULT* hr = nullptr)
{
    ComPtr<IStream> stream;
    const HRESULT result = storage->OpenStream(name, nullptr, STGM_READWRITE, 0, stream.Out());
    if (hr) {
        *hr = result;
    }
    return stream;
}

HRESULT OpenSub(IStorage* storage, const char16_t* name, ComPtr<IStorage>& out)
{
    return storage->OpenStorage(name, nullptr, STGM_READWRITE, nullptr, 0, out.Out());
}

testreader::Tree Committed(File& file)
{
    EXPECT_EQ(file.root->Commit(STGC_DEFAULT), S_OK);
    const testreader::Result read = file.Read();
    EXPECT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.unaccounted, 0u);
    return read.root;
}

} // namespace

TEST(KVOStorage, CreatingOverAnExistingName)
{
    File file;
    ASSERT_EQ(WriteStream(file.root.Get(), u"Data", ToBytes("old")), S_OK);
    ComPtr<IStream> again;
    EXPECT_EQ(file.root->CreateStream(u"Data", STGM_READWRITE, 0, 0, again.Out()), STG_E_FILEALREADYEXISTS);
    EXPECT_FALSE(again);
    EXPECT_EQ(ReadAll(Open(file.root.Get(), u"Data").Get()), ToBytes("old"));

    ASSERT_EQ(file.root->CreateStream(u"Data", STGM_CREATE | STGM_READWRITE, 0, 0, again.Out()), S_OK);
    EXPECT_EQ(SizeOf(again.Get()), 0u);
    again.Reset();
    EXPECT_TRUE(Committed(file).streams.at(u"Data").empty());

    // A stream and a storage may share a name. Re-creating the stream destroys the stream, never the storage that
    // comes first in the table.
    File shared;
    {
        ComPtr<IStorage> sub = CreateSub(shared.root.Get(), u"x");
        ASSERT_EQ(WriteStream(sub.Get(), u"inside", ToBytes("kept")), S_OK);
    }
    ASSERT_EQ(WriteStream(shared.root.Get(), u"x", ToBytes("stream")), S_OK);
    ASSERT_EQ(WriteStream(shared.root.Get(), u"X", ToBytes("new")), S_OK);
    const testreader::Tree tree = Committed(shared);
    EXPECT_EQ(tree.streams.at(u"X"), ToBytes("new")); // the new element carries the new spelling
    EXPECT_EQ(tree.storages.at(u"x").streams.at(u"inside"), ToBytes("kept"));
}

TEST(KVOStorage, NamesFoldBitFiveAndLongNamesAreRefused)
{
    File file;
    ASSERT_EQ(WriteStream(file.root.Get(), u"Data", ToBytes("1")), S_OK);
    HRESULT hr = S_OK;
    EXPECT_TRUE(Open(file.root.Get(), u"dATA", &hr)) << hr;
    ComPtr<IStream> clash;
    EXPECT_EQ(file.root->CreateStream(u"DATA", STGM_READWRITE, 0, 0, clash.Out()), STG_E_FILEALREADYEXISTS);
    EXPECT_EQ(file.root->SetElementTimes(u"data", nullptr, nullptr, nullptr), S_OK);
    // Bit 5 folds some punctuation too ('[' and '{'), but names of different lengths never meet.
    ASSERT_EQ(WriteStream(file.root.Get(), u"a[", ToBytes("2")), S_OK);
    EXPECT_TRUE(Open(file.root.Get(), u"A{"));
    ASSERT_EQ(WriteStream(file.root.Get(), u"b", ToBytes("3")), S_OK);
    ASSERT_EQ(WriteStream(file.root.Get(), u"b ", ToBytes("4")), S_OK);
    EXPECT_EQ(ReadAll(Open(file.root.Get(), u"b").Get()), ToBytes("3"));
    EXPECT_EQ(file.root->RenameElement(u"DATA", u"Renamed"), S_OK);
    EXPECT_EQ(file.root->DestroyElement(u"RENAMED"), S_OK);

    // 31 characters are kept whole; 32 or more are refused by every operation instead of being cut, so that two
    // long names can never meet and one destroy the other.
    const std::u16string name31(31, u'n');
    const std::u16string name32(32, u'n');
    const std::u16string name40 = std::u16string(35, u'n') + u"tail1";
    ASSERT_EQ(WriteStream(file.root.Get(), name31.c_str(), ToBytes("31")), S_OK);
    ComPtr<IStream> stream;
    ComPtr<IStorage> storage;
    EXPECT_EQ(file.root->CreateStream(name32.c_str(), STGM_READWRITE, 0, 0, stream.Out()), STG_E_INVALIDNAME);
    EXPECT_EQ(file.root->CreateStream(name40.c_str(), STGM_CREATE, 0, 0, stream.Out()), STG_E_INVALIDNAME);
    EXPECT_EQ(file.root->CreateStorage(name32.c_str(), STGM_READWRITE, 0, 0, storage.Out()), STG_E_INVALIDNAME);
    EXPECT_EQ(file.root->OpenStream(name32.c_str(), nullptr, 0, 0, stream.Out()), STG_E_INVALIDNAME);
    EXPECT_EQ(OpenSub(file.root.Get(), name32.c_str(), storage), STG_E_INVALIDNAME);
    EXPECT_EQ(file.root->DestroyElement(name32.c_str()), STG_E_INVALIDNAME);
    EXPECT_EQ(file.root->RenameElement(name31.c_str(), name32.c_str()), STG_E_INVALIDNAME);
    EXPECT_EQ(file.root->SetElementTimes(name40.c_str(), nullptr, nullptr, nullptr), STG_E_INVALIDNAME);
    EXPECT_EQ(file.root->CreateStream(nullptr, STGM_READWRITE, 0, 0, stream.Out()), STG_E_INVALIDPOINTER);
    const testreader::Tree tree = Committed(file);
    EXPECT_EQ(tree.streams.at(name31), ToBytes("31"));
    EXPECT_EQ(tree.streams.size(), 4u); // a[, b, "b ", and the 31-character name
}

TEST(KVOStorage, ElementLimitOpenElementsAndDirectoryChecks)
{
    File file;
    for (int i = 0; i < 1024; ++i) {
        const std::u16string name = u"s" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) +
                                    std::u16string(1, static_cast<char16_t>(u'0' + i / 26 % 10)) +
                                    std::u16string(1, static_cast<char16_t>(u'0' + i / 260));
        ComPtr<IStream> stream;
        ASSERT_EQ(file.root->CreateStream(name.c_str(), STGM_READWRITE, 0, 0, stream.Out()), S_OK) << i;
    }
    ComPtr<IStream> extra;
    EXPECT_EQ(file.root->CreateStream(u"one too many", STGM_READWRITE, 0, 0, extra.Out()), KVO::Errors::kBadStorage);
    EXPECT_EQ(Committed(file).streams.size(), 1024u);

    // An open element is neither destroyed nor re-created; a clone counts as open too.
    File open;
    ComPtr<IStream> stream = Create(open.root.Get(), u"busy");
    ComPtr<IStream> clone;
    ASSERT_EQ(stream->Clone(clone.Out()), S_OK);
    stream.Reset();
    EXPECT_EQ(open.root->DestroyElement(u"busy"), STG_E_ACCESSDENIED);
    EXPECT_EQ(open.root->CreateStream(u"busy", STGM_CREATE, 0, 0, stream.Out()), STG_E_ACCESSDENIED);
    clone.Reset();
    EXPECT_EQ(open.root->DestroyElement(u"busy"), S_OK);
    ComPtr<IStorage> sub = CreateSub(open.root.Get(), u"sub");
    ComPtr<IStorage> second;
    EXPECT_EQ(OpenSub(open.root.Get(), u"sub", second), STG_E_ACCESSDENIED); // one table per directory
    EXPECT_EQ(open.root->CreateStorage(u"sub", STGM_CREATE, 0, 0, second.Out()), STG_E_ACCESSDENIED);
    EXPECT_EQ(open.root->DestroyElement(u"sub"), STG_E_ACCESSDENIED);
    ASSERT_EQ(WriteStream(sub.Get(), u"in", ToBytes("data")), S_OK);
    sub.Reset();
    EXPECT_EQ(OpenSub(open.root.Get(), u"sub", second), S_OK);
    second.Reset();

    // A damaged directory is refused with the storage error, never read past.
    const testreader::Tree tree = Committed(open);
    const std::size_t directory = 512 + (tree.starts.at(u"sub") - 2) * 32768ull;
    const Bytes good = open.bytes->Data();
    auto tryOpen = [&](std::size_t offset, std::uint32_t value, std::size_t words = 1) {
        Bytes bad = good;
        for (std::size_t i = 0; i < words; ++i) {
            CompoundFile::PutU32(&bad[directory + offset + 4 * i], value);
        }
        open.bytes->SetData(bad);
        ComPtr<IStorage> damaged;
        const HRESULT hr = OpenSub(open.root.Get(), u"sub", damaged);
        open.bytes->SetData(good);
        return hr;
    };
    EXPECT_EQ(tryOpen(0, 1), S_OK);                                 // the count as it is
    EXPECT_EQ(tryOpen(0, 2), KVO::Errors::kBadStorage);             // a count without the size for it
    EXPECT_EQ(tryOpen(4, 0), KVO::Errors::kBadStorage);             // the check word
    EXPECT_EQ(tryOpen(0, 1025), KVO::Errors::kBadStorage);          // too many entries
    EXPECT_EQ(tryOpen(8 + 140, 3), KVO::Errors::kBadStorage);       // element type
    EXPECT_EQ(tryOpen(8, 0x00410041, 16), KVO::Errors::kBadStorage); // a name without its terminator
    EXPECT_EQ(tryOpen(8 + 72, 0x12345), KVO::Errors::kBadStorage);  // a first cluster outside the map
    EXPECT_EQ(OpenSub(open.root.Get(), u"sub", second), S_OK);
}

// A record that names clusters its element does not own is refused: a write, cut or destroy through it would change
// another element's data, the directory it stands in, or the cluster map's own run.
TEST(KVOStorage, DirectoryRecordsOnlyNameChainsOfTheirOwn)
{
    File file;
    ASSERT_EQ(WriteStream(file.root.Get(), u"alpha", Pattern(40000, 1)), S_OK); // two clusters
    {
        ComPtr<IStorage> sub = CreateSub(file.root.Get(), u"sub");
        ASSERT_EQ(WriteStream(sub.Get(), u"one", ToBytes("first")), S_OK);
        ASSERT_EQ(WriteStream(sub.Get(), u"two", ToBytes("second")), S_OK);
    }
    const testreader::Result committed = (Committed(file), file.Read());
    ASSERT_TRUE(committed.ok) << committed.error;
    const testreader::Tree& tree = committed.root;
    const std::uint32_t alpha = tree.starts.at(u"alpha");
    const std::uint32_t subDirectory = tree.starts.at(u"sub");
    const std::uint32_t one = tree.storages.at(u"sub").starts.at(u"one");
    const std::size_t twoRecord = 512 + (subDirectory - 2) * 32768ull + 8 + 160;
    const Bytes good = file.bytes->Data();

    // The record of "two" rewritten: first cluster, size, end cluster.
    auto damaged = [&](std::uint32_t first, std::uint64_t size, std::uint32_t end) {
        Bytes bad = good;
        CompoundFile::PutU32(&bad[twoRecord + 72], first);
        CompoundFile::PutU64(&bad[twoRecord + 80], size);
        CompoundFile::PutU32(&bad[twoRecord + 88], end);
        return bad;
    };
    auto tryOpen = [&](const Bytes& bytes) {
        file.bytes->SetData(bytes);
        ComPtr<IStorage> sub;
        const HRESULT hr = OpenSub(file.root.Get(), u"sub", sub);
        sub.Reset();
        file.bytes->SetData(good);
        return hr;
    };
    const std::uint32_t two = tree.storages.at(u"sub").starts.at(u"two");
    const std::uint32_t mapRun = committed.mapFirst;
    // "alpha" is two clusters long; its second cluster is the one after its first in the map's order of writing.
    const std::uint32_t alphaTail = alpha + 1;
    struct Case {
        const char* what;
        std::uint32_t first;
        std::uint64_t size;
        std::uint32_t end;
        HRESULT expected;
    };
    const Case cases[] = {
        {"as written", two, 6, two, S_OK},
        {"a sibling's chain", one, 6, one, KVO::Errors::kBadStorage},
        {"a chain in another storage", alpha, 6, alpha, KVO::Errors::kBadStorage},
        {"the middle of a chain", alphaTail, 6, alphaTail, KVO::Errors::kBadStorage},
        {"the directory it stands in", subDirectory, 6, subDirectory, KVO::Errors::kBadStorage},
        {"the cluster map's run", mapRun, 6, mapRun, KVO::Errors::kBadStorage},
        {"more data than the chain holds", two, 40000, two, KVO::Errors::kBadStorage},
        {"an end in another cluster", two, 6, one, KVO::Errors::kBadStorage},
        {"an end at a cluster's end that is not", two, 6, two | 0x80000000u, KVO::Errors::kBadStorage},
        {"data without a cluster", 0, 6, 0, KVO::Errors::kBadStorage},
        {"a free cluster", 0x0FFF, 6, 0x0FFF, KVO::Errors::kBadStorage},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tryOpen(damaged(c.first, c.size, c.end)), c.expected) << c.what;
    }

    // With the sibling's chain left on disk, the file goes on working: the damaged storage is neither opened nor
    // destroyed, and everything else is written, committed and destroyed as usual.
    file.bytes->SetData(damaged(one, 6, one));
    ComPtr<IStorage> sub;
    EXPECT_EQ(OpenSub(file.root.Get(), u"sub", sub), KVO::Errors::kBadStorage);
    EXPECT_EQ(file.root->DestroyElement(u"sub"), KVO::Errors::kBadStorage);
    ASSERT_EQ(WriteStream(file.root.Get(), u"beta", Pattern(70000, 2)), S_OK);
    ComPtr<IStream> stream = Open(file.root.Get(), u"alpha");
    ASSERT_TRUE(stream);
    ASSERT_EQ(Put(stream.Get(), Pattern(3000, 3)), S_OK);
    stream.Reset();
    EXPECT_EQ(file.root->Commit(STGC_DEFAULT), S_OK);
    EXPECT_EQ(file.root->DestroyElement(u"alpha"), S_OK);
    EXPECT_EQ(file.root->Commit(STGC_DEFAULT), S_OK);
    stream = Open(file.root.Get(), u"beta");
    ASSERT_TRUE(stream);
    EXPECT_EQ(ReadAll(stream.Get()), Pattern(70000, 2));
}

TEST(KVOStorage, ElementTimesAndStat)
{
    File file;
    ComPtr<IStorage> sub = CreateSub(file.root.Get(), u"Sub");
    const CLSID kClass{0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};
    ASSERT_EQ(sub->SetClass(kClass), S_OK);
    ASSERT_EQ(WriteStream(file.root.Get(), u"s", ToBytes("12345")), S_OK);
    const FILETIME created{1, 2};
    const FILETIME accessed{3, 4};
    const FILETIME modified{5, 6};
    ASSERT_EQ(file.root->SetElementTimes(u"s", &created, &accessed, &modified), S_OK);
    EXPECT_EQ(file.root->SetElementTimes(u"missing", &created, nullptr, nullptr), STG_E_FILENOTFOUND);

    STATSTG stat{};
    ASSERT_EQ(sub->Stat(&stat, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(std::u16string(stat.pwcsName), u"Sub");
    CoTaskMemFree(stat.pwcsName);
    EXPECT_EQ(stat.type, STGTY_STORAGE);
    EXPECT_EQ(stat.clsid, kClass);
    EXPECT_EQ(stat.grfMode, STGM_READWRITE);
    ComPtr<IStream> stream = Open(file.root.Get(), u"s");
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.pwcsName, nullptr);
    EXPECT_EQ(stat.type, STGTY_STREAM);
    EXPECT_EQ(stat.cbSize.QuadPart, 5u);
    EXPECT_EQ(stat.mtime.dwLowDateTime, 0u); // element times are not reported
    ASSERT_EQ(file.root->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.type, STGTY_STORAGE);
    stream.Reset();
    sub.Reset();

    testreader::Tree tree = Committed(file);
    EXPECT_EQ(tree.times.at(u"s"), (testreader::Times{0x0000000600000005ull, 0x0000000200000001ull, 0x0000000400000003ull}));
    EXPECT_EQ(tree.times.at(u"Sub"), testreader::Times{}); // new elements carry zero times
    EXPECT_EQ(tree.storages.at(u"Sub").clsid[0], 0x44);

    // A time not given stays as it was.
    const FILETIME later{7, 8};
    ASSERT_EQ(file.root->SetElementTimes(u"S", nullptr, nullptr, &later), S_OK);
    tree = Committed(file);
    EXPECT_EQ(tree.times.at(u"s"), (testreader::Times{0x0000000800000007ull, 0x0000000200000001ull, 0x0000000400000003ull}));

    // Enumeration: every element with its name, S_FALSE when fewer than asked remain.
    ComPtr<IEnumSTATSTG> elements;
    ASSERT_EQ(file.root->EnumElements(0, nullptr, 0, elements.Out()), S_OK);
    STATSTG all[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(elements->Next(3, all, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(std::u16string(all[0].pwcsName), u"Sub");
    EXPECT_EQ(std::u16string(all[1].pwcsName), u"s");
    CoTaskMemFree(all[0].pwcsName);
    CoTaskMemFree(all[1].pwcsName);
    ComPtr<IEnumSTATSTG> again;
    ASSERT_EQ(file.root->EnumElements(0, nullptr, 0, again.Out()), S_OK);
    EXPECT_EQ(again->Skip(1), S_OK);
    EXPECT_EQ(again->Skip(5), S_FALSE);
    EXPECT_EQ(again->Reset(), E_NOTIMPL);
    void* other = &fetched;
    EXPECT_EQ(again->QueryInterface(IID_IUnknown, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
}

TEST(KVOStream, ReadingSeekingAndGrowing)
{
    File file;
    ComPtr<IStream> stream = Create(file.root.Get(), u"s");
    std::uint8_t buffer[16];
    ULONG read = 99;
    EXPECT_EQ(stream->Read(buffer, sizeof buffer, &read), S_OK); // a fresh, empty stream
    EXPECT_EQ(read, 0u);

    // Seeking past the end allocates nothing; a write there fills the gap with zeros.
    const unsigned writes = file.bytes->Calls().write;
    ULARGE_INTEGER position{};
    ASSERT_EQ(stream->Seek(MakeLargeInteger(100000), STREAM_SEEK_SET, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 100000u);
    EXPECT_EQ(SizeOf(stream.Get()), 0u);
    EXPECT_EQ(stream->Read(buffer, sizeof buffer, &read), S_OK);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(file.bytes->Calls().write, writes);
    ASSERT_EQ(Put(stream.Get(), ToBytes("end")), S_OK);
    EXPECT_EQ(SizeOf(stream.Get()), 100003u);
    Bytes expected(100000, 0);
    expected.insert(expected.end(), {'e', 'n', 'd'});
    EXPECT_EQ(ReadAll(stream.Get()), expected);

    EXPECT_EQ(stream->Seek(MakeLargeInteger(-1), STREAM_SEEK_SET, nullptr), STG_E_INVALIDPOINTER);
    EXPECT_EQ(stream->Seek(MakeLargeInteger(0), 7, nullptr), STG_E_INVALIDFUNCTION);
    ASSERT_EQ(stream->Seek(MakeLargeInteger(-3), STREAM_SEEK_END, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 100000u);
    ASSERT_EQ(stream->Seek(MakeLargeInteger(1), STREAM_SEEK_CUR, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 100001u);
    ASSERT_EQ(stream->Read(buffer, 2, &read), S_OK);
    EXPECT_EQ(std::string(buffer, buffer + read), "nd");
    // Far beyond what clusters can hold: refused before anything is written.
    ASSERT_EQ(stream->Seek(MakeLargeInteger(1ll << 60), STREAM_SEEK_SET, nullptr), S_OK);
    ULONG written = 0;
    EXPECT_EQ(stream->Write("x", 1, &written), STG_E_MEDIUMFULL);
    EXPECT_EQ(SizeOf(stream.Get()), 100003u);

    // Cutting moves a position beyond the new end back to it; growing gives zeros.
    ASSERT_EQ(stream->SetSize(MakeULargeInteger(40000)), S_OK);
    ASSERT_EQ(stream->Seek(MakeLargeInteger(0), STREAM_SEEK_CUR, &position), S_OK);
    EXPECT_EQ(position.QuadPart, 40000u);
    ASSERT_EQ(stream->SetSize(MakeULargeInteger(40010)), S_OK);
    EXPECT_EQ(ReadAll(stream.Get()), Bytes(40010, 0));

    // CopyTo copies from the current position and moves it; a clone starts where its original stands.
    ASSERT_EQ(stream->Seek(MakeLargeInteger(0), STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(Put(stream.Get(), ToBytes("abcdef")), S_OK);
    ASSERT_EQ(stream->Seek(MakeLargeInteger(2), STREAM_SEEK_SET, nullptr), S_OK);
    ComPtr<IStream> clone;
    ASSERT_EQ(stream->Clone(clone.Out()), S_OK);
    ComPtr<IStream> target = Create(file.root.Get(), u"copy");
    ULARGE_INTEGER copiedIn{};
    ULARGE_INTEGER copiedOut{};
    ASSERT_EQ(stream->CopyTo(target.Get(), MakeULargeInteger(3), &copiedIn, &copiedOut), S_OK);
    EXPECT_EQ(copiedIn.QuadPart, 3u);
    EXPECT_EQ(copiedOut.QuadPart, 3u);
    EXPECT_EQ(ReadAll(target.Get()), ToBytes("cde"));
    ASSERT_EQ(clone->Read(buffer, 1, &read), S_OK);
    EXPECT_EQ(buffer[0], 'c');
    EXPECT_EQ(stream->Commit(STGC_DEFAULT), S_OK);
    EXPECT_EQ(stream->Revert(), E_NOTIMPL);
    EXPECT_EQ(stream->LockRegion(MakeULargeInteger(0), MakeULargeInteger(1), LOCK_WRITE), E_NOTIMPL);
}

TEST(KVOStream, CommittedClustersStayUntilTheNextCommit)
{
    File file;
    ASSERT_EQ(WriteStream(file.root.Get(), u"kept", Pattern(50000, 1)), S_OK);
    ASSERT_EQ(WriteStream(file.root.Get(), u"cut", Pattern(1000, 2)), S_OK);
    const testreader::Tree committed = Committed(file);
    const std::uint32_t cutCluster = committed.starts.at(u"cut");

    // Writing into the committed version without committing leaves its clusters as they were on disk.
    {
        ComPtr<IStream> stream = Open(file.root.Get(), u"kept");
        ASSERT_EQ(stream->Seek(MakeLargeInteger(100), STREAM_SEEK_SET, nullptr), S_OK);
        ASSERT_EQ(Put(stream.Get(), Pattern(40000, 3)), S_OK);
        ComPtr<IStream> cut = Open(file.root.Get(), u"cut");
        ASSERT_EQ(cut->SetSize(MakeULargeInteger(0)), S_OK);
    }
    testreader::Result read = file.Read();
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_TRUE(read.root == committed);

    // Cut to 0, the stream's cluster waits on the released list of the next commit and is free after it.
    read = testreader::Read((Committed(file), file.bytes->Data()));
    EXPECT_TRUE(read.root.streams.at(u"cut").empty());
    const auto& released = read.clusters.releasedClusters;
    EXPECT_NE(std::find(released.begin(), released.end(), cutCluster), released.end());
    ASSERT_EQ(WriteStream(file.root.Get(), u"more", ToBytes("x")), S_OK);
    read = testreader::Read((Committed(file), file.bytes->Data()));
    const auto& free = read.clusters.freeClusters;
    EXPECT_TRUE(std::find(free.begin(), free.end(), cutCluster) != free.end() || read.root.starts.at(u"more") == cutCluster);
}

TEST(KVOStorage, LifetimesAndCommitsOnRelease)
{
    // A stream keeps its storage alive: the storage released first, the stream still works, and its release
    // commits the file.
    File file;
    ComPtr<IStream> stream = Create(file.root.Get(), u"late");
    file.root.Reset();
    ASSERT_EQ(Put(stream.Get(), ToBytes("still here")), S_OK);
    stream.Reset();
    testreader::Result read = file.Read();
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.root.streams.at(u"late"), ToBytes("still here"));

    // A child storage whose commit fails when it is released keeps its changes; the next commit writes them.
    File child;
    {
        ComPtr<IStorage> sub = CreateSub(child.root.Get(), u"sub");
        ASSERT_EQ(WriteStream(sub.Get(), u"in", Pattern(3000, 4)), S_OK);
        child.bytes->Faults().write = {child.bytes->Calls().write + 1, 1, STG_E_WRITEFAULT};
    }
    const testreader::Tree tree = Committed(child);
    EXPECT_EQ(tree.storages.at(u"sub").streams.at(u"in"), Pattern(3000, 4));

    // The root commits open storages below it with itself.
    File open;
    ComPtr<IStorage> sub = CreateSub(open.root.Get(), u"sub");
    ComPtr<IStorage> inner = CreateSub(sub.Get(), u"inner");
    ASSERT_EQ(WriteStream(inner.Get(), u"deep", ToBytes("deep")), S_OK);
    EXPECT_EQ(Committed(open).storages.at(u"sub").storages.at(u"inner").streams.at(u"deep"), ToBytes("deep"));
    // Writing on in the open storage after the commit does not touch the committed version.
    ASSERT_EQ(WriteStream(inner.Get(), u"deep", ToBytes("DEEP")), S_OK);
    read = open.Read();
    EXPECT_EQ(read.root.storages.at(u"sub").storages.at(u"inner").streams.at(u"deep"), ToBytes("deep"));
}

TEST(KVOStorage, CopyToAnotherStorage)
{
    File source;
    const CLSID kClass{0xABCDEF01, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    {
        ComPtr<IStorage> sub = CreateSub(source.root.Get(), u"Sub");
        ASSERT_EQ(sub->SetClass(kClass), S_OK);
        ASSERT_EQ(WriteStream(sub.Get(), u"a", Pattern(70000, 1)), S_OK);
    }
    ASSERT_EQ(WriteStream(source.root.Get(), u"b", ToBytes("bee")), S_OK);
    ASSERT_EQ(WriteStream(source.root.Get(), u"skip", ToBytes("no")), S_OK);

    File target;
    ASSERT_EQ(WriteStream(target.root.Get(), u"B", ToBytes("replaced")), S_OK);
    OLECHAR skipName[] = u"SKIP";
    LPOLESTR exclude[] = {skipName, nullptr};
    const IID iid = IID_IStream;
    EXPECT_EQ(source.root->CopyTo(1, nullptr, nullptr, target.root.Get()), STG_E_INVALIDPARAMETER);
    EXPECT_EQ(source.root->CopyTo(0, &iid, nullptr, target.root.Get()), STG_E_INVALIDPARAMETER);
    EXPECT_EQ(source.root->CopyTo(0, nullptr, nullptr, nullptr), STG_E_INVALIDPOINTER);
    ASSERT_EQ(source.root->CopyTo(0, nullptr, exclude, target.root.Get()), S_OK);
    const testreader::Tree copied = Committed(target);
    EXPECT_EQ(copied.streams.at(u"b"), ToBytes("bee"));
    EXPECT_FALSE(copied.streams.contains(u"B"));
    EXPECT_FALSE(copied.streams.contains(u"skip"));
    EXPECT_EQ(copied.storages.at(u"Sub").streams.at(u"a"), Pattern(70000, 1));
    EXPECT_EQ(copied.storages.at(u"Sub").clsid[0], 0x01);

    // Copying into itself or into a storage below it would read what it writes.
    ComPtr<IStorage> sub;
    ASSERT_EQ(OpenSub(source.root.Get(), u"Sub", sub), S_OK);
    EXPECT_EQ(source.root->CopyTo(0, nullptr, nullptr, source.root.Get()), STG_E_ACCESSDENIED);
    EXPECT_EQ(source.root->CopyTo(0, nullptr, nullptr, sub.Get()), STG_E_ACCESSDENIED);
    EXPECT_EQ(source.root->MoveElementTo(u"b", target.root.Get(), u"c", 0), E_NOTIMPL);
    EXPECT_EQ(source.root->Revert(), E_NOTIMPL);
}

TEST(KVOStorage, RenameAndExtensionSlots)
{
    File file;
    ASSERT_EQ(WriteStream(file.root.Get(), u"one", ToBytes("1")), S_OK);
    ASSERT_EQ(WriteStream(file.root.Get(), u"two", ToBytes("2")), S_OK);
    EXPECT_EQ(file.root->RenameElement(u"one", u"TWO"), STG_E_FILEALREADYEXISTS);
    EXPECT_EQ(file.root->RenameElement(u"three", u"four"), STG_E_FILENOTFOUND);
    EXPECT_EQ(file.root->DestroyElement(u"three"), STG_E_FILENOTFOUND);
    ASSERT_EQ(file.root->RenameElement(u"one", u"uno"), S_OK);
    const testreader::Tree tree = Committed(file);
    EXPECT_EQ(tree.streams.at(u"uno"), ToBytes("1"));
    EXPECT_FALSE(tree.streams.contains(u"one"));

    ComPtr<IKVOStorage> extended;
    ASSERT_EQ(file.root->QueryInterface(IID_IKVOStorage, reinterpret_cast<void**>(extended.Out())), S_OK);
    ComPtr<ILockBytes> container;
    ASSERT_EQ(extended->GetLockBytes(container.Out()), S_OK);
    EXPECT_EQ(container.Get(), static_cast<ILockBytes*>(file.bytes.Get()));
    IUnknown* object = nullptr;
    EXPECT_EQ(extended->GetExtensionObject(&object), S_FALSE); // the memory container has no extension
    EXPECT_EQ(extended->Notify(1), S_OK);
    ComPtr<IKVOStream> stream;
    ASSERT_EQ(Open(file.root.Get(), u"uno")->QueryInterface(IID_IKVOStream, reinterpret_cast<void**>(stream.Out())), S_OK);
    EXPECT_EQ(stream->CopyRange(MakeULargeInteger(0), MakeULargeInteger(1), MakeULargeInteger(1)), S_FALSE);
    EXPECT_EQ(file.root->SetStateBits(1, 1), S_OK);
}

// One mutex per file: streams of one file written from two threads at once stay whole.
TEST(KVOStorage, ConcurrentWritersOfOneFile)
{
    File file;
    ComPtr<IStream> first = Create(file.root.Get(), u"first");
    ComPtr<IStream> second = Create(file.root.Get(), u"second");
    auto writer = [](IStream* stream, unsigned seed) {
        for (unsigned i = 0; i < 200; ++i) {
            Put(stream, Pattern(700, seed + i));
        }
    };
    std::thread a(writer, first.Get(), 1000u);
    std::thread b(writer, second.Get(), 5000u);
    a.join();
    b.join();
    Bytes expectedFirst;
    Bytes expectedSecond;
    for (unsigned i = 0; i < 200; ++i) {
        const Bytes x = Pattern(700, 1000 + i);
        const Bytes y = Pattern(700, 5000 + i);
        expectedFirst.insert(expectedFirst.end(), x.begin(), x.end());
        expectedSecond.insert(expectedSecond.end(), y.begin(), y.end());
    }
    first.Reset();
    second.Reset();
    const testreader::Tree tree = Committed(file);
    EXPECT_EQ(tree.streams.at(u"first"), expectedFirst);
    EXPECT_EQ(tree.streams.at(u"second"), expectedSecond);
}
