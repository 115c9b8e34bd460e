#include "foundation/localeinfo.h"

#include "foundation/formatstream.h"
#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "resources/stringtable.h"
#include "platform/win/errors.h"
#include "platform/win/locale.h"
#include "platform/win/msgbox.h"

#include <charconv>
#include <cmath>
#include <map>
#include <sstream>

namespace {
constexpr UINT kCaption = StringId::LocaleCaption;
constexpr UINT kSettingsUnreadable = StringId::LocaleUnreadable;
constexpr UINT kDecimalIsDateSeparator = StringId::LocaleDecimalIsDateSeparator;
constexpr UINT kDecimalIsListSeparator = StringId::LocaleDecimalIsListSeparator;
constexpr UINT kUnsupportedDecimal = StringId::LocaleUnsupportedDecimal;
constexpr UINT kCrtFirstError = StringId::LocaleCrtFirstError;
constexpr UINT kCrtOtherError = StringId::LocaleCrtOtherError;

const KVO::String& Text(UINT id)
{
    // Each text is loaded once and kept until the module unloads.
    static std::map<UINT, KVO::String> loaded;
    auto found = loaded.find(id);
    if (found == loaded.end()) {
        found = loaded.emplace(id, KVO::LoadResourceString(KVO::ModuleInstance(), id, true)).first;
    }
    return found->second;
}

LocaleInfo* g_current = nullptr;
LocaleInfo g_record;

// en-US values stand in for a field the system cannot read.
const platform::LocaleProfile& Fallback()
{
    static const platform::LocaleProfile profile = platform::LocaleProfile::EnglishUS();
    return profile;
}

template <std::size_t N>
bool ReadField(LCTYPE type, char16_t (&field)[N], const std::u16string& fallback)
{
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, field, N) != 0) {
        return true;
    }
    const std::size_t n = std::min(fallback.size(), N - 1);
    std::copy_n(fallback.data(), n, field);
    field[n] = 0;
    return false;
}

bool ReadNumber(LCTYPE type, long& value, const std::u16string& fallback)
{
    char16_t buffer[8] = {};
    const bool ok = ReadField(type, buffer, fallback);
    value = 0;
    for (const char16_t* p = buffer; *p >= u'0' && *p <= u'9'; ++p) {
        value = value * 10 + (*p - u'0');
    }
    return ok;
}

bool ReadFormat(LCTYPE type, KVO::String& target, const std::u16string& fallback)
{
    const int units = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, nullptr, 0);
    if (units > 0) {
        KVO::StringBuffer buffer = target.PrepareBuffer(units);
        if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer.Data(), units) != 0) {
            return true;
        }
    }
    target = KVO::String(fallback);
    return false;
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

template <class Iter>
Iter SkipSpaces(Iter at, Iter end)
{
    while (at != end && (*at == L' ' || *at == L'\t')) {
        ++at;
    }
    return at;
}

// Reads up to `maxDigits` decimal digits; false when there is none.
template <class Iter>
bool ReadDigits(Iter& at, Iter end, int maxDigits, long long& value)
{
    value = 0;
    int digits = 0;
    while (at != end && IsDigit(*at) && digits < maxDigits) {
        value = std::min<long long>(value * 10 + (*at - L'0'), 0x7FFFFFFF);
        ++at;
        ++digits;
    }
    return digits > 0;
}
}

template <class CharT>
NoThousandsSep<CharT>::NoThousandsSep(std::size_t refs)
    : CRTBug_UserRadix_NoThousandsSep<CharT>(
          [] {
              const LocaleInfo& info = LocaleInfo::Current();
              if constexpr (sizeof(CharT) == 1) {
                  return static_cast<CharT>(info.decimalAnsi[0] ? info.decimalAnsi[0] : '.');
              } else {
                  return static_cast<CharT>(info.decimal[0] ? info.decimal[0] : u'.');
              }
          }(),
          [] {
              const LocaleInfo& info = LocaleInfo::Current();
              return static_cast<CharT>(info.thousand[0] && info.thousand[0] < 0x80 ? info.thousand[0] : ',');
          }(),
          refs)
{
}

