// Files written whole or not at all: a failed or cancelled write leaves the old file byte for byte and no
// temporary file behind; devices are written in place and stay devices.
#include "platform/posix/atomicfile.h"
#include "platform/posix/followname.h"
#include "platform/posix/outputbatch.h"
#include "tests/tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <climits>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using platform::AtomicFile;

class AtomicFileTest : public ::testing::Test {
protected:
    void TearDown() override { AtomicFile::ClearInjectedFault(); }

    std::string PathOf(const std::string& name) const { return folder_ / name; }
    static void Put(const std::string& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::vector<std::string> Names() const { return folder_.Names(); }
    std::vector<std::string> Names(const std::string& folder) const
    {
        return testutil::TempFolder::NamesIn(PathOf(folder));
    }
    static unsigned Mode(const std::string& path)
    {
        struct stat info {};
        ::stat(path.c_str(), &info);
        return info.st_mode & 07777;
    }
    // The errno of a write of "new" over `path` made as an ordinary user who owns the test's folder and the files
    // `owned` in it (root writes anything); 0 when it was written.
    int WriteAsOrdinaryUser(const std::string& path, std::vector<std::string> owned = {}) const
    {
        const bool root = ::geteuid() == 0;
        const passwd* nobody = ::getpwnam("nobody");
        const uid_t user = nobody ? nobody->pw_uid : 65534;
        const gid_t group = nobody ? nobody->pw_gid : 65534;
        owned.push_back(folder_.Path());
        for (const std::string& file : owned) {
            EXPECT_TRUE(!root || ::chown(file.c_str(), user, group) == 0) << file;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            if (root && (::setgid(group) != 0 || ::setuid(user) != 0)) {
                ::_exit(255);
            }
            const AtomicFile::FailureWatch watch;
            const bool written = platform::WriteWholeFile(path, "new");
            ::_exit(written ? 0 : std::min(watch.Reason(), 254));
        }
        int status = -1;
        return ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    testutil::TempFolder folder_;
};

const std::string kOld = std::string("old contents\0with a NUL\n", 24) + std::string(5000, 'o');

TEST_F(AtomicFileTest, ReplacesTheFileWholeAndKeepsItsPermissionBits)
{
    const std::string path = PathOf("table.txt");
    Put(path, kOld);
    ::chmod(path.c_str(), 0640);
    {
        AtomicFile file(path);
        ASSERT_TRUE(file.Good());
        EXPECT_FALSE(file.InPlace());
        file.Stream() << "new " << 42 << '\n';
        // Nothing of the new file shows before the commit.
        EXPECT_EQ(Read(path), kOld);
        EXPECT_EQ(Names().size(), 2u);
        ASSERT_TRUE(file.Commit());
    }
    EXPECT_EQ(Read(path), "new 42\n");
    EXPECT_EQ(Mode(path), 0640u);
    EXPECT_EQ(Names(), std::vector<std::string>{"table.txt"});

    // A new file gets the bits the umask leaves, as any new file does.
    const mode_t mask = ::umask(0022);
    ASSERT_TRUE(platform::WriteWholeFile(PathOf("new.txt"), "x"));
    ::umask(mask);
    EXPECT_EQ(Mode(PathOf("new.txt")), 0644u);

    // A name as long as a name may be still gets a temporary beside it: the temporary's name is shortened.
    const std::string longest(NAME_MAX, 'n');
    EXPECT_TRUE(platform::WriteWholeFile(PathOf(longest), "x"));
    EXPECT_EQ(Read(PathOf(longest)), "x");
}

TEST_F(AtomicFileTest, AWriteThatFailsHalfwayOrIsCancelledLeavesTheOldFile)
{
    const std::string path = PathOf("document.cmhd");
    const std::string replacement(200000, 'n');
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "disk full halfway");
        Put(path, kOld);
        ::chmod(path.c_str(), 0600);
        if (!cancel) {
            AtomicFile::FailWritesBeyond(replacement.size() / 2, ENOSPC);
        }
        {
            AtomicFile file(path);
            ASSERT_TRUE(file.Good());
            file.Stream() << replacement.substr(0, replacement.size() / 2 + 10);
            file.Stream().flush();
            if (cancel) {
                EXPECT_TRUE(file.Good());
                file.Abandon();
            } else {
                EXPECT_FALSE(file.Stream());
                EXPECT_EQ(file.Error(), ENOSPC);
            }
            EXPECT_FALSE(file.Commit());
        }
        AtomicFile::ClearInjectedFault();
        EXPECT_EQ(Read(path), kOld);
        EXPECT_EQ(Mode(path), 0600u);
        EXPECT_EQ(Names(), std::vector<std::string>{"document.cmhd"});
    }
    // A writer that goes away without committing cancels too.
    {
        AtomicFile file(path);
        file.Write(replacement);
    }
    EXPECT_EQ(Read(path), kOld);
    EXPECT_EQ(Names(), std::vector<std::string>{"document.cmhd"});
}

