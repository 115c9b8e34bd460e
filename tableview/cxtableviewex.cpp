#include "tableview/cxtableviewex.h"

#include "controls/bmptxtbutton.h"
#include "document/cxdoc.h"
#include "document/settingids.h"
#include "platform/owl/control.h"
#include "platform/win/msgbox.h"
#include "platform/win/shlobj.h"
#include "resources/pictures.h"
#include "resources/stringtable.h"
#include "sdk/ikvostring.h"
#include "tableview/sigfigdialog.h"
#include "tableview/tableviewdata.h"
#include "tableview/tvf/tvftableview.h"
#include "tableview/tvftableviewmgr.h"

namespace SettingId = CX::Doc::SettingId;

namespace {

constexpr DWORD kTextButtonStyle = 0x50010300; // child, visible, tab stop, centred text
constexpr UINT kQuietPlace = SWP_NOZORDER | SWP_NOACTIVATE;

// "Tahoma" 13 high, normal weight: one font for every table view, made on first need, kept to the end.
HFONT SharedButtonFont()
{
    static HFONT font = [] {
        LOGFONTW face{};
        face.lfHeight = 13;
        face.lfWeight = 400;
        face.lfCharSet = DEFAULT_CHARSET;
        std::u16string_view name = u"Tahoma";
        std::copy(name.begin(), name.end(), face.lfFaceName);
        return CreateFontIndirectW(&face);
    }();
    return font;
}

owl::TButton* MakeTextButton(owl::TWindow* parent, int id, const char16_t* text)
{
    auto* button = new owl::TButton(parent, id, text, 0, 0, 1, 1, false);
    button->Attr.Style = kTextButtonStyle;
    return button;
}

} // namespace

// The view as the manager's client: its reference count is not used, the host's view object governs its life.
class CXTableViewEx::ActionHandler final : public ITableUserActionHandler {
public:
    explicit ActionHandler(CXTableViewEx& view) : view_(view) {}
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = iid == IID_IUnknown || iid == IID_ITableUserActionHandler ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT OnSelectionChanged(DWORD flags, const TableRange* ranges, LONG count) override
    {
        return KVO::GuardSlot([&] { return view_.OnSelectionChanged(flags, ranges, count); });
    }
    HRESULT OnCellAction(DWORD flags, LONG row, LONG column) override
    {
        return KVO::GuardSlot([&] { return view_.OnCellAction(flags, row, column); });
    }
    HRESULT OnCellNotify(DWORD, LONG, LONG, IKVOString*) override { return E_NOTIMPL; }
    HRESULT OnCellNotifyEx(DWORD, LONG, LONG, LONG, LONG) override { return E_NOTIMPL; }
    HRESULT OnFollowLatestChanged(DWORD flags, VARIANT_BOOL on) override
    {
        return KVO::GuardSlot([&] { return view_.OnFollowLatestChanged(flags, on); });
    }

private:
    CXTableViewEx& view_;
};

CAF::MessageMapEntry* CXTableViewEx::MessageMapEntries()
{
    using Map = CAF::MapOf<CXTableViewEx>;
    static constexpr auto selectAllId = [] { return DWORD{0x8001000E}; };
    static constexpr auto hasRowsId = [] { return DWORD{0x80170008}; };
    static CAF::MessageMapEntry entries[] = {
        Map::Header(),
        Map::Message<&CXTableViewEx::OnCopyMessage>(&CXViewBase::CopyMessageId),
        Map::Message<&CXTableViewEx::OnPrintMessage>(&CXViewBase::PrintMessageId),
        Map::Message<&CXTableViewEx::OnPreviewMessage>(&CXViewBase::PrintPreviewMessageId),
        Map::Execute<&CXTableViewEx::OnSelectAll>(+selectAllId),
        Map::Update<&CXTableViewEx::OnUpdateAlwaysEnabled>(&CXViewBase::ContentStateId),
        Map::Update<&CXTableViewEx::OnUpdateHasRows>(+hasRowsId),
        Map::End(),
    };
    return entries;
}

