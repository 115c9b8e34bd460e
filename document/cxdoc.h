// The analysis document of one host chart document: it owns the results store, the table objects and its
// persistence, keeps the three calculation channels of its analysis in the host document, and is the client of
// the host's analysis manager. Its settings live in the module's child data of the host chart data.
#pragma once

#include "foundation/comobject.h"

#include "document/cycledetector.h"
#include "document/persistsettings.h"
#include "frame/document.h"
#include "frame/typeid.h"
#include "sdk/analysismanager.h"
#include "sdk/calcchannels.h"
#include "sdk/datasource.h"
#include "sdk/sampling.h"

#include <memory>

namespace owl {
class TWindow;
}

class TVF_TableViewMgr;
class CXTableViewEx;
class CXViewBase;

namespace CX {
class TableViewData;
// The document family: the document's type id (n = 0), its commands and own messages.
inline constexpr GUID CXDocGUID{0x2A40C3E7, 0x580D, 0x4E9C, {0xA4, 0x34, 0xC5, 0x45, 0x27, 0x68, 0x9C, 0xAB}};
// The document class.
inline constexpr GUID CXDocClassId{0xE679FB3C, 0xBA7D, 0x44B3, {0x85, 0xC5, 0x1C, 0xB7, 0xDA, 0x47, 0x2D, 0x16}};
} // namespace CX

namespace CX::Doc {

// {4F8E2D61-A937-4C05-B2E8-19D7C3A65F0B}: answered by an analysis document (and a host document that leads to one).
inline constexpr IID IID_ICXDocInterface{0x4F8E2D61, 0xA937, 0x4C05, {0xB2, 0xE8, 0x19, 0xD7, 0xC3, 0xA6, 0x5F, 0x0B}};

using KVO::Ask;

// Command indexes of the document family.
namespace Command {
inline constexpr WORD kSettings = 1;
inline constexpr WORD kClear = 8;
inline constexpr WORD kAnalyse = 9;
inline constexpr WORD kAnalysisView = 2;
inline constexpr WORD kShowMarks = 4;
inline constexpr WORD kOnlineAnalysis = 6;
inline constexpr WORD kReselect = 7;
inline constexpr WORD kHelp = 10;
inline constexpr WORD kTableView = 12;
} // namespace Command

// What the table view does for the document when an event becomes current: select the event's row, without the
// selection notice that follows selecting the event in the document again.
class EventRowSelection {
public:
    virtual void SelectEventRow(std::int32_t index) = 0;

protected:
    ~EventRowSelection() = default;
};

class CXDoc : public ChartChildDocument, public IOnlineDataSink, private PersistTables {
    CAF_DECLARE_MESSAGE_MAP(CXDoc, void)

public:
    // The three calculation channels, in the order they are made and removed.
    static constexpr std::int32_t kCalcChannelSettings[3] = {2023, 2024, 2025};
    static constexpr DWORD kNoCookie = 0xFFFFFFFFu;

    // Created with a count of 0.
    static CXDoc* Create(IUnknown* hostDocument, CAFDocumentClassBase* documentClass);
    // The category, the settings command and the menu's separator; each item joins the class's command list.
    static void RegisterCommands(CAFDocumentClassBase& documentClass, ICAFCommandHandler* target, IUnknown* site);
    // The analysis document of a host document, or null.
    static CXDoc* FromHostDocument(IUnknown* hostDocument);

    static const char16_t* ClassName() { return u"Crestmetrics Document"; }
    static const GUID& CommandFamily() { return CXDocGUID; }
    static const GUID& ClassId() { return CXDocClassId; }
    static DWORD CommandIdBase() { return TypeIdClass<&CXDocGUID, 0>::Get(); }
    static constexpr DWORD kVersion = 1;
    static constexpr DWORD kRegistrationFlags = 0;

    ~CXDoc() override;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return ChartChildDocument::AddRef(); }
    ULONG Release() override { return ChartChildDocument::Release(); }

