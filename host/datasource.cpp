#include "host/datasource.h"
#include "host/hostbitset.h"

#include "host/channelcalchost.h"
#include "host/host.h"
#include "host/hoststring.h"
#include "host/units.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace host {

namespace {

DWORD KindOf(DWORD flags) { return flags & 0xFFF; }

// The host's answer to a unit query: the unit of one channel's values.
class ChannelUnit final : public IEnumUnit, private RefCounted {
public:
    explicit ChannelUnit(std::u16string unit) : unit_(std::move(unit)) {}
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IEnumUnit) {
            return Answer(static_cast<IEnumUnit*>(this), out);
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetUnit(DWORD, LONG* prefixIndex, IKVOString** base) override
    {
        if (!prefixIndex || !base) {
            return E_POINTER;
        }
        UnitParts parts = SplitUnit(unit_);
        *prefixIndex = parts.prefixIndex;
        *base = MakeString(std::move(parts.base)).Detach();
        return S_OK;
    }

private:
    std::u16string unit_;
};

} // namespace

// A channel of one record as an object: its enumerator factory.
class ChannelObject final : public IEnumFactory, private RefCounted {
public:
    ChannelObject(DataSource* source, LONG record, LONG channel) : source_(source), record_(record), channel_(channel)
    {
    }
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IEnumFactory) {
            return Answer(static_cast<IEnumFactory*>(this), out);
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT OpenEnum(DWORD flags, LONG start, LONG end, DWORD reserved, IUnknown** out) override
    {
        return source_->OpenEnum(flags, channel_, start, record_, end, reserved, out);
    }
    HRESULT GetTimeBase(ChannelTimeBase* out) override
    {
        if (!out) {
            return E_POINTER;
        }
        const auto found = source_->timeBases_.find(channel_);
        *out = found != source_->timeBases_.end() ? found->second : ChannelTimeBase{1, 1, 0.0};
        return S_OK;
    }

private:
    platform::ComPtr<DataSource> source_;
    LONG record_;
    LONG channel_;
};

namespace {

template <class T>
HRESULT Give(platform::ComPtr<T> object, IUnknown** out)
{
    *out = object.Detach();
    return *out ? S_OK : E_FAIL;
}

} // namespace

platform::ComPtr<DataSource> DataSource::Create(Host& host, std::shared_ptr<Document> document)
{
    return platform::ComPtr<DataSource>(new DataSource(host, std::move(document)));
}

DataSource::DataSource(Host& host, std::shared_ptr<Document> document)
    : host_(host), document_(std::move(document)), chartData_(host.NewChartData())
{
    chartData_->SetOuter(static_cast<IDataSource*>(this));
    chartData_->Calculations().SetFirstNumber(kFirstChartCalculation);
}

DataSource::~DataSource()
{
    KeepCalculations(false);
    chartData_->SetOuter(nullptr);
}

HRESULT DataSource::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDataSource) {
        return Answer(static_cast<IDataSource*>(this), out);
    }
    if (iid == IID_HostDataSource) {
        AddRefCount();
        *out = this;
        return S_OK;
    }
    if (iid == IID_IOnlineDataNotices) {
        return Answer(static_cast<IOnlineDataNotices*>(this), out);
    }
    if (iid == IID_IChannelList) {
        return Answer(static_cast<IChannelList*>(this), out);
    }
    if (iid == IID_IDataSourceHolder) {
        return Answer(static_cast<IDataSourceHolder*>(this), out);
    }
    if (iid == IID_IChartExtent) {
        return Answer(static_cast<IChartExtent*>(this), out);
    }
    if (iid == IID_IChartSelection) {
        return Answer(static_cast<IChartSelection*>(this), out);
    }
    if (iid == IID_IChannelNames) {
        return Answer(static_cast<IChannelNames*>(this), out);
    }
    if (iid == IID_IDocumentChannels) {
        return Answer(static_cast<IDocumentChannels*>(this), out);
    }
    if (iid == IID_IChannelTitles) {
        return Answer(static_cast<IChannelTitles*>(this), out);
    }
    if (iid == IID_IChannelNaming) {
        return Answer(static_cast<IChannelNaming*>(this), out);
    }
    if (iid == IID_ISamplingPosition) {
        return Answer(static_cast<ISamplingPosition*>(this), out);
    }
    if (iid == IID_IChartChanges) {
        return Answer(static_cast<IChartChanges*>(this), out);
    }
    if (iid == IID_IChannelData || iid == IID_IChartDocument) {
        return chartData_->QueryInterface(iid, out);
    }
    if (iid == IID_ISubject) {
        return Answer(static_cast<ISubject*>(this), out);
    }
    if (iid == IID_IPropertySource) {
        return document_->DisplaySettings().QueryInterface(iid, out);
    }
    for (const auto& [offered, object] : offered_) {
        if (offered == iid) {
            return object->QueryInterface(iid, out);
        }
    }
    return E_NOINTERFACE;
}

