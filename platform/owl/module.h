// OWL's module and application objects, and resource ids that are either numbers or names.
#pragma once

#include "platform/owl/geometry.h"
#include "platform/win/libloader.h"
#include "platform/win/resources.h"
#include "platform/win/version.h"
#include "platform/win/winuser.h"

#include <stdexcept>
#include <string>

namespace owl {

using tstring = std::u16string;

// A resource id: an integer (MAKEINTRESOURCE) or a name; names are copied.
class TResId {
public:
    TResId() : id_(0) {}
    TResId(int id) : id_(static_cast<std::uintptr_t>(id) & 0xFFFF) {}
    TResId(LPCWSTR name)
    {
        if (IS_INTRESOURCE(name)) {
            id_ = reinterpret_cast<std::uintptr_t>(name);
        } else {
            name_ = name;
            isString_ = true;
        }
    }
    bool IsString() const { return isString_; }
    int GetInt() const { return static_cast<int>(id_); }
    LPCWSTR GetPointerRepresentation() const { return isString_ ? name_.c_str() : MAKEINTRESOURCEW(id_); }
    operator LPCWSTR() const { return GetPointerRepresentation(); }

private:
    std::uintptr_t id_ = 0;
    tstring name_;
    bool isString_ = false;
};

// OWL's exceptions: a module that cannot be loaded, or a procedure that it does not export.
class TXOwl : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
class TXInvalidModule : public TXOwl {
public:
    using TXOwl::TXOwl;
};

class TModule {
public:
    // Wraps a loaded module by its instance handle (the process image when none is given).
    explicit TModule(LPCWSTR name, HINSTANCE instance = nullptr);
    // Loads a library by name (LoadLibraryW) and frees it with the object. A library that cannot be loaded throws
    // TXInvalidModule unless `mustLoad` is false (the handle is then null).
    TModule(LPCWSTR name, bool shouldLoad, bool mustLoad = true);
    virtual ~TModule();
    TModule(const TModule&) = delete;
    TModule& operator=(const TModule&) = delete;

    HINSTANCE GetHandle() const { return instance_; }
    HINSTANCE GetInstance() const { return instance_; }
    operator HINSTANCE() const { return instance_; }
    LPCWSTR GetName() const { return name_.c_str(); }
    int LoadString(uint id, LPWSTR buffer, int size) const;
    tstring LoadString(uint id) const;
    // A procedure of the library, or null.
    FARPROC GetProcAddress(LPCSTR name) const;

private:
    tstring name_;
    HINSTANCE instance_;
    bool loaded_ = false;
};

// The version resource of a module: its fixed information and the texts of its first translation. A module
// without one reports zeros and no texts.
class TModuleVersionInfo {
public:
    explicit TModuleVersionInfo(HINSTANCE module);

    bool HasInfo() const { return block_ != nullptr; }
    const VS_FIXEDFILEINFO& GetFixedInfo() const { return fixed_; }
    DWORD GetFileVersionMS() const { return fixed_.dwFileVersionMS; }
    DWORD GetFileVersionLS() const { return fixed_.dwFileVersionLS; }
    // A text of the version ("FileVersion", "FileDescription", …); false when the module has none.
    bool GetInfoString(LPCWSTR key, tstring& text) const;
    bool GetFileVersion(tstring& text) const { return GetInfoString(u"FileVersion", text); }
    bool GetFileDescription(tstring& text) const { return GetInfoString(u"FileDescription", text); }

private:
    const void* block_ = nullptr; // the resource data, which lives as long as the process
    VS_FIXEDFILEINFO fixed_{};
    tstring table_; // the text table of the first translation ("040904B0")
};

// A procedure of a module, looked up when the object is made; a missing one throws TXOwl.
template <class R, class... Args>
class TModuleProc {
public:
    TModuleProc(const TModule& module, LPCSTR name) : proc_(reinterpret_cast<R (*)(Args...)>(module.GetProcAddress(name)))
    {
        if (!proc_) {
            throw TXOwl(std::string("the module has no procedure ") + name);
        }
    }
    R operator()(Args... args) const { return proc_(args...); }

private:
    R (*proc_)(Args...);
};

class TWindow;

class TApplication : public TModule {
public:
    explicit TApplication(LPCWSTR name = u"Application", HINSTANCE instance = nullptr);
    // The user-interface language of the running application (settable by tests).
    LANGID GetLangId() const { return langId_; }
    void SetLangId(LANGID id) { langId_ = id; }
    // The application's main window (none in a plug-in until the host gives one; tests set it).
    TWindow* GetMainWindow() const { return mainWindow_; }
    void SetMainWindow(TWindow* window) { mainWindow_ = window; }

private:
    LANGID langId_ = MAKELANGID(0x09, 0x01); // English (United States)
    TWindow* mainWindow_ = nullptr;
};

// The process's application object, made on first use.
TApplication& GetApplicationObject();
}
