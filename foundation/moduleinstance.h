// The instance handle of the module itself: its resources are registered and found under it.
#pragma once

#include "platform/win/wintypes.h"

namespace KVO {
HINSTANCE ModuleInstance();
}
