#include "document/cycledetector.h"

#include "document/expressionbuilder.h"
#include "document/paramcatalogue.h"
#include "document/persistsettings.h"
#include "document/settingids.h"
#include "frame/typeid.h"
#include "sdk/chartdata.h"
#include "sdk/charttimes.h"
#include "sdk/datasource.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace CX::Doc {

namespace {

StoredEvent MakeEmptyRecord()
{
    StoredEvent empty;
    empty.record.ResetResults();
    return empty;
}

} // namespace

CycleDetector::CycleDetector(IUnknown* hostDocument, PersistSettings& persist)
    : hostDocument_(hostDocument), persist_(persist), empty_(MakeEmptyRecord())
{
    if (hostDocument_) {
        hostDocument_->AddRef();
    }
    Clear();
}

CycleDetector::~CycleDetector()
{
    source_ = {};
    driver_.reset();
    if (hostDocument_) {
        hostDocument_->Release();
    }
}

void CycleDetector::Clear()
{
    durations_.clear();
    heights_.clear();
    spare_.clear();
    times_.clear();
    events_.clear();
    eventsPerBlock_.clear();
    plateauMaximum_ = -DBL_MAX;
    plateauMinimum_ = DBL_MAX;
    leadMinimum_ = 0;
    endSpanMaximum_ = 0;
    rangesValid_ = false;
    sampleInterval_ = 0;
    currentBlock_ = kNoBlock;
    eventsInBlock_ = 0;
    analysisType_ = persist_.Settings().GetInt(SettingId::kAnalysisType);
    ordinal_ = 0;
    if (ChartDataChildData* child = persist_.ChildData()) {
        child->ClearPositions();
    }
}

const StoredEvent& CycleDetector::EventAt(std::int32_t row) const
{
    if (row < 0 || row >= EventCount()) {
        return empty_;
    }
    return events_[static_cast<std::size_t>(row)];
}

bool CycleDetector::StartBlock(std::int32_t block, LONG firstOffset, bool flag)
{
    blockReady_ = false;
    currentBlock_ = block;
    eventsInBlock_ = 0;
    source_ = {};

    KVO::String text;
    {
        const ExpressionBuilder builder(persist_.Settings(), hostDocument_, text, ExpressionBuilder::kSelector);
        if (builder.NotBuilt()) {
            return false;
        }
    }
    platform::ComPtr<IDataSourceHolder> holder;
    if (!hostDocument_ || FAILED(hostDocument_->QueryInterface(IID_IDataSourceHolder, holder.OutVoid())) || !holder) {
        return false;
    }
    driver_.reset();
    driver_ = std::make_unique<ExtLib::EventEnumDataGetter>(holder.Get(), flag ? 2 : 1);
    if (!driver_->CreateCalc(TypeIdClass<&CX::CXChanCalcGUID, 0>::Get(), false, text)) {
        return false;
    }
    double interval = -1.0;
    if (IDataSource* source = driver_->Source()) {
        source->GetRecordTickPeriod(0, block, &interval);
    }
    if (!driver_->OpenEnums(false, 0, block, interval)) {
        return false;
    }
    platform::ComPtr<IEnumEventEx> events;
    driver_->QueryEventEnum(events.Out());
    if (!events) {
        return false;
    }
    return BeginBlock(block, events.Get(), interval, firstOffset);
}

bool CycleDetector::BeginBlock(std::int32_t block, IEnumEventEx* events, double sampleInterval, LONG firstOffset)
{
    blockReady_ = false;
    currentBlock_ = block;
    eventsInBlock_ = 0;
    sampleInterval_ = sampleInterval;
    source_ = platform::ComPtr<IEnumEventEx>(events);
    LONG size = 0;
    if (!events || FAILED(events->GetEventSize(&size)) || size < kRecordBytes) {
        // A smaller record would be read past its end when copied as a final record.
        source_ = {};
        return false;
    }
    buffer_.assign(static_cast<std::size_t>(size), std::byte{0});
    if (firstOffset > 0) {
        events->Find(0, firstOffset, 0, firstOffset + 1);
    }
    analysisType_ = persist_.Settings().GetInt(SettingId::kAnalysisType);
    blockReady_ = true;
    return true;
}

