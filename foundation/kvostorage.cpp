#include "foundation/kvostorage.h"

#include "foundation/filelockbytes.h"
#include "foundation/kvostream.h"
#include "platform/com/streamcopy.h"
#include "platform/win/errors.h"
#include "platform/win/files.h"

#include <vector>

using namespace CompoundFile;

namespace {

// Answered by QueryInterface with the object itself, so that a storage can tell its own kind apart.
// {6B1F3C5F-8E0D-4A77-B2C9-3F5E1D7A9C01}
constexpr IID kImplementationIid{0x6B1F3C5F, 0x8E0D, 0x4A77, {0xB2, 0xC9, 0x3F, 0x5E, 0x1D, 0x7A, 0x9C, 0x01}};

constexpr DWORD kRootMode = STGM_DELETEONRELEASE | STGM_TRANSACTED | STGM_CREATE | STGM_SHARE_EXCLUSIVE |
                            STGM_READWRITE; // 0x04011012
constexpr DWORD kCopyStreamMode = STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_WRITE; // 0x1011
constexpr DWORD kCopyStorageMode = STGM_SHARE_EXCLUSIVE | STGM_WRITE;               // 0x11

// Names of 32 units or more are refused rather than cut, so that two names never meet.
HRESULT CheckName(const OLECHAR* name, std::u16string_view& out)
{
    if (!name) {
        return STG_E_INVALIDPOINTER;
    }
    std::size_t length = 0;
    while (length < kNameUnits && name[length] != 0) {
        ++length;
    }
    if (length >= kNameUnits) {
        return STG_E_INVALIDNAME;
    }
    out = std::u16string_view(name, length);
    return S_OK;
}

bool IsExcluded(std::u16string_view name, SNB exclude)
{
    for (SNB at = exclude; at && *at; ++at) {
        if (SameName(name, *at)) {
            return true;
        }
    }
    return false;
}

// Enumerates the elements of a storage as they are when Next is called.
class ElementEnumerator final : public IEnumSTATSTG {
public:
    explicit ElementEnumerator(KVOStorage* storage) : storage_(storage) { storage_->AddRef(); }
    ElementEnumerator(const ElementEnumerator&) = delete;
    ElementEnumerator& operator=(const ElementEnumerator&) = delete;

