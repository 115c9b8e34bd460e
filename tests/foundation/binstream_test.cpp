#include "foundation/binstream.h"
#include "foundation/xkvo.h"
#include "platform/com/memstream.h"
#include "platform/win/codepage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

using platform::MemoryStream;
using Bytes = std::vector<std::uint8_t>;

namespace {

// "AA AA 15 55" -> the bytes.
Bytes Hex(const std::string& text)
{
    Bytes result;
    std::istringstream in(text);
    std::string byte;
    while (in >> byte) {
        result.push_back(static_cast<std::uint8_t>(std::stoul(byte, nullptr, 16)));
    }
    return result;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes result;
    for (const Bytes& part : parts) {
        result.insert(result.end(), part.begin(), part.end());
    }
    return result;
}

Bytes BytesOf(const std::stringbuf& buffer)
{
    const std::string text = buffer.str();
    return Bytes(text.begin(), text.end());
}

std::string TextOf(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// A byte sink that takes at most `limit` bytes.
class LimitedSink : public std::streambuf {
public:
    explicit LimitedSink(std::size_t limit) : limit_(limit) {}
    Bytes data;

protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        if (data.size() >= limit_) {
            return traits_type::eof();
        }
        data.push_back(static_cast<std::uint8_t>(c));
        return c;
    }

private:
    std::size_t limit_;
};

// A byte source that cannot seek, so its size is unknown to a reader.
class UnseekableSource : public std::streambuf {
public:
    explicit UnseekableSource(const Bytes& bytes) : data_(bytes.begin(), bytes.end())
    {
        setg(data_.data(), data_.data(), data_.data() + data_.size());
    }

private:
    std::vector<char> data_;
};

const Bytes kTag = Hex("AA AA 15 55");

// A host string object of another implementation, which may claim the native type id.
class ForeignText : public IAutoKVOString {
public:
    ForeignText(std::u16string text, int typeId, bool eightBit) : text_(std::move(text)), typeId_(typeId), eightBit_(eightBit) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT AssignBSTR(BSTR) override { return E_NOTIMPL; }
    HRESULT GetBSTR(BSTR* out) override
    {
        *out = SysAllocString(text_.c_str());
        return S_OK;
    }
    HRESULT IsEmpty(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT GetLength(LONG* out) override
    {
        *out = static_cast<LONG>(text_.size());
        return S_OK;
    }
    HRESULT IsEqual(IAutoKVOString*, VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT IsShared(VARIANT_BOOL*) override { return E_NOTIMPL; }
    int GetTypeId() override { return typeId_; }
    HRESULT CopyText(ULONG bytes, void* buffer) override
    {
        const std::size_t units = text_.size() + 1;
        if (eightBit_) {
            if (bytes < units) return E_FAIL;
            for (std::size_t i = 0; i < units; ++i) static_cast<char*>(buffer)[i] = static_cast<char>(text_.c_str()[i]);
        } else {
            if (bytes < 2 * units) return E_FAIL;
            std::copy_n(text_.c_str(), units, static_cast<char16_t*>(buffer));
        }
        return S_OK;
    }
    HRESULT GetLengthAndUnitSize(LONG* length, LONG* unitSize) override
    {
        *length = static_cast<LONG>(text_.size());
        *unitSize = eightBit_ ? 1 : 2;
        return S_OK;
    }
    HRESULT GetCapacity(LONG*) override { return E_NOTIMPL; }
    HRESULT CreateRep(LONG, IAutoKVOString**) override { return E_NOTIMPL; }
    HRESULT ToVariant(VARIANT*) override { return E_NOTIMPL; }
    LONG Length() override { return static_cast<LONG>(text_.size()); }
    HRESULT Destroy() override { return E_NOTIMPL; }
    HRESULT Reserved() override { return E_NOTIMPL; }
    const char16_t* GetText() override { return text_.c_str(); }
    void DeleteThis() override {}

private:
    std::u16string text_;
    int typeId_;
    bool eightBit_;
};

KVO::String ReadOneString(const Bytes& bytes)
{
    std::stringbuf buffer(TextOf(bytes), std::ios::in | std::ios::binary);
    KVO::BinIStream in(&buffer);
    KVO::String text(u"previous");
    in.ReadString(text);
    EXPECT_EQ(in.State(), 0);
    return text;
}

HRESULT BadStringCode(const Bytes& bytes, std::streambuf* source = nullptr)
{
    std::stringbuf buffer(TextOf(bytes), std::ios::in | std::ios::binary);
    KVO::BinIStream in(source ? source : &buffer);
    KVO::String text;
    try {
        in.ReadString(text);
    } catch (const XKVO& error) {
        EXPECT_EQ(in.State(), 0) << "a bad header leaves the state alone";
        return error.Code();
    }
    return S_OK;
}

} // namespace

TEST(BinStream, EveryValueKindHasItsExactBytes)
{
    std::stringbuf buffer(std::ios::in | std::ios::out | std::ios::binary);
    KVO::BinOStream out(&buffer);
    EXPECT_EQ(out.WriteByte(0xAB), S_OK);
    EXPECT_EQ(out.WriteShort(0x12345), S_OK); // modulo 0x10000
    EXPECT_EQ(out.WriteShort(-2), S_OK);
    EXPECT_EQ(out.WriteLong(7), S_OK);
    EXPECT_EQ(out.WriteLong(-2), S_OK);
    EXPECT_EQ(out.WriteFloat(1.5f), S_OK);
    EXPECT_EQ(out.WriteFloat(std::bit_cast<float>(0x7F886000u)), S_OK); // the unset marker keeps its payload
    EXPECT_EQ(out.WriteDouble(-2.0), S_OK);
    EXPECT_EQ(out.WriteLongLong(0x89ABCDEFu, 0x01234567u), S_OK);
    EXPECT_EQ(out.WriteBlock("xyz", 3), S_OK);
    EXPECT_EQ(out.WriteBlock(nullptr, 0), S_OK);
    DWORD position = 0;
    EXPECT_EQ(out.Tell(&position), S_OK);
    EXPECT_EQ(position, 44u);

    const Bytes expected = Hex("AA AA 15 55  AB  45 23  FE FF  07 00 00 00  FE FF FF FF  00 00 C0 3F  00 60 88 7F"
                               "  00 00 00 00 00 00 00 C0  EF CD AB 89 67 45 23 01  78 79 7A");
    ASSERT_EQ(BytesOf(buffer), expected);

    KVO::BinIStream in(&buffer);
    LONG version = 0;
    EXPECT_EQ(in.GetVersion(&version), S_OK);
    EXPECT_EQ(version, 21);
    BYTE b = 0;
    SHORT s = 0;
    USHORT us = 0;
    LONG l = 0;
    ULONG ul = 0;
    float f = 0;
    double d = 0;
    EXPECT_EQ(in.ReadByte(&b), S_OK);
    EXPECT_EQ(b, 0xAB);
    EXPECT_EQ(in.ReadShort(&s), S_OK);
    EXPECT_EQ(s, 0x2345);
    EXPECT_EQ(in.ReadUShort(&us), S_OK);
    EXPECT_EQ(us, 0xFFFE);
    EXPECT_EQ(in.ReadLong(&l), S_OK);
    EXPECT_EQ(l, 7);
    EXPECT_EQ(in.ReadULong(&ul), S_OK);
    EXPECT_EQ(ul, 0xFFFFFFFEu);
    EXPECT_EQ(in.ReadFloat(&f), S_OK);
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(in.ReadFloat(&f), S_OK);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(f), 0x7F886000u);
    EXPECT_EQ(in.ReadDouble(&d), S_OK);
    EXPECT_EQ(d, -2.0);
    DWORD tell = 0;
    EXPECT_EQ(in.Tell(&tell), S_OK);
    EXPECT_EQ(tell, 33u);
    LONGLONG ll = 0;
    EXPECT_EQ(in.ReadLongLong(&ll), S_OK);
    EXPECT_EQ(ll, 0x0123456789ABCDEFll);
    char block[3] = {};
    EXPECT_EQ(in.ReadBlock(block, 0), S_OK);
    EXPECT_EQ(in.ReadBlock(block, 3), S_OK);
    EXPECT_EQ(std::string(block, 3), "xyz");
    EXPECT_EQ(in.GetStatus(), S_OK);

