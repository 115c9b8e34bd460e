// Accessors of the host services that the module reaches. Each returns the service's interface, or null while the
// service is not available; the pointer carries no reference for the caller.
#pragma once

#include "sdk/hostservices.h"

namespace CAF {
ITypeIdRegistry* GetTypeIdRegistry();
}

namespace CX::Host {
IApplicationService* GetApplicationService();
// The host object shared by the unit texts and the table view (the unit service).
IUnitService* GetCachedHostObject();
}
