#pragma once
// Finds the ScanTool's DeviceFrames in the unsolicited print stream.  Frames may arrive split
// over several reads; a frame that has not completed within its calendar second or the next one
// is given up.  Waveform frames go to the waveform capture, every other frame is dropped.
#include <cstdint>
#include <ctime>
#include <functional>

// Where waveform frames go.
class IWaveFrameSink {
public:
    virtual ~IWaveFrameSink() = default;
    // The payload of a sample frame (group 0xFF, sub-code 1), `count` bytes, possibly 0.
    virtual void AppendWaveSamples(const std::uint8_t* payload, int count) = 0;
    // A waveform end frame (group 0xFF, sub-code 2).
    virtual void FinishWaveCapture() = 0;
};

class FrameReassembler {
public:
    static constexpr int kChunkMax = 1024;    // the most one poll reads
    static constexpr int kPendingSize = 2049; // fewer than 512 pending plus one chunk fit
    static constexpr int kTrustedLength = 512;

    explicit FrameReassembler(IWaveFrameSink& sink);

    // The calendar-second clock (default: platform::CalendarSeconds).
    void SetClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }

    // Feeds one chunk of `count` bytes.  A chunk longer than kChunkMax is taken in pieces of
    // kChunkMax bytes, as successive polls would have read it.
    void AssembleDeviceFrames(const std::uint8_t* chunk, int count);

    int PendingCount() const { return pending_; }
    const std::uint8_t* Pending() const { return buffer_; }

private:
    void AssembleChunk(const std::uint8_t* chunk, int count);
    void Dispatch(int length);
    void Drop(int count);
    // Moves the pending bytes onto the next "$$"; false when the loop must stop.
    bool Resynchronise();

    IWaveFrameSink& sink_;
    std::function<std::time_t()> clock_;
    std::uint8_t buffer_[kPendingSize] = {};
    std::int32_t pending_ = 0;
    std::time_t frameStart_ = 0;
};