    // The unsigned 64-bit read takes the same bytes.
    std::stringbuf again(TextOf(Concat({kTag, Hex("FF FF FF FF FF FF FF FF")})), std::ios::in | std::ios::binary);
    KVO::BinIStream in2(&again);
    ULONGLONG ull = 0;
    EXPECT_EQ(in2.ReadULongLong(&ull), S_OK);
    EXPECT_EQ(ull, 0xFFFFFFFFFFFFFFFFull);

    // Not reference counted, and nothing to query.
    void* none = &none;
    EXPECT_EQ(in.QueryInterface(IID_IUnknown, &none), E_NOTIMPL);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(in.AddRef(), 1u);
    EXPECT_EQ(out.Release(), 1u);
    EXPECT_EQ(in.Unused5(), E_NOTIMPL);
    EXPECT_EQ(out.Unused18(), E_NOTIMPL);
}

TEST(BinStream, AttachmentsAreReleasedOnce)
{
    struct Counted : KVO::IBinStreamAttachment {
        int releases = 0;
        void Release() override { ++releases; }
    };
    Counted forReader;
    Counted forWriter;
    {
        std::stringbuf buffer(std::ios::in | std::ios::out | std::ios::binary);
        KVO::BinOStream out(&buffer, false, &forWriter);
        KVO::BinIStream in(&buffer, false, &forReader);
        EXPECT_EQ(out.Close(), S_OK);
        EXPECT_EQ(forWriter.releases, 1);
        EXPECT_EQ(forReader.releases, 0);
    }
    EXPECT_EQ(forWriter.releases, 1);
    EXPECT_EQ(forReader.releases, 1);
    // An owned buffer goes with its stream (the sanitizers see a leak otherwise).
    KVO::BinOStream owning(new std::stringbuf(std::ios::out | std::ios::binary), true);
    EXPECT_EQ(owning.WriteLong(1), S_OK);
}

TEST(BinStream, StringRecordsRoundTrip)
{
    struct Case {
        const char16_t* text;
        Bytes record;
    };
    const Case cases[] = {
        {u"", Hex("01 00 00 80  01 00 00 00  FF FF FF FF  00 00")},
        {u"ab", Hex("01 00 00 80  03 00 00 00  FD FF FF FF  61 00 62 00 00 00")},
        {u"\u00E9\u20AC", Hex("01 00 00 80  03 00 00 00  FD FF FF FF  E9 00 AC 20 00 00")},
        {u"\U0001F600", Hex("01 00 00 80  03 00 00 00  FD FF FF FF  3D D8 00 DE 00 00")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.text));
        std::stringbuf buffer(std::ios::in | std::ios::out | std::ios::binary);
        {
            KVO::BinOStream out(&buffer);
            out.WriteString(KVO::String(c.text));
            EXPECT_EQ(out.GetStatus(), S_OK);
        }
        ASSERT_EQ(BytesOf(buffer), Concat({kTag, c.record}));
        const KVO::String back = ReadOneString(BytesOf(buffer));
        EXPECT_EQ(back.View(), std::u16string_view(c.text));
        EXPECT_EQ(back.Rep()->length, std::u16string_view(c.text).size() + 1);
    }

