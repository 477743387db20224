#pragma once
// A frame as the ScanTool sends it ("$$" marker, checksum sealed), for tests and fuzz targets
// that play the ScanTool's side without the simulator.
#include "device/frame_codec.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace quillon::test {

inline std::vector<std::uint8_t> ScanToolFrame(std::uint16_t code,
                                               const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> f(payload.size() + kFrameOverhead);
    f[0] = f[1] = '$';
    f[2] = static_cast<std::uint8_t>(f.size());
    f[3] = static_cast<std::uint8_t>(f.size() >> 8);
    f[4] = static_cast<std::uint8_t>(code);
    f[5] = static_cast<std::uint8_t>(code >> 8);
    std::copy(payload.begin(), payload.end(), f.begin() + 6);
    f[f.size() - 2] = 0x0D;
    f[f.size() - 1] = 0x0A;
    SealFrame(f.data(), static_cast<int>(f.size()));
    return f;
}

} // namespace quillon::test
