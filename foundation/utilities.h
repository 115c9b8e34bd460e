// Small services that stand on their own: the cached system information and Windows version tests, insertion of
// 8-bit text into wide streams, the host's visibility setting and the identifier comparison of QueryInterface.
#pragma once

#include "platform/com/guid.h"
#include "platform/win/sysinfo.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace KVO {

// Filled once, on first use.
const SYSTEM_INFO& SystemInfo();
const OSVERSIONINFOW& OsVersionInfo();
// The negated allocation granularity: and-ing an address or size with it rounds down to the granularity.
std::uintptr_t AllocationGranularityMask();

// Version tests on the cached version, and on a given one.
bool IsWindowsXPOrLater();
bool IsWindowsXPOrLater(const OSVERSIONINFOW& version); // NT 5.1 exactly, or any major above 5
bool IsWindowsVistaOrLater();
bool IsWindowsVistaOrLater(const OSVERSIONINFOW& version);
// Asks the system each time (major 6, minor 3, service pack 0, each at least).
bool IsWindows81OrLater();

// Inserts 8-bit text in the thread's ANSI code page into a wide stream. A null text, a text longer than 0x3FFFFFFF
// bytes or a failed conversion inserts nothing.
std::wostream& WideFromThreadAnsi(std::wostream& out, const char* text);

// The host's setting "kvo\application\visible"; true when the host has no settings object. The settings object is
// fetched from the host's application service on first use and kept until ReleaseHostApplicationSettings.
bool IsHostApplicationVisible();
// Gives the kept settings object back (the module calls it when it is detached); the next use fetches again.
void ReleaseHostApplicationSettings();

bool IsEqualGuid(const GUID& a, const GUID& b);

// A path relative to the folder of the running executable ("Essential Files\Ofig.kvoini"; either separator) made
// into the path of that file beside the executable; the relative path unchanged when the executable's name cannot
// be read.
std::u16string PathBesideExecutable(std::u16string_view relative);

// The token "[DELTA]", which stands for the Greek capital delta in descriptions that are composed as text.
const char16_t* DeltaSymbolToken();

} // namespace KVO
