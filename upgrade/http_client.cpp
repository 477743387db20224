// The exchange itself: connect, send one request, read the head and the body, follow redirects.
#include "upgrade/http_client.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "upgrade/content_decoding.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxRedirects = 2;
constexpr std::size_t kHostMax = 64;

void Print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

// Fills a printf template whose arguments are strings and one int, without a size limit.
std::string Format(const char* pattern, const std::string& a, const std::string& b, int n = 0) {
    const int size = std::snprintf(nullptr, 0, pattern, a.c_str(), b.c_str(), n);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    std::snprintf(out.data(), out.size() + 1, pattern, a.c_str(), b.c_str(), n);
    return out;
}

platform::TcpSocket ConnectDirect(const std::string& host, int port, int timeoutMs) {
    auto address = ResolveHost(host);
    if (!address)
        return {};
    platform::TcpSocket socket;
    if (!socket.Create(address->family))
        return {};
    address->SetPort(port);
    if (!socket.Connect(*address, timeoutMs)) {
        Print("connect error!\n");
        return {};
    }
    return socket;
}

// Sends the request; false (after the diagnostic line) when the last send failed.
bool SendRequest(platform::TcpSocket& socket, const std::string& path, const std::string& host,
                 const char* body, int bodyLength, int timeoutMs) {
    long result = 0;
    if (!body) {
        const std::string request = Format(kHttpGetTemplate, path, host);
        result = socket.Send(request.data(), request.size(), timeoutMs);
    } else {
        const std::string head = Format(kHttpPostTemplate, path, host, bodyLength);
        const auto bodySize = static_cast<std::size_t>(bodyLength);
        if (head.size() + bodySize + 10 < 1024) {
            std::string whole = head;
            whole.append(body, bodySize);
            whole += "\r\n\r\n";
            result = socket.Send(whole.data(), whole.size(), timeoutMs);
        } else {
            result = socket.Send(head.data(), head.size(), timeoutMs);
            if (result > 0)
                result = socket.Send(body, bodySize, timeoutMs);
            if (result > 0)
                result = socket.Send("\r\n\r\n", 4, timeoutMs);
        }
    }
    if (result < 0) {
        const int error = errno;
        Print("send error " + std::to_string(error) + "\xA3\xAC" + "Error message'" +
              std::strerror(error) + "'\n");
        return false;
    }
    return true;
}

// One response: the head in its own buffer, then the body into the reply, decoded if need be.
class ResponseReader {
public:
    ResponseReader(char* reply, int replyCapacity)
        : reply_(reply), capacity_(static_cast<std::size_t>(std::max(replyCapacity, 0))) {}

    enum class Outcome { Body, Redirect, Failed };

    // Reads until the body is complete, the connection ends, or the deadline passes.
    Outcome Read(platform::TcpSocket& socket, Clock::time_point deadline);

    // The redirect target, valid after Outcome::Redirect.
    const std::string& Location() const { return location_; }
    // The result of a 200 response: the bytes stored, or -1 when the body is unusable.
    long Stored() const;

private:
    // Takes body bytes that came with the head; false when no more are wanted.
    bool StartBody(int offset, int contentLength);
    bool TakeBody(const char* data, std::size_t size);
    std::size_t Room() const;

    char* reply_;
    std::size_t capacity_;
    char head_[kHttpHeadBufferSize];
    std::size_t headSize_ = 0;
    bool inBody_ = false;
    std::size_t stored_ = 0;  // identity bytes in reply
    std::size_t wanted_ = 0;  // identity bytes to store before stopping
    long contentLength_ = -1; // as the head announced it, -1 unknown
    long encodedLeft_ = -1;   // encoded bytes still announced, -1 unknown
    std::unique_ptr<BodyDecoder> decoder_;
    std::string location_;
};

std::size_t ResponseReader::Room() const {
    if (!inBody_)
        return kHttpHeadBufferSize - headSize_;
    if (!decoder_)
        return wanted_ - stored_;
    if (decoder_->Done())
        return 0;
    return encodedLeft_ >= 0 ? static_cast<std::size_t>(encodedLeft_) : 4096;
}

bool ResponseReader::StartBody(int offset, int contentLength) {
    inBody_ = true;
    contentLength_ = contentLength;
    const ContentCoding coding = HeadContentCoding(head_, static_cast<std::size_t>(offset));
    const char* early = head_ + offset;
    const std::size_t earlySize = headSize_ - static_cast<std::size_t>(offset);
    if (coding != ContentCoding::Identity) {
        decoder_ = std::make_unique<BodyDecoder>(coding, reply_, capacity_);
        encodedLeft_ = contentLength > 0 ? contentLength : -1;
        return TakeBody(early, earlySize);
    }
    // Stop as soon as the announced body is in; never store more than it announced.
    wanted_ = contentLength > 0 && static_cast<std::size_t>(contentLength) < capacity_
                  ? static_cast<std::size_t>(contentLength)
                  : capacity_;
    return TakeBody(early, earlySize);
}

