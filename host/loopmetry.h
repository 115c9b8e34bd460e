// Loopmetry, the host's other extension: its object of a host document (presets and detection settings) and the
// detection settings, which build the texts of the host's own peak detection ("lmpeaks(", host/lmpeaks.h).
//
// Settings text: fields "name=value" separated by ';', each optional (a missing one keeps its default):
//   dir=1|-1  sd=1|0  height=<d>  interval=<s>  transform=0|1  smooth=<s>  window=<s>  zero=0|1  tag=<n>
// A text is kept as it was given until a parameter changes; one that names an unknown field or holds a bad
// value is kept too, and is invalid. Parameter 0 (the source channel) is not part of the text.
#pragma once

#include "host/calllog.h"
#include "host/comobject.h"
#include "host/peakdetector.h"
#include "host/settingsfile.h"
#include "sdk/documentsite.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace host {

class Framework;

// What a settings text says.
struct LMDetection {
    PeakDetectionParams detect;
    bool zeroHeightAllowed = false; // parameter 15 non-zero: a height of 0 is allowed
    double tag = 0.0;               // parameter 14: the preset the settings came from, 0 for custom ones
    friend bool operator==(const LMDetection&, const LMDetection&) = default;
};

std::optional<LMDetection> ParseLMText(std::u16string_view text);
std::u16string WriteLMText(const LMDetection& detection);

class LMDetectionSettings final : public ILMDetectionSettings, public RefCounted {
public:
    // Calls are recorded in the log under "loopmetry" when one is given (it must outlive the object).
    explicit LMDetectionSettings(CallLog* log = nullptr);
    LMDetectionSettings(const LMDetection& detection, CallLog* log);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT CopyFrom(ILMDetectionSettings* source, VARIANT_BOOL withSource) override;
    HRESULT BuildCalculationText(const WCHAR* token, LONG flag, LONG channel, LONG kind, BSTR* text) override;
    HRESULT SourceText(const WCHAR* token, BSTR* text) override;
    HRESULT GetParameter(LONG index, double* value) override;
    HRESULT SetParameter(LONG index, double value) override;
    HRESULT GetThresholdLabel(BSTR* label) override;
    HRESULT TransformsSource(VARIANT_BOOL* transforms) override;
    HRESULT MapDisplayUnits(const WCHAR* unit, LONG prefix, BSTR* outUnit, LONG* outPrefix) override;
    HRESULT MapOutputUnits(const WCHAR* unit, LONG prefix, BSTR* outUnit, LONG* outPrefix) override;
    HRESULT MapRange(LMValueRange range, LONG prefix, LMValueRange* out) override;
    HRESULT IsThresholdInSD(VARIANT_BOOL* inSD) override;
    HRESULT GetText(BSTR* text) override;
    HRESULT SetText(const WCHAR* text) override;
    HRESULT Clone(ILMDetectionSettings** out) override;
    HRESULT Reset() override;
    HRESULT IsValid(VARIANT_BOOL* valid) override;
    HRESULT HasDetectorStage(USHORT* configured) override;

    const std::u16string& Text() const { return text_; }
    double SourceChannel() const { return sourceChannel_; }
    // The settings, or nullopt when the text is not one of ours.
    const std::optional<LMDetection>& Detection() const { return detection_; }

private:
    void Record(std::string operation, std::string detail = {});
    void Assign(const LMDetection& detection);
    bool Transforms() const { return detection_ && detection_->detect.transform != 0; }

    CallLog* log_;
    std::u16string text_;
    std::optional<LMDetection> detection_;
    double sourceChannel_ = -1.0;
};

// The presets offered to every document: the host's own, then the user's, which the user can save and delete.
// The user's are kept here for the host's life and written with the host's settings; each change is made to the list
// as the settings hold it at that moment, which other host processes may have changed.
class LMPresetStore {
public:
    struct Preset {
        std::u16string name;
        LMDetection detection;
        bool removable = false;
    };

    LMPresetStore();
    // Keeps the user presets in the host's settings (kUserPresetsName): read now, read again and written at each
    // change.
    explicit LMPresetStore(SettingsFile& settings);
    static constexpr const char16_t* kUserPresetsName = u"Loopmetry.UserPresets";

    const std::vector<Preset>& Presets() const { return presets_; }
    // Adds a user preset "User preset N" with the smallest N free in the list as stored now and answers its name.
    std::u16string AddUserPreset(const LMDetection& detection);
    bool RemoveUserPreset(std::u16string_view name);
    // The user presets as lines "name<TAB>settings text", and back (lines that do not parse are passed over).
    std::u16string WriteUserPresets() const;
    void ReadUserPresets(std::u16string_view text);

private:
    void Persist(const std::function<void()>& change);

    std::vector<Preset> presets_;
    SettingsFile* settings_ = nullptr;
};

// The presets of the host's own.
const std::vector<LMPresetStore::Preset>& BuiltInPresets();

class LMDocExtension final : public ILMDocExtension, public RefCounted {
public:
    explicit LMDocExtension(CallLog* log = nullptr, std::shared_ptr<LMPresetStore> presets = nullptr);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT GetPresetCount(LONG* count) override;
    HRESULT FindPreset(ILMDetectionSettings* settings, LONG* index, VARIANT_BOOL* matched) override;
    HRESULT FindPresetByName(const WCHAR* name, LONG* index, VARIANT_BOOL* found) override;
    HRESULT GetPreset(LONG index, ILMDetectionSettings** out) override;
    HRESULT CreateSettings(ILMDetectionSettings** out) override;
    HRESULT GetPresetName(LONG index, VARIANT_BOOL display, BSTR* name) override;
    HRESULT IsPresetRemovable(LONG index, VARIANT_BOOL* removable) override;
    HRESULT Customize(HWND owner, ILMDetectionSettings* settings, const void* viewRecord, const WCHAR* title,
                      const WCHAR* helpContext, const WCHAR* helpFile, ILMDetectionSettings** result) override;
    HRESULT SavePreset(HWND owner, ILMDetectionSettings* settings) override;
    HRESULT DeletePreset(HWND owner, const WCHAR* name) override;

    LMPresetStore& Presets() { return *presets_; }

private:
    const LMPresetStore::Preset* At(LONG index) const;

    CallLog* log_;
    std::shared_ptr<LMPresetStore> presets_;
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
