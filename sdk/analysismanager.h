// The host's analysis manager: extensions that analyse a document register with it as clients, hand it their
// persistence object, ask whether they are the active analysis and report the range they analysed. A host document
// leads to it through the application object and its object-by-id lookup.
#pragma once

#include "platform/com/oleauto.h"
#include "sdk/kvoposition.h"

// {0E7D4C19-8A52-4B3F-96E1-D35A7F2C8B40}: the family of the analysis manager's ids (n 0 finds the manager).
inline constexpr GUID GUID_AnalysisManagerFamily{
    0x0E7D4C19, 0x8A52, 0x4B3F, {0x96, 0xE1, 0xD3, 0x5A, 0x7F, 0x2C, 0x8B, 0x40}};
// {6B1F0A83-2D47-4C9E-A5B8-71E3F90D4C26}
inline constexpr IID IID_IAnalysisManager{0x6B1F0A83, 0x2D47, 0x4C9E, {0xA5, 0xB8, 0x71, 0xE3, 0xF9, 0x0D, 0x4C, 0x26}};
// {A29C5E14-7B80-4F63-8E2D-0C6B93A1F758}
inline constexpr IID IID_IHostApplicationLink{
    0xA29C5E14, 0x7B80, 0x4F63, {0x8E, 0x2D, 0x0C, 0x6B, 0x93, 0xA1, 0xF7, 0x58}};
// {D5403B7E-19C2-4A8D-B6F0-8E2A47C91D3B}
inline constexpr IID IID_IHostObjectsById{0xD5403B7E, 0x19C2, 0x4A8D, {0xB6, 0xF0, 0x8E, 0x2A, 0x47, 0xC9, 0x1D, 0x3B}};

// {E83A5F02-6C19-4D7B-9A2E-B4F16D0C3857}
inline constexpr IID IID_IDocumentStorage{0xE83A5F02, 0x6C19, 0x4D7B, {0x9A, 0x2E, 0xB4, 0xF1, 0x6D, 0x0C, 0x38, 0x57}};

struct IPersistStreamInit;

// Answered by a host document: the objects whose state is saved into the host document's file and loaded back.
struct IDocumentStorage : IUnknown {
    // 3: keeps the object (no reference: it withdraws itself when it goes); its stream name comes back in *name.
    virtual HRESULT Register(IUnknown* container, DWORD reserved, IPersistStreamInit* object, DWORD reserved2,
                             DWORD reserved3, BSTR* name) = 0;
    // 4: forgets the object.
    virtual HRESULT Withdraw(IPersistStreamInit* object) = 0;

protected:
    ~IDocumentStorage() = default;
};

struct IAnalysisManager : IUnknown {
    virtual HRESULT RegisterClient(const char16_t* displayName, const char16_t* name, DWORD* cookie) = 0; // 3
    virtual HRESULT ReleaseClient(DWORD cookie) = 0;                                                         // 4
    virtual HRESULT SetPersistObject(DWORD cookie, LONG index, IUnknown* object, VARIANT_BOOL loaded) = 0;  // 5
    virtual HRESULT IsActive(DWORD cookie, VARIANT_BOOL* active) = 0;                                        // 6
    virtual HRESULT ReportRange(DWORD cookie, LONG argument, const KVOPosition* start, const KVOPosition* end) = 0; // 7

protected:
    ~IAnalysisManager() = default;
};

// Answered by a host document: its application object.
struct IHostApplicationLink : IUnknown {
    virtual HRESULT GetApplication(IUnknown** out) = 0; // 3: with a reference

protected:
    ~IHostApplicationLink() = default;
};

// Answered by the application object: the object of a message id.
struct IHostObjectsById : IUnknown {
    virtual HRESULT GetObjectById(DWORD id, DWORD reserved, IUnknown** out) = 0; // 3: with a reference

protected:
    ~IHostObjectsById() = default;
};
