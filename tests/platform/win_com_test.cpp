#include "platform/com/classobjects.h"
#include "platform/com/oleauto.h"
#include "platform/win/windows.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

TEST(CodePage, Windows1252RoundTripsItsSpecialRow)
{
    const char bytes[] = "\x80\x8A\x9F\xE9\x81";
    std::array<char16_t, 8> units{};
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, bytes, -1, units.data(), 8), 6);
    EXPECT_EQ(units[0], 0x20AC);
    EXPECT_EQ(units[1], 0x0160);
    EXPECT_EQ(units[2], 0x0178);
    EXPECT_EQ(units[3], 0x00E9);
    EXPECT_EQ(units[4], 0x0081); // undefined in 1252: passes through as its C1 code
    char back[8] = {};
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, units.data(), -1, back, 8, nullptr, nullptr), 6);
    EXPECT_STREQ(back, bytes);
}

TEST(CodePage, UnmappableUnitsBecomeTheDefaultCharacter)
{
    const char16_t text[] = u"a\u4E2Db";
    char out[8] = {};
    BOOL used = FALSE;
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, out, 8, nullptr, &used), 4);
    EXPECT_STREQ(out, "a?b");
    EXPECT_TRUE(used);
}

TEST(CodePage, Utf8WithSurrogatesAndBadBytes)
{
    EXPECT_EQ(platform::Utf8ToUtf16("\xF0\x9F\x98\x80"), std::u16string(u"\U0001F600"));
    EXPECT_EQ(platform::Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(platform::Utf8ToUtf16("a\xC3"), std::u16string(u"a\uFFFD"));
    EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(CodePage, Utf8RefusesOverlongFormsSurrogatesAndValuesBeyondUnicode)
{
    const struct {
        const char* bytes;
        std::u16string expected;
    } cases[] = {
        {"\xC0\xA3", u"\uFFFD"},                 // overlong "#"
        {"\xE0\x80\xAF", u"\uFFFD"},             // overlong "/"
        {"\xF0\x80\x80\xAF", u"\uFFFD"},         // overlong "/" in four bytes
        {"\xC1\xBF", u"\uFFFD"},                 // overlong U+007F
        {"\xE0\x9F\xBF", u"\uFFFD"},             // overlong U+07FF
        {"\xF0\x8F\xBF\xBF", u"\uFFFD"},         // overlong U+FFFF
        {"\xED\xA0\x80", u"\uFFFD"},             // U+D800
        {"\xED\xBF\xBF", u"\uFFFD"},             // U+DFFF
        {"\xF4\x90\x80\x80", u"\uFFFD"},         // U+110000
        {"a\xC0\xAF" "b", u"a\uFFFD" u"b"},
        // The shortest forms at each boundary still decode.
        {"\xC2\x80", u"\u0080"},
        {"\xE0\xA0\x80", u"\u0800"},
        {"\xED\x9F\xBF", u"\uD7FF"},
        {"\xEE\x80\x80", u"\uE000"},
        {"\xF0\x90\x80\x80", u"\U00010000"},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::Utf8ToUtf16(c.bytes), c.expected) << c.bytes;
    }
}

TEST(Bstr, KeepsTheLengthPrefixContract)
{
    BSTR text = SysAllocString(u"abc");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 3u);
    EXPECT_EQ(SysStringByteLen(text), 6u);
    EXPECT_EQ(text[3], 0);
    SysFreeString(text);

    const char16_t embedded[] = {u'a', 0, u'b'};
    BSTR withNul = SysAllocStringLen(embedded, 3);
    EXPECT_EQ(SysStringLen(withNul), 3u);
    EXPECT_EQ(withNul[2], u'b');
    SysFreeString(withNul);

    BSTR odd = SysAllocStringByteLen("xyz", 3);
    EXPECT_EQ(SysStringByteLen(odd), 3u);
    EXPECT_EQ(SysStringLen(odd), 1u);
    SysFreeString(odd);

    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(Variant, NumbersBecomeTextInTheUsLocale)
{
    VARIANT in;
    VARIANT out;
    VariantInit(&in);
    VariantInit(&out);
    in.vt = VT_R8;
    in.dblVal = 1234.5;
    ASSERT_EQ(VariantChangeTypeEx(&out, &in, 1033, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::u16string(out.bstrVal), u"1234.5");
    in.vt = VT_I4;
    in.lVal = -42;
    ASSERT_EQ(VariantChangeTypeEx(&out, &in, 1033, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::u16string(out.bstrVal), u"-42");
    VariantClear(&out);

    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(u"x12");
    EXPECT_EQ(VariantChangeTypeEx(&out, &text, 1033, 0, VT_R8), DISP_E_TYPEMISMATCH);
    VariantClear(&text);
}

TEST(Variant, TextToSixtyFourBitIntegersIsExact)
{
    const struct {
        const char16_t* text;
        VARTYPE type;
        HRESULT result;
        LONGLONG signedValue;
        ULONGLONG unsignedValue;
    } cases[] = {
        {u"9223372036854775807", VT_I8, S_OK, 9223372036854775807LL, 0},
        {u"-9223372036854775808", VT_I8, S_OK, static_cast<LONGLONG>(0x8000000000000000ULL), 0},
        {u" +9007199254740993 ", VT_I8, S_OK, 9007199254740993LL, 0}, // 2^53 + 1: no double holds it
        {u"18446744073709551615", VT_UI8, S_OK, 0, 18446744073709551615ULL},
        {u"9223372036854775808", VT_I8, DISP_E_OVERFLOW, 0, 0},
        {u"-1", VT_UI8, DISP_E_OVERFLOW, 0, 0},
        {u"12.6", VT_I8, S_OK, 13, 0}, // not an integer text: rounded as before
        {u"12x", VT_I8, DISP_E_TYPEMISMATCH, 0, 0},
    };
    for (const auto& c : cases) {
        VARIANT text;
        VariantInit(&text);
        text.vt = VT_BSTR;
        text.bstrVal = SysAllocString(c.text);
        VARIANT out;
        VariantInit(&out);
        EXPECT_EQ(VariantChangeTypeEx(&out, &text, 1033, 0, c.type), c.result) << platform::Utf16ToUtf8(c.text);
        if (c.result == S_OK) {
            EXPECT_EQ(out.vt, c.type);
            if (c.type == VT_I8) {
                EXPECT_EQ(out.llVal, c.signedValue) << platform::Utf16ToUtf8(c.text);
            } else {
                EXPECT_EQ(out.ullVal, c.unsignedValue);
            }
        }
        VariantClear(&out);
        VariantClear(&text);
    }
}

TEST(Guid, TextFormRoundTrips)
{
    const GUID guid{0x12345678, 0x9ABC, 0xDEF0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
    EXPECT_EQ(platform::GuidToText(guid), u"{12345678-9ABC-DEF0-0123-456789ABCDEF}");
    GUID back{};
    ASSERT_EQ(CLSIDFromString(u"{12345678-9abc-def0-0123-456789abcdef}", &back), S_OK);
    EXPECT_EQ(back, guid);
    EXPECT_NE(CLSIDFromString(u"{12345678-9abc-def0-0123-456789abcdeg}", &back), S_OK);
}

TEST(Resources, StringTableBlocksFollowTheWin32Layout)
{
    static int anchor;
    const HINSTANCE self = platform::ModuleHandleFromAddress(&anchor);
    const platform::StringTableEntry entries[] = {{17, u"seventeen"}, {31, u"last of block"}, {40000, u"far"}};
    platform::RegisterStringTable(self, entries);
    char16_t buffer[32];
    EXPECT_EQ(LoadStringW(self, 17, buffer, 32), 9);
    EXPECT_EQ(std::u16string(buffer), u"seventeen");
    EXPECT_EQ(LoadStringW(self, 31, buffer, 32), 13);
    EXPECT_EQ(LoadStringW(self, 40000, buffer, 4), 3); // cut to the buffer
    EXPECT_EQ(std::u16string(buffer), u"far");
    EXPECT_EQ(LoadStringW(self, 18, buffer, 32), 0);  // empty entry in an existing block
    EXPECT_EQ(LoadStringW(self, 100, buffer, 32), 0); // block missing
    const HRSRC block = FindResourceW(self, MAKEINTRESOURCEW(2), RT_STRING);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(SizeofResource(self, block), (16 + 9 + 13) * 2u);
    platform::UnregisterResources(self);
    EXPECT_EQ(LoadStringW(self, 17, buffer, 32), 0);
}

TEST(Errors, SystemTextsEndWithALineBreakAndFacility7MapsToWin32)
{
    char16_t buffer[512];
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 2, 0x400,
                                   buffer, 512, nullptr);
    ASSERT_GT(n, 2u);
    EXPECT_EQ(buffer[n - 1], u'\n');
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x80070002u, 0x400, buffer, 512, nullptr), n);
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0xA0041234u, 0x400, buffer, 512, nullptr), 0u);
}

