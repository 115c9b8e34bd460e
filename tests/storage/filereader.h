// A reader of compound files written for the tests from the description of the format alone, sharing no code with
// the storage: it reads the committed version of a file image and checks every structure on the way.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testreader {

struct Times {
    std::uint64_t modification = 0;
    std::uint64_t creation = 0;
    std::uint64_t access = 0;
    friend bool operator==(const Times&, const Times&) = default;
};

// One storage as the file holds it: streams by name with their bytes, storages by name.
struct Tree {
    std::map<std::u16string, std::vector<std::uint8_t>> streams;
    std::map<std::u16string, Tree> storages;
    std::map<std::u16string, Times> times; // of every element, by name (streams and storages)
    std::map<std::u16string, std::uint32_t> starts; // first cluster of every element's data
    std::uint8_t clsid[16] = {};

    friend bool operator==(const Tree& a, const Tree& b)
    {
        return a.streams == b.streams && a.storages == b.storages;
    }
};

struct ClusterUse {
    std::vector<std::uint32_t> freeClusters;     // in free-list order
    std::vector<std::uint32_t> releasedClusters; // in released-list order
};

struct Result {
    bool ok = false;
    std::string error;
    std::uint32_t commitWord = 0;
    std::uint32_t mapCount = 0;
    std::uint32_t mapFirst = 0;
    Tree root;
    ClusterUse clusters;
    // Clusters that are neither free, released, nor in a chain of this version (lost to it).
    std::uint32_t unaccounted = 0;
};

// Reads the version that the commit word selects. Checks the title, version, the map record and its negation, the
// map run, every chain (each cluster used once, links both ways, end positions), the directories (count, its
// negation, exact size) and that no cluster is used twice; counts the clusters that nothing accounts for.
Result Read(const std::vector<std::uint8_t>& image);

// A readable description of a tree, for test failure messages.
std::string Describe(const Tree& tree);

} // namespace testreader
