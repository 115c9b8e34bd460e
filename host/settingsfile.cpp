#include "host/settingsfile.h"

#include "platform/win/atomicfile.h"
#include "platform/win/codepage.h"
#include "platform/win/msgbox.h"

#include <cstdlib>
#include <fstream>
#include <ostream>
#include <system_error>

namespace host {

namespace {

std::string Escape(std::u16string_view text)
{
    std::string out;
    for (const char c : platform::Utf16ToUtf8(text)) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out;
}

std::u16string Unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (text[++i]) {
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        default: out += text[i];
        }
    }
    return platform::Utf8ToUtf16(out);
}

} // namespace

std::filesystem::path SettingsFile::DefaultPath()
{
    if (const char* file = std::getenv(kSettingsFileVariable); file && *file) {
        return file;
    }
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) {
        return std::filesystem::path(config) / "crestmetrics" / "settings";
    }
    if (const char* home = std::getenv("HOME"); home && *home) {
        return std::filesystem::path(home) / ".config" / "crestmetrics" / "settings";
    }
    return {};
}

void SettingsFile::SetPath(std::filesystem::path path)
{
    path_ = std::move(path);
    loaded_ = false;
    refused_ = false;
    values_.clear();
}

const std::filesystem::path& SettingsFile::Path()
{
    if (!path_) {
        path_ = DefaultPath();
    }
    return *path_;
}

void SettingsFile::Load()
{
    if (loaded_) {
        return;
    }
    loaded_ = true;
    // Only a regular file is read (or written): a FIFO would wait for a writer for ever, and a device such as
    // /dev/zero never ends. Its status is taken without opening it.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(Path(), error);
    refused_ = !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
    if (refused_) {
        const std::u16string text = u"The settings file " + platform::Utf8ToUtf16(Path().string()) +
                                    u" is not a regular file: it is neither read nor written, and settings changed "
                                    u"now last only for this session. Name a regular file in " +
                                    platform::Utf8ToUtf16(kSettingsFileVariable) + u".";
        MessageBoxW(nullptr, text.c_str(), u"crestmetrics", MB_OK | MB_ICONWARNING);
        return;
    }
    std::ifstream in(Path(), std::ios::binary);
    std::string line;
    while (in && std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        if (line.empty() || line[0] == '#' || tab == std::string::npos) {
            continue;
        }
        std::string_view value = std::string_view(line).substr(tab + 1);
        if (!value.empty() && value.back() == '\r') {
            value.remove_suffix(1);
        }
        values_[Unescape(std::string_view(line).substr(0, tab))] = Unescape(value);
    }
}

bool SettingsFile::Save()
{
    const std::filesystem::path& path = Path();
    if (path.empty() || refused_) {
        return false;
    }
    std::error_code error;
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), error);
    }
    // Replaced whole: a failed or interrupted save leaves the last whole version.
    platform::AtomicFile file(path.string());
    std::ostream& out = file.Stream();
    out << "# crestmetrics host settings\n";
    for (const auto& [name, value] : values_) {
        // A name that begins with "#" would make its line a comment, and the value would be lost.
        const std::string key = Escape(name);
        out << (key.starts_with('#') ? "\\" : "") << key << '\t' << Escape(value) << '\n';
    }
    return file.Commit();
}

std::optional<std::u16string> SettingsFile::Value(std::u16string_view name)
{
    Load();
    const auto found = values_.find(name);
    return found == values_.end() ? std::nullopt : std::optional<std::u16string>(found->second);
}

bool SettingsFile::SetValue(std::u16string_view name, std::u16string_view value)
{
    Load();
    values_.insert_or_assign(std::u16string(name), std::u16string(value));
    return Save();
}

bool SettingsFile::Remove(std::u16string_view name)
{
    Load();
    const auto found = values_.find(name);
    if (found == values_.end()) {
        return true;
    }
    values_.erase(found);
    return Save();
}

} // namespace host
