// The command-line host's document file: its bytes as the layout gives them, read back, and refusals of damaged
// files that never allocate what the file cannot hold.
#include "host/saveddocument.h"

#include "platform/posix/atomicfile.h"
#include "tests/tempfolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <unistd.h>

#include <cstring>
#include <sstream>

#include "../allocationcount.h"

namespace {

// Little-endian bytes of the layout, written by hand.
struct Bytes {
    std::string data;
    Bytes& U32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) {
            data += static_cast<char>((v >> (8 * i)) & 0xFF);
        }
        return *this;
    }
    Bytes& Text(const std::u16string& text)
    {
        U32(static_cast<std::uint32_t>(text.size()));
        for (const char16_t c : text) {
            data += static_cast<char>(c & 0xFF);
            data += static_cast<char>(c >> 8);
        }
        return *this;
    }
    Bytes& F64(double v)
    {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &v, 8);
        U32(static_cast<std::uint32_t>(bits)).U32(static_cast<std::uint32_t>(bits >> 32));
        return *this;
    }
    Bytes& F32(float v)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &v, 4);
        return U32(bits);
    }
    Bytes& Raw(const std::string& text)
    {
        data += text;
        return *this;
    }
};

std::shared_ptr<host::Document> TwoChannels()
{
    auto document = host::Document::Create();
    document->AddChannel(u"Vm", u"mV");
    document->AddChannel(u"I", u"\u00B5A");
    document->SetSamples(document->AddBlock(0.001), 0, {-0.07f, 0.02f});
    document->SetSamples(0, 1, {1e-6f, -2e-6f});
    document->SetSamples(document->AddBlock(0.0005), 0, {0.5f});
    document->SetSamples(1, 1, {0.25f});
    return document;
}

const std::string& Expected()
{
    static const std::string bytes = Bytes()
                                         .Raw("CMHD")
                                         .U32(1)
                                         .U32(2)
                                         .Text(u"Vm")
                                         .Text(u"mV")
                                         .Text(u"I")
                                         .Text(u"\u00B5A")
                                         .U32(2)
                                         .F64(0.001)
                                         .U32(2).F32(-0.07f).F32(0.02f)
                                         .U32(2).F32(1e-6f).F32(-2e-6f)
                                         .F64(0.0005)
                                         .U32(1).F32(0.5f)
                                         .U32(1).F32(0.25f)
                                         .U32(2)
                                         .U32(3).Raw("abc")
                                         .U32(0)
                                         .data;
    return bytes;
}

const std::vector<std::vector<std::uint8_t>> kStreams = {{'a', 'b', 'c'}, {}};

TEST(SavedDocument, BytesFollowTheLayoutAndReadBack)
{
    std::ostringstream out;
    host::WriteSavedDocument(out, *TwoChannels(), kStreams);
    EXPECT_EQ(out.str(), Expected());

    std::istringstream in(out.str());
    const host::SavedDocument saved = host::ReadSavedDocument(in);
    const auto original = TwoChannels();
    ASSERT_EQ(saved.recording->ChannelCount(), 2);
    ASSERT_EQ(saved.recording->BlockCount(), 2);
    for (int channel = 0; channel < 2; ++channel) {
        EXPECT_EQ(saved.recording->ChannelName(channel), original->ChannelName(channel));
        EXPECT_EQ(saved.recording->ChannelUnit(channel), original->ChannelUnit(channel));
        for (int block = 0; block < 2; ++block) {
            const auto a = saved.recording->Samples(block, channel);
            const auto b = original->Samples(block, channel);
            EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << block << " " << channel;
        }
    }
    EXPECT_EQ(saved.recording->TickPeriod(1), 0.0005);
    EXPECT_EQ(saved.streams, kStreams);
}

// Saving over a document: a disk that fills halfway leaves the old document as it was, and nothing beside it.
TEST(SavedDocument, AFailedSaveKeepsTheOldDocument)
{
    namespace fs = std::filesystem;
    const testutil::TempFolder folder;
    const std::string path = folder / "analysis.cmhd";
    ASSERT_TRUE(host::WriteSavedDocumentFile(path, *TwoChannels(), kStreams));
    const auto read = [&] {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(read(), Expected());

    platform::AtomicFile::FailWritesBeyond(Expected().size() / 2, ENOSPC);
    EXPECT_FALSE(host::WriteSavedDocumentFile(path, *TwoChannels(), {{'n', 'e', 'w'}}));
    platform::AtomicFile::ClearInjectedFault();
    EXPECT_EQ(read(), Expected());
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"analysis.cmhd"});
}

// A saved document is read from the file that was opened (and compared with the outputs), whatever its name leads
// to by the time it is read, as the recording reader reads a recording.
TEST(SavedDocument, ItIsReadFromTheFileOpenedNotFromItsNameAgain)
{
    namespace fs = std::filesystem;
    const testutil::TempFolder folder;
    const std::string path = folder / "analysis.cmhd";
    const std::vector<std::vector<std::uint8_t>> others = {{'x', 'y', 'z'}, {}}; // a document of the same size
    ASSERT_TRUE(host::WriteSavedDocumentFile(folder / "other.cmhd", *TwoChannels(), others));
    const struct {
        const char* what;
        std::function<void()> meanwhile;
    } cases[] = {
        {"another document renamed over its name", [&] { fs::rename(folder / "other.cmhd", path); }},
        {"its name removed", [&] { fs::remove(path); }},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        ASSERT_TRUE(host::WriteSavedDocumentFile(path, *TwoChannels(), kStreams));
        host::InputFile file(path);
        ASSERT_TRUE(host::IsSavedDocument(file));
        test.meanwhile();
        EXPECT_EQ(host::ReadSavedDocumentFile(file).streams, kStreams);
    }
}

