#include "device/image_transfer.h"

#include "core/main_state.h"
#include "device/device_commands.h"
#include "device/frame_codec.h"
#include "device/sync_uart.h"
#include "platform/text_codec.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kFrameBufferSize = 5120;
constexpr unsigned kAckLength = 13;
constexpr unsigned kPollMs = 5;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// One transfer's parameters; BurnImage and BurnFlash512 differ only in these.
struct TransferPlan {
    std::uint8_t kind;
    unsigned blockSize;
    int attempts;
    unsigned firstTimeoutMs; // until the first block is acknowledged
    unsigned timeoutMs;      // afterwards
    std::u16string firstText;
    std::u16string afterFirstAck; // empty: the text stays
};

bool IsAck(const std::uint8_t* reply, unsigned received) {
    return received == kAckLength && reply[4] == 0x43 && reply[5] == 0x04 && reply[6] == 0 &&
           ValidateFrame(reply, static_cast<int>(received)) == static_cast<int>(kAckLength);
}

void SetGaugeMax(MainState& state, int max) {
    if (state.CurrentGauge != nullptr)
        state.CurrentGauge->SetMax(max);
}

void SetGaugePosition(MainState& state, int position) {
    if (state.CurrentGauge != nullptr)
        state.CurrentGauge->SetPosition(position);
}

long FileSize(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0)
        return -1;
    const long size = std::ftell(file);
    if (std::fseek(file, 0, SEEK_SET) != 0)
        return -1;
    return size;
}

bool Transfer(MainState& state, const std::string& path, const TransferPlan& plan) {
    // A block size the frame buffer cannot hold (or 0, which would leave nothing to send) is
    // refused before anything goes out.
    if (plan.blockSize == 0 || plan.blockSize > kMaxBlockSize || state.Uart == nullptr)
        return false;
    File file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return false;
    const long size = FileSize(file.get());
    if (size < 0)
        return false;

    const unsigned B = plan.blockSize;
    // Prepared once: marker, length, command, kind and line end; per block only the number,
    // the data and the checksum change.
    std::array<std::uint8_t, kFrameBufferSize> frame{};
    const int length = BuildFrame(frame.data(), 0x0403, nullptr, static_cast<int>(B) + 3);
    frame[6] = plan.kind;
    std::array<std::uint8_t, kAckLength> reply{};

    SetGaugeMax(state, static_cast<int>(size / static_cast<long>(B) + 1));
    ShowProgressText(state, plan.firstText);

    unsigned block = 0;
    int failures = 0;
    bool acknowledgedOne = false;
    while (failures == 0 && !state.CloseRequested) {
        SetGaugePosition(state, static_cast<int>(block) + 1);
        frame[7] = static_cast<std::uint8_t>(block & 0xFF);
        frame[8] = static_cast<std::uint8_t>((block >> 8) & 0xFF);
        std::memset(frame.data() + 9, 0, B);
        const std::size_t got = std::fread(frame.data() + 9, 1, B, file.get());
        if (got == 0)
            return !std::ferror(file.get()); // end of the file: every block went through
        SealFrame(frame.data(), length);

        while (failures < plan.attempts && !state.CloseRequested) {
            const unsigned timeout = acknowledgedOne ? plan.timeoutMs : plan.firstTimeoutMs;
            const unsigned received =
                state.Uart->SyncRequest(frame.data(), static_cast<unsigned>(length), reply.data(),
                                        kAckLength, timeout, kPollMs);
            if (IsAck(reply.data(), received)) {
                ++block;
                failures = 0;
                if (!acknowledgedOne && !plan.afterFirstAck.empty())
                    ShowProgressText(state, plan.afterFirstAck);
                acknowledgedOne = true;
                break;
            }
            ++failures;
        }
    }
    return false; // a block failed all its attempts, or the window is closing
}

std::u16string KindName(std::uint8_t kind) {
    switch (kind) {
    case kFirmwareRom:
        return u"ROM";
    case kFirmwareFlash:
        return u"FLASH";
    default:
        return u"LOGO";
    }
}

std::u16string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (auto text = platform::Utf8ToUtf16(name))
        return *text;
    return platform::Latin1ToUtf16(name);
}

} // namespace

bool BurnImage(MainState& state, std::uint8_t kind, const std::string& path) {
    if (kind < kFirmwareRom || kind > kFirmwareLogo)
        return false;
    TransferPlan plan{kind, kind == kFirmwareRom ? RomBlockSize : FlashBlockSize,
                      5,    2000,
                      2000, state.Texts.MsgInfo7 + KindName(kind),
                      {}};
    return Transfer(state, path, plan);
}

bool BurnFlash512(MainState& state, const std::string& path) {
    TransferPlan plan{kFirmwareFlash,
                      512,
                      6,
                      6000,
                      1500,
                      state.Texts.MsgInfo8,
                      state.Texts.MsgInfo7 + FileNameOf(path)};
    return Transfer(state, path, plan);
}
