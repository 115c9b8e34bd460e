#include "document/cxdoc.h"

#include "foundation/moduleinstance.h"
#include "frame/menucommands.h"
#include "resources/stringtable.h"

namespace CX::Doc {

CAF::MessageMapEntry* CXDoc::MessageMapEntries()
{
    using Map = CAF::MapOf<CXDoc>;
    static CAF::MessageMapEntry entries[] = {Map::Header(), Map::End()};
    return entries;
}

CXDoc::CXDoc(IUnknown* hostDocument, CAFDocumentClassBase* documentClass)
    : ChartChildDocument(nullptr, hostDocument, documentClass, 0)
{
}

CXDoc* CXDoc::Create(IUnknown* hostDocument, CAFDocumentClassBase* documentClass)
{
    return new CXDoc(hostDocument, documentClass);
}

void CXDoc::RegisterCommands(CAFDocumentClassBase& documentClass, ICAFCommandHandler*, IUnknown*)
{
    auto keep = [&](platform::ComPtr<ICAFCommand>& item) {
        if (item) {
            documentClass.Commands().Add(item.Detach());
        }
    };
    platform::ComPtr<ICAFCommand> item;
    CAF::AddCommandCategory(item, u"Crestmetrics", 0, u"CRESTMETRICS", 0, 0);
    keep(item);

    CAF::MenuCommand settings;
    settings.stringId = StringId::MenuSettings;
    settings.path = u"Crestmetrics|Settings";
    settings.imageId = 269;
    settings.key = u"settings";
    settings.category = u"CRESTMETRICS";
    settings.idHigh = TypeIdRegistration<&CXDocGUID>::Get();
    settings.idIndex = Command::kSettings;
    CAF::AddMenuCommand(item, KVO::ModuleInstance(), settings);
    keep(item);

    CAF::AddMenuSeparator(item, u"Crestmetrics|-");
    keep(item);
}

} // namespace CX::Doc
