#pragma once
// Finds the COM port number of a USB serial device by its USB identity.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {
struct PortsDevice;
}

// COM number of the first present serial port whose instance ID contains both "VID_%04X" of
// `vendorId` and "PID_%04X" of `productId`, or 0.  Note the order: product first.
int FindUsbComPort(std::uint16_t productId, std::uint16_t vendorId);

// The same search under an explicit sysfs mount point.
int FindUsbComPortIn(const std::string& sysfsRoot, std::uint16_t productId, std::uint16_t vendorId);

// The matching rules over an already enumerated list, in the list's order: case-sensitive
// identity texts in the instance ID, then a case-insensitive "(COM" in the friendly name of the
// first match only.
int MatchUsbComPort(const std::vector<platform::PortsDevice>& devices, std::uint16_t productId,
                    std::uint16_t vendorId);
