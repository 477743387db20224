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
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return WithSlash(config) + "quillon/";
    const char* home = std::getenv("HOME");
    std::string base = home && *home ? home : "";
    if (base.empty()) {
        const passwd* user = getpwuid(getuid());
        base = user && user->pw_dir ? user->pw_dir : "";
    }
    return WithSlash(base) + ".config/quillon/";
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
