// The enumerator engine: one generic enumerator that runs a calculation family (its Params, State and Algorithm)
// over one block of a channel in slices of 100000 ticks, keeps a State at every slice boundary so that a request
// in the middle of a long block resumes from the boundary before it, applies the four limit parameters and hands
// the family's records to the host through IEnumEventEx.
//
// The work is done once, by the non-template EnumeratorEngine; EEH3Enumerator<Family, N> only binds a family's
// types to it. A family provides:
//   Family::Params     on ParamsBase: ReadValues / WriteValues / SetSources
//   Family::State      on StateBase, copyable (a checkpoint is a copy)
//   Family::Algorithm  static bool Step(State&, const Params&, Record&)
//   Family::Record     the output record (trivially copyable, int32 tick first)
//   Family::DrawType() the draw-type id of its records
#pragma once

#include "engine/calcenumbase.h"
#include "engine/eeh3cache.h"

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include <cstring>
#include <new>
#include <string_view>
#include <type_traits>

namespace EEH3 {

// The text operation of the engine's enumerators: the one-character text "?" as a new host string.
class EnumeratorBase {
public:
    virtual IKVOString* GetText();

protected:
    ~EnumeratorBase() = default;
};

class EnumeratorEngine : public CalcEnums::CalcEnumEventBase, public EnumeratorBase {
public:
    // ICalcEnum
    HRESULT Parse(IKVOString* text, DWORD* flags) override;
    HRESULT Write(IKVOString** text) override;
    HRESULT Clone(ICalcEnum** out) override;
    HRESULT SetSources(LONG block, LONG count, IUnknown** sources, IUnknown** units, double tickPeriod,
                       LONG flag) override;
    HRESULT SeekStart(LONG tick) override;
    HRESULT ReleaseSources() override;
    HRESULT Notify1(DWORD a, DWORD b) override;
    HRESULT Notify2(DWORD a, DWORD b) override;
    HRESULT GetTickPeriod(double* period, IKVOString** text) override;
    HRESULT GetCapabilities(DWORD* out) override;
    HRESULT GetSourceTimeBase(SourceTimeBase* out) override;
    // IEnumEventEx
    HRESULT Next(ULONG bufferBytes, LONG endTick, void* buffer, LONG* count, LONG* nextPosition) override;
    HRESULT Find(LONG direction, LONG from, LONG low, LONG high) override;
    HRESULT GetPosition(LONG* tick) override;
    HRESULT GetEventSize(LONG* bytes) override;
    HRESULT GetDrawType(DWORD* id) override;
    using CalcEnumEventBase::Clone;

    // For tests and the host: the checkpoints stored for a block, and whether the run is resumable where it is.
    std::size_t CheckpointCount(LONG block) const { return cache_.CheckpointCount(block); }
    LONG Position() const { return position_; }

protected:
    // `outer` is the controlling unknown of an aggregate (null for a plain enumerator); the count starts at 1.
    EnumeratorEngine(ICalcEnumClass2* classObject, IUnknown* context, IUnknown* outer)
        : CalcEnumEventBase(classObject, context, outer)
    {
    }
    ~EnumeratorEngine() override = default;

    // What a family binds.
    virtual ParamsBase& ParamsRef() = 0;
    const ParamsBase& ParamsRef() const { return const_cast<EnumeratorEngine*>(this)->ParamsRef(); }
    virtual std::unique_ptr<StateBase> NewState() const = 0;
    virtual std::unique_ptr<StateBase> CopyState(const StateBase& state) const = 0;
    // Default-constructs an output record in `record` (RecordSize() bytes, 8-aligned).
    virtual void InitRecord(void* record) const = 0;
    virtual bool Step(StateBase& state, void* record) = 0;
    virtual LONG RecordSize() const = 0;
    virtual DWORD DrawType() const = 0;
    virtual boost::shared_ptr<void> CopyRecord(const void* record) const = 0;
    // A new plain enumerator of the same family with a copy of the Params; null when allocation fails.
    virtual EnumeratorEngine* NewCopy(ICalcEnumClass2* classObject) const = 0;

private:
    // The core: one request from tick `from` to tick `to` in the current block. Returns true with the record in
    // `out` when one came; `next` receives the position reached. `delivered` (optional) is set when any record in
    // the limits was copied to `out`, and `startedAt` receives the boundary the run started from.
    bool Core(LONG from, LONG to, void* out, LONG& next, bool* delivered = nullptr, LONG* startedAt = nullptr);
    // One Algorithm step within bound B.
    bool RunStep(LONG bound, LONG endLimit, void* record, LONG& next);
    void StepOnce(StateBase& state, LONG bound, LONG endLimit, void* record, bool& got, LONG& next);
    bool AwaitedSourceAtEnd(const StateBase& state) const;
    // The last record before `before` (at least `low`), searched back slice by slice.
    bool FindBackward(LONG low, LONG before, void* out, LONG& next);
    LONG RecordTick(const void* record) const
    {
        LONG tick;
        std::memcpy(&tick, record, sizeof tick);
        return tick;
    }
    void* Scratch() { return scratch_.data(); }
    void* Output() { return output_.data(); }
    void EnsureBuffers();

