// Per-block maps from a position in a host document to a 32-bit value (an event number), one map per block.
#pragma once

#include "sdk/kvoposition.h"

#include <map>
#include <memory>
#include <vector>

namespace KVO {

class PositionValueArray {
public:
    using Map = std::map<KVOPosition, std::int32_t>;

    // -1 when the block has no map or the map has no value for the position. Changes nothing.
    std::int32_t Find(std::int32_t offset, std::int32_t block) const;
    // The block's map, created when missing (the array grows to block + 1). Throws std::out_of_range for a negative
    // block.
    Map& MapForBlock(std::int32_t block);
    // The block's map, or null.
    const Map* MapAt(std::int32_t block) const;
    int Count() const { return static_cast<int>(blocks_.size()); }

private:
    void GrowTo(std::int32_t block);

    std::vector<std::unique_ptr<Map>> blocks_;
};

} // namespace KVO
