#include "foundation/stringstream.h"

#include <gtest/gtest.h>

#include <istream>
#include <locale>
#include <string>

using KVO::OStringStream;
using KVO::String;

namespace {

// A user locale with a decimal comma and grouping by thousands.
class CommaNumpunct : public std::numpunct<wchar_t> {
protected:
    wchar_t do_decimal_point() const override { return L','; }
    wchar_t do_thousands_sep() const override { return L'.'; }
    std::string do_grouping() const override { return "\3"; }
};

class GlobalLocaleGuard {
public:
    explicit GlobalLocaleGuard(const std::locale& locale) : previous_(std::locale::global(locale)) {}
    ~GlobalLocaleGuard() { std::locale::global(previous_); }

private:
    std::locale previous_;
};

String WriteUnits(int n)
{
    OStringStream out;
    for (int i = 0; i < n; ++i) {
        out.put(L'a');
    }
    return out.str();
}

} // namespace

TEST(StringStream, GrowsByDoublingTheUnitsWritten)
{
    EXPECT_TRUE(OStringStream().str().IsEmpty());
    EXPECT_EQ(OStringStream().str().Rep(), KVOString::StringRep::GetEmptyRep());

    // The first write copies the empty representation (capacity 9); a full buffer grows to twice the units written,
    // and the NUL that str() adds counts as a unit written.
    const struct {
        int units;
        int capacity;
    } expected[] = {{1, 9}, {8, 9}, {9, 18}, {10, 18}, {17, 18}, {18, 36}, {19, 36}, {36, 72}, {71, 72}, {100, 144}};
    for (const auto& e : expected) {
        const String s = WriteUnits(e.units);
        EXPECT_EQ(s.Length(), e.units) << e.units;
        EXPECT_EQ(s.Capacity(), e.capacity) << e.units;
        EXPECT_EQ(s.c_str()[e.units], 0);
    }
}

TEST(StringStream, StrSharesAndLaterWritesCopy)
{
    OStringStream out;
    out << u"abcde";
    const String first = out.str();
    EXPECT_EQ(first, u"abcde");
    EXPECT_EQ(first.Rep()->refCount, 2); // the stream and the taken text share it
    EXPECT_EQ(out.str().c_str(), first.c_str());

    out << u"fg";
    EXPECT_EQ(first, u"abcde");
    EXPECT_EQ(first.Rep()->refCount, 1);
    const String second = out.str();
    EXPECT_EQ(second, u"abcdefg"); // continues the text instead of following the NUL
    EXPECT_EQ(second.Length(), 7);
    EXPECT_EQ(second.Capacity(), 18); // fewer than 8 units were free after "abcde" and its NUL

    // An explicit NUL (std::ends) is not doubled.
    OStringStream ended;
    ended << 12 << std::ends;
    const String twelve = ended.str();
    EXPECT_EQ(twelve, u"12");
    EXPECT_EQ(twelve.Length(), 2);
    EXPECT_EQ(twelve.Rep()->length, 3u);

    // Clear empties the text in place and leaves what was taken alone.
    ended.Clear();
    ended << u"x";
    EXPECT_EQ(ended.str(), u"x");
    EXPECT_EQ(twelve, u"12");

    IKVOString* rep = out.GetRep();
    EXPECT_EQ(std::u16string(rep->GetText()), u"abcdefg");
    rep->Release();
    EXPECT_EQ(std::u16string(out.Freeze()), u"abcdefg");
}

TEST(StringStream, ChainsTextsNumbersAndWideCharacters)
{
    OStringStream out;
    out << 42 << u" items " << String(u"of") << u'\t' << L"wide" << std::wstring(L"\U0001F600") << 2.5 << std::hex
        << 255 << std::endl;
    const String s = out.str();
    EXPECT_EQ(s, u"42 items of\twide\U0001F6002.5ff\n");

    char16_t buffer[] = u"buf";
    OStringStream padded;
    padded.width(6);
    padded << buffer;
    EXPECT_EQ(padded.str(), u"   buf");
}

TEST(StringStream, ReadsBackAndSeeksWithinTheWrittenText)
{
    OStringStream out;
    out << u"abc def\U0001F600";
    std::wistream in(out.rdbuf());
    std::wstring word;
    in >> word;
    EXPECT_EQ(word, L"abc");
    EXPECT_TRUE(in.unget());
    EXPECT_EQ(in.get(), L'c');
    in >> word;
    EXPECT_EQ(word.size(), 5u); // "def" and the two surrogate units
    EXPECT_EQ(word[3], wchar_t(0xD83D));
    EXPECT_EQ(word[4], wchar_t(0xDE00));
    EXPECT_EQ(in.get(), std::char_traits<wchar_t>::eof());

    in.clear();
    EXPECT_EQ(in.seekg(4).tellg(), 4);
    EXPECT_EQ(in.get(), L'd');
    in.seekg(2, std::ios_base::end); // relative to the end fails
    EXPECT_TRUE(in.fail());
    in.clear();
    in.seekg(50); // past the written end fails
    EXPECT_TRUE(in.fail());

    out.seekp(1);
    out << u"X";
    EXPECT_EQ(out.tellp(), 2);
    EXPECT_EQ(out.str(), u"aXc def\U0001F600");

    // Seeking after str() reopens a private copy first.
    const String taken = out.str();
    out.seekp(0);
    out << u"Z";
    EXPECT_EQ(taken, u"aXc def\U0001F600");
    EXPECT_EQ(out.str(), u"ZXc def\U0001F600");
}

TEST(StringStream, ClassicStreamIgnoresTheUserLocale)
{
    const GlobalLocaleGuard guard(std::locale(std::locale::classic(), new CommaNumpunct));
    OStringStream user;
    user << 1234.5 << u' ' << 1234567;
    EXPECT_EQ(user.str(), u"1.234,5 1.234.567");

    KVO::Automation::ClassicOStringStream classic;
    classic << 1234.5 << u' ' << 1234567 << u' ' << 0.03 << u' ' << 2e9 << u' ' << -1.0;
    EXPECT_EQ(classic.str(), u"1234.5 1234567 0.03 2e+09 -1");
}