HRESULT DataSource::Notify2(DWORD value1, DWORD value2) { return host_.GetFramework().Notify2(this, value1, value2); }

HRESULT DataSource::Attach(IObserver* observer) { return host_.GetFramework().Attach(this, observer); }

HRESULT DataSource::Notify(DWORD value) { return host_.GetFramework().Notify(this, value); }

HRESULT DataSource::RegisterFor(IObserver* observer, DWORD eventId, DWORD flags)
{
    return host_.GetFramework().RegisterFor(this, observer, eventId, flags);
}

DWORD DataSource::DisplayNoticeId() const
{
    WORD family = 0;
    host_.GetFramework().GetShortId(&GUID_ChartNoticeFamily, &family);
    return (static_cast<DWORD>(family) << 16) | kChartDisplayNotice;
}

void DataSource::SetDisplaySetting(DWORD id, LONG value)
{
    document_->DisplaySettings().Set(id, value);
    host_.GetFramework().FireEvent(static_cast<ISubject*>(this), DisplayNoticeId(), 0, nullptr);
}

const DataSource::ExtraChannel* DataSource::Extra(LONG channel) const
{
    const LONG index = channel - document_->ChannelCount();
    if (index < 0 || index >= static_cast<LONG>(extra_.size())) {
        return nullptr;
    }
    return &extra_[static_cast<std::size_t>(index)];
}

const std::u16string* DataSource::ChartCalculation(LONG channel) const
{
    const auto& channels = chartData_->Calculations().Channels();
    const auto found = channels.find(channel);
    return found == channels.end() || found->second.text.empty() ? nullptr : &found->second.text;
}