    // Texts on both sides of the length read without an allocation of its own, units of both bytes.
    for (const std::size_t length : {255u, 256u, 257u, 300u, 5000u}) {
        SCOPED_TRACE(length);
        std::u16string text;
        for (std::size_t i = 0; i < length; ++i) {
            text.push_back(static_cast<char16_t>(i % 3 == 0 ? 0x20AC + i : u'a' + i % 26));
        }
        const auto n = static_cast<std::uint32_t>(length + 1);
        Bytes expected = Concat({kTag, Hex("01 00 00 80")});
        for (const std::uint32_t word : {n, 0u - n}) {
            for (int shift = 0; shift < 32; shift += 8) {
                expected.push_back(static_cast<std::uint8_t>(word >> shift));
            }
        }
        for (const char16_t unit : text) {
            expected.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            expected.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
        expected.insert(expected.end(), {0, 0});
        std::stringbuf buffer(std::ios::in | std::ios::out | std::ios::binary);
        {
            KVO::BinOStream out(&buffer);
            out.WriteString(KVO::String(text.c_str()));
        }
        ASSERT_EQ(BytesOf(buffer), expected);
        EXPECT_EQ(ReadOneString(expected).View(), text);
    }

    // Through the interface slots: a null string writes the empty record, and the read hands out a reference.
    std::stringbuf buffer(std::ios::in | std::ios::out | std::ios::binary);
    KVO::BinOStream out(&buffer);
    EXPECT_EQ(out.WriteStringRep(nullptr), S_OK);
    const KVO::String abc(u"abc");
    IKVOString* rep = abc.GetInterface();
    EXPECT_EQ(out.WriteStringRep(rep), S_OK);
    rep->Release();
    ASSERT_EQ(BytesOf(buffer), Concat({kTag, cases[0].record,
                                       Hex("01 00 00 80  04 00 00 00  FC FF FF FF  61 00 62 00 63 00 00 00")}));
    // Another implementation's objects are copied first, whatever type id they claim; 8-bit ones are converted.
    std::stringbuf foreign(std::ios::in | std::ios::out | std::ios::binary);
    KVO::BinOStream out2(&foreign);
    ForeignText claimsNative(u"xy", kNativeStringTypeId, false);
    ForeignText eightBit(u"\u00E9", 3, true);
    EXPECT_EQ(out2.WriteStringRep(&claimsNative), S_OK);
    EXPECT_EQ(out2.WriteStringRep(&eightBit), S_OK);
    ASSERT_EQ(BytesOf(foreign), Concat({kTag, Hex("01 00 00 80 03 00 00 00 FD FF FF FF 78 00 79 00 00 00"),
                                        Hex("01 00 00 80 02 00 00 00 FE FF FF FF E9 00 00 00")}));

    KVO::BinIStream in(&buffer);
    IKVOString* read = nullptr;
    ASSERT_EQ(in.ReadStringRep(&read), S_OK);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Length(), 0);
    read->Release();
    ASSERT_EQ(in.ReadStringRep(&read), S_OK);
    EXPECT_EQ(std::u16string_view(read->GetText()), u"abc");
    read->Release();
}

// Texts given as units and runs of longs give the very bytes of WriteString and of WriteLong one by one.
TEST(BinStream, TextsAndRunsOfLongsWriteWhatTheirSingleFormsWrite)
{
    const auto written = [](const auto& write) {
        std::stringbuf buffer(std::ios::in | std::ios::out | std::ios::binary);
        {
            KVO::BinOStream out(&buffer);
            write(out);
            EXPECT_EQ(out.GetStatus(), S_OK);
        }
        return BytesOf(buffer);
    };
    for (const std::size_t length : {0u, 1u, 2u, 249u, 250u, 251u, 600u}) {
        SCOPED_TRACE(length);
        std::u16string text;
        for (std::size_t i = 0; i < length; ++i) {
            text.push_back(static_cast<char16_t>(0x41 + i % 7 + (i % 5 == 0 ? 0x3000 : 0)));
        }
        EXPECT_EQ(written([&](KVO::BinOStream& out) { out.WriteText(text); }),
                  written([&](KVO::BinOStream& out) { out.WriteString(KVO::String(text.c_str())); }));
    }
    std::vector<LONG> values;
    for (LONG i = 0; i < 40; ++i) {
        values.push_back(i % 3 == 0 ? -i * 1000003 : i);
    }
    EXPECT_EQ(written([&](KVO::BinOStream& out) {
                  out.WriteLongs({0, 777});
                  out.WriteLongs({values[0], values[1], values[2], values[3], values[4], values[5], values[6],
                                  values[7], values[8], values[9], values[10], values[11], values[12], values[13],
                                  values[14], values[15], values[16], values[17], values[18], values[19]});
                  out.WriteLongs({});
              }),
              written([&](KVO::BinOStream& out) {
                  out.WriteLong(0);
                  out.WriteLong(777);
                  for (int i = 0; i < 20; ++i) {
                      out.WriteLong(values[static_cast<std::size_t>(i)]);
                  }
              }));

    // Read back in runs; a run that the data cuts short stores nothing and fails the stream.
    std::stringbuf buffer(std::ios::in | std::ios::out | std::ios::binary);
    {
        KVO::BinOStream out(&buffer);
        out.WriteLongs({-5, 6, 7});
    }
    KVO::BinIStream in(&buffer);
    LONG two[2] = {};
    ASSERT_EQ(in.ReadLongs(two, 2), S_OK);
    EXPECT_EQ(two[0], -5);
    EXPECT_EQ(two[1], 6);
    two[0] = 99;
    two[1] = 98;
    EXPECT_EQ(in.ReadLongs(two, 2), E_FAIL);
    EXPECT_EQ(two[0], 99);
    EXPECT_EQ(two[1], 98);
    EXPECT_EQ(in.State(), KVO::BinStream::kShortTransfer);
}

