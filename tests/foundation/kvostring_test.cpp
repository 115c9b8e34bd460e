#include "foundation/kvostring.h"
#include "foundation/xkvo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

using KVO::String;

namespace {

LONG Count(const String& s) { return s.Rep()->refCount; }

// A host-side string object that is not ours. It may claim our type id to test that the claim alone is not trusted.
class ForeignString final : public IAutoKVOString {
public:
    ForeignString(std::u16string text, bool nullBstr, int typeId = 3) : text_(std::move(text)), nullBstr_(nullBstr),
                                                                         typeId_(typeId)
    {
    }

    LONG refs = 1;
    HRESULT copyResult = S_OK;
    LONG reportedLength = -2; // -2: the true length
    LONG unitSize = 2;
    std::string bytes;        // the text for unit size 1

    HRESULT QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; } // the test owns the object
    HRESULT AssignBSTR(BSTR) override { return E_NOTIMPL; }
    HRESULT GetBSTR(BSTR* out) override
    {
        *out = nullBstr_ ? nullptr : SysAllocStringLen(text_.data(), static_cast<UINT>(text_.size()));
        return S_OK;
    }
    HRESULT IsEmpty(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT GetLength(LONG*) override { return E_NOTIMPL; }
    HRESULT IsEqual(IAutoKVOString*, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT IsShared(VARIANT_BOOL*) override { return E_NOTIMPL; }
    int GetTypeId() override { return typeId_; }
    HRESULT CopyText(ULONG bufferBytes, void* buffer) override
    {
        if (FAILED(copyResult)) {
            return copyResult;
        }
        if (unitSize == 1) {
            std::memcpy(buffer, bytes.c_str(), std::min<std::size_t>(bufferBytes, bytes.size() + 1));
            return S_OK;
        }
        const std::size_t units = std::min<std::size_t>(bufferBytes / 2, text_.size() + 1);
        std::memcpy(buffer, text_.c_str(), units * 2);
        return S_OK;
    }
    HRESULT GetLengthAndUnitSize(LONG* length, LONG* size) override
    {
        *length = reportedLength != -2 ? reportedLength
                                       : static_cast<LONG>(unitSize == 1 ? bytes.size() : text_.size());
        *size = unitSize;
        return S_OK;
    }
    HRESULT GetCapacity(LONG*) override { return E_NOTIMPL; }
    HRESULT CreateRep(LONG, IAutoKVOString**) override { return E_NOTIMPL; }
    HRESULT ToVariant(VARIANT*) override { return E_NOTIMPL; }
    LONG Length() override { return static_cast<LONG>(text_.size()); }
    HRESULT Destroy() override { return S_OK; }
    HRESULT Reserved() override { return 0; }
    // A foreign object claiming our id must never be read here: answer a text that would compare differently.
    const char16_t* GetText() override { return u"#not-read#"; }
    void DeleteThis() override {}

private:
    std::u16string text_;
    bool nullBstr_;
    int typeId_;
};

} // namespace

TEST(KvoString, EmptyStringsAndConstructorCapacities)
{
    const String a;
    const String b(static_cast<const char16_t*>(nullptr));
    const String c(u"");
    const String d(u"abc", 0);
    EXPECT_EQ(a.Rep(), KVOString::StringRep::GetEmptyRep());
    EXPECT_EQ(b.Rep(), a.Rep());
    EXPECT_EQ(c.Rep(), a.Rep());
    EXPECT_EQ(d.Rep(), a.Rep());
    EXPECT_EQ(a.Capacity(), 9);
    EXPECT_EQ(a.Length(), 0);
    EXPECT_TRUE(a.IsEmpty());

    const String fill0 = String::Fill(5, 0);
    EXPECT_EQ(fill0.Length(), 0);
    EXPECT_EQ(fill0.Capacity(), 8);
    EXPECT_NE(fill0.Rep(), a.Rep());
    const String fillx = String::Fill(10, u'x');
    EXPECT_EQ(fillx.Capacity(), 11);
    EXPECT_EQ(fillx, u"xxxxxxxxxx");

    const String seven(u"1234567");
    EXPECT_EQ(seven.Capacity(), 8);
    EXPECT_EQ(seven.Rep()->length, 8u);
    const String eight(u"12345678");
    EXPECT_EQ(eight.Capacity(), 9);

    const String counted(u"ab\0cd", 5);
    EXPECT_EQ(counted, u"ab");
    EXPECT_EQ(counted.Capacity(), 8);
    EXPECT_EQ(String(u"abcdef", 3), u"abc");
    try {
        String bad(u"abc", -1);
        FAIL() << "a negative count must throw";
    } catch (const xmsg& e) {
        EXPECT_STREQ(e.what(), "KVO::String size too big");
    }

    const String fromStd(std::u16string(u""));
    EXPECT_NE(fromStd.Rep(), a.Rep()); // always its own representation
    EXPECT_EQ(fromStd.Capacity(), 8);
    const String wide(std::wstring(L"a\U0001F600"));
    EXPECT_EQ(wide.Length(), 3);
    EXPECT_EQ(wide, u"a\U0001F600");
}

TEST(KvoString, CopyOnWriteSharesAndCounts)
{
    String a(u"hello");
    const LONG start = Count(a);
    EXPECT_EQ(start, 1);
    String b = a;
    EXPECT_EQ(b.c_str(), a.c_str());
    EXPECT_EQ(Count(a), 2);
    b += u'!';
    EXPECT_EQ(a, u"hello");
    EXPECT_EQ(b, u"hello!");
    EXPECT_NE(b.Rep(), a.Rep());
    EXPECT_EQ(Count(a), 1);
    EXPECT_EQ(Count(b), 1);

    String c = a;
    c = c; // self-assignment keeps the count
    EXPECT_EQ(Count(a), 2);
    c.MakeUnique();
    EXPECT_EQ(c.Capacity(), a.Capacity());
    EXPECT_EQ(Count(a), 1);

    String moved(std::move(c));
    EXPECT_EQ(moved, u"hello");
    EXPECT_TRUE(c.IsEmpty());

    // Empty strings hold references to the shared empty representation.
    const LONG emptyCount = KVOString::StringRep::GetEmptyRep()->refCount;
    {
        String e1, e2;
        EXPECT_EQ(KVOString::StringRep::GetEmptyRep()->refCount, emptyCount + 2);
    }
    EXPECT_EQ(KVOString::StringRep::GetEmptyRep()->refCount, emptyCount);
}

TEST(KvoString, GrowthRules)
{
    String s(u"1234567");
    EXPECT_EQ(s.Capacity(), 8);
    s.Append(u'8');
    EXPECT_EQ(s.Capacity(), 13); // 1.5 x 9 = 13.5
    EXPECT_EQ(s, u"12345678");
    s.Append(u"abcd");
    EXPECT_EQ(s.Capacity(), 13);
    s.Append(String(u"x"));
    EXPECT_EQ(s.Capacity(), 21); // 1.5 x 14
    s.Append(s);
    EXPECT_EQ(s, u"12345678abcdx12345678abcdx");

    String e;
    e.Append(u"ab");
    EXPECT_EQ(e.Capacity(), 9); // the empty representation's copy keeps capacity 9
    EXPECT_EQ(String().Capacity(), 9);

    String t(u"abcdef");
    t.Append(t.c_str() + 3); // a piece of itself
    EXPECT_EQ(t, u"abcdefdef");

    // Replace grows to exactly the needed length.
    String r(u"1234567");
    r.Replace(1, 1, String(u"xyz"));
    EXPECT_EQ(r, u"1xyz34567");
    EXPECT_EQ(r.Capacity(), 10);

    String reserved(u"ab");
    reserved.Reserve(20);
    EXPECT_EQ(reserved.Capacity(), 20);
    EXPECT_EQ(reserved, u"ab");
    reserved.ResetCapacity(3);
    EXPECT_EQ(reserved.Capacity(), 8);
    EXPECT_TRUE(reserved.IsEmpty());

    String shared(u"abcdefghij");
    String other = shared;
    KVOString::MakeEmpty(other);
    EXPECT_EQ(other.Capacity(), 11);
    EXPECT_TRUE(other.IsEmpty());
    EXPECT_EQ(shared, u"abcdefghij");
    KVOString::AssignChar(other, u'q');
    EXPECT_EQ(other, u"q");
    EXPECT_EQ(other.Capacity(), 11); // private: written in place
    String third = other;
    KVOString::AssignChar(third, u'z');
    EXPECT_EQ(third.Capacity(), 8);
    EXPECT_EQ(other, u"q");
}

TEST(KvoString, EditingOperations)
{
    EXPECT_EQ(String(u"abcdef").EraseRange(2, 99), u"ab");
    EXPECT_EQ(String(u"abcdef").EraseRange(1, 3), u"adef");
    EXPECT_EQ(String(u"abcdef").EraseRange(3, 3), u"abcdef");
    // A start beyond the text changes nothing rather than writing past it.
    String beyond(u"abc");
    beyond.EraseRange(10, 20);
    EXPECT_EQ(beyond, u"abc");
    EXPECT_EQ(beyond.Length(), 3);

    EXPECT_EQ(String(u"abc").Replace(3, 99, String(u"de")), u"abcde");
    EXPECT_EQ(String(u"abc").Replace(50, 2, String(u"de")), u"abcde"); // appends instead of writing past the end
    EXPECT_EQ(String(u"abcdef").Replace(1, 2, String(u"X")), u"aXdef");
    EXPECT_EQ(String(u"abcdef").Replace(4, 99, String(u"XYZ")), u"abcdXYZ");
    EXPECT_EQ(String(u"abcdef").Erase(1, 4), u"af");
    String self(u"abc");
    self.Replace(1, 1, self);
    EXPECT_EQ(self, u"aabcc");

    const String text(u"abcdef");
    EXPECT_EQ(text.Substr(2, 3), u"cde");
    EXPECT_EQ(text.Substr(4, 10), u"ef");
    EXPECT_TRUE(text.Substr(6, 1).IsEmpty());
    EXPECT_EQ(text.FindLastOf(u"ab", 2), 1);
    EXPECT_EQ(text.FindLastOf(u"xy", 2), -1);
    EXPECT_EQ(text.FindLastOf(u"a", 0), -1);
    EXPECT_EQ(String().FindLastOf(u"a", 1), -1);

    String semi(u"1;2;3");
    const String before = semi;
    semi.ReplaceSemicolons();
    EXPECT_EQ(semi, u"1,2,3");
    EXPECT_EQ(before, u"1;2;3");

    EXPECT_TRUE(String(u"ab") < String(u"abc"));
    EXPECT_FALSE(String(u"abc") < String(u"ab"));
    EXPECT_TRUE(String(u"a") < String(u"\u00e9"));
    EXPECT_TRUE(String(u"Z") < String(u"a"));
    EXPECT_FALSE(String(u"ab") < String(u"ab"));
    EXPECT_TRUE(String(u"ab") != String(u"ac"));
}

TEST(KvoString, PrepareBufferAndAnsi)
{
    String s(u"something long enough");
    const int capacity = s.Capacity();
    {
        auto buffer = s.PrepareBuffer(5);
        EXPECT_EQ(buffer.Capacity(), capacity); // reused
        std::memcpy(buffer.Data(), u"hi\0xx", 10);
    }
    EXPECT_EQ(s, u"hi");
    EXPECT_EQ(s.Length(), 2);

    String shared = s;
    {
        auto buffer = shared.PrepareBuffer(10);
        EXPECT_EQ(buffer.Capacity(), 11);
        for (int i = 0; i < 11; ++i) {
            buffer.Data()[i] = u'x'; // no NUL: the capacity cuts it
        }
        buffer.Commit();
    }
    EXPECT_EQ(shared.Length(), 10);
    EXPECT_EQ(s, u"hi");

    const String latin(u"caf\u00e9 \u20ac\u4e2d");
    EXPECT_STREQ(latin.Ansi(), "caf\xe9 \x80?");
    const String fromAnsi("caf\xe9 \x80");
    EXPECT_EQ(fromAnsi, u"caf\u00e9 \u20ac");
    EXPECT_EQ(fromAnsi.Capacity(), 8);
    EXPECT_EQ(String("").Rep(), String().Rep());
    String changed = latin;
    changed.Append(u"!");
    EXPECT_STREQ(changed.Ansi(), "caf\xe9 \x80?!");
    EXPECT_EQ(latin.ToUtf8(), "caf\xc3\xa9 \xe2\x82\xac\xe4\xb8\xad");
}

TEST(KvoString, BstrRoundTrips)
{
    IKVOString* rep = String(u"abc").GetInterface();
    BSTR bstr = nullptr;
    ASSERT_EQ(rep->GetBSTR(&bstr), S_OK);
    EXPECT_EQ(SysStringLen(bstr), 3u);
    EXPECT_EQ(std::u16string(bstr), u"abc");
    ASSERT_EQ(rep->GetBSTR(&bstr), S_OK); // frees the one already there
    const String back = String::AttachBSTR(bstr);
    EXPECT_EQ(back, u"abc");
    EXPECT_EQ(back.Capacity(), 8);
    EXPECT_EQ(rep->GetBSTR(nullptr), E_FAIL);
    rep->Release();

    BSTR none = SysAllocString(u"x");
    IKVOString* empty = String().GetInterface();
    ASSERT_EQ(empty->GetBSTR(&none), S_OK);
    EXPECT_EQ(none, nullptr);
    empty->Release();

    EXPECT_TRUE(String::AttachBSTR(nullptr).IsEmpty());
    const String withNul = String::AttachBSTR(SysAllocStringLen(u"ab\0", 3));
    EXPECT_EQ(withNul.Length(), 2);
    // An embedded NUL is kept by AttachBSTR (the last unit is forced to 0) and comes back through GetBSTR.
    const String embedded = String::AttachBSTR(SysAllocStringLen(u"a\0b", 3));
    EXPECT_EQ(embedded.Length(), 3);
    EXPECT_EQ(embedded.c_str()[3], 0);
    BSTR again = nullptr;
    IKVOString* embeddedRep = embedded.GetInterface();
    embeddedRep->GetBSTR(&again);
    EXPECT_EQ(std::u16string(again, SysStringLen(again)), std::u16string(u"a\0b", 3));
    SysFreeString(again);
    embeddedRep->Release();

    // AssignBSTR writes in place only into a private representation that is large enough.
    String target = String::Fill(10, u'-');
    IKVOString* t = target.GetInterface();
    EXPECT_EQ(t->AssignBSTR(nullptr), E_FAIL); // shared by the string and the interface
    t->Release();
    IKVOString* own = nullptr;
    {
        String temp = String::Fill(10, u'-');
        own = temp.GetInterface();
    }
    BSTR small = SysAllocString(u"xy");
    EXPECT_EQ(own->AssignBSTR(small), S_OK);
    EXPECT_EQ(std::u16string(own->GetText()), u"xy");
    EXPECT_EQ(own->Length(), 2);
    BSTR fits = SysAllocString(u"0123456789");
    EXPECT_EQ(own->AssignBSTR(fits), S_OK); // 10 units and the NUL fill capacity 11
    EXPECT_EQ(own->Length(), 10);
    BSTR big = SysAllocString(u"0123456789A");
    EXPECT_EQ(own->AssignBSTR(big), E_FAIL); // the representation never grows here
    EXPECT_EQ(own->Length(), 10);
    BSTR nul = SysAllocStringLen(u"p\0qrs", 5);
    EXPECT_EQ(own->AssignBSTR(nul), S_OK);
    EXPECT_EQ(own->Length(), 1); // the length ends at the embedded NUL
    EXPECT_EQ(own->AssignBSTR(nullptr), S_OK);
    EXPECT_EQ(own->Length(), 0);
    own->Release();
    SysFreeString(small);
    SysFreeString(fits);
    SysFreeString(big);
    SysFreeString(nul);
}

TEST(KvoString, InterfaceSlots)
{
    const String s(u"abc");
    IKVOString* rep = s.GetInterface();
    EXPECT_EQ(Count(s), 2);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(rep->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    for (const IID* iid : {&IID_IUnknown, &IID_IAutoKVOString, &IID_IKVOString}) {
        ASSERT_EQ(rep->QueryInterface(*iid, &out), S_OK);
        EXPECT_EQ(out, static_cast<IKVOString*>(rep));
        static_cast<IUnknown*>(out)->Release();
    }
    EXPECT_EQ(rep->GetTypeId(), 9);
    VARIANT_BOOL flag = 0;
    rep->IsShared(&flag);
    EXPECT_EQ(flag, VARIANT_TRUE);
    rep->IsEmpty(&flag);
    EXPECT_EQ(flag, VARIANT_FALSE);
    LONG n = 0, unit = 0;
    rep->GetLength(&n);
    EXPECT_EQ(n, 3);
    rep->GetLengthAndUnitSize(&n, &unit);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(unit, 2);
    rep->GetCapacity(&n);
    EXPECT_EQ(n, 7);

    char16_t buffer[4] = {u'z', u'z', u'z', u'z'};
    EXPECT_EQ(rep->CopyText(7, buffer), E_FAIL); // needs 2 x length = 8 bytes
    EXPECT_EQ(buffer[0], u'z');
    EXPECT_EQ(rep->CopyText(8, buffer), S_OK);
    EXPECT_EQ(std::u16string(buffer), u"abc");

    VARIANT v;
    ASSERT_EQ(rep->ToVariant(&v), S_OK);
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(v.bstrVal), u"abc");
    VariantClear(&v);

    IAutoKVOString* fresh = nullptr;
    ASSERT_EQ(rep->CreateRep(20, &fresh), S_OK);
    fresh->GetCapacity(&n);
    EXPECT_EQ(n, 20);
    EXPECT_EQ(fresh->Length(), 0);
    fresh->Release();
    ASSERT_EQ(rep->CreateRep(2, &fresh), S_OK);
    fresh->GetCapacity(&n);
    EXPECT_EQ(n, 7);
    fresh->Release();
    EXPECT_EQ(rep->Reserved(), 0);
    rep->Release();
    EXPECT_EQ(Count(s), 1);
}

TEST(KvoString, IsEqualAndCompareBstr)
{
    IKVOString* empty = String().GetInterface();
    IKVOString* abc = String(u"abc").GetInterface();
    IKVOString* abc2 = String(u"abc").GetInterface();
    VARIANT_BOOL eq = 0;

    ForeignString nullBstr(u"", true);
    ForeignString emptyBstr(u"", false);
    empty->IsEqual(&nullBstr, &eq);
    EXPECT_EQ(eq, VARIANT_TRUE);
    empty->IsEqual(&emptyBstr, &eq);
    EXPECT_EQ(eq, VARIANT_FALSE);

    abc->IsEqual(abc, &eq);
    EXPECT_EQ(eq, VARIANT_TRUE);
    abc->IsEqual(abc2, &eq);
    EXPECT_EQ(eq, VARIANT_TRUE);
    abc->IsEqual(empty, &eq);
    EXPECT_EQ(eq, VARIANT_FALSE);

    // Claiming our type id is not enough to be read in place: the text is asked for through its BSTR.
    ForeignString impostor(u"abc", false, 9);
    abc->IsEqual(&impostor, &eq);
    EXPECT_EQ(eq, VARIANT_TRUE);
    ForeignString other(u"abd", false);
    abc->IsEqual(&other, &eq);
    EXPECT_EQ(eq, VARIANT_FALSE);

    const char16_t text[] = u"abc";
    BSTR ab = SysAllocString(u"ab");
    BSTR abd = SysAllocString(u"abd");
    BSTR same = SysAllocString(u"abc");
    BSTR zero = SysAllocString(u"");
    EXPECT_EQ(KVOString::CompareBSTR(u"", 1, nullptr), 0);
    EXPECT_EQ(KVOString::CompareBSTR(u"", 1, zero), -1);
    EXPECT_EQ(KVOString::CompareBSTR(text, 4, nullptr), 1);
    EXPECT_GT(KVOString::CompareBSTR(text, 4, ab), 0);
    EXPECT_LT(KVOString::CompareBSTR(text, 4, abd), 0);
    EXPECT_EQ(KVOString::CompareBSTR(text, 4, same), 0);
    for (BSTR b : {ab, abd, same, zero}) {
        SysFreeString(b);
    }
    empty->Release();
    abc->Release();
    abc2->Release();
}

TEST(KvoString, AdoptionAndForeignCopies)
{
    // Our own representation passes through the out-parameter without copying and without a new reference.
    const String source(u"shared text");
    String target(u"old");
    {
        KVO::StringOutParam out(target);
        *out.Slot() = source.GetInterface(); // the host's reference
        EXPECT_EQ(Count(source), 2);
    }
    EXPECT_EQ(target.Rep(), source.Rep());
    EXPECT_EQ(Count(source), 2);

    // A foreign object claiming type id 9 is copied and released.
    ForeignString impostor(u"foreign", false, 9);
    String copied;
    {
        auto out = KVOString::OutParam(copied);
        impostor.refs = 1;
        *out.Slot() = &impostor;
    }
    EXPECT_EQ(copied, u"foreign");
    EXPECT_EQ(impostor.refs, 0);

    String emptied(u"x");
    {
        KVO::StringOutParam out(emptied);
    }
    EXPECT_TRUE(emptied.IsEmpty());

    // AssignInterface checks what a foreign object answers.
    ForeignString plain(u"plain", false);
    String s;
    s.AssignInterface(&plain);
    EXPECT_EQ(s, u"plain");
    EXPECT_EQ(s.Capacity(), 8);
    plain.copyResult = E_FAIL;
    s.AssignInterface(&plain);
    EXPECT_TRUE(s.IsEmpty());
    ForeignString liar(u"abc", false);
    liar.reportedLength = -5;
    s = u"x";
    s.AssignInterface(&liar);
    EXPECT_TRUE(s.IsEmpty());
    liar.reportedLength = 0x7FFFFFF0;
    s = u"x";
    s.AssignInterface(&liar);
    EXPECT_TRUE(s.IsEmpty());
    ForeignString narrow(u"", false);
    narrow.unitSize = 1;
    narrow.bytes = "caf\xe9";
    s.AssignInterface(&narrow);
    EXPECT_EQ(s, u"caf\u00e9");
    s.AssignInterface(nullptr);
    EXPECT_TRUE(s.IsEmpty());

    // AttachInterface consumes the reference.
    ForeignString attached(u"att", false);
    attached.refs = 1;
    s.AttachInterface(&attached);
    EXPECT_EQ(s, u"att");
    EXPECT_EQ(attached.refs, 0);
    IKVOString* mine = String(u"mine").GetInterface();
    s.AttachInterface(mine);
    EXPECT_EQ(s, u"mine");
    EXPECT_EQ(Count(s), 1);
}

TEST(KvoString, ExtractReadsWordsAndDoubles)
{
    std::wistringstream in(L"  first second\U0001F600 " + std::wstring(20, L'w'));
    String s;
    in >> s;
    EXPECT_EQ(s, u"first");
    EXPECT_EQ(s.Capacity(), 9);
    in >> s;
    EXPECT_EQ(s, u"second\U0001F600");
    EXPECT_EQ(s.Length(), 8);
    EXPECT_EQ(s.Capacity(), 9); // emptied in place; eight units and the NUL just fit
    in >> s;
    EXPECT_EQ(s.Length(), 20);
    EXPECT_EQ(s.Capacity(), 36);
    EXPECT_TRUE(in.eof());
    in >> s;
    EXPECT_TRUE(in.fail());
    EXPECT_TRUE(s.IsEmpty());
}
