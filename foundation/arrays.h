// Growable pointer arrays: raw pointers (CArrayVoidP), interface pointers holding one reference each
// (IUnknownArray, InterfaceArray<T>) and owned objects (CIArray<T>).
//
// The capacity is explicit: it grows by a fixed step, or with the doubling flag to at least twice its size, so that
// the growth pattern does not depend on the standard library's.
#pragma once

#include "platform/com/unknown.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

// Random-access iteration over stored pointers, giving them back as T*. `Stored` is the type that the pointers
// were converted from before they were stored as void*.
template <class T, class Stored = T>
class ArrayPointerIterator {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = T*;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = T*;

    ArrayPointerIterator() = default;
    explicit ArrayPointerIterator(void* const* at) : at_(at) {}

    T* operator*() const { return static_cast<T*>(static_cast<Stored*>(*at_)); }
    T* operator[](difference_type n) const { return *(*this + n); }
    ArrayPointerIterator& operator++() { ++at_; return *this; }
    ArrayPointerIterator operator++(int) { auto old = *this; ++at_; return old; }
    ArrayPointerIterator& operator--() { --at_; return *this; }
    ArrayPointerIterator operator--(int) { auto old = *this; --at_; return old; }
    ArrayPointerIterator& operator+=(difference_type n) { at_ += n; return *this; }
    ArrayPointerIterator& operator-=(difference_type n) { at_ -= n; return *this; }
    friend ArrayPointerIterator operator+(ArrayPointerIterator it, difference_type n) { return it += n; }
    friend ArrayPointerIterator operator+(difference_type n, ArrayPointerIterator it) { return it += n; }
    friend ArrayPointerIterator operator-(ArrayPointerIterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(ArrayPointerIterator a, ArrayPointerIterator b) { return a.at_ - b.at_; }
    friend auto operator<=>(ArrayPointerIterator a, ArrayPointerIterator b) = default;

private:
    void* const* at_ = nullptr;
};

template <class T>
class Array;

// The array of raw pointers. Derived arrays that own their entries say how a range of them is disposed of.
template <>
class Array<void*> {
public:
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;
    virtual ~Array() = default; // frees the storage only; derived arrays dispose of their entries

    std::uint32_t Count() const { return count_; }
    std::uint32_t Capacity() const { return static_cast<std::uint32_t>(storage_.size()); }
    std::uint32_t GrowStep() const { return step_; }
    bool OwnsEntries() const { return ownsEntries_; }
    bool Doubles() const { return doubling_; }
    bool IsEmpty() const { return count_ == 0; }

    // Callers check the index against Count().
    void* GetAt(std::uint32_t index) const { return storage_[index]; }
    void* const* Data() const { return storage_.data(); }

    // Grows only: entries from the old count to n are null.
    void SetSize(std::uint32_t n);
    // False (and nothing changes) when index > Count(); p is stored as given.
    bool InsertAt(std::uint32_t index, void* p);
    // The entry at index, growing the array (with null entries) when index >= Count().
    void** ElementAtGrow(std::uint32_t index);
    // Removes entries from..to-1 (to is cut to Count()); with `dispose` and the owns-entries flag they are
    // disposed of first. False when the range is empty.
    bool RemoveRange(std::uint32_t from, std::uint32_t to, bool dispose);
    // Removes (and, when the array owns its entries, disposes of) the first entry equal to p.
    bool RemoveValue(void* p);
    // The index of the first entry equal to p, or -1.
    std::int32_t Find(const void* p) const;

protected:
    Array(std::uint32_t initialCapacity, std::uint32_t step, bool ownsEntries, bool doubling);

    // New storage of n entries; the first min(n, Count()) entries are kept.
    virtual void Reallocate(std::uint32_t n);
    // Disposes of the entries from..to-1 and leaves them null.
    virtual void DisposeRange(std::uint32_t from, std::uint32_t to) = 0;

    void*& Slot(std::uint32_t index) { return storage_[index]; }

private:
    void GrowTo(std::uint64_t capacity);

    std::vector<void*> storage_; // its size is the capacity
    std::uint32_t count_ = 0;
    std::uint32_t step_ = 1;
    bool ownsEntries_ = false;
    bool doubling_ = false;
};

using CArrayVoidP = Array<void*>;

// Interface pointers, one reference held per non-null entry. Inserting takes over a reference the caller holds
// (no AddRef); removing, clearing and destroying release each entry exactly once.
class IUnknownArray : public CArrayVoidP {
public:
    explicit IUnknownArray(std::uint32_t initialCapacity = 0, std::uint32_t step = 8, bool doubling = false)
        : CArrayVoidP(initialCapacity, step, true, doubling)
    {
    }
    ~IUnknownArray() override;

