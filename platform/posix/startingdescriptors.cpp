#include "platform/posix/startingdescriptors.h"

#include "platform/posix/descriptornames.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

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

} // namespace

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

} // namespace platform
