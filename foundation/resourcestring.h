// The one loader of the module's texts: string-table entries by module and id, with the branding tokens replaced by
// the product words when asked.
#pragma once

#include "foundation/kvostring.h"

namespace KVO {

// Branding tokens that texts may hold. The title token begins with the name token; it is replaced first, whole.
inline constexpr char16_t kHostTitleToken[] = u"HOSTAPPTITLE";
inline constexpr char16_t kHostNameToken[] = u"HOSTAPP";
inline constexpr char16_t kHardwareToken[] = u"ACQUIBOX";
inline constexpr char16_t kMakerToken[] = u"OEM";

// One row of the substitution table.
struct OEMSubstitution {
    String token;
    String replacement;
};

// Loads string `id` of the module's string table (module 0: the host executable). The result is empty for id 0, a
// missing entry or an empty one. With `substitute` set, every branding token of the text is replaced.
void LoadResourceStringInto(String& target, HINSTANCE module, UINT id, bool substitute);
String LoadResourceString(HINSTANCE module, UINT id, bool substitute);

} // namespace KVO