TEST(BinStream, StringTextIsTakenAsStored)
{
    // A NUL inside the counted units stays part of the text; a record without its NUL gets one.
    const KVO::String inner = ReadOneString(Concat({kTag, Hex("01 00 00 80 04 00 00 00 FC FF FF FF 61 00 00 00 62 00 00 00")}));
    EXPECT_EQ(inner.Length(), 3);
    EXPECT_EQ(inner[2], u'b');
    const KVO::String open = ReadOneString(Concat({kTag, Hex("01 00 00 80 02 00 00 00 FE FF FF FF 61 00 62 00")}));
    EXPECT_EQ(open.View(), u"ab");
    // A count of 0 gives an empty text in a private buffer, here a new one of the smallest capacity.
    {
        std::stringbuf buffer(TextOf(Concat({kTag, Hex("01 00 00 80 00 00 00 00 00 00 00 00")})),
                              std::ios::in | std::ios::binary);
        KVO::BinIStream in(&buffer);
        KVO::String none;
        in.ReadString(none);
        EXPECT_TRUE(none.IsEmpty());
        EXPECT_EQ(none.Capacity(), 8);
    }

    // A private buffer that is large enough is reused.
    std::stringbuf buffer(TextOf(Concat({kTag, Hex("01 00 00 80 02 00 00 00 FE FF FF FF 78 00 00 00")})),
                          std::ios::in | std::ios::binary);
    KVO::BinIStream in(&buffer);
    KVO::String target(std::u16string(u"a longer text"));
    const auto* before = target.Rep();
    in.ReadString(target);
    EXPECT_EQ(target.View(), u"x");
    EXPECT_EQ(target.Rep(), before);
}

TEST(BinStream, VersionTagAndOlderForms)
{
    // No tag: version 1 from the first byte; strings are counted 8-bit text.
    {
        std::stringbuf buffer(TextOf(Hex("05 00 00 00 68 65 6C 6C 6F  07 00 00 00")), std::ios::in | std::ios::binary);
        KVO::BinIStream in(&buffer);
        EXPECT_EQ(in.Version(), 1);
        KVO::String text;
        in.ReadString(text);
        EXPECT_EQ(text.View(), u"hello");
        LONG value = 0;
        EXPECT_EQ(in.ReadLong(&value), S_OK);
        EXPECT_EQ(value, 7);
    }
    // A tag of another format version; byte 2 is free, the others must match.
    {
        std::stringbuf buffer(TextOf(Hex("AA AA 09 55  04 00 00 00 63 61 66 E9")), std::ios::in | std::ios::binary);
        KVO::BinIStream in(&buffer);
        EXPECT_EQ(in.Version(), 9);
        KVO::String text;
        in.ReadString(text);
        EXPECT_EQ(text.View(), u"caf\u00E9"); // code page 1252
    }
    {
        std::stringbuf buffer(TextOf(Hex("AA AB 15 55")), std::ios::in | std::ios::binary);
        KVO::BinIStream in(&buffer);
        EXPECT_EQ(in.Version(), 1);
        LONG value = 0;
        EXPECT_EQ(in.ReadLong(&value), S_OK);
        EXPECT_EQ(static_cast<ULONG>(value), 0x5515ABAAu);
    }
    // From version 10 on only bit 31 of the marker chooses between UTF-16 and 8-bit text.
    EXPECT_EQ(ReadOneString(Hex("AA AA 0A 55  01 00 00 00 03 00 00 00 FD FF FF FF 80 41 00")).View(), u"\u20ACA");
    EXPECT_EQ(ReadOneString(Hex("AA AA 0A 55  00 00 00 80 02 00 00 00 FE FF FF FF 41 00 00 00")).View(), u"A");
    // An 8-bit text stops at its first NUL, like any 8-bit text.
    EXPECT_EQ(ReadOneString(Hex("AA AA 09 55  03 00 00 00 41 00 42")).View(), u"A");

    // Too short for a tag: version 1 and failed; no buffer: version 0.
    {
        std::stringbuf buffer(TextOf(Hex("01 02")), std::ios::in | std::ios::binary);
        KVO::BinIStream in(&buffer);
        EXPECT_EQ(in.Version(), 1);
        EXPECT_EQ(in.State(), KVO::BinStream::kShortTransfer);
    }
    {
        KVO::BinIStream in(nullptr);
        LONG version = -1;
        EXPECT_EQ(in.GetVersion(&version), S_OK);
        EXPECT_EQ(version, 0);
        EXPECT_EQ(in.State(), KVO::BinStream::kNoBuffer);
        KVO::BinOStream out(nullptr);
        EXPECT_EQ(out.GetStatus(), E_FAIL);
        EXPECT_EQ(out.State(), KVO::BinStream::kNoBuffer);
    }
    // Untagged data over a buffer that cannot seek back: the tag's bytes are lost, which the state says.
    {
        UnseekableSource source(Hex("05 00 00 00"));
        KVO::BinIStream in(&source);
        EXPECT_EQ(in.Version(), 1);
        EXPECT_EQ(in.State(), KVO::BinStream::kShortTransfer);
    }
}

