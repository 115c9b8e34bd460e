// Names of the process's own descriptors, told by their text alone (so without /proc too): /dev/stdin, /dev/stdout,
// /dev/stderr, /dev/fd/N, /proc/self/fd/N, /proc/thread-self/fd/N, the process's own /proc/PID/fd/N and the task
// folders' fd/N of its threads, and the entries of a folder that leads to them.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace platform {

// A descriptor's number written whole, as a name in /proc/self/fd.
std::optional<int> DescriptorNumber(std::string_view text);

// The descriptor a name is a name of, by its text alone (so without /proc too): /dev/stdin, /dev/stdout,
// /dev/stderr, or a number in /dev/fd, /proc/self/fd, /proc/thread-self/fd, the process's own /proc/PID/fd, or
// the fd folder of one of its threads in /proc/self/task or /proc/PID/task.
std::optional<int> NamedDescriptor(const std::filesystem::path& name);

// The descriptor an entry of a folder that leads to the process's own descriptors is (a link to /dev/fd, or to
// /proc/self/fd): its link names the file the descriptor is open on, which is no file to replace.
std::optional<int> DescriptorThroughFolder(const std::filesystem::path& name);

} // namespace platform
