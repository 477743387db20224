#include "platform/usb_enumerator.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <limits.h>
#include <string_view>

namespace platform {

namespace {

// First line of a small sysfs attribute file, without its line end; false when unreadable.
bool ReadAttribute(const std::string& path, std::string& value) {
    std::ifstream in(path);
    if (!in)
        return false;
    std::getline(in, value);
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r' || value.back() == ' '))
        value.pop_back();
    return !in.bad();
}

bool ReadHex16(const std::string& path, unsigned& value) {
    std::string text;
    if (!ReadAttribute(path, text) || text.empty() || text.size() > 4)
        return false;
    char* end = nullptr;
    unsigned long parsed = std::strtoul(text.c_str(), &end, 16);
    if (*end != '\0')
        return false;
    value = static_cast<unsigned>(parsed);
    return true;
}

std::string Parent(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// For "ttyACM<digits>" the index, else -1.
int AcmIndex(std::string_view name) {
    constexpr std::string_view prefix = "ttyACM";
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix ||
        name.size() > prefix.size() + 6)
        return -1;
    int index = 0;
    for (char c : name.substr(prefix.size())) {
        if (c < '0' || c > '9')
            return -1;
        index = index * 10 + (c - '0');
    }
    return index;
}

// The product string as part of a friendly name: the only "(COM" in the name must be the one
// appended for the port, so the product's own parentheses become brackets; and the whole name
// must fit the 260-byte buffer the port finder reads it into, so a very long product is cut (at
// a character boundary).
std::string ProductForName(std::string product) {
    for (char& c : product) {
        if (c == '(')
            c = '[';
        else if (c == ')')
            c = ']';
    }
    constexpr std::size_t kMaxProduct = 200;
    if (product.size() > kMaxProduct) {
        std::size_t cut = kMaxProduct;
        while (cut > 0 && (static_cast<unsigned char>(product[cut]) & 0xC0) == 0x80)
            --cut; // not inside a UTF-8 sequence
        product.resize(cut);
    }
    return product;
}

} // namespace

std::string SysfsRoot() {
    const char* root = std::getenv("QUILLON_SYSFS_ROOT");
    return root && *root ? std::string(root) : std::string("/sys");
}

bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t i0 = i, j0 = j;
            while (i < a.size() && isDigit(a[i]))
                ++i;
            while (j < b.size() && isDigit(b[j]))
                ++j;
            // Compare by value: skip leading zeros, then longer means larger.
            std::string_view x(a.data() + i0, i - i0), y(b.data() + j0, j - j0);
            x.remove_prefix(std::min(x.find_first_not_of('0'), x.size()));
            y.remove_prefix(std::min(y.find_first_not_of('0'), y.size()));
            if (x.size() != y.size())
                return x.size() < y.size();
            if (x != y)
                return x < y;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

bool EnumeratePortsDevices(const std::string& sysfsRoot, std::vector<PortsDevice>& devices,
                           int& errorCode) {
    devices.clear();
    errorCode = 0;
    const std::string classDir = sysfsRoot + "/class/tty";
    DIR* dir = opendir(classDir.c_str());
    if (!dir) {
        errorCode = errno;
        return false;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    }
    closedir(dir);
    std::sort(names.begin(), names.end(), NaturalLess);

    for (const auto& name : names) {
        // `device` leads to the USB interface; its parent is the USB device with the identity.
        char resolved[PATH_MAX];
        if (!realpath((classDir + "/" + name + "/device").c_str(), resolved))
            continue;
        const std::string usbDevice = Parent(resolved);
        unsigned vendor = 0, product = 0;
        if (!ReadHex16(usbDevice + "/idVendor", vendor) ||
            !ReadHex16(usbDevice + "/idProduct", product))
            continue;
        std::string serial;
        if (!ReadAttribute(usbDevice + "/serial", serial) || serial.empty())
            serial = BaseName(usbDevice); // no serial number: the bus position names it
        std::string productName;
        if (!ReadAttribute(usbDevice + "/product", productName) || productName.empty())
            productName = "USB Serial Device";

        char identity[32];
        std::snprintf(identity, sizeof identity, "USB\\VID_%04X&PID_%04X\\", vendor, product);
        PortsDevice device;
        device.Name = name;
        device.InstanceId = identity + serial;
        device.FriendlyName = ProductForName(std::move(productName));
        if (int index = AcmIndex(name); index >= 0)
            device.FriendlyName += " (COM" + std::to_string(index + 1) + ")";
        devices.push_back(std::move(device));
    }
    return true;
}

} // namespace platform
