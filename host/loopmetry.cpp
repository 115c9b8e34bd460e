#include "host/loopmetry.h"

#include "host/framework.h"
#include "host/lmcustomize.h"
#include "host/lmpeaks.h"
#include "host/sampleformula.h"
#include "platform/com/oleauto.h"
#include "platform/win/codepage.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace host {

namespace {

BSTR MakeBSTR(const std::u16string& text) { return SysAllocString(text.c_str()); }

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// The shortest text that reads back as the same double.
std::string Shortest(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

bool ReadNumber(std::string_view text, double& value)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

LMDetection PresetDetection(int direction, double height, double interval, int transform, double smoothing,
                            double tag)
{
    LMDetection d;
    d.detect.direction = direction;
    d.detect.thresholdInSD = true;
    d.detect.height = height;
    d.detect.minInterval = interval;
    d.detect.transform = transform;
    d.detect.smoothing = smoothing;
    d.detect.noiseWindow = 0.5;
    d.tag = tag;
    return d;
}

// The detection in a settings object's text; nullopt with `read` false when the text cannot be read, nullopt with
// `read` true when it is not ours.
std::optional<LMDetection> DetectionOf(ILMDetectionSettings& settings, bool& read)
{
    BSTR text = nullptr;
    read = SUCCEEDED(settings.GetText(&text));
    auto detection = read ? ParseLMText(text ? text : u"") : std::nullopt;
    SysFreeString(text);
    return detection;
}

} // namespace

std::optional<LMDetection> ParseLMText(std::u16string_view text)
{
    LMDetection d = BuiltInPresets().front().detection;
    const std::string ascii = platform::Utf16ToUtf8(text);
    std::string_view rest = ascii;
    while (!rest.empty()) {
        const std::size_t cut = rest.find(';');
        const std::string_view field = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        if (field.empty()) {
            continue;
        }
        const std::size_t equals = field.find('=');
        double value = 0.0;
        if (equals == std::string_view::npos || !ReadNumber(field.substr(equals + 1), value)) {
            return std::nullopt;
        }
        const std::string_view name = field.substr(0, equals);
        const bool flag = value == 0.0 || value == 1.0;
        if (name == "dir" && (value == 1.0 || value == -1.0)) {
            d.detect.direction = static_cast<int>(value);
        } else if (name == "sd" && flag) {
            d.detect.thresholdInSD = value != 0.0;
        } else if (name == "height" && value >= 0.0) {
            d.detect.height = value;
        } else if (name == "interval" && value >= 0.0) {
            d.detect.minInterval = value;
        } else if (name == "transform" && flag) {
            d.detect.transform = static_cast<int>(value);
        } else if (name == "smooth" && value > 0.0 && value <= 10.0) {
            d.detect.smoothing = value;
        } else if (name == "window" && value > 0.0) {
            d.detect.noiseWindow = value;
        } else if (name == "zero" && flag) {
            d.zeroHeightAllowed = value != 0.0;
        } else if (name == "tag" && value >= 0.0) {
            d.tag = value;
        } else {
            return std::nullopt;
        }
    }
    return d;
}

std::u16string WriteLMText(const LMDetection& d)
{
    const PeakDetectionParams& p = d.detect;
    return Widen("dir=" + std::to_string(p.direction) + ";sd=" + (p.thresholdInSD ? "1" : "0") +
                 ";height=" + Shortest(p.height) + ";interval=" + Shortest(p.minInterval) +
                 ";transform=" + std::to_string(p.transform) + ";smooth=" + Shortest(p.smoothing) +
                 ";window=" + Shortest(p.noiseWindow) + ";zero=" + (d.zeroHeightAllowed ? "1" : "0") +
                 ";tag=" + Shortest(d.tag));
}

const std::vector<LMPresetStore::Preset>& BuiltInPresets()
{
    static const std::vector<LMPresetStore::Preset> presets = {
        {u"General peaks", PresetDetection(1, 5.0, 0.005, 0, 0.0005, 1), false},
        {u"Synaptic currents", PresetDetection(-1, 5.0, 0.005, 1, 0.0005, 2), false},
        {u"Synaptic potentials", PresetDetection(1, 5.0, 0.01, 1, 0.001, 3), false},
        {u"Action potentials", PresetDetection(1, 8.0, 0.002, 0, 0.0005, 4), false},
    };
    return presets;
}

// ---- LMDetectionSettings ----

LMDetectionSettings::LMDetectionSettings(CallLog* log) : LMDetectionSettings(BuiltInPresets().front().detection, log)
{
}

LMDetectionSettings::LMDetectionSettings(const LMDetection& detection, CallLog* log) : log_(log)
{
    Assign(detection);
}

void LMDetectionSettings::Assign(const LMDetection& detection)
{
    detection_ = detection;
    text_ = WriteLMText(detection);
}

HRESULT LMDetectionSettings::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_ILMDetectionSettings, static_cast<ILMDetectionSettings*>(this)}}, iid, out);
}

