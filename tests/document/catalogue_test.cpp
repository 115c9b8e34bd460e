#include "document/paramcatalogue.h"
#include "document/settingsmessages.h"
#include "docfixtures.h"

#include <set>

using CX::ParamCatalogue;
using doctest::Catalogue;
using doctest::Utf8;

namespace {

std::string UnitOf(std::int32_t code, const KVO::PrefixedUnit& source)
{
    const KVO::PrefixedUnit unit = ParamCatalogue::UnitText(code, source);
    std::string text = Utf8(unit.Base());
    if (unit.Prefix() != 0) {
        text = Utf8(std::u16string(1, unit.Prefix())) + "|" + text;
    }
    return text;
}

} // namespace

// Every row of every type in display order: index, code, names, settings flag, description and the unit on a
// channel in mV.
TEST(ParamCatalogue, RowsMatchTheirGoldenListing)
{
    const KVO::PrefixedUnit millivolts(u"V", u'm');
    std::ostringstream listing;
    for (std::int32_t type = 0; type < ParamCatalogue::kTypeCount; ++type) {
        listing << "type " << type << " " << Utf8(ParamCatalogue::AnalysisTypeName(type)) << " ("
                << Catalogue().RowCount(type) << " rows)\n";
        for (std::int32_t i = 0; i < Catalogue().RowCount(type); ++i) {
            const ParamCatalogue::Row& row = Catalogue().RowAt(type, i);
            listing << i << "\t" << row.Code << "\t" << Utf8(row.ShortName) << "\t" << Utf8(row.LongName) << "\t"
                    << (row.HasSettings ? "settings" : "-") << "\t" << UnitOf(row.Code, millivolts) << "\t"
                    << Utf8(row.Description) << "\n";
        }
    }
    doctest::CheckGolden("catalogue.txt", listing.str());
}

TEST(ParamCatalogue, LookupsByCodeAndByIndex)
{
    const ParamCatalogue& c = Catalogue();
    const struct {
        std::int32_t type;
        std::int32_t code;
        std::int32_t index;
        const char* shortName;
    } cases[] = {
        {6, 2, -1, "?"},         {-1, 2, -1, "?"},        {0, 1, -1, "?"},          {1, 1, 19, "Count"},
        {4, 2, -1, "?"},         {1, 11, 2, "Max dV/dt"}, {0, 11, 8, "MaxSlope"},   {5, 56, 7, "PeakArea"},
        {3, 56, 7, "ResponseArea"}, {0, 2, 0, "Baseline"}, {4, 58, 5, "TimeDate"},  {0, 59, -1, "?"},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(c.RowIndex(k.type, k.code), k.index) << k.type << "/" << k.code;
        EXPECT_EQ(Utf8(c.ShortName(k.type, k.code)), k.shortName) << k.type << "/" << k.code;
    }
    // Codes without a row under any type; 54 distinct codes in all.
    std::set<std::int32_t> codes;
    for (std::int32_t type = 0; type < 6; ++type) {
        for (const std::int32_t none : {6, 7, 8, 22, 51}) {
            EXPECT_EQ(c.RowIndex(type, none), -1);
        }
        for (std::int32_t i = 0; i < c.RowCount(type); ++i) {
            codes.insert(c.RowAt(type, i).Code);
        }
    }
    EXPECT_EQ(codes.size(), 54u);
    // Cells beyond a type's rows hold the default row.
    EXPECT_EQ(Utf8(c.LongNameAt(4, 6)), "?");
    EXPECT_EQ(Utf8(c.ShortNameAt(4, 6)), "");
    EXPECT_EQ(Utf8(c.DescriptionAt(4, 58)), "?");
    EXPECT_EQ(c.RowAt(4, 58).Code, -1);
    EXPECT_EQ(Utf8(c.LongNameAt(5, 7)), "Area of Positive Peak");
    const std::int32_t counts[] = {33, 22, 10, 14, 6, 18};
    for (std::int32_t type = 0; type < 6; ++type) {
        EXPECT_EQ(c.RowCount(type), counts[type]);
    }
}

