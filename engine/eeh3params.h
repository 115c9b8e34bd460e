// What every calculation family of the enumerator engine builds on: the Params (limits, the block, the tick period
// and the wrapped sources, with the family's numeric values beside them) and the resumable State (where each
// source stood, the request's end tick and the resume position). Also the conversions of the parameter texts.
#pragma once

#include "document/paramhelper.h"
#include "engine/eeh3sources.h"
#include "foundation/arrays.h"

#include <boost/container/small_vector.hpp>

#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <vector>

namespace EEH3 {

// ---- Numbers of the parameter texts (always the classic "C" form) ----

// Extracts the next whitespace-separated word as a double. A number beyond the double range (or an infinity) is
// clamped to the largest double of its sign; a word that is no number (or NaN) is consumed and leaves `value` as it
// was, as does the end of the text. Reading goes on with the next word in either case.
void ReadDouble(std::wistream& in, double& value);
// Inserts a space (unless the stream is empty) and the shortest text that reads back as the same double.
void WriteDouble(std::wostream& out, double value);

// A double as an int32, halves rounded away from zero, saturated at the int32 range; NaN gives `nanValue`.
LONG RoundToTick(double value, LONG nanValue = -1);
// Milliseconds to ticks of `tickPeriod` seconds, truncated after adding one half, saturated at the int32 range:
// form A divides by (T * 1000), form B multiplies by 0.001 and divides by T (the two can differ in the last bit).
LONG MsToTicksA(double ms, double tickPeriod);
LONG MsToTicksB(double ms, double tickPeriod);
// An anchor tick plus an offset in ticks, formed in 64 bits and saturated at the int32 range.
inline LONG AddTicks(LONG anchor, LONG offset)
{
    const std::int64_t sum = std::int64_t{anchor} + offset;
    return sum > INT32_MAX ? INT32_MAX : (sum < INT32_MIN ? INT32_MIN : static_cast<LONG>(sum));
}

// ---- Numeric records of the families (CX::ParamHelper) ----

// Reads one double per value of `record`, each preset to -1.0 (a missing or unreadable value stays -1.0, which the
// record's accessor turns into its default), and stores it through the accessor.
void ReadRecord(std::wistream& in, CX::ParamHelper& record);
// Writes -1 to every value of `record` through its accessor: each takes its default (or keeps -1 without one).
void ResetToDefaults(CX::ParamHelper& record);
// Writes every value of `record` as a double.
void WriteRecord(std::wostream& out, const CX::ParamHelper& record);

// Accessor helpers for a record's fields (ParamHelper::Value): with `write` set they store `value`, else they read
// the field into `value`. A written -1 (within 1e-12) stores `fallback`; integers are stored rounded half away from
// zero.
double* AccessDouble(double& field, double& value, bool write);
double* AccessDouble(double& field, double& value, bool write, double fallback);
double* AccessInt(std::int32_t& field, double& value, bool write, std::int32_t fallback);

// ---- Params ----

class ParamsBase {
public:
    ParamsBase() = default;
    // A copy holds the same values, limits, block and context but no sources: sources belong to one SetSources.
    ParamsBase(const ParamsBase& other);
    ParamsBase& operator=(const ParamsBase&) = delete;
    virtual ~ParamsBase();

    // Slot 0: the family's numeric values, then the four limits.
    void Read(std::wistream& in);
    // Slot 1: the family's numeric values, then the four limits, each as a double.
    void Write(std::wostream& out) const;
    // Slot 2: wraps the sources handed to SetSources and derives the family's tick values.
    virtual void SetSources(LONG count, IUnknown** sources, IUnknown** units) = 0;

    // The limits as parsed: defaults 0, 0, 0x7FFFFFFF, 0x7FFFFFFF.
    LONG limitStartTick = 0;
    LONG limitStartRecord = 0;
    LONG limitEndTick = kEndTick;
    LONG limitEndRecord = kEndTick;
    LONG leadingInteger = 0;
    LONG sourceCount = 0;
    double tickPeriod = 0.0;
    LONG record = 0;
    platform::ComPtr<IUnknown> context;
    CIArray<eeh_SourceEnum> sources{0, 8, true}; // owned, in source order; growth by doubling, step 8

    // Every limit back to its default (-1, normalised).
    void ResetLimits();
    // The limits of a request in block r: records are delivered from the start tick limit up to (not including)
    // the end tick limit.
    LONG StartTickLimit(LONG r) const { return r == limitStartRecord ? limitStartTick : 0; }
    LONG EndTickLimit(LONG r) const
    {
        if (r < limitStartRecord || r > limitEndRecord) {
            return 0;
        }
        return r == limitEndRecord ? limitEndTick : kEndTick;
    }

    // Appends the wrappers for sources of the given kinds.
    void AddSampleSource(IUnknown* source);
    template <class Record>
    void AddEventSource(IUnknown* source)
    {
        Append(std::make_unique<EventWrapperEx<Record>>(source));
    }
    // The source at `index` as a sample wrapper; null when there is none or it is of another kind.
    FloatExWrapper* SampleSource(std::size_t index) const;
    template <class Record>
    EventWrapperEx<Record>* EventSource(std::size_t index) const
    {
        return index < sources.Count() ? dynamic_cast<EventWrapperEx<Record>*>(sources.At(index)) : nullptr;
    }

protected:
    virtual void ReadValues(std::wistream& in) = 0;
    virtual void WriteValues(std::wostream& out) const = 0;
    // Called after ReadValues, before the limits are read: a family puts values that belong together in order.
    virtual void NormaliseValues() {}

private:
    void ReadLimits(std::wistream& in);
    // Negative starts become 0, negative ends 0x7FFFFFFF.
    void NormaliseLimits();
    void Append(std::unique_ptr<eeh_SourceEnum> wrapper);
};

// Params whose numeric values live in one CX::ParamHelper record (`Values`), read and written in its order.
template <class Values>
class ParamsWith : public ParamsBase, public Values {
public:
    ParamsWith() = default;
    ParamsWith(const ParamsWith&) = default;

protected:
    void ReadValues(std::wistream& in) override { ReadRecord(in, *this); }
    void WriteValues(std::wostream& out) const override { WriteRecord(out, *this); }
};

// ---- State ----

struct SourcePosition {
    LONG tick;
    LONG end;
};

class StateBase {
public:
    StateBase() = default;
    StateBase(const StateBase&) = default;
    StateBase& operator=(const StateBase&) = default;
    virtual ~StateBase() = default;

    virtual LONG ResumePosition() const { return resume; }
    virtual void MarkSourcesExhausted() { sourcesExhausted = true; }

    // Updating the resume position with x: it never moves back.
    void UpdateResume(LONG x)
    {
        if (x > resume) {
            resume = x;
        }
    }

    boost::container::small_vector<SourcePosition, 2> positions; // per wrapped source; empty in a fresh State
    LONG endTick = 0;           // end tick of the current request
    bool sourcesExhausted = false;
    LONG awaitedSource = 0;     // 0 while reading samples, 1 while waiting for an event, negative: every source
    LONG resume = 0;            // the next step continues from here; kEndTick: the block is finished
};

} // namespace EEH3
