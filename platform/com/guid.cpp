#include "platform/com/guid.h"

#include <random>

namespace {
constexpr char16_t kHex[] = u"0123456789ABCDEF";

int HexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

void AppendHex(std::u16string& out, std::uint64_t value, int digits)
{
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out += kHex[(value >> shift) & 0xF];
    }
}
}

namespace platform {
std::u16string GuidToText(REFGUID guid)
{
    std::u16string out = u"{";
    AppendHex(out, guid.Data1, 8);
    out += u'-';
    AppendHex(out, guid.Data2, 4);
    out += u'-';
    AppendHex(out, guid.Data3, 4);
    out += u'-';
    for (int i = 0; i < 8; ++i) {
        if (i == 2) {
            out += u'-';
        }
        AppendHex(out, guid.Data4[i], 2);
    }
    out += u'}';
    return out;
}

bool GuidFromText(std::u16string_view text, GUID& out)
{
    if (text.size() != 38 || text.front() != u'{' || text.back() != u'}') {
        return false;
    }
    std::uint8_t bytes[16];
    std::size_t at = 1;
    for (int i = 0; i < 16; ++i) {
        if (at == 9 || at == 14 || at == 19 || at == 24) {
            if (text[at] != u'-') {
                return false;
            }
            ++at;
        }
        const int high = HexValue(text[at]);
        const int low = HexValue(text[at + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
        at += 2;
    }
    out.Data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
                bytes[3];
    out.Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    out.Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    std::memcpy(out.Data4, bytes + 8, 8);
    return true;
}

GUID NewGuid()
{
    static std::mt19937_64 engine{std::random_device{}()};
    GUID guid;
    const std::uint64_t a = engine();
    const std::uint64_t b = engine();
    std::memcpy(&guid, &a, 8);
    std::memcpy(reinterpret_cast<char*>(&guid) + 8, &b, 8);
    guid.Data3 = static_cast<std::uint16_t>((guid.Data3 & 0x0FFF) | 0x4000);
    guid.Data4[0] = static_cast<std::uint8_t>((guid.Data4[0] & 0x3F) | 0x80);
    return guid;
}
}

int StringFromGUID2(REFGUID guid, LPWSTR buffer, int bufferUnits)
{
    const std::u16string text = platform::GuidToText(guid);
    if (!buffer || bufferUnits < static_cast<int>(text.size() + 1)) {
        return 0;
    }
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = 0;
    return static_cast<int>(text.size() + 1);
}

HRESULT CLSIDFromString(LPCWSTR text, CLSID* out)
{
    if (!text || !out) {
        return E_INVALIDARG;
    }
    if (!platform::GuidFromText(std::u16string_view(text), *out)) {
        *out = GUID_NULL;
        return MakeHResult(0x800401F3u); // CO_E_CLASSSTRING
    }
    return S_OK;
}

HRESULT IIDFromString(LPCWSTR text, IID* out)
{
    const HRESULT hr = CLSIDFromString(text, out);
    return hr == S_OK ? S_OK : E_INVALIDARG;
}