    // ---- analysis while sampling (the host's online-data notices) and the host's change notices ----
    // Subscribes the document to the host's sampling notices while analysis while sampling (2009) is on, and ends
    // the subscription when it is off.
    void UpdateOnlineSubscription();
    HRESULT GetInterest(DWORD* flags, WORD* wanted) override;
    HRESULT SamplingStarted(DWORD value) override;
    HRESULT BlockStarted(LONG block, DWORD channels, double tickPeriod, LONGLONG firstTick, LONGLONG reserved1,
                         DWORD reserved2, DWORD reserved3, DWORD reserved4, VARIANT_BOOL recorded) override;
    HRESULT NewData(LONG samples) override;
    HRESULT SamplingStopped(DWORD a, DWORD b) override;
    HRESULT AfterStop(VARIANT_BOOL flag) override;
    HRESULT RangeNotice(DWORD, DWORD) override { return S_OK; }
    HRESULT Reserved10() override { return E_NOTIMPL; }
    HRESULT Reserved11() override { return E_NOTIMPL; }
    HRESULT Idle(DWORD) override { return S_OK; }
    HRESULT GetUpdateInterval(DWORD value, DWORD* milliseconds) override;
    HRESULT GetDataKinds(DWORD a, DWORD b, DWORD c, DWORD* kinds) override;
    void DeleteThis() override { delete this; }
    // The host's notices: the first activation, changed data (two range arguments, or one), a position from which
    // the data changed (n 14; n 16 also removes the marks), marks gone (n 18), a channel changed (n 20, 22).
    void OnFirstActivation(FirstActivationNotice notice);
    // A comment of the module's event marks names its event ("CX: Peak N"): event N - 1 becomes the current one.
    void OnCommentNotice(IUnknown* comment);
    void OnDataChanged(ChartRangeNotice notice);
    void OnRangeChanged(LONG range);
    void OnDataChangedFrom(KVOPosition position);
    void OnDataRemovedFrom(KVOPosition position);
    void OnMarksGone();
    void OnChannelChanged(LONG channel);
    // Asks the host which channels the change touched; when the source channel is among them the analysis is
    // redone (not sampling) or cleared (sampling). True when the source channel changed.
    bool DataChanged(LONG first, LONG second);
    // The sampling state of the online notices.
    bool OnlineActive() const { return onlineActive_; }
    bool OnlineBlockOpen() const { return onlineBlockOpen_; }
    LONG OnlineSamples() const { return onlineSamples_; }
    LONG SampledBlock() const { return sampledBlock_; }

    // Adds the source channel's settings group, creates what the analysis needs and the calculation channels.
    HRESULT Open();
    // Removes the calculation channels and lets go of the host document.
    HRESULT Close() override;
    // Kind 2, index 0: the persistence object; anything else null and S_FALSE.
    HRESULT InterfaceByKind(LONG index, LONG kind, DWORD* word, IUnknown** out);

    // The analysis-manager client: registers and hands over the persistence object (true when it was taken).
    bool RegisterClient();
    void ReleaseClient();
    void ReportRange(LONG argument);
    void Stop();
    void ReRun();
    bool IsClientActive();
    DWORD Cookie() const { return cookie_; }

    // Hands the persistence object to the host's storage unless it is attached or loaded already.
    void AttachPersistence();
    void MarkDirtyAndAttach();

    void CreateCalcChannels();
    void RemoveCalcChannels();
    // Switches the event-chain channel on or off and titles it, when its state differs from `on`.
    void TitleEventChainChannel(bool on);

    SettingsSet& Settings() { return persist_.Settings(); }
    PersistSettings& Persistence() { return persist_; }
    const ParamCatalogue& Catalogue() const { return PersistSettings::Catalogue(); }
    IUnknown* HostDocument() const { return hostDocument_.Get(); }

    // Made on first use (null without a host document).
    CycleDetector* Results();
    TableViewData* TableData() override;
    TVF_TableViewMgr* TableManager() override;
    // The manager with a reference for the caller.
    HRESULT TableViewManager(TVF_TableViewMgr** out);

