#include "upgrade/content_decoding.h"

#include <cctype>
#include <string_view>
#include <zlib.h>

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace

ContentCoding HeadContentCoding(const char* head, std::size_t size) {
    std::string_view text(head, size);
    text = text.substr(0, text.find("\r\n\r\n"));
    const std::string_view name = "\r\ncontent-encoding:";
    for (std::size_t i = 0; i + name.size() <= text.size(); ++i) {
        if (!EqualsNoCase(text.substr(i, name.size()), name))
            continue;
        std::size_t begin = i + name.size();
        std::size_t end = text.find("\r\n", begin);
        if (end == std::string_view::npos)
            end = text.size();
        while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
            ++begin;
        while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
            --end;
        const std::string_view value = text.substr(begin, end - begin);
        if (EqualsNoCase(value, "gzip") || EqualsNoCase(value, "x-gzip"))
            return ContentCoding::Gzip;
        if (EqualsNoCase(value, "deflate"))
            return ContentCoding::Deflate;
        if (value.empty() || EqualsNoCase(value, "identity"))
            return ContentCoding::Identity;
        return ContentCoding::Unsupported;
    }
    return ContentCoding::Identity;
}

struct BodyDecoder::Stream {
    z_stream z{};
    bool open = false;
    ~Stream() {
        if (open)
            inflateEnd(&z);
    }
};

BodyDecoder::BodyDecoder(ContentCoding coding, char* out, std::size_t capacity)
    : stream_(std::make_unique<Stream>()), coding_(coding), out_(out), capacity_(capacity) {
    if (coding_ != ContentCoding::Gzip && coding_ != ContentCoding::Deflate)
        failed_ = true;
}

BodyDecoder::~BodyDecoder() = default;

bool BodyDecoder::Start(const char* data, std::size_t size) {
    int windowBits = 15 + 16; // gzip wrapper
    if (coding_ == ContentCoding::Deflate) {
        // "deflate" should carry a zlib wrapper, but servers also send the raw stream.
        const auto b0 = static_cast<unsigned char>(haveFirst_ ? first_ : data[0]);
        const auto b1 = static_cast<unsigned char>(haveFirst_ ? data[0] : data[1]);
        (void)size;
        const bool zlibWrapped = (b0 & 0x0F) == 8 && ((b0 << 8) | b1) % 31 == 0;
        windowBits = zlibWrapped ? 15 : -15;
    }
    if (inflateInit2(&stream_->z, windowBits) != Z_OK)
        return false;
    stream_->open = true;
    started_ = true;
    return true;
}

bool BodyDecoder::Feed(const char* data, std::size_t size) {
    if (failed_)
        return false;
    if (Done() || size == 0)
        return true;
    if (!started_) {
        if (coding_ == ContentCoding::Deflate && !haveFirst_ && size < 2) {
            first_ = data[0];
            haveFirst_ = true;
            return true;
        }
        if (!Start(data, size)) {
            failed_ = true;
            return false;
        }
        if (haveFirst_) {
            haveFirst_ = false;
            if (!Feed(&first_, 1))
                return false;
        }
    }
    z_stream& z = stream_->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z.avail_in = static_cast<uInt>(size);
    while (z.avail_in > 0 && produced_ < capacity_) {
        z.next_out = reinterpret_cast<Bytef*>(out_ + produced_);
        z.avail_out = static_cast<uInt>(capacity_ - produced_);
        const int result = inflate(&z, Z_NO_FLUSH);
        produced_ = capacity_ - z.avail_out;
        if (result == Z_STREAM_END) {
            ended_ = true;
            return true;
        }
        if (result == Z_BUF_ERROR)
            return true; // wants more input or more room; the loop's condition says which
        if (result != Z_OK) {
            failed_ = true;
            return false;
        }
    }
    return true;
}
