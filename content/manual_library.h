#pragma once
// The documents of the manual folder shipped beside the program.
#include <string>
#include <vector>

// The manual folder beside the executable, with a trailing '/'.
std::string ManualFolder(const std::string& executableDir);

// Names of the documents in `folder`: regular files (or links to them) only, without
// sub-folders, hidden files (names beginning with '.') and read-only files (no write permission
// for their owner).  Sorted by name, ignoring the case of ASCII letters, so that the list is the
// same on every machine whatever order the file system returns.  A missing folder gives none.
std::vector<std::string> ListManualFolder(const std::string& folder);
