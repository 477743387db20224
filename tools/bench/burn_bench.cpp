// Burn speed over a pseudo-terminal: a 1 MiB image sent with BurnImage at block sizes 512 and
// 4096 to a minimal peer in a child process that acknowledges every block
//   (a) at once, (b) after a fixed 2 ms, (c) pacing bytes like a 115200-baud UART.
// Prints blocks per second, the time the program adds per block (measured time minus the peer's
// delays and pacing, divided by the blocks) and the peer's own work per block.
//
//   burn_bench [image bytes] [cases, e.g. "abc"]
//
// With "device", it burns a file into the ScanTool found as COM1 under $QUILLON_DEV_DIR (the
// simulator, say) as the upgrade does: device information, size notice, then the blocks; it
// prints the time of the blocks alone.
//   burn_bench device <FirmwareKind 1-3> <file>
#include "core/main_state.h"
#include "device/device_commands.h"
#include "device/frame_codec.h"
#include "device/image_transfer.h"
#include "device/sync_uart.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kUartBytesPerSecond = 11520.0; // 115200 baud, 10 bits per byte
constexpr int kAckLength = 13;
constexpr int kAckPiece = 5; // paced mode: bytes per write, about 0.4 ms of wire time

enum class Mode { AtOnce, Fixed2ms, Uart };

const char* ModeName(Mode m) {
    switch (m) {
    case Mode::AtOnce:
        return "(a) at once";
    case Mode::Fixed2ms:
        return "(b) after 2 ms";
    default:
        return "(c) 115200-baud pacing";
    }
}

double Now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void SleepUntil(double t) {
    timespec ts;
    ts.tv_sec = static_cast<time_t>(t);
    ts.tv_nsec = static_cast<long>((t - static_cast<double>(ts.tv_sec)) * 1e9);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

bool WriteAll(int fd, const std::uint8_t* data, int length) {
    while (length > 0) {
        const ssize_t n = write(fd, data, static_cast<size_t>(length));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return false;
        }
        data += n;
        length -= static_cast<int>(n);
    }
    return true;
}

// What the peer reports back to the parent over a pipe when it ends.
struct PeerReport {
    long blocks = 0;
    long resent = 0;
    double workTotal = 0; // seconds of own work: frame complete -> acknowledgement written
    double workMax = 0;
    double holdTotal = 0; // seconds from frame complete to acknowledgement written: work,
                          // the fixed delay and the pacing as they really came out
};

// The peer: reads block frames from the pty master and acknowledges each.
[[noreturn]] void RunPeer(int master, int reportFd, Mode mode, int blockSize) {
    const int frameLength = blockSize + 13;
    std::vector<std::uint8_t> frame(static_cast<size_t>(frameLength) * 2);
    std::uint8_t ack[kAckLength] = {'$', '$', kAckLength, 0, 0x43, 0x04, 0, 0, 0, 0, 0, 0x0D, 0x0A};
    PeerReport report;
    int held = 0;
    long expected = 0;
    double wireFree = 0; // paced mode: when the line is free again
    double firstByte = 0;
    while (true) {
        const ssize_t n =
            read(master, frame.data() + held, frame.size() - static_cast<size_t>(held));
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            break; // the program closed its end
        }
        if (held == 0)
            firstByte = Now();
        held += static_cast<int>(n);
        if (held < frameLength)
            continue;
        const double complete = Now();
        // Own work: check the frame, build the acknowledgement.
        const bool valid = frame[0] == '@' && frame[1] == '@' &&
                           (frame[2] | frame[3] << 8) == frameLength &&
                           Crc16X25(frame.data(), static_cast<std::uint16_t>(frameLength - 4)) ==
                               (frame[frameLength - 4] | frame[frameLength - 3] << 8);
        const long block = frame[7] | frame[8] << 8;
        if (block != (expected & 0xFFFF))
            ++report.resent;
        else
            ++expected;
        ack[7] = frame[7];
        ack[8] = frame[8];
        ack[6] = valid ? 0 : 1;
        SealFrame(ack, kAckLength);
        held -= frameLength;
        if (held > 0)
            std::memmove(frame.data(), frame.data() + frameLength, static_cast<size_t>(held));

        double work = 0;
        if (mode == Mode::AtOnce) {
            WriteAll(master, ack, kAckLength);
            work = Now() - complete;
        } else if (mode == Mode::Fixed2ms) {
            work = Now() - complete;
            SleepUntil(complete + 0.002);
            const double t = Now();
            WriteAll(master, ack, kAckLength);
            work += Now() - t;
        } else {
            // The request crosses the wire byte by byte, then the acknowledgement does.
            const double start = std::max(firstByte, wireFree);
            const double arrived = start + frameLength / kUartBytesPerSecond;
            work = Now() - complete;
            // Pieces of the acknowledgement leave when their last byte would have crossed.
            for (int from = 0; from < kAckLength;) {
                const int to = std::min(from + kAckPiece, kAckLength);
                SleepUntil(arrived + to / kUartBytesPerSecond);
                const double t = Now();
                WriteAll(master, ack + from, to - from);
                work += Now() - t;
                from = to;
            }
            wireFree = arrived + kAckLength / kUartBytesPerSecond;
        }
        ++report.blocks;
        report.holdTotal += Now() - complete;
        report.workTotal += work;
        report.workMax = std::max(report.workMax, work);
    }
    if (write(reportFd, &report, sizeof report) != static_cast<ssize_t>(sizeof report))
        _exit(1);
    _exit(0);
}

