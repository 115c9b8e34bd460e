#include "tableview/tvf/tvftableview.h"

#include "foundation/localeinfo.h"
#include "frame/hostservices.h"
#include "graph/analysisview/cxviewbase.h"
#include "platform/posix/atomicfile.h"
#include "platform/win/clipboard.h"
#include "platform/win/commdlg.h"
#include "platform/win/msgbox.h"
#include "sdk/channeltitles.h"
#include "sdk/documentsite.h"
#include "sdk/hostservices.h"
#include "sdk/ikvostring.h"
#include "sdk/tallysheet.h"
#include "tableview/tvf/gridpane.h"
#include "tableview/tvf/gridprintout.h"
#include "tableview/tvf/rownumberspane.h"
#include "tableview/tvf/tvfrenderer.h"

#include <cstdio>
#include <fstream>
#include <mutex>

using TVF_Grid::CellRange;
using TVF_Grid::EventGridControl;
using TVF_Grid::GridPos;

namespace {

constexpr UINT kQuietMove = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;

bool HasValidSelection(const EventGridControl& grid)
{
    return grid.Selection() && grid.Selection()->HasSelection();
}

// The type id of the Tallysheet extension, asked of the host once.
DWORD TallysheetTypeId()
{
    static std::once_flag asked;
    static DWORD typeId = 0;
    std::call_once(asked, [] {
        WORD id = 0;
        if (ITypeIdRegistry* registry = CAF::GetTypeIdRegistry();
            registry && SUCCEEDED(registry->GetShortId(&CLSID_TallysheetExtension, &id))) {
            typeId = static_cast<DWORD>(id) << 16;
        }
    });
    return typeId;
}

// The file's bytes: characters up to U+00FF as one byte, anything above as "?".
std::string ToSingleBytes(std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (char16_t unit : text) {
        bytes.push_back(unit <= 0xFF ? static_cast<char>(unit) : '?');
    }
    return bytes;
}

void InvalidateGrid(EventGridControl& grid)
{
    if (grid.GetHandle()) {
        grid.Invalidate();
        if (grid.Pane().GetHandle()) {
            grid.Pane().Invalidate();
        }
        if (grid.RowNumbers().GetHandle()) {
            grid.RowNumbers().Invalidate();
        }
    }
}

} // namespace

namespace TVF {
std::u16string AskSaveFileName(HWND owner, const char16_t* filter, const char16_t* title, const char16_t* initialDir,
                               const char16_t* defaultExtension, DWORD maxChars)
{
    std::u16string buffer(maxChars, u'\0');
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = filter;
    request.nFilterIndex = 1;
    request.lpstrFile = buffer.data();
    request.nMaxFile = maxChars;
    request.lpstrInitialDir = initialDir;
    request.lpstrTitle = title;
    request.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
    request.lpstrDefExt = defaultExtension;
    if (!GetSaveFileNameW(&request)) {
        return {};
    }
    return std::u16string(buffer.c_str());
}
} // namespace TVF

// The window's face to the host: the message handler registered with the host data object and the observer of
// the host view's subject. It lives as long as the window; references are not counted.
class TVF_TableView::HostMessages final : public IMessageHandler, public IObserver {
public:
    explicit HostMessages(TVF_TableView& window) : window_(window) {}

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == IID_IMessageHandler) {
            *out = static_cast<IMessageHandler*>(this);
            return S_OK;
        }
        if (iid == IID_IObserver) {
            *out = static_cast<IObserver*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }

    // IMessageHandler: 1 when the window took the message.
    HRESULT HandleMessage(IMessage* message) override
    {
        DWORD id = 0;
        if (!message || FAILED(message->GetId(&id))) {
            return 0;
        }
        return KVO::GuardSlot([&]() -> HRESULT {
            switch (id) {
            case kCopyMessage: window_.Copy(); return 1;
            case kPrintMessage: window_.Print(false); return 1;
            case kSendToPrintServiceMessage: window_.SendToPrintService(); return 1;
            default: return 0;
            }
        });
    }
    HRESULT AddHandler(IMessageHandler*) override { return S_OK; }
    HRESULT RemoveHandler(IMessageHandler*) override { return S_OK; }
    HRESULT SetParent(IMessageHandler*) override { return S_OK; }
    HRESULT GetOwner(IUnknown** owner) override
    {
        if (owner) {
            *owner = nullptr;
        }
        return E_NOTIMPL;
    }
    BOOL Accepts(IMessage* message) override
    {
        DWORD id = 0;
        return message && SUCCEEDED(message->GetId(&id)) &&
               (id == kCopyMessage || id == kPrintMessage || id == kSendToPrintServiceMessage);
    }

    // IObserver: the view family's message 4 reloads the channel titles; message 0 is taken and ignored.
    HRESULT RegisterWith(ISubject* subject) override { return subject ? subject->Attach(this) : E_POINTER; }
    HRESULT Notify(ISubject*, DWORD eventId, DWORD, const void*) override
    {
        return KVO::GuardSlot([&]() -> HRESULT {
            if (eventId == ViewMessageId(kChannelTitlesChangedMessage)) {
                window_.ReloadChannelTitles();
            }
            return S_OK;
        });
    }

    static constexpr DWORD kCopyMessage = 0x80010008;
    static constexpr DWORD kPrintMessage = 0x8001000B;
    static constexpr DWORD kSendToPrintServiceMessage = 0x8001000C;

