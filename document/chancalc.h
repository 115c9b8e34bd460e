// The module's channel calculation: a host channel whose samples are one measured parameter of the events that the
// document's analysis finds. The host evaluates it: the calculation hands an aggregated host calculation the
// selector text over the document's calculation-stage channel, and gives the host the output's title, units and
// scaling. Its settings travel as a short text.
#pragma once

#include "foundation/comobject.h"
#include "foundation/prefixedunit.h"
#include "frame/classlist.h"
#include "sdk/cafevents.h"
#include "sdk/channelcalc.h"

#include <cstdint>
#include <string>
#include <string_view>

template <>
struct InterfaceIdOf<IPersistObject> {
    static constexpr const IID& value = IID_IPersistObject;
};

namespace CX::Doc {
class SettingsSet;
}

namespace CX::ChanCalc {

// {8B6E0F24-71C3-4A5D-9E82-3D04C6B9A157}: the class identifier of the calculation class.
inline constexpr GUID kCalcClassId{0x8B6E0F24, 0x71C3, 0x4A5D, {0x9E, 0x82, 0x3D, 0x04, 0xC6, 0xB9, 0xA1, 0x57}};
// {E40D7B93-2C58-4F16-A7E0-91B3D85C6F2A}: the class identifier of the settings class.
inline constexpr GUID kSettingsClassId{0xE40D7B93, 0x2C58, 0x4F16, {0xA7, 0xE0, 0x91, 0xB3, 0xD8, 0x5C, 0x6F, 0x2A}};
// {53A9C2E1-D806-4B7F-8C34-F6E2019A7D58}: the settings objects' type.
inline constexpr GUID kSettingsTypeGuid{0x53A9C2E1, 0xD806, 0x4B7F, {0x8C, 0x34, 0xF6, 0xE2, 0x01, 0x9A, 0x7D, 0x58}};

class SettingsCOM final : public SimpleUnknownImp1<IPersistObject, 0> {
public:
    static constexpr std::int32_t kDefaultParameterCode = 2;
    static constexpr std::int32_t kMaxDecimalPlaces = 6;
    static constexpr unsigned kEndCheck = 777;

    // A copy of `other`'s values (the defaults without one) on `channel`; count 0.
    explicit SettingsCOM(const SettingsCOM* other = nullptr, LONG channel = 0);

    // The module's own settings object behind an interface; null for a null or foreign object.
    static SettingsCOM* From(IUnknown* object);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    HRESULT Load(IHostTextSource* source) override;
    HRESULT Save(IHostTextSink* sink) override;
    HRESULT GetTypeId(DWORD* typeId) override;
    void DeleteThis() override { delete this; }

    // The text of the settings and its reading: S_OK when it ends in the check 777, else E_FAIL with what was read
    // before the failure kept.
    std::u16string ToText() const;
    HRESULT FromText(std::u16string_view text);

    std::int32_t ParameterCode = kDefaultParameterCode;
    float ScaleTop = 1.0f;
    float ScaleBottom = -1.0f;
    std::int32_t DecimalPlaces = 4;
    bool AutoScale = true;
    LONG Channel = 0;
};

// The output scaling of a channel and the gain and offset that turn codes into values.
struct OutputScaling {
    ChannelScaling record{};
    double gain = 1.0;
    double offset = 0.0;
};
// The scaling rule: codes -32000..32000 span bottom..top after both are clamped to +-1e24; a range that is still 0
// is widened by a small part of the values' magnitude.
OutputScaling ScaleOutput(std::int32_t decimalPlaces, bool invert, float top, float bottom);
// Top and bottom closer than 1e-5 are moved apart by 1e-5 each.
void WidenEmptyRange(float& top, float& bottom);

// The channel's title: "Crestmetrics, " and the parameter's short name, with " of " and the source channel's name
// when the host names it.
std::u16string Title(const Doc::SettingsSet& settings, std::int32_t parameterCode, const std::u16string& channelName);

// The settings of the analysis of a host document (its analysis document's, else the module's child data's); null
// when the host document has neither.
Doc::SettingsSet* DocumentSettings(IUnknown* hostDocument);

class Calc final : public IChannelCalc {
public:
    static constexpr DWORD kSourceKind = 0x80001004u;
    static constexpr DWORD kSourceFlags = 0x40000000u;

    // Count 1.
    Calc(IUnknown* site, DWORD hostValue, LONG channel, DWORD further);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return count_.Add(); }
    ULONG Release() override;
    HRESULT PrepareOutput(DWORD first, DWORD second, DWORD third, IUnknown** units, LONGLONG* timeBase, DWORD sixth,
                          DWORD* flag) override;
    HRESULT SetSettings(IPersistObject* settings, BOOL flag) override;
    HRESULT GetSettings(IPersistObject** out) override;
    HRESULT GetFlags(DWORD* flags) override;
    HRESULT GetExtra(IUnknown** out) override;
    HRESULT GetTitle(DWORD argument, BSTR* title) override;
    HRESULT Touch() override { return S_OK; }
    void DeleteThis() override { delete this; }

