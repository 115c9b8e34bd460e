#include "document/settingsset.h"
#include "docfixtures.h"
#include "foundation/xkvo.h"

using namespace CX::Doc;
using doctest::Bytes;
using doctest::Catalogue;
using doctest::Utf8;

namespace {

// Raw stream bytes, little-endian, behind the version tag.
class StreamBytes {
public:
    StreamBytes() { Long(static_cast<std::int32_t>(0x5515AAAA)); }
    StreamBytes& Long(std::int32_t value)
    {
        for (int i = 0; i < 4; ++i) {
            bytes_ += static_cast<char>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF);
        }
        return *this;
    }
    StreamBytes& Text(std::u16string_view text)
    {
        const auto n = static_cast<std::int32_t>(text.size() + 1);
        Long(static_cast<std::int32_t>(0x80000001)).Long(n).Long(-n);
        for (const char16_t unit : text) {
            bytes_ += static_cast<char>(unit & 0xFF);
            bytes_ += static_cast<char>(unit >> 8);
        }
        bytes_ += std::string(2, '\0');
        return *this;
    }
    StreamBytes& Setting(std::int32_t id, std::u16string_view text) { return Long(0).Long(id).Text(text).Long(777); }
    // A container with an empty global group and the channel groups that `channels` writes.
    StreamBytes& Header(std::int32_t version = 1) { return Long(version).Long(347); }
    StreamBytes& Group(std::int32_t version, std::int32_t count) { return Long(version).Long(count); }
    const Bytes& Get() const { return bytes_; }
    Bytes Cut(std::size_t drop) const { return bytes_.substr(0, bytes_.size() - drop); }

private:
    Bytes bytes_;
};

SettingsSet WithChannels(std::initializer_list<std::int32_t> keys)
{
    SettingsSet settings(&Catalogue());
    for (const std::int32_t key : keys) {
        settings.AddChannel(key);
    }
    return settings;
}

} // namespace

TEST(SettingsStream, NewContainerMatchesItsGoldenBytes)
{
    const SettingsSet settings(&Catalogue());
    const Bytes bytes = doctest::Written(settings);
    doctest::CheckGolden("settings_new.bin", bytes);

    // The layout spelled out for its first setting and its end.
    const Bytes start = StreamBytes().Header().Group(1, 31).Setting(2000, u"0").Get();
    EXPECT_EQ(bytes.substr(0, start.size()), start);
    const Bytes end = StreamBytes().Setting(2030, u"0").Long(0).Long(347).Get().substr(4);
    EXPECT_EQ(bytes.substr(bytes.size() - end.size()), end);
}

TEST(SettingsStream, ContainerWithAChannelGroupMatchesItsGoldenBytes)
{
    SettingsSet settings(&Catalogue());
    doctest::SelectChannel(settings, 2);
    settings.SetDouble(1006, 0.125);
    doctest::SetText(settings, 1010, u"height=2;transform=1");
    doctest::SetText(settings, 2000, u"3");
    const Bytes bytes = doctest::Written(settings);
    doctest::CheckGolden("settings_channel2.bin", bytes);

    // The global group is followed by the count of channel groups, the key and a group of 96 settings whose first
    // record is 1005.
    const Bytes global = doctest::Written(SettingsSet(&Catalogue()));
    const std::size_t countAt = global.size() - 8; // where the new container writes its count and marker
    EXPECT_EQ(bytes.substr(countAt, 16), StreamBytes().Long(1).Long(2).Group(1, 96).Get().substr(4));

    SettingsSet read(&Catalogue());
    doctest::ReadInto(read, bytes);
    EXPECT_EQ(doctest::Written(read), bytes);
    EXPECT_EQ(read.GetInt(2000), 3);
    EXPECT_EQ(read.GetDouble(1006), 0.125);
    EXPECT_EQ(Utf8(read.Find(1010)->ToText(true).View()), "height=2;transform=1");
}

TEST(SettingsStream, DoublesAreWrittenAndCopiedWithTheDigitsTheyNeed)
{
    SettingsSet settings(&Catalogue());
    doctest::SelectChannel(settings, 2);
    settings.SetDouble(1005, 1234567.8);
    settings.SetDouble(1006, 1.2345678e-5);
    const Bytes bytes = doctest::Written(settings);
    for (const auto& [id, text] : {std::pair{1005, u"1234567.8"}, std::pair{1006, u"1.2345678e-05"}}) {
        const Bytes record = StreamBytes().Setting(id, text).Get().substr(4);
        EXPECT_NE(bytes.find(record), Bytes::npos) << id;
    }

    // A copy into another channel's group carries the same values.
    settings.AddChannel(3, 2);
    doctest::SelectChannel(settings, 3);
    EXPECT_EQ(settings.GetDouble(1005), 1234567.8);
    EXPECT_EQ(settings.GetDouble(1006), 1.2345678e-5);

    // Files written with six digits read as they always did.
    SettingsSet older(&Catalogue());
    doctest::ReadInto(older, StreamBytes().Header().Group(1, 0).Long(1).Long(2).Group(1, 1).Setting(1005, u"1.23457e+06")
                                 .Long(347).Get());
    doctest::SelectChannel(older, 2);
    EXPECT_EQ(older.GetDouble(1005), 1234570.0);
}

