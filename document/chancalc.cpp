#include "document/chancalc.h"

#include "document/chancalcdlg.h"
#include "document/chartdatachilddata.h"
#include "document/cxdoc.h"
#include "document/expressionbuilder.h"
#include "document/messageids.h"
#include "document/paramcatalogue.h"
#include "document/persistsettings.h"
#include "document/settingids.h"
#include "document/settingsset.h"
#include "foundation/comobject.h"
#include "foundation/kvostring.h"
#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "foundation/xkvo.h"
#include "frame/channeltoken.h"
#include "frame/enumgetter.h"
#include "frame/hostservices.h"
#include "frame/typeid.h"
#include "platform/win/msgbox.h"
#include "resources/stringtable.h"
#include "sdk/datasource.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <locale>
#include <sstream>

namespace CX::ChanCalc {

namespace {

using namespace Doc::SettingId;

// {B1F08E37-5C24-4D9A-8E61-07A3D2C94F5B}: answered only by the module's own settings objects, with themselves.
constexpr IID kOwnSettings{0xB1F08E37, 0x5C24, 0x4D9A, {0x8E, 0x61, 0x07, 0xA3, 0xD2, 0xC9, 0x4F, 0x5B}};

constexpr std::int32_t kLastParameterCode = ParamCatalogue::kLineCount - 1;
constexpr float kScaleLimit = 1e24f;
constexpr float kEmptyRange = 1e-5f;
constexpr DWORD kFrameworkMessageCode = 0x800C004Au;
constexpr DWORD kFrameworkMessageValue = 817;
constexpr DWORD kSourceFlags = 0x40000000u;
constexpr DWORD kPendingAutoScale = 1;

using KVO::Ask;

// Settings texts are read and written through wide streams (UTF-32 units here) in the classic locale.
std::wstring Widen(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
std::u16string Narrow(const std::wstring& text)
{
    std::u16string out;
    out.reserve(text.size());
    for (const wchar_t unit : text) {
        out.push_back(static_cast<char16_t>(unit));
    }
    return out;
}

std::u16string LoadText(UINT id) { return std::u16string(KVO::LoadResourceString(KVO::ModuleInstance(), id, false).c_str()); }

void ShowError(UINT textId, UINT captionId)
{
    MessageBoxW(GetActiveWindow(), reinterpret_cast<LPCWSTR>(LoadText(textId).c_str()),
                reinterpret_cast<LPCWSTR>(LoadText(captionId).c_str()), MB_ICONERROR);
}

platform::ComPtr<IDataSource> HostSource(IUnknown* hostDocument)
{
    platform::ComPtr<IDataSource> source;
    if (const auto holder = Ask<IDataSourceHolder>(hostDocument, IID_IDataSourceHolder)) {
        holder->GetSource(0, source.Out());
    }
    return source;
}

// The selector over the host's token of the document's calculation-stage channel.
KVO::String CalculationText(const Doc::SettingsSet& settings, IUnknown* hostDocument, std::int32_t code)
{
    KVO::String text;
    { const ExpressionBuilder builder(settings, hostDocument, text, ExpressionBuilder::kSelector); }
    ExpressionBuilder::SelectorExpression(code, text);
    return text;
}

} // namespace

// ---- settings ----

SettingsCOM::SettingsCOM(const SettingsCOM* other, LONG channel)
{
    if (other) {
        ParameterCode = other->ParameterCode;
        ScaleTop = other->ScaleTop;
        ScaleBottom = other->ScaleBottom;
        DecimalPlaces = other->DecimalPlaces;
        AutoScale = other->AutoScale;
    }
    Channel = channel;
}

SettingsCOM* SettingsCOM::From(IUnknown* object)
{
    SettingsCOM* own = nullptr;
    if (!object || FAILED(object->QueryInterface(kOwnSettings, reinterpret_cast<void**>(&own))) || !own) {
        return nullptr;
    }
    own->Release();
    return own;
}

HRESULT SettingsCOM::QueryInterface(REFIID iid, void** out)
{
    if (out && iid == kOwnSettings) {
        *out = this;
        AddRef();
        return S_OK;
    }
    return SimpleUnknownImp1::QueryInterface(iid, out);
}

std::u16string SettingsCOM::ToText() const
{
    std::wostringstream out;
    out.imbue(std::locale::classic());
    out << 1u << L'\t' << ParameterCode << L'\t' << ScaleTop << L'\t' << ScaleBottom << L'\t' << DecimalPlaces
        << L'\t' << (AutoScale ? 1 : 0) << L'\t' << Channel << L'\t' << kEndCheck;
    return Narrow(out.str());
}

HRESULT SettingsCOM::FromText(std::u16string_view text)
{
    std::wistringstream in(Widen(text));
    in.imbue(std::locale::classic());
    unsigned version = 0;
    std::int32_t code = 0;
    in >> version;
    const bool codeRead = static_cast<bool>(in >> code);
    // Each value is stored only once it was read whole, so a failure keeps the earlier value.
    if (float top = 0; in >> top) {
        ScaleTop = top;
    }
    if (float bottom = 0; in >> bottom) {
        ScaleBottom = bottom;
    }
    if (std::int32_t places = 0; in >> places) {
        DecimalPlaces = std::clamp(places, 0, kMaxDecimalPlaces);
    }
    if (bool autoScale = false; in >> autoScale) {
        AutoScale = autoScale;
    }
    if (std::int32_t channel = 0; in >> channel) {
        Channel = channel;
    }
    unsigned check = 0;
    const bool checked = static_cast<bool>(in >> check) && check == kEndCheck;
    ParameterCode = codeRead && code >= 0 && code <= kLastParameterCode ? code : kDefaultParameterCode;
    return checked ? S_OK : E_FAIL;
}

HRESULT SettingsCOM::Load(IHostTextSource* source)
{
    return KVO::GuardSlot([&] {
        if (!source) {
            return E_POINTER;
        }
        KVO::String text;
        {
            KVO::StringOutParam slot(text);
            if (FAILED(source->GetString(slot))) {
                return E_FAIL;
            }
        }
        return FromText(text.View());
    });
}

HRESULT SettingsCOM::Save(IHostTextSink* sink)
{
    return KVO::GuardSlot([&] {
        if (!sink) {
            return E_POINTER;
        }
        const std::u16string text = ToText();
        sink->PutString(text.c_str());
        return S_OK;
    });
}

HRESULT SettingsCOM::GetTypeId(DWORD* typeId)
{
    if (!typeId) {
        return E_POINTER;
    }
    *typeId = TypeIdClass<&kSettingsTypeGuid, 1>::Get();
    return S_OK;
}

// ---- scaling and title ----

void WidenEmptyRange(float& top, float& bottom)
{
    if (std::abs(top - bottom) < kEmptyRange) {
        top += kEmptyRange;
        bottom -= kEmptyRange;
    }
}

OutputScaling ScaleOutput(std::int32_t decimalPlaces, bool invert, float top, float bottom)
{
    if (invert) {
        bottom = -top;
    }
    auto clamp = [](float value) { return std::isnan(value) ? kScaleLimit : std::clamp(value, -kScaleLimit, kScaleLimit); };
    top = clamp(top);
    bottom = clamp(bottom);
    float range = top - bottom;
    if (range == 0.0f) {
        // Equal values too large for the fixed widening (both 1000, say): a range relative to their size.
        const float step = std::max(std::abs(top), 1.0f) * kEmptyRange;
        top += step;
        bottom -= step;
        range = top - bottom;
    }
    if (!std::isfinite(range)) {
        range = std::numeric_limits<float>::max();
    }
    double unitsPerCode = static_cast<double>(range / 64000.0f);
    if (!std::isfinite(unitsPerCode) || unitsPerCode == 0.0) {
        unitsPerCode = static_cast<double>(std::numeric_limits<float>::max());
    }
    OutputScaling scaling;
    scaling.record.scale = unitsPerCode;
    scaling.record.offset = 64000.0 * bottom / range + 32000.0;
    scaling.record.upper = std::numeric_limits<float>::infinity();
    scaling.record.lower = -std::numeric_limits<float>::infinity();
    scaling.record.kind = decimalPlaces;
    scaling.record.precision = 1;
    scaling.record.flags = 0;
    scaling.gain = 1.0 / unitsPerCode;
    scaling.offset = -(unitsPerCode * scaling.record.offset);
    return scaling;
}

std::u16string Title(const Doc::SettingsSet& settings, std::int32_t parameterCode, const std::u16string& channelName)
{
    std::u16string title = u"Crestmetrics, ";
    title += Doc::PersistSettings::Catalogue().ShortName(settings.GetInt(kAnalysisType), parameterCode);
    if (!channelName.empty()) {
        title += u" of ";
        title += channelName;
    }
    return title;
}

Doc::SettingsSet* DocumentSettings(IUnknown* hostDocument)
{
    if (Doc::CXDoc* document = Doc::CXDoc::FromHostDocument(hostDocument)) {
        return &document->Settings();
    }
    const platform::ComPtr<Doc::ChartDataChildData> child = Doc::ChartDataChildData::FindOrCreate(hostDocument);
    return child ? child->Settings() : nullptr;
}

// ---- the calculation ----

Calc::Calc(IUnknown* site, DWORD hostValue, LONG channel, DWORD further)
    : hostValue_(hostValue), channel_(channel), further_(further)
{
    count_.Add();
    constexpr float infinity = std::numeric_limits<float>::infinity();
    scaling_ = ChannelScaling{1.0, 0.0, infinity, -infinity, 2, 1, 0};
    if (site) {
        site->QueryInterface(IID_IChannelCalcSite, site_.OutVoid());
        if (site_) {
            site_->GetHostDocument(hostDocument_.Out());
        }
        documentOutput_ = Ask<IChannelCalcDocument>(hostDocument_.Get(), IID_IChannelCalcDocument);
    }
    platform::ComPtr<IHostCalcFactory> factory;
    if (ICAFFramework* framework = CAF::GetFrameworkClassObject()) {
        framework->GetObject(TypeIdClass<&GUID_HostChannelCalcFamily, 17>::Get(), IID_IHostCalcFactory,
                             factory.OutVoid());
    }
    if (factory && SUCCEEDED(factory->CreateAggregated(static_cast<IChannelCalc*>(this), &inner_)) && inner_ &&
        SUCCEEDED(inner_->QueryInterface(IID_IHostChannelCalc, reinterpret_cast<void**>(&hostCalc_))) && hostCalc_) {
        // The aggregated interface counts on this object: that reference is not kept.
        Release();
    }
    autoScale_ = Ask<IAutoScaleRequest>(site, IID_IAutoScaleRequest);
}

Calc::~Calc()
{
    settings_.Reset();
    site_.Reset();
    units_.Reset();
    hostCalc_ = nullptr;
    if (inner_) {
        inner_->Release();
    }
}

ULONG Calc::Release()
{
    ULONG left = 0;
    if (count_.Drop(left)) {
        delete this;
    }
    return left;
}

HRESULT Calc::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IChannelCalc) {
        *out = static_cast<IChannelCalc*>(this);
        AddRef();
        return S_OK;
    }
    return inner_ ? inner_->QueryInterface(iid, out) : E_NOINTERFACE;
}