private:
    static DWORD ViewMessageId(WORD n)
    {
        static const DWORD family = [] {
            WORD id = 0;
            ITypeIdRegistry* registry = CAF::GetTypeIdRegistry();
            return registry && SUCCEEDED(registry->GetShortId(&CLSID_ViewMessageFamily, &id))
                       ? static_cast<DWORD>(id) << 16
                       : DWORD{0};
        }();
        return family ? family | n : 0xFFFFFFFFu;
    }

    TVF_TableView& window_;
};

TVF_TableView::TVF_TableView(OWL::TWindow* parent, ITableViewMgrInternal* manager, IHostView* hostView,
                             IUnknown* hostDocument)
    : OWL::TWindow(parent, u""), manager_(manager), hostView_(hostView), hostDocument_(hostDocument),
      hostMessages_(std::make_unique<HostMessages>(*this))
{
    Attr.Style |= WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
    events_ = new EventGridControl(this);
    summary_ = new EventGridControl(this);
    events_->SetRowNumberWidth(6 * KVO::GetFontCharSize(events_->CellFont()).cx);
    events_->Layout();
    RegisterWithHost();
}

IMessageHandler* TVF_TableView::HostHandler() { return hostMessages_.get(); }

void TVF_TableView::RegisterWithHost()
{
    // The host data object takes the window's message handler as one of its children.
    if (hostDocument_) {
        hostDocument_->QueryInterface(IID_IMessageHandler, hostData_.OutVoid());
    }
    if (hostData_) {
        hostData_->AddHandler(hostMessages_.get());
    }
    platform::ComPtr<ISubject> subject;
    if (hostView_ && SUCCEEDED(hostView_->QueryInterface(IID_ISubject, subject.OutVoid())) && subject) {
        observing_ = SUCCEEDED(subject->Attach(hostMessages_.get()));
    }
}

void TVF_TableView::UnregisterFromHost()
{
    if (hostData_) {
        hostData_->RemoveHandler(hostMessages_.get());
        hostData_.Reset();
    }
    // The host view's subject keeps its observers with the host's event manager: the window's goes with it.
    if (observing_) {
        if (IEventManager* events = CAF::GetEventManager()) {
            events->Unregister(hostMessages_.get());
        }
        observing_ = false;
    }
}

TVF_TableView::~TVF_TableView()
{
    if (whenGone_) {
        whenGone_();
    }
    Detach();
    for (TVF_Renderer** renderer : {&eventRenderer_, &summaryRenderer_}) {
        if (*renderer) {
            (*renderer)->Release();
            *renderer = nullptr;
        }
    }
    // The grids are child windows and go with this window; their panes must not paint through a gone renderer.
    events_->Pane().SetRenderer(events_);
    summary_->Pane().SetRenderer(summary_);
}