void LMDetectionSettings::Record(std::string operation, std::string detail)
{
    if (log_) {
        log_->Record("loopmetry", std::move(operation), std::move(detail));
    }
}

HRESULT LMDetectionSettings::GetText(BSTR* text)
{
    Record("GetText");
    if (!text) {
        return E_POINTER;
    }
    *text = MakeBSTR(text_);
    return S_OK;
}

HRESULT LMDetectionSettings::SetText(const WCHAR* text)
{
    text_ = text ? std::u16string(text) : std::u16string();
    detection_ = ParseLMText(text_);
    Record("SetText", Narrow(text_));
    return S_OK;
}

HRESULT LMDetectionSettings::Clone(ILMDetectionSettings** out)
{
    Record("Clone");
    if (!out) {
        return E_POINTER;
    }
    auto* copy = new LMDetectionSettings(log_);
    copy->text_ = text_;
    copy->detection_ = detection_;
    copy->sourceChannel_ = sourceChannel_;
    copy->AddRef();
    *out = copy;
    return S_OK;
}

HRESULT LMDetectionSettings::Reset()
{
    Record("Reset");
    Assign(BuiltInPresets().front().detection);
    return S_OK;
}

HRESULT LMDetectionSettings::SetParameter(LONG index, double value)
{
    Record("SetParameter", std::to_string(index) + " " + Shortest(value));
    if (!std::isfinite(value)) {
        return E_INVALIDARG;
    }
    if (index == 0) {
        sourceChannel_ = value;
        return S_OK;
    }
    if (!detection_ || (index == 3 && value < 0.0) || (index == 14 && value < 0.0)) {
        return E_INVALIDARG;
    }
    LMDetection changed = *detection_;
    switch (index) {
    case 3: changed.detect.height = value; break;
    case 14: changed.tag = value; break;
    case 15: changed.zeroHeightAllowed = value != 0.0; break;
    default: return E_INVALIDARG;
    }
    Assign(changed);
    return S_OK;
}

HRESULT LMDetectionSettings::GetParameter(LONG index, double* value)
{
    if (!value) {
        return E_POINTER;
    }
    *value = 0.0;
    if (index == 0) {
        *value = sourceChannel_;
        return S_OK;
    }
    if (!detection_) {
        return E_FAIL;
    }
    switch (index) {
    case 3: *value = detection_->detect.height; return S_OK;
    case 14: *value = detection_->tag; return S_OK;
    case 15: *value = detection_->zeroHeightAllowed ? 1.0 : 0.0; return S_OK;
    default: return E_INVALIDARG;
    }
}

