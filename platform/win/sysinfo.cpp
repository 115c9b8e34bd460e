#include "platform/win/sysinfo.h"

#include "platform/win/errors.h"

#include <algorithm>
#include <array>
#include <thread>

namespace {
platform::OsVersion g_version;
int g_screenBits = 32;

int Compare(DWORD current, DWORD wanted) { return current < wanted ? -1 : (current > wanted ? 1 : 0); }

bool Holds(BYTE condition, int comparison)
{
    switch (condition) {
    case VER_EQUAL:
        return comparison == 0;
    case VER_GREATER:
        return comparison > 0;
    case VER_GREATER_EQUAL:
        return comparison >= 0;
    case VER_LESS:
        return comparison < 0;
    case VER_LESS_EQUAL:
        return comparison <= 0;
    default:
        return false;
    }
}

// Each type bit owns three bits of the condition mask, at three times the bit's position.
BYTE ConditionOf(ULONGLONG mask, DWORD type)
{
    int position = 0;
    while (position < 8 && (type >> position) != 1) {
        ++position;
    }
    return static_cast<BYTE>((mask >> (3 * position)) & 7);
}
}

void GetSystemInfo(SYSTEM_INFO* info)
{
    if (!info) {
        return;
    }
    *info = SYSTEM_INFO{};
    info->wProcessorArchitecture = 9; // AMD64
    info->dwPageSize = 4096;
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(std::uintptr_t{0x10000});
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(std::uintptr_t{0x7FFFFFFEFFFF});
    const DWORD processors = std::clamp<DWORD>(std::thread::hardware_concurrency(), 1, 64);
    info->dwActiveProcessorMask = processors >= 64 ? ~ULONG_PTR{0} : (ULONG_PTR{1} << processors) - 1;
    info->dwNumberOfProcessors = processors;
    info->dwProcessorType = 8664;
    info->dwAllocationGranularity = 65536;
    info->wProcessorLevel = 6;
}

BOOL GetVersionExW(OSVERSIONINFOW* info)
{
    if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW) &&
                  info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW))) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    info->dwMajorVersion = g_version.major;
    info->dwMinorVersion = g_version.minor;
    info->dwBuildNumber = g_version.build;
    info->dwPlatformId = g_version.platformId;
    std::fill(std::begin(info->szCSDVersion), std::end(info->szCSDVersion), u'\0');
    if (info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXW)) {
        auto* extended = static_cast<OSVERSIONINFOEXW*>(info);
        extended->wServicePackMajor = g_version.servicePackMajor;
        extended->wServicePackMinor = g_version.servicePackMinor;
        extended->wSuiteMask = 0x100; // single user
        extended->wProductType = 1;   // workstation
        extended->wReserved = 0;
    }
    return TRUE;
}

ULONGLONG VerSetConditionMask(ULONGLONG conditionMask, DWORD typeMask, BYTE condition)
{
    for (int position = 0; position < 8; ++position) {
        if (typeMask & (1u << position)) {
            conditionMask &= ~(ULONGLONG{7} << (3 * position));
            conditionMask |= ULONGLONG{condition & 7u} << (3 * position);
        }
    }
    return conditionMask;
}

BOOL VerifyVersionInfoW(OSVERSIONINFOEXW* info, DWORD typeMask, ULONGLONG conditionMask)
{
    if (!info || typeMask == 0 || conditionMask == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool holds = true;
    // Major, minor and service pack form one version number: the first part that differs decides.
    const std::array<std::pair<DWORD, int>, 4> hierarchy = {{
        {VER_MAJORVERSION, Compare(g_version.major, info->dwMajorVersion)},
        {VER_MINORVERSION, Compare(g_version.minor, info->dwMinorVersion)},
        {VER_SERVICEPACKMAJOR, Compare(g_version.servicePackMajor, info->wServicePackMajor)},
        {VER_SERVICEPACKMINOR, Compare(g_version.servicePackMinor, info->wServicePackMinor)},
    }};
    BYTE lastCondition = 0;
    bool decided = false;
    for (const auto& [type, comparison] : hierarchy) {
        if ((typeMask & type) == 0) {
            continue;
        }
        lastCondition = ConditionOf(conditionMask, type);
        if (comparison != 0) {
            holds = Holds(lastCondition, comparison);
            decided = true;
            break;
        }
    }
    if (!decided && lastCondition != 0) {
        holds = Holds(lastCondition, 0);
    }
    if (holds && (typeMask & VER_BUILDNUMBER)) {
        holds = Holds(ConditionOf(conditionMask, VER_BUILDNUMBER), Compare(g_version.build, info->dwBuildNumber));
    }
    if (holds && (typeMask & VER_PLATFORMID)) {
        holds = Holds(ConditionOf(conditionMask, VER_PLATFORMID),
                      Compare(g_version.platformId, info->dwPlatformId));
    }
    if (!holds) {
        SetLastError(ERROR_OLD_WIN_VERSION);
        return FALSE;
    }
    return TRUE;
}

namespace platform {
void SetOsVersion(const OsVersion& version) { g_version = version; }
OsVersion GetOsVersion() { return g_version; }
int ScreenBitsPerPixel() { return g_screenBits; }
void SetScreenBitsPerPixel(int bits) { g_screenBits = bits; }
}
