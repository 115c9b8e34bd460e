#include "docfixtures.h"
#include "preparedevents.h"
#include "document/cycledetector.h"
#include "document/persistsettings.h"
#include "document/settingids.h"
#include "host/docframework.h"
#include "tableview/tableviewdata.h"
#include "tableview/tvftableviewmgr.h"

#include <cmath>
#include <cstring>

using namespace CX::Doc;
using doctest::Prepared;
using doctest::PreparedEvents;
using CX::Enum::EventFCalc;

namespace {

struct NoTables final : PersistTables {
    TVF_TableViewMgr* TableManager() override { return nullptr; }
    CX::TableViewData* TableData() override { return nullptr; }
};

struct Ticks {
    std::int32_t tick, stimulus, baselineStart, baselineEnd, riseStart, fallEnd, plateau1, plateau2;
    double value;
    float baseline, lowest, highest;
};

EventFCalc Event(const Ticks& t)
{
    EventFCalc event;
    event.tick = t.tick;
    event.stimulusTick = t.stimulus;
    event.baselineStart = t.baselineStart;
    event.baselineEnd = t.baselineEnd;
    event.riseStart = t.riseStart;
    event.fallEnd = t.fallEnd;
    event.reserved104 = t.plateau1;
    event.reserved108 = t.plateau2;
    event.value = t.value;
    event.baseline = t.baseline;
    event.lowest = t.lowest;
    event.highest = t.highest;
    return event;
}

struct Fixture {
    Fixture()
        : hostDocument(host::HostDocument::Create(SharedHost().Log(), 7, SharedHost().NewChartData())),
          persist(hostDocument->AsUnknown(), tables), results(hostDocument->AsUnknown(), persist)
    {
    }
    platform::ComPtr<host::HostDocument> hostDocument;
    NoTables tables;
    PersistSettings persist;
    CycleDetector results;
};

// Block 0 at 1 ms per sample: A has every tick and a rise before its fall; B has only its tick and a baseline
// start. Block 1 at 0.5 ms: C has plateau ticks.
const Ticks kA{100, 90, 80, 95, 92, 130, -1, -1, 5.0, 1.0f, -2.0f, 3.0f};
const Ticks kB{200, -1, 190, -1, -1, -1, -1, -1, 2.5, 0.5f, -1.0f, 7.0f};
const Ticks kC{40, 30, 35, 50, -1, 60, 44, 48, -3.0, -1.0f, -4.0f, 1.0f};

} // namespace

TEST(ResultsStore, StoresEventsBlockByBlockWithTheirPlaces)
{
    Fixture f;
    auto block0 = Prepared({Event(kA), Event(kB)}, CycleDetector::kRecordBytes);
    auto block1 = Prepared({Event(kC)}, CycleDetector::kRecordBytes);
    ASSERT_TRUE(f.results.BeginBlock(0, block0.Get(), 0.001));
    EXPECT_TRUE(f.results.EnumerateTo(-1));
    f.results.EndBlock();
    ASSERT_TRUE(f.results.BeginBlock(1, block1.Get(), 0.0005));
    EXPECT_TRUE(f.results.EnumerateTo(-1));
    f.results.EndBlock();

    ASSERT_EQ(f.results.EventCount(), 3);
    EXPECT_EQ(f.results.EventsPerBlock(), (std::vector<std::int32_t>{2, 1}));
    struct Expected {
        std::int32_t block, index, tick;
        double duration, height;
    } expected[] = {
        // A: rise 92 before fall 130 ends it at 130; it starts at min(90, 80).
        {0, 0, 100, (130 - 80) * 0.001, 4.0},
        // B: no rise; the end is 190 + 2 (200 - 190); it starts at its baseline start.
        {0, 1, 200, (210 - 190) * 0.001, 2.0},
        // C: no rise; the end is 30 + 2 (40 - 30) = 50, at least the fall 60; it starts at 30.
        {1, 0, 40, (60 - 30) * 0.0005, -2.0},
    };
    for (std::int32_t row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        const StoredEvent& stored = f.results.EventAt(row);
        EXPECT_EQ(stored.block, expected[row].block);
        EXPECT_EQ(stored.index, expected[row].index);
        EXPECT_EQ(stored.record.tick, expected[row].tick);
        EXPECT_FLOAT_EQ(f.results.Durations()[row], static_cast<float>(expected[row].duration));
        EXPECT_FLOAT_EQ(f.results.Heights()[row], static_cast<float>(expected[row].height));
        // The stand-in host's clock: block in the high word, tick in the low.
        EXPECT_EQ(f.results.AbsoluteTimes()[row],
                  (static_cast<LONGLONG>(expected[row].block) << 32) + expected[row].tick);
    }

    // Ordinals under the stimulus tick, the plateau ticks and the event's own tick.
    ChartDataChildData* child = f.persist.ChildData();
    ASSERT_NE(child, nullptr);
    struct Position {
        std::int32_t offset, block, ordinal;
    } positions[] = {
        {90, 0, 0}, {100, 0, 0}, {200, 0, 1}, {190, 0, -1}, {30, 1, 2}, {44, 1, 2}, {48, 1, 2}, {40, 1, 2}, {35, 1, -1},
    };
    for (const Position& p : positions) {
        EXPECT_EQ(child->EventOrdinal(p.offset, p.block), p.ordinal) << p.offset << "," << p.block;
    }
    EXPECT_EQ(child->Positions().MapAt(0)->size(), 3u);
    EXPECT_EQ(f.results.EventOrdinal(), 3);

    // Ranges: B has neither a stimulus tick nor a baseline end, so its lead runs from its tick back to -1, the only
    // negative one.
    EXPECT_TRUE(f.results.RangesValid());
    EXPECT_DOUBLE_EQ(f.results.LeadMinimum(), (-1 - 200) * 0.001);
    EXPECT_DOUBLE_EQ(f.results.EndSpanMaximum(), std::max({(130 - 90) * 0.001, (210 - 200) * 0.001, (60 - 30) * 0.0005}));
    EXPECT_DOUBLE_EQ(f.results.PlateauMinimum(), -4.0);
    EXPECT_DOUBLE_EQ(f.results.PlateauMaximum(), 7.0);
}

