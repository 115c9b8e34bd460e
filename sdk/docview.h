// The host's document views: view classes that the host lists and asks for views, the views themselves, the
// windows they place in the host's frames, and the host's sites, frames and registries around them.
#pragma once

#include "sdk/cafclassobject.h"
#include "sdk/cafevents.h"
#include "sdk/ikvostring.h"

inline constexpr IID IID_IDocViewClass{0xFAE60C01, 0xB19E, 0x4523, {0xB8, 0xFD, 0x22, 0x6E, 0xAE, 0xFB, 0x87, 0x33}};
inline constexpr IID IID_IDocView2{0xFFEEB0B5, 0x61D9, 0x49DD, {0x87, 0x84, 0x9F, 0x4D, 0xA6, 0xAC, 0xAF, 0xD8}};
inline constexpr IID IID_IClientWindow{0x055F5762, 0x01EE, 0x45B4, {0xBF, 0x25, 0xE2, 0x99, 0xC0, 0x84, 0x4C, 0x7D}};
inline constexpr IID IID_IEnumInterface{0x4A46F58F, 0x3EB5, 0x4A19, {0x99, 0x58, 0x13, 0xD3, 0xEC, 0xDB, 0xBB, 0xB0}};
inline constexpr IID IID_IViewClassRegistry{0x9C1A92AE, 0x4DFB, 0x4880, {0xA7, 0x7A, 0x27, 0xE1, 0xC2, 0x37, 0xBB, 0xDC}};
inline constexpr IID IID_IViewRegistration{0x5676AA69, 0x5BFD, 0x410F, {0xAD, 0x53, 0x14, 0x26, 0x6E, 0x11, 0x7D, 0x54}};
inline constexpr IID IID_IViewSite{0x5042C8D3, 0x4460, 0x482D, {0xB9, 0xAC, 0xD5, 0x82, 0x57, 0x13, 0x42, 0xEF}};
inline constexpr IID IID_IParentSite{0x5BC1D17E, 0x6C11, 0x4060, {0x83, 0x09, 0xC1, 0x17, 0x01, 0x54, 0xFB, 0x05}};
inline constexpr IID IID_IHostView{0xADD2745C, 0xB5D2, 0x40AE, {0xBD, 0x1A, 0x1D, 0x24, 0x9D, 0xCC, 0xE0, 0x3D}};
inline constexpr IID IID_IHostFrame{0x906244B3, 0x6555, 0x40F6, {0xA0, 0x9B, 0x24, 0xD7, 0x2F, 0x56, 0x07, 0x8E}};
inline constexpr IID IID_IHostFrameObject{0x6F3EBD5D, 0xADF9, 0x4536, {0xBC, 0xF6, 0xDC, 0xF5, 0xEB, 0xA6, 0x5B, 0x01}};
inline constexpr IID IID_IHostDocument{0x850F96AD, 0x9AF3, 0x4416, {0x94, 0x6A, 0x68, 0x9A, 0x4D, 0xDD, 0xBD, 0x97}};
// {4E7B2C90-1D35-4A6F-8B02-C5E9A4173D68}
inline constexpr IID IID_IViewTitle{0x4E7B2C90, 0x1D35, 0x4A6F, {0x8B, 0x02, 0xC5, 0xE9, 0xA4, 0x17, 0x3D, 0x68}};

// The interfaces that a view class's views support.
struct IEnumInterface : IUnknown {
    virtual HRESULT Next(ULONG count, const GUID** out, ULONG* fetched) = 0; // 3
    virtual HRESULT Skip(ULONG count) = 0;                                  // 4
    virtual HRESULT Reset() = 0;                                            // 5
    virtual HRESULT Clone(IEnumInterface** out) = 0;                        // 6

protected:
    ~IEnumInterface() = default;
};

struct IDocView2;
struct IViewSite;
struct IParentSite;

// A view class. Slots 3 to 6 are ICAFClassObject's: the type id, the class id, the title and the class-id test.
struct IDocViewClass : ICAFClassObject {
    virtual HRESULT GetViewName(BSTR* name) = 0;                                               // 7
    virtual HRESULT GetModuleInstance(HINSTANCE* module) = 0;                                  // 8
    virtual HRESULT GetClassWord(DWORD* word) = 0;                                             // 9
    virtual HRESULT RegisterClass() = 0;                                                       // 10
    virtual HRESULT CreateView(IUnknown* hostDocument, IViewSite* site, IDocView2** out) = 0; // 11
    virtual HRESULT EnumInterfaces(IEnumInterface** out) = 0;                                  // 12
    virtual HRESULT Lock() = 0;                                                                // 13
    virtual HRESULT Unlock() = 0;                                                              // 14
    virtual HRESULT GetLockCount(LONG* count) = 0;                                             // 15
    virtual HRESULT RegisterViewCommands(IUnknown* commands) = 0;                              // 16

protected:
    ~IDocViewClass() = default;
};

// A view of a host document as the host's document-view protocol sees it.
struct IDocView2 : IUnknown {
    virtual HRESULT Reserved3() = 0;                                // 3
    virtual HRESULT QueryClose(WORD* mayClose) = 0;                 // 4
    virtual HRESULT Close() = 0;                                    // 5
    virtual HRESULT SetValueA(DWORD value) = 0;                     // 6
    virtual HRESULT GetValueA(DWORD* value) = 0;                    // 7
    virtual HRESULT GetPosition(DWORD* identity, DWORD* pair) = 0;  // 8
    virtual HRESULT Activate() = 0;                                 // 9
    virtual HRESULT GetDocument(IUnknown** document) = 0;           // 10
    virtual HRESULT GetSite(IViewSite** site) = 0;                  // 11
    virtual HRESULT Reserved12(IUnknown** out) = 0;                 // 12
    virtual HRESULT GetValueB(DWORD* value) = 0;                    // 13
    virtual HRESULT SetValueB(DWORD value) = 0;                     // 14

protected:
    ~IDocView2() = default;
};

