#include "host/chartserver.h"

#include "host/hoststring.h"
#include "sdk/chartdatablock.h"
#include "sdk/charttimebase.h"

#include <algorithm>
#include <cmath>

namespace host {
namespace {

// A sample channel of the document, answering the value range of its records.
class ChannelDataBlock final : public RefCounted, public IChartDataBlock {
public:
    ChannelDataBlock(std::shared_ptr<Document> document, LONG channel)
        : document_(std::move(document)), channel_(channel)
    {
    }
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        return AnswerFrom({{&IID_IChartDataBlock, static_cast<IChartDataBlock*>(this)}}, iid, out);
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }
    HRESULT GetValueRange(DWORD, LONG index, LONG, ChartValueRange* range) override
    {
        if (!range) {
            return E_POINTER;
        }
        const LONG record = index == 0x7FFFFFFE ? document_->BlockCount() - 1 : index;
        if (record < 0 || record >= document_->BlockCount()) {
            return S_FALSE;
        }
        const std::span<const float> samples = document_->Samples(record, channel_);
        if (samples.empty()) {
            return S_FALSE;
        }
        const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
        range->minimum = *low;
        range->maximum = *high;
        range->scale = 1.0;
        range->offset = 0.0;
        return S_OK;
    }

private:
    std::shared_ptr<Document> document_;
    LONG channel_;
};

// One vertical segment per pixel column (the column's lowest to highest row), joined to the previous column by a
// segment from its last sample to this column's first.
class ColumnPoints final : public RefCounted, public IChartPointSource {
public:
    // `kept` keeps the samples alive when the document does not.
    ColumnPoints(std::span<const float> samples, double firstTick, double ticksPerPixel, LONG originX, double yScale,
                 double yOffset, std::shared_ptr<const std::vector<float>> kept = nullptr)
        : kept_(std::move(kept)), samples_(samples), firstTick_(firstTick), ticksPerPixel_(ticksPerPixel), originX_(originX),
          yScale_(yScale), yOffset_(yOffset)
    {
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        return AnswerFrom({{&IID_IChartPointSource, static_cast<IChartPointSource*>(this)}}, iid, out);
    }
    ULONG AddRef() override { return AddRefCount(); }
    ULONG Release() override { return ReleaseCount(); }

    HRESULT GetPoints(LONG x, LONG positions, POINT* points, LONG maxPoints, LONG* pointCount,
                      LONG* consumed) override
    {
        if (!points || !pointCount || !consumed) {
            return E_POINTER;
        }
        LONG written = 0;
        LONG used = 0;
        const LONG length = static_cast<LONG>(samples_.size());
        // Pairs are written one at a time, so that a call fills the buffer unless the positions or the data end.
        while (used < positions && written + 2 <= maxPoints) {
            const LONG px = x + used;
            if (pending_.active && pending_.x == px) {
                points[written++] = POINT{px, pending_.high};
                points[written++] = POINT{px, pending_.low};
                pending_.active = false;
                ++used;
                continue;
            }
            const LONG column = px - originX_;
            const double t0 = firstTick_ + column * ticksPerPixel_;
            LONG a = static_cast<LONG>(std::floor(t0));
            LONG b = std::max(a + 1, static_cast<LONG>(std::floor(t0 + ticksPerPixel_)));
            if (a >= length) {
                break; // no data beyond the record's end
            }
            a = std::max<LONG>(a, 0);
            b = std::min(b, length);
            if (b <= a) {
                ++used;
                continue;
            }
            float low = samples_[a];
            float high = samples_[a];
            for (LONG i = a + 1; i < b; ++i) {
                low = std::min(low, samples_[i]);
                high = std::max(high, samples_[i]);
            }
            if (hasLast_) {
                points[written++] = POINT{lastX_, lastY_};
                points[written++] = POINT{px, Row(samples_[a])};
            }
            pending_ = Pending{true, px, Row(high), Row(low)};
            hasLast_ = true;
            lastX_ = px;
            lastY_ = Row(samples_[b - 1]);
            next_ = b;
        }
        *pointCount = written;
        *consumed = used;
        return S_OK;
    }
    HRESULT GetContinueTick(LONGLONG* tick) override
    {
        if (!tick) {
            return E_POINTER;
        }
        *tick = next_;
        return S_OK;
    }
    HRESULT Reserved5() override { return E_NOTIMPL; }
    HRESULT GetStart(double* tick) override
    {
        if (!tick) {
            return E_POINTER;
        }
        *tick = static_cast<double>(next_);
        return S_OK;
    }
    HRESULT SetOrigin(double firstTick, LONG originX) override
    {
        firstTick_ = firstTick;
        originX_ = originX;
        pending_ = Pending{};
        hasLast_ = false;
        return S_OK;
    }

private:
    LONG Row(float value) const
    {
        const double y = (value + yOffset_) * yScale_;
        return static_cast<LONG>(std::lround(std::clamp(y, -16000.0, 16000.0)));
    }

