// Running the command-line program as a user does, for the tests of tests/cli: where the program and the bundled
// examples lie, shell quoting, a folder of a test's own, and a run of the program (or of a shell command line) with
// its limits, its temporary folder, its output, its errors, its exit status or the signal that ended it.
#pragma once

#include "tests/tempfolder.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace clitest {

namespace fs = std::filesystem;

// `text` as one word of a shell command line.
inline std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

inline fs::path Program() { return fs::path(MODULE_LIBRARY_PATH).parent_path() / "crestmetrics"; }

inline fs::path Example(const char* name)
{
    return (fs::path(TEST_DATA_DIR) / ".." / ".." / "examples" / name).lexically_normal();
}

inline std::string Bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

using testutil::TempFolder;

// How a run is started.
struct Launch {
    std::vector<std::string> arguments;
    std::string folder = {};                           // the working folder; empty: the test's
    std::string stdoutTo = {};                         // a file appended to (or a device); empty: read into out
    std::optional<rlim_t> fileSizeLimit = {};          // bytes
    std::optional<std::string> temporaryFolder = {};   // TMPDIR
    std::string command = {};                          // another command, found on the PATH, run in its place
    std::vector<int> ignoredSignals = {};              // ignored from the start, as nohup ignores SIGHUP
};

struct RunResult {
    int status = -1; // the exit status; -1 when the run did not end by exiting
    int signal = 0;  // the signal that ended it
    std::string out;
    std::string err;
    long long peakMemory = 0; // the run's peak resident memory, in bytes
};

// Starts the program (or the command) with its standard output and error on the descriptors given, and no other
// descriptor above them: whatever the test runner left open (a make job server's pipe, time -o's file) would take
// the numbers the tests' runs name or close. (A run with a closed standard output belongs in a private /dev only:
// see RunWithPrivateDev in outputs_test.cpp.)
inline pid_t Start(const Launch& launch, int out, int err)
{
    std::vector<std::string> words = {launch.command.empty() ? Program().string() : launch.command};
    words.insert(words.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        // Whatever the test runner ignores or handles, the run is ended as a user's would be.
        for (const int signal : {SIGINT, SIGTERM, SIGXFSZ, SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1, SIGUSR2, SIGALRM}) {
            std::signal(signal, SIG_DFL);
        }
        for (const int signal : launch.ignoredSignals) {
            std::signal(signal, SIG_IGN);
        }
        const rlimit noCoreFiles{0, 0}; // a run a test ends with SIGQUIT leaves no core file in its folder
        ::setrlimit(RLIMIT_CORE, &noCoreFiles);
        if (launch.fileSizeLimit) {
            const rlimit limit{*launch.fileSizeLimit, *launch.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (launch.temporaryFolder) {
            ::setenv("TMPDIR", launch.temporaryFolder->c_str(), 1);
        }
        if (!launch.folder.empty() && ::chdir(launch.folder.c_str()) != 0) {
            ::_exit(126);
        }
        if (::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::close_range(3, ~0U, 0) != 0) {
            ::_exit(126);
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return child;
}

inline RunResult Wait(pid_t child)
{
    RunResult result;
    int status = 0;
    rusage usage{};
    if (child > 0 && ::wait4(child, &status, 0, &usage) == child) {
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        result.peakMemory = static_cast<long long>(usage.ru_maxrss) * 1024;
    }
    return result;
}

// Runs the program to its end, with its standard output (unless it goes to `stdoutTo`) and error caught.
inline RunResult RunProgram(const Launch& launch)
{
    const TempFolder captured;
    const std::string out = launch.stdoutTo.empty() ? captured / "out" : launch.stdoutTo;
    const std::string err = captured / "err";
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    RunResult result = Wait(Start(launch, outFd, errFd));
    ::close(outFd);
    ::close(errFd);
    result.out = launch.stdoutTo.empty() ? Bytes(out) : "";
    result.err = Bytes(err);
    return result;
}

// Runs a bash command line with the program as $P: pipes, redirections and process substitutions as a user types
// them. A run that blocks (on a FIFO read twice) ends after two minutes.
inline RunResult RunShell(const std::string& line)
{
    return RunProgram({.arguments = {"120", "bash", "-c", "P=\"$0\"; " + line, Program().string()},
                       .command = "timeout"});
}

} // namespace clitest
