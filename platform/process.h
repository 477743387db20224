#pragma once
// Starting a fresh copy of the running program (the restart after a language change).
#include <string>

namespace platform {

// Starts `path` as a new, detached process (own session, no arguments, the current environment,
// no inherited descriptors but standard input, output and error).  Returns whether the process
// could be started; the caller does not wait for it.
bool StartDetachedProcess(const std::string& path);

// Starts a fresh copy of the running executable; see StartDetachedProcess.
bool StartFreshCopyOfSelf();

} // namespace platform
