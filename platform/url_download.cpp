#include "platform/url_download.h"

#include "platform/pending_files.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <curl/curl.h>
#include <fcntl.h>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

struct Report {
    std::uint64_t progress = 0;
    std::uint64_t progressMax = 0;
    std::uint32_t code = 0;
    std::string text;
};

// What libcurl's callbacks leave for the loop that drives the transfer.  The callbacks only
// record; the loop reports, so the callback object never runs inside libcurl.
struct Transfer {
    CURL* easy = nullptr;
    std::string url;
    int fd = -1;
    std::uint64_t maxBytes = 0;
    std::uint64_t written = 0;
    std::uint64_t contentLength = 0;
    bool bodyStarted = false;
    bool tooLarge = false;
    int writeErrno = 0;
    Clock::time_point lastActivity;
    std::vector<Report> queue;
};

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string HostOf(const char* url) {
    std::string host;
    CURLU* parsed = curl_url();
    char* part = nullptr;
    if (parsed && url && curl_url_set(parsed, CURLUPART_URL, url, 0) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_HOST, &part, 0) == CURLUE_OK && part) {
        host = part;
    }
    curl_free(part);
    curl_url_cleanup(parsed);
    return host;
}

std::string EffectiveUrl(CURL* easy) {
    char* url = nullptr;
    curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &url);
    return url ? url : "";
}

// Called after the socket of a new connection is made, before it connects.
int OnSocketMade(void* context, curl_socket_t, curlsocktype purpose) {
    auto* t = static_cast<Transfer*>(context);
    if (purpose == CURLSOCKTYPE_IPCXN)
        t->queue.push_back({0, 0, kBindConnecting, HostOf(EffectiveUrl(t->easy).c_str())});
    return CURL_SOCKOPT_OK;
}

// Called when the connection stands, right before the request goes out.
int OnRequestReady(void* context, char*, char*, int, int) {
    auto* t = static_cast<Transfer*>(context);
    t->queue.push_back({0, 0, kBindSendingRequest, {}});
    return CURL_PREREQFUNC_OK;
}

std::size_t OnHeaderLine(char* data, std::size_t size, std::size_t count, void* context) {
    auto* t = static_cast<Transfer*>(context);
    const std::size_t bytes = size * count;
    t->lastActivity = Clock::now();
    const bool endOfHead =
        (bytes == 2 && data[0] == '\r' && data[1] == '\n') || (bytes == 1 && data[0] == '\n');
    if (!endOfHead)
        return bytes;
    long status = 0;
    curl_easy_getinfo(t->easy, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 300 && status < 400) {
        char* next = nullptr;
        curl_easy_getinfo(t->easy, CURLINFO_REDIRECT_URL, &next);
        if (next)
            t->queue.push_back({0, 0, kBindRedirecting, next});
    } else if (status >= 200 && status < 300) {
        curl_off_t length = -1;
        curl_easy_getinfo(t->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        t->contentLength = length > 0 ? static_cast<std::uint64_t>(length) : 0;
        if (t->contentLength > t->maxBytes) {
            t->tooLarge = true;
            return 0; // aborts the transfer
        }
        t->bodyStarted = true;
        t->queue.push_back({0, t->contentLength, kBindBeginDownloadData, t->url});
    }
    return bytes;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto* t = static_cast<Transfer*>(context);
    const std::size_t bytes = size * count;
    t->lastActivity = Clock::now();
    if (bytes > t->maxBytes - t->written) {
        t->tooLarge = true;
        return 0;
    }
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t n = write(t->fd, data + done, bytes - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            t->writeErrno = n < 0 ? errno : EIO;
            return 0;
        }
        done += static_cast<std::size_t>(n);
    }
    t->written += bytes;
    return bytes;
}

// The temporary file beside `path`: a fresh name made with O_EXCL, so nothing planted there is
// ever opened.
int CreateTempBeside(const std::string& path, std::string& tempPath) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // A name near the 255-byte limit leaves no room for the marks: shorten it.
    std::string pattern = dir + "." + name.substr(0, 200) + ".part-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkostemp(buffer.data(), O_CLOEXEC);
    if (fd >= 0)
        tempPath = buffer.data();
    return fd;
}

class CurlDownload {
public:
    CurlDownload() {
        InitCurlOnce();
        multi_ = curl_multi_init();
        transfer_.easy = curl_easy_init();
    }
    ~CurlDownload() {
        if (multi_ && transfer_.easy && added_)
            curl_multi_remove_handle(multi_, transfer_.easy);
        if (transfer_.easy)
            curl_easy_cleanup(transfer_.easy);
        if (multi_)
            curl_multi_cleanup(multi_);
        if (transfer_.fd >= 0)
            close(transfer_.fd);
        if (!tempPath_.empty()) {
            unlink(tempPath_.c_str());
            DropPendingFile(tempPath_);
        }
    }
    CurlDownload(const CurlDownload&) = delete;
    CurlDownload& operator=(const CurlDownload&) = delete;

    bool Run(const std::string& url, const std::string& path, IBindStatusCallback& callback,
             const UrlDownloadOptions& options, std::string& error);

private:
    bool Configure(const UrlDownloadOptions& options);
    // Delivers the queued reports in order; false when the callback aborted.
    bool Deliver(IBindStatusCallback& callback);
    bool Report(IBindStatusCallback& callback, const struct Report& report);

    CURLM* multi_ = nullptr;
    bool added_ = false;
    Transfer transfer_;
    std::string tempPath_;
    Clock::time_point lastReport_;
    std::uint64_t reportedBytes_ = 0;
};

