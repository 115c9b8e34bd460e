// What the analysis document does for its views: it knows the analysis view and the table view, makes an event
// current (its table row, the host chart scrolled to it and its comment shown there) and shows help topics.
#include "document/cxdoc.h"
#include "foundation/comobject.h"
#include "document/messageids.h"
#include "document/settingids.h"
#include "foundation/kvostring.h"
#include "frame/eventcomment.h"
#include "frame/eventiter.h"
#include "frame/hostservices.h"
#include "frame/typeid.h"
#include "graph/analysisview/analysisview.h"
#include "sdk/analysismanager.h"
#include "sdk/chartcomment.h"
#include "sdk/charttimes.h"
#include "sdk/chartview.h"
#include "sdk/datasource.h"
#include "tableview/cxtableviewex.h"

#include <string>

namespace CX::Doc {

void CXDoc::AttachView(CXViewBase* view)
{
    ViewEntry* entry = nullptr;
    if (dynamic_cast<AnalysisView*>(view)) {
        entry = &analysisView_;
    } else if (dynamic_cast<CXTableViewEx*>(view)) {
        entry = &tableView_;
    }
    if (!entry) {
        return;
    }
    entry->attached = true;
    entry->view = view;
    view->Refresh();
}

void CXDoc::DetachView(CXViewBase* view)
{
    for (ViewEntry* entry : {&analysisView_, &tableView_}) {
        if (view && entry->view == view) {
            *entry = ViewEntry{};
        }
    }
}

void CXDoc::RefreshViews()
{
    for (ViewEntry* entry : {&analysisView_, &tableView_}) {
        if (entry->attached && entry->view) {
            entry->view->Invalidate(true);
            entry->view->Refresh();
        }
    }
}

void CXDoc::SelectEvent(std::int32_t index, DWORD flags)
{
    currentEvent_ = index;
    if (CXViewBase* view = AnalysisViewWindow()) {
        view->Refresh();
    }
    if ((flags & kSelectTableRow) != 0) {
        // The table view takes part through EventRowSelection; a table view without it selects no row.
        if (auto* rows = dynamic_cast<EventRowSelection*>(TableViewWindow())) {
            rows->SelectEventRow(index);
        } else if (auto* table = dynamic_cast<CXTableViewEx*>(TableViewWindow())) {
            table->SelectEventRow(index);
        }
    }
    CycleDetector* results = Results();
    if (!results) {
        return;
    }
    const StoredEvent& stored = results->EventAt(index);
    if (stored.block == StoredEvent::kNoBlock) {
        return;
    }
    const KVOPosition position{stored.record.tick, stored.block};
    if ((flags & kScrollChartToEvent) != 0) {
        LONGLONG time = 0;
        const auto times = KVO::Ask<IChartTimes>(hostDocument_.Get(), IID_IChartTimes);
        const auto container = KVO::Ask<IHostObjectsById>(hostDocument_.Get(), IID_IHostObjectsById);
        platform::ComPtr<IUnknown> chart;
        if (times && SUCCEEDED(times->GetAbsoluteTime(&position, &time)) && container &&
            SUCCEEDED(container->GetObjectById(Msg::ChartMessageId2(), 0, chart.Out())) && chart) {
            if (const auto view = KVO::Ask<IChartView>(chart.Get(), IID_IChartView)) {
                view->ShowTime(time, 1);
            }
        }
    }
    if ((flags & kMarkEventInChart) != 0) {
        MarkEventInChart(position, (flags & kPopupInChart) != 0);
    }
}

void CXDoc::ShowCurrentEventInChart()
{
    CycleDetector* results = Results();
    if (!results) {
        return;
    }
    const StoredEvent& stored = results->EventAt(currentEvent_);
    if (stored.block != StoredEvent::kNoBlock) {
        MarkEventInChart(KVOPosition{stored.record.tick, stored.block}, false);
    }
}

void CXDoc::MarkEventInChart(const KVOPosition& position, bool popup)
{
    if (!Settings().GetBool(SettingId::kShowEventMarks)) {
        return;
    }
    const auto holder = KVO::Ask<IDataSourceHolder>(hostDocument_.Get(), IID_IDataSourceHolder);
    platform::ComPtr<IDataSource> source;
    if (!holder || FAILED(holder->GetSource(0, source.Out())) || !source) {
        return;
    }
    KVOEvent::MergedEventIter merged(source.Get(), position.mRecord, Settings().GetLong(SettingId::kSourceChannel),
                                     static_cast<LONG>(0xC0000000u), position.mRecordOffset, 0);
    platform::ComPtr<IChartCommentEx> comment;
    if (CreateEventComment(merged, comment.Out()) != S_OK || !comment) {
        return;
    }
    platform::ComPtr<ShowComment2Msg> message(new ShowComment2Msg(comment.Get(), popup));
    Send(0, message.Get());
}

HRESULT CXDoc::ShowHelpTopic(const char16_t* topic)
{
    IApplicationService* application = CX::Host::GetApplicationService();
    if (!application) {
        return E_FAIL;
    }
    std::u16string text = u"CrestmetricsHelp";
    if (topic && *topic) {
        text += u'#';
        text += topic;
    }
    return application->ShowHelp(text.c_str());
}



void CXDoc::AttachTableView(CXTableViewEx* view)
{
    if (view) {
        AttachView(view);
    } else {
        tableView_ = ViewEntry{};
    }
}

CXTableViewEx* CXDoc::TableView() const { return dynamic_cast<CXTableViewEx*>(TableViewWindow()); }

} // namespace CX::Doc
