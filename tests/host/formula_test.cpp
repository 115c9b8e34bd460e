// The host's sample formulas: values against the same expressions written in C++, and texts that are not formulas.
#include "host/formula.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

TEST(HostFormula, ValuesFollowTheUsualPrecedence)
{
    struct Case {
        const char16_t* text;
        std::function<double(double)> expected;
    };
    const Case cases[] = {
        {u"1", [](double) { return 1.0; }},
        {u"t", [](double t) { return t; }},
        {u"-t^2", [](double t) { return -(t * t); }},
        {u"2^3^2", [](double) { return std::pow(2.0, 9.0); }},
        {u"2*t^2 - 1", [](double t) { return 2 * t * t - 1; }},
        {u"8/2/2", [](double) { return 2.0; }},
        {u"1 - 2 - 3", [](double) { return -4.0; }},
        {u"1.5e-1 * (t + .5)", [](double t) { return 0.15 * (t + 0.5); }},
        {u"5*SIN(10*t)", [](double t) { return 5 * std::sin(10 * t); }},
        {u"threshold(sin(5*t - 2.5),.5)*(sin(5*t-2.5)-0.5)",
         [](double t) {
             const double s = std::sin(5 * t - 2.5);
             return s > 0.5 ? s - 0.5 : 0.0;
         }},
        {u"1/(0.01+(1-sin(5*t)))^2 * 0.0001", [](double t) { return 0.0001 / std::pow(1.01 - std::sin(5 * t), 2); }},
    };
    for (const Case& c : cases) {
        const auto formula = host::ParseFormula(c.text);
        ASSERT_TRUE(formula) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
        for (double t : {0.0, 0.1, 0.3141, 1.0, 2.5}) {
            EXPECT_NEAR(formula->At(t), c.expected(t), 1e-12 * std::max(1.0, std::fabs(c.expected(t)))) << t;
        }
    }
}

TEST(HostFormula, TextsThatAreNotFormulas)
{
    for (const char16_t* text : {u"", u"ch1", u"cappeakdet(ch1, 0.3)", u"sin(t", u"2 *", u"t t", u"threshold(t)",
                                 u"(1))", u"1..2", u"x"}) {
        EXPECT_FALSE(host::ParseFormula(text)) << std::string(text, text + std::char_traits<char16_t>::length(text));
    }
}

} // namespace
