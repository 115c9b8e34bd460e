#include "document/settingids.h"
#include "document/settingsset.h"
#include "docfixtures.h"
#include "foundation/xkvo.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <map>
#include <set>

using namespace CX::Doc;
using doctest::Bytes;
using doctest::Catalogue;
using doctest::Utf8;

namespace {

constexpr double kMax = DBL_MAX;

struct Expected {
    std::int32_t id;
    std::int32_t kind;
    std::int32_t category;
    std::uint32_t mask;
    const char* defaultText;
    double minimum; // ignored for on/off and detection settings
    double maximum;
};

// Every setting of a source channel and every global one, in stored order.
const Expected kChannelTable[] = {
    {1005, 4, 0, 24, "50", 0, 2e9},        {1003, 4, 0, 24, "1", 0, 99999},     {1002, 4, 0, 8, "1", 0, kMax},
    {1028, 4, 0, 16, "0.0005", 0, kMax},   {1000, 1, 0, 24, "4", 2, 5},         {1004, 4, 0, 24, "10", 0, 99999},
    {1006, 4, 1, 10, "0.03", 0, kMax},     {1007, 4, 1, 8, "0", 0, 99999},      {1008, 4, 1, 8, "100", 0, 99999},
    {1009, 0, 1, 10, "t", 0, 0},           {1010, 6, 1, 5, "", 0, 0},           {1001, 4, 1, 2, "50", 0, 99999},
    {1035, 4, 1, 32, "4", 0, 99999},       {1027, 4, 1, 24, "10", 0, 99999},    {1036, 0, 1, 34, "t", 0, 0},
    {1039, 1, 5, 15, "0", 0, 3},           {1040, 4, 5, 15, "0", -kMax, kMax},  {1033, 1, 5, 15, "5", 5, 99},
    {1034, 1, 5, 32, "12", 5, 99},         {1041, 1, 5, 47, "0", 0, 99},        {1011, 2, 2, 2, "40", 0, 100},
    {1012, 2, 2, 2, "90", 0, 100},         {1013, 1, 2, 2, "50", 0, 100},       {1014, 4, 2, 2, "5", 0, 99999},
    {1015, 4, 2, 13, "5", 0, 99999},       {1016, 4, 2, 13, "10", 0, 99999},    {1017, 1, 2, 43, "10", 0, 100},
    {1018, 1, 2, 43, "90", 0, 100},        {1019, 0, 2, 0, "t", 0, 0},          {1037, 1, 2, 13, "1", 0, 3},
    {1038, 4, 2, 1, "0", -kMax, kMax},     {1020, 4, 2, 1, "10", 0, 99999},     {1021, 4, 2, 1, "11", 0, 99999},
    {1022, 4, 2, 8, "10", 0, 99999},       {1023, 4, 2, 16, "10", 0, 99999},    {1024, 4, 2, 16, "20", 0, 99999},
    {1025, 1, 2, 2, "30", 0, 100},         {1026, 4, 2, 2, "5", 0, 99999},      {1029, 1, 2, 13, "50", 0, 100},
    {1030, 1, 2, 13, "0", 0, 100},         {1031, 1, 2, 34, "5", 0, 99999},     {1032, 4, 2, 34, "4", 0.1, 100},
};

const Expected kGlobalTable[] = {
    {2000, 1, 4, 31, "0", 0, 6},   {2001, 3, 4, 31, "0", 0, 32},  {2023, 3, 4, 31, "-1", -1, INT_MAX},
    {2024, 3, 4, 31, "-1", -1, INT_MAX}, {2025, 3, 4, 31, "-1", -1, INT_MAX}, {2002, 0, 4, 31, "t", 0, 0},
    {2003, 1, 4, 31, "0", 0, 4},   {2004, 0, 4, 31, "f", 0, 0},   {2005, 3, 4, 31, "-1", -1, INT_MAX},
    {2006, 3, 4, 31, "-1", -1, INT_MAX}, {2007, 3, 4, 31, "-1", -1, INT_MAX}, {2008, 3, 4, 31, "-1", -1, INT_MAX},
    {2009, 0, 4, 31, "f", 0, 0},   {2010, 0, 4, 31, "t", 0, 0},   {2011, 0, 4, 31, "f", 0, 0},
    {2012, 0, 4, 31, "t", 0, 0},   {2013, 0, 4, 31, "t", 0, 0},   {2014, 0, 4, 31, "t", 0, 0},
    {2015, 0, 4, 31, "t", 0, 0},   {2016, 0, 4, 31, "t", 0, 0},   {2017, 0, 4, 31, "t", 0, 0},
    {2018, 0, 4, 31, "t", 0, 0},   {2019, 0, 4, 31, "t", 0, 0},   {2020, 0, 4, 31, "t", 0, 0},
    {2021, 0, 4, 31, "t", 0, 0},   {2022, 0, 4, 31, "t", 0, 0},   {2026, 0, 4, 31, "f", 0, 0},
    {2027, 4, 4, 31, "0", -kMax, kMax}, {2028, 4, 4, 31, "0", -kMax, kMax}, {2029, 4, 4, 31, "0", -kMax, kMax},
    {2030, 4, 4, 31, "0", -kMax, kMax},
};

// The types that offer each parameter code, as the catalogue's rows give them; codes not listed: none.
std::uint32_t ExpectedParameterMask(std::int32_t code)
{
    static const std::map<std::int32_t, std::uint32_t> masks = [] {
        std::map<std::int32_t, std::uint32_t> m;
        const auto set = [&m](std::initializer_list<int> codes, std::initializer_list<int> types) {
            std::uint32_t mask = 0;
            for (const int t : types) mask |= 1u << t;
            for (const int c : codes) m[c] = mask;
        };
        set({0, 58}, {0, 1, 2, 3, 4, 5});
        set({2, 5}, {0, 1, 2, 3, 5});
        set({3, 27, 56}, {0, 2, 3, 5});
        set({10, 33}, {0, 2, 3});
        set({11, 32}, {0, 1, 5});
        set({17, 18}, {0, 1, 3, 5});
        set({9, 21}, {0, 5});
        set({1, 52}, {1, 5});
        set({46}, {3, 4});
        set({48}, {0, 2, 3, 4});
        set({47}, {3});
        set({49, 50}, {4});
        set({53, 54, 55}, {5});
        set({34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45}, {1});
        return m;
    }();
    const auto found = masks.find(code);
    return found == masks.end() ? 1u : found->second; // every other code: type 0
}

void CheckGroup(const SettingsGroup& group, const Expected* table, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const Expected& e = table[i];
        CXSetting* s = group.At(static_cast<std::uint32_t>(i));
        ASSERT_NE(s, nullptr);
        SCOPED_TRACE(e.id);
        EXPECT_EQ(s->Id(), e.id);
        EXPECT_EQ(s->Kind(), e.kind);
        EXPECT_EQ(s->Category(), e.category);
        EXPECT_EQ(s->TypeMask(), e.mask);
        EXPECT_EQ(Utf8(s->ToText(true).View()), e.defaultText);
        // The range holds its bounds and nothing beyond them.
        if (auto* d = dynamic_cast<CXSettingDouble*>(s)) {
            EXPECT_EQ(d->Minimum(), e.minimum);
            EXPECT_EQ(d->Maximum(), e.maximum);
            d->SetValue(e.minimum);
            EXPECT_TRUE(d->IsValid());
            d->SetValue(e.maximum);
            EXPECT_TRUE(d->IsValid());
            d->SetValue(std::nextafter(e.maximum, INFINITY));
            EXPECT_FALSE(d->IsValid());
            d->SetValue(std::nextafter(e.minimum, -INFINITY));
            EXPECT_FALSE(d->IsValid());
            d->Reset();
        } else if (auto* n = dynamic_cast<CXSettingIO<std::int32_t, kSettingLong>*>(s)) {
            EXPECT_EQ(n->Minimum(), e.minimum);
            EXPECT_EQ(n->Maximum(), e.maximum);
            n->SetValue(n->Minimum() - 1);
            EXPECT_FALSE(n->IsValid());
            n->Reset();
            EXPECT_TRUE(n->IsValid());
        } else if (auto* k = dynamic_cast<CXSettingInt*>(s)) {
            EXPECT_EQ(k->Minimum(), e.minimum);
            EXPECT_EQ(k->Maximum(), e.maximum);
            for (const std::int32_t v : {k->Minimum(), k->Maximum()}) {
                k->SetValue(v);
                EXPECT_TRUE(k->IsValid()) << v;
            }
            for (const std::int32_t v : {k->Minimum() - 1, k->Maximum() + 1}) {
                k->SetValue(v);
                EXPECT_FALSE(k->IsValid()) << v;
            }
            k->Reset();
        }
    }
}

} // namespace

