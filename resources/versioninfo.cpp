// The module's version resource, registered under the module's instance handle when the module is loaded. Its
// version text names a release build: no alpha, beta or final-candidate note is shown for it.
#include "foundation/moduleinstance.h"
#include "platform/win/resources.h"
#include "platform/win/version.h"

namespace {

constexpr WORD kMajor = 1;
constexpr WORD kMinor = 0;
constexpr WORD kRevision = 0;
constexpr WORD kBuild = 0;
constexpr LANGID kEnglishUs = MAKELANGID(0x09, 0x01);
constexpr WORD kUnicode = 1200;

struct Registration {
    Registration()
    {
        VS_FIXEDFILEINFO fixed{};
        fixed.dwSignature = VS_FFI_SIGNATURE;
        fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
        fixed.dwFileVersionMS = fixed.dwProductVersionMS = MAKELONG(kMinor, kMajor);
        fixed.dwFileVersionLS = fixed.dwProductVersionLS = MAKELONG(kBuild, kRevision);
        fixed.dwFileFlagsMask = 0x3F;
        fixed.dwFileOS = VOS_NT_WINDOWS32;
        fixed.dwFileType = VFT_DLL;
        const std::vector<std::byte> block = platform::BuildVersionResource(
            fixed, kEnglishUs, kUnicode,
            {{u"FileDescription", u"Crestmetrics analysis module"},
             {u"FileVersion", u"1.0.0.0"},
             {u"ProductName", u"Crestmetrics"},
             {u"ProductVersion", u"1.0.0.0"}});
        platform::RegisterResource(KVO::ModuleInstance(), RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO), LANG_NEUTRAL,
                                   block);
    }
};
const Registration g_registration;

} // namespace
