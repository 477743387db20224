#include "upgrade/local_upgrade.h"

#include "core/main_state.h"
#include "device/device_commands.h"
#include "device/image_transfer.h"
#include "upgrade/upgrade_window.h"

#include <cstdint>
#include <cstdio>
#include <sys/stat.h>

namespace {

// A path that names an existing regular file (a folder is no image) whose size the 32-bit size
// notice can announce.
bool IsBurnableFile(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           static_cast<unsigned long long>(info.st_size) <= UINT32_MAX;
}

const std::u16string& RowFailure(const StringTable& texts, int row) {
    switch (row) {
    case 1:
        return texts.MsgError8;
    case 2:
        return texts.MsgError9;
    default:
        return texts.MsgError10;
    }
}

} // namespace

const char* LocalRowFileFilter(int row) {
    return row == 1 ? kRomFileFilter : kFlashFileFilter;
}

std::uint32_t MeasureFileSize(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return 0;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        size = std::ftell(file);
    std::fclose(file);
    return size > 0 ? static_cast<std::uint32_t>(size) : 0;
}

bool LocalBurn(MainState& state, IUpgradeWindow& window, int row, const std::string& path) {
    if (row < 1 || row > 3)
        return false;
    const StringTable& texts = state.Texts;
    if (!IsBurnableFile(path)) {
        ShowTextMessage(state, texts.MsgError14);
        return false;
    }
    const std::uint32_t size = MeasureFileSize(path);
    const auto kind = static_cast<std::uint8_t>(row);

    window.SetUpgradeBusy(row);
    bool finished = false;
    char type[11] = {};
    char subtype[11] = {};
    char romVersion[11] = {};
    char flashVersion[11] = {};
    if (!RequestDeviceInfo(state, type, subtype, romVersion, flashVersion))
        ShowTextMessage(state, texts.MsgError13);
    else if (!NotifyLatestVersion(state, type, subtype, "0.0.0", "0.0.0", 1))
        ShowTextMessage(state, texts.MsgError12);
    else if (!NotifyFirmwareSize(state, kind, size))
        ShowTextMessage(state, texts.MsgError11);
    else if (BurnImage(state, kind, path)) {
        ShowTextMessage(state, texts.MsgInfo2);
        finished = true;
    } else {
        ShowTextMessage(state, RowFailure(texts, row));
    }
    window.SetUpgradeBusy(0);
    // A ScanTool that was pulled or restarted during the burn is found and opened again.
    if (!state.CloseRequested)
        window.CheckConnection();
    return finished;
}