TEST(SettingIds, ChannelGroupHoldsTheChannelSettingsThenOneColumnPerParameterCode)
{
    const Settings1 group(&Catalogue());
    ASSERT_EQ(group.Count(), 42u + 54u);
    CheckGroup(group, kChannelTable, std::size(kChannelTable));

    const std::int32_t codes[] = {0,  1,  2,  3,  4,  5,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                                  23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41,
                                  42, 43, 44, 45, 52, 46, 47, 48, 49, 50, 53, 54, 55, 56, 57, 58};
    const std::set<std::int32_t> offByDefault = {1,  10, 23, 24, 26, 28, 29, 30, 32, 34,
                                                 35, 36, 38, 39, 40, 41, 46, 48, 58};
    for (std::size_t i = 0; i < std::size(codes); ++i) {
        const auto* column = dynamic_cast<const CXSetting_Bool*>(group.At(static_cast<std::uint32_t>(42 + i)));
        ASSERT_NE(column, nullptr);
        SCOPED_TRACE(codes[i]);
        EXPECT_EQ(column->Id(), codes[i]);
        EXPECT_EQ(column->Category(), 3);
        EXPECT_EQ(column->Value(), !offByDefault.contains(codes[i]));
        EXPECT_EQ(column->TypeMask(), ExpectedParameterMask(codes[i]));
    }
    for (const std::int32_t none : {6, 7, 8, 22, 51}) {
        EXPECT_EQ(group.Find(none), nullptr);
    }
}

