#include "platform/posix/writesteps.h"

#include "platform/posix/endingsignals.h"
#include "platform/posix/followname.h"
#include "platform/posix/testinjections.h"

#include <cerrno>
#include <csignal>
#include <cstddef>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace platform {

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
        if (!fault.signalAt.empty() && fault.signalAt == path) {
            ::raise(fault.signal); // held, as any ending signal, until the caller lets it through
        }
    }
    return 0;
}

void SyncFolder(const OpenFolder& folder) { ::fsync(folder.Descriptor()); }

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

int SyncInPlace(int fd) { return ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS ? errno : 0; }

} // namespace platform
