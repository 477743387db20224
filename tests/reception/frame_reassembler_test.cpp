#include "reception/frame_reassembler.h"
#include "tests/reception/reception_fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace quillon::test;

// Records what reaches the capture: "S<payload length>:<first byte>" and "E".
struct RecordingSink final : IWaveFrameSink {
    void AppendWaveSamples(const std::uint8_t* payload, int count) override {
        events.push_back("S" + std::to_string(count) +
                         (count > 0 ? ":" + std::to_string(payload[0]) : ""));
    }
    void FinishWaveCapture() override { events.push_back("E"); }
    std::vector<std::string> events;
};

struct Chunk {
    std::time_t second;
    Bytes bytes;
};

struct Outcome {
    std::vector<std::string> events;
    Bytes pending;
};

Outcome Feed(const std::vector<Chunk>& chunks) {
    RecordingSink sink;
    FrameReassembler reassembler(sink);
    std::time_t now = 0;
    reassembler.SetClock([&] { return now; });
    for (const Chunk& c : chunks) {
        now = c.second;
        reassembler.AssembleDeviceFrames(c.bytes.data(), static_cast<int>(c.bytes.size()));
        EXPECT_LT(reassembler.PendingCount(), 512);
    }
    return {sink.events,
            Bytes(reassembler.Pending(), reassembler.Pending() + reassembler.PendingCount())};
}

Bytes Head(const Bytes& b, std::size_t n) {
    return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
}
Bytes Tail(const Bytes& b, std::size_t n) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(n), b.end());
}

// A frame whose checksum is wrong but whose declared length is `declared`.
Bytes Damaged(std::uint16_t declared, std::size_t size) {
    Bytes f = WaveFrame(std::vector<int>((size - 10) / 2, 7));
    f[2] = static_cast<std::uint8_t>(declared);
    f[3] = static_cast<std::uint8_t>(declared >> 8);
    f[size - 4] ^= 0xFF; // the checksum no longer matches
    return f;
}

TEST(FrameReassembler, Table) {
    const Bytes wave = WaveFrame({120, 126, 131}); // 16 bytes, payload 6, first byte 120
    const Bytes end = DeviceFrame(kWaveEndCode);
    const Bytes big = WaveFrame(std::vector<int>(300, 9)); // 610 bytes
    struct Case {
        const char* name;
        std::vector<Chunk> chunks;
        std::vector<std::string> events;
        Bytes pending;
    };
    const Case cases[] = {
        {"whole frame", {{5, wave}}, {"S6:120"}, {}},
        {"split in the same second", {{5, Head(wave, 7)}, {5, Tail(wave, 7)}}, {"S6:120"}, {}},
        {"split into the next second", {{5, Head(wave, 3)}, {6, Tail(wave, 3)}}, {"S6:120"}, {}},
        {"second half two seconds later is dropped",
         {{5, Head(wave, 7)}, {7, Tail(wave, 7)}},
         {},
         {}},
        {"stale half replaced by a new frame start",
         {{5, Head(wave, 7)}, {7, Concat({end, Head(wave, 4)})}},
         {"E"},
         Head(wave, 4)},
        {"clock going backwards never continues", {{5, Head(wave, 7)}, {4, Tail(wave, 7)}}, {}, {}},
        {"text before a frame hides it", {{5, Concat({B("Hi"), wave})}}, {}, {}},
        {"lone $ waits for its partner", {{5, B("$")}, {5, Tail(wave, 1)}}, {"S6:120"}, {}},
        {"two frames with text between",
         {{5, Concat({wave, B("text"), end})}},
         {"S6:120", "E"},
         {}},
        {"valid frame over 512 bytes in one chunk", {{5, big}}, {"S600:9"}, {}},
        {"ten-byte sample frame and end frame",
         {{5, Concat({DeviceFrame(kWaveSamplesCode), end})}},
         {"S0", "E"},
         {}},
        {"other frames are dropped",
         {{5, Concat({DeviceFrame(0x03FF, {1}), DeviceFrame(0x0142, {1, 2}), end})}},
         {"E"},
         {}},
        {"unknown bytes ending in $ keep the $", {{5, B("$$junk-data-here$")}}, {}, B("$")},
        {"trailing text after a frame is dropped", {{5, Concat({wave, B("abc")})}}, {"S6:120"}, {}},
        {"damaged length 0 gives the header up",
         {{5, Concat({Damaged(0, 16), wave})}},
         {"S6:120"},
         {}},
        {"damaged length over 512 gives the header up",
         {{5, Concat({Damaged(600, 16), wave})}},
         {"S6:120"},
         {}},
        {"damaged frame of plausible length is skipped whole",
         {{5, Concat({Damaged(20, 20), wave})}},
         {"S6:120"},
         {}},
        {"damaged frame waits for its declared length",
         {{5, Damaged(40, 20)}, {5, Concat({Bytes(20, 'x'), wave})}},
         {"S6:120"},
         {}},
        {"declared length 5 skips five bytes",
         {{5, Concat({Damaged(5, 16), wave})}},
         {"S6:120"},
         {}},
        {"a partial frame of under ten bytes waits", {{5, Head(wave, 9)}}, {}, Head(wave, 9)},
    };
    for (const Case& c : cases) {
        const Outcome out = Feed(c.chunks);
        EXPECT_EQ(out.events, c.events) << c.name;
        EXPECT_EQ(out.pending, c.pending) << c.name;
    }
}

TEST(FrameReassembler, FramesSplitAtEveryByteArriveOnce) {
    const Bytes stream = Concat({WaveFrame({1, 2, 3, 4}), B("noise"), DeviceFrame(kWaveEndCode)});
    for (std::size_t split = 1; split < stream.size(); ++split) {
        const Outcome out = Feed({{9, Head(stream, split)}, {10, Tail(stream, split)}});
        // A split inside the noise starts the second chunk with text, which is not searched.
        const bool endLost = split >= 18 && split <= 22;
        const std::vector<std::string> expected =
            endLost ? std::vector<std::string>{"S8:1"} : std::vector<std::string>{"S8:1", "E"};
        EXPECT_EQ(out.events, expected) << split;
    }
}

TEST(FrameReassembler, LongChunksAreTakenAsSuccessiveReads) {
    // The last frame crosses the 1024-byte mark: the second piece continues the first.
    Bytes stream;
    for (int i = 0; i < 63; ++i)
        stream = Concat({stream, WaveFrame({5, 6, 7})});
    stream = Concat({stream, WaveFrame({8}), WaveFrame({5, 6, 7})});
    ASSERT_EQ(stream.size(), 1036u);
    const Outcome out = Feed({{3, stream}});
    EXPECT_EQ(out.events.size(), 65u);
    EXPECT_EQ(out.events.back(), "S6:5");
}

} // namespace
