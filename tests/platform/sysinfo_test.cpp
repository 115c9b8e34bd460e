#include "platform/win/errors.h"
#include "platform/win/sysinfo.h"

#include <gtest/gtest.h>

namespace {
class SysInfoTest : public ::testing::Test {
protected:
    void SetUp() override { saved = platform::GetOsVersion(); }
    void TearDown() override { platform::SetOsVersion(saved); }
    platform::OsVersion saved;
};

bool AtLeast(DWORD major, DWORD minor, WORD servicePack)
{
    OSVERSIONINFOEXW wanted{};
    wanted.dwOSVersionInfoSize = sizeof wanted;
    wanted.dwMajorVersion = major;
    wanted.dwMinorVersion = minor;
    wanted.wServicePackMajor = servicePack;
    ULONGLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&wanted, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
}
}

TEST_F(SysInfoTest, VersionAnswersAgree)
{
    platform::SetOsVersion({6, 1, 7601, VER_PLATFORM_WIN32_NT, 1, 0});
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExW(&info));
    EXPECT_EQ(info.dwMajorVersion, 6u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(info.wServicePackMajor, 1);

    // Major, minor and service pack are one hierarchy: a higher minor satisfies whatever the service pack.
    EXPECT_TRUE(AtLeast(6, 0, 2));
    EXPECT_TRUE(AtLeast(6, 1, 1));
    EXPECT_FALSE(AtLeast(6, 1, 2));
    EXPECT_EQ(GetLastError(), ERROR_OLD_WIN_VERSION);
    EXPECT_FALSE(AtLeast(6, 2, 0));
    EXPECT_TRUE(AtLeast(5, 9, 9));

    OSVERSIONINFOW wrongSize{};
    wrongSize.dwOSVersionInfoSize = 100;
    EXPECT_FALSE(GetVersionExW(&wrongSize));
}

TEST_F(SysInfoTest, SystemInformationAndScreen)
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    EXPECT_EQ(info.dwPageSize, 4096u);
    EXPECT_EQ(info.dwAllocationGranularity, 65536u);
    EXPECT_GE(info.dwNumberOfProcessors, 1u);
    EXPECT_EQ(platform::ScreenBitsPerPixel(), 32);
}
