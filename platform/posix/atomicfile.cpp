#include "platform/posix/atomicfile.h"

#include "platform/posix/endingsignals.h"
#include "platform/posix/followname.h"
#include "platform/posix/outputbatch.h"
#include "platform/posix/startingdescriptors.h"
#include "platform/posix/testinjections.h"
#include "platform/posix/writesteps.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <streambuf>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace platform {

namespace {

// The permission bits a new file gets from the process's umask, as open() would give them.
unsigned DefaultMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666u & ~static_cast<unsigned>(mask);
}

thread_local AtomicFile::FailureWatch* t_innermostWatch = nullptr;

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

AtomicFile::FailureWatch::FailureWatch() : outer_(t_innermostWatch) { t_innermostWatch = this; }

AtomicFile::FailureWatch::~FailureWatch() { t_innermostWatch = outer_; }

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

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)), target_(path_), batch_(CurrentBatch())
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
        SyncFolder(*folder_);
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

bool WriteWholeFile(const std::string& path, std::string_view bytes)
{
    AtomicFile file(path);
    return file.Write(bytes) && file.Commit();
}

} // namespace platform