TEST(ResultsStore, ClearEmptiesResultsAndPositionMaps)
{
    Fixture f;
    auto block0 = Prepared({Event(kA)}, CycleDetector::kRecordBytes);
    ASSERT_TRUE(f.results.BeginBlock(0, block0.Get(), 0.001));
    ASSERT_TRUE(f.results.EnumerateTo(-1));
    f.results.Clear();
    EXPECT_EQ(f.results.EventCount(), 0);
    EXPECT_TRUE(f.results.EventsPerBlock().empty());
    EXPECT_FALSE(f.results.RangesValid());
    EXPECT_EQ(f.results.LeadMinimum(), 0.0);
    EXPECT_EQ(f.results.EndSpanMaximum(), 0.0);
    EXPECT_EQ(f.persist.ChildData()->Positions().Count(), 0);
    EXPECT_EQ(f.results.EventOrdinal(), 0);

    // After a clear a positive lead never lowers the minimum of 0.
    auto again = Prepared({Event({100, 90, 95, 95, -1, 120, -1, -1, 1.0, 0.0f, 0.0f, 0.0f})}, CycleDetector::kRecordBytes);
    ASSERT_TRUE(f.results.BeginBlock(0, again.Get(), 0.001));
    ASSERT_TRUE(f.results.EnumerateTo(-1));
    EXPECT_EQ(f.results.LeadMinimum(), 0.0);
}

