// The document-site interface of a host document: the extension objects that other extensions keep for it.
#pragma once

#include "platform/com/unknown.h"
#include "sdk/slots.h"

// {985C47B4-D0A7-47E0-9B4A-30C183573369}
inline constexpr IID IID_IDocumentSite{0x985C47B4, 0xD0A7, 0x47E0, {0x9B, 0x4A, 0x30, 0xC1, 0x83, 0x57, 0x33, 0x69}};

struct IDocumentSite : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4)
    // 5: the site object of a document's registration link, with a reference for the caller. (Sites that have
    // none keep the default answer; the same holds for slot 8.)
    virtual HRESULT GetSiteObject(IUnknown** out) { return NoObject(out); }
    SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7)
    // 8: the host document's site interface, with a reference for the caller.
    virtual HRESULT GetSiteInterface(IUnknown** out) { return NoObject(out); }
    SDK_UNUSED_SLOT(9)
    SDK_UNUSED_SLOT_DECADE(1)
    SDK_UNUSED_SLOT(20) SDK_UNUSED_SLOT(21) SDK_UNUSED_SLOT(22) SDK_UNUSED_SLOT(23) SDK_UNUSED_SLOT(24)
    // 25: the document's object of the extension with this type id, with a reference for the caller.
    virtual HRESULT GetExtension(DWORD typeId, DWORD reserved, IUnknown** out) = 0;

protected:
    ~IDocumentSite() = default;

private:
    static HRESULT NoObject(IUnknown** out)
    {
        if (out) {
            *out = nullptr;
        }
        return E_NOTIMPL;
    }
};

// {A6C2835F-C14F-446B-AA47-5DEAA41F77C1}: the Loopmetry standard extension, which the module requires.
inline constexpr GUID CLSID_LoopmetryExtension{
    0xA6C2835F, 0xC14F, 0x446B, {0xAA, 0x47, 0x5D, 0xEA, 0xA4, 0x1F, 0x77, 0xC1}};
// {B0D3526B-2CB5-47C9-9F54-5689BCC09E6E}
inline constexpr IID IID_ILMDocExtension{0xB0D3526B, 0x2CB5, 0x47C9, {0x9F, 0x54, 0x56, 0x89, 0xBC, 0xC0, 0x9E, 0x6E}};

// Loopmetry's object of a host document (presets and detection settings); its operations are declared where the
// settings pages call them.
struct ILMDocExtension : IUnknown {
protected:
    ~ILMDocExtension() = default;
};
