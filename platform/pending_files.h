#pragma once
// Files that a running operation writes under a temporary name.  The close button ends the
// process at once, without unwinding the operation that would remove them; it removes these
// first, so no half-written file is left behind.
#include <string>

namespace platform {

void AddPendingFile(const std::string& path);
// The file was renamed to its final name or removed.
void DropPendingFile(const std::string& path);
// Removes every pending file; for the moment just before the process ends.
void RemovePendingFiles();

} // namespace platform