TEST(BinStream, BadStringHeadersThrowBeforeAllocating)
{
    const HRESULT bad = KVO::Errors::kBadStreamString;
    EXPECT_EQ(static_cast<std::uint32_t>(bad), 0xA0048203u);
    // The check word must be the negated count.
    EXPECT_EQ(BadStringCode(Concat({kTag, Hex("01 00 00 80 02 00 00 00 FD FF FF FF 61 00 00 00")})), bad);
    // Negative counts, even with a matching check word, in either form.
    EXPECT_EQ(BadStringCode(Concat({kTag, Hex("01 00 00 80 FB FF FF FF 05 00 00 00")})), bad);
    EXPECT_EQ(BadStringCode(Hex("FB FF FF FF 41")), bad);
    // The old form's limit.
    EXPECT_EQ(BadStringCode(Hex("01 FA 00 00")), bad); // 64001
    // More units than can exist, or than the rest of the stream holds.
    UnseekableSource huge(Concat({kTag, Hex("01 00 00 80 FF FF FF 3F 01 00 00 C0 61 00")}));
    EXPECT_EQ(BadStringCode({}, &huge), bad); // caught by the limit alone: the size is unknown here
    EXPECT_EQ(BadStringCode(Concat({kTag, Hex("01 00 00 80 06 00 00 00 FA FF FF FF 61 00 62 00 63 00 64 00 00 00")})),
              bad);
    EXPECT_EQ(BadStringCode(Concat({kTag, Hex("01 00 00 00 06 00 00 00 FA FF FF FF 61 62 63 64 65")})), bad);
    EXPECT_EQ(BadStringCode(Hex("05 00 00 00 41 42")), bad);
    // Exactly fitting counts are fine.
    EXPECT_EQ(BadStringCode(Concat({kTag, Hex("01 00 00 00 02 00 00 00 FE FF FF FF 61 62")})), S_OK);

    // Through the slot the code comes back as the result and nothing is handed out.
    std::stringbuf buffer(TextOf(Concat({kTag, Hex("01 00 00 80 02 00 00 00 02 00 00 00")})),
                          std::ios::in | std::ios::binary);
    KVO::BinIStream in(&buffer);
    IKVOString* out = nullptr;
    EXPECT_EQ(in.ReadStringRep(&out), bad);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(in.GetStatus(), S_OK);
}

TEST(BinStream, ShortStringTextLeavesTheTargetEmpty)
{
    // The size of an unseekable source is unknown: a large count is read piecewise and runs short.
    UnseekableSource source(Concat({kTag, Hex("01 00 00 80 A0 86 01 00 60 79 FE FF 61 00 62 00")}));
    KVO::BinIStream in(&source);
    KVO::String target(u"old text");
    in.ReadString(target);
    EXPECT_EQ(in.State(), KVO::BinStream::kShortTransfer);
    EXPECT_TRUE(target.IsEmpty());
    EXPECT_EQ(target[0], u'\0');

    // So does a short text that runs short.
    UnseekableSource shortText(Concat({kTag, Hex("01 00 00 80 03 00 00 00 FD FF FF FF 61 00")}));
    KVO::BinIStream in1(&shortText);
    KVO::String first(u"old text");
    in1.ReadString(first);
    EXPECT_EQ(in1.State(), KVO::BinStream::kShortTransfer);
    EXPECT_TRUE(first.IsEmpty());

    // A header cut short empties the target as well, and so does any read on a failed stream.
    UnseekableSource cut(Concat({kTag, Hex("01 00 00 80 03 00")}));
    KVO::BinIStream in2(&cut);
    KVO::String second(u"old");
    in2.ReadString(second);
    EXPECT_TRUE(second.IsEmpty());
    KVO::String third(u"old");
    in2.ReadString(third);
    EXPECT_TRUE(third.IsEmpty());
    IKVOString* none = nullptr;
    EXPECT_EQ(in2.ReadStringRep(&none), E_FAIL);
    EXPECT_EQ(none, nullptr);
}

TEST(BinStream, ReadFailuresAreSticky)
{
    std::stringbuf buffer(TextOf(Concat({kTag, Hex("01 02 03 04  05 06")})), std::ios::in | std::ios::binary);
    KVO::BinIStream in(&buffer);
    LONG value = 0;
    EXPECT_EQ(in.ReadLong(&value), S_OK);
    EXPECT_EQ(value, 0x04030201);
    // Four bytes asked, two there: failed, and the output is left alone.
    value = 42;
    EXPECT_EQ(in.ReadLong(&value), E_FAIL);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(in.State(), KVO::BinStream::kShortTransfer);
    EXPECT_EQ(in.GetStatus(), E_FAIL);
    // Later reads return E_FAIL without touching their outputs, except the byte read, which gives 0.
    SHORT s = 5;
    USHORT us = 5;
    ULONG ul = 5;
    float f = 5;
    double d = 5;
    LONGLONG ll = 5;
    ULONGLONG ull = 5;
    BYTE b = 5;
    DWORD tell = 5;
    char block[2] = {'a', 'b'};
    EXPECT_EQ(in.ReadShort(&s), E_FAIL);
    EXPECT_EQ(in.ReadUShort(&us), E_FAIL);
    EXPECT_EQ(in.ReadULong(&ul), E_FAIL);
    EXPECT_EQ(in.ReadFloat(&f), E_FAIL);
    EXPECT_EQ(in.ReadDouble(&d), E_FAIL);
    EXPECT_EQ(in.ReadLongLong(&ll), E_FAIL);
    EXPECT_EQ(in.ReadULongLong(&ull), E_FAIL);
    EXPECT_EQ(in.ReadBlock(block, 0), E_FAIL);
    EXPECT_EQ(in.Tell(&tell), E_FAIL);
    EXPECT_EQ(in.ReadByte(&b), E_FAIL);
    EXPECT_EQ(s, 5);
    EXPECT_EQ(us, 5);
    EXPECT_EQ(ul, 5u);
    EXPECT_EQ(f, 5.0f);
    EXPECT_EQ(d, 5.0);
    EXPECT_EQ(ll, 5);
    EXPECT_EQ(ull, 5u);
    EXPECT_EQ(tell, 5u);
    EXPECT_EQ(block[0], 'a');
    EXPECT_EQ(b, 0);
    LONG version = 0;
    EXPECT_EQ(in.GetVersion(&version), S_OK);
    EXPECT_EQ(version, 21);

    // Running out inside a byte read fails the same way.
    std::stringbuf empty(TextOf(kTag), std::ios::in | std::ios::binary);
    KVO::BinIStream in2(&empty);
    b = 9;
    EXPECT_EQ(in2.ReadByte(&b), E_FAIL);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(in2.State(), KVO::BinStream::kShortTransfer);
}

