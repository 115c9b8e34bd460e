// IUnknown and the reference-counting helper the stand-in layers and the host build on.
#pragma once

#include "platform/com/guid.h"
#include "platform/win/sync.h"

// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {00000001-0000-0000-C000-000000000046}
inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

namespace platform {
// Interlocked reference count for objects the stand-in layers hand out. When Release brings the count to 0 it is
// set to 0xC0000001 (so a late AddRef/Release during destruction cannot reach 0 again) and the object is deleted.
class RefCount {
public:
    ULONG Add() { return static_cast<ULONG>(InterlockedIncrement(&count_)); }
    // True when the caller must delete the object.
    bool Drop(ULONG& remaining)
    {
        const LONG left = InterlockedDecrement(&count_);
        if (left == 0) {
            count_ = static_cast<LONG>(0xC0000001u);
            remaining = 0;
            return true;
        }
        remaining = static_cast<ULONG>(left);
        return false;
    }
    LONG Value() const { return count_; }
    // Gives back a reference taken to keep an object alive while it is being built; never asks for deletion.
    ULONG DropGuard() { return static_cast<ULONG>(InterlockedDecrement(&count_)); }

private:
    volatile LONG count_ = 0;
};

// Implements IUnknown for a class deriving from one interface `Interface`, answering IUnknown and `iid`.
template <class Interface>
class UnknownImpl : public Interface {
public:
    UnknownImpl(const IID& iid) : iid_(iid) {}
    virtual ~UnknownImpl() = default;

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        if (iid == IID_IUnknown || iid == iid_) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
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

private:
    RefCount count_;
    IID iid_;
};

// Holds one reference; releases it at the end.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(T* p) : p_(p)
    {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(p_, other.p_);
        return *this;
    }
    static ComPtr Adopt(T* p)
    {
        ComPtr result;
        result.p_ = p;
        return result;
    }
    void Reset()
    {
        if (p_) {
            T* p = p_;
            p_ = nullptr;
            p->Release();
        }
    }
    T* Detach()
    {
        T* p = p_;
        p_ = nullptr;
        return p;
    }
    T** Out()
    {
        Reset();
        return &p_;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};
}
