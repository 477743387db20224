#pragma once
// Decoding a compressed HTTP body (Content-Encoding gzip or deflate) into a fixed buffer as its
// bytes arrive.
#include <cstddef>
#include <memory>

enum class ContentCoding { Identity, Gzip, Deflate, Unsupported };

// The Content-Encoding that a complete response head of `size` bytes declares.
ContentCoding HeadContentCoding(const char* head, std::size_t size);

class BodyDecoder {
public:
    // Decodes into `out`, at most `capacity` bytes.
    BodyDecoder(ContentCoding coding, char* out, std::size_t capacity);
    ~BodyDecoder();
    BodyDecoder(const BodyDecoder&) = delete;
    BodyDecoder& operator=(const BodyDecoder&) = delete;

    // Takes the next encoded bytes; false once the body proved undecodable.
    bool Feed(const char* data, std::size_t size);
    // No more input is wanted: the stream ended, the output is full, or it failed.
    bool Done() const { return ended_ || failed_ || produced_ == capacity_; }
    // The output is whole: the stream ended, or the buffer filled before it did.
    bool Complete() const { return !failed_ && (ended_ || produced_ == capacity_); }
    std::size_t Produced() const { return produced_; }

private:
    bool Start(const char* data, std::size_t size);

    struct Stream;
    std::unique_ptr<Stream> stream_;
    ContentCoding coding_;
    char* out_;
    std::size_t capacity_;
    std::size_t produced_ = 0;
    bool started_ = false;
    bool ended_ = false;
    bool failed_ = false;
    char first_ = 0; // a lone first byte, kept until the second tells zlib from raw deflate
    bool haveFirst_ = false;
};
