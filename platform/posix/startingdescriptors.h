// The descriptors open, and how, as the program starts and before it opens any: only those are written through by
// name, since another of the same number may by now be a file the program opened itself.
#pragma once

namespace platform {

// Records which descriptors are open, and how, as the program starts and before it opens any: only those are
// written through by name. Until it is called, a descriptor counts as it is open at the time.
void RecordOpenDescriptors();
// True when `fd` was open when the program started (open for writing, when `writing`).
bool OpenAtStart(int fd, bool writing);

} // namespace platform
