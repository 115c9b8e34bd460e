#include "platform/posix/outputbatch.h"

#include "platform/posix/endingsignals.h"
#include "platform/posix/followname.h"
#include "platform/posix/testinjections.h"
#include "platform/posix/writesteps.h"

#include <unistd.h>

namespace platform {

namespace {

thread_local OutputBatch* t_batch = nullptr;

} // namespace

OutputBatch* CurrentBatch() { return t_batch; }

OutputBatch::OutputBatch() : outer_(t_batch) { t_batch = this; }

OutputBatch::~OutputBatch()
{
    Discard();
    t_batch = outer_;
}

OutputBatch::Outcome OutputBatch::Commit()
{
    StopAtTestPoint("outputs written");
    Outcome outcome;
    const auto fail = [&outcome](const Waiting& file, int error) {
        outcome.error = error;
        outcome.failed = file.path;
    };
    // Every file was written whole before it came here; the descriptors first, which cannot be taken back, then
    // the renames, each of which puts one file in place.
    for (const bool standard : {false, true}) {
        for (Waiting& file : waiting_) {
            if (file.descriptor < 0 || file.standard != standard || outcome.error != 0) {
                continue;
            }
            int error = WriteWhole(file.descriptor, file.bytes);
            error = error != 0 ? error : SyncInPlace(file.descriptor);
            if (error != 0) {
                fail(file, error);
            } else {
                outcome.written.push_back(file.path);
            }
        }
    }
    {
        // A signal that ends the run waits until every rename is made, or one failed: a run ended by one has
        // replaced all its files or none of them, never a part.
        const SignalsHeld held;
        for (Waiting& file : waiting_) {
            if (file.temporary.empty() || outcome.error != 0) {
                continue;
            }
            if (const int error =
                    RenameIntoPlace(file.path, *file.folder, file.temporary, file.leaf, file.pendingSlot);
                error != 0) {
                fail(file, error);
            } else {
                file.temporary.clear();
                outcome.written.push_back(file.path);
            }
        }
    }
    for (const Waiting& file : waiting_) {
        if (file.folder && file.temporary.empty()) {
            SyncFolder(*file.folder);
        }
    }
    if (outcome.error == 0) {
        outcome.written.clear();
    }
    Discard();
    return outcome;
}

void OutputBatch::Discard()
{
    for (Waiting& file : waiting_) {
        if (file.descriptor >= 0) {
            ::close(file.descriptor);
        }
        if (!file.temporary.empty()) {
            DropPending(*file.folder, file.temporary, file.pendingSlot, false);
        }
    }
    waiting_.clear();
}

} // namespace platform

