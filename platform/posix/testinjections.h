// Faults that tests inject into the file writer (AtomicFile::FailWritesBeyond, AtomicFile::FailRenameOf), as the
// writer's steps look them up; inert until a test arms one.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

struct InjectedFault {
    bool armed = false;
    std::size_t limit = 0;
    int error = 0;
    std::string renamed = {}; // the path whose rename fails with renameError
    int renameError = 0;
};

InjectedFault& Fault();

} // namespace platform