HRESULT Calc::PrepareOutput(DWORD first, DWORD, DWORD, IUnknown** units, LONGLONG* timeBase, DWORD sixth,
                            DWORD* flag)
{
    return KVO::GuardSlot([&] {
        units_.Reset();
        HRESULT result = E_FAIL;
        if (site_) {
            result = site_->CreateUnits(&scaling_, outputUnit_.Text().c_str(), units_.Out());
        }
        if (units) {
            *units = units_.Get();
            if (*units) {
                (*units)->AddRef();
            }
        }
        if (timeBase) {
            timeBase[0] = 1;
            timeBase[1] = 1;
            timeBase[2] = 0;
        }
        if (documentOutput_) {
            documentOutput_->OutputPrepared(0, first, sixth);
        }
        if (flag) {
            *flag = 0;
        }
        return result;
    });
}

void Calc::Rescale(std::int32_t decimalPlaces, float top, float bottom)
{
    units_.Reset();
    scaling_ = ScaleOutput(decimalPlaces, false, top, bottom).record;
}

HRESULT Calc::SetSettings(IPersistObject* settings, BOOL)
{
    return KVO::GuardSlot([&] { return ApplySettings(settings); });
}

HRESULT Calc::ApplySettings(IPersistObject* given)
{
    settings_ = platform::ComPtr<SettingsCOM>(new SettingsCOM(SettingsCOM::From(given), channel_));
    const platform::ComPtr<Doc::ChartDataChildData> child = Doc::ChartDataChildData::FindOrCreate(hostDocument_.Get());

    // Bind: a failed bind is the host's to report.
    if (hostCalc_) {
        DWORD documentValue = 0;
        platform::ComPtr<IChannelCalcAux> aux;
        if (ICAFFramework* framework = CAF::GetFrameworkClassObject()) {
            framework->GetObject(ChannelCalcBase::GetRegisteredTypeId(), IID_IChannelCalcAux, aux.OutVoid());
        }
        if (aux) {
            aux->GetDocumentValue(hostDocument_.Get(), &documentValue);
        }
        hostCalc_->Bind(hostValue_, channel_, further_, site_.Get(), documentValue);
    }

    float top = settings_->ScaleTop;
    float bottom = settings_->ScaleBottom;
    WidenEmptyRange(top, bottom);
    Rescale(settings_->DecimalPlaces, top, bottom);

    Doc::SettingsSet* settings = DocumentSettings(hostDocument_.Get());
    const LONG sourceChannel = settings ? settings->GetLong(kSourceChannel) : 0;
    if (settings) {
        KVO::PrefixedUnit source;
        ExtLib::GetEnumUnitNameEx(HostSource(hostDocument_.Get()).Get(), 0, sourceChannel, source, true);
        outputUnit_ = ParamCatalogue::UnitText(settings_->ParameterCode, source);
        scaling_.precision = outputUnit_.PrefixIndex();
    }

    const CalcSourceEntry entry{sourceChannel, kSourceKind, kSourceFlags};
    if (hostCalc_) {
        hostCalc_->SetSources(1, &entry, &scaling_);
        if (settings) {
            hostCalc_->SetText(CalculationText(*settings, hostDocument_.Get(), settings_->ParameterCode).c_str());
        }
    }

    if (!site_ || !hostCalc_) {
        return E_FAIL;
    }
    const HRESULT answer = site_->HandOver(hostCalc_, channel_, further_, kSourceFlags);
    if (answer == S_OK && child && (child->flags & kPendingAutoScale) != 0) {
        child->flags &= ~kPendingAutoScale;
        WORD state = 0;
        if (autoScale_ && SUCCEEDED(autoScale_->GetState(0, &state)) && state == 0) {
            autoScale_->Request(0.0);
        }
    }
    return answer;
}