void CycleDetector::EndBlock()
{
    source_ = {};
    driver_.reset();
    blockReady_ = false;
}

std::int32_t CycleDetector::EndBound(const CX::Enum::EventFCalc& event)
{
    if (event.riseStart >= 0 && event.riseStart < event.fallEnd) {
        return event.fallEnd;
    }
    std::int32_t lo = std::min(event.stimulusTick, event.baselineStart);
    if (lo < 0) {
        lo = std::max(event.stimulusTick, event.baselineStart);
    }
    return std::max(event.fallEnd, lo + 2 * (event.tick - lo));
}

LONGLONG CycleDetector::AbsoluteTime(std::int32_t tick, std::int32_t block) const
{
    platform::ComPtr<IChartTimes> times;
    if (!hostDocument_ || FAILED(hostDocument_->QueryInterface(IID_IChartTimes, times.OutVoid())) || !times) {
        return 0;
    }
    KVOPosition position;
    position.mRecordOffset = tick;
    position.mRecord = block;
    LONGLONG time = 0;
    times->GetAbsoluteTime(&position, &time);
    return time;
}

bool CycleDetector::Store(const CX::Enum::EventFCalc& event, KVO::PositionValueArray::Map& positions)
{
    const std::int32_t t = event.tick;
    const std::int32_t t0 = event.stimulusTick;
    const std::int32_t t1 = event.baselineStart;
    const std::int32_t t2 = event.baselineEnd;
    const std::int32_t e = EndBound(event);

    std::int32_t start = std::min(t0, t1);
    if (start < 0) {
        start = t0 >= 0 ? t0 : t1;
    }
    times_.push_back(AbsoluteTime(t, currentBlock_));
    heights_.push_back(static_cast<float>(event.value - event.baseline));
    durations_.push_back(static_cast<float>((e - start) * sampleInterval_));

    auto enter = [&](std::int32_t offset) { positions[KVOPosition{offset, currentBlock_}] = ordinal_; };
    if (t0 >= 0) {
        enter(t0);
    }
    if (event.reserved104 >= 0) {
        enter(event.reserved104);
    }
    if (event.reserved108 >= 0) {
        enter(event.reserved108);
    }
    enter(t);
    ++ordinal_;

    const std::int32_t anchor = t0 >= 0 ? t0 : t;
    std::int32_t m = std::min(t0, t2);
    if (m < 0) {
        m = t0 >= 0 ? t0 : t2;
    }
    const double lead = (m - anchor) * sampleInterval_;
    const double endSpan = (e - anchor) * sampleInterval_;
    leadMinimum_ = std::min(leadMinimum_, lead);
    endSpanMaximum_ = std::max(endSpanMaximum_, endSpan);
    plateauMinimum_ = std::min(plateauMinimum_, static_cast<double>(event.lowest));
    plateauMaximum_ = std::max(plateauMaximum_, static_cast<double>(event.highest));
    rangesValid_ = true;

    StoredEvent stored;
    stored.record = event;
    stored.block = currentBlock_;
    stored.index = eventsInBlock_;
    events_.push_back(stored);
    if (eventsPerBlock_.size() <= static_cast<std::size_t>(currentBlock_)) {
        eventsPerBlock_.resize(static_cast<std::size_t>(currentBlock_) + 1, 0);
    }
    ++eventsPerBlock_[static_cast<std::size_t>(currentBlock_)];
    ++eventsInBlock_;
    return true;
}

