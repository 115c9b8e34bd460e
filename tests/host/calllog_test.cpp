// The stand-in host's record of calls: kept while on (tests assert calls with it), nothing kept while off (the
// command line, where it would grow with every block of a recording).
#include "host/calllog.h"

#include <gtest/gtest.h>

namespace {

TEST(CallLog, KeepsCallsOnlyWhileOn)
{
    host::CallLog log;
    EXPECT_TRUE(log.Enabled());
    log.Record("chartdata", "GetChannelTimeBase", "0 0");
    log.Enable(false);
    for (int block = 0; block < 1000; ++block) {
        log.Record("chartdata", "GetChannelTimeBase", std::to_string(block) + " 0");
    }
    EXPECT_EQ(log.Count("chartdata", "GetChannelTimeBase"), 1u);
    log.Enable(true);
    log.Record("chartdata", "GetChannelTimeBase", "1 0");
    const auto calls = log.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].detail, "1 0");
}

} // namespace
