// The host's settings file: values that come back in a later session, the file's escapes, where it lives, a file that
// cannot be written, and the peak detection's user presets kept through it.
#include "host/loopmetry.h"
#include "host/settingsfile.h"

#include "platform/win/atomicfile.h"
#include "platform/win/codepage.h"
#include "platform/win/msgbox.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <iterator>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A folder of its own for each test, removed at the end.
struct Folder {
    fs::path path = fs::temp_directory_path() / ("crestmetrics_settings_" + std::to_string(::getpid()) + "_" +
                                                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Folder() { fs::remove_all(path); }
    ~Folder() { fs::remove_all(path); }
};

std::string Read(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(SettingsFile, ValuesComeBackInALaterSession)
{
    Folder folder;
    const fs::path file = folder.path / "deeper" / "settings";
    const struct {
        std::u16string name;
        std::u16string value;
        const char* line; // as the file holds it
    } cases[] = {
        {u"plain", u"text", "plain\ttext\n"},
        {u"lines", u"a\tb\nc\r\n", "lines\ta\\tb\\nc\\r\\n\n"},
        {u"back\\slash", u"\\n", "back\\\\slash\t\\\\n\n"},
        {u"\u00B5", u"\u03A9 \U0001F600", "\xC2\xB5\t\xCE\xA9 \xF0\x9F\x98\x80\n"},
        {u"empty", u"", "empty\t\n"},
        {u"#hash", u"not a comment", "\\#hash\tnot a comment\n"}, // a leading "#" would make the line a comment
    };
    {
        host::SettingsFile settings;
        settings.SetPath(file);
        for (const auto& c : cases) {
            EXPECT_TRUE(settings.SetValue(c.name, c.value));
        }
        EXPECT_TRUE(settings.SetValue(u"plain", u"text")); // the same again: one line
    }
    const std::string bytes = Read(file);
    for (const auto& c : cases) {
        EXPECT_NE(bytes.find(c.line), std::string::npos) << c.line;
    }
    EXPECT_FALSE(fs::exists(fs::path(file) += ".new"));

    // Another session; lines that are no values are passed over.
    std::ofstream(file, std::ios::app) << "# a comment\n\nno tab here\ntrailing\tcr\r\n";
    host::SettingsFile later;
    later.SetPath(file);
    for (const auto& c : cases) {
        EXPECT_EQ(later.Value(c.name), c.value);
    }
    EXPECT_EQ(later.Value(u"trailing"), u"cr");
    EXPECT_EQ(later.Value(u"no tab here"), std::nullopt);
    EXPECT_TRUE(later.Remove(u"plain"));
    host::SettingsFile third;
    third.SetPath(file);
    EXPECT_EQ(third.Value(u"plain"), std::nullopt);
    EXPECT_EQ(third.Value(u"empty"), u"");
}

TEST(SettingsFile, AFileThatCannotBeWrittenKeepsItsLastVersion)
{
    Folder folder;
    fs::create_directories(folder.path / "settings"); // a folder where the file should be
    host::SettingsFile blocked;
    blocked.SetPath(folder.path / "settings");
    EXPECT_FALSE(blocked.SetValue(u"a", u"1"));
    EXPECT_EQ(blocked.Value(u"a"), u"1"); // kept for the session
    host::SettingsFile nowhere;
    nowhere.SetPath({});
    EXPECT_FALSE(nowhere.SetValue(u"a", u"1"));
    EXPECT_EQ(nowhere.Value(u"a"), u"1");
}

// A settings file that is no regular file is neither read nor written, and the user is told once: a FIFO would
// block every session on its read (and its write), /dev/zero would fill the memory.
TEST(SettingsFile, OneThatIsNoRegularFileIsRefusedWithAMessage)
{
    Folder folder;
    fs::create_directories(folder.path);
    const fs::path fifo = folder.path / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const fs::path& path : {fifo, fs::path("/dev/zero"), folder.path}) {
        SCOPED_TRACE(path);
        std::vector<std::u16string> boxes;
        platform::MessageBoxHook previous = platform::SetMessageBoxHook([&](const platform::MessageBoxCall& call) {
            boxes.push_back(call.text);
            return IDOK;
        });
        host::SettingsFile settings;
        settings.SetPath(path);
        EXPECT_EQ(settings.Value(u"a"), std::nullopt);
        EXPECT_FALSE(settings.SetValue(u"a", u"1"));
        EXPECT_EQ(settings.Value(u"a"), u"1"); // kept for the session
        platform::SetMessageBoxHook(std::move(previous));
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], u"The settings file " + platform::Utf8ToUtf16(path.string()) +
                                u" is not a regular file: it is neither read nor written, and settings changed now "
                                u"last only for this session. Name a regular file in CRESTMETRICS_SETTINGS.");
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
}

