#include "frame/enumgetter.h"

#include "frame/hostservices.h"
#include "platform/win/codepage.h"
#include "sdk/analysishost.h"
#include "sdk/analysismanager.h"
#include "sdk/charttimes.h"
#include "sdk/chartview.h"
#include "sdk/calcclass.h"
#include "sdk/sampleenum.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace ExtLib {

namespace {

// The request kind of an output: virtual, raw or the channel's content.
DWORD OutputKind(const EnumOutput& output)
{
    return output.isVirtual ? SourceKind::kVirtual : output.raw ? SourceKind::kRaw : SourceKind::kContent;
}

std::int32_t RoundToInt32(double x)
{
    if (x > 2147483647.0) {
        return 0x7FFFFFFF;
    }
    if (x < -2147483648.0) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (std::isnan(x)) {
        return 0x7FFFFFFF;
    }
    const double rounded = x > 0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5);
    return static_cast<std::int32_t>(std::clamp(rounded, -2147483648.0, 2147483647.0));
}

} // namespace

std::vector<EnumOutput> ParseChannelReferences(const KVO::String& text)
{
    const std::u16string lower = platform::AsciiLower(std::u16string_view(text.c_str(), text.Length()));
    const std::size_t length = lower.size();
    std::vector<EnumOutput> outputs;
    std::size_t search = 0;
    for (;;) {
        const std::size_t p = lower.find(u'c', search);
        if (p == std::u16string::npos || length < 2 || p >= length - 2) {
            break;
        }
        EnumOutput output;
        output.raw = p > 0 && lower[p - 1] == u'r';
        output.isVirtual = p > 0 && lower[p - 1] == u'v';
        search = p + 1;
        if (lower[p + 1] != u'h') {
            continue;
        }
        std::size_t digits = p + 2;
        if (length >= 7 && p < length - 7 && lower.compare(p + 2, 5, u"annel") == 0) {
            digits = p + 7;
        }
        if (digits >= length || lower[digits] < u'0' || lower[digits] > u'9') {
            continue;
        }
        std::int64_t number = 0;
        bool tooLarge = false;
        for (std::size_t i = digits; i < length && lower[i] >= u'0' && lower[i] <= u'9'; ++i) {
            number = number * 10 + (lower[i] - u'0');
            if (number > std::numeric_limits<std::int32_t>::max()) {
                tooLarge = true;
                break;
            }
        }
        // Channel 0 and numbers past int32 name no channel (their index would be -1 or wrap around).
        if (tooLarge || number == 0) {
            continue;
        }
        output.channel = static_cast<std::int32_t>(number - 1);
        if (std::find(outputs.begin(), outputs.end(), output) == outputs.end()) {
            outputs.push_back(output);
        }
    }
    return outputs;
}

EnumGetterBase::EnumGetterBase(IDataSource* source, int mode) : source_(source), mode_(mode) { Register(); }

EnumGetterBase::EnumGetterBase(IDataSource* source, boost::function<void()> stopCallback, int mode)
    : source_(source), mode_(mode), stopCallback_(std::move(stopCallback))
{
    Register();
    callbackValid_ = !stopCallback_.empty();
}

EnumGetterBase::EnumGetterBase(IDataSourceHolder* hostObject, int mode) : mode_(mode)
{
    if (hostObject) {
        platform::ComPtr<IDataSource> first;
        if (SUCCEEDED(hostObject->GetSource(0, first.Out()))) {
            source_ = first.Get(); // the host object keeps its sources
        }
    }
    Register();
}

EnumGetterBase::~EnumGetterBase()
{
    if (subscribed_ && source_) {
        platform::ComPtr<IOnlineDataNotices> notices;
        if (SUCCEEDED(source_->QueryInterface(IID_IOnlineDataNotices, notices.OutVoid())) && notices) {
            notices->Unsubscribe(this);
        }
    }
    CloseSources();
    calculation_.Reset();
}

void EnumGetterBase::Register()
{
    if (mode_ != 0 || !source_) {
        return;
    }
    platform::ComPtr<IOnlineDataNotices> notices;
    if (FAILED(source_->QueryInterface(IID_IOnlineDataNotices, notices.OutVoid())) || !notices) {
        return;
    }
    notices->Subscribe(this);
    subscribed_ = true;
}

