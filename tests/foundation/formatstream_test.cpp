#include "foundation/formatstream.h"

#include <gtest/gtest.h>

#include <string>

using KVO::OFormatStringStream;
using KVO::String;

TEST(FormatStream, FillsPlaceholdersByNumber)
{
    {
        OFormatStringStream f(String(u"Unable to export to file '%1'."));
        f << u"x.txt";
        EXPECT_EQ(f.str(), u"Unable to export to file 'x.txt'.");
    }
    {
        OFormatStringStream f(String(u"%2 then %1"));
        f << u"a";
        EXPECT_TRUE(f.str().IsEmpty()); // nothing until the highest number arrives
        f << String(u"b");
        EXPECT_EQ(f.str(), u"b then a");
    }
    {
        OFormatStringStream f(String(u"%1 and %1")); // only the last occurrence receives the argument
        f << u"a";
        EXPECT_EQ(f.str(), u" and a");
    }
    {
        OFormatStringStream f(String(u"%3 alone"));
        f << u"first" << u"second";
        EXPECT_TRUE(f.str().IsEmpty());
        f << u"third";
        EXPECT_EQ(f.str(), u"third alone");
    }
    {
        OFormatStringStream f(String(u"%1 %3")); // argument 2 has no place and is dropped
        f << u"a" << u"b" << u"c";
        EXPECT_EQ(f.str(), u"a c");
    }
    {
        OFormatStringStream f(String(u"%1!")); // more arguments than awaited change nothing
        f << u"a" << u"b" << 3;
        EXPECT_EQ(f.str(), u"a!");
    }
    {
        OFormatStringStream f(String(u"%1 = %2, n = %3 \U0001F600"));
        f << u"pi" << 3.14159 << 1234567;
        EXPECT_EQ(f.str(), u"pi = 3.14159, n = 1234567 \U0001F600");
    }
}

TEST(FormatStream, EscapesBackslashesAndPlainPercents)
{
    {
        OFormatStringStream f(String(u"100%% of %1"));
        f << 5;
        EXPECT_EQ(f.str(), u"100% of 5");
    }
    {
        OFormatStringStream f(String(u"100%% done")); // no placeholder: written at once, unchanged
        EXPECT_EQ(f.str(), u"100%% done");
        f << 1;
        EXPECT_EQ(f.str(), u"100%% done");
    }
    {
        // Beside a "%%" a lone "%" and a number that is no placeholder keep their "%" as well.
        OFormatStringStream f(String(u"100%% of % height, %25 and %%%% %1 then %% % %0"));
        f << u"x";
        EXPECT_EQ(f.str(), u"100% of % height, %25 and %% x then % % %0");
    }
    {
        OFormatStringStream f(String(u"% of the height away from the RMP"));
        EXPECT_EQ(f.str(), u"% of the height away from the RMP");
    }
    {
        OFormatStringStream f(String(u"%1\\0 km")); // the backslash ends the number
        f << 5;
        EXPECT_EQ(f.str(), u"50 km");
    }
    {
        OFormatStringStream f(String(u"%0 and %-2 stay, % 1 is read like a number"));
        f << u"x";
        EXPECT_EQ(f.str(), u"%0 and %-2 stay, x is read like a number");
    }
}

TEST(FormatStream, NumbersBeyondTwentyStayInTheText)
{
    {
        // A number above 20 neither receives an argument nor keeps the text from being assembled.
        OFormatStringStream f(String(u"%25 and %1 and %99999999999"));
        f << u"x";
        EXPECT_EQ(f.str(), u"%25 and x and %99999999999");
    }
    {
        std::u16string format;
        for (int i = 1; i <= 20; ++i) {
            for (char c : "%" + std::to_string(i)) {
                format += static_cast<char16_t>(c);
            }
        }
        format += u"%1"; // a 21st placeholder is not recorded
        OFormatStringStream f{String(format)};
        for (int i = 0; i < 20; ++i) {
            f << i;
        }
        EXPECT_EQ(f.str(), u"012345678910111213141516171819%1");
    }
}
