#include "platform/device_access.h"

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <grp.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

using DirHandle = std::unique_ptr<DIR, int (*)(DIR*)>;

DirHandle OpenDir(const std::string& path) {
    return DirHandle(opendir(path.c_str()), closedir);
}

// The numeric entries of /proc, other than this process.
std::vector<std::string> OtherProcessIds() {
    std::vector<std::string> ids;
    const DirHandle proc = OpenDir("/proc");
    if (!proc)
        return ids;
    const std::string self = std::to_string(getpid());
    while (const dirent* entry = readdir(proc.get())) {
        const std::string name = entry->d_name;
        if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos &&
            name != self)
            ids.push_back(name);
    }
    return ids;
}

std::string CommandName(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode))
        return a.st_rdev == b.st_rdev; // one device, whichever node it was opened through
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

std::vector<ProcessEntry> ProcessesHolding(const std::string& path) {
    std::vector<ProcessEntry> holders;
    struct stat target {};
    if (stat(path.c_str(), &target) != 0)
        return holders;
    for (const std::string& pid : OtherProcessIds()) {
        const std::string fdDir = "/proc/" + pid + "/fd";
        const DirHandle fds = OpenDir(fdDir); // refused for other users' processes
        if (!fds)
            continue;
        while (const dirent* entry = readdir(fds.get())) {
            struct stat open {};
            if (entry->d_name[0] == '.' ||
                stat((fdDir + "/" + entry->d_name).c_str(), &open) != 0 || !SameFile(open, target))
                continue;
            holders.push_back({std::atoi(pid.c_str()), CommandName(pid)});
            break;
        }
    }
    return holders;
}

bool ProcessRunning(const std::string& name) {
    for (const std::string& pid : OtherProcessIds())
        if (CommandName(pid) == name)
            return true;
    return false;
}

std::string DeviceGroup(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 ||
        (info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return {};
    const group* entry = getgrgid(info.st_gid);
    return entry && entry->gr_name ? entry->gr_name : std::string();
}

std::string CurrentUserName() {
    const passwd* entry = getpwuid(getuid());
    if (entry && entry->pw_name && *entry->pw_name)
        return entry->pw_name;
    return std::to_string(getuid());
}

} // namespace platform
