// Download speed from the test update server on loopback, against the curl command line
// fetching the same file in the same run, and what the progress reports cost.  An image of N
// MiB (served without trailer); medians of R rounds after one warm-up.
//
//   download_bench curl    [MiB, default 64] [rounds, default 5]   reports on vs curl
//   download_bench reports [MiB, default 64] [rounds, default 5]   reports on vs off
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_util.h"
#include "core/main_state.h"
#include "core/string_table.h"
#include "platform/url_download.h"
#include "upgrade/download.h"

#ifndef QUILLON_UPDATE_SERVER
#define QUILLON_UPDATE_SERVER "tools/update_server.py"
#endif

namespace {

// Stand-ins for the window that count what they are asked to do.
struct CountingGauge : IGauge {
    void SetMax(int max) override { max_ = max; }
    void SetPosition(int position) override {
        position_ = position;
        ++calls;
    }
    int Max() const override { return max_; }
    int Position() const override { return position_; }
    int max_ = 0, position_ = 0, calls = 0;
};
struct CountingLabel : IStatusLabel {
    void SetCaption(const std::u16string& text) override {
        caption = text;
        ++calls;
    }
    std::u16string Caption() const override { return caption; }
    std::u16string caption;
    int calls = 0;
};
struct CountingPump : IMessagePump {
    void PumpMessages() override { ++calls; }
    int calls = 0;
};

// The progress object of a download with the time spent inside its reports added up.
struct TimedCallback : platform::IBindStatusCallback {
    TimedCallback(DownloadProgressHandler handler, void* context, IMessagePump* pump)
        : inner(handler, context, pump) {}
    bool OnProgress(std::uint64_t progress, std::uint64_t progressMax, std::uint32_t code,
                    const std::string& text) override {
        const double t = bench::Now();
        const bool go = inner.OnProgress(progress, progressMax, code, text);
        spent += bench::Now() - t;
        ++count;
        return go;
    }
    TCallback inner;
    double spent = 0;
    int count = 0;
};

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "curl";
    const std::size_t mib = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 64;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    if (mode != "curl" && mode != "reports") {
        std::fprintf(stderr, "usage: download_bench curl|reports [MiB] [rounds]\n");
        return 2;
    }
    const std::size_t bytes = mib << 20;
    const std::string dir = bench::MakeScratch("quillon-download-bench");
    if (dir.empty() || bench::Run({"mkdir", dir + "/images", dir + "/out"}) != 0 ||
        !bench::WriteRandomFile(dir + "/images/image.bin", bytes)) {
        std::fprintf(stderr, "cannot prepare the image\n");
        return 1;
    }
    bench::Child server;
    std::string ready;
    if (!server.Start({"python3", "-B", QUILLON_UPDATE_SERVER, "--port", "0", "--images",
                       dir + "/images", "--no-trailer", "--log", dir + "/requests.jsonl"}) ||
        !server.ReadLine(ready) || ready.rfind("READY ", 0) != 0) {
        std::fprintf(stderr, "the update server did not start\n");
        return 1;
    }
    const std::string url =
        "http://127.0.0.1:" + ready.substr(6) + "/quillon/images/image.bin?handle=1";
    const std::string local = dir + "/out/image.bin";

    for (int n = 0; n <= kProgressTextCount; ++n)
        ProgressTexts[static_cast<std::size_t>(n)] =
            kProgressTextDefaults[static_cast<std::size_t>(n)];
    CountingGauge gauge;
    CountingLabel label;
    CountingPump pump;
    MainState state;
    state.CurrentGauge = &gauge;
    state.CurrentStatusLabel = &label;
    state.Pump = &pump;

    std::vector<double> on, other, inside;
    int reports = 0;
    // Reports on: the upgrade's own handler driving the window stand-ins, a pump after each.
    const auto ours = [&]() {
        TimedCallback callback(OnDownloadProgress, &state, &pump);
        platform::UrlDownloadOptions options;
        options.maxBytes = bytes;
        const double t = bench::Now();
        const bool ok = platform::UrlDownloadToFile(url, local, callback, options);
        const double took = bench::Now() - t;
        reports = callback.count;
        inside.push_back(callback.spent);
        return ok ? took : -1.0;
    };
    // Reports off: no handler, no pump.  Or the curl command line.
    const auto theirs = [&]() {
        const double t = bench::Now();
        const bool ok = mode == "curl" ? bench::Run({"curl", "-s", "-f", "-o", local, url}) == 0
                                       : DownloadUrlToFile(url, local, nullptr, nullptr,
                                                           DownloadOptions{bytes});
        return ok ? bench::Now() - t : -1.0;
    };
    for (int round = 0; round <= rounds; ++round) {
        // Alternate which goes first, so that neither always meets a warmer cache.
        double a = 0, b = 0;
        if (round % 2 == 0) {
            a = ours();
            b = theirs();
        } else {
            b = theirs();
            a = ours();
        }
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "a download failed\n");
            return 1;
        }
        if (round == 0) {
            inside.clear();
            continue; // warm-up
        }
        on.push_back(a);
        other.push_back(b);
    }
    server.Finish();
    bench::RemoveTree(dir);

    const double mb = static_cast<double>(bytes) / 1e6;
    std::printf("image of %zu MiB from the test update server on loopback, median of %d rounds\n",
                mib, rounds);
    std::printf("download, reports on      %8.1f MB/s  (%d reports, each pumping the window)\n",
                mb / bench::Median(on), reports);
    if (mode == "curl") {
        std::printf("curl command line         %8.1f MB/s\n", mb / bench::Median(other));
        std::printf("ratio                     %8.2f (goal: at least 0.90)\n",
                    bench::Median(other) / bench::Median(on));
    } else {
        std::printf("download, reports off     %8.1f MB/s\n", mb / bench::Median(other));
        std::printf("difference                %8.1f ms per download (wall clock, noisy)\n",
                    (bench::Median(on) - bench::Median(other)) * 1e3);
        std::printf("time inside the reports   %8.3f ms per download, %.1f us per report\n",
                    bench::Median(inside) * 1e3, bench::Median(inside) * 1e6 / reports);
    }
    return 0;
}
