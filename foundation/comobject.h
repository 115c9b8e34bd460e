// The two small bases from which the module's COM-style objects take their reference counting and interface lookup,
// and the scoped lock over a critical section.
#pragma once

#include "platform/com/oleauto.h"
#include "platform/com/unknown.h"

#include <cstddef>
#include <mutex>
#include <string>

// The identifier that QueryInterface answers for interface I. Specialise it once per interface that an object
// implements through SimpleUnknownImp1:
//     template <> struct InterfaceIdOf<IFoo> { static constexpr const IID& value = IID_IFoo; };
template <class I>
struct InterfaceIdOf;

namespace KVO {

// One entry of an object's interface table: the identifier and how to reach that interface from the object.
// Tables end with an entry whose identifier is null; the first entry also answers IUnknown.
struct InterfaceEntry {
    const IID* iid;
    IUnknown* (*cast)(void* object);
};

// The cast of an interface entry: `object` is the T that the table belongs to.
template <class T, class I>
IUnknown* InterfaceCast(void* object)
{
    return static_cast<I*>(static_cast<T*>(object));
}

// Reference count and a critical section created on first use, for objects that implement several interfaces.
class CComObjectRoot {
public:
    CComObjectRoot() = default;
    // A copy is a new object: no references, no critical section.
    CComObjectRoot(const CComObjectRoot&) {}
    CComObjectRoot& operator=(const CComObjectRoot&) { return *this; }
    // Deletes the critical section when it was created.
    virtual ~CComObjectRoot();

    ULONG InternalAddRef() { return count_.Add(); }
    // At 0 the count is set to 0xC0000001 and the object deletes itself.
    ULONG InternalRelease();
    LONG RefCountValue() const { return count_.Value(); }
    // Gives back a reference that the object took on itself while it is being built (registering with the host
    // in its constructor); it never deletes the object, which nobody else may hold yet.
    ULONG InternalDropGuard() { return count_.DropGuard(); }

    // Table-driven interface lookup: out = the entry's interface with a reference added, else E_NOINTERFACE and
    // out = null. `object` is the object that the table's casts expect.
    static HRESULT InternalQueryInterface(void* object, const InterfaceEntry* table, REFIID iid, void** out);

    // The object's critical section, created on first use.
    CRITICAL_SECTION& CriticalSection();
    void Lock() { EnterCriticalSection(&CriticalSection()); }
    void Unlock() { LeaveCriticalSection(&CriticalSection()); }
    bool IsCriticalSectionInitialised() const { return initialised_; }

private:
    platform::RefCount count_;
    CRITICAL_SECTION section_{};
    bool initialised_ = false;
    std::once_flag once_;
};

// Holds a critical section from construction until Unlock or the end of the scope.
class CritSecLock {
public:
    explicit CritSecLock(CRITICAL_SECTION& section) : section_(&section) { EnterCriticalSection(section_); }
    explicit CritSecLock(CComObjectRoot& object) : CritSecLock(object.CriticalSection()) {}
    CritSecLock(const CritSecLock&) = delete;
    CritSecLock& operator=(const CritSecLock&) = delete;
    ~CritSecLock() { Unlock(); }

    // Leaves the held critical section, if any, and forgets it.
    void Unlock()
    {
        if (section_) {
            CRITICAL_SECTION* held = section_;
            section_ = nullptr;
            LeaveCriticalSection(held);
        }
    }

private:
    CRITICAL_SECTION* section_;
};

}

namespace KVO {
// The object's interface iid (one reference), or null when the object is null or refuses.
template <class I>
platform::ComPtr<I> Ask(IUnknown* object, REFIID iid)
{
    platform::ComPtr<I> answer;
    if (object) {
        object->QueryInterface(iid, answer.OutVoid());
    }
    return answer;
}

// The text of a BSTR handed to us (empty for null), which is freed.
inline std::u16string TakeBstr(BSTR text)
{
    std::u16string result = text ? std::u16string(text) : std::u16string();
    SysFreeString(text);
    return result;
}
} // namespace KVO

// Implements IUnknown for an object of one interface I. The count starts at 0 (the creator takes the first
// reference); when Release brings it to 0 the count is set to 0xC0000001 and the object deletes itself through the
// virtual destructor that this base adds after the interface's operations. `n` only tells instantiations apart.
template <class I, int n = 0>
class SimpleUnknownImp1 : public I {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        static constexpr KVO::InterfaceEntry table[] = {
            {&InterfaceIdOf<I>::value, &KVO::InterfaceCast<SimpleUnknownImp1, I>},
            {nullptr, nullptr},
        };
        return KVO::CComObjectRoot::InternalQueryInterface(this, table, iid, out);
    }
    ULONG AddRef() override { return count_.Add(); }
    ULONG Release() override
    {
        ULONG left = 0;
        if (count_.Drop(left)) {
            delete this;
        }
        return left;
    }

    LONG RefCountValue() const { return count_.Value(); }

protected:
    SimpleUnknownImp1() = default;
    // A copy is a new object: it starts without references.
    SimpleUnknownImp1(const SimpleUnknownImp1&) : I() {}
    SimpleUnknownImp1& operator=(const SimpleUnknownImp1&) { return *this; }
    virtual ~SimpleUnknownImp1() = default;

private:
    platform::RefCount count_;
};
