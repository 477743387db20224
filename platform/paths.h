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

// The program's folder among the user's data files, with a trailing '/': $XDG_DATA_HOME/quillon/,
// or ~/.local/share/quillon/ when that variable is unset, empty or not an absolute path.  Not
// created.
std::string UserDataDir();

// An installed program lies in <prefix>/bin beside a <prefix>/share/quillon folder; it keeps its
// shipped data there and the user's files in ConfigDir() and UserDataDir().  Anywhere else (a
// build folder, an unpacked folder) everything lies beside the executable.
// The prefix with a trailing '/' when `exePath` is such an installed executable, else empty.
std::string InstallPrefixOf(const std::string& exePath);

// The folder of the data that ships with the program (DtcLookup/, manual/, the shipped lang.ini)
// with a trailing '/': <prefix>/share/quillon/ when installed, else the executable's folder.
std::string ShippedDataDirOf(const std::string& exePath);
std::string ShippedDataDir();

// Creates `dir` and its missing parents, each new folder with mode 0700 as the XDG folders want.
// True when `dir` is a folder afterwards; otherwise errno says why.
bool MakeUserDir(const std::string& dir);

// The user's temporary folder with a trailing '/': $TMPDIR when set and not empty, otherwise
// /tmp/quillon-<uid>, created with mode 0700.  A folder under /tmp that is not a real directory
// or belongs to another user is refused (a shared /tmp must never receive predictable names):
// the result is then empty and `error`, when given, says why.
std::string TempDir(std::string* error = nullptr);

// The /tmp fallback of TempDir below `base` instead of /tmp; exposed so that tests can check the
// ownership rules in a scratch folder.
std::string PrivateTempDirUnder(const std::string& base, std::string* error = nullptr);

} // namespace platform
