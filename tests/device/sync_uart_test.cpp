#include "device/sync_uart.h"

#include "device/frame_codec.h"
#include "platform/clock.h"
#include "tests/device/pty_peer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

namespace {

using testpeer::Bytes;
using testpeer::DevDir;
using testpeer::PtyPeer;

struct CountingPump : IMessagePump {
    int calls = 0;
    std::function<void()> onPump;
    void PumpMessages() override {
        ++calls;
        if (onPump)
            onPump();
    }
};

Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
}

const Bytes kRequest = {0x40, 0x40, 0x0A, 0x00, 0x03, 0x01, 0x33, 0xD3, 0x0D, 0x0A};

// A ScanTool stand-in linked as COM1 (ttyACM0).
class SyncUartTest : public ::testing::Test {
protected:
    DevDir dev;
    std::unique_ptr<PtyPeer> peer = std::make_unique<PtyPeer>(dev.path(), 0);
    CountingPump pump;
    TSyncUart uart{&pump};

    void OpenCom1() {
        uart.SetBaudRate(12);
        ASSERT_TRUE(uart.Open());
        ASSERT_TRUE(uart.Active());
    }
    // Reads what is queued for the program without sending anything.
    Bytes Poll(unsigned count, unsigned timeoutMs) {
        Bytes got(count);
        got.resize(uart.SyncRequest(nullptr, 0, got.data(), count, timeoutMs, 5));
        return got;
    }
};

TEST_F(SyncUartTest, DefaultsAfterConstruction) {
    EXPECT_EQ(uart.PortNO(), 1);
    EXPECT_EQ(uart.BaudRate(), 9600u);
    EXPECT_EQ(uart.Parity(), ptNONE);
    EXPECT_EQ(uart.DataBits(), db8BITS);
    EXPECT_EQ(uart.StopBits(), sb1BITS);
    EXPECT_TRUE(uart.DTR());
    EXPECT_TRUE(uart.RTS());
    EXPECT_FALSE(uart.Active());
    const TDeviceControlBlock& b = uart.ControlBlock();
    EXPECT_EQ(b.Length, 28u);
    EXPECT_EQ(b.BaudRate, 9600u);
    EXPECT_EQ(b.ByteSize, 8);
    EXPECT_EQ(b.DtrControl, dtrEnable);
    EXPECT_EQ(b.RtsControl, rtsEnable);
    EXPECT_TRUE(b.Binary);
    EXPECT_FALSE(b.OutX || b.InX || b.OutxCtsFlow || b.OutxDsrFlow || b.ParityCheck);
    EXPECT_EQ(b.XonLim, 2048);
    EXPECT_EQ(b.XoffLim, 512);
    EXPECT_EQ(b.XonChar, 0x11);
    EXPECT_EQ(b.XoffChar, 0x13);
}

TEST_F(SyncUartTest, OpenRefusesPortZeroAndBelowWithoutTryingTheDevice) {
    // Were the number formatted into a path, these links would open fine.
    PtyPeer asZero(dev.path(), -1);
    PtyPeer asMinusOne(dev.path(), -2);
    platform::SerialPort probe;
    ASSERT_TRUE(probe.Open(platform::SerialPort::PathForComPort(0)));
    probe.Close();

    for (TCommPortNumber port : {0, -1}) {
        uart.SetPortNO(port);
        EXPECT_FALSE(uart.Open()) << port;
        EXPECT_FALSE(uart.Active()) << port;
    }
}

TEST_F(SyncUartTest, OpenFailsForAMissingPort) {
    uart.SetPortNO(5);
    EXPECT_FALSE(uart.Open());
    EXPECT_FALSE(uart.Active());
}

TEST_F(SyncUartTest, SecondHolderIsRefusedAndOpenOnAnOpenPortDoesNotReopen) {
    OpenCom1();
    TSyncUart other;
    EXPECT_FALSE(other.Open());
    EXPECT_FALSE(other.Active());

    // Reopening would apply the settings again, which discards queued input.
    peer->Write({'k', 'e', 'e', 'p'});
    ASSERT_TRUE(peer->WaitQueued(4));
    EXPECT_TRUE(uart.Open());
    EXPECT_EQ(Poll(4, 1000), (Bytes{'k', 'e', 'e', 'p'}));

    // Once released, the port is free again, also for holders that are not root.
    uart.Close();
    EXPECT_FALSE(uart.Active());
    EXPECT_TRUE(other.Open());
}

