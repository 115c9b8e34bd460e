// The analysis driver of the document: the range, the three calculation texts, the events read block by block in
// chunks with progress and cancel, the marks, and the clearing around it.
#include "document/chancalc.h"
#include "document/chartdatachilddata.h"
#include "document/cxdoc.h"
#include "frame/calcsource.h"
#include "graph/analysisview/cxviewbase.h"
#include "document/docmessages.h"
#include "document/expressionbuilder.h"
#include "document/messageids.h"
#include "document/paramcatalogue.h"
#include "document/settingids.h"
#include "dialogs/settingsdlg.h"
#include "foundation/comobject.h"
#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "foundation/windowplacement.h"
#include "frame/channeltoken.h"
#include "frame/eventcomment.h"
#include "frame/enumgetter.h"
#include "frame/hostservices.h"
#include "frame/views.h"
#include "platform/win/msgbox.h"
#include "platform/win/winuser.h"
#include "resources/stringtable.h"
#include "sdk/analysishost.h"
#include "sdk/datasource.h"
#include "sdk/documentsite.h"
#include "sdk/sampling.h"
#include "sdk/tableview.h"
#include "tableview/cxtableviewex.h"
#include "tableview/tvftableviewmgr.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace CX::Doc {

namespace {

using namespace SettingId;

std::u16string LoadText(UINT id)
{
    const KVO::String text = KVO::LoadResourceString(KVO::ModuleInstance(), id, false);
    return std::u16string(text.c_str());
}

void ShowMessage(UINT textId, UINT icon)
{
    MessageBoxW(GetActiveWindow(), reinterpret_cast<LPCWSTR>(LoadText(textId).c_str()),
                reinterpret_cast<LPCWSTR>(LoadText(StringId::ModuleCaption).c_str()), icon);
}

// The calculation channels whose events are marked, by analysis type.
std::vector<std::int32_t> MarkedChannelSettings(std::int32_t analysisType)
{
    switch (analysisType) {
    case 1:
    case 4:
    case 5:
        return {kEventChainChannel};
    case 3:
        return {kEventChainChannel, kCalcStageChannel};
    default:
        return {kCalcStageChannel};
    }
}

struct Range {
    KVOPosition start{};
    KVOPosition end{};
};

bool ValidRange(const Range& range)
{
    const bool startOk = range.start.mRecord >= 0 && range.start.mRecordOffset >= 0;
    const bool toEnd = range.end.mRecord == -1 && range.end.mRecordOffset == -1;
    const bool endOk = toEnd || (range.end.mRecord >= 0 && range.end.mRecordOffset >= 0);
    return startOk && endOk && range.start != range.end;
}

// What the settings dialog asks of the host document and of the analysis document.
class DocumentDialogSite final : public CX::Dlg::SettingsDlgSite {
public:
    explicit DocumentDialogSite(CXDoc& document)
        : document_(document), hostDocument_(document.HostDocument()), source_(DataSourceOf(hostDocument_))
    {
    }
    IUnknown* HostDocument() override { return hostDocument_; }
    int ChannelCount() override { return ExtLib::GetMaxPaneMetric(hostDocument_); }
    std::u16string ChannelName(int channel) override
    {
        return std::u16string(ExtLib::GetChannelName(hostDocument_, channel).View());
    }
    bool ChannelUnit(int channel, std::int32_t block, CX::Dlg::SourceUnitRecord& unit) override
    {
        KVO::PrefixedUnit read;
        if (!ExtLib::GetEnumUnitNameAt(source_.Get(), block, channel, read)) {
            return false;
        }
        unit.unit = read.Base();
        unit.prefix = read.Prefix();
        return true;
    }
    bool UnitNamesDiffer(int channel) override { return ExtLib::UnitNamesDiffer(channel, source_.Get()); }
    bool ChannelValueRange(int channel, std::int32_t block, double& lower, double& upper) override
    {
        return ExtLib::GetChannelValueRange(source_.Get(), channel, block, lower, upper);
    }
    // The channel's calculation is the module's when its settings are the module's channel-calculation settings.
    bool IsModuleChannelCalculation(int channel) override
    {
        platform::ComPtr<IChannelCalc> calculation;
        if (!ExtLib::QueryChannelInterfaces(hostDocument_, calculation.Out(),
                                            TypeIdClass<&GUID_ChannelCalcSettingsFamily, 0>::Get(), channel, 2)) {
            return false;
        }
        platform::ComPtr<IPersistObject> settings;
        return SUCCEEDED(calculation->GetSettings(settings.Out())) && settings &&
               ChanCalc::SettingsCOM::From(settings.Get()) != nullptr;
    }
    void Selection(std::int32_t start[2], std::int32_t end[2]) override
    {
        KVOPosition from{};
        KVOPosition to{};
        const auto selection = Ask<IChartSelection>(hostDocument_, IID_IChartSelection);
        if (selection && SUCCEEDED(selection->GetSelectionRange(0, &from, &to))) {
            start[0] = from.mRecordOffset;
            start[1] = from.mRecord;
            end[0] = to.mRecordOffset;
            end[1] = to.mRecord;
        }
    }
    HRESULT ShowHelpTopic(const char16_t* topic) override { return document_.ShowHelpTopic(topic); }
    KVO::WindowPlacement* Placement() override { return &document_.Persistence().placement1; }

private:
    static platform::ComPtr<IDataSource> DataSourceOf(IUnknown* hostDocument)
    {
        platform::ComPtr<IDataSource> source;
        if (const auto holder = Ask<IDataSourceHolder>(hostDocument, IID_IDataSourceHolder)) {
            holder->GetSource(0, source.Out());
        }
        return source;
    }

