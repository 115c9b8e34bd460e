// What the calculation self tests share: reading every event of one record through a getter, deciding whether two
// events are the same event, the text of an event for failure messages, and the read of one batch of events.
#pragma once

#include "engine/eventrecords.h"
#include "foundation/kvostring.h"
#include "frame/enumgetter.h"
#include "sdk/calcenum.h"

#include <vector>

namespace Crestmetrics::Enum {

// The source files that the routines' failure texts name.
inline constexpr const char* kStandardRoutinesFile = "TestStandardRoutines";
inline constexpr const char* kEnumTestsFile = "test_CXEnums";
inline constexpr LONG kEndOfRecord = 0x7fffffff;

// The tick period of a record as the getter's source tells it; -1.0 when it has none.
double RecordTickPeriod(const ExtLib::EventEnumDataGetter& getter, LONG record);
// Gives the getter's calculation its sources over `record` from `start`; false when that fails.
bool SetSources(ExtLib::EventEnumDataGetter& getter, LONG record, LONG start);

// Every event of `record`, in the order the getter's calculation delivers them; false when its sources cannot be
// set, it has no event enumerator, a read fails, or the counts do not add up.
template <class TBufType>
bool GetRecordData(ExtLib::EventEnumDataGetter& getter, LONG record, std::vector<TBufType>& out);

// One batch of events from an enumerator: its HRESULT, count and next position are written through the pointers.
struct ReadEvents {
    void* buffer;
    LONG* count;
    LONG* nextPosition;
    HRESULT* result;
    ULONG bufferBytes;
    IEnumEventEx* enumerator;
    void operator()() const;
};

} // namespace Crestmetrics::Enum

namespace EventHelper {

// The same event: positions within 0.001 ticks, values both finite or both not, and finite values within a
// relative 1e-5 of the first (or both below 1e-12). Peak records compare their values in single precision.
template <class TBufType>
bool same(TBufType a, TBufType b);

// "[position, value]" with six significant digits.
template <class TBufType>
KVO::String text(TBufType event);

} // namespace EventHelper
