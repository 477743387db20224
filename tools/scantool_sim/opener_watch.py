"""Notices when the program closes the port, so that its exclusive claim ends with its last
close as it does on a real USB serial device.

On a pseudo-terminal the exclusive flag (TIOCEXCL) belongs to a tty that lives as long as the
simulator holds the master, so without this a program that closes the port could not open it
again (unless it runs as root).  inotify reports every open and last close of the slave node."""

import ctypes
import errno
import fcntl
import os
import struct
import termios

IN_OPEN = 0x20
IN_CLOSE_WRITE = 0x08
IN_CLOSE_NOWRITE = 0x10
_EVENT = struct.Struct("iIII")

try:
    _libc = ctypes.CDLL(None, use_errno=True)
    _inotify_init1 = _libc.inotify_init1
    _inotify_add_watch = _libc.inotify_add_watch
except (OSError, AttributeError):  # not Linux: no watch, nothing to clear
    _inotify_init1 = None


class OpenerWatch:
    def __init__(self, slave_path, slave_fd):
        self.slave_fd = slave_fd
        self.openers = 0
        self.fd = -1
        if _inotify_init1 is None:
            return
        fd = _inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if fd < 0:
            return
        mask = IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE
        if _inotify_add_watch(fd, slave_path.encode(), mask) < 0:
            os.close(fd)
            return
        self.fd = fd

    def service(self):
        """Counts opens and closes; returns the number of last closes seen."""
        if self.fd < 0:
            return 0
        try:
            data = os.read(self.fd, 4096)
        except OSError as e:
            if e.errno == errno.EAGAIN:
                return 0
            raise
        closes = 0
        offset = 0
        while offset + _EVENT.size <= len(data):
            _, mask, _, name_len = _EVENT.unpack_from(data, offset)
            offset += _EVENT.size + name_len
            if mask & IN_OPEN:
                self.openers += 1
            if mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE):
                self.openers = max(0, self.openers - 1)
                if self.openers == 0:
                    closes += 1
                    self._release()
        return closes

    def _release(self):
        try:
            fcntl.ioctl(self.slave_fd, termios.TIOCNXCL)
        except OSError:
            pass

    def close(self):
        if self.fd >= 0:
            os.close(self.fd)
        self.fd = -1
