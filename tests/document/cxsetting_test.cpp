#include "document/cxsetting.h"
#include "docfixtures.h"
#include "foundation/localeinfo.h"

#include <climits>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>
#include <type_traits>

using namespace CX::Doc;
using doctest::Utf8;

namespace {

KVO::String Text(const CXSetting& setting, bool classic = true) { return setting.ToText(classic); }

struct NumberCase {
    const char* what;
    const char16_t* start; // the text the setting holds before
    const char16_t* input;
    const char* expectedText;
    bool expectedValid;
};

void RunCases(CXSetting& setting, const std::vector<NumberCase>& cases)
{
    for (const NumberCase& c : cases) {
        setting.FromText(KVO::String(c.start), true);
        setting.FromText(KVO::String(c.input), true);
        EXPECT_EQ(Utf8(Text(setting).View()), c.expectedText) << c.what;
        EXPECT_EQ(setting.IsValid(), c.expectedValid) << c.what;
    }
}

// A locale whose decimal point is a comma, to tell the classic form from the stream's default.
struct CommaPunct : std::numpunct<wchar_t> {
    wchar_t do_decimal_point() const override { return L','; }
};

class CommaGlobalLocale {
public:
    CommaGlobalLocale() : previous_(std::locale::global(std::locale(std::locale::classic(), new CommaPunct))) {}
    ~CommaGlobalLocale() { std::locale::global(previous_); }

private:
    std::locale previous_;
};

} // namespace

TEST(SettingValues, IntegersReadTheLeadingNumberAndCheckTheirRange)
{
    CXSettingInt setting(1, 0, 1, 7, 0, 100);
    RunCases(setting, {
        {"inside", u"7", u"42", "42", true},
        {"lower bound", u"7", u"0", "0", true},
        {"upper bound", u"7", u"100", "100", true},
        {"above the range is kept", u"7", u"150", "150", false},
        {"below the range is kept", u"7", u"-1", "-1", false},
        {"no number keeps the value", u"7", u"abc", "7", true},
        {"empty keeps the value", u"7", u"", "7", true},
        {"trailing text is ignored", u"7", u"12abc", "12", true},
        {"leading blanks are skipped", u"7", u"  33", "33", true},
        {"a fraction stops the number", u"7", u"12.9", "12", true},
        {"too large for 32 bits keeps the value", u"7", u"2147483648", "7", true},
    });
    EXPECT_EQ(setting.AsDouble(), 7.0);
    setting.FromText(KVO::String(u"150"), true);
    setting.Reset();
    EXPECT_EQ(setting.Value(), 7);
    EXPECT_EQ(setting.Kind(), kSettingInt);
}

TEST(SettingValues, StepOfTenIntegersMustBeMultiplesOfTen)
{
    CXSetting_Int10 setting(1011, 2, 2, 40, 0, 100);
    EXPECT_EQ(setting.Kind(), kSettingInt10);
    RunCases(setting, {
        {"40", u"40", u"40", "40", true},
        {"45 is no step", u"40", u"45", "45", false},
        {"110 is above", u"40", u"110", "110", false},
        {"0", u"40", u"0", "0", true},
        {"100", u"40", u"100", "100", true},
        {"-10 is below", u"40", u"-10", "-10", false},
    });
}