    CXDoc& document_;
    IUnknown* hostDocument_;
    platform::ComPtr<IDataSource> source_;
};

// What the previews of the settings dialog start from: the chart's selection start at the chart's time scale,
// and the source channel's value range in the selection's block.
CX::Dlg::ChartViewRecord ChartView(IUnknown* hostDocument, std::int32_t sourceChannel, CX::Dlg::SettingsDlgSite& site)
{
    ExtLib::ChartSelection selection;
    CX::Dlg::ChartViewRecord view;
    view.timeScale = ExtLib::GetChartSelection(hostDocument, Msg::ChartMessageId2(), sourceChannel, selection);
    view.selectionStart[0] = selection.start.mRecordOffset;
    view.selectionStart[1] = selection.start.mRecord;
    view.block = selection.start.mRecord;
    site.ChannelValueRange(sourceChannel, view.block, view.valueLower, view.valueUpper);
    return view;
}

} // namespace

bool CXDoc::RunSettingsDialog(std::int32_t openingCode, owl::TWindow* parent)
{
    std::unique_ptr<owl::TWindow> frameAlias;
    owl::TWindow* frameWindow = OwlExtClientWindowBase::WindowFromHandle(GetHostFrame(), frameAlias);
    // The detection settings of analysis types 0 and 2 are the Loopmetry extension's.
    if (!CAF::GetDocumentExtension(hostDocument_.Get())) {
        MessageBoxW(frameWindow ? frameWindow->GetHandle() : GetActiveWindow(),
                    reinterpret_cast<LPCWSTR>(LoadText(StringId::NeedsLoopmetry).c_str()),
                    reinterpret_cast<LPCWSTR>(LoadText(StringId::ModuleCaption).c_str()), MB_OK | MB_ICONERROR);
        return false;
    }
    const std::int32_t typeBefore = Settings().GetInt(kAnalysisType);
    DocumentDialogSite site(*this);
    SettingsSet copy(Settings());
    const CX::Dlg::ChartViewRecord view = ChartView(hostDocument_.Get(), Settings().GetLong(kSourceChannel), site);
    const bool accepted =
        CX::Dlg::RunSettingsDialog(copy, parent ? parent : frameWindow, site, openingCode, view);
    // The dialog's previews wrote their texts into the calculation channels: they get the document's own again.
    if (!accepted) {
        RebuildCalculationChannels();
        return false;
    }
    // The marks were put for the channels of the type before the change.
    SendMarkRequests(false, typeBefore);
    Settings().Assign(copy);
    if (!IsHostSampling()) {
        RebuildCalculationChannels();
    }
    persist_.dirty = true;
    AttachPersistence();
    // The new analysis must not run while the host samples into the document: sampling stops around it.
    const bool wasSampling = IsHostSampling();
    const auto state = Ask<IHostSampling>(hostDocument_.Get(), IID_IHostSampling);
    if (wasSampling && state) {
        state->StopSampling();
    }
    RunAnalysis();
    clientEnabled = true;
    if (wasSampling && state) {
        state->StartSampling(0.0);
    }
    return true;
}