TEST_F(SyncUartTest, BaudRateIsATableIndexBelowFifteenElseTheRate) {
    OpenCom1();
    const struct {
        std::uint32_t value;
        std::uint32_t rate;
    } cases[] = {{0, 110},     {12, 115200}, {115200, 115200}, {13, 128000},
                 {14, 256000}, {15, 15},     {6, 9600},        {250000, 250000}};
    for (const auto& c : cases) {
        EXPECT_EQ(BaudRateFromProperty(c.value), c.rate) << c.value;
        uart.SetBaudRate(c.value);
        EXPECT_EQ(uart.BaudRate(), c.value);
        EXPECT_EQ(uart.ControlBlock().BaudRate, c.rate) << c.value;
        EXPECT_EQ(peer->Settings().c_ospeed, c.rate) << c.value;
    }
}

TEST_F(SyncUartTest, SameRateUnderAnotherValueLeavesTheOpenPortUntouched) {
    OpenCom1(); // BaudRate 12: 115200
    peer->Write({'a', 'b'});
    ASSERT_TRUE(peer->WaitQueued(2));
    uart.SetBaudRate(115200);
    EXPECT_EQ(uart.BaudRate(), 115200u);
    EXPECT_EQ(Poll(2, 1000), (Bytes{'a', 'b'})); // not purged

    // A real change applies the settings, which discards unread input.
    peer->Write({'c', 'd'});
    ASSERT_TRUE(peer->WaitQueued(2));
    uart.SetBaudRate(9600);
    EXPECT_EQ(peer->Settings().c_ospeed, 9600u);
    EXPECT_TRUE(Poll(2, 50).empty());
}

TEST_F(SyncUartTest, LineSettingsReachTheDeviceAndReadBack) {
    OpenCom1();
    // A pseudo-terminal keeps 8 bits and drops the parity-enable flag whatever it is given, so
    // the size is checked in the block and parity by the flags the device does keep.
    for (TCommDataBits bits : {db5BITS, db6BITS, db7BITS, db8BITS}) {
        uart.SetDataBits(bits);
        EXPECT_EQ(uart.ControlBlock().ByteSize, bits + 5);
        EXPECT_EQ(uart.DataBits(), bits);
    }
    const struct {
        TCommParity parity;
        tcflag_t flags;
    } parities[] = {
        {ptODD, PARODD}, {ptEVEN, 0}, {ptMARK, PARODD | CMSPAR}, {ptSPACE, CMSPAR}, {ptNONE, 0}};
    for (const auto& p : parities) {
        uart.SetParity(p.parity);
        EXPECT_EQ(uart.Parity(), p.parity);
        EXPECT_EQ(uart.ControlBlock().Parity, p.parity);
        EXPECT_EQ(peer->Settings().c_cflag & (PARODD | CMSPAR), p.flags) << p.parity;
    }
    uart.SetStopBits(sb2BITS);
    EXPECT_EQ(uart.StopBits(), sb2BITS);
    EXPECT_TRUE(peer->Settings().c_cflag & CSTOPB);

    // Raw: no flow control, no echo, no translation.
    const termios2 t = peer->Settings();
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
}

TEST_F(SyncUartTest, SettingsMadeWhileClosedApplyAtOpen) {
    uart.SetBaudRate(14);
    uart.SetStopBits(sb2BITS);
    ASSERT_TRUE(uart.Open());
    EXPECT_EQ(peer->Settings().c_ospeed, 256000u);
    EXPECT_TRUE(peer->Settings().c_cflag & CSTOPB);
}