TEST(MessageBox, HookAnswersAndDefaultsFollowTheButtons)
{
    std::u16string seen;
    auto previous = platform::SetMessageBoxHook([&](const platform::MessageBoxCall& call) {
        seen = call.text;
        return IDNO;
    });
    EXPECT_EQ(MessageBoxW(nullptr, u"Save?", u"Title", MB_YESNO), IDNO);
    EXPECT_EQ(seen, u"Save?");
    platform::SetMessageBoxHook(std::move(previous));
    EXPECT_EQ(platform::DefaultMessageBoxAnswer(MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(platform::DefaultMessageBoxAnswer(MB_RETRYCANCEL), IDRETRY);
}

namespace {
// Counts its references, to see what an array holds.
struct Counted final : IUnknown {
    int references = 1;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return static_cast<ULONG>(++references); }
    ULONG Release() override { return static_cast<ULONG>(--references); }
};
} // namespace

TEST(SafeArray, ElementsAreOwnedCopiedAndBoundsChecked)
{
    EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 3), nullptr) << "no element type";
    SAFEARRAY* numbers = SafeArrayCreateVector(VT_I4, 1, 3);
    ASSERT_NE(numbers, nullptr);
    EXPECT_EQ(SafeArrayGetDim(numbers), 1u);
    LONG low = 0;
    LONG high = 0;
    EXPECT_EQ(SafeArrayGetLBound(numbers, 1, &low), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(numbers, 1, &high), S_OK);
    EXPECT_EQ(low, 1);
    EXPECT_EQ(high, 3);
    EXPECT_EQ(SafeArrayGetUBound(numbers, 2, &high), DISP_E_BADINDEX);
    for (LONG i = 1; i <= 3; ++i) {
        const LONG value = i * 10;
        EXPECT_EQ(SafeArrayPutElement(numbers, &i, &value), S_OK);
    }
    const LONG outside[] = {0, 4};
    LONG value = 0;
    for (const LONG index : outside) {
        EXPECT_EQ(SafeArrayPutElement(numbers, &index, &value), DISP_E_BADINDEX) << index;
        EXPECT_EQ(SafeArrayGetElement(numbers, &index, &value), DISP_E_BADINDEX) << index;
    }
    const LONG second = 2;
    EXPECT_EQ(SafeArrayGetElement(numbers, &second, &value), S_OK);
    EXPECT_EQ(value, 20);

    // A variant of an array: copying copies the array, clearing frees it.
    VARIANT held;
    VariantInit(&held);
    held.vt = VT_ARRAY | VT_I4;
    held.parray = numbers;
    VARIANT copy;
    VariantInit(&copy);
    ASSERT_EQ(VariantCopy(&copy, &held), S_OK);
    ASSERT_NE(copy.parray, numbers);
    const LONG changed = 99;
    SafeArrayPutElement(numbers, &second, &changed);
    SafeArrayGetElement(copy.parray, &second, &value);
    EXPECT_EQ(value, 20) << "the copy is its own";
    EXPECT_EQ(SafeArrayLock(numbers), S_OK);
    EXPECT_EQ(SafeArrayDestroy(numbers), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnlock(numbers), S_OK);
    EXPECT_EQ(SafeArrayUnlock(numbers), E_UNEXPECTED);
    EXPECT_EQ(VariantClear(&held), S_OK);
    EXPECT_EQ(held.vt, VT_EMPTY);
    VariantClear(&copy);

    // Texts are copied in and out; interfaces are held by the array and by each copy taken out.
    SAFEARRAY* texts = SafeArrayCreateVector(VT_BSTR, 0, 2);
    BSTR text = SysAllocString(u"one");
    const LONG first = 0;
    ASSERT_EQ(SafeArrayPutElement(texts, &first, &text), S_OK);
    SysFreeString(text);
    BSTR back = nullptr;
    ASSERT_EQ(SafeArrayGetElement(texts, &first, &back), S_OK);
    EXPECT_EQ(std::u16string(back), u"one");
    SysFreeString(back);
    EXPECT_EQ(SafeArrayDestroy(texts), S_OK);

    Counted object;
    SAFEARRAY* objects = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
    IUnknown* given = &object;
    SafeArrayPutElement(objects, &first, &given);
    EXPECT_EQ(object.references, 2);
    SAFEARRAY* objectsCopy = nullptr;
    ASSERT_EQ(SafeArrayCopy(objects, &objectsCopy), S_OK);
    EXPECT_EQ(object.references, 3);
    SafeArrayDestroy(objects);
    SafeArrayDestroy(objectsCopy);
    EXPECT_EQ(object.references, 1);

    // Variants of variants.
    SAFEARRAY* mixed = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    VARIANT element;
    VariantInit(&element);
    element.vt = VT_BSTR;
    element.bstrVal = SysAllocString(u"two");
    SafeArrayPutElement(mixed, &first, &element);
    VariantClear(&element);
    const LONG last = 1;
    VARIANT out;
    ASSERT_EQ(SafeArrayGetElement(mixed, &first, &out), S_OK);
    EXPECT_EQ(out.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(out.bstrVal), u"two");
    VariantClear(&out);
    ASSERT_EQ(SafeArrayGetElement(mixed, &last, &out), S_OK);
    EXPECT_EQ(out.vt, VT_EMPTY);
    SafeArrayDestroy(mixed);
}

