#include "host/help.h"

#include <gtest/gtest.h>

// Requests name a file and a topic ("file#topic", or the file alone for its contents); names and keys match
// whatever their case; an unknown file or topic leaves the help window as it was.
TEST(HelpLibrary, OpensKnownTopicsAndKeepsTheWindowOnUnknownOnes)
{
    host::HelpLibrary help;
    EXPECT_FALSE(help.Shown());
    EXPECT_EQ(help.ShownTopic(), nullptr);
    for (const char16_t* known : {u"CrestmetricsHelp", u"CrestmetricsHelp#cx_tableview",
                                  u"crestmetricshelp#CX_CHANNELCALC", u"CrestmetricsHelp#cx_settingsdialog"}) {
        EXPECT_TRUE(help.Open(known));
        EXPECT_EQ(help.Shown(), std::optional<std::u16string>(known));
        ASSERT_NE(help.ShownTopic(), nullptr);
        EXPECT_FALSE(help.ShownTopic()->text.empty());
    }
    for (const char16_t* unknown : {u"OtherHelp", u"CrestmetricsHelp#nothing", u"#cx_tableview", u""}) {
        EXPECT_FALSE(help.Open(unknown));
    }
    EXPECT_EQ(help.Shown(), std::optional<std::u16string>(u"CrestmetricsHelp#cx_settingsdialog"));

    help.AddFile(u"OtherHelp", {{u"Start", {u"Other", u"text"}}});
    EXPECT_TRUE(help.Open(u"OtherHelp#start"));
    EXPECT_EQ(help.ShownTopic()->title, u"Other");
    EXPECT_FALSE(help.Open(u"OtherHelp")); // a file without a contents page
}