bool CurlDownload::Configure(const UrlDownloadOptions& options) {
    CURL* e = transfer_.easy;
    bool ok = curl_easy_setopt(e, CURLOPT_URL, transfer_.url.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(e, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 1L);
    // A proxy never stands between the program and a server on this computer.
    curl_easy_setopt(e, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
    curl_easy_setopt(e, CURLOPT_USERAGENT, "quillon");
    curl_easy_setopt(e, CURLOPT_BUFFERSIZE, 128L * 1024L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.stallTimeoutMs));
    if (options.maxBytes <= static_cast<std::uint64_t>(INT64_MAX))
        curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBytes));
    curl_easy_setopt(e, CURLOPT_SOCKOPTFUNCTION, OnSocketMade);
    curl_easy_setopt(e, CURLOPT_SOCKOPTDATA, &transfer_);
    curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, OnRequestReady);
    curl_easy_setopt(e, CURLOPT_PREREQDATA, &transfer_);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeaderLine);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &transfer_);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &transfer_);
    return ok;
}

bool CurlDownload::Report(IBindStatusCallback& callback, const struct Report& report) {
    lastReport_ = Clock::now();
    return callback.OnProgress(report.progress, report.progressMax, report.code, report.text);
}

bool CurlDownload::Deliver(IBindStatusCallback& callback) {
    // The callback may take its time (it keeps a window alive): take the queue first.
    std::vector<struct Report> pending;
    pending.swap(transfer_.queue);
    for (const auto& report : pending) {
        if (!Report(callback, report))
            return false;
    }
    return true;
}

bool CurlDownload::Run(const std::string& url, const std::string& path,
                       IBindStatusCallback& callback, const UrlDownloadOptions& options,
                       std::string& error) {
    if (!multi_ || !transfer_.easy) {
        error = "the download service cannot start";
        return false;
    }
    transfer_.url = url;
    transfer_.maxBytes = options.maxBytes;
    if (!Configure(options)) {
        error = "unsupported URL";
        return false;
    }
    transfer_.fd = CreateTempBeside(path, tempPath_);
    if (transfer_.fd < 0) {
        error = std::string("cannot create a file beside ") + path + ": " + std::strerror(errno);
        return false;
    }
    AddPendingFile(tempPath_);
    if (!Report(callback, {0, 0, kBindFindingResource, HostOf(url.c_str())})) {
        error = "cancelled";
        return false;
    }
    if (curl_multi_add_handle(multi_, transfer_.easy) != CURLM_OK) {
        error = "the download service cannot start";
        return false;
    }
    added_ = true;

    const auto interval = std::chrono::milliseconds(options.reportIntervalMs);
    const auto stall = std::chrono::milliseconds(options.stallTimeoutMs);
    transfer_.lastActivity = Clock::now();
    int running = 1;
    while (running) {
        if (curl_multi_perform(multi_, &running) != CURLM_OK) {
            error = "the download service failed";
            return false;
        }
        if (!Deliver(callback)) {
            error = "cancelled";
            return false;
        }
        const auto now = Clock::now();
        const bool moved = transfer_.bodyStarted && transfer_.written != reportedBytes_;
        if (moved && (now - lastReport_ >= interval || !running)) {
            reportedBytes_ = transfer_.written;
            if (!Report(callback,
                        {transfer_.written, transfer_.contentLength, kBindDownloadingData, {}})) {
                error = "cancelled";
                return false;
            }
        }
        if (!running)
            break;
        if (Clock::now() - transfer_.lastActivity >= stall) {
            error = "the server stopped sending";
            return false;
        }
        if (Clock::now() - lastReport_ >= interval && !Report(callback, {})) {
            error = "cancelled";
            return false;
        }
        curl_multi_poll(multi_, nullptr, 0, options.reportIntervalMs, nullptr);
    }

    CURLcode result = CURLE_FAILED_INIT;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg == CURLMSG_DONE)
            result = message->data.result;
    }
    long status = 0;
    curl_easy_getinfo(transfer_.easy, CURLINFO_RESPONSE_CODE, &status);
    if (transfer_.tooLarge) {
        error = "the file is larger than announced";
        return false;
    }
    if (transfer_.writeErrno != 0) {
        error = std::string("cannot write the file: ") + std::strerror(transfer_.writeErrno);
        return false;
    }
    if (result != CURLE_OK) {
        error = curl_easy_strerror(result);
        return false;
    }
    if (status != 200) {
        error = "the server answered " + std::to_string(status);
        return false;
    }
    if (!Report(callback, {transfer_.written, transfer_.contentLength, kBindEndDownloadData,
                           transfer_.url})) {
        error = "cancelled";
        return false;
    }
    const int fd = transfer_.fd;
    transfer_.fd = -1;
    if (close(fd) != 0) {
        error = std::string("cannot write the file: ") + std::strerror(errno);
        return false;
    }
    if (rename(tempPath_.c_str(), path.c_str()) != 0) {
        error = std::string("cannot rename the file: ") + std::strerror(errno);
        return false;
    }
    DropPendingFile(tempPath_);
    tempPath_.clear();
    return true;
}

} // namespace

bool UrlDownloadToFile(const std::string& url, const std::string& path,
                       IBindStatusCallback& callback, const UrlDownloadOptions& options,
                       std::string* error) {
    std::string reason;
    CurlDownload download;
    const bool ok = download.Run(url, path, callback, options, reason);
    if (error)
        *error = reason;
    return ok;
}

} // namespace platform