template class NoThousandsSep<char>;
template class NoThousandsSep<wchar_t>;

namespace KVO {
template <class CharT>
typename time_get<CharT>::dateorder time_get<CharT>::do_date_order() const
{
    char16_t order[8] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDATE, order, 8);
    switch (order[0]) {
    case u'1': return std::time_base::dmy;
    case u'2': return std::time_base::ymd;
    default: return std::time_base::mdy;
    }
}

template <class CharT>
typename time_get<CharT>::iter_type time_get<CharT>::do_get_time(iter_type begin, iter_type end, std::ios_base& stream,
                                                                 std::ios_base::iostate& state, std::tm* time) const
{
    const auto& ctype = std::use_facet<std::ctype<CharT>>(stream.getloc());
    const CharT colon = ctype.widen(':');
    long long hours = 0;
    long long minutes = 0;
    long long seconds = 0;
    auto fail = [&] {
        state |= std::ios_base::failbit;
        return begin;
    };
    if (!ReadDigits(begin, end, 10, hours) || (time->tm_mday != 0 && hours > 23)) {
        return fail();
    }
    if (begin == end || *begin != colon) {
        return fail();
    }
    ++begin;
    if (!ReadDigits(begin, end, 2, minutes) || minutes > 59) {
        return fail();
    }
    const CharT decimal = std::use_facet<std::numpunct<CharT>>(stream.getloc()).decimal_point();
    if (begin != end && *begin == decimal) {
        // "mm:ss.fff": the two numbers were minutes and seconds; the fraction stays for the caller.
        time->tm_hour = 0;
        time->tm_min = static_cast<int>(hours);
        time->tm_sec = static_cast<int>(minutes);
        return begin;
    }
    if (begin == end || *begin != colon) {
        return fail();
    }
    ++begin;
    if (!ReadDigits(begin, end, 2, seconds) || seconds > 59) {
        return fail();
    }
    time->tm_hour = static_cast<int>(hours);
    time->tm_min = static_cast<int>(minutes);
    time->tm_sec = static_cast<int>(seconds);
    if (begin == end) {
        state |= std::ios_base::eofbit;
    }
    return begin;
}

template <class CharT>
typename time_get<CharT>::iter_type time_get<CharT>::do_get_date(iter_type begin, iter_type end, std::ios_base& stream,
                                                                 std::ios_base::iostate& state, std::tm* time) const
{
    enum Field { kDay, kMonth, kYear };
    Field fields[3] = {kMonth, kDay, kYear};
    switch (this->date_order()) {
    case std::time_base::dmy: fields[0] = kDay; fields[1] = kMonth; fields[2] = kYear; break;
    case std::time_base::ymd: fields[0] = kYear; fields[1] = kMonth; fields[2] = kDay; break;
    case std::time_base::ydm: fields[0] = kYear; fields[1] = kDay; fields[2] = kMonth; break;
    default: break;
    }
    const CharT userSeparator = static_cast<CharT>(LocaleInfo::Current().dateSeparator[0]);
    auto isSeparator = [&](CharT c) {
        return c == CharT(':') || c == CharT(',') || c == CharT('/') || (userSeparator != 0 && c == userSeparator);
    };
    std::tm result = *time;
    for (int i = 0; i < 3; ++i) {
        begin = SkipSpaces(begin, end);
        if (i > 0) {
            if (begin != end && isSeparator(*begin)) {
                ++begin;
            }
            begin = SkipSpaces(begin, end);
        }
        long long value = 0;
        if (fields[i] == kMonth && begin != end && !IsDigit(*begin)) {
            std::ios_base::iostate nameState = std::ios_base::goodbit;
            begin = std::time_get<CharT>::do_get_monthname(begin, end, stream, nameState, &result);
            if (nameState & std::ios_base::failbit) {
                state |= std::ios_base::failbit;
                return begin;
            }
            continue;
        }
        if (!ReadDigits(begin, end, fields[i] == kYear ? 4 : 2, value)) {
            state |= std::ios_base::failbit;
            return begin;
        }
        switch (fields[i]) {
        case kDay:
            if (value < 1 || value > 31) {
                state |= std::ios_base::failbit;
                return begin;
            }
            result.tm_mday = static_cast<int>(value);
            break;
        case kMonth:
            if (value < 1 || value > 12) {
                state |= std::ios_base::failbit;
                return begin;
            }
            result.tm_mon = static_cast<int>(value - 1);
            break;
        case kYear:
            result.tm_year = static_cast<int>(value < 69 ? value + 100 : value < 100 ? value : value - 1900);
            break;
        }
    }
    *time = result;
    if (begin == end) {
        state |= std::ios_base::eofbit;
    }
    return begin;
}

