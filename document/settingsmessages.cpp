#include "document/settingsmessages.h"

#include <algorithm>
#include <iterator>

namespace CX::Doc {

namespace {

struct MessageRow {
    std::int32_t id;
    const char16_t* caption;
    const char16_t* text;
};

constexpr const char16_t* kRange99999 = u"This setting must be in the range 0 to 99999 ms.";
constexpr const char16_t* kPercent100 = u"This setting must be an integer in the range 0 to 100%.";
constexpr const char16_t* kMinPeakWidth = u"The Minimum Peak Width must be in the range 0 to 99999 ms.";
constexpr const char16_t* kMinStimulusHeight = u"The Minimum Stimulus Height must be zero or larger.";
constexpr const char16_t* kStartHeight =
    u"The height percentage for the start of the peak must be an integer in the range 5 to 99%.";

// clang-format off
constexpr MessageRow kMessages[] = {
    {1000, u"Internal Error", u"This option should not generate balloon help!"},
    {1001, u"Invalid Width", kMinPeakWidth},
    {1002, u"Invalid Min Height", kMinStimulusHeight},
    {1003, u"Invalid Max Width", u"The Maximum Width must be in the range 0 to 99999 ms."},
    {1004, u"Invalid Search Start", u"The Search Start must be in the range 0 to 99999 ms after the start of the block."},
    {1005, u"Invalid Stimulus Position", u"The stimulus position must be in the range 0 to 2e9 ms."},
    {1006, u"Invalid Height", u"The Minimum Peak Height must be zero or larger."},
    {1007, u"Invalid Detection Start", u"The Detection Start must be in the range 0 to 99999 ms after the stimulus artifact."},
    {1008, u"Invalid Detection End", u"The Detection End must be in the range 0 to 99999 ms after the stimulus artifact."},
    {1013, u"Invalid Plateau Percentage", kPercent100},
    {1014, u"Invalid Width", u"The PLT width must be in the range 0 to 99999 ms."},
    {1015, u"Invalid Area Start", kRange99999},
    {1016, u"Invalid Area End", kRange99999},
    {1017, u"Invalid Start Percentage", kPercent100},
    {1018, u"Invalid End Percentage", kPercent100},
    {1020, u"Invalid Slope Start", kRange99999},
    {1021, u"Invalid Slope End", kRange99999},
    {1022, u"Invalid Value Location", u"The value must be taken in the range 0 to 99999 ms after the stimulus artifact."},
    {1025, u"Invalid Plateau Percentage", kPercent100},
    {1026, u"Invalid Width", u"The Plateau Voltage width must be in the range 0 to 99999 ms."},
    {1027, u"Invalid Minimum Interval", u"The minimum interval between stimulus artifacts must be in the range 0 to 99999 ms."},
    {1028, u"Invalid Min Height", kMinStimulusHeight},
    {1029, u"Invalid Tau Start Percent", kPercent100},
    {1030, u"Invalid Tau End Percent", kPercent100},
    {1031, u"Invalid MaxNegSlope Start", u"This setting must be an integer in the range 0 to 99999 ms."},
    {1032, u"Invalid MaxNegSlope Smoothing Window", u"This setting must be in the range 0.1 to 100 ms."},
    {1033, u"Invalid Height Percentage", kStartHeight},
    {1034, u"Invalid Height Percentage", kStartHeight},
    {1035, u"Invalid Width", kMinPeakWidth},
    {1041, u"Invalid Height Percentage", u"The height percentage for the end of the peak must be an integer in the range 0 to 99%."},
};
// clang-format on

} // namespace

void SettingsMessages::Lookup(std::int32_t id, SettingsMessage& message)
{
    const auto* found =
        std::find_if(std::begin(kMessages), std::end(kMessages), [id](const MessageRow& row) { return row.id == id; });
    if (found == std::end(kMessages)) {
        message.Caption = u"invalid caption";
        message.Text = u"invalid text";
        return;
    }
    message.Caption = found->caption;
    message.Text = found->text;
}

} // namespace CX::Doc
