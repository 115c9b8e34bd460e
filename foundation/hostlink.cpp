#include "foundation/hostlink.h"

namespace KVO {
namespace {
// Constant-initialised, so that the frame's static initialiser may fill it in whatever order the units start.
HostLink link;
}

void SetHostLink(const HostLink& value) { link = value; }
const HostLink& GetHostLink() { return link; }

IUnitService* HostUnitService() { return link.unitService ? link.unitService() : nullptr; }
IApplicationService* HostApplicationService() { return link.applicationService ? link.applicationService() : nullptr; }
ITypeIdRegistry* HostTypeIdRegistry() { return link.typeIdRegistry ? link.typeIdRegistry() : nullptr; }

} // namespace KVO
