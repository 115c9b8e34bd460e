#include "foundation/utilities.h"

#include "foundation/kvostring.h"
#include "foundation/stringstream.h"
#include "foundation/hostlink.h"
#include "platform/win/codepage.h"
#include "platform/win/resources.h"

#include <cstring>
#include <ostream>
#include <string>

namespace {

struct CachedSystemInfo {
    SYSTEM_INFO system{};
    OSVERSIONINFOW version{};
    std::uintptr_t granularityMask = 0;

    CachedSystemInfo()
    {
        GetSystemInfo(&system);
        version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
        GetVersionExW(&version);
        granularityMask = ~(std::uintptr_t{system.dwAllocationGranularity} - 1);
    }
};

const CachedSystemInfo& Cached()
{
    static const CachedSystemInfo info;
    return info;
}

} // namespace

namespace KVO {

const SYSTEM_INFO& SystemInfo() { return Cached().system; }
const OSVERSIONINFOW& OsVersionInfo() { return Cached().version; }
std::uintptr_t AllocationGranularityMask() { return Cached().granularityMask; }

bool IsWindowsXPOrLater() { return IsWindowsXPOrLater(OsVersionInfo()); }

bool IsWindowsXPOrLater(const OSVERSIONINFOW& version)
{
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           (version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion == 1));
}

bool IsWindowsVistaOrLater() { return IsWindowsVistaOrLater(OsVersionInfo()); }

bool IsWindowsVistaOrLater(const OSVERSIONINFOW& version)
{
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 6;
}

bool IsWindows81OrLater()
{
    OSVERSIONINFOEXW wanted{};
    wanted.dwOSVersionInfoSize = sizeof(wanted);
    wanted.dwMajorVersion = 6;
    wanted.dwMinorVersion = 3;
    wanted.wServicePackMajor = 0;
    ULONGLONG conditions = 0;
    conditions = VerSetConditionMask(conditions, VER_MAJORVERSION, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_MINORVERSION, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&wanted, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, conditions) != FALSE;
}

std::wostream& WideFromThreadAnsi(std::wostream& out, const char* text)
{
    if (!text) {
        return out;
    }
    const std::size_t length = std::strlen(text);
    if (length == 0 || length > 0x3FFFFFFF) {
        return out;
    }
    // On the heap: a text of up to a gigabyte must not be converted in a stack buffer.
    std::u16string units(length, u'\0');
    const int count = MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(length), units.data(),
                                          static_cast<int>(units.size()));
    if (count <= 0) {
        return out;
    }
    const std::wstring wide = ToWide(std::u16string_view(units.data(), static_cast<std::size_t>(count)));
    return out.write(wide.data(), static_cast<std::streamsize>(wide.size()));
}

namespace {
struct HostApplicationSettings {
    bool fetched = false;
    platform::ComPtr<IHostSettings> settings;
};
HostApplicationSettings& KeptApplicationSettings()
{
    static HostApplicationSettings kept;
    return kept;
}
} // namespace

bool IsHostApplicationVisible()
{
    HostApplicationSettings& kept = KeptApplicationSettings();
    if (!kept.fetched) {
        kept.fetched = true;
        if (IApplicationService* application = HostApplicationService()) {
            application->GetSettings(kept.settings.Out());
        }
    }
    if (!kept.settings) {
        return true;
    }
    BYTE visible = 1;
    const String key(u"kvo\\application\\visible");
    IKVOString* keyObject = key.GetInterface();
    kept.settings->ReadBool(keyObject, &visible);
    keyObject->Release();
    return visible != 0;
}

void ReleaseHostApplicationSettings()
{
    HostApplicationSettings& kept = KeptApplicationSettings();
    kept.settings.Reset();
    kept.fetched = false;
}

bool IsEqualGuid(const GUID& a, const GUID& b)
{
    std::uint32_t wordsA[4];
    std::uint32_t wordsB[4];
    std::memcpy(wordsA, &a, sizeof wordsA);
    std::memcpy(wordsB, &b, sizeof wordsB);
    return wordsA[0] == wordsB[0] && wordsA[1] == wordsB[1] && wordsA[2] == wordsB[2] && wordsA[3] == wordsB[3];
}

std::u16string PathBesideExecutable(std::u16string_view relative)
{
    char16_t executable[4096] = {};
    const DWORD length = GetModuleFileNameW(nullptr, executable, 4096);
    const std::u16string_view path(executable, length);
    const auto slash = path.find_last_of(u"/\\");
    if (length == 0 || length >= 4096 || slash == std::u16string_view::npos) {
        return std::u16string(relative);
    }
    std::u16string joined(path.substr(0, slash + 1));
    const auto first = relative.find_first_not_of(u"/\\");
    for (const char16_t unit : relative.substr(first == std::u16string_view::npos ? relative.size() : first)) {
        joined += unit == u'\\' ? u'/' : unit;
    }
    return joined;
}

const char16_t* DeltaSymbolToken() { return u"[DELTA]"; }

} // namespace KVO
