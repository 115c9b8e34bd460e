#include "host/channelcalchost.h"

#include "host/datasource.h"
#include "host/docframework.h"
#include "host/host.h"
#include "host/hoststring.h"
#include "sdk/calcenum.h"
#include "sdk/chartdata.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace host {

// The non-delegating unknown that owns the aggregated object.
class HostChannelCalc::Inner final : public IUnknown, private RefCounted {
public:
    explicit Inner(IUnknown* outer) : object_(outer) { AddRefCount(); }
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        if (iid == IID_IUnknown) {
            return Answer(static_cast<IUnknown*>(this), out);
        }
        if (iid == IID_IHostChannelCalc || iid == IID_HostChannelCalcObject) {
            return Answer(static_cast<IHostChannelCalc*>(&object_), out);
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

private:
    HostChannelCalc object_;
};

IUnknown* HostChannelCalc::Create(IUnknown* outer) { return new Inner(outer); }

HRESULT HostChannelCalc::Bind(DWORD hostValue, LONG channel, DWORD further, IUnknown*, DWORD documentValue)
{
    binding_ = {hostValue, channel, further, documentValue};
    ++binds_;
    return S_OK;
}

HRESULT HostChannelCalc::SetSources(LONG count, const CalcSourceEntry* sources, const ChannelScaling* scaling)
{
    if (count < 0 || (count > 0 && !sources) || !scaling) {
        return E_INVALIDARG;
    }
    sources_.assign(sources, sources + count);
    scaling_ = *scaling;
    return S_OK;
}

HRESULT HostChannelCalc::SetText(const WCHAR* text)
{
    text_ = text ? std::u16string(text) : std::u16string();
    return S_OK;
}

HRESULT HostCalcFactory::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IHostCalcFactory, static_cast<IHostCalcFactory*>(this)}}, iid, out);
}

HRESULT HostCalcFactory::CreateAggregated(IUnknown* outer, IUnknown** inner)
{
    if (!inner) {
        return E_POINTER;
    }
    *inner = outer ? HostChannelCalc::Create(outer) : nullptr;
    return outer ? S_OK : CLASS_E_NOAGGREGATION;
}

HRESULT ChannelCalcAux::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IChannelCalcAux, static_cast<IChannelCalcAux*>(this)}}, iid, out);
}

HRESULT ChannelCalcAux::GetDocumentValue(IUnknown* document, DWORD* value)
{
    if (!value) {
        return E_POINTER;
    }
    const auto address = reinterpret_cast<std::uintptr_t>(document);
    *value = static_cast<DWORD>(address ^ (address >> 32));
    return S_OK;
}

platform::ComPtr<TextSource> TextSource::Create(std::u16string text)
{
    return platform::ComPtr<TextSource>::Adopt(new TextSource(std::move(text)));
}

HRESULT TextSource::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IHostTextSource, static_cast<IHostTextSource*>(this)}}, iid, out);
}

HRESULT TextSource::GetString(IKVOString** text)
{
    if (!text) {
        return E_POINTER;
    }
    *text = MakeString(text_).Detach();
    return S_OK;
}

platform::ComPtr<TextSink> TextSink::Create() { return platform::ComPtr<TextSink>::Adopt(new TextSink); }

HRESULT TextSink::QueryInterface(REFIID iid, void** out)
{
    return AnswerFrom({{&IID_IHostTextSink, static_cast<IHostTextSink*>(this)}}, iid, out);
}

HRESULT TextSink::PutString(const WCHAR* text)
{
    text_ = text ? std::u16string(text) : std::u16string();
    return S_OK;
}

namespace {

// The units object of an output: the host's side of it is not modelled, only its life.
class OutputUnits final : public IUnknown, private RefCounted {
public:
    OutputUnits() { AddRefCount(); }
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        return AnswerFrom({{&IID_IUnknown, static_cast<IUnknown*>(this)}}, iid, out);
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
};

} // namespace

platform::ComPtr<CalcChannel> CalcChannel::Create(Host& host, HostDocument* document, DataSource* source,
                                                  LONG channel)
{
    return platform::ComPtr<CalcChannel>::Adopt(new CalcChannel(host, document, source, channel));
}

