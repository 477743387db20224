#include "device/uart_enumerator.h"
#include "platform/usb_enumerator.h"
#include "tests/device/fake_sysfs.h"

#include <gtest/gtest.h>

namespace {

using platform::PortsDevice;

constexpr std::uint16_t kPid = 0x5740;
constexpr std::uint16_t kVid = 0x0483;
const std::string kId = "USB\\VID_0483&PID_5740\\0001";

struct MatchCase {
    const char* what;
    std::vector<PortsDevice> devices;
    int expected;
};

TEST(MatchUsbComPort, AppliesTheIdentityAndNameRules) {
    const MatchCase cases[] = {
        {"no ports", {}, 0},
        {"two-digit port", {{"a", kId, "ScanTool (COM12)"}}, 12},
        {"lower-case com", {{"a", kId, "ScanTool (com7)"}}, 7},
        {"no (COM in the name", {{"a", kId, "ScanTool COM3"}}, 0},
        {"(COM without digits", {{"a", kId, "ScanTool (COMx)"}}, 0},
        {"lower-case vid", {{"a", "USB\\vid_0483&PID_5740\\1", "X (COM4)"}}, 0},
        {"vendor only", {{"a", "USB\\VID_0483&PID_5741\\1", "X (COM4)"}}, 0},
        {"other device first",
         {{"a", "ACPI\\PNP0501\\1", "Communications Port (COM1)"}, {"b", kId, "S (COM9)"}},
         9},
        {"two ScanTools: the first wins", {{"a", kId, "S (COM3)"}, {"b", kId, "S (COM8)"}}, 3},
        {"first match without (COM ends the search",
         {{"a", kId, "ScanTool"}, {"b", kId, "S (COM8)"}},
         0},
        {"friendly name too long for its buffer",
         {{"a", kId, std::string(300, 'x') + "(COM5)"}},
         0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchUsbComPort(c.devices, kPid, kVid), c.expected) << c.what;
}

TEST(MatchUsbComPort, ProductComesFirst) {
    // Swapping the arguments looks for VID_5740 / PID_0483, which the ScanTool does not carry.
    std::vector<PortsDevice> devices{{"a", kId, "S (COM2)"}};
    EXPECT_EQ(MatchUsbComPort(devices, kVid, kPid), 0);
}

TEST(UsbEnumerator, BuildsIdentityAndNamesFromSysfs) {
    FakeSysfs sys;
    sys.AddPlainTty("tty0");
    sys.AddUsbTty("ttyACM10", "0483", "5740", "S10", "ScanTool");
    sys.AddUsbTty("ttyACM2", "04b3", "abcd", "", "");
    sys.AddUsbTty("ttyUSB0", "0403", "6001", "FT1", "Cable");

    std::vector<PortsDevice> devices;
    int error = -1;
    ASSERT_TRUE(platform::EnumeratePortsDevices(sys.Root(), devices, error));
    EXPECT_EQ(error, 0);
    ASSERT_EQ(devices.size(), 3u);
    // Natural order: ttyACM2 before ttyACM10.
    EXPECT_EQ(devices[0].Name, "ttyACM2");
    EXPECT_EQ(devices[0].InstanceId, "USB\\VID_04B3&PID_ABCD\\1-2");
    EXPECT_EQ(devices[0].FriendlyName, "USB Serial Device (COM3)");
    EXPECT_EQ(devices[1].InstanceId, "USB\\VID_0483&PID_5740\\S10");
    EXPECT_EQ(devices[1].FriendlyName, "ScanTool (COM11)");
    // Not an ACM port: no COM number to open it by.
    EXPECT_EQ(devices[2].FriendlyName, "Cable");
}

TEST(FindUsbComPort, FindsTheScanToolInATree) {
    FakeSysfs sys;
    sys.AddUsbTty("ttyACM0", "0403", "6001");
    sys.AddUsbTty("ttyACM11", "0483", "5740");
    sys.AddUsbTty("ttyACM3", "0483", "5740");
    EXPECT_EQ(FindUsbComPortIn(sys.Root(), kPid, kVid), 4); // ttyACM3 sorts before ttyACM11
    sys.Remove("ttyACM3");
    EXPECT_EQ(FindUsbComPortIn(sys.Root(), kPid, kVid), 12);
    sys.Remove("ttyACM11");
    EXPECT_EQ(FindUsbComPortIn(sys.Root(), kPid, kVid), 0);
}

TEST(FindUsbComPort, TheProductStringCannotHideThePort) {
    const struct {
        const char* what;
        std::string product;
        std::string friendlyName;
    } cases[] = {
        {"plain", "ScanTool", "ScanTool (COM4)"},
        {"(COM in the product", "Bridge (COM9)", "Bridge [COM9] (COM4)"},
        {"lower-case (com in the product", "x (com7) y", "x [com7] y (COM4)"},
        {"a product longer than the name's buffer", std::string(300, 'p'),
         std::string(200, 'p') + " (COM4)"},
        {"cut at a character boundary", std::string(199, 'p') + "\u00e9\u00e9",
         std::string(199, 'p') + " (COM4)"},
    };
    for (const auto& c : cases) {
        FakeSysfs sys;
        sys.AddUsbTty("ttyACM3", "0483", "5740", "0001", c.product);
        std::vector<PortsDevice> devices;
        int error = 0;
        ASSERT_TRUE(platform::EnumeratePortsDevices(sys.Root(), devices, error));
        ASSERT_EQ(devices.size(), 1u);
        EXPECT_EQ(devices[0].FriendlyName, c.friendlyName) << c.what;
        EXPECT_EQ(FindUsbComPortIn(sys.Root(), kPid, kVid), 4) << c.what;
    }
}

TEST(FindUsbComPort, ReadsTheEnvironmentRoot) {
    FakeSysfs sys;
    sys.AddUsbTty("ttyACM4", "0483", "5740");
    setenv("QUILLON_SYSFS_ROOT", sys.Root().c_str(), 1);
    EXPECT_EQ(FindUsbComPort(kPid, kVid), 5);
    unsetenv("QUILLON_SYSFS_ROOT");
}

TEST(FindUsbComPort, ReportsAFailedEnumerationOnStdout) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(FindUsbComPortIn("/nonexistent-quillon-root", kPid, kVid), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error!   SetupDiGetClassDevs()   return   2\n");
}

} // namespace
