#include "foundation/resourcestring.h"

#include "foundation/utilities.h"
#include "platform/win/resources.h"

#include <vector>

namespace KVO {

// Built on the first substituting load, in this order: the title token must go before the name token it starts
// with.
const std::vector<OEMSubstitution>& OEMSubstitutions()
{
    static const std::vector<OEMSubstitution> table = [] {
        const String file(PathBesideExecutable(kBrandingFile).c_str());
        return std::vector<OEMSubstitution>{
            {String(kHostTitleToken), String(u"Wavedesk"), String(u"AppTitle"), file},
            {String(kHostNameToken), String(u"Wavedesk"), String(u"AppName"), file},
            {String(kHardwareToken), String(u"Acquibox"), String(u"HardwareName"), file},
            {String(kMakerToken), String(u"Corvane"), String(u"OEMName"), file},
        };
    }();
    return table;
}

} // namespace KVO

namespace {

void Substitute(KVO::String& text)
{
    for (const KVO::OEMSubstitution& row : KVO::OEMSubstitutions()) {
        const int tokenLength = row.token.Length();
        std::size_t from = 0;
        for (;;) {
            const std::size_t found = text.View().find(row.token.View(), from);
            if (found == std::u16string_view::npos) {
                break;
            }
            text.Replace(static_cast<int>(found), tokenLength, row.replacement);
            // The replacement itself is never searched again by its own row.
            from = found + static_cast<std::size_t>(row.replacement.Length());
        }
    }
}

// The string-table block that holds `id`: in the application's language first, then in any language.
HRSRC FindBlock(HINSTANCE module, UINT id)
{
    const LPCWSTR block = MAKEINTRESOURCEW(((id >> 4) + 1) & 0xFFFF);
    HRSRC found = nullptr;
    if (const auto language = platform::ApplicationLanguage()) {
        found = FindResourceExW(module, RT_STRING, block, *language);
    }
    if (!found) {
        found = FindResourceW(module, block, RT_STRING);
    }
    return found;
}

} // namespace

namespace KVO {

void LoadResourceStringInto(String& target, HINSTANCE module, UINT id, bool substitute)
{
    target = String();
    if (id == 0) {
        return;
    }
    const HRSRC block = FindBlock(module, id);
    if (!block) {
        return;
    }
    const auto* units = static_cast<const char16_t*>(LockResource(LoadResource(module, block)));
    const std::size_t total = SizeofResource(module, block) / sizeof(char16_t);
    if (!units) {
        return;
    }
    // Each entry is a count followed by that many units; a count that runs past the block ends the walk too.
    std::size_t at = 0;
    for (UINT skip = id & 15; skip > 0 && at < total; --skip) {
        at += 1 + std::size_t{units[at]};
    }
    if (at >= total || units[at] == 0 || units[at] > total - at - 1) {
        return;
    }
    target = String(units + at + 1, static_cast<int>(units[at]));
    if (substitute && !target.IsEmpty()) {
        Substitute(target);
    }
}

String LoadResourceString(HINSTANCE module, UINT id, bool substitute)
{
    String text;
    LoadResourceStringInto(text, module, id, substitute);
    return text;
}

} // namespace KVO
