// A file written whole or not at all. The bytes go to a uniquely named temporary file beside the target, which is
// flushed, synced and renamed over the target only when the writer commits; an abandoned or failed write removes
// the temporary file and leaves the old file exactly as it was. The new file keeps the old one's permission bits.
// The target's type decides, never its name: a device, a pipe or a socket is written in place, because a rename
// would replace it; every regular file goes through the temporary file. A symbolic link is never replaced: it is
// followed to the file it leads to, which a dangling link creates in its existing folder, as a shell's ">" does.
// The folder the target lies in is opened as the name is followed, and the temporary file is made, renamed and
// removed in that folder, never through its name again: a folder renamed or swapped meanwhile cannot lead the
// write elsewhere.
// No new file is made directly in /dev, nor anything under /proc: a name there that leads nowhere is a standard
// stream that is closed or a /proc that is not mounted, not a file to make. A name of one of the process's
// descriptors (/dev/stdin, /dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N, /proc/thread-self/fd/N, the
// process's own /proc/PID/fd/N and the task folders' fd/N of its threads, with or without /proc, and links that
// lead there) is written through that descriptor in place, so that a shell's ">>" keeps what the file held, but
// only a descriptor that was open for writing when the program started: another of that number may by now be a file
// the program opened itself. The files standard output and standard error are redirected to are written through
// descriptors 1 and 2 too.
//
// The temporary files being written are kept in a fixed table, so that a signal handler can remove them
// (RemovePendingTemporaries) before the process ends. While an OutputBatch lives, committed files wait for it, so
// that several outputs are put in place together or not at all.
#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace platform {

class OpenFolder;
class OutputBatch;

class AtomicFile {
public:
    // Opens the temporary file (or the target, in place); Good() tells whether that worked.
    explicit AtomicFile(std::string path);
    // Abandons the write unless it was committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // False once anything failed; every later write and the commit then fail too.
    bool Good() const { return fd_ >= 0 && error_ == 0; }
    // The errno of the first failure, 0 while none.
    int Error() const { return error_; }
    const std::string& Path() const { return path_; }
    bool InPlace() const { return inPlace_; }

    bool Write(const void* data, std::size_t size);
    bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
    // A stream over Write; a failed write sets its badbit.
    std::ostream& Stream();

    // Flushes, syncs, closes and puts the file in place. False when any step failed: the temporary file is gone
    // and the old file is untouched. A file made while an OutputBatch lives is handed to it instead: its temporary
    // file waits, written whole, and bytes for a descriptor wait in memory, until the batch commits.
    bool Commit();
    // Removes the temporary file; the old file stays as it was.
    void Abandon();

    // Tests: every write that would take a file written this way beyond `bytes` writes up to there and then fails
    // with `error` (a disk that fills halfway), until ClearInjectedFault.
    static void FailWritesBeyond(std::size_t bytes, int error);
    // Tests: the rename that puts the file given as `path` in place fails with `error`, until ClearInjectedFault.
    static void FailRenameOf(std::string path, int error);
    // Tests: once the rename that puts the file given as `path` in place is made, `signal` is raised (and held, as
    // an ending signal is, as long as the writer holds them), until ClearInjectedFault.
    static void SignalAtRenameOf(std::string path, int signal);
    static void ClearInjectedFault();

    // Watches the files the calling thread writes while it lives, for a caller that cannot ask the writer why a
    // write or an open failed (a module's export, a writer that says only whether it worked).
    class FailureWatch {
    public:
        FailureWatch();
        ~FailureWatch();
        FailureWatch(const FailureWatch&) = delete;
        FailureWatch& operator=(const FailureWatch&) = delete;
        // The errno of the first failure since the watch was made, 0 when none failed.
        int Reason() const { return reason_; }

    private:
        friend class AtomicFile;
        FailureWatch* outer_;
        int reason_ = 0;
    };

    // Removes every temporary file being written. Async-signal-safe: for a handler of kEndingSignals, which are
    // held while a temporary file is made, renamed or removed, so that the table always names every one.
    static void RemovePendingTemporaries() noexcept;

private:
    friend class OutputBatch;
    class Buffer;
    void Fail(int error);
    void Close();
    void OpenInPlace(int fd);
    void MakeTemporary();
    void DropTemporary(bool renamed);

    std::string path_;   // as given
    std::string target_; // what the rename replaces: the path with its symbolic links resolved
    std::shared_ptr<const OpenFolder> folder_; // the folder target_ lies in, opened as its name was followed
    std::string leaf_;                         // target_'s last name, in folder_
    std::string temporary_;                    // the temporary file's name, in folder_
    OutputBatch* batch_ = nullptr;             // the batch the file waits for at its commit
    bool holding_ = false;                     // in place, in a batch: the bytes wait in held_
    bool standard_ = false;                    // in place through standard output or error
    std::string held_;
    int pendingSlot_ = -1; // the temporary file's entry in the table of pending temporaries
    int fd_ = -1;
    int error_ = 0;
    bool inPlace_ = false;
    bool done_ = false;
    unsigned mode_ = 0;
    std::size_t written_ = 0;
    std::unique_ptr<Buffer> buffer_;
    std::unique_ptr<std::ostream> stream_;
};

// Writes `bytes` as the whole file at `path` through an AtomicFile; false when it could not be written.
bool WriteWholeFile(const std::string& path, std::string_view bytes);

} // namespace platform
