// The table view: the events of the analysis as rows of parameter values in the table window of the table-view
// framework, with the Export, Settings, Add to Tallysheet and Help buttons under it. It keeps the table's
// selection in step with the document's current event and refreshes the table when the results change.
#pragma once

#include "graph/analysisview/analysisview.h"
#include "sdk/tableview.h"

#include <memory>

namespace owl {
class TButton;
}
namespace KVOControls {
class TBmpTxtButton;
}
class TVF_TableViewMgr;

class CXTableViewEx : public CXViewBase {
    CAF_DECLARE_MESSAGE_MAP(CXTableViewEx, CXViewBase)

public:
    // {the table view family}: the view class's type id is n = 1 of it.
    static constexpr GUID kViewFamily{0xA254711B, 0x4CD5, 0x46DA, {0x8C, 0x43, 0x1B, 0x27, 0x78, 0xE8, 0x1E, 0xD6}};
    static constexpr const GUID& kViewClassId = AnalysisView::kViewClassId; // shared by both view classes
    static const char16_t* ViewName() { return u"Crestmetrics Table View"; }

    static constexpr int kExportId = 1000;
    static constexpr int kSettingsId = 1001;
    static constexpr int kTallysheetId = 1002;
    static constexpr int kHelpId = 9;
    // The table's options: summary shown (or not), row selection, movable columns, row and column titles, snap.
    static constexpr DWORD kOptionsWithSummary = 0x27A;
    static constexpr DWORD kOptionsWithoutSummary = 0x278;

    CXTableViewEx(owl::TWindow* parent, IHostDocument* document, IHostView* hostView, owl::TModule* module,
                  DWORD flags);
    ~CXTableViewEx() override;

    LPCWSTR GetClassName() override { return u"KVO::Crestmetrics Table View"; }
    void SetupWindow() override;
    void CleanupWindow() override;
    void Paint(owl::TDC& dc, bool erase, owl::TRect& rect) override;

    KVO::String CopyCommandText() override;
    KVO::String PrintCommandText() override;
    void Refresh() override;
    KVO::String Title() override;
    void DrawInto(HDC, HDC, const RECT&) override {}

    // The document's current event changed: select its row without selecting the event again.
    void SelectEventRow(int index);

    // The buttons' commands.
    void CmExport();
    void CmSettings();
    void CmAddToTallysheet();
    void CmHelp();
    void SelectAll();

    // The framework's user actions (the view is the manager's client).
    HRESULT OnSelectionChanged(DWORD flags, const TableRange* ranges, LONG count);
    HRESULT OnCellAction(DWORD flags, LONG row, LONG column);
    HRESULT OnFollowLatestChanged(DWORD flags, VARIANT_BOOL on);

    owl::TButton* ExportButton() const { return export_; }
    owl::TButton* SettingsButton() const { return settings_; }
    owl::TButton* TallysheetButton() const { return tallysheet_; }
    KVOControls::TBmpTxtButton* HelpButton() const { return help_; }

protected:
    void EvSize(owl::uint sizeType, const owl::TSize& size) override;
    owl::TResult EvCommand(owl::uint id, HWND control, owl::uint notifyCode) override;

private:
    class ActionHandler;
    TVF_TableViewMgr* Manager() const;
    HRESULT OnCopyMessage();
    HRESULT OnPrintMessage();
    HRESULT OnPreviewMessage();
    void OnSelectAll() { SelectAll(); }
    void OnUpdateAlwaysEnabled(ICommandState& state);
    void OnUpdateHasRows(ICommandState& state);

    owl::TButton* export_;
    owl::TButton* settings_;
    owl::TButton* tallysheet_;
    KVOControls::TBmpTxtButton* help_;
    std::unique_ptr<ActionHandler> actions_;
    bool selecting_ = false;
    bool selectingAll_ = false;
};