    const ChannelScaling& Scaling() const { return scaling_; }
    const KVO::PrefixedUnit& OutputUnit() const { return outputUnit_; }
    const SettingsCOM* Settings() const { return settings_.Get(); }

private:
    ~Calc();
    HRESULT ApplySettings(IPersistObject* given);
    void Rescale(std::int32_t decimalPlaces, float top, float bottom);

    platform::RefCount count_;
    // What the host gave at creation.
    platform::ComPtr<IChannelCalcSite> site_;
    DWORD hostValue_;
    LONG channel_;
    DWORD further_;
    ChannelScaling scaling_{};
    platform::ComPtr<IUnknown> units_;
    platform::ComPtr<IUnknown> hostDocument_;
    platform::ComPtr<IChannelCalcDocument> documentOutput_;
    // The aggregated host calculation: its owning unknown, and its calculation interface (no reference: it counts
    // on this object).
    IUnknown* inner_ = nullptr;
    IHostChannelCalc* hostCalc_ = nullptr;
    KVO::PrefixedUnit outputUnit_;
    platform::ComPtr<SettingsCOM> settings_;
    platform::ComPtr<IAutoScaleRequest> autoScale_;
};

// The edit command: the checks, the dialog, and on OK the installation; S_OK with the edited settings in *out, or
// S_FALSE when the user was told why nothing changes or cancelled.
HRESULT EditSettings(IUnknown* channelHost, IPersistObject* current, IPersistObject** out, LONG channel);

// The message that changes a channel's calculation (n 11 of the channel-calculation change family); made with no
// calculation it turns the channel's calculation off. Its count starts at 0.
class ChangeMessage final : public IMessage, public IChannelCalcChange, public KVO::CComObjectRoot {
public:
    ChangeMessage(LONG channel, IChannelCalc* calculation);
    ChangeMessage(const ChangeMessage&) = delete;
    ChangeMessage& operator=(const ChangeMessage&) = delete;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }
    // IMessage (slots 3 and 4 are the interface's placeholders); the message's class is its id
    HRESULT GetTypeId(DWORD* typeId) override { return GetId(typeId); }
    HRESULT GetId(DWORD* id) override;
    HRESULT GetFlags(DWORD* flags) override;
    HRESULT Clone(IMessage** out) override;
    HRESULT GetValue(VARIANT*) override { return E_NOTIMPL; }
    HRESULT SetSender(const void* sender) override;
    HRESULT CheckSender(const void* sender, WORD* answer) override;
    // IChannelCalcChange
    HRESULT GetChange(LONG* channel, IChannelCalc** calculation) override;

    static DWORD MessageId();

private:
    LONG channel_;
    platform::ComPtr<IChannelCalc> calculation_;
    const void* sender_ = nullptr;
};

} // namespace CX::ChanCalc

template <class T>
class CalcClass;

// The class object of the channel calculation: one static instance at the head of the calculation list.
template <>
class CalcClass<CX::ChanCalc::Calc> final : public ICalculationClass, public CAFClassObject, public KVO::CComObjectRoot {
public:
    class SettingsClass;

    CalcClass();
    ~CalcClass() override;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetId(DWORD* typeId) override;
    HRESULT GetCategory(const GUID** classId) override;
    HRESULT GetName(BSTR* name) override;
    HRESULT IsCategory(const GUID* classId) override;
    HRESULT GetNameString(IKVOString** name) override;
    HRESULT GetDescription(IKVOString** text) override;
    HRESULT GetFlags(DWORD* flags) override;
    HRESULT EditSettings(IUnknown* channelHost, IPersistObject* current, IPersistObject** out, LONG channel,
                         DWORD further) override;
    HRESULT CreateInstance(DWORD hostValue, LONG channel, DWORD further, IUnknown* site, IUnknown** out) override;

    ICAFClassObject* GetClassObjectInterface() override { return static_cast<ICalculationClass*>(this); }
    static const char16_t* Name() { return u"Crestmetrics"; }

private:
    SettingsClass* settingsClass_;
};

class CalcClass<CX::ChanCalc::Calc>::SettingsClass final : public IPersistClassObject,
                                                           public CAFClassObject,
                                                           public KVO::CComObjectRoot {
public:
    // Count 1: the calculation class's reference.
    SettingsClass();

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return InternalAddRef(); }
    ULONG Release() override { return InternalRelease(); }
    HRESULT GetId(DWORD* typeId) override;
    HRESULT GetCategory(const GUID** classId) override;
    HRESULT GetName(BSTR* name) override;
    HRESULT IsCategory(const GUID* classId) override;
    HRESULT Create(REFIID iid, void** out) override;
    HRESULT Load(IHostTextSource* source, IPersistObject** out) override;

    ICAFClassObject* GetClassObjectInterface() override { return static_cast<IPersistClassObject*>(this); }
};
