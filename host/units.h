// Unit texts as the host keeps them: an SI prefix letter before a base unit ("mV" is milli and "V"). The host stores
// samples in base units and tells its extensions the prefix to show them with.
#pragma once

#include "platform/win/wintypes.h"

#include <string>

namespace host {

struct UnitParts {
    LONG prefixIndex = 1;   // the host's numbering: none 1, a 2, f 3, p 4, n 5, micro 6, m 7, k 9, M 10 … E 14
    std::u16string base;    // the unit without its prefix
    double toBase = 1.0;    // a value in the prefixed unit times this is the value in the base unit
};

// Splits a unit text into prefix and base; a text whose rest is no known base unit keeps no prefix ("mmHg", "m").
UnitParts SplitUnit(const std::u16string& unit);
// A base unit the host knows ("V"), with or without a prefix ("mV", "\u00B5V").
bool IsKnownUnit(const std::u16string& unit);
// The base units the host knows, for messages: "V, A, s, …".
std::u16string KnownBaseUnits();

} // namespace host
