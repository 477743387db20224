#pragma once
// The Local Upgrade page's rows: each burns one image file chosen from disk into the ScanTool,
// exactly as it is stored (no size or digest check, no trailer removed).
#include <cstdint>
#include <string>

struct MainState;
class IUpgradeWindow;

// The file dialog filters of the rows, in Qt's form.
inline constexpr const char* kRomFileFilter = "ROM files (*.rom);;All files (*)";
inline constexpr const char* kFlashFileFilter = "FLASH files (*.fls);;All files (*)";

// Row 1 burns a ROM, row 2 a FLASH and row 3 a LOGO image: the row number is the FirmwareKind.
const char* LocalRowFileFilter(int row);

// The Update button of row `row` (1-3) with the row's path edit holding `path`: checks the
// file, enters the row's busy state, asks for the device information, sends the notices
// ("0.0.0" for both versions, one image, the file's size) and burns the file; shows one
// message; leaves the busy state and lets the connection monitor find the ScanTool again.
// True when "Upgrade finished!" was shown.
bool LocalBurn(MainState& state, IUpgradeWindow& window, int row, const std::string& path);

// The file's size in bytes as the row measures it: 0 when it cannot be opened.
std::uint32_t MeasureFileSize(const std::string& path);
