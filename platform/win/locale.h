// The user's locale settings behind GetLocaleInfoW: a settable profile (en-US by default), and the C run-time's
// numeric locale name as the module sees it. The real C library's locale is never touched, so nothing in the
// process that writes classic texts can change behaviour.
#pragma once

#include "platform/win/wintypes.h"

#include <set>
#include <string>

using LCTYPE = DWORD;

inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr LCID LOCALE_INVARIANT = 0x007F;

inline constexpr LCTYPE LOCALE_ILANGUAGE = 0x0001;
inline constexpr LCTYPE LOCALE_IDEFAULTCODEPAGE = 0x000B;
inline constexpr LCTYPE LOCALE_SLIST = 0x000C;
inline constexpr LCTYPE LOCALE_SDECIMAL = 0x000E;
inline constexpr LCTYPE LOCALE_STHOUSAND = 0x000F;
inline constexpr LCTYPE LOCALE_SGROUPING = 0x0010;
inline constexpr LCTYPE LOCALE_SDATE = 0x001D;
inline constexpr LCTYPE LOCALE_STIME = 0x001E;
inline constexpr LCTYPE LOCALE_SSHORTDATE = 0x001F;
inline constexpr LCTYPE LOCALE_SLONGDATE = 0x0020;
inline constexpr LCTYPE LOCALE_IDATE = 0x0021;
inline constexpr LCTYPE LOCALE_ITIME = 0x0023;
inline constexpr LCTYPE LOCALE_S1159 = 0x0028;
inline constexpr LCTYPE LOCALE_S2359 = 0x0029;
inline constexpr LCTYPE LOCALE_STIMEFORMAT = 0x1003;
inline constexpr LCTYPE LOCALE_ITIMEMARKPOSN = 0x1005;

// Returns the units written including the NUL (or needed, for a size of 0); 0 on failure with the last error set.
int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR buffer, int units);
int GetLocaleInfoA(LCID locale, LCTYPE type, LPSTR buffer, int bytes);
LCID GetUserDefaultLCID();
LANGID GetUserDefaultLangID();

namespace platform {
struct LocaleProfile {
    LANGID language;
    std::u16string decimal, thousand, grouping, time, date, list, am, pm;
    std::u16string timeFormat, shortDate, longDate;
    std::u16string oemCodePage, timeClock, timeMarkPosition, dateOrder;
    // Fields whose read fails (for tests of the readers' error paths).
    std::set<LCTYPE> failing;

    static LocaleProfile EnglishUS();
    static LocaleProfile German(); // comma decimal, point grouping, ";" list, 24-hour clock
};

void SetUserLocale(const LocaleProfile& profile);
const LocaleProfile& UserLocale();

// The C run-time's numeric locale name as setlocale(LC_NUMERIC, …) would report it: "C" at start; setting it to ""
// takes the user's profile and reports its name. The real C library is not changed.
std::string CrtNumericLocale();
// Returns the new name, or an empty string when the name is not known.
std::string SetCrtNumericLocale(const std::string& name);
}