HRESULT Calc::GetSettings(IPersistObject** out)
{
    if (!out) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        auto* copy = new SettingsCOM(settings_.Get(), channel_);
        copy->AddRef();
        *out = copy;
        return S_OK;
    });
}

HRESULT Calc::GetFlags(DWORD* flags)
{
    if (!flags) {
        return E_POINTER;
    }
    *flags = 0x10000000u;
    return S_OK;
}

HRESULT Calc::GetExtra(IUnknown** out)
{
    if (out) {
        *out = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT Calc::GetTitle(DWORD, BSTR* title)
{
    if (!title) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        Doc::SettingsSet* settings = DocumentSettings(hostDocument_.Get());
        if (!settings) {
            *title = SysAllocString(u"Crestmetrics");
            return S_OK;
        }
        const std::int32_t code = settings_ ? settings_->ParameterCode : SettingsCOM::kDefaultParameterCode;
        const std::u16string text =
            Title(*settings, code,
                  std::u16string(ExtLib::GetChannelName(hostDocument_.Get(), settings->GetLong(kSourceChannel)).View()));
        *title = SysAllocString(text.c_str());
        return S_OK;
    });
}

// ---- the edit command ----

HRESULT EditSettings(IUnknown* channelHost, IPersistObject* current, IPersistObject** out, LONG channel)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    platform::ComPtr<SettingsCOM> working(new SettingsCOM(SettingsCOM::From(current), channel));
    platform::ComPtr<IUnknown> hostDocument;
    if (const auto site = Ask<IChannelCalcSite>(channelHost, IID_IChannelCalcSite)) {
        site->GetHostDocument(hostDocument.Out());
    }
    Doc::SettingsSet* settings = DocumentSettings(hostDocument.Get());
    if (!settings) {
        return E_FAIL;
    }
    if (channel == settings->GetLong(kSourceChannel)) {
        ShowError(StringId::ChannelCalcOnSource, StringId::ChannelCalcCaption);
        return S_FALSE;
    }
    if (!CAF::GetDocumentExtension(hostDocument.Get())) {
        ShowError(StringId::NeedsLoopmetry, StringId::ModuleCaption);
        return S_FALSE;
    }
    if (settings->GetInt(kAnalysisType) == -1) {
        ShowError(StringId::ChooseAnalysisType, StringId::ModuleCaption);
        return S_FALSE;
    }
    {
        Dlg dialog(nullptr, hostDocument.Get(), working.Get());
        if (dialog.Execute() != IDOK) {
            return S_FALSE;
        }
    }
    Doc::CXDoc* document = Doc::CXDoc::FromHostDocument(hostDocument.Get());
    if (document && document->Persistence().IsDirty() == S_OK) {
        document->AttachPersistence();
    }
    if (working->AutoScale) {
        // Settings may have changed in the dialog.
        settings = DocumentSettings(hostDocument.Get());
        const auto installer = Ask<IChannelCalcInstaller>(channelHost, IID_IChannelCalcInstaller);
        const platform::ComPtr<Doc::ChartDataChildData> child =
            Doc::ChartDataChildData::FindOrCreate(hostDocument.Get());
        WORD flag = 0;
        if (installer && SUCCEEDED(installer->GetSourceFlag(&flag)) && flag != 0) {
            installer->RequestAutoScale();
            if (child) {
                child->flags |= kPendingAutoScale;
            }
        } else if (child) {
            child->flags &= ~kPendingAutoScale;
        }
        if (installer && settings) {
            const CalcSourceEntry entry{settings->GetLong(kSourceChannel), Calc::kSourceKind, kSourceFlags};
            const KVO::String text = CalculationText(*settings, hostDocument.Get(), working->ParameterCode);
            installer->Install(CX::Msg::ChannelCalcMessageId1(), channel, 1, &entry, text.c_str(), 10.0, -10.0, 3,
                               kSourceFlags);
        }
    }
    if (const auto target = Ask<IFrameworkMessageTarget>(hostDocument.Get(), IID_IFrameworkMessageTarget)) {
        target->Post(kFrameworkMessageCode, kFrameworkMessageValue, 32000.0, -32000.0, channel);
    }
    working->AddRef();
    *out = working.Get();
    return S_OK;
}

} // namespace CX::ChanCalc

