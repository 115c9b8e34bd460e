// The module's string table: ids as named constants; the texts live in stringtable.cpp and are registered under
// the module's instance handle when the module is loaded.
#pragma once

#include "platform/win/resources.h"

#include <span>

namespace StringId {
// Texts of the module's own failure codes (0xA00482xx).
inline constexpr UINT ErrUnexpected = 57345;
inline constexpr UINT ErrNotCompleted = 57346;
inline constexpr UINT ErrNotSupported = 57347;
inline constexpr UINT ErrBadStoredText = 57348;
inline constexpr UINT ErrNewerVersion = 57349;
inline constexpr UINT ErrStoredDataEnds = 57350;
inline constexpr UINT ErrNotSaved = 57351;
inline constexpr UINT ErrStoredDataDamaged = 57352;
inline constexpr UINT ErrNotRead = 57354;
inline constexpr UINT ErrNeedsNewerHost = 57358;
inline constexpr UINT ErrSettingsInvalid = 57359;
inline constexpr UINT ErrNoData = 57360;
}

namespace Resources {
// Every entry of the module's string table.
std::span<const platform::StringTableEntry> StringTable();
}
