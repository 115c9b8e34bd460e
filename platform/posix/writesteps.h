// The steps the file writer and its batch both take: bytes written whole through a descriptor, a file written in
// place synced, a temporary file renamed over its target.
#pragma once

#include <string>
#include <string_view>

namespace platform {

class OpenFolder;

// Writes the whole of `bytes` to `fd`; the errno of a failure, 0 when written.
int WriteWhole(int fd, std::string_view bytes);

// Syncs what was written in place; the errno of a failure, 0 when synced. Devices and pipes cannot be synced, which
// is no failure; a file behind a descriptor can.
int SyncInPlace(int fd);

// Renames the temporary file over the target in their folder, out of the table in the same step; the errno of a
// failure, 0 when it is in place. The rename lasts only once the folder is synced (SyncFolder).
int RenameIntoPlace(const std::string& path, const OpenFolder& folder, const std::string& temporary,
                    const std::string& leaf, int& slot);

// Syncs the folder a rename was made in; a folder that cannot be (one opened only as a path) is no failure.
void SyncFolder(const OpenFolder& folder);

} // namespace platform
