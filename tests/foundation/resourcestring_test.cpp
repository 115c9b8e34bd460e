#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "foundation/utilities.h"
#include "resources/stringtable.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <filesystem>
#include <string>

namespace {

std::u16string Load(HINSTANCE module, UINT id, bool substitute)
{
    return std::u16string(KVO::LoadResourceString(module, id, substitute).View());
}

// A string table of its own, under a handle that no binary has.
class ResourceStringTest : public ::testing::Test {
protected:
    const HINSTANCE module = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x7E570000});

    void SetUp() override
    {
        static constexpr platform::StringTableEntry kEntries[] = {
            {1, u"Welcome to HOSTAPPTITLE"},
            {2, u"HOSTAPP runs beside HOSTAPPTITLE"},
            {3, u"OEM devices, made by OEM"},
            {4, u"NEWACQUIBOXES and the acquibox"},
            {5, u""},
            {6, u"Connect the ACQUIBOX to %1"},
            {17, u"second block"},
        };
        platform::RegisterStringTable(module, kEntries);
    }
    void TearDown() override
    {
        platform::UnregisterResources(module);
        platform::SetApplicationLanguage(std::nullopt);
    }
};

} // namespace

TEST_F(ResourceStringTest, TokensAreReplacedInTableOrder)
{
    // The title token goes whole; its name-token start does not leave the suffix behind.
    EXPECT_EQ(Load(module, 1, true), u"Welcome to Wavedesk");
    EXPECT_EQ(Load(module, 2, true), u"Wavedesk runs beside Wavedesk");
    EXPECT_EQ(Load(module, 3, true), u"Corvane devices, made by Corvane");
    // A plain substring search: inside a longer word too, but case-sensitive.
    EXPECT_EQ(Load(module, 4, true), u"NEWAcquiboxES and the acquibox");
    // Placeholders stay for the format stream.
    EXPECT_EQ(Load(module, 6, true), u"Connect the Acquibox to %1");
}

TEST_F(ResourceStringTest, WithoutTheFlagTokensStay)
{
    EXPECT_EQ(Load(module, 1, false), u"Welcome to HOSTAPPTITLE");
    EXPECT_EQ(Load(module, 3, false), u"OEM devices, made by OEM");
    EXPECT_EQ(Load(module, 17, false), u"second block");
}

TEST_F(ResourceStringTest, MissingTextsAreEmpty)
{
    KVO::String target(u"old text");
    KVO::LoadResourceStringInto(target, module, 0, true);
    EXPECT_TRUE(target.IsEmpty());
    EXPECT_TRUE(Load(module, 5, true).empty());    // an empty entry
    EXPECT_TRUE(Load(module, 7, true).empty());    // no entry in an existing block
    EXPECT_TRUE(Load(module, 4000, true).empty()); // no block
    EXPECT_TRUE(Load(reinterpret_cast<HINSTANCE>(std::uintptr_t{0x7E580000}), 1, true).empty()); // no such module
}

TEST_F(ResourceStringTest, ABlockWhoseCountRunsPastItsEndGivesNothing)
{
    // Block 3 (ids 32 to 47): entry 32 claims five units but the block holds two.
    const std::array<char16_t, 3> units = {5, u'a', u'b'};
    platform::RegisterResource(module, RT_STRING, MAKEINTRESOURCEW(3), LANG_NEUTRAL,
                               std::as_bytes(std::span<const char16_t>(units)));
    EXPECT_TRUE(Load(module, 32, false).empty());
    EXPECT_TRUE(Load(module, 33, false).empty());
}

// Two tables of one module whose ids share a block (16 to 31): each keeps its strings whatever the order; an id
// registered again takes the newer text.
TEST_F(ResourceStringTest, TablesSharingABlockKeepEachOthersStrings)
{
    static constexpr platform::StringTableEntry kOther[] = {{18, u"other table"}, {6, u"newer text"}};
    platform::RegisterStringTable(module, kOther);
    EXPECT_EQ(Load(module, 17, false), u"second block");
    EXPECT_EQ(Load(module, 18, false), u"other table");
    EXPECT_EQ(Load(module, 1, false), u"Welcome to HOSTAPPTITLE");
    EXPECT_EQ(Load(module, 6, false), u"newer text");
    EXPECT_TRUE(Load(module, 19, false).empty());
}

TEST_F(ResourceStringTest, TheApplicationLanguageComesFirst)
{
    static constexpr platform::StringTableEntry kGerman[] = {{1, u"Willkommen bei HOSTAPPTITLE"}};
    platform::RegisterStringTable(module, kGerman, MAKELANGID(0x07, 0x01));

    EXPECT_EQ(Load(module, 1, true), u"Welcome to Wavedesk"); // no application: any language
    platform::SetApplicationLanguage(MAKELANGID(0x07, 0x01));
    EXPECT_EQ(Load(module, 1, true), u"Willkommen bei Wavedesk");
    // A language without a block of its own falls back.
    EXPECT_EQ(Load(module, 17, true), u"second block");
    platform::SetApplicationLanguage(MAKELANGID(0x0C, 0x01));
    EXPECT_EQ(Load(module, 1, true), u"Welcome to Wavedesk");
}

TEST(ModuleStringTable, IsRegisteredAtLoadAndHandleZeroMeansTheExecutable)
{
    for (const platform::StringTableEntry& entry : Resources::StringTable()) {
        EXPECT_EQ(Load(KVO::ModuleInstance(), entry.id, false), entry.text) << entry.id;
    }

    static constexpr platform::StringTableEntry kHost[] = {{30001, u"host text"}};
    platform::RegisterStringTable(GetModuleHandleW(nullptr), kHost);
    EXPECT_EQ(Load(nullptr, 30001, false), u"host text");
}

// Each row names its configuration key and the branding file beside the executable, whose path keeps the folder,
// name and extension of its relative path.
TEST(OEMSubstitutions, RowsCarryTheirKeysAndTheBrandingFileBesideTheExecutable)
{
    const std::string executable = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string folder = executable.substr(0, executable.rfind('/') + 1);
    const std::u16string besides(folder.begin(), folder.end());
    EXPECT_EQ(KVO::PathBesideExecutable(u"Essential Files\\Ofig.kvoini"), besides + u"Essential Files/Ofig.kvoini");
    EXPECT_EQ(KVO::PathBesideExecutable(u"\\libhost.so"), besides + u"libhost.so");

    const struct {
        const char16_t* token;
        const char16_t* key;
    } rows[] = {{u"HOSTAPPTITLE", u"AppTitle"}, {u"HOSTAPP", u"AppName"}, {u"ACQUIBOX", u"HardwareName"},
                {u"OEM", u"OEMName"}};
    const std::vector<KVO::OEMSubstitution>& table = KVO::OEMSubstitutions();
    ASSERT_EQ(std::size(rows), table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].token.View(), rows[i].token);
        EXPECT_EQ(table[i].key.View(), rows[i].key);
        EXPECT_EQ(table[i].file.View(), besides + u"Essential Files/Ofig.kvoini");
    }
}