struct NoPump : IMessagePump {
    void PumpMessages() override {}
};

// The program's port on COM1 at 115200 baud (closed) and the state the transfer works with.
struct Com1 {
    Com1() {
        uart.SetBaudRate(12);
        uart.SetPortNO(1);
        state.Uart = &uart;
        state.Pump = &pump;
        state.Texts = EnglishStringTable();
    }
    NoPump pump;
    TSyncUart uart{&pump};
    MainState state;
};

bool RunCase(const std::string& devDir, const std::string& image, long imageBytes, Mode mode,
             int blockSize) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return false;
    const std::string slave = ptsname(master);
    // Keep the slave open in the parent until the program has opened it, so the master sees
    // no hang-up in between.
    std::filesystem::remove(devDir + "/ttyACM0");
    std::filesystem::create_symlink(slave, devDir + "/ttyACM0");

    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return false;
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        close(pipeFds[0]);
        RunPeer(master, pipeFds[1], mode, blockSize);
    }
    close(pipeFds[1]);
    close(master);

    Com1 com1;
    bool ok = com1.uart.Open();
    RomBlockSize = static_cast<std::uint16_t>(blockSize);

    const double t0 = Now();
    ok = ok && BurnImage(com1.state, kFirmwareRom, image);
    const double elapsed = Now() - t0;
    com1.uart.Close();

    PeerReport report;
    const bool gotReport = read(pipeFds[0], &report, sizeof report) == sizeof report;
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!ok || !gotReport) {
        std::printf("%-24s B=%-5d FAILED\n", ModeName(mode), blockSize);
        return false;
    }

    const long blocks = (imageBytes + blockSize - 1) / blockSize;
    const int frameLength = blockSize + 13;
    const double ideal =
        static_cast<double>(blocks) * (frameLength + kAckLength) / kUartBytesPerSecond;
    // The peer's own work, its delays and its pacing are all inside holdTotal.
    const double added = (elapsed - report.holdTotal) / static_cast<double>(blocks);
    std::printf("%-24s B=%-5d %6ld blocks %8.3f s %9.1f blocks/s  added %7.3f ms/block  "
                "peer work %.3f ms avg %.3f ms max",
                ModeName(mode), blockSize, blocks, elapsed, static_cast<double>(blocks) / elapsed,
                added * 1e3, report.workTotal / static_cast<double>(report.blocks) * 1e3,
                report.workMax * 1e3);
    if (mode == Mode::Uart)
        std::printf("  wire efficiency %.3f", ideal / elapsed);
    if (report.resent > 0)
        std::printf("  resent %ld", report.resent);
    std::printf("\n");
    std::fflush(stdout);
    return true;
}

// Burns `path` into the ScanTool on COM1; prints "burned <bytes> bytes in <seconds> s".
int BurnIntoDevice(int kind, const std::string& path) {
    Com1 com1;
    TSyncUart& uart = com1.uart;
    MainState& state = com1.state;
    char type[11] = {}, subtype[11] = {}, rom[11] = {}, flash[11] = {};
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || !uart.Open() || !RequestDeviceInfo(state, type, subtype, rom, flash) ||
        !NotifyFirmwareSize(state, static_cast<std::uint8_t>(kind),
                            static_cast<std::uint32_t>(size))) {
        std::fprintf(stderr, "burn_bench: no ScanTool answering on COM1\n");
        return 1;
    }
    const double t0 = Now();
    const bool ok = BurnImage(state, static_cast<std::uint8_t>(kind), path);
    const double elapsed = Now() - t0;
    if (!ok) {
        std::fprintf(stderr, "burn_bench: the burn failed\n");
        return 1;
    }
    std::printf("burned %llu bytes in %.6f s\n", static_cast<unsigned long long>(size), elapsed);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "device")
        return BurnIntoDevice(std::atoi(argv[2]), argv[3]);
    const long imageBytes = argc > 1 ? std::atol(argv[1]) : 1L << 20;
    signal(SIGPIPE, SIG_IGN);
    char pattern[] = "/tmp/burn-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = pattern;
    const std::string devDir = dir + "/dev";
    std::filesystem::create_directories(devDir);
    setenv("QUILLON_DEV_DIR", devDir.c_str(), 1);

    const std::string image = dir + "/image.rom";
    {
        std::vector<std::uint8_t> data(static_cast<size_t>(imageBytes));
        std::mt19937 random(42);
        for (auto& b : data)
            b = static_cast<std::uint8_t>(random());
        std::FILE* f = std::fopen(image.c_str(), "wb");
        if (!f || std::fwrite(data.data(), 1, data.size(), f) != data.size())
            return 1;
        std::fclose(f);
    }

    const std::string cases = argc > 2 ? argv[2] : "abc";
    std::printf("image %ld bytes\n", imageBytes);
    std::fflush(stdout);
    bool ok = true;
    for (Mode mode : {Mode::AtOnce, Mode::Fixed2ms, Mode::Uart}) {
        if (cases.find(static_cast<char>('a' + static_cast<int>(mode))) == std::string::npos)
            continue;
        for (int blockSize : {512, 4096})
            ok = RunCase(devDir, image, imageBytes, mode, blockSize) && ok;
    }
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
