// The command-line host's shared conventions: subcommands with their options, errors that say what went wrong on
// standard error with a non-zero exit status, and progress of long work on standard error.
#pragma once

#include "host/host.h"

#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace cli {

// A failure the user can mend (bad arguments, a bad file or text): reported without a trace, exit status 1; a
// usage error exits with 2 and shows the command's usage.
class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& message, bool usage = false) : std::runtime_error(message), usage_(usage) {}
    bool Usage() const { return usage_; }
    // A refusal that cannot be said: standard error is a file the run reads. Exit status 2, and nothing written.
    static Failure Unsaid()
    {
        Failure failure("", true);
        failure.unsaid_ = true;
        return failure;
    }
    bool IsUnsaid() const { return unsaid_; }

private:
    bool usage_;
    bool unsaid_ = false;
};

// The failure to write `what` ("the table"; empty for a command's output) to `path` (empty for standard output),
// with the system's reason for `error` (an errno; 0 when none is known). One wording for every output.
Failure WriteFailure(const std::string& what, const std::string& path, int error);

// What a file the run reads or writes is, its name followed as platform::FollowName follows it (a pinned name where
// it led when pinned): device and inode for a regular file, the full name for one not made yet; empty for a device,
// a pipe or a socket, which are written in place and replace nothing. A name of a descriptor is the file it is open
// on.
std::string FileIdentity(const std::string& path);
// The file standard output is redirected to, as FileIdentity gives it.
std::string StandardOutputIdentity();
// The file a descriptor the run opened is open on, as FileIdentity gives it: an input is compared with the outputs
// as the file that was opened, not as what its name leads to by then.
std::string OpenedIdentity(int fd);
// Failure::Unsaid when standard error is one of the files a run reads (identities as FileIdentity gives them; empty
// ones are passed over), or the file of an output written whole (a document, a picture, a printout) that already
// holds bytes: its messages would be written into the one, and the other would follow what the file held.
void RefuseStandardErrorOnto(const std::vector<std::string>& inputs,
                             const std::vector<std::string>& wholeOutputs = {});
// True when the file open on `fd` already holds bytes: an output written whole would follow them.
bool HoldsBytes(int fd);

inline constexpr const char* kIsTheRecording = ": that is the recording being analysed";

// Failure when standard output, which is to carry the command's output, is closed: found before the work.
void RefuseClosedStandardOutput();
// A usage failure when standard output, which is to carry the command's output, is the recording itself (its
// identity, as OpenedIdentity gives it): a shell's ">>" would append to it, and its ">" has emptied it before the run.
void RefuseStandardOutputOnto(const std::string& recording);

// The options every subcommand takes, and its own arguments.
struct Options {
    std::string module;             // --module PATH: the module library; default beside the program
    bool quiet = false;             // --quiet: no progress
    std::vector<std::string> arguments;
    // The command's own options that take no value, as given.
    std::vector<std::string> flags;
    // The command's own options that take a value, in the order given (an option may repeat).
    std::vector<std::pair<std::string, std::string>> values;
};

// Reports progress of long work on standard error ("calc: block 2 of 5"), unless quiet.
class Progress {
public:
    Progress(std::ostream& err, std::string command, bool quiet) : err_(err), command_(std::move(command)), quiet_(quiet)
    {
    }
    void Step(const std::string& what, int done, int total);
    void Done();

private:
    std::ostream& err_;
    std::string command_;
    bool quiet_;
    bool shown_ = false;
};

// A host with the module loaded; Failure when the module cannot be loaded.
struct LoadedHost {
    host::Host host;
    explicit LoadedHost(const std::string& modulePath);
};

// Failure when a file the run reads names a descriptor that was not open as the run started ("<&-"): it would read
// the nothing of the descriptor put in its place.
void RefuseClosedInput(const std::string& path);

// A recording named on the command line: "-" is refused (a usage failure), because standard input is read as
// /dev/stdin, a file like any other; so is an empty name, which names no file.
void RefuseDashAsRecording(const std::string& path);

// The module library beside the running program.
std::string DefaultModulePath();

struct Command {
    const char* name;
    const char* usage;   // the arguments after the command name
    const char* summary; // one line
    std::vector<std::string> valueOptions; // the command's own options that take a value
    std::function<int(const Options&, std::ostream& out, std::ostream& err)> run;
    std::vector<std::string> flagOptions = {}; // the command's own options that take no value
    const char* details = nullptr;             // more lines for the command's --help
    // What standard error is compared with before a word is said: the files the command reads (its arguments, when
    // it reads a recording, and the values of `inputOptions`) and those it writes whole (`wholeOutputOptions`).
    bool readsRecording = false;
    std::vector<std::string> inputOptions = {};
    std::vector<std::string> wholeOutputOptions = {};
};

// The calc subcommand.
int RunCalc(const Options& options, std::ostream& out, std::ostream& err);

// The analyse subcommand.
int RunAnalyse(const Options& options, std::ostream& out, std::ostream& err);

// The selftest subcommand.
int RunSelfTest(const Options& options, std::ostream& out, std::ostream& err);

// The whole program: argv in, exit status out.
int Main(int argc, char** argv, std::ostream& out, std::ostream& err);

} // namespace cli