// ---- the class objects ----

namespace {
CalcClass<CX::ChanCalc::Calc> g_channelCalcClass;

HRESULT NameBSTR(const std::u16string& name, BSTR* out)
{
    if (!out) {
        return S_OK;
    }
    if (*out) {
        SysFreeString(*out);
        *out = nullptr;
    }
    if (!name.empty()) {
        *out = SysAllocString(name.c_str());
    }
    return S_OK;
}

HRESULT IsClass(const GUID* asked, const GUID& own)
{
    return asked && (asked == &own || *asked == own) ? S_OK : S_FALSE;
}
} // namespace

CalcClass<CX::ChanCalc::Calc>::CalcClass() : settingsClass_(new SettingsClass) {}

CalcClass<CX::ChanCalc::Calc>::~CalcClass() { settingsClass_->Release(); }

HRESULT CalcClass<CX::ChanCalc::Calc>::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_ICalculationClass || iid == IID_ICAFClassObject) {
        *out = static_cast<ICalculationClass*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT CalcClass<CX::ChanCalc::Calc>::GetId(DWORD* typeId)
{
    if (!typeId) {
        return E_POINTER;
    }
    *typeId = TypeIdClass<&CX::ChanCalc::kCalcClassId, 0>::Get();
    return S_OK;
}

HRESULT CalcClass<CX::ChanCalc::Calc>::GetCategory(const GUID** classId)
{
    if (!classId) {
        return E_POINTER;
    }
    *classId = &CX::ChanCalc::kCalcClassId;
    return S_OK;
}

HRESULT CalcClass<CX::ChanCalc::Calc>::GetName(BSTR* name) { return NameBSTR(Name(), name); }

HRESULT CalcClass<CX::ChanCalc::Calc>::IsCategory(const GUID* classId)
{
    return IsClass(classId, CX::ChanCalc::kCalcClassId);
}

HRESULT CalcClass<CX::ChanCalc::Calc>::GetNameString(IKVOString** name)
{
    if (!name) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        *name = KVO::String(Name()).GetInterface();
        return S_OK;
    });
}

