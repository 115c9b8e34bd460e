#include "host/settingsfile.h"

#include "platform/win/atomicfile.h"
#include "platform/win/codepage.h"
#include "platform/win/msgbox.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <ostream>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

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

// The bytes of the settings file; nothing when there is none. A file that is not a regular file is refused: a FIFO
// would wait for a writer for ever, and a device such as /dev/zero never ends.
std::optional<std::string> ReadRegularFile(const std::filesystem::path& path, bool& refused)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        refused = errno != ENOENT && std::filesystem::exists(path) && !std::filesystem::is_regular_file(path);
        return std::nullopt;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat status{};
    refused = ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode);
    if (refused) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
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
    if (Path().empty()) {
        return;
    }
    const std::optional<std::string> bytes = ReadRegularFile(Path(), refused_);
    if (refused_) {
        const std::u16string text = u"The settings file " + platform::Utf8ToUtf16(Path().string()) +
                                    u" is not a regular file: it is neither read nor written, and settings changed "
                                    u"now last only for this session. Name a regular file in " +
                                    platform::Utf8ToUtf16(kSettingsFileVariable) + u".";
        MessageBoxW(nullptr, text.c_str(), u"crestmetrics", MB_OK | MB_ICONWARNING);
    }
    std::istringstream in(bytes.value_or(std::string()));
    std::string line;
    while (std::getline(in, line)) {
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