TEST(SavedDocument, DamagedFilesAreRefused)
{
    const std::string good = Expected();
    // Every shorter file ends too early (or is no saved document at all).
    for (std::size_t size = 0; size < good.size(); ++size) {
        std::istringstream in(good.substr(0, size));
        EXPECT_THROW(host::ReadSavedDocument(in), host::RecordingError) << size;
    }
    const auto patched = [&](std::size_t at, std::uint32_t value) {
        std::string bytes = good;
        bytes.replace(at, 4, Bytes().U32(value).data);
        return bytes;
    };
    const std::size_t firstBlock = 8 + 4 + (4 + 4) + (4 + 4) + (4 + 2) + (4 + 4) + 4; // up to the first interval
    const struct {
        std::string bytes;
        const char* message;
    } cases[] = {
        // A damaged first byte or two still show a saved document; text shows none.
        {"CMHX" + good.substr(4), "a damaged saved document: it does not begin with \"CMHD\""},
        {std::string("\0MHD", 4) + good.substr(4, 3) + "\x7F" + good.substr(8), "a damaged saved document: it does"},
        {"CMHX\x01\x01\x01\x01" + good.substr(8), "not a saved document"},
        {"Time (s)\tVm (mV)\n0\t1\n", "not a saved document"},
        {patched(4, 2), "version 2"},
        {patched(8, 0), "names no channel"},
        {patched(8, 0x40000000), "a count exceeds the file"},
        {patched(12, 0xFFFFFFFF), "a count exceeds the file"},
        {patched(firstBlock + 8 + 12, 1), "differ in length"},
        {Bytes().Raw(good.substr(0, firstBlock)).F64(0.0).Raw(good.substr(firstBlock + 8)).data, "positive"},
        {good + "x", "bytes follow its end"},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.bytes);
        try {
            host::ReadSavedDocument(in);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const host::RecordingError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
            EXPECT_EQ(error.Line(), 0);
        }
    }
}

// A sample that is no finite number (infinite, NaN) is damage, named by its block, channel and place: the text
// reader refuses such samples, and an analysis would measure half an event of them.
TEST(SavedDocument, NonFiniteSamplesAreRefusedByBlockChannelAndPlace)
{
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        int block;
        int channel;
        std::size_t sample;
        float value;
    } cases[] = {{0, 0, 0, inf}, {1, 1, 2, -inf}, {1, 0, 3, std::numeric_limits<float>::quiet_NaN()}};
    for (const auto& c : cases) {
        auto document = host::Document::Create();
        document->AddChannel(u"Vm", u"mV");
        document->AddChannel(u"I", u"pA");
        for (int block = 0; block < 2; ++block) {
            const int index = document->AddBlock(0.001);
            for (int channel = 0; channel < 2; ++channel) {
                std::vector<float> samples = {0.5f, -0.25f, 1e-3f, 2.0f};
                if (block == c.block && channel == c.channel) {
                    samples[c.sample] = c.value;
                }
                document->SetSamples(index, channel, std::move(samples));
            }
        }
        std::ostringstream out;
        host::WriteSavedDocument(out, *document, {{1, 2}});
        std::istringstream in(out.str());
        try {
            host::ReadSavedDocument(in);
            ADD_FAILURE() << "accepted: " << c.value;
        } catch (const host::RecordingError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "a damaged saved document: sample " + std::to_string(c.sample + 1) + " of channel " +
                          std::to_string(c.channel + 1) + " in block " + std::to_string(c.block + 1) +
                          " is not a finite number");
        }
    }
}

// A document of a great many blocks, empty (a sampling that never got a sample, a hand-made file) or of sweeps,
// costs the reader about the memory the file has bytes: the count of blocks is checked against the file, and each
// block then takes about what the file spends on it (it took ten times as much).
TEST(SavedDocument, ReadingAllocatesNoMoreThanTheFileHolds)
{
    const struct {
        const char* name;
        std::uint32_t blocks;
        std::uint32_t samples; // per block and channel
    } cases[] = {{"empty blocks", 200000, 0}, {"blocks of 250 samples", 2000, 250}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bytes;
        bytes.Raw("CMHD").U32(1).U32(2).Text(u"Vm").Text(u"mV").Text(u"I").Text(u"nA").U32(c.blocks);
        for (std::uint32_t block = 0; block < c.blocks; ++block) {
            bytes.F64(0.001);
            for (int channel = 0; channel < 2; ++channel) {
                bytes.U32(c.samples);
                for (std::uint32_t i = 0; i < c.samples; ++i) {
                    bytes.F32(static_cast<float>(i % 17) * 0.25f);
                }
            }
        }
        bytes.U32(0);
        std::istringstream in(bytes.data);
        allocated = 0;
        counting = true;
        const host::SavedDocument saved = host::ReadSavedDocument(in);
        counting = false;
        ASSERT_EQ(saved.recording->BlockCount(), static_cast<int>(c.blocks));
        EXPECT_EQ(saved.recording->Samples(static_cast<int>(c.blocks) - 1, 1).size(), c.samples);
        EXPECT_LE(allocated.load(), bytes.data.size() * 11 / 10) << "for a file of " << bytes.data.size() << " bytes";
    }
}

} // namespace