    IUnknown* At(std::uint32_t index) const { return static_cast<IUnknown*>(GetAt(index)); }
    IUnknown* operator[](std::uint32_t index) const { return At(index); }
    // Takes over the caller's reference; false (the caller keeps its reference) when index > Count().
    bool InsertAt(std::uint32_t index, IUnknown* p) { return CArrayVoidP::InsertAt(index, p); }
    void Add(IUnknown* p) { CArrayVoidP::InsertAt(Count(), p); }
    // Releases the entry and closes the gap; nothing when index >= Count().
    void RemoveAt(std::uint32_t index);
    void RemoveAll() { RemoveRange(0, Count(), true); }

    ArrayPointerIterator<IUnknown> begin() const { return ArrayPointerIterator<IUnknown>(Data()); }
    ArrayPointerIterator<IUnknown> end() const { return ArrayPointerIterator<IUnknown>(Data() + Count()); }

protected:
    // Releases the non-null entries from to-1 down to from, each cleared before it is released.
    void DisposeRange(std::uint32_t from, std::uint32_t to) override;
    void ReleaseRange(std::uint32_t from, std::uint32_t to) { DisposeRange(from, to); }
};

// An IUnknownArray of one interface type.
template <class T>
class InterfaceArray : public IUnknownArray {
public:
    using IUnknownArray::IUnknownArray;

    T* At(std::uint32_t index) const { return Cast(GetAt(index)); }
    T* operator[](std::uint32_t index) const { return At(index); }
    bool InsertAt(std::uint32_t index, T* p) { return IUnknownArray::InsertAt(index, Up(p)); }
    void Add(T* p) { IUnknownArray::Add(Up(p)); }
    bool RemoveValue(T* p) { return IUnknownArray::RemoveValue(Up(p)); }
    std::int32_t Find(T* p) const { return IUnknownArray::Find(Up(p)); }

    ArrayPointerIterator<T, IUnknown> begin() const { return ArrayPointerIterator<T, IUnknown>(Data()); }
    ArrayPointerIterator<T, IUnknown> end() const { return ArrayPointerIterator<T, IUnknown>(Data() + Count()); }

private:
    static IUnknown* Up(T* p) { return static_cast<IUnknown*>(p); }
    static T* Cast(void* p) { return static_cast<T*>(static_cast<IUnknown*>(p)); }
};

// The disposal of CIArray's owned entries: delete (through the virtual destructor where T has one).
template <class T>
struct CIArray_CallDelete {
    static void Dispose(T* p) { delete p; }
};

// An owning array of objects. When it owns its entries it disposes of them (by default deletes them) when a
// range is removed and when it is destroyed.
template <class T, class Disposer = CIArray_CallDelete<T>>
class CIArray : public CArrayVoidP {
public:
    explicit CIArray(std::uint32_t initialCapacity = 0, std::uint32_t step = 8, bool doubling = false,
                     bool ownsEntries = true)
        : CArrayVoidP(initialCapacity, step, ownsEntries, doubling)
    {
    }
    ~CIArray() override
    {
        if (OwnsEntries()) {
            DisposeRange(0, Count());
        }
    }

    T* At(std::uint32_t index) const { return static_cast<T*>(GetAt(index)); }
    T* operator[](std::uint32_t index) const { return At(index); }
    // On failure (index > Count()) the caller still owns p.
    bool InsertAt(std::uint32_t index, T* p) { return CArrayVoidP::InsertAt(index, p); }
    // Returns the new entry's index.
    std::uint32_t Add(T* p)
    {
        CArrayVoidP::InsertAt(Count(), p);
        return Count() - 1;
    }
    void RemoveAt(std::uint32_t index) { RemoveRange(index, index + 1, true); }
    void RemoveAll() { RemoveRange(0, Count(), true); }
    bool RemoveValue(T* p) { return CArrayVoidP::RemoveValue(p); }
    std::int32_t Find(const T* p) const { return CArrayVoidP::Find(p); }

    ArrayPointerIterator<T> begin() const { return ArrayPointerIterator<T>(Data()); }
    ArrayPointerIterator<T> end() const { return ArrayPointerIterator<T>(Data() + Count()); }

protected:
    void DisposeRange(std::uint32_t from, std::uint32_t to) override
    {
        for (std::uint32_t i = std::min(to, Count()); i > from; --i) {
            T* p = static_cast<T*>(Slot(i - 1));
            Slot(i - 1) = nullptr; // cleared first: disposal may look at the array again
            if (p) {
                Disposer::Dispose(p);
            }
        }
    }
};
