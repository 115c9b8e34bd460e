#include "platform/posix/endingsignals.h"

#include "platform/posix/atomicfile.h"
#include "platform/posix/followname.h"

#include <array>
#include <atomic>
#include <climits>
#include <cstring>

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace platform {

namespace {

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

} // namespace

SignalsHeld::SignalsHeld()
{
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : kEndingSignals) {
        sigaddset(&held, signal);
    }
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

SignalsHeld::~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

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

void AtomicFile::RemovePendingTemporaries() noexcept
{
    for (PendingTemporary& slot : g_pending) {
        if (slot.state.load() == PendingTemporary::kNamed) {
            ::unlinkat(slot.folder, slot.name, 0);
        }
    }
}

} // namespace platform
