// The grid under test: an event grid in a frame, over cells from a map, reporting to a recording action handler.
#pragma once

#include "tableview/tvf/gridcontrol.h"
#include "tableview/tvf/gridpane.h"
#include "tableview/tvf/rownumberspane.h"

#include "platform/ui/window.h"
#include "../frame/sharedhost.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace TVF_Grid::testing {

// Answers cells from a map; every other cell is an empty text of style 0.
class FakeData final : public ITableDataManager {
public:
    std::map<std::pair<LONG, LONG>, LONG> styles;
    std::map<std::pair<LONG, LONG>, std::u16string> texts;

    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetCell(DWORD, LONG row, LONG column, IKVOString** text) override
    {
        const auto found = texts.find({row, column});
        *text = KVO::String(found == texts.end() ? std::u16string() : found->second).GetInterface();
        return S_OK;
    }
    HRESULT GetCellStyle(DWORD, LONG row, LONG column, LONG* style) override
    {
        const auto found = styles.find({row, column});
        *style = found == styles.end() ? 0 : found->second;
        return S_OK;
    }
    HRESULT GetColumnCount(DWORD, LONG* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT GetName(DWORD, IKVOString** text) override
    {
        *text = nullptr;
        return S_OK;
    }
    HRESULT GetTitle(DWORD, IKVOString** text) override
    {
        *text = nullptr;
        return S_OK;
    }
};

class Recorder final : public ITableUserActionHandler {
public:
    std::vector<std::string> calls;
    std::vector<std::u16string> texts; // of OnCellNotify, in order
    LONG clearAnswer = 0;

    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT OnSelectionChanged(DWORD, const TableRange*, LONG) override { return S_OK; }
    HRESULT OnCellAction(DWORD, LONG, LONG) override { return S_OK; }
    HRESULT OnCellNotify(DWORD flags, LONG row, LONG column, IKVOString* text) override
    {
        texts.emplace_back(text ? std::u16string(text->GetText(), static_cast<std::size_t>(text->Length())) : std::u16string());
        calls.push_back("notify " + std::to_string(flags) + " " + std::to_string(row) + "," + std::to_string(column));
        return S_OK;
    }
    HRESULT OnCellNotifyEx(DWORD flags, LONG kind, LONG row, LONG column, LONG item) override
    {
        calls.push_back("notifyex " + std::to_string(flags) + " " + std::to_string(kind) + " " + std::to_string(row) +
                        "," + std::to_string(column) + " " + std::to_string(item));
        return kind == 1 ? clearAnswer : S_OK;
    }
    HRESULT OnFollowLatestChanged(DWORD flags, VARIANT_BOOL on) override
    {
        calls.push_back("follow " + std::to_string(flags) + " " + std::to_string(on));
        return S_OK;
    }
};

class Frame : public OWL::TWindow {
public:
    Frame() : OWL::TWindow(nullptr, u"frame")
    {
        Attr.Style = WS_POPUP | WS_VISIBLE;
        Attr.W = 400;
        Attr.H = 300;
    }
};

// Keeps the grid's messages as an observer of its subject would get them.
class MessageRecorder final : public IObserver {
public:
    std::vector<DWORD> messages;
    std::vector<std::pair<std::int32_t, std::int32_t>> messageData;

    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT RegisterWith(ISubject*) override { return S_OK; }
    HRESULT Notify(ISubject*, DWORD code, DWORD, const void* payload) override
    {
        messages.push_back(code);
        if (code == EventGridControl::kColumnMoved || code == EventGridControl::kColumnWidthChanged) {
            const auto* pair = static_cast<const std::int32_t*>(payload);
            messageData.push_back({pair[0], pair[1]});
        }
        return S_OK;
    }
};

class GridTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::reset();
        frame = std::make_unique<Frame>();
        grid = new EventGridControl(frame.get());
        grid->Attr.W = 300;
        grid->Attr.H = 200;
        grid->SetSelection(std::make_unique<GridSelection>(*grid, false));
        grid->SetDataManager(&data, nullptr, 8);
        grid->SetActionHandler(&handler, 8);
        SharedHost();
        grid->Attach(&recorder);
        grid->RowNumbers().SetWidthValue(30);
        for (int c = 0; c < 4; ++c)
            grid->Pane().AddColumn(std::make_unique<UniformGridColumn>(*grid, c, u"", 60));
        frame->Create();
        // The table window's placement: a size change takes the strip's width and lays the grid out.
        grid->SetWindowPos(nullptr, 0, 0, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void TearDown() override
    {
        frame.reset();
        ui::reset();
    }
    void SetRows(int rows)
    {
        grid->SetDataExtent({rows + 1, 1});
        grid->SetRowExtent(rows + 1, 1);
    }
    GridSelection& Selection() { return *grid->Selection(); }
    void SelectOne(int row, int column) { Selection().SetRange({{row, 1}, {row + 1, 1}, {column, 1}, {column + 1, 1}}); }
    CellRange Cells(int r0, int r1, int c0, int c1) { return {{r0, 1}, {r1 + 1, 1}, {c0, 1}, {c1 + 1, 1}}; }

    FakeData data;
    Recorder handler;
    MessageRecorder recorder;
    std::vector<DWORD>& messages = recorder.messages;
    std::vector<std::pair<std::int32_t, std::int32_t>>& messageData = recorder.messageData;
    std::unique_ptr<Frame> frame;
    EventGridControl* grid = nullptr;
};


} // namespace TVF_Grid::testing
