#include "docfixtures.h"
#include "document/persistsettings.h"
#include "document/settingids.h"
#include "foundation/xkvo.h"
#include "host/docframework.h"
#include "platform/com/memstream.h"
#include "tableview/tableviewdata.h"
#include "tableview/tvftableviewmgr.h"

#include <cstring>

using namespace CX::Doc;

namespace {

// The document's side of the persistence: its table objects.
struct Tables final : PersistTables {
    Tables()
    {
        TVF::CreateTableViewManager(manager.Out());
        data = platform::ComPtr<CX::TableViewData>(new CX::TableViewData(nullptr));
    }
    TVF_TableViewMgr* TableManager() override { return manager.Get(); }
    CX::TableViewData* TableData() override { return data.Get(); }

    platform::ComPtr<TVF_TableViewMgr> manager;
    platform::ComPtr<CX::TableViewData> data;
};

platform::ComPtr<host::HostDocument> NewHostDocument()
{
    host::Host& host = SharedHost();
    return host::HostDocument::Create(host.Log(), 7, host.NewChartData());
}

std::string Words(std::initializer_list<std::int32_t> words)
{
    std::string bytes;
    for (const std::int32_t word : words) {
        char le[4];
        const auto value = static_cast<std::uint32_t>(word);
        for (int i = 0; i < 4; ++i) {
            le[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
        }
        bytes.append(le, 4);
    }
    return bytes;
}

std::string Saved(PersistSettings& persist, HRESULT* result = nullptr)
{
    auto stream = platform::MemoryStream::Create();
    const HRESULT hr = persist.Save(stream.Get(), TRUE);
    if (result) {
        *result = hr;
    }
    const auto& data = stream->Data();
    return std::string(data.begin(), data.end());
}

HRESULT LoadBytes(PersistSettings& persist, const std::string& bytes)
{
    auto stream = platform::MemoryStream::Create(std::vector<BYTE>(bytes.begin(), bytes.end()));
    return persist.Load(stream.Get());
}

// A persistence object over a fresh host document, with its own table objects.
struct Persisted {
    Persisted() : hostDocument(NewHostDocument()), persist(hostDocument->AsUnknown(), tables) {}
    platform::ComPtr<host::HostDocument> hostDocument;
    Tables tables;
    PersistSettings persist;
};

void ExpectTail(const std::string& bytes, const std::string& tail)
{
    ASSERT_GE(bytes.size(), tail.size());
    EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);
}

// What follows the settings of the rich document below.
const std::string& RichTail()
{
    static const std::string tail =
        Words({787, 2, 3, 0, 2, 1, 100, 120, 100, 1337, -1, 2, 0, 1, 4, 0, 3, 1, 6, 3, -1, -1, 787});
    return tail;
}

// A document whose table has three columns moved and widened, two column formats and a second channel group.
void MakeRich(Persisted& document)
{
    PersistSettings& persist = document.persist;
    Tables& tables = document.tables;
    doctest::SelectChannel(persist.Settings(), 2);
    doctest::SetText(persist.Settings(), SettingId::kAnalysisType, u"3");
    tables.manager->ResetColumns(3);
    std::stringbuf state(Words({2, 3, 0, 2, 1, 100, 120, 100, 1337}));
    KVO::BinIStream in(&state);
    ASSERT_EQ(tables.manager->LoadState(0, &in), S_OK);
    tables.data->FormatFor(0);
    tables.data->FormatFor(3).digits = 6;
}

} // namespace

TEST(DocumentStream, ANewDocumentWritesTheGoldenBytes)
{
    Persisted persistBundle;
    PersistSettings& persist = persistBundle.persist;
    persist.dirty = true;
    HRESULT result = E_FAIL;
    const std::string bytes = Saved(persist, &result);
    EXPECT_EQ(result, S_OK);
    EXPECT_FALSE(persist.dirty);
    doctest::CheckGolden("document_new.bin", bytes);

    // Tag, version, two empty placements; then the tail: check word, empty table state, no formats, check word.
    EXPECT_EQ(bytes.substr(0, 32), Words({0x5515AAAA, 1, 1, 0, 777, 1, 0, 777}));
    ExpectTail(bytes, Words({787, 2, 0, 1337, -1, 2, -1, -1, 787}));
}

TEST(DocumentStream, TableStateAndColumnFormatsFollowTheSettings)
{
    Persisted persistBundle;
    PersistSettings& persist = persistBundle.persist;
    MakeRich(persistBundle);
    const std::string bytes = Saved(persist);
    doctest::CheckGolden("document_rich.bin", bytes);
    ExpectTail(bytes, RichTail());
}

