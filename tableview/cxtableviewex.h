// The table view: the events of the analysis as rows of parameter values. Today the window shell that the host
// creates in its frame, with its command texts; the grid joins it with its own code.
#pragma once

#include "graph/analysisview/analysisview.h"

class CXTableViewEx : public CXViewBase {
    CAF_DECLARE_MESSAGE_MAP(CXTableViewEx, CXViewBase)

public:
    // {the table view family}: the view class's type id is n = 1 of it.
    static constexpr GUID kViewFamily{0xA254711B, 0x4CD5, 0x46DA, {0x8C, 0x43, 0x1B, 0x27, 0x78, 0xE8, 0x1E, 0xD6}};
    static constexpr const GUID& kViewClassId = AnalysisView::kViewClassId; // shared by both view classes
    static const char16_t* ViewName() { return u"Crestmetrics Table View"; }

    CXTableViewEx(owl::TWindow* parent, IHostDocument* document, IHostView* hostView, owl::TModule* module,
                  DWORD flags);

    KVO::String CopyCommandText() override;
    KVO::String PrintCommandText() override;
    // The content joins the view with its own code; until then the view shows and prints its empty window.
    void Refresh() override { Invalidate(); }
    KVO::String Title() override { return GetHostDocumentName(); }
    void DrawInto(HDC, HDC, const RECT&) override {}
};
