// The host's side of an extension's channel calculation: the calculation object that the extension aggregates
// (it keeps the text, the sources and the scaling it is given), the factory and auxiliary object that the framework
// hands out, and one calculation channel of a host document, which creates the extension's calculation, installs
// it, and evaluates its text into output samples.
#pragma once

#include "host/comobject.h"
#include "sdk/channelcalc.h"

#include <string>
#include <vector>

struct IEnumEventEx;

namespace host {

class Host;
class HostDocument;
class DataSource;

// {F2A7C841-0B3E-4D96-A5C2-6E19D84B3F70}: answered by the host's aggregated calculation with its own object.
inline constexpr IID IID_HostChannelCalcObject{
    0xF2A7C841, 0x0B3E, 0x4D96, {0xA5, 0xC2, 0x6E, 0x19, 0xD8, 0x4B, 0x3F, 0x70}};

// The calculation that a channel calculation aggregates. Its IHostChannelCalc delegates its counts to the outer
// object; the inner unknown (given at creation) owns it.
class HostChannelCalc final : public IHostChannelCalc {
public:
    struct Binding {
        DWORD hostValue = 0;
        LONG channel = 0;
        DWORD further = 0;
        DWORD documentValue = 0;
    };

    // The inner unknown of a new object aggregated by `outer`, with one reference.
    static IUnknown* Create(IUnknown* outer);

    HRESULT QueryInterface(REFIID iid, void** out) override { return outer_->QueryInterface(iid, out); }
    ULONG AddRef() override { return outer_->AddRef(); }
    ULONG Release() override { return outer_->Release(); }
    HRESULT Bind(DWORD hostValue, LONG channel, DWORD further, IUnknown* site, DWORD documentValue) override;
    HRESULT SetSources(LONG count, const CalcSourceEntry* sources, const ChannelScaling* scaling) override;
    HRESULT SetText(const WCHAR* text) override;

    const Binding& Bound() const { return binding_; }
    int Binds() const { return binds_; }
    const std::vector<CalcSourceEntry>& Sources() const { return sources_; }
    const ChannelScaling& Scaling() const { return scaling_; }
    const std::u16string& Text() const { return text_; }

private:
    class Inner;
    explicit HostChannelCalc(IUnknown* outer) : outer_(outer) {}

    IUnknown* outer_;
    Binding binding_;
    int binds_ = 0;
    std::vector<CalcSourceEntry> sources_;
    ChannelScaling scaling_{};
    std::u16string text_;
};

// The framework's maker of aggregated calculations (object n 17 of the host channel-calculation family).
class HostCalcFactory final : public IHostCalcFactory, private HostOwned {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT CreateAggregated(IUnknown* outer, IUnknown** inner) override;
};

// The auxiliary object of the channel-calculation type: a document's value is its address folded to 32 bits, or
// 0 for none.
class ChannelCalcAux final : public IChannelCalcAux, private HostOwned {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetDocumentValue(IUnknown* document, DWORD* value) override;
};

// The host's text objects through which settings objects are loaded and saved.
class TextSource final : public IHostTextSource, private RefCounted {
public:
    static platform::ComPtr<TextSource> Create(std::u16string text);
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetString(IKVOString** text) override; // a host string (not of the module's own kind)

private:
    explicit TextSource(std::u16string text) : text_(std::move(text)) { AddRefCount(); }
    std::u16string text_;
};

class TextSink final : public IHostTextSink, private RefCounted {
public:
    static platform::ComPtr<TextSink> Create();
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT PutString(const WCHAR* text) override;
    const std::u16string& Text() const { return text_; }

private:
    TextSink() { AddRefCount(); }
    std::u16string text_;
};

// One calculation channel of a host document that holds an extension's channel calculation: the channel's host
// object, its site, and the user's installation requests.
class CalcChannel final : public IChannelCalcSite,
                          public IAutoScaleRequest,
                          public IChannelCalcInstaller,
                          private RefCounted {
public:
    struct Installation {
        DWORD messageId;
        LONG channel;
        std::vector<CalcSourceEntry> sources;
        std::u16string text;
        double top;
        double bottom;
        LONG decimalPlaces;
        DWORD flags;
    };

    // A new channel `channel` of the document over `source`, with one reference.
    static platform::ComPtr<CalcChannel> Create(Host& host, HostDocument* document, DataSource* source, LONG channel);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    // IChannelCalcSite
    HRESULT GetHostDocument(IUnknown** out) override;
    HRESULT CreateUnits(const ChannelScaling* scaling, const WCHAR* unit, IUnknown** out) override;
    HRESULT HandOver(IUnknown* calculation, LONG channel, DWORD further, DWORD flags) override;
    // IAutoScaleRequest
    HRESULT GetState(DWORD argument, WORD* state) override;
    HRESULT Request(double argument) override;
    // IChannelCalcInstaller
    HRESULT Install(DWORD messageId, LONG channel, LONG sourceCount, const CalcSourceEntry* sources,
                    const WCHAR* text, double top, double bottom, LONG decimalPlaces, DWORD flags) override;
    HRESULT RequestAutoScale() override;
    HRESULT GetSourceFlag(WORD* flag) override;

    // Creates the calculation of `calcClass` on this channel; S_OK when the channel holds it.
    HRESULT CreateCalculation(ICalculationClass* calcClass);
    // Takes the calculation off the channel. The calculation holds its site, so a channel lets go of its
    // calculation this way before it goes.
    void RemoveCalculation();
    // The calculation's settings, as the host hands them over after it loaded or edited them.
    HRESULT ApplySettings(IPersistObject* settings);
    // The output of one block: the source channel's length in samples, each the value of the last event at or
    // before it as the output's 16-bit codes hold it; NaN before the first event. Empty without a calculation.
    std::vector<float> Evaluate(LONG block);
    // The value an output code stands for under a scaling, and the code of a value (clamped to 16 bits).
    static double CodeValue(const ChannelScaling& scaling, int code);
    static int ValueCode(const ChannelScaling& scaling, double value);

    IChannelCalc* Calculation() const { return calc_.Get(); }
    LONG Channel() const { return channel_; }
    // The aggregated object that the calculation handed over last; null before the first hand-over.
    HostChannelCalc* HandedOver() const { return handedOver_; }
    const std::vector<Installation>& Installations() const { return installations_; }
    int AutoScaleRequests() const { return autoScaleRequests_; }
    const std::vector<double>& StateRequests() const { return stateRequests_; }
    // The state value the auto-scale interface reports, the source flag, and whether the site offers auto scaling.
    WORD autoScaleState = 0;
    WORD sourceFlag = 0;
    bool offersAutoScale = true;

private:
    CalcChannel(Host& host, HostDocument* document, DataSource* source, LONG channel);
    ~CalcChannel() override;

    Host& host_;
    platform::ComPtr<IUnknown> document_;
    HostDocument* hostDocument_; // registered with it while alive
    platform::ComPtr<DataSource> source_;
    LONG channel_;
    platform::ComPtr<IChannelCalc> calc_;
    platform::ComPtr<IUnknown> calcHolder_;
    HostChannelCalc* handedOver_ = nullptr;
    std::vector<Installation> installations_;
    int autoScaleRequests_ = 0;
    std::vector<double> stateRequests_;
};

} // namespace host
