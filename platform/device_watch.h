#pragma once
// The device-change notification: a udev monitor on the tty subsystem, or, when
// QUILLON_SYSFS_ROOT is set, an inotify watch on <root>/class/tty.  The window watches Fd()
// for readability (a QSocketNotifier) and calls DrainChanged() when it fires.
#include <string>

struct udev;
struct udev_monitor;

namespace platform {

class DeviceWatch {
public:
    DeviceWatch() = default;
    ~DeviceWatch();
    DeviceWatch(const DeviceWatch&) = delete;
    DeviceWatch& operator=(const DeviceWatch&) = delete;

    // Starts the watch that fits the environment.  False when no watch could be set up; the
    // program then simply gets no hotplug notifications.
    bool Start();
    // Starts an inotify watch on <sysfsRoot>/class/tty.
    bool StartDirectoryWatch(const std::string& sysfsRoot);
    // Starts a udev monitor on the tty subsystem.
    bool StartUdevMonitor();
    void Stop();

    // The non-blocking descriptor to watch for readability, or -1 when not started.
    int Fd() const { return fd_; }

    // Reads every pending event without blocking; true when any of them means that a serial
    // device may have come or gone.
    bool DrainChanged();

private:
    bool DrainInotify();
    bool DrainUdev();
    bool WatchTtyFolder();

    int fd_ = -1;
    int watch_ = -1;
    std::string watchedDir_;
    std::string rootDir_;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
};

} // namespace platform
