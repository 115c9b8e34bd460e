// Interrupted commits: a crash at any write, or a failed write that the program survives, never leaves a file that
// reads as anything but a committed version.
#include "storagekit.h"

using namespace storagekit;

namespace {

// Stage operations ignore their results: after a crash every write fails, and the stage must still run through.
void PutStream(IStorage* storage, const char16_t* name, const Bytes& data, std::int64_t at = -1)
{
    ComPtr<IStream> stream;
    if (at < 0) {
        storage->CreateStream(name, STGM_CREATE | STGM_READWRITE, 0, 0, stream.Out());
    } else {
        storage->OpenStream(name, nullptr, STGM_READWRITE, 0, stream.Out());
    }
    if (!stream) {
        return;
    }
    stream->Seek(MakeLargeInteger(at < 0 ? 0 : at), STREAM_SEEK_SET, nullptr);
    ULONG written = 0;
    stream->Write(data.data(), static_cast<ULONG>(data.size()), &written);
}

void CutStream(IStorage* storage, const char16_t* name, ULONGLONG size)
{
    ComPtr<IStream> stream;
    storage->OpenStream(name, nullptr, STGM_READWRITE, 0, stream.Out());
    if (stream) {
        stream->SetSize(MakeULargeInteger(size));
    }
}

ComPtr<IStorage> Sub(IStorage* storage, const char16_t* name, bool create)
{
    ComPtr<IStorage> sub;
    if (create) {
        storage->CreateStorage(name, STGM_READWRITE, 0, 0, sub.Out());
    } else {
        storage->OpenStorage(name, nullptr, STGM_READWRITE, nullptr, 0, sub.Out());
    }
    return sub;
}

// Each stage changes the file and commits the root. Child storages commit when they are released, or with the root
// while they are open.
void Stage(IStorage* root, int stage)
{
    switch (stage) {
    case 1: {
        PutStream(root, u"alpha", Pattern(40000, 1));
        PutStream(root, u"beta", ToBytes("short"));
        ComPtr<IStorage> sub = Sub(root, u"sub", true);
        if (sub) {
            PutStream(sub.Get(), u"gamma", Pattern(70000, 2));
        }
        break;
    }
    case 2: {
        PutStream(root, u"alpha", Pattern(5000, 3), 30000); // across the boundary of two committed clusters
        if (ComPtr<IStorage> sub = Sub(root, u"sub", false)) {
            PutStream(sub.Get(), u"delta", Pattern(5000, 4));
            CutStream(sub.Get(), u"gamma", 10);
        }
        root->DestroyElement(u"beta");
        PutStream(root, u"epsilon", Pattern(33000, 5));
        break;
    }
    case 3: {
        PutStream(root, u"alpha", ToBytes("tail"), 41000); // past the end: the gap is filled with zeros
        root->RenameElement(u"epsilon", u"zeta");
        CutStream(root, u"zeta", 0);
        // The root commits while "sub" and "inner" are still open: their changes are written with it.
        ComPtr<IStorage> sub = Sub(root, u"sub", false);
        ComPtr<IStorage> inner;
        if (sub) {
            inner = Sub(sub.Get(), u"inner", true);
            if (inner) {
                PutStream(inner.Get(), u"eta", Pattern(100, 6));
            }
            sub->DestroyElement(u"delta");
            PutStream(sub.Get(), u"gamma", Pattern(40000, 7), 5);
        }
        root->Commit(STGC_DEFAULT);
        return;
    }
    default:
        break;
    }
    root->Commit(STGC_DEFAULT);
}

testreader::Tree TreeAfter(int stages)
{
    File file;
    for (int stage = 1; stage <= stages; ++stage) {
        Stage(file.root.Get(), stage);
    }
    testreader::Result read = file.Read();
    EXPECT_TRUE(read.ok) << read.error;
    return read.root;
}

unsigned WritesOfStage(int stage)
{
    File file;
    for (int s = 1; s < stage; ++s) {
        Stage(file.root.Get(), s);
    }
    const unsigned before = file.bytes->Calls().write;
    Stage(file.root.Get(), stage);
    return file.bytes->Calls().write - before;
}

// The tree as the storage itself reports it through its interfaces.
testreader::Tree ApiTree(IStorage* storage)
{
    testreader::Tree tree;
    ComPtr<IEnumSTATSTG> elements;
    EXPECT_EQ(storage->EnumElements(0, nullptr, 0, elements.Out()), S_OK);
    STATSTG stat{};
    ULONG fetched = 0;
    while (elements && elements->Next(1, &stat, &fetched) == S_OK) {
        const std::u16string name(stat.pwcsName);
        CoTaskMemFree(stat.pwcsName);
        if (stat.type == STGTY_STREAM) {
            ComPtr<IStream> stream;
            EXPECT_EQ(storage->OpenStream(name.c_str(), nullptr, STGM_READ, 0, stream.Out()), S_OK);
            tree.streams[name] = ReadAll(stream.Get());
        } else {
            ComPtr<IStorage> sub;
            EXPECT_EQ(storage->OpenStorage(name.c_str(), nullptr, STGM_READ, nullptr, 0, sub.Out()), S_OK);
            tree.storages[name] = ApiTree(sub.Get());
        }
    }
    return tree;
}

} // namespace

