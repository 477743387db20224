#pragma once
// Downloading a URL into a file (libcurl), reporting its progress as bind-status codes to a
// callback object that can abort it.  Runs on the calling thread and returns when the download
// has ended; the callback hears from it often enough to keep a window alive.
#include <cstdint>
#include <limits>
#include <string>

namespace platform {

// The bind-status codes this service reports.
enum BindStatus : std::uint32_t {
    kBindFindingResource = 1,   // text: the host name
    kBindConnecting = 2,        // text: the host name
    kBindRedirecting = 3,       // text: the new location
    kBindBeginDownloadData = 4, // text: the URL; progressMax: the announced length or 0
    kBindDownloadingData = 5,
    kBindEndDownloadData = 6, // text: the URL
    kBindSendingRequest = 11,
};

class IBindStatusCallback {
public:
    virtual ~IBindStatusCallback() = default;
    // One report; false aborts the download.  `statusText` is the service's own text for the
    // code, or empty.  While nothing else happens (connecting, waiting for the server, a stall)
    // reports with code 0 and no text arrive every report interval, so that the caller can keep
    // its window alive and abort.
    virtual bool OnProgress(std::uint64_t progress, std::uint64_t progressMax,
                            std::uint32_t statusCode, const std::string& statusText) = 0;
};

struct UrlDownloadOptions {
    // The file may not grow past this many bytes; a larger body fails the download.
    std::uint64_t maxBytes = std::numeric_limits<std::uint64_t>::max();
    // The download fails when no byte arrives for this long (connecting included).
    int stallTimeoutMs = 30000;
    // Reports of code 5 come at most this often (the first and last always), and the idle
    // reports of code 0 this often.
    int reportIntervalMs = 25;
};

// Fetches `url` (http or https, at most five redirects) into `path`.  The body goes into a new
// file beside `path` that is renamed to `path` only after the whole body arrived with status 200
// and the last report (code 6) was not aborted.  On any failure `path` is left as it was and the
// partial file is removed.  A symbolic link at `path` is replaced, never followed.  `error`, when
// given, receives a short reason on failure.
bool UrlDownloadToFile(const std::string& url, const std::string& path,
                       IBindStatusCallback& callback, const UrlDownloadOptions& options = {},
                       std::string* error = nullptr);

} // namespace platform
