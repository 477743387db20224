#include "upgrade/download.h"

#include <algorithm>
#include <climits>

#include "core/main_state.h"
#include "core/string_table.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/text_codec.h"
#include "upgrade/update_server.h"

int DownloadStallTimeoutMs = 30000;

namespace {

std::uint32_t Clamp32(std::uint64_t value) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, UINT32_MAX));
}

int ClampInt(long long value) {
    return static_cast<int>(std::clamp<long long>(value, 0, INT_MAX));
}

} // namespace

std::string ProgressText(std::uint32_t statusCode, const std::string& serviceText) {
    if (statusCode == 0 || statusCode > static_cast<std::uint32_t>(kProgressTextCount))
        return {};
    std::string text = platform::Utf16ToUtf8(ProgressTexts[statusCode]);
    // Codes 1, 4 and 6 name their object; "Connecting to" (2) reads as if it did too, so it
    // names the host.
    if (statusCode == platform::kBindFindingResource || statusCode == platform::kBindConnecting ||
        statusCode == platform::kBindBeginDownloadData ||
        statusCode == platform::kBindEndDownloadData)
        text += " " + serviceText;
    return text;
}

bool TCallback::OnProgress(std::uint64_t progress, std::uint64_t progressMax,
                           std::uint32_t statusCode, const std::string& statusText) {
    const std::string text = ProgressText(statusCode, statusText);
    lastStatus_ = statusCode;
    if (!handler_)
        return true;
    bool cancel = false;
    handler_(context_, Clamp32(progress), Clamp32(progressMax), cancel, text, statusCode);
    if (pump_)
        pump_->PumpMessages();
    return !cancel;
}

bool DownloadUrlToFile(const std::string& url, const std::string& localFile,
                       DownloadProgressHandler handler, void* context,
                       const DownloadOptions& options) {
    TCallback callback(handler, context, options.pump);
    platform::UrlDownloadOptions service;
    service.maxBytes = options.maxBytes;
    service.stallTimeoutMs =
        options.stallTimeoutMs >= 0 ? options.stallTimeoutMs : DownloadStallTimeoutMs;
    const bool ok = platform::UrlDownloadToFile(url, localFile, callback, service);
    return ok && callback.LastStatus() == platform::kBindEndDownloadData;
}

void OnDownloadProgress(void* context, std::uint32_t progress, std::uint32_t progressMax,
                        bool& cancel, const std::string& text, std::uint32_t statusCode) {
    auto& state = *static_cast<MainState*>(context);
    if (!text.empty() && state.CurrentStatusLabel) {
        const auto wide = platform::Utf8ToUtf16(text);
        state.CurrentStatusLabel->SetCaption(wide ? *wide : platform::Latin1ToUtf16(text));
    }
    if (statusCode == platform::kBindBeginDownloadData && state.CurrentGauge) {
        state.CurrentGauge->SetMax(
            state.DownloadPhase != 0
                ? ClampInt(static_cast<long long>(state.RomDownloadSize) + state.FlashDownloadSize)
                : ClampInt(progressMax));
    }
    if (statusCode == platform::kBindDownloadingData && state.CurrentGauge) {
        state.CurrentGauge->SetPosition(
            state.DownloadPhase == 2
                ? ClampInt(static_cast<long long>(state.RomDownloadSize) + progress)
                : ClampInt(progress));
    }
    if (state.CloseRequested)
        cancel = true;
}

bool IsPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.size() > 255)
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '/' || c == '\\' || u < 0x20 || u == 0x7F;
    });
}

std::string DownloadFirmwareFile(MainState& state, const std::string& serverPath,
                                 std::int64_t announcedSize) {
    const std::size_t slash = serverPath.rfind('/');
    // A path that does not begin with "/" would run into the host name in the URL.
    if (slash == std::string::npos || serverPath.front() != '/')
        return {};
    const std::string name = serverPath.substr(slash + 1);
    if (!IsPlainFileName(name))
        return {};
    const std::string folder = platform::TempDir();
    if (folder.empty())
        return {};
    const std::string localFile = folder + name;
    const std::string url = "http://" + UpdateServerHost() + serverPath +
                            "?handle=" + std::to_string(platform::CalendarSeconds());
    DownloadOptions options;
    options.maxBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(announcedSize, 0));
    options.pump = state.Pump;
    if (!DownloadUrlToFile(url, localFile, OnDownloadProgress, &state, options))
        return {};
    return localFile;
}
