// The checkpoints of the enumerator engine: per block, a copy of the State as it was when the run reached each
// boundary of 100000 ticks, and the State the run is in now.
#pragma once

#include "engine/eeh3params.h"

#include <map>
#include <memory>
#include <vector>

namespace EEH3 {

inline constexpr LONG kSliceTicks = 100000;

// The checkpoints of one block, by slice number k (the State at tick k x 100000). Slice 0 is the fresh State and
// is never stored.
class RecordCache {
public:
    // The latest stored slice at or before tick t; 0 when none is.
    LONG LatestAtOrBefore(LONG t) const;
    const StateBase* At(LONG k) const;
    // Stores (and owns) the State for slice k, replacing any stored there.
    void Store(LONG k, std::unique_ptr<StateBase> state);
    std::size_t StoredCount() const;

private:
    std::vector<std::unique_ptr<StateBase>> slices_; // index k; null: the run has not reached that boundary yet
};

// The checkpoints of every block the enumerator ran over, and the current State.
class ChannelCache {
public:
    struct CurrentState {
        std::unique_ptr<StateBase> state;
        LONG tickReached = 0; // the slice boundary it was taken from, then the enumerator's position
    };

    // The checkpoints of block r, made when the first is stored: a block too short for any keeps no entry, so
    // that thousands of short blocks leave nothing behind.
    RecordCache& Record(LONG r) { return records_[r]; }
    const RecordCache* Find(LONG r) const
    {
        const auto found = records_.find(r);
        return found == records_.end() ? nullptr : &found->second;
    }
    CurrentState& Current() { return current_; }
    bool HasCurrent() const { return current_.state != nullptr; }
    void DropCurrent() { current_.state.reset(); }
    // Forgets every checkpoint (the parameters changed) and the current State.
    void Clear();
    std::size_t CheckpointCount(LONG r) const;

private:
    std::map<LONG, RecordCache> records_;
    CurrentState current_;
};

} // namespace EEH3
