// The base of the module's dialogs: the dialog is built from the template of its resource id in the language of
// the running application, so that one library can carry a dialog in several languages.
#pragma once

#include "platform/owl/dialog.h"

namespace KVO {

class DialogBase : public owl::TDialog {
public:
    // `module` null takes the template from this library. The language is the parent's application's, else the
    // one the host reports, else neutral.
    DialogBase(owl::TWindow* parent, owl::TResId resId, owl::TModule* module = nullptr);

    // The language a dialog with this parent asks for.
    static LANGID TemplateLanguage(owl::TWindow* parent);
};

} // namespace KVO