CXTableViewEx::CXTableViewEx(owl::TWindow* parent, IHostDocument* document, IHostView* hostView,
                             owl::TModule* module, DWORD flags)
    : CXViewBase(parent, document, hostView, u"Crestmetrics TableViewEx", module, flags),
      export_(MakeTextButton(this, kExportId, u"Export...")),
      settings_(MakeTextButton(this, kSettingsId, u"Settings...")),
      tallysheet_(MakeTextButton(this, kTallysheetId, u"Add to Tallysheet")),
      help_(new KVOControls::TBmpTxtButton(this, KVO::String(), false, module)),
      actions_(std::make_unique<ActionHandler>(*this))
{
    Attr.Style |= WS_CLIPCHILDREN | WS_TABSTOP;
    help_->Attr.Id = kHelpId;
}

CXTableViewEx::~CXTableViewEx() = default;

TVF_TableViewMgr* CXTableViewEx::Manager() const { return Document() ? Document()->TableManager() : nullptr; }

void CXTableViewEx::SetupWindow()
{
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    CX::TableViewData* data = Document() ? Document()->TableData() : nullptr;
    if (TVF_TableViewMgr* manager = Manager(); manager && data) {
        manager->CreateTableView(kOptionsWithSummary, GetHandle(), HostView(), Document()->HostDocument(),
                                 static_cast<ITableDataManager*>(data), static_cast<ITableStoredRowInfo*>(data),
                                 actions_.get(), nullptr);
        manager->SetFollowLatest(0, Document()->Settings().GetBool(SettingId::kTableViewState) ? VARIANT_TRUE
                                                                                                : VARIANT_FALSE);
    }
    CXViewBase::SetupWindow();
    if (Document()) {
        Document()->AttachTableView(this);
    }
    for (owl::TButton* button : {export_, settings_, tallysheet_}) {
        button->SetWindowFont(SharedButtonFont(), true);
    }
    help_->SetBitmap(PictureId::HelpGlyph);
    static KVO::String tooltip;
    help_->SetTooltip(CachedText(tooltip, StringId::TableViewHelpTooltip, true));
    SetCursor(previous);
    POINT where{};
    GetCursorPos(&where);
    SetCursorPos(where.x, where.y);
}

void CXTableViewEx::CleanupWindow()
{
    if (TVF_TableViewMgr* manager = Manager()) {
        manager->DestroyTableView(0);
    }
    if (Document()) {
        Document()->AttachTableView(nullptr);
    }
    CXViewBase::CleanupWindow();
}

void CXTableViewEx::Paint(owl::TDC& dc, bool erase, owl::TRect& rect)
{
    FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
    CXViewBase::Paint(dc, erase, rect);
}

KVO::String CXTableViewEx::CopyCommandText()
{
    static KVO::String text;
    return CachedText(text, StringId::CopyTableView, true);
}

KVO::String CXTableViewEx::PrintCommandText()
{
    static KVO::String text;
    return CachedText(text, StringId::PrintTableView, false);
}

KVO::String CXTableViewEx::Title()
{
    KVO::String title = GetHostDocumentName();
    title.Append(u": ");
    title.Append(ViewName());
    return title;
}

void CXTableViewEx::EvSize(owl::uint sizeType, const owl::TSize& size)
{
    CXViewBase::EvSize(sizeType, size);
    TVF_TableViewMgr* manager = Manager();
    if (size.cx == 0 && size.cy == 0) {
        if (manager) {
            manager->SetLayout(0, 0, 0, 0, 0, 60, 100, 100);
        }
        return;
    }
    const int y = size.cy - 31;
    help_->SetWindowPos(nullptr, 8, y, 30, 23, kQuietPlace);
    export_->SetWindowPos(nullptr, 44, y, 75, 23, kQuietPlace);
    settings_->SetWindowPos(nullptr, 125, y, 75, 23, kQuietPlace);
    tallysheet_->SetWindowPos(nullptr, 206, y, 112, 23, kQuietPlace);
    if (manager) {
        manager->SetLayout(0, 0, 0, size.cx, size.cy - 39, 60, 100, 100);
    }
}