// Rows added later: a code a type already holds keeps its first row; new codes, also outside 0 to 58, are found.
TEST(ParamCatalogue, RowsAddedLaterAreFoundByCode)
{
    ParamCatalogue c;
    const std::int32_t rows = c.RowCount(2);
    const std::int32_t baseline = c.RowIndex(2, 2);
    ASSERT_GE(baseline, 0);
    c.AddRow(2, ParamCatalogue::Row{u"Again", u"?", u"?", 2, false});
    c.AddRow(2, ParamCatalogue::Row{u"Far", u"?", u"?", 100, false});
    c.AddRow(2, ParamCatalogue::Row{u"Below", u"?", u"?", -7, false});
    c.AddRow(2, ParamCatalogue::Row{u"Gap", u"?", u"?", 22, false});
    c.AddRow(2, ParamCatalogue::Row{u"Gap again", u"?", u"?", 22, false});
    EXPECT_EQ(c.RowIndex(2, 2), baseline);
    EXPECT_EQ(c.RowIndex(2, 100), rows + 1);
    EXPECT_EQ(c.RowIndex(2, -7), rows + 2);
    EXPECT_EQ(c.RowIndex(2, 22), rows + 3);
    EXPECT_EQ(Utf8(c.ShortName(2, 22)), "Gap");
    EXPECT_TRUE(c.Offers(2, 22));
    EXPECT_FALSE(c.Offers(3, 22));
    EXPECT_FALSE(c.Offers(2, 101));
    EXPECT_EQ(c.RowIndex(2, -1), -1);
    // The mask of the types that offer a code follows the rows, those added later too.
    for (std::int32_t code = -8; code < 120; ++code) {
        std::uint32_t mask = 0;
        for (std::int32_t type = 0; type < ParamCatalogue::kTypeCount; ++type) {
            mask |= c.Offers(type, code) ? 1u << type : 0u;
        }
        EXPECT_EQ(c.OfferMask(code), mask) << code;
    }
    EXPECT_NE(c.OfferMask(22) & (1u << 2), 0u);
    EXPECT_NE(c.OfferMask(100) & (1u << 2), 0u);
    // A full type takes no more rows.
    for (std::int32_t i = c.RowCount(2); i < ParamCatalogue::kLineCount; ++i) {
        c.AddRow(2, ParamCatalogue::Row{u"Fill", u"?", u"?", 200, false});
    }
    c.AddRow(2, ParamCatalogue::Row{u"Over", u"?", u"?", 51, false});
    EXPECT_EQ(c.RowIndex(2, 51), -1);
    EXPECT_EQ(c.RowIndex(2, 200), rows + 5);
}

TEST(ParamCatalogue, UnitsFollowTheSourceChannel)
{
    const KVO::PrefixedUnit mV(u"V", u'm');
    const KVO::PrefixedUnit none(u"", u'k');
    const KVO::PrefixedUnit blank(u" ", 0);
    const struct {
        const KVO::PrefixedUnit* source;
        std::int32_t code;
        const char* unit; // prefix|base
    } cases[] = {
        {&mV, 5, "m|V"},         {&mV, 11, "m|V/s"},       {&mV, 56, "m|V.s"},     {&mV, 9, "m|s"},
        {&mV, 0, "s"},           {&mV, 1, ""},             {&mV, 58, ""},          {&mV, 22, "m|?"},
        {&mV, 59, "m|?"},        {&mV, -1, "m|?"},         {&mV, 47, "m|s"},       {&mV, 33, "s"},
        {&none, 11, "k|Hz"},     {&none, 10, "k|Units.s"}, {&blank, 11, "Hz"},     {&blank, 50, "Units.s"},
        {&blank, 2, " "},        {&none, 22, "k|?"},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(UnitOf(k.code, *k.source), k.unit) << k.code;
    }
    EXPECT_EQ(ParamCatalogue::UnitText(58, mV).PrefixIndex(), 1);
}

TEST(ParamCatalogue, TypeAndDetectionModeNames)
{
    const char* types[] = {"General - Unstimulated", "Cardiac Action Potential", "Synaptic", "Evoked Response",
                           "Population Spike", "Action Potential", "???", "???"};
    for (std::int32_t type = 0; type < 8; ++type) {
        EXPECT_EQ(Utf8(ParamCatalogue::AnalysisTypeName(type == 7 ? -1 : type)), types[type]);
    }
    const char* modes[] = {"???", "???", "Time from start of block", "Height and width",
                           "Height and width (one per block)", "???"};
    for (std::int32_t mode = 0; mode < 6; ++mode) {
        EXPECT_EQ(Utf8(ParamCatalogue::DetectionModeName(mode)), modes[mode]);
    }
}

TEST(SettingsMessages, SharedAndMissingTexts)
{
    using CX::Doc::SettingsMessage;
    using CX::Doc::SettingsMessages;
    const auto lookup = [](std::int32_t id) {
        SettingsMessage m;
        SettingsMessages::Lookup(id, m);
        return m;
    };
    for (const auto& [a, b] : {std::pair{1001, 1035}, {1002, 1028}, {1013, 1025}, {1033, 1034}}) {
        EXPECT_EQ(lookup(a).Caption, lookup(b).Caption);
        EXPECT_EQ(lookup(a).Text, lookup(b).Text);
    }
    EXPECT_EQ(Utf8(lookup(1000).Caption), "Internal Error");
    EXPECT_EQ(Utf8(lookup(1032).Caption), "Invalid MaxNegSlope Smoothing Window");
    EXPECT_EQ(Utf8(lookup(1032).Text), "This setting must be in the range 0.1 to 100 ms.");
    for (const std::int32_t id : {1009, 1010, 1011, 1012, 1019, 1023, 1024, 1036, 1037, 1038, 1039, 1040, 2000, 999}) {
        EXPECT_EQ(Utf8(lookup(id).Caption), "invalid caption") << id;
        EXPECT_EQ(Utf8(lookup(id).Text), "invalid text") << id;
    }
    SettingsMessage m = lookup(1001);
    m.Clear();
    EXPECT_TRUE(m.Caption.empty() && m.Text.empty());
}
