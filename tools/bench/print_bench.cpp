// Speed and memory of the Print page, with the real pane and chart on Qt's offscreen platform:
//   (a) a print stream at the line rate (11 520 bytes/s of text and colour escapes in 15 ms
//       polls): CPU time as a share of one core;
//   (b) a 5 MB report streamed as fast as the poll can take it: the longest event-loop stall
//       and the memory the pane holds afterwards, against the text's size;
//   (c) a watchdog tick that draws a million new samples, with the chart's redraw, and a repaint
//       of a page of a million samples.
//   print_bench [seconds of (a), default 10] [cases, any of "abc"]
#include "core/main_state.h"
#include "graphics/ui/skin_scroll_bars.h"
#include "reception/frame_reassembler.h"
#include "reception/print_text.h"
#include "reception/ui/rich_text_pane.h"
#include "reception/ui/wave_chart.h"
#include "reception/wave_capture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

double Seconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}
double CpuSeconds() {
    return Seconds(CLOCK_PROCESS_CPUTIME_ID);
}
double ThreadCpuSeconds() {
    return Seconds(CLOCK_THREAD_CPUTIME_ID);
}

// Resident memory in kB ("VmRSS") of this process.
long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        long value = 0;
        if (key == "VmRSS:" && status >> value)
            return value;
    }
    return 0;
}

// A report of `size` bytes: lines of text, every third one after a colour escape.
Bytes Report(std::size_t size) {
    Bytes out;
    out.reserve(size + 100);
    for (int line = 0; out.size() < size; ++line) {
        if (line % 3 == 0) {
            const std::uint8_t k = static_cast<std::uint8_t>(1 + line % 9);
            out.insert(out.end(), {0x00, '$', '$', k, static_cast<std::uint8_t>(0x48 + k)});
        }
        char text[96];
        const int n = std::snprintf(text, sizeof text,
                                    "%05d Battery 12.%02d V  CCA %3d A  internal 4.%d m\x7f\r\n",
                                    line, line % 100, 400 + line % 200, line % 10);
        out.insert(out.end(), text, text + n);
    }
    out.resize(size);
    return out;
}

struct NullSink final : IWaveFrameSink {
    void AppendWaveSamples(const std::uint8_t*, int) override {}
    void FinishWaveCapture() override {}
};

struct NullView final : IWaveView {
    bool ChartVisible() const override { return true; }
    void ShowChart(bool) override {}
    bool WatchdogEnabled() const override { return true; }
    void SetWatchdogEnabled(bool) override {}
    void SetTrackBarMax(int) override {}
    void SetTrackBarPosition(int) override {}
    void SetSampleStatCaption(const std::u16string&) override {}
    void ChartChanged() override {}
};

// The text path as the poll drives it, into a shown pane of the Print page's size.
struct TextPage {
    TextPage() {
        // The Print page's pane as the skin sets it up.
        pane.resize(921, 425);
        pane.setFrameShape(QFrame::NoFrame);
        QFont font = pane.font();
        font.setPointSize(12);
        pane.setFont(font);
        QPalette palette = pane.palette();
        palette.setColor(QPalette::Base, QColor(2, 33, 81));
        pane.setPalette(palette);
        ApplySkinScrollBars(&pane);
        pane.show();
    }
    void Poll(const std::uint8_t* chunk, int count) {
        reassembler.AssembleDeviceFrames(chunk, count);
        renderer.ProcessPrintChunk(chunk, count);
    }
    MainState state;
    TRichTextPane pane;
    NullSink sink;
    FrameReassembler reassembler{sink};
    PrintTextRenderer renderer{state, pane};
};

void LineRate(int seconds) {
    TextPage page;
    const Bytes report = Report(11520 * static_cast<std::size_t>(seconds) + 1024);
    std::size_t sent = 0;
    QElapsedTimer wall;
    wall.start();
    const double cpuStart = CpuSeconds();
    QTimer poll;
    poll.setInterval(15);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // What 115200 baud has delivered by now, in reads of at most 1024 bytes.
        const auto due = static_cast<std::size_t>(wall.nsecsElapsed() * 11520 / 1000000000);
        while (sent < std::min(due, report.size())) {
            const int n = static_cast<int>(std::min<std::size_t>(1024, due - sent));
            page.Poll(report.data() + sent, n);
            sent += static_cast<std::size_t>(n);
        }
        if (wall.elapsed() >= seconds * 1000)
            QCoreApplication::quit();
    });
    poll.start();
    QCoreApplication::exec();
    const double cpu = CpuSeconds() - cpuStart;
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    std::printf("(a) line rate: %zu bytes in %.1f s, CPU %.3f s = %.2f %% of one core\n", sent,
                elapsed, cpu, 100.0 * cpu / elapsed);
}

