#include "foundation/binstream.h"
#include "foundation/kvostring.h"
#include "foundation/xkvo.h"
#include "sdk/ikvostring.h"
#include "tableview/tvftableviewmgr.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A client table of `columns` columns (header included) whose cells name their row and column, and which records
// the actions it is told.
class Client final : public ITableDataManager, public ITableUserActionHandler {
public:
    explicit Client(LONG columns) : columns(columns) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }

    HRESULT GetCell(DWORD, LONG row, LONG column, IKVOString** text) override
    {
        *text = KVO::String(std::wstring(L"r") + std::to_wstring(row) + L"c" + std::to_wstring(column)).GetInterface();
        return S_OK;
    }
    HRESULT GetCellStyle(DWORD, LONG, LONG column, LONG* style) override
    {
        *style = 1000 + column;
        return S_OK;
    }
    HRESULT GetColumnCount(DWORD, LONG* count) override
    {
        *count = columns;
        return S_OK;
    }
    HRESULT GetName(DWORD, IKVOString**) override { return E_NOTIMPL; }
    HRESULT GetTitle(DWORD, IKVOString**) override { return E_NOTIMPL; }

    HRESULT OnSelectionChanged(DWORD, const TableRange* ranges, LONG count) override
    {
        selection.assign(ranges, ranges + count);
        return S_OK;
    }
    HRESULT OnCellAction(DWORD, LONG, LONG column) override
    {
        actions.push_back(column);
        return S_OK;
    }
    HRESULT OnCellNotify(DWORD, LONG, LONG column, IKVOString*) override
    {
        actions.push_back(column);
        return S_OK;
    }
    HRESULT OnCellNotifyEx(DWORD, LONG, LONG, LONG column, LONG) override
    {
        actions.push_back(column);
        return S_OK;
    }
    HRESULT OnFollowLatestChanged(DWORD, VARIANT_BOOL on) override
    {
        follow.push_back(on);
        return S_OK;
    }

    LONG columns;
    std::vector<TableRange> selection;
    std::vector<LONG> actions;
    std::vector<VARIANT_BOOL> follow;
};

platform::ComPtr<TVF_TableViewMgr> NewManager()
{
    platform::ComPtr<TVF_TableViewMgr> manager;
    EXPECT_EQ(TVF::CreateTableViewManager(manager.Out()), S_OK);
    return manager;
}

std::u16string CellOf(TVF_TableViewMgr& manager, LONG row, LONG column)
{
    IKVOString* text = nullptr;
    manager.GetCell(0, row, column, &text);
    std::u16string value = text->GetText();
    text->Release();
    return value;
}

std::string Words(std::initializer_list<std::int32_t> words)
{
    std::string bytes;
    for (const std::int32_t word : words) {
        for (int i = 0; i < 4; ++i) {
            bytes += static_cast<char>((static_cast<std::uint32_t>(word) >> (8 * i)) & 0xFF);
        }
    }
    return bytes;
}