HRESULT TVF_TableView::GridObserver::QueryInterface(REFIID iid, void** out)
{
    if (!out) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IObserver) {
        *out = static_cast<IObserver*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

void TVF_TableView::SetupWindow()
{
    OWL::TWindow::SetupWindow();
    // From here on the grids' messages reach the window through their subjects.
    if (!observingGrids_) {
        observingGrids_ = true;
        events_->Attach(&gridObserver_);
        summary_->Attach(&gridObserver_);
    }
    for (EventGridControl* grid : {events_, summary_}) {
        grid->Options().RowTitlesFromRenderer = true;
        if (grid->RowNumbers().GetHandle()) {
            grid->RowNumbers().Invalidate();
        }
    }
    Layout();
}

bool TVF_TableView::PreProcessMsg(MSG& msg)
{
    if (OWL::TWindow::PreProcessMsg(msg)) {
        return true;
    }
    if (msg.message >= WM_KEYDOWN && msg.message <= 0x109) {
        if (GetKeyState(VK_CONTROL) < 0) {
            return false; // the host's accelerators see it
        }
        return events_->PreProcessKey(msg);
    }
    return false;
}

TVF_Renderer* TVF_TableView::MakeRenderer(EventGridControl& grid, DWORD selector, ITableDataManager* data,
                                         ITableStoredRowInfo* rows)
{
    auto* renderer = new TVF_Renderer(grid);
    renderer->AddRef();
    renderer->Attach(manager_, data, rows, selector);
    renderer->SetPrintSelectionOff(printSelectionOff_);
    grid.Pane().SetRenderer(renderer);
    return renderer;
}

HRESULT TVF_TableView::Initialize(DWORD options, ITableDataManager* data, ITableStoredRowInfo* rows,
                                  ITableUserActionHandler* handler, TVF_Grid::ITableRowMenuProvider* rowMenu)
{
    DetachRenderers();
    detached_ = false;
    SetChannelTitles(ReadChannelTitles());
    if (data && handler) {
        events_->SetDataManager(data, rows, TableGrid::kEvents);
        events_->SetActionHandler(handler, TableGrid::kEvents);
        events_->SetRowMenuProvider(rowMenu);
        summary_->SetDataManager(data, rows, TableGrid::kSummary);
        summary_->SetActionHandler(handler, TableGrid::kSummary);
        summary_->SetRowMenuProvider(rowMenu);
    }
    if (data) {
        TVF_Renderer* previous = eventRenderer_;
        eventRenderer_ = MakeRenderer(*events_, TableGrid::kEvents, data, rows);
        if (previous) {
            previous->Release();
        }
        if (summaryShown_) {
            previous = summaryRenderer_;
            summaryRenderer_ = MakeRenderer(*summary_, TableGrid::kSummary, data, rows);
            if (previous) {
                previous->Release();
            }
        }
    }
    SetOptions(options);
    const bool rowSelection = (options & kRowSelection) != 0;
    events_->SetSelection(std::make_unique<TVF_Grid::GridSelection>(*events_, rowSelection));
    summary_->SetSelection(std::make_unique<TVF_Grid::GridSelection>(*summary_, rowSelection));
    return S_OK;
}

void TVF_TableView::DetachRenderers()
{
    for (TVF_Renderer* renderer : {eventRenderer_, summaryRenderer_}) {
        if (renderer) {
            renderer->Detach();
        }
    }
}

HRESULT TVF_TableView::Detach()
{
    if (detached_) {
        return S_OK;
    }
    detached_ = true;
    DetachRenderers();
    if (observingGrids_) {
        observingGrids_ = false;
        events_->Detach(&gridObserver_);
        summary_->Detach(&gridObserver_);
    }
    UnregisterFromHost();
    events_->SetDataManager(nullptr, nullptr, TableGrid::kEvents);
    events_->SetActionHandler(nullptr, TableGrid::kEvents);
    summary_->SetDataManager(nullptr, nullptr, TableGrid::kSummary);
    summary_->SetActionHandler(nullptr, TableGrid::kSummary);
    return S_OK;
}

HRESULT TVF_TableView::Place(int x, int y, int width, int height, int rowNumberWidth, int defaultColumnWidth,
                             int summaryHeight)
{
    if (GetHandle()) {
        SetWindowPos(nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    }
    // Both grids take the placement's row-number width, so that the summary's columns line up under the events'.
    for (EventGridControl* grid : {events_, summary_}) {
        grid->RowNumbers().SetWidthValue(rowNumberWidth);
    }
    if (eventRenderer_) {
        eventRenderer_->SetDefaultColumnWidth(defaultColumnWidth);
    }
    if (summaryRenderer_ && summaryShown_) {
        summaryRenderer_->SetDefaultColumnWidth(defaultColumnWidth);
    }
    summaryHeight_ = summaryHeight;
    Layout();
    return Reload(eventRenderer_ ? eventRenderer_->KeptColumnCount() : 0);
}

void TVF_TableView::Layout()
{
    if (!GetHandle()) {
        return;
    }
    const OWL::TRect client = GetClientRect();
    const int s = summaryShown_ ? summaryHeight_ : 0;
    events_->Options().HorizontalBarAllowed = !summaryShown_ && !(options_ & kNoHorizontalBar);
    events_->Options().HorizontalBarShown = events_->Options().HorizontalBarAllowed;
    if (events_->GetHandle()) {
        events_->SetWindowPos(nullptr, 0, 0, client.Width(), std::max(client.Height() - s, 0), kQuietMove);
        events_->Layout();
    }
    if (summary_->GetHandle()) {
        summary_->ShowWindow(summaryShown_ ? SW_SHOW : SW_HIDE);
        if (summaryShown_) {
            summary_->SetWindowPos(nullptr, 0, client.Height() - s, client.Width(), s, kQuietMove);
            summary_->Layout();
        }
    }
}

void TVF_TableView::EvSize(uint sizeType, const OWL::TSize& size)
{
    OWL::TWindow::EvSize(sizeType, size);
    Layout();
}

bool TVF_TableView::EvMouseWheel(uint, int zDelta, const OWL::TPoint&)
{
    events_->ScrollRowsBy(-(zDelta / 120));
    return true;
}

void TVF_TableView::ReloadGrid(EventGridControl& grid, TVF_Renderer* renderer, bool shrank, int keptScroll)
{
    if (renderer) {
        // The renderer reads the end of the rows while its grid follows the newest row.
        renderer->SetFollow(grid.Options().AlwaysShowLatestRow);
        renderer->RebuildColumns();
    }
    InvalidateGrid(grid);
    if (!shrank && grid.VScrollBar().GetHandle()) {
        grid.VScrollBar().SetPosition(keptScroll, true);
    }
}

HRESULT TVF_TableView::Reload(int columnCount)
{
    const int firstColumn = events_->FirstDataColumn();
    const auto scrollOf = [](EventGridControl& grid) {
        return grid.VScrollBar().GetHandle() ? grid.VScrollBar().GetPosition() : 0;
    };
    const int eventScroll = scrollOf(*events_);
    const int summaryScroll = scrollOf(*summary_);
    const bool shrank = eventRenderer_ && eventRenderer_->KeptColumnCount() >= 0 &&
                        eventRenderer_->KeptHeaderColumns() >= 0 && columnCount < eventRenderer_->KeptColumnCount();
    if (shrank) {
        for (EventGridControl* grid : {events_, summary_}) {
            grid->ScrollToColumn({firstColumn, firstColumn});
        }
    }
    ReloadGrid(*events_, eventRenderer_, shrank, eventScroll);
    if (summaryShown_) {
        ReloadGrid(*summary_, summaryRenderer_, shrank, summaryScroll);
    }
    return S_OK;
}

HRESULT TVF_TableView::RedrawCell(int row, int column)
{
    for (EventGridControl* grid : {events_, summary_}) {
        if ((grid == summary_ && !summaryShown_) || !grid->Pane().GetHandle()) {
            continue;
        }
        if (grid->FirstDataRow() <= row && grid->FirstDataColumn() <= column) {
            grid->Pane().Invalidate(false);
        }
    }
    return S_OK;
}

HRESULT TVF_TableView::SelectRows(DWORD flags, int first, int end)
{
    EventGridControl* grid = GridOf(flags);
    if (!grid || !grid->Selection()) {
        return E_FAIL;
    }
    const int R0 = grid->FirstDataRow();
    const int C0 = grid->FirstDataColumn();
    if (end > events_->FirstDataRow() && first < end) {
        if (grid == summary_ && !summaryShown_) {
            return S_OK;
        }
        CellRange range;
        range.FirstRow = {first, R0};
        range.EndRow = {end, R0};
        range.FirstColumn = {C0, C0};
        range.EndColumn = {C0 + grid->PaneColumnCount(), C0};
        grid->Selection()->SetRange(range);
        grid->ScrollToRow({first, R0});
        if (!grid->IsRowVisible({end, R0})) {
            grid->EnsureRowVisible({end, R0});
        }
    } else {
        grid->Selection()->Clear();
    }
    return S_OK;
}

HRESULT TVF_TableView::SelectColumnCells(DWORD flags, int column, int first, int end)
{
    EventGridControl* grid = GridOf(flags);
    if (!grid || !grid->Selection()) {
        return E_FAIL;
    }
    if (grid == summary_ && !summaryShown_) {
        return S_OK;
    }
    const int R0 = grid->FirstDataRow();
    const int C0 = grid->FirstDataColumn();
    if (end > first) {
        CellRange range;
        range.FirstRow = {first, R0};
        range.EndRow = {end, R0};
        range.FirstColumn = {column, C0};
        range.EndColumn = {column + 1, C0};
        grid->Selection()->SetRange(range);
        if (!grid->IsRowVisible({end, R0})) {
            grid->EnsureRowVisible({end, R0});
        }
    } else {
        grid->Selection()->Clear();
    }
    grid->ScrollToColumn({column, C0});
    return S_OK;
}

HRESULT TVF_TableView::SetOptions(DWORD options)
{
    options_ = options;
    summaryShown_ = (options & kSummaryShown) != 0;
    if (!summaryShown_ && summary_->Selection()) {
        summary_->Selection()->Clear();
    }
    for (EventGridControl* grid : {events_, summary_}) {
        grid->Options().TextEditing = (options & kEditing) != 0;
        grid->Options().RowSelection = (options & kRowSelection) != 0;
        grid->Options().HorizontalBarAllowed = !(options & kNoHorizontalBar);
    }
    withRowTitles_ = (options & kRowTitles) != 0;
    withColumnTitles_ = (options & kColumnTitles) != 0;
    printSelectionOff_ = (options & kPrintSelectionOff) != 0;
    for (TVF_Renderer* renderer : {eventRenderer_, summaryRenderer_}) {
        if (renderer) {
            renderer->SetPrintSelectionOff(printSelectionOff_);
        }
    }
    if (options & kSnapButton) {
        // The grid's window may already be there: the button comes now rather than never.
        events_->Options().SnapButtonWanted = true;
        events_->EnsureSnapWindow();
    }
    Layout();
    return S_OK;
}

HRESULT TVF_TableView::ShowRow(DWORD flags, int row)
{
    EventGridControl* grid = GridOf(flags);
    const int R0 = grid->FirstDataRow();
    const int count = grid->PaneRowCount();
    if (row >= 0 && row < count) {
        grid->ScrollToRow({row, R0});
    } else if (!grid->IsRowVisible({count + R0, R0})) {
        grid->EnsureRowVisible({count + R0, R0});
    }
    return S_OK;
}

std::u16string TVF_TableView::BuildCopyText(std::u16string_view separator, bool quote, bool* cancelled)
{
    std::u16string a;
    std::u16string b;
    bool complete = true;
    const bool eventSelection = eventRenderer_ && HasValidSelection(*events_);
    if (eventSelection) {
        const CellRange& range = events_->Selection()->GetRange();
        complete = eventRenderer_->CopyRows(a, withRowTitles_, withColumnTitles_, separator, range.FirstRow,
                                            range.EndRow, quote);
    }
    if (summaryRenderer_ && summaryShown_ && HasValidSelection(*summary_)) {
        const CellRange& range = summary_->Selection()->GetRange();
        complete = complete && summaryRenderer_->CopyRows(b, withRowTitles_, withColumnTitles_, separator,
                                                          range.FirstRow, range.EndRow, quote);
    } else if (!eventSelection) {
        if (eventRenderer_) {
            complete = eventRenderer_->CopyRows(a, withRowTitles_, withColumnTitles_, separator, {}, {}, quote);
        }
        if (complete && summaryRenderer_ && summaryShown_) {
            complete = summaryRenderer_->CopyRows(b, withRowTitles_, withColumnTitles_, separator, {}, {}, quote);
        }
    }
    if (cancelled) {
        *cancelled = !complete;
    }
    if (!a.empty() && !b.empty()) {
        a.push_back(u'\n');
    }
    return a + b;
}

void TVF_TableView::Copy()
{
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    if (ICopyNotifyService* notices = CX::GetCopyNotifyService()) {
        notices->NotifyCopy(0);
    }
    // The text is built before the clipboard is emptied: a copy the user cancels leaves the clipboard as it was.
    bool cancelled = false;
    const std::u16string text = BuildCopyText(u"\t", false, &cancelled);
    if (cancelled) {
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        return;
    }
    if (!OpenClipboard(GetHandle()) || !EmptyClipboard()) {
        CloseClipboard();
        MessageBoxW(GetHandle(), u"Unable to copy to clipboard at present", u"Error", MB_OK);
        SetCursor(previous);
        return;
    }
    if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t))) {
        auto* units = static_cast<char16_t*>(GlobalLock(block));
        std::copy(text.begin(), text.end(), units);
        units[text.size()] = u'\0';
        GlobalUnlock(block);
        if (!SetClipboardData(CF_UNICODETEXT, block)) {
            GlobalFree(block);
        }
    }
    CloseClipboard();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

