#pragma once
// Burning an image file into the ScanTool block by block with the firmware block command, each
// block acknowledged before the next one leaves.
#include <cstdint>
#include <string>

struct MainState;

// Largest block that fits the 5120-byte frame buffer with the frame's 13 bytes around it.
inline constexpr unsigned kMaxBlockSize = 5107;

// Sends the file at `path` as an image of FirmwareKind `kind` (1 ROM, 2 FLASH, 3 LOGO) with the
// block size of that kind.  True when the whole file was sent and every block acknowledged;
// false when the file cannot be read, the block size is unusable (0 or above kMaxBlockSize), a
// block failed five attempts, or the window is closing.
bool BurnImage(MainState& state, std::uint8_t kind, const std::string& path);

// The maintenance variant: always FLASH in blocks of 512, six attempts per block, a long first
// wait while the ScanTool erases, and the file's name in the status text once burning starts.
bool BurnFlash512(MainState& state, const std::string& path);
