#include "platform/win/codepage.h"

#include "platform/win/errors.h"

#include <array>
#include <cstring>

namespace {
UINT g_ansiCodePage = CP_WINDOWS_1252;

// The 0x80..0x9F row of code page 1252; 0 marks the five undefined bytes, which map to their C1 control code.
constexpr std::array<char16_t, 32> kHighRow = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t Decode1252(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0) {
        const char16_t mapped = kHighRow[byte - 0x80];
        return mapped ? mapped : static_cast<char16_t>(byte);
    }
    return static_cast<char16_t>(byte);
}

// Returns -1 when the unit has no byte in 1252.
int Encode1252(char16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
        return unit;
    }
    for (std::size_t i = 0; i < kHighRow.size(); ++i) {
        if (kHighRow[i] == unit || (kHighRow[i] == 0 && unit == 0x80 + i)) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

UINT Resolve(UINT codePage)
{
    if (codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == CP_OEMCP) {
        return g_ansiCodePage;
    }
    return codePage;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

int Deliver(const std::u16string& units, LPWSTR out, int outUnits)
{
    if (outUnits == 0) {
        return static_cast<int>(units.size());
    }
    if (static_cast<std::size_t>(outUnits) < units.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, units.data(), units.size() * sizeof(char16_t));
    return static_cast<int>(units.size());
}

int Deliver(const std::string& bytes, LPSTR out, int outBytes)
{
    if (outBytes == 0) {
        return static_cast<int>(bytes.size());
    }
    if (static_cast<std::size_t>(outBytes) < bytes.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, bytes.data(), bytes.size());
    return static_cast<int>(bytes.size());
}
}

UINT GetACP() { return g_ansiCodePage; }

namespace platform {
void SetAnsiCodePage(UINT codePage) { g_ansiCodePage = codePage; }

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
        if (extra < 0 || i + extra >= text.size()) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!valid) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        // Outside input: an overlong form could smuggle "/" or "#" past a check of the bytes, and surrogates or
        // values beyond U+10FFFF are no characters. The whole sequence becomes one replacement character.
        constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
            out += u'\uFFFD';
            i += extra + 1;
            continue;
        }
        AppendUtf16(out, cp);
        i += extra + 1;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::u16string AsciiLower(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& ch : out) {
        if (ch >= u'A' && ch <= u'Z') {
            ch = static_cast<char16_t>(ch - u'A' + u'a');
        }
    }
    return out;
}
}

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int byteCount, LPWSTR out, int outUnits)
{
    if (text == nullptr || byteCount == 0 || outUnits < 0 || (outUnits > 0 && out == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::size_t length = byteCount < 0 ? std::strlen(text) + 1 : static_cast<std::size_t>(byteCount);
    const std::string_view input(text, length);
    std::u16string units;
    switch (Resolve(codePage)) {
    case CP_UTF8:
        units = platform::Utf8ToUtf16(input);
        break;
    case CP_WINDOWS_1252:
        units.reserve(length);
        for (char c : input) {
            units += Decode1252(static_cast<unsigned char>(c));
        }
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Deliver(units, out, outUnits);
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR text, int unitCount, LPSTR out, int outBytes,
                        LPCSTR defaultChar, BOOL* usedDefaultChar)
{
    if (text == nullptr || unitCount == 0 || outBytes < 0 || (outBytes > 0 && out == nullptr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t length = 0;
    if (unitCount < 0) {
        while (text[length] != 0) {
            ++length;
        }
        ++length;
    } else {
        length = static_cast<std::size_t>(unitCount);
    }
    const std::u16string_view input(text, length);
    std::string bytes;
    if (usedDefaultChar) {
        *usedDefaultChar = FALSE;
    }
    switch (Resolve(codePage)) {
    case CP_UTF8:
        bytes = platform::Utf16ToUtf8(input);
        break;
    case CP_WINDOWS_1252:
        bytes.reserve(length);
        for (char16_t unit : input) {
            const int encoded = Encode1252(unit);
            if (encoded < 0) {
                bytes += defaultChar ? *defaultChar : '?';
                if (usedDefaultChar) {
                    *usedDefaultChar = TRUE;
                }
            } else {
                bytes += static_cast<char>(encoded);
            }
        }
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Deliver(bytes, out, outBytes);
}
