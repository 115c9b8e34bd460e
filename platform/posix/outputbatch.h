// Several outputs put in place together or not at all: while an OutputBatch lives, the files the calling thread
// commits wait for it, written whole.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

class OpenFolder;

// While it lives, every AtomicFile the calling thread makes waits for it at its commit. Commit then writes the
// bytes meant for descriptors (standard output and error last, so that a pipe gets nothing of a run that failed)
// and renames the temporary files into place, in that order, after every file was written whole: an output that
// cannot be written replaces nothing, and an ending signal that comes during the renames waits until they are all
// made. Destroyed without a commit, or after a failed one, it removes every temporary file that waits.
class OutputBatch {
public:
    OutputBatch();
    ~OutputBatch();
    OutputBatch(const OutputBatch&) = delete;
    OutputBatch& operator=(const OutputBatch&) = delete;

    struct Outcome {
        int error = 0;                     // the errno of the failure; 0 when every file was put in place
        std::string failed;                // the file (its path as given) that failed
        std::vector<std::string> written;  // the files (paths as given) already put in place before the failure
    };
    Outcome Commit();

private:
    friend class AtomicFile;
    struct Waiting {
        std::string path;                              // as given
        int descriptor = -1;                           // in place: the bytes go through it
        bool standard = false;                         // it is standard output or error, written last
        std::string bytes = {};
        std::shared_ptr<const OpenFolder> folder = {}; // else the temporary file, renamed over `leaf` in `folder`
        std::string temporary = {};
        std::string leaf = {};
        int pendingSlot = -1;
    };
    void Discard();

    std::vector<Waiting> waiting_;
    OutputBatch* outer_;
};

// The batch the calling thread's files wait for now; null when none lives.
OutputBatch* CurrentBatch();

} // namespace platform
