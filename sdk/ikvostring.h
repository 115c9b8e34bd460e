// The string interface that host and module exchange texts through.
#pragma once

#include "platform/com/oleauto.h"

// {6B1F3A20-5C2E-4D8A-9E11-3A7C0D5B2E01}
inline constexpr IID IID_IAutoKVOString{0x6B1F3A20, 0x5C2E, 0x4D8A, {0x9E, 0x11, 0x3A, 0x7C, 0x0D, 0x5B, 0x2E, 0x01}};
// {6B1F3A21-5C2E-4D8A-9E11-3A7C0D5B2E01}
inline constexpr IID IID_IKVOString{0x6B1F3A21, 0x5C2E, 0x4D8A, {0x9E, 0x11, 0x3A, 0x7C, 0x0D, 0x5B, 0x2E, 0x01}};

// A string object whose GetTypeId answers this is the module's own representation and may be adopted in place.
inline constexpr int kNativeStringTypeId = 9;

// Slots 3..19 in order after IUnknown. VARIANT_BOOL results are -1 (true) or 0 (false).
struct IAutoKVOString : IUnknown {
    virtual HRESULT AssignBSTR(BSTR text) = 0;                                   // 3
    virtual HRESULT GetBSTR(BSTR* out) = 0;                                      // 4
    virtual HRESULT IsEmpty(VARIANT_BOOL* out) = 0;                              // 5
    virtual HRESULT GetLength(LONG* out) = 0;                                    // 6
    virtual HRESULT IsEqual(IAutoKVOString* other, VARIANT_BOOL* out) = 0;       // 7
    virtual HRESULT IsShared(VARIANT_BOOL* out) = 0;                             // 8
    virtual int GetTypeId() = 0;                                                 // 9
    virtual HRESULT CopyText(ULONG bufferBytes, void* buffer) = 0;               // 10
    virtual HRESULT GetLengthAndUnitSize(LONG* length, LONG* unitSize) = 0;      // 11
    virtual HRESULT GetCapacity(LONG* out) = 0;                                  // 12
    virtual HRESULT CreateRep(LONG units, IAutoKVOString** out) = 0;             // 13
    virtual HRESULT ToVariant(VARIANT* out) = 0;                                 // 14
    virtual LONG Length() = 0;                                                   // 15
    virtual HRESULT Destroy() = 0;                                               // 16
    virtual HRESULT Reserved() = 0;                                              // 17
    virtual const char16_t* GetText() = 0;                                       // 18
    virtual void DeleteThis() = 0;                                               // 19: the deleting destructor

protected:
    ~IAutoKVOString() = default;
};

struct IKVOString : IAutoKVOString {
protected:
    ~IKVOString() = default;
};
