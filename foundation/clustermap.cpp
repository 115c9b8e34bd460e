#include "foundation/clustermap.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <new>

using CompoundFile::kFreeBit;

namespace {
constexpr std::uint32_t kFreeHead = 0;
constexpr std::uint32_t kReleasedHead = 1;
}

ClusterMap::ClusterMap(std::uint32_t clusterShift)
    : clusterShift_(clusterShift),
      clusterSize_(1u << clusterShift),
      offsetMask_(clusterSize_ - 1),
      entriesPerCluster_(clusterSize_ / 8)
{
}

bool ClusterMap::InitNew()
{
    try {
        entries_.SetCapacity8(entriesPerCluster_);
    } catch (const std::bad_alloc&) {
        return false;
    }
    entries_.SetCount(2);
    At(kFreeHead) = {0, kFreeBit};
    At(kReleasedHead) = {0, 0};
    changed_ = true;
    return Grow(entriesPerCluster_);
}

std::uint32_t ClusterMap::FreeTail() const
{
    std::uint32_t tail = kFreeHead;
    for (std::uint32_t steps = 0; entries_[tail].next != 0 && steps < Count(); ++steps) {
        tail = entries_[tail].next;
    }
    return tail;
}

bool ClusterMap::Grow(std::uint32_t count)
{
    const std::uint64_t wanted = (static_cast<std::uint64_t>(count) + entriesPerCluster_ - 1) / entriesPerCluster_ *
                                 entriesPerCluster_;
    if (wanted <= Count()) {
        return true;
    }
    if (wanted > limit_) {
        return false;
    }
    const auto target = static_cast<std::uint32_t>(wanted);
    if (target > Capacity()) {
        const std::uint64_t doubled = std::max<std::uint64_t>(2ull * Capacity(), entriesPerCluster_);
        const auto capacity = static_cast<std::uint32_t>(std::clamp<std::uint64_t>(doubled, target, limit_));
        try {
            entries_.SetCapacity8(capacity);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    const std::uint32_t tail = FreeTail();
    const std::uint32_t from = Count();
    entries_.GrowCountForOverwrite(target); // every new entry is written below
    // Each new entry links to its neighbours; written without a chain from one to the next, and in blocks of a
    // fixed size that the compiler unrolls, the loop runs as fast as the memory, which matters to every new file.
    Entry* const entries = entries_.Data();
    constexpr std::uint32_t kBlock = 16;
    std::uint32_t cluster = from;
    for (; target - cluster >= kBlock; cluster += kBlock) {
        Entry block[kBlock]; // made in place and copied whole: no address checked per entry
        for (std::uint32_t i = 0; i < kBlock; ++i) {
            block[i] = {cluster + i + 1, (cluster + i - 1) | kFreeBit};
        }
        std::memcpy(entries + cluster, block, sizeof block);
    }
    for (; cluster < target; ++cluster) {
        entries[cluster] = {cluster + 1, (cluster - 1) | kFreeBit};
    }
    At(tail).next = from;
    At(from).previous = tail | kFreeBit;
    At(target - 1).next = 0;
    changed_ = true;
    return true;
}

void ClusterMap::Unlink(std::uint32_t cluster)
{
    const std::uint32_t previous = At(cluster).previous & ~kFreeBit;
    const std::uint32_t next = At(cluster).next;
    At(previous).next = next;
    if (next != 0) {
        At(next).previous = previous | kFreeBit;
    }
    At(cluster) = {0, 0};
    changed_ = true;
}

void ClusterMap::PushFront(std::uint32_t head, std::uint32_t cluster, std::uint32_t mark)
{
    const std::uint32_t front = At(head).next;
    At(cluster) = {front, head | mark};
    if (front != 0) {
        At(front).previous = cluster | mark;
    }
    At(head).next = cluster;
    changed_ = true;
}

void ClusterMap::PushFree(std::uint32_t cluster) { PushFront(kFreeHead, cluster, kFreeBit); }

std::uint32_t ClusterMap::Allocate(std::uint32_t previous, bool largeFile, bool link)
{
    std::uint32_t found = 0;
    if (previous != 0 && previous + 1 < Count() && IsFree(previous + 1)) {
        found = previous + 1;
    } else {
        // The first free neighbour keeps the chain near its last cluster.
        const std::uint32_t low = previous > 9 ? previous - 8 : 1;
        const std::uint32_t high = std::min(Count(), previous + 8);
        for (std::uint32_t cluster = low; cluster < high && found == 0; ++cluster) {
            if (IsFree(cluster)) {
                found = cluster;
            }
        }
        if (found == 0 && largeFile && previous != 0 && previous + 1 == Count()) {
            if (Grow(Count() + entriesPerCluster_) && IsFree(previous + 1)) {
                found = previous + 1;
            }
        }
        if (found == 0) {
            if (At(kFreeHead).next == 0 && !Grow(Count() + entriesPerCluster_)) {
                return 0;
            }
            found = At(kFreeHead).next;
            if (found == 0) {
                return 0;
            }
        }
    }
    Unlink(found);
    if (link && previous != 0) {
        At(previous).next = found;
        At(found).previous = previous;
    }
    return found;
}

void ClusterMap::Replace(std::uint32_t old, std::uint32_t fresh)
{
    const Entry links = At(old);
    At(fresh) = links;
    if (links.previous != 0) {
        At(links.previous).next = fresh;
    }
    if (links.next != 0) {
        At(links.next).previous = fresh;
    }
    At(old) = {0, 0};
    changed_ = true;
}

void ClusterMap::MoveChain(std::uint32_t first, std::uint32_t head, std::uint32_t mark)
{
    const std::uint32_t previous = At(first).previous;
    if (previous != 0) {
        At(previous).next = 0;
    }
    std::uint32_t cluster = first;
    for (std::uint32_t steps = 0; cluster != 0 && steps < Count(); ++steps) {
        const std::uint32_t next = At(cluster).next;
        PushFront(head, cluster, mark);
        cluster = next;
    }
}

void ClusterMap::ReleaseChain(std::uint32_t first) { MoveChain(first, kReleasedHead, 0); }

void ClusterMap::ReleaseAtEnd(std::uint32_t cluster)
{
    std::uint32_t tail = kReleasedHead;
    for (std::uint32_t steps = 0; At(tail).next != 0 && steps < Count(); ++steps) {
        tail = At(tail).next;
    }
    At(tail).next = cluster;
    At(cluster) = {0, tail};
    changed_ = true;
}

void ClusterMap::ReturnFree(std::uint32_t cluster) { PushFree(cluster); }

void ClusterMap::FreeReleased()
{
    std::uint32_t first = At(kReleasedHead).next;
    if (first == 0) {
        return;
    }
    const std::uint32_t oldHead = At(kFreeHead).next;
    std::uint32_t before = kFreeHead;
    std::uint32_t cluster = first;
    std::uint32_t last = first;
    for (std::uint32_t steps = 0; cluster != 0 && steps < Count(); ++steps) {
        At(cluster).previous = before | kFreeBit;
        before = cluster;
        last = cluster;
        cluster = At(cluster).next;
    }
    At(last).next = oldHead;
    if (oldHead != 0) {
        At(oldHead).previous = last | kFreeBit;
    }
    At(kFreeHead).next = first;
    At(kReleasedHead) = {0, 0};
    changed_ = true;
}

std::uint32_t ClusterMap::FindRun(std::uint32_t clusters) const
{
    std::uint32_t runFirst = 0;
    std::uint32_t runLength = 0;
    std::uint32_t last = 0;
    std::uint32_t cluster = entries_[kFreeHead].next;
    for (std::uint32_t steps = 0; cluster != 0 && steps < Count(); ++steps) {
        if (runLength != 0 && cluster == last + 1) {
            ++runLength;
        } else {
            runFirst = cluster;
            runLength = 1;
        }
        if (runLength == clusters) {
            return runFirst;
        }
        last = cluster;
        cluster = entries_[cluster].next;
    }
    return 0;
}

std::uint32_t ClusterMap::AllocateRun()
{
    for (;;) {
        const std::uint32_t clusters = Count() / entriesPerCluster_;
        if (const std::uint32_t first = FindRun(clusters)) {
            for (std::uint32_t i = 0; i < clusters; ++i) {
                Unlink(first + i);
            }
            for (std::uint32_t i = 0; i < clusters; ++i) {
                At(first + i) = {i + 1 < clusters ? first + i + 1 : 0, i > 0 ? first + i - 1 : 0};
            }
            return first;
        }
        // Enough new entries to hold the run of the grown map as well.
        std::uint64_t add = 1;
        while (add * entriesPerCluster_ < (Count() + add * entriesPerCluster_) / entriesPerCluster_) {
            ++add;
        }
        const std::uint64_t count = Count() + add * entriesPerCluster_;
        if (count > limit_ || !Grow(static_cast<std::uint32_t>(count))) {
            return 0;
        }
    }
}

bool ClusterMap::RunIntact(std::uint32_t first) const
{
    const std::uint32_t clusters = Count() / entriesPerCluster_;
    if (!IsDataCluster(first) || first + clusters > Count()) {
        return false;
    }
    for (std::uint32_t i = 0; i < clusters; ++i) {
        const Entry& entry = entries_[first + i];
        if (entry.previous != (i > 0 ? first + i - 1 : 0) || entry.next != (i + 1 < clusters ? first + i + 1 : 0)) {
            return false;
        }
    }
    return true;
}

void ClusterMap::FreeChain(std::uint32_t first) { MoveChain(first, kFreeHead, kFreeBit); }

std::uint32_t ClusterMap::HighestUsed() const
{
    // Blocks of free entries at the top are passed over whole: a new file is mostly free entries.
    constexpr std::uint32_t kBlock = 16;
    const Entry* const entries = entries_.Data();
    std::uint32_t top = Count();
    while (top >= 2 + kBlock) {
        Entry block[kBlock]; // copied whole: no address checked per entry
        std::memcpy(block, entries + (top - kBlock), sizeof block);
        std::uint32_t all = kFreeBit;
        for (std::uint32_t i = 0; i < kBlock; ++i) { // a fixed count: unrolled
            all &= block[i].previous;
        }
        if (!all) {
            break;
        }
        top -= kBlock;
    }
    for (std::uint32_t cluster = top; cluster-- > 2;) {
        if (!(entries_[cluster].previous & kFreeBit)) {
            return cluster;
        }
    }
    return 1;
}

void ClusterMap::Encode(std::uint32_t from, std::uint32_t count, std::uint8_t* out) const
{
    // Every commit writes the whole map: on a little-endian machine the entries in memory are already its bytes.
    if constexpr (std::endian::native == std::endian::little && sizeof(Entry) == 8 &&
                  offsetof(Entry, previous) == 4) {
        if (count != 0) {
            std::memcpy(out, entries_.Data() + from, std::size_t{count} * sizeof(Entry));
        }
    } else {
        for (std::uint32_t i = 0; i < count; ++i) {
            CompoundFile::PutU32(out + 8 * i, entries_[from + i].next);
            CompoundFile::PutU32(out + 8 * i + 4, entries_[from + i].previous);
        }
    }
}
