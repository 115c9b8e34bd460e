// The cluster map's lists and allocation rules, and the field-by-field records.
#include "foundation/clustermap.h"
#include "foundation/compoundfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

constexpr std::uint32_t kFree = 0x80000000u;

std::vector<std::uint32_t> FreeList(const ClusterMap& map)
{
    std::vector<std::uint32_t> list;
    for (std::uint32_t c = map.Next(0); c != 0 && list.size() <= map.Count(); c = map.Next(c)) {
        list.push_back(c);
    }
    return list;
}

std::vector<std::uint32_t> ReleasedList(const ClusterMap& map)
{
    std::vector<std::uint32_t> list;
    for (std::uint32_t c = map.Next(1); c != 0 && list.size() <= map.Count(); c = map.Next(c)) {
        list.push_back(c);
    }
    return list;
}

} // namespace

TEST(ClusterMap, NewMapGrowthAndCapacity)
{
    ClusterMap map;
    ASSERT_TRUE(map.InitNew());
    EXPECT_EQ(map.Count(), 4096u);
    EXPECT_EQ(map.Capacity(), 4096u);
    EXPECT_EQ(map.EntriesPerCluster(), 4096u);
    EXPECT_EQ(map.OffsetMask(), 32767u);
    EXPECT_EQ(map.Next(0), 2u);
    EXPECT_EQ(map.Previous(0), kFree);
    EXPECT_EQ(map.Next(1), 0u);
    EXPECT_EQ(map.Previous(1), 0u);
    EXPECT_EQ(map.Previous(2), kFree);
    EXPECT_EQ(map.Previous(3), 2u | kFree);
    EXPECT_EQ(map.Next(4095), 0u);
    EXPECT_EQ(FreeList(map).size(), 4094u);
    EXPECT_EQ(map.HighestUsed(), 1u);

    // Growth appends the new entries to the end of the free list in whole clusters' worth; the capacity doubles.
    std::uint32_t last = map.Allocate(0, false);
    for (std::uint32_t i = 0; i < 4093; ++i) {
        last = map.Allocate(last, false);
    }
    EXPECT_EQ(last, 4095u);
    EXPECT_TRUE(FreeList(map).empty());
    ASSERT_TRUE(map.Grow(4097));
    EXPECT_EQ(map.Count(), 8192u);
    EXPECT_EQ(map.Capacity(), 8192u);
    EXPECT_EQ(map.Next(0), 4096u);
    EXPECT_EQ(map.Previous(4096), kFree);
    EXPECT_EQ(map.Previous(8191), 8190u | kFree);
    ASSERT_TRUE(map.Grow(3 * 4096));
    EXPECT_EQ(map.Capacity(), 16384u);
    EXPECT_EQ(map.HighestUsed(), 4095u);

    // No growth beyond the limit: allocation then fails.
    ClusterMap small;
    ASSERT_TRUE(small.InitNew());
    small.SetLimit(4096);
    std::uint32_t c = 0;
    for (std::uint32_t i = 0; i < 4094; ++i) {
        c = small.Allocate(c, false);
        ASSERT_NE(c, 0u);
    }
    EXPECT_EQ(small.Allocate(c, true), 0u);
    EXPECT_EQ(small.AllocateRun(), 0u);
    EXPECT_FALSE(small.Grow(4097));
}

