#include "platform/posix/followname.h"

#include "platform/posix/descriptornames.h"
#include "platform/posix/startingdescriptors.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <mutex>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

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

} // namespace

OpenFolder::~OpenFolder() { ::close(descriptor_); }

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

} // namespace platform
