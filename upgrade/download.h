#pragma once
// Downloading an image announced by the update server into the private temporary folder, with
// progress in the window's current status label and gauge.
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "platform/url_download.h"

struct MainState;
class IMessagePump;

// The progress handler: `context` as given to DownloadUrlToFile; `progress` and `progressMax`
// the byte counts of the service; `cancel` false on entry, set to abort; `text` the status text
// (UTF-8); `statusCode` the bind-status code.
using DownloadProgressHandler = void (*)(void* context, std::uint32_t progress,
                                         std::uint32_t progressMax, bool& cancel,
                                         const std::string& text, std::uint32_t statusCode);

// The download fails when no byte arrives for this long.  A setting; tests shorten it.
extern int DownloadStallTimeoutMs;

// The text of a progress report: the code's download-status text (ProgressTexts), followed by a
// blank and the service's text for codes 1, 2, 4 and 6; empty for code 0 and codes above 33.
std::string ProgressText(std::uint32_t statusCode, const std::string& serviceText);

// The progress object of one download: builds each report's text, remembers the last code,
// calls the handler, lets the window run, and aborts when the handler sets `cancel`.
class TCallback : public platform::IBindStatusCallback {
public:
    TCallback(DownloadProgressHandler handler, void* context, IMessagePump* pump)
        : handler_(handler), context_(context), pump_(pump) {}
    bool OnProgress(std::uint64_t progress, std::uint64_t progressMax, std::uint32_t statusCode,
                    const std::string& statusText) override;
    std::uint32_t LastStatus() const { return lastStatus_; }

private:
    std::uint32_t lastStatus_ = 0;
    DownloadProgressHandler handler_;
    void* context_;
    IMessagePump* pump_;
};

struct DownloadOptions {
    // The file may not grow past this many bytes.
    std::uint64_t maxBytes = std::numeric_limits<std::uint64_t>::max();
    IMessagePump* pump = nullptr; // runs the window's events after every report
    int stallTimeoutMs = -1;      // -1: DownloadStallTimeoutMs
};

// Fetches `url` into `localFile` (see platform::UrlDownloadToFile: a failure leaves no partial
// file under that name).  True when the service succeeded and the last report was code 6.
bool DownloadUrlToFile(const std::string& url, const std::string& localFile,
                       DownloadProgressHandler handler, void* context,
                       const DownloadOptions& options = {});

// The handler of the upgrade downloads; `context` is the MainState.  Shows a non-empty text in
// CurrentStatusLabel; sets CurrentGauge's maximum at code 4 (RomDownloadSize + FlashDownloadSize
// while DownloadPhase is not 0, else progressMax) and its position at code 5 (RomDownloadSize +
// progress in DownloadPhase 2, else progress); sets `cancel` when CloseRequested.
void OnDownloadProgress(void* context, std::uint32_t progress, std::uint32_t progressMax,
                        bool& cancel, const std::string& text, std::uint32_t statusCode);

// Whether `name` may be a file name in the temporary folder: not empty, not "." or "..", at most
// 255 bytes, without "/", "\" or control characters.
bool IsPlainFileName(std::string_view name);

// Downloads the image at `serverPath` (beginning with "/") from the update server into the
// temporary folder under the part of the path after its last "/", at most `announcedSize` bytes.
// Returns the local file's full path, or "" when the path or its name is unusable, the temporary
// folder is unavailable, or the download failed or was cancelled (CloseRequested).
std::string DownloadFirmwareFile(MainState& state, const std::string& serverPath,
                                 std::int64_t announcedSize);
