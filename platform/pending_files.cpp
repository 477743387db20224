#include "platform/pending_files.h"

#include <algorithm>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace platform {
namespace {

std::mutex& Guard() {
    static std::mutex guard;
    return guard;
}

std::vector<std::string>& Files() {
    static std::vector<std::string> files;
    return files;
}

} // namespace

void AddPendingFile(const std::string& path) {
    const std::lock_guard<std::mutex> lock(Guard());
    Files().push_back(path);
}

void DropPendingFile(const std::string& path) {
    const std::lock_guard<std::mutex> lock(Guard());
    auto& files = Files();
    const auto it = std::find(files.begin(), files.end(), path);
    if (it != files.end())
        files.erase(it);
}

void RemovePendingFiles() {
    const std::lock_guard<std::mutex> lock(Guard());
    for (const std::string& path : Files())
        unlink(path.c_str());
    Files().clear();
}

} // namespace platform
