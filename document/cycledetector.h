// The results of the document's last analysis: one stored final record per event in time order with its block and
// index in the block, the events per block, per-event series for the analysis view, the ranges of a few spans, and
// the table's column list. Events are read block by block from a calculation made for the block.
#pragma once

#include "engine/eventrecords.h"
#include "foundation/kvostring.h"
#include "foundation/positionvaluearray.h"
#include "foundation/prefixedunit.h"
#include "frame/enumgetter.h"
#include "sdk/calcenum.h"

#include <cfloat>
#include <cstdint>
#include <memory>
#include <vector>

namespace CX::Doc {

class PersistSettings;

// A final record with the event's place in the document.
struct StoredEvent {
    static constexpr std::int32_t kNoBlock = 0x7FFFFFFF;

    CX::Enum::EventFCalc record;
    std::int32_t block = kNoBlock;
    std::int32_t index = 0; // within its block
};

class CycleDetector {
public:
    static constexpr std::int32_t kNoBlock = StoredEvent::kNoBlock;
    static constexpr LONG kRecordBytes = sizeof(CX::Enum::EventFCalc);

    // `hostDocument` answers the chart data (child data, clock); the settings and child data come through `persist`.
    CycleDetector(IUnknown* hostDocument, PersistSettings& persist);
    CycleDetector(const CycleDetector&) = delete;
    CycleDetector& operator=(const CycleDetector&) = delete;
    ~CycleDetector();

    // Empties the results and the position maps of the child data.
    void Clear();
    // Builds the block's calculation and opens its events; false when the text, the enumerators or the event
    // enumerator cannot be had.
    bool StartBlock(std::int32_t block, LONG firstOffset, bool flag);
    // Reads the current block's events from `events` (as StartBlock does with the calculation's): the seam through
    // which any event source can be read. False for an event source whose records are smaller than a final record.
    bool BeginBlock(std::int32_t block, IEnumEventEx* events, double sampleInterval, LONG firstOffset = 0);
    // Stores the events up to `lastOffset`; false when there is nothing to read from, the event source failed or
    // memory ran out.
    bool EnumerateTo(LONG lastOffset);
    // The end of a block: the calculation goes, the block is no longer ready.
    void EndBlock();

    std::int32_t EventCount() const { return static_cast<std::int32_t>(events_.size()); }
    // The empty record for a row below 0 or at or past the count.
    const StoredEvent& EventAt(std::int32_t row) const;
    const std::vector<std::int32_t>& EventsPerBlock() const { return eventsPerBlock_; }

    // Rebuilds the column list from the per-parameter settings of the analysis type; the column count.
    std::int32_t CollectSelectedParameters();
    const std::vector<std::int32_t>& Columns() const { return columns_; }
    // The parameter's short name, and " (unit)" when its unit on the source channel is not empty.
    KVO::String ColumnTitle(std::int32_t column, const KVO::PrefixedUnit& sourceUnit) const;
    // The cell of a row and column: the time of day as text for code 58; for any other code no text, and in
    // *number the value in the unit that the column's title names.
    KVO::String CellText(std::int32_t row, std::int32_t column, const KVO::PrefixedUnit& sourceUnit,
                         double* number) const;
    KVO::String FormatEventValue(std::int32_t row, std::int32_t code, const KVO::PrefixedUnit& sourceUnit,
                                 double* number) const;

    const std::vector<float>& Durations() const { return durations_; }
    const std::vector<float>& Heights() const { return heights_; }
    const std::vector<float>& Spare() const { return spare_; }
    const std::vector<LONGLONG>& AbsoluteTimes() const { return times_; }

    double LeadMinimum() const { return leadMinimum_; }
    double EndSpanMaximum() const { return endSpanMaximum_; }
    double PlateauMinimum() const { return plateauMinimum_; }
    double PlateauMaximum() const { return plateauMaximum_; }
    bool RangesValid() const { return rangesValid_; }
    bool BlockReady() const { return blockReady_; }
    std::int32_t CurrentBlock() const { return currentBlock_; }
    std::int32_t EventOrdinal() const { return ordinal_; }
    std::int32_t AnalysisType() const { return analysisType_; }

    // The end tick of an event: fallEnd when riseStart is not negative and below it; otherwise the larger of
    // fallEnd and lo + 2 (tick - lo), lo the smaller non-negative of stimulusTick and baselineStart.
    static std::int32_t EndBound(const CX::Enum::EventFCalc& event);

private:
    LONGLONG AbsoluteTime(std::int32_t tick, std::int32_t block) const;
    bool Store(const CX::Enum::EventFCalc& event, KVO::PositionValueArray::Map& positions);

    IUnknown* hostDocument_;
    PersistSettings& persist_;
    std::vector<std::int32_t> columns_;
    std::int32_t currentBlock_ = kNoBlock;
    std::int32_t eventsInBlock_ = 0;
    std::vector<std::int32_t> eventsPerBlock_;
    std::unique_ptr<ExtLib::EventEnumDataGetter> driver_;
    platform::ComPtr<IEnumEventEx> source_;
    std::vector<std::byte> buffer_;
    double sampleInterval_ = 0;
    std::vector<float> durations_;
    std::vector<float> heights_;
    std::vector<float> spare_;
    std::vector<LONGLONG> times_;
    std::vector<StoredEvent> events_;
    StoredEvent empty_;
    std::int32_t analysisType_ = 0;
    double leadMinimum_ = 0;
    double endSpanMaximum_ = 0;
    double plateauMinimum_ = DBL_MAX;
    double plateauMaximum_ = -DBL_MAX;
    bool rangesValid_ = false;
    bool blockReady_ = false;
    std::int32_t ordinal_ = 0;
};

} // namespace CX::Doc
