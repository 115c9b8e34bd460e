// A folder of a test's own, for the tests of every area.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace testutil {

namespace fs = std::filesystem;

// A folder of the test's own, with what it holds by name (hidden files too); removed when it goes.
class TempFolder {
public:
    explicit TempFolder(const fs::path& parent = fs::temp_directory_path())
        : path_(parent / ("crestmetrics_test_" + std::to_string(::getpid()) + "_" + std::to_string(count_++)))
    {
        fs::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& Path() const { return path_; }
    std::vector<std::string> Names() const { return NamesIn(path_); }
    // What any folder holds by name, sorted.
    static std::vector<std::string> NamesIn(const fs::path& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // Writes the file `name` holding `bytes`; its full name.
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path_ / name, std::ios::binary) << bytes;
        return *this / name;
    }

private:
    static inline int count_ = 0;
    fs::path path_;
};

} // namespace testutil
