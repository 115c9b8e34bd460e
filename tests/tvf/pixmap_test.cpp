#include "tableview/tvf/pixmap.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// A table of `rows` stored rows, the header row included.
class StoredRows final : public ITableStoredRowInfo {
public:
    LONG rows = 1;
    DWORD askedWith = 0;

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_ITableStoredRowInfo || iid == IID_IUnknown) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT GetRowCount(DWORD flags, LONG* count) override
    {
        askedWith = flags;
        *count = rows;
        return S_OK;
    }
};

// Takes the first reference, as the renderer does.
struct MapRef {
    explicit MapRef(TVF_PixMap* map) : map(map) { map->AddRef(); }
    ~MapRef() { map->Release(); }
    TVF_PixMap* operator->() const { return map; }
    TVF_PixMap* map;
};

constexpr DWORD kEventGrid = 8;

} // namespace

TEST(PixMap, ATableWithoutDataRowsIsOneEmptyRecordAtZero)
{
    StoredRows rows; // the header row only
    MapRef map(new TVF_PixMap(&rows, 1, 1, kEventGrid));
    std::int64_t length = -1;
    EXPECT_EQ(map->GetTotalLength(&length), S_OK);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(rows.askedWith, kEventGrid);
    LONG records = 0;
    EXPECT_EQ(map->GetRecordCount(&records), S_OK);
    EXPECT_EQ(records, 1);
    std::int64_t from = -1, to = -1;
    EXPECT_EQ(map->GetRecordExtent(0, &from, &to), S_OK);
    EXPECT_EQ(from, 0);
    EXPECT_EQ(to, 0);
    std::int64_t pixel = -1;
    EXPECT_EQ(map->BeginIteration(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), S_OK);
    EXPECT_EQ(map->GetIterationPosition(0, &pixel), S_OK);
    EXPECT_EQ(pixel, 0);
}

TEST(PixMap, PixelsMapToRowsBelowTheTotalLengthOnly)
{
    StoredRows rows;
    rows.rows = 101; // 100 data rows under one header row
    MapRef map(new TVF_PixMap(&rows, 1, 1, kEventGrid));
    std::int64_t length = 0;
    map->GetTotalLength(&length);
    ASSERT_EQ(length, 100);
    struct Case {
        std::int64_t pixel;
        HRESULT result;
        std::int64_t offset;
    };
    for (const Case& c : {Case{0, S_OK, 0}, Case{1, S_OK, 1}, Case{99, S_OK, 99}, Case{100, S_FALSE, 100},
                          Case{1000, S_FALSE, 1000}, Case{-1, S_FALSE, -1}}) {
        RecordDataPosition position{-7, -7, 0};
        std::int64_t next = 0;
        EXPECT_EQ(map->PixelToPosition(c.pixel, &position, &next), c.result) << c.pixel;
        EXPECT_EQ(position.offset, c.offset) << c.pixel;
        EXPECT_EQ(position.record, 0) << c.pixel;
        EXPECT_EQ(next, 100) << c.pixel;
    }
}

TEST(PixMap, TheRowCountIsReadAfreshAndARebuildFollowsEveryChange)
{
    StoredRows rows;
    rows.rows = 11;
    MapRef map(new TVF_PixMap(&rows, 1, 1, kEventGrid));
    std::int64_t length = 0;
    map->GetTotalLength(&length);
    EXPECT_EQ(length, 10);
    rows.rows = 21; // the last record's end is read anew, without a rebuild
    map->GetTotalLength(&length);
    EXPECT_EQ(length, 20);

    // A first gap moves the record's data right; its start stays at 0.
    EXPECT_EQ(map->SetGap(0, 4), S_OK);
    map->GetTotalLength(&length);
    EXPECT_EQ(length, 24);
    RecordDataPosition position{};
    std::int64_t next = 0;
    EXPECT_EQ(map->PixelToPosition(6, &position, &next), S_OK);
    EXPECT_EQ(position.offset, 2);
    std::int64_t from = 0, to = 0;
    EXPECT_EQ(map->GetRecordExtent(0, &from, &to), S_OK);
    EXPECT_EQ(from, -4);
    EXPECT_EQ(to, 24);
}

TEST(PixMap, SnappingAPixelInTheFirstGapStaysOnTheFirstRecord)
{
    StoredRows rows;
    rows.rows = 11;
    MapRef map(new TVF_PixMap(&rows, 1, 1, kEventGrid));
    map->SetGap(0, 4);
    struct Case {
        LONG mode;
        std::int64_t pixel, offset, positionOffset;
    };
    for (const Case& c : {Case{0, 1, -3, 0}, Case{0, 3, -1, 0}, Case{1, 2, -2, 0}, Case{0, 7, 3, 3}, Case{5, 0, -4, 0}}) {
        std::int64_t offset = 0;
        RecordDataPosition position{-7, -7, 0};
        EXPECT_EQ(map->SnapPixel(c.mode, c.pixel, &offset, &position), S_OK) << c.pixel;
        EXPECT_EQ(offset, c.offset) << c.pixel;
        EXPECT_EQ(position.offset, c.positionOffset) << c.pixel;
        EXPECT_EQ(position.record, 0) << c.pixel;
    }
}

TEST(PixMap, SettersAndRefusals)
{
    StoredRows rows;
    MapRef map(new TVF_PixMap(&rows, 1, 1, kEventGrid));
    EXPECT_EQ(map->SetGap(3, 1), E_INVALIDARG);
    EXPECT_EQ(map->SetGap(-1, 1), E_INVALIDARG);
    EXPECT_EQ(map->SetGap(2, 1), S_OK);
    EXPECT_EQ(map->SetOrigin(42), S_OK);
    EXPECT_EQ(map->SetScale(3, 4), S_OK);
    KVORational scale{};
    EXPECT_EQ(map->GetScale(&scale), S_OK);
    EXPECT_EQ(scale.numerator, 3);
    EXPECT_EQ(scale.denominator, 4);
    EXPECT_EQ(map->Unused4(0, 0, 0, 0), E_NOTIMPL);
    EXPECT_EQ(map->Unused32(0, 0), S_OK);
    EXPECT_EQ(map->Unused35(), E_NOTIMPL);

    std::int64_t from = 0, to = 0;
    EXPECT_EQ(map->GetRecordExtent(1, &from, &to), S_FALSE);
    EXPECT_EQ(from, std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(to, std::numeric_limits<std::int64_t>::min());

    std::int64_t pixel = 0;
    map->BeginIteration(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(map->EndIteration(0), S_OK);
    EXPECT_EQ(map->GetIterationPosition(0, &pixel), S_FALSE);

    void* out = nullptr;
    EXPECT_EQ(map->QueryInterface(IID_IRecordDataPixMap, &out), S_OK);
    EXPECT_EQ(out, static_cast<IRecordDataPixMap*>(map.map));
    map->Release();
    EXPECT_EQ(map->QueryInterface(IID_ITableStoredRowInfo, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST(PixMap, WithoutStoredRowsTheMapIsEmpty)
{
    struct Plain final : IUnknown {
        HRESULT QueryInterface(REFIID, void** out) override
        {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
    } plain;
    for (IUnknown* source : {static_cast<IUnknown*>(&plain), static_cast<IUnknown*>(nullptr)}) {
        MapRef map(new TVF_PixMap(source, 1, 1, kEventGrid));
        std::int64_t length = -1;
        EXPECT_EQ(map->GetTotalLength(&length), S_OK);
        EXPECT_EQ(length, 0);
    }
}