TEST(DocumentStream, SaveAndLoadRoundTripIntoAnotherDocument)
{
    Persisted savedBundle;
    PersistSettings& saved = savedBundle.persist;
    MakeRich(savedBundle);
    const std::string bytes = Saved(saved);

    Persisted loadedBundle;
    Tables& tablesB = loadedBundle.tables;
    PersistSettings& loaded = loadedBundle.persist;
    loaded.dirty = true;
    ASSERT_EQ(LoadBytes(loaded, bytes), S_OK);
    EXPECT_TRUE(loaded.loaded);
    EXPECT_FALSE(loaded.dirty);
    EXPECT_EQ(loaded.Settings().GetLong(SettingId::kSourceChannel), 2);
    EXPECT_EQ(loaded.Settings().GetInt(SettingId::kAnalysisType), 3);
    EXPECT_GE(loaded.Settings().IndexOfChannel(2), 0);
    EXPECT_EQ(tablesB.manager->ColumnIndex(), (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(tablesB.manager->StoredWidths(), (std::vector<int>{100, 120, 100}));
    ASSERT_EQ(tablesB.data->Formats().size(), 2u);
    EXPECT_EQ(tablesB.data->Formats().at(3).digits, 6);
    // And it writes the same bytes again.
    EXPECT_EQ(Saved(loaded), bytes);
}

// A stimulus position that six digits would round by 2.2 ms comes back as it was saved.
TEST(DocumentStream, DoubleSettingsComeBackExactlyAfterSaveAndReopen)
{
    Persisted savedBundle;
    doctest::SelectChannel(savedBundle.persist.Settings(), 2);
    savedBundle.persist.Settings().SetDouble(SettingId::kStimulusPosition, 1234567.8);
    const std::string bytes = Saved(savedBundle.persist);

    Persisted loadedBundle;
    ASSERT_EQ(LoadBytes(loadedBundle.persist, bytes), S_OK);
    EXPECT_EQ(loadedBundle.persist.Settings().GetDouble(SettingId::kStimulusPosition), 1234567.8);
}

TEST(DocumentStream, DamagedStreamsFailAndKeepWhatWasRead)
{
    Persisted savedBundle;
    PersistSettings& saved = savedBundle.persist;
    MakeRich(savedBundle);
    const std::string bytes = Saved(saved);
    const std::string settingsPart = bytes.substr(0, bytes.size() - RichTail().size());

    std::string wrongCheck = bytes;
    wrongCheck[wrongCheck.size() - 4] = 0x14; // 788
    std::string wrongMark = bytes;
    std::memcpy(wrongMark.data() + settingsPart.size() + 36, Words({1336}).data(), 4);
    std::string newerTable = bytes;
    std::memcpy(newerTable.data() + settingsPart.size() + 4, Words({3}).data(), 4);
    std::string badPlacement = bytes;
    std::memcpy(badPlacement.data() + 16, Words({776}).data(), 4);

    struct Case {
        const char* name;
        std::string bytes;
        bool settingsKept; // the source channel read before the failure
    } cases[] = {
        {"cut after the settings", settingsPart, true},
        {"cut inside the table state", bytes.substr(0, settingsPart.size() + 12), true},
        {"second check word wrong", wrongCheck, true},
        {"table end mark wrong", wrongMark, true},
        {"table state of a newer version", newerTable, true},
        {"placement end marker wrong", badPlacement, true},
        {"empty stream", std::string(), false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        auto target = NewHostDocument();
        Tables tables;
        PersistSettings persist(target->AsUnknown(), tables);
        persist.dirty = true;
        EXPECT_EQ(LoadBytes(persist, test.bytes), E_FAIL);
        EXPECT_FALSE(persist.loaded);
        EXPECT_TRUE(persist.dirty);
        EXPECT_EQ(persist.Settings().GetLong(SettingId::kSourceChannel), test.settingsKept ? 2 : 0);
    }
}

TEST(DocumentStream, VersionZeroStopsAfterTheFirstCheckWord)
{
    Persisted savedBundle;
    PersistSettings& saved = savedBundle.persist;
    doctest::SelectChannel(saved.Settings(), 5);
    std::string bytes = Saved(saved);
    const std::size_t tailSize = Words({2, 0, 1337, -1, 2, -1, -1, 787}).size();
    bytes.resize(bytes.size() - tailSize);
    std::memcpy(bytes.data() + 4, Words({0}).data(), 4);

    Persisted persistBundle;
    PersistSettings& persist = persistBundle.persist;
    EXPECT_EQ(LoadBytes(persist, bytes), S_OK);
    EXPECT_TRUE(persist.loaded);
    EXPECT_EQ(persist.Settings().GetLong(SettingId::kSourceChannel), 5);
}

TEST(DocumentStream, ASaveIntoAFailingStreamReportsFailureAndStaysDirty)
{
    Persisted persistBundle;
    PersistSettings& persist = persistBundle.persist;
    struct Case {
        const char* name;
        platform::MemoryStreamFaults faults;
    } cases[] = {
        {"every write fails", {.write = {1, 0, STG_E_WRITEFAULT}}},
        {"the medium is full", {.capacity = 40}},
    };
    for (Case& test : cases) {
        SCOPED_TRACE(test.name);
        auto stream = platform::MemoryStream::Create();
        stream->Faults() = test.faults;
        persist.dirty = true;
        EXPECT_TRUE(FAILED(persist.Save(stream.Get(), TRUE)));
        EXPECT_TRUE(persist.dirty);
        EXPECT_EQ(persist.IsDirty(), S_OK);
    }
}

TEST(DocumentStream, InitNewResetsOnlyAnAttachedOrLoadedDocument)
{
    Persisted persistBundle;
    PersistSettings& persist = persistBundle.persist;
    doctest::SelectChannel(persist.Settings(), 4);
    EXPECT_EQ(persist.InitNew(), S_FALSE);
    EXPECT_EQ(persist.Settings().GetLong(SettingId::kSourceChannel), 4);
    persist.attached = true;
    EXPECT_EQ(persist.InitNew(), S_OK);
    EXPECT_EQ(persist.Settings().GetLong(SettingId::kSourceChannel), 0);
    EXPECT_EQ(persist.Settings().ChannelCount(), 0u);
}

TEST(DocumentStream, SettingsLiveInTheChildDataAndACloneCopiesOnlyThem)
{
    Persisted persistBundle;
    PersistSettings& persist = persistBundle.persist;
    doctest::SelectChannel(persist.Settings(), 3);
    ChartDataChildData* child = persist.ChildData();
    ASSERT_NE(child, nullptr);
    child->Positions().MapForBlock(1)[KVOPosition{10, 1}] = 0;
    child->SetChannelPair(3, static_cast<std::int32_t>(0x80000000u));

    // A second persistence object over the same host document finds the same settings.
    Tables other;
    PersistSettings again(persistBundle.hostDocument->AsUnknown(), other);
    EXPECT_EQ(&again.Settings(), &persist.Settings());

    platform::ComPtr<IChartDataChildData> copy;
    ASSERT_EQ(child->Clone(nullptr, copy.Out()), S_OK);
    auto* cloned = static_cast<ChartDataChildData*>(copy.Get());
    ASSERT_NE(cloned->Settings(), nullptr);
    EXPECT_NE(cloned->Settings(), child->Settings());
    EXPECT_EQ(cloned->Settings()->GetLong(SettingId::kSourceChannel), 3);
    EXPECT_EQ(cloned->Positions().Count(), 0);
    std::int32_t pair[2] = {};
    cloned->GetChannelPair(pair);
    EXPECT_EQ(pair[0], static_cast<std::int32_t>(0x80000000u));
    EXPECT_EQ(pair[1], static_cast<std::int32_t>(0xC0000000u));
}

TEST(ColumnFormats, StreamsAndOlderBlocks)
{
    struct Case {
        const char* name;
        std::string input;
        bool result;
        std::map<int, int> digits; // the map afterwards (it starts with code 5 at 4 digits)
    } cases[] = {
        {"current block", Words({-1, 2, 0, 1, 4, 0, 3, 1, 6, 3, -1, -1}), true, {{0, 4}, {3, 6}, {5, 4}}},
        {"another version", Words({-1, 3}), false, {{5, 4}}},
        {"older block", Words({2, 7, 8, 2}), true, {{5, 4}}},
        {"older block with a wrong count, then the count", Words({1, 7, 8, 1}), true, {{5, 4}}},
        {"empty older block", Words({0, 0}), true, {{5, 4}}},
        {"cut inside an entry", Words({-1, 2, 3, 1, 6}), false, {{5, 4}}},
        {"cut after an entry", Words({-1, 2, 3, 1, 6, 3}), false, {{3, 6}, {5, 4}}},
        {"missing final marker", Words({-1, 2, -1, 7}), false, {{5, 4}}},
        // Figures the dialog never offers come only from a damaged file: they take the default.
        {"figures beyond 1 to 10", Words({-1, 2, 0, 1, 0, 0, 1, 1, 1, 1, 2, 1, 10, 2, 3, 1, 11, 3, 6, 1, -7, 6, 7, 1,
                                          0x7FFFFFFF, 7, -1, -1}),
         true, {{0, 4}, {1, 1}, {2, 10}, {3, 4}, {5, 4}, {6, 4}, {7, 4}}},
        // A failed stream reads 0: an empty older block, which the document's check words then refuse.
        {"nothing", std::string(), true, {{5, 4}}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        CX::TableViewData data(nullptr);
        data.FormatFor(5);
        std::stringbuf buffer(Words({static_cast<std::int32_t>(KVO::kBinStreamTag)}) + test.input);
        KVO::BinIStream in(&buffer);
        EXPECT_EQ(data.LoadColumnFormats(in), test.result);
        std::map<int, int> digits;
        for (const auto& [code, format] : data.Formats()) {
            digits[code] = format.digits;
        }
        EXPECT_EQ(digits, test.digits);
    }
}

TEST(ColumnFormats, AllDigitsChangeOnlyCodesAlreadyShown)
{
    CX::TableViewData data(nullptr);
    data.FormatFor(0);
    data.FormatFor(3);
    data.SetAllDigits(2);
    EXPECT_EQ(data.FormatFor(0).digits, 2);
    EXPECT_EQ(data.FormatFor(3).digits, 2);
    EXPECT_EQ(data.FormatFor(9).digits, 4);
}