TEST(SettingValues, DoublesWriteTheFewestDigitsFromSixThatReadBackInTheClassicForm)
{
    CXSettingDouble setting(1032, 2, 34, 4, 0.1, 100);
    RunCases(setting, {
        {"below", u"4", u"0.05", "0.05", false},
        {"lower bound", u"4", u"0.1", "0.1", true},
        {"upper bound", u"4", u"100", "100", true},
        {"above", u"4", u"100.001", "100.001", false},
        {"seven digits stay seven", u"4", u"12.345678", "12.345678", true},
        {"a sum that six digits do not carry", u"4", u"0.30000000000000004", "0.30000000000000004", true},
        {"exponent form", u"4", u"5e1", "50", true},
        {"three-digit exponent", u"4", u"1.5e+001", "15", true},
        {"no number keeps the value", u"4", u"x1", "4", true},
        {"trailing text", u"4", u"2.5ms", "2.5", true},
    });

    CXSettingDouble wide(1005, 0, 24, 50, 0, 2000000000);
    RunCases(wide, {
        {"large values use the exponent form", u"50", u"2000000000", "2e+09", true},
        {"a million and a bit", u"50", u"1234567.89", "1234567.89", true},
        {"six digits in the exponent form as before", u"50", u"1234560", "1.23456e+06", true},
        {"three-digit exponents are read", u"50", u"2e+009", "2e+09", true},
        {"small values", u"50", u"0.0005", "0.0005", true},
        {"beyond a double keeps the value", u"50", u"1e999", "50", true},
    });
    // A value with more digits comes back unchanged after a round trip through its text.
    wide.SetValue(1234567.89);
    wide.FromText(wide.ToText(true), true);
    EXPECT_EQ(wide.Value(), 1234567.89);
    wide.SetValue(1.0 / 3.0);
    EXPECT_EQ(Utf8(Text(wide).View()), "0.3333333333333333");
    wide.FromText(wide.ToText(true), true);
    EXPECT_EQ(wide.Value(), 1.0 / 3.0);

    setting.SetValue(std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(setting.IsValid());
    CXSettingDouble unbounded(1040, 5, 15, 0, -std::numeric_limits<double>::max(),
                              std::numeric_limits<double>::max());
    unbounded.SetValue(std::numeric_limits<double>::infinity());
    EXPECT_FALSE(unbounded.IsValid());
    unbounded.SetValue(-std::numeric_limits<double>::max());
    EXPECT_TRUE(unbounded.IsValid());
    EXPECT_EQ(Utf8(Text(unbounded).View()), "-1.7976931348623157e+308");
}

TEST(SettingValues, TheClassicFlagIgnoresTheProcessLocale)
{
    CommaGlobalLocale comma;
    CXSettingDouble setting(1006, 1, 10, 0.03, 0, 1);
    EXPECT_EQ(Utf8(Text(setting, true).View()), "0.03");
    EXPECT_EQ(Utf8(Text(setting, false).View()), "0,03");
    setting.FromText(KVO::String(u"0.5"), true);
    EXPECT_EQ(setting.Value(), 0.5);
    setting.FromText(KVO::String(u"0,25"), false);
    EXPECT_EQ(setting.Value(), 0.25);
    setting.FromText(KVO::String(u"0,75"), true); // the classic reader stops at the comma
    EXPECT_EQ(setting.Value(), 0.0);
    // Longer texts take the same decimal point.
    setting.SetValue(0.1 + 0.2);
    EXPECT_EQ(Utf8(Text(setting, true).View()), "0.30000000000000004");
    EXPECT_EQ(Utf8(Text(setting, false).View()), "0,30000000000000004");
}

// The classic texts are the very texts a classic stream writes, for every kind of value: they are stored in files.
TEST(SettingValues, ClassicTextsAreWhatAClassicStreamWrites)
{
    const auto streamed = [](auto value) {
        std::wostringstream out;
        out.imbue(std::locale::classic());
        if constexpr (std::is_floating_point_v<decltype(value)>) {
            out << EEH::RoundTrip{value};
        } else {
            out << value;
        }
        return Utf8(KVO::String(out.str()).View());
    };
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> doubles = {0.0, -0.0, 1.0, -1.0, 0.1, 0.3, 1.0 / 3.0, 2.0 / 3.0, 1e-5, 1e-4, 123456.0,
                                   1234567.0, 1e15, 1e16, 1e17, 1.5e300, -2.5e-300, 4.9e-324, 2.2250738585072014e-308,
                                   std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(), kInf,
                                   -kInf, kNaN, -kNaN, 0.30000000000000004, 99999.5, 999999.5, 0.000123456789};
    double x = 0.7;
    for (int i = 0; i < 400; ++i) {
        x = std::fmod(x * 7919.123456789 + 0.3183098861837907, 1.0);
        doubles.push_back((x - 0.5) * std::pow(10.0, (i % 41) - 20));
        doubles.push_back(std::round(x * 1e6) / std::pow(10.0, i % 9));
    }
    CXSettingDouble real(1040, 5, 15, 0, -kInf, kInf);
    for (const double value : doubles) {
        real.SetValue(value);
        ASSERT_EQ(Utf8(Text(real).View()), streamed(value)) << value;
    }
    CXSettingLong whole(2005, 4, 31, -1, -1, INT_MAX);
    for (const std::int32_t value : {0, 1, -1, 9, 10, -10, 12345, INT_MAX, INT_MIN, INT_MIN + 1, -999999}) {
        whole.SetValue(value);
        ASSERT_EQ(Utf8(Text(whole).View()), streamed(value)) << value;
    }
}

// Stored texts are read back as a classic stream reads them: the same value for every text, or the value kept where
// the stream refuses the text.
TEST(SettingValues, ClassicTextsReadAsAClassicStreamReadsThem)
{
    const auto streamRead = [](std::u16string_view text, auto start) {
        std::wistringstream in(std::wstring(text.begin(), text.end()));
        in.imbue(std::locale::classic());
        decltype(start) read{};
        in >> read;
        return in.fail() ? start : read;
    };
    std::vector<std::u16string> texts = {
        u"0", u"-0", u"0.0", u"-0.0", u"00012.500", u"1E5", u"1e+5", u"1e-5", u"1e05", u"1.5e+300", u"1e308",
        u"1.7976931348623157e+308", u"1.7976931348623159e+308", u"1e309", u"-1e400", u"1e-400", u"4.9e-324",
        u"3e-324", u"2e-324", u"2.2250738585072011e-308", u"0.1000000000000000055511151231257827021181583404541015625",
        u"123456789012345678901234567890", u"2147483647", u"2147483648", u"-2147483648", u"-2147483649", u"007",
        u"99999999999999999999", u"1e", u"1e+", u"1.", u".5", u"-.5", u"+5", u" 5", u"5 ", u"5x", u"--5", u"-",
        u"", u"inf", u"nan", u"0x10", u"1,5", u"1.5.5", u"1e5.5", u"1e5e5"};
    double x = 0.7;
    for (int i = 0; i < 300; ++i) {
        x = std::fmod(x * 7919.123456789 + 0.3183098861837907, 1.0);
        CXSettingDouble written(1040, 5, 15, 0, -std::numeric_limits<double>::max(), std::numeric_limits<double>::max());
        written.SetValue((x - 0.5) * std::pow(10.0, (i % 61) - 30));
        texts.push_back(std::u16string(Text(written).View()));
    }
    for (const std::u16string& text : texts) {
        CXSettingDouble real(1040, 5, 15, 0.25, -1, 1);
        real.FromText(KVO::String(text.c_str()), true);
        const double expected = streamRead(text, 0.25);
        EXPECT_TRUE(real.Value() == expected && std::signbit(real.Value()) == std::signbit(expected))
            << Utf8(text) << ": " << real.Value() << ", the stream " << expected;
        CXSettingLong whole(2005, 4, 31, -7, -1, INT_MAX);
        whole.FromText(KVO::String(text.c_str()), true);
        EXPECT_EQ(whole.Value(), streamRead(text, std::int32_t{-7})) << Utf8(text);
    }
}

TEST(SettingValues, OnOffSettingsReadALeadingLowerCaseT)
{
    CXSetting_Bool setting(2004, 4, 31, false);
    const struct {
        const char16_t* text;
        bool on;
    } cases[] = {{u"true", true}, {u"t", true}, {u"tx", true}, {u"", false},
                 {u"T", false},   {u"yes", false}, {u"f", false}, {u" t", false}};
    for (const auto& c : cases) {
        setting.SetValue(!c.on);
        setting.FromText(KVO::String(c.text), true);
        EXPECT_EQ(setting.Value(), c.on) << Utf8(c.text);
        EXPECT_EQ(Utf8(Text(setting, false).View()), c.on ? "t" : "f");
        EXPECT_TRUE(setting.IsValid());
        EXPECT_EQ(setting.AsDouble(), 0.0);
    }
    setting.SetValue(true);
    setting.Reset();
    EXPECT_FALSE(setting.Value());
}

// ---- Loopmetry's detection settings ----

TEST(DetectionSetting, UnboundKeepsItsTextAndIsInvalid)
{
    CXSetting_LMDetSet setting;
    EXPECT_EQ(setting.Id(), 1010);
    EXPECT_EQ(setting.Kind(), kSettingDetection);
    EXPECT_EQ(setting.Category(), 1);
    EXPECT_EQ(setting.TypeMask(), 5u);
    EXPECT_FALSE(setting.IsValid());
    EXPECT_TRUE(Text(setting).IsEmpty());
    setting.FromText(KVO::String(u"height=2;transform=1"), true);
    setting.Reset();
    EXPECT_EQ(Utf8(Text(setting).View()), "height=2;transform=1");
    EXPECT_EQ(setting.AsDouble(), 0.0);

    const auto withoutExtension = doctest::MakeHostDocument(false);
    setting.Bind(withoutExtension.Get());
    setting.Bind(nullptr);
    EXPECT_EQ(setting.Object(), nullptr);
    EXPECT_FALSE(setting.IsValid());
    EXPECT_EQ(Utf8(Text(setting).View()), "height=2;transform=1");
}

TEST(DetectionSetting, BindingHandsThePendingTextToTheNewObject)
{
    host::CallLog log;
    const auto document = doctest::MakeHostDocument(true, &log);
    CXSetting_LMDetSet setting;
    setting.FromText(KVO::String(u"height=2;transform=1"), true);
    setting.Bind(document.Get());
    ASSERT_NE(setting.Object(), nullptr);
    EXPECT_TRUE(setting.PendingText().IsEmpty());
    EXPECT_EQ(Utf8(Text(setting).View()), "height=2;transform=1");
    EXPECT_TRUE(setting.IsValid());
    ILMDetectionSettings* first = setting.Object();
    setting.Bind(document.Get()); // bound already: the same object
    EXPECT_EQ(setting.Object(), first);
    EXPECT_EQ(log.Count("loopmetry", "CreateSettings"), 1u);

    setting.FromText(KVO::String(u"height=0;transform=0"), true);
    EXPECT_FALSE(setting.IsValid()); // the object's own test
    setting.Reset();
    EXPECT_EQ(Utf8(Text(setting).View()), "dir=1;sd=1;height=5;interval=0.005;transform=0;smooth=5e-04;window=0.5;zero=0;tag=1");

    // An empty pending text is not handed over: the new object keeps its defaults.
    CXSetting_LMDetSet fresh;
    fresh.Bind(document.Get());
    EXPECT_EQ(log.Count("loopmetry", "SetText"), 2u);
    EXPECT_EQ(Utf8(Text(fresh).View()), "dir=1;sd=1;height=5;interval=0.005;transform=0;smooth=5e-04;window=0.5;zero=0;tag=1");
}

TEST(DetectionSetting, CopiesCloneBoundObjectsAndCarryUnboundText)
{
    const auto document = doctest::MakeHostDocument(true);
    CXSetting_LMDetSet bound;
    bound.FromText(KVO::String(u"height=3;transform=1"), true);
    bound.Bind(document.Get());

    // Bound source: the target gets a clone of its own.
    CXSetting_LMDetSet target;
    EXPECT_TRUE(target.CopyFrom(bound));
    ASSERT_NE(target.Object(), nullptr);
    EXPECT_NE(target.Object(), bound.Object());
    EXPECT_EQ(Utf8(Text(target).View()), "height=3;transform=1");

    // Unbound source into a bound target: the target lets its object go; the text comes through FromText.
    CXSetting_LMDetSet unbound;
    unbound.FromText(KVO::String(u"height=4;transform=0"), true);
    EXPECT_FALSE(target.CopyFrom(unbound));
    EXPECT_EQ(target.Object(), nullptr);
    target.FromText(unbound.ToText(true), true);
    EXPECT_EQ(Utf8(target.PendingText().View()), "height=4;transform=0");

    // Another kind of setting is copied through text as well.
    CXSettingInt number(1000, 0, 24, 4, 2, 5);
    EXPECT_FALSE(bound.CopyFrom(number));
    EXPECT_EQ(bound.Object(), nullptr);
}

TEST(DetectionSetting, CopyingFromItselfKeepsTheObject)
{
    const auto document = doctest::MakeHostDocument(true);
    CXSetting_LMDetSet setting;
    setting.FromText(KVO::String(u"height=5;transform=1"), true);
    setting.Bind(document.Get());
    ILMDetectionSettings* object = setting.Object();
    EXPECT_TRUE(setting.CopyFrom(setting));
    EXPECT_EQ(setting.Object(), object);
    EXPECT_EQ(Utf8(Text(setting).View()), "height=5;transform=1");
}
