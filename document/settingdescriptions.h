// What each setting of the settings tables (settingsset.cpp) holds, in one line with its unit, for listings of
// the settings; the tables themselves hold only numbers.
#pragma once

#include <cstdint>
#include <string>

namespace CX {
class ParamCatalogue;
}

namespace CX::Doc {

// The line for a setting id; a parameter's on/off setting names the parameter's column for the analysis type.
// Empty for an id without a setting.
std::u16string SettingDescription(std::int32_t id, std::int32_t analysisType, const ParamCatalogue* catalogue);

} // namespace CX::Doc
