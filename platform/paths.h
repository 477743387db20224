#pragma once
// Where the program's own files and its downloads live.
#include <string>

namespace platform {

// Full path of the running executable (from /proc/self/exe), also after the file has been removed
// or replaced while the program runs; empty when it cannot be read.
std::string ExecutablePath();

// Folder of the running executable with a trailing '/': lang.ini, the manual folder and the
// upload file lie there.  Falls back to "./" when the executable's path is unknown.
std::string ExecutableDir();

// The program's folder among the user's settings, with a trailing '/': $XDG_CONFIG_HOME/quillon/,
// or ~/.config/quillon/ when that variable is unset, empty or not an absolute path.  Not created.
std::string ConfigDir();

// The user's temporary folder with a trailing '/': $TMPDIR when set and not empty, otherwise
// /tmp/quillon-<uid>, created with mode 0700.  A folder under /tmp that is not a real directory
// or belongs to another user is refused (a shared /tmp must never receive predictable names):
// the result is then empty and `error`, when given, says why.
std::string TempDir(std::string* error = nullptr);

// The /tmp fallback of TempDir below `base` instead of /tmp; exposed so that tests can check the
// ownership rules in a scratch folder.
std::string PrivateTempDirUnder(const std::string& base, std::string* error = nullptr);

} // namespace platform
