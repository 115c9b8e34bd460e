#include "platform/win/profile.h"

#include "platform/win/codepage.h"

#include <algorithm>
#include <map>
#include <utility>

namespace {
std::map<std::pair<std::u16string, std::u16string>, std::u16string>& Entries()
{
    static auto* entries = new std::map<std::pair<std::u16string, std::u16string>, std::u16string>;
    return *entries;
}
}

DWORD GetProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer, DWORD size)
{
    if (!buffer || size == 0) {
        return 0;
    }
    buffer[0] = 0;
    if (!section || !key) {
        return 0;
    }
    std::u16string_view value = defaultValue ? std::u16string_view(defaultValue) : std::u16string_view();
    const auto found = Entries().find({platform::AsciiLower(section), platform::AsciiLower(key)});
    if (found != Entries().end()) {
        value = found->second;
    }
    const std::size_t n = std::min<std::size_t>(value.size(), size - 1);
    std::copy_n(value.data(), n, buffer);
    buffer[n] = 0;
    return static_cast<DWORD>(n);
}

namespace platform {
void SetProfileString(std::u16string_view section, std::u16string_view key, std::optional<std::u16string> value)
{
    auto id = std::make_pair(platform::AsciiLower(section), platform::AsciiLower(key));
    if (value) {
        Entries()[std::move(id)] = std::move(*value);
    } else {
        Entries().erase(id);
    }
}
}
