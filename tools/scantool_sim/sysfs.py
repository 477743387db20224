"""The fake sysfs entry of a USB CDC-ACM serial device and the device-node link, as the port
finder sees them on a real machine."""

import os
import shutil

USB_BUS = os.path.join("devices", "pci0000:00", "0000:00:14.0", "usb1")


class Identity:
    def __init__(self, vid="0483", pid="5740", serial="SIM0001", product="ScanTool",
                 manufacturer="ScanTool Maker", usb_name=None):
        self.vid = vid
        self.pid = pid
        self.serial = serial
        self.product = product
        self.manufacturer = manufacturer
        self.usb_name = usb_name


class SysfsEntry:
    def __init__(self, root, index, identity):
        self.root = root
        self.index = index
        self.identity = identity
        self.tty = f"ttyACM{index}"
        self.usb_name = identity.usb_name or f"1-{index + 1}"

    @property
    def usb_dir(self):
        return os.path.join(self.root, USB_BUS, self.usb_name)

    @property
    def class_link(self):
        return os.path.join(self.root, "class", "tty", self.tty)

    def create(self):
        ident = self.identity
        usb = self.usb_dir
        iface_name = f"{self.usb_name}:1.0"
        iface = os.path.join(usb, iface_name)
        tty_dir = os.path.join(iface, "tty", self.tty)
        os.makedirs(tty_dir, exist_ok=True)
        files = {
            os.path.join(usb, "idVendor"): ident.vid,
            os.path.join(usb, "idProduct"): ident.pid,
            os.path.join(usb, "serial"): ident.serial,
            os.path.join(usb, "product"): ident.product,
            os.path.join(usb, "manufacturer"): ident.manufacturer,
            os.path.join(iface, "bInterfaceClass"): "02",
            os.path.join(iface, "bInterfaceNumber"): "00",
            os.path.join(tty_dir, "dev"): f"166:{self.index}",
            os.path.join(tty_dir, "uevent"): f"MAJOR=166\nMINOR={self.index}\nDEVNAME={self.tty}",
        }
        for path, text in files.items():
            if text is not None:
                with open(path, "w") as f:
                    f.write(text + "\n")
        _symlink(os.path.join("..", "..", "..", iface_name), os.path.join(tty_dir, "device"))
        # The class link comes last so that a watcher never sees half an entry.
        class_dir = os.path.dirname(self.class_link)
        os.makedirs(class_dir, exist_ok=True)
        _symlink(os.path.relpath(tty_dir, class_dir), self.class_link)

    def remove(self):
        if os.path.lexists(self.class_link):
            os.unlink(self.class_link)
        shutil.rmtree(self.usb_dir, ignore_errors=True)


def _symlink(target, path):
    if os.path.lexists(path):
        os.unlink(path)
    os.symlink(target, path)


def link_device_node(dev_dir, name, slave_path):
    os.makedirs(dev_dir, exist_ok=True)
    path = os.path.join(dev_dir, name)
    _symlink(slave_path, path)
    return path


def unlink_device_node(dev_dir, name):
    path = os.path.join(dev_dir, name)
    if os.path.lexists(path):
        os.unlink(path)