template class time_get<wchar_t>;
template class time_getEx<wchar_t>;
}

LocaleInfo::~LocaleInfo()
{
    if (installedGlobalLocale) {
        std::locale::global(std::locale::classic());
    }
}

LocaleInfo& LocaleInfo::Current()
{
    if (!g_current) {
        g_current = &g_record;
        g_record.Initialize();
    }
    return *g_current;
}

void LocaleInfo::Reset()
{
    if (g_record.installedGlobalLocale) {
        std::locale::global(std::locale::classic());
    }
    g_record.Clear();
    g_current = nullptr;
}

void LocaleInfo::Clear()
{
    decimalAnsi[0] = 0;
    decimal[0] = thousand[0] = timeSeparator[0] = dateSeparator[0] = listSeparator[0] = 0;
    amDesignator[0] = pmDesignator[0] = 0;
    timeFormat = KVO::String();
    shortDateFormat = KVO::String();
    longDateFormat = KVO::String();
    oemCodePage = 0;
    clock24 = designatorFirst = installedGlobalLocale = 0;
}

void LocaleInfo::Initialize()
{
    Clear();
    const platform::LocaleProfile& fallback = Fallback();
    bool allRead = true;
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimalAnsi, sizeof decimalAnsi) == 0) {
        decimalAnsi[0] = '.';
        decimalAnsi[1] = 0;
        allRead = false;
    }
    allRead &= ReadField(LOCALE_SDECIMAL, decimal, fallback.decimal);
    allRead &= ReadField(LOCALE_STHOUSAND, thousand, fallback.thousand);
    allRead &= ReadField(LOCALE_STIME, timeSeparator, fallback.time);
    allRead &= ReadField(LOCALE_SDATE, dateSeparator, fallback.date);
    allRead &= ReadField(LOCALE_SLIST, listSeparator, fallback.list);
    allRead &= ReadField(LOCALE_S1159, amDesignator, fallback.am);
    allRead &= ReadField(LOCALE_S2359, pmDesignator, fallback.pm);
    long number = 0;
    allRead &= ReadNumber(LOCALE_ITIME, number, fallback.timeClock);
    clock24 = number == 1;
    allRead &= ReadNumber(LOCALE_ITIMEMARKPOSN, number, fallback.timeMarkPosition);
    designatorFirst = number != 0;
    allRead &= ReadNumber(LOCALE_IDEFAULTCODEPAGE, number, fallback.oemCodePage);
    oemCodePage = static_cast<std::uint16_t>(number);
    allRead &= ReadFormat(LOCALE_STIMEFORMAT, timeFormat, fallback.timeFormat);
    allRead &= ReadFormat(LOCALE_SLONGDATE, longDateFormat, fallback.longDate);
    allRead &= ReadFormat(LOCALE_SSHORTDATE, shortDateFormat, fallback.shortDate);

    // A field that could not be read took its en-US value; the user hears of it once, and the rest goes on.
    KVO::String warnings;
    if (!allRead) {
        warnings.Append(Text(kSettingsUnreadable));
    }

    if (platform::CrtNumericLocale() != "C") {
        // The host chose the run-time's number format itself: leave the process's locales alone.
        if (!warnings.IsEmpty()) {
            MessageBoxW(nullptr, warnings, Text(kCaption), MB_TASKMODAL);
        }
        return;
    }

    try {
        std::locale user(std::locale(), new NoThousandsSep<wchar_t>);
        user = std::locale(user, new NoThousandsSep<char>);
        user = std::locale(user, new KVO::time_getEx<wchar_t>);
        std::locale::global(user);
    } catch (const std::exception&) {
        std::locale fallbackLocale(std::locale::classic(),
                                   new CRTBug_UserRadix_NoThousandsSep<wchar_t>(static_cast<wchar_t>(decimal[0]),
                                                                                static_cast<wchar_t>(thousand[0])));
        std::locale::global(std::locale(fallbackLocale, new KVO::time_getEx<wchar_t>));
    }
    installedGlobalLocale = 1;

    auto addWarning = [&warnings](const KVO::String& text) {
        if (!warnings.IsEmpty()) {
            warnings.Append(u"\n");
        }
        warnings.Append(text);
    };
    const std::u16string_view decimalText(decimal);
    if (decimalText == std::u16string_view(dateSeparator)) {
        addWarning(Text(kDecimalIsDateSeparator));
    }
    if (decimalText == std::u16string_view(listSeparator)) {
        addWarning(Text(kDecimalIsListSeparator));
    }
    if (decimalText != u"." && decimalText != u",") {
        std::wostringstream units;
        units << std::hex;
        for (char16_t unit : decimalText) {
            units << L' ' << static_cast<unsigned>(unit);
        }
        KVO::OFormatStringStream format(Text(kUnsupportedDecimal));
        format << KVO::String(units.str());
        addWarning(format.str());
    }

    if (platform::SetCrtNumericLocale("").empty()) {
        const DWORD error = GetLastError();
        if (error >= 0x20000101 && error <= 0x20000106) {
            warnings = Text(kCrtFirstError + (error - 0x20000101));
        } else {
            char16_t system[512] = {};
            FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0x0400, system,
                           511, nullptr);
            KVO::OFormatStringStream format(Text(kCrtOtherError));
            format << KVO::String(system);
            warnings = format.str();
        }
    }

    if (!warnings.IsEmpty()) {
        MessageBoxW(nullptr, warnings, Text(kCaption), MB_TASKMODAL);
    }
}