void CXDoc::OnSettings() { RunSettingsDialog(IsHostSampling() ? 3 : 0); }
void CXDoc::OnUpdateAlwaysEnabled(ICommandState& state) { state.SetEnabled(0xFFFF); }

std::int64_t CXDoc::ChunkSize(std::int64_t total)
{
    const std::int64_t chunk = std::min<std::int64_t>(total / 100, 10000);
    return chunk < 1000 ? total : chunk;
}

std::int32_t CXDoc::LastAnalysedBlock(const KVOPosition& end)
{
    return end.mRecordOffset == 0 ? end.mRecord - 1 : end.mRecord;
}

std::int32_t CXDoc::ProgressPercent(double done, std::int64_t total)
{
    if (total <= 0) {
        return 0;
    }
    const double percent = std::trunc(done * 100.0 / static_cast<double>(total));
    return static_cast<std::int32_t>(std::clamp(percent, 0.0, 100.0));
}

bool CXDoc::Analyse(bool useStoredRange, bool titleFlag)
{
    if (busy) {
        return false;
    }
    busy = true;
    SettingsSet& settings = Settings();
    const std::int32_t sourceChannel = settings.GetLong(kSourceChannel);
    platform::ComPtr<ICXSettingsChildData> childSettings;
    if (IChartDocument* chart = ChartDocument()) {
        if (const auto child = ChartDataChildData::FindOrCreate(chart)) {
            childSettings = Ask<ICXSettingsChildData>(static_cast<IChartDataChildData*>(child.Get()),
                                                      IID_ICXSettingsChildData);
            if (childSettings) {
                childSettings->SetChannelPair(sourceChannel, static_cast<std::int32_t>(0x80000000u));
            }
        }
    }
    TitleEventChainChannel(titleFlag);

    const auto extent = Ask<IChartExtent>(hostDocument_.Get(), IID_IChartExtent);
    Range range;
    if (useStoredRange) {
        range.start = {settings.GetLong(kRangeStartTick), settings.GetLong(kRangeStartBlock)};
        range.end = {settings.GetLong(kRangeEndTick), settings.GetLong(kRangeEndBlock)};
    } else {
        if (settings.GetBool(kAnalyseSelection)) {
            if (const auto selection = Ask<IChartSelection>(hostDocument_.Get(), IID_IChartSelection)) {
                selection->GetSelectionRange(0, &range.start, &range.end);
            }
        } else if (extent) {
            extent->GetEndOfData(0x80000000u, &range.end);
        }
        if (settings.GetBool(kAnalyseWhileSampling)) {
            range.end = {-1, -1};
        }
    }
    ClearAnalysis();

    bool result = false;
    if (ValidRange(range)) {
        settings.SetLong(kRangeStartBlock, range.start.mRecord);
        settings.SetLong(kRangeStartTick, range.start.mRecordOffset);
        settings.SetLong(kRangeEndBlock, range.end.mRecord);
        settings.SetLong(kRangeEndTick, range.end.mRecordOffset);
        settings.SetBool(kHasAnalysedRange, true);
        settings.SetBool(kNoCurrentResult, false);

        KVOPosition end = range.end;
        if (end.mRecord == -1 && extent) {
            extent->GetEndOfData(0x80000000u, &end);
        }
        RebuildCalculationChannels();
        NotifyEventChainObservers();

        platform::ComPtr<IDataSourceHolder> holder = Ask<IDataSourceHolder>(hostDocument_.Get(), IID_IDataSourceHolder);
        platform::ComPtr<IDataSource> source;
        if (holder) {
            holder->GetSource(0, source.Out());
        }
        const std::int64_t total = ExtLib::CountSamplesInRange(source.Get(), range.start.mRecordOffset,
                                                               range.start.mRecord, end.mRecordOffset, end.mRecord);
        const std::int64_t chunk = ChunkSize(total);

        platform::ComPtr<IUnknown> indicatorObject;
        CAF::CreateHostObjectFromStrings(indicatorObject.Out(), KVO::String(u"Processing"), KVO::String(u""), 0, 0,
                                         KVO::String(u""));
        const auto progress = Ask<IHostProgress>(indicatorObject.Get(), IID_IHostProgress);
        auto showText = [&](const std::u16string& text) {
            const KVO::String shown(text.c_str());
            IKVOString* held = shown.GetInterface();
            progress->SetText(held);
            held->Release();
        };
        bool cancelled = false;
        double done = 0.0;
        CycleDetector* results = Results();
        // A range that ends at the tick 0 of the block after the last must not open that block, which fails.
        const std::int32_t lastBlock = LastAnalysedBlock(end);
        for (std::int32_t block = range.start.mRecord; results && block <= lastBlock && !cancelled; ++block) {
            if (progress) {
                const std::string number = std::to_string(block + 1);
                showText(u"Block " + std::u16string(number.begin(), number.end()));
            }
            LONG length = 0;
            if (!extent || FAILED(extent->GetBlockLength(0, block, &length))) {
                length = 0;
            }
            LONG current = block == range.start.mRecord ? range.start.mRecordOffset : 0;
            const LONG last = block == end.mRecord ? end.mRecordOffset : length;
            // A channel without samples would give a chunk of 0 and never advance: the block's own length serves.
            const std::int64_t step = chunk > 0 ? chunk : std::max<std::int64_t>(ChunkSize(length), 1);
            bool failed = !results->StartBlock(block, current, false);
            bool outOfMemory = false;
            while (!failed && current < last) {
                const LONG advance = static_cast<LONG>(std::min<std::int64_t>(step, last - current));
                current += advance;
                done += advance;
                if (!results->EnumerateTo(current)) {
                    failed = true;
                    outOfMemory = true;
                }
                // Anything but S_OK is the user's cancel.
                if (progress && progress->SetPercent(ProgressPercent(done, total)) != S_OK) {
                    cancelled = true;
                    break;
                }
            }
            results->EndBlock();
            if (failed) {
                ClearAnalysis();
                if (outOfMemory) {
                    ShowMessage(StringId::NotEnoughMemory, MB_ICONERROR);
                }
                break;
            }
        }
        if (cancelled) {
            ClearAnalysis();
        } else if (progress) {
            showText(u"Updating Views");
        }
        const std::int32_t count = results ? results->EventCount() : 0;
        if (!results) {
            currentEvent_ = 0;
        } else if (currentEvent_ >= count) {
            currentEvent_ = count > 0 ? count - 1 : 0;
        }
        if (!cancelled && settings.GetBool(kShowEventMarks)) {
            PutEventMarks();
        }
        NotifyViews();
        result = true;
    }
    busy = false;
    return result;
}