KVO::String TVF_TableView::PrintTitle() const
{
    KVO::String name;
    platform::ComPtr<IHostDocument> document;
    if (hostDocument_ && SUCCEEDED(hostDocument_->QueryInterface(IID_IHostDocument, document.OutVoid())) &&
        document) {
        KVO::StringOutParam out(name);
        document->GetViewName(reinterpret_cast<IKVOString**>(out.Slot()));
    }
    KVO::String title;
    if (auto* data = dynamic_cast<ITableDataManager*>(manager_)) {
        data->GetTitle(0, KVOString::OutParam(title));
    }
    KVO::String text(name);
    text.Append(u": ");
    text.Append(title);
    return text;
}

void TVF_TableView::Print(bool preview)
{
    // The host application's print service takes the printouts.
    IApplicationService* application = CX::Host::GetApplicationService();
    platform::ComPtr<IUnknown> serviceObject;
    platform::ComPtr<ICAFPrintService> service;
    if (!application || FAILED(application->GetPrintService(serviceObject.Out())) || !serviceObject ||
        FAILED(serviceObject->QueryInterface(IID_ICAFPrintService, service.OutVoid())) || !service) {
        return;
    }
    auto* data = dynamic_cast<ITableDataManager*>(manager_);
    const KVO::String title = PrintTitle();
    const auto hand = [&](EventGridControl& grid, TVF_Renderer* renderer, DWORD flags) {
        if (!renderer) {
            return;
        }
        platform::ComPtr<TVF_Grid::GridPrintout> printout(new TVF_Grid::GridPrintout(
            hostDocument_, data, flags, grid, *renderer, title, withRowTitles_, withColumnTitles_));
        if (preview) {
            service->SendToPrintService(printout.Get());
        } else {
            service->Print(printout.Get(), 1);
        }
    };
    bool printed = false;
    if (HasValidSelection(*events_) && !printSelectionOff_) {
        hand(*events_, eventRenderer_, TableGrid::kEvents);
        printed = true;
    }
    if (summaryShown_ && HasValidSelection(*summary_) && !printSelectionOff_) {
        hand(*summary_, summaryRenderer_, TableGrid::kSummary);
    } else if (!printed) {
        hand(*events_, eventRenderer_, TableGrid::kEvents);
        if (summaryShown_) {
            hand(*summary_, summaryRenderer_, TableGrid::kSummary);
        }
    }
}