    // The unit of the source channel's samples (setting 2001); empty when the host cannot say.
    KVO::PrefixedUnit SourceChannelUnits();

    // ---- the analysis ----
    // One analysis of the source channel over the stored range, or a new one (the selection or the whole
    // channel); false when busy or the range is empty or invalid.
    bool Analyse(bool useStoredRange, bool titleFlag);
    // Forgets the results and the analysed range.
    void ClearAnalysis();
    // Stores the empty range and analyses it (which clears the channel's state).
    void ResetStoredRange();
    // Refreshes the views and tells the host document that its channels may have changed.
    void NotifyViews();
    // Keeps each channel calculation of the module that shows a parameter of the current analysis type and turns
    // the others off (the user is told once); the host document updates when any was touched.
    void RecheckChannelCalculations();
    // Writes the detector-stage, event-chain and calculation-stage texts into the three channels.
    void RebuildCalculationChannels();
    void PutEventMarks();
    void RemoveEventMarks();
    // The host document's sampling state; false when it has no sampling-state object.
    bool IsHostSampling() const;
    // The analyse command and own message: a new range, the event-chain channel titled; false when nothing was
    // analysed.
    bool RunAnalysis();
    // Clearing is allowed when the host is not sampling into an analysis and there are events.
    bool ClearAllowed() const;
    void ClearCommand();

    // A hundredth of the samples, at most 10000; all of them when that is below 1000.
    static std::int64_t ChunkSize(std::int64_t total);
    // The last block with samples of a range that ends at `end`: not the one at whose tick 0 it ends.
    static std::int32_t LastAnalysedBlock(const KVOPosition& end);
    // done of total as a whole percentage in 0..100 (0 when there is nothing to do).
    static std::int32_t ProgressPercent(double done, std::int64_t total);

    // The settings dialog over a copy of the settings (opening code 0, or 3 while the host samples; 1 from the
    // table view, 2 from the channel-calculation dialog), modal to `parent`, or to the host frame's window without
    // one. It shows the chart's selection at the chart's time scale and the source channel's value range. After
    // OK the marks go, the settings are taken and analysed. True after OK.
    bool RunSettingsDialog(std::int32_t openingCode, owl::TWindow* parent = nullptr);

    // Command handlers and update states, and the own messages.
    void OnSettings();
    void OnUpdateAlwaysEnabled(ICommandState& state);
    void OnAnalyse();
    void OnClear();
    void OnUpdateAnalyse(ICommandState& state);
    void OnUpdateClear(ICommandState& state);
    HRESULT OnAnalyzeMessage();
    HRESULT OnClearAnalysisMessage();

    // ---- the other commands ----
    // The framework's open-view message for a view class's type id.
    static constexpr DWORD kOpenViewMessage = 0x80010000u;
    void OnOpenAnalysisView();
    void OnOpenTableView();
    void OnToggleEventMarks();
    void OnUpdateEventMarks(ICommandState& state);
    void OnToggleOnlineAnalysis();
    void OnUpdateOnlineAnalysis(ICommandState& state);
    void OnReselect();
    void OnUpdateReselect(ICommandState& state);
    void OnHelp();
    // Own message 1: the table's rows into the host's Tallysheet; the user is told when not every row went in.
    HRESULT OnCopyToTallysheetMessage();
    // Analysis while sampling on or off: the stored range follows the end of the data, or keeps where it ended.
    void SetOnlineAnalysis(bool on, bool updateSetting);
    // The table view announces itself (and null when it goes); the document refreshes it with its results.
    void AttachTableView(CXTableViewEx* view);
    CXTableViewEx* TableView() const;

