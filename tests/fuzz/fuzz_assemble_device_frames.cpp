#include "device/frame_codec.h"
#include "reception/frame_reassembler.h"
#include "tests/support/scantool_frame.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

namespace {

// Counts what reaches the capture and reads every payload byte, so that the address sanitizer
// sees a payload that reaches past the frame.
struct CountingSink final : IWaveFrameSink {
    void AppendWaveSamples(const std::uint8_t* payload, int count) override {
        if (count < 0 || count > FrameReassembler::kPendingSize)
            __builtin_trap();
        for (int i = 0; i < count; ++i)
            sum += payload[i];
        ++samples;
        bytes += static_cast<std::size_t>(count);
    }
    void FinishWaveCapture() override { ++ends; }
    std::size_t samples = 0;
    std::size_t bytes = 0;
    std::size_t ends = 0;
    unsigned sum = 0;
};

// A stream of text, sealed frames (so that the checksum does not hide the frame paths), frames
// with a declared length of the fuzzer's choice, and lone markers.
std::vector<std::uint8_t> Stream(FuzzedDataProvider& in) {
    std::vector<std::uint8_t> stream;
    while (in.remaining_bytes() > 0 && stream.size() < 20000) {
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: {
            const auto text = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 64));
            stream.insert(stream.end(), text.begin(), text.end());
            break;
        }
        case 1:
        case 2: {
            const auto payload = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 700));
            const std::uint16_t code =
                in.ConsumeBool() ? std::uint16_t(0x01FF + 0x100 * in.ConsumeIntegralInRange(0, 2))
                                 : in.ConsumeIntegral<std::uint16_t>();
            std::vector<std::uint8_t> frame = quillon::test::ScanToolFrame(code, payload);
            if (in.ConsumeBool()) { // a damaged one: another declared length
                const auto declared = in.ConsumeIntegral<std::uint16_t>();
                frame[2] = static_cast<std::uint8_t>(declared);
                frame[3] = static_cast<std::uint8_t>(declared >> 8);
            }
            stream.insert(stream.end(), frame.begin(), frame.end());
            break;
        }
        default:
            stream.push_back('$');
            break;
        }
    }
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::uint64_t cuts = in.ConsumeIntegral<std::uint64_t>();
    const std::uint64_t ticks = in.ConsumeIntegral<std::uint64_t>();
    const std::vector<std::uint8_t> stream = Stream(in);

    CountingSink sink;
    FrameReassembler reassembler(sink);
    std::time_t now = 1'000'000;
    reassembler.SetClock([&] { return now; });
    // Reads of 1 ... 1024 bytes, with the clock standing still, going on or going back.
    std::size_t pos = 0;
    std::uint64_t c = cuts;
    std::uint64_t t = ticks;
    while (pos < stream.size()) {
        const std::size_t length = std::min<std::size_t>(stream.size() - pos, 1 + (c % 1024));
        c = c * 6364136223846793005ull + 1442695040888963407ull;
        now += static_cast<int>(t % 4) - 1;
        t /= 4;
        // An exact copy, so that reading past the chunk is caught.
        std::vector<std::uint8_t> chunk(stream.begin() + static_cast<std::ptrdiff_t>(pos),
                                        stream.begin() + static_cast<std::ptrdiff_t>(pos + length));
        reassembler.AssembleDeviceFrames(chunk.data(), static_cast<int>(chunk.size()));
        if (reassembler.PendingCount() < 0 || reassembler.PendingCount() >= 512)
            __builtin_trap();
        pos += length;
    }
    if (sink.bytes > stream.size())
        __builtin_trap();
    return 0;
}
