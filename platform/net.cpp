#include "platform/net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

bool SetNonBlocking(int fd, bool on) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0)
        return false;
    return fcntl(fd, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) == 0;
}

// poll() for one event, retried after signals with what is left of the wait.
NetWait PollFor(int fd, short events, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, events, 0};
        const int n = poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
        if (n > 0)
            return NetWait::Ready; // errors and hang-ups count: the next call reports them
        if (n == 0)
            return NetWait::TimedOut;
        if (errno != EINTR)
            return NetWait::Failed;
    }
}

std::optional<NetAddress> FirstOfFamily(const addrinfo* list, int family) {
    for (const addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_family != family || a->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        NetAddress out;
        std::memcpy(&out.storage, a->ai_addr, a->ai_addrlen);
        out.length = a->ai_addrlen;
        out.family = family;
        return out;
    }
    return std::nullopt;
}

} // namespace

void NetAddress::SetPort(int port) {
    const auto value = htons(static_cast<std::uint16_t>(port));
    if (family == AF_INET)
        reinterpret_cast<sockaddr_in*>(&storage)->sin_port = value;
    else if (family == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port = value;
}

std::string NetAddress::Text() const {
    char text[INET6_ADDRSTRLEN] = {};
    const void* raw =
        family == AF_INET6
            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_addr)
            : static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(&storage)->sin_addr);
    if (family != AF_INET && family != AF_INET6)
        return {};
    return inet_ntop(family, raw, text, sizeof text) ? text : "";
}

std::optional<NetAddress> ResolveHostName(const std::string& name) {
    std::string lookup = name;
    if (lookup.empty()) {
        char own[HOST_NAME_MAX + 1] = {};
        if (gethostname(own, sizeof own - 1) != 0)
            return std::nullopt;
        lookup = own;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(lookup.c_str(), nullptr, &hints, &list) != 0 || !list)
        return std::nullopt;
    auto found = FirstOfFamily(list, AF_INET);
    if (!found)
        found = FirstOfFamily(list, AF_INET6);
    freeaddrinfo(list);
    return found;
}

TcpSocket::~TcpSocket() {
    Close();
}

TcpSocket::TcpSocket(TcpSocket&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool TcpSocket::Create(int family) {
    Close();
    fd_ = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd_ >= 0;
}

bool TcpSocket::Connect(const NetAddress& address, int timeoutMs) {
    if (fd_ < 0 || !SetNonBlocking(fd_, true))
        return false;
    if (connect(fd_, reinterpret_cast<const sockaddr*>(&address.storage), address.length) != 0) {
        if (errno != EINPROGRESS && errno != EINTR)
            return false;
        if (PollFor(fd_, POLLOUT, timeoutMs) != NetWait::Ready)
            return false;
        int error = 0;
        socklen_t size = sizeof error;
        if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
            errno = error;
            return false;
        }
    }
    return SetNonBlocking(fd_, false);
}

long TcpSocket::Send(const void* data, std::size_t size, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    const char* bytes = static_cast<const char*>(data);
    std::size_t sent = 0;
    while (sent < size) {
        const ssize_t n = send(fd_, bytes + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return -1;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const NetWait wait =
            left > 0 ? PollFor(fd_, POLLOUT, static_cast<int>(left)) : NetWait::TimedOut;
        if (wait == NetWait::TimedOut)
            errno = ETIMEDOUT;
        if (wait != NetWait::Ready)
            return -1;
    }
    return static_cast<long>(sent);
}

NetWait TcpSocket::WaitReadable(int timeoutMs) {
    if (fd_ < 0)
        return NetWait::Failed;
    return PollFor(fd_, POLLIN, timeoutMs);
}

long TcpSocket::Receive(void* data, std::size_t size) {
    for (;;) {
        const ssize_t n = recv(fd_, data, size, 0);
        if (n >= 0 || errno != EINTR)
            return static_cast<long>(n);
    }
}

void TcpSocket::Close() {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

} // namespace platform