void CXDoc::NotifyEventChainObservers()
{
    const CalcChannelNotice notice{static_cast<std::int32_t>(TypeIdClass<&GUID_ChartNoticeFamily, 52>::Get()),
                                   Settings().GetLong(kEventChainChannel), 4};
    NotifyObservers(static_cast<DWORD>(notice.noticeId), &notice);
}

void CXDoc::ClearAnalysis()
{
    RemoveEventMarks();
    SettingsSet& settings = Settings();
    settings.SetBool(kHasAnalysedRange, false);
    settings.SetBool(kNoCurrentResult, true);
    if (CycleDetector* results = Results()) {
        results->Clear();
    }
    NotifyViews();
    if (!IsHostSampling()) {
        ResetStoredRange();
    }
    settings.SetBool(kHasAnalysedRange, false);
    RequestHostUpdate();
}

void CXDoc::ResetStoredRange()
{
    SettingsSet& settings = Settings();
    for (const std::int32_t id : {kRangeStartBlock, kRangeStartTick, kRangeEndBlock, kRangeEndTick}) {
        settings.SetLong(id, 0);
    }
    Analyse(true, false);
}

void CXDoc::RequestHostUpdate()
{
    if (const auto update = Ask<IHostDocumentUpdate>(hostDocument_.Get(), IID_IHostDocumentUpdate)) {
        update->Update(0);
    }
}