    std::shared_ptr<const std::vector<float>> kept_;
    std::span<const float> samples_;
    double firstTick_;
    double ticksPerPixel_;
    LONG originX_;
    double yScale_;
    double yOffset_;
    struct Pending {
        bool active = false;
        LONG x = 0;
        LONG high = 0;
        LONG low = 0;
    } pending_; // a column whose vertical segment did not fit into the last call
    bool hasLast_ = false;
    LONG lastX_ = 0;
    LONG lastY_ = 0;
    LONGLONG next_ = 0;
};

} // namespace

platform::ComPtr<ChartServer> ChartServer::Create(std::shared_ptr<Document> document)
{
    return platform::ComPtr<ChartServer>(new ChartServer(std::move(document)));
}

void ChartServer::SetView(LONG record, double firstTick, double ticksPerPixel, LONG originX)
{
    viewRecord_ = record;
    firstTick_ = firstTick;
    ticksPerPixel_ = ticksPerPixel > 0 ? ticksPerPixel : 1;
    originX_ = originX;
}

int ChartServer::AddEventChannel(std::vector<std::shared_ptr<const EventArray>> records)
{
    eventChannels_.push_back(std::move(records));
    return document_->ChannelCount() + static_cast<int>(eventChannels_.size()) - 1;
}

HRESULT ChartServer::QueryInterface(REFIID iid, void** out)
{
    if (iid == IID_IChartSweep && sweep_) {
        return sweep_->QueryInterface(iid, out);
    }
    return AnswerFrom({{&IID_IChartDataSource, static_cast<IChartDataSource*>(this)},
                       {&IID_IChartDataServer, static_cast<IChartDataServer*>(this)},
                       {&IID_IChartChannelSelection, static_cast<IChartChannelSelection*>(this)}},
                      iid, out);
}

void ChartServer::SetChannelSelected(LONG channel, bool selected)
{
    if (selected) {
        selectedChannels_.insert(channel);
    } else {
        selectedChannels_.erase(channel);
    }
}

HRESULT ChartServer::IsChannelSelected(LONG channel) { return selectedChannels_.count(channel) ? S_OK : S_FALSE; }

HRESULT ChartServer::SetLayoutValue(DWORD key, LONG value)
{
    layoutValues[key] = value;
    return S_OK;
}

HRESULT ChartServer::GetBaseTick(LONG, LONGLONG* tick)
{
    if (!tick) {
        return E_POINTER;
    }
    *tick = 0;
    return S_OK;
}

HRESULT ChartServer::GetDataServer(IUnknown** server)
{
    if (!server) {
        return E_POINTER;
    }
    return Answer(static_cast<IUnknown*>(static_cast<IChartDataServer*>(this)), reinterpret_cast<void**>(server));
}

HRESULT ChartServer::LocateStart(DWORD, LONGLONG chartTick, LONG* record, LONGLONG* tick)
{
    if (!record || !tick) {
        return E_POINTER;
    }
    *record = viewRecord_;
    *tick = std::max<LONGLONG>(chartTick, 0);
    return S_OK;
}

HRESULT ChartServer::LocateEnd(DWORD mode, LONGLONG chartTick, LONG* record, LONGLONG* tick)
{
    return LocateStart(mode, chartTick, record, tick);
}

HRESULT ChartServer::TickToX(DWORD, LONG, LONGLONG tick, double* x)
{
    if (!x) {
        return E_POINTER;
    }
    *x = originX_ + (static_cast<double>(tick) - firstTick_) / ticksPerPixel_;
    return S_OK;
}

HRESULT ChartServer::GetRecordExtent(LONG record, LONGLONG* ticks)
{
    if (!ticks) {
        return E_POINTER;
    }
    if (record < 0 || record >= document_->BlockCount() || document_->ChannelCount() == 0) {
        *ticks = 0;
        return S_FALSE;
    }
    *ticks = document_->Length(record, 0);
    return S_OK;
}

HRESULT ChartServer::GetCurrentRecord(LONG, LONG* record)
{
    if (!record) {
        return E_POINTER;
    }
    *record = currentRecord_;
    return S_OK;
}

