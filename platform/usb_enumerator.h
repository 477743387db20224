#pragma once
// Present serial ports as the device-setup layer describes them, read from sysfs:
// every <root>/class/tty/<name> whose `device` link leads to a USB interface.
#include <string>
#include <vector>

namespace platform {

struct PortsDevice {
    std::string Name;       // the tty name, e.g. "ttyACM0"
    std::string InstanceId; // "USB\VID_0483&PID_5740\<serial>"
    // "<product> (COMn)" for ttyACM<n-1>, just "<product>" otherwise; parentheses in the
    // product read as brackets, so that the appended "(COMn)" is the only one.
    std::string FriendlyName;
};

// The sysfs mount point: QUILLON_SYSFS_ROOT when set and not empty, else "/sys".
std::string SysfsRoot();

// Lists the USB serial ports under `sysfsRoot` in natural order of their tty names
// (ttyACM2 before ttyACM10).  Returns false with an errno value in `errorCode` when the tty
// class folder cannot be read.
bool EnumeratePortsDevices(const std::string& sysfsRoot, std::vector<PortsDevice>& devices,
                           int& errorCode);

// Natural order of names: runs of digits compare by value, everything else byte-wise.
bool NaturalLess(const std::string& a, const std::string& b);

} // namespace platform
