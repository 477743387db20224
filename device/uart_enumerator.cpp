#include "device/uart_enumerator.h"

#include "platform/usb_enumerator.h"

#include <cstdio>
#include <vector>

namespace {

// The device-setup layer hands out texts in buffers of this size; longer texts cannot be read.
constexpr std::size_t kTextBufferSize = 260;

bool ContainsNoCase(const std::string& text, const char* needle, std::size_t& after) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    const std::string n = needle;
    for (std::size_t i = 0; i + n.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < n.size() && lower(text[i + k]) == lower(n[k]))
            ++k;
        if (k == n.size()) {
            after = i + n.size();
            return true;
        }
    }
    return false;
}

// Leading decimal digits as a number, 0 when there are none; saturates instead of overflowing.
int LeadingNumber(const std::string& text, std::size_t from) {
    long value = 0;
    for (std::size_t i = from; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 0x7FFFFFFF)
            return 0x7FFFFFFF;
    }
    return static_cast<int>(value);
}

} // namespace

int MatchUsbComPort(const std::vector<platform::PortsDevice>& devices, std::uint16_t productId,
                    std::uint16_t vendorId) {
    char vendorText[16], productText[16];
    std::snprintf(vendorText, sizeof vendorText, "VID_%04X", static_cast<unsigned>(vendorId));
    std::snprintf(productText, sizeof productText, "PID_%04X", static_cast<unsigned>(productId));

    for (const auto& device : devices) {
        if (device.InstanceId.size() >= kTextBufferSize ||
            device.InstanceId.find(vendorText) == std::string::npos ||
            device.InstanceId.find(productText) == std::string::npos)
            continue;
        // The first matching device decides; later ones are not looked at.
        std::size_t after = 0;
        if (device.FriendlyName.size() >= kTextBufferSize ||
            !ContainsNoCase(device.FriendlyName, "(COM", after))
            return 0;
        return LeadingNumber(device.FriendlyName, after);
    }
    return 0;
}

int FindUsbComPortIn(const std::string& sysfsRoot, std::uint16_t productId,
                     std::uint16_t vendorId) {
    std::vector<platform::PortsDevice> devices;
    int error = 0;
    if (!platform::EnumeratePortsDevices(sysfsRoot, devices, error)) {
        std::printf("Error!   SetupDiGetClassDevs()   return   %d\n", error);
        std::fflush(stdout);
        return 0;
    }
    return MatchUsbComPort(devices, productId, vendorId);
}

int FindUsbComPort(std::uint16_t productId, std::uint16_t vendorId) {
    return FindUsbComPortIn(platform::SysfsRoot(), productId, vendorId);
}
