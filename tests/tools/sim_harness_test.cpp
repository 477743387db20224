// The harness that other suites use: it starts the simulator, talks to it, reads its frame log
// and cleans up.  The requests are written as raw bytes so that this test needs no codec.
#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "tests/support/sim_harness.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quillon::test::ScopedSimEnvironment;
using quillon::test::SimFrame;
using quillon::test::SimHarness;
using Bytes = std::vector<std::uint8_t>;

namespace {

const Bytes kDeviceInfoRequest = {0x40, 0x40, 0x0A, 0x00, 0x03, 0x01, 0x33, 0xD3, 0x0D, 0x0A};

int OpenRaw(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd >= 0) {
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
    return fd;
}

Bytes Exchange(int fd, const Bytes& request, std::size_t want,
               std::chrono::milliseconds timeout = 2000ms) {
    if (!request.empty()) {
        EXPECT_EQ(write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    }
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < want && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) > 0) {
            std::uint8_t buf[256];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n > 0)
                got.insert(got.end(), buf, buf + n);
        }
    }
    return got;
}

} // namespace

TEST(SimHarness, AnswersRequestsAndLogsThem) {
    SimHarness sim;
    ASSERT_TRUE(sim.Start({"--short-info", "--type", "KV9"})) << sim.Error();
    ASSERT_TRUE(fs::exists(sim.DevicePath()));
    int fd = OpenRaw(sim.DevicePath());
    ASSERT_GE(fd, 0);

    Bytes reply = Exchange(fd, kDeviceInfoRequest, 50);
    ASSERT_EQ(reply.size(), 50u);
    EXPECT_EQ(reply[4], 0x43);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&reply[6])), "KV9");

    ASSERT_TRUE(sim.Ok("fault ignore cmd=0x0103"));
    EXPECT_TRUE(Exchange(fd, kDeviceInfoRequest, 1, 300ms).empty());
    EXPECT_TRUE(sim.WaitForRequests(0x0103, 2, 1000ms));
    EXPECT_EQ(sim.RequestCount(0x0103), 2);

    auto received = sim.Received(0x0103);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].marker, "@@");
    EXPECT_EQ(received[0].length, 10u);
    EXPECT_TRUE(received[0].payload.empty());
    auto sent = sim.Sent(0x0143);
    ASSERT_EQ(sent.size(), 1u); // the ignored request got no answer
    EXPECT_EQ(sent[0].payload.size(), 40u);

    // Stray bytes and a damaged frame are logged as such, and not counted as requests.
    Bytes damaged = kDeviceInfoRequest;
    damaged[6] ^= 0x01;
    Bytes stray = {'x', 'y'};
    stray.insert(stray.end(), damaged.begin(), damaged.end());
    ASSERT_EQ(write(fd, stray.data(), stray.size()), static_cast<ssize_t>(stray.size()));
    auto log = sim.Log();
    auto at = std::find_if(log.begin(), log.end(),
                           [](const SimFrame& f) { return f.dir == SimFrame::Dir::Junk; });
    ASSERT_NE(at, log.end());
    EXPECT_EQ(at->payload, (Bytes{'x', 'y'}));
    ASSERT_NE(++at, log.end());
    EXPECT_EQ(at->dir, SimFrame::Dir::Received);
    EXPECT_EQ(at->error, "bad checksum");
    EXPECT_EQ(sim.RequestCount(0x0103), 2);

    // Unasked output reaches the port as sent.
    ASSERT_TRUE(sim.Print(std::string("Hi\0$$\x02J", 7)));
    ASSERT_TRUE(sim.Wave({126, 0x1234}));
    Bytes unasked = Exchange(fd, {}, 7 + 14, 1000ms);
    const Bytes expected = {'H', 'i', 0,    '$',  '$', 2, 'J',  0x24, 0x24,
                            14,  0,   0xFF, 0x01, 126, 0, 0x34, 0x12};
    ASSERT_EQ(unasked.size(), 21u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), unasked.begin()));

    EXPECT_EQ(sim.Command("no_such_command").rfind("error", 0), 0u);
    close(fd);
}

TEST(SimHarness, PlugAndUnplugTwoDevicesInOneTree) {
    SimHarness first;
    ASSERT_TRUE(first.Start()) << first.Error();
    SimHarness second(first.SecondDevice(3));
    ASSERT_TRUE(second.Start({"--unplugged", "--serial", "B"})) << second.Error();
    EXPECT_EQ(second.ComNumber(), 4);
    EXPECT_TRUE(second.SlavePath().empty());

    const fs::path tty = first.SysfsRoot() + "/class/tty";
    EXPECT_TRUE(fs::exists(tty / "ttyACM0"));
    EXPECT_FALSE(fs::exists(tty / "ttyACM3"));
    ASSERT_TRUE(second.Plug());
    EXPECT_EQ(fs::read_symlink(second.DevicePath()), second.SlavePath());
    EXPECT_TRUE(fs::exists(tty / "ttyACM3" / "device" / ".." / "serial"));
    EXPECT_TRUE(fs::exists(second.DevicePath()));

    ASSERT_TRUE(first.Unplug());
    EXPECT_FALSE(fs::exists(tty / "ttyACM0"));
    EXPECT_FALSE(fs::exists(first.DevicePath()));
    EXPECT_TRUE(fs::exists(tty / "ttyACM3"));
}

TEST(SimHarness, EnvironmentIsSetAndRestored) {
    setenv("QUILLON_DEV_DIR", "/before", 1);
    unsetenv("QUILLON_SYSFS_ROOT");
    std::string scratch;
    {
        SimHarness sim;
        scratch = sim.ScratchDir();
        ScopedSimEnvironment env(sim);
        EXPECT_EQ(std::string(getenv("QUILLON_DEV_DIR")), sim.DevDir());
        EXPECT_EQ(std::string(getenv("QUILLON_SYSFS_ROOT")), sim.SysfsRoot());
    }
    EXPECT_EQ(std::string(getenv("QUILLON_DEV_DIR")), "/before");
    EXPECT_EQ(getenv("QUILLON_SYSFS_ROOT"), nullptr);
    EXPECT_FALSE(fs::exists(scratch)); // the harness removes what it created
    unsetenv("QUILLON_DEV_DIR");
}