TEST(CompoundFileCrash, EveryInterruptedWriteLeavesTheOldOrTheNewVersion)
{
    const testreader::Tree versions[] = {{}, TreeAfter(1), TreeAfter(2), TreeAfter(3)};
    ASSERT_EQ(versions[1].streams.at(u"beta"), ToBytes("short"));
    ASSERT_EQ(versions[3].storages.at(u"sub").storages.at(u"inner").streams.at(u"eta"), Pattern(100, 6));
    for (int stage = 1; stage <= 3; ++stage) {
        const unsigned writes = WritesOfStage(stage);
        ASSERT_GT(writes, 6u);
        unsigned sawNew = 0;
        for (unsigned k = 1; k <= writes; ++k) {
            for (const ULONG torn : {0u, 2u, 100u}) {
                SCOPED_TRACE("stage " + std::to_string(stage) + ", crash at write " + std::to_string(k) +
                             ", torn after " + std::to_string(torn));
                File file;
                for (int s = 1; s < stage; ++s) {
                    Stage(file.root.Get(), s);
                }
                file.bytes->Faults().crashAtWrite = file.bytes->Calls().write + k;
                file.bytes->Faults().tornBytes = torn;
                Stage(file.root.Get(), stage);
                ASSERT_TRUE(file.bytes->Crashed());
                const testreader::Result read = file.Read();
                if (stage == 1 && !read.ok) {
                    continue; // the first commit never finished: there is no version yet
                }
                ASSERT_TRUE(read.ok) << read.error;
                ASSERT_EQ(read.unaccounted, 0u);
                const bool isOld = read.root == versions[stage - 1];
                const bool isNew = read.root == versions[stage];
                ASSERT_TRUE(isOld || isNew) << testreader::Describe(read.root);
                sawNew += isNew && !isOld;
                // Only the last write, the commit word, can bring the new version.
                if (k < writes) {
                    ASSERT_TRUE(isOld) << testreader::Describe(read.root);
                }
                // Releasing after the crash neither throws nor changes the frozen bytes.
                const Bytes frozen = file.bytes->Data();
                file.root.Reset();
                ASSERT_EQ(file.bytes->Data(), frozen);
            }
        }
        EXPECT_GT(sawNew, 0u);
    }
}

// A write that fails once, anywhere, is survived: a later commit writes a file that reads back exactly as the
// storage reports its contents, with no cluster lost.
TEST(CompoundFileCrash, ASingleFailedWriteIsSurvivedByTheNextCommit)
{
    for (int stage = 1; stage <= 3; ++stage) {
        const unsigned writes = WritesOfStage(stage);
        for (unsigned k = 1; k <= writes; ++k) {
            for (const bool shortWrite : {false, true}) {
                SCOPED_TRACE("stage " + std::to_string(stage) + ", write " + std::to_string(k) +
                             (shortWrite ? " short" : " fails"));
                File file;
                for (int s = 1; s < stage; ++s) {
                    Stage(file.root.Get(), s);
                }
                const unsigned at = file.bytes->Calls().write + k;
                if (shortWrite) {
                    // The container reports success with fewer bytes; the storage must not count them as written.
                    file.bytes->Faults().shortWrite = {at, 1, S_OK};
                } else {
                    file.bytes->Faults().write = {at, 1, STG_E_WRITEFAULT};
                }
                Stage(file.root.Get(), stage);
                file.bytes->Faults() = {};
                ASSERT_EQ(file.root->Commit(STGC_DEFAULT), S_OK);
                const testreader::Result read = file.Read();
                ASSERT_TRUE(read.ok) << read.error;
                ASSERT_EQ(read.unaccounted, 0u);
                ASSERT_TRUE(read.root == ApiTree(file.root.Get())) << testreader::Describe(read.root);
            }
        }
    }
}