TEST(ResultsStore, RecordSizesOfTheEventSource)
{
    const EventFCalc a = Event(kA);
    struct Case {
        const char* name;
        LONG size;
        bool taken;
    } cases[] = {
        {"a base record is refused", 112, false},
        {"one byte short is refused", CycleDetector::kRecordBytes - 1, false},
        {"a final record", CycleDetector::kRecordBytes, true},
        {"a larger record gives its first 344 bytes", CycleDetector::kRecordBytes + 56, true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Fixture f;
        auto events = Prepared({a}, test.size);
        EXPECT_EQ(f.results.BeginBlock(0, events.Get(), 0.001), test.taken);
        EXPECT_EQ(f.results.EnumerateTo(-1), test.taken);
        ASSERT_EQ(f.results.EventCount(), test.taken ? 1 : 0);
        if (test.taken) {
            EXPECT_EQ(std::memcmp(&f.results.EventAt(0).record, &a, sizeof a), 0);
        }
    }
}

TEST(ResultsStore, RowsOutsideTheEventsGiveTheEmptyRecord)
{
    Fixture f;
    auto block0 = Prepared({Event(kA)}, CycleDetector::kRecordBytes);
    ASSERT_TRUE(f.results.BeginBlock(0, block0.Get(), 0.001));
    ASSERT_TRUE(f.results.EnumerateTo(-1));
    for (const std::int32_t row : {-1, 1, 1000, INT32_MIN}) {
        const StoredEvent& empty = f.results.EventAt(row);
        EXPECT_EQ(empty.block, CycleDetector::kNoBlock) << row;
        EXPECT_EQ(empty.index, 0);
        EXPECT_EQ(empty.record.rise50Tick, -1);
        EXPECT_EQ(empty.record.fall50Tick, -1);
    }
}

TEST(ResultsStore, ReadingStopsAtTheLastOffsetAndOnFailures)
{
    Fixture f;
    auto block0 = Prepared({Event(kA), Event(kB)}, CycleDetector::kRecordBytes);
    ASSERT_TRUE(f.results.BeginBlock(0, block0.Get(), 0.001));
    // Up to tick 200: A only; the next call goes on from there.
    EXPECT_TRUE(f.results.EnumerateTo(200));
    EXPECT_EQ(f.results.EventCount(), 1);
    EXPECT_TRUE(f.results.EnumerateTo(-1));
    EXPECT_EQ(f.results.EventCount(), 2);

    auto failing = Prepared({Event(kA), Event(kB)}, CycleDetector::kRecordBytes);
    failing->failAt = 2;
    ASSERT_TRUE(f.results.BeginBlock(1, failing.Get(), 0.001));
    EXPECT_FALSE(f.results.EnumerateTo(-1));
    EXPECT_EQ(f.results.EventCount(), 3);

    // Without a block nothing is read.
    f.results.EndBlock();
    EXPECT_FALSE(f.results.EnumerateTo(-1));
}

TEST(ResultsStore, ColumnsFollowThePerParameterSettings)
{
    Fixture f;
    SettingsSet& settings = f.persist.Settings();
    doctest::SelectChannel(settings, 0);
    const CX::ParamCatalogue& catalogue = *settings.Catalogue();
    const std::int32_t type = settings.GetInt(SettingId::kAnalysisType);
    std::vector<std::int32_t> offered;
    for (std::int32_t line = 0; line < catalogue.RowCount(type); ++line) {
        offered.push_back(catalogue.RowAt(type, line).Code);
    }
    ASSERT_GE(offered.size(), 3u);
    for (const std::int32_t code : offered) {
        settings.SetBool(code, false);
    }
    EXPECT_EQ(f.results.CollectSelectedParameters(), 0);
    settings.SetBool(offered[2], true);
    settings.SetBool(offered[0], true);
    EXPECT_EQ(f.results.CollectSelectedParameters(), 2);
    EXPECT_EQ(f.results.Columns(), (std::vector<std::int32_t>{offered[0], offered[2]}));
}

TEST(ResultsStore, CellsAndTitlesOfTheColumns)
{
    Fixture f;
    SettingsSet& settings = f.persist.Settings();
    doctest::SelectChannel(settings, 0);
    const CX::ParamCatalogue& catalogue = *settings.Catalogue();
    const KVO::PrefixedUnit volts(u"V", u'm');
    const KVO::PrefixedUnit none;
    // One column whose parameter has a unit on a millivolt channel, and the time of day.
    std::int32_t withUnit = -1;
    for (std::int32_t line = 0; line < catalogue.RowCount(0) && withUnit < 0; ++line) {
        const std::int32_t code = catalogue.RowAt(0, line).Code;
        if (code != 58 && code >= 0 && !CX::ParamCatalogue::UnitText(code, volts).Text().empty()) {
            withUnit = code;
        }
    }
    ASSERT_GE(withUnit, 0);
    for (std::int32_t line = 0; line < catalogue.RowCount(0); ++line) {
        const std::int32_t code = catalogue.RowAt(0, line).Code;
        settings.SetBool(code, code == withUnit || code == 58);
    }
    ASSERT_EQ(f.results.CollectSelectedParameters(), catalogue.Offers(0, 58) ? 2 : 1);

    const std::u16string titled = f.results.ColumnTitle(0, volts).c_str();
    EXPECT_NE(titled.find(u" (" + CX::ParamCatalogue::UnitText(withUnit, volts).Text() + u")"), std::u16string::npos);
    EXPECT_EQ(titled.find(u" ("), titled.rfind(u" ("));
    const std::u16string bare = f.results.ColumnTitle(0, none).c_str();
    if (CX::ParamCatalogue::UnitText(withUnit, none).Text().empty()) {
        EXPECT_EQ(bare.find(u" ("), std::u16string::npos);
    }

    auto block0 = Prepared({Event(kA)}, CycleDetector::kRecordBytes);
    ASSERT_TRUE(f.results.BeginBlock(0, block0.Get(), 0.001));
    ASSERT_TRUE(f.results.EnumerateTo(-1));
    // Time of day: the stand-in clock's date is the block, its time the tick; a row past the end formats time 0.
    EXPECT_EQ(std::u16string(f.results.FormatEventValue(0, 58, volts, nullptr).c_str()), u"B0 T100");
    EXPECT_EQ(std::u16string(f.results.FormatEventValue(5, 58, volts, nullptr).c_str()), u"B0 T0");
    // Other codes give no text and the stored value; the empty record's for a row past the end.
    double number = 0;
    EXPECT_TRUE(f.results.FormatEventValue(0, withUnit, none, &number).IsEmpty());
    const KVO::PrefixedUnit unit = CX::ParamCatalogue::UnitText(withUnit, none);
    const double scale = unit.Prefix() ? KVO::SIPrefixMultiplier(unit.Prefix()) : 1.0;
    EXPECT_DOUBLE_EQ(number, f.results.EventAt(0).record.GetValueById(withUnit) / scale);
    f.results.FormatEventValue(9, withUnit, none, &number);
    EXPECT_TRUE(std::isnan(number)); // unset
}