TEST_F(SyncUartTest, SendDataWritesPiecesOfAtMost2048PumpingBetweenThem) {
    OpenCom1();
    const struct {
        int length;
        int pumps; // one between every two pieces
    } cases[] = {{1, 0}, {2048, 0}, {2049, 1}, {5000, 2}};
    for (const auto& c : cases) {
        pump.calls = 0;
        const Bytes data = Pattern(static_cast<std::size_t>(c.length), 3);
        EXPECT_EQ(uart.SendData(data.data(), c.length), c.length);
        EXPECT_EQ(pump.calls, c.pumps) << c.length;
        EXPECT_EQ(peer->Read(data.size(), 2000), data) << c.length;
    }
    EXPECT_EQ(uart.SendData(nullptr, 10), 0);
    EXPECT_EQ(uart.SendData(kRequest.data(), 0), 0);
}

TEST_F(SyncUartTest, SendDataStopsWhenAnEventClosesThePort) {
    OpenCom1();
    pump.onPump = [this] { uart.Close(); };
    const Bytes data = Pattern(5000, 1);
    EXPECT_EQ(uart.SendData(data.data(), 5000), 2048);
    EXPECT_EQ(pump.calls, 1);
    EXPECT_EQ(peer->Read(5000, 200).size(), 2048u);
}

TEST_F(SyncUartTest, SyncRequestReadsNoMoreThanTheReplyAndTheNextRequestDropsTheRest) {
    OpenCom1();
    const Bytes first = Pattern(20, 0x10);
    const Bytes second = Pattern(20, 0x80);
    peer->StartResponder(kRequest.size(), {first, second});

    Bytes reply(20, 0);
    EXPECT_EQ(uart.SyncRequest(kRequest.data(), 10, reply.data(), 13, 2000, 5), 13u);
    EXPECT_TRUE(std::equal(reply.begin(), reply.begin() + 13, first.begin()));
    EXPECT_TRUE(std::all_of(reply.begin() + 13, reply.end(), [](auto b) { return b == 0; }));

    ASSERT_TRUE(peer->WaitQueued(7)); // the tail of the first reply waits in the queue
    EXPECT_EQ(uart.SyncRequest(kRequest.data(), 10, reply.data(), 13, 2000, 5), 13u);
    EXPECT_TRUE(std::equal(reply.begin(), reply.begin() + 13, second.begin()));

    peer->StopResponder();
    Bytes sent = kRequest;
    sent.insert(sent.end(), kRequest.begin(), kRequest.end());
    EXPECT_EQ(peer->Received(), sent);
}

TEST_F(SyncUartTest, SyncRequestCollectsAReplyArrivingInParts) {
    OpenCom1();
    peer->StartResponder(kRequest.size(), {Pattern(6, 1)});
    Bytes reply(12);
    // The responder answers each request with 6 bytes; a second request is not sent, so only
    // the first part arrives and the transaction runs out its time.
    EXPECT_EQ(uart.SyncRequest(kRequest.data(), 10, reply.data(), 12, 100, 5), 6u);
    peer->StopResponder();
    // Parts written one after the other during the wait are joined.
    peer->Write(Pattern(5, 1));
    peer->Write(Pattern(7, 6));
    EXPECT_EQ(Poll(12, 2000).size(), 12u);
}

TEST(SyncUartDeadline, TimeLeftSurvivesTheTickCounterWrapping) {
    const struct {
        std::uint32_t start, timeout, now;
        std::int32_t left;
    } cases[] = {
        {1000, 500, 1200, 300},
        {1000, 500, 1500, 0},
        {1000, 500, 1600, -100},
        {0xFFFFFFF0u, 0x20, 0xFFFFFFFFu, 0x11}, // deadline past the wrap, now before it
        {0xFFFFFFF0u, 0x20, 0x5, 0xB},          // both past the wrap
        {0xFFFFFFF0u, 0x20, 0x20, -0x10},
        {5, 0, 5, 0}, // a time-out of 0 has no time left at all
    };
    for (const auto& c : cases)
        EXPECT_EQ(TicksLeft(c.start, c.timeout, c.now), c.left) << c.start << " " << c.now;
}