CalcChannel::CalcChannel(Host& host, HostDocument* document, DataSource* source, LONG channel)
    : host_(host), hostDocument_(document), source_(source), channel_(channel)
{
    AddRefCount();
    if (document) {
        document->QueryInterface(IID_IUnknown, document_.OutVoid());
        document->AddCalcChannel(this);
    }
    if (source_) {
        source_->AddCalcChannel(this);
    }
}

CalcChannel::~CalcChannel()
{
    if (hostDocument_) {
        hostDocument_->WithdrawCalcChannel(this);
    }
    if (source_) {
        source_->WithdrawCalcChannel(this);
    }
}

HRESULT CalcChannel::QueryInterface(REFIID iid, void** out)
{
    if (iid == IID_IAutoScaleRequest && !offersAutoScale) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    return AnswerFrom({{&IID_IChannelCalcSite, static_cast<IChannelCalcSite*>(this)},
                       {&IID_IAutoScaleRequest, static_cast<IAutoScaleRequest*>(this)},
                       {&IID_IChannelCalcInstaller, static_cast<IChannelCalcInstaller*>(this)}},
                      iid, out);
}

HRESULT CalcChannel::GetHostDocument(IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = document_.Get();
    if (*out) {
        (*out)->AddRef();
    }
    return *out ? S_OK : E_FAIL;
}

HRESULT CalcChannel::CreateUnits(const ChannelScaling* scaling, const WCHAR* unit, IUnknown** out)
{
    if (!out || !scaling) {
        return E_POINTER;
    }
    host_.Log().Record("calcchannel", "CreateUnits", unit ? Narrow(unit) : std::string());
    *out = new OutputUnits;
    return S_OK;
}

HRESULT CalcChannel::HandOver(IUnknown* calculation, LONG channel, DWORD, DWORD)
{
    host_.Log().Record("calcchannel", "HandOver", std::to_string(channel));
    if (!calculation || channel != channel_) {
        return E_INVALIDARG;
    }
    platform::ComPtr<IHostChannelCalc> object;
    if (FAILED(calculation->QueryInterface(IID_HostChannelCalcObject, object.OutVoid())) || !object) {
        return E_NOINTERFACE;
    }
    handedOver_ = static_cast<HostChannelCalc*>(object.Get());
    return S_OK;
}

HRESULT CalcChannel::GetState(DWORD argument, WORD* state)
{
    if (!state) {
        return E_POINTER;
    }
    host_.Log().Record("calcchannel", "AutoScaleState", std::to_string(argument));
    *state = autoScaleState;
    return S_OK;
}

HRESULT CalcChannel::Request(double argument)
{
    stateRequests_.push_back(argument);
    return S_OK;
}

HRESULT CalcChannel::Install(DWORD messageId, LONG channel, LONG sourceCount, const CalcSourceEntry* sources,
                             const WCHAR* text, double top, double bottom, LONG decimalPlaces, DWORD flags)
{
    if (sourceCount < 0 || (sourceCount > 0 && !sources)) {
        return E_INVALIDARG;
    }
    installations_.push_back({messageId, channel, std::vector<CalcSourceEntry>(sources, sources + sourceCount),
                              text ? std::u16string(text) : std::u16string(), top, bottom, decimalPlaces, flags});
    return S_OK;
}

HRESULT CalcChannel::RequestAutoScale()
{
    ++autoScaleRequests_;
    return S_OK;
}

HRESULT CalcChannel::GetSourceFlag(WORD* flag)
{
    if (!flag) {
        return E_POINTER;
    }
    *flag = sourceFlag;
    return S_OK;
}

void CalcChannel::RemoveCalculation()
{
    handedOver_ = nullptr;
    calc_.Reset();
    calcHolder_.Reset();
}