HRESULT LMDetectionSettings::IsValid(VARIANT_BOOL* valid)
{
    Record("IsValid");
    if (!valid) {
        return E_POINTER;
    }
    const bool ok = detection_ && (detection_->detect.height > 0.0 || detection_->zeroHeightAllowed);
    *valid = ok ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT LMDetectionSettings::HasDetectorStage(USHORT* configured)
{
    Record("HasDetectorStage");
    if (!configured) {
        return E_POINTER;
    }
    *configured = Transforms() ? 0xFFFF : 0;
    return S_OK;
}

HRESULT LMDetectionSettings::BuildCalculationText(const WCHAR* token, LONG flag, LONG channel, LONG kind,
                                                  BSTR* text)
{
    Record("BuildCalculationText",
           Narrow(token ? token : u"") + " " + std::to_string(flag) + " " + std::to_string(channel) + " " +
               Hex(static_cast<unsigned>(kind)));
    if (!text) {
        return E_POINTER;
    }
    // Settings that are not ours detect with the defaults rather than give a text the host refuses.
    LMDetection used = detection_.value_or(BuiltInPresets().front().detection);
    // With flag 1 the token names the channel that holds the source text (SourceText): transformed already.
    if (flag == 1) {
        used.detect.transform = 0;
    }
    *text = MakeBSTR(u"lmpeaks( " + std::u16string(token ? token : u"") + u", " + WritePeakParams(used.detect, ", ") +
                     u" )");
    return S_OK;
}

HRESULT LMDetectionSettings::SourceText(const WCHAR* token, BSTR* text)
{
    // A transforming detection reads the smoothed slope of the source, a sample formula of the host; otherwise the
    // source as it is.
    Record("SourceText", Narrow(token ? token : u""));
    if (!text) {
        return E_POINTER;
    }
    const std::u16string source = token ? token : u"";
    *text = MakeBSTR(Transforms() ? WriteSampleFormula(source, detection_->detect.smoothing) : source);
    return S_OK;
}

HRESULT LMDetectionSettings::CopyFrom(ILMDetectionSettings* source, VARIANT_BOOL withSource)
{
    Record("CopyFrom");
    if (!source) {
        return E_POINTER;
    }
    if (source == this) {
        return S_OK;
    }
    BSTR text = nullptr;
    const HRESULT hr = source->GetText(&text);
    if (FAILED(hr)) {
        return hr;
    }
    text_ = text ? std::u16string(text) : std::u16string();
    SysFreeString(text);
    detection_ = ParseLMText(text_);
    if (withSource != VARIANT_FALSE) {
        source->GetParameter(0, &sourceChannel_);
    }
    return S_OK;
}

HRESULT LMDetectionSettings::GetThresholdLabel(BSTR* label)
{
    if (!label) {
        return E_POINTER;
    }
    const bool sd = detection_ && detection_->detect.thresholdInSD;
    // The label stands on one line left of the edit: short enough for it.
    *label = MakeBSTR(sd ? u"Height in S.D.:" : u"Minimum height:");
    return S_OK;
}

HRESULT LMDetectionSettings::TransformsSource(VARIANT_BOOL* transforms)
{
    if (!transforms) {
        return E_POINTER;
    }
    *transforms = Transforms() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT LMDetectionSettings::MapDisplayUnits(const WCHAR* unit, LONG prefix, BSTR* outUnit, LONG* outPrefix)
{
    if (!outUnit || !outPrefix) {
        return E_POINTER;
    }
    // The smoothed derivative is in the source's unit per second.
    const std::u16string base = unit ? unit : u"";
    *outUnit = MakeBSTR(Transforms() ? base + u"/s" : base);
    *outPrefix = prefix;
    return S_OK;
}

HRESULT LMDetectionSettings::MapOutputUnits(const WCHAR* unit, LONG prefix, BSTR* outUnit, LONG* outPrefix)
{
    return MapDisplayUnits(unit, prefix, outUnit, outPrefix);
}

HRESULT LMDetectionSettings::MapRange(LMValueRange range, LONG, LMValueRange* out)
{
    if (!out) {
        return E_POINTER;
    }
    if (!Transforms()) {
        *out = range;
        return S_OK;
    }
    // The steepest change the source's range allows over one smoothing width, either way.
    const double steepest = std::abs(range.high - range.low) / detection_->detect.smoothing;
    *out = {-steepest, steepest};
    return S_OK;
}

HRESULT LMDetectionSettings::IsThresholdInSD(VARIANT_BOOL* inSD)
{
    if (!inSD) {
        return E_POINTER;
    }
    *inSD = detection_ && detection_->detect.thresholdInSD ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

// ---- LMPresetStore ----

LMPresetStore::LMPresetStore() : presets_(BuiltInPresets()) {}

LMPresetStore::LMPresetStore(SettingsFile& settings) : presets_(BuiltInPresets()), settings_(&settings)
{
    if (const auto text = settings.Value(kUserPresetsName)) {
        ReadUserPresets(*text);
    }
}

// One change to the user presets. Kept in the host's settings, it is made to the list as stored now (other host
// processes may have saved or deleted presets since this one read it) and written back before any other can save.
void LMPresetStore::Persist(const std::function<void()>& change)
{
    if (!settings_) {
        change();
        return;
    }
    settings_->Update(kUserPresetsName, [&](const std::optional<std::u16string>& stored) {
        ReadUserPresets(stored.value_or(std::u16string()));
        change();
        return std::optional<std::u16string>(WriteUserPresets());
    });
}

std::u16string LMPresetStore::AddUserPreset(const LMDetection& detection)
{
    std::u16string added;
    Persist([&] {
        for (int n = 1; added.empty(); ++n) {
            std::u16string name = u"User preset " + Widen(std::to_string(n));
            bool taken = false;
            for (const Preset& preset : presets_) {
                taken = taken || preset.name == name;
            }
            if (!taken) {
                added = name;
                presets_.push_back({std::move(name), detection, true});
            }
        }
    });
    return added;
}

bool LMPresetStore::RemoveUserPreset(std::u16string_view name)
{
    bool removed = false;
    Persist([&] {
        removed = std::erase_if(presets_, [&](const Preset& preset) { return preset.removable && preset.name == name; });
    });
    return removed;
}

std::u16string LMPresetStore::WriteUserPresets() const
{
    std::u16string text;
    for (const Preset& preset : presets_) {
        if (preset.removable) {
            text += preset.name + u'\t' + WriteLMText(preset.detection) + u'\n';
        }
    }
    return text;
}

void LMPresetStore::ReadUserPresets(std::u16string_view text)
{
    std::erase_if(presets_, [](const Preset& preset) { return preset.removable; });
    while (!text.empty()) {
        const std::size_t cut = text.find(u'\n');
        const std::u16string_view line = text.substr(0, cut);
        text = cut == std::u16string_view::npos ? std::u16string_view() : text.substr(cut + 1);
        const std::size_t tab = line.find(u'\t');
        if (tab == 0 || tab == std::u16string_view::npos) {
            continue;
        }
        const std::u16string name(line.substr(0, tab));
        const auto detection = ParseLMText(line.substr(tab + 1));
        bool taken = false;
        for (const Preset& preset : presets_) {
            taken = taken || preset.name == name;
        }
        if (detection && !taken) {
            presets_.push_back({name, *detection, true});
        }
    }
}

// ---- LMDocExtension ----

LMDocExtension::LMDocExtension(CallLog* log, std::shared_ptr<LMPresetStore> presets)
    : log_(log), presets_(presets ? std::move(presets) : std::make_shared<LMPresetStore>())
{
}

HRESULT LMDocExtension::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_ILMDocExtension, static_cast<ILMDocExtension*>(this)}}, iid, out);
}

