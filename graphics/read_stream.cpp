#include "graphics/read_stream.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

std::size_t MemoryReadStream::Read(void* buffer, std::size_t count) {
    std::size_t n = std::min(count, bytes_.size() - position_);
    if (n > 0)
        std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
}

FileReadStream::FileReadStream(const std::string& path) {
    // Only regular files: a folder or a device node named like an image is not one.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return;
    file_ = std::fopen(path.c_str(), "rbe");
}

FileReadStream::~FileReadStream() {
    if (file_ != nullptr)
        std::fclose(file_);
}

std::size_t FileReadStream::Read(void* buffer, std::size_t count) {
    return file_ == nullptr ? 0 : std::fread(buffer, 1, count, file_);
}