HRESULT CalcChannel::CreateCalculation(ICalculationClass* calcClass)
{
    if (!calcClass) {
        return E_POINTER;
    }
    RemoveCalculation();
    platform::ComPtr<IUnknown> created;
    HRESULT hr = calcClass->CreateInstance(0x48435643u, channel_, 0, static_cast<IChannelCalcSite*>(this),
                                           created.Out());
    if (FAILED(hr) || !created) {
        return FAILED(hr) ? hr : E_FAIL;
    }
    hr = created->QueryInterface(IID_IChannelCalc, calc_.OutVoid());
    calcHolder_ = std::move(created);
    return hr;
}

HRESULT CalcChannel::ApplySettings(IPersistObject* settings)
{
    return calc_ ? calc_->SetSettings(settings, TRUE) : E_FAIL;
}

double CalcChannel::CodeValue(const ChannelScaling& scaling, int code)
{
    return (code + scaling.offset) * scaling.scale;
}

int CalcChannel::ValueCode(const ChannelScaling& scaling, double value)
{
    const double code = std::nearbyint(value / scaling.scale - scaling.offset);
    if (!(code >= -32768.0)) {
        return -32768;
    }
    return code > 32767.0 ? 32767 : static_cast<int>(code);
}

std::vector<float> CalcChannel::Evaluate(LONG block)
{
    std::vector<float> output;
    if (!handedOver_ || handedOver_->Sources().empty() || !source_) {
        return output;
    }
    const LONG sourceChannel = handedOver_->Sources().front().channel;
    Document& document = source_->GetDocument();
    if (block < 0 || block >= document.BlockCount() || sourceChannel < 0 || sourceChannel >= document.ChannelCount()) {
        return output;
    }
    output.assign(static_cast<std::size_t>(document.Length(block, sourceChannel)),
                  std::numeric_limits<float>::quiet_NaN());

    platform::ComPtr<IChannelData> channelData;
    source_->GetChartData().QueryInterface(IID_IChannelData, channelData.OutVoid());
    platform::ComPtr<ICalcEnum> calc;
    platform::ComPtr<IEnumEventEx> events;
    platform::ComPtr<IKVOString> text = MakeString(handedOver_->Text());
    if (FAILED(host_.Evaluator().CreateInstance(channelData.Get(), calc.Out())) || calc->Parse(text.Get(), nullptr) != S_OK ||
        FAILED(calc->SetSources(block, 0, nullptr, nullptr, document.TickPeriod(block), 0)) ||
        FAILED(calc->QueryInterface(IID_IEnumEventEx, events.OutVoid()))) {
        return output;
    }
    calc->SeekStart(0);
    LONG size = 0;
    events->GetEventSize(&size);
    if (size < 16) {
        calc->ReleaseSources();
        return output;
    }
    const ChannelScaling& scaling = handedOver_->Scaling();
    std::vector<std::byte> bytes(64 * static_cast<std::size_t>(size));
    std::size_t filled = 0;
    double held = std::numeric_limits<double>::quiet_NaN();
    for (;;) {
        LONG count = 0;
        LONG next = 0;
        const HRESULT hr = events->Next(static_cast<ULONG>(bytes.size()), -1, bytes.data(), &count, &next);
        if (FAILED(hr)) {
            break;
        }
        for (LONG i = 0; i < count; ++i) {
            std::int32_t tick = 0;
            double value = 0.0;
            std::memcpy(&tick, bytes.data() + static_cast<std::size_t>(i) * size, 4);
            std::memcpy(&value, bytes.data() + static_cast<std::size_t>(i) * size + 8, 8);
            const std::size_t at = std::clamp<std::size_t>(tick < 0 ? 0 : static_cast<std::size_t>(tick), 0, output.size());
            if (at > filled) {
                std::fill(output.begin() + static_cast<std::ptrdiff_t>(filled),
                          output.begin() + static_cast<std::ptrdiff_t>(at), static_cast<float>(held));
                filled = at;
            }
            held = CodeValue(scaling, ValueCode(scaling, value));
        }
        if (hr != S_OK) {
            break;
        }
    }
    std::fill(output.begin() + static_cast<std::ptrdiff_t>(filled), output.end(), static_cast<float>(held));
    calc->ReleaseSources();
    return output;
}

} // namespace host
