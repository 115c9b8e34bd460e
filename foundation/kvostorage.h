// The storages of a compound file and their element enumerator. A new transacted root storage over a new file is
// the entry point (KVOStorage::CreateOnFile); child storages hold their parent. Every storage commits on its last
// Release. One recursive mutex per file guards every operation.
#pragma once

#include "foundation/storageallocator.h"
#include "sdk/ikvostorage.h"

#include <memory>

class KVOStorage final : public IKVOStorage {
public:
    // A new transacted root storage on a new file (an empty name: a new temporary file, removed when the storage is
    // released). The storage comes back with one reference.
    static HRESULT CreateOnFile(LPCWSTR name, IStorage** out);
    // A new root storage on a container (one reference is taken on it).
    static HRESULT CreateOnLockBytes(ILockBytes* container, IStorage** out);
    // A new empty file "KVO<hex>.tmp" in the temporary folder; `buffer` holds MAX_PATH units.
    static HRESULT MakeTempFileName(LPWSTR buffer);

    KVOStorage(const KVOStorage&) = delete;
    KVOStorage& operator=(const KVOStorage&) = delete;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT CreateStream(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                         IStream** ppstm) override;
    HRESULT OpenStream(const OLECHAR* pwcsName, void* reserved1, DWORD grfMode, DWORD reserved2,
                       IStream** ppstm) override;
    HRESULT CreateStorage(const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
                          IStorage** ppstg) override;
    HRESULT OpenStorage(const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                        DWORD reserved, IStorage** ppstg) override;
    HRESULT CopyTo(DWORD ciidExclude, const IID* rgiidExclude, SNB snbExclude, IStorage* pstgDest) override;
    HRESULT MoveElementTo(const OLECHAR* pwcsName, IStorage* pstgDest, const OLECHAR* pwcsNewName,
                          DWORD grfFlags) override;
    HRESULT Commit(DWORD grfCommitFlags) override;
    HRESULT Revert() override;
    HRESULT EnumElements(DWORD reserved1, void* reserved2, DWORD reserved3, IEnumSTATSTG** ppenum) override;
    HRESULT DestroyElement(const OLECHAR* pwcsName) override;
    HRESULT RenameElement(const OLECHAR* pwcsOldName, const OLECHAR* pwcsNewName) override;
    HRESULT SetElementTimes(const OLECHAR* pwcsName, const FILETIME* pctime, const FILETIME* patime,
                            const FILETIME* pmtime) override;
    HRESULT SetClass(REFCLSID clsid) override;
    HRESULT SetStateBits(DWORD grfStateBits, DWORD grfMask) override;
    HRESULT Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;

    HRESULT GetExtensionObject(IUnknown** out) override;
    HRESULT GetLockBytes(ILockBytes** out) override;
    HRESULT Notify(ULONG_PTR argument) override;

    // The enumerator's view: the STATSTG of element `index` (name always given); S_FALSE past the last.
    HRESULT StatElementAt(std::uint32_t index, STATSTG* out);
    std::uint32_t ElementCount();
    std::recursive_mutex& Mutex() { return allocator_->Mutex(); }

private:
    explicit KVOStorage(ILockBytes* container);     // root
    KVOStorage(KVOStorage* parent, Element& own);   // child; the caller holds the mutex
    ~KVOStorage();

    bool IsRoot() const { return parent_ == nullptr; }
    // The element of a create or open slot: looked up by name and type, or (creating) added, replacing one of that
    // name and type when the mode has STGM_CREATE. The caller holds the mutex.
    HRESULT FindOrCreate(const OLECHAR* name, std::uint32_t type, bool create, DWORD mode, Element*& element);
    // Hands out make(element) for the element of a create or open slot, with one reference.
    template <class Interface, class Make>
    HRESULT HandOut(const OLECHAR* name, std::uint32_t type, bool create, DWORD mode, Interface** out, Make make);
    HRESULT HandOutStream(const OLECHAR* name, bool create, DWORD mode, IStream** out);
    // Runs action(element) on the first element of that name (any type), under the mutex.
    template <class Action>
    HRESULT OnNamedElement(const OLECHAR* name, Action action);
    HRESULT HandOutStorage(const OLECHAR* name, bool create, DWORD mode, IStorage** out);
    void CommitLocked(DWORD flags);
    // Frees the data of an element and, for a storage, of everything in it.
    void DestroyData(Element& element);
    // Refused (STG_E_ACCESSDENIED) while the element is open.
    HRESULT DestroyLocked(Element& element);
    HRESULT CopyElements(ElementTable& table, SNB exclude, IStorage* destination);
    HRESULT CopyStreamData(Element& element, IStream* destination);
    bool IsSelfOrAncestorOf(IStorage* storage);

    platform::RefCount refs_;
    KVOStorage* parent_ = nullptr;
    std::unique_ptr<StorageAllocator> ownedAllocator_; // the root's
    StorageAllocator* allocator_;
    Element* own_;
    ElementTable* table_; // owned by the own element
};
