#include "content/manual_library.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case-blind order of ASCII letters; names that differ only in case keep a fixed order too.
bool NameBefore(const std::string& a, const std::string& b) {
    const auto lower = [](char x, char y) {
        return static_cast<unsigned char>(LowerAscii(x)) <
               static_cast<unsigned char>(LowerAscii(y));
    };
    if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), lower))
        return true;
    if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), lower))
        return false;
    return a < b;
}

} // namespace

std::string ManualFolder(const std::string& executableDir) {
    return executableDir + "manual/";
}

std::vector<std::string> ListManualFolder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return names;
    const int fd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        // "." and ".." are hidden names too; they are skipped by name, wherever they come.
        if (name.empty() || name.front() == '.')
            continue;
        struct stat info {};
        if (fstatat(fd, entry->d_name, &info, 0) != 0)
            continue;
        if (!S_ISREG(info.st_mode) || (info.st_mode & S_IWUSR) == 0)
            continue;
        names.emplace_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end(), NameBefore);
    return names;
}
