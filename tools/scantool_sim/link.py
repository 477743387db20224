"""The pseudo-terminal that stands for the ScanTool's USB serial port, and the scheduler that
lets replies leave late, in pieces, or at the pace of a 115200-baud UART."""

import collections
import errno
import os
import time
import tty

from .opener_watch import OpenerWatch

UART_BYTES_PER_SECOND = 11520  # 115200 baud, 10 bits per byte


class Link:
    def __init__(self):
        self.master = -1
        self.slave = -1
        self.slave_path = None
        self.openers = None
        self.queue = collections.deque()  # (due time, bytes), sent in order
        self.out = bytearray()  # bytes due now, not yet taken by the pty
        self.pace = False
        self.tx_wire = 0.0  # pacing: when the next outgoing byte may leave
        self.rx_wire = 0.0  # pacing: when the last received byte would have arrived

    @property
    def is_open(self):
        return self.master >= 0

    def open(self):
        self.master, self.slave = os.openpty()
        # Raw from the start: no echo and no line editing, even before the program sets it.
        tty.setraw(self.slave)
        os.set_blocking(self.master, False)
        self.slave_path = os.ttyname(self.slave)
        self.openers = OpenerWatch(self.slave_path, self.slave)

    def close(self):
        if self.openers:
            self.openers.close()
            self.openers = None
        for fd in (self.master, self.slave):
            if fd >= 0:
                os.close(fd)
        self.master = self.slave = -1
        self.queue.clear()
        self.out.clear()

    def read(self):
        """Whatever the program has written, or b"" when nothing is there."""
        try:
            data = os.read(self.master, 65536)
        except OSError as e:
            if e.errno in (errno.EAGAIN, errno.EIO):
                return b""
            raise
        if data and self.pace:
            now = time.monotonic()
            self.rx_wire = max(self.rx_wire, now) + len(data) / UART_BYTES_PER_SECOND
        return data

    def earliest_reply(self, now):
        """A reply cannot leave before the request would have crossed a paced wire."""
        return max(now, self.rx_wire) if self.pace else now

    def send(self, data, due):
        if not self.pace and not self.queue and not self.out and self.is_open:
            if due <= time.monotonic():
                # The usual case: straight out, without another turn of the main loop.
                try:
                    written = os.write(self.master, data)
                except OSError as e:
                    if e.errno not in (errno.EAGAIN, errno.EIO):
                        raise
                    written = 0
                self.out += data[written:]
                return
        self.queue.append((due, bytes(data)))

    def pending(self):
        return bool(self.queue or self.out)

    def service(self, now):
        """Moves due bytes into the pty.  Returns True when the pty refused bytes (wait until
        it is writable)."""
        while self.queue and self.queue[0][0] <= now:
            due, data = self.queue.popleft()
            if self.pace and not self.out:
                # An idle wire starts carrying the bytes when they fall due, even when this
                # loop woke up a little later.
                self.tx_wire = max(self.tx_wire, due)
            self.out += data
        if not self.out or not self.is_open:
            return False
        count = len(self.out)
        if self.pace:
            # A byte leaves only once it would have crossed the wire completely.
            count = min(count, int((now - self.tx_wire) * UART_BYTES_PER_SECOND))
            if count <= 0:
                return False
        try:
            written = os.write(self.master, self.out[:count])
        except OSError as e:
            if e.errno in (errno.EAGAIN, errno.EIO):
                return True
            raise
        del self.out[:written]
        if self.pace:
            self.tx_wire += written / UART_BYTES_PER_SECOND
        return written < count

    def next_wakeup(self):
        if self.out and self.pace:
            # Wake for about a millisecond's worth of bytes at a time; a short reply (an
            # acknowledgement) leaves whole.
            per_ms = UART_BYTES_PER_SECOND // 1000
            chunk = len(self.out) if len(self.out) <= 2 * per_ms else per_ms
            return self.tx_wire + chunk / UART_BYTES_PER_SECOND
        if self.queue and not self.out:
            return self.queue[0][0]
        return None
