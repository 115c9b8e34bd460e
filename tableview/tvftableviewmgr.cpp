#include "tableview/tvftableviewmgr.h"

#include "foundation/kvostring.h"
#include "foundation/xkvo.h"
#include "platform/owl/window.h"
#include "tableview/tvf/gridcontrol.h"
#include "tableview/tvf/tvfrenderer.h"
#include "tableview/tvf/tvftableview.h"

#include <algorithm>
#include <new>
#include <numeric>

namespace {

// The largest width a stored state may give: beyond it the state is taken as damaged.
constexpr int kLargestStoredWidth = 0x100000;

} // namespace

HRESULT TVF_TableViewMgr::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_ITableViewManager) {
        *out = static_cast<ITableViewManager*>(this);
    } else if (iid == IID_ITableViewManagerMac) {
        *out = static_cast<ITableViewManagerMac*>(this);
    } else if (iid == IID_ITableViewMgrInternal) {
        *out = static_cast<ITableViewMgrInternal*>(this);
    } else if (iid == IID_ITableUserActionHandler) {
        *out = static_cast<ITableUserActionHandler*>(this);
    } else if (iid == IID_ITableDataManager) {
        *out = static_cast<ITableDataManager*>(this);
    } else if (iid == IID_ITableColumnDescription) {
        // Only the client can describe its columns.
        return data_ ? data_->QueryInterface(iid, out) : E_NOINTERFACE;
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

void TVF_TableViewMgr::SetClient(ITableDataManager* data, ITableUserActionHandler* actions)
{
    data_ = data;
    actions_ = actions;
    LONG count = 0;
    if (data_ && SUCCEEDED(data_->GetColumnCount(0, &count)) && count != static_cast<LONG>(index_.size())) {
        RebuildIndex();
    }
}

void TVF_TableViewMgr::RebuildIndex()
{
    LONG count = 0;
    if (data_) {
        data_->GetColumnCount(0, &count);
        ResetColumns(static_cast<int>(count));
    }
}

void TVF_TableViewMgr::SetDefaultColumnWidth(int width)
{
    if (width != defaultWidth_) {
        defaultWidth_ = width;
        RebuildIndex();
    }
}

HRESULT TVF_TableViewMgr::SyncColumns()
{
    if (!data_) {
        return E_FAIL;
    }
    LONG count = 0;
    data_->GetColumnCount(0, &count);
    while (static_cast<LONG>(index_.size()) < count) {
        index_.push_back(static_cast<int>(index_.size()));
        widths_.push_back(defaultWidth_);
    }
    if (static_cast<LONG>(index_.size()) > count) {
        RebuildIndex();
    }
    return S_OK;
}

LONG TVF_TableViewMgr::ToData(LONG displayColumn) const
{
    return displayColumn >= 0 && displayColumn < static_cast<LONG>(index_.size())
               ? index_[static_cast<std::size_t>(displayColumn)]
               : displayColumn;
}

HRESULT TVF_TableViewMgr::DisplayToData(DWORD, LONG row, LONG displayColumn, TableCell* out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = TableCell{row, Mapping() ? ToData(displayColumn) : displayColumn};
    return S_OK;
}

HRESULT TVF_TableViewMgr::DataToDisplay(DWORD, LONG row, LONG dataColumn, TableCell* out)
{
    if (!out) {
        return E_POINTER;
    }
    const auto found = std::find(index_.begin(), index_.end(), dataColumn);
    *out = found == index_.end() ? TableCell{0, 0} : TableCell{row, static_cast<LONG>(found - index_.begin())};
    return S_OK;
}

HRESULT TVF_TableViewMgr::MoveColumn(DWORD, LONG from, LONG to)
{
    const LONG size = static_cast<LONG>(index_.size());
    if (from < 0 || from >= size) {
        return E_FAIL;
    }
    if (to < 0 || to >= size) {
        return E_INVALIDARG;
    }
    const int moved = index_[static_cast<std::size_t>(from)];
    index_.erase(index_.begin() + from);
    index_.insert(index_.begin() + to, moved);
    return S_OK;
}

HRESULT TVF_TableViewMgr::GetColumnWidth(DWORD, LONG displayColumn, LONG* width)
{
    if (!width) {
        return E_POINTER;
    }
    if (!Mapping()) {
        *width = defaultWidth_;
        return S_OK;
    }
    const LONG column = displayColumn >= 0 && displayColumn < static_cast<LONG>(index_.size()) ? ToData(displayColumn) : -1;
    if (column < 0 || column >= static_cast<LONG>(widths_.size())) {
        *width = defaultWidth_;
        return E_FAIL;
    }
    *width = widths_[static_cast<std::size_t>(column)] - kWidthMargin;
    return S_OK;
}

HRESULT TVF_TableViewMgr::SetColumnWidth(DWORD, LONG displayColumn, LONG width)
{
    if (!Mapping()) {
        return S_OK;
    }
    const LONG column = displayColumn >= 0 && displayColumn < static_cast<LONG>(index_.size()) ? ToData(displayColumn) : -1;
    if (column < 0 || column >= static_cast<LONG>(widths_.size())) {
        return E_FAIL;
    }
    widths_[static_cast<std::size_t>(column)] = width + kWidthMargin;
    return S_OK;
}

HRESULT TVF_TableViewMgr::OnSelectionChanged(DWORD flags, const TableRange* ranges, LONG count)
{
    if (!Forwarding()) {
        return S_OK;
    }
    std::vector<TableRange> mapped(ranges && count > 0 ? ranges : nullptr, ranges && count > 0 ? ranges + count : nullptr);
    for (TableRange& range : mapped) {
        range.column = ToData(range.column);
    }
    return actions_->OnSelectionChanged(flags, mapped.data(), static_cast<LONG>(mapped.size()));
}

HRESULT TVF_TableViewMgr::OnCellAction(DWORD flags, LONG row, LONG column)
{
    return Forwarding() ? actions_->OnCellAction(flags, row, ToData(column)) : S_OK;
}

HRESULT TVF_TableViewMgr::OnCellNotify(DWORD flags, LONG row, LONG column, IKVOString* text)
{
    return Forwarding() ? actions_->OnCellNotify(flags, row, ToData(column), text) : S_OK;
}

HRESULT TVF_TableViewMgr::OnCellNotifyEx(DWORD flags, LONG kind, LONG row, LONG column, LONG item)
{
    return Forwarding() ? actions_->OnCellNotifyEx(flags, kind, row, ToData(column), item) : S_OK;
}

HRESULT TVF_TableViewMgr::OnFollowLatestChanged(DWORD flags, VARIANT_BOOL on)
{
    return Forwarding() ? actions_->OnFollowLatestChanged(flags, on != 0 ? VARIANT_TRUE : VARIANT_FALSE) : S_OK;
}

HRESULT TVF_TableViewMgr::GetCell(DWORD flags, LONG row, LONG column, IKVOString** text)
{
    if (!data_ || !Mapping()) {
        if (!text) {
            return E_POINTER;
        }
        *text = KVO::String().GetInterface();
        return S_OK;
    }
    return data_->GetCell(flags, row, ToData(column), text);
}

HRESULT TVF_TableViewMgr::GetCellStyle(DWORD flags, LONG row, LONG column, LONG* style)
{
    if (!data_ || !Mapping()) {
        if (!style) {
            return E_POINTER;
        }
        *style = 1;
        return S_OK;
    }
    return data_->GetCellStyle(flags, row, ToData(column), style);
}

HRESULT TVF_TableViewMgr::GetColumnCount(DWORD flags, LONG* count)
{
    return data_ ? data_->GetColumnCount(flags, count) : E_FAIL;
}

HRESULT TVF_TableViewMgr::GetName(DWORD flags, IKVOString** text)
{
    return data_ ? data_->GetName(flags, text) : E_FAIL;
}

HRESULT TVF_TableViewMgr::GetTitle(DWORD flags, IKVOString** text)
{
    return data_ ? data_->GetTitle(flags, text) : E_FAIL;
}

void TVF_TableViewMgr::ResetColumns(int count)
{
    index_.clear();
    widths_.clear();
    for (int i = 0; i < count; ++i) {
        index_.push_back(i);
        widths_.push_back(defaultWidth_);
    }
}

HRESULT TVF_TableViewMgr::LoadState(DWORD, IBinInStream* in)
{
    if (!in) {
        return E_POINTER;
    }
    LONG version = 0;
    in->ReadLong(&version);
    if (version > kStateVersion) {
        XKVO::Throw(kNewerStateVersion);
    }
    index_.clear();
    widths_.clear();
    LONG count = 0;
    in->ReadLong(&count);
    LONG value = 0;
    // A failed stream stops the loops: the counts of a damaged stream must not drive allocation.
    for (LONG i = 0; i < count && in->ReadLong(&value) == S_OK; ++i) {
        index_.push_back(value);
    }
    if (version > 1) {
        for (LONG i = 0; i < count && in->ReadLong(&value) == S_OK; ++i) {
            widths_.push_back(value);
        }
    }
    LONG mark = 0;
    in->ReadLong(&mark);
    // A damaged document must not give the window an order or widths it cannot use.
    std::vector<int> sorted = index_;
    std::sort(sorted.begin(), sorted.end());
    std::vector<int> identity(sorted.size());
    std::iota(identity.begin(), identity.end(), 0);
    const bool orderFits = static_cast<LONG>(index_.size()) == count && sorted == identity;
    const bool widthsFit =
        std::all_of(widths_.begin(), widths_.end(), [](int w) { return w >= kWidthMargin && w <= kLargestStoredWidth; });
    if (!orderFits) {
        ResetColumns(static_cast<int>(index_.size() == static_cast<std::size_t>(count) ? count : 0));
    } else if (widths_.size() != index_.size() || !widthsFit) {
        widths_.assign(index_.size(), defaultWidth_);
    }
    return mark == kStateEndMark ? S_OK : E_FAIL;
}

HRESULT TVF_TableViewMgr::SaveState(DWORD, IBinOutStream* out)
{
    if (!out) {
        return E_POINTER;
    }
    out->WriteLong(kStateVersion);
    out->WriteLong(static_cast<LONG>(index_.size()));
    for (const int entry : index_) {
        out->WriteLong(entry);
    }
    // One width per index entry, as the reader expects; widths never set read as the default.
    for (std::size_t i = 0; i < index_.size(); ++i) {
        out->WriteLong(i < widths_.size() ? widths_[i] : defaultWidth_);
    }
    out->WriteLong(kStateEndMark);
    return S_OK;
}

TVF_TableViewMgr::~TVF_TableViewMgr() { DeleteWindow(); }

void TVF_TableViewMgr::DeleteWindow()
{
    if (TVF_TableView* window = window_) {
        window_ = nullptr;
        window->SetWhenGone({});
        window->Detach();
        delete window;
    }
}

bool TVF_TableViewMgr::Mapping() const
{
    return mapping_ || (window_ && window_->EventRenderer() && window_->EventRenderer()->ColumnEntries() > 0);
}

HRESULT TVF_TableViewMgr::CreateTableView(DWORD options, HWND parent, IHostView* hostView, IUnknown* hostDocument,
                                          ITableDataManager* data, ITableStoredRowInfo* rows,
                                          ITableUserActionHandler* actions, TVF_Grid::ITableRowMenuProvider* rowMenu)
{
    return KVO::GuardSlot([&]() -> HRESULT {
        OWL::TWindow* parentWindow = parent ? OWL::TWindow::GetWindowPtr(parent) : nullptr;
        if (!parent || !parentWindow || !data || !rows) {
            return E_FAIL;
        }
        DeleteWindow(); // a window made before goes first
        window_ = new TVF_TableView(parentWindow, static_cast<ITableViewMgrInternal*>(this), hostView, hostDocument);
        window_->SetWhenGone([this] { window_ = nullptr; });
        if (parentWindow->GetHandle()) {
            window_->Create();
        }
        SetClient(data, actions);
        if (!hostView) {
            return S_OK;
        }
        return window_->Initialize(options, static_cast<ITableDataManager*>(this), rows,
                                   static_cast<ITableUserActionHandler*>(this), rowMenu);
    });
}

HRESULT TVF_TableViewMgr::SetLayout(DWORD, LONG x, LONG y, LONG width, LONG height, LONG rowNumberWidth,
                                    LONG defaultColumnWidth, LONG summaryHeight)
{
    SetDefaultColumnWidth(static_cast<int>(defaultColumnWidth));
    if (!window_) {
        return E_FAIL;
    }
    return window_->Place(x, y, width, height, rowNumberWidth, defaultColumnWidth, summaryHeight);
}

HRESULT TVF_TableViewMgr::DestroyTableView(DWORD)
{
    DeleteWindow();
    // The client's objects may go once its window is gone.
    data_ = nullptr;
    actions_ = nullptr;
    return S_OK;
}

HRESULT TVF_TableViewMgr::Refresh(DWORD)
{
    if (!window_ || !data_) {
        return E_FAIL;
    }
    SyncColumns();
    LONG count = 0;
    data_->GetColumnCount(0, &count);
    return window_->Reload(static_cast<int>(count));
}

HRESULT TVF_TableViewMgr::RowsChanged(LONG, LONG)
{
    // The window reloads every row; a range only says where the change begins.
    return window_ ? Refresh(0) : S_FALSE;
}

HRESULT TVF_TableViewMgr::RedrawCell(DWORD, LONG row, LONG dataColumn)
{
    if (!window_) {
        return E_FAIL;
    }
    TableCell cell{};
    DataToDisplay(0, row, dataColumn, &cell);
    return window_->RedrawCell(row, cell.column);
}

HRESULT TVF_TableViewMgr::SelectRows(DWORD flags, LONG firstRow, LONG endRow)
{
    return window_ ? window_->SelectRows(flags, firstRow, endRow) : E_FAIL;
}

HRESULT TVF_TableViewMgr::SelectColumnCells(DWORD flags, LONG dataColumn, LONG firstRow, LONG endRow)
{
    if (!window_) {
        return E_FAIL;
    }
    TableCell cell{};
    DataToDisplay(0, firstRow, dataColumn, &cell);
    return window_->SelectColumnCells(flags, cell.column, firstRow, endRow);
}

HRESULT TVF_TableViewMgr::SetOptions(DWORD options) { return window_ ? window_->SetOptions(options) : E_FAIL; }

HRESULT TVF_TableViewMgr::AddToTallysheet(DWORD)
{
    return window_ ? KVO::GuardSlot([&] { return window_->AddToTallysheet(); }) : E_FAIL;
}

HRESULT TVF_TableViewMgr::ShowRow(DWORD flags, LONG row)
{
    if (!window_) {
        return E_FAIL;
    }
    return followLatest_ ? S_OK : window_->ShowRow(flags, row);
}

HRESULT TVF_TableViewMgr::SetFollowLatest(DWORD, VARIANT_BOOL on)
{
    if (!window_) {
        return E_FAIL;
    }
    followLatest_ = on != 0;
    window_->EventGrid().Options().AlwaysShowLatestRow = followLatest_;
    window_->EventGrid().ShowSnapButtonPressed(followLatest_);
    return S_OK;
}

HRESULT TVF_TableViewMgr::ExportCsv(DWORD, IKVOString* path)
{
    return window_ ? KVO::GuardSlot([&] { return window_->ExportCsv(path); }) : E_FAIL;
}

namespace TVF {

HRESULT CreateTableViewManager(TVF_TableViewMgr** out)
{
    if (!out) {
        return E_POINTER;
    }
    *out = new (std::nothrow) TVF_TableViewMgr;
    if (*out) {
        (*out)->AddRef();
    }
    return S_OK;
}

} // namespace TVF
