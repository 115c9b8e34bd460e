// The machine's memory status, for the checks before large copies. The figures are a settable profile (plenty of
// memory unless a test says otherwise), and either call can be made to fail with a given system error.
#pragma once

#include "platform/win/windef.h"

#include <cstdint>

struct MEMORYSTATUSEX {
    DWORD dwLength; // must be sizeof(MEMORYSTATUSEX)
    DWORD dwMemoryLoad;
    std::uint64_t ullTotalPhys;
    std::uint64_t ullAvailPhys;
    std::uint64_t ullTotalPageFile;
    std::uint64_t ullAvailPageFile;
    std::uint64_t ullTotalVirtual;
    std::uint64_t ullAvailVirtual;
    std::uint64_t ullAvailExtendedVirtual;
};
static_assert(sizeof(MEMORYSTATUSEX) == 64);

// FALSE (last error ERROR_INVALID_PARAMETER) for a wrong length or a failure the profile asks for.
BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status);
// (-1, -1) trims the working set; counted for tests.
BOOL SetProcessWorkingSetSize(HANDLE process, SIZE_T minimum, SIZE_T maximum);
HANDLE GetCurrentProcess();

namespace platform {
struct MemoryProfile {
    std::uint64_t availableVirtual = std::uint64_t{1} << 40;
    std::uint64_t totalVirtual = std::uint64_t{1} << 41;
    DWORD statusError = 0;  // non-zero: GlobalMemoryStatusEx fails with it
    DWORD trimError = 0;    // non-zero: SetProcessWorkingSetSize fails with it
};
void SetMemoryProfile(const MemoryProfile& profile);
MemoryProfile GetMemoryProfile();
int WorkingSetTrims();
} // namespace platform
