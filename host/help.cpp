#include "host/help.h"

#include <algorithm>

namespace host {
namespace {

std::u16string Lower(std::u16string_view text)
{
    std::u16string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; });
    return lower;
}

std::map<std::u16string, HelpTopic> ModuleTopics()
{
    return {
        {u"",
         {u"Crestmetrics",
          u"Crestmetrics detects events in one channel of a recording and measures each of them. Choose the "
          u"analysis type and its settings with Settings..., run Analyze Channel, and read the results in the "
          u"Analysis View and the Table View."}},
        {u"cx_tableview",
         {u"Table View",
          u"One row per event and one column per chosen parameter, with the Avg, Min, Max and Count rows below. "
          u"Export... writes the table as text or as a comma-separated file, Settings... chooses the columns and "
          u"Add to Tallysheet copies the selected rows."}},
        {u"cx_settingsdialog",
         {u"Settings",
          u"The analysis type, the source channel and the detection and measurement settings of each type. A "
          u"mark beside a field tells what is wrong with its value; the preview shows what the detection finds."}},
        {u"cx_channelcalc",
         {u"Crestmetrics Calculation",
          u"A channel that outputs one parameter of the analysis at every event: choose the parameter, the scale "
          u"of the channel or auto scaling, and the decimal places."}},
    };
}

} // namespace

HelpLibrary::HelpLibrary() { AddFile(u"CrestmetricsHelp", ModuleTopics()); }

void HelpLibrary::AddFile(std::u16string name, std::map<std::u16string, HelpTopic> topics)
{
    std::map<std::u16string, HelpTopic> keyed;
    for (auto& [key, topic] : topics) {
        keyed[Lower(key)] = std::move(topic);
    }
    files_[Lower(name)] = std::move(keyed);
}

const HelpTopic* HelpLibrary::Find(std::u16string_view request) const
{
    const std::size_t hash = request.find(u'#');
    const std::u16string file = Lower(request.substr(0, hash));
    const std::u16string topic = hash == std::u16string_view::npos ? std::u16string() : Lower(request.substr(hash + 1));
    const auto found = files_.find(file);
    if (found == files_.end()) {
        return nullptr;
    }
    const auto entry = found->second.find(topic);
    return entry == found->second.end() ? nullptr : &entry->second;
}

bool HelpLibrary::Open(std::u16string_view request)
{
    if (!Find(request)) {
        return false;
    }
    shown_ = std::u16string(request);
    return true;
}

} // namespace host
