#include "frame/hostservices.h"

// The host connection is not made yet: every service reports "not available", and callers take their documented
// path for a missing service.
namespace CAF {
ITypeIdRegistry* GetTypeIdRegistry() { return nullptr; }
}

namespace CX::Host {
IApplicationService* GetApplicationService() { return nullptr; }
IUnitService* GetCachedHostObject() { return nullptr; }
}
