#include "selftest/eventcompare.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <type_traits>

namespace Crestmetrics::Enum {

double RecordTickPeriod(const ExtLib::EventEnumDataGetter& getter, LONG record)
{
    double period = -1.0;
    if (IDataSource* source = getter.Source()) {
        source->GetRecordTickPeriod(0, record, &period);
    }
    return period;
}

bool SetSources(ExtLib::EventEnumDataGetter& getter, LONG record, LONG start)
{
    return getter.OpenEnumsWithDefaults(false, start, record, RecordTickPeriod(getter, record));
}

template <class TBufType>
bool GetRecordData(ExtLib::EventEnumDataGetter& getter, LONG record, std::vector<TBufType>& out)
{
    constexpr LONG kChunk = 100;
    std::vector<TBufType> buffer(kChunk);
    out.clear();
    if (!SetSources(getter, record, 0)) {
        return false;
    }
    platform::ComPtr<IEnumEventEx> events;
    getter.QueryEventEnum(events.Out());
    if (!events) {
        return false;
    }
    if (out.capacity() < static_cast<std::size_t>(kChunk)) {
        out.reserve(kChunk);
    }
    std::size_t total = 0;
    // Batches that leave the position where it was make no progress: an enumerator that keeps delivering them
    // would read for ever.
    constexpr int kStalls = 4;
    LONG position = -1;
    for (int stalls = 0;;) {
        // Preset, so that an enumerator that fails without writing the count cannot repeat the last batch.
        LONG count = 0;
        LONG next = 0;
        const HRESULT hr = events->Next(kChunk * sizeof(TBufType), kEndOfRecord, buffer.data(), &count, &next);
        if (FAILED(hr)) {
            return false;
        }
        if (count <= 0) {
            break;
        }
        stalls = next == position ? stalls + 1 : 0;
        if (stalls >= kStalls) {
            return false;
        }
        position = next;
        const auto n = static_cast<std::size_t>(std::min(count, kChunk));
        total += static_cast<std::size_t>(count);
        out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
    }
    if (out.size() != total) {
        return false;
    }
    if (getter.Started()) {
        getter.Stop();
    }
    return true;
}

void ReadEvents::operator()() const
{
    *result = enumerator->Next(bufferBytes, kEndOfRecord, buffer, count, nextPosition);
}

#define CRESTMETRICS_EVENT_RECORDS(X)                                                                             \
    X(CX::Enum::EventPkStm)                                                                                       \
    X(CX::Enum::EventBCalcBase)                                                                                   \
    X(CX::Enum::EventBCalcMax)                                                                                    \
    X(CX::Enum::EventBCalcBase2)                                                                                  \
    X(CX::Enum::EventFCalc)

#define INSTANTIATE_READ(T) template bool GetRecordData<T>(ExtLib::EventEnumDataGetter&, LONG, std::vector<T>&);
CRESTMETRICS_EVENT_RECORDS(INSTANTIATE_READ)
#undef INSTANTIATE_READ

} // namespace Crestmetrics::Enum

namespace EventHelper {

namespace {

template <class Value>
bool SameValues(Value a, Value b, bool positionsAgree)
{
    const bool validityAgrees = std::isfinite(a) == std::isfinite(b);
    const bool both = positionsAgree && validityAgrees;
    if (!std::isfinite(a)) {
        return both;
    }
    if (static_cast<double>(std::fabs(a)) < 1e-12 && static_cast<double>(std::fabs(b)) < 1e-12) {
        return both;
    }
    if (!(static_cast<double>(std::fabs((a - b) / std::fabs(a))) < 1e-5)) {
        return false;
    }
    return both;
}

template <class TBufType>
constexpr bool kSinglePrecision = std::is_same_v<TBufType, CX::Enum::EventPkStm>;

} // namespace

template <class TBufType>
bool same(TBufType a, TBufType b)
{
    const double pa = static_cast<double>(a.tick) + static_cast<double>(a.offset);
    const double pb = static_cast<double>(b.tick) + static_cast<double>(b.offset);
    const bool positionsAgree = std::fabs(pa - pb) < 0.001;
    if constexpr (kSinglePrecision<TBufType>) {
        return SameValues(static_cast<float>(a.value), static_cast<float>(b.value), positionsAgree);
    } else {
        return SameValues(a.value, b.value, positionsAgree);
    }
}

template <class TBufType>
KVO::String text(TBufType event)
{
    std::wostringstream out;
    out << L"[" << static_cast<double>(event.tick) + static_cast<double>(event.offset) << L", ";
    if constexpr (kSinglePrecision<TBufType>) {
        out << static_cast<float>(event.value);
    } else {
        out << event.value;
    }
    out << L"]";
    return KVO::String(out.str());
}

#define INSTANTIATE_COMPARE(T)                                                                                    \
    template bool same<T>(T, T);                                                                                  \
    template KVO::String text<T>(T);
CRESTMETRICS_EVENT_RECORDS(INSTANTIATE_COMPARE)
#undef INSTANTIATE_COMPARE

} // namespace EventHelper
