// crestmetrics selftest [list] [PREFIX...]: the module's self tests as the host's test registry runs them.
#include "host/cli/cli.h"
#include "host/services.h"
#include "platform/win/codepage.h"
#include "sdk/unittest.h"

#include <charconv>
#include <cstdlib>
#include <optional>
#include <ostream>

namespace cli {

int RunSelfTest(const Options& options, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> arguments = options.arguments;
    const bool listOnly = !arguments.empty() && arguments.front() == "list";
    if (listOnly) {
        arguments.erase(arguments.begin());
    }
    std::vector<std::u16string> prefixes;
    for (const std::string& argument : arguments) {
        prefixes.push_back(platform::Utf8ToUtf16(argument));
    }
    // --seed N fixes the seed of the sub-tests that draw a new sequence each run, so that a run can be repeated.
    std::optional<std::int32_t> seed;
    for (const auto& [name, value] : options.values) {
        std::int32_t number = 0;
        const auto parsed = std::from_chars(value.data(), value.data() + value.size(), number);
        if (value.empty() || parsed.ec != std::errc() || parsed.ptr != value.data() + value.size()) {
            throw Failure(name + " needs a whole number from -2147483648 to 2147483647, not \"" + value + "\"", true);
        }
        seed = number;
    }
    if (seed && ::setenv(kSelfTestSeedVariable, std::to_string(*seed).c_str(), 1) != 0) {
        throw Failure("cannot set the seed");
    }
    LoadedHost loaded(options.module);
    if (seed && !listOnly) {
        out << "# seed " << *seed << '\n';
    }
    const auto& tests = loaded.host.Tests().Tests();
    if (tests.empty()) {
        throw Failure("the module registered no self tests");
    }

    Progress progress(err, "selftest", options.quiet || listOnly);
    int ran = 0;
    int failed = 0;
    std::size_t matched = 0;
    for (std::size_t t = 0; t < tests.size(); ++t) {
        IUnitTest& test = *tests[t].Get();
        progress.Step("test", static_cast<int>(t + 1), static_cast<int>(tests.size()));
        std::size_t shown = 0;
        const auto outcomes = host::RunSubTests(test, t, !listOnly, prefixes, [&](const host::SubTestOutcome& outcome) {
            if (shown++ == 0) {
                out << "# test " << t + 1 << ": " << platform::Utf16ToUtf8(host::TestContact(test)) << '\n';
            }
            const std::string name = platform::Utf16ToUtf8(outcome.name);
            if (!outcome.ran) {
                out << name << '\n';
                return;
            }
            ++ran;
            if (outcome.passed) {
                out << "pass\t" << name << '\n';
            } else {
                ++failed;
                out << "FAIL\t" << name << "\t" << platform::Utf16ToUtf8(outcome.message) << '\n';
            }
        });
        matched += outcomes.size();
        if (outcomes.empty() && prefixes.empty()) {
            out << "# test " << t + 1 << ": " << platform::Utf16ToUtf8(host::TestContact(test))
                << " (no sub-tests)\n";
        }
    }
    progress.Done();
    if (!prefixes.empty() && matched == 0) {
        throw Failure("no sub-test matches");
    }
    if (!listOnly) {
        out << "# " << ran << " run, " << ran - failed << " passed, " << failed << " failed\n";
    }
    return failed == 0 ? 0 : 1;
}

} // namespace cli
