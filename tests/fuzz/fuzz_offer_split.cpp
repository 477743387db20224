// Any bytes as the server's reply buffer: the split never reads past the bytes stored, and its
// fields lie inside them; versions and sizes read from them without overflow.
#include "upgrade/update_server.h"

#include <array>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1024)
        return 0;
    const std::vector<char> reply(data, data + size);
    std::array<std::string_view, 6> fields;
    const int count = SplitOfferReply(reply.data(), reply.size(), fields);
    if (count < 1 || count > 6)
        __builtin_trap();
    for (int i = 0; i < count; ++i) {
        const auto& f = fields[static_cast<std::size_t>(i)];
        if (!f.empty() && (f.data() < reply.data() || f.data() + f.size() > reply.data() + size))
            __builtin_trap();
        ReadLeadingInteger(f);
    }
    if (count >= 4) {
        const int forward = CompareVersions(fields[0], fields[3]);
        const int backward = CompareVersions(fields[3], fields[0]);
        if (forward != -backward)
            __builtin_trap();
    }
    return 0;
}