TEST_F(SyncUartTest, SyncRequestWithoutAnswerReturnsZeroNoEarlierThanTheTimeout) {
    OpenCom1();
    const struct {
        unsigned timeoutMs;
        unsigned pollMs;
        int minPumps; // the wait is cut into polls, never longer than the deadline allows
    } cases[] = {{120, 50, 2}, {60, 5, 2}, {30, 100, 1}};
    for (const auto& c : cases) {
        pump.calls = 0;
        Bytes reply(13);
        const std::uint32_t before = platform::TickCount();
        EXPECT_EQ(uart.SyncRequest(kRequest.data(), 10, reply.data(), 13, c.timeoutMs, c.pollMs),
                  0u);
        EXPECT_GE(platform::TickCount() - before, c.timeoutMs) << c.timeoutMs;
        EXPECT_GE(pump.calls, c.minPumps) << c.timeoutMs;
        EXPECT_EQ(peer->Read(10, 1000), kRequest);
    }
}

TEST_F(SyncUartTest, NullRequestOnlyPollsAndReadsAtLeastOnce) {
    OpenCom1();
    const Bytes queued = {'h', 'e', 'l', 'l', 'o'};
    // A null request or an empty one: nothing is sent and queued input is kept.  Even a
    // time-out of 0 makes one read.
    for (const std::uint8_t* request :
         {static_cast<const std::uint8_t*>(nullptr), kRequest.data()}) {
        peer->Write(queued);
        ASSERT_TRUE(peer->WaitQueued(5));
        Bytes reply(5);
        EXPECT_EQ(uart.SyncRequest(request, 0, reply.data(), 5, 0, 50), 5u);
        EXPECT_EQ(reply, queued);
    }
    EXPECT_TRUE(peer->Read(1, 50).empty());
}

TEST_F(SyncUartTest, ClosedPortReadsAndWritesNothing) {
    std::uint8_t buffer[8];
    EXPECT_EQ(uart.RecvData(buffer, 8), 0);
    EXPECT_EQ(uart.SendData(kRequest.data(), 10), 0);

    OpenCom1();
    peer->Write({'x', 'y'});
    ASSERT_TRUE(peer->WaitQueued(2));
    uart.Close();
    EXPECT_EQ(uart.RecvData(buffer, 8), 0);
    EXPECT_EQ(uart.SyncRequest(kRequest.data(), 10, buffer, 8, 20, 5), 0u);
    EXPECT_TRUE(peer->Read(1, 50).empty());
}

TEST_F(SyncUartTest, RecvDataTakesWhatIsQueuedUpToTheLimit) {
    OpenCom1();
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(uart.RecvData(buffer, 8), 0); // nothing queued: at once
    peer->Write(Pattern(12, 0));
    ASSERT_TRUE(peer->WaitQueued(12));
    EXPECT_EQ(uart.RecvData(buffer, 8), 8);
    EXPECT_EQ(uart.RecvData(buffer, 8), 4);
    EXPECT_EQ(uart.RecvData(nullptr, 8), 0);
}

TEST_F(SyncUartTest, PortThatVanishesGivesShortCountsAndNoHang) {
    OpenCom1();
    peer->Hangup();
    std::uint8_t buffer[16];
    const Bytes data = Pattern(5000, 2);
    EXPECT_LT(uart.SendData(data.data(), 5000), 5000);
    EXPECT_EQ(uart.RecvData(buffer, 16), 0);
    const std::uint32_t before = platform::TickCount();
    EXPECT_EQ(uart.SyncRequest(kRequest.data(), 10, buffer, 13, 60, 10), 0u);
    EXPECT_GE(platform::TickCount() - before, 60u);
    EXPECT_TRUE(uart.Active()); // closing is the connection monitor's decision
    uart.Close();
    EXPECT_FALSE(uart.Open());
}

TEST_F(SyncUartTest, TransactionRunsOutItsTimeWhenAnEventClosesThePort) {
    OpenCom1();
    pump.onPump = [this] { uart.Close(); };
    Bytes reply(13);
    const std::uint32_t before = platform::TickCount();
    EXPECT_EQ(uart.SyncRequest(kRequest.data(), 10, reply.data(), 13, 80, 10), 0u);
    EXPECT_GE(platform::TickCount() - before, 80u);
    EXPECT_GE(pump.calls, 2);
}

TEST_F(SyncUartTest, ChangingThePortNumberMovesTheOpenPort) {
    PtyPeer com2(dev.path(), 1);
    OpenCom1();
    uart.SetPortNO(2);
    EXPECT_TRUE(uart.Active());
    EXPECT_EQ(uart.SendData(kRequest.data(), 10), 10);
    EXPECT_EQ(com2.Read(10, 1000), kRequest);
    TSyncUart other; // COM1 is free again
    EXPECT_TRUE(other.Open());
}