    HRESULT QueryInterface(REFIID, void** out) override
    {
        if (out) {
            *out = nullptr;
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT Next(ULONG celt, STATSTG* rgelt, ULONG* pceltFetched) override
    {
        return GuardedCall([&] {
            if (pceltFetched) {
                *pceltFetched = 0;
            }
            if (!rgelt && celt != 0) {
                return STG_E_INVALIDPOINTER;
            }
            ULONG filled = 0;
            for (; filled < celt; ++filled) {
                const HRESULT hr = storage_->StatElementAt(index_, &rgelt[filled]);
                if (hr == S_FALSE) {
                    break;
                }
                if (FAILED(hr)) {
                    for (ULONG i = 0; i < filled; ++i) {
                        CoTaskMemFree(rgelt[i].pwcsName);
                        rgelt[i].pwcsName = nullptr;
                    }
                    return hr;
                }
                ++index_;
            }
            if (pceltFetched) {
                *pceltFetched = filled;
            }
            return filled == celt ? S_OK : S_FALSE;
        });
    }
    HRESULT Skip(ULONG celt) override
    {
        return GuardedCall([&] {
            const std::uint32_t count = storage_->ElementCount();
            const std::uint32_t left = index_ < count ? count - index_ : 0;
            const std::uint32_t skipped = std::min<std::uint32_t>(celt, left);
            index_ += skipped;
            return skipped == celt ? S_OK : S_FALSE;
        });
    }
    HRESULT Reset() override { return E_NOTIMPL; }
    HRESULT Clone(IEnumSTATSTG**) override { return E_NOTIMPL; }

private:
    ~ElementEnumerator() { storage_->Release(); }

    ULONG refs_ = 0;
    KVOStorage* storage_;
    std::uint32_t index_ = 0;
};

} // namespace

KVOStorage::KVOStorage(ILockBytes* container)
    : ownedAllocator_(std::make_unique<StorageAllocator>(container)), allocator_(ownedAllocator_.get())
{
    std::lock_guard lock(Mutex());
    own_ = &allocator_->Root();
    own_->mode = kRootMode;
    table_ = &ElementTable::Of(*allocator_, *own_);
}

KVOStorage::KVOStorage(KVOStorage* parent, Element& own)
    : allocator_(parent->allocator_), own_(&own), table_(&ElementTable::Of(*allocator_, own))
{
    parent_ = parent;
    parent_->AddRef();
    ++own_->openCount;
}

KVOStorage::~KVOStorage()
{
    if (parent_) {
        {
            std::lock_guard lock(Mutex());
            --own_->openCount;
            // Changes that could not be written stay with the element, for the next commit above to write.
            if (!table_->ChangedBelow()) {
                own_->table.reset();
            }
        }
        // Last: the parent may take the file with it.
        parent_->Release();
    }
}

HRESULT KVOStorage::CreateOnLockBytes(ILockBytes* container, IStorage** out)
{
    return GuardedCall([&] {
        if (!out) {
            return STG_E_INVALIDPOINTER;
        }
        *out = nullptr;
        if (!container) {
            return STG_E_INVALIDPOINTER;
        }
        auto* storage = new KVOStorage(container);
        storage->AddRef();
        *out = storage;
        return S_OK;
    });
}

HRESULT KVOStorage::MakeTempFileName(LPWSTR buffer)
{
    WCHAR folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length > MAX_PATH) {
        return E_FAIL;
    }
    if (GetTempFileNameW(folder, u"KVO", 0, buffer) == 0) {
        return platform::LastErrorResult();
    }
    return S_OK;
}

HRESULT KVOStorage::CreateOnFile(LPCWSTR name, IStorage** out)
{
    return GuardedCall([&] {
        if (!out) {
            return STG_E_INVALIDPOINTER;
        }
        *out = nullptr;
        WCHAR temporary[MAX_PATH + 1] = {};
        const bool makeTemporary = !name || !*name;
        if (makeTemporary) {
            const HRESULT hr = MakeTempFileName(temporary);
            if (FAILED(hr)) {
                return hr;
            }
            name = temporary;
        }
        try {
            platform::ComPtr<FileLockBytesImpl::FileLockBytes> container(new FileLockBytesImpl::FileLockBytes(name));
            return CreateOnLockBytes(container.Get(), out);
        } catch (...) {
            if (makeTemporary) {
                DeleteFileW(temporary); // the empty file that naming it created
            }
            throw;
        }
    });
}

HRESULT KVOStorage::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == kImplementationIid) {
        *out = this;
    } else if (iid == IID_IUnknown || iid == IID_IStorage || iid == IID_IKVOStorage) {
        *out = static_cast<IKVOStorage*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG KVOStorage::AddRef() { return refs_.Add(); }

ULONG KVOStorage::Release()
{
    ULONG left = 0;
    if (!refs_.Drop(left)) {
        return left;
    }
    // The last reference commits; a failure cannot be reported any more and must not stop the release.
    {
        std::lock_guard lock(Mutex());
        try {
            CommitLocked(STGC_OVERWRITE);
        } catch (...) {
        }
    }
    delete this;
    return 0;
}

void KVOStorage::CommitLocked(DWORD flags)
{
    // Storages below that are open or could not write their changes are written too: otherwise their directories on
    // disk would name chains that the map no longer holds.
    table_->WriteChanged();
    if (IsRoot()) {
        const HRESULT hr = allocator_->Commit(flags);
        if (FAILED(hr)) {
            throw XKVO(hr);
        }
    } else {
        own_->savedEnd = own_->record.end;
    }
}

HRESULT KVOStorage::Commit(DWORD grfCommitFlags)
{
    return GuardedCall([&] {
        std::lock_guard lock(Mutex());
        CommitLocked(grfCommitFlags);
        return S_OK;
    });
}

HRESULT KVOStorage::FindOrCreate(const OLECHAR* pwcsName, std::uint32_t type, bool create, DWORD mode,
                                 Element*& element)
{
    std::u16string_view name;
    HRESULT hr = CheckName(pwcsName, name);
    if (FAILED(hr)) {
        return hr;
    }
    element = table_->Find(name, type);
    if (!create) {
        if (!element) {
            return STG_E_FILENOTFOUND;
        }
        // Two tables over one directory would each rewrite it and lose the other's elements.
        if (type == kElementStorage && element->openCount != 0) {
            return STG_E_ACCESSDENIED;
        }
        element->mode = mode;
        return S_OK;
    }
    if (element) {
        if (!(mode & STGM_CREATE)) {
            return STG_E_FILEALREADYEXISTS;
        }
        hr = DestroyLocked(*element);
        if (FAILED(hr)) {
            return hr;
        }
    }
    element = &table_->Add(name, type, mode);
    table_->MarkChanged();
    return S_OK;
}

template <class Interface, class Make>
HRESULT KVOStorage::HandOut(const OLECHAR* name, std::uint32_t type, bool create, DWORD mode, Interface** out,
                            Make make)
{
    return GuardedCall([&] {
        if (!out) {
            return STG_E_INVALIDPOINTER;
        }
        *out = nullptr;
        std::lock_guard lock(Mutex());
        Element* element = nullptr;
        const HRESULT hr = FindOrCreate(name, type, create, mode, element);
        if (FAILED(hr)) {
            return hr;
        }
        Interface* made = make(*element);
        made->AddRef();
        *out = made;
        return S_OK;
    });
}

HRESULT KVOStorage::HandOutStream(const OLECHAR* name, bool create, DWORD mode, IStream** out)
{
    return HandOut(name, kElementStream, create, mode, out,
                   [this](Element& element) { return new KVOStream(this, element, *allocator_); });
}

HRESULT KVOStorage::HandOutStorage(const OLECHAR* name, bool create, DWORD mode, IStorage** out)
{
    return HandOut(name, kElementStorage, create, mode, out,
                   [this](Element& element) { return new KVOStorage(this, element); });
}

HRESULT KVOStorage::CreateStream(const OLECHAR* pwcsName, DWORD grfMode, DWORD, DWORD, IStream** ppstm)
{
    return HandOutStream(pwcsName, true, grfMode, ppstm);
}

HRESULT KVOStorage::OpenStream(const OLECHAR* pwcsName, void*, DWORD grfMode, DWORD, IStream** ppstm)
{
    return HandOutStream(pwcsName, false, grfMode, ppstm);
}

HRESULT KVOStorage::CreateStorage(const OLECHAR* pwcsName, DWORD grfMode, DWORD, DWORD, IStorage** ppstg)
{
    return HandOutStorage(pwcsName, true, grfMode, ppstg);
}

HRESULT KVOStorage::OpenStorage(const OLECHAR* pwcsName, IStorage*, DWORD grfMode, SNB, DWORD, IStorage** ppstg)
{
    return HandOutStorage(pwcsName, false, grfMode, ppstg);
}

bool KVOStorage::IsSelfOrAncestorOf(IStorage* storage)
{
    void* found = nullptr;
    if (FAILED(storage->QueryInterface(kImplementationIid, &found))) {
        return false;
    }
    auto* other = static_cast<KVOStorage*>(found);
    bool result = false;
    for (KVOStorage* at = other; at && !result; at = at->parent_) {
        result = at == this;
    }
    other->Release();
    return result;
}

HRESULT KVOStorage::CopyStreamData(Element& element, IStream* destination)
{
    std::uint64_t position = 0;
    auto read = [&](void* buffer, ULONG size, ULONG* got) {
        const HRESULT hr = allocator_->Read(element, position, buffer, size, got);
        position += *got;
        return hr;
    };
    ULARGE_INTEGER copied{};
    const HRESULT hr = platform::CopyChunks(read, destination, element.Size(), &copied, nullptr);
    return FAILED(hr) ? hr : copied.QuadPart == element.Size() ? S_OK : E_FAIL;
}

HRESULT KVOStorage::CopyElements(ElementTable& table, SNB exclude, IStorage* destination)
{
    std::vector<Element*> elements;
    for (std::uint32_t i = 0; i < table.Count(); ++i) {
        elements.push_back(&table.At(i));
    }
    for (Element* element : elements) {
        const std::u16string name(element->record.Name());
        if (IsExcluded(name, exclude)) {
            continue;
        }
        HRESULT hr = S_OK;
        if (!element->IsStorage()) {
            platform::ComPtr<IStream> target;
            hr = destination->CreateStream(name.c_str(), kCopyStreamMode, 0, 0, target.Out());
            if (SUCCEEDED(hr)) {
                hr = CopyStreamData(*element, target.Get());
            }
        } else {
            platform::ComPtr<IStorage> target;
            hr = destination->CreateStorage(name.c_str(), kCopyStorageMode, 0, 0, target.Out());
            if (hr == STG_E_FILEALREADYEXISTS) {
                hr = destination->OpenStorage(name.c_str(), nullptr, kCopyStorageMode, nullptr, 0, target.Out());
            }
            if (SUCCEEDED(hr)) {
                hr = target->SetClass(element->record.clsid);
            }
            if (SUCCEEDED(hr)) {
                // A storage in memory is copied as it stands now, one on disk as its directory says.
                const bool inMemory = element->table != nullptr;
                hr = CopyElements(ElementTable::Of(*allocator_, *element), nullptr, target.Get());
                if (!inMemory && !element->table->ChangedBelow()) {
                    element->table.reset();
                }
            }
        }
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

HRESULT KVOStorage::CopyTo(DWORD ciidExclude, const IID* rgiidExclude, SNB snbExclude, IStorage* pstgDest)
{
    return GuardedCall([&] {
        if (ciidExclude != 0 || rgiidExclude) {
            return STG_E_INVALIDPARAMETER;
        }
        if (!pstgDest) {
            return STG_E_INVALIDPOINTER;
        }
        std::lock_guard lock(Mutex());
        // Copying into itself or into one of its own storages would read what it writes.
        if (IsSelfOrAncestorOf(pstgDest)) {
            return STG_E_ACCESSDENIED;
        }
        return CopyElements(*table_, snbExclude, pstgDest);
    });
}

HRESULT KVOStorage::MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*, DWORD) { return E_NOTIMPL; }

HRESULT KVOStorage::Revert() { return E_NOTIMPL; }

HRESULT KVOStorage::EnumElements(DWORD, void*, DWORD, IEnumSTATSTG** ppenum)
{
    return GuardedCall([&] {
        if (!ppenum) {
            return STG_E_INVALIDPOINTER;
        }
        auto* enumerator = new ElementEnumerator(this);
        enumerator->AddRef();
        *ppenum = enumerator;
        return S_OK;
    });
}

HRESULT KVOStorage::StatElementAt(std::uint32_t index, STATSTG* out)
{
    std::lock_guard lock(Mutex());
    if (index >= table_->Count()) {
        return S_FALSE;
    }
    return KVOStream::StatElement(table_->At(index), out, STATFLAG_DEFAULT);
}

std::uint32_t KVOStorage::ElementCount()
{
    std::lock_guard lock(Mutex());
    return table_->Count();
}

void KVOStorage::DestroyData(Element& element)
{
    // Every directory below is read before any cluster is released, so that a bad one changes nothing. Tables in
    // memory are the current ones.
    std::vector<Element*> elements;
    auto collect = [&](auto& self, Element& at) -> void {
        if (at.IsStorage()) {
            ElementTable& table = ElementTable::Of(*allocator_, at);
            for (std::uint32_t i = 0; i < table.Count(); ++i) {
                self(self, table.At(i));
            }
        }
        elements.push_back(&at);
    };
    collect(collect, element);
    for (Element* at : elements) {
        const HRESULT hr = allocator_->SetSize(*at, 0);
        if (FAILED(hr)) {
            throw XKVO(hr);
        }
    }
}

HRESULT KVOStorage::DestroyLocked(Element& element)
{
    if (element.openCount != 0) {
        return STG_E_ACCESSDENIED;
    }
    DestroyData(element);
    table_->Remove(element);
    table_->MarkChanged();
    return S_OK;
}

template <class Action>
HRESULT KVOStorage::OnNamedElement(const OLECHAR* pwcsName, Action action)
{
    return GuardedCall([&] {
        std::u16string_view name;
        const HRESULT hr = CheckName(pwcsName, name);
        if (FAILED(hr)) {
            return hr;
        }
        std::lock_guard lock(Mutex());
        Element* element = table_->Find(name);
        return element ? action(*element) : STG_E_FILENOTFOUND;
    });
}

HRESULT KVOStorage::DestroyElement(const OLECHAR* pwcsName)
{
    return OnNamedElement(pwcsName, [this](Element& element) { return DestroyLocked(element); });
}

HRESULT KVOStorage::RenameElement(const OLECHAR* pwcsOldName, const OLECHAR* pwcsNewName)
{
    return GuardedCall([&] {
        std::u16string_view oldName;
        std::u16string_view newName;
        HRESULT hr = CheckName(pwcsOldName, oldName);
        if (SUCCEEDED(hr)) {
            hr = CheckName(pwcsNewName, newName);
        }
        if (FAILED(hr)) {
            return hr;
        }
        std::lock_guard lock(Mutex());
        if (table_->Find(newName)) {
            return STG_E_FILEALREADYEXISTS;
        }
        Element* element = table_->Find(oldName);
        if (!element) {
            return STG_E_FILENOTFOUND;
        }
        element->record.SetName(newName);
        element->changed = true;
        return S_OK;
    });
}

HRESULT KVOStorage::SetElementTimes(const OLECHAR* pwcsName, const FILETIME* pctime, const FILETIME* patime,
                                    const FILETIME* pmtime)
{
    return OnNamedElement(pwcsName, [&](Element& element) {
        // Record order: modification, creation, access. A time not given stays as it is.
        const FILETIME* given[3] = {pmtime, pctime, patime};
        for (int i = 0; i < 3; ++i) {
            if (given[i]) {
                element.record.times[i] = *given[i];
            }
        }
        element.changed = true;
        return S_OK;
    });
}

HRESULT KVOStorage::SetClass(REFCLSID clsid)
{
    return GuardedCall([&] {
        std::lock_guard lock(Mutex());
        own_->record.clsid = clsid;
        own_->changed = true;
        return S_OK;
    });
}

HRESULT KVOStorage::SetStateBits(DWORD, DWORD) { return S_OK; }

HRESULT KVOStorage::Stat(STATSTG* pstatstg, DWORD grfStatFlag)
{
    return GuardedCall([&] {
        if (!pstatstg) {
            return STG_E_INVALIDPOINTER;
        }
        std::lock_guard lock(Mutex());
        if (!IsRoot()) {
            return KVOStream::StatElement(*own_, pstatstg, grfStatFlag);
        }
        const HRESULT hr = allocator_->Container()->Stat(pstatstg, grfStatFlag);
        if (SUCCEEDED(hr)) {
            pstatstg->type = STGTY_STORAGE;
        }
        return hr;
    });
}

HRESULT KVOStorage::GetExtensionObject(IUnknown** out) { return allocator_->GetExtensionObject(out); }

HRESULT KVOStorage::GetLockBytes(ILockBytes** out) { return allocator_->GetLockBytes(out); }

HRESULT KVOStorage::Notify(ULONG_PTR argument)
{
    if (!IsRoot()) {
        return S_OK;
    }
    return GuardedCall([&] {
        std::lock_guard lock(Mutex());
        IKVOLockBytes* extension = allocator_->ContainerExtension();
        return extension ? extension->Notify(argument) : S_OK;
    });
}
