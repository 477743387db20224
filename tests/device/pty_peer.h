#pragma once
// The far end of a serial link for tests: a pseudo-terminal whose slave side shows up as
// "<dir>/ttyACM<k>", so the code under test opens it like a ScanTool's port.  The test drives
// the master side: it writes what the ScanTool would send, reads what the program sent, and can
// run a responder thread that answers every request of a given size.
#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace testpeer {

using Bytes = std::vector<std::uint8_t>;

inline std::int64_t NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// A scratch folder standing in for /dev, published through QUILLON_DEV_DIR while it lives.
class DevDir {
public:
    DevDir() {
        char pattern[] = "/tmp/quillon-serial-XXXXXX";
        const char* made = mkdtemp(pattern);
        EXPECT_NE(made, nullptr);
        path_ = made ? made : "";
        setenv("QUILLON_DEV_DIR", path_.c_str(), 1);
    }
    ~DevDir() {
        unsetenv("QUILLON_DEV_DIR");
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

class PtyPeer {
public:
    // Creates the pair in raw mode and links "<dir>/ttyACM<index>" to the slave.  The peer also
    // keeps a slave descriptor of its own (never read) so that the master works before and after
    // the program holds the port, and so that the test can see what is queued on the slave side.
    PtyPeer(const std::string& dir, int index) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
            return;
        }
        slavePath_ = ptsname(master_);
        slave_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios2 t{};
        ioctl(master_, TCGETS2, &t);
        t.c_iflag = 0;
        t.c_oflag = 0;
        t.c_lflag = 0;
        ioctl(master_, TCSETS2, &t);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        link_ = dir + "/ttyACM" + std::to_string(index);
        EXPECT_EQ(symlink(slavePath_.c_str(), link_.c_str()), 0);
    }
    ~PtyPeer() {
        StopResponder();
        Hangup();
        unlink(link_.c_str());
    }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    // Unplugs: closes both of the peer's descriptors, so the slave side hangs up.
    void Hangup() {
        if (slave_ >= 0)
            close(slave_);
        if (master_ >= 0)
            close(master_);
        slave_ = master_ = -1;
    }

    void Write(const Bytes& bytes) {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Reads until `count` bytes came or `timeoutMs` passed; returns what came.
    Bytes Read(std::size_t count, int timeoutMs) {
        Bytes got;
        const std::int64_t deadline = NowMs() + timeoutMs;
        while (got.size() < count) {
            const std::int64_t left = deadline - NowMs();
            if (left <= 0)
                break;
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            std::uint8_t buffer[4096];
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n > 0)
                got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    // Waits until the slave side holds at least `count` unread bytes (what the program would
    // find queued); false after `timeoutMs`.
    bool WaitQueued(int count, int timeoutMs = 2000) {
        const std::int64_t deadline = NowMs() + timeoutMs;
        for (;;) {
            int queued = 0;
            if (ioctl(slave_, FIONREAD, &queued) == 0 && queued >= count)
                return true;
            if (NowMs() >= deadline)
                return false;
            usleep(200);
        }
    }

    // The line settings the program applied to the slave side.
    termios2 Settings() const {
        termios2 t{};
        ioctl(master_, TCGETS2, &t);
        return t;
    }

    // The master side, for reading the slave's settings with other interfaces.
    int MasterFd() const { return master_; }

    // Answers every `requestSize` bytes received with the next of `replies` (round robin),
    // as soon as the request is complete.
    void StartResponder(std::size_t requestSize, std::vector<Bytes> replies) {
        StopResponder();
        stop_ = false;
        responder_ = std::thread([this, requestSize, replies = std::move(replies)] {
            std::size_t pending = 0;
            std::size_t next = 0;
            while (!stop_) {
                pollfd p{master_, POLLIN, 0};
                if (poll(&p, 1, 5) <= 0 || (p.revents & POLLIN) == 0)
                    continue;
                std::uint8_t buffer[4096];
                const ssize_t n = read(master_, buffer, sizeof buffer);
                if (n <= 0)
                    continue;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    received_.insert(received_.end(), buffer, buffer + n);
                }
                pending += static_cast<std::size_t>(n);
                for (; pending >= requestSize; pending -= requestSize) {
                    const Bytes& reply = replies[next++ % replies.size()];
                    if (write(master_, reply.data(), reply.size()) < 0)
                        break;
                }
            }
        });
    }
    void StopResponder() {
        stop_ = true;
        if (responder_.joinable())
            responder_.join();
    }
    // Everything the responder received so far.
    Bytes Received() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::string link_;
    std::thread responder_;
    std::atomic<bool> stop_{true};
    std::mutex mutex_;
    Bytes received_;
};

} // namespace testpeer