TEST(ClusterMap, AllocationPrefersTheNextAndNearbyClusters)
{
    ClusterMap map;
    ASSERT_TRUE(map.InitNew());
    const std::uint32_t a = map.Allocate(0, false); // a new chain: the first free neighbour of 0
    EXPECT_EQ(a, 2u);
    EXPECT_EQ(map.Previous(a), 0u);
    const std::uint32_t b = map.Allocate(0, false);
    EXPECT_EQ(b, 3u);
    EXPECT_EQ(map.Allocate(a, false), 4u); // 3 is taken: the first free neighbour of 2
    EXPECT_EQ(map.Next(a), 4u);
    EXPECT_EQ(map.Previous(4), a);
    EXPECT_EQ(map.Allocate(b, false), 5u);

    // Far from its last cluster a chain gets the head of the free list.
    ClusterMap far;
    ASSERT_TRUE(far.InitNew());
    std::uint32_t last = 0;
    for (std::uint32_t i = 0; i < 200; ++i) {
        last = far.Allocate(last, false);
    }
    far.ReleaseChain(50);        // 50..201, each to the front of the released list: 201 comes first
    EXPECT_EQ(far.Next(49), 0u); // the chain is cut before them
    far.FreeReleased();
    EXPECT_EQ(far.Allocate(10, false), 201u); // 11 and the neighbours of 10 are taken

    // The large-file hint grows the map to keep a big element contiguous at the end of the file. Two maps: a chain
    // {2} that is freed again, and a chain 3..4095 that ends at the last entry.
    auto build = [](ClusterMap& map) {
        EXPECT_TRUE(map.InitNew());
        EXPECT_EQ(map.Allocate(0, false), 2u);
        std::uint32_t end = map.Allocate(0, false);
        while (end < 4095) {
            end = map.Allocate(end, false);
        }
        map.ReleaseChain(2);
        map.FreeReleased();
        return end;
    };
    ClusterMap plain;
    ClusterMap hinted;
    const std::uint32_t end = build(plain);
    build(hinted);
    EXPECT_EQ(plain.Allocate(end, false), 2u);
    EXPECT_EQ(plain.Count(), 4096u);
    EXPECT_EQ(hinted.Allocate(end, true), 4096u);
    EXPECT_EQ(hinted.Count(), 8192u);
    EXPECT_EQ(hinted.Next(end), 4096u);
}

TEST(ClusterMap, ReleasedClustersBecomeFreeAfterTheCommit)
{
    ClusterMap map;
    ASSERT_TRUE(map.InitNew());
    std::uint32_t chain[4];
    chain[0] = map.Allocate(0, false);
    for (int i = 1; i < 4; ++i) {
        chain[i] = map.Allocate(chain[i - 1], false);
    }
    EXPECT_EQ(chain[3], 5u);

    // Releasing the tail of a chain puts each cluster at the front of the released list; they are not free.
    map.ReleaseChain(chain[2]);
    EXPECT_EQ(map.Next(chain[1]), 0u);
    EXPECT_EQ(ReleasedList(map), (std::vector<std::uint32_t>{5, 4}));
    EXPECT_EQ(map.Previous(5), 1u);
    EXPECT_EQ(map.Previous(4), 5u);
    EXPECT_FALSE(map.IsFree(4));

    // A copied cluster takes the place of the old one in its chain; the old one goes to the end of the list.
    const std::uint32_t fresh = map.Allocate(map.Previous(chain[1]), false, false);
    map.Replace(chain[1], fresh);
    map.ReleaseAtEnd(chain[1]);
    EXPECT_EQ(map.Next(chain[0]), fresh);
    EXPECT_EQ(map.Previous(fresh), chain[0]);
    EXPECT_EQ(ReleasedList(map), (std::vector<std::uint32_t>{5, 4, 3}));

    // After the commit the list moves, in its order, to the front of the free list.
    const std::uint32_t oldHead = map.Next(0);
    map.FreeReleased();
    EXPECT_TRUE(ReleasedList(map).empty());
    const std::vector<std::uint32_t> free = FreeList(map);
    ASSERT_GE(free.size(), 4u);
    EXPECT_EQ(std::vector<std::uint32_t>(free.begin(), free.begin() + 4), (std::vector<std::uint32_t>{5, 4, 3, oldHead}));
    EXPECT_EQ(map.Previous(5), kFree);
    EXPECT_EQ(map.Previous(4), 5u | kFree);
    EXPECT_EQ(map.Previous(oldHead), 3u | kFree);

    // A cluster that no version knows goes straight back to the head of the free list.
    const std::uint32_t unused = map.Allocate(0, false, false);
    map.ReturnFree(unused);
    EXPECT_EQ(map.Next(0), unused);
}