TEST(BinStream, WriteFailuresAreSticky)
{
    // Room for the tag and six more bytes.
    LimitedSink sink(10);
    KVO::BinOStream out(&sink);
    EXPECT_EQ(out.WriteLong(1), S_OK);
    EXPECT_EQ(out.WriteLong(2), E_FAIL); // two of its bytes went in
    EXPECT_EQ(out.State(), KVO::BinStream::kShortTransfer);
    EXPECT_EQ(out.WriteByte(3), E_FAIL);
    EXPECT_EQ(out.WriteShort(3), E_FAIL);
    EXPECT_EQ(out.WriteFloat(3), E_FAIL);
    EXPECT_EQ(out.WriteDouble(3), E_FAIL);
    EXPECT_EQ(out.WriteLongLong(3, 3), E_FAIL);
    EXPECT_EQ(out.WriteBlock("x", 1), E_FAIL);
    EXPECT_EQ(out.WriteStringRep(nullptr), E_FAIL);
    out.WriteString(KVO::String(u"x"));
    EXPECT_EQ(out.Flush(), E_FAIL);
    EXPECT_EQ(out.Close(), E_FAIL);
    EXPECT_EQ(out.State(), KVO::BinStream::kShortTransfer);
    EXPECT_EQ(sink.data, Hex("AA AA 15 55 01 00 00 00 02 00"));

    // A failed tell on a buffer that cannot say its position.
    LimitedSink blind(100);
    KVO::BinOStream out2(&blind);
    DWORD position = 0;
    EXPECT_EQ(out2.Tell(&position), E_FAIL);
    EXPECT_EQ(position, 0xFFFFFFFFu);
    EXPECT_EQ(out2.State(), KVO::BinStream::kShortTransfer);
    LimitedSink blind2(100);
    KVO::BinOStream out3(&blind2);
    EXPECT_EQ(out3.Seek(0), E_FAIL);
    EXPECT_EQ(out3.State(), KVO::BinStream::kShortTransfer);
}

TEST(StorageBinStream, WritesReachTheStreamOnFlushOrEnd)
{
    auto stream = MemoryStream::Create();
    {
        StorageBinOStreamLite out(stream.Get());
        EXPECT_EQ(stream->RefCountValue(), 2);
        EXPECT_EQ(out.WriteLong(7), S_OK);
        EXPECT_TRUE(stream->Data().empty());
        EXPECT_EQ(out.Flush(), S_OK);
        EXPECT_EQ(stream->Data(), Hex("AA AA 15 55 07 00 00 00"));
        out.WriteString(KVO::String(u"ab"));
        DWORD position = 0;
        EXPECT_EQ(out.Tell(&position), S_OK);
        EXPECT_EQ(position, 26u);
    }
    EXPECT_EQ(stream->RefCountValue(), 1);
    EXPECT_EQ(stream->Data(),
              Hex("AA AA 15 55 07 00 00 00 01 00 00 80 03 00 00 00 FD FF FF FF 61 00 62 00 00 00"));

    // Read back through the IStream, starting where the stream stands.
    ASSERT_EQ(stream->Seek(MakeLargeInteger(0), STREAM_SEEK_SET, nullptr), S_OK);
    {
        StorageBinIStreamLite in(stream.Get());
        EXPECT_EQ(in.Version(), 21);
        LONG value = 0;
        EXPECT_EQ(in.ReadLong(&value), S_OK);
        EXPECT_EQ(value, 7);
        KVO::String text;
        in.ReadString(text);
        EXPECT_EQ(text.View(), u"ab");
        EXPECT_EQ(in.ReadLong(&value), E_FAIL);
    }

    // A reader hands back what it buffered but did not use: the IStream stands after the last value read.
    ASSERT_EQ(stream->Seek(MakeLargeInteger(0), STREAM_SEEK_SET, nullptr), S_OK);
    {
        StorageBinIStreamLite in(stream.Get());
        LONG value = 0;
        in.ReadLong(&value);
    }
    EXPECT_EQ(stream->Position(), 8u);
}

TEST(StorageBinStream, SeekingBackInsideWrittenDataKeepsEverything)
{
    auto stream = MemoryStream::Create();
    {
        StorageBinOStreamLite out(stream.Get());
        out.WriteLong(1);
        out.WriteLong(2);
        out.WriteLong(3);
        EXPECT_EQ(out.Seek(4), S_OK);
        out.WriteLong(99);
        // The flush writes everything written so far and keeps the position after the 99.
        EXPECT_EQ(out.Flush(), S_OK);
        DWORD position = 0;
        EXPECT_EQ(out.Tell(&position), S_OK);
        EXPECT_EQ(position, 8u);
        out.WriteLong(5);
        // Close flushes and does not rewind: what follows lands after the 5.
        EXPECT_EQ(out.Close(), S_OK);
        EXPECT_EQ(out.Tell(&position), S_OK);
        EXPECT_EQ(position, 12u);
        EXPECT_EQ(stream->Data(), Hex("AA AA 15 55 63 00 00 00 05 00 00 00 03 00 00 00"));
        // A seek outside the buffered bytes goes to the IStream.
        EXPECT_EQ(out.Seek(16), S_OK);
        out.WriteByte(0xEE);
    }
    EXPECT_EQ(stream->Data(), Hex("AA AA 15 55 63 00 00 00 05 00 00 00 03 00 00 00 EE"));
}

