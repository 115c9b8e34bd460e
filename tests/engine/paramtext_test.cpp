// Numbers of the parameter texts: overflow clamps to the largest double of its sign, an unreadable word keeps its
// preset, and reading goes on with the next word either way.
#include "enum_harness.h"

#include "engine/cappeakdet.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <sstream>
#include <string>

using namespace enumharness;

namespace {

// The values read by ReadDouble from `text`, each preset to -1.
std::vector<double> ReadWords(const std::wstring& text, int count)
{
    std::wistringstream in(text);
    in.imbue(std::locale::classic());
    std::vector<double> values(static_cast<std::size_t>(count), -1.0);
    for (double& v : values) {
        EEH3::ReadDouble(in, v);
    }
    return values;
}

TEST(ParameterText, NumbersClampAndReadingGoesOn)
{
    const struct {
        const wchar_t* text;
        std::vector<double> values;
    } cases[] = {
        {L"1e400 -1e400 2", {DBL_MAX, -DBL_MAX, 2}},
        {L"inf -inf +Infinity 3", {DBL_MAX, -DBL_MAX, DBL_MAX, 3}},
        {L"1.79769e+308 1.7976931348623157e308 4", {1.79769e308, DBL_MAX, 4}},
        {L"1e-400 -1e-400 0.5", {0.0, -0.0, 0.5}},
        {L"abc 5 nan 6", {-1, 5, -1, 6}},
        {L"12abc - -- +-1 1e 7", {-1, -1, -1, -1, -1, 7}},
        {L"  \t8\n+9  ", {8, 9, -1}},
        {L"", {-1}},
    };
    for (const auto& c : cases) {
        const auto got = ReadWords(c.text, static_cast<int>(c.values.size()));
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i], c.values[i]) << "word " << i << " of \"" << std::string(c.text, c.text + wcslen(c.text))
                                           << "\"";
        }
    }
}

KVO::String Written(ICalcEnum* calc)
{
    IKVOString* text = nullptr;
    EXPECT_EQ(calc->Write(&text), S_OK);
    KVO::String written;
    written.AttachInterface(text);
    return written;
}

TEST(ParameterText, OverflowingSettingsKeepTheirMeaning)
{
    namespace CAP = CX::Enum::CAPPeakDet;
    // A Min Height of 1e400 is the largest height (no peak), not the 1e-30 floor; the limits after an unreadable
    // or overflowing value are still read.
    EXPECT_EQ(Written(Make<CAP::Family>(u"1 1e400 1e400 0 0 0 100").Get()),
              u"1.7976931348623157e+308 1.7976931348623157e+308 0 0 0 100");
    EXPECT_EQ(Written(Make<CAP::Family>(u"1 -inf 3 1 2 3 4").Get()), u"1e-30 3 1 2 3 4");
    EXPECT_EQ(Written(Make<CAP::Family>(u"1 abc 3 0 0 0 100").Get()), u"1e-30 3 0 0 0 100");
    EXPECT_EQ(Written(Make<CAP::Family>(u"1 30 3 0 1e400 1e400 -1e400").Get()),
              u"30 3 0 2147483647 2147483647 2147483647");
    // The six-digit form of DBL_MAX reads as the number it is.
    EXPECT_EQ(Written(Make<CAP::Family>(u"1 1.79769e+308 3").Get()),
              u"1.79769e+308 3 0 0 2147483647 2147483647");
}

} // namespace
