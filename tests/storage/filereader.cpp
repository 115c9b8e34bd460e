#include "filereader.h"

#include <set>
#include <sstream>
#include <stdexcept>

namespace testreader {

namespace {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& image) : image_(image) {}

    Result Run()
    {
        Result result;
        Need(image_.size() >= 512, "file shorter than its header");
        const std::u16string title = u"Corvane Compound File";
        for (std::size_t i = 0; i < 64; ++i) {
            Need(U16(2 * i) == (i < title.size() ? title[i] : 0), "title");
        }
        Need(U32(128) == 29, "format version");
        Need(U32(132) == 512 && U32(136) == 0x20000 && U32(140) == 0x7FFFFFFF && U32(144) == 0, "constants");
        shift_ = U32(152);
        Need(shift_ == 15, "cluster size");
        clusterSize_ = 1u << shift_;
        const std::uint32_t word = U32(148) & 1;
        result.commitWord = U32(148);
        count_ = U32(156 + 4 * word);
        Need(static_cast<std::uint32_t>(count_ + U32(164 + 4 * word)) == 0, "negated map count");
        const std::uint32_t perCluster = clusterSize_ / 8;
        Need(count_ >= perCluster && count_ % perCluster == 0, "map count not whole clusters");
        const std::uint32_t first = U32(172 + 4 * word);
        result.mapCount = count_;
        result.mapFirst = first;
        ReadMap(first, count_ / perCluster);
        // The map's own run: a chain of contiguous clusters.
        for (std::uint32_t i = 0; i < count_ / perCluster; ++i) {
            const std::uint32_t cluster = first + i;
            Need(Prev(cluster) == (i == 0 ? 0 : cluster - 1), "map run previous link");
            Need(Next(cluster) == (i + 1 < count_ / perCluster ? cluster + 1 : 0), "map run next link");
            Use(cluster, "map run");
        }
        // The other copy's run stays allocated while its copy is the previous version. A commit that failed before
        // its commit word may have recorded a run that this version still counts as free.
        const std::uint32_t otherFirst = U32(172 + 4 * (word ^ 1));
        if (otherFirst >= 2 && otherFirst < count_ && otherFirst != first && !(Prev(otherFirst) & 0x80000000u)) {
            WalkChain(otherFirst, "other map run");
        }
        const std::size_t rootAt = 184 + 160 * word;
        Entry root = ParseEntry(rootAt);
        Need(root.name == u"KVORootStorage", "root name");
        Need(root.type == 1, "root type");
        result.root = ReadStorage(root);
        // Free list: previous links carry bit 31.
        std::uint32_t before = 0;
        for (std::uint32_t cluster = Next(0); cluster != 0; cluster = Next(cluster)) {
            Need(Prev(cluster) == (before | 0x80000000u), "free list previous link");
            Use(cluster, "free list");
            result.clusters.freeClusters.push_back(cluster);
            before = cluster;
        }
        before = 1;
        for (std::uint32_t cluster = Next(1); cluster != 0; cluster = Next(cluster)) {
            Need(Prev(cluster) == before, "released list previous link");
            Use(cluster, "released list");
            result.clusters.releasedClusters.push_back(cluster);
            before = cluster;
        }
        result.unaccounted = count_ - 2 - static_cast<std::uint32_t>(used_.size());
        result.ok = true;
        return result;
    }

private:
    struct Entry {
        std::u16string name;
        std::uint64_t startOffset = 0;
        std::uint32_t startCluster = 0;
        std::uint64_t size = 0;
        std::uint32_t endCluster = 0;
        Times times;
        std::uint8_t clsid[16] = {};
        std::uint32_t type = 0;
    };

    static void Need(bool condition, const std::string& what)
    {
        if (!condition) {
            throw Failure(what);
        }
    }

    std::uint8_t Byte(std::uint64_t at) const
    {
        Need(at < image_.size(), "read past the end of the file at " + std::to_string(at));
        return image_[at];
    }
    std::uint32_t U16(std::uint64_t at) const { return Byte(at) | (Byte(at + 1) << 8); }
    std::uint32_t U32(std::uint64_t at) const { return U16(at) | (U16(at + 2) << 16); }
    std::uint64_t U64(std::uint64_t at) const { return U32(at) | (static_cast<std::uint64_t>(U32(at + 4)) << 32); }

    std::uint64_t ClusterStart(std::uint32_t cluster) const
    {
        Need(cluster >= 2 && cluster < count_, "cluster number out of range");
        return 512 + static_cast<std::uint64_t>(cluster - 2) * clusterSize_;
    }

    void ReadMap(std::uint32_t first, std::uint32_t clusters)
    {
        map_.assign(count_, {0, 0});
        for (std::uint32_t i = 0; i < count_; ++i) {
            // The run is contiguous: entry i lies i * 8 bytes into it.
            const std::uint64_t at = 512 + static_cast<std::uint64_t>(first - 2) * clusterSize_ + 8ull * i;
            map_[i] = {U32(at), U32(at + 4)};
        }
        Need(first >= 2 && first + clusters <= count_, "map run out of range");
    }

    std::uint32_t Next(std::uint32_t cluster) const { return map_.at(cluster).first; }
    std::uint32_t Prev(std::uint32_t cluster) const { return map_.at(cluster).second; }

    void Use(std::uint32_t cluster, const std::string& by)
    {
        Need(cluster >= 2 && cluster < count_, by + ": cluster out of range");
        Need(used_.insert(cluster).second, by + ": cluster " + std::to_string(cluster) + " used twice");
    }

