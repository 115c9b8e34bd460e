#include "host/calllog.h"

#include "platform/win/codepage.h"

#include <array>
#include <charconv>

namespace host {

void CallLog::Record(std::string service, std::string operation, std::string detail)
{
    if (!Enabled()) {
        return;
    }
    std::lock_guard guard(lock_);
    calls_.push_back({std::move(service), std::move(operation), std::move(detail)});
}

std::vector<Call> CallLog::Calls() const
{
    std::lock_guard guard(lock_);
    return calls_;
}

std::vector<Call> CallLog::Of(std::string_view service) const
{
    std::lock_guard guard(lock_);
    std::vector<Call> result;
    for (const Call& call : calls_) {
        if (call.service == service) {
            result.push_back(call);
        }
    }
    return result;
}

std::size_t CallLog::Count(std::string_view service, std::string_view operation) const
{
    std::lock_guard guard(lock_);
    std::size_t n = 0;
    for (const Call& call : calls_) {
        n += call.service == service && call.operation == operation;
    }
    return n;
}

void CallLog::Clear()
{
    std::lock_guard guard(lock_);
    calls_.clear();
}

std::string Hex(unsigned value)
{
    std::array<char, 8> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value, 16);
    std::string text(digits.data(), result.ptr);
    for (char& c : text) {
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return "0x" + std::string(8 - text.size(), '0') + text;
}

std::string Narrow(std::u16string_view text) { return platform::Utf16ToUtf8(text); }

} // namespace host
