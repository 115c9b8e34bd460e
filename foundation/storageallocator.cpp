#include "foundation/storageallocator.h"

#include "foundation/xkvo.h"

#include <algorithm>
#include <memory>
#include <array>
#include <cstring>

using namespace CompoundFile;

namespace {

constexpr ULONG kZeroBlock = 1u << kClusterShift;
const std::array<std::uint8_t, kZeroBlock> kZeros{};

// From this write position on, a growing element takes the clusters at the end of the file.
constexpr std::uint64_t kLargeFilePosition = 0x500001;

[[noreturn]] void ThrowBadDirectory() { throw XKVO(KVO::String(u"Error reading Storage Entry Table"), KVO::Errors::kBadStorage); }

// The records of a storage's directory stream. A directory that cannot be read whole, or whose records cannot be
// what this code writes, throws XKVO 0xA0048210.
std::vector<DirectoryEntry> ReadDirectory(StorageAllocator& allocator, Element& own)
{
    const std::uint64_t size = own.Size();
    if (size == 0) {
        return {};
    }
    std::uint8_t head[kDirectoryHeaderSize];
    ULONG read = 0;
    if (size < kDirectoryHeaderSize || FAILED(allocator.Read(own, 0, head, kDirectoryHeaderSize, &read)) ||
        read != kDirectoryHeaderSize) {
        ThrowBadDirectory();
    }
    const std::uint32_t count = GetU32(head);
    if (count > kMaxEntries || GetU32(head + 4) != 0u - count ||
        size != kDirectoryHeaderSize + static_cast<std::uint64_t>(count) * kEntrySize) {
        ThrowBadDirectory();
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count) * kEntrySize);
    if (count != 0 &&
        (FAILED(allocator.Read(own, kDirectoryHeaderSize, bytes.data(), static_cast<ULONG>(bytes.size()), &read)) ||
         read != bytes.size())) {
        ThrowBadDirectory();
    }
    std::vector<DirectoryEntry> records;
    records.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const DirectoryEntry record =
            DirectoryEntry::Decode(std::span<const std::uint8_t, kEntrySize>(bytes.data() + i * kEntrySize, kEntrySize));
        const bool typeKnown = record.type == kElementStorage || record.type == kElementStream;
        const bool nameEnds = record.Name().size() < kNameUnits;
        if (!typeKnown || !nameEnds || record.start.offset != 0 || !allocator.ChainFits(record)) {
            ThrowBadDirectory();
        }
        records.push_back(record);
    }
    return records;
}

} // namespace

Element::Element() = default;
Element::~Element() = default;

void Element::MarkSaved()
{
    savedEnd = record.end;
    changed = false;
    obtained.clear();
}

StorageAllocator::StorageAllocator(ILockBytes* container) : container_(container)
{
    container_->AddRef();
    void* extension = nullptr;
    if (SUCCEEDED(container_->QueryInterface(IID_IKVOLockBytes, &extension))) {
        extension_ = static_cast<IKVOLockBytes*>(extension);
    }
    if (!map_.InitNew()) {
        if (extension_) {
            extension_->Release();
        }
        container_->Release();
        throw XKVO(STG_E_INSUFFICIENTMEMORY);
    }
    header_.map[0].count = map_.Count();
    root_.record.SetName(kRootName);
    root_.record.type = kElementStorage;
    root_.mode = 0x04011012; // STGM_DELETEONRELEASE | STGM_TRANSACTED | STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE
    root_.changed = true;
}

StorageAllocator::~StorageAllocator()
{
    if (extension_) {
        extension_->Release();
    }
    container_->Release();
}

HRESULT StorageAllocator::GetExtensionObject(IUnknown** out) const
{
    return extension_ ? extension_->GetExtensionObject(out) : S_FALSE;
}

HRESULT StorageAllocator::GetLockBytes(ILockBytes** out) const
{
    if (!out) {
        return STG_E_INVALIDPOINTER;
    }
    container_->AddRef();
    *out = container_;
    return S_OK;
}

std::uint64_t StorageAllocator::FileOffset(std::uint32_t cluster, std::uint32_t within) const
{
    return ClusterOffset(cluster, map_.ClusterShift()) + within;
}

