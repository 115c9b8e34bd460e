#include "platform/win/resources.h"

#include "platform/win/codepage.h"
#include "platform/win/errors.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

namespace {
// A resource name or type: an integer id or a text.
std::u16string NameKey(LPCWSTR name)
{
    if (IS_INTRESOURCE(name)) {
        return u"#" + platform::Utf8ToUtf16(std::to_string(reinterpret_cast<std::uintptr_t>(name)));
    }
    std::u16string key;
    for (const char16_t* p = name; *p; ++p) {
        key += (*p >= u'a' && *p <= u'z') ? static_cast<char16_t>(*p - 32) : *p;
    }
    return key;
}

struct Resource {
    std::vector<std::byte> data;
};

using Key = std::tuple<HINSTANCE, std::u16string, std::u16string>;

struct Registry {
    std::mutex lock;
    std::map<Key, std::map<LANGID, std::unique_ptr<Resource>>> resources;
};

Registry& GetRegistry()
{
    static Registry* registry = new Registry; // outlives every static destructor that might still load a string
    return *registry;
}

HRSRC Find(HMODULE module, LPCWSTR type, LPCWSTR name, const LANGID* language)
{
    if (!module) {
        module = GetModuleHandleW(nullptr);
    }
    Registry& registry = GetRegistry();
    std::lock_guard guard(registry.lock);
    const auto found = registry.resources.find(Key{module, NameKey(type), NameKey(name)});
    if (found == registry.resources.end() || found->second.empty()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    if (language) {
        const auto exact = found->second.find(*language);
        if (exact == found->second.end()) {
            SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
            return nullptr;
        }
        return reinterpret_cast<HRSRC>(exact->second.get());
    }
    return reinterpret_cast<HRSRC>(found->second.begin()->second.get());
}
}

HMODULE GetModuleHandleW(LPCWSTR moduleName)
{
    if (moduleName != nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // The main program is the first object the dynamic linker lists; its handle is the address of its first
    // loaded segment, the same base that ModuleHandleFromAddress reports for addresses inside it.
    static HMODULE self = [] {
        std::uintptr_t base = 0;
        dl_iterate_phdr(
            [](dl_phdr_info* info, std::size_t, void* out) {
                std::uintptr_t lowest = UINTPTR_MAX;
                for (int i = 0; i < info->dlpi_phnum; ++i) {
                    if (info->dlpi_phdr[i].p_type == PT_LOAD) {
                        lowest = std::min<std::uintptr_t>(lowest, info->dlpi_phdr[i].p_vaddr);
                    }
                }
                *static_cast<std::uintptr_t*>(out) = info->dlpi_addr + (lowest & ~std::uintptr_t{0xFFF});
                return 1; // the first object is enough
            },
            &base);
        return reinterpret_cast<HMODULE>(base);
    }();
    return self;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size)
{
    std::string path;
    if (!module || module == GetModuleHandleW(nullptr)) {
        char link[4096];
        const ssize_t n = readlink("/proc/self/exe", link, sizeof link - 1);
        if (n <= 0) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return 0;
        }
        path.assign(link, static_cast<std::size_t>(n));
    } else {
        Dl_info info{};
        if (!dladdr(module, &info) || !info.dli_fname) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        path = info.dli_fname;
    }
    const std::u16string wide = platform::Utf8ToUtf16(path);
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const DWORD copied = static_cast<DWORD>(std::min<std::size_t>(wide.size(), size - 1));
    std::copy_n(wide.data(), copied, buffer);
    buffer[copied] = 0;
    if (copied < wide.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    return copied;
}

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) { return Find(module, type, name, nullptr); }

HRSRC FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, LANGID language)
{
    return Find(module, type, name, &language);
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) { return resource; }

LPVOID LockResource(HGLOBAL data)
{
    return data ? static_cast<void*>(static_cast<Resource*>(data)->data.data()) : nullptr;
}