void CXDoc::NotifyViews()
{
    RefreshViews();
    RecheckChannelCalculations();
}

void CXDoc::RecheckChannelCalculations()
{
    IUnknown* host = hostDocument_.Get();
    const std::int32_t count = ExtLib::GetMaxPaneMetric(host);
    const std::int32_t type = Settings().GetInt(kAnalysisType);
    const DWORD settingsMessage = TypeIdClass<&GUID_ChannelCalcSettingsFamily, 0>::Get();
    bool changed = false;
    bool turnedOff = false;
    for (std::int32_t channel = 0; channel < count; ++channel) {
        platform::ComPtr<IChannelCalc> calculation;
        if (!ExtLib::QueryChannelInterfaces(host, calculation.Out(), settingsMessage, channel, 0xC0000000u)) {
            continue;
        }
        platform::ComPtr<IPersistObject> settings;
        if (FAILED(calculation->GetSettings(settings.Out())) || !settings) {
            continue;
        }
        // Another extension's calculation is not the module's to judge.
        const ChanCalc::SettingsCOM* own = ChanCalc::SettingsCOM::From(settings.Get());
        if (!own) {
            continue;
        }
        if (Catalogue().Offers(type, own->ParameterCode)) {
            calculation->SetSettings(settings.Get(), FALSE);
        } else {
            const platform::ComPtr<IMessage> off(new ChanCalc::ChangeMessage(channel, nullptr));
            HandleMessage(off.Get());
            turnedOff = true;
        }
        changed = true;
    }
    if (changed && host) {
        RequestHostUpdate();
    }
    if (turnedOff) {
        const KVO::String text =
            KVO::LoadResourceString(KVO::ModuleInstance(), StringId::CalculationsTurnedOff, false);
        const KVO::String caption = KVO::LoadResourceString(KVO::ModuleInstance(), StringId::ModuleCaption, false);
        MessageBoxW(GetActiveWindow(), text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
    }
}

HRESULT CXDoc::OnCopyToTallysheetMessage()
{
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    TVF_TableViewMgr* manager = TableManager();
    const HRESULT result = manager ? manager->AddToTallysheet(0) : S_FALSE;
    SetCursor(previous);
    const KVO::String caption = KVO::LoadResourceString(KVO::ModuleInstance(), StringId::ModuleCaption, false);
    if (FAILED(result)) {
        const KVO::String text = KVO::LoadResourceString(KVO::ModuleInstance(), StringId::NotEnoughMemory, false);
        MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
    } else if (result == S_FALSE) {
        // The Tallysheet is missing, or it filled up before every row was in.
        MessageBoxW(nullptr,
                    u"Not every row could be added: the document has no Tallysheet, or the Tallysheet is full.",
                    caption.c_str(), MB_OK | MB_ICONWARNING);
    }
    return S_OK;
}

void CXDoc::WriteChannelText(std::int32_t settingId, const KVO::String& text)
{
    ExtLib::GetCalcSourceForChannel(ChartDocument(), TypeIdClass<&GUID_ChannelCalcExpressionFamily, 0>::Get(), text,
                                    KVO::String(), Settings().GetLong(settingId), 4);
}

void CXDoc::RebuildCalculationChannels()
{
    WriteSourceAndEventChainTexts();
    KVO::String stage;
    {
        const ExpressionBuilder builder(Settings(), hostDocument_.Get(), stage, ExpressionBuilder::kCalculationStage);
        builder.EvokedResponseDetectorExpression(stage);
        builder.CalculationStageExpression(stage);
    }
    WriteChannelText(kCalcStageChannel, stage);
}

void CXDoc::WriteSourceAndEventChainTexts()
{
    SettingsSet& settings = Settings();
    IUnknown* chart = hostDocument_.Get();
    const std::int32_t type = settings.GetInt(kAnalysisType);
    const KVO::String token = ExtLib::GetChannelToken(chart, settings.GetLong(kSourceChannel),
                                                      static_cast<std::int32_t>(0xC0000000u));
    KVO::String detector = token;
    ILMDetectionSettings* detection = (type == 0 || type == 2) ? settings.DetectionSettingsObject() : nullptr;
    USHORT configured = 0;
    if (detection && SUCCEEDED(detection->HasDetectorStage(&configured)) && configured != 0) {
        BSTR text = nullptr;
        if (SUCCEEDED(detection->SourceText(reinterpret_cast<const WCHAR*>(token.c_str()), &text)) && text) {
            detector = KVO::String(reinterpret_cast<const char16_t*>(text));
        }
        SysFreeString(text);
    }
    WriteChannelText(kDetectorStageChannel, detector);

    KVO::String chain;
    { const ExpressionBuilder builder(settings, chart, chain, ExpressionBuilder::kEventChain); }
    WriteChannelText(kEventChainChannel, chain);
}

void CXDoc::SendMarkRequests(bool put) { SendMarkRequests(put, Settings().GetInt(kAnalysisType)); }

void CXDoc::SendMarkRequests(bool put, std::int32_t analysisType)
{
    const platform::ComPtr<IChartCalcChannels> channels = CalcChannels();
    if (!channels) {
        return;
    }
    SettingsSet& settings = Settings();
    const LONG source = settings.GetLong(kSourceChannel);
    for (const std::int32_t id : MarkedChannelSettings(analysisType)) {
        const CalcChannelRequest request{settings.GetLong(id), 4, static_cast<std::int32_t>(kEventChannelType), 0};
        if (put) {
            channels->PutMarks(0, source, kMarkChannelKind, &request);
        } else {
            channels->RemoveMarks(0, source, kMarkChannelKind, &request);
        }
    }
}

void CXDoc::PutEventMarks() { SendMarkRequests(true); }
void CXDoc::RemoveEventMarks() { SendMarkRequests(false); }

bool CXDoc::RunAnalysis()
{
    SettingsSet& settings = Settings();
    if (settings.GetBool(kAnalyseWhileSampling) && settings.GetBool(kAnalyseSelection)) {
        // A selection that does not reach the end of the data cannot go on with what the host records next.
        const KVOPosition end = HostEndOfData();
        KVOPosition from{};
        KVOPosition to{};
        if (const auto selection = Ask<IChartSelection>(hostDocument_.Get(), IID_IChartSelection)) {
            selection->GetSelectionRange(0, &from, &to);
        }
        if (end != to) {
            if (ShowDocumentMessage(StringId::OnlineDiscontinuousNew, MB_OKCANCEL | MB_ICONINFORMATION) == IDCANCEL) {
                return false;
            }
            settings.SetBool(kAnalyseWhileSampling, false);
        }
    }
    const bool analysed = Analyse(false, true);
    MarkDirtyAndAttach();
    NotifyViews();
    return analysed;
}

bool CXDoc::ClearAllowed() const
{
    const bool locked = sampling && const_cast<CXDoc*>(this)->Settings().GetBool(kAnalyseWhileSampling);
    return !locked && results_ && results_->EventCount() > 0;
}

void CXDoc::ClearCommand()
{
    currentEvent_ = 0;
    ClearAnalysis();
    MarkDirtyAndAttach();
    if (IsOnlineAnalysis()) {
        SetOnlineAnalysis(true, false);
    }
}

// The commands do what their own messages do.
void CXDoc::OnAnalyse() { OnAnalyzeMessage(); }
void CXDoc::OnClear() { OnClearAnalysisMessage(); }

void CXDoc::OnUpdateAnalyse(ICommandState& state)
{
    state.SetEnabled(IsHostSampling() ? 0 : 0xFFFF);
    static const std::u16string channel = LoadText(StringId::MenuAnalyseChannel);
    static const std::u16string selection = LoadText(StringId::MenuAnalyseSelection);
    state.SetText((Settings().GetBool(kAnalyseSelection) ? selection : channel).c_str());
}

void CXDoc::OnUpdateClear(ICommandState& state) { state.SetEnabled(ClearAllowed() ? 0xFFFF : 0); }

HRESULT CXDoc::OnAnalyzeMessage()
{
    if (!IsHostSampling()) {
        RunAnalysis();
    }
    return S_OK; // taken
}

HRESULT CXDoc::OnClearAnalysisMessage()
{
    if (ClearAllowed()) {
        ClearCommand();
    }
    return S_OK; // taken
}

} // namespace CX::Doc
