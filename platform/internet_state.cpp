#include "platform/internet_state.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <net/if.h>
#include <net/route.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

std::vector<std::string> Fields(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

bool ParseHex(const std::string& text, unsigned long& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtoul(text.c_str(), &end, 16);
    return end != nullptr && *end == '\0';
}

// A route the kernel would use: up and not a reject ("unreachable", "prohibit") route.
bool Usable(unsigned long flags) {
    return (flags & RTF_UP) != 0 && (flags & RTF_REJECT) == 0;
}

// /proc/net/route: Iface Destination Gateway Flags RefCnt Use Metric Mask ..., one header line.
bool Ipv4DefaultRoute(std::string_view table,
                      const std::function<bool(const std::string&)>& interfaceUp) {
    std::istringstream in{std::string(table)};
    std::string line;
    std::getline(in, line); // the header
    while (std::getline(in, line)) {
        const auto f = Fields(line);
        unsigned long destination = 1;
        unsigned long flags = 0;
        unsigned long mask = 1;
        if (f.size() < 8 || !ParseHex(f[1], destination) || !ParseHex(f[3], flags) ||
            !ParseHex(f[7], mask))
            continue;
        if (destination == 0 && mask == 0 && Usable(flags) && interfaceUp(f[0]))
            return true;
    }
    return false;
}

// /proc/net/ipv6_route: destination, prefix length, source, source prefix length, next hop,
// metric, reference count, use count, flags, interface; no header.
bool Ipv6DefaultRoute(std::string_view table,
                      const std::function<bool(const std::string&)>& interfaceUp) {
    std::istringstream in{std::string(table)};
    std::string line;
    while (std::getline(in, line)) {
        const auto f = Fields(line);
        unsigned long prefix = 1;
        unsigned long flags = 0;
        if (f.size() < 10 || f[0].size() != 32 || !ParseHex(f[1], prefix) || !ParseHex(f[8], flags))
            continue;
        if (f[0].find_first_not_of('0') == std::string::npos && prefix == 0 && Usable(flags) &&
            interfaceUp(f[9]))
            return true;
    }
    return false;
}

std::string ReadAll(const char* path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

bool HasDefaultRoute(std::string_view ipv4Routes, std::string_view ipv6Routes,
                     const std::function<bool(const std::string&)>& interfaceUp) {
    return Ipv4DefaultRoute(ipv4Routes, interfaceUp) || Ipv6DefaultRoute(ipv6Routes, interfaceUp);
}

bool InterfaceIsUp(const std::string& name) {
    if (name.empty() || name.size() >= IFNAMSIZ)
        return false;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request{};
    name.copy(request.ifr_name, IFNAMSIZ - 1);
    const bool known = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    ::close(fd);
    const auto flags = static_cast<unsigned>(request.ifr_flags);
    return known && (flags & IFF_UP) != 0 && (flags & IFF_RUNNING) != 0 &&
           (flags & IFF_LOOPBACK) == 0;
}

bool IsInternetConnected() {
    if (const char* forced = std::getenv("QUILLON_ONLINE")) {
        const std::string_view value(forced);
        if (value == "1")
            return true;
        if (value == "0")
            return false;
    }
    return HasDefaultRoute(ReadAll("/proc/net/route"), ReadAll("/proc/net/ipv6_route"),
                           InterfaceIsUp);
}

} // namespace platform
