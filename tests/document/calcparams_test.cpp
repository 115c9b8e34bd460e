#include "document/calcparams.h"
#include "docfixtures.h"
#include "foundation/stringstream.h"

#include <functional>
#include <memory>
#include <sstream>

using namespace CX;
using CX::Doc::SettingsSet;
using doctest::Catalogue;

namespace {

std::string Text(ParamHelper&& record)
{
    std::wostringstream out;
    out.imbue(std::locale::classic());
    record.WriteText(out);
    const std::wstring text = out.str();
    return std::string(text.begin(), text.end());
}

template <class Record>
std::string ResetText()
{
    Record record(nullptr);
    record.ResetToDefaults();
    return Text(std::move(record));
}

// Settings whose every value that a record reads is distinct, so that each field shows where it came from.
struct DistinctSettings {
    DistinctSettings() : settings(&Catalogue())
    {
        doctest::SelectChannel(settings, 0);
        const std::pair<std::int32_t, const char16_t*> values[] = {
            {1001, u"1.01"}, {1002, u"1.02"}, {1003, u"1.03"}, {1004, u"1.04"}, {1007, u"1.07"}, {1008, u"1.08"},
            {1011, u"20"},   {1012, u"80"},   {1013, u"13"},   {1014, u"1.14"}, {1015, u"1.15"}, {1016, u"1.16"},
            {1017, u"17"},   {1018, u"18"},   {1020, u"1.2"},  {1021, u"1.21"}, {1022, u"1.22"}, {1025, u"25"},
            {1026, u"1.26"}, {1027, u"1.27"}, {1028, u"1.28"}, {1029, u"29"},   {1030, u"30"},   {1031, u"31"},
            {1032, u"1.32"}, {1033, u"33"},   {1034, u"34"},   {1035, u"1.35"}, {1037, u"2"},    {1038, u"1.38"},
            {1039, u"3"},    {1040, u"1.4"},  {1041, u"41"},
        };
        for (const auto& [id, text] : values) {
            doctest::SetText(settings, id, text);
        }
    }
    SettingsSet& Type(const char16_t* type)
    {
        doctest::SetText(settings, 2000, type);
        return settings;
    }
    SettingsSet settings;
};

} // namespace

TEST(CalcParams, WithoutSettingsEveryRecordWritesItsDefaults)
{
    EXPECT_EQ(Text(EStimDetParams(nullptr)), ResetText<EStimDetParams>());
    EXPECT_EQ(Text(EStimDetParams(nullptr)), "1, 10, 0, 0, 0");
    EXPECT_EQ(Text(EPSCalcParams(nullptr)), ResetText<EPSCalcParams>());
    EXPECT_EQ(Text(EBaseParams(nullptr)), ResetText<EBaseParams>());
    EXPECT_EQ(Text(EBaseParams(nullptr)), "0, 5, -1, -1, 0, -1");
    EXPECT_EQ(Text(EBase2Params(nullptr)), ResetText<EBase2Params>());
    EXPECT_EQ(Text(EAMaxParams(nullptr)), "5, 1, 0");
    EXPECT_EQ(Text(ECAPPeakWidthFilterParams(nullptr)), "50");
    EXPECT_EQ(Text(EBulkParams(nullptr)), ResetText<EBulkParams>());
}

TEST(CalcParams, EachFieldComesFromItsSetting)
{
    DistinctSettings d;
    const struct {
        const char16_t* type;
        std::function<std::string(const SettingsSet&)> text;
        const char* expected;
    } cases[] = {
        {u"3", [](const SettingsSet& s) { return Text(EPSCalcParams(&s)); }, "1.2, 1.21, 1.22"},
        {u"3", [](const SettingsSet& s) { return Text(EBaseParams(&s)); }, "1000, 5, 1.07, 1.08, 3, 1.4"},
        {u"0", [](const SettingsSet& s) { return Text(EBaseParams(&s)); }, "1000, 5, -1, -1, 3, 1.4"},
        {u"4", [](const SettingsSet& s) { return Text(EBaseParams(&s)); }, "1000, 5, -1, -1, 3, 1.4"},
        {u"1", [](const SettingsSet& s) { return Text(EBase2Params(&s)); }, "13, 29, 30, 25"},
        {u"5", [](const SettingsSet& s) { return Text(EAMaxParams(&s)); }, "34, 0, 41"},
        {u"0", [](const SettingsSet& s) { return Text(EAMaxParams(&s)); }, "33, 1, 41"},
        {u"1", [](const SettingsSet& s) { return Text(EAMaxParams(&s)); }, "33, 0, 41"},
        {u"2", [](const SettingsSet& s) { return Text(EAMaxParams(&s)); }, "33, 1, 41"},
        {u"3", [](const SettingsSet& s) { return Text(EAMaxParams(&s)); }, "33, 0, 41"},
        {u"4", [](const SettingsSet& s) { return Text(EAMaxParams(&s)); }, "33, 0, 41"},
        {u"6", [](const SettingsSet& s) { return Text(EAMaxParams(&s)); }, "33, 1, 41"},
        {u"5", [](const SettingsSet& s) { return Text(ECAPPeakWidthFilterParams(&s)); }, "1.35"},
        {u"1", [](const SettingsSet& s) { return Text(ECAPPeakWidthFilterParams(&s)); }, "1.01"},
        {u"1", [](const SettingsSet& s) { return Text(EBulkParams(&s)); },
         "1, 1.15, 1.16, 2, 1.38, 17, 18, 20, 80, 1.26, 1.14, 1.2, 1.21, 1.22, 31, 1.32"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.text(d.Type(c.type)), c.expected) << doctest::Utf8(c.type) << " " << c.expected;
    }
}

TEST(CalcParams, StimulusDetectorTakesSkipAndOnePerBlockFromTheDetectionMode)
{
    DistinctSettings d;
    const struct {
        const char16_t* type;
        const char16_t* mode;
        const char* expected;
    } cases[] = {
        {u"3", u"3", "1.02, 1.03, 0, 1.27, 0"},
        {u"3", u"4", "1.02, 1.03, 1.04, 1.27, 1"},
        {u"4", u"4", "1.28, 1.03, 1.04, 1.27, 1"},
        {u"4", u"2", "1.28, 1.03, 0, 1.27, 0"},
    };
    for (const auto& c : cases) {
        doctest::SetText(d.settings, 1000, c.mode);
        EXPECT_EQ(Text(EStimDetParams(&d.Type(c.type))), c.expected);
    }
}

TEST(CalcParams, ReadingFewerNumbersGivesTheDefaultsOfTheRest)
{
    DistinctSettings d;
    EBase2Params base2(&d.Type(u"1"));
    std::wistringstream twoNumbers(L"40 7");
    base2.ReadValues(twoNumbers);
    EXPECT_EQ(Text(std::move(base2)), "40, 7, 5, 50");
    EBase2Params swapped(&d.settings);
    std::wistringstream lowTauStart(L"40 2");
    swapped.ReadValues(lowTauStart); // the calculation's own rule: tau start is the higher level
    EXPECT_EQ(Text(std::move(swapped)), "40, 5, 2, 50");

    ECAPPeakWidthFilterParams filter(&d.settings);
    std::wistringstream none(L"");
    filter.ReadValues(none);
    EXPECT_EQ(Text(std::move(filter)), "50");

    EAMaxParams amax(&d.settings);
    std::wistringstream rounded(L"7.5 -2.5");
    amax.ReadValues(rounded);
    EXPECT_EQ(Text(std::move(amax)), "8, -3, 0");
}
