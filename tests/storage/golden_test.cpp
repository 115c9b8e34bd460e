// The bytes of a new file after its first commits, written out literally.
#include "storagekit.h"

#include <cstdio>
#include <sstream>

using namespace storagekit;

namespace {

Bytes Hex(std::string_view text)
{
    Bytes bytes;
    unsigned value = 0;
    int digits = 0;
    for (char c : text) {
        int nibble = -1;
        if (c >= '0' && c <= '9') {
            nibble = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            nibble = c - 'A' + 10;
        }
        if (nibble < 0) {
            continue;
        }
        value = value * 16 + static_cast<unsigned>(nibble);
        if (++digits == 2) {
            bytes.push_back(static_cast<std::uint8_t>(value));
            value = 0;
            digits = 0;
        }
    }
    return bytes;
}

struct Run {
    std::size_t offset;
    std::string_view hex;
};

// Checks bytes [from, to) of the image: the runs hold exactly their bytes, everything else is zero.
void ExpectRegion(const Bytes& image, std::size_t from, std::size_t to, std::initializer_list<Run> runs)
{
    ASSERT_GE(image.size(), to);
    Bytes expected(to - from, 0);
    for (const Run& run : runs) {
        const Bytes bytes = Hex(run.hex);
        std::copy(bytes.begin(), bytes.end(), expected.begin() + static_cast<std::ptrdiff_t>(run.offset - from));
    }
    for (std::size_t i = from; i < to; ++i) {
        ASSERT_EQ(image[i], expected[i - from]) << "byte " << i;
    }
}

struct WriteCall {
    ULONGLONG offset;
    ULONG count;
    friend bool operator==(const WriteCall&, const WriteCall&) = default;
};

std::vector<WriteCall>* RecordWrites(platform::MemoryLockBytes& bytes)
{
    auto* calls = new std::vector<WriteCall>;
    bytes.OnWrite([calls](ULONGLONG offset, ULONG count) { calls->push_back({offset, count}); });
    return calls;
}

} // namespace

// A new root, one stream "Data" holding "Hello", one commit. New elements carry zero times (nothing sets them but
// SetElementTimes), so the bytes do not depend on the clock.
TEST(CompoundFileGolden, FirstCommitWritesHeaderDirectoryAndMap)
{
    File file;
    std::unique_ptr<std::vector<WriteCall>> writes(RecordWrites(*file.bytes.Get()));
    {
        ComPtr<IStream> stream = Create(file.root.Get(), u"Data");
        ASSERT_EQ(Put(stream.Get(), ToBytes("Hello")), S_OK);
    }
    EXPECT_TRUE(file.bytes->Data().size() == 512 + 5); // only the stream's bytes so far
    ASSERT_EQ(file.root->Commit(STGC_DEFAULT), S_OK);

    // Stream data in cluster 2, the root directory in cluster 3, the map in cluster 4; then the header's commit block,
    // its fixed part and the commit word alone.
    const std::vector<WriteCall> expectedWrites = {{512, 5},   {33280, 168}, {66048, 32768},
                                                   {152, 352}, {0, 148},     {148, 4}};
    EXPECT_EQ(*writes, expectedWrites);
    EXPECT_EQ(file.bytes->Calls().flush, 2u);

    const Bytes& image = file.bytes->Data();
    ASSERT_EQ(image.size(), 98816u); // 512 + 3 clusters
    ExpectRegion(image, 0, 512,
                 {
                     {0, "43006F00 72007600 61006E00 65002000 43006F00 6D007000 6F007500 6E006400 20004600 69006C00 6500"},
                     {128, "1D000000 00020000 00000200 FFFFFF7F 00000000"}, // version, the four constants
                     {148, "00000000"},                                        // commit word
                     {152, "0F000000"},                                        // 32 KB clusters
                     {156, "00100000 00000000 00F0FFFF 00000000"},            // map counts and negations
                     {172, "04000000 00000000"},                               // first map cluster of copy 0 and 1
                     {184, "4B005600 4F005200 6F006F00 74005300 74006F00 72006100 67006500"}, // "KVORootStorage"
                     {256, "03000000"},                                        // start: cluster 3
                     {264, "A8000000 00000000 03000000"},                      // end: 168 bytes, in cluster 3
                     {324, "01000000"},                                        // type: storage
                 });
    ExpectRegion(image, 512, 512 + 5, {{512, "48656C6C6F"}});
    ExpectRegion(image, 33280, 33280 + 168,
                 {
                     {33280, "01000000 FFFFFFFF"},       // one entry, its negation
                     {33288, "44006100 74006100"},       // "Data"
                     {33360, "02000000"},                // start: cluster 2
                     {33368, "05000000 00000000 02000000"}, // end: 5 bytes, in cluster 2
                     {33428, "02000000"},                // type: stream
                 });
    ExpectRegion(image, 66048, 66048 + 56,
                 {
                     {66048, "05000000 00000080"}, // free list head: cluster 5
                     {66056, "00000000 00000000"}, // released list: empty
                     // clusters 2, 3 and 4 are chains of one cluster each
                     {66088, "06000000 00000080"}, // 5: first free
                     {66096, "07000000 05000080"}, // 6
                 });
    ExpectRegion(image, 98808, 98816, {{98808, "00000000 FE0F0080"}}); // 4095: last free
    for (std::uint32_t k = 7; k < 4095; ++k) {
        const std::size_t at = 66048 + 8 * k;
        ASSERT_EQ(CompoundFile::GetU32(&image[at]), k + 1) << k;
        ASSERT_EQ(CompoundFile::GetU32(&image[at + 4]), (k - 1) | 0x80000000u) << k;
    }

    // A commit with nothing changed writes nothing.
    const unsigned before = file.bytes->Calls().write;
    ASSERT_EQ(file.root->Commit(STGC_DEFAULT), S_OK);
    EXPECT_EQ(file.bytes->Calls().write, before);
    EXPECT_EQ(file.bytes->Calls().flush, 2u);
    file.bytes->OnWrite(nullptr);
}

