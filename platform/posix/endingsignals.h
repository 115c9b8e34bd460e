// The signals that end a run, held while a temporary file is made, renamed or removed, and the table of the
// temporary files being written, which their handler removes (AtomicFile::RemovePendingTemporaries) before the
// process ends.
#pragma once

#include <csignal>
#include <string>

namespace platform {

class OpenFolder;

// The signals that end a run, which its handler ends after removing the pending temporaries; they are held while a
// temporary file is made, renamed or removed. SIGXFSZ, ignored, makes a write fail instead; the fault signals mean a
// fault, not a request, and keep their default action.
inline constexpr int kEndingSignals[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGUSR1, SIGUSR2,
                                         SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGPIPE};

// Holds the ending signals while a temporary file is made or goes, so that the handler that removes the pending
// temporaries finds each one in the table, never a file outside it or a name half written.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_;
};

// The slot now naming `name` in `folder`, or -1 when the table is full or the name too long (the file is then not
// removed on a signal, as before the table existed).
int AddPending(int folder, const std::string& name);

// The temporary file `name` in `folder` is gone (renamed into place, or removed here) and out of the table.
void DropPending(const OpenFolder& folder, const std::string& name, int& slot, bool renamed);

} // namespace platform
