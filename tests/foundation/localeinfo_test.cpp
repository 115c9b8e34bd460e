#include "foundation/localeinfo.h"

#include "platform/win/locale.h"
#include "platform/win/msgbox.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>
#include <string>
#include <sstream>
#include <vector>

namespace {
// Each test starts from a fresh record under a chosen user profile and leaves the classic locale behind.
class LocaleInfoTest : public ::testing::Test {
protected:
    void Use(const platform::LocaleProfile& profile)
    {
        platform::SetUserLocale(profile);
        previousHook_ = platform::SetMessageBoxHook([this](const platform::MessageBoxCall& call) {
            boxes_.push_back(call);
            return IDOK;
        });
    }
    void TearDown() override
    {
        LocaleInfo::Reset();
        platform::SetCrtNumericLocale("C");
        platform::SetUserLocale(platform::LocaleProfile::EnglishUS());
        platform::SetMessageBoxHook(std::move(previousHook_));
    }

    std::vector<platform::MessageBoxCall> boxes_;
    platform::MessageBoxHook previousHook_;
};

std::tm Read(bool date, const std::wstring& text, int dayOfMonth, std::ios_base::iostate& state, std::wstring& rest)
{
    std::wistringstream in(text);
    in.imbue(std::locale(std::locale::classic(), new KVO::time_getEx<wchar_t>));
    std::tm time{};
    time.tm_mday = dayOfMonth;
    state = std::ios_base::goodbit;
    const auto& facet = std::use_facet<std::time_get<wchar_t>>(in.getloc());
    auto at = date ? facet.get_date(std::istreambuf_iterator<wchar_t>(in), {}, in, state, &time)
                   : facet.get_time(std::istreambuf_iterator<wchar_t>(in), {}, in, state, &time);
    rest.assign(at, std::istreambuf_iterator<wchar_t>());
    return time;
}
}

TEST_F(LocaleInfoTest, CommaDecimalUserWritesNumbersWithoutGrouping)
{
    Use(platform::LocaleProfile::German());
    const LocaleInfo& info = LocaleInfo::Current();
    EXPECT_EQ(std::u16string(info.decimal), u",");
    EXPECT_EQ(std::u16string(info.listSeparator), u";");
    EXPECT_STREQ(info.decimalAnsi, ",");
    EXPECT_EQ(info.clock24, 1);
    EXPECT_EQ(info.oemCodePage, 850);
    EXPECT_EQ(info.timeFormat.View(), u"HH:mm:ss");
    EXPECT_TRUE(info.installedGlobalLocale);
    EXPECT_EQ(std::u16string(KVOLocale::GetListSeparator()), u";");

    EXPECT_EQ(EEH::DoubleToText(1234.5, 6).View(), u"1234,5");
    EXPECT_EQ(EEH::DoubleToText(1234567.0, 10).View(), u"1234567");
    EXPECT_EQ(EEH::LongToText(1234567).View(), u"1234567");
    EXPECT_EQ(EEH::DoubleToText(-INFINITY, 6).View(), u"-infinity");
    EXPECT_EQ(EEH::DoubleToText(INFINITY, 6).View(), u"infinity");
    EXPECT_EQ(EEH::DoubleToText(std::nan(""), 6).View(), u"NaN");
    EXPECT_TRUE(boxes_.empty()); // "," differs from "." and ";": nothing to warn about

    // A classic stream is untouched by the installed global locale.
    std::wostringstream classic;
    classic.imbue(std::locale::classic());
    classic << 1234.5;
    EXPECT_EQ(classic.str(), L"1234.5");

    LocaleInfo::Reset();
    std::wostringstream afterReset;
    afterReset << 1234.5;
    EXPECT_EQ(afterReset.str(), L"1234.5");
}

TEST_F(LocaleInfoTest, ConflictingSeparatorsWarnOnceAtFirstUse)
{
    auto profile = platform::LocaleProfile::German();
    profile.date = u",";
    profile.list = u",";
    Use(profile);
    LocaleInfo::Current();
    LocaleInfo::Current();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].type, MB_TASKMODAL);
    EXPECT_NE(boxes_[0].text.find(u'\n'), std::u16string::npos); // both conflicts named
}

TEST_F(LocaleInfoTest, UnsupportedDecimalSeparatorIsNamedByItsUnits)
{
    auto profile = platform::LocaleProfile::EnglishUS();
    profile.decimal = u"\u066B";
    Use(profile);
    LocaleInfo::Current();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_NE(boxes_[0].text.find(u" 66b"), std::u16string::npos);
}

