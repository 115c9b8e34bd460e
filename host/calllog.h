// The record of every call that the host's services receive, in arrival order, for tests to assert.
#pragma once

#include <atomic>
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
    // Nothing is recorded while the log is off. It is on from the start, for tests; a host that nobody inspects
    // (the command line) turns it off, since the log keeps every call for the life of the process.
    void Enable(bool on) { enabled_.store(on, std::memory_order_relaxed); }
    bool Enabled() const { return enabled_.load(std::memory_order_relaxed); }

    void Record(std::string service, std::string operation, std::string detail = {});
    std::vector<Call> Calls() const;
    std::vector<Call> Of(std::string_view service) const;
    std::size_t Count(std::string_view service, std::string_view operation) const;
    void Clear();

private:
    std::atomic<bool> enabled_{true};
    mutable std::mutex lock_;
    std::vector<Call> calls_;
};

// "0x" and eight upper-case hex digits.
std::string Hex(unsigned value);
// UTF-16 text as UTF-8 (for details).
std::string Narrow(std::u16string_view text);

} // namespace host
