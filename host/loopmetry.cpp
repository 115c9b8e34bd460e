#include "host/loopmetry.h"

#include "host/framework.h"
#include "platform/com/oleauto.h"

#include <charconv>
#include <cstdio>
#include <string_view>

namespace host {

namespace {

BSTR MakeBSTR(const std::u16string& text) { return SysAllocString(text.c_str()); }

std::u16string Widen(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// Six significant digits in the classic form, as the module writes its numbers.
std::u16string NumberText(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return Widen(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

std::u16string NumberText(long value) { return Widen(std::to_string(value)); }

// The ASCII text of a field "name=value" up to the next ';'; false when the field is missing.
bool Field(const std::u16string& text, std::u16string_view name, std::string& value)
{
    const std::size_t at = text.find(name);
    if (at == std::u16string::npos) {
        return false;
    }
    value.clear();
    for (std::size_t i = at + name.size(); i < text.size() && text[i] != u';'; ++i) {
        if (text[i] > 0x7F) {
            return false;
        }
        value += static_cast<char>(text[i]);
    }
    return true;
}

} // namespace

// ---- LMDetectionSettings ----

HRESULT LMDetectionSettings::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_ILMDetectionSettings) {
        return Answer(static_cast<ILMDetectionSettings*>(this), out);
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

void LMDetectionSettings::Record(std::string operation, std::string detail)
{
    if (log_) {
        log_->Record("loopmetry", std::move(operation), std::move(detail));
    }
}

bool LMDetectionSettings::Parse(double& height, int& stage) const
{
    std::string heightText;
    std::string stageText;
    if (!Field(text_, u"height=", heightText) || !Field(text_, u"stage=", stageText)) {
        return false;
    }
    const char* end = heightText.data() + heightText.size();
    if (std::from_chars(heightText.data(), end, height).ptr != end) {
        return false;
    }
    return stageText == "0" || stageText == "1" ? (stage = stageText[0] - '0', true) : false;
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
    copy->sourceChannel_ = sourceChannel_;
    copy->AddRef();
    *out = copy;
    return S_OK;
}

HRESULT LMDetectionSettings::Reset()
{
    Record("Reset");
    text_ = kDefaultText;
    return S_OK;
}

HRESULT LMDetectionSettings::SetParameter(LONG index, double value)
{
    Record("SetParameter", std::to_string(index) + " " + Narrow(NumberText(value)));
    if (index != 0) {
        return E_INVALIDARG;
    }
    sourceChannel_ = value;
    return S_OK;
}

HRESULT LMDetectionSettings::IsValid(VARIANT_BOOL* valid)
{
    Record("IsValid");
    if (!valid) {
        return E_POINTER;
    }
    double height = 0.0;
    int stage = 0;
    *valid = Parse(height, stage) && height > 0.0 ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT LMDetectionSettings::HasDetectorStage(USHORT* configured)
{
    Record("HasDetectorStage");
    if (!configured) {
        return E_POINTER;
    }
    double height = 0.0;
    int stage = 0;
    *configured = Parse(height, stage) && stage == 1 ? 0xFFFF : 0;
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
    double height = 0.0;
    int stage = 0;
    if (!Parse(height, stage)) {
        height = 0.0;
    }
    *text = MakeBSTR(u"lmdetect( " + std::u16string(token ? token : u"") + u", " + NumberText(height) + u", " +
                     NumberText(static_cast<long>(flag)) + u", " + NumberText(static_cast<long>(channel)) + u", " +
                     NumberText(static_cast<long>(kind)) + u" )");
    return S_OK;
}

HRESULT LMDetectionSettings::SourceText(const WCHAR* token, BSTR* text)
{
    Record("SourceText", Narrow(token ? token : u""));
    if (!text) {
        return E_POINTER;
    }
    *text = MakeBSTR(u"lmsource( " + std::u16string(token ? token : u"") + u" )");
    return S_OK;
}

// ---- LMDocExtension ----

HRESULT LMDocExtension::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_ILMDocExtension) {
        return Answer(static_cast<ILMDocExtension*>(this), out);
    }
    *out = nullptr;
    return E_NOINTERFACE;
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
