#include "graph/analysisview/analysisview.h"

#include "resources/stringtable.h"

CAF::MessageMapEntry* AnalysisView::MessageMapEntries()
{
    using Map = CAF::MapOf<AnalysisView>;
    static CAF::MessageMapEntry entries[] = {Map::Header(), Map::End()};
    return entries;
}

AnalysisView::AnalysisView(owl::TWindow* parent, IHostDocument* document, IHostView* hostView, owl::TModule* module,
                           DWORD flags)
    : CXViewBase(parent, document, hostView, nullptr, module, flags)
{
}

KVO::String AnalysisView::CopyCommandText()
{
    static KVO::String text;
    return CachedText(text, StringId::CopyAnalysisView, false);
}

KVO::String AnalysisView::PrintCommandText()
{
    static KVO::String text;
    return CachedText(text, StringId::PrintAnalysisView, false);
}
