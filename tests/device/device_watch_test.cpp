#include "platform/device_watch.h"
#include "tests/device/fake_sysfs.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>

namespace {

// Whether the watch's descriptor turns readable within `ms` and the drain reports a change.
bool Notified(platform::DeviceWatch& watch, int ms = 1000) {
    pollfd p{watch.Fd(), POLLIN, 0};
    if (poll(&p, 1, ms) != 1)
        return false;
    return watch.DrainChanged();
}

TEST(DeviceWatch, NoticesPlugAndUnplugInTheFakeTree) {
    FakeSysfs sys;
    platform::DeviceWatch watch;
    ASSERT_TRUE(watch.StartDirectoryWatch(sys.Root()));
    ASSERT_GE(watch.Fd(), 0);
    EXPECT_FALSE(watch.DrainChanged()); // nothing pending, and no blocking

    sys.AddUsbTty("ttyACM0", "0483", "5740");
    EXPECT_TRUE(Notified(watch));
    EXPECT_FALSE(watch.DrainChanged()); // drained

    sys.Remove("ttyACM0");
    EXPECT_TRUE(Notified(watch));
}

TEST(DeviceWatch, FollowsATtyFolderCreatedLater) {
    FakeSysfs sys;
    std::filesystem::remove_all(sys.Root() + "/class");
    platform::DeviceWatch watch;
    ASSERT_TRUE(watch.StartDirectoryWatch(sys.Root()));
    std::filesystem::create_directories(sys.Root() + "/class/tty");
    EXPECT_TRUE(Notified(watch));
    sys.AddUsbTty("ttyACM1", "0483", "5740");
    EXPECT_TRUE(Notified(watch));
}

TEST(DeviceWatch, StartPicksTheDirectoryWatchUnderTheTestRoot) {
    FakeSysfs sys;
    setenv("QUILLON_SYSFS_ROOT", sys.Root().c_str(), 1);
    platform::DeviceWatch watch;
    EXPECT_TRUE(watch.Start());
    unsetenv("QUILLON_SYSFS_ROOT");
    sys.AddUsbTty("ttyACM0", "0483", "5740");
    EXPECT_TRUE(Notified(watch));
    watch.Stop();
    EXPECT_EQ(watch.Fd(), -1);
    EXPECT_FALSE(watch.DrainChanged());
}

} // namespace

namespace {

TEST(DeviceWatch, UdevMonitorStartsOrFailsCleanly) {
    // Containers may refuse the netlink socket; either way nothing blocks or leaks.
    platform::DeviceWatch watch;
    if (watch.StartUdevMonitor()) {
        EXPECT_GE(watch.Fd(), 0);
        watch.DrainChanged();
    } else {
        EXPECT_EQ(watch.Fd(), -1);
    }
    watch.Stop();
    EXPECT_EQ(watch.Fd(), -1);
}

} // namespace
