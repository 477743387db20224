#pragma once
// A small sysfs tree in a temporary folder: USB devices with their identity files and tty
// entries whose `device` link leads to the device's interface, as on a real machine.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

class FakeSysfs {
public:
    FakeSysfs() {
        std::string pattern = (std::filesystem::temp_directory_path() / "sysfs-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        std::filesystem::create_directories(root_ / "class/tty");
    }
    ~FakeSysfs() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    std::string Root() const { return root_.string(); }

    // Adds a USB device (identity files written as given; an empty text leaves the file out)
    // with one interface carrying the tty `name`.
    void AddUsbTty(const std::string& name, const std::string& idVendor,
                   const std::string& idProduct, const std::string& serial = "0001",
                   const std::string& product = "ScanTool") {
        const auto usb = root_ / "devices/usb1" / ("1-" + std::to_string(++count_));
        const auto iface = usb / ("1-" + std::to_string(count_) + ":1.0");
        std::filesystem::create_directories(iface / "tty" / name);
        Write(usb / "idVendor", idVendor);
        Write(usb / "idProduct", idProduct);
        Write(usb / "serial", serial);
        Write(usb / "product", product);
        const auto entry = root_ / "class/tty" / name;
        std::filesystem::create_directories(entry);
        std::filesystem::create_symlink(iface, entry / "device");
    }

    // A tty without any device behind it (a virtual console, say).
    void AddPlainTty(const std::string& name) {
        std::filesystem::create_directories(root_ / "class/tty" / name);
    }

    void Remove(const std::string& name) {
        std::filesystem::remove_all(root_ / "class/tty" / name);
    }

private:
    static void Write(const std::filesystem::path& path, const std::string& text) {
        if (!text.empty())
            std::ofstream(path) << text << "\n";
    }

    std::filesystem::path root_;
    int count_ = 0;
};