std::string Golden(const char* name)
{
    std::ifstream in(std::string(TEST_DATA_DIR) + "/golden/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(TableManager, BeforeTheGridHasColumnsNothingIsMapped)
{
    auto manager = NewManager();
    Client client(4);
    manager->SetClient(&client, &client);
    EXPECT_EQ(manager->ColumnIndex(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(manager->StoredWidths(), (std::vector<int>{100, 100, 100, 100}));
    EXPECT_EQ(CellOf(*manager.Get(), 1, 2), u"");
    LONG value = 0;
    manager->GetCellStyle(0, 1, 2, &value);
    EXPECT_EQ(value, 1);
    manager->GetColumnCount(0, &value);
    EXPECT_EQ(value, 4) << "still the client's";
    manager->GetColumnWidth(0, 2, &value);
    EXPECT_EQ(value, 100);
    EXPECT_EQ(manager->SetColumnWidth(0, 2, 300), S_OK);
    EXPECT_EQ(manager->StoredWidths()[2], 100);
    EXPECT_EQ(manager->OnCellAction(0, 1, 2), S_OK);
    EXPECT_TRUE(client.actions.empty());
}

TEST(TableManager, MovedColumnsMapCellsActionsAndWidths)
{
    auto manager = NewManager();
    Client client(4);
    manager->SetClient(&client, &client);
    manager->SetMapping(true);
    LONG width = 0;
    EXPECT_EQ(manager->GetColumnWidth(0, 3, &width), S_OK);
    EXPECT_EQ(width, 90);

    ASSERT_EQ(manager->MoveColumn(0, 1, 3), S_OK);
    EXPECT_EQ(manager->ColumnIndex(), (std::vector<int>{0, 2, 3, 1}));
    EXPECT_EQ(manager->MoveColumn(0, 4, 0), E_FAIL);
    TableCell cell{};
    manager->DataToDisplay(0, 5, 1, &cell);
    EXPECT_EQ(cell.row, 5);
    EXPECT_EQ(cell.column, 3);
    manager->DataToDisplay(0, 5, 9, &cell);
    EXPECT_EQ(cell.row, 0);
    EXPECT_EQ(cell.column, 0);
    manager->DisplayToData(0, 5, 3, &cell);
    EXPECT_EQ(cell.column, 1);
    manager->DisplayToData(0, 5, 7, &cell);
    EXPECT_EQ(cell.column, 7) << "beyond the index: unchanged";

    EXPECT_EQ(CellOf(*manager.Get(), 2, 1), u"r2c2");
    EXPECT_EQ(CellOf(*manager.Get(), 2, 3), u"r2c1");
    LONG style = 0;
    manager->GetCellStyle(0, 0, 3, &style);
    EXPECT_EQ(style, 1001);

    manager->OnCellAction(0, 1, 3);
    manager->OnCellNotify(0, 1, 1, nullptr);
    manager->OnCellNotifyEx(0, 2, 1, 2, 0);
    EXPECT_EQ(client.actions, (std::vector<LONG>{1, 2, 3}));
    const TableRange ranges[] = {{3, 1, 4}, {0, 2, 3}};
    manager->OnSelectionChanged(0, ranges, 2);
    ASSERT_EQ(client.selection.size(), 2u);
    EXPECT_EQ(client.selection[0].column, 1);
    EXPECT_EQ(client.selection[0].endRow, 4);
    EXPECT_EQ(client.selection[1].column, 0);
    manager->OnFollowLatestChanged(0, 5);
    manager->OnFollowLatestChanged(0, 0);
    EXPECT_EQ(client.follow, (std::vector<VARIANT_BOOL>{VARIANT_TRUE, VARIANT_FALSE}));

    // Widths belong to the client's column, wherever it is shown.
    EXPECT_EQ(manager->SetColumnWidth(0, 3, 150), S_OK);
    EXPECT_EQ(manager->StoredWidths(), (std::vector<int>{100, 160, 100, 100}));
    EXPECT_EQ(manager->SetColumnWidth(0, 4, 150), E_FAIL);
    EXPECT_EQ(manager->GetColumnWidth(0, 4, &width), E_FAIL);
    EXPECT_EQ(width, 100);

    // New columns join at the end; a new default width starts afresh.
    client.columns = 5;
    EXPECT_EQ(manager->SyncColumns(), S_OK);
    EXPECT_EQ(manager->ColumnIndex(), (std::vector<int>{0, 2, 3, 1, 4}));
    manager->SetDefaultColumnWidth(80);
    EXPECT_EQ(manager->ColumnIndex(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(manager->StoredWidths(), (std::vector<int>(5, 80)));
}

TEST(TableManager, StateBytesAndOlderVersions)
{
    auto manager = NewManager();
    Client client(3);
    manager->SetClient(&client, &client);
    manager->SetMapping(true);
    manager->MoveColumn(0, 2, 1);
    manager->SetColumnWidth(0, 2, 100);
    std::stringbuf saved;
    {
        KVO::BinOStream out(&saved);
        ASSERT_EQ(manager->SaveState(0, &out), S_OK);
    }
    const std::string bytes = saved.str();
    EXPECT_EQ(bytes, Golden("table_state.bin"));
    if (std::getenv("UPDATE_GOLDEN")) {
        std::ofstream(std::string(TEST_DATA_DIR) + "/golden/table_state.bin", std::ios::binary) << bytes;
    }
    // After the stream's tag: 2, 3, order 0 2 1, widths 100 110 100, 1337.
    EXPECT_EQ(bytes.substr(bytes.size() - 36), Words({2, 3, 0, 2, 1, 100, 110, 100, 1337}));

    auto reread = NewManager();
    std::stringbuf back(bytes);
    KVO::BinIStream in(&back);
    ASSERT_EQ(reread->LoadState(0, &in), S_OK);
    EXPECT_EQ(reread->ColumnIndex(), manager->ColumnIndex());
    EXPECT_EQ(reread->StoredWidths(), manager->StoredWidths());
}

// What a damaged or older document gives the manager: never an order or a width the table cannot use.
TEST(TableManager, LoadedStateIsValidated)
{
    const struct {
        const char* name;
        std::string words;
        HRESULT result;
        std::vector<int> index;
        std::vector<int> widths;
    } cases[] = {
        {"fits", Words({2, 3, 2, 0, 1, 100, 130, 100, 1337}), S_OK, {2, 0, 1}, {100, 130, 100}},
        {"version 1: default widths", Words({1, 3, 1, 2, 0, 1337}), S_OK, {1, 2, 0}, {100, 100, 100}},
        {"a column twice", Words({2, 3, 0, 1, 1, 100, 100, 100, 1337}), S_OK, {0, 1, 2}, {100, 100, 100}},
        {"a column out of range", Words({2, 2, 0, 7, 100, 100, 1337}), S_OK, {0, 1}, {100, 100}},
        {"a negative column", Words({2, 2, -1, 0, 100, 100, 1337}), S_OK, {0, 1}, {100, 100}},
        {"a negative width", Words({2, 2, 1, 0, -50, 100, 1337}), S_OK, {1, 0}, {100, 100}},
        {"a huge width", Words({2, 2, 1, 0, 100, 0x7FFFFFFF, 1337}), S_OK, {1, 0}, {100, 100}},
        {"a negative count", Words({2, -5, 1337}), S_OK, {}, {}},
        {"cut short", Words({2, 1000000, 0, 1}), E_FAIL, {}, {}},
        {"wrong end mark", Words({2, 1, 0, 100, 1336}), E_FAIL, {0}, {100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto manager = NewManager();
        std::stringbuf buffer(Words({static_cast<std::int32_t>(KVO::kBinStreamTag)}) + c.words);
        KVO::BinIStream in(&buffer);
        EXPECT_EQ(manager->LoadState(0, &in), c.result);
        EXPECT_EQ(manager->ColumnIndex(), c.index);
        EXPECT_EQ(manager->StoredWidths(), c.widths);
    }

    auto manager = NewManager();
    std::stringbuf newer(Words({static_cast<std::int32_t>(KVO::kBinStreamTag), 3, 0, 1337}));
    KVO::BinIStream in(&newer);
    EXPECT_THROW(manager->LoadState(0, &in), XKVO);

    // A loaded order that fits but names fewer columns than the client has grows by the new ones.
    std::stringbuf two(Words({static_cast<std::int32_t>(KVO::kBinStreamTag), 2, 2, 1, 0, 100, 100, 1337}));
    KVO::BinIStream twoIn(&two);
    ASSERT_EQ(manager->LoadState(0, &twoIn), S_OK);
    Client client(2);
    manager->SetClient(&client, &client);
    client.columns = 3;
    manager->SyncColumns();
    EXPECT_EQ(manager->ColumnIndex(), (std::vector<int>{1, 0, 2}));
}