TEST(SettingIds, GlobalGroupHoldsTheGlobalSettings)
{
    const GlobalSettings group;
    ASSERT_EQ(group.Count(), 31u);
    CheckGroup(group, kGlobalTable, std::size(kGlobalTable));
}

// Find answers the first setting with the id in either kind of group, and null for every id a group lacks.
TEST(SettingIds, FindAnswersTheFirstSettingWithTheId)
{
    const Settings1 channel(&Catalogue());
    const Settings1 another(nullptr);
    const GlobalSettings global;
    for (const SettingsGroup* group : std::initializer_list<const SettingsGroup*>{&channel, &another, &global}) {
        std::vector<std::int32_t> ids = {INT_MIN, -1000, 4095, 4096, 4097, 70000, INT_MAX};
        for (std::int32_t id = -2; id < 3100; ++id) {
            ids.push_back(id);
        }
        for (const std::int32_t id : ids) {
            const CXSetting* first = nullptr;
            for (std::uint32_t i = 0; i < group->Count() && !first; ++i) {
                if (group->At(i)->Id() == id) {
                    first = group->At(i);
                }
            }
            ASSERT_EQ(group->Find(id), first) << id;
        }
    }
}

TEST(SettingIds, GroupValidityFollowsTheTypeMasks)
{
    // A new channel group is invalid only for the types that check the unbound detection settings.
    const Settings1 channel(&Catalogue());
    for (std::int32_t type = -1; type <= 7; ++type) {
        EXPECT_EQ(channel.IsValid(type), type != 0 && type != 2) << type;
    }
    // Type 5 checks no global setting, and types outside 0 to 5 check nothing.
    GlobalSettings global;
    global.Find(2000)->FromText(KVO::String(u"6"), true);
    EXPECT_TRUE(global.IsValid(0)); // 6 is accepted
    global.Find(2000)->FromText(KVO::String(u"7"), true);
    EXPECT_FALSE(global.IsValid(0));
    EXPECT_FALSE(global.IsValid(4));
    EXPECT_TRUE(global.IsValid(5));
    EXPECT_TRUE(global.IsValid(6));

    Settings1 rejects(&Catalogue());
    rejects.Find(1032)->FromText(KVO::String(u"0.05"), true);
    EXPECT_FALSE(rejects.IsValid(1));
    EXPECT_TRUE(rejects.IsValid(3)); // 1032 is not checked for evoked responses
    rejects.Find(1032)->FromText(KVO::String(u"0.1"), true);
    rejects.Find(1011)->FromText(KVO::String(u"45"), true);
    EXPECT_FALSE(rejects.IsValid(1));
    EXPECT_TRUE(rejects.IsValid(5));
}

