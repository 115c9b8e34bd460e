// Faults and signals that tests inject into the file writer (AtomicFile::FailWritesBeyond, FailRenameOf,
// SignalAtRenameOf), as the writer's steps look them up, and the fixed points where a run stops for a test; inert
// until a test arms one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

struct InjectedFault {
    bool armed = false;
    std::size_t limit = 0;
    int error = 0;
    std::string renamed = {}; // the path whose rename fails with renameError
    int renameError = 0;
    std::string signalAt = {}; // the path whose rename, once made, raises `signal`
    int signal = 0;
};

InjectedFault& Fault();

// The variable of the environment that names the fixed point where a run stops itself for a test.
inline constexpr const char* kTestStopVariable = "CRESTMETRICS_TEST_STOP";

// Tests: a run whose environment names `point` in kTestStopVariable stops itself there (SIGSTOP), so that a test
// that started it as a program of its own can change its files at that very moment and then let it go on
// (SIGCONT). Otherwise nothing happens: the environment is looked at once.
void StopAtTestPoint(std::string_view point);

} // namespace platform
