#include "device/frame_codec.h"

#include <array>
#include <cstring>

namespace {

constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408) : (crc >> 1);
        table[i] = crc;
    }
    return table;
}

constexpr auto kCrcTable = MakeCrcTable();

} // namespace

std::uint16_t Crc16X25(const std::uint8_t* bytes, std::uint16_t count) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint16_t i = 0; i < count; ++i)
        crc = static_cast<std::uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ bytes[i]) & 0xFF]);
    return static_cast<std::uint16_t>(crc ^ 0xFFFF);
}

void SealFrame(std::uint8_t* buffer, int length) {
    const std::uint16_t crc = Crc16X25(buffer, static_cast<std::uint16_t>(length - 4));
    buffer[length - 4] = static_cast<std::uint8_t>(crc & 0xFF);
    buffer[length - 3] = static_cast<std::uint8_t>(crc >> 8);
}

int BuildFrame(std::uint8_t* buffer, std::uint16_t command, const std::uint8_t* payload,
               int payloadLength) {
    const int length = payloadLength + kFrameOverhead;
    const std::uint8_t marker = command == 0x0104 ? '^' : '@';
    buffer[0] = marker;
    buffer[1] = marker;
    buffer[2] = static_cast<std::uint8_t>(length & 0xFF);
    buffer[3] = static_cast<std::uint8_t>((length >> 8) & 0xFF);
    buffer[4] = static_cast<std::uint8_t>(command & 0xFF);
    buffer[5] = static_cast<std::uint8_t>(command >> 8);
    buffer[length - 2] = 0x0D;
    buffer[length - 1] = 0x0A;
    if (payloadLength == 0) {
        SealFrame(buffer, length);
    } else if (payloadLength > 0 && payload != nullptr) {
        std::memcpy(buffer + 6, payload, static_cast<std::size_t>(payloadLength));
        SealFrame(buffer, length);
    }
    return length;
}

int ValidateFrame(const std::uint8_t* buffer, int available) {
    if (available < kFrameOverhead || buffer[0] != '$' || buffer[1] != '$')
        return 0;
    const int length = buffer[2] | (buffer[3] << 8);
    if (length < kFrameOverhead || length > available)
        return 0;
    if (buffer[length - 2] != 0x0D || buffer[length - 1] != 0x0A)
        return 0;
    const std::uint16_t stored =
        static_cast<std::uint16_t>(buffer[length - 4] | (buffer[length - 3] << 8));
    if (stored != Crc16X25(buffer, static_cast<std::uint16_t>(length - 4)))
        return 0;
    return length;
}
