// What the analysis document does for its views: it knows the analysis view and the table view, makes an event
// current (its table row, the host chart scrolled to it and its comment shown there), follows the host chart's
// comment notices and shows help topics.
#include "document/cxdoc.h"
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

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

namespace CX::Doc {

namespace {

// The number after `prefix` at the start of `text`, read as a signed decimal after optional blanks (what follows
// the digits does not matter); none when the prefix or the digits are missing or the number does not fit.
std::optional<long long> NumberAfter(std::u16string_view text, std::u16string_view prefix)
{
    if (text.substr(0, prefix.size()) != prefix) {
        return std::nullopt;
    }
    std::string digits;
    std::size_t at = prefix.size();
    while (at < text.size() && (text[at] == u' ' || text[at] == u'\t')) {
        ++at;
    }
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) {
        digits += static_cast<char>(text[at++]);
    }
    while (at < text.size() && text[at] >= u'0' && text[at] <= u'9') {
        digits += static_cast<char>(text[at++]);
    }
    const char* first = digits.data() + (!digits.empty() && digits[0] == '+' ? 1 : 0);
    long long value = 0;
    const auto [end, error] = std::from_chars(first, digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || first == end) {
        return std::nullopt;
    }
    return value;
}

} // namespace

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
        const auto times = QueryHost<IChartTimes>(hostDocument_.Get(), IID_IChartTimes);
        const auto container = QueryHost<IHostObjectsById>(hostDocument_.Get(), IID_IHostObjectsById);
        platform::ComPtr<IUnknown> chart;
        if (times && SUCCEEDED(times->GetAbsoluteTime(&position, &time)) && container &&
            SUCCEEDED(container->GetObjectById(Msg::ChartMessageId2(), 0, chart.Out())) && chart) {
            if (const auto view = QueryHost<IChartView>(chart.Get(), IID_IChartView)) {
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
    const auto holder = QueryHost<IDataSourceHolder>(hostDocument_.Get(), IID_IDataSourceHolder);
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

HRESULT CXDoc::ShowHelpTopic(const KVO::String& topic)
{
    IApplicationService* application = CX::Host::GetApplicationService();
    if (!application) {
        return E_FAIL;
    }
    std::u16string text = u"CrestmetricsHelp";
    if (!topic.View().empty()) {
        text += u'#';
        text += topic.View();
    }
    return application->ShowHelp(text.c_str());
}

void CXDoc::OnCommentNotice(IUnknown* object)
{
    const auto comment = QueryHost<IChartComment>(object, IID_IChartComment);
    DWORD typeId = 0;
    if (!comment || FAILED(comment->GetWord1(&typeId))) {
        return;
    }
    const DWORD eventDrawFamily = TypeIdClass<&CXEventDrawGUID, 0>::Get();
    if ((typeId & 0xFFFF0000u) != eventDrawFamily || (typeId & 0xFFFFu) > 2) {
        return;
    }
    IKVOString* held = nullptr;
    if (FAILED(comment->GetInfo(nullptr, nullptr, nullptr, &held)) || !held) {
        return;
    }
    KVO::String text;
    text.AssignInterface(held);
    held->Release();
    std::optional<long long> number = NumberAfter(text.View(), u"CX: Peak");
    if (!number) {
        number = NumberAfter(text.View(), u"CX: Population Spike");
    }
    // Event numbers count from 1: a number of 0 or less, or past the events, names no event.
    CycleDetector* results = Results();
    if (!number || *number <= 0 || !results || *number > results->EventCount()) {
        return;
    }
    SelectEvent(static_cast<std::int32_t>(*number - 1), kSelectTableRow);
}

} // namespace CX::Doc
