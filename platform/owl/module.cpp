#include "platform/owl/module.h"

#include "platform/win/codepage.h"

#include <cstring>

namespace owl {

TModule::TModule(LPCWSTR name, HINSTANCE instance)
    : name_(name ? name : u""), instance_(instance ? instance : GetModuleHandleW(nullptr))
{
}

TModule::TModule(LPCWSTR name, bool shouldLoad, bool mustLoad) : name_(name ? name : u""), instance_(nullptr)
{
    if (!shouldLoad) {
        return;
    }
    instance_ = LoadLibraryW(name_.c_str());
    loaded_ = instance_ != nullptr;
    if (!loaded_ && mustLoad) {
        throw TXInvalidModule("the module cannot be loaded: " + platform::Utf16ToUtf8(name_));
    }
}

TModule::~TModule()
{
    if (loaded_) {
        FreeLibrary(instance_);
    }
}

FARPROC TModule::GetProcAddress(LPCSTR name) const { return instance_ ? ::GetProcAddress(instance_, name) : nullptr; }

int TModule::LoadString(uint id, LPWSTR buffer, int size) const { return ::LoadStringW(instance_, id, buffer, size); }

tstring TModule::LoadString(uint id) const
{
    const char16_t* text = nullptr;
    const int length = ::LoadStringW(instance_, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text ? tstring(text, static_cast<std::size_t>(length)) : tstring();
}

TModuleVersionInfo::TModuleVersionInfo(HINSTANCE module)
{
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    const void* block = found ? LockResource(LoadResource(module, found)) : nullptr;
    void* value = nullptr;
    UINT length = 0;
    if (!block || !VerQueryValueW(block, u"\\", &value, &length) || length < sizeof fixed_) {
        return;
    }
    block_ = block;
    std::memcpy(&fixed_, value, sizeof fixed_);
    if (VerQueryValueW(block, u"\\VarFileInfo\\Translation", &value, &length) && length >= 4) {
        WORD pair[2];
        std::memcpy(pair, value, sizeof pair);
        table_ = platform::VersionTableName(pair[0], pair[1]);
    }
}

bool TModuleVersionInfo::GetInfoString(LPCWSTR key, tstring& text) const
{
    void* value = nullptr;
    UINT length = 0;
    const tstring path = u"\\StringFileInfo\\" + table_ + u"\\" + key;
    if (!block_ || table_.empty() || !VerQueryValueW(block_, path.c_str(), &value, &length) || length == 0) {
        return false;
    }
    text.assign(static_cast<const char16_t*>(value), length - 1);
    return true;
}

TApplication::TApplication(LPCWSTR name, HINSTANCE instance) : TModule(name, instance) {}

TApplication& GetApplicationObject()
{
    static TApplication* application = new TApplication; // lives for the process, as OWL's does
    return *application;
}
}
