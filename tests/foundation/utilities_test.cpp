#include "foundation/defaultcolours.h"
#include "foundation/positionvaluearray.h"
#include "foundation/rational.h"
#include "foundation/utilities.h"
#include "platform/win/codepage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

namespace {
OSVERSIONINFOW Version(DWORD major, DWORD minor, DWORD platformId = VER_PLATFORM_WIN32_NT)
{
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;
    v.dwMajorVersion = major;
    v.dwMinorVersion = minor;
    v.dwPlatformId = platformId;
    return v;
}
}

TEST(WindowsVersion, TestsOnTheVersionNumbers)
{
    EXPECT_TRUE(KVO::IsWindowsXPOrLater(Version(5, 1)));
    EXPECT_FALSE(KVO::IsWindowsXPOrLater(Version(5, 2))); // not reported, as on the original
    EXPECT_FALSE(KVO::IsWindowsXPOrLater(Version(5, 0)));
    EXPECT_TRUE(KVO::IsWindowsXPOrLater(Version(6, 0)));
    EXPECT_FALSE(KVO::IsWindowsXPOrLater(Version(5, 1, VER_PLATFORM_WIN32_WINDOWS)));
    EXPECT_TRUE(KVO::IsWindowsVistaOrLater(Version(6, 0)));
    EXPECT_TRUE(KVO::IsWindowsVistaOrLater(Version(10, 0)));
    EXPECT_FALSE(KVO::IsWindowsVistaOrLater(Version(5, 1)));
    EXPECT_FALSE(KVO::IsWindowsVistaOrLater(Version(6, 0, VER_PLATFORM_WIN32_WINDOWS)));

    // The stand-in system is a current Windows, cached once.
    EXPECT_EQ(KVO::OsVersionInfo().dwOSVersionInfoSize, 276u);
    EXPECT_TRUE(KVO::IsWindowsXPOrLater());
    EXPECT_TRUE(KVO::IsWindowsVistaOrLater());
    EXPECT_EQ(KVO::SystemInfo().dwAllocationGranularity, 65536u);
    EXPECT_EQ(KVO::AllocationGranularityMask(), ~std::uintptr_t{0xFFFF});
}

TEST(WindowsVersion, Windows81AsksTheSystemEachTime)
{
    const platform::OsVersion saved = platform::GetOsVersion();
    const std::pair<platform::OsVersion, bool> cases[] = {
        {{6, 3, 9600}, true}, {{6, 2, 9200}, false}, {{10, 0, 19045}, true}, {{5, 1, 2600, 2, 3}, false},
    };
    for (const auto& [version, expected] : cases) {
        platform::SetOsVersion(version);
        EXPECT_EQ(KVO::IsWindows81OrLater(), expected) << version.major << "." << version.minor;
    }
    platform::SetOsVersion(saved);
}

TEST(WideFromThreadAnsi, InsertsConvertedText)
{
    std::wostringstream out;
    KVO::WideFromThreadAnsi(out, "caf\xE9 ");
    KVO::WideFromThreadAnsi(out, nullptr);
    KVO::WideFromThreadAnsi(out, "");
    KVO::WideFromThreadAnsi(out, "\x80");
    EXPECT_EQ(out.str(), L"caf\u00E9 \u20AC");

    // Characters beyond the 16-bit plane reach the stream as one unit.
    platform::SetAnsiCodePage(CP_UTF8);
    std::wostringstream utf8;
    KVO::WideFromThreadAnsi(utf8, "\xF0\x9F\x98\x80!");
    platform::SetAnsiCodePage(CP_WINDOWS_1252);
    EXPECT_EQ(utf8.str(), std::wstring(L"\U0001F600!"));

    // Long texts are converted whole (not in a stack buffer).
    const std::string longText(16 << 20, 'x');
    std::wostringstream big;
    KVO::WideFromThreadAnsi(big, longText.c_str());
    EXPECT_EQ(big.str().size(), longText.size());
}

TEST(Rational, GcdAndNormalize)
{
    EXPECT_EQ(KVORationalImp::Gcd(-12, 18), 6);
    EXPECT_EQ(KVORationalImp::Gcd(7, 0), 7);
    EXPECT_EQ(KVORationalImp::Gcd(0, -7), 7);
    EXPECT_EQ(KVORationalImp::Gcd(std::numeric_limits<std::int64_t>::min(), 6), 2);

    KVORationalImp r(6, -4);
    r.Normalize();
    EXPECT_EQ(r, KVORationalImp(-3, 2));
    KVORationalImp zero(0, -7);
    zero.Normalize();
    EXPECT_EQ(zero, KVORationalImp(0, 1));
    KVORationalImp bad(5, 0);
    try {
        bad.Normalize();
        FAIL() << "no exception";
    } catch (const KVORationalImp::bad_rational& e) {
        EXPECT_STREQ(e.what(), "bad rational: zero denominator");
    }
    // A sign that cannot move to the numerator is reported instead of overflowing.
    KVORationalImp extreme(1, std::numeric_limits<std::int64_t>::min());
    EXPECT_THROW(extreme.Normalize(), std::overflow_error);

    EXPECT_EQ(KVORationalImp::FromDouble(-2.25), KVORationalImp(-9, 4));
    EXPECT_EQ(KVORationalImp::FromDouble(0.5), KVORationalImp(1, 2));
    EXPECT_EQ(KVORationalImp::FromDouble(std::numeric_limits<double>::quiet_NaN()), KVORationalImp(0, 1));
}

