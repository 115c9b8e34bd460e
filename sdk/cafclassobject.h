// The interface every class object of the module shows the host's framework.
#pragma once

#include "platform/com/oleauto.h"

// {A3C0E5B0-71D4-4B6E-8F2A-5D9C3E1B7A10}
inline constexpr IID IID_ICAFClassObject{0xA3C0E5B0, 0x71D4, 0x4B6E, {0x8F, 0x2A, 0x5D, 0x9C, 0x3E, 0x1B, 0x7A, 0x10}};

struct ICAFClassObject : IUnknown {
    virtual HRESULT GetId(DWORD* typeId) = 0;                 // 3: the class's type id
    virtual HRESULT GetCategory(const GUID** category) = 0;   // 4: the category identifier, or null
    virtual HRESULT GetName(BSTR* name) = 0;                  // 5: frees a BSTR already in *name
    virtual HRESULT IsCategory(const GUID* category) = 0;     // 6: S_OK or S_FALSE

protected:
    ~ICAFClassObject() = default;
};
