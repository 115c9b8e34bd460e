#include "foundation/positionvaluearray.h"

#include <stdexcept>

namespace KVO {

void PositionValueArray::GrowTo(std::int32_t block)
{
    const auto needed = static_cast<std::size_t>(block) + 1;
    if (blocks_.size() < needed) {
        blocks_.resize(needed);
    }
}

std::int32_t PositionValueArray::Find(std::int32_t offset, std::int32_t block) const
{
    // A look-up never grows the array: a block index from a hover or a query must not allocate.
    const Map* map = MapAt(block);
    if (!map) {
        return -1;
    }
    const auto found = map->find(KVOPosition{offset, block});
    return found == map->end() ? -1 : found->second;
}

PositionValueArray::Map& PositionValueArray::MapForBlock(std::int32_t block)
{
    if (block < 0) {
        throw std::out_of_range("PositionValueArray: negative block");
    }
    GrowTo(block);
    auto& entry = blocks_[static_cast<std::size_t>(block)];
    if (!entry) {
        entry = std::make_unique<Map>();
    }
    return *entry;
}

const PositionValueArray::Map* PositionValueArray::MapAt(std::int32_t block) const
{
    if (block < 0 || static_cast<std::size_t>(block) >= blocks_.size()) {
        return nullptr;
    }
    return blocks_[static_cast<std::size_t>(block)].get();
}

} // namespace KVO