TEST(ClusterMap, TheMapRunIsContiguousAndGrowsAtTheEnd)
{
    ClusterMap map;
    ASSERT_TRUE(map.InitNew());
    const std::uint32_t run = map.AllocateRun();
    EXPECT_EQ(run, 2u);
    EXPECT_TRUE(map.RunIntact(run));
    EXPECT_EQ(map.Previous(run), 0u);
    EXPECT_EQ(map.Next(run), 0u);

    // Fill the map, so that the next run needs growth: two clusters for 8192 entries, at the end of the file.
    std::uint32_t last = 0;
    while (!FreeList(map).empty()) {
        last = map.Allocate(last, false);
    }
    ASSERT_TRUE(map.Grow(map.Count() + 1));
    EXPECT_FALSE(map.RunIntact(run)); // one cluster no longer holds the map
    map.FreeChain(run);
    EXPECT_TRUE(map.IsFree(run));
    std::uint32_t taken = 0;
    for (std::uint32_t c = 4096; c < 8192; ++c) {
        taken = map.Allocate(taken == 0 ? 4095 : taken, false);
    }
    const std::uint32_t grown = map.AllocateRun();
    EXPECT_EQ(map.Count(), 12288u);
    EXPECT_EQ(grown, 8192u);
    EXPECT_TRUE(map.RunIntact(grown));
    EXPECT_EQ(map.Next(8192), 8193u);
    EXPECT_EQ(map.Next(8194), 0u);
    EXPECT_EQ(map.HighestUsed(), 8194u);

    std::uint8_t bytes[16];
    map.Encode(8192, 2, bytes);
    EXPECT_EQ(CompoundFile::GetU32(bytes), 8193u);
    EXPECT_EQ(CompoundFile::GetU32(bytes + 4), 0u);
    EXPECT_EQ(CompoundFile::GetU32(bytes + 8), 8194u);
    EXPECT_EQ(CompoundFile::GetU32(bytes + 12), 8192u);
}

// Growth puts the new entries after the last free one, whichever it is, linked both ways; the highest used cluster
// is found wherever it lies.
TEST(ClusterMap, GrowthExtendsTheFreeListAndTheHighestUsedIsFoundAnywhere)
{
    ClusterMap map;
    ASSERT_TRUE(map.InitNew());
    std::uint32_t last = 0;
    for (int i = 0; i < 30; ++i) {
        last = map.Allocate(last, false);
    }
    map.FreeChain(map.Next(map.Next(2)));
    const std::vector<std::uint32_t> before = FreeList(map);
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(map.Grow(map.Count() + 1));
    std::vector<std::uint32_t> expected = before;
    for (std::uint32_t c = 4096; c < 8192; ++c) {
        expected.push_back(c);
    }
    EXPECT_EQ(FreeList(map), expected);
    std::uint32_t back = 0;
    for (const std::uint32_t c : expected) {
        ASSERT_EQ(map.Previous(c), back | CompoundFile::kFreeBit) << c;
        back = c;
    }
    EXPECT_EQ(map.Next(8191), 0u);

    ClusterMap sparse;
    ASSERT_TRUE(sparse.InitNew());
    ASSERT_TRUE(sparse.Grow(3 * 4096));
    EXPECT_EQ(sparse.HighestUsed(), 1u);
    for (const std::uint32_t at : {2u, 3u, 16u, 17u, 18u, 33u, 34u, 35u, 4095u, 4096u, 8000u, 12271u, 12272u, 12286u,
                                   12287u}) {
        ASSERT_EQ(sparse.Allocate(at - 1, false, false), at);
        EXPECT_EQ(sparse.HighestUsed(), at) << at;
        sparse.ReturnFree(at);
        EXPECT_EQ(sparse.HighestUsed(), 1u) << at;
    }
}