// ---- the container ----

TEST(SettingsSet, FindLooksInTheGlobalGroupOrInTheSourceChannelsGroup)
{
    SettingsSet settings(&Catalogue());
    EXPECT_EQ(settings.Find(2500), nullptr);
    EXPECT_EQ(settings.Find(1005), nullptr); // no group for channel 0 yet
    EXPECT_EQ(settings.GetDouble(1005), 0.0);
    EXPECT_FALSE(settings.GetBool(9));
    EXPECT_EQ(settings.DetectionSettingsObject(), nullptr);
    settings.SetDouble(1005, 3.0); // nowhere to go
    ASSERT_NE(settings.Find(2000), nullptr);

    settings.AddChannel(0);
    settings.AddChannel(3);
    settings.SetDouble(1005, 7.5);
    EXPECT_EQ(settings.GetDouble(1005), 7.5);
    settings.SetLong(2001, 3);
    EXPECT_EQ(settings.GetDouble(1005), 50.0);
    settings.SetLong(2001, 5);
    EXPECT_EQ(settings.Find(1005), nullptr);
    settings.SetLong(2001, 0);

    // The typed accessors check the class: an id of another class reads as nothing.
    EXPECT_EQ(settings.GetInt(1011), 40); // step-of-ten settings are integers
    EXPECT_EQ(settings.GetInt(1005), 0);
    EXPECT_EQ(settings.GetLong(2000), 0);
    EXPECT_EQ(settings.GetLongSetting(2000), nullptr);
    ASSERT_NE(settings.GetLongSetting(2023), nullptr);
    EXPECT_EQ(settings.GetLong(2023), -1);
    EXPECT_FALSE(settings.GetBool(1005));
    EXPECT_TRUE(settings.GetBool(0));
    settings.SetBool(0, false);
    EXPECT_FALSE(settings.GetBool(0));

    EXPECT_EQ(settings.IndexOfChannel(3), 1);
    EXPECT_EQ(settings.IndexOfChannel(1), -1);
}

TEST(SettingsSet, AddChannelCopiesFromAnotherChannelButNeverResetsOne)
{
    SettingsSet settings(&Catalogue());
    doctest::SelectChannel(settings, 2);
    settings.SetDouble(1006, 0.5);
    settings.AddChannel(4, 2);
    settings.SetLong(2001, 4);
    EXPECT_EQ(settings.GetDouble(1006), 0.5);
    settings.SetDouble(1006, 0.25);
    settings.AddChannel(4, 2); // exists: neither reset nor copied again
    EXPECT_EQ(settings.GetDouble(1006), 0.25);
    settings.AddChannel(5, 9); // no group 9: defaults
    settings.SetLong(2001, 5);
    EXPECT_EQ(settings.GetDouble(1006), 0.03);
    EXPECT_EQ(settings.ChannelCount(), 3u);
}

TEST(SettingsSet, DetectionSettingsAreBoundAndToldTheirChannel)
{
    host::CallLog log;
    const auto document = doctest::MakeHostDocument(true, &log);
    SettingsSet settings(&Catalogue());
    doctest::SelectChannel(settings, 2, document.Get());
    ILMDetectionSettings* object = settings.DetectionSettingsObject();
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(static_cast<host::LMDetectionSettings*>(object)->SourceChannel(), 2.0);
    EXPECT_TRUE(settings.Global().IsValid(0));
    EXPECT_TRUE(settings.ChannelAt(0)->IsValid(0));

    // A copied channel gets a clone of its own, told its own key.
    settings.AddChannel(6, 2, document.Get());
    settings.SetLong(2001, 6);
    ILMDetectionSettings* copy = settings.DetectionSettingsObject();
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, object);
    EXPECT_EQ(static_cast<host::LMDetectionSettings*>(copy)->SourceChannel(), 6.0);

    // Groups read without a document stay unbound until the document binds them.
    SettingsSet loaded(&Catalogue());
    loaded.AddChannel(1);
    loaded.AddChannel(3);
    loaded.ChannelAt(1)->Find(1010)->FromText(KVO::String(u"height=7;transform=1"), true);
    loaded.BindDetectionSettings(document.Get());
    for (std::uint32_t i = 0; i < 2; ++i) {
        auto* bound = static_cast<host::LMDetectionSettings*>(loaded.ChannelAt(i)->DetectionSetting()->Object());
        ASSERT_NE(bound, nullptr);
        EXPECT_EQ(bound->SourceChannel(), loaded.ChannelAt(i)->Key());
    }
    EXPECT_EQ(Utf8(loaded.ChannelAt(1)->Find(1010)->ToText(true).View()), "height=7;transform=1");

    // Without the extension nothing binds and the text survives.
    const auto bare = doctest::MakeHostDocument(false);
    SettingsSet without(&Catalogue());
    without.AddChannel(0, -1, bare.Get());
    without.ChannelAt(0)->Find(1010)->FromText(KVO::String(u"height=8;transform=0"), true);
    without.BindDetectionSettings(bare.Get());
    EXPECT_EQ(without.DetectionSettingsObject(), nullptr);
    EXPECT_EQ(Utf8(without.Find(1010)->ToText(true).View()), "height=8;transform=0");
}

