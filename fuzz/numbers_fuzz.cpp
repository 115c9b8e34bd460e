// The module's text-to-number readers over any text, under user profiles with other decimal points, date separators
// and date orders: numbers read in the user's locale and in the classic one, the words of calculation texts, and
// times and dates. A number read and written again for storage reads back as the very same double; what a reader
// accepts lies in its range.
// Layout of an input: one byte choosing the profile (decimal point, date separator, date order, day of month set),
// then the text as UTF-16 units.
#include "fuzzkit.h"

#include "engine/eeh3params.h"
#include "foundation/localeinfo.h"
#include "foundation/stringstream.h"
#include "platform/win/locale.h"
#include "platform/win/msgbox.h"

#include <cmath>
#include <ctime>
#include <iterator>
#include <locale>
#include <sstream>

namespace {

// The profile that the module's record was made from (-1: none yet).
int g_profile = -1;

void UseProfile(int key)
{
    if (key == g_profile) {
        return;
    }
    static const char16_t* const kDecimals[] = {u".", u",", u"\x066B", u"\x00B7"};
    static const char16_t* const kDateSeparators[] = {u"/", u".", u"-", u" "};
    static const char16_t* const kDateOrders[] = {u"0", u"1", u"2", u"0"};
    platform::LocaleProfile profile = (key & 1) ? platform::LocaleProfile::German() : platform::LocaleProfile::EnglishUS();
    profile.decimal = kDecimals[(key >> 1) & 3];
    profile.thousand = profile.decimal == u"." ? u"," : u".";
    profile.date = kDateSeparators[(key >> 3) & 3];
    profile.dateOrder = kDateOrders[(key >> 5) & 3];
    LocaleInfo::Reset();
    platform::SetCrtNumericLocale("C");
    platform::SetUserLocale(profile);
    LocaleInfo::Current(); // installs the user's locale as the global one
    g_profile = key;
}

template <class T>
bool Read(const std::wstring& text, const std::locale& locale, T& value)
{
    std::wistringstream in(text);
    in.imbue(locale);
    in >> value;
    return !in.fail();
}

void CheckSame(double read, double back, std::string_view what)
{
    fuzzkit::Check(read == back && std::signbit(read) == std::signbit(back), what);
}

// A double as the module stores it (EEH::RoundTrip) and shows it with 17 digits reads back as itself.
void CheckDouble(const std::wstring& text, const std::locale& locale, bool user)
{
    double value = 0.0;
    if (!Read(text, locale, value) || !std::isfinite(value)) {
        return;
    }
    std::wostringstream out;
    out.imbue(locale);
    out << EEH::RoundTrip{value};
    double back = 0.0;
    fuzzkit::Check(Read(out.str(), locale, back), "a stored number could not be read back");
    CheckSame(value, back, "a stored number read back as another");
    if (user) { // the text shown follows the user's locale
        const KVO::String shown = EEH::DoubleToText(value, 17);
        fuzzkit::Check(Read(KVO::ToWide(shown.View()), locale, back), "a shown number could not be read back");
        CheckSame(value, back, "a shown number read back as another");
    }
}

void CheckLong(const std::wstring& text)
{
    long value = 0;
    if (!Read(text, std::locale(), value)) {
        return;
    }
    long back = 0;
    fuzzkit::Check(Read(KVO::ToWide(EEH::LongToText(value).View()), std::locale(), back) && back == value,
                   "a whole number read back as another");
}

// The words of a calculation's parameter text: each is a finite number or leaves the preset, and a number written
// back reads as itself.
void CheckWords(const std::wstring& text)
{
    constexpr double kPreset = -0.125;
    std::wistringstream in(text);
    for (std::size_t words = 0; words <= text.size() && !in.eof(); ++words) {
        double value = kPreset;
        EEH3::ReadDouble(in, value);
        fuzzkit::Check(std::isfinite(value), "a parameter word read as a number that is not finite");
        std::wostringstream out;
        EEH3::WriteDouble(out, value);
        std::wistringstream again(out.str());
        double back = 0.5;
        EEH3::ReadDouble(again, back);
        CheckSame(value, back, "a parameter number written back read as another");
    }
}

void CheckTimes(const std::wstring& text, bool dayKnown)
{
    const auto& facet = std::use_facet<std::time_get<wchar_t>>(std::locale());
    for (const bool date : {false, true}) {
        std::wistringstream in(text);
        std::tm time{};
        time.tm_mday = dayKnown ? 1 : 0;
        std::ios_base::iostate state = std::ios_base::goodbit;
        const std::istreambuf_iterator<wchar_t> begin(in);
        if (date) {
            facet.get_date(begin, {}, in, state, &time);
        } else {
            facet.get_time(begin, {}, in, state, &time);
        }
        if (state & std::ios_base::failbit) {
            continue;
        }
        if (date) {
            fuzzkit::Check(time.tm_mon >= 0 && time.tm_mon <= 11, "a date read with a month out of range");
            fuzzkit::Check(time.tm_mday >= 1 && time.tm_mday <= 31, "a date read with a day out of range");
        } else {
            fuzzkit::Check(time.tm_hour >= 0 && (!dayKnown || time.tm_hour <= 23), "a time read with its hour out of range");
            // Minutes may run past 59 in the minutes-and-seconds form of a duration.
            fuzzkit::Check(time.tm_min >= 0, "a time read with negative minutes");
            fuzzkit::Check(time.tm_sec >= 0 && time.tm_sec <= 59, "a time read with its seconds out of range");
        }
    }
}

std::vector<fuzzkit::Bytes> Seeds()
{
    std::vector<fuzzkit::Bytes> seeds;
    const std::pair<std::uint8_t, std::u16string_view> texts[] = {
        {0, u"1234.5"},       {3, u"-0,000125"},       {0, u"1e-320"},    {2, u"1.79769313486231571e+308 1e400"},
        {3, u"12:34:56"},     {0, u"99:59.5"},         {1, u"31.12.99"},  {0x20, u"2024/2/29"},
        {0x40, u"7 Mar 1999"}, {0, u"  -42  0x1F nan"}, {5, u"3\x066B" u"25"}, {0, u"+.5e+3 -inf 0 -0"},
    };
    for (const auto& [profile, text] : texts) {
        seeds.push_back(fuzzkit::TextSeed(profile, text));
    }
    return seeds;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::WriteSeedsIfAsked("numbers", Seeds);
    // The unsupported decimal points of some profiles are reported in a box; nobody is there to read it.
    platform::SetMessageBoxHook([](const platform::MessageBoxCall&) { return IDOK; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzkit::Input input(data, size);
    const std::uint8_t choice = input.Byte();
    UseProfile(choice & 0x7F);
    std::u16string units = input.Text16();
    if (units.size() > 256) {
        units.resize(256); // longer texts find nothing new and slow every run
    }
    const std::wstring text = KVO::ToWide(units);
    CheckDouble(text, std::locale(), true);
    CheckDouble(text, std::locale::classic(), false);
    CheckLong(text);
    CheckWords(text);
    CheckTimes(text, choice & 0x80);
    return 0;
}