    // ---- the views ----
    // The flags of SelectEvent.
    static constexpr DWORD kSelectTableRow = 0x80000000u;
    static constexpr DWORD kScrollChartToEvent = 0x40000000u;
    static constexpr DWORD kMarkEventInChart = 0x20000000u;
    static constexpr DWORD kPopupInChart = 0x10000000u;
    // Remembers the analysis view or the table view and refreshes it; any other object is ignored.
    void AttachView(CXViewBase* view);
    // Forgets a view whose window goes.
    void DetachView(CXViewBase* view);
    CXViewBase* AnalysisViewWindow() const { return analysisView_.attached ? analysisView_.view : nullptr; }
    CXViewBase* TableViewWindow() const { return tableView_.attached ? tableView_.view : nullptr; }
    // Makes an event current: the analysis view refreshes; the flags select its table row, scroll the host chart
    // to it and mark it there.
    void SelectEvent(std::int32_t index, DWORD flags);
    // The current event's comment in the host chart, without its popup.
    void ShowCurrentEventInChart();
    // Shows the comment of the source channel's event at `position` in the host chart, while marks are shown.
    void MarkEventInChart(const KVOPosition& position, bool popup);
    // A topic of the help file "CrestmetricsHelp" through the host application; E_FAIL without one.
    static HRESULT ShowHelpTopic(const char16_t* topic);

    std::int32_t CurrentEvent() const { return currentEvent_; }
    void SetCurrentEvent(std::int32_t index) { currentEvent_ = index; }
    bool IsOnlineAnalysis();
    bool HasAnalysedRange();
    bool busy = false;
    bool sampling = false;
    bool firstActivation = true;
    bool clientEnabled = true;

private:
    CXDoc(IUnknown* hostDocument, CAFDocumentClassBase* documentClass);
    platform::ComPtr<IChartCalcChannels> CalcChannels() const;
    bool ManagerActive();
    // The analysis manager while this document is its client, or null.
    platform::ComPtr<IAnalysisManager> RegisteredManager() const;
    // The host's storage must not call a persistence object that is going.
    void WithdrawPersistence();
    // The host document's update request.
    void RequestHostUpdate();
    // Sends the host the marks request of each calculation channel whose events are marked.
    void SendMarkRequests(bool put);
    void SendMarkRequests(bool put, std::int32_t analysisType);
    // Hands a text to the calculation of the channel that `settingId` names.
    void WriteChannelText(std::int32_t settingId, const KVO::String& text);
    // The detector-stage and event-chain texts: the first two of the three channels' texts.
    void WriteSourceAndEventChainTexts();
    // The end of the host's data; 0x7FFFFFFF in both words when the host cannot say.
    KVOPosition HostEndOfData() const;
    // Sends the framework's open-view message for the view class.
    void OpenView(DWORD viewTypeId);
    // A message box of the document's texts, captioned "Crestmetrics" and owned by the active window.
    static int ShowDocumentMessage(UINT textId, UINT type);

    platform::ComPtr<IUnknown> hostDocument_;
    platform::ComPtr<IUnknown> analysisManager_;
    DWORD cookie_ = kNoCookie;
    PersistSettings persist_;
    platform::ComPtr<TableViewData> tableData_;
    platform::ComPtr<TVF_TableViewMgr> tableManager_;
    std::int32_t currentEvent_ = 0;
    std::unique_ptr<CycleDetector> results_;

    struct ViewEntry {
        bool attached = false;
        CXViewBase* view = nullptr; // not held: the view tells the document when it goes
        std::int32_t word = 0;
    };
    // Invalidates and refreshes each attached view.
    void RefreshViews();
    ViewEntry analysisView_;
    ViewEntry tableView_;
    // Analysis while sampling: the block flag of the last block start, a block open, its samples so far, the
    // results block still to be started, the block being sampled and the first sampling-position answer.
    bool onlineActive_ = false;
    bool onlineBlockOpen_ = false;
    LONG onlineSamples_ = 0;
    bool blockStartPending_ = false;
    LONG sampledBlock_ = 0;
    KVOPosition samplingPosition_{};
    bool onlineSubscribed_ = false;
    // The event that a chart comment names becomes the current event (with the views' selection flag bit 31).
    void SelectEventFromComment(std::int32_t index);
    // Tells the observers that the event-chain channel's events changed.
    void NotifyEventChainObservers();
};

} // namespace CX::Doc
