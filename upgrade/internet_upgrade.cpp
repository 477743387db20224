#include "upgrade/internet_upgrade.h"

#include "core/main_state.h"
#include "device/device_commands.h"
#include "device/image_transfer.h"
#include "upgrade/download.h"
#include "upgrade/image_check.h"
#include "upgrade/update_server.h"
#include "upgrade/upgrade_window.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace {

constexpr int kInternetUpgradeMode = 10;

// One image of the offer on its way from the server into the ScanTool, with the texts of its
// kind.
struct Image {
    std::uint8_t kind;
    bool newer;
    std::string serverPath;
    std::int32_t offeredSize; // as stored on the server, trailer included
    std::u16string StringTable::*downloading;
    std::u16string StringTable::*downloadFailed;
    std::u16string StringTable::*sizeFailed;
    std::u16string StringTable::*digestFailed;
    std::u16string StringTable::*burnFailed;
    std::string localPath = {};
    std::uint32_t burnSize = 0; // bytes as burned and announced: without a cut trailer
};

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string_view FileName(std::string_view serverPath) {
    const std::size_t slash = serverPath.rfind('/');
    return slash == std::string_view::npos ? serverPath : serverPath.substr(slash + 1);
}

// Shows a failure and ends the run.
bool Fail(const MainState& state, const std::u16string& text) {
    ShowTextMessage(state, text);
    return false;
}

// Downloads one image and checks its size and digest; cuts a trailer off and takes it off the
// sizes to announce and to count on the gauge.  False after the image's failure message: an
// image that failed a check is never burned.
bool Fetch(MainState& state, IUpgradeWindow& window, Image& image, std::int32_t& gaugeSize) {
    const StringTable& texts = state.Texts;
    window.SetStatusText(texts.*image.downloading);
    image.localPath = DownloadFirmwareFile(state, image.serverPath, image.offeredSize);
    if (image.localPath.empty() || !IsRegularFile(image.localPath))
        return Fail(state, texts.*image.downloadFailed);
    if (CheckFileSize(image.localPath, image.offeredSize) != 0)
        return Fail(state, texts.*image.sizeFailed);
    image.burnSize = static_cast<std::uint32_t>(image.offeredSize);
    switch (CheckMd5Trailer(image.localPath)) {
    case -1:
        return Fail(state, texts.*image.digestFailed);
    case 0:
        image.burnSize -= kMd5TrailerSize;
        gaugeSize -= static_cast<std::int32_t>(kMd5TrailerSize);
        break;
    default:
        break;
    }
    return true;
}

// Steps 4 to 20 of a run: true when "Upgrade finished!" was shown.
bool RunSteps(MainState& state, IUpgradeWindow& window) {
    const StringTable& texts = state.Texts;
    char type[11] = {};
    char subtype[11] = {};
    char romVersion[11] = {};
    char flashVersion[11] = {};
    if (!RequestDeviceInfo(state, type, subtype, romVersion, flashVersion))
        return Fail(state, texts.MsgError13);
    UpgradeOffer offer;
    if (!RequestUpgradeOffer(state, type, subtype, offer))
        return Fail(state, texts.MsgError15);

    Image rom{kFirmwareRom,
              CompareVersions(offer.RomVersion, romVersion) > 0,
              offer.RomPath,
              offer.RomSize,
              &StringTable::MsgInfo3,
              &StringTable::MsgError18,
              &StringTable::MsgError27,
              &StringTable::MsgError28,
              &StringTable::MsgError8};
    Image flash{kFirmwareFlash,           CompareVersions(offer.FlashVersion, flashVersion) > 0,
                offer.FlashPath,          offer.FlashSize,
                &StringTable::MsgInfo4,   &StringTable::MsgError19,
                &StringTable::MsgError29, &StringTable::MsgError30,
                &StringTable::MsgError9};
    const auto imageCount = static_cast<std::uint8_t>(int{rom.newer} + int{flash.newer});
    // Sent even when nothing is newer: the ScanTool learns the server's versions either way.
    if (!NotifyLatestVersion(state, type, subtype, offer.RomVersion.c_str(),
                             offer.FlashVersion.c_str(), imageCount))
        return Fail(state, texts.MsgError12);
    if (imageCount == 0)
        return Fail(state, texts.MsgError17);

    // Both downloads and both checks come before any burn, so a bad FLASH image keeps the ROM
    // image from being burned too.
    if (rom.newer) {
        if (flash.newer) {
            // Both downloads share one gauge run.
            state.DownloadPhase = 1;
            state.RomDownloadSize = offer.RomSize;
            state.FlashDownloadSize = offer.FlashSize;
        }
        if (!Fetch(state, window, rom, state.RomDownloadSize))
            return false;
        // Both images would land under one name in the temporary folder: the checked ROM image
        // moves aside, so that the FLASH download cannot take its place.
        if (flash.newer && FileName(rom.serverPath) == FileName(flash.serverPath)) {
            const std::string aside = rom.localPath + ".rom";
            if (std::rename(rom.localPath.c_str(), aside.c_str()) != 0)
                return Fail(state, texts.MsgError18);
            rom.localPath = aside;
        }
    }
    if (flash.newer) {
        if (state.DownloadPhase != 0)
            state.DownloadPhase = 2;
        if (!Fetch(state, window, flash, state.FlashDownloadSize))
            return false;
    }

    // ROM before FLASH, each announced right before its blocks.  A refused size notice skips
    // only that image; a failed burn ends the run.
    int burned = 0;
    for (const Image* image : {&rom, &flash}) {
        if (!image->newer)
            continue;
        if (!NotifyFirmwareSize(state, image->kind, image->burnSize)) {
            ShowTextMessage(state, texts.MsgError11);
            continue;
        }
        if (!BurnImage(state, image->kind, image->localPath))
            return Fail(state, texts.*image->burnFailed);
        ++burned;
    }
    if (burned == 0)
        return false;
    ShowTextMessage(state, texts.MsgInfo2);
    return true;
}

} // namespace

bool InternetUpgrade(MainState& state, IUpgradeWindow& window) {
    // The controls are disabled while any operation runs; a click that slipped through changes
    // nothing.
    if (state.BusyMode != 0)
        return false;
    if (!state.InternetConnected)
        return Fail(state, state.Texts.MsgError16);
    // The upload recorder must not read the replies meant for the upgrade.
    window.SetUartReadDebugTimerEnabled(false);
    window.SetUpgradeBusy(kInternetUpgradeMode);
    const bool finished = RunSteps(state, window);
    // The end, on every path.
    state.DownloadPhase = 0;
    window.SetUpgradeBusy(0);
    // Finds the ScanTool again (pulled or restarted meanwhile), restores the status line and
    // the upload recorder's poll.
    window.CheckConnection();
    return finished;
}