HRESULT CalcClass<CX::ChanCalc::Calc>::GetDescription(IKVOString** text) { return GetNameString(text); }

HRESULT CalcClass<CX::ChanCalc::Calc>::GetFlags(DWORD* flags)
{
    if (!flags) {
        return E_POINTER;
    }
    *flags = 0;
    return S_OK;
}

HRESULT CalcClass<CX::ChanCalc::Calc>::EditSettings(IUnknown* channelHost, IPersistObject* current,
                                                    IPersistObject** out, LONG channel, DWORD)
{
    return KVO::GuardSlot([&] { return CX::ChanCalc::EditSettings(channelHost, current, out, channel); });
}

HRESULT CalcClass<CX::ChanCalc::Calc>::CreateInstance(DWORD hostValue, LONG channel, DWORD further, IUnknown* site,
                                                      IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!site) {
        return E_FAIL;
    }
    return KVO::GuardSlot([&] {
        auto* calc = new CX::ChanCalc::Calc(site, hostValue, channel, further);
        const HRESULT hr = calc->QueryInterface(IID_IHostChannelCalc, reinterpret_cast<void**>(out));
        calc->Release();
        return hr;
    });
}

CalcClass<CX::ChanCalc::Calc>::SettingsClass::SettingsClass() { InternalAddRef(); }

