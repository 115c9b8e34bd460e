// The shared result cache: per host chart data and per final-stage algorithm, the final records of each record
// (block) of the channel in chunks of 16384 ticks, so that a consumer can read or search results without running
// the chain again. It lives as child data of the host's chart data, so every enumerator and selector working on the
// same host data finds the same cache, and it follows the host's notices (records invalidated, inserted, removed,
// channel data changed).
//
// No stage of the system writes into it: the final stages compute their records through the enumerator engine.
// Filling is left to a filler that adds one entry per run configuration (AddEntry) and stores each final record
// into the chunk of its tick (RecordResults::Store); the tests are that filler today.
#pragma once

#include "engine/eeh3params.h"
#include "engine/eventrecords.h"
#include "foundation/comobject.h"
#include "sdk/childdata.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <memory>
#include <vector>

template <>
struct InterfaceIdOf<IChartDataChildData> {
    static constexpr const IID& value = IID_IChartDataChildData;
};

namespace EEH {

// Ticks per chunk: chunk c holds the ticks t with t >> kChunkShift == c.
inline constexpr int kChunkShift = 14;

// The records of one chunk, sorted by tick.
template <class Record>
struct EventChunk {
    std::vector<Record> records;
};

// The results of one record (block): event chunks and the algorithm's States saved at chunk boundaries.
class RecordResults {
public:
    using Record = CX::Enum::EventFCalc;

    explicit RecordResults(LONG index) : index_(index) {}

    // Filling: the record goes into the chunk of its tick, after the records of the same tick. Negative ticks are
    // not stored.
    void Store(const Record& record);
    void StoreState(std::unique_ptr<EEH3::StateBase> state) { states_.push_back(std::move(state)); }

    // The first record at or after tick t; null when none.
    const Record* FindForward(LONG t) const;
    // The last record at or before tick t (only ticks from 0 on); null when none.
    const Record* FindBackward(LONG t) const;

    // Drops every chunk and State (the results must be computed again).
    void Clear();
    bool Empty() const { return chunks_.empty() && states_.empty(); }
    std::size_t ChunkCount() const { return chunks_.size(); }
    std::size_t StateCount() const { return states_.size(); }
    LONG Index() const { return index_; }
    void SetIndex(LONG index) { index_ = index; }

private:
    std::vector<EventChunk<Record>> chunks_;
    std::vector<std::unique_ptr<EEH3::StateBase>> states_;
    LONG index_;
};

// A channel whose data the results of an entry depend on, with its flag.
struct SourceChannel {
    std::int32_t channel;
    std::uint8_t flag;
};

// One cache entry: the results of one run configuration, per record (block).
class CacheListItem {
public:
    explicit CacheListItem(std::vector<SourceChannel> sources) : sources_(std::move(sources)) {}

    // The results of record r, created (with empty ones for the records before it) when missing.
    RecordResults& Results(LONG r);
    LONG RecordCount() const { return static_cast<LONG>(records_.size()); }
    // The results of record r when it exists; null otherwise.
    const RecordResults* Find(LONG r) const;
    const std::vector<SourceChannel>& Sources() const { return sources_; }

    // Drops the content of the records from `first` up to min(count, end).
    void Drop(LONG first, LONG end);
    // (second - first) empty records inserted at `first` (first < second), or the records from second up to
    // min(count, first) removed (first > second); the records are numbered afresh.
    void RecordsChanged(LONG first, LONG second);

private:
    void Renumber();

    std::vector<SourceChannel> sources_;
    std::vector<std::unique_ptr<RecordResults>> records_;
};

// The coordinator: the entries, oldest first, and the host data it belongs to.
class SharedCacheCoordinatorBase : public SimpleUnknownImp1<IChartDataChildData> {
public:
    // IUnknown: also answers the module's own identifier with the object itself.
    HRESULT QueryInterface(REFIID iid, void** out) override;
    // IChartDataChildData
    HRESULT Clone(IUnknown* newOwner, IChartDataChildData** out) override;
    HRESULT Invalidated(DWORD flags, LONG firstRecord, LONG endRecord) override;
    HRESULT RecordsChanged(LONG first, LONG second) override;
    HRESULT DataChanged(DWORD flags, LONG channel, DWORD kind, DWORD reserved, LONG firstRecord,
                        LONG endRecord) override;
    void DeleteThis() override { delete this; }

    // The newest entry, with a shared reference; every older entry is deleted first. Null when there is none.
    boost::shared_ptr<CacheListItem> CurrentEntry();
    // Filling: a new entry at the end of the list.
    boost::shared_ptr<CacheListItem> AddEntry(std::vector<SourceChannel> sources);
    std::size_t EntryCount() const { return entries_.size(); }
    IUnknown* HostData() const { return host_; }

protected:
    explicit SharedCacheCoordinatorBase(IUnknown* host) : host_(host) { entries_.reserve(8); }
    ~SharedCacheCoordinatorBase() override = default;

    // A new empty coordinator of the same algorithm.
    virtual SharedCacheCoordinatorBase* NewEmpty(IUnknown* host) const = 0;
    // The coordinator stored under `typeId` in the host data's child data, made and stored when missing; null when
    // the host data has no holder or the object stored there is not a coordinator.
    static platform::ComPtr<SharedCacheCoordinatorBase> FindOrCreateBase(
        IUnknown* host, DWORD typeId, SharedCacheCoordinatorBase* (*create)(IUnknown* host));

private:
    // Whether the host still has an object for the channel.
    bool HostHasChannel(LONG channel) const;

    IUnknown* host_; // not counted: the host data owns its child data
    DWORD flags_ = 0;
    std::vector<boost::shared_ptr<CacheListItem>> entries_;
};

// The coordinator of one algorithm (the final-parameter stage's or the population-spike stage's); its type id is
// the algorithm's.
template <class Algorithm>
class SharedCacheCoordinator final : public SharedCacheCoordinatorBase {
public:
    using CacheListItemType = CacheListItem;

    static platform::ComPtr<SharedCacheCoordinator> FindOrCreate(IUnknown* host)
    {
        platform::ComPtr<SharedCacheCoordinatorBase> found = FindOrCreateBase(host, Algorithm::GetTypeId(), &Create);
        return platform::ComPtr<SharedCacheCoordinator>(dynamic_cast<SharedCacheCoordinator*>(found.Get()));
    }

    HRESULT GetTypeId(DWORD* key) override
    {
        if (!key) {
            return E_POINTER;
        }
        *key = Algorithm::GetTypeId();
        return S_OK;
    }

private:
    explicit SharedCacheCoordinator(IUnknown* host) : SharedCacheCoordinatorBase(host) {}
    static SharedCacheCoordinatorBase* Create(IUnknown* host) { return new SharedCacheCoordinator(host); }
    SharedCacheCoordinatorBase* NewEmpty(IUnknown* host) const override { return Create(host); }
};

} // namespace EEH