    // The whole chain from `first`, marking its clusters used.
    std::vector<std::uint32_t> WalkChain(std::uint32_t first, const std::string& by)
    {
        std::vector<std::uint32_t> chain;
        std::uint32_t before = 0;
        for (std::uint32_t cluster = first; cluster != 0; cluster = Next(cluster)) {
            Need(!(Prev(cluster) & 0x80000000u), by + ": free cluster in a chain");
            Need(Prev(cluster) == before, by + ": previous link");
            Use(cluster, by);
            chain.push_back(cluster);
            before = cluster;
        }
        return chain;
    }

    Entry ParseEntry(std::uint64_t at) const
    {
        Entry entry;
        bool ended = false;
        for (std::size_t i = 0; i < 32; ++i) {
            const char16_t unit = static_cast<char16_t>(U16(at + 2 * i));
            if (unit == 0) {
                ended = true;
            } else {
                Need(!ended, "name with units after its end");
                entry.name += unit;
            }
        }
        Need(ended, "name without terminator");
        entry.startOffset = U64(at + 64);
        entry.startCluster = U32(at + 72);
        Need(U32(at + 76) == 0, "reserved field after start");
        entry.size = U64(at + 80);
        entry.endCluster = U32(at + 88);
        Need(U32(at + 92) == 0, "reserved field after end");
        entry.times.modification = U64(at + 96);
        entry.times.creation = U64(at + 104);
        entry.times.access = U64(at + 112);
        for (int i = 0; i < 16; ++i) {
            entry.clsid[i] = Byte(at + 120 + i);
        }
        entry.type = U32(at + 140);
        for (int i = 0; i < 16; ++i) {
            Need(Byte(at + 144 + i) == 0, "reserved tail of an entry");
        }
        return entry;
    }

    std::vector<std::uint8_t> ReadData(const Entry& entry)
    {
        Need(entry.startOffset == 0, "start offset");
        if (entry.startCluster == 0) {
            Need(entry.size == 0, "data without a cluster");
            Need(entry.endCluster == 0, "end cluster without data");
            return {};
        }
        const std::vector<std::uint32_t> chain = WalkChain(entry.startCluster, "chain of " + Utf8(entry.name));
        const std::uint64_t needed = (entry.size + clusterSize_ - 1) / clusterSize_;
        Need(chain.size() >= needed && chain.size() >= 1, "chain shorter than the data");
        // The end position names the cluster that holds the end, marked when the end closes that cluster.
        if (entry.size == 0) {
            Need(entry.endCluster == entry.startCluster, "end cluster of empty data");
        } else {
            const std::uint32_t holder = chain[(entry.size - 1) / clusterSize_];
            const bool atEnd = entry.size % clusterSize_ == 0;
            Need(entry.endCluster == (holder | (atEnd ? 0x80000000u : 0)), "end cluster of " + Utf8(entry.name));
        }
        std::vector<std::uint8_t> data;
        data.reserve(entry.size);
        for (std::uint64_t i = 0; i < entry.size; ++i) {
            data.push_back(Byte(ClusterStart(chain[i / clusterSize_]) + i % clusterSize_));
        }
        return data;
    }

    Tree ReadStorage(const Entry& storage)
    {
        Tree tree;
        std::copy(std::begin(storage.clsid), std::end(storage.clsid), tree.clsid);
        const std::vector<std::uint8_t> directory = ReadData(storage);
        if (directory.empty()) {
            return tree;
        }
        Need(directory.size() >= 8, "directory shorter than its count");
        auto word = [&](std::size_t at) {
            return static_cast<std::uint32_t>(directory[at] | (directory[at + 1] << 8) | (directory[at + 2] << 16) |
                                              (directory[at + 3] << 24));
        };
        const std::uint32_t n = word(0);
        Need(static_cast<std::uint32_t>(n + word(4)) == 0, "directory count check");
        Need(n <= 1024, "directory count");
        Need(directory.size() == 8 + 160ull * n, "directory size");
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::vector<std::uint8_t> record(directory.begin() + 8 + 160 * i,
                                                   directory.begin() + 8 + 160 * (i + 1));
            const Entry entry = Reader(record).ParseEntry(0);
            Need(!tree.streams.contains(entry.name) || entry.type != 2, "duplicate stream name");
            tree.times[entry.name] = entry.times;
            tree.starts[entry.name] = entry.startCluster;
            if (entry.type == 2) {
                tree.streams[entry.name] = ReadData(entry);
            } else {
                Need(entry.type == 1, "element type");
                tree.storages[entry.name] = ReadStorage(entry);
            }
        }
        return tree;
    }

    static std::string Utf8(const std::u16string& text)
    {
        std::string out;
        for (char16_t unit : text) {
            out += unit < 0x80 ? static_cast<char>(unit) : '?';
        }
        return out;
    }

    const std::vector<std::uint8_t>& image_;
    std::uint32_t shift_ = 0;
    std::uint32_t clusterSize_ = 0;
    std::uint32_t count_ = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> map_;
    std::set<std::uint32_t> used_;
};

void DescribeInto(std::ostringstream& out, const Tree& tree, const std::string& indent)
{
    for (const auto& [name, data] : tree.streams) {
        out << indent << std::string(name.begin(), name.end()) << ": " << data.size() << " bytes\n";
    }
    for (const auto& [name, sub] : tree.storages) {
        out << indent << std::string(name.begin(), name.end()) << "/\n";
        DescribeInto(out, sub, indent + "  ");
    }
}

} // namespace

Result Read(const std::vector<std::uint8_t>& image)
{
    try {
        return Reader(image).Run();
    } catch (const Failure& failure) {
        Result result;
        result.error = failure.what();
        return result;
    }
}

std::string Describe(const Tree& tree)
{
    std::ostringstream out;
    DescribeInto(out, tree, "");
    return out.str();
}

} // namespace testreader
