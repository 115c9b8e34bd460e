// The document-site interface of a host document: the extension objects that other extensions keep for it.
#pragma once

#include "platform/com/oleauto.h"
#include "platform/com/unknown.h"
#include "platform/win/wintypes.h"
#include "sdk/slots.h"

// {985C47B4-D0A7-47E0-9B4A-30C183573369}
inline constexpr IID IID_IDocumentSite{0x985C47B4, 0xD0A7, 0x47E0, {0x9B, 0x4A, 0x30, 0xC1, 0x83, 0x57, 0x33, 0x69}};

struct IDocumentSite : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4)
    // 5: the site object of a document's registration link, with a reference for the caller. (Sites that have
    // none keep the default answer; the same holds for slot 8.)
    virtual HRESULT GetSiteObject(IUnknown** out) { return NoObject(out); }
    // 6: the host frame object that shows the document (IHostFrameApplication), with a reference for the caller.
    virtual HRESULT GetHostFrame(IUnknown** out) { return NoObject(out); }
    SDK_UNUSED_SLOT(7)
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

// {4E1D7C52-93A0-4B8E-8C2F-6D05E3A9B714}
inline constexpr IID IID_ILMDetectionSettings{
    0x4E1D7C52, 0x93A0, 0x4B8E, {0x8C, 0x2F, 0x6D, 0x05, 0xE3, 0xA9, 0xB7, 0x14}};

// A value range of a trace.
struct LMValueRange {
    double low;
    double high;
};

// Loopmetry's detection settings: how its own peak detection finds events, kept as one settings text. Texts go in
// as NUL-terminated UTF-16 and come out as BSTRs that the caller frees.
struct ILMDetectionSettings : IUnknown {
    // 3: the settings of another object; `withSource` also takes its source channel (parameter 0).
    virtual HRESULT CopyFrom(ILMDetectionSettings* source, VARIANT_BOOL withSource) = 0;
    // 4: the event text that detects over the input token (flag, channel and kind say where the token comes from).
    virtual HRESULT BuildCalculationText(const WCHAR* token, LONG flag, LONG channel, LONG kind, BSTR* text) = 0;
    // 5: the detector-stage text that the detection builds from a source channel's token.
    virtual HRESULT SourceText(const WCHAR* token, BSTR* text) = 0;
    // 6: 0 source channel, 3 minimum peak height, 14 preset tag, 15 zero: the height must be above 0.
    virtual HRESULT GetParameter(LONG index, double* value) = 0;
    virtual HRESULT SetParameter(LONG index, double value) = 0;                      // 7: 0 is the source channel
    virtual HRESULT GetThresholdLabel(BSTR* label) = 0;                              // 8
    virtual HRESULT TransformsSource(VARIANT_BOOL* transforms) = 0;                  // 9: a second trace is drawn
    // 10, 11: the unit of the transformed trace as shown, and as sent with the trace text.
    virtual HRESULT MapDisplayUnits(const WCHAR* unit, LONG prefix, BSTR* outUnit, LONG* outPrefix) = 0;
    virtual HRESULT MapOutputUnits(const WCHAR* unit, LONG prefix, BSTR* outUnit, LONG* outPrefix) = 0;
    // 12: the value range of the transformed trace from that of the source.
    virtual HRESULT MapRange(LMValueRange range, LONG prefix, LMValueRange* out) = 0;
    virtual HRESULT IsThresholdInSD(VARIANT_BOOL* inSD) = 0;                         // 13
    // The operations the settings store and the calculation texts use follow the ones the settings pages call.
    virtual HRESULT GetText(BSTR* text) = 0;                          // 14
    virtual HRESULT SetText(const WCHAR* text) = 0;                   // 15: the text as GetText gave it
    virtual HRESULT Clone(ILMDetectionSettings** out) = 0;            // 16: a new object with the same settings
    virtual HRESULT Reset() = 0;                                      // 17: back to the defaults
    virtual HRESULT IsValid(VARIANT_BOOL* valid) = 0;                 // 18
    virtual HRESULT HasDetectorStage(USHORT* configured) = 0;         // 19: non-zero when a detection is set up

protected:
    ~ILMDetectionSettings() = default;
};

// Loopmetry's object of a host document (presets and detection settings). The preset operations come first; they
// are declared where the settings pages call them.
struct ILMDocExtension : IUnknown {
    virtual HRESULT GetPresetCount(LONG* count) = 0;                                         // 3
    // 4: the first preset whose settings equal the given ones.
    virtual HRESULT FindPreset(ILMDetectionSettings* settings, LONG* index, VARIANT_BOOL* matched) = 0;
    virtual HRESULT FindPresetByName(const WCHAR* name, LONG* index, VARIANT_BOOL* found) = 0; // 5
    virtual HRESULT GetPreset(LONG index, ILMDetectionSettings** out) = 0;                     // 6: a copy
    virtual HRESULT CreateSettings(ILMDetectionSettings** out) = 0; // 7: new settings at their defaults
    virtual HRESULT GetPresetName(LONG index, VARIANT_BOOL display, BSTR* name) = 0;          // 8
    virtual HRESULT IsPresetRemovable(LONG index, VARIANT_BOOL* removable) = 0;               // 9
    // 10: the customise dialog; S_OK (0) when accepted, with the edited settings in *result.
    virtual HRESULT Customize(HWND owner, ILMDetectionSettings* settings, const void* viewRecord, const WCHAR* title,
                              const WCHAR* helpContext, const WCHAR* helpFile, ILMDetectionSettings** result) = 0;
    virtual HRESULT SavePreset(HWND owner, ILMDetectionSettings* settings) = 0;               // 11: 0 = saved
    virtual HRESULT DeletePreset(HWND owner, const WCHAR* name) = 0;                           // 12: 0 = deleted

protected:
    ~ILMDocExtension() = default;
};
