#include "platform/posix/descriptornames.h"

#include <charconv>
#include <cstdlib>
#include <string>
#include <utility>

#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

std::optional<int> DescriptorNumber(std::string_view text)
{
    int fd = -1;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), fd);
    return parsed.ec == std::errc() && parsed.ptr == text.data() + text.size() && fd >= 0 ? std::optional(fd)
                                                                                           : std::nullopt;
}

namespace {

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

} // namespace

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

} // namespace platform
