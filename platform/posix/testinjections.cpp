#include "platform/posix/testinjections.h"

#include "platform/posix/atomicfile.h"

#include <utility>

namespace platform {

InjectedFault& Fault()
{
    static InjectedFault fault;
    return fault;
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

} // namespace platform
