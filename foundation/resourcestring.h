// The one loader of the module's texts: string-table entries by module and id, with the branding tokens replaced by
// the product words when asked.
#pragma once

#include "foundation/kvostring.h"

#include <vector>

namespace KVO {

// Branding tokens that texts may hold. The title token begins with the name token; it is replaced first, whole.
inline constexpr char16_t kHostTitleToken[] = u"HOSTAPPTITLE";
inline constexpr char16_t kHostNameToken[] = u"HOSTAPP";
inline constexpr char16_t kHardwareToken[] = u"ACQUIBOX";
inline constexpr char16_t kMakerToken[] = u"OEM";

// One row of the substitution table. Each row also names its configuration key and the branding file that could
// override it; nothing is read from that file: the replacements are always the table's.
struct OEMSubstitution {
    String token;
    String replacement;
    String key;
    String file;
};

// The branding file: "Essential Files\Ofig.kvoini" in the folder of the host executable.
inline constexpr char16_t kBrandingFile[] = u"Essential Files\\Ofig.kvoini";
// The table, in its order (built on first use).
const std::vector<OEMSubstitution>& OEMSubstitutions();

// Loads string `id` of the module's string table (module 0: the host executable). The result is empty for id 0, a
// missing entry or an empty one. With `substitute` set, every branding token of the text is replaced.
void LoadResourceStringInto(String& target, HINSTANCE module, UINT id, bool substitute);
String LoadResourceString(HINSTANCE module, UINT id, bool substitute);

} // namespace KVO
