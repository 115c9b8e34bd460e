// System information of the stand-in machine: processor and memory facts, the Windows version it claims to be and
// its display depth. The version and the display depth are settable profiles, so that tests can stand in for older
// systems and 8-bit screens; every call answers from the same profile.
#pragma once

#include "platform/win/wintypes.h"

struct SYSTEM_INFO {
    WORD wProcessorArchitecture;
    WORD wReserved;
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    ULONG_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};

struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOW) == 276);

struct OSVERSIONINFOEXW : OSVERSIONINFOW {
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
};
static_assert(sizeof(OSVERSIONINFOEXW) == 284);

inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

inline constexpr DWORD VER_MINORVERSION = 0x01;
inline constexpr DWORD VER_MAJORVERSION = 0x02;
inline constexpr DWORD VER_BUILDNUMBER = 0x04;
inline constexpr DWORD VER_PLATFORMID = 0x08;
inline constexpr DWORD VER_SERVICEPACKMINOR = 0x10;
inline constexpr DWORD VER_SERVICEPACKMAJOR = 0x20;

inline constexpr BYTE VER_EQUAL = 1;
inline constexpr BYTE VER_GREATER = 2;
inline constexpr BYTE VER_GREATER_EQUAL = 3;
inline constexpr BYTE VER_LESS = 4;
inline constexpr BYTE VER_LESS_EQUAL = 5;

inline constexpr DWORD ERROR_OLD_WIN_VERSION = 1150;

void GetSystemInfo(SYSTEM_INFO* info);
// Accepts an OSVERSIONINFOW (276) or OSVERSIONINFOEXW (284) by its size field; FALSE for any other size.
BOOL GetVersionExW(OSVERSIONINFOW* info);
ULONGLONG VerSetConditionMask(ULONGLONG conditionMask, DWORD typeMask, BYTE condition);
// Major, minor and service-pack numbers are compared as one hierarchy, the others one by one. FALSE (last error
// ERROR_OLD_WIN_VERSION) when the running version does not satisfy the conditions.
BOOL VerifyVersionInfoW(OSVERSIONINFOEXW* info, DWORD typeMask, ULONGLONG conditionMask);

namespace platform {
struct OsVersion {
    DWORD major = 10;
    DWORD minor = 0;
    DWORD build = 19045;
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    WORD servicePackMajor = 0;
    WORD servicePackMinor = 0;
};
void SetOsVersion(const OsVersion& version);
OsVersion GetOsVersion();

// The colour depth of the screen (what GetDeviceCaps(screen, BITSPIXEL) answers); 32 unless a test sets another.
int ScreenBitsPerPixel();
void SetScreenBitsPerPixel(int bits);
}
