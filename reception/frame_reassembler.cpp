#include "reception/frame_reassembler.h"

#include "device/frame_codec.h"
#include "platform/clock.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t kWaveGroup = 0xFF;
constexpr std::uint8_t kWaveSamples = 1;
constexpr std::uint8_t kWaveEnd = 2;

} // namespace

FrameReassembler::FrameReassembler(IWaveFrameSink& sink)
    : sink_(sink), clock_(platform::CalendarSeconds) {}

void FrameReassembler::AssembleDeviceFrames(const std::uint8_t* chunk, int count) {
    while (count > 0) {
        const int piece = std::min(count, kChunkMax);
        AssembleChunk(chunk, piece);
        chunk += piece;
        count -= piece;
    }
}

void FrameReassembler::AssembleChunk(const std::uint8_t* chunk, int count) {
    bool continued = false;
    if (pending_ > 0) {
        const std::time_t now = clock_();
        // Unsigned, so that a clock that went backwards never continues a frame.
        const auto elapsed = static_cast<std::uint64_t>(now - frameStart_);
        if (elapsed <= 1) {
            std::memcpy(buffer_ + pending_, chunk, static_cast<std::size_t>(count));
            pending_ += count;
            continued = true;
        } else {
            frameStart_ = now;
        }
    }
    if (!continued) {
        // Only a chunk that starts with the markers starts a frame; text is never searched.
        if (chunk[0] != '$' || (count > 1 && chunk[1] != '$')) {
            pending_ = 0;
            return;
        }
        frameStart_ = clock_();
        std::memcpy(buffer_, chunk, static_cast<std::size_t>(count));
        pending_ = count;
    }

    while (pending_ >= kFrameOverhead) {
        const int length = ValidateFrame(buffer_, pending_);
        if (length > 0) {
            Dispatch(length);
            Drop(length);
            if (pending_ == 0)
                return;
        } else if (buffer_[0] == '$' && buffer_[1] == '$') {
            const int declared = buffer_[2] | (buffer_[3] << 8);
            if (declared == 0 || declared > kTrustedLength) {
                buffer_[0] = 0; // an implausible length: give this header up
            } else if (pending_ < declared) {
                return; // wait for the rest of the damaged or incomplete frame
            } else {
                Drop(declared); // a damaged frame of plausible length goes whole
                if (pending_ == 0)
                    return;
            }
        }
        if (!Resynchronise())
            return;
    }
}

void FrameReassembler::Dispatch(int length) {
    if (buffer_[4] != kWaveGroup)
        return;
    if (buffer_[5] == kWaveSamples)
        sink_.AppendWaveSamples(buffer_ + 6, length - kFrameOverhead);
    else if (buffer_[5] == kWaveEnd)
        sink_.FinishWaveCapture();
}

void FrameReassembler::Drop(int count) {
    pending_ -= count;
    std::memmove(buffer_, buffer_ + count, static_cast<std::size_t>(pending_));
}

bool FrameReassembler::Resynchronise() {
    if (buffer_[0] == '$' && (pending_ == 1 || buffer_[1] == '$'))
        return true;
    for (int j = 1; j + 1 < pending_; ++j) {
        if (buffer_[j] == '$' && buffer_[j + 1] == '$') {
            Drop(j);
            return true;
        }
    }
    if (buffer_[pending_ - 1] == '$') {
        buffer_[0] = '$';
        pending_ = 1;
    } else {
        pending_ = 0;
    }
    return false;
}