HRESULT EnumGetterBase::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOnlineDataSink) {
        *out = static_cast<IOnlineDataSink*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

bool EnumGetterBase::CreateCalc(DWORD typeId, bool noBinding, const KVO::String& text)
{
    outputs_ = ParseChannelReferences(text);
    ICAFFramework* framework = CAF::GetFrameworkClassObject();
    if (!framework) {
        return false;
    }
    platform::ComPtr<ICalcEnumClass2> factory;
    if (FAILED(framework->GetObject(typeId, IID_ICalcEnumClass2, factory.OutVoid())) || !factory) {
        return false;
    }
    platform::ComPtr<IUnknown> channelData;
    if (!noBinding && source_) {
        source_->QueryInterface(IID_IChannelData, channelData.OutVoid());
    }
    CloseSources();
    calculation_.Reset();
    platform::ComPtr<ICalcEnum> created;
    if (FAILED(factory->CreateInstance(channelData.Get(), created.Out())) || !created) {
        return false;
    }
    IKVOString* parameters = text.GetInterface();
    DWORD flags = 0;
    const HRESULT hr = created->Parse(parameters, &flags);
    parameters->Release();
    // A refused text leaves no half-made calculation behind that a later OpenEnums would run.
    if (hr != S_OK) {
        return false;
    }
    calculation_ = created;
    return true;
}

bool EnumGetterBase::OpenEnums(bool perOutputTimeBase, LONG start, LONG record, double tickPeriod)
{
    if (started_ || !source_ || !calculation_) {
        return false;
    }
    for (const EnumOutput& output : outputs_) {
        DWORD flags = OutputKind(output) | SourceKind::kOpen;
        if (!perOutputTimeBase) {
            flags |= SourceKind::kRecordTimeBase;
        }
        platform::ComPtr<IUnknown> opened;
        platform::ComPtr<IUnknown> channel;
        if (SUCCEEDED(source_->GetChannelObject(flags, record, output.channel, channel.Out())) && channel) {
            platform::ComPtr<IEnumFactory> factory;
            if (SUCCEEDED(channel->QueryInterface(IID_IEnumFactory, factory.OutVoid())) && factory) {
                if (FAILED(factory->OpenEnum(flags, start, kEndOfBlockTick, 0, opened.Out()))) {
                    opened.Reset();
                }
            }
        }
        if (!opened && (FAILED(source_->OpenEnum(flags, output.channel, start, record, kEndOfBlockTick, 0,
                                                 opened.Out())) ||
                        !opened)) {
            // Nothing half-open stays behind a failure.
            opened_.clear();
            return false;
        }
        // The enumerator's position, read once as the host expects.
        LONG position = 0;
        platform::ComPtr<IEnumEventEx> events;
        platform::ComPtr<IEnumFloatEx> samples;
        if (SUCCEEDED(opened->QueryInterface(IID_IEnumEventEx, events.OutVoid())) && events) {
            events->GetPosition(&position);
        } else if (SUCCEEDED(opened->QueryInterface(IID_IEnumFloatEx, samples.OutVoid())) && samples) {
            samples->GetPosition(&position);
        }
        opened_.push_back(opened);
    }
    if (!outputs_.empty()) {
        double period = tickPeriod;
        const HRESULT hr = perOutputTimeBase
                               ? source_->GetChannelTickPeriod(OutputKind(outputs_[0]), record, outputs_[0].channel,
                                                               &period)
                               : source_->GetRecordTickPeriod(0, record, &period);
        if (SUCCEEDED(hr)) {
            tickPeriod = period;
        }
    }
    std::vector<IUnknown*> units(opened_.size(), nullptr);
    for (IUnknown*& unit : units) {
        KVO::PrefixedUnit(u"V").CreateUnitName(&unit);
    }
    std::vector<IUnknown*> sources;
    for (const auto& opened : opened_) {
        sources.push_back(opened.Get());
    }
    const LONG flagWord = mode_ == 0 || mode_ == 2 ? kStopAtGapFlag : 0;
    calculation_->SetSources(record, static_cast<LONG>(sources.size()), sources.data(), units.data(), tickPeriod,
                             flagWord);
    calculation_->SeekStart(start);
    for (IUnknown* unit : units) {
        if (unit) {
            unit->Release();
        }
    }
    started_ = true;
    return true;
}

bool EnumGetterBase::OpenEnumsWithDefaults(bool perOutputTimeBase, LONG start, LONG record, double tickPeriod)
{
    if (tickPeriod == -1.0 && source_) {
        source_->GetRecordTickPeriod(0, record, &tickPeriod);
    }
    return OpenEnums(perOutputTimeBase, start, record, tickPeriod);
}

void EnumGetterBase::QueryEventEnum(IEnumEventEx** out) const
{
    if (!out) {
        return;
    }
    IEnumEventEx* events = nullptr;
    if (calculation_ && FAILED(calculation_->QueryInterface(IID_IEnumEventEx, reinterpret_cast<void**>(&events)))) {
        events = nullptr;
    }
    if (*out) {
        (*out)->Release();
    }
    *out = events;
}

void EnumGetterBase::CloseSources()
{
    if (started_ && calculation_) {
        calculation_->ReleaseSources();
    }
    opened_.clear();
    started_ = false;
}

void EnumGetterBase::Stop()
{
    if (started_) {
        CloseSources();
    }
}

HRESULT EnumGetterBase::GetInterest(DWORD* flags, WORD* wanted)
{
    if (!flags || !wanted) {
        return E_POINTER;
    }
    *flags = 0;
    *wanted = 0xFFFF;
    return S_OK;
}

HRESULT EnumGetterBase::SamplingStopped(DWORD, DWORD)
{
    try {
        if (callbackValid_) {
            stopCallback_();
        }
    } catch (...) {
        // the host's notice must not fail because of the owner's callback
    }
    Stop();
    return S_OK;
}

HRESULT EnumGetterBase::GetUpdateInterval(DWORD, DWORD* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = 0;
    return S_OK;
}

HRESULT EnumGetterBase::GetDataKinds(DWORD, DWORD, DWORD, DWORD* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = 100;
    return S_OK;
}

void MakeRange(Range& range, double startRecord, double startOffset, double endRecord, double endOffset)
{
    range = {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF};
    range.startRecord = RoundToInt32(startRecord);
    range.startOffset = RoundToInt32(startOffset);
    range.endRecord = RoundToInt32(endRecord);
    range.endOffset = RoundToInt32(endOffset);
}

void ReadRange(Range& range, std::wistream& in)
{
    double values[4] = {0.0, 0.0, 2147483647.0, 2147483647.0};
    for (double& value : values) {
        double read = 0.0;
        if (!(in >> read)) {
            break;
        }
        value = read;
    }
    MakeRange(range, values[0], values[1], values[2], values[3]);
    if (range.startRecord < 0) {
        range.startRecord = 0;
    }
    if (range.startOffset < 0) {
        range.startOffset = 0;
    }
    if (range.endRecord < 0) {
        range.endRecord = 0x7FFFFFFF;
    }
    if (range.endOffset < 0) {
        range.endOffset = 0x7FFFFFFF;
    }
}

bool GetEnumUnitName(IUnknown* enumerator, DWORD kind, KVO::PrefixedUnit& unit)
{
    if (!enumerator) {
        return false;
    }
    platform::ComPtr<IEnumUnit> units;
    if (FAILED(enumerator->QueryInterface(IID_IEnumUnit, units.OutVoid())) || !units) {
        return false;
    }
    LONG prefix = 0;
    IKVOString* base = nullptr;
    if (FAILED(units->GetUnit(kind, &prefix, &base))) {
        return false;
    }
    KVO::String text;
    text.AttachInterface(base);
    unit = KVO::PrefixedUnit(std::u16string(text.c_str(), text.Length()), KVO::UnitPrefixIndex{prefix});
    return true;
}

bool GetEnumUnitNameAt(IDataSource* source, LONG record, LONG channel, KVO::PrefixedUnit& unit)
{
    if (!source) {
        return false;
    }
    platform::ComPtr<IUnknown> enumerator;
    if (FAILED(source->GetSampleEnum(SourceKind::kSampleUnits, record, channel, enumerator.Out())) || !enumerator) {
        if (FAILED(source->GetSampleEnum(SourceKind::kSampleUnits, 0x7FFFFFFE, channel, enumerator.Out()))) {
            enumerator.Reset();
        }
    }
    return GetEnumUnitName(enumerator.Get(), SourceKind::kSampleUnits, unit);
}

bool GetEnumUnitNameEx(IDataSource* source, LONG record, LONG channel, KVO::PrefixedUnit& unit, bool samples)
{
    if (!source) {
        return false;
    }
    const DWORD kind = samples ? SourceKind::kSampleUnits : SourceKind::kEventUnits;
    platform::ComPtr<IUnknown> enumerator;
    if (FAILED(source->GetValueEnum(kind, record, channel, enumerator.Out())) || !enumerator) {
        if (FAILED(source->GetValueEnum(kind, -2, channel, enumerator.Out()))) {
            enumerator.Reset();
        }
    }
    return GetEnumUnitName(enumerator.Get(), kind, unit);
}

bool UnitNamesDiffer(LONG channel, IDataSource* source)
{
    LONG records = 0;
    platform::ComPtr<IChartExtent> extent;
    if (!source || FAILED(source->QueryInterface(IID_IChartExtent, extent.OutVoid())) || !extent ||
        FAILED(extent->GetBlockCount(0, &records))) {
        return false;
    }
    KVO::PrefixedUnit first;
    GetEnumUnitNameAt(source, 0, channel, first);
    for (LONG record = 1; record < records; ++record) {
        KVO::PrefixedUnit unit;
        GetEnumUnitNameAt(source, record, channel, unit);
        if (unit.Text() != first.Text()) {
            return true;
        }
    }
    return false;
}

bool GetChannelValueRange(IDataSource* source, LONG channel, LONG record, double& lower, double& upper)
{
    if (!source) {
        return false;
    }
    ChannelGain gain;
    if (FAILED(source->GetChannelScaling(SourceKind::kScaling, record, channel, &gain))) {
        gain = ChannelGain{};
        if (FAILED(source->GetChannelScaling(SourceKind::kScaling, -2, channel, &gain))) {
            return false;
        }
    }
    // Without raw limits the preset limits would come back as a range of the whole double range (or overflow
    // through the scale): no range is given then.
    double rawLower = -DBL_MAX;
    double rawUpper = DBL_MAX;
    if (source->GetRawRange(0, channel, SourceKind::kRawRange, &rawLower, &rawUpper) != S_OK) {
        return false;
    }
    lower = (gain.offset + rawLower) * gain.scale;
    upper = (gain.offset + rawUpper) * gain.scale;
    return true;
}

namespace {
bool GivenPosition(const KVOPosition& position)
{
    return position.mRecord != 0x7FFFFFFF && position.mRecordOffset != 0x7FFFFFFF;
}

double SelectionStep(LONGLONG distance)
{
    const double perPixel = static_cast<double>(distance) / 400.0;
    for (const double step : {1.0, 2.0, 5.0, 10.0, 20.0, 50.0, 100.0, 200.0, 500.0, 1000.0}) {
        if (perPixel <= step) {
            return step;
        }
    }
    return 2000.0;
}
} // namespace

double GetChartSelection(IUnknown* hostDocument, DWORD chartObjectId, LONG, ChartSelection& selection)
{
    if (!hostDocument) {
        return 1.0;
    }
    platform::ComPtr<IChartSelection> chartSelection;
    if (SUCCEEDED(hostDocument->QueryInterface(IID_IChartSelection, chartSelection.OutVoid())) && chartSelection &&
        SUCCEEDED(chartSelection->GetSelectionRange(0, &selection.start, &selection.end)) &&
        GivenPosition(selection.start) && GivenPosition(selection.end)) {
        platform::ComPtr<IChartTimes> times;
        LONGLONG from = 0;
        LONGLONG to = 0;
        if (SUCCEEDED(hostDocument->QueryInterface(IID_IChartTimes, times.OutVoid())) && times &&
            SUCCEEDED(times->GetAbsoluteTime(&selection.start, &from)) &&
            SUCCEEDED(times->GetAbsoluteTime(&selection.end, &to)) && from != to) {
            return SelectionStep(to > from ? to - from : from - to);
        }
    }
    platform::ComPtr<IHostObjectsById> container;
    platform::ComPtr<IUnknown> chart;
    platform::ComPtr<IChartView> view;
    double scale = 0.0;
    if (SUCCEEDED(hostDocument->QueryInterface(IID_IHostObjectsById, container.OutVoid())) && container &&
        SUCCEEDED(container->GetObjectById(chartObjectId, 0, chart.Out())) && chart &&
        SUCCEEDED(chart->QueryInterface(IID_IChartView, view.OutVoid())) && view &&
        SUCCEEDED(view->GetTimeScale(&scale)) && scale >= -0.5) {
        return scale;
    }
    return 1.0;
}

bool SourceUnitsDiffer(IDataSource* source, LONG record)
{
    LONG channels = 0;
    if (!source || FAILED(source->GetChannelCount(&channels)) || channels < 2) {
        return false;
    }
    KVO::PrefixedUnit first;
    GetEnumUnitNameAt(source, record, 0, first);
    for (LONG channel = 1; channel < channels; ++channel) {
        KVO::PrefixedUnit unit;
        GetEnumUnitNameAt(source, record, channel, unit);
        if (unit.Text() != first.Text()) {
            return true;
        }
    }
    return false;
}

bool GetSourceProperty(IDataSource* source)
{
    WORD value = 0;
    return source && SUCCEEDED(source->GetProperty(0, &value)) && value != 0;
}

std::int64_t CountSamplesInRange(IDataSource* source, LONG startOffset, LONG startRecord, LONG endOffset,
                                 LONG endRecord)
{
    if (!source) {
        return 0;
    }
    std::int64_t total = 0;
    for (LONG record = std::max<LONG>(startRecord, 0); record <= endRecord && record >= 0; ++record) {
        LONG count = 0;
        if (FAILED(source->GetSampleCount(0x80000000, record, &count))) {
            break; // past the last record
        }
        std::int64_t from = 0;
        std::int64_t to = count;
        if (record == startRecord) {
            from = std::clamp<std::int64_t>(startOffset, 0, count);
        }
        if (record == endRecord) {
            to = std::clamp<std::int64_t>(endOffset, 0, count);
        }
        total += std::max<std::int64_t>(to - from, 0);
        if (record == 0x7FFFFFFF) {
            break;
        }
    }
    return total;
}

} // namespace ExtLib
