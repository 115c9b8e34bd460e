// The contract of a channel calculation that an extension offers the host: a host channel whose samples the host
// evaluates from a calculation text that the extension's object hands to an aggregated host calculation, with the
// output's title, units and scaling; its settings travel as a short text.
#pragma once

#include "sdk/cafclassobject.h"
#include "sdk/hostservices.h"
#include "sdk/slots.h"

#include <cstdint>

struct IKVOString;

// {6A1D92C4-3B58-4E07-9F2A-C81E5D4B7A36}
inline constexpr IID IID_IPersistObject{0x6A1D92C4, 0x3B58, 0x4E07, {0x9F, 0x2A, 0xC8, 0x1E, 0x5D, 0x4B, 0x7A, 0x36}};
// {2E94B7D1-6C05-4A38-B1F9-0D7E3A52C816}
inline constexpr IID IID_IPersistClassObject{
    0x2E94B7D1, 0x6C05, 0x4A38, {0xB1, 0xF9, 0x0D, 0x7E, 0x3A, 0x52, 0xC8, 0x16}};
// {9C37E0A5-1F62-4D84-A7B3-5E28F91C0D47}
inline constexpr IID IID_ICalculationClass{0x9C37E0A5, 0x1F62, 0x4D84, {0xA7, 0xB3, 0x5E, 0x28, 0xF9, 0x1C, 0x0D, 0x47}};
// {C5082F3B-94DE-4716-8B0C-A3F16E27D589}
inline constexpr IID IID_IChannelCalc{0xC5082F3B, 0x94DE, 0x4716, {0x8B, 0x0C, 0xA3, 0xF1, 0x6E, 0x27, 0xD5, 0x89}};
// {47B1E6D0-2A93-4C5F-9E18-F6D03B7A2C41}
inline constexpr IID IID_IHostTextSource{0x47B1E6D0, 0x2A93, 0x4C5F, {0x9E, 0x18, 0xF6, 0xD0, 0x3B, 0x7A, 0x2C, 0x41}};
// {B3F1258E-D047-4B9A-8C26-71E5A90D3F6B}
inline constexpr IID IID_IHostTextSink{0xB3F1258E, 0xD047, 0x4B9A, {0x8C, 0x26, 0x71, 0xE5, 0xA9, 0x0D, 0x3F, 0x6B}};
// {0D6C4A97-E813-4F20-A5B7-3C9F82E1D064}
inline constexpr IID IID_IChannelCalcSite{0x0D6C4A97, 0xE813, 0x4F20, {0xA5, 0xB7, 0x3C, 0x9F, 0x82, 0xE1, 0xD0, 0x64}};
// {E7A2903C-5B16-4D7E-92F4-B80C6D1E3A59}
inline constexpr IID IID_IAutoScaleRequest{0xE7A2903C, 0x5B16, 0x4D7E, {0x92, 0xF4, 0xB8, 0x0C, 0x6D, 0x1E, 0x3A, 0x59}};
// {8F4C61B2-07DA-4E93-B5A1-2D96C3F07E18}
inline constexpr IID IID_IHostChannelCalc{0x8F4C61B2, 0x07DA, 0x4E93, {0xB5, 0xA1, 0x2D, 0x96, 0xC3, 0xF0, 0x7E, 0x18}};
// {3B925DE6-C471-4A0F-8E63-9A17B5D2F840}
inline constexpr IID IID_IHostCalcFactory{0x3B925DE6, 0xC471, 0x4A0F, {0x8E, 0x63, 0x9A, 0x17, 0xB5, 0xD2, 0xF8, 0x40}};
// {A06E1F83-4C29-4B75-9D0A-E3B87C15F26D}
inline constexpr IID IID_IChannelCalcAux{0xA06E1F83, 0x4C29, 0x4B75, {0x9D, 0x0A, 0xE3, 0xB8, 0x7C, 0x15, 0xF2, 0x6D}};
// {5E8B07C1-F93A-4D62-A4E5-1C70D29B8F3A}
inline constexpr IID IID_IChannelCalcDocument{
    0x5E8B07C1, 0xF93A, 0x4D62, {0xA4, 0xE5, 0x1C, 0x70, 0xD2, 0x9B, 0x8F, 0x3A}};
