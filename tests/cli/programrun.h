// Running the command-line program as a user does, for the tests of tests/cli: where the program and the bundled
// examples lie, shell quoting, and a run of a command line with its output, its errors and its exit status.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

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

struct RunResult {
    int status = -1; // the exit status; -1 when the run did not end by exiting
    std::string out;
    std::string err;
};

// Runs a shell command line (its own redirections of standard output included); standard error is caught apart.
inline RunResult RunCommandLine(const std::string& line)
{
    const fs::path errors = fs::temp_directory_path() / ("crestmetrics_cli_errors_" + std::to_string(::getpid()));
    RunResult result;
    FILE* pipe = ::popen((line + " 2>" + Quote(errors.string())).c_str(), "r");
    if (!pipe) {
        return result;
    }
    char buffer[4096];
    for (std::size_t n = 0; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        result.out.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ostringstream text;
    text << std::ifstream(errors).rdbuf();
    result.err = text.str();
    fs::remove(errors);
    return result;
}

} // namespace clitest
