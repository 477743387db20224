#include "device/frame_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Build(std::uint16_t command, const Bytes& payload) {
    Bytes frame(payload.size() + kFrameOverhead, 0xEE);
    const int length = BuildFrame(frame.data(), command, payload.empty() ? nullptr : payload.data(),
                                  static_cast<int>(payload.size()));
    EXPECT_EQ(length, static_cast<int>(frame.size()));
    return frame;
}

// The ScanTool's acknowledgement of a firmware-size notice, as seen on the wire.
const Bytes kAck = {0x24, 0x24, 0x0B, 0x00, 0x43, 0x03, 0x00, 0xDF, 0x91, 0x0D, 0x0A};

TEST(Crc16X25, CheckValues) {
    const char* digits = "123456789";
    EXPECT_EQ(Crc16X25(reinterpret_cast<const std::uint8_t*>(digits), 9), 0x906E);
    EXPECT_EQ(Crc16X25(nullptr, 0), 0x0000);
}

TEST(BuildFrame, WorkedExamples) {
    EXPECT_EQ(Build(0x0103, {}),
              (Bytes{0x40, 0x40, 0x0A, 0x00, 0x03, 0x01, 0x33, 0xD3, 0x0D, 0x0A}));
    EXPECT_EQ(Build(0x0104, {}),
              (Bytes{0x5E, 0x5E, 0x0A, 0x00, 0x04, 0x01, 0xD1, 0x30, 0x0D, 0x0A}));
    EXPECT_EQ(Build(0x0303, {0x01, 0x40, 0xE2, 0x01, 0x00}),
              (Bytes{0x40, 0x40, 0x0F, 0x00, 0x03, 0x03, 0x01, 0x40, 0xE2, 0x01, 0x00, 0xA3, 0x19,
                     0x0D, 0x0A}));
}

TEST(BuildFrame, NullPayloadPreparesWithoutCopyingOrSealing) {
    Bytes frame(20, 0xEE);
    EXPECT_EQ(BuildFrame(frame.data(), 0x0403, nullptr, 10), 20);
    EXPECT_EQ(frame[0], '@');
    EXPECT_EQ(frame[2], 20);
    EXPECT_EQ(frame[4], 0x03);
    EXPECT_EQ(frame[5], 0x04);
    for (int i = 6; i <= 17; ++i)
        EXPECT_EQ(frame[i], 0xEE) << "offset " << i;
    EXPECT_EQ(frame[18], 0x0D);
    EXPECT_EQ(frame[19], 0x0A);

    // Sealing afterwards gives the same bytes as building with the payload.
    Bytes payload(10, 0xEE);
    SealFrame(frame.data(), 20);
    EXPECT_EQ(frame, Build(0x0403, payload));
}

TEST(ValidateFrame, AcceptsTheWorkedAcknowledgement) {
    EXPECT_EQ(ValidateFrame(kAck.data(), static_cast<int>(kAck.size())), 11);
}

TEST(ValidateFrame, RejectsMalformedFrames) {
    struct Case {
        const char* name;
        Bytes bytes;
    };
    Bytes flipped = kAck;
    flipped[6] ^= 0x01;
    Bytes noLineEnd = kAck;
    noLineEnd[10] = 0x0D;
    Bytes request = kAck;
    request[0] = request[1] = '@';
    Bytes shortLength = kAck;
    shortLength[2] = 9; // looks like a frame, but a frame is never below 10 bytes
    Bytes ten = Build(0x0103, {});
    ten[0] = ten[1] = '$';
    ten[2] = 9;
    const Case cases[] = {
        {"incomplete", Bytes(kAck.begin(), kAck.end() - 1)},
        {"flipped payload bit", flipped},
        {"missing line end", noLineEnd},
        {"request marker", request},
        {"length below ten", shortLength},
        {"length nine in a ten-byte buffer", ten},
        {"fewer than ten bytes", Bytes{0x24, 0x24, 0x05, 0x00, 0x43}},
        {"empty", Bytes{}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ValidateFrame(c.bytes.data(), static_cast<int>(c.bytes.size())), 0) << c.name;
}

TEST(ValidateFrame, IncompleteUntilTheLastByteArrives) {
    Bytes frame = kAck;
    EXPECT_EQ(ValidateFrame(frame.data(), 10), 0);
    EXPECT_EQ(ValidateFrame(frame.data(), 11), 11);
}

TEST(ValidateFrame, ReturnsOnlyTheFirstOfTwoFrames) {
    Bytes first = Build(0x0144, {});
    first[0] = first[1] = '$';
    SealFrame(first.data(), static_cast<int>(first.size()));
    Bytes both = first;
    both.insert(both.end(), kAck.begin(), kAck.end());
    EXPECT_EQ(ValidateFrame(both.data(), static_cast<int>(both.size())), 10);
}

TEST(ValidateFrame, NeverReadsPastAvailable) {
    // A heap copy of exactly `available` bytes lets the sanitizer build catch any over-read.
    for (int available = 0; available <= static_cast<int>(kAck.size()); ++available) {
        auto* copy = new std::uint8_t[available > 0 ? available : 1];
        std::memcpy(copy, kAck.data(), static_cast<std::size_t>(available));
        EXPECT_EQ(ValidateFrame(copy, available), available == 11 ? 11 : 0);
        delete[] copy;
    }
}

} // namespace
