// The compound file over damaged bytes of a file our own code wrote: the input patches any header field, any byte of
// any cluster and any directory record or directory header, before a script or during it, and the script then
// opens, reads, writes, cuts, destroys and commits, with writes of the container failing where it says. Nothing may
// crash, the stream whose clusters no patch touched must read back as written, and new data goes in and reads back
// once the container works again.
#include "fuzzkit.h"

#include "foundation/compoundfile.h"
#include "foundation/kvostorage.h"
#include "platform/com/memlockbytes.h"

#include <algorithm>
#include <array>
#include <string_view>

using platform::ComPtr;

namespace {

fuzzkit::Bytes Pattern(std::size_t size, unsigned seed)
{
    fuzzkit::Bytes bytes(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(state >> 16);
    }
    return bytes;
}

// The data the script writes, made once.
struct Patterns {
    fuzzkit::Bytes alpha = Pattern(40000, 1);
    fuzzkit::Bytes one = Pattern(100, 2);
    fuzzkit::Bytes two = Pattern(33000, 3);
    fuzzkit::Bytes deep = Pattern(5, 4);
    fuzzkit::Bytes small = Pattern(5000, 5);
    fuzzkit::Bytes large = Pattern(70000, 6);
    fuzzkit::Bytes fresh = Pattern(50000, 9);
};

const Patterns& Data()
{
    static const Patterns patterns;
    return patterns;
}

HRESULT Put(IStorage* storage, const char16_t* name, const fuzzkit::Bytes& data, bool create = true, ULONG at = 0)
{
    ComPtr<IStream> stream;
    HRESULT hr = create ? storage->CreateStream(name, STGM_CREATE | STGM_READWRITE, 0, 0, stream.Out())
                        : storage->OpenStream(name, nullptr, STGM_READWRITE, 0, stream.Out());
    if (FAILED(hr)) {
        return hr;
    }
    stream->Seek(MakeLargeInteger(at), STREAM_SEEK_SET, nullptr);
    ULONG written = 0;
    return stream->Write(data.data(), static_cast<ULONG>(data.size()), &written);
}

fuzzkit::Bytes Get(IStorage* storage, const char16_t* name)
{
    ComPtr<IStream> stream;
    fuzzkit::Bytes all;
    if (FAILED(storage->OpenStream(name, nullptr, STGM_READ, 0, stream.Out()))) {
        return all;
    }
    std::uint8_t buffer[16384];
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &read)) && read != 0 && all.size() < (1u << 20)) {
        all.insert(all.end(), buffer, buffer + read);
    }
    return all;
}

ComPtr<IStorage> Sub(IStorage* storage, const char16_t* name, bool create = false)
{
    ComPtr<IStorage> sub;
    if (create) {
        storage->CreateStorage(name, STGM_READWRITE, 0, 0, sub.Out());
    } else {
        storage->OpenStorage(name, nullptr, STGM_READWRITE, nullptr, 0, sub.Out());
    }
    return sub;
}

// The bytes of the last input's file, kept for the next: fresh memory for every input would cost more than the
// storage's own work, in pages mapped and zeroed.
std::vector<BYTE>& Spare()
{
    static std::vector<BYTE> spare;
    return spare;
}

std::vector<BYTE> Room()
{
    std::vector<BYTE> room = std::move(Spare());
    room.clear();
    room.reserve(std::size_t{1} << 20);
    return room;
}

// The file every input starts from: "alpha" in the root; "sub" with "one", "two" and "inner", which holds "deep".
// It is made anew for every input, so that the storage's map in memory is the one the image was written with.
struct File {
    ComPtr<platform::MemoryLockBytes> bytes = platform::MemoryLockBytes::Create(Room());
    ComPtr<IStorage> root;

    File()
    {
        KVOStorage::CreateOnLockBytes(bytes.Get(), root.Out());
        Put(root.Get(), u"alpha", Data().alpha);
        {
            ComPtr<IStorage> sub = Sub(root.Get(), u"sub", true);
            Put(sub.Get(), u"one", Data().one);
            Put(sub.Get(), u"two", Data().two);
            ComPtr<IStorage> inner = Sub(sub.Get(), u"inner", true);
            Put(inner.Get(), u"deep", Data().deep);
        }
        root->Commit(STGC_DEFAULT);
    }

