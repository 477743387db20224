#pragma once
// Why a device cannot be used: who holds it open, which group may use it, who we are.
#include <string>
#include <vector>

namespace platform {

struct ProcessEntry {
    int pid = 0;
    std::string name; // the command name of /proc/<pid>/comm, as ps shows it
};

// The processes other than this one that hold `path` open (the same file, or for a device node
// the same device under any name), found through /proc/<pid>/fd.  Processes of other users are
// seen only by root.  Empty when `path` does not exist.
std::vector<ProcessEntry> ProcessesHolding(const std::string& path);

// Whether a process with this command name runs, whoever its user (command names are public).
bool ProcessRunning(const std::string& name);

// The group of the device node `path` when the node lets that group read and write it; empty
// otherwise.
std::string DeviceGroup(const std::string& path);

// The login name of this process's user; the number as text when it has no name.
std::string CurrentUserName();

} // namespace platform
