#pragma once
// Readable byte streams that the decoders read from: a resource's bytes in memory or a file
// opened read-only.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

class ReadStream {
public:
    virtual ~ReadStream() = default;
    // Reads up to `count` bytes into `buffer`; returns how many were read (0 at the end or on an
    // error).  Never throws.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
};

class MemoryReadStream : public ReadStream {
public:
    explicit MemoryReadStream(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    MemoryReadStream(const void* data, std::size_t size)
        : bytes_(static_cast<const std::uint8_t*>(data), size) {}
    std::size_t Read(void* buffer, std::size_t count) override;

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

class FileReadStream : public ReadStream {
public:
    // Opens `path` read-only; IsOpen() tells whether that worked.
    explicit FileReadStream(const std::string& path);
    ~FileReadStream() override;
    FileReadStream(const FileReadStream&) = delete;
    FileReadStream& operator=(const FileReadStream&) = delete;
    bool IsOpen() const { return file_ != nullptr; }
    std::size_t Read(void* buffer, std::size_t count) override;

private:
    std::FILE* file_ = nullptr;
};