TEST_F(LocaleInfoTest, UnreadableFieldsTakeUsDefaultsAndTheRestGoesOn)
{
    auto profile = platform::LocaleProfile::German();
    profile.failing = {LOCALE_SLIST, LOCALE_STIMEFORMAT};
    Use(profile);
    const LocaleInfo& info = LocaleInfo::Current();
    EXPECT_EQ(std::u16string(info.listSeparator), u",");
    EXPECT_EQ(info.timeFormat.View(), u"h:mm:ss tt");
    EXPECT_EQ(std::u16string(info.decimal), u","); // read after the failure all the same
    EXPECT_TRUE(info.installedGlobalLocale);
    EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(LocaleInfoTest, HostChosenRuntimeLocaleIsLeftAlone)
{
    Use(platform::LocaleProfile::German());
    platform::SetCrtNumericLocale("English");
    const LocaleInfo& info = LocaleInfo::Current();
    EXPECT_FALSE(info.installedGlobalLocale);
    std::wostringstream out;
    out << 1234.5;
    EXPECT_EQ(out.str(), L"1234.5");
}

TEST_F(LocaleInfoTest, TimesMayBeDurationsOrMinutesBeforeAFraction)
{
    Use(platform::LocaleProfile::EnglishUS());
    std::ios_base::iostate state;
    std::wstring rest;
    std::tm t = Read(false, L"12:34.5", 1, state, rest);
    EXPECT_FALSE(state & std::ios_base::failbit);
    EXPECT_EQ(t.tm_hour, 0);
    EXPECT_EQ(t.tm_min, 12);
    EXPECT_EQ(t.tm_sec, 34);
    EXPECT_EQ(rest, L".5");

    t = Read(false, L"25:00:00", 0, state, rest);
    EXPECT_FALSE(state & std::ios_base::failbit);
    EXPECT_EQ(t.tm_hour, 25);
    Read(false, L"25:00:00", 3, state, rest);
    EXPECT_TRUE(state & std::ios_base::failbit);

    t = Read(false, L"7:05:09", 1, state, rest);
    EXPECT_FALSE(state & std::ios_base::failbit);
    EXPECT_EQ(t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec, 7 * 3600 + 5 * 60 + 9);
    for (const wchar_t* bad : {L"7:05", L"7-05-09", L"7:60:00", L":05:09"}) {
        Read(false, bad, 1, state, rest);
        EXPECT_TRUE(state & std::ios_base::failbit) << bad;
    }
}

TEST_F(LocaleInfoTest, DatesFollowTheUserFieldOrderAndSeparator)
{
    Use(platform::LocaleProfile::German());
    std::ios_base::iostate state;
    std::wstring rest;
    std::tm date = Read(true, L"24.12.2026", 0, state, rest);
    EXPECT_FALSE(state & std::ios_base::failbit);
    EXPECT_EQ(date.tm_mday, 24);
    EXPECT_EQ(date.tm_mon, 11);
    EXPECT_EQ(date.tm_year, 126);

    LocaleInfo::Reset();
    platform::SetUserLocale(platform::LocaleProfile::EnglishUS());
    date = Read(true, L"12/24/26", 0, state, rest);
    EXPECT_FALSE(state & std::ios_base::failbit);
    EXPECT_EQ(date.tm_mday, 24);
    EXPECT_EQ(date.tm_mon, 11);
    EXPECT_EQ(date.tm_year, 126);
    Read(true, L"13/24/26", 0, state, rest);
    EXPECT_TRUE(state & std::ios_base::failbit);
}

namespace {
struct CommaPoint : std::numpunct<wchar_t> {
    wchar_t do_decimal_point() const override { return L','; }
};

std::wstring Classic(double value, int precision = 6)
{
    std::wostringstream out;
    out.imbue(std::locale::classic());
    out.precision(precision);
    out << EEH::RoundTrip{value};
    return out.str();
}
}

TEST(RoundTripNumbers, TheFewestDigitsFromSixThatReadBack)
{
    const std::pair<double, const wchar_t*> cases[] = {
        {1234567.8, L"1234567.8"},          {1.2345678e-5, L"1.2345678e-05"},   {123.44996, L"123.44996"},
        {0.1 + 0.2, L"0.30000000000000004"}, {DBL_MAX, L"1.7976931348623157e+308"}, {DBL_MIN, L"2.2250738585072014e-308"}, {5e-324, L"4.94066e-324"},
        {-2.5, L"-2.5"},                    {2e9, L"2e+09"},                    {-0.0, L"-0"},
        {INFINITY, L"inf"},                 {1234567.0, L"1234567"},           {0.0005, L"0.0005"},
    };
    for (const auto& [value, text] : cases) {
        const std::wstring written = Classic(value);
        EXPECT_EQ(written, text);
        EXPECT_EQ(std::wcstod(written.c_str(), nullptr), value) << std::string(written.begin(), written.end());
    }
    EXPECT_EQ(EEH::RoundTripPrecision(std::nan("")), 6);

    // Whatever six digits carry is written as the stream's default writes it, byte for byte.
    std::mt19937 random(41);
    std::uniform_int_distribution<int> mantissa(-999999, 999999);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int i = 0; i < 2000; ++i) {
        const double value = std::stod(std::to_string(mantissa(random)) + "e" + std::to_string(exponent(random)));
        std::wostringstream plain;
        plain.imbue(std::locale::classic());
        plain << value;
        EXPECT_EQ(Classic(value), plain.str()) << value;
    }

    // The stream keeps its own precision and its locale's decimal point.
    std::wostringstream out;
    out.imbue(std::locale(std::locale::classic(), new CommaPoint));
    out.precision(3);
    out << EEH::RoundTrip{1234567.8} << L' ' << 1234567.8;
    EXPECT_EQ(out.str(), L"1234567,8 1,23e+06");
}
