// The host's settings file: values that come back in a later session, the file's escapes, where it lives, a file that
// cannot be written, and the peak detection's user presets kept through it.
#include "host/loopmetry.h"
#include "host/settingsfile.h"

#include "platform/posix/atomicfile.h"
#include "platform/win/codepage.h"
#include "platform/win/msgbox.h"
#include "tests/tempfolder.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <pwd.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A folder of its own for each test, removed at the end.
struct Folder {
    testutil::TempFolder own;
    fs::path path = own.Path();
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
    std::ofstream(file, std::ios::app) << "# a comment\n#\twith a tab\n\nno tab here\ntrailing\tcr\r\n";
    host::SettingsFile later;
    later.SetPath(file);
    for (const auto& c : cases) {
        EXPECT_EQ(later.Value(c.name), c.value);
    }
    EXPECT_EQ(later.Value(u"trailing"), u"cr");
    EXPECT_EQ(later.Value(u"no tab here"), std::nullopt);
    EXPECT_EQ(later.Value(u"#"), std::nullopt);
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
    std::set<std::string> left;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder.path)) {
        left.insert(entry.path().filename().string());
    }
    EXPECT_EQ(left, (std::set<std::string>{"settings", "settings.new", "settings.lock"})); // the old leftover stays

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

// Runs `work` in `count` child processes that start together (when the pipe they wait on closes); true when every
// one ran and answered true.
bool InProcessesAtOnce(int count, const std::function<bool(int which)>& work)
{
    int start[2];
    if (::pipe(start) != 0) {
        return false;
    }
    std::vector<pid_t> children;
    for (int which = 0; which < count; ++which) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(start[1]);
            char ignored = 0;
            const bool started = ::read(start[0], &ignored, 1) == 0;
            ::_exit(started && work(which) ? 0 : 1);
        }
        if (child > 0) {
            children.push_back(child);
        }
    }
    ::close(start[0]);
    ::close(start[1]);
    bool all = children.size() == static_cast<std::size_t>(count);
    for (const pid_t child : children) {
        int status = 0;
        all = ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0 && all;
    }
    return all;
}

std::vector<host::LMPresetStore::Preset> UserPresetsIn(const fs::path& file)
{
    host::SettingsFile settings;
    settings.SetPath(file);
    std::vector<host::LMPresetStore::Preset> presets = host::LMPresetStore(settings).Presets();
    std::erase_if(presets, [](const host::LMPresetStore::Preset& preset) { return !preset.removable; });
    return presets;
}

host::LMDetection DetectionOfHeight(double height)
{
    host::LMDetection detection;
    detection.detect.height = height;
    return detection;
}

// Two host processes, each setting 50 names and adding 50 user presets through its preset store at the same time.
TEST(SettingsFile, TwoHostProcessesSavingAtOnceKeepEverything)
{
    Folder folder;
    const fs::path file = folder.path / "settings";
    constexpr int kEach = 50;
    const auto nameOf = [](int which, int n) { return std::to_string(which) + "." + std::to_string(n); };
    ASSERT_TRUE(InProcessesAtOnce(2, [&](int which) {
        host::SettingsFile settings;
        settings.SetPath(file);
        host::LMPresetStore store(settings);
        bool saved = true;
        for (int n = 0; n < kEach; ++n) {
            const std::u16string value = platform::Utf8ToUtf16(std::to_string(n));
            saved = settings.SetValue(platform::Utf8ToUtf16(nameOf(which, n)), value) && saved;
            store.AddUserPreset(DetectionOfHeight(1 + which * kEach + n));
        }
        return saved;
    }));
    host::SettingsFile later;
    later.SetPath(file);
    std::vector<std::string> lost;
    for (int which = 0; which < 2; ++which) {
        for (int n = 0; n < kEach; ++n) {
            if (later.Value(platform::Utf8ToUtf16(nameOf(which, n))) != platform::Utf8ToUtf16(std::to_string(n))) {
                lost.push_back(nameOf(which, n));
            }
        }
    }
    EXPECT_EQ(lost, std::vector<std::string>());
    std::set<std::u16string> names;
    std::set<double> heights;
    for (const auto& preset : UserPresetsIn(file)) {
        names.insert(preset.name);
        heights.insert(preset.detection.detect.height);
    }
    EXPECT_EQ(names.size(), 2u * kEach);
    EXPECT_EQ(heights.size(), 2u * kEach);
}

