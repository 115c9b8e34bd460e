#include "foundation/prefixedunit.h"
#include "foundation/hostlink.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using KVO::PrefixedUnit;

TEST(PrefixedUnit, TextAndHostPrefixIndexBothWays)
{
    EXPECT_EQ(PrefixedUnit(u"V").Text(), u"V");
    EXPECT_EQ(PrefixedUnit(u"V", u'm').Text(), u"mV");

    PrefixedUnit unit(u"V");
    unit.SetPrefixIndex(6);
    EXPECT_EQ(unit.Text(), u"\u00B5V"); // the micro sign, never "u"
    EXPECT_EQ(PrefixedUnit(u"V", u'u').PrefixIndex(), 6);
    EXPECT_EQ(PrefixedUnit(u"V", KVO::kMicroSign).PrefixIndex(), 6);

    const std::pair<char16_t, int> known[] = {{0, 1},    {u'a', 2},  {u'f', 3},  {u'p', 4}, {u'n', 5},
                                              {u'm', 7}, {u'k', 9},  {u'M', 10}, {u'G', 11}};
    for (const auto& [prefix, index] : known) {
        EXPECT_EQ(PrefixedUnit(u"s", prefix).PrefixIndex(), index) << int(prefix);
        EXPECT_EQ(PrefixedUnit(u"s", KVO::UnitPrefixIndex{index}).Prefix(), prefix) << index;
    }
    // Characters the host does not number, T, P and E included.
    for (const char16_t other : {u'x', u'T', u'P', u'E', u'K', u'?'}) {
        EXPECT_EQ(PrefixedUnit(u"s", other).PrefixIndex(), 0) << int(other);
    }
    // Indexes without a prefix clear the old one.
    for (const int index : {0, 1, 8, 12, 15, 99, -1}) {
        PrefixedUnit cleared(u"V", u'k');
        cleared.SetPrefixIndex(index);
        EXPECT_EQ(cleared.Prefix(), 0) << index;
        EXPECT_EQ(cleared.Text(), u"V");
    }
}

TEST(PrefixedUnit, EqualityAndUnitName)
{
    EXPECT_EQ(PrefixedUnit(u"V", u'm'), PrefixedUnit(u"V", u'm'));
    EXPECT_NE(PrefixedUnit(u"V", u'u'), PrefixedUnit(u"V", KVO::kMicroSign));
    EXPECT_NE(PrefixedUnit(u"V", u'm'), PrefixedUnit(u"v", u'm'));
    EXPECT_NE(PrefixedUnit(u"V"), PrefixedUnit(u"V", u'm'));

    // Without the host's unit service the out interface is cleared and stays null.
    IUnknown* name = reinterpret_cast<IUnknown*>(std::uintptr_t{0x1234});
    PrefixedUnit(u"V", u'm').CreateUnitName(&name);
    EXPECT_EQ(name, nullptr);
}

TEST(SIPrefix, ExponentsAndMultipliers)
{
    EXPECT_EQ(KVO::SIPrefixExponent(u'E'), 18);
    EXPECT_EQ(KVO::SIPrefixExponent(u'k'), 3);
    EXPECT_EQ(KVO::SIPrefixExponent(u'u'), -6);
    EXPECT_EQ(KVO::SIPrefixExponent(KVO::kMicroSign), -6);
    EXPECT_EQ(KVO::SIPrefixExponent(u'a'), -18);
    EXPECT_EQ(KVO::SIPrefixExponent(u'K'), 0);
    EXPECT_EQ(KVO::SIPrefixExponent(0), 0);

    EXPECT_EQ(KVO::SIPrefixMultiplier(u'k'), 1000.0);
    EXPECT_EQ(KVO::SIPrefixMultiplier(u'E'), 1e18);
    EXPECT_EQ(KVO::SIPrefixMultiplier(u'm'), 1.0 / 1000.0);
    EXPECT_EQ(KVO::SIPrefixMultiplier(u'a'), 1.0 / 1e18);
    EXPECT_DOUBLE_EQ(KVO::SIPrefixMultiplier(u'a'), 1e-18);
    EXPECT_EQ(KVO::SIPrefixMultiplier(u'x'), 1.0);
    EXPECT_EQ(KVO::SIPrefixMultiplier(0), 1.0);
}