// The map goes to the file as each entry's next, then previous, in little-endian words, whatever the links hold.
TEST(ClusterMap, EncodesEveryEntryAsTwoLittleEndianWords)
{
    ClusterMap map;
    ASSERT_TRUE(map.InitNew());
    std::uint32_t last = 0;
    for (int i = 0; i < 40; ++i) {
        last = map.Allocate(i % 7 == 0 ? 0 : last, false);
    }
    map.ReleaseChain(map.Allocate(0, false));
    ASSERT_TRUE(map.Grow(2 * map.EntriesPerCluster()));
    const std::uint32_t count = map.Count();
    std::vector<std::uint8_t> bytes(8 * std::size_t{count} + 8, 0xEE);
    map.Encode(0, count, bytes.data());
    std::vector<std::uint8_t> expected(bytes.size(), 0xEE);
    for (std::uint32_t c = 0; c < count; ++c) {
        for (int b = 0; b < 4; ++b) {
            expected[8 * c + b] = static_cast<std::uint8_t>(map.Next(c) >> (8 * b));
            expected[8 * c + 4 + b] = static_cast<std::uint8_t>(map.Previous(c) >> (8 * b));
        }
    }
    EXPECT_EQ(bytes, expected);
    EXPECT_NE(map.Previous(count - 1) & CompoundFile::kFreeBit, 0u);

    // A part from the middle, and nothing at all.
    std::uint8_t part[24];
    map.Encode(5, 3, part);
    EXPECT_TRUE(std::equal(part, part + 24, expected.begin() + 40));
    map.Encode(0, 0, nullptr);
}

TEST(CompoundFileRecords, DirectoryEntryFieldByField)
{
    CompoundFile::DirectoryEntry entry;
    entry.SetName(u"Name");
    entry.start = {0, 0x11223344};
    entry.end = {0x0102030405060708ull, 0x80000009u};
    entry.times[0] = {0xA1A2A3A4, 0xB1B2B3B4};
    entry.times[2] = {5, 6};
    entry.clsid = GUID{0x00112233, 0x4455, 0x6677, {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};
    entry.stateBits = 0x12;
    entry.type = 2;
    std::uint8_t bytes[160];
    entry.Encode(bytes);
    const std::uint8_t expected[160] = {
        'N', 0, 'a', 0, 'm', 0, 'e', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0, 0, 0, 0, 0, 0, 0, 0,                                 // 64: start offset
        0x44, 0x33, 0x22, 0x11, 0, 0, 0, 0,                     // 72: first cluster, reserved
        0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,         // 80: end offset
        0x09, 0, 0, 0x80, 0, 0, 0, 0,                           // 88: end cluster, reserved
        0xA4, 0xA3, 0xA2, 0xA1, 0xB4, 0xB3, 0xB2, 0xB1,         // 96: modification time
        0, 0, 0, 0, 0, 0, 0, 0,                                 // 104: creation time
        5, 0, 0, 0, 6, 0, 0, 0,                                 // 112: access time
        0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,         // 120: class identifier
        0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF,
        0x12, 0, 0, 0, 2, 0, 0, 0,                              // 136: state bits, type
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,         // 144: reserved
    };
    EXPECT_TRUE(std::equal(std::begin(bytes), std::end(bytes), std::begin(expected)));
    const CompoundFile::DirectoryEntry back = CompoundFile::DirectoryEntry::Decode(bytes);
    EXPECT_EQ(back.Name(), u"Name");
    EXPECT_EQ(back.end, entry.end);
    EXPECT_EQ(back.clsid, entry.clsid);
    EXPECT_EQ(back.times[0].dwHighDateTime, 0xB1B2B3B4u);
    EXPECT_EQ(back.stateBits, 0x12u);

    EXPECT_TRUE(CompoundFile::SameName(u"abc", u"ABC"));
    EXPECT_TRUE(CompoundFile::SameName(u"@", u"`"));
    EXPECT_FALSE(CompoundFile::SameName(u"a", u"a "));
    EXPECT_TRUE(CompoundFile::SameName(u"\u00e9", u"\u00c9")); // bit 5 folds beyond ASCII too
    EXPECT_FALSE(CompoundFile::SameName(u"a1", u"a2"));
}
