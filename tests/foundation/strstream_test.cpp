// The wide port of the standard strstream buffer: dynamic growth through the caller's allocation functions,
// freezing, the caller's arrays (fixed, appended to, constant), reading back, seeking, and the static stream.
#include "foundation/strstream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Buffer = KVO::basic_strstreambuf<wchar_t>;
using Stream = KVO::basic_ostrstream<wchar_t>;

std::vector<std::size_t> g_allocated; // bytes of each allocation
int g_freed = 0;
void* CountedAlloc(std::size_t bytes)
{
    g_allocated.push_back(bytes);
    return std::malloc(bytes);
}
void CountedFree(void* units)
{
    ++g_freed;
    std::free(units);
}

class StrStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_allocated.clear();
        g_freed = 0;
    }
};

TEST_F(StrStreamTest, ADynamicBufferGrowsFrom32UnitsByDoublingAndFreesWhatItAllocated)
{
    {
        Buffer buffer(&CountedAlloc, &CountedFree);
        std::wostream out(&buffer);
        for (int i = 0; i < 100; ++i) {
            out << static_cast<wchar_t>(L'a' + i % 26);
        }
        EXPECT_EQ(100, buffer.pcount());
        const std::vector<std::size_t> expected{32 * sizeof(wchar_t), 64 * sizeof(wchar_t), 128 * sizeof(wchar_t)};
        EXPECT_EQ(expected, g_allocated);
        EXPECT_EQ(2, g_freed) << "each outgrown buffer";
        out << 12.5 << wchar_t{0};
        EXPECT_EQ(std::wstring(L"abcdefghijklmnopqrstuvwxyz").append(L"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz")
                      .append(L"abcdefghijklmnopqrstuv12.5"),
                  std::wstring(buffer.str()));
        EXPECT_TRUE(buffer.Mode() & Buffer::kFrozen);
        // Frozen, it neither grows nor is freed.
        out << std::wstring(100, L'x');
        EXPECT_TRUE(out.bad());
        EXPECT_EQ(3u, g_allocated.size());
        buffer.freeze(false);
    }
    EXPECT_EQ(3, g_freed);

    // A frozen buffer at the end stays the caller's.
    wchar_t* kept = nullptr;
    {
        Stream out;
        out << L"kept" << wchar_t{0};
        kept = out.str();
    }
    EXPECT_EQ(std::wstring(L"kept"), kept);
    delete[] kept;
}

TEST_F(StrStreamTest, ArraysAreWrittenToTheirEndAppendedToAndReadOnlyWhenConstant)
{
    wchar_t fixed[4] = {};
    Stream out(fixed, 4);
    out << L"abcdef";
    EXPECT_TRUE(out.bad());
    EXPECT_EQ(4, out.pcount());
    EXPECT_EQ(std::wstring(L"abcd"), std::wstring(fixed, 4));
    EXPECT_FALSE(out.rdbuf()->Mode() & Buffer::kAllocated);

    wchar_t text[16] = L"one";
    Stream appended(text, 16, std::ios_base::out | std::ios_base::app);
    appended << L" two" << wchar_t{0};
    EXPECT_EQ(std::wstring(L"one two"), text);

    // Read back, put back, and a constant array refuses a different unit.
    const wchar_t constant[] = L"xyz";
    Buffer reading(constant, 0);
    std::wistream in(&reading);
    EXPECT_EQ(L'x', in.get());
    EXPECT_EQ(L'y', in.get());
    EXPECT_EQ(std::char_traits<wchar_t>::eof(), reading.sputbackc(L'q'));
    EXPECT_EQ(L'y', reading.sputbackc(L'y'));
    wchar_t changeable[] = L"xyz";
    Buffer writable(changeable, 3);
    writable.sbumpc();
    EXPECT_EQ(L'q', writable.sputbackc(L'q'));
    EXPECT_EQ(L'q', changeable[0]);
}

TEST_F(StrStreamTest, SeeksStayInsideWhatWasWritten)
{
    Stream out;
    out << L"hello world";
    Buffer& buffer = *out.rdbuf();
    EXPECT_EQ(6, buffer.pubseekoff(6, std::ios_base::beg, std::ios_base::out));
    out << L"W";
    EXPECT_EQ(11, buffer.pubseekoff(0, std::ios_base::end, std::ios_base::out));
    EXPECT_EQ(-1, buffer.pubseekoff(1, std::ios_base::end, std::ios_base::out));
    EXPECT_EQ(-1, buffer.pubseekoff(-1, std::ios_base::beg, std::ios_base::in));
    EXPECT_EQ(-1, buffer.pubseekoff(0, std::ios_base::cur, std::ios_base::in | std::ios_base::out));
    EXPECT_EQ(4, buffer.pubseekpos(4, std::ios_base::in));
    std::wistream in(&buffer);
    std::wstring word;
    in >> word;
    EXPECT_EQ(L"o", word);
    in >> word;
    EXPECT_EQ(L"World", word);
    buffer.freeze(false);
}

TEST_F(StrStreamTest, TheStaticStreamLivesOverItsArrayUnwritten)
{
    Stream& stream = KVO::StaticWideStream();
    EXPECT_EQ(0, stream.pcount());
    EXPECT_FALSE(stream.rdbuf()->Mode() & Buffer::kDynamic);
    EXPECT_EQ(0, stream.rdbuf()->pubseekoff(0, std::ios_base::end, std::ios_base::out));
    EXPECT_TRUE(stream.good());
}

} // namespace