const LMPresetStore::Preset* LMDocExtension::At(LONG index) const
{
    const auto& presets = presets_->Presets();
    return index >= 0 && static_cast<std::size_t>(index) < presets.size() ? &presets[static_cast<std::size_t>(index)]
                                                                          : nullptr;
}

HRESULT LMDocExtension::GetPresetCount(LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    *count = static_cast<LONG>(presets_->Presets().size());
    return S_OK;
}

HRESULT LMDocExtension::FindPreset(ILMDetectionSettings* settings, LONG* index, VARIANT_BOOL* matched)
{
    if (!settings || !index || !matched) {
        return E_POINTER;
    }
    *index = -1;
    *matched = VARIANT_FALSE;
    bool read = false;
    const auto detection = DetectionOf(*settings, read);
    if (!read) {
        return E_FAIL;
    }
    const auto& presets = presets_->Presets();
    for (std::size_t i = 0; detection && i < presets.size(); ++i) {
        // The tag names where settings came from, not how they detect: a custom copy (tag 0) of a preset's
        // settings is that preset.
        if (presets[i].detection.detect == detection->detect &&
            presets[i].detection.zeroHeightAllowed == detection->zeroHeightAllowed) {
            *index = static_cast<LONG>(i);
            *matched = VARIANT_TRUE;
            break;
        }
    }
    return S_OK;
}

HRESULT LMDocExtension::FindPresetByName(const WCHAR* name, LONG* index, VARIANT_BOOL* found)
{
    if (!name || !index || !found) {
        return E_POINTER;
    }
    *index = -1;
    *found = VARIANT_FALSE;
    const auto& presets = presets_->Presets();
    for (std::size_t i = 0; i < presets.size(); ++i) {
        if (presets[i].name == name) {
            *index = static_cast<LONG>(i);
            *found = VARIANT_TRUE;
            break;
        }
    }
    return S_OK;
}

