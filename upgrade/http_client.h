#pragma once
// A small blocking HTTP/1.0 client for the one short exchange with the update server: one
// request per connection, at most two redirects, the body stored in the caller's buffer.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/net.h"

// The request heads, byte for byte.  GET: path, host.  POST: path, host, body length.
inline constexpr const char* kHttpGetTemplate =
    "GET %s HTTP/1.0\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nUser-Agent: "
    "Mozilla/4.0\r\nHost: %s\r\nConnection: close\r\nCache-Control: no-cache\r\n\r\n";
inline constexpr const char* kHttpPostTemplate =
    "POST %s HTTP/1.0\r\nHost: %s\r\nAccept-Encoding: gzip,deflate\r\nAccept-Language: "
    "zh-cn\r\nAccept: */*\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: "
    "%d\r\n\r\n";

// The response head is collected in a buffer of this size; a longer head fails the request.
inline constexpr std::size_t kHttpHeadBufferSize = 1024;

// Splits "scheme://host[:port][path]".  Sets `port` (80 unless given) and copies the host,
// NUL-terminated, into `host` (`hostMax` bytes, so at most hostMax - 1 characters).  Returns the
// position in `url` where the path begins (url.size() for an empty path), or nothing when the
// first ':' is not followed by "//", the host is too long, the port is above 65535, or the URL
// holds a blank or a control character (it would break the request line).
std::optional<std::size_t> ParseUrl(std::string_view url, int& port, char* host,
                                    std::size_t hostMax);

// Reads a response head from the `size` bytes received so far.  Returns 0 while the head is
// incomplete, -1 when it is not an HTTP head or its status is not 200, 301 or 302 (or a redirect
// has no target), otherwise the status.  For 200, `offset` is where the body starts and `length`
// the Content-Length (-1 when absent); for a redirect, `offset` and `length` give the location.
int ParseResponseHead(const char* head, std::size_t size, int& offset, int& length);

// The address of a host: a dotted IPv4 text as it stands, a name's first IPv4 address, or its
// first IPv6 address when it has none; an empty name means this computer.
std::optional<platform::NetAddress> ResolveHost(const std::string& name);

// Sends a GET (`body` null) or a POST of `body` (`bodyLength` bytes; 0 or less: up to its NUL) to
// `url` and stores at most `replyCapacity` body bytes in `reply`, followed by a zero byte when
// fewer were stored.  A gzip or deflate body is decoded first.  Returns -1 when the URL, the name
// lookup, the connection or the sending failed, 0 when the exchange did not end in status 200
// with a complete, decodable body, else the number of bytes stored.  The whole call, redirects
// included, returns within about `timeoutMs`.  Failed connections and sends print a diagnostic
// line on standard output.
int HttpRequest(const char* url, const char* body, int bodyLength, char* reply, int replyCapacity,
                int timeoutMs);

// How HttpRequest reaches a server: looks the host up and connects within `timeoutMs`; an
// unopened socket when that fails.  Tests and the fuzz target hand in a socket they hold.
using HttpConnector =
    std::function<platform::TcpSocket(const std::string& host, int port, int timeoutMs)>;

// HttpRequest over the given connector.
int HttpRequestWith(const HttpConnector& connect, const char* url, const char* body, int bodyLength,
                    char* reply, int replyCapacity, int timeoutMs);

// The URL that a redirect's location names, seen from `current`: an absolute URL as it stands;
// "//host/..." with the current scheme; "/path" on the current server; anything else beside the
// current path's last "/".
std::string ResolveLocation(std::string_view current, std::string_view location);