TEST(StorageBinStream, LongDataCrossesTheBufferAndShortReadsAreNoFailure)
{
    auto stream = MemoryStream::Create();
    const KVO::String text(std::u16string(700, u'\u00E9'));
    {
        StorageBinOStreamLite out(stream.Get());
        for (LONG i = 0; i < 300; ++i) {
            out.WriteLong(i);
        }
        out.WriteString(text);
        out.WriteDouble(0.25);
        EXPECT_EQ(out.GetStatus(), S_OK);
    }
    EXPECT_EQ(stream->Data().size(), 4u + 1200 + 12 + 1402 + 8);
    EXPECT_GT(stream->Calls().write, 1u);

    // The IStream hands out three bytes at a time; that is a short read of the IStream, not of the data.
    ASSERT_EQ(stream->Seek(MakeLargeInteger(0), STREAM_SEEK_SET, nullptr), S_OK);
    stream->Faults().readChunk = 3;
    StorageBinIStreamLite in(stream.Get());
    for (LONG i = 0; i < 300; ++i) {
        LONG value = -1;
        ASSERT_EQ(in.ReadLong(&value), S_OK);
        ASSERT_EQ(value, i);
    }
    DWORD position = 0;
    EXPECT_EQ(in.Tell(&position), S_OK);
    EXPECT_EQ(position, 1204u);
    KVO::String back;
    in.ReadString(back);
    EXPECT_EQ(back, text);
    double d = 0;
    EXPECT_EQ(in.ReadDouble(&d), S_OK);
    EXPECT_EQ(d, 0.25);
    EXPECT_EQ(in.GetStatus(), S_OK);
}

TEST(StorageBinStream, InjectedFaultsGiveTheirStates)
{
    // The IStream cannot tell its mode: neither side opens.
    {
        auto stream = MemoryStream::Create(Hex("AA AA 15 55 07 00 00 00"));
        stream->Faults().stat = {1, 0, STG_E_ACCESSDENIED};
        StorageBinIStreamLite in(stream.Get());
        EXPECT_EQ(in.State(), KVO::BinStream::kNoBuffer);
        EXPECT_EQ(in.Version(), 0);
        StorageBinOStreamLite out(stream.Get());
        EXPECT_EQ(out.State(), KVO::BinStream::kNoBuffer);
        EXPECT_EQ(stream->RefCountValue(), 1);
    }
    // The first write fails: the flush says so with state 4, and the writer stays failed.
    {
        auto stream = MemoryStream::Create();
        stream->Faults().write = {1, 1, STG_E_WRITEFAULT};
        StorageBinOStreamLite out(stream.Get());
        out.WriteLong(7);
        EXPECT_EQ(out.Flush(), E_FAIL);
        EXPECT_EQ(out.State(), KVO::BinStream::kNoBuffer);
        EXPECT_EQ(out.WriteLong(8), E_FAIL);
        EXPECT_EQ(out.Flush(), E_FAIL);
    }
    // Short writes of the IStream fail the flush as well.
    {
        auto stream = MemoryStream::Create();
        stream->Faults().writeChunk = 5;
        StorageBinOStreamLite out(stream.Get());
        out.WriteLong(7);
        EXPECT_EQ(out.Flush(), E_FAIL);
        EXPECT_EQ(out.State(), KVO::BinStream::kNoBuffer);
    }
    // The second write (when the first buffer is full) fails: the values that need it fail with state 2.
    {
        auto stream = MemoryStream::Create();
        stream->Faults().write = {2, 0, STG_E_WRITEFAULT};
        StorageBinOStreamLite out(stream.Get());
        HRESULT last = S_OK;
        int written = 0;
        while (SUCCEEDED(last) && written < 1000) {
            last = out.WriteLong(written);
            written += SUCCEEDED(last) ? 1 : 0;
        }
        EXPECT_EQ(written, 511); // the tag and 255 values fill the first 1024 bytes, 256 more fit in the next
        EXPECT_EQ(out.State(), KVO::BinStream::kShortTransfer);
        EXPECT_EQ(stream->Data().size(), 1024u);
    }
    // A full medium: the data that fits is there, the flush fails.
    {
        auto stream = MemoryStream::Create();
        stream->Faults().capacity = 6;
        StorageBinOStreamLite out(stream.Get());
        out.WriteLong(7);
        EXPECT_EQ(out.Flush(), E_FAIL);
        EXPECT_EQ(stream->Data(), Hex("AA AA 15 55 07 00"));
    }
    // A read fails after the first buffer: values up to it read, then the reader fails for good.
    {
        Bytes data = kTag;
        data.resize(2048, 0x11);
        auto stream = MemoryStream::Create(data);
        stream->Faults().read = {2, 1, STG_E_READFAULT};
        StorageBinIStreamLite in(stream.Get());
        int values = 0;
        LONG value = 0;
        while (SUCCEEDED(in.ReadLong(&value))) {
            ++values;
        }
        EXPECT_EQ(values, 255);
        EXPECT_EQ(in.State(), KVO::BinStream::kShortTransfer);
        EXPECT_EQ(in.ReadLong(&value), E_FAIL); // the IStream would read again now, but the state holds
    }
    // Untagged data whose seek back fails (the first seek is the open's).
    {
        auto stream = MemoryStream::Create(Hex("05 00 00 00 01 02 03 04"));
        stream->Faults().seek = {2, 0, E_FAIL};
        StorageBinIStreamLite in(stream.Get());
        EXPECT_EQ(in.Version(), 1);
        // The seek back inside the buffered bytes needs no IStream seek.
        EXPECT_EQ(in.State(), 0);
        LONG value = 0;
        EXPECT_EQ(in.ReadLong(&value), S_OK);
        EXPECT_EQ(value, 5);
    }
    // The position cannot be had when the open's seek fails.
    {
        auto stream = MemoryStream::Create();
        stream->Faults().seek = {1, 1, E_FAIL};
        StorageBinOStreamLite out(stream.Get());
        EXPECT_EQ(out.State(), KVO::BinStream::kNoBuffer);
    }
    // A read-only stream takes no writing; a write-only one gives nothing to read.
    {
        auto readOnly = MemoryStream::Create(STGM_READ);
        StorageBinOStreamLite out(readOnly.Get());
        EXPECT_EQ(out.State(), KVO::BinStream::kShortTransfer);
        auto writeOnly = MemoryStream::Create(Hex("AA AA 15 55"), STGM_WRITE);
        StorageBinIStreamLite in(writeOnly.Get());
        EXPECT_EQ(in.State(), KVO::BinStream::kShortTransfer);
    }
}