// The title of a view, which the host shows on the frame around it.
struct IViewTitle : IUnknown {
    virtual HRESULT GetTitle(BSTR* title) = 0; // 3: a BSTR already there is freed first; none for an empty title

protected:
    ~IViewTitle() = default;
};

// The window that a view places in a host window.
struct IClientWindow : IUnknown {
    virtual HRESULT Create(IParentSite* parentSite, HWND* window) = 0; // 3
    virtual HRESULT DestroyWindow() = 0;                               // 4
    virtual HRESULT Reserved5() = 0;                                   // 5
    virtual HRESULT GetParentSite(IParentSite** site) = 0;             // 6

protected:
    ~IClientWindow() = default;
};

// Framework object 0x8000000F.
struct IViewClassRegistry : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6)
    virtual HRESULT Register(IUnknown* viewClass, REFIID iid, IUnknown** registration) = 0; // 7

protected:
    ~IViewClassRegistry() = default;
};

// The framework's view registration: a host document's views (slot 3) and a view class's place in the UI (slot 5).
struct IViewRegistration : IUnknown {
    virtual HRESULT AddView(IUnknown* view) = 0; // 3
    SDK_UNUSED_SLOT(4)
    virtual HRESULT RegisterClassUI() = 0;       // 5

protected:
    ~IViewRegistration() = default;
};

// The host's place of one view.
struct IViewSite : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7) SDK_UNUSED_SLOT(8)
    SDK_UNUSED_SLOT(9) SDK_UNUSED_SLOT(10) SDK_UNUSED_SLOT(11) SDK_UNUSED_SLOT(12)
    virtual HRESULT QueryCloseView(IDocView2* view, WORD* mayClose) = 0; // 13
    SDK_UNUSED_SLOT(14)
    virtual HRESULT DetachView(IDocView2* view) = 0;                     // 15
    SDK_UNUSED_SLOT(16) SDK_UNUSED_SLOT(17) SDK_UNUSED_SLOT(18) SDK_UNUSED_SLOT(19) SDK_UNUSED_SLOT(20)
    virtual HRESULT ViewActivated(IDocView2* view) = 0;                  // 21

protected:
    ~IViewSite() = default;
};

// The host window that a view's window is placed in.
struct IParentSite : IUnknown {
    SDK_UNUSED_SLOT(3)
    virtual HRESULT GetWindow(HWND* window) = 0; // 4
    virtual HRESULT Close() = 0;                 // 5

protected:
    ~IParentSite() = default;
};

struct IHostFrame;
struct IHostFrameObject;

// The host's object of a view: its frame and its site.
struct IHostView : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4)
    virtual HRESULT GetFrame(IHostFrame** frame) = 0; // 5
    SDK_UNUSED_SLOT(6)
    virtual HRESULT GetSite(IViewSite** site) = 0;    // 7

protected:
    ~IHostView() = default;
};

struct IHostFrame : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7) SDK_UNUSED_SLOT(8)
    SDK_UNUSED_SLOT(9)
    SDK_UNUSED_SLOT_DECADE(1)
    virtual HRESULT GetFrameObject(IHostFrameObject** out) = 0; // 20
    // 21: the frame's print service (ICAFPrintService), with a reference; hosts without one answer E_NOTIMPL.
    virtual HRESULT GetPrintService(IUnknown** out)
    {
        if (out) {
            *out = nullptr;
        }
        return E_NOTIMPL;
    }

protected:
    ~IHostFrame() = default;
};

struct IHostFrameObject : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5)
    virtual HRESULT HasContent(DWORD* flag) = 0;         // 6
    virtual HRESULT OnFrameMessage(DWORD messageId) = 0; // 7

protected:
    ~IHostFrameObject() = default;
};

// {3B8E5D21-C47A-4F09-9E63-1A2D7F40B58C}
inline constexpr IID IID_IHostFrameApplication{
    0x3B8E5D21, 0xC47A, 0x4F09, {0x9E, 0x63, 0x1A, 0x2D, 0x7F, 0x40, 0xB5, 0x8C}};

// The application interface of a host frame object: the window that parents the extensions' modal dialogs.
struct IHostFrameApplication : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7) SDK_UNUSED_SLOT(8)
    SDK_UNUSED_SLOT(9)
    virtual HRESULT GetWindowHandle(HWND* window) = 0; // 10

protected:
    ~IHostFrameApplication() = default;
};

// A host document as its views see it.
struct IHostDocument : IUnknown {
    virtual HRESULT GetIdentity(DWORD* identity) = 0;   // 3
    SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6)
    virtual HRESULT GetViewName(IKVOString** name) = 0; // 7: with a reference
    SDK_UNUSED_SLOT(8) SDK_UNUSED_SLOT(9) SDK_UNUSED_SLOT(10) SDK_UNUSED_SLOT(11) SDK_UNUSED_SLOT(12)
    virtual HRESULT AttachView(IDocView2* view) = 0;    // 13
    virtual HRESULT DetachView(IDocView2* view) = 0;    // 14

protected:
    ~IHostDocument() = default;
};
