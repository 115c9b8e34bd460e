#include "platform/posix/atomicfile.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <random>
#include <streambuf>
#include <string_view>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace platform {

namespace {

struct InjectedFault {
    bool armed = false;
    std::size_t limit = 0;
    int error = 0;
    std::string renamed = {}; // the path whose rename fails with renameError
    int renameError = 0;
};

InjectedFault& Fault()
{
    static InjectedFault fault;
    return fault;
}

// The permission bits a new file gets from the process's umask, as open() would give them.
unsigned DefaultMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666u & ~static_cast<unsigned>(mask);
}

thread_local AtomicFile::FailureWatch* t_innermostWatch = nullptr;
thread_local OutputBatch* t_batch = nullptr;

// A temporary file being written, for the signal handler: a slot is claimed, then named, then marked named, so
// that the handler never reads a name half written. The name is relative to the folder it was made in, which is
// held open while the slot names it.
struct PendingTemporary {
    enum State { kFree, kClaimed, kNamed };
    std::atomic<int> state{kFree};
    int folder = -1;
    char name[NAME_MAX + 1];
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the states");

std::array<PendingTemporary, 16> g_pending;

// Holds the ending signals while a temporary file is made or goes, so that the handler that removes the pending
// temporaries finds each one in the table, never a file outside it or a name half written.
class SignalsHeld {
public:
    SignalsHeld()
    {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : kEndingSignals) {
            sigaddset(&held, signal);
        }
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_;
};

// The slot now naming `name` in `folder`, or -1 when the table is full or the name too long (the file is then not
// removed on a signal, as before the table existed).
int AddPending(int folder, const std::string& name)
{
    if (name.size() > NAME_MAX) {
        return -1;
    }
    for (std::size_t i = 0; i < g_pending.size(); ++i) {
        PendingTemporary& slot = g_pending[i];
        int free = PendingTemporary::kFree;
        if (slot.state.compare_exchange_strong(free, PendingTemporary::kClaimed)) {
            slot.folder = folder;
            std::memcpy(slot.name, name.c_str(), name.size() + 1);
            slot.state.store(PendingTemporary::kNamed);
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The temporary file `name` in `folder` is gone (renamed into place, or removed here) and out of the table.
void DropPending(const OpenFolder& folder, const std::string& name, int& slot, bool renamed)
{
    const SignalsHeld held;
    if (!renamed) {
        ::unlinkat(folder.Descriptor(), name.c_str(), 0);
    }
    if (slot >= 0) {
        g_pending[static_cast<std::size_t>(slot)].state.store(PendingTemporary::kFree);
        slot = -1;
    }
}

// Renames the temporary file over the target in their folder, out of the table in the same step; the errno of a
// failure, 0 when it is in place.
int RenameIntoPlace(const std::string& path, const OpenFolder& folder, const std::string& temporary,
                    const std::string& leaf, int& slot)
{
    const InjectedFault& fault = Fault();
    if (!fault.renamed.empty() && fault.renamed == path) {
        return fault.renameError;
    }
    {
        const SignalsHeld held;
        if (::renameat(folder.Descriptor(), temporary.c_str(), folder.Descriptor(), leaf.c_str()) != 0) {
            return errno;
        }
        DropPending(folder, temporary, slot, true);
    }
    // The rename itself lasts only once the folder is synced; a folder that cannot be (one opened only as a path)
    // is no failure.
    ::fsync(folder.Descriptor());
    return 0;
}

// Writes the whole of `bytes` to `fd`; the errno of a failure, 0 when written.
int WriteWhole(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t done = ::write(fd, bytes.data(), bytes.size());
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(done));
    }
    return 0;
}

// Syncs what was written in place; the errno of a failure, 0 when synced. Devices and pipes cannot be synced, which
// is no failure; a file behind a descriptor can.
int SyncInPlace(int fd) { return ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS ? errno : 0; }

// The standard output or error descriptor (open for writing as the program started) that is the same file as
// `file`, or -1: a shell's ">>" onto a file named as an output is kept, not replaced.
int StandardStreamOf(const struct stat& file)
{
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat stream {};
        if (OpenAtStart(fd, true) && ::fstat(fd, &stream) == 0 && stream.st_dev == file.st_dev &&
            stream.st_ino == file.st_ino) {
            return fd;
        }
    }
    return -1;
}

// A temporary name beside `leaf`: hidden, starting with the target's name (shortened to keep within a name's
// length), then six random letters.
std::string TemporaryName(const std::string& leaf)
{
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
    std::string name = "." + leaf.substr(0, std::min<std::size_t>(leaf.size(), NAME_MAX - 8)) + ".";
    for (int i = 0; i < 6; ++i) {
        name += kLetters[random() % (sizeof kLetters - 1)];
    }
    return name;
}

// A descriptor's number written whole, as a name in /proc/self/fd.
std::optional<int> DescriptorNumber(std::string_view text)
{
    int fd = -1;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), fd);
    return parsed.ec == std::errc() && parsed.ptr == text.data() + text.size() && fd >= 0 ? std::optional(fd)
                                                                                           : std::nullopt;
}

