#include "platform/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

int WriteAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

int WriteFileAtomically(const std::string& path, const void* data, std::size_t size) {
    struct stat info {};
    const bool exists = stat(path.c_str(), &info) == 0;
    const std::string folder = FolderOf(path);
    const std::size_t slash = path.rfind('/');
    std::string temp =
        folder + "/." + (slash == std::string::npos ? path : path.substr(slash + 1)) + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    if (exists) {
        // Only root may hand the file to another owner; failing to is harmless.
        const int ownerKept = fchown(fd, info.st_uid, info.st_gid);
        (void)ownerKept;
    }
    int error = WriteAll(fd, static_cast<const unsigned char*>(data), size);
    // mkostemp's private 0600 would otherwise replace the file's own permissions.
    if (error == 0 && fchmod(fd, exists ? (info.st_mode & 07777) : NewFileMode()) != 0)
        error = errno;
    // The data must be on disk before the name points at it, or a crash could leave an empty
    // file in place of the previous one.
    if (error == 0 && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && std::rename(temp.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        unlink(temp.c_str());
        return error;
    }
    // Make the rename itself durable.
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return 0;
}

int WriteFileInPlace(const std::string& path, const void* data, std::size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = WriteAll(fd, static_cast<const unsigned char*>(data), size);
    if (error == 0 && ftruncate(fd, static_cast<off_t>(size)) != 0)
        error = errno;
    if (error == 0 && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

std::string CannotCreateFileText(const std::string& path, int error) {
    return "Cannot create file " + path + ". " + std::strerror(error);
}

} // namespace platform
