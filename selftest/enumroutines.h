// The conformance routines that the calculation self tests run on their configuration: bounces (a calculation
// started just before a known event delivers it first), searches between known events, and the position of an
// enumerator opened at the last tick of a record; the same events online and offline, and Next at the end of the
// data.
#pragma once

#include "selftest/enumtests.h"

namespace Crestmetrics::Enum {

// A fresh calculation for each bounce, or one calculation started again and again (reuseCalculation).
template <class TBufType>
void RunBounceTest(const EnumTestConfig& config, bool reuseCalculation);
// The same 50 bounces on every run, over records at 1000 per second and without calculated channels.
template <class TBufType>
void RunDeterministicBounceTest(const EnumTestConfig& config);
// Searches forwards and backwards between neighbouring known events, and backwards from the record's last tick.
template <class TBufType>
void RunDeterministicFindTest(const EnumTestConfig& config, int copy);
// Searches around the landmark events 10 and 11 of a record, and backwards from the record's last tick.
template <class TBufType>
void RunFindTest(const EnumTestConfig& config);
// An enumerator opened at the last tick of a 17000-tick record stands at that tick.
template <class TBufType>
void RunSetSourcesTest(const EnumTestConfig& config);

// The same events from a whole record (offline) and from the record growing 10 ticks at a time (online), one by one.
template <class TBufType>
void RunOnlineOfflineComparison(const EnumTestConfig& config);

// Next at the end of a whole record: S_FALSE only with the end-of-record position, never past the end tick.
void RunNextOfflineTest(const EnumTestConfig& config, std::uint32_t recordSize);
// Next while the record grows: S_FALSE only with the end-of-record position, never past the ticks added.
void RunNextOnlineTest(const EnumTestConfig& config, std::uint32_t recordSize);

} // namespace Crestmetrics::Enum
