#include "platform/owl/validate.h"

#include "platform/owl/window.h"

#include <string>

namespace owl {
namespace {
// A whole decimal number with an optional sign and nothing else; false when there is none or it overflows.
bool ParseLong(LPCWSTR text, long& value)
{
    if (!text || !*text) {
        return false;
    }
    const char16_t* p = text;
    const bool negative = *p == u'-';
    if (*p == u'-' || *p == u'+') {
        ++p;
    }
    if (!*p) {
        return false;
    }
    long long n = 0;
    for (; *p; ++p) {
        if (*p < u'0' || *p > u'9') {
            return false;
        }
        n = n * 10 + (*p - u'0');
        if (n > 0x80000000LL) {
            return false;
        }
    }
    n = negative ? -n : n;
    if (n > 0x7FFFFFFFLL) {
        return false;
    }
    value = static_cast<long>(n);
    return true;
}
}

bool TValidator::IsValid(LPCWSTR) { return true; }
bool TValidator::IsValidInput(LPWSTR, bool) { return true; }
void TValidator::Error(TWindow*) {}

bool TValidator::Valid(LPCWSTR text, TWindow* owner)
{
    if (IsValid(text)) {
        return true;
    }
    Error(owner);
    return false;
}

TRangeValidator::TRangeValidator(long minimum, long maximum) : Min(minimum), Max(maximum) {}

bool TRangeValidator::IsValid(LPCWSTR text)
{
    long value = 0;
    return ParseLong(text, value) && value >= Min && value <= Max;
}

bool TRangeValidator::IsValidInput(LPWSTR text, bool)
{
    if (!text) {
        return true;
    }
    for (const char16_t* p = text; *p; ++p) {
        const bool sign = (*p == u'-' || *p == u'+') && p == text;
        if (!sign && (*p < u'0' || *p > u'9')) {
            return false;
        }
    }
    return true;
}

void TRangeValidator::Error(TWindow* owner)
{
    const std::string message = "Value is not in the range " + std::to_string(Min) + " to " + std::to_string(Max) + ".";
    const std::u16string text(message.begin(), message.end());
    MessageBoxW(owner ? owner->GetHandle() : nullptr, text.c_str(), u"Validator", MB_ICONWARNING | MB_OK);
}
}
