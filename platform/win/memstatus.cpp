#include "platform/win/memstatus.h"

#include "platform/win/errors.h"

namespace {
platform::MemoryProfile& Profile()
{
    static platform::MemoryProfile profile;
    return profile;
}
int& Trims()
{
    static int trims = 0;
    return trims;
}
constexpr DWORD kInvalidParameter = 87;
} // namespace

namespace platform {
void SetMemoryProfile(const MemoryProfile& profile) { Profile() = profile; }
MemoryProfile GetMemoryProfile() { return Profile(); }
int WorkingSetTrims() { return Trims(); }
} // namespace platform

BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status)
{
    if (!status || status->dwLength != sizeof(MEMORYSTATUSEX)) {
        SetLastError(kInvalidParameter);
        return FALSE;
    }
    if (Profile().statusError) {
        SetLastError(Profile().statusError);
        return FALSE;
    }
    const std::uint64_t total = Profile().totalVirtual;
    const std::uint64_t available = Profile().availableVirtual;
    *status = MEMORYSTATUSEX{sizeof(MEMORYSTATUSEX), 50, total / 2, available / 2, total, available,
                             total, available, 0};
    return TRUE;
}

BOOL SetProcessWorkingSetSize(HANDLE, SIZE_T, SIZE_T)
{
    if (Profile().trimError) {
        SetLastError(Profile().trimError);
        return FALSE;
    }
    ++Trims();
    return TRUE;
}

HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }
