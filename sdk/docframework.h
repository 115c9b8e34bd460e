// The host's document framework: document classes and documents of extensions, their registration with the host,
// the commands and menu items that a document class adds to the host's menus.
#pragma once

#include "sdk/cafclassobject.h"
#include "sdk/cafevents.h"
#include "sdk/ikvostring.h"

inline constexpr IID IID_ICustomDocClass{0x4783F22C, 0x842C, 0x4E4C, {0xB8, 0xD6, 0xA9, 0x6D, 0x31, 0x94, 0x7B, 0x17}};
inline constexpr IID IID_ICustomDocument2{0x84DCEED2, 0x7776, 0x488F, {0x8D, 0x08, 0xFE, 0x56, 0x75, 0x28, 0x95, 0x8F}};
inline constexpr IID IID_IDocClassRegistration{0xF3156937, 0xAE85, 0x454F, {0xBE, 0xC7, 0xA6, 0xD3, 0x54, 0x94, 0xBD, 0x83}};
inline constexpr IID IID_IDocClassSite{0xB7CC5FF6, 0x1AAA, 0x4E05, {0x9C, 0x7D, 0x13, 0xD8, 0xBA, 0xB4, 0x01, 0x6F}};
inline constexpr IID IID_IDocRegistration{0xB15F464B, 0xDD2D, 0x415C, {0x89, 0x12, 0x40, 0xCA, 0x63, 0x02, 0xAE, 0x1E}};
inline constexpr IID IID_ICAFCommand{0x957065EB, 0x8299, 0x4421, {0x8F, 0x7C, 0xC1, 0x75, 0x26, 0x9F, 0x9F, 0x02}};
inline constexpr IID IID_ICAFCommandId{0x83B22EB7, 0xD868, 0x4FE8, {0x81, 0xCF, 0xAC, 0x25, 0x7A, 0xBE, 0xDE, 0x8A}};
inline constexpr IID IID_ICAFCommandKey{0xAFB0110D, 0xEF9E, 0x4953, {0xB8, 0xBF, 0x70, 0x36, 0x72, 0xC7, 0x7A, 0xF6}};
// The host's command target of a registered document class (ICAFCommandHandler's shape).
inline constexpr IID IID_ICommandTarget{0xB45717CE, 0x13F8, 0x400E, {0x8F, 0x48, 0x1F, 0x96, 0xB9, 0x1E, 0x46, 0xA9}};

struct ICustomDocument2;

// A document class of an extension. Slots 3 to 6 are ICAFClassObject's: the command-id base (the class's type id),
// the class id, the name and the class-id test.
struct ICustomDocClass : ICAFClassObject {
    virtual HRESULT GetClassName(BSTR* name) = 0;                                      // 7: frees a BSTR in *name
    virtual HRESULT GetVersion(DWORD* version) = 0;                                    // 8
    virtual HRESULT CreateDocument(IUnknown* hostDocument, ICustomDocument2** out) = 0; // 9
    virtual HRESULT Default10() = 0;                                                   // 10
    virtual HRESULT RegisterWithUI(IUnknown* site) = 0;                                // 11
    virtual HRESULT Default12() = 0;                                                   // 12
    virtual HRESULT GetCommandFamily(const GUID** family) = 0;                         // 13
    virtual HRESULT RegisterCommands(ICAFCommandHandler* target, IUnknown* site) = 0;  // 14

protected:
    ~ICustomDocClass() = default;
};

// An extension's document of one host document.
struct ICustomDocument2 : IUnknown {
    virtual HRESULT GetName(BSTR* name) = 0;                       // 3
    virtual WORD IsCustomDocument() = 0;                           // 4: 0xFFFF
    virtual HRESULT Close() = 0;                                   // 5
    virtual HRESULT Reserved6(IUnknown** out) = 0;                 // 6
    virtual HRESULT GetFlags(DWORD* flags) = 0;                    // 7
    virtual HRESULT GetSiteInterface(IUnknown** out) = 0;          // 8: with a reference
    virtual HRESULT Reserved9(IUnknown** first, IUnknown** second) = 0; // 9
    virtual HRESULT SetTitle(IKVOString* title) = 0;               // 10
    virtual HRESULT GetTitle(IKVOString** title) = 0;              // 11: with a reference
    virtual HRESULT GetValue(DWORD* value) = 0;                    // 12
    virtual HRESULT SetValue(DWORD value) = 0;                     // 13
    virtual HRESULT Reserved14() = 0;                              // 14 to 17: 0
    virtual HRESULT Reserved15() = 0;
    virtual HRESULT Reserved16() = 0;
    virtual HRESULT Reserved17() = 0;

protected:
    ~ICustomDocument2() = default;
};

// Framework object 0x80000012: registers a document class; the registration it hands out answers the class-site
// and command-target interfaces.
struct IDocClassRegistration : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6)
    virtual HRESULT Register(IUnknown** registration, ICustomDocClass* documentClass, DWORD flags) = 0; // 7

protected:
    ~IDocClassRegistration() = default;
};

// The host's side of a registered document class.
struct IDocClassSite : IUnknown {
protected:
    ~IDocClassSite() = default;
};

// Framework object 0x80000011: registers a document of a host document; the link it hands out answers the
// message handler, observer, observer sink and document site of the document.
struct IDocRegistration : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6)
    virtual HRESULT Register(ICustomDocClass* documentClass, IUnknown* hostDocument, ICustomDocument2* document,
                             DWORD flags, IUnknown** link) = 0; // 7

protected:
    ~IDocRegistration() = default;
};

// A menu item or command that the menu service made.
struct ICAFCommand : IUnknown {
    SDK_UNUSED_SLOT(3)
    virtual HRESULT SetId(DWORD commandId) = 0; // 4
    // 5: non-zero when adding the item changed what the host had (an item it already held was updated).
    virtual HRESULT GetChanged(DWORD* changed) = 0;
    SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7)
    virtual HRESULT GetOwnId(DWORD* commandId) = 0; // 8: 0 when the item has none

protected:
    ~ICAFCommand() = default;
};

struct ICAFCommandId : IUnknown {
    SDK_UNUSED_SLOT(3)
    virtual HRESULT SetCommandId(DWORD reserved, DWORD commandId) = 0; // 4

protected:
    ~ICAFCommandId() = default;
};

struct ICAFCommandKey : IUnknown {
    virtual HRESULT SetKey(const char16_t* key) = 0; // 3

protected:
    ~ICAFCommandKey() = default;
};