// Two sessions that each loaded the file earlier: every save changes only its own name in the file as it is now.
TEST(SettingsFile, EachSaveChangesOnlyItsOwnNameInTheFileAsItIsNow)
{
    Folder folder;
    const fs::path file = folder.path / "settings";
    host::SettingsFile first;
    host::SettingsFile second;
    first.SetPath(file);
    second.SetPath(file);
    EXPECT_TRUE(first.SetValue(u"a", u"1"));
    EXPECT_TRUE(second.SetValue(u"b", u"2"));
    EXPECT_TRUE(first.SetValue(u"c", u"3"));
    EXPECT_EQ(Read(file), "# crestmetrics host settings\na\t1\nb\t2\nc\t3\n");
    EXPECT_TRUE(second.Remove(u"a"));
    EXPECT_TRUE(first.Remove(u"b")); // saved by the other session since this one read the file
    EXPECT_EQ(Read(file), "# crestmetrics host settings\nc\t3\n");
    EXPECT_EQ(first.Value(u"a"), std::nullopt);

    // The presets: each change is made to the list as stored now, with a name the stored list does not hold.
    host::LMPresetStore one(first);
    host::LMPresetStore other(second);
    EXPECT_EQ(one.AddUserPreset(DetectionOfHeight(1)), u"User preset 1");
    EXPECT_EQ(other.AddUserPreset(DetectionOfHeight(2)), u"User preset 2");
    EXPECT_TRUE(one.RemoveUserPreset(u"User preset 1"));
    EXPECT_EQ(other.AddUserPreset(DetectionOfHeight(3)), u"User preset 1"); // the removed one does not come back
    EXPECT_EQ(one.AddUserPreset(DetectionOfHeight(4)), u"User preset 3");
    std::vector<std::pair<std::u16string, double>> stored;
    for (const auto& preset : UserPresetsIn(file)) {
        stored.emplace_back(preset.name, preset.detection.detect.height);
    }
    const std::vector<std::pair<std::u16string, double>> expected = {
        {u"User preset 2", 2.0}, {u"User preset 1", 3.0}, {u"User preset 3", 4.0}};
    EXPECT_EQ(stored, expected);
}

// A file that is there but cannot be read is not replaced by one holding only the new value. Permission bits do not
// stop root: then the file is the user nobody's, and the saves run as nobody in a child process.
TEST(SettingsFile, AFileThatCannotBeReadIsNotReplaced)
{
    Folder folder;
    fs::create_directories(folder.path);
    fs::permissions(folder.path, fs::perms::all); // the saves could make their temporary file here
    const fs::path file = folder.path / "settings";
    const std::string before = "# crestmetrics host settings\nkept\tvalue\n";
    std::ofstream(file, std::ios::binary) << before;
    const bool root = ::geteuid() == 0;
    const passwd* nobody = ::getpwnam("nobody");
    const uid_t nobodyUser = nobody ? nobody->pw_uid : 65534;
    const gid_t nobodyGroup = nobody ? nobody->pw_gid : 65534;
    ASSERT_TRUE(!root || ::chown(file.c_str(), nobodyUser, nobodyGroup) == 0);
    const struct {
        const char* what;
        std::function<bool(host::SettingsFile&)> save; // true when it said that it saved
    } cases[] = {
        {"a value", [](host::SettingsFile& settings) { return settings.SetValue(u"new", u"1"); }},
        {"a removal", [](host::SettingsFile& settings) { return settings.Remove(u"kept"); }},
        {"a preset", [](host::SettingsFile& settings) {
             host::LMPresetStore(settings).AddUserPreset(DetectionOfHeight(1));
             return false; // the store keeps it for the session and says nothing: the file tells
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::permissions(file, fs::perms::owner_write); // writable, so that only the read keeps the old file
        EXPECT_TRUE(InProcessesAtOnce(1, [&](int) {
            if (root && (::setgid(nobodyGroup) != 0 || ::setuid(nobodyUser) != 0)) {
                return false;
            }
            host::SettingsFile settings;
            settings.SetPath(file);
            return !c.save(settings);
        }));
        fs::permissions(file, fs::perms::owner_read, fs::perm_options::add);
        EXPECT_EQ(Read(file), before);
        std::ofstream(file, std::ios::binary) << before;
    }
}

} // namespace
