// Shared pieces of the fuzz targets: a byte reader for the fuzzer's input, and the seed corpus that each target
// writes from our own code when CRESTMETRICS_WRITE_SEEDS names a folder.
#pragma once

#include <cstdint>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fuzzkit {

using Bytes = std::vector<std::uint8_t>;

// Takes values from the front of the input; past its end everything reads as zero.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
    std::uint32_t U32() { return U16() | static_cast<std::uint32_t>(U16()) << 16; }
    bool Empty() const { return at_ >= size_; }
    // The rest of the input.
    Bytes Rest()
    {
        Bytes rest(data_ + std::min(at_, size_), data_ + size_);
        at_ = size_;
        return rest;
    }
    // The rest of the input as UTF-16 units, two bytes each.
    std::u16string Text16()
    {
        std::u16string text;
        while (at_ + 1 < size_) {
            text.push_back(static_cast<char16_t>(U16()));
        }
        at_ = size_;
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A seed of one leading byte and a text as the targets read it back with Input::Text16.
inline Bytes TextSeed(std::uint8_t lead, std::u16string_view text)
{
    Bytes seed{lead};
    for (const char16_t unit : text) {
        seed.push_back(static_cast<std::uint8_t>(unit));
        seed.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return seed;
}

// Called from LLVMFuzzerInitialize: with CRESTMETRICS_WRITE_SEEDS set, writes the seeds into
// $CRESTMETRICS_WRITE_SEEDS/<target>/ and ends the process.
inline void WriteSeedsIfAsked(const char* target, const std::function<std::vector<Bytes>()>& seeds)
{
    const char* folder = std::getenv("CRESTMETRICS_WRITE_SEEDS");
    if (!folder) {
        return;
    }
    const std::filesystem::path dir = std::filesystem::path(folder) / target;
    std::filesystem::create_directories(dir);
    int n = 0;
    for (const Bytes& seed : seeds()) {
        std::ofstream out(dir / ("seed-" + std::to_string(++n)), std::ios::binary);
        out.write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
    }
    std::exit(0);
}

// A fuzz target's own check: the message goes to standard error and the process aborts, which libFuzzer reports as
// a crash with its reproducer.
[[noreturn]] inline void Fail(std::string_view what)
{
    std::fprintf(stderr, "check failed: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

inline void Check(bool condition, std::string_view what)
{
    if (!condition) {
        Fail(what);
    }
}

} // namespace fuzzkit
