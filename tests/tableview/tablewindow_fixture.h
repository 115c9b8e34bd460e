// A table window over a small table of known cells, inside a frame, with the stand-in host's view, document,
// Tallysheet and print service.
#pragma once

#include "../frame/sharedhost.h"
#include "host/datasource.h"
#include "host/docframework.h"
#include "host/document.h"
#include "host/printservice.h"
#include "host/tallysheet.h"
#include "platform/ui/window.h"
#include "sdk/ikvostring.h"
#include "sdk/tallysheet.h"
#include "tableview/tvf/tvfrenderer.h"
#include "tableview/tvf/tvftableview.h"
#include "tableview/tvftableviewmgr.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace tabletest {

using Grid = std::vector<std::vector<std::u16string>>;

// Row 0 holds the column titles (style 16), column 0 the row titles (style 32); further styles by cell.
class FakeTable final : public ITableDataManager, public ITableStoredRowInfo, public ITableColumnDescription {
public:
    Grid events;
    Grid summary;
    std::map<std::tuple<DWORD, LONG, LONG>, LONG> styles;
    bool describes = false; // answers ITableColumnDescription: "Column c", the first in ms

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_ITableColumnDescription && describes) {
            *out = static_cast<ITableColumnDescription*>(this);
            return S_OK;
        }
        if (iid == IID_ITableStoredRowInfo) {
            *out = static_cast<ITableStoredRowInfo*>(this);
            return S_OK;
        }
        if (iid == IID_IUnknown || iid == IID_ITableDataManager) {
            *out = static_cast<ITableDataManager*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    const Grid& Of(DWORD flags) const { return (flags & TableGrid::kSummary) ? summary : events; }
    std::u16string Text(DWORD flags, LONG row, LONG column) const
    {
        const Grid& grid = Of(flags);
        if (row < 0 || row >= static_cast<LONG>(grid.size()) || column < 0 ||
            column >= static_cast<LONG>(grid[static_cast<std::size_t>(row)].size())) {
            return {};
        }
        return grid[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    }
    HRESULT GetCell(DWORD flags, LONG row, LONG column, IKVOString** text) override
    {
        *text = KVO::String(Text(flags, row, column)).GetInterface();
        return S_OK;
    }
    HRESULT GetCellStyle(DWORD flags, LONG row, LONG column, LONG* style) override
    {
        auto found = styles.find({flags & TableGrid::kSummary, row, column});
        *style = (row == 0 && column > 0 ? 16 : 0) | (column == 0 && row > 0 ? 32 : 0) |
                 (found == styles.end() ? 0 : found->second);
        return S_OK;
    }
    HRESULT GetColumnCount(DWORD, LONG* count) override
    {
        *count = events.empty() ? 0 : static_cast<LONG>(events[0].size());
        return S_OK;
    }
    HRESULT GetName(DWORD, IKVOString** text) override
    {
        *text = KVO::String(u"Table").GetInterface();
        return S_OK;
    }
    HRESULT GetTitle(DWORD, IKVOString** text) override
    {
        *text = KVO::String(u"Results").GetInterface();
        return S_OK;
    }
    HRESULT GetRowCount(DWORD flags, LONG* count) override
    {
        *count = static_cast<LONG>(Of(flags).size());
        return S_OK;
    }
    HRESULT GetColumnName(LONG column, IKVOString** name) override
    {
        const std::string text = "Column " + std::to_string(column);
        *name = KVO::String(std::u16string(text.begin(), text.end())).GetInterface();
        return S_OK;
    }
    HRESULT GetColumnUnits(LONG column, IKVOString** units) override
    {
        *units = KVO::String(column == 0 ? u"ms" : u"").GetInterface();
        return S_OK;
    }
};

// rows data rows of `columns` columns "P1 (mV)" …; cell (r, c) reads "r.c"; the summary's Avg, Min, Max, Count.
inline void FillTable(FakeTable& table, int rows, int columns)
{
    const auto number = [](int n) {
        const std::string text = std::to_string(n);
        return std::u16string(text.begin(), text.end());
    };
    table.events.assign(1, Grid::value_type{u""});
    for (int c = 1; c <= columns; ++c) {
        table.events[0].push_back(u"P" + number(c) + u" (mV)");
    }
    for (int r = 1; r <= rows; ++r) {
        Grid::value_type line{number(r)};
        for (int c = 1; c <= columns; ++c) {
            line.push_back(number(r) + u"." + number(c));
        }
        table.events.push_back(line);
    }
    table.summary.assign(1, table.events[0]);
    for (const char16_t* name : {u"Avg", u"Min", u"Max", u"Count"}) {
        Grid::value_type line{name};
        for (int c = 1; c <= columns; ++c) {
            line.push_back(std::u16string(name).substr(0, 1) + number(c));
        }
        table.summary.push_back(line);
    }
}

class Recorder final : public ITableUserActionHandler {
public:
    std::vector<std::vector<TableRange>> selections;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT OnSelectionChanged(DWORD, const TableRange* ranges, LONG count) override
    {
        selections.emplace_back(ranges, ranges + count);
        return S_OK;
    }
    HRESULT OnCellAction(DWORD, LONG, LONG) override { return S_OK; }
    HRESULT OnCellNotify(DWORD, LONG, LONG, IKVOString*) override { return S_OK; }
    HRESULT OnCellNotifyEx(DWORD, LONG, LONG, LONG, LONG) override { return S_OK; }
    HRESULT OnFollowLatestChanged(DWORD, VARIANT_BOOL) override { return S_OK; }
};

class Parent : public OWL::TWindow {
public:
    Parent() : OWL::TWindow(nullptr, u"view")
    {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.W = 800;
        Attr.H = 600;
    }
};

inline DWORD TallysheetTypeId()
{
    WORD id = 0;
    SharedHost().GetFramework().GetShortId(&CLSID_TallysheetExtension, &id);
    return static_cast<DWORD>(id) << 16;
}

class TableWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SharedHost();
        parent = std::make_unique<Parent>();
        parent->Create();
        hostFrame = host::HostFrame::Create(SharedHost().Log(), 800, 600);
        site = host::ViewSite::Create(SharedHost().Log(), hostFrame);
        // The table prints through the host application's print service: the frame's printing here.
        SharedHost().Application().SetPrintService(&hostFrame->Printing());
        hostDocument = host::HostDocument::Create(SharedHost().Log(), 9, SharedHost().NewChartData());
        sheet = host::Tallysheet::Create();
        hostDocument->SetTallysheet(platform::ComPtr<IUnknown>(static_cast<ITallysheet*>(sheet.Get())),
                                    TallysheetTypeId());
        FillTable(table, 10, 3);
        TVF_TableViewMgr* made = nullptr;
        TVF::CreateTableViewManager(&made);
        manager = platform::ComPtr<TVF_TableViewMgr>::Adopt(made);
        Open(0x27A);
    }
    void TearDown() override
    {
        manager->DestroyTableView(0);
        manager.Reset();
        parent.reset();
        SharedHost().Application().SetPrintService(nullptr);
    }
    void Open(DWORD options)
    {
        ASSERT_EQ(manager->CreateTableView(options, parent->GetHandle(), site.Get(), hostDocument->AsUnknown(),
                                           &table, &table, &actions, nullptr),
                  S_OK);
        manager->SetLayout(0, 0, 0, 800, 561, 60, 100, 100);
        manager->Refresh(0);
    }
    TVF_TableView& Window() { return *manager->Window(); }

    FakeTable table;
    Recorder actions;
    std::unique_ptr<Parent> parent;
    platform::ComPtr<host::HostFrame> hostFrame;
    platform::ComPtr<host::ViewSite> site;
    platform::ComPtr<host::HostDocument> hostDocument;
    platform::ComPtr<host::Tallysheet> sheet;
    platform::ComPtr<TVF_TableViewMgr> manager;
};

} // namespace tabletest
