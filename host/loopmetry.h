// The stand-in of Loopmetry, the host's other extension: its object of a host document and the detection settings
// that it creates. The detection itself is not here yet: the texts it builds name calculations of its own
// ("lmdetect(", "lmsource(") that a test can recognise.
//
// Settings text: "height=<double>;stage=<0 or 1>". Any text is kept as it was given; it is valid when it holds a
// height above 0 and a stage of 0 or 1. The stage says whether a detector stage is configured.
#pragma once

#include "host/calllog.h"
#include "host/comobject.h"
#include "sdk/documentsite.h"

#include <string>

namespace host {

class Framework;

class LMDetectionSettings final : public ILMDetectionSettings, public RefCounted {
public:
    static constexpr const char16_t* kDefaultText = u"height=0.1;stage=0";

    // Calls are recorded in the log under "loopmetry" when one is given (it must outlive the object).
    explicit LMDetectionSettings(CallLog* log = nullptr) : log_(log) {}

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT GetText(BSTR* text) override;
    HRESULT SetText(const WCHAR* text) override;
    HRESULT Clone(ILMDetectionSettings** out) override;
    HRESULT Reset() override;
    HRESULT SetParameter(LONG index, double value) override;
    HRESULT IsValid(VARIANT_BOOL* valid) override;
    HRESULT HasDetectorStage(USHORT* configured) override;
    HRESULT BuildCalculationText(const WCHAR* token, LONG flag, LONG channel, LONG kind, BSTR* text) override;
    HRESULT SourceText(const WCHAR* token, BSTR* text) override;

    const std::u16string& Text() const { return text_; }
    double SourceChannel() const { return sourceChannel_; }

private:
    // The height and the stage of the text; false when the text does not hold both.
    bool Parse(double& height, int& stage) const;
    void Record(std::string operation, std::string detail = {});

    CallLog* log_;
    std::u16string text_ = kDefaultText;
    double sourceChannel_ = -1.0;
};

class LMDocExtension final : public ILMDocExtension, public RefCounted {
public:
    explicit LMDocExtension(CallLog* log = nullptr) : log_(log) {}

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT CreateSettings(ILMDetectionSettings** out) override;

private:
    CallLog* log_;
};

// The document-site part of a host document: it hands out the document's Loopmetry object to callers that ask
// with Loopmetry's type id (as the framework assigned it). Without an extension it has none to give.
class LMDocumentSite final : public IDocumentSite, public RefCounted {
public:
    LMDocumentSite(const Framework& framework, ILMDocExtension* extension);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT GetExtension(DWORD typeId, DWORD reserved, IUnknown** out) override;

private:
    const Framework& framework_;
    platform::ComPtr<ILMDocExtension> extension_;
};

} // namespace host