TEST(SIPrefix, FactorsIntoThePrefixedUnit)
{
    EXPECT_EQ(KVO::ToPrefixedUnitFactor(u'k'), 0.001);
    EXPECT_EQ(KVO::ToPrefixedUnitFactor(u'K'), 0.0);
    EXPECT_EQ(KVO::ToPrefixedUnitFactor(u'\u00A0'), 1.0);
    EXPECT_EQ(KVO::ToPrefixedUnitFactor(0), 1.0);
    EXPECT_EQ(KVO::ToPrefixedUnitFactor(KVO::kMicroSign), 1e6);
    EXPECT_EQ(KVO::ToPrefixedUnitFactor(u'u'), 1e6);
    EXPECT_EQ(KVO::ToPrefixedUnitFactor(u'a'), 1e18);
    EXPECT_EQ(KVO::ToPrefixedUnitFactor(u'E'), 1e-18);
    EXPECT_EQ(KVO::ToPrefixedUnitFactor(u'x'), 0.0);
    EXPECT_EQ(KVO::ToPrefixedUnitFactor(u'1'), 0.0);
    EXPECT_EQ(KVO::ToPrefixedUnitFactor(u' '), 0.0);
    // Letters outside ASCII are no prefixes, whatever their low five bits say (U+0161 and U+0430 end in 00001 like
    // "a"; U+00CB ends like "K").
    for (const char16_t letter : {u'\u0161', u'\u0430', u'\u00E9', u'\u00CB', u'\u0101'}) {
        EXPECT_EQ(KVO::ToPrefixedUnitFactor(letter), 0.0) << int(letter);
    }
}

TEST(SIPrefix, TheSixteenEntryTablesAgreeWithTheFunctions)
{
    for (int index = 2; index <= 14; ++index) {
        if (index == 8) {
            continue;
        }
        const char16_t letter = KVO::kSIPrefixLetters[index];
        EXPECT_EQ(KVO::ToPrefixedUnitFactor(letter), KVO::kSIPrefixFactors[index]) << index;
        EXPECT_DOUBLE_EQ(KVO::SIPrefixMultiplier(letter) * KVO::kSIPrefixFactors[index], 1.0) << index;
        if (index <= 11) {
            EXPECT_EQ(PrefixedUnit(u"V", letter).PrefixIndex(), index);
        }
    }
    EXPECT_EQ(KVO::kSIPrefixLetters[0], u'?');
    for (const int unscaled : {1, 8}) {
        EXPECT_EQ(KVO::kSIPrefixLetters[unscaled], 0);
        EXPECT_EQ(KVO::kSIPrefixFactors[unscaled], 1.0);
    }
    EXPECT_EQ(KVO::kSIPrefixLetters[15], 0);
    EXPECT_EQ(KVO::kSIPrefixFactors[0], 0.0);
    EXPECT_EQ(KVO::kSIPrefixFactors[15], 0.0);
}

namespace {
std::pair<LONG, LONG> Approximate(double x)
{
    LONG numerator = -99;
    LONG denominator = -99;
    KVO::ApproximateRational(x, numerator, denominator);
    return {numerator, denominator};
}
using Fraction = std::pair<LONG, LONG>;
}

