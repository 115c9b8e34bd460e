// The shared state of one compound file: its header, cluster map and root element, the byte container, and the
// reading and writing of element data along cluster chains; the elements of one storage (ElementTable).
//
// Files are always transacted: a cluster that belongs to the committed version is never written in place. Writing
// into one copies it to a fresh cluster first; released clusters wait on the map's released list until the next
// commit has been written. A commit writes the cluster map and the root entry to the copy that the on-disk commit
// word does not select, and then the commit word alone, so that a reader sees the previous or the new commit.
#pragma once

#include "foundation/clustermap.h"
#include "foundation/compoundfile.h"
#include "foundation/xkvo.h"
#include "platform/com/storage.h"
#include "sdk/ikvostorage.h"

#include <boost/container/flat_set.hpp>

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

// Runs the body of a storage interface slot (KVO::GuardSlot); a failed allocation is the storage's
// STG_E_INSUFFICIENTMEMORY.
template <class Body>
HRESULT GuardedCall(Body&& body) noexcept
{
    const HRESULT hr = KVO::GuardSlot(std::forward<Body>(body));
    return hr == E_OUTOFMEMORY ? STG_E_INSUFFICIENTMEMORY : hr;
}

class ElementTable;

// One directory entry in memory.
struct Element {
    Element();
    ~Element();
    Element(const Element&) = delete;
    Element& operator=(const Element&) = delete;

    CompoundFile::DirectoryEntry record;
    CompoundFile::Position savedEnd; // the end as of the last time the record was written
    DWORD mode = 0;                  // the STGM flags it was opened with
    ULONG openCount = 0;             // open streams and storages on it
    bool changed = false;            // the record differs from the one last written
    // Clusters obtained since the record was last written: only these may be written in place.
    boost::container::flat_set<std::uint32_t> obtained;
    // A storage element's directory in memory: loaded when the storage is opened, kept while it is open and for as
    // long as it holds changes that are not written yet (its release could not write them).
    std::unique_ptr<ElementTable> table;
    // The cluster at chain index hintIndex, where the chain was last walked (hintCluster 0: none).
    std::uint64_t hintIndex = 0;
    std::uint32_t hintCluster = 0;

    bool IsStorage() const { return record.type == CompoundFile::kElementStorage; }
    std::uint64_t Size() const { return record.end.offset; }
    // The record has been written: what is written now belongs to the next version.
    void MarkSaved();
};

class StorageAllocator {
public:
    // A new file on the container (one reference is taken). Nothing is written before the first commit.
    // Throws XKVO (STG_E_INSUFFICIENTMEMORY) when the map cannot be made.
    explicit StorageAllocator(ILockBytes* container);
    StorageAllocator(const StorageAllocator&) = delete;
    StorageAllocator& operator=(const StorageAllocator&) = delete;
    ~StorageAllocator();

    std::recursive_mutex& Mutex() { return mutex_; }
    Element& Root() { return root_; }
    ClusterMap& Map() { return map_; }
    const CompoundFile::FileHeader& Header() const { return header_; }
    ILockBytes* Container() const { return container_; }
    IKVOLockBytes* ContainerExtension() const { return extension_; }
    // The extension slots of storages and streams: the container's extension object (S_FALSE without an
    // extension), the container itself with one reference.
    HRESULT GetExtensionObject(IUnknown** out) const;
    HRESULT GetLockBytes(ILockBytes** out) const;

    // Element data. Reading at or past the end reads nothing. Writing past the end first fills the gap with
    // zeros. Failures come back as HRESULTs with the bytes moved so far.
    HRESULT Read(Element& element, std::uint64_t position, void* buffer, ULONG count, ULONG* read);
    HRESULT Write(Element& element, std::uint64_t position, const void* buffer, ULONG count, ULONG* written);
    // Cutting releases the clusters past the new end (all of them at 0); growing writes zeros.
    HRESULT SetSize(Element& element, std::uint64_t size);
    // Replaces the whole data of the element; on failure the element keeps its old data.
    HRESULT ReplaceData(Element& element, const std::uint8_t* bytes, std::size_t count);