bool ResponseReader::TakeBody(const char* data, std::size_t size) {
    if (!decoder_) {
        const std::size_t take = std::min(size, wanted_ - stored_);
        if (take > 0 && data != reply_ + stored_)
            std::memmove(reply_ + stored_, data, take);
        stored_ += take;
        return stored_ < wanted_;
    }
    if (encodedLeft_ >= 0) {
        size = std::min(size, static_cast<std::size_t>(encodedLeft_));
        encodedLeft_ -= static_cast<long>(size);
    }
    decoder_->Feed(data, size);
    return !decoder_->Done() && encodedLeft_ != 0;
}

long ResponseReader::Stored() const {
    if (decoder_)
        return decoder_->Complete() ? static_cast<long>(decoder_->Produced()) : -1;
    // A body cut short of its Content-Length is not the reply the server meant.
    if (contentLength_ > 0 &&
        stored_ < std::min(static_cast<std::size_t>(contentLength_), capacity_))
        return -1;
    return static_cast<long>(stored_);
}

ResponseReader::Outcome ResponseReader::Read(platform::TcpSocket& socket,
                                             Clock::time_point deadline) {
    char scratch[4096];
    for (;;) {
        const std::size_t room = Room();
        if (room == 0)
            break;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || socket.WaitReadable(static_cast<int>(left)) != platform::NetWait::Ready)
            break;
        char* into = !inBody_ ? head_ + headSize_ : decoder_ ? scratch : reply_ + stored_;
        const long n = socket.Receive(into, decoder_ ? std::min(room, sizeof scratch) : room);
        if (n <= 0)
            break;
        if (inBody_) {
            if (!TakeBody(into, static_cast<std::size_t>(n)))
                break;
            continue;
        }
        headSize_ += static_cast<std::size_t>(n);
        int offset = 0;
        int length = 0;
        const int status = ParseResponseHead(head_, headSize_, offset, length);
        if (status == 200) {
            if (!StartBody(offset, length))
                break;
        } else if (status == 301 || status == 302) {
            location_.assign(head_ + offset, static_cast<std::size_t>(length));
            return Outcome::Redirect;
        } else if (status < 0) {
            return Outcome::Failed;
        }
    }
    return inBody_ ? Outcome::Body : Outcome::Failed;
}

} // namespace

int HttpRequestWith(const HttpConnector& connect, const char* url, const char* body, int bodyLength,
                    char* reply, int replyCapacity, int timeoutMs) {
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::milliseconds(timeoutMs);
    const auto msLeft = [&] {
        return static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
    };
    if (!url)
        return -1;
    if (body && bodyLength <= 0)
        bodyLength = static_cast<int>(std::strlen(body));
    std::string current = url;
    for (int redirects = 0;;) {
        int port = 80;
        char host[kHostMax];
        const auto pathAt = ParseUrl(current, port, host, sizeof host);
        if (!pathAt)
            return -1;
        std::string path = current.substr(*pathAt);
        if (path.empty())
            path = "/";
        platform::TcpSocket socket = connect(host, port, msLeft());
        if (!socket.IsOpen())
            return -1;
        const int budget = msLeft();
        if (budget <= 0)
            return -1;
        if (!SendRequest(socket, path, host, body, bodyLength, budget))
            return -1;

        ResponseReader reader(reply, replyCapacity);
        const auto outcome = reader.Read(socket, deadline);
        socket.Close();
        if (outcome == ResponseReader::Outcome::Redirect && ++redirects <= kMaxRedirects) {
            current = ResolveLocation(current, reader.Location());
            body = nullptr; // a redirected request is a GET
            continue;
        }
        if (outcome != ResponseReader::Outcome::Body)
            return 0;
        const long stored = reader.Stored();
        if (stored < 0)
            return 0;
        if (stored < replyCapacity)
            reply[stored] = '\0';
        return static_cast<int>(stored);
    }
}

int HttpRequest(const char* url, const char* body, int bodyLength, char* reply, int replyCapacity,
                int timeoutMs) {
    return HttpRequestWith(ConnectDirect, url, body, bodyLength, reply, replyCapacity, timeoutMs);
}
