// A position in a host document: tick offset within a record (block) and the record's index.
#pragma once

#include <compare>
#include <cstdint>

struct KVOPosition {
    std::int32_t mRecordOffset = 0;
    std::int32_t mRecord = 0;

    // Ordered by record, then by tick offset.
    friend constexpr std::strong_ordering operator<=>(const KVOPosition& a, const KVOPosition& b)
    {
        if (const auto byRecord = a.mRecord <=> b.mRecord; byRecord != 0) {
            return byRecord;
        }
        return a.mRecordOffset <=> b.mRecordOffset;
    }
    friend constexpr bool operator==(const KVOPosition&, const KVOPosition&) = default;
};
static_assert(sizeof(KVOPosition) == 8);
