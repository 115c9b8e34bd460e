#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "foundation/xkvo.h"
#include "platform/com/oleauto.h"
#include "platform/win/codepage.h"
#include "resources/stringtable.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::u16string Text(const KVO::String& s) { return std::u16string(s.View()); }

std::u16string ModuleText(UINT id) { return Text(KVO::LoadResourceString(KVO::ModuleInstance(), id, true)); }
}

TEST(HResultMessage, SystemTextsLoseTheLineEndAndEndInAFullStop)
{
    EXPECT_EQ(Text(KVO::HResultMessage(MakeHResult(0x80070002u))), u"The system cannot find the file specified.");
    EXPECT_EQ(Text(KVO::HResultMessage(E_NOTIMPL)), u"Not implemented.");
    EXPECT_EQ(Text(KVO::HResultMessage(E_FAIL)), u"Unspecified error.");
    // Inserts are left as they are.
    EXPECT_EQ(Text(KVO::HResultMessage(STG_E_FILENOTFOUND)), u"%1 could not be found.");
    // A code the system has no text for gives nothing.
    EXPECT_TRUE(KVO::HResultMessage(MakeHResult(0x80041234u)).IsEmpty());
}

TEST(HResultMessage, ModuleCodesTakeTheirStringTableTexts)
{
    const std::u16string badText = ModuleText(StringId::ErrBadStoredText);
    ASSERT_FALSE(badText.empty());
    EXPECT_EQ(Text(KVO::HResultMessage(KVO::Errors::kBadStreamString)), badText);

    // 0xA0048204 and 0xA0048205 share one text, and the storage code 0x80030105 is shown as 0xA0048205.
    const std::u16string newer = ModuleText(StringId::ErrNewerVersion);
    ASSERT_FALSE(newer.empty());
    EXPECT_EQ(Text(KVO::HResultMessage(MakeHResult(0xA0048204u))), newer);
    EXPECT_EQ(Text(KVO::HResultMessage(KVO::Errors::kNewerVersion)), newer);
    EXPECT_EQ(Text(KVO::HResultMessage(STG_E_OLDDLL)), newer);

    // Branding tokens of module texts are replaced.
    EXPECT_EQ(Text(KVO::ModuleHResultMessage(MakeHResult(0xA0048212u))),
              u"This feature needs a newer version of Wavedesk.");
}

TEST(HResultMessage, CodesWithoutTextAreEmpty)
{
    EXPECT_TRUE(KVO::HResultMessage(KVO::Errors::kBadStorage).IsEmpty());
    EXPECT_TRUE(KVO::HResultMessage(KVO::Errors::kSilent).IsEmpty());
    EXPECT_TRUE(KVO::HResultMessage(KVO::Errors::kSamplingPreview).IsEmpty());
    EXPECT_TRUE(KVO::HResultMessage(MakeHResult(0xA004820Au)).IsEmpty());   // in the table without a text
    EXPECT_TRUE(KVO::HResultMessage(MakeHResult(0xA004823Fu)).IsEmpty());   // beyond the table
    EXPECT_TRUE(KVO::HResultMessage(MakeHResult(0xA0048100u)).IsEmpty());   // bit 15 set, but before the table
    EXPECT_TRUE(KVO::HResultMessage(MakeHResult(0xA004FFFFu)).IsEmpty());
    EXPECT_TRUE(KVO::ModuleHResultMessage(E_FAIL).IsEmpty());
    EXPECT_TRUE(KVO::ModuleHResultMessage(MakeHResult(0x80048203u)).IsEmpty()); // customer bit missing
}

TEST(XKVO, DescriptionAndCode)
{
    const KVO::String description(u"Reading the settings failed");

    const XKVO withText(description, KVO::Errors::kBadStreamString);
    EXPECT_EQ(withText.Code(), KVO::Errors::kBadStreamString);
    EXPECT_EQ(Text(withText.GetDescription()),
              u"Reading the settings failed\n" + ModuleText(StringId::ErrBadStoredText));

    // These codes add nothing to the description, not even the line break.
    for (const HRESULT hr : {HRESULT{0}, KVO::Errors::kBadStorage, KVO::Errors::kSilent}) {
        EXPECT_EQ(Text(XKVO(description, hr).GetDescription()), u"Reading the settings failed");
    }

    const XKVO fromCode(MakeHResult(0x80070002u));
    EXPECT_EQ(Text(fromCode.GetDescription()), u"The system cannot find the file specified.");

    try {
        XKVO::Throw(E_NOTIMPL);
        FAIL() << "no exception";
    } catch (const XKVO& e) {
        EXPECT_EQ(e.Code(), E_NOTIMPL);
        EXPECT_STREQ(e.what(), "Not implemented.");
    }
}

TEST(XKVO, WhatConvertsToTheAnsiCodePageEveryTime)
{
    const XKVO e(KVO::String(u"Caf\u00E9"), 0);
    const std::string first = e.what();
    const std::string second = e.what();
    EXPECT_EQ(first, "Caf\xE9");
    EXPECT_EQ(first, second);

    platform::SetAnsiCodePage(CP_UTF8);
    EXPECT_STREQ(e.what(), "Caf\xC3\xA9");
    platform::SetAnsiCodePage(CP_WINDOWS_1252);
    EXPECT_STREQ(e.what(), "Caf\xE9");
}

namespace {
class DerivedError : public XKVO {
public:
    DerivedError() : XKVO(KVO::String(u"base"), 0) {}
    KVO::String GetDescription() const override { return KVO::String(u"derived"); }
};
}

TEST(XKVO, WhatUsesTheDerivedDescriptionAndCopiesStayApart)
{
    const DerivedError derived;
    EXPECT_STREQ(derived.what(), "derived");

    const XKVO original(KVO::String(u"shared"), 0);
    const XKVO copy(original); // shares the description
    EXPECT_STREQ(copy.what(), "shared");
    EXPECT_STREQ(original.what(), "shared");
    EXPECT_EQ(Text(original.GetDescription()), u"shared");
}

TEST(Xmsg, CarriesItsMessage)
{
    const xmsg e("KVO::String size too big");
    const xmsg copy(e);
    EXPECT_STREQ(copy.what(), "KVO::String size too big");
}

TEST(MakeHostTextFromVariant, ConversionFailureThrowsAndNumbersBecomeHostTexts)
{
    VARIANT unknown;
    VariantInit(&unknown);
    unknown.vt = VT_UNKNOWN;
    unknown.punkVal = nullptr;
    IUnknown* out = reinterpret_cast<IUnknown*>(std::uintptr_t{0x1234});
    try {
        KVO::MakeHostTextFromVariant(unknown, &out);
        FAIL() << "no exception";
    } catch (const XKVO& e) {
        EXPECT_EQ(e.Code(), DISP_E_TYPEMISMATCH);
    }

    // Outside a host the framework library beside the program is loaded on demand; its registry makes the text.
    VARIANT number;
    VariantInit(&number);
    number.vt = VT_I4;
    number.lVal = 42;
    ASSERT_EQ(KVO::MakeHostTextFromVariant(number, &out), S_OK);
    ASSERT_NE(out, nullptr);
    IKVOString* text = nullptr;
    ASSERT_EQ(out->QueryInterface(IID_IKVOString, reinterpret_cast<void**>(&text)), S_OK);
    EXPECT_EQ(std::u16string(text->GetText()), u"42");
    text->Release();
    out->Release();
    EXPECT_EQ(KVO::MakeHostTextFromVariant(number, nullptr), E_POINTER);
}
