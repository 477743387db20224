// Any bytes as a response head: the parser reads only the bytes it is given, and what it
// reports lies inside them.
#include "upgrade/http_client.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096)
        return 0;
    const std::vector<char> head(data, data + size); // an exact end for the address sanitizer
    int offset = -7;
    int length = -7;
    const int status = ParseResponseHead(head.data(), head.size(), offset, length);
    if (status != 0 && status != -1 && status != 200 && status != 301 && status != 302)
        __builtin_trap();
    if (status == 200 && (offset < 4 || offset > static_cast<int>(size)))
        __builtin_trap();
    if ((status == 301 || status == 302) &&
        (offset < 0 || length <= 0 || offset + length > static_cast<int>(size)))
        __builtin_trap();
    return 0;
}
