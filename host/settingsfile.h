// The host's settings that outlive a session (the user presets of its peak detection, for one): named texts in a file
// in the user's configuration folder, read when first asked. Every change is made to the file as it is at that moment:
// under an advisory lock on "<file>.lock" beside it (the file itself is replaced by each save), the file is read
// afresh, the one name changed and the whole written back, so that host processes sharing the file keep each other's
// values. A file that is there but cannot be read is not written.
//   The file: $CRESTMETRICS_SETTINGS when set (tests point it elsewhere), else $XDG_CONFIG_HOME/crestmetrics/settings,
//   else $HOME/.config/crestmetrics/settings; without any of them the values live only in memory.
//   A file that is not a regular file (a FIFO, a device, a folder) is neither read nor written; the user is told.
//   Its lines: "name<TAB>value" in UTF-8, with backslash, tab, CR and LF written as \\, \t, \r and \n, and a
//   name's leading "#" as \#; lines that are empty, start with "#" or hold no tab are passed over.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace host {

inline constexpr const char* kSettingsFileVariable = "CRESTMETRICS_SETTINGS";

class SettingsFile {
public:
    // The file the environment names (empty when none).
    static std::filesystem::path DefaultPath();

    // Another file from now on (its values are read when next asked).
    void SetPath(std::filesystem::path path);
    const std::filesystem::path& Path();

    std::optional<std::u16string> Value(std::u16string_view name);
    // Keeps the value and writes the file; false when the file cannot be read or written (the value is kept in
    // memory, and the file keeps its last whole version).
    bool SetValue(std::u16string_view name, std::u16string_view value);
    bool Remove(std::u16string_view name);

    // The one value `name` as `change` makes it from the value stored now (nullopt: none, or remove it), written
    // while no other process can change the file. False as SetValue.
    using Change = std::function<std::optional<std::u16string>(const std::optional<std::u16string>& stored)>;
    bool Update(std::u16string_view name, const Change& change);

    using Values = std::map<std::u16string, std::u16string, std::less<>>;

private:
    void Load();
    bool Save();

    std::optional<std::filesystem::path> path_;
    bool loaded_ = false;
    bool refused_ = false; // not a regular file: neither read nor written
    Values values_;
};

} // namespace host
