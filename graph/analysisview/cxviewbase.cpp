#include "graph/analysisview/cxviewbase.h"

#include "foundation/resourcestring.h"

CAF::MessageMapEntry* CXViewBase::MessageMapEntries()
{
    using Map = CAF::MapOf<CXViewBase>;
    static CAF::MessageMapEntry entries[] = {Map::Header(), Map::End()};
    return entries;
}

CXViewBase::CXViewBase(owl::TWindow* parent, IHostDocument* document, IHostView* hostView, LPCWSTR title,
                       owl::TModule* module, DWORD flags)
    : ViewBase(parent, document, nullptr, hostView, title, module, flags), textModule_(module)
{
    Attr.Style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
}

KVO::String CXViewBase::CachedText(KVO::String& cache, UINT id, bool substitute) const
{
    if (cache.IsEmpty()) {
        cache = KVO::LoadResourceString(textModule_ ? textModule_->GetHandle() : nullptr, id, substitute);
    }
    return cache;
}