TEST(SettingsStream, ReadingStopsAtAnOldOrMissingVersion)
{
    for (const std::int32_t version : {0, -5}) {
        SettingsSet settings = WithChannels({1});
        const Bytes before = doctest::Written(settings);
        doctest::ReadInto(settings, StreamBytes().Header(version).Group(1, 1).Setting(2000, u"4").Get());
        EXPECT_EQ(doctest::Written(settings), before) << version;
    }
    SettingsSet settings = WithChannels({});
    const Bytes before = doctest::Written(settings);
    doctest::ReadInto(settings, StreamBytes().Get()); // only the tag
    EXPECT_EQ(doctest::Written(settings), before);
}

TEST(SettingsStream, RecordsApplyByIdAndSkipUnknownOnes)
{
    SettingsSet settings(&Catalogue());
    doctest::ReadInto(settings, StreamBytes()
                                    .Header()
                                    .Group(1, 4)
                                    .Setting(2003, u"2")
                                    .Setting(4711, u"9")
                                    .Setting(2000, u"150") // kept, though out of range
                                    .Setting(2004, u"t")
                                    .Long(2)
                                    .Long(7)
                                    .Group(1, 1)
                                    .Setting(1006, u"0.5")
                                    .Long(3)
                                    .Group(1, 0)
                                    .Long(347)
                                    .Get());
    EXPECT_EQ(settings.GetInt(2003), 2);
    EXPECT_EQ(settings.GetInt(2000), 150);
    EXPECT_FALSE(settings.Global().IsValid(0));
    EXPECT_TRUE(settings.GetBool(2004));
    ASSERT_EQ(settings.ChannelCount(), 2u);
    EXPECT_EQ(settings.ChannelAt(0)->Key(), 7);
    EXPECT_EQ(Utf8(settings.ChannelAt(0)->Find(1006)->ToText(true).View()), "0.5");
    EXPECT_EQ(Utf8(settings.ChannelAt(1)->Find(1006)->ToText(true).View()), "0.03");
}

TEST(SettingsStream, AnExistingChannelGroupIsReusedByTheReader)
{
    SettingsSet settings = WithChannels({7});
    settings.ChannelAt(0)->Find(1001)->FromText(KVO::String(u"60"), true);
    doctest::ReadInto(settings,
                      StreamBytes().Header().Group(1, 0).Long(1).Long(7).Group(1, 1).Setting(1006, u"2").Get());
    ASSERT_EQ(settings.ChannelCount(), 1u);
    EXPECT_EQ(Utf8(settings.ChannelAt(0)->Find(1001)->ToText(true).View()), "60"); // not mentioned: kept
    EXPECT_EQ(Utf8(settings.ChannelAt(0)->Find(1006)->ToText(true).View()), "2");
}

TEST(SettingsStream, VersionZeroGroupsTakeTheirTauModeFromTheOldSwitch)
{
    const struct {
        const char* what;
        const char16_t* oldSwitch; // null: no record for it
        const char* tauMode;
    } cases[] = {{"switch off", u"f", "0"}, {"switch on", u"t", "1"}, {"no record, default on", nullptr, "1"}};
    for (const auto& c : cases) {
        SettingsSet settings(&Catalogue());
        StreamBytes bytes;
        bytes.Header().Group(1, 0).Long(1).Long(0).Group(0, c.oldSwitch ? 2 : 1).Setting(1037, u"3");
        if (c.oldSwitch) {
            bytes.Setting(1019, c.oldSwitch);
        }
        doctest::ReadInto(settings, bytes.Long(347).Get());
        EXPECT_EQ(Utf8(settings.ChannelAt(0)->Find(1037)->ToText(true).View()), c.tauMode) << c.what;
    }
    // Version 1 keeps the stored tau mode.
    SettingsSet current(&Catalogue());
    doctest::ReadInto(current, StreamBytes().Header().Group(1, 0).Long(1).Long(0).Group(1, 2).Setting(1037, u"3")
                                   .Setting(1019, u"f").Get());
    EXPECT_EQ(Utf8(current.ChannelAt(0)->Find(1037)->ToText(true).View()), "3");
}

