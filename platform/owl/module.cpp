#include "platform/owl/module.h"

#include "platform/win/codepage.h"

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

TApplication::TApplication(LPCWSTR name, HINSTANCE instance) : TModule(name, instance) {}

TApplication& GetApplicationObject()
{
    static TApplication* application = new TApplication; // lives for the process, as OWL's does
    return *application;
}
}