TEST(ApproximateRational, ConvergentsOfOrdinaryValues)
{
    // Pi stops where the next convergent would pass 0x7FFFFFFE.
    const auto pi = Approximate(3.141592653589793);
    EXPECT_EQ(pi, Fraction(817696623, 260280919));
    EXPECT_NEAR(double(pi.first) / pi.second, 3.141592653589793, 1e-15);

    EXPECT_EQ(Approximate(3.0), Fraction(3, 1));
    EXPECT_EQ(Approximate(-7.0), Fraction(-7, 1));
    EXPECT_EQ(Approximate(0.0), Fraction(0, 1));
    EXPECT_EQ(Approximate(0.5), Fraction(1, 2));
    EXPECT_EQ(Approximate(-2.25), Fraction(-9, 4));
    EXPECT_EQ(Approximate(1.0 / 3.0), Fraction(1, 3));
    EXPECT_EQ(Approximate(0.1), Fraction(1, 10));
    EXPECT_EQ(Approximate(2147483646.5), Fraction(2147483646, 1));
}

TEST(ApproximateRational, AwkwardInputsStayInRange)
{
    constexpr LONG kLimit = 0x7FFFFFFE;
    EXPECT_EQ(Approximate(1e-12), Fraction(0, 1));
    EXPECT_EQ(Approximate(-1e-12), Fraction(0, 1));
    // A remainder of exactly 2^-31 has a reciprocal of 2^31, one past the 32-bit range.
    EXPECT_EQ(Approximate(std::ldexp(1.0, -31)), Fraction(0, 1));
    EXPECT_EQ(Approximate(1.0 + std::ldexp(1.0, -31)), Fraction(1, 1));
    EXPECT_EQ(Approximate(1e300), Fraction(kLimit, 1));
    EXPECT_EQ(Approximate(-1e300), Fraction(-kLimit, 1));
    EXPECT_EQ(Approximate(2147483647.0), Fraction(kLimit, 1));
    EXPECT_EQ(Approximate(2147483648.0), Fraction(kLimit, 1));
    EXPECT_EQ(Approximate(-2147483648.0), Fraction(-kLimit, 1));
    EXPECT_EQ(Approximate(std::numeric_limits<double>::infinity()), Fraction(kLimit, 1));
    EXPECT_EQ(Approximate(-std::numeric_limits<double>::infinity()), Fraction(-kLimit, 1));
    EXPECT_EQ(Approximate(std::numeric_limits<double>::quiet_NaN()), Fraction(0, 1));

    for (double x = -5000.0; x < 5000.0; x += 0.7071067811865476) {
        const auto [numerator, denominator] = Approximate(x * 1e-3);
        ASSERT_GT(denominator, 0) << x;
        ASSERT_LE(std::abs(numerator), kLimit) << x;
        ASSERT_LE(denominator, kLimit) << x;
        ASSERT_NEAR(double(numerator) / denominator, x * 1e-3, 1e-8) << x;
    }
}

namespace {
// A unit service that keeps what it was asked.
struct RecordingUnits : IUnitService {
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT CreateUnitName(LONG prefixIndex, IKVOString* baseText, LONG, IUnknown** out) override
    {
        index = prefixIndex;
        given = baseText != nullptr;
        *out = nullptr;
        return S_OK;
    }
    LONG index = -1;
    bool given = false;
};
RecordingUnits* units = nullptr;
}

// The base library asks for unit names through the service that the module frame hands in, and only through it.
TEST(PrefixedUnit, UnitNamesGoThroughTheServiceHandedIn)
{
    const KVO::HostLink saved = KVO::GetHostLink();
    RecordingUnits recording;
    units = &recording;
    KVO::HostLink link = saved;
    link.unitService = [] { return static_cast<IUnitService*>(units); };
    KVO::SetHostLink(link);
    IUnknown* name = nullptr;
    PrefixedUnit(u"A", u'n').CreateUnitName(&name);
    EXPECT_EQ(recording.index, 5);
    EXPECT_TRUE(recording.given);

    link.unitService = nullptr;
    KVO::SetHostLink(link);
    recording.index = -1;
    PrefixedUnit(u"A", u'n').CreateUnitName(&name);
    EXPECT_EQ(recording.index, -1);
    KVO::SetHostLink(saved);
    units = nullptr;
}