platform::ComPtr<ITallysheet> TVF_TableView::FindTallysheet() const
{
    platform::ComPtr<ITallysheet> sheet;
    platform::ComPtr<IDocumentSite> site;
    const DWORD typeId = TallysheetTypeId();
    if (!hostDocument_ || !typeId ||
        FAILED(hostDocument_->QueryInterface(IID_IDocumentSite, site.OutVoid())) || !site) {
        return sheet;
    }
    platform::ComPtr<IUnknown> extension;
    if (SUCCEEDED(site->GetExtension(typeId, 1, extension.Out())) && extension) {
        extension->QueryInterface(IID_ITallysheet, sheet.OutVoid());
    }
    return sheet;
}

HRESULT TVF_TableView::AddToTallysheet()
{
    platform::ComPtr<ITallysheet> sheet = FindTallysheet();
    if (!sheet || !eventRenderer_) {
        return S_FALSE;
    }
    const bool eventSelection = HasValidSelection(*events_);
    if (eventSelection) {
        const CellRange& range = events_->Selection()->GetRange();
        const HRESULT result = eventRenderer_->AddToTallysheet(sheet.Get(), withRowTitles_, withColumnTitles_,
                                                               range.FirstRow, range.EndRow);
        if (result != S_OK) {
            return result;
        }
    }
    if (summaryRenderer_ && summaryShown_ && HasValidSelection(*summary_)) {
        const CellRange& range = summary_->Selection()->GetRange();
        return summaryRenderer_->AddToTallysheet(sheet.Get(), withRowTitles_, withColumnTitles_, range.FirstRow,
                                                 range.EndRow);
    }
    if (eventSelection) {
        return S_OK;
    }
    HRESULT result = eventRenderer_->AddAllToTallysheet(sheet.Get(), withRowTitles_, withColumnTitles_);
    if (result == S_OK && summaryShown_ && summaryRenderer_) {
        result = summaryRenderer_->AddAllToTallysheet(sheet.Get(), withRowTitles_, withColumnTitles_);
    }
    return result;
}