TEST(SettingsStream, AStreamThatEndsInsideARecordAppliesNothingOfIt)
{
    const StreamBytes full = StreamBytes()
                                 .Header()
                                 .Group(1, 2)
                                 .Setting(2003, u"2")
                                 .Setting(2000, u"4")
                                 .Long(2)
                                 .Long(5)
                                 .Group(1, 1)
                                 .Setting(1006, u"9")
                                 .Long(6)
                                 .Group(1, 1)
                                 .Setting(1006, u"8")
                                 .Long(347);
    const std::size_t secondGlobalRecordEnd = 4 + 8 + 8 + 2 * (8 + 12 + 4 + 4); // tag, header, group, 2 records
    const Bytes cutInSecondRecord = full.Get().substr(0, secondGlobalRecordEnd - 6);
    SettingsSet settings(&Catalogue());
    doctest::ReadInto(settings, cutInSecondRecord);
    EXPECT_EQ(settings.GetInt(2003), 2);
    EXPECT_EQ(settings.GetInt(2000), 0); // the cut record is not applied
    EXPECT_EQ(settings.ChannelCount(), 0u);

    // Cut inside the first channel group: that group exists with its defaults, no later group is made.
    const Bytes cutInChannel = full.Get().substr(0, secondGlobalRecordEnd + 4 + 4 + 8 + 10);
    SettingsSet partial(&Catalogue());
    doctest::ReadInto(partial, cutInChannel);
    EXPECT_EQ(partial.GetInt(2000), 4);
    ASSERT_EQ(partial.ChannelCount(), 1u);
    EXPECT_EQ(partial.ChannelAt(0)->Key(), 5);
    EXPECT_EQ(Utf8(partial.ChannelAt(0)->Find(1006)->ToText(true).View()), "0.03");

    // Cut between the key and its group: no group is made for a key that was read before the stream failed.
    const Bytes cutAfterKey = full.Get().substr(0, secondGlobalRecordEnd + 4 + 2);
    SettingsSet none(&Catalogue());
    doctest::ReadInto(none, cutAfterKey);
    EXPECT_EQ(none.ChannelCount(), 0u);
}

TEST(SettingsStream, CountsBeyondTheStreamMakeNoGroups)
{
    // A channel count of two billion over a stream that holds one group: one group, and the reader stops.
    SettingsSet settings(&Catalogue());
    doctest::ReadInto(settings, StreamBytes().Header().Group(1, 0).Long(0x7FFFFFFF).Long(3).Group(1, 0).Get());
    ASSERT_EQ(settings.ChannelCount(), 1u);
    EXPECT_EQ(settings.ChannelAt(0)->Key(), 3);

    // A setting count far beyond the stream applies the records that are there.
    SettingsSet many(&Catalogue());
    doctest::ReadInto(many, StreamBytes().Header().Group(1, 0x7FFFFFFF).Setting(2003, u"3").Get());
    EXPECT_EQ(many.GetInt(2003), 3);
    EXPECT_EQ(many.ChannelCount(), 0u);

    // Negative counts read nothing.
    SettingsSet negative(&Catalogue());
    doctest::ReadInto(negative, StreamBytes().Header().Group(1, -3).Long(-2).Long(347).Get());
    EXPECT_EQ(negative.ChannelCount(), 0u);
}

TEST(SettingsStream, ABadStringRecordIsReported)
{
    SettingsSet settings(&Catalogue());
    // The count 5 fails its check word 4; the stream holds enough bytes for a whole record.
    const Bytes bytes =
        StreamBytes().Header().Group(1, 1).Long(0).Long(2003).Long(0x80000001).Long(5).Long(4).Long(0).Long(0).Get();
    EXPECT_THROW(doctest::ReadInto(settings, bytes), XKVO);
    EXPECT_EQ(settings.GetInt(2003), 0);
}

TEST(SettingsStream, AFailedWriteWritesNothingFurther)
{
    // A buffer that takes only the first 20 bytes.
    struct ShortBuffer : std::stringbuf {
        std::streamsize xsputn(const char* s, std::streamsize n) override
        {
            const std::streamsize room = std::max<std::streamsize>(0, 20 - static_cast<std::streamsize>(str().size()));
            return std::stringbuf::xsputn(s, std::min(n, room));
        }
        int_type overflow(int_type c) override
        {
            return str().size() >= 20 ? traits_type::eof() : std::stringbuf::overflow(c);
        }
    } buffer;
    {
        KVO::BinOStream out(&buffer);
        SettingsSet(&Catalogue()).Write(out);
        EXPECT_FALSE(out.Good());
    }
    EXPECT_LE(buffer.str().size(), 20u);
}