bool CycleDetector::EnumerateTo(LONG lastOffset)
{
    if (!source_ || currentBlock_ < 0 || currentBlock_ == kNoBlock) {
        return false;
    }
    ChartDataChildData* child = persist_.ChildData();
    if (!child) {
        return false;
    }
    try {
        KVO::PositionValueArray::Map& positions = child->Positions().MapForBlock(currentBlock_);
        HRESULT result = S_OK;
        while (blockReady_) {
            LONG count = 0;
            LONG next = 0;
            result = source_->Next(static_cast<ULONG>(buffer_.size()), lastOffset, buffer_.data(), &count, &next);
            if (FAILED(result) || count <= 0) {
                break;
            }
            // Exactly one final record, whatever the source's record size.
            CX::Enum::EventFCalc event;
            std::memcpy(static_cast<void*>(&event), buffer_.data(), sizeof event);
            Store(event, positions);
            if (next == lastOffset) {
                break;
            }
        }
        return !FAILED(result);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

KVO::String CycleDetector::ColumnTitle(std::int32_t column, const KVO::PrefixedUnit& sourceUnit) const
{
    if (column < 0 || column >= static_cast<std::int32_t>(columns_.size())) {
        return KVO::String();
    }
    const std::int32_t code = columns_[static_cast<std::size_t>(column)];
    std::u16string title;
    if (const ParamCatalogue* catalogue = persist_.Settings().Catalogue()) {
        for (std::int32_t line = 0; line < catalogue->RowCount(analysisType_); ++line) {
            if (catalogue->RowAt(analysisType_, line).Code == code) {
                title = catalogue->RowAt(analysisType_, line).ShortName;
                break;
            }
        }
    }
    const std::u16string unit = ParamCatalogue::UnitText(code, sourceUnit).Text();
    if (!unit.empty()) {
        title += u" (" + unit + u")";
    }
    return KVO::String(title);
}

KVO::String CycleDetector::CellText(std::int32_t row, std::int32_t column, const KVO::PrefixedUnit& sourceUnit,
                                    double* number) const
{
    if (column < 0 || column >= static_cast<std::int32_t>(columns_.size())) {
        return KVO::String();
    }
    return FormatEventValue(row, columns_[static_cast<std::size_t>(column)], sourceUnit, number);
}

KVO::String CycleDetector::FormatEventValue(std::int32_t row, std::int32_t code, const KVO::PrefixedUnit& sourceUnit,
                                            double* number) const
{
    constexpr std::int32_t kTimeOfDay = 58;
    if (code == kTimeOfDay) {
        const LONGLONG time =
            row >= 0 && row < static_cast<std::int32_t>(times_.size()) ? times_[static_cast<std::size_t>(row)] : 0;
        platform::ComPtr<IChartTimes> times;
        if (!hostDocument_ || FAILED(hostDocument_->QueryInterface(IID_IChartTimes, times.OutVoid())) || !times) {
            return KVO::String();
        }
        BSTR date = nullptr;
        BSTR clock = nullptr;
        times->FormatTime(time, kTimeTextDate, 0, &date);
        times->FormatTime(time, kTimeTextTime, 0, &clock);
        std::u16string text = date ? std::u16string(date) : std::u16string();
        text += u" ";
        text += clock ? std::u16string(clock) : std::u16string();
        SysFreeString(date);
        SysFreeString(clock);
        return KVO::String(text);
    }
    if (number) {
        const KVO::PrefixedUnit unit = ParamCatalogue::UnitText(code, sourceUnit);
        const double multiplier = unit.Prefix() ? KVO::SIPrefixMultiplier(unit.Prefix()) : 1.0;
        *number = EventAt(row).record.GetValueById(static_cast<std::uint32_t>(code)) / multiplier;
    }
    return KVO::String();
}

std::int32_t CycleDetector::CollectSelectedParameters()
{
    const SettingsSet& settings = persist_.Settings();
    analysisType_ = settings.GetInt(SettingId::kAnalysisType);
    columns_.clear();
    const ParamCatalogue* catalogue = settings.Catalogue();
    if (!catalogue) {
        return 0;
    }
    // The columns' on/off settings are in the source channel's group (as GetBool finds them), looked up once.
    const std::int32_t group = settings.IndexOfChannel(settings.GetLong(SettingId::kSourceChannel));
    const Settings1* channel = group < 0 ? nullptr : settings.ChannelAt(static_cast<std::uint32_t>(group));
    for (std::int32_t line = 0; line < catalogue->RowCount(analysisType_); ++line) {
        const std::int32_t code = catalogue->RowAt(analysisType_, line).Code;
        bool on = false;
        if (code >= 0 && SettingId::IsGlobal(code)) {
            on = settings.GetBool(code);
        } else if (code >= 0 && channel) {
            const auto* setting = dynamic_cast<const CXSetting_Bool*>(channel->Find(code));
            on = setting && setting->Value();
        }
        if (on) {
            columns_.push_back(code);
        }
    }
    return static_cast<std::int32_t>(columns_.size());
}

} // namespace CX::Doc
