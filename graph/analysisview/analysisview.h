// The analysis view: one event at a time on a graph. Today the window shell that the host creates in its frame,
// with its command texts; the graph, scroll bar and toolbar join it with their own code.
#pragma once

#include "graph/analysisview/cxviewbase.h"

class AnalysisView : public CXViewBase {
    CAF_DECLARE_MESSAGE_MAP(AnalysisView, CXViewBase)

public:
    // {the analysis view family}: the view class's type id is n = 1 of it.
    static constexpr GUID kViewFamily{0x066AC00E, 0xA167, 0x42D6, {0x88, 0x3C, 0x29, 0x79, 0x01, 0x89, 0xFB, 0x62}};
    // The identifier that both view classes share.
    static constexpr GUID kViewClassId{0xF8A02B9D, 0xFD9D, 0x4585, {0x86, 0xD1, 0xB9, 0xAC, 0xAF, 0xC5, 0xEC, 0x3B}};
    static const char16_t* ViewName() { return u"Crestmetrics View"; }

    AnalysisView(owl::TWindow* parent, IHostDocument* document, IHostView* hostView, owl::TModule* module,
                 DWORD flags);

    KVO::String CopyCommandText() override;
    KVO::String PrintCommandText() override;
    // The content joins the view with its own code; until then the view shows and prints its empty window.
    void Refresh() override { Invalidate(); }
    KVO::String Title() override { return GetHostDocumentName(); }
    void DrawInto(HDC, HDC, const RECT&) override {}
};
