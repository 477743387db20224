#include "platform/paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

void SetError(std::string* error, const std::string& text) {
    if (error)
        *error = text;
}

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

// The program's folder in an XDG base folder: $<variable>/quillon/ when the variable holds an
// absolute path (the XDG rule: anything else is ignored), else <home>/<fallback>quillon/.
std::string XdgDir(const char* variable, const char* fallback) {
    const char* base = std::getenv(variable);
    if (base && base[0] == '/')
        return WithSlash(base) + "quillon/";
    const char* home = std::getenv("HOME");
    std::string dir = home && *home ? home : "";
    if (dir.empty()) {
        const passwd* user = getpwuid(getuid());
        dir = user && user->pw_dir ? user->pw_dir : "";
    }
    return WithSlash(dir) + fallback + "quillon/";
}

} // namespace

std::string ExecutablePath() {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            break;
        }
        // The link may have been cut: try again with a larger buffer.
        buffer.resize(buffer.size() * 2);
    }
    // Once the running file has been removed or replaced (a rebuild, a package upgrade) the
    // link reads "<path> (deleted)"; the path is still where the program lives.  A file whose
    // name really ends that way is the running file itself.
    constexpr std::string_view kDeleted = " (deleted)";
    if (buffer.ends_with(kDeleted)) {
        struct stat named {
        }, running{};
        if (stat(buffer.c_str(), &named) != 0 || stat("/proc/self/exe", &running) != 0 ||
            named.st_dev != running.st_dev || named.st_ino != running.st_ino)
            buffer.resize(buffer.size() - kDeleted.size());
    }
    return buffer;
}

std::string ExecutableDir() {
    const std::string path = ExecutablePath();
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return "./";
    return path.substr(0, slash + 1);
}

std::string ConfigDir() {
    return XdgDir("XDG_CONFIG_HOME", ".config/");
}

std::string UserDataDir() {
    return XdgDir("XDG_DATA_HOME", ".local/share/");
}

std::string InstallPrefixOf(const std::string& exePath) {
    const std::size_t slash = exePath.rfind('/');
    if (slash == std::string::npos)
        return {};
    const std::string bin = exePath.substr(0, slash); // "<prefix>/bin"
    const std::size_t binSlash = bin.rfind('/');
    if (binSlash == std::string::npos || bin.compare(binSlash + 1, std::string::npos, "bin") != 0)
        return {};
    const std::string prefix = bin.substr(0, binSlash + 1);
    struct stat info {};
    if (stat((prefix + "share/quillon").c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return {};
    return prefix;
}

std::string ShippedDataDirOf(const std::string& exePath) {
    const std::string prefix = InstallPrefixOf(exePath);
    if (!prefix.empty())
        return prefix + "share/quillon/";
    const std::size_t slash = exePath.rfind('/');
    return slash == std::string::npos ? "./" : exePath.substr(0, slash + 1);
}

std::string ShippedDataDir() {
    return ShippedDataDirOf(ExecutablePath());
}

bool MakeUserDir(const std::string& dir) {
    if (dir.empty())
        return false;
    // Each level in turn, from the top: mkdir -p with the mode for the new ones only.
    for (std::size_t end = dir.find('/', 1);; end = dir.find('/', end + 1)) {
        const std::string level = dir.substr(0, end);
        if (!level.empty() && mkdir(level.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (end == std::string::npos)
            break;
    }
    struct stat info {};
    if (stat(dir.c_str(), &info) != 0)
        return false;
    if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

std::string PrivateTempDirUnder(const std::string& base, std::string* error) {
    const std::string dir = WithSlash(base) + "quillon-" + std::to_string(getuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        SetError(error, "Cannot create " + dir + ": " + std::strerror(errno));
        return {};
    }
    // lstat: a symbolic link planted by someone else must not redirect our files.
    struct stat info {};
    if (lstat(dir.c_str(), &info) != 0) {
        SetError(error, "Cannot inspect " + dir + ": " + std::strerror(errno));
        return {};
    }
    if (!S_ISDIR(info.st_mode)) {
        SetError(error, dir + " is not a directory");
        return {};
    }
    if (info.st_uid != getuid()) {
        SetError(error, dir + " belongs to another user");
        return {};
    }
    if ((info.st_mode & 0777) != 0700 && chmod(dir.c_str(), 0700) != 0) {
        SetError(error, "Cannot restrict " + dir + ": " + std::strerror(errno));
        return {};
    }
    return WithSlash(dir);
}

std::string TempDir(std::string* error) {
    const char* tmpdir = std::getenv("TMPDIR");
    if (tmpdir && *tmpdir)
        return WithSlash(tmpdir);
    return PrivateTempDirUnder("/tmp", error);
}

} // namespace platform
