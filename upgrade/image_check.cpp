#include "upgrade/image_check.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "upgrade/md5.h"

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool ReadAt(int fd, void* data, std::size_t size, off_t offset) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = pread(fd, bytes, size, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// MD5 of the first `size` bytes of the file.
bool DigestOf(int fd, off_t size, std::uint8_t digest[16]) {
    Md5Context context;
    Md5Init(&context);
    std::vector<char> buffer(1 << 16);
    for (off_t at = 0; at < size;) {
        const auto want =
            static_cast<std::size_t>(std::min<off_t>(static_cast<off_t>(buffer.size()), size - at));
        if (!ReadAt(fd, buffer.data(), want, at))
            return false;
        Md5Update(&context, buffer.data(), want);
        at += static_cast<off_t>(want);
    }
    Md5Final(digest, &context);
    return true;
}

} // namespace

int CheckFileSize(const std::string& path, std::int64_t expectedSize) {
    const Fd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (file.get() < 0 || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return info.st_size == expectedSize ? 0 : -1;
}

bool HexToBytes(std::uint8_t* destination, const char* hexText, std::size_t count) {
    bool valid = true;
    for (std::size_t i = 0; i < count; ++i) {
        const int high = HexValue(hexText[2 * i]);
        const int low = HexValue(hexText[2 * i + 1]);
        valid = valid && high >= 0 && low >= 0;
        destination[i] = static_cast<std::uint8_t>((high & 0x0F) << 4 | (low & 0x0F));
    }
    return valid;
}

int CheckMd5Trailer(const std::string& path) {
    const Fd file(open(path.c_str(), O_RDWR | O_CLOEXEC));
    struct stat info {};
    if (file.get() < 0 || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    const off_t size = info.st_size;
    if (size < static_cast<off_t>(kMd5TrailerSize))
        return 1;
    const off_t imageSize = size - static_cast<off_t>(kMd5TrailerSize);
    char trailer[kMd5TrailerSize];
    if (!ReadAt(file.get(), trailer, sizeof trailer, imageSize))
        return -1;
    const std::size_t magicSize = sizeof kMd5TrailerMagic - 1;
    if (std::memcmp(trailer, kMd5TrailerMagic, magicSize) != 0)
        return 1;
    std::uint8_t expected[16];
    const bool hex = HexToBytes(expected, trailer + magicSize, sizeof expected);
    if (ftruncate(file.get(), imageSize) != 0)
        return -1;
    std::uint8_t actual[16];
    if (!DigestOf(file.get(), imageSize, actual))
        return -1;
    return hex && std::memcmp(actual, expected, sizeof actual) == 0 ? 0 : -1;
}
