#include "tableview/cxtableviewex.h"

#include "resources/stringtable.h"

CAF::MessageMapEntry* CXTableViewEx::MessageMapEntries()
{
    using Map = CAF::MapOf<CXTableViewEx>;
    static CAF::MessageMapEntry entries[] = {Map::Header(), Map::End()};
    return entries;
}

CXTableViewEx::CXTableViewEx(owl::TWindow* parent, IHostDocument* document, IHostView* hostView,
                             owl::TModule* module, DWORD flags)
    : CXViewBase(parent, document, hostView, nullptr, module, flags)
{
}

KVO::String CXTableViewEx::CopyCommandText()
{
    static KVO::String text;
    return CachedText(text, StringId::CopyTableView, true);
}

KVO::String CXTableViewEx::PrintCommandText()
{
    static KVO::String text;
    return CachedText(text, StringId::PrintTableView, false);
}
