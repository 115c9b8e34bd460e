// GUIDs: comparison, hashing and the registry text form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.
#pragma once

#include "platform/win/wintypes.h"

#include <compare>
#include <cstring>
#include <functional>
#include <string>

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];

    friend bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
    friend bool operator<(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;

inline constexpr GUID GUID_NULL{};

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }

// Writes the braced text form with its NUL; returns the units written (39) or 0 when the buffer is too small.
int StringFromGUID2(REFGUID guid, LPWSTR buffer, int bufferUnits);
HRESULT CLSIDFromString(LPCWSTR text, CLSID* out);
HRESULT IIDFromString(LPCWSTR text, IID* out);

namespace platform {
std::u16string GuidToText(REFGUID guid);
// Parses the braced form; false when the text is not one.
bool GuidFromText(std::u16string_view text, GUID& out);
// A new random GUID (version 4).
GUID NewGuid();
}

template <>
struct std::hash<GUID> {
    std::size_t operator()(const GUID& guid) const noexcept
    {
        std::uint64_t a;
        std::uint64_t b;
        std::memcpy(&a, &guid, 8);
        std::memcpy(&b, reinterpret_cast<const char*>(&guid) + 8, 8);
        return std::hash<std::uint64_t>{}(a ^ (b * 0x9E3779B97F4A7C15ull));
    }
};