HRESULT TVF_TableView::ExportCsv(IKVOString* pathText)
{
    KVO::String path;
    if (pathText) {
        path.AssignInterface(pathText);
    }
    if (path.IsEmpty()) {
        path = KVO::String(TVF::AskSaveFileName(GetHandle(), u"CSV (Comma delimited) (*.csv)\0*.csv\0",
                                                u"Export to CSV file", u".", u"csv", 256));
    }
    if (path.IsEmpty()) {
        return E_FAIL;
    }
    bool cancelled = false;
    const std::u16string text = BuildCopyText(KVOLocale::GetListSeparator(), true, &cancelled);
    if (cancelled) {
        return E_ABORT; // nothing written: a part of the table would look whole
    }
    return platform::WriteWholeFile(path.ToUtf8(), ToSingleBytes(text)) ? S_OK : STG_E_WRITEFAULT;
}

void TVF_TableView::SetChannelTitles(std::map<unsigned, KVO::String> titles)
{
    channelTitles_ = std::move(titles);
    events_->SetChannelTitles(channelTitles_);
    InvalidateGrid(*events_);
    if (summaryShown_) {
        summary_->SetChannelTitles(channelTitles_);
        InvalidateGrid(*summary_);
    }
}

std::map<unsigned, KVO::String> TVF_TableView::ReadChannelTitles() const
{
    std::map<unsigned, KVO::String> titles;
    platform::ComPtr<IDocumentChannels> list;
    if (!hostDocument_ || FAILED(hostDocument_->QueryInterface(IID_IDocumentChannels, list.OutVoid())) || !list) {
        return titles;
    }
    LONG count = 0;
    list->GetChannelCount(0, &count);
    count = std::max<LONG>(count, 1);
    platform::ComPtr<IUnknown> channelsObject;
    platform::ComPtr<IChannelTitles> channels;
    if (FAILED(list->GetChannels(channelsObject.Out())) || !channelsObject ||
        FAILED(channelsObject->QueryInterface(IID_IChannelTitles, channels.OutVoid())) || !channels) {
        return titles;
    }
    constexpr auto kOwnChannels = static_cast<LONG>(0xC0000000u);
    for (LONG i = 0; i < count; ++i) {
        KVO::String title;
        IKVOString* text = nullptr;
        if (SUCCEEDED(channels->GetChannelTitle(kOwnChannels, i, kOwnChannels, &text)) && text) {
            title.AttachInterface(text);
        }
        titles[static_cast<unsigned>(i)] = title;
    }
    return titles;
}