// {D2C9A4E7-6B03-4F18-8A5D-F4E13C670B92}
inline constexpr IID IID_IChannelCalcInstaller{
    0xD2C9A4E7, 0x6B03, 0x4F18, {0x8A, 0x5D, 0xF4, 0xE1, 0x3C, 0x67, 0x0B, 0x92}};
// {71F0B3D8-2E4C-4A96-B0E7-85C2D19A6F03}
inline constexpr IID IID_IFrameworkMessageTarget{
    0x71F0B3D8, 0x2E4C, 0x4A96, {0xB0, 0xE7, 0x85, 0xC2, 0xD1, 0x9A, 0x6F, 0x03}};
// {19E6C05A-B82F-4D3B-97C4-6A0E5F83D12B}
inline constexpr IID IID_IChannelNames{0x19E6C05A, 0xB82F, 0x4D3B, {0x97, 0xC4, 0x6A, 0x0E, 0x5F, 0x83, 0xD1, 0x2B}};
// {C8D35F17-A94E-4B02-8E7B-03F6A2C19E54}: the family of the host's calculation object that a channel calculation
// aggregates; its object n 17 makes them.
inline constexpr GUID GUID_HostChannelCalcFamily{
    0xC8D35F17, 0xA94E, 0x4B02, {0x8E, 0x7B, 0x03, 0xF6, 0xA2, 0xC1, 0x9E, 0x54}};

// One source of a channel calculation.
struct CalcSourceEntry {
    std::int32_t channel;
    DWORD kind;
    DWORD flags;
};
static_assert(sizeof(CalcSourceEntry) == 12);

// A text the host gives.
struct IHostTextSource : IUnknown {
    virtual HRESULT GetString(IKVOString** text) = 0; // 3: one reference for the caller

protected:
    ~IHostTextSource() = default;
};

// A text the host takes.
struct IHostTextSink : IUnknown {
    virtual HRESULT PutString(const WCHAR* text) = 0; // 3

protected:
    ~IHostTextSink() = default;
};

// A settings object that the host keeps as a text.
struct IPersistObject : IUnknown {
    virtual HRESULT Load(IHostTextSource* source) = 0; // 3
    virtual HRESULT Save(IHostTextSink* sink) = 0;     // 4
    virtual HRESULT GetTypeId(DWORD* typeId) = 0;      // 5
    virtual void DeleteThis() = 0;                     // 6: the deleting destructor

protected:
    ~IPersistObject() = default;
};

// The class object of settings objects; slots 3..6 are those of ICAFClassObject.
struct IPersistClassObject : ICAFClassObject {
    virtual HRESULT Create(REFIID iid, void** out) = 0;                               // 7: defaults, channel 0
    virtual HRESULT Load(IHostTextSource* source, IPersistObject** out) = 0;          // 8: the object and the load's result

protected:
    ~IPersistClassObject() = default;
};

// The class object that the host lists among its channel calculations; slots 3..6 are those of ICAFClassObject.
struct ICalculationClass : ICAFClassObject {
    virtual HRESULT GetNameString(IKVOString** name) = 0;  // 7
    virtual HRESULT GetDescription(IKVOString** text) = 0; // 8
    virtual HRESULT GetFlags(DWORD* flags) = 0;            // 9
    // 10: the channel's host object, the current settings or null, the out settings, the channel, a further value.
    virtual HRESULT EditSettings(IUnknown* channelHost, IPersistObject* current, IPersistObject** out, LONG channel,
                                 DWORD further) = 0;
    // 11: a new calculation on the channel.
    virtual HRESULT CreateInstance(DWORD hostValue, LONG channel, DWORD further, IUnknown* site, IUnknown** out) = 0;

protected:
    ~ICalculationClass() = default;
};