namespace {
// Answers trace colours as twice the index.
class FakeColours : public IDisplayColours {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT Reserved3() override { return E_NOTIMPL; }
    HRESULT Reserved4() override { return E_NOTIMPL; }
    HRESULT Reserved5() override { return E_NOTIMPL; }
    HRESULT GetColour(LONG index, COLORREF* colour) override
    {
        *colour = static_cast<COLORREF>(index * 2);
        return S_OK;
    }
};

class DefaultColoursTest : public ::testing::Test {
protected:
    void TearDown() override { platform::SetScreenBitsPerPixel(32); }
};
}

TEST_F(DefaultColoursTest, CyclesDependOnTheScreenAndTheSource)
{
    // Switching the mode between the calls makes each selection look at the screen again.
    platform::SetScreenBitsPerPixel(8);
    KVO::SelectDefaultPalette(1);
    KVO::SelectDefaultPalette(0);
    EXPECT_EQ(KVO::GetDefaultColourState().cycleLength, 12);
    EXPECT_EQ(KVO::GetDefaultTraceColor(nullptr, 12), KVO::kBasicColours[0]);
    EXPECT_EQ(KVO::GetDefaultTraceColor(nullptr, 13), KVO::kBasicColours[1]);
    EXPECT_EQ(KVO::GetDefaultColourState().orderLength, 11);

    platform::SetScreenBitsPerPixel(32);
    KVO::SelectDefaultPalette(0);
    const KVO::DefaultColourState& scheme = KVO::GetDefaultColourState();
    EXPECT_EQ(scheme.cycleLength, 19);
    EXPECT_EQ(scheme.cycleStart, 18);
    EXPECT_EQ(scheme.orderLength, 29);
    EXPECT_EQ(scheme.second[17], 0x343434u);
    EXPECT_EQ(scheme.second[34], 0xBFBFBFu);
    EXPECT_EQ(scheme.third[17], 0xFFFFFFu);
    EXPECT_EQ(scheme.third[24], 0x60F5E3u);
    EXPECT_EQ(scheme.third[25], KVO::kSchemeColours[25]);

    EXPECT_EQ(KVO::GetDefaultTraceColor(nullptr, 20), KVO::kBasicColours[0]);
    EXPECT_EQ(KVO::GetDefaultTraceColor(nullptr, 19), KVO::kBasicColours[19]);
    EXPECT_EQ(KVO::GetDefaultColourState().mode, 1);
    // The index counts as 16 bits: -1 is 65535, never a negative table position.
    EXPECT_EQ(KVO::GetDefaultTraceColor(nullptr, -1), KVO::kBasicColours[65535 % 20]);

    FakeColours source;
    EXPECT_EQ(KVO::GetDefaultTraceColor(&source, 5), 10u);
    EXPECT_EQ(KVO::GetDefaultColourState().mode, 0);
}

TEST(HostApplication, VisibleWithoutAHost) { EXPECT_TRUE(KVO::IsHostApplicationVisible()); }

TEST(PositionValueArray, FindsPerBlockValues)
{
    KVO::PositionValueArray positions;
    // A look-up, even of a huge block index, allocates nothing.
    EXPECT_EQ(positions.Find(10, 3), -1);
    EXPECT_EQ(positions.Find(10, 0x7FFFFFFF), -1);
    EXPECT_EQ(positions.Count(), 0);

    positions.MapForBlock(2)[KVOPosition{10, 2}] = 7;
    EXPECT_EQ(positions.Find(10, 2), 7);
    EXPECT_EQ(positions.Find(11, 2), -1);
    EXPECT_EQ(positions.Find(10, 1), -1);
    EXPECT_EQ(positions.Count(), 3); // only a map being filled grows the array

    // A negative block is not a position: no value, no growth, no access before the array.
    EXPECT_EQ(positions.Find(10, -1), -1);
    EXPECT_EQ(positions.Count(), 3);
    EXPECT_THROW(positions.MapForBlock(-1), std::out_of_range);

    EXPECT_LT((KVOPosition{500, 1}), (KVOPosition{0, 2}));
    EXPECT_LT((KVOPosition{4, 2}), (KVOPosition{5, 2}));
}

TEST(IsEqualGuid, ComparesAllSixteenBytes)
{
    constexpr GUID a{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    GUID b = a;
    EXPECT_TRUE(KVO::IsEqualGuid(a, b));
    b.Data4[7] = 9;
    EXPECT_FALSE(KVO::IsEqualGuid(a, b));
}

// The base library stands on its own: its sources include only themselves, the platform, the host's sdk and the
// module's resource tables, nothing of the subsystems built on it.
TEST(FoundationLayer, IncludesNothingOfTheModuleAboveIt)
{
    const std::filesystem::path folder = std::filesystem::path(TEST_DATA_DIR) / ".." / ".." / "foundation";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream source(entry.path());
        std::string line;
        ++files;
        while (std::getline(source, line)) {
            if (line.rfind("#include \"", 0) != 0) {
                continue;
            }
            const std::string included = line.substr(10);
            const bool allowed = included.rfind("foundation/", 0) == 0 || included.rfind("platform/", 0) == 0 ||
                                 included.rfind("sdk/", 0) == 0 || included.rfind("resources/", 0) == 0;
            EXPECT_TRUE(allowed) << entry.path().filename().string() << ": " << line;
        }
    }
    EXPECT_GT(files, 20);
}
