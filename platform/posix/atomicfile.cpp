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
#include <streambuf>
#include <string_view>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace platform {

namespace {

struct InjectedFault {
    bool armed = false;
    std::size_t limit = 0;
    int error = 0;
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

// A temporary file being written, for the signal handler: a slot is claimed, then named, then marked named, so
// that the handler never reads a name half written.
struct PendingTemporary {
    enum State { kFree, kClaimed, kNamed };
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
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

// The slot now naming `path`, or -1 when the table is full or the name too long (the file is then not removed on
// a signal, as before the table existed).
int AddPending(const std::string& path)
{
    if (path.size() >= PATH_MAX) {
        return -1;
    }
    for (std::size_t i = 0; i < g_pending.size(); ++i) {
        PendingTemporary& slot = g_pending[i];
        int free = PendingTemporary::kFree;
        if (slot.state.compare_exchange_strong(free, PendingTemporary::kClaimed)) {
            std::memcpy(slot.path, path.c_str(), path.size() + 1);
            slot.state.store(PendingTemporary::kNamed);
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The process's own standard output, when `file` is the same file.
bool IsStandardOutput(const struct stat& file)
{
    struct stat out {};
    return ::fstat(STDOUT_FILENO, &out) == 0 && out.st_dev == file.st_dev && out.st_ino == file.st_ino;
}

// A descriptor's number written whole, as a name in /proc/self/fd.
std::optional<int> DescriptorNumber(std::string_view text)
{
    int fd = -1;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), fd);
    return parsed.ec == std::errc() && parsed.ptr == text.data() + text.size() && fd >= 0 ? std::optional(fd)
                                                                                           : std::nullopt;
}

// The descriptor a name is a name of, by its text alone (so without /proc too): /dev/stdin, /dev/stdout,
// /dev/stderr, or a number in /dev/fd, /proc/self/fd, /proc/thread-self/fd or the process's own /proc/PID/fd.
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
    const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
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

FileTarget FollowNow(const std::string& name)
{
    constexpr int kMostLinks = 40; // as the kernel's ELOOP
    std::filesystem::path current = name;
    for (int links = 0; links <= kMostLinks; ++links) {
        if (const auto fd = NamedDescriptor(current)) {
            return DescriptorTarget(*fd);
        }
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0) {
            return errno == ENOENT ? FileTarget{-1, current.string()} : FileTarget{-1, {}, errno};
        }
        if (!S_ISLNK(info.st_mode)) {
            return {-1, current.string()};
        }
        if (const auto fd = DescriptorThroughFolder(current)) {
            return DescriptorTarget(*fd);
        }
        std::vector<char> text(PATH_MAX);
        const ssize_t size = ::readlink(current.c_str(), text.data(), text.size());
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

// Why no file may be made in `folder`, as an errno: it does not exist, or it is /dev itself (whose names are the
// system's devices and links), or it lies under /proc (the kernel's own names); 0 when it is an ordinary folder.
int FolderRefusal(const std::filesystem::path& folder)
{
    char* resolved = ::realpath(folder.empty() ? "." : folder.c_str(), nullptr);
    if (!resolved) {
        return errno;
    }
    const std::string real(resolved);
    std::free(resolved);
    struct statfs system {};
    const bool procfs = ::statfs(real.c_str(), &system) == 0 && system.f_type == PROC_SUPER_MAGIC;
    return real == "/dev" || real == "/proc" || real.starts_with("/proc/") || procfs ? EPERM : 0;
}

} // namespace

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

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)), target_(path_)
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
        OpenInPlace(::fcntl(followed.descriptor, F_DUPFD_CLOEXEC, 0));
        return;
    }
    // A link stays a link: the file it leads to is replaced, or made. Its links were followed once, to here; a link
    // put here since is not followed.
    target_ = followed.path;
    struct stat old {};
    const bool exists = ::lstat(target_.c_str(), &old) == 0;
    if (exists && IsStandardOutput(old)) {
        OpenInPlace(::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0));
        return;
    }
    if (exists && !S_ISREG(old.st_mode)) {
        OpenInPlace(::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW));
        return;
    }
    if (const int refused = FolderRefusal(std::filesystem::path(target_).parent_path()); refused != 0) {
        Fail(refused);
        return;
    }
    // A file protected from writing stays so: the rename would replace it where a write is refused.
    if (exists && ::access(target_.c_str(), W_OK) != 0) {
        Fail(errno);
        return;
    }
    mode_ = exists ? static_cast<unsigned>(old.st_mode & 07777) : DefaultMode();
    MakeTemporary();
}

void AtomicFile::OpenInPlace(int fd)
{
    inPlace_ = true;
    fd_ = fd;
    if (fd_ < 0) {
        Fail(errno);
    }
}

void AtomicFile::MakeTemporary()
{
    const std::filesystem::path target(target_);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    std::string name = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const SignalsHeld held;
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) {
        Fail(errno);
        return;
    }
    temporary_ = std::move(name);
    pendingSlot_ = AddPending(temporary_);
}

// The temporary file is gone: renamed into place, or removed here.
void AtomicFile::DropTemporary(bool renamed)
{
    const SignalsHeld held;
    if (!renamed) {
        ::unlink(temporary_.c_str());
    }
    if (pendingSlot_ >= 0) {
        g_pending[static_cast<std::size_t>(pendingSlot_)].state.store(PendingTemporary::kFree);
        pendingSlot_ = -1;
    }
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
    while (allowed > 0) {
        const ssize_t done = ::write(fd_, bytes, allowed);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(errno);
            return false;
        }
        bytes += done;
        allowed -= static_cast<std::size_t>(done);
        written_ += static_cast<std::size_t>(done);
    }
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
    if (Good() && !inPlace_) {
        if (::fchmod(fd_, static_cast<mode_t>(mode_)) != 0 || ::fsync(fd_) != 0) {
            Fail(errno);
        }
    } else if (Good() && ::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) {
        Fail(errno); // devices and pipes cannot be synced; a file behind a descriptor can
    }
    const bool wasGood = Good();
    Close();
    if (!wasGood || error_ != 0) {
        Abandon();
        return false;
    }
    if (!inPlace_) {
        int renameError = 0;
        {
            const SignalsHeld held; // renamed and out of the table as one step
            if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
                renameError = errno;
            } else {
                DropTemporary(true);
            }
        }
        if (renameError != 0) {
            Fail(renameError);
            Abandon();
            return false;
        }
        // The rename itself lasts only once the folder is synced; a folder that cannot be is no failure.
        const std::string folder = std::filesystem::path(target_).has_parent_path()
                                       ? std::filesystem::path(target_).parent_path().string()
                                       : std::string(".");
        if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
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

void AtomicFile::FailWritesBeyond(std::size_t bytes, int error) { Fault() = InjectedFault{true, bytes, error}; }

void AtomicFile::ClearInjectedFault() { Fault() = InjectedFault{}; }

void AtomicFile::RemovePendingTemporaries() noexcept
{
    for (PendingTemporary& slot : g_pending) {
        if (slot.state.load() == PendingTemporary::kNamed) {
            ::unlink(slot.path);
        }
    }
}

bool WriteWholeFile(const std::string& path, std::string_view bytes)
{
    AtomicFile file(path);
    return file.Write(bytes) && file.Commit();
}

} // namespace platform
