// The few host services that the base library reaches (unit names, the application's settings, texts made by the
// type-id registry). The library cannot fetch them itself without depending on the module frame, so the frame
// hands in its cached accessors when the module is loaded; until then each answers null, as when the host offers
// no such service.
#pragma once

#include "sdk/hostservices.h"

namespace KVO {

struct HostLink {
    IUnitService* (*unitService)() = nullptr;
    IApplicationService* (*applicationService)() = nullptr;
    ITypeIdRegistry* (*typeIdRegistry)() = nullptr;
};

// Replaces the accessors; a null member makes that service unreachable.
void SetHostLink(const HostLink& link);
const HostLink& GetHostLink();

// The services through the accessors handed in; null without an accessor or when the host has none.
IUnitService* HostUnitService();
IApplicationService* HostApplicationService();
ITypeIdRegistry* HostTypeIdRegistry();

} // namespace KVO
