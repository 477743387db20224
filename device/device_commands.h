#pragma once
// The request/response transactions with the ScanTool: device information, the two notices
// before a burn, and the device ID query and setting.  Each returns true when the ScanTool's
// reply was accepted, retries on its own, and stops early when the window is closing.
#include <cstdint>
#include <string>

struct MainState;

// Block sizes reported by the last accepted device-information reply; 0 before the first one.
extern std::uint16_t RomBlockSize;
extern std::uint16_t FlashBlockSize;

// FirmwareKind values.
inline constexpr std::uint8_t kFirmwareRom = 1;
inline constexpr std::uint8_t kFirmwareFlash = 2;
inline constexpr std::uint8_t kFirmwareLogo = 3;

// Fills the four caller buffers (at least 11 bytes each, zero-filled by the caller) with exactly
// 10 bytes each: type, subtype, ROM version and FLASH version.  Sets RomBlockSize and
// FlashBlockSize (512 for the short reply form).
bool RequestDeviceInfo(MainState& state, char* type, char* subtype, char* romVersion,
                       char* flashVersion);

// Tells the ScanTool the versions about to be burned and how many images follow.
bool NotifyLatestVersion(MainState& state, const char* type, const char* subtype,
                         const char* romVersion, const char* flashVersion, std::uint8_t imageCount);

// Announces the size in bytes of the image of `kind` that the next transfer sends.
bool NotifyFirmwareSize(MainState& state, std::uint8_t kind, std::uint32_t size);

// Reads the 12-byte device ID into `id` and stores a NUL after it (13 bytes in all).
bool RequestDeviceId(MainState& state, char* id);

// Writes the 12 bytes at `id` as the new device ID.
bool SetDeviceId(MainState& state, const char* id);

// The acceptance rule for a reply of `received` bytes: exactly the expected length, one valid
// "$$" frame of exactly that length, the request's group + 0x40 and sub-command, and status 0
// at offset 6 when the reply has a status byte.
bool AcceptReply(const std::uint8_t* reply, unsigned received, unsigned expected,
                 std::uint8_t group, std::uint8_t subCommand, bool hasStatus);

// Shows `text` in the current status label, if one is chosen, and lets the window draw it.
void ShowProgressText(MainState& state, const std::u16string& text);