TEST(SettingsSet, AssignRebuildsTheChannelsAsDeepCopies)
{
    const auto document = doctest::MakeHostDocument(true);
    SettingsSet source(&Catalogue());
    source.AddChannel(1, -1, document.Get());
    source.AddChannel(3);
    source.SetDouble(2027, 1.5);
    source.ChannelAt(0)->Find(1006)->FromText(KVO::String(u"0.7"), true);
    source.ChannelAt(1)->Find(1006)->FromText(KVO::String(u"0.9"), true);

    SettingsSet target(&Catalogue());
    target.AddChannel(2);
    target.AddChannel(3);
    target.ChannelAt(1)->Find(1001)->FromText(KVO::String(u"77"), true);
    target.Assign(source);
    ASSERT_EQ(target.ChannelCount(), 2u);
    EXPECT_EQ(target.ChannelAt(0)->Key(), 1);
    EXPECT_EQ(target.ChannelAt(1)->Key(), 3);
    EXPECT_EQ(target.GetDouble(2027), 1.5);
    EXPECT_EQ(Utf8(target.ChannelAt(0)->Find(1006)->ToText(true).View()), "0.7");
    EXPECT_EQ(Utf8(target.ChannelAt(1)->Find(1006)->ToText(true).View()), "0.9");
    EXPECT_EQ(Utf8(target.ChannelAt(1)->Find(1001)->ToText(true).View()), "50"); // the source's value
    // The detection settings are cloned, not shared.
    ILMDetectionSettings* cloned = target.ChannelAt(0)->DetectionSetting()->Object();
    ASSERT_NE(cloned, nullptr);
    EXPECT_NE(cloned, source.ChannelAt(0)->DetectionSetting()->Object());

    const SettingsSet copy(source);
    EXPECT_EQ(doctest::Written(copy), doctest::Written(source));
}

TEST(SettingsSet, AssigningAContainerToItselfKeepsItsContents)
{
    const auto document = doctest::MakeHostDocument(true);
    SettingsSet settings(&Catalogue());
    doctest::SelectChannel(settings, 4, document.Get());
    settings.SetDouble(1006, 0.125);
    const Bytes before = doctest::Written(settings);
    ILMDetectionSettings* object = settings.DetectionSettingsObject();
    settings.Assign(settings);
    EXPECT_EQ(settings.ChannelCount(), 1u);
    EXPECT_EQ(settings.GetDouble(1006), 0.125);
    EXPECT_EQ(settings.DetectionSettingsObject(), object);
    EXPECT_EQ(doctest::Written(settings), before);
}

TEST(SettingsSet, TypeListPositions)
{
    const std::int32_t positions[] = {0, 5, 3, 1, 2, 4};
    for (std::int32_t type = 0; type < 6; ++type) {
        EXPECT_EQ(TypeListPosition(type), positions[type]);
        EXPECT_EQ(AnalysisTypeAtListPosition(positions[type]), type);
    }
    EXPECT_EQ(AnalysisTypeAtListPosition(5), 1); // type 1 is last
    EXPECT_EQ(AnalysisTypeAtListPosition(2), 4);
    for (const std::int32_t outside : {-1, 6, 100}) {
        EXPECT_EQ(TypeListPosition(outside), -1);
        EXPECT_EQ(AnalysisTypeAtListPosition(outside), -1);
    }
}
