#include "host/settingsfile.h"

#include "platform/posix/atomicfile.h"
#include "platform/win/codepage.h"
#include "platform/win/msgbox.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

// The values a file holds (none when there is no file), or nullopt when it is there and cannot be read whole.
std::optional<SettingsFile::Values> ReadValues(const std::filesystem::path& path)
{
    SettingsFile::Values values;
    // Not blocking: a FIFO put in the file's place would wait for a writer for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? std::optional(values) : std::nullopt;
    }
    struct stat status {};
    bool whole = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    std::string bytes;
    char chunk[16384];
    while (whole) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got > 0) {
            bytes.append(chunk, static_cast<std::size_t>(got));
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            whole = false;
        }
    }
    ::close(fd);
    if (!whole) {
        return std::nullopt;
    }
    for (std::string_view rest = bytes; !rest.empty();) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        const std::size_t tab = line.find('\t');
        if (line.empty() || line[0] == '#' || tab == std::string_view::npos) {
            continue;
        }
        std::string_view value = line.substr(tab + 1);
        if (!value.empty() && value.back() == '\r') {
            value.remove_suffix(1);
        }
        values[Unescape(line.substr(0, tab))] = Unescape(value);
    }
    return values;
}

// An advisory lock on "<file>.lock", held while the object lives. Not on the file itself: each save replaces it,
// and a lock on the replaced file would keep no one out.
class SaveLock {
public:
    explicit SaveLock(std::filesystem::path file)
    {
        file += ".lock";
        fd_ = ::open(file.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
        while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                fd_ = -1;
            }
        }
    }
    ~SaveLock()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    SaveLock(const SaveLock&) = delete;
    SaveLock& operator=(const SaveLock&) = delete;

    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

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
    // One that cannot be read gives no values now; a save then reads it again, and fails.
    values_ = ReadValues(Path()).value_or(Values());
}

bool SettingsFile::Save()
{
    // Replaced whole: a failed or interrupted save leaves the last whole version.
    platform::AtomicFile file(Path().string());
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
    return Update(name, [&](const std::optional<std::u16string>&) { return std::optional<std::u16string>(value); });
}

bool SettingsFile::Remove(std::u16string_view name)
{
    return Update(name, [](const std::optional<std::u16string>&) { return std::optional<std::u16string>(); });
}

bool SettingsFile::Update(std::u16string_view name, const Change& change)
{
    Load();
    // False when there is nothing to write: no value before, none after.
    const auto apply = [&](Values& values) {
        const auto found = values.find(name);
        std::optional<std::u16string> changed =
            change(found == values.end() ? std::nullopt : std::optional<std::u16string>(found->second));
        if (changed) {
            values.insert_or_assign(std::u16string(name), std::move(*changed));
        } else if (found != values.end()) {
            values.erase(found);
        } else {
            return false;
        }
        return true;
    };
    const std::filesystem::path& path = Path();
    if (path.empty() || refused_) {
        apply(values_);
        return false;
    }
    std::error_code error;
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), error);
    }
    // From the read to the rename no other process saves: the file written is the one read with this one change.
    const SaveLock lock(path);
    std::optional<Values> stored = lock.Held() ? ReadValues(path) : std::nullopt;
    if (!stored) {
        apply(values_); // for this session only: writing would drop whatever the file holds
        return false;
    }
    values_ = std::move(*stored);
    return !apply(values_) || Save();
}

} // namespace host
