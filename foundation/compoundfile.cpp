#include "foundation/compoundfile.h"

#include <algorithm>
#include <cstring>

namespace CompoundFile {

void PutU16(std::uint8_t* at, std::uint16_t value)
{
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::uint8_t* at, std::uint32_t value)
{
    PutU16(at, static_cast<std::uint16_t>(value));
    PutU16(at + 2, static_cast<std::uint16_t>(value >> 16));
}

void PutU64(std::uint8_t* at, std::uint64_t value)
{
    PutU32(at, static_cast<std::uint32_t>(value));
    PutU32(at + 4, static_cast<std::uint32_t>(value >> 32));
}

std::uint16_t GetU16(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] | (at[1] << 8)); }

std::uint32_t GetU32(const std::uint8_t* at) { return GetU16(at) | (static_cast<std::uint32_t>(GetU16(at + 2)) << 16); }

std::uint64_t GetU64(const std::uint8_t* at) { return GetU32(at) | (static_cast<std::uint64_t>(GetU32(at + 4)) << 32); }

namespace {

void PutGuid(std::uint8_t* at, const GUID& guid)
{
    PutU32(at, guid.Data1);
    PutU16(at + 4, guid.Data2);
    PutU16(at + 6, guid.Data3);
    std::memcpy(at + 8, guid.Data4, 8);
}

GUID GetGuid(const std::uint8_t* at)
{
    GUID guid{};
    guid.Data1 = GetU32(at);
    guid.Data2 = GetU16(at + 4);
    guid.Data3 = GetU16(at + 6);
    std::memcpy(guid.Data4, at + 8, 8);
    return guid;
}

void PutUnits(std::uint8_t* at, std::u16string_view text, std::size_t units)
{
    for (std::size_t i = 0; i < units; ++i) {
        PutU16(at + 2 * i, i < text.size() ? static_cast<std::uint16_t>(text[i]) : 0);
    }
}

} // namespace

std::u16string_view DirectoryEntry::Name() const
{
    const auto end = std::find(name.begin(), name.end(), u'\0');
    return std::u16string_view(name.data(), static_cast<std::size_t>(end - name.begin()));
}

void DirectoryEntry::SetName(std::u16string_view text)
{
    name.fill(0);
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), kNameUnits - 1), name.begin());
}

void DirectoryEntry::Encode(std::span<std::uint8_t, kEntrySize> out) const
{
    std::uint8_t* at = out.data();
    std::fill(out.begin(), out.end(), 0);
    PutUnits(at, Name(), kNameUnits);
    PutU64(at + 64, start.offset);
    PutU32(at + 72, start.cluster);
    PutU64(at + 80, end.offset);
    PutU32(at + 88, end.cluster);
    for (int i = 0; i < 3; ++i) {
        PutU32(at + 96 + 8 * i, times[i].dwLowDateTime);
        PutU32(at + 100 + 8 * i, times[i].dwHighDateTime);
    }
    PutGuid(at + 120, clsid);
    PutU32(at + 136, stateBits);
    PutU32(at + 140, type);
}

DirectoryEntry DirectoryEntry::Decode(std::span<const std::uint8_t, kEntrySize> in)
{
    const std::uint8_t* at = in.data();
    DirectoryEntry entry;
    for (std::uint32_t i = 0; i < kNameUnits; ++i) {
        entry.name[i] = static_cast<char16_t>(GetU16(at + 2 * i));
    }
    entry.start = {GetU64(at + 64), GetU32(at + 72)};
    entry.end = {GetU64(at + 80), GetU32(at + 88)};
    for (int i = 0; i < 3; ++i) {
        entry.times[i] = {GetU32(at + 96 + 8 * i), GetU32(at + 100 + 8 * i)};
    }
    entry.clsid = GetGuid(at + 120);
    entry.stateBits = GetU32(at + 136);
    entry.type = GetU32(at + 140);
    return entry;
}

void FileHeader::Encode(std::span<std::uint8_t, kHeaderSize> out) const
{
    std::uint8_t* at = out.data();
    std::fill(out.begin(), out.begin() + 504, 0);
    PutUnits(at, kTitle, 64);
    PutU32(at + 128, kFormatVersion);
    // Written for readers of the format; nothing here reads them back. 512 is the offset of the first cluster.
    PutU32(at + 132, kHeaderSize);
    PutU32(at + 136, 0x20000);
    PutU32(at + 140, 0x7FFFFFFF);
    PutU32(at + 144, 0);
    PutU32(at + kCommitWordOffset, commitWord);
    PutU32(at + 152, clusterShift);
    for (int copy = 0; copy < 2; ++copy) {
        PutU32(at + 156 + 4 * copy, map[copy].count);
        PutU32(at + 164 + 4 * copy, 0u - map[copy].count);
        PutU32(at + 172 + 4 * copy, map[copy].first);
        root[copy].Encode(std::span<std::uint8_t, kEntrySize>(at + kRootCopyOffset + kEntrySize * copy, kEntrySize));
    }
}

bool SameName(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               return (x & ~0x20) == (y & ~0x20);
           });
}

} // namespace CompoundFile
