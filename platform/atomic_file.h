#pragma once
// Replacing a file so that a crash or a full disk leaves either the old or the new content in
// place, never half of one.
#include <cstddef>
#include <string>

namespace platform {

// Writes `size` bytes to a new file in the folder of `path`, flushes it to disk and renames it
// over `path`.  An existing file keeps its permissions (and its owner where the system allows);
// a new one gets the usual 0666 less the umask.  Returns 0, or the errno of the failing step; on
// failure `path` is untouched and no temporary file is left behind.
int WriteFileAtomically(const std::string& path, const void* data, std::size_t size);

// Rewrites the existing file `path` where it stands: writes `size` bytes over it, cuts it to that
// length and flushes it to disk.  Not atomic; for a file whose folder refuses new files.
// Returns 0 or the errno of the failing step.
int WriteFileInPlace(const std::string& path, const void* data, std::size_t size);

// The message for a file that could not be written: "Cannot create file <path>. <reason>".
std::string CannotCreateFileText(const std::string& path, int error);

} // namespace platform