void FullSpeed() {
    const long before = ResidentKb();
    std::size_t size = static_cast<std::size_t>(qEnvironmentVariableIntValue("PRINT_BENCH_MB") > 0
                                                    ? qEnvironmentVariableIntValue("PRINT_BENCH_MB")
                                                    : 5) *
                       1024 * 1024;
    long paneKb = 0;
    {
        TextPage page;
        const Bytes report = Report(size);
        const long withReport = ResidentKb();
        std::size_t sent = 0;
        qint64 longest = 0;
        qint64 last = 0;
        double longestCpu = 0; // the same in this thread's CPU time: other work does not count
        double lastCpu = ThreadCpuSeconds();
        std::size_t longestAt = 0;
        QElapsedTimer wall;
        wall.start();
        // The poll at full speed: one 1024-byte read per turn of the event loop, so that painting
        // and input run between reads as they would.
        QTimer poll;
        poll.setInterval(0);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            const qint64 now = wall.nsecsElapsed();
            longest = std::max(longest, now - last);
            last = now;
            const double cpuNow = ThreadCpuSeconds();
            if (cpuNow - lastCpu > longestCpu) {
                longestCpu = cpuNow - lastCpu;
                longestAt = sent;
            }
            lastCpu = cpuNow;
            if (sent >= report.size()) {
                QCoreApplication::quit();
                return;
            }
            const int n = static_cast<int>(std::min<std::size_t>(1024, report.size() - sent));
            page.Poll(report.data() + sent, n);
            sent += static_cast<std::size_t>(n);
        });
        poll.start();
        QCoreApplication::exec();
        page.pane.viewport()->repaint();
        paneKb = ResidentKb() - withReport;
        std::printf("    the pane's document holds %.1f MB\n",
                    static_cast<double>(page.pane.Document().MemoryBytes()) / 1048576);
        std::printf(
            "(b) 5 MB report: %zu bytes in %.2f s (%.1f MB/s), %d lines, longest event-loop "
            "stall %.1f ms wall clock, %.1f ms of CPU\n",
            sent, static_cast<double>(wall.nsecsElapsed()) / 1e9,
            static_cast<double>(sent) / 1e6 / (static_cast<double>(wall.nsecsElapsed()) / 1e9),
            page.pane.Document().LineCount(), static_cast<double>(longest) / 1e6,
            longestCpu * 1000);
        std::printf("    (the longest after %zu bytes)\n", longestAt);
    }
    std::printf("    memory held by the pane: %.1f MB = %.2f x the text's %.1f MB (process grew "
                "%.1f MB before the pane was freed)\n",
                static_cast<double>(paneKb) / 1024, static_cast<double>(paneKb) * 1024 / size,
                static_cast<double>(size) / 1048576,
                static_cast<double>(ResidentKb() - before) / 1024);
}

void MillionSamples() {
    MainState state;
    NullView view;
    WaveCapture capture(state, view);
    capture.SetupWaveChart();
    TWaveChart chart;
    chart.resize(913, 417);
    chart.SetModel(&capture.Chart());
    chart.show();
    // A million samples between 11.8 and 14.4 V, as 1015-byte frames would bring them.
    Bytes payload(2'000'000);
    for (std::size_t i = 0; i < payload.size() / 2; ++i) {
        const int v = 118 + static_cast<int>((i * 7) % 27);
        payload[2 * i] = static_cast<std::uint8_t>(v);
        payload[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    for (std::size_t at = 0; at < payload.size(); at += 1014)
        capture.AppendWaveSamples(payload.data() + at, static_cast<int>(std::min<std::size_t>(
                                                           1014, payload.size() - at)));

    // Times are CPU times of this thread, so that other work on the machine does not count.
    QImage canvas(chart.size(), QImage::Format_RGB32);
    const auto redrawMs = [&] {
        const double start = ThreadCpuSeconds();
        QPainter painter(&canvas);
        chart.Draw(painter);
        return (ThreadCpuSeconds() - start) * 1000;
    };
    redrawMs(); // the chart has been drawn before its first capture: its fonts are loaded
    // Three captures: the first one's tick also pays for first touching the curve's memory.
    for (int round = 0; round < 3; ++round) {
        if (round > 0) {
            capture.FinishWaveCapture();
            capture.TimerMonitorWaveRecvTimer();
            for (std::size_t at = 0; at < payload.size(); at += 1014)
                capture.AppendWaveSamples(
                    payload.data() + at,
                    static_cast<int>(std::min<std::size_t>(1014, payload.size() - at)));
        }
        const double start = ThreadCpuSeconds();
        capture.TimerMonitorWaveRecvTimer();
        const double tick = (ThreadCpuSeconds() - start) * 1000;
        const double redraw = redrawMs();
        std::printf("(c) capture %d: watchdog tick adding 1000000 samples %.2f ms, the chart's "
                    "redraw %.2f ms (%.2f ms together)\n",
                    round + 1, tick, redraw, tick + redraw);
    }

    // The whole curve on one page (the view after two quiet ticks).
    capture.TimerMonitorWaveRecvTimer();
    capture.TimerMonitorWaveRecvTimer();
    double best = 1e9;
    double worst = 0;
    for (int i = 0; i < 20; ++i) {
        const double ms = redrawMs();
        best = std::min(best, ms);
        worst = std::max(worst, ms);
    }
    std::printf("    repaint of a page of %.0f samples: best %.2f ms, worst %.2f ms of 20\n",
                capture.Chart().Bottom.Maximum, best, worst);
    capture.ScrollWaveChart(500'000);
    std::printf("    repaint of a page of 1024 samples in the middle: %.2f ms\n", redrawMs());
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::string cases = argc > 2 ? argv[2] : "abc";
    if (cases.find('a') != std::string::npos)
        LineRate(seconds);
    if (cases.find('b') != std::string::npos)
        FullSpeed();
    if (cases.find('c') != std::string::npos)
        MillionSamples();
    return 0;
}