HRESULT LMDocExtension::GetPreset(LONG index, ILMDetectionSettings** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    const LMPresetStore::Preset* preset = At(index);
    if (!preset) {
        return E_INVALIDARG;
    }
    auto* settings = new LMDetectionSettings(preset->detection, log_);
    settings->AddRef();
    *out = settings;
    return S_OK;
}

HRESULT LMDocExtension::CreateSettings(ILMDetectionSettings** out)
{
    if (log_) {
        log_->Record("loopmetry", "CreateSettings");
    }
    if (!out) {
        return E_POINTER;
    }
    auto* settings = new LMDetectionSettings(log_);
    settings->AddRef();
    *out = settings;
    return S_OK;
}

HRESULT LMDocExtension::GetPresetName(LONG index, VARIANT_BOOL, BSTR* name)
{
    if (!name) {
        return E_POINTER;
    }
    *name = nullptr;
    const LMPresetStore::Preset* preset = At(index);
    if (!preset) {
        return E_INVALIDARG;
    }
    *name = MakeBSTR(preset->name);
    return S_OK;
}

HRESULT LMDocExtension::IsPresetRemovable(LONG index, VARIANT_BOOL* removable)
{
    if (!removable) {
        return E_POINTER;
    }
    const LMPresetStore::Preset* preset = At(index);
    *removable = preset && preset->removable ? VARIANT_TRUE : VARIANT_FALSE;
    return preset ? S_OK : E_INVALIDARG;
}

HRESULT LMDocExtension::Customize(HWND owner, ILMDetectionSettings* settings, const void*, const WCHAR* title,
                                  const WCHAR*, const WCHAR*, ILMDetectionSettings** result)
{
    if (!result) {
        return E_POINTER;
    }
    *result = nullptr;
    if (!settings) {
        return E_POINTER;
    }
    bool read = false;
    auto detection = DetectionOf(*settings, read);
    if (!detection) {
        return read ? E_INVALIDARG : E_FAIL; // settings that are not ours: nothing to edit
    }
    if (log_) {
        log_->Record("loopmetry", "Customize");
    }
    if (!RunCustomizeDialog(owner, title ? title : u"", *detection)) {
        return S_FALSE;
    }
    // A copy of the given settings (its source channel too) with the edited detection.
    platform::ComPtr<ILMDetectionSettings> edited;
    if (FAILED(settings->Clone(edited.Out())) || !edited ||
        FAILED(edited->SetText(WriteLMText(*detection).c_str()))) {
        return E_FAIL;
    }
    *result = edited.Detach();
    return S_OK;
}

HRESULT LMDocExtension::SavePreset(HWND, ILMDetectionSettings* settings)
{
    if (!settings) {
        return E_POINTER;
    }
    bool read = false;
    auto detection = DetectionOf(*settings, read);
    if (!detection) {
        return read ? E_INVALIDARG : E_FAIL; // a text that is not ours would not detect as saved
    }
    detection->tag = 0.0;
    const std::u16string name = presets_->AddUserPreset(*detection);
    if (log_) {
        log_->Record("loopmetry", "SavePreset", Narrow(name));
    }
    return S_OK;
}

HRESULT LMDocExtension::DeletePreset(HWND, const WCHAR* name)
{
    if (!name) {
        return E_POINTER;
    }
    return presets_->RemoveUserPreset(name) ? S_OK : S_FALSE;
}

// ---- LMDocumentSite ----

LMDocumentSite::LMDocumentSite(const Framework& framework, ILMDocExtension* extension)
    : framework_(framework), extension_(extension)
{
}

HRESULT LMDocumentSite::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IDocumentSite) {
        return Answer(static_cast<IDocumentSite*>(this), out);
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT LMDocumentSite::GetExtension(DWORD typeId, DWORD, IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    const WORD loopmetry = framework_.KnownTypeId(CLSID_LoopmetryExtension);
    if (!extension_ || loopmetry == 0 || typeId != (DWORD{loopmetry} << 16)) {
        return E_FAIL;
    }
    return extension_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(out));
}

} // namespace host
