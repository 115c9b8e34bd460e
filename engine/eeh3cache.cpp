#include "engine/eeh3cache.h"

#include <algorithm>

namespace EEH3 {

LONG RecordCache::LatestAtOrBefore(LONG t) const
{
    if (t < kSliceTicks || slices_.empty()) {
        return 0;
    }
    for (LONG k = std::min<LONG>(t / kSliceTicks, static_cast<LONG>(slices_.size()) - 1); k > 0; --k) {
        if (slices_[static_cast<std::size_t>(k)]) {
            return k;
        }
    }
    return 0;
}

const StateBase* RecordCache::At(LONG k) const
{
    return k > 0 && static_cast<std::size_t>(k) < slices_.size() ? slices_[static_cast<std::size_t>(k)].get()
                                                                 : nullptr;
}

void RecordCache::Store(LONG k, std::unique_ptr<StateBase> state)
{
    if (k <= 0) {
        return;
    }
    if (static_cast<std::size_t>(k) >= slices_.size()) {
        slices_.resize(static_cast<std::size_t>(k) + 1);
    }
    slices_[static_cast<std::size_t>(k)] = std::move(state);
}

std::size_t RecordCache::StoredCount() const
{
    return static_cast<std::size_t>(std::count_if(slices_.begin(), slices_.end(), [](const auto& s) { return s != nullptr; }));
}

void ChannelCache::Clear()
{
    records_.clear();
    current_.state.reset();
    current_.tickReached = 0;
}

std::size_t ChannelCache::CheckpointCount(LONG r) const
{
    const auto found = records_.find(r);
    return found == records_.end() ? 0 : found->second.StoredCount();
}

} // namespace EEH3
