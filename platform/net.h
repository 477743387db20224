#pragma once
// TCP over BSD sockets, as the HTTP client needs it: name lookup, a connection attempt bounded in
// time, and sends and waits that never outlast a given budget.  No call raises SIGPIPE.
#include <cstddef>
#include <optional>
#include <string>
#include <sys/socket.h>

namespace platform {

// One address of a host, IPv4 or IPv6, with the port still to be set.
struct NetAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family = AF_UNSPEC;

    void SetPort(int port);
    std::string Text() const; // "127.0.0.1", "::1"
};

// Looks a host up with getaddrinfo: a dotted IPv4 text is taken as it stands; a name yields its
// first IPv4 address, or its first IPv6 address when it has no IPv4 one.  An empty name looks up
// the computer's own host name.
std::optional<NetAddress> ResolveHostName(const std::string& name);

enum class NetWait { Ready, TimedOut, Failed };

// One stream socket.  Move-only; closes its descriptor when destroyed.
class TcpSocket {
public:
    TcpSocket() = default;
    explicit TcpSocket(int fd) : fd_(fd) {} // takes over a connected descriptor
    ~TcpSocket();
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // A new stream socket of this address family; false (with errno set) when none can be made.
    bool Create(int family);
    // Starts a non-blocking connection and waits up to `timeoutMs` for it to complete; then
    // switches the socket back to blocking mode.  False when the wait ran out or the connection
    // reported an error.
    bool Connect(const NetAddress& address, int timeoutMs);
    // Sends all `size` bytes unless the peer stops taking them for `timeoutMs`.  Returns the
    // count sent, or -1 with errno set (ETIMEDOUT when the budget ran out first).
    long Send(const void* data, std::size_t size, int timeoutMs);
    // Waits up to `timeoutMs` for input (or the peer's close) to be readable.
    NetWait WaitReadable(int timeoutMs);
    // Reads what is there, at most `size` bytes: the count, 0 at the peer's close, -1 on error.
    long Receive(void* data, std::size_t size);
    void Close();

    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }

private:
    int fd_ = -1;
};

} // namespace platform
