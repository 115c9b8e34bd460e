#include "foundation/frameworklibrary.h"

#include "foundation/utilities.h"
#include "foundation/xkvo.h"
#include "platform/com/classobjects.h"
#include "platform/win/codepage.h"
#include "platform/win/msgbox.h"
#include "platform/win/resources.h"
#include "sdk/cafframework.h"

#include <dlfcn.h>

#include <string>

namespace KVO {

namespace {

struct FrameworkLibrary {
    void* handle = nullptr;
    DWORD cookie = 0;
    bool registered = false;
};

FrameworkLibrary& Library()
{
    static FrameworkLibrary library;
    return library;
}

[[noreturn]] void MissingLibrary(const std::u16string& file, DWORD error)
{
    const std::u16string text = u"The host framework library \"" + file + u"\" cannot be used.";
    MessageBoxW(nullptr, text.c_str(), u"Crestmetrics", MB_OK | MB_ICONERROR);
    throw XKVO(MakeHResult(0x80070000u | error));
}

} // namespace

void LoadFrameworkClassObject() { LoadFrameworkClassObjectFrom(PathBesideExecutable(kFrameworkLibraryName)); }

void LoadFrameworkClassObjectFrom(const std::u16string& file)
{
    FrameworkLibrary& library = Library();
    if (library.registered) {
        return;
    }
    void* handle = dlopen(platform::Utf16ToUtf8(file).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        MissingLibrary(file, ERROR_MOD_NOT_FOUND);
    }
    using GetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObjectFunction>(dlsym(handle, "DllGetClassObject"));
    if (!getClassObject) {
        dlclose(handle);
        MissingLibrary(file, ERROR_PROC_NOT_FOUND);
    }
    void* object = nullptr;
    HRESULT hr = getClassObject(CLSID_CAFFrameWork, IID_IUnknown, &object);
    if (SUCCEEDED(hr) && object) {
        IUnknown* unknown = static_cast<IUnknown*>(object);
        hr = CoRegisterClassObject(CLSID_CAFFrameWork, unknown, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                   &library.cookie);
        unknown->Release();
    } else if (SUCCEEDED(hr)) {
        hr = E_NOINTERFACE;
    }
    if (FAILED(hr)) {
        dlclose(handle);
        throw XKVO(hr);
    }
    library.handle = handle;
    library.registered = true;
}

void FreeFrameworkLibrary()
{
    FrameworkLibrary& library = Library();
    if (library.registered) {
        CoRevokeClassObject(library.cookie);
        library.registered = false;
    }
    if (library.handle) {
        dlclose(library.handle);
        library.handle = nullptr;
    }
}

} // namespace KVO