// Commits alternate between the two copies; the copy not selected by the on-disk commit word is the one written.
TEST(CompoundFileGolden, CommitsAlternateBetweenTheTwoCopies)
{
    File file;
    ComPtr<IStream> stream = Create(file.root.Get(), u"Data");
    ASSERT_EQ(Put(stream.Get(), ToBytes("Hello")), S_OK);
    ASSERT_EQ(file.root->Commit(STGC_DEFAULT), S_OK);
    const Bytes first = file.bytes->Data();

    // Appending copies the committed cluster 2 to cluster 5 first; the new directory goes to cluster 6 and the map
    // of copy 1 to cluster 7.
    ASSERT_EQ(Put(stream.Get(), ToBytes("!")), S_OK);
    ASSERT_EQ(file.root->Commit(STGC_DEFAULT), S_OK);
    const Bytes& second = file.bytes->Data();
    ExpectRegion(second, 148, 184,
                 {
                     {148, "01000000 0F000000"},                   // commit word 1
                     {156, "00100000 00100000 00F0FFFF 00F0FFFF"}, // both copies: 4096 entries
                     {172, "04000000 07000000"},                   // copy 0 in cluster 4, copy 1 in cluster 7
                 });
    // Root copy 0 is untouched, root copy 1 is the new root entry.
    EXPECT_TRUE(std::equal(first.begin() + 184, first.begin() + 344, second.begin() + 184));
    ExpectRegion(second, 344 + 64, 344 + 96, {{344 + 72, "06000000"}, {344 + 80, "A8000000 00000000 06000000"}});
    // The committed cluster 2 still holds "Hello"; clusters 3 (old directory) and 2 wait on the released list.
    ExpectRegion(second, 512, 517, {{512, "48656C6C6F"}});
    testreader::Result read = file.Read();
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.commitWord, 1u);
    EXPECT_EQ(read.mapFirst, 7u);
    EXPECT_EQ(read.root.streams[u"Data"], ToBytes("Hello!"));
    EXPECT_EQ(read.clusters.releasedClusters, (std::vector<std::uint32_t>{3, 2}));

    // The third commit goes to copy 0 again and reuses its map cluster 4.
    ASSERT_EQ(stream->Seek(MakeLargeInteger(0), STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(Put(stream.Get(), ToBytes("J")), S_OK);
    ASSERT_EQ(file.root->Commit(STGC_DEFAULT), S_OK);
    read = file.Read();
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.commitWord, 0u);
    EXPECT_EQ(read.mapFirst, 4u);
    EXPECT_EQ(read.root.streams[u"Data"], ToBytes("Jello!"));
    // The clusters released before the second commit became free once it was written, and were used again.
    EXPECT_EQ(read.clusters.releasedClusters, (std::vector<std::uint32_t>{6, 5}));
    EXPECT_EQ(CompoundFile::GetU32(&file.bytes->Data()[176]), 7u); // copy 1 keeps its record
}
