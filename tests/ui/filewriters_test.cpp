// Pictures and printouts written whole or not at all: a disk that fills part way keeps the old file, a page that
// fails keeps the old printout, and the writers report both.
#include "platform/gdi/image.h"
#include "platform/gdi/printing.h"
#include "platform/win/atomicfile.h"
#include "platform/win/wingdi.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class FileWriters : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("filewriters_test_" + std::to_string(::getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        platform::AtomicFile::ClearInjectedFault();
        fs::remove_all(folder);
    }
    std::string Old(const std::string& name)
    {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << "an earlier " << name;
        return path;
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::size_t Files() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {})); }

    fs::path folder;
};

gdi::Image Stripes()
{
    gdi::Image image;
    image.width = 64;
    image.height = 48;
    for (int i = 0; i < image.width * image.height; ++i) {
        image.pixels.push_back((i / 7) % 2 ? 0x00FF8040u : 0x00102030u);
    }
    return image;
}

TEST_F(FileWriters, APictureCutOffByAFullDiskKeepsTheOldOne)
{
    const std::string path = Old("view.png");
    platform::AtomicFile::FailWritesBeyond(40, ENOSPC);
    EXPECT_FALSE(gdi::SavePng(Stripes(), path));
    EXPECT_EQ(Read(path), "an earlier view.png");
    EXPECT_EQ(Files(), 1u);
    platform::AtomicFile::ClearInjectedFault();
    ASSERT_TRUE(gdi::SavePng(Stripes(), path));
    EXPECT_EQ(gdi::LoadPng(path)->pixels, Stripes().pixels);
}

TEST_F(FileWriters, APrintoutCutOffOrMissingAPageKeepsTheOldOne)
{
    const std::string path = Old("view.pdf");
    HBITMAP page = CreateBitmap(200, 100, 1, 32, nullptr);
    {
        platform::AtomicFile::FailWritesBeyond(300, ENOSPC);
        gdi::PdfWriter pdf(path);
        pdf.AddPage(page, 96);
        pdf.AddPage(page, 96);
        EXPECT_FALSE(pdf.Finish());
    }
    platform::AtomicFile::ClearInjectedFault();
    EXPECT_EQ(Read(path), "an earlier view.pdf");
    {
        gdi::PdfWriter pdf(path);
        EXPECT_TRUE(pdf.AddPage(page, 96));
        EXPECT_FALSE(pdf.AddPage(nullptr, 96));
        EXPECT_FALSE(pdf.Finish());
    }
    EXPECT_EQ(Read(path), "an earlier view.pdf");
    EXPECT_EQ(Files(), 1u);
    {
        gdi::PdfWriter pdf(path);
        EXPECT_TRUE(pdf.AddPage(page, 96));
        EXPECT_TRUE(pdf.Finish());
    }
    EXPECT_EQ(Read(path).rfind("%PDF-", 0), 0u);
    DeleteObject(page);
}

} // namespace
