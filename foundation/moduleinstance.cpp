#include "foundation/moduleinstance.h"

#include "platform/win/resources.h"

namespace {
// Any object of the module tells which loaded binary the module is.
const char g_anchor = 0;
}

namespace KVO {
HINSTANCE ModuleInstance()
{
    static const HINSTANCE instance = platform::ModuleHandleFromAddress(&g_anchor);
    return instance;
}
}
