#include "platform/posix/testinjections.h"

#include "platform/posix/atomicfile.h"

#include <csignal>
#include <cstdlib>
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

void AtomicFile::SignalAtRenameOf(std::string path, int signal)
{
    Fault().signalAt = std::move(path);
    Fault().signal = signal;
}

void AtomicFile::ClearInjectedFault() { Fault() = InjectedFault{}; }

void StopAtTestPoint(std::string_view point)
{
    static const char* const stopAt = std::getenv(kTestStopVariable);
    if (stopAt != nullptr && point == stopAt) {
        ::raise(SIGSTOP);
    }
}

} // namespace platform