HRESULT StorageAllocator::ReadContainer(std::uint64_t offset, void* buffer, ULONG count)
{
    ULONG read = 0;
    const HRESULT hr = container_->ReadAt(MakeULargeInteger(offset), buffer, count, &read);
    if (FAILED(hr)) {
        return hr;
    }
    return read == count ? S_OK : E_FAIL;
}

HRESULT StorageAllocator::WriteContainer(std::uint64_t offset, const void* buffer, ULONG count)
{
    ULONG written = 0;
    const HRESULT hr = container_->WriteAt(MakeULargeInteger(offset), buffer, count, &written);
    if (FAILED(hr)) {
        return hr;
    }
    return written == count ? S_OK : E_FAIL;
}

void StorageAllocator::ThrowTransfer(HRESULT hr) { throw XKVO(FAILED(hr) ? hr : E_FAIL); }

CompoundFile::Position StorageAllocator::EndPosition(const Element& element, std::uint64_t size,
                                                     std::uint32_t cluster) const
{
    if (size == 0) {
        return {0, element.record.start.cluster};
    }
    const bool atClusterEnd = (size & map_.OffsetMask()) == 0;
    return {size, cluster | (atClusterEnd ? kEndOfClusterBit : 0)};
}

std::uint32_t StorageAllocator::ClusterAt(Element& element, std::uint64_t index, std::uint32_t* last,
                                          std::uint64_t* lastIndex)
{
    // Start from the known point nearest to the target: the first cluster, the last walk or the end.
    std::uint64_t at = 0;
    std::uint32_t cluster = element.record.start.cluster;
    if (cluster == 0) {
        if (last) {
            *last = 0;
            *lastIndex = 0;
        }
        return 0;
    }
    auto consider = [&](std::uint64_t candidateIndex, std::uint32_t candidate) {
        if (candidate == 0) {
            return;
        }
        const auto distance = [&](std::uint64_t i) { return i > index ? i - index : index - i; };
        if (distance(candidateIndex) < distance(at)) {
            at = candidateIndex;
            cluster = candidate;
        }
    };
    consider(element.hintIndex, element.hintCluster);
    const std::uint64_t size = element.Size();
    const std::uint32_t endCluster = element.record.end.cluster & ~kEndOfClusterBit;
    if (size > 0 && endCluster != 0) {
        consider((size - 1) >> map_.ClusterShift(), endCluster);
    }
    const std::uint32_t limit = map_.Count();
    for (std::uint32_t steps = 0; at != index; ++steps) {
        const std::uint32_t step = at < index ? map_.Next(cluster) : map_.Previous(cluster);
        if (step == 0 || !map_.IsDataCluster(step) || steps > limit) {
            break;
        }
        cluster = step;
        at = at < index ? at + 1 : at - 1;
    }
    element.hintIndex = at;
    element.hintCluster = cluster;
    if (last) {
        *last = cluster;
        *lastIndex = at;
    }
    return at == index ? cluster : 0;
}

std::uint32_t StorageAllocator::CopyOnWrite(Element& element, std::uint64_t index, std::uint32_t old, bool largeFile,
                                            HRESULT& hr)
{
    const std::uint64_t clusterStart = index << map_.ClusterShift();
    const std::uint64_t size = element.Size();
    const ULONG valid = size > clusterStart
                            ? static_cast<ULONG>(std::min<std::uint64_t>(map_.ClusterSize(), size - clusterStart))
                            : 0;
    std::vector<std::uint8_t> content(valid);
    if (valid != 0) {
        hr = ReadContainer(FileOffset(old, 0), content.data(), valid);
        if (FAILED(hr)) {
            return 0;
        }
    }
    const std::uint32_t fresh = map_.Allocate(map_.Previous(old), largeFile, false);
    if (fresh == 0) {
        hr = STG_E_INSUFFICIENTMEMORY;
        return 0;
    }
    if (valid != 0) {
        hr = WriteContainer(FileOffset(fresh, 0), content.data(), valid);
        if (FAILED(hr)) {
            map_.ReturnFree(fresh); // never part of any version
            return 0;
        }
    }
    // Only now does the chain change: the committed cluster waits for the next commit.
    map_.Replace(old, fresh);
    map_.ReleaseAtEnd(old);
    element.obtained.insert(fresh);
    if (element.record.start.cluster == old) {
        element.record.start.cluster = fresh;
    }
    if ((element.record.end.cluster & ~kEndOfClusterBit) == old) {
        element.record.end.cluster = fresh | (element.record.end.cluster & kEndOfClusterBit);
    }
    if (element.hintCluster == old) {
        element.hintCluster = fresh;
    }
    element.changed = true;
    return fresh;
}

