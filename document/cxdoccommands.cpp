// The document's menu commands beyond settings, analyse and clear: opening the two views, showing the event marks,
// analysing while sampling, reselecting the analysed data and help; the own message that copies table rows to the
// Tallysheet.
#include "document/cxdoc.h"
#include "foundation/comobject.h"
#include "document/settingids.h"
#include "foundation/moduleinstance.h"
#include "foundation/resourcestring.h"
#include "graph/analysisview/analysisview.h"
#include "platform/win/msgbox.h"
#include "platform/win/winuser.h"
#include "resources/stringtable.h"
#include "sdk/analysishost.h"
#include "tableview/cxtableviewex.h"
#include "tableview/tvftableviewmgr.h"

namespace CX::Doc {

namespace {

using namespace SettingId;

// The wait cursor while a command works; the previous cursor comes back, and the pointer is set where it is so
// that its shape is redrawn.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor()
    {
        SetCursor(previous_);
        POINT at{};
        if (GetCursorPos(&at)) {
            SetCursorPos(at.x, at.y);
        }
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

} // namespace

KVOPosition CXDoc::HostEndOfData() const
{
    KVOPosition end{0x7FFFFFFF, 0x7FFFFFFF};
    if (const auto extent = KVO::Ask<IChartExtent>(hostDocument_.Get(), IID_IChartExtent)) {
        extent->GetEndOfData(0x80000000u, &end);
    }
    return end;
}

int CXDoc::ShowDocumentMessage(UINT textId, UINT type)
{
    const KVO::String text = KVO::LoadResourceString(KVO::ModuleInstance(), textId, false);
    const KVO::String caption = KVO::LoadResourceString(KVO::ModuleInstance(), StringId::ModuleCaption, false);
    return MessageBoxW(GetActiveWindow(), reinterpret_cast<LPCWSTR>(text.c_str()),
                       reinterpret_cast<LPCWSTR>(caption.c_str()), type);
}

void CXDoc::OpenView(DWORD viewTypeId)
{
    CAF::MessageDescription description;
    description.id = kOpenViewMessage;
    description.value.vt = VT_I4;
    description.value.lVal = static_cast<LONG>(viewTypeId);
    SendFrameworkMessage(0, description, 0);
}

void CXDoc::OnOpenAnalysisView() { OpenView(TypeIdClass<&AnalysisView::kViewFamily, 1>::Get()); }
void CXDoc::OnOpenTableView() { OpenView(TypeIdClass<&CXTableViewEx::kViewFamily, 1>::Get()); }

void CXDoc::OnToggleEventMarks()
{
    const bool on = !Settings().GetBool(kShowEventMarks);
    Settings().SetBool(kShowEventMarks, on);
    const WaitCursor wait;
    if (on) {
        PutEventMarks();
    } else {
        RemoveEventMarks();
    }
    MarkDirtyAndAttach();
}

void CXDoc::OnUpdateEventMarks(ICommandState& state)
{
    state.SetEnabled(IsHostSampling() ? 0 : 0xFFFF);
    state.SetCheck(Settings().GetBool(kShowEventMarks) ? 1 : 0, 3);
}

void CXDoc::OnToggleOnlineAnalysis() { SetOnlineAnalysis(!Settings().GetBool(kAnalyseWhileSampling), true); }

void CXDoc::OnUpdateOnlineAnalysis(ICommandState& state)
{
    state.SetEnabled(IsHostSampling() ? 0 : 0xFFFF);
    state.SetCheck(Settings().GetBool(kAnalyseWhileSampling) ? 1 : 0, 3);
}

void CXDoc::OnReselect()
{
    const auto selection = KVO::Ask<IChartSelection>(hostDocument_.Get(), IID_IChartSelection);
    if (!HasAnalysedRange() || !selection) {
        return;
    }
    SettingsSet& settings = Settings();
    selection->ClearSelection();
    const KVOPosition start{settings.GetLong(kRangeStartTick), settings.GetLong(kRangeStartBlock)};
    KVOPosition end{settings.GetLong(kRangeEndTick), settings.GetLong(kRangeEndBlock)};
    if (end.mRecord == -1) {
        end = HostEndOfData();
    }
    selection->SetTimeSelection(0, &start, &end);
    const double valueRange[2] = {32000.0, -32000.0};
    selection->SelectChannel(0, settings.GetLong(kSourceChannel), valueRange);
}

void CXDoc::OnUpdateReselect(ICommandState& state) { state.SetEnabled(HasAnalysedRange() ? 0xFFFF : 0); }

void CXDoc::OnHelp() { ShowHelpTopic(nullptr); }

void CXDoc::SetOnlineAnalysis(bool on, bool updateSetting)
{
    SettingsSet& settings = Settings();
    const KVOPosition end = HostEndOfData();
    if (on) {
        const std::int32_t storedEndBlock = settings.GetLong(kRangeEndBlock);
        const bool discontinuous = storedEndBlock >= 0 && (end.mRecord != storedEndBlock ||
                                                           end.mRecordOffset != settings.GetLong(kRangeEndTick));
        if (discontinuous && HasAnalysedRange() &&
            ShowDocumentMessage(StringId::OnlineDiscontinuousExisting, MB_OKCANCEL | MB_ICONWARNING) == IDCANCEL) {
            return;
        }
        if (discontinuous || !HasAnalysedRange()) {
            // The analysis starts with the next block the host records.
            LONG blocks = 0;
            if (const auto extent = KVO::Ask<IChartExtent>(hostDocument_.Get(), IID_IChartExtent)) {
                extent->GetBlockCount(0, &blocks);
            }
            settings.SetLong(kRangeStartBlock, blocks);
            settings.SetLong(kRangeStartTick, 0);
        }
        settings.SetLong(kRangeEndBlock, -1);
        settings.SetLong(kRangeEndTick, -1);
        WriteSourceAndEventChainTexts();
        TitleEventChainChannel(true);
    } else if (HasAnalysedRange()) {
        settings.SetLong(kRangeEndBlock, end.mRecord);
        settings.SetLong(kRangeEndTick, end.mRecordOffset);
    }
    if (updateSetting) {
        settings.SetBool(kAnalyseWhileSampling, on);
        MarkDirtyAndAttach();
    }
    if (settings.GetBool(kNoCurrentResult)) {
        UpdateOnlineSubscription();
        return;
    }
    const std::int32_t kept[4] = {settings.GetLong(kRangeStartBlock), settings.GetLong(kRangeStartTick),
                                  settings.GetLong(kRangeEndBlock), settings.GetLong(kRangeEndTick)};
    ResetStoredRange();
    settings.SetLong(kRangeStartBlock, kept[0]);
    settings.SetLong(kRangeStartTick, kept[1]);
    settings.SetLong(kRangeEndBlock, kept[2]);
    settings.SetLong(kRangeEndTick, kept[3]);
    Analyse(true, true);
    UpdateOnlineSubscription();
}

} // namespace CX::Doc