    // A directory record read from the container may stand for an element: it heads a chain of its own (or has no
    // cluster and no data) that reaches the end of its data, and its end position names the cluster that holds it.
    bool ChainFits(const CompoundFile::DirectoryEntry& record) const;
    // The first clusters of the map's runs and of the data of every element in the file, except the elements of
    // `loading`'s directory (which is being read).
    boost::container::flat_set<std::uint32_t> HeadsOutside(const Element& loading);

    // Writes the cluster map, the root entry and the commit word when the map or the root entry changed. Failures
    // before the commit word is written leave the previous commit in force on disk.
    HRESULT Commit(DWORD flags);

private:
    HRESULT ReadContainer(std::uint64_t offset, void* buffer, ULONG count);
    HRESULT WriteContainer(std::uint64_t offset, const void* buffer, ULONG count);
    std::uint64_t FileOffset(std::uint32_t cluster, std::uint32_t within) const;
    // The cluster at chain index `index`, or 0 when the chain ends before; `last`/`lastIndex` get the last cluster
    // reached.
    std::uint32_t ClusterAt(Element& element, std::uint64_t index, std::uint32_t* last = nullptr,
                            std::uint64_t* lastIndex = nullptr);
    // The cluster at `index` made writable: allocated when the chain is shorter, copied when it belongs to the
    // committed version. 0 (with hr) when that fails.
    std::uint32_t WritableCluster(Element& element, std::uint64_t index, bool largeFile, HRESULT& hr);
    std::uint32_t CopyOnWrite(Element& element, std::uint64_t index, std::uint32_t old, bool largeFile, HRESULT& hr);
    // `source` null writes zeros.
    HRESULT WriteRange(Element& element, std::uint64_t position, const std::uint8_t* source, std::uint64_t count,
                       std::uint64_t& done);
    void ForgetChain(Element& element, std::uint32_t first);
    CompoundFile::Position EndPosition(const Element& element, std::uint64_t size, std::uint32_t cluster) const;
    void WriteMap(std::uint32_t copy);
    // After a failed write of the commit word: whether the disk selects `copy`, the one just written.
    bool CommitWordTookEffect(std::uint32_t copy);
    [[noreturn]] void ThrowTransfer(HRESULT hr);

    std::recursive_mutex mutex_;
    ILockBytes* container_;
    IKVOLockBytes* extension_ = nullptr;
    CompoundFile::FileHeader header_;
    ClusterMap map_;
    Element root_;
    bool resize_ = false;
    bool committed_ = false; // a commit word has been written
};

// The elements of one storage, in directory order, over the storage's own element.
class ElementTable {
public:
    // Reads the directory stream of `own`. A bad directory throws XKVO 0xA0048210.
    ElementTable(StorageAllocator& allocator, Element& own);

    Element& Own() { return own_; }
    std::uint32_t Count() const { return static_cast<std::uint32_t>(elements_.size()); }
    // The table of a storage element: the one in memory, else read from its directory.
    static ElementTable& Of(StorageAllocator& allocator, Element& storage);
    Element& At(std::uint32_t index) { return *elements_[index]; }
    // By name and type, or (type 0) by name alone; the first match in table order, or null.
    Element* Find(std::u16string_view name, std::uint32_t type = 0);
    // Appends a new element; the 1025th throws XKVO 0xA0048210.
    Element& Add(std::u16string_view name, std::uint32_t type, DWORD mode);
    void Remove(Element& element);
    // The set of elements changed (created, destroyed).
    void MarkChanged() { changed_ = true; }
    bool Changed() const;
    // This table or one of the tables in memory below it has changes to write.
    bool ChangedBelow() const;
    // Rewrites the directory stream; throws XKVO on failure (the old directory stays). Every entry counts as saved
    // afterwards.
    void Write();
    // Writes the changed tables below, deepest first, and then this one: the directories on disk then match every
    // chain in the map, whatever storages are still open.
    void WriteChanged();

private:
    StorageAllocator& allocator_;
    Element& own_;
    std::vector<std::unique_ptr<Element>> elements_;
    bool changed_ = false;
};