// The simulated ScanTool as a child process, steered by line commands on its stdin.
class Simulator {
public:
    explicit Simulator(const std::vector<std::string>& options) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
            return;
        std::vector<std::string> args = {"python3", QUILLON_SIMULATOR};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        if (posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        toSim_ = in[1];
        fromSim_ = out[0];
    }
    ~Simulator() {
        if (pid_ > 0) {
            Command("quit");
            close(toSim_);
            int status = 0;
            for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
                usleep(20000);
            if (waitpid(pid_, &status, WNOHANG) == 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
            }
        }
        close(fromSim_);
    }
    // One line of output, "" after 10 s.
    std::string Line() {
        std::string line;
        char c = 0;
        while (line.empty() || line.back() != '\n') {
            pollfd p{fromSim_, POLLIN, 0};
            if (poll(&p, 1, 10000) <= 0 || read(fromSim_, &c, 1) != 1)
                return "";
            line += c;
        }
        return line;
    }
    std::string Command(const std::string& command) {
        const std::string text = command + "\n";
        if (write(toSim_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            return "";
        return Line();
    }

private:
    pid_t pid_ = -1;
    int toSim_ = -1;
    int fromSim_ = -1;
};

TEST(SyncUartWithSimulator, TransactionWithTheScanToolAndItsUnplugging) {
    if (!std::filesystem::exists(QUILLON_SIMULATOR))
        GTEST_SKIP() << "no simulator";
    DevDir dev;
    // Replies come in 7-byte pieces at the pace of a real line.
    Simulator sim({"--dev-dir", dev.path(), "--split", "7", "--pace"});
    ASSERT_EQ(sim.Line().rfind("READY", 0), 0u);

    TSyncUart uart;
    uart.SetBaudRate(12);
    ASSERT_TRUE(uart.Open());
    std::uint8_t request[kFrameOverhead];
    const int requestLength = BuildFrame(request, 0x0103, nullptr, 0);
    std::uint8_t reply[64] = {};
    ASSERT_EQ(uart.SyncRequest(request, requestLength, reply, 54, 2500, 5), 54u);
    EXPECT_EQ(ValidateFrame(reply, 54), 54);
    EXPECT_EQ(reply[4], 0x43);

    EXPECT_EQ(sim.Command("unplug").rfind("ok", 0), 0u);
    EXPECT_EQ(uart.SyncRequest(request, requestLength, reply, 54, 200, 5), 0u);
    EXPECT_EQ(uart.RecvData(reply, 64), 0);
    uart.Close();
    EXPECT_FALSE(uart.Open());
}

// Not a check: prints how long a transaction takes when the reply comes at once, the overhead
// every command and firmware block pays on top of the line itself.
TEST_F(SyncUartTest, FiguresForAnImmediateReply) {
    OpenCom1();
    const Bytes answer = Pattern(13, 0x24);
    const struct {
        std::size_t requestSize;
        unsigned pollMs;
    } cases[] = {{10, 5}, {10, 50}, {522, 5}, {4106, 5}};
    for (const auto& [requestSize, pollMs] : cases) {
        peer->StartResponder(requestSize, {answer});
        const Bytes request = Pattern(requestSize, 0x40);
        std::vector<double> micros;
        Bytes reply(13);
        for (int i = 0; i < 200; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            const unsigned got = uart.SyncRequest(
                request.data(), static_cast<unsigned>(requestSize), reply.data(), 13, 2000, pollMs);
            const auto t1 = std::chrono::steady_clock::now();
            ASSERT_EQ(got, 13u);
            micros.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        }
        peer->StopResponder();
        std::sort(micros.begin(), micros.end());
        std::printf("SyncRequest, %zu-byte request, 13-byte immediate reply, pollMs %u: median "
                    "%.0f us, 90th percentile %.0f us, max %.0f us over %zu runs\n",
                    requestSize, pollMs, micros[micros.size() / 2], micros[micros.size() * 9 / 10],
                    micros.back(), micros.size());
    }
}

} // namespace