DWORD SizeofResource(HMODULE, HRSRC resource)
{
    return resource ? static_cast<DWORD>(reinterpret_cast<Resource*>(resource)->data.size()) : 0;
}

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferUnits)
{
    if (!buffer) {
        return 0;
    }
    const HRSRC block = FindResourceW(instance, MAKEINTRESOURCEW(((id >> 4) + 1) & 0xFFFF), RT_STRING);
    if (!block) {
        return 0;
    }
    const auto* units = static_cast<const char16_t*>(LockResource(LoadResource(instance, block)));
    const std::size_t total = SizeofResource(instance, block) / sizeof(char16_t);
    std::size_t at = 0;
    for (UINT skip = id & 15; skip > 0 && at < total; --skip) {
        at += 1 + units[at];
    }
    if (at >= total || units[at] == 0) {
        return 0;
    }
    const std::size_t length = std::min<std::size_t>(units[at], total - at - 1);
    const char16_t* text = units + at + 1;
    if (bufferUnits == 0) {
        *reinterpret_cast<const char16_t**>(buffer) = text;
        return static_cast<int>(length);
    }
    const std::size_t copied = std::min<std::size_t>(length, static_cast<std::size_t>(bufferUnits) - 1);
    std::copy_n(text, copied, buffer);
    buffer[copied] = 0;
    return static_cast<int>(copied);
}

namespace platform {
HINSTANCE ModuleHandleFromAddress(const void* address)
{
    Dl_info info{};
    if (dladdr(address, &info) && info.dli_fbase) {
        return static_cast<HINSTANCE>(info.dli_fbase);
    }
    return nullptr;
}

void RegisterResource(HINSTANCE module, LPCWSTR type, LPCWSTR name, LANGID language, std::span<const std::byte> data)
{
    auto resource = std::make_unique<Resource>();
    resource->data.assign(data.begin(), data.end());
    Registry& registry = GetRegistry();
    std::lock_guard guard(registry.lock);
    registry.resources[Key{module, NameKey(type), NameKey(name)}][language] = std::move(resource);
}

namespace {
// The 16 strings of a block already registered for the module in the language (empty ones when there is none).
std::vector<std::u16string> RegisteredBlock(HINSTANCE module, UINT number, LANGID language)
{
    std::vector<std::u16string> strings(16);
    Registry& registry = GetRegistry();
    std::lock_guard guard(registry.lock);
    const auto found = registry.resources.find(Key{module, NameKey(RT_STRING), NameKey(MAKEINTRESOURCEW(number))});
    if (found == registry.resources.end()) {
        return strings;
    }
    const auto exact = found->second.find(language);
    if (exact == found->second.end()) {
        return strings;
    }
    const std::vector<std::byte>& data = exact->second->data;
    std::vector<char16_t> units(data.size() / sizeof(char16_t));
    std::memcpy(units.data(), data.data(), units.size() * sizeof(char16_t));
    std::size_t at = 0;
    for (std::u16string& text : strings) {
        if (at >= units.size()) {
            break;
        }
        const std::size_t length = std::min<std::size_t>(units[at], units.size() - at - 1);
        text.assign(units.data() + at + 1, length);
        at += 1 + length;
    }
    return strings;
}
} // namespace

void RegisterStringTable(HINSTANCE module, std::span<const StringTableEntry> entries, LANGID language)
{
    // Tables of one module may share a block (ids 16 apart): each keeps the strings the others put there.
    std::map<UINT, std::vector<std::u16string>> blocks;
    for (const StringTableEntry& entry : entries) {
        const UINT number = (entry.id >> 4) + 1;
        auto found = blocks.find(number);
        if (found == blocks.end()) {
            found = blocks.emplace(number, RegisteredBlock(module, number, language)).first;
        }
        found->second[entry.id & 15] = std::u16string(entry.text);
    }
    for (const auto& [number, strings] : blocks) {
        std::vector<char16_t> units;
        for (const std::u16string_view text : strings) {
            units.push_back(static_cast<char16_t>(text.size()));
            units.insert(units.end(), text.begin(), text.end());
        }
        const auto* bytes = reinterpret_cast<const std::byte*>(units.data());
        RegisterResource(module, RT_STRING, MAKEINTRESOURCEW(number), language,
                         std::span<const std::byte>(bytes, units.size() * sizeof(char16_t)));
    }
}

namespace {
std::optional<LANGID> g_applicationLanguage;
}

std::optional<LANGID> ApplicationLanguage() { return g_applicationLanguage; }
void SetApplicationLanguage(std::optional<LANGID> language) { g_applicationLanguage = language; }

void UnregisterResources(HINSTANCE module)
{
    Registry& registry = GetRegistry();
    std::lock_guard guard(registry.lock);
    std::erase_if(registry.resources, [module](const auto& item) { return std::get<0>(item.first) == module; });
}
}
