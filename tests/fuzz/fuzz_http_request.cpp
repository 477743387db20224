// Any bytes as what a server sends back: HttpRequest runs over a socket pair holding them and
// returns -1, 0 or the count of bytes it stored, never more than the buffer holds.
#include "upgrade/http_client.h"

#include <cstdint>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 16384)
        return 0;
    // The first byte picks the buffer size and the method.
    const int capacity = data[0] & 0x7F;
    const bool post = (data[0] & 0x80) != 0;
    const std::vector<char> stream(data + 1, data + size);
    std::vector<int> peers;
    const auto connect = [&](const std::string&, int, int) {
        int pair[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return platform::TcpSocket();
        if (!stream.empty())
            send(pair[1], stream.data(), stream.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        shutdown(pair[1], SHUT_WR);
        peers.push_back(pair[1]);
        return platform::TcpSocket(pair[0]);
    };
    std::vector<char> reply(static_cast<std::size_t>(capacity));
    const int n =
        HttpRequestWith(connect, "http://update.test:8080/quillon/check?x=1",
                        post ? "types=A&subtype=B" : nullptr, 0, reply.data(), capacity, 2000);
    for (int fd : peers)
        close(fd);
    if (n < -1 || n > capacity)
        __builtin_trap();
    return 0;
}
