// The selection-list grammar: texts and the items they select, with the list separators of two user locales.
#include "foundation/localeinfo.h"
#include "foundation/selectionlist.h"
#include "platform/win/locale.h"
#include "platform/win/resources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {
using Items = std::vector<std::uint32_t>;

// The item numbers (1-based) of the stored words' set bits.
Items Selected(const KVO::Bitset& bits)
{
    Items items;
    for (std::uint32_t bit = 0; bit < bits.WordCount() * 32; ++bit) {
        if (bits.Test(bit)) {
            items.push_back(bit + 1);
        }
    }
    return items;
}

bool IsAll(const KVO::Bitset& bits)
{
    return bits.FillWord() == 0xFFFFFFFFu && bits.BitLength() == 0xFFFFFFFFu;
}

class SelectionListTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        platform::SetUserLocale(platform::LocaleProfile::EnglishUS());
        LocaleInfo::Reset();
    }
    static void UseLocale(const platform::LocaleProfile& profile)
    {
        platform::SetUserLocale(profile);
        LocaleInfo::Reset();
    }
};

struct Case {
    const char16_t* text;
    Items items;
};

TEST_F(SelectionListTest, TextsAndTheirSelectionsWithACommaSeparator)
{
    UseLocale(platform::LocaleProfile::EnglishUS());
    const Case cases[] = {
        {u"1,3,5-9", {1, 3, 5, 6, 7, 8, 9}},
        {u"9-5", {5, 9}},           // a falling range gives its two ends
        {u"3-3", {3}},
        {u"2", {2}},
        {u"0", {}},                 // item 0 is no item
        {u"0-3", {1, 2, 3}},
        {u"0,2", {2}},
        {u"1, 3", {1}},             // the blank stops the parse
        {u"5-", {5}},               // the range fails, the number alone matches
        {u"5-x", {5}},
        {u"1,,2", {1}},
        {u"1;2", {1}},              // not this locale's separator
        {u"x1", {}},
        {u"", {}},
        {u"31-33", {31, 32, 33}},   // across a word boundary
        {u"99999999999", {}},       // saturates at 2^31 - 1, beyond the items that can be selected
        {u"0032", {32}},
    };
    for (const Case& c : cases) {
        const KVO::Bitset bits = KVO::ParseSelectionList(c.text, KVO::String(u"all"));
        EXPECT_EQ(c.items, Selected(bits)) << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
        EXPECT_EQ(0u, bits.FillWord());
        EXPECT_GE(bits.WordCount(), 2u);
    }
    // The keyword anywhere, in any letter case, selects everything.
    for (const char16_t* text : {u"all", u"ALL", u"1,All,3", u"xaLLx"}) {
        EXPECT_TRUE(IsAll(KVO::ParseSelectionList(text, KVO::String(u"All"))));
    }
    EXPECT_TRUE(IsAll(KVO::ParseSelectionList(u"2,JEDER", KVO::String(u"jeder"))));
    EXPECT_FALSE(IsAll(KVO::ParseSelectionList(u"al", KVO::String(u"all"))));
    // Without a host the default keyword is empty, and an empty keyword is never found.
    EXPECT_TRUE(KVO::DefaultAllKeyword().IsEmpty());
    EXPECT_EQ((Items{1, 2}), Selected(KVO::ParseSelectionList(u"1,2", KVO::String())));
    EXPECT_EQ(Items{}, Selected(KVO::ParseSelectionList(u"all", KVO::String())));
    EXPECT_EQ(Items{}, Selected(KVO::ParseSelectionList(nullptr, KVO::String())));
}

TEST_F(SelectionListTest, ASemicolonListLocale)
{
    UseLocale(platform::LocaleProfile::German());
    ASSERT_EQ(std::u16string(u";"), KVOLocale::GetListSeparator());
    const Case cases[] = {
        {u"1,2", {1}},
        {u"1;2", {1, 2}},
        {u"1;3-4;7", {1, 3, 4, 7}},
        {u"1;3,5", {1, 3}},
        {u"12;", {12}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.items, Selected(KVO::ParseSelectionList(c.text, KVO::String(u"alle"))));
    }
    EXPECT_TRUE(IsAll(KVO::ParseSelectionList(u"Alle", KVO::String(u"alle"))));
}

TEST_F(SelectionListTest, ItemNumbersAreCappedAndRangesSetWholeWords)
{
    UseLocale(platform::LocaleProfile::EnglishUS());
    // With 35 items known, numbers above 35 select nothing and ranges end at 35.
    EXPECT_EQ((Items{30, 31, 32, 33, 34, 35}), Selected(KVO::ParseSelectionList(u"30-40", KVO::String(u"all"), 35)));
    EXPECT_EQ((Items{2}), Selected(KVO::ParseSelectionList(u"36,2,40-50", KVO::String(u"all"), 35)));
    EXPECT_EQ((Items{35}), Selected(KVO::ParseSelectionList(u"90-35", KVO::String(u"all"), 35)));

    // A large range without a known count: set word by word up to its end.
    const KVO::Bitset large = KVO::ParseSelectionList(u"40-1000000", KVO::String(u"all"));
    EXPECT_EQ(1000000u, large.BitLength());
    EXPECT_EQ(39u, large.FindFirst());
    EXPECT_EQ(0xFFFFFF80u, large.Word(1));
    EXPECT_EQ(0xFFFFFFFFu, large.Word(1000));
    EXPECT_EQ(0x00000000u, large.Word(31250));
    EXPECT_EQ(0xFFFFFFFFu, large.Word(31249));
    // Beyond the cap for unknown counts nothing is stored.
    const KVO::Bitset beyond = KVO::ParseSelectionList(u"16777217,3", KVO::String(u"all"));
    EXPECT_EQ((Items{3}), Selected(beyond));
    EXPECT_EQ(16777216u, KVO::ParseSelectionList(u"16777200-99999999", KVO::String(u"all")).BitLength());
}

// Registers the host's word and checks that it is loaded and matched; the exit code tells.
[[noreturn]] void LoadHostKeyword()
{
    const platform::StringTableEntry entries[] = {{22033, u"Every"}};
    platform::RegisterStringTable(GetModuleHandleW(nullptr), entries);
    const bool loaded = KVO::DefaultAllKeyword() == KVO::String(u"Every");
    const bool matched = KVO::ParseSelectionList(u"1,EVERY", KVO::String()).FillWord() == 0xFFFFFFFFu;
    std::exit(loaded && matched ? 0 : 1);
}

TEST(SelectionKeyword, TheHostsWordForAllIsLoadedOnce)
{
    // The word is kept for the process, so this runs in a process of its own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(LoadHostKeyword(), ::testing::ExitedWithCode(0), "");
}
}
