#pragma once
// Whether the PC is online, as the connectivity indicator asks it: an interface that is up
// carries a default route.  Nothing goes out on the network to find out.
#include <functional>
#include <string>
#include <string_view>

namespace platform {

// True when the PC is online.  QUILLON_ONLINE=1 or 0 forces the answer (tests and demos); any
// other value, or none, leaves it to the routing tables.  A table that cannot be read counts as
// holding no route.
bool IsInternetConnected();

// The decision on the kernel's routing tables in the text form of /proc/net/route and
// /proc/net/ipv6_route: true when one of them holds a default route that is usable (up, not a
// reject route) and leaves through an interface for which `interfaceUp` says yes.
bool HasDefaultRoute(std::string_view ipv4Routes, std::string_view ipv6Routes,
                     const std::function<bool(const std::string&)>& interfaceUp);

// The interface is administratively up, has its carrier and is not the loopback.
bool InterfaceIsUp(const std::string& name);

} // namespace platform