TEST_F(AtomicFileTest, DevicesAreWrittenInPlaceAndStayDevices)
{
    {
        AtomicFile full("/dev/full");
        ASSERT_TRUE(full.Good());
        EXPECT_TRUE(full.InPlace());
        full.Stream() << "a table that does not fit\n";
        EXPECT_FALSE(full.Commit());
        EXPECT_EQ(full.Error(), ENOSPC);
    }
    struct stat info {};
    ASSERT_EQ(::stat("/dev/full", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_TRUE(platform::WriteWholeFile("/dev/null", "anything"));
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

TEST_F(AtomicFileTest, ALinkStaysALinkAndAMissingFolderIsAFailure)
{
    const std::string real = PathOf("real.txt");
    const std::string link = PathOf("link.txt");
    Put(real, kOld);
    fs::create_symlink(real, link);
    ASSERT_TRUE(platform::WriteWholeFile(link, "through the link"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(real), "through the link");

    AtomicFile nowhere(PathOf("missing/table.txt"));
    EXPECT_FALSE(nowhere.Good());
    EXPECT_FALSE(nowhere.Write("x"));
    EXPECT_FALSE(nowhere.Commit());
    EXPECT_FALSE(fs::exists(PathOf("missing")));
}

// A file protected from writing is refused, though its folder would let the rename replace it. The write runs as
// an ordinary user in a folder of that user's, since root writes anything.
TEST_F(AtomicFileTest, AFileProtectedFromWritingIsRefusedAndKept)
{
    const std::string path = PathOf("protected.txt");
    Put(path, kOld);
    ::chmod(path.c_str(), 0444);
    EXPECT_EQ(WriteAsOrdinaryUser(path), EACCES);
    EXPECT_EQ(Read(path), kOld);
    EXPECT_EQ(Names(), std::vector<std::string>{"protected.txt"});
}

// A folder that its user may search and write in but not list is held open as a path only: the user still saves
// there, a new file or one replaced.
TEST_F(AtomicFileTest, AFolderThatMayNotBeListedIsWrittenInAllTheSame)
{
    fs::create_directories(PathOf("drop"));
    Put(PathOf("drop/old.txt"), kOld);
    for (const char* name : {"drop/new.txt", "drop/old.txt"}) {
        SCOPED_TRACE(name);
        ::chmod(PathOf("drop").c_str(), 0300);
        EXPECT_EQ(WriteAsOrdinaryUser(PathOf(name), {PathOf("drop"), PathOf("drop/old.txt")}), 0);
        ::chmod(PathOf("drop").c_str(), 0700);
        EXPECT_EQ(Read(PathOf(name)), "new");
        EXPECT_EQ(Names("drop"), (std::vector<std::string>{"new.txt", "old.txt"}));
    }
}

// A link is followed as a shell's ">" follows it, never replaced: a dangling one makes the file it names in its
// existing folder; one that cannot be followed fails with its reason and makes nothing.
TEST_F(AtomicFileTest, ALinkIsFollowedToItsFileOrFailsWithItsReason)
{
    fs::create_directories(PathOf("sub"));
    fs::create_symlink("sub/made.txt", PathOf("dangling.txt"));
    fs::create_symlink("dangling.txt", PathOf("chain.txt"));
    fs::create_symlink(PathOf("sub/absolute.txt"), PathOf("absolute.txt"));
    fs::create_symlink("nowhere/table.txt", PathOf("missing-folder.txt"));
    fs::create_symlink("loop-b.txt", PathOf("loop-a.txt"));
    fs::create_symlink("loop-a.txt", PathOf("loop-b.txt"));
    const struct {
        std::string link;
        std::string made; // the file written, empty when the write fails
        int error;
    } cases[] = {
        {"dangling.txt", "sub/made.txt", 0},
        {"chain.txt", "sub/made.txt", 0},
        {"absolute.txt", "sub/absolute.txt", 0},
        {"missing-folder.txt", "", ENOENT},
        {"loop-a.txt", "", ELOOP},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.link);
        fs::remove(PathOf("sub/made.txt"));
        const AtomicFile::FailureWatch watch;
        EXPECT_EQ(platform::WriteWholeFile(PathOf(test.link), "through the link"), test.error == 0);
        EXPECT_EQ(watch.Reason(), test.error);
        EXPECT_TRUE(fs::is_symlink(PathOf(test.link)));
        if (!test.made.empty()) {
            EXPECT_EQ(Read(PathOf(test.made)), "through the link");
        }
        EXPECT_EQ(Names(), (std::vector<std::string>{"absolute.txt", "chain.txt", "dangling.txt", "loop-a.txt",
                                                     "loop-b.txt", "missing-folder.txt", "sub"}));
    }
}

// A pinned name leads where it led when it was pinned, whatever its link leads to by then; that file, made a link
// since, is refused rather than followed. Once the pin goes, the name is followed anew.
TEST_F(AtomicFileTest, APinnedNameIsWrittenWhereItLedWhenPinned)
{
    const std::string link = PathOf("out.tab");
    const std::string checked = PathOf("checked.txt");
    const std::string recording = PathOf("recording.txt");
    Put(checked, kOld);
    Put(recording, "the recording");
    fs::create_symlink("checked.txt", link);
    const auto pointAt = [](const std::string& link, const char* target) {
        fs::remove(link);
        fs::create_symlink(target, link);
    };
    {
        const platform::PinnedName pinned(link);
        pointAt(link, "recording.txt");
        EXPECT_EQ(platform::FollowName(link).path, checked);
        ASSERT_TRUE(platform::WriteWholeFile(link, "the table"));
        EXPECT_EQ(Read(checked), "the table");

        pointAt(checked, "recording.txt");
        const AtomicFile::FailureWatch watch;
        EXPECT_FALSE(platform::WriteWholeFile(link, "the table again"));
        EXPECT_EQ(watch.Reason(), ELOOP);
        EXPECT_TRUE(fs::is_symlink(checked));
        EXPECT_EQ(Read(recording), "the recording");
    }
    EXPECT_EQ(platform::FollowName(link).path, recording);
}

// A name is a descriptor's by its text, so that a closed one, or one without /proc, is no file to make: the standard
// names, a number in /dev/fd, /proc/self/fd, /proc/thread-self/fd or the process's own /proc/PID/fd, and an entry of
// a link to /dev/fd. Names only alike are files.
TEST_F(AtomicFileTest, ANameIsADescriptorsByItsText)
{
    const int open = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(open, 0);
    // Closed: its name leads nowhere in /proc, so only the text can tell.
    constexpr int kClosed = 999;
    ASSERT_LT(::fcntl(kClosed, F_GETFD), 0);
    fs::create_symlink("/dev/fd", PathOf("fds"));
    const struct {
        std::string name;
        int descriptor; // -1: a file
    } cases[] = {
        {"/dev/stdin", 0},
        {"/dev/stdout", 1},
        {"/dev/stderr", 2},
        {"/dev/fd/1", 1},
        {"/dev/fd/999", kClosed},
        {"/proc/self/fd/999", kClosed},
        {"/proc/thread-self/fd/999", kClosed},
        {"/proc/" + std::to_string(::getpid()) + "/fd/999", kClosed},
        {"/proc/self/task/" + std::to_string(::gettid()) + "/fd/999", kClosed},
        {"/proc/" + std::to_string(::getpid()) + "/task/" + std::to_string(::gettid()) + "/fd/999", kClosed},
        {PathOf("fds/") + std::to_string(open), open},
        {"/proc/self/task/" + std::to_string(::getppid()) + "/fd/999", -1},
        {"/proc/self/task/" + std::to_string(::gettid()) + "x/fd/999", -1},
        {"/dev/fd/1x", -1},
        {"/dev/fd/", -1},
        {"/dev/fdx/1", -1},
        {"/proc/self/fdinfo/1", -1},
        {"/proc/" + std::to_string(::getppid()) + "/fd/1", -1},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(platform::FollowName(test.name).descriptor, test.descriptor);
    }
    ::close(open);
}

// A watch gives the reason of the first failure since it was made, of the files written while it lives.
TEST_F(AtomicFileTest, AWatchGivesTheReasonOfAFailureSinceItWasMade)
{
    EXPECT_FALSE(platform::WriteWholeFile(PathOf("missing/before.txt"), "x"));
    const AtomicFile::FailureWatch outer;
    EXPECT_EQ(outer.Reason(), 0);
    {
        const AtomicFile::FailureWatch inner;
        EXPECT_TRUE(platform::WriteWholeFile(PathOf("written.txt"), "x"));
        EXPECT_EQ(inner.Reason(), 0);
        EXPECT_FALSE(platform::WriteWholeFile("/dev/full", "x"));
        EXPECT_FALSE(platform::WriteWholeFile(PathOf("missing/after.txt"), "x"));
        EXPECT_EQ(inner.Reason(), ENOSPC);
    }
    EXPECT_EQ(outer.Reason(), ENOSPC);
}

// The folder a file lies in is held from the moment its name is followed: a folder renamed and replaced by another
// of its name meanwhile gets neither the file nor a temporary; the file is made, or abandoned, where the temporary
// was made.
TEST_F(AtomicFileTest, AFolderSwappedMeanwhileLeadsNoWriteElsewhere)
{
    const auto swapFolder = [this] {
        fs::rename(PathOf("out"), PathOf("moved"));
        fs::create_directories(PathOf("out"));
    };
    for (const bool pinned : {true, false}) {
        for (const bool commit : {true, false}) {
            SCOPED_TRACE(std::string(pinned ? "pinned" : "followed at the write") + (commit ? ", committed" : ""));
            fs::remove_all(PathOf("out"));
            fs::remove_all(PathOf("moved"));
            fs::create_directories(PathOf("out"));
            Put(PathOf("out/table.txt"), kOld);
            std::optional<platform::PinnedName> pin;
            if (pinned) {
                pin.emplace(PathOf("out/table.txt"));
                swapFolder();
            }
            {
                AtomicFile file(PathOf("out/table.txt"));
                file.Write("new");
                if (!pinned) {
                    swapFolder();
                }
                if (commit) {
                    EXPECT_TRUE(file.Commit());
                }
            }
            EXPECT_EQ(Read(PathOf("moved/table.txt")), commit ? "new" : kOld);
            EXPECT_EQ(Names("moved"), std::vector<std::string>{"table.txt"});
            EXPECT_TRUE(fs::is_empty(PathOf("out")));
        }
    }
}

// In a batch, every file waits, written whole, until the batch commits: then the bytes for descriptors go, and
// the files are renamed into place. A batch that goes without committing, or whose commit fails, removes every
// temporary; a rename that fails after others says which files were already put in place.
TEST_F(AtomicFileTest, ABatchPutsItsFilesInPlaceTogetherOrNotAtAll)
{
    const std::vector<std::string> files = {PathOf("a.txt"), PathOf("b.txt"), PathOf("c.txt")};
    const struct {
        const char* what;
        std::string failing; // the rename that fails; "/dev/full" as a fourth output: a descriptor that fails
        bool commit;
        std::vector<std::string> written; // before the failure
    } cases[] = {
        {"all written", "", true, {}},
        {"abandoned", "", false, {}},
        {"the second rename fails", files[1], true, {"/dev/null", files[0]}},
        {"a descriptor fails", "/dev/full", true, {"/dev/null"}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        for (const std::string& file : files) {
            Put(file, kOld);
        }
        AtomicFile::FailRenameOf(test.failing, EIO);
        platform::OutputBatch::Outcome outcome;
        {
            platform::OutputBatch batch;
            std::vector<std::string> outputs = files;
            outputs.insert(outputs.begin(), "/dev/null");
            if (test.failing == "/dev/full") {
                outputs.push_back("/dev/full");
            }
            for (const std::string& output : outputs) {
                EXPECT_TRUE(platform::WriteWholeFile(output, "new " + output));
            }
            EXPECT_EQ(Read(files[0]), kOld);
            EXPECT_EQ(Names().size(), 6u); // the files and their temporaries
            if (test.commit) {
                outcome = batch.Commit();
            }
        }
        const bool allWritten = test.commit && test.failing.empty();
        EXPECT_EQ(outcome.error, test.failing.empty() ? 0 : test.failing == "/dev/full" ? ENOSPC : EIO);
        EXPECT_EQ(outcome.failed, test.failing);
        EXPECT_EQ(outcome.written, test.written);
        for (const std::string& file : files) {
            const bool replaced = allWritten || std::find(test.written.begin(), test.written.end(), file) !=
                                                    test.written.end();
            EXPECT_EQ(Read(file), replaced ? "new " + file : kOld) << file;
        }
        EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
        AtomicFile::ClearInjectedFault();
    }
}

// A signal that ends a run, handled as the command line handles it, removes the temporaries being written from the
// folders they were made in, whatever the working folder; one that comes while a batch renames its files waits
// until every file is in place: the run has replaced all its files or none.
TEST_F(AtomicFileTest, ASignalEndsABatchWithAllItsFilesReplacedOrNone)
{
    const std::vector<std::string> files = {PathOf("one/a.txt"), PathOf("two/b.txt")};
    const struct {
        const char* what;
        int signal;
        std::string renamed; // the rename that raises it; empty: raised while the files wait for the batch
        bool replaced;
    } cases[] = {
        {"while the files wait", SIGINT, "", false},
        {"at the first rename", SIGTERM, files[0], true},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        for (const std::string& file : files) {
            fs::create_directories(fs::path(file).parent_path());
            Put(file, kOld);
        }
        const pid_t child = ::fork();
        if (child == 0) {
            struct sigaction action {};
            action.sa_handler = [](int signal) {
                AtomicFile::RemovePendingTemporaries();
                ::raise(signal);
            };
            action.sa_flags = SA_RESETHAND;
            ::sigaction(test.signal, &action, nullptr);
            if (::chdir(folder_.Path().c_str()) != 0) { // the folder above the files'
                ::_exit(2);
            }
            AtomicFile::SignalAtRenameOf(test.renamed, test.signal);
            platform::OutputBatch batch;
            for (const std::string& file : files) {
                platform::WriteWholeFile(file, "new");
            }
            if (test.renamed.empty()) {
                ::raise(test.signal);
            }
            batch.Commit();
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == test.signal) << status;
        for (const std::string& file : files) {
            EXPECT_EQ(Read(file), test.replaced ? "new" : kOld) << file;
            EXPECT_EQ(testutil::TempFolder::NamesIn(fs::path(file).parent_path()),
                      std::vector<std::string>{fs::path(file).filename().string()});
        }
    }
}

} // namespace