TEST(StorageBinStream, BadCountsAreCaughtAgainstTheStreamSize)
{
    auto stream = MemoryStream::Create(
        Concat({kTag, Hex("01 00 00 80 10 00 00 00 F0 FF FF FF 61 00"), Hex("01 00 00 80 02 00 00 00")}));
    StorageBinIStreamLite in(stream.Get());
    KVO::String text;
    try {
        in.ReadString(text);
        ADD_FAILURE() << "no exception";
    } catch (const XKVO& error) {
        EXPECT_EQ(static_cast<std::uint32_t>(error.Code()), 0xA0048203u);
    }
    EXPECT_EQ(in.State(), 0);
    // The probe of the size left the reading position where it was.
    BYTE b = 0;
    EXPECT_EQ(in.ReadByte(&b), S_OK);
    EXPECT_EQ(b, 0x61);

    // When the IStream cannot seek the size is unknown: good strings still read, an absurd count runs short.
    auto unseekable = MemoryStream::Create(Concat({kTag, Hex("01 00 00 80 02 00 00 00 FE FF FF FF 78 00 00 00"),
                                                   Hex("01 00 00 80 A0 86 01 00 60 79 FE FF 61 00")}));
    unseekable->Faults().seek = {2, 0, E_FAIL};
    StorageBinIStreamLite in2(unseekable.Get());
    in2.ReadString(text);
    EXPECT_EQ(text.View(), u"x");
    EXPECT_EQ(in2.State(), 0);
    in2.ReadString(text);
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_EQ(in2.State(), KVO::BinStream::kShortTransfer);
}

TEST(StorageBinStream, StringsHeldInTheBufferAreReadWithoutGoingBackToTheStream)
{
    auto stream = MemoryStream::Create();
    {
        StorageBinOStreamLite out(stream.Get());
        for (LONG i = 0; i < 200; ++i) {
            out.WriteString(KVO::String(u"hello"));
            out.WriteLong(i);
        }
    }
    ASSERT_EQ(stream->Data().size(), 4u + 200 * (12 + 12 + 4));
    ASSERT_EQ(stream->Seek(MakeLargeInteger(0), STREAM_SEEK_SET, nullptr), S_OK);
    const unsigned readsBefore = stream->Calls().read;
    StorageBinIStreamLite in(stream.Get());
    for (LONG i = 0; i < 200; ++i) {
        KVO::String text;
        in.ReadString(text);
        ASSERT_EQ(text.View(), u"hello");
        LONG value = -1;
        ASSERT_EQ(in.ReadLong(&value), S_OK);
        ASSERT_EQ(value, i);
    }
    // 5604 bytes in 1024-byte pieces; the size of the stream is looked at only for a text that crosses the buffer.
    EXPECT_LE(stream->Calls().read - readsBefore, 12u);
}

TEST(StorageStreamBuffer, ReadingAndWritingShareOnePosition)
{
    auto stream = MemoryStream::Create(Bytes{'a', 'b', 'c', 'd', 'e', 'f'});
    StorageInStreamBuf buffer;
    ASSERT_TRUE(buffer.Open(stream.Get()));
    EXPECT_FALSE(buffer.Open(stream.Get()));
    EXPECT_EQ(buffer.GetMode(), StorageStreamBuf::kReadWrite);
    EXPECT_EQ(buffer.sbumpc(), 'a');
    EXPECT_EQ(buffer.sbumpc(), 'b');
    EXPECT_EQ(buffer.sputc('X'), 'X');
    EXPECT_EQ(std::streamoff(buffer.pubseekoff(0, std::ios_base::cur, std::ios_base::in)), 3);
    EXPECT_EQ(buffer.sbumpc(), 'd');
    EXPECT_EQ(stream->Data(), (Bytes{'a', 'b', 'X', 'd', 'e', 'f'}));
    // Seeking inside the buffered bytes, and from the end through the IStream.
    EXPECT_EQ(std::streamoff(buffer.pubseekoff(-1, std::ios_base::cur, std::ios_base::in)), 3);
    EXPECT_EQ(buffer.sbumpc(), 'd');
    EXPECT_EQ(std::streamoff(buffer.pubseekoff(-1, std::ios_base::end, std::ios_base::in)), 5);
    EXPECT_EQ(buffer.sbumpc(), 'f');
    EXPECT_EQ(buffer.sbumpc(), std::char_traits<char>::eof());
    EXPECT_EQ(std::streamoff(buffer.pubseekoff(-10, std::ios_base::cur, std::ios_base::in)), -1);
    EXPECT_TRUE(buffer.Close());
    EXPECT_EQ(stream->RefCountValue(), 1);
    EXPECT_EQ(buffer.sbumpc(), std::char_traits<char>::eof());
    EXPECT_EQ(buffer.pubsync(), -1);
}
