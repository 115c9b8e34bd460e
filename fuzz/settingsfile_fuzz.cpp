// The host's settings file over any bytes: whatever a file holds is read without harm, a value set is written with
// all the others and comes back in a later session, and a file read and written again keeps its bytes.
// Layout of an input: one byte n, n UTF-16 units of a name, a 16-bit length m, m bytes of the file as found, and
// the rest as the UTF-16 value to set.
#include "fuzzkit.h"

#include "host/settingsfile.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

// A folder of this process's own on a memory file system where there is one (every save syncs its file), made for
// each input and removed after it: libFuzzer ends the process without running exit handlers.
struct Folder {
    Folder() { fs::create_directories(path); }
    ~Folder()
    {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }

    const fs::path path = [] {
        const fs::path shm = "/dev/shm";
        std::error_code error;
        const fs::path base = fs::is_directory(shm, error) ? shm : fs::temp_directory_path();
        return base / ("crestmetrics-settingsfile-fuzz-" + std::to_string(::getpid()));
    }();
};

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Text as the host hands it over: well-formed UTF-16 (a lone surrogate has no UTF-8 form to store).
std::u16string WellFormed(std::u16string text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            ++i;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            text[i] = u'\xFFFD';
        }
    }
    return text;
}

fuzzkit::Bytes Seed(std::u16string_view name, std::string_view file, std::u16string_view value)
{
    fuzzkit::Bytes seed{static_cast<std::uint8_t>(name.size())};
    for (const char16_t unit : name) {
        seed.push_back(static_cast<std::uint8_t>(unit));
        seed.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    seed.push_back(static_cast<std::uint8_t>(file.size()));
    seed.push_back(static_cast<std::uint8_t>(file.size() >> 8));
    seed.insert(seed.end(), file.begin(), file.end());
    const fuzzkit::Bytes text = fuzzkit::TextSeed(0, value);
    seed.insert(seed.end(), text.begin() + 1, text.end());
    return seed;
}

std::vector<fuzzkit::Bytes> Seeds()
{
    return {
        Seed(u"peaks.preset", "", u"dir=1;sd=1;height=5"),
        Seed(u"peaks.preset", "# crestmetrics host settings\npeaks.preset\tdir=-1\\tx\\n\nother\tvalue\r\n", u"y"),
        Seed(u"a\tb\\c", "#\tcomment\nno tab here\n\tempty name\nname\t\n\xC3\xA9t\xC3\xA9\t\xFF\xFE\\", u"line\r\nnext"),
        Seed(u"#hash", "x\ty\n", u"\\t"),
    };
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzkit::WriteSeedsIfAsked("settingsfile", Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzkit::Input input(data, size);
    std::u16string name;
    for (int units = input.Byte(); units > 0; --units) {
        name.push_back(static_cast<char16_t>(input.U16()));
    }
    name = WellFormed(std::move(name));
    std::string found;
    for (int bytes = input.U16(); bytes > 0 && !input.Empty(); --bytes) {
        found.push_back(static_cast<char>(input.Byte()));
    }
    const std::u16string value = WellFormed(input.Text16());

    const Folder folder;
    const fs::path path = folder.path / "settings";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(found.data(), static_cast<std::streamsize>(found.size()));
    }
    host::SettingsFile first;
    first.SetPath(path);
    first.Value(name);
    fuzzkit::Check(first.SetValue(name, value), "a value could not be saved");
    const std::string once = ReadFile(path);

    // A later session finds the value, and writing the file again keeps every byte of it.
    host::SettingsFile second;
    second.SetPath(path);
    fuzzkit::Check(second.Value(name) == value, "a value set came back differently in a later session");
    fuzzkit::Check(second.SetValue(name, value), "a value could not be saved again");
    fuzzkit::Check(ReadFile(path) == once, "a settings file read and written again changed");

    fuzzkit::Check(second.Remove(name), "a value could not be removed");
    host::SettingsFile third;
    third.SetPath(path);
    fuzzkit::Check(!third.Value(name), "a removed value came back in a later session");
    return 0;
}