std::uint32_t StorageAllocator::WritableCluster(Element& element, std::uint64_t index, bool largeFile, HRESULT& hr)
{
    if (element.record.start.cluster == 0) {
        const std::uint32_t first = map_.Allocate(0, largeFile);
        if (first == 0) {
            hr = STG_E_INSUFFICIENTMEMORY;
            return 0;
        }
        element.obtained.insert(first);
        element.record.start.cluster = first;
        if (element.Size() == 0) {
            element.record.end = {0, first};
        }
        element.hintIndex = 0;
        element.hintCluster = first;
        element.changed = true;
    }
    std::uint32_t last = 0;
    std::uint64_t lastIndex = 0;
    std::uint32_t cluster = ClusterAt(element, index, &last, &lastIndex);
    while (cluster == 0) {
        const std::uint32_t appended = map_.Allocate(last, largeFile);
        if (appended == 0) {
            hr = STG_E_INSUFFICIENTMEMORY;
            return 0;
        }
        element.obtained.insert(appended);
        last = appended;
        ++lastIndex;
        element.hintIndex = lastIndex;
        element.hintCluster = appended;
        if (lastIndex == index) {
            cluster = appended;
        }
    }
    if (!element.obtained.contains(cluster)) {
        cluster = CopyOnWrite(element, index, cluster, largeFile, hr);
    }
    return cluster;
}

HRESULT StorageAllocator::WriteRange(Element& element, std::uint64_t position, const std::uint8_t* source,
                                     std::uint64_t count, std::uint64_t& done)
{
    done = 0;
    const std::uint32_t shift = map_.ClusterShift();
    // Refused before anything moves when the end could never have a cluster number.
    const std::uint64_t maxBytes = static_cast<std::uint64_t>(ClusterMap::kLimit - kFirstDataCluster) << shift;
    if (position > maxBytes || count > maxBytes - position) {
        return STG_E_MEDIUMFULL;
    }
    while (done < count) {
        const std::uint64_t at = position + done;
        const std::uint32_t within = static_cast<std::uint32_t>(at & map_.OffsetMask());
        const ULONG piece = static_cast<ULONG>(std::min<std::uint64_t>(count - done, map_.ClusterSize() - within));
        HRESULT hr = S_OK;
        const std::uint32_t cluster = WritableCluster(element, at >> shift, at >= kLargeFilePosition, hr);
        if (cluster == 0) {
            return hr;
        }
        hr = WriteContainer(FileOffset(cluster, within), source ? source + done : kZeros.data(), piece);
        if (FAILED(hr)) {
            return hr;
        }
        done += piece;
        if (at + piece > element.Size()) {
            element.record.end = EndPosition(element, at + piece, cluster);
            element.changed = true;
        }
    }
    return S_OK;
}

HRESULT StorageAllocator::Read(Element& element, std::uint64_t position, void* buffer, ULONG count, ULONG* read)
{
    *read = 0;
    const std::uint64_t size = element.Size();
    if (position >= size || count == 0) {
        return S_OK;
    }
    const ULONG total = static_cast<ULONG>(std::min<std::uint64_t>(count, size - position));
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (*read < total) {
        const std::uint64_t at = position + *read;
        const std::uint32_t within = static_cast<std::uint32_t>(at & map_.OffsetMask());
        const ULONG piece = std::min<ULONG>(total - *read, map_.ClusterSize() - within);
        const std::uint32_t cluster = ClusterAt(element, at >> map_.ClusterShift());
        if (cluster == 0) {
            return KVO::Errors::kBadStorage; // the chain ends before the data
        }
        const HRESULT hr = ReadContainer(FileOffset(cluster, within), out + *read, piece);
        if (FAILED(hr)) {
            return hr;
        }
        *read += piece;
    }
    return S_OK;
}

HRESULT StorageAllocator::Write(Element& element, std::uint64_t position, const void* buffer, ULONG count,
                                ULONG* written)
{
    *written = 0;
    if (count == 0) {
        return S_OK;
    }
    const std::uint64_t size = element.Size();
    if (position > size) {
        std::uint64_t filled = 0;
        const HRESULT hr = WriteRange(element, size, nullptr, position - size, filled);
        if (FAILED(hr)) {
            return hr;
        }
    }
    std::uint64_t done = 0;
    const HRESULT hr = WriteRange(element, position, static_cast<const std::uint8_t*>(buffer), count, done);
    *written = static_cast<ULONG>(done);
    return hr;
}

