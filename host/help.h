// The host's help: help files by name, each a set of topics with a title and a text, and the one topic that the
// help window shows. A request names a file and a topic as "file#topic", or the file alone for its contents page.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace host {

struct HelpTopic {
    std::u16string title;
    std::u16string text;
};

class HelpLibrary {
public:
    // A library holding the help files installed with the host (the module's "CrestmetricsHelp" among them).
    HelpLibrary();

    // Adds or replaces a file; the topic "" is its contents page.
    void AddFile(std::u16string name, std::map<std::u16string, HelpTopic> topics);
    // The topic of a request, when its file and topic are known. File names and topic keys are matched without
    // regard to case, as the platform's help does.
    const HelpTopic* Find(std::u16string_view request) const;
    // Shows the topic in the help window; false (and the window unchanged) for an unknown file or topic.
    bool Open(std::u16string_view request);

    // The request that the help window shows, or none before the first topic was opened.
    const std::optional<std::u16string>& Shown() const { return shown_; }
    const HelpTopic* ShownTopic() const { return shown_ ? Find(*shown_) : nullptr; }

private:
    std::map<std::u16string, std::map<std::u16string, HelpTopic>> files_; // keys in lower case
    std::optional<std::u16string> shown_;
};

} // namespace host