// A save killed halfway leaves its temporary file beside the settings: later saves go on, loads never read it,
// and a save that fails keeps the last whole version.
TEST(SettingsFile, AnInterruptedSaveLeavesTheLastWholeVersion)
{
    Folder folder;
    fs::create_directories(folder.path);
    const fs::path file = folder.path / "settings";
    const fs::path leftover = folder.path / "settings.new";
    std::ofstream(leftover, std::ios::binary) << "# crestmetrics host settings\nhalf\twr";
    host::SettingsFile settings;
    settings.SetPath(file);
    ASSERT_TRUE(settings.SetValue(u"a", u"1"));
    const std::string whole = Read(file);

    platform::AtomicFile::FailWritesBeyond(whole.size() / 2, ENOSPC);
    EXPECT_FALSE(settings.SetValue(u"b", u"2"));
    platform::AtomicFile::ClearInjectedFault();
    EXPECT_EQ(Read(file), whole);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), {}), 2); // the file and the old leftover

    host::SettingsFile later;
    later.SetPath(file);
    EXPECT_EQ(later.Value(u"a"), u"1");
    EXPECT_EQ(later.Value(u"half"), std::nullopt);
}

TEST(SettingsFile, TheEnvironmentNamesTheFile)
{
    const char* names[] = {host::kSettingsFileVariable, "XDG_CONFIG_HOME", "HOME"};
    std::vector<std::optional<std::string>> saved;
    for (const char* name : names) {
        const char* value = std::getenv(name);
        saved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
    }
    const struct {
        const char* file;
        const char* config;
        const char* home;
        const char* expected;
    } cases[] = {
        {"/tmp/x/settings.txt", "/cfg", "/home/u", "/tmp/x/settings.txt"},
        {nullptr, "/cfg", "/home/u", "/cfg/crestmetrics/settings"},
        {"", "", "/home/u", "/home/u/.config/crestmetrics/settings"},
        {nullptr, nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        const char* values[] = {c.file, c.config, c.home};
        for (int i = 0; i < 3; ++i) {
            if (values[i]) {
                ::setenv(names[i], values[i], 1);
            } else {
                ::unsetenv(names[i]);
            }
        }
        EXPECT_EQ(host::SettingsFile::DefaultPath(), fs::path(c.expected)) << c.expected;
    }
    for (int i = 0; i < 3; ++i) {
        if (saved[static_cast<std::size_t>(i)]) {
            ::setenv(names[i], saved[static_cast<std::size_t>(i)]->c_str(), 1);
        } else {
            ::unsetenv(names[i]);
        }
    }
}

// A preset saved through the extension is there in the next session's extension, and a deleted one is gone.
TEST(SettingsFile, UserPresetsOfThePeakDetectionOutliveTheSession)
{
    Folder folder;
    const fs::path file = folder.path / "settings";
    const auto storeIn = [&](host::SettingsFile& settings) {
        settings.SetPath(file);
        return std::make_shared<host::LMPresetStore>(settings);
    };
    const auto names = [](ILMDocExtension& extension) {
        LONG count = 0;
        extension.GetPresetCount(&count);
        std::vector<std::u16string> all;
        for (LONG i = 0; i < count; ++i) {
            BSTR name = nullptr;
            extension.GetPresetName(i, VARIANT_TRUE, &name);
            all.emplace_back(name ? name : u"");
            SysFreeString(name);
        }
        return all;
    };
    {
        host::SettingsFile settings;
        host::LMDocExtension extension(nullptr, storeIn(settings));
        EXPECT_EQ(names(extension).size(), 4u);
        platform::ComPtr<ILMDetectionSettings> custom;
        extension.CreateSettings(custom.Out());
        custom->SetParameter(14, 0.0);
        custom->SetParameter(3, 6.5);
        ASSERT_EQ(extension.SavePreset(nullptr, custom.Get()), S_OK);
        custom->SetParameter(3, 7.5);
        ASSERT_EQ(extension.SavePreset(nullptr, custom.Get()), S_OK);
    }
    {
        host::SettingsFile settings;
        host::LMDocExtension extension(nullptr, storeIn(settings));
        const auto all = names(extension);
        ASSERT_EQ(all.size(), 6u);
        EXPECT_EQ(all[4], u"User preset 1");
        EXPECT_EQ(all[5], u"User preset 2");
        platform::ComPtr<ILMDetectionSettings> second;
        ASSERT_EQ(extension.GetPreset(5, second.Out()), S_OK);
        double height = 0.0;
        second->GetParameter(3, &height);
        EXPECT_EQ(height, 7.5);
        EXPECT_EQ(extension.DeletePreset(nullptr, u"User preset 1"), S_OK);
    }
    host::SettingsFile settings;
    host::LMDocExtension extension(nullptr, storeIn(settings));
    const auto all = names(extension);
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[4], u"User preset 2");
}

} // namespace