void StorageAllocator::ForgetChain(Element& element, std::uint32_t first)
{
    for (std::uint32_t cluster = first, steps = 0; cluster != 0 && steps < map_.Count(); ++steps) {
        element.obtained.erase(cluster);
        cluster = map_.Next(cluster);
    }
    element.hintIndex = 0;
    element.hintCluster = 0;
}

HRESULT StorageAllocator::SetSize(Element& element, std::uint64_t size)
{
    const std::uint64_t current = element.Size();
    if (size > current) {
        std::uint64_t done = 0;
        return WriteRange(element, current, nullptr, size - current, done);
    }
    const std::uint32_t first = element.record.start.cluster;
    if (first == 0) {
        return S_OK;
    }
    if (size == 0) {
        ForgetChain(element, first);
        map_.ReleaseChain(first);
        element.record.start.cluster = 0;
        element.record.end = {0, 0};
    } else {
        const std::uint32_t keep = ClusterAt(element, (size - 1) >> map_.ClusterShift());
        if (keep == 0) {
            return KVO::Errors::kBadStorage;
        }
        const std::uint32_t beyond = map_.Next(keep);
        if (size == current && beyond == 0) {
            return S_OK;
        }
        if (beyond != 0) {
            ForgetChain(element, beyond);
            map_.ReleaseChain(beyond);
        }
        element.record.end = EndPosition(element, size, keep);
    }
    element.changed = true;
    resize_ = true;
    return S_OK;
}

HRESULT StorageAllocator::ReplaceData(Element& element, const std::uint8_t* bytes, std::size_t count)
{
    // The new data goes to a chain of its own first, so that a failure leaves the element as it was.
    Element fresh;
    std::uint64_t done = 0;
    const HRESULT hr = WriteRange(fresh, 0, bytes, count, done);
    if (FAILED(hr)) {
        if (fresh.record.start.cluster != 0) {
            map_.ReleaseChain(fresh.record.start.cluster);
        }
        return hr;
    }
    if (const std::uint32_t old = element.record.start.cluster) {
        ForgetChain(element, old);
        map_.ReleaseChain(old);
        resize_ = true;
    }
    element.record.start = fresh.record.start;
    element.record.end = fresh.record.end;
    element.obtained = std::move(fresh.obtained);
    element.hintIndex = 0;
    element.hintCluster = 0;
    element.changed = true;
    return S_OK;
}

bool StorageAllocator::ChainFits(const DirectoryEntry& record) const
{
    const std::uint32_t first = record.start.cluster;
    const std::uint64_t size = record.end.offset;
    if (first == 0) {
        return size == 0 && record.end.cluster == 0;
    }
    if (!map_.IsDataCluster(first) || map_.IsFree(first) || map_.Previous(first) != 0) {
        return false; // not the head of a chain
    }
    if (size == 0) {
        return record.end.cluster == first; // a first cluster kept from a write that failed
    }
    // The chain reaches the end of the data, and the end names the cluster that holds it. Clusters past the end
    // are left by writes that failed, and belong to the element all the same.
    const std::uint64_t last = (size - 1) >> map_.ClusterShift();
    const bool atClusterEnd = (size & map_.OffsetMask()) == 0;
    if (((record.end.cluster & kEndOfClusterBit) != 0) != atClusterEnd) {
        return false;
    }
    std::uint32_t cluster = first;
    for (std::uint64_t index = 0; index < last; ++index) {
        const std::uint32_t next = map_.Next(cluster);
        if (!map_.IsDataCluster(next) || map_.IsFree(next) || map_.Previous(next) != cluster) {
            return false;
        }
        cluster = next;
    }
    return cluster == (record.end.cluster & ~kEndOfClusterBit);
}