// The descriptor of a name START task/TID/fd/N, where START is the process's own folder in /proc and TID one of its
// threads (asked of the kernel, so without /proc too): the threads share the process's descriptors.
std::optional<int> TaskDescriptor(std::string_view name, std::string_view start)
{
    constexpr std::string_view kTasks = "task/";
    constexpr std::string_view kFolder = "/fd/";
    if (!name.starts_with(start) || !name.substr(start.size()).starts_with(kTasks)) {
        return std::nullopt;
    }
    const std::string_view rest = name.substr(start.size() + kTasks.size());
    const std::size_t folder = rest.find(kFolder);
    const auto thread = DescriptorNumber(rest.substr(0, folder));
    if (folder == std::string_view::npos || !thread ||
        ::syscall(SYS_tgkill, ::getpid(), static_cast<pid_t>(*thread), 0) != 0) {
        return std::nullopt;
    }
    return DescriptorNumber(rest.substr(folder + kFolder.size()));
}

// The descriptor a name is a name of, by its text alone (so without /proc too): /dev/stdin, /dev/stdout,
// /dev/stderr, or a number in /dev/fd, /proc/self/fd, /proc/thread-self/fd, the process's own /proc/PID/fd, or
// the fd folder of one of its threads in /proc/self/task or /proc/PID/task.
std::optional<int> NamedDescriptor(const std::filesystem::path& name)
{
    const std::string normal = name.lexically_normal().string();
    static constexpr std::pair<std::string_view, int> kStandard[] = {
        {"/dev/stdin", 0}, {"/dev/stdout", 1}, {"/dev/stderr", 2}};
    for (const auto& [standard, fd] : kStandard) {
        if (normal == standard) {
            return fd;
        }
    }
    const std::string process = "/proc/" + std::to_string(::getpid()) + "/";
    for (const std::string_view start : {std::string_view("/proc/self/"), std::string_view(process)}) {
        if (const auto fd = TaskDescriptor(std::string_view(normal), start)) {
            return fd;
        }
    }
    const std::string own = process + "fd/";
    for (const std::string_view folder : {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
                                          std::string_view("/proc/thread-self/fd/"), std::string_view(own)}) {
        if (normal.starts_with(folder)) {
            return DescriptorNumber(std::string_view(normal).substr(folder.size()));
        }
    }
    return std::nullopt;
}

// The descriptor an entry of a folder that leads to the process's own descriptors is (a link to /dev/fd, or to
// /proc/self/fd): its link names the file the descriptor is open on, which is no file to replace.
std::optional<int> DescriptorThroughFolder(const std::filesystem::path& name)
{
    char* resolved = ::realpath(name.has_parent_path() ? name.parent_path().c_str() : ".", nullptr);
    if (!resolved) {
        return std::nullopt;
    }
    const std::filesystem::path folder(resolved);
    std::free(resolved);
    return NamedDescriptor(folder / name.filename());
}