LONG DataSource::BareReference(const std::u16string& text)
{
    // The evaluator reads texts without regard to case: "Ch3" names channel 3 as "ch3" does.
    const bool prefix = text.size() >= 2 && (text[0] == u'c' || text[0] == u'C') && (text[1] == u'h' || text[1] == u'H');
    if (text.size() < 3 || text.size() > 11 || !prefix ||
        !std::all_of(text.begin() + 2, text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
        return -1;
    }
    return static_cast<LONG>(std::stoll(std::string(text.begin() + 2, text.end())) - 1);
}

LONG DataSource::Resolve(LONG channel) const
{
    for (int depth = 0; depth < 16; ++depth) { // texts naming each other in a ring end here
        const std::u16string* text = ChartCalculation(channel);
        const LONG named = text ? BareReference(*text) : -1;
        if (named < 0) {
            return channel;
        }
        channel = named;
    }
    return channel;
}

std::u16string DataSource::CalculationBehind(const std::u16string& text) const
{
    const LONG named = BareReference(text);
    const std::u16string* behind = named >= 0 ? ChartCalculation(Resolve(named)) : nullptr;
    return behind ? *behind : text;
}

ChannelSort DataSource::Sort(const ChannelRef& original) const
{
    ChannelRef ref = original;
    if (!ref.isVirtual) {
        ref.channel = Resolve(ref.channel);
    }
    if (ref.isVirtual) {
        return KnownVirtual(ref.channel) ? ChannelSort::Events : ChannelSort::Missing;
    }
    if (ref.channel >= 0 && ref.channel < document_->ChannelCount()) {
        return ChannelSort::Samples;
    }
    if (FormulaOf(ref.channel)) {
        // A formula of samples is as good as the recorded channel it ends at.
        return FormulaChain(ref.channel) && !ref.raw ? ChannelSort::Samples : ChannelSort::Missing;
    }
    return (Extra(ref.channel) || ChartCalculation(ref.channel)) && !ref.raw ? ChannelSort::Events
                                                                             : ChannelSort::Missing;
}

std::optional<SampleFormula> DataSource::FormulaOf(LONG channel) const
{
    const std::u16string* text = ChartCalculation(channel);
    return text ? ParseSampleFormula(*text) : std::nullopt;
}

std::optional<std::pair<std::vector<DataSource::FormulaStep>, LONG>> DataSource::FormulaChain(LONG channel) const
{
    std::vector<FormulaStep> steps;
    for (int depth = 0; depth < 16; ++depth) {
        channel = Resolve(channel);
        if (channel >= 0 && channel < document_->ChannelCount()) {
            return std::make_pair(std::move(steps), channel);
        }
        const auto formula = FormulaOf(channel);
        if (!formula || formula->source.isVirtual) {
            return std::nullopt;
        }
        steps.push_back({channel, *formula});
        channel = formula->source.channel;
    }
    return std::nullopt;
}

std::optional<std::u16string> DataSource::UnitOf(LONG channel) const
{
    const auto chain = FormulaChain(channel);
    if (!chain) {
        return std::nullopt;
    }
    // From the recorded channel out: each formula's channel has the unit its text came with, else its source's per
    // second.
    std::u16string unit = document_->ChannelUnit(chain->second);
    const auto& channels = chartData_->Calculations().Channels();
    for (auto step = chain->first.rbegin(); step != chain->first.rend(); ++step) {
        const auto found = channels.find(step->channel);
        unit = found != channels.end() && !found->second.unit.empty() ? found->second.unit : unit + u"/s";
    }
    return unit;
}

HRESULT DataSource::OpenFormula(LONG channel, LONG record, LONG start, IUnknown** out)
{
    const auto chain = FormulaChain(channel);
    if (!chain) {
        return E_INVALIDARG;
    }
    // The slope at a tick needs the samples before it: the source is read from the record's start.
    platform::ComPtr<IEnumFloatEx> samples = document_->OpenSamples(record, chain->second, 0);
    const double period = document_->TickPeriod(record);
    platform::ComPtr<SlopeSamples> slope;
    for (auto step = chain->first.rbegin(); step != chain->first.rend(); ++step) {
        slope = platform::ComPtr<SlopeSamples>(
            new SlopeSamples(std::move(samples), TicksOf(step->formula.smoothing, period, 1), period));
        samples = platform::ComPtr<IEnumFloatEx>(slope.Get());
    }
    if (slope) {
        slope->Move(start);
    }
    return Give(std::move(samples), out);
}

std::shared_ptr<const std::vector<float>> DataSource::CalculatedSamples(LONG channel, LONG record)
{
    channel = Resolve(channel);
    if (!ValidRecord(record) || !FormulaOf(channel)) {
        return nullptr;
    }
    platform::ComPtr<IUnknown> opened;
    platform::ComPtr<IEnumFloatEx> samples;
    if (FAILED(OpenEnum(0x40000000u, channel, 0, record, kEndOfBlockTick, 0, opened.Out())) || !opened ||
        FAILED(opened->QueryInterface(IID_IEnumFloatEx, samples.OutVoid())) || !samples) {
        return nullptr;
    }
    auto all = std::make_shared<std::vector<float>>();
    std::vector<float> buffer(4096);
    for (;;) {
        LONG read = 0;
        const HRESULT hr = samples->Read(static_cast<LONG>(buffer.size()), buffer.data(), &read);
        all->insert(all->end(), buffer.begin(), buffer.begin() + std::max<LONG>(read, 0));
        if (FAILED(hr) || read == 0) {
            break;
        }
    }
    return all;
}

int DataSource::AddEventChannel(std::u16string name, std::vector<std::shared_ptr<const EventArray>> records)
{
    extra_.push_back({std::move(name), std::move(records), {}});
    return document_->ChannelCount() + static_cast<int>(extra_.size()) - 1;
}

int DataSource::AddCalculationChannel(std::u16string name, std::u16string text)
{
    extra_.push_back({std::move(name), {}, std::move(text)});
    return document_->ChannelCount() + static_cast<int>(extra_.size()) - 1;
}

void DataSource::SetVirtualChannel(int number, std::vector<std::shared_ptr<const EventArray>> records)
{
    virtual_[number] = std::move(records);
}

std::vector<int> DataSource::EventChannels() const
{
    std::vector<int> channels;
    for (std::size_t i = 0; i < extra_.size(); ++i) {
        channels.push_back(document_->ChannelCount() + static_cast<int>(i));
    }
    return channels;
}

HRESULT DataSource::GetChannelCount(LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    *count = document_->ChannelCount() + static_cast<LONG>(extra_.size());
    return S_OK;
}

HRESULT DataSource::GetSampleEnum(DWORD kind, LONG record, LONG channel, IUnknown** out)
{
    return GetValueEnum(kind, record, channel, out);
}

HRESULT DataSource::GetValueEnum(DWORD, LONG record, LONG channel, IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    // The unit does not change between records; a record number the host does not know asks about any record.
    if (!ValidRecord(record) && record >= 0 && record != 0x7FFFFFFE) {
        return E_INVALIDARG;
    }
    const auto unit = UnitOf(channel);
    if (!unit) {
        return E_INVALIDARG;
    }
    return Give(platform::ComPtr<IEnumUnit>(new ChannelUnit(*unit)), out);
}

HRESULT DataSource::GetRawRange(DWORD, LONG channel, DWORD, double* lower, double* upper)
{
    if (!lower || !upper) {
        return E_POINTER;
    }
    channel = Resolve(channel);
    if (channel < 0 || channel >= document_->ChannelCount()) {
        return E_INVALIDARG;
    }
    bool any = false;
    for (int block = 0; block < document_->BlockCount(); ++block) {
        for (const float sample : document_->Samples(block, channel)) {
            if (!std::isfinite(sample)) {
                continue;
            }
            *lower = any ? std::min(*lower, static_cast<double>(sample)) : sample;
            *upper = any ? std::max(*upper, static_cast<double>(sample)) : sample;
            any = true;
        }
    }
    return any ? S_OK : S_FALSE;
}

HRESULT DataSource::GetChannelScaling(DWORD, LONG record, LONG channel, ChannelGain* scaling)
{
    if (!scaling) {
        return E_POINTER;
    }
    if (!ValidRecord(record) && record != -2) {
        return E_INVALIDARG;
    }
    channel = Resolve(channel);
    if (channel < 0 || channel >= document_->ChannelCount()) {
        return E_INVALIDARG;
    }
    *scaling = ChannelGain{1.0, 0.0};
    return S_OK;
}

HRESULT DataSource::GetRecordTickPeriod(DWORD, LONG record, double* period)
{
    if (!period) {
        return E_POINTER;
    }
    if (!ValidRecord(record)) {
        return E_INVALIDARG;
    }
    *period = document_->TickPeriod(record);
    return S_OK;
}

HRESULT DataSource::GetChannelTickPeriod(DWORD, LONG record, LONG, double* period)
{
    return GetRecordTickPeriod(0, record, period);
}

HRESULT DataSource::OpenEvents(const std::shared_ptr<const EventArray>& events, LONG start, IUnknown** out)
{
    auto opened = host::OpenEvents(events ? events : std::make_shared<const EventArray>(16, std::span<const std::byte>{}));
    if (start > 0) {
        opened->Find(0, start, start, kEndOfBlockTick);
    }
    return Give(opened, out);
}

bool DataSource::SameText(const std::u16string& a, const std::u16string& b)
{
    // Calculation texts run to hundreds of characters: compared as bytes, not character by character.
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0;
}

std::unique_ptr<CalcNode> DataSource::TakeTree(const std::u16string& text, IUnknown* context)
{
    if (!keepCalculations_) {
        return nullptr;
    }
    for (KeptTrees& kept : trees_) {
        if (kept.context == context && !kept.trees.empty() && SameText(kept.text, text)) {
            std::unique_ptr<CalcNode> tree = std::move(kept.trees.back());
            kept.trees.pop_back();
            return tree;
        }
    }
    return nullptr;
}

void DataSource::KeepTree(const std::u16string& text, IUnknown* context, std::unique_ptr<CalcNode> tree)
{
    if (!keepCalculations_) {
        return;
    }
    auto found = std::find_if(trees_.begin(), trees_.end(),
                              [&](const KeptTrees& kept) { return kept.context == context && SameText(kept.text, text); });
    if (found == trees_.end()) {
        if (trees_.size() >= 64) {
            trees_.clear(); // texts come and go as settings change: keep those in use
        }
        found = trees_.insert(trees_.end(), KeptTrees{text, context, {}});
    }
    if (found->trees.size() < 8) {
        found->trees.push_back(std::move(tree));
    }
}

HRESULT DataSource::OpenCalculation(const std::u16string& text, LONG record, LONG start, IUnknown** out)
{
    // In a block still being sampled, a stretch without samples yet is a gap to wait at, not the end.
    const LONG flag = document_->IsSampling(record) ? kStopAtGapFlag : 0;
    if (keepCalculations_) {
        auto found = std::find_if(kept_.begin(), kept_.end(),
                                  [&](const KeptCalculations& known) { return SameText(known.text, text); });
        if (found == kept_.end()) {
            if (kept_.size() > 64) {
                kept_.clear(); // texts come and go as settings change: keep those in use
            }
            kept_.push_back(KeptCalculations{text, {}});
            found = std::prev(kept_.end());
        }
        const std::vector<platform::ComPtr<ICalcEnum>>& kept = found->calcs;
        for (std::size_t i = 0; i < kept.size(); ++i) {
            const platform::ComPtr<ICalcEnum> calc = kept[i];
            // One no one else holds: its last reader let it go.
            const ULONG references = calc->AddRef();
            calc->Release();
            if (references == 3) {
                if (FAILED(calc->SetSources(record, 0, nullptr, nullptr, document_->TickPeriod(record), flag))) {
                    break;
                }
                calc->SeekStart(start);
                return Give(calc, out);
            }
        }
    }
    platform::ComPtr<IChannelData> channelData;
    chartData_->QueryInterface(IID_IChannelData, channelData.OutVoid());
    platform::ComPtr<ICalcEnum> calc;
    HRESULT hr = host_.Evaluator().CreateInstance(channelData.Get(), calc.Out());
    if (FAILED(hr)) {
        return hr;
    }
    platform::ComPtr<IKVOString> parameters = MakeString(text);
    if ((hr = calc->Parse(parameters.Get(), nullptr)) != S_OK ||
        FAILED(hr = calc->SetSources(record, 0, nullptr, nullptr, document_->TickPeriod(record), flag))) {
        return FAILED(hr) ? hr : E_FAIL;
    }
    calc->SeekStart(start);
    if (keepCalculations_) {
        // Found again: calculations opened meanwhile may have dropped the texts kept before.
        const auto found = std::find_if(kept_.begin(), kept_.end(),
                                        [&](const KeptCalculations& known) { return SameText(known.text, text); });
        if (found != kept_.end() && found->calcs.size() < 8) {
            found->calcs.push_back(calc);
        }
    }
    return Give(calc, out);
}

HRESULT DataSource::OpenEnum(DWORD flags, LONG channel, LONG start, LONG record, LONG, DWORD, IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!ValidRecord(record)) {
        return E_INVALIDARG;
    }
    start = std::max<LONG>(start, 0);
    if (KindOf(flags) != SourceKind::kVirtual) {
        channel = Resolve(channel);
    }
    try {
        if (KindOf(flags) == SourceKind::kVirtual) {
            if (const auto text = virtualTexts_.find(channel); text != virtualTexts_.end()) {
                return OpenCalculation(text->second, record, start, out);
            }
            const auto found = virtual_.find(channel);
            if (found == virtual_.end()) {
                return E_INVALIDARG;
            }
            const auto& records = found->second;
            return OpenEvents(static_cast<std::size_t>(record) < records.size() ? records[record] : nullptr, start,
                              out);
        }
        if (channel >= 0 && channel < document_->ChannelCount()) {
            return Give(document_->OpenSamples(record, channel, start), out);
        }
        if (FormulaOf(channel)) {
            return OpenFormula(channel, record, start, out);
        }
        if (const std::u16string* text = ChartCalculation(channel)) {
            return OpenCalculation(*text, record, start, out);
        }
        const ExtraChannel* extra = Extra(channel);
        if (!extra) {
            return E_INVALIDARG;
        }
        if (!extra->text.empty()) {
            return OpenCalculation(extra->text, record, start, out);
        }
        return OpenEvents(static_cast<std::size_t>(record) < extra->events.size() ? extra->events[record] : nullptr,
                          start, out);
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT DataSource::GetCommentPosition(LONG tick, LONG record, std::int32_t* pair)
{
    if (!pair) {
        return E_POINTER;
    }
    pair[0] = tick;
    pair[1] = record;
    return S_OK;
}

HRESULT DataSource::GetChannelObject(DWORD flags, LONG record, LONG channel, IUnknown** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (KindOf(flags) != SourceKind::kVirtual) {
        channel = Resolve(channel);
    }
    const bool known = KindOf(flags) == SourceKind::kVirtual ? KnownVirtual(channel)
                                                             : Sort({channel, false, false}) != ChannelSort::Missing;
    if (!ValidRecord(record) || !known) {
        return E_INVALIDARG;
    }
    return Give(platform::ComPtr<IEnumFactory>(new ChannelObject(this, record, channel)), out);
}

HRESULT DataSource::GetProperty(DWORD, WORD* value)
{
    if (!value) {
        return E_POINTER;
    }
    *value = 0;
    return S_OK;
}

HRESULT DataSource::GetSampleCount(DWORD, LONG record, LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    if (!ValidRecord(record)) {
        return E_INVALIDARG;
    }
    LONG longest = 0;
    for (int channel = 0; channel < document_->ChannelCount(); ++channel) {
        longest = std::max(longest, document_->Length(record, channel));
    }
    *count = longest;
    return S_OK;
}

HRESULT DataSource::GetEndOfData(DWORD, KVOPosition* end)
{
    if (!end) {
        return E_POINTER;
    }
    *end = {};
    if (document_->BlockCount() == 0) {
        return S_FALSE;
    }
    const LONG last = document_->BlockCount() - 1;
    LONG length = 0;
    GetSampleCount(0, last, &length);
    *end = {length, last};
    return S_OK;
}

HRESULT DataSource::GetBlockLength(DWORD, LONG block, LONG* length)
{
    if (!length) {
        return E_POINTER;
    }
    *length = 0;
    return GetSampleCount(0, block, length);
}

HRESULT DataSource::GetBlockCount(DWORD, LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    *count = document_->BlockCount();
    return S_OK;
}

HRESULT DataSource::GetSelectionRange(DWORD, KVOPosition* start, KVOPosition* end)
{
    if (!start || !end) {
        return E_POINTER;
    }
    *start = selection_.first;
    *end = selection_.second;
    return S_OK;
}

HRESULT DataSource::ClearSelection()
{
    host_.Log().Record("selection", "Clear");
    selection_ = {KVOPosition{0x7FFFFFFF, 0x7FFFFFFF}, KVOPosition{0x7FFFFFFF, 0x7FFFFFFF}};
    selectedChannel_.reset();
    return S_OK;
}

HRESULT DataSource::SetTimeSelection(DWORD, const KVOPosition* start, const KVOPosition* end)
{
    if (!start || !end) {
        return E_POINTER;
    }
    host_.Log().Record("selection", "SetTime",
                std::to_string(start->mRecord) + ":" + std::to_string(start->mRecordOffset) + " " +
                    std::to_string(end->mRecord) + ":" + std::to_string(end->mRecordOffset));
    selection_ = {*start, *end};
    return S_OK;
}

HRESULT DataSource::SelectChannel(DWORD, LONG channel, const double* valueRange)
{
    if (!valueRange) {
        return E_POINTER;
    }
    host_.Log().Record("selection", "SelectChannel", std::to_string(channel));
    selectedChannel_ = std::make_pair(channel, std::make_pair(valueRange[0], valueRange[1]));
    return S_OK;
}

HRESULT DataSource::GetChannelToken(LONG, LONG channel, LONG, BSTR* token)
{
    if (!token) {
        return E_POINTER;
    }
    const std::string number = std::to_string(static_cast<long long>(channel) + 1);
    *token = SysAllocString((u"ch" + std::u16string(number.begin(), number.end())).c_str());
    return S_OK;
}

HRESULT DataSource::Subscribe(IOnlineDataSink* sink) { return sinks_.Subscribe(sink); }

HRESULT DataSource::Unsubscribe(IOnlineDataSink* sink) { return sinks_.Unsubscribe(sink); }

void DataSource::StopSampling()
{
    sinks_.ForEach([](IOnlineDataSink& sink) { sink.SamplingStopped(0, 0); });
}

HRESULT DataSource::GetSamplingBlock(DWORD, LONG* block)
{
    if (!block) {
        return E_POINTER;
    }
    for (LONG b = document_->BlockCount() - 1; b >= 0; --b) {
        if (document_->IsSampling(b)) {
            *block = b;
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT DataSource::GetSamplingPosition(DWORD, KVOPosition* position)
{
    if (!position) {
        return E_POINTER;
    }
    LONG block = 0;
    if (FAILED(GetSamplingBlock(0, &block))) {
        return E_FAIL;
    }
    LONG length = 0;
    GetBlockLength(0, block, &length);
    *position = {length, block};
    return S_OK;
}

HRESULT DataSource::GetChangedChannels(DWORD, LONG, LONG, VARIANT_BOOL, IKVOBitset** sampleChannels,
                                       IKVOBitset** otherChannels)
{
    if (!sampleChannels || !otherChannels) {
        return E_POINTER;
    }
    std::vector<LONG> channels;
    if (changed_) {
        channels = *changed_;
    } else {
        for (LONG channel = 0; channel < document_->ChannelCount(); ++channel) {
            channels.push_back(channel);
        }
    }
    *sampleChannels = HostBitset::Create(channels);
    *otherChannels = HostBitset::Create({});
    return S_OK;
}

HRESULT DataSource::GetEntry(DWORD, LONG, LONG, LONG index, ChannelListEntry* entry, LONG* count)
{
    std::vector<int> channels = EventChannels();
    // The calculation channels whose events are marked in the chart show their events there too.
    for (const LONG marked : GetChartData().Calculations().Marked()) {
        channels.push_back(static_cast<int>(marked));
    }
    if (count) {
        *count = static_cast<LONG>(channels.size());
    }
    if (!entry) {
        return E_POINTER;
    }
    if (index < 0 || index >= static_cast<LONG>(channels.size())) {
        return E_INVALIDARG;
    }
    entry->channel = static_cast<DWORD>(channels[static_cast<std::size_t>(index)]);
    entry->type = kEventChannelType;
    return S_OK;
}

HRESULT DataSource::GetSource(LONG index, IDataSource** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (index != 0) {
        return E_INVALIDARG;
    }
    return Answer(static_cast<IDataSource*>(this), reinterpret_cast<void**>(out));
}

HRESULT DataSource::GetChannelName(LONG channel, DWORD, BSTR* name)
{
    if (!name) {
        return E_POINTER;
    }
    if (channel >= 0 && channel < document_->ChannelCount()) {
        *name = SysAllocString(document_->ChannelName(channel).c_str());
        return S_OK;
    }
    const auto found = std::ranges::find_if(calcChannels_, [channel](const CalcChannel* c) {
        return c->Channel() == channel && c->Calculation();
    });
    BSTR title = nullptr;
    if (found != calcChannels_.end() && !naming_) {
        naming_ = true;
        if (FAILED((*found)->Calculation()->GetTitle(0, &title))) {
            title = nullptr;
        }
        naming_ = false;
    }
    *name = title ? title : SysAllocString(u"");
    return S_OK;
}

HRESULT DataSource::GetChannelCount(DWORD, LONG* count)
{
    if (!count) {
        return E_POINTER;
    }
    *count = document_->ChannelCount();
    return S_OK;
}

HRESULT DataSource::GetChannels(IUnknown** channels)
{
    if (!channels) {
        return E_POINTER;
    }
    return Answer(static_cast<IChannelTitles*>(this), reinterpret_cast<void**>(channels));
}

HRESULT DataSource::GetChannelTitle(LONG, LONG index, LONG, IKVOString** title)
{
    if (!title) {
        return E_POINTER;
    }
    const bool recorded = index >= 0 && index < document_->ChannelCount();
    *title = MakeString(recorded ? document_->ChannelName(index) : std::u16string()).Detach();
    return S_OK;
}

} // namespace host
