// The record of every call that the host's services receive, in arrival order, for tests to assert.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace host {

struct Call {
    std::string service;   // "framework", "typeids", "messages", "events", "tests", "application", ...
    std::string operation; // the operation's name
    std::string detail;    // the arguments that matter, as text
};

class CallLog {
public:
    void Record(std::string service, std::string operation, std::string detail = {});
    std::vector<Call> Calls() const;
    std::vector<Call> Of(std::string_view service) const;
    std::size_t Count(std::string_view service, std::string_view operation) const;
    void Clear();

private:
    mutable std::mutex lock_;
    std::vector<Call> calls_;
};

// "0x" and eight upper-case hex digits.
std::string Hex(unsigned value);
// UTF-16 text as UTF-8 (for details).
std::string Narrow(std::u16string_view text);

} // namespace host