void TVF_TableView::ReloadChannelTitles()
{
    if (!hostDocument_) {
        return;
    }
    SetChannelTitles(ReadChannelTitles());
}

void TVF_TableView::OnGridMessage(DWORD code, const void* data)
{
    const auto* words = static_cast<const LONG*>(data);
    switch (code) {
    case EventGridControl::kLeftColumnChanged:
        if (words) {
            const int C0 = events_->FirstDataColumn();
            events_->ScrollToColumn({words[0], C0});
            if (summaryShown_) {
                summary_->ScrollToColumn({words[0], C0});
            }
        }
        break;
    case EventGridControl::kColumnWidthChanged:
        if (relay_) {
            relay_(code, data);
        }
        if (words && manager_) {
            manager_->SetColumnWidth(0, words[0], words[1]);
        }
        Reload(eventRenderer_ ? eventRenderer_->KeptColumnCount() : 0);
        break;
    case EventGridControl::kColumnMoved:
        if (relay_) {
            relay_(code, data);
        }
        if (words && manager_ && (options_ & kMovableColumns)) {
            manager_->MoveColumn(0, words[0], words[1]);
            Reload(eventRenderer_ ? eventRenderer_->KeptColumnCount() : 0);
        }
        break;
    case EventGridControl::kFrameClicked:
        for (EventGridControl* grid : {events_, summary_}) {
            if (grid->Selection()) {
                grid->Selection()->Clear();
            }
        }
        break;
    default:
        break;
    }
}
