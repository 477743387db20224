#include "device/frame_codec.h"

#include <cstdint>
#include <cstring>
#include <vector>

// ValidateFrame must never read outside the bytes it is given; the copy makes the buffer's end
// exact for the address sanitizer.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 70000)
        return 0;
    std::vector<std::uint8_t> copy(data, data + size);
    const int length = ValidateFrame(copy.data(), static_cast<int>(size));
    if (length != 0 && (length < 10 || length > static_cast<int>(size)))
        __builtin_trap();
    return 0;
}