boost::container::flat_set<std::uint32_t> StorageAllocator::HeadsOutside(const Element& loading)
{
    boost::container::flat_set<std::uint32_t> heads;
    for (const MapRecord& run : header_.map) {
        if (run.first != 0) {
            heads.insert(run.first);
        }
    }
    // Storages whose directory is not in memory are read from the container; a directory that cannot be read is
    // skipped here and refused when it is opened itself.
    boost::container::flat_set<std::uint32_t> visited;
    auto collect = [&](auto& self, Element& storage) -> void {
        if (storage.record.start.cluster != 0 && !visited.insert(storage.record.start.cluster).second) {
            return; // a directory met twice names itself somewhere below: it is refused when opened
        }
        if (storage.table) {
            for (std::uint32_t i = 0; i < storage.table->Count(); ++i) {
                Element& element = storage.table->At(i);
                heads.insert(element.record.start.cluster);
                if (element.IsStorage() && &element != &loading) {
                    self(self, element);
                }
            }
            return;
        }
        try {
            for (const DirectoryEntry& record : ReadDirectory(*this, storage)) {
                heads.insert(record.start.cluster);
                if (record.type == kElementStorage) {
                    Element child;
                    child.record = record;
                    self(self, child);
                }
            }
        } catch (const XKVO&) {
        }
    };
    heads.insert(root_.record.start.cluster);
    if (&root_ != &loading) {
        collect(collect, root_);
    }
    heads.erase(0);
    return heads;
}

void StorageAllocator::WriteMap(std::uint32_t copy)
{
    MapRecord& record = header_.map[copy];
    if (record.first != 0 && !map_.RunIntact(record.first)) {
        // The run of this copy belongs to a version older than the one on disk: its clusters are free at once.
        map_.FreeChain(record.first);
        record.first = 0;
        resize_ = true;
    }
    if (record.first == 0) {
        record.first = map_.AllocateRun();
        if (record.first == 0) {
            throw XKVO(STG_E_INSUFFICIENTMEMORY);
        }
    }
    record.count = map_.Count();
    const std::uint32_t perCluster = map_.EntriesPerCluster();
    // Encode fills the whole block.
    const auto block = std::make_unique_for_overwrite<std::uint8_t[]>(map_.ClusterSize());
    for (std::uint32_t i = 0; i < map_.Count() / perCluster; ++i) {
        map_.Encode(i * perCluster, perCluster, block.get());
        const HRESULT hr = WriteContainer(FileOffset(record.first + i, 0), block.get(), map_.ClusterSize());
        if (FAILED(hr)) {
            ThrowTransfer(hr);
        }
    }
}

bool StorageAllocator::CommitWordTookEffect(std::uint32_t copy)
{
    if (!committed_) {
        return false; // there is no earlier version to keep
    }
    // A write that failed may still have stored the byte that selects the new copy. Putting the old word back keeps
    // the previous commit in force; when even that fails, the word on the disk tells which commit is.
    std::uint8_t word[4];
    PutU32(word, copy ^ 1);
    if (SUCCEEDED(WriteContainer(kCommitWordOffset, word, 4))) {
        return false;
    }
    return SUCCEEDED(ReadContainer(kCommitWordOffset, word, 4)) && (GetU32(word) & 1) == copy;
}

HRESULT StorageAllocator::Commit(DWORD flags)
{
    if (!map_.Changed() && !root_.changed) {
        return S_OK;
    }
    const std::uint32_t copy = header_.commitWord & 1;
    try {
        WriteMap(copy);
    } catch (const XKVO&) {
        return E_FAIL;
    }
    header_.root[copy] = root_.record;
    std::array<std::uint8_t, kHeaderSize> bytes{};
    header_.Encode(bytes);
    HRESULT hr = WriteContainer(kCommitBlockOffset, bytes.data() + kCommitBlockOffset, kCommitBlockSize);
    if (FAILED(hr)) {
        ThrowTransfer(hr);
    }
    if (resize_) {
        const std::uint64_t size = FileOffset(map_.HighestUsed(), 0) + map_.ClusterSize();
        hr = container_->SetSize(MakeULargeInteger(size));
        if (FAILED(hr)) {
            ThrowTransfer(hr);
        }
        resize_ = false;
    }
    const bool flush = !(flags & STGC_DANGEROUSLYCOMMITMERELYTODISKCACHE);
    if (flush) {
        hr = container_->Flush();
        if (FAILED(hr)) {
            return hr;
        }
    }
    hr = WriteContainer(0, bytes.data(), kFixedPartSize);
    if (FAILED(hr)) {
        ThrowTransfer(hr);
    }
    hr = WriteContainer(kCommitWordOffset, bytes.data() + kCommitWordOffset, 4);
    if (FAILED(hr) && !CommitWordTookEffect(copy)) {
        ThrowTransfer(hr);
    }
    // The commit word is out: the new version is the committed one, whatever the flush below says, and the copy
    // just written must not be written again by the next commit.
    header_.commitWord ^= 1;
    committed_ = true;
    map_.FreeReleased();
    map_.ClearChanged();
    root_.MarkSaved();
    if (FAILED(hr)) {
        return hr; // in force all the same, but the container failed a write
    }
    return flush ? container_->Flush() : S_OK;
}