// A failing flush before the commit word keeps the old version and reports the failure; the next commit succeeds.
TEST(CompoundFileCrash, FailedFlushOrResizeKeepsTheOldVersion)
{
    File file;
    Stage(file.root.Get(), 1);
    const testreader::Tree first = file.Read().root;

    PutStream(file.root.Get(), u"beta", ToBytes("longer than before"));
    file.bytes->Faults().flush = {file.bytes->Calls().flush + 1, 1, STG_E_WRITEFAULT};
    EXPECT_EQ(file.root->Commit(STGC_DEFAULT), STG_E_WRITEFAULT);
    testreader::Result read = file.Read();
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_TRUE(read.root == first);

    // Without flushing nothing is flushed, and the commit goes through.
    const unsigned flushes = file.bytes->Calls().flush;
    ASSERT_EQ(file.root->Commit(STGC_DANGEROUSLYCOMMITMERELYTODISKCACHE), S_OK);
    EXPECT_EQ(file.bytes->Calls().flush, flushes);
    read = file.Read();
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.root.streams.at(u"beta"), ToBytes("longer than before"));

    // Cutting a stream marks the file for resizing; a failing resize keeps the old version too.
    CutStream(file.root.Get(), u"alpha", 0);
    file.bytes->Faults().setSize = {file.bytes->Calls().setSize + 1, 1, STG_E_MEDIUMFULL};
    EXPECT_EQ(file.root->Commit(STGC_DEFAULT), STG_E_MEDIUMFULL);
    EXPECT_EQ(file.Read().root.streams.at(u"alpha").size(), 40000u);
    ASSERT_EQ(file.root->Commit(STGC_DEFAULT), S_OK);
    read = file.Read();
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_TRUE(read.root.streams.at(u"alpha").empty());
}

// A commit word written in part may already select the new copy while the commit reports a failure. The disk must
// then name one version that the storage agrees with, so that the next commit never rewrites the selected copy: a
// crash anywhere in that commit still leaves a readable version.
TEST(CompoundFileCrash, ATornCommitWordLeavesOneVersionInForce)
{
    const testreader::Tree versions[] = {{}, TreeAfter(1), TreeAfter(2), TreeAfter(3)};
    const unsigned stage2Writes = WritesOfStage(2);
    for (const bool restoreFails : {false, true}) {
        SCOPED_TRACE(restoreFails ? "the old word cannot be put back" : "the old word is put back");
        // Stage 2's last write is its commit word: stored in half ("01 00"), which selects the new copy.
        auto torn = [&](File& file) {
            Stage(file.root.Get(), 1);
            const unsigned word = file.bytes->Calls().write + stage2Writes;
            file.bytes->Faults().shortWrite = {word, 1, S_OK};
            if (restoreFails) {
                file.bytes->Faults().write = {word + 1, 1, STG_E_WRITEFAULT};
            }
            Stage(file.root.Get(), 2);
            file.bytes->Faults() = {};
        };
        File probe;
        torn(probe);
        const testreader::Result onDisk = probe.Read();
        ASSERT_TRUE(onDisk.ok) << onDisk.error;
        const testreader::Tree& inForce = restoreFails ? versions[2] : versions[1];
        ASSERT_TRUE(onDisk.root == inForce) << testreader::Describe(onDisk.root);
        const unsigned before = probe.bytes->Calls().write;
        Stage(probe.root.Get(), 3);
        const unsigned writes = probe.bytes->Calls().write - before;
        ASSERT_TRUE(probe.Read().root == versions[3]);

        for (unsigned k = 1; k <= writes; ++k) {
            SCOPED_TRACE("crash at write " + std::to_string(k));
            File file;
            torn(file);
            file.bytes->Faults().crashAtWrite = file.bytes->Calls().write + k;
            file.bytes->Faults().tornBytes = 2;
            Stage(file.root.Get(), 3);
            const testreader::Result read = file.Read();
            ASSERT_TRUE(read.ok) << read.error;
            ASSERT_TRUE(read.root == inForce || read.root == versions[3]) << testreader::Describe(read.root);
        }
    }
}
