// The table window: one table shown as two stacked grids, the event grid above and the summary grid below, kept in
// step (horizontal scrolling, column widths and order). It copies the rows as text, exports them as a
// comma-separated file, prints each grid and adds the rows to the host's Tallysheet; the table view manager
// forwards the client's requests to it.
#pragma once

#include "foundation/kvostring.h"
#include "platform/owl/window.h"
#include "platform/com/unknown.h"
#include "sdk/cafevents.h"
#include "sdk/docview.h"
#include "sdk/tableview.h"
#include "tableview/tvf/gridcontrol.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

class TVF_Renderer;
struct ITallysheet;

namespace TVF {
// The save-file dialog with overwrite prompt and read-only hidden: the chosen path, or empty when cancelled.
// `filter` holds (description, pattern) pairs, each text NUL-terminated, ended by a second NUL.
std::u16string AskSaveFileName(HWND owner, const char16_t* filter, const char16_t* title, const char16_t* initialDir,
                               const char16_t* defaultExtension, DWORD maxChars);
} // namespace TVF

class TVF_TableView : public OWL::TWindow {
public:
    // Option bits of SetOptions.
    static constexpr DWORD kEditing = 0x1;
    static constexpr DWORD kSummaryShown = 0x2;
    static constexpr DWORD kRowSelection = 0x8;
    static constexpr DWORD kMovableColumns = 0x10;
    static constexpr DWORD kRowTitles = 0x20;
    static constexpr DWORD kColumnTitles = 0x40;
    static constexpr DWORD kNoHorizontalBar = 0x80;
    static constexpr DWORD kPrintSelectionOff = 0x100;
    static constexpr DWORD kSnapButton = 0x200;

    // The manager is borrowed (also seen as the table's ITableDataManager); the host view and the host document
    // object too.
    TVF_TableView(OWL::TWindow* parent, ITableViewMgrInternal* manager, IHostView* hostView, IUnknown* hostDocument);
    ~TVF_TableView() override;

    LPCWSTR GetClassName() override { return u"TVF_TableView"; }
    void SetupWindow() override;
    bool PreProcessMsg(MSG& msg) override;

    HRESULT Initialize(DWORD options, ITableDataManager* data, ITableStoredRowInfo* rows,
                       ITableUserActionHandler* handler, TVF_Grid::ITableRowMenuProvider* rowMenu);
    HRESULT Place(int x, int y, int width, int height, int rowNumberWidth, int defaultColumnWidth, int summaryHeight);
    // Lets go of the data; may be called again (by the destructor after the manager did).
    HRESULT Detach();
    HRESULT Reload(int columnCount);
    HRESULT RedrawCell(int row, int column);
    HRESULT SelectRows(DWORD flags, int first, int end);
    HRESULT SelectColumnCells(DWORD flags, int column, int first, int end);
    HRESULT SetOptions(DWORD options);
    // S_FALSE without a Tallysheet or when it filled up; E_OUTOFMEMORY and the memory check's codes as the
    // renderer gives them.
    HRESULT AddToTallysheet();
    // Null or empty path: the save dialog asks. E_FAIL without a path; STG_E_WRITEFAULT when the file cannot be
    // written (no partial file is left).
    HRESULT ExportCsv(IKVOString* path);
    HRESULT ShowRow(DWORD flags, int row);

    // The host's copy, print and print preview messages; the preview goes to the print service as a printout it
    // keeps (SendToPrintService).
    void Copy();
    void Print(bool preview);
    void SendToPrintService() { Print(true); }

    // The text that copy and the comma-separated export share: the selections of the grids (or everything when
    // neither has one), the event grid's first, joined by one line feed. *cancelled (optional) tells whether the
    // user cancelled it part way.
    std::u16string BuildCopyText(std::u16string_view separator, bool quote = false, bool* cancelled = nullptr);