namespace KVOLocale {
const char16_t* GetListSeparator() { return LocaleInfo::Current().listSeparator; }
}

namespace EEH {
KVO::String LongToText(long value)
{
    std::wostringstream out;
    out << value;
    return KVO::String(out.str());
}

KVO::String DoubleToText(double value, int precision)
{
    if (std::isinf(value)) {
        return KVO::String(value > 0 ? u"infinity" : u"-infinity");
    }
    if (std::isnan(value)) {
        return KVO::String(u"NaN");
    }
    std::wostringstream out;
    out.precision(precision);
    out << value;
    return KVO::String(out.str());
}

int RoundTripPrecision(double value)
{
    constexpr int kLeast = 6;
    constexpr int kMost = 17; // every double reads back from 17 significant digits
    if (!std::isfinite(value)) {
        return kLeast;
    }
    for (int digits = kLeast; digits < kMost; ++digits) {
        char text[32];
        const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits);
        double back = 0.0;
        const auto read = std::from_chars(text, written.ptr, back);
        if (read.ec == std::errc() && back == value) {
            return digits;
        }
    }
    return kMost;
}

std::wostream& operator<<(std::wostream& out, RoundTrip number)
{
    const std::streamsize kept = out.precision(RoundTripPrecision(number.value));
    out << number.value;
    out.precision(kept);
    return out;
}
}
