#pragma once
// Starting a fresh copy of the running program (the restart after a language change).
#include <string>

namespace platform {

// Starts `path` as a new, detached process (own session, no arguments, the current environment,
// no inherited descriptors but standard input, output and error) with `argv0` (default: `path`)
// as its name.  Returns whether the process could be started; the caller does not wait for it.
bool StartDetachedProcess(const std::string& path, const std::string& argv0 = {});

// Starts a fresh copy of the program; see StartDetachedProcess.  That is the file now at the
// executable's path, which is a newer version when the running one was replaced meanwhile, or
// the running file itself when nothing is there any more.
bool StartFreshCopyOfSelf();

} // namespace platform