// A channel calculation instance.
struct IChannelCalc : IUnknown {
    // 3: the output's units object (made from the scaling), its time base {1, 1, 0}, and a flag word.
    virtual HRESULT PrepareOutput(DWORD first, DWORD second, DWORD third, IUnknown** units, LONGLONG* timeBase,
                                  DWORD sixth, DWORD* flag) = 0;
    virtual HRESULT SetSettings(IPersistObject* settings, BOOL flag) = 0; // 4
    SDK_UNUSED_SLOT(5)
    virtual HRESULT GetSettings(IPersistObject** out) = 0;                // 6: a new copy
    virtual HRESULT GetFlags(DWORD* flags) = 0;                           // 7
    virtual HRESULT GetExtra(IUnknown** out) = 0;                         // 8
    virtual HRESULT GetTitle(DWORD argument, BSTR* title) = 0;            // 9
    virtual HRESULT Touch() = 0;                                          // 10
    virtual void DeleteThis() = 0;                                        // 11

protected:
    ~IChannelCalc() = default;
};

// The host's site of one channel calculation.
struct IChannelCalcSite : IUnknown {
    virtual HRESULT GetHostDocument(IUnknown** out) = 0; // 3
    // 4: a units object for the scaling and the output's unit text.
    virtual HRESULT CreateUnits(const ChannelScaling* scaling, const WCHAR* unit, IUnknown** out) = 0;
    // 5: the calculation takes effect on the channel.
    virtual HRESULT HandOver(IUnknown* calculation, LONG channel, DWORD further, DWORD flags) = 0;

protected:
    ~IChannelCalcSite() = default;
};

// The site's automatic scaling of the output channel.
struct IAutoScaleRequest : IUnknown {
    virtual HRESULT GetState(DWORD argument, WORD* state) = 0; // 3
    virtual HRESULT Request(double argument) = 0;              // 4

protected:
    ~IAutoScaleRequest() = default;
};

// The calculation of the host that a channel calculation aggregates: the host evaluates its text.
struct IHostChannelCalc : IUnknown {
    virtual HRESULT Bind(DWORD hostValue, LONG channel, DWORD further, IUnknown* site, DWORD documentValue) = 0; // 3
    virtual HRESULT SetSources(LONG count, const CalcSourceEntry* sources, const ChannelScaling* scaling) = 0;  // 4
    virtual HRESULT SetText(const WCHAR* text) = 0;                                                             // 5

protected:
    ~IHostChannelCalc() = default;
};

// Makes the host calculations that channel calculations aggregate (framework object n 17 of the family above).
struct IHostCalcFactory : IUnknown {
    // 3: the inner (non-delegating) unknown of a new object aggregated by `outer`.
    virtual HRESULT CreateAggregated(IUnknown* outer, IUnknown** inner) = 0;

protected:
    ~IHostCalcFactory() = default;
};

// The auxiliary object of the channel-calculation type: a value for a document that binding passes on.
struct IChannelCalcAux : IUnknown {
    virtual HRESULT GetDocumentValue(IUnknown* document, DWORD* value) = 0; // 3

protected:
    ~IChannelCalcAux() = default;
};

// The host document's interface that learns of a prepared output.
struct IChannelCalcDocument : IUnknown {
    virtual HRESULT OutputPrepared(DWORD zero, DWORD first, DWORD sixth) = 0; // 3

protected:
    ~IChannelCalcDocument() = default;
};

// The channel's host object: installs a calculation on the channel.
struct IChannelCalcInstaller : IUnknown {
    // 3: through the channel-calculation message `messageId`.
    virtual HRESULT Install(DWORD messageId, LONG channel, LONG sourceCount, const CalcSourceEntry* sources,
                            const WCHAR* text, double top, double bottom, LONG decimalPlaces, DWORD flags) = 0;
    virtual HRESULT RequestAutoScale() = 0; // 4
    // 5: the host's source flag (non-zero while it samples into the channel's document).
    virtual HRESULT GetSourceFlag(WORD* flag) = 0;

protected:
    ~IChannelCalcInstaller() = default;
};