    LONG position_ = -1;
    double tickPeriod_ = 0.0;
    bool parsed_ = false;
    bool moreData_ = true;
    bool stopAtGap_ = false;
    ChannelCache cache_;
    boost::shared_ptr<void> pending_;  // the record that Find found, delivered first by the next Next
    std::vector<std::uint64_t> scratch_; // the step's output record
    std::vector<std::uint64_t> output_;  // the record the core hands back
};

// Binds a family to the engine. N is the buffer count of the engine's event reads (8).
template <class Family, int N = 8>
class EEH3Enumerator final : public EnumeratorEngine {
public:
    using Params = typename Family::Params;
    using State = typename Family::State;
    using Record = typename Family::Record;
    static_assert(std::is_trivially_copyable_v<Record> && std::is_base_of_v<ParamsBase, Params> &&
                  std::is_base_of_v<StateBase, State>);

    EEH3Enumerator(ICalcEnumClass2* classObject, IUnknown* context, IUnknown* outer)
        : EnumeratorEngine(classObject, context, outer)
    {
        params_.context = platform::ComPtr<IUnknown>(context);
    }
    // A copy of `params` without their sources.
    EEH3Enumerator(ICalcEnumClass2* classObject, IUnknown* context, const Params& params)
        : EnumeratorEngine(classObject, context, nullptr), params_(params)
    {
    }

    const Params& FamilyParams() const { return params_; }

protected:
    ParamsBase& ParamsRef() override { return params_; }
    std::unique_ptr<StateBase> NewState() const override { return std::make_unique<State>(); }
    std::unique_ptr<StateBase> CopyState(const StateBase& state) const override
    {
        return std::make_unique<State>(static_cast<const State&>(state));
    }
    void InitRecord(void* record) const override { new (record) Record(); }
    bool Step(StateBase& state, void* record) override
    {
        return Family::Algorithm::Step(static_cast<State&>(state), params_, *static_cast<Record*>(record));
    }
    LONG RecordSize() const override { return static_cast<LONG>(sizeof(Record)); }
    DWORD DrawType() const override { return Family::DrawType(); }
    boost::shared_ptr<void> CopyRecord(const void* record) const override
    {
        return boost::make_shared<Record>(*static_cast<const Record*>(record));
    }
    EnumeratorEngine* NewCopy(ICalcEnumClass2* classObject) const override
    {
        return new (std::nothrow) EEH3Enumerator(classObject, Context(), params_);
    }

private:
    Params params_;
};

// ---- Creation by the calculation class objects ----

// Creates an enumerator of one family: plain (outer null: the enumerator queried for iid) or aggregated (the
// non-delegating unknown, iid must be IID_IUnknown).
using Creator = HRESULT (*)(ICalcEnumClass2* classObject, IUnknown* context, IUnknown* outer, REFIID iid,
                            void** out);

template <class Family>
HRESULT Create(ICalcEnumClass2* classObject, IUnknown* context, IUnknown* outer, REFIID iid, void** out)
{
    return CalcEnums::CreateEnumerator<EEH3Enumerator<Family>>(classObject, context, outer, iid, out);
}

// The creator of the family registered under a calculation's registered name; null when none is.
Creator FindCreator(std::u16string_view name);

// A static object of this type registers a family under its calculation's name.
class FamilyRegistration {
public:
    FamilyRegistration(std::u16string_view name, Creator creator);
};

} // namespace EEH3