owl::TResult CXTableViewEx::EvCommand(owl::uint id, HWND control, owl::uint notifyCode)
{
    switch (id) {
    case kExportId: CmExport(); return 0;
    case kSettingsId: CmSettings(); return 0;
    case kTallysheetId: CmAddToTallysheet(); return 0;
    case kHelpId: CmHelp(); return 0;
    default: return CXViewBase::EvCommand(id, control, notifyCode);
    }
}

void CXTableViewEx::Refresh()
{
    if (!Document()) {
        return;
    }
    const bool summary = Document()->Settings().GetBool(SettingId::kShowSummaryPane);
    TVF_TableViewMgr* manager = Manager();
    if (!manager || !manager->Window()) {
        return;
    }
    manager->SetOptions(summary ? kOptionsWithSummary : kOptionsWithoutSummary);
    manager->SetFollowLatest(0, Document()->Settings().GetBool(SettingId::kTableViewState) ? VARIANT_TRUE
                                                                                            : VARIANT_FALSE);
    if (summary) {
        if (CX::TableViewData* data = Document()->TableData()) {
            data->ComputeSummary();
        }
    }
    manager->Refresh(0);
}

void CXTableViewEx::CmExport()
{
    WCHAR folder[MAX_PATH_CHARS]{};
    if (FAILED(SHGetFolderPathW(GetHandle(), CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return;
    }
    const std::u16string path = TVF::AskSaveFileName(
        GetHandle(), u"Crestmetrics Table View Text File (*.txt)\0*.txt\0CSV (Comma delimited) (*.csv)\0*.csv\0",
        u"Export Crestmetrics Table View Data", folder, u"txt", 260);
    if (path.empty()) {
        return;
    }
    const std::size_t dot = path.rfind(u'.');
    const std::u16string extension = dot == std::u16string::npos ? path : path.substr(dot + 1);
    HRESULT result = E_FAIL;

    if (extension == u"csv") { // as typed: "CSV" writes tab-separated text
        if (TVF_TableViewMgr* manager = Manager()) {
            IKVOString* text = KVO::String(path).GetInterface();
            result = manager->ExportCsv(0, text);
            text->Release();
        }
    } else if (CX::TableViewData* data = Document() ? Document()->TableData() : nullptr) {
        result = data->ExportText(KVO::String(path));
    }
    if (FAILED(result) && result != E_ABORT) {
        const std::u16string message = u"The table could not be written to " + path + u".";
        MessageBoxW(GetHandle(), message.c_str(), u"Export Crestmetrics Table View Data", MB_OK | MB_ICONERROR);
    }
}

void CXTableViewEx::CmSettings()
{
    if (!Document()) {
        return;
    }
    // The dialog opens on its table page, with the analysis type and source channel locked as the view shows them.
    Document()->Settings().SetInt(SettingId::kFirstSettingsTab, 2);
    Document()->RunSettingsDialog(1);
}

void CXTableViewEx::CmAddToTallysheet()
{
    if (Document()) {
        Document()->OnCopyToTallysheetMessage();
    }
}

void CXTableViewEx::CmHelp()
{
    if (Document()) {
        Document()->ShowHelpTopic(u"cx_tableview");
    }
}

void CXTableViewEx::SelectAll()
{
    const bool setSelecting = !selecting_;
    const bool setAll = !selectingAll_;
    selecting_ = true;
    selectingAll_ = true;
    if (TVF_TableViewMgr* manager = Manager(); manager && manager->Window()) {
        CX::TableViewData* data = Document()->TableData();
        LONG events = 0;
        LONG summary = 0;
        if (data) {
            data->GetRowCount(TableGrid::kEvents, &events);
            data->GetRowCount(TableGrid::kSummary, &summary);
        }
        manager->SelectRows(TableGrid::kEvents | 32, 1, events);
        manager->SelectRows(TableGrid::kSummary | 32, 1, summary);
    }
    if (setSelecting) {
        selecting_ = false;
    }
    if (setAll) {
        selectingAll_ = false;
    }
}

HRESULT CXTableViewEx::OnSelectionChanged(DWORD flags, const TableRange* ranges, LONG count)
{
    if (count <= 0 || !ranges) {
        return S_OK;
    }
    TVF_TableViewMgr* manager = Manager();
    if (!manager) {
        return S_OK;
    }
    const bool inEvents = (flags & TableGrid::kEvents) != 0;
    if (!selectingAll_) {
        manager->SelectRows(inEvents ? TableGrid::kSummary : TableGrid::kEvents, 0, 0);
    }
    if (!selecting_ && inEvents && ranges[0].endRow == ranges[0].firstRow + 1 && Document()) {
        Document()->SelectEvent(ranges[0].firstRow - 1, 0x60000000);
    }
    return S_OK;
}

HRESULT CXTableViewEx::OnCellAction(DWORD flags, LONG row, LONG column)
{
    if (!(flags & 2) || row != 0 || column == 0 || !Document()) {
        return S_OK;
    }
    CX::TableViewData* data = Document()->TableData();
    CX::Doc::CycleDetector* results = data ? data->Results() : nullptr;
    if (!results) {
        return S_OK;
    }
    const auto& codes = results->Columns();
    if (column - 1 >= static_cast<LONG>(codes.size())) {
        return S_OK;
    }
    const int code = codes[static_cast<std::size_t>(column - 1)];
    if (code == 58 || code == 1) {
        return S_OK;
    }
    TableView::SigFigDialog dialog(this, GetModule());
    dialog.digits = data->FormatFor(code).digits;
    dialog.applyToAll = data->applyToAll;
    if (dialog.Execute() != IDOK) {
        return S_OK;
    }
    data->applyToAll = dialog.applyToAll;
    if (dialog.applyToAll) {
        data->SetAllDigits(dialog.digits);
    } else {
        data->FormatFor(code).digits = dialog.digits;
    }
    if (TVF_TableViewMgr* manager = Manager()) {
        manager->Refresh(0);
    }
    return S_OK;
}

HRESULT CXTableViewEx::OnFollowLatestChanged(DWORD, VARIANT_BOOL on)
{
    if (Document()) {
        Document()->Settings().SetBool(SettingId::kTableViewState, on != 0);
    }
    return S_OK;
}

void CXTableViewEx::SelectEventRow(int index)
{
    const bool set = !selecting_;
    selecting_ = true;
    if (TVF_TableViewMgr* manager = Manager()) {
        manager->SelectRows(0, index + 1, index + 2);
    }
    if (set) {
        selecting_ = false;
    }
}

HRESULT CXTableViewEx::OnCopyMessage()
{
    if (TVF_TableViewMgr* manager = Manager(); manager && manager->Window()) {
        manager->Window()->Copy();
    }
    return S_OK;
}

HRESULT CXTableViewEx::OnPrintMessage()
{
    if (TVF_TableViewMgr* manager = Manager(); manager && manager->Window()) {
        manager->Window()->Print(false);
    }
    return S_OK;
}

HRESULT CXTableViewEx::OnPreviewMessage()
{
    if (TVF_TableViewMgr* manager = Manager(); manager && manager->Window()) {
        manager->Window()->Print(true);
    }
    return S_OK;
}

void CXTableViewEx::OnUpdateAlwaysEnabled(ICommandState& state) { state.SetEnabled(0xFFFF); }

void CXTableViewEx::OnUpdateHasRows(ICommandState& state)
{
    LONG rows = 0;
    if (CX::TableViewData* data = Document() && Manager() ? Document()->TableData() : nullptr) {
        data->GetRowCount(TableGrid::kEvents, &rows);
    }
    state.SetEnabled(rows > 0 ? 0xFFFF : 0);
}