HRESULT ChartServer::RequestData(DWORD flags, LONG channel, LONG_PTR a, LONG_PTR b, LONG_PTR c, LONG_PTR, LONG_PTR,
                                 LONG_PTR, LONG_PTR, LONG_PTR)
{
    if (!(flags & kChartRequestDataRange)) {
        return S_OK;
    }
    const auto* first = reinterpret_cast<const ChartBlockPosition*>(a);
    const auto* last = reinterpret_cast<const ChartBlockPosition*>(b);
    auto* range = reinterpret_cast<double*>(c);
    if (!first || !last || !range) {
        return E_POINTER;
    }
    if (channel < 0 || channel >= document_->ChannelCount()) {
        return S_FALSE;
    }
    // Every sample from the first position up to and including the last, across the records between them.
    bool found = false;
    double low = 0;
    double high = 0;
    const LONG lastBlock = std::min<LONG>(last->block, document_->BlockCount() - 1);
    for (LONG block = std::max<LONG>(first->block, 0); block <= lastBlock; ++block) {
        const std::span<const float> samples = document_->Samples(block, channel);
        const LONGLONG from = block == first->block ? std::max<LONGLONG>(first->tick, 0) : 0;
        const LONGLONG to = block == last->block ? std::min<LONGLONG>(last->tick + 1, static_cast<LONGLONG>(samples.size()))
                                                 : static_cast<LONGLONG>(samples.size());
        for (LONGLONG at = from; at < to; ++at) {
            const double value = samples[static_cast<std::size_t>(at)];
            if (std::isnan(value)) {
                continue;
            }
            low = found ? std::min(low, value) : value;
            high = found ? std::max(high, value) : value;
            found = true;
        }
    }
    if (!found) {
        return S_FALSE;
    }
    range[0] = low;
    range[1] = high;
    return S_OK;
}

HRESULT ChartServer::GetChannelFlag(DWORD, LONG record, LONG channel, WORD* flag)
{
    if (!flag) {
        return E_POINTER;
    }
    const bool present = record >= 0 && record < document_->BlockCount() && channel >= 0 &&
                         (channel < document_->ChannelCount() + static_cast<LONG>(eventChannels_.size()) ||
                          (calculatedSamples_ && calculatedSamples_(channel, record)));
    *flag = present ? 0xFFFF : 0;
    return S_OK;
}

HRESULT ChartServer::GetUnitText(DWORD, LONG, LONG channel, IKVOString** text)
{
    if (!text) {
        return E_POINTER;
    }
    *text = nullptr;
    if (channel < 0 || channel >= document_->ChannelCount()) {
        return S_FALSE;
    }
    *text = MakeString(document_->ChannelUnit(channel)).Detach();
    return S_OK;
}

HRESULT ChartServer::GetData(DWORD, LONG, LONG channel, IUnknown** data)
{
    if (!data) {
        return E_POINTER;
    }
    *data = nullptr;
    if (channel < 0 || channel >= document_->ChannelCount()) {
        return S_FALSE;
    }
    auto* block = new ChannelDataBlock(document_, channel);
    block->AddRef();
    *data = static_cast<IChartDataBlock*>(block);
    return S_OK;
}

HRESULT ChartServer::GetEventEnumerator(DWORD, LONG channel, DWORD, LONG firstRecord, LONG, LONG, LONG,
                                        IUnknown** enumerator)
{
    if (!enumerator) {
        return E_POINTER;
    }
    *enumerator = nullptr;
    ++eventRequests_;
    const LONG index = channel - document_->ChannelCount();
    if (calculatedEvents_ && (index < 0 || index >= static_cast<LONG>(eventChannels_.size()))) {
        return calculatedEvents_(channel, firstRecord, enumerator);
    }
    if (index < 0 || index >= static_cast<LONG>(eventChannels_.size()) || firstRecord < 0 ||
        firstRecord >= static_cast<LONG>(eventChannels_[index].size()) || !eventChannels_[index][firstRecord]) {
        return S_FALSE;
    }
    *enumerator = OpenEvents(eventChannels_[index][firstRecord]).Detach();
    return S_OK;
}

HRESULT ChartServer::NewPointSource(DWORD, LONG channel, LONGLONG, LONGLONG, LONG record, LONG, LONG, double yScale,
                                    double yOffset, DWORD, IChartPointSource** source)
{
    if (!source) {
        return E_POINTER;
    }
    *source = nullptr;
    ++pointSourceRequests_;
    if (record < 0 || record >= document_->BlockCount() || channel < 0) {
        return S_FALSE;
    }
    if (channel >= document_->ChannelCount()) {
        auto samples = calculatedSamples_ ? calculatedSamples_(channel, record) : nullptr;
        if (!samples) {
            return S_FALSE;
        }
        // The ticks before a calculation has its first value are drawn at that value.
        auto drawn = std::make_shared<std::vector<float>>(*samples);
        const auto first = std::find_if(drawn->begin(), drawn->end(), [](float v) { return std::isfinite(v); });
        std::fill(drawn->begin(), first, first == drawn->end() ? 0.0f : *first);
        auto* points = new ColumnPoints(*drawn, firstTick_, ticksPerPixel_, originX_, yScale, yOffset, drawn);
        points->AddRef();
        *source = points;
        ++calculatedPointSources_;
        return S_OK;
    }
    auto* points = new ColumnPoints(document_->Samples(record, channel), firstTick_, ticksPerPixel_, originX_, yScale,
                                    yOffset);
    points->AddRef();
    *source = points;
    return S_OK;
}

} // namespace host