namespace {
struct ITest : IUnknown {
    virtual int Value() = 0;
};
constexpr IID IID_ITest{0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}};
int g_destroyed = 0;
struct TestObject : platform::UnknownImpl<ITest> {
    TestObject() : UnknownImpl(IID_ITest) {}
    ~TestObject() override { ++g_destroyed; }
    int Value() override { return 7; }
};
}

TEST(ClassObjects, RegistryHandsOutQueriedInterfaces)
{
    platform::ResetClassObjects();
    const CLSID clsid{0xAA, 0, 0, {}};
    auto* object = new TestObject;
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(clsid, object, CLSCTX_ALL, REGCLS_MULTIPLEUSE, &cookie), S_OK);
    ITest* found = nullptr;
    ASSERT_EQ(CoGetClassObject(clsid, CLSCTX_ALL, nullptr, IID_ITest, reinterpret_cast<void**>(&found)), S_OK);
    EXPECT_EQ(found->Value(), 7);
    found->Release();
    void* none = nullptr;
    EXPECT_EQ(CoGetClassObject(IID_ITest, CLSCTX_ALL, nullptr, IID_ITest, &none), REGDB_E_CLASSNOTREG);
    g_destroyed = 0;
    EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(g_destroyed, 1);
}

#include "platform/win/locale.h"

