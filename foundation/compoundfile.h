// The bytes of the compound file: the 512-byte header, the 160-byte directory entry records and the directory
// stream of a storage. Every field is written little-endian, one by one, at its fixed offset.
//
// Header: 0 title (64 UTF-16 units), 128 version, 132..144 constants, 148 commit word, 152 log2 cluster size,
// 156/160 map entry count of copy 0/1, 164/168 their negations, 172/176 first map cluster of copy 0/1, 180 reserved,
// 184/344 root entry copy 0/1, 504..511 never written. Cluster k >= 2 starts at 512 + (k - 2) x cluster size.
#pragma once

#include "platform/com/guid.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace CompoundFile {

inline constexpr std::uint32_t kHeaderSize = 512;
inline constexpr std::uint32_t kFormatVersion = 29;
inline constexpr std::uint32_t kClusterShift = 15;
inline constexpr std::uint32_t kFirstDataCluster = 2;
inline constexpr std::uint32_t kEntrySize = 160;
inline constexpr std::uint32_t kMaxEntries = 1024;
inline constexpr std::uint32_t kNameUnits = 32; // 31 characters and the terminator
inline constexpr std::uint32_t kDirectoryHeaderSize = 8;

// Bit 31 of a map entry's previous link marks a free cluster; bit 31 of a position's cluster marks a position
// standing at the very end of that cluster.
inline constexpr std::uint32_t kFreeBit = 0x80000000u;
inline constexpr std::uint32_t kEndOfClusterBit = 0x80000000u;

// Header offsets.
inline constexpr std::uint32_t kCommitWordOffset = 148;
inline constexpr std::uint32_t kFixedPartSize = 148;  // bytes 0..147: title, version and constants
inline constexpr std::uint32_t kCommitBlockOffset = 152;
inline constexpr std::uint32_t kCommitBlockSize = 352; // bytes 152..503: cluster size, map records, root copies
inline constexpr std::uint32_t kRootCopyOffset = 184;

inline constexpr char16_t kTitle[] = u"Corvane Compound File";
inline constexpr char16_t kRootName[] = u"KVORootStorage";
inline constexpr std::uint32_t kElementStorage = 1; // STGTY_STORAGE
inline constexpr std::uint32_t kElementStream = 2;  // STGTY_STREAM

// A byte position in an element's data and the cluster that holds it.
struct Position {
    std::uint64_t offset = 0;
    std::uint32_t cluster = 0;

    friend bool operator==(const Position&, const Position&) = default;
};

struct DirectoryEntry {
    std::array<char16_t, kNameUnits> name{};
    Position start; // offset always 0; cluster 0 while the element has no data cluster
    Position end;   // offset = size of the data
    FILETIME times[3]{}; // modification, creation, access
    CLSID clsid{};
    std::uint32_t stateBits = 0;
    std::uint32_t type = 0;

    std::u16string_view Name() const;
    // The name must be shorter than kNameUnits (callers check).
    void SetName(std::u16string_view text);

    void Encode(std::span<std::uint8_t, kEntrySize> out) const;
    static DirectoryEntry Decode(std::span<const std::uint8_t, kEntrySize> in);
};

struct MapRecord {
    std::uint32_t count = 0;
    std::uint32_t first = 0;
};

struct FileHeader {
    std::uint32_t commitWord = 0;
    std::uint32_t clusterShift = kClusterShift;
    MapRecord map[2];
    DirectoryEntry root[2];

    // Bytes 0..503; 504..511 are left as they are.
    void Encode(std::span<std::uint8_t, kHeaderSize> out) const;
};

// Byte offset of cluster k (k >= 2) in the file.
constexpr std::uint64_t ClusterOffset(std::uint32_t cluster, std::uint32_t shift)
{
    return kHeaderSize + (static_cast<std::uint64_t>(cluster - kFirstDataCluster) << shift);
}

// Names compare without regard to case by clearing bit 5 of every UTF-16 unit of both names; names of different
// lengths never meet.
bool SameName(std::u16string_view a, std::u16string_view b);

// Little-endian fields.
void PutU16(std::uint8_t* at, std::uint16_t value);
void PutU32(std::uint8_t* at, std::uint32_t value);
void PutU64(std::uint8_t* at, std::uint64_t value);
std::uint16_t GetU16(const std::uint8_t* at);
std::uint32_t GetU32(const std::uint8_t* at);
std::uint64_t GetU64(const std::uint8_t* at);

} // namespace CompoundFile