ElementTable::ElementTable(StorageAllocator& allocator, Element& own) : allocator_(allocator), own_(own)
{
    const std::vector<DirectoryEntry> records = ReadDirectory(allocator, own);
    // Each record must own its clusters: one naming the chain of another element would let a later write, cut or
    // destroy change clusters that are not its own. Chains are linked both ways in the map, so two chains share a
    // cluster only when they share their first one.
    boost::container::flat_set<std::uint32_t> heads;
    for (const DirectoryEntry& record : records) {
        if (record.start.cluster != 0 && !heads.insert(record.start.cluster).second) {
            ThrowBadDirectory();
        }
    }
    if (!heads.empty()) {
        const boost::container::flat_set<std::uint32_t> elsewhere = allocator.HeadsOutside(own);
        if (std::any_of(heads.begin(), heads.end(), [&](std::uint32_t head) { return elsewhere.contains(head); })) {
            ThrowBadDirectory();
        }
    }
    elements_.reserve(records.size());
    for (const DirectoryEntry& record : records) {
        auto element = std::make_unique<Element>();
        element->record = record;
        element->savedEnd = record.end;
        elements_.push_back(std::move(element));
    }
}

Element* ElementTable::Find(std::u16string_view name, std::uint32_t type)
{
    for (const auto& element : elements_) {
        if ((type == 0 || element->record.type == type) && SameName(element->record.Name(), name)) {
            return element.get();
        }
    }
    return nullptr;
}

Element& ElementTable::Add(std::u16string_view name, std::uint32_t type, DWORD mode)
{
    if (elements_.size() >= kMaxEntries) {
        throw XKVO(KVO::String(u"ElementTable::Resize : too many entries"), KVO::Errors::kBadStorage);
    }
    auto element = std::make_unique<Element>();
    element->record.SetName(name);
    element->record.type = type;
    element->mode = mode;
    element->changed = true;
    elements_.push_back(std::move(element));
    return *elements_.back();
}

void ElementTable::Remove(Element& element)
{
    const auto found = std::find_if(elements_.begin(), elements_.end(), [&](const auto& e) { return e.get() == &element; });
    if (found != elements_.end()) {
        elements_.erase(found);
    }
}

ElementTable& ElementTable::Of(StorageAllocator& allocator, Element& storage)
{
    if (!storage.table) {
        storage.table = std::make_unique<ElementTable>(allocator, storage);
    }
    return *storage.table;
}

bool ElementTable::Changed() const
{
    return changed_ || std::any_of(elements_.begin(), elements_.end(), [](const auto& e) { return e->changed; });
}

bool ElementTable::ChangedBelow() const
{
    return Changed() || std::any_of(elements_.begin(), elements_.end(), [](const auto& e) {
               return e->table && e->table->ChangedBelow();
           });
}

void ElementTable::WriteChanged()
{
    for (const auto& element : elements_) {
        if (element->table) {
            element->table->WriteChanged();
        }
    }
    if (Changed()) {
        Write();
    }
}

void ElementTable::Write()
{
    const auto count = static_cast<std::uint32_t>(elements_.size());
    std::vector<std::uint8_t> bytes(kDirectoryHeaderSize + static_cast<std::size_t>(count) * kEntrySize);
    PutU32(bytes.data(), count);
    PutU32(bytes.data() + 4, 0u - count);
    for (std::uint32_t i = 0; i < count; ++i) {
        elements_[i]->record.Encode(
            std::span<std::uint8_t, kEntrySize>(bytes.data() + kDirectoryHeaderSize + i * kEntrySize, kEntrySize));
    }
    const HRESULT hr = allocator_.ReplaceData(own_, bytes.data(), bytes.size());
    if (FAILED(hr)) {
        throw XKVO(hr);
    }
    for (const auto& element : elements_) {
        element->MarkSaved();
    }
    changed_ = false;
}