TEST(Locale, ProfilesAnswerAndFailingFieldsFail)
{
    char16_t buffer[32];
    ASSERT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 32), 2);
    EXPECT_EQ(std::u16string(buffer), u".");
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, nullptr, 0), 11);
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, buffer, 5), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    auto german = platform::LocaleProfile::German();
    german.failing.insert(LOCALE_SLIST);
    platform::SetUserLocale(german);
    char narrow[8];
    ASSERT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, narrow, 8), 2);
    EXPECT_STREQ(narrow, ",");
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, buffer, 32), 0);
    ASSERT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ILANGUAGE, buffer, 32), 5);
    EXPECT_EQ(std::u16string(buffer), u"0407");
    // The invariant locale keeps answering whatever the user chose.
    ASSERT_EQ(GetLocaleInfoW(LOCALE_INVARIANT, LOCALE_SDECIMAL, buffer, 32), 2);
    EXPECT_EQ(std::u16string(buffer), u".");

    EXPECT_EQ(platform::CrtNumericLocale(), "C");
    EXPECT_EQ(platform::SetCrtNumericLocale(""), "German_Germany.1252");
    EXPECT_EQ(platform::SetCrtNumericLocale("Klingon"), "");
    platform::SetCrtNumericLocale("C");
    platform::SetUserLocale(platform::LocaleProfile::EnglishUS());
}

TEST(MessageBox, UnattendedBoxesNeverRetry)
{
    auto previous = platform::SetMessageBoxHook(nullptr);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxW(nullptr, u"Disk full", u"Save", MB_RETRYCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxW(nullptr, u"Disk full", u"Save", MB_ABORTRETRYIGNORE | MB_DEFBUTTON2), IDABORT);
    EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Q", MB_YESNO), IDYES);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("Save: Disk full"), std::string::npos);
    platform::SetMessageBoxHook(std::move(previous));
}

TEST(Resources, TheProgramsHandleIsTheBaseOfItsOwnCode)
{
    static int inProgram;
    EXPECT_EQ(GetModuleHandleW(nullptr), platform::ModuleHandleFromAddress(&inProgram));
    const platform::StringTableEntry entries[] = {{5, u"from the program"}};
    platform::RegisterStringTable(GetModuleHandleW(nullptr), entries);
    char16_t buffer[32];
    EXPECT_EQ(LoadStringW(nullptr, 5, buffer, 32), 16);
    platform::UnregisterResources(GetModuleHandleW(nullptr));
}
