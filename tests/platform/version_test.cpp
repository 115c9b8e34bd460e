// Version resources: the block's layout as Windows lays it out, and the values found by path.
#include "platform/owl/module.h"
#include "platform/win/version.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

VS_FIXEDFILEINFO Fixed(DWORD ms, DWORD ls)
{
    VS_FIXEDFILEINFO fixed{};
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    fixed.dwFileVersionMS = ms;
    fixed.dwFileVersionLS = ls;
    return fixed;
}

std::u16string TextAt(const std::vector<std::byte>& block, const char16_t* path)
{
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), path, &value, &length) || length == 0) {
        return u"<none>";
    }
    return std::u16string(static_cast<const char16_t*>(value), length - 1);
}

TEST(VersionResource, LaidOutAsWindowsDoesAndFoundByPath)
{
    const std::vector<std::byte> block = platform::BuildVersionResource(
        Fixed(MAKELONG(2, 1), MAKELONG(1500, 3)), 0x0409, 1200, {{u"FileVersion", u"1.2.3.1500 beta"}, {u"FileDescription", u"Odd"}});
    // Length, value length 52, binary; the key "VS_VERSION_INFO" and its NUL end at 38, so the fixed part is at 40.
    ASSERT_GE(block.size(), 92u);
    const auto word = [&](std::size_t at) { return static_cast<unsigned>(block[at]) | static_cast<unsigned>(block[at + 1]) << 8; };
    EXPECT_EQ(block.size(), word(0));
    EXPECT_EQ(52u, word(2));
    EXPECT_EQ(0u, word(4));
    EXPECT_EQ(0xFEEF04BDu, word(40) | word(42) << 16);

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\", &value, &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    VS_FIXEDFILEINFO fixed{};
    std::memcpy(&fixed, value, sizeof fixed);
    EXPECT_EQ(MAKELONG(1500, 3), fixed.dwFileVersionLS);
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\VarFileInfo\\Translation", &value, &length));
    EXPECT_EQ(4u, length);
    EXPECT_EQ(u"1.2.3.1500 beta", TextAt(block, u"\\StringFileInfo\\040904B0\\FileVersion"));
    EXPECT_EQ(u"Odd", TextAt(block, u"\\stringfileinfo\\040904b0\\filedescription")); // keys ignore case
    EXPECT_EQ(u"<none>", TextAt(block, u"\\StringFileInfo\\040704B0\\FileVersion"));
    EXPECT_EQ(u"<none>", TextAt(block, u"\\StringFileInfo\\040904B0\\ProductName"));
    EXPECT_EQ(u"<none>", TextAt(block, u"\\StringFileInfo")); // a node without a value of its own

    // Through a module's resources; a module without one has no texts.
    const auto module = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x6100});
    platform::RegisterResource(module, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO), LANG_NEUTRAL, block);
    const owl::TModuleVersionInfo info(module);
    std::u16string text;
    EXPECT_TRUE(info.GetFileDescription(text));
    EXPECT_EQ(u"Odd", text);
    EXPECT_EQ(1500, LOWORD(info.GetFileVersionLS()));
    platform::UnregisterResources(module);
    const owl::TModuleVersionInfo none(module);
    EXPECT_FALSE(none.HasInfo());
    EXPECT_FALSE(none.GetFileVersion(text));
    EXPECT_EQ(0u, none.GetFileVersionLS());
}

} // namespace