    ~File()
    {
        root.Reset();
        // The container's bytes are its own and not const; taking them leaves it empty.
        Spare().swap(const_cast<std::vector<BYTE>&>(bytes->Data()));
    }
};

std::size_t Find(const fuzzkit::Bytes& image, std::u16string_view name)
{
    fuzzkit::Bytes pattern;
    for (const char16_t unit : name) {
        pattern.push_back(static_cast<std::uint8_t>(unit));
        pattern.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    pattern.insert(pattern.end(), {0, 0});
    return static_cast<std::size_t>(std::search(image.begin(), image.end(), pattern.begin(), pattern.end()) - image.begin());
}

constexpr std::uint32_t kClusterSize = 1u << CompoundFile::kClusterShift;
constexpr std::size_t kRecords = 6;

// Where the parts of the first image lie: its directory records (and so the directory headers before the first
// record of each directory) and the clusters of "alpha".
struct Layout {
    std::size_t size = 0;
    std::uint32_t clusters = 0;
    std::array<std::size_t, kRecords> records{};
    std::array<std::size_t, 3> directories{};
    std::size_t alphaFirst = 0; // file offsets of alpha's two clusters
    std::size_t alphaSecond = 0;

    explicit Layout(const fuzzkit::Bytes& image)
        : size(image.size()), clusters(static_cast<std::uint32_t>((image.size() - CompoundFile::kHeaderSize) / kClusterSize))
    {
        const std::u16string_view names[kRecords] = {u"alpha", u"sub", u"one", u"two", u"inner", u"deep"};
        for (std::size_t i = 0; i < kRecords; ++i) {
            records[i] = Find(image, names[i]);
        }
        directories = {records[0] - CompoundFile::kDirectoryHeaderSize, records[2] - CompoundFile::kDirectoryHeaderSize,
                       records[5] - CompoundFile::kDirectoryHeaderSize};
        const fuzzkit::Bytes& alpha = Data().alpha;
        alphaFirst = static_cast<std::size_t>(
            std::search(image.begin(), image.end(), alpha.begin(), alpha.begin() + kClusterSize) - image.begin());
        alphaSecond = static_cast<std::size_t>(
            std::search(image.begin(), image.end(), alpha.begin() + kClusterSize, alpha.end()) - image.begin());
    }

    bool InAlpha(std::size_t offset) const
    {
        return (offset >= alphaFirst && offset < alphaFirst + kClusterSize) ||
               (offset >= alphaSecond && offset < alphaSecond + (Data().alpha.size() - kClusterSize));
    }
};

// One patch of the input: where (a header field, a byte of a cluster, a directory record or a directory's header)
// and what (a byte stored or xored in, a 32-bit word, or the number of a cluster of the file). False when it touched
// the data of "alpha".
bool Patch(fuzzkit::Input& input, const Layout& layout, platform::MemoryLockBytes& bytes)
{
    std::size_t offset = 0;
    switch (input.Byte() % 4) {
    case 0: offset = input.U16() % CompoundFile::kHeaderSize; break;
    case 1: offset = CompoundFile::kHeaderSize + std::size_t{input.Byte() % layout.clusters} * kClusterSize +
                     input.U16() % kClusterSize;
        break;
    case 2: offset = layout.records[input.Byte() % kRecords] + input.Byte() % CompoundFile::kEntrySize; break;
    default:
        offset = layout.directories[input.Byte() % layout.directories.size()] +
                 input.Byte() % CompoundFile::kDirectoryHeaderSize;
        break;
    }
    const std::uint8_t mode = input.Byte();
    const std::vector<BYTE>& image = bytes.Data();
    std::uint32_t value = 0;
    std::size_t width = 1;
    switch (mode % 4) {
    case 0: value = input.Byte(); break;
    case 1: value = input.Byte() ^ (offset < image.size() ? image[offset] : 0); break;
    case 2: value = input.U32(); width = 4; break;
    default: value = CompoundFile::kFirstDataCluster + input.Byte() % (layout.clusters + 2); width = 4; break;
    }
    if (offset >= image.size()) {
        return true;
    }
    width = std::min(width, image.size() - offset);
    std::uint8_t word[4];
    CompoundFile::PutU32(word, value);
    // Straight into the bytes, past any fault the input set up for the storage's own writes.
    const platform::MemoryLockBytesFaults faults = bytes.Faults();
    bytes.Faults() = {};
    ULONG written = 0;
    bytes.WriteAt(MakeULargeInteger(offset), word, static_cast<ULONG>(width), &written);
    bytes.Faults() = faults;
    for (std::size_t i = 0; i < width; ++i) {
        if (layout.InAlpha(offset + i)) {
            return false;
        }
    }
    return true;
}

std::vector<fuzzkit::Bytes> Seeds()
{
    // No patch and every step of the script (a byte of a cluster xored in at step 12, a write failing at step 13);
    // a record naming another cluster; a directory's count; a damaged commit word with a failing write; the
    // directory of an open storage damaged.
    fuzzkit::Bytes all{0};
    for (std::uint8_t step = 0; step < 15; ++step) {
        all.push_back(step);
        if (step == 12) {
            all.insert(all.end(), {1, 3, 0, 0, 1, 0x81});
        } else if (step == 13) {
            all.push_back(2);
        }
    }
    fuzzkit::Bytes sibling{1, 2, 2, 72, 3, 4, 0, 1, 2, 3, 10, 11};
    fuzzkit::Bytes count{1, 3, 1, 0, 0, 2, 0, 1, 7, 8, 9};
    fuzzkit::Bytes commitWord{1, 0, 148, 0, 1, 1, 0, 13, 3, 4, 0, 0, 10, 10};
    fuzzkit::Bytes late{0, 0, 1, 12, 3, 2, 0, 2, 0x41, 8, 9, 0, 8, 9, 0, 1, 2, 3, 10};
    return {all, sibling, count, commitWord, late};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::WriteSeedsIfAsked("compoundfile", Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    File file;
    IStorage* root = file.root.Get();
    static const Layout layout(file.bytes->Data());
    fuzzkit::Check(file.bytes->Data().size() == layout.size, "the first image changed its size");
    fuzzkit::Input input(data, size);
    bool alphaIntact = true;
    for (int patches = input.Byte() % 17; patches > 0; --patches) {
        alphaIntact &= Patch(input, layout, *file.bytes.Get());
    }
    ComPtr<IStorage> sub;
    ComPtr<IStorage> inner;
    // A short script: each step costs the copying of clusters, and long ones find nothing that short ones miss.
    for (int steps = 0; steps < 32 && !input.Empty(); ++steps) {
        switch (input.Byte() % 15) {
        case 0: sub = Sub(root, u"sub"); break;
        case 1: if (sub) inner = Sub(sub.Get(), u"inner"); break;
        case 2: if (sub) Get(sub.Get(), u"one"); break;
        case 3: if (sub) Get(sub.Get(), u"two"); break;
        case 4: if (sub) Put(sub.Get(), u"two", Data().small, false, input.U16()); break;
        case 5: if (sub) sub->DestroyElement(u"one"); break;
        case 6: if (inner) Put(inner.Get(), u"deep", Data().large, false, input.U16()); break;
        case 7: if (inner) inner->DestroyElement(u"deep"); break;
        case 8: inner.Reset(); break;
        case 9: inner.Reset(); sub.Reset(); break;
        case 10: root->Commit(STGC_DEFAULT); break;
        case 11: inner.Reset(); sub.Reset(); root->DestroyElement(u"sub"); break;
        case 12: alphaIntact &= Patch(input, layout, *file.bytes.Get()); break;
        case 13: {
            // The container fails one of its next few writes.
            platform::MemoryLockBytesFaults& faults = file.bytes->Faults();
            faults.write.at = file.bytes->Calls().write + 1 + input.Byte() % 8;
            faults.write.count = 1;
            break;
        }
        case 14: if (sub) Put(sub.Get(), u"one", Data().one, true); break;
        }
    }
    file.bytes->Faults() = platform::MemoryLockBytesFaults{};
    // What no patch touched is as it was written, and new data goes in and reads back.
    if (alphaIntact) {
        fuzzkit::Check(Get(root, u"alpha") == Data().alpha, "a stream outside the damage changed");
    }
    const fuzzkit::Bytes& fresh = Data().fresh;
    fuzzkit::Check(SUCCEEDED(Put(root, u"fresh", fresh)), "writing a new stream failed");
    inner.Reset();
    sub.Reset();
    fuzzkit::Check(SUCCEEDED(root->Commit(STGC_DEFAULT)), "the commit failed");
    fuzzkit::Check(Get(root, u"fresh") == fresh, "a new stream read back differently");
    return 0;
}
