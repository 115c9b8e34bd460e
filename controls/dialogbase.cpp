#include "controls/dialogbase.h"

#include "foundation/moduleinstance.h"
#include "frame/hostservices.h"

namespace KVO {
namespace {
// Stands for a template that is not there: the dialog then fails to be made, as TDialogRes leaves it.
const DLGTEMPLATE kMissingTemplate{0, 0};

const DLGTEMPLATE& FindTemplate(owl::TWindow* parent, owl::TResId resId, owl::TModule* module)
{
    const HINSTANCE instance = module ? module->GetHandle() : ModuleInstance();
    const owl::TDialogRes resource(instance, resId, DialogBase::TemplateLanguage(parent));
    return resource.IsOK() ? *resource.GetTemplate() : kMissingTemplate;
}
}

LANGID DialogBase::TemplateLanguage(owl::TWindow* parent)
{
    if (parent && parent->GetApplication()) {
        return parent->GetApplication()->GetLangId();
    }
    WORD language = 0;
    if (IApplicationService* application = CX::Host::GetApplicationService()) {
        if (FAILED(application->GetLanguage(&language))) {
            language = 0;
        }
    }
    return language;
}

DialogBase::DialogBase(owl::TWindow* parent, owl::TResId resId, owl::TModule* module)
    : TDialog(parent, FindTemplate(parent, resId, module), owl::AutoDelete, module)
{
}

} // namespace KVO
