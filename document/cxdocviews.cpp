// The document's services for its views: the analysis view announces itself and is refreshed whenever the
// current event changes.
#include "document/cxdoc.h"
#include "tableview/cxtableviewex.h"
#include "graph/analysisview/analysisview.h"

namespace CX::Doc {

void CXDoc::AttachView(CXViewBase* view)
{
    if (auto* analysis = dynamic_cast<AnalysisView*>(view)) {
        analysisView_ = analysis;
        analysis->Refresh();
    }
}

void CXDoc::DetachView(CXViewBase* view)
{
    if (view && view == analysisView_) {
        analysisView_ = nullptr;
    }
}

void CXDoc::SelectEvent(std::int32_t index, DWORD flags)
{
    currentEvent_ = index;
    if ((flags & 0x80000000u) && tableView_) {
        tableView_->SelectEventRow(index);
    }
    if (analysisView_) {
        analysisView_->Refresh();
    }
}

void CXDoc::ShowCurrentEventInChart()
{
    // The comment popup of the event in the host chart comes with the chart's event marks.
}

} // namespace CX::Doc
