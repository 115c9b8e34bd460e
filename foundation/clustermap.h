// The cluster map of a compound file: one (next, previous) entry per cluster number. Entry 0 heads the list of
// free clusters (their previous links carry bit 31); entry 1 heads the list of clusters released since the last
// commit, which may still belong to the committed version and become free only once the next commit is written.
// Every other cluster is either free, on the released list, or in one chain (a chain's first cluster has
// previous 0).
#pragma once

#include "foundation/arrayctor.h"
#include "foundation/compoundfile.h"

#include <cstdint>

class ClusterMap {
public:
    struct Entry {
        std::uint32_t next;
        std::uint32_t previous;
    };

    // The most entries a map may have: cluster numbers must leave bit 31 free.
    static constexpr std::uint32_t kLimit = 0x7FFFF000u;

    explicit ClusterMap(std::uint32_t clusterShift = CompoundFile::kClusterShift);

    // A new map: entry 0 = (0, free), entry 1 = (0, 0), then grown to one cluster's worth of free entries.
    // False when the memory cannot be had.
    bool InitNew();

    std::uint32_t Count() const { return entries_.Count(); }
    std::uint32_t Capacity() const { return entries_.Capacity(); }
    std::uint32_t EntriesPerCluster() const { return entriesPerCluster_; }
    std::uint32_t ClusterSize() const { return clusterSize_; }
    std::uint32_t ClusterShift() const { return clusterShift_; }
    std::uint32_t OffsetMask() const { return offsetMask_; }

    std::uint32_t Next(std::uint32_t cluster) const { return entries_[cluster].next; }
    std::uint32_t Previous(std::uint32_t cluster) const { return entries_[cluster].previous; }
    bool IsDataCluster(std::uint32_t cluster) const
    {
        return cluster >= CompoundFile::kFirstDataCluster && cluster < Count();
    }
    bool IsFree(std::uint32_t cluster) const
    {
        return IsDataCluster(cluster) && (entries_[cluster].previous & CompoundFile::kFreeBit);
    }

    bool Changed() const { return changed_; }
    void ClearChanged() { changed_ = false; }

    // Lowers the most entries the map may grow to (tests use it to run out of clusters).
    void SetLimit(std::uint32_t maxCount) { limit_ = maxCount; }

    // Grows to the first multiple of the entries per cluster at or above `count`, appending the new entries to the
    // end of the free list in ascending order. False (nothing changed) when the limit or the memory is reached.
    bool Grow(std::uint32_t count);

    // Takes a free cluster for the chain whose last cluster is `previous` (0: a new chain) and, with `link`, links it
    // after `previous`. `largeFile` lets the map grow so that a large element stays contiguous at the end of the
    // file. Returns 0 when no cluster can be had.
    std::uint32_t Allocate(std::uint32_t previous, bool largeFile, bool link = true);
    // `fresh` (unlinked) takes the place of `old` in its chain; `old` is left unlinked.
    void Replace(std::uint32_t old, std::uint32_t fresh);
    // Cuts the chain before `first` and puts each cluster from `first` on at the front of the released list.
    void ReleaseChain(std::uint32_t first);
    // Puts one unlinked cluster at the end of the released list.
    void ReleaseAtEnd(std::uint32_t cluster);
    // Gives an unlinked cluster that no committed version knows straight back to the free list.
    void ReturnFree(std::uint32_t cluster);
    // Moves the released list, in its order, to the front of the free list and empties it.
    void FreeReleased();

    // The run of clusters that holds the map itself: count / entries per cluster clusters, contiguous and chained.
    // Takes the first such run in free-list order, growing the map (so that the run lies at the end of the file) when
    // there is none. Returns its first cluster, 0 when it cannot be had.
    std::uint32_t AllocateRun();
    // True when the chain from `first` is still the run the map needs now.
    bool RunIntact(std::uint32_t first) const;
    // Cuts the chain from `first` and puts its clusters on the free list.
    void FreeChain(std::uint32_t first);

    // The highest cluster number that is not free (at least 1).
    std::uint32_t HighestUsed() const;
    // Entries from..from+count-1, 8 bytes each.
    void Encode(std::uint32_t from, std::uint32_t count, std::uint8_t* out) const;

private:
    Entry& At(std::uint32_t cluster) { return entries_[cluster]; }
    void Unlink(std::uint32_t cluster); // off the free list
    // Puts an unlinked cluster at the front of the list headed by entry `head`; `mark` goes on its previous links.
    void PushFront(std::uint32_t head, std::uint32_t cluster, std::uint32_t mark);
    void PushFree(std::uint32_t cluster);
    // Cuts the chain before `first` and pushes each of its clusters to the front of the list headed by `head`.
    void MoveChain(std::uint32_t first, std::uint32_t head, std::uint32_t mark);
    std::uint32_t FreeTail() const;
    std::uint32_t FindRun(std::uint32_t clusters) const;

    CArrayCtor<Entry> entries_;
    std::uint32_t clusterShift_;
    std::uint32_t clusterSize_;
    std::uint32_t offsetMask_;
    std::uint32_t entriesPerCluster_;
    std::uint32_t limit_ = kLimit;
    bool changed_ = false;
};
