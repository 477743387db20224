#pragma once
// DeviceFrame layout shared by both directions of the serial link:
//   marker(2) length(2, LE, whole frame) group(1) sub-command(1) payload CRC16/X.25(2, LE) CR LF
#include <cstddef>
#include <cstdint>

inline constexpr int kFrameOverhead = 10;

// CRC-16/X.25 (reflected 0x8408, init 0xFFFF, xorout 0xFFFF) of `count` bytes.
std::uint16_t Crc16X25(const std::uint8_t* bytes, std::uint16_t count);

// Stores the checksum of bytes 0..L-5 at L-4 (low) and L-3 (high); touches nothing else.
void SealFrame(std::uint8_t* buffer, int length);

// Writes a request frame ("^^" for 0x0104, "@@" otherwise) into a caller-owned buffer of at least
// payloadLength + 10 bytes and returns its length.  A positive payloadLength with a null payload
// prepares the frame without copying or sealing, so that a caller can fill the payload in place.
int BuildFrame(std::uint8_t* buffer, std::uint16_t command, const std::uint8_t* payload,
               int payloadLength);

// Length of the complete, correct "$$" frame at the start of `buffer`, or 0.  Never reads past
// `available` bytes.
int ValidateFrame(const std::uint8_t* buffer, int available);
