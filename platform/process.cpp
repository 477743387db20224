#include "platform/process.h"
#include "platform/paths.h"

#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace platform {

bool StartDetachedProcess(const std::string& path, const std::string& argv0) {
    if (path.empty())
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return false;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return false;
    }
    // The new copy must not inherit the serial port or other descriptors: an inherited,
    // exclusively held port would keep the fresh copy from opening it.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // Its own session, so that it outlives this process and its terminal.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);

    std::string name = argv0.empty() ? path : argv0;
    char* argv[] = {name.data(), nullptr};
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0;
}

bool StartFreshCopyOfSelf() {
    const std::string path = ExecutablePath();
    if (!path.empty() && access(path.c_str(), X_OK) == 0)
        return StartDetachedProcess(path);
    // The kernel still reaches the running file through this link after its name is gone.
    return StartDetachedProcess("/proc/self/exe", path);
}

} // namespace platform