    void SetChannelTitles(std::map<unsigned, KVO::String> titles);
    const std::map<unsigned, KVO::String>& ChannelTitles() const { return channelTitles_; }
    // Reads the host document's channel titles again and gives them to the grids.
    void ReloadChannelTitles();
    // What the window registers with the host: its message handler (copy, print and the print service's message)
    // with the host data object, and the same object as observer of the host view's subject.
    IMessageHandler* HostHandler();
    void Layout();

    TVF_Grid::EventGridControl& EventGrid() const { return *events_; }
    TVF_Grid::EventGridControl& SummaryGrid() const { return *summary_; }
    TVF_Renderer* EventRenderer() const { return eventRenderer_; }
    TVF_Renderer* SummaryRenderer() const { return summaryRenderer_; }
    bool SummaryShown() const { return summaryShown_; }
    DWORD Options() const { return options_; }
    int SummaryHeight() const { return summaryHeight_; }

    // The window's own relay of the grids' column messages (width changed, column moved).
    using MessageSink = std::function<void(DWORD code, const void* data)>;
    void SetMessageSink(MessageSink sink) { relay_ = std::move(sink); }
    // Called from the destructor: the window also goes when its parent window is destroyed first.
    void SetWhenGone(std::function<void()> gone) { whenGone_ = std::move(gone); }

protected:
    void EvSize(uint sizeType, const OWL::TSize& size) override;
    bool EvEraseBkgnd(HDC) override { return true; }
    bool EvMouseWheel(uint modKeys, int zDelta, const OWL::TPoint& point) override;

private:
    // The window's observer of its two grids' subjects.
    class GridObserver final : public IObserver {
    public:
        explicit GridObserver(TVF_TableView& table) : table_(table) {}
        HRESULT QueryInterface(REFIID iid, void** out) override;
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        HRESULT RegisterWith(ISubject*) override { return S_OK; }
        HRESULT Notify(ISubject*, DWORD eventId, DWORD, const void* data) override
        {
            table_.OnGridMessage(eventId, data);
            return S_OK;
        }

    private:
        TVF_TableView& table_;
    };

    void OnGridMessage(DWORD code, const void* data);
    TVF_Grid::EventGridControl* GridOf(DWORD flags) const { return (flags & TableGrid::kSummary) ? summary_ : events_; }
    TVF_Renderer* MakeRenderer(TVF_Grid::EventGridControl& grid, DWORD selector, ITableDataManager* data,
                               ITableStoredRowInfo* rows);
    void DetachRenderers();
    platform::ComPtr<ITallysheet> FindTallysheet() const;
    KVO::String PrintTitle() const;
    void ReloadGrid(TVF_Grid::EventGridControl& grid, TVF_Renderer* renderer, bool shrank, int keptScroll);

    class HostMessages;
    std::map<unsigned, KVO::String> ReadChannelTitles() const;
    void RegisterWithHost();
    void UnregisterFromHost();

    ITableViewMgrInternal* manager_;
    IHostView* hostView_;
    IUnknown* hostDocument_;
    TVF_Grid::EventGridControl* events_;
    TVF_Grid::EventGridControl* summary_;
    TVF_Renderer* eventRenderer_ = nullptr;
    TVF_Renderer* summaryRenderer_ = nullptr;
    bool summaryShown_ = true;
    bool withRowTitles_ = false;
    bool withColumnTitles_ = true;
    bool printSelectionOff_ = false;
    bool detached_ = false;
    DWORD options_ = 0;
    int summaryHeight_ = 100;
    std::map<unsigned, KVO::String> channelTitles_;
    MessageSink relay_;
    std::function<void()> whenGone_;
    GridObserver gridObserver_{*this};
    bool observingGrids_ = false;
    std::unique_ptr<HostMessages> hostMessages_;
    platform::ComPtr<IMessageHandler> hostData_; // where the handler is registered
    bool observing_ = false;                      // attached to the host view's subject
};