FileTarget DescriptorTarget(int fd) { return {fd, {}, OpenAtStart(fd, true) ? 0 : EBADF}; }

// Opens `folder` for reading, so that it can be synced once a rename in it is made, or else (a folder that may be
// searched but not listed) as a path only.
std::shared_ptr<const OpenFolder> OpenFolderNamed(const std::filesystem::path& folder)
{
    const char* name = folder.empty() ? "." : folder.c_str();
    int fd = ::open(name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) {
        fd = ::open(name, O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    return fd < 0 ? nullptr : std::make_shared<const OpenFolder>(fd);
}

FileTarget FollowNow(const std::string& name)
{
    constexpr int kMostLinks = 40; // as the kernel's ELOOP
    std::filesystem::path current = name;
    for (int links = 0; links <= kMostLinks; ++links) {
        if (const auto fd = NamedDescriptor(current)) {
            return DescriptorTarget(*fd);
        }
        // The folder is opened first and the last name looked at inside it, so that the file found is the one in
        // the folder that is kept.
        auto folder = OpenFolderNamed(current.parent_path());
        if (!folder) {
            return {-1, {}, errno};
        }
        const std::string leaf = current.filename().empty() ? "." : current.filename().string();
        struct stat info {};
        const bool exists = ::fstatat(folder->Descriptor(), leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
        if (!exists && errno != ENOENT) {
            return {-1, {}, errno};
        }
        if (!exists || !S_ISLNK(info.st_mode)) {
            return {-1, current.string(), 0, std::move(folder), leaf};
        }
        if (const auto fd = DescriptorThroughFolder(current)) {
            return DescriptorTarget(*fd);
        }
        std::vector<char> text(PATH_MAX);
        const ssize_t size = ::readlinkat(folder->Descriptor(), leaf.c_str(), text.data(), text.size());
        if (size < 0) {
            return {-1, {}, errno};
        }
        const std::filesystem::path next(std::string(text.data(), static_cast<std::size_t>(size)));
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return {-1, {}, ELOOP};
}

// The names pinned now, the latest last.
std::mutex g_pinsLock;
std::vector<const PinnedName*> g_pins;

// How each descriptor was open as the program started: its status flags, -1 for one that was closed.
struct StartingDescriptors {
    bool recorded = false;
    std::vector<int> flags;
};

StartingDescriptors& Starting()
{
    static StartingDescriptors starting;
    return starting;
}

bool SameFile(const struct stat& one, const char* other)
{
    struct stat info {};
    return ::stat(other, &info) == 0 && info.st_dev == one.st_dev && info.st_ino == one.st_ino;
}

// Why no file may be made in `folder` (held open, and named `name`), as an errno: it is /dev itself (whose names
// are the system's devices and links), or /proc or under it (the kernel's own names); 0 when it is an ordinary
// folder. The name tells of a folder under a /proc that is no proc file system.
int FolderRefusal(const OpenFolder& folder, const std::filesystem::path& name)
{
    struct stat info {};
    struct statfs system {};
    if (::fstat(folder.Descriptor(), &info) != 0 || SameFile(info, "/dev") || SameFile(info, "/proc") ||
        (::fstatfs(folder.Descriptor(), &system) == 0 && system.f_type == PROC_SUPER_MAGIC)) {
        return EPERM;
    }
    char* resolved = ::realpath(name.empty() ? "." : name.c_str(), nullptr);
    const std::string real = resolved ? resolved : "";
    std::free(resolved);
    return real == "/dev" || real == "/proc" || real.starts_with("/proc/") ? EPERM : 0;
}

} // namespace

OpenFolder::~OpenFolder() { ::close(descriptor_); }

AtomicFile::FailureWatch::FailureWatch() : outer_(t_innermostWatch) { t_innermostWatch = this; }

AtomicFile::FailureWatch::~FailureWatch() { t_innermostWatch = outer_; }

FileTarget FollowName(const std::string& name)
{
    {
        const std::lock_guard lock(g_pinsLock);
        const auto pinned =
            std::find_if(g_pins.rbegin(), g_pins.rend(), [&](const PinnedName* pin) { return pin->Name() == name; });
        if (pinned != g_pins.rend()) {
            return (*pinned)->Target();
        }
    }
    return FollowNow(name);
}

PinnedName::PinnedName(std::string name) : name_(std::move(name)), target_(FollowNow(name_))
{
    const std::lock_guard lock(g_pinsLock);
    g_pins.push_back(this);
}

PinnedName::~PinnedName()
{
    const std::lock_guard lock(g_pinsLock);
    std::erase(g_pins, this);
}

void RecordOpenDescriptors()
{
    std::vector<int> flags;
    const auto note = [&flags](int fd) {
        const int status = ::fcntl(fd, F_GETFL);
        if (status >= 0) {
            flags.resize(std::max(flags.size(), static_cast<std::size_t>(fd) + 1), -1);
            flags[static_cast<std::size_t>(fd)] = status;
        }
    };
    if (DIR* folder = ::opendir("/proc/self/fd")) {
        const int own = ::dirfd(folder);
        while (const dirent* entry = ::readdir(folder)) {
            if (const auto fd = DescriptorNumber(entry->d_name); fd && *fd != own) {
                note(*fd);
            }
        }
        ::closedir(folder);
    } else {
        // Without /proc, every number a descriptor may have, up to a bound that keeps the start quick.
        const long most = std::min(::sysconf(_SC_OPEN_MAX), 65536L);
        for (int fd = 0; fd < most; ++fd) {
            note(fd);
        }
    }
    Starting() = {true, std::move(flags)};
}

bool OpenAtStart(int fd, bool writing)
{
    const StartingDescriptors& starting = Starting();
    const int status = !starting.recorded ? ::fcntl(fd, F_GETFL)
                       : fd >= 0 && static_cast<std::size_t>(fd) < starting.flags.size()
                           ? starting.flags[static_cast<std::size_t>(fd)]
                           : -1;
    return status >= 0 && (!writing || (status & O_ACCMODE) != O_RDONLY);
}

// Collects small writes into larger ones, so that a stream writer costs few system calls.
class AtomicFile::Buffer : public std::streambuf {
public:
    explicit Buffer(AtomicFile& file) : file_(file), bytes_(64 * 1024) { Reset(); }

    bool Drain()
    {
        const std::size_t size = static_cast<std::size_t>(pptr() - pbase());
        Reset();
        return size == 0 || file_.Write(bytes_.data(), size);
    }

protected:
    int_type overflow(int_type c) override
    {
        if (!Drain()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize count) override
    {
        if (count > epptr() - pptr()) {
            if (!Drain() || !file_.Write(data, static_cast<std::size_t>(count))) {
                return 0;
            }
            return count;
        }
        std::copy(data, data + count, pptr());
        pbump(static_cast<int>(count));
        return count;
    }
    int sync() override { return Drain() ? 0 : -1; }

private:
    void Reset() { setp(bytes_.data(), bytes_.data() + bytes_.size()); }

    AtomicFile& file_;
    std::vector<char> bytes_;
};

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)), target_(path_), batch_(t_batch)
{
    if (path_.empty()) {
        Fail(ENOENT);
        return;
    }
    const FileTarget followed = FollowName(path_);
    if (followed.error != 0) {
        Fail(followed.error);
        return;
    }
    // A descriptor's name opened again would truncate what a shell's ">>" keeps, a rename would cut the file loose
    // from the descriptor, and without /proc the name leads nowhere.
    if (followed.descriptor >= 0) {
        standard_ = followed.descriptor == STDOUT_FILENO || followed.descriptor == STDERR_FILENO;
        OpenInPlace(::fcntl(followed.descriptor, F_DUPFD_CLOEXEC, 0));
        return;
    }
    // A link stays a link: the file it leads to is replaced, or made. Its links were followed once, to here; a link
    // put here since is not followed.
    target_ = followed.path;
    folder_ = followed.folder;
    leaf_ = followed.leaf;
    const int folder = folder_->Descriptor();
    struct stat old {};
    const bool exists = ::fstatat(folder, leaf_.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (const int stream = exists ? StandardStreamOf(old) : -1; stream >= 0) {
        standard_ = true;
        OpenInPlace(::fcntl(stream, F_DUPFD_CLOEXEC, 0));
        return;
    }
    if (exists && !S_ISREG(old.st_mode)) {
        OpenInPlace(::openat(folder, leaf_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW));
        return;
    }
    if (const int refused = FolderRefusal(*folder_, std::filesystem::path(target_).parent_path()); refused != 0) {
        Fail(refused);
        return;
    }
    // A file protected from writing stays so: the rename would replace it where a write is refused.
    if (exists && ::faccessat(folder, leaf_.c_str(), W_OK, 0) != 0) {
        Fail(errno);
        return;
    }
    mode_ = exists ? static_cast<unsigned>(old.st_mode & 07777) : DefaultMode();
    MakeTemporary();
}

void AtomicFile::OpenInPlace(int fd)
{
    inPlace_ = true;
    holding_ = batch_ != nullptr;
    fd_ = fd;
    if (fd_ < 0) {
        Fail(errno);
    }
}

void AtomicFile::MakeTemporary()
{
    const SignalsHeld held;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TemporaryName(leaf_);
        fd_ = ::openat(folder_->Descriptor(), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd_ >= 0) {
            temporary_ = std::move(name);
            pendingSlot_ = AddPending(folder_->Descriptor(), temporary_);
            return;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    Fail(errno);
}

// The temporary file is gone: renamed into place, or removed here.
void AtomicFile::DropTemporary(bool renamed)
{
    DropPending(*folder_, temporary_, pendingSlot_, renamed);
    temporary_.clear();
}

AtomicFile::~AtomicFile()
{
    if (!done_) {
        Abandon();
    }
}

void AtomicFile::Fail(int error)
{
    if (error_ == 0) {
        error_ = error != 0 ? error : EIO;
        for (FailureWatch* watch = t_innermostWatch; watch; watch = watch->outer_) {
            if (watch->reason_ == 0) {
                watch->reason_ = error_;
            }
        }
    }
    if (stream_) {
        stream_->setstate(std::ios::badbit);
    }
}

bool AtomicFile::Write(const void* data, std::size_t size)
{
    if (!Good()) {
        return false;
    }
    const auto* bytes = static_cast<const char*>(data);
    std::size_t allowed = size;
    const InjectedFault& fault = Fault();
    const bool injected = fault.armed && written_ + size > fault.limit;
    if (injected) {
        allowed = fault.limit > written_ ? fault.limit - written_ : 0;
    }
    if (holding_) {
        held_.append(bytes, allowed);
    } else if (const int error = WriteWhole(fd_, {bytes, allowed}); error != 0) {
        Fail(error);
        return false;
    }
    written_ += allowed;
    if (injected) {
        Fail(fault.error);
        return false;
    }
    return true;
}

std::ostream& AtomicFile::Stream()
{
    if (!stream_) {
        buffer_ = std::make_unique<Buffer>(*this);
        stream_ = std::make_unique<std::ostream>(buffer_.get());
        if (!Good()) {
            stream_->setstate(std::ios::badbit);
        }
    }
    return *stream_;
}

void AtomicFile::Close()
{
    if (fd_ >= 0 && ::close(fd_) != 0) {
        Fail(errno);
    }
    fd_ = -1;
}

bool AtomicFile::Commit()
{
    if (done_) {
        return false;
    }
    if (buffer_ && !buffer_->Drain()) {
        Fail(error_);
    }
    if (Good() && holding_) {
        batch_->waiting_.push_back(
            {.path = path_, .descriptor = fd_, .standard = standard_, .bytes = std::move(held_)});
        fd_ = -1;
        done_ = true;
        return true;
    }
    if (Good() && !inPlace_) {
        if (::fchmod(fd_, static_cast<mode_t>(mode_)) != 0 || ::fsync(fd_) != 0) {
            Fail(errno);
        }
    } else if (Good()) {
        if (const int error = SyncInPlace(fd_); error != 0) {
            Fail(error);
        }
    }
    const bool wasGood = Good();
    Close();
    if (!wasGood || error_ != 0) {
        Abandon();
        return false;
    }
    if (!inPlace_ && batch_) {
        batch_->waiting_.push_back({.path = path_,
                                    .folder = folder_,
                                    .temporary = std::move(temporary_),
                                    .leaf = leaf_,
                                    .pendingSlot = pendingSlot_});
        temporary_.clear();
        pendingSlot_ = -1;
    } else if (!inPlace_) {
        if (const int error = RenameIntoPlace(path_, *folder_, temporary_, leaf_, pendingSlot_); error != 0) {
            Fail(error);
            Abandon();
            return false;
        }
        temporary_.clear();
    }
    done_ = true;
    return true;
}

void AtomicFile::Abandon()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        DropTemporary(false);
    }
    if (error_ == 0) {
        error_ = ECANCELED;
    }
    if (stream_) {
        stream_->setstate(std::ios::badbit);
    }
    done_ = true;
}

void AtomicFile::FailWritesBeyond(std::size_t bytes, int error)
{
    Fault().armed = true;
    Fault().limit = bytes;
    Fault().error = error;
}

void AtomicFile::FailRenameOf(std::string path, int error)
{
    Fault().renamed = std::move(path);
    Fault().renameError = error;
}

void AtomicFile::ClearInjectedFault() { Fault() = InjectedFault{}; }

void AtomicFile::RemovePendingTemporaries() noexcept
{
    for (PendingTemporary& slot : g_pending) {
        if (slot.state.load() == PendingTemporary::kNamed) {
            ::unlinkat(slot.folder, slot.name, 0);
        }
    }
}

OutputBatch::OutputBatch() : outer_(t_batch) { t_batch = this; }

OutputBatch::~OutputBatch()
{
    Discard();
    t_batch = outer_;
}

OutputBatch::Outcome OutputBatch::Commit()
{
    Outcome outcome;
    const auto fail = [&outcome](const Waiting& file, int error) {
        outcome.error = error;
        outcome.failed = file.path;
    };
    // Every file was written whole before it came here; the descriptors first, which cannot be taken back, then
    // the renames, each of which puts one file in place.
    for (const bool standard : {false, true}) {
        for (Waiting& file : waiting_) {
            if (file.descriptor < 0 || file.standard != standard || outcome.error != 0) {
                continue;
            }
            int error = WriteWhole(file.descriptor, file.bytes);
            error = error != 0 ? error : SyncInPlace(file.descriptor);
            if (error != 0) {
                fail(file, error);
            } else {
                outcome.written.push_back(file.path);
            }
        }
    }
    for (Waiting& file : waiting_) {
        if (file.temporary.empty() || outcome.error != 0) {
            continue;
        }
        if (const int error = RenameIntoPlace(file.path, *file.folder, file.temporary, file.leaf, file.pendingSlot);
            error != 0) {
            fail(file, error);
        } else {
            file.temporary.clear();
            outcome.written.push_back(file.path);
        }
    }
    if (outcome.error == 0) {
        outcome.written.clear();
    }
    Discard();
    return outcome;
}

void OutputBatch::Discard()
{
    for (Waiting& file : waiting_) {
        if (file.descriptor >= 0) {
            ::close(file.descriptor);
        }
        if (!file.temporary.empty()) {
            DropPending(*file.folder, file.temporary, file.pendingSlot, false);
        }
    }
    waiting_.clear();
}

bool WriteWholeFile(const std::string& path, std::string_view bytes)
{
    AtomicFile file(path);
    return file.Write(bytes) && file.Commit();
}

} // namespace platform
