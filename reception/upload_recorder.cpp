#include "reception/upload_recorder.h"

#include "core/main_state.h"
#include "device/frame_codec.h"
#include "device/sync_uart.h"
#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/paths.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr std::uint16_t kUploadStart = 0x0104;
constexpr std::uint16_t kUploadAccepted = 0x0144;
constexpr std::uint16_t kUploadBlock = 0x0204;
constexpr std::uint16_t kUploadBlockAck = 0x0242;
constexpr std::uint16_t kUploadEnd = 0x0304;
constexpr std::uint16_t kUploadEndAck = 0x0344;
constexpr int kBlockHeader = 8; // marker, length, code, block number
constexpr std::uint64_t kOfferSeconds = 3;

} // namespace

std::string UploadFilePathFor(const std::string& exePath) {
    // An installed program's folder is not the user's to write in.
    if (!platform::InstallPrefixOf(exePath).empty())
        return platform::UserDataDir() + "quillon.dat";
    std::string path = exePath;
    if (path.empty())
        return path;
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1))
        path.resize(dot);
    return path + ".dat";
}

std::string UploadFilePath() {
    return UploadFilePathFor(platform::ExecutablePath());
}

UploadRecorder::UploadRecorder(MainState& state)
    : state_(state), outputPath_(UploadFilePath()), clock_(platform::CalendarSeconds) {}

// The user's data folder of an installed program may not exist yet (or any more).
int UploadRecorder::MakeOutputFolder() const {
    const std::size_t slash = outputPath_.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return 0;
    return platform::MakeUserDir(outputPath_.substr(0, slash)) ? 0 : errno;
}

std::uint64_t UploadRecorder::Elapsed(std::time_t now) const {
    return static_cast<std::uint64_t>(now - startTime_);
}

void UploadRecorder::Send(const std::uint8_t* frame, int length) {
    if (send_)
        send_(frame, length);
    else if (state_.Uart)
        state_.Uart->SendData(frame, length);
}

void UploadRecorder::SendUploadStart() {
    std::uint8_t frame[kFrameOverhead];
    const int length = BuildFrame(frame, kUploadStart, nullptr, 0);
    Send(frame, length);
}

void UploadRecorder::SendUploadBlockAck(std::uint8_t status) {
    std::uint8_t frame[kFrameOverhead + 1];
    const int length = BuildFrame(frame, kUploadBlockAck, &status, 1);
    Send(frame, length);
}

void UploadRecorder::SendUploadEndAck() {
    std::uint8_t frame[kFrameOverhead];
    const int length = BuildFrame(frame, kUploadEndAck, nullptr, 0);
    Send(frame, length);
}

void UploadRecorder::UartReadDebugTimerTimer() {
    if (!read_ && state_.Uart == nullptr)
        return;
    // One reading of the clock per tick, and the port is read before a new start request
    // leaves: every answer seen in this tick was then sent before that request, so it answers
    // the one outstanding when the tick began, and is late when that one is 3 s old.
    const std::time_t now = clock_();
    const int got = read_ ? read_(buffer_ + held_, kBufferSize - held_)
                          : state_.Uart->RecvData(buffer_ + held_, kBufferSize - held_);
    answerInTime_ = lastRequest_ == kUploadStart && Elapsed(now) < kOfferSeconds;
    if (!state_.UploadActive && Elapsed(now) >= kOfferSeconds) {
        SendUploadStart();
        lastRequest_ = kUploadStart;
        startTime_ = now;
    }

    if (got <= 0) {
        held_ = 0; // whatever stayed incomplete over a quiet second is dropped
        return;
    }
    held_ += got;
    const int length = ValidateFrame(buffer_, held_);
    if (length == 0)
        return; // incomplete or damaged: kept for the next tick
    Dispatch(length);

    if (length < held_ && buffer_[length] == '$') {
        std::memmove(buffer_, buffer_ + length, static_cast<std::size_t>(held_ - length));
        held_ -= length;
    } else {
        held_ = 0;
    }
}

void UploadRecorder::Dispatch(int length) {
    const std::uint16_t code = static_cast<std::uint16_t>(buffer_[4] | buffer_[5] << 8);
    switch (code) {
    case kUploadAccepted:
        if (answerInTime_ && !state_.UploadActive) {
            state_.UploadActive = true;
            lastRequest_ = 0;
            DropKeptUpload();
        }
        break;
    case kUploadBlock: {
        // A frame too short for a block number carries no block.
        if (!state_.UploadActive || length < kBlockHeader + 4)
            break;
        // A block after an end whose save failed: the ScanTool gave up resending that end and
        // sends a new upload, which must not be appended to the old one.
        if (saveFailed_)
            DropKeptUpload();
        const int block = buffer_[6] | buffer_[7] << 8;
        if (block == state_.UploadBlockCount) {
            SendUploadBlockAck(0);
            state_.UploadStream.insert(state_.UploadStream.end(), buffer_ + kBlockHeader,
                                       buffer_ + length - 4);
            ++state_.UploadBlockCount;
        } else if (block == state_.UploadBlockCount - 1) {
            SendUploadBlockAck(0); // the ScanTool repeated the last block: stored already
        } else {
            SendUploadBlockAck(2);
        }
        break;
    }
    case kUploadEnd:
        // Only while receiving: blocks left over from before a reconnection are no upload, and
        // writing them would replace the last complete file with a fragment.
        if (state_.UploadActive && state_.UploadBlockCount > 0) {
            lastSaveError_ = outputPath_.empty() ? ENOENT : MakeOutputFolder();
            if (lastSaveError_ == 0)
                lastSaveError_ = platform::WriteFileAtomically(
                    outputPath_, state_.UploadStream.data(), state_.UploadStream.size());
            if (lastSaveError_ != 0) {
                // Unanswered, the end comes again and the save is retried with the blocks kept;
                // acknowledging it would make the ScanTool believe the upload stored.
                if (!saveFailed_ && onSaveFailed_)
                    onSaveFailed_(lastSaveError_);
                saveFailed_ = true;
                break;
            }
            DropKeptUpload();
        }
        SendUploadEndAck();
        break;
    default:
        break;
    }
}

void UploadRecorder::DropKeptUpload() {
    state_.UploadStream.clear();
    state_.UploadBlockCount = 0;
    saveFailed_ = false;
}
