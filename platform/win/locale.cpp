#include "platform/win/locale.h"

#include "platform/win/codepage.h"
#include "platform/win/errors.h"

#include <algorithm>

namespace platform {
LocaleProfile LocaleProfile::EnglishUS()
{
    return LocaleProfile{0x0409, u".", u",", u"3;0", u":", u"/", u",", u"AM", u"PM",
                         u"h:mm:ss tt", u"M/d/yyyy", u"dddd, MMMM d, yyyy", u"437", u"0", u"0", u"0", {}};
}

LocaleProfile LocaleProfile::German()
{
    return LocaleProfile{0x0407, u",", u".", u"3;0", u":", u".", u";", u"", u"",
                         u"HH:mm:ss", u"dd.MM.yyyy", u"dddd, d. MMMM yyyy", u"850", u"1", u"0", u"1", {}};
}
}

namespace {
platform::LocaleProfile& Profile()
{
    static platform::LocaleProfile profile = platform::LocaleProfile::EnglishUS();
    return profile;
}

std::string& CrtNumeric()
{
    static std::string name = "C";
    return name;
}

const std::u16string* Field(const platform::LocaleProfile& p, LCTYPE type, std::u16string& scratch)
{
    switch (type & 0xFFFF) {
    case LOCALE_ILANGUAGE: {
        static constexpr char16_t kHex[] = u"0123456789abcdef";
        scratch.clear();
        for (int shift = 12; shift >= 0; shift -= 4) {
            scratch += kHex[(p.language >> shift) & 0xF];
        }
        return &scratch;
    }
    case LOCALE_IDEFAULTCODEPAGE: return &p.oemCodePage;
    case LOCALE_SLIST: return &p.list;
    case LOCALE_SDECIMAL: return &p.decimal;
    case LOCALE_STHOUSAND: return &p.thousand;
    case LOCALE_SGROUPING: return &p.grouping;
    case LOCALE_SDATE: return &p.date;
    case LOCALE_STIME: return &p.time;
    case LOCALE_SSHORTDATE: return &p.shortDate;
    case LOCALE_SLONGDATE: return &p.longDate;
    case LOCALE_IDATE: return &p.dateOrder;
    case LOCALE_ITIME: return &p.timeClock;
    case LOCALE_S1159: return &p.am;
    case LOCALE_S2359: return &p.pm;
    case LOCALE_STIMEFORMAT: return &p.timeFormat;
    case LOCALE_ITIMEMARKPOSN: return &p.timeMarkPosition;
    default: return nullptr;
    }
}

const std::u16string* Lookup(LCID locale, LCTYPE type, std::u16string& scratch)
{
    static const platform::LocaleProfile invariant = platform::LocaleProfile::EnglishUS();
    const platform::LocaleProfile& profile =
        (locale == LOCALE_INVARIANT || locale == 0x0409) ? invariant : Profile();
    if (profile.failing.count(type & 0xFFFF)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::u16string* value = Field(profile, type, scratch);
    if (!value) {
        SetLastError(1004); // ERROR_INVALID_FLAGS
    }
    return value;
}
}

int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR buffer, int units)
{
    std::u16string scratch;
    const std::u16string* value = Lookup(locale, type, scratch);
    if (!value) {
        return 0;
    }
    const int needed = static_cast<int>(value->size()) + 1;
    if (units == 0) {
        return needed;
    }
    if (!buffer || units < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(value->begin(), value->end(), buffer);
    buffer[value->size()] = 0;
    return needed;
}

int GetLocaleInfoA(LCID locale, LCTYPE type, LPSTR buffer, int bytes)
{
    std::u16string scratch;
    const std::u16string* value = Lookup(locale, type, scratch);
    if (!value) {
        return 0;
    }
    const std::u16string withNul = *value + u'\0';
    return WideCharToMultiByte(CP_ACP, 0, withNul.data(), static_cast<int>(withNul.size()), buffer, bytes, nullptr,
                               nullptr);
}

LCID GetUserDefaultLCID() { return Profile().language; }
LANGID GetUserDefaultLangID() { return Profile().language; }

namespace platform {
void SetUserLocale(const LocaleProfile& profile) { Profile() = profile; }
const LocaleProfile& UserLocale() { return Profile(); }

std::string CrtNumericLocale() { return CrtNumeric(); }

std::string SetCrtNumericLocale(const std::string& name)
{
    if (name.empty()) {
        CrtNumeric() = Profile().language == 0x0407 ? "German_Germany.1252" : "English_United States.1252";
    } else if (name == "C" || name == "English" || name.find('_') != std::string::npos) {
        CrtNumeric() = name;
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return {};
    }
    return CrtNumeric();
}
}
