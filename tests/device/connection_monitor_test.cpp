#include "device/connection_monitor.h"
#include "platform/device_watch.h"
#include "tests/device/scantool_fixture.h"
#include "tests/support/port_holder.h"

#include <cerrno>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <unistd.h>

namespace {

struct RecordingView : IConnectionView {
    void SetStatusText(const std::u16string& text) override { status = text; }
    void SetUartPrintReadTimerEnabled(bool enabled) override { printTimer = enabled; }
    void SetUartReadDebugTimerEnabled(bool enabled) override { debugTimer = enabled; }
    void SetUpgradeBusy(int mode) override { busyCalls.push_back(mode); }
    std::u16string status = u"(unset)";
    bool printTimer = true;
    bool debugTimer = true;
    std::vector<int> busyCalls;
};

class ConnectionMonitorTest : public testing::Test {
protected:
    void SetUp() override {
        // COM5: ttyACM4.
        quillon::test::SimOptions options;
        options.index = 4;
        sim = std::make_unique<quillon::test::SimHarness>(options);
        ASSERT_TRUE(sim->Start({"--unplugged"})) << sim->Error();
        env = std::make_unique<quillon::test::ScopedSimEnvironment>(*sim);
        uart.SetBaudRate(12);
        state.Uart = &uart;
        state.Texts = EnglishStringTable();
    }

    ConnectionResult Check() { return CheckConnection(state, view); }

    std::unique_ptr<quillon::test::SimHarness> sim;
    std::unique_ptr<quillon::test::ScopedSimEnvironment> env;
    TSyncUart uart;
    MainState state;
    RecordingView view;
};

TEST_F(ConnectionMonitorTest, FollowsPlugUnplugAndReplug) {
    // Nothing plugged in.
    state.UploadActive = true;
    Check();
    EXPECT_EQ(view.status, u"Please connect the device to the computer");
    EXPECT_EQ(state.CurrentComPort, 0);
    EXPECT_FALSE(uart.Active());
    EXPECT_FALSE(view.printTimer);
    EXPECT_FALSE(view.debugTimer);
    EXPECT_FALSE(state.UploadActive);
    EXPECT_EQ(view.busyCalls, std::vector<int>{-1});

    // Still nothing: the no-ScanTool steps run again.
    Check();
    EXPECT_EQ(view.status, u"Please connect the device to the computer");
    EXPECT_EQ(view.busyCalls.size(), 2u);

    ASSERT_TRUE(sim->Plug());
    Check();
    EXPECT_EQ(view.status, u"Device connected to COM5 ");
    EXPECT_EQ(state.CurrentComPort, 5);
    EXPECT_TRUE(uart.Active());
    EXPECT_EQ(uart.PortNO(), 5);
    EXPECT_FALSE(view.printTimer); // the Internet Upgrade page is shown
    EXPECT_TRUE(view.debugTimer);

    // Another device came or went: the open port and the upload state stay as they are.
    state.UploadActive = true;
    view.status.clear();
    const auto calls = view.busyCalls.size();
    Check();
    EXPECT_EQ(view.status, u"Device connected to COM5 ");
    EXPECT_TRUE(state.UploadActive);
    EXPECT_TRUE(uart.Active());
    EXPECT_EQ(view.busyCalls.size(), calls);

    ASSERT_TRUE(sim->Unplug());
    Check();
    EXPECT_EQ(view.status, u"Please connect the device to the computer");
    EXPECT_EQ(state.CurrentComPort, 0);
    EXPECT_FALSE(uart.Active());
    EXPECT_FALSE(state.UploadActive);
    EXPECT_FALSE(view.debugTimer);

    // Back on the same number: opened again, since the port was forgotten in between.
    ASSERT_TRUE(sim->Plug());
    state.CurrentTab = 1;
    Check();
    EXPECT_EQ(view.status, u"Device connected to COM5 ");
    EXPECT_TRUE(uart.Active());
    EXPECT_TRUE(view.printTimer);
    EXPECT_FALSE(view.debugTimer);
}

TEST_F(ConnectionMonitorTest, APortThatCannotBeOpenedIsTriedAgainLater) {
    ASSERT_TRUE(sim->Plug());
    // The port is listed but its device node is gone (held elsewhere, say).
    const std::string node = sim->DevicePath();
    const auto target = std::filesystem::read_symlink(node);
    std::filesystem::remove(node);
    state.CurrentComPort = 3;
    ConnectionResult result = Check();
    EXPECT_EQ(result.Port, 5);
    EXPECT_FALSE(result.Open);
    EXPECT_EQ(result.OpenError, ENOENT);
    EXPECT_EQ(view.status, u"Device connecting to COM5  ......");
    EXPECT_EQ(state.CurrentComPort, 3);
    EXPECT_FALSE(uart.Active());
    EXPECT_FALSE(view.printTimer);
    EXPECT_FALSE(view.debugTimer);
    EXPECT_EQ(view.busyCalls, std::vector<int>{-1});

    // Held by another program that claimed it exclusively.
    std::filesystem::create_symlink(target, node);
    auto holder = std::make_unique<quillon::test::PortHolder>(node, "holder");
    ASSERT_TRUE(holder->Holding());
    result = Check();
    EXPECT_FALSE(result.Open);
    EXPECT_EQ(result.OpenError, EBUSY);
    EXPECT_EQ(view.status, u"Device connecting to COM5  ......");
    EXPECT_EQ(state.CurrentComPort, 3);

    // Free again once the simulator, like a USB port, has dropped the holder's claim.  It
    // counts opens and closes through inotify, which merges two closes in a row: give it time
    // to see this run's close before the holder's.
    usleep(300000);
    holder.reset();
    usleep(300000);
    for (int i = 0; i < 40 && !(result = Check()).Open; ++i)
        usleep(50000);
    EXPECT_EQ(view.status, u"Device connected to COM5 ");
    EXPECT_EQ(state.CurrentComPort, 5);
    EXPECT_TRUE(result.Open);
    EXPECT_EQ(result.OpenError, 0);

    // Kept on a later run: nothing was opened, so nothing failed.
    result = Check();
    EXPECT_EQ(result.Port, 5);
    EXPECT_TRUE(result.Open);
    EXPECT_EQ(result.OpenError, 0);
}

TEST_F(ConnectionMonitorTest, HotplugIsNoticedWithinASecond) {
    platform::DeviceWatch watch;
    ASSERT_TRUE(watch.Start()); // the fake tree, from the environment
    auto notified = [&] {
        pollfd p{watch.Fd(), POLLIN, 0};
        return poll(&p, 1, 1000) == 1 && watch.DrainChanged();
    };
    ASSERT_TRUE(sim->Plug());
    ASSERT_TRUE(notified());
    Check();
    EXPECT_EQ(state.CurrentComPort, 5);
    ASSERT_TRUE(sim->Unplug());
    ASSERT_TRUE(notified());
    Check();
    EXPECT_EQ(state.CurrentComPort, 0);
}

TEST(ConnectionMonitor, WorksWithoutAPortObject) {
    const std::string root = "/nonexistent-quillon-root";
    setenv("QUILLON_SYSFS_ROOT", root.c_str(), 1);
    MainState state;
    state.Texts = EnglishStringTable();
    RecordingView view;
    testing::internal::CaptureStdout();
    CheckConnection(state, view);
    testing::internal::GetCapturedStdout();
    unsetenv("QUILLON_SYSFS_ROOT");
    EXPECT_EQ(state.CurrentComPort, 0);
    EXPECT_FALSE(view.debugTimer);
}

} // namespace
