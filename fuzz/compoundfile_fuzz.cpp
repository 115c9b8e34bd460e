// The compound file over damaged directories of a file our own code wrote: records of two storages are patched by
// the input, and a script of the input then opens, reads, writes, cuts, destroys and commits. Nothing may crash, and
// the data outside the damaged storages must read back as written.
#include "fuzzkit.h"

#include "foundation/kvostorage.h"
#include "platform/com/memlockbytes.h"

#include <algorithm>
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
    std::uint8_t buffer[8192];
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof buffer, &read)) && read != 0 && all.size() < (1u << 22)) {
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

// The file every input starts from: "alpha" in the root; "sub" with "one", "two" and "inner", which holds "deep".
// It is made anew for every input, so that the storage's map in memory is the one the image was written with.
struct File {
    ComPtr<platform::MemoryLockBytes> bytes = platform::MemoryLockBytes::Create();
    ComPtr<IStorage> root;

    File()
    {
        KVOStorage::CreateOnLockBytes(bytes.Get(), root.Out());
        Put(root.Get(), u"alpha", Pattern(40000, 1));
        {
            ComPtr<IStorage> sub = Sub(root.Get(), u"sub", true);
            Put(sub.Get(), u"one", Pattern(100, 2));
            Put(sub.Get(), u"two", Pattern(33000, 3));
            ComPtr<IStorage> inner = Sub(sub.Get(), u"inner", true);
            Put(inner.Get(), u"deep", Pattern(5, 4));
        }
        root->Commit(STGC_DEFAULT);
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

constexpr std::size_t kSubDirectorySize = 8 + 3 * 160;
constexpr std::size_t kInnerDirectorySize = 8 + 160;

std::vector<fuzzkit::Bytes> Seeds()
{
    // No patch and every step of the script; one patch naming a sibling's cluster; a patch of a count.
    fuzzkit::Bytes all{0};
    for (std::uint8_t step = 0; step < 12; ++step) {
        all.push_back(step);
    }
    fuzzkit::Bytes sibling{1, 0, 8 + 160 + 72, 0, 0, 0, 1, 2, 3, 10, 11};
    fuzzkit::Bytes count{1, 1, 0, 0, 2, 1, 7, 8, 9};
    return {all, sibling, count};
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
    fuzzkit::Bytes image = file.bytes->Data();
    static const std::size_t subDirectory = Find(image, u"one") - 8;
    static const std::size_t innerDirectory = Find(image, u"deep") - 8;
    fuzzkit::Input input(data, size);
    // Patches: which directory, the offset in it, then a byte to store (even mode) or to xor in (odd mode).
    for (int patches = input.Byte() % 17; patches > 0; --patches) {
        const bool inner = input.Byte() & 1;
        const std::size_t offset = input.U16() % (inner ? kInnerDirectorySize : kSubDirectorySize);
        const std::uint8_t mode = input.Byte();
        const std::uint8_t value = input.Byte();
        std::uint8_t& at = image[(inner ? innerDirectory : subDirectory) + offset];
        at = (mode & 1) ? static_cast<std::uint8_t>(at ^ value) : value;
    }
    file.bytes->SetData(image);
    ComPtr<IStorage> sub;
    ComPtr<IStorage> inner;
    const fuzzkit::Bytes fresh = Pattern(50000, 9);
    while (!input.Empty()) {
        switch (input.Byte() % 12) {
        case 0: sub = Sub(root, u"sub"); break;
        case 1: if (sub) inner = Sub(sub.Get(), u"inner"); break;
        case 2: if (sub) Get(sub.Get(), u"one"); break;
        case 3: if (sub) Get(sub.Get(), u"two"); break;
        case 4: if (sub) Put(sub.Get(), u"two", Pattern(5000, 5), false, input.U16()); break;
        case 5: if (sub) sub->DestroyElement(u"one"); break;
        case 6: if (inner) Put(inner.Get(), u"deep", Pattern(70000, 6), false, input.U16()); break;
        case 7: if (inner) inner->DestroyElement(u"deep"); break;
        case 8: inner.Reset(); break;
        case 9: inner.Reset(); sub.Reset(); break;
        case 10: root->Commit(STGC_DEFAULT); break;
        case 11: inner.Reset(); sub.Reset(); root->DestroyElement(u"sub"); break;
        }
    }
    // What lies outside the damaged directories is untouched, and new data goes in and reads back.
    fuzzkit::Check(Get(root, u"alpha") == Pattern(40000, 1), "a stream outside the damage changed");
    fuzzkit::Check(SUCCEEDED(Put(root, u"fresh", fresh)), "writing a new stream failed");
    inner.Reset();
    sub.Reset();
    fuzzkit::Check(SUCCEEDED(root->Commit(STGC_DEFAULT)), "the commit failed");
    fuzzkit::Check(Get(root, u"fresh") == fresh, "a new stream read back differently");
    return 0;
}