HRESULT CalcClass<CX::ChanCalc::Calc>::SettingsClass::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IPersistClassObject || iid == IID_ICAFClassObject) {
        *out = static_cast<IPersistClassObject*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT CalcClass<CX::ChanCalc::Calc>::SettingsClass::GetId(DWORD* typeId)
{
    if (!typeId) {
        return E_POINTER;
    }
    *typeId = TypeIdClass<&CX::ChanCalc::kSettingsClassId, 0>::Get();
    return S_OK;
}

HRESULT CalcClass<CX::ChanCalc::Calc>::SettingsClass::GetCategory(const GUID** classId)
{
    if (!classId) {
        return E_POINTER;
    }
    *classId = &CX::ChanCalc::kSettingsClassId;
    return S_OK;
}

HRESULT CalcClass<CX::ChanCalc::Calc>::SettingsClass::GetName(BSTR* name)
{
    return NameBSTR(std::u16string(CalcClass::Name()) + u"Settings", name);
}

HRESULT CalcClass<CX::ChanCalc::Calc>::SettingsClass::IsCategory(const GUID* classId)
{
    return IsClass(classId, CX::ChanCalc::kSettingsClassId);
}

HRESULT CalcClass<CX::ChanCalc::Calc>::SettingsClass::Create(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    return KVO::GuardSlot([&] {
        platform::ComPtr<CX::ChanCalc::SettingsCOM> settings(new CX::ChanCalc::SettingsCOM(nullptr, 0));
        return settings->QueryInterface(iid, out);
    });
}

HRESULT CalcClass<CX::ChanCalc::Calc>::SettingsClass::Load(IHostTextSource* source, IPersistObject** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    return KVO::GuardSlot([&] {
        auto* settings = new CX::ChanCalc::SettingsCOM(nullptr, 0);
        settings->AddRef();
        *out = settings;
        return settings->Load(source);
    });
}

namespace CX::ChanCalc {

ChangeMessage::ChangeMessage(LONG channel, IChannelCalc* calculation) : channel_(channel), calculation_(calculation)
{
}

DWORD ChangeMessage::MessageId() { return TypeIdClass<&GUID_ChannelCalcChangeFamily, 11>::Get(); }

HRESULT ChangeMessage::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IMessage) {
        *out = static_cast<IMessage*>(this);
    } else if (iid == IID_IChannelCalcChange) {
        *out = static_cast<IChannelCalcChange*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT ChangeMessage::GetId(DWORD* id)
{
    if (!id) {
        return E_POINTER;
    }
    *id = MessageId();
    return S_OK;
}

HRESULT ChangeMessage::GetFlags(DWORD* flags)
{
    if (!flags) {
        return E_POINTER;
    }
    *flags = 0;
    return S_OK;
}

HRESULT ChangeMessage::Clone(IMessage** out)
{
    if (!out) {
        return E_POINTER;
    }
    return KVO::GuardSlot([&] {
        auto* copy = new ChangeMessage(channel_, calculation_.Get());
        copy->sender_ = sender_;
        copy->AddRef();
        *out = copy;
        return S_OK;
    });
}

HRESULT ChangeMessage::SetSender(const void* sender)
{
    sender_ = sender;
    return S_OK;
}

HRESULT ChangeMessage::CheckSender(const void* sender, WORD* answer)
{
    if (!answer) {
        return E_POINTER;
    }
    *answer = sender == sender_ ? 0xFFFF : 0;
    return S_OK;
}

HRESULT ChangeMessage::GetChange(LONG* channel, IChannelCalc** calculation)
{
    if (!channel || !calculation) {
        return E_POINTER;
    }
    *channel = channel_;
    *calculation = calculation_.Get();
    if (*calculation) {
        (*calculation)->AddRef();
    }
    return S_OK;
}

} // namespace CX::ChanCalc