// The host document's framework message target.
struct IFrameworkMessageTarget : IUnknown {
    virtual HRESULT Post(DWORD code, DWORD value, double top, double bottom, LONG channel) = 0; // 3

protected:
    ~IFrameworkMessageTarget() = default;
};

// The names of a document's channels.
struct IChannelNames : IUnknown {
    virtual HRESULT GetChannelName(LONG channel, DWORD flags, BSTR* name) = 0; // 3

protected:
    ~IChannelNames() = default;
};

// {6D0E83B2-71C4-4F5A-9B28-E4A17C3D05F9}: the family whose message n 0 reaches the settings of a channel's
// calculation.
inline constexpr GUID GUID_ChannelCalcSettingsFamily{
    0x6D0E83B2, 0x71C4, 0x4F5A, {0x9B, 0x28, 0xE4, 0xA1, 0x7C, 0x3D, 0x05, 0xF9}};
// {A4F27C19-3E85-4B60-8D1A-57C0B9E2F314}: the family whose message n 11 changes a channel's calculation.
inline constexpr GUID GUID_ChannelCalcChangeFamily{
    0xA4F27C19, 0x3E85, 0x4B60, {0x8D, 0x1A, 0x57, 0xC0, 0xB9, 0xE2, 0xF3, 0x14}};
// {2C7B90E4-5A16-4D3F-B8E2-0F49A6D1C785}
inline constexpr IID IID_IChannelCalcQuery{0x2C7B90E4, 0x5A16, 0x4D3F, {0xB8, 0xE2, 0x0F, 0x49, 0xA6, 0xD1, 0xC7, 0x85}};
// {E15A4D7C-9B02-4368-A7F1-C3D8250B6E9A}
inline constexpr IID IID_IChannelCalcChange{0xE15A4D7C, 0x9B02, 0x4368, {0xA7, 0xF1, 0xC3, 0xD8, 0x25, 0x0B, 0x6E, 0x9A}};

// The host document's channels and the channel calculations on them.
struct IChannelCalcQuery : IUnknown {
    SDK_UNUSED_SLOT(3)
    // 4: S_OK with the calculation on the channel (one reference), S_FALSE and null when it holds none.
    virtual HRESULT GetChannelCalc(DWORD messageId, LONG channel, DWORD kind, IChannelCalc** out) = 0;

protected:
    ~IChannelCalcQuery() = default;
};

// {6B3E0F92-7C41-4D8A-9E25-1F8C6A0B3D57}
inline constexpr IID IID_IPaneMetrics{0x6B3E0F92, 0x7C41, 0x4D8A, {0x9E, 0x25, 0x1F, 0x8C, 0x6A, 0x0B, 0x3D, 0x57}};

// The three channel counts that the host document's panes report (reserved is 0); the module lists as many
// channels as the largest of them.
struct IPaneMetrics : IUnknown {
    SDK_UNUSED_SLOT(3) SDK_UNUSED_SLOT(4) SDK_UNUSED_SLOT(5) SDK_UNUSED_SLOT(6) SDK_UNUSED_SLOT(7) SDK_UNUSED_SLOT(8)
    virtual HRESULT GetRecordedChannelCount(DWORD reserved, LONG* count) = 0; // 9
    // 10: one past the highest channel that holds a channel calculation.
    virtual HRESULT GetChannelExtent(DWORD reserved, LONG* count) = 0;
    SDK_UNUSED_SLOT(11)
    virtual HRESULT GetExtraChannelCount(DWORD reserved, LONG* count) = 0; // 12

protected:
    ~IPaneMetrics() = default;
};

// A message that changes the calculation of a channel; no calculation turns it off.
struct IChannelCalcChange : IUnknown {
    virtual HRESULT GetChange(LONG* channel, IChannelCalc** calculation) = 0; // 3: the calculation with a reference

protected:
    ~IChannelCalcChange() = default;
};
