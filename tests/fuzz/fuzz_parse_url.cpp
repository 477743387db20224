// Any text as a URL, and as a redirect's location: the host fits its buffer, the path position
// lies inside the URL, and a resolved location parses the same way.
#include "upgrade/http_client.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

void Check(const std::string& url) {
    char host[64];
    std::memset(host, 'X', sizeof host);
    int port = -1;
    const auto path = ParseUrl(url, port, host, sizeof host);
    if (!path)
        return;
    if (*path > url.size() || port < 0 || port > 65535 ||
        std::memchr(host, '\0', sizeof host) == nullptr)
        __builtin_trap();
    if (*path < url.size() && url[*path] != '/')
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 2048)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    Check(text);
    const std::size_t cut = text.find('\n');
    if (cut != std::string::npos)
        Check(ResolveLocation(text.substr(0, cut), text.substr(cut + 1)));
    return 0;
}
