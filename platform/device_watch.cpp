#include "platform/device_watch.h"

#include "platform/usb_enumerator.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <libudev.h>
#include <string_view>
#include <sys/inotify.h>
#include <unistd.h>

namespace platform {

namespace {
constexpr std::uint32_t kDirEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
}

DeviceWatch::~DeviceWatch() {
    Stop();
}

bool DeviceWatch::Start() {
    const char* root = std::getenv("QUILLON_SYSFS_ROOT");
    if (root && *root)
        return StartDirectoryWatch(root);
    return StartUdevMonitor();
}

bool DeviceWatch::StartDirectoryWatch(const std::string& sysfsRoot) {
    Stop();
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0)
        return false;
    rootDir_ = sysfsRoot;
    if (!WatchTtyFolder()) {
        Stop();
        return false;
    }
    return true;
}

// Watches <root>/class/tty; while that folder does not exist yet, the nearest existing
// ancestor is watched instead so that its creation is noticed.
bool DeviceWatch::WatchTtyFolder() {
    if (watch_ >= 0)
        inotify_rm_watch(fd_, watch_);
    watch_ = -1;
    std::string dir = rootDir_ + "/class/tty";
    while (true) {
        watch_ = inotify_add_watch(fd_, dir.c_str(), kDirEvents | IN_ONLYDIR);
        if (watch_ >= 0) {
            watchedDir_ = dir;
            return true;
        }
        if (errno != ENOENT && errno != ENOTDIR)
            return false;
        auto slash = dir.find_last_of('/');
        if (slash == std::string::npos || slash == 0 || dir.size() <= rootDir_.size())
            return false;
        dir.resize(slash);
    }
}

bool DeviceWatch::StartUdevMonitor() {
    Stop();
    udev_ = udev_new();
    if (!udev_)
        return false;
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_ ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        Stop();
        return false;
    }
    fd_ = udev_monitor_get_fd(monitor_);
    return fd_ >= 0;
}

void DeviceWatch::Stop() {
    if (monitor_) {
        udev_monitor_unref(monitor_); // also closes fd_
        monitor_ = nullptr;
        fd_ = -1;
    }
    if (udev_) {
        udev_unref(udev_);
        udev_ = nullptr;
    }
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    watch_ = -1;
    watchedDir_.clear();
}

bool DeviceWatch::DrainChanged() {
    if (fd_ < 0)
        return false;
    return monitor_ ? DrainUdev() : DrainInotify();
}

bool DeviceWatch::DrainUdev() {
    bool changed = false;
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(device);
        // Property changes of a present port do not move it; everything else may.
        if (!action || std::string_view(action) != "change")
            changed = true;
        udev_device_unref(device);
    }
    return changed;
}

bool DeviceWatch::DrainInotify() {
    alignas(inotify_event) char buffer[4096];
    bool changed = false;
    bool rewatch = false;
    while (true) {
        ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t offset = 0; offset < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED))
                rewatch = true;
            if (event->mask & kDirEvents)
                changed = true;
        }
    }
    // The watched folder went away or an ancestor changed: follow the tty folder again.
    if (rewatch || watchedDir_ != rootDir_ + "/class/tty")
        WatchTtyFolder();
    return changed;
}

} // namespace platform
