// Who holds a device, which group may use it, who we are.
#include "platform/device_access.h"

#include "tests/device/pty_peer.h"
#include "tests/i18n/ini_test_util.h"
#include "tests/support/port_holder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

namespace {

using quillon::test::PortHolder;

TEST(DeviceAccess, FindsTheHolderOfADeviceThroughAnyOfItsNames) {
    testpeer::DevDir dev;
    testpeer::PtyPeer peer(dev.path(), 0);
    const std::string link = dev.path() + "/ttyACM0";
    PortHolder holder(link, "ModemManager");
    ASSERT_TRUE(holder.Holding());

    // The link, the pty itself and a second node of the same device all name the holder.
    const std::string node = dev.path() + "/node";
    struct stat pty {};
    ASSERT_EQ(stat(link.c_str(), &pty), 0);
    const bool madeNode = mknod(node.c_str(), S_IFCHR | 0600, pty.st_rdev) == 0; // root only
    for (const std::string& path : {link, std::filesystem::canonical(link).string()}) {
        const auto holders = platform::ProcessesHolding(path);
        ASSERT_FALSE(holders.empty()) << path;
        // The peer in this process holds it too, but this process is left out.
        EXPECT_EQ(holders.size(), 1u) << path;
        EXPECT_EQ(holders.front().pid, holder.Pid());
        EXPECT_EQ(holders.front().name, "ModemManager");
    }
    if (madeNode) {
        EXPECT_EQ(platform::ProcessesHolding(node).size(), 1u);
    }
    EXPECT_TRUE(platform::ProcessRunning("ModemManager"));

    holder.Release();
    EXPECT_TRUE(platform::ProcessesHolding(link).empty());
    EXPECT_TRUE(platform::ProcessesHolding(dev.path() + "/missing").empty());
    EXPECT_FALSE(platform::ProcessRunning("no-such-program"));
}

TEST(DeviceAccess, GroupOnlyWhenItMayReadAndWrite) {
    testutil::ScratchDir scratch;
    const std::string path = scratch.File("device");
    std::ofstream(path) << "";
    const group* own = getgrgid(getgid());
    ASSERT_NE(own, nullptr);
    const struct {
        mode_t mode;
        std::string group;
    } cases[] = {{0660, own->gr_name}, {0666, own->gr_name}, {0640, ""}, {0600, ""}, {0000, ""}};
    for (const auto& c : cases) {
        ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
        EXPECT_EQ(platform::DeviceGroup(path), c.group) << std::oct << c.mode;
    }
    EXPECT_EQ(platform::DeviceGroup(scratch.File("missing")), "");
}

TEST(DeviceAccess, UserNameIsTheLoginName) {
    const passwd* user = getpwuid(getuid());
    EXPECT_EQ(platform::CurrentUserName(), user ? user->pw_name : std::to_string(getuid()));
}

} // namespace
