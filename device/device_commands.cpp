#include "device/device_commands.h"

#include "core/main_state.h"
#include "device/frame_codec.h"
#include "device/sync_uart.h"

#include <cstring>

std::uint16_t RomBlockSize = 0;
std::uint16_t FlashBlockSize = 0;

namespace {

constexpr int kAttempts = 3;
constexpr unsigned kPollMs = 50;
constexpr unsigned kNoticeTimeoutMs = 2500;
constexpr unsigned kIdTimeoutMs = 1500;
constexpr unsigned kDeviceInfoLong = 54;
constexpr unsigned kDeviceInfoShort = 50;

// Runs up to three attempts of one request; `accept` judges each reply and extracts what it
// carries.  Stops before an attempt when the window is closing.
template <typename Accept>
bool Transact(MainState& state, const std::uint8_t* request, int requestLength, std::uint8_t* reply,
              unsigned replyLength, unsigned timeoutMs, Accept accept) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (state.CloseRequested || state.Uart == nullptr)
            return false;
        std::memset(reply, 0, replyLength);
        const unsigned received = state.Uart->SyncRequest(
            request, static_cast<unsigned>(requestLength), reply, replyLength, timeoutMs, kPollMs);
        if (accept(received))
            return true;
    }
    return false;
}

// A bounded copy of a NUL-terminated text into a 10-byte field, NUL-padded.
void CopyField(std::uint8_t* field, const char* text) {
    std::size_t n = 0;
    while (text != nullptr && n < 10 && text[n] != '\0') {
        field[n] = static_cast<std::uint8_t>(text[n]);
        ++n;
    }
    std::memset(field + n, 0, 10 - n);
}

// The reply field as received: characters up to the first NUL, then NULs; exactly 10 bytes.
void ExtractField(char* out, const std::uint8_t* field) {
    std::size_t n = 0;
    while (n < 10 && field[n] != 0) {
        out[n] = static_cast<char>(field[n]);
        ++n;
    }
    std::memset(out + n, 0, 10 - n);
}

} // namespace

bool AcceptReply(const std::uint8_t* reply, unsigned received, unsigned expected,
                 std::uint8_t group, std::uint8_t subCommand, bool hasStatus) {
    if (received != expected || received < static_cast<unsigned>(kFrameOverhead))
        return false;
    if (reply[4] != static_cast<std::uint8_t>(group + 0x40) || reply[5] != subCommand)
        return false;
    if (hasStatus && reply[6] != 0)
        return false;
    // One whole frame: a shorter valid frame followed by stray bytes is not the reply.
    return ValidateFrame(reply, static_cast<int>(received)) == static_cast<int>(received);
}

void ShowProgressText(MainState& state, const std::u16string& text) {
    if (state.CurrentStatusLabel != nullptr)
        state.CurrentStatusLabel->SetCaption(text);
    if (state.Pump != nullptr)
        state.Pump->PumpMessages();
}

bool RequestDeviceInfo(MainState& state, char* type, char* subtype, char* romVersion,
                       char* flashVersion) {
    std::uint8_t request[kFrameOverhead];
    const int length = BuildFrame(request, 0x0103, nullptr, 0);
    ShowProgressText(state, state.Texts.MsgInfo9);

    std::uint8_t reply[kDeviceInfoLong];
    return Transact(state, request, length, reply, kDeviceInfoLong, kNoticeTimeoutMs,
                    [&](unsigned received) {
                        if (received != kDeviceInfoLong && received != kDeviceInfoShort)
                            return false;
                        if (!AcceptReply(reply, received, received, 0x03, 0x01, false))
                            return false;
                        ExtractField(type, reply + 6);
                        ExtractField(subtype, reply + 16);
                        ExtractField(romVersion, reply + 26);
                        ExtractField(flashVersion, reply + 36);
                        RomBlockSize = 512;
                        FlashBlockSize = 512;
                        if (received == kDeviceInfoLong) {
                            RomBlockSize = static_cast<std::uint16_t>(reply[46] | reply[47] << 8);
                            FlashBlockSize = static_cast<std::uint16_t>(reply[48] | reply[49] << 8);
                        }
                        return true;
                    });
}

bool NotifyLatestVersion(MainState& state, const char* type, const char* subtype,
                         const char* romVersion, const char* flashVersion,
                         std::uint8_t imageCount) {
    std::uint8_t payload[41];
    payload[0] = imageCount;
    CopyField(payload + 1, type);
    CopyField(payload + 11, subtype);
    CopyField(payload + 21, romVersion);
    CopyField(payload + 31, flashVersion);
    std::uint8_t request[sizeof payload + kFrameOverhead];
    const int length = BuildFrame(request, 0x0203, payload, sizeof payload);
    ShowProgressText(state, state.Texts.MsgInfo10);

    std::uint8_t reply[11];
    return Transact(state, request, length, reply, sizeof reply, kNoticeTimeoutMs,
                    [&](unsigned received) {
                        return AcceptReply(reply, received, sizeof reply, 0x03, 0x02, true);
                    });
}

bool NotifyFirmwareSize(MainState& state, std::uint8_t kind, std::uint32_t size) {
    const std::uint8_t payload[5] = {
        kind, static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8),
        static_cast<std::uint8_t>(size >> 16), static_cast<std::uint8_t>(size >> 24)};
    std::uint8_t request[sizeof payload + kFrameOverhead];
    const int length = BuildFrame(request, 0x0303, payload, sizeof payload);
    ShowProgressText(state, state.Texts.MsgInfo11);

    std::uint8_t reply[11];
    return Transact(state, request, length, reply, sizeof reply, kNoticeTimeoutMs,
                    [&](unsigned received) {
                        return AcceptReply(reply, received, sizeof reply, 0x03, 0x03, true);
                    });
}

bool RequestDeviceId(MainState& state, char* id) {
    std::uint8_t request[kFrameOverhead];
    const int length = BuildFrame(request, 0x0102, nullptr, 0);
    std::uint8_t reply[22];
    return Transact(state, request, length, reply, sizeof reply, kIdTimeoutMs,
                    [&](unsigned received) {
                        if (!AcceptReply(reply, received, sizeof reply, 0x02, 0x01, false))
                            return false;
                        std::memcpy(id, reply + 6, 12);
                        id[12] = '\0';
                        return true;
                    });
}

bool SetDeviceId(MainState& state, const char* id) {
    std::uint8_t payload[12];
    std::memcpy(payload, id, sizeof payload);
    std::uint8_t request[sizeof payload + kFrameOverhead];
    const int length = BuildFrame(request, 0x0202, payload, sizeof payload);
    std::uint8_t reply[11];
    return Transact(state, request, length, reply, sizeof reply, kIdTimeoutMs,
                    [&](unsigned received) {
                        return AcceptReply(reply, received, sizeof reply, 0x02, 0x02, true);
                    });
}
